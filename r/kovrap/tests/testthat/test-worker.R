# Library calls run on a worker thread: an interrupt stops R's wait, the call
# goes on to its end, and neither R's exit nor a fork may find the worker
# inside the library unawares. A slow call is an open of a large database:
# the stand-in reads and parses the whole file (some 16 MB here), and in the
# child scripts each open also waits 1.5 s in the stand-in (TQVS_DELAY), so
# that the call still runs when the script looks, however fast the machine.
write_slow_database <- function(folder, n = 2000L) {
  values <- paste(rep("1.5", 2000L), collapse = " ")
  blocks <- sprintf(paste0("series S%05d\nfrequency 40\nrange 190001 206608\n",
                           "attributes 1 0 0 0 0 0\nvalues\n%s\nend"), seq_len(n), values)
  writeLines(c("TQVDB 1", "database SLOW", blocks), file.path(folder, "SLOW.tqvdb"))
  sprintf("S%05d", seq_len(n))
}

# A new folder holding the slow database of n series, removed when the
# calling test ends.
local_slow_folder <- function(n = 2000L, env = parent.frame()) {
  folder <- tempfile("kovrap-slow")
  dir.create(folder)
  do.call(on.exit, list(bquote(unlink(.(folder), recursive = TRUE)), add = TRUE), envir = env)
  write_slow_database(folder, n)
  folder
}

# Runs an R script in a new Rscript process with this session's packages,
# bounded by a timeout; answers its output lines, its exit status and when
# it ended.
run_script <- function(lines, timeout = 120) {
  script <- tempfile("kovrap-script", fileext = ".R")
  writeLines(lines, script)
  on.exit(unlink(script))
  rscript <- file.path(R.home("bin"), if (.Platform$OS.type == "windows") "Rscript.exe" else
                         "Rscript")
  old <- Sys.getenv("R_LIBS", unset = NA)
  Sys.setenv(R_LIBS = paste(.libPaths(), collapse = .Platform$path.sep))
  on.exit(if (is.na(old)) Sys.unsetenv("R_LIBS") else Sys.setenv(R_LIBS = old), add = TRUE)
  out <- suppressWarnings(system2(rscript, c("--vanilla", script), stdout = TRUE, stderr = TRUE,
                                  timeout = timeout))
  status <- attr(out, "status")
  list(out = out, status = if (is.null(status)) 0L else status,
       ended = as.numeric(Sys.time()))
}

# The lines of a child script that connect to a folder with the slow
# database, and the helper interrupt(code): evaluates code under a short
# elapsed-time limit and prints when the interrupt came.
child_preamble <- function(library, folder) {
  c("Sys.setenv(TQVS_DELAY = 'TQVOpenDatabase 1500')",
    "library(kovrap)",
    sprintf("con <- kv_connect(%s, data_dir = %s)", deparse(library), deparse(folder)),
    "interrupt <- function(code) {",
    "  e <- tryCatch({setTimeLimit(elapsed = 0.2, transient = TRUE); code},",
    "                error = function(e) e)",
    "  setTimeLimit()",
    "  stopifnot(inherits(e, 'error'), grepl('time limit', conditionMessage(e)))",
    "  invisible(as.numeric(Sys.time()))",
    "}")
}

test_that("kv_codes is stopped by a time limit, and the next call waits for it", {
  where <- library_or_skip()
  folder <- local_slow_folder()
  run <- run_script(c(
    child_preamble(where$library, folder),
    "stopifnot(!.Call(kovrap:::C_kv_c_worker_busy))",
    "interrupt(kv_codes(con, 'SLOW'))",
    # Stopped at the limit, not at the end of the listing: the listing goes
    # on without R.
    "cat('BUSY', .Call(kovrap:::C_kv_c_worker_busy), '\\n')",
    # The call left behind holds the library; the next one waits for it and
    # answers in full.
    "codes <- kv_codes(con, 'SLOW')",
    "cat('CODES', length(codes), codes[[2000L]], '\\n')",
    "cat('INFO', kv_info(con, 'SLOW:S02000')$status, '\\n')"))
  expect_identical(run$status, 0L, info = paste(run$out, collapse = "\n"))
  expect_identical(trimws(grep("^(BUSY|CODES|INFO) ", run$out, value = TRUE)),
                   c("BUSY TRUE", "CODES 2000 S02000", "INFO ok"))
})

