// kovra run as a child process on the sample databases, with every value
// checked against the CSV file it was built from. The expected values are
// worked out here from the CSV files alone: period dates from the rows' time
// values, business days counted from Monday 1 July 1991, weekly and
// quarterly averages, percent changes, moving averages, rebasing and the
// seasonal adjustment by ratio to a centred moving average.
//
// The tests run in the sample data folder (bin/tqvdata), with kovra one
// folder up: "ECON.tqvdb" is a path for the local library, "ECON" a name for
// the direct library.
#include "environment.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "kovra_cli.h"

namespace {

using namespace kovra_cli;

const std::vector<std::string> kLogin = {"--direct", "--user", "demo", "--password-file",
                                         "../demo.password"};

// ---- CSV files -------------------------------------------------------------

std::vector<std::string> splitCsvLine(const std::string &line) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

struct CsvTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;

    std::size_t column(const std::string &name) const {
        const auto it = std::find(header.begin(), header.end(), name);
        EXPECT_NE(it, header.end()) << "no column " << name;
        return static_cast<std::size_t>(it - header.begin());
    }
};

CsvTable parseCsv(const std::string &text) {
    CsvTable table;
    for (const std::string &line : lines(text)) {
        if (line.empty())
            continue;
        if (table.header.empty())
            table.header = splitCsvLine(line);
        else
            table.rows.push_back(splitCsvLine(line));
    }
    return table;
}

CsvTable sourceCsv(const std::string &file) {
    const std::string text = readText(fs::path(KOVRA_SAMPLE_SOURCES) / "csv" / file);
    EXPECT_FALSE(text.empty()) << "cannot read " << file;
    return parseCsv(text);
}

std::optional<double> number(const std::string &field) {
    if (field.empty())
        return std::nullopt;
    return std::stod(field);
}

// ---- calendar --------------------------------------------------------------

int daysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int civilFromDays(int z) {
    z += 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp + (mp < 10 ? 3 : -9);
    return (yoe + era * 400 + (m <= 2 ? 1 : 0)) * 10000 + m * 100 + d;
}

int dayNumber(int ymd) {
    return daysFromCivil(ymd / 10000, ymd / 100 % 100, ymd % 100);
}

// 0 Monday .. 6 Sunday.
int weekday(int ymd) {
    return ((dayNumber(ymd) % 7) + 10) % 7;
}

int lastDayOfMonth(int year, int month) {
    return civilFromDays(
               daysFromCivil(month == 12 ? year + 1 : year, month == 12 ? 1 : month + 1, 1) - 1) %
           100;
}

std::string iso(int ymd) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", ymd / 10000, ymd / 100 % 100, ymd % 100);
    return text;
}

// ---- series from the sources -----------------------------------------------

// A series as the test expects it: the calendar date of each period's last
// day and its value, missing values as nullopt.
struct Series {
    std::vector<int> dates;
    std::vector<std::optional<double>> values;
};

enum Frequency { kAnnual = 10, kQuarterly = 30, kMonthly = 40 };

// The last day of the period that holds a date.
int periodEnd(int ymd, int frequency) {
    const int year = ymd / 10000;
    const int month = ymd / 100 % 100;
    if (frequency == kAnnual)
        return year * 10000 + 1231;
    if (frequency == kQuarterly) {
        const int last = (month + 2) / 3 * 3;
        return year * 10000 + last * 100 + lastDayOfMonth(year, last);
    }
    if (frequency == kMonthly)
        return year * 10000 + month * 100 + lastDayOfMonth(year, month);
    return ymd;
}

// Rows dated by R's decimal year in `timeColumn`.
Series timedSeries(const std::string &file, const std::string &valueColumn, int frequency,
                   const std::string &timeColumn = "time") {
    const CsvTable csv = sourceCsv(file);
    const std::size_t t = csv.column(timeColumn);
    const std::size_t v = csv.column(valueColumn);
    const int perYear = frequency == kAnnual ? 1 : frequency == kQuarterly ? 4 : 12;
    Series s;
    for (const auto &row : csv.rows) {
        const double time = std::stod(row[t]);
        const int year = static_cast<int>(std::floor(time + 1e-6));
        const int slot = static_cast<int>(std::lround((time - year) * perYear));
        const int month = (slot + 1) * (12 / perYear);
        s.dates.push_back(periodEnd(year * 10000 + month * 100 + 1, frequency));
        s.values.push_back(number(row[v]));
    }
    return s;
}

// EuStockMarkets: consecutive business days from Monday 1 July 1991.
Series businessDays(const std::string &column) {
    const CsvTable csv = sourceCsv("EuStockMarkets.csv");
    const std::size_t v = csv.column(column);
    Series s;
    int day = dayNumber(19910701);
    for (const auto &row : csv.rows) {
        while (weekday(civilFromDays(day)) > 4)
            ++day;
        s.dates.push_back(civilFromDays(day));
        s.values.push_back(number(row[v]));
        ++day;
    }
    return s;
}

// Averages of the present values that fall into each period, the period of
// a date being the one whose end is the first on or after it.
Series average(const Series &s, int frequency) {
    Series out;
    std::map<int, std::pair<double, int>> sums;
    for (std::size_t i = 0; i < s.dates.size(); ++i) {
        int end = s.dates[i];
        if (frequency == 55) // weeks ending Friday
            end = civilFromDays(dayNumber(end) + (4 - weekday(end) + 7) % 7);
        else
            end = periodEnd(end, frequency);
        auto &bucket = sums[end];
        if (s.values[i]) {
            bucket.first += *s.values[i];
            ++bucket.second;
        }
    }
    for (const auto &[end, bucket] : sums) {
        out.dates.push_back(end);
        out.values.push_back(bucket.second > 0 ? std::optional<double>(bucket.first / bucket.second)
                                               : std::nullopt);
    }
    return out;
}

// The periods from `first` to `last` (period-end dates), with missing values
// where the series has none.
Series window(const Series &s, int first, int last) {
    Series out;
    for (std::size_t i = 0; i < s.dates.size(); ++i)
        if (s.dates[i] >= first && s.dates[i] <= last) {
            out.dates.push_back(s.dates[i]);
            out.values.push_back(s.values[i]);
        }
    return out;
}

// Missing values before and after the series, out to the given dates.
Series padded(const Series &s, const std::vector<int> &dates) {
    Series out;
    out.dates = dates;
    for (int d : dates) {
        const auto it = std::find(s.dates.begin(), s.dates.end(), d);
        out.values.push_back(it == s.dates.end()
                                 ? std::nullopt
                                 : s.values[static_cast<std::size_t>(it - s.dates.begin())]);
    }
    return out;
}

using Values = std::vector<std::optional<double>>;

Values percentChange(const Values &x) {
    Values y(x.size());
    for (std::size_t t = 1; t < x.size(); ++t)
        if (x[t] && x[t - 1] && *x[t - 1] != 0)
            y[t] = 100.0 * (*x[t] - *x[t - 1]) / *x[t - 1];
    return y;
}

