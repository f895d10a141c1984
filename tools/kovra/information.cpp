#include "information.h"

#include "failure.h"

#include <algorithm>

namespace kovra {

namespace {

// Widths of the text columns: code, then texts 1 to 7.
constexpr std::size_t kCodeWidth = KOVRAP_CODE_WIDTH;
constexpr std::size_t kTextWidths[7] = {KOVRAP_TEXT1_WIDTH, KOVRAP_TEXT2_WIDTH, KOVRAP_TEXT3_WIDTH,
                                        KOVRAP_TEXT4_WIDTH, KOVRAP_TEXT5_WIDTH, KOVRAP_TEXT6_WIDTH,
                                        KOVRAP_TEXT7_WIDTH};

// A text column: one zero-filled buffer per request, one byte wider than the
// field so that a text always ends in a NUL.
struct TextColumn {
    TextColumn(std::size_t rows, std::size_t width)
        : width_(width + 1), bytes_(rows * width_, '\0'), pointers_(rows) {
        for (std::size_t i = 0; i < rows; ++i)
            pointers_[i] = &bytes_[i * width_];
    }
    char **pointers() { return pointers_.data(); }
    std::string text(std::size_t row) const { return std::string(&bytes_[row * width_]); }

  private:
    std::size_t width_;
    std::vector<char> bytes_;
    std::vector<char *> pointers_;
};

std::vector<const char *> pointersOf(const std::vector<std::string> &texts) {
    std::vector<const char *> pointers;
    pointers.reserve(texts.size());
    for (const std::string &t : texts)
        pointers.push_back(t.c_str());
    return pointers;
}

// A weekday named for the weeks: they end on that day. The common range
// reads 57 as the weekly group and takes its day from the first series, and
// at another weekday sets weekly series apart as finer or coarser; so the
// weekly series of other days are set aside here (their weeks cannot be
// remade on another day), and the window is counted again, as the library
// counts it, at the day named and over the series that remain.
void keepToWeekday(const Api &api, const RangeRequest &range, std::vector<SeriesInfo> &series,
                   int &chosen, int &start, int &end, int &count) {
    const int day = range.frequency;
    chosen = day;
    int first = range.start;
    int last = range.end;
    bool any = false;
    int earliest = 99999999;
    int latest = -99999999;
    for (SeriesInfo &info : series) {
        if (info.role == RangeRole::Empty)
            continue;
        if (isWeekly(info.frequency) && info.frequency != day)
            info.role = RangeRole::OtherWeekday;
        if (info.role != RangeRole::Used)
            continue;
        any = true;
        earliest = std::min(earliest, info.firstDate);
        latest = std::max(latest, info.lastDate);
    }
    if (!any)
        return;
    if (first == -1)
        first = earliest;
    if (last == -1)
        last = latest;
    start = api.ymdToTqvdate(first, day);
    end = api.ymdToTqvdate(last, day);
    count = api.getObsNum(start, end, day);
}

} // namespace

std::string statusListText(int list, bool direct) {
    switch (list) {
    case 0:
        return "not found";
    case 1:
        return "status 2";
    case 2:
        return direct ? "status 3" : "status 3 or 4";
    case 3:
        return "status 4";
    case 4:
        return "status 5";
    case 5:
        return "status 6";
    default:
        return "other status";
    }
}

InfoResult querySeries(const Session &session, const std::vector<SeriesRef> &series,
                       const RangeRequest *range) {
    const std::size_t n = series.size();
    std::vector<std::string> codeTexts, dbTexts;
    for (const SeriesRef &s : series) {
        codeTexts.push_back(s.code);
        dbTexts.push_back(s.database);
    }
    const std::vector<std::string> databases = databasesOf(series);
    const auto codes = pointersOf(codeTexts);
    const auto dbNames = pointersOf(dbTexts);
    const auto databaseNames = pointersOf(databases);

    std::array<int, 7> statusCounts{};
    std::array<std::vector<int>, 7> statusLists;
    for (auto &list : statusLists)
        list.assign(n, -1);
    InfoStatusLists status{};
    status.classifyOnly = 0;
    status.statusCounts = statusCounts.data();
    int **lists[7] = {&status.statusList0, &status.statusList1, &status.statusList2,
                      &status.statusList3, &status.statusList4, &status.statusList5,
                      &status.statusList6};
    for (std::size_t k = 0; k < 7; ++k)
        *lists[k] = statusLists[k].data();

    TextColumn codeColumn(n, kCodeWidth);
    std::vector<TextColumn> textColumns;
    for (std::size_t width : kTextWidths)
        textColumns.emplace_back(n, width);
    std::vector<int> firstDate(n), lastDate(n), frequency(n);
    std::array<std::vector<int>, 6> attributes;
    for (auto &a : attributes)
        a.assign(n, 0);
    SeriesInfoColumns columns{};
    columns.code = codeColumn.pointers();
    columns.firstDate = firstDate.data();
    columns.lastDate = lastDate.data();
    columns.attribute1 = attributes[0].data();
    columns.frequency = frequency.data();
    columns.attribute2 = attributes[1].data();
    columns.attribute3 = attributes[2].data();
    columns.attribute4 = attributes[3].data();
    columns.attribute5 = attributes[4].data();
    columns.attribute6 = attributes[5].data();
    char ***texts[7] = {&columns.text1, &columns.text2, &columns.text3, &columns.text4,
                        &columns.text5, &columns.text6, &columns.text7};
    for (std::size_t t = 0; t < 7; ++t)
        *texts[t] = textColumns[t].pointers();

    int chosenFrequency = range ? range->frequency : 0;
    int start = range ? range->start : -1;
    int end = range ? range->end : -1;
    int count = 0;
    CommonRange common{};
    common.computeRange = range ? 1 : 0;
    common.frequency = &chosenFrequency;
    common.start = &start;
    common.end = &end;
    common.observationCount = &count;
    std::array<int, 3> exclusionCounts{};
    std::array<std::vector<int>, 3> exclusionLists;
    for (auto &list : exclusionLists)
        list.assign(n, -1);
    RangeExclusions exclusions{};
    exclusions.exclusionCounts = exclusionCounts.data();
    exclusions.emptyList = exclusionLists[0].data();
    exclusions.higherFrequencyList = exclusionLists[1].data();
    exclusions.lowerFrequencyList = exclusionLists[2].data();

    session.api().seriesInfo(session.direct(), &status, &columns, codes.data(), dbNames.data(),
                             databaseNames.data(), static_cast<int>(databases.size()),
                             static_cast<int>(n), 0, 0, &common, &exclusions);

    InfoResult result;
    result.series.resize(n);
    // Only request indices within the request list are taken from the lists.
    const auto entries = [n](const std::vector<int> &list, int listCount) {
        std::vector<std::size_t> indices;
        const int bounded = std::min(std::max(listCount, 0), static_cast<int>(n));
        for (int i = 0; i < bounded; ++i)
            if (list[static_cast<std::size_t>(i)] >= 0 &&
                static_cast<std::size_t>(list[static_cast<std::size_t>(i)]) < n)
                indices.push_back(static_cast<std::size_t>(list[static_cast<std::size_t>(i)]));
        return indices;
    };
    bool otherStatus = false;
    for (std::size_t k = 0; k < 7; ++k)
        for (std::size_t j : entries(statusLists[k], statusCounts[k])) {
            result.series[j].statusList = static_cast<int>(k);
            otherStatus = otherStatus || k > 0;
        }

    std::vector<std::string> unknown;
    for (std::size_t j = 0; j < n; ++j)
        if (result.series[j].statusList == 0)
            unknown.push_back(series[j].name);
    if (!unknown.empty())
        fail("unknown series " + unknown.front() +
             (unknown.size() > 1 ? " (and " + std::to_string(unknown.size() - 1) + " more)" : ""));

    for (std::size_t j = 0; j < n; ++j) {
        SeriesInfo &info = result.series[j];
        if (info.statusList >= 0)
            continue;
        info.code = codeColumn.text(j);
        info.firstDate = firstDate[j];
        info.lastDate = lastDate[j];
        info.frequency = frequency[j];
        for (std::size_t a = 0; a < 6; ++a)
            info.attributes[a] = attributes[a][j];
        for (std::size_t t = 0; t < 7; ++t)
            info.texts[t] = textColumns[t].text(j);
    }

    if (range == nullptr)
        return result;
    if (otherStatus) {
        for (std::size_t j = 0; j < n; ++j)
            if (result.series[j].statusList > 0)
                fail("no common range: " + series[j].name + " answered " +
                     statusListText(result.series[j].statusList, session.direct() != 0));
    }
    const RangeRole roles[3] = {RangeRole::Empty, RangeRole::Finer, RangeRole::Coarser};
    for (std::size_t k = 0; k < 3; ++k)
        for (std::size_t j : entries(exclusionLists[k], exclusionCounts[k]))
            result.series[j].role = roles[k];
    if (range->weeklyDay)
        keepToWeekday(session.api(), *range, result.series, chosenFrequency, start, end, count);
    for (const SeriesInfo &info : result.series)
        result.used += info.role == RangeRole::Used ? 1 : 0;
    result.ranged = true;
    result.frequency = chosenFrequency;
    result.start = start;
    result.end = end;
    result.count = count;
    // The weekly group's day comes from the first series that takes part:
    // say which, when the group was asked for or the order of several
    // series decided it, so that a reordering that changes it is seen.
    const bool group = (range->frequency == kLowestFrequency && result.used > 1) ||
                       (range->frequency == kWeeklyGroup && !range->weeklyDay);
    if (group && isWeekly(chosenFrequency))
        for (std::size_t j = 0; j < n; ++j)
            if (result.series[j].role == RangeRole::Used) {
                result.groupDay = "the weekly group took weeks ending " +
                                  weekdayOf(chosenFrequency) + " from " + series[j].name;
                break;
            }
    return result;
}

} // namespace kovra
