// Windows that start or end on a day inside a period, and the conversions
// between daily, business-day and weekly frequencies, through every operation
// that takes a window or counts periods.
#include "case_names.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

using kovrap_test::kMissingValue;
using kovrap_test::StandinTest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

const double M = kMissingValue;

// One period of each day-based frequency around Wednesday 12 August 1998:
// its first day, a day inside it, its last day, and the last days of the
// periods before and after it.
struct PeriodCase {
    const char *name;
    int frequency;
    int first;
    int inside;
    int last;
    int previousLast;
    int nextLast;
};

std::ostream &operator<<(std::ostream &os, const PeriodCase &c) {
    return os << c.name;
}

const PeriodCase kPeriods[] = {
    {"WeeksEndingMonday", 51, 19980811, 19980814, 19980817, 19980810, 19980824},
    {"WeeksEndingTuesday", 52, 19980812, 19980815, 19980818, 19980811, 19980825},
    {"WeeksEndingWednesday", 53, 19980806, 19980809, 19980812, 19980805, 19980819},
    {"WeeksEndingThursday", 54, 19980807, 19980810, 19980813, 19980806, 19980820},
    {"WeeksEndingFriday", 55, 19980808, 19980811, 19980814, 19980807, 19980821},
    {"WeeksEndingSaturday", 56, 19980809, 19980812, 19980815, 19980808, 19980822},
    {"WeeksEndingSunday", 57, 19980810, 19980813, 19980816, 19980809, 19980823},
    {"Daily", 60, 19980812, 19980812, 19980812, 19980811, 19980813},
    {"BusinessDays", 61, 19980812, 19980812, 19980812, 19980811, 19980813},
};

class PeriodWindowTest : public StandinTest, public ::testing::WithParamInterface<PeriodCase> {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        const PeriodCase &c = GetParam();
        ASSERT_EQ(0, tqvs_add_database("alpha"));
        const double values[3] = {1, 2, 3};
        ASSERT_EQ(
            0, tqvs_add_series("alpha", "S", c.frequency, c.previousLast, c.nextLast, values, 3));
        ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    }

    std::vector<double> fetch(int start, int end) {
        std::vector<double> row(8, -3);
        int count = 8;
        EXPECT_EQ(
            0, TQVGetDataCount("alpha", "S", start, end, GetParam().frequency, row.data(), &count))
            << start << ".." << end;
        row.resize(static_cast<std::size_t>(count));
        return row;
    }
};

// The first day, a day inside and the last day of a period all stand for
// that period, as the start and as the end of a window.
TEST_P(PeriodWindowTest, AnyDayOfAPeriodStandsForIt) {
    const PeriodCase &c = GetParam();
    const int f = c.frequency;
    for (int day : {c.first, c.inside, c.last}) {
        SCOPED_TRACE(day);
        EXPECT_EQ(1, TQVGetObsNum(day, day, f));
        EXPECT_EQ(1, TQVDGetObsNum(day, day, f));
        EXPECT_EQ(2, TQVGetObsNum(c.previousLast, day, f)); // as the end
        EXPECT_EQ(2, TQVGetObsNum(day, c.nextLast, f));     // as the start
        EXPECT_EQ(c.last, TQVGetDate(day, 1, f));
        EXPECT_EQ(c.nextLast, TQVGetDate(day, 2, f));
        EXPECT_EQ(c.previousLast, TQVGetDate(day, 0, f));
        EXPECT_THAT(fetch(day, day), ElementsAre(2));
        EXPECT_THAT(fetch(c.previousLast, day), ElementsAre(1, 2));
        EXPECT_THAT(fetch(day, c.nextLast), ElementsAre(2, 3));
    }
}

INSTANTIATE_TEST_SUITE_P(Frequencies, PeriodWindowTest, ::testing::ValuesIn(kPeriods),
                         kovrap_test::caseName<PeriodCase>);

