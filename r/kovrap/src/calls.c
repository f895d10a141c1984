/*
 * The calls: one R entry point per library export the package uses. Every
 * call that reaches the library runs on a worker thread, so that an
 * interrupt or a time limit stops R's wait for it (worker.c).
 */
#include <stdlib.h>
#include <string.h>

#include <R_ext/Rdynload.h>

#include "kovrap.h"
#include "repeated.h"
#include "worker.h"

/* A job for one of the short calls below: a copy of the exports and of the
 * arguments, so that it can finish after R has left. */
typedef struct CallJob {
    KvJob job;
    KovrapApi api;
    int which; /* 0: version, 1: read the aggregation mode, 2: set it, 3: log in */
    int direct, mode, result, interfaceVersion;
    char local[64], directText[64];
    char *user, *password, *service;
} CallJob;

static char *copy_text(const char *text) {
    size_t n = strlen(text) + 1;
    char *out = (char *)malloc(n);
    if (out != NULL)
        memcpy(out, text, n);
    return out;
}

static void release_call(KvJob *job) {
    CallJob *c = (CallJob *)job;
    if (c->password != NULL) {
        /* The password leaves no copy behind in freed memory. */
        volatile char *p = c->password;
        while (*p != '\0')
            *p++ = '\0';
    }
    free(c->user);
    free(c->password);
    free(c->service);
    free(c);
}

static void call_work(KvJob *job) {
    CallJob *c = (CallJob *)job;
    switch (c->which) {
    case 0:
        c->result = c->api.version(&c->interfaceVersion, c->local, c->directText);
        break;
    case 1:
        c->result = c->api.getAggmode(c->direct);
        break;
    case 2:
        c->result = c->api.setAggmode(c->direct, c->mode);
        break;
    default: {
        int status = 0;
        c->result = c->api.authenticate(c->user, c->password, &status, c->service);
        break;
    }
    }
}

static CallJob *call_job(SEXP ptr, int which) {
    const KovrapApi *api = api_of(ptr);
    kv_check_process();
    CallJob *c = (CallJob *)calloc(1, sizeof *c);
    if (c == NULL)
        Rf_error("out of memory");
    c->job.work = call_work;
    c->job.release = release_call;
    c->api = *api;
    c->which = which;
    return c;
}

/* ---- calendar -------------------------------------------------------------- */

/* Date conversions element by element: a, b and f are copies of the R
 * vectors (f of length 1 or n), out the answers. */
typedef struct CalendarJob {
    KvJob job;
    KovrapApi api;
    int op; /* 0: tqvdateToYmd, 1: ymdToTqvdate, 2: date sequence, 3: period count,
               4: period date */
    R_xlen_t n, nf;
    int *a, *b, *f, *out;
} CalendarJob;

static void release_calendar(KvJob *job) {
    CalendarJob *c = (CalendarJob *)job;
    free(c->a);
    free(c->b);
    free(c->f);
    free(c->out);
    free(c);
}

static void calendar_work(KvJob *job) {
    CalendarJob *c = (CalendarJob *)job;
    if (c->op == 2) {
        if (c->n > 0)
            c->api.dateSeq(c->out, c->a[0], (int)c->n, c->f[0]);
        return;
    }
    for (R_xlen_t i = 0; i < c->n; ++i) {
        int x = c->a[i], y = c->b != NULL ? c->b[i] : 0, f = c->f[c->nf == 1 ? 0 : i];
        if (x == NA_INTEGER || y == NA_INTEGER || f == NA_INTEGER)
            c->out[i] = NA_INTEGER;
        else if (c->op == 0)
            c->out[i] = c->api.tqvdateToYmd(x, f);
        else if (c->op == 1)
            c->out[i] = c->api.ymdToTqvdate(x, f);
        else if (c->op == 3)
            c->out[i] = c->api.getObsNum(x, y, f);
        else
            c->out[i] = c->api.getDate(x, y, f);
    }
}

static int *copy_ints(SEXP x, R_xlen_t n) {
    int *out = (int *)malloc((size_t)(n > 0 ? n : 1) * sizeof(int));
    if (out != NULL && n > 0)
        memcpy(out, INTEGER(x), (size_t)n * sizeof(int));
    return out;
}

/* Runs a calendar job over protected integer vectors a, b (or R_NilValue)
 * and f, n answers; answers them as an integer vector. */
static SEXP run_calendar(SEXP ptr, int op, SEXP a, SEXP b, SEXP f, R_xlen_t n) {
    const KovrapApi *api = api_of(ptr);
    kv_check_process();
    CalendarJob *c = (CalendarJob *)calloc(1, sizeof *c);
    if (c == NULL)
        Rf_error("out of memory");
    c->job.work = calendar_work;
    c->job.release = release_calendar;
    c->api = *api;
    c->op = op;
    c->n = n;
    c->nf = XLENGTH(f);
    c->a = copy_ints(a, XLENGTH(a));
    c->b = b == R_NilValue ? NULL : copy_ints(b, XLENGTH(b));
    c->f = copy_ints(f, c->nf);
    c->out = (int *)malloc((size_t)(n > 0 ? n : 1) * sizeof(int));
    if (c->a == NULL || (b != R_NilValue && c->b == NULL) || c->f == NULL || c->out == NULL) {
        release_calendar(&c->job);
        Rf_error("out of memory for %.0f dates", (double)n);
    }
    kv_run_job(&c->job);
    SEXP out = Rf_allocVector(INTSXP, n);
    if (n > 0)
        memcpy(INTEGER(out), c->out, (size_t)n * sizeof(int));
    release_calendar(&c->job);
    return out;
}

