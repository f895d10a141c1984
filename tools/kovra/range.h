// The common range in the user's words: the request that --freq, --from and
// --to make, why a series was set aside, and the window's line.
#ifndef KOVRA_RANGE_H
#define KOVRA_RANGE_H

#include "information.h"

#include <string>
#include <vector>

namespace kovra {

// The common range that --freq, --from and --to ask for: calendar dates of
// the first day of --from and the last day of --to. Throws a usage Failure.
RangeRequest rangeRequest(const Api &api, const Options &options);

// Why the common range set a series aside: "ECON:GDP has no observations".
std::string setAsideReason(const SeriesRef &series, const SeriesInfo &info, int frequency);

// Fails when no series takes part in the common range, or (a usage Failure)
// when its window holds no period or starts after it ends, naming the ends
// as the user wrote them.
void requireUsableRange(const Api &api, const std::vector<SeriesRef> &series,
                        const InfoResult &info, const RangeRequest &request);

// "quarterly, 1960Q1 to 1986Q4, 108 observations"; for the weekly group
// with "; the weekly group took weeks ending Friday from MARKETS:DAXW" after it.
std::string rangeLine(const Api &api, const InfoResult &info);

} // namespace kovra

#endif
