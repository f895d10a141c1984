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

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>

namespace {

constexpr int kListCount = 7;
// The list of a series the library does not know (status 1), which also takes
// a code that cannot travel in the direct library's code list.
constexpr int kUnknownStatus = 1;
constexpr int kUnknownList = 0;
// The information statuses 2 to 6 go to the lists 1 to 5 in turn: each list
// is one below its status.
constexpr int kFirstNumberedStatus = 2;
constexpr int kLastNumberedStatus = 6;
// Status 4 has a list of its own only on the direct library; the local
// library's status 4 shares the list of status 3.
constexpr int kDirectOnlyStatus = 4;
// The list of any other status, which also takes the requests that could not
// be asked because the direct path's code list could not be allocated.
constexpr int kOtherList = 6;

// The status list that a nonzero information status sends its request to.
int listOf(int status, bool direct) noexcept {
    if (status == kUnknownStatus)
        return kUnknownList;
    if (status < kFirstNumberedStatus || status > kLastNumberedStatus)
        return kOtherList;
    const int listedAs = (status == kDirectOnlyStatus && !direct) ? status - 1 : status;
    return listedAs - 1;
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
    // Whether a request ended in a list other than the unknown one (open
    // failed or status 1), which alone does not keep the common range from
    // running.
    bool anyBeyondFirst() const noexcept {
        for (std::size_t n = 0; n < kListCount; ++n)
            if (n != kUnknownList && counts_[n] != 0)
                return true;
        return false;
    }

  private:
    int *lists_[kListCount] = {};
    int counts_[kListCount] = {};
};

// Converts the period dates of the records into calendar dates, and keeps
// the last answer: the series of a database mostly share their frequency,
// and many their first or last period.
class DateConversion {
  public:
    int operator()(int period, int frequency) noexcept {
        const std::uint64_t key = keyOf(period, frequency);
        if (key != key_) {
            key_ = key;
            date_ = tqvdateToYmd(period, frequency);
        }
        return date_;
    }

  private:
    static std::uint64_t keyOf(int period, int frequency) noexcept {
        return static_cast<std::uint32_t>(period) |
               static_cast<std::uint64_t>(static_cast<std::uint32_t>(frequency)) << 32;
    }
    std::uint64_t key_ = keyOf(0, 0);
    int date_ = tqvdateToYmd(0, 0);
};

// Fills element k of every column, in column order, from a record that the
// library answered with status 0. Both dates are converted with the record's
// own frequency code. A column the host did not pass (null) is skipped.
//
// The host's column pointers are read once per call, and a host that passes
// every column (as hosts do) gets a copy without a test per column.
class ColumnCopy {
  public:
    explicit ColumnCopy(const SeriesInfoColumns &columns) noexcept : c_(columns) {
        const void *const all[] = {
            c_.code,       c_.firstDate,  c_.lastDate,   c_.attribute1, c_.frequency, c_.attribute2,
            c_.attribute3, c_.attribute4, c_.attribute5, c_.attribute6, c_.text1,     c_.text2,
            c_.text3,      c_.text4,      c_.text5,      c_.text6,      c_.text7};
        complete_ = std::find(std::begin(all), std::end(all), nullptr) == std::end(all);
    }

    [[gnu::always_inline]] void operator()(const kovrap::InfoRecord &record, int k) {
        if (complete_)
            copyAll(record, static_cast<std::size_t>(k));
        else
            copyPresent(record, static_cast<std::size_t>(k));
    }

  private:
    using InfoRecord = kovrap::InfoRecord;

    // Inline in the walk: a call would save and restore six registers per
    // request.
    [[gnu::always_inline]] void copyAll(const InfoRecord &record, std::size_t k) {
        const int frequency = record.readInt(InfoRecord::kFrequency);
        record.copyText(InfoRecord::kCode, c_.code[k]);
        c_.firstDate[k] = firstDate_(record.readInt(InfoRecord::kFirstDate), frequency);
        c_.lastDate[k] = lastDate_(record.readInt(InfoRecord::kLastDate), frequency);
        c_.attribute1[k] = record.attribute(1);
        c_.frequency[k] = frequency;
        c_.attribute2[k] = record.attribute(2);
        c_.attribute3[k] = record.attribute(3);
        c_.attribute4[k] = record.attribute(4);
        c_.attribute5[k] = record.attribute(5);
        c_.attribute6[k] = record.attribute(6);
        record.copyText(InfoRecord::kTexts[0], c_.text1[k]);
        record.copyText(InfoRecord::kTexts[1], c_.text2[k]);
        record.copyText(InfoRecord::kTexts[2], c_.text3[k]);
        record.copyText(InfoRecord::kTexts[3], c_.text4[k]);
        record.copyText(InfoRecord::kTexts[4], c_.text5[k]);
        record.copyText(InfoRecord::kTexts[5], c_.text6[k]);
        record.copyText(InfoRecord::kTexts[6], c_.text7[k]);
    }