/* op 0: tqvdateToYmd, 1: ymdToTqvdate; element by element over dates, with
 * one frequency or one per date. */
SEXP kv_c_convert(SEXP ptr, SEXP op, SEXP dates, SEXP frequency) {
    int which = int_arg(op, "op");
    SEXP in = PROTECT(Rf_coerceVector(dates, INTSXP));
    SEXP fs = PROTECT(Rf_coerceVector(frequency, INTSXP));
    R_xlen_t n = XLENGTH(in), nf = XLENGTH(fs);
    if (nf != 1 && nf != n)
        Rf_error("one frequency, or one per date");
    SEXP out = run_calendar(ptr, which == 0 ? 0 : 1, in, R_NilValue, fs, n);
    UNPROTECT(2);
    return out;
}

SEXP kv_c_date_seq(SEXP ptr, SEXP start, SEXP count, SEXP frequency) {
    int n = int_arg(count, "count");
    SEXP s = PROTECT(Rf_ScalarInteger(int_arg(start, "start")));
    SEXP f = PROTECT(Rf_ScalarInteger(int_arg(frequency, "frequency")));
    SEXP out = run_calendar(ptr, 2, s, R_NilValue, f, n > 0 ? n : 0);
    UNPROTECT(2);
    return out;
}

/* Periods from start to end, both included, element by element. */
SEXP kv_c_obs_num(SEXP ptr, SEXP start, SEXP end, SEXP frequency) {
    SEXP s = PROTECT(Rf_coerceVector(start, INTSXP));
    SEXP e = PROTECT(Rf_coerceVector(end, INTSXP));
    SEXP fs = PROTECT(Rf_coerceVector(frequency, INTSXP));
    R_xlen_t n = XLENGTH(s), nf = XLENGTH(fs);
    if (XLENGTH(e) != n || (nf != 1 && nf != n))
        Rf_error("start, end and frequency differ in length");
    SEXP out = run_calendar(ptr, 3, s, e, fs, n);
    UNPROTECT(3);
    return out;
}

SEXP kv_c_get_date(SEXP ptr, SEXP start, SEXP obs, SEXP frequency) {
    SEXP s = PROTECT(Rf_ScalarInteger(int_arg(start, "start")));
    SEXP o = PROTECT(Rf_ScalarInteger(int_arg(obs, "obs")));
    SEXP f = PROTECT(Rf_ScalarInteger(int_arg(frequency, "frequency")));
    SEXP out = run_calendar(ptr, 4, s, o, f, 1);
    UNPROTECT(3);
    return out;
}

/* ---- pass-throughs ------------------------------------------------------------ */

SEXP kv_c_version(SEXP ptr) {
    CallJob *c = call_job(ptr, 0);
    kv_run_job(&c->job);
    c->local[sizeof c->local - 1] = '\0';
    c->directText[sizeof c->directText - 1] = '\0';
    const char *names[] = {"interface", "local", "direct", "result"};
    SEXP values[4];
    values[0] = PROTECT(Rf_ScalarInteger(c->interfaceVersion));
    values[1] = PROTECT(Rf_mkString(c->local));
    values[2] = PROTECT(Rf_mkString(c->directText));
    values[3] = PROTECT(Rf_ScalarInteger(c->result));
    release_call(&c->job);
    SEXP out = named_list(4, names, values);
    UNPROTECT(4);
    return out;
}

/* The aggregation mode of the selected library: read when mode is NA, else
 * set (the library's answer comes back). */
SEXP kv_c_aggmode(SEXP ptr, SEXP direct, SEXP mode) {
    int isDirect = int_arg(direct, "direct");
    int m = Rf_asInteger(mode);
    CallJob *c = call_job(ptr, m == NA_INTEGER ? 1 : 2);
    c->direct = isDirect;
    c->mode = m;
    kv_run_job(&c->job);
    int result = c->result;
    release_call(&c->job);
    return Rf_ScalarInteger(result);
}

SEXP kv_c_authenticate(SEXP ptr, SEXP user, SEXP password, SEXP service) {
    const char *u = string_arg(user, "user"), *p = string_arg(password, "password"),
               *s = string_arg(service, "service");
    CallJob *c = call_job(ptr, 3);
    c->user = copy_text(u);
    c->password = copy_text(p);
    c->service = copy_text(s);
    if (c->user == NULL || c->password == NULL || c->service == NULL) {
        release_call(&c->job);
        Rf_error("out of memory");
    }
    kv_run_job(&c->job);
    int result = c->result;
    release_call(&c->job);
    return Rf_ScalarInteger(result);
}

/* ---- catalogue ---------------------------------------------------------------- */

/* The codes of one database as one comma-joined string, asked for with a
 * capacity: the library answers the length the whole list needs, and a
 * list that did not fit is asked for again in a buffer of that size. A
 * database that grows between the asks may not fit again: after tries asks
 * the job gives up.
 *
 * A direct listing stops at the interface's 32 calls for names. The buffer
 * is filled with a byte no listing writes (0x01) before each ask: a listing
 * the library ended leaves a second NUL behind the list's NUL, one stopped
 * at its 32nd call leaves the 0x01 there. So a direct list fits only with
 * that byte to spare. */
