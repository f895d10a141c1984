// kovra check run as a child process: it asks the stand-ins every question
// whose answer Kovrap relies on and finds that each holds, under either
// weekly reading of the stand-in; a stand-in made to answer one question
// differently (TQVS_ANSWER, read by the child's stand-in) makes it exit 1
// and name that question; --database lists and queries a sample database.
#include "environment.h"
#include "kovra_cli.h"

#include "tqv_standin.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace kovra_cli;

const std::vector<std::string> kLogin = {"--direct", "--user", "demo", "--password-file",
                                         "../demo.password"};

// An environment variable for kovra's process, for the time of a test.
class Variable {
  public:
    Variable(const char *name, const char *value) : name_(name) {
        if (const char *old = std::getenv(name))
            saved_ = old;
        kovrap_test::setVariable(name, value);
    }
    ~Variable() { kovrap_test::setVariable(name_, saved_ ? saved_->c_str() : nullptr); }
    Variable(const Variable &) = delete;
    Variable &operator=(const Variable &) = delete;

  private:
    const char *name_;
    std::optional<std::string> saved_;
};

// The cells of the table's row whose question is `question`: question,
// answer, relied on, result, if it differs. Cells are two or more blanks
// apart and hold single blanks only. Nothing when there is no such row.
std::vector<std::string> rowOf(const std::string &out, const std::string &question) {
    for (const std::string &line : lines(out)) {
        std::vector<std::string> cells;
        std::size_t at = 0;
        while (at < line.size()) {
            std::size_t gap = line.find("  ", at);
            if (gap == std::string::npos)
                gap = line.size();
            cells.push_back(line.substr(at, gap - at));
            at = line.find_first_not_of(' ', gap);
            if (at == std::string::npos)
                break;
        }
        if (!cells.empty() && cells.front() == question)
            return cells;
    }
    return {};
}

using Cells = std::vector<std::string>;

bool has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// Every kind of question is asked: each code's counts and dates, the
// neighbours through month 00 and 13, quarter 0 and 5, day 0 and 32, the
// readings, both libraries' modes and versions.
const char *const kQuestions[] = {
    "annual: count 2023 to 2024",
    "quarterly: count 20234+1 (quarter 5) to 20241",
    "quarterly: count 20234 to 20241-1 (quarter 0)",
    "monthly: count 202312+1 (month 13) to 202401",
    "monthly: count 202312 to 202401-1 (month 00)",
    "weekly-mon: dates 1 and 2 from 20231225",
    "weekly-sun: count 20240107 to 20231231, end first",
    "daily: count 20231231 to 20240101-1 (day 0)",
    "daily: count 20231231+1 (day 32) to 20240101",
    "business: count 20240131 to 20240201-1 (day 0)",
    "business: count 20240131+1 (day 32) to 20240201",
    "business: count 20240105 to 20240108-1 (a Sunday)",
    "business: count 20240105+1 (a Saturday) to 20240108",
    "local library: aggregation mode 1 set, read",
    "direct library: mode 0 put back, read",
    "local library: version text",
    "direct library: version text (status 0)",
};

TEST(KovraCheck, EveryAnswerHoldsOnTheStandInsUnderEitherWeeklyReading) {
    for (const char *reading : {"holding", "ended"}) {
        SCOPED_TRACE(reading);
        const Variable weekly("TQVS_WEEKLY_END", reading);
        const Result run = kovra({"check"});
        EXPECT_EQ(0, run.status) << run.out << run.err;
        EXPECT_EQ("", run.err);
        EXPECT_FALSE(has(run.out, "DIFFERS")) << run.out;
        EXPECT_TRUE(has(run.out, "\nall 64 answers that Kovrap relies on hold; 6 more are "
                                 "information\n"))
            << run.out;
        for (const char *question : kQuestions) {
            const Cells row = rowOf(run.out, question);
            ASSERT_EQ(5u, row.size()) << question << "\n" << run.out;
            EXPECT_EQ("holds", row[3]) << question;
        }
        // A Thursday as the end of a week ending Sunday: the week that holds
        // it, or under the other reading the week ended before it.
        const Cells end =
            rowOf(run.out, "weekly-sun: count 20231231 to 20240104: Thursday 2024-01-04 as an end");
#if defined(TQVS_WEEK_ENDED)
        const bool ended = std::string(reading) == "ended";
#else
        const bool ended = false; // a stand-in with one reading ignores the variable
#endif
        EXPECT_EQ((Cells{end.empty() ? "" : end[0],
                         ended ? "1, the last week ended by then" : "2, the week that holds it",
                         "nothing", "info", "-"}),
                  end);
        const Cells start = rowOf(
            run.out, "weekly-sun: count 20240104 to 20240107: Thursday 2024-01-04 as a start");
        ASSERT_EQ(5u, start.size()) << run.out;
        EXPECT_EQ("1, the week that holds it", start[1]);
    }
}

