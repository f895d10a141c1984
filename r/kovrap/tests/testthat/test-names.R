# The name rule of all hosts, and what cannot travel.
test_that("names split at the first colon after an optional drive", {
  split <- kovrap:::split_names(c("ECON:UKGAS", "ODD:A:B", "C:\\data\\ECON.tqvdb:UKGAS",
                                  "c:/data/ECON:NILE", "C:UKGAS", "ECON", "ECON:", ":UKGAS"))
  expect_identical(split$database, c("ECON", "ODD", "C:\\data\\ECON.tqvdb", "c:/data/ECON",
                                     "C", "", "ECON", ""))
  expect_identical(split$code, c("UKGAS", "A:B", "UKGAS", "NILE", "UKGAS", "", "", "UKGAS"))
})

# A database that holds codes with a colon, and one whose file name holds
# one.
colon_fixture <- function() {
  folder <- tempfile("kovrap-colon")
  dir.create(folder)
  series <- list(list(code = "A:B", frequency = 10L, first = 2001, last = 2003,
                      values = c(5, 7, 11)),
                 list(code = "PLAIN", frequency = 10L, first = 2001, last = 2001, values = 1))
  write_database(file.path(folder, "ODD.tqvdb"), series)
  if (.Platform$OS.type != "windows") write_database(file.path(folder, "X:Y.tqvdb"), series)
  folder
}

test_that("a listed code with a colon is fetched, by name or by kv_series", {
  where <- library_or_skip()
  folder <- colon_fixture()
  on.exit(unlink(folder, recursive = TRUE))
  con <- kv_connect(where$library, data_dir = folder)
  expect_identical(kv_codes(con, "ODD"), c("A:B", "PLAIN"))
  expect_identical(as.numeric(kv_get(con, "ODD:A:B")), c(5, 7, 11))
  both <- kv_series(c("ODD", "ODD"), c(ab = "A:B", plain = "PLAIN"))
  expect_identical(length(both), 2L)
  got <- kv_get(con, both, end = 2002)
  expect_identical(colnames(got), c("ab", "plain"))
  expect_identical(kv_info(con, both)$series, c("ODD:A:B", "ODD:PLAIN"))
  expect_identical(kv_range(con, both)$observations, 3L)
  if (.Platform$OS.type != "windows") {
    # Only the unambiguous form reaches a database whose name has a colon.
    expect_identical(as.numeric(kv_get(con, kv_series("X:Y", "A:B"))), c(5, 7, 11))
  }
  expect_s3_class(condition_of(kv_series("ODD", NA_character_)), "kovrap_argument_error")
})

test_that("names that cannot travel are refused before the library is called", {
  con <- local_connection()
  cases <- list(
    list("ECON:A\x01B", "'ECON:A\\x01B' holds a control character"),
    list("EC\x1fON:UKGAS", "'EC\\x1FON:UKGAS' holds a control character"),
    list("ECON:UK\x7fGAS", "holds a control character"),
    list(kv_series("ECON", "A\tB"), "'ECON:A\\x09B' holds a control character"),
    list("ECON:ABCDEFGHIJ", "'ECON:ABCDEFGHIJ' has a code longer than 9 bytes"),
    list("ECON:", "'ECON:' is not DATABASE:CODE"),
    list(kv_series("", "UKGAS"), "':UKGAS' is not DATABASE:CODE"),
    list(NA_character_, "must be a character vector"))
  for (case in cases) {
    for (call in list(quote(kv_get(con, case[[1L]])), quote(kv_info(con, case[[1L]])),
                      quote(kv_range(con, case[[1L]])))) {
      condition <- condition_of(eval(call))
      expect_s3_class(condition, "kovrap_argument_error")
      expect_match(conditionMessage(condition), case[[2L]], fixed = TRUE)
    }
  }
  expect_s3_class(condition_of(kv_codes(con, "EC\x02ON")), "kovrap_argument_error")
  direct <- direct_connection()
  comma <- condition_of(kv_get(direct, "ECON:A,B"))
  expect_match(conditionMessage(comma), "has a comma in its code")
})

test_that("every bad operation is a kovrap_argument_error", {
  con <- local_connection()
  for (advanced in list("", ":", "ma:", "ma:x", "rebase:", "1:", "ma:-1", "seasonal:2",
                        NA_character_, c("ma:2", "ma:3"), list("ma:2"))) {
    expect_s3_class(condition_of(kv_get(con, "ECON:UKGAS", advanced = advanced)),
                    "kovrap_argument_error")
  }
  for (math in list("", "pct:1", "2147483648", TRUE)) {
    expect_s3_class(condition_of(kv_get(con, "ECON:UKGAS", math = math)),
                    "kovrap_argument_error")
  }
  for (aggregate in list("median", median, NA, c("sum", "mean"))) {
    expect_s3_class(condition_of(kv_get(con, "ECON:CO2", freq = 4, aggregate = aggregate)),
                    "kovrap_argument_error")
  }
})