Values movingAverage(const Values &x, std::size_t k) {
    Values y(x.size());
    for (std::size_t t = k - 1; t < x.size(); ++t) {
        double sum = 0;
        bool complete = true;
        for (std::size_t i = t + 1 - k; i <= t; ++i) {
            complete = complete && x[i].has_value();
            sum += x[i].value_or(0);
        }
        if (complete)
            y[t] = sum / static_cast<double>(k);
    }
    return y;
}

Values rebased(const Values &x, std::size_t base) {
    Values y(x.size());
    for (std::size_t t = 0; t < x.size(); ++t)
        if (x[t] && x[base] && *x[base] != 0)
            y[t] = 100.0 * *x[t] / *x[base];
    return y;
}

// Multiplicative seasonal adjustment: ratios to a centred moving average of
// one year, seasonal factors as the mean ratio per season scaled to average
// 1, each value divided by its season's factor.
Values seasonallyAdjusted(const Values &x, std::size_t perYear) {
    const std::size_t h = perYear / 2;
    std::vector<double> ratioSum(perYear, 0.0);
    std::vector<int> ratioCount(perYear, 0);
    for (std::size_t t = h; t + h < x.size(); ++t) {
        bool usable = true;
        for (std::size_t i = t - h; i <= t + h; ++i)
            usable = usable && x[i] && *x[i] > 0;
        if (!usable)
            continue;
        double centred = (*x[t - h] + *x[t + h]) / 2;
        for (std::size_t i = t - h + 1; i < t + h; ++i)
            centred += *x[i];
        centred /= static_cast<double>(perYear);
        ratioSum[t % perYear] += *x[t] / centred;
        ++ratioCount[t % perYear];
    }
    std::vector<double> factor(perYear);
    double mean = 0;
    for (std::size_t s = 0; s < perYear; ++s) {
        factor[s] = ratioSum[s] / ratioCount[s];
        mean += factor[s] / static_cast<double>(perYear);
    }
    Values y(x.size());
    for (std::size_t t = 0; t < x.size(); ++t)
        if (x[t])
            y[t] = *x[t] / (factor[t % perYear] / mean);
    return y;
}

// ---- kovra's output --------------------------------------------------------

// A fetch in CSV form: the date column and one value column per series.
struct Fetched {
    std::vector<std::string> labels;
    std::vector<std::string> dates;
    std::vector<std::string> periods;
    std::vector<Values> columns;
};

Fetched parseFetchCsv(const std::string &text) {
    const CsvTable csv = parseCsv(text);
    Fetched f;
    EXPECT_GE(csv.header.size(), 3u);
    if (csv.header.size() < 3)
        return f;
    EXPECT_EQ("date", csv.header[0]);
    EXPECT_EQ("period", csv.header[1]);
    f.labels.assign(csv.header.begin() + 2, csv.header.end());
    f.columns.resize(f.labels.size());
    for (const auto &row : csv.rows) {
        EXPECT_EQ(csv.header.size(), row.size());
        if (row.size() != csv.header.size())
            continue;
        f.dates.push_back(row[0]);
        f.periods.push_back(row[1]);
        for (std::size_t c = 0; c < f.labels.size(); ++c)
            f.columns[c].push_back(number(row[c + 2]));
    }
    return f;
}

void expectValues(const Values &expected, const Values &actual, double tolerance,
                  const std::string &what) {
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(expected[i].has_value(), actual[i].has_value()) << what << " slot " << i;
        if (expected[i]) {
            EXPECT_NEAR(*expected[i], *actual[i],
                        tolerance * std::max(1.0, std::fabs(*expected[i])))
                << what << " slot " << i;
        }
    }
}

std::vector<std::string> isoDates(const std::vector<int> &dates) {
    std::vector<std::string> out;
    for (int d : dates)
        out.push_back(iso(d));
    return out;
}

// The cells of a table that kovra laid out: each column starts where its
// heading starts, as the headings of text columns are left-aligned and the
// numbers of right-aligned columns are never wider than their heading.
std::map<std::string, std::string> tableRow(const std::string &header, const std::string &row) {
    std::vector<std::size_t> starts;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < header.size(); ++i)
        if (header[i] != ' ' && (i == 0 || header[i - 1] == ' ')) {
            starts.push_back(i);
            names.push_back(header.substr(i, header.find(' ', i) - i));
        }
    std::map<std::string, std::string> cells;
    for (std::size_t c = 0; c < starts.size(); ++c) {
        const std::size_t from = starts[c];
        const std::size_t to = c + 1 < starts.size() ? starts[c + 1] : std::string::npos;
        std::string cell =
            from < row.size() ? row.substr(from, to == std::string::npos ? to : to - from) : "";
        while (!cell.empty() && cell.back() == ' ')
            cell.pop_back();
        while (!cell.empty() && cell.front() == ' ')
            cell.erase(cell.begin());
        cells[names[c]] = cell;
    }
    return cells;
}

// The cells of a fetch table: the date first, then right-aligned numbers,
// each ending where its heading ends.
std::map<std::string, std::string> numberRow(const std::string &header, const std::string &row) {
    std::map<std::string, std::string> cells;
    const std::size_t dateEnd = row.find(' ');
    cells[header.substr(0, header.find(' '))] = row.substr(0, dateEnd);
    std::size_t from = dateEnd == std::string::npos ? row.size() : dateEnd;
    for (std::size_t i = header.find(' '); i < header.size(); ++i) {
        if (header[i] == ' ' || (i + 1 < header.size() && header[i + 1] != ' '))
            continue;
        // i is the last character of a heading.
        const std::size_t start = header.rfind(' ', i) + 1;
        std::string cell = from < row.size() ? row.substr(from, i + 1 - from) : "";
        cell.erase(0, cell.find_first_not_of(' ') == std::string::npos
                          ? cell.size()
                          : cell.find_first_not_of(' '));
        cells[header.substr(start, i + 1 - start)] = cell;
        from = i + 1;
    }
    return cells;
}

// ---- codes -----------------------------------------------------------------

std::vector<std::string> manifestCodes(const std::string &manifest) {
    std::vector<std::string> codes;
    for (const std::string &line : lines(readText(fs::path(KOVRA_SAMPLE_SOURCES) / manifest)))
        if (line.rfind("series ", 0) == 0)
            codes.push_back(line.substr(7));
    return codes;
}

TEST(KovraCodes, ListsEverySeriesOfTheManifestInOrderOnBothLibraries) {
    const struct {
        const char *database;
        const char *manifest;
    } cases[] = {{"ECON", "econ.manifest"}, {"MARKETS", "markets.manifest"}};
    for (const auto &c : cases) {
        const std::vector<std::string> expected = manifestCodes(c.manifest);
        ASSERT_GE(expected.size(), 5u) << c.manifest;
        const Result local = kovra({"codes", std::string(c.database) + ".tqvdb"});
        EXPECT_EQ(0, local.status) << local.err;
        EXPECT_EQ(expected, lines(local.out)) << c.database;
        const Result direct = kovra(concat(kLogin, {"codes", c.database}));
        EXPECT_EQ(0, direct.status) << direct.err;
        EXPECT_EQ(expected, lines(direct.out)) << c.database;
        EXPECT_EQ("", direct.err);
    }
}