test_that("quitting R while an interrupted call runs waits for it and exits cleanly", {
  where <- library_or_skip()
  # Twice the usual size: the open takes seconds, and an exit that does not
  # wait for it takes milliseconds.
  folder <- local_slow_folder(4000L)
  run <- run_script(c(
    child_preamble(where$library, folder),
    "at <- interrupt(kv_info(con, 'SLOW:S00001'))",
    "stopifnot(.Call(kovrap:::C_kv_c_worker_busy))",
    "cat(sprintf('INTERRUPTED %.3f\\n', at))",
    "quit(save = 'no', status = 0)"))
  expect_identical(run$status, 0L, info = paste(run$out, collapse = "\n"))
  line <- grep("^INTERRUPTED ", run$out, value = TRUE)
  expect_length(line, 1L)
  # The process ended only once the call had ended, well after the
  # interrupt.
  expect_gt(run$ended - as.numeric(sub("^INTERRUPTED ", "", line)), 0.5)
})

test_that("unloading the package while an interrupted call runs waits for it", {
  where <- library_or_skip()
  folder <- local_slow_folder()
  run <- run_script(c(
    child_preamble(where$library, folder),
    "interrupt(kv_info(con, 'SLOW:S00001'))",
    "stopifnot(.Call(kovrap:::C_kv_c_worker_busy))",
    "unloadNamespace('kovrap')",
    "stopifnot(!'kovrap' %in% names(getLoadedDLLs()))",
    "cat('UNLOADED\\n')",
    # Time for a worker that was not waited for to return into code that
    # is gone.
    "Sys.sleep(2)",
    "cat('DONE\\n')"))
  expect_identical(run$status, 0L, info = paste(run$out, collapse = "\n"))
  expect_identical(grep("^(UNLOADED|DONE)$", run$out, value = TRUE), c("UNLOADED", "DONE"))
})

test_that("forked children answer before and right after an interrupt", {
  skip_on_os("windows")
  where <- library_or_skip()
  folder <- local_slow_folder()
  run <- run_script(c(
    child_preamble(where$library, folder),
    "answer <- function() parallel::mclapply(1:2, function(i) {",
    "  tryCatch(kv_codes(con, 'SLOW')[[2000L]], error = function(e) class(e)[[1L]])",
    "}, mc.cores = 2L)",
    "cat('CLEAN', unlist(answer()), '\\n')",
    "interrupt(kv_codes(con, 'SLOW'))",
    "cat('AFTER', unlist(answer()), '\\n')",
    "cat('PARENT', kv_codes(con, 'SLOW')[[2000L]], '\\n')",
    # Once the call has ended, children work again.
    "cat('LATER', unlist(answer()), '\\n')"), timeout = 120)
  expect_identical(run$status, 0L, info = paste(run$out, collapse = "\n"))
  expect_identical(trimws(grep("^(CLEAN|AFTER|PARENT|LATER) ", run$out, value = TRUE)),
                   c("CLEAN S02000 S02000", "AFTER kovrap_fork_error kovrap_fork_error",
                     "PARENT S02000", "LATER S02000 S02000"))
})

test_that("a fork child names why it refuses the library", {
  skip_on_os("windows")
  where <- library_or_skip()
  folder <- local_slow_folder()
  run <- run_script(c(
    child_preamble(where$library, folder),
    "interrupt(kv_info(con, 'SLOW:S00001'))",
    "e <- parallel::mccollect(parallel::mcparallel(",
    "  tryCatch(kv_version(con), error = function(e) e)))[[1L]]",
    "cat('CLASS', class(e), '\\n')",
    "cat('MESSAGE', conditionMessage(e), '\\n')"), timeout = 120)
  expect_identical(run$status, 0L, info = paste(run$out, collapse = "\n"))
  expect_identical(trimws(grep("^CLASS ", run$out, value = TRUE)),
                   "CLASS kovrap_fork_error kovrap_error error condition")
  expect_match(grep("^MESSAGE ", run$out, value = TRUE), "forked while a library call was running")
})

