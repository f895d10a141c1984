// Building a series from its manifest entry and its CSV table: each row is
// dated, rows of a higher frequency are averaged into the stored periods, and
// the series is checked as the database file will hold it. The dates are the
// stand-in engine's period arithmetic (periods.h), which the libraries use.
#include "convert.h"
#include "source.h"

#include "dbfile.h"
#include "input_file.h"
#include "periods.h"
#include "tokens.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>

namespace tqvconvert {

namespace {

using tqvs::parseInt;
using tqvs::trim;

enum class Number { Ok, NotANumber, OutOfRange };

Number parseDouble(std::string_view token, double &value) {
    if (!token.empty() && token.front() == '+')
        token.remove_prefix(1);
    if (token.empty())
        return Number::NotANumber;
    const char *end = token.data() + token.size();
    const auto r = std::from_chars(token.data(), end, value, std::chars_format::general);
    if (r.ptr != end)
        return Number::NotANumber;
    if (r.ec == std::errc::result_out_of_range)
        return Number::OutOfRange;
    if (r.ec != std::errc() || !std::isfinite(value))
        return Number::NotANumber;
    return Number::Ok;
}

// How a number that did not read is described in a message.
std::string numberProblem(Number n) {
    return n == Number::OutOfRange ? "is out of the range of a double" : "is not a number";
}

// YYYY-MM-DD, years 1 to 9999, as a day number of the engine's calendar.
bool parseIsoDate(std::string_view s, long long &day) {
    if (s.size() != 10 || s[4] != '-' || s[7] != '-')
        return false;
    int y = 0, m = 0, d = 0;
    if (!parseInt(s.substr(0, 4), y) || !parseInt(s.substr(5, 2), m) ||
        !parseInt(s.substr(8, 2), d))
        return false;
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
        if (s[i] < '0' || s[i] > '9')
            return false;
    if (y < 1 || m < 1 || m > 12 || d < 1)
        return false;
    // The engine carries a day past its month's end into the next month;
    // a date must name a day of its own month.
    const long long first = tqvs::dayNumber(y, m, 1);
    if (d > tqvs::dayNumber(y, m + 1, 1) - first)
        return false;
    day = first + (d - 1);
    return true;
}

// Index of the period of a decimal-year time: 1960.25 is 1960 Q2 and
// 1960 + 1/12 is February 1960. R's times carry floating-point noise, so the
// time is rounded to the nearest period and must lie close to it.
bool periodOfTime(double t, int f, long long &index, std::string &problem) {
    if (!(t >= 1 && t < 10000)) {
        problem = "is outside the years 1 to 9999";
        return false;
    }
    const int per = f == tqvs::kAnnual ? 1 : f == tqvs::kQuarterly ? 4 : 12;
    const double scaled = t * per;
    const double k = std::round(scaled);
    if (std::fabs(scaled - k) > 0.01) {
        problem = f == tqvs::kAnnual      ? "is not a whole year"
                  : f == tqvs::kQuarterly ? "is not the start of a quarter"
                                          : "is not the start of a month";
        return false;
    }
    const auto periods = static_cast<int>(k);
    const int year = periods / per;
    const int firstMonth = periods % per * (12 / per) + 1;
    // The period that holds the first day of the time's period.
    index = tqvs::periodCeilDay(tqvs::dayNumber(year, firstMonth, 1), f);
    return true;
}

// Empty when the period with this index has a date in the years 1 to 9999,
// else the reason, to follow "row " in a message.
std::string outOfYears(long long index, int f) {
    const int date = tqvs::periodDate(index, f);
    const std::string problem = tqvs::periodDateProblem(date, f);
    if (problem.empty())
        return {};
    return "lies outside the years 1 to 9999 (period " + std::to_string(date) + " of frequency " +
           std::to_string(f) + ")";
}

std::string columnList(const std::vector<std::string> &header) {
    std::string list;
    for (const std::string &name : header)
        list += (list.empty() ? "" : ", ") + ("'" + name + "'");
    return list;
}

bool findColumn(const CsvTable &table, const std::string &name, const std::string &origin,
                std::size_t &index, std::string &error) {
    for (std::size_t i = 0; i < table.header.size(); ++i)
        if (table.header[i] == name) {
            index = i;
            return true;
        }
    error =
        where(origin, 1) + "no column '" + name + "' (columns: " + columnList(table.header) + ")";
    return false;
}

// The rows that fall into one period of the stored series.
struct Cell {
    std::vector<double> values; // present values
    int rows = 0;               // rows in the period
    int line = 0;               // first row's line
};

// Mean of a period's present values. The plain sum keeps the exact result
// of the usual cases (and the sign of a lone -0); when it overflows, as two
// values near the largest double do, the values are scaled down first.
double meanOf(const std::vector<double> &values) {
    double sum = values.front();
    for (std::size_t i = 1; i < values.size(); ++i)
        sum += values[i];
    const auto n = static_cast<double>(values.size());
    if (std::isfinite(sum))
        return sum / n;
    // Scaling by a power of two is exact, and 2^k >= n keeps the scaled sum
    // within the range.
    int k = 1;
    while (std::ldexp(1.0, k) < n)
        ++k;
    double scaled = 0;
    for (double v : values)
        scaled += std::ldexp(v, -k);
    return std::ldexp(scaled / n, k);
}

} // namespace

bool buildSeries(const SeriesEntry &entry, const CsvTable &table, const std::string &origin,
                 tqvs::Series &out, std::string &error) {
    const int rows = entry.rows == 0 ? entry.frequency : entry.rows;
    const int f = entry.frequency;
    std::size_t valueColumn = 0;
    std::size_t dateColumn = 0;
    if (!findColumn(table, entry.column, origin, valueColumn, error))
        return false;
    if (entry.dating != Dating::Start &&
        !findColumn(table, entry.dateColumn, origin, dateColumn, error))
        return false;

    // Target period index -> accumulated values, in period order.
    std::map<long long, Cell> cells;
    long long previousRow = 0;
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const std::vector<std::string> &row = table.rows[r];
        const std::string at = where(origin, table.lines[r]);
        long long rowIndex = 0;
        if (entry.dating == Dating::Start) {
            rowIndex = tqvs::periodCeil(entry.start, rows) + static_cast<long long>(r);
        } else {
            const std::string &stamp = row[dateColumn];
            if (entry.dating == Dating::Time) {
                double t = 0;
                std::string problem;
                const Number n = parseDouble(stamp, t);
                if (n != Number::Ok) {
                    error = at + "time '" + stamp + "' " + numberProblem(n);
                    return false;
                }
                if (!periodOfTime(t, rows, rowIndex, problem)) {
                    error = at + "time '" + stamp + "' " + problem;
                    return false;
                }
            } else {
                long long day = 0;
                if (!parseIsoDate(stamp, day)) {
                    error = at + "date '" + stamp + "' is not a date YYYY-MM-DD";
                    return false;
                }
                // The period that holds the day; a weekend day belongs to no
                // business day, so the one found ends on another day.
                rowIndex = tqvs::periodCeilDay(day, rows);
                if (rows == tqvs::kBusiness && tqvs::periodEndDay(rowIndex, rows) != day) {
                    error = at + "date '" + stamp + "' is not a business day";
                    return false;
                }
            }
        }
        if (r > 0 && rowIndex <= previousRow) {
            error = at + "row is not later than the row before it";
            return false;
        }
        previousRow = rowIndex;
        // Consecutive rows, or a week that ends in the next year, can run
        // past the last year a period date can hold.
        std::string problem = outOfYears(rowIndex, rows);
        if (!problem.empty()) {
            error = at + "row " + problem;
            return false;
        }

        // A row of a higher frequency goes into the period that holds it
        // whole, the one that holds its last day.
        long long target = rowIndex;
        if (rows != f) {
            target = tqvs::periodCeilDay(tqvs::periodEndDay(rowIndex, rows), f);
            problem = outOfYears(target, f);
            if (!problem.empty()) {
                error = at + "row falls into a period that " + problem;
                return false;
            }
        }

        const std::string_view text = trim(row[valueColumn]);
        double value = tqvs::kMissing;
        const bool present = !text.empty() && text != "NA";
        if (present) {
            const Number n = parseDouble(text, value);
            if (n != Number::Ok) {
                error = at + "value '" + std::string(text) + "' " + numberProblem(n);
                return false;
            }
            if (value == tqvs::kMissing) {
                error = at + "value '" + std::string(text) +
                        "' equals the missing value 1e9 and would read as a missing observation";
                return false;
            }
        }
        Cell &cell = cells[target];
        if (cell.rows == 0)
            cell.line = table.lines[r];
        ++cell.rows;
        if (present)
            cell.values.push_back(value);
    }

