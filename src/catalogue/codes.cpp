#include "binding/bracket.h"
#include "binding/library.h"
#include "binding/record.h"
#include "tqvlib.h"

#include "Kovrap.h"

#include <cstddef>
#include <cstring>

namespace {

// The direct library answers in batches: the listing asks at most this often.
constexpr int kNameCalls = 32;

// Walks the open database series by series. The write position is carried
// forward, so the output is never measured again: a large database costs one
// pass over its codes.
void listLocal(const char *database, char *output) {
    kovrap::InfoRecord record;
    // Also the point the library continues from, so it holds exactly what
    // was written for the last series.
    char code[kovrap::InfoRecord::kCode.width] = {};
    std::size_t position = 0;
    int status = TQVGetNextVar(database, nullptr, record.data());
    while (status == 0) {
        // A code field without its terminator yields its first 9 characters
        // rather than a read past the field.
        record.copyText(kovrap::InfoRecord::kCode, code);
        const std::size_t length = std::strlen(code);
        std::memcpy(output + position, code, length);
        output[position + length] = ',';
        output[position + length + 1] = '\0';
        position += length + 1;
        status = TQVGetNextVar(nullptr, code, record.data());
    }
    // The walk's last status only says that no series follows. Every code
    // written was followed by a comma, so the last one goes, even when the
    // last code was empty: the list never ends in a comma.
    if (position > 0)
        output[position - 1] = '\0';
}

// Joins the texts of successive TQVDGetNames calls with commas. Returns
// false when the first call fails.
bool listDirect(const char *database, char *output) {
    if (TQVDGetNames(database, output) != 0)
        return false;
    for (int remaining = kNameCalls - 1; remaining > 0; --remaining) {
        const std::size_t end = std::strlen(output);
        output[end] = ',';
        output[end + 1] = '\0';
        const int status = TQVDGetNames(nullptr, output + end + 1);
        // A failed call gives back its comma; the next call writes at the
        // same place, so a passing failure leaves no gap in the list.
        if (status != 0)
            output[end] = '\0';
        if (status == TQVD_END_OF_NAMES)
            break;
    }
    return true;
}

} // namespace

extern "C" KOVRAP_API int c_kovraGetCodes(int direct, char *output, const char *database,
                                          int *error) {
    const kovrap::Library &library = kovrap::selectLibrary(direct);
    kovrap::Bracket bracket(library, {0});
    const int opened = library.openDatabase(database);
    if (opened != 0) {
        // Even a failed open leaves the library as it found it: setting
        // restored, closed once.
        if (error != nullptr)
            *error = 1;
        bracket.close();
        return opened;
    }
    if (library.direct) {
        if (!listDirect(database, output) && error != nullptr)
            *error = 1;
    } else {
        listLocal(database, output);
    }
    return bracket.close();
}
