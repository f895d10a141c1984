// The data retrieval and the information query with each allocation of the
// library failing in turn. The grouping of requests by database only saves
// comparisons: without it the walk compares every request with the open
// database, so the library call journal and every host array are those of
// the normal run. Only the direct path's code list is memory the call cannot
// do without; when it fails, the call says so and never reports success for
// a request it could not ask for.
#include "Kovrap.h"
#include "case_names.h"
#include "failing_new.h"
#include "fault_harness.h"
#include "info_host.h"
#include "tqv_standin.h"
#include "tqvlib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

namespace {

using kovrap_faults::Entry;

constexpr int kMonthly = 40;
constexpr int kObs = 3;
constexpr double kUntouched = -7.5;
constexpr int kOutOfMemory = 836;
constexpr int kOtherStatusList = 6;
// The size of the direct path's code list when it is first allocated.
constexpr std::size_t kCodeListBytes = KOVRAP_CODELIST_BYTES;
// More databases than are compared one by one, so that their names are
// looked up in a table of their own.
constexpr int kDatabases = 6;
constexpr int kRequests = 1300;

struct MemoryCase {
    std::string name;
    bool direct;
    bool info; // the information query, else the data retrieval
};

void PrintTo(const MemoryCase &c, std::ostream *os) {
    *os << c.name;
}

std::string databaseName(int d) {
    return "db" + std::to_string(d);
}

// Requests over the databases in turn, every seventh of no database; on the
// information query every 50th series is not stored.
struct Requests {
    std::vector<std::string> codes, dbNames, databases;

    explicit Requests(bool info) {
        for (int d = 0; d < kDatabases; ++d) {
            databases.push_back(databaseName(d));
            tqvs_add_database(databases.back().c_str());
        }
        const double values[kObs] = {1, 2, 3};
        for (int k = 0; k < kRequests; ++k) {
            codes.push_back("S" + std::to_string(k));
            const int d = k % (kDatabases + 1);
            dbNames.push_back(d < kDatabases ? databaseName(d) : "none");
            if (d < kDatabases && !(info && k % 50 == 0))
                tqvs_add_series(dbNames.back().c_str(), codes.back().c_str(), kMonthly, 200001,
                                200003, values, kObs);
        }
    }
};

// The load address of the Kovrap library, found from one of its exports.
const void *libraryObject() {
    void (*const exported)(int, double *, const char *const *, const char *const *,
                           const char *const *, int, int, int, int, int, int, int,
                           TransformArrays *, AdvancedWindows *, int *) = c_kovraGetData;
    const void *address = nullptr;
    std::memcpy(&address, &exported, sizeof address);
    return kovrap_test::objectBase(address);
}

std::vector<const char *> pointers(const std::vector<std::string> &texts) {
    std::vector<const char *> out;
    for (const std::string &t : texts)
        out.push_back(t.c_str());
    return out;
}

// What a run leaves behind.
struct Outcome {
    std::vector<std::string> journal;
    std::vector<double> values;
    int error = 0;
    std::vector<int> counts;
    std::vector<std::vector<int>> lists;
    std::vector<int> firstDates;

