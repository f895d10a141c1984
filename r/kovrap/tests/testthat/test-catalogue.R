test_that("codes come in the database's order, complete", {
  con <- local_connection()
  expect_identical(kv_codes(con, "MARKETS"),
                   c("DAX", "SMI", "CAC", "FTSE", "DAXW", "FTSEW", "AEX"))
  econ <- kv_codes(con, "ECON")
  expect_length(econ, 24L)
  expect_identical(econ[c(1L, 5L, 24L)], c("UKGAS", "GDP", "EMPLOYED"))
  # The file name works as well as the name without its extension.
  expect_identical(kv_codes(con, "ECON.tqvdb"), econ)
})

test_that("info gives one row per series with dates, attributes and texts", {
  con <- local_connection()
  info <- kv_info(con, c("ECON:PRES", "MARKETS:DAXW", "ECON:GDP"))
  expect_s3_class(info, "data.frame")
  expect_identical(info$series, c("ECON:PRES", "MARKETS:DAXW", "ECON:GDP"))
  expect_identical(info$status, rep("ok", 3L))
  expect_identical(info$frequency, c("quarterly", "weekly-fri", "quarterly"))
  expect_identical(info$first, as.Date(c("1945-03-31", "1991-07-05", NA)))
  expect_identical(info$last, as.Date(c("1974-12-31", "1998-08-14", NA)))
  expect_identical(info$first_period, c("1945Q1", "1991-07-05", NA))
  expect_identical(info$periods, c(120L, 372L, NA))
  expect_identical(info$attribute1, c(1L, 1L, 0L))
  expect_identical(info$attribute3, c(6L, 0L, 0L))
  expect_identical(info$text1, c("percent", "points", "GBP"))
  expect_identical(info$text6, c("Rdatasets", "Rdatasets", "pending"))
  expect_match(info$text7[[1L]], "presidents")
})

test_that("the common range sets series aside and says why", {
  con <- local_connection()
  r <- kv_range(con, c("ECON:UKGAS", "ECON:CO2", "ECON:GDP", "ECON:NILE"))
  expect_s3_class(r, "kovrap_range")
  expect_identical(r$frequency, "annual")
  expect_identical(c(r$start_period, r$end_period), c("1871", "1997"))
  expect_identical(r$observations, 127L)
  expect_identical(r$series$role, c("finer", "used", "empty", "used"))
  expect_identical(r$series$reason[[3L]], "ECON:GDP has no observations")
  expect_output(print(r), "common range: annual, 1871 to 1997, 127 observations")

  fixed <- kv_range(con, c("ECON:UKGAS", "ECON:AUSTRES"), freq = "quarterly",
                    start = "1980Q2", end = as.Date("1981-12-31"))
  expect_identical(c(fixed$start_period, fixed$end_period), c("1980Q2", "1981Q4"))
  expect_identical(fixed$observations, 7L)
  expect_identical(fixed$series$role, c("used", "used"))
})
