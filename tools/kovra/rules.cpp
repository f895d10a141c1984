#include "rules.h"

#include "failure.h"

#include <algorithm>

namespace kovra {

namespace {

constexpr std::size_t kMaxCode = KOVRAP_CODE_WIDTH - 1;

bool allDigits(const std::string &s, std::size_t from, std::size_t to) {
    if (from >= to || to > s.size())
        return false;
    for (std::size_t i = from; i < to; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    return true;
}

int digits(const std::string &s, std::size_t from, std::size_t to) {
    int value = 0;
    for (std::size_t i = from; i < to; ++i)
        value = value * 10 + (s[i] - '0');
    return value;
}

} // namespace

std::string foldAscii(const std::string &text) {
    std::string folded = text;
    for (char &c : folded)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return folded;
}

// ---- Series names ---------------------------------------------------------

bool hasControlCharacter(const std::string &text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

bool listable(const std::string &code) {
    return code.find(',') == std::string::npos;
}

std::string shownName(const std::string &name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xF];
        } else {
            shown += c;
        }
    }
    return shown;
}

std::vector<SeriesRef> parseSeriesRefs(const std::vector<std::string> &operands, bool direct) {
    std::vector<SeriesRef> refs;
    for (const std::string &operand : operands) {
        const std::string shown = "'" + shownName(operand) + "'";
        // A control character cannot travel to the library intact (a NUL
        // would end the name early): refuse it before anything is called.
        if (hasControlCharacter(operand))
            usageError(shown + " holds a control character");
        const bool drive = operand.size() > 2 &&
                           ((operand[0] >= 'A' && operand[0] <= 'Z') ||
                            (operand[0] >= 'a' && operand[0] <= 'z')) &&
                           operand[1] == ':' && (operand[2] == '\\' || operand[2] == '/');
        const std::size_t colon = operand.find(':', drive ? 2 : 0);
        if (colon == std::string::npos || colon == 0 || colon + 1 == operand.size())
            usageError(shown + " is not DATABASE:CODE");
        SeriesRef ref{operand.substr(0, colon), operand.substr(colon + 1), operand};
        if (ref.code.size() > kMaxCode)
            usageError(shown + " has a code longer than " + std::to_string(kMaxCode) + " bytes");
        // A code with a comma would read as two in the direct library's list
        // and shift every later answer.
        if (direct && !listable(ref.code))
            usageError(shown + " has a comma in its code, which the direct library cannot take");
        refs.push_back(std::move(ref));
    }
    return refs;
}

std::vector<std::string> databasesOf(const std::vector<SeriesRef> &series) {
    std::vector<std::string> databases;
    for (const SeriesRef &s : series) {
        bool seen = false;
        for (const std::string &d : databases)
            seen = seen || d == s.database;
        if (!seen)
            databases.push_back(s.database);
    }
    return databases;
}

// ---- Dates ----------------------------------------------------------------

namespace {

[[noreturn]] void badDate(const std::string &text) {
    usageError("bad date '" + text +
               "' (use 2001, 2001Q3, 2001-07, 2001-07-15 or a period date such as 20013)");
}

} // namespace

DaySpan parseDate(const Api &api, const std::string &text) {
    if (!allDigits(text, 0, 4))
        badDate(text);
    const int year = digits(text, 0, 4);
    if (year == 0) // the calendar has no year 0 for people; 0001 is year 1
        badDate(text);
    const std::size_t n = text.size();
    if (n == 4)
        return {year * 10000 + 101, api.tqvdateToYmd(year, KOVRAP_FREQ_ANNUAL)};

    // A quarter: 2001Q3 or 20013.
    const bool quarterForm =
        (n == 6 && (text[4] == 'Q' || text[4] == 'q') && allDigits(text, 5, 6)) ||
        (n == 5 && allDigits(text, 4, 5));
    if (quarterForm) {
        const int quarter = text[n - 1] - '0';
        if (quarter < 1 || quarter > 4)
            badDate(text);
        return {year * 10000 + (3 * quarter - 2) * 100 + 1,
                api.tqvdateToYmd(year * 10 + quarter, KOVRAP_FREQ_QUARTERLY)};
    }

    // A month (2001-07, 200107) or a day (2001-07-15, 20010715).
    int month = 0;
    int day = 0;
    if (n == 7 && text[4] == '-' && allDigits(text, 5, 7)) {
        month = digits(text, 5, 7);
    } else if (n == 6 && allDigits(text, 4, 6)) {
        month = digits(text, 4, 6);
    } else if (n == 10 && text[4] == '-' && text[7] == '-' && allDigits(text, 5, 7) &&
               allDigits(text, 8, 10)) {
        month = digits(text, 5, 7);
        day = digits(text, 8, 10);
        if (day == 0)
            badDate(text);
    } else if (n == 8 && allDigits(text, 4, 8)) {
        month = digits(text, 4, 6);
        day = digits(text, 6, 8);
        if (day == 0)
            badDate(text);
    } else {
        badDate(text);
    }
    if (month < 1 || month > 12)
        badDate(text);
    const int monthEnd = api.tqvdateToYmd(year * 100 + month, KOVRAP_FREQ_MONTHLY);
    if (day == 0)
        return {year * 10000 + month * 100 + 1, monthEnd};
    if (day > monthEnd % 100)
        badDate(text);
    const int date = year * 10000 + month * 100 + day;
    return {date, date};
}

