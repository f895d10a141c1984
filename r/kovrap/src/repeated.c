/*
 * Repeated columns as ALTREP vectors: data1 holds the source vector and the
 * rule (each, length), data2 the vector made whole once R asks for the
 * memory (to write to it, or for a routine that reads the array directly).
 * Until then every element is computed from the source, and a data frame of
 * millions of rows gets its name columns without touching millions of cells.
 */
#include <math.h>

#include "repeated.h"

/* After Rinternals.h, which repeated.h brings: it needs SEXP. */
#include <R_ext/Altrep.h>

static R_altrep_class_t repeated_integer;
static R_altrep_class_t repeated_real;

/* data1: list(source, c(each, length)). */
static SEXP source_of(SEXP v) {
    return VECTOR_ELT(R_altrep_data1(v), 0);
}
static R_xlen_t each_of(SEXP v) {
    return (R_xlen_t)REAL(VECTOR_ELT(R_altrep_data1(v), 1))[0];
}
static R_xlen_t length_of(SEXP v) {
    return (R_xlen_t)REAL(VECTOR_ELT(R_altrep_data1(v), 1))[1];
}

static R_xlen_t source_index(SEXP v, R_xlen_t i) {
    return (i / each_of(v)) % XLENGTH(source_of(v));
}

static R_xlen_t repeated_length(SEXP v) {
    return length_of(v);
}

/* The whole vector, made once and kept: from then on it is the truth, so
 * that writes through its memory are seen by every later read. */
static SEXP whole(SEXP v) {
    SEXP made = R_altrep_data2(v);
    if (made != R_NilValue)
        return made;
    SEXP source = source_of(v);
    R_xlen_t n = length_of(v), each = each_of(v), k = XLENGTH(source);
    made = PROTECT(Rf_allocVector(TYPEOF(source), n));
    R_xlen_t i = 0;
    while (i < n) {
        for (R_xlen_t s = 0; s < k && i < n; ++s) {
            for (R_xlen_t e = 0; e < each && i < n; ++e, ++i) {
                if (TYPEOF(source) == INTSXP)
                    INTEGER(made)[i] = INTEGER(source)[s];
                else
                    REAL(made)[i] = REAL(source)[s];
            }
        }
    }
    R_set_altrep_data2(v, made);
    UNPROTECT(1);
    return made;
}

static void *memory_of(SEXP made) {
    return TYPEOF(made) == INTSXP ? (void *)INTEGER(made) : (void *)REAL(made);
}

static void *repeated_dataptr(SEXP v, Rboolean writeable) {
    (void)writeable;
    return memory_of(whole(v));
}

static const void *repeated_dataptr_or_null(SEXP v) {
    SEXP made = R_altrep_data2(v);
    return made == R_NilValue ? NULL : memory_of(made);
}

static int repeated_integer_elt(SEXP v, R_xlen_t i) {
    SEXP made = R_altrep_data2(v);
    if (made != R_NilValue)
        return INTEGER(made)[i];
    return INTEGER(source_of(v))[source_index(v, i)];
}

static double repeated_real_elt(SEXP v, R_xlen_t i) {
    SEXP made = R_altrep_data2(v);
    if (made != R_NilValue)
        return REAL(made)[i];
    return REAL(source_of(v))[source_index(v, i)];
}

static R_xlen_t repeated_integer_region(SEXP v, R_xlen_t start, R_xlen_t size, int *buffer) {
    R_xlen_t n = length_of(v);
    R_xlen_t count = start < n ? (size < n - start ? size : n - start) : 0;
    for (R_xlen_t j = 0; j < count; ++j)
        buffer[j] = repeated_integer_elt(v, start + j);
    return count;
}

static R_xlen_t repeated_real_region(SEXP v, R_xlen_t start, R_xlen_t size, double *buffer) {
    R_xlen_t n = length_of(v);
    R_xlen_t count = start < n ? (size < n - start ? size : n - start) : 0;
    for (R_xlen_t j = 0; j < count; ++j)
        buffer[j] = repeated_real_elt(v, start + j);
    return count;
}

static Rboolean repeated_inspect(SEXP v, int pre, int deep, int pvec,
                                 void (*inspect_subtree)(SEXP, int, int, int)) {
    (void)pre;
    (void)deep;
    (void)pvec;
    (void)inspect_subtree;
    Rprintf(" kovrap repeated column of %.0f (each %.0f, %s)\n", (double)length_of(v),
            (double)each_of(v), R_altrep_data2(v) == R_NilValue ? "not made" : "made");
    return TRUE;
}

SEXP kv_c_repeated(SEXP x, SEXP each, SEXP length) {
    double e = Rf_asReal(each), n = Rf_asReal(length);
    if ((TYPEOF(x) != INTSXP && TYPEOF(x) != REALSXP) || (XLENGTH(x) == 0 && n != 0))
        Rf_error("a repeated column repeats a non-empty integer or double vector");
    if (!R_FINITE(e) || e < 1 || e != floor(e) || !R_FINITE(n) || n < 0 || n != floor(n) ||
        n > R_XLEN_T_MAX)
        Rf_error("a repeated column needs a whole 'each' of at least 1 and a whole length");
    SEXP rule = PROTECT(Rf_allocVector(REALSXP, 2));
    REAL(rule)[0] = e;
    REAL(rule)[1] = n;
    /* A copy of the source without attributes: later changes to x (or its
     * names) do not reach the column. */
    R_xlen_t k = XLENGTH(x);
    SEXP source = PROTECT(Rf_allocVector(TYPEOF(x), k));
    for (R_xlen_t i = 0; i < k; ++i) {
        if (TYPEOF(x) == INTSXP)
            INTEGER(source)[i] = INTEGER_ELT(x, i);
        else
            REAL(source)[i] = REAL_ELT(x, i);
    }
    SEXP data1 = PROTECT(Rf_allocVector(VECSXP, 2));
    SET_VECTOR_ELT(data1, 0, source);
    SET_VECTOR_ELT(data1, 1, rule);
    SEXP out =
        R_new_altrep(TYPEOF(x) == INTSXP ? repeated_integer : repeated_real, data1, R_NilValue);
    UNPROTECT(3);
    return out;
}

void kv_repeated_init(DllInfo *dll) {
    repeated_integer = R_make_altinteger_class("kovrap_repeated_integer", "kovrap", dll);
    R_set_altrep_Length_method(repeated_integer, repeated_length);
    R_set_altrep_Inspect_method(repeated_integer, repeated_inspect);
    R_set_altvec_Dataptr_method(repeated_integer, repeated_dataptr);
    R_set_altvec_Dataptr_or_null_method(repeated_integer, repeated_dataptr_or_null);
    R_set_altinteger_Elt_method(repeated_integer, repeated_integer_elt);
    R_set_altinteger_Get_region_method(repeated_integer, repeated_integer_region);

    repeated_real = R_make_altreal_class("kovrap_repeated_real", "kovrap", dll);
    R_set_altrep_Length_method(repeated_real, repeated_length);
    R_set_altrep_Inspect_method(repeated_real, repeated_inspect);
    R_set_altvec_Dataptr_method(repeated_real, repeated_dataptr);
    R_set_altvec_Dataptr_or_null_method(repeated_real, repeated_dataptr_or_null);
    R_set_altreal_Elt_method(repeated_real, repeated_real_elt);
    R_set_altreal_Get_region_method(repeated_real, repeated_real_region);
}
