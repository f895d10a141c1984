#include "svg.h"

#include "formats.h"
#include "rules.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace kovra {

namespace {

constexpr double kWidth = 960;
constexpr double kRight = 30;
constexpr double kTop = 56;
constexpr double kSinglePanelHeight = 340;
constexpr double kPanelHeight = 170;
constexpr double kPanelGap = 34;
constexpr double kLegendRow = 22;
constexpr std::size_t kLegendColumns = 4;

const char *const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e",
                                "#9467bd", "#8c564b", "#e377c2", "#17becf"};

const char *colourOf(std::size_t line) {
    return kColours[line % std::size(kColours)];
}

// Past the last colour the colours come round again, dashed.
std::string dashOf(std::size_t line) {
    return line / std::size(kColours) % 2 == 1 ? " stroke-dasharray=\"6 3\"" : "";
}

// Coordinates always lie in the drawing; should one not be a number, it must
// still not reach the document as "nan".
std::string num(double v) {
    if (!std::isfinite(v))
        v = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

bool drawable(double v) {
    return !isMissing(v); // the missing value and anything not finite
}

// a + b, held at the largest double instead of overflowing.
double addClamped(double a, double b) {
    const double sum = a + b;
    return std::isfinite(sum) ? sum : std::copysign(DBL_MAX, sum);
}

// 1, 2 or 5 times a power of ten, at least `raw` (a positive normal double).
double niceStep(double raw) {
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * power >= raw)
            return m * power;
    return 10.0 * power;
}

// ---- the value axis ----------------------------------------------------------

struct ValueAxis {
    double low = 0;
    double high = 1;
    std::vector<double> ticks;
    std::vector<std::string> labels;

    // Where v lies from the bottom (0) to the top (1). Halves keep the
    // difference of two doubles near the largest one finite.
    double fraction(double v) const {
        const double f = (v / 2 - low / 2) / (high / 2 - low / 2);
        return std::min(1.0, std::max(0.0, f));
    }
};

struct Extent {
    double low = HUGE_VAL;
    double high = -HUGE_VAL;
    bool any() const { return low <= high; }
    void add(double v) {
        low = std::min(low, v);
        high = std::max(high, v);
    }
    double size() const { return any() ? std::max(std::fabs(low), std::fabs(high)) : 0; }
};

Extent extentOf(const ChartLine &line) {
    Extent e;
    for (double v : line.values)
        if (drawable(v))
            e.add(v);
    return e;
}

// An axis from a round number below the values to one above them, with
// ticks a round step apart. Differences below a billionth of the values (or
// below 1e-300) cannot be told apart on a chart: such values are drawn as a
// flat line in a band around them, so that the step stays far above the
// spacing of doubles and every tick loop moves.
ValueAxis valueAxis(Extent extent) {
    double low = extent.any() ? extent.low : 0;
    double high = extent.any() ? extent.high : 1;
    const double magnitude = std::max(std::fabs(low), std::fabs(high));
    const double resolution = std::max(magnitude * 1e-9, 1e-300);
    if (high / 2 - low / 2 < resolution / 2) {
        const double middle = low / 2 + high / 2;
        const double pad = magnitude >= 1e-299 ? magnitude * 0.1 : 1;
        low = addClamped(middle, -pad);
        high = addClamped(middle, pad);
    }
    const double step = niceStep((high / 2 - low / 2) * 0.4);
    // Whole numbers of steps, at most a few billion: exact in a double.
    const double first = std::floor(low / step);
    const double last = std::ceil(high / step);

    ValueAxis axis;
    // Past the largest double the axis ends at the values themselves.
    axis.low = std::isfinite(first * step) ? std::min(first * step, low) : low;
    axis.high = std::isfinite(last * step) ? std::max(last * step, high) : high;
    for (int k = 0; k <= 20 && first + k <= last; ++k) {
        const double t = (first + k) * step;
        if (std::isfinite(t) && t >= axis.low && t <= axis.high)
            axis.ticks.push_back(t == 0 ? 0 : t); // no "-0"
    }

    // Enough significant digits to tell the ticks apart, and no exponent
    // for plain numbers such as 1000.
    const double largest = std::max(std::fabs(axis.low), std::fabs(axis.high));
    const int top = static_cast<int>(std::floor(std::log10(largest)));
    const int fine = static_cast<int>(std::floor(std::log10(step)));
    int digits = top - fine + 1;
    if (top >= -4 && top < 6)
        digits = std::max(digits, top + 1);
    digits = std::min(std::max(digits, 1), 17);
    for (double t : axis.ticks) {
        char label[40];
        std::snprintf(label, sizeof label, "%.*g", digits, t);
        axis.labels.push_back(label);
    }
    return axis;
}

