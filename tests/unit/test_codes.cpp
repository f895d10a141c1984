// c_kovraGetCodes: the comma-joined code list of one database, walked series
// by series on the local library or joined from batches on the direct one.
#include "Kovrap.h"
#include "case_names.h"
#include "standin_fixture.h"
#include "tqvlib.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

using kovrap_test::journal;
using kovrap_test::journalOf;
using ::testing::ElementsAre;

constexpr char kFill = '#';
constexpr int kUntouched = 42; // error flag before the call: only 1 may replace it
constexpr int kSavedMerge = 5; // merge-data setting the library had before the call

// Code of series i, e.g. S0007: the store keeps them in insertion order.
std::string seriesCode(int i) {
    char text[16];
    std::snprintf(text, sizeof text, "S%04d", i);
    return text;
}

std::string joined(int first, int count) {
    std::string list;
    for (int i = first; i < first + count; ++i)
        list += (list.empty() ? "" : ",") + seriesCode(i);
    return list;
}

// The bracket's calls around the listing, for one library.
std::vector<std::string> opening(const std::string &prefix, const std::string &database,
                                 int openStatus) {
    return {prefix + "EnableRetries(1) -> 0", prefix + "EnableAnsi(1) -> 0",
            prefix + "GetMergeData() -> " + std::to_string(kSavedMerge),
            prefix + "SetMergeData(0) -> 0",
            prefix + "OpenDatabase(\"" + database + "\") -> " + std::to_string(openStatus)};
}

std::vector<std::string> closing(const std::string &prefix, int closeStatus) {
    return {prefix + "SetMergeData(" + std::to_string(kSavedMerge) + ") -> 0",
            prefix + "CloseDatabase() -> " + std::to_string(closeStatus)};
}

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The last comma becomes the terminator; the NUL once written behind it
// stays one byte further on. Beyond that the host's bytes are untouched.
constexpr std::size_t kWrittenPastList = 2;

bool allFill(const std::vector<char> &buffer, std::size_t from) {
    for (std::size_t i = from; i < buffer.size(); ++i)
        if (buffer[i] != kFill)
            return false;
    return true;
}

using kovrap_test::caseName;

class CodeListingTest : public kovrap_test::StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        // A setting other than the listing's 0, so that its restoring shows.
        TQVSetMergeData(kSavedMerge);
        TQVDSetMergeData(kSavedMerge);
        tqvs_clear_log();
    }

    // A database holding empty series of these codes, in this order. It is
    // registered once: registering a name again starts it empty.
    static void addDatabase(const char *database, const std::vector<std::string> &codes) {
        ASSERT_EQ(0, tqvs_add_database(database));
        for (const std::string &code : codes)
            ASSERT_EQ(0, tqvs_add_series(database, code.c_str(), 40, 200001, 200001, nullptr, 0));
    }

    // A database of series S0000 .. S(count-1).
    static void addNumbered(const char *database, int count) {
        std::vector<std::string> codes;
        for (int i = 0; i < count; ++i)
            codes.push_back(seriesCode(i));
        addDatabase(database, codes);
    }

    std::vector<char> output = std::vector<char>(4096, kFill);
    int error = kUntouched;
};

// ---------------------------------------------------------------- local mode

TEST_F(CodeListingTest, LocalListsSeriesInLibraryOrderAndReturnsCloseStatus) {
    addDatabase("alpha", {"ZED", "A1", "M22"});
    tqvs_inject("TQVCloseDatabase", 1, 61);

    EXPECT_EQ(61, c_kovraGetCodes(0, output.data(), "alpha", &error));

    EXPECT_STREQ("ZED,A1,M22", output.data());
    EXPECT_TRUE(allFill(output, std::strlen("ZED,A1,M22") + kWrittenPastList));
    EXPECT_EQ(kUntouched, error);
    EXPECT_EQ(kSavedMerge, tqvs_merge_setting(0));
    const std::vector<std::string> expected =
        concat(concat(opening("TQV", "alpha", 0),
                      {
                          "TQVGetNextVar(\"alpha\", null, out) -> 0",
                          "TQVGetNextVar(null, \"ZED\", out) -> 0",
                          "TQVGetNextVar(null, \"A1\", out) -> 0",
                          "TQVGetNextVar(null, \"M22\", out) -> 1",
                      }),
               closing("TQV", 61));
    EXPECT_EQ(expected, journal());
}

