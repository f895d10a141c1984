test_that("the library comes from the argument, else KOVRAP_LIBRARY", {
  where <- library_or_skip()
  con <- kv_connect(data_dir = where$data_dir)
  expect_identical(con$library, normalizePath(where$library))
  expect_s3_class(con, "kovrap_connection")
  expect_output(print(con), "local library via")
  expect_identical(kv_version(con)$interface, 1L)
})

test_that("without KOVRAP_LIBRARY the library beside the data folder is found", {
  where <- library_or_skip()
  old <- Sys.getenv("KOVRAP_LIBRARY")
  Sys.unsetenv("KOVRAP_LIBRARY")
  on.exit(Sys.setenv(KOVRAP_LIBRARY = old))
  con <- kv_connect(data_dir = where$data_dir)
  expect_true(identical(bare(kv_get(con, "ECON:UKGAS")), datasets::UKgas))

  # Named explicitly, a library that does not load is not replaced.
  condition <- condition_of(kv_connect(file.path(tempdir(), "missing.so"),
                                       data_dir = where$data_dir))
  expect_s3_class(condition, "kovrap_library_error")
})

test_that("a closed or restored connection says so in a kovrap_error", {
  con <- local_connection()
  expect_identical(kv_codes(con, "MARKETS")[[1L]], "DAX")
  kv_disconnect(con)
  closed <- condition_of(kv_codes(con, "MARKETS"))
  expect_s3_class(closed, "kovrap_error")
  expect_match(conditionMessage(closed), "the connection is closed")
  expect_output(print(con), "closed")
  expect_null(kv_disconnect(con)) # twice is harmless

  other <- local_connection()
  close(other)
  expect_s3_class(condition_of(kv_get(other, "ECON:UKGAS")), "kovrap_error")

  file <- tempfile(fileext = ".rds")
  on.exit(unlink(file))
  saveRDS(local_connection(), file)
  restored <- condition_of(kv_info(readRDS(file), "ECON:UKGAS"))
  expect_s3_class(restored, "kovrap_error")
  expect_match(conditionMessage(restored), "restored from a saved session")
})

test_that("a log-in is refused where it means nothing or cannot travel", {
  local <- local_connection()
  refused <- condition_of(kv_login(local, demo_user, demo_password()))
  expect_s3_class(refused, "kovrap_argument_error")
  expect_match(conditionMessage(refused), "for the direct library")
  direct <- direct_connection()
  for (login in list(c("de\x01mo", "x"), c(demo_user, "pass\nword"))) {
    expect_s3_class(condition_of(kv_login(direct, login[[1L]], login[[2L]])),
                    "kovrap_argument_error")
  }
  expect_s3_class(condition_of(kv_connect(library_or_skip()$library, encoding = "no-such")),
                  "kovrap_argument_error")
})

test_that("each direct connection reads its own folder with its own log-in", {
  where <- library_or_skip()
  other <- tempfile("kovrap-other")
  dir.create(other)
  on.exit(unlink(other, recursive = TRUE))
  write_database(file.path(other, "ECON.tqvdb"), list(
    list(code = "ONLY", frequency = 10L, first = 2001, last = 2002, values = c(1, 2))))
  writeLines("other:other-password", file.path(other, "credentials"))

  a <- direct_connection()
  kv_login(a, demo_user, demo_password())
  b <- direct_connection(other)
  # The log-in to a's folder does not open b's.
  refused <- condition_of(kv_codes(b, "ECON"))
  expect_s3_class(refused, "kovrap_login_error")
  expect_identical(kv_codes(a, "ECON")[[1L]], "UKGAS")
  kv_login(b, "other", "other-password")
  expect_identical(kv_codes(b, "ECON"), "ONLY")
  # a keeps to its folder: its own databases, or (where the library keeps
  # one log-in, now b's) a log-in error; never b's data.
  again <- tryCatch(kv_codes(a, "ECON"), kovrap_login_error = function(e) "log in first")
  expect_true(identical(again[[1L]], "UKGAS") || identical(again, "log in first"))
  # Every call sets the folder for its duration only.
  expect_identical(Sys.getenv("TQVD_DATA_DIR", unset = "unset"),
                   Sys.getenv("TQVD_DATA_DIR", unset = "unset"))
  before <- Sys.getenv("TQVD_DATA_DIR", unset = NA)
  kv_codes(b, "ECON")
  expect_identical(Sys.getenv("TQVD_DATA_DIR", unset = NA), before)
  log_out(a)
})
