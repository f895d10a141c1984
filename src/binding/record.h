// The series information record that the libraries fill: 256 packed bytes.
// Fields are read by copying out of the byte buffer, never through a cast.
#ifndef KOVRAP_RECORD_H
#define KOVRAP_RECORD_H

#include "Kovrap.h"
#include "binding/moves.h"
#include "tqvlib.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kovrap {

struct TextField {
    std::size_t offset;
    std::size_t width;
};

class InfoRecord {
  public:
    static constexpr std::size_t kBytes = TQV_RECORD_BYTES;

    // The text widths are the host's column widths (Kovrap.h): a field is
    // copied whole into a host buffer of the same width.
    static constexpr TextField kCode{0, KOVRAP_CODE_WIDTH};
    static constexpr std::size_t kFirstDate = 10;
    static constexpr std::size_t kLastDate = 14;
    static constexpr std::size_t kAttribute1 = 18;
    static constexpr std::size_t kFrequency = 22;
    // Attributes 2 to 6 follow the frequency code.
    static constexpr std::size_t kAttribute2 = 26;
    static constexpr TextField kTexts[7] = {{46, KOVRAP_TEXT1_WIDTH}, {54, KOVRAP_TEXT2_WIDTH},
                                            {64, KOVRAP_TEXT3_WIDTH}, {72, KOVRAP_TEXT4_WIDTH},
                                            {80, KOVRAP_TEXT5_WIDTH}, {162, KOVRAP_TEXT6_WIDTH},
                                            {172, KOVRAP_TEXT7_WIDTH}};

    char *data() noexcept { return bytes_; }
    const char *data() const noexcept { return bytes_; }

    int readInt(std::size_t offset) const noexcept {
        int value;
        std::memcpy(&value, bytes_ + offset, sizeof value);
        return value;
    }
    int attribute(int n) const noexcept { // n from 1 to 6
        return n == 1 ? readInt(kAttribute1) : readInt(kAttribute2 + 4 * std::size_t(n - 2));
    }

    // Copies a text field into a host buffer of the field's width: at most
    // width - 1 characters and a NUL, so a field without its terminator can
    // neither be over-read nor overflow the host's buffer. Nothing after the
    // NUL is written: the host's bytes there stay as they were.
    [[gnu::always_inline]] void copyText(TextField field, char *out) const noexcept {
        copyTextOf(bytes_ + field.offset, field.width, out);
    }

  private:
#if defined(__SSE2__)
    // Bit i set where byte i of the 16 at p is NUL.
    static unsigned nulBits(const char *p) noexcept {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())));
    }
    static void copy16(char *to, const char *from) noexcept {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(from)));
    }
    // n bytes, 0 to 15 (to 7 in a field of at most 8 bytes), as two
    // overlapping moves of the widest size that fits, or 1 to 3 bytes as the
    // first, the middle and the last: no more tests than the width needs.
    [[gnu::always_inline]] static void copyBelow16(char *to, const char *from, std::size_t n,
                                                   std::size_t width) noexcept {
        if (n >= 4) {
            if (width > 8 && n >= 8)
                copyEnds<std::uint64_t>(to, from, n);
            else
                copyEnds<std::uint32_t>(to, from, n);
        } else if (n != 0) {
            to[0] = from[0];
            to[n / 2] = from[n / 2];
            to[n - 1] = from[n - 1];
        }
    }
    // The texts are found and copied sixteen bytes at a time, inline: an
    // information query copies eight texts per series. The loads may run up
    // to 15 bytes past the field, into the record's slack; the stores stay
    // within the text and its terminator.
    [[gnu::always_inline]] static void copyTextOf(const char *text, std::size_t width,
                                                  char *out) noexcept {
        const std::size_t most = width - 1;
        std::size_t n;
        if (width <= 16) {
            // One block holds the whole field: its terminator, or the width's.
            n = static_cast<std::size_t>(__builtin_ctz(nulBits(text) | 1u << most));
            copyBelow16(out, text, n, width);
        } else {
            std::size_t at = 0;
            unsigned nul;
            for (;; at += 16) {
                nul = nulBits(text + at);
                // The terminator that the field's width gives, in this block.
                if (most - at < 16)
                    nul |= 1u << (most - at);
                if (nul != 0)
                    break;
                copy16(out + at, text + at);
            }
            n = at + static_cast<std::size_t>(__builtin_ctz(nul));
            // The blocks before this one are copied; the last sixteen bytes
            // of the text take the rest.
            if (n >= 16)
                copy16(out + n - 16, text + n - 16);
            else
                copyBelow16(out, text, n, width);
        }
        // The terminator in the last place: the field's own, or the width's.
        out[n] = '\0';
    }
#else
    static void copyTextOf(const char *text, std::size_t width, char *out) noexcept {
        const std::size_t most = width - 1;
        const void *end = std::memchr(text, '\0', most);
        const std::size_t n =
            end != nullptr ? static_cast<std::size_t>(static_cast<const char *>(end) - text) : most;
        std::memcpy(out, text, n);
        out[n] = '\0';
    }
#endif

    // Room after the record for the sixteen-byte reads of its last text.
    static constexpr std::size_t kSlack = 16;
    alignas(16) char bytes_[kBytes + kSlack] = {};
};

// The offsets above are the record's; the widths are the header's. These
// hold the two together: a width changed in Kovrap.h that no longer tiles
// the record fails here.
constexpr bool textsFollowEachOther() {
    for (int i = 1; i < 7; ++i)
        if (InfoRecord::kTexts[i - 1].offset + InfoRecord::kTexts[i - 1].width !=
            InfoRecord::kTexts[i].offset)
            return false;
    return true;
}
static_assert(textsFollowEachOther(), "each text starts where the one before it ends");
static_assert(InfoRecord::kTexts[6].offset + InfoRecord::kTexts[6].width == InfoRecord::kBytes,
              "text 7 runs to the end of the record");
static_assert(InfoRecord::kAttribute2 + 5 * 4 == InfoRecord::kTexts[0].offset,
              "texts follow attribute 6");
static_assert(InfoRecord::kCode.width == InfoRecord::kFirstDate, "dates follow the code");
static_assert(sizeof(InfoRecord) >= InfoRecord::kBytes + 15,
              "the reads of text 7 stay within the record's storage");

} // namespace kovrap

#endif
