#include "session.h"

#include "failure.h"
#include "input_file.h"
#include "standin.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <istream>
#include <string>

namespace kovra {

namespace {

// The password is the file's first line. A longer line is no password, and
// a source that never ends (a device) must not be read forever.
constexpr std::size_t kMaxPasswordLine = 4096;

std::string readPassword(const std::string &path) {
    // Opened without waiting and read only as a regular file: a folder
    // reads as an empty password on some systems, a pipe would hold kovra.
    kovrap_tools::InputFile file;
    const kovrap_tools::InputProblem problem = file.open(std::filesystem::u8path(path));
    if (problem == kovrap_tools::InputProblem::CannotOpen)
        fail("cannot read the password file " + path);
    if (problem != kovrap_tools::InputProblem::None)
        fail("the password file " + path + " " + kovrap_tools::describe(problem));
    std::istream &in = file.stream();
    std::string line;
    char ch = 0;
    while (in.get(ch) && ch != '\n') {
        if (line.size() == kMaxPasswordLine)
            fail("the first line of the password file " + path + " is longer than " +
                 std::to_string(kMaxPasswordLine) + " bytes");
        line += ch;
    }
    if (in.bad())
        fail("cannot read the password file " + path);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    // The library takes the password as a C string: a NUL would cut it
    // short, and no password holds a control character.
    if (hasControlCharacter(line))
        fail("the first line of the password file " + path +
             " holds a NUL or control character, which no password holds");
    return line;
}

} // namespace

std::string settleDataFolder(const std::function<bool()> &standinLoaded) {
    const char *ours = std::getenv("KOVRAP_DATA_DIR");
    const char *theirs = std::getenv(kStandinDataFolderVariable);
    const bool fromOurs = ours != nullptr && *ours != '\0';
    const char *given = fromOurs ? ours : theirs;
    if (given == nullptr || *given == '\0' || !standinLoaded())
        return std::string();
    std::error_code ec;
    const std::filesystem::path absolute =
        std::filesystem::absolute(std::filesystem::u8path(given), ec);
    if (ec)
        fail(std::string("cannot make the data folder ") + given + " absolute: " + ec.message() +
             " (" + (fromOurs ? "KOVRAP_DATA_DIR" : kStandinDataFolderVariable) + ")");
    const std::string folder = absolute.lexically_normal().u8string();
    if (!handDataFolder(folder))
        fail("cannot hand the data folder " + folder + " to the libraries");
    return folder;
}

Session::Session(const Options &options) : direct_(options.direct) {
    std::string error;
    if (!loadApi(options.library, api_, error))
        fail(error);
    // The data folder is handed in the stand-ins' variable: another library
    // keeps its databases its own way. Fixed before a log-in, which holds
    // the folder; the library is asked what it is only when a folder is given.
    settleDataFolder([this] { return standin(); });
    if (!direct_ || !options.user)
        return;
    if (hasControlCharacter(*options.user))
        usageError("the user name holds a control character, which no user name holds");
    const std::string password = readPassword(*options.passwordFile);
    const char *service = options.service ? options.service->c_str() : "";
    int status = 0;
    const int result = api_.authenticate(options.user->c_str(), password.c_str(), &status, service);
    if (result != 0)
        fail("log-in to the direct library failed for user '" + *options.user + "' (status " +
             std::to_string(result) + ")");
    loggedIn_ = true;
}

bool Session::standin() const {
    if (standin_ < 0) {
        int interfaceVersion = 0;
        char local[32] = {};
        char direct[32] = {};
        api_.version(&interfaceVersion, local, direct);
        local[sizeof local - 1] = '\0';
        direct[sizeof direct - 1] = '\0';
        standin_ = isStandinVersion(direct_ ? direct : local, direct_) ? 1 : 0;
    }
    return standin_ == 1;
}

std::string Session::openFailure(const std::string &database, int status) const {
    const std::string message = "cannot open database '" + database + "': ";
    if (loggedOut())
        return message + "log in first, with --user and --password-file (status " +
               std::to_string(status) + ")";
    return message + openFailureWords(database, status, standin(), direct_);
}

void Session::checkDatabases(const std::vector<std::string> &databases) const {
    for (const std::string &database : databases)
        codes(database);
}

} // namespace kovra