// ---- the date axis -----------------------------------------------------------

// Days since 1 January 1970 of a proleptic Gregorian date.
long dayNumber(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

long dayNumber(int ymd) {
    return dayNumber(ymd / 10000, ymd / 100 % 100, ymd % 100);
}

// A tick at a position on the date axis, in periods: period i spans i to i+1.
struct Tick {
    double position;
    std::string label;
};

enum class Unit { Year, Quarter, Month };

// The first day of the year, quarter or month that holds a date.
int unitStart(int ymd, Unit unit) {
    const int y = ymd / 10000;
    const int m = ymd / 100 % 100;
    switch (unit) {
    case Unit::Year:
        return y * 10000 + 101;
    case Unit::Quarter:
        return y * 10000 + ((m - 1) / 3 * 3 + 1) * 100 + 1;
    case Unit::Month:
        break;
    }
    return y * 10000 + m * 100 + 1;
}

std::string unitLabel(int start, Unit unit) {
    const int y = start / 10000;
    const int m = start / 100 % 100;
    switch (unit) {
    case Unit::Year:
        return std::to_string(y);
    case Unit::Quarter:
        return std::to_string(y) + "Q" + std::to_string((m - 1) / 3 + 1);
    case Unit::Month:
        break;
    }
    return periodLabel(start, KOVRAP_FREQ_MONTHLY);
}

// The last day before each period begins: the previous period's date, and
// for the first period the day before it starts at its frequency.
std::vector<long> periodStarts(const Chart &chart, const std::vector<long> &ends) {
    const std::size_t n = ends.size();
    std::vector<long> before(n);
    if (n == 0)
        return before;
    const int first = chart.dates[0];
    const int f = chart.frequency;
    if (f == KOVRAP_FREQ_ANNUAL)
        before[0] = dayNumber(unitStart(first, Unit::Year)) - 1;
    else if (f == KOVRAP_FREQ_QUARTERLY)
        before[0] = dayNumber(unitStart(first, Unit::Quarter)) - 1;
    else if (f == KOVRAP_FREQ_MONTHLY)
        before[0] = dayNumber(unitStart(first, Unit::Month)) - 1;
    else if (isWeekly(f))
        before[0] = ends[0] - 7;
    else if (f == KOVRAP_FREQ_BUSINESS) // business days: a Monday follows a Friday
        before[0] = ends[0] - (((ends[0] % 7) + 7 + 3) % 7 == 0 ? 3 : 1);
    else if (f != KOVRAP_FREQ_DAILY && n > 1 && ends[1] > ends[0])
        before[0] = ends[0] - (ends[1] - ends[0]);
    else
        before[0] = ends[0] - 1;
    for (std::size_t i = 1; i < n; ++i)
        before[i] = ends[i - 1];
    return before;
}

// Where the years (quarters, months) begin: the start of day B within
// period i lies (B - 1 - before) / (end - before) of the way through it.
std::vector<Tick> boundaries(const Chart &chart, const std::vector<long> &ends,
                             const std::vector<long> &before, Unit unit) {
    std::vector<Tick> ticks;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        if (ends[i] <= before[i])
            continue; // dates out of order: no boundary to place
        const int start = unitStart(chart.dates[i], unit);
        const long day = dayNumber(start);
        if (day > before[i])
            ticks.push_back({static_cast<double>(i) + static_cast<double>(day - 1 - before[i]) /
                                                          static_cast<double>(ends[i] - before[i]),
                             unitLabel(start, unit)});
    }
    return ticks;
}

