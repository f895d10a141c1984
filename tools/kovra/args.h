// The command line: kovra [OPTIONS] COMMAND [OPERANDS] [OPTIONS].
#ifndef KOVRA_ARGS_H
#define KOVRA_ARGS_H

#include <optional>
#include <string>
#include <vector>

namespace kovra {

struct Options {
    std::string command;
    std::vector<std::string> operands;

    std::string library; // path of Kovrap, empty for the default name
    bool direct = false;
    std::optional<std::string> user;
    std::optional<std::string> passwordFile;
    std::optional<std::string> service;

    std::optional<std::string> from;
    std::optional<std::string> to;
    std::optional<std::string> freq;
    std::optional<std::string> math;
    std::optional<std::string> advanced;
    std::optional<std::string> aggregate; // mean, sum, first or last
    std::optional<std::string> plot;
    std::optional<std::string> plotLayout; // auto, single or panels
    std::optional<std::string> database;   // check: a database to list and query
    std::vector<std::string> databases;    // find --db, each given once or more
    bool csv = false;
    bool range = false;
    bool wide = false;
    bool help = false;
};

// Reads the arguments after the program name. Options may stand before or
// after the command; `--name=value` and `--name value` are the same. Throws
// a usage Failure for an unknown option, a missing value, an option given
// twice, an unknown command, a wrong number of operands, or an option that
// the command does not take.
Options parseArgs(const std::vector<std::string> &args);

// The text of `kovra --help`.
const char *usageText();

} // namespace kovra

#endif
