// Code lists of the direct library: the comma-joined codes of one chunk of
// at most 1000 requests that belong to one database.
#ifndef KOVRAP_CODELIST_H
#define KOVRAP_CODELIST_H

#include <cstddef>
#include <vector>

namespace kovrap {

constexpr int kChunk = 1000;
constexpr std::size_t kCodeListBytes = 10000;

// End index of the chunk that starts at first: min(first + 1000, count),
// computed without overflowing an int.
inline int chunkEnd(int first, int requestCount) noexcept {
    return (first < requestCount && requestCount - first > kChunk) ? first + kChunk : requestCount;
}

// A code list that grows to hold whatever the chunk needs: a list is never
// cut short, since the library pairs each later call with the next code.
class CodeList {
  public:
    CodeList() : bytes_(kCodeListBytes, '\0') {}

    void clear() noexcept {
        used_ = 0;
        items_ = 0;
        bytes_[0] = '\0';
    }
    // Appends one code, with a comma before it unless it is the first.
    void append(const char *code);
    const char *text() const noexcept { return bytes_.data(); }
    int items() const noexcept { return items_; }

  private:
    std::vector<char> bytes_;
    std::size_t used_ = 0; // characters before the terminating NUL
    int items_ = 0;
};

} // namespace kovrap

#endif
