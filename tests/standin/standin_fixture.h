// Shared set-up of the stand-in tests: a clean engine per test and a few
// helpers to fill the store and read the journal.
#ifndef STANDIN_FIXTURE_H
#define STANDIN_FIXTURE_H

#include "../../standin/engine/periods.h"
#include "tqv_standin.h"
#include "tqvlib.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

constexpr double kMissingValue = 1e9;

class StandinTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tqvs_reset();
        tqvs_set_journal(1); // the tests read it
    }
    void TearDown() override { tqvs_reset(); }

    // Registers a series whose last period follows from its length.
    static void addSeries(const char *database, const char *code, int frequency, int first,
                          const std::vector<double> &values) {
        const int n = static_cast<int>(values.size());
        const int last = n > 0 ? tqvs::dateAt(first, n, frequency) : first;
        ASSERT_EQ(0, tqvs_add_series(database, code, frequency, first, last, values.data(), n));
    }

    // A database of series with the given codes, each one monthly value.
    static void addDatabase(const char *database, const std::vector<std::string> &codes) {
        ASSERT_EQ(0, tqvs_add_database(database));
        double v = 1;
        for (const std::string &code : codes)
            addSeries(database, code.c_str(), 40, 202001, {v++});
    }

    static std::vector<std::string> journal() {
        std::vector<std::string> entries;
        for (int i = 0; i < tqvs_log_size(); ++i)
            entries.emplace_back(tqvs_log_entry(i));
        return entries;
    }

    static std::string lastEntry() {
        const int n = tqvs_log_size();
        return n > 0 ? tqvs_log_entry(n - 1) : std::string();
    }
};

#endif
