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

  # Each status in words: an annual series cannot be adjusted.
  expect_warning(kv_get(con, "ECON:NILE", advanced = "seasonal"),
                 paste("seasonal failed for ECON:NILE: a frequency the operation cannot take",
                       "(status 21 from the database library)"),
                 fixed = TRUE, class = "kovrap_count_warning")
  # A code of no listed operation never reaches the library.
  failed <- condition_of(kv_get(con, "ECON:NILE", math = 7777))
  expect_s3_class(failed, "kovrap_argument_error")
  expect_match(conditionMessage(failed), "math code 7777 is no operation kovrap knows",
               fixed = TRUE)

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

test_that("dates take the forms ts(), window() and zoo users write", {
  con <- local_connection()
  gas <- datasets::UKgas
  cases <- list(
    list(start = c(1983, 2), end = c(1984, 3), freq = NULL, first = c(1983, 2), last = c(1984, 3)),
    list(start = 1983.25, end = 1984.5, freq = 4, first = c(1983, 2), last = c(1984, 3)),
    list(start = zoo::as.yearqtr("1983 Q2"), end = zoo::as.yearmon("1984-08"), freq = "Quarterly",
         first = c(1983, 2), last = c(1984, 3)),
    list(start = as.POSIXct("1983-04-01 00:30", tz = "UTC"),
         end = as.POSIXct("1984-09-30 23:59", tz = "Pacific/Auckland"), freq = 30,
         first = c(1983, 2), last = c(1984, 3)),
    list(start = "0001", end = 1960, freq = NULL, first = c(1, 1), last = c(1960, 4)))
  for (case in cases) {
    got <- kv_get(con, "ECON:UKGAS", start = case$start, end = case$end, freq = case$freq)
    expect_identical(start(got), case$first)
    expect_identical(end(got), case$last)
  }
  # Annual and monthly as ts() numbers them.
  expect_identical(tsp(kv_get(con, "ECON:AUSTRES", freq = 1, start = 1980, end = 1981)),
                   c(1980, 1981, 1))
  monthly <- kv_get(con, "ECON:USACC", freq = 12, start = c(1974, 11), end = 1975 + 1 / 12)
  expect_identical(c(start(monthly), end(monthly)), c(1974, 11, 1975, 2))
  # c(year, period) needs a frequency that has periods.
  weekly <- condition_of(kv_get(con, "MARKETS:DAXW", start = c(1992, 2)))
  expect_s3_class(weekly, "kovrap_date_error")
  expect_match(conditionMessage(weekly), "needs an annual, quarterly or monthly frequency")
  # Decimal time at a daily frequency is the day that far into the year.
  dax <- kv_get(con, "MARKETS:DAX", start = 1992 + 31 / 366, end = "1992-02-04")
  expect_identical(zoo::index(dax), as.Date(c("1992-02-03", "1992-02-04")))
})

test_that("decimal time and date-times are read as window() reads them", {
  con <- local_connection()
  noisy <- function(from, step, times) {
    for (i in seq_len(times)) from <- from + step
    from
  }
  # Each start and end against window() on the same series: the first
  # period that starts at or after the time, the last that starts at or
  # before it, within getOption("ts.eps") of a period.
  cases <- list(
    list(series = "ECON:UKGAS", x = datasets::UKgas, start = 1985.3, end = 1986.6),
    list(series = "ECON:UKGAS", x = datasets::UKgas, start = 1985.25, end = 1986.5),
    list(series = "ECON:UKGAS", x = datasets::UKgas, start = 1985.2500001, end = 1986.4999999),
    list(series = "ECON:UKGAS", x = datasets::UKgas, start = 1985.2501, end = 1986.4999),
    list(series = "ECON:UKGAS", x = datasets::UKgas, start = noisy(1985, 0.1, 4),
         end = noisy(1985, 0.05, 20)),
    list(series = "ECON:USACC", x = datasets::USAccDeaths, start = noisy(1975, 1 / 12, 12),
         end = noisy(1976, 1 / 12, 3)),
    list(series = "ECON:USACC", x = datasets::USAccDeaths, start = 1975.99, end = 1976.01),
    list(series = "ECON:NILE", x = datasets::Nile, start = 1871.5, end = noisy(1880, 0.1, 10))
  )
  for (case in cases) {
    label <- sprintf("%s from %.15g to %.15g", case$series, case$start, case$end)
    got <- kv_get(con, case$series, start = case$start, end = case$end,
                  freq = frequency(case$x))
    # window() carries time()'s own rounding noise in its tsp.
    expect_equal(bare(got), window(case$x, start = case$start, end = case$end),
                 tolerance = 1e-12, label = label)
  }
  # A date-time is read in its own time zone: 00:30 on 1 April in Auckland
  # is still 31 March in UTC.
  zones <- list(list(tz = "Pacific/Auckland", first = c(1983, 2)),
                list(tz = "UTC", first = c(1983, 2)),
                list(tz = "America/Los_Angeles", first = c(1983, 2)))
  for (zone in zones) {
    start <- as.POSIXct("1983-04-01 00:30", tz = zone$tz)
    got <- kv_get(con, "ECON:UKGAS", start = start, end = as.POSIXlt(start))
    expect_identical(c(start(got), end(got)), c(zone$first, zone$first), label = zone$tz)
  }
  auckland <- as.POSIXct("1983-03-31 23:30", tz = "Pacific/Auckland")
  expect_identical(start(kv_get(con, "ECON:UKGAS", start = auckland, end = 1983)), c(1983, 1))
})