#define KV_UNWRITTEN 0x01

typedef struct CodesJob {
    KvJob job;
    KovrapApi api;
    int direct, capacity, tries, result, noMemory;
    char *database, *buffer;
} CodesJob;

static void release_codes(KvJob *job) {
    CodesJob *c = (CodesJob *)job;
    free(c->database);
    free(c->buffer);
    free(c);
}

/* The bytes a list of length bytes takes: its NUL, and for a direct list
 * the mark behind it. */
static long long codes_room(const CodesJob *c, int length) {
    return (long long)length + (c->direct ? 2 : 1);
}

static void codes_work(KvJob *job) {
    CodesJob *c = (CodesJob *)job;
    for (int ask = 0; ask < c->tries; ++ask) {
        if (ask > 0) {
            /* What the list needed, and a quarter more for a list that
             * grows meanwhile, within an int. */
            long long wanted = codes_room(c, c->result) + c->result / 4;
            if (wanted > 2147483647LL)
                wanted = 2147483647LL;
            free(c->buffer);
            c->buffer = (char *)malloc((size_t)wanted);
            if (c->buffer == NULL) {
                c->noMemory = 1;
                c->capacity = 0;
                return;
            }
            c->capacity = (int)wanted;
        }
        memset(c->buffer, KV_UNWRITTEN, (size_t)c->capacity);
        c->buffer[0] = '\0';
        c->result = c->api.getCodesSized(c->direct, c->database, c->buffer, c->capacity);
        if (c->result < 0 || codes_room(c, c->result) <= c->capacity)
            return;
    }
}

/* Answers list(result, fitted, text, may_be_cut): result is the length the
 * list needs (text holds it when fitted) or the negative status of a failed
 * open; may_be_cut says that a direct listing stopped at its last call for
 * names while the library still gave names. */
SEXP kv_c_codes(SEXP ptr, SEXP direct, SEXP database, SEXP capacity, SEXP tries) {
    const KovrapApi *api = api_of(ptr);
    kv_check_process();
    int isDirect = int_arg(direct, "direct");
    int first = int_arg(capacity, "capacity"), asks = int_arg(tries, "tries");
    if (first < 1 || asks < 1)
        Rf_error("capacity and tries must be positive");
    const char *name = string_arg(database, "database");
    CodesJob *c = (CodesJob *)calloc(1, sizeof *c);
    if (c == NULL)
        Rf_error("out of memory");
    c->job.work = codes_work;
    c->job.release = release_codes;
    c->api = *api;
    c->direct = isDirect != 0;
    c->capacity = first;
    c->tries = asks;
    c->database = copy_text(name);
    c->buffer = (char *)malloc((size_t)first);
    if (c->database == NULL || c->buffer == NULL) {
        release_codes(&c->job);
        Rf_error("out of memory");
    }
    kv_run_job(&c->job);
    if (c->noMemory) {
        int wanted = c->result;
        release_codes(&c->job);
        Rf_error("out of memory for a code list of %d bytes", wanted);
    }
    int fitted = c->result >= 0 && codes_room(c, c->result) <= c->capacity;
    int cut = fitted && c->direct && c->buffer[c->result + 1] != '\0';
    /* The library terminates inside the capacity; the list's end is made
     * sure of all the same. */
    if (fitted)
        c->buffer[c->result] = '\0';
    c->buffer[c->capacity - 1] = '\0';
    const char *names[] = {"result", "fitted", "text", "may_be_cut"};
    SEXP values[4];
    values[0] = PROTECT(Rf_ScalarInteger(c->result));
    values[1] = PROTECT(Rf_ScalarLogical(fitted));
    values[2] = PROTECT(Rf_mkString(fitted ? c->buffer : ""));
    values[3] = PROTECT(Rf_ScalarLogical(cut));
    release_codes(&c->job);
    SEXP out = named_list(4, names, values);
    UNPROTECT(4);
    return out;
}

/* Waits for a worker still inside the library: R's exit runs this before
 * the libraries' exit handlers. */
SEXP kv_c_wait_worker(void) {
    kv_wait_for_worker();
    return R_NilValue;
}

/* Copies of a request's strings in one block the job owns; NULL when memory
 * runs out. */
static char *copy_strings(const char **in, int n, const char **out) {
    size_t bytes = 1;
    for (int i = 0; i < n; ++i)
        bytes += strlen(in[i]) + 1;
    char *block = (char *)malloc(bytes);
    if (block == NULL)
        return NULL;
    char *at = block;
    for (int i = 0; i < n; ++i) {
        size_t len = strlen(in[i]) + 1;
        memcpy(at, in[i], len);
        out[i] = at;
        at += len;
    }
    return block;
}

/* The int parts of an information query, rows ints each, in this order;
 * R gets them as lists named by kvStatusNames, kvColumnNames and
 * kvExclusionNames, never by position. */
