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

} // namespace kovrap

#endif
