#!/usr/bin/env Rscript
# kovrap::kv_get beside the two library calls it makes, in one run:
#
#   Rscript bench/r_fetch.R [BUILD_DIR] [REPETITIONS]   (default build/native, 5)
#
# after the native build, with the package installed (R CMD INSTALL
# r/kovrap) or in R_LIBS. Two workloads, each a database file in a
# temporary folder:
#   monthly: 10,000 series x 240 months (January 2000 on);
#   daily:   one daily series of 2,600,000 days.
# For each, timed alternately: "bare", c_kovraSeriesInfo for the common
# range then c_kovraGetData with every array prepared beforehand (compiled
# here from bench/r_fetch_bare.c), and kv_get() of every series, which also
# checks the names, builds the ts or zoo object and its information. Prints
# the medians and their ratio; then the monthly fetch as a zoo beside the
# same as a long data frame; and how long a daily fetch runs under
# setTimeLimit(elapsed = 0.5).
args <- commandArgs(trailingOnly = TRUE)
build <- normalizePath(if (length(args) >= 1L) args[[1L]] else "build/native")
repetitions <- if (length(args) >= 2L) as.integer(args[[2L]]) else 5L
here <- dirname(normalizePath(sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE))))
library(kovrap)
library_path <- file.path(build, "bin", "libKovrap64.so")

# The bare calls, compiled against the library's own header.
work <- tempfile("r-fetch")
dir.create(work)
invisible(file.copy(file.path(here, "r_fetch_bare.c"), work))
old <- setwd(work)
Sys.setenv(PKG_CPPFLAGS = paste0("-I", file.path(here, "..", "include")))
stopifnot(system2(file.path(R.home("bin"), "R"), c("CMD", "SHLIB", "-o", "bare.so", "r_fetch_bare.c"),
                  stdout = FALSE) == 0L)
dyn.load(file.path(work, "bare.so"))
setwd(old)

write_database <- function(path, codes, frequency, first, last, values) {
  con <- file(path, "w")
  on.exit(close(con))
  writeLines(c("TQVDB 1", "database BENCH"), con)
  per <- length(values) / length(codes)
  for (i in seq_along(codes)) {
    v <- values[(i - 1) * per + seq_len(per)]
    writeLines(c(sprintf("series %s", codes[[i]]), sprintf("frequency %d", frequency),
                 sprintf("range %d %d", first, last), "attributes 1 2 0 0 0 1", "values",
                 tapply(sprintf("%.3f", v), (seq_along(v) - 1L) %/% 1000L, paste,
                        collapse = " "), "end"), con)
  }
}

measure <- function(title, codes, frequency, first, last, count) {
  set.seed(1)
  path <- file.path(work, "BENCH.tqvdb")
  values <- round(100 + cumsum(rnorm(length(codes) * count)) / 10, 3)
  write_database(path, codes, frequency, first, last, values)
  con <- kv_connect(library_path, data_dir = work)
  names <- paste0("BENCH:", codes)
  bare <- .Call("bare_prepare", library_path, codes, path, as.integer(count))
  # Once each, untimed; and the two agree.
  .Call("bare_run", bare)
  got <- kv_get(con, names)
  stopifnot(NROW(got) == count, NCOL(got) == length(codes))
  times <- list(bare = numeric(), kv_get = numeric())
  for (r in seq_len(repetitions)) {
    gc()
    times$bare[[r]] <- system.time(.Call("bare_run", bare))[["elapsed"]]
    gc()
    times$kv_get[[r]] <- system.time(kv_get(con, names))[["elapsed"]]
  }
  m <- vapply(times, median, numeric(1))
  cat(sprintf("%s, median of %d\n", title, repetitions))
  cat(sprintf("  %-52s %8.0f ms\n", "bare c_kovraSeriesInfo + c_kovraGetData", 1e3 * m[["bare"]]))
  cat(sprintf("  %-52s %8.0f ms\n", "kv_get()", 1e3 * m[["kv_get"]]))
  cat(sprintf("  %-52s %8.2f\n", "ratio kv_get / bare", m[["kv_get"]] / m[["bare"]]))
  list(con = con, names = names, times = m)
}

monthly <- measure("10,000 series x 240 monthly observations", sprintf("S%08d", 0:9999), 40L,
                   200001L, 201912L, 240L)
# The same monthly fetch as a zoo and as a long data frame (one row per
# series and month), timed alternately; the frame is to cost at most 1.5
# times the zoo.
shapes <- list(zoo = numeric(), data.frame = numeric())
long <- kv_get(monthly$con, monthly$names, output = "data.frame")
stopifnot(nrow(long) == 240L * 10000L, !is.unsorted(long$period[1:240]))
rm(long)
for (r in seq_len(repetitions)) {
  for (output in names(shapes)) {
    gc()
    shapes[[output]][[r]] <- system.time(kv_get(monthly$con, monthly$names,
                                                output = output))[["elapsed"]]
  }
}
m <- vapply(shapes, median, numeric(1))
cat(sprintf("10,000 series x 240 months by output, median of %d\n", repetitions))
cat(sprintf("  %-52s %8.0f ms\n", "kv_get(output = \"zoo\")", 1e3 * m[["zoo"]]))
cat(sprintf("  %-52s %8.0f ms\n", "kv_get(output = \"data.frame\")", 1e3 * m[["data.frame"]]))
cat(sprintf("  %-52s %8.2f\n", "ratio data.frame / zoo", m[["data.frame"]] / m[["zoo"]]))

days <- 2600000L
first <- as.Date("2800-01-01")
last <- first + days - 1L
daily <- measure("1 daily series x 2,600,000 observations", "DAILY", 60L,
                 as.integer(format(first, "%Y%m%d")), as.integer(format(last, "%Y%m%d")), days)

# A time limit stops the wait for a long fetch; the fetch itself finishes
# on its worker, and the next call waits for it.
began <- Sys.time()
stopped <- tryCatch({
  setTimeLimit(elapsed = 0.5, transient = TRUE)
  kv_get(daily$con, daily$names)
  "not stopped"
}, error = function(e) conditionMessage(e))
setTimeLimit()
cat(sprintf("setTimeLimit(elapsed = 0.5) on the daily fetch: stopped after %.2f s (%s)\n",
            as.numeric(difftime(Sys.time(), began, units = "secs")), stopped))
unlink(work, recursive = TRUE)