enum KvInfoPart {
    KV_STATUS_NOT_FOUND, /* the seven status lists, the first */
    KV_FIRST_YMD = 7,    /* the nine int columns, the first */
    KV_LAST_YMD,
    KV_FREQUENCY,
    KV_ATTRIBUTE1,
    KV_EXCLUDED_EMPTY = 16, /* the three exclusion lists, the first */
    KV_INFO_PARTS = 19
};
enum { KV_STATUS_LISTS = 7, KV_INT_COLUMNS = 9, KV_EXCLUSION_LISTS = 3 };
/* The status and exclusion counts, in one array. */
enum { KV_INFO_COUNTS = KV_STATUS_LISTS + KV_EXCLUSION_LISTS };
static const char *kvStatusNames[KV_STATUS_LISTS] = {"not_found", "status2", "status3", "status4",
                                                     "status5",   "status6", "other"};
static const char *kvColumnNames[KV_INT_COLUMNS] = {"first_ymd",  "last_ymd",   "frequency",
                                                    "attribute1", "attribute2", "attribute3",
                                                    "attribute4", "attribute5", "attribute6"};
static const char *kvExclusionNames[KV_EXCLUSION_LISTS] = {"empty", "finer", "coarser"};
static const char *kvTextNames[7] = {"text1", "text2", "text3", "text4", "text5", "text6", "text7"};

/* One information query, owned by itself like a fetch (see FetchJob). */
typedef struct InfoJob {
    KvJob job;
    KovrapApi api;
    int direct, n, ndb, compute, chosen, first, last, count;
    char *codeText, *dbText, *databaseText;
    const char **codes, **dbNames, **databases;
    size_t rows; /* n, at least 1: the length of each part of ints */
    int *ints;   /* the parts of KvInfoPart, rows each */
    int counts[KV_INFO_COUNTS];
    char *texts;    /* code and texts 1 to 7, n rows each */
    char **columns; /* 8 x n pointers into texts */
} InfoJob;

static void release_info(KvJob *job) {
    InfoJob *f = (InfoJob *)job;
    free(f->codeText);
    free(f->dbText);
    free(f->databaseText);
    free(f->codes);
    free(f->ints);
    free(f->texts);
    free(f->columns);
    free(f);
}

static int *info_part(InfoJob *f, int part) {
    return f->ints + (size_t)part * f->rows;
}

static void info_work(KvJob *job) {
    InfoJob *f = (InfoJob *)job;
    const size_t n = (size_t)f->n;
    InfoStatusLists status;
    memset(&status, 0, sizeof status);
    status.classifyOnly = 0;
    status.statusCounts = f->counts;
    status.statusList0 = info_part(f, KV_STATUS_NOT_FOUND);
    status.statusList1 = info_part(f, KV_STATUS_NOT_FOUND + 1);
    status.statusList2 = info_part(f, KV_STATUS_NOT_FOUND + 2);
    status.statusList3 = info_part(f, KV_STATUS_NOT_FOUND + 3);
    status.statusList4 = info_part(f, KV_STATUS_NOT_FOUND + 4);
    status.statusList5 = info_part(f, KV_STATUS_NOT_FOUND + 5);
    status.statusList6 = info_part(f, KV_STATUS_NOT_FOUND + 6);
    SeriesInfoColumns columns;
    memset(&columns, 0, sizeof columns);
    char **t = f->columns;
    columns.code = t;
    columns.firstDate = info_part(f, KV_FIRST_YMD);
    columns.lastDate = info_part(f, KV_LAST_YMD);
    columns.frequency = info_part(f, KV_FREQUENCY);
    columns.attribute1 = info_part(f, KV_ATTRIBUTE1);
    columns.attribute2 = info_part(f, KV_ATTRIBUTE1 + 1);
    columns.attribute3 = info_part(f, KV_ATTRIBUTE1 + 2);
    columns.attribute4 = info_part(f, KV_ATTRIBUTE1 + 3);
    columns.attribute5 = info_part(f, KV_ATTRIBUTE1 + 4);
    columns.attribute6 = info_part(f, KV_ATTRIBUTE1 + 5);
    columns.text1 = t + n;
    columns.text2 = t + 2 * n;
    columns.text3 = t + 3 * n;
    columns.text4 = t + 4 * n;
    columns.text5 = t + 5 * n;
    columns.text6 = t + 6 * n;
    columns.text7 = t + 7 * n;
    CommonRange common;
    memset(&common, 0, sizeof common);
    common.computeRange = f->compute;
    common.frequency = &f->chosen;
    common.start = &f->first;
    common.end = &f->last;
    common.observationCount = &f->count;
    RangeExclusions exclusions;
    memset(&exclusions, 0, sizeof exclusions);
    exclusions.exclusionCounts = f->counts + KV_STATUS_LISTS;
    exclusions.emptyList = info_part(f, KV_EXCLUDED_EMPTY);
    exclusions.higherFrequencyList = info_part(f, KV_EXCLUDED_EMPTY + 1);
    exclusions.lowerFrequencyList = info_part(f, KV_EXCLUDED_EMPTY + 2);
    f->api.seriesInfo(f->direct, &status, &columns, f->codes, f->dbNames, f->databases, f->ndb,
                      f->n, 0, 0, &common, &exclusions);
}

static SEXP ints_of(const int *from, R_xlen_t n) {
    SEXP out = Rf_allocVector(INTSXP, n);
    if (n > 0)
        memcpy(INTEGER(out), from, (size_t)n * sizeof(int));
    return out;
}

