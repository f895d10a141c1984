// Math and advanced counts of the stand-ins, on short rows with hand-worked
// results and on synthetic seasonal series whose adjustment is known.
#include "../../standin/engine/compute.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr double M = 1e9; // missing

// Element-wise comparison where missing must match missing exactly and
// numbers agree to a relative tolerance.
void expectRow(const std::vector<double> &expected, const std::vector<double> &actual,
               double tolerance = 1e-12) {
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == M) {
            EXPECT_EQ(M, actual[i]) << "slot " << i;
        } else {
            EXPECT_NE(M, actual[i]) << "slot " << i;
            EXPECT_NEAR(expected[i], actual[i], tolerance * (1 + std::fabs(expected[i])))
                << "slot " << i;
        }
    }
}

int math(int op, int frequency, std::vector<double> &row) {
    return tqvs::applyMath(op, 0, 0, frequency, row.data(), static_cast<int>(row.size()));
}

int advanced(int op, int second, int frequency, std::vector<double> &row, int start = 0) {
    const TQVAdvancedOperation request{op, 0, second, 0};
    return tqvs::applyAdvanced(request, start, 0, frequency, row.data(),
                               static_cast<int>(row.size()));
}

// ---- math operations ------------------------------------------------------

struct MathCase {
    const char *name;
    int op;
    int frequency;
    std::vector<double> input;
    std::vector<double> expected;
};

// Failures name the case rather than dump its bytes.
void PrintTo(const MathCase &c, std::ostream *os) {
    *os << c.name;
}

// Worked by hand; a missing input or predecessor gives a missing result.
const MathCase kMathCases[] = {
    {"level", 0, 40, {100, 110, M, -3}, {100, 110, M, -3}},
    {"difference", -1, 40, {100, 110, 99, M, 120, 0, 50}, {M, 10, -11, M, M, -120, 50}},
    {"percent_change", -2, 40, {100, 110, 99, M, 120, 0, 50}, {M, 10, -10, M, M, -100, M}},
    {"percent_change_negative_base", -2, 10, {-50, -25}, {M, -50}},
    // 1.02^4 = 1.08243216; a fall to 0 compounds to -100 %; after 0 nothing.
    {"annualised_quarterly", -3, 30, {100, 102, M, 104, 0, 10}, {M, 8.243216, M, M, -100, M}},
    // 1.1^12 = 3.138428376721
    {"annualised_monthly", -3, 40, {10, 11}, {M, 213.8428376721}},
    {"annualised_annual_is_percent_change", -3, 10, {80, 100, 90}, {M, 25, -10}},
    {"annualised_sign_change", -3, 40, {10, -10}, {M, M}},
    {"year_on_year_quarterly",
     -4,
     30,
     {100, 200, 50, 80, 110, 180, M, 100, 0},
     {M, M, M, M, 10, -10, M, 25, -100}},
    {"year_on_year_annual", -4, 10, {50, 60, 30}, {M, 20, -50}},
    {"year_on_year_shorter_than_a_year", -4, 40, {1, 2, 3}, {M, M, M}},
    {"log_non_positive_is_missing", -5, 40, {1, 0, -1, M}, {0, M, M, M}},
};

class MathTable : public ::testing::TestWithParam<MathCase> {};

TEST_P(MathTable, GivesHandWorkedValues) {
    const MathCase &c = GetParam();
    std::vector<double> row = c.input;
    ASSERT_EQ(0, math(c.op, c.frequency, row));
    expectRow(c.expected, row, 1e-10);
}

INSTANTIATE_TEST_SUITE_P(Compute, MathTable, ::testing::ValuesIn(kMathCases),
                         kovrap_test::caseName<MathCase>);

TEST(ComputeMath, LogOfPositiveValues) {
    std::vector<double> row = {1, std::exp(1.0), 1e-3, M, 1e6};
    ASSERT_EQ(0, math(-5, 61, row));
    expectRow({0, 1, -3 * std::log(10.0), M, 6 * std::log(10.0)}, row);
}

TEST(ComputeMath, YearOnYearLagFollowsPeriodsPerYear) {
    // Weekly rows compare with 52 periods before, business days with 260,
    // calendar days with 365; the first lag slots have no predecessor.
    const struct {
        int frequency;
        int lag;
    } cases[] = {{51, 52}, {55, 52}, {57, 52}, {61, 260}, {60, 365}};
    for (const auto &c : cases) {
        std::vector<double> row(static_cast<std::size_t>(c.lag) + 2, 50.0);
        row[static_cast<std::size_t>(c.lag)] = 60;     // 20 % over slot 0
        row[static_cast<std::size_t>(c.lag) + 1] = 25; // -50 % over slot 1
        ASSERT_EQ(0, math(-4, c.frequency, row)) << c.frequency;
        for (int i = 0; i < c.lag; ++i)
            ASSERT_EQ(M, row[static_cast<std::size_t>(i)]) << c.frequency << " slot " << i;
        EXPECT_NEAR(20, row[static_cast<std::size_t>(c.lag)], 1e-12) << c.frequency;
        EXPECT_NEAR(-50, row[static_cast<std::size_t>(c.lag) + 1], 1e-12) << c.frequency;
    }
}

