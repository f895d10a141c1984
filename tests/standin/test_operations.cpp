// The library operations of the stand-ins: settings, opening, walking,
// information records, the direct chunk protocol, name listing and log-in.
#include "../../standin/engine/store.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>
#include <ostream>

using kovrap_test::StandinTest;
using ::testing::ElementsAre;

namespace {

int readInt(const char *record, int offset) {
    int v = 0;
    std::memcpy(&v, record + offset, sizeof v);
    return v;
}

// ---- settings and version -----------------------------------------------

TEST_F(StandinTest, SettingsAreKeptPerLibrary) {
    EXPECT_EQ(0, TQVEnableRetries(1));
    EXPECT_EQ(0, TQVDEnableAnsi(1));
    EXPECT_EQ(0, TQVSetMergeData(3));
    EXPECT_EQ(0, TQVDSetMergeData(1));
    EXPECT_EQ(3, TQVGetMergeData());
    EXPECT_EQ(1, TQVDGetMergeData());
    EXPECT_EQ(1, tqvs_retries(0));
    EXPECT_EQ(0, tqvs_retries(1));
    EXPECT_EQ(0, tqvs_ansi(0));
    EXPECT_EQ(1, tqvs_ansi(1));
}

TEST_F(StandinTest, AggregationModeTakesOnlyTheFourModes) {
    EXPECT_EQ(0, TQVGetAggregationMode());
    EXPECT_EQ(0, TQVSetAggregationMode(3));
    EXPECT_EQ(3, TQVGetAggregationMode());
    EXPECT_EQ(0, TQVDGetAggregationMode());
    for (int bad : {-1, 4, 100}) {
        EXPECT_EQ(TQVS_BAD_OPERATION, TQVSetAggregationMode(bad));
        EXPECT_EQ(3, tqvs_aggregation_mode(0));
    }
    EXPECT_EQ(0, TQVDSetAggregationMode(2));
    EXPECT_EQ(2, TQVDGetAggregationMode());
}

TEST_F(StandinTest, VersionTextFitsTheBuffer) {
    char text[20];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(0, TQVGetVersion(text, 20));
    EXPECT_STREQ("tqvapi64 standin 1", text);
    EXPECT_EQ(0, TQVDGetVersion(text, 20));
    EXPECT_STREQ("tqvdapi64 standin 1", text);
    char small[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(0, TQVGetVersion(small, 4));
    EXPECT_STREQ("tqv", small);
    EXPECT_EQ('x', small[4]);
    EXPECT_EQ(0, TQVGetVersion(small, 0));
    EXPECT_STREQ("tqv", small);
    tqvs_set_version(1, "a version text longer than nineteen");
    EXPECT_EQ(0, TQVDGetVersion(text, 20));
    EXPECT_STREQ("a version text long", text);
    // Only the direct text changed.
    EXPECT_EQ(0, TQVGetVersion(text, 20));
    EXPECT_STREQ("tqvapi64 standin 1", text);
}

// ---- open and close -----------------------------------------------------

TEST_F(StandinTest, OpenMakesTheLastOpenedDatabaseCurrent) {
    addDatabase("alpha", {"A1"});
    addDatabase("beta", {"B1"});
    char record[256];
    EXPECT_EQ(TQVS_NOT_OPEN, TQVGetInfo(0, "A1", record));
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    ASSERT_EQ(0, TQVOpenDatabase("beta"));
    EXPECT_EQ(2, tqvs_open_count(0));
    EXPECT_EQ(0, tqvs_open_count(1));
    EXPECT_EQ(TQVS_NOT_FOUND, TQVGetInfo(0, "A1", record));
    EXPECT_EQ(0, TQVGetInfo(0, "B1", record));
    ASSERT_EQ(0, TQVOpenDatabase("alpha")); // reopening does not add a second entry
    EXPECT_EQ(2, tqvs_open_count(0));
    EXPECT_EQ(0, TQVGetInfo(0, "A1", record));
}

TEST_F(StandinTest, FailedOpenLeavesNoCurrentDatabaseButKeepsTheOthersOpen) {
    addDatabase("alpha", {"A1"});
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVOpenDatabase("no such database here"));
    char record[256];
    EXPECT_EQ(TQVS_NOT_OPEN, TQVGetInfo(0, "A1", record));
    EXPECT_EQ(1, tqvs_open_count(0));
    double row[1];
    int count = 1;
    EXPECT_EQ(0, TQVGetDataCount("alpha", "A1", 202001, 202001, 40, row, &count));
}

TEST_F(StandinTest, CloseClosesEveryDatabaseOfThatLibrary) {
    addDatabase("alpha", {"A1"});
    addDatabase("beta", {"B1"});
    tqvs_set_logged_in(1);
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    ASSERT_EQ(0, TQVOpenDatabase("beta"));
    ASSERT_EQ(0, TQVDOpenDatabase("alpha"));
    EXPECT_EQ(0, TQVCloseDatabase());
    EXPECT_EQ(0, tqvs_open_count(0));
    EXPECT_EQ(1, tqvs_open_count(1));
    char record[256];
    EXPECT_EQ(TQVS_NOT_OPEN, TQVGetInfo(0, "B1", record));
    double row[1];
    int count = 1;
    EXPECT_EQ(TQVS_NOT_OPEN, TQVGetDataCount("alpha", "A1", 202001, 202001, 40, row, &count));
}

// ---- TQVGetNextVar ---------------------------------------------------------

TEST_F(StandinTest, GetNextVarWalksTheDatabaseInStoredOrder) {
    addDatabase("alpha", {"C3", "A1", "B2"});
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    char record[256];
    std::vector<std::string> walked;
    int status = TQVGetNextVar("alpha", nullptr, record);
    while (status == 0) {
        walked.emplace_back(record);
        char previous[10];
        std::memcpy(previous, record, sizeof previous);
        status = TQVGetNextVar(nullptr, previous, record);
    }
    EXPECT_EQ(TQVS_NOT_FOUND, status);
    EXPECT_THAT(walked, ElementsAre("C3", "A1", "B2"));
}

// The walk remembers where the code it returned last stands, but the caller
// may name any code: the step goes on from that code's place.
TEST_F(StandinTest, GetNextVarGoesOnFromAnyCodeAndIntoSeriesAddedMeanwhile) {
    addDatabase("alpha", {"C3", "A1", "B2", "D4"});
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    char record[256];
    ASSERT_EQ(0, TQVGetNextVar("alpha", nullptr, record));
    ASSERT_EQ(0, TQVGetNextVar(nullptr, "C3", record));
    ASSERT_EQ(0, TQVGetNextVar(nullptr, "A1", record));
    EXPECT_STREQ("B2", record);
    ASSERT_EQ(0, TQVGetNextVar(nullptr, "C3", record)); // back to an earlier code
    EXPECT_STREQ("A1", record);
    ASSERT_EQ(0, TQVGetNextVar(nullptr, "B2", record)); // ahead of the last one
    EXPECT_STREQ("D4", record);
    EXPECT_EQ(TQVS_NOT_FOUND, TQVGetNextVar(nullptr, "D4", record));
    // A series added to the open database, and one replaced in its place.
    addSeries("alpha", "E5", 40, 202001, {5});
    addSeries("alpha", "A1", 40, 202001, {9});
    ASSERT_EQ(0, TQVGetNextVar(nullptr, "D4", record));
    EXPECT_STREQ("E5", record);
    ASSERT_EQ(0, TQVGetNextVar(nullptr, "A1", record));
    EXPECT_STREQ("B2", record);
}

// A large database is walked whole, each code once and in stored order;
// lookups by code find every series.
TEST_F(StandinTest, GetNextVarWalksALargeDatabase) {
    constexpr int kSeries = 50000;
    ASSERT_EQ(0, tqvs_add_database("big"));
    for (int i = 0; i < kSeries; ++i) {
        const std::string code = "S" + std::to_string((i * 7919) % kSeries);
        const double v = i;
        ASSERT_EQ(0, tqvs_add_series("big", code.c_str(), 10, 2000, 2000, &v, 1));
    }
    ASSERT_EQ(0, TQVOpenDatabase("big"));
    char record[256];
    int walked = 0;
    int status = TQVGetNextVar("big", nullptr, record);
    while (status == 0) {
        ASSERT_EQ("S" + std::to_string((walked * 7919) % kSeries), std::string(record));
        ++walked;
        char previous[10];
        std::memcpy(previous, record, sizeof previous);
        status = TQVGetNextVar(nullptr, previous, record);
    }
    EXPECT_EQ(TQVS_NOT_FOUND, status);
    EXPECT_EQ(kSeries, walked);
    EXPECT_EQ(kSeries + 1, tqvs_log_count("TQVGetNextVar"));
    double row[1] = {0};
    int count = 1;
    ASSERT_EQ(0, TQVGetDataCount("big", "S7919", 2000, 2000, 10, row, &count));
    EXPECT_EQ(1, row[0]);
}

// Loaders append to a database's list directly; the code index follows
// appends, and a list changed in other ways is indexed afresh.
TEST(StoreIndex, FollowsTheListOfSeries) {
    tqvs::Database db;
    const auto add = [&db](const char *code) {
        tqvs::Series s;
        s.code = code;
        db.series.push_back(s);
    };
    add("A");
    add("B");
    EXPECT_EQ(1u, db.position("B"));
    EXPECT_EQ(tqvs::Database::npos, db.position("C"));
    add("C");
    EXPECT_EQ(2u, db.position("C"));
    ASSERT_NE(nullptr, db.find("A"));
    EXPECT_EQ("A", db.find("A")->code);
    db.series.erase(db.series.begin()); // B, C
    EXPECT_EQ(0u, db.position("B"));
    EXPECT_EQ(1u, db.position("C"));
    EXPECT_EQ(tqvs::Database::npos, db.position("A"));
    db.series.clear();
    EXPECT_EQ(tqvs::Database::npos, db.position("B"));
    add("Z");
    EXPECT_EQ(0u, db.position("Z"));
}

TEST_F(StandinTest, GetNextVarErrors) {
    addDatabase("alpha", {"A1"});
    ASSERT_EQ(0, tqvs_add_database("empty"));
    char record[256];
    EXPECT_EQ(TQVS_NOT_OPEN, TQVGetNextVar("alpha", nullptr, record));
    EXPECT_EQ(TQVS_NOT_OPEN, TQVGetNextVar(nullptr, "A1", record)); // no walk begun
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    ASSERT_EQ(0, TQVOpenDatabase("empty"));
    EXPECT_EQ(TQVS_NOT_FOUND, TQVGetNextVar("empty", nullptr, record));
    ASSERT_EQ(0, TQVGetNextVar("alpha", nullptr, record));
    EXPECT_EQ(TQVS_NOT_FOUND, TQVGetNextVar(nullptr, "ZZ", record)); // unknown previous
    TQVCloseDatabase();
    EXPECT_EQ(TQVS_NOT_OPEN, TQVGetNextVar(nullptr, "A1", record));
}

// ---- information record ---------------------------------------------------

class RecordTest : public StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        ASSERT_EQ(0, tqvs_add_database("alpha"));
        const double values[3] = {1, 2, 3};
        ASSERT_EQ(0, tqvs_add_series("alpha", "ABCDEFGHI", 30, 20201, 20203, values, 3));
        const int attributes[6] = {11, 22, 33, 44, 55, -66};
        const std::string long84(100, 'g');
        const char *const texts[7] = {"t1",         "text two!", "abcdefghij",  nullptr,
                                      "fifth text", "six",       long84.c_str()};
        ASSERT_EQ(0, tqvs_set_attributes("alpha", "ABCDEFGHI", attributes, texts));
        ASSERT_EQ(0, TQVOpenDatabase("alpha"));
        std::memset(record, 0x7f, sizeof record);
    }
    char record[256];
};

