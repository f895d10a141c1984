// TQVGetDataCount / TQVDGetDataCount: window checks, copying at the stored
// frequency, aggregation to lower frequencies, and databases read from
// files of the data directory.
#include "../../standin/engine/dbfile.h"
#include "aggregation.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

using kovrap_test::combinePeriod;
using kovrap_test::kMissingValue;
using kovrap_test::StandinTest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

const double M = kMissingValue;

// ---- status checks ------------------------------------------------------

struct StatusCase {
    const char *title;
    const char *database;
    const char *code;
    int start;
    int end;
    int frequency;
    int count;
    int expected;
};

std::ostream &operator<<(std::ostream &os, const StatusCase &c) {
    return os << c.title;
}

const StatusCase kStatuses[] = {
    {"DatabaseNotOpen", "beta", "M", 200001, 200012, 40, 12, TQVS_NOT_OPEN},
    {"NullDatabase", nullptr, "M", 200001, 200012, 40, 12, TQVS_NOT_OPEN},
    {"NoSuchSeries", "alpha", "NOPE", 200001, 200012, 40, 12, TQVS_NOT_FOUND},
    {"NullCode", "alpha", nullptr, 200001, 200012, 40, 12, TQVS_NOT_FOUND},
    {"UnknownFrequency", "alpha", "M", 200001, 200012, 20, 12, TQVS_BAD_FREQUENCY},
    {"HigherDaily", "alpha", "M", 20000101, 20000131, 60, 31, TQVS_HIGHER_FREQUENCY},
    {"HigherWeekly", "alpha", "M", 20000101, 20000131, 57, 31, TQVS_HIGHER_FREQUENCY},
    {"EndBeforeStart", "alpha", "M", 200005, 200004, 40, 12, TQVS_BAD_WINDOW},
    {"EndFarBeforeStart", "alpha", "M", 200005, 199904, 40, 12, TQVS_BAD_WINDOW},
    {"CountOneShort", "alpha", "M", 200001, 200012, 40, 11, TQVS_SHORT_BUFFER},
    {"CountZero", "alpha", "M", 200001, 200001, 40, 0, TQVS_SHORT_BUFFER},
    {"CountNegative", "alpha", "A", 2000, 2000, 10, -1, TQVS_SHORT_BUFFER},
};

class FetchStatusTest : public StandinTest, public ::testing::WithParamInterface<StatusCase> {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        ASSERT_EQ(0, tqvs_add_database("alpha"));
        addSeries("alpha", "M", 40, 200001, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
        addSeries("alpha", "A", 10, 2000, {5});
        ASSERT_EQ(0, tqvs_add_database("beta"));
        ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    }
};

TEST_P(FetchStatusTest, FailsWithoutWriting) {
    const StatusCase &c = GetParam();
    std::vector<double> row(40, -3);
    int count = c.count;
    EXPECT_EQ(c.expected,
              TQVGetDataCount(c.database, c.code, c.start, c.end, c.frequency, row.data(), &count));
    EXPECT_EQ(c.count, count);
    EXPECT_EQ(std::vector<double>(40, -3), row);
}

INSTANTIATE_TEST_SUITE_P(Table, FetchStatusTest, ::testing::ValuesIn(kStatuses),
                         [](const auto &param) { return std::string(param.param.title); });

// ---- stored frequency -----------------------------------------------------

TEST_F(StandinTest, WindowAtTheStoredFrequencyPadsWithMissingValues) {
    ASSERT_EQ(0, tqvs_add_database("alpha"));
    addSeries("alpha", "Q", 30, 20001, {1, M, 3});
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    std::vector<double> row(10, -3);
    int count = 10;
    ASSERT_EQ(0, TQVGetDataCount("alpha", "Q", 19993, 20012, 30, row.data(), &count));
    EXPECT_EQ(8, count);
    EXPECT_THAT(row, ElementsAre(M, M, 1, M, 3, M, M, M, -3, -3));
    // A window wholly outside the series is all missing.
    count = 2;
    ASSERT_EQ(0, TQVGetDataCount("alpha", "Q", 20051, 20052, 30, row.data(), &count));
    EXPECT_EQ(M, row[0]);
    EXPECT_EQ(M, row[1]);
}