TEST(ComputeMath, NonFiniteInputsAndOverflowAreMissing) {
    std::vector<double> row = {1e308, -1e308, NAN, 5, INFINITY};
    ASSERT_EQ(0, math(-1, 40, row));
    // -1e308 - 1e308 overflows; NaN and infinity count as missing inputs.
    expectRow({M, M, M, M, M}, row);

    std::vector<double> level = {NAN, 2, -INFINITY};
    ASSERT_EQ(0, math(0, 40, level));
    expectRow({M, 2, M}, level);
}

TEST(ComputeMath, RejectsUnknownOperationOrFrequencyWithoutTouchingTheRow) {
    const struct {
        int op;
        int frequency;
        int status;
    } cases[] = {
        {1, 40, TQVS_BAD_OPERATION},  {-6, 40, TQVS_BAD_OPERATION}, {1792, 40, TQVS_BAD_OPERATION},
        {-1, 41, TQVS_BAD_FREQUENCY}, {0, 0, TQVS_BAD_FREQUENCY},   {-2, 58, TQVS_BAD_FREQUENCY},
    };
    for (const auto &c : cases) {
        std::vector<double> row = {1, 2, M};
        EXPECT_EQ(c.status, math(c.op, c.frequency, row)) << c.op << " " << c.frequency;
        expectRow({1, 2, M}, row, 0);
    }
}

TEST(ComputeMath, EmptyOrNullRowIsNothingToDo) {
    EXPECT_EQ(0, tqvs::applyMath(-1, 200001, 200012, 40, nullptr, 12));
    double one = 7;
    EXPECT_EQ(0, tqvs::applyMath(-1, 200001, 200001, 40, &one, 0));
    EXPECT_EQ(0, tqvs::applyMath(-1, 200001, 200001, 40, &one, -5));
    EXPECT_EQ(7, one);
    // A single value has no predecessor.
    EXPECT_EQ(0, tqvs::applyMath(-2, 200001, 200001, 40, &one, 1));
    EXPECT_EQ(M, one);
}

// ---- moving average and rebase --------------------------------------------

TEST(ComputeAdvanced, TrailingMovingAverage) {
    const struct {
        int span;
        std::vector<double> input;
        std::vector<double> expected;
    } cases[] = {
        {3, {1, 2, 3, 4, M, 6, 7, 8, 9}, {M, M, 2, 3, M, M, M, 7, 8}},
        {1, {5, M, -2}, {5, M, -2}},
        {2, {1, 4, 9, 16}, {M, 2.5, 6.5, 12.5}},
        {4, {1, 2, 3, 6}, {M, M, M, 3}},
    };
    for (const auto &c : cases) {
        std::vector<double> row = c.input;
        ASSERT_EQ(0, advanced(1, c.span, 40, row)) << c.span;
        expectRow(c.expected, row);
    }
}

TEST(ComputeAdvanced, MovingAverageOnALongRowMatchesDirectSums) {
    // The running sum must not drift: compare with each window summed anew.
    const int n = 20000;
    const int span = 13;
    std::vector<double> row(n);
    for (int i = 0; i < n; ++i)
        row[static_cast<std::size_t>(i)] = (i % 7 == 3 && i % 1000 == 3) ? M : 1e6 + 0.1 * (i % 97);
    std::vector<double> expected(n, M);
    for (int t = span - 1; t < n; ++t) {
        double sum = 0;
        bool complete = true;
        for (int j = t - span + 1; j <= t; ++j) {
            complete = complete && row[static_cast<std::size_t>(j)] != M;
            sum += row[static_cast<std::size_t>(j)];
        }
        if (complete)
            expected[static_cast<std::size_t>(t)] = sum / span;
    }
    ASSERT_EQ(0, advanced(1, span, 61, row));
    expectRow(expected, row, 1e-12);
}

TEST(ComputeAdvanced, RebaseMakesTheChosenPeriod100) {
    std::vector<double> row = {50, 80, 200, M, 300};
    ASSERT_EQ(0, advanced(2, 2, 10, row));
    expectRow({25, 40, 100, M, 150}, row);

    std::vector<double> first = {4, 2, 1};
    ASSERT_EQ(0, advanced(2, 0, 30, first));
    expectRow({100, 50, 25}, first);
}

