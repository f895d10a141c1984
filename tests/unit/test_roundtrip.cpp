// Round trips through Kovrap's exports against the stand-in libraries: series
// stored in memory or in .tqvdb files come back through c_kovraGetData,
// c_kovraSeriesInfo and c_kovraGetCodes aggregated, transformed and described
// as worked out here, on the local and the direct library.
#include "Kovrap.h"
#include "aggregation.h"
#include "case_names.h"
#include "environment.h"
#include "info_host.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using kovrap_test::Info;
using kovrap_test::InfoHost;
using ::testing::DoubleEq;
using ::testing::DoubleNear;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::Pointwise;

constexpr double M = KOVRAP_MISSING;
constexpr double kUntouched = -7.5; // every slot of the host's matrix before a call
constexpr int kStatusBefore = -99;  // every int the host owns before a call

constexpr int kAnnual = 10;
constexpr int kQuarterly = 30;
constexpr int kMonthly = 40;

using kovrap_test::combinePeriod;
using kovrap_test::libraryCaseName;
using kovrap_test::libraryName;
using kovrap_test::libraryParamName;

// ---------------------------------------------------------------- host side

struct Request {
    std::string code;
    std::string database;
    int transformCode = -1; // math code (-1: none) or advanced operation
    int advancedFlag = 0;
    int paramB = 0;
    int paramA = 0;  // for 1792 the lower span limit
    int spanEnd = 0; // for 1792 the upper span limit
    // Base window of a 1792 count. Every call here reads one database, so the
    // windows are taken in request order.
    std::pair<int, int> window{0, 0};
};

// What the host owns for one c_kovraGetData call, sized exactly as the
// contract says so that the sanitizer build catches any access past it.
class DataHost {
  public:
    DataHost(std::vector<Request> requests, std::vector<std::string> databases, int start, int end,
             int frequency, int obs)
        : values(requests.size() * static_cast<std::size_t>(obs), kUntouched),
          countStatus(requests.size(), kStatusBefore), requests_(std::move(requests)),
          databases_(std::move(databases)), start_(start), end_(end), frequency_(frequency),
          obs_(obs) {}

    void call(int direct) {
        std::vector<const char *> codes, dbNames, databases;
        std::vector<int> code, paramB, paramA, spanEnd, paramC, flag, windowStart, windowEnd;
        for (const Request &r : requests_) {
            codes.push_back(r.code.c_str());
            dbNames.push_back(r.database.c_str());
            code.push_back(r.transformCode);
            paramB.push_back(r.paramB);
            paramA.push_back(r.paramA);
            spanEnd.push_back(r.spanEnd);
            paramC.push_back(0);
            flag.push_back(r.advancedFlag);
            if (r.advancedFlag != 0 && r.transformCode == 1792) {
                windowStart.push_back(r.window.first);
                windowEnd.push_back(r.window.second);
            }
        }
        for (const std::string &d : databases_)
            databases.push_back(d.c_str());
        TransformArrays transforms{code.data(),   paramB.data(), paramA.data(), spanEnd.data(),
                                   paramC.data(), flag.data(),   nullptr,       countStatus.data()};
        AdvancedWindows windows{windowStart.data(), windowEnd.data()};
        c_kovraGetData(direct, values.data(), codes.data(), dbNames.data(), databases.data(),
                       static_cast<int>(databases.size()), static_cast<int>(codes.size()), start_,
                       end_, frequency_, 0, obs_, &transforms, &windows, &error);
    }

    std::vector<double> row(int k) const {
        const auto first = values.begin() + static_cast<std::ptrdiff_t>(k) * obs_;
        return std::vector<double>(first, first + obs_);
    }

    std::vector<double> values;
    std::vector<int> countStatus;
    int error = 0;

  private:
    std::vector<Request> requests_;
    std::vector<std::string> databases_;
    int start_, end_, frequency_, obs_;
};

class RoundTripTest : public kovrap_test::StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        tqvs_set_logged_in(1);
    }
};

// ---------------------------------------------------------------- aggregation

// The stored months: February 2000 to November 2002, so that the first and
// last quarter and year are only partly covered.
constexpr int kFirstMonth = 200002;
constexpr int kLastMonth = 200211;

std::vector<double> storedMonths() {
    std::vector<double> months;
    for (int i = 0; i < 34; ++i)
        months.push_back(10 + 1.25 * i + (i % 4 == 0 ? 7.5 : 0));
    return months;
}

// The stored months grouped by target period, in order: periodOf(year,
// month) names the period of the lower frequency that holds a month.
template <class PeriodOf>
std::vector<double> aggregateMonths(const std::vector<double> &months, int mode,
                                    PeriodOf periodOf) {
    std::vector<double> periods;
    std::vector<double> group;
    int current = 0;
    for (std::size_t i = 0; i < months.size(); ++i) {
        const int index = kFirstMonth % 100 - 1 + static_cast<int>(i);
        const int period = periodOf(kFirstMonth / 100 + index / 12, index % 12 + 1);
        if (!group.empty() && period != current) {
            periods.push_back(combinePeriod(group, mode, M));
            group.clear();
        }
        current = period;
        group.push_back(months[i]);
    }
    if (!group.empty())
        periods.push_back(combinePeriod(group, mode, M));
    return periods;
}

std::vector<double> framed(const std::vector<double> &inside) {
    std::vector<double> row = {M};
    row.insert(row.end(), inside.begin(), inside.end());
    row.push_back(M);
    return row;
}

