// c_kovraSeriesInfo: sorts requests into status lists by the library's
// information status, copies the information of each successful request into
// the host's columns and, on demand, ends with the common range.
#include "Kovrap.h"
#include "binding/bracket.h"
#include "binding/guard.h"
#include "binding/library.h"
#include "binding/record.h"
#include "binding/walk.h"
#include "catalogue/range.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace {

constexpr int kListCount = 7;
constexpr int kSucceeded = -1;
// The list of a series the library does not know (status 1), which also takes
// a code that cannot travel in the direct library's code list.
constexpr int kUnknownList = 0;
// The list of any other status, which also takes the requests that could not
// be asked because the direct path's code list could not be allocated.
constexpr int kOtherList = 6;

// The status list that an information status sends its request to, or
// kSucceeded for status 0. Status 4 has a list of its own only on the direct
// library.
int listOf(int status, bool direct) noexcept {
    switch (status) {
    case 0:
        return kSucceeded;
    case 1:
        return 0;
    case 2:
        return 1;
    case 3:
        return 2;
    case 4:
        return direct ? 3 : 2;
    case 5:
        return 4;
    case 6:
        return 5;
    default:
        return 6;
    }
}

// The host's seven status lists with their counts, kept here until the end of
// the walk. A list the host did not pass (null) is counted but not written.
class StatusLists {
  public:
    explicit StatusLists(const InfoStatusLists *status) noexcept {
        if (status == nullptr)
            return;
        int *const lists[kListCount] = {
            status->statusList0, status->statusList1, status->statusList2, status->statusList3,
            status->statusList4, status->statusList5, status->statusList6};
        for (std::size_t n = 0; n < kListCount; ++n)
            lists_[n] = lists[n];
    }

    void append(int list, int k) noexcept {
        const auto n = static_cast<std::size_t>(list);
        if (lists_[n] != nullptr)
            lists_[n][counts_[n]] = k;
        ++counts_[n];
    }
    void writeCounts(int *out) const noexcept {
        if (out == nullptr)
            return;
        for (std::size_t n = 0; n < kListCount; ++n)
            out[n] = counts_[n];
    }
    // Whether a request ended in lists 1 to 6; list 0 (open failed or status
    // 1) does not keep the common range from running.
    bool anyBeyondFirst() const noexcept {
        for (std::size_t n = 1; n < kListCount; ++n)
            if (counts_[n] != 0)
                return true;
        return false;
    }

  private:
    int *lists_[kListCount] = {};
    int counts_[kListCount] = {};
};

// Fills element k of every column, in column order, from a record that the
// library answered with status 0. Both dates are converted with the record's
// own frequency code. A column the host did not pass (null) is skipped.
void copyColumns(const kovrap::InfoRecord &record, const SeriesInfoColumns &columns, int k) {
    using kovrap::InfoRecord;
    const int frequency = record.readInt(InfoRecord::kFrequency);
    if (columns.code != nullptr)
        record.copyText(InfoRecord::kCode, columns.code[k]);
    if (columns.firstDate != nullptr)
        columns.firstDate[k] = tqvdateToYmd(record.readInt(InfoRecord::kFirstDate), frequency);
    if (columns.lastDate != nullptr)
        columns.lastDate[k] = tqvdateToYmd(record.readInt(InfoRecord::kLastDate), frequency);
    if (columns.attribute1 != nullptr)
        columns.attribute1[k] = record.attribute(1);
    if (columns.frequency != nullptr)
        columns.frequency[k] = frequency;
    int *const attributes[] = {columns.attribute2, columns.attribute3, columns.attribute4,
                               columns.attribute5, columns.attribute6};
    for (int n = 2; n <= 6; ++n)
        if (attributes[n - 2] != nullptr)
            attributes[n - 2][k] = record.attribute(n);
    char **const texts[] = {columns.text1, columns.text2, columns.text3, columns.text4,
                            columns.text5, columns.text6, columns.text7};
    for (std::size_t t = 0; t < 7; ++t)
        if (texts[t] != nullptr)
            record.copyText(InfoRecord::kTexts[t], texts[t][k]);
}

