// directCodelist and TQVDchunk: the direct library's code lists for a host,
// built on the chunk, the listable test and the joining of the binding.
#include "binding/codelist.h"

#include "Kovrap.h"

#include <cstring>

extern "C" KOVRAP_API const int TQVDchunk = kovrap::kChunk;

extern "C" KOVRAP_API void directCodelist(char *buffer, int first, const char *const *codes,
                                          const char *const *dbNames, const char *database,
                                          int requestCount) {
    std::memset(buffer, 0, kovrap::kCodeListBytes);
    // No request has a negative index: such a chunk lists nothing rather
    // than read before the host's arrays.
    if (first < 0)
        return;
    const int end = kovrap::chunkEnd(first, requestCount);
    std::size_t used = 0;
    std::size_t comma = 0;
    for (int k = first; k < end; ++k) {
        // A code with a comma would read as two codes and shift every later
        // answer of the chunk onto the wrong request: it is left out.
        if (std::strcmp(database, dbNames[k]) != 0)
            continue;
        std::size_t length = 0;
        if (!kovrap::listable(codes[k], length))
            continue;
        // The host's buffer holds 10000 bytes: stop at the last whole code
        // that fits with its terminator rather than write past it.
        if (used + comma + length + 1 > kovrap::kCodeListBytes)
            break;
        kovrap::CodeList::append(buffer, used, comma, codes[k], length);
    }
}