    tqvs::Series s;
    s.code = entry.code;
    s.frequency = f;
    for (int i = 0; i < 7; ++i)
        s.texts[i] = entry.texts[i];
    if (!cells.empty()) {
        const long long first = cells.begin()->first;
        const long long last = cells.rbegin()->first;
        s.first = tqvs::periodDate(first, f);
        s.last = tqvs::periodDate(last, f);
        s.values.assign(static_cast<std::size_t>(last - first + 1), tqvs::kMissing);
        for (const auto &[index, cell] : cells) {
            if (cell.values.empty())
                continue;
            const double mean = meanOf(cell.values);
            // A mean of several rows can still land on the missing value.
            if (mean == tqvs::kMissing || !std::isfinite(mean)) {
                error = where(origin, cell.line) + "the mean of the period from this row on " +
                        (mean == tqvs::kMissing ? "equals the missing value 1e9"
                                                : "is out of the range of a double");
                return false;
            }
            s.values[static_cast<std::size_t>(index - first)] = mean;
        }
        // Attribute 1: the series has observations. Attribute 6: a range of
        // a lower frequency takes the series in, averaged, instead of
        // setting it aside (which 0 and 9 ask for).
        s.attributes[0] = 1;
        s.attributes[5] = 1;
    }
    if (entry.hasAttributes)
        for (int i = 0; i < 6; ++i)
            s.attributes[i] = entry.attributes[i];
    const std::string problem = tqvs::checkSeries(s);
    if (!problem.empty()) {
        error = origin + ": series '" + entry.code + "': " + problem;
        return false;
    }
    out = std::move(s);
    return true;
}