test_that("names become column names and the information rides along", {
  con <- local_connection()
  got <- kv_get(con, c(gas = "ECON:UKGAS", jj = "ECON:JNJ"), start = 1970, end = 1970)
  expect_identical(colnames(got), c("gas", "jj"))
  one <- kv_get(con, c(gas = "ECON:UKGAS"), start = 1970, end = 1970)
  expect_identical(colnames(one), "gas")
  expect_identical(as.numeric(one), as.numeric(window(datasets::UKgas, 1970, c(1970, 4))))
  info <- kv_info(got)
  expect_identical(info, kv_info(con, c("ECON:UKGAS", "ECON:JNJ")))
  expect_identical(info$text1, c("Mtherm", "USD"))
})

test_that("aggregate says how months become quarters, and the mode comes back", {
  con <- local_connection()
  mode_now <- function() .Call(kovrap:::C_kv_c_aggmode, con$ptr, 0L, NA_integer_)
  before <- mode_now()
  months <- as.numeric(window(datasets::co2, c(1959, 1), c(1959, 6)))
  q <- function(aggregate) {
    as.numeric(kv_get(con, "ECON:CO2", freq = "quarterly", start = 1959, end = "1959Q2",
                      aggregate = aggregate))
  }
  expect_equal(q("sum"), c(sum(months[1:3]), sum(months[4:6])), tolerance = 1e-12)
  expect_identical(q(sum), q("SUM"))
  expect_equal(q(mean), c(mean(months[1:3]), mean(months[4:6])), tolerance = 1e-12)
  expect_identical(q("first"), months[c(1, 4)])
  expect_identical(q("last"), months[c(3, 6)])
  expect_identical(mode_now(), before)
  # Restored after a failure too: an advanced count that fails.
  suppressWarnings(kv_get(con, "ECON:CO2", freq = 4, start = 1959, end = 1959,
                          advanced = "seasonal", aggregate = "last"))
  expect_identical(mode_now(), before)
  # And after a fetch the library fails: a math code it does not know, which
  # only the C glue can send (kv_get refuses it first).
  refs <- kovrap:::parse_series(con, "ECON:CO2")
  r <- kovrap:::usable_range(con, refs,
                             kovrap:::range_request(con, refs, "quarterly", "1959", "1959Q2"))
  window <- c(r$start, r$end, r$frequency, r$count)
  transforms <- list(code = 7777L, advanced = 0L, paramA = 0L, paramB = 0L, paramC = 0L,
                     windowStart = r$start, windowEnd = r$end)
  econ <- refs$database
  for (code in c(0L, 7777L)) {
    transforms$code <- code
    answer <- .Call(kovrap:::C_kv_c_get_data, con$ptr, 0L, "CO2", econ, econ, window,
                    transforms, kovrap:::kv_aggregation[["sum"]])
    expect_identical(answer$error != 0L, code == 7777L, label = paste("math code", code))
    expect_identical(mode_now(), before, label = paste("math code", code))
  }
  expect_identical(q(NULL), q(names(kovrap:::kv_aggregation)[before + 1L]))
})

test_that("a computed 1e9 reads as NA: the interface's missing value", {
  where <- library_or_skip()
  folder <- tempfile("kovrap-missing")
  dir.create(folder)
  on.exit(unlink(folder, recursive = TRUE))
  write_database(file.path(folder, "M.tqvdb"), list(
    list(code = "FLOW", frequency = 40L, first = 200101, last = 200106,
         values = c(4e8, 3e8, 3e8, 1, 2, 3), aggregate = TRUE)))
  con <- kv_connect(where$library, data_dir = folder)
  got <- kv_get(con, "M:FLOW", freq = "quarterly", aggregate = "sum")
  expect_identical(as.numeric(got), c(NA, 6))
})

