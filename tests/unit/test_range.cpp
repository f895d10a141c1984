// The common range that ends c_kovraSeriesInfo: exclusions, the chosen
// frequency, the start and end periods and the observation count.
#include "Kovrap.h"
#include "case_names.h"
#include "info_host.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using kovrap_test::journal;
using kovrap_test::journalOf;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The host of these tests asks for the common range, with neither a start
// nor an end date (-1) unless a test gives them.
class Host : public kovrap_test::InfoHost {
  public:
    explicit Host(int requests) : InfoHost(requests) {
        range.computeRange = 1;
        start = -1;
        end = -1;
    }
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

// One common-range case, written as it reads: the stored series, what the
// host asks (frequency code, start and end as calendar dates or -1, merge
// flag), what the query chooses, and which requests it sets aside.
struct RangeCase {
    const char *name;
    std::vector<Stored> series;
    int requested = 0;
    int start = -1;
    int end = -1;
    int merge = 0;
    int chosen = 0;
    int startPeriod = 0;
    int endPeriod = 0;
    std::vector<int> empty;
    std::vector<int> higher;
    std::vector<int> lower;

    RangeCase(const char *caseName, std::vector<Stored> stored)
        : name(caseName), series(std::move(stored)) {}

    RangeCase asking(int frequency, int startDate, int endDate, int mergeFlag) const {
        RangeCase c = *this;
        c.requested = frequency;
        c.start = startDate;
        c.end = endDate;
        c.merge = mergeFlag;
        return c;
    }
    RangeCase chooses(int frequency, int first, int last) const {
        RangeCase c = *this;
        c.chosen = frequency;
        c.startPeriod = first;
        c.endPeriod = last;
        return c;
    }
    // Requests set aside as empty, as higher than the chosen frequency, and
    // as lower than it.
    RangeCase setsAside(std::vector<int> emptyOnes, std::vector<int> higherOnes,
                        std::vector<int> lowerOnes) const {
        RangeCase c = *this;
        c.empty = std::move(emptyOnes);
        c.higher = std::move(higherOnes);
        c.lower = std::move(lowerOnes);
        return c;
    }
};

// Failures name the case rather than dump its bytes.
void PrintTo(const RangeCase &c, std::ostream *os) {
    *os << c.name;
}

const RangeCase kRangeCases[] = {
    RangeCase{"LowestCodeTenSetsAsideHigherCodesByAttributeSix",
              {{10, 2000, 2010, 1, 1},
               {30, 19991, 20204, 1, 0},
               {40, 199001, 202512, 1, 9},
               {30, 20011, 20154, 1, 2},
               {40, 200503, 202012, 1, 5}}}
        .asking(1000, -1, -1, 0)
        .chooses(10, 2000, 2020)
        .setsAside({}, {1, 2}, {}),
    RangeCase{"LowestCodeInTheGroupTakesTheMemberFromADailySeries",
              {{60, 20200106, 20201231, 1, 3},
               {53, 20200103, 20210101, 1, 0},
               {60, 20190101, 20221231, 1, 9}}}
        .asking(1000, -1, -1, 0)
        .chooses(55, 20200103, 20210101)
        .setsAside({}, {2}, {}),
    RangeCase{"GroupFirstUsableDaily",
              {{60, 20180101, 20181231, 1, 9},
               {60, 20180102, 20181228, 1, 4},
               {52, 20180105, 20190104, 1, 0}}}
        .asking(57, -1, -1, 0)
        .chooses(55, 20180102, 20190104)
        .setsAside({}, {0}, {}),
    RangeCase{"GroupFirstUsableBusinessDaily",
              {{61, 20200102, 20200630, 1, 3},
               {53, 20200103, 20200626, 1, 9},
               {40, 202001, 202012, 1, 1}}}
        .asking(57, -1, -1, 0)
        .chooses(57, 20200102, 20200630)
        .setsAside({}, {}, {2}),
    RangeCase{"GroupFirstUsableWeekly",
              {{60, 20180101, 20181231, 1, 0},
               {54, 20180105, 20190104, 1, 0},
               {60, 20170101, 20200101, 1, 4}}}
        .asking(57, -1, -1, 0)
        .chooses(54, 20170101, 20200101)
        .setsAside({}, {0}, {}),
    RangeCase{"MonthlyRequestedSetsAsideLowerAndHigher",
              {{30, 20191, 20204, 1, 1},
               {60, 20190101, 20221231, 1, 9},
               {60, 20200115, 20210320, 1, 3},
               {40, 202003, 202012, 1, 0}}}
        .asking(40, -1, -1, 0)
        .chooses(40, 202001, 202103)
        .setsAside({}, {1}, {0}),
    RangeCase{"DailyWithMergeSetsAsideEveryBusinessDaily",
              {{61, 20200101, 20200301, 1, 3},
               {61, 20200101, 20200301, 1, 0},
               {60, 20200201, 20200401, 1, 0}}}
        .asking(60, -1, -1, 1)
        .chooses(60, 20200201, 20200401)
        .setsAside({}, {0, 1}, {}),
    RangeCase{"DailyWithEvenMergeSetsAsideEveryBusinessDaily",
              {{61, 20200101, 20200301, 1, 3},
               {61, 20200101, 20200301, 1, 0},
               {60, 20200201, 20200401, 1, 0}}}
        .asking(60, -1, -1, 2)
        .chooses(60, 20200201, 20200401)
        .setsAside({}, {0, 1}, {}),
    RangeCase{"DailyWithoutMergeGoesByAttributeSix",
              {{61, 20200101, 20200301, 1, 3},
               {61, 20200101, 20200301, 1, 0},
               {60, 20200201, 20200401, 1, 0}}}
        .asking(60, -1, -1, 0)
        .chooses(60, 20200101, 20200401)
        .setsAside({}, {1}, {}),
    RangeCase{"AboveAnyFixedCodeHasNoFloor",
              {{10, 2000, 2001, 1, 0}, {61, 20200101, 20200301, 1, 1}}}
        .asking(1001, -1, -1, 0)
        .chooses(1001, -1, -1)
        .setsAside({}, {}, {}),
    RangeCase{"HostDatesPassThrough", {{40, 202001, 202012, 1, 1}}}
        .asking(40, 19991115, 20300105, 0)
        .chooses(40, 199911, 203001)
        .setsAside({}, {}, {}),
    RangeCase{"HostEndWithSeriesStart", {{30, 20194, 20221, 1, 1}, {30, 20182, 20231, 1, 1}}}
        .asking(30, -1, 20250515, 0)
        .chooses(30, 20182, 20252)
        .setsAside({}, {}, {}),
    RangeCase{"NoRequests", {}}.asking(1000, -1, -1, 0).chooses(100, -1, -1).setsAside({}, {}, {}),
    RangeCase{"OnlyEmptySeries", {{10, 2000, 2010, 0, 1}, {40, 200001, 200012, 0, 9}}}
        .asking(1000, -1, -1, 0)
        .chooses(100, -1, -1)
        .setsAside({0, 1}, {}, {}),
    RangeCase{"GroupWithoutUsableSeriesKeepsTheSentinels",
              {{60, 20200101, 20201231, 1, 9}, {61, 20200101, 20201231, 1, 0}}}
        .asking(57, -1, -1, 0)
        .chooses(57, 99999999, -99999999)
        .setsAside({}, {0, 1}, {}),
    RangeCase{"EmptySeriesBelowTheFloorIsOnlyEmpty",
              {{10, 1990, 1995, 0, 1}, {10, 1990, 2000, 1, 1}, {40, 200001, 200012, 1, 1}}}
        .asking(40, -1, -1, 0)
        .chooses(40, 200001, 200012)
        .setsAside({0}, {}, {1}),
    RangeCase{"EmptySeriesDoesNotLowerTheLowestCode",
              {{10, 1990, 1995, 0, 1}, {40, 200001, 200012, 1, 1}, {30, 19991, 20004, 1, 7}}}
        .asking(1000, -1, -1, 0)
        .chooses(30, 19991, 20004)
        .setsAside({0}, {}, {}),
};

class CommonRangeCase : public kovrap_test::StandinTest,
                        public ::testing::WithParamInterface<RangeCase> {};

TEST_P(CommonRangeCase, ChoosesFrequencyRangeAndExclusions) {
    const RangeCase &c = GetParam();
    const std::vector<std::string> codes = store(c.series);
    Host host(static_cast<int>(codes.size()));
    host.requestedFrequency = c.requested;
    host.start = c.start;
    host.end = c.end;
    host.query(0, codes, std::vector<std::string>(codes.size(), "alpha"), {"alpha"}, c.merge);

    ASSERT_EQ(std::vector<int>(7, 0), host.counts);
    EXPECT_EQ(c.chosen, host.requestedFrequency);
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
                         kovrap_test::caseName<RangeCase>);

class CommonRangeQuery : public kovrap_test::StandinTest {};

TEST_F(CommonRangeQuery, ObservationCountComesFromTheSelectedLibrary) {
    for (int direct : {0, 1}) {
        SCOPED_TRACE(direct ? "direct" : "local");
        tqvs_reset();
        tqvs_set_logged_in(1);
        const std::vector<std::string> codes =
            store({{40, 202001, 202012, 1, 1}, {40, 202006, 202106, 1, 1}});
        Host host(2);
        host.requestedFrequency = 40;
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
        host.requestedFrequency = 1000;
        host.query(0, codes, {"alpha", "alpha"}, {"alpha"}, 0);

        if (c.runs) {
            EXPECT_EQ(10, host.requestedFrequency);
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
    host.requestedFrequency = 1000;
    host.query(0, {codes[0], "X", "Y"}, {"alpha", "elsewhere", "elsewhere"}, {"alpha"}, 0);

    EXPECT_EQ(std::vector<int>(7, 0), host.counts);
    EXPECT_EQ(40, host.requestedFrequency);
    EXPECT_EQ(199501, host.start);
    EXPECT_EQ(200506, host.end);
    EXPECT_EQ(std::vector<int>{2}, host.excluded(0));
    EXPECT_THAT(host.excluded(1), IsEmpty());
    EXPECT_THAT(host.excluded(2), IsEmpty());
    EXPECT_EQ(126, host.observationCount);
}

} // namespace
