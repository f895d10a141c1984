// The windowed advanced count at the weekly codes, under both ways a library
// may read a day inside a week given as the end of a window: the week that
// holds it, or the last week ending on or before it. The expected rows come
// from a small model of its own: which week each date stands for under the
// reading, and which requested week each computed week lands in.
#include "Kovrap.h"
#include "case_names.h"
#include "standin_fixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

constexpr double kSentinel = -5.0; // what the fetch left in the row
constexpr double M = KOVRAP_MISSING;

// The host's transformation arrays, with the request under test at index 0.
struct HostTransforms {
    int transformCode[1] = {1792};
    int paramB[1] = {4};
    int paramA[1] = {0};
    int spanEnd[1] = {0};
    int paramC[1] = {2};
    int advancedFlag[1] = {1};
    int countStatus[1] = {-7};
    TransformArrays arrays{transformCode, paramB,       paramA,  spanEnd,
                           paramC,        advancedFlag, nullptr, countStatus};
};

// ---- the model ------------------------------------------------------------

long long floorDiv(long long a, long long b) {
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}

bool leap(long long y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Days from 1 January of the year 1 to a date given as any int, read as the
// libraries read one: year, month and day by floor division, a month or day
// out of range carried on. Counted by whole years and a table of month
// lengths.
long long serial(int date) {
    const long long year = floorDiv(date, 10000);
    const long long rest = date - year * 10000;
    const long long y = year + floorDiv(rest / 100 - 1, 12);
    const long long m = rest / 100 - 1 - 12 * floorDiv(rest / 100 - 1, 12); // 0 to 11
    static const int kBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const long long p = y - 1;
    return 365 * p + floorDiv(p, 4) - floorDiv(p, 100) + floorDiv(p, 400) + kBefore[m] +
           (m >= 2 && leap(y) ? 1 : 0) + rest % 100 - 1;
}

// 1 January of the year 1 was a Monday: 0 is Monday, 6 Sunday.
int weekday(int date) {
    return static_cast<int>(serial(date) - 7 * floorDiv(serial(date), 7));
}

// Weeks of code f (51 ending Monday ... 57 ending Sunday) numbered by the
// serial of their last day.
long long weekHolding(int date, int f) {
    const long long toEnd = ((f - 51) - weekday(date) + 7) % 7;
    return floorDiv(serial(date) + toEnd, 7);
}

// A start always stands for the week that holds it.
long long startWeek(int date, int f) {
    return weekHolding(date, f);
}

// An end, under the reading: inside a week, the week before it when ended.
long long endWeek(int date, int f, int reading) {
    const bool inside = weekday(date) != f - 51;
    return weekHolding(date, f) - (reading == TQVS_WEEK_ENDED && inside ? 1 : 0);
}

struct Expected {
    int status;
    std::vector<double> row; // slot j: computed value (index + 1) or missing
};

// The row for requested weeks startWeek(B) .. endWeek(L): each requested
// week that is computed week i gets scratch value i + 1.
Expected modelRow(int f, int reading, int s, int t, int b, int l) {
    const long long first = startWeek(s, f);
    const long long n = endWeek(t, f, reading) - first + 1;
    const long long length = endWeek(l, f, reading) - startWeek(b, f) + 1;
    if (n < 0)
        return {KOVRAP_STATUS_TOO_FEW_PERIODS, {}};
    std::vector<double> row;
    for (long long week = startWeek(b, f); week < startWeek(b, f) + length; ++week) {
        const long long i = week - first;
        row.push_back(i >= 0 && i < n ? static_cast<double>(i + 1) : M);
    }
    return {0, row};
}

// ---- the call -------------------------------------------------------------

struct Outcome {
    int status;
    std::vector<double> row;
};

// Asks for the row the way a host does: sized by the library's count of the
// requested window, the scratch values 1, 2, 3, ... in computed order.
Outcome advancedRow(int f, int s, int t, int b, int l) {
    const int length = TQVGetObsNum(b, l, f);
    const int n = TQVGetObsNum(s, t, f);
    std::vector<double> scratch;
    for (int i = 1; i <= n; ++i)
        scratch.push_back(i);
    if (n >= 0) // with fewer periods the count is never called
        tqvs_script_values("TQVApplyAdvancedCount", scratch.data(), n);
    HostTransforms host;
    std::vector<double> row(static_cast<std::size_t>(length > 0 ? length : 0), kSentinel);
    const int status = ZOZurevAdvancedCount(0, &host.arrays, 0, s, t, b, l, f, row.data(), length);
    return {status, row};
}

std::string rowText(const std::vector<double> &row) {
    std::string text;
    for (double v : row)
        text += v == M ? " M" : " " + std::to_string(static_cast<long long>(v));
    return text;
}

// Kovrap's row and status against the model's.
::testing::AssertionResult followsTheWeeks(int f, int reading, int s, int t, int b, int l) {
    const Expected want = modelRow(f, reading, s, t, b, l);
    const Outcome run = advancedRow(f, s, t, b, l);
    if (run.status == want.status && (want.status != 0 || run.row == want.row))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "code " << f << " S " << s << " T " << t << " B " << b << " L " << l << ": status "
           << run.status << " row" << rowText(run.row) << ", the weeks give status " << want.status
           << " row" << rowText(want.row);
}

const char *readingName(int reading) {
    return reading == TQVS_WEEK_ENDED ? "Ended" : "Holding";
}

class WeeklyReading : public kovrap_test::StandinTest, public ::testing::WithParamInterface<int> {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        tqvs_set_weekly_end(GetParam());
        ASSERT_EQ(GetParam(), tqvs_weekly_end());
        tqvs_set_journal(0); // the grid makes many calls
    }
};

