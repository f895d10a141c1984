#include "dbfile.h"
#include "tokens.h"

#include "periods.h"

#include <charconv>
#include <cmath>
#include <istream>
#include <new>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace tqvs {

namespace {

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// A token as it may appear in a message: at most 32 bytes, bytes outside
// printable ASCII written as \xNN, so that any input gives a readable line.
std::string shown(std::string_view token) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "'";
    std::size_t n = 0;
    for (char ch : token) {
        if (n++ == 32) {
            out += "...";
            break;
        }
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F) {
            out += ch;
        } else {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    out += "'";
    return out;
}

// A finite decimal number, or NA for a missing observation. Empty when it
// reads, else what is wrong with it.
std::string parseValue(std::string_view token, double &value) {
    if (token == "NA") {
        value = kMissing;
        return {};
    }
    const char *end = token.data() + token.size();
    double v = 0;
    const auto result = std::from_chars(token.data(), end, v, std::chars_format::general);
    if (!token.empty() && result.ptr == end && result.ec == std::errc::result_out_of_range)
        return "value " + shown(token) + " is out of the range of a double";
    if (token.empty() || result.ec != std::errc() || result.ptr != end || !std::isfinite(v))
        return "value " + shown(token) + " is neither a number nor NA";
    value = v;
    return {};
}

std::string codeProblem(std::string_view code) {
    if (code.empty())
        return "series code is empty";
    if (code.size() > kMaxCodeLength)
        return "series code " + shown(code) + " is longer than 9 characters";
    for (char ch : code) {
        const auto c = static_cast<unsigned char>(ch);
        // Codes travel comma-joined in code lists, so no comma.
        if (c <= 0x20 || c >= 0x7F || c == ',')
            return "series code " + shown(code) +
                   " may hold only printable ASCII other than space and comma";
    }
    return {};
}

std::string textProblem(int i, std::string_view text) {
    const std::size_t limit = kTextWidths[i] - 1;
    if (text.size() > limit)
        return "text" + std::to_string(i + 1) + " is longer than " + std::to_string(limit) +
               " bytes";
    for (char ch : text)
        if (isControl(static_cast<unsigned char>(ch)))
            return "text" + std::to_string(i + 1) + " holds a control character";
    return {};
}

// Year part of a period date, by the date form of its frequency.
int yearOf(int date, int f) {
    if (f == kAnnual)
        return date;
    if (f == kQuarterly)
        return date / 10;
    if (f == kMonthly)
        return date / 100;
    return date / 10000;
}

std::string dateProblem(int date, int f) {
    const int year = yearOf(date, f);
    const std::string problem =
        std::to_string(date) + " is not a period date of frequency " + std::to_string(f);
    if (date <= 0 || periodDate(periodCeil(date, f), f) != date)
        return problem;
    if (year < 1 || year > 9999)
        return problem + " (years run from 1 to 9999)";
    return {};
}

// Checks the dates of a non-empty series and gives its period count.
std::string rangeProblem(int first, int last, int f, int &count) {
    std::string problem = dateProblem(first, f);
    if (problem.empty())
        problem = dateProblem(last, f);
    if (!problem.empty())
        return problem;
    if (last < first)
        return "last period " + std::to_string(last) + " is before first period " +
               std::to_string(first);
    count = obsNum(first, last, f); // period dates: either weekly reading
    return {};
}

class Parser {
  public:
    explicit Parser(const std::string &text) : text_(text) {}

    bool run(Database &out, std::string &error) {
        if (!parseAll()) {
            error = error_;
            return false;
        }
        out = std::move(db_);
        return true;
    }

  private:
    enum class State { Header, Name, Top, Block, Values };

    struct Pending {
        Series series;
        bool seen[10] = {}; // frequency, range, attributes, text1..7
        int rangeLine = 0;
        bool empty = false; // range none
        int expected = 0;
    };

