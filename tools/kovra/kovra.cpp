// kovra - a command-line host for Kovrap. It loads the library by name at run
// time, as a statistics environment does, and reads the databases through it.
#include "args.h"
#include "commands.h"
#include "failure.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

void write(std::FILE *stream, const std::string &text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

int run(const std::vector<std::string> &args) {
    const kovra::Options options = kovra::parseArgs(args);
    if (options.help) {
        write(stdout, kovra::usageText());
        return kovra::kExitOk;
    }
    kovra::Output output;
    if (options.command == "codes")
        output = kovra::runCodes(options);
    else if (options.command == "info")
        output = kovra::runInfo(options);
    else if (options.command == "fetch")
        output = kovra::runFetch(options);
    else if (options.command == "find")
        output = kovra::runFind(options);
    else if (options.command == "version")
        output = kovra::runVersion(options);
    else if (options.command == "check")
        output = kovra::runCheck(options);
    else
        output = kovra::runCalendar(options);
    write(stdout, output.out);
    write(stderr, output.notes);
    return output.status;
}

} // namespace

int main(int argc, char **argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const kovra::Failure &failure) {
        write(stderr, "kovra: " + failure.message + "\n");
        return failure.status;
    } catch (const std::exception &e) {
        write(stderr, std::string("kovra: ") + e.what() + "\n");
        return kovra::kExitFailure;
    }
}