// The boundaries whose year (or quarter, or month) is a multiple of the
// smallest round step that leaves at most ten.
std::vector<Tick> thinned(const std::vector<Tick> &all, Unit unit) {
    static const int kYearSteps[] = {1, 2, 5, 10, 20, 25, 50, 100, 200, 250, 500, 1000, 2000, 5000};
    static const int kQuarterSteps[] = {1, 2, 4};
    static const int kMonthSteps[] = {1, 2, 3, 6, 12};
    const auto ordinal = [unit](const Tick &t) {
        // Labels are YYYY, YYYYQn or YYYY-MM.
        const int y = std::atoi(t.label.c_str());
        if (unit == Unit::Year)
            return y;
        return unit == Unit::Quarter ? t.label[t.label.size() - 1] - '1'
                                     : std::atoi(t.label.c_str() + t.label.size() - 2) - 1;
    };
    const int *steps = unit == Unit::Year      ? kYearSteps
                       : unit == Unit::Quarter ? kQuarterSteps
                                               : kMonthSteps;
    const std::size_t count = unit == Unit::Year      ? std::size(kYearSteps)
                              : unit == Unit::Quarter ? std::size(kQuarterSteps)
                                                      : std::size(kMonthSteps);
    std::vector<Tick> kept;
    for (std::size_t s = 0; s < count; ++s) {
        kept.clear();
        for (const Tick &t : all)
            if (ordinal(t) % steps[s] == 0)
                kept.push_back(t);
        if (kept.size() <= 10)
            break;
    }
    return kept;
}

// Years when the window spans at least three, else quarters for quarterly
// series and months for finer ones, else the periods themselves.
std::vector<Tick> dateTicks(const Chart &chart) {
    const std::size_t n = chart.dates.size();
    std::vector<long> ends(n);
    for (std::size_t i = 0; i < n; ++i)
        ends[i] = dayNumber(chart.dates[i]);
    const std::vector<long> before = periodStarts(chart, ends);

    const std::vector<Tick> years = boundaries(chart, ends, before, Unit::Year);
    if (years.size() >= 3)
        return thinned(years, Unit::Year);
    if (chart.frequency == KOVRAP_FREQ_QUARTERLY)
        return thinned(boundaries(chart, ends, before, Unit::Quarter), Unit::Quarter);
    if (chart.frequency != KOVRAP_FREQ_ANNUAL) {
        const std::vector<Tick> months = boundaries(chart, ends, before, Unit::Month);
        if (months.size() >= 3)
            return thinned(months, Unit::Month);
    }
    // A few periods: label them, at their middles.
    std::vector<Tick> ticks;
    const std::size_t step = std::max<std::size_t>(1, (n + 7) / 8);
    for (std::size_t i = 0; i < n; i += step)
        ticks.push_back({static_cast<double>(i) + 0.5,
                         chart.frequency != 0 ? periodLabel(chart.dates[i], chart.frequency)
                                              : isoDate(chart.dates[i])});
    return ticks;
}

// ---- panels --------------------------------------------------------------------

struct Panel {
    std::vector<std::size_t> lines;
    Extent extent;
    double smallest = 0; // the smallest and largest nonzero size of its lines
    double largest = 0;
    std::string unit;
};

bool withinTenfold(double a, double b) {
    return std::max(a, b) <= 10 * std::min(a, b);
}

bool wantsPanels(const Chart &chart) {
    if (chart.layout != ChartLayout::Auto)
        return chart.layout == ChartLayout::Panels;
    double smallest = HUGE_VAL, largest = 0;
    for (const ChartLine &line : chart.lines) {
        const double size = extentOf(line).size();
        if (size > 0) {
            smallest = std::min(smallest, size);
            largest = std::max(largest, size);
        }
    }
    return largest > 0 && !withinTenfold(smallest, largest);
}

// One panel for everything, or series of the same unit and of sizes within
// a factor of ten together, in the order they come.
std::vector<Panel> panelsOf(const Chart &chart) {
    std::vector<Panel> panels;
    const bool split = wantsPanels(chart);
    for (std::size_t s = 0; s < chart.lines.size(); ++s) {
        const ChartLine &line = chart.lines[s];
        const Extent extent = extentOf(line);
        const double size = extent.size();
        Panel *home = nullptr;
        for (Panel &p : panels) {
            if (!split || (p.unit == line.unit &&
                           (size == 0 || p.largest == 0 ||
                            (withinTenfold(size, p.smallest) && withinTenfold(size, p.largest))))) {
                home = &p;
                break;
            }
        }
        if (home == nullptr) {
            panels.emplace_back();
            home = &panels.back();
            home->unit = line.unit;
        }
        home->lines.push_back(s);
        if (extent.any()) {
            home->extent.add(extent.low);
            home->extent.add(extent.high);
        }
        if (size > 0) {
            home->smallest = home->largest == 0 ? size : std::min(home->smallest, size);
            home->largest = std::max(home->largest, size);
        }
    }
    if (panels.empty())
        panels.emplace_back(); // nothing drawn: an empty frame
    return panels;
}

