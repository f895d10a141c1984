/*
 * null_control.h - control of the null database libraries that the
 * benchmarks put in place of tqvapi64 and tqvdapi64.
 *
 * Every operation of the null libraries returns at once: no store, no
 * journal, no lock. What they write is fixed and cheap (a prepared record, a
 * counter-made series code, a prepared names text), so that a benchmark
 * measures the caller and not the library.
 *
 * To show that Kovrap and a plain loop made the very same calls, each library
 * can fold every call it receives (operation, strings by content, ints, the
 * value a count pointer holds, the row pointer) into a digest. Recording is
 * off by default and costs one test per call.
 */
#ifndef KOVRAP_NULL_CONTROL_H
#define KOVRAP_NULL_CONTROL_H

#if defined(_WIN32)
#define TQVNULL_API __declspec(dllimport)
#else
#define TQVNULL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Digest of the calls one library received while recording. */
typedef struct TqvNullDigest {
    unsigned long long hash;
    long long calls;
} TqvNullDigest;

/* Local library (tqvapi64). */
/** Clears the digest and starts (on != 0) or stops recording. */
TQVNULL_API void tqvnull_local_record(int on);
TQVNULL_API TqvNullDigest tqvnull_local_digest(void);
/** Number of series TQVGetNextVar yields for any open database. */
TQVNULL_API void tqvnull_local_set_series(int count);

/* Direct library (tqvdapi64). */
TQVNULL_API void tqvnull_direct_record(int on);
TQVNULL_API TqvNullDigest tqvnull_direct_digest(void);
/** The text each TQVDGetNames call writes, and how many calls answer 0
 *  before the end-of-names status. The text is copied. */
TQVNULL_API void tqvnull_direct_set_names(const char *text, int calls);

#ifdef __cplusplus
}
#endif

#endif
