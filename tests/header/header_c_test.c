/* The public header compiles as C99 and the exports link from C. */
#include "Kovrap.h"

#include <stddef.h>
#include <stdio.h>

int main(void) {
    int failures = 0;
    /* Record layouts: an int first, then pointers on pointer boundaries. */
    if (offsetof(InfoStatusLists, statusCounts) != sizeof(void *))
        failures++;
    if (offsetof(CommonRange, frequency) != sizeof(void *))
        failures++;
    if (offsetof(RangeExclusions, exclusionCounts) != sizeof(void *))
        failures++;
    if (sizeof(SeriesInfoColumns) != 17 * sizeof(void *))
        failures++;
    if (offsetof(TransformArrays, countStatus) != 7 * sizeof(void *))
        failures++;
    if (sizeof(AdvancedWindows) != 2 * sizeof(void *))
        failures++;
    if (TQVDchunk != 1000)
        failures++;
    /* The named constants carry the values hosts were written against; each
     * is used from C here, so the header's macros are seen to compile. */
    if (KOVRAP_MISSING != 1e9 || KOVRAP_CODELIST_BYTES != 10000)
        failures++;
    {
        const int widths[8] = {KOVRAP_CODE_WIDTH,  KOVRAP_TEXT1_WIDTH, KOVRAP_TEXT2_WIDTH,
                               KOVRAP_TEXT3_WIDTH, KOVRAP_TEXT4_WIDTH, KOVRAP_TEXT5_WIDTH,
                               KOVRAP_TEXT6_WIDTH, KOVRAP_TEXT7_WIDTH};
        const int expected[8] = {10, 8, 10, 8, 8, 82, 10, 84};
        int i;
        for (i = 0; i < 8; i++)
            if (widths[i] != expected[i])
                failures++;
    }
    if (KOVRAP_ADVANCED_WINDOWED != 1792 || KOVRAP_STATUS_TOO_FEW_PERIODS != 834 ||
        KOVRAP_STATUS_SEGMENTS_MISMATCH != 835 || KOVRAP_STATUS_NO_MEMORY != 836)
        failures++;
    if (KOVRAP_STATUS_BAD_CAPACITY != 837 || KOVRAP_STATUS_NAMES_OVERRUN != 838 ||
        KOVRAP_STATUS_LIST_TOO_LONG != 839 || KOVRAP_NAMES_TEXT_BYTES != 1048576)
        failures++;
    /* A negative capacity is refused before any library is called. */
    if (c_kovraGetCodesSized(0, "NOSUCH", NULL, -1) != -837)
        failures++;
    if (isLeapYear(2024) != 1)
        failures++;
    if (tqvdateToYmd(202402, 40) != 20240229)
        failures++;
    if (ymdToTqvdate(20230715, 30) != 20233)
        failures++;
    if (failures) {
        printf("header_c_test: %d failures\n", failures);
        return 1;
    }
    printf("header_c_test: ok\n");
    return 0;
}
