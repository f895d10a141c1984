/* The two library calls that kovra find makes for one database, bare, in a
 * process of its own as kovra is: c_kovraGetCodes into a buffer of the
 * file's size, then c_kovraSeriesInfo with every column over the codes it
 * listed. Compiled and run by bench/find.py:
 *
 *     find_bare LIBRARY DATABASE BYTES
 */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Kovrap.h"

typedef int (*codes_fn)(int, char *, const char *, int *);
typedef void (*info_fn)(int, InfoStatusLists *, SeriesInfoColumns *, const char *const *,
                        const char *const *, const char *const *, int, int, int, int, CommonRange *,
                        RangeExclusions *);

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: find_bare LIBRARY DATABASE BYTES\n");
        return 2;
    }
    void *library = dlopen(argv[1], RTLD_NOW);
    if (!library) {
        fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    codes_fn getCodes = (codes_fn)dlsym(library, "c_kovraGetCodes");
    info_fn seriesInfo = (info_fn)dlsym(library, "c_kovraSeriesInfo");
    const size_t bytes = (size_t)strtoull(argv[3], NULL, 10);
    char *listing = calloc(bytes, 1);
    int error = 0;
    getCodes(0, listing, argv[2], &error);
    if (error) {
        fprintf(stderr, "the listing failed\n");
        return 1;
    }
    /* The codes in place: each comma becomes a NUL. */
    size_t n = 0;
    for (char *p = listing; *p; ++p)
        n += *p == ',' ? 1 : 0;
    n += listing[0] ? 1 : 0;
    const char **codes = malloc(n * sizeof *codes);
    const char **dbs = malloc(n * sizeof *dbs);
    size_t k = 0;
    for (char *p = listing; *p && k < n;) {
        codes[k] = p;
        dbs[k++] = argv[2];
        char *comma = strchr(p, ',');
        if (!comma)
            break;
        *comma = '\0';
        p = comma + 1;
    }
    const int widths[8] = {KOVRAP_CODE_WIDTH,  KOVRAP_TEXT1_WIDTH, KOVRAP_TEXT2_WIDTH,
                           KOVRAP_TEXT3_WIDTH, KOVRAP_TEXT4_WIDTH, KOVRAP_TEXT5_WIDTH,
                           KOVRAP_TEXT6_WIDTH, KOVRAP_TEXT7_WIDTH};
    char **columns[8];
    for (int c = 0; c < 8; ++c) {
        char *text = calloc(n, (size_t)widths[c]);
        columns[c] = malloc(n * sizeof(char *));
        for (size_t j = 0; j < n; ++j)
            columns[c][j] = text + j * (size_t)widths[c];
    }
    int *ints = calloc(9 * n, sizeof(int));
    int *lists = calloc(7 * n, sizeof(int));
    int counts[7] = {0};
    InfoStatusLists status = {0,
                              counts,
                              lists,
                              lists + n,
                              lists + 2 * n,
                              lists + 3 * n,
                              lists + 4 * n,
                              lists + 5 * n,
                              lists + 6 * n};
    SeriesInfoColumns info = {columns[0],   ints,         ints + n,     ints + 2 * n, ints + 3 * n,
                              ints + 4 * n, ints + 5 * n, ints + 6 * n, ints + 7 * n, ints + 8 * n,
                              columns[1],   columns[2],   columns[3],   columns[4],   columns[5],
                              columns[6],   columns[7]};
    const char *databases[1] = {argv[2]};
    seriesInfo(0, &status, &info, codes, dbs, databases, 1, (int)n, 0, 0, NULL, NULL);
    int failed = 0;
    for (int c = 0; c < 7; ++c)
        failed += counts[c];
    printf("%zu %d\n", n, failed);
    return failed ? 1 : 0;
}
