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

} // namespace kovrap

#endif