    bool operator==(const Outcome &o) const {
        return journal == o.journal && values == o.values && error == o.error &&
               counts == o.counts && lists == o.lists && firstDates == o.firstDates;
    }
};

// Runs the call with the nth allocation of the library failing (0: none);
// allocations receives the number the library made.
Outcome run(const MemoryCase &c, int nth, int *allocations) {
    tqvs_reset();
    tqvs_set_journal(1);
    tqvs_set_logged_in(1);
    TQVSetMergeData(kovrap_faults::kSavedMerge);
    TQVDSetMergeData(kovrap_faults::kSavedMerge);
    const Requests requests(c.info);
    const std::vector<const char *> codes = pointers(requests.codes);
    const std::vector<const char *> dbNames = pointers(requests.dbNames);
    const std::vector<const char *> databases = pointers(requests.databases);
    const int direct = c.direct ? 1 : 0;
    Outcome out;
    tqvs_clear_log();
    if (c.info) {
        kovrap_test::InfoHost host(kRequests);
        kovrap_test::failAllocation(nth, libraryObject());
        host.query(direct, requests.codes, requests.dbNames, requests.databases);
        *allocations = kovrap_test::stopFailing();
        out.counts = host.counts;
        out.lists.assign(std::begin(host.lists), std::end(host.lists));
        out.firstDates = host.firstDate;
    } else {
        out.values.assign(static_cast<std::size_t>(kRequests) * kObs, kUntouched);
        kovrap_test::failAllocation(nth, libraryObject());
        c_kovraGetData(direct, out.values.data(), codes.data(), dbNames.data(), databases.data(),
                       kDatabases, kRequests, 200001, 200003, kMonthly, 0, kObs, nullptr, nullptr,
                       &out.error);
        *allocations = kovrap_test::stopFailing();
    }
    for (const Entry &e : kovrap_faults::readJournal())
        out.journal.push_back(e.text);
    return out;
}

// The requests a run answered for: every entry of every status list, and
// every information call that succeeded.
int answered(const Outcome &o) {
    int successes = 0;
    for (const std::string &entry : o.journal)
        if (entry.find("GetInfo(") != std::string::npos &&
            entry.compare(entry.size() - 5, 5, " -> 0") == 0)
            ++successes;
    return std::accumulate(o.counts.begin(), o.counts.end(), successes);
}

// The journal without the bracket's last two calls (setting restored, close)
// comes first in the normal run's journal.
bool startsTheNormalJournal(const Outcome &o, const Outcome &normal) {
    if (o.journal.size() < 2 || o.journal.size() > normal.journal.size())
        return false;
    const std::size_t n = o.journal.size() - 2;
    return std::equal(o.journal.begin(), o.journal.begin() + static_cast<std::ptrdiff_t>(n),
                      normal.journal.begin());
}

class MemoryFault : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(MemoryFault, EveryFailingAllocationKeepsTheOutcomeOrIsReported) {
    const MemoryCase &c = GetParam();
    // Not on Windows, where a DLL allocates through its own runtime, nor
    // under a tool such as valgrind that replaces the allocation functions.
    if (!kovrap_test::allocationsVisible() || libraryObject() == nullptr)
        GTEST_SKIP() << "the library's allocations cannot be seen from the test program here";
    int allocations = 0;
    const Outcome normal = run(c, 0, &allocations);
    EXPECT_EQ(0, normal.error);
    ASSERT_GT(allocations, 0) << "no allocation of the library was seen";
    int fallbacks = 0;
    for (int nth = 1; nth <= allocations; ++nth) {
        SCOPED_TRACE("allocation " + std::to_string(nth) + " of " + std::to_string(allocations) +
                     " fails");
        int ignored = 0;
        const Outcome failed = run(c, nth, &ignored);
        const std::size_t size = kovrap_test::failedAllocationSize();
        ASSERT_NE(0u, size) << "the allocation did not fail";
        std::vector<Entry> journal = kovrap_faults::readJournal();
        kovrap_faults::expectBracketClosed(journal, c.direct, kovrap_faults::Failure{}, 1);
        if (!(c.direct && size == kCodeListBytes)) {
            // The grouping: the plain walk gives the same calls and results.
            EXPECT_EQ(normal, failed);
            ++fallbacks;
            continue;
        }
        // The direct path's code list: the call stops before its first
        // request and says so.
        EXPECT_TRUE(startsTheNormalJournal(failed, normal));
        if (c.info) {
            EXPECT_EQ(answered(normal), answered(failed));
            EXPECT_GT(failed.counts[kOtherStatusList], 0);
        } else {
            EXPECT_EQ(kOutOfMemory, failed.error);
        }
    }
    // Every case has grouping allocations that fall back.
    EXPECT_GT(fallbacks, 0);
    kovrap_faults::recordScenario("memory: " + c.name, allocations, allocations);
    tqvs_reset();
}

const MemoryCase kMemoryCases[] = {
    {"GetDataLocal", false, false},
    {"GetDataDirect", true, false},
    {"SeriesInfoLocal", false, true},
    {"SeriesInfoDirect", true, true},
};

INSTANTIATE_TEST_SUITE_P(Calls, MemoryFault, ::testing::ValuesIn(kMemoryCases),
                         kovrap_test::caseName<MemoryCase>);

} // namespace

namespace {

// The sized listing's only allocation is the direct library's scratch, taken
// before any library call: without it the listing is refused at once.
TEST(MemoryFaultSizedListing, NoScratchForTheDirectTextsIsReportedBeforeAnyCall) {
    if (!kovrap_test::allocationsVisible() || libraryObject() == nullptr)
        GTEST_SKIP() << "the library's allocations cannot be seen from the test program here";
    tqvs_reset();
    tqvs_set_journal(1);
    tqvs_set_logged_in(1);
    tqvs_add_database("alpha");
    ASSERT_EQ(0, tqvs_add_series("alpha", "A1", 10, 2000, 2001, nullptr, 0));
    char buffer[8] = "#######";
    for (const int direct : {0, 1}) {
        tqvs_clear_log();
        kovrap_test::failAllocation(1, libraryObject());
        const int result = c_kovraGetCodesSized(direct, "alpha", buffer, sizeof buffer);
        const int allocations = kovrap_test::stopFailing();
        if (direct == 0) {
            EXPECT_EQ(0, allocations);
            EXPECT_EQ(2, result);
            EXPECT_STREQ("A1", buffer);
            continue;
        }
        EXPECT_EQ(1, allocations);
        EXPECT_EQ(std::size_t{1048576}, kovrap_test::failedAllocationSize());
        EXPECT_EQ(-836, result);
        EXPECT_STREQ("", buffer);
        EXPECT_EQ(0, tqvs_log_size());
    }
    tqvs_reset();
}

} // namespace
