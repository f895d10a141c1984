#include "workload.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace bench {

namespace {

constexpr int kChunk = 1000;

// Widths of the text columns: code, then texts 1 to 7.
constexpr std::size_t kTextWidths[8] = {KOVRAP_CODE_WIDTH,  KOVRAP_TEXT1_WIDTH, KOVRAP_TEXT2_WIDTH,
                                        KOVRAP_TEXT3_WIDTH, KOVRAP_TEXT4_WIDTH, KOVRAP_TEXT5_WIDTH,
                                        KOVRAP_TEXT6_WIDTH, KOVRAP_TEXT7_WIDTH};
constexpr int kIntColumns = 9;
constexpr int kStatusLists = 7;
constexpr int kExclusionLists = 3;

// The library twins the plain loops call, chosen at compile time so that a
// loop calls the library directly, as a hand-written host would.
template <bool Direct> struct Ops;

template <> struct Ops<false> {
    static int enableRetries(int on) { return TQVEnableRetries(on); }
    static int enableAnsi(int on) { return TQVEnableAnsi(on); }
    static int getMergeData() { return TQVGetMergeData(); }
    static int setMergeData(int setting) { return TQVSetMergeData(setting); }
    static int openDatabase(const char *name) { return TQVOpenDatabase(name); }
    static int closeDatabase() { return TQVCloseDatabase(); }
    static int getInfo(const char *code, char *record) { return TQVGetInfo(0, code, record); }
    static int getDataCount(const char *database, const char *code, const Window &w, double *row,
                            int *count) {
        return TQVGetDataCount(database, code, w.start, w.end, w.frequency, row, count);
    }
    static int getObsNum(int start, int end, int frequency) {
        return TQVGetObsNum(start, end, frequency);
    }
};

template <> struct Ops<true> {
    static int enableRetries(int on) { return TQVDEnableRetries(on); }
    static int enableAnsi(int on) { return TQVDEnableAnsi(on); }
    static int getMergeData() { return TQVDGetMergeData(); }
    static int setMergeData(int setting) { return TQVDSetMergeData(setting); }
    static int openDatabase(const char *name) { return TQVDOpenDatabase(name); }
    static int closeDatabase() { return TQVDCloseDatabase(); }
    static int getInfo(const char *code, char *record) { return TQVDGetInfo(0, code, record); }
    static int getDataCount(const char *database, const char *code, const Window &w, double *row,
                            int *count) {
        return TQVDGetDataCount(database, code, w.start, w.end, w.frequency, row, count);
    }
    static int getObsNum(int start, int end, int frequency) {
        return TQVDGetObsNum(start, end, frequency);
    }
};

// Kovrap's bracket restores the setting and closes on every way out, early
// ones included; so does the plain loop.
template <bool Direct> void plainGetData(const Workload &w, const Plan &plan) {
    using L = Ops<Direct>;
    L::enableRetries(1);
    L::enableAnsi(1);
    const int saved = L::getMergeData();
    L::setMergeData(1);
    const Window &window = w.window();
    int count = window.obsPerSeries;
    const auto walk = [&] {
        for (int d = 0; d < w.databaseCount(); ++d) {
            const int opened = L::openDatabase(w.databases()[d]);
            if (Direct)
                L::enableRetries(0);
            if (opened != 0)
                return;
            for (const PlannedCall &call : plan.calls(d)) {
                const char *code = Direct ? call.list : w.codes()[call.request];
                if (L::getDataCount(w.dbNames()[call.request], code, window, w.row(call.request),
                                    &count) != 0)
                    return;
            }
        }
    };
    walk();
    L::setMergeData(saved);
    L::closeDatabase();
}

template <bool Direct>
void plainSeriesInfo(const Workload &w, const Plan &plan, const RangeCall *range) {
    using L = Ops<Direct>;
    L::enableRetries(1);
    L::enableAnsi(1);
    const int saved = L::getMergeData();
    L::setMergeData(1);
    char record[TQV_RECORD_BYTES];
    for (int d = 0; d < w.databaseCount(); ++d) {
        L::openDatabase(w.databases()[d]);
        for (const PlannedCall &call : plan.calls(d))
            L::getInfo(Direct ? call.list : w.codes()[call.request], record);
    }
    if (range != nullptr)
        L::getObsNum(range->start, range->end, range->frequency);
    L::setMergeData(saved);
    L::closeDatabase();
}

} // namespace