/* A list of parts of n ints each, stride ints apart, named. */
static SEXP named_parts(const int *from, size_t stride, R_xlen_t n, int parts, const char **names) {
    SEXP out = PROTECT(Rf_allocVector(VECSXP, parts));
    SEXP labels = PROTECT(Rf_allocVector(STRSXP, parts));
    for (int k = 0; k < parts; ++k) {
        SET_VECTOR_ELT(out, k, ints_of(from + (size_t)k * stride, n));
        SET_STRING_ELT(labels, k, Rf_mkChar(names[k]));
    }
    Rf_setAttrib(out, R_NamesSymbol, labels);
    UNPROTECT(2);
    return out;
}

/* Names a list of parts. */
static SEXP with_names(SEXP list, const char **names) {
    SEXP labels = PROTECT(Rf_allocVector(STRSXP, XLENGTH(list)));
    for (R_xlen_t k = 0; k < XLENGTH(list); ++k)
        SET_STRING_ELT(labels, k, Rf_mkChar(names[k]));
    Rf_setAttrib(list, R_NamesSymbol, labels);
    UNPROTECT(1);
    return list;
}

/* c_kovraSeriesInfo over one list of requests, with the common range when
 * range is TRUE (freq: a code, 1000 or 57; start and end calendar dates or
 * -1), on a worker like a fetch: the library may read large files for it.
 * Answers the status lists, the columns and the range. */
SEXP kv_c_info(SEXP ptr, SEXP direct, SEXP codes, SEXP dbNames, SEXP databases, SEXP range,
               SEXP freq, SEXP start, SEXP end) {
    const KovrapApi *api = api_of(ptr);
    kv_check_process();
    R_xlen_t n = XLENGTH(codes);
    if (XLENGTH(dbNames) != n)
        Rf_error("codes and databases differ in length");
    if (n > 2147483647 / 20 || XLENGTH(databases) > 2147483647)
        Rf_error("too many series");
    const char **codeArray = strings_arg(codes, "codes");
    const char **dbArray = strings_arg(dbNames, "dbNames");
    const char **databaseArray = strings_arg(databases, "databases");
    const int widths[8] = {KV_CODE_WIDTH, 0, 0, 0, 0, 0, 0, 0};
    const int textWidths[7] = KV_TEXT_WIDTHS;
    size_t rowBytes = (size_t)widths[0] + 1;
    for (int k = 0; k < 7; ++k)
        rowBytes += (size_t)textWidths[k] + 1;
    const size_t rows = (size_t)(n > 0 ? n : 1), ndb = (size_t)XLENGTH(databases);

    InfoJob *f = (InfoJob *)calloc(1, sizeof *f);
    if (f == NULL)
        Rf_error("out of memory for %d series", (int)n);
    f->job.work = info_work;
    f->job.release = release_info;
    f->api = *api;
    f->n = (int)n;
    f->ndb = (int)ndb;
    f->codes = (const char **)malloc((2 * rows + ndb + 1) * sizeof(char *));
    f->rows = rows;
    f->ints = (int *)malloc(KV_INFO_PARTS * rows * sizeof(int));
    f->texts = (char *)calloc(rows, rowBytes);
    f->columns = (char **)malloc(8 * rows * sizeof(char *));
    if (f->codes != NULL) {
        f->dbNames = f->codes + rows;
        f->databases = f->dbNames + rows;
        f->codeText = copy_strings(codeArray, f->n, f->codes);
        f->dbText = copy_strings(dbArray, f->n, f->dbNames);
        f->databaseText = copy_strings(databaseArray, f->ndb, f->databases);
    }
    if (f->codes == NULL || f->ints == NULL || f->texts == NULL || f->columns == NULL ||
        f->codeText == NULL || f->dbText == NULL || f->databaseText == NULL) {
        release_info(&f->job);
        Rf_error("out of memory for %d series", (int)n);
    }
    /* The lists start empty (-1), the columns at 0. */
    for (size_t i = 0; i < KV_INFO_PARTS * rows; ++i)
        f->ints[i] = i < KV_FIRST_YMD * rows || i >= KV_EXCLUDED_EMPTY * rows ? -1 : 0;
    char *at = f->texts;
    for (int k = 0; k < 8; ++k) {
        int w = k == 0 ? widths[0] : textWidths[k - 1];
        for (size_t i = 0; i < (size_t)n; ++i) {
            f->columns[(size_t)k * (size_t)n + i] = at;
            at += w + 1;
        }
    }
    f->direct = int_arg(direct, "direct");
    f->compute = Rf_asLogical(range) == TRUE ? 1 : 0;
    f->chosen = int_arg(freq, "freq");
    f->first = int_arg(start, "start");
    f->last = int_arg(end, "end");

    /* Until the job has run, an R error here would leak it. */
    kv_run_job(&f->job);

    int nprot = 0;
    SEXP statusLists = PROTECT(
        named_parts(info_part(f, KV_STATUS_NOT_FOUND), rows, n, KV_STATUS_LISTS, kvStatusNames));
    ++nprot;
    SEXP ints =
        PROTECT(named_parts(info_part(f, KV_FIRST_YMD), rows, n, KV_INT_COLUMNS, kvColumnNames));
    ++nprot;
    SEXP exclusionLists = PROTECT(named_parts(info_part(f, KV_EXCLUDED_EMPTY), rows, n,
                                              KV_EXCLUSION_LISTS, kvExclusionNames));
    ++nprot;
    SEXP statusCounts = PROTECT(named_parts(f->counts, 1, 1, KV_STATUS_LISTS, kvStatusNames));
    ++nprot;
    SEXP exclusionCounts = PROTECT(
        named_parts(f->counts + KV_STATUS_LISTS, 1, 1, KV_EXCLUSION_LISTS, kvExclusionNames));
    ++nprot;
    SEXP codeOut = PROTECT(strings_of(f->columns, n));
    ++nprot;
    SEXP textOut = PROTECT(Rf_allocVector(VECSXP, 7));
    ++nprot;
    for (int k = 0; k < 7; ++k)
        SET_VECTOR_ELT(textOut, k, strings_of(f->columns + (size_t)(k + 1) * (size_t)n, n));
    with_names(textOut, kvTextNames);
    const char *rangeNames[] = {"frequency", "start", "end", "count"};
    const int answered[] = {f->chosen, f->first, f->last, f->count};
    SEXP rangeOut = PROTECT(named_parts(answered, 1, 1, 4, rangeNames));
    ++nprot;
    release_info(&f->job);

    const char *names[] = {"status_counts", "status_lists",     "code",           "ints", "texts",
                           "range",         "exclusion_counts", "exclusion_lists"};
    SEXP values[8] = {statusCounts, statusLists, codeOut,         ints,
                      textOut,      rangeOut,    exclusionCounts, exclusionLists};
    SEXP out = named_list(8, names, values);
    UNPROTECT(nprot);
    return out;
}