    bool fail(std::string message) {
        error_ = "line " + std::to_string(line_) + ": " + std::move(message);
        return false;
    }

    bool parseAll() {
        std::size_t pos = 0;
        std::string_view line;
        while (nextLine(text_, pos, line)) {
            ++line_;
            if (!parseLine(line))
                return false;
        }
        return finish();
    }

    bool finish() {
        if (line_ == 0)
            line_ = 1;
        switch (state_) {
        case State::Header:
            return fail("missing header 'TQVDB 1'");
        case State::Name:
            return fail("missing 'database' line");
        case State::Block:
        case State::Values:
            return fail("file ends inside series " + shown(current_.series.code) +
                        " (missing 'end')");
        case State::Top:
            break;
        }
        return true;
    }

    bool parseLine(std::string_view line) {
        for (char ch : line) {
            const auto c = static_cast<unsigned char>(ch);
            if (c == '\r')
                return fail("control character '\\x0D', a carriage return inside a line (a file "
                            "with CR-only line ends?)");
            if (isControl(c) && c != '\t')
                return fail("control character " + shown(std::string_view(&ch, 1)));
        }
        const std::string_view body = trimLeft(line);
        if (body.empty() || body.front() == '#')
            return true;
        const auto [keyword, rest] = splitKeyword(body);

        switch (state_) {
        case State::Header:
            return header(body);
        case State::Name:
            return name(keyword, rest);
        case State::Top:
            if (keyword != "series")
                return fail("expected 'series', found " + shown(keyword));
            return startSeries(rest);
        case State::Block:
            return field(keyword, rest);
        case State::Values:
            return values(body);
        }
        return true;
    }

    bool header(std::string_view body) {
        const auto tokens = splitTokens(body);
        if (tokens.size() != 2 || tokens[0] != kDbMagic)
            return fail("expected header 'TQVDB 1'");
        int version = 0;
        if (!parseInt(tokens[1], version) || version != kDbVersion)
            return fail("unsupported file version " + shown(tokens[1]));
        state_ = State::Name;
        return true;
    }

    bool name(std::string_view keyword, std::string_view rest) {
        if (keyword != "database")
            return fail("expected 'database NAME', found " + shown(keyword));
        const auto tokens = splitTokens(rest);
        if (tokens.size() != 1)
            return fail("'database' takes one name without blanks");
        if (tokens[0].size() > kMaxDatabaseName)
            return fail("database name is longer than 255 bytes");
        db_.name = std::string(tokens[0]);
        state_ = State::Top;
        return true;
    }

    bool startSeries(std::string_view rest) {
        const auto tokens = splitTokens(rest);
        if (tokens.size() != 1)
            return fail("'series' takes one code");
        const std::string problem = codeProblem(tokens[0]);
        if (!problem.empty())
            return fail(problem);
        std::string code(tokens[0]);
        if (codes_.count(code) != 0)
            return fail("series code " + shown(code) + " appears twice");
        current_ = Pending{};
        current_.series.code = std::move(code);
        state_ = State::Block;
        return true;
    }

    bool once(int slot, std::string_view keyword) {
        if (current_.seen[slot])
            return fail("'" + std::string(keyword) + "' given twice in series " +
                        shown(current_.series.code));
        current_.seen[slot] = true;
        return true;
    }

