/*
 * Kovrap.h - the public interface of Kovrap64.dll (libKovrap64.so on Linux).
 *
 * Kovrap reads time-series databases through two closed libraries of the same
 * maker: tqvapi64 (the local library, which opens database files) and
 * tqvdapi64 (the direct library, a data service that takes a log-in). Each
 * export that reads data takes a direct flag: nonzero selects the direct
 * library, zero the local one.
 *
 * Ground rules for a host:
 *  - The host owns every array, record and text buffer it passes. No capacity
 *    is ever passed, but to c_kovraGetCodesSized: size every list and column
 *    for requestCount entries and every text buffer for its field's width
 *    (see SeriesInfoColumns).
 *  - Error out-parameters are written only on failure: set them to 0 first.
 *  - A pointer that a call does not need for the work asked may be null
 *    (an error cell, a status list, a column, the range records, windows
 *    when no request has code 1792, ...): that part is skipped and the rest
 *    of the call is as usual. docs/reference/README.md lists them per export.
 *  - On the direct library a series code that holds a comma cannot travel
 *    in the comma-joined code lists: its request fails as an unknown series.
 *  - The libraries keep their merge-data setting and open databases
 *    process-wide. Do not run two of c_kovraGetCodes, c_kovraSeriesInfo and
 *    c_kovraGetData at the same time on different threads.
 *  - Kovrap keeps no state between calls and needs no initialisation.
 *
 * Dates: a "period date" is the form a frequency code gives (YYYY for 10,
 * YYYYQ for 30, YYYYMM for 40, YYYYMMDD for 51 to 57, 60 and 61); a
 * "calendar date" is YYYYMMDD. The missing value is the double 1e9
 * (KOVRAP_MISSING).
 *
 * This header compiles as C99 and as C++.
 */
#ifndef KOVRAP_H
#define KOVRAP_H

#if defined(_WIN32)
#if defined(KOVRAP_BUILDING)
#define KOVRAP_API __declspec(dllexport)
#elif defined(KOVRAP_STATIC)
#define KOVRAP_API
#else
#define KOVRAP_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define KOVRAP_API __attribute__((visibility("default")))
#else
#define KOVRAP_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** Chunk size of the direct library's code lists: 1000. Exported as data. */
extern KOVRAP_API const int TQVDchunk;

/** The missing value written into every slot without an observation. */
#define KOVRAP_MISSING 1e9

/** Size of the buffer that directCodelist fills. */
#define KOVRAP_CODELIST_BYTES 10000

/* Widths of the text columns of c_kovraSeriesInfo, the terminating NUL
 * included: each host buffer of a column holds at least this many bytes. */
#define KOVRAP_CODE_WIDTH 10
#define KOVRAP_TEXT1_WIDTH 8
#define KOVRAP_TEXT2_WIDTH 10
#define KOVRAP_TEXT3_WIDTH 8
#define KOVRAP_TEXT4_WIDTH 8
#define KOVRAP_TEXT5_WIDTH 82
#define KOVRAP_TEXT6_WIDTH 10
#define KOVRAP_TEXT7_WIDTH 84

/* The windowed advanced count (ZOZurevAdvancedCount) and its statuses. */
#define KOVRAP_ADVANCED_WINDOWED 1792       /**< advanced code aligned by its own window */
#define KOVRAP_STATUS_TOO_FEW_PERIODS 834   /**< fewer periods than the frequency needs */
#define KOVRAP_STATUS_SEGMENTS_MISMATCH 835 /**< the aligned parts do not fill the row */
#define KOVRAP_STATUS_NO_MEMORY 836         /**< Kovrap could not allocate what it needed */

/* Frequency codes of the libraries. A period date has the form its code
 * gives: YYYY, YYYYQ, YYYYMM, or YYYYMMDD for the weekly, daily and
 * business-day codes. */