// The model's day arithmetic and readings, on dates worked out by hand.
TEST(WeeklyModel, ReadsDaysAndWeeksAsWorkedOutByHand) {
    EXPECT_EQ(6, weekday(20230305)); // a Sunday
    EXPECT_EQ(3, weekday(20240229)); // a Thursday
    EXPECT_EQ(0, weekday(20240101)); // a Monday
    EXPECT_EQ(serial(20240101), serial(20231231) + 1);
    EXPECT_EQ(serial(20230301), serial(20230228) + 1);
    EXPECT_EQ(serial(20240301), serial(20240228) + 2);
    EXPECT_EQ(serial(20231301), serial(20240101)); // month 13
    EXPECT_EQ(serial(20230300), serial(20230228)); // day 0
    // Thursday 2 March 2023 at code 57: the week ending 5 March as a start
    // and, held, as an end; the week ending 26 February when ended.
    EXPECT_EQ(weekHolding(20230305, 57), startWeek(20230302, 57));
    EXPECT_EQ(weekHolding(20230305, 57), endWeek(20230302, 57, TQVS_WEEK_HOLDING));
    EXPECT_EQ(weekHolding(20230226, 57), endWeek(20230302, 57, TQVS_WEEK_ENDED));
    EXPECT_EQ(weekHolding(20230305, 57), endWeek(20230305, 57, TQVS_WEEK_ENDED));
    EXPECT_EQ(weekHolding(20230227, 51) + 1, weekHolding(20230228, 51));
}

// The stand-in counts as the model does under the reading in force.
TEST_P(WeeklyReading, StandinCountsAsTheModel) {
    const int reading = GetParam();
    for (int f = 51; f <= 57; ++f)
        for (int start = 20231225; start <= 20231231; ++start)
            for (int end = 20240101; end <= 20240114; ++end)
                ASSERT_EQ(endWeek(end, f, reading) - startWeek(start, f) + 1,
                          TQVGetObsNum(start, end, f))
                    << f << " " << start << " " << end;
}

// Requests worked out by hand under both readings.
struct HandCase {
    const char *name;
    int f, s, t, b, l;
    int reading;
    int status;
    std::vector<double> row;
};