    bool field(std::string_view keyword, std::string_view rest) {
        Series &s = current_.series;
        if (keyword == "frequency") {
            if (!once(0, keyword))
                return false;
            const auto tokens = splitTokens(rest);
            if (tokens.size() != 1 || !parseInt(tokens[0], s.frequency))
                return fail("'frequency' takes one frequency code");
            if (!knownFrequency(s.frequency))
                return fail("unknown frequency code " + std::to_string(s.frequency));
            return true;
        }
        if (keyword == "range") {
            if (!once(1, keyword))
                return false;
            current_.rangeLine = line_;
            const auto tokens = splitTokens(rest);
            if (tokens.size() == 1 && tokens[0] == "none") {
                current_.empty = true;
                s.first = s.last = 0;
                return true;
            }
            if (tokens.size() != 2 || !parseInt(tokens[0], s.first) || !parseInt(tokens[1], s.last))
                return fail("'range' takes the first and last period dates, or 'none'");
            return true;
        }
        if (keyword == "attributes") {
            if (!once(2, keyword))
                return false;
            const auto tokens = splitTokens(rest);
            if (tokens.size() != 6)
                return fail("'attributes' takes 6 integers");
            for (int i = 0; i < 6; ++i)
                if (!parseInt(tokens[static_cast<std::size_t>(i)], s.attributes[i]))
                    return fail("attribute " + std::to_string(i + 1) + " " +
                                shown(tokens[static_cast<std::size_t>(i)]) + " is not an integer");
            return true;
        }
        if (keyword.size() == 5 && keyword.substr(0, 4) == "text" && keyword[4] >= '1' &&
            keyword[4] <= '7') {
            const int i = keyword[4] - '1';
            if (!once(3 + i, keyword))
                return false;
            // The text is the rest of the line after one blank, kept verbatim.
            const std::string_view text = rest.empty() ? rest : rest.substr(1);
            const std::string problem = textProblem(i, text);
            if (!problem.empty())
                return fail(problem);
            s.texts[i] = std::string(text);
            return true;
        }
        if (keyword == "values") {
            if (!splitTokens(rest).empty())
                return fail("'values' stands alone on its line; values follow on the next lines");
            return startValues();
        }
        if (keyword == "end")
            return fail("'end' before 'values' in series " + shown(s.code));
        if (keyword == "series")
            return fail("'series' inside series " + shown(s.code) + " (missing 'end'?)");
        return fail("unknown keyword " + shown(keyword));
    }

    bool startValues() {
        const Series &s = current_.series;
        if (!current_.seen[0])
            return fail("series " + shown(s.code) + " has no 'frequency' before 'values'");
        if (!current_.seen[1])
            return fail("series " + shown(s.code) + " has no 'range' before 'values'");
        current_.expected = 0;
        if (!current_.empty) {
            const std::string problem =
                rangeProblem(s.first, s.last, s.frequency, current_.expected);
            if (!problem.empty()) {
                line_ = current_.rangeLine;
                return fail(problem);
            }
        }
        // Never trust the count for an allocation beyond what the rest of the
        // text could hold: every value takes at least two bytes.
        const std::size_t room = (text_.size() / 2) + 1;
        const auto want = static_cast<std::size_t>(current_.expected);
        current_.series.values.reserve(want < room ? want : room);
        state_ = State::Values;
        return true;
    }

    bool values(std::string_view body) {
        Series &s = current_.series;
        // Blanks after a word are no part of it: "end " is the line "end".
        if (trim(body) == "end")
            return endSeries();
        for (std::string_view token : splitTokens(body)) {
            if (s.values.size() >= static_cast<std::size_t>(current_.expected))
                return fail("series " + shown(s.code) + " has more than " +
                            std::to_string(current_.expected) + " values");
            double v = 0;
            std::string problem = parseValue(token, v);
            if (!problem.empty())
                return fail(std::move(problem));
            s.values.push_back(v);
        }
        return true;
    }

    bool endSeries() {
        Series &s = current_.series;
        if (s.values.size() != static_cast<std::size_t>(current_.expected))
            return fail("series " + shown(s.code) + " has " + std::to_string(s.values.size()) +
                        " values, its range needs " + std::to_string(current_.expected));
        codes_.insert(s.code);
        db_.series.push_back(std::move(s));
        state_ = State::Top;
        return true;
    }

