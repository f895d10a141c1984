# The library header's constants (include/Kovrap.h), as the package's C
# code mirrors them once; a test compares them with the header. Filled when
# the package loads.
kovrap_constants <- new.env(parent = emptyenv())

.onLoad <- function(libname, pkgname) {
  k <- .Call(C_kv_c_constants)
  for (name in names(k$ints)) assign(name, k$ints[[name]], envir = kovrap_constants)
  assign("KOVRAP_MISSING", k$KOVRAP_MISSING, envir = kovrap_constants)
}
