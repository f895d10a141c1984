// The windowed advanced count: its own computation window, the minimum
// lengths, the call of the count itself, and the alignment of the computed
// values into the requested row.
#include "Kovrap.h"
#include "case_names.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using kovrap_test::journal;
using ::testing::ElementsAreArray;

constexpr double kSentinel = -5.0; // what the fetch left in the row
constexpr int kScriptLength = 1000;

// The host's transformation arrays. The request under test is index 1;
// index 0 holds values that must not be read.
struct HostTransforms {
    int transformCode[2] = {77, 1792};
    int paramB[2] = {-9, 4};
    int paramA[2] = {-9, 0};
    int spanEnd[2] = {-9, 0};
    int paramC[2] = {-9, 2};
    int advancedFlag[2] = {1, 1};
    int countStatus[2] = {-7, -7};
    TransformArrays arrays{transformCode, paramB,       paramA,  spanEnd,
                           paramC,        advancedFlag, nullptr, countStatus};
};
constexpr int kIndex = 1;

std::string obs(int from, int to, int frequency, int answer) {
    return "TQVGetObsNum(" + std::to_string(from) + ", " + std::to_string(to) + ", " +
           std::to_string(frequency) + ") -> " + std::to_string(answer);
}

std::string count(const char *library, int from, int to, int frequency, int n, int status) {
    return std::string(library) + "ApplyAdvancedCount({1792,0,4,2}, " + std::to_string(from) +
           ", " + std::to_string(to) + ", " + std::to_string(frequency) + ", out, &" +
           std::to_string(n) + ") -> " + std::to_string(status);
}
std::string local(int from, int to, int frequency, int n, int status = 0) {
    return count("TQV", from, to, frequency, n, status);
}

// Gives the scratch array the values 1, 2, 3, ... so that each row slot
// shows which computed value it received.
void scriptScratch(const char *operation) {
    std::vector<double> values;
    for (int i = 1; i <= kScriptLength; ++i)
        values.push_back(i);
    tqvs_script_values(operation, values.data(), kScriptLength);
}

struct Segments {
    int lead, skip, mid, trail;
};

// The row the segments describe, with scratch value i + 1 at scratch index i.
std::vector<double> alignedRow(const Segments &s) {
    std::vector<double> row(static_cast<std::size_t>(s.lead), KOVRAP_MISSING);
    for (int i = 0; i < s.mid; ++i)
        row.push_back(s.skip + i + 1);
    row.insert(row.end(), static_cast<std::size_t>(s.trail), KOVRAP_MISSING);
    return row;
}

struct AlignCase {
    const char *name;
    int frequency;
    int windowStart, windowEnd, paramA, spanEnd;
    int startDate, endDate, obsPerSeries;
    std::vector<std::pair<int, int>> obsNumAnswers; // (nth call, answer) forced
    int status;
    Segments segments; // on success
    std::vector<std::string> calls;
};

void PrintTo(const AlignCase &c, std::ostream *out) {
    *out << c.name;
}

