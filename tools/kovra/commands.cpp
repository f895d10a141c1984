// codes, info, version and calendar; fetch is in fetch.cpp.
#include "commands.h"

#include "failure.h"
#include "formats.h"
#include "range.h"
#include "session.h"

#include <cstdio>

namespace kovra {

namespace {

const char *const kRoleNames[] = {"used", "empty", "finer", "coarser", "weekday"};

std::string attributesText(const std::array<int, 6> &a) {
    std::string text;
    for (std::size_t i = 0; i < a.size(); ++i)
        text += (i > 0 ? " " : "") + std::to_string(a[i]);
    return text;
}

// The number of periods from a series' first to its last date.
std::string periodCount(const Api &api, const SeriesInfo &info) {
    if (info.attributes[0] == 0)
        return "-";
    const int first = api.ymdToTqvdate(info.firstDate, info.frequency);
    const int last = api.ymdToTqvdate(info.lastDate, info.frequency);
    return std::to_string(api.getObsNum(first, last, info.frequency));
}

std::string joinNames(const std::vector<SeriesRef> &series, const InfoResult &info,
                      RangeRole role) {
    std::string text;
    for (std::size_t j = 0; j < series.size(); ++j)
        if (info.series[j].role == role)
            text += (text.empty() ? "" : ", ") + series[j].name;
    return text;
}

} // namespace

Output runCodes(const Options &options) {
    const std::string &database = options.operands.front();
    for (const char c : database)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            usageError("'" + shownName(database) + "' holds a control character");
    const Session session(options);
    Output output;
    const CodeListing listing = session.listing(database);
    for (const std::string &code : listing.codes)
        output.out += code + "\n";
    if (listing.mayBeCut)
        output.notes = "note: the listing may have been cut at the direct library's limit of 32 "
                       "calls: its last call still gave names\n";
    return output;
}

Output runInfo(const Options &options) {
    const std::vector<SeriesRef> series = parseSeriesRefs(options.operands, options.direct);
    const Session session(options);
    const Api &api = session.api();
    RangeRequest request;
    if (options.range)
        request = rangeRequest(api, options);
    session.checkDatabases(databasesOf(series));
    const InfoResult info = querySeries(session, series, options.range ? &request : nullptr);
    if (options.range)
        requireUsableRange(api, series, info, request);

    std::vector<std::string> header = {"series", "status",  "frequency",  "first",
                                       "last",   "periods", "attributes", "text1",
                                       "text2",  "text3",   "text4",      "text5"};
    if (options.wide) {
        header.push_back("text6");
        header.push_back("text7");
    }
    if (options.range)
        header.insert(header.begin() + 2, "range");
    std::vector<bool> right;
    for (const std::string &name : header)
        right.push_back(name == "periods");
    Table table(header, right);
    for (std::size_t j = 0; j < series.size(); ++j) {
        const SeriesInfo &s = info.series[j];
        std::vector<std::string> row;
        row.push_back(series[j].name);
        if (s.statusList >= 0) {
            row.push_back(statusListText(s.statusList, session.direct() != 0));
        } else {
            const bool empty = s.attributes[0] == 0;
            row.insert(row.end(), {"ok", frequencyName(s.frequency),
                                   empty ? "-" : periodLabel(s.firstDate, s.frequency),
                                   empty ? "-" : periodLabel(s.lastDate, s.frequency),
                                   periodCount(api, s), attributesText(s.attributes), s.texts[0],
                                   s.texts[1], s.texts[2], s.texts[3], s.texts[4]});
            if (options.wide) {
                row.push_back(s.texts[5]);
                row.push_back(s.texts[6]);
            }
        }
        if (options.range)
            row.insert(row.begin() + 2, kRoleNames[static_cast<int>(s.role)]);
        table.add(std::move(row));
    }

    Output output;
    output.out = table.render();
    if (!options.range)
        return output;

    output.out += "\ncommon range: " + rangeLine(api, info) + "\n";
    const std::string empty = joinNames(series, info, RangeRole::Empty);
    const std::string finer = joinNames(series, info, RangeRole::Finer);
    const std::string coarser = joinNames(series, info, RangeRole::Coarser);
    if (!empty.empty())
        output.out += "set aside, no observations: " + empty + "\n";
    if (!finer.empty())
        output.out +=
            "set aside, finer than " + frequencyName(info.frequency) + ": " + finer + "\n";
    if (!coarser.empty())
        output.out +=
            "set aside, coarser than " + frequencyName(info.frequency) + ": " + coarser + "\n";
    for (std::size_t j = 0; j < series.size(); ++j)
        if (info.series[j].role == RangeRole::OtherWeekday)
            output.out +=
                "set aside, " + setAsideReason(series[j], info.series[j], info.frequency) + "\n";
    return output;
}

Output runVersion(const Options &options) {
    const Session session(options);
    int interfaceVersion = 0;
    char local[32] = {};
    char direct[32] = {};
    const int status = session.api().version(&interfaceVersion, local, direct);
    local[sizeof local - 1] = '\0';
    direct[sizeof direct - 1] = '\0';
    Output output;
    output.out = "kovra " KOVRA_VERSION "\n";
    output.out += "interface version: " + std::to_string(interfaceVersion) + "\n";
    output.out += "local library:  " + std::string(local) + "\n";
    output.out += "direct library: " + std::string(direct);
    if (status != 0)
        output.out += " (status " + std::to_string(status) + ")";
    output.out += "\n";
    return output;
}

// Conversions and a date sequence, all through the library.
Output runCalendar(const Options &options) {
    const Session session(options);
    const Api &api = session.api();
    struct Example {
        int period;
        int frequency;
        const char *label;
    };
    const Example examples[] = {
        {2023, KOVRAP_FREQ_ANNUAL, "annual 2023"},
        {20232, KOVRAP_FREQ_QUARTERLY, "quarterly 2023Q2"},
        {202402, KOVRAP_FREQ_MONTHLY, "monthly 2024-02"},
        {202302, KOVRAP_FREQ_MONTHLY, "monthly 2023-02"},
        {20230115, KOVRAP_FREQ_BUSINESS, "business day 2023-01-15"},
    };
    Output output;
    char line[160];
    std::snprintf(line, sizeof line, "%-26s %-10s %s\n", "period", "date", "back");
    output.out += line;
    for (const Example &e : examples) {
        const int date = api.tqvdateToYmd(e.period, e.frequency);
        std::snprintf(line, sizeof line, "%-26s %-10d %d\n", e.label, date,
                      api.ymdToTqvdate(date, e.frequency));
        output.out += line;
    }
    std::snprintf(line, sizeof line, "\nleap years: 1900 %d, 2000 %d, 2023 %d, 2024 %d\n",
                  api.isLeapYear(1900), api.isLeapYear(2000), api.isLeapYear(2023),
                  api.isLeapYear(2024));
    output.out += line;

    std::vector<int> dates(6);
    api.dateSeq(dates.data(), 202310, static_cast<int>(dates.size()), KOVRAP_FREQ_MONTHLY);
    output.out += "\nsix months from 2023-10, month ends:";
    for (int d : dates)
        output.out += " " + std::to_string(d);
    output.out += "\nfive business days from 2023-12-29:";
    api.dateSeq(dates.data(), 20231229, 5, KOVRAP_FREQ_BUSINESS);
    for (int i = 0; i < 5; ++i)
        output.out += " " + std::to_string(dates[static_cast<std::size_t>(i)]);
    output.out += "\ncode list chunk: " + std::to_string(*api.chunk) + " requests\n";
    return output;
}

} // namespace kovra