// A Saturday or Sunday is no business day: a window that starts on one opens
// on the following Monday, one that ends on one closes on the preceding
// Friday. A window of a weekend alone holds no business day.
TEST_F(StandinTest, AWeekendDayOpensOnMondayAndClosesOnFriday) {
    const int saturday = 19980815, sunday = 19980816;
    for (int day : {saturday, sunday}) {
        SCOPED_TRACE(day);
        EXPECT_EQ(19980817, TQVGetDate(day, 1, 61));
        EXPECT_EQ(5, TQVGetObsNum(19980810, day, 61)); // Monday 10 to Friday 14
        EXPECT_EQ(5, TQVGetObsNum(day, 19980821, 61)); // Monday 17 to Friday 21
    }
    EXPECT_EQ(0, TQVGetObsNum(saturday, sunday, 61));

    ASSERT_EQ(0, tqvs_add_database("alpha"));
    addSeries("alpha", "BD", 61, 19980813, {1, 2, 3, 4}); // Thursday to Tuesday
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    double row[4] = {-3, -3, -3, -3};
    int count = 4;
    ASSERT_EQ(0, TQVGetDataCount("alpha", "BD", saturday, 19980818, 61, row, &count));
    EXPECT_EQ(2, count);
    EXPECT_THAT(std::vector<double>(row, row + 2), ElementsAre(3, 4));
    count = 4;
    ASSERT_EQ(0, TQVGetDataCount("alpha", "BD", 19980813, sunday, 61, row, &count));
    EXPECT_EQ(2, count);
    EXPECT_THAT(std::vector<double>(row, row + 2), ElementsAre(1, 2));
    count = 4;
    EXPECT_EQ(TQVS_BAD_WINDOW, TQVGetDataCount("alpha", "BD", saturday, sunday, 61, row, &count));
}

// Every day of a week stands for that week, as the start and as the end of
// a window: the day just before the week's last day too, which a period date
// minus one names.
TEST_F(StandinTest, EveryDayOfAWeekStandsForItsWeek) {
    for (const PeriodCase &c : kPeriods) {
        if (c.frequency > 57)
            continue;
        SCOPED_TRACE(c.name);
        // Each week here lies within one month, so the days are the ints from
        // its first day to its last.
        for (int day = c.first; day <= c.last; ++day) {
            SCOPED_TRACE(day);
            EXPECT_EQ(2, TQVGetObsNum(c.previousLast, day, c.frequency));
            EXPECT_EQ(2, TQVGetObsNum(day, c.nextLast, c.frequency));
            EXPECT_EQ(1, TQVGetObsNum(day, day, c.frequency));
            EXPECT_EQ(c.last, TQVGetDate(day, 1, c.frequency));
        }
        EXPECT_EQ(0, TQVGetObsNum(c.first, c.previousLast, c.frequency));
    }
    // A week that ends on the 1st: 1 August 1998 was a Saturday, and
    // 19980800, the int one below it, is Friday 31 July of the same week.
    EXPECT_EQ(2, TQVGetObsNum(19980725, 19980800, 56));
    EXPECT_EQ(2, TQVGetObsNum(19980725, 19980731, 56));
    EXPECT_EQ(1, TQVGetObsNum(19980725, 19980724, 56));
}

