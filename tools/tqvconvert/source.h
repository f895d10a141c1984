// What tqvconvert's readers of manifests and CSV files share: the mark some
// programs start a file with, and how a message names a line.
#ifndef TQVCONVERT_SOURCE_H
#define TQVCONVERT_SOURCE_H

#include <cstddef>
#include <string>
#include <string_view>

namespace tqvconvert {

// UTF-8 byte-order mark, as spreadsheet programs start their CSV files.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Where reading starts: after a byte-order mark, if there is one.
inline std::size_t textStart(const std::string &text) {
    return std::string_view(text).substr(0, 3) == kByteOrderMark ? 3 : 0;
}

constexpr const char *kLoneCarriageReturn =
    "carriage return inside a line (CR-only line ends?); save the file with LF or CRLF line ends";

// "ORIGIN:LINE: ", the start of a message about one line of a file.
inline std::string where(const std::string &origin, int line) {
    return origin + ":" + std::to_string(line) + ": ";
}

} // namespace tqvconvert

#endif