#define KOVRAP_FREQ_ANNUAL 10
#define KOVRAP_FREQ_QUARTERLY 30
#define KOVRAP_FREQ_MONTHLY 40
#define KOVRAP_FREQ_WEEKLY_MON 51 /**< weeks ending on Monday */
#define KOVRAP_FREQ_WEEKLY_TUE 52
#define KOVRAP_FREQ_WEEKLY_WED 53
#define KOVRAP_FREQ_WEEKLY_THU 54
#define KOVRAP_FREQ_WEEKLY_FRI 55
#define KOVRAP_FREQ_WEEKLY_SAT 56
#define KOVRAP_FREQ_WEEKLY_SUN 57 /**< weeks ending on Sunday */
#define KOVRAP_FREQ_DAILY 60
#define KOVRAP_FREQ_BUSINESS 61
/** Asked of the common range, 57 stands for the weekly group: the weekday is
 *  taken from the first series that has one. */
#define KOVRAP_FREQ_WEEKLY_GROUP KOVRAP_FREQ_WEEKLY_SUN
/** Asked of the common range: the lowest code among the usable series. */
#define KOVRAP_FREQ_LOWEST 1000

/* Values of attribute 6 with which the common range sets aside a series
 * finer than the chosen frequency instead of counting its dates. What they
 * mean beyond that is the libraries'. */
#define KOVRAP_ATTRIBUTE6_SET_ASIDE_0 0
#define KOVRAP_ATTRIBUTE6_SET_ASIDE_9 9

/* The sized code listing (c_kovraGetCodesSized) and its own statuses, which
 * it returns negated. */
#define KOVRAP_STATUS_BAD_CAPACITY 837  /**< negative capacity, or null buffer with room */
#define KOVRAP_STATUS_NAMES_OVERRUN 838 /**< a TQVDGetNames text ran past Kovrap's scratch */
#define KOVRAP_STATUS_LIST_TOO_LONG 839 /**< the list's length does not fit an int */
/** What Kovrap relies on: one TQVDGetNames text, its NUL included, fits in
 *  this many bytes (1 MiB), the scratch that each text is written into. */
#define KOVRAP_NAMES_TEXT_BYTES 1048576

/* ------------------------------------------------------------------------ */
/* Host records. Fields are in this order with the platform's natural       */
/* alignment; on x64 a record that starts with an int has 4 bytes of        */
/* padding before its first pointer.                                         */
/* ------------------------------------------------------------------------ */

/** Status lists of c_kovraSeriesInfo. */
typedef struct InfoStatusLists {
    int classifyOnly;  /**< in: nonzero only sorts requests; no columns, no range */
    int *statusCounts; /**< out: 7 ints, the length of each list below */
    int *statusList0;  /**< open failed, or information status 1 */
    int *statusList1;  /**< information status 2 */
    int *statusList2;  /**< status 3, and status 4 on the local library */
    int *statusList3;  /**< status 4 on the direct library */
    int *statusList4;  /**< status 5 */
    int *statusList5;  /**< status 6 */
    int *statusList6;  /**< any other nonzero status */
} InfoStatusLists;

/** Columns of c_kovraSeriesInfo, each indexed by request index. Text columns
 *  are arrays of pointers to host buffers of at least these widths:
 *  KOVRAP_CODE_WIDTH and KOVRAP_TEXT1_WIDTH to KOVRAP_TEXT7_WIDTH. */
typedef struct SeriesInfoColumns {
    char **code;
    int *firstDate; /**< calendar date of the last day of the first period */
    int *lastDate;  /**< calendar date of the last day of the last period */
    int *attribute1;
    int *frequency;
    int *attribute2;
    int *attribute3;
    int *attribute4;
    int *attribute5;
    int *attribute6;
    char **text1;
    char **text2;
    char **text3;
    char **text4;
    char **text5;
    char **text6;
    char **text7;
} SeriesInfoColumns;

/** Common range of c_kovraSeriesInfo. frequency, start and end are read on
 *  entry (requested code, or 1000 for the lowest, or 57 for the weekly group;
 *  calendar dates or -1) and replaced by the chosen code and period dates. */
