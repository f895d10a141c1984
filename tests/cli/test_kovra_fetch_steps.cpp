// fetch's plan and render, each without the library: the plan over a
// calendar of the test's own, the render from a result made by hand.
#include "failure.h"
#include "fetch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

bool leap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int monthEnd(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return kDays[month - 1] + (month == 2 && leap(year) ? 1 : 0);
}

// The calendar the plan asks: the last day of a year, quarter or month.
int toCalendarDate(int period, int frequency) {
    int year = 0;
    int month = 0;
    switch (frequency) {
    case KOVRAP_FREQ_ANNUAL:
        return period * 10000 + 1231;
    case KOVRAP_FREQ_QUARTERLY:
        year = period / 10;
        month = 3 * (period % 10);
        break;
    case KOVRAP_FREQ_MONTHLY:
        year = period / 100;
        month = period % 100;
        break;
    default:
        return -1;
    }
    return year * 10000 + month * 100 + monthEnd(year, month);
}

// Which codes the library knows: -1 for any other.
int toPeriod(int calendarDate, int frequency) {
    const bool known =
        frequency == KOVRAP_FREQ_ANNUAL || frequency == KOVRAP_FREQ_QUARTERLY ||
        frequency == KOVRAP_FREQ_MONTHLY ||
        (frequency >= KOVRAP_FREQ_WEEKLY_MON && frequency <= KOVRAP_FREQ_WEEKLY_SUN) ||
        frequency == KOVRAP_FREQ_DAILY || frequency == KOVRAP_FREQ_BUSINESS;
    return known ? calendarDate : -1;
}

kovra::Api calendarOnly() {
    kovra::Api api;
    api.tqvdateToYmd = toCalendarDate;
    api.ymdToTqvdate = toPeriod;
    return api;
}

const std::vector<kovra::SeriesRef> kSeries = {{"ECON", "UKGAS", "ECON:UKGAS"},
                                               {"ECON", "NILE", "ECON:NILE"}};

TEST(KovraFetchPlan, ReadsTheWindowTheOperationAndTheMode) {
    const kovra::Api api = calendarOnly();
    kovra::Options options;
    options.freq = "Quarterly";
    options.from = "1960";
    options.to = "1961Q2";
    options.math = "PCT";
    options.aggregate = "Sum";
    const kovra::FetchPlan plan = kovra::planFetch(options, api, kSeries);
    ASSERT_EQ(2u, plan.series.size());
    EXPECT_EQ("ECON:NILE", plan.series[1].name);
    EXPECT_EQ(KOVRAP_FREQ_QUARTERLY, plan.range.frequency);
    EXPECT_EQ(19600101, plan.range.start);
    EXPECT_EQ(19610630, plan.range.end);
    EXPECT_EQ("1960", plan.range.startText);
    EXPECT_FALSE(plan.range.weeklyDay);
    EXPECT_TRUE(plan.op.present);
    EXPECT_FALSE(plan.op.advanced);
    EXPECT_EQ(2, plan.op.code);
    EXPECT_EQ("math PCT", plan.op.written);
    EXPECT_EQ(1, plan.aggregation);

    // Nothing given: the lowest frequency, the series' own ends, no
    // operation, the library's mode.
    const kovra::FetchPlan bare = kovra::planFetch(kovra::Options(), api, kSeries);
    EXPECT_EQ(KOVRAP_FREQ_LOWEST, bare.range.frequency);
    EXPECT_EQ(-1, bare.range.start);
    EXPECT_EQ(-1, bare.range.end);
    EXPECT_FALSE(bare.op.present);
    EXPECT_EQ(-1, bare.aggregation);

    // A weekday is named; the weekly group is not.
    options = kovra::Options();
    options.freq = "weekly-sun";
    options.advanced = "Rebase:1960Q2";
    const kovra::FetchPlan weekly = kovra::planFetch(options, api, kSeries);
    EXPECT_EQ(KOVRAP_FREQ_WEEKLY_SUN, weekly.range.frequency);
    EXPECT_TRUE(weekly.range.weeklyDay);
    EXPECT_EQ(kovra::kRebase, weekly.op.code);
    EXPECT_EQ("1960Q2", weekly.op.rebaseDate);
    options.freq = "WEEKLY";
    EXPECT_FALSE(kovra::planFetch(options, api, kSeries).range.weeklyDay);
}

