// Test fixture over the stand-in libraries: a clean engine for every test and
// the call journal as a list of strings.
#ifndef KOVRAP_TEST_STANDIN_FIXTURE_H
#define KOVRAP_TEST_STANDIN_FIXTURE_H

#include "tqv_standin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kovrap_test {

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

class StandinTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tqvs_reset();
        tqvs_set_journal(1); // the tests read it
    }
    void TearDown() override { tqvs_reset(); }

    // Registers a series of consecutive observations in an in-memory
    // database, creating the database if needed.
    static void addSeries(const char *database, const char *code, int frequency, int first,
                          int last, const std::vector<double> &values) {
        tqvs_add_database(database); // registering twice keeps the database
        ASSERT_EQ(0, tqvs_add_series(database, code, frequency, first, last, values.data(),
                                     static_cast<int>(values.size())));
    }
};

} // namespace kovrap_test

#endif