class Aggregation : public RoundTripTest,
                    public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(Aggregation, MonthlySeriesFetchedMonthlyQuarterlyAndAnnually) {
    const int direct = std::get<0>(GetParam());
    const int mode = std::get<1>(GetParam());
    const std::vector<double> months = storedMonths();
    addSeries("econ", "SALES", kMonthly, kFirstMonth, kLastMonth, months);

    ASSERT_EQ(0, c_setAggmode(direct, mode));
    EXPECT_EQ(mode, c_getAggmode(direct));
    EXPECT_EQ(0, tqvs_aggregation_mode(direct != 0 ? 0 : 1)); // the other library keeps its own

    struct Window {
        const char *name;
        int start, end, frequency;
        std::vector<double> expected; // one period before and after the series included
    };
    const Window windows[] = {
        {"monthly", 200001, 200212, kMonthly, framed(months)},
        {"quarterly", 19994, 20031, kQuarterly,
         framed(aggregateMonths(months, mode,
                                [](int year, int month) { return year * 10 + (month + 2) / 3; }))},
        {"annual", 1999, 2003, kAnnual,
         framed(aggregateMonths(months, mode, [](int year, int) { return year; }))},
    };
    for (const Window &w : windows) {
        SCOPED_TRACE(w.name);
        const int obs = static_cast<int>(w.expected.size());
        DataHost host({{"SALES", "econ"}}, {"econ"}, w.start, w.end, w.frequency, obs);
        host.call(direct);
        EXPECT_EQ(0, host.error);
        EXPECT_THAT(host.row(0), Pointwise(DoubleEq(), w.expected));
    }
    // Worked by hand, by mode (average, sum, first, last): Q1 2001 holds
    // 23.75, 32.5 and 26.25; the year 2001 twelve months summing to 390,
    // from 23.75 to 37.5.
    const double firstQuarterOf2001[] = {27.5, 82.5, 23.75, 26.25};
    const double year2001[] = {32.5, 390, 23.75, 37.5};
    DataHost quarter({{"SALES", "econ"}}, {"econ"}, 20011, 20011, kQuarterly, 1);
    quarter.call(direct);
    DataHost year({{"SALES", "econ"}}, {"econ"}, 2001, 2001, kAnnual, 1);
    year.call(direct);
    EXPECT_DOUBLE_EQ(firstQuarterOf2001[mode], quarter.values[0]);
    EXPECT_DOUBLE_EQ(year2001[mode], year.values[0]);
}

std::string modeName(const ::testing::TestParamInfo<std::tuple<int, int>> &p) {
    static const char *const kModes[] = {"Average", "Sum", "First", "Last"};
    return libraryName(std::get<0>(p.param)) + kModes[std::get<1>(p.param)];
}

INSTANTIATE_TEST_SUITE_P(RoundTrip, Aggregation,
                         ::testing::Combine(::testing::Values(0, 1), ::testing::Values(0, 1, 2, 3)),
                         modeName);

TEST_F(RoundTripTest, AggregationModeOutsideTheKnownOnesIsRefused) {
    addSeries("econ", "SALES", kMonthly, kFirstMonth, kLastMonth, storedMonths());
    for (int direct : {0, 1}) {
        ASSERT_EQ(0, c_setAggmode(direct, 1));
        EXPECT_EQ(30, c_setAggmode(direct, 4));
        EXPECT_EQ(30, c_setAggmode(direct, -1));
        EXPECT_EQ(1, c_getAggmode(direct));
        DataHost host({{"SALES", "econ"}}, {"econ"}, 2001, 2001, kAnnual, 1);
        host.call(direct);
        EXPECT_EQ(0, host.error);
        EXPECT_DOUBLE_EQ(390, host.values[0]) << libraryName(direct); // still the sum
    }
}

// ---------------------------------------------------------------- missing values

// February to October 2001, with gaps:
//   Feb 10, Mar -, Apr -, May -, Jun -, Jul 70, Aug -, Sep 90, Oct 100.
const std::vector<double> kGappyMonths = {10, M, M, M, M, 70, M, 90, 100};

struct MissingCase {
    const char *name;
    int mode;
    int start, end, frequency;
    std::vector<double> expected;
};

// Failures name the case rather than dump its bytes.
void PrintTo(const MissingCase &c, std::ostream *os) {
    *os << c.name;
}

const MissingCase kMissingCases[] = {
    {"MonthlyAroundTheSeries",
     0,
     200012,
     200112,
     kMonthly,
     {M, M, 10, M, M, M, M, 70, M, 90, 100, M, M}},
    {"MonthlyAroundTheSeriesSummed",
     1,
     200012,
     200112,
     kMonthly,
     {M, M, 10, M, M, M, M, 70, M, 90, 100, M, M}},
    {"MonthlyWhollyBefore", 0, 199901, 199903, kMonthly, {M, M, M}},
    {"MonthlyWhollyAfter", 0, 200201, 200202, kMonthly, {M, M}},
    // Q1 has Feb only, Q2 nothing, Q3 Jul and Sep, Q4 Oct.
    {"QuarterlyAverage", 0, 20004, 20021, kQuarterly, {M, 10, M, 80, 100, M}},
    {"QuarterlySum", 1, 20004, 20021, kQuarterly, {M, 10, M, 160, 100, M}},
    {"QuarterlyFirst", 2, 20004, 20021, kQuarterly, {M, 10, M, 70, 100, M}},
    {"QuarterlyLast", 3, 20004, 20021, kQuarterly, {M, 10, M, 90, 100, M}},
    {"QuarterlyWhollyMissingQuarter", 1, 20012, 20012, kQuarterly, {M}},
    {"AnnualAverage", 0, 2000, 2002, kAnnual, {M, 67.5, M}},
    {"AnnualSum", 1, 2000, 2002, kAnnual, {M, 270, M}},
    {"AnnualFirst", 2, 2000, 2002, kAnnual, {M, 10, M}},
    {"AnnualLast", 3, 2000, 2002, kAnnual, {M, 100, M}},
};

