library(testthat)
library(kovrap)

results <- test_check("kovrap")

# Where the library is required (scripts/test-r.sh sets KOVRAP_REQUIRE_LIBRARY),
# a skipped test is a failure: a run that skipped everything must not pass.
if (nzchar(Sys.getenv("KOVRAP_REQUIRE_LIBRARY"))) {
  skipped <- sum(as.data.frame(results)$skipped)
  if (skipped > 0) stop(sprintf("%d test(s) skipped although the library is required", skipped))
}
