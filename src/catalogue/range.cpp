#include "catalogue/range.h"

#include <algorithm>

namespace kovrap {

namespace {

constexpr int kLowestRequested = KOVRAP_FREQ_LOWEST; // take the lowest code of the usable series
constexpr int kHighestFixed = 999;                   // the floor applies only to codes up to here
constexpr int kNoSeries = 100;                       // lowest code when no usable series remains
constexpr int kGroup = KOVRAP_FREQ_WEEKLY_GROUP;     // stands for every weekly code
constexpr int kGroupFloor = KOVRAP_FREQ_WEEKLY_MON;
constexpr int kDaily = KOVRAP_FREQ_DAILY;
constexpr int kBusinessDaily = KOVRAP_FREQ_BUSINESS;
constexpr int kDailyGroupMember = KOVRAP_FREQ_WEEKLY_FRI; // the group member for a daily series
constexpr int kFromSeries = -1; // requested start or end: take it from the series
constexpr int kNoStart = 99999999;
constexpr int kNoEnd = -99999999;

bool inGroup(int frequency) noexcept {
    return frequency >= kGroupFloor && frequency <= kGroup;
}

// A series finer than the chosen code is set aside rather than counted when
// its attribute 6 says so.
bool setAsideWhenFiner(int attribute6) noexcept {
    return attribute6 == KOVRAP_ATTRIBUTE6_SET_ASIDE_0 ||
           attribute6 == KOVRAP_ATTRIBUTE6_SET_ASIDE_9;
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
    // In locals: the lists written below might, for all the compiler knows,
    // change the host's record of column pointers.
    const int *const attribute1 = columns.attribute1;
    const int *const frequencies = columns.frequency;
    const int *const attributes6 = columns.attribute6;
    const int *const firstDates = columns.firstDate;
    const int *const lastDates = columns.lastDate;

    // A series is empty when its attribute 1 is 0; empty series never lower
    // the lowest code, and take part in nothing after.
    int chosen = requested;
    int frequencyFloor = requested;
    if (requested == kLowestRequested) {
        int lowest = kNoSeries;
        for (int k = 0; k < count; ++k)
            if (attribute1[k] != 0 && frequencies[k] < lowest)
                lowest = frequencies[k];
        chosen = inGroup(lowest) ? kGroup : lowest;
        frequencyFloor = inGroup(lowest) ? kGroupFloor : lowest;
    } else if (requested == kGroup) {
        frequencyFloor = kGroupFloor;
    }

    // One pass sets the series aside, empty ones first, and takes the first
    // usable series and the dates of the usable ones: what is set aside is
    // decided by the chosen code of above alone, so no mark need be kept.
    IndexList empty(exclusions.emptyList);
    IndexList higher(exclusions.higherFrequencyList);
    IndexList lower(exclusions.lowerFrequencyList);
    const bool mergeOn = merge != 0;
    const bool floorApplies = requested <= kHighestFixed;
    int firstUsable = -1;
    int earliest = kNoStart;
    int latest = kNoEnd;
    for (int k = 0; k < count; ++k) {
        if (attribute1[k] == 0) {
            empty.append(k);
            continue;
        }
        const int frequency = frequencies[k];
        const int attribute6 = attributes6[k];
        // With merging on, a daily range takes no business-daily series; any
        // series above the chosen code goes when its attribute 6 says so.
        const bool above = (mergeOn && frequency == kBusinessDaily && chosen == kDaily) ||
                           (setAsideWhenFiner(attribute6) && frequency > chosen);
        if (above) {
            higher.append(k);
        } else if (floorApplies && frequency < frequencyFloor) {
            lower.append(k);
        } else {
            if (firstUsable < 0)
                firstUsable = k;
            earliest = std::min(earliest, firstDates[k]);
            latest = std::max(latest, lastDates[k]);
        }
    }

    // The group's member comes from the first series that passed the test.
    if (chosen == kGroup && firstUsable >= 0) {
        const int frequency = frequencies[firstUsable];
        if (frequency == kDaily)
            chosen = kDailyGroupMember;
        else if (frequency != kBusinessDaily)
            chosen = frequency;
    }

    if (exclusions.exclusionCounts != nullptr) {
        exclusions.exclusionCounts[0] = empty.count();
        exclusions.exclusionCounts[1] = higher.count();
        exclusions.exclusionCounts[2] = lower.count();
    }

    if (start == kFromSeries)
        start = earliest;
    const int startPeriod = ymdToTqvdate(start, chosen);
    if (end == kFromSeries)
        end = latest;
    const int endPeriod = ymdToTqvdate(end, chosen);

    *range.start = startPeriod;
    *range.end = endPeriod;
    *range.frequency = chosen;
    const int observations = library.getObsNum(startPeriod, endPeriod, chosen);
    if (range.observationCount != nullptr)
        *range.observationCount = observations;
}

} // namespace kovrap
