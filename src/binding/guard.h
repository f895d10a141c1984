// Exports never let an exception reach the host: a failure inside (in
// practice only an allocation) becomes the export's failure value, and the
// library bracket still restores the setting and closes on the way out.
#ifndef KOVRAP_GUARD_H
#define KOVRAP_GUARD_H

#include <utility>

namespace kovrap {

template <class Result, class Body> Result guarded(Result onFailure, Body &&body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return onFailure;
    }
}

template <class Body> void guarded(Body &&body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

} // namespace kovrap

#endif
