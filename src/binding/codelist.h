// Code lists of the direct library: the comma-joined codes of one chunk of
// at most 1000 requests that belong to one database. The chunk, the test of
// which codes can be listed and the joining live here, below the exports that
// use them: the walk of the data retrieval and the information query, and
// directCodelist.
#ifndef KOVRAP_CODELIST_H
#define KOVRAP_CODELIST_H

#include "Kovrap.h"
#include "binding/moves.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace kovrap {

constexpr int kChunk = 1000;
constexpr std::size_t kCodeListBytes = KOVRAP_CODELIST_BYTES;

// End index of the chunk that starts at first: min(first + 1000, count),
// computed without overflowing an int.
inline int chunkEnd(int first, int requestCount) noexcept {
    return (first < requestCount && requestCount - first > kChunk) ? first + kChunk : requestCount;
}

// The first comma of a code, or its terminator when it has none: one pass
// both measures a code and tells whether it can be listed.
inline const char *commaOrEnd(const char *code) noexcept {
#if defined(__GLIBC__)
    return strchrnul(code, ',');
#else
    return code + std::strcspn(code, ",");
#endif
}

// Whether a code can be one item of a comma-joined code list: the library
// would read a code with a comma as two codes, and answer every later
// request of the chunk for the code before it. Every comma test is this one;
// `length` takes the code's length when it is listable, from the same pass.
inline bool listable(const char *code, std::size_t &length) noexcept {
    const char *end = commaOrEnd(code);
    length = static_cast<std::size_t>(end - code);
    return *end == '\0';
}
inline bool listable(const char *code) noexcept {
    std::size_t length = 0;
    return listable(code, length);
}

// A code list that grows to hold whatever the chunk needs: a list is never
// cut short, since the library pairs each later call with the next code.
// Nothing is allocated before the first list (the local path builds none),
// and the buffer is not zero-filled: every list is written whole with its
// terminator, and the library reads a list up to its terminator.
class CodeList {
  public:
    // Replaces the list by the codes that nextCode() yields, in order, until
    // it yields null; each but the first gets a comma before it. A code that
    // holds a comma is left out: in the list it would read as two codes.
    // Returns whether a code was left out. Built in locals and inline: a
    // list is built code by code for every request of the direct path.
    template <class NextCode> bool assign(NextCode &&nextCode) {
        if (size_ == 0)
            grow(0, kCodeListBytes);
        char *bytes = bytes_.get();
        std::size_t size = size_;
        std::size_t used = 0;
        std::size_t comma = 0;
        bool leftOut = false;
        bytes[0] = '\0';
        for (const char *code = nextCode(); code != nullptr; code = nextCode()) {
            std::size_t length = 0;
            if (!listable(code, length)) {
                leftOut = true;
                continue;
            }
            const std::size_t needed = used + 1 + length + 1;
            if (needed > size) {
                grow(used, needed);
                bytes = bytes_.get();
                size = size_;
            }
            append(bytes, used, comma, code, length);
        }
        return leftOut;
    }

    // Appends code, of length characters and no comma, to the list of `used`
    // bytes that bytes holds, behind a comma unless it is the first code
    // (comma 0; an empty first code still takes a comma after it), and moves
    // used past it. The caller has made room for used + 1 + length + 1 bytes.
    static void append(char *bytes, std::size_t &used, std::size_t &comma, const char *code,
                       std::size_t length) noexcept {
        bytes[used] = ','; // overwritten by the code when it is the first
        copyShort(bytes + used + comma, code, length + 1);
        used += comma + length;
        comma = 1;
    }
    // The list built last; only valid after a build.
    const char *text() const noexcept { return bytes_.get(); }

  private:
    // memcpy for the short texts of series codes: 4 to 16 bytes as two
    // overlapping loads and stores, inline; anything else through memcpy.
    static void copyShort(char *to, const char *from, std::size_t n) noexcept {
        if (n >= 8 && n <= 16)
            copyEnds<std::uint64_t>(to, from, n);
        else if (n >= 4 && n < 8)
            copyEnds<std::uint32_t>(to, from, n);
        else
            std::memcpy(to, from, n);
    }
    // Makes room for at least `needed` bytes, keeping the first `used`.
    void grow(std::size_t used, std::size_t needed);

    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0;
};

} // namespace kovrap

#endif
