/*
 * Repeated columns: integer or double vectors whose element i is
 * x[(i / each) mod length(x)], held as x and the rule until someone asks for
 * their memory. The long data frame's name and period columns are such
 * vectors, so that a frame of millions of rows costs no more than its values.
 */
#ifndef KOVRAP_R_REPEATED_H
#define KOVRAP_R_REPEATED_H

#include <R_ext/Rdynload.h>
#include <Rinternals.h>

/* x (integer or double, no NA rule of its own) repeated: each element
 * `each` times in a row, the whole over and over up to `length` elements. */
SEXP kv_c_repeated(SEXP x, SEXP each, SEXP length);

void kv_repeated_init(DllInfo *dll);

#endif
