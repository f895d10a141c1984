/*
 * The glue between R and Kovrap, shared by its three files: loader.c loads
 * the library and resolves its exports, records.c builds the records and
 * vectors that cross the boundary, calls.c makes the calls.
 *
 * The records and constants below mirror the library's public header
 * include/Kovrap.h, so that the package builds from its own sources; the
 * tests compare them with the header (kv_c_layout, kv_c_constants).
 */
#ifndef KOVRAP_R_H
#define KOVRAP_R_H

#include <stddef.h>

#include <R.h>
#include <Rinternals.h>

/* ---- the header's constants, mirrored once ------------------------------ */

#define KV_MISSING 1e9 /* KOVRAP_MISSING: a slot without an observation */
#define KV_CODELIST_BYTES 10000
/* Widths of the text columns, the terminating NUL included. */
#define KV_CODE_WIDTH 10
#define KV_TEXT_WIDTHS                                                                             \
    { 8, 10, 8, 8, 82, 10, 84 }
#define KV_ADVANCED_WINDOWED 1792
#define KV_STATUS_TOO_FEW_PERIODS 834
#define KV_STATUS_SEGMENTS_MISMATCH 835
#define KV_STATUS_NO_MEMORY 836
/* The sized code listing's own statuses, returned negated, and the scratch
 * the direct library's texts are written into. */
#define KV_STATUS_BAD_CAPACITY 837
#define KV_STATUS_NAMES_OVERRUN 838
#define KV_STATUS_LIST_TOO_LONG 839
#define KV_NAMES_TEXT_BYTES 1048576
/* The libraries' frequency codes, Monday (51) to Sunday (57) weeks among
 * them; the common range also reads 57 as the weekly group and 1000 as the
 * lowest code of the series. */
#define KV_FREQ_CODES                                                                              \
    { 10, 30, 40, 51, 52, 53, 54, 55, 56, 57, 60, 61, 1000 }
#define KV_FREQ_NAMES                                                                              \
    {                                                                                              \
        "ANNUAL", "QUARTERLY", "MONTHLY", "WEEKLY_MON", "WEEKLY_TUE", "WEEKLY_WED", "WEEKLY_THU",  \
            "WEEKLY_FRI", "WEEKLY_SAT", "WEEKLY_SUN", "DAILY", "BUSINESS", "LOWEST"                \
    }
/* Attribute 6 values with which the common range sets aside a finer series. */
#define KV_ATTRIBUTE6_SET_ASIDE_0 0
#define KV_ATTRIBUTE6_SET_ASIDE_9 9

/* ---- records, in the library's field order and natural alignment ------- */

typedef struct InfoStatusLists {
    int classifyOnly;
    int *statusCounts;
    int *statusList0;
    int *statusList1;
    int *statusList2;
    int *statusList3;
    int *statusList4;
    int *statusList5;
    int *statusList6;
} InfoStatusLists;

typedef struct SeriesInfoColumns {
    char **code;
    int *firstDate;
    int *lastDate;
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

typedef struct CommonRange {
    int computeRange;
    int *frequency;
    int *start;
    int *end;
    int *observationCount;
} CommonRange;

typedef struct RangeExclusions {
    int reserved;
    int *exclusionCounts;
    int *emptyList;
    int *higherFrequencyList;
    int *lowerFrequencyList;
} RangeExclusions;

typedef struct TransformArrays {
    int *transformCode;
    int *paramB;
    int *paramA;
    int *spanEnd;
    int *paramC;
    int *advancedFlag;
    void *reserved;
    int *countStatus;
} TransformArrays;

typedef struct AdvancedWindows {
    int *windowStart;
    int *windowEnd;
} AdvancedWindows;

/* ---- the exports the package uses ---------------------------------------- */

typedef int (*tqvdate_to_ymd_fn)(int, int);
typedef int (*ymd_to_tqvdate_fn)(int, int);
typedef void (*date_seq_fn)(int *, int, int, int);
typedef int (*get_obs_num_fn)(int, int, int);
typedef int (*get_date_fn)(int, int, int);
typedef int (*get_codes_sized_fn)(int, const char *, char *, int);
typedef void (*series_info_fn)(int, InfoStatusLists *, SeriesInfoColumns *, const char *const *,
                               const char *const *, const char *const *, int, int, int, int,
                               CommonRange *, RangeExclusions *);
typedef void (*get_data_fn)(int, double *, const char *const *, const char *const *,
                            const char *const *, int, int, int, int, int, int, int,
                            TransformArrays *, AdvancedWindows *, int *);
typedef int (*version_fn)(int *, char *, char *);
typedef int (*authenticate_fn)(const char *, const char *, int *, const char *);
typedef int (*get_aggmode_fn)(int);
typedef int (*set_aggmode_fn)(int, int);

typedef struct KovrapApi {
    tqvdate_to_ymd_fn tqvdateToYmd;
    ymd_to_tqvdate_fn ymdToTqvdate;
    date_seq_fn dateSeq;
    get_obs_num_fn getObsNum;
    get_date_fn getDate;
    get_codes_sized_fn getCodesSized;
    series_info_fn seriesInfo;
    get_data_fn getData;
    version_fn version;
    authenticate_fn authenticate;
    get_aggmode_fn getAggmode;
    set_aggmode_fn setAggmode;
} KovrapApi;

/* loader.c */
const KovrapApi *api_of(SEXP ptr);
SEXP kv_c_load(SEXP path);
SEXP kv_c_close(SEXP ptr);
SEXP kv_c_valid(SEXP ptr);

/* records.c */
int int_arg(SEXP x, const char *what);
const char *string_arg(SEXP x, const char *what);
const char **strings_arg(SEXP x, const char *what);
SEXP strings_of(char **texts, R_xlen_t n);
SEXP named_list(int n, const char **names, SEXP *values);
SEXP kv_c_layout(void);
SEXP kv_c_constants(void);
SEXP kv_c_ymd_dates(SEXP ymd);
SEXP kv_c_regular_size(SEXP paths);
SEXP kv_c_period_dates(SEXP first, SEXP count, SEXP frequency);

/* calls.c */
SEXP kv_c_convert(SEXP ptr, SEXP op, SEXP dates, SEXP frequency);
SEXP kv_c_date_seq(SEXP ptr, SEXP start, SEXP count, SEXP frequency);
SEXP kv_c_obs_num(SEXP ptr, SEXP start, SEXP end, SEXP frequency);
SEXP kv_c_get_date(SEXP ptr, SEXP start, SEXP obs, SEXP frequency);
SEXP kv_c_version(SEXP ptr);
SEXP kv_c_authenticate(SEXP ptr, SEXP user, SEXP password, SEXP service);
SEXP kv_c_aggmode(SEXP ptr, SEXP direct, SEXP mode);
SEXP kv_c_codes(SEXP ptr, SEXP direct, SEXP database, SEXP capacity, SEXP tries);
SEXP kv_c_wait_worker(void);
SEXP kv_c_worker_busy(void);
SEXP kv_c_info(SEXP ptr, SEXP direct, SEXP codes, SEXP dbNames, SEXP databases, SEXP range,
               SEXP freq, SEXP start, SEXP end);
SEXP kv_c_get_data(SEXP ptr, SEXP direct, SEXP codes, SEXP dbNames, SEXP databases, SEXP window,
                   SEXP transforms, SEXP aggregate);

#endif /* KOVRAP_R_H */