TEST_F(StandinTest, EmptySeriesGivesMissingValues) {
    ASSERT_EQ(0, tqvs_add_database("alpha"));
    ASSERT_EQ(0, tqvs_add_series("alpha", "E", 40, 0, 0, nullptr, 0));
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    double row[2] = {0, 0};
    int count = 2;
    ASSERT_EQ(0, TQVGetDataCount("alpha", "E", 202001, 202002, 40, row, &count));
    EXPECT_THAT(row, ElementsAre(M, M));
}

// ---- aggregation ------------------------------------------------------------

class AggregationTest : public StandinTest, public ::testing::WithParamInterface<int> {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        ASSERT_EQ(0, tqvs_add_database("alpha"));
        // Monthly, January 1999 to December 2001; the second quarter of 2000
        // is wholly missing, a few other months too.
        for (int i = 0; i < 36; ++i)
            monthly.push_back(i == 0 || i == 7 || (i >= 15 && i <= 17) || i == 35 ? M
                                                                                  : 1.5 * i + 2);
        addSeries("alpha", "MON", 40, 199901, monthly);
        // Daily, 1 January to 28 February 2023 (1 January is a Sunday).
        for (int i = 0; i < 59; ++i)
            daily.push_back(i % 10 == 3 ? M : i + 1);
        addSeries("alpha", "DAY", 60, 20230101, daily);
        ASSERT_EQ(0, TQVOpenDatabase("alpha"));
        ASSERT_EQ(0, TQVSetAggregationMode(GetParam()));
    }

    std::vector<double> fetch(const char *code, int start, int end, int frequency) {
        std::vector<double> row(64, -3);
        int count = 64;
        EXPECT_EQ(0, TQVGetDataCount("alpha", code, start, end, frequency, row.data(), &count));
        row.resize(static_cast<std::size_t>(count));
        return row;
    }

    std::vector<double> monthly;
    std::vector<double> daily;
};

TEST_P(AggregationTest, MonthlyToQuarterly) {
    std::vector<double> expected;
    for (int q = 0; q < 12; ++q)
        expected.push_back(
            combinePeriod({monthly.begin() + 3 * q, monthly.begin() + 3 * q + 3}, GetParam(), M));
    EXPECT_THAT(fetch("MON", 19991, 20014, 30), ElementsAreArray(expected));
    EXPECT_EQ(M, expected[5]); // the all-missing quarter
}

TEST_P(AggregationTest, MonthlyToAnnualWithAWindowBeyondTheSeries) {
    std::vector<double> expected = {M};
    for (int y = 0; y < 3; ++y)
        expected.push_back(combinePeriod({monthly.begin() + 12 * y, monthly.begin() + 12 * y + 12},
                                         GetParam(), M));
    expected.push_back(M);
    EXPECT_THAT(fetch("MON", 1998, 2002, 10), ElementsAreArray(expected));
}

TEST_P(AggregationTest, DailyToWeeksEndingSunday) {
    // Week k (0-based) ends on 1 January + 7k days: day i belongs to week
    // (i + 6) / 7.
    std::vector<std::vector<double>> weeks(10);
    for (int i = 0; i < 59; ++i)
        weeks[static_cast<std::size_t>((i + 6) / 7)].push_back(daily[static_cast<std::size_t>(i)]);
    std::vector<double> expected;
    for (const auto &w : weeks)
        expected.push_back(combinePeriod(w, GetParam(), M));
    EXPECT_THAT(fetch("DAY", 20230101, 20230305, 57), ElementsAreArray(expected));
}

TEST_P(AggregationTest, DailyToMonthly) {
    const std::vector<double> january(daily.begin(), daily.begin() + 31);
    const std::vector<double> february(daily.begin() + 31, daily.end());
    EXPECT_THAT(
        fetch("DAY", 202301, 202302, 40),
        ElementsAre(combinePeriod(january, GetParam(), M), combinePeriod(february, GetParam(), M)));
}

