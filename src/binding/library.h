// The two database libraries behind one table of operations, so that every
// export chooses its library once per call and is written once for both.
#ifndef KOVRAP_LIBRARY_H
#define KOVRAP_LIBRARY_H

#include "tqvlib.h"

namespace kovrap {

struct Library {
    bool direct;
    int (*enableRetries)(int on);
    int (*enableAnsi)(int on);
    int (*getMergeData)();
    int (*setMergeData)(int setting);
    int (*openDatabase)(const char *name);
    int (*closeDatabase)();
    // The direct twin takes a code list or null in place of the code.
    int (*getInfo)(int zero, const char *code, char *record);
    int (*getDataCount)(const char *database, const char *code, int start, int end, int frequency,
                        double *output, int *count);
    int (*applyMathCount)(int operation, int start, int end, int frequency, double *values,
                          int *count);
    int (*applyAdvancedCount)(const TQVAdvancedOperation *advanced, int start, int end,
                              int frequency, double *values, int *count);
    int (*getObsNum)(int start, int end, int frequency);
    int (*getAggregationMode)();
    int (*setAggregationMode)(int mode);
    int (*getVersion)(char *text, int size);
};

// The local library, tqvapi64. Also the only home of TQVGetDate, TQVGetNextVar.
const Library &localLibrary() noexcept;
// The direct library, tqvdapi64. Also the only home of TQVDGetNames, TQVDAuthenticate.
const Library &directLibrary() noexcept;
// Nonzero selects the direct library.
inline const Library &selectLibrary(int direct) noexcept {
    return direct != 0 ? directLibrary() : localLibrary();
}

} // namespace kovrap

#endif
