// The call journal, fault injection and value scripts of the stand-ins.
#include "standin_fixture.h"

#include <gmock/gmock.h>

#include <functional>
#include <ostream>

using kovrap_test::journal;
using kovrap_test::lastEntry;
using kovrap_test::StandinTest;
using ::testing::ElementsAre;

namespace {

class JournalTest : public StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        addDatabase("alpha", {"A1", "B2", "C3"});
        tqvs_set_logged_in(1);
    }
};

struct EntryCase {
    const char *title;
    std::function<void()> call;
    const char *entry;
};

std::ostream &operator<<(std::ostream &os, const EntryCase &c) {
    return os << c.title;
}

char gRecord[256];
double gValues[16];
char gText[32];

const EntryCase kEntries[] = {
    {"EnableRetries", [] { TQVEnableRetries(1); }, "TQVEnableRetries(1) -> 0"},
    {"DirectEnableAnsi", [] { TQVDEnableAnsi(0); }, "TQVDEnableAnsi(0) -> 0"},
    {"GetMergeDataResult",
     [] {
         TQVSetMergeData(3);
         TQVGetMergeData();
     },
     "TQVGetMergeData() -> 3"},
    {"OpenDatabase", [] { TQVOpenDatabase("alpha"); }, "TQVOpenDatabase(\"alpha\") -> 0"},
    {"OpenNull", [] { TQVOpenDatabase(nullptr); }, "TQVOpenDatabase(null) -> 10"},
    {"CloseDatabase", [] { TQVDCloseDatabase(); }, "TQVDCloseDatabase() -> 0"},
    {"GetNextVarFirst",
     [] {
         TQVOpenDatabase("alpha");
         TQVGetNextVar("alpha", nullptr, gRecord);
     },
     "TQVGetNextVar(\"alpha\", null, out) -> 0"},
    {"GetInfoLocal",
     [] {
         TQVOpenDatabase("alpha");
         TQVGetInfo(0, "B2", gRecord);
     },
     "TQVGetInfo(0, \"B2\", out) -> 0"},
    {"GetInfoDirectList",
     [] {
         TQVDOpenDatabase("alpha");
         TQVDGetInfo(0, "A1,C3", gRecord);
     },
     "TQVDGetInfo(0, \"A1,C3\", out) -> 0"},
    {"GetInfoDirectNull",
     [] {
         TQVDOpenDatabase("alpha");
         TQVDGetInfo(0, "A1,C3", gRecord);
         TQVDGetInfo(0, nullptr, gRecord);
     },
     "TQVDGetInfo(0, null, out) -> 0"},
    {"GetDataCountEntryValueOfCount",
     [] {
         TQVOpenDatabase("alpha");
         int count = 12;
         TQVGetDataCount("alpha", "A1", 200001, 200012, 40, gValues, &count);
     },
     "TQVGetDataCount(\"alpha\", \"A1\", 200001, 200012, 40, out, &12) -> 0"},
    {"GetDataCountNullPointers",
     [] { TQVGetDataCount("alpha", "A1", 200001, 200012, 40, nullptr, nullptr); },
     "TQVGetDataCount(\"alpha\", \"A1\", 200001, 200012, 40, null, null) -> 2"},
    {"ApplyAdvancedCount",
     [] {
         const TQVAdvancedOperation operation = {1792, 0, 4, 0};
         int count = 0;
         TQVApplyAdvancedCount(&operation, 200001, 200012, 40, gValues, &count);
     },
     "TQVApplyAdvancedCount({1792,0,4,0}, 200001, 200012, 40, out, &0) -> 31"},
    {"ApplyMathCount",
     [] {
         int count = 3;
         TQVDApplyMathCount(0, 200001, 200003, 40, gValues, &count);
     },
     "TQVDApplyMathCount(0, 200001, 200003, 40, out, &3) -> 0"},
    {"GetObsNum", [] { TQVGetObsNum(200001, 200100, 40); },
     "TQVGetObsNum(200001, 200100, 40) -> 12"},
    {"GetDate", [] { TQVGetDate(200001, 13, 40); }, "TQVGetDate(200001, 13, 40) -> 200101"},
    {"SetAggregationModeBad", [] { TQVDSetAggregationMode(4); }, "TQVDSetAggregationMode(4) -> 30"},
    {"GetVersion", [] { TQVGetVersion(gText, 20); }, "TQVGetVersion(out, 20) -> 0"},
    {"GetNames",
     [] {
         TQVDOpenDatabase("alpha");
         TQVDGetNames("alpha", gText);
     },
     "TQVDGetNames(\"alpha\", out) -> 0"},
    {"Authenticate",
     [] {
         int status = -7;
         TQVDAuthenticate("u", "p", &status, nullptr);
     },
     "TQVDAuthenticate(\"u\", ***, &-7, null) -> 40"},
};