// Saturday and Sunday end before the following Monday's business day does,
// so they are counted into it.
TEST_P(AggregationTest, DailyToBusinessDaysFoldsTheWeekendIntoMonday) {
    const std::vector<double> monday(daily.begin() + 6, daily.begin() + 9); // 7, 8, 9 January
    const std::vector<double> row = fetch("DAY", 20230106, 20230110, 61);
    ASSERT_EQ(3u, row.size());
    EXPECT_EQ(daily[5], row[0]);
    EXPECT_EQ(combinePeriod(monday, GetParam(), M), row[1]);
    EXPECT_EQ(daily[9], row[2]);
}

INSTANTIATE_TEST_SUITE_P(Modes, AggregationTest, ::testing::Values(0, 1, 2, 3));

TEST_F(StandinTest, EachLibraryAggregatesByItsOwnMode) {
    ASSERT_EQ(0, tqvs_add_database("alpha"));
    addSeries("alpha", "MON", 40, 202001, {1, 2, 6});
    tqvs_set_logged_in(1);
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    ASSERT_EQ(0, TQVDOpenDatabase("alpha"));
    ASSERT_EQ(0, TQVSetAggregationMode(0));
    ASSERT_EQ(0, TQVDSetAggregationMode(1));
    double row[1] = {0};
    int count = 1;
    ASSERT_EQ(0, TQVGetDataCount("alpha", "MON", 20201, 20201, 30, row, &count));
    EXPECT_EQ(3, row[0]);
    ASSERT_EQ(0, TQVDGetDataCount("alpha", "MON", 20201, 20201, 30, row, &count));
    EXPECT_EQ(9, row[0]);
}

TEST_F(StandinTest, WeeklyCodesDoNotGoToDaysButToOtherWeeks) {
    ASSERT_EQ(0, tqvs_add_database("alpha"));
    addSeries("alpha", "WK", 57, 20230101, {1, 2, 3});
    addSeries("alpha", "BD", 61, 20230102, {1, 2, 3});
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    double row[8];
    int count = 8;
    EXPECT_EQ(TQVS_HIGHER_FREQUENCY,
              TQVGetDataCount("alpha", "WK", 20230101, 20230108, 60, row, &count));
    // Business days, unlike weeks, are days: they keep their calendar days.
    ASSERT_EQ(0, TQVGetDataCount("alpha", "BD", 20230102, 20230104, 60, row, &count));
    EXPECT_EQ(3, count);
    EXPECT_THAT(std::vector<double>(row, row + 3), ElementsAre(1, 2, 3));
    count = 8;
    // Weeks ending Sunday 8 January fall into weeks ending Monday 9 January.
    ASSERT_EQ(0, TQVGetDataCount("alpha", "WK", 20230102, 20230116, 51, row, &count));
    EXPECT_EQ(3, count);
    EXPECT_THAT(std::vector<double>(row, row + 3), ElementsAre(1, 2, 3));
}

// ---- database files -------------------------------------------------------------

void setEnvironment(const char *name, const std::string &value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}

std::string executableFolder() {
#ifdef _WIN32
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::filesystem::path(std::string(path, n)).parent_path().string();
#else
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
#endif
}

void writeFile(const std::filesystem::path &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string sampleDatabase() {
    tqvs::Database db;
    db.name = "sample";
    tqvs::Series s;
    s.code = "GDP";
    s.frequency = 30;
    s.first = 20201;
    s.last = 20204;
    s.values = {10, 11, M, 13};
    db.series.push_back(s);
    return tqvs::formatDatabase(db);
}

class FileTest : public StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        const char *old = std::getenv("TQVD_DATA_DIR");
        saved = old == nullptr ? "" : old;
        folder = std::filesystem::temp_directory_path() /
                 ("tqvs_data_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
        setEnvironment("TQVD_DATA_DIR", folder.string());
        writeFile(folder / "sample.tqvdb", sampleDatabase());
        writeFile(folder / "broken.tqvdb", "this is not a database\n");
    }
    void TearDown() override {
        setEnvironment("TQVD_DATA_DIR", saved);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        StandinTest::TearDown();
    }

    static std::vector<double> fetchGdp(int direct, const char *database) {
        std::vector<double> row(4, -3);
        int count = 4;
        const int status =
            direct ? TQVDGetDataCount(database, "GDP", 20201, 20204, 30, row.data(), &count)
                   : TQVGetDataCount(database, "GDP", 20201, 20204, 30, row.data(), &count);
        EXPECT_EQ(0, status);
        return row;
    }

    std::string saved;
    std::filesystem::path folder;
};

