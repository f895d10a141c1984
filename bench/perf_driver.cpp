// A fixed driver for counting instructions under callgrind: for each scenario
// it runs one Kovrap call and one plain loop with the very same library calls,
// each between a reset of callgrind's counters and a dump labelled
//   kovrap <export> <path> <requests> <databases> <layout>
//   baseline <export> <path> <requests> <databases> <layout>
// Outside callgrind the counter requests do nothing; the driver then still
// checks that both made the same library calls, and prints per scenario
//   scenario <export> <path> <requests> <databases> <layout> <peak bytes>
// with the most memory Kovrap held during its call.
//
// Built twice: kovrap_perf_driver against the null libraries (bench-null/),
// and with KOVRAP_DRIVER_STORE kovrap_store_driver against the stand-in store
// (bin/), where requests ask for series of kSeriesPerDatabase monthly series
// per database over kStoreWindow and the peak is "-" (the stand-ins' own
// journal allocates).
//
// Usage: DRIVER SCENARIO...   with SCENARIO export:path:requests:databases[:layout],
// export getdata or info, path local or direct, layout interleaved (the
// default), sorted or shuffled (see workload.h).
#include "alloc_counter.h"
#include "workload.h"
#if defined(KOVRAP_DRIVER_STORE)
#include "store.h"
#include "tqv_standin.h"
#else
#include "null_control.h"
#endif

#if defined(__has_include)
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#endif
#endif
#if !defined(CALLGRIND_ZERO_STATS)
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(label) static_cast<void>(label)
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

struct Scenario {
    std::string exportName; // getdata or info
    bool direct = false;
    int requests = 0;
    int databases = 0;
    bench::Layout layout = bench::Layout::Interleaved;
};

bool parse(const char *text, Scenario &s) {
    char exportName[16] = {};
    char path[16] = {};
    char layout[16] = {};
    const int fields = std::sscanf(text, "%15[a-z]:%15[a-z]:%d:%d:%15[a-z]", exportName, path,
                                   &s.requests, &s.databases, layout);
    if (fields != 4 && fields != 5)
        return false;
    if (fields == 5 && !bench::parseLayout(layout, s.layout))
        return false;
    s.exportName = exportName;
    if (s.exportName != "getdata" && s.exportName != "info")
        return false;
    if (std::strcmp(path, "local") != 0 && std::strcmp(path, "direct") != 0)
        return false;
    s.direct = std::strcmp(path, "direct") == 0;
    return s.requests > 0 && s.databases > 0;
}

#if defined(KOVRAP_DRIVER_STORE)

constexpr bool kStore = true;

// Between runs: the journal would otherwise grow with every call.
void settle() {
    tqvs_clear_log();
}

// The calls are the stand-ins' journal entries, results included.
bool sameCalls(const std::function<void()> &kovrap, const std::function<void()> &baseline,
               const std::string &name) {
    const std::vector<std::string> mine = bench::journalOf(kovrap);
    const std::vector<std::string> plain = bench::journalOf(baseline);
    if (mine != plain || mine.empty()) {
        std::fprintf(stderr, "%s: Kovrap made %zu calls, the plain loop %zu, or others\n",
                     name.c_str(), mine.size(), plain.size());
        return false;
    }
    const std::string failure = bench::firstFailure(mine);
    if (!failure.empty()) {
        std::fprintf(stderr, "%s: a library call failed: %s\n", name.c_str(), failure.c_str());
        return false;
    }
    return true;
}

#else

constexpr bool kStore = false;

void settle() {}

TqvNullDigest digestOf(const std::function<void()> &run, bool direct) {
    tqvnull_local_record(1);
    tqvnull_direct_record(1);
    run();
    const TqvNullDigest digest = direct ? tqvnull_direct_digest() : tqvnull_local_digest();
    tqvnull_local_record(0);
    tqvnull_direct_record(0);
    return digest;
}

// The calls are the null libraries' digests of everything passed.
bool sameCalls(const std::function<void()> &kovrap, const std::function<void()> &baseline,
               const std::string &name, bool direct) {
    const TqvNullDigest mine = digestOf(kovrap, direct);
    const TqvNullDigest plain = digestOf(baseline, direct);
    if (mine.hash != plain.hash || mine.calls != plain.calls || mine.calls == 0) {
        std::fprintf(stderr, "%s: Kovrap made %lld calls, the plain loop %lld, or others\n",
                     name.c_str(), mine.calls, plain.calls);
        return false;
    }
    return true;
}

#endif

// Kept out of line, so that the measured stretch is exactly this call.
__attribute__((noinline)) void measured(const std::function<void()> &run, const char *label) {
    CALLGRIND_ZERO_STATS;
    run();
    CALLGRIND_DUMP_STATS_AT(label);
}

int runScenario(const Scenario &s) {
    const std::string name = s.exportName + " " + (s.direct ? "direct" : "local") + " " +
                             std::to_string(s.requests) + " " + std::to_string(s.databases) + " " +
                             bench::nameOf(s.layout);
#if defined(KOVRAP_DRIVER_STORE)
    bench::fillStore(s.databases);
    bench::Workload workload(s.requests, s.databases, bench::kSeriesPerDatabase,
                             bench::kStoreWindow, s.layout);
#else
    bench::Workload workload(s.requests, s.databases, 0, bench::Window(), s.layout);
#endif
    bench::Plan plan(workload, s.direct);
    bench::InfoOutputs outputs(s.exportName == "info" ? s.requests : 1);
    std::function<void()> kovrap;
    std::function<void()> baseline;
    bench::RangeCall range{};
    if (s.exportName == "getdata") {
        kovrap = [&] { bench::kovrapGetData(s.direct, workload); };
        baseline = [&] { bench::baselineGetData(s.direct, workload, plan); };
    } else {
        bench::kovrapSeriesInfo(s.direct, workload, outputs);
        range = bench::rangeCallOf(outputs);
        kovrap = [&] { bench::kovrapSeriesInfo(s.direct, workload, outputs); };
        baseline = [&] { bench::baselineSeriesInfo(s.direct, workload, plan, &range); };
    }
#if defined(KOVRAP_DRIVER_STORE)
    if (!sameCalls(kovrap, baseline, name))
        return 1;
#else
    if (!sameCalls(kovrap, baseline, name, s.direct))
        return 1;
#endif

    // Warm: lazy binding, first touch of the host's arrays.
    kovrap();
    settle();
    baseline();
    settle();
    std::size_t peak = 0;
    {
        bench::PeakWatch watch;
        kovrap();
        peak = watch.above();
    }
    settle();
    measured(kovrap, ("kovrap " + name).c_str());
    settle();
    measured(baseline, ("baseline " + name).c_str());
    settle();
    if (kStore)
        std::printf("scenario %s -\n", name.c_str());
    else
        std::printf("scenario %s %zu\n", name.c_str(), peak);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: %s EXPORT:PATH:REQUESTS:DATABASES...\n"
                     "  EXPORT getdata or info, PATH local or direct\n",
                     argv[0]);
        return 2;
    }
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        Scenario s;
        if (!parse(argv[i], s)) {
            std::fprintf(stderr, "not a scenario: %s\n", argv[i]);
            return 2;
        }
        failures += runScenario(s);
    }
    return failures == 0 ? 0 : 1;
}
