// Frequency codes, the conversions between period dates and calendar dates,
// the leap rule, and the date sequence through the local library.
#include "Kovrap.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <string>
#include <vector>

namespace {

using kovrap_test::journal;
using ::testing::ElementsAreArray;

struct Conversion {
    int input;
    int frequency;
    int expected;
};

TEST(PeriodToCalendar, KnownRows) {
    const Conversion cases[] = {
        {2023, 10, 20231231},
        {99, 10, 991231},
        {20231, 30, 20230331},
        {20232, 30, 20230630},
        {20233, 30, 20230930},
        {20234, 30, 20231231},
        {20241, 30, 20240331},
        {202301, 40, 20230131},
        {202302, 40, 20230228},
        {202304, 40, 20230430},
        {202402, 40, 20240229},
        {200002, 40, 20000229},
        {190002, 40, 19000228},
        {210002, 40, 21000228},
        {9602, 40, 960229},
        {9902, 40, 990228},
        {10002, 40, 1000229},
        {2, 40, 228},
        {20002, 40, 2000228},
        {20230115, 51, 20230115},
        {20230115, 52, 20230115},
        {20230115, 53, 20230115},
        {20230115, 54, 20230115},
        {20230115, 55, 20230115},
        {20230115, 56, 20230115},
        {20230115, 57, 20230115},
        {20230115, 60, 20230115},
        {20230115, 61, 20230115},
        {20230115, 58, 0},
        {20230115, 59, 0},
        {2023, 0, 0},
        {2023, 9, 0},
        {2023, 11, 0},
        {2023, 20, 0},
        {2023, 50, 0},
        {2023, 62, 0},
        {2023, -10, 0},
        {2023, 1000, 0},
    };
    for (const Conversion &c : cases)
        EXPECT_EQ(c.expected, tqvdateToYmd(c.input, c.frequency))
            << c.input << " at frequency " << c.frequency;
}

TEST(CalendarToPeriod, KnownRows) {
    const Conversion cases[] = {
        {20230215, 10, 2023},
        {20230115, 30, 20231},
        {20230331, 30, 20231},
        {20230401, 30, 20232},
        {20230715, 30, 20233},
        {20231231, 30, 20234},
        {20230015, 30, 20230},
        {20231315, 30, 20235},
        {20230215, 40, 202302},
        {20231231, 40, 202312},
        {20230215, 51, 20230215},
        {20230215, 57, 20230215},
        {20230215, 60, 20230215},
        {20230215, 61, 20230215},
        {20230215, 0, -1},
        {20230215, 20, -1},
        {20230215, 58, -1},
        {20230215, 99, -1},
        // No two-digit-year adjustment in this direction.
        {960215, 40, 9602},
        {960215, 10, 96},
    };
    for (const Conversion &c : cases)
        EXPECT_EQ(c.expected, ymdToTqvdate(c.input, c.frequency))
            << c.input << " at frequency " << c.frequency;
}

TEST(LeapYear, KnownRows) {
    const struct {
        int year;
        int leap;
    } cases[] = {
        {2024, 1}, {2000, 1}, {1600, 1}, {2023, 0}, {1999, 0}, {1900, 0},
        {96, 1},   {100, 1},  {0, 0},    {199, 0},  {200, 0},  {-4, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.leap, isLeapYear(c.year)) << c.year;
}

// Days since 1970-01-01 of a proleptic Gregorian date, computed by counting
// whole 400-year eras: a second way to find where a month ends.
long long daysFromCivil(long long y, long long m, long long d) {
    y -= m <= 2 ? 1 : 0;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Last day of a month: the day before the first of the next month.
int monthEnd(long long year, int month) {
    const long long next =
        month == 12 ? daysFromCivil(year + 1, 1, 1) : daysFromCivil(year, month + 1, 1);
    return static_cast<int>(next - daysFromCivil(year, month, 1));
}

TEST(PeriodToCalendar, EveryMonthAndQuarterOfYearsZeroTo3000) {
    for (int year = 0; year <= 3000; ++year) {
        // Year parts below 200 decide February as 1900 + year; the result
        // keeps the year part itself.
        const int leapYear = year < 200 ? year + 1900 : year;
        for (int month = 1; month <= 12; ++month) {
            const int period = year * 100 + month;
            const int expected = year * 10000 + month * 100 + monthEnd(leapYear, month);
            ASSERT_EQ(expected, tqvdateToYmd(period, 40)) << period;
            ASSERT_EQ(period, ymdToTqvdate(expected, 40)) << expected;
        }
        for (int quarter = 1; quarter <= 4; ++quarter) {
            const int period = year * 10 + quarter;
            const int expected = year * 10000 + 3 * quarter * 100 + monthEnd(year, 3 * quarter);
            ASSERT_EQ(expected, tqvdateToYmd(period, 30)) << period;
            ASSERT_EQ(period, ymdToTqvdate(expected, 30)) << expected;
        }
        ASSERT_EQ(year * 10000 + 1231, tqvdateToYmd(year, 10));
        ASSERT_EQ(year, ymdToTqvdate(year * 10000 + 1231, 10));
    }
}

// A quarter digit outside 1 to 4 or a month outside 1 to 12 has no last day:
// the conversion answers its failure value instead of reading past the table
// of month lengths.
TEST(PeriodToCalendar, DigitsOutsideThePeriodGiveZero) {
    const Conversion cases[] = {
        {20230, 30, 0},   {20235, 30, 0},  {20239, 30, 0},  {-20231, 30, 0},
        {0, 30, 0},       {202300, 40, 0}, {202313, 40, 0}, {202399, 40, 0},
        {-202301, 40, 0}, {0, 40, 0},      {13, 40, 0},     {5, 30, 0},
    };
    for (const Conversion &c : cases)
        EXPECT_EQ(c.expected, tqvdateToYmd(c.input, c.frequency))
            << c.input << " at frequency " << c.frequency;
}

// Extreme ints convert without overflow: a calendar date that would not fit
// an int is the failure value, every other result is exact.
TEST(Conversions, ExtremeIntsHaveDefinedResults) {
    const Conversion toCalendar[] = {
        {INT_MAX, 10, 0},           {INT_MIN, 10, 0},          {INT_MAX, 30, 0},
        {INT_MIN, 30, 0},           {INT_MAX, 40, 0},          {INT_MIN, 40, 0},
        {INT_MAX, 60, INT_MAX},     {INT_MIN, 61, INT_MIN},    {INT_MAX, 99, 0},
        {214748, 10, 2147481231},   {214749, 10, 0},           {-214748, 10, -2147478769},
        {-214749, 10, 0},           {2147484, 30, 2147481231}, {2147491, 30, 0},
        {21474812, 40, 2147481231}, {21474901, 40, 0},
    };
    for (const Conversion &c : toCalendar)
        EXPECT_EQ(c.expected, tqvdateToYmd(c.input, c.frequency))
            << c.input << " at frequency " << c.frequency;

    const Conversion toPeriod[] = {
        {INT_MAX, 10, 214748},   {INT_MIN, 10, -214748},  {INT_MAX, 30, 2147492},
        {INT_MIN, 30, -2147492}, {INT_MAX, 40, 21474836}, {INT_MIN, 40, -21474836},
        {INT_MAX, 60, INT_MAX},  {INT_MIN, 61, INT_MIN},  {INT_MAX, 99, -1},
    };
    for (const Conversion &c : toPeriod)
        EXPECT_EQ(c.expected, ymdToTqvdate(c.input, c.frequency))
            << c.input << " at frequency " << c.frequency;

    // INT_MIN is below 200, so it is read as INT_MIN + 1900, which is a leap year.
    EXPECT_EQ(1, isLeapYear(INT_MIN));
    EXPECT_EQ(0, isLeapYear(INT_MAX));
}

class DateSequence : public kovrap_test::StandinTest {};

TEST_F(DateSequence, NoPositiveCountCallsNothingAndWritesNothing) {
    for (int count : {0, -1, INT_MIN}) {
        tqvs_clear_log();
        int dates[3] = {-7, -7, -7};
        c_kovraDateSeq(dates, 202311, count, 40);
        EXPECT_TRUE(journal().empty()) << count;
        EXPECT_THAT(dates, ElementsAreArray({-7, -7, -7})) << count;
    }
}

struct SequenceCase {
    const char *name;
    int start;
    int frequency;
    std::vector<int> periods; // what the local library answers, in order
    std::vector<int> dates;   // what the host's array receives
};

TEST_F(DateSequence, CallsTheLocalLibraryOncePerObservation) {
    const SequenceCase cases[] = {
        {"monthly across a leap February",
         202311,
         40,
         {202311, 202312, 202401, 202402},
         {20231130, 20231231, 20240131, 20240229}},
        {"quarterly", 20234, 30, {20234, 20241, 20242}, {20231231, 20240331, 20240630}},
        {"annual", 2023, 10, {2023, 2024}, {20231231, 20241231}},
        {"daily", 20240228, 60, {20240228, 20240229, 20240301}, {20240228, 20240229, 20240301}},
        {"single observation", 202402, 40, {202402}, {20240229}},
        // An unknown code: the library's answer is stored converted, as 0.
        {"unknown frequency", 2023, 99, {-1, -1}, {0, 0}},
    };
    for (const SequenceCase &c : cases) {
        SCOPED_TRACE(c.name);
        tqvs_clear_log();
        const int count = static_cast<int>(c.dates.size());
        std::vector<int> dates(c.dates.size() + 2, -7);
        c_kovraDateSeq(dates.data(), c.start, count, c.frequency);

        std::vector<std::string> expectedCalls;
        for (int i = 0; i < count; ++i)
            expectedCalls.push_back("TQVGetDate(" + std::to_string(c.start) + ", " +
                                    std::to_string(i + 1) + ", " + std::to_string(c.frequency) +
                                    ") -> " +
                                    std::to_string(c.periods[static_cast<std::size_t>(i)]));
        EXPECT_EQ(expectedCalls, journal());

        std::vector<int> expected = c.dates;
        expected.push_back(-7); // past the count nothing is written
        expected.push_back(-7);
        EXPECT_EQ(expected, dates);
    }
}

// Whatever the library answers is converted and stored without a check.
TEST_F(DateSequence, StoresWhatTheLibraryAnswersUnchecked) {
    tqvs_inject("TQVGetDate", 2, 202302);
    tqvs_inject("TQVGetDate", 3, 202313);
    int dates[3] = {-7, -7, -7};
    c_kovraDateSeq(dates, 202311, 3, 40);
    EXPECT_THAT(journal(), ElementsAreArray({"TQVGetDate(202311, 1, 40) -> 202311",
                                             "TQVGetDate(202311, 2, 40) -> 202302",
                                             "TQVGetDate(202311, 3, 40) -> 202313"}));
    EXPECT_THAT(dates, ElementsAreArray({20231130, 20230228, 0}));
}

} // namespace
