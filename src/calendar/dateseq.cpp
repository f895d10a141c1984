#include "tqvlib.h"

#include "Kovrap.h"

extern "C" KOVRAP_API void c_kovraDateSeq(int *dates, int start, int count, int frequency) {
    // The date of each observation always comes from the local library's
    // calendar, whichever library the host reads its data from.
    for (int i = 0; i < count; ++i)
        dates[i] = tqvdateToYmd(TQVGetDate(start, i + 1, frequency), frequency);
}
