// The one way a command fails: a one-line message and an exit status. main
// prints it as "kovra: MESSAGE" on standard error, after nothing else.
#ifndef KOVRA_FAILURE_H
#define KOVRA_FAILURE_H

#include <string>
#include <utility>

namespace kovra {

enum ExitStatus {
    kExitOk = 0,
    kExitFailure = 1, // the data or the libraries said no
    kExitUsage = 2,   // the command line is wrong
};

struct Failure {
    int status;
    std::string message;
};

[[noreturn]] inline void fail(std::string message) {
    throw Failure{kExitFailure, std::move(message)};
}

[[noreturn]] inline void usageError(std::string message) {
    throw Failure{kExitUsage, std::move(message)};
}

} // namespace kovra

#endif
