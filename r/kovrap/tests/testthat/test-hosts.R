# The tables of host cases that kovra, the Python package and this package
# all run (docs/host-rules.md): every row for the hosts "r" and "all". A
# table that cannot be read is an error, not a table without rows: its
# heading must name the columns every table has, every row must fit it, and
# an id is unique within its table.
host_table_columns <- c("id", "hosts", "call", "series", "expect")

read_host_table <- function(path) {
  unreadable <- function(e) {
    stop(sprintf("cannot read %s: %s", path, conditionMessage(e)), call. = FALSE)
  }
  lines <- tryCatch(readLines(path, encoding = "UTF-8", warn = FALSE),
                    error = unreadable, warning = unreadable)
  lines <- lines[nzchar(lines) & !startsWith(lines, "#")]
  if (length(lines) == 0L) stop(sprintf("%s has no heading", path), call. = FALSE)
  header <- strsplit(lines[[1L]], "\t", fixed = TRUE)[[1L]]
  missing <- setdiff(host_table_columns, header)
  if (length(missing)) {
    stop(sprintf("%s: the heading lacks %s", path, paste(missing, collapse = ", ")), call. = FALSE)
  }
  rows <- lapply(lines[-1L], function(line) {
    fields <- strsplit(line, "\t", fixed = TRUE)[[1L]]
    if (length(fields) > length(header)) {
      stop(sprintf("%s: a row has more fields than the heading: %s", path, line), call. = FALSE)
    }
    fields <- c(fields, rep("", length(header) - length(fields)))
    setNames(as.list(fields), header)
  })
  ids <- vapply(rows, `[[`, character(1), "id")
  if (anyDuplicated(ids)) {
    stop(sprintf("%s: the id %s is used twice", path, ids[anyDuplicated(ids)]), call. = FALSE)
  }
  rows[vapply(rows, function(r) any(strsplit(r$hosts, ",", fixed = TRUE)[[1L]] %in%
                                      c("r", "all")), logical(1))]
}

# \xHH stands for the character with that code, {data} for the data folder;
# in one pass, so that \x5Cx1F is the text \x1F. NULL for a NUL, which an R
# string cannot hold.
unescape <- function(text, data_dir) {
  text <- gsub("{data}", data_dir, text, fixed = TRUE)
  at <- gregexpr("\\\\x[0-9A-Fa-f]{2}", text)
  hex <- regmatches(text, at)[[1L]]
  if (length(hex) == 0L) return(text)
  codes <- strtoi(substr(hex, 3L, 4L), 16L)
  if (any(codes == 0L)) return(NULL)
  regmatches(text, at) <- list(vapply(codes, intToUtf8, character(1)))
  text
}

host_connection <- function(row, where) {
  encoding <- if (!is.null(row$encoding) && nzchar(row$encoding)) row$encoding else "UTF-8"
  direct <- nzchar(row$direct)
  con <- kv_connect(where$library, direct = direct, data_dir = where$data_dir,
                    encoding = encoding)
  if (identical(row$direct, "1")) kv_login(con, demo_user, demo_password())
  if (identical(row$direct, "nologin")) log_out(con)
  con
}

# A period as the table writes it.
period_labels <- function(x) {
  if (inherits(x, "ts")) {
    year <- floor(time(x) + getOption("ts.eps"))
    f <- frequency(x)
    switch(as.character(f),
           "1" = sprintf("%04d", year),
           "4" = sprintf("%04dQ%d", year, cycle(x)),
           "12" = sprintf("%04d-%02d", year, cycle(x)))
  } else {
    format(zoo::index(x), "%Y-%m-%d")
  }
}

# For info, CODE@FIELD=VALUE: a field of the series' row (first and last are
# its periods).
check_info <- function(info, parts, id) {
  row <- match(parts[[2L]], sub("^.*?:", "", info$series))
  expect_false(is.na(row), label = sprintf("%s: series %s", id, parts[[2L]]))
  field <- switch(parts[[3L]], first = "first_period", last = "last_period", parts[[3L]])
  expect_true(field %in% names(info), label = sprintf("%s: field %s", id, field))
  value <- info[[field]][[row]]
  got <- if (is.na(value)) "NA" else if (is.numeric(value)) sprintf("%.6g", value) else
    as.character(value)
  expect_identical(got, parts[[4L]], label = sprintf("%s: %s", id, paste(parts[-1L], collapse = " ")))
}

