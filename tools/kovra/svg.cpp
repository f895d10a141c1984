#include "svg.h"

#include "formats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kovra {

namespace {

constexpr double kWidth = 960;
constexpr double kLeft = 80;
constexpr double kRight = 30;
constexpr double kTop = 50;
constexpr double kPlotHeight = 340;
constexpr double kLegendRow = 22;
constexpr std::size_t kLegendColumns = 4;

const char *const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e",
                                "#9467bd", "#8c564b", "#e377c2", "#17becf"};

std::string num(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

// 1, 2 or 5 times a power of ten, at least `raw`.
double niceStep(double raw) {
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw)
            return m * power;
    return 10.0 * power;
}

struct Tick {
    std::size_t slot;
    std::string label;
};

// Ticks at the first slot of years (or of months, or of every few slots for
// short windows), with a step that leaves at most ten of them.
std::vector<Tick> dateTicks(const std::vector<int> &dates) {
    const std::size_t n = dates.size();
    std::vector<std::size_t> years, months;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == 0 || dates[i] / 10000 != dates[i - 1] / 10000)
            years.push_back(i);
        if (i == 0 || dates[i] / 100 != dates[i - 1] / 100)
            months.push_back(i);
    }
    std::vector<Tick> ticks;
    if (years.size() >= 3) {
        int step = 1;
        for (int s : {1, 2, 5, 10, 20, 25, 50, 100, 200, 500, 1000}) {
            step = s;
            if (years.size() / static_cast<std::size_t>(s) <= 10)
                break;
        }
        for (std::size_t i : years)
            if (dates[i] / 10000 % step == 0)
                ticks.push_back({i, std::to_string(dates[i] / 10000)});
        return ticks;
    }
    if (months.size() >= 3) {
        int step = 1;
        for (int s : {1, 2, 3, 6, 12}) {
            step = s;
            if (months.size() / static_cast<std::size_t>(s) <= 10)
                break;
        }
        for (std::size_t i : months)
            if ((dates[i] / 100 % 100 - 1) % step == 0)
                ticks.push_back({i, periodLabel(dates[i], 40)});
        return ticks;
    }
    const std::size_t step = std::max<std::size_t>(1, (n + 7) / 8);
    for (std::size_t i = 0; i < n; i += step)
        ticks.push_back({i, isoDate(dates[i])});
    return ticks;
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
    const double plotWidth = kWidth - kLeft - kRight;
    const double bottom = kTop + kPlotHeight;
    const std::size_t legendRows = (chart.lines.size() + kLegendColumns - 1) / kLegendColumns;
    const double height = bottom + 50 + kLegendRow * static_cast<double>(legendRows) + 10;

    double low = HUGE_VAL, high = -HUGE_VAL;
    for (const ChartLine &line : chart.lines)
        for (double v : line.values)
            if (!isMissing(v)) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
    if (low > high) { // nothing to draw: an empty frame from 0 to 1
        low = 0;
        high = 1;
    }
    if (low == high) {
        const double pad = low == 0 ? 1 : std::fabs(low) * 0.1;
        low -= pad;
        high += pad;
    }
    const double step = niceStep((high - low) / 5);
    const double axisLow = std::floor(low / step) * step;
    const double axisHigh = std::ceil(high / step) * step;

    const auto x = [&](std::size_t slot) {
        return n <= 1 ? kLeft + plotWidth / 2
                      : kLeft + plotWidth * static_cast<double>(slot) / static_cast<double>(n - 1);
    };
    const auto y = [&](double v) {
        return bottom - kPlotHeight * (v - axisLow) / (axisHigh - axisLow);
    };

    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + num(kWidth) + "\" height=\"" +
           num(height) + "\" viewBox=\"0 0 " + num(kWidth) + " " + num(height) +
           "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg += "<rect x=\"0\" y=\"0\" width=\"" + num(kWidth) + "\" height=\"" + num(height) +
           "\" fill=\"white\"/>\n";
    svg += "<text x=\"" + num(kWidth / 2) + "\" y=\"28\" text-anchor=\"middle\" font-size=\"15\">" +
           xmlEscape(chart.title) + "</text>\n";

    // Value axis with grid lines.
    svg += "<g class=\"y-axis\" stroke=\"#cccccc\">\n";
    for (double v = axisLow; v <= axisHigh + step / 2; v += step) {
        const double value = std::fabs(v) < step / 1e6 ? 0 : v;
        char label[32];
        std::snprintf(label, sizeof label, "%g", value);
        svg += "<line x1=\"" + num(kLeft) + "\" y1=\"" + num(y(value)) + "\" x2=\"" +
               num(kLeft + plotWidth) + "\" y2=\"" + num(y(value)) + "\"/>\n";
        svg += "<text x=\"" + num(kLeft - 8) + "\" y=\"" + num(y(value) + 4) +
               "\" text-anchor=\"end\" stroke=\"none\" fill=\"black\">" + label + "</text>\n";
    }
    svg += "</g>\n";

    // Date axis.
    svg += "<g class=\"x-axis\" stroke=\"black\">\n";
    svg += "<line x1=\"" + num(kLeft) + "\" y1=\"" + num(bottom) + "\" x2=\"" +
           num(kLeft + plotWidth) + "\" y2=\"" + num(bottom) + "\"/>\n";
    svg += "<line x1=\"" + num(kLeft) + "\" y1=\"" + num(kTop) + "\" x2=\"" + num(kLeft) +
           "\" y2=\"" + num(bottom) + "\"/>\n";
    for (const Tick &tick : dateTicks(chart.dates)) {
        const double tx = x(tick.slot);
        svg += "<line x1=\"" + num(tx) + "\" y1=\"" + num(bottom) + "\" x2=\"" + num(tx) +
               "\" y2=\"" + num(bottom + 6) + "\"/>\n";
        svg += "<text x=\"" + num(tx) + "\" y=\"" + num(bottom + 20) +
               "\" text-anchor=\"middle\" stroke=\"none\" fill=\"black\">" + xmlEscape(tick.label) +
               "</text>\n";
    }
    svg += "</g>\n";

    // One path per series; a missing value ends a segment, the next value
    // starts a new one. A lone value is a dot (a zero-length round-capped line).
    for (std::size_t s = 0; s < chart.lines.size(); ++s) {
        const ChartLine &line = chart.lines[s];
        std::string d;
        bool drawing = false;
        for (std::size_t i = 0; i < line.values.size() && i < n; ++i) {
            if (isMissing(line.values[i])) {
                drawing = false;
                continue;
            }
            const std::string point = num(x(i)) + " " + num(y(line.values[i]));
            const bool lone =
                (i + 1 >= n || i + 1 >= line.values.size() || isMissing(line.values[i + 1]));
            if (!drawing) {
                d += (d.empty() ? "M" : " M") + point;
                if (lone)
                    d += " l0 0";
            } else {
                d += " L" + point;
            }
            drawing = true;
        }
        const char *colour = kColours[s % (sizeof kColours / sizeof kColours[0])];
        svg += "<path class=\"series\" fill=\"none\" stroke=\"" + std::string(colour) +
               "\" stroke-width=\"1.5\" stroke-linecap=\"round\" stroke-linejoin=\"round\" d=\"" +
               d + "\"><title>" + xmlEscape(line.label) + "</title></path>\n";
    }

    // Legend below the date axis.
    svg += "<g class=\"legend\">\n";
    for (std::size_t s = 0; s < chart.lines.size(); ++s) {
        const double lx =
            kLeft + static_cast<double>(s % kLegendColumns) * (plotWidth / kLegendColumns);
        const double ly = bottom + 45 + kLegendRow * static_cast<double>(s / kLegendColumns);
        const char *colour = kColours[s % (sizeof kColours / sizeof kColours[0])];
        svg += "<line x1=\"" + num(lx) + "\" y1=\"" + num(ly) + "\" x2=\"" + num(lx + 24) +
               "\" y2=\"" + num(ly) + "\" stroke=\"" + colour + "\" stroke-width=\"3\"/>\n";
        svg += "<text x=\"" + num(lx + 30) + "\" y=\"" + num(ly + 4) + "\">" +
               xmlEscape(chart.lines[s].label) + "</text>\n";
    }
    svg += "</g>\n</svg>\n";
    return svg;
}

} // namespace kovra
