// The database file: round trips, the documented example, every class of
// malformed input, and robustness against arbitrary bytes.
#include "../../standin/engine/dbfile.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

using tqvs::Database;
using tqvs::Series;

constexpr double M = 1e9; // missing

Series makeSeries(const std::string &code, int frequency, int first, int last,
                  std::vector<double> values) {
    Series s;
    s.code = code;
    s.frequency = frequency;
    s.first = first;
    s.last = last;
    s.values = std::move(values);
    return s;
}

void expectSameDatabase(const Database &a, const Database &b) {
    EXPECT_EQ(a.name, b.name);
    ASSERT_EQ(a.series.size(), b.series.size());
    for (std::size_t i = 0; i < a.series.size(); ++i) {
        const Series &x = a.series[i];
        const Series &y = b.series[i];
        SCOPED_TRACE(x.code);
        EXPECT_EQ(x.code, y.code);
        EXPECT_EQ(x.frequency, y.frequency);
        EXPECT_EQ(x.first, y.first);
        EXPECT_EQ(x.last, y.last);
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(x.attributes[k], y.attributes[k]) << "attribute " << k + 1;
        for (int k = 0; k < 7; ++k)
            EXPECT_EQ(x.texts[k], y.texts[k]) << "text " << k + 1;
        ASSERT_EQ(x.values.size(), y.values.size());
        for (std::size_t v = 0; v < x.values.size(); ++v) // bit for bit
            EXPECT_EQ(0, std::memcmp(&x.values[v], &y.values[v], sizeof(double))) << v;
    }
}

// A database with one series of every frequency family, missing values,
// awkward numbers, texts at their full widths and an empty series.
Database sampleDatabase() {
    Database db;
    db.name = "SAMPLE";
    Series m = makeSeries("MONTHLY", 40, 197401, 197512,
                          {1,      M,    0.1,  -2.5e-7, 1.0 / 3, 123456789.125,
                           1e-300, -0.0, 4e15, M,       2,       3,
                           4,      5,    6,    7,       8,       9,
                           10,     11,   12,   13,      14,      15});
    m.attributes[0] = 1;
    m.attributes[3] = -42;
    m.attributes[5] = 2147483647;
    m.texts[0] = "1234567";
    m.texts[1] = "123456789";
    m.texts[4] = std::string(81, 'x');
    m.texts[6] = "  leading and trailing blanks, # and \xE9 stay  ";
    db.series.push_back(m);
    db.series.push_back(makeSeries("Q.1", 30, 19601, 19602, {0.71, 0.63}));
    db.series.push_back(makeSeries("A", 10, 1871, 1873, {1120, 1160, 963}));
    db.series.push_back(makeSeries("W55", 55, 20230106, 20230120, {1, 2, 3})); // Fridays
    db.series.push_back(makeSeries("B", 61, 20230106, 20230110, {1, 2, 3}));   // Fri-Tue
    db.series.push_back(makeSeries("D", 60, 20240228, 20240301, {1, 2, 3}));   // leap day
    Series empty = makeSeries("EMPTY", 40, 0, 0, {});
    empty.texts[4] = "no observations";
    db.series.push_back(empty);
    return db;
}

TEST(DbFile, FormatThenParseGivesTheSameDatabase) {
    const Database db = sampleDatabase();
    for (const Series &s : db.series)
        EXPECT_EQ("", tqvs::checkSeries(s)) << s.code;
    const std::string text = tqvs::formatDatabase(db);
    Database back;
    std::string error;
    ASSERT_TRUE(tqvs::parseDatabase(text, back, error)) << error << "\n" << text;
    expectSameDatabase(db, back);
    // A second pass writes the same bytes.
    EXPECT_EQ(text, tqvs::formatDatabase(back));
}

TEST(DbFile, EmptyDatabaseRoundTrips) {
    Database db;
    db.name = "NOTHING";
    Database back;
    std::string error;
    ASSERT_TRUE(tqvs::parseDatabase(tqvs::formatDatabase(db), back, error)) << error;
    EXPECT_EQ("NOTHING", back.name);
    EXPECT_TRUE(back.series.empty());
}