const AlignCase kAlignCases[] = {
    {"LeadMidTrail",
     40,
     200103,
     200410,
     0,
     0,
     200001,
     200512,
     72,
     {},
     0,
     {14, 0, 44, 14},
     {obs(200103, 200410, 40, 44), local(200103, 200410, 40, 44), obs(200001, 200102, 40, 14),
      obs(200103, 200410, 40, 44), obs(200411, 200512, 40, 14)}},
    {"LowerLimitGivesSkipMidTrail",
     40,
     200001,
     200512,
     200101,
     0,
     200301,
     200612,
     48,
     {},
     0,
     {0, 24, 36, 12},
     {obs(200101, 200512, 40, 60), local(200101, 200512, 40, 60), obs(200101, 200300, 40, 24),
      obs(200301, 200512, 40, 36), obs(200513, 200612, 40, 12)}},
    {"RequestedEqualsComputation",
     40,
     200101,
     200512,
     0,
     0,
     200101,
     200512,
     60,
     {},
     0,
     {0, 0, 60, 0},
     {obs(200101, 200512, 40, 60), local(200101, 200512, 40, 60), obs(200101, 200512, 40, 60)}},
    {"RequestedInsideComputation",
     40,
     200001,
     200512,
     0,
     0,
     200201,
     200312,
     24,
     {},
     0,
     {0, 24, 24, 0},
     {obs(200001, 200512, 40, 72), local(200001, 200512, 40, 72), obs(200001, 200200, 40, 24),
      obs(200201, 200312, 40, 24)}},
    {"SpanLimitsDoNotWiden",
     40,
     200101,
     200512,
     200001,
     200612,
     200101,
     200512,
     60,
     {},
     0,
     {0, 0, 60, 0},
     {obs(200101, 200512, 40, 60), local(200101, 200512, 40, 60), obs(200101, 200512, 40, 60)}},
    {"ExtremeSpanLimitsDoNotWiden",
     10,
     2000,
     2002,
     INT_MIN,
     INT_MAX,
     2000,
     2002,
     3,
     {},
     0,
     {0, 0, 3, 0},
     {obs(2000, 2002, 10, 3), local(2000, 2002, 10, 3), obs(2000, 2002, 10, 3)}},
    {"SpanLimitsNarrowBothSides",
     40,
     200001,
     200612,
     200101,
     200512,
     200001,
     200612,
     84,
     {},
     0,
     {12, 0, 60, 12},
     {obs(200101, 200512, 40, 60), local(200101, 200512, 40, 60), obs(200001, 200100, 40, 12),
      obs(200101, 200512, 40, 60), obs(200513, 200612, 40, 12)}},
    {"ThirtySixMonthsRun",
     40,
     200101,
     200312,
     0,
     0,
     200101,
     200312,
     36,
     {},
     0,
     {0, 0, 36, 0},
     {obs(200101, 200312, 40, 36), local(200101, 200312, 40, 36), obs(200101, 200312, 40, 36)}},
    {"ThirtyFiveMonthsTooFew",
     40,
     200101,
     200311,
     0,
     0,
     200101,
     200311,
     35,
     {},
     834,
     {},
     {obs(200101, 200311, 40, 35)}},
    {"TwelveQuartersRun",
     30,
     20001,
     20024,
     0,
     0,
     20001,
     20024,
     12,
     {},
     0,
     {0, 0, 12, 0},
     {obs(20001, 20024, 30, 12), local(20001, 20024, 30, 12), obs(20001, 20024, 30, 12)}},
    {"ElevenQuartersTooFew",
     30,
     20001,
     20023,
     0,
     0,
     20001,
     20023,
     11,
     {},
     834,
     {},
     {obs(20001, 20023, 30, 11)}},
    {"OneYearRuns",
     10,
     2000,
     2000,
     0,
     0,
     2000,
     2000,
     1,
     {},
     0,
     {0, 0, 1, 0},
     {obs(2000, 2000, 10, 1), local(2000, 2000, 10, 1), obs(2000, 2000, 10, 1)}},
    {"EmptyAnnualComputationWindowRuns",
     10,
     2001,
     2000,
     0,
     0,
     2005,
     2006,
     2,
     {},
     0,
     {0, 0, 0, 2},
     {obs(2001, 2000, 10, 0), local(2001, 2000, 10, 0), obs(2005, 2006, 10, 2)}},
    {"FewDaysRun",
     60,
     20240228,
     20240302,
     0,
     0,
     20240228,
     20240305,
     7,
     {},
     0,
     {0, 0, 4, 3},
     {obs(20240228, 20240302, 60, 4), local(20240228, 20240302, 60, 4),
      obs(20240228, 20240302, 60, 4), obs(20240303, 20240305, 60, 3)}},
    // One day before 20240301 is passed as the plain int 20240300.
    {"DayBeforeAMonthStart",
     60,
     20240301,
     20240303,
     0,
     0,
     20240226,
     20240303,
     7,
     {},
     0,
     {4, 0, 3, 0},
     {obs(20240301, 20240303, 60, 3), local(20240301, 20240303, 60, 3),
      obs(20240226, 20240300, 60, 4), obs(20240301, 20240303, 60, 3)}},
    // The period before and after a date is the int one below and above at
    // every code but the weekly ones: annual, quarterly (quarter 0 and 5),
    // business days (a Sunday ends on the Friday before, a Saturday starts
    // on the Monday after).
    {"AnnualLeadMidTrail",
     10,
     1990,
     1999,
     0,
     0,
     1985,
     2003,
     19,
     {},
     0,
     {5, 0, 10, 4},
     {obs(1990, 1999, 10, 10), local(1990, 1999, 10, 10), obs(1985, 1989, 10, 5),
      obs(1990, 1999, 10, 10), obs(2000, 2003, 10, 4)}},
    {"QuarterlySkipMidTrail",
     30,
     20001,
     20044,
     0,
     0,
     20021,
     20062,
     18,
     {},
     0,
     {0, 8, 12, 6},
     {obs(20001, 20044, 30, 20), local(20001, 20044, 30, 20), obs(20001, 20020, 30, 8),
      obs(20021, 20044, 30, 12), obs(20045, 20062, 30, 6)}},
    {"BusinessLeadMidTrail",
     61,
     20230109,
     20230120,
     0,
     0,
     20230102,
     20230124,
     17,
     {},
     0,
     {5, 0, 10, 2},
     {obs(20230109, 20230120, 61, 10), local(20230109, 20230120, 61, 10),
      obs(20230102, 20230108, 61, 5), obs(20230109, 20230120, 61, 10),
      obs(20230121, 20230124, 61, 2)}},
    {"BusinessSkipMid",
     61,
     20230109,
     20230120,
     0,
     0,
     20230116,
     20230120,
     5,
     {},
     0,
     {0, 5, 5, 0},
     {obs(20230109, 20230120, 61, 10), local(20230109, 20230120, 61, 10),
      obs(20230109, 20230115, 61, 5), obs(20230116, 20230120, 61, 5)}},
    // Weekly: the segments come from N(B, T) and N(S, L) beside n = N(S, T),
    // and from N(B, L) alone when one of them is not positive; no date is
    // formed. A requested window that ends inside the computation window's
    // first week (Thursday 2 March, in the week ending Sunday 5 March) or
    // starts inside its last (Saturday 25 March, in the week ending 26 March,
    // which holds T, Wednesday 22 March) overlaps it by that week.
    {"WeeklyEndInTheFirstComputedWeek",
     57,
     20230305,
     20230326,
     0,
     0,
     20230219,
     20230302,
     3,
     {},
     0,
     {2, 0, 1, 0},
     {obs(20230305, 20230326, 57, 4), local(20230305, 20230326, 57, 4),
      obs(20230219, 20230326, 57, 6), obs(20230305, 20230302, 57, 1)}},
    {"WeeklyStartInTheLastComputedWeek",
     57,
     20230305,
     20230322,
     0,
     0,
     20230325,
     20230409,
     3,
     {},
     0,
     {0, 3, 1, 2},
     {obs(20230305, 20230322, 57, 4), local(20230305, 20230322, 57, 4),
      obs(20230325, 20230322, 57, 1), obs(20230305, 20230409, 57, 6)}},
    {"WeeklyAcrossAMonthEnd",
     55,
     20230303,
     20230331,
     0,
     0,
     20230224,
     20230407,
     7,
     {},
     0,
     {1, 0, 5, 1},
     {obs(20230303, 20230331, 55, 5), local(20230303, 20230331, 55, 5),
      obs(20230224, 20230331, 55, 6), obs(20230303, 20230407, 55, 6)}},
    {"RequestedWhollyAfter",
     40,
     200001,
     200312,
     0,
     0,
     200501,
     200612,
     24,
     {},
     0,
     {0, 0, 0, 24},
     {obs(200001, 200312, 40, 48), local(200001, 200312, 40, 48), obs(200501, 200612, 40, 24)}},
    {"RequestedWhollyBefore",
     40,
     200501,
     200812,
     0,
     0,
     200001,
     200112,
     24,
     {},
     0,
     {24, 0, 0, 0},
     {obs(200501, 200812, 40, 48), local(200501, 200812, 40, 48), obs(200001, 200112, 40, 24)}},
    // The requested window ends before the computation window starts and
    // starts after it ends: both lead and trail take the requested count.
    {"BothDisjointTests",
     40,
     200501,
     200812,
     0,
     0,
     201001,
     200001,
     6,
     {{2, 3}, {3, 3}},
     0,
     {3, 0, 0, 3},
     {obs(200501, 200812, 40, 48), local(200501, 200812, 40, 48), obs(201001, 200001, 40, 3),
      obs(201001, 200001, 40, 3)}},
    {"BothDisjointTestsNegativeCount",
     40,
     200501,
     200812,
     0,
     0,
     201001,
     200001,
     6,
     {},
     835,
     {},
     {obs(200501, 200812, 40, 48), local(200501, 200812, 40, 48), obs(201001, 200001, 40, -119),
      obs(201001, 200001, 40, -119)}},
    {"RowOneLonger",
     40,
     200103,
     200410,
     0,
     0,
     200001,
     200512,
     73,
     {},
     835,
     {},
     {obs(200103, 200410, 40, 44), local(200103, 200410, 40, 44), obs(200001, 200102, 40, 14),
      obs(200103, 200410, 40, 44), obs(200411, 200512, 40, 14)}},
    {"RowOneShorter",
     40,
     200103,
     200410,
     0,
     0,
     200001,
     200512,
     71,
     {},
     835,
     {},
     {obs(200103, 200410, 40, 44), local(200103, 200410, 40, 44), obs(200001, 200102, 40, 14),
      obs(200103, 200410, 40, 44), obs(200411, 200512, 40, 14)}},
    // Period counts that add up to the row but would copy from outside the
    // computed values: refused without touching the row.
    {"SkipPastTheComputedValues",
     40,
     200001,
     200512,
     200101,
     0,
     200301,
     200612,
     48,
     {{2, 30}},
     835,
     {},
     {obs(200101, 200512, 40, 60), local(200101, 200512, 40, 60), obs(200101, 200300, 40, 30),
      obs(200301, 200512, 40, 36), obs(200513, 200612, 40, 12)}},
    {"MidPastTheComputedValues",
     40,
     200103,
     200410,
     0,
     0,
     200001,
     200512,
     72,
     {{3, 58}, {4, 0}},
     835,
     {},
     {obs(200103, 200410, 40, 44), local(200103, 200410, 40, 44), obs(200001, 200102, 40, 14),
      obs(200103, 200410, 40, 58), obs(200411, 200512, 40, 0)}},
    {"ComputationCountBelowMid",
     40,
     200103,
     200410,
     0,
     0,
     200001,
     200512,
     72,
     {{1, 40}},
     835,
     {},
     {obs(200103, 200410, 40, 40), local(200103, 200410, 40, 40), obs(200001, 200102, 40, 14),
      obs(200103, 200410, 40, 44), obs(200411, 200512, 40, 14)}},
    {"NegativeLead",
     40,
     200103,
     200410,
     0,
     0,
     200001,
     200512,
     72,
     {{2, -1}, {4, 29}},
     835,
     {},
     {obs(200103, 200410, 40, 44), local(200103, 200410, 40, 44), obs(200001, 200102, 40, -1),
      obs(200103, 200410, 40, 44), obs(200411, 200512, 40, 29)}},
    {"NegativeSkip",
     40,
     200001,
     200512,
     200101,
     0,
     200301,
     200612,
     48,
     {{2, -24}},
     835,
     {},
     {obs(200101, 200512, 40, 60), local(200101, 200512, 40, 60), obs(200101, 200300, 40, -24),
      obs(200301, 200512, 40, 36), obs(200513, 200612, 40, 12)}},
    {"NegativeCountAnnual",
     10,
     2000,
     2010,
     0,
     0,
     2000,
     2010,
     11,
     {{1, -1}},
     834,
     {},
     {obs(2000, 2010, 10, -1)}},
    {"NegativeCountQuarterly",
     30,
     20001,
     20104,
     0,
     0,
     20001,
     20104,
     44,
     {{1, -1}},
     834,
     {},
     {obs(20001, 20104, 30, -1)}},
    {"NegativeCountMonthly",
     40,
     200001,
     200512,
     0,
     0,
     200001,
     200512,
     72,
     {{1, -3}},
     834,
     {},
     {obs(200001, 200512, 40, -3)}},
    {"NegativeCountDaily",
     60,
     20240101,
     20240131,
     0,
     0,
     20240101,
     20240131,
     31,
     {{1, -1}},
     834,
     {},
     {obs(20240101, 20240131, 60, -1)}},
    // Windows at the ends of the int range: no period date one below or one
    // above them is ever formed.
    {"WholeIntRange",
     10,
     INT_MIN,
     INT_MAX,
     0,
     0,
     INT_MIN,
     INT_MAX,
     3,
     {{0, 3}},
     0,
     {0, 0, 3, 0},
     {obs(INT_MIN, INT_MAX, 10, 3), local(INT_MIN, INT_MAX, 10, 3), obs(INT_MIN, INT_MAX, 10, 3)}},
    {"ComputationAtIntMax",
     10,
     2000,
     INT_MAX,
     INT_MAX,
     0,
     INT_MAX - 2,
     INT_MAX,
     3,
     {},
     0,
     {2, 0, 1, 0},
     {obs(INT_MAX, INT_MAX, 10, 1), local(INT_MAX, INT_MAX, 10, 1),
      obs(INT_MAX - 2, INT_MAX - 1, 10, 2), obs(INT_MAX, INT_MAX, 10, 1)}},
    {"ComputationAtIntMin",
     10,
     INT_MIN,
     2000,
     0,
     INT_MIN,
     INT_MIN,
     INT_MIN + 2,
     3,
     {},
     0,
     {0, 0, 1, 2},
     {obs(INT_MIN, INT_MIN, 10, 1), local(INT_MIN, INT_MIN, 10, 1), obs(INT_MIN, INT_MIN, 10, 1),
      obs(INT_MIN + 1, INT_MIN + 2, 10, 2)}},
};

