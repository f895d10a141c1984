#include "formats.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kovra {

bool isMissing(double value) {
    return !std::isfinite(value) || value == KOVRAP_MISSING;
}

std::string periodLabel(int calendarDate, int frequency) {
    if (calendarDate <= 0)
        return "-";
    const int year = calendarDate / 10000;
    const int month = calendarDate / 100 % 100;
    char text[32];
    switch (frequency) {
    case KOVRAP_FREQ_ANNUAL:
        std::snprintf(text, sizeof text, "%04d", year);
        break;
    case KOVRAP_FREQ_QUARTERLY:
        std::snprintf(text, sizeof text, "%04dQ%d", year, (month + 2) / 3);
        break;
    case KOVRAP_FREQ_MONTHLY:
        std::snprintf(text, sizeof text, "%04d-%02d", year, month);
        break;
    default:
        return isoDate(calendarDate);
    }
    return text;
}

std::string isoDate(int calendarDate) {
    if (calendarDate <= 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", calendarDate / 10000,
                  calendarDate / 100 % 100, calendarDate % 100);
    return text;
}

std::string fixedNumber(double value, int decimals) {
    char text[64];
    const int d = std::clamp(decimals, 0, 9);
    // Values beyond 1e40 do not fit a table cell; they go in exponent form,
    // with six significant digits at least: the decimals of the series count
    // after the units, which the mantissa has none of.
    if (std::fabs(value) >= 1e40)
        std::snprintf(text, sizeof text, "%.*e", std::max(d, 5), value);
    else
        std::snprintf(text, sizeof text, "%.*f", d, value);
    return text;
}

std::string shortestNumber(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string csvField(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

Table::Table(std::vector<std::string> header, std::vector<bool> rightAligned)
    : header_(std::move(header)), right_(std::move(rightAligned)) {
    right_.resize(header_.size(), false);
}

void Table::add(std::vector<std::string> row) {
    row.resize(header_.size());
    rows_.push_back(std::move(row));
}

std::string Table::render() const {
    std::vector<std::size_t> width(header_.size());
    for (std::size_t c = 0; c < header_.size(); ++c) {
        width[c] = header_[c].size();
        for (const auto &row : rows_)
            width[c] = std::max(width[c], row[c].size());
    }
    std::string out;
    const auto line = [&](const std::vector<std::string> &cells) {
        std::string text;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (c > 0)
                text += "  ";
            const std::string pad(width[c] - cells[c].size(), ' ');
            text += right_[c] ? pad + cells[c] : cells[c] + pad;
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        out += text + "\n";
    };
    line(header_);
    for (const auto &row : rows_)
        line(row);
    return out;
}

} // namespace kovra
