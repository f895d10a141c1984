// Frequency codes, period dates and calendar dates.
#ifndef KOVRAP_CALENDAR_H
#define KOVRAP_CALENDAR_H

namespace kovrap {

constexpr int kAnnual = 10;
constexpr int kQuarterly = 30;
constexpr int kMonthly = 40;

// Codes whose period date already is a calendar date: the weekly codes 51 to
// 57, daily 60 and business-daily 61.
constexpr bool isDailyForm(int frequency) noexcept {
    return (frequency >= 51 && frequency <= 57) || frequency == 60 || frequency == 61;
}

// The weekly codes 51 (weeks ending on Monday) to 57 (ending on Sunday).
constexpr bool isWeekly(int frequency) noexcept {
    return frequency >= 51 && frequency <= 57;
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
