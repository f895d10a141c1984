// The common range that ends c_kovraSeriesInfo: exclusions, the chosen
// frequency, the start and end periods and the observation count.
#include "Kovrap.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using kovrap_test::journal;
using kovrap_test::journalOf;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kUntouched = -7;
constexpr std::size_t kTextBytes = 96; // wider than any text column

// What the host owns for one information query with the common range.
class Host {
  public:
    explicit Host(int capacity) {
        const auto n = static_cast<std::size_t>(capacity > 0 ? capacity : 1);
        for (auto &list : statusLists)
            list.assign(n, kUntouched);
        for (std::vector<int> *column : intColumns())
            column->assign(n, kUntouched);
        textBytes_.assign(8 * n * kTextBytes, '#');
        for (std::size_t i = 0; i < 8 * n; ++i)
            textPointers_.push_back(textBytes_.data() + i * kTextBytes);
        for (auto &list : exclusionLists)
            list.assign(n, kUntouched);

        char **texts = textPointers_.data();
        status = {0,
                  statusCounts.data(),
                  statusLists[0].data(),
                  statusLists[1].data(),
                  statusLists[2].data(),
                  statusLists[3].data(),
                  statusLists[4].data(),
                  statusLists[5].data(),
                  statusLists[6].data()};
        columns = {texts,
                   firstDate.data(),
                   lastDate.data(),
                   attribute1.data(),
                   frequency.data(),
                   attribute2.data(),
                   attribute3.data(),
                   attribute4.data(),
                   attribute5.data(),
                   attribute6.data(),
                   texts + n,
                   texts + 2 * n,
                   texts + 3 * n,
                   texts + 4 * n,
                   texts + 5 * n,
                   texts + 6 * n,
                   texts + 7 * n};
        range = {1, &requested, &start, &end, &observationCount};
        exclusions = {kUntouched, exclusionCounts.data(), exclusionLists[0].data(),
                      exclusionLists[1].data(), exclusionLists[2].data()};
    }
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    void query(int direct, const std::vector<std::string> &codes,
               const std::vector<std::string> &dbNames, const std::vector<std::string> &databases,
               int merge) {
        std::vector<const char *> c, n, d;
        for (const std::string &s : codes)
            c.push_back(s.c_str());
        for (const std::string &s : dbNames)
            n.push_back(s.c_str());
        for (const std::string &s : databases)
            d.push_back(s.c_str());
        c_kovraSeriesInfo(direct, &status, &columns, c.data(), n.data(), d.data(),
                          static_cast<int>(d.size()), static_cast<int>(c.size()), merge, 0, &range,
                          &exclusions);
    }

    // Entries of exclusion list n that its count covers.
    std::vector<int> excluded(int n) const {
        const int count = exclusionCounts[static_cast<std::size_t>(n)];
        const auto &list = exclusionLists[static_cast<std::size_t>(n)];
        EXPECT_GE(count, 0);
        EXPECT_LE(static_cast<std::size_t>(count), list.size());
        return std::vector<int>(list.begin(), list.begin() + count);
    }
    bool rangeUntouched(int requestedCode, int requestedStart, int requestedEnd) const {
        return requested == requestedCode && start == requestedStart && end == requestedEnd &&
               observationCount == kUntouched &&
               exclusionCounts == std::vector<int>(3, kUntouched) &&
               exclusionLists[0][0] == kUntouched && exclusionLists[1][0] == kUntouched &&
               exclusionLists[2][0] == kUntouched;
    }

    InfoStatusLists status{};
    SeriesInfoColumns columns{};
    CommonRange range{};
    RangeExclusions exclusions{};

    std::vector<int> statusCounts = std::vector<int>(7, kUntouched);
    std::vector<int> statusLists[7];
    std::vector<int> firstDate, lastDate, attribute1, frequency, attribute2, attribute3, attribute4,
        attribute5, attribute6;
    int requested = kUntouched;
    int start = -1;
    int end = -1;
    int observationCount = kUntouched;
    std::vector<int> exclusionCounts = std::vector<int>(3, kUntouched);
    std::vector<int> exclusionLists[3];

  private:
    std::vector<std::vector<int> *> intColumns() {
        return {&firstDate,  &lastDate,   &attribute1, &frequency, &attribute2,
                &attribute3, &attribute4, &attribute5, &attribute6};
    }

    std::vector<char> textBytes_;
    std::vector<char *> textPointers_;
};

