test_that("failures are R conditions with a class, a sentence and the status", {
  con <- local_connection()
  cases <- list(
    # A database without a file is refused before the library is called,
    # with the paths tried.
    list(call = quote(kv_codes(con, "NOSUCH")), class = "kovrap_database_error",
         status = NA_integer_, message = "cannot open database 'NOSUCH'.*NOSUCH.tqvdb"),
    list(call = quote(kv_get(con, "NOSUCH:UKGAS")), class = "kovrap_lookup_error",
         status = NA_integer_, message = "cannot open database 'NOSUCH'.*NOSUCH.tqvdb"),
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
         status = NA_integer_, message = "has a code longer than 9 bytes"),
    list(call = quote(kv_get(con, "ECON:UKGAS", freq = "hourly")),
         class = "kovrap_argument_error", status = NA_integer_, message = "unknown frequency"),
    list(call = quote(kv_get(con, "ECON:UKGAS", math = "pct", advanced = "seasonal")),
         class = "kovrap_argument_error", status = NA_integer_, message = "not both"),
    list(call = quote(kv_get(con, "ECON:UKGAS", advanced = 0)),
         class = "kovrap_argument_error", status = NA_integer_, message = "code 0"),
    list(call = quote(kv_get(con, "ECON:UKGAS", advanced = "rebase:1950")),
         class = "kovrap_argument_error", status = NA_integer_, message = "outside the window"),
    # A Sunday before the window's first business day: its period is the
    # Friday before the window, a slot before the first.
    list(call = quote(kv_get(con, "MARKETS:DAX", start = "1998-08-08", end = "1998-08-12",
                             advanced = "rebase:1998-08-09")),
         class = "kovrap_argument_error", status = NA_integer_,
         message = "rebase date 1998-08-09 lies outside the window \\(1998-08-10 to 1998-08-12\\)")
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

test_that("each kind of failure has its kind class, and only that one", {
  # The request's own faults are argument errors; unknown names lookup
  # errors; log-ins login errors; what fails in the library's work is a
  # kovrap_error of its own class alone, never an argument error.
  kinds <- c("argument", "lookup", "login")
  cases <- list(
    list(class = "argument", kind = "argument"), list(class = "date", kind = "argument"),
    list(class = "range", kind = "argument"), list(class = "database", kind = "lookup"),
    list(class = "series", kind = "lookup"), list(class = "lookup", kind = "lookup"),
    list(class = "login", kind = "login"), list(class = "fetch", kind = NA),
    list(class = "listing", kind = NA), list(class = "library", kind = NA),
    list(class = "connection", kind = NA)
  )
  for (case in cases) {
    condition <- condition_of(kovrap:::kv_abort("a failure", case$class, 7L))
    classes <- class(condition)
    expect_identical(classes[[1L]], paste0("kovrap_", case$class, "_error"))
    expect_identical(intersect(paste0("kovrap_", kinds, "_error"), classes),
                     if (is.na(case$kind)) character() else paste0("kovrap_", case$kind, "_error"),
                     label = case$class)
    expect_identical(tail(classes, 3L), c("kovrap_error", "error", "condition"))
    expect_identical(condition$status, 7L)
  }
})

test_that("bad dates are refused before anything is read", {
  con <- local_connection()
  for (date in list("1991-13", "19910231", "2001Q5", "abc", "0000", "10000", "1991-02-30",
                    c("1991", "1992"), as.Date(NA), "1991-07-00", c(1991, 5), c(1991.5, 2),
                    c(1991, 1, 1), 10000, 0, as.Date(2932897, origin = "1970-01-01"),
                    as.Date(-1e6, origin = "1970-01-01"), zoo::as.yearmon(10000),
                    as.POSIXct(as.Date(-719163, origin = "1970-01-01")))) {
    condition <- condition_of(kv_get(con, "ECON:UKGAS", start = date))
    expect_s3_class(condition, "kovrap_date_error")
    expect_s3_class(condition, "kovrap_argument_error")
    expect_match(conditionMessage(condition), "bad date '", fixed = TRUE)
  }
  # The message quotes the date as the user wrote it.
  expect_match(conditionMessage(condition_of(kv_get(con, "ECON:UKGAS", start = c(1991, 5)))),
               "bad date 'c(1991, 5)'", fixed = TRUE)
  expect_match(conditionMessage(condition_of(
    kv_get(con, "ECON:UKGAS", start = as.Date(-1e6, origin = "1970-01-01")))),
    "bad date '-768-.*': years run from 1 to 9999")
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
