test_that("failures are R conditions with a class, a sentence and the status", {
  con <- local_connection()
  cases <- list(
    list(call = quote(kv_codes(con, "NOSUCH")), class = "kovrap_database_error",
         status = 10L, message = "cannot open database"),
    list(call = quote(kv_get(con, "NOSUCH:UKGAS")), class = "kovrap_database_error",
         status = 10L, message = "cannot open database"),
    list(call = quote(kv_get(con, c("ECON:UKGAS", "ECON:NOSUCH"))),
         class = "kovrap_series_error", status = 1L, message = "unknown series ECON:NOSUCH"),
    list(call = quote(kv_info(con, "ECON:NOSUCH")), class = "kovrap_series_error",
         status = 1L, message = "unknown series"),
    list(call = quote(kv_get(con, "ECON:NILE", freq = "monthly")), class = "kovrap_range_error",
         status = NA_integer_, message = "no series left for a common range"),
    list(call = quote(kv_get(con, "ECON:UKGAS", start = 1990)), class = "kovrap_range_error",
         status = NA_integer_, message = "no quarterly period"),
    list(call = quote(kv_get(con, "ECONUKGAS")), class = "kovrap_argument_error",
         status = NA_integer_, message = "not DATABASE:CODE"),
    list(call = quote(kv_get(con, "ECON:TOOLONGCODE")), class = "kovrap_argument_error",
         status = NA_integer_, message = "longer than a series code"),
    list(call = quote(kv_get(con, "ECON:UKGAS", freq = "hourly")),
         class = "kovrap_argument_error", status = NA_integer_, message = "unknown frequency"),
    list(call = quote(kv_get(con, "ECON:UKGAS", math = "pct", advanced = "seasonal")),
         class = "kovrap_argument_error", status = NA_integer_, message = "not both"),
    list(call = quote(kv_get(con, "ECON:UKGAS", advanced = 0)),
         class = "kovrap_argument_error", status = NA_integer_, message = "code 0"),
    list(call = quote(kv_get(con, "ECON:UKGAS", advanced = "rebase:1950")),
         class = "kovrap_argument_error", status = NA_integer_, message = "outside the window")
  )
  for (case in cases) {
    condition <- condition_of(eval(case$call))
    label <- deparse(case$call)
    expect_s3_class(condition, case$class)
    expect_s3_class(condition, "kovrap_error")
    expect_identical(condition$status, case$status, label = label)
    expect_match(conditionMessage(condition), case$message, label = label)
  }
})

test_that("bad dates are refused before anything is read", {
  con <- local_connection()
  for (date in list("1991-13", "19910231", "2001Q5", "abc", "0999", "1991-02-30", 1991.5,
                    c("1991", "1992"), as.Date(NA), "1991-07-00")) {
    condition <- condition_of(kv_get(con, "ECON:UKGAS", start = date))
    expect_s3_class(condition, "kovrap_date_error")
    expect_match(conditionMessage(condition), "bad date")
  }
  expect_s3_class(condition_of(kv_get(con, "ECON:UKGAS", advanced = "rebase:1984Q7")),
                  "kovrap_date_error")
})

test_that("a library that does not load is an R condition", {
  where <- library_or_skip()
  condition <- condition_of(kv_connect(file.path(tempdir(), "no-such-library.so")))
  expect_s3_class(condition, "kovrap_library_error")
  expect_match(conditionMessage(condition), "cannot load the Kovrap library")
  # A library that loads but is not Kovrap: this package's own.
  own <- getLoadedDLLs()[["kovrap"]][["path"]]
  condition <- condition_of(kv_connect(own))
  expect_s3_class(condition, "kovrap_library_error")
  expect_match(conditionMessage(condition), "does not export tqvdateToYmd")
  expect_s3_class(condition_of(kv_connect(where$library, data_dir = file.path(tempdir(), "none"))),
                  "kovrap_argument_error")
  expect_s3_class(condition_of(kv_codes(list(), "ECON")), "kovrap_argument_error")
})