    [[gnu::noinline]] void copyPresent(const InfoRecord &record, std::size_t k) {
        const int frequency = record.readInt(InfoRecord::kFrequency);
        if (c_.code != nullptr)
            record.copyText(InfoRecord::kCode, c_.code[k]);
        if (c_.firstDate != nullptr)
            c_.firstDate[k] = firstDate_(record.readInt(InfoRecord::kFirstDate), frequency);
        if (c_.lastDate != nullptr)
            c_.lastDate[k] = lastDate_(record.readInt(InfoRecord::kLastDate), frequency);
        if (c_.attribute1 != nullptr)
            c_.attribute1[k] = record.attribute(1);
        if (c_.frequency != nullptr)
            c_.frequency[k] = frequency;
        int *const attributes[] = {c_.attribute2, c_.attribute3, c_.attribute4, c_.attribute5,
                                   c_.attribute6};
        for (std::size_t n = 0; n < std::size(attributes); ++n)
            if (attributes[n] != nullptr)
                attributes[n][k] = record.attribute(static_cast<int>(n) + 2);
        char **const texts[] = {c_.text1, c_.text2, c_.text3, c_.text4,
                                c_.text5, c_.text6, c_.text7};
        for (std::size_t t = 0; t < std::size(texts); ++t)
            if (texts[t] != nullptr)
                record.copyText(InfoRecord::kTexts[t], texts[t][k]);
    }

    const SeriesInfoColumns c_;
    bool complete_ = false;
    DateConversion firstDate_;
    DateConversion lastDate_;
};

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
    // itself falls back to comparing names when its grouping cannot be, and
    // its constructor throws nothing.
    kovrap::RequestWalk walk(
        kovrap::Requests{codes, dbNames, databases, databaseCount, requestCount}, library.direct);
    const bool walked = kovrap::guarded(false, [&] {
        // One record for the whole call; only a status-0 answer is read from it.
        kovrap::InfoRecord record;
        const SeriesInfoColumns none{};
        ColumnCopy copy(copying ? *columns : none);
        for (; d < databaseCount; ++d) {
            lastVisited = -1;
            // Databases opened before stay open until the bracket's close.
            const int openStatus = library.openDatabase(databases[d]);
            // A request of a database that did not open, or whose code
            // cannot travel in a code list, is not asked.
            const auto unknown = [&](int k) {
                lastVisited = k;
                lists.append(kUnknownList, k);
                return true;
            };
            if (openStatus != 0) {
                walk.forEach(
                    d, [&](int k, const char *) { return unknown(k); }, unknown);
                continue;
            }
            walk.forEach(
                d,
                [&](int k, const char *codeArgument) {
                    lastVisited = k;
                    const int answer = library.getInfo(0, codeArgument, record.data());
                    if (answer != 0)
                        lists.append(listOf(answer, library.direct), k);
                    else if (copying)
                        copy(record, k);
                    return true;
                },
                unknown);
        }
        return true;
    });
    // Out of memory for the code list, the requests not asked so far are
    // failures, never successes: they go to the list of other statuses, as
    // often as a walk would have met them, and no common range is computed.
    if (!walked)
        for (; d < databaseCount; ++d, lastVisited = -1)
            walk.forEachRequest(d, [&](int k) {
                if (k > lastVisited)
                    lists.append(kOtherList, k);
            });

    if (status != nullptr)
        lists.writeCounts(status->statusCounts);

    if (walked && copying && range != nullptr && range->computeRange != 0 &&
        !lists.anyBeyondFirst() && rangeComplete(columns, *range)) {
        // Without exclusion records the range is still computed.
        const RangeExclusions none{0, nullptr, nullptr, nullptr, nullptr};
        kovrap::computeCommonRange(library, *columns, requestCount, merge, *range,
                                   exclusions != nullptr ? *exclusions : none);
    }
    // The bracket restores the setting and closes once, here.
}
