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

# A database of n annual series S00000001 ..., in the stand-in's file format.
write_big_database <- function(folder, n) {
  codes <- sprintf("S%08d", seq_len(n))
  blocks <- paste0("series ", codes, "\nfrequency 10\nrange 2000 2000\n",
                   "attributes 1 0 0 0 0 1\nvalues\n1\nend")
  writeLines(c("TQVDB 1", "database BIG", blocks), file.path(folder, "BIG.tqvdb"))
  codes
}

test_that("long listings come back whole from both libraries", {
  where <- library_or_skip()
  folder <- tempfile("kovrap-big")
  dir.create(folder)
  on.exit(unlink(folder, recursive = TRUE))
  # 5000 codes take 50 000 bytes, five times a direct code list buffer.
  codes <- write_big_database(folder, 5000L)
  local <- kv_connect(where$library, data_dir = folder)
  expect_identical(kv_codes(local, "BIG"), codes)

  # The direct library lists in batches of 100 names, at most 32 of them.
  codes <- write_big_database(folder, 3100L)
  expect_true(file.copy(file.path(where$data_dir, "credentials"), folder))
  direct <- kv_connect(where$library, direct = TRUE, data_dir = folder)
  kv_login(direct, demo_user, demo_password())
  expect_identical(kv_codes(direct, "BIG"), codes)
  expect_identical(bare(kv_get(direct, "BIG:S00003100")), ts(1, start = 2000))
})

test_that("a direct listing stopped at its 32nd call for names says it may be cut", {
  where <- library_or_skip()
  folder <- tempfile("kovrap-cut")
  dir.create(folder)
  on.exit(unlink(folder, recursive = TRUE))
  expect_true(file.copy(file.path(where$data_dir, "credentials"), folder))
  direct <- kv_connect(where$library, direct = TRUE, data_dir = folder)
  kv_login(direct, demo_user, demo_password())
  # Batches of 100 names: 3100 end at the 32nd call, which finds none left;
  # 3101 and 3300 give names at the 32nd call, whether more remain or not.
  # The local library lists every code, in one call, whatever the number.
  cases <- data.frame(n = c(3100L, 3101L, 3300L, 3300L), direct = c(TRUE, TRUE, TRUE, FALSE),
                      listed = c(3100L, 3101L, 3200L, 3300L), cut = c(FALSE, TRUE, TRUE, FALSE))
  for (k in seq_len(nrow(cases))) {
    case <- cases[k, ]
    codes <- write_big_database(folder, case$n)
    con <- if (case$direct) direct else kv_connect(where$library, data_dir = folder)
    warned <- list()
    got <- withCallingHandlers(kv_codes(con, "BIG"), warning = function(w) {
      warned[[length(warned) + 1L]] <<- w
      invokeRestart("muffleWarning")
    })
    label <- sprintf("%d codes, %s", case$n, if (case$direct) "direct" else "local")
    expect_identical(got, codes[seq_len(case$listed)], label = label)
    expect_identical(length(warned), as.integer(case$cut), label = label)
    if (case$cut) {
      expect_s3_class(warned[[1L]], "kovrap_listing_cut_warning")
      expect_identical(conditionMessage(warned[[1L]]), sprintf(paste(
        "the listing of 'BIG' holds %d codes and may have been cut at the direct library's",
        "limit of 32 calls for names"), case$listed))
    }
  }
  # kv_find reads the same listing, and says so too.
  expect_warning(kv_find(direct, "S00000001", databases = "BIG"), "may have been cut")
})
