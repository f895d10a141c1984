// Period arithmetic of the stand-ins, through TQVGetObsNum / TQVGetDate and
// the engine's period helpers.
#include "standin_fixture.h"

#include <climits>
#include <ostream>

using kovrap_test::StandinTest;

namespace {

struct CountCase {
    int start;
    int end;
    int frequency;
    int expected;
};

std::ostream &operator<<(std::ostream &os, const CountCase &c) {
    return os << "GetObsNum(" << c.start << ", " << c.end << ", " << c.frequency
              << ") = " << c.expected;
}

const CountCase kCounts[] = {
    // Annual.
    {2000, 2009, 10, 10},
    {2000, 2000, 10, 1},
    {2001, 2000, 10, 0},
    {2005, 2000, 10, -4},
    // Quarterly, with quarter 0 (last quarter of the year before) and 5
    // (first quarter of the year after).
    {20001, 20004, 30, 4},
    {20001, 20010, 30, 4},
    {20005, 20014, 30, 4},
    {20011, 20010, 30, 0},
    {20005, 20020, 30, 4},
    // Monthly, with month 00 and 13.
    {200001, 200012, 40, 12},
    {200001, 200100, 40, 12},
    {200013, 200112, 40, 12},
    {200101, 200100, 40, 0},
    {200001, 199912, 40, 0},
    {200003, 200001, 40, -1},
    {199912, 200001, 40, 2},
    // Daily, with day 0 and one past the month's end.
    {20230101, 20231231, 60, 365},
    {20240101, 20241231, 60, 366},
    {20230101, 20230100, 60, 0},
    {20230132, 20230228, 60, 28},
    {20230229, 20230301, 60, 1},
    {20240229, 20240301, 60, 2},
    {20221231, 20230101, 60, 2},
    // Weekly: 2023-01-01 is a Sunday, 2023-01-02 a Monday. Start and end
    // stand for the week that holds them, Saturday 7 January (the day before
    // a Sunday week's last day) included.
    {20230101, 20231231, 57, 53},
    {20230101, 20230107, 57, 2},
    {20230102, 20230107, 57, 1},
    {20230101, 20230100, 57, 1},
    {20230102, 20230108, 57, 1},
    {20230102, 20230106, 57, 1},
    {20230101, 20230131, 51, 6},
    {20230103, 20230131, 51, 5},
    {20230101, 20230131, 52, 5},
    {20230101, 20230131, 56, 5},
    {20230109, 20230115, 53, 2},
    // Business days: January 2023 has 22.
    {20230101, 20230131, 61, 22},
    {20230106, 20230109, 61, 2},
    {20230107, 20230108, 61, 0},
    {20230107, 20230109, 61, 1},
    {20230106, 20230108, 61, 1},
    // Unknown frequency codes.
    {2000, 2001, 0, -1},
    {2000, 2001, 20, -1},
    {20230101, 20230131, 58, -1},
    {20230101, 20230131, 59, -1},
    {20230101, 20230131, 62, -1},
    // Extremes: fields carry over by floor division; counts clamp into int.
    {-99999999, 99999999, 10, 199999999},
    {-99999999, 99999999, 30, 80000005},
    {-99999999, 99999999, 40, 24000087},
    {INT_MIN, INT_MAX, 10, INT_MAX},
    {INT_MAX, INT_MIN, 10, INT_MIN},
    {INT_MAX, INT_MAX, 10, 1},
    {INT_MIN, INT_MIN, 30, 1},
    {INT_MIN, INT_MIN, 60, 1},
    {INT_MAX, INT_MAX, 60, 1},
};

class ObsNumTest : public StandinTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(ObsNumTest, CountsThePeriodsFromStartToEnd) {
    const CountCase &c = GetParam();
    EXPECT_EQ(c.expected, TQVGetObsNum(c.start, c.end, c.frequency));
    EXPECT_EQ(c.expected, TQVDGetObsNum(c.start, c.end, c.frequency));
}

INSTANTIATE_TEST_SUITE_P(Table, ObsNumTest, ::testing::ValuesIn(kCounts));

struct DateCase {
    int start;
    int observation;
    int frequency;
    int expected;
};

std::ostream &operator<<(std::ostream &os, const DateCase &c) {
    return os << "GetDate(" << c.start << ", " << c.observation << ", " << c.frequency
              << ") = " << c.expected;
}

const DateCase kDates[] = {
    {2000, 1, 10, 2000},
    {2000, 0, 10, 1999},
    {20004, 2, 30, 20011},
    {20010, 1, 30, 20004},
    {200011, 3, 40, 200101},
    {200100, 1, 40, 200012},
    {200013, 1, 40, 200101},
    {200001, -11, 40, 199901},
    {20231231, 2, 60, 20240101},
    {20240228, 2, 60, 20240229},
    {20230228, 2, 60, 20230301},
    {20230100, 1, 60, 20221231},
    {20230101, 1, 57, 20230101},
    {20230101, 2, 57, 20230108},
    {20230101, 1, 51, 20230102},
    {20230101, 1, 54, 20230105},
    {20230107, 1, 61, 20230109},
    {20230106, 2, 61, 20230109},
    {20230109, 0, 61, 20230106},
    {2000, 1, 20, -1},
    {20230101, 1, 58, -1},
    {INT_MAX, INT_MAX, 10, INT_MAX},
    {INT_MIN, INT_MIN, 10, INT_MIN},
    {INT_MAX, 2, 40, INT_MAX},
    {INT_MIN, INT_MIN, 60, INT_MIN},
    // INT_MIN reads as year -214749, month 63, day 52: 21 April -214744.
    {INT_MIN, 1, 60, -2147439579},
};

class GetDateTest : public StandinTest, public ::testing::WithParamInterface<DateCase> {};

TEST_P(GetDateTest, GivesThePeriodDateOfTheObservation) {
    const DateCase &c = GetParam();
    EXPECT_EQ(c.expected, TQVGetDate(c.start, c.observation, c.frequency));
}

INSTANTIATE_TEST_SUITE_P(Table, GetDateTest, ::testing::ValuesIn(kDates));

const int kFrequencies[] = {10, 30, 40, 51, 52, 53, 54, 55, 56, 57, 60, 61};

// Walks consecutive periods across several year ends and checks the readings
// Kovrap relies on: a period date minus 1 counts up to the period before it
// (at the weekly codes the day seven days before; the day before is a day of
// the same week), plus 1 counts from the period after it.
TEST(PeriodWalk, OneBeforeAndOneAfterAPeriodDateAreTheNeighbouringPeriods) {
    for (int f : kFrequencies) {
        const int start = f == 10 ? 1998 : f == 30 ? 19981 : f == 40 ? 199801 : 19980101;
        const int steps = tqvs::periodsPerYear(f) * 3 + 2;
        for (int i = 1; i <= steps; ++i) {
            const int p = tqvs::dateAt(start, i, f);
            ASSERT_EQ(i, tqvs::obsNum(start, p, f)) << f << " " << p;
            ASSERT_EQ(1, tqvs::obsNum(p, p, f)) << f << " " << p;
            if (f >= 51 && f <= 57) {
                ASSERT_EQ(i, tqvs::obsNum(start, p - 1, f)) << f << " " << p;
                const int weekBefore = tqvs::dateAt(p, -6, 60);
                ASSERT_EQ(i - 1, tqvs::obsNum(start, weekBefore, f)) << f << " " << p;
            } else {
                ASSERT_EQ(i - 1, tqvs::obsNum(start, p - 1, f)) << f << " " << p;
            }
            const int later = tqvs::dateAt(start, i + 5, f);
            ASSERT_EQ(5, tqvs::obsNum(p + 1, later, f)) << f << " " << p;
            ASSERT_EQ(p, tqvs::dateAt(p, 1, f)) << f << " " << p;
        }
    }
}

// Any int is a date: splitting a window between two ints whose last field
// does not wrap (day, month or quarter below 99, 99 or 9) never loses or
// doubles a period, also around the most negative and largest ints. A week
// split inside it is held by both halves, so weekly windows are split at a
// week's last day: (p, p + 1).
TEST(PeriodWalk, CountsAreAdditiveOverAnyInts) {
    const int splits[][3] = {
        {INT_MIN, 0, INT_MAX},     {-99999999, -100, 99999999},    {INT_MIN, INT_MIN + 1, -5},
        {5, INT_MAX - 1, INT_MAX}, {20230101, 20230198, 20231299}, {0, 98, 9999},
    };
    const auto additive = [](int f, int from, int split, int to) {
        const long long whole = tqvs::obsNum(from, to, f);
        const long long parts =
            static_cast<long long>(tqvs::obsNum(from, split, f)) + tqvs::obsNum(split + 1, to, f);
        EXPECT_EQ(whole, parts) << f << ": " << from << ".." << split << ".." << to;
        EXPECT_GT(whole, 0) << f;
    };
    for (int f : kFrequencies) {
        if (f == 10)
            continue; // the count of the whole int range does not fit into int
        for (const auto &s : splits) {
            if (f < 51 || f > 57) {
                additive(f, s[0], s[1], s[2]);
                continue;
            }
            const int p = tqvs::dateAt(s[1], 1, f);
            if (p <= s[0] + 1 || p >= s[2])
                continue; // no week's last day strictly inside the window
            additive(f, s[0], p, s[2]);
        }
    }
}

// Both halves of a window split inside a week hold that week.
TEST(PeriodWalk, AWeekSplitInsideItIsHeldByBothHalves) {
    // Wednesday 4 January 2023, inside the Sunday week ending 8 January.
    EXPECT_EQ(tqvs::obsNum(20230101, 20230104, 57) + tqvs::obsNum(20230105, 20230115, 57),
              tqvs::obsNum(20230101, 20230115, 57) + 1);
    EXPECT_EQ(2, tqvs::obsNum(20230101, 20230104, 57));
    EXPECT_EQ(2, tqvs::obsNum(20230105, 20230115, 57));
}

TEST(PeriodWalk, CeilingAndFloorAgreeOnPeriodDatesAndBracketOtherDates) {
    // A Wednesday for the weekly codes ending on other days, and a Saturday
    // for business days.
    EXPECT_EQ(tqvs::periodCeil(20230104, 57), tqvs::periodFloor(20230104, 57) + 1);
    EXPECT_EQ(tqvs::periodCeil(20230104, 53), tqvs::periodFloor(20230104, 53));
    EXPECT_EQ(tqvs::periodCeil(20230107, 61), tqvs::periodFloor(20230107, 61) + 1);
    EXPECT_EQ(tqvs::periodDate(tqvs::periodCeil(20230107, 61), 61), 20230109);
    EXPECT_EQ(tqvs::periodDate(tqvs::periodFloor(20230107, 61), 61), 20230106);
    EXPECT_EQ(tqvs::periodDate(tqvs::periodFloor(20230104, 57), 57), 20230101);
    EXPECT_EQ(tqvs::periodDate(tqvs::periodCeil(20230104, 57), 57), 20230108);
}

TEST(PeriodWalk, KnownFrequenciesAndPeriodsPerYear) {
    const int perYear[] = {1, 4, 12, 52, 52, 52, 52, 52, 52, 52, 365, 260};
    for (std::size_t i = 0; i < sizeof kFrequencies / sizeof kFrequencies[0]; ++i) {
        EXPECT_TRUE(tqvs::knownFrequency(kFrequencies[i]));
        EXPECT_EQ(perYear[i], tqvs::periodsPerYear(kFrequencies[i]));
    }
    for (int f : {0, 9, 11, 20, 31, 41, 50, 58, 59, 62, 100, -10})
        EXPECT_FALSE(tqvs::knownFrequency(f)) << f;
}

} // namespace
