// tqvconvert: manifest and CSV reading, dating of rows, averaging into a
// coarser frequency, and the program's handling of its output file.
#include "convert.h"

#include "dbfile.h"
#include "fifo_guard.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using tqvconvert::CsvTable;
using tqvconvert::Dating;
using tqvconvert::Manifest;
using tqvconvert::SeriesEntry;

constexpr double M = 1e9; // missing

CsvTable csv(const std::string &text) {
    CsvTable table;
    std::string error;
    EXPECT_TRUE(tqvconvert::parseCsv(text, "t.csv", table, error)) << error;
    return table;
}

SeriesEntry entry(int frequency, Dating dating, const std::string &dateColumn = "time",
                  int start = 0, int rows = 0) {
    SeriesEntry s;
    s.code = "S";
    s.file = "t.csv";
    s.column = "value";
    s.frequency = frequency;
    s.rows = rows;
    s.dating = dating;
    s.dateColumn = dateColumn;
    s.start = start;
    return s;
}

struct Built {
    bool ok = false;
    tqvs::Series series;
    std::string error;
};

Built build(const SeriesEntry &s, const std::string &csvText) {
    Built b;
    const CsvTable table = csv(csvText);
    b.ok = tqvconvert::buildSeries(s, table, "t.csv", b.series, b.error);
    return b;
}

void expectValues(const std::vector<double> &expected, const std::vector<double> &actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == M)
            EXPECT_EQ(M, actual[i]) << "slot " << i;
        else
            EXPECT_NEAR(expected[i], actual[i], 1e-9 * (1 + std::abs(expected[i]))) << "slot " << i;
    }
}

// ---- CSV ------------------------------------------------------------------

TEST(ConvertCsv, ReadsPlainAndQuotedFiles) {
    const CsvTable plain = csv("rownames,time,value\n1,1960,160.1\n2,1960.25,\n");
    EXPECT_EQ((std::vector<std::string>{"rownames", "time", "value"}), plain.header);
    ASSERT_EQ(2u, plain.rows.size());
    EXPECT_EQ((std::vector<std::string>{"2", "1960.25", ""}), plain.rows[1]);
    EXPECT_EQ((std::vector<int>{2, 3}), plain.lines);

    // The older quoted header, CRLF endings, a doubled quote, blank lines.
    const CsvTable quoted =
        csv("\"\",\"time\",\"value\"\r\n\r\n\"1\",1960,0.71\r\n\"a \"\"b\"\"\", 1960.25 ,0.63\r\n");
    EXPECT_EQ((std::vector<std::string>{"", "time", "value"}), quoted.header);
    ASSERT_EQ(2u, quoted.rows.size());
    EXPECT_EQ((std::vector<std::string>{"a \"b\"", "1960.25", "0.63"}), quoted.rows[1]);
    EXPECT_EQ((std::vector<int>{3, 4}), quoted.lines);
}

TEST(ConvertCsv, AcceptsTheByteOrderMarkOfSpreadsheetPrograms) {
    const CsvTable bom = csv("\xEF\xBB\xBFtime,value\r\n2000,1\r\n");
    EXPECT_EQ((std::vector<std::string>{"time", "value"}), bom.header);
    ASSERT_EQ(1u, bom.rows.size());
    EXPECT_EQ((std::vector<int>{2}), bom.lines);
    const CsvTable quoted = csv("\xEF\xBB\xBF\"time\",\"value\"\n2000,1\n");
    EXPECT_EQ((std::vector<std::string>{"time", "value"}), quoted.header);
    // Only at the very start: elsewhere the bytes are data.
    const CsvTable later = csv("time,value\n\xEF\xBB\xBF"
                               "2000,1\n");
    EXPECT_EQ("\xEF\xBB\xBF"
              "2000",
              later.rows[0][0]);
}

TEST(ConvertCsv, RejectsMalformedFilesWithTheirLine) {
    const struct {
        const char *text;
        const char *message;
    } cases[] = {
        {"", "t.csv:1: no header line"},
        {"a,b\n1,2\n3\n", "t.csv:3: row has 1 fields, the header 2"},
        {"a,b\n1,2,3\n", "t.csv:2: row has 3 fields, the header 2"},
        {"a,b\n\"1,2\n", "t.csv:2: badly quoted field"},
        {"a,b\n\"1\"x,2\n", "t.csv:2: badly quoted field"},
        {"a,b\n1\"2,3\n", "t.csv:2: badly quoted field"},
        // CR-only line ends would merge every row into the header.
        {"a,b\r1,2\r3,4\r",
         "t.csv:1: carriage return inside a line (CR-only line ends?); save the file with LF or "
         "CRLF line ends"},
        {"a,b\n1,2\r3,4\n",
         "t.csv:2: carriage return inside a line (CR-only line ends?); save the file with LF or "
         "CRLF line ends"},
    };
    for (const auto &c : cases) {
        CsvTable table;
        std::string error;
        EXPECT_FALSE(tqvconvert::parseCsv(c.text, "t.csv", table, error)) << c.text;
        EXPECT_EQ(c.message, error);
    }
}

// ---- dating rows ----------------------------------------------------------

