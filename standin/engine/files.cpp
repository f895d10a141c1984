#include "files.h"

#include "dbfile.h"
#include "tqv_standin.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tqvs {

namespace {

// Any object inside the engine library: its address names the library file.
const char kAnchor = 0;

std::string engineLibraryPath() {
#ifdef _WIN32
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            &kAnchor, &module))
        return std::string();
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    return std::string(path, n);
#else
    Dl_info info{};
    if (dladdr(&kAnchor, &info) == 0 || info.dli_fname == nullptr)
        return std::string();
    return info.dli_fname;
#endif
}

} // namespace

std::string dataDirectory() {
    const char *fromEnvironment = std::getenv("TQVD_DATA_DIR");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0')
        return fromEnvironment;
    const std::string library = engineLibraryPath();
    const std::size_t slash = library.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "." : library.substr(0, slash);
    return folder + "/tqvdata";
}

int readFile(const std::string &path, const ReadLimits &limits, std::string &text) {
    std::error_code ec;
    // A folder opens on some systems and reads as empty: it is no file.
    if (std::filesystem::is_directory(path, ec))
        return TQVS_NO_SUCH_DATABASE;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return TQVS_NO_SUCH_DATABASE;
    std::string error;
    return readBounded(in, limits, text, error) ? TQVS_OK : TQVS_BAD_DATABASE;
}

int loadDatabaseFile(const std::string &path, std::shared_ptr<Database> &out) {
    std::string text;
    const int status = readFile(path, kDatabaseLimits, text);
    if (status != TQVS_OK)
        return status;
    auto database = std::make_shared<Database>();
    std::string error;
    if (!parseDatabase(text, *database, error))
        return TQVS_BAD_DATABASE;
    out = std::move(database);
    return TQVS_OK;
}

bool credentialsFileAccepts(const std::string &user, const std::string &password) {
    // A few users, one short line each.
    constexpr ReadLimits kCredentialsLimits = {std::size_t{1} << 20, 4096};
    std::string text;
    if (readFile(dataDirectory() + "/credentials", kCredentialsLimits, text) != TQVS_OK)
        return false;
    const std::string wanted = user + ":" + password;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line == wanted)
            return true;
        begin = end + 1;
    }
    return false;
}

} // namespace tqvs