class MissingValues : public RoundTripTest,
                      public ::testing::WithParamInterface<std::tuple<int, MissingCase>> {};

TEST_P(MissingValues, InsideAndOutsideTheSeries) {
    const int direct = std::get<0>(GetParam());
    const MissingCase &c = std::get<1>(GetParam());
    addSeries("econ", "GAPS", kMonthly, 200102, 200110, kGappyMonths);
    ASSERT_EQ(0, c_setAggmode(direct, c.mode));
    DataHost host({{"GAPS", "econ"}}, {"econ"}, c.start, c.end, c.frequency,
                  static_cast<int>(c.expected.size()));

    host.call(direct);

    EXPECT_EQ(0, host.error);
    EXPECT_THAT(host.row(0), Pointwise(DoubleEq(), c.expected));
}

INSTANTIATE_TEST_SUITE_P(RoundTrip, MissingValues,
                         ::testing::Combine(::testing::Values(0, 1),
                                            ::testing::ValuesIn(kMissingCases)),
                         libraryCaseName<MissingCase>);

// ---------------------------------------------------------------- math and advanced operations

// Two short series: a clean quarterly one, 2000 Q1 to 2001 Q2, and an annual
// one, 2000 to 2005, with a gap, a zero and a change of sign.
const std::vector<double> kClean = {50, 100, 125, 100, 80, 150};
const std::vector<double> kGappy = {10, M, 20, 0, 5, -5};

struct OperationCase {
    const char *name;
    bool gappy; // the annual series, else the quarterly one
    int transformCode;
    int advancedFlag;
    int paramB;
    std::vector<double> expected;
};

// Failures name the case rather than dump its bytes.
void PrintTo(const OperationCase &c, std::ostream *os) {
    *os << c.name;
}

const OperationCase kOperationCases[] = {
    {"CleanLevel", false, 0, 0, 0, kClean},
    {"CleanDifference", false, 1, 0, 0, {M, 50, 25, -25, -20, 70}},
    {"CleanPercentChange", false, 2, 0, 0, {M, 100, 25, -20, -20, 87.5}},
    // (x[t] / x[t-1])^4: 2^4, 1.25^4 = 2.44140625, 0.8^4 = 0.4096, 1.875^4.
    {"CleanAnnualisedChange",
     false,
     3,
     0,
     0,
     {M, 1500, 144.140625, -59.04, -59.04, 1135.9619140625}},
    {"CleanYearOnYear", false, 4, 0, 0, {M, M, M, M, 60, 50}},
    {"CleanLogarithm",
     false,
     5,
     0,
     0,
     {3.912023005428146, 4.605170185988092, 4.8283137373023015, 4.605170185988092,
      4.382026634673881, 5.0106352940962555}},
    {"CleanMovingAverageOfThree", false, 1, 1, 3, {M, M, 275.0 / 3, 325.0 / 3, 305.0 / 3, 110}},
    {"CleanRebasedOnTheFirst", false, 2, 1, 0, {100, 200, 250, 200, 160, 300}},
    {"GappyLevel", true, 0, 0, 0, kGappy},
    {"GappyDifference", true, 1, 0, 0, {M, M, M, -20, 5, -10}},
    // From zero there is no percent change; 5 to -5 is -200 %.
    {"GappyPercentChange", true, 2, 0, 0, {M, M, M, -100, M, -200}},
    // One period a year: 20 to 0 is -100 %; a change of sign has no rate.
    {"GappyAnnualisedChange", true, 3, 0, 0, {M, M, M, -100, M, M}},
    {"GappyYearOnYear", true, 4, 0, 0, {M, M, M, -100, M, -200}},
    {"GappyLogarithm",
     true,
     5,
     0,
     0,
     {2.302585092994046, M, 2.995732273553991, M, 1.6094379124341003, M}},
    {"GappyMovingAverageOfTwo", true, 1, 1, 2, {M, M, M, 10, 2.5, 0}},
    {"GappyRebasedOnTheFirst", true, 2, 1, 0, {100, M, 200, 0, 50, -50}},
};

class OperationTest : public RoundTripTest {
  protected:
    void SetUp() override {
        RoundTripTest::SetUp();
        addSeries("econ", "CLEAN", kQuarterly, 20001, 20012, kClean);
        addSeries("econ", "GAPPY", kAnnual, 2000, 2005, kGappy);
    }
};

class Operations : public OperationTest,
                   public ::testing::WithParamInterface<std::tuple<int, OperationCase>> {};

