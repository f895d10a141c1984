// c_kovraGetData: one row per request across several databases, the rows
// transformed in place, on either library.
#include "Kovrap.h"
#include "case_names.h"
#include "standin_fixture.h"
#include "tqvlib.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using kovrap_test::journal;
using kovrap_test::journalOf;
using ::testing::ElementsAre;

constexpr double kMissing = 1e9;
constexpr double kUntouched = -7.5; // every slot of the host's matrix before the call
constexpr int kStatusBefore = -99;  // every countStatus entry before the call
constexpr int kErrorBefore = 42;    // error before the call: only a failure replaces it
constexpr int kSavedMerge = 5;      // the library's merge-data setting before the call

// The requested window of most tests: January to April 2000, monthly.
constexpr int kStart = 200001;
constexpr int kEnd = 200004;
constexpr int kMonthly = 40;
constexpr int kObs = 4;
// The window of the code-1792 tests: 2000 to 2003, annual (no minimum length).
constexpr int kAnnual = 10;
constexpr int kYearStart = 2000;
constexpr int kYearEnd = 2003;

std::string prefix(int direct) {
    return direct != 0 ? "TQVD" : "TQV";
}

std::string inQuotes(const std::string &text) {
    return "\"" + text + "\"";
}

std::string seriesCode(char letter, int k) {
    char text[16];
    std::snprintf(text, sizeof text, "%c%d", letter, k);
    return text;
}

// Observations of the series with this id, from the first period on: each
// series has its own values, so a row fetched for the wrong series shows.
std::vector<double> observations(int id, int count) {
    std::vector<double> values;
    for (int i = 0; i < count; ++i)
        values.push_back(id * 100.0 + i + 1);
    return values;
}

// The row a fetch of the requested window gives for series id (the window
// starts at the series' first period).
std::vector<double> fetched(int id, int obs = kObs) {
    return observations(id, obs);
}

std::vector<double> repeated(double value, int count) {
    return std::vector<double>(static_cast<std::size_t>(count), value);
}

struct Request {
    std::string code;
    std::string database;
    int transformCode = -1;
    int advancedFlag = 0;
    int paramA = 0;
    int paramB = 0;
    int paramC = 0;
};

// The host's side of one call: every array sized exactly as the contract
// says, so that the sanitizer build catches any access past one of them.
class Host {
  public:
    Host(const std::vector<Request> &requests, const std::vector<std::string> &databases,
         int obsPerSeries = kObs)
        : obs(obsPerSeries), requests_(requests), databaseNames_(databases) {
        const std::size_t n = requests.size();
        values.assign(n * static_cast<std::size_t>(obsPerSeries > 0 ? obsPerSeries : 0),
                      kUntouched);
        countStatus.assign(n, kStatusBefore);
        for (const Request &r : requests_) {
            codes_.push_back(r.code.c_str());
            dbNames_.push_back(r.database.c_str());
            transformCode_.push_back(r.transformCode);
            advancedFlag_.push_back(r.advancedFlag);
            paramA_.push_back(r.paramA);
            paramB_.push_back(r.paramB);
            paramC_.push_back(r.paramC);
            spanEnd_.push_back(0);
        }
        for (const std::string &d : databaseNames_)
            databases_.push_back(d.c_str());
    }
    // The arrays point into the requests and names held here: moving keeps
    // them in place, copying would not.
    Host(const Host &) = delete;
    Host(Host &&) = default;

    // Base windows of the code-1792 counts, in the order the call takes them.
    void setWindows(const std::vector<std::pair<int, int>> &windows) {
        windowStart_.clear();
        windowEnd_.clear();
        for (const auto &w : windows) {
            windowStart_.push_back(w.first);
            windowEnd_.push_back(w.second);
        }
    }

    void call(int direct, int merge = 0) {
        TransformArrays transforms{
            transformCode_.data(), paramB_.data(),       paramA_.data(), spanEnd_.data(),
            paramC_.data(),        advancedFlag_.data(), nullptr,        countStatus.data()};
        AdvancedWindows windows{windowStart_.data(), windowEnd_.data()};
        c_kovraGetData(direct, values.data(), codes_.data(), dbNames_.data(), databases_.data(),
                       static_cast<int>(databases_.size()), static_cast<int>(codes_.size()), start,
                       end, frequency, merge, obs, &transforms, &windows, &error);
    }

    std::vector<double> row(int k) const {
        const auto first = values.begin() + static_cast<std::ptrdiff_t>(k) * obs;
        return std::vector<double>(first, first + obs);
    }

    int start = kStart;
    int end = kEnd;
    int frequency = kMonthly;
    int obs;
    std::vector<double> values;
    std::vector<int> countStatus;
    int error = kErrorBefore;

  private:
    std::vector<Request> requests_;
    std::vector<std::string> databaseNames_;
    std::vector<const char *> codes_, dbNames_, databases_;
    std::vector<int> transformCode_, advancedFlag_, paramA_, paramB_, paramC_, spanEnd_;
    std::vector<int> windowStart_, windowEnd_;
};

// The journal one call should leave on one library.
class Calls {
  public:
    explicit Calls(int direct) : direct_(direct), p_(prefix(direct)) {}