// ---- Frequencies ----------------------------------------------------------

namespace {

struct NamedFrequency {
    const char *name;
    int code;
};

const NamedFrequency kFrequencies[] = {
    {"annual", KOVRAP_FREQ_ANNUAL},
    {"quarterly", KOVRAP_FREQ_QUARTERLY},
    {"monthly", KOVRAP_FREQ_MONTHLY},
    {"weekly-mon", KOVRAP_FREQ_WEEKLY_MON},
    {"weekly-tue", KOVRAP_FREQ_WEEKLY_TUE},
    {"weekly-wed", KOVRAP_FREQ_WEEKLY_WED},
    {"weekly-thu", KOVRAP_FREQ_WEEKLY_THU},
    {"weekly-fri", KOVRAP_FREQ_WEEKLY_FRI},
    {"weekly-sat", KOVRAP_FREQ_WEEKLY_SAT},
    {"weekly-sun", KOVRAP_FREQ_WEEKLY_SUN},
    {"daily", KOVRAP_FREQ_DAILY},
    {"business", KOVRAP_FREQ_BUSINESS},
    {"weekly", kWeeklyGroup},
    {"lowest", kLowestFrequency},
};

// A code is read from at most four digits: `0010` is annual, `00010` no
// frequency.
constexpr std::size_t kMaxCodeDigits = 4;

} // namespace

int parseFrequency(const Api &api, const std::string &text) {
    const std::string folded = foldAscii(text);
    for (const NamedFrequency &f : kFrequencies)
        if (folded == f.name)
            return f.code;
    if (allDigits(text, 0, text.size()) && text.size() <= kMaxCodeDigits) {
        const int code = digits(text, 0, text.size());
        // The library's own conversion tells which codes it knows: -1 for
        // any other.
        if (code == kLowestFrequency || api.ymdToTqvdate(20000101, code) != -1)
            return code;
    }
    usageError("unknown frequency '" + text +
               "' (use annual, quarterly, monthly, weekly, weekly-mon .. weekly-sun, daily, "
               "business, lowest or a code)");
}

bool namesWeekday(const std::string &text) {
    return foldAscii(text) != "weekly";
}

std::string frequencyName(int code) {
    for (const NamedFrequency &f : kFrequencies)
        if (f.code == code && code != kLowestFrequency)
            return f.name;
    return "code " + std::to_string(code);
}

bool isWeekly(int code) {
    return code >= KOVRAP_FREQ_WEEKLY_MON && code <= KOVRAP_FREQ_WEEKLY_SUN;
}

std::string weekdayOf(int code) {
    static const char *const kDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                        "Friday", "Saturday", "Sunday"};
    return isWeekly(code) ? kDays[code - KOVRAP_FREQ_WEEKLY_MON] : frequencyName(code);
}

// ---- Operations -----------------------------------------------------------

