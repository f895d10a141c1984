# The shapes of a result (output =), the information it carries, and the
# code lists of several databases.

test_that("every output holds the default result's values, times and columns", {
  con <- local_connection()
  cases <- list(
    list(series = c("ECON:UKGAS", "ECON:JNJ"), start = 1980, end = 1981, freq = "quarterly",
         first = as.Date("1980-03-31"), last = as.Date("1981-12-31")),
    list(series = "ECON:CO2", start = "1990-11", end = "1991-02", freq = "monthly",
         first = as.Date("1990-11-30"), last = as.Date("1991-02-28")),
    list(series = "ECON:NILE", start = 1900, end = 1902, freq = "annual",
         first = as.Date("1900-12-31"), last = as.Date("1902-12-31")),
    list(series = c("MARKETS:DAX", "MARKETS:FTSE"), start = "1998-08-07", end = NULL,
         freq = "business", first = as.Date("1998-08-07"), last = as.Date("1998-08-14")),
    list(series = c(w = "MARKETS:DAXW"), start = "1998-07-20", end = NULL, freq = "weekly-fri",
         first = as.Date("1998-07-24"), last = as.Date("1998-08-14"))
  )
  for (case in cases) {
    get <- function(output = NULL) {
      kv_get(con, case$series, start = case$start, end = case$end, output = output)
    }
    default <- get()
    values <- as.vector(if (inherits(default, "zoo")) zoo::coredata(default) else default)
    info <- kv_info(default)
    for (output in c("ts", "zoo", "xts")) {
      if (output == "ts" && inherits(default, "zoo")) next
      got <- get(output)
      expected <- switch(output, ts = default, zoo = zoo::as.zoo(bare(default)),
                         xts = xts::as.xts(bare(default)))
      expect_identical(bare(got), bare(expected))
      expect_identical(kv_info(got), info)
      expect_identical(attr(got, "kovrap_weekday"), attr(default, "kovrap_weekday"))
    }
    long <- get("data.frame")
    n <- length(case$series)
    count <- length(values) / n
    expect_identical(names(long), c("database", "code", "period", "frequency", "value"))
    expect_identical(long$value, values)
    databases <- sub(":.*", "", unname(case$series))
    codes <- sub(".*:", "", unname(case$series))
    # Factors, their levels in the order asked.
    expect_identical(long$database, factor(rep(databases, each = count), unique(databases)))
    expect_identical(long$code, factor(rep(codes, each = count), codes))
    expect_identical(long$frequency, factor(rep(case$freq, count * n)))
    expect_s3_class(long$period, "Date")
    expect_identical(range(long$period), c(case$first, case$last))
    if (inherits(default, "zoo")) {
      expect_identical(long$period, rep(zoo::index(default), n))
    } else {
      # The last day of each period, as the zoo index of finer data reads.
      expect_identical(long$period[seq_len(count)],
                       zoo::as.Date(zoo::as.yearmon(as.numeric(time(default)) +
                                                      1 / frequency(default))) - 1)
    }
    expect_identical(kv_info(long), info)
    expect_identical(attr(long, "kovrap_weekday"), attr(default, "kovrap_weekday"))
  }
})

test_that("the long data frame keeps a set-aside series' rows, as NA", {
  con <- local_connection()
  long <- suppressWarnings(kv_get(con, c("ECON:NILE", "ECON:GDP"), start = 1900, end = 1901,
                                  output = "data.frame"))
  expect_identical(as.character(long$code), c("NILE", "NILE", "GDP", "GDP"))
  expect_identical(long$value, c(840, 874, NA, NA))
  expect_identical(long$period, as.Date(c("1900-12-31", "1901-12-31", "1900-12-31",
                                           "1901-12-31")))
})