// Above a panel: its units, and in stacked panels the series it shows.
std::string captionOf(const Chart &chart, const Panel &panel, bool stacked) {
    std::vector<std::string> units;
    std::string labels;
    for (std::size_t s : panel.lines) {
        const std::string &unit = chart.lines[s].unit;
        if (!unit.empty() && std::find(units.begin(), units.end(), unit) == units.end())
            units.push_back(unit);
        labels += (labels.empty() ? "" : ", ") + chart.lines[s].label;
    }
    std::string joined;
    for (const std::string &unit : units)
        joined += (joined.empty() ? "" : ", ") + unit;
    if (!stacked)
        return joined;
    return joined.empty() ? labels : labels + ": " + joined;
}

std::string line(double x1, double y1, double x2, double y2) {
    return "<line x1=\"" + num(x1) + "\" y1=\"" + num(y1) + "\" x2=\"" + num(x2) + "\" y2=\"" +
           num(y2) + "\"/>\n";
}

} // namespace

std::string xmlEscape(const std::string &text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string renderSvg(const Chart &chart) {
    const std::size_t n = chart.dates.size();
    const std::vector<Panel> panels = panelsOf(chart);
    const bool stacked = panels.size() > 1;
    std::vector<ValueAxis> axes;
    std::size_t widestLabel = 0;
    for (const Panel &p : panels) {
        axes.push_back(valueAxis(p.extent));
        for (const std::string &label : axes.back().labels)
            widestLabel = std::max(widestLabel, label.size());
    }
    const double left = std::max(70.0, 16 + 7.0 * static_cast<double>(widestLabel));
    const double plotWidth = kWidth - left - kRight;
    const double panelHeight = stacked ? kPanelHeight : kSinglePanelHeight;
    const double bottom =
        kTop + static_cast<double>(panels.size()) * (panelHeight + kPanelGap) - kPanelGap;
    const std::size_t legendRows = (chart.lines.size() + kLegendColumns - 1) / kLegendColumns;
    const double height =
        bottom + 50 + kLegendRow * static_cast<double>(legendRows + chart.setAside.size()) + 10;

    // Period i spans positions i to i+1; its value sits in the middle.
    const double periods = static_cast<double>(std::max<std::size_t>(n, 1));
    const auto x = [&](double position) { return left + plotWidth * position / periods; };
    const std::vector<Tick> ticks = dateTicks(chart);

    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(kWidth) + "\" height=\"" +
           num(height) + "\" viewBox=\"0 0 " + num(kWidth) + " " + num(height) +
           "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + num(kWidth) + "\" height=\"" + num(height) +
           "\" fill=\"white\"/>\n";
    svg += "<text x=\"" + num(kWidth / 2) + "\" y=\"28\" text-anchor=\"middle\" font-size=\"15\">" +
           xmlEscape(chart.title) + "</text>\n";

    for (std::size_t p = 0; p < panels.size(); ++p) {
        const Panel &panel = panels[p];
        const ValueAxis &axis = axes[p];
        const double top = kTop + static_cast<double>(p) * (panelHeight + kPanelGap);
        const double base = top + panelHeight;
        const auto y = [&](double v) { return base - panelHeight * axis.fraction(v); };

        svg += "<g class=\"panel\">\n";
        const std::string caption = captionOf(chart, panel, stacked);
        if (!caption.empty())
            svg += "<text class=\"caption\" x=\"" + num(left) + "\" y=\"" + num(top - 8) + "\">" +
                   xmlEscape(caption) + "</text>\n";

        // Value axis with grid lines, and the date ticks as light grid lines.
        svg += "<g class=\"y-axis\" stroke=\"#cccccc\">\n";
        for (std::size_t t = 0; t < axis.ticks.size(); ++t) {
            const double ty = y(axis.ticks[t]);
            svg += line(left, ty, left + plotWidth, ty);
            svg += "<text x=\"" + num(left - 8) + "\" y=\"" + num(ty + 4) +
                   "\" text-anchor=\"end\" stroke=\"none\" fill=\"black\">" + axis.labels[t] +
                   "</text>\n";
        }
        svg += "</g>\n<g class=\"x-grid\" stroke=\"#eeeeee\">\n";
        for (const Tick &tick : ticks)
            svg += line(x(tick.position), top, x(tick.position), base);
        svg += "</g>\n<g class=\"frame\" stroke=\"black\">\n";
        svg += line(left, top, left, base);
        svg += line(left, base, left + plotWidth, base);
        svg += "</g>\n";
        if (!panel.extent.any())
            svg += "<text class=\"empty\" x=\"" + num(left + plotWidth / 2) + "\" y=\"" +
                   num(top + panelHeight / 2) +
                   "\" text-anchor=\"middle\" fill=\"#555555\">no values to draw</text>\n";

        // One path per series; a missing value ends a segment and the next
        // value starts a new one. A value alone between gaps is a marker.
        for (std::size_t s : panel.lines) {
            const std::vector<double> &values = chart.lines[s].values;
            const std::size_t count = std::min(values.size(), n);
            const auto present = [&](std::size_t i) { return i < count && drawable(values[i]); };
            std::string d, markers;
            for (std::size_t i = 0; i < count; ++i) {
                if (!present(i))
                    continue;
                const bool joinsBefore = i > 0 && present(i - 1);
                const bool joinsAfter = present(i + 1);
                const double px = x(static_cast<double>(i) + 0.5);
                const double py = y(values[i]);
                if (!joinsBefore && !joinsAfter) {
                    markers += "<circle class=\"marker\" data-series=\"" + std::to_string(s) +
                               "\" cx=\"" + num(px) + "\" cy=\"" + num(py) +
                               "\" r=\"2.5\" fill=\"" + colourOf(s) + "\"/>\n";
                    continue;
                }
                d += (d.empty() ? "" : " ") + std::string(joinsBefore ? "L" : "M") + num(px) + " " +
                     num(py);
            }
            svg += "<path class=\"series\" data-series=\"" + std::to_string(s) +
                   "\" fill=\"none\" stroke=\"" + colourOf(s) + "\"" + dashOf(s) +
                   " stroke-width=\"1.5\" stroke-linejoin=\"round\" d=\"" + d + "\"><title>" +
                   xmlEscape(chart.lines[s].label) + "</title></path>\n" + markers;
        }
        svg += "</g>\n";
    }

    // The shared date axis, under the last panel.
    svg += "<g class=\"x-axis\" stroke=\"black\">\n";
    for (const Tick &tick : ticks) {
        const double tx = x(tick.position);
        svg += line(tx, bottom, tx, bottom + 6);
        svg += "<text x=\"" + num(tx) + "\" y=\"" + num(bottom + 20) +
               "\" text-anchor=\"middle\" stroke=\"none\" fill=\"black\">" + xmlEscape(tick.label) +
               "</text>\n";
    }
    svg += "</g>\n";

    // Legend below the date axis; the series that are not drawn on rows of
    // their own, saying why.
    svg += "<g class=\"legend\">\n";
    for (std::size_t s = 0; s < chart.lines.size(); ++s) {
        const double lx =
            left + static_cast<double>(s % kLegendColumns) * (plotWidth / kLegendColumns);
        const double ly = bottom + 45 + kLegendRow * static_cast<double>(s / kLegendColumns);
        svg += "<line x1=\"" + num(lx) + "\" y1=\"" + num(ly) + "\" x2=\"" + num(lx + 24) +
               "\" y2=\"" + num(ly) + "\" stroke=\"" + colourOf(s) + "\"" + dashOf(s) +
               " stroke-width=\"3\"/>\n";
        svg += "<text x=\"" + num(lx + 30) + "\" y=\"" + num(ly + 4) + "\">" +
               xmlEscape(chart.lines[s].label) + "</text>\n";
    }
    for (std::size_t k = 0; k < chart.setAside.size(); ++k) {
        const double ly = bottom + 45 + kLegendRow * static_cast<double>(legendRows + k);
        svg += "<line x1=\"" + num(left) + "\" y1=\"" + num(ly) + "\" x2=\"" + num(left + 24) +
               "\" y2=\"" + num(ly) +
               "\" stroke=\"#999999\" stroke-width=\"3\" stroke-dasharray=\"3 3\"/>\n";
        svg += "<text class=\"set-aside\" x=\"" + num(left + 30) + "\" y=\"" + num(ly + 4) +
               "\" fill=\"#555555\" font-style=\"italic\">" + xmlEscape(chart.setAside[k]) +
               "</text>\n";
    }
    svg += "</g>\n</svg>\n";
    return svg;
}

} // namespace kovra
