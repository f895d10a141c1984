// The stand-ins' series store: what a database holds, shared by both
// libraries. Databases come from files (dbfile.h) or are registered in memory
// through the control interface.
#ifndef TQVS_STORE_H
#define TQVS_STORE_H

#include <string>
#include <string_view>
#include <vector>

namespace tqvs {

constexpr double kMissing = 1e9;
constexpr int kRecordBytes = 256;
constexpr std::size_t kMaxCodeLength = 9;

struct Series {
    std::string code;  // at most kMaxCodeLength characters
    int frequency = 0; // frequency code
    int first = 0;     // period date of values[0]
    int last = 0;      // period date of values.back()
    int attributes[6] = {0, 0, 0, 0, 0, 0};
    std::string texts[7];
    std::vector<double> values; // one per period from first to last; kMissing where absent
    int infoStatus = 0;         // status the information calls answer (tests)
    bool hasRawRecord = false;  // answer rawRecord instead of a built record (tests)
    unsigned char rawRecord[kRecordBytes] = {};
};

struct Database {
    std::string name;
    std::vector<Series> series; // in stored order

    const Series *find(std::string_view code) const {
        for (const Series &s : series)
            if (s.code == code)
                return &s;
        return nullptr;
    }
    Series *find(std::string_view code) {
        for (Series &s : series)
            if (s.code == code)
                return &s;
        return nullptr;
    }
};

} // namespace tqvs

#endif
