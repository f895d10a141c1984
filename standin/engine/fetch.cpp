#include "fetch.h"

#include "Kovrap.h"
#include "periods.h"
#include "sum.h"
#include "tqv_standin.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tqvs {

namespace {

void putInt(char *record, int offset, int value) {
    std::memcpy(record + offset, &value, sizeof value);
}

void putText(char *record, int offset, int width, const std::string &text) {
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(width - 1));
    std::memcpy(record + offset, text.data(), n);
    record[offset + static_cast<int>(n)] = '\0';
}

// One target period being filled from the stored periods that fall into it.
// Sum and mean are formed so that partial sums beyond the doubles do not
// spoil a total or mean that is itself finite (sum.h).
struct Bucket {
    explicit Bucket(std::size_t terms) : sum(terms) {}
    Sum sum;
    double first = kMissing;
    double last = kMissing;
    long long present = 0;

    void add(double v) {
        if (v == kMissing)
            return;
        if (present == 0)
            first = v;
        last = v;
        sum.add(v);
        ++present;
    }
    double result(int mode) const {
        if (present == 0)
            return kMissing;
        switch (mode) {
        case kAggregateSum:
            return sum.total();
        case kAggregateFirst:
            return first;
        case kAggregateLast:
            return last;
        default:
            return sum.mean(static_cast<double>(present));
        }
    }
};

} // namespace

void fillRecord(const Series &series, char *record) {
    if (series.hasRawRecord && series.rawRecord.size() == static_cast<std::size_t>(kRecordBytes)) {
        std::memcpy(record, series.rawRecord.data(), kRecordBytes);
        return;
    }
    std::memset(record, 0, kRecordBytes);
    putText(record, 0, KOVRAP_CODE_WIDTH, series.code);
    putInt(record, 10, series.first);
    putInt(record, 14, series.last);
    putInt(record, 18, series.attributes[0]);
    putInt(record, 22, series.frequency);
    for (int i = 1; i < 6; ++i)
        putInt(record, 22 + 4 * i, series.attributes[i]);
    static const int kOffsets[7] = {46, 54, 64, 72, 80, 162, 172};
    static const int kWidths[7] = {KOVRAP_TEXT1_WIDTH, KOVRAP_TEXT2_WIDTH, KOVRAP_TEXT3_WIDTH,
                                   KOVRAP_TEXT4_WIDTH, KOVRAP_TEXT5_WIDTH, KOVRAP_TEXT6_WIDTH,
                                   KOVRAP_TEXT7_WIDTH};
    for (int i = 0; i < 7; ++i)
        putText(record, kOffsets[i], kWidths[i], series.texts[i]);
}

int fetchWindow(const Series &series, int start, int end, int f, int mode, int weeklyEnd,
                double *output, int *count) {
    if (!knownFrequency(f) || !knownFrequency(series.frequency))
        return TQVS_BAD_FREQUENCY;
    if (!convertible(series.frequency, f))
        return TQVS_HIGHER_FREQUENCY;
    const int n = obsNum(start, end, f, weeklyEnd);
    if (n < 1)
        return TQVS_BAD_WINDOW;
    if (count == nullptr || output == nullptr || n > *count)
        return TQVS_SHORT_BUFFER;

    std::fill(output, output + n, kMissing);
    const long long target0 = windowFirst(start, f);
    const long long source0 = periodCeil(series.first, series.frequency);
    const std::size_t size = series.values.size();

    if (f == series.frequency) {
        // Same periods: copy the overlap of the window and the series.
        const long long from = std::max(target0, source0);
        const long long to = std::min(target0 + n, source0 + static_cast<long long>(size));
        for (long long k = from; k < to; ++k)
            output[k - target0] = series.values[static_cast<std::size_t>(k - source0)];
    } else {
        // Each stored period goes to the target period that contains its
        // last day; periods stay in order, so one bucket is open at a time.
        Bucket bucket(size);
        long long open = -1;
        for (std::size_t i = 0; i < size; ++i) {
            const long long day =
                periodEndDay(source0 + static_cast<long long>(i), series.frequency);
            const long long slot = periodCeilDay(day, f) - target0;
            if (slot < 0)
                continue;
            if (slot >= n)
                break;
            if (slot != open) {
                if (open >= 0)
                    output[open] = bucket.result(mode);
                bucket = Bucket(size);
                open = slot;
            }
            bucket.add(series.values[i]);
        }
        if (open >= 0)
            output[open] = bucket.result(mode);
    }
    *count = n;
    return TQVS_OK;
}

} // namespace tqvs
