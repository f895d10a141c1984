/*
 * The glue between R and Kovrap. The library is loaded at run time by path,
 * the way a statistics environment loads it, and its exports are looked up
 * once per connection. The records below mirror the library's public header
 * so that the package builds from its own sources; kv_c_layout reports their
 * sizes and offsets for the tests.
 *
 * Every buffer handed to the library is an R vector or R_alloc memory: an
 * interrupt or an R error unwinds through them without leaking.
 */
#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include <R.h>
#include <R_ext/Rdynload.h>
#include <Rinternals.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

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
typedef int (*get_codes_fn)(int, char *, const char *, int *);
typedef void (*series_info_fn)(int, InfoStatusLists *, SeriesInfoColumns *, const char *const *,
                               const char *const *, const char *const *, int, int, int, int,
                               CommonRange *, RangeExclusions *);
typedef void (*get_data_fn)(int, double *, const char *const *, const char *const *,
                            const char *const *, int, int, int, int, int, int, int,
                            TransformArrays *, AdvancedWindows *, int *);
typedef int (*version_fn)(int *, char *, char *);
typedef int (*authenticate_fn)(const char *, const char *, int *, const char *);

typedef struct KovrapApi {
    tqvdate_to_ymd_fn tqvdateToYmd;
    ymd_to_tqvdate_fn ymdToTqvdate;
    date_seq_fn dateSeq;
    get_obs_num_fn getObsNum;
    get_date_fn getDate;
    get_codes_fn getCodes;
    series_info_fn seriesInfo;
    get_data_fn getData;
    version_fn version;
    authenticate_fn authenticate;
} KovrapApi;

/* Widths of the text fields of the information columns: code, texts 1 to 7. */
#define CODE_WIDTH 10
static const int kTextWidths[7] = {8, 10, 8, 8, 82, 10, 84};

static SEXP api_tag(void) {
    return Rf_install("kovrap_api");
}

/* ---- loading -------------------------------------------------------------- */

static void *open_library(const char *path, char *message, size_t size) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path);
    if (module == NULL)
        snprintf(message, size, "cannot load %s (error %lu)", path, (unsigned long)GetLastError());
    return (void *)module;
#else
    void *handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == NULL) {
        const char *reason = dlerror();
        snprintf(message, size, "%s", reason != NULL ? reason : "cannot load the library");
    }
    return handle;
#endif
}

static void *find_symbol(void *library, const char *name) {
#if defined(_WIN32)
    return (void *)GetProcAddress((HMODULE)library, name);
#else
    return dlsym(library, name);
#endif
}

static void close_library(void *library) {
#if defined(_WIN32)
    FreeLibrary((HMODULE)library);
#else
    dlclose(library);
#endif
}

static void api_finalizer(SEXP ptr) {
    /* The library stays loaded: its libraries keep the log-in process-wide. */
    KovrapApi *api = (KovrapApi *)R_ExternalPtrAddr(ptr);
    if (api != NULL) {
        free(api);
        R_ClearExternalPtr(ptr);
    }
}

/* Loads the library and resolves every export once. Returns an external
 * pointer, or a character string that says why it could not. */
