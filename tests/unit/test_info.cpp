// c_kovraSeriesInfo: the bracket, the walk over databases, the status lists,
// the direct library's chunked code lists and the column copy.
#include "Kovrap.h"
#include "case_names.h"
#include "info_host.h"
#include "standin_fixture.h"
#include "tqvlib.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

using kovrap_test::journal;
using kovrap_test::journalOf;
using kovrap_test::kCode;
using kovrap_test::kText1;
using kovrap_test::kTextWidth;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kUntouched = kovrap_test::InfoHost::kUntouched;
constexpr std::size_t kSlack = 8; // bytes past each text buffer that must stay as they were

// The host of these tests: text buffers with slack past their widths, and a
// spare argument that is not zero.
class Host : public kovrap_test::InfoHost {
  public:
    explicit Host(int requests) : InfoHost(requests, kSlack) { spare = 12345; }
};

const std::vector<int> kNoCounts(7, 0);

// Journal lines of one library: "TQV" or "TQVD" before each operation.
std::vector<std::string> on(bool direct, const std::vector<std::string> &calls) {
    std::vector<std::string> lines;
    for (const std::string &call : calls)
        lines.push_back((direct ? "TQVD" : "TQV") + call);
    return lines;
}

std::string inQuotes(const std::string &s) {
    return "\"" + s + "\"";
}

// A series with attribute 1 set to 1 (not empty) and attribute 2 to tag, so
// that each request's columns show whose record they came from. The database
// must be registered already.
void addTagged(const char *database, const std::string &code, int frequency, int first, int last,
               int tag) {
    ASSERT_EQ(0, tqvs_add_series(database, code.c_str(), frequency, first, last, nullptr, 0));
    const int attributes[6] = {1, tag, 0, 0, 0, 0};
    ASSERT_EQ(0, tqvs_set_attributes(database, code.c_str(), attributes, nullptr));
}

class SeriesInfo : public kovrap_test::StandinTest {};
class SeriesInfoOnBoth : public kovrap_test::StandinTest,
                         public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        kovrap_test::StandinTest::SetUp();
        direct_ = GetParam();
        tqvs_set_logged_in(1);
    }
    bool direct_ = false;
};
INSTANTIATE_TEST_SUITE_P(Library, SeriesInfoOnBoth, ::testing::Bool(),
                         kovrap_test::libraryParamName<bool>);

// ---------------------------------------------------------------------------
// Status classification

struct StatusCase {
    int status;
    bool direct;
    int list; // -1: none, the columns are filled
};

void PrintTo(const StatusCase &c, std::ostream *os) {
    *os << "status " << c.status << (c.direct ? " on the direct library" : " on the local library");
}

const StatusCase kStatusCases[] = {
    {0, false, -1}, {1, false, 0}, {2, false, 1},  {3, false, 2}, {4, false, 2}, {5, false, 4},
    {6, false, 5},  {7, false, 6}, {-1, false, 6}, {0, true, -1}, {1, true, 0},  {2, true, 1},
    {3, true, 2},   {4, true, 3},  {5, true, 4},   {6, true, 5},  {7, true, 6},  {-1, true, 6},
};

class SeriesInfoStatus : public kovrap_test::StandinTest,
                         public ::testing::WithParamInterface<StatusCase> {};

TEST_P(SeriesInfoStatus, SortsTheRequestIntoItsList) {
    const StatusCase c = GetParam();
    tqvs_set_logged_in(1);
    // Request 0 succeeds first, so the record holds its answer when request
    // 1's status comes back.
    tqvs_add_database("alpha");
    addTagged("alpha", "OK", 10, 2000, 2010, 100);
    addTagged("alpha", "S", 10, 1990, 1999, 200);
    ASSERT_EQ(0, tqvs_set_info_status("alpha", "S", c.status));

    Host host(2);
    host.query(c.direct ? 1 : 0, {"OK", "S"}, {"alpha", "alpha"}, {"alpha"});

    std::vector<int> expected(7, 0);
    if (c.list >= 0)
        expected[static_cast<std::size_t>(c.list)] = 1;
    EXPECT_EQ(expected, host.counts);
    for (int n = 0; n < 7; ++n)
        EXPECT_EQ(n == c.list ? std::vector<int>{1} : std::vector<int>{}, host.list(n))
            << "list " << n;

    EXPECT_EQ("OK", host.text(kCode, 0));
    EXPECT_EQ(100, host.attribute2[0]);
    if (c.list < 0) {
        EXPECT_EQ("S", host.text(kCode, 1));
        EXPECT_EQ(19901231, host.firstDate[1]);
        EXPECT_EQ(200, host.attribute2[1]);
    } else {
        EXPECT_TRUE(host.columnsUntouched(1));
    }

    const std::string result = std::to_string(c.status);
    if (c.direct)
        EXPECT_THAT(journalOf({"TQVDGetInfo(", "TQVGetInfo("}),
                    ElementsAre("TQVDGetInfo(0, \"OK,S\", out) -> 0",
                                "TQVDGetInfo(0, null, out) -> " + result));
    else
        EXPECT_THAT(journalOf({"TQVDGetInfo(", "TQVGetInfo("}),
                    ElementsAre("TQVGetInfo(0, \"OK\", out) -> 0",
                                "TQVGetInfo(0, \"S\", out) -> " + result));
}