// ---- info ------------------------------------------------------------------

TEST(KovraInfo, DescribesEachSeriesAsItsSourceHasIt) {
    struct Expected {
        const char *operand;
        const char *frequency;
        Series source;
        const char *firstLabel;
        const char *lastLabel;
        int decimals;
    };
    const Expected cases[] = {
        {"ECON.tqvdb:UKGAS", "quarterly", timedSeries("UKgas.csv", "value", kQuarterly), "1960Q1",
         "1986Q4", 1},
        {"ECON.tqvdb:PRES", "quarterly", timedSeries("presidents.csv", "value", kQuarterly),
         "1945Q1", "1974Q4", 0},
        {"ECON.tqvdb:CO2", "monthly", timedSeries("co2.csv", "value", kMonthly), "1959-01",
         "1997-12", 2},
        {"ECON.tqvdb:GNP", "annual", timedSeries("longley.csv", "GNP", kAnnual, "Year"), "1947",
         "1962", 3},
        {"MARKETS.tqvdb:DAX", "business", businessDays("DAX"), "1991-07-01", "1998-08-14", 2},
        {"MARKETS.tqvdb:FTSEW", "weekly-fri", average(businessDays("FTSE"), 55), "1991-07-05",
         "1998-08-14", 1},
    };
    std::vector<std::string> args = {"info"};
    for (const Expected &e : cases)
        args.push_back(e.operand);
    const Result run = kovra(args);
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ("", run.err);
    const std::vector<std::string> out = lines(run.out);
    ASSERT_EQ(std::size(cases) + 1, out.size()) << run.out;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Expected &e = cases[i];
        auto cells = tableRow(out[0], out[i + 1]);
        SCOPED_TRACE(e.operand);
        EXPECT_EQ(e.operand, cells["series"]);
        EXPECT_EQ("ok", cells["status"]);
        EXPECT_EQ(e.frequency, cells["frequency"]);
        EXPECT_EQ(e.firstLabel, cells["first"]);
        EXPECT_EQ(e.lastLabel, cells["last"]);
        EXPECT_EQ(std::to_string(e.source.values.size()), cells["periods"]);
        const auto missing =
            std::count(e.source.values.begin(), e.source.values.end(), std::nullopt);
        std::istringstream attributes(cells["attributes"]);
        int a[6] = {-1, -1, -1, -1, -1, -1};
        for (int &v : a)
            attributes >> v;
        EXPECT_EQ(1, a[0]);
        EXPECT_EQ(e.decimals, a[1]);
        EXPECT_EQ(missing, a[2]);
        EXPECT_FALSE(cells["text5"].empty());
    }
}

TEST(KovraInfo, WideAddsTheSourceTextsAndAnEmptySeriesHasNoDates) {
    const Result run = kovra({"info", "--wide", "ECON.tqvdb:LYNX", "ECON.tqvdb:CPI"});
    ASSERT_EQ(0, run.status) << run.err;
    const std::vector<std::string> out = lines(run.out);
    ASSERT_EQ(3u, out.size()) << run.out;
    auto lynx = tableRow(out[0], out[1]);
    EXPECT_EQ("Rdatasets", lynx["text6"]);
    EXPECT_EQ("R datasets: lynx (Rdatasets commit 1c97ab8a)", lynx["text7"]);
    EXPECT_EQ(std::to_string(sourceCsv("lynx.csv").rows.size()), lynx["periods"]);
    auto cpi = tableRow(out[0], out[2]);
    EXPECT_EQ("monthly", cpi["frequency"]);
    EXPECT_EQ("-", cpi["first"]);
    EXPECT_EQ("-", cpi["last"]);
    EXPECT_EQ("-", cpi["periods"]);
    EXPECT_EQ("0", cpi["attributes"].substr(0, 1));
}

// The common range: expected from the first and last periods of the series
// that take part, as their sources give them.
struct RangeCase {
    const char *name;
    std::vector<std::string> operands;
    std::vector<std::string> options;
    const char *frequency; // the chosen frequency, as kovra names it
    int frequencyCode;
    std::vector<Series> used;
    std::vector<std::string> empty, finer, coarser;
};

// Test names in listings: the case name, not the bytes of the case.
void PrintTo(const RangeCase &c, std::ostream *out) {
    *out << c.name;
}

int periodOrdinal(int ymd, int frequency) {
    const int year = ymd / 10000;
    const int month = ymd / 100 % 100;
    if (frequency == kAnnual)
        return year;
    if (frequency == kQuarterly)
        return year * 4 + (month - 1) / 3;
    return year * 12 + month - 1;
}

std::string periodText(int ymd, int frequency) {
    char text[16];
    if (frequency == kAnnual)
        std::snprintf(text, sizeof text, "%d", ymd / 10000);
    else if (frequency == kQuarterly)
        std::snprintf(text, sizeof text, "%dQ%d", ymd / 10000, (ymd / 100 % 100 + 2) / 3);
    else
        std::snprintf(text, sizeof text, "%d-%02d", ymd / 10000, ymd / 100 % 100);
    return text;
}

class KovraRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(KovraRange, ChoosesTheFrequencyAndSpanOfTheSeriesThatTakePart) {
    const RangeCase &c = GetParam();
    const Result run = kovra(concat(concat({"info", "--range"}, c.options), c.operands));
    ASSERT_EQ(0, run.status) << run.err;
    int first = 99999999, last = 0;
    for (const Series &s : c.used) {
        first = std::min(first, s.dates.front());
        last = std::max(last, s.dates.back());
    }
    if (!c.options.empty() && c.options[0] == "--from")
        first = std::stoi(c.options[1]) * 10000 + 101;
    const int count =
        periodOrdinal(last, c.frequencyCode) - periodOrdinal(first, c.frequencyCode) + 1;
    const std::string expected =
        "common range: " + std::string(c.frequency) + ", " + periodText(first, c.frequencyCode) +
        " to " + periodText(last, c.frequencyCode) + ", " + std::to_string(count) + " observations";
    const std::vector<std::string> out = lines(run.out);
    EXPECT_NE(out.end(), std::find(out.begin(), out.end(), expected)) << run.out;

