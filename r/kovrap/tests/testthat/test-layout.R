# The package declares the library's records itself; their layout must be
# the library's: an int first (padded to a pointer), then pointers.
test_that("host records have the library's sizes and offsets", {
  p <- .Machine$sizeof.pointer
  layout <- .Call(kovrap:::C_kv_c_layout)
  expected <- c(
    "InfoStatusLists" = 9 * p, "InfoStatusLists.statusCounts" = p,
    "InfoStatusLists.statusList6" = 8 * p, "SeriesInfoColumns" = 17 * p,
    "SeriesInfoColumns.frequency" = 4 * p, "SeriesInfoColumns.text7" = 16 * p,
    "CommonRange" = 5 * p, "CommonRange.frequency" = p,
    "CommonRange.observationCount" = 4 * p, "RangeExclusions" = 5 * p,
    "RangeExclusions.exclusionCounts" = p, "TransformArrays" = 8 * p,
    "TransformArrays.countStatus" = 7 * p, "AdvancedWindows" = 2 * p
  )
  expect_identical(layout, setNames(as.integer(expected), names(expected)))
  if (p == 8) {
    # The documented x64 figures.
    expect_identical(unname(layout[c("InfoStatusLists", "SeriesInfoColumns", "TransformArrays",
                                     "TransformArrays.countStatus")]),
                     c(72L, 136L, 64L, 56L))
  }
})