INSTANTIATE_TEST_SUITE_P(Statuses, SeriesInfoStatus, ::testing::ValuesIn(kStatusCases),
                         [](const ::testing::TestParamInfo<StatusCase> &p) {
                             const int s = p.param.status;
                             return kovrap_test::libraryName(p.param.direct) +
                                    (s < 0 ? "Minus" + std::to_string(-s) : std::to_string(s));
                         });

// ---------------------------------------------------------------------------
// The bracket and the walk

TEST_P(SeriesInfoOnBoth, WholeCallSequence) {
    tqvs_add_database("alpha");
    tqvs_add_database("beta");
    addTagged("alpha", "A1", 10, 2000, 2005, 1);
    addTagged("alpha", "A2", 10, 2000, 2005, 2);
    addTagged("beta", "B1", 10, 2000, 2005, 3);
    Host host(3);
    host.query(direct_, {"A1", "B1", "A2"}, {"alpha", "beta", "alpha"}, {"alpha", "beta"});

    const std::string firstAlpha =
        direct_ ? "GetInfo(0, \"A1,A2\", out) -> 0" : "GetInfo(0, \"A1\", out) -> 0";
    const std::string secondAlpha =
        direct_ ? "GetInfo(0, null, out) -> 0" : "GetInfo(0, \"A2\", out) -> 0";
    EXPECT_EQ(
        on(direct_, {"EnableRetries(1) -> 0", "EnableAnsi(1) -> 0", "GetMergeData() -> 0",
                     "SetMergeData(1) -> 0", "OpenDatabase(\"alpha\") -> 0", firstAlpha,
                     secondAlpha, "OpenDatabase(\"beta\") -> 0", "GetInfo(0, \"B1\", out) -> 0",
                     "SetMergeData(0) -> 0", "CloseDatabase() -> 0"}),
        journal());
    EXPECT_EQ(kNoCounts, host.counts);
    EXPECT_EQ((std::vector<int>{1, 3, 2}), host.attribute2);
    // The databases opened by the call are closed by it.
    EXPECT_EQ(0, tqvs_open_count(direct_));
}

struct MergeCase {
    int merge;
    std::vector<std::string> settings; // the SetMergeData calls before the restore
};

TEST_P(SeriesInfoOnBoth, NoDatabasesStillRestoresTheSettingAndClosesOnce) {
    const MergeCase cases[] = {
        {0, {"SetMergeData(1) -> 0"}},
        {1, {"SetMergeData(1) -> 0", "SetMergeData(3) -> 0"}},
        {-2, {"SetMergeData(1) -> 0", "SetMergeData(3) -> 0"}},
    };
    for (const MergeCase &c : cases) {
        SCOPED_TRACE("merge " + std::to_string(c.merge));
        tqvs_clear_log();
        (direct_ ? TQVDSetMergeData : TQVSetMergeData)(5);
        tqvs_clear_log();
        Host host(1);
        host.range.computeRange = 0;
        host.query(direct_, {"A1"}, {"alpha"}, {}, c.merge);

        std::vector<std::string> expected = {"EnableRetries(1) -> 0", "EnableAnsi(1) -> 0",
                                             "GetMergeData() -> 5"};
        expected.insert(expected.end(), c.settings.begin(), c.settings.end());
        expected.push_back("SetMergeData(5) -> 0");
        expected.push_back("CloseDatabase() -> 0");
        EXPECT_EQ(on(direct_, expected), journal());
        EXPECT_EQ(5, tqvs_merge_setting(direct_));
        EXPECT_EQ(kNoCounts, host.counts);
        EXPECT_TRUE(host.listsUntouched());
        EXPECT_TRUE(host.columnsUntouched(0));
    }
}

