/* A host built against the installed package: a few calls into Kovrap64, each
 * checked against its known answer. Prints "consumer: ok" when all hold. */
#include "Kovrap.h"

#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expect(const char *what, long long got, long long wanted) {
    if (got != wanted) {
        printf("%s: got %lld, wanted %lld\n", what, got, wanted);
        ++failures;
    }
}

int main(void) {
    /* Calendar: pure conversions. */
    expect("isLeapYear(2000)", isLeapYear(2000), 1);
    expect("isLeapYear(1900)", isLeapYear(1900), 0);
    expect("tqvdateToYmd(202402, 40)", tqvdateToYmd(202402, 40), 20240229);
    expect("tqvdateToYmd(20233, 30)", tqvdateToYmd(20233, 30), 20230930);
    expect("ymdToTqvdate(20231115, 30)", ymdToTqvdate(20231115, 30), 20234);
    expect("ymdToTqvdate(20231115, 20)", ymdToTqvdate(20231115, 20), -1);

    /* Exported data, read through the import library on Windows. */
    expect("TQVDchunk", TQVDchunk, 1000);

    /* Through the local database library, found beside Kovrap64 at run time:
     * four months from November 2023, as month-end calendar dates. */
    {
        int dates[5] = {-1, -1, -1, -1, -1};
        const int wanted[4] = {20231130, 20231231, 20240131, 20240229};
        int i;
        c_kovraDateSeq(dates, 202311, 4, 40);
        for (i = 0; i < 4; ++i)
            expect("c_kovraDateSeq element", dates[i], wanted[i]);
        expect("c_kovraDateSeq past the count", dates[4], -1);
    }
    expect("c_kovraGetObsNum(20231, 20244, 30)", c_kovraGetObsNum(20231, 20244, 30), 8);
    expect("c_kovraGetDate(202311, 3, 40)", c_kovraGetDate(202311, 3, 40), 202401);

    /* Both database libraries answer: the interface version and two texts. */
    {
        int version = 0;
        char local[20] = "", direct[20] = "";
        c_kovraCVersion(&version, local, direct);
        expect("interface version", version, 1);
        expect("local version text present", local[0] != '\0', 1);
        expect("direct version text present", direct[0] != '\0', 1);
        expect("local and direct texts differ", strcmp(local, direct) != 0, 1);
    }

    if (failures != 0) {
        printf("consumer: %d failures\n", failures);
        return 1;
    }
    printf("consumer: ok\n");
    return 0;
}
