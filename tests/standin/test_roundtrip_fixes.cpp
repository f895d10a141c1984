// The seasonal adjustment of the stand-ins reads its own window from the
// series the library fetched last: Kovrap hands it a zero-filled scratch row
// over a window that may differ from the fetched one.
#include "case_names.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>

#include <ostream>
#include <string>
#include <vector>

using kovrap_test::kMissingValue;
using kovrap_test::StandinTest;
using ::testing::DoubleNear;
using ::testing::Each;
using ::testing::Pointwise;

namespace {

constexpr double M = kMissingValue;
const TQVAdvancedOperation kSeasonal = {1792, 0, 0, 0};

// Twelve monthly factors of mean 1.
const std::vector<double> kFactors = {0.8, 0.85, 0.9, 0.95, 1.0,  1.05,
                                      1.1, 1.15, 1.2, 1.05, 0.95, 1.0};

std::vector<double> seasonal(double level, int months) {
    std::vector<double> values;
    for (int i = 0; i < months; ++i)
        values.push_back(level * kFactors[static_cast<std::size_t>(i) % kFactors.size()]);
    return values;
}

std::vector<double> repeated(double value, int n) {
    return std::vector<double>(static_cast<std::size_t>(n), value);
}

class SeasonalCountTest : public StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        ASSERT_EQ(0, tqvs_add_database("econ"));
        // 2000 to 2003, at two levels.
        addSeries("econ", "HIGH", 40, 200001, seasonal(500, 48));
        addSeries("econ", "LOW", 40, 200001, seasonal(80, 48));
        tqvs_set_logged_in(1);
        ASSERT_EQ(0, TQVOpenDatabase("econ"));
        ASSERT_EQ(0, TQVDOpenDatabase("econ"));
    }

    // Fetches one year of a series, as Kovrap does before a count.
    static int fetchLocal(const char *code) {
        std::vector<double> row(12);
        int count = 12;
        return TQVGetDataCount("econ", code, 200101, 200112, 40, row.data(), &count);
    }

    // The count over a window of its own, on a zero-filled row of n values.
    static int count(int direct, int start, int end, int frequency, std::vector<double> &row) {
        int n = static_cast<int>(row.size());
        const int status =
            direct != 0 ? TQVDApplyAdvancedCount(&kSeasonal, start, end, frequency, row.data(), &n)
                        : TQVApplyAdvancedCount(&kSeasonal, start, end, frequency, row.data(), &n);
        EXPECT_EQ(static_cast<int>(row.size()), n); // the count cell is left as it was
        return status;
    }
};

TEST_F(SeasonalCountTest, ReadsItsWindowFromTheSeriesFetchedLast) {
    ASSERT_EQ(0, fetchLocal("LOW"));
    ASSERT_EQ(0, fetchLocal("HIGH"));
    std::vector<double> row(48, 0.0);
    EXPECT_EQ(0, count(0, 200001, 200312, 40, row));
    EXPECT_THAT(row, Pointwise(DoubleNear(1e-9), repeated(500, 48)));

    // A window reaching a year before the series: those months are missing.
    std::vector<double> wider(60, 0.0);
    EXPECT_EQ(0, count(0, 199901, 200312, 40, wider));
    std::vector<double> expected = repeated(M, 12);
    const std::vector<double> level = repeated(500, 48);
    expected.insert(expected.end(), level.begin(), level.end());
    EXPECT_THAT(wider, Pointwise(DoubleNear(1e-9), expected));
}

TEST_F(SeasonalCountTest, DirectLibraryReadsItsOwnFetchedSeries) {
    std::vector<double> fetched(12);
    int n = 12;
    ASSERT_EQ(0, TQVDGetDataCount("econ", "HIGH,LOW", 200101, 200112, 40, fetched.data(), &n));
    ASSERT_EQ(0, TQVDGetDataCount("econ", nullptr, 200101, 200112, 40, fetched.data(), &n));
    std::vector<double> row(36, 0.0);
    EXPECT_EQ(0, count(1, 200101, 200312, 40, row));
    EXPECT_THAT(row, Pointwise(DoubleNear(1e-9), repeated(80, 36)));

    // The local library has fetched nothing: it adjusts the zeros it was
    // given, which have no seasonal factors.
    std::vector<double> zeros(36, 0.0);
    EXPECT_EQ(TQVS_TOO_SHORT, count(0, 200101, 200312, 40, zeros));
    EXPECT_THAT(zeros, Each(0.0));
}