TEST_P(Operations, TransformTheFetchedRow) {
    const int direct = std::get<0>(GetParam());
    const OperationCase &c = std::get<1>(GetParam());
    const std::string code = c.gappy ? "GAPPY" : "CLEAN";
    const std::vector<double> &stored = c.gappy ? kGappy : kClean;
    Request untransformed{code, "econ"}; // first, so that the switch is on even for code 0
    Request transformed{code, "econ", c.transformCode, c.advancedFlag, c.paramB};
    DataHost host({untransformed, transformed}, {"econ"}, c.gappy ? 2000 : 20001,
                  c.gappy ? 2005 : 20012, c.gappy ? kAnnual : kQuarterly, 6);

    host.call(direct);

    EXPECT_EQ(0, host.error);
    EXPECT_THAT(host.row(0), Pointwise(DoubleEq(), stored));
    EXPECT_THAT(host.row(1), Pointwise(DoubleNear(1e-9), c.expected));
    EXPECT_THAT(host.countStatus, Each(kStatusBefore));
    // The library got the host's math code negated, or the advanced count
    // with its second parameter.
    const std::string p = direct != 0 ? "TQVD" : "TQV";
    const std::string call = c.advancedFlag != 0
                                 ? p + "ApplyAdvancedCount({" + std::to_string(c.transformCode) +
                                       ",0," + std::to_string(c.paramB) + ",0}, "
                                 : p + "ApplyMathCount(" + std::to_string(-c.transformCode) + ", ";
    const std::vector<std::string> counts =
        kovrap_test::journalOf({p + "ApplyMathCount(", p + "ApplyAdvancedCount("});
    ASSERT_EQ(1u, counts.size());
    EXPECT_EQ(call, counts[0].substr(0, call.size()));
}

INSTANTIATE_TEST_SUITE_P(RoundTrip, Operations,
                         ::testing::Combine(::testing::Values(0, 1),
                                            ::testing::ValuesIn(kOperationCases)),
                         libraryCaseName<OperationCase>);

// Refused operations: a math count ends the call with its status; an
// advanced count is the request's own failure and the call goes on.
struct RefusedCase {
    const char *name;
    int transformCode;
    int advancedFlag;
    int paramB;
    int error;       // the call's error, 0 when it goes on
    int countStatus; // request 1's countStatus, kStatusBefore when not written
};

// Failures name the case rather than dump its bytes.
void PrintTo(const RefusedCase &c, std::ostream *os) {
    *os << c.name;
}

const RefusedCase kRefusedCases[] = {
    {"MathCodeSix", 6, 0, 0, 30, kStatusBefore},
    {"NegativeMathCode", -3, 0, 0, 30, kStatusBefore},
    {"UnknownAdvancedOperation", 3, 1, 0, 0, 30},
    {"MovingAverageOfNoPeriods", 1, 1, 0, 0, 30},
    {"MovingAverageLongerThanTheRow", 1, 1, 7, 0, 31},
    {"RebaseOutsideTheRow", 2, 1, 6, 0, 31},
};

class RefusedOperations : public OperationTest,
                          public ::testing::WithParamInterface<std::tuple<int, RefusedCase>> {};

TEST_P(RefusedOperations, EndTheCallOrFailTheRequest) {
    const int direct = std::get<0>(GetParam());
    const RefusedCase &c = std::get<1>(GetParam());
    DataHost host({{"CLEAN", "econ"},
                   {"CLEAN", "econ", c.transformCode, c.advancedFlag, c.paramB},
                   {"CLEAN", "econ"}},
                  {"econ"}, 20001, 20012, kQuarterly, 6);

    host.call(direct);

    EXPECT_EQ(c.error, host.error);
    EXPECT_THAT(host.row(0), Pointwise(DoubleEq(), kClean));
    EXPECT_THAT(host.countStatus, ElementsAre(kStatusBefore, c.countStatus, kStatusBefore));
    if (c.error != 0) {
        // The refused math count left the fetched row; the call ended before
        // request 2.
        EXPECT_THAT(host.row(1), Pointwise(DoubleEq(), kClean));
        EXPECT_THAT(host.row(2), Each(kUntouched));
    } else {
        EXPECT_THAT(host.row(1), Each(M));
        EXPECT_THAT(host.row(2), Pointwise(DoubleEq(), kClean));
    }
}

INSTANTIATE_TEST_SUITE_P(RoundTrip, RefusedOperations,
                         ::testing::Combine(::testing::Values(0, 1),
                                            ::testing::ValuesIn(kRefusedCases)),
                         libraryCaseName<RefusedCase>);

// ---------------------------------------------------------------- seasonal adjustment

// Seasonal factors of mean 1: a series level × factor has no other movement,
// so its seasonally adjusted series is the level itself.
const std::vector<double> kMonthFactors = {0.8, 0.85, 0.9, 0.95, 1.0,  1.05,
                                           1.1, 1.15, 1.2, 1.05, 0.95, 1.0};
const std::vector<double> kQuarterFactors = {0.9, 1.1, 1.2, 0.8};

std::vector<double> seasonalSeries(double level, const std::vector<double> &factors, int periods) {
    std::vector<double> values;
    for (int i = 0; i < periods; ++i)
        values.push_back(level * factors[static_cast<std::size_t>(i) % factors.size()]);
    return values;
}

// count missing values, then count values of level, then count missing.
std::vector<double> segments(int lead, double level, int mid, int trail) {
    std::vector<double> row(static_cast<std::size_t>(lead), M);
    row.insert(row.end(), static_cast<std::size_t>(mid), level);
    row.insert(row.end(), static_cast<std::size_t>(trail), M);
    return row;
}

class SeasonalAdjustment : public RoundTripTest, public ::testing::WithParamInterface<int> {};

