# A name lists whichever file the library opens, however large, since the
# listing is asked for with a capacity; a name with no regular file is
# refused before the library is called.
test_that("listings come whole from the file the library opens, or are refused", {
  where <- library_or_skip()
  folder <- tempfile("kovrap-files")
  dir.create(folder)
  on.exit(unlink(folder, recursive = TRUE))
  con <- kv_connect(where$library, data_dir = folder)
  codes <- sprintf("C%08d", seq_len(3000L))
  big <- lapply(codes, function(code) list(code = code, frequency = 10L, first = 2000,
                                            last = 2000, values = 1))
  # A small database Z beside a large Z.tqvdb: the library opens Z.
  write_database(file.path(folder, "Z"), big[1L])
  write_database(file.path(folder, "Z.tqvdb"), big)
  expect_identical(kv_codes(con, "Z"), codes[[1L]])
  if (Sys.info()[["effective_user"]] != "root") {
    # Unreadable Z: the library opens Z.tqvdb instead, and lists it whole.
    Sys.chmod(file.path(folder, "Z"), "000")
    expect_identical(kv_codes(con, "Z"), codes)
    expect_identical(as.numeric(kv_get(con, "Z:C00003000")), 1)
  }
  expect_identical(kv_codes(con, "Z.tqvdb"), codes)

  refused <- function(name) {
    condition <- condition_of(kv_codes(con, name))
    expect_s3_class(condition, "kovrap_lookup_error")
    expect_match(conditionMessage(condition), "no regular file that can be read at", fixed = TRUE)
    expect_match(conditionMessage(condition), file.path(folder, name), fixed = TRUE)
    condition
  }
  dir.create(file.path(folder, "FOLDER"))
  expect_match(conditionMessage(refused("FOLDER")), "not a regular file")
  refused("NOTHING")
  if (.Platform$OS.type != "windows" && nzchar(Sys.which("mkfifo"))) {
    # A FIFO beside nothing: refused, never read, never sized as 0 bytes.
    expect_identical(system2("mkfifo", file.path(folder, "X")), 0L)
    expect_match(conditionMessage(refused("X")), "not a regular file")
    expect_s3_class(condition_of(kv_get(con, "X:A")), "kovrap_lookup_error")
  }
})

test_that("a library without Kovrap's exports is named in the error", {
  where <- library_or_skip()
  standin <- file.path(dirname(where$library),
                       if (.Platform$OS.type == "windows") "tqvapi64.dll" else "libtqvapi64.so")
  skip_if_not(file.exists(standin), "no stand-in library beside the Kovrap library")
  condition <- condition_of(kv_connect(standin))
  expect_s3_class(condition, "kovrap_library_error")
  expect_s3_class(condition, "kovrap_error")
  expect_match(conditionMessage(condition), normalizePath(standin), fixed = TRUE)
  expect_match(conditionMessage(condition), "does not export")
})

# The package's copy of the header's constants is the header's.
test_that("the mirrored constants are those of include/Kovrap.h", {
  header <- readLines(source_or_skip(file.path("include", "Kovrap.h")), warn = FALSE)
  defines <- regmatches(header, regexec("^#define (KOVRAP_[A-Z0-9_]+) +([0-9e.]+)", header))
  defines <- Filter(function(m) length(m) == 3L, defines)
  values <- setNames(as.numeric(vapply(defines, `[[`, "", 3L)),
                     vapply(defines, `[[`, "", 2L))
  mirror <- .Call(kovrap:::C_kv_c_constants)
  expect_identical(mirror$KOVRAP_MISSING, values[["KOVRAP_MISSING"]])
  expect_setequal(c(names(mirror$ints), "KOVRAP_MISSING"), names(values))
  for (name in names(mirror$ints)) {
    expect_identical(as.numeric(mirror$ints[[name]]), values[[name]], label = name)
  }
  expect_identical(kovrap:::kovrap_constants$KOVRAP_ADVANCED_WINDOWED, 1792L)
})

# The frequency names the package reads are the header's codes, name by name
# (weekly-mon is KOVRAP_FREQ_WEEKLY_MON, lowest KOVRAP_FREQ_LOWEST); weekly,
# the group, is the code the header gives the group: Sunday's.
test_that("the frequency names are the header's codes", {
  header <- readLines(source_or_skip(file.path("include", "Kovrap.h")), warn = FALSE)
  expect_true(any(grepl("^#define KOVRAP_FREQ_WEEKLY_GROUP +KOVRAP_FREQ_WEEKLY_SUN\\b", header)))
  named <- kovrap:::kv_frequencies
  header_name <- paste0("KOVRAP_FREQ_", toupper(gsub("-", "_", names(named))))
  header_name[names(named) == "weekly"] <- "KOVRAP_FREQ_WEEKLY_SUN"
  mirror <- .Call(kovrap:::C_kv_c_constants)$ints
  expect_identical(unname(named), unname(unlist(mirror[header_name])))
  expect_setequal(header_name, grep("^KOVRAP_FREQ_", names(mirror), value = TRUE))
})
