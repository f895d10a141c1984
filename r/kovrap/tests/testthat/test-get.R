test_that("the window defaults to the common range and takes any date form", {
  con <- local_connection()
  cases <- list(
    list(start = 1983, end = 1984, first = c(1983, 1), last = c(1984, 4)),
    list(start = "1983Q2", end = "1984-05", first = c(1983, 2), last = c(1984, 2)),
    list(start = as.Date("1983-07-15"), end = "19841231", first = c(1983, 3), last = c(1984, 4)),
    list(start = "19832", end = "1983-06-30", first = c(1983, 2), last = c(1983, 2))
  )
  for (case in cases) {
    got <- kv_get(con, "ECON:UKGAS", start = case$start, end = case$end)
    expect_identical(start(got), case$first)
    expect_identical(end(got), case$last)
    expect_identical(as.numeric(got), as.numeric(window(datasets::UKgas, case$first, case$last)))
  }
})

test_that("series of several databases and frequencies meet at the lowest", {
  con <- local_connection()
  got <- suppressWarnings(kv_get(con, c("ECON:AUSTRES", "MARKETS:DAX", "MARKETS:FTSEW"),
                                 start = 1991, end = 1993))
  expect_s3_class(got, "mts")
  expect_identical(tsp(got), c(1991, 1993.75, 4))
  expect_identical(as.numeric(got[, "AUSTRES"])[1:10],
                   as.numeric(window(datasets::austres, c(1991, 1), c(1993, 2))))
  # DAX starts on 1 July 1991: the third quarter is the mean of its days.
  dax <- as.numeric(datasets::EuStockMarkets[, "DAX"])
  expect_true(all(is.na(got[1:2, "DAX"])))
  days <- seq(as.Date("1991-07-01"), by = "day", length.out = 200)
  days <- days[as.integer(format(days, "%u")) <= 5L]
  q3 <- sum(days <= as.Date("1991-09-30"))
  expect_equal(unname(got[3, "DAX"]), mean(dax[seq_len(q3)]), tolerance = 1e-12)
})

test_that("annual aggregation of a quarterly level series averages it", {
  con <- local_connection()
  got <- kv_get(con, "ECON:AUSTRES", freq = "annual", start = 1972, end = 1992)
  expect_identical(tsp(got), c(1972, 1992, 1))
  expected <- aggregate(window(datasets::austres, c(1972, 1), c(1992, 4)), FUN = mean)
  expect_equal(as.numeric(got), as.numeric(expected), tolerance = 1e-12)
})

test_that("math and advanced operations run on the fetched window", {
  con <- local_connection()
  gas <- window(datasets::UKgas, c(1983, 1), c(1986, 4))
  values <- as.numeric(gas)
  pct <- kv_get(con, "ECON:UKGAS", start = 1983, end = 1986, math = "pct")
  expect_identical(tsp(pct), tsp(gas))
  expect_equal(as.numeric(pct), c(NA, 100 * (values[-1] / values[-16] - 1)), tolerance = 1e-12)
  expect_equal(as.numeric(kv_get(con, "ECON:UKGAS", start = 1983, end = 1986, math = 1)),
               c(NA, diff(values)), tolerance = 1e-12)
  ma <- kv_get(con, "ECON:UKGAS", start = 1983, end = 1986, advanced = "ma:4")
  expect_equal(as.numeric(ma), as.numeric(stats::filter(values, rep(1 / 4, 4), sides = 1)),
               tolerance = 1e-12)
  rebased <- kv_get(con, "ECON:UKGAS", start = 1983, end = 1986, advanced = "rebase:1984Q1")
  expect_equal(as.numeric(rebased), 100 * values / values[[5L]], tolerance = 1e-12)
})

test_that("a failed advanced count gives an NA column and a warning", {
  con <- local_connection()
  warned <- list()
  got <- withCallingHandlers(
    kv_get(con, c("ECON:UKGAS", "ECON:JNJ"), start = 1980, end = 1981, advanced = "seasonal"),
    warning = function(w) {
      warned[[length(warned) + 1L]] <<- w
      invokeRestart("muffleWarning")
    })
  expect_length(warned, 2L)
  expect_s3_class(warned[[1L]], "kovrap_count_warning")
  expect_identical(warned[[1L]]$status, 834L)
  expect_identical(warned[[1L]]$series, "ECON:UKGAS")
  expect_match(conditionMessage(warned[[1L]]), "too few periods")
  expect_true(all(is.na(got)))

  # A window long enough adjusts the series: no warning, no NA.
  adjusted <- expect_silent(kv_get(con, "ECON:UKGAS", advanced = "seasonal"))
  expect_false(anyNA(adjusted))
  expect_false(isTRUE(all.equal(as.numeric(adjusted), as.numeric(datasets::UKgas))))
})

test_that("a series set aside by the range gives an NA column and a warning", {
  con <- local_connection()
  expect_warning(got <- kv_get(con, c("ECON:UKGAS", "ECON:GDP")),
                 class = "kovrap_set_aside_warning")
  expect_identical(colnames(got), c("UKGAS", "GDP"))
  expect_identical(as.numeric(got[, "UKGAS"]), as.numeric(datasets::UKgas))
  expect_true(all(is.na(got[, "GDP"])))
})

test_that("the same code in two databases is named by the full names", {
  con <- local_connection()
  dir <- library_or_skip()$data_dir
  copy <- file.path(tempdir(), "ECON2.tqvdb")
  expect_true(file.copy(file.path(dir, "ECON.tqvdb"), copy, overwrite = TRUE))
  on.exit(unlink(copy))
  got <- kv_get(con, c("ECON:NILE", paste0(tempdir(), "/ECON2:NILE")))
  expect_identical(colnames(got), c("ECON:NILE", paste0(tempdir(), "/ECON2:NILE")))
  expect_identical(as.numeric(got[, 1]), as.numeric(got[, 2]))
})