test_that("the long frame's repeated columns are rep() made in C, and save as plain vectors", {
  repeated <- kovrap:::repeated
  cases <- list(
    list(x = 1:3, each = 2, length = 6), list(x = 1:3, each = 1, length = 7),
    list(x = c(2.5, NA, -1), each = 4, length = 10), list(x = 7L, each = 5, length = 5),
    list(x = integer(), each = 1, length = 0),
    # Long runs, and a length that ends inside a round.
    list(x = c(1L, 5L, NA), each = 300, length = 2000),
    list(x = c(0.5, 1.5, 2.5), each = 1, length = 1500)
  )
  for (case in cases) {
    plain <- rep(rep(case$x, each = case$each), length.out = case$length)
    got <- repeated(case$x, case$each, case$length)
    expect_identical(got[seq_along(plain)], plain)
    expect_identical(rev(got), rev(plain))
    expect_identical(sum(got, na.rm = TRUE), sum(plain, na.rm = TRUE))
    expect_identical(cumsum(got), cumsum(plain))
    expect_identical(got, plain)
  }
  for (bad in list(list("a", 1, 1), list(1:2, 0, 2), list(1:2, 1.5, 2), list(1:2, 1, -1),
                   list(integer(), 1, 1))) {
    expect_error(do.call(repeated, bad), "repeated column")
  }

  con <- local_connection()
  long <- kv_get(con, c("ECON:UKGAS", "ECON:JNJ"), start = 1980, end = 1981,
                 output = "data.frame")
  values <- long$value
  made <- data.frame(database = factor(rep("ECON", 16)),
                     code = factor(rep(c("UKGAS", "JNJ"), each = 8), c("UKGAS", "JNJ")),
                     period = rep(seq(as.Date("1980-04-01"), by = "quarter", length.out = 8) - 1,
                                  2),
                     frequency = factor(rep("quarterly", 16)), value = values)
  expect_identical(bare(long), made)
  file <- tempfile(fileext = ".rds")
  on.exit(unlink(file))
  saveRDS(long, file)
  expect_identical(readRDS(file), long)
  long$code[[3L]] <- "JNJ"
  long$period[[4L]] <- as.Date("2000-01-01")
  made$code[[3L]] <- "JNJ"
  made$period[[4L]] <- as.Date("2000-01-01")
  expect_identical(bare(long), made)
  expect_identical(bare(rbind(long, long)), rbind(made, made))
  expect_identical(long[long$code == "JNJ" & long$period > as.Date("1981-01-01"), "value"],
                   made[made$code == "JNJ" & made$period > as.Date("1981-01-01"), "value"])
})

test_that("a bad output is refused before anything is read", {
  con <- local_connection()
  cases <- list(
    list(series = "ECON:NOSUCH", output = "tibble", class = "kovrap_argument_error",
         message = "unknown output 'tibble'"),
    list(series = "ECON:NOSUCH", output = c("ts", "zoo"), class = "kovrap_argument_error",
         message = "unknown output"),
    list(series = "MARKETS:DAX", output = "ts", class = "kovrap_argument_error",
         message = "output = \"ts\" holds annual, quarterly or monthly data, not business"),
    list(series = "MARKETS:DAXW", output = "ts", class = "kovrap_argument_error",
         message = "not weekly-fri")
  )
  for (case in cases) {
    refused <- condition_of(kv_get(con, case$series, output = case$output))
    expect_s3_class(refused, case$class)
    expect_match(conditionMessage(refused), case$message, fixed = TRUE)
  }
})

test_that("output = \"xts\" without the package xts says how to get it", {
  con <- local_connection()
  real <- get("has_package", envir = asNamespace("kovrap"))
  utils::assignInNamespace("has_package", function(name) name != "xts", "kovrap")
  on.exit(utils::assignInNamespace("has_package", real, "kovrap"))
  refused <- condition_of(kv_get(con, "ECON:NOSUCH", output = "xts"))
  expect_s3_class(refused, "kovrap_package_error")
  expect_match(conditionMessage(refused), "needs the package xts, which is not installed",
               fixed = TRUE)
  # The other shapes need no xts.
  expect_s3_class(kv_get(con, "MARKETS:DAX", start = "1998-08-14", output = "zoo"), "zoo")
})

test_that("a printed result shows its information in one line, or not at all", {
  con <- local_connection()
  line <- c("attr(,\"kovrap_info\")",
            "<kovrap information on 2 series (MARKETS:DAX, MARKETS:FTSE): kv_info() shows it>")
  markets <- c("MARKETS:DAX", "MARKETS:FTSE")
  # A result, and the lines its printout has beyond its values'.
  cases <- list(
    list(kv_get(con, markets, start = "1998-08-13"), line),
    list(kv_get(con, markets, freq = "annual", start = 1997, end = 1998), line),
    list(kv_get(con, "ECON:UKGAS", start = 1985, end = 1985), character()),
    list(kv_get(con, markets, start = "1998-08-13", output = "xts"), character()),
    list(kv_get(con, markets, start = "1998-08-13", output = "data.frame"), character())
  )
  for (case in cases) {
    printed <- capture.output(print(case[[1L]]))
    expect_identical(printed, c(capture.output(print(bare(case[[1L]]))), case[[2L]]))
  }
  many <- kv_get(con, kv_series("ECON", c("UKGAS", "JNJ", "AUSTRES", "PRES")), start = 1970,
                 end = 1970)
  expect_identical(format(attr(many, "kovrap_info")), paste(
    "<kovrap information on 4 series (ECON:UKGAS, ECON:JNJ, ECON:AUSTRES and 1 more):",
    "kv_info() shows it>"))
})