check_value <- function(x, check, id) {
  parts <- regmatches(check, regexec("^(.*)@([^=@]*)=(.*)$", check))[[1L]]
  expect_length(parts, 4L)
  parts[[4L]] <- unescape(parts[[4L]], "")
  if (is.data.frame(x)) return(check_info(x, parts, id))
  column <- parts[[2L]]
  values <- if (is.null(dim(x))) as.numeric(x) else {
    expect_true(column %in% colnames(x), label = sprintf("%s: column %s", id, column))
    as.numeric(unclass(zoo::coredata(x))[, column])
  }
  at <- match(parts[[3L]], period_labels(x))
  expect_false(is.na(at), label = sprintf("%s: period %s", id, parts[[3L]]))
  got <- if (is.na(values[at])) "NA" else sprintf("%.6g", values[at])
  expect_identical(got, parts[[4L]], label = sprintf("%s: %s", id, check))
}

run_host_case <- function(row, where) {
  id <- row$id
  field <- function(name) {
    value <- row[[name]]
    if (is.null(value) || !nzchar(value)) NULL else unescape(value, where$data_dir)
  }
  series <- if (row$call == "find" && !nzchar(row$series)) "" else
    strsplit(field("series"), " | ", fixed = TRUE)[[1L]]
  if (is.null(series) || any(vapply(series, is.null, logical(1)))) return(FALSE)
  if (row$call == "find" && is.null(field("words")) && nzchar(row$words)) return(FALSE)
  con <- host_connection(row, where)
  on.exit(kv_disconnect(con))
  warnings <- character()
  call <- function() {
    withCallingHandlers(switch(row$call,
      fetch = kv_get(con, series, start = field("start"), end = field("end"),
                     freq = field("freq"), math = field("math"), advanced = field("advanced"),
                     aggregate = field("aggregate")),
      range = kv_range(con, series, freq = if (is.null(field("freq"))) "lowest" else
                         field("freq"), start = field("start"), end = field("end")),
      info = kv_info(con, series),
      codes = kv_codes(con, series[[1L]]),
      find = kv_find(con, if (is.null(field("words"))) "" else field("words"),
                     databases = if (identical(series, "")) NULL else series,
                     freq = field("freq"))),
    warning = function(w) {
      warnings <<- c(warnings, conditionMessage(w))
      invokeRestart("muffleWarning")
    })
  }
  # Messages show control characters as \xHH, as the table writes them.
  expect <- gsub("{data}", where$data_dir, row$expect, fixed = TRUE)
  words <- strsplit(expect, " ", fixed = TRUE)[[1L]]
  if (words[[1L]] == "error") {
    condition <- condition_of(call())
    kind <- if (words[[2L]] == "failure") "kovrap_error" else paste0("kovrap_", words[[2L]], "_error")
    expect_s3_class(condition, kind)
    text <- unescape(sub("^error [a-z]+ ", "", expect), where$data_dir)
    expect_true(!is.null(condition) && grepl(text, conditionMessage(condition), fixed = TRUE),
                label = sprintf("%s: message '%s' holds '%s'", id,
                                if (is.null(condition)) "(none)" else conditionMessage(condition),
                                text))
    return(TRUE)
  }
  expect_identical(words[[1L]], "ok")
  result <- call()
  # The common range says what it set aside in its result.
  if (row$call == "range") warnings <- c(warnings, result$series$reason, result$notes)
  checks <- words[-(1:5)]
  if (row$call == "find") {
    expect_s3_class(result, "data.frame")
    expect_identical(nrow(result), as.integer(words[[5L]]), label = sprintf("%s: rows", id))
    ends <- if (nrow(result)) result$name[c(1L, nrow(result))] else c("-", "-")
    expect_identical(ends, words[3:4], label = sprintf("%s: first and last", id))
    for (check in checks) {
      parts <- regmatches(check, regexec("^([0-9]+)@([^=]*)=(.*)$", check))[[1L]]
      expect_length(parts, 4L)
      value <- result[[parts[[3L]]]][[as.integer(parts[[2L]])]]
      got <- if (is.na(value)) "-" else as.character(value)
      expect_identical(got, unescape(parts[[4L]], ""), label = sprintf("%s: %s", id, check))
    }
    return(TRUE)
  }
  if (row$call %in% c("info", "codes")) {
    n <- if (row$call == "info") nrow(result) else length(result)
    expect_identical(n, as.integer(words[[5L]]), label = sprintf("%s: rows", id))
  } else {
    r <- if (row$call == "range") result else suppressWarnings(
      kv_range(con, series, freq = if (is.null(field("freq"))) "lowest" else field("freq"),
               start = field("start"), end = field("end")))
    labels <- if (row$call == "range") c(result$start_period, result$end_period) else
      period_labels(result)[c(1L, NROW(result))]
    if (row$call == "range") {
      n <- result$observations
    } else {
      n <- NROW(result)
    }
    expect_identical(r$frequency, words[[2L]], label = sprintf("%s: frequency", id))
    expect_identical(labels, words[3:4], label = sprintf("%s: first and last", id))
    expect_identical(n, as.integer(words[[5L]]), label = sprintf("%s: rows", id))
  }
  for (check in checks) {
    if (startsWith(check, "note~")) {
      text <- unescape(substring(check, 6L), where$data_dir) # \x20: a blank inside one check
      expect_true(any(grepl(text, warnings, fixed = TRUE)),
                  label = sprintf("%s: a warning holds '%s'", id, text))
    } else if (startsWith(check, "note!~")) {
      text <- unescape(substring(check, 7L), where$data_dir)
      held <- warnings[grepl(text, warnings, fixed = TRUE)]
      expect_true(length(held) == 0L,
                  label = sprintf("%s: no warning holds '%s' (%s)", id, text,
                                  paste(held, collapse = "; ")))
    } else {
      check_value(result, check, id)
    }
  }
  TRUE
}