class JournalEntryTest : public JournalTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(JournalEntryTest, LastEntryShowsArgumentsAndResult) {
    GetParam().call();
    EXPECT_EQ(GetParam().entry, lastEntry());
}

INSTANTIATE_TEST_SUITE_P(Table, JournalEntryTest, ::testing::ValuesIn(kEntries),
                         [](const auto &param) { return std::string(param.param.title); });

TEST_F(JournalTest, OneJournalKeepsTheOrderAcrossBothLibraries) {
    TQVEnableRetries(1);
    TQVDEnableRetries(1);
    TQVGetObsNum(2000, 2001, 10);
    TQVDGetMergeData();
    EXPECT_THAT(journal(),
                ElementsAre("TQVEnableRetries(1) -> 0", "TQVDEnableRetries(1) -> 0",
                            "TQVGetObsNum(2000, 2001, 10) -> 2", "TQVDGetMergeData() -> 0"));
    EXPECT_EQ(1, tqvs_log_count("TQVEnableRetries"));
    EXPECT_EQ(1, tqvs_log_count("TQVDEnableRetries"));
    EXPECT_EQ(0, tqvs_log_count("TQVGetInfo"));
    EXPECT_EQ(nullptr, tqvs_log_entry(4));
    EXPECT_EQ(nullptr, tqvs_log_entry(-1));
}

TEST_F(JournalTest, ControlCallsAreNotJournaledAndClearEmptiesIt) {
    tqvs_set_credentials("u", "p");
    tqvs_set_logged_in(0);
    tqvs_merge_setting(1);
    EXPECT_EQ(0, tqvs_log_size());
    TQVGetMergeData();
    EXPECT_EQ(1, tqvs_log_size());
    tqvs_clear_log();
    EXPECT_EQ(0, tqvs_log_size());
    EXPECT_EQ(0, tqvs_log_count("TQVGetMergeData"));
}

// ---- injection ----------------------------------------------------------

TEST_F(JournalTest, InjectedNthCallAnswersTheResultAndChangesNothing) {
    tqvs_inject("TQVSetMergeData", 2, 99);
    EXPECT_EQ(0, TQVSetMergeData(1));
    EXPECT_EQ(99, TQVSetMergeData(3));
    EXPECT_EQ(1, tqvs_merge_setting(0)); // the injected call set nothing
    EXPECT_EQ(0, TQVSetMergeData(3));
    EXPECT_EQ(3, tqvs_merge_setting(0));
    EXPECT_THAT(journal(), ElementsAre("TQVSetMergeData(1) -> 0", "TQVSetMergeData(3) -> 99",
                                       "TQVSetMergeData(3) -> 0"));
}

TEST_F(JournalTest, InjectionCountsCallsFromWhenItIsSet) {
    EXPECT_EQ(0, TQVOpenDatabase("alpha"));
    tqvs_inject("TQVOpenDatabase", 1, 10);
    EXPECT_EQ(10, TQVOpenDatabase("alpha"));
    EXPECT_EQ(0, TQVOpenDatabase("alpha"));
}