/* ---- data ---------------------------------------------------------------------- */

/* One fetch, owned by itself: copies of the requests, the values and the
 * statuses, so that it can finish on its worker after R has left. */
typedef struct FetchJob {
    KvJob job;
    KovrapApi api; /* a copy: the connection may be closed meanwhile */
    int direct, n, ndb, start, end, frequency, count, aggregate;
    char *text;             /* every string of the request, NUL-separated */
    const char **codes;     /* n */
    const char **dbNames;   /* n */
    const char **databases; /* ndb */
    int *ints;              /* seven columns of n: code, advanced, A, B, C, window */
    double *values;         /* count x n, column per request */
    int *countStatus;       /* n */
    /* Scratch for one database's requests. */
    const char **subCodes, **subDbs;
    int *index, *subInts;
    double *subValues;
    int error, failedDatabase, aggregateStatus;
} FetchJob;

static void release_fetch(KvJob *job) {
    FetchJob *f = (FetchJob *)job;
    free(f->text);
    free(f->codes);
    free(f->ints);
    free(f->values);
    free(f->countStatus);
    free(f->index);
    free(f->subInts);
    free(f->subValues);
    free(f);
}

/* c_kovraGetData, one library call per database, between the setting of
 * the aggregation mode and its restoring. */
static void fetch_work(KvJob *job) {
    FetchJob *f = (FetchJob *)job;
    const int n = f->n, count = f->count;
    const int *code = f->ints, *advanced = f->ints + n, *paramA = f->ints + 2 * (size_t)n,
              *paramB = f->ints + 3 * (size_t)n, *paramC = f->ints + 4 * (size_t)n,
              *windowStart = f->ints + 5 * (size_t)n, *windowEnd = f->ints + 6 * (size_t)n;
    int previous = 0;
    if (f->aggregate >= 0) {
        previous = f->api.getAggmode(f->direct);
        f->aggregateStatus = f->api.setAggmode(f->direct, f->aggregate);
        if (f->aggregateStatus != 0)
            return;
    }
    int *sub[9];
    for (int i = 0; i < 9; ++i)
        sub[i] = f->subInts + (size_t)i * (size_t)n;
    for (int d = 0; d < f->ndb && f->error == 0; ++d) {
        int m = 0, windowed = 0;
        for (int k = 0; k < n; ++k) {
            if (strcmp(f->dbNames[k], f->databases[d]) != 0)
                continue;
            f->index[m] = k;
            f->subCodes[m] = f->codes[k];
            f->subDbs[m] = f->dbNames[k];
            sub[0][m] = code[k];
            sub[1][m] = paramB[k];
            sub[2][m] = paramA[k];
            sub[3][m] = 0; /* no upper span limit */
            sub[4][m] = paramC[k];
            sub[5][m] = advanced[k];
            sub[6][m] = 0; /* count status, written on failure only */
            /* Windows are taken one per windowed count, in request order. */
            if (advanced[k] != 0 && code[k] == KV_ADVANCED_WINDOWED) {
                sub[7][windowed] = windowStart[k];
                sub[8][windowed] = windowEnd[k];
                ++windowed;
            }
            ++m;
        }
        if (m == 0)
            continue;
        /* All requests of one database, in order: the rows go straight into
         * the result. */
        double *rows = f->subValues == NULL ? f->values : f->subValues;
        for (size_t i = 0; i < (size_t)count * (size_t)m; ++i)
            rows[i] = KV_MISSING;
        TransformArrays t;
        memset(&t, 0, sizeof t);
        t.transformCode = sub[0];
        t.paramB = sub[1];
        t.paramA = sub[2];
        t.spanEnd = sub[3];
        t.paramC = sub[4];
        t.advancedFlag = sub[5];
        t.reserved = NULL;
        t.countStatus = sub[6];
        AdvancedWindows w;
        w.windowStart = sub[7];
        w.windowEnd = sub[8];
        const char *one[1] = {f->databases[d]};
        f->api.getData(f->direct, rows, f->subCodes, f->subDbs, one, 1, m, f->start, f->end,
                       f->frequency, 0, count, &t, &w, &f->error);
        for (int r = 0; r < m; ++r) {
            if (rows != f->values)
                memcpy(f->values + (size_t)f->index[r] * (size_t)count,
                       rows + (size_t)r * (size_t)count, (size_t)count * sizeof(double));
            f->countStatus[f->index[r]] = sub[6][r];
        }
        if (f->error != 0)
            f->failedDatabase = d + 1;
    }
    if (f->aggregate >= 0)
        f->api.setAggmode(f->direct, previous);
}

