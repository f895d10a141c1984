// Kovrap's own day arithmetic, which the windowed count uses to step a whole
// week at the weekly codes.
#include "calendar/calendar.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct DayCase {
    int date;
    int days;
    int expected;
};

TEST(AddDays, StepsAcrossMonthsYearsAndLeapDays) {
    const DayCase cases[] = {
        {20230303, -7, 20230224}, // not the int 20230296
        {20230224, 7, 20230303},
        {20240301, -7, 20240223}, // 29 February 2024
        {20230301, -7, 20230222},
        {20000301, -1, 20000229}, // 2000 is a leap year
        {19000301, -1, 19000228}, // 1900 is not
        {20221229, 7, 20230105},
        {20230105, -7, 20221229},
        {20231231, 1, 20240101},
        {20230115, 0, 20230115},
        // Months and days out of range carry over, as the libraries read them.
        {20230100, 0, 20221231},
        {20231301, 0, 20240101},
        {20230132, 0, 20230201},
        {20230300, -7, 20230221},
        // Years 1 and 0 and before.
        {10101, -1, 1231},
        {101, -1, -8769},
        {-8769, 1, 101},
    };
    for (const DayCase &c : cases)
        EXPECT_EQ(c.expected, kovrap::addDays(c.date, c.days)) << c.date << " + " << c.days;
}

TEST(AddDays, ResultsBeyondTheIntRangeAreClamped) {
    // INT_MAX reads as year 214748, month 36, day 47: 16 January 214751.
    EXPECT_EQ(INT_MAX, kovrap::addDays(INT_MAX, 7));
    // INT_MIN reads as year -214749, month 63, day 52: 21 April -214744,
    // which lies inside the int range; ten years earlier does not.
    EXPECT_EQ(-2147439586, kovrap::addDays(INT_MIN, -7));
    EXPECT_EQ(INT_MIN, kovrap::addDays(INT_MIN, -3650));
}

TEST(WeekEnd, GivesTheLastDayOfTheWeekThatHoldsADate) {
    // Monday 27 February to Sunday 5 March 2023, at the codes 51 (weeks
    // ending Monday) to 57 (ending Sunday).
    for (int day = 20230227; day <= 20230305; day = kovrap::addDays(day, 1)) {
        SCOPED_TRACE(day);
        const int mondayWeek = day == 20230227 ? 20230227 : 20230306;
        EXPECT_EQ(mondayWeek, kovrap::weekEnd(day, 51));
        EXPECT_EQ(20230305, kovrap::weekEnd(day, 57));
    }
    EXPECT_EQ(20230303, kovrap::weekEnd(20230227, 55));
    EXPECT_EQ(20230303, kovrap::weekEnd(20230303, 55));
    EXPECT_EQ(20230310, kovrap::weekEnd(20230304, 55));
    EXPECT_EQ(20230301, kovrap::weekEnd(20230225, 53)); // across a month end
    EXPECT_EQ(20240101, kovrap::weekEnd(20231226, 51)); // and a year end
    EXPECT_EQ(20000301, kovrap::weekEnd(20000229, 53)); // a Tuesday leap day
    EXPECT_EQ(20230305, kovrap::weekEnd(20230300, 57)); // day 0: 28 February
    // Other codes: the date itself.
    for (int code : {10, 30, 40, 50, 58, 60, 61})
        EXPECT_EQ(20230301, kovrap::weekEnd(20230301, code)) << code;
    EXPECT_EQ(INT_MAX, kovrap::weekEnd(INT_MAX, 57));
}

// Day by day over two centuries, against a plain successor with the month
// lengths and the leap rule: seven steps of one day are one step of seven.
TEST(AddDays, AgreesWithCountingDayByDay) {
    const auto successor = [](int date) {
        const int year = date / 10000, month = date / 100 % 100, day = date % 100;
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        const int lengths[12] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (day < lengths[month - 1])
            return date + 1;
        return month < 12 ? year * 10000 + (month + 1) * 100 + 1 : (year + 1) * 10000 + 101;
    };
    int date = 18991225;
    int weekLater = 19000101;
    ASSERT_EQ(weekLater, kovrap::addDays(date, 7));
    while (date < 21010101) {
        ASSERT_EQ(successor(date), kovrap::addDays(date, 1)) << date;
        ASSERT_EQ(date, kovrap::addDays(kovrap::addDays(date, 7), -7)) << date;
        date = successor(date);
        weekLater = successor(weekLater);
        ASSERT_EQ(weekLater, kovrap::addDays(date, 7)) << date;
    }
}

} // namespace