TEST(DbFile, FormatWritesTheDocumentedLayout) {
    Database db;
    db.name = "ECON";
    Series s = makeSeries("GAS", 30, 19601, 19602, {160.1, M});
    s.attributes[0] = 1;
    s.texts[4] = "UK gas";
    db.series.push_back(s);
    EXPECT_EQ("TQVDB 1\n"
              "database ECON\n"
              "\n"
              "series GAS\n"
              "frequency 30\n"
              "range 19601 19602\n"
              "attributes 1 0 0 0 0 0\n"
              "text1\ntext2\ntext3\ntext4\n"
              "text5 UK gas\n"
              "text6\ntext7\n"
              "values\n"
              "160.1 NA\n"
              "end\n",
              tqvs::formatDatabase(db));
}

// The example of the format's documentation, with comments, indentation,
// CRLF endings, tabs, values over several lines and optional fields left out.
TEST(DbFile, ReadsAHandWrittenFile) {
    const std::string text = "# economics sample\r\n"
                             "TQVDB 1\r\n"
                             "database ECON\r\n"
                             "\r\n"
                             "series UKGAS\r\n"
                             "  frequency 30\r\n"
                             "  range\t19601  19612\r\n"
                             "  attributes 1 0 0 0 0 9\r\n"
                             "  text5  UK gas consumption # millions of therms\r\n"
                             "  text1\r\n"
                             "  values\r\n"
                             "    # 1960\r\n"
                             "    160.1 129.7\t84.8 120.1\r\n"
                             "    NA\r\n"
                             "    1e1\r\n"
                             "  end\r\n"
                             "series EMPTY\n"
                             "frequency 61\n"
                             "range none\n"
                             "values\n"
                             "end\n"
                             "# trailing comment";
    Database db;
    std::string error;
    ASSERT_TRUE(tqvs::parseDatabase(text, db, error)) << error;
    EXPECT_EQ("ECON", db.name);
    ASSERT_EQ(2u, db.series.size());
    const Series &gas = db.series[0];
    EXPECT_EQ("UKGAS", gas.code);
    EXPECT_EQ(30, gas.frequency);
    EXPECT_EQ(19601, gas.first);
    EXPECT_EQ(19612, gas.last);
    const int attributes[6] = {1, 0, 0, 0, 0, 9};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(attributes[i], gas.attributes[i]);
    EXPECT_EQ(" UK gas consumption # millions of therms", gas.texts[4]);
    for (int i : {0, 1, 2, 3, 5, 6})
        EXPECT_EQ("", gas.texts[i]);
    EXPECT_EQ((std::vector<double>{160.1, 129.7, 84.8, 120.1, M, 10}), gas.values);
    const Series &empty = db.series[1];
    EXPECT_EQ("EMPTY", empty.code);
    EXPECT_EQ(61, empty.frequency);
    EXPECT_EQ(0, empty.first);
    EXPECT_EQ(0, empty.last);
    EXPECT_TRUE(empty.values.empty());
    for (int a : empty.attributes)
        EXPECT_EQ(0, a);
}

// Blanks after the last word of a line are no word: "end " closes its
// series like "end", whether the series has values or none.
TEST(DbFile, TrailingBlanksEndNoLineEarly) {
    for (const char *blanks : {" ", "\t", " \t  "}) {
        const std::string b = blanks;
        const std::string text = "TQVDB 1" + b + "\ndatabase D" + b + "\nseries A" + b +
                                 "\nfrequency 10" + b + "\nrange 2001 2002" + b + "\nvalues" + b +
                                 "\n1 2" + b + "\nend" + b + "\nseries E\nfrequency 10\n" +
                                 "range none" + b + "\nvalues\nend" + b + "\n";
        Database db;
        std::string error;
        ASSERT_TRUE(tqvs::parseDatabase(text, db, error)) << error;
        ASSERT_EQ(2u, db.series.size());
        EXPECT_EQ((std::vector<double>{1, 2}), db.series[0].values);
        EXPECT_TRUE(db.series[1].values.empty());
    }
}