std::string codeOf(int k) {
    char code[16];
    std::snprintf(code, sizeof code, "C%08d", k);
    return code;
}

std::string databaseOf(int d) {
    char name[16];
    std::snprintf(name, sizeof name, "db%03d", d);
    return name;
}

std::string keyOf(const char *exportName, bool direct, int requests, int databases) {
    return std::string(exportName) + (direct ? " direct " : " local ") + std::to_string(requests) +
           " " + std::to_string(databases);
}

void FreeDeleter::operator()(void *p) const noexcept {
    std::free(p);
}

bool parseLayout(const std::string &text, Layout &layout) {
    for (Layout candidate : {Layout::Interleaved, Layout::Sorted, Layout::Shuffled})
        if (text == nameOf(candidate)) {
            layout = candidate;
            return true;
        }
    return false;
}

const char *nameOf(Layout layout) {
    switch (layout) {
    case Layout::Sorted:
        return "sorted";
    case Layout::Shuffled:
        return "shuffled";
    default:
        return "interleaved";
    }
}

Workload::Workload(int requestCount, int databaseCount, int seriesPerDatabase, Window window,
                   Layout layout)
    : requestCount_(requestCount), databaseCount_(databaseCount), window_(window) {
    const auto seriesOf = [&](int k) {
        return seriesPerDatabase > 0 ? (k / databaseCount) % seriesPerDatabase : k;
    };
    const auto databaseFor = [&](int k) -> std::size_t {
        switch (layout) {
        case Layout::Sorted:
            return static_cast<std::size_t>(static_cast<long long>(k) * databaseCount /
                                            requestCount);
        case Layout::Shuffled: {
            // splitmix64 of the index: a fixed, well-spread draw.
            std::uint64_t z = static_cast<std::uint64_t>(k) + 0x9e3779b97f4a7c15ull;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
            return static_cast<std::size_t>((z ^ (z >> 31)) %
                                            static_cast<std::uint64_t>(databaseCount));
        }
        default:
            return static_cast<std::size_t>(k % databaseCount);
        }
    };
    std::vector<std::string> names;
    std::size_t bytes = 0;
    for (int d = 0; d < databaseCount; ++d) {
        names.push_back(databaseOf(d));
        bytes += names.back().size() + 1;
    }
    for (int k = 0; k < requestCount; ++k)
        bytes += codeOf(seriesOf(k)).size() + 1 + names[databaseFor(k)].size() + 1;
    text_.resize(bytes);
    std::size_t used = 0;
    const auto keep = [&](const std::string &s) {
        char *at = text_.data() + used;
        std::memcpy(at, s.c_str(), s.size() + 1);
        used += s.size() + 1;
        return static_cast<const char *>(at);
    };
    for (const std::string &name : names)
        databases_.push_back(keep(name));
    for (int k = 0; k < requestCount; ++k) {
        codes_.push_back(keep(codeOf(seriesOf(k))));
        dbNames_.push_back(keep(names[databaseFor(k)]));
    }

    const std::size_t cells =
        static_cast<std::size_t>(requestCount > 0 ? requestCount : 1) *
        static_cast<std::size_t>(window.obsPerSeries > 0 ? window.obsPerSeries : 1);
    values_.reset(static_cast<double *>(std::malloc(cells * sizeof(double))));

    // transformCode[0] is the master switch; 0 keeps every row as fetched.
    const std::size_t perArray = static_cast<std::size_t>(requestCount > 0 ? requestCount : 1);
    transformInts_.assign(7 * perArray, 0);
    int *base = transformInts_.data();
    transforms_ = TransformArrays{base,
                                  base + perArray,
                                  base + 2 * perArray,
                                  base + 3 * perArray,
                                  base + 4 * perArray,
                                  base + 5 * perArray,
                                  nullptr,
                                  base + 6 * perArray};
    windows_ = AdvancedWindows{base, base + perArray};
}

