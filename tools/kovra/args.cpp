#include "args.h"

#include "failure.h"

#include <algorithm>
#include <cstddef>

namespace kovra {

namespace {

enum class Kind { Flag, Value, List }; // a List option may be given again

// Which commands take an option, as a set of bits.
enum CommandBit : unsigned {
    kCodes = 1u << 0,
    kInfo = 1u << 1,
    kFetch = 1u << 2,
    kVersion = 1u << 3,
    kCalendar = 1u << 4,
    kCheck = 1u << 5,
    kFind = 1u << 6,
};
constexpr unsigned kReading = kCodes | kInfo | kFetch | kFind; // commands that open databases
constexpr unsigned kAll = kReading | kVersion | kCalendar | kCheck;

struct OptionRule {
    const char *name;
    Kind kind;
    unsigned commands;
    bool Options::*flag;
    std::optional<std::string> Options::*value;
};

const OptionRule kOptions[] = {
    {"--library", Kind::Value, kAll, nullptr, nullptr}, // a plain string, handled below
    {"--direct", Kind::Flag, kReading | kCheck, &Options::direct, nullptr},
    {"--user", Kind::Value, kReading | kCheck, nullptr, &Options::user},
    {"--password-file", Kind::Value, kReading | kCheck, nullptr, &Options::passwordFile},
    {"--service", Kind::Value, kReading | kCheck, nullptr, &Options::service},
    {"--database", Kind::Value, kCheck, nullptr, &Options::database},
    {"--range", Kind::Flag, kInfo, &Options::range, nullptr},
    {"--wide", Kind::Flag, kInfo, &Options::wide, nullptr},
    {"--freq", Kind::Value, kInfo | kFetch | kFind, nullptr, &Options::freq},
    {"--db", Kind::List, kFind, nullptr, nullptr},
    {"--from", Kind::Value, kInfo | kFetch, nullptr, &Options::from},
    {"--to", Kind::Value, kInfo | kFetch, nullptr, &Options::to},
    {"--math", Kind::Value, kFetch, nullptr, &Options::math},
    {"--advanced", Kind::Value, kFetch, nullptr, &Options::advanced},
    {"--aggregate", Kind::Value, kFetch, nullptr, &Options::aggregate},
    {"--csv", Kind::Flag, kFetch, &Options::csv, nullptr},
    {"--plot", Kind::Value, kFetch, nullptr, &Options::plot},
    {"--plot-layout", Kind::Value, kFetch, nullptr, &Options::plotLayout},
};

struct CommandRule {
    const char *name;
    unsigned bit;
    std::size_t minOperands;
    std::size_t maxOperands;
    const char *operands; // for messages
};

const CommandRule kCommands[] = {
    {"codes", kCodes, 1, 1, "one DATABASE"},
    {"info", kInfo, 1, static_cast<std::size_t>(-1), "at least one DATABASE:CODE"},
    {"fetch", kFetch, 1, static_cast<std::size_t>(-1), "at least one DATABASE:CODE"},
    {"version", kVersion, 0, 0, "no operand"},
    {"calendar", kCalendar, 0, 0, "no operand"},
    {"check", kCheck, 0, 0, "no operand"},
    {"find", kFind, 1, static_cast<std::size_t>(-1), "at least one WORD"},
};

const OptionRule *findOption(const std::string &name) {
    for (const OptionRule &o : kOptions)
        if (name == o.name)
            return &o;
    return nullptr;
}

const CommandRule *findCommand(const std::string &name) {
    for (const CommandRule &c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

bool isOption(const std::string &arg) {
    return arg.size() > 1 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9');
}

bool endsWithSvg(const std::string &path) {
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    for (char &c : tail)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return tail == ".svg";
}

} // namespace

Options parseArgs(const std::vector<std::string> &args) {
    Options options;
    std::vector<const OptionRule *> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (!isOption(arg)) {
            if (options.command.empty())
                options.command = arg;
            else
                options.operands.push_back(arg);
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionRule *rule = findOption(name);
        if (rule == nullptr)
            usageError("unknown option " + name + " (see kovra --help)");
        if (rule->kind != Kind::List && std::find(given.begin(), given.end(), rule) != given.end())
            usageError("option " + name + " given twice");
        given.push_back(rule);

        if (rule->kind == Kind::Flag) {
            if (equals != std::string::npos)
                usageError("option " + name + " takes no value");
            options.*(rule->flag) = true;
            continue;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else {
            if (i + 1 >= args.size())
                usageError("option " + name + " needs a value");
            value = args[++i];
        }
        if (value.empty())
            usageError("option " + name + " needs a value");
        if (rule->kind == Kind::List) {
            options.databases.push_back(value);
        } else if (rule->value == nullptr) {
            options.library = value;
        } else {
            options.*(rule->value) = value;
        }
    }
    if (options.help)
        return options;
    if (options.command.empty())
        usageError("no command given (see kovra --help)");
    const CommandRule *command = findCommand(options.command);
    if (command == nullptr)
        usageError("unknown command '" + options.command + "' (see kovra --help)");
    const std::size_t n = options.operands.size();
    if (n < command->minOperands || n > command->maxOperands)
        usageError(std::string(command->name) + " takes " + command->operands);
    for (const OptionRule *rule : given)
        if ((rule->commands & command->bit) == 0)
            usageError(std::string(command->name) + " does not take " + rule->name);

    // --direct alone reads without a log-in, and the library's answer is
    // reported as one that needs it.
    if (!options.direct && (options.user || options.passwordFile || options.service))
        usageError("--user, --password-file and --service go with --direct");
    if (options.user && !options.passwordFile)
        usageError("--user needs --password-file");
    if (!options.user && (options.passwordFile || options.service))
        usageError("--password-file and --service go with --user");
    // check asks the direct library its mode and version without a log-in;
    // only a database is read through it.
    if (options.command == "check" && options.direct && !options.database)
        usageError("--direct on check goes with --database");
    if (options.command == "info" && !options.range && (options.freq || options.from || options.to))
        usageError("--freq, --from and --to on info go with --range");
    if (options.math && options.advanced)
        usageError("give --math or --advanced, not both");
    // The chart is SVG whatever the name says: refuse a name that promises
    // another format before anything is read or written.
    if (options.plot && !endsWithSvg(*options.plot))
        usageError("--plot writes SVG: the file name must end in .svg, not '" + *options.plot +
                   "'");
    if (options.plotLayout && !options.plot)
        usageError("--plot-layout goes with --plot");
    if (options.plotLayout && *options.plotLayout != "auto" && *options.plotLayout != "single" &&
        *options.plotLayout != "panels")
        usageError("unknown chart layout '" + *options.plotLayout +
                   "' (use auto, single or panels)");
    return options;
}

const char *usageText() {
    return R"(usage: kovra [--library PATH] COMMAND ...

Reads time-series databases through Kovrap, loaded at run time.

  kovra codes DATABASE
      the series codes of a database, one per line
  kovra info DATABASE:CODE... [--wide] [--range [--freq F] [--from DATE] [--to DATE]]
      each series' information; --range adds the common frequency, range and
      observation count and the series set aside; --wide adds texts 6 and 7
  kovra fetch DATABASE:CODE... [--from DATE] [--to DATE] [--freq F]
              [--math OP | --advanced OP] [--aggregate MODE] [--csv]
              [--plot FILE.svg [--plot-layout auto|single|panels]]
      observations side by side, one column per series; without --freq,
      --from or --to the common range of the series decides; --plot draws
      them, in stacked panels when their sizes differ more than tenfold
  kovra find WORD... [--db DATABASE]... [--freq F]
      the series whose code or texts 1 to 5 hold every word (letters A to Z
      in either case), code matches first, then by code; without --db every
      database file (*.tqvdb) of the current folder, which the direct
      library cannot list: name its databases with --db
  kovra version
      the interface version and both libraries' version texts
  kovra calendar
      a few conversions of the calendar exports
  kovra check [--database DATABASE]
      asks the database libraries that Kovrap loaded every question whose
      answer it relies on, and says for each whether it holds; exit status 1
      when one differs. --database also lists DATABASE and queries its first
      series (with --direct, through the direct library, after a log-in)

Reading through the direct library (a data service with a log-in):
  --direct --user USER --password-file FILE [--service NAME]
  DATABASE is then a name in the service; without --direct it is a path.
  DATABASE:CODE is split at the first colon after a drive (C:\ or C:/), so a
  code may hold colons.

Frequencies: annual, quarterly, monthly, weekly-mon ... weekly-sun (weeks
ending that day, made from daily, business-day or same-day series), weekly
(the weekly group: the first series decides the day, and the first line
says which), daily, business, lowest, or a code (10, 30, 40, 51-57 for
Monday to Sunday, 60, 61, 1000).
Dates: 2001, 2001Q3, 2001-07, 2001-07-15, or a period date (2001, 20013,
200107, 20010715), years 0001 to 9999, ASCII digits. --from takes the first
day of the period, --to the last; a day no period holds (a Saturday for
business days) starts at the next period and ends at the one before. A
start after the end is refused, also inside one period.
Math (--math): level, diff, pct, apct, yoy, log, or their codes 0 to 5.
Advanced (--advanced): seasonal, ma:SPAN, rebase:DATE, or CODE[:SECOND]
with the codes 1792, 1 and 2. rebase:DATE takes the period holding DATE
(any day of the first or last shown period; a business-day Saturday takes
the Friday); a base without a value is noted.
Aggregation (--aggregate), how finer periods combine into coarser ones:
mean, sum, first or last; without it the library's mode stays as it is.
An aggregate skips missing values and counts a partial period at either end
of the window as whole: ECON:PRES, from 1945Q2, has 1945 as the mean of 3
quarters, and its sum a partial total.
)";
}

} // namespace kovra