    Calls &window(int start, int end, int frequency) {
        start_ = start;
        end_ = end;
        frequency_ = frequency;
        return *this;
    }
    // How the journal shows the row pointer: out, or null for a matrix of
    // no doubles.
    Calls &rows(const char *argument) {
        rows_ = argument;
        return *this;
    }
    Calls &opening(int setting) {
        add("EnableRetries(1) -> 0");
        add("EnableAnsi(1) -> 0");
        add("GetMergeData() -> " + std::to_string(kSavedMerge));
        return add("SetMergeData(" + std::to_string(setting) + ") -> 0");
    }
    // Every open of the direct library is followed by retries off.
    Calls &open(const std::string &database, int status = 0) {
        add("OpenDatabase(" + inQuotes(database) + ") -> " + std::to_string(status));
        if (direct_ != 0)
            add("EnableRetries(0) -> 0");
        return *this;
    }
    // code: the local library's argument; list: the direct library's, null
    // when the call carries no list.
    Calls &fetch(const std::string &database, const std::string &code, const char *list,
                 int status = 0, int count = kObs) {
        const std::string argument =
            direct_ == 0 ? inQuotes(code) : (list == nullptr ? "null" : inQuotes(list));
        return add("GetDataCount(" + inQuotes(database) + ", " + argument + ", " + window() + ", " +
                   rows_ + ", &" + std::to_string(count) + ") -> " + std::to_string(status));
    }
    Calls &math(int operation, int status = 0, int count = kObs) {
        return add("ApplyMathCount(" + std::to_string(operation) + ", " + window() + ", " + rows_ +
                   ", &" + std::to_string(count) + ") -> " + std::to_string(status));
    }
    // operation: the count's four ints as the journal shows them, {2,0,1,0}.
    Calls &advanced(const std::string &operation, int status = 0, int count = kObs) {
        return add("ApplyAdvancedCount(" + operation + ", " + window() + ", " + rows_ + ", &" +
                   std::to_string(count) + ") -> " + std::to_string(status));
    }
    Calls &closing() {
        add("SetMergeData(" + std::to_string(kSavedMerge) + ") -> 0");
        return add("CloseDatabase() -> 0");
    }
    const std::vector<std::string> &lines() const { return lines_; }

  private:
    Calls &add(const std::string &line) {
        lines_.push_back(p_ + line);
        return *this;
    }
    std::string window() const {
        return std::to_string(start_) + ", " + std::to_string(end_) + ", " +
               std::to_string(frequency_);
    }

    int direct_;
    std::string p_;
    int start_ = kStart;
    int end_ = kEnd;
    int frequency_ = kMonthly;
    std::string rows_ = "out";
    std::vector<std::string> lines_;
};

class GetDataTest : public kovrap_test::StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        tqvs_set_logged_in(1);
        // A setting other than the call's 1 and 3, so that restoring it shows.
        TQVSetMergeData(kSavedMerge);
        TQVDSetMergeData(kSavedMerge);
        tqvs_clear_log();
    }

    // Monthly series from January 2000, a year of its own values.
    static void store(const std::string &database, const std::string &code, int id) {
        addSeries(database.c_str(), code.c_str(), kMonthly, 200001, 200012, observations(id, 12));
    }
    // Annual series from 2000 on.
    static void storeAnnual(const std::string &database, const std::string &code, int id) {
        addSeries(database.c_str(), code.c_str(), kAnnual, 2000, 2010, observations(id, 11));
    }
};

class GetDataEitherLibraryTest : public GetDataTest, public ::testing::WithParamInterface<int> {
  protected:
    int direct() const { return GetParam(); }
    std::string p() const { return prefix(GetParam()); }
};

using kovrap_test::libraryCaseName;
using kovrap_test::libraryParamName;

// ------------------------------------------------------ empty calls

struct EmptyCallCase {
    const char *name;
    int databaseCount;
    int requestCount;
    int merge;
    int setting; // the merge-data setting the call makes
};

// Failures name the case rather than dump its bytes.
void PrintTo(const EmptyCallCase &c, std::ostream *os) {
    *os << c.name;
}

const EmptyCallCase kEmptyCallCases[] = {
    {"NoRequestsMergeOff", 2, 0, 0, 1},
    {"NoRequestsMergeOn", 2, 0, 1, 3},
    {"NegativeRequestCount", 2, -3, 0, 1},
    {"NoDatabases", 0, 2, 0, 1},
    {"NoDatabasesAnyNonzeroMergeFlag", 0, 2, -8, 3},
    {"NegativeDatabaseCount", -1, 2, 1, 3},
};

class GetDataEmptyCallTest : public GetDataTest,
                             public ::testing::WithParamInterface<std::tuple<int, EmptyCallCase>> {
};

// Nothing is fetched. Without requests nothing of them is read, so the
// request arrays may be null; every named database is still opened, and the
// bracket closes either way.
TEST_P(GetDataEmptyCallTest, OpensEveryDatabaseFetchesNothingAndCloses) {
    const int direct = std::get<0>(GetParam());
    const EmptyCallCase &c = std::get<1>(GetParam());
    tqvs_add_database("alpha");
    tqvs_add_database("beta");
    const char *databases[] = {"alpha", "beta"};
    const char *codes[] = {"A0", "A1"};
    const char *dbNames[] = {"alpha", "alpha"};
    const bool anyRequest = c.requestCount > 0;
    std::vector<double> values(anyRequest ? 2 * kObs : 0, kUntouched);
    int transformCode[] = {1, 1};
    TransformArrays transforms{};
    if (anyRequest)
        transforms.transformCode = transformCode;
    int error = kErrorBefore;

    c_kovraGetData(direct, anyRequest ? values.data() : nullptr, anyRequest ? codes : nullptr,
                   anyRequest ? dbNames : nullptr, c.databaseCount > 0 ? databases : nullptr,
                   c.databaseCount, c.requestCount, kStart, kEnd, kMonthly, c.merge, kObs,
                   &transforms, nullptr, &error);

    Calls expected(direct);
    expected.opening(c.setting);
    for (int d = 0; d < c.databaseCount; ++d)
        expected.open(databases[d]);
    expected.closing();
    EXPECT_EQ(expected.lines(), journal());
    EXPECT_EQ(kErrorBefore, error);
    EXPECT_EQ(kSavedMerge, tqvs_merge_setting(direct));
    EXPECT_EQ(0, tqvs_open_count(direct));
    EXPECT_EQ(repeated(kUntouched, static_cast<int>(values.size())), values);
}

INSTANTIATE_TEST_SUITE_P(Cases, GetDataEmptyCallTest,
                         ::testing::Combine(::testing::Values(0, 1),
                                            ::testing::ValuesIn(kEmptyCallCases)),
                         libraryCaseName<EmptyCallCase>);