class AdvancedAlignment : public kovrap_test::StandinTest,
                          public ::testing::WithParamInterface<AlignCase> {};

TEST_P(AdvancedAlignment, CallsAndRow) {
    const AlignCase &c = GetParam();
    for (const auto &answer : c.obsNumAnswers)
        tqvs_inject("TQVGetObsNum", answer.first, answer.second);
    scriptScratch("TQVApplyAdvancedCount");
    HostTransforms host;
    host.paramA[kIndex] = c.paramA;
    host.spanEnd[kIndex] = c.spanEnd;
    std::vector<double> row(static_cast<std::size_t>(c.obsPerSeries), kSentinel);

    const int status =
        ZOZurevAdvancedCount(0, &host.arrays, kIndex, c.windowStart, c.windowEnd, c.startDate,
                             c.endDate, c.frequency, row.data(), c.obsPerSeries);

    EXPECT_EQ(c.status, status);
    EXPECT_EQ(c.calls, journal());
    if (c.status == 0)
        EXPECT_EQ(alignedRow(c.segments), row);
    else
        EXPECT_EQ(std::vector<double>(row.size(), kSentinel), row) << "row was touched";
    // Recording a failure is the caller's business.
    EXPECT_THAT(host.countStatus, ElementsAreArray({-7, -7}));
}