TEST_F(JournalTest, InjectionWithNthZeroHitsEveryCallOfThatLibraryOnly) {
    tqvs_inject("TQVDGetObsNum", 0, -5);
    EXPECT_EQ(-5, TQVDGetObsNum(2000, 2001, 10));
    EXPECT_EQ(-5, TQVDGetObsNum(2000, 2003, 10));
    EXPECT_EQ(2, TQVGetObsNum(2000, 2001, 10));
}

TEST_F(JournalTest, InjectedOpenLeavesTheOpenListAndCurrentDatabaseAlone) {
    ASSERT_EQ(0, tqvs_add_database("beta"));
    addSeries("beta", "Z9", 10, 2000, {1});
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    tqvs_inject("TQVOpenDatabase", 1, 11);
    EXPECT_EQ(11, TQVOpenDatabase("beta"));
    EXPECT_EQ(1, tqvs_open_count(0));
    char record[256];
    EXPECT_EQ(0, TQVGetInfo(0, "A1", record)); // alpha is still current
}

TEST_F(JournalTest, InjectedFetchWritesNothing) {
    ASSERT_EQ(0, TQVOpenDatabase("alpha"));
    tqvs_inject("TQVGetDataCount", 1, 23);
    double row[3] = {-1, -1, -1};
    int count = 3;
    EXPECT_EQ(23, TQVGetDataCount("alpha", "A1", 202001, 202003, 40, row, &count));
    EXPECT_THAT(row, ElementsAre(-1, -1, -1));
    EXPECT_EQ(3, count);
}

TEST_F(JournalTest, FailAtHitsTheCallAtThatJournalPositionOnce) {
    tqvs_fail_at(2, 77);
    EXPECT_EQ(0, TQVEnableRetries(1));
    EXPECT_EQ(0, TQVEnableAnsi(1));
    EXPECT_EQ(77, TQVDEnableAnsi(1));
    EXPECT_EQ(0, tqvs_ansi(1));
    EXPECT_EQ(0, TQVDEnableAnsi(1));
    tqvs_clear_log();
    EXPECT_EQ(0, TQVEnableRetries(1));
    EXPECT_EQ(0, TQVEnableRetries(1));
    EXPECT_EQ(0, TQVEnableRetries(1));
    EXPECT_EQ("TQVEnableRetries(1) -> 0", lastEntry());
}

// The direct library answers each call for the next queued code whether or
// not a fault was injected, so one failed call does not shift the answers
// of the calls after it.
TEST_F(JournalTest, InjectedDirectInfoCallStillTakesItsCode) {
    ASSERT_EQ(0, TQVDOpenDatabase("alpha"));
    tqvs_inject("TQVDGetInfo", 1, 5);
    char record[256];
    EXPECT_EQ(5, TQVDGetInfo(0, "B2,C3", record));
    EXPECT_EQ(0, TQVDGetInfo(0, nullptr, record));
    EXPECT_STREQ("C3", record);
    EXPECT_EQ(TQVS_NO_CODE_PENDING, TQVDGetInfo(0, nullptr, record));
}

// ---- value scripts ------------------------------------------------------

TEST_F(JournalTest, ScriptAnswersInPlaceOfTheWorkAndWritesNoMoreThanTheCount) {
    const double script[] = {1.5, 2.5, 3.5, 4.5};
    tqvs_script_values("TQVGetDataCount", script, 4);
    double row[4] = {-1, -1, -1, -1};
    int count = 3;
    // No database is open: the script answers all the same.
    EXPECT_EQ(0, TQVGetDataCount("nowhere", "X", 202001, 202003, 40, row, &count));
    EXPECT_THAT(row, ElementsAre(1.5, 2.5, 3.5, -1));
    EXPECT_EQ(3, count);
    // Used up: the next call does its work again.
    EXPECT_EQ(TQVS_NOT_OPEN, TQVGetDataCount("nowhere", "X", 202001, 202003, 40, row, &count));
}