InfoOutputs::InfoOutputs(int requestCount) : requestCount_(requestCount) {
    const std::size_t n = static_cast<std::size_t>(requestCount > 0 ? requestCount : 1);
    ints_.assign(
        (kIntColumns + kStatusLists + kExclusionLists) * n + kStatusLists + kExclusionLists, 0);
    int *next = ints_.data();
    const auto take = [&](std::size_t count) {
        int *at = next;
        next += count;
        return at;
    };
    std::size_t perRequest = 0;
    for (std::size_t width : kTextWidths)
        perRequest += width;
    text_.assign(perRequest * n, '\0');
    textPointers_.resize(8 * n);
    char *text = text_.data();
    for (std::size_t column = 0; column < 8; ++column)
        for (std::size_t k = 0; k < n; ++k) {
            textPointers_[column * n + k] = text;
            text += kTextWidths[column];
        }
    const auto texts = [&](std::size_t column) { return textPointers_.data() + column * n; };

    status_.classifyOnly = 0;
    status_.statusCounts = take(kStatusLists);
    int **lists[kStatusLists] = {&status_.statusList0, &status_.statusList1, &status_.statusList2,
                                 &status_.statusList3, &status_.statusList4, &status_.statusList5,
                                 &status_.statusList6};
    for (int **list : lists)
        *list = take(n);

    columns_.code = texts(0);
    int **intColumns[kIntColumns] = {
        &columns_.firstDate,  &columns_.lastDate,   &columns_.attribute1,
        &columns_.frequency,  &columns_.attribute2, &columns_.attribute3,
        &columns_.attribute4, &columns_.attribute5, &columns_.attribute6};
    for (int **column : intColumns)
        *column = take(n);
    char ***textColumns[7] = {&columns_.text1, &columns_.text2, &columns_.text3, &columns_.text4,
                              &columns_.text5, &columns_.text6, &columns_.text7};
    for (std::size_t t = 0; t < 7; ++t)
        *textColumns[t] = texts(t + 1);

    range_ = CommonRange{1, &frequency_, &start_, &end_, &observations_};
    exclusions_ = RangeExclusions{0, take(kExclusionLists), take(n), take(n), take(n)};
}

CommonRange *InfoOutputs::range() {
    frequency_ = 1000;
    start_ = -1;
    end_ = -1;
    return &range_;
}

Plan::Plan(const Workload &w, bool direct) {
    // The requests of each database name, in index order.
    std::unordered_map<std::string, std::vector<int>> requestsOf;
    for (int k = 0; k < w.requestCount(); ++k)
        requestsOf[w.dbNames()[k]].push_back(k);
    calls_.resize(static_cast<std::size_t>(w.databaseCount()));
    for (int d = 0; d < w.databaseCount(); ++d) {
        std::vector<PlannedCall> &calls = calls_[static_cast<std::size_t>(d)];
        const std::vector<int> &requests = requestsOf[w.databases()[d]];
        for (std::size_t i = 0; i < requests.size(); ++i) {
            const int k = requests[i];
            const char *list = nullptr;
            // The first request of the database in each chunk of 1000 carries
            // the list of the chunk's codes of the database.
            if (direct && (i == 0 || requests[i - 1] / kChunk != k / kChunk)) {
                std::string text;
                for (std::size_t j = i; j < requests.size() && requests[j] / kChunk == k / kChunk;
                     ++j)
                    text += (j > i ? "," : "") + std::string(w.codes()[requests[j]]);
                lists_.push_back(text);
                list = lists_.back().c_str();
            }
            calls.push_back(PlannedCall{k, list});
        }
    }
}

void baselineGetData(bool direct, const Workload &workload, const Plan &plan) {
    if (direct)
        plainGetData<true>(workload, plan);
    else
        plainGetData<false>(workload, plan);
}

void baselineSeriesInfo(bool direct, const Workload &workload, const Plan &plan,
                        const RangeCall *range) {
    if (direct)
        plainSeriesInfo<true>(workload, plan, range);
    else
        plainSeriesInfo<false>(workload, plan, range);
}

int kovrapGetData(bool direct, Workload &w) {
    int error = 0;
    const Window &window = w.window();
    c_kovraGetData(direct ? 1 : 0, w.values(), w.codes(), w.dbNames(), w.databases(),
                   w.databaseCount(), w.requestCount(), window.start, window.end, window.frequency,
                   0, window.obsPerSeries, w.transforms(), w.windows(), &error);
    return error;
}

void kovrapSeriesInfo(bool direct, Workload &w, InfoOutputs &outputs) {
    c_kovraSeriesInfo(direct ? 1 : 0, outputs.status(), outputs.columns(), w.codes(), w.dbNames(),
                      w.databases(), w.databaseCount(), w.requestCount(), 0, 0, outputs.range(),
                      outputs.exclusions());
}

RangeCall rangeCallOf(InfoOutputs &outputs) {
    return RangeCall{outputs.start(), outputs.end(), outputs.frequency()};
}

} // namespace bench