// One stored series, as the range sees it through the columns.
struct Stored {
    int frequency;
    int first; // period dates in the series' own frequency
    int last;
    int attribute1; // 0: an empty series
    int attribute6;
};

// Stores the series as S0, S1, ... in alpha and asks for all of them.
std::vector<std::string> store(const std::vector<Stored> &series) {
    tqvs_add_database("alpha");
    std::vector<std::string> codes;
    for (const Stored &s : series) {
        codes.push_back("S" + std::to_string(codes.size()));
        EXPECT_EQ(0, tqvs_add_series("alpha", codes.back().c_str(), s.frequency, s.first, s.last,
                                     nullptr, 0));
        const int attributes[6] = {s.attribute1, 0, 0, 0, 0, s.attribute6};
        EXPECT_EQ(0, tqvs_set_attributes("alpha", codes.back().c_str(), attributes, nullptr));
    }
    return codes;
}

struct RangeCase {
    const char *name;
    std::vector<Stored> series;
    int requested;
    int start; // calendar date, or -1
    int end;
    int merge;
    // Expected outputs.
    int chosen;
    int startPeriod;
    int endPeriod;
    std::vector<int> empty;
    std::vector<int> higher;
    std::vector<int> lower;
};

// Failures name the case rather than dump its bytes.
void PrintTo(const RangeCase &c, std::ostream *os) {
    *os << c.name;
}

const RangeCase kRangeCases[] = {
    {"LowestCodeTenSetsAsideHigherCodesByAttributeSix",
     {{10, 2000, 2010, 1, 1},
      {30, 19991, 20204, 1, 0},
      {40, 199001, 202512, 1, 9},
      {30, 20011, 20154, 1, 2},
      {40, 200503, 202012, 1, 5}},
     1000,
     -1,
     -1,
     0,
     10,
     2000,
     2020,
     {},
     {1, 2},
     {}},
    {"LowestCodeInTheGroupTakesTheMemberFromADailySeries",
     {{60, 20200106, 20201231, 1, 3},
      {53, 20200103, 20210101, 1, 0},
      {60, 20190101, 20221231, 1, 9}},
     1000,
     -1,
     -1,
     0,
     55,
     20200103,
     20210101,
     {},
     {2},
     {}},
    {"GroupFirstUsableDaily",
     {{60, 20180101, 20181231, 1, 9},
      {60, 20180102, 20181228, 1, 4},
      {52, 20180105, 20190104, 1, 0}},
     57,
     -1,
     -1,
     0,
     55,
     20180102,
     20190104,
     {},
     {0},
     {}},
    {"GroupFirstUsableBusinessDaily",
     {{61, 20200102, 20200630, 1, 3}, {53, 20200103, 20200626, 1, 9}, {40, 202001, 202012, 1, 1}},
     57,
     -1,
     -1,
     0,
     57,
     20200102,
     20200630,
     {},
     {},
     {2}},
    {"GroupFirstUsableWeekly",
     {{60, 20180101, 20181231, 1, 0},
      {54, 20180105, 20190104, 1, 0},
      {60, 20170101, 20200101, 1, 4}},
     57,
     -1,
     -1,
     0,
     54,
     20170101,
     20200101,
     {},
     {0},
     {}},
    {"MonthlyRequestedSetsAsideLowerAndHigher",
     {{30, 20191, 20204, 1, 1},
      {60, 20190101, 20221231, 1, 9},
      {60, 20200115, 20210320, 1, 3},
      {40, 202003, 202012, 1, 0}},
     40,
     -1,
     -1,
     0,
     40,
     202001,
     202103,
     {},
     {1},
     {0}},
    {"DailyWithMergeSetsAsideEveryBusinessDaily",
     {{61, 20200101, 20200301, 1, 3},
      {61, 20200101, 20200301, 1, 0},
      {60, 20200201, 20200401, 1, 0}},
     60,
     -1,
     -1,
     1,
     60,
     20200201,
     20200401,
     {},
     {0, 1},
     {}},
    {"DailyWithEvenMergeSetsAsideEveryBusinessDaily",
     {{61, 20200101, 20200301, 1, 3},
      {61, 20200101, 20200301, 1, 0},
      {60, 20200201, 20200401, 1, 0}},
     60,
     -1,
     -1,
     2,
     60,
     20200201,
     20200401,
     {},
     {0, 1},
     {}},
    {"DailyWithoutMergeGoesByAttributeSix",
     {{61, 20200101, 20200301, 1, 3},
      {61, 20200101, 20200301, 1, 0},
      {60, 20200201, 20200401, 1, 0}},
     60,
     -1,
     -1,
     0,
     60,
     20200101,
     20200401,
     {},
     {1},
     {}},
    {"AboveAnyFixedCodeHasNoFloor",
     {{10, 2000, 2001, 1, 0}, {61, 20200101, 20200301, 1, 1}},
     1001,
     -1,
     -1,
     0,
     1001,
     -1,
     -1,
     {},
     {},
     {}},
    {"HostDatesPassThrough",
     {{40, 202001, 202012, 1, 1}},
     40,
     19991115,
     20300105,
     0,
     40,
     199911,
     203001,
     {},
     {},
     {}},
    {"HostEndWithSeriesStart",
     {{30, 20194, 20221, 1, 1}, {30, 20182, 20231, 1, 1}},
     30,
     -1,
     20250515,
     0,
     30,
     20182,
     20252,
     {},
     {},
     {}},
    {"NoRequests", {}, 1000, -1, -1, 0, 100, -1, -1, {}, {}, {}},
    {"OnlyEmptySeries",
     {{10, 2000, 2010, 0, 1}, {40, 200001, 200012, 0, 9}},
     1000,
     -1,
     -1,
     0,
     100,
     -1,
     -1,
     {0, 1},
     {},
     {}},
    {"GroupWithoutUsableSeriesKeepsTheSentinels",
     {{60, 20200101, 20201231, 1, 9}, {61, 20200101, 20201231, 1, 0}},
     57,
     -1,
     -1,
     0,
     57,
     99999999,
     -99999999,
     {},
     {0, 1},
     {}},
    {"EmptySeriesBelowTheFloorIsOnlyEmpty",
     {{10, 1990, 1995, 0, 1}, {10, 1990, 2000, 1, 1}, {40, 200001, 200012, 1, 1}},
     40,
     -1,
     -1,
     0,
     40,
     200001,
     200012,
     {0},
     {},
     {1}},
    {"EmptySeriesDoesNotLowerTheLowestCode",
     {{10, 1990, 1995, 0, 1}, {40, 200001, 200012, 1, 1}, {30, 19991, 20004, 1, 7}},
     1000,
     -1,
     -1,
     0,
     30,
     19991,
     20004,
     {0},
     {},
     {}},
};

