/*
 * Repeated columns: integer or double vectors whose element i is
 * x[(i / each) mod length(x)], the long data frame's name and period columns.
 */
#ifndef KOVRAP_R_REPEATED_H
#define KOVRAP_R_REPEATED_H

#include <R_ext/Rdynload.h>
#include <Rinternals.h>

/* x (integer or double, no NA rule of its own) repeated: each element
 * `each` times in a row, the whole over and over up to `length` elements. */
SEXP kv_c_repeated(SEXP x, SEXP each, SEXP length);

#endif