// The weekly reading of an end inside a week: held, the week that holds it;
// ended, the last week ending on or before it. A start, a week's last day,
// the dates TQVGetDate steps to, and the other day-based codes read the same
// either way; both libraries follow the setting, and a reset goes back to
// the reading the environment named.
TEST_F(StandinTest, AWeeklyEndInsideAWeekReadsAsSet) {
    const char *named = std::getenv("TQVS_WEEKLY_END");
    const int atStart =
        named != nullptr && std::string(named) == "ended" ? TQVS_WEEK_ENDED : TQVS_WEEK_HOLDING;
    ASSERT_EQ(atStart, tqvs_weekly_end());
    ASSERT_EQ(0, tqvs_add_database("alpha"));
    for (const PeriodCase &c : kPeriods)
        addSeries("alpha", c.name, c.frequency, c.previousLast, c.nextLast, {1, 2, 3});
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));

    for (int reading : {TQVS_WEEK_ENDED, TQVS_WEEK_HOLDING}) {
        tqvs_set_weekly_end(reading);
        ASSERT_EQ(reading, tqvs_weekly_end());
        for (const PeriodCase &c : kPeriods) {
            SCOPED_TRACE(::testing::Message() << c.name << " reading " << reading);
            const int f = c.frequency;
            const bool ended = reading == TQVS_WEEK_ENDED && f <= 57;
            const int inside = ended ? 1 : 2; // periods from previousLast to inside
            EXPECT_EQ(inside, TQVGetObsNum(c.previousLast, c.inside, f));
            EXPECT_EQ(inside, TQVDGetObsNum(c.previousLast, c.inside, f));
            EXPECT_EQ(2, TQVGetObsNum(c.previousLast, c.last, f));
            EXPECT_EQ(2, TQVGetObsNum(c.inside, c.nextLast, f));
            EXPECT_EQ(ended ? 0 : 1, TQVGetObsNum(c.inside, c.inside, f));
            EXPECT_EQ(c.last, TQVGetDate(c.inside, 1, f));
            double row[3] = {-3, -3, -3};
            int count = 3;
            ASSERT_EQ(0,
                      TQVGetDataCount("alpha", c.name, c.previousLast, c.inside, f, row, &count));
            EXPECT_EQ(inside, count);
            EXPECT_THAT(
                std::vector<double>(row, row + count),
                ElementsAreArray(ended ? std::vector<double>{1} : std::vector<double>{1, 2}));
        }
    }
    // A weekend day still closes a business-day window on the Friday before.
    tqvs_set_weekly_end(TQVS_WEEK_ENDED);
    EXPECT_EQ(5, TQVGetObsNum(19980810, 19980815, 61));
    // Any other value leaves the reading as it is.
    for (int other : {-1, 2, 57})
        tqvs_set_weekly_end(other);
    EXPECT_EQ(TQVS_WEEK_ENDED, tqvs_weekly_end());
    tqvs_reset();
    EXPECT_EQ(atStart, tqvs_weekly_end());
}

// A computation window S..T laid into a requested window B..L at a weekly
// code, counting up to the week before a date with the day seven days
// earlier and from the week after with the day seven days later: the lead or
// skip, mid and trail add up to the row. The day one before a week's last
// day would still count that week.
TEST_F(StandinTest, WeeklySegmentsAddUpToTheRequestedWindow) {
    // Seven days before and after, on the daily calendar.
    const auto weekBefore = [](int date) { return TQVGetDate(date, -6, 60); };
    const auto weekAfter = [](int date) { return TQVGetDate(date, 8, 60); };
    ASSERT_EQ(19971226, weekBefore(19980102));
    ASSERT_EQ(19980301, weekAfter(19980222));
    for (int f = 51; f <= 57; ++f) {
        SCOPED_TRACE(f);
        const int b = TQVGetDate(19980101, 1, f);
        const int l = TQVGetDate(b, 30, f);
        ASSERT_EQ(30, TQVGetObsNum(b, l, f));
        const int t = TQVGetDate(b, 20, f);
        // The computation window starts after B: missing values lead.
        const int later = TQVGetDate(b, 5, f);
        EXPECT_EQ(4, TQVGetObsNum(b, weekBefore(later), f));
        EXPECT_EQ(5, TQVGetObsNum(b, later - 1, f)); // later's own week as well
        EXPECT_EQ(16, TQVGetObsNum(later, t, f));
        EXPECT_EQ(10, TQVGetObsNum(weekAfter(t), l, f));
        // The computation window starts before B: computed values are skipped.
        const int earlier = TQVGetDate(b, -2, f);
        EXPECT_EQ(3, TQVGetObsNum(earlier, weekBefore(b), f));
        EXPECT_EQ(20, TQVGetObsNum(b, t, f));
    }
}