TEST_F(RecordTest, FieldsSitAtTheirOffsets) {
    ASSERT_EQ(0, TQVGetInfo(0, "ABCDEFGHI", record));
    EXPECT_STREQ("ABCDEFGHI", record);
    EXPECT_EQ(20201, readInt(record, 10));
    EXPECT_EQ(20203, readInt(record, 14));
    EXPECT_EQ(11, readInt(record, 18));
    EXPECT_EQ(30, readInt(record, 22));
    EXPECT_EQ(22, readInt(record, 26));
    EXPECT_EQ(33, readInt(record, 30));
    EXPECT_EQ(44, readInt(record, 34));
    EXPECT_EQ(55, readInt(record, 38));
    EXPECT_EQ(-66, readInt(record, 42));
    EXPECT_STREQ("t1", record + 46);
    EXPECT_STREQ("text two!", record + 54);
    EXPECT_STREQ("abcdefg", record + 64); // 8 bytes: 7 characters and the NUL
    EXPECT_STREQ("", record + 72);
    EXPECT_STREQ("fifth text", record + 80);
    EXPECT_STREQ("six", record + 162);
    EXPECT_EQ(std::string(83, 'g'), record + 172);
    EXPECT_EQ(0, record[255]);
}

TEST_F(RecordTest, RecordIsWrittenOnlyOnSuccess) {
    EXPECT_EQ(TQVS_NOT_FOUND, TQVGetInfo(0, "NOPE", record));
    EXPECT_EQ(0x7f, record[0]);
    ASSERT_EQ(0, tqvs_set_info_status("alpha", "ABCDEFGHI", 5));
    EXPECT_EQ(5, TQVGetInfo(0, "ABCDEFGHI", record));
    EXPECT_EQ(0x7f, record[0]);
    EXPECT_EQ(0x7f, record[255]);
}

