# kv_find beyond the shared table (tests/hosts/find.tsv): the order of matches
# across databases, what is searched and what is not, letters outside A to Z;
# and statuses said by number alone when the library is not the stand-in.

find_block <- function(code, frequency = "40", range = "200001 200003", texts = character()) {
  c(paste("series", code), paste("frequency", frequency), paste("range", range),
    "attributes 1 2 0 0 0 1",
    if (length(texts)) sprintf("text%d %s", seq_along(texts), texts),
    "values", "1 2 3", "end")
}

test_that("code matches come first, then by code, then in the order of the databases", {
  where <- library_or_skip()
  folder <- tempfile("find")
  dir.create(folder)
  on.exit(unlink(folder, recursive = TRUE), add = TRUE)
  writeLines(c("TQVDB 1", "database ONE",
               find_block("T1", texts = c("", "gasworks")),
               find_block("GASX", texts = "unit"),
               # Text 6 is not searched.
               find_block("T6", texts = c("", "", "", "", "", "gas"))),
             file.path(folder, "ONE.tqvdb"))
  writeLines(c("TQVDB 1", "database TWO", find_block("GASX", "10", "2000 2002")),
             file.path(folder, "TWO.tqvdb"))
  writeLines(c("TQVDB 1", "database EMPTY"), file.path(folder, "EMPTY.tqvdb"))
  con <- kv_connect(where$library, data_dir = folder)
  on.exit(kv_disconnect(con), add = TRUE)
  found <- kv_find(con, "gas", databases = c("TWO", "ONE", "EMPTY"))
  expect_identical(found$name, c("TWO:GASX", "ONE:GASX", "ONE:T1"))
  expect_identical(names(found), c("name", "code", "frequency", "first", "last", "periods",
                                   paste0("text", 1:5)))
  expect_identical(found$frequency, c("annual", "monthly", "monthly"))
  expect_identical(found$first, c("2000", "2000-01", "2000-01"))
  expect_identical(found$periods, c(3L, 3L, 3L))
  # Without databases: every database file of the data folder.
  expect_identical(kv_find(con, "GAS")$name, c("ONE:GASX", "TWO:GASX", "ONE:T1"))
  expect_identical(nrow(kv_find(con, "gas nothing")), 0L)
})

test_that("letters outside A to Z match only as written", {
  where <- library_or_skip()
  con <- kv_connect(where$library, data_dir = where$data_dir, encoding = "latin1")
  on.exit(kv_disconnect(con))
  # ODD:latin's text 2 is Zürich, in Latin-1.
  expect_identical(nrow(kv_find(con, "z\u00dcrich", databases = "ODD")), 0L)
  expect_identical(kv_find(con, "z\u00fcrICH", databases = "ODD")$text2, "Z\u00fcrich")
})

test_that("bad arguments are argument errors", {
  con <- local_connection()
  on.exit(kv_disconnect(con))
  for (words in list(character(), NA_character_, 5)) {
    expect_s3_class(condition_of(kv_find(con, words)), "kovrap_argument_error")
  }
  for (databases in list(character(), "", NA_character_)) {
    expect_s3_class(condition_of(kv_find(con, "gas", databases = databases)),
                    "kovrap_argument_error")
  }
})

test_that("another library's statuses are said by number, Kovrap's own in words", {
  expect_true(is_standin_version("tqvapi64 standin 1", FALSE))
  expect_true(is_standin_version("tqvdapi64 standin 1", TRUE))
  expect_false(is_standin_version("tqvapi64 standin 1", TRUE))
  expect_false(is_standin_version("tqvapi64 7.2", FALSE))
  con <- local_connection()
  on.exit(kv_disconnect(con))
  expect_true(is_standin(con))
  # As if the version text had named another library.
  con$state$standin <- FALSE
  expect_warning(kv_get(con, "ECON:NILE", start = "1871", end = "1872", advanced = "seasonal"),
                 "seasonal failed for ECON:NILE: status 21 from the database library",
                 fixed = TRUE)
  junk <- condition_of(kv_codes(con, "bad/JUNK"))
  expect_s3_class(junk, "kovrap_lookup_error")
  expect_match(conditionMessage(junk), "': status 11 from the database library", fixed = TRUE)
  expect_warning(kv_get(con, "ECON:UKGAS", start = "1980", end = "1981", advanced = "seasonal"),
                 "seasonal failed for ECON:UKGAS: too few periods in the window (status 834)",
                 fixed = TRUE)
})

test_that("the stand-in's particulars are used only when the stand-in is loaded", {
  local <- local_connection()
  direct <- direct_connection()
  on.exit({
    kv_disconnect(local)
    kv_disconnect(direct)
  })
  # Each case: the call, what the stand-in says, and what is said when the
  # version text names another library.
  cases <- list(
    list(name = "a database with no file", call = function(con) kv_codes(local, "NOSUCH"),
         con = local, standin = "no regular file that can be read at",
         other = "cannot open database 'NOSUCH': status 10 from the database library"),
    list(name = "the databases of the data folder", call = function(con) kv_find(local, "gas"),
         con = local, standin = NA, other = "not known to be files"),
    list(name = "a wrong password", con = direct,
         call = function(con) kv_login(direct, demo_user, "not the password"),
         standin = "(status 40: wrong user or password)",
         other = "failed for user 'demo' (status 40)")
  )
  for (case in cases) {
    case$con$state$standin <- NULL
    said <- condition_of(case$call())
    if (is.na(case$standin)) {
      expect_null(said, label = case$name)
    } else {
      expect_match(conditionMessage(said), case$standin, fixed = TRUE, label = case$name)
    }
    case$con$state$standin <- FALSE
    said <- condition_of(case$call())
    expect_s3_class(said, "kovrap_error")
    expect_true(endsWith(conditionMessage(said), case$other) ||
                  grepl(case$other, conditionMessage(said), fixed = TRUE),
                label = sprintf("%s: '%s' holds '%s'", case$name, conditionMessage(said),
                                case$other))
    expect_false(grepl("no regular file|wrong user", conditionMessage(said)), label = case$name)
  }
  # The direct stand-in's folder is handed over as TQVD_DATA_DIR only to the
  # stand-in: another library's fetch runs in the environment as it was.
  seen <- new.env()
  direct$state$standin <- NULL
  kovrap:::with_data_dir(direct, seen$standin <- Sys.getenv("TQVD_DATA_DIR", unset = NA))
  direct$state$standin <- FALSE
  kovrap:::with_data_dir(direct, seen$other <- Sys.getenv("TQVD_DATA_DIR", unset = NA))
  expect_identical(seen$standin, direct$data_dir)
  expect_identical(seen$other, Sys.getenv("TQVD_DATA_DIR", unset = NA))
})