// ------------------------------------------------------ the walk

TEST_P(GetDataEitherLibraryTest, RequestOfAnUnnamedDatabaseIsLeftAsPassed) {
    store("alpha", "A0", 10);
    store("alpha", "A2", 12);
    tqvs_add_database("ALPHA");
    // Names compare exactly: ALPHA is not alpha, whatever its request asks.
    Host host({{"A0", "alpha"}, {"A1", "ALPHA", 2, 1, 0, 99}, {"A2", "alpha"}}, {"alpha"});

    host.call(direct());

    EXPECT_EQ(fetched(10), host.row(0));
    EXPECT_EQ(repeated(kUntouched, kObs), host.row(1));
    EXPECT_EQ(fetched(12), host.row(2));
    EXPECT_THAT(host.countStatus, ElementsAre(kStatusBefore, kStatusBefore, kStatusBefore));
    EXPECT_EQ(kErrorBefore, host.error);
    EXPECT_EQ(Calls(direct())
                  .opening(1)
                  .open("alpha")
                  .fetch("alpha", "A0", "A0,A2")
                  .fetch("alpha", "A2", nullptr)
                  .closing()
                  .lines(),
              journal());
}

TEST_P(GetDataEitherLibraryTest, InterleavedDatabasesFillRowsAtTheirRequestIndex) {
    for (int k = 0; k < 6; ++k) {
        if (k % 2 == 0)
            store("alpha", seriesCode('A', k), 10 + k);
        else
            store("beta", seriesCode('B', k), 10 + k);
    }
    std::vector<Request> requests;
    for (int k = 0; k < 6; ++k)
        requests.push_back(k % 2 == 0 ? Request{seriesCode('A', k), "alpha"}
                                      : Request{seriesCode('B', k), "beta"});
    Host host(requests, {"beta", "alpha"});

    host.call(direct(), 1);

    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(fetched(10 + k), host.row(k)) << "row " << k;
    EXPECT_EQ(kErrorBefore, host.error);
    EXPECT_EQ(Calls(direct())
                  .opening(3)
                  .open("beta")
                  .fetch("beta", "B1", "B1,B3,B5")
                  .fetch("beta", "B3", nullptr)
                  .fetch("beta", "B5", nullptr)
                  .open("alpha")
                  .fetch("alpha", "A0", "A0,A2,A4")
                  .fetch("alpha", "A2", nullptr)
                  .fetch("alpha", "A4", nullptr)
                  .closing()
                  .lines(),
              journal());
}

// A row longer than the window: rows still start at k x obsPerSeries. The
// count cell is shared by the whole call and never reset, so after the first
// fetch it holds what the library left in it.
TEST_P(GetDataEitherLibraryTest, CountCellIsSharedByTheWholeCall) {
    store("alpha", "A0", 10);
    store("alpha", "A1", 11);
    const std::vector<double> computed = {-1, -2, -3, -4, -5, -6};
    tqvs_script_values((p() + "ApplyMathCount").c_str(), computed.data(), 6);
    Host host({{"A0", "alpha", 1}, {"A1", "alpha"}}, {"alpha"}, 6);

    host.call(direct());

    // The library writes as many values as the cell allows.
    const std::vector<double> tail = {kUntouched, kUntouched};
    std::vector<double> row0 = {-1, -2, -3, -4, kUntouched, kUntouched};
    std::vector<double> row1 = fetched(11);
    row1.insert(row1.end(), tail.begin(), tail.end());
    EXPECT_EQ(row0, host.row(0));
    EXPECT_EQ(row1, host.row(1));
    EXPECT_EQ(Calls(direct())
                  .opening(1)
                  .open("alpha")
                  .fetch("alpha", "A0", "A0,A1", 0, 6)
                  .math(-1, 0, 4)
                  .fetch("alpha", "A1", nullptr, 0, 4)
                  .closing()
                  .lines(),
              journal());
}

// ------------------------------------------------------ transformations