TEST_F(RecordTest, RawRecordReplacesTheBuiltOne) {
    unsigned char raw[256];
    for (int i = 0; i < 256; ++i)
        raw[i] = static_cast<unsigned char>(255 - i);
    ASSERT_EQ(0, tqvs_set_record("alpha", "ABCDEFGHI", raw));
    ASSERT_EQ(0, TQVGetInfo(0, "ABCDEFGHI", record));
    EXPECT_EQ(0, std::memcmp(raw, record, 256));
    ASSERT_EQ(0, TQVGetNextVar("alpha", nullptr, record));
    EXPECT_EQ(0, std::memcmp(raw, record, 256));
}

TEST_F(RecordTest, StoreCallsReportMissingDatabasesAndSeries) {
    const double v = 1;
    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, tqvs_add_series("beta", "X", 10, 2000, 2000, &v, 1));
    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, tqvs_set_info_status("beta", "X", 1));
    EXPECT_EQ(TQVS_NOT_FOUND, tqvs_set_info_status("alpha", "X", 1));
    EXPECT_EQ(TQVS_NOT_FOUND, tqvs_set_attributes("alpha", "X", nullptr, nullptr));
    EXPECT_EQ(TQVS_NOT_FOUND, tqvs_set_record("alpha", "X", nullptr));
}

