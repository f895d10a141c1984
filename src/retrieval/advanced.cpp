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
    const TQVAdvancedOperation operation = {transforms.transformCode[index], 0,
                                            transforms.paramB[index], transforms.paramC[index]};
    int count = n;
    const int status = kovrap::selectLibrary(direct).applyAdvancedCount(
        &operation, first, last, frequency, scratch.get(), &count);
    if (status != 0)
        return status;

    Segments s;
    if (kovrap::isWeekly(frequency)) {
        // A weekly date is a calendar day, and whether a day inside a week
        // ends a window on the week that holds it or on the week before is
        // the library's own reading, which no interface states. So no date
        // is formed or compared here: each segment is a difference of two
        // counts that share a start or an end. Let F(x) be the index of the
        // week a start x stands for and E(y) that of an end y, however the
        // library maps days to weeks; N(x, y) = E(y) - F(x) + 1, and
        // a = N(B, T), c = N(S, L), n = N(S, T):
        //   a - n = F(S) - F(B)   requested weeks before the first computed
        //   n - a = F(B) - F(S)   computed weeks before the first requested
        //   c - n = E(L) - E(T)   requested weeks after the last computed
        //   n - c = E(T) - E(L)   computed weeks after the last requested
        // mid is n less the computed weeks before B and after L. Since
        // max(0, x) - max(0, -x) = x, lead + mid + trail = (a - n) + n +
        // (c - n) = E(L) - F(B) + 1 = N(B, L), the row's length.
        const long long a = periods(startDate, last);
        const long long c = periods(first, endDate);
        if (c <= 0 || a <= 0) {
            // Wholly before (c <= 0) or wholly after (a <= 0): no week shared.
            const long long whole = periods(startDate, endDate);
            s.lead = c <= 0 ? whole : 0;
            s.trail = a <= 0 ? whole : 0;
        } else {
            s.lead = std::max(0LL, a - n);
            s.skip = std::max(0LL, n - a);
            s.trail = std::max(0LL, c - n);
            s.mid = n - s.skip - std::max(0LL, n - c);
        }
    } else {
        if (endDate < first)
            s.lead = periods(startDate, endDate);
        if (startDate > last)
            s.trail = periods(startDate, endDate);
        if (s.lead == 0 && s.trail == 0) {
            // The period before S or B is the int one below, the one after T
            // the int one above. first - 1 and startDate - 1 are taken only
            // when a smaller int lies below them, last + 1 only when a larger
            // one lies above: no overflow.
            s.lead = startDate < first ? periods(startDate, first - 1) : 0;
            s.skip = startDate > first ? periods(first, startDate - 1) : 0;
            s.mid = periods(std::max(startDate, first), std::min(endDate, last));
            s.trail = endDate > last ? periods(last + 1, endDate) : 0;
        }
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
