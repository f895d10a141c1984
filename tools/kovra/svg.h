// A line chart of fetched series as an SVG document: axes, date ticks, a
// legend, one path per series with gaps at missing values.
#ifndef KOVRA_SVG_H
#define KOVRA_SVG_H

#include <string>
#include <vector>

namespace kovra {

struct ChartLine {
    std::string label;
    std::vector<double> values; // one per date; missing values leave gaps
};

struct Chart {
    std::string title;
    std::vector<int> dates; // calendar dates (YYYYMMDD), one per slot
    std::vector<ChartLine> lines;
};

std::string renderSvg(const Chart &chart);

// Text and attribute values with &, <, > and " escaped.
std::string xmlEscape(const std::string &text);

} // namespace kovra

#endif
