// Requests laid out the way a host passes them, and the plain loops that make
// the very same library calls as Kovrap without any of Kovrap's own work.
//
// The plain loops (the baselines) take their call lists from a plan prepared
// outside the measurement: which request goes to which database, and on the
// direct path the code list of each chunk. Everything Kovrap does beyond those
// calls, grouping requests, building lists, walking, copying columns, choosing
// the common range, is what a benchmark sees as the difference.
#ifndef KOVRAP_BENCH_WORKLOAD_H
#define KOVRAP_BENCH_WORKLOAD_H

#include "Kovrap.h"
#include "tqvlib.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace bench {

// The window of a fetch; by default January to December 2000, monthly.
struct Window {
    int start = 200001;
    int end = 200012;
    int frequency = 40;
    int obsPerSeries = 12;
};

// Series code number k: nine characters, so that a chunk of 1000 codes of one
// database fills the 10000-byte code list exactly.
std::string codeOf(int k);
// Name of database d.
std::string databaseOf(int d);
// A configuration's name, as "data direct 1000 10".
std::string keyOf(const char *exportName, bool direct, int requests, int databases);

struct FreeDeleter {
    void operator()(void *p) const noexcept;
};

// How requests are spread over databases.
enum class Layout {
    Interleaved, // request k in database k % databaseCount
    Sorted,      // in blocks: the first requests in database 0, and so on
    Shuffled,    // each in a database drawn at random (fixed seed)
};

// Parses "interleaved", "sorted" or "shuffled"; false for anything else.
bool parseLayout(const std::string &text, Layout &layout);
const char *nameOf(Layout layout);

// requestCount requests spread over databaseCount databases as the layout
// says; by default interleaved, so that every database's requests are
// interleaved with all the others. Every code and database name of a request
// is a string of its own, as a host that copies its strings passes them.
//
// Request k asks for series codeOf(k), or with seriesPerDatabase > 0 for
// codeOf((k / databaseCount) % seriesPerDatabase): then every database holds
// the same seriesPerDatabase codes and each is asked for in turn.
class Workload {
  public:
    Workload(int requestCount, int databaseCount, int seriesPerDatabase = 0,
             Window window = Window(), Layout layout = Layout::Interleaved);
    Workload(const Workload &) = delete;
    Workload &operator=(const Workload &) = delete;

    int requestCount() const { return requestCount_; }
    int databaseCount() const { return databaseCount_; }
    const char *const *codes() const { return codes_.data(); }
    const char *const *dbNames() const { return dbNames_.data(); }
    const char *const *databases() const { return databases_.data(); }
    // requestCount rows of window().obsPerSeries doubles. Not touched until a library
    // writes it, so a large matrix costs no memory against the null library.
    double *values() const { return values_.get(); }
    double *row(int k) const {
        return values_.get() + static_cast<std::ptrdiff_t>(k) * window_.obsPerSeries;
    }
    const Window &window() const { return window_; }
    // Transformations off: transformCode[0] is 0.
    TransformArrays *transforms() { return &transforms_; }
    AdvancedWindows *windows() { return &windows_; }

  private:
    int requestCount_;
    int databaseCount_;
    Window window_;
    std::vector<char> text_;
    std::vector<const char *> codes_;
    std::vector<const char *> dbNames_;
    std::vector<const char *> databases_;
    std::unique_ptr<double, FreeDeleter> values_;
    std::vector<int> transformInts_;
    TransformArrays transforms_{};
    AdvancedWindows windows_{};
};

// The host's records of c_kovraSeriesInfo for requestCount requests: status
// lists, every column with its own text buffers, the common range (lowest
// frequency, start and end from the series) and the exclusion lists.
class InfoOutputs {
  public:
    explicit InfoOutputs(int requestCount);
    InfoOutputs(const InfoOutputs &) = delete;
    InfoOutputs &operator=(const InfoOutputs &) = delete;

    int requestCount() const { return requestCount_; }
    InfoStatusLists *status() { return &status_; }
    SeriesInfoColumns *columns() { return &columns_; }
    // Resets the range's inputs, which the call replaces by its outputs.
    CommonRange *range();
    RangeExclusions *exclusions() { return &exclusions_; }
    // What the last call chose.
    int start() const { return start_; }
    int end() const { return end_; }
    int frequency() const { return frequency_; }

  private:
    int requestCount_;
    std::vector<int> ints_;
    std::vector<char> text_;
    std::vector<char *> textPointers_;
    InfoStatusLists status_{};
    SeriesInfoColumns columns_{};
    int frequency_ = 1000;
    int start_ = -1;
    int end_ = -1;
    int observations_ = 0;
    CommonRange range_{};
    RangeExclusions exclusions_{};
};

// One per-request library call of a plain loop. On the local path the loop
// reads the code from the host's array, as any caller must; on the direct
// path it passes the prepared list or null.
struct PlannedCall {
    int request;
    const char *list; // direct path: the chunk's code list, or null
};

// The per-request calls in the order Kovrap makes them: database by database,
// requests in index order; on the direct path the chunk's code list with the
// first call of each chunk of 1000, null after it.
class Plan {
  public:
    Plan(const Workload &workload, bool direct);

    const std::vector<PlannedCall> &calls(int d) const {
        return calls_[static_cast<std::size_t>(d)];
    }

  private:
    std::vector<std::vector<PlannedCall>> calls_;
    std::deque<std::string> lists_; // stable addresses
};

// The one period count that ends an information query with the common range:
// its arguments are what the range chose.
struct RangeCall {
    int start;
    int end;
    int frequency;
};

// The plain loops. Each makes exactly the library calls of the Kovrap export
// named, for the workload and plan given, and nothing else.
void baselineGetData(bool direct, const Workload &workload, const Plan &plan);
// range: the period count of the common range, or null when none is made.
void baselineSeriesInfo(bool direct, const Workload &workload, const Plan &plan,
                        const RangeCall *range);

// c_kovraGetData and c_kovraSeriesInfo with the workload's arguments: its
// window, merge off, transformations off; information with the lowest
// frequency and the range from the series.
// kovrapGetData returns the call's error status.
int kovrapGetData(bool direct, Workload &workload);
void kovrapSeriesInfo(bool direct, Workload &workload, InfoOutputs &outputs);
// The period count that the last kovrapSeriesInfo made for its range.
RangeCall rangeCallOf(InfoOutputs &outputs);

} // namespace bench

#endif