// The stand-in answers one call of kovra's process differently: the row of
// that question differs, the summary names it, and the status is 1. An
// answer that Kovrap does not rely on changes only the information.
TEST(KovraCheck, AnAnswerThatDiffersIsNamedAndFailsTheCheck) {
    const struct {
        const char *call;
        const char *question;
        const char *answer;
    } cases[] = {
        {"TQVGetObsNum(202312, 202400, 40) -> 2", "monthly: count 202312 to 202401-1 (month 00)",
         "2"},
        {"TQVGetObsNum(20240132, 20240201, 61) -> 0",
         "business: count 20240131+1 (day 32) to 20240201", "0"},
        {"TQVGetDate(20240105, 2, 61) -> 20240106", "business: dates 1 and 2 from 20240105",
         "20240105 20240106"},
        {"TQVDSetAggregationMode(0) -> 30", "direct library: mode 0 put back, read",
         "status 30, reads 1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        const Variable answer("TQVS_ANSWER", c.call);
        const Result run = kovra({"check"});
        EXPECT_EQ(1, run.status) << run.err;
        EXPECT_EQ("", run.err);
        const Cells row = rowOf(run.out, c.question);
        ASSERT_EQ(5u, row.size()) << run.out;
        EXPECT_EQ(c.answer, row[1]);
        EXPECT_EQ("DIFFERS", row[3]);
        EXPECT_TRUE(has(run.out, "\n1 of 64 answers differs from what Kovrap relies on:\n  " +
                                     std::string(c.question) + "\n"))
            << run.out;
    }

    // An entry without a number after its arrow changes nothing.
    {
        const Variable malformed("TQVS_ANSWER", "TQVGetObsNum(202312, 202400, 40) -> two");
        const Result run = kovra({"check"});
        EXPECT_EQ(0, run.status) << run.out;
    }
    const Variable answer("TQVS_ANSWER", "TQVGetObsNum(20240105, 20240106, 61) -> 2");
    const Result run = kovra({"check"});
    EXPECT_EQ(0, run.status) << run.out;
    const Cells row =
        rowOf(run.out, "business: count 20240105 to 20240106: Saturday 2024-01-06 as an end");
    ASSERT_EQ(5u, row.size()) << run.out;
    EXPECT_EQ("2, the Monday after", row[1]);
    EXPECT_EQ("info", row[3]);
}

// --database lists the database and asks for its first series' information
// and periods, on either library.
TEST(KovraCheck, ListsAndQueriesADatabaseThatIsNamed) {
    const Result codes = kovra({"codes", "ECON"});
    ASSERT_EQ(0, codes.status) << codes.err;
    const std::vector<std::string> listed = lines(codes.out);
    ASSERT_FALSE(listed.empty());
    // The first series of ECON is UKGAS, 1960Q1 to 1986Q4: 27 years.
    ASSERT_EQ("UKGAS", listed.front());
    for (const bool direct : {false, true}) {
        SCOPED_TRACE(direct ? "direct" : "local");
        const std::vector<std::string> args = {"check", "--database", "ECON"};
        const Result run = kovra(direct ? concat(kLogin, args) : args);
        EXPECT_EQ(0, run.status) << run.out << run.err;
        const std::string library = direct ? " (direct library)" : "";
        EXPECT_EQ((Cells{"listing of ECON" + library, std::to_string(listed.size()) + " codes",
                         "its codes", "holds", "the host cannot read this database"}),
                  rowOf(run.out, "listing of ECON" + library));
        EXPECT_EQ((Cells{"information on ECON:UKGAS", "status 0, quarterly, 1960Q1 to 1986Q4",
                         "status 0, a known code", "holds", "the host cannot read this database"}),
                  rowOf(run.out, "information on ECON:UKGAS"));
        EXPECT_EQ(
            (Cells{"periods of ECON:UKGAS: count, dates 1 and N", "108, 1960Q1 1986Q4",
                   "N >= 1, 1960Q1 1986Q4", "holds", "row lengths and range counts are wrong"}),
            rowOf(run.out, "periods of ECON:UKGAS: count, dates 1 and N"));
        EXPECT_TRUE(has(run.out, "\nall 67 answers that Kovrap relies on hold")) << run.out;
    }
}

} // namespace