// The example of docs/database-format.md, byte for byte.
TEST(DbFile, ReadsTheDocumentedExample) {
    const std::string text = "# Two series of a small economics database.\n"
                             "TQVDB 1\n"
                             "database ECON\n"
                             "\n"
                             "series UKGAS\n"
                             "frequency 30\n"
                             "range 19601 19612\n"
                             "attributes 1 0 0 0 0 9\n"
                             "text1 GAS\n"
                             "text5 UK gas consumption, millions of therms\n"
                             "values\n"
                             "160.1 129.7 84.8 120.1\n"
                             "160.1 NA\n"
                             "end\n"
                             "\n"
                             "series PENDING\n"
                             "frequency 61\n"
                             "range none\n"
                             "attributes 0 0 0 0 0 0\n"
                             "text5 no observations yet\n"
                             "values\n"
                             "end\n";
    Database db;
    std::string error;
    ASSERT_TRUE(tqvs::parseDatabase(text, db, error)) << error;
    EXPECT_EQ("ECON", db.name);
    ASSERT_EQ(2u, db.series.size());
    EXPECT_EQ("UKGAS", db.series[0].code);
    EXPECT_EQ(19612, db.series[0].last);
    EXPECT_EQ(9, db.series[0].attributes[5]);
    EXPECT_EQ("GAS", db.series[0].texts[0]);
    EXPECT_EQ("UK gas consumption, millions of therms", db.series[0].texts[4]);
    EXPECT_EQ((std::vector<double>{160.1, 129.7, 84.8, 120.1, 160.1, M}), db.series[0].values);
    EXPECT_EQ("PENDING", db.series[1].code);
    EXPECT_TRUE(db.series[1].values.empty());
    EXPECT_EQ("no observations yet", db.series[1].texts[4]);
}

// ---- malformed input --------------------------------------------------------

struct BadCase {
    const char *name;
    std::string text;
    int line;           // where the error must point
    const char *phrase; // part of the message
};

// Failures name the case rather than dump its bytes.
void PrintTo(const BadCase &c, std::ostream *os) {
    *os << c.name;
}

const std::string kHead = "TQVDB 1\ndatabase D\n";            // lines 1-2
const std::string kOpen = kHead + "series S\nfrequency 40\n"; // lines 3-4

std::string withNul() {
    std::string s = kOpen + "text5 ab";
    s += '\0';
    s += "cd\n";
    return s;
}

