#include "store.h"

#include "tqv_standin.h"

namespace bench {

namespace {

constexpr int kStoredFirst = 199001;
constexpr int kStoredLast = 202312;
constexpr int kStoredCount = 34 * 12;

} // namespace

void fillStore(int databases) {
    tqvs_reset();
    tqvs_set_logged_in(1);
    std::vector<double> values(kStoredCount);
    for (int i = 0; i < kStoredCount; ++i)
        values[static_cast<std::size_t>(i)] = 100.0 + 0.5 * i;
    const int attributes[6] = {1, 2, 3, 4, 5, 3};
    const char *const texts[7] = {"units",
                                  "source",
                                  "scale",
                                  "basis",
                                  "A monthly series",
                                  "region",
                                  "Made for the benchmarks"};
    for (int d = 0; d < databases; ++d) {
        const std::string name = databaseOf(d);
        tqvs_add_database(name.c_str());
        for (int s = 0; s < kSeriesPerDatabase; ++s) {
            const std::string code = codeOf(s);
            tqvs_add_series(name.c_str(), code.c_str(), 40, kStoredFirst, kStoredLast,
                            values.data(), kStoredCount);
            tqvs_set_attributes(name.c_str(), code.c_str(), attributes, texts);
        }
    }
}

std::vector<std::string> journalOf(const std::function<void()> &run) {
    tqvs_set_journal(1);
    run();
    std::vector<std::string> entries;
    for (int i = 0; i < tqvs_log_size(); ++i)
        entries.emplace_back(tqvs_log_entry(i));
    tqvs_set_journal(0); // the timed runs keep no journal
    return entries;
}

std::string firstFailure(const std::vector<std::string> &journal) {
    const std::string ok = " -> 0";
    for (const std::string &entry : journal) {
        const bool perRequest = entry.find("GetDataCount(") != std::string::npos ||
                                entry.find("GetInfo(") != std::string::npos;
        if (perRequest && (entry.size() < ok.size() ||
                           entry.compare(entry.size() - ok.size(), ok.size(), ok) != 0))
            return entry;
    }
    return std::string();
}

} // namespace bench