typedef struct CommonRange {
    int computeRange; /**< in: nonzero asks for the common range */
    int *frequency;
    int *start;
    int *end;
    int *observationCount; /**< out: periods from start to end */
} CommonRange;

/** Requests set aside by the common range. */
typedef struct RangeExclusions {
    int reserved;             /**< neither read nor written */
    int *exclusionCounts;     /**< out: 3 ints, the lengths of the lists below */
    int *emptyList;           /**< attribute1 of 0 */
    int *higherFrequencyList; /**< above the chosen frequency */
    int *lowerFrequencyList;  /**< below the frequency floor */
} RangeExclusions;

/** Per-request transformations of c_kovraGetData, each an int array indexed
 *  by request index. transformCode[0] is also the master switch: 0 turns
 *  every transformation off. Note the field order: paramB comes before
 *  paramA; a foreign-function declaration must follow it exactly. */
typedef struct TransformArrays {
    int *transformCode; /**< math code (-1: none) or advanced operation code */
    int *paramB;        /**< second parameter of an advanced count */
    int *paramA;        /**< first parameter; for 1792 the lower span limit */
    int *spanEnd;       /**< for 1792 the upper span limit, 0 for none */
    int *paramC;        /**< third parameter of an advanced count */
    int *advancedFlag;  /**< nonzero: advanced count, zero: math count */
    void *reserved;     /**< never read */
    int *countStatus;   /**< out: status of a failed advanced count */
} TransformArrays;

/** Base windows of the code-1792 counts, in the order the call performs them. */
typedef struct AdvancedWindows {
    int *windowStart;
    int *windowEnd;
} AdvancedWindows;

/* ------------------------------------------------------------------------ */
/* Calendar                                                                  */
/* ------------------------------------------------------------------------ */

/** 1 for a leap year, else 0. A year below 200 is read as 1900 + year. */
KOVRAP_API int isLeapYear(int year);

/** Calendar date of the last day of a period; 0 for an unknown code, a
 *  quarter digit outside 1..4, a month outside 1..12, or a date that does
 *  not fit an int. */
KOVRAP_API int tqvdateToYmd(int periodDate, int frequency);

/** Period date of a calendar date: the year (10), year and quarter (30),
 *  year and month (40); at the weekly codes 51..57, daily 60 and business
 *  days 61 the calendar date itself, unchanged, which at the weekly codes
 *  and 61 may be a day inside a period (the database library reads it);
 *  -1 for an unknown code. */
KOVRAP_API int ymdToTqvdate(int calendarDate, int frequency);

/** Writes the calendar dates of observations 1..count from start into
 *  dates[0..count-1], through the local library. Nothing for count <= 0. */
KOVRAP_API void c_kovraDateSeq(int *dates, int start, int count, int frequency);

/* ------------------------------------------------------------------------ */
/* Catalogue                                                                 */
/* ------------------------------------------------------------------------ */

/** Fills buffer (KOVRAP_CODELIST_BYTES bytes) with the comma-joined codes of
 *  requests first .. first+999 whose dbNames entry equals database; a code
 *  that holds a comma is left out. Stops at
 *  a whole code rather than overflow the buffer. A negative first lists
 *  nothing; the bytes after the list are zero. */
KOVRAP_API void directCodelist(char *buffer, int first, const char *const *codes,
                               const char *const *dbNames, const char *database, int requestCount);

/** Writes every series code of a database, comma-joined, into output: at
 *  most 10 bytes per series plus 1 on the local library; size it so.
 *  Returns the library's close status, or the open's status on a failed
 *  open; *error is set to 1 when the open or the first direct listing fails. */
KOVRAP_API int c_kovraGetCodes(int direct, char *output, const char *database, int *error);