INSTANTIATE_TEST_SUITE_P(Windows, AdvancedAlignment, ::testing::ValuesIn(kAlignCases),
                         kovrap_test::caseName<AlignCase>);

class AdvancedCount : public kovrap_test::StandinTest {};

TEST_F(AdvancedCount, FailedCountReturnsItsStatusAndLeavesTheRow) {
    for (int failure : {31, 20, 1, -1, 834}) {
        tqvs_reset();
        tqvs_inject("TQVApplyAdvancedCount", 1, failure);
        HostTransforms host;
        std::vector<double> row(72, kSentinel);
        EXPECT_EQ(failure, ZOZurevAdvancedCount(0, &host.arrays, kIndex, 200103, 200410, 200001,
                                                200512, 40, row.data(), 72));
        EXPECT_THAT(journal(), ElementsAreArray({obs(200103, 200410, 40, 44),
                                                 local(200103, 200410, 40, 44, failure)}));
        EXPECT_EQ(std::vector<double>(72, kSentinel), row);
    }
}

// The count receives n zero-filled doubles: a count that writes only the first
// few leaves zeros in the rest, and those reach the row as computed values.
TEST_F(AdvancedCount, ScratchStartsZeroFilled) {
    const double firstFew[] = {7.5, 8.5, 9.5};
    tqvs_script_values("TQVApplyAdvancedCount", firstFew, 3);
    HostTransforms host;
    std::vector<double> row(72, kSentinel);
    ASSERT_EQ(0, ZOZurevAdvancedCount(0, &host.arrays, kIndex, 200103, 200410, 200001, 200512, 40,
                                      row.data(), 72));
    std::vector<double> expected(14, KOVRAP_MISSING);
    expected.insert(expected.end(), {7.5, 8.5, 9.5});
    expected.insert(expected.end(), 41, 0.0);
    expected.insert(expected.end(), 14, KOVRAP_MISSING);
    EXPECT_EQ(expected, row);
}

