// Splitting and reading the words of a line, shared by the database file
// parser and the converter's manifest reader.
#ifndef TQVS_TOKENS_H
#define TQVS_TOKENS_H

#include <charconv>
#include <string_view>
#include <system_error>
#include <vector>

namespace tqvs {

inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

inline std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

inline std::string_view trim(std::string_view s) {
    s = trimLeft(s);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A line's first word and what follows it, blanks included, so that a text
// after the keyword can be kept as written.
struct KeywordLine {
    std::string_view keyword;
    std::string_view rest;
};

inline KeywordLine splitKeyword(std::string_view body) {
    std::size_t end = 0;
    while (end < body.size() && !isBlank(body[end]))
        ++end;
    return {body.substr(0, end), body.substr(end)};
}

inline std::vector<std::string_view> splitTokens(std::string_view s) {
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && isBlank(s[i]))
            ++i;
        const std::size_t begin = i;
        while (i < s.size() && !isBlank(s[i]))
            ++i;
        if (i > begin)
            tokens.push_back(s.substr(begin, i - begin));
    }
    return tokens;
}

// Takes the line that starts at pos off text, without its LF or CRLF, and
// moves pos behind it; false once the text is used up.
inline bool nextLine(std::string_view text, std::size_t &pos, std::string_view &line) {
    if (pos >= text.size())
        return false;
    std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos)
        nl = text.size();
    line = text.substr(pos, nl - pos);
    pos = nl + 1;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return true;
}

// A whole token as a decimal int, nothing before or after it.
inline bool parseInt(std::string_view token, int &value) {
    if (token.empty())
        return false;
    const char *end = token.data() + token.size();
    const auto result = std::from_chars(token.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

} // namespace tqvs

#endif
