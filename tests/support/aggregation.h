// Independent reference for the aggregation modes: what one target period
// holds, from the stored observations that fall into it.
#ifndef KOVRAP_TEST_AGGREGATION_H
#define KOVRAP_TEST_AGGREGATION_H

#include <vector>

namespace kovrap_test {

// Mode 1 sums, 2 takes the first, 3 the last, anything else averages the
// observations that are present; a period with none is missing.
inline double combinePeriod(const std::vector<double> &observations, int mode, double missing) {
    std::vector<double> present;
    for (double v : observations)
        if (v != missing)
            present.push_back(v);
    if (present.empty())
        return missing;
    double sum = 0;
    for (double v : present)
        sum += v;
    switch (mode) {
    case 1:
        return sum;
    case 2:
        return present.front();
    case 3:
        return present.back();
    default:
        return sum / static_cast<double>(present.size());
    }
}

} // namespace kovrap_test

#endif