// ---- conversions between frequencies ------------------------------------

struct ConversionCase {
    const char *name;
    int stored;
    int first;
    std::vector<double> values;
    int wanted;
    int start;
    int end;
    int status;
    std::vector<double> expected;
};

std::ostream &operator<<(std::ostream &os, const ConversionCase &c) {
    return os << c.name;
}

// 14 August 1998 was a Friday. Aggregation mode 0: the mean of the
// non-missing values that fall into one period.
const ConversionCase kConversions[] = {
    // Business days on their calendar days; Saturday and Sunday are missing.
    {"BusinessAsDaily", 61, 19980813, {1, 2, 3, 4}, 60, 19980813, 19980818, 0, {1, 2, M, M, 3, 4}},
    {"BusinessAsDailyKeepsMissing", 61, 19980814, {M, 5}, 60, 19980814, 19980817, 0, {M, M, M, 5}},
    {"BusinessAsDailyFromAWeekend", 61, 19980814, {1, 2}, 60, 19980815, 19980817, 0, {M, M, 2}},
    // Saturday and Sunday count into the following Monday.
    {"DailyAsBusiness", 60, 19980814, {1, 2, 3, 4, 5}, 61, 19980814, 19980818, 0, {1, 3, 5}},
    // Days and business days into the week that holds them.
    {"DailyAsWeekly", 60, 19980810, {1, 2, 3, 4, 5, 6, 7}, 57, 19980810, 19980816, 0, {4}},
    {"BusinessAsWeekly", 61, 19980810, {1, 2, 3, 4, 5}, 53, 19980812, 19980819, 0, {2, 4.5}},
    {"BusinessAsWeeklyEndingInside", 61, 19980810, {1, 2, 3, 4, 5}, 55, 19980810, 19980812, 0, {3}},
    // A week into the week of the other code that holds its last day.
    {"WeeklyAsOtherWeekly", 57, 19980809, {1, 2}, 51, 19980809, 19980817, 0, {1, 2}},
    // Nothing to spread a week or a month over days.
    {"WeeklyAsDaily", 57, 19980809, {1, 2}, 60, 19980809, 19980816, TQVS_HIGHER_FREQUENCY, {}},
    {"WeeklyAsBusiness", 55, 19980807, {1, 2}, 61, 19980803, 19980814, TQVS_HIGHER_FREQUENCY, {}},
    {"MonthlyAsWeekly", 40, 199807, {1, 2}, 57, 19980801, 19980831, TQVS_HIGHER_FREQUENCY, {}},
};

class ConversionTest : public StandinTest, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(ConversionTest, GivesTheSeriesAtTheWantedFrequency) {
    const ConversionCase &c = GetParam();
    ASSERT_EQ(0, tqvs_add_database("alpha"));
    addSeries("alpha", "S", c.stored, c.first, c.values);
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    ASSERT_EQ(0, TQVSetAggregationMode(0));
    // The count cell sized as a host sizes it: by the window's period count.
    const int n = TQVGetObsNum(c.start, c.end, c.wanted);
    std::vector<double> row(static_cast<std::size_t>(n > 0 ? n : 1), -3);
    int count = n;
    ASSERT_EQ(c.status,
              TQVGetDataCount("alpha", "S", c.start, c.end, c.wanted, row.data(), &count));
    if (c.status != 0)
        return;
    EXPECT_EQ(static_cast<int>(c.expected.size()), n);
    EXPECT_EQ(n, count);
    EXPECT_THAT(row, ElementsAreArray(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Table, ConversionTest, ::testing::ValuesIn(kConversions),
                         kovrap_test::caseName<ConversionCase>);

} // namespace
