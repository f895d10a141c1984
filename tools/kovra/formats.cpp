#include "formats.h"

#include "failure.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kovra {

namespace {

struct NamedFrequency {
    const char *name;
    int code;
};

const NamedFrequency kFrequencies[] = {
    {"annual", 10},
    {"quarterly", 30},
    {"monthly", 40},
    {"weekly-mon", 51},
    {"weekly-tue", 52},
    {"weekly-wed", 53},
    {"weekly-thu", 54},
    {"weekly-fri", 55},
    {"weekly-sat", 56},
    {"weekly-sun", 57},
    {"daily", 60},
    {"business", 61},
    {"weekly", kWeeklyGroup},
    {"lowest", kLowestFrequency},
};

bool allDigits(const std::string &s, std::size_t from, std::size_t to) {
    if (from >= to || to > s.size())
        return false;
    for (std::size_t i = from; i < to; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

int digits(const std::string &s, std::size_t from, std::size_t to) {
    int value = 0;
    for (std::size_t i = from; i < to; ++i)
        value = value * 10 + (s[i] - '0');
    return value;
}

[[noreturn]] void badDate(const std::string &text) {
    usageError("bad date '" + text +
               "' (use 2001, 2001Q3, 2001-07, 2001-07-15 or a period date such as 20013)");
}

} // namespace

bool isMissing(double value) {
    return !std::isfinite(value) || value == KOVRAP_MISSING;
}

int parseFrequency(const Api &api, const std::string &text) {
    std::string lower = text;
    for (char &c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (const NamedFrequency &f : kFrequencies)
        if (lower == f.name)
            return f.code;
    if (allDigits(text, 0, text.size()) && text.size() <= 4) {
        const int code = digits(text, 0, text.size());
        // The library's own conversion tells which codes it knows: -1 for
        // any other.
        if (code == kLowestFrequency || api.ymdToTqvdate(20000101, code) != -1)
            return code;
    }
    usageError("unknown frequency '" + text +
               "' (use annual, quarterly, monthly, weekly, weekly-mon .. weekly-sun, daily, "
               "business, lowest or a code)");
}

std::string frequencyName(int code) {
    for (const NamedFrequency &f : kFrequencies)
        if (f.code == code && code != kLowestFrequency)
            return f.name;
    return "code " + std::to_string(code);
}

bool isWeekly(int code) {
    return code >= 51 && code <= 57;
}

std::string weekdayOf(int code) {
    static const char *const kDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                        "Friday", "Saturday", "Sunday"};
    return isWeekly(code) ? kDays[code - 51] : frequencyName(code);
}

DaySpan parseDate(const Api &api, const std::string &text) {
    if (!allDigits(text, 0, 4))
        badDate(text);
    const int year = digits(text, 0, 4);
    if (year == 0) // the calendar has no year 0 for people; 0001 is year 1
        badDate(text);
    const std::size_t n = text.size();
    if (n == 4)
        return {year * 10000 + 101, api.tqvdateToYmd(year, 10)};

    // A quarter: 2001Q3 or 20013.
    const bool quarterForm =
        (n == 6 && (text[4] == 'Q' || text[4] == 'q') && allDigits(text, 5, 6)) ||
        (n == 5 && allDigits(text, 4, 5));
    if (quarterForm) {
        const int quarter = text[n - 1] - '0';
        if (quarter < 1 || quarter > 4)
            badDate(text);
        return {year * 10000 + (3 * quarter - 2) * 100 + 1,
                api.tqvdateToYmd(year * 10 + quarter, 30)};
    }

    // A month (2001-07, 200107) or a day (2001-07-15, 20010715).
    int month = 0;
    int day = 0;
    if (n == 7 && text[4] == '-' && allDigits(text, 5, 7)) {
        month = digits(text, 5, 7);
    } else if (n == 6 && allDigits(text, 4, 6)) {
        month = digits(text, 4, 6);
    } else if (n == 10 && text[4] == '-' && text[7] == '-' && allDigits(text, 5, 7) &&
               allDigits(text, 8, 10)) {
        month = digits(text, 5, 7);
        day = digits(text, 8, 10);
        if (day == 0)
            badDate(text);
    } else if (n == 8 && allDigits(text, 4, 8)) {
        month = digits(text, 4, 6);
        day = digits(text, 6, 8);
        if (day == 0)
            badDate(text);
    } else {
        badDate(text);
    }
    if (month < 1 || month > 12)
        badDate(text);
    const int monthEnd = api.tqvdateToYmd(year * 100 + month, 40);
    if (day == 0)
        return {year * 10000 + month * 100 + 1, monthEnd};
    if (day > monthEnd % 100)
        badDate(text);
    const int date = year * 10000 + month * 100 + day;
    return {date, date};
}

std::string periodLabel(int calendarDate, int frequency) {
    if (calendarDate <= 0)
        return "-";
    const int year = calendarDate / 10000;
    const int month = calendarDate / 100 % 100;
    char text[32];
    switch (frequency) {
    case 10:
        std::snprintf(text, sizeof text, "%04d", year);
        break;
    case 30:
        std::snprintf(text, sizeof text, "%04dQ%d", year, (month + 2) / 3);
        break;
    case 40:
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
