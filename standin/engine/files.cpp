#include "files.h"

#include "dbfile.h"
#include "tqv_standin.h"

#include <cstdio>
#include <cstdlib>

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

bool readFile(const std::string &path, std::string &text) {
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    std::string content;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        content.append(buffer, n);
    // A folder opens on some systems but cannot be read.
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        return false;
    text.swap(content);
    return true;
}

int loadDatabaseFile(const std::string &path, std::shared_ptr<Database> &out) {
    std::string text;
    if (!readFile(path, text))
        return TQVS_NO_SUCH_DATABASE;
    auto database = std::make_shared<Database>();
    std::string error;
    if (!parseDatabase(text, *database, error))
        return TQVS_BAD_DATABASE;
    out = std::move(database);
    return TQVS_OK;
}

bool credentialsFileAccepts(const std::string &user, const std::string &password) {
    std::string text;
    if (!readFile(dataDirectory() + "/credentials", text))
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
