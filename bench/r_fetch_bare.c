/* The two library calls that kovrap::kv_get makes, bare: c_kovraSeriesInfo
 * for the common range and c_kovraGetData for the values, with every array
 * prepared beforehand. Compiled by bench/r_fetch.R with R CMD SHLIB. */
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>

#define R_NO_REMAP
#include <R.h>
#include <Rinternals.h>

#include "Kovrap.h"

typedef void (*info_fn)(int, InfoStatusLists *, SeriesInfoColumns *, const char *const *,
                        const char *const *, const char *const *, int, int, int, int, CommonRange *,
                        RangeExclusions *);
typedef void (*data_fn)(int, double *, const char *const *, const char *const *,
                        const char *const *, int, int, int, int, int, int, int, TransformArrays *,
                        AdvancedWindows *, int *);

typedef struct Bare {
    info_fn info;
    data_fn data;
    int n, count;
    const char **codes, **dbs, *databases[1];
    int *ints, *lists, *counts, *exclusions, *zeros, *countStatus;
    char *texts;
    char **textColumns[8];
    double *values;
} Bare;

static const int kWidths[8] = {KOVRAP_CODE_WIDTH,  KOVRAP_TEXT1_WIDTH, KOVRAP_TEXT2_WIDTH,
                               KOVRAP_TEXT3_WIDTH, KOVRAP_TEXT4_WIDTH, KOVRAP_TEXT5_WIDTH,
                               KOVRAP_TEXT6_WIDTH, KOVRAP_TEXT7_WIDTH};

SEXP bare_prepare(SEXP library, SEXP codes, SEXP database, SEXP count) {
    void *handle = dlopen(CHAR(STRING_ELT(library, 0)), RTLD_NOW | RTLD_LOCAL);
    if (handle == NULL)
        Rf_error("%s", dlerror());
    Bare *b = (Bare *)calloc(1, sizeof *b);
    *(void **)&b->info = dlsym(handle, "c_kovraSeriesInfo");
    *(void **)&b->data = dlsym(handle, "c_kovraGetData");
    int n = b->n = (int)XLENGTH(codes);
    b->count = Rf_asInteger(count);
    b->codes = (const char **)malloc((size_t)n * sizeof(char *));
    b->dbs = (const char **)malloc((size_t)n * sizeof(char *));
    for (int i = 0; i < n; ++i) {
        b->codes[i] = strdup(CHAR(STRING_ELT(codes, i)));
        b->dbs[i] = strdup(CHAR(STRING_ELT(database, 0)));
    }
    b->databases[0] = b->dbs[0];
    b->ints = (int *)calloc((size_t)n * 9, sizeof(int));
    b->lists = (int *)calloc((size_t)n * 7, sizeof(int));
    b->counts = (int *)calloc(10, sizeof(int));
    b->exclusions = (int *)calloc((size_t)n * 3, sizeof(int));
    b->zeros = (int *)calloc((size_t)n, sizeof(int));
    b->countStatus = (int *)calloc((size_t)n, sizeof(int));
    size_t row = 0;
    for (int t = 0; t < 8; ++t)
        row += (size_t)kWidths[t] + 1;
    b->texts = (char *)calloc((size_t)n, row);
    char *at = b->texts;
    for (int t = 0; t < 8; ++t) {
        b->textColumns[t] = (char **)malloc((size_t)n * sizeof(char *));
        for (int i = 0; i < n; ++i) {
            b->textColumns[t][i] = at;
            at += kWidths[t] + 1;
        }
    }
    b->values = (double *)malloc((size_t)n * (size_t)b->count * sizeof(double));
    return R_MakeExternalPtr(b, R_NilValue, R_NilValue);
}

/* One common range and one fetch; answers c(frequency, start, end, count). */
SEXP bare_run(SEXP ptr) {
    Bare *b = (Bare *)R_ExternalPtrAddr(ptr);
    int n = b->n, *l = b->lists, *e = b->exclusions;
    InfoStatusLists status = {0,         b->counts, l,         l + n,    l + 2 * n,
                              l + 3 * n, l + 4 * n, l + 5 * n, l + 6 * n};
    int *c = b->ints;
    SeriesInfoColumns columns = {b->textColumns[0],
                                 c,
                                 c + n,
                                 c + 2 * n,
                                 c + 3 * n,
                                 c + 4 * n,
                                 c + 5 * n,
                                 c + 6 * n,
                                 c + 7 * n,
                                 c + 8 * n,
                                 b->textColumns[1],
                                 b->textColumns[2],
                                 b->textColumns[3],
                                 b->textColumns[4],
                                 b->textColumns[5],
                                 b->textColumns[6],
                                 b->textColumns[7]};
    int frequency = 1000, start = -1, end = -1, count = 0;
    CommonRange range = {1, &frequency, &start, &end, &count};
    RangeExclusions exclusions = {0, b->counts + 7, e, e + n, e + 2 * n};
    b->info(0, &status, &columns, b->codes, b->dbs, b->databases, 1, n, 0, 0, &range, &exclusions);
    if (count != b->count)
        Rf_error("the common range holds %d periods, not %d", count, b->count);
    TransformArrays t = {b->zeros, b->zeros, b->zeros, b->zeros,
                         b->zeros, b->zeros, NULL,     b->countStatus};
    AdvancedWindows w = {b->zeros, b->zeros};
    int failed = 0;
    b->data(0, b->values, b->codes, b->dbs, b->databases, 1, n, start, end, frequency, 0, count, &t,
            &w, &failed);
    if (failed != 0)
        Rf_error("c_kovraGetData failed (status %d)", failed);
    SEXP out = Rf_allocVector(INTSXP, 4);
    INTEGER(out)[0] = frequency;
    INTEGER(out)[1] = start;
    INTEGER(out)[2] = end;
    INTEGER(out)[3] = count;
    return out;
}
