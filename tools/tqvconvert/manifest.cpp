// Reading a manifest: one `database` line and `series ... end` blocks, each
// checked as it closes (docs/database-format.md).
#include "convert.h"
#include "source.h"

#include "dbfile.h"
#include "periods.h"
#include "tokens.h"

#include <set>
#include <string_view>

namespace tqvconvert {

namespace {

using tqvs::parseInt;
using tqvs::splitKeyword;
using tqvs::splitTokens;
using tqvs::trim;

bool isCoarse(int f) {
    return f == tqvs::kAnnual || f == tqvs::kQuarterly || f == tqvs::kMonthly;
}

class ManifestReader {
  public:
    ManifestReader(const std::string &text, const std::string &origin)
        : text_(text), origin_(origin) {}

    bool run(Manifest &out, std::string &error) {
        std::size_t pos = textStart(text_);
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

} // namespace

bool parseManifest(const std::string &text, const std::string &origin, Manifest &out,
                   std::string &error) {
    ManifestReader reader(text, origin);
    return reader.run(out, error);
}

} // namespace tqvconvert
