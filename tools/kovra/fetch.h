// fetch in three steps, each testable on its own: the plan reads the request
// by the host rules, the fetch asks the library, and the render writes what
// was fetched as notes, a table, CSV or a chart. Only the fetch calls the
// library; the plan asks it nothing but the calendar.
#ifndef KOVRA_FETCH_H
#define KOVRA_FETCH_H

#include "args.h"
#include "commands.h"
#include "information.h"
#include "rules.h"
#include "session.h"
#include "svg.h"

#include <string>
#include <vector>

namespace kovra {

// What a fetch asks for, read and checked before anything is fetched.
struct FetchPlan {
    std::vector<SeriesRef> series;
    RangeRequest range;
    Operation op;         // op.present false: the values as they are
    int aggregation = -1; // the library's mode for the fetch; -1: its mode stays
};

// The window, the operation and the aggregation of `options` over the series
// already read from its operands. A usage Failure for anything the rules
// refuse; a rebase date is read here, its period once the window is known.
FetchPlan planFetch(const Options &options, const Api &api, std::vector<SeriesRef> series);

// One series as fetched, in the order asked.
struct FetchedSeries {
    SeriesRef ref;
    SeriesInfo info;            // its information and its role in the range
    std::vector<double> values; // one per period; empty when it took no part
    std::string failure;        // the note when its operation failed; its values are not drawn
};

// What the library gave: the window and each series.
struct FetchResult {
    int frequency = 0;
    std::vector<int> dates; // calendar dates of the periods' last days
    std::string rangeLine;  // "quarterly, 1960Q1 to 1960Q4, 4 observations[; the weekly ...]"
    std::string groupDay;   // the weekly group's day and where it came from, when it took one
    Operation op;
    std::vector<FetchedSeries> series;
};

// The range, the library's aggregation mode for the fetch (put back after it,
// failed or not) and c_kovraGetData over the series that take part. A Failure
// for a database that does not open, an unknown series, an empty or too large
// window, a rebase date outside it, and a fetch the library refuses.
FetchResult fetchSeries(const Session &session, const FetchPlan &plan);

// The table (with the range line and the notes after it) or, with `csv`, the
// CSV lines with the notes beside them.
Output renderFetch(const FetchResult &result, bool csv);

// The chart of the series whose values can be drawn; the others are named
// in the legend with their notes.
std::string renderFetchChart(const FetchResult &result, ChartLayout layout);

} // namespace kovra

#endif
