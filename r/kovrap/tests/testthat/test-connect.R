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
