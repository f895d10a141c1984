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
