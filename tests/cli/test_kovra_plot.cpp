// kovra's charts read back as XML: hostile values that must neither hang
// kovra nor put anything but finite coordinates in the drawing, date ticks
// on period boundaries, stacked panels, the series set aside in the legend,
// and the reference charts of both layouts compared by structure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "kovra_cli.h"

namespace {

using namespace kovra_cli;

// Every run here takes well under a second; a chart that loops ends the
// run (and fails the test) instead of hanging the suite.
constexpr int kTimeLimit = 30;

bool hasClass(const Element &e, const std::string &name) {
    const auto found = e.attributes.find("class");
    return found != e.attributes.end() && found->second == name;
}

// A number that takes the whole text, or NaN.
double wholeNumber(const std::string &text) {
    if (text.empty())
        return std::nan("");
    char *end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    return *end == '\0' ? v : std::nan("");
}

struct Point {
    double x;
    double y;
};

// A chart as written: its elements, and per series the path's subpaths and
// vertices and the markers, all in document order.
struct ChartView {
    std::string text;
    std::vector<Element> elements;
    double width = 0;
    double height = 0;

    std::vector<const Element *> all(const std::string &name, const std::string &cls = "",
                                     const std::string &group = "") const {
        std::vector<const Element *> found;
        for (const Element &e : elements)
            if (e.name == name && (cls.empty() || hasClass(e, cls)) &&
                (group.empty() || e.group == group))
                found.push_back(&e);
        return found;
    }
    std::vector<std::string> texts(const std::string &group, const std::string &cls = "") const {
        std::vector<std::string> found;
        for (const Element *e : all("text", cls, group))
            found.push_back(e->text);
        return found;
    }
    std::vector<const Element *> seriesPaths() const { return all("path", "series"); }
    const Element *pathOf(std::size_t series) const {
        for (const Element *e : seriesPaths())
            if (e->attributes.at("data-series") == std::to_string(series))
                return e;
        return nullptr;
    }
    int subpaths(std::size_t series) const {
        const std::string &d = pathOf(series)->attributes.at("d");
        return static_cast<int>(std::count(d.begin(), d.end(), 'M'));
    }
    int markers(std::size_t series) const {
        int n = 0;
        for (const Element *e : all("circle", "marker"))
            n += e->attributes.at("data-series") == std::to_string(series) ? 1 : 0;
        return n;
    }
    // Vertices and markers of a series, from left to right.
    std::vector<Point> points(std::size_t series) const {
        std::vector<Point> found;
        std::string d = pathOf(series)->attributes.at("d");
        std::replace(d.begin(), d.end(), 'M', ' ');
        std::replace(d.begin(), d.end(), 'L', ' ');
        std::istringstream in(d);
        double x = 0, y = 0;
        while (in >> x >> y)
            found.push_back({x, y});
        for (const Element *e : all("circle", "marker"))
            if (e->attributes.at("data-series") == std::to_string(series))
                found.push_back(
                    {wholeNumber(e->attributes.at("cx")), wholeNumber(e->attributes.at("cy"))});
        std::sort(found.begin(), found.end(),
                  [](const Point &a, const Point &b) { return a.x < b.x; });
        return found;
    }
    // The x of a date tick, by its label.
    double tickX(const std::string &label) const {
        for (const Element *e : all("text", "", "x-axis"))
            if (e->text == label)
                return wholeNumber(e->attributes.at("x"));
        ADD_FAILURE() << "no tick " << label;
        return -1;
    }
};

ChartView readChart(const fs::path &file) {
    ChartView chart;
    chart.text = readText(file);
    chart.elements = parseXml(chart.text);
    if (!chart.elements.empty()) {
        EXPECT_EQ("svg", chart.elements.front().name);
        chart.width = wholeNumber(chart.elements.front().attributes["width"]);
        chart.height = wholeNumber(chart.elements.front().attributes["height"]);
    }
    return chart;
}

// What a sound chart holds whatever the values: no "nan" or "inf" anywhere,
// every coordinate a number inside the drawing, and per panel a value axis
// of distinct numbers rising from the bottom.
void expectSound(const ChartView &chart) {
    std::string lower = chart.text;
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(std::string::npos, lower.find("nan"));
    EXPECT_EQ(std::string::npos, lower.find("inf"));
    ASSERT_GT(chart.width, 0);
    ASSERT_GT(chart.height, 0);
    for (const Element &e : chart.elements) {
        for (const char *key : {"x", "x1", "x2", "cx"})
            if (e.attributes.count(key)) {
                const double v = wholeNumber(e.attributes.at(key));
                EXPECT_TRUE(v >= 0 && v <= chart.width) << e.name << " " << key << "=" << v;
            }
        for (const char *key : {"y", "y1", "y2", "cy"})
            if (e.attributes.count(key)) {
                const double v = wholeNumber(e.attributes.at(key));
                EXPECT_TRUE(v >= 0 && v <= chart.height) << e.name << " " << key << "=" << v;
            }
    }
    for (const Element *path : chart.seriesPaths()) {
        const std::string &d = path->attributes.at("d");
        EXPECT_EQ(std::string::npos, d.find_first_not_of("ML0123456789.- ")) << d;
    }
    for (std::size_t s = 0; s < chart.seriesPaths().size(); ++s)
        for (const Point &p : chart.points(s)) {
            EXPECT_TRUE(p.x >= 0 && p.x <= chart.width) << p.x;
            EXPECT_TRUE(p.y >= 0 && p.y <= chart.height) << p.y;
        }

    // The value axes: the y-axis texts in document order, panel by panel.
    std::vector<const Element *> labels = chart.all("text", "", "y-axis");
    const std::size_t panels = chart.all("g", "panel").size();
    ASSERT_GE(panels, 1u);
    ASSERT_GE(labels.size(), 2 * panels);
    for (std::size_t k = 1; k < labels.size(); ++k) {
        const double below = wholeNumber(labels[k - 1]->text);
        const double above = wholeNumber(labels[k]->text);
        EXPECT_TRUE(std::isfinite(below) && std::isfinite(above))
            << labels[k - 1]->text << " " << labels[k]->text;
        const double yBelow = wholeNumber(labels[k - 1]->attributes.at("y"));
        const double yAbove = wholeNumber(labels[k]->attributes.at("y"));
        if (yAbove < yBelow) { // the same panel: the next tick up
            EXPECT_LT(below, above) << labels[k - 1]->text << " then " << labels[k]->text;
        }
    }
}

fs::path chartFile(const std::string &name) {
    const fs::path file = scratchDir() / (name + ".svg");
    fs::remove(file);
    return file;
}

// ---- hostile values --------------------------------------------------------------

struct HostileSeries {
    const char *code;
    const char *range; // annual periods
    const char *values;
};

// Annual series, written straight into a database file.
const HostileSeries kHostileSeries[] = {
    {"MAXD", "2000 2003", "1.7976931348623157e308 1 2 3"},
    {"MINMAX", "2000 2003",
     "-1.7976931348623157e308 1.7976931348623157e308 -1.7976931348623157e308 "
     "1.7976931348623157e308"},
    {"NEAR", "2000 2003", "-1e308 1e308 1e308 -1e308"},
    {"SMALLEST", "2000 2003", "4.9e-324 2.2250738585072014e-308 0 1e-320"},
    {"DENORM", "2000 2003", "1e-310 2e-310 3e-310 4e-310"},
    {"ULP", "2000 2003", "0.3 0.30000000000000004 0.3 0.30000000000000004"},
    {"ULPBIG", "2000 2003", "1e300 1.0000000000000002e300 1e300 1.0000000000000002e300"},
    {"CONST", "2000 2003", "5 5 5 5"},
    {"CONSTNEG", "2000 2003",
     "-1.7976931348623157e308 -1.7976931348623157e308 -1.7976931348623157e308 "
     "-1.7976931348623157e308"},
    {"ZERO", "2000 2003", "0 0 0 0"},
    {"ONE", "2001 2001", "7"},
    {"ALLNA", "2000 2003", "NA NA NA NA"},
    {"LONE", "2000 2003", "1 NA 2 NA"},
    {"HUGE", "2000 2003", "1e200 2e200 3e200 4e200"},
    {"TINY", "2000 2003", "1e-200 3e-200 2e-200 4e-200"},
    {"MIXED", "2000 2003", "1e-300 1e300 -1e300 0"},
};

const HostileSeries &hostileSeries(const std::string &code) {
    for (const HostileSeries &s : kHostileSeries)
        if (code == s.code)
            return s;
    throw std::runtime_error("no hostile series " + code);
}

fs::path hostileDatabase() {
    static const fs::path file = [] {
        const fs::path path = scratchDir() / "hostile.tqvdb";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "TQVDB 1\ndatabase HOSTILE\n";
        for (const HostileSeries &s : kHostileSeries)
            out << "series " << s.code << "\n  frequency 10\n  range " << s.range
                << "\n  attributes 1 2 0 0 0 1\n  text1 units\n  values\n  " << s.values
                << "\nend\n";
        return path;
    }();
    return file;
}

struct HostileCase {
    const char *name;
    std::vector<std::string> codes;
    std::size_t panels; // with the automatic layout
};

void PrintTo(const HostileCase &c, std::ostream *out) {
    *out << c.name;
}

class KovraPlotHostile : public ::testing::TestWithParam<HostileCase> {};

// The values of a series on the window's four years (2000 to 2003).
std::vector<double> windowValues(const HostileSeries &s) {
    std::vector<double> values(4, std::nan(""));
    std::istringstream in(s.values);
    std::string word;
    std::size_t slot = static_cast<std::size_t>(std::atoi(s.range) - 2000);
    while (in >> word && slot < values.size())
        values[slot++] = word == "NA" ? std::nan("") : wholeNumber(word);
    return values;
}

TEST_P(KovraPlotHostile, FinishesWithASoundChart) {
    const HostileCase &c = GetParam();
    const fs::path svg = chartFile(std::string("hostile-") + c.name);
    std::vector<std::string> args = {"fetch", "--from", "2000", "--to", "2003"};
    for (const std::string &code : c.codes)
        args.push_back(hostileDatabase().string() + ":" + code);
    args.insert(args.end(), {"--plot", svg.string()});
    const Result run = kovra(args, kTimeLimit);
    ASSERT_EQ(0, run.status) << run.err;
    const ChartView chart = readChart(svg);
    ASSERT_FALSE(chart.elements.empty());
    expectSound(chart);
    EXPECT_EQ(c.panels, chart.all("g", "panel").size());
    ASSERT_EQ(c.codes.size(), chart.seriesPaths().size());

    for (std::size_t s = 0; s < c.codes.size(); ++s) {
        SCOPED_TRACE(c.codes[s]);
        const std::vector<double> values = windowValues(hostileSeries(c.codes[s]));
        // Runs of two or more values are subpaths, a value alone a marker.
        int runs = 0, lone = 0;
        std::vector<double> present;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (std::isnan(values[i]))
                continue;
            present.push_back(values[i]);
            const bool before = i > 0 && !std::isnan(values[i - 1]);
            const bool after = i + 1 < values.size() && !std::isnan(values[i + 1]);
            runs += !before && after ? 1 : 0;
            lone += !before && !after ? 1 : 0;
        }
        EXPECT_EQ(runs, chart.subpaths(s));
        EXPECT_EQ(lone, chart.markers(s));
        const std::vector<Point> points = chart.points(s);
        ASSERT_EQ(present.size(), points.size());

        // Higher values never sit lower; with each series in a panel of
        // its own, values a hundredth of the series' span apart are apart
        // on the chart too, unless the whole span is below what a chart can
        // show (a millionth of the values, or 1e-290).
        double low = HUGE_VAL, high = -HUGE_VAL;
        for (double v : present) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
        const double span = high / 2 - low / 2; // half the span, finite
        const bool alone = c.panels == c.codes.size();
        for (std::size_t i = 0; i < present.size(); ++i)
            for (std::size_t j = 0; j < present.size(); ++j) {
                if (!(present[i] > present[j]))
                    continue;
                EXPECT_LE(points[i].y, points[j].y + 0.01) << present[i] << " vs " << present[j];
                if (alone && present[i] / 2 - present[j] / 2 > span / 100 &&
                    span > 1e-6 * std::max(std::fabs(low), std::fabs(high)) && span > 1e-290) {
                    EXPECT_LT(points[i].y, points[j].y - 1) << present[i] << " vs " << present[j];
                }
            }
    }
}

