/*
 * Repeated columns, filled in C: the long data frame's name and period
 * columns, one allocation each and no intermediate vectors, where rep() in
 * R would make its each-vector first and then the whole.
 */
#include <math.h>

#include "repeated.h"

/* Each of the k items of from `times` times in a row, the whole over and
 * over, until `total` items are written. */
#define FILL(type, source, target)                                                   \
    do {                                                                             \
        const type *from = (source);                                                 \
        type *to = (target);                                                         \
        R_xlen_t i = 0;                                                              \
        while (i < total)                                                            \
            for (R_xlen_t s = 0; s < k && i < total; ++s)                            \
                for (R_xlen_t j = 0; j < times && i < total; ++j)                    \
                    to[i++] = from[s];                                               \
    } while (0)

SEXP kv_c_repeated(SEXP x, SEXP each, SEXP length) {
    double e = Rf_asReal(each), n = Rf_asReal(length);
    if ((TYPEOF(x) != INTSXP && TYPEOF(x) != REALSXP) || (XLENGTH(x) == 0 && n != 0))
        Rf_error("a repeated column repeats a non-empty integer or double vector");
    if (!R_FINITE(e) || e < 1 || e != floor(e) || !R_FINITE(n) || n < 0 || n != floor(n) ||
        n > R_XLEN_T_MAX)
        Rf_error("a repeated column needs a whole 'each' of at least 1 and a whole length");
    R_xlen_t k = XLENGTH(x), total = (R_xlen_t)n, times = (R_xlen_t)e;
    SEXP out = PROTECT(Rf_allocVector(TYPEOF(x), total));
    if (TYPEOF(x) == INTSXP)
        FILL(int, INTEGER(x), INTEGER(out));
    else
        FILL(double, REAL(x), REAL(out));
    UNPROTECT(1);
    return out;
}