test_that("the information goes where the help says it goes", {
  con <- local_connection()
  results <- list(
    ts = kv_get(con, c("ECON:UKGAS", "ECON:JNJ"), start = 1980, end = 1981),
    zoo = kv_get(con, c("MARKETS:DAX", "MARKETS:FTSE"), start = "1998-08-03"),
    xts = kv_get(con, c("MARKETS:DAX", "MARKETS:FTSE"), start = "1998-08-03", output = "xts")
  )
  second <- function(x) time(x)[[2L]]
  # Operation, and whether a ts, a zoo and an xts keep the information.
  cases <- list(
    list("x * 2", function(x) x * 2, c(TRUE, TRUE, TRUE)),
    list("log(x)", log, c(TRUE, TRUE, TRUE)),
    list("coredata(x)", zoo::coredata, c(TRUE, TRUE, FALSE)),
    list("window(x)", function(x) window(x, start = second(x)), c(FALSE, FALSE, TRUE)),
    list("x[i, ]", function(x) x[1:2, ], c(FALSE, FALSE, TRUE)),
    list("x + x", function(x) x + x, c(FALSE, FALSE, TRUE)),
    list("merge(x, x)", function(x) if (inherits(x, "zoo")) merge(x, x) else cbind(x, x),
         c(FALSE, FALSE, TRUE)),
    list("as.numeric(x)", as.numeric, c(FALSE, FALSE, FALSE))
  )
  for (case in cases) {
    for (k in seq_along(results)) {
      got <- case[[2L]](results[[k]])
      expect(!is.null(attr(got, "kovrap_info")) == case[[3L]][[k]],
             sprintf("%s on a %s: %s", case[[1L]], names(results)[[k]],
                     if (case[[3L]][[k]]) "lost the information" else "kept the information"))
      if (case[[3L]][[k]]) expect_identical(kv_info(got), kv_info(results[[k]]))
    }
  }
  long <- kv_get(con, c("MARKETS:DAX", "MARKETS:FTSE"), start = "1998-08-03",
                 output = "data.frame")
  expect_identical(kv_info(long[long$code == "DAX", ]), kv_info(results$zoo))
  expect_null(attr(long[, c("code", "value")], "kovrap_info"))
  lost <- condition_of(kv_info(window(results$ts, start = 1981)))
  expect_s3_class(lost, "kovrap_argument_error")
  expect_match(conditionMessage(lost), "neither a connection from kv_connect() nor a result",
               fixed = TRUE)
})

test_that("kv_codes of several databases is a data frame of database and code", {
  con <- local_connection()
  econ <- kv_codes(con, "ECON")
  markets <- kv_codes(con, "MARKETS")
  expect_type(econ, "character")
  both <- kv_codes(con, c("MARKETS", "ECON"))
  expect_identical(both, data.frame(database = rep(c("MARKETS", "ECON"),
                                                   c(length(markets), length(econ))),
                                    code = c(markets, econ), stringsAsFactors = FALSE))
  # As kv_series() takes it, for a fetch of every series.
  got <- suppressWarnings(kv_get(con, kv_series(both$database[1:3], both$code[1:3]),
                                 start = "1998-08-14"))
  expect_identical(colnames(got), markets[1:3])
  cases <- list(
    list(database = c("ECON", "NOSUCH"), class = "kovrap_database_error", message = "NOSUCH"),
    list(database = c("ECON", NA), class = "kovrap_argument_error",
         message = "one or more database names"),
    list(database = c("ECON", ""), class = "kovrap_argument_error",
         message = "one or more database names"),
    list(database = character(), class = "kovrap_argument_error",
         message = "one or more database names"),
    list(database = c("ECON", "A\x01B"), class = "kovrap_argument_error",
         message = "'A\\x01B' holds a control character")
  )
  for (case in cases) {
    refused <- condition_of(kv_codes(con, case$database))
    expect_s3_class(refused, case$class)
    expect_match(conditionMessage(refused), case$message, fixed = TRUE)
  }
})