TEST_F(JournalTest, ScriptsQueuePerOperation) {
    const double first[] = {1, 2};
    const double second[] = {7};
    tqvs_script_values("TQVApplyMathCount", first, 2);
    tqvs_script_values("TQVApplyMathCount", second, 1);
    double row[2] = {0, 0};
    int count = 2;
    // The other library has no script: the unknown operation code fails.
    EXPECT_EQ(TQVS_BAD_OPERATION, TQVDApplyMathCount(12345, 0, 0, 40, row, &count));
    EXPECT_THAT(row, ElementsAre(0, 0));
    EXPECT_EQ(0, TQVApplyMathCount(12345, 0, 0, 40, row, &count));
    EXPECT_THAT(row, ElementsAre(1, 2));
    EXPECT_EQ(0, TQVApplyMathCount(12345, 0, 0, 40, row, &count));
    EXPECT_THAT(row, ElementsAre(7, 2));
    EXPECT_EQ(TQVS_BAD_OPERATION, TQVApplyMathCount(12345, 0, 0, 40, row, &count));
}

TEST_F(JournalTest, ScriptedAdvancedCountAnswersZero) {
    const double script[] = {9, 8, 7};
    tqvs_script_values("TQVDApplyAdvancedCount", script, 3);
    const TQVAdvancedOperation operation = {-99, 0, 0, 0};
    double row[3] = {0, 0, 0};
    int count = 3;
    EXPECT_EQ(0, TQVDApplyAdvancedCount(&operation, 202001, 202003, 40, row, &count));
    EXPECT_THAT(row, ElementsAre(9, 8, 7));
}

TEST_F(JournalTest, InjectionGoesBeforeAScriptAndKeepsIt) {
    const double script[] = {4};
    tqvs_script_values("TQVGetDataCount", script, 1);
    tqvs_inject("TQVGetDataCount", 1, 23);
    double row[1] = {0};
    int count = 1;
    EXPECT_EQ(23, TQVGetDataCount("alpha", "A1", 202001, 202001, 40, row, &count));
    EXPECT_EQ(0, row[0]);
    EXPECT_EQ(0, TQVGetDataCount("alpha", "A1", 202001, 202001, 40, row, &count));
    EXPECT_EQ(4, row[0]);
}

TEST_F(JournalTest, ScriptedDirectFetchKeepsTheCodeQueueInStep) {
    ASSERT_EQ(0, TQVDOpenDatabase("alpha"));
    const double script[] = {42};
    tqvs_script_values("TQVDGetDataCount", script, 1);
    double row[1] = {0};
    int count = 1;
    EXPECT_EQ(0, TQVDGetDataCount("alpha", "A1,B2", 202001, 202001, 40, row, &count));
    EXPECT_EQ(42, row[0]);
    // B2 holds 2, as addDatabase numbered the series.
    EXPECT_EQ(0, TQVDGetDataCount("alpha", nullptr, 202001, 202001, 40, row, &count));
    EXPECT_EQ(2, row[0]);
    EXPECT_EQ(TQVS_NO_CODE_PENDING,
              TQVDGetDataCount("alpha", nullptr, 202001, 202001, 40, row, &count));
}

TEST_F(JournalTest, ResetForgetsInjectionsScriptsAndJournal) {
    tqvs_inject("TQVGetMergeData", 0, 5);
    const double script[] = {1};
    tqvs_script_values("TQVGetDataCount", script, 1);
    TQVGetMergeData();
    tqvs_reset();
    EXPECT_EQ(0, tqvs_log_size());
    EXPECT_EQ(0, TQVGetMergeData());
    double row[1] = {0};
    int count = 1;
    EXPECT_EQ(TQVS_NOT_OPEN, TQVGetDataCount("alpha", "A1", 202001, 202001, 40, row, &count));
}

} // namespace