TEST_P(GetDataEitherLibraryTest, MasterSwitchOffReadsNoOtherTransformEntry) {
    store("alpha", "A0", 10);
    store("alpha", "A1", 11);
    store("alpha", "A2", 12);
    const char *codes[] = {"A0", "A1", "A2"};
    const char *dbNames[] = {"alpha", "alpha", "alpha"};
    const char *databases[] = {"alpha"};
    std::vector<double> values(3 * kObs, kUntouched);
    // Codes on the other requests, but every other array and the windows
    // null: reading any of them would crash.
    std::vector<int> transformCode = {0, 2, 1792};
    TransformArrays transforms{
        transformCode.data(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    int error = kErrorBefore;

    c_kovraGetData(direct(), values.data(), codes, dbNames, databases, 1, 3, kStart, kEnd, kMonthly,
                   0, kObs, &transforms, nullptr, &error);

    std::vector<double> expected;
    for (int id : {10, 11, 12})
        for (double v : fetched(id))
            expected.push_back(v);
    EXPECT_EQ(expected, values);
    EXPECT_EQ(kErrorBefore, error);
    EXPECT_EQ(Calls(direct())
                  .opening(1)
                  .open("alpha")
                  .fetch("alpha", "A0", "A0,A1,A2")
                  .fetch("alpha", "A1", nullptr)
                  .fetch("alpha", "A2", nullptr)
                  .closing()
                  .lines(),
              journal());
}

// Transformation of the second request; the first one's code -1 keeps the
// master switch on and transforms nothing.
struct TransformCase {
    const char *name;
    int advancedFlag;
    int transformCode;
    const char *call; // the library call after the fetch, without prefix; null: none
};

// Failures name the case rather than dump its bytes.
void PrintTo(const TransformCase &c, std::ostream *os) {
    *os << c.name;
}

const TransformCase kTransformCases[] = {
    {"MathMinusOneIsNone", 0, -1, nullptr},
    {"MathZeroIsPassedAsZero", 0, 0, "ApplyMathCount(0, 200001, 200004, 40, out, &4) -> 0"},
    {"MathCodeIsNegated", 0, 2, "ApplyMathCount(-2, 200001, 200004, 40, out, &4) -> 0"},
    {"NegativeMathCodeIsNegated", 0, -4, "ApplyMathCount(4, 200001, 200004, 40, out, &4) -> 0"},
    {"MostNegativeMathCodePassesUnchanged", 0, INT_MIN,
     "ApplyMathCount(-2147483648, 200001, 200004, 40, out, &4) -> 0"},
    {"AdvancedMinusOneIsAnOrdinaryCode", 1, -1,
     "ApplyAdvancedCount({-1,11,22,33}, 200001, 200004, 40, out, &4) -> 0"},
    {"AdvancedZero", 1, 0, "ApplyAdvancedCount({0,11,22,33}, 200001, 200004, 40, out, &4) -> 0"},
    {"AnyNonzeroFlagIsAdvanced", 7, 2,
     "ApplyAdvancedCount({2,11,22,33}, 200001, 200004, 40, out, &4) -> 0"},
};

class GetDataTransformTest : public GetDataTest,
                             public ::testing::WithParamInterface<std::tuple<int, TransformCase>> {
};

TEST_P(GetDataTransformTest, RunsTheRequestsTransformationOnItsRow) {
    const int direct = std::get<0>(GetParam());
    const TransformCase &c = std::get<1>(GetParam());
    const std::string p = prefix(direct);
    store("alpha", "A0", 10);
    store("alpha", "A1", 11);
    // The library's answer, whatever it makes of the code.
    const std::vector<double> computed = {-1, -2, -3, -4};
    tqvs_script_values((p + "ApplyMathCount").c_str(), computed.data(), kObs);
    tqvs_script_values((p + "ApplyAdvancedCount").c_str(), computed.data(), kObs);
    Host host({{"A0", "alpha", -1}, {"A1", "alpha", c.transformCode, c.advancedFlag, 11, 22, 33}},
              {"alpha"});

    host.call(direct);

    EXPECT_EQ(fetched(10), host.row(0));
    EXPECT_EQ(c.call != nullptr ? computed : fetched(11), host.row(1));
    EXPECT_THAT(host.countStatus, ElementsAre(kStatusBefore, kStatusBefore));
    EXPECT_EQ(kErrorBefore, host.error);
    Calls expected(direct);
    expected.opening(1).open("alpha").fetch("alpha", "A0", "A0,A1").fetch("alpha", "A1", nullptr);
    std::vector<std::string> lines = expected.lines();
    if (c.call != nullptr)
        lines.push_back(p + c.call);
    const std::vector<std::string> closing = Calls(direct).closing().lines();
    lines.insert(lines.end(), closing.begin(), closing.end());
    EXPECT_EQ(lines, journal());
}

INSTANTIATE_TEST_SUITE_P(Cases, GetDataTransformTest,
                         ::testing::Combine(::testing::Values(0, 1),
                                            ::testing::ValuesIn(kTransformCases)),
                         libraryCaseName<TransformCase>);

// A failed advanced count is the request's own failure: its status is
// recorded, its row becomes missing values, and the call goes on.
struct AdvancedFailureCase {
    const char *name;
    int transformCode;
    int injected;               // status injected into the first advanced count, or 0
    std::pair<int, int> window; // base window of a code-1792 request
    int status;                 // countStatus of the failing request
    const char *failedCall;     // the failing request's count, without prefix; null: none
};

// Failures name the case rather than dump its bytes.
void PrintTo(const AdvancedFailureCase &c, std::ostream *os) {
    *os << c.name;
}

const AdvancedFailureCase kAdvancedFailureCases[] = {
    {"AdvancedCountFails",
     2,
     31,
     {0, 0},
     31,
     "ApplyAdvancedCount({2,0,4,0}, 200001, 200004, 40, out, &4) -> 31"},
    {"WindowedCountFails",
     1792,
     31,
     {199701, 200012},
     31,
     "ApplyAdvancedCount({1792,0,4,0}, 199701, 200012, 40, out, &48) -> 31"},
    // Twelve months where the monthly count needs 36: the count is not run.
    {"WindowedCountTooShort", 1792, 0, {199901, 199912}, 834, nullptr},
};

class GetDataAdvancedFailureTest
    : public GetDataTest,
      public ::testing::WithParamInterface<std::tuple<int, AdvancedFailureCase>> {};

TEST_P(GetDataAdvancedFailureTest, RecordsTheStatusFillsMissingValuesAndGoesOn) {
    const int direct = std::get<0>(GetParam());
    const AdvancedFailureCase &c = std::get<1>(GetParam());
    const std::string p = prefix(direct);
    store("alpha", "A0", 10);
    store("alpha", "A1", 11);
    store("alpha", "A2", 12);
    if (c.injected != 0)
        tqvs_inject((p + "ApplyAdvancedCount").c_str(), 1, c.injected);
    const std::vector<double> computed = {-1, -2, -3, -4};
    tqvs_script_values((p + "ApplyAdvancedCount").c_str(), computed.data(), kObs);
    Host host({{"A0", "alpha", -1},
               {"A1", "alpha", c.transformCode, 1, 0, 4},
               {"A2", "alpha", 2, 1, 0, 1}},
              {"alpha"});
    if (c.transformCode == 1792)
        host.setWindows({c.window});

    host.call(direct);

    EXPECT_EQ(fetched(10), host.row(0));
    EXPECT_EQ(repeated(kMissing, kObs), host.row(1));
    EXPECT_EQ(computed, host.row(2));
    EXPECT_THAT(host.countStatus, ElementsAre(kStatusBefore, c.status, kStatusBefore));
    EXPECT_EQ(kErrorBefore, host.error);
    EXPECT_EQ(kSavedMerge, tqvs_merge_setting(direct));
    std::vector<std::string> expected = {Calls(direct).fetch("alpha", "A0", "A0,A1,A2").lines()[0],
                                         Calls(direct).fetch("alpha", "A1", nullptr).lines()[0]};
    if (c.failedCall != nullptr)
        expected.push_back(p + c.failedCall);
    expected.push_back(Calls(direct).fetch("alpha", "A2", nullptr).lines()[0]);
    expected.push_back(Calls(direct).advanced("{2,0,1,0}").lines()[0]);
    expected.push_back(p + "CloseDatabase() -> 0");
    EXPECT_EQ(expected,
              journalOf({p + "GetDataCount(", p + "ApplyAdvancedCount(", p + "CloseDatabase("}));
}

INSTANTIATE_TEST_SUITE_P(Cases, GetDataAdvancedFailureTest,
                         ::testing::Combine(::testing::Values(0, 1),
                                            ::testing::ValuesIn(kAdvancedFailureCases)),
                         libraryCaseName<AdvancedFailureCase>);

TEST_P(GetDataEitherLibraryTest, AdvancedFailureWithEmptyRowsRecordsOnlyTheStatus) {
    store("alpha", "A0", 10);
    // With rows of no observation the fetch has nothing to write.
    tqvs_script_values((p() + "GetDataCount").c_str(), nullptr, 0);
    tqvs_inject((p() + "ApplyAdvancedCount").c_str(), 1, 31);
    Host host({{"A0", "alpha", 2, 1}}, {"alpha"}, 0);
    ASSERT_TRUE(host.values.empty());

    host.call(direct());

    EXPECT_THAT(host.countStatus, ElementsAre(31));
    EXPECT_EQ(kErrorBefore, host.error);
    EXPECT_EQ(Calls(direct())
                  .rows("null")
                  .opening(1)
                  .open("alpha")
                  .fetch("alpha", "A0", "A0", 0, 0)
                  .advanced("{2,0,0,0}", 31, 0)
                  .closing()
                  .lines(),
              journal());
}

// Every row, the last one included, filled up to its very end: run under the
// sanitizer build, a fill past the exactly sized matrix fails.
TEST_P(GetDataEitherLibraryTest, EveryAdvancedCountFailingFillsEveryRow) {
    std::vector<Request> requests;
    for (int k = 0; k < 5; ++k) {
        store("alpha", seriesCode('A', k), 10 + k);
        requests.push_back({seriesCode('A', k), "alpha", 2, 1, 0, 1});
    }
    tqvs_inject((p() + "ApplyAdvancedCount").c_str(), 0, 31);
    Host host(requests, {"alpha"}, 3);
    host.end = 200003;

    host.call(direct());

    EXPECT_EQ(repeated(kMissing, 15), host.values);
    EXPECT_EQ(std::vector<int>(5, 31), host.countStatus);
    EXPECT_EQ(kErrorBefore, host.error);
    EXPECT_EQ(5, tqvs_log_count((p() + "ApplyAdvancedCount").c_str()));
}

// ------------------------------------------------------ code-1792 windows

TEST_P(GetDataEitherLibraryTest, DatabaseNamedTwiceTakesWindowsInProcessingOrder) {
    storeAnnual("alpha", "A0", 10);
    storeAnnual("alpha", "A1", 11);
    Host host({{"A0", "alpha", 1792, 1, 0, 4}, {"A1", "alpha", 1792, 1, 0, 4}}, {"alpha", "alpha"});
    host.start = kYearStart;
    host.end = kYearEnd;
    host.frequency = kAnnual;
    host.setWindows({{1990, 2005}, {1991, 2006}, {1992, 2007}, {1993, 2008}});
    for (int m = 0; m < 4; ++m) {
        const std::vector<double> computed = observations(50 + m, 16);
        tqvs_script_values((p() + "ApplyAdvancedCount").c_str(), computed.data(), 16);
    }

    host.call(direct());

    // Requests 0 and 1 took entries 0 and 1, then 2 and 3: the second pass's
    // values are in the rows, aligned by the window each took.
    EXPECT_EQ(std::vector<double>({5209, 5210, 5211, 5212}), host.row(0)); // 1992: skip 8
    EXPECT_EQ(std::vector<double>({5308, 5309, 5310, 5311}), host.row(1)); // 1993: skip 7
    EXPECT_THAT(host.countStatus, ElementsAre(kStatusBefore, kStatusBefore));
    EXPECT_EQ(kErrorBefore, host.error);
    const auto count = [&](int first, int last) {
        Calls calls(direct());
        calls.window(first, last, kAnnual).advanced("{1792,0,4,0}", 0, 16);
        return calls.lines()[0];
    };
    const auto fetch = [&](const std::string &code, const char *list) {
        Calls calls(direct());
        calls.window(kYearStart, kYearEnd, kAnnual).fetch("alpha", code, list);
        return calls.lines()[0];
    };
    const std::string open = p() + "OpenDatabase(\"alpha\") -> 0";
    EXPECT_THAT(
        journalOf({p() + "OpenDatabase(", p() + "GetDataCount(", p() + "ApplyAdvancedCount("}),
        ElementsAre(open, fetch("A0", "A0,A1"), count(1990, 2005), fetch("A1", nullptr),
                    count(1991, 2006), open, fetch("A0", "A0,A1"), count(1992, 2007),
                    fetch("A1", nullptr), count(1993, 2008)));
}

TEST_P(GetDataEitherLibraryTest, InterleavedDatabasesTakeWindowsInProcessingOrder) {
    storeAnnual("alpha", "A0", 10);
    storeAnnual("beta", "B1", 11);
    storeAnnual("alpha", "A2", 12);
    storeAnnual("beta", "B3", 13);
    Host host({{"A0", "alpha", 1792, 1, 0, 4},
               {"B1", "beta", -1},
               {"A2", "alpha", -1},
               {"B3", "beta", 1792, 1, 0, 4}},
              {"beta", "alpha"});
    host.start = kYearStart;
    host.end = kYearEnd;
    host.frequency = kAnnual;
    host.setWindows({{1990, 2005}, {1995, 2010}});
    for (int m = 0; m < 2; ++m) {
        const std::vector<double> computed = observations(50 + m, 16);
        tqvs_script_values((p() + "ApplyAdvancedCount").c_str(), computed.data(), 16);
    }

    host.call(direct());

    // Beta is processed first: B3 takes entry 0 (from 1990, skip 10), A0
    // entry 1 (from 1995, skip 5).
    EXPECT_EQ(std::vector<double>({5106, 5107, 5108, 5109}), host.row(0));
    EXPECT_EQ(fetched(11), host.row(1));
    EXPECT_EQ(fetched(12), host.row(2));
    EXPECT_EQ(std::vector<double>({5011, 5012, 5013, 5014}), host.row(3));
    EXPECT_THAT(host.countStatus,
                ElementsAre(kStatusBefore, kStatusBefore, kStatusBefore, kStatusBefore));
    EXPECT_EQ(kErrorBefore, host.error);
    Calls calls(direct());
    calls.window(kYearStart, kYearEnd, kAnnual)
        .open("beta")
        .fetch("beta", "B1", "B1,B3")
        .fetch("beta", "B3", nullptr)
        .window(1990, 2005, kAnnual)
        .advanced("{1792,0,4,0}", 0, 16)
        .window(kYearStart, kYearEnd, kAnnual)
        .open("alpha")
        .fetch("alpha", "A0", "A0,A2")
        .window(1995, 2010, kAnnual)
        .advanced("{1792,0,4,0}", 0, 16)
        .window(kYearStart, kYearEnd, kAnnual)
        .fetch("alpha", "A2", nullptr);
    std::vector<std::string> expected;
    for (const std::string &line : calls.lines())
        if (line.find("EnableRetries") == std::string::npos)
            expected.push_back(line);
    EXPECT_EQ(expected, journalOf({p() + "OpenDatabase(", p() + "GetDataCount(",
                                   p() + "ApplyAdvancedCount("}));
}

// A failed windowed count still uses up its window: the next one takes the
// following entry.
TEST_P(GetDataEitherLibraryTest, FailedWindowedCountStillTakesItsWindow) {
    storeAnnual("alpha", "A0", 10);
    storeAnnual("alpha", "A1", 11);
    Host host({{"A0", "alpha", 1792, 1, 0, 4}, {"A1", "alpha", 1792, 1, 0, 4}}, {"alpha"});
    host.start = kYearStart;
    host.end = kYearEnd;
    host.frequency = kAnnual;
    host.setWindows({{1990, 2005}, {1995, 2010}});
    tqvs_inject((p() + "ApplyAdvancedCount").c_str(), 1, 31);
    const std::vector<double> computed = observations(50, 16);
    tqvs_script_values((p() + "ApplyAdvancedCount").c_str(), computed.data(), 16);

    host.call(direct());

    EXPECT_EQ(repeated(kMissing, kObs), host.row(0));
    EXPECT_EQ(std::vector<double>({5006, 5007, 5008, 5009}), host.row(1)); // 1995: skip 5
    EXPECT_THAT(host.countStatus, ElementsAre(31, kStatusBefore));
    EXPECT_EQ(kErrorBefore, host.error);
    Calls calls(direct());
    calls.window(1990, 2005, kAnnual)
        .advanced("{1792,0,4,0}", 31, 16)
        .window(1995, 2010, kAnnual)
        .advanced("{1792,0,4,0}", 0, 16);
    EXPECT_EQ(calls.lines(), journalOf({p() + "ApplyAdvancedCount("}));
}

// ------------------------------------------------------ failures that end the call

TEST_P(GetDataEitherLibraryTest, FailedOpenSetsErrorOneAndClosesTheBracket) {
    store("alpha", "A0", 10);
    store("beta", "B1", 11);
    Host host({{"A0", "alpha"}, {"B1", "beta"}}, {"alpha", "missing", "beta"});

    host.call(direct());

    EXPECT_EQ(1, host.error);
    EXPECT_EQ(fetched(10), host.row(0));
    EXPECT_EQ(repeated(kUntouched, kObs), host.row(1));
    EXPECT_EQ(kSavedMerge, tqvs_merge_setting(direct()));
    EXPECT_EQ(0, tqvs_open_count(direct()));
    EXPECT_EQ(Calls(direct())
                  .opening(1)
                  .open("alpha")
                  .fetch("alpha", "A0", "A0")
                  .open("missing", TQVS_NO_SUCH_DATABASE)
                  .closing()
                  .lines(),
              journal());
}

TEST_P(GetDataEitherLibraryTest, FailedFetchSetsItsStatusAndClosesTheBracket) {
    store("alpha", "A0", 10);
    store("alpha", "A1", 11);
    store("alpha", "A2", 12);
    tqvs_inject((p() + "GetDataCount").c_str(), 2, TQVS_SHORT_BUFFER);
    const std::vector<double> computed = {-1, -2, -3, -4};
    tqvs_script_values((p() + "ApplyMathCount").c_str(), computed.data(), kObs);
    Host host({{"A0", "alpha", 2}, {"A1", "alpha", 2}, {"A2", "alpha", 2}}, {"alpha"});

    host.call(direct());

    EXPECT_EQ(TQVS_SHORT_BUFFER, host.error);
    EXPECT_EQ(computed, host.row(0));
    EXPECT_EQ(repeated(kUntouched, kObs), host.row(1)); // the failed fetch wrote nothing
    EXPECT_EQ(repeated(kUntouched, kObs), host.row(2));
    EXPECT_EQ(kSavedMerge, tqvs_merge_setting(direct()));
    EXPECT_EQ(Calls(direct())
                  .opening(1)
                  .open("alpha")
                  .fetch("alpha", "A0", "A0,A1,A2")
                  .math(-2)
                  .fetch("alpha", "A1", nullptr, TQVS_SHORT_BUFFER)
                  .closing()
                  .lines(),
              journal());
}

TEST_P(GetDataEitherLibraryTest, FailedMathCountInSecondDatabaseSetsItsStatus) {
    store("alpha", "A0", 10);
    store("beta", "B1", 11);
    store("alpha", "A2", 12);
    store("beta", "B3", 13);
    const std::vector<double> computed = {-1, -2, -3, -4};
    tqvs_script_values((p() + "ApplyMathCount").c_str(), computed.data(), kObs);
    tqvs_inject((p() + "ApplyMathCount").c_str(), 2, TQVS_BAD_OPERATION);
    Host host({{"A0", "alpha", 1}, {"B1", "beta", 6}, {"A2", "alpha", -1}, {"B3", "beta", 1}},
              {"alpha", "beta"});

    host.call(direct());

    EXPECT_EQ(TQVS_BAD_OPERATION, host.error);
    EXPECT_EQ(computed, host.row(0));
    EXPECT_EQ(fetched(11), host.row(1)); // the failed count changed nothing
    EXPECT_EQ(fetched(12), host.row(2));
    EXPECT_EQ(repeated(kUntouched, kObs), host.row(3));
    EXPECT_THAT(host.countStatus,
                ElementsAre(kStatusBefore, kStatusBefore, kStatusBefore, kStatusBefore));
    EXPECT_EQ(kSavedMerge, tqvs_merge_setting(direct()));
    EXPECT_EQ(0, tqvs_open_count(direct()));
    EXPECT_EQ(Calls(direct())
                  .opening(1)
                  .open("alpha")
                  .fetch("alpha", "A0", "A0,A2")
                  .math(-1)
                  .fetch("alpha", "A2", nullptr)
                  .open("beta")
                  .fetch("beta", "B1", "B1,B3")
                  .math(-6, TQVS_BAD_OPERATION)
                  .closing()
                  .lines(),
              journal());
}

INSTANTIATE_TEST_SUITE_P(EitherLibrary, GetDataEitherLibraryTest, ::testing::Values(0, 1),
                         libraryParamName<int>);

// ------------------------------------------------------ direct code lists

std::string joinedCodes(char letter, int first, int end) {
    std::string list;
    for (int k = first; k < end; ++k)
        list += (k > first ? "," : "") + seriesCode(letter, k);
    return list;
}

TEST_F(GetDataTest, DirectListGoesWithTheFirstFetchOfEachChunk) {
    constexpr int kRequests = 2500;
    std::vector<Request> requests;
    for (int k = 0; k < kRequests; ++k) {
        store("alpha", seriesCode('S', k), k);
        requests.push_back({seriesCode('S', k), "alpha"});
    }
    Host host(requests, {"alpha"}, 2);
    host.end = 200002;

    host.call(1);

    std::vector<std::string> expected;
    for (int k = 0; k < kRequests; ++k) {
        const std::string list =
            k % 1000 == 0 ? inQuotes(joinedCodes('S', k, std::min(k + 1000, kRequests))) : "null";
        expected.push_back("TQVDGetDataCount(\"alpha\", " + list +
                           ", 200001, 200002, 40, out, &2) -> 0");
    }
    EXPECT_EQ(expected, journalOf({"TQVDGetDataCount("}));
    for (int k = 0; k < kRequests; ++k)
        ASSERT_EQ(fetched(k, 2), host.row(k)) << "row " << k;
    EXPECT_EQ(kErrorBefore, host.error);
    EXPECT_EQ(0, tqvs_log_count("TQVGetDataCount"));
}

TEST_F(GetDataTest, DirectChunkSharedByTwoDatabasesListsEachOnItsFirstFetch) {
    std::vector<Request> requests;
    for (int k = 0; k < 10; ++k) {
        const bool beta = k < 5;
        const std::string code = seriesCode(beta ? 'B' : 'A', k);
        store(beta ? "beta" : "alpha", code, k);
        requests.push_back({code, beta ? "beta" : "alpha"});
    }
    Host host(requests, {"alpha", "beta"});

    host.call(1);

    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(fetched(k), host.row(k)) << "row " << k;
    EXPECT_EQ(kErrorBefore, host.error);
    Calls expected(1);
    expected.opening(1).open("alpha").fetch("alpha", "", "A5,A6,A7,A8,A9");
    for (int k = 6; k < 10; ++k)
        expected.fetch("alpha", "", nullptr);
    expected.open("beta").fetch("beta", "", "B0,B1,B2,B3,B4");
    for (int k = 1; k < 5; ++k)
        expected.fetch("beta", "", nullptr);
    EXPECT_EQ(expected.closing().lines(), journal());
}

// Chunks that start on another database's request, and a chunk without any
// request of a database (no list goes out for it).
TEST_F(GetDataTest, DirectChunkBoundaryInsideADatabasesRun) {
    constexpr int kRequests = 1200;
    std::vector<Request> requests;
    for (int k = 0; k < kRequests; ++k) {
        const char *database = (k >= 998 && k <= 1000) ? "alpha" : k == 1100 ? "gamma" : "beta";
        const std::string code = seriesCode(database[0], k);
        store(database, code, k);
        requests.push_back({code, database});
    }
    Host host(requests, {"alpha", "gamma", "beta"}, 1);
    host.end = 200001;

    host.call(1);

    for (int k = 0; k < kRequests; ++k)
        ASSERT_EQ(fetched(k, 1), host.row(k)) << "row " << k;
    std::vector<std::string> expected = {
        "TQVDGetDataCount(\"alpha\", \"a998,a999\", 200001, 200001, 40, out, &1) -> 0",
        "TQVDGetDataCount(\"alpha\", null, 200001, 200001, 40, out, &1) -> 0",
        "TQVDGetDataCount(\"alpha\", \"a1000\", 200001, 200001, 40, out, &1) -> 0",
        "TQVDGetDataCount(\"gamma\", \"g1100\", 200001, 200001, 40, out, &1) -> 0",
    };
    std::string firstBeta = joinedCodes('b', 0, 998);
    std::string secondBeta = joinedCodes('b', 1001, 1100) + "," + joinedCodes('b', 1101, 1200);
    for (int k = 0; k < kRequests; ++k) {
        if ((k >= 998 && k <= 1000) || k == 1100)
            continue;
        const std::string list = k == 0      ? inQuotes(firstBeta)
                                 : k == 1001 ? inQuotes(secondBeta)
                                             : "null";
        expected.push_back("TQVDGetDataCount(\"beta\", " + list +
                           ", 200001, 200001, 40, out, &1) -> 0");
    }
    EXPECT_EQ(expected, journalOf({"TQVDGetDataCount("}));
    EXPECT_EQ(kErrorBefore, host.error);
}

// ------------------------------------------------------ every library call failing

// Fails each library call of one call in turn, as SQLite fails each
// allocation: whatever fails, the setting is restored and the bracket closes
// exactly once, and error says what it must.
class GetDataFaultSweepTest : public GetDataTest, public ::testing::WithParamInterface<int> {
  protected:
    void prepare() {
        tqvs_reset();
        SetUp();
        store("alpha", "A0", 10);
        store("beta", "B1", 11);
        addSeries("alpha", "A2", kMonthly, 199701, 200012, observations(12, 48));
        store("beta", "B3", 13);
        const std::vector<double> computed = observations(90, 36);
        tqvs_script_values((prefix(GetParam()) + "ApplyAdvancedCount").c_str(), computed.data(),
                           36);
        tqvs_clear_log();
    }
    Host makeHost() {
        Host host({{"A0", "alpha", 1},
                   {"B1", "beta", 1, 1, 0, 2},
                   {"A2", "alpha", 1792, 1, 0, 12},
                   {"B3", "beta", -1}},
                  {"alpha", "beta"});
        host.setWindows({{199801, 200012}});
        return host;
    }
};

std::string operationOf(const std::string &entry) {
    return entry.substr(0, entry.find('('));
}

int resultOf(const std::string &entry) {
    return std::stoi(entry.substr(entry.rfind("-> ") + 3));
}

TEST_P(GetDataFaultSweepTest, EveryFailedCallLeavesTheBracketClosed) {
    const int direct = GetParam();
    const std::string p = prefix(direct);
    constexpr int kFault = 77;

    prepare();
    Host clean = makeHost();
    clean.call(direct);
    ASSERT_EQ(kErrorBefore, clean.error);
    ASSERT_EQ(std::vector<int>(4, kStatusBefore), clean.countStatus);
    const std::vector<std::string> cleanJournal = journal();
    // The run to spoil holds every kind of call of the export.
    for (const char *operation :
         {"OpenDatabase", "GetDataCount", "ApplyMathCount", "ApplyAdvancedCount"})
        ASSERT_LE(1, tqvs_log_count((p + operation).c_str())) << operation;
    ASSERT_LE(1, tqvs_log_count("TQVGetObsNum"));

    for (std::size_t n = 0; n < cleanJournal.size(); ++n) {
        SCOPED_TRACE("failing call " + std::to_string(n) + ": " + cleanJournal[n]);
        prepare();
        tqvs_fail_at(static_cast<int>(n), kFault);
        Host host = makeHost();
        host.call(direct);
        const std::vector<std::string> log = journal();
        ASSERT_GT(log.size(), n);
        ASSERT_EQ(kFault, resultOf(log[n]));
        const std::string failed = operationOf(log[n]);

        // The bracket: one close, the last call, right after the restore of
        // what the library gave as its setting.
        EXPECT_EQ(1, tqvs_log_count((p + "CloseDatabase").c_str()));
        EXPECT_EQ(p + "CloseDatabase", operationOf(log.back()));
        const std::vector<std::string> got = journalOf({p + "GetMergeData("});
        ASSERT_EQ(1u, got.size());
        EXPECT_EQ(p + "SetMergeData(" + std::to_string(resultOf(got[0])) + ") -> " +
                      (n == log.size() - 2 ? std::to_string(kFault) : "0"),
                  log[log.size() - 2]);
        if (n < log.size() - 2) {
            EXPECT_EQ(resultOf(got[0]), tqvs_merge_setting(direct));
        }
        if (n != log.size() - 1) {
            EXPECT_EQ(0, tqvs_open_count(direct));
        }
        // Only the selected library is called, but for the period counts.
        for (const std::string &entry : log) {
            const bool directCall = entry.rfind("TQVD", 0) == 0;
            if (direct != 0) {
                EXPECT_TRUE(directCall || entry.rfind("TQVGetObsNum(", 0) == 0) << entry;
            } else {
                EXPECT_FALSE(directCall) << entry;
            }
        }

        int expectedError = kErrorBefore;
        if (failed == p + "OpenDatabase")
            expectedError = 1;
        else if (failed == p + "GetDataCount" || failed == p + "ApplyMathCount")
            expectedError = kFault;
        EXPECT_EQ(expectedError, host.error);
        if (expectedError != kErrorBefore) {
            // The call ends at once: only the retries switch after an open,
            // and the bracket's two closing calls.
            std::size_t next = n + 1;
            if (direct != 0 && failed == p + "OpenDatabase") {
                ASSERT_LT(next, log.size());
                EXPECT_EQ(p + "EnableRetries(0) -> 0", log[next]);
                ++next;
            }
            EXPECT_EQ(log.size(), next + 2);
        }
        if (failed == p + "ApplyAdvancedCount") {
            int recorded = 0;
            for (std::size_t k = 0; k < host.countStatus.size(); ++k)
                if (host.countStatus[k] == kFault) {
                    ++recorded;
                    EXPECT_EQ(repeated(kMissing, kObs), host.row(static_cast<int>(k)));
                }
            EXPECT_EQ(1, recorded);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EitherLibrary, GetDataFaultSweepTest, ::testing::Values(0, 1),
                         libraryParamName<int>);

} // namespace