TEST_P(SeriesInfoOnBoth, NoRequestsStillOpensEveryDatabase) {
    tqvs_add_database("alpha");
    tqvs_add_database("beta");
    Host host(1);
    host.query(direct_, {}, {}, {"alpha", "beta"});

    EXPECT_EQ(on(direct_,
                 {"EnableRetries(1) -> 0", "EnableAnsi(1) -> 0", "GetMergeData() -> 0",
                  "SetMergeData(1) -> 0", "OpenDatabase(\"alpha\") -> 0",
                  "OpenDatabase(\"beta\") -> 0", "SetMergeData(0) -> 0", "CloseDatabase() -> 0"}),
              journal());
    EXPECT_EQ(kNoCounts, host.counts);
    EXPECT_TRUE(host.listsUntouched());
}

TEST_P(SeriesInfoOnBoth, FailedOpenSendsItsRequestsToTheFirstListAndTheRangeStillRuns) {
    tqvs_add_database("alpha");
    tqvs_add_database("beta");
    addTagged("alpha", "A1", 10, 2000, 2005, 1);
    addTagged("beta", "B1", 10, 2001, 2010, 2);
    Host host(4);
    // The requests of the database that does not open keep what the host
    // gave them; attribute 1 of 0 makes them empty series for the range.
    host.attribute1[1] = 0;
    host.attribute1[3] = 0;
    host.range.computeRange = 1;
    host.requestedFrequency = 1000;
    host.start = -1;
    host.end = -1;
    host.query(direct_, {"A1", "X1", "B1", "X2"}, {"alpha", "nowhere", "beta", "nowhere"},
               {"alpha", "nowhere", "beta"});

    EXPECT_EQ((std::vector<int>{2, 0, 0, 0, 0, 0, 0}), host.counts);
    EXPECT_EQ((std::vector<int>{1, 3}), host.list(0));
    EXPECT_EQ(on(direct_, {"EnableRetries(1) -> 0", "EnableAnsi(1) -> 0", "GetMergeData() -> 0",
                           "SetMergeData(1) -> 0", "OpenDatabase(\"alpha\") -> 0",
                           "GetInfo(0, \"A1\", out) -> 0", "OpenDatabase(\"nowhere\") -> 10",
                           "OpenDatabase(\"beta\") -> 0", "GetInfo(0, \"B1\", out) -> 0",
                           "GetObsNum(2000, 2010, 10) -> 11", "SetMergeData(0) -> 0",
                           "CloseDatabase() -> 0"}),
              journal());
    // Only the opened databases' requests got columns.
    EXPECT_EQ((std::vector<int>{1, 0, 1, 0}), host.attribute1);
    EXPECT_EQ((std::vector<int>{20051231, kUntouched, 20101231, kUntouched}), host.lastDate);
    EXPECT_EQ(10, host.requestedFrequency);
    EXPECT_EQ(2000, host.start);
    EXPECT_EQ(2010, host.end);
    EXPECT_EQ(11, host.observationCount);
    EXPECT_EQ((std::vector<int>{2, 0, 0}), host.exclusionCounts);
    EXPECT_EQ(1, host.exclusionLists[0][0]);
    EXPECT_EQ(3, host.exclusionLists[0][1]);
}

TEST_P(SeriesInfoOnBoth, DatabaseNamesCompareByteForByte) {
    tqvs_add_database("alpha");
    tqvs_add_database("ALPHA");
    addTagged("alpha", "A1", 10, 2000, 2005, 1);
    addTagged("ALPHA", "A1", 10, 2000, 2005, 2);
    Host host(4);
    // Capitals, a trailing blank and a database that is not named at all.
    host.query(direct_, {"A1", "A1", "A1", "A1"}, {"alpha", "ALPHA", "alpha ", "gamma"}, {"alpha"});

    EXPECT_THAT(journalOf({"TQVGetInfo(", "TQVDGetInfo("}),
                ElementsAre(on(direct_, {"GetInfo(0, \"A1\", out) -> 0"})[0]));
    EXPECT_EQ(kNoCounts, host.counts);
    EXPECT_TRUE(host.listsUntouched());
    EXPECT_EQ(1, host.attribute2[0]);
    for (int k = 1; k < 4; ++k)
        EXPECT_TRUE(host.columnsUntouched(k)) << "request " << k;
}