TEST_F(CodeListingTest, LocalEmptyDatabaseWritesNothing) {
    addDatabase("empty", {});

    EXPECT_EQ(0, c_kovraGetCodes(0, output.data(), "empty", &error));

    EXPECT_TRUE(allFill(output, 0));
    EXPECT_EQ(kUntouched, error);
    EXPECT_EQ(kSavedMerge, tqvs_merge_setting(0));
    EXPECT_EQ(0, tqvs_open_count(0));
    EXPECT_EQ(
        concat(concat(opening("TQV", "empty", 0), {"TQVGetNextVar(\"empty\", null, out) -> 1"}),
               closing("TQV", 0)),
        journal());
}

// Record code fields as the library may hand them over. The 10-byte code
// buffer takes at most 9 characters, and the walk goes on from what it holds.
struct CodeFieldCase {
    const char *name;
    const char *rawCode; // bytes of the code field of the first series' record
    std::size_t rawLength;
    const char *expected;
    const char *continuedFrom; // code passed back to the library after it
};

// Failures name the case rather than dump its bytes.
void PrintTo(const CodeFieldCase &c, std::ostream *os) {
    *os << c.name;
}

const CodeFieldCase kCodeFieldCases[] = {
    {"NineCharactersCopiedWhole", "ABCDEFGHI", 10, "ABCDEFGHI,LAST", "ABCDEFGHI"},
    {"FieldWithoutTerminatorStopsAtNine", "ABCDEFGHIJ", 10, "ABCDEFGHI,LAST", "ABCDEFGHI"},
    {"ShortCodeWithBytesAfterItsTerminator", "AB\0XYZWVUT", 10, "AB,LAST", "AB"},
};

class CodeFieldTest : public CodeListingTest,
                      public ::testing::WithParamInterface<CodeFieldCase> {};

TEST_P(CodeFieldTest, CopiesAtMostNineCharacters) {
    const CodeFieldCase &c = GetParam();
    const std::string stored(c.continuedFrom);
    addDatabase("alpha", {stored, "LAST"});
    // The whole record is non-zero beyond the code field: a copy that ran on
    // would pick up these bytes.
    unsigned char record[256];
    std::memset(record, 'K', sizeof record);
    std::memcpy(record, c.rawCode, c.rawLength);
    ASSERT_EQ(0, tqvs_set_record("alpha", stored.c_str(), record));

    EXPECT_EQ(0, c_kovraGetCodes(0, output.data(), "alpha", &error));

    EXPECT_STREQ(c.expected, output.data());
    EXPECT_TRUE(allFill(output, std::strlen(c.expected) + kWrittenPastList));
    EXPECT_EQ(kUntouched, error);
    EXPECT_THAT(journalOf({"TQVGetNextVar("}),
                ElementsAre("TQVGetNextVar(\"alpha\", null, out) -> 0",
                            "TQVGetNextVar(null, \"" + stored + "\", out) -> 0",
                            "TQVGetNextVar(null, \"LAST\", out) -> 1"));
}

INSTANTIATE_TEST_SUITE_P(Local, CodeFieldTest, ::testing::ValuesIn(kCodeFieldCases),
                         caseName<CodeFieldCase>);

