#include "catalogue/codelist.h"

#include "Kovrap.h"

#include <cstring>
#include <utility>

namespace kovrap {

void CodeList::grow(std::size_t used, std::size_t needed) {
    std::size_t size = size_ > kCodeListBytes / 2 ? 2 * size_ : kCodeListBytes;
    if (size < needed)
        size = needed;
    std::unique_ptr<char[]> bytes(new char[size]);
    if (used > 0)
        std::memcpy(bytes.get(), bytes_.get(), used);
    bytes_ = std::move(bytes);
    size_ = size;
}

} // namespace kovrap

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
    bool any = false;
    for (int k = first; k < end; ++k) {
        // A code with a comma would read as two codes and shift every later
        // answer of the chunk onto the wrong request: it is left out.
        if (std::strcmp(database, dbNames[k]) != 0 || std::strchr(codes[k], ',') != nullptr)
            continue;
        const std::size_t length = std::strlen(codes[k]);
        const std::size_t comma = any ? 1 : 0;
        // The host's buffer holds 10000 bytes: stop at the last whole code
        // that fits with its terminator rather than write past it.
        if (used + comma + length + 1 > kovrap::kCodeListBytes)
            break;
        if (comma)
            buffer[used++] = ',';
        std::memcpy(buffer + used, codes[k], length);
        used += length;
        any = true;
    }
}