// ---- direct chunk protocol --------------------------------------------------

class DirectTest : public StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        addDatabase("alpha", {"A1", "B2", "C3", "X"});
        tqvs_set_logged_in(1);
        ASSERT_EQ(0, TQVDOpenDatabase("alpha"));
    }
    // Code answered by one direct information call, or its status.
    std::string info(const char *list) {
        char record[256] = {};
        const int status = TQVDGetInfo(0, list, record);
        return status == 0 ? std::string(record) : "status " + std::to_string(status);
    }
    // Value fetched for one direct data call (addDatabase numbered the
    // series 1, 2, 3, ...), or its status.
    std::string value(const char *list) {
        double row[1] = {0};
        int count = 1;
        const int status = TQVDGetDataCount("alpha", list, 202001, 202001, 40, row, &count);
        return status == 0 ? std::to_string(static_cast<int>(row[0]))
                           : "status " + std::to_string(status);
    }
};

TEST_F(DirectTest, ListThenNullsAnswerEachCodeInOrder) {
    EXPECT_EQ("C3", info("C3,A1,B2"));
    EXPECT_EQ("A1", info(nullptr));
    EXPECT_EQ("B2", info(nullptr));
    EXPECT_EQ("status 4", info(nullptr));
    EXPECT_EQ("status 4", info(nullptr));
}