TEST(KovraFetchPlan, RefusesWhatTheRulesRefuse) {
    const kovra::Api api = calendarOnly();
    const struct {
        std::optional<std::string> kovra::Options::*option;
        const char *value;
        const char *message; // the start of the message
    } cases[] = {
        {&kovra::Options::freq, "fortnightly", "unknown frequency 'fortnightly'"},
        {&kovra::Options::freq, "00010", "unknown frequency '00010'"},
        {&kovra::Options::from, "2001-02-30", "bad date '2001-02-30'"},
        {&kovra::Options::to, " 2001", "bad date ' 2001'"},
        {&kovra::Options::math, "sqrt", "unknown math operation 'sqrt'"},
        {&kovra::Options::math, "6", "math code 6 is no operation"},
        {&kovra::Options::advanced, "ma:0", "ma takes a span of at least one period"},
        {&kovra::Options::advanced, "rebase:1960Q5", "bad date '1960Q5'"},
        {&kovra::Options::advanced, "0", "advanced code 0 is no operation"},
        {&kovra::Options::aggregate, "median", "unknown aggregation 'median'"},
    };
    for (const auto &c : cases) {
        kovra::Options options;
        options.*c.option = c.value;
        try {
            kovra::planFetch(options, api, kSeries);
            ADD_FAILURE() << c.value << ": planned";
        } catch (const kovra::Failure &f) {
            EXPECT_EQ(kovra::kExitUsage, f.status) << c.value;
            EXPECT_EQ(0u, f.message.rfind(c.message, 0)) << f.message;
        }
    }
}

// Three annual series with pct: A shown, B whose operation failed, C left out
// as finer. A missing value and one that is not finite are empty cells.
kovra::FetchResult handMade() {
    kovra::FetchResult result;
    result.frequency = KOVRAP_FREQ_ANNUAL;
    result.dates = {20011231, 20021231, 20031231};
    result.rangeLine = "annual, 2001 to 2003, 3 observations";
    result.op = kovra::parseMath("pct");
    kovra::SeriesInfo shown;
    shown.frequency = KOVRAP_FREQ_ANNUAL;
    shown.attributes[1] = 1; // its own decimals, which a percentage does not take
    shown.texts[0] = "percent";
    kovra::SeriesInfo finer = shown;
    finer.frequency = KOVRAP_FREQ_MONTHLY;
    finer.role = kovra::RangeRole::Finer;
    result.series = {
        {{"ODD", "A", "ODD:A"}, shown, {1.5, KOVRAP_MISSING, -2.25}, ""},
        {{"ODD", "B", "ODD:B"},
         shown,
         {1, INFINITY, 3},
         "math pct failed for ODD:B: status 31 from the database library"},
        {{"ODD", "C", "ODD:C"}, finer, {}, ""},
    };
    return result;
}

const char kLeftOut[] = "left out: ODD:C is monthly, finer than annual and not to be aggregated";
const char kFailed[] = "math pct failed for ODD:B: status 31 from the database library";

TEST(KovraFetchRender, TheTableWithItsNotes) {
    const kovra::Output output = kovra::renderFetch(handMade(), false);
    EXPECT_EQ(std::string("annual, 2001 to 2003, 3 observations, math pct\n"
                          "\n"
                          "date      A     B  C\n"
                          "2001   1.50  1.00\n"
                          "2002\n"
                          "2003  -2.25  3.00\n"
                          "\n"
                          "note: ") +
                  kLeftOut + "\nnote: " + kFailed + "\n",
              output.out);
    EXPECT_EQ("", output.notes);
}

TEST(KovraFetchRender, CsvWithTheNotesBesideIt) {
    kovra::FetchResult result = handMade();
    result.groupDay = "the weekly group took weeks ending Friday from ODD:A";
    const kovra::Output output = kovra::renderFetch(result, true);
    EXPECT_EQ("date,period,A,B,C\n"
              "2001-12-31,2001,1.5,1,\n"
              "2002-12-31,2002,,,\n"
              "2003-12-31,2003,-2.25,3,\n",
              output.out);
    EXPECT_EQ(std::string("kovra: note: ") + kLeftOut + "\nkovra: note: " + kFailed +
                  "\nkovra: note: " + result.groupDay + "\n",
              output.notes);
}

// The chart draws A alone; B and C are named in the legend with their notes.
TEST(KovraFetchRender, TheChartDrawsWhatCanBeDrawn) {
    kovra::Chart expected;
    expected.title = "annual, 2001 to 2003, 3 observations, math pct";
    expected.frequency = KOVRAP_FREQ_ANNUAL;
    expected.dates = {20011231, 20021231, 20031231};
    expected.lines = {{"A", "percent", {1.5, KOVRAP_MISSING, -2.25}}};
    expected.setAside = {kLeftOut, kFailed};
    expected.layout = kovra::ChartLayout::Panels;
    EXPECT_EQ(kovra::renderSvg(expected),
              kovra::renderFetchChart(handMade(), kovra::ChartLayout::Panels));
}

} // namespace