TEST(ComputeAdvanced, RebaseOnAMissingOrZeroBaseGivesMissing) {
    for (double base : {M, 0.0}) {
        std::vector<double> row = {1, base, 3};
        ASSERT_EQ(0, advanced(2, 1, 40, row));
        expectRow({M, M, M}, row);
    }
}

TEST(ComputeAdvanced, ParameterAndLengthFailuresLeaveTheRowAlone) {
    const struct {
        int op;
        int second;
        int frequency;
        int status;
    } cases[] = {
        {1, 0, 40, TQVS_BAD_OPERATION},                                  // span below 1
        {1, -3, 40, TQVS_BAD_OPERATION},     {1, 5, 40, TQVS_TOO_SHORT}, // span longer than the row
        {1, 2147483647, 40, TQVS_TOO_SHORT}, {2, -1, 40, TQVS_BAD_OPERATION}, // base before the row
        {2, 4, 40, TQVS_TOO_SHORT},                                           // base after the row
        {0, 1, 40, TQVS_BAD_OPERATION},                                       // unknown codes
        {3, 1, 40, TQVS_BAD_OPERATION},      {-1, 1, 40, TQVS_BAD_OPERATION},
        {1793, 1, 40, TQVS_BAD_OPERATION},   {1, 2, 41, TQVS_BAD_FREQUENCY},
        {2, 0, 9, TQVS_BAD_FREQUENCY},
    };
    for (const auto &c : cases) {
        std::vector<double> row = {1, 2, 3, 4};
        EXPECT_EQ(c.status, advanced(c.op, c.second, c.frequency, row))
            << c.op << " " << c.second << " " << c.frequency;
        expectRow({1, 2, 3, 4}, row, 0);
    }
}

TEST(ComputeAdvanced, EmptyOrNullRowIsTooShort) {
    const TQVAdvancedOperation ma{1, 0, 1, 0};
    const TQVAdvancedOperation seasonal{1792, 0, 0, 0};
    double one = 3;
    EXPECT_EQ(TQVS_TOO_SHORT, tqvs::applyAdvanced(ma, 0, 0, 40, nullptr, 5));
    EXPECT_EQ(TQVS_TOO_SHORT, tqvs::applyAdvanced(ma, 0, 0, 40, &one, 0));
    EXPECT_EQ(TQVS_TOO_SHORT, tqvs::applyAdvanced(seasonal, 0, 0, 40, &one, -1));
    EXPECT_EQ(TQVS_TOO_SHORT, tqvs::applyAdvanced(seasonal, 0, 0, 30, nullptr, 100));
    EXPECT_EQ(3, one);
}

// ---- seasonal adjustment --------------------------------------------------

// Seasonal factors with mean exactly 1 over a year of p periods.
std::vector<double> seasonalPattern(std::size_t p) {
    const double monthly[12] = {0.80, 0.85, 0.95, 1.00, 1.10, 1.25,
                                1.30, 1.20, 1.05, 0.95, 0.80, 0.75};
    const double quarterly[4] = {0.7, 1.1, 1.4, 0.8};
    return p == 12 ? std::vector<double>(monthly, monthly + 12)
                   : std::vector<double>(quarterly, quarterly + 4);
}

struct SeasonalCase {
    const char *name;
    int frequency;
    std::size_t p;
    std::size_t years;
    std::size_t phase; // season of the first value
};

// Failures name the case rather than dump its bytes.
void PrintTo(const SeasonalCase &c, std::ostream *os) {
    *os << c.name;
}

const SeasonalCase kSeasonalCases[] = {
    {"monthly_from_january", 40, 12, 5, 0}, {"monthly_from_july", 40, 12, 3, 6},
    {"monthly_two_years", 40, 12, 2, 3},    {"quarterly_from_q1", 30, 4, 6, 0},
    {"quarterly_from_q3", 30, 4, 2, 2},
};

class SeasonalTable : public ::testing::TestWithParam<SeasonalCase> {};

TEST_P(SeasonalTable, ConstantTimesSeasonIsFlat) {
    const SeasonalCase &c = GetParam();
    const std::vector<double> s = seasonalPattern(c.p);
    std::vector<double> row;
    for (std::size_t t = 0; t < c.years * c.p; ++t)
        row.push_back(250 * s[(t + c.phase) % c.p]);
    ASSERT_EQ(0, advanced(1792, 0, c.frequency, row));
    expectRow(std::vector<double>(row.size(), 250), row, 1e-12);
}