TEST_P(SeriesInfoOnBoth, DatabaseNamedTwiceIsAskedTwice) {
    tqvs_add_database("alpha");
    addTagged("alpha", "A1", 10, 2000, 2005, 1);
    addTagged("alpha", "A2", 10, 2000, 2005, 2);
    ASSERT_EQ(0, tqvs_set_info_status("alpha", "A2", 2));
    Host host(2);
    host.query(direct_, {"A1", "A2"}, {"alpha", "alpha"}, {"alpha", "alpha"});

    const std::vector<std::string> asked =
        direct_ ? on(true, {"OpenDatabase(\"alpha\") -> 0", "GetInfo(0, \"A1,A2\", out) -> 0",
                            "GetInfo(0, null, out) -> 2", "OpenDatabase(\"alpha\") -> 0",
                            "GetInfo(0, \"A1,A2\", out) -> 0", "GetInfo(0, null, out) -> 2"})
                : on(false, {"OpenDatabase(\"alpha\") -> 0", "GetInfo(0, \"A1\", out) -> 0",
                             "GetInfo(0, \"A2\", out) -> 2", "OpenDatabase(\"alpha\") -> 0",
                             "GetInfo(0, \"A1\", out) -> 0", "GetInfo(0, \"A2\", out) -> 2"});
    EXPECT_EQ(asked,
              journalOf({"TQVOpenDatabase(", "TQVGetInfo(", "TQVDOpenDatabase(", "TQVDGetInfo("}));
    EXPECT_EQ(1, tqvs_log_count(direct_ ? "TQVDCloseDatabase" : "TQVCloseDatabase"));
    EXPECT_EQ((std::vector<int>{0, 2, 0, 0, 0, 0, 0}), host.counts);
    EXPECT_EQ((std::vector<int>{1, 1}), host.list(1));
    EXPECT_EQ(1, host.attribute2[0]);
    EXPECT_TRUE(host.columnsUntouched(1));
}

TEST_P(SeriesInfoOnBoth, ClassifyOnlyWritesNoColumnsAndNoRange) {
    tqvs_add_database("alpha");
    addTagged("alpha", "A1", 10, 2000, 2005, 1);
    addTagged("alpha", "A2", 10, 2000, 2005, 2);
    ASSERT_EQ(0, tqvs_set_info_status("alpha", "A2", 1));
    Host host(2);
    host.status.classifyOnly = 1;
    host.range.computeRange = 1;
    host.requestedFrequency = 1000;
    host.query(direct_, {"A1", "A2"}, {"alpha", "alpha"}, {"alpha"});

    EXPECT_EQ((std::vector<int>{1, 0, 0, 0, 0, 0, 0}), host.counts);
    EXPECT_EQ(std::vector<int>{1}, host.list(0));
    EXPECT_TRUE(host.columnsUntouched(0));
    EXPECT_TRUE(host.columnsUntouched(1));
    EXPECT_TRUE(host.rangeUntouched(1000));
    EXPECT_THAT(journalOf({"TQVGetObsNum(", "TQVDGetObsNum("}), IsEmpty());
    const std::vector<std::string> calls = journal();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(on(direct_, {"SetMergeData(0) -> 0", "CloseDatabase() -> 0"}),
              std::vector<std::string>(calls.end() - 2, calls.end()));
}

// ---------------------------------------------------------------------------
// Direct chunks

std::string code(char prefix, int k) {
    return prefix + std::to_string(k);
}

TEST_F(SeriesInfo, DirectLibraryGetsOneListPerThousandRequests) {
    tqvs_set_logged_in(1);
    constexpr int kRequests = 2500;
    tqvs_add_database("alpha");
    std::vector<std::string> codes, dbNames;
    for (int k = 0; k < kRequests; ++k) {
        codes.push_back(code('S', k));
        dbNames.push_back("alpha");
        addTagged("alpha", codes.back(), 60, 20200101 + k % 28, 20211231, k);
    }
    Host host(kRequests);
    host.query(1, codes, dbNames, {"alpha"});

    std::vector<std::string> expected;
    for (int k = 0; k < kRequests; ++k) {
        if (k % 1000 != 0) {
            expected.push_back("TQVDGetInfo(0, null, out) -> 0");
            continue;
        }
        std::string list;
        for (int i = k; i < k + 1000 && i < kRequests; ++i)
            list += (i > k ? "," : "") + codes[static_cast<std::size_t>(i)];
        expected.push_back("TQVDGetInfo(0, " + inQuotes(list) + ", out) -> 0");
    }
    EXPECT_EQ(expected, journalOf({"TQVDGetInfo(", "TQVGetInfo("}));
    EXPECT_EQ(kNoCounts, host.counts);
    // Each request holds its own series: a call paired with the wrong code
    // would show here.
    for (int k = 0; k < kRequests; ++k) {
        ASSERT_EQ(codes[static_cast<std::size_t>(k)], host.text(kCode, k));
        ASSERT_EQ(k, host.attribute2[static_cast<std::size_t>(k)]);
        ASSERT_EQ(20200101 + k % 28, host.firstDate[static_cast<std::size_t>(k)]);
    }
}

