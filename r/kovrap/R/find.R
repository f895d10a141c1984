# Finding series by their words: across databases, one listing and one
# information query per database.

# Letters A to Z match in either case, every other character as written, as
# in every host: the texts' encoding is the database's.
fold_ascii <- function(x) chartr("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz", x)

find_words <- function(words) {
  if (!is.character(words) || length(words) == 0L || anyNA(words)) {
    kv_abort("'words' must be a character vector of words", "argument")
  }
  control <- has_control(words)
  if (any(control)) {
    kv_abort(sprintf("'%s' holds a control character", shown(words[control][[1L]])), "argument")
  }
  split <- unlist(strsplit(words, " ", fixed = TRUE))
  split <- split[nzchar(split)]
  if (length(split) == 0L) kv_abort("find takes at least one word", "argument")
  fold_ascii(split)
}

# Without databases: every database file (*.tqvdb) of the data folder, or of
# the working folder. The direct library cannot list its databases.
find_databases <- function(con, databases) {
  if (!is.null(databases)) {
    if (!is.character(databases) || length(databases) == 0L || anyNA(databases) ||
        !all(nzchar(databases))) {
      kv_abort("'databases' must be a character vector of database names", "argument")
    }
    control <- has_control(databases)
    if (any(control)) {
      kv_abort(sprintf("'%s' holds a control character", shown(databases[control][[1L]])),
               "argument")
    }
    return(databases)
  }
  if (con$direct) {
    kv_abort("the direct library cannot list its databases: name them with 'databases'",
             "argument")
  }
  folder <- if (is.null(con$data_dir)) getwd() else con$data_dir
  found <- folder_databases(con, folder)
  if (is.null(found)) {
    kv_abort("this library's databases are not known to be files: name them with 'databases'",
             "argument")
  }
  if (length(found) == 0L) {
    kv_abort(sprintf("no database file (*.tqvdb) in %s: name the databases with 'databases'",
                     folder), "argument")
  }
  found
}

kv_find <- function(con, words, databases = NULL, freq = NULL) {
  check_connection(con)
  words <- find_words(words)
  databases <- find_databases(con, databases)
  keep <- NULL
  if (!is.null(freq)) {
    if (is.character(freq) && length(freq) == 1L && identical(fold_ascii(freq), "weekly")) {
      keep <- weekday_frequencies
    } else {
      keep <- parse_frequency(con, freq)
      if (keep == kv_frequencies[["lowest"]]) {
        kv_abort("find keeps one frequency, and 'lowest' names none", "argument")
      }
    }
  }
  found <- list()
  for (position in seq_along(databases)) {
    database <- databases[[position]]
    codes <- list_codes(con, database_path(con, database), database)
    if (length(codes) == 0L) next
    refs <- parse_series(con, kv_series(database, codes))
    info <- query_series(con, refs)$info
    chosen <- info$status == "ok"
    if (!is.null(keep)) chosen <- chosen & info$frequency_code %in% keep
    fields <- lapply(c(list(codes), info[paste0("text", 1:5)]), function(x) fold_ascii(x))
    in_code <- rep(FALSE, length(codes))
    for (word in words) {
      here <- grepl(word, fields[[1L]], fixed = TRUE, useBytes = TRUE)
      in_code <- in_code | here
      for (field in fields[-1L]) here <- here | grepl(word, field, fixed = TRUE, useBytes = TRUE)
      chosen <- chosen & here
    }
    rows <- which(chosen)
    if (length(rows) == 0L) next
    shown_info <- info_frame(con, info[rows, , drop = FALSE])
    found[[length(found) + 1L]] <- data.frame(
      rank = ifelse(in_code[rows], 0L, 1L), position = position,
      name = refs$name[rows], code = codes[rows], frequency = shown_info$frequency,
      first = shown_info$first_period, last = shown_info$last_period,
      periods = shown_info$periods, shown_info[paste0("text", 1:5)],
      stringsAsFactors = FALSE)
  }
  columns <- c("name", "code", "frequency", "first", "last", "periods", paste0("text", 1:5))
  if (length(found) == 0L) {
    empty <- data.frame(name = character(), code = character(), frequency = character(),
                        first = character(), last = character(), periods = integer(),
                        stringsAsFactors = FALSE)
    for (t in paste0("text", 1:5)) empty[[t]] <- character()
    return(empty)
  }
  out <- do.call(rbind, found)
  # Code matches first, then by code (bytes, as every host orders them),
  # then by the order of the databases.
  out <- out[order(out$rank, out$code, out$position, method = "radix"), , drop = FALSE]
  out <- out[columns]
  rownames(out) <- NULL
  out
}