const HandCase kHandCases[] = {
    // Code 57: Thursday 2 March to Sunday 26 March computes the weeks ending
    // 5 to 26 March; 19 February to Sunday 5 March asks for the weeks ending
    // 19 and 26 February and 5 March, the first computed week.
    {"EndOnTheFirstComputedWeek",
     57,
     20230302,
     20230326,
     20230219,
     20230305,
     TQVS_WEEK_ENDED,
     0,
     {M, M, 1}},
    {"EndOnTheFirstComputedWeekHeld",
     57,
     20230302,
     20230326,
     20230219,
     20230305,
     TQVS_WEEK_HOLDING,
     0,
     {M, M, 1}},
    // Thursday 23 March ends the computation on the week ending 19 March
    // (ended): the weeks ending 26 March and 2 April lie after it. Held, it
    // ends on the week ending 26 March, the fourth computed week.
    {"StartAfterTheLastComputedWeek",
     57,
     20230305,
     20230323,
     20230325,
     20230402,
     TQVS_WEEK_ENDED,
     0,
     {M, M}},
    {"StartInTheLastComputedWeekHeld",
     57,
     20230305,
     20230323,
     20230325,
     20230402,
     TQVS_WEEK_HOLDING,
     0,
     {4, M}},
    // Code 53 across the year end: Saturday 23 December 2023 to Tuesday 9
    // January 2024 computes from the week ending Wednesday 27 December to the
    // one ending 3 January (ended) or 10 January (held); Friday 29 December
    // to Thursday 11 January asks for the weeks ending 3 and 10 January
    // (ended) or 3, 10 and 17 January (held).
    {"AcrossTheYearEnd", 53, 20231223, 20240109, 20231229, 20240111, TQVS_WEEK_ENDED, 0, {2, M}},
    {"AcrossTheYearEndHeld",
     53,
     20231223,
     20240109,
     20231229,
     20240111,
     TQVS_WEEK_HOLDING,
     0,
     {2, 3, M}},
    // Code 51 from Tuesday 27 February 2024, over the leap day, to Friday 1
    // March: held, the week ending Monday 4 March; ended, no week at all.
    {"OneWeekOverTheLeapDayHeld",
     51,
     20240227,
     20240301,
     20240227,
     20240304,
     TQVS_WEEK_HOLDING,
     0,
     {1}},
    {"NoWeekOverTheLeapDayEnded",
     51,
     20240227,
     20240301,
     20240227,
     20240304,
     TQVS_WEEK_ENDED,
     0,
     {M}},
    // Ended, Saturday 25 February ends on the week ending 19 February, two
    // before the week ending 5 March that Wednesday 1 March starts on: n is
    // -1, too few periods. (Held, the week ending 26 February: n = 0.)
    {"ComputationEndsBeforeItStarts",
     57,
     20230301,
     20230225,
     20230305,
     20230305,
     TQVS_WEEK_ENDED,
     KOVRAP_STATUS_TOO_FEW_PERIODS,
     {}},
};

class WeeklyByHand : public kovrap_test::StandinTest,
                     public ::testing::WithParamInterface<HandCase> {};

TEST_P(WeeklyByHand, RowAndStatus) {
    const HandCase &c = GetParam();
    tqvs_set_weekly_end(c.reading);
    // The model agrees with the hand, so the grid below rests on it.
    const Expected model = modelRow(c.f, c.reading, c.s, c.t, c.b, c.l);
    EXPECT_EQ(c.status, model.status);
    if (c.status == 0) {
        EXPECT_EQ(c.row, model.row);
    }

    const Outcome run = advancedRow(c.f, c.s, c.t, c.b, c.l);
    EXPECT_EQ(c.status, run.status);
    if (c.status == 0)
        EXPECT_EQ(c.row, run.row);
    else
        EXPECT_EQ(std::vector<double>(run.row.size(), kSentinel), run.row);
}

INSTANTIATE_TEST_SUITE_P(Weekly, WeeklyByHand, ::testing::ValuesIn(kHandCases),
                         kovrap_test::caseName<HandCase>);

// ---- the grid -------------------------------------------------------------

// Every weekday of S, T, B and L at every weekly code, the computation window
// four weeks long and one week long, the requested window before, touching,
// overlapping, inside, covering and after it and one week long. Week 0 holds
// 20 December 2023, so the windows cross month ends and the year end.
struct WeekPair {
    int first, last;
};
const WeekPair kComputed[] = {{0, 3}, {0, 0}};
const WeekPair kRequested[] = {{-3, -2}, {-2, 0}, {-1, 5}, {1, 2}, {2, 5},
                               {3, 4},   {4, 6},  {0, 0},  {3, 3}, {-1, -1}};

