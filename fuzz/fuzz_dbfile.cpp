// The stand-ins' database file reader with arbitrary bytes: it either
// rejects the text with a message naming a line and leaves the database as
// it was, or reads a database that the writer writes back to the same.
#include "dbfile.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

bool sameDatabase(const tqvs::Database &a, const tqvs::Database &b) {
    if (a.name != b.name || a.series.size() != b.series.size())
        return false;
    for (std::size_t i = 0; i < a.series.size(); ++i) {
        const tqvs::Series &x = a.series[i];
        const tqvs::Series &y = b.series[i];
        if (x.code != y.code || x.frequency != y.frequency || x.first != y.first ||
            x.last != y.last || x.values.size() != y.values.size())
            return false;
        for (int t = 0; t < 7; ++t)
            if (x.texts[t] != y.texts[t])
                return false;
        if (std::memcmp(x.attributes, y.attributes, sizeof x.attributes) != 0)
            return false;
        // The same bits: a written value reads back exactly.
        if (!x.values.empty() &&
            std::memcmp(x.values.data(), y.values.data(), x.values.size() * sizeof(double)) != 0)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    tqvs::Database db;
    db.name = "untouched";
    std::string error;
    if (!tqvs::parseDatabase(text, db, error)) {
        FUZZ_CHECK(db.name == "untouched" && db.series.empty());
        FUZZ_CHECK(error.compare(0, 5, "line ") == 0);
        return 0;
    }
    for (const tqvs::Series &s : db.series)
        FUZZ_CHECK(tqvs::checkSeries(s).empty());
    const std::string written = tqvs::formatDatabase(db);
    tqvs::Database again;
    std::string againError;
    FUZZ_CHECK(tqvs::parseDatabase(written, again, againError));
    FUZZ_CHECK(sameDatabase(db, again));
    return 0;
}
