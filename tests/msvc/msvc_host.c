/* A host built for Microsoft's ABI (clang, x86_64-pc-windows-msvc) and linked
 * by lld-link against Kovrap64.lib alone: no C runtime, no Microsoft headers
 * or libraries. It calls into the MinGW-built Kovrap64.dll, reads the
 * exported data through __imp_TQVDchunk and hands the DLL a TransformArrays
 * record built on its side. The exit status is 0 when every check holds,
 * else 100 plus the number of the first check that failed. */
#include "Kovrap.h"

/* Floating point in a program without the C runtime needs this symbol. */
int _fltused = 0;

enum { QUARTERLY = 30, FIRST = 20211, LAST = 20224, QUARTERS = 8, REQUESTS = 3 };

static int near(double a, double b) {
    const double d = a - b;
    return d < 1e-9 && d > -1e-9;
}

int start(void) {
    const char *const database = "example.tqvdb";
    const char *codes[REQUESTS];
    const char *dbNames[REQUESTS];
    const char *databases[1];
    int transformCode[REQUESTS], paramB[REQUESTS], paramA[REQUESTS], spanEnd[REQUESTS];
    int paramC[REQUESTS], advancedFlag[REQUESTS], countStatus[REQUESTS];
    TransformArrays transforms;
    AdvancedWindows windows;
    double values[REQUESTS * QUARTERS];
    int dates[QUARTERS];
    int error = 0;
    int k;

    if (isLeapYear(2000) != 1 || isLeapYear(1900) != 0)
        return 101;
    if (tqvdateToYmd(202402, 40) != 20240229 || ymdToTqvdate(20231115, 30) != 20234)
        return 102;
    if (TQVDchunk != 1000)
        return 103;
    if (c_kovraGetObsNum(FIRST, LAST, QUARTERLY) != QUARTERS)
        return 104;
    c_kovraDateSeq(dates, FIRST, QUARTERS, QUARTERLY);
    if (dates[0] != 20210331 || dates[QUARTERS - 1] != 20221231)
        return 105;

    /* GDP as it is, its percent change, its moving average over 4 quarters. */
    for (k = 0; k < REQUESTS; ++k) {
        codes[k] = "GDP";
        dbNames[k] = database;
        transformCode[k] = -1;
        paramB[k] = paramA[k] = spanEnd[k] = paramC[k] = advancedFlag[k] = 0;
        countStatus[k] = -7;
    }
    databases[0] = database;
    transformCode[1] = 2;
    transformCode[2] = 1;
    paramB[2] = 4;
    advancedFlag[2] = 1;
    transforms.transformCode = transformCode;
    transforms.paramB = paramB;
    transforms.paramA = paramA;
    transforms.spanEnd = spanEnd;
    transforms.paramC = paramC;
    transforms.advancedFlag = advancedFlag;
    transforms.reserved = 0;
    transforms.countStatus = countStatus;
    windows.windowStart = 0;
    windows.windowEnd = 0;
    for (k = 0; k < REQUESTS * QUARTERS; ++k)
        values[k] = -1.0;
    c_kovraGetData(0, values, codes, dbNames, databases, 1, REQUESTS, FIRST, LAST, QUARTERLY, 0,
                   QUARTERS, &transforms, &windows, &error);
    if (error != 0)
        return 106;
    if (!near(values[0], 100.0) || !near(values[1], 102.0))
        return 107;
    /* No change for the first quarter, 2 % for the second. */
    if (values[QUARTERS] != KOVRAP_MISSING || !near(values[QUARTERS + 1], 2.0))
        return 108;
    /* The moving average (read through advancedFlag and paramB, late in the
     * record) is missing for the first three quarters, then present. */
    if (values[2 * QUARTERS + 2] != KOVRAP_MISSING || values[2 * QUARTERS + 3] == KOVRAP_MISSING)
        return 109;
    if (countStatus[2] != -7 && countStatus[2] != 0)
        return 110;
    return 0;
}
