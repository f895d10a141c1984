#include "periods.h"

#include <climits>

namespace tqvs {

namespace {

// Floor division and the matching non-negative remainder, for b > 0. Dates
// with a negative or out-of-range field must still map to one period.
long long floorDiv(long long a, long long b) {
    long long q = a / b;
    if (a % b < 0)
        --q;
    return q;
}

long long floorMod(long long a, long long b) {
    return a - b * floorDiv(a, b);
}

long long ceilDiv(long long a, long long b) {
    return -floorDiv(-a, b);
}

int clampInt(long long v) {
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

bool isWeekly(int f) {
    return f >= kWeeklyFirst && f <= kWeeklyLast;
}

bool isDayBased(int f) {
    return isWeekly(f) || f == kDaily || f == kBusiness;
}

// Day number 0 (1970-01-01) was a Thursday; day 4 is the first Monday.
constexpr long long kFirstMonday = 4;

// Day number of the first week end of a weekly code: the first day >= 0
// that falls on the code's weekday (51 Monday ... 57 Sunday).
long long weekAnchor(int f) {
    return floorMod(f - kWeeklyFirst + kFirstMonday, 7);
}

// Civil date of a day number (proleptic Gregorian calendar).
void civilFromDays(long long z, long long &y, long long &m, long long &d) {
    z += 719468;
    const long long era = floorDiv(z, 146097);
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

// Month index (year * 12 + month - 1) of a day number.
long long monthOfDay(long long day) {
    long long y = 0, m = 0, d = 0;
    civilFromDays(day, y, m, d);
    return y * 12 + m - 1;
}

// Day number of the last day of a month index.
long long monthEndDay(long long monthIndex) {
    return dayNumber(floorDiv(monthIndex + 1, 12), floorMod(monthIndex + 1, 12) + 1, 1) - 1;
}

// Day number of a YYYYMMDD int, fields normalised by floor division.
long long dayOfDate(int date) {
    const long long year = floorDiv(date, 10000);
    const long long rest = date - year * 10000;
    return dayNumber(year, rest / 100, rest % 100);
}

int dateOfDay(long long day) {
    long long y = 0, m = 0, d = 0;
    civilFromDays(day, y, m, d);
    return clampInt(y * 10000 + m * 100 + d);
}

} // namespace

long long dayNumber(long long year, long long month, long long day) {
    // Carry the month into the year first, then count days from the 1st.
    const long long y0 = year + floorDiv(month - 1, 12);
    const long long m = floorMod(month - 1, 12) + 1;
    const long long y = m <= 2 ? y0 - 1 : y0;
    const long long era = floorDiv(y, 400);
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + (day - 1);
}

bool knownFrequency(int f) {
    return f == kAnnual || f == kQuarterly || f == kMonthly || isDayBased(f);
}

int periodsPerYear(int f) {
    if (f == kAnnual)
        return 1;
    if (f == kQuarterly)
        return 4;
    if (f == kMonthly)
        return 12;
    if (isWeekly(f))
        return 52;
    if (f == kDaily)
        return 365;
    if (f == kBusiness)
        return 260;
    return 0;
}

int frequencyRank(int f) {
    if (f == kAnnual)
        return 0;
    if (f == kQuarterly)
        return 1;
    if (f == kMonthly)
        return 2;
    if (isWeekly(f))
        return 3;
    if (f == kBusiness)
        return 4;
    if (f == kDaily)
        return 5;
    return -1;
}

long long periodEndDay(long long index, int f) {
    if (f == kAnnual)
        return monthEndDay(index * 12 + 11);
    if (f == kQuarterly)
        return monthEndDay(index * 3 + 2);
    if (f == kMonthly)
        return monthEndDay(index);
    if (isWeekly(f))
        return weekAnchor(f) + 7 * index;
    if (f == kBusiness) {
        const long long week = floorDiv(index, 5);
        return kFirstMonday + 7 * week + (index - 5 * week);
    }
    return index; // daily
}

long long periodCeilDay(long long day, int f) {
    if (f == kAnnual)
        return floorDiv(monthOfDay(day), 12);
    if (f == kQuarterly)
        return floorDiv(monthOfDay(day), 3);
    if (f == kMonthly)
        return monthOfDay(day);
    if (isWeekly(f))
        return ceilDiv(day - weekAnchor(f), 7);
    if (f == kBusiness) {
        const long long r = day - kFirstMonday;
        const long long week = floorDiv(r, 7);
        const long long weekday = r - 7 * week;
        // A Saturday or Sunday belongs to the following Monday.
        return 5 * week + (weekday < 5 ? weekday : 5);
    }
    return day;
}

namespace {

long long periodFloorDay(long long day, int f) {
    if (isWeekly(f))
        return floorDiv(day - weekAnchor(f), 7);
    if (f == kBusiness) {
        const long long r = day - kFirstMonday;
        const long long week = floorDiv(r, 7);
        const long long weekday = r - 7 * week;
        // A Saturday or Sunday comes after that week's Friday.
        return 5 * week + (weekday < 5 ? weekday : 4);
    }
    return day; // daily: every day is a period
}

// Index of an annual, quarterly or monthly period date; out-of-range
// quarters and months carry into the year.
long long coarseIndex(int date, int f) {
    if (f == kAnnual)
        return date;
    const long long per = f == kQuarterly ? 10 : 100;
    const long long slots = f == kQuarterly ? 4 : 12;
    const long long year = floorDiv(date, per);
    return year * slots + (date - year * per) - 1;
}

} // namespace

long long periodCeil(int date, int f) {
    if (!knownFrequency(f))
        return 0;
    if (!isDayBased(f))
        return coarseIndex(date, f);
    return periodCeilDay(dayOfDate(date), f);
}

long long periodFloor(int date, int f) {
    if (!knownFrequency(f))
        return 0;
    if (!isDayBased(f))
        return coarseIndex(date, f);
    return periodFloorDay(dayOfDate(date), f);
}

int periodDate(long long index, int f) {
    if (f == kAnnual)
        return clampInt(index);
    if (f == kQuarterly || f == kMonthly) {
        const long long slots = f == kQuarterly ? 4 : 12;
        const long long per = f == kQuarterly ? 10 : 100;
        const long long year = floorDiv(index, slots);
        return clampInt(year * per + (index - year * slots) + 1);
    }
    if (isDayBased(f))
        return dateOfDay(periodEndDay(index, f));
    return -1;
}

long long windowFirst(int date, int f) {
    return periodCeil(date, f);
}

long long windowLast(int date, int f, int weeklyEnd) {
    // A day of a week ends the window on the week that holds it, or on
    // request on the week before it; a weekend day, which no business day
    // holds, on the Friday before it.
    if (isWeekly(f) && weeklyEnd != TQVS_WEEK_ENDED)
        return periodCeil(date, f);
    return periodFloor(date, f);
}

int obsNum(int start, int end, int f, int weeklyEnd) {
    if (!knownFrequency(f))
        return -1;
    return clampInt(windowLast(end, f, weeklyEnd) - windowFirst(start, f) + 1);
}

bool convertible(int stored, int wanted) {
    if (!knownFrequency(stored) || !knownFrequency(wanted))
        return false;
    if (stored == kBusiness && wanted == kDaily)
        return true;
    return frequencyRank(wanted) <= frequencyRank(stored);
}

int dateAt(int start, int n, int f) {
    if (!knownFrequency(f))
        return -1;
    return periodDate(windowFirst(start, f) + n - 1, f);
}

} // namespace tqvs