TEST_F(SeriesInfo, DirectListsFollowEachDatabaseThroughInterleavedRequests) {
    tqvs_set_logged_in(1);
    // Requests 0 to 999 alternate between the databases, 1000 to 1999 are
    // all alpha's (beta has nothing in that chunk), 2000 to 2099 alternate.
    constexpr int kRequests = 2100;
    tqvs_add_database("alpha");
    tqvs_add_database("beta");
    std::vector<std::string> codes, dbNames;
    for (int k = 0; k < kRequests; ++k) {
        const bool beta = (k < 1000 || k >= 2000) && k % 2 == 1;
        codes.push_back(code(beta ? 'B' : 'A', k));
        dbNames.push_back(beta ? "beta" : "alpha");
        addTagged(beta ? "beta" : "alpha", codes.back(), 10, 2000, 2000 + k % 50, k);
    }
    Host host(kRequests);
    host.query(1, codes, dbNames, {"alpha", "beta"});

    std::vector<std::string> expected;
    for (const std::string database : {"alpha", "beta"}) {
        expected.push_back("TQVDOpenDatabase(" + inQuotes(database) + ") -> 0");
        for (int chunk = 0; chunk < kRequests; chunk += 1000) {
            std::vector<std::string> members;
            for (int k = chunk; k < chunk + 1000 && k < kRequests; ++k)
                if (dbNames[static_cast<std::size_t>(k)] == database)
                    members.push_back(codes[static_cast<std::size_t>(k)]);
            for (std::size_t i = 0; i < members.size(); ++i) {
                std::string list;
                for (const std::string &member : members)
                    list += (list.empty() ? "" : ",") + member;
                expected.push_back(i == 0 ? "TQVDGetInfo(0, " + inQuotes(list) + ", out) -> 0"
                                          : "TQVDGetInfo(0, null, out) -> 0");
            }
        }
    }
    EXPECT_EQ(expected, journalOf({"TQVDOpenDatabase(", "TQVDGetInfo("}));
    EXPECT_EQ(kNoCounts, host.counts);
    for (int k = 0; k < kRequests; ++k) {
        ASSERT_EQ(codes[static_cast<std::size_t>(k)], host.text(kCode, k));
        ASSERT_EQ(k, host.attribute2[static_cast<std::size_t>(k)]);
        ASSERT_EQ((2000 + k % 50) * 10000 + 1231, host.lastDate[static_cast<std::size_t>(k)]);
    }
}

// ---------------------------------------------------------------------------
// The column copy