namespace {

// Whether the text is written as an integer: an optional sign and digits.
bool isIntegerText(const std::string &text) {
    const std::size_t sign = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (sign == text.size())
        return false;
    for (std::size_t i = sign; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

// Reads a 32-bit int. Integer text beyond the int range is refused, never
// wrapped: "bad number '99999999999' in 'ma:99999999999'", with the whole
// operation as written. Anything else that is no integer returns false.
bool parseInt(const std::string &text, const std::string &whole, int &value) {
    if (!isIntegerText(text))
        return false;
    const bool negative = text[0] == '-';
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    while (i + 1 < text.size() && text[i] == '0') // leading zeros do not count
        ++i;
    long long v = 0;
    const long long limit = negative ? 2147483648LL : 2147483647LL;
    for (; i < text.size(); ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > limit)
            usageError("bad number '" + text + "' in '" + whole + "'");
    }
    value = static_cast<int>(negative ? -v : v);
    return true;
}

} // namespace

Operation parseMath(const std::string &text) {
    struct Named {
        const char *name;
        int code;
        Scale scale;
    };
    static const Named kMath[] = {
        {"level", 0, Scale::Own},    {"diff", 1, Scale::Own},    {"pct", 2, Scale::Percent},
        {"apct", 3, Scale::Percent}, {"yoy", 4, Scale::Percent}, {"log", 5, Scale::Other},
    };
    Operation op;
    op.present = true;
    op.label = text;
    op.written = "math " + text;
    const std::string folded = foldAscii(text);
    for (const Named &m : kMath)
        if (folded == m.name) {
            op.code = m.code;
            op.scale = m.scale;
            op.label = m.name;
            return op;
        }
    if (!parseInt(text, text, op.code))
        usageError("unknown math operation '" + text +
                   "' (use level, diff, pct, apct, yoy, log or their codes 0 to 5)");
    for (const Named &m : kMath)
        if (op.code == m.code) {
            op.scale = m.scale;
            op.label = m.name;
            return op;
        }
    // Another code would reach the library unchecked (-1 even turns the
    // operation off without a word): only the codes of the names are taken.
    usageError("math code " + text +
               " is no operation kovra knows (use level, diff, pct, apct, yoy, log or their "
               "codes 0 to 5)");
}

Operation parseAdvanced(const std::string &text) {
    Operation op;
    op.present = true;
    op.advanced = true;
    op.label = text;
    op.written = text;
    const std::size_t colon = text.find(':');
    const std::string name = foldAscii(text.substr(0, colon));
    const bool hasParameter = colon != std::string::npos;
    const std::string parameter = hasParameter ? text.substr(colon + 1) : "";
    if (name == "seasonal" && !hasParameter) {
        op.code = kSeasonal;
        op.label = name;
    } else if (name == "ma" && hasParameter) {
        op.code = kMovingAverage;
        if (!parseInt(parameter, text, op.second) || op.second < 1)
            usageError("ma takes a span of at least one period, as in ma:4, not '" + text + "'");
        op.label = name + ":" + parameter;
    } else if (name == "rebase" && hasParameter) {
        op.code = kRebase;
        if (parameter.empty())
            usageError("rebase takes a date, as in rebase:2001");
        op.rebaseDate = parameter;
        op.scale = Scale::Percent;
        op.label = name + ":" + parameter;
    } else if (parseInt(name, text, op.code)) {
        if (hasParameter && !parseInt(parameter, text, op.second))
            usageError("bad parameter in '" + text + "' (use CODE or CODE:SECOND)");
        // Only the codes of the named operations: code 0 in the first
        // request turns every transformation off, -1 reads as no operation
        // in some hosts' hands, and neither may come back looking transformed.
        if (op.code != kSeasonal && op.code != kMovingAverage && op.code != kRebase)
            usageError("advanced code " + std::to_string(op.code) +
                       " is no operation kovra knows (use seasonal, ma:SPAN, rebase:DATE, or "
                       "the codes 1792, 1 or 2, as in 1:4)");
        op.scale = op.code == kRebase ? Scale::Percent : Scale::Own;
        op.label = "code " + text;
        op.written = "advanced " + text;
    } else {
        usageError("unknown advanced operation '" + text +
                   "' (use seasonal, ma:SPAN, rebase:DATE or CODE[:SECOND])");
    }
    return op;
}

// ---- Aggregation ----------------------------------------------------------

int parseAggregation(const std::string &text) {
    static const char *const kNames[] = {"mean", "sum", "first", "last"};
    const std::string folded = foldAscii(text);
    for (int mode = 0; mode < 4; ++mode)
        if (folded == kNames[mode])
            return mode;
    usageError("unknown aggregation '" + text + "' (use mean, sum, first or last)");
}

} // namespace kovra
