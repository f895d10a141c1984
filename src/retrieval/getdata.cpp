// The bulk fetch: one row of observations per request, across the named
// databases, each row transformed in place.
#include "binding/bracket.h"
#include "binding/guard.h"
#include "binding/library.h"
#include "binding/walk.h"

#include "Kovrap.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr int kNoMath = -1;
constexpr int kOpenFailed = 1;
// A request whose code cannot travel in the direct library's code list ends
// the call as a series the library does not know would: its row untouched
// and the status a failed open gives.
constexpr int kUnlistedCode = 1;

struct Call {
    int direct;
    double *values;
    const char *const *codes;
    const char *const *dbNames;
    const char *const *databases;
    int databaseCount;
    int requestCount;
    int startDate;
    int endDate;
    int frequency;
    int obsPerSeries;
    TransformArrays *transforms;
    AdvancedWindows *windows;
};

// The library takes the math operation code negated. Negated in unsigned
// arithmetic, so that the most negative code passes through as it is
// instead of overflowing.
int negated(int code) noexcept {
    return static_cast<int>(0u - static_cast<unsigned>(code));
}

class Retrieval {
  public:
    Retrieval(const kovrap::Library &library, const Call &call)
        : library_(library), call_(call), count_(call.obsPerSeries),
          rowLength_(call.obsPerSeries > 0 ? call.obsPerSeries : 0) {}

    // Returns the status for the host's error: 0 when the call went through.
    int run() {
        const Call &c = call_;
        kovrap::RequestWalk walk(
            kovrap::Requests{c.codes, c.dbNames, c.databases, c.databaseCount, c.requestCount},
            library_.direct);
        // Without requests nothing is transformed, and the host's transform
        // arrays may be empty; without transform arrays nothing is either.
        transformsOn_ = c.requestCount > 0 && c.transforms != nullptr &&
                        c.transforms->transformCode != nullptr &&
                        c.transforms->transformCode[0] != 0;
        // What every fetch passes, in locals that the walk keeps in registers
        // across the library calls.
        const Fetch fetch{library_.getDataCount, c.dbNames, c.values,   rowLength_,
                          c.startDate,           c.endDate, c.frequency};

        for (int d = 0; d < c.databaseCount; ++d) {
            const int opened = library_.openDatabase(c.databases[d]);
            // The direct library retries only during the first open of a call.
            if (library_.direct)
                library_.enableRetries(0);
            if (opened != 0)
                return kOpenFailed;
            int status = 0;
            walk.forEach(
                d,
                [&](int k, const char *code) {
                    status = fetchAndTransform(fetch, k, code);
                    return status == 0;
                },
                [&](int) {
                    status = kUnlistedCode;
                    return false;
                });
            if (status != 0)
                return status;
        }
        return 0;
    }

  private:
    struct Fetch {
        int (*getDataCount)(const char *database, const char *code, int start, int end,
                            int frequency, double *output, int *count);
        const char *const *dbNames;
        double *values;
        std::ptrdiff_t rowLength;
        int startDate;
        int endDate;
        int frequency;
    };

    // Fetches request k into its row and applies its transformation. A
    // nonzero result ends the call.
    int fetchAndTransform(const Fetch &f, int k, const char *code) {
        // 64-bit offset: the matrix may hold more than 2^31 doubles.
        double *row = f.values + static_cast<std::ptrdiff_t>(k) * f.rowLength;
        const int fetched =
            f.getDataCount(f.dbNames[k], code, f.startDate, f.endDate, f.frequency, row, &count_);
        if (fetched != 0 || !transformsOn_)
            return fetched;
        return transform(k, row);
    }

    // Applies request k's transformation to its fetched row.
    int transform(int k, double *row) {
        const Call &c = call_;
        const TransformArrays &t = *c.transforms;
        const int transformCode = t.transformCode[k];
        if (t.advancedFlag[k] != 0) {
            advancedCount(k, transformCode, row);
            return 0;
        }
        if (transformCode == kNoMath)
            return 0;
        return library_.applyMathCount(negated(transformCode), c.startDate, c.endDate, c.frequency,
                                       row, &count_);
    }

    // A failed advanced count is the request's own failure: recorded, its
    // row set to missing values, and the call goes on.
    void advancedCount(int k, int transformCode, double *row) {
        const Call &c = call_;
        TransformArrays &t = *c.transforms;
        int status;
        if (transformCode == KOVRAP_ADVANCED_WINDOWED) {
            const std::size_t m = windowOrdinal_++;
            status = ZOZurevAdvancedCount(c.direct, c.transforms, k, c.windows->windowStart[m],
                                          c.windows->windowEnd[m], c.startDate, c.endDate,
                                          c.frequency, row, c.obsPerSeries);
        } else {
            const TQVAdvancedOperation operation{transformCode, t.paramA[k], t.paramB[k],
                                                 t.paramC[k]};
            status = library_.applyAdvancedCount(&operation, c.startDate, c.endDate, c.frequency,
                                                 row, &count_);
        }
        if (status == 0)
            return;
        if (t.countStatus != nullptr)
            t.countStatus[k] = status;
        if (c.obsPerSeries > 0)
            std::fill_n(row, c.obsPerSeries, KOVRAP_MISSING);
    }

    const kovrap::Library &library_;
    const Call &call_;
    // The observation count cell that every fetch and count of the call
    // shares; the library may change it, it is never reset nor read back.
    int count_;
    // Row length for addressing rows: a negative row length would address
    // rows before the host's matrix.
    std::ptrdiff_t rowLength_;
    bool transformsOn_ = false;
    // Which entry of AdvancedWindows the next windowed count takes: counted
    // over the whole call, across databases.
    std::size_t windowOrdinal_ = 0;
};

} // namespace

extern "C" KOVRAP_API void c_kovraGetData(int direct, double *values, const char *const *codes,
                                          const char *const *dbNames, const char *const *databases,
                                          int databaseCount, int requestCount, int startDate,
                                          int endDate, int frequency, int merge, int obsPerSeries,
                                          TransformArrays *transforms, AdvancedWindows *windows,
                                          int *error) {
    const kovrap::Library &library = kovrap::selectLibrary(direct);
    kovrap::Bracket bracket(library, {merge != 0 ? 3 : 1});
    const Call call{direct,        values,       codes,     dbNames, databases,
                    databaseCount, requestCount, startDate, endDate, frequency,
                    obsPerSeries,  transforms,   windows};
    // No memory for the direct path's code list ends the call as the windowed
    // count ends when its scratch cannot be had; the local path needs none.
    const int status =
        kovrap::guarded(KOVRAP_STATUS_NO_MEMORY, [&] { return Retrieval(library, call).run(); });
    // Every way out, early ones included, restores the setting and closes.
    bracket.close();
    if (status != 0 && error != nullptr)
        *error = status;
}