const BadCase kBadCases[] = {
    {"empty_file", "", 1, "header"},
    {"only_comments", "# nothing\n\n", 2, "header"},
    {"wrong_magic", "TQVDX 1\n", 1, "header"},
    {"header_extra_token", "TQVDB 1 2\n", 1, "header"},
    {"unsupported_version", "TQVDB 2\ndatabase D\n", 1, "version"},
    {"no_database_line", "TQVDB 1\n", 1, "database"},
    {"series_before_database", "TQVDB 1\nseries S\n", 2, "database"},
    {"database_name_with_blank", "TQVDB 1\ndatabase A B\n", 2, "database"},
    {"database_name_too_long", "TQVDB 1\ndatabase " + std::string(256, 'n') + "\n", 2, "255"},
    {"garbage_at_top_level", kHead + "frequency 40\n", 3, "series"},
    {"series_without_code", kHead + "series\n", 3, "code"},
    {"code_too_long", kHead + "series ABCDEFGHIJ\n", 3, "9 characters"},
    {"code_with_comma", kHead + "series A,B\n", 3, "comma"},
    {"code_with_high_byte", kHead + "series A\xC3\xA9\n", 3, "printable"},
    {"duplicate_code", kOpen + "range 200001 200001\nvalues\n1\nend\nseries S\n", 9, "twice"},
    {"unknown_frequency", kHead + "series S\nfrequency 41\n", 4, "frequency"},
    {"frequency_not_a_number", kHead + "series S\nfrequency monthly\n", 4, "frequency"},
    {"frequency_twice", kOpen + "frequency 40\n", 5, "twice"},
    {"unknown_keyword", kOpen + "units dollars\n", 5, "unknown keyword"},
    {"keyword_case_matters", kOpen + "Range 200001 200001\n", 5, "unknown keyword"},
    {"range_one_date", kOpen + "range 200001\n", 5, "range"},
    {"range_not_numbers", kOpen + "range 2000-01 2000-02\n", 5, "range"},
    {"range_overflow", kOpen + "range 200001 99999999999\n", 5, "range"},
    {"range_bad_month", kOpen + "range 200013 200101\nvalues\n", 5, "not a period date"},
    {"range_month_zero", kOpen + "range 200000 200001\nvalues\n", 5, "not a period date"},
    {"range_reversed", kOpen + "range 200002 200001\nvalues\n", 5, "before"},
    {"range_year_zero", kHead + "series S\nfrequency 10\nrange 0 1\nvalues\n", 5,
     "not a period date"},
    {"range_negative", kHead + "series S\nfrequency 10\nrange -5 1\nvalues\n", 5,
     "not a period date"},
    {"range_bad_quarter", kHead + "series S\nfrequency 30\nrange 20005 20011\nvalues\n", 5,
     "not a period date"},
    // 2023-01-03 is a Tuesday; weeks of code 51 end on Mondays.
    {"range_wrong_weekday", kHead + "series S\nfrequency 51\nrange 20230103 20230110\nvalues\n", 5,
     "not a period date"},
    // 2023-01-07 is a Saturday.
    {"range_weekend_business_day",
     kHead + "series S\nfrequency 61\nrange 20230107 20230109\nvalues\n", 5, "not a period date"},
    {"range_impossible_day", kHead + "series S\nfrequency 60\nrange 20230230 20230301\nvalues\n", 5,
     "not a period date"},
    // The range is checked once the frequency is known, and points to its line.
    {"range_checked_against_later_frequency",
     kHead + "series S\nrange 200013 200101\nfrequency 40\nvalues\n", 4, "not a period date"},
    {"values_without_frequency", kHead + "series S\nrange 2000 2001\nvalues\n", 5, "frequency"},
    {"values_without_range", kOpen + "values\n", 5, "range"},
    {"values_line_with_numbers", kOpen + "range 200001 200001\nvalues 1\n", 6, "alone"},
    {"end_before_values", kOpen + "range 200001 200001\nend\n", 6, "before 'values'"},
    {"series_inside_series", kOpen + "series T\n", 5, "missing 'end'"},
    {"attributes_five", kOpen + "attributes 1 2 3 4 5\n", 5, "6 integers"},
    {"attributes_seven", kOpen + "attributes 1 2 3 4 5 6 7\n", 5, "6 integers"},
    {"attribute_fraction", kOpen + "attributes 1 2 3 4 5 6.5\n", 5, "attribute 6"},
    {"attribute_overflow", kOpen + "attributes 1 2 3 4 5 2147483648\n", 5, "attribute 6"},
    {"attribute_plus_sign", kOpen + "attributes +1 2 3 4 5 6\n", 5, "attribute 1"},
    {"text1_too_long", kOpen + "text1 12345678\n", 5, "text1 is longer than 7"},
    {"text2_too_long", kOpen + "text2 1234567890\n", 5, "text2 is longer than 9"},
    {"text5_too_long", kOpen + "text5 " + std::string(82, 'y') + "\n", 5,
     "text5 is longer than 81"},
    {"text7_too_long", kOpen + "text7 " + std::string(84, 'z') + "\n", 5,
     "text7 is longer than 83"},
    {"text_with_tab", kOpen + "text3 a\tb\n", 5, "control"},
    {"text8_is_unknown", kOpen + "text8 x\n", 5, "unknown keyword"},
    {"text_twice", kOpen + "text4 a\ntext4 b\n", 6, "twice"},
    {"nul_byte", withNul(), 5, "control character '\\x00'"},
    {"carriage_return_inside_line", kOpen + "range 200001\r200001\n", 5, "control"},
    {"too_many_values", kOpen + "range 200001 200002\nvalues\n1 2\n3\nend\n", 8, "more than 2"},
    {"too_few_values", kOpen + "range 200001 200003\nvalues\n1 2\nend\n", 8, "has 2 values"},
    {"values_for_empty_series", kOpen + "range none\nvalues\n1\nend\n", 7, "more than 0"},
    {"value_word", kOpen + "range 200001 200002\nvalues\n1 abc\nend\n", 7, "'abc'"},
    {"value_comma_decimal", kOpen + "range 200001 200001\nvalues\n1,5\nend\n", 7, "'1,5'"},
    {"value_infinite", kOpen + "range 200001 200001\nvalues\ninf\nend\n", 7, "'inf'"},
    {"value_nan", kOpen + "range 200001 200001\nvalues\nnan\nend\n", 7, "'nan'"},
    {"value_out_of_range", kOpen + "range 200001 200001\nvalues\n1e999\nend\n", 7, "'1e999'"},
    {"value_lowercase_na", kOpen + "range 200001 200001\nvalues\nna\nend\n", 7, "'na'"},
    {"value_empty_field_marker", kOpen + "range 200001 200001\nvalues\n-\nend\n", 7, "'-'"},
    {"end_of_file_in_values", kOpen + "range 200001 200001\nvalues\n1\n", 7, "missing 'end'"},
    {"end_of_file_in_block", kOpen + "range 200001 200001", 5, "missing 'end'"},
    // A huge range must fail on its count, not try to allocate it.
    {"huge_range_without_values",
     kHead + "series S\nfrequency 60\nrange 10101 99991231\nvalues\nend\n", 7, "its range needs"},
};

