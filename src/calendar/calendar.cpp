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
