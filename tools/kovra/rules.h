// kovra's host rules: how what a user types is read, in the order of
// docs/host-rules.md: series names, dates, frequencies, operations and
// aggregation. The Python and R packages read by the same rules, held
// together by the shared table of cases (tests/hosts/*.tsv). Every refusal
// here is a usage Failure, thrown before anything is asked of the database
// libraries; a rule that needs the calendar asks it through the library's
// exports (`api`), and nothing else.
#ifndef KOVRA_RULES_H
#define KOVRA_RULES_H

#include "api.h"

#include <string>
#include <vector>

namespace kovra {

// ---- Series names ---------------------------------------------------------

// One DATABASE:CODE operand.
struct SeriesRef {
    std::string database;
    std::string code;
    std::string name; // as given, for messages
};

// Splits each operand at its first colon after an optional drive (a letter,
// a colon and a slash or backslash), so that a Windows path keeps its drive
// and a code may hold colons: ODD:A:B is code A:B of ODD. Refuses, naming
// the operand with its control characters as \xHH, an operand without a
// database or a code, a code longer than 9 bytes, a control character
// anywhere, or, for the direct library, a code that is not listable().
std::vector<SeriesRef> parseSeriesRefs(const std::vector<std::string> &operands,
                                       bool direct = false);

// Whether a code can travel to the direct library, which takes its codes as
// one comma-joined list: a code with a comma would read as two.
bool listable(const std::string &code);

// Whether a text holds a control character (U+0000 to U+001F, U+007F).
bool hasControlCharacter(const std::string &text);

// A name as the user wrote it, for messages: control characters as \xHH,
// in capitals (\x1F).
std::string shownName(const std::string &name);

// The databases the series name, each once, in the order first named.
std::vector<std::string> databasesOf(const std::vector<SeriesRef> &series);

// ---- Dates ----------------------------------------------------------------

// The calendar dates of the first and the last day of what a date names: a
// year, a quarter, a month or a day.
struct DaySpan {
    int first;
    int last;
};

// `2001`, `2001Q3`, `2001-07`, `2001-07-15`, or a period date (`20013`,
// `200107`, `20010715`), in ASCII digits, nothing trimmed. Years 0001 to
// 9999.
DaySpan parseDate(const Api &api, const std::string &text);

// ---- Frequencies ----------------------------------------------------------

constexpr int kLowestFrequency = KOVRAP_FREQ_LOWEST;   // the common range takes the lowest code
constexpr int kWeeklyGroup = KOVRAP_FREQ_WEEKLY_GROUP; // the common range reads it as any week

// `annual`, `quarterly`, `monthly`, `weekly`, `weekly-mon` .. `weekly-sun`,
// `daily`, `business`, `lowest` in any case (ASCII letters folded), or a
// code the library knows, written in at most four ASCII digits.
int parseFrequency(const Api &api, const std::string &text);

// Whether a frequency text that reads as a weekly code names a weekday
// (`weekly-sun`, `57`) rather than the weekly group (`weekly`).
bool namesWeekday(const std::string &text);

// `annual` ... `business`, or `code N` for a code without a name.
std::string frequencyName(int code);

// Whether a code is one of the weekly codes (weeks ending Monday to weeks
// ending Sunday), and the day its weeks end on: "Friday".
bool isWeekly(int code);
std::string weekdayOf(int code);

// ---- Operations -----------------------------------------------------------

constexpr int kSeasonal = KOVRAP_ADVANCED_WINDOWED;
constexpr int kMovingAverage = 1; // advanced: trailing mean of `second` periods
constexpr int kRebase = 2;        // advanced: the period `second` slots in becomes 100

// How a transformed value is shown: in the series' own decimals, as a
// percentage, or with four decimals for anything else.
enum class Scale { Own, Percent, Other };

struct Operation {
    bool present = false;
    bool advanced = false;
    int code = 0;
    int second = 0;         // second parameter of an advanced count
    std::string rebaseDate; // rebase:DATE, turned into a slot once the window is known
    std::string label;      // as shown: "pct", "seasonal", "ma:4", "code 7"
    std::string written;    // as the user wrote it, for messages: "math pct", "ma:4"
    Scale scale = Scale::Own;
};

// `level`, `diff`, `pct`, `apct`, `yoy`, `log` in any case, or their codes
// 0 to 5.
Operation parseMath(const std::string &text);

// `seasonal`, `ma:SPAN`, `rebase:DATE` (the names in any case), or
// `CODE[:SECOND]` with the codes of those three. The rebase date is read
// later, against the window.
Operation parseAdvanced(const std::string &text);

// ---- Aggregation ----------------------------------------------------------

// The library's modes by name, in any case: mean 0, sum 1, first 2, last 3.
int parseAggregation(const std::string &text);

// ---- Shared ---------------------------------------------------------------

// The text with ASCII letters A to Z lowered, every other byte as it was.
std::string foldAscii(const std::string &text);

} // namespace kovra

#endif