    const auto listed = [&](const std::string &prefix) {
        for (const std::string &line : out)
            if (line.rfind(prefix, 0) == 0)
                return line.substr(prefix.size());
        return std::string();
    };
    const auto joined = [](const std::vector<std::string> &names) {
        std::string text;
        for (const std::string &n : names)
            text += (text.empty() ? "" : ", ") + n;
        return text;
    };
    EXPECT_EQ(joined(c.empty), listed("set aside, no observations: "));
    EXPECT_EQ(joined(c.finer), listed("set aside, finer than " + std::string(c.frequency) + ": "));
    EXPECT_EQ(joined(c.coarser),
              listed("set aside, coarser than " + std::string(c.frequency) + ": "));
    // Each series' row names its part in the range.
    for (std::size_t i = 0; i < c.operands.size(); ++i) {
        auto cells = tableRow(out[0], out[i + 1]);
        const std::string &name = c.operands[i];
        const auto in = [&](const std::vector<std::string> &v) {
            return std::find(v.begin(), v.end(), name) != v.end();
        };
        EXPECT_EQ(in(c.empty)     ? "empty"
                  : in(c.finer)   ? "finer"
                  : in(c.coarser) ? "coarser"
                                  : "used",
                  cells["range"])
            << name;
    }
}

const RangeCase kRangeCases[] = {
    // The lowest frequency of mixed series decides; monthly CO2 may be
    // averaged into quarters, business-day DAX too; CPI has no observations.
    {"MixedFrequenciesTakeTheLowest",
     {"ECON.tqvdb:AUSTRES", "ECON.tqvdb:CO2", "ECON.tqvdb:UKGAS", "ECON.tqvdb:CPI",
      "MARKETS.tqvdb:DAX"},
     {},
     "quarterly",
     kQuarterly,
     {timedSeries("austres.csv", "value", kQuarterly),
      average(timedSeries("co2.csv", "value", kMonthly), kQuarterly),
      timedSeries("UKgas.csv", "value", kQuarterly), average(businessDays("DAX"), kQuarterly)},
     {"ECON.tqvdb:CPI"},
     {},
     {}},
    // Quarterly totals are not to be averaged into years: UKGAS is set aside.
    {"TotalsAreNotAggregated",
     {"ECON.tqvdb:NILE", "ECON.tqvdb:UKGAS", "ECON.tqvdb:HURON"},
     {},
     "annual",
     kAnnual,
     {timedSeries("Nile.csv", "value", kAnnual), timedSeries("LakeHuron.csv", "value", kAnnual)},
     {},
     {"ECON.tqvdb:UKGAS"},
     {}},
    // A requested frequency: coarser series are set aside.
    {"RequestedMonthlySetsAsideCoarserSeries",
     {"ECON.tqvdb:NOTTEM", "ECON.tqvdb:JNJ", "ECON.tqvdb:LYNX", "ECON.tqvdb:USACC"},
     {"--freq", "monthly"},
     "monthly",
     kMonthly,
     {timedSeries("nottem.csv", "value", kMonthly),
      timedSeries("USAccDeaths.csv", "value", kMonthly)},
     {},
     {},
     {"ECON.tqvdb:JNJ", "ECON.tqvdb:LYNX"}},
    // A start given: the range starts there, the end still comes from the series.
    {"GivenStart",
     {"ECON.tqvdb:SUNSPOT", "ECON.tqvdb:AIRMILES"},
     {"--from", "1950"},
     "annual",
     kAnnual,
     {timedSeries("sunspot.year.csv", "value", kAnnual),
      timedSeries("airmiles.csv", "value", kAnnual)},
     {},
     {},
     {}},
};

INSTANTIATE_TEST_SUITE_P(Samples, KovraRange, ::testing::ValuesIn(kRangeCases),
                         [](const auto &p) { return std::string(p.param.name); });

// ---- fetch -----------------------------------------------------------------

struct FetchCase {
    const char *name;
    std::vector<std::string> args; // after "fetch"
    std::vector<std::string> labels;
    std::vector<Series> expected; // each over the same dates
    double tolerance;             // relative; 0 for values that must be exact
};

// Test names in listings: the case name, not the bytes of the case.
void PrintTo(const FetchCase &c, std::ostream *out) {
    *out << c.name;
}

class KovraFetch : public ::testing::TestWithParam<FetchCase> {};

TEST_P(KovraFetch, GivesTheSourceValuesOnTheirDates) {
    const FetchCase &c = GetParam();
    const Result run = kovra(concat(concat({"fetch"}, c.args), {"--csv"}));
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ("", run.err);
    const Fetched f = parseFetchCsv(run.out);
    ASSERT_EQ(c.labels, f.labels);
    ASSERT_FALSE(c.expected.empty());
    EXPECT_EQ(isoDates(c.expected[0].dates), f.dates);
    for (std::size_t i = 0; i < c.expected.size(); ++i)
        expectValues(c.expected[i].values, f.columns[i], c.tolerance, c.labels[i]);
}

Series ukgas() {
    return timedSeries("UKgas.csv", "value", kQuarterly);
}

std::vector<int> quarterEnds(int fromYear, int toYear) {
    std::vector<int> dates;
    for (int y = fromYear; y <= toYear; ++y)
        for (int q = 1; q <= 4; ++q)
            dates.push_back(periodEnd(y * 10000 + q * 300 + 1, kQuarterly));
    return dates;
}

Series withValues(Series s, Values values) {
    s.values = std::move(values);
    return s;
}

