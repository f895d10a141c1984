// A line chart of fetched series as an SVG document: a shared date axis with
// ticks on period boundaries, one value axis per panel, a legend, one path
// per series with gaps at missing values and a marker for a lone value.
#ifndef KOVRA_SVG_H
#define KOVRA_SVG_H

#include <string>
#include <vector>

namespace kovra {

struct ChartLine {
    std::string label;
    std::string unit;           // the series' unit text; may be empty
    std::vector<double> values; // one per date; missing and non-finite values leave gaps
};

// One panel for all series, one stacked panel per scale, or panels when the
// series' magnitudes differ by more than a factor of ten.
enum class ChartLayout { Auto, Single, Panels };

struct Chart {
    std::string title;
    int frequency = 0;      // frequency code of the dates; 0 when unknown
    std::vector<int> dates; // calendar dates (YYYYMMDD) of the periods' last days
    std::vector<ChartLine> lines;
    std::vector<std::string> setAside; // legend lines for series that are not drawn
    ChartLayout layout = ChartLayout::Auto;
};

std::string renderSvg(const Chart &chart);

// Text and attribute values with &, <, > and " escaped.
std::string xmlEscape(const std::string &text);

} // namespace kovra

#endif
