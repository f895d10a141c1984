// Kovrap's own cost per request, against null database libraries whose
// operations return at once. Every Kovrap benchmark runs beside a plain loop
// that makes the very same library calls (checked once per configuration by
// the null libraries' call digests); the difference is Kovrap's own work.
//
// Counters per request (or per series, code, conversion):
//   kovrap_ns, base_ns, own_ns, own_pct  see side_by_side.h
//   peak_bytes      the most memory Kovrap held during one call, beyond the
//                   host's arrays
//   peak_per_req    peak_bytes per request
#include "Kovrap.h"
#include "alloc_counter.h"
#include "null_control.h"
#include "side_by_side.h"
#include "tqvlib.h"
#include "workload.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using bench::InfoOutputs;
using bench::Plan;
using bench::Workload;

// One workload at a time: configurations of the same size follow each other,
// and a million requests hold some hundred megabytes.
struct Fixture {
    int requests = -1;
    int databases = -1;
    bench::Layout layout = bench::Layout::Interleaved;
    std::unique_ptr<Workload> workload;
    std::unique_ptr<Plan> plans[2]; // local, direct
    std::unique_ptr<InfoOutputs> info;
};

Fixture &fixture(int requests, int databases, bench::Layout layout) {
    static Fixture f;
    if (f.requests != requests || f.databases != databases || f.layout != layout) {
        f = Fixture();
        f.workload = std::make_unique<Workload>(requests, databases, 0, bench::Window(), layout);
        f.plans[0] = std::make_unique<Plan>(*f.workload, false);
        f.plans[1] = std::make_unique<Plan>(*f.workload, true);
        f.info = std::make_unique<InfoOutputs>(requests);
        f.requests = requests;
        f.databases = databases;
        f.layout = layout;
    }
    return f;
}

// Whether two runs made the very same calls on both libraries.
bool sameCalls(const std::function<void()> &first, const std::function<void()> &second) {
    tqvnull_local_record(1);
    tqvnull_direct_record(1);
    first();
    const TqvNullDigest local = tqvnull_local_digest();
    const TqvNullDigest direct = tqvnull_direct_digest();
    tqvnull_local_record(1);
    tqvnull_direct_record(1);
    second();
    const TqvNullDigest local2 = tqvnull_local_digest();
    const TqvNullDigest direct2 = tqvnull_direct_digest();
    tqvnull_local_record(0);
    tqvnull_direct_record(0);
    return local.hash == local2.hash && local.calls == local2.calls &&
           direct.hash == direct2.hash && direct.calls == direct2.calls &&
           local.calls + direct.calls > 0;
}

// Checked once per configuration; Google Benchmark runs a function several
// times while it settles the iteration count.
bool checkedOnce(benchmark::State &state, const std::string &key,
                 const std::function<void()> &kovrap, const std::function<void()> &baseline) {
    static std::set<std::string> checked;
    if (checked.count(key) != 0)
        return true;
    if (!sameCalls(kovrap, baseline)) {
        state.SkipWithError("Kovrap and the plain loop made different library calls");
        return false;
    }
    checked.insert(key);
    return true;
}

void reportPeak(benchmark::State &state, std::size_t peak, double items) {
    state.counters["peak_bytes"] = static_cast<double>(peak);
    state.counters["peak_per_req"] = items > 0 ? static_cast<double>(peak) / items : 0.0;
}

// ---- c_kovraGetData and c_kovraSeriesInfo ----------------------------------

void getData(benchmark::State &state, bool direct, int requests, int databases,
             bench::Layout layout) {
    Fixture &f = fixture(requests, databases, layout);
    Workload &w = *f.workload;
    const Plan &plan = *f.plans[direct ? 1 : 0];
    const auto kovrap = [&] { bench::kovrapGetData(direct, w); };
    const auto baseline = [&] { bench::baselineGetData(direct, w, plan); };
    if (!checkedOnce(state, bench::keyOf("data", direct, requests, databases) + nameOf(layout),
                     kovrap, baseline))
        return;
    if (bench::kovrapGetData(direct, w) != 0) {
        state.SkipWithError("c_kovraGetData failed");
        return;
    }
    bench::PeakWatch watch;
    kovrap();
    const std::size_t peak = watch.above();
    bench::sideBySide(state, requests, kovrap, baseline);
    reportPeak(state, peak, requests);
}

