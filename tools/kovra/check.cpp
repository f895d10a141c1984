// kovra check: asks the database libraries that Kovrap has loaded every
// question whose answer Kovrap relies on, through Kovrap's exports alone, and
// says for each whether the answer is the one relied on. The libraries are
// closed: this is how a user finds out whether the ones beside Kovrap behave
// as the stand-ins were written to.
#include "commands.h"

#include "failure.h"
#include "formats.h"
#include "range.h"
#include "rules.h"
#include "session.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace kovra {

namespace {

// What a difference means for a host, one text per kind of question.
const char *const kCountMeaning = "row lengths and range counts are wrong";
const char *const kOrderMeaning = "an empty window looks like one with periods";
const char *const kNeighbourMeaning = "advanced code 1792 rows shift or fail (835)";
const char *const kDateMeaning = "c_kovraDateSeq gives the wrong dates";
const char *const kModeMeaning = "a fetch's mode cannot be put back";
const char *const kVersionMeaning = "c_kovraCVersion overruns the host's buffer";
const char *const kDatabaseMeaning = "the host cannot read this database";

// The size Kovrap passes with each version buffer.
constexpr std::size_t kVersionBytes = 20;
// What the version buffers hold before the call: no version text holds it.
constexpr char kUnwritten = '\x01';

enum class Verdict { Holds, Differs, Info };

struct Row {
    std::string question;
    std::string answer;
    std::string relied;
    Verdict verdict;
    std::string meaning;
};

class Report {
  public:
    void relied(std::string question, std::string answer, std::string relied, bool holds,
                const char *meaning) {
        rows_.push_back({std::move(question), std::move(answer), std::move(relied),
                         holds ? Verdict::Holds : Verdict::Differs, meaning});
    }
    void info(std::string question, std::string answer) {
        rows_.push_back({std::move(question), std::move(answer), "nothing", Verdict::Info, "-"});
    }

    bool allHold() const {
        for (const Row &row : rows_)
            if (row.verdict == Verdict::Differs)
                return false;
        return true;
    }

    std::string render() const {
        Table table({"question", "answer", "relied on", "result", "if it differs"},
                    {false, false, false, false, false});
        std::size_t holding = 0, informing = 0;
        std::vector<std::string> differing;
        for (const Row &row : rows_) {
            const char *verdict = "holds";
            if (row.verdict == Verdict::Differs) {
                verdict = "DIFFERS";
                differing.push_back(row.question);
            } else if (row.verdict == Verdict::Info) {
                verdict = "info";
                ++informing;
            } else {
                ++holding;
            }
            table.add({row.question, row.answer, row.relied, verdict,
                       row.verdict == Verdict::Info ? "-" : row.meaning});
        }
        std::string text = table.render() + "\n";
        if (differing.empty()) {
            text += "all " + std::to_string(holding) + " answers that Kovrap relies on hold; " +
                    std::to_string(informing) + " more are information\n";
        } else {
            text += std::to_string(differing.size()) + " of " +
                    std::to_string(holding + differing.size()) +
                    (differing.size() == 1 ? " answers differs" : " answers differ") +
                    " from what Kovrap relies on:\n";
            for (const std::string &question : differing)
                text += "  " + question + "\n";
        }
        return text;
    }