const HostileCase kHostileCases[] = {
    {"LargestDoubleAmongSmallValues", {"MAXD"}, 1},
    {"LowestAndLargestDoubles", {"MINMAX"}, 1},
    {"PlusAndMinus1e308", {"NEAR"}, 1},
    {"SmallestDoubles", {"SMALLEST"}, 1},
    {"Denormals", {"DENORM"}, 1},
    {"OneUlpApart", {"ULP"}, 1},
    {"OneUlpApartNearTheTop", {"ULPBIG"}, 1},
    {"Constant", {"CONST"}, 1},
    {"ConstantAtTheLowestDouble", {"CONSTNEG"}, 1},
    {"Zeros", {"ZERO"}, 1},
    {"OneObservation", {"ONE"}, 1},
    {"AllMissing", {"ALLNA"}, 1},
    {"ValuesBetweenGaps", {"LONE"}, 1},
    {"HugeAndTinySeries", {"HUGE", "TINY"}, 2},
    {"LargestDoubleAndDenormals", {"MAXD", "DENORM"}, 2},
    {"HugeAndTinyInOneSeries", {"MIXED"}, 1},
    {"OneUlpApartBesideAConstant", {"ULP", "CONST"}, 2},
};

INSTANTIATE_TEST_SUITE_P(Values, KovraPlotHostile, ::testing::ValuesIn(kHostileCases),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(KovraPlotHostile, AllSeriesTogetherStillGiveASoundChart) {
    const fs::path svg = chartFile("hostile-all");
    std::vector<std::string> args = {"fetch"};
    for (const HostileSeries &s : kHostileSeries)
        args.push_back(hostileDatabase().string() + ":" + s.code);
    args.insert(args.end(), {"--plot", svg.string()});
    for (const char *layout : {"auto", "single", "panels"}) {
        SCOPED_TRACE(layout);
        std::vector<std::string> withLayout = args;
        withLayout.insert(withLayout.end(), {"--plot-layout", layout});
        const Result run = kovra(withLayout, kTimeLimit);
        ASSERT_EQ(0, run.status) << run.err;
        const ChartView chart = readChart(svg);
        ASSERT_FALSE(chart.elements.empty());
        expectSound(chart);
        EXPECT_EQ(std::size(kHostileSeries), chart.seriesPaths().size());
        EXPECT_EQ(std::string(layout) == "single", chart.all("g", "panel").size() == 1);
    }
}

// ---- date ticks --------------------------------------------------------------------

struct TickCase {
    const char *name;
    std::vector<std::string> args; // the fetch, without --plot
    std::vector<std::string> labels;
    // One tick checked for its place: it starts `fraction` of the way
    // through the period that ends on `periodEnd`.
    std::string label;
    std::string periodEnd;
    double fraction;
};

void PrintTo(const TickCase &c, std::ostream *out) {
    *out << c.name;
}

class KovraPlotTicks : public ::testing::TestWithParam<TickCase> {};

TEST_P(KovraPlotTicks, FallOnPeriodBoundaries) {
    const TickCase &c = GetParam();
    const Result csv = kovra(concat(c.args, {"--csv"}), kTimeLimit);
    ASSERT_EQ(0, csv.status) << csv.err;
    std::vector<std::string> dates;
    for (const std::string &row : lines(csv.out))
        dates.push_back(row.substr(0, row.find(',')));
    dates.erase(dates.begin()); // the header

    const fs::path svg = chartFile(std::string("ticks-") + c.name);
    const Result run = kovra(concat(c.args, {"--plot", svg.string()}), kTimeLimit);
    ASSERT_EQ(0, run.status) << run.err;
    const ChartView chart = readChart(svg);
    expectSound(chart);
    EXPECT_EQ(c.labels, chart.texts("x-axis"));

    // The frame: its left edge and its bottom line give the periods' width.
    const std::vector<const Element *> frame = chart.all("line", "", "frame");
    ASSERT_EQ(2u, frame.size());
    const double left = wholeNumber(frame[1]->attributes.at("x1"));
    const double right = wholeNumber(frame[1]->attributes.at("x2"));
    const double width = (right - left) / static_cast<double>(dates.size());
    const auto period = std::find(dates.begin(), dates.end(), c.periodEnd);
    ASSERT_NE(dates.end(), period) << c.periodEnd;
    const double slot = static_cast<double>(period - dates.begin());
    EXPECT_NEAR(left + (slot + c.fraction) * width, chart.tickX(c.label), 0.02);
}

const TickCase kTickCases[] = {
    // The window starts in the third quarter: no tick there, the first one
    // where 1984 begins.
    {"YearsOfAWindowStartingMidYear",
     {"fetch", "ECON.tqvdb:UKGAS", "--from", "1983Q3", "--to", "1986"},
     {"1984", "1985", "1986"},
     "1984",
     "1984-03-31",
     0},
    {"QuartersOfAShortQuarterlyWindow",
     {"fetch", "ECON.tqvdb:UKGAS", "--from", "1983Q3", "--to", "1984Q4"},
     {"1983Q3", "1983Q4", "1984Q1", "1984Q2", "1984Q3", "1984Q4"},
     "1984Q1",
     "1984-03-31",
     0},
    {"MonthsOfAShortMonthlyWindow",
     {"fetch", "ECON.tqvdb:CO2", "--from", "1990-03", "--to", "1990-12"},
     {"1990-03", "1990-04", "1990-05", "1990-06", "1990-07", "1990-08", "1990-09", "1990-10",
      "1990-11", "1990-12"},
     "1990-04",
     "1990-04-30",
     0},
    // Weeks ending on Friday: 1 March 1992, a Sunday, begins one day into
    // the week of Saturday 29 February.
    {"MonthsWithinAWeek",
     {"fetch", "MARKETS.tqvdb:DAXW", "--from", "1992-01-15", "--to", "1992-04-20"},
     {"1992-02", "1992-03", "1992-04"},
     "1992-03",
     "1992-03-06",
     1.0 / 7},
    // Business days: the Monday of 2 March 1992 takes up the weekend, and
    // March begins a third of the way through it.
    {"MonthsWithinABusinessDay",
     {"fetch", "MARKETS.tqvdb:DAX", "--from", "1992-01-15", "--to", "1992-04-10"},
     {"1992-02", "1992-03", "1992-04"},
     "1992-03",
     "1992-03-02",
     1.0 / 3},
    {"YearStepsOfALongWindow",
     {"fetch", "ECON.tqvdb:SUNSPOT"},
     {"1700", "1750", "1800", "1850", "1900", "1950"},
     "1900",
     "1900-12-31",
     0},
};

INSTANTIATE_TEST_SUITE_P(Samples, KovraPlotTicks, ::testing::ValuesIn(kTickCases),
                         [](const auto &p) { return std::string(p.param.name); });

// ---- layouts and the legend ----------------------------------------------------------

struct LayoutCase {
    const char *name;
    std::vector<std::string> args; // the fetch, with any --plot-layout, without --plot
    std::vector<std::string> captions;
    std::vector<std::string> legend;   // the series drawn
    std::vector<std::string> setAside; // and those named as not drawn
};

void PrintTo(const LayoutCase &c, std::ostream *out) {
    *out << c.name;
}

class KovraPlotLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(KovraPlotLayout, StacksPanelsByScaleAndNamesWhatIsNotDrawn) {
    const LayoutCase &c = GetParam();
    const fs::path svg = chartFile(std::string("layout-") + c.name);
    const Result run = kovra(concat(c.args, {"--plot", svg.string()}), kTimeLimit);
    ASSERT_EQ(0, run.status) << run.err;
    const ChartView chart = readChart(svg);
    expectSound(chart);
    // A caption per panel, with the series' units.
    EXPECT_EQ(std::max<std::size_t>(c.captions.size(), 1), chart.all("g", "panel").size());
    EXPECT_EQ(c.captions, chart.texts("panel", "caption"));
    std::vector<std::string> legend;
    for (const Element *e : chart.all("text", "", "legend"))
        if (!hasClass(*e, "set-aside"))
            legend.push_back(e->text);
    EXPECT_EQ(c.legend, legend);
    EXPECT_EQ(c.legend.size(), chart.seriesPaths().size());
    EXPECT_EQ(c.setAside, chart.texts("legend", "set-aside"));
    // A chart without a value to draw says so.
    EXPECT_EQ(c.legend.empty() ? 1u : 0u, chart.all("text", "empty").size());

    // The legend names what the table's notes name.
    std::vector<std::string> fetch = c.args;
    const auto layout = std::find(fetch.begin(), fetch.end(), "--plot-layout");
    if (layout != fetch.end())
        fetch.erase(layout, layout + 2);
    const Result table = kovra(fetch, kTimeLimit);
    ASSERT_EQ(0, table.status) << table.err;
    std::vector<std::string> notes;
    for (const std::string &row : lines(table.out))
        if (row.rfind("note: ", 0) == 0)
            notes.push_back(row.substr(6));
    EXPECT_EQ(notes, c.setAside);
}

const LayoutCase kLayoutCases[] = {
    {"SimilarScalesShareOnePanel",
     {"fetch", "ECON.tqvdb:PRES", "ECON.tqvdb:JNJ", "ECON.tqvdb:GDP"},
     {"percent, USD"},
     {"PRES", "JNJ"},
     {"left out: ECON.tqvdb:GDP has no observations"}},
    {"ScalesApartGetAPanelEach",
     {"fetch", "ECON.tqvdb:CO2", "ECON.tqvdb:UKDRIVER", "ECON.tqvdb:USACC", "ECON.tqvdb:CPI"},
     {"CO2: ppm", "UKDRIVER: persons", "USACC: deaths"},
     {"CO2", "UKDRIVER", "USACC"},
     {"left out: ECON.tqvdb:CPI has no observations"}},
    {"OnePanelOnRequest",
     {"fetch", "ECON.tqvdb:CO2", "ECON.tqvdb:UKDRIVER", "ECON.tqvdb:USACC", "--plot-layout",
      "single"},
     {"ppm, persons, deaths"},
     {"CO2", "UKDRIVER", "USACC"},
     {}},
    // Panels on request: one per unit and scale, DAX and FTSE together.
    {"PanelsOnRequest",
     {"fetch", "ECON.tqvdb:AUSTRES", "MARKETS.tqvdb:DAX", "MARKETS.tqvdb:FTSEW", "--from", "1991",
      "--to", "1993", "--plot-layout", "panels"},
     {"AUSTRES: thou", "DAX, FTSEW: points"},
     {"AUSTRES", "DAX", "FTSEW"},
     {}},
    // The failed count leaves nothing to draw: both series are named.
    {"FailedCountsAndEmptySeries",
     {"fetch", "ECON.tqvdb:UKGAS", "ECON.tqvdb:GDP", "--advanced", "seasonal", "--from", "1980",
      "--to", "1981"},
     {},
     {},
     {"left out: ECON.tqvdb:GDP has no observations",
      "seasonal failed for ECON.tqvdb:UKGAS: too few periods in the window (status 834)"}},
};

INSTANTIATE_TEST_SUITE_P(Samples, KovraPlotLayout, ::testing::ValuesIn(kLayoutCases),
                         [](const auto &p) { return std::string(p.param.name); });

// ---- reference charts --------------------------------------------------------------

// What a chart shows, line by line: element counts by kind, each series'
// subpaths, vertices and markers, the ticks, captions and legend.
std::string structureOf(const ChartView &chart) {
    std::ostringstream out;
    std::map<std::string, int> kinds;
    for (const Element &e : chart.elements)
        ++kinds[e.name + (e.attributes.count("class") ? "." + e.attributes.at("class") : "") +
                (e.group.empty() ? "" : " in " + e.group)];
    for (const auto &[kind, count] : kinds)
        out << kind << ": " << count << "\n";
    for (std::size_t s = 0; s < chart.seriesPaths().size(); ++s)
        out << "series " << s << ": " << chart.subpaths(s) << " subpaths, "
            << chart.points(s).size() << " points, " << chart.markers(s) << " markers\n";
    for (const char *group : {"x-axis", "y-axis", "legend"}) {
        out << group << ":";
        for (const std::string &t : chart.texts(group))
            out << " [" << t << "]";
        out << "\n";
    }
    out << "captions:";
    for (const std::string &t : chart.texts("panel", "caption"))
        out << " [" << t << "]";
    out << "\n";
    return out.str();
}

struct ReferenceCase {
    const char *name;
    const char *file; // in tests/cli/charts
    std::vector<std::string> args;
};

void PrintTo(const ReferenceCase &c, std::ostream *out) {
    *out << c.name;
}

class KovraPlotReference : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(KovraPlotReference, HasTheStructureOfTheReferenceChart) {
    const ReferenceCase &c = GetParam();
    const ChartView reference = readChart(fs::path(KOVRA_CLI_CHARTS) / c.file);
    ASSERT_FALSE(reference.elements.empty()) << c.file;
    expectSound(reference);

    const fs::path svg = chartFile(std::string("reference-") + c.name);
    const Result run = kovra(concat(c.args, {"--plot", svg.string()}), kTimeLimit);
    ASSERT_EQ(0, run.status) << run.err;
    const ChartView chart = readChart(svg);
    expectSound(chart);
    EXPECT_EQ(structureOf(reference), structureOf(chart));
}

const ReferenceCase kReferenceCases[] = {
    {"Single",
     "single.svg",
     {"fetch", "ECON.tqvdb:AUSTRES", "MARKETS.tqvdb:DAX", "MARKETS.tqvdb:FTSEW", "ECON.tqvdb:GDP",
      "--from", "1991", "--to", "1993"}},
    {"Panels",
     "panels.svg",
     {"fetch", "ECON.tqvdb:CO2", "ECON.tqvdb:UKDRIVER", "ECON.tqvdb:USACC", "ECON.tqvdb:CPI"}},
};

INSTANTIATE_TEST_SUITE_P(Samples, KovraPlotReference, ::testing::ValuesIn(kReferenceCases),
                         [](const auto &p) { return std::string(p.param.name); });

// ---- bad chart options ---------------------------------------------------------------

struct BadPlot {
    const char *name;
    std::string file; // the --plot value, in the scratch folder
    std::vector<std::string> more;
    std::string message; // without "kovra: "
};

void PrintTo(const BadPlot &c, std::ostream *out) {
    *out << c.name;
}

class KovraPlotBadInput : public ::testing::TestWithParam<BadPlot> {};

TEST_P(KovraPlotBadInput, PrintsOneLineAndWritesNothing) {
    const BadPlot &c = GetParam();
    std::vector<std::string> args = {"fetch", "ECON.tqvdb:UKGAS"};
    std::string message = c.message;
    if (!c.file.empty()) {
        const fs::path file = scratchDir() / c.file;
        fs::remove(file);
        args.insert(args.end(), {"--plot", file.string()});
        const std::size_t at = message.find("FILE");
        if (at != std::string::npos)
            message.replace(at, 4, file.string());
        const Result run = kovra(concat(args, c.more), kTimeLimit);
        EXPECT_FALSE(fs::exists(file));
        EXPECT_EQ(2, run.status);
        EXPECT_EQ("", run.out);
        EXPECT_EQ("kovra: " + message + "\n", run.err);
        return;
    }
    const Result run = kovra(concat(args, c.more), kTimeLimit);
    EXPECT_EQ(2, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_EQ("kovra: " + message + "\n", run.err);
}

const BadPlot kBadPlots[] = {
    {"PngName", "chart.png", {}, "--plot writes SVG: the file name must end in .svg, not 'FILE'"},
    {"NoExtension", "chart", {}, "--plot writes SVG: the file name must end in .svg, not 'FILE'"},
    {"SvgThenAnotherExtension",
     "chart.svg.pdf",
     {},
     "--plot writes SVG: the file name must end in .svg, not 'FILE'"},
    {"UnknownLayout",
     "chart.svg",
     {"--plot-layout", "grid"},
     "unknown chart layout 'grid' (use auto, single or panels)"},
    {"LayoutWithoutChart", "", {"--plot-layout", "panels"}, "--plot-layout goes with --plot"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KovraPlotBadInput, ::testing::ValuesIn(kBadPlots),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(KovraPlotName, TakesTheSvgExtensionInAnyCase) {
    const fs::path svg = chartFile("upper");
    const fs::path upper = svg.parent_path() / "UPPER.SVG";
    fs::remove(upper);
    const Result run = kovra({"fetch", "ECON.tqvdb:UKGAS", "--plot", upper.string()}, kTimeLimit);
    ASSERT_EQ(0, run.status) << run.err;
    const ChartView chart = readChart(upper);
    expectSound(chart);
    EXPECT_EQ(1u, chart.seriesPaths().size());
    fs::remove(upper);
}

} // namespace
