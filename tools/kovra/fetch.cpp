// fetch: observations of several series side by side, through c_kovraGetData,
// over the window that --from, --to and --freq give or the series' common
// range decides.
#include "fetch.h"

#include "aggregation.h"
#include "failure.h"
#include "formats.h"
#include "output_file.h"
#include "range.h"
#include "standin.h"

#include <algorithm>
#include <filesystem>
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

// ---- plan -----------------------------------------------------------------

FetchPlan planFetch(const Options &options, const Api &api, std::vector<SeriesRef> series) {
    FetchPlan plan;
    plan.series = std::move(series);
    plan.range = rangeRequest(api, options);
    if (options.math)
        plan.op = parseMath(*options.math);
    if (options.advanced)
        plan.op = parseAdvanced(*options.advanced);
    if (!plan.op.rebaseDate.empty())
        parseDate(api, plan.op.rebaseDate); // a bad date fails before anything is read
    if (options.aggregate)
        plan.aggregation = parseAggregation(*options.aggregate);
    return plan;
}

// ---- fetch ----------------------------------------------------------------

FetchResult fetchSeries(const Session &session, const FetchPlan &plan) {
    const Api &api = session.api();
    const std::vector<SeriesRef> &series = plan.series;
    session.checkDatabases(databasesOf(series));
    const InfoResult info = querySeries(session, series, &plan.range);
    requireUsableRange(api, series, info, plan.range);
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

    FetchResult result;
    result.op = plan.op;
    Operation &op = result.op;
    if (op.code == kRebase && !op.rebaseDate.empty()) {
        const int base = api.ymdToTqvdate(parseDate(api, op.rebaseDate).first, frequency);
        const int slot = api.getObsNum(info.start, base, frequency) - 1;
        if (slot < 0 || slot >= count)
            usageError("rebase date " + op.rebaseDate + " lies outside the window (" +
                       rangeLine(api, info) + ")");
        op.second = slot;
    }

    result.frequency = frequency;
    result.rangeLine = rangeLine(api, info);
    result.groupDay = info.groupDay;
    result.dates.resize(static_cast<std::size_t>(count));
    api.dateSeq(result.dates.data(), info.start, count, frequency);

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
        if (plan.aggregation >= 0)
            mode.emplace(api, session.direct(), plan.aggregation);
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

    for (std::size_t j = 0; j < series.size(); ++j)
        result.series.push_back({series[j], info.series[j], {}, {}});
    for (std::size_t r = 0; r < rows; ++r) {
        FetchedSeries &fetched = result.series[used[r]];
        const double *row = values.data() + r * rowLength;
        fetched.values.assign(row, row + rowLength);
        if (countStatus[r] != 0) {
            fetched.failure = op.written + " failed for " + fetched.ref.name + ": " +
                              statusPhrase(countStatus[r], session.standin());
        } else if (op.code == kRebase && op.advanced && op.second >= 0 && op.second < count &&
                   isMissing(row[op.second])) {
            // The library rebases on a missing (or zero) base to a row of
            // missing values, without a status: say why the column is empty.
            fetched.failure =
                op.written + " failed for " + fetched.ref.name + ": its base period " +
                periodLabel(result.dates[static_cast<std::size_t>(op.second)], frequency) +
                " has no value (or 0), so nothing can be rebased on it";
        }
    }
    return result;
}

// ---- render ---------------------------------------------------------------