TEST_F(DirectTest, EmptyItemsAreCodesOfTheirOwn) {
    EXPECT_EQ("status 1", info("")); // one empty code, not found
    EXPECT_EQ("status 4", info(nullptr));
    EXPECT_EQ("status 1", info(",X"));
    EXPECT_EQ("X", info(nullptr));
    EXPECT_EQ("status 4", info(nullptr));
    EXPECT_EQ("A1", info("A1,,"));
    EXPECT_EQ("status 1", info(nullptr));
    EXPECT_EQ("status 1", info(nullptr));
    EXPECT_EQ("status 4", info(nullptr));
}

TEST_F(DirectTest, NewListReplacesWhatIsLeftOfTheOldOne) {
    EXPECT_EQ("A1", info("A1,B2,C3"));
    EXPECT_EQ("C3", info("C3"));
    EXPECT_EQ("status 4", info(nullptr));
}

TEST_F(DirectTest, DataCallsFollowTheSameQueue) {
    EXPECT_EQ("3", value("C3,A1"));
    EXPECT_EQ("1", value(nullptr));
    EXPECT_EQ("status 4", value(nullptr));
    // A code that is not there still uses its turn.
    EXPECT_EQ("status 1", value("NOPE,B2"));
    EXPECT_EQ("2", value(nullptr));
}

TEST_F(DirectTest, QueuedCodeOfAMissingSeriesAnswersItsStatusAndMovesOn) {
    ASSERT_EQ(0, tqvs_set_info_status("alpha", "B2", 6));
    EXPECT_EQ("A1", info("A1,B2,C3"));
    EXPECT_EQ("status 6", info(nullptr));
    EXPECT_EQ("C3", info(nullptr));
}

TEST_F(DirectTest, InfoReadsTheCurrentDatabase) {
    addDatabase("beta", {"Q1"});
    ASSERT_EQ(0, TQVDOpenDatabase("beta"));
    EXPECT_EQ("status 1", info("A1,Q1"));
    EXPECT_EQ("Q1", info(nullptr));
    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVDOpenDatabase("gone"));
    EXPECT_EQ("status 2", info("Q1"));
}

// ---- TQVDGetNames -------------------------------------------------------------

TEST_F(DirectTest, NamesComeInBatchesThenEndOfNames) {
    addDatabase("many", {"N1", "N2", "N3", "N4", "N5"});
    ASSERT_EQ(0, TQVDOpenDatabase("many"));
    tqvs_set_names_batch(2);
    char out[64];
    std::vector<std::string> texts;
    ASSERT_EQ(0, TQVDGetNames("many", out));
    texts.emplace_back(out);
    int status = 0;
    while ((status = TQVDGetNames(nullptr, out)) == 0)
        texts.emplace_back(out);
    EXPECT_EQ(TQVS_END_OF_NAMES, status);
    EXPECT_THAT(texts, ElementsAre("N1,N2", "N3,N4", "N5"));
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(TQVS_END_OF_NAMES, TQVDGetNames(nullptr, out));
    EXPECT_EQ('z', out[0]);
}

TEST_F(DirectTest, NamesDefaultBatchHoldsAHundredCodes) {
    ASSERT_EQ(0, tqvs_add_database("big"));
    for (int i = 0; i < 150; ++i)
        addSeries("big", ("S" + std::to_string(i)).c_str(), 10, 2000, {1});
    ASSERT_EQ(0, TQVDOpenDatabase("big"));
    std::string out(2000, '\0');
    ASSERT_EQ(0, TQVDGetNames("big", &out[0]));
    const std::string first = out.c_str();
    EXPECT_EQ(99, std::count(first.begin(), first.end(), ','));
    EXPECT_EQ(0, first.rfind("S0,S1,", 0));
    ASSERT_EQ(0, TQVDGetNames(nullptr, &out[0]));
    EXPECT_EQ(0, std::string(out.c_str()).rfind("S100,", 0));
    EXPECT_EQ(TQVD_END_OF_NAMES, TQVDGetNames(nullptr, &out[0]));
}

