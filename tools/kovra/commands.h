// The commands. Each builds its whole output in memory and returns it; main
// prints it only when the command went through, so that a failure leaves
// nothing half-printed.
#ifndef KOVRA_COMMANDS_H
#define KOVRA_COMMANDS_H

#include "args.h"

#include <string>

namespace kovra {

struct Output {
    std::string out;   // standard output
    std::string notes; // standard error, for notes beside CSV output
    int status = 0;    // the exit status once both are printed
};

Output runCodes(const Options &options);
Output runInfo(const Options &options);
Output runFetch(const Options &options);
Output runVersion(const Options &options);
Output runCalendar(const Options &options);
// check.cpp: exit status 1 when an answer differs from what Kovrap relies on.
Output runCheck(const Options &options);
Output runFind(const Options &options);

} // namespace kovra

#endif
