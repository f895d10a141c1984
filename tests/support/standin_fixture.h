// Test fixture over the stand-in libraries, for the stand-ins' own tests and
// for Kovrap's: a clean engine for every test, series added to the store
// without a database file, and the call journal as a list of strings.
#ifndef KOVRAP_TEST_STANDIN_FIXTURE_H
#define KOVRAP_TEST_STANDIN_FIXTURE_H

#include "../../standin/engine/periods.h"
#include "tqv_standin.h"
#include "tqvlib.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kovrap_test {

// The libraries' missing value, as the stand-ins store and return it.
constexpr double kMissingValue = 1e9;

// Every journal entry, in call order.
inline std::vector<std::string> journal() {
    std::vector<std::string> entries;
    for (int i = 0; i < tqvs_log_size(); ++i)
        entries.emplace_back(tqvs_log_entry(i));
    return entries;
}

// The journal entries whose text starts with one of the prefixes, e.g. only
// the "TQVDGetInfo(" calls.
inline std::vector<std::string> journalOf(const std::vector<std::string> &prefixes) {
    std::vector<std::string> entries;
    for (const std::string &entry : journal())
        for (const std::string &prefix : prefixes)
            if (entry.compare(0, prefix.size(), prefix) == 0) {
                entries.push_back(entry);
                break;
            }
    return entries;
}

// The last journal entry, empty when there is none.
inline std::string lastEntry() {
    const int n = tqvs_log_size();
    return n > 0 ? tqvs_log_entry(n - 1) : std::string();
}

class StandinTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tqvs_reset();
        tqvs_set_journal(1); // the tests read it
    }
    void TearDown() override { tqvs_reset(); }

    // Registers a series of consecutive observations from first to last in
    // an in-memory database, creating the database if needed.
    static void addSeries(const char *database, const char *code, int frequency, int first,
                          int last, const std::vector<double> &values) {
        tqvs_add_database(database); // registering twice keeps the database
        ASSERT_EQ(0, tqvs_add_series(database, code, frequency, first, last, values.data(),
                                     static_cast<int>(values.size())));
    }

    // The same, with the last period following from the number of values.
    static void addSeries(const char *database, const char *code, int frequency, int first,
                          const std::vector<double> &values) {
        const int n = static_cast<int>(values.size());
        const int last = n > 0 ? tqvs::dateAt(first, n, frequency) : first;
        addSeries(database, code, frequency, first, last, values);
    }

    // A database of series with the given codes, each one monthly value.
    static void addDatabase(const char *database, const std::vector<std::string> &codes) {
        ASSERT_EQ(0, tqvs_add_database(database));
        double v = 1;
        for (const std::string &code : codes)
            addSeries(database, code.c_str(), 40, 202001, {v++});
    }
};

} // namespace kovrap_test

#endif
