// fetch: observations of several series side by side, through c_kovraGetData,
// over the window that --from, --to and --freq give or the series' common
// range decides.
#include "commands.h"

#include "aggregation.h"
#include "failure.h"
#include "formats.h"
#include "output_file.h"
#include "range.h"
#include "rules.h"
#include "session.h"
#include "standin.h"
#include "svg.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

namespace kovra {

namespace {

// Larger fetches are refused rather than allocated: rows times periods.
constexpr long long kMaxValues = 10'000'000;

// The series of a failed fetch, by name: the first few, then how many more.
std::string seriesNames(const std::vector<SeriesRef> &series) {
    constexpr std::size_t kShown = 3;
    std::string text;
    for (std::size_t i = 0; i < series.size() && i < kShown; ++i)
        text += (i > 0 ? ", " : "") + series[i].name;
    if (series.size() > kShown)
        text += " and " + std::to_string(series.size() - kShown) + " more";
    return text;
}

// Column headings: the codes when they tell the series apart, else the
// operands as given.
std::vector<std::string> labelsOf(const std::vector<SeriesRef> &series) {
    std::vector<std::string> labels;
    bool unique = true;
    for (std::size_t i = 0; i < series.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            unique = unique && series[i].code != series[j].code;
    for (const SeriesRef &s : series)
        labels.push_back(unique ? s.code : s.name);
    return labels;
}

// As tqvconvert writes its output: a link, pipe, device or folder is
// refused, and the chart replaces the file only once it is whole.
void writeFile(const std::string &path, const std::string &content) {
    const std::filesystem::path target = std::filesystem::u8path(path);
    std::string error;
    if (kovrap_tools::outputProblem(target, error) ||
        !kovrap_tools::writeAtomically(target, content, error))
        fail("cannot write the chart " + error);
}

} // namespace

Output runFetch(const Options &options) {
    const std::vector<SeriesRef> series = parseSeriesRefs(options.operands, options.direct);
    const Session session(options);
    const Api &api = session.api();
    const RangeRequest request = rangeRequest(api, options);
    Operation op;
    if (options.math)
        op = parseMath(*options.math);
    if (options.advanced)
        op = parseAdvanced(*options.advanced);
    if (!op.rebaseDate.empty())
        parseDate(api, op.rebaseDate); // a bad date fails before anything is read
    const int aggregation = options.aggregate ? parseAggregation(*options.aggregate) : -1;

    session.checkDatabases(databasesOf(series));
    const InfoResult info = querySeries(session, series, &request);
    requireUsableRange(api, series, info, request);
    const int frequency = info.frequency;
    const int count = info.count;

    std::vector<std::size_t> used;
    std::vector<SeriesRef> usedRefs;
    for (std::size_t j = 0; j < series.size(); ++j)
        if (info.series[j].role == RangeRole::Used) {
            used.push_back(j);
            usedRefs.push_back(series[j]);
        }
    const std::size_t rows = used.size();
    if (static_cast<long long>(count) * static_cast<long long>(rows) > kMaxValues)
        fail("the window is too large: " + std::to_string(rows) + " series of " +
             std::to_string(count) + " periods, more than " + std::to_string(kMaxValues) +
             " values");

    if (op.code == kRebase && !op.rebaseDate.empty()) {
        const int base = api.ymdToTqvdate(parseDate(api, op.rebaseDate).first, frequency);
        const int slot = api.getObsNum(info.start, base, frequency) - 1;
        if (slot < 0 || slot >= count)
            usageError("rebase date " + op.rebaseDate + " lies outside the window (" +
                       rangeLine(api, info) + ")");
        op.second = slot;
    }

    std::vector<int> dates(static_cast<std::size_t>(count));
    api.dateSeq(dates.data(), info.start, count, frequency);

    // The request arrays of the fetch: the series that take part, in order.
    std::vector<const char *> codes, dbNames;
    for (const SeriesRef &s : usedRefs) {
        codes.push_back(s.code.c_str());
        dbNames.push_back(s.database.c_str());
    }
    const std::vector<std::string> databases = databasesOf(usedRefs);
    std::vector<const char *> databaseNames;
    for (const std::string &d : databases)
        databaseNames.push_back(d.c_str());

    // Transformation code 0 in the first request switches them all off.
    const int code = op.present ? op.code : 0;
    std::vector<int> transformCode(rows, code), paramB(rows, op.second), paramA(rows, 0),
        spanEnd(rows, 0), paramC(rows, 0), advancedFlag(rows, op.advanced ? 1 : 0),
        countStatus(rows, 0);
    TransformArrays transforms{};
    transforms.transformCode = transformCode.data();
    transforms.paramB = paramB.data();
    transforms.paramA = paramA.data();
    transforms.spanEnd = spanEnd.data();
    transforms.paramC = paramC.data();
    transforms.advancedFlag = advancedFlag.data();
    transforms.reserved = nullptr;
    transforms.countStatus = countStatus.data();
    // Every windowed count runs over the requested window.
    std::vector<int> windowStart(rows, info.start), windowEnd(rows, info.end);
    AdvancedWindows windows{windowStart.data(), windowEnd.data()};

    const std::size_t rowLength = static_cast<std::size_t>(count);
    std::vector<double> values(rows * rowLength, KOVRAP_MISSING);
    int error = 0;
    {
        // The mode holds for this fetch only, failed or not.
        std::optional<AggregationMode> mode;
        if (aggregation >= 0)
            mode.emplace(api, session.direct(), aggregation);
        api.getData(session.direct(), values.data(), codes.data(), dbNames.data(),
                    databaseNames.data(), static_cast<int>(databases.size()),
                    static_cast<int>(rows), info.start, info.end, frequency, 0, count, &transforms,
                    &windows, &error);
    }
    // The error cell does not say which series failed: all are named. With a
    // math operation the status may be the fetch's or the operation's.
    if (error != 0)
        fail((op.present && !op.advanced ? op.written : std::string("the fetch")) + " failed for " +
             seriesNames(usedRefs) + (op.advanced ? ", before " + op.written : std::string()) +
             ": " + fetchStatusPhrase(error, session.standin()));

    // Notes: series left out of the range, failed advanced counts.
    std::vector<std::string> notes;
    for (std::size_t j = 0; j < series.size(); ++j)
        if (info.series[j].role != RangeRole::Used)
            notes.push_back("left out: " + setAsideReason(series[j], info.series[j], frequency));
    std::vector<bool> failed(rows, false);
    for (std::size_t r = 0; r < rows; ++r)
        if (countStatus[r] != 0) {
            failed[r] = true;
            notes.push_back(op.written + " failed for " + series[used[r]].name + ": " +
                            statusPhrase(countStatus[r], session.standin()));
        } else if (op.code == kRebase && op.advanced && op.second >= 0 && op.second < count &&
                   isMissing(values[r * rowLength + static_cast<std::size_t>(op.second)])) {
            // The library rebases on a missing (or zero) base to a row of
            // missing values, without a status: say why the column is empty.
            failed[r] = true;
            notes.push_back(op.written + " failed for " + series[used[r]].name +
                            ": its base period " +
                            periodLabel(dates[static_cast<std::size_t>(op.second)], frequency) +
                            " has no value (or 0), so nothing can be rebased on it");
        }

    // A weekly series on another weekday than its own: each of its weeks is
    // in the week of the shown weekday that holds its last day. The weekly
    // group takes its weekday from the first series that takes part, so the
    // order of the series decides it.
    std::vector<std::string> shownNotes = notes;
    for (std::size_t r = 0; r < rows; ++r) {
        const int own = info.series[used[r]].frequency;
        if (isWeekly(frequency) && isWeekly(own) && own != frequency)
            shownNotes.push_back(series[used[r]].name + " is " + frequencyName(own) +
                                 ", shown on " + frequencyName(frequency) + " weeks");
    }

    // The columns in the order asked for; series left out stay empty.
    const std::vector<std::string> labels = labelsOf(series);
    std::vector<const double *> column(series.size(), nullptr);
    std::vector<int> decimals(series.size(), 0);
    for (std::size_t r = 0; r < rows; ++r) {
        const std::size_t j = used[r];
        column[j] = values.data() + r * rowLength;
        const int own = std::min(std::max(info.series[j].attributes[1], 0), 6);
        decimals[j] = op.scale == Scale::Own ? own : op.scale == Scale::Percent ? 2 : 4;
    }

    Output output;
    if (options.csv) {
        output.out = "date,period";
        for (const std::string &label : labels)
            output.out += "," + csvField(label);
        output.out += "\n";
        for (std::size_t i = 0; i < rowLength; ++i) {
            output.out += isoDate(dates[i]) + "," + periodLabel(dates[i], frequency);
            for (std::size_t j = 0; j < series.size(); ++j) {
                output.out += ",";
                if (column[j] != nullptr && !isMissing(column[j][i]))
                    output.out += shortestNumber(column[j][i]);
            }
            output.out += "\n";
        }
        // No header in CSV: the weekly group's day is a note there.
        if (!info.groupDay.empty())
            shownNotes.push_back(info.groupDay);
        for (const std::string &note : shownNotes)
            output.notes += "kovra: note: " + note + "\n";
    } else {
        std::vector<std::string> header = {"date"};
        header.insert(header.end(), labels.begin(), labels.end());
        std::vector<bool> right(header.size(), true);
        right[0] = false;
        Table table(header, right);
        for (std::size_t i = 0; i < rowLength; ++i) {
            std::vector<std::string> row = {periodLabel(dates[i], frequency)};
            for (std::size_t j = 0; j < series.size(); ++j)
                row.push_back(column[j] != nullptr && !isMissing(column[j][i])
                                  ? fixedNumber(column[j][i], decimals[j])
                                  : "");
            table.add(std::move(row));
        }
        output.out = rangeLine(api, info);
        if (op.present)
            output.out += std::string(op.advanced ? ", advanced " : ", math ") + op.label;
        output.out += "\n\n" + table.render();
        if (!shownNotes.empty())
            output.out += "\n";
        for (const std::string &note : shownNotes)
            output.out += "note: " + note + "\n";
    }

    if (options.plot) {
        Chart chart;
        chart.title = rangeLine(api, info);
        if (op.present)
            chart.title += std::string(op.advanced ? ", advanced " : ", math ") + op.label;
        chart.frequency = frequency;
        chart.dates = dates;
        // Series with nothing to draw are named in the legend with the
        // reason, as in the notes.
        for (std::size_t r = 0; r < rows; ++r) {
            const std::size_t j = used[r];
            if (!failed[r])
                chart.lines.push_back({labels[j], info.series[j].texts[0],
                                       std::vector<double>(column[j], column[j] + rowLength)});
        }
        chart.setAside = notes;
        if (options.plotLayout)
            chart.layout = *options.plotLayout == "panels"   ? ChartLayout::Panels
                           : *options.plotLayout == "single" ? ChartLayout::Single
                                                             : ChartLayout::Auto;
        writeFile(*options.plot, renderSvg(chart));
    }
    return output;
}

} // namespace kovra