TEST_P(SeasonalAdjustment, MonthlyMultiplicativePatternComesOutFlat) {
    const int direct = GetParam();
    // 2000 to 2004, at two levels.
    addSeries("econ", "HIGH", kMonthly, 200001, 200412, seasonalSeries(500, kMonthFactors, 60));
    addSeries("econ", "LOW", kMonthly, 200001, 200412, seasonalSeries(80, kMonthFactors, 60));
    auto windowed = [](const char *code, std::pair<int, int> window, int lower, int upper) {
        Request r{code, "econ", 1792, 1};
        r.window = window;
        r.paramA = lower;
        r.spanEnd = upper;
        return r;
    };
    // Requested: July 1999 to June 2005, 72 months.
    DataHost host({windowed("HIGH", {200001, 200412}, 0, 0),
                   // The own span narrows the base window to 2001 .. 2004.
                   windowed("LOW", {199901, 200512}, 200101, 200412),
                   // A base window from 1999 reaches before the series.
                   windowed("HIGH", {199901, 200412}, 0, 0),
                   // 35 months: too few for a monthly count.
                   windowed("LOW", {200101, 200311}, 0, 0)},
                  {"econ"}, 199907, 200506, kMonthly, 72);

    host.call(direct);

    EXPECT_EQ(0, host.error);
    EXPECT_THAT(host.row(0), Pointwise(DoubleNear(1e-9), segments(6, 500, 60, 6)));
    EXPECT_THAT(host.row(1), Pointwise(DoubleNear(1e-9), segments(18, 80, 48, 6)));
    EXPECT_THAT(host.row(2), Pointwise(DoubleNear(1e-9), segments(6, 500, 60, 6)));
    EXPECT_THAT(host.row(3), Each(M));
    EXPECT_THAT(host.countStatus, ElementsAre(kStatusBefore, kStatusBefore, kStatusBefore, 834));
}

TEST_P(SeasonalAdjustment, QuarterlyMultiplicativePatternComesOutFlat) {
    const int direct = GetParam();
    addSeries("econ", "GAS", kQuarterly, 20001, 20044, seasonalSeries(80, kQuarterFactors, 20));
    Request whole{"GAS", "econ", 1792, 1};
    whole.window = {20001, 20044};
    Request inner{"GAS", "econ", 1792, 1};
    inner.window = {20011, 20034}; // 12 quarters, the least a quarterly count takes
    Request tooShort{"GAS", "econ", 1792, 1};
    tooShort.window = {20011, 20033};
    DataHost host({whole, inner, tooShort}, {"econ"}, 20001, 20044, kQuarterly, 20);

    host.call(direct);

    EXPECT_EQ(0, host.error);
    EXPECT_THAT(host.row(0), Pointwise(DoubleNear(1e-9), segments(0, 80, 20, 0)));
    EXPECT_THAT(host.row(1), Pointwise(DoubleNear(1e-9), segments(4, 80, 12, 4)));
    EXPECT_THAT(host.row(2), Each(M));
    EXPECT_THAT(host.countStatus, ElementsAre(kStatusBefore, kStatusBefore, 834));
}

TEST_P(SeasonalAdjustment, LibrarysOwnRefusalIsRecorded) {
    const int direct = GetParam();
    // Annual data has no minimum length in Kovrap, but the library adjusts
    // only quarterly and monthly series.
    addSeries("econ", "YEARS", kAnnual, 2000, 2009, seasonalSeries(5, {1.0}, 10));
    Request r{"YEARS", "econ", 1792, 1};
    r.window = {2000, 2009};
    DataHost host({r}, {"econ"}, 2000, 2009, kAnnual, 10);

    host.call(direct);

    EXPECT_EQ(0, host.error);
    EXPECT_THAT(host.row(0), Each(M));
    EXPECT_THAT(host.countStatus, ElementsAre(21));
}

INSTANTIATE_TEST_SUITE_P(RoundTrip, SeasonalAdjustment, ::testing::Values(0, 1),
                         libraryParamName<int>);

// ---------------------------------------------------------------- log-in

class RoundTripLogin : public kovrap_test::StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        addSeries("secure", "LEVEL", kAnnual, 2001, 2003, {1.5, 2.5, 3.5});
        tqvs_set_credentials("ann", "s3cret");
    }

    // Fetches LEVEL on the direct library: the call's error, and the row
    // when it was served.
    static int fetchDirect(std::vector<double> &row) {
        DataHost host({{"LEVEL", "secure"}}, {"secure"}, 2001, 2003, kAnnual, 3);
        host.call(1);
        row = host.row(0);
        return host.error;
    }
};

