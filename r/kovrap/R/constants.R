# The library header's constants (include/Kovrap.h), as the package's C
# code mirrors them once; a test compares them with the header. Filled when
# the package loads.
kovrap_constants <- new.env(parent = emptyenv())

.onLoad <- function(libname, pkgname) {
  k <- .Call(C_kv_c_constants)
  for (name in names(k$ints)) assign(name, k$ints[[name]], envir = kovrap_constants)
  assign("KOVRAP_MISSING", k$KOVRAP_MISSING, envir = kovrap_constants)
  # At R's exit, before the libraries' exit handlers destroy their state, a
  # worker still inside a library call (left behind by an interrupt) is
  # waited for. The C glue also waits from an exit handler of its own.
  reg.finalizer(kovrap_constants, function(e) {
    if (!isTRUE(e$unloaded)) .Call(C_kv_c_wait_worker)
  }, onexit = TRUE)
}

# The package's code is unloaded only once no worker runs it
# (R_unload_kovrap waits); the exit wait above then has no code to call.
.onUnload <- function(libpath) {
  assign("unloaded", TRUE, envir = kovrap_constants)
  library.dynam.unload("kovrap", libpath)
}
