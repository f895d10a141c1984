// Single library operations handed to the host as they are: no bracket, no
// checks, the library's result unchanged.
#include "binding/library.h"
#include "tqvlib.h"

#include "Kovrap.h"

namespace {

// Version of this library's own interface, reported by c_kovraCVersion.
constexpr int kInterfaceVersion = 1;
// Size passed with each version buffer; the host provides at least this.
constexpr int kVersionBytes = 20;

} // namespace

extern "C" KOVRAP_API int c_getAggmode(int direct) {
    return kovrap::selectLibrary(direct).getAggregationMode();
}

extern "C" KOVRAP_API int c_setAggmode(int direct, int mode) {
    return kovrap::selectLibrary(direct).setAggregationMode(mode);
}

// Period arithmetic is the local library's, whichever library holds the data.
extern "C" KOVRAP_API int c_kovraGetObsNum(int start, int end, int frequency) {
    return TQVGetObsNum(start, end, frequency);
}

extern "C" KOVRAP_API int c_kovraGetDate(int start, int obs, int frequency) {
    return TQVGetDate(start, obs, frequency);
}

extern "C" KOVRAP_API int c_kovraCVersion(int *interfaceVersion, char *localVersion,
                                          char *directVersion) {
    // Written first, so the host has it whatever the libraries answer.
    if (interfaceVersion != nullptr)
        *interfaceVersion = kInterfaceVersion;
    // A host that wants only some of the answers passes null for the others:
    // the library still writes its text, into a buffer of ours, so both
    // libraries are asked as always and the result is the same.
    char discarded[kVersionBytes];
    kovrap::localLibrary().getVersion(localVersion != nullptr ? localVersion : discarded,
                                      kVersionBytes);
    return kovrap::directLibrary().getVersion(directVersion != nullptr ? directVersion : discarded,
                                              kVersionBytes);
}

extern "C" KOVRAP_API int c_kovraAuthenticate(const char *user, const char *password, int *status,
                                              const char *service) {
    // Without the host's cell the library gets one of ours, so that it never
    // writes through null.
    int discarded = 0;
    const int result =
        TQVDAuthenticate(user, password, status != nullptr ? status : &discarded, service);
    // The returned status is the one that counts, whatever the library may
    // have stored through the pointer during the call.
    if (status != nullptr)
        *status = result;
    return result;
}