const FetchCase kFetchCases[] = {
    {"WholeQuarterlySeries", {"ECON.tqvdb:UKGAS"}, {"UKGAS"}, {ukgas()}, 0},
    {"MissingQuartersStayEmpty",
     {"ECON.tqvdb:PRES"},
     {"PRES"},
     {timedSeries("presidents.csv", "value", kQuarterly)},
     0},
    {"OldQuotedFormat",
     {"ECON.tqvdb:MDEATHS", "ECON.tqvdb:FDEATHS", "ECON.tqvdb:LDEATHS"},
     {"MDEATHS", "FDEATHS", "LDEATHS"},
     {timedSeries("mdeaths.csv", "value", kMonthly), timedSeries("fdeaths.csv", "value", kMonthly),
      timedSeries("ldeaths.csv", "value", kMonthly)},
     0},
    {"MonthlyWindow",
     {"ECON.tqvdb:CO2", "--from", "1990-01", "--to", "1991-12"},
     {"CO2"},
     {window(timedSeries("co2.csv", "value", kMonthly), 19900101, 19911231)},
     0},
    {"LongleyColumns",
     {"ECON.tqvdb:GNP", "ECON.tqvdb:EMPLOYED"},
     {"GNP", "EMPLOYED"},
     {timedSeries("longley.csv", "GNP", kAnnual, "Year"),
      timedSeries("longley.csv", "Employed", kAnnual, "Year")},
     0},
    {"BusinessDays",
     {"MARKETS.tqvdb:DAX", "MARKETS.tqvdb:FTSE"},
     {"DAX", "FTSE"},
     {businessDays("DAX"), businessDays("FTSE")},
     0},
    {"WeeklyAverages",
     {"MARKETS.tqvdb:FTSEW"},
     {"FTSEW"},
     {average(businessDays("FTSE"), 55)},
     1e-12},
    // Two databases: the quarterly average of the business days beside a
    // quarterly series, over the window asked for; the window runs past the
    // end of AUSTRES and starts before DAX.
    {"TwoDatabasesAtTheLowestFrequency",
     {"ECON.tqvdb:AUSTRES", "MARKETS.tqvdb:DAX", "--from", "1991", "--to", "1993"},
     {"AUSTRES", "DAX"},
     {padded(timedSeries("austres.csv", "value", kQuarterly), quarterEnds(1991, 1993)),
      padded(average(businessDays("DAX"), kQuarterly), quarterEnds(1991, 1993))},
     1e-12},
    // The same code in two operands: the columns are named by the operands.
    {"SameSeriesTwice",
     {"ECON.tqvdb:NILE", "ECON:NILE", "--from", "1871", "--to", "1880"},
     {"ECON.tqvdb:NILE", "ECON:NILE"},
     {window(timedSeries("Nile.csv", "value", kAnnual), 18710101, 18801231),
      window(timedSeries("Nile.csv", "value", kAnnual), 18710101, 18801231)},
     0},
    {"PercentChange",
     {"ECON.tqvdb:UKGAS", "ECON.tqvdb:PRES", "--from", "1960", "--to", "1974", "--math", "pct"},
     {"UKGAS", "PRES"},
     {withValues(window(ukgas(), 19600101, 19741231),
                 percentChange(window(ukgas(), 19600101, 19741231).values)),
      withValues(window(timedSeries("presidents.csv", "value", kQuarterly), 19600101, 19741231),
                 percentChange(
                     window(timedSeries("presidents.csv", "value", kQuarterly), 19600101, 19741231)
                         .values))},
     1e-12},
    {"MovingAverage",
     {"ECON.tqvdb:NOTTEM", "--advanced", "ma:12"},
     {"NOTTEM"},
     {withValues(timedSeries("nottem.csv", "value", kMonthly),
                 movingAverage(timedSeries("nottem.csv", "value", kMonthly).values, 12))},
     1e-9},
    {"Rebased",
     {"ECON.tqvdb:AIRMILES", "--advanced", "rebase:1950"},
     {"AIRMILES"},
     {withValues(timedSeries("airmiles.csv", "value", kAnnual),
                 rebased(timedSeries("airmiles.csv", "value", kAnnual).values, 1950 - 1937))},
     1e-12},
    {"SeasonalAdjustmentOverTheWholeSeries",
     {"ECON.tqvdb:UKGAS", "--advanced", "seasonal"},
     {"UKGAS"},
     {withValues(ukgas(), seasonallyAdjusted(ukgas().values, 4))},
     1e-9},
    {"SeasonalAdjustmentOverAWindow",
     {"ECON.tqvdb:USACC", "--advanced", "1792", "--from", "1974-01", "--to", "1977-12"},
     {"USACC"},
     {withValues(
         window(timedSeries("USAccDeaths.csv", "value", kMonthly), 19740101, 19771231),
         seasonallyAdjusted(
             window(timedSeries("USAccDeaths.csv", "value", kMonthly), 19740101, 19771231).values,
             12))},
     1e-9},
};

INSTANTIATE_TEST_SUITE_P(Samples, KovraFetch, ::testing::ValuesIn(kFetchCases),
                         [](const auto &p) { return std::string(p.param.name); });

// The stand-ins in kovra's own process take the weekly reading from
// TQVS_WEEKLY_END: ended, Tuesday 28 April 1992 ends a window of weeks
// ending Monday on 27 April, not on 4 May as the table has it held.
TEST(KovraFetchWeekly, TheWeeklyReadingOfAnotherProcessComesFromTheEnvironment) {
    const char *old = std::getenv("TQVS_WEEKLY_END");
    const std::string saved = old != nullptr ? old : "";
    const std::vector<std::string> args = {"fetch", "MARKETS:DAX", "--from", "1992-02-04",
                                           "--to",  "1992-04-28",  "--freq", "weekly-mon"};
    kovrap_test::setVariable("TQVS_WEEKLY_END", "ended");
    const Result ended = kovra(args, 120);
    kovrap_test::setVariable("TQVS_WEEKLY_END", "holding");
    const Result held = kovra(args, 120);
    kovrap_test::setVariable("TQVS_WEEKLY_END", old != nullptr ? saved.c_str() : nullptr);
    ASSERT_EQ(0, ended.status) << ended.err;
    ASSERT_EQ(0, held.status) << held.err;
    EXPECT_EQ("weekly-mon, 1992-02-10 to 1992-04-27, 12 observations", lines(ended.out).at(0));
    EXPECT_EQ("weekly-mon, 1992-02-10 to 1992-05-04, 13 observations", lines(held.out).at(0));
}

TEST(KovraFetchDirect, GivesTheSameOutputAsTheLocalLibraryAfterALogIn) {
    const std::vector<std::string> tail = {"--from", "1992", "--to", "1993", "--math", "pct"};
    // Here ECON is a path for the local library, which adds .tqvdb to it,
    // and a name in the data service for the direct library.
    const Result local =
        kovra(concat({"fetch", "ECON:AUSTRES", "MARKETS:FTSEW", "ECON:GDP"}, tail));
    const Result direct =
        kovra(concat(concat(kLogin, {"fetch", "ECON:AUSTRES", "MARKETS:FTSEW", "ECON:GDP"}), tail));
    ASSERT_EQ(0, local.status) << local.err;
    ASSERT_EQ(0, direct.status) << direct.err;
    EXPECT_EQ(local.out, direct.out);
    EXPECT_NE(std::string::npos, direct.out.find("quarterly, 1992Q1 to 1993Q4, 8 observations"))
        << direct.out;
}

TEST(KovraFetchTable, ShowsEachSeriesInItsOwnDecimalsWithMissingValuesEmpty) {
    const Result run =
        kovra({"fetch", "ECON.tqvdb:PRES", "ECON.tqvdb:CO2", "--from", "1972Q2", "--to", "1972Q4"});
    ASSERT_EQ(0, run.status) << run.err;
    const Series pres = timedSeries("presidents.csv", "value", kQuarterly);
    const Series co2 = average(timedSeries("co2.csv", "value", kMonthly), kQuarterly);
    const std::vector<std::string> out = lines(run.out);
    ASSERT_EQ(6u, out.size()) << run.out;
    EXPECT_EQ("quarterly, 1972Q2 to 1972Q4, 3 observations", out[0]);
    EXPECT_EQ("", out[1]);
    const int ends[] = {19720630, 19720930, 19721231};
    for (std::size_t i = 0; i < 3; ++i) {
        auto cells = numberRow(out[2], out[3 + i]);
        EXPECT_EQ(periodText(ends[i], kQuarterly), cells["date"]);
        const auto p =
            std::find(pres.dates.begin(), pres.dates.end(), ends[i]) - pres.dates.begin();
        const auto &value = pres.values[static_cast<std::size_t>(p)];
        EXPECT_EQ(value ? std::to_string(static_cast<int>(*value)) : "", cells["PRES"]);
        const auto c = std::find(co2.dates.begin(), co2.dates.end(), ends[i]) - co2.dates.begin();
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", *co2.values[static_cast<std::size_t>(c)]);
        EXPECT_EQ(text, cells["CO2"]);
    }
}