bool readFile(const std::string &path, std::string &text, std::string &error,
              const tqvs::ReadLimits &limits) {
    kovrap_tools::InputFile file;
    const kovrap_tools::InputProblem problem = file.open(std::filesystem::u8path(path));
    if (problem != kovrap_tools::InputProblem::None) {
        error = path + ": " + kovrap_tools::describe(problem);
        return false;
    }
    std::string reading;
    if (!tqvs::readBounded(file.stream(), limits, text, reading)) {
        error = path + ": " + reading;
        return false;
    }
    return true;
}

std::string csvPath(const SeriesEntry &entry, const std::string &dataDir) {
    std::filesystem::path path = std::filesystem::u8path(entry.file);
    if (path.is_relative() && !dataDir.empty())
        path = std::filesystem::u8path(dataDir) / path;
    return path.u8string();
}

bool buildDatabase(const Manifest &manifest, const std::string &dataDir, tqvs::Database &out,
                   std::string &error) {
    tqvs::Database db;
    db.name = manifest.database;
    std::map<std::string, CsvTable> tables; // one read per file
    for (const SeriesEntry &entry : manifest.series) {
        const std::string name = csvPath(entry, dataDir);
        auto found = tables.find(name);
        if (found == tables.end()) {
            std::string text;
            CsvTable table;
            if (!readFile(name, text, error) || !parseCsv(text, name, table, error))
                return false;
            found = tables.emplace(name, std::move(table)).first;
        }
        tqvs::Series series;
        if (!buildSeries(entry, found->second, name, series, error))
            return false;
        db.series.push_back(std::move(series));
    }
    out = std::move(db);
    return true;
}

} // namespace tqvconvert
