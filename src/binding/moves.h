// Short copies as two overlapping moves of one word size, inline: the code
// lists and the information record's texts copy a few bytes per request.
#ifndef KOVRAP_MOVES_H
#define KOVRAP_MOVES_H

#include <cstddef>
#include <cstring>

namespace kovrap {

// Copies n bytes, sizeof(Word) <= n <= 2 words, as the first and the last
// word; both are loaded before either is stored.
template <class Word> inline void copyEnds(char *to, const char *from, std::size_t n) noexcept {
    Word head;
    Word tail;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
}

} // namespace kovrap

#endif
