// The stand-ins' computations behind TQVApplyMathCount and
// TQVApplyAdvancedCount, on one row of observations in place. The operation
// tables are in docs/computations.md.
#ifndef TQVS_COMPUTE_H
#define TQVS_COMPUTE_H

#include "internal_api.h"
#include "tqv_standin.h"
#include "tqvlib.h"

#include <cstddef>

namespace tqvs {

// Math operations, by the code the library receives: Kovrap passes the
// host's transformation code negated.
constexpr int kMathLevel = 0;             // unchanged
constexpr int kMathDifference = -1;       // x[t] - x[t-1]
constexpr int kMathPercentChange = -2;    // 100 (x[t] / x[t-1] - 1)
constexpr int kMathAnnualisedChange = -3; // 100 ((x[t] / x[t-1])^periodsPerYear - 1)
constexpr int kMathYearOnYear = -4;       // 100 (x[t] / x[t-periodsPerYear] - 1)
constexpr int kMathLog = -5;              // ln x[t]

// Advanced operations, by the operation code of the advanced count record.
constexpr int kAdvancedMovingAverage = 1; // trailing mean of `second` periods
constexpr int kAdvancedRebase = 2;        // x[second] becomes 100
constexpr int kAdvancedSeasonal = 1792;   // multiplicative seasonal adjustment

/**
 * Applies a math operation to `count` values in place; values[i] is the
 * observation of the i-th period from `start` (`end` is the last period;
 * the operations need only the order and the frequency). Returns 0, or
 * TQVS_BAD_OPERATION for an unknown code, TQVS_BAD_FREQUENCY for an unknown
 * frequency; on failure the values are untouched. A null row or a count of
 * 0 or less is nothing to transform and gives 0. A result that depends on a
 * missing value (kMissing, or anything not finite) is missing, and so is a
 * result that cannot be computed (no predecessor, division by zero, log of a
 * non-positive value).
 */
TQVS_INTERNAL_API int applyMath(int operation, int start, int end, int frequency, double *values,
                                int count);

/**
 * Applies an advanced operation to `count` values in place, as applyMath.
 * Returns 0, or TQVS_BAD_OPERATION for an unknown code or invalid parameter,
 * TQVS_BAD_FREQUENCY for a frequency the operation does not take,
 * TQVS_TOO_SHORT when there are too few observations (a null row or a count
 * of 0 or less included); on failure the values are untouched.
 */
TQVS_INTERNAL_API int applyAdvanced(const TQVAdvancedOperation &request, int start, int end,
                                    int frequency, double *values, int count);

/**
 * The trailing mean of k values behind the advanced operation 1: y[t] is the
 * mean of x[t-k+1..t], kMissing before the k-th value, where a value of the
 * window is missing, or where the mean is not finite. Returns how many
 * values of x it read, which the tests hold to a multiple of n whatever the
 * magnitudes.
 */
TQVS_INTERNAL_API std::size_t movingAverage(const double *x, double *y, std::size_t n,
                                            std::size_t k);

} // namespace tqvs

#endif