TEST_F(FileTest, DirectLibraryReadsDatabasesOfTheDataFolder) {
    tqvs_set_logged_in(1);
    ASSERT_EQ(0, TQVDOpenDatabase("sample"));
    EXPECT_THAT(fetchGdp(1, "sample"), ElementsAre(10, 11, M, 13));
    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVDOpenDatabase("absent"));
    EXPECT_EQ(TQVS_BAD_DATABASE, TQVDOpenDatabase("broken"));
    EXPECT_EQ(1, tqvs_open_count(1));
    char record[256];
    EXPECT_EQ(TQVS_NOT_OPEN, TQVDGetInfo(0, "GDP", record));
}

TEST_F(FileTest, LocalLibraryOpensPathsWithOrWithoutTheExtension) {
    const std::string full = (folder / "sample.tqvdb").string();
    const std::string bare = (folder / "sample").string();
    ASSERT_EQ(0, TQVOpenDatabase(full.c_str()));
    EXPECT_THAT(fetchGdp(0, full.c_str()), ElementsAre(10, 11, M, 13));
    ASSERT_EQ(0, TQVOpenDatabase(bare.c_str()));
    EXPECT_THAT(fetchGdp(0, bare.c_str()), ElementsAre(10, 11, M, 13));
    EXPECT_EQ(2, tqvs_open_count(0));
    // The local library does not look into the data folder by name.
    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVOpenDatabase("sample"));
    EXPECT_EQ(TQVS_BAD_DATABASE, TQVOpenDatabase((folder / "broken").string().c_str()));
    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVOpenDatabase(folder.string().c_str()));
    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVOpenDatabase(""));
}

TEST_F(FileTest, InMemoryDatabaseComesBeforeAFileOfTheSameName) {
    ASSERT_EQ(0, tqvs_add_database("sample"));
    addSeries("sample", "GDP", 30, 20201, {1, 2, 3, 4});
    tqvs_set_logged_in(1);
    ASSERT_EQ(0, TQVDOpenDatabase("sample"));
    EXPECT_THAT(fetchGdp(1, "sample"), ElementsAre(1, 2, 3, 4));
}

TEST_F(FileTest, CredentialsFileAcceptsItsLines) {
    writeFile(folder / "credentials", "ann:pw one\r\nbob:x:y\n\n");
    struct Attempt {
        const char *user;
        const char *password;
        int expected;
    };
    const Attempt attempts[] = {
        {"ann", "pw one", 0},         {"bob", "x:y", 0},        {"ann", "pw", TQVS_BAD_LOGIN},
        {"bob", "x", TQVS_BAD_LOGIN}, {"", "", TQVS_BAD_LOGIN},
    };
    for (const Attempt &a : attempts) {
        int status = -1;
        EXPECT_EQ(a.expected, TQVDAuthenticate(a.user, a.password, &status, nullptr)) << a.user;
        EXPECT_EQ(a.expected, status);
    }
}

TEST_F(FileTest, DefaultDataFolderIsBesideTheLibrary) {
    setEnvironment("TQVD_DATA_DIR", "");
    const std::filesystem::path beside = std::filesystem::path(executableFolder()) / "tqvdata";
    const bool existed = std::filesystem::exists(beside);
    std::filesystem::create_directories(beside);
    const std::string name =
        "standin_probe_" + std::to_string(reinterpret_cast<std::uintptr_t>(this));
    writeFile(beside / (name + ".tqvdb"), sampleDatabase());
    tqvs_set_logged_in(1);
    const int status = TQVDOpenDatabase(name.c_str());
    // Read while the folder is there: the log-in belongs to the folder, and
    // ends with it.
    const std::vector<double> row = status == 0 ? fetchGdp(1, name.c_str()) : std::vector<double>();
    std::error_code ignored;
    std::filesystem::remove(beside / (name + ".tqvdb"), ignored);
    if (!existed)
        std::filesystem::remove(beside, ignored);
    ASSERT_EQ(0, status);
    EXPECT_THAT(row, ElementsAre(10, 11, M, 13));
}

} // namespace
