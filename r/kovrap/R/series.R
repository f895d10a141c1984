# Series named apart, as a vector: each element is a database and a code,
# for any database and code (a database name with a colon included). The
# vector is the "DATABASE:CODE" texts, so that it prints, pastes and
# compares as those, with the databases kept beside them in the attribute
# "database": a code is what follows its database and the colon.
new_series <- function(database, code, names = NULL) {
  out <- if (length(database)) paste0(database, ":", code) else character()
  names(out) <- names
  structure(out, database = database, class = "kovrap_series")
}

# The databases and codes of a series vector.
series_parts <- function(x) {
  database <- attr(x, "database")
  list(database = database,
       code = substring(as.character(x), nchar(database, type = "chars") + 2L))
}

# Names of either argument name the series: those of the codes, else those
# of the databases when there is one database per series.
kv_series <- function(database, code) {
  if (!is.character(database) || !is.character(code) || anyNA(database) || anyNA(code) ||
      length(database) == 0L || length(code) == 0L) {
    kv_abort("'database' and 'code' must be character vectors without NA", "argument")
  }
  n <- max(length(database), length(code))
  if (n %% length(database) != 0L || n %% length(code) != 0L) {
    kv_abort("'database' and 'code' differ in length", "argument")
  }
  labels <- names(code)
  if (is.null(labels) && length(database) == n) labels <- names(database)
  new_series(rep_len(unname(database), n), rep_len(unname(code), n), labels)
}

# Series of a series vector or of "DATABASE:CODE" texts, split by the rule
# of all hosts (split_names).
as_series <- function(x) {
  if (inherits(x, "kovrap_series")) return(x)
  if (!is.character(x) || anyNA(x)) {
    kv_abort("series combine with series and \"DATABASE:CODE\" texts only", "argument")
  }
  parts <- split_names(unname(x))
  new_series(parts$database, parts$code, names(x))
}

# The positions of x that i selects, named as x is.
series_at <- function(x, i) {
  at <- seq_along(unclass(x))
  names(at) <- names(x)
  at[i]
}

`[.kovrap_series` <- function(x, i) {
  if (missing(i)) return(x)
  at <- series_at(x, i)
  if (anyNA(at)) kv_abort("no such series in the vector", "argument")
  parts <- series_parts(x)
  new_series(parts$database[at], parts$code[at], names(at))
}

`[[.kovrap_series` <- function(x, i) {
  at <- series_at(x, seq_along(unclass(x)))[[i]]
  parts <- series_parts(x)
  new_series(parts$database[[at]], parts$code[[at]])
}

`[<-.kovrap_series` <- function(x, i, value) {
  value <- series_parts(as_series(value))
  parts <- series_parts(x)
  database <- parts$database
  code <- parts$code
  database[i] <- value$database
  code[i] <- value$code
  # An index past the end would leave gaps of no series.
  if (anyNA(database)) kv_abort("no such series in the vector", "argument")
  labels <- names(x)
  if (!is.null(labels)) labels <- c(labels, rep("", length(database) - length(labels)))
  new_series(database, code, labels)
}

c.kovrap_series <- function(...) {
  parts <- lapply(list(...), as_series)
  # base c() names the result from the arguments' names and their own.
  texts <- do.call(c, lapply(parts, function(p) {
    v <- as.character(p)
    names(v) <- names(p)
    v
  }))
  database <- unlist(lapply(parts, attr, "database"), use.names = FALSE)
  code <- unlist(lapply(parts, function(p) series_parts(p)$code), use.names = FALSE)
  new_series(database, code, names(texts))
}

rep.kovrap_series <- function(x, ...) x[rep(seq_along(unclass(x)), ...)]

unique.kovrap_series <- function(x, incomparables = FALSE, ...) {
  parts <- series_parts(x)
  x[!duplicated(data.frame(parts, stringsAsFactors = FALSE))]
}

as.character.kovrap_series <- function(x, ...) {
  out <- unclass(x)
  attributes(out) <- NULL
  out
}

format.kovrap_series <- function(x, ...) {
  out <- as.character(x)
  names(out) <- names(x)
  out
}

print.kovrap_series <- function(x, ...) {
  cat(sprintf("<kovrap series[%d]>\n", length(x)))
  if (length(x)) print(format(x), quote = FALSE)
  invisible(x)
}