test_that("code lists that do not fit are asked for again, within a bound", {
  where <- library_or_skip()
  con <- local_connection()
  path <- kovrap:::database_path(con, "ECON")
  codes <- kv_codes(con, "ECON")
  needed <- nchar(paste(codes, collapse = ","), type = "bytes")
  # One ask: a list fits a buffer one byte longer than itself, not one of
  # its own length (the NUL must fit too).
  expect_identical(kovrap:::list_codes(con, path, capacity = needed + 1L, tries = 1L), codes)
  short <- condition_of(kovrap:::list_codes(con, path, capacity = needed, tries = 1L))
  expect_s3_class(short, "kovrap_listing_error")
  expect_s3_class(short, "kovrap_error")
  expect_identical(conditionMessage(short), sprintf(paste(
    "the code list of database '%s' grew every time it was asked for (1 times); is the",
    "database being rewritten?"), path))
  # A second ask in a buffer of the length the first answered.
  expect_identical(kovrap:::list_codes(con, path, capacity = 1L, tries = 2L), codes)
  # A direct list needs a byte more, for the mark behind its NUL that tells
  # whether the listing was cut.
  direct <- direct_connection()
  kv_login(direct, demo_user, demo_password())
  expect_identical(kovrap:::list_codes(direct, "ECON", capacity = needed + 2L, tries = 1L), codes)
  expect_s3_class(condition_of(kovrap:::list_codes(direct, "ECON", capacity = needed + 1L,
                                                   tries = 1L)), "kovrap_listing_error")
  expect_identical(kovrap:::list_codes(direct, "ECON", capacity = 1L, tries = 2L), codes)
})

test_that("a relative data folder stays the folder it named when the connection was made", {
  where <- library_or_skip()
  home <- tempfile("kovrap-home")
  away <- tempfile("kovrap-away")
  for (place in c(home, away)) dir.create(file.path(place, "data"), recursive = TRUE)
  on.exit(unlink(c(home, away), recursive = TRUE))
  expect_true(all(file.copy(file.path(where$data_dir, c("ECON.tqvdb", "credentials")),
                            file.path(home, "data"))))
  # The same names in the other folder, with other codes in ECON.
  write_database(file.path(away, "data", "ECON.tqvdb"),
                 list(list(code = "ELSEWHERE", frequency = 10L, first = 2000, last = 2000,
                           values = 1)))
  expect_true(file.copy(file.path(where$data_dir, "credentials"), file.path(away, "data")))
  econ <- kv_codes(local_connection(), "ECON")
  old_dir <- getwd()
  old_env <- Sys.getenv("TQVD_DATA_DIR", unset = NA)
  old_kovrap <- Sys.getenv("KOVRAP_DATA_DIR", unset = NA)
  on.exit({
    setwd(old_dir)
    if (is.na(old_env)) Sys.unsetenv("TQVD_DATA_DIR") else Sys.setenv(TQVD_DATA_DIR = old_env)
    if (is.na(old_kovrap)) Sys.unsetenv("KOVRAP_DATA_DIR") else
      Sys.setenv(KOVRAP_DATA_DIR = old_kovrap)
  }, add = TRUE)
  setwd(home)
  Sys.setenv(TQVD_DATA_DIR = "data")
  Sys.unsetenv("KOVRAP_DATA_DIR")
  cases <- list(
    local = kv_connect(where$library, data_dir = "data"),
    direct = kv_connect(where$library, direct = TRUE, data_dir = "data"),
    direct_environment = kv_connect(where$library, direct = TRUE))
  # KOVRAP_DATA_DIR names the folder of every host, ahead of the libraries'
  # own variable, for local connections too.
  Sys.setenv(KOVRAP_DATA_DIR = "data", TQVD_DATA_DIR = file.path(away, "data"))
  cases$local_kovrap_data_dir <- kv_connect(where$library)
  cases$direct_kovrap_data_dir <- kv_connect(where$library, direct = TRUE)
  for (name in names(cases)) {
    con <- cases[[name]]
    expect_identical(con$data_dir, normalizePath(file.path(home, "data")), label = name)
    if (con$direct) kv_login(con, demo_user, demo_password())
    setwd(away)
    expect_identical(kv_codes(con, "ECON"), econ, label = name)
    setwd(home)
  }
})
