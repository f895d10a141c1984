// The stand-in store filled for the realistic fetches, and the stand-ins'
// journal as the record of the calls a run made.
#ifndef KOVRAP_BENCH_STORE_H
#define KOVRAP_BENCH_STORE_H

#include "workload.h"

#include <functional>
#include <string>
#include <vector>

namespace bench {

// Series per database: every database holds the same codes, codeOf(0) to
// codeOf(kSeriesPerDatabase - 1), monthly from January 1990 to December 2023.
constexpr int kSeriesPerDatabase = 100;
// What a realistic fetch asks for: twenty years of the monthly series.
constexpr Window kStoreWindow{200001, 201912, 40, 240};

// Resets the stand-ins, logs the direct library in and registers databaseOf(0)
// to databaseOf(databases - 1) in the store.
void fillStore(int databases);

// The journal entries of the calls that run() makes; the journal is cleared
// before and after.
std::vector<std::string> journalOf(const std::function<void()> &run);

// The first entry of a fetch or information call that did not answer 0, or
// an empty string.
std::string firstFailure(const std::vector<std::string> &journal);

} // namespace bench

#endif
