// The series information record that the libraries fill: 256 packed bytes.
// Fields are read by copying out of the byte buffer, never through a cast.
#ifndef KOVRAP_RECORD_H
#define KOVRAP_RECORD_H

#include "Kovrap.h"
#include "tqvlib.h"

#include <cstddef>
#include <cstring>

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
    // neither be over-read nor overflow the host's buffer.
    void copyText(TextField field, char *out) const noexcept {
        const char *text = bytes_ + field.offset;
        const std::size_t most = field.width - 1;
        // memchr rather than a byte loop: an information query copies eight
        // texts per series.
        const void *end = std::memchr(text, '\0', most);
        const std::size_t n =
            end != nullptr ? static_cast<std::size_t>(static_cast<const char *>(end) - text) : most;
        std::memcpy(out, text, n);
        out[n] = '\0';
    }

  private:
    char bytes_[kBytes] = {};
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

} // namespace kovrap

#endif