static int *int_column(SEXP x, R_xlen_t n, const char *what) {
    if (TYPEOF(x) != INTSXP || XLENGTH(x) != n)
        Rf_error("%s must be an integer vector with one entry per series", what);
    return INTEGER(x);
}

/* The element of a list by its name (R_NilValue when there is none). */
static SEXP list_element(SEXP list, const char *name) {
    SEXP names = Rf_getAttrib(list, R_NamesSymbol);
    for (R_xlen_t k = 0; names != R_NilValue && k < XLENGTH(list); ++k)
        if (strcmp(CHAR(STRING_ELT(names, k)), name) == 0)
            return VECTOR_ELT(list, k);
    return R_NilValue;
}

/* Copies the request into a fetch job; NULL when memory runs out. */
static FetchJob *fetch_job(const KovrapApi *api, SEXP codes, SEXP dbNames, SEXP databases,
                           SEXP transforms, int n, int count) {
    const char *columns[7] = {"code",   "advanced",    "paramA",   "paramB",
                              "paramC", "windowStart", "windowEnd"};
    const int *in[7];
    for (int i = 0; i < 7; ++i)
        in[i] = int_column(list_element(transforms, columns[i]), n, columns[i]);
    const char **codeArray = strings_arg(codes, "codes");
    const char **dbArray = strings_arg(dbNames, "dbNames");
    const char **databaseArray = strings_arg(databases, "databases");
    int ndb = (int)XLENGTH(databases);
    size_t bytes = 0;
    for (int k = 0; k < n; ++k)
        bytes += strlen(codeArray[k]) + strlen(dbArray[k]) + 2;
    for (int d = 0; d < ndb; ++d)
        bytes += strlen(databaseArray[d]) + 1;

    FetchJob *f = (FetchJob *)calloc(1, sizeof *f);
    if (f == NULL)
        return NULL;
    f->job.work = fetch_work;
    f->job.release = release_fetch;
    f->api = *api;
    size_t rows = (size_t)(n > 0 ? n : 1), cells = (size_t)(count > 0 ? count : 1) * rows;
    f->text = (char *)malloc(bytes + 1);
    f->codes = (const char **)malloc((2 * rows + (size_t)ndb + 2 * rows) * sizeof(char *));
    f->ints = (int *)malloc(7 * rows * sizeof(int));
    f->values = (double *)malloc(cells * sizeof(double));
    f->countStatus = (int *)calloc(rows, sizeof(int));
    f->index = (int *)malloc(rows * sizeof(int));
    f->subInts = (int *)malloc(9 * rows * sizeof(int));
    /* Scratch rows only where the result cannot take a database's rows
     * directly: when the requests are not all of one database. */
    int oneDatabase = ndb == 1;
    for (int k = 0; k < n && oneDatabase; ++k)
        oneDatabase = strcmp(dbArray[k], databaseArray[0]) == 0;
    f->subValues = oneDatabase ? NULL : (double *)malloc(cells * sizeof(double));
    if (f->text == NULL || f->codes == NULL || f->ints == NULL || f->values == NULL ||
        f->countStatus == NULL || f->index == NULL || f->subInts == NULL ||
        (!oneDatabase && f->subValues == NULL)) {
        release_fetch(&f->job);
        return NULL;
    }
    f->dbNames = f->codes + rows;
    f->databases = f->dbNames + rows;
    f->subCodes = f->databases + ndb;
    f->subDbs = f->subCodes + rows;
    char *at = f->text;
    for (int k = 0; k < n; ++k) {
        size_t a = strlen(codeArray[k]) + 1, b = strlen(dbArray[k]) + 1;
        memcpy(at, codeArray[k], a);
        f->codes[k] = at;
        at += a;
        memcpy(at, dbArray[k], b);
        f->dbNames[k] = at;
        at += b;
    }
    for (int d = 0; d < ndb; ++d) {
        size_t a = strlen(databaseArray[d]) + 1;
        memcpy(at, databaseArray[d], a);
        f->databases[d] = at;
        at += a;
    }
    for (int i = 0; i < 7; ++i)
        if (n > 0)
            memcpy(f->ints + (size_t)i * (size_t)n, in[i], (size_t)n * sizeof(int));
    f->n = n;
    f->ndb = ndb;
    f->count = count;
    return f;
}

/* c_kovraGetData over the requests, with the aggregation mode given (-1:
 * the library's as it is). Answers list(values (a matrix of count rows and
 * one column per series, NA for the missing value), error,
 * failed_database, count_status, aggregate_status). */