// Whether the host passed everything the common range reads and writes: the
// five columns it decides from and the requested code, start and end.
bool rangeComplete(const SeriesInfoColumns *columns, const CommonRange &range) noexcept {
    return columns != nullptr && columns->firstDate != nullptr && columns->lastDate != nullptr &&
           columns->attribute1 != nullptr && columns->frequency != nullptr &&
           columns->attribute6 != nullptr && range.frequency != nullptr && range.start != nullptr &&
           range.end != nullptr;
}

} // namespace

extern "C" KOVRAP_API void c_kovraSeriesInfo(int direct, InfoStatusLists *status,
                                             SeriesInfoColumns *columns, const char *const *codes,
                                             const char *const *dbNames,
                                             const char *const *databases, int databaseCount,
                                             int requestCount, int merge, int /*spare*/,
                                             CommonRange *range, RangeExclusions *exclusions) {
    const kovrap::Library &library = kovrap::selectLibrary(direct);
    // The setting is 1 during the call, and then 3 when the host merges.
    kovrap::Bracket bracket(library, merge != 0 ? std::initializer_list<int>{1, 3}
                                                : std::initializer_list<int>{1});
    // Without a status record the requests are still asked and sorted, for
    // the columns and the range; without columns nothing is copied.
    const bool classifyOnly = status != nullptr && status->classifyOnly != 0;
    const bool copying = !classifyOnly && columns != nullptr;
    StatusLists lists(status);

    // Where the walk is, so that the requests it could not reach can be
    // reported: the database and the last request visited in it.
    int d = 0;
    int lastVisited = -1;
    // Only the direct path's code list can fail to be allocated; the walk
    // itself falls back to comparing names when its grouping cannot be.
    const bool walked = kovrap::guarded(false, [&] {
        kovrap::RequestWalk walk(
            kovrap::Requests{codes, dbNames, databases, databaseCount, requestCount},
            library.direct);
        // One record for the whole call; only a status-0 answer is read from it.
        kovrap::InfoRecord record;
        for (; d < databaseCount; ++d) {
            lastVisited = -1;
            // Databases opened before stay open until the bracket's close.
            const int openStatus = library.openDatabase(databases[d]);
            walk.forEach(d, [&](int k, const char *codeArgument) {
                lastVisited = k;
                if (openStatus != 0 || codeArgument == kovrap::kUnlisted) {
                    lists.append(kUnknownList, k);
                    return true;
                }
                const int list =
                    listOf(library.getInfo(0, codeArgument, record.data()), library.direct);
                if (list != kSucceeded)
                    lists.append(list, k);
                else if (copying)
                    copyColumns(record, *columns, k);
                return true;
            });
        }
        return true;
    });
    // Out of memory for the code list, the requests not asked so far are
    // failures, never successes: they go to the list of other statuses, as
    // often as a walk would have met them, and no common range is computed.
    if (!walked)
        for (; d < databaseCount; ++d, lastVisited = -1)
            for (int k = lastVisited + 1; k < requestCount; ++k)
                if (std::strcmp(dbNames[k], databases[d]) == 0)
                    lists.append(kOtherList, k);

    if (status != nullptr)
        lists.writeCounts(status->statusCounts);

    // Without memory for the usability marks the range is not computed and
    // its records are left as the host gave them.
    if (walked && copying && range != nullptr && range->computeRange != 0 &&
        !lists.anyBeyondFirst() && rangeComplete(columns, *range)) {
        // Without exclusion records the range is still computed.
        const RangeExclusions none{0, nullptr, nullptr, nullptr, nullptr};
        kovrap::guarded([&] {
            kovrap::computeCommonRange(library, *columns, requestCount, merge, *range,
                                       exclusions != nullptr ? *exclusions : none);
        });
    }
    // The bracket restores the setting and closes once, here.
}