test_that("names of frequencies and operations are read in any case, ASCII letters only", {
  con <- local_connection()
  nile <- function(...) kv_get(con, "ECON:NILE", start = 1871, end = 1873, ...)
  # The Turkish capital dotted I is no I: R's tolower() would make it "i".
  dotted <- "\u0130"
  cases <- list(
    list(args = list(freq = "AnNuAl"), ok = TRUE),
    list(args = list(math = "Diff"), ok = TRUE),
    list(args = list(advanced = "Ma:2"), ok = TRUE),
    list(args = list(freq = "ANNUAL", aggregate = "FIRST"), ok = TRUE),
    list(args = list(freq = paste0("da", dotted, "ly")), ok = FALSE),
    list(args = list(math = paste0("d", dotted, "ff")), ok = FALSE),
    list(args = list(freq = "ANNUAL", aggregate = paste0("F", dotted, "RST")), ok = FALSE)
  )
  for (case in cases) {
    label <- paste(names(case$args), unlist(case$args), collapse = " ")
    said <- condition_of(do.call(nile, case$args))
    if (case$ok) {
      expect_null(said, label = label)
    } else {
      expect_s3_class(said, "kovrap_argument_error")
      expect_match(conditionMessage(said), "^unknown ", label = label)
    }
  }
})

test_that("series vectors index, combine and mix with names as character vectors do", {
  s <- kv_series(c(g = "ECON", j = "ECON"), c("UKGAS", "JNJ"))
  odd <- kv_series("X:Y", c(ab = "A:B"))
  mixed <- c(s, "ECON:NILE", n = "ODD:A:B", odd)
  # Each case: a vector, its DATABASE:CODE texts, names and databases.
  cases <- list(
    list(what = "names from the databases", x = s, text = c("ECON:UKGAS", "ECON:JNJ"),
         names = c("g", "j"), database = c("ECON", "ECON")),
    list(what = "names from the codes first", x = kv_series(c(g = "ECON"), c(u = "UKGAS")),
         text = "ECON:UKGAS", names = "u", database = "ECON"),
    list(what = "[ by position", x = s[2], text = "ECON:JNJ", names = "j", database = "ECON"),
    list(what = "[ by name", x = mixed[c("n", "g")], text = c("ODD:A:B", "ECON:UKGAS"),
         names = c("n", "g"), database = c("ODD", "ECON")),
    list(what = "[[", x = mixed[[5L]], text = "X:Y:A:B", names = NULL, database = "X:Y"),
    list(what = "c() with texts, split as names are", x = mixed,
         text = c("ECON:UKGAS", "ECON:JNJ", "ECON:NILE", "ODD:A:B", "X:Y:A:B"),
         names = c("g", "j", "", "n", "ab"), database = c("ECON", "ECON", "ECON", "ODD", "X:Y")),
    list(what = "rep", x = rep(odd, 2), text = rep("X:Y:A:B", 2), names = c("ab", "ab"),
         database = c("X:Y", "X:Y")),
    list(what = "unique", x = unique(c(odd, s, odd)), text = c("X:Y:A:B", "ECON:UKGAS", "ECON:JNJ"),
         names = c("ab", "g", "j"), database = c("X:Y", "ECON", "ECON"))
  )
  for (case in cases) {
    expect_s3_class(case$x, "kovrap_series")
    expect_identical(as.character(case$x), case$text, label = case$what)
    expect_identical(length(case$x), length(case$text), label = case$what)
    expect_identical(names(case$x), case$names, label = case$what)
    expect_identical(kovrap:::series_parts(case$x)$database, case$database, label = case$what)
  }
  changed <- s
  changed[2] <- kv_series("X:Y", "A:B")
  changed[1] <- "MARKETS:DAX"
  expect_identical(format(changed), c(g = "MARKETS:DAX", j = "X:Y:A:B"))
  expect_s3_class(condition_of(s[3]), "kovrap_argument_error")
  none <- s[0]
  expect_identical(as.character(none), character())
  expect_output(print(none), "<kovrap series[0]>", fixed = TRUE)
  expect_s3_class(condition_of(kv_get(local_connection(), none)), "kovrap_argument_error")
  expect_s3_class(condition_of(c(s, 1)), "kovrap_argument_error")
  expect_output(print(s), "<kovrap series[2]>", fixed = TRUE)
  expect_output(print(s), "ECON:UKGAS")
  expect_identical(paste(s), c("ECON:UKGAS", "ECON:JNJ"))
})

test_that("names given label their series, the others their codes", {
  con <- local_connection()
  cases <- list(
    list(series = kv_series(c(g = "ECON", j = "ECON"), c("UKGAS", "JNJ")), columns = c("g", "j")),
    list(series = c(gas = "ECON:UKGAS", "ECON:JNJ"), columns = c("gas", "JNJ")),
    list(series = c(gas = "ECON:UKGAS", "ECON:UKGAS"), columns = c("gas", "ECON:UKGAS")),
    list(series = c(kv_series("ECON", c(gas = "UKGAS")), "ECON:JNJ"), columns = c("gas", "JNJ")),
    list(series = setNames(c("ECON:UKGAS", "ECON:JNJ"), c(NA, "jj")), columns = c("UKGAS", "jj"))
  )
  for (case in cases) {
    got <- kv_get(con, case$series, start = 1970, end = 1970)
    expect_s3_class(got, "mts")
    expect_identical(colnames(got), case$columns, label = paste(case$columns, collapse = " "))
  }
  # One series is a "ts" as ts() makes it: a vector, or a named column.
  cases <- list(list(series = "ECON:UKGAS", columns = NULL),
                list(series = c(gas = "ECON:UKGAS"), columns = "gas"),
                list(series = kv_series(c(g = "ECON"), "UKGAS"), columns = "g"))
  for (case in cases) {
    got <- bare(kv_get(con, case$series, start = 1970, end = 1970))
    values <- window(datasets::UKgas, 1970, c(1970, 4))
    if (!is.null(case$columns)) values <- ts(matrix(values, dimnames = list(NULL, case$columns)),
                                             start = 1970, frequency = 4)
    expect_identical(class(got), "ts")
    expect_identical(got, values)
  }
})

