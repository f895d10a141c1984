// What the information and data operations give for one series.
#ifndef TQVS_FETCH_H
#define TQVS_FETCH_H

#include "store.h"

namespace tqvs {

/** Aggregation modes: how a lower frequency combines the stored periods
 *  that fall into one of its periods. */
enum AggregationMode {
    kAggregateAverage = 0, // mean of the non-missing values
    kAggregateSum = 1,     // sum of the non-missing values
    kAggregateFirst = 2,   // first non-missing value of the period
    kAggregateLast = 3,    // last non-missing value of the period
};
constexpr int kAggregationModes = 4;

/** Writes the 256-byte information record of a series (its raw record when
 *  it has one). */
void fillRecord(const Series &series, char *record);

/** Fills output with the series over the window start..end at frequency f,
 *  aggregating by mode when f is lower than the series' own frequency; the
 *  end reads as obsNum reads it with weeklyEnd. Checks the frequency, the
 *  window and the count cell; on TQVS_OK *count is the number of periods
 *  written. */
int fetchWindow(const Series &series, int start, int end, int f, int mode, int weeklyEnd,
                double *output, int *count);

} // namespace tqvs

#endif