SEXP kv_c_load(SEXP path) {
    if (!Rf_isString(path) || XLENGTH(path) != 1 || STRING_ELT(path, 0) == NA_STRING)
        Rf_error("the library path must be one string");
    char message[1024] = "";
    void *library = open_library(Rf_translateChar(STRING_ELT(path, 0)), message, sizeof message);
    if (library == NULL)
        return Rf_mkString(message);

    struct {
        const char *name;
        void **slot;
    } exports[10];
    KovrapApi api;
    memset(&api, 0, sizeof api);
    int n = 0;
#define KV_EXPORT(field, symbolName)                                                               \
    exports[n].name = symbolName;                                                                  \
    exports[n].slot = (void **)&api.field;                                                         \
    ++n
    KV_EXPORT(tqvdateToYmd, "tqvdateToYmd");
    KV_EXPORT(ymdToTqvdate, "ymdToTqvdate");
    KV_EXPORT(dateSeq, "c_kovraDateSeq");
    KV_EXPORT(getObsNum, "c_kovraGetObsNum");
    KV_EXPORT(getDate, "c_kovraGetDate");
    KV_EXPORT(getCodes, "c_kovraGetCodes");
    KV_EXPORT(seriesInfo, "c_kovraSeriesInfo");
    KV_EXPORT(getData, "c_kovraGetData");
    KV_EXPORT(version, "c_kovraCVersion");
    KV_EXPORT(authenticate, "c_kovraAuthenticate");
#undef KV_EXPORT
    for (int i = 0; i < n; ++i) {
        void *symbol = find_symbol(library, exports[i].name);
        if (symbol == NULL) {
            snprintf(message, sizeof message, "the library does not export %s", exports[i].name);
            close_library(library);
            return Rf_mkString(message);
        }
        /* Object and function pointers share one representation on every
         * platform that loads libraries this way. */
        memcpy(exports[i].slot, &symbol, sizeof symbol);
    }

    KovrapApi *owned = (KovrapApi *)malloc(sizeof *owned);
    if (owned == NULL)
        Rf_error("out of memory");
    *owned = api;
    SEXP ptr = PROTECT(R_MakeExternalPtr(owned, api_tag(), R_NilValue));
    R_RegisterCFinalizerEx(ptr, api_finalizer, TRUE);
    UNPROTECT(1);
    return ptr;
}

static const KovrapApi *api_of(SEXP ptr) {
    if (TYPEOF(ptr) != EXTPTRSXP || R_ExternalPtrTag(ptr) != api_tag())
        Rf_error("not a Kovrap connection");
    const KovrapApi *api = (const KovrapApi *)R_ExternalPtrAddr(ptr);
    if (api == NULL)
        Rf_error("the Kovrap connection is no longer valid (it does not survive a new session)");
    return api;
}

/* ---- argument helpers ------------------------------------------------------ */

static int int_arg(SEXP x, const char *what) {
    if (XLENGTH(x) != 1)
        Rf_error("%s must be a single number", what);
    int value = Rf_asInteger(x);
    if (value == NA_INTEGER)
        Rf_error("%s must not be NA", what);
    return value;
}

static const char *string_arg(SEXP x, const char *what) {
    if (!Rf_isString(x) || XLENGTH(x) != 1 || STRING_ELT(x, 0) == NA_STRING)
        Rf_error("%s must be one string", what);
    return Rf_translateChar(STRING_ELT(x, 0));
}

/* A character vector as an array of C strings in R's transient memory. */
static const char **strings_arg(SEXP x, const char *what) {
    if (!Rf_isString(x))
        Rf_error("%s must be a character vector", what);
    R_xlen_t n = XLENGTH(x);
    const char **out = (const char **)R_alloc((size_t)(n > 0 ? n : 1), sizeof(char *));
    for (R_xlen_t i = 0; i < n; ++i) {
        if (STRING_ELT(x, i) == NA_STRING)
            Rf_error("%s must not hold NA", what);
        out[i] = Rf_translateChar(STRING_ELT(x, i));
    }
    return out;
}

/* n zero-filled text buffers of width + 1 bytes, so that each ends in NUL. */
static char **text_column(R_xlen_t n, int width) {
    size_t w = (size_t)width + 1;
    char *bytes = R_alloc((size_t)(n > 0 ? n : 1), (int)w);
    memset(bytes, 0, (size_t)(n > 0 ? n : 1) * w);
    char **pointers = (char **)R_alloc((size_t)(n > 0 ? n : 1), sizeof(char *));
    for (R_xlen_t i = 0; i < n; ++i)
        pointers[i] = bytes + (size_t)i * w;
    return pointers;
}

