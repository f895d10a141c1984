// Round trips through Kovrap and the stand-ins at the day-based frequencies:
// a common range whose end lies inside a week, business days beside daily
// series, and the windowed advanced count laid into a weekly row.
#include "Kovrap.h"
#include "info_host.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kovrap_test::InfoHost;
using kovrap_test::StandinTest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const double M = KOVRAP_MISSING;

// One c_kovraGetData call over the window the common range chose, without
// transformations; the rows, one per request.
std::vector<std::vector<double>> fetchRange(const std::vector<std::string> &codes,
                                            const char *database, int start, int end, int frequency,
                                            int count, int &error) {
    std::vector<const char *> c, n;
    for (const std::string &code : codes) {
        c.push_back(code.c_str());
        n.push_back(database);
    }
    const char *databases[1] = {database};
    const std::size_t rows = codes.size();
    std::vector<double> values(rows * static_cast<std::size_t>(count), -3);
    std::vector<int> code(rows, 0), zero(rows, 0);
    TransformArrays transforms{code.data(), zero.data(), zero.data(), zero.data(),
                               zero.data(), zero.data(), nullptr,     zero.data()};
    AdvancedWindows windows{zero.data(), zero.data()};
    c_kovraGetData(0, values.data(), c.data(), n.data(), databases, 1, static_cast<int>(rows),
                   start, end, frequency, 0, count, &transforms, &windows, &error);
    std::vector<std::vector<double>> result;
    for (std::size_t r = 0; r < rows; ++r)
        result.emplace_back(values.begin() + static_cast<std::ptrdiff_t>(r * count),
                            values.begin() + static_cast<std::ptrdiff_t>((r + 1) * count));
    return result;
}

class DayRoundTrip : public StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        // Monday 10 to Sunday 16 August 1998, and its business days.
        addSeries("days", "DLY", 60, 19980810, 19980816, {1, 2, 3, 4, 5, 6, 7});
        addSeries("days", "BIZ", 61, 19980810, 19980814, {10, 20, 30, 40, 50});
        const int attributes[6] = {1, 0, 0, 0, 0, 1};
        ASSERT_EQ(0, tqvs_set_attributes("days", "DLY", attributes, nullptr));
        ASSERT_EQ(0, tqvs_set_attributes("days", "BIZ", attributes, nullptr));
    }

    // The common range of the requests at a requested code and window.
    void range(InfoHost &host, const std::vector<std::string> &codes, int frequency, int start,
               int end) {
        host.range.computeRange = 1;
        host.requestedFrequency = frequency;
        host.start = start;
        host.end = end;
        host.query(0, codes, std::vector<std::string>(codes.size(), "days"), {"days"});
    }
};

// The lowest frequency over a daily and a business-day series is daily; the
// business-day series stays in the range and comes back on its calendar days.
TEST_F(DayRoundTrip, LowestOverDailyAndBusinessDaysIsDailyWithBusinessDaysOnTheirDays) {
    InfoHost host(2);
    range(host, {"DLY", "BIZ"}, 1000, -1, -1);
    ASSERT_EQ(60, host.requestedFrequency);
    EXPECT_THAT(host.exclusionCounts, ElementsAre(0, 0, 0));
    EXPECT_EQ(19980810, host.start);
    EXPECT_EQ(19980816, host.end);
    ASSERT_EQ(7, host.observationCount);
    int error = 0;
    const auto rows =
        fetchRange({"DLY", "BIZ"}, "days", host.start, host.end, 60, host.observationCount, error);
    ASSERT_EQ(0, error);
    EXPECT_THAT(rows[0], ElementsAre(1, 2, 3, 4, 5, 6, 7));
    EXPECT_THAT(rows[1], ElementsAre(10, 20, 30, 40, 50, M, M));
}

// A host end on a Friday inside a week ending Sunday: the range counts that
// week, and the fetch fills it.
TEST_F(DayRoundTrip, AnEndInsideAWeekKeepsThatWeek) {
    addSeries("days", "WK", 57, 19980802, 19980823, {100, 200, 300, 400});
    const int attributes[6] = {1, 0, 0, 0, 0, 1};
    ASSERT_EQ(0, tqvs_set_attributes("days", "WK", attributes, nullptr));
    InfoHost host(1);
    range(host, {"WK"}, 57, 19980803, 19980814);
    ASSERT_EQ(57, host.requestedFrequency);
    EXPECT_EQ(19980803, host.start);
    EXPECT_EQ(19980814, host.end);
    ASSERT_EQ(2, host.observationCount); // the weeks ending 9 and 16 August
    std::vector<int> dates(2, 0);
    c_kovraDateSeq(dates.data(), host.start, host.observationCount, 57);
    EXPECT_THAT(dates, ElementsAre(19980809, 19980816));
    int error = 0;
    const auto rows =
        fetchRange({"WK"}, "days", host.start, host.end, 57, host.observationCount, error);
    ASSERT_EQ(0, error);
    EXPECT_THAT(rows[0], ElementsAre(200, 300));
}

// The windowed advanced count at a weekly code: the computation window
// starts after the requested one and ends before it, and the segments that
// Kovrap counts from the days seven days before S and after T fill the row
// exactly.
TEST_F(DayRoundTrip, WindowedCountLaysItsWeeksIntoAWeeklyRow) {
    // Weeks ending Sunday: requested 2 August to 13 September 1998 (seven
    // weeks), computed 16 to 30 August (three weeks).
    const std::vector<double> computed = {7, 8, 9};
    tqvs_script_values("TQVApplyAdvancedCount", computed.data(), 3);
    std::vector<int> code = {1792}, zero = {0};
    TransformArrays transforms{code.data(), zero.data(), zero.data(), zero.data(),
                               zero.data(), zero.data(), nullptr,     zero.data()};
    std::vector<double> row(7, -3);
    ASSERT_EQ(0, ZOZurevAdvancedCount(0, &transforms, 0, 19980816, 19980830, 19980802, 19980913, 57,
                                      row.data(), 7));
    EXPECT_THAT(row, ElementsAreArray({M, M, 7.0, 8.0, 9.0, M, M}));
}

} // namespace
