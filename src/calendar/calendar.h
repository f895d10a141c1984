// Frequency codes, period dates and calendar dates.
#ifndef KOVRAP_CALENDAR_H
#define KOVRAP_CALENDAR_H

#include "Kovrap.h"

namespace kovrap {

constexpr int kAnnual = KOVRAP_FREQ_ANNUAL;
constexpr int kQuarterly = KOVRAP_FREQ_QUARTERLY;
constexpr int kMonthly = KOVRAP_FREQ_MONTHLY;

// The weekly codes, from weeks ending on Monday to weeks ending on Sunday.
constexpr bool isWeekly(int frequency) noexcept {
    return frequency >= KOVRAP_FREQ_WEEKLY_MON && frequency <= KOVRAP_FREQ_WEEKLY_SUN;
}

// Codes whose period date already is a calendar date: the weekly codes,
// daily and business-daily.
constexpr bool isDailyForm(int frequency) noexcept {
    return isWeekly(frequency) || frequency == KOVRAP_FREQ_DAILY ||
           frequency == KOVRAP_FREQ_BUSINESS;
}

// The calendar date `days` days after `date` (before it for a negative
// count), both YYYYMMDD on the proleptic Gregorian calendar. A month or day
// out of range carries over, as the libraries read any int as a date (month
// 13 is January of the next year, day 0 the last day of the month before).
// Results beyond the int range are clamped to it.
int addDays(int date, int days) noexcept;

// The last day of the week of a weekly code (51 to 57) that holds a calendar
// date, read as addDays reads it; the date itself for any other code.
int weekEnd(int date, int frequency) noexcept;

} // namespace kovrap

#endif
