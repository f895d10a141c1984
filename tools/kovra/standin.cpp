#include "standin.h"

#include "Kovrap.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kovra {

namespace {

// The stand-ins' statuses as standin/include/tqv_standin.h documents them.
// A real library may give the same numbers other meanings: these words are
// used only when the version text says the stand-in is loaded.
struct Words {
    int status;
    const char *words;
};
constexpr Words kStandinWords[] = {
    {1, "no such series in the database"},
    {2, "the database is not open"},
    {3, "not logged in"},
    {4, "the direct library's code list is used up"},
    {10, "no such database"},
    {11, "not a database"},
    {20, "the window ends before it starts"},
    {21, "a frequency the operation cannot take"},
    {22, "a higher frequency than the series holds"},
    {23, "the window is longer than the buffer"},
    {30, "an operation code the library does not know"},
    {31, "too few observations for the operation"},
    {40, "wrong user or password"},
    {1011, "no more names"},
};
constexpr int kNoSuchDatabase = 10;
constexpr int kNotADatabase = 11;

const char *standinWords(int status) {
    for (const Words &w : kStandinWords)
        if (w.status == status)
            return w.words;
    return nullptr;
}

} // namespace

bool isStandinVersion(const std::string &version, bool direct) {
    const std::string prefix = direct ? "tqvdapi64 standin " : "tqvapi64 standin ";
    return version.compare(0, prefix.size(), prefix) == 0;
}

std::string statusPhrase(int status, bool standin) {
    switch (status) {
    case KOVRAP_STATUS_TOO_FEW_PERIODS:
        return "too few periods in the window (status 834)";
    case KOVRAP_STATUS_SEGMENTS_MISMATCH:
        return "the window does not fill the row (status 835)";
    case KOVRAP_STATUS_NO_MEMORY:
        return "out of memory (status 836)";
    default:
        break;
    }
    const std::string number = "status " + std::to_string(status) + " from the database library";
    const char *words = standin ? standinWords(status) : nullptr;
    return words ? std::string(words) + " (" + number + ")" : number;
}

std::string fetchStatusPhrase(int status, bool standin) {
    if (status == 1)
        return "a database did not open or a series was not found (status 1)";
    return statusPhrase(status, standin);
}

const char *const kStandinDatabaseExtension = ".tqvdb";

std::string openFailureWords(const std::string &database, int status, bool standin, bool direct) {
    const std::string phrase = statusPhrase(status, standin);
    if (!standin)
        return phrase;
    if (status == kNotADatabase)
        return phrase + "; 'tqvconvert check FILE" + kStandinDatabaseExtension + "' shows where";
    // The local stand-in opens a path as given or with its extension: both
    // files, as the user named them.
    if (status == kNoSuchDatabase && !direct)
        return "no regular file that can be read at " + database + " or " + database +
               kStandinDatabaseExtension;
    return phrase;
}

const char *const kStandinDataFolderVariable = "TQVD_DATA_DIR";

bool handDataFolder(const std::string &folder) {
#if defined(_WIN32)
    return _putenv_s(kStandinDataFolderVariable, folder.c_str()) == 0;
#else
    return setenv(kStandinDataFolderVariable, folder.c_str(), 1) == 0;
#endif
}

std::vector<std::string> standinDatabasesIn(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
        std::error_code kind;
        if (entry.path().extension() == kStandinDatabaseExtension && entry.is_regular_file(kind))
            names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace kovra
