// ZOZurevAdvancedCount against a stand-in whose period counts come from the
// input: whatever the counts, the result is one of the documented statuses,
// a failure leaves the row as it was, and a success fills every slot of the
// exactly sized row with missing values around one run of computed values
// taken in order.
#include "Kovrap.h"
#include "fuzz_check.h"
#include "fuzz_input.h"
#include "tqv_standin.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kMissing = KOVRAP_MISSING;
constexpr double kBefore = -3.25; // every slot of the row before the call
constexpr int kPeriodCounts = 7;  // the window, two disjoint tests, four segments
// The first count sizes the scratch array that the library fills: the
// input's value is folded below this, so that a run stays within memory.
constexpr int kMaxScratch = 4096;
constexpr double kComputedBase = 1000.0; // computed value i is 1000 + i

const int kFrequencies[] = {10, 30, 40, 60};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    const bool direct = (in.byte() & 1) != 0;
    const std::uint8_t frequencyChoice = in.byte();
    const int frequency = frequencyChoice < 4 ? kFrequencies[frequencyChoice] : in.int32();
    const int windowStart = in.int32();
    const int windowEnd = in.int32();
    const int startDate = in.int32();
    const int endDate = in.int32();
    const int lowerLimit = in.int32();
    const int upperLimit = in.int32();
    const int obsPerSeries = in.byte() | ((in.byte() & 1) << 8);
    int counts[kPeriodCounts];
    for (int &c : counts)
        c = in.int32();
    if (counts[0] > kMaxScratch)
        counts[0] %= kMaxScratch + 1;
    const int countStatus = (in.byte() & 3) == 0 ? in.int32() : 0;
    const int computed = in.byte();

    tqvs_reset();
    // The n-th period count answers the input's n-th count.
    for (int i = 0; i < kPeriodCounts; ++i)
        tqvs_inject("TQVGetObsNum", i + 1, counts[i]);
    const std::string count = std::string(direct ? "TQVD" : "TQV") + "ApplyAdvancedCount";
    if (countStatus != 0) {
        tqvs_inject(count.c_str(), 1, countStatus);
    } else {
        std::vector<double> values;
        for (int i = 0; i < computed; ++i)
            values.push_back(kComputedBase + i);
        tqvs_script_values(count.c_str(), values.data(), computed);
    }

    // One request's arrays and its row, each exactly sized on the heap.
    const std::unique_ptr<int[]> transformCode(new int[1]{KOVRAP_ADVANCED_WINDOWED});
    const std::unique_ptr<int[]> paramB(new int[1]{4});
    const std::unique_ptr<int[]> paramA(new int[1]{lowerLimit});
    const std::unique_ptr<int[]> spanEnd(new int[1]{upperLimit});
    const std::unique_ptr<int[]> paramC(new int[1]{0});
    const std::unique_ptr<int[]> advancedFlag(new int[1]{1});
    const std::unique_ptr<int[]> status(new int[1]{-1});
    TransformArrays transforms{transformCode.get(), paramB.get(),       paramA.get(), spanEnd.get(),
                               paramC.get(),        advancedFlag.get(), nullptr,      status.get()};
    const auto slots = static_cast<std::size_t>(obsPerSeries);
    const std::unique_ptr<double[]> row(new double[slots]);
    for (std::size_t i = 0; i < slots; ++i)
        row[i] = kBefore;

    const int result = ZOZurevAdvancedCount(direct ? 1 : 0, &transforms, 0, windowStart, windowEnd,
                                            startDate, endDate, frequency, row.get(), obsPerSeries);

    FUZZ_CHECK(result == 0 || result == KOVRAP_STATUS_TOO_FEW_PERIODS ||
               result == KOVRAP_STATUS_SEGMENTS_MISMATCH || result == KOVRAP_STATUS_NO_MEMORY ||
               (countStatus != 0 && result == countStatus));
    FUZZ_CHECK(status[0] == -1);
    if (result != 0) {
        for (std::size_t i = 0; i < slots; ++i)
            FUZZ_CHECK(row[i] == kBefore);
        return 0;
    }
    // Missing values, then the computed run, then missing values. Scratch
    // values past the library's answer are the allocation's zeros.
    std::size_t i = 0;
    while (i < slots && row[i] == kMissing)
        ++i;
    double previous = -1;
    for (bool first = true; i < slots && row[i] != kMissing; ++i, first = false) {
        const double v = row[i];
        FUZZ_CHECK(v == 0 || (v >= kComputedBase && v < kComputedBase + computed));
        if (!first)
            FUZZ_CHECK(v == 0 ? (previous == 0 || previous == kComputedBase + computed - 1)
                              : v == previous + 1);
        previous = v;
    }
    for (; i < slots; ++i)
        FUZZ_CHECK(row[i] == kMissing);
    tqvs_reset();
    return 0;
}