test_that("a weekly window takes whole weeks, and a moved weekday is said", {
  con <- local_connection()
  daxw <- kv_get(con, "MARKETS:DAXW", start = "1992-04", end = "1992-04-30")
  expect_identical(zoo::index(daxw)[[length(daxw)]], as.Date("1992-05-01"))
  warned <- list()
  mixed <- withCallingHandlers(
    kv_get(con, c("MARKETS:DAX", "MARKETS:DAXW"), start = "1992-04-01", end = "1992-04-30"),
    warning = function(w) {
      warned[[length(warned) + 1L]] <<- w
      invokeRestart("muffleWarning")
    })
  expect_length(warned, 2L)
  expect_s3_class(warned[[1L]], "kovrap_weekday_warning")
  expect_match(conditionMessage(warned[[1L]]),
               "MARKETS:DAXW is weekly-fri: its weeks are shown as weekly-sun")
  # The order of the series decided the day: said.
  expect_s3_class(warned[[2L]], "kovrap_weekly_group_warning")
  expect_identical(conditionMessage(warned[[2L]]),
                   "the weekly group took weeks ending Sunday from MARKETS:DAX")
  expect_true(all(format(zoo::index(mixed), "%u") == "7"))
  expect_identical(attr(mixed, "kovrap_weekday"), "Sunday")
  # The other way round, DAXW decides: Fridays, and only that is said.
  expect_warning(swapped <- kv_get(con, c("MARKETS:DAXW", "MARKETS:DAX"), start = "1992-04-01",
                                   end = "1992-04-30"),
                 "^the weekly group took weeks ending Friday from MARKETS:DAXW$",
                 class = "kovrap_weekly_group_warning")
  expect_true(all(format(zoo::index(swapped), "%u") == "5"))
  # A rebase date takes the week that holds it.
  rebased <- kv_get(con, "MARKETS:DAXW", start = "1992-04", end = "1992-05",
                    advanced = "rebase:1992-04-30")
  expect_identical(as.numeric(rebased[as.Date("1992-05-01")]), 100)
})

test_that("a week past the year 9999 is refused, not shown without a date", {
  where <- library_or_skip()
  folder <- tempfile("kovrap-late")
  dir.create(folder)
  on.exit(unlink(folder, recursive = TRUE))
  # 31 December 9999 is a Friday.
  write_database(file.path(folder, "LATE.tqvdb"), list(
    list(code = "D", frequency = 60L, first = 99991230, last = 99991231, values = c(1, 2),
         aggregate = TRUE)))
  con <- kv_connect(where$library, data_dir = folder)
  expect_identical(as.numeric(kv_get(con, "LATE:D")), c(1, 2))
  # In Sunday weeks, its last week ends on 2 January 10000.
  late <- condition_of(kv_get(con, "LATE:D", freq = "weekly-sun"))
  expect_s3_class(late, "kovrap_error")
  expect_match(conditionMessage(late), "past the year 9999")
  expect_s3_class(condition_of(kv_range(con, "LATE:D", freq = "weekly-sun")), "kovrap_error")
})

test_that("texts are read in the connection's encoding and marked", {
  where <- library_or_skip()
  folder <- tempfile("kovrap-latin")
  dir.create(folder)
  on.exit(unlink(folder, recursive = TRUE))
  write_database(file.path(folder, "ODD.tqvdb"), list(
    list(code = "latin", frequency = 10L, first = 2001, last = 2001, values = 1,
         texts = c("m\u00b3", "x", "x", "x", "Caf\u00e9 cr\u00e8me"))), encoding = "latin1")
  latin <- kv_connect(where$library, data_dir = folder, encoding = "latin1")
  info <- kv_info(latin, "ODD:latin")
  expect_identical(info$text5, "Caf\u00e9 cr\u00e8me")
  expect_identical(Encoding(info$text5), "UTF-8")
  expect_identical(nchar(info$text5), 10L)
  expect_identical(attr(kv_get(latin, "ODD:latin"), "kovrap_info")$text1, "m\u00b3")
  # Read as UTF-8 (the default), a Latin-1 byte is no character: it shows as
  # the replacement character, and nothing fails.
  utf8 <- kv_info(kv_connect(where$library, data_dir = folder), "ODD:latin")
  expect_identical(utf8$text5, "Caf\ufffd cr\ufffdme")
})
