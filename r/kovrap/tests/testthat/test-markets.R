# The business-day stock indices and their weekly averages.
business_days <- function(from, to) {
  days <- seq(as.Date(from), as.Date(to), by = "day")
  days[as.integer(format(days, "%u")) <= 5L]
}

test_that("business-day indices equal EuStockMarkets, indexed by weekdays", {
  con <- local_connection()
  days <- business_days("1991-07-01", "1998-08-14")
  expect_length(days, nrow(datasets::EuStockMarkets))
  for (code in c("DAX", "SMI", "CAC", "FTSE")) {
    got <- bare(kv_get(con, paste0("MARKETS:", code)))
    expect_s3_class(got, "zoo")
    expect_null(dim(got))
    expect_identical(zoo::index(got), days, label = code)
    expect_identical(zoo::coredata(got), as.numeric(datasets::EuStockMarkets[, code]),
                     label = code)
  }
})

test_that("several business-day series form a zoo matrix", {
  con <- local_connection()
  got <- bare(kv_get(con, c("MARKETS:DAX", "MARKETS:FTSE"), start = "1998-08-10"))
  expect_s3_class(got, "zoo")
  expect_identical(colnames(got), c("DAX", "FTSE"))
  expect_identical(zoo::index(got), business_days("1998-08-10", "1998-08-14"))
  expect_identical(unname(zoo::coredata(got)),
                   unname(tail(unclass(datasets::EuStockMarkets)[, c("DAX", "FTSE")], 5)))
})

test_that("weekly series hold the week's average on Fridays", {
  con <- local_connection()
  got <- bare(kv_get(con, "MARKETS:DAXW"))
  days <- business_days("1991-07-01", "1998-08-14")
  friday <- days + (5L - as.integer(format(days, "%u")))
  expected <- tapply(as.numeric(datasets::EuStockMarkets[, "DAX"]), friday, mean)
  expect_identical(zoo::index(got), as.Date(names(expected)))
  expect_equal(zoo::coredata(got), unname(as.numeric(expected)), tolerance = 1e-12)
  expect_true(all(format(zoo::index(got), "%u") == "5"))
})

# The index steps on from the library's first period without a call per
# period: it must be the library's own sequence.
test_that("daily, business and weekly indices are the library's date sequence", {
  con <- local_connection()
  for (case in list(list("MARKETS:DAX", NULL, 61L), list("MARKETS:DAX", "daily", 60L),
                    list("MARKETS:DAXW", NULL, 55L), list("MARKETS:DAX", "weekly", 57L),
                    list("MARKETS:DAX", "weekly-wed", 53L))) {
    got <- suppressWarnings(kv_get(con, case[[1L]], freq = case[[2L]], start = "1997-12-20"))
    first <- .Call(kovrap:::C_kv_c_convert, con$ptr, 1L,
                   as.integer(format(zoo::index(got)[[1L]], "%Y%m%d")), case[[3L]])
    library_dates <- .Call(kovrap:::C_kv_c_date_seq, con$ptr, first, length(got), case[[3L]])
    expect_identical(zoo::index(got), as.Date(as.character(library_dates), "%Y%m%d"),
                     label = paste(case[[1L]], case[[3L]]))
  }
})
