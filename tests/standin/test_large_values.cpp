// The stand-ins' means and totals near the largest double: whatever the
// magnitudes, a moving average, a seasonal adjustment or an aggregation that
// has a finite answer gives it, and the moving average stays linear.
#include "../../standin/engine/compute.h"
#include "standin_fixture.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <vector>

namespace {

using kovrap_test::StandinTest;

constexpr double M = 1e9; // missing
constexpr double B = 1e308;

void expectRow(const std::vector<double> &expected, const std::vector<double> &actual) {
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == M)
            EXPECT_EQ(M, actual[i]) << "slot " << i;
        else
            EXPECT_NEAR(expected[i], actual[i], 1e-14 * std::fabs(expected[i]) + 1e-300)
                << "slot " << i;
    }
}

TEST(LargeValues, MovingAverageFindsEveryFiniteMean) {
    const struct {
        int span;
        std::vector<double> input;
        std::vector<double> expected;
    } cases[] = {
        {3, {B, B, B, B, B}, {M, M, B, B, B}},
        {3, {-B, -B, -B, -B}, {M, M, -B, -B}},
        {2, {DBL_MAX, DBL_MAX, DBL_MAX}, {M, DBL_MAX, DBL_MAX}},
        // The plain partial sum overflows, the window's total does not.
        {3, {B, B, -B, 6, 3}, {M, M, B / 3, 2, (-B + 9) / 3}},
        // Small values beside large ones come through once the large ones
        // have left the window.
        {2, {B, 1, B, -B, -B, 2, 3, 4}, {M, B / 2, B / 2, 0, -B, -B / 2, 2.5, 3.5}},
        {4, {B, B, B, B, 1, 2, 3, 4, M, 1}, {M, M, M, B, 0.75 * B, B / 2, B / 4, 2.5, M, M}},
    };
    for (const auto &c : cases) {
        std::vector<double> row = c.input;
        const TQVAdvancedOperation operation{1, 0, c.span, 0};
        ASSERT_EQ(0, tqvs::applyAdvanced(operation, 200001, 200001, 40, row.data(),
                                         static_cast<int>(row.size())));
        SCOPED_TRACE(c.span);
        expectRow(c.expected, row);
    }
}

// The guard of the moving average's cost: the same row length and span with
// values near the largest double and with ordinary ones, side by side in one
// run, counted in values read rather than timed.
TEST(LargeValues, MovingAverageReadsAsManyValuesWhateverTheMagnitude) {
    const std::size_t n = 40000;
    const std::size_t span = 10000;
    std::vector<double> out(n);
    const std::vector<double> ordinary(n, 1.5);
    const std::vector<double> huge(n, B);
    const std::size_t base = tqvs::movingAverage(ordinary.data(), out.data(), n, span);
    EXPECT_DOUBLE_EQ(1.5, out[n - 1]);
    const std::size_t large = tqvs::movingAverage(huge.data(), out.data(), n, span);
    EXPECT_DOUBLE_EQ(B, out[n - 1]);
    EXPECT_LE(base, 4 * n);
    EXPECT_LE(large, base) << "values read: " << large << " against " << base;
}

TEST(LargeValues, SeasonalAdjustmentOfValuesNearTheLargestDouble) {
    // Quarterly factors of mean 1: the adjusted series is flat at the level.
    const double factor[4] = {0.6, 1.0, 1.4, 1.0};
    for (const double level : {B, 1.2e308}) {
        std::vector<double> row;
        for (int t = 0; t < 12; ++t)
            row.push_back(level * factor[t % 4]);
        const TQVAdvancedOperation operation{1792, 0, 0, 0};
        ASSERT_EQ(0, tqvs::applyAdvanced(operation, 20001, 20024, 30, row.data(), 12)) << level;
        expectRow(std::vector<double>(12, level), row);
    }
}

// Monthly values aggregated to quarters, by mean and by sum.
class LargeAggregation : public StandinTest {
  protected:
    std::vector<double> quarters(const std::vector<double> &months, int mode) {
        addSeries("big", "MON", 40, 200001, months);
        EXPECT_EQ(0, TQVOpenDatabase("big"));
        EXPECT_EQ(0, TQVSetAggregationMode(mode));
        std::vector<double> row(8, -3);
        int count = 8;
        EXPECT_EQ(0, TQVGetDataCount("big", "MON", 20001, 20004, 30, row.data(), &count));
        row.resize(static_cast<std::size_t>(count));
        return row;
    }
};

TEST_F(LargeAggregation, MeansAndSumsThatAreFiniteAreFound) {
    const std::vector<double> months = {B, B, B, -B, -B, -B, B, B, -B, B, -B, 6};
    // Means: 1e308, -1e308, 1e308 / 3, 2.
    expectRow({B, -B, B / 3, 2}, quarters(months, 0));
    tqvs_reset();
    // Sums: beyond the doubles where they are, else the finite total.
    const std::vector<double> sums = quarters(months, 1);
    ASSERT_EQ(4u, sums.size());
    EXPECT_EQ(INFINITY, sums[0]);
    EXPECT_EQ(-INFINITY, sums[1]);
    expectRow({B, 6}, {sums[2], sums[3]});
}

} // namespace
