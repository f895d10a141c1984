// The common range that ends an information query on demand: the requests
// that cannot take part are set aside, and the usable ones decide one
// frequency, one start and end period and the number of observations between.
#ifndef KOVRAP_RANGE_H
#define KOVRAP_RANGE_H

#include "Kovrap.h"
#include "binding/library.h"

namespace kovrap {

// Reads the requested code, start and end from range and the firstDate,
// lastDate, attribute1, frequency and attribute6 columns of requests 0 to
// requestCount - 1; writes the exclusion counts and lists, then start, end,
// frequency and the library's observation count. Any nonzero merge sets
// aside series of code 61 when the chosen code is 60. Null exclusion counts
// or lists, and a null observation count, are not written; everything else
// named here is required.
// Allocates nothing: two passes over the columns, the first only for the
// lowest code.
void computeCommonRange(const Library &library, const SeriesInfoColumns &columns, int requestCount,
                        int merge, const CommonRange &range, const RangeExclusions &exclusions);

} // namespace kovrap

#endif
