// Period arithmetic of the stand-ins: frequency codes, period dates and the
// counting of periods between two dates.
//
// Every frequency numbers its periods with a continuous index (a long long so
// that any int date maps without overflow). A period date is the date form
// of one period: YYYY (10), YYYYQ (30), YYYYMM (40) or YYYYMMDD (weekly 51 to
// 57 = the week's last day, daily 60, business days 61). Any int is accepted
// as a date: months and days out of range are normalised by floor division,
// so one before or after a period date, taken as a plain int, lands in the
// period before or after it at every code but the weekly ones (there the day
// before a week's last day is a day of that same week).
//
// A window's start or end may be any day, not only a period's last day: it
// stands for the period that holds that day, as a start and as an end
// (windowFirst, windowLast). A Saturday or Sunday, which no business day
// holds, opens a business-day window on the following Monday and closes it on
// the preceding Friday: the window is the business days that lie in it. A day
// inside a week, as an end, may be read the same way on request
// (TQVS_WEEK_ENDED: the last week ending on or before it), since nothing
// tells which of the two readings a real library takes.
#ifndef TQVS_PERIODS_H
#define TQVS_PERIODS_H

#include "internal_api.h"
#include "tqv_standin.h"

namespace tqvs {

constexpr int kAnnual = 10;
constexpr int kQuarterly = 30;
constexpr int kMonthly = 40;
constexpr int kWeeklyFirst = 51; // weeks ending on Monday
constexpr int kWeeklyLast = 57;  // weeks ending on Sunday
constexpr int kDaily = 60;
constexpr int kBusiness = 61; // Monday to Friday

/** True for the frequency codes 10, 30, 40, 51 to 57, 60 and 61. */
TQVS_INTERNAL_API bool knownFrequency(int f);

/** Periods per year, approximate for weekly and daily codes (52, 365, 260);
 *  0 for an unknown code. Used for annualising. */
TQVS_INTERNAL_API int periodsPerYear(int f);

/** Rank of a frequency by periods per year: annual lowest. All weekly codes
 *  share one rank. -1 for an unknown code. */
TQVS_INTERNAL_API int frequencyRank(int f);

/** Index of the first period that ends on or after the date. */
TQVS_INTERNAL_API long long periodCeil(int date, int f);

/** Index of the last period that ends on or before the date. */
TQVS_INTERNAL_API long long periodFloor(int date, int f);

/** Period date of a period index, clamped into int. */
TQVS_INTERNAL_API int periodDate(long long index, int f);

/** Index of the first period of a window that starts on the date: the period
 *  that holds it (periodCeil). 0 for an unknown frequency. */
TQVS_INTERNAL_API long long windowFirst(int date, int f);

/** Index of the last period of a window that ends on the date: the period
 *  that holds it (for a weekend day at business days, the Friday before).
 *  At the weekly codes weeklyEnd chooses how a day inside a week reads:
 *  TQVS_WEEK_HOLDING the week that holds it, TQVS_WEEK_ENDED the last week
 *  ending on or before it. 0 for an unknown frequency. */
TQVS_INTERNAL_API long long windowLast(int date, int f, int weeklyEnd = TQVS_WEEK_HOLDING);

/** Number of periods from start to end: windowLast(end) - windowFirst(start)
 *  + 1, zero or negative when end is before start, clamped into int. -1 for an
 *  unknown frequency. */
TQVS_INTERNAL_API int obsNum(int start, int end, int f, int weeklyEnd = TQVS_WEEK_HOLDING);

/** Whether a series stored at frequency `stored` can be given at frequency
 *  `wanted`: the same code, any lower one (by aggregation), another weekly
 *  code, or business days as days (placed on their calendar days). */
TQVS_INTERNAL_API bool convertible(int stored, int wanted);

/** Period date of period windowFirst(start) + n - 1. -1 for an unknown
 *  frequency. */
TQVS_INTERNAL_API int dateAt(int start, int n, int f);

/** Day number (days since 1970-01-01) of a calendar date; month and day may
 *  be out of range and are normalised. */
TQVS_INTERNAL_API long long dayNumber(long long year, long long month, long long day);

/** Day number of the last day of a period. f must be known. */
TQVS_INTERNAL_API long long periodEndDay(long long index, int f);

/** Index of the first period whose last day is on or after a day number.
 *  f must be known. With periodEndDay this maps a period of one frequency
 *  into the period of another frequency that contains it. */
TQVS_INTERNAL_API long long periodCeilDay(long long day, int f);

} // namespace tqvs

#endif
