// A database's codes through c_kovraGetCodesSized: a buffer of the
// capacity given, asked for again when the list did not fit, and the mark
// that says a direct listing may have been cut.
#ifndef KOVRA_LISTING_H
#define KOVRA_LISTING_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kovra {

// The codes of one database, and whether a direct listing stopped at the
// interface's 32 calls of the library, so that more codes may exist.
struct CodeListing {
    std::vector<std::string> codes;
    bool mayBeCut = false;
};

// One call of c_kovraGetCodesSized for a database: (buffer, capacity) to
// its result.
using SizedListing = std::function<int(char *buffer, int capacity)>;

// How often a listing is asked for before a list that grows every time is
// given up.
constexpr int kListingTries = 4;

// Lists through `call`: asks again with a buffer of the size the library
// said when the list did not fit, up to kListingTries times. Returns the
// library's result when it is a failure (negative), else 0 with the codes
// in `listing`; throws a Failure when the list kept growing.
int listCodes(const SizedListing &call, bool direct, const std::string &database,
              CodeListing &listing, std::size_t firstBytes);

} // namespace kovra

#endif