class BadInput : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadInput, FailsWithLineNumberAndLeavesOutputAlone) {
    const BadCase &c = GetParam();
    Database out;
    out.name = "UNTOUCHED";
    out.series.push_back(makeSeries("KEEP", 10, 2000, 2000, {1}));
    std::string error;
    ASSERT_FALSE(tqvs::parseDatabase(c.text, out, error));
    EXPECT_EQ(0u, error.rfind("line " + std::to_string(c.line) + ": ", 0)) << error;
    EXPECT_NE(std::string::npos, error.find(c.phrase)) << error;
    EXPECT_EQ(std::string::npos, error.find('\n')) << error;
    EXPECT_EQ("UNTOUCHED", out.name);
    ASSERT_EQ(1u, out.series.size());
    EXPECT_EQ("KEEP", out.series[0].code);
}

INSTANTIATE_TEST_SUITE_P(DbFile, BadInput, ::testing::ValuesIn(kBadCases),
                         kovrap_test::caseName<BadCase>);

TEST(DbFile, CheckSeriesNamesTheFault) {
    const struct {
        Series series;
        const char *phrase;
    } cases[] = {
        {makeSeries("OK", 40, 200001, 200002, {1, 2}), ""},
        {makeSeries("", 40, 200001, 200001, {1}), "empty"},
        {makeSeries("TOOLONGCODE", 40, 200001, 200001, {1}), "9 characters"},
        {makeSeries("F", 45, 200001, 200001, {1}), "frequency"},
        {makeSeries("R", 40, 200001, 200013, {1}), "not a period date"},
        {makeSeries("N", 40, 200001, 200003, {1, 2}), "range needs 3"},
        {makeSeries("E", 40, 123, 456, {}), ""}, // empty: dates are not used
    };
    for (const auto &c : cases) {
        const std::string problem = tqvs::checkSeries(c.series);
        if (*c.phrase == '\0')
            EXPECT_EQ("", problem) << c.series.code;
        else
            EXPECT_NE(std::string::npos, problem.find(c.phrase)) << c.series.code << problem;
    }
    Series text = makeSeries("T", 10, 2000, 2000, {1});
    text.texts[5] = "123456789X";
    EXPECT_NE(std::string::npos, tqvs::checkSeries(text).find("text6"));
}