TEST(ConvertBuild, DecimalYearTimes) {
    const struct {
        const char *name;
        int frequency;
        const char *csv;
        int first;
        int last;
        std::vector<double> values;
    } cases[] = {
        {"quarterly",
         30,
         "time,value\n1960,1\n1960.25,2\n1960.5,3\n1960.75,4\n1961,5\n",
         19601,
         19611,
         {1, 2, 3, 4, 5}},
        {"quarterly_from_q2",
         30,
         "time,value\n1971.25,13067.3\n1971.5,13130.5\n",
         19712,
         19713,
         {13067.3, 13130.5}},
        // R's monthly times carry noise on both sides of the exact value.
        {"monthly_noise",
         40,
         "time,value\n1973.91666666667,1\n1974,2\n1974.08333333333,3\n1974.16666666668,4\n",
         197312,
         197403,
         {1, 2, 3, 4}},
        {"annual", 10, "time,value\n1871,1120\n1872,1160\n", 1871, 1872, {1120, 1160}},
        // A gap in the times becomes missing periods; empty and NA are missing.
        {"gap_and_missing",
         30,
         "time,value\n1945,\n1945.25,87\n1946,NA\n1946.25,5\n",
         19451,
         19462,
         {M, 87, M, M, M, 5}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Built b = build(entry(c.frequency, Dating::Time), c.csv);
        ASSERT_TRUE(b.ok) << b.error;
        EXPECT_EQ(c.frequency, b.series.frequency);
        EXPECT_EQ(c.first, b.series.first);
        EXPECT_EQ(c.last, b.series.last);
        expectValues(c.values, b.series.values);
        EXPECT_EQ(1, b.series.attributes[0]);
    }
}

TEST(ConvertBuild, TimeFromAnotherColumnAsInLongley) {
    SeriesEntry s = entry(10, Dating::Time, "Year");
    s.column = "GNP";
    const Built b = build(s, "rownames,GNP,Year\n1947,234.289,1947\n1948,259.426,1948\n");
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_EQ(1947, b.series.first);
    EXPECT_EQ(1948, b.series.last);
    expectValues({234.289, 259.426}, b.series.values);
}

TEST(ConvertBuild, DateColumn) {
    // 2023-01-05 is a Thursday.
    const Built daily =
        build(entry(60, Dating::Date, "date"), "date,value\n2023-02-27,1\n2023-03-02,4\n");
    ASSERT_TRUE(daily.ok) << daily.error;
    EXPECT_EQ(20230227, daily.series.first);
    EXPECT_EQ(20230302, daily.series.last);
    expectValues({1, M, M, 4}, daily.series.values); // 28 Feb and 1 Mar have no row

    const Built business =
        build(entry(61, Dating::Date, "date"), "date,value\n2023-01-05,1\n2023-01-09,3\n");
    ASSERT_TRUE(business.ok) << business.error;
    EXPECT_EQ(20230105, business.series.first);
    EXPECT_EQ(20230109, business.series.last);
    expectValues({1, M, 3}, business.series.values); // Friday the 6th missing

    const Built monthly =
        build(entry(40, Dating::Date, "date"), "date,value\n2020-01-31,1\n2020-03-01,3\n");
    ASSERT_TRUE(monthly.ok) << monthly.error;
    EXPECT_EQ(202001, monthly.series.first);
    EXPECT_EQ(202003, monthly.series.last);
    expectValues({1, M, 3}, monthly.series.values);
}

TEST(ConvertBuild, StartWithConsecutiveBusinessDays) {
    // Thursday 5 January 2023 and six business days after it: Fri, Mon-Fri.
    const Built b = build(entry(61, Dating::Start, "", 20230105),
                          "rownames,value\n1,10\n2,11\n3,12\n4,\n5,14\n6,15\n7,16\n");
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_EQ(20230105, b.series.first);
    EXPECT_EQ(20230113, b.series.last);
    expectValues({10, 11, 12, M, 14, 15, 16}, b.series.values);
}

TEST(ConvertBuild, BusinessDaysAveragedIntoWeeks) {
    // Rows from Wednesday 4 January 2023 to Monday 16 January 2023.
    const std::string rows = "v,value\n"
                             "a,1\nb,2\nc,6\n"              // Wed-Fri 4-6
                             "d,10\ne,20\nf,\ng,30\nh,40\n" // Mon-Fri 9-13, Wed missing
                             "i,7\n";                       // Mon 16
    // Weeks ending Friday (55): 6, 13 and 20 January.
    const Built friday = build(entry(55, Dating::Start, "", 20230104, 61), rows);
    ASSERT_TRUE(friday.ok) << friday.error;
    EXPECT_EQ(20230106, friday.series.first);
    EXPECT_EQ(20230120, friday.series.last);
    expectValues({3, 25, 7}, friday.series.values);

    // Weeks ending Tuesday (52): 10 and 17 January hold Wed-Tue.
    const Built tuesday = build(entry(52, Dating::Start, "", 20230104, 61), rows);
    ASSERT_TRUE(tuesday.ok) << tuesday.error;
    EXPECT_EQ(20230110, tuesday.series.first);
    EXPECT_EQ(20230117, tuesday.series.last);
    expectValues({(1 + 2 + 6 + 10 + 20) / 5.0, (30 + 40 + 7) / 3.0}, tuesday.series.values);
}

TEST(ConvertBuild, MonthsAveragedIntoQuartersWithAnEmptyQuarter) {
    const Built b = build(entry(30, Dating::Time, "time", 0, 40),
                          "time,value\n2000,1\n2000.0833333,2\n2000.1666667,6\n"
                          "2000.25,\n2000.3333333,\n2000.5,9\n");
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_EQ(20001, b.series.first);
    EXPECT_EQ(20003, b.series.last);
    expectValues({3, M, 9}, b.series.values);
}

TEST(ConvertBuild, MeansOfHugeValuesDoNotOverflow) {
    const double largest = std::numeric_limits<double>::max();
    const struct {
        const char *name;
        const char *csv;
        double mean;
    } cases[] = {
        {"twice_1e308", "time,value\n2000,1e308\n2000.0833333,1e308\n", 1e308},
        {"largest_three_times",
         "time,value\n2000,1.7976931348623157e308\n2000.0833333,1.7976931348623157e308\n"
         "2000.1666667,1.7976931348623157e308\n",
         largest},
        {"largest_and_its_negative",
         "time,value\n2000,-1.7976931348623157e308\n2000.0833333,1.7976931348623157e308\n", 0},
        {"overflow_then_back", "time,value\n2000,1e308\n2000.0833333,1e308\n2000.1666667,-1e308\n",
         1e308 / 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Built b = build(entry(30, Dating::Time, "time", 0, 40), c.csv);
        ASSERT_TRUE(b.ok) << b.error;
        ASSERT_EQ(1u, b.series.values.size());
        EXPECT_NE(M, b.series.values[0]);
        EXPECT_DOUBLE_EQ(c.mean, b.series.values[0]);
    }
}

TEST(ConvertBuild, NegativeZeroKeepsItsSignIntoTheFileAndBack) {
    const Built b = build(entry(30, Dating::Time, "time", 0, 40),
                          "time,value\n2000,-0\n2000.25,-0.0\n2000.3333333,-0\n2000.5,0\n");
    ASSERT_TRUE(b.ok) << b.error;
    ASSERT_EQ(3u, b.series.values.size());
    EXPECT_TRUE(std::signbit(b.series.values[0])); // one row
    EXPECT_TRUE(std::signbit(b.series.values[1])); // the mean of two
    EXPECT_FALSE(std::signbit(b.series.values[2]));
    tqvs::Database db;
    db.name = "D";
    db.series.push_back(b.series);
    tqvs::Database back;
    std::string error;
    ASSERT_TRUE(tqvs::parseDatabase(tqvs::formatDatabase(db), back, error)) << error;
    ASSERT_EQ(3u, back.series[0].values.size());
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(0.0, back.series[0].values[i]);
        EXPECT_EQ(std::signbit(b.series.values[i]), std::signbit(back.series[0].values[i])) << i;
    }
}

TEST(ConvertBuild, DefaultAttributesTakeASeriesIntoACoarserRange) {
    // Attribute 1 says there are observations; attribute 6 other than 0 and
    // 9 keeps a daily series in a monthly common range, averaged.
    const Built b = build(entry(60, Dating::Date, "d"), "d,value\n2023-01-02,1\n");
    ASSERT_TRUE(b.ok) << b.error;
    const int expected[6] = {1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(expected[i], b.series.attributes[i]) << "attribute " << i + 1;
}

TEST(ConvertBuild, HeaderOnlyGivesAnEmptySeries) {
    SeriesEntry s = entry(40, Dating::Time);
    s.texts[4] = "nothing yet";
    const Built b = build(s, "time,value\n");
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_TRUE(b.series.values.empty());
    for (int a : b.series.attributes)
        EXPECT_EQ(0, a);
    EXPECT_EQ("nothing yet", b.series.texts[4]);
}

TEST(ConvertBuild, AttributesFromTheManifestWin) {
    SeriesEntry s = entry(10, Dating::Time);
    s.hasAttributes = true;
    const int given[6] = {0, 2, 3, 4, 5, -6};
    for (int i = 0; i < 6; ++i)
        s.attributes[i] = given[i];
    const Built b = build(s, "time,value\n2000,1\n");
    ASSERT_TRUE(b.ok) << b.error;
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(given[i], b.series.attributes[i]);
}

TEST(ConvertBuild, RowFaultsNameFileAndLine) {
    const struct {
        const char *name;
        SeriesEntry entry;
        const char *csv;
        const char *message;
    } cases[] = {
        {"no_value_column", entry(10, Dating::Time), "time,val\n2000,1\n",
         "t.csv:1: no column 'value' (columns: 'time', 'val')"},
        {"no_time_column", entry(10, Dating::Time, "year"), "time,value\n2000,1\n",
         "t.csv:1: no column 'year' (columns: 'time', 'value')"},
        {"value_not_a_number", entry(10, Dating::Time), "time,value\n2000,1\n2001,x1\n",
         "t.csv:3: value 'x1' is not a number"},
        {"value_infinite", entry(10, Dating::Time), "time,value\n2000,inf\n",
         "t.csv:2: value 'inf' is not a number"},
        {"time_not_a_number", entry(10, Dating::Time), "time,value\n2000a,1\n",
         "t.csv:2: time '2000a' is not a number"},
        {"time_not_a_year", entry(10, Dating::Time), "time,value\n2000.5,1\n",
         "t.csv:2: time '2000.5' is not a whole year"},
        {"time_not_a_quarter", entry(30, Dating::Time), "time,value\n2000.1,1\n",
         "t.csv:2: time '2000.1' is not the start of a quarter"},
        {"time_not_a_month", entry(40, Dating::Time), "time,value\n2000.04,1\n",
         "t.csv:2: time '2000.04' is not the start of a month"},
        {"time_out_of_range", entry(10, Dating::Time), "time,value\n1e300,1\n",
         "t.csv:2: time '1e300' is outside the years 1 to 9999"},
        {"time_repeated", entry(30, Dating::Time), "time,value\n2000,1\n2000,2\n",
         "t.csv:3: row is not later than the row before it"},
        {"time_backwards", entry(40, Dating::Time), "time,value\n2000.5,1\n2000,2\n",
         "t.csv:3: row is not later than the row before it"},
        {"date_malformed", entry(60, Dating::Date, "d"), "d,value\n2023/01/05,1\n",
         "t.csv:2: date '2023/01/05' is not a date YYYY-MM-DD"},
        {"date_impossible", entry(60, Dating::Date, "d"), "d,value\n2023-02-29,1\n",
         "t.csv:2: date '2023-02-29' is not a date YYYY-MM-DD"},
        {"date_weekend", entry(61, Dating::Date, "d"), "d,value\n2023-01-07,1\n",
         "t.csv:2: date '2023-01-07' is not a business day"},
        // Numbers beyond a double are out of range, not "not a number".
        {"value_too_large", entry(10, Dating::Time), "time,value\n2000,1\n2001,-1e400\n",
         "t.csv:3: value '-1e400' is out of the range of a double"},
        {"value_too_small", entry(10, Dating::Time), "time,value\n2000,1e-400\n",
         "t.csv:2: value '1e-400' is out of the range of a double"},
        {"time_too_large", entry(10, Dating::Time), "time,value\n1e999,1\n",
         "t.csv:2: time '1e999' is out of the range of a double"},
        // The missing value itself would silently turn into a missing observation.
        {"value_is_the_missing_value", entry(10, Dating::Time), "time,value\n2000,1\n2001,1e9\n",
         "t.csv:3: value '1e9' equals the missing value 1e9 and would read as a missing "
         "observation"},
        {"value_is_the_missing_value_spelt_out", entry(10, Dating::Time),
         "time,value\n2000,1000000000.0\n",
         "t.csv:2: value '1000000000.0' equals the missing value 1e9 and would read as a missing "
         "observation"},
        {"mean_is_the_missing_value", entry(30, Dating::Time, "time", 0, 40),
         "time,value\n2000,1\n2000.25,999999999\n2000.3333333,1000000001\n",
         "t.csv:3: the mean of the period from this row on equals the missing value 1e9"},
        // Periods past the year 9999 are named with the row that makes them.
        {"start_runs_past_9999", entry(10, Dating::Start, "", 9998), "v,value\na,1\nb,2\nc,3\n",
         "t.csv:4: row lies outside the years 1 to 9999 (period 10000 of frequency 10)"},
        {"time_rounds_into_10000", entry(40, Dating::Time), "time,value\n9999.9999,1\n",
         "t.csv:2: row lies outside the years 1 to 9999 (period 1000001 of frequency 40)"},
        // 9999-12-31 is a Friday: its week ending Sunday ends in the year 10000.
        {"week_ends_in_10000", entry(57, Dating::Date, "d", 0, 60), "d,value\n9999-12-31,1\n",
         "t.csv:2: row falls into a period that lies outside the years 1 to 9999 (period "
         "100000102 of frequency 57)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Built b = build(c.entry, c.csv);
        EXPECT_FALSE(b.ok);
        EXPECT_EQ(c.message, b.error);
    }
}

// ---- manifest -------------------------------------------------------------

const char *const kManifest = "# sample\n"
                              "database ECON\n"
                              "\n"
                              "series UKGAS\n"
                              "  file UKgas.csv\n"
                              "  column value\n"
                              "  frequency 30\n"
                              "  time time\n"
                              "  text5 UK gas consumption\n"
                              "  attributes 1 0 0 0 0 9\n"
                              "end\n"
                              "series DAXW\n"
                              "  file EuStockMarkets.csv\n"
                              "  column DAX\n"
                              "  rows 61\n"
                              "  start 19910701\n"
                              "  frequency 55\n"
                              "end\n";

TEST(ConvertManifest, ReadsSeriesBlocks) {
    Manifest m;
    std::string error;
    ASSERT_TRUE(tqvconvert::parseManifest(kManifest, "m", m, error)) << error;
    EXPECT_EQ("ECON", m.database);
    ASSERT_EQ(2u, m.series.size());
    const SeriesEntry &gas = m.series[0];
    EXPECT_EQ(4, gas.line);
    EXPECT_EQ("UKGAS", gas.code);
    EXPECT_EQ("UKgas.csv", gas.file);
    EXPECT_EQ("value", gas.column);
    EXPECT_EQ(30, gas.frequency);
    EXPECT_EQ(0, gas.rows);
    EXPECT_EQ(Dating::Time, gas.dating);
    EXPECT_EQ("time", gas.dateColumn);
    EXPECT_EQ("UK gas consumption", gas.texts[4]);
    EXPECT_TRUE(gas.hasAttributes);
    EXPECT_EQ(9, gas.attributes[5]);
    const SeriesEntry &dax = m.series[1];
    EXPECT_EQ(55, dax.frequency);
    EXPECT_EQ(61, dax.rows);
    EXPECT_EQ(Dating::Start, dax.dating);
    EXPECT_EQ(19910701, dax.start);
}

TEST(ConvertManifest, SkipsAByteOrderMark) {
    Manifest m;
    std::string error;
    ASSERT_TRUE(tqvconvert::parseManifest(std::string("\xEF\xBB\xBF") + kManifest, "m", m, error))
        << error;
    EXPECT_EQ("ECON", m.database);
    ASSERT_EQ(2u, m.series.size());
    EXPECT_EQ(4, m.series[0].line);
}

TEST(ConvertManifest, RejectsMistakesWithTheirLine) {
    const std::string head = "database D\nseries S\nfile f.csv\ncolumn v\n"; // lines 1-4
    const struct {
        const char *name;
        std::string text;
        const char *message;
    } cases[] = {
        {"no_database", "", "m:1: no 'database NAME' line"},
        {"series_before_database", "series S\n",
         "m:1: 'database NAME' must come before the first series"},
        {"database_twice", "database A\ndatabase B\n", "m:2: 'database' given twice"},
        {"unknown_top_level", "database D\nfile x\n",
         "m:2: expected 'database' or 'series', found 'file'"},
        {"code_too_long", "database D\nseries ABCDEFGHIJ\n",
         "m:2: series code 'ABCDEFGHIJ' is longer than 9 characters"},
        {"code_twice", head + "frequency 10\ntime t\nend\nseries S\n",
         "m:8: series 'S' appears twice"},
        {"unknown_keyword", head + "units x\n", "m:5: unknown keyword 'units'"},
        {"keyword_twice", head + "column w\n", "m:5: 'column' given twice in series 'S'"},
        {"value_missing", head + "frequency\n", "m:5: 'frequency' needs a value"},
        {"bad_frequency", head + "frequency 45\n",
         "m:5: 'frequency' takes a frequency code (10, 30, 40, 51 to 57, 60, 61)"},
        {"two_datings", head + "time t\nstart 2000\n",
         "m:6: give only one of 'time', 'date' and 'start'"},
        {"start_not_a_number", head + "start 1991-07-01\n",
         "m:5: 'start' takes a period date, e.g. 19910701 or 197401"},
        {"text_too_long", head + "text1 12345678\n", "m:5: text1 is longer than 7 bytes"},
        {"attributes_short", head + "attributes 1 2\n", "m:5: 'attributes' takes 6 integers"},
        {"no_end", head + "frequency 10\ntime t\n", "m:2: series 'S' has no 'end'"},
        {"series_in_series", head + "series T\n",
         "m:5: 'series' inside series 'S' (missing 'end'?)"},
        {"no_file", "database D\nseries S\ncolumn v\nfrequency 10\ntime t\nend\n",
         "m:6: series 'S' has no 'file'"},
        {"no_column", "database D\nseries S\nfile f\nfrequency 10\ntime t\nend\n",
         "m:6: series 'S' has no 'column'"},
        {"no_frequency", head + "time t\nend\n", "m:6: series 'S' has no 'frequency'"},
        {"no_dating", head + "frequency 10\nend\n",
         "m:6: series 'S' needs one of 'time', 'date' and 'start'"},
        {"rows_coarser", head + "frequency 40\nrows 30\ntime t\nend\n",
         "m:8: rows of frequency 30 cannot be averaged into frequency 40"},
        {"into_business_days", head + "frequency 61\nrows 60\ndate d\nend\n",
         "m:8: rows of frequency 60 cannot be averaged into frequency 61"},
        {"time_for_days", head + "frequency 60\ntime t\nend\n",
         "m:7: 'time' dates only annual, quarterly and monthly rows"},
        // 1991-07-06 is a Saturday.
        {"start_not_a_period", head + "frequency 61\nstart 19910706\nend\n",
         "m:7: start 19910706 is not a period date of frequency 61"},
        {"start_past_9999", head + "frequency 10\nstart 10000\nend\n",
         "m:7: start 10000 is not a period date of frequency 10 (years run from 1 to 9999)"},
        {"control_character", head + "column\x01v\n", "m:5: control character in line"},
        {"cr_only_line_ends", "database D\rseries S\r",
         "m:1: carriage return inside a line (CR-only line ends?); save the file with LF or CRLF "
         "line ends"},
        {"text_limit_in_bytes", head + "text1 \xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9\n",
         "m:5: text1 is longer than 7 bytes"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Manifest m;
        std::string error;
        EXPECT_FALSE(tqvconvert::parseManifest(c.text, "m", m, error));
        EXPECT_EQ(c.message, error);
    }
}

// ---- the program, on files ------------------------------------------------

class ConvertTool : public ::testing::Test {
  protected:
    void SetUp() override {
        // Parameterised tests are named "Test/Case": one folder each.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        dir_ = std::filesystem::temp_directory_path() / ("tqvconvert_test_" + name);
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "data");
        write("data/q.csv", "\"\",\"time\",\"value\"\n\"1\",1960,0.71\n\"2\",1960.25,0.63\n");
        write("data/stocks.csv", "rownames,A,B\n1,10,1\n2,20,2\n3,30,3\n4,40,4\n");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void write(const std::string &name, const std::string &text) {
        std::ofstream(dir_ / name, std::ios::binary) << text;
    }
    std::string read(const std::string &name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string path(const std::string &name) { return (dir_ / name).string(); }
    int run(const std::vector<std::string> &args) {
        out_.str("");
        err_.str("");
        return tqvconvert::runTool(args, out_, err_);
    }

    std::filesystem::path dir_;
    std::ostringstream out_;
    std::ostringstream err_;
};

const char *const kToolManifest = "database SAMPLE\n"
                                  "series JNJ\nfile q.csv\ncolumn value\nfrequency 30\n"
                                  "time time\nend\n"
                                  "series A\nfile stocks.csv\ncolumn A\nfrequency 61\n"
                                  "start 20230105\nend\n"
                                  "series B\nfile stocks.csv\ncolumn B\nfrequency 61\n"
                                  "start 20230105\nend\n";

TEST_F(ConvertTool, BuildsADatabaseThatReadsBack) {
    write("data/m.txt", kToolManifest);
    ASSERT_EQ(0, run({path("data/m.txt"), path("out.tqvdb")})) << err_.str();
    EXPECT_EQ("", err_.str());
    tqvs::Database db;
    std::string error;
    ASSERT_TRUE(tqvs::parseDatabase(read("out.tqvdb"), db, error)) << error;
    EXPECT_EQ("SAMPLE", db.name);
    ASSERT_EQ(3u, db.series.size());
    EXPECT_EQ(19601, db.series[0].first);
    EXPECT_EQ(19602, db.series[0].last);
    expectValues({0.71, 0.63}, db.series[0].values);
    // Thursday 5 January 2023 to Tuesday 10 January.
    EXPECT_EQ(20230105, db.series[2].first);
    EXPECT_EQ(20230110, db.series[2].last);
    expectValues({1, 2, 3, 4}, db.series[2].values);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.tqvdb.tmp"));
}

TEST_F(ConvertTool, DataDirOptionPlacesRelativeFiles) {
    write("m.txt", kToolManifest); // beside, not inside, the data folder
    EXPECT_EQ(1, run({path("m.txt"), path("out.tqvdb")}));
    ASSERT_EQ(0, run({"--data-dir", path("data"), path("m.txt"), path("out.tqvdb")})) << err_.str();
    EXPECT_TRUE(std::filesystem::exists(dir_ / "out.tqvdb"));
}

TEST_F(ConvertTool, FailureLeavesTheOutputAsItWas) {
    write("out.tqvdb", "previous contents");
    const struct {
        const char *name;
        std::string manifest;
        std::string message;
    } cases[] = {
        {"missing_csv",
         "database D\nseries S\nfile none.csv\ncolumn v\nfrequency 10\n"
         "time t\nend\n",
         "none.csv: cannot open"},
        {"bad_value",
         "database D\nseries S\nfile stocks.csv\ncolumn A\nfrequency 10\n"
         "time B\nend\n"
         "series T\nfile q.csv\ncolumn time\nfrequency 30\ntime value\nend\n",
         "q.csv:2: time '0.71' is outside the years 1 to 9999"},
        {"bad_manifest", "database D\nseries S\n", "m.txt:2: series 'S' has no 'end'"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        write("data/m.txt", c.manifest);
        EXPECT_EQ(1, run({path("data/m.txt"), path("out.tqvdb")}));
        const std::string err = err_.str();
        EXPECT_EQ(0u, err.rfind("tqvconvert: ", 0)) << err;
        EXPECT_NE(std::string::npos, err.find(c.message)) << err;
        EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;
        EXPECT_EQ("previous contents", read("out.tqvdb"));
        EXPECT_FALSE(std::filesystem::exists(dir_ / "out.tqvdb.tmp"));
    }
    EXPECT_EQ(1, run({path("absent.txt"), path("out.tqvdb")}));
    EXPECT_EQ("previous contents", read("out.tqvdb"));
}

TEST_F(ConvertTool, ReplacesAnExistingOutput) {
    write("out.tqvdb", "previous contents");
    write("data/m.txt", kToolManifest);
    ASSERT_EQ(0, run({path("data/m.txt"), path("out.tqvdb")})) << err_.str();
    EXPECT_EQ(0u, read("out.tqvdb").rfind("TQVDB 1\n", 0));
}

TEST_F(ConvertTool, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {{},
                                                         {"only-one"},
                                                         {"a", "b", "c"},
                                                         {"--data-dir"},
                                                         {"--bogus", "a", "b"},
                                                         {"check"},
                                                         {"check", "a", "b"},
                                                         {"--data-dir", "d", "check", "x"}};
    for (const auto &args : cases) {
        EXPECT_EQ(2, run(args));
        const std::string err = err_.str();
        EXPECT_NE(std::string::npos, err.find("usage: tqvconvert")) << err;
        EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;
    }
    EXPECT_EQ(0, run({"--help"}));
    EXPECT_NE(std::string::npos, out_.str().find("usage: tqvconvert"));
}

// ---- outputs that are not the tool's to replace ---------------------------

// Everything under a folder, without following links or opening anything
// but regular files: path, kind, and the contents or link target.
std::vector<std::string> snapshot(const std::filesystem::path &root) {
    namespace fs = std::filesystem;
    std::vector<std::string> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::file_status st = it->symlink_status();
        std::string entry = fs::relative(it->path(), root).generic_string() + " kind " +
                            std::to_string(static_cast<int>(st.type()));
        if (st.type() == fs::file_type::regular) {
            std::ifstream in(it->path(), std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            entry += " " + text.str();
        } else if (st.type() == fs::file_type::symlink) {
            entry += " -> " + fs::read_symlink(it->path()).generic_string();
        }
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

struct HostileOutput {
    const char *name;
    const char *output; // relative to the test folder
    // Makes the output; an empty string when done, else why the case cannot run here.
    std::string (*prepare)(const std::filesystem::path &dir);
    const char *message; // what the one line says about the output
};

// Test names in listings: the case name, not the bytes of the case.
void PrintTo(const HostileOutput &c, std::ostream *out) {
    *out << c.name;
}

std::string nothingToPrepare(const std::filesystem::path &) {
    return {};
}

std::string makeFolder(const std::filesystem::path &dir) {
    std::filesystem::create_directories(dir / "out.tqvdb");
    std::ofstream(dir / "out.tqvdb" / "keep.txt") << "kept";
    return {};
}

std::string makeLink(const std::filesystem::path &dir, const std::filesystem::path &target) {
    std::error_code ec;
    std::filesystem::create_symlink(target, dir / "out.tqvdb", ec);
    return ec ? "cannot make a symbolic link here: " + ec.message() : std::string();
}

std::string makeLinkToAFile(const std::filesystem::path &dir) {
    std::ofstream(dir / "victim.txt") << "not the tool's";
    return makeLink(dir, "victim.txt");
}

std::string makeDanglingLink(const std::filesystem::path &dir) {
    return makeLink(dir, "elsewhere.tqvdb");
}

std::string makeHardLinkToTheCsv(const std::filesystem::path &dir) {
    std::error_code ec;
    std::filesystem::create_hard_link(dir / "data" / "q.csv", dir / "out.tqvdb", ec);
    return ec ? "cannot make a hard link here: " + ec.message() : std::string();
}

std::string makeFifo(const std::filesystem::path &dir) {
#ifdef _WIN32
    (void)dir;
    return "no named pipes in the file system on Windows";
#else
    if (mkfifo((dir / "out.tqvdb").c_str(), 0600) != 0)
        return "cannot make a named pipe here";
    return {};
#endif
}

// A character device with the numbers of /dev/null: harmless if it were
// ever written, and only root may make one.
std::string makeDevice(const std::filesystem::path &dir) {
#ifdef _WIN32
    (void)dir;
    return "no device nodes on Windows";
#else
    if (geteuid() != 0)
        return "only root can make a device node";
    if (mknod((dir / "out.tqvdb").c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        return "cannot make a device node here (no permission in this container?)";
    return {};
#endif
}

const HostileOutput kHostileOutputs[] = {
    {"Folder", "out.tqvdb", makeFolder, "the output is a folder; give a file name"},
    {"LinkToAFile", "out.tqvdb", makeLinkToAFile,
     "the output is a symbolic link; give a regular file"},
    {"DanglingLink", "out.tqvdb", makeDanglingLink,
     "the output is a symbolic link; give a regular file"},
    {"NamedPipe", "out.tqvdb", makeFifo, "the output is not a regular file; give a regular file"},
    {"DeviceNode", "out.tqvdb", makeDevice,
     "the output is not a regular file; give a regular file"},
    {"TheManifest", "data/m.txt", nothingToPrepare, "the output is the input file "},
    {"TheCsv", "data/q.csv", nothingToPrepare, "the output is the input file "},
    {"TheCsvByAnotherName", "data/../data/q.csv", nothingToPrepare,
     "the output is the input file "},
    {"AHardLinkToTheCsv", "out.tqvdb", makeHardLinkToTheCsv, "the output is the input file "},
};

class ConvertOutput : public ConvertTool, public ::testing::WithParamInterface<HostileOutput> {};

TEST_P(ConvertOutput, IsRefusedWithOneLineAndNothingChanged) {
    const HostileOutput &c = GetParam();
    write("data/m.txt", kToolManifest);
    const std::string reason = c.prepare(dir_);
    if (!reason.empty())
        GTEST_SKIP() << reason;
    const std::vector<std::string> before = snapshot(dir_);
    EXPECT_EQ(1, run({path("data/m.txt"), path(c.output)}));
    const std::string err = err_.str();
    EXPECT_EQ(0u, err.rfind("tqvconvert: " + path(c.output) + ": " + c.message, 0)) << err;
    EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;
    EXPECT_EQ(before, snapshot(dir_));
}

INSTANTIATE_TEST_SUITE_P(Cases, ConvertOutput, ::testing::ValuesIn(kHostileOutputs),
                         [](const auto &p) { return std::string(p.param.name); });

TEST_F(ConvertTool, ALinkNamedLikeTheTemporaryFileIsLeftAlone) {
    write("data/m.txt", kToolManifest);
    write("victim.txt", "not the tool's");
    std::error_code ec;
    std::filesystem::create_symlink("victim.txt", dir_ / "out.tqvdb.tmp", ec);
    if (ec)
        GTEST_SKIP() << "cannot make a symbolic link here: " << ec.message();
    ASSERT_EQ(0, run({path("data/m.txt"), path("out.tqvdb")})) << err_.str();
    EXPECT_EQ("not the tool's", read("victim.txt"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "out.tqvdb.tmp"));
    EXPECT_EQ(0u, read("out.tqvdb").rfind("TQVDB 1\n", 0));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.tqvdb.tmp1"));
}

// ---- bounded reads --------------------------------------------------------

TEST_F(ConvertTool, ReadsStopAtTheirLimits) {
    const struct {
        const char *name;
        const char *text;
        tqvs::ReadLimits limits;
        const char *problem; // empty: the file reads
    } cases[] = {
        {"within_both", "ab\ncd\n", {6, 2}, ""},
        {"line_at_the_limit_without_newline", "ab\ncd", {6, 2}, ""},
        {"file_one_byte_too_large", "ab\ncd\ne", {6, 2}, "is larger than 6 bytes"},
        {"second_line_too_long", "ab\ncde\n", {100, 2}, "line 2 is longer than 2 bytes"},
        {"no_line_end_at_all", "abcdef", {100, 4}, "line 1 is longer than 4 bytes"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        write("f.txt", c.text);
        std::string text = "untouched";
        std::string error;
        const bool ok = tqvconvert::readFile(path("f.txt"), text, error, c.limits);
        if (*c.problem == '\0') {
            EXPECT_TRUE(ok) << error;
            EXPECT_EQ(c.text, text);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(path("f.txt") + ": " + c.problem, error);
            EXPECT_EQ("untouched", text);
        }
    }
}

TEST_F(ConvertTool, AFolderGivenAsAFileIsNamedSo) {
    std::filesystem::create_directories(dir_ / "data" / "folder.csv");
    write("data/m.txt", "database D\nseries S\nfile folder.csv\ncolumn v\nfrequency 10\n"
                        "time t\nend\n");
    EXPECT_EQ(1, run({path("data/m.txt"), path("out.tqvdb")}));
    const std::string csvName = (std::filesystem::path(path("data")) / "folder.csv").u8string();
    EXPECT_EQ("tqvconvert: " + csvName + ": is a folder, not a file\n", err_.str());
    EXPECT_EQ(1, run({path("data"), path("out.tqvdb")}));
    EXPECT_EQ("tqvconvert: " + path("data") + ": is a folder, not a file\n", err_.str());
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.tqvdb"));
}

#ifndef _WIN32
using kovrap_test::finishesWithoutWaiting;

// A pipe or a device in any input's place is refused at once, with one
// line: the manifest, a file it names, the file to check. Nothing waits for
// a writer, and nothing reads a source that never ends.
TEST_F(ConvertTool, APipeOrADeviceAsAnInputIsRefusedAtOnce) {
    write("out.tqvdb", "previous contents");
    const std::string pipe = path("data/pipe");
    ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
    const std::string notRegular = ": is not a regular file (a pipe, a device or a socket)";
    for (const std::string &source : {pipe, std::string("/dev/zero")}) {
        write("data/m.txt",
              "database D\nseries S\nfile " + source + "\ncolumn v\nfrequency 10\ntime t\nend\n");
        const struct {
            const char *name;
            std::vector<std::string> args;
        } cases[] = {
            {"manifest", {source, path("out.tqvdb")}},
            {"csv", {path("data/m.txt"), path("out.tqvdb")}},
            {"check", {"check", source}},
        };
        for (const auto &c : cases) {
            SCOPED_TRACE(source + " as the " + c.name);
            int status = -1;
            ASSERT_TRUE(finishesWithoutWaiting([&] { status = run(c.args); }, pipe));
            EXPECT_EQ(1, status);
            EXPECT_EQ("tqvconvert: " + source + notRegular + "\n", err_.str());
            EXPECT_EQ("previous contents", read("out.tqvdb"));
        }
    }
}
#endif

// A regular file past the limits is refused with the limit it passed.
TEST_F(ConvertTool, AnInputPastItsLineLimitIsRefused) {
    write("out.tqvdb", "previous contents");
    write("data/long.txt", std::string((std::size_t{1} << 20) + 1, 'x'));
    write("data/m.txt", "database D\nseries S\nfile long.txt\ncolumn v\nfrequency 10\n"
                        "time t\nend\n");
    const std::string longName = (std::filesystem::path(path("data")) / "long.txt").u8string();
    const struct {
        const char *name;
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {"manifest",
         {path("data/long.txt"), path("out.tqvdb")},
         path("data/long.txt") + ": line 1 is longer than 1048576 bytes"},
        {"csv",
         {path("data/m.txt"), path("out.tqvdb")},
         longName + ": line 1 is longer than 1048576 bytes"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(1, run(c.args));
        EXPECT_EQ("tqvconvert: " + c.message + "\n", err_.str());
        EXPECT_EQ("previous contents", read("out.tqvdb"));
    }
}

// A database written over a file keeps that file's permission bits; it is a
// new file, so a hard link to the old one keeps the old contents.
TEST_F(ConvertTool, AReplacedDatabaseKeepsItsModeAndLeavesItsHardLinks) {
    write("data/m.txt", kToolManifest);
    write("out.tqvdb", "previous contents");
    std::filesystem::create_hard_link(dir_ / "out.tqvdb", dir_ / "link.tqvdb");
#ifndef _WIN32
    for (const unsigned mode : {0600u, 0640u, 0604u}) {
        ASSERT_EQ(0, ::chmod(path("out.tqvdb").c_str(), mode));
        ASSERT_EQ(0, run({path("data/m.txt"), path("out.tqvdb")})) << err_.str();
        struct stat st {};
        ASSERT_EQ(0, ::stat(path("out.tqvdb").c_str(), &st));
        EXPECT_EQ(mode, st.st_mode & 07777u) << std::oct << mode;
    }
#else
    ASSERT_EQ(0, run({path("data/m.txt"), path("out.tqvdb")})) << err_.str();
#endif
    EXPECT_EQ(0u, read("out.tqvdb").rfind("TQVDB 1", 0));
    EXPECT_EQ("previous contents", read("link.tqvdb"));
}

// ---- check ----------------------------------------------------------------

TEST_F(ConvertTool, CheckAcceptsWhatTheToolWrote) {
    write("data/m.txt", kToolManifest);
    ASSERT_EQ(0, run({path("data/m.txt"), path("out.tqvdb")})) << err_.str();
    EXPECT_EQ(0, run({"check", path("out.tqvdb")})) << err_.str();
    EXPECT_EQ(path("out.tqvdb") + ": database SAMPLE, 3 series, no problem found\n", out_.str());
    EXPECT_EQ("", err_.str());
}

TEST_F(ConvertTool, CheckNamesTheFirstProblemWithItsLine) {
    const struct {
        const char *name;
        const char *text; // null: no such file
        const char *problem;
    } cases[] = {
        {"empty", "", ":1: missing header 'TQVDB 1'"},
        {"bad_frequency", "TQVDB 1\ndatabase X\nseries A\nfrequency 9\n",
         ":4: unknown frequency code 9"},
        {"two_problems", "TQVDB 1\ndatabase X\nseries A\nfrequency 9\nbogus\n",
         ":4: unknown frequency code 9"},
        {"too_many_values",
         "TQVDB 1\ndatabase X\nseries A\nfrequency 10\nrange 2000 2001\nvalues\n1 2 3\nend\n",
         ":7: series 'A' has more than 2 values"},
        {"value_out_of_range",
         "TQVDB 1\ndatabase X\nseries A\nfrequency 10\nrange 2000 2000\nvalues\n1e400\nend\n",
         ":7: value '1e400' is out of the range of a double"},
        {"cr_only", "TQVDB 1\rdatabase X\r",
         ":1: control character '\\x0D', a carriage return inside a line (a file with CR-only "
         "line ends?)"},
        {"absent", nullptr, ": cannot open"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir_ / "db.tqvdb");
        if (c.text != nullptr)
            write("db.tqvdb", c.text);
        EXPECT_EQ(1, run({"check", path("db.tqvdb")}));
        EXPECT_EQ("tqvconvert: " + path("db.tqvdb") + c.problem + "\n", err_.str());
        EXPECT_EQ("", out_.str());
    }
}

} // namespace