TEST_F(CodeListingTest, LocalLastEmptyCodeLeavesNoTrailingComma) {
    // The last series' record has an empty code: the list is A1 and an empty
    // item, so exactly one comma, never one at the end.
    addDatabase("alpha", {"A1", "B2"});
    unsigned char record[256] = {};
    ASSERT_EQ(0, tqvs_set_record("alpha", "B2", record));

    EXPECT_EQ(0, c_kovraGetCodes(0, output.data(), "alpha", &error));

    EXPECT_EQ(std::string("A1,"), std::string(output.data()));
    EXPECT_TRUE(allFill(output, std::strlen("A1,") + kWrittenPastList));
    EXPECT_THAT(journalOf({"TQVGetNextVar("}),
                ElementsAre("TQVGetNextVar(\"alpha\", null, out) -> 0",
                            "TQVGetNextVar(null, \"A1\", out) -> 0",
                            "TQVGetNextVar(null, \"\", out) -> 1"));
}

TEST_F(CodeListingTest, LocalLargeDatabaseListsEverySeriesOnce) {
    constexpr int kSeries = 5000;
    addNumbered("big", kSeries);
    const std::string expected = joined(0, kSeries);
    output.assign(expected.size() + 64, kFill);

    EXPECT_EQ(0, c_kovraGetCodes(0, output.data(), "big", &error));

    EXPECT_EQ(expected, std::string(output.data()));
    EXPECT_TRUE(allFill(output, expected.size() + kWrittenPastList));
    EXPECT_EQ(kSeries + 1, tqvs_log_count("TQVGetNextVar"));
    EXPECT_EQ(kUntouched, error);
}

// ------------------------------------------------------------- failed opens

struct FailedOpenCase {
    const char *name;
    int direct;
    bool loggedIn;
    int openStatus;
};

// Failures name the case rather than dump its bytes.
void PrintTo(const FailedOpenCase &c, std::ostream *os) {
    *os << c.name;
}

const FailedOpenCase kFailedOpenCases[] = {
    {"LocalNoSuchDatabase", 0, false, TQVS_NO_SUCH_DATABASE},
    {"DirectNoSuchDatabase", 1, true, TQVS_NO_SUCH_DATABASE},
    {"DirectNotLoggedIn", 1, false, TQVS_NOT_LOGGED_IN},
    {"NegativeFlagSelectsDirect", -1, true, TQVS_NO_SUCH_DATABASE},
};

class FailedOpenTest : public CodeListingTest,
                       public ::testing::WithParamInterface<FailedOpenCase> {};

TEST_P(FailedOpenTest, FlagsErrorRestoresSettingAndCloses) {
    const FailedOpenCase &c = GetParam();
    tqvs_set_logged_in(c.loggedIn ? 1 : 0);
    const std::string prefix = c.direct != 0 ? "TQVD" : "TQV";
    const int library = c.direct != 0 ? 1 : 0;

    EXPECT_EQ(c.openStatus, c_kovraGetCodes(c.direct, output.data(), "missing", &error));

    EXPECT_EQ(1, error);
    EXPECT_TRUE(allFill(output, 0));
    EXPECT_EQ(kSavedMerge, tqvs_merge_setting(library));
    EXPECT_EQ(concat(opening(prefix, "missing", c.openStatus), closing(prefix, 0)), journal());
}

INSTANTIATE_TEST_SUITE_P(EitherMode, FailedOpenTest, ::testing::ValuesIn(kFailedOpenCases),
                         caseName<FailedOpenCase>);

// --------------------------------------------------------------- direct mode

struct DirectCase {
    const char *name;
    int batch;                                 // codes per TQVDGetNames text
    int series;                                // series S0000 .. in the database
    std::vector<std::pair<int, int>> injected; // nth TQVDGetNames call, its status
    int listed;                                // the output lists S0000 .. S(listed-1)
    std::vector<int> statuses;                 // every TQVDGetNames call's status, in order
};

// Failures name the case rather than dump its bytes.
void PrintTo(const DirectCase &c, std::ostream *os) {
    *os << c.name;
}