void seriesInfo(benchmark::State &state, bool direct, int requests, int databases,
                bench::Layout layout) {
    Fixture &f = fixture(requests, databases, layout);
    Workload &w = *f.workload;
    InfoOutputs &outputs = *f.info;
    const Plan &plan = *f.plans[direct ? 1 : 0];
    bench::kovrapSeriesInfo(direct, w, outputs);
    const bench::RangeCall range = bench::rangeCallOf(outputs);
    const auto kovrap = [&] { bench::kovrapSeriesInfo(direct, w, outputs); };
    const auto baseline = [&] { bench::baselineSeriesInfo(direct, w, plan, &range); };
    if (!checkedOnce(state, bench::keyOf("info", direct, requests, databases) + nameOf(layout),
                     kovrap, baseline))
        return;
    bench::PeakWatch watch;
    kovrap();
    const std::size_t peak = watch.above();
    bench::sideBySide(state, requests, kovrap, baseline);
    reportPeak(state, peak, requests);
}

// ---- c_kovraGetCodes -------------------------------------------------------

// Local mode: the null library yields `series` codes of nine characters.
void getCodesLocal(benchmark::State &state, int series) {
    tqvnull_local_set_series(series);
    const char *database = "db000";
    std::vector<char> output(static_cast<std::size_t>(series) * 10 + 1);
    const auto kovrap = [&] {
        int error = 0;
        c_kovraGetCodes(0, output.data(), database, &error);
    };
    const auto baseline = [&] {
        char record[TQV_RECORD_BYTES];
        TQVEnableRetries(1);
        TQVEnableAnsi(1);
        const int saved = TQVGetMergeData();
        TQVSetMergeData(0);
        if (TQVOpenDatabase(database) == 0) {
            // The record's code field is NUL-terminated: it serves as the
            // previous code as it is.
            int status = TQVGetNextVar(database, nullptr, record);
            while (status == 0)
                status = TQVGetNextVar(nullptr, record, record);
        }
        TQVSetMergeData(saved);
        TQVCloseDatabase();
    };
    if (!checkedOnce(state, "codes local " + std::to_string(series), kovrap, baseline))
        return;
    bench::PeakWatch watch;
    kovrap();
    const std::size_t peak = watch.above();
    bench::sideBySide(state, series, kovrap, baseline);
    reportPeak(state, peak, series);
}

// Direct mode: 32 calls of TQVDGetNames, each writing a text of
// codesPerCall codes.
void getCodesDirect(benchmark::State &state, int codesPerCall) {
    constexpr int kCalls = 32;
    std::string text;
    for (int i = 0; i < codesPerCall; ++i)
        text += (i > 0 ? "," : "") + bench::codeOf(i);
    tqvnull_direct_set_names(text.c_str(), kCalls);
    const char *database = "db000";
    std::vector<char> output(kCalls * (text.size() + 1) + 1);
    const auto kovrap = [&] {
        int error = 0;
        c_kovraGetCodes(1, output.data(), database, &error);
    };
    const auto baseline = [&] {
        TQVDEnableRetries(1);
        TQVDEnableAnsi(1);
        const int saved = TQVDGetMergeData();
        TQVDSetMergeData(0);
        if (TQVDOpenDatabase(database) == 0 && TQVDGetNames(database, output.data()) == 0)
            for (int call = 1; call < kCalls; ++call)
                TQVDGetNames(nullptr,
                             output.data() + static_cast<std::size_t>(call) * (text.size() + 1));
        TQVDSetMergeData(saved);
        TQVDCloseDatabase();
    };
    if (!checkedOnce(state, "codes direct " + std::to_string(codesPerCall), kovrap, baseline))
        return;
    bench::sideBySide(state, kCalls * codesPerCall, kovrap, baseline);
    tqvnull_direct_set_names("C00000000", 1);
}

// ---- directCodelist --------------------------------------------------------

