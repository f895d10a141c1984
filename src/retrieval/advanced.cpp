// The windowed advanced count (code 1792): the count runs over its own
// computation window and its values are then aligned into the requested row,
// with the missing value in every period the computation window does not cover.
#include "binding/guard.h"
#include "binding/library.h"
#include "calendar/calendar.h"
#include "tqvlib.h"

#include "Kovrap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Quarterly and monthly counts need a minimum of periods; other codes none, so
// there only a negative period count is refused.
int minimumPeriods(int frequency) noexcept {
    if (frequency == kovrap::kQuarterly)
        return 12;
    if (frequency == kovrap::kMonthly)
        return 36;
    return 0;
}

struct FreeDeleter {
    void operator()(double *p) const noexcept { std::free(p); }
};

// Zero-filled scratch of n doubles (never null on success, even for n == 0);
// null when the allocation fails.
std::unique_ptr<double, FreeDeleter> allocateScratch(int n) noexcept {
    const std::size_t elements = n > 0 ? static_cast<std::size_t>(n) : 1;
    return std::unique_ptr<double, FreeDeleter>(
        static_cast<double *>(std::calloc(elements, sizeof(double))));
}

// Where the computed values land in the row, counted from slot 0: lead missing
// values, then mid computed values starting at scratch index skip, then trail
// missing values.
struct Segments {
    long long lead = 0;
    long long skip = 0;
    long long mid = 0;
    long long trail = 0;
};

int aligned(int direct, const TransformArrays &transforms, int index, int windowStart,
            int windowEnd, int startDate, int endDate, int frequency, double *values,
            int obsPerSeries) {
    // Period counts always come from the local library's calendar, whichever
    // library runs the count itself.
    const auto periods = [frequency](int from, int to) -> long long {
        return TQVGetObsNum(from, to, frequency);
    };

    // The span limits narrow the base window, never widen it; 0 is no limit.
    const int lowerLimit = transforms.paramA[index];
    const int upperLimit = transforms.spanEnd[index];
    const int first = (lowerLimit != 0 && lowerLimit > windowStart) ? lowerLimit : windowStart;
    const int last = (upperLimit != 0 && upperLimit < windowEnd) ? upperLimit : windowEnd;

    const int n = TQVGetObsNum(first, last, frequency);
    if (n < minimumPeriods(frequency))
        return KOVRAP_STATUS_TOO_FEW_PERIODS;

    // The data retrieval records a failed allocation like any failed advanced
    // count (missing values in the row); it is kept apart from 834 and 835
    // because neither the window nor the row length is at fault.
    const auto scratch = allocateScratch(n);
    if (!scratch)
        return KOVRAP_STATUS_NO_MEMORY;

    // Code 1792 takes no first parameter: paramA is the lower span limit.
    const TQVAdvancedSpec operation = {transforms.transformCode[index], 0, transforms.paramB[index],
                                       transforms.paramC[index]};
    int count = n;
    const int status = kovrap::selectLibrary(direct).applyAdvancedCount(
        &operation, first, last, frequency, scratch.get(), &count);
    if (status != 0)
        return status;

    // At the weekly codes two days of one week are one period: the windows
    // are compared by the last days of the weeks that hold their ends, so
    // that a requested window ending inside the computation window's first
    // week (or starting inside its last) is not taken for a disjoint one.
    // Every other code compares the dates themselves.
    const bool weekly = kovrap::isWeekly(frequency);
    const int s0 = kovrap::weekEnd(first, frequency);
    const int t0 = kovrap::weekEnd(last, frequency);
    const int b0 = kovrap::weekEnd(startDate, frequency);
    const int l0 = kovrap::weekEnd(endDate, frequency);

    Segments s;
    if (l0 < s0)
        s.lead = periods(startDate, endDate);
    if (b0 > t0)
        s.trail = periods(startDate, endDate);
    if (s.lead == 0 && s.trail == 0) {
        // The period before S or B and the period after T. At the weekly
        // codes a date is a calendar day, and the day one below it lies in
        // the same week unless the date is its week's first day; seven days
        // below (above) lies in the week before (after) however the library
        // reads a day of a week, so a whole week is stepped there. Every
        // other code takes the int one below (above); first - 1 and
        // startDate - 1 are taken only when a smaller int lies below them,
        // last + 1 only when a larger one lies above: no overflow.
        const auto before = [weekly](int date) {
            return weekly ? kovrap::addDays(date, -7) : date - 1;
        };
        const auto after = [weekly](int date) {
            return weekly ? kovrap::addDays(date, 7) : date + 1;
        };
        s.lead = b0 < s0 ? periods(startDate, before(first)) : 0;
        s.skip = b0 > s0 ? periods(first, before(startDate)) : 0;
        s.mid = periods(b0 >= s0 ? startDate : first, l0 <= t0 ? endDate : last);
        s.trail = l0 > t0 ? periods(after(last), endDate) : 0;
    }

    // The counts come from the library: only counts that keep the copy inside
    // the n computed values and fill exactly the row are used.
    if (s.lead < 0 || s.skip < 0 || s.mid < 0 || s.trail < 0 || s.skip + s.mid > n ||
        s.lead + s.mid + s.trail != static_cast<long long>(obsPerSeries))
        return KOVRAP_STATUS_SEGMENTS_MISMATCH;

    const auto lead = static_cast<std::size_t>(s.lead);
    const auto mid = static_cast<std::size_t>(s.mid);
    const auto trail = static_cast<std::size_t>(s.trail);
    std::fill(values, values + lead, KOVRAP_MISSING);
    if (mid > 0)
        std::memcpy(values + lead, scratch.get() + s.skip, mid * sizeof(double));
    std::fill(values + lead + mid, values + lead + mid + trail, KOVRAP_MISSING);
    return 0;
}

} // namespace

extern "C" KOVRAP_API int ZOZurevAdvancedCount(int direct, TransformArrays *transforms, int index,
                                               int windowStart, int windowEnd, int startDate,
                                               int endDate, int frequency, double *values,
                                               int obsPerSeries) {
    return kovrap::guarded(KOVRAP_STATUS_NO_MEMORY, [&] {
        return aligned(direct, *transforms, index, windowStart, windowEnd, startDate, endDate,
                       frequency, values, obsPerSeries);
    });
}
