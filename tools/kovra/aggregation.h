// The library's aggregation mode, set for one fetch and then put back. The
// names of the modes are host rules (rules.h).
#ifndef KOVRA_AGGREGATION_H
#define KOVRA_AGGREGATION_H

#include "api.h"
#include "failure.h"

#include <string>

namespace kovra {

// Sets the mode of one library for as long as it lives, and puts the
// library's previous mode back when it ends, whether the work between
// succeeded or threw: the mode is process-wide state of the library.
class AggregationMode {
  public:
    AggregationMode(const Api &api, int direct, int mode)
        : api_(api), direct_(direct), previous_(api.getAggmode(direct)) {
        const int status = api.setAggmode(direct, mode);
        if (status != 0)
            fail("the library refused aggregation mode " + std::to_string(mode) + " (status " +
                 std::to_string(status) + ")");
        set_ = true;
    }
    ~AggregationMode() {
        if (set_)
            api_.setAggmode(direct_, previous_);
    }
    AggregationMode(const AggregationMode &) = delete;
    AggregationMode &operator=(const AggregationMode &) = delete;

  private:
    const Api &api_;
    int direct_;
    int previous_;
    bool set_ = false;
};

} // namespace kovra

#endif
