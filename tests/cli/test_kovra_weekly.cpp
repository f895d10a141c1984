// The weekly windows of tests/hosts/weekly.tsv, run through kovra: each case
// is one kovra run from the sample data folder, checked against the first
// and last period, the number of periods, values and notes the table gives.
// The table's format is described in docs/host-rules.md; pytest and testthat
// read the same file.
#include "environment.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "kovra_cli.h"

namespace {

using namespace kovra_cli;

const std::vector<std::string> kLogin = {"--direct", "--user", "demo", "--password-file",
                                         "../demo.password"};

struct HostCase {
    std::string id, hosts, call, series, start, end, freq, math, advanced, aggregate, direct,
        expect;
};

void PrintTo(const HostCase &c, std::ostream *out) {
    *out << c.id;
}

std::vector<std::string> split(const std::string &text, const std::string &separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string::npos;
         from = at + separator.size())
        parts.push_back(text.substr(from, at - from));
    parts.push_back(text.substr(from));
    return parts;
}

// \xHH stands for the character with that code, {data} for the data folder
// (the tests run in it).
std::string decode(const std::string &field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field.compare(i, 2, "\\x") == 0 && i + 3 < field.size() &&
            std::isxdigit(static_cast<unsigned char>(field[i + 2])) != 0 &&
            std::isxdigit(static_cast<unsigned char>(field[i + 3])) != 0) {
            text += static_cast<char>(std::stoi(field.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else if (field.compare(i, 6, "{data}") == 0) {
            text += fs::current_path().string();
            i += 5;
        } else {
            text += field[i];
        }
    }
    return text;
}

std::vector<HostCase> loadCases(const std::string &path) {
    std::vector<HostCase> cases;
    const std::vector<std::string> all = lines(readText(path));
    bool header = true;
    for (const std::string &line : all) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> f = split(line, "\t");
        if (header) {
            header = false;
            continue;
        }
        HostCase c;
        if (f.size() == 12)
            c = {f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11]};
        else
            c.id = "malformed line: " + line;
        cases.push_back(c);
    }
    return cases;
}

bool runsOnKovra(const HostCase &c) {
    if (c.hosts == "all")
        return true;
    for (const std::string &host : split(c.hosts, ","))
        if (host == "kovra")
            return true;
    return false;
}

std::vector<std::string> fetchArguments(const HostCase &c) {
    std::vector<std::string> args;
    if (c.direct == "1")
        args = kLogin;
    else if (c.direct == "nologin")
        args = {"--direct"};
    args.push_back("fetch");
    for (const std::string &name : split(c.series, " | "))
        args.push_back(decode(name));
    const std::pair<const char *, const std::string *> options[] = {
        {"--from", &c.start},        {"--to", &c.end},
        {"--freq", &c.freq},         {"--math", &c.math},
        {"--advanced", &c.advanced}, {"--aggregate", &c.aggregate}};
    for (const auto &option : options)
        if (!option.second->empty()) {
            args.push_back(option.first);
            args.push_back(decode(*option.second));
        }
    return args;
}

// kovra's table: the range line, a blank line, the header, the rows, then
// the notes. The value columns are right-aligned under their headings.
struct Fetched {
    std::string frequency, first, last;
    int rows = -1;
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> cells; // per row: period, then each column
    std::vector<std::string> notes;
};

Fetched readFetch(const std::string &out) {
    Fetched f;
    const std::vector<std::string> text = lines(out);
    if (text.size() < 3)
        return f;
    // "weekly-sun, 1992-02-09 to 1992-03-01, 4 observations[, advanced ...]"
    const std::vector<std::string> range = split(text[0], ", ");
    if (range.size() < 3)
        return f;
    f.frequency = range[0];
    const std::vector<std::string> span = split(range[1], " to ");
    if (span.size() == 2) {
        f.first = span[0];
        f.last = span[1];
    }
    f.rows = std::atoi(range[2].c_str());
    f.notes.push_back(text[0]); // the range line says the weekly group's day

    const std::string &heading = text[2];
    std::vector<std::size_t> ends; // where each value column ends
    for (std::size_t i = 0; i < heading.size(); ++i)
        if (heading[i] != ' ' && (i + 1 == heading.size() || heading[i + 1] == ' ')) {
            ends.push_back(i + 1);
            f.header.push_back(
                heading.substr(heading.rfind(' ', i) + 1, i - heading.rfind(' ', i)));
        }
    // The date column is left-aligned: as wide as its longest cell.
    std::size_t i = 3;
    for (; i < text.size() && !text[i].empty() && !ends.empty(); ++i)
        ends[0] = std::max(ends[0], text[i].find(' ') == std::string::npos ? text[i].size()
                                                                           : text[i].find(' '));
    for (i = 3; i < text.size() && !text[i].empty(); ++i) {
        const std::string &line = text[i];
        std::vector<std::string> row = {line.substr(0, line.find(' '))};
        for (std::size_t c = 1; c < ends.size(); ++c) {
            const std::size_t from = ends[c - 1];
            std::string cell = from < line.size() ? line.substr(from, ends[c] - from) : "";
            cell.erase(0, cell.find_first_not_of(' '));
            row.push_back(cell);
        }
        f.cells.push_back(row);
    }
    for (; i < text.size(); ++i)
        if (text[i].rfind("note: ", 0) == 0)
            f.notes.push_back(text[i]);
    return f;
}

// A printed value with up to 6 significant digits, NA for an empty cell.
std::string sixDigits(const std::string &cell) {
    if (cell.empty())
        return "NA";
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", std::strtod(cell.c_str(), nullptr));
    return text;
}