TEST_F(DirectTest, NamesOfAnEmptyOrUnopenedDatabase) {
    ASSERT_EQ(0, tqvs_add_database("empty"));
    char out[16] = "untouched";
    EXPECT_EQ(TQVS_NOT_OPEN, TQVDGetNames("empty", out));
    ASSERT_EQ(0, TQVDOpenDatabase("empty"));
    EXPECT_EQ(TQVS_END_OF_NAMES, TQVDGetNames("empty", out));
    EXPECT_STREQ("untouched", out);
}

// ---- log-in ------------------------------------------------------------------

TEST_F(StandinTest, DirectDataOperationsNeedALogIn) {
    addDatabase("alpha", {"A1"});
    char record[256];
    char out[64];
    double row[1];
    int count = 1;
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, TQVDOpenDatabase("alpha"));
    EXPECT_EQ(0, tqvs_open_count(1));
    tqvs_set_logged_in(1);
    ASSERT_EQ(0, TQVDOpenDatabase("alpha"));
    tqvs_set_logged_in(0);
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, TQVDGetNames("alpha", out));
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, TQVDGetInfo(0, "A1", record));
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, TQVDGetDataCount("alpha", "A1", 202001, 202001, 40, row, &count));
    // The refused calls took no code: after log-in the list is still needed.
    tqvs_set_logged_in(1);
    EXPECT_EQ(TQVS_NO_CODE_PENDING, TQVDGetInfo(0, nullptr, record));
    // The local library has no log-in.
    tqvs_set_logged_in(0);
    EXPECT_EQ(0, TQVOpenDatabase("alpha"));
}

TEST_F(StandinTest, AuthenticateAcceptsOnlyTheSetCredentials) {
    tqvs_set_credentials("ann", "secret");
    struct Attempt {
        const char *user;
        const char *password;
        int expected;
    };
    const Attempt attempts[] = {
        {"ann", "wrong", TQVS_BAD_LOGIN},    {"bob", "secret", TQVS_BAD_LOGIN},
        {nullptr, "secret", TQVS_BAD_LOGIN}, {"ann", nullptr, TQVS_BAD_LOGIN},
        {"ANN", "secret", TQVS_BAD_LOGIN},   {"ann", "secret", 0},
    };
    for (const Attempt &a : attempts) {
        int status = -1;
        EXPECT_EQ(a.expected, TQVDAuthenticate(a.user, a.password, &status, "service"));
        EXPECT_EQ(a.expected, status);
        EXPECT_EQ(a.expected == 0 ? 1 : 0, tqvs_logged_in());
    }
    // A failed attempt logs out again; the status pointer may be null.
    EXPECT_EQ(TQVS_BAD_LOGIN, TQVDAuthenticate("ann", "nope", nullptr, nullptr));
    EXPECT_EQ(0, tqvs_logged_in());
    EXPECT_EQ(0, TQVDAuthenticate("ann", "secret", nullptr, nullptr));
    EXPECT_EQ(1, tqvs_logged_in());
}

TEST_F(StandinTest, ResetLogsOutAndForgetsStateAndStore) {
    addDatabase("alpha", {"A1"});
    tqvs_set_credentials("u", "p");
    int status = 0;
    ASSERT_EQ(0, TQVDAuthenticate("u", "p", &status, nullptr));
    ASSERT_EQ(0, TQVDOpenDatabase("alpha"));
    TQVSetMergeData(3);
    TQVDSetAggregationMode(1);
    TQVEnableRetries(1);
    tqvs_reset();
    EXPECT_EQ(0, tqvs_logged_in());
    EXPECT_EQ(0, tqvs_open_count(1));
    EXPECT_EQ(0, tqvs_merge_setting(0));
    EXPECT_EQ(0, tqvs_aggregation_mode(1));
    EXPECT_EQ(0, tqvs_retries(0));
    EXPECT_EQ(TQVS_BAD_LOGIN, TQVDAuthenticate("u", "p", &status, nullptr));
    tqvs_set_logged_in(1);
    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVDOpenDatabase("alpha"));
}

} // namespace
