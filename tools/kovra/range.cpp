#include "range.h"

#include "failure.h"

#include <string>

namespace kovra {

namespace {

// The last calendar date a period may end on.
constexpr int kLastCalendarDate = 99991231;

} // namespace

RangeRequest rangeRequest(const Api &api, const Options &options) {
    RangeRequest request;
    if (options.freq) {
        request.frequency = parseFrequency(api, *options.freq);
        request.weeklyDay = isWeekly(request.frequency) && namesWeekday(*options.freq);
    }
    if (options.from) {
        request.start = parseDate(api, *options.from).first;
        request.startText = *options.from;
    }
    if (options.to) {
        request.end = parseDate(api, *options.to).last;
        request.endText = *options.to;
    }
    return request;
}

std::string setAsideReason(const SeriesRef &series, const SeriesInfo &info, int frequency) {
    switch (info.role) {
    case RangeRole::Empty:
        return series.name + " has no observations";
    case RangeRole::Finer:
        return series.name + " is " + frequencyName(info.frequency) + ", finer than " +
               frequencyName(frequency) + " and not to be aggregated";
    case RangeRole::Coarser:
        return series.name + " is " + frequencyName(info.frequency) + ", coarser than " +
               frequencyName(frequency);
    case RangeRole::OtherWeekday:
        return series.name + " holds " + weekdayOf(info.frequency) + " weeks; weeks ending " +
               weekdayOf(frequency) + " cannot be made from them";
    case RangeRole::Used:
        break;
    }
    return series.name + " takes part";
}

void requireUsableRange(const Api &api, const std::vector<SeriesRef> &series,
                        const InfoResult &info, const RangeRequest &request) {
    if (info.used == 0) {
        std::string reasons;
        for (std::size_t j = 0; j < series.size(); ++j)
            reasons +=
                (j > 0 ? "; " : "") + setAsideReason(series[j], info.series[j], info.frequency);
        fail("no series left for a common range: " + reasons);
    }
    // The ends as the user wrote them; an end the series chose as its period.
    const auto end = [&](const std::string &given, int date) {
        return given.empty() ? periodLabel(api.tqvdateToYmd(date, info.frequency), info.frequency)
                             : given;
    };
    // Both ends given and in the wrong order: refused even where they fall
    // in one period, which the library would show.
    const bool reversed = request.start != -1 && request.end != -1 && request.start > request.end;
    if (info.count <= 0 || reversed)
        usageError("no " + frequencyName(info.frequency) + " period from " +
                   end(request.startText, info.start) + " to " + end(request.endText, info.end) +
                   (reversed ? ": the start is after the end" : ""));
    // A week can end in the year 10000 (the week of 9999-12-31 read at
    // another weekday): no date of that year can be shown or read back.
    const int last =
        api.tqvdateToYmd(api.getDate(info.start, info.count, info.frequency), info.frequency);
    if (last <= 0 || last > kLastCalendarDate)
        fail("the window's last " + frequencyName(info.frequency) +
             " period ends after 9999-12-31, the last date kovra shows; give an earlier --to");
}

std::string rangeLine(const Api &api, const InfoResult &info) {
    const int f = info.frequency;
    // The first and the last period of the window as the library steps
    // through it: a weekly window from a Monday starts at that week's end.
    const int first = info.count > 0 ? api.getDate(info.start, 1, f) : info.start;
    const int last = info.count > 0 ? api.getDate(info.start, info.count, f) : info.end;
    return frequencyName(f) + ", " + periodLabel(api.tqvdateToYmd(first, f), f) + " to " +
           periodLabel(api.tqvdateToYmd(last, f), f) + ", " + std::to_string(info.count) +
           (info.count == 1 ? " observation" : " observations") +
           (info.groupDay.empty() ? "" : "; " + info.groupDay);
}

} // namespace kovra
