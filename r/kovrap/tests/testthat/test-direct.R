# The direct library keeps its log-in process-wide, so these run in order in
# one test: a failed log-in leaves it logged out.
test_that("the direct library reads after a log-in and refuses without one", {
  con <- direct_connection()

  failed <- condition_of(kv_login(con, demo_user, "wrong password"))
  expect_s3_class(failed, "kovrap_login_error")
  expect_identical(failed$status, 40L)
  expect_match(conditionMessage(failed), "log-in to the direct library failed for user 'demo'")

  # Before a log-in: a log-in error that says what to do, from a listing
  # and from a fetch alike.
  for (refused in list(condition_of(kv_codes(con, "ECON")),
                       condition_of(kv_get(con, "ECON:UKGAS")))) {
    expect_s3_class(refused, "kovrap_login_error")
    expect_match(conditionMessage(refused), "log in first with kv_login()", fixed = TRUE)
  }

  expect_identical(kv_login(con, demo_user, demo_password()), con)
  expect_identical(kv_codes(con, "MARKETS"), kv_codes(local_connection(), "MARKETS"))
  expect_identical(bare(kv_get(con, "ECON:UKGAS")), datasets::UKgas)
  both <- suppressWarnings(kv_get(con, c("ECON:AUSTRES", "MARKETS:DAX", "MARKETS:FTSEW"),
                                  start = 1991, end = 1993))
  local <- suppressWarnings(kv_get(local_connection(),
                                   c("ECON:AUSTRES", "MARKETS:DAX", "MARKETS:FTSEW"),
                                   start = 1991, end = 1993))
  expect_identical(both, local)
  expect_s3_class(condition_of(kv_get(con, "NOSUCH:X")), "kovrap_database_error")
})