TEST_F(AdvancedCount, DirectFlagSelectsTheDirectCountOnly) {
    for (int direct : {1, -1, 2}) {
        tqvs_reset();
        scriptScratch("TQVDApplyAdvancedCount");
        HostTransforms host;
        host.paramA[kIndex] = 200101;
        std::vector<double> row(48, kSentinel);
        EXPECT_EQ(0, ZOZurevAdvancedCount(direct, &host.arrays, kIndex, 200001, 200512, 200301,
                                          200612, 40, row.data(), 48));
        EXPECT_THAT(
            journal(),
            ElementsAreArray({obs(200101, 200512, 40, 60), count("TQVD", 200101, 200512, 40, 60, 0),
                              obs(200101, 200300, 40, 24), obs(200301, 200512, 40, 36),
                              obs(200513, 200612, 40, 12)}))
            << direct;
        EXPECT_EQ(alignedRow({0, 24, 36, 12}), row) << direct;
    }
}

TEST_F(AdvancedCount, DirectFailureIsReturned) {
    tqvs_inject("TQVDApplyAdvancedCount", 1, 3);
    HostTransforms host;
    std::vector<double> row(60, kSentinel);
    EXPECT_EQ(3, ZOZurevAdvancedCount(1, &host.arrays, kIndex, 200101, 200512, 200101, 200512, 40,
                                      row.data(), 60));
    EXPECT_THAT(journal(), ElementsAreArray({obs(200101, 200512, 40, 60),
                                             count("TQVD", 200101, 200512, 40, 60, 3)}));
    EXPECT_EQ(std::vector<double>(60, kSentinel), row);
}