TEST_F(SeasonalCountTest, ReadsAtTheLibrarysAggregationMode) {
    // Quarterly sums of the monthly pattern: three times the quarterly
    // average, and again a pure seasonal pattern.
    ASSERT_EQ(0, fetchLocal("HIGH"));
    ASSERT_EQ(0, TQVSetAggregationMode(1));
    std::vector<double> row(16, 0.0);
    EXPECT_EQ(0, count(0, 20001, 20034, 30, row));
    EXPECT_THAT(row, Pointwise(DoubleNear(1e-9), repeated(1500, 16)));
}

// Whatever leaves the library without a fetched series brings back the
// adjustment of the values given.
struct ForgetCase {
    const char *name;
    void (*forget)();
};

// Failures name the case rather than dump its bytes.
void PrintTo(const ForgetCase &c, std::ostream *os) {
    *os << c.name;
}

const ForgetCase kForgetCases[] = {
    {"Close", [] { TQVCloseDatabase(); }},
    {"FailedFetch",
     [] {
         std::vector<double> row(12);
         int n = 12;
         TQVGetDataCount("econ", "ABSENT", 200101, 200112, 40, row.data(), &n);
     }},
    {"ScriptedFetch",
     [] {
         const double values[] = {1, 2};
         tqvs_script_values("TQVGetDataCount", values, 2);
         std::vector<double> row(12);
         int n = 12;
         TQVGetDataCount("econ", "LOW", 200101, 200112, 40, row.data(), &n);
     }},
    {"Reset", [] { tqvs_reset(); }},
};

class SeasonalCountForgets : public SeasonalCountTest,
                             public ::testing::WithParamInterface<ForgetCase> {};

TEST_P(SeasonalCountForgets, TheFetchedSeries) {
    ASSERT_EQ(0, fetchLocal("HIGH"));
    GetParam().forget();
    std::vector<double> zeros(36, 0.0);
    EXPECT_EQ(TQVS_TOO_SHORT, count(0, 200101, 200312, 40, zeros));
    EXPECT_THAT(zeros, Each(0.0));
    std::vector<double> given = seasonal(30, 36);
    EXPECT_EQ(0, count(0, 200101, 200312, 40, given));
    EXPECT_THAT(given, Pointwise(DoubleNear(1e-9), repeated(30, 36)));
}

INSTANTIATE_TEST_SUITE_P(Cases, SeasonalCountForgets, ::testing::ValuesIn(kForgetCases),
                         kovrap_test::caseName<ForgetCase>);

TEST_F(SeasonalCountTest, FailedReadLeavesTheRow) {
    ASSERT_EQ(0, tqvs_add_series("econ", "GAS", 30, 20001, 20044, nullptr, 20));
    std::vector<double> quarter(4);
    int n = 4;
    ASSERT_EQ(0, TQVGetDataCount("econ", "GAS", 20001, 20004, 30, quarter.data(), &n));
    struct Failure {
        int start, end, frequency, rowLength, status;
    };
    const Failure failures[] = {
        {200001, 200312, 40, 48, TQVS_HIGHER_FREQUENCY}, // monthly from a quarterly series
        {20001, 20044, 30, 19, TQVS_SHORT_BUFFER},       // 20 quarters into 19 values
        {20001, 20044, 21, 20, TQVS_BAD_FREQUENCY},
        {2000, 2004, 10, 5, TQVS_BAD_FREQUENCY}, // annual data is not adjusted
    };
    for (const Failure &f : failures) {
        SCOPED_TRACE(f.status);
        std::vector<double> row(static_cast<std::size_t>(f.rowLength), -3.0);
        EXPECT_EQ(f.status, count(0, f.start, f.end, f.frequency, row));
        EXPECT_THAT(row, Each(-3.0));
    }
}

TEST_F(SeasonalCountTest, OtherAdvancedCountsWorkOnTheValuesGiven) {
    ASSERT_EQ(0, fetchLocal("HIGH"));
    std::vector<double> row = {2, 4, 6};
    int n = 3;
    const TQVAdvancedOperation average = {1, 0, 2, 0};
    EXPECT_EQ(0, TQVApplyAdvancedCount(&average, 200101, 200103, 40, row.data(), &n));
    EXPECT_THAT(row, Pointwise(DoubleNear(1e-12), {M, 3.0, 5.0}));
}

} // namespace
