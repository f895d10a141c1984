/*
 * What crosses between R and the library: arguments read from R vectors,
 * the host's text columns, results as R vectors, and the checks that the
 * package's copies of the header's records and constants are the header's.
 *
 * Every buffer handed to the library is an R vector or R_alloc memory: an
 * interrupt or an R error unwinds through them without leaking.
 */
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#if defined(_WIN32)
#include <io.h>
#define KV_READABLE(path) (_access((path), 4) == 0)
#else
#include <unistd.h>
#define KV_READABLE(path) (access((path), R_OK) == 0)
#endif

#include "kovrap.h"

int int_arg(SEXP x, const char *what) {
    if (XLENGTH(x) != 1)
        Rf_error("%s must be a single number", what);
    int value = Rf_asInteger(x);
    if (value == NA_INTEGER)
        Rf_error("%s must not be NA", what);
    return value;
}

/* Strings reach C already in the encoding the library is to get (the R side
 * converts them), so their bytes go through as they are. */
const char *string_arg(SEXP x, const char *what) {
    if (!Rf_isString(x) || XLENGTH(x) != 1 || STRING_ELT(x, 0) == NA_STRING)
        Rf_error("%s must be one string", what);
    return CHAR(STRING_ELT(x, 0));
}

/* A character vector as an array of C strings in R's transient memory. */
const char **strings_arg(SEXP x, const char *what) {
    if (!Rf_isString(x))
        Rf_error("%s must be a character vector", what);
    R_xlen_t n = XLENGTH(x);
    const char **out = (const char **)R_alloc((size_t)(n > 0 ? n : 1), sizeof(char *));
    for (R_xlen_t i = 0; i < n; ++i) {
        if (STRING_ELT(x, i) == NA_STRING)
            Rf_error("%s must not hold NA", what);
        out[i] = CHAR(STRING_ELT(x, i));
    }
    return out;
}

/* Texts as the library wrote them, unmarked: the R side declares their
 * encoding. */
SEXP strings_of(char **texts, R_xlen_t n) {
    SEXP out = PROTECT(Rf_allocVector(STRSXP, n));
    for (R_xlen_t i = 0; i < n; ++i)
        SET_STRING_ELT(out, i, Rf_mkCharCE(texts[i], CE_NATIVE));
    UNPROTECT(1);
    return out;
}

/* A named list from parallel arrays of names and protected values. */
SEXP named_list(int n, const char **names, SEXP *values) {
    SEXP out = PROTECT(Rf_allocVector(VECSXP, n));
    SEXP labels = PROTECT(Rf_allocVector(STRSXP, n));
    for (int i = 0; i < n; ++i) {
        SET_VECTOR_ELT(out, i, values[i]);
        SET_STRING_ELT(labels, i, Rf_mkChar(names[i]));
    }
    Rf_setAttrib(out, R_NamesSymbol, labels);
    UNPROTECT(2);
    return out;
}

static SEXP named_ints(int n, const char **names, const int *values) {
    SEXP out = PROTECT(Rf_allocVector(INTSXP, n));
    SEXP labels = PROTECT(Rf_allocVector(STRSXP, n));
    for (int i = 0; i < n; ++i) {
        INTEGER(out)[i] = values[i];
        SET_STRING_ELT(labels, i, Rf_mkChar(names[i]));
    }
    Rf_setAttrib(out, R_NamesSymbol, labels);
    UNPROTECT(2);
    return out;
}

/* Sizes and field offsets of the records, for the tests to compare with the
 * library's documented layout. */