// The count takes the request's own code and its second and third
// parameters; the first is always 0, whatever paramA holds.
TEST_F(AdvancedCount, ParametersComeFromTheRequestsEntries) {
    HostTransforms host;
    host.transformCode[kIndex] = -1;
    host.paramB[kIndex] = 12;
    host.paramC[kIndex] = -3;
    host.paramA[kIndex] = 200101;
    scriptScratch("TQVApplyAdvancedCount");
    std::vector<double> row(60, kSentinel);
    EXPECT_EQ(0, ZOZurevAdvancedCount(0, &host.arrays, kIndex, 200001, 200512, 200101, 200512, 40,
                                      row.data(), 60));
    EXPECT_EQ("TQVApplyAdvancedCount({-1,0,12,-3}, 200101, 200512, 40, out, &60) -> 0",
              journal().at(1));
}

// ---- weekly codes --------------------------------------------------------

// The calendar date `days` days after `date`, worked out by the C library
// (noon, so that no clock change moves the day).
int dayPlus(int date, int days) {
    std::tm t{};
    t.tm_year = date / 10000 - 1900;
    t.tm_mon = date / 100 % 100 - 1;
    t.tm_mday = date % 100 + days;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    std::mktime(&t);
    return (t.tm_year + 1900) * 10000 + (t.tm_mon + 1) * 100 + t.tm_mday;
}

// A day of a week given by its week, counted from the computation window's
// first week, and by its distance from the week's last day (0 the last day,
// -1 the day before, -6 the first day).
struct WeekDay {
    int week;
    int day;
};

