// The host cases: every table tests/hosts/*.tsv (cases.tsv, and any other in
// the same format) that pytest and testthat read too, run through kovra for
// each row meant for kovra (hosts `all` or a list naming `kovra`). The format
// is described in docs/host-rules.md.
//
// kovra runs in the sample data folder, as in test_kovra.cpp: `{data}` is
// that folder. An `argument` error exits with 2, every other kind with 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kovra_cli.h"

namespace {

using namespace kovra_cli;

const char *const kColumns[] = {"id",   "hosts", "call",     "series",    "start",  "end",
                                "freq", "math",  "advanced", "aggregate", "direct", "expect"};

struct HostCase {
    std::string name;  // unique test name: table and id
    std::string where; // FILE:LINE, for messages
    std::map<std::string, std::string> fields;
    std::string problem; // a row that cannot be read, reported by its test
    const std::string &operator[](const std::string &column) const { return fields.at(column); }
};

void PrintTo(const HostCase &c, std::ostream *out) {
    *out << c.where;
}

std::vector<std::string> split(const std::string &text, const std::string &separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return parts;
        from = at + separator.size();
    }
}

std::string trim(const std::string &text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// A field as kovra sees it: \xHH is that byte, {data} the data folder.
std::string decode(const std::string &text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size() && isHex(text[i + 2]) &&
            isHex(text[i + 3])) {
            out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else if (text.compare(i, 6, "{data}") == 0) {
            out += fs::current_path().string();
            i += 5;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool forKovra(const std::string &hosts, std::string &problem) {
    bool kovra = false;
    for (const std::string &host : split(hosts, ",")) {
        const std::string h = trim(host);
        if (h != "all" && h != "kovra" && h != "python" && h != "r")
            problem = "unknown host '" + h + "'";
        kovra = kovra || h == "all" || h == "kovra";
    }
    return kovra;
}

std::string testName(const std::string &table, const std::string &id) {
    std::string name = table + "_" + id;
    for (char &c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            c = '_';
    return name;
}

// A table's text; false when the file cannot be read as one (a folder, a
// file that does not open or breaks off).
bool readTable(const fs::path &path, std::string &text) {
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream out;
    out << in.rdbuf();
    text = out.str();
    return !in.bad();
}

// A case that only reports why a table or a row cannot be read.
HostCase problemCase(const std::string &stem, const std::string &where, const std::string &what,
                     const std::string &problem) {
    HostCase c;
    c.name = testName(stem, what);
    c.where = where;
    c.problem = problem;
    return c;
}

// Every table *.tsv in the folder, its rows for kovra in order. A folder, a
// table or a row that cannot be read is a case that fails, never a table
// skipped in silence.
std::vector<HostCase> loadCases(const fs::path &folder) {
    std::vector<fs::path> tables;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error))
        if (entry->path().extension() == ".tsv")
            tables.push_back(entry->path());
    if (error)
        return {problemCase("tables", folder.string(), "unreadable",
                            "cannot read the folder: " + error.message())};
    std::sort(tables.begin(), tables.end());
    std::vector<HostCase> cases;
    std::set<std::string> names;
    for (const fs::path &table : tables) {
        const std::string stem = table.stem().string();
        const std::string file = table.filename().string();
        std::string text;
        if (!readTable(table, text)) {
            cases.push_back(problemCase(stem, file, "unreadable", "cannot read the table"));
            continue;
        }
        std::vector<std::string> header;
        int number = 0;
        for (const std::string &line : lines(text)) {
            ++number;
            if (line.empty() || line[0] == '#')
                continue;
            const std::vector<std::string> cells = split(line, "\t");
            if (header.empty()) {
                header = cells;
                continue;
            }
            HostCase c;
            c.where = file + ":" + std::to_string(number);
            for (std::size_t i = 0; i < header.size(); ++i)
                c.fields[header[i]] = i < cells.size() ? cells[i] : "";
            if (cells.size() > header.size())
                c.problem = "more fields than the header has";
            for (const char *column : kColumns)
                if (c.fields.count(column) == 0)
                    c.problem = std::string("the header has no column ") + column;
            if (!c.problem.empty()) {
                c.name = testName(stem, "line" + std::to_string(number));
                cases.push_back(c);
                continue;
            }
            if (!forKovra(c["hosts"], c.problem) && c.problem.empty())
                continue;
            c.name = testName(stem, c["id"]);
            if (!names.insert(c.name).second) {
                c.problem = "id '" + c["id"] + "' given twice";
                c.name += "_line" + std::to_string(number);
            }
            cases.push_back(c);
        }
        if (header.empty())
            cases.push_back(problemCase(stem, file, "no_header", "the table has no header line"));
    }
    return cases;
}

const std::vector<HostCase> &allCases() {
    static const std::vector<HostCase> cases = loadCases(KOVRA_HOST_CASES);
    return cases;
}

// kovra's command line for a case; a problem when the row asks for what the
// call does not take.
std::vector<std::string> commandLine(const HostCase &c, std::string &problem) {
    std::vector<std::string> args;
    if (c["direct"] == "1")
        args = {"--direct", "--user", "demo", "--password-file", "../demo.password"};
    else if (c["direct"] == "nologin")
        args = {"--direct"};
    else if (!c["direct"].empty())
        problem = "direct is '" + c["direct"] + "', not 1, nologin or empty";

    const std::string &call = c["call"];
    const auto option = [&](const char *column, const char *name) {
        if (c[column].empty())
            return;
        if (call == "fetch" || (call == "find" && std::string(column) == "freq") ||
            (call == "range" && std::string(column) != "math" &&
             std::string(column) != "advanced" && std::string(column) != "aggregate")) {
            args.push_back(name);
            args.push_back(decode(c[column]));
        } else {
            problem = call + " takes no " + column;
        }
    };
    std::vector<std::string> names;
    for (const std::string &name : split(c["series"], " | "))
        names.push_back(decode(name));
    if (call == "fetch") {
        args.push_back("fetch");
    } else if (call == "range") {
        args.insert(args.end(), {"info", "--range"});
    } else if (call == "info") {
        args.insert(args.end(), {"info", "--wide"});
    } else if (call == "codes") {
        args.push_back("codes");
        if (names.size() != 1)
            problem = "codes takes one database";
    } else if (call == "find") {
        // The words as one operand, which kovra splits at blanks; the
        // databases, if any, each with --db.
        const auto words = c.fields.find("words");
        args.insert(args.end(), {"find", decode(words == c.fields.end() ? "" : words->second)});
        for (const std::string &name : names)
            if (!name.empty())
                args.insert(args.end(), {"--db", name});
        names.clear();
    } else {
        problem = "unknown call '" + call + "'";
    }
    args.insert(args.end(), names.begin(), names.end());
    option("start", "--from");
    option("end", "--to");
    option("freq", "--freq");
    option("math", "--math");
    option("advanced", "--advanced");
    option("aggregate", "--aggregate");
    return args;
}

// ---- reading kovra's output ----------------------------------------------

struct Words {
    std::size_t begin;
    std::size_t end;
    std::string text;
};

// The blank-separated words of a line, with where they stand.
std::vector<Words> wordsOf(const std::string &line) {
    std::vector<Words> words;
    std::size_t i = 0;
    while ((i = line.find_first_not_of(' ', i)) != std::string::npos) {
        const std::size_t end = std::min(line.find(' ', i), line.size());
        words.push_back({i, end, line.substr(i, end - i)});
        i = end;
    }
    return words;
}

std::string slice(const std::string &line, std::size_t from, std::size_t to) {
    if (from >= line.size())
        return "";
    return trim(line.substr(from, to == std::string::npos ? to : to - from));
}

// A fetch table: the date column, then right-aligned value columns, each
// ending where its heading ends. Cells by column heading and period.
using Cells = std::map<std::string, std::map<std::string, std::string>>;

Cells fetchCells(const std::vector<std::string> &table) {
    Cells cells;
    if (table.empty())
        return cells;
    const std::vector<Words> header = wordsOf(table[0]);
    for (std::size_t r = 1; r < table.size(); ++r) {
        const std::vector<Words> row = wordsOf(table[r]);
        if (row.empty())
            continue;
        std::size_t from = row[0].end;
        for (std::size_t c = 1; c < header.size(); ++c) {
            cells[header[c].text][row[0].text] = slice(table[r], from, header[c].end);
            from = header[c].end;
        }
    }
    return cells;
}

// The info table: left-aligned columns starting where their heading starts,
// but for `periods`, right-aligned; a cell before it is a single word.
Cells infoCells(const std::vector<std::string> &table) {
    Cells cells;
    if (table.empty())
        return cells;
    const std::vector<Words> header = wordsOf(table[0]);
    for (std::size_t r = 1; r < table.size(); ++r) {
        const std::string &line = table[r];
        const std::vector<Words> row = wordsOf(line);
        if (row.empty())
            continue;
        // The code follows the first colon after a drive (C:\ or C:/).
        const std::string &series = row[0].text;
        const bool drive =
            series.size() > 2 && series[1] == ':' && (series[2] == '\\' || series[2] == '/');
        const std::string code = series.substr(series.find(':', drive ? 2 : 0) + 1);
        for (std::size_t c = 0; c < header.size(); ++c) {
            const std::string &name = header[c].text;
            if (name == "periods")
                continue;
            const bool beforePeriods = c + 1 < header.size() && header[c + 1].text == "periods";
            std::string cell = slice(line, header[c].begin,
                                     c + 1 < header.size() && !beforePeriods ? header[c + 1].begin
                                                                             : std::string::npos);
            if (beforePeriods)
                cell = cell.substr(0, cell.find(' '));
            cells[code][name] = cell;
        }
    }
    return cells;
}

// The find table: left-aligned columns starting where their heading starts,
// but for `periods`, right-aligned; cells by row number (1 for the first
// match) and heading.
Cells findCells(const std::vector<std::string> &table) {
    Cells cells;
    if (table.empty())
        return cells;
    const std::vector<Words> header = wordsOf(table[0]);
    for (std::size_t r = 1; r < table.size(); ++r) {
        const std::string &line = table[r];
        std::map<std::string, std::string> &row = cells[std::to_string(r)];
        for (std::size_t c = 0; c < header.size(); ++c) {
            const std::string &name = header[c].text;
            const bool beforePeriods = c + 1 < header.size() && header[c + 1].text == "periods";
            if (name == "periods") {
                // Right-aligned: the last word before the heading's end.
                const std::vector<Words> words =
                    wordsOf(line.substr(0, std::min(line.size(), header[c].end)));
                row[name] = words.empty() ? "" : words.back().text;
                continue;
            }
            std::string cell = slice(line, header[c].begin,
                                     c + 1 < header.size() && !beforePeriods ? header[c + 1].begin
                                                                             : std::string::npos);
            if (beforePeriods)
                cell = cell.substr(0, cell.find(' '));
            row[name] = cell;
        }
    }
    return cells;
}

// "quarterly, 1960Q1 to 1960Q2, 2 observations[, ...]"
struct RangeLine {
    std::string frequency, first, last, count;
};

bool readRangeLine(const std::string &line, RangeLine &range) {
    const std::vector<std::string> parts = split(line, ", ");
    if (parts.size() < 3)
        return false;
    const std::vector<std::string> span = split(parts[1], " to ");
    if (span.size() != 2)
        return false;
    range = {parts[0], span[0], span[1], parts[2].substr(0, parts[2].find(' '))};
    return true;
}

// A value as printed by kovra against the table's (at most 6 significant
// digits): both are roundings of one number, so they may differ by half a
// unit of the last place of each.
void expectValue(const std::string &where, const std::string &expected, const std::string &cell) {
    if (expected == "NA") {
        EXPECT_EQ("", cell) << where << ": a missing value is an empty cell";
        return;
    }
    char *end = nullptr;
    const double want = std::strtod(expected.c_str(), &end);
    ASSERT_TRUE(end != nullptr && *end == '\0' && !expected.empty())
        << where << ": '" << expected << "' is not a number";
    ASSERT_FALSE(cell.empty()) << where << ": empty, expected " << expected;
    const double got = std::strtod(cell.c_str(), &end);
    ASSERT_TRUE(*end == '\0') << where << ": kovra printed '" << cell << "'";
    const std::size_t point = cell.find('.');
    const int decimals = point == std::string::npos ? 0 : static_cast<int>(cell.size() - point - 1);
    const double magnitude = want == 0 ? 0 : std::floor(std::log10(std::fabs(want)));
    const double tolerance =
        0.5 * std::pow(10.0, -decimals) + 0.5 * std::pow(10.0, magnitude - 5) + 1e-9;
    EXPECT_NEAR(want, got, tolerance) << where << ": kovra printed " << cell;
}

class KovraHostCase : public ::testing::TestWithParam<HostCase> {};

TEST_P(KovraHostCase, FollowsTheHostRules) {
    const HostCase &c = GetParam();
    ASSERT_EQ("", c.problem) << c.where;
    std::string problem;
    const std::vector<std::string> args = commandLine(c, problem);
    ASSERT_EQ("", problem) << c.where;
    const std::string where = c.where + " (" + c["id"] + ")";

    const std::vector<std::string> expect = split(c["expect"], " ");
    ASSERT_GE(expect.size(), 2u) << where << ": expect '" << c["expect"] << "'";
    const Result run = kovra(args, 120);

    if (expect[0] == "error") {
        const std::string &kind = expect[1];
        ASSERT_TRUE(kind == "argument" || kind == "lookup" || kind == "login" || kind == "failure")
            << where << ": unknown error kind " << kind;
        const std::string text =
            decode(c["expect"].substr(std::string("error ").size() + kind.size() + 1));
        EXPECT_EQ(kind == "argument" ? 2 : 1, run.status) << where << ": " << run.err;
        EXPECT_EQ("", run.out) << where;
        EXPECT_EQ(0u, run.err.rfind("kovra: ", 0)) << where << ": " << run.err;
        EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << where << ": " << run.err;
        EXPECT_NE(std::string::npos, run.err.find(text))
            << where << ": the message does not hold '" << text << "': " << run.err;
        return;
    }

    ASSERT_EQ("ok", expect[0]) << where << ": expect '" << c["expect"] << "'";
    ASSERT_GE(expect.size(), 5u) << where << ": ok FREQ FIRST LAST ROWS [CHECK ...]";
    ASSERT_EQ(0, run.status) << where << ": " << run.err;
    const std::vector<std::string> out = lines(run.out);
    const std::string &call = c["call"];

    // The frequency, the span and the count; the table; the notes. Notes
    // beside the output (codes, find) go to standard error, which holds
    // nothing else.
    RangeLine range;
    std::vector<std::string> table, notes;
    for (const std::string &line : lines(run.err)) {
        EXPECT_TRUE(line.rfind("note: ", 0) == 0 || line.rfind("kovra: note: ", 0) == 0)
            << where << ": on standard error: " << line;
        notes.push_back(line);
    }
    if (call == "fetch") {
        ASSERT_FALSE(out.empty()) << where;
        ASSERT_TRUE(readRangeLine(out[0], range)) << where << ": " << out[0];
        notes.push_back(out[0]); // the header says the weekly group's day
        std::size_t i = 2;
        for (; i < out.size() && !out[i].empty(); ++i)
            table.push_back(out[i]);
        for (; i < out.size(); ++i)
            if (out[i].rfind("note: ", 0) == 0)
                notes.push_back(out[i]);
    } else if (call == "range") {
        bool found = false;
        for (const std::string &line : out) {
            if (line.rfind("common range: ", 0) == 0)
                found = readRangeLine(line.substr(14), range);
            if (line.rfind("set aside", 0) == 0 || line.rfind("common range: ", 0) == 0)
                notes.push_back(line);
        }
        ASSERT_TRUE(found) << where << ": no common range in\n" << run.out;
    } else if (call == "info") {
        table = out;
        range = {"-", "-", "-", std::to_string(out.empty() ? 0 : out.size() - 1)};
    } else if (call == "find") {
        // The names of the first and the last match.
        table = out;
        const Cells found = findCells(table);
        const std::size_t n = out.empty() ? 0 : out.size() - 1;
        const auto name = [&](std::size_t row) {
            const auto r = found.find(std::to_string(row));
            return r == found.end() || r->second.count("name") == 0 ? std::string("-")
                                                                    : r->second.at("name");
        };
        range = {"-", n ? name(1) : "-", n ? name(n) : "-", std::to_string(n)};
    } else {
        range = {"-", "-", "-", std::to_string(out.size())};
    }
    EXPECT_EQ(expect[1], range.frequency) << where;
    if (call == "fetch" || call == "range" || call == "find") {
        EXPECT_EQ(decode(expect[2]), range.first) << where;
        EXPECT_EQ(decode(expect[3]), range.last) << where;
    }
    EXPECT_EQ(expect[4], range.count) << where;
    if (call == "fetch") {
        EXPECT_EQ(expect[4], std::to_string(table.empty() ? 0 : table.size() - 1))
            << where << ": rows of the table";
    }

    const Cells cells = call == "info"   ? infoCells(table)
                        : call == "find" ? findCells(table)
                                         : fetchCells(table);
    for (std::size_t k = 5; k < expect.size(); ++k) {
        const std::string check = decode(expect[k]);
        const bool none = check.rfind("note!~", 0) == 0;
        if (none || check.rfind("note~", 0) == 0) {
            const std::string text = check.substr(none ? 6 : 5);
            ASSERT_FALSE(text.empty()) << where << ": " << check << " names no text";
            bool held = false;
            for (const std::string &note : notes)
                held = held || note.find(text) != std::string::npos;
            if (none)
                EXPECT_FALSE(held) << where << ": a note holds '" << text << "'\n"
                                   << run.out << run.err;
            else
                EXPECT_TRUE(held) << where << ": no note holds '" << text << "'\n"
                                  << run.out << run.err;
            continue;
        }
        const std::size_t at = check.rfind('@');
        const std::size_t equals = check.find('=', at == std::string::npos ? 0 : at);
        ASSERT_TRUE(at != std::string::npos && equals != std::string::npos)
            << where << ": check '" << check << "' is not COLUMN@PERIOD=VALUE";
        const std::string column = check.substr(0, at);
        const std::string row = check.substr(at + 1, equals - at - 1);
        const std::string value = check.substr(equals + 1);
        const auto found = cells.find(column);
        ASSERT_TRUE(found != cells.end()) << where << ": no column " << column << "\n" << run.out;
        const auto cell = found->second.find(row);
        ASSERT_TRUE(cell != found->second.end())
            << where << ": no " << row << " in " << column << "\n"
            << run.out;
        if (call == "info" || call == "find")
            EXPECT_EQ(value, cell->second) << where << ": " << check;
        else
            expectValue(where + ": " + check, value, cell->second);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, KovraHostCase, ::testing::ValuesIn(allCases()),
                         [](const auto &p) { return p.param.name; });

// The table is there and read: a runner that finds no case proves nothing.
TEST(KovraHostCases, TheSharedTableHoldsCasesForKovra) {
    std::size_t shared = 0;
    for (const HostCase &c : allCases())
        shared += c.where.rfind("cases.tsv:", 0) == 0 ? 1 : 0;
    EXPECT_GE(shared, 20u) << "read from " << KOVRA_HOST_CASES;
}

// weekly.tsv is read by the same glob, each row run once: it covers every
// weekly code as the frequency of a fetch.
TEST(KovraHostCases, TheWeeklyTableCoversEveryWeeklyCode) {
    for (const char *day : {"mon", "tue", "wed", "thu", "fri", "sat", "sun"}) {
        int seen = 0;
        for (const HostCase &c : allCases())
            if (c.where.rfind("weekly.tsv:", 0) == 0 && c.problem.empty())
                seen += c["expect"].rfind(std::string("ok weekly-") + day + " ", 0) == 0 ? 1 : 0;
        EXPECT_GE(seen, 7) << "weekly-" << day;
    }
}

// A table that cannot be read fails as a case of its own, and so does a
// table without a header; the tables that can be read still give their rows.
TEST(KovraHostCases, ATableThatCannotBeReadFails) {
    const fs::path folder = scratchDir() / "host-tables";
    fs::remove_all(folder);
    fs::create_directories(folder / "folder.tsv");
    {
        std::ofstream(folder / "empty.tsv") << "# only a comment\n";
        std::ofstream good(folder / "good.tsv");
        for (const char *column : kColumns)
            good << column << (std::string(column) == "expect" ? "\n" : "\t");
        good << "one\tall\tfetch\tECON:NILE\t\t\t\t\t\t\t\tok annual 1871 1873 3\n";
        std::ofstream(folder / "notes.txt") << "not a table\n";
    }
    const std::vector<HostCase> cases = loadCases(folder);
    std::map<std::string, std::string> problems;
    for (const HostCase &c : cases)
        problems[c.name] = c.problem;
    fs::remove_all(folder);
    const std::map<std::string, std::string> expected = {
        {"empty_no_header", "the table has no header line"},
        {"folder_unreadable", "cannot read the table"},
        {"good_one", ""},
    };
    EXPECT_EQ(expected, problems);

    const std::vector<HostCase> none = loadCases(folder);
    ASSERT_EQ(1u, none.size());
    EXPECT_EQ("tables_unreadable", none[0].name);
    EXPECT_NE("", none[0].problem);
}

} // namespace