TEST_F(RoundTripLogin, DirectPathIsRefusedBeforeALogIn) {
    std::vector<double> row;
    EXPECT_EQ(1, fetchDirect(row));
    EXPECT_THAT(row, Each(kUntouched));

    InfoHost info(1);
    info.query(1, {"LEVEL"}, {"secure"}, {"secure"});
    EXPECT_THAT(info.counts, ElementsAre(1, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(std::vector<int>{0}, info.list(0));

    char codes[16] = "unchanged";
    int error = 0;
    EXPECT_EQ(3, c_kovraGetCodes(1, codes, "secure", &error)); // the open's status
    EXPECT_EQ(1, error);
    EXPECT_STREQ("unchanged", codes);

    // The local library needs no log-in.
    DataHost local({{"LEVEL", "secure"}}, {"secure"}, 2001, 2003, kAnnual, 3);
    local.call(0);
    EXPECT_EQ(0, local.error);
    EXPECT_THAT(local.row(0), ElementsAre(1.5, 2.5, 3.5));
}

TEST_F(RoundTripLogin, WrongCredentialsAreRefused) {
    struct Attempt {
        const char *user;
        const char *password;
    };
    const Attempt wrong[] = {
        {"ann", "S3CRET"}, {"Ann", "s3cret"}, {"ann", ""}, {"", ""}, {"ann", "s3cret "},
    };
    for (const Attempt &a : wrong) {
        SCOPED_TRACE(std::string(a.user) + ":" + a.password);
        int status = kStatusBefore;
        EXPECT_EQ(40, c_kovraAuthenticate(a.user, a.password, &status, "service"));
        EXPECT_EQ(40, status);
        std::vector<double> row;
        EXPECT_EQ(1, fetchDirect(row));
        EXPECT_THAT(row, Each(kUntouched));
    }
}

TEST_F(RoundTripLogin, RightCredentialsServeTheDirectPathUntilAFailedLogIn) {
    int status = kStatusBefore;
    ASSERT_EQ(0, c_kovraAuthenticate("ann", "s3cret", &status, nullptr));
    EXPECT_EQ(0, status);

    std::vector<double> row;
    EXPECT_EQ(0, fetchDirect(row));
    EXPECT_THAT(row, ElementsAre(1.5, 2.5, 3.5));
    InfoHost info(1);
    info.query(1, {"LEVEL"}, {"secure"}, {"secure"});
    EXPECT_THAT(info.counts, ElementsAre(0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(kAnnual, info.info(0).frequency);
    EXPECT_EQ(20031231, info.info(0).lastDate);
    char codes[16] = {};
    int error = 0;
    EXPECT_EQ(0, c_kovraGetCodes(1, codes, "secure", &error));
    EXPECT_EQ(0, error);
    EXPECT_STREQ("LEVEL", codes);

    // A failed log-in afterwards logs the library out again.
    EXPECT_EQ(40, c_kovraAuthenticate("ann", "wrong", &status, nullptr));
    EXPECT_EQ(40, status);
    EXPECT_EQ(1, fetchDirect(row));
}

// ---------------------------------------------------------------- 2500 series

constexpr int kBulk = 2500;

// Last day of a month, by the Gregorian rule.
int monthEnd(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// One series of the bulk database, with everything the host should get back
// for it. Each has its own code, values, frequency (annual, quarterly or
// monthly by turns), range, attributes and texts.
struct BulkSeries {
    Info info;
    int first = 0, last = 0; // period dates
    std::vector<double> values;
    std::vector<int> yearOf; // the year of each stored period
};

BulkSeries bulkSeries(int id) {
    static const int kFrequencies[3] = {kAnnual, kQuarterly, kMonthly};
    BulkSeries s;
    const int frequency = kFrequencies[id % 3];
    const int perYear = frequency == kAnnual ? 1 : frequency == kQuarterly ? 4 : 12;
    const int firstYear = 1990 + id % 7;
    const int firstSub = (id / 3) % perYear; // 0-based quarter or month
    const int periods = (2 + id % 4) * perYear - id % 2;
    std::vector<int> dates;
    for (int i = 0; i < periods; ++i) {
        const int year = firstYear + (firstSub + i) / perYear;
        const int sub = (firstSub + i) % perYear + 1;
        const int date = perYear == 1 ? year : perYear == 4 ? year * 10 + sub : year * 100 + sub;
        const int month = perYear == 1 ? 12 : perYear == 4 ? sub * 3 : sub;
        const int lastDay = year * 10000 + month * 100 + monthEnd(year, month);
        if (i == 0) {
            s.first = date;
            s.info.firstDate = lastDay;
        }
        s.last = date;
        s.info.lastDate = lastDay;
        s.values.push_back(id * 1000.0 + i);
        s.yearOf.push_back(year);
    }
    char code[8];
    std::snprintf(code, sizeof code, "B%04d", id);
    s.info.code = code;
    s.info.frequency = frequency;
    const int attributes[6] = {1, id, 2 * id + 1, -id, 100000 + id, 1 + id % 8};
    std::copy(attributes, attributes + 6, s.info.attributes);
    s.info.texts[0] = "t" + std::to_string(id);
    s.info.texts[1] = "U" + std::to_string(id * 3);
    s.info.texts[2] = "src" + std::to_string(id % 10);
    s.info.texts[3] = id % 2 == 0 ? "" : "x" + std::to_string(id);
    s.info.texts[4] = "Bulk series " + std::to_string(id) + " of the round trip";
    s.info.texts[5] = std::string(9, static_cast<char>('a' + id % 26)); // full width
    s.info.texts[6] = "description " + std::to_string(id);
    s.info.texts[6].resize(83, '.'); // full width
    return s;
}

class RoundTripBulk : public RoundTripTest {
  protected:
    void SetUp() override {
        RoundTripTest::SetUp();
        ASSERT_EQ(0, tqvs_add_database("bulk"));
        for (int id = 0; id < kBulk; ++id) {
            BulkSeries s = bulkSeries(id);
            ASSERT_EQ(0,
                      tqvs_add_series("bulk", s.info.code.c_str(), s.info.frequency, s.first,
                                      s.last, s.values.data(), static_cast<int>(s.values.size())));
            const char *texts[7];
            for (int t = 0; t < 7; ++t)
                texts[t] = s.info.texts[t].c_str();
            ASSERT_EQ(0,
                      tqvs_set_attributes("bulk", s.info.code.c_str(), s.info.attributes, texts));
            codes.push_back(s.info.code);
            series.push_back(std::move(s));
        }
    }

    std::vector<BulkSeries> series;
    std::vector<std::string> codes;
};

TEST_F(RoundTripBulk, DirectPathDescribesAndFetchesEverySeries) {
    // The information query, with the common range of the whole set.
    InfoHost info(kBulk);
    info.range.computeRange = 1;
    info.requestedFrequency = 1000; // the lowest frequency among the series
    info.start = -1;
    info.end = -1;
    info.query(1, codes, std::vector<std::string>(kBulk, "bulk"), {"bulk"});

    EXPECT_THAT(info.counts, ElementsAre(0, 0, 0, 0, 0, 0, 0));
    int wrongColumns = 0;
    for (int k = 0; k < kBulk; ++k) {
        if (!(series[static_cast<std::size_t>(k)].info == info.info(k)) && ++wrongColumns <= 5)
            ADD_FAILURE() << "request " << k << ": expected "
                          << series[static_cast<std::size_t>(k)].info << "\n got " << info.info(k);
    }
    EXPECT_EQ(0, wrongColumns);

    int earliest = 99999999, latest = 0;
    for (const BulkSeries &s : series) {
        earliest = std::min(earliest, s.info.firstDate);
        latest = std::max(latest, s.info.lastDate);
    }
    // Annual is the lowest frequency, and no series is set aside (attribute 6
    // is never 0 or 9), so every series' dates count.
    EXPECT_THAT(info.exclusionCounts, ElementsAre(0, 0, 0));
    EXPECT_EQ(kAnnual, info.requestedFrequency);
    EXPECT_EQ(earliest / 10000, info.start);
    EXPECT_EQ(latest / 10000, info.end);
    EXPECT_EQ(info.end - info.start + 1, info.observationCount);
    ASSERT_EQ(1990, info.start); // a series starts in January 1990
    ASSERT_EQ(2001, info.end);

    // The data over that range: each year the average of the series' periods
    // in it, missing where it has none.
    std::vector<Request> requests;
    for (const std::string &code : codes)
        requests.push_back({code, "bulk"});
    DataHost host(requests, {"bulk"}, info.start, info.end, info.requestedFrequency,
                  info.observationCount);
    host.call(1);

    EXPECT_EQ(0, host.error);
    int wrongRows = 0;
    for (int k = 0; k < kBulk; ++k) {
        const BulkSeries &s = series[static_cast<std::size_t>(k)];
        std::vector<double> expected;
        for (int year = info.start; year <= info.end; ++year) {
            std::vector<double> inYear;
            for (std::size_t i = 0; i < s.values.size(); ++i)
                if (s.yearOf[i] == year)
                    inYear.push_back(s.values[i]);
            expected.push_back(combinePeriod(inYear, 0, M));
        }
        if (host.row(k) != expected && ++wrongRows <= 5)
            ADD_FAILURE() << "row " << k << " (" << s.info.code << ") differs: first value "
                          << host.row(k)[0] << ", expected " << expected[0];
    }
    EXPECT_EQ(0, wrongRows);
    EXPECT_EQ(kBulk, tqvs_log_count("TQVDGetDataCount"));
    EXPECT_EQ(kBulk, tqvs_log_count("TQVDGetInfo"));
}

// ---------------------------------------------------------------- database files

// A small database file as a person writes it: comments, indentation, a
// missing observation, a text with a '#', a code of the full nine
// characters and an empty series.
const char kDatabaseFile[] = R"(# Round-trip fixture, written by hand.
TQVDB 1
database ROUNDTRIP

series GDP
  frequency 30
  range 20191 20204
  attributes 1 2 3 4 5 9
  text1 GDP
  text5 Gross domestic product, # not a comment
  values
  100 101.5 NA 104
  105 106.25 107 108
end

series CPI_INDEX
  frequency 40
  range 202011 202102
  attributes 1 0 0 0 0 0
  text2 index
  values
  99.5 100 NA 101
end

series RATES
  frequency 61
  range 20230102 20230106
  attributes 1 0 0 0 0 3
  text7 business days
  values
  4.25 4.25 4.5 NA 4.5
end

series PENDING
  frequency 61
  range none
  attributes 0 0 0 0 0 0
  text5 no observations yet
  values
end
)";

const char kStoredCodes[] = "GDP,CPI_INDEX,RATES,PENDING";

void writeFile(const std::filesystem::path &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    ASSERT_TRUE(out.good()) << path;
}

// The database file in a folder of its own, which is also the direct
// library's data folder, with a credentials file for the direct library.
class RoundTripFiles : public kovrap_test::StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        const char *old = std::getenv("TQVD_DATA_DIR");
        hadDataDir_ = old != nullptr;
        savedDataDir_ = old != nullptr ? old : "";
        folder_ = std::filesystem::temp_directory_path() /
                  ("kovrap_roundtrip_" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                   "_" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder_);
        kovrap_test::setVariable("TQVD_DATA_DIR", folder_.string().c_str());
        writeFile(folder_ / "roundtrip.tqvdb", kDatabaseFile);
        writeFile(folder_ / "credentials", "reader:open sesame\n");
    }
    void TearDown() override {
        kovrap_test::setVariable("TQVD_DATA_DIR", hadDataDir_ ? savedDataDir_.c_str() : nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        StandinTest::TearDown();
    }

    // The local library opens the file by its path; the direct library by
    // its name in the data folder, after a log-in from the credentials file.
    std::string databaseFor(int direct) const {
        if (direct == 0)
            return (folder_ / "roundtrip.tqvdb").string();
        int status = kStatusBefore;
        EXPECT_EQ(0, c_kovraAuthenticate("reader", "open sesame", &status, nullptr));
        return "roundtrip";
    }

    std::filesystem::path folder_;

  private:
    bool hadDataDir_ = false;
    std::string savedDataDir_;
};

// Room for the whole list: each code, its comma or terminator, and the
// comma the listing writes before it learns that no code is left.
std::vector<char> codeBuffer() {
    return std::vector<char>(sizeof kStoredCodes + 1, '#');
}

TEST_F(RoundTripFiles, LocalCodeListingByPathGivesTheStoredCodes) {
    const std::string paths[] = {(folder_ / "roundtrip.tqvdb").string(),
                                 (folder_ / "roundtrip").string()};
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        std::vector<char> output = codeBuffer();
        int error = 0;
        EXPECT_EQ(0, c_kovraGetCodes(0, output.data(), path.c_str(), &error));
        EXPECT_EQ(0, error);
        EXPECT_STREQ(kStoredCodes, output.data());
    }
}

TEST_F(RoundTripFiles, DirectCodeListingByNameGivesTheStoredCodes) {
    const std::string database = databaseFor(1);
    // However many names each call of the direct library gives.
    for (int batch : {1, 3, 4, 100}) {
        SCOPED_TRACE(batch);
        tqvs_set_names_batch(batch);
        std::vector<char> output = codeBuffer();
        int error = 0;
        EXPECT_EQ(0, c_kovraGetCodes(1, output.data(), database.c_str(), &error));
        EXPECT_EQ(0, error);
        EXPECT_STREQ(kStoredCodes, output.data());
    }
}

TEST_F(RoundTripFiles, MissingFileIsAFailedOpen) {
    for (int direct : {0, 1}) {
        SCOPED_TRACE(libraryName(direct));
        std::string database = (folder_ / "absent.tqvdb").string();
        if (direct != 0) {
            databaseFor(1); // logged in: the open fails for want of the file
            database = "absent";
        }
        std::vector<char> output = codeBuffer();
        int error = 0;
        EXPECT_EQ(10, c_kovraGetCodes(direct, output.data(), database.c_str(), &error));
        EXPECT_EQ(1, error);
        DataHost host({{"GDP", database}}, {database}, 20191, 20204, kQuarterly, 8);
        host.call(direct);
        EXPECT_EQ(1, host.error);
        EXPECT_THAT(host.values, Each(kUntouched));
    }
}

class FileData : public RoundTripFiles, public ::testing::WithParamInterface<int> {};

TEST_P(FileData, FetchesTheStoredObservations) {
    const int direct = GetParam();
    const std::string database = databaseFor(direct);
    // Q4 2018 to Q1 2021: GDP as stored, CPI_INDEX's months averaged into
    // Q4 2020 (99.5 and 100) and Q1 2021 (101, January missing).
    DataHost quarters({{"GDP", database}, {"CPI_INDEX", database}}, {database}, 20184, 20211,
                      kQuarterly, 10);
    quarters.call(direct);
    EXPECT_EQ(0, quarters.error);
    EXPECT_THAT(quarters.row(0), ElementsAre(M, 100, 101.5, M, 104, 105, 106.25, 107, 108, M));
    EXPECT_THAT(quarters.row(1), ElementsAre(M, M, M, M, M, M, M, M, 99.75, 101));

    // Business days at their own frequency, and the year-on-year change of
    // GDP (2020 against 2019; Q3 2019 is missing).
    DataHost days({{"RATES", database}}, {database}, 20230102, 20230106, 61, 5);
    days.call(direct);
    EXPECT_EQ(0, days.error);
    EXPECT_THAT(days.row(0), ElementsAre(4.25, 4.25, 4.5, M, 4.5));
    DataHost growth({{"GDP", database, 4}}, {database}, 20191, 20204, kQuarterly, 8);
    growth.call(direct);
    EXPECT_EQ(0, growth.error);
    EXPECT_THAT(growth.row(0),
                Pointwise(DoubleNear(1e-9), {M, M, M, M, 5.0, 475 / 101.5, M, 400.0 / 104}));
}

TEST_P(FileData, DescribesTheStoredSeries) {
    const int direct = GetParam();
    const std::string database = databaseFor(direct);
    InfoHost info(5);

    info.query(direct, {"GDP", "CPI_INDEX", "RATES", "PENDING", "NOPE"},
               std::vector<std::string>(5, database), {database});

    // NOPE is not in the file: information status 1, the first list.
    EXPECT_THAT(info.counts, ElementsAre(1, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(std::vector<int>{4}, info.list(0));
    Info gdp{"GDP", 20190331, 20201231, kQuarterly, {1, 2, 3, 4, 5, 9}, {}};
    gdp.texts[0] = "GDP";
    gdp.texts[4] = "Gross domestic product, # not a comment";
    Info cpi{"CPI_INDEX", 20201130, 20210228, kMonthly, {1, 0, 0, 0, 0, 0}, {}};
    cpi.texts[1] = "index";
    Info rates{"RATES", 20230102, 20230106, 61, {1, 0, 0, 0, 0, 3}, {}};
    rates.texts[6] = "business days";
    Info pending{"PENDING", 0, 0, 61, {0, 0, 0, 0, 0, 0}, {}};
    pending.texts[4] = "no observations yet";
    EXPECT_EQ(gdp, info.info(0));
    EXPECT_EQ(cpi, info.info(1));
    EXPECT_EQ(rates, info.info(2));
    EXPECT_EQ(pending, info.info(3));
}

INSTANTIATE_TEST_SUITE_P(RoundTrip, FileData, ::testing::Values(0, 1), libraryParamName<int>);

} // namespace