// The calendar days from 1 November 2023 on, counted by a plain successor.
std::vector<int> daysFromNovember() {
    std::vector<int> days = {20231101};
    while (days.size() < 120) {
        const int d = days.back(), y = d / 10000, m = d / 100 % 100, day = d % 100;
        const int length[12] = {31, leap(y) ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        days.push_back(day < length[m - 1] ? d + 1
                       : m < 12            ? y * 10000 + (m + 1) * 100 + 1
                                           : (y + 1) * 10000 + 101);
    }
    return days;
}

// Windows near the ends of the int range: no date is formed from them, so
// none is clamped; the rows follow the weeks the library reads there. INT_MAX
// reads as 16 January 214751 (month 36, day 47), INT_MIN as 21 April -214744
// (year -214749, month 63, day 52).
TEST_P(WeeklyReading, EndsOfTheIntRange) {
    const int reading = GetParam();
    const struct {
        int s, t, b, l;
    } windows[] = {
        {2147481201, INT_MAX, 2147481215, INT_MAX},
        {2147481201, 2147481231, 2147481220, INT_MAX},
        {2147481201, 2147483640, 2147481225, INT_MAX},
        {INT_MAX - 3, INT_MAX, 2147481225, INT_MAX},
        {INT_MIN, INT_MIN + 20, INT_MIN + 5, INT_MIN + 40},
        {INT_MIN + 9, INT_MIN + 30, INT_MIN, INT_MIN + 12},
        {INT_MIN, INT_MIN + 3, INT_MIN + 4, INT_MIN + 30},
    };
    for (int f = 51; f <= 57; ++f)
        for (const auto &w : windows) {
            SCOPED_TRACE(::testing::Message()
                         << f << " S " << w.s << " T " << w.t << " B " << w.b << " L " << w.l);
            ASSERT_FALSE(modelRow(f, reading, w.s, w.t, w.b, w.l).row.empty());
            EXPECT_TRUE(followsTheWeeks(f, reading, w.s, w.t, w.b, w.l));
        }
}

// A library whose count there is one week off, as a count from a clamped
// date would be, gets 835 and leaves the row as it was.
TEST_P(WeeklyReading, CountOffByAWeekAtTheIntEndIsRefused) {
    const int reading = GetParam();
    const int f = 57, s = 2147481201, t = 2147483640, b = 2147481225, l = INT_MAX;
    const int length = TQVGetObsNum(b, l, f);
    const long long a = endWeek(t, f, reading) - startWeek(b, f) + 1;
    const long long c = endWeek(l, f, reading) - startWeek(s, f) + 1;
    ASSERT_GT(a, 0);
    ASSERT_GT(c, 0);
    for (int nth : {2, 3}) { // N(B, T), then N(S, L)
        tqvs_inject("TQVGetObsNum", nth, static_cast<int>(nth == 2 ? a + 1 : c - 1));
        const std::vector<double> scratch(static_cast<std::size_t>(TQVGetObsNum(s, t, f)), 1.0);
        tqvs_script_values("TQVApplyAdvancedCount", scratch.data(),
                           static_cast<int>(scratch.size()));
        HostTransforms host;
        std::vector<double> row(static_cast<std::size_t>(length), kSentinel);
        EXPECT_EQ(KOVRAP_STATUS_SEGMENTS_MISMATCH,
                  ZOZurevAdvancedCount(0, &host.arrays, 0, s, t, b, l, f, row.data(), length))
            << nth;
        EXPECT_EQ(std::vector<double>(row.size(), kSentinel), row) << nth;
        tqvs_reset();
        tqvs_set_weekly_end(reading);
    }
}

class WeeklyGrid : public WeeklyReading {};

TEST_P(WeeklyGrid, RowsFollowTheWeeks) {
    const int reading = GetParam();
    const std::vector<int> days = daysFromNovember();
    int checked = 0;
    for (int f = 51; f <= 57; ++f) {
        // Day k of week w: 0 the week's last day, 6 the first.
        const long long week0 = weekHolding(20231220, f);
        const auto day = [&](int w, int k) {
            return days.at(
                static_cast<std::size_t>(7 * (week0 + w) + (f - 51) - k - serial(days[0])));
        };
        for (const WeekPair &c : kComputed)
            for (const WeekPair &r : kRequested)
                for (int k = 0; k < 7 * 7 * 7 * 7; ++k) {
                    const int s = day(c.first, k % 7), t = day(c.last, k / 7 % 7);
                    const int b = day(r.first, k / 49 % 7), l = day(r.last, k / 343);
                    if (endWeek(l, f, reading) < startWeek(b, f))
                        continue; // no row to ask for
                    ++checked;
                    ASSERT_TRUE(followsTheWeeks(f, reading, s, t, b, l));
                }
    }
    // Ended, a one-week request ending inside its week asks for no week.
    EXPECT_GT(checked, 7 * 2 * 10 * 2401 / 2);
}

INSTANTIATE_TEST_SUITE_P(Readings, WeeklyGrid,
                         ::testing::Values(TQVS_WEEK_HOLDING, TQVS_WEEK_ENDED),
                         [](const ::testing::TestParamInfo<int> &p) {
                             return std::string(readingName(p.param));
                         });

INSTANTIATE_TEST_SUITE_P(Readings, WeeklyReading,
                         ::testing::Values(TQVS_WEEK_HOLDING, TQVS_WEEK_ENDED),
                         [](const ::testing::TestParamInfo<int> &p) {
                             return std::string(readingName(p.param));
                         });

} // namespace