namespace {

// Column headings: the codes when they tell the series apart, else the
// operands as given.
std::vector<std::string> labelsOf(const std::vector<FetchedSeries> &series) {
    std::vector<std::string> labels;
    bool unique = true;
    for (std::size_t i = 0; i < series.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            unique = unique && series[i].ref.code != series[j].ref.code;
    for (const FetchedSeries &s : series)
        labels.push_back(unique ? s.ref.code : s.ref.name);
    return labels;
}

// Series left out of the range, then failed operations, in the order asked.
std::vector<std::string> setAsideNotes(const FetchResult &result) {
    std::vector<std::string> notes;
    for (const FetchedSeries &s : result.series)
        if (s.info.role != RangeRole::Used)
            notes.push_back("left out: " + setAsideReason(s.ref, s.info, result.frequency));
    for (const FetchedSeries &s : result.series)
        if (s.info.role == RangeRole::Used && !s.failure.empty())
            notes.push_back(s.failure);
    return notes;
}

std::string operationText(const Operation &op) {
    if (!op.present)
        return std::string();
    return std::string(op.advanced ? ", advanced " : ", math ") + op.label;
}

} // namespace

Output renderFetch(const FetchResult &result, bool csv) {
    const std::vector<std::string> labels = labelsOf(result.series);
    const std::size_t periods = result.dates.size();
    const int frequency = result.frequency;

    // A weekly series on another weekday than its own: each of its weeks is
    // in the week of the shown weekday that holds its last day. The weekly
    // group takes its weekday from the first series that takes part, so the
    // order of the series decides it.
    std::vector<std::string> notes = setAsideNotes(result);
    for (const FetchedSeries &s : result.series) {
        const int own = s.info.frequency;
        if (s.info.role == RangeRole::Used && isWeekly(frequency) && isWeekly(own) &&
            own != frequency)
            notes.push_back(s.ref.name + " is " + frequencyName(own) + ", shown on " +
                            frequencyName(frequency) + " weeks");
    }
    // A value of the series in a period, when it has one to show.
    const auto shown = [&](const FetchedSeries &s, std::size_t i) {
        return i < s.values.size() && !isMissing(s.values[i]);
    };

    Output output;
    if (csv) {
        output.out = "date,period";
        for (const std::string &label : labels)
            output.out += "," + csvField(label);
        output.out += "\n";
        for (std::size_t i = 0; i < periods; ++i) {
            output.out += isoDate(result.dates[i]) + "," + periodLabel(result.dates[i], frequency);
            for (const FetchedSeries &s : result.series) {
                output.out += ",";
                if (shown(s, i))
                    output.out += shortestNumber(s.values[i]);
            }
            output.out += "\n";
        }
        // No header in CSV: the weekly group's day is a note there.
        if (!result.groupDay.empty())
            notes.push_back(result.groupDay);
        for (const std::string &note : notes)
            output.notes += "kovra: note: " + note + "\n";
        return output;
    }

    std::vector<std::string> header = {"date"};
    header.insert(header.end(), labels.begin(), labels.end());
    std::vector<bool> right(header.size(), true);
    right[0] = false;
    Table table(header, right);
    const Scale scale = result.op.scale;
    for (std::size_t i = 0; i < periods; ++i) {
        std::vector<std::string> row = {periodLabel(result.dates[i], frequency)};
        for (const FetchedSeries &s : result.series) {
            // The series' own decimals, 2 for a percentage, 4 for anything else.
            const int own = std::min(std::max(s.info.attributes[1], 0), 6);
            const int decimals = scale == Scale::Own ? own : scale == Scale::Percent ? 2 : 4;
            row.push_back(shown(s, i) ? fixedNumber(s.values[i], decimals) : "");
        }
        table.add(std::move(row));
    }
    output.out = result.rangeLine + operationText(result.op) + "\n\n" + table.render();
    if (!notes.empty())
        output.out += "\n";
    for (const std::string &note : notes)
        output.out += "note: " + note + "\n";
    return output;
}

std::string renderFetchChart(const FetchResult &result, ChartLayout layout) {
    const std::vector<std::string> labels = labelsOf(result.series);
    Chart chart;
    chart.title = result.rangeLine + operationText(result.op);
    chart.frequency = result.frequency;
    chart.dates = result.dates;
    // Series with nothing to draw are named in the legend with the reason,
    // as in the notes.
    for (std::size_t j = 0; j < result.series.size(); ++j) {
        const FetchedSeries &s = result.series[j];
        if (s.info.role == RangeRole::Used && s.failure.empty())
            chart.lines.push_back({labels[j], s.info.texts[0], s.values});
    }
    chart.setAside = setAsideNotes(result);
    chart.layout = layout;
    return renderSvg(chart);
}

// ---- the command ----------------------------------------------------------

Output runFetch(const Options &options) {
    // Names are refused before the library is loaded.
    std::vector<SeriesRef> series = parseSeriesRefs(options.operands, options.direct);
    const Session session(options);
    const FetchPlan plan = planFetch(options, session.api(), std::move(series));
    const FetchResult result = fetchSeries(session, plan);
    Output output = renderFetch(result, options.csv);
    if (options.plot) {
        const ChartLayout layout = !options.plotLayout               ? ChartLayout::Auto
                                   : *options.plotLayout == "panels" ? ChartLayout::Panels
                                   : *options.plotLayout == "single" ? ChartLayout::Single
                                                                     : ChartLayout::Auto;
        writeFile(*options.plot, renderFetchChart(result, layout));
    }
    return output;
}

} // namespace kovra
