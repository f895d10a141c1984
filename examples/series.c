/*
 * series.c - a host of Kovrap written in C.
 *
 * Lists the series of a database, fetches three of them over eight quarters,
 * each with a transformation, and prints them side by side with the calendar
 * dates of their quarters. The database is opened by the local library.
 *
 *     kovrap_example_c [DATABASE]          (default: example.tqvdb)
 *
 * The program links Kovrap64 like any other library; at run time Kovrap64
 * needs the database libraries beside it (see docs/windows.md on Windows).
 */
#include "Kovrap.h"

#include <stdio.h>

enum {
    LOCAL = 0,      /* direct flag: the local library opens database files */
    QUARTERLY = 30, /* frequency code */
    FIRST = 20211,  /* 2021 Q1, a quarterly period date */
    LAST = 20224,   /* 2022 Q4 */
    QUARTERS = 8,   /* observations per series from FIRST to LAST */
    REQUESTS = 4,
    CODES_BYTES = 1024 /* room for the codes of some 100 series */
};

static void printValue(double value) {
    if (value == KOVRAP_MISSING)
        printf(" %10s", "NA");
    else
        printf(" %10.2f", value);
}

int main(int argc, char **argv) {
    const char *database = argc > 1 ? argv[1] : "example.tqvdb";
    static const char *const labels[REQUESTS] = {"GDP", "GDP %q/q", "GDP MA(4)", "CPI avg"};

    /* Every code of the database, comma-joined, as far as the buffer holds
     * whole codes; the result is the length of the whole list, or a negative
     * status. */
    char codes[CODES_BYTES];
    const int listed = c_kovraGetCodesSized(LOCAL, database, codes, (int)sizeof codes);
    if (listed < 0) {
        fprintf(stderr, "cannot open %s\n", database);
        return 1;
    }
    printf("series in %s: %s%s\n", database, codes, listed < (int)sizeof codes ? "" : ",...");

    /* The library counts the periods of the window. */
    const int count = c_kovraGetObsNum(FIRST, LAST, QUARTERLY);
    if (count != QUARTERS) {
        fprintf(stderr, "expected %d quarters, the library counts %d\n", QUARTERS, count);
        return 1;
    }
    printf("%d quarters from %d to %d\n", count, FIRST, LAST);

    /* Four requests, each a code and the database that holds it. */
    const char *requestCodes[REQUESTS] = {"GDP", "GDP", "GDP", "CPI"};
    const char *dbNames[REQUESTS] = {database, database, database, database};
    const char *databases[1] = {database};

    /* Transformations, one entry per request: -1 no math transformation,
     * 2 percent change on the previous period; an advanced count with
     * operation 1, a trailing moving average over paramB periods. The monthly
     * CPI is fetched at the quarterly frequency: the library averages the
     * months of each quarter. */
    int transformCode[REQUESTS] = {-1, 2, 1, -1};
    int paramB[REQUESTS] = {0, 0, 4, 0};
    int paramA[REQUESTS] = {0, 0, 0, 0};
    int spanEnd[REQUESTS] = {0, 0, 0, 0};
    int paramC[REQUESTS] = {0, 0, 0, 0};
    int advancedFlag[REQUESTS] = {0, 0, 1, 0};
    int countStatus[REQUESTS] = {0, 0, 0, 0};
    TransformArrays transforms = {transformCode, paramB,       paramA, spanEnd,
                                  paramC,        advancedFlag, NULL,   countStatus};
    /* No code-1792 count, so no base windows are read. */
    AdvancedWindows windows = {NULL, NULL};

    /* The error cell is written only on failure, so it starts at 0. */
    int error = 0;
    double values[REQUESTS * QUARTERS];
    c_kovraGetData(LOCAL, values, requestCodes, dbNames, databases, 1, REQUESTS, FIRST, LAST,
                   QUARTERLY, 0, QUARTERS, &transforms, &windows, &error);
    if (error != 0) {
        fprintf(stderr, "fetch failed with status %d\n", error);
        return 1;
    }
    for (int k = 0; k < REQUESTS; ++k)
        if (countStatus[k] != 0)
            printf("%s: the advanced count failed with status %d\n", labels[k], countStatus[k]);

    /* The calendar date of each quarter's last day. */
    int dates[QUARTERS];
    c_kovraDateSeq(dates, FIRST, QUARTERS, QUARTERLY);

    printf("%-10s", "date");
    for (int k = 0; k < REQUESTS; ++k)
        printf(" %10s", labels[k]);
    printf("\n");
    for (int t = 0; t < QUARTERS; ++t) {
        printf("%04d-%02d-%02d", dates[t] / 10000, dates[t] / 100 % 100, dates[t] % 100);
        /* Row k holds request k: QUARTERS values from slot k * QUARTERS on. */
        for (int k = 0; k < REQUESTS; ++k)
            printValue(values[k * QUARTERS + t]);
        printf("\n");
    }
    return 0;
}
