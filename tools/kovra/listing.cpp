#include "listing.h"

#include "failure.h"
#include "session.h"

#include <algorithm>
#include <climits>
#include <memory>

namespace kovra {

namespace {

// The first buffer of a listing: the codes of some 6 500 series. A longer
// list is asked for again in a buffer of the size the library gives.
constexpr std::size_t kFirstCodeListBytes = std::size_t{64} << 10;
// What a listing's buffer is filled with: no library text holds it.
constexpr char kUnwritten = '\x01';
// The libraries' "no more names" at the first call: a direct database
// without series.
constexpr int kEndOfNames = 1011;

} // namespace

int listCodes(const SizedListing &call, bool direct, const std::string &database,
              CodeListing &listing, std::size_t firstBytes) {
    std::size_t bytes = std::max<std::size_t>(firstBytes, 2);
    for (int tries = 0; tries < kListingTries; ++tries) {
        std::vector<char> buffer(bytes, kUnwritten);
        const int needed = call(buffer.data(), static_cast<int>(buffer.size()));
        if (needed < 0)
            return needed;
        const auto length = static_cast<std::size_t>(needed);
        // A direct list needs a byte beyond its NUL to tell whether it was
        // cut at 32 calls.
        if (length >= buffer.size() || (direct && length + 1 == buffer.size())) {
            // Room for the list, its NUL and the mark behind it; the list
            // may have grown since, and is asked for again.
            bytes = std::min<std::size_t>(length + 2, INT_MAX);
            continue;
        }
        listing = CodeListing();
        // A listing that the library ended leaves a second NUL behind the
        // list when there is room for it; a direct listing stopped at its
        // 32nd call leaves the byte as it was.
        listing.mayBeCut = direct && buffer[length + 1] != '\0';
        std::string code;
        for (std::size_t i = 0; i < length; ++i) {
            if (buffer[i] == ',') {
                if (!code.empty())
                    listing.codes.push_back(code);
                code.clear();
            } else {
                code += buffer[i];
            }
        }
        if (!code.empty())
            listing.codes.push_back(code);
        return 0;
    }
    fail("the code list of database '" + shownName(database) +
         "' grew every time it was asked for (" + std::to_string(kListingTries) +
         " times); is the database being rewritten?");
}

CodeListing Session::listing(const std::string &database) const {
    CodeListing listing;
    const int result = listCodes(
        [&](char *buffer, int capacity) {
            return api_.getCodesSized(direct(), database.c_str(), buffer, capacity);
        },
        direct_, database, listing, kFirstCodeListBytes);
    if (result >= 0)
        return listing;
    // A direct database without series: the library's first answer is that
    // there are no more names.
    if (direct_ && result == -kEndOfNames)
        return CodeListing();
    switch (-result) {
    case KOVRAP_STATUS_NO_MEMORY:
        fail("not enough memory to list database '" + shownName(database) + "'");
    case KOVRAP_STATUS_NAMES_OVERRUN:
        fail("the direct library wrote a text of names longer than " +
             std::to_string(KOVRAP_NAMES_TEXT_BYTES) + " bytes for database '" +
             shownName(database) + "'");
    case KOVRAP_STATUS_LIST_TOO_LONG:
        fail("the code list of database '" + shownName(database) +
             "' is longer than the listing can return");
    default:
        break;
    }
    const int status = result == INT_MIN ? result : -result;
    fail(openFailure(database, status));
}

std::vector<std::string> Session::codes(const std::string &database) const {
    return listing(database).codes;
}

} // namespace kovra
