/*
 * tqv_standin.h - control interface of the stand-in database libraries.
 *
 * The stand-ins tqvapi64 (local) and tqvdapi64 (direct) export exactly the
 * operations of tqvlib.h and forward them to one shared engine library,
 * tqvstandin, which holds the series store, both libraries' state, one call
 * journal across both libraries, and the fault injection used by tests.
 * Nothing here is part of Kovrap's interface.
 *
 * Journal entries read `Name(args) -> result`, for example
 *   TQVOpenDatabase("alpha") -> 0
 *   TQVDGetInfo(0, "A1,C3", out) -> 0
 *   TQVDGetInfo(0, null, out) -> 0
 *   TQVGetDataCount("alpha", "A1", 200001, 200012, 40, out, &12) -> 0
 *   TQVApplyAdvancedCount({1792,0,4,0}, 200001, 200012, 40, out, &12) -> 0
 * Arguments are separated by ", ". Ints print in decimal, strings quoted,
 * null pointers as null, output buffers as out, an int pointer as & followed
 * by the value it held on entry, the parameters of an advanced count as
 * {operation,first,second,third}.
 */
#ifndef TQV_STANDIN_H
#define TQV_STANDIN_H

#if defined(_WIN32)
#if defined(TQVS_BUILDING)
#define TQVS_API __declspec(dllexport)
#else
#define TQVS_API __declspec(dllimport)
#endif
#else
#define TQVS_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses of the stand-ins. Information statuses 1 to 6 are the ones that
 * Kovrap sorts into its status lists. */
#define TQVS_OK 0
#define TQVS_NOT_FOUND 1         /* no such series in the database */
#define TQVS_NOT_OPEN 2          /* no database open, or not this one */
#define TQVS_NOT_LOGGED_IN 3     /* direct library before a successful log-in */
#define TQVS_NO_CODE_PENDING 4   /* direct library: the code list is used up */
#define TQVS_NO_SUCH_DATABASE 10 /* open: no such database or file */
#define TQVS_BAD_DATABASE 11     /* open: the file is malformed */
#define TQVS_BAD_WINDOW 20       /* end before start */
#define TQVS_BAD_FREQUENCY 21    /* unknown frequency code */
#define TQVS_HIGHER_FREQUENCY 22 /* asked for a higher frequency than stored */
#define TQVS_SHORT_BUFFER 23     /* count cell smaller than the window */
#define TQVS_BAD_OPERATION 30    /* unknown math or advanced operation code */
#define TQVS_TOO_SHORT 31        /* too few observations for the operation */
#define TQVS_BAD_LOGIN 40        /* wrong user or password */
#define TQVS_END_OF_NAMES 1011   /* TQVDGetNames: no more names */

/* ---- whole engine ---------------------------------------------------- */

/** Forgets everything: journal, injections, scripts, store, credentials,
 *  and both libraries' state (merge setting 0, retries and ANSI off,
 *  aggregation mode 0, nothing open, direct library logged out). Whether
 *  the journal is kept stays as it was. The weekly reading goes back to the
 *  one TQVS_WEEKLY_END named when the engine was created. */
TQVS_API void tqvs_reset(void);

/* ---- journal --------------------------------------------------------- */

/** Keeps the journal (on nonzero) or not (0, the start of every process:
 *  a process that never reads it must not grow with it). Either way the
 *  journal is cleared and the positions that tqvs_fail_at names are counted
 *  from 0 again; they are counted whether the journal is kept or not.
 *  Passwords are journaled as *** (null as null). */
TQVS_API void tqvs_set_journal(int on);
/** Clears only the journal, and counts positions from 0 again. */
TQVS_API void tqvs_clear_log(void);
/** Number of calls journaled since the last reset or clear (0 while the
 *  journal is off). */
TQVS_API int tqvs_log_size(void);
/** Entry i (0-based) as text, or null when out of range. Valid until the
 *  next call into the stand-ins. */