static SEXP strings_of(char **texts, R_xlen_t n) {
    SEXP out = PROTECT(Rf_allocVector(STRSXP, n));
    for (R_xlen_t i = 0; i < n; ++i)
        SET_STRING_ELT(out, i, Rf_mkChar(texts[i]));
    UNPROTECT(1);
    return out;
}

static SEXP filled_ints(R_xlen_t n, int value) {
    SEXP out = Rf_allocVector(INTSXP, n);
    for (R_xlen_t i = 0; i < n; ++i)
        INTEGER(out)[i] = value;
    return out;
}

/* A named list from parallel arrays of names and protected values. */
static SEXP named_list(int n, const char **names, SEXP *values) {
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

/* ---- calendar -------------------------------------------------------------- */

/* op 0: tqvdateToYmd, 1: ymdToTqvdate; element by element over dates. */
SEXP kv_c_convert(SEXP ptr, SEXP op, SEXP dates, SEXP frequency) {
    const KovrapApi *api = api_of(ptr);
    int which = int_arg(op, "op");
    int f = int_arg(frequency, "frequency");
    SEXP in = PROTECT(Rf_coerceVector(dates, INTSXP));
    R_xlen_t n = XLENGTH(in);
    SEXP out = PROTECT(Rf_allocVector(INTSXP, n));
    for (R_xlen_t i = 0; i < n; ++i) {
        int d = INTEGER(in)[i];
        INTEGER(out)
        [i] = d == NA_INTEGER ? NA_INTEGER
              : which == 0    ? api->tqvdateToYmd(d, f)
                              : api->ymdToTqvdate(d, f);
    }
    UNPROTECT(2);
    return out;
}

SEXP kv_c_date_seq(SEXP ptr, SEXP start, SEXP count, SEXP frequency) {
    const KovrapApi *api = api_of(ptr);
    int n = int_arg(count, "count");
    SEXP out = PROTECT(Rf_allocVector(INTSXP, n > 0 ? n : 0));
    if (n > 0)
        api->dateSeq(INTEGER(out), int_arg(start, "start"), n, int_arg(frequency, "frequency"));
    UNPROTECT(1);
    return out;
}

SEXP kv_c_obs_num(SEXP ptr, SEXP start, SEXP end, SEXP frequency) {
    const KovrapApi *api = api_of(ptr);
    return Rf_ScalarInteger(api->getObsNum(int_arg(start, "start"), int_arg(end, "end"),
                                           int_arg(frequency, "frequency")));
}

SEXP kv_c_get_date(SEXP ptr, SEXP start, SEXP obs, SEXP frequency) {
    const KovrapApi *api = api_of(ptr);
    return Rf_ScalarInteger(api->getDate(int_arg(start, "start"), int_arg(obs, "obs"),
                                         int_arg(frequency, "frequency")));
}

/* ---- pass-throughs ------------------------------------------------------------ */

SEXP kv_c_version(SEXP ptr) {
    const KovrapApi *api = api_of(ptr);
    int interfaceVersion = 0;
    char local[64], direct[64];
    memset(local, 0, sizeof local);
    memset(direct, 0, sizeof direct);
    int result = api->version(&interfaceVersion, local, direct);
    local[sizeof local - 1] = '\0';
    direct[sizeof direct - 1] = '\0';
    const char *names[] = {"interface", "local", "direct", "result"};
    SEXP values[4];
    values[0] = PROTECT(Rf_ScalarInteger(interfaceVersion));
    values[1] = PROTECT(Rf_mkString(local));
    values[2] = PROTECT(Rf_mkString(direct));
    values[3] = PROTECT(Rf_ScalarInteger(result));
    SEXP out = named_list(4, names, values);
    UNPROTECT(4);
    return out;
}

SEXP kv_c_authenticate(SEXP ptr, SEXP user, SEXP password, SEXP service) {
    const KovrapApi *api = api_of(ptr);
    int status = 0;
    int result = api->authenticate(string_arg(user, "user"), string_arg(password, "password"),
                                   &status, string_arg(service, "service"));
    return Rf_ScalarInteger(result);
}

/* ---- catalogue ---------------------------------------------------------------- */

/* The codes of one database as one comma-joined string. The export is not
 * told the buffer's size: the caller sizes it for the whole listing (see
 * kv_codes). Answers list(status, error, text). */
SEXP kv_c_codes(SEXP ptr, SEXP direct, SEXP database, SEXP bytes) {
    const KovrapApi *api = api_of(ptr);
    double size = Rf_asReal(bytes);
    if (!(size >= 2) || size > 2147483647.0)
        Rf_error("bad code list size");
    /* A raw vector: freed by R on any way out, an interrupt included. */
    SEXP buffer = PROTECT(Rf_allocVector(RAWSXP, (R_xlen_t)size));
    memset(RAW(buffer), 0, (size_t)size);
    int error = 0;
    int status = api->getCodes(int_arg(direct, "direct"), (char *)RAW(buffer),
                               string_arg(database, "database"), &error);
    RAW(buffer)[(R_xlen_t)size - 1] = 0;
    const char *names[] = {"status", "error", "text"};
    SEXP values[3];
    values[0] = PROTECT(Rf_ScalarInteger(status));
    values[1] = PROTECT(Rf_ScalarInteger(error));
    values[2] = PROTECT(Rf_mkString((const char *)RAW(buffer)));
    SEXP out = named_list(3, names, values);
    UNPROTECT(4);
    return out;
}

/* c_kovraSeriesInfo over one list of requests, with the common range when
 * range is TRUE (freq: a code, 1000 or 57; start and end calendar dates or
 * -1). Answers the status lists, the columns and the range. */
SEXP kv_c_info(SEXP ptr, SEXP direct, SEXP codes, SEXP dbNames, SEXP databases, SEXP range,
               SEXP freq, SEXP start, SEXP end) {
    const KovrapApi *api = api_of(ptr);
    R_xlen_t n = XLENGTH(codes);
    if (XLENGTH(dbNames) != n)
        Rf_error("codes and databases differ in length");
    if (n > 2147483647 || XLENGTH(databases) > 2147483647)
        Rf_error("too many series");
    const char **codeArray = strings_arg(codes, "codes");
    const char **dbArray = strings_arg(dbNames, "dbNames");
    const char **databaseArray = strings_arg(databases, "databases");
    R_xlen_t rows = n > 0 ? n : 1;

    int nprot = 0;
    SEXP statusCounts = PROTECT(filled_ints(7, 0));
    ++nprot;
    SEXP statusLists = PROTECT(Rf_allocVector(VECSXP, 7));
    ++nprot;
    int *lists[7];
    for (int k = 0; k < 7; ++k) {
        SET_VECTOR_ELT(statusLists, k, filled_ints(rows, -1));
        lists[k] = INTEGER(VECTOR_ELT(statusLists, k));
    }
    InfoStatusLists status;
    memset(&status, 0, sizeof status);
    status.classifyOnly = 0;
    status.statusCounts = INTEGER(statusCounts);
    status.statusList0 = lists[0];
    status.statusList1 = lists[1];
    status.statusList2 = lists[2];
    status.statusList3 = lists[3];
    status.statusList4 = lists[4];
    status.statusList5 = lists[5];
    status.statusList6 = lists[6];

    char **codeColumn = text_column(rows, CODE_WIDTH);
    char **texts[7];
    for (int t = 0; t < 7; ++t)
        texts[t] = text_column(rows, kTextWidths[t]);
    SEXP ints = PROTECT(Rf_allocVector(VECSXP, 9));
    ++nprot;
    for (int i = 0; i < 9; ++i)
        SET_VECTOR_ELT(ints, i, filled_ints(rows, 0));
    SeriesInfoColumns columns;
    memset(&columns, 0, sizeof columns);
    columns.code = codeColumn;
    columns.firstDate = INTEGER(VECTOR_ELT(ints, 0));
    columns.lastDate = INTEGER(VECTOR_ELT(ints, 1));
    columns.frequency = INTEGER(VECTOR_ELT(ints, 2));
    columns.attribute1 = INTEGER(VECTOR_ELT(ints, 3));
    columns.attribute2 = INTEGER(VECTOR_ELT(ints, 4));
    columns.attribute3 = INTEGER(VECTOR_ELT(ints, 5));
    columns.attribute4 = INTEGER(VECTOR_ELT(ints, 6));
    columns.attribute5 = INTEGER(VECTOR_ELT(ints, 7));
    columns.attribute6 = INTEGER(VECTOR_ELT(ints, 8));
    columns.text1 = texts[0];
    columns.text2 = texts[1];
    columns.text3 = texts[2];
    columns.text4 = texts[3];
    columns.text5 = texts[4];
    columns.text6 = texts[5];
    columns.text7 = texts[6];

    int chosen = int_arg(freq, "freq"), first = int_arg(start, "start"), last = int_arg(end, "end"),
        count = 0;
    CommonRange common;
    memset(&common, 0, sizeof common);
    common.computeRange = Rf_asLogical(range) == TRUE ? 1 : 0;
    common.frequency = &chosen;
    common.start = &first;
    common.end = &last;
    common.observationCount = &count;
    SEXP exclusionCounts = PROTECT(filled_ints(3, 0));
    ++nprot;
    SEXP exclusionLists = PROTECT(Rf_allocVector(VECSXP, 3));
    ++nprot;
    for (int k = 0; k < 3; ++k)
        SET_VECTOR_ELT(exclusionLists, k, filled_ints(rows, -1));
    RangeExclusions exclusions;
    memset(&exclusions, 0, sizeof exclusions);
    exclusions.exclusionCounts = INTEGER(exclusionCounts);
    exclusions.emptyList = INTEGER(VECTOR_ELT(exclusionLists, 0));
    exclusions.higherFrequencyList = INTEGER(VECTOR_ELT(exclusionLists, 1));
    exclusions.lowerFrequencyList = INTEGER(VECTOR_ELT(exclusionLists, 2));

    api->seriesInfo(int_arg(direct, "direct"), &status, &columns, codeArray, dbArray, databaseArray,
                    (int)XLENGTH(databases), (int)n, 0, 0, &common, &exclusions);

    SEXP codeOut = PROTECT(strings_of(codeColumn, n));
    ++nprot;
    SEXP textOut = PROTECT(Rf_allocVector(VECSXP, 7));
    ++nprot;
    for (int t = 0; t < 7; ++t)
        SET_VECTOR_ELT(textOut, t, strings_of(texts[t], n));
    SEXP rangeOut = PROTECT(Rf_allocVector(INTSXP, 4));
    ++nprot;
    INTEGER(rangeOut)[0] = chosen;
    INTEGER(rangeOut)[1] = first;
    INTEGER(rangeOut)[2] = last;
    INTEGER(rangeOut)[3] = count;

    const char *names[] = {"status_counts", "status_lists",     "code",           "ints", "texts",
                           "range",         "exclusion_counts", "exclusion_lists"};
    SEXP values[8] = {statusCounts, statusLists, codeOut,         ints,
                      textOut,      rangeOut,    exclusionCounts, exclusionLists};
    SEXP out = named_list(8, names, values);
    UNPROTECT(nprot);
    return out;
}

/* ---- data ---------------------------------------------------------------------- */

static int *int_column(SEXP x, R_xlen_t n, const char *what) {
    if (TYPEOF(x) != INTSXP || XLENGTH(x) != n)
        Rf_error("%s must be an integer vector with one entry per series", what);
    return INTEGER(x);
}

/* c_kovraGetData, one library call per database, so that an interrupt is
 * honoured between databases: the library closes what it opened before it
 * returns, and every buffer here belongs to R. Answers list(values (a matrix
 * of count rows and one column per series), error, failed_database,
 * count_status). */
SEXP kv_c_get_data(SEXP ptr, SEXP direct, SEXP codes, SEXP dbNames, SEXP databases, SEXP window,
                   SEXP transforms) {
    const KovrapApi *api = api_of(ptr);
    R_xlen_t n = XLENGTH(codes);
    if (XLENGTH(dbNames) != n)
        Rf_error("codes and databases differ in length");
    if (TYPEOF(window) != INTSXP || XLENGTH(window) != 4)
        Rf_error("window must be four integers");
    if (TYPEOF(transforms) != VECSXP || XLENGTH(transforms) != 7)
        Rf_error("transforms must be a list of seven integer vectors");
    if (n > 2147483647)
        Rf_error("too many series");
    const char **codeArray = strings_arg(codes, "codes");
    const char **dbArray = strings_arg(dbNames, "dbNames");
    const char **databaseArray = strings_arg(databases, "databases");
    int isDirect = int_arg(direct, "direct");
    int start = INTEGER(window)[0], end = INTEGER(window)[1], frequency = INTEGER(window)[2],
        count = INTEGER(window)[3];
    if (count < 0)
        Rf_error("the window holds no period");
    int *code = int_column(VECTOR_ELT(transforms, 0), n, "code");
    int *advanced = int_column(VECTOR_ELT(transforms, 1), n, "advanced");
    int *paramA = int_column(VECTOR_ELT(transforms, 2), n, "paramA");
    int *paramB = int_column(VECTOR_ELT(transforms, 3), n, "paramB");
    int *paramC = int_column(VECTOR_ELT(transforms, 4), n, "paramC");
    int *windowStart = int_column(VECTOR_ELT(transforms, 5), n, "windowStart");
    int *windowEnd = int_column(VECTOR_ELT(transforms, 6), n, "windowEnd");

    if ((double)count * (double)n > (double)R_XLEN_T_MAX)
        Rf_error("the window is too large");
    SEXP values = PROTECT(Rf_allocMatrix(REALSXP, count, (int)n));
    double *all = REAL(values);
    for (R_xlen_t i = 0; i < (R_xlen_t)count * n; ++i)
        all[i] = 1e9;
    SEXP countStatus = PROTECT(filled_ints(n, 0));

    /* Scratch for one database's requests. */
    R_xlen_t rows = n > 0 ? n : 1;
    const char **subCodes = (const char **)R_alloc((size_t)rows, sizeof(char *));
    const char **subDbs = (const char **)R_alloc((size_t)rows, sizeof(char *));
    int *index = (int *)R_alloc((size_t)rows, sizeof(int));
    int *subInts[9];
    for (int i = 0; i < 9; ++i)
        subInts[i] = (int *)R_alloc((size_t)rows, sizeof(int));
    double *subValues =
        (double *)R_alloc((size_t)(count > 0 ? count : 1) * (size_t)rows, sizeof(double));

    int error = 0;
    int failedDatabase = 0;
    R_xlen_t ndb = XLENGTH(databases);
    for (R_xlen_t d = 0; d < ndb && error == 0; ++d) {
        if (d > 0)
            R_CheckUserInterrupt();
        int m = 0, windowed = 0;
        for (R_xlen_t k = 0; k < n; ++k) {
            if (strcmp(dbArray[k], databaseArray[d]) != 0)
                continue;
            index[m] = (int)k;
            subCodes[m] = codeArray[k];
            subDbs[m] = dbArray[k];
            subInts[0][m] = code[k];
            subInts[1][m] = paramB[k];
            subInts[2][m] = paramA[k];
            subInts[3][m] = 0; /* no upper span limit */
            subInts[4][m] = paramC[k];
            subInts[5][m] = advanced[k];
            subInts[6][m] = 0; /* count status, written on failure only */
            /* Windows are taken one per windowed count, in request order. */
            if (advanced[k] != 0 && code[k] == 1792) {
                subInts[7][windowed] = windowStart[k];
                subInts[8][windowed] = windowEnd[k];
                ++windowed;
            }
            ++m;
        }
        if (m == 0)
            continue;
        for (R_xlen_t i = 0; i < (R_xlen_t)count * m; ++i)
            subValues[i] = 1e9;
        TransformArrays t;
        memset(&t, 0, sizeof t);
        t.transformCode = subInts[0];
        t.paramB = subInts[1];
        t.paramA = subInts[2];
        t.spanEnd = subInts[3];
        t.paramC = subInts[4];
        t.advancedFlag = subInts[5];
        t.reserved = NULL;
        t.countStatus = subInts[6];
        AdvancedWindows w;
        w.windowStart = subInts[7];
        w.windowEnd = subInts[8];
        const char *one[1] = {databaseArray[d]};
        api->getData(isDirect, subValues, subCodes, subDbs, one, 1, m, start, end, frequency, 0,
                     count, &t, &w, &error);
        for (int r = 0; r < m; ++r) {
            memcpy(all + (R_xlen_t)index[r] * count, subValues + (R_xlen_t)r * count,
                   (size_t)count * sizeof(double));
            INTEGER(countStatus)[index[r]] = subInts[6][r];
        }
        if (error != 0)
            failedDatabase = (int)d + 1;
    }

    const char *names[] = {"values", "error", "failed_database", "count_status"};
    SEXP out[4];
    out[0] = values;
    out[1] = PROTECT(Rf_ScalarInteger(error));
    out[2] = PROTECT(Rf_ScalarInteger(failedDatabase));
    out[3] = countStatus;
    SEXP result = named_list(4, names, out);
    UNPROTECT(4);
    return result;
}

/* ---- layout ------------------------------------------------------------------------ */

/* Sizes and field offsets of the records, for the tests to compare with the
 * library's documented layout. */
SEXP kv_c_layout(void) {
#define KV_FIELDS 14
    const char *names[KV_FIELDS] = {"InfoStatusLists",
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
    const int values[KV_FIELDS] = {(int)sizeof(InfoStatusLists),
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
    SEXP out = PROTECT(Rf_allocVector(INTSXP, KV_FIELDS));
    SEXP labels = PROTECT(Rf_allocVector(STRSXP, KV_FIELDS));
    for (int i = 0; i < KV_FIELDS; ++i) {
        INTEGER(out)[i] = values[i];
        SET_STRING_ELT(labels, i, Rf_mkChar(names[i]));
    }
    Rf_setAttrib(out, R_NamesSymbol, labels);
    UNPROTECT(2);
    return out;
#undef KV_FIELDS
}

/* ---- registration ---------------------------------------------------------------- */

static const R_CallMethodDef kCallMethods[] = {
    {"kv_c_load", (DL_FUNC)&kv_c_load, 1},
    {"kv_c_convert", (DL_FUNC)&kv_c_convert, 4},
    {"kv_c_date_seq", (DL_FUNC)&kv_c_date_seq, 4},
    {"kv_c_obs_num", (DL_FUNC)&kv_c_obs_num, 4},
    {"kv_c_get_date", (DL_FUNC)&kv_c_get_date, 4},
    {"kv_c_version", (DL_FUNC)&kv_c_version, 1},
    {"kv_c_authenticate", (DL_FUNC)&kv_c_authenticate, 4},
    {"kv_c_codes", (DL_FUNC)&kv_c_codes, 4},
    {"kv_c_info", (DL_FUNC)&kv_c_info, 9},
    {"kv_c_get_data", (DL_FUNC)&kv_c_get_data, 7},
    {"kv_c_layout", (DL_FUNC)&kv_c_layout, 0},
    {NULL, NULL, 0}};

void R_init_kovrap(DllInfo *dll) {
    R_registerRoutines(dll, NULL, kCallMethods, NULL, NULL);
    R_useDynamicSymbols(dll, FALSE);
    R_forceSymbols(dll, TRUE);
}