  private:
    std::vector<Row> rows_;
};

std::string count(int start, int end, int frequency) {
    return frequencyName(frequency) + ": count " + std::to_string(start) + " to " +
           std::to_string(end);
}

// Two consecutive period dates of every code: the period before the second
// is the first. At the weekly codes they cross a year end, at business days
// a weekend.
struct Neighbours {
    int frequency;
    int before;
    int after;
};

const Neighbours kNeighbours[] = {
    {KOVRAP_FREQ_ANNUAL, 2023, 2024},
    {KOVRAP_FREQ_QUARTERLY, 20234, 20241},
    {KOVRAP_FREQ_MONTHLY, 202312, 202401},
    {KOVRAP_FREQ_WEEKLY_MON, 20231225, 20240101},
    {KOVRAP_FREQ_WEEKLY_TUE, 20231226, 20240102},
    {KOVRAP_FREQ_WEEKLY_WED, 20231227, 20240103},
    {KOVRAP_FREQ_WEEKLY_THU, 20231228, 20240104},
    {KOVRAP_FREQ_WEEKLY_FRI, 20231229, 20240105},
    {KOVRAP_FREQ_WEEKLY_SAT, 20231230, 20240106},
    {KOVRAP_FREQ_WEEKLY_SUN, 20231231, 20240107},
    {KOVRAP_FREQ_DAILY, 20240228, 20240229},
    {KOVRAP_FREQ_BUSINESS, 20240105, 20240108},
};

// The period before a period date P and after the one before it (Q), as the
// windowed advanced count asks for them: P - 1 as an end, Q + 1 as a start,
// plain ints that need not be period dates. Not at the weekly codes, where
// Kovrap compares counts of period dates alone.
struct OneOff {
    int frequency;
    int before; // Q
    int after;  // P
    const char *endNote;
    const char *startNote;
};

const OneOff kOneOffs[] = {
    {KOVRAP_FREQ_ANNUAL, 2023, 2024, "", ""},
    {KOVRAP_FREQ_QUARTERLY, 20234, 20241, "quarter 0", "quarter 5"},
    {KOVRAP_FREQ_MONTHLY, 202312, 202401, "month 00", "month 13"},
    {KOVRAP_FREQ_DAILY, 20231231, 20240101, "day 0", "day 32"},
    {KOVRAP_FREQ_DAILY, 20240131, 20240201, "day 0", "day 32"},
    {KOVRAP_FREQ_DAILY, 20240229, 20240301, "day 0", "day 30 of February"},
    {KOVRAP_FREQ_BUSINESS, 20240131, 20240201, "day 0", "day 32"},
    {KOVRAP_FREQ_BUSINESS, 20240105, 20240108, "a Sunday", "a Saturday"},
    {KOVRAP_FREQ_BUSINESS, 20240329, 20240401, "day 0, a Sunday", "a Saturday"},
    {KOVRAP_FREQ_BUSINESS, 20240531, 20240603, "a Sunday", "day 32, a Saturday"},
};

// How a day between two period dates is read. Kovrap does not depend on it
// (the weekly rows hold under either reading, and a weekend day next to a
// business day is asked above as the period before or after it), so the
// answers are information: which reading the library follows.
struct Reading {
    int frequency;
    int start;
    int end;
    const char *question;
    const char *one; // what an answer of 1 says
    const char *two; // and of 2
};

const Reading kReadings[] = {
    {KOVRAP_FREQ_WEEKLY_SUN, 20240104, 20240107, "Thursday 2024-01-04 as a start",
     "the week that holds it", "the week ended before it"},
    {KOVRAP_FREQ_WEEKLY_SUN, 20231231, 20240104, "Thursday 2024-01-04 as an end",
     "the last week ended by then", "the week that holds it"},
    {KOVRAP_FREQ_WEEKLY_FRI, 20240103, 20240105, "Wednesday 2024-01-03 as a start",
     "the week that holds it", "the week ended before it"},
    {KOVRAP_FREQ_WEEKLY_FRI, 20231229, 20240103, "Wednesday 2024-01-03 as an end",
     "the last week ended by then", "the week that holds it"},
    {KOVRAP_FREQ_BUSINESS, 20240107, 20240108, "Sunday 2024-01-07 as a start", "the Monday after",
     "the Friday before"},
    {KOVRAP_FREQ_BUSINESS, 20240105, 20240106, "Saturday 2024-01-06 as an end", "the Friday before",
     "the Monday after"},
};

void askCounts(const Api &api, Report &report) {
    for (const Neighbours &n : kNeighbours) {
        const int f = n.frequency;
        const int forward = api.getObsNum(n.before, n.after, f);
        report.relied(count(n.before, n.after, f), std::to_string(forward), "2", forward == 2,
                      kCountMeaning);
        const int backward = api.getObsNum(n.after, n.before, f);
        report.relied(count(n.after, n.before, f) + ", end first", std::to_string(backward),
                      "0 or below", backward <= 0, kOrderMeaning);
        const int first = api.getDate(n.before, 1, f);
        const int second = api.getDate(n.before, 2, f);
        report.relied(frequencyName(f) + ": dates 1 and 2 from " + std::to_string(n.before),
                      std::to_string(first) + " " + std::to_string(second),
                      std::to_string(n.before) + " " + std::to_string(n.after),
                      first == n.before && second == n.after, kDateMeaning);
    }
    for (const OneOff &o : kOneOffs) {
        const int f = o.frequency;
        const auto note = [](const char *text) {
            return *text == '\0' ? std::string() : std::string(" (") + text + ")";
        };
        const std::string name = frequencyName(f) + ": count ";
        const int upTo = api.getObsNum(o.before, o.after - 1, f);
        report.relied(name + std::to_string(o.before) + " to " + std::to_string(o.after) + "-1" +
                          note(o.endNote),
                      std::to_string(upTo), "1", upTo == 1, kNeighbourMeaning);
        const int from = api.getObsNum(o.before + 1, o.after, f);
        report.relied(name + std::to_string(o.before) + "+1" + note(o.startNote) + " to " +
                          std::to_string(o.after),
                      std::to_string(from), "1", from == 1, kNeighbourMeaning);
    }
    for (const Reading &r : kReadings) {
        const int answer = api.getObsNum(r.start, r.end, r.frequency);
        const std::string reading = answer == 1 ? r.one : answer == 2 ? r.two : "neither reading";
        report.info(count(r.start, r.end, r.frequency) + ": " + r.question,
                    std::to_string(answer) + ", " + reading);
    }
}

// Puts a library's aggregation mode back when the questions end, whatever
// happened between: the mode is process-wide state of the library.
class ModeKeeper {
  public:
    ModeKeeper(const Api &api, int direct, int mode) : api_(api), direct_(direct), mode_(mode) {}
    ~ModeKeeper() {
        if (!restored_)
            api_.setAggmode(direct_, mode_);
    }
    int restore() {
        restored_ = true;
        return api_.setAggmode(direct_, mode_);
    }
    ModeKeeper(const ModeKeeper &) = delete;
    ModeKeeper &operator=(const ModeKeeper &) = delete;