TEST(KovraFetchNotes, NameTheSeriesLeftOutAndTheFailedCounts) {
    // Two years of quarters are too few for the windowed seasonal count.
    const std::vector<std::string> args = {
        "fetch",      "ECON.tqvdb:UKGAS", "ECON.tqvdb:GDP", "ECON.tqvdb:CO2", "--freq",
        "quarterly",  "--from",           "1980",           "--to",           "1981",
        "--advanced", "seasonal"};
    const Result table = kovra(args);
    ASSERT_EQ(0, table.status) << table.err;
    EXPECT_EQ("", table.err);
    const std::vector<std::string> out = lines(table.out);
    const auto has = [&](const std::string &line) {
        return std::find(out.begin(), out.end(), line) != out.end();
    };
    EXPECT_TRUE(has("note: left out: ECON.tqvdb:GDP has no observations")) << table.out;
    EXPECT_TRUE(has("note: seasonal failed for ECON.tqvdb:UKGAS: too few periods in the window "
                    "(status 834)"))
        << table.out;
    EXPECT_TRUE(has("note: seasonal failed for ECON.tqvdb:CO2: too few periods in the window "
                    "(status 834)"))
        << table.out;

    // In CSV form the notes go to standard error, the columns stay empty.
    const Result csv = kovra(concat(args, {"--csv"}));
    ASSERT_EQ(0, csv.status) << csv.err;
    const Fetched f = parseFetchCsv(csv.out);
    ASSERT_EQ(3u, f.columns.size());
    EXPECT_EQ(8u, f.dates.size());
    for (const Values &column : f.columns)
        EXPECT_EQ(Values(8), column);
    const std::vector<std::string> err = lines(csv.err);
    ASSERT_EQ(3u, err.size()) << csv.err;
    EXPECT_EQ("kovra: note: left out: ECON.tqvdb:GDP has no observations", err[0]);
}

TEST(KovraFetchNotes, AnAdvancedCountTheLibraryRefusesIsNamedWithItsStatus) {
    // Seasonal adjustment of an annual series: the count refuses the
    // frequency, and the other series keeps its values.
    const Result run = kovra({"fetch", "ECON.tqvdb:NILE", "--advanced", "seasonal", "--csv"});
    ASSERT_EQ(0, run.status) << run.err;
    const Fetched f = parseFetchCsv(run.out);
    ASSERT_EQ(1u, f.columns.size());
    EXPECT_EQ(Values(100), f.columns[0]);
    const std::vector<std::string> err = lines(run.err);
    ASSERT_EQ(1u, err.size()) << run.err;
    EXPECT_EQ("kovra: note: seasonal failed for ECON.tqvdb:NILE: a frequency the operation cannot "
              "take (status 21 from the database library)",
              err[0]);
}

// ---- the chart ---------------------------------------------------------------

TEST(KovraPlot, WritesOnePathPerSeriesWithAGapAtEachRunOfMissingValues) {
    const fs::path svg = scratchDir() / "chart.svg";
    fs::remove(svg);
    const Result run = kovra(
        {"fetch", "ECON.tqvdb:PRES", "ECON.tqvdb:JNJ", "ECON.tqvdb:GDP", "--plot", svg.string()});
    ASSERT_EQ(0, run.status) << run.err;
    const std::string text = readText(svg);
    const std::vector<Element> elements = parseXml(text);
    ASSERT_FALSE(elements.empty());
    EXPECT_EQ("svg", elements.front().name);

    std::vector<const Element *> paths;
    for (const Element &e : elements)
        if (e.name == "path" && e.attributes.count("class") && e.attributes.at("class") == "series")
            paths.push_back(&e);
    // GDP has no observations and is left out of the chart as of the table.
    ASSERT_EQ(2u, paths.size());

    // A subpath per run of present values: the presidents' ratings have four
    // (missing: 1945Q1, 1948Q3-Q4, 1952Q3, 1972Q3-Q4), J&J's earnings one.
    const auto runs = [](const Values &v) {
        int n = 0;
        for (std::size_t i = 0; i < v.size(); ++i)
            n += v[i] && (i == 0 || !v[i - 1]) ? 1 : 0;
        return n;
    };
    const Series pres = timedSeries("presidents.csv", "value", kQuarterly);
    const auto moves = [](const std::string &d) {
        return static_cast<int>(std::count(d.begin(), d.end(), 'M'));
    };
    EXPECT_EQ(4, runs(pres.values));
    EXPECT_EQ(runs(pres.values), moves(paths[0]->attributes.at("d")));
    EXPECT_EQ(1, moves(paths[1]->attributes.at("d")));
    EXPECT_NE(std::string::npos, text.find(">PRES</text>"));
    EXPECT_NE(std::string::npos, text.find(">JNJ</text>"));
    // Date ticks along the axis: years from 1945 to 1980.
    EXPECT_NE(std::string::npos, text.find(">1950</text>"));
    EXPECT_NE(std::string::npos, text.find(">1970</text>"));
    fs::remove(svg);
}

// ---- version and help --------------------------------------------------------

TEST(KovraVersion, ReportsTheInterfaceAndBothLibraries) {
    const Result run = kovra({"version"});
    ASSERT_EQ(0, run.status) << run.err;
    const std::vector<std::string> out = lines(run.out);
    ASSERT_EQ(4u, out.size()) << run.out;
    EXPECT_EQ(0u, out[0].rfind("kovra ", 0));
    EXPECT_EQ("interface version: 1", out[1]);
    EXPECT_GT(out[2].size(), std::string("local library:  ").size());
    EXPECT_EQ(0u, out[2].rfind("local library:  ", 0));
    EXPECT_EQ(0u, out[3].rfind("direct library: ", 0));
    EXPECT_GT(out[3].size(), std::string("direct library: ").size());
}