# One test per row, so that a failing row is named; every table is found by
# a glob, and one that cannot be read fails its own test. Without the tables
# the one test below skips (or fails where the library is required).
table_paths <- {
  root <- Sys.getenv("KOVRAP_SOURCE_DIR")
  cases <- file.path(root, "tests", "hosts", "cases.tsv")
  others <- setdiff(Sys.glob(file.path(root, "tests", "hosts", "*.tsv")), cases)
  if (nzchar(root) && file.exists(cases)) c(cases, sort(others))
}
if (is.null(table_paths) || !nzchar(Sys.getenv("KOVRAP_LIBRARY"))) {
  test_that("the shared tables of host cases are found", {
    library_or_skip()
    source_or_skip(file.path("tests", "hosts", "cases.tsv"))
  })
} else {
  for (path in table_paths) {
    rows <- tryCatch(read_host_table(path), error = identity)
    test_that(sprintf("the table %s reads", basename(path)), {
      expect_false(inherits(rows, "error"),
                   label = if (inherits(rows, "error")) conditionMessage(rows) else path)
    })
    if (inherits(rows, "error")) next
    for (row in rows) {
      test_that(sprintf("host case %s (%s)", row$id, basename(path)), {
        where <- library_or_skip()
        if (!run_host_case(row, where)) skip("an R string cannot hold a NUL")
      })
    }
  }
}

test_that("a table that cannot be read is an error, not a table without rows", {
  folder <- tempfile("kovrap-tables")
  dir.create(folder)
  on.exit(unlink(folder, recursive = TRUE))
  heading <- "id\thosts\tcall\tseries\texpect"
  cases <- list(
    "no heading" = list(lines = c("# only a comment"), error = "no heading"),
    "a column missing" = list(lines = c("id\thosts\tcall\tseries", "a\tall\tfetch\tECON:NILE"),
                              error = "lacks expect"),
    "a row too long" = list(lines = c(heading, "a\tall\tfetch\tECON:NILE\tok\textra"),
                            error = "more fields"),
    "an id twice" = list(lines = c(heading, "a\tall\tcodes\tECON\tok", "a\tr\tcodes\tECON\tok"),
                         error = "used twice")
  )
  for (name in names(cases)) {
    path <- file.path(folder, "t.tsv")
    writeLines(cases[[name]]$lines, path)
    expect_error(read_host_table(path), cases[[name]]$error, fixed = TRUE, label = name)
  }
  expect_error(read_host_table(file.path(folder, "absent.tsv")), "cannot read")
  # A readable table keeps the rows for R and for all, short rows filled.
  writeLines(c(heading, "a\tall\tcodes\tECON", "b\tpython\tcodes\tECON", "c\tkovra,r\tcodes\tECON\tok"),
             path)
  rows <- read_host_table(path)
  expect_identical(vapply(rows, `[[`, character(1), "id"), c("a", "c"))
  expect_identical(rows[[1L]]$expect, "")
})