  private:
    const Api &api_;
    int direct_;
    int mode_;
    bool restored_ = false;
};

std::string modeAnswer(int status, int mode) {
    return "status " + std::to_string(status) + ", reads " + std::to_string(mode);
}

void askAggregation(const Api &api, int direct, Report &report) {
    const std::string library = direct != 0 ? "direct library" : "local library";
    // Read twice: the mode to put back is the one found, and a library whose
    // read cannot be trusted cannot be left as it was.
    const int found = api.getAggmode(direct);
    const int before = api.getAggmode(direct);
    report.relied(library + ": aggregation mode read twice",
                  std::to_string(found) + " " + std::to_string(before), "the same twice",
                  found == before, kModeMeaning);
    // Another of the modes kovra names (0 to 3), so that the round trip is
    // seen to change something.
    const int other = before >= 0 && before < 3 ? before + 1 : 0;
    ModeKeeper keeper(api, direct, before);
    const int setStatus = api.setAggmode(direct, other);
    const int read = api.getAggmode(direct);
    report.relied(library + ": aggregation mode " + std::to_string(other) + " set, read",
                  modeAnswer(setStatus, read), modeAnswer(0, other),
                  setStatus == 0 && read == other, kModeMeaning);
    const int backStatus = keeper.restore();
    const int after = api.getAggmode(direct);
    report.relied(library + ": mode " + std::to_string(before) + " put back, read",
                  modeAnswer(backStatus, after), modeAnswer(0, before),
                  backStatus == 0 && after == before, kModeMeaning);
}

// A version text must end within the 20 bytes Kovrap passes as its size,
// and nothing may be written after them: the host's buffer may be no larger.
void reportVersion(const std::string &library, const std::array<char, 64> &buffer,
                   const std::string &status, Report &report) {
    const void *nul = std::memchr(buffer.data(), '\0', kVersionBytes);
    bool untouched = true;
    for (std::size_t i = kVersionBytes; i < buffer.size(); ++i)
        untouched = untouched && buffer[i] == kUnwritten;
    std::string answer;
    if (nul == nullptr)
        answer = buffer[0] == kUnwritten ? "no text" : "no NUL in 20 bytes";
    else
        answer = "'" + std::string(buffer.data()) + "'";
    if (!untouched)
        answer += ", wrote past 20 bytes";
    report.relied(library + ": version text" + status, answer, "a text in 20 bytes",
                  nul != nullptr && untouched, kVersionMeaning);
}

int askVersions(const Api &api, Report &report) {
    std::array<char, 64> local{}, direct{};
    local.fill(kUnwritten);
    direct.fill(kUnwritten);
    int interfaceVersion = 0;
    const int status = api.version(&interfaceVersion, local.data(), direct.data());
    reportVersion("local library", local, "", report);
    reportVersion("direct library", direct, " (status " + std::to_string(status) + ")", report);
    return interfaceVersion;
}

bool knownFrequency(const Api &api, int frequency) {
    return api.ymdToTqvdate(20000101, frequency) != -1;
}

// A listing and an information query on a database the user named, and the
// periods of its first series counted and stepped through.
void askDatabase(const Session &session, const std::string &database, Report &report) {
    const Api &api = session.api();
    const std::string library = session.direct() != 0 ? " (direct library)" : "";
    // A database that does not open fails the command, with the reason.
    const CodeListing listing = session.listing(database);
    report.relied("listing of " + database + library,
                  std::to_string(listing.codes.size()) + " codes" +
                      (listing.mayBeCut ? ", may be cut" : ""),
                  "its codes", true, kDatabaseMeaning);
    if (listing.codes.empty()) {
        report.info("information on " + database, "not asked: the listing holds no series");
        return;
    }
    const SeriesRef series{database, listing.codes.front(), database + ":" + listing.codes.front()};
    InfoResult result;
    try {
        result = querySeries(session, {series}, nullptr);
    } catch (const Failure &failure) {
        report.relied("information on " + series.name, failure.message, "status 0", false,
                      kDatabaseMeaning);
        return;
    }
    const SeriesInfo &info = result.series.front();
    if (info.statusList >= 0) {
        report.relied("information on " + series.name,
                      statusListText(info.statusList, session.direct() != 0), "status 0", false,
                      kDatabaseMeaning);
        return;
    }
    const int f = info.frequency;
    const bool known = knownFrequency(api, f);
    const bool empty = info.attributes[0] == 0;
    std::string answer = "status 0, " + frequencyName(f);
    if (!empty)
        answer += ", " + periodLabel(info.firstDate, f) + " to " + periodLabel(info.lastDate, f);
    report.relied("information on " + series.name, answer, "status 0, a known code", known,
                  kDatabaseMeaning);
    if (!known)
        return;
    if (empty) {
        report.info("periods of " + series.name, "not asked: no observations");
        return;
    }
    const int first = api.ymdToTqvdate(info.firstDate, f);
    const int last = api.ymdToTqvdate(info.lastDate, f);
    const int n = api.getObsNum(first, last, f);
    const int firstStep = n > 0 ? api.getDate(first, 1, f) : 0;
    const int lastStep = n > 0 ? api.getDate(first, n, f) : 0;
    const auto label = [&api, f](int period) {
        return periodLabel(api.tqvdateToYmd(period, f), f);
    };
    report.relied("periods of " + series.name + ": count, dates 1 and N",
                  std::to_string(n) + ", " +
                      (n > 0 ? label(firstStep) + " " + label(lastStep) : "-"),
                  "N >= 1, " + label(first) + " " + label(last),
                  n >= 1 && firstStep == first && lastStep == last, kCountMeaning);
}

} // namespace

Output runCheck(const Options &options) {
    const Session session(options);
    const Api &api = session.api();
    Report report;
    askCounts(api, report);
    askAggregation(api, 0, report);
    askAggregation(api, 1, report);
    const int interfaceVersion = askVersions(api, report);
    if (options.database)
        askDatabase(session, *options.database, report);

    Output output;
    output.out = "Kovrap interface version " + std::to_string(interfaceVersion) +
                 "; the libraries it loaded, asked through its exports\n"
                 "count S to E: c_kovraGetObsNum, the periods from S to E at a code; "
                 "dates: c_kovraGetDate\n\n" +
                 report.render();
    output.status = report.allHold() ? kExitOk : kExitFailure;
    return output;
}

} // namespace kovra
