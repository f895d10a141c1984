// Kovrap and its plain loop timed in the same benchmark, iteration by
// iteration, so that both see the same machine at the same moment. Their
// order alternates, so that neither always finds the caches the other left.
#ifndef KOVRAP_BENCH_SIDE_BY_SIDE_H
#define KOVRAP_BENCH_SIDE_BY_SIDE_H

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>

namespace bench {

struct NoPause {
    void operator()() const {}
};

// Times kovrap() and baseline() alternately; after() runs untimed after each
// (for example to clear a journal). The benchmark's own time is Kovrap's
// (run it with UseManualTime). Counters, per item (a request, a series):
//   kovrap_ns  Kovrap's time
//   base_ns    the plain loop's time
//   own_ns     the difference: Kovrap's own cost
//   own_pct    the difference as a share of Kovrap's time
template <class Kovrap, class Baseline, class After = NoPause>
void sideBySide(benchmark::State &state, double itemsPerCall, Kovrap &&kovrap, Baseline &&baseline,
                After &&after = After()) {
    using Clock = std::chrono::steady_clock;
    const auto timed = [](auto &&work) {
        const auto begin = Clock::now();
        work();
        return std::chrono::duration<double>(Clock::now() - begin).count();
    };
    double kovrapSeconds = 0;
    double baselineSeconds = 0;
    bool kovrapFirst = true;
    for (auto _ : state) {
        double k = 0;
        if (kovrapFirst) {
            k = timed(kovrap);
            after();
            baselineSeconds += timed(baseline);
            after();
        } else {
            baselineSeconds += timed(baseline);
            after();
            k = timed(kovrap);
            after();
        }
        kovrapFirst = !kovrapFirst;
        kovrapSeconds += k;
        state.SetIterationTime(k);
    }
    const double items = itemsPerCall * static_cast<double>(state.iterations());
    const double kovrapNs = kovrapSeconds * 1e9 / items;
    const double baseNs = baselineSeconds * 1e9 / items;
    state.counters["kovrap_ns"] = kovrapNs;
    state.counters["base_ns"] = baseNs;
    state.counters["own_ns"] = kovrapNs - baseNs;
    state.counters["own_pct"] = kovrapNs > 0 ? 100.0 * (kovrapNs - baseNs) / kovrapNs : 0.0;
}

} // namespace bench

#endif
