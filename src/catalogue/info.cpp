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
#include <initializer_list>

namespace {

constexpr int kListCount = 7;
constexpr int kSucceeded = -1;

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
// the walk.
class StatusLists {
  public:
    explicit StatusLists(const InfoStatusLists &status) noexcept
        : lists_{status.statusList0, status.statusList1, status.statusList2, status.statusList3,
                 status.statusList4, status.statusList5, status.statusList6} {}

    void append(int list, int k) noexcept {
        const auto n = static_cast<std::size_t>(list);
        lists_[n][counts_[n]++] = k;
    }
    void writeCounts(int *out) const noexcept {
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
    int *lists_[kListCount];
    int counts_[kListCount] = {};
};

// Fills element k of every column, in column order, from a record that the
// library answered with status 0. Both dates are converted with the record's
// own frequency code.
void copyColumns(const kovrap::InfoRecord &record, const SeriesInfoColumns &columns, int k) {
    using kovrap::InfoRecord;
    const int frequency = record.readInt(InfoRecord::kFrequency);
    record.copyText(InfoRecord::kCode, columns.code[k]);
    columns.firstDate[k] = tqvdateToYmd(record.readInt(InfoRecord::kFirstDate), frequency);
    columns.lastDate[k] = tqvdateToYmd(record.readInt(InfoRecord::kLastDate), frequency);
    columns.attribute1[k] = record.attribute(1);
    columns.frequency[k] = frequency;
    int *const attributes[] = {columns.attribute2, columns.attribute3, columns.attribute4,
                               columns.attribute5, columns.attribute6};
    for (int n = 2; n <= 6; ++n)
        attributes[n - 2][k] = record.attribute(n);
    char **const texts[] = {columns.text1, columns.text2, columns.text3, columns.text4,
                            columns.text5, columns.text6, columns.text7};
    for (std::size_t t = 0; t < 7; ++t)
        record.copyText(InfoRecord::kTexts[t], texts[t][k]);
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
    const bool classifyOnly = status->classifyOnly != 0;
    StatusLists lists(*status);

    // Out of memory for the walk's scratch, the walk stops where it is: the
    // requests met so far keep their lists and counts, and no common range
    // is computed from a partial walk.
    const bool walked = kovrap::guarded(false, [&] {
        kovrap::RequestWalk walk(
            kovrap::Requests{codes, dbNames, databases, databaseCount, requestCount},
            library.direct);
        // One record for the whole call; only a status-0 answer is read from it.
        kovrap::InfoRecord record;
        for (int d = 0; d < databaseCount; ++d) {
            // Databases opened before stay open until the bracket's close.
            const int openStatus = library.openDatabase(databases[d]);
            walk.forEach(d, [&](int k, const char *codeArgument) {
                if (openStatus != 0) {
                    lists.append(0, k);
                    return true;
                }
                const int list =
                    listOf(library.getInfo(0, codeArgument, record.data()), library.direct);
                if (list != kSucceeded)
                    lists.append(list, k);
                else if (!classifyOnly)
                    copyColumns(record, *columns, k);
                return true;
            });
        }
        return true;
    });

    lists.writeCounts(status->statusCounts);

    // Without memory for the usability marks the range is not computed and
    // its records are left as the host gave them.
    if (walked && !classifyOnly && range->computeRange != 0 && !lists.anyBeyondFirst())
        kovrap::guarded([&] {
            kovrap::computeCommonRange(library, *columns, requestCount, merge, *range, *exclusions);
        });
    // The bracket restores the setting and closes once, here.
}
