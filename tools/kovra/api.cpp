#include "api.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>

#include <filesystem>
#include <system_error>
#endif

namespace kovra {

namespace {

#if defined(_WIN32)
const char *const kDefaultName = "Kovrap64.dll";
#else
const char *const kDefaultName = "libKovrap64.so";
#endif

// The library beside the program. Windows searches the program's folder
// first by itself; on Linux the search of a bare name follows the calling
// object's run path, which a dlopen wrapper (AddressSanitizer's) hides, so
// the program names the file beside itself and falls back to the search.
std::string defaultLibrary() {
#if defined(_WIN32)
    return kDefaultName;
#else
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return kDefaultName;
    const std::filesystem::path beside = self.parent_path() / kDefaultName;
    return std::filesystem::exists(beside, error) ? beside.string() : kDefaultName;
#endif
}

void *openLibrary(const std::string &path, std::string &error) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr)
        error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return reinterpret_cast<void *>(module);
#else
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        error = dlerror();
    return handle;
#endif
}

void *findSymbol(void *library, const char *name) {
#if defined(_WIN32)
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}

template <class T> bool bind(void *library, const char *name, T &slot, std::string &error) {
    void *symbol = findSymbol(library, name);
    if (symbol == nullptr) {
        error = std::string("does not export ") + name;
        return false;
    }
    slot = reinterpret_cast<T>(symbol);
    return true;
}

} // namespace

bool loadApi(const std::string &path, Api &api, std::string &error) {
    // The library stays loaded until the program ends.
    const std::string name = path.empty() ? defaultLibrary() : path;
    void *library = openLibrary(name, error);
    if (library == nullptr)
        return false;
    const bool bound = bind(library, "isLeapYear", api.isLeapYear, error) &&
                       bind(library, "tqvdateToYmd", api.tqvdateToYmd, error) &&
                       bind(library, "ymdToTqvdate", api.ymdToTqvdate, error) &&
                       bind(library, "c_kovraDateSeq", api.dateSeq, error) &&
                       bind(library, "c_kovraGetObsNum", api.getObsNum, error) &&
                       bind(library, "c_kovraGetDate", api.getDate, error) &&
                       bind(library, "c_kovraGetCodesSized", api.getCodesSized, error) &&
                       bind(library, "c_kovraSeriesInfo", api.seriesInfo, error) &&
                       bind(library, "c_kovraGetData", api.getData, error) &&
                       bind(library, "c_kovraCVersion", api.version, error) &&
                       bind(library, "c_kovraAuthenticate", api.authenticate, error) &&
                       bind(library, "c_getAggmode", api.getAggmode, error) &&
                       bind(library, "c_setAggmode", api.setAggmode, error) &&
                       bind(library, "TQVDchunk", api.chunk, error);
    if (!bound)
        error = name + " is not Kovrap: it " + error;
    return bound;
}

} // namespace kovra