TEST(KovraHelp, PrintsUsageAndSucceeds) {
    const Result run = kovra({"--help"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(0u, run.out.rfind("usage: kovra", 0));
    EXPECT_NE(std::string::npos, run.out.find("\n  kovra check [--database DATABASE]\n"));
    EXPECT_EQ("", run.err);
}

// ---- bad input -------------------------------------------------------------

struct BadInput {
    const char *name;
    std::vector<std::string> args;
    int status;
    std::string message; // the whole line on standard error, without "kovra: "
};

// Test names in listings: the case name, not the bytes of the case.
void PrintTo(const BadInput &c, std::ostream *out) {
    *out << c.name;
}

class KovraBadInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(KovraBadInput, PrintsOneLineAndNothingElse) {
    const BadInput &c = GetParam();
    const Result run = kovra(c.args);
    EXPECT_EQ(c.status, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_EQ("kovra: " + c.message + "\n", run.err);
}

std::string badDate(const std::string &text) {
    return "bad date '" + text +
           "' (use 2001, 2001Q3, 2001-07, 2001-07-15 or a period date such as 20013)";
}

// Refused before the library is called: neither path is a regular file.
std::string noDatabase(const std::string &name) {
    return "cannot open database '" + name + "': no regular file that can be read at " + name +
           " or " + name + ".tqvdb";
}

std::string unknownFrequency(const std::string &text) {
    return "unknown frequency '" + text +
           "' (use annual, quarterly, monthly, weekly, weekly-mon .. weekly-sun, daily, business, "
           "lowest or a code)";
}

const BadInput kBadInputs[] = {
    {"NoCommand", {}, 2, "no command given (see kovra --help)"},
    {"UnknownCommand", {"list"}, 2, "unknown command 'list' (see kovra --help)"},
    {"UnknownOption",
     {"codes", "ECON.tqvdb", "--verbose"},
     2,
     "unknown option --verbose (see kovra --help)"},
    {"MissingDatabase", {"codes"}, 2, "codes takes one DATABASE"},
    {"MissingSeries", {"fetch", "--csv"}, 2, "fetch takes at least one DATABASE:CODE"},
    {"MissingValue", {"fetch", "ECON.tqvdb:UKGAS", "--from"}, 2, "option --from needs a value"},
    {"NotDatabaseAndCode", {"info", "UKGAS"}, 2, "'UKGAS' is not DATABASE:CODE"},
    {"OptionOfAnotherCommand", {"codes", "ECON.tqvdb", "--csv"}, 2, "codes does not take --csv"},
    {"UnknownDatabase", {"codes", "NOSUCH.tqvdb"}, 1, noDatabase("NOSUCH.tqvdb")},
    {"UnknownDatabaseOfASeries",
     {"fetch", "ECON.tqvdb:UKGAS", "NOSUCH.tqvdb:X"},
     1,
     noDatabase("NOSUCH.tqvdb")},
    {"UnknownCode",
     {"info", "ECON.tqvdb:UKGAS", "ECON.tqvdb:NOSUCH"},
     1,
     "unknown series ECON.tqvdb:NOSUCH"},
    {"UnknownCodes",
     {"fetch", "ECON.tqvdb:NOSUCH", "MARKETS.tqvdb:DAX", "MARKETS.tqvdb:NONE"},
     1,
     "unknown series ECON.tqvdb:NOSUCH (and 1 more)"},
    {"BadQuarter", {"fetch", "ECON.tqvdb:UKGAS", "--from", "1970Q5"}, 2, badDate("1970Q5")},
    {"BadMonth", {"fetch", "ECON.tqvdb:UKGAS", "--to", "1981-13"}, 2, badDate("1981-13")},
    {"BadPeriodDate", {"fetch", "ECON.tqvdb:UKGAS", "--from", "19810132"}, 2, badDate("19810132")},
    {"BadDay", {"fetch", "ECON.tqvdb:UKGAS", "--to", "1981-02-29"}, 2, badDate("1981-02-29")},
    {"YearZero", {"fetch", "ECON.tqvdb:UKGAS", "--to", "0000"}, 2, badDate("0000")},
    {"UnknownFrequency",
     {"fetch", "ECON.tqvdb:UKGAS", "--freq", "hourly"},
     2,
     unknownFrequency("hourly")},
    {"UnknownFrequencyCode",
     {"info", "--range", "ECON.tqvdb:UKGAS", "--freq", "58"},
     2,
     unknownFrequency("58")},
    {"OnlyEmptySeries",
     {"fetch", "ECON.tqvdb:GDP", "MARKETS.tqvdb:AEX"},
     1,
     "no series left for a common range: ECON.tqvdb:GDP has no observations; MARKETS.tqvdb:AEX has "
     "no observations"},
    {"OnlyCoarserSeries",
     {"info", "--range", "ECON.tqvdb:NILE", "--freq", "monthly"},
     1,
     "no series left for a common range: ECON.tqvdb:NILE is annual, coarser than monthly"},
    // The window's ends as the user wrote them; a wrong request, not data.
    {"EmptyWindow",
     {"fetch", "ECON.tqvdb:UKGAS", "--from", "1980", "--to", "1979"},
     2,
     "no quarterly period from 1980 to 1979: the start is after the end"},
    {"UnknownMath",
     {"fetch", "ECON.tqvdb:UKGAS", "--math", "sqrt"},
     2,
     "unknown math operation 'sqrt' (use level, diff, pct, apct, yoy, log or their codes 0 to 5)"},
    {"AdvancedCodeZero",
     {"fetch", "ECON.tqvdb:UKGAS", "--advanced", "0"},
     2,
     "advanced code 0 is no operation kovra knows (use seasonal, ma:SPAN, rebase:DATE, or the "
     "codes 1792, 1 or 2, as in 1:4)"},
    {"MathAndAdvanced",
     {"fetch", "ECON.tqvdb:UKGAS", "--math", "pct", "--advanced", "seasonal"},
     2,
     "give --math or --advanced, not both"},
    {"RebaseOutsideTheWindow",
     {"fetch", "ECON.tqvdb:UKGAS", "--advanced", "rebase:1990"},
     2,
     "rebase date 1990 lies outside the window (quarterly, 1960Q1 to 1986Q4, 108 observations)"},
    // Only the codes of the named operations reach the library; -1, which
    // the library reads as no math at all, is refused like any other.
    {"MathCodeNotListed",
     {"fetch", "ECON.tqvdb:UKGAS", "--math", "99"},
     2,
     "math code 99 is no operation kovra knows (use level, diff, pct, apct, yoy, log or their "
     "codes 0 to 5)"},
    {"MathCodeMinusOne",
     {"fetch", "ECON.tqvdb:UKGAS", "--math", "-1"},
     2,
     "math code -1 is no operation kovra knows (use level, diff, pct, apct, yoy, log or "
     "their codes 0 to 5)"},
    {"MathLargestCode",
     {"fetch", "ECON.tqvdb:UKGAS", "--math", "2147483647"},
     2,
     "math code 2147483647 is no operation kovra knows (use level, diff, pct, apct, yoy, log or "
     "their codes 0 to 5)"},
    {"MathMostNegativeCode",
     {"fetch", "ECON.tqvdb:UKGAS", "--math", "-2147483648"},
     2,
     "math code -2147483648 is no operation kovra knows (use level, diff, pct, apct, yoy, log or "
     "their codes 0 to 5)"},
    {"MathBeyondTheIntRange",
     {"fetch", "ECON.tqvdb:UKGAS", "--math", "-2147483649"},
     2,
     "bad number '-2147483649' in '-2147483649'"},
    // Without a log-in the direct library reads nothing: kovra says why.
    {"DirectWithoutUser",
     {"--direct", "codes", "ECON"},
     1,
     "cannot open database 'ECON': log in first, with --user and --password-file (status 3)"},
    {"UserWithoutPasswordFile",
     {"--direct", "--user", "demo", "codes", "ECON"},
     2,
     "--user needs --password-file"},
    {"UserWithoutDirect",
     {"--user", "demo", "codes", "ECON.tqvdb"},
     2,
     "--user, --password-file and --service go with --direct"},
    {"MissingPasswordFile",
     {"--direct", "--user", "demo", "--password-file", "no-such-file", "codes", "ECON"},
     1,
     "cannot read the password file no-such-file"},
    {"PasswordFileIsAFolder",
     {"--direct", "--user", "demo", "--password-file", ".", "codes", "ECON"},
     1,
     "the password file . is a folder, not a file"},
#if !defined(_WIN32)
    // Sources that never end are refused, not read forever.
    {"PasswordFileIsADevice",
     {"--direct", "--user", "demo", "--password-file", "/dev/zero", "codes", "ECON"},
     1,
     "the password file /dev/zero is not a regular file (a pipe, a device or a socket)"},
    {"DatabaseFileNeverEnds",
     {"codes", "/dev/zero"},
     1,
     "cannot open database '/dev/zero': no regular file that can be read at /dev/zero or "
     "/dev/zero.tqvdb"},
#endif
    // The credentials file is no password file: its line is the wrong password.
    {"WrongLogIn",
     {"--direct", "--user", "demo", "--password-file", "credentials", "codes", "ECON"},
     1,
     "log-in to the direct library failed for user 'demo' (status 40)"},
    {"UnknownUser",
     {"--direct", "--user", "nobody", "--password-file", "../demo.password", "fetch", "ECON:UKGAS"},
     1,
     "log-in to the direct library failed for user 'nobody' (status 40)"},
    {"UnknownDirectDatabase", concat(kLogin, {"info", "NOSUCH:X"}), 1,
     "cannot open database 'NOSUCH': no such database (status 10 from the database library)"},
    {"UnknownDirectCode", concat(kLogin, {"fetch", "ECON:UKGAS", "ECON:NOSUCH"}), 1,
     "unknown series ECON:NOSUCH"},
    // check reads a database only when one is named, and only after a log-in
    // through the direct library.
    {"CheckOperand", {"check", "ECON"}, 2, "check takes no operand"},
    {"CheckDirectWithoutDatabase",
     {"check", "--direct"},
     2,
     "--direct on check goes with --database"},
    {"CheckUnknownDatabase", {"check", "--database", "NOSUCH"}, 1, noDatabase("NOSUCH")},
    {"CheckDirectWithoutLogIn",
     {"check", "--direct", "--database", "ECON"},
     1,
     "cannot open database 'ECON': log in first, with --user and --password-file (status 3)"},
    {"CheckUnknownDirectDatabase", concat(kLogin, {"check", "--database", "NOSUCH"}), 1,
     "cannot open database 'NOSUCH': no such database (status 10 from the database library)"},
    {"UnwritableChart",
     {"fetch", "ECON.tqvdb:UKGAS", "--plot", "no-such-folder/chart.svg"},
     1,
     "cannot write the chart no-such-folder/chart.svg.tmp: cannot create"},
};

INSTANTIATE_TEST_SUITE_P(Cases, KovraBadInput, ::testing::ValuesIn(kBadInputs),
                         [](const auto &p) { return std::string(p.param.name); });

TEST(KovraBadInputs, AWindowTooLargeToFetchIsRefusedBeforeAnythingIsRead) {
    // Five series of business days over eight thousand years.
    int weekdays = 0;
    for (int day = dayNumber(10000101); day <= dayNumber(99991231); ++day)
        weekdays += weekday(civilFromDays(day)) < 5 ? 1 : 0;
    const Result run =
        kovra({"fetch", "MARKETS.tqvdb:DAX", "MARKETS.tqvdb:SMI", "MARKETS.tqvdb:CAC",
               "MARKETS.tqvdb:FTSE", "MARKETS:DAX", "--from", "1000", "--to", "9999"});
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_EQ("kovra: the window is too large: 5 series of " + std::to_string(weekdays) +
                  " periods, more than 10000000 values\n",
              run.err);
}

// ---- databases built by tqvconvert ------------------------------------------

Result tqvconvert(const std::vector<std::string> &args) {
    return runTool("tqvconvert", args);
}

TEST(KovraMalformedDatabase, PointsToTheCheckThatNamesTheLine) {
    const fs::path file = scratchDir() / "BROKEN.tqvdb";
    std::ofstream(file, std::ios::binary) << "TQVDB 1\ndatabase BROKEN\nseries A\nfrequency 9\n";
    const Result open = kovra({"codes", file.string()});
    EXPECT_EQ(1, open.status);
    EXPECT_EQ("kovra: cannot open database '" + file.string() +
                  "': not a database (status 11 from the database library); 'tqvconvert check "
                  "FILE.tqvdb' shows where\n",
              open.err);
    const Result check = tqvconvert({"check", file.string()});
    EXPECT_EQ(1, check.status);
    EXPECT_EQ("tqvconvert: " + file.string() + ":4: unknown frequency code 9\n", check.err);
    fs::remove(file);
}

// A converted series without attributes in its manifest takes part in the
// common range of a lower frequency, averaged, rather than being set aside.
TEST(KovraConvertedSeries, TakesPartInACoarserCommonRangeByDefault) {
    const fs::path dir = scratchDir();
    std::ofstream(dir / "daily.csv", std::ios::binary)
        << "date,value\n2023-01-30,1\n2023-01-31,2\n2023-02-01,3\n";
    std::ofstream(dir / "daily.manifest", std::ios::binary)
        << "database DAILY\nseries D\n  file daily.csv\n  column value\n  frequency 60\n"
           "  date date\nend\n";
    const fs::path database = dir / "DAILY.tqvdb";
    const Result built = tqvconvert({(dir / "daily.manifest").string(), database.string()});
    ASSERT_EQ(0, built.status) << built.err;
    const std::string operand = database.string() + ":D";
    const Result run = kovra({"info", "--range", "--freq", "monthly", operand});
    ASSERT_EQ(0, run.status) << run.err;
    const std::vector<std::string> out = lines(run.out);
    ASSERT_LE(2u, out.size()) << run.out;
    EXPECT_EQ("used", tableRow(out[0], out[1])["range"]) << run.out;
    EXPECT_NE(out.end(), std::find(out.begin(), out.end(),
                                   "common range: monthly, 2023-01 to 2023-02, 2 observations"))
        << run.out;
    for (const char *name : {"daily.csv", "daily.manifest", "DAILY.tqvdb"})
        fs::remove(dir / name);
}

} // namespace