    const std::string &text_;
    std::string error_;
    int line_ = 0;
    State state_ = State::Header;
    Database db_;
    Pending current_;
    std::set<std::string> codes_;
};

int valuesPerLine(int f) {
    if (f == kQuarterly)
        return 4;
    if (f == kMonthly)
        return 12;
    return 10;
}

void appendValue(std::string &out, double v) {
    if (v == kMissing || !std::isfinite(v)) {
        out += "NA";
        return;
    }
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, result.ptr);
}

} // namespace

bool readBounded(std::istream &in, const ReadLimits &limits, std::string &text,
                 std::string &error) {
    try {
        std::string content;
        char buffer[65536];
        std::size_t lineLength = 0;
        long long line = 1;
        while (in) {
            in.read(buffer, sizeof buffer);
            const auto n = static_cast<std::size_t>(in.gcount());
            if (n == 0)
                break;
            if (content.size() + n > limits.fileBytes) {
                error = "is larger than " + std::to_string(limits.fileBytes) + " bytes";
                return false;
            }
            for (std::size_t i = 0; i < n; ++i) {
                if (buffer[i] == '\n') {
                    lineLength = 0;
                    ++line;
                } else if (++lineLength > limits.lineBytes) {
                    error = "line " + std::to_string(line) + " is longer than " +
                            std::to_string(limits.lineBytes) + " bytes";
                    return false;
                }
            }
            content.append(buffer, n);
        }
        if (in.bad()) {
            error = "cannot be read";
            return false;
        }
        text.swap(content);
        return true;
    } catch (const std::exception &) {
        error = "cannot be read";
        return false;
    }
}

std::string periodDateProblem(int date, int f) {
    if (!knownFrequency(f))
        return "unknown frequency code " + std::to_string(f);
    return dateProblem(date, f);
}

bool parseDatabase(const std::string &text, Database &out, std::string &error) {
    try {
        Parser parser(text);
        return parser.run(out, error);
    } catch (const std::bad_alloc &) {
        error = "out of memory while reading the database";
        return false;
    }
}

std::string checkSeries(const Series &s) {
    std::string problem = codeProblem(s.code);
    if (!problem.empty())
        return problem;
    if (!knownFrequency(s.frequency))
        return "unknown frequency code " + std::to_string(s.frequency);
    for (int i = 0; i < 7; ++i) {
        problem = textProblem(i, s.texts[i]);
        if (!problem.empty())
            return problem;
    }
    if (s.values.empty())
        return {};
    int count = 0;
    problem = rangeProblem(s.first, s.last, s.frequency, count);
    if (!problem.empty())
        return problem;
    if (s.values.size() != static_cast<std::size_t>(count))
        return "series " + shown(s.code) + " has " + std::to_string(s.values.size()) +
               " values, its range needs " + std::to_string(count);
    return {};
}

std::string formatDatabase(const Database &db) {
    std::string out;
    out += kDbMagic;
    out += ' ';
    out += std::to_string(kDbVersion);
    out += "\ndatabase ";
    out += db.name;
    out += '\n';
    for (const Series &s : db.series) {
        out += "\nseries " + s.code;
        out += "\nfrequency " + std::to_string(s.frequency);
        if (s.values.empty())
            out += "\nrange none";
        else
            out += "\nrange " + std::to_string(s.first) + ' ' + std::to_string(s.last);
        out += "\nattributes";
        for (int a : s.attributes)
            out += ' ' + std::to_string(a);
        for (int i = 0; i < 7; ++i) {
            out += "\ntext" + std::to_string(i + 1);
            if (!s.texts[i].empty())
                out += ' ' + s.texts[i];
        }
        out += "\nvalues\n";
        const std::size_t perLine = static_cast<std::size_t>(valuesPerLine(s.frequency));
        for (std::size_t i = 0; i < s.values.size(); ++i) {
            appendValue(out, s.values[i]);
            out += (i + 1) % perLine == 0 || i + 1 == s.values.size() ? '\n' : ' ';
        }
        out += "end\n";
    }
    return out;
}

} // namespace tqvs