// One chunk of 1000 requests; `databases` databases interleaved, the list
// built for the first. With one database the chunk fills the list exactly:
// 1000 codes of nine characters, 999 commas and the terminator.
void codelist(benchmark::State &state, int databases) {
    Workload w(1000, databases);
    std::vector<char> buffer(KOVRAP_CODELIST_BYTES);
    for (auto _ : state) {
        directCodelist(buffer.data(), 0, w.codes(), w.dbNames(), w.databases()[0], 1000);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    const std::size_t listed = std::strlen(buffer.data());
    if (databases == 1 && listed != KOVRAP_CODELIST_BYTES - 1) {
        state.SkipWithError("a full chunk did not fill the list");
        return;
    }
    state.counters["codes"] = 1000.0 / databases;
    state.counters["ns_per_request"] = benchmark::Counter(
        1000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// ---- calendar --------------------------------------------------------------

struct Dates {
    std::vector<int> period;
    std::vector<int> calendar;
};

// 1000 consecutive periods of a frequency, as period and calendar dates.
Dates datesOf(int frequency) {
    Dates d;
    for (int i = 0; i < 1000; ++i) {
        int period = 0;
        switch (frequency) {
        case 10:
            period = 1500 + i;
            break;
        case 30:
            period = (1800 + i / 4) * 10 + i % 4 + 1;
            break;
        case 40:
            period = (1900 + i / 12) * 100 + i % 12 + 1;
            break;
        default:
            period = (1990 + i / 336) * 10000 + (i / 28 % 12 + 1) * 100 + i % 28 + 1;
            break;
        }
        d.period.push_back(period);
        d.calendar.push_back(tqvdateToYmd(period, frequency));
    }
    return d;
}

void toCalendar(benchmark::State &state, int frequency) {
    const Dates d = datesOf(frequency);
    for (auto _ : state)
        for (int p : d.period)
            benchmark::DoNotOptimize(tqvdateToYmd(p, frequency));
    state.counters["ns_per_date"] = benchmark::Counter(
        1000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void toPeriod(benchmark::State &state, int frequency) {
    const Dates d = datesOf(frequency);
    for (auto _ : state)
        for (int c : d.calendar)
            benchmark::DoNotOptimize(ymdToTqvdate(c, frequency));
    state.counters["ns_per_date"] = benchmark::Counter(
        1000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void leapYears(benchmark::State &state) {
    for (auto _ : state)
        for (int year = 1000; year < 2000; ++year)
            benchmark::DoNotOptimize(isLeapYear(year));
    state.counters["ns_per_year"] = benchmark::Counter(
        1000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// c_kovraDateSeq beside the plain loop of TQVGetDate calls it makes.
void dateSeq(benchmark::State &state, int count) {
    std::vector<int> dates(static_cast<std::size_t>(count));
    const auto kovrap = [&] { c_kovraDateSeq(dates.data(), 200001, count, 40); };
    const auto baseline = [&] {
        for (int i = 1; i <= count; ++i)
            benchmark::DoNotOptimize(TQVGetDate(200001, i, 40));
    };
    if (!checkedOnce(state, "dateseq " + std::to_string(count), kovrap, baseline))
        return;
    bench::sideBySide(state, count, kovrap, baseline);
}

void registerRetrieval(bool direct, int requests, int databases, bench::Layout layout) {
    std::string suffix = std::string(direct ? "direct" : "local") +
                         "/requests:" + std::to_string(requests) +
                         "/databases:" + std::to_string(databases);
    if (layout != bench::Layout::Interleaved)
        suffix += std::string("/") + bench::nameOf(layout);
    benchmark::RegisterBenchmark(("GetData/" + suffix).c_str(), getData, direct, requests,
                                 databases, layout)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("SeriesInfo/" + suffix).c_str(), seriesInfo, direct, requests,
                                 databases, layout)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
}

void registerAll() {
    // Interleaved: every database's requests between all the others'.
    const int requestCounts[] = {1000, 100000, 1000000};
    const int databaseCounts[] = {1, 10, 100};
    for (int requests : requestCounts)
        for (int databases : databaseCounts)
            for (bool direct : {false, true})
                registerRetrieval(direct, requests, databases, bench::Layout::Interleaved);
    // The other orders a host may pass: sorted by database, and at random.
    for (bench::Layout layout : {bench::Layout::Sorted, bench::Layout::Shuffled})
        for (bool direct : {false, true})
            registerRetrieval(direct, 100000, 100, layout);
    for (int series : {10000, 100000, 1000000})
        benchmark::RegisterBenchmark(("GetCodes/local/series:" + std::to_string(series)).c_str(),
                                     getCodesLocal, series)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond);
    for (int codes : {100, 1000})
        benchmark::RegisterBenchmark(
            ("GetCodes/direct/batches:32/codes_per_batch:" + std::to_string(codes)).c_str(),
            getCodesDirect, codes)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond);
    for (int databases : {1, 2})
        benchmark::RegisterBenchmark(
            ("directCodelist/chunk:1000/databases:" + std::to_string(databases)).c_str(), codelist,
            databases);
    for (int frequency : {10, 30, 40, 51}) {
        const std::string f = std::to_string(frequency);
        benchmark::RegisterBenchmark(("tqvdateToYmd/frequency:" + f).c_str(), toCalendar,
                                     frequency);
        benchmark::RegisterBenchmark(("ymdToTqvdate/frequency:" + f).c_str(), toPeriod, frequency);
    }
    benchmark::RegisterBenchmark("isLeapYear", leapYears);
    benchmark::RegisterBenchmark("c_kovraDateSeq/count:1000", dateSeq, 1000)->UseManualTime();
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
