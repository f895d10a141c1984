// Kovrap's share of a realistic fetch: the same requests as kovrap_bench, but
// through the stand-in libraries and their series store, where every call
// looks the series up, copies or aggregates its observations and is
// journaled. Each Kovrap benchmark runs beside a plain loop with the very same
// calls (checked once per configuration against the stand-ins' journal); the
// journal is cleared after every call, outside the timing.
//
// Counters per request: kovrap_ns, base_ns, own_ns, own_pct (side_by_side.h).
//
// StoreGetCodes lists one database of 10k, 100k and 1M series through
// c_kovraGetCodes beside the plain walk of TQVGetNextVar calls; counters are
// per series, so a listing that stays linear shows the same time per series
// at every size.
#include "Kovrap.h"
#include "side_by_side.h"
#include "store.h"
#include "tqv_standin.h"
#include "tqvlib.h"
#include "workload.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using bench::InfoOutputs;
using bench::Plan;
using bench::Workload;

struct Fixture {
    int requests = -1;
    int databases = -1;
    std::unique_ptr<Workload> workload;
    std::unique_ptr<Plan> plans[2];
    std::unique_ptr<InfoOutputs> info;
};

Fixture &fixtureState() {
    static Fixture f;
    return f;
}

Fixture &fixture(int requests, int databases) {
    Fixture &f = fixtureState();
    if (f.requests != requests || f.databases != databases) {
        f = Fixture();
        bench::fillStore(databases);
        f.workload = std::make_unique<Workload>(requests, databases, bench::kSeriesPerDatabase,
                                                bench::kStoreWindow);
        f.plans[0] = std::make_unique<Plan>(*f.workload, false);
        f.plans[1] = std::make_unique<Plan>(*f.workload, true);
        f.info = std::make_unique<InfoOutputs>(requests);
        f.requests = requests;
        f.databases = databases;
    }
    return f;
}

// Whether Kovrap and the plain loop made the very same calls with the very
// same results, and every fetch or information call succeeded.
bool checkedOnce(benchmark::State &state, const std::string &key,
                 const std::function<void()> &kovrap, const std::function<void()> &baseline) {
    static std::set<std::string> checked;
    if (checked.count(key) != 0)
        return true;
    const std::vector<std::string> mine = bench::journalOf(kovrap);
    if (mine != bench::journalOf(baseline) || mine.empty()) {
        state.SkipWithError("Kovrap and the plain loop made different library calls");
        return false;
    }
    const std::string failure = bench::firstFailure(mine);
    if (!failure.empty()) {
        state.SkipWithError(("a library call failed: " + failure).c_str());
        return false;
    }
    checked.insert(key);
    return true;
}

void getData(benchmark::State &state, bool direct, int requests, int databases) {
    Fixture &f = fixture(requests, databases);
    Workload &w = *f.workload;
    const Plan &plan = *f.plans[direct ? 1 : 0];
    const auto kovrap = [&] { bench::kovrapGetData(direct, w); };
    const auto baseline = [&] { bench::baselineGetData(direct, w, plan); };
    if (!checkedOnce(state, bench::keyOf("data", direct, requests, databases), kovrap, baseline))
        return;
    bench::sideBySide(state, requests, kovrap, baseline, [] { tqvs_clear_log(); });
}

void seriesInfo(benchmark::State &state, bool direct, int requests, int databases) {
    Fixture &f = fixture(requests, databases);
    Workload &w = *f.workload;
    InfoOutputs &outputs = *f.info;
    const Plan &plan = *f.plans[direct ? 1 : 0];
    bench::kovrapSeriesInfo(direct, w, outputs);
    const bench::RangeCall range = bench::rangeCallOf(outputs);
    const auto kovrap = [&] { bench::kovrapSeriesInfo(direct, w, outputs); };
    const auto baseline = [&] { bench::baselineSeriesInfo(direct, w, plan, &range); };
    if (!checkedOnce(state, bench::keyOf("info", direct, requests, databases), kovrap, baseline))
        return;
    bench::sideBySide(state, requests, kovrap, baseline, [] { tqvs_clear_log(); });
}

// ---- code listing -----------------------------------------------------------

constexpr const char *kCodesDatabase = "codes";
constexpr int kCodeWidth = 8; // "C" and seven digits

// A store of one database with `series` empty series, C0000000 upwards.
void fillCodeStore(int series) {
    static int filled = -1;
    if (filled == series)
        return;
    fixtureState() = Fixture(); // the fetch fixtures' store is gone
    tqvs_reset();
    tqvs_add_database(kCodesDatabase);
    char code[16];
    for (int i = 0; i < series; ++i) {
        std::snprintf(code, sizeof code, "C%07d", i);
        tqvs_add_series(kCodesDatabase, code, 40, 202001, 202001, nullptr, 0);
    }
    filled = series;
}

// The calls c_kovraGetCodes makes on the local library, as a plain loop.
void baselineCodes(char *output) {
    TQVEnableRetries(1);
    TQVEnableAnsi(1);
    const int saved = TQVGetMergeData();
    TQVSetMergeData(0);
    TQVOpenDatabase(kCodesDatabase);
    char record[256];
    char previous[16] = {};
    std::size_t position = 0;
    int status = TQVGetNextVar(kCodesDatabase, nullptr, record);
    while (status == 0) {
        const std::size_t length = std::strlen(record);
        std::memcpy(output + position, record, length);
        output[position + length] = ',';
        position += length + 1;
        std::memcpy(previous, record, length + 1);
        status = TQVGetNextVar(nullptr, previous, record);
    }
    if (position > 0)
        output[position - 1] = '\0';
    TQVSetMergeData(saved);
    TQVCloseDatabase();
}

void getCodes(benchmark::State &state, int series) {
    fillCodeStore(series);
    std::vector<char> output(static_cast<std::size_t>(series) * (kCodeWidth + 1) + 1);
    std::vector<char> plain(output.size());
    const auto kovrap = [&] {
        int error = 0;
        c_kovraGetCodes(0, output.data(), kCodesDatabase, &error);
    };
    const auto baseline = [&] { baselineCodes(plain.data()); };
    const std::string key = "codes/" + std::to_string(series);
    if (!checkedOnce(state, key, kovrap, baseline))
        return;
    if (std::strcmp(output.data(), plain.data()) != 0) {
        state.SkipWithError("Kovrap and the plain loop listed different codes");
        return;
    }
    bench::sideBySide(state, series, kovrap, baseline, [] { tqvs_clear_log(); });
}

void registerAll() {
    for (int requests : {1000, 10000})
        for (int databases : {1, 10})
            for (bool direct : {false, true}) {
                const std::string suffix = std::string(direct ? "direct" : "local") +
                                           "/requests:" + std::to_string(requests) +
                                           "/databases:" + std::to_string(databases);
                benchmark::RegisterBenchmark(("StoreGetData/" + suffix).c_str(), getData, direct,
                                             requests, databases)
                    ->UseManualTime()
                    ->Unit(benchmark::kMicrosecond);
                benchmark::RegisterBenchmark(("StoreSeriesInfo/" + suffix).c_str(), seriesInfo,
                                             direct, requests, databases)
                    ->UseManualTime()
                    ->Unit(benchmark::kMicrosecond);
            }
    for (int series : {10000, 100000, 1000000})
        benchmark::RegisterBenchmark(
            ("StoreGetCodes/local/series:" + std::to_string(series)).c_str(), getCodes, series)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
