#include "compute.h"

#include "periods.h"
#include "store.h"
#include "sum.h"

#include <cmath>
#include <cstddef>
#include <new>
#include <vector>

namespace tqvs {

namespace {

bool present(double v) {
    return v != kMissing && std::isfinite(v);
}

// A computed result that overflowed or is undefined counts as missing.
double result(double v) {
    return std::isfinite(v) && v != kMissing ? v : kMissing;
}

// 100 (x / base - 1), missing where either is missing or the base is zero.
double percentChange(double x, double base) {
    if (!present(x) || !present(base) || base == 0)
        return kMissing;
    return result((x - base) / base * 100.0);
}

// Writes the transform of x[t] against x[t - lag] into out, from the back so
// that the row can be its own input.
template <typename F> void lagged(double *x, std::size_t n, std::size_t lag, F f) {
    for (std::size_t t = n; t-- > 0;)
        x[t] = t >= lag ? f(x[t], x[t - lag]) : kMissing;
}

bool mathKnown(int operation) {
    return operation <= kMathLevel && operation >= kMathLog;
}

} // namespace

// Trailing mean of k values. A running sum over the window, summed anew
// every k steps so that rounding cannot build up along a long row; a window
// whose plain sum overflows is read from the sum's scaled copy, so the work
// stays linear in the row and a finite mean is found.
std::size_t movingAverage(const double *x, double *y, std::size_t n, std::size_t k) {
    std::size_t reads = 0;
    Sum sum(k);
    std::size_t gaps = 0; // missing values inside the window
    for (std::size_t t = 0; t < n; ++t) {
        ++reads;
        if (present(x[t]))
            sum.add(x[t]);
        else
            ++gaps;
        if (t >= k) {
            ++reads;
            if (present(x[t - k]))
                sum.subtract(x[t - k]);
            else
                --gaps;
        }
        if (t + 1 >= k && (t + 1) % k == 0) {
            sum.clear();
            for (std::size_t j = t + 1 - k; j <= t; ++j, ++reads)
                if (present(x[j]))
                    sum.add(x[j]);
        }
        y[t] = t + 1 >= k && gaps == 0 ? result(sum.mean(static_cast<double>(k))) : kMissing;
    }
    return reads;
}

namespace {

// Classical multiplicative decomposition: centred moving average over one
// year, seasonal factor = mean ratio of value to that average per season,
// factors scaled to average 1, value divided by its season's factor.
int seasonalAdjust(const double *x, double *y, std::size_t n, std::size_t p) {
    if (n < 2 * p)
        return TQVS_TOO_SHORT;
    const std::size_t h = p / 2;
    std::vector<double> ratioSum(p, 0.0);
    std::vector<std::size_t> ratioCount(p, 0);
    for (std::size_t t = h; t + h < n; ++t) {
        Sum sum(p + 1);
        bool complete = true;
        for (std::size_t j = t - h; j <= t + h && complete; ++j) {
            // The multiplicative model holds for positive values only.
            complete = present(x[j]) && x[j] > 0;
            const double w = j == t - h || j == t + h ? 0.5 : 1.0;
            sum.add(w * x[j]);
        }
        if (!complete)
            continue;
        const double level = sum.mean(static_cast<double>(p));
        if (!std::isfinite(level))
            continue;
        const double ratio = x[t] / level;
        if (!std::isfinite(ratio))
            continue;
        ratioSum[t % p] += ratio;
        ++ratioCount[t % p];
    }
    std::vector<double> factor(p, 0.0);
    double mean = 0;
    for (std::size_t s = 0; s < p; ++s) {
        if (ratioCount[s] == 0)
            return TQVS_TOO_SHORT; // a season without one usable year
        factor[s] = ratioSum[s] / static_cast<double>(ratioCount[s]);
        mean += factor[s];
    }
    mean /= static_cast<double>(p);
    if (!(mean > 0) || !std::isfinite(mean))
        return TQVS_TOO_SHORT;
    for (std::size_t t = 0; t < n; ++t)
        y[t] = present(x[t]) ? result(x[t] / (factor[t % p] / mean)) : kMissing;
    return TQVS_OK;
}

} // namespace

int applyMath(int operation, int start, int end, int frequency, double *values, int count) {
    static_cast<void>(start); // the row's order is all the operations need
    static_cast<void>(end);
    if (!mathKnown(operation))
        return TQVS_BAD_OPERATION;
    if (!knownFrequency(frequency))
        return TQVS_BAD_FREQUENCY;
    if (values == nullptr || count <= 0)
        return TQVS_OK;
    const auto n = static_cast<std::size_t>(count);
    const auto year = static_cast<std::size_t>(periodsPerYear(frequency));
    switch (operation) {
    case kMathDifference:
        lagged(values, n, 1, [](double x, double prev) {
            return present(x) && present(prev) ? result(x - prev) : kMissing;
        });
        break;
    case kMathPercentChange:
        lagged(values, n, 1, percentChange);
        break;
    case kMathAnnualisedChange:
        lagged(values, n, 1, [year](double x, double prev) {
            if (!present(x) || !present(prev) || prev == 0)
                return kMissing;
            const double ratio = x / prev;
            if (ratio < 0)
                return kMissing; // a change of sign has no compound rate
            return result((std::pow(ratio, static_cast<double>(year)) - 1.0) * 100.0);
        });
        break;
    case kMathYearOnYear:
        lagged(values, n, year, percentChange);
        break;
    case kMathLog:
        for (std::size_t t = 0; t < n; ++t)
            values[t] =
                present(values[t]) && values[t] > 0 ? result(std::log(values[t])) : kMissing;
        break;
    default: // level
        for (std::size_t t = 0; t < n; ++t)
            if (!present(values[t]))
                values[t] = kMissing;
        break;
    }
    return TQVS_OK;
}

int applyAdvanced(const TQVAdvancedOperation &request, int start, int end, int frequency,
                  double *values, int count) {
    static_cast<void>(start);
    static_cast<void>(end);
    const int op = request.operation;
    if (op != kAdvancedSeasonal && op != kAdvancedMovingAverage && op != kAdvancedRebase)
        return TQVS_BAD_OPERATION;
    if (op == kAdvancedSeasonal && frequency != kQuarterly && frequency != kMonthly)
        return TQVS_BAD_FREQUENCY;
    if (!knownFrequency(frequency))
        return TQVS_BAD_FREQUENCY;
    if (op == kAdvancedMovingAverage && request.second < 1)
        return TQVS_BAD_OPERATION;
    if (op == kAdvancedRebase && request.second < 0)
        return TQVS_BAD_OPERATION;
    if (values == nullptr || count <= 0)
        return TQVS_TOO_SHORT;
    const auto n = static_cast<std::size_t>(count);

    if (op == kAdvancedRebase) {
        if (request.second >= count)
            return TQVS_TOO_SHORT;
        const double base = values[request.second];
        for (std::size_t t = 0; t < n; ++t)
            values[t] = present(values[t]) && present(base) && base != 0
                            ? result(values[t] / base * 100.0)
                            : kMissing;
        return TQVS_OK;
    }
    if (op == kAdvancedMovingAverage && request.second > count)
        return TQVS_TOO_SHORT;

    // Both remaining operations read a window of inputs per output, so they
    // work from a copy of the row and write back only on success.
    try {
        const std::vector<double> input(values, values + n);
        std::vector<double> output(n, kMissing);
        if (op == kAdvancedMovingAverage) {
            static_cast<void>(movingAverage(input.data(), output.data(), n,
                                            static_cast<std::size_t>(request.second)));
        } else {
            const int status = seasonalAdjust(input.data(), output.data(), n,
                                              static_cast<std::size_t>(periodsPerYear(frequency)));
            if (status != TQVS_OK)
                return status;
        }
        for (std::size_t t = 0; t < n; ++t)
            values[t] = output[t];
    } catch (const std::bad_alloc &) {
        return TQVS_TOO_SHORT; // nothing written; no status fits better
    }
    return TQVS_OK;
}

} // namespace tqvs