class CommonRangeCase : public kovrap_test::StandinTest,
                        public ::testing::WithParamInterface<RangeCase> {};

TEST_P(CommonRangeCase, ChoosesFrequencyRangeAndExclusions) {
    const RangeCase &c = GetParam();
    const std::vector<std::string> codes = store(c.series);
    Host host(static_cast<int>(codes.size()));
    host.requested = c.requested;
    host.start = c.start;
    host.end = c.end;
    host.query(0, codes, std::vector<std::string>(codes.size(), "alpha"), {"alpha"}, c.merge);

    ASSERT_EQ(std::vector<int>(7, 0), host.statusCounts);
    EXPECT_EQ(c.chosen, host.requested);
    EXPECT_EQ(c.startPeriod, host.start);
    EXPECT_EQ(c.endPeriod, host.end);
    EXPECT_EQ((std::vector<int>{static_cast<int>(c.empty.size()), static_cast<int>(c.higher.size()),
                                static_cast<int>(c.lower.size())}),
              host.exclusionCounts);
    EXPECT_EQ(c.empty, host.excluded(0));
    EXPECT_EQ(c.higher, host.excluded(1));
    EXPECT_EQ(c.lower, host.excluded(2));
    // The count is the library's answer for exactly these periods.
    EXPECT_THAT(journalOf({"TQVGetObsNum(", "TQVDGetObsNum("}),
                ElementsAre("TQVGetObsNum(" + std::to_string(c.startPeriod) + ", " +
                            std::to_string(c.endPeriod) + ", " + std::to_string(c.chosen) +
                            ") -> " + std::to_string(host.observationCount)));
}

INSTANTIATE_TEST_SUITE_P(Cases, CommonRangeCase, ::testing::ValuesIn(kRangeCases),
                         [](const ::testing::TestParamInfo<RangeCase> &p) {
                             return std::string(p.param.name);
                         });

class CommonRangeQuery : public kovrap_test::StandinTest {};