SEXP kv_c_get_data(SEXP ptr, SEXP direct, SEXP codes, SEXP dbNames, SEXP databases, SEXP window,
                   SEXP transforms, SEXP aggregate) {
    const KovrapApi *api = api_of(ptr);
    kv_check_process();
    R_xlen_t n = XLENGTH(codes);
    if (XLENGTH(dbNames) != n)
        Rf_error("codes and databases differ in length");
    if (TYPEOF(window) != INTSXP || XLENGTH(window) != 4)
        Rf_error("window must be four integers");
    if (TYPEOF(transforms) != VECSXP || XLENGTH(transforms) != 7)
        Rf_error("transforms must be a list of seven named integer vectors");
    if (n > 2147483647 || XLENGTH(databases) > 2147483647)
        Rf_error("too many series");
    int count = INTEGER(window)[3];
    if (count < 0)
        Rf_error("the window holds no period");
    if ((double)count * (double)n > (double)R_XLEN_T_MAX)
        Rf_error("the window is too large");
    FetchJob *f = fetch_job(api, codes, dbNames, databases, transforms, (int)n, count);
    if (f == NULL)
        Rf_error("out of memory for %d series of %d periods", (int)n, count);
    f->direct = int_arg(direct, "direct");
    f->start = INTEGER(window)[0];
    f->end = INTEGER(window)[1];
    f->frequency = INTEGER(window)[2];
    f->aggregate = int_arg(aggregate, "aggregate");

    /* Until the job has run, an R error here would leak it. */
    kv_run_job(&f->job);

    SEXP values = PROTECT(Rf_allocMatrix(REALSXP, count, (int)n));
    double *out = REAL(values);
    const size_t cells = (size_t)count * (size_t)n;
    for (size_t i = 0; i < cells; ++i) {
        double v = f->values[i];
        /* The missing value and anything not finite read as NA, as in
         * every host: an aggregation may overflow to an infinity. */
        out[i] = (v == KV_MISSING || !R_FINITE(v)) ? NA_REAL : v;
    }
    SEXP countStatus = PROTECT(Rf_allocVector(INTSXP, n));
    if (n > 0)
        memcpy(INTEGER(countStatus), f->countStatus, (size_t)n * sizeof(int));
    const char *names[] = {"values", "error", "failed_database", "count_status",
                           "aggregate_status"};
    SEXP parts[5];
    parts[0] = values;
    parts[1] = PROTECT(Rf_ScalarInteger(f->error));
    parts[2] = PROTECT(Rf_ScalarInteger(f->failedDatabase));
    parts[3] = countStatus;
    parts[4] = PROTECT(Rf_ScalarInteger(f->aggregateStatus));
    release_fetch(&f->job);
    SEXP result = named_list(5, names, parts);
    UNPROTECT(5);
    return result;
}

/* TRUE while a call left behind by an interrupt is still inside the
 * library. */
SEXP kv_c_worker_busy(void) {
    return Rf_ScalarLogical(kv_worker_busy());
}

/* ---- registration ---------------------------------------------------------------- */

static const R_CallMethodDef kCallMethods[] = {
    {"kv_c_load", (DL_FUNC)&kv_c_load, 1},
    {"kv_c_close", (DL_FUNC)&kv_c_close, 1},
    {"kv_c_valid", (DL_FUNC)&kv_c_valid, 1},
    {"kv_c_convert", (DL_FUNC)&kv_c_convert, 4},
    {"kv_c_date_seq", (DL_FUNC)&kv_c_date_seq, 4},
    {"kv_c_obs_num", (DL_FUNC)&kv_c_obs_num, 4},
    {"kv_c_get_date", (DL_FUNC)&kv_c_get_date, 4},
    {"kv_c_version", (DL_FUNC)&kv_c_version, 1},
    {"kv_c_authenticate", (DL_FUNC)&kv_c_authenticate, 4},
    {"kv_c_aggmode", (DL_FUNC)&kv_c_aggmode, 3},
    {"kv_c_codes", (DL_FUNC)&kv_c_codes, 5},
    {"kv_c_wait_worker", (DL_FUNC)&kv_c_wait_worker, 0},
    {"kv_c_worker_busy", (DL_FUNC)&kv_c_worker_busy, 0},
    {"kv_c_info", (DL_FUNC)&kv_c_info, 9},
    {"kv_c_get_data", (DL_FUNC)&kv_c_get_data, 8},
    {"kv_c_layout", (DL_FUNC)&kv_c_layout, 0},
    {"kv_c_constants", (DL_FUNC)&kv_c_constants, 0},
    {"kv_c_ymd_dates", (DL_FUNC)&kv_c_ymd_dates, 1},
    {"kv_c_regular_size", (DL_FUNC)&kv_c_regular_size, 1},
    {"kv_c_period_dates", (DL_FUNC)&kv_c_period_dates, 3},
    {"kv_c_repeated", (DL_FUNC)&kv_c_repeated, 3},
    {NULL, NULL, 0}};

void R_init_kovrap(DllInfo *dll) {
    R_registerRoutines(dll, NULL, kCallMethods, NULL, NULL);
    R_useDynamicSymbols(dll, FALSE);
    R_forceSymbols(dll, TRUE);
    kv_worker_init();
}

/* The worker runs this package's code: it must be gone before the code is. */
void R_unload_kovrap(DllInfo *dll) {
    (void)dll;
    kv_wait_for_worker();
}