// A requested window against the computation window of weeks 0 to 9 (n 10),
// with the segments worked out by hand in weeks.
struct WeeklyCase {
    const char *name;
    WeekDay start, end;
    Segments segments;
};

const WeeklyCase kWeeklyCases[] = {
    // Starting before the computation window.
    {"BeforeToInside", {-3, 0}, {5, 0}, {3, 0, 6, 0}},
    {"BeforeToAfter", {-3, -6}, {12, -1}, {3, 0, 10, 3}},
    {"BeforeToBefore", {-5, 0}, {-2, -1}, {4, 0, 0, 0}},
    // Starting and ending inside the first and last week of the window.
    {"SameWeeks", {0, -6}, {9, -1}, {0, 0, 10, 0}},
    // Starting inside.
    {"InsideToInside", {4, -6}, {7, -1}, {0, 4, 4, 0}},
    {"InsideToAfter", {4, 0}, {12, 0}, {0, 4, 6, 3}},
    // Starting after.
    {"AfterToAfter", {11, -6}, {13, 0}, {0, 0, 0, 3}},
};

// The last days of the weeks that hold Monday 27 February 2023, by weekly
// code: the weeks ending Monday 27 February (51) to Sunday 5 March (57).
const int kWeekZero[7] = {20230227, 20230228, 20230301, 20230302, 20230303, 20230304, 20230305};

class WeeklyAlignment : public kovrap_test::StandinTest,
                        public ::testing::WithParamInterface<std::tuple<int, WeeklyCase>> {};

// At every weekly code the segments are counted from N(B, T) and N(S, L)
// (and N(B, L) for a disjoint window) and fill the row as worked out in
// weeks, whichever day of a week the requested window starts or ends on, a
// day reading as the week that holds it (the stand-in's default).
TEST_P(WeeklyAlignment, CountsWholeWeeks) {
    const int f = std::get<0>(GetParam());
    const WeeklyCase &c = std::get<1>(GetParam());
    const int zero = kWeekZero[f - 51];
    const auto week = [zero](int k) { return dayPlus(zero, 7 * k); };
    const auto date = [&week](WeekDay d) { return dayPlus(week(d.week), d.day); };
    const int s = week(0), t = week(9), b = date(c.start), l = date(c.end);
    const Segments &g = c.segments;
    const int e = g.lead + g.mid + g.trail;

    // Which counts are taken, and what they answer, follows from the weeks.
    const int bt = 9 - c.start.week + 1, sl = c.end.week - 0 + 1;
    std::vector<std::string> calls = {obs(s, t, f, 10), local(s, t, f, 10), obs(b, t, f, bt),
                                      obs(s, l, f, sl)};
    if (bt <= 0 || sl <= 0)
        calls.push_back(obs(b, l, f, e));

    scriptScratch("TQVApplyAdvancedCount");
    HostTransforms host;
    std::vector<double> row(static_cast<std::size_t>(e), kSentinel);
    EXPECT_EQ(0, ZOZurevAdvancedCount(0, &host.arrays, kIndex, s, t, b, l, f, row.data(), e));
    EXPECT_EQ(calls, journal());
    EXPECT_EQ(alignedRow(g), row);
}

std::string weeklyCaseName(const ::testing::TestParamInfo<std::tuple<int, WeeklyCase>> &p) {
    return "Code" + std::to_string(std::get<0>(p.param)) + std::get<1>(p.param).name;
}

INSTANTIATE_TEST_SUITE_P(Weeks, WeeklyAlignment,
                         ::testing::Combine(::testing::Range(51, 58),
                                            ::testing::ValuesIn(kWeeklyCases)),
                         weeklyCaseName);

// The test's own day arithmetic, checked on dates worked out by hand.
TEST(WeeklyDays, DayPlusCrossesMonthsAndYears) {
    EXPECT_EQ(20230224, dayPlus(20230303, -7));
    EXPECT_EQ(20240223, dayPlus(20240301, -7));
    EXPECT_EQ(20230105, dayPlus(20221229, 7));
    EXPECT_EQ(20230501, dayPlus(20230424, 7));
}

} // namespace