TEST_F(CommonRangeQuery, ObservationCountComesFromTheSelectedLibrary) {
    for (int direct : {0, 1}) {
        SCOPED_TRACE(direct ? "direct" : "local");
        tqvs_reset();
        tqvs_set_logged_in(1);
        const std::vector<std::string> codes =
            store({{40, 202001, 202012, 1, 1}, {40, 202006, 202106, 1, 1}});
        Host host(2);
        host.requested = 40;
        host.query(direct, codes, {"alpha", "alpha"}, {"alpha"}, 0);

        EXPECT_EQ(18, host.observationCount);
        EXPECT_EQ(202001, host.start);
        EXPECT_EQ(202106, host.end);
        const std::string lib = direct ? "TQVD" : "TQV";
        const std::string second =
            direct ? "TQVDGetInfo(0, null, out) -> 0" : "TQVGetInfo(0, \"S1\", out) -> 0";
        // The count comes after the last information call and before the
        // bracket ends.
        EXPECT_THAT(journal(),
                    ElementsAre(lib + "EnableRetries(1) -> 0", lib + "EnableAnsi(1) -> 0",
                                lib + "GetMergeData() -> 0", lib + "SetMergeData(1) -> 0",
                                lib + "OpenDatabase(\"alpha\") -> 0",
                                lib + (direct ? "GetInfo(0, \"S0,S1\", out) -> 0"
                                              : "GetInfo(0, \"S0\", out) -> 0"),
                                second, lib + "GetObsNum(202001, 202106, 40) -> 18",
                                lib + "SetMergeData(0) -> 0", lib + "CloseDatabase() -> 0"));
    }
}

TEST_F(CommonRangeQuery, RunsOnlyWithoutFailuresBeyondTheFirstList) {
    struct Case {
        int status; // information status of the second request
        int computeRange;
        bool runs;
    };
    const Case cases[] = {
        {1, 1, true},  {0, 1, true},  {2, 1, false}, {3, 1, false},  {4, 1, false},
        {5, 1, false}, {6, 1, false}, {7, 1, false}, {-1, 1, false}, {0, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("status " + std::to_string(c.status) + ", computeRange " +
                     std::to_string(c.computeRange));
        tqvs_reset();
        const std::vector<std::string> codes =
            store({{10, 2000, 2010, 1, 1}, {10, 1990, 2020, 1, 1}});
        ASSERT_EQ(0, tqvs_set_info_status("alpha", "S1", c.status));
        Host host(2);
        // A request that gets no columns is an empty series for the range.
        host.attribute1[1] = 0;
        host.range.computeRange = c.computeRange;
        host.requested = 1000;
        host.query(0, codes, {"alpha", "alpha"}, {"alpha"}, 0);

        if (c.runs) {
            EXPECT_EQ(10, host.requested);
            EXPECT_EQ(c.status == 0 ? 1990 : 2000, host.start);
            EXPECT_EQ(c.status == 0 ? 2020 : 2010, host.end);
            EXPECT_EQ((std::vector<int>{c.status == 0 ? 0 : 1, 0, 0}), host.exclusionCounts);
            EXPECT_EQ(1, tqvs_log_count("TQVGetObsNum"));
        } else {
            EXPECT_TRUE(host.rangeUntouched(1000, -1, -1));
            EXPECT_EQ(0, tqvs_log_count("TQVGetObsNum"));
        }
    }
}

// Requests whose database is not named take part with what the host left in
// their columns.
TEST_F(CommonRangeQuery, UnnamedDatabaseRequestsTakePartWithTheHostsColumns) {
    const std::vector<std::string> codes = store({{40, 200001, 200012, 1, 1}});
    Host host(3);
    // Request 1: a monthly series the host describes itself; request 2: left
    // with attribute 1 of 0, so empty.
    host.firstDate[1] = 19950115;
    host.lastDate[1] = 20050615;
    host.attribute1[1] = 1;
    host.frequency[1] = 40;
    host.attribute6[1] = 1;
    host.attribute1[2] = 0;
    host.requested = 1000;
    host.query(0, {codes[0], "X", "Y"}, {"alpha", "elsewhere", "elsewhere"}, {"alpha"}, 0);

    EXPECT_EQ(std::vector<int>(7, 0), host.statusCounts);
    EXPECT_EQ(40, host.requested);
    EXPECT_EQ(199501, host.start);
    EXPECT_EQ(200506, host.end);
    EXPECT_EQ(std::vector<int>{2}, host.excluded(0));
    EXPECT_THAT(host.excluded(1), IsEmpty());
    EXPECT_THAT(host.excluded(2), IsEmpty());
    EXPECT_EQ(126, host.observationCount);
}

} // namespace