TEST_P(SeasonalTable, UnnormalisedPatternIsFlatAtItsMeanLevel) {
    // Doubling every factor moves the centred average, not the shape: the
    // adjusted series sits at 250 times the pattern's mean, here 2.
    const SeasonalCase &c = GetParam();
    const std::vector<double> s = seasonalPattern(c.p);
    std::vector<double> row;
    for (std::size_t t = 0; t < c.years * c.p; ++t)
        row.push_back(250 * 2 * s[(t + c.phase) % c.p]);
    ASSERT_EQ(0, advanced(1792, 0, c.frequency, row));
    expectRow(std::vector<double>(row.size(), 500), row, 1e-12);
}

TEST_P(SeasonalTable, TrendTimesSeasonGivesTheTrendInTheInterior) {
    const SeasonalCase &c = GetParam();
    const std::vector<double> s = seasonalPattern(c.p);
    const std::size_t n = (c.years + 2) * c.p;
    std::vector<double> row(n);
    std::vector<double> trend(n);
    for (std::size_t t = 0; t < n; ++t) {
        trend[t] = 1000 + 4.0 * static_cast<double>(t);
        row[t] = trend[t] * s[(t + c.phase) % c.p];
    }
    ASSERT_EQ(0, advanced(1792, 0, c.frequency, row));
    // The centred average of a straight trend times the season is the trend
    // up to a small bias; half a year at each end is outside its reach.
    for (std::size_t t = c.p / 2; t + c.p / 2 < n; ++t)
        EXPECT_NEAR(trend[t], row[t], 0.005 * trend[t]) << "slot " << t;
}

INSTANTIATE_TEST_SUITE_P(Compute, SeasonalTable, ::testing::ValuesIn(kSeasonalCases),
                         kovrap_test::caseName<SeasonalCase>);

TEST(ComputeSeasonal, MissingValuesStayMissingAndDoNotSpoilTheFactors) {
    const std::vector<double> s = seasonalPattern(12);
    std::vector<double> row;
    for (std::size_t t = 0; t < 72; ++t)
        row.push_back(80 * s[t % 12]);
    // Slots 17 and 50 take out the centred windows of slots 11 to 23 and 44
    // to 56; slots 24 to 43 still give every month a ratio.
    row[0] = M;
    row[17] = M;
    row[50] = M;
    ASSERT_EQ(0, advanced(1792, 0, 40, row));
    std::vector<double> expected(72, 80);
    expected[0] = expected[17] = expected[50] = M;
    expectRow(expected, row, 1e-12);
}

TEST(ComputeSeasonal, LengthAndFrequencyFailures) {
    const struct {
        int frequency;
        std::size_t n;
        int status;
    } cases[] = {
        {40, 23, TQVS_TOO_SHORT},      {40, 24, TQVS_OK},
        {30, 7, TQVS_TOO_SHORT},       {30, 8, TQVS_OK},
        {10, 40, TQVS_BAD_FREQUENCY},  {55, 200, TQVS_BAD_FREQUENCY},
        {60, 800, TQVS_BAD_FREQUENCY}, {61, 600, TQVS_BAD_FREQUENCY},
        {41, 48, TQVS_BAD_FREQUENCY},  {0, 48, TQVS_BAD_FREQUENCY},
    };
    for (const auto &c : cases) {
        std::vector<double> row(c.n);
        for (std::size_t t = 0; t < c.n; ++t)
            row[t] = 10 + static_cast<double>(t % 4);
        const std::vector<double> before = row;
        EXPECT_EQ(c.status, advanced(1792, 0, c.frequency, row)) << c.frequency << " " << c.n;
        if (c.status != TQVS_OK)
            expectRow(before, row, 0);
    }
}

TEST(ComputeSeasonal, ASeasonWithoutAnyCompleteYearIsTooShort) {
    // Two years of months give one centred window per season, slots 6 to
    // 17; a missing value in slot 8 lies in the windows of slots 6 to 14.
    std::vector<double> row(24, 100);
    row[8] = M;
    const std::vector<double> before = row;
    EXPECT_EQ(TQVS_TOO_SHORT, advanced(1792, 0, 40, row));
    expectRow(before, row, 0);

    std::vector<double> allMissing(36, M);
    EXPECT_EQ(TQVS_TOO_SHORT, advanced(1792, 0, 30, allMissing));
}

TEST(ComputeSeasonal, NonPositiveValuesAreAdjustedButDoNotShapeTheFactors) {
    // Four years of a pure pattern with one value replaced by 0: the windows
    // around it give no ratio, the others still see the pattern.
    const std::vector<double> s = seasonalPattern(4);
    std::vector<double> row;
    for (std::size_t t = 0; t < 16; ++t)
        row.push_back(40 * s[t % 4]);
    row[9] = 0;
    ASSERT_EQ(0, advanced(1792, 0, 30, row));
    std::vector<double> expected(16, 40);
    expected[9] = 0;
    expectRow(expected, row, 1e-12);
}

} // namespace