SEXP kv_c_layout(void) {
    const char *names[] = {"InfoStatusLists",
                           "InfoStatusLists.statusCounts",
                           "InfoStatusLists.statusList6",
                           "SeriesInfoColumns",
                           "SeriesInfoColumns.frequency",
                           "SeriesInfoColumns.text7",
                           "CommonRange",
                           "CommonRange.frequency",
                           "CommonRange.observationCount",
                           "RangeExclusions",
                           "RangeExclusions.exclusionCounts",
                           "TransformArrays",
                           "TransformArrays.countStatus",
                           "AdvancedWindows"};
    const int values[] = {(int)sizeof(InfoStatusLists),
                          (int)offsetof(InfoStatusLists, statusCounts),
                          (int)offsetof(InfoStatusLists, statusList6),
                          (int)sizeof(SeriesInfoColumns),
                          (int)offsetof(SeriesInfoColumns, frequency),
                          (int)offsetof(SeriesInfoColumns, text7),
                          (int)sizeof(CommonRange),
                          (int)offsetof(CommonRange, frequency),
                          (int)offsetof(CommonRange, observationCount),
                          (int)sizeof(RangeExclusions),
                          (int)offsetof(RangeExclusions, exclusionCounts),
                          (int)sizeof(TransformArrays),
                          (int)offsetof(TransformArrays, countStatus),
                          (int)sizeof(AdvancedWindows)};
    return named_ints((int)(sizeof values / sizeof values[0]), names, values);
}

/* The package's copy of the header's constants, named as in the header, for
 * the R side to use and for the test that compares them with the header.
 * KOVRAP_MISSING is a double and comes apart. */
SEXP kv_c_constants(void) {
    const int widths[7] = KV_TEXT_WIDTHS;
    const int frequencyCodes[] = KV_FREQ_CODES;
    const char *frequencyNames[] = KV_FREQ_NAMES;
    enum { kFixed = 19, kFrequencies = sizeof frequencyCodes / sizeof frequencyCodes[0] };
    const char *names[kFixed + kFrequencies] = {"KOVRAP_CODELIST_BYTES",
                                                "KOVRAP_CODE_WIDTH",
                                                "KOVRAP_TEXT1_WIDTH",
                                                "KOVRAP_TEXT2_WIDTH",
                                                "KOVRAP_TEXT3_WIDTH",
                                                "KOVRAP_TEXT4_WIDTH",
                                                "KOVRAP_TEXT5_WIDTH",
                                                "KOVRAP_TEXT6_WIDTH",
                                                "KOVRAP_TEXT7_WIDTH",
                                                "KOVRAP_ADVANCED_WINDOWED",
                                                "KOVRAP_STATUS_TOO_FEW_PERIODS",
                                                "KOVRAP_STATUS_SEGMENTS_MISMATCH",
                                                "KOVRAP_STATUS_NO_MEMORY",
                                                "KOVRAP_STATUS_BAD_CAPACITY",
                                                "KOVRAP_STATUS_NAMES_OVERRUN",
                                                "KOVRAP_STATUS_LIST_TOO_LONG",
                                                "KOVRAP_NAMES_TEXT_BYTES",
                                                "KOVRAP_ATTRIBUTE6_SET_ASIDE_0",
                                                "KOVRAP_ATTRIBUTE6_SET_ASIDE_9"};
    int values[kFixed + kFrequencies] = {KV_CODELIST_BYTES,
                                         KV_CODE_WIDTH,
                                         widths[0],
                                         widths[1],
                                         widths[2],
                                         widths[3],
                                         widths[4],
                                         widths[5],
                                         widths[6],
                                         KV_ADVANCED_WINDOWED,
                                         KV_STATUS_TOO_FEW_PERIODS,
                                         KV_STATUS_SEGMENTS_MISMATCH,
                                         KV_STATUS_NO_MEMORY,
                                         KV_STATUS_BAD_CAPACITY,
                                         KV_STATUS_NAMES_OVERRUN,
                                         KV_STATUS_LIST_TOO_LONG,
                                         KV_NAMES_TEXT_BYTES,
                                         KV_ATTRIBUTE6_SET_ASIDE_0,
                                         KV_ATTRIBUTE6_SET_ASIDE_9};
    /* The frequency codes under their header names, KOVRAP_FREQ_<name>. */
    char frequencyHeaderNames[kFrequencies][32];
    for (int k = 0; k < kFrequencies; ++k) {
        snprintf(frequencyHeaderNames[k], sizeof frequencyHeaderNames[k], "KOVRAP_FREQ_%s",
                 frequencyNames[k]);
        names[kFixed + k] = frequencyHeaderNames[k];
        values[kFixed + k] = frequencyCodes[k];
    }
    const char *listNames[] = {"ints", "KOVRAP_MISSING"};
    SEXP parts[2];
    parts[0] = PROTECT(named_ints(kFixed + kFrequencies, names, values));
    parts[1] = PROTECT(Rf_ScalarReal(KV_MISSING));
    SEXP out = named_list(2, listNames, parts);
    UNPROTECT(2);
    return out;
}

/* Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
 * days_from_civil), exact for every year the library knows. */
static double days_from_civil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return (double)era * 146097.0 + (double)doe - 719468.0;
}

/* Calendar dates YYYYMMDD as R Dates, in one pass; NA for anything that is
 * not a date of the years 1 to 9999. */
SEXP kv_c_ymd_dates(SEXP ymd) {
    SEXP in = PROTECT(Rf_coerceVector(ymd, INTSXP));
    R_xlen_t n = XLENGTH(in);
    SEXP out = PROTECT(Rf_allocVector(REALSXP, n));
    const int *p = INTEGER(in);
    double *q = REAL(out);
    static const int monthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (R_xlen_t i = 0; i < n; ++i) {
        int v = p[i], y = v / 10000, m = v / 100 % 100, d = v % 100;
        int leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        if (v == NA_INTEGER || y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 ||
            d > monthDays[m - 1] || (m == 2 && d == 29 && !leap))
            q[i] = NA_REAL;
        else
            q[i] = days_from_civil(y, m, d);
    }
    SEXP cls = PROTECT(Rf_mkString("Date"));
    Rf_setAttrib(out, R_ClassSymbol, cls);
    UNPROTECT(3);
    return out;
}

/* For each path: its size when it is a regular file this process can read;
 * -1 when nothing is there, -2 when it is something else (a folder, a FIFO,
 * a device), -3 when it cannot be read. Links are followed, as the library
 * follows them. */
SEXP kv_c_regular_size(SEXP paths) {
    if (!Rf_isString(paths))
        Rf_error("paths must be a character vector");
    R_xlen_t n = XLENGTH(paths);
    SEXP out = PROTECT(Rf_allocVector(REALSXP, n));
    for (R_xlen_t i = 0; i < n; ++i) {
        const char *path = CHAR(STRING_ELT(paths, i));
        struct stat st;
        if (STRING_ELT(paths, i) == NA_STRING || stat(path, &st) != 0)
            REAL(out)[i] = -1;
        else if (!S_ISREG(st.st_mode))
            REAL(out)[i] = -2;
        else if (!KV_READABLE(path))
            REAL(out)[i] = -3;
        else
            REAL(out)[i] = (double)st.st_size;
    }
    UNPROTECT(1);
    return out;
}

/* The Dates of count consecutive periods from the one whose last day is
 * first (YYYYMMDD), at the frequencies whose periods are days or weeks: a
 * week on, a day on, or the next Monday to Friday. The calendar is the
 * library's own (docs/frequencies.md); what it answers for the first
 * period, this steps on from, so that a long daily fetch needs no call per
 * period. */
SEXP kv_c_period_dates(SEXP first, SEXP count, SEXP frequency) {
    int f = int_arg(frequency, "frequency"), n = int_arg(count, "count");
    SEXP one = PROTECT(kv_c_ymd_dates(first));
    double day = REAL(one)[0];
    if (n < 0 || ISNAN(day) || (f != 60 && f != 61 && (f < 51 || f > 57)))
        Rf_error("no days from %d at frequency %d", Rf_asInteger(first), f);
    SEXP out = PROTECT(Rf_allocVector(REALSXP, n));
    double *q = REAL(out);
    /* 1970-01-01 was a Thursday: (day + 3) mod 7 counts from Monday = 0. */
    for (int i = 0; i < n; ++i) {
        q[i] = day;
        if (f == 60) {
            day += 1;
        } else if (f == 61) {
            long weekday = ((long)day + 3) % 7;
            if (weekday < 0)
                weekday += 7;
            day += weekday >= 4 ? 7 - weekday : 1;
        } else {
            day += 7;
        }
    }
    SEXP cls = PROTECT(Rf_mkString("Date"));
    Rf_setAttrib(out, R_ClassSymbol, cls);
    UNPROTECT(3);
    return out;
}