TQVS_API const char *tqvs_log_entry(int i);
/** Number of journaled calls of one operation, e.g. "TQVDGetInfo". */
TQVS_API int tqvs_log_count(const char *operation);

/* ---- fault injection -------------------------------------------------- */

/** The nth call (1-based; 0 = every call) of an operation answers result
 *  instead of doing its work: nothing is written, no state changes. */
TQVS_API void tqvs_inject(const char *operation, int nth, int result);
/** The call that gets journal position `position` (0-based) answers result
 *  instead of doing its work. */
TQVS_API void tqvs_fail_at(int position, int result);
/** The next call of an operation that writes doubles (GetDataCount,
 *  ApplyMathCount, ApplyAdvancedCount, either library) writes these n values
 *  (no more than its count cell allows) and answers 0. Scripts queue. */
TQVS_API void tqvs_script_values(const char *operation, const double *values, int n);

/* ---- series store ---------------------------------------------------- */

/** Registers an empty in-memory database under a name; a name already
 *  registered keeps its series. Both libraries can open it by that name.
 *  Returns 0. */
TQVS_API int tqvs_add_database(const char *name);
/** Adds a series. values[i] is the observation of period first + i; n may be
 *  0 for an empty series. Missing observations are 1e9. Returns 0, or
 *  TQVS_NO_SUCH_DATABASE. */
TQVS_API int tqvs_add_series(const char *database, const char *code, int frequency, int first,
                             int last, const double *values, int n);
/** Sets attributes 1 to 6 and texts 1 to 7 of a series (null texts: empty). */
TQVS_API int tqvs_set_attributes(const char *database, const char *code, const int attributes[6],
                                 const char *const texts[7]);
/** Makes TQVGetInfo/TQVDGetInfo answer this status for the series. */
TQVS_API int tqvs_set_info_status(const char *database, const char *code, int status);
/** Replaces the 256 record bytes that the information calls give for a series. */
TQVS_API int tqvs_set_record(const char *database, const char *code, const unsigned char *record);
/** Texts per TQVDGetNames call (default 100 codes). */
TQVS_API void tqvs_set_names_batch(int codesPerCall);
/** The user and password that TQVDAuthenticate accepts (besides any
 *  credentials file of the data directory). */
TQVS_API void tqvs_set_credentials(const char *user, const char *password);
/** Logs the direct library in (for the data folder of the moment) or out
 *  without a journal entry. */
TQVS_API void tqvs_set_logged_in(int on);
/** Version text of one library (at most 19 characters are kept). */
TQVS_API void tqvs_set_version(int direct, const char *text);

/* How a weekly count (codes 51 to 57) reads a day inside a week given as
 * the end of a window: the week that holds it (the default), or the last
 * week ending on or before it. A start always reads as the week that holds
 * it. The process starts with the reading of the environment variable
 * TQVS_WEEKLY_END ("holding" or "ended", read once, when the engine is
 * first used), so that a separate program can be run under either. */
#define TQVS_WEEK_HOLDING 0
#define TQVS_WEEK_ENDED 1
/** Sets the weekly reading for both libraries (GetObsNum and the windows of
 *  GetDataCount and the seasonal adjustment); any other value is ignored. */
TQVS_API void tqvs_set_weekly_end(int reading);

/* ---- state peeks, without journal entries ------------------------------ */

TQVS_API int tqvs_merge_setting(int direct);
TQVS_API int tqvs_retries(int direct);
TQVS_API int tqvs_ansi(int direct);
TQVS_API int tqvs_aggregation_mode(int direct);
/** Number of databases currently open in a library. */
TQVS_API int tqvs_open_count(int direct);
/** Whether the direct library is logged in for the current data folder. */
TQVS_API int tqvs_logged_in(void);
/** The weekly reading in force: TQVS_WEEK_HOLDING or TQVS_WEEK_ENDED. */
TQVS_API int tqvs_weekly_end(void);

#ifdef __cplusplus
}
#endif

#endif /* TQV_STANDIN_H */