void checkOk(const HostCase &c, const Result &run, const std::vector<std::string> &expect) {
    ASSERT_EQ(0, run.status) << run.err;
    ASSERT_GE(expect.size(), 5u) << c.expect;
    const Fetched f = readFetch(run.out);
    EXPECT_EQ(expect[1], f.frequency) << run.out;
    EXPECT_EQ(expect[2], f.first) << run.out;
    EXPECT_EQ(expect[3], f.last) << run.out;
    EXPECT_EQ(std::atoi(expect[4].c_str()), f.rows) << run.out;
    EXPECT_EQ(static_cast<std::size_t>(f.rows), f.cells.size()) << run.out;
    for (std::size_t k = 5; k < expect.size(); ++k) {
        const std::string check = decode(expect[k]);
        if (check.rfind("note~", 0) == 0) {
            const std::string words = check.substr(5);
            bool found = false;
            for (const std::string &note : f.notes)
                found = found || note.find(words) != std::string::npos;
            EXPECT_TRUE(found) << "no note holds '" << words << "':\n" << run.out;
            continue;
        }
        const std::size_t at = check.find('@'), equals = check.find('=');
        ASSERT_TRUE(at != std::string::npos && equals != std::string::npos && at < equals)
            << "bad check " << check;
        const std::string column = check.substr(0, at);
        const std::string period = check.substr(at + 1, equals - at - 1);
        std::size_t col = 0;
        while (col < f.header.size() && f.header[col] != column)
            ++col;
        ASSERT_LT(col, f.header.size()) << "no column " << column << ":\n" << run.out;
        bool seen = false;
        for (const std::vector<std::string> &row : f.cells)
            if (row[0] == period) {
                seen = true;
                EXPECT_EQ(check.substr(equals + 1), sixDigits(row[col])) << check << "\n"
                                                                         << run.out;
            }
        EXPECT_TRUE(seen) << "no period " << period << ":\n" << run.out;
    }
}

void checkError(const HostCase &c, const Result &run) {
    const std::vector<std::string> words = split(c.expect, " ");
    ASSERT_GE(words.size(), 3u) << c.expect;
    const std::string &kind = words[1];
    const std::string text = decode(c.expect.substr(c.expect.find(' ', 6) + 1));
    EXPECT_EQ(kind == "argument" ? 2 : 1, run.status) << run.out << run.err;
    EXPECT_NE(std::string::npos, run.err.find(text)) << "'" << text << "' not in:\n" << run.err;
}

std::vector<HostCase> weeklyCases() {
    return loadCases(KOVRA_HOST_CASES "/weekly.tsv");
}

class WeeklyTable : public ::testing::TestWithParam<HostCase> {};

TEST_P(WeeklyTable, Kovra) {
    const HostCase &c = GetParam();
    ASSERT_FALSE(c.id.rfind("malformed line: ", 0) == 0) << c.id;
    if (!runsOnKovra(c))
        GTEST_SKIP() << "not a kovra case";
    ASSERT_EQ("fetch", c.call) << "this runner takes fetch cases";
    const Result run = kovra(fetchArguments(c), 120);
    const std::vector<std::string> expect = split(c.expect, " ");
    if (expect[0] == "ok")
        checkOk(c, run, expect);
    else if (expect[0] == "error")
        checkError(c, run);
    else
        ADD_FAILURE() << "bad expect " << c.expect;
}

std::string caseId(const ::testing::TestParamInfo<HostCase> &p) {
    std::string name;
    for (char ch : p.param.id)
        name += std::isalnum(static_cast<unsigned char>(ch)) != 0 ? ch : '_';
    return name.empty() ? "unnamed" + std::to_string(p.index) : name;
}

INSTANTIATE_TEST_SUITE_P(Hosts, WeeklyTable, ::testing::ValuesIn(weeklyCases()), caseId);

void setWeeklyEnd(const char *reading) {
    kovrap_test::setVariable("TQVS_WEEKLY_END", reading);
}

// The stand-ins in kovra's own process take the weekly reading from
// TQVS_WEEKLY_END: ended, Tuesday 28 April 1992 ends a window of weeks
// ending Monday on 27 April, not on 4 May as the table has it held.
TEST(WeeklyReadingOfAnotherProcess, ComesFromTheEnvironment) {
    const char *old = std::getenv("TQVS_WEEKLY_END");
    const std::string saved = old != nullptr ? old : "";
    const std::vector<std::string> args = {"fetch", "MARKETS:DAX", "--from", "1992-02-04",
                                           "--to",  "1992-04-28",  "--freq", "weekly-mon"};
    setWeeklyEnd("ended");
    const Result ended = kovra(args, 120);
    setWeeklyEnd("holding");
    const Result held = kovra(args, 120);
    setWeeklyEnd(old != nullptr ? saved.c_str() : nullptr);
    ASSERT_EQ(0, ended.status) << ended.err;
    ASSERT_EQ(0, held.status) << held.err;
    EXPECT_EQ("weekly-mon, 1992-02-10 to 1992-04-27, 12 observations", lines(ended.out).at(0));
    EXPECT_EQ("weekly-mon, 1992-02-10 to 1992-05-04, 13 observations", lines(held.out).at(0));
}

// The table covers every weekly code as the frequency of a fetch.
TEST(WeeklyTableFile, CoversEveryWeeklyCode) {
    const std::vector<HostCase> cases = weeklyCases();
    ASSERT_FALSE(cases.empty());
    for (const char *day : {"mon", "tue", "wed", "thu", "fri", "sat", "sun"}) {
        int seen = 0;
        for (const HostCase &c : cases)
            seen += c.expect.rfind(std::string("ok weekly-") + day + " ", 0) == 0 ? 1 : 0;
        EXPECT_GE(seen, 7) << "weekly-" << day;
    }
}

} // namespace
