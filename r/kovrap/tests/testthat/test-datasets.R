# Every sample series against the R object its CSV file was taken from.
datasets_table <- data.frame(
  code = c("UKGAS", "JNJ", "AUSTRES", "PRES", "USACC", "UKDRIVER", "LDEATHS", "MDEATHS",
           "FDEATHS", "CO2", "NOTTEM", "NILE", "HURON", "AIRMILES", "LYNX", "SUNSPOT"),
  object = c("UKgas", "JohnsonJohnson", "austres", "presidents", "USAccDeaths",
             "UKDriverDeaths", "ldeaths", "mdeaths", "fdeaths", "co2", "nottem", "Nile",
             "LakeHuron", "airmiles", "lynx", "sunspot.year"),
  stringsAsFactors = FALSE
)

test_that("annual, quarterly and monthly series equal their datasets objects", {
  con <- local_connection()
  for (i in seq_len(nrow(datasets_table))) {
    code <- datasets_table$code[[i]]
    source <- getExportedValue("datasets", datasets_table$object[[i]])
    got <- kv_get(con, paste0("ECON:", code))
    expect_s3_class(got, "ts")
    expect_null(dim(got))
    expect_identical(as.numeric(got), as.numeric(source), label = code)
    expect_identical(frequency(got), frequency(source), label = code)
    expect_identical(start(got), start(source), label = code)
    expect_identical(end(got), end(source), label = code)
    # datasets keeps the monthly end times rounded, so tsp agrees within R's
    # own tolerance for time series; the others are identical outright.
    if (frequency(source) == 12) {
      expect_equal(tsp(got), tsp(source), tolerance = getOption("ts.eps"), label = code)
    } else {
      expect_identical(bare(got), source, label = code)
    }
  }
})

test_that("UKGAS is identical to datasets::UKgas", {
  con <- local_connection()
  expect_true(identical(bare(kv_get(con, "ECON:UKGAS")), datasets::UKgas))
})

test_that("Longley's columns come back as annual series", {
  con <- local_connection()
  columns <- c(GNPDEFL = "GNP.deflator", GNP = "GNP", UNEMPL = "Unemployed",
               ARMED = "Armed.Forces", POPUL = "Population", EMPLOYED = "Employed")
  got <- kv_get(con, paste0("ECON:", names(columns)))
  expect_s3_class(got, "mts")
  expect_identical(colnames(got), names(columns))
  expect_identical(tsp(got), c(1947, 1962, 1))
  expect_identical(unname(unclass(got)[, names(columns)]),
                   unname(as.matrix(datasets::longley[, columns])))
})

test_that("several series of one frequency form an mts", {
  con <- local_connection()
  got <- kv_get(con, c("ECON:MDEATHS", "ECON:FDEATHS", "ECON:LDEATHS"))
  expect_s3_class(got, "mts")
  expect_identical(colnames(got), c("MDEATHS", "FDEATHS", "LDEATHS"))
  expect_identical(start(got), c(1974, 1))
  expect_identical(frequency(got), 12)
  expect_identical(as.numeric(got[, "MDEATHS"]), as.numeric(datasets::mdeaths))
  expect_identical(as.numeric(got[, "LDEATHS"]), as.numeric(datasets::ldeaths))
})

test_that("missing observations come back as NA", {
  con <- local_connection()
  got <- kv_get(con, "ECON:PRES")
  expect_identical(sum(is.na(got)), 6L)
  expect_identical(which(is.na(got)), which(is.na(datasets::presidents)))
})
