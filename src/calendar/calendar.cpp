#include "calendar/calendar.h"

#include "Kovrap.h"

#include <climits>
#include <cmath>

namespace {

// Month lengths of a normal year, then of a leap year.
constexpr int kMonthLength[24] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31,
                                  31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// A calendar date that does not fit an int has no answer: the failure value.
int toDate(long long year, long long month, long long day) {
    const long long date = year * 10000 + month * 100 + day;
    return (date < INT_MIN || date > INT_MAX) ? 0 : static_cast<int>(date);
}

} // namespace

extern "C" KOVRAP_API int isLeapYear(int year) {
    // Two-digit years are read as 19xx (so 100 to 199 as 2000 to 2099).
    const long long y = year < 200 ? static_cast<long long>(year) + 1900 : year;
    return (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0)) ? 1 : 0;
}

extern "C" KOVRAP_API int tqvdateToYmd(int periodDate, int frequency) {
    if (frequency == kovrap::kAnnual)
        return toDate(periodDate, 12, 31);
    if (frequency == kovrap::kQuarterly) {
        const int year = periodDate / 10;
        const int quarter = periodDate - 10 * year;
        // A quarter digit outside 1 to 4 has no last day: the failure value,
        // rather than a month outside the table.
        if (quarter < 1 || quarter > 4)
            return 0;
        return toDate(year, 3 * quarter, kMonthLength[3 * quarter - 1]);
    }
    if (frequency == kovrap::kMonthly) {
        const int year = periodDate / 100;
        const int month = periodDate % 100;
        if (month < 1 || month > 12)
            return 0;
        const int row = isLeapYear(year) ? 12 : 0;
        return toDate(year, month, kMonthLength[row + month - 1]);
    }
    if (kovrap::isDailyForm(frequency))
        return periodDate;
    return 0;
}

extern "C" KOVRAP_API int ymdToTqvdate(int calendarDate, int frequency) {
    const int year = calendarDate / 10000;
    const int month = (calendarDate % 10000) / 100;
    const int day = calendarDate % 100;
    if (frequency == kovrap::kAnnual)
        return year;
    if (frequency == kovrap::kQuarterly)
        return static_cast<int>(static_cast<double>(year * 10) + std::ceil(month / 3.0));
    if (frequency == kovrap::kMonthly)
        return year * 100 + month;
    if (kovrap::isDailyForm(frequency))
        return year * 10000 + month * 100 + day;
    return -1;
}

namespace {

// Floor division for b > 0.
long long floorDiv(long long a, long long b) {
    const long long q = a / b;
    return a % b < 0 ? q - 1 : q;
}

// Days since 1 March of year 0 of the first of a month, the month carried
// into the year first (month 0 is December of the year before).
long long firstOfMonth(long long year, long long month) {
    const long long y0 = year + floorDiv(month - 1, 12);
    const long long m = month - 1 - 12 * floorDiv(month - 1, 12) + 1; // 1 to 12
    // Years start on 1 March, so that a leap day ends its year.
    const long long y = m <= 2 ? y0 - 1 : y0;
    const long long era = floorDiv(y, 400);
    const long long yearOfEra = y - era * 400;
    const long long dayOfYear = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5;
    return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
}

// The calendar date of a day counted as firstOfMonth counts it.
long long dateOfDay(long long day) {
    const long long era = floorDiv(day, 146097);
    const long long dayOfEra = day - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    const long long dayOfMonth = dayOfYear - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return year * 10000 + month * 100 + dayOfMonth;
}

} // namespace

namespace kovrap {

int weekEnd(int date, int frequency) noexcept {
    if (!isWeekly(frequency))
        return date;
    const long long year = floorDiv(date, 10000);
    const long long rest = date - year * 10000;
    const long long day = firstOfMonth(year, rest / 100) + rest % 100 - 1;
    // Day 0, 1 March of the year 0, was a Wednesday (as was 1 March 2000: 400
    // years are a whole number of weeks); 0 is Monday here.
    const long long weekday = day + 2 - 7 * floorDiv(day + 2, 7);
    const long long toEnd = (frequency - 51 - weekday + 7) % 7;
    const long long result = dateOfDay(day + toEnd);
    return result < INT_MIN ? INT_MIN : result > INT_MAX ? INT_MAX : static_cast<int>(result);
}

int addDays(int date, int days) noexcept {
    // Fields by floor division, so that every int is some day.
    const long long year = floorDiv(date, 10000);
    const long long rest = date - year * 10000;
    const long long day = firstOfMonth(year, rest / 100) + rest % 100 - 1 + days;
    const long long result = dateOfDay(day);
    return result < INT_MIN ? INT_MIN : result > INT_MAX ? INT_MAX : static_cast<int>(result);
}

} // namespace kovrap