TEST_P(SeriesInfoOnBoth, CopiesAllSeventeenColumnsWithDatesInTheSeriesOwnFrequency) {
    struct Dated {
        const char *code;
        int frequency, first, last;
        int firstDate, lastDate;
    };
    const Dated series[] = {
        {"Y", 10, 1990, 2023, 19901231, 20231231},
        {"Q", 30, 20194, 20232, 20191231, 20230630},
        {"M", 40, 202302, 202402, 20230228, 20240229},
        // The same first period as the series before, then the same last
        // period as one further up: each date is its own series' date.
        {"M2", 40, 202302, 202303, 20230228, 20230331},
        {"Q2", 30, 20231, 20232, 20230331, 20230630},
        {"W", 53, 20230106, 20231229, 20230106, 20231229},
        {"B", 61, 20230102, 20231229, 20230102, 20231229},
    };
    const std::string texts[7] = {
        "abcdefg",   // 7 of text 1's 8
        "ABCDEFGHI", // 9 of text 2's 10
        "hijklmn",
        "opqrstu",                  // texts 3 and 4, 7 of 8
        std::string(81, 'v'),       // text 5, 81 of 82
        "123456789",                // text 6, 9 of 10
        std::string(82, 'w') + "z", // text 7, 83 of 84
    };
    const char *textArgs[7];
    for (int t = 0; t < 7; ++t)
        textArgs[t] = texts[t].c_str();
    std::vector<std::string> codes, dbNames;
    tqvs_add_database("alpha");
    int n = 0;
    for (const Dated &s : series) {
        ASSERT_EQ(0, tqvs_add_series("alpha", s.code, s.frequency, s.first, s.last, nullptr, 0));
        const int attributes[6] = {n + 11, n + 12, n + 13, n + 14, n + 15, n + 16};
        ASSERT_EQ(0, tqvs_set_attributes("alpha", s.code, attributes, textArgs));
        codes.push_back(s.code);
        dbNames.push_back("alpha");
        ++n;
    }
    // The longest code the record holds: nine characters and the terminator.
    ASSERT_EQ(0, tqvs_add_series("alpha", "CODE56789", 10, 2000, 2001, nullptr, 0));
    codes.push_back("CODE56789");
    dbNames.push_back("alpha");

    Host host(n + 1);
    host.query(direct_, codes, dbNames, {"alpha"});
    ASSERT_EQ(kNoCounts, host.counts);

    for (int k = 0; k < n; ++k) {
        SCOPED_TRACE(series[k].code);
        const auto j = static_cast<std::size_t>(k);
        EXPECT_EQ(series[k].code, host.text(kCode, k));
        EXPECT_EQ(series[k].firstDate, host.firstDate[j]);
        EXPECT_EQ(series[k].lastDate, host.lastDate[j]);
        EXPECT_EQ(k + 11, host.attribute1[j]);
        EXPECT_EQ(series[k].frequency, host.frequency[j]);
        EXPECT_EQ((std::vector<int>{k + 12, k + 13, k + 14, k + 15, k + 16}),
                  (std::vector<int>{host.attribute2[j], host.attribute3[j], host.attribute4[j],
                                    host.attribute5[j], host.attribute6[j]}));
        for (int t = 0; t < 7; ++t) {
            EXPECT_EQ(texts[t], host.text(kText1 + t, k)) << "text " << t + 1;
            EXPECT_TRUE(host.slackIntact(kText1 + t, k)) << "text " << t + 1;
        }
        EXPECT_TRUE(host.slackIntact(kCode, k));
    }
    EXPECT_EQ("CODE56789", host.text(kCode, n));
    EXPECT_TRUE(host.slackIntact(kCode, n));
}

// A record whose every text field runs to its end without a terminator: the
// copy stops one short of each host buffer's width and terminates it there.
TEST_P(SeriesInfoOnBoth, UnterminatedRecordFieldsAreCopiedWithinTheirWidth) {
    unsigned char record[256];
    std::memset(record, 'C', 10);
    const int ints[9] = {202302, 202402, 7, 40, 2, 3, 4, 5, 6};
    std::memcpy(record + 10, ints, 9 * sizeof(int));
    const char fill[7] = {'a', 'b', 'c', 'd', 'e', 'f', 'g'};
    const std::size_t offsets[8] = {46, 54, 64, 72, 80, 162, 172, 256};
    for (int t = 0; t < 7; ++t)
        std::memset(record + offsets[t], fill[t], offsets[t + 1] - offsets[t]);
    tqvs_add_database("alpha");
    ASSERT_EQ(0, tqvs_add_series("alpha", "RAW", 40, 202302, 202402, nullptr, 0));
    ASSERT_EQ(0, tqvs_set_record("alpha", "RAW", record));

    Host host(1);
    host.query(direct_, {"RAW"}, {"alpha"}, {"alpha"});

    ASSERT_EQ(kNoCounts, host.counts);
    EXPECT_EQ(std::string(9, 'C'), host.text(kCode, 0));
    EXPECT_TRUE(host.slackIntact(kCode, 0));
    for (int t = 0; t < 7; ++t) {
        EXPECT_EQ(std::string(kTextWidth[kText1 + t] - 1, fill[t]), host.text(kText1 + t, 0))
            << "text " << t + 1;
        EXPECT_TRUE(host.slackIntact(kText1 + t, 0)) << "text " << t + 1;
    }
    EXPECT_EQ(20230228, host.firstDate[0]);
    EXPECT_EQ(20240229, host.lastDate[0]);
    EXPECT_EQ(7, host.attribute1[0]);
    EXPECT_EQ(40, host.frequency[0]);
    EXPECT_EQ((std::vector<int>{2, 3, 4, 5, 6}),
              (std::vector<int>{host.attribute2[0], host.attribute3[0], host.attribute4[0],
                                host.attribute5[0], host.attribute6[0]}));
}

} // namespace
