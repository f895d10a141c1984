#include "convert.h"

#include "dbfile.h"
#include "output_file.h"
#include "periods.h"
#include "tokens.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string_view>
#include <system_error>

namespace tqvconvert {

namespace {

using tqvs::isBlank;
using tqvs::parseInt;
using tqvs::splitKeyword;
using tqvs::splitTokens;
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

// UTF-8 byte-order mark, as spreadsheet programs start their CSV files.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string where(const std::string &origin, int line) {
    return origin + ":" + std::to_string(line) + ": ";
}

// ---- calendar ------------------------------------------------------------

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int monthLength(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

bool isCoarse(int f) {
    return f == tqvs::kAnnual || f == tqvs::kQuarterly || f == tqvs::kMonthly;
}

// YYYY-MM-DD, years 1 to 9999, as the int YYYYMMDD.
bool parseIsoDate(std::string_view s, int &date) {
    if (s.size() != 10 || s[4] != '-' || s[7] != '-')
        return false;
    int y = 0, m = 0, d = 0;
    if (!parseInt(s.substr(0, 4), y) || !parseInt(s.substr(5, 2), m) ||
        !parseInt(s.substr(8, 2), d))
        return false;
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
        if (s[i] < '0' || s[i] > '9')
            return false;
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > monthLength(y, m))
        return false;
    date = y * 10000 + m * 100 + d;
    return true;
}

// Period date, in frequency f, of the period that holds a calendar date.
int periodOfDay(int ymd, int f) {
    const int y = ymd / 10000;
    const int m = ymd / 100 % 100;
    if (f == tqvs::kAnnual)
        return y;
    if (f == tqvs::kQuarterly)
        return y * 10 + (m + 2) / 3;
    if (f == tqvs::kMonthly)
        return y * 100 + m;
    return tqvs::periodDate(tqvs::periodCeil(ymd, f), f);
}

// A calendar day inside a period: its last day for day-based codes, a day
// of its last month for the others. Enough to find the coarser period that
// holds the whole period.
int dayInPeriod(int periodDate, int f) {
    if (f == tqvs::kAnnual)
        return periodDate * 10000 + 1231;
    if (f == tqvs::kQuarterly)
        return periodDate / 10 * 10000 + periodDate % 10 * 300 + 1;
    if (f == tqvs::kMonthly)
        return periodDate * 100 + 1;
    return periodDate;
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

// Period date of a decimal-year time: 1960.25 is 1960 Q2 and 1960 + 1/12
// is February 1960. R's times carry floating-point noise, so the time is
// rounded to the nearest period and must lie close to it.
bool periodOfTime(double t, int f, int &date, std::string &problem) {
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
    const auto index = static_cast<int>(k);
    const int year = index / per;
    const int slot = index % per + 1;
    date = f == tqvs::kAnnual ? year : f == tqvs::kQuarterly ? year * 10 + slot : year * 100 + slot;
    return true;
}

// ---- manifest --------------------------------------------------------------

const char *const kLoneCarriageReturn =
    "carriage return inside a line (CR-only line ends?); save the file with LF or CRLF line ends";

class ManifestReader {
  public:
    ManifestReader(const std::string &text, const std::string &origin)
        : text_(text), origin_(origin) {}

    bool run(Manifest &out, std::string &error) {
        std::size_t pos = std::string_view(text_).substr(0, 3) == kByteOrderMark ? 3 : 0;
        std::string_view line;
        bool ok = true;
        while (ok && tqvs::nextLine(text_, pos, line)) {
            ++line_;
            ok = parseLine(line);
        }
        if (ok && inSeries_) {
            line_ = current_.line;
            ok = fail("series '" + current_.code + "' has no 'end'");
        }
        if (ok && manifest_.database.empty())
            ok = fail("no 'database NAME' line");
        if (!ok) {
            error = error_;
            return false;
        }
        out = std::move(manifest_);
        return true;
    }

  private:
    bool fail(const std::string &message) {
        error_ = where(origin_, line_ == 0 ? 1 : line_) + message;
        return false;
    }

    bool parseLine(std::string_view line) {
        for (char ch : line) {
            if (ch == '\r')
                return fail(kLoneCarriageReturn);
            if ((static_cast<unsigned char>(ch) < 0x20 && ch != '\t') || ch == 0x7F)
                return fail("control character in line");
        }
        const std::string_view body = trim(line);
        if (body.empty() || body.front() == '#')
            return true;
        const auto [keyword, after] = splitKeyword(body);
        const std::string_view rest = trim(after);
        if (!inSeries_)
            return topLevel(keyword, rest);
        return field(keyword, rest);
    }

    bool topLevel(std::string_view keyword, std::string_view rest) {
        if (keyword == "database") {
            if (!manifest_.database.empty())
                return fail("'database' given twice");
            if (splitTokens(rest).size() != 1)
                return fail("'database' takes one name without blanks");
            if (rest.size() > tqvs::kMaxDatabaseName)
                return fail("database name is longer than 255 bytes");
            manifest_.database = std::string(rest);
            return true;
        }
        if (keyword == "series") {
            if (manifest_.database.empty())
                return fail("'database NAME' must come before the first series");
            if (splitTokens(rest).size() != 1)
                return fail("'series' takes one code");
            current_ = SeriesEntry{};
            current_.line = line_;
            current_.code = std::string(rest);
            tqvs::Series probe;
            probe.code = current_.code;
            probe.frequency = tqvs::kAnnual;
            const std::string problem = tqvs::checkSeries(probe);
            if (!problem.empty())
                return fail(problem);
            if (!codes_.insert(current_.code).second)
                return fail("series '" + current_.code + "' appears twice");
            seen_.clear();
            inSeries_ = true;
            return true;
        }
        return fail("expected 'database' or 'series', found '" + std::string(keyword) + "'");
    }

    bool once(std::string_view keyword) {
        if (!seen_.insert(std::string(keyword)).second)
            return fail("'" + std::string(keyword) + "' given twice in series '" + current_.code +
                        "'");
        return true;
    }

    bool dating(Dating d) {
        if (current_.dating != Dating::None)
            return fail("give only one of 'time', 'date' and 'start'");
        current_.dating = d;
        return true;
    }

    bool frequencyValue(std::string_view keyword, std::string_view rest, int &out) {
        if (!parseInt(rest, out) || !tqvs::knownFrequency(out))
            return fail("'" + std::string(keyword) + "' takes a frequency code (10, 30, 40, " +
                        "51 to 57, 60, 61)");
        return true;
    }

    bool field(std::string_view keyword, std::string_view rest) {
        SeriesEntry &s = current_;
        if (keyword == "end")
            return endSeries();
        if (keyword.size() == 5 && keyword.substr(0, 4) == "text" && keyword[4] >= '1' &&
            keyword[4] <= '7') {
            if (!once(keyword))
                return false;
            const auto i = static_cast<std::size_t>(keyword[4] - '1');
            if (rest.size() + 1 > tqvs::kTextWidths[i])
                return fail(std::string(keyword) + " is longer than " +
                            std::to_string(tqvs::kTextWidths[i] - 1) + " bytes");
            s.texts[i] = std::string(rest);
            return true;
        }
        if (keyword == "series")
            return fail("'series' inside series '" + s.code + "' (missing 'end'?)");
        if (keyword != "file" && keyword != "column" && keyword != "frequency" &&
            keyword != "rows" && keyword != "time" && keyword != "date" && keyword != "start" &&
            keyword != "attributes")
            return fail("unknown keyword '" + std::string(keyword) + "'");
        if (!once(keyword))
            return false;
        if (rest.empty())
            return fail("'" + std::string(keyword) + "' needs a value");
        if (keyword == "file") {
            s.file = std::string(rest);
        } else if (keyword == "column") {
            s.column = std::string(rest);
        } else if (keyword == "frequency") {
            return frequencyValue(keyword, rest, s.frequency);
        } else if (keyword == "rows") {
            return frequencyValue(keyword, rest, s.rows);
        } else if (keyword == "time" || keyword == "date") {
            s.dateColumn = std::string(rest);
            return dating(keyword == "time" ? Dating::Time : Dating::Date);
        } else if (keyword == "start") {
            if (!parseInt(rest, s.start))
                return fail("'start' takes a period date, e.g. 19910701 or 197401");
            return dating(Dating::Start);
        } else { // attributes
            const auto tokens = splitTokens(rest);
            if (tokens.size() != 6)
                return fail("'attributes' takes 6 integers");
            for (std::size_t i = 0; i < 6; ++i)
                if (!parseInt(tokens[i], s.attributes[i]))
                    return fail("attribute " + std::to_string(i + 1) + " is not an integer");
            s.hasAttributes = true;
        }
        return true;
    }

    bool endSeries() {
        SeriesEntry &s = current_;
        if (s.file.empty())
            return fail("series '" + s.code + "' has no 'file'");
        if (s.column.empty())
            return fail("series '" + s.code + "' has no 'column'");
        if (s.frequency == 0)
            return fail("series '" + s.code + "' has no 'frequency'");
        if (s.dating == Dating::None)
            return fail("series '" + s.code + "' needs one of 'time', 'date' and 'start'");
        const int rows = s.rows == 0 ? s.frequency : s.rows;
        if (rows != s.frequency) {
            if (s.frequency == tqvs::kDaily || s.frequency == tqvs::kBusiness ||
                tqvs::frequencyRank(rows) <= tqvs::frequencyRank(s.frequency))
                return fail("rows of frequency " + std::to_string(rows) +
                            " cannot be averaged into frequency " + std::to_string(s.frequency));
        }
        if (s.dating == Dating::Time && !isCoarse(rows))
            return fail("'time' dates only annual, quarterly and monthly rows");
        if (s.dating == Dating::Start) {
            const std::string problem = tqvs::periodDateProblem(s.start, rows);
            if (!problem.empty())
                return fail("start " + problem);
        }
        manifest_.series.push_back(s);
        inSeries_ = false;
        return true;
    }

    const std::string &text_;
    const std::string &origin_;
    std::string error_;
    int line_ = 0;
    bool inSeries_ = false;
    SeriesEntry current_;
    std::set<std::string> seen_;
    std::set<std::string> codes_;
    Manifest manifest_;
};

// ---- CSV -------------------------------------------------------------------

bool splitCsvLine(std::string_view line, std::vector<std::string> &fields) {
    fields.clear();
    std::size_t i = 0;
    while (true) {
        std::string field;
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (true) {
                if (i >= line.size())
                    return false; // unterminated quote
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            while (i < line.size() && isBlank(line[i]))
                ++i;
            if (i < line.size() && line[i] != ',')
                return false; // text after the closing quote
        } else {
            const std::size_t begin = i;
            while (i < line.size() && line[i] != ',')
                ++i;
            field = std::string(trim(line.substr(begin, i - begin)));
            if (field.find('"') != std::string::npos)
                return false;
        }
        fields.push_back(std::move(field));
        if (i >= line.size())
            return true;
        ++i; // the comma
    }
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

bool parseManifest(const std::string &text, const std::string &origin, Manifest &out,
                   std::string &error) {
    ManifestReader reader(text, origin);
    return reader.run(out, error);
}

bool parseCsv(const std::string &text, const std::string &origin, CsvTable &out,
              std::string &error) {
    CsvTable table;
    std::size_t pos = std::string_view(text).substr(0, 3) == kByteOrderMark ? 3 : 0;
    int lineNo = 0;
    std::vector<std::string> fields;
    bool haveHeader = false;
    std::string_view line;
    while (tqvs::nextLine(text, pos, line)) {
        ++lineNo;
        if (line.find('\r') != std::string_view::npos) {
            error = where(origin, lineNo) + kLoneCarriageReturn;
            return false;
        }
        if (trim(line).empty())
            continue;
        if (!splitCsvLine(line, fields)) {
            error = where(origin, lineNo) + "badly quoted field";
            return false;
        }
        if (!haveHeader) {
            table.header = fields;
            haveHeader = true;
            continue;
        }
        if (fields.size() != table.header.size()) {
            error = where(origin, lineNo) + "row has " + std::to_string(fields.size()) +
                    " fields, the header " + std::to_string(table.header.size());
            return false;
        }
        table.rows.push_back(fields);
        table.lines.push_back(lineNo);
    }
    if (!haveHeader) {
        error = where(origin, 1) + "no header line";
        return false;
    }
    out = std::move(table);
    return true;
}

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
            int date = 0;
            if (entry.dating == Dating::Time) {
                double t = 0;
                std::string problem;
                const Number n = parseDouble(stamp, t);
                if (n != Number::Ok) {
                    error = at + "time '" + stamp + "' " + numberProblem(n);
                    return false;
                }
                if (!periodOfTime(t, rows, date, problem)) {
                    error = at + "time '" + stamp + "' " + problem;
                    return false;
                }
            } else {
                int day = 0;
                if (!parseIsoDate(stamp, day)) {
                    error = at + "date '" + stamp + "' is not a date YYYY-MM-DD";
                    return false;
                }
                // A weekend day has no business-day period.
                if (rows == tqvs::kBusiness &&
                    tqvs::periodCeil(day, rows) != tqvs::periodFloor(day, rows)) {
                    error = at + "date '" + stamp + "' is not a business day";
                    return false;
                }
                date = periodOfDay(day, rows);
            }
            rowIndex = tqvs::periodCeil(date, rows);
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

        long long target = rowIndex;
        if (rows != f) {
            target = tqvs::periodCeil(
                periodOfDay(dayInPeriod(tqvs::periodDate(rowIndex, rows), rows), f), f);
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
    const std::filesystem::path file = std::filesystem::u8path(path);
    std::error_code ec;
    // A folder opens on some systems and reads as empty.
    if (std::filesystem::is_directory(file, ec)) {
        error = path + ": is a folder, not a file";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = path + ": cannot open";
        return false;
    }
    std::string problem;
    if (!tqvs::readBounded(in, limits, text, problem)) {
        error = path + ": " + problem;
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

bool checkDatabaseFile(const std::string &path, std::string &summary, std::string &error) {
    std::string text;
    if (!readFile(path, text, error, tqvs::kDatabaseLimits))
        return false;
    tqvs::Database db;
    std::string problem;
    if (!tqvs::parseDatabase(text, db, problem)) {
        // "line N: ..." becomes "PATH:N: ...", as the converter names lines.
        const std::string prefix = "line ";
        const std::size_t colon = problem.find(": ");
        if (problem.rfind(prefix, 0) == 0 && colon != std::string::npos)
            error = path + ":" + problem.substr(prefix.size(), colon - prefix.size()) +
                    problem.substr(colon);
        else
            error = path + ": " + problem;
        return false;
    }
    summary = path + ": database " + db.name + ", " + std::to_string(db.series.size()) +
              " series, no problem found";
    return true;
}

namespace {

const char *const kUsage =
    "usage: tqvconvert [--data-dir DIR] MANIFEST OUTPUT | tqvconvert check FILE.tqvdb";

int failure(std::ostream &err, const std::string &message) {
    err << "tqvconvert: " << message << '\n';
    return 1;
}

int usage(std::ostream &err, const std::string &message) {
    err << "tqvconvert: " << message << " (" << kUsage << ")\n";
    return 2;
}

// The output is checked and written as kovra writes its charts.
using kovrap_tools::outputProblem;
using kovrap_tools::writeAtomically;

// True, with a message, when the output is the same file as one of the
// inputs (by any name or hard link), which writing would destroy.
bool overwritesAnInput(const std::filesystem::path &target, const std::vector<std::string> &inputs,
                       std::string &error) {
    std::error_code ec;
    if (!std::filesystem::exists(target, ec))
        return false;
    for (const std::string &input : inputs) {
        const std::filesystem::path file = std::filesystem::u8path(input);
        std::error_code same;
        if (std::filesystem::equivalent(target, file, same) && !same) {
            error = target.u8string() + ": the output is the input file " + input +
                    "; give another output";
            return true;
        }
    }
    return false;
}

int convert(const std::string &manifestPath, const std::string &outputPath, std::string dataDir,
            std::string &error) {
    const std::filesystem::path output = std::filesystem::u8path(outputPath);
    if (dataDir.empty())
        dataDir = std::filesystem::u8path(manifestPath).parent_path().u8string();
    if (outputProblem(output, error))
        return 1;
    std::string text;
    Manifest manifest;
    if (!readFile(manifestPath, text, error) || !parseManifest(text, manifestPath, manifest, error))
        return 1;
    std::vector<std::string> inputs = {manifestPath};
    for (const SeriesEntry &entry : manifest.series)
        inputs.push_back(csvPath(entry, dataDir));
    if (overwritesAnInput(output, inputs, error))
        return 1;
    tqvs::Database db;
    if (!buildDatabase(manifest, dataDir, db, error))
        return 1;
    const std::string file = tqvs::formatDatabase(db);
    // What the stand-ins will read must be what was built.
    tqvs::Database check;
    if (!tqvs::parseDatabase(file, check, error)) {
        error = "internal error, the built file does not read back: " + error;
        return 1;
    }
    return writeAtomically(output, file, error) ? 0 : 1;
}

} // namespace

int runTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    std::string dataDir;
    bool haveDataDir = false;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            out << kUsage << '\n';
            return 0;
        }
        if (args[i] == "--data-dir") {
            if (i + 1 == args.size())
                return usage(err, "--data-dir needs a folder");
            dataDir = args[++i];
            haveDataDir = true;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return usage(err, "unknown option " + args[i]);
        } else {
            positional.push_back(args[i]);
        }
    }
    const bool check = !positional.empty() && positional[0] == "check";
    if (check && (positional.size() != 2 || haveDataDir))
        return usage(err, "check takes one database file");
    if (!check && positional.size() != 2)
        return usage(err, "needs a manifest and an output file");

    try {
        std::string error;
        if (check) {
            std::string summary;
            if (!checkDatabaseFile(positional[1], summary, error))
                return failure(err, error);
            out << summary << '\n';
            return 0;
        }
        if (convert(positional[0], positional[1], dataDir, error) != 0)
            return failure(err, error);
    } catch (const std::exception &e) {
        return failure(err, e.what());
    }
    return 0;
}

} // namespace tqvconvert
