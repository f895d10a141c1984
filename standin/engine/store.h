// The stand-ins' series store: what a database holds, shared by both
// libraries. Databases come from files (dbfile.h) or are registered in memory
// through the control interface.
#ifndef TQVS_STORE_H
#define TQVS_STORE_H

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
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
    std::vector<unsigned char> rawRecord; // kRecordBytes when hasRawRecord
};

// Series are only ever appended (or replaced in place under the same code),
// so the code index catches up with the list lazily: loaders may push_back
// directly, and a lookup stays constant time in databases of a million
// series.
struct Database {
    std::string name;
    std::vector<Series> series; // in stored order

    /** Position of the first series with this code, or npos. */
    std::size_t position(std::string_view code) const {
        const std::string key(code);
        auto found = lookup(key);
        if (found != index_.end() && series[found->second].code != key) {
            // The list was changed behind the index: start it afresh.
            index_.clear();
            indexed_ = 0;
            found = lookup(key);
        }
        return found == index_.end() ? npos : found->second;
    }
    const Series *find(std::string_view code) const {
        const std::size_t at = position(code);
        return at == npos ? nullptr : &series[at];
    }
    Series *find(std::string_view code) {
        const std::size_t at = position(code);
        return at == npos ? nullptr : &series[at];
    }

    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  private:
    using Index = std::unordered_map<std::string, std::size_t>;

    Index::const_iterator lookup(const std::string &key) const {
        if (indexed_ > series.size()) {
            index_.clear();
            indexed_ = 0;
        }
        for (; indexed_ < series.size(); ++indexed_)
            index_.emplace(series[indexed_].code, indexed_);
        return index_.find(key);
    }

    mutable Index index_;
    mutable std::size_t indexed_ = 0;
};

} // namespace tqvs

#endif