/** Extension: the listing of c_kovraGetCodes, same library calls, into a
 *  buffer of capacity bytes. Writes the whole codes that fit, comma-joined,
 *  always NUL-terminated inside the buffer when capacity >= 1, never a cut
 *  code. Returns the length of the whole list without its NUL (it fitted iff
 *  the result < capacity), as snprintf does; buffer may be null with
 *  capacity 0. A negative result is a failure, the buffer then holding the
 *  empty text: -s for a library status s (a failed open, the direct
 *  library's failed first call, a nonzero close; s itself if negative), or
 *  -837, -838, -839
 *  (KOVRAP_STATUS_BAD_CAPACITY, ..._NAMES_OVERRUN, ..._LIST_TOO_LONG) or
 *  -836 (KOVRAP_STATUS_NO_MEMORY). */
KOVRAP_API int c_kovraGetCodesSized(int direct, const char *database, char *buffer, int capacity);

/** Sorts requests into status lists, fills the columns of the successful
 *  ones and, on demand, chooses a common frequency and range. */
KOVRAP_API void c_kovraSeriesInfo(int direct, InfoStatusLists *status, SeriesInfoColumns *columns,
                                  const char *const *codes, const char *const *dbNames,
                                  const char *const *databases, int databaseCount, int requestCount,
                                  int merge, int spare, CommonRange *range,
                                  RangeExclusions *exclusions);

/* ------------------------------------------------------------------------ */
/* Data retrieval                                                            */
/* ------------------------------------------------------------------------ */

/** Fills values (requestCount rows of obsPerSeries doubles) with each
 *  request's observations from startDate to endDate and applies its
 *  transformation. *error receives 1 on a failed open or a direct-path code
 *  with a comma, the status of a failed fetch or math count, or 836
 *  (KOVRAP_STATUS_NO_MEMORY) when the direct path's code list cannot be
 *  allocated; failed advanced counts go to countStatus. Every way
 *  out restores the merge-data setting and closes the databases. */
KOVRAP_API void c_kovraGetData(int direct, double *values, const char *const *codes,
                               const char *const *dbNames, const char *const *databases,
                               int databaseCount, int requestCount, int startDate, int endDate,
                               int frequency, int merge, int obsPerSeries,
                               TransformArrays *transforms, AdvancedWindows *windows, int *error);

/** Runs advanced count 1792 (KOVRAP_ADVANCED_WINDOWED) over its own window
 *  and aligns it into the row. Returns 0, KOVRAP_STATUS_TOO_FEW_PERIODS,
 *  KOVRAP_STATUS_SEGMENTS_MISMATCH, KOVRAP_STATUS_NO_MEMORY (no memory for
 *  the scratch values) or the advanced count's own status; on failure the
 *  row is untouched. */
KOVRAP_API int ZOZurevAdvancedCount(int direct, TransformArrays *transforms, int index,
                                    int windowStart, int windowEnd, int startDate, int endDate,
                                    int frequency, double *values, int obsPerSeries);

/* ------------------------------------------------------------------------ */
/* Pass-throughs: one library operation each, result unchanged.              */
/* ------------------------------------------------------------------------ */

/** Aggregation mode of the selected library. */
KOVRAP_API int c_getAggmode(int direct);

/** Sets the aggregation mode of the selected library. */
KOVRAP_API int c_setAggmode(int direct, int mode);

/** Periods from start to end, both included (local library). */
KOVRAP_API int c_kovraGetObsNum(int start, int end, int frequency);

/** Period date of observation number obs (1 = start), local library. */
KOVRAP_API int c_kovraGetDate(int start, int obs, int frequency);

/** Writes 1 into *interfaceVersion and both libraries' version texts
 *  (buffers of at least 20 bytes); returns the direct library's result. */
KOVRAP_API int c_kovraCVersion(int *interfaceVersion, char *localVersion, char *directVersion);

/** Logs in to the direct library's data service. The arguments go through
 *  unchanged; the result is also written into *status. */
KOVRAP_API int c_kovraAuthenticate(const char *user, const char *password, int *status,
                                   const char *service);

#ifdef __cplusplus
}
#endif

#endif /* KOVRAP_H */