std::vector<int> repeated(int count, int status, std::vector<int> tail = {}) {
    std::vector<int> statuses(static_cast<std::size_t>(count), status);
    statuses.insert(statuses.end(), tail.begin(), tail.end());
    return statuses;
}

const DirectCase kDirectCases[] = {
    {"EndAtSecondCall", 100, 3, {}, 3, {0, TQVS_END_OF_NAMES}},
    {"TextsOfTwoJoined", 2, 5, {}, 5, {0, 0, 0, TQVS_END_OF_NAMES}},
    {"AllThirtyTwoCallsSucceed", 1, 40, {}, 32, repeated(32, 0)},
    {"ExactlyThirtyTwoTexts", 1, 32, {}, 32, repeated(32, 0)},
    {"PassingFailuresKeepThePosition",
     1,
     4,
     {{2, 7}, {3, 9}},
     4,
     {0, 7, 9, 0, 0, 0, TQVS_END_OF_NAMES}},
    {"FailureOnTheLastCallTakesItsCommaBack", 1, 40, {{32, 7}}, 31, repeated(31, 0, {7})},
};

class DirectListingTest : public CodeListingTest,
                          public ::testing::WithParamInterface<DirectCase> {};

TEST_P(DirectListingTest, JoinsTextsOfAtMostThirtyTwoCalls) {
    const DirectCase &c = GetParam();
    addNumbered("alpha", c.series);
    tqvs_set_logged_in(1);
    tqvs_set_names_batch(c.batch);
    for (const auto &injection : c.injected)
        tqvs_inject("TQVDGetNames", injection.first, injection.second);

    EXPECT_EQ(0, c_kovraGetCodes(1, output.data(), "alpha", &error));

    const std::string expected = joined(0, c.listed);
    EXPECT_EQ(expected, std::string(output.data()));
    EXPECT_TRUE(allFill(output, expected.size() + kWrittenPastList));
    EXPECT_EQ(kUntouched, error);
    EXPECT_EQ(kSavedMerge, tqvs_merge_setting(1));
    EXPECT_EQ(0, tqvs_open_count(1));

    std::vector<std::string> names;
    for (std::size_t i = 0; i < c.statuses.size(); ++i)
        names.push_back(std::string("TQVDGetNames(") + (i == 0 ? "\"alpha\"" : "null") +
                        ", out) -> " + std::to_string(c.statuses[i]));
    EXPECT_EQ(concat(concat(opening("TQVD", "alpha", 0), names), closing("TQVD", 0)), journal());
}

INSTANTIATE_TEST_SUITE_P(Direct, DirectListingTest, ::testing::ValuesIn(kDirectCases),
                         caseName<DirectCase>);

TEST_F(CodeListingTest, DirectFirstCallFailingFlagsErrorAndStillCloses) {
    addNumbered("alpha", 3);
    tqvs_set_logged_in(1);
    tqvs_inject("TQVDGetNames", 1, 7);
    tqvs_inject("TQVDCloseDatabase", 1, 61);

    EXPECT_EQ(61, c_kovraGetCodes(1, output.data(), "alpha", &error));

    EXPECT_EQ(1, error);
    EXPECT_TRUE(allFill(output, 0));
    EXPECT_EQ(kSavedMerge, tqvs_merge_setting(1));
    EXPECT_EQ(concat(concat(opening("TQVD", "alpha", 0), {"TQVDGetNames(\"alpha\", out) -> 7"}),
                     closing("TQVD", 61)),
              journal());
}

TEST_F(CodeListingTest, DirectResultIsTheCloseStatus) {
    addNumbered("alpha", 2);
    tqvs_set_logged_in(1);
    tqvs_inject("TQVDCloseDatabase", 1, 61);

    EXPECT_EQ(61, c_kovraGetCodes(2, output.data(), "alpha", &error));

    EXPECT_STREQ("S0000,S0001", output.data());
    EXPECT_EQ(kUntouched, error);
    EXPECT_EQ(0, tqvs_log_count("TQVGetNextVar"));
}

} // namespace