// ---- arbitrary bytes --------------------------------------------------------

// Whatever parseDatabase accepts must survive a format and a second parse;
// whatever it rejects must carry a line number.
void expectConsistent(const std::string &text) {
    Database db;
    std::string error;
    if (tqvs::parseDatabase(text, db, error)) {
        Database again;
        std::string error2;
        ASSERT_TRUE(tqvs::parseDatabase(tqvs::formatDatabase(db), again, error2)) << error2;
        expectSameDatabase(db, again);
    } else {
        ASSERT_EQ(0u, error.rfind("line ", 0)) << error;
    }
}

// Small deterministic generator, so that a failure repeats.
struct Lcg {
    std::uint64_t state;
    std::uint32_t next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state >> 33);
    }
};

TEST(DbFile, EveryPrefixOfAValidFileIsHandled) {
    const std::string text = tqvs::formatDatabase(sampleDatabase());
    for (std::size_t n = 0; n <= text.size(); ++n)
        expectConsistent(text.substr(0, n));
    // A cut right after the k-th "end" line is a whole file of k series; a
    // cut inside that "end" is not.
    std::size_t k = 0;
    for (std::size_t at = text.find("\nend\n"); at != std::string::npos;
         at = text.find("\nend\n", at + 1)) {
        ++k;
        Database db;
        std::string error;
        ASSERT_TRUE(tqvs::parseDatabase(text.substr(0, at + 5), db, error)) << error;
        EXPECT_EQ(k, db.series.size());
        EXPECT_FALSE(tqvs::parseDatabase(text.substr(0, at + 3), db, error));
        EXPECT_EQ(k, db.series.size()); // the failed parse left it alone
    }
    EXPECT_EQ(7u, k);
}

TEST(DbFile, MutatedFilesNeverCrash) {
    const std::string base = tqvs::formatDatabase(sampleDatabase());
    const char alphabet[] = {'\n', '\r', ' ', '\t', '#',    '0',    '9', '-', '.',
                             'e',  'N',  'A', '\0', '\xFF', '\x80', ',', 'x'};
    Lcg rng{12345};
    for (int round = 0; round < 3000; ++round) {
        std::string text = base;
        const int edits = 1 + static_cast<int>(rng.next() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng.next() % text.size();
            switch (rng.next() % 3) {
            case 0:
                text[at] = alphabet[rng.next() % sizeof alphabet];
                break;
            case 1:
                text.erase(at, 1 + rng.next() % 8);
                break;
            default:
                text.insert(at, 1, alphabet[rng.next() % sizeof alphabet]);
                break;
            }
            if (text.empty())
                text = "x";
        }
        expectConsistent(text);
    }
}

TEST(DbFile, RandomBytesNeverCrash) {
    Lcg rng{99};
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng.next() % 300, '\0');
        for (char &c : text)
            c = static_cast<char>(rng.next() & 0xFF);
        if (round % 2 == 0) // give the parser a header to get past
            text = "TQVDB 1\ndatabase R\nseries S\n" + text;
        expectConsistent(text);
    }
}

TEST(DbFile, NastyInputs) {
    const std::string nasty[] = {
        std::string(100000, '\n'),
        std::string(100000, ' '),
        "TQVDB 1\ndatabase D\n" + std::string(50000, '#') + "\n",
        kOpen + "range 10101 99991231\nvalues\n" + std::string(10000, '1') + "\nend\n",
        kOpen + "range 200001 200001\nvalues\n" + std::string(5000, '9') + "\nend\n",
        kOpen + "range 200001 200001\nvalues\n0x1p3\nend\n",
        kOpen + "range -2147483648 2147483647\nvalues\nend\n",
        "TQVDB 1\ndatabase D\nseries S\nfrequency 2147483647\n",
        "\xEF\xBB\xBFTQVDB 1\ndatabase D\n", // a byte-order mark is not skipped
        std::string("TQVDB 1\0\ndatabase D\n", 20),
    };
    for (const std::string &text : nasty)
        expectConsistent(text);
}

} // namespace
