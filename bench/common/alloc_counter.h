/*
 * alloc_counter.h - how much memory the process holds in malloc'd blocks.
 *
 * alloc_counter.c replaces malloc and its kin in the benchmark executable.
 * On Linux the executable's definitions take precedence over the C
 * library's for every shared library of the process, so allocations made
 * inside libKovrap64.so (operator new, calloc) are counted too.
 */
#ifndef KOVRAP_BENCH_ALLOC_COUNTER_H
#define KOVRAP_BENCH_ALLOC_COUNTER_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Usable bytes of all blocks allocated and not yet released. */
size_t bench_held_bytes(void);
/** Starts a new peak at what is held now. */
void bench_reset_peak(void);
/** The most held since the last bench_reset_peak. */
size_t bench_peak_bytes(void);

#ifdef __cplusplus
}

namespace bench {

// The most memory held during a stretch of code, above what was held when it
// began.
class PeakWatch {
  public:
    PeakWatch() : before_(bench_held_bytes()) { bench_reset_peak(); }
    size_t above() const { return bench_peak_bytes() - before_; }

  private:
    size_t before_;
};

} // namespace bench
#endif

#endif
