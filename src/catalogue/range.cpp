#include "catalogue/range.h"

#include <cstddef>
#include <vector>

namespace kovrap {

namespace {

constexpr int kLowestRequested = 1000; // take the lowest code of the usable series
constexpr int kHighestFixed = 999;     // the floor applies only to codes up to here
constexpr int kNoSeries = 100;         // lowest code when no usable series remains
constexpr int kGroup = 57;             // stands for the codes 51 to 57
constexpr int kGroupFloor = 51;
constexpr int kDaily = 60;
constexpr int kBusinessDaily = 61;
constexpr int kDailyGroupMember = 55; // the group member for a daily series
constexpr int kFromSeries = -1;       // requested start or end: take it from the series
constexpr int kNoStart = 99999999;
constexpr int kNoEnd = -99999999;

bool inGroup(int frequency) noexcept {
    return frequency >= kGroupFloor && frequency <= kGroup;
}

// Appends request indices to one host list and counts them; a host that
// passes no list gets the count alone.
class IndexList {
  public:
    explicit IndexList(int *list) noexcept : list_(list) {}
    void append(int k) noexcept {
        if (list_ != nullptr)
            list_[count_] = k;
        ++count_;
    }
    int count() const noexcept { return count_; }

  private:
    int *list_;
    int count_ = 0;
};

} // namespace

void computeCommonRange(const Library &library, const SeriesInfoColumns &columns, int requestCount,
                        int merge, const CommonRange &range, const RangeExclusions &exclusions) {
    const int requested = *range.frequency;
    int start = *range.start;
    int end = *range.end;
    const int count = requestCount > 0 ? requestCount : 0;
    std::vector<int> marked(static_cast<std::size_t>(count), 0);
    const auto usable = [&marked](int k) { return marked[static_cast<std::size_t>(k)] == 0; };
    const auto mark = [&marked](int k) { marked[static_cast<std::size_t>(k)] = 1; };

    // Empty series first, so that they never lower the lowest code.
    IndexList empty(exclusions.emptyList);
    for (int k = 0; k < count; ++k)
        if (columns.attribute1[k] == 0) {
            mark(k);
            empty.append(k);
        }

    int chosen = requested;
    int frequencyFloor = requested;
    if (requested == kLowestRequested) {
        int lowest = kNoSeries;
        for (int k = 0; k < count; ++k)
            if (usable(k) && columns.frequency[k] < lowest)
                lowest = columns.frequency[k];
        chosen = inGroup(lowest) ? kGroup : lowest;
        frequencyFloor = inGroup(lowest) ? kGroupFloor : lowest;
    } else if (requested == kGroup) {
        frequencyFloor = kGroupFloor;
    }

    IndexList higher(exclusions.higherFrequencyList);
    IndexList lower(exclusions.lowerFrequencyList);
    for (int k = 0; k < count; ++k) {
        if (!usable(k))
            continue;
        const int frequency = columns.frequency[k];
        const int attribute6 = columns.attribute6[k];
        // With merging on, a daily range takes no business-daily series; any
        // series above the chosen code goes when its attribute 6 is 0 or 9.
        const bool above = (merge != 0 && frequency == kBusinessDaily && chosen == kDaily) ||
                           ((attribute6 == 0 || attribute6 == 9) && frequency > chosen);
        if (above) {
            mark(k);
            higher.append(k);
        } else if (requested <= kHighestFixed && frequency < frequencyFloor) {
            mark(k);
            lower.append(k);
        }
    }

    // The group's member comes from the first series that passed the test.
    if (chosen == kGroup) {
        for (int k = 0; k < count; ++k) {
            if (!usable(k))
                continue;
            const int frequency = columns.frequency[k];
            if (frequency == kDaily)
                chosen = kDailyGroupMember;
            else if (frequency != kBusinessDaily)
                chosen = frequency;
            break;
        }
    }

    if (exclusions.exclusionCounts != nullptr) {
        exclusions.exclusionCounts[0] = empty.count();
        exclusions.exclusionCounts[1] = higher.count();
        exclusions.exclusionCounts[2] = lower.count();
    }

    if (start == kFromSeries) {
        start = kNoStart;
        for (int k = 0; k < count; ++k)
            if (usable(k) && columns.firstDate[k] < start)
                start = columns.firstDate[k];
    }
    const int startPeriod = ymdToTqvdate(start, chosen);
    if (end == kFromSeries) {
        end = kNoEnd;
        for (int k = 0; k < count; ++k)
            if (usable(k) && columns.lastDate[k] > end)
                end = columns.lastDate[k];
    }
    const int endPeriod = ymdToTqvdate(end, chosen);

    *range.start = startPeriod;
    *range.end = endPeriod;
    *range.frequency = chosen;
    const int observations = library.getObsNum(startPeriod, endPeriod, chosen);
    if (range.observationCount != nullptr)
        *range.observationCount = observations;
}

} // namespace kovrap
