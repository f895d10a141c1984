// c_kovraGetCodesSized: the listing of c_kovraGetCodes into a buffer of a
// capacity the host gives. Buffers are exactly `capacity` bytes, so that the
// sanitizer build reports any write past them.
#include "Kovrap.h"
#include "case_names.h"
#include "pseudo_file.h"
#include "standin_fixture.h"
#include "tqvlib.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using kovrap_test::journal;

constexpr char kFill = '#';
constexpr int kSavedMerge = 5;

// What one listing left: the result and the host's buffer.
struct Listed {
    int result;
    std::vector<char> buffer;

    // The text up to the first NUL inside the buffer; "(no NUL)" when none.
    std::string text() const {
        const void *nul = std::memchr(buffer.data(), '\0', buffer.size());
        if (nul == nullptr)
            return "(no NUL)";
        return std::string(buffer.data(), static_cast<const char *>(nul));
    }
};

Listed listSized(int direct, const char *database, int capacity) {
    Listed out{0, std::vector<char>(static_cast<std::size_t>(capacity > 0 ? capacity : 0), kFill)};
    out.result = c_kovraGetCodesSized(direct, database, capacity > 0 ? out.buffer.data() : nullptr,
                                      capacity);
    return out;
}

std::string joined(const std::vector<std::string> &codes) {
    std::string list;
    for (std::size_t i = 0; i < codes.size(); ++i)
        list += (i > 0 ? "," : "") + codes[i];
    return list;
}

class SizedListingTest : public kovrap_test::StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        TQVSetMergeData(kSavedMerge);
        TQVDSetMergeData(kSavedMerge);
        tqvs_set_logged_in(1);
        tqvs_clear_log();
    }
    static void addCodes(const char *database, const std::vector<std::string> &codes) {
        ASSERT_EQ(0, tqvs_add_database(database));
        for (const std::string &code : codes)
            ASSERT_EQ(0, tqvs_add_series(database, code.c_str(), 40, 200001, 200001, nullptr, 0));
    }
};

// ------------------------------------------------------ the cut, by capacity

// "A1,ABCDEFGHI,B,C12": 18 characters. The direct library gives it in texts
// of two codes, "A1,ABCDEFGHI" and "B,C12", so a cut also falls inside a text.
const std::vector<std::string> kCodes = {"A1", "ABCDEFGHI", "B", "C12"};
constexpr int kWhole = 18;

struct CutCase {
    const char *name;
    int capacity;
    const char *written; // null: no buffer at all
};

void PrintTo(const CutCase &c, std::ostream *os) {
    *os << c.name;
}

const CutCase kCutCases[] = {
    {"SizeQueryWithoutBuffer", 0, nullptr},
    {"OneByteHoldsOnlyTheTerminator", 1, ""},
    {"TooSmallForTheFirstCode", 2, ""},
    {"ExactlyTheFirstCode", 3, "A1"},
    {"NineCharacterCodeOneShortIsLeftOut", 12, "A1"},
    {"NineCharacterCodeExactlyFits", 13, "A1,ABCDEFGHI"},
    {"OneUnderTheWholeList", kWhole, "A1,ABCDEFGHI,B"},
    {"ExactlyTheWholeList", kWhole + 1, "A1,ABCDEFGHI,B,C12"},
    {"OneOverTheWholeList", kWhole + 2, "A1,ABCDEFGHI,B,C12"},
};

class SizedCutTest : public SizedListingTest,
                     public ::testing::WithParamInterface<std::tuple<int, CutCase>> {};

TEST_P(SizedCutTest, WritesWholeCodesThatFitAndReturnsTheWholeLength) {
    const int direct = std::get<0>(GetParam());
    const CutCase &c = std::get<1>(GetParam());
    addCodes("alpha", kCodes);
    tqvs_set_names_batch(2);

    const Listed listed = listSized(direct, "alpha", c.capacity);

    EXPECT_EQ(kWhole, listed.result);
    if (c.written != nullptr) {
        EXPECT_EQ(c.written, listed.text());
    }
    EXPECT_EQ(c.capacity > kWhole, listed.result < c.capacity);
    EXPECT_EQ(kSavedMerge, tqvs_merge_setting(direct));
    EXPECT_EQ(0, tqvs_open_count(direct));
}

std::string cutName(const ::testing::TestParamInfo<std::tuple<int, CutCase>> &p) {
    return kovrap_test::libraryName(std::get<0>(p.param)) + std::get<1>(p.param).name;
}

INSTANTIATE_TEST_SUITE_P(EitherLibrary, SizedCutTest,
                         ::testing::Combine(::testing::Values(0, 1),
                                            ::testing::ValuesIn(kCutCases)),
                         cutName);

// ---------------------------------------- the same walk as c_kovraGetCodes

struct Injection {
    const char *function;
    int nth;
    int status;
};

struct WalkCase {
    const char *name;
    int direct;
    std::vector<std::string> codes; // the database "alpha"; none: no database
    int batch;
    bool loggedIn;
    std::vector<Injection> injected;
    int sized; // c_kovraGetCodesSized's result, worked out by hand
};

void PrintTo(const WalkCase &c, std::ostream *os) {
    *os << c.name;
}

std::vector<std::string> numbered(int count) {
    std::vector<std::string> codes;
    for (int i = 0; i < count; ++i)
        codes.push_back("S" + std::to_string(1000 + i));
    return codes;
}

const WalkCase kWalkCases[] = {
    {"LocalThreeSeries", 0, {"ZED", "A1", "M22"}, 100, true, {}, 10},
    {"LocalNoSeries", 0, {}, 100, true, {}, 0},
    {"LocalCloseFails", 0, {"ZED"}, 100, true, {{"TQVCloseDatabase", 1, 61}}, -61},
    {"LocalOpenFails", 0, {"ZED"}, 100, true, {{"TQVOpenDatabase", 1, 10}}, -10},
    {"DirectBatchesOfTwo", 1, {"A0", "LONGCODE9", "B", "C12", "D"}, 2, true, {}, 20},
    {"DirectThirtyTwoCalls", 1, numbered(40), 1, true, {}, 32 * 5 + 31},
    {"DirectPassingFailures",
     1,
     numbered(4),
     1,
     true,
     {{"TQVDGetNames", 2, 7}, {"TQVDGetNames", 3, 9}},
     4 * 5 + 3},
    {"DirectFirstCallFails", 1, numbered(3), 1, true, {{"TQVDGetNames", 1, 7}}, -7},
    {"DirectNoSeries", 1, {}, 100, true, {}, -1011},
    {"DirectNotLoggedIn", 1, numbered(3), 100, false, {}, -3},
    {"DirectCloseFails", 1, numbered(3), 100, true, {{"TQVDCloseDatabase", 1, 61}}, -61},
    {"DirectNegativeStatusStaysNegative",
     1,
     numbered(3),
     100,
     true,
     {{"TQVDOpenDatabase", 1, -4}},
     -4},
};

class SizedWalkTest : public SizedListingTest, public ::testing::WithParamInterface<WalkCase> {
  protected:
    // A fresh engine set up for the case; returns nothing, the journal
    // starts empty.
    void prepare(const WalkCase &c) {
        tqvs_reset();
        tqvs_set_journal(1);
        TQVSetMergeData(kSavedMerge);
        TQVDSetMergeData(kSavedMerge);
        tqvs_set_logged_in(c.loggedIn ? 1 : 0);
        tqvs_set_names_batch(c.batch);
        addCodes("alpha", c.codes);
        for (const Injection &i : c.injected)
            tqvs_inject(i.function, i.nth, i.status);
        tqvs_clear_log();
    }
};

TEST_P(SizedWalkTest, CallsTheLibraryAsTheUnsizedListingDoes) {
    const WalkCase &c = GetParam();
    prepare(c);
    std::vector<char> output(4096, '\0');
    int error = 0;
    const int unsized = c_kovraGetCodes(c.direct, output.data(), "alpha", &error);
    const std::vector<std::string> unsizedJournal = journal();

    prepare(c);
    const Listed listed = listSized(c.direct, "alpha", 4096);

    EXPECT_EQ(unsizedJournal, journal());
    EXPECT_EQ(c.sized, listed.result);
    if (c.sized >= 0) {
        EXPECT_EQ(0, unsized);
        EXPECT_EQ(std::string(output.data()), listed.text());
        EXPECT_EQ(static_cast<std::size_t>(c.sized), listed.text().size());
    } else {
        // A failure leaves the empty text.
        EXPECT_EQ("", listed.text());
    }
    EXPECT_EQ(kSavedMerge, tqvs_merge_setting(c.direct));
}

INSTANTIATE_TEST_SUITE_P(Walks, SizedWalkTest, ::testing::ValuesIn(kWalkCases),
                         kovrap_test::caseName<WalkCase>);

TEST_F(SizedListingTest, RefusesANegativeCapacityOrANullBufferWithRoomBeforeAnyCall) {
    addCodes("alpha", {"A"});
    char buffer[4] = {kFill, kFill, kFill, kFill};
    for (const int direct : {0, 1}) {
        EXPECT_EQ(-837, c_kovraGetCodesSized(direct, "alpha", buffer, -1));
        EXPECT_EQ(-837, c_kovraGetCodesSized(direct, "alpha", nullptr, -1));
        EXPECT_EQ(-837, c_kovraGetCodesSized(direct, "alpha", nullptr, 1));
    }
    EXPECT_EQ(std::string(4, kFill), std::string(buffer, 4));
    EXPECT_TRUE(journal().empty());
}

// Behind a whole list with a byte to spare, a second NUL says that the
// library ended the listing; a direct listing stopped at its 32nd call
// leaves that byte alone, as c_kovraGetCodes does.
TEST_F(SizedListingTest, MarksAListingThatTheLibraryEnded) {
    const struct {
        int series;
        bool ended;
    } cases[] = {{31, true}, {32, false}};
    for (const auto &c : cases) {
        tqvs_reset();
        tqvs_set_logged_in(1);
        tqvs_set_names_batch(1);
        addCodes("alpha", numbered(c.series));
        const int whole = c.series * 6 - 1; // five characters and a comma each
        const Listed listed = listSized(1, "alpha", whole + 2);
        ASSERT_EQ(whole, listed.result) << c.series;
        EXPECT_EQ(c.ended ? '\0' : kFill, listed.buffer[static_cast<std::size_t>(whole) + 1])
            << c.series;
    }
    tqvs_reset();
    addCodes("alpha", numbered(3));
    const Listed local = listSized(0, "alpha", 3 * 6 + 1);
    ASSERT_EQ(3 * 6 - 1, local.result);
    EXPECT_EQ('\0', local.buffer[3 * 6]);
}

// An empty last code makes an empty last item, "A1,", as c_kovraGetCodes
// lists it; a cut before it never leaves the comma at the end.
TEST_F(SizedListingTest, ACutBeforeAnEmptyCodeLeavesNoTrailingComma) {
    addCodes("alpha", {"A1", "B2"});
    unsigned char record[256] = {};
    ASSERT_EQ(0, tqvs_set_record("alpha", "B2", record));
    const struct {
        int capacity;
        const char *written;
    } cases[] = {{1, ""}, {2, ""}, {3, "A1"}, {4, "A1,"}, {5, "A1,"}};
    for (const auto &c : cases) {
        const Listed listed = listSized(0, "alpha", c.capacity);
        EXPECT_EQ(3, listed.result) << c.capacity;
        EXPECT_EQ(c.written, listed.text()) << c.capacity;
    }
}

// --------------------------------------------------------- files on disk

void setDataFolder(const std::string &value) {
#ifdef _WIN32
    _putenv_s("TQVD_DATA_DIR", value.c_str());
#else
    if (value.empty())
        unsetenv("TQVD_DATA_DIR");
    else
        setenv("TQVD_DATA_DIR", value.c_str(), 1);
#endif
}

std::string databaseText(const std::vector<std::string> &codes) {
    std::string text = "TQVDB 1\ndatabase D\n";
    for (const std::string &code : codes)
        text += "series " + code + "\nfrequency 10\nrange none\nvalues\nend\n";
    return text;
}

void writeFile(const fs::path &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    ASSERT_TRUE(out.good()) << path;
}

// An atomic rename over the target; where the runtime's rename will not
// replace a file (older MinGW), the target goes first.
void replaceFile(const fs::path &from, const fs::path &to) {
    std::error_code error;
    fs::rename(from, to, error);
    if (error) {
        fs::remove(to);
        fs::rename(from, to);
    }
}

class SizedFilesTest : public SizedListingTest {
  protected:
    void SetUp() override {
        SizedListingTest::SetUp();
        const char *old = std::getenv("TQVD_DATA_DIR");
        saved_ = old != nullptr ? old : "";
        folder_ = fs::temp_directory_path() /
                  ("kovrap_sized_" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                   "_" + std::to_string(std::random_device{}()));
        fs::create_directories(folder_);
        setDataFolder(folder_.string());
        tqvs_set_logged_in(1);
    }
    void TearDown() override {
        setDataFolder(saved_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        SizedListingTest::TearDown();
    }
    fs::path folder_;

  private:
    std::string saved_;
};

#if defined(__linux__)
// /proc/PID/cmdline of a process that wrote a database over its arguments:
// stat gives size 0, reading gives the database.
TEST_F(SizedFilesTest, APseudoFileOfSizeZeroIsListedWithinTheCapacity) {
    const std::vector<std::string> codes = {"ABCDEFGHI", "B2", "LONGCODE9"};
    if (kovrap_test::PseudoFile::underValgrind())
        GTEST_SKIP() << "under valgrind the test program cannot start itself again";
    kovrap_test::PseudoFile pseudo(databaseText(codes));
    ASSERT_TRUE(pseudo.ready());
    std::error_code error;
    ASSERT_EQ(0u, fs::file_size(pseudo.path(), error)) << error.message();
    const std::string list = joined(codes);
    const int whole = static_cast<int>(list.size());

    // What a host that measured the file would have given: one byte.
    EXPECT_EQ(whole, listSized(0, pseudo.path().c_str(), 1).result);
    EXPECT_EQ("", listSized(0, pseudo.path().c_str(), 1).text());
    const Listed cut = listSized(0, pseudo.path().c_str(), 12);
    EXPECT_EQ(whole, cut.result);
    EXPECT_EQ("ABCDEFGHI", cut.text());
    const Listed grown = listSized(0, pseudo.path().c_str(), whole + 1);
    EXPECT_EQ(whole, grown.result);
    EXPECT_EQ(list, grown.text());
}
#else
TEST_F(SizedFilesTest, APseudoFileOfSizeZeroIsListedWithinTheCapacity) {
    GTEST_SKIP() << "no /proc/PID/cmdline on Windows: no file reports size 0 and reads longer";
}
#endif

// A small and a large database renamed in turn over one name between
// listings, each listing sized from the one before: the buffer never
// receives more than its capacity, and what fits is whole.
TEST_F(SizedFilesTest, ASwapBetweenListingsNeverOverrunsTheBuffer) {
    std::vector<std::string> large;
    for (int i = 0; i < 500; ++i)
        large.push_back("L" + std::to_string(10000000 + i));
    const std::vector<std::vector<std::string>> databases = {{"S1"}, large};
    for (std::size_t k = 0; k < databases.size(); ++k)
        writeFile(folder_ / ("source" + std::to_string(k)), databaseText(databases[k]));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (const int direct : {0, 1}) {
        const std::string name = direct ? std::string("SWAP") : (folder_ / "SWAP.tqvdb").string();
        int capacity = 1;
        int swaps = 0;
        for (; swaps < 40 && std::chrono::steady_clock::now() < deadline; ++swaps) {
            const std::vector<std::string> &now = databases[static_cast<std::size_t>(swaps % 2)];
            const fs::path next = folder_ / "next";
            fs::copy_file(folder_ / ("source" + std::to_string(swaps % 2)), next,
                          fs::copy_options::overwrite_existing);
            replaceFile(next, folder_ / "SWAP.tqvdb");
            const Listed listed = listSized(direct, name.c_str(), capacity);
            const std::string list = joined(now);
            ASSERT_EQ(static_cast<int>(list.size()), listed.result) << swaps;
            const std::string text = listed.text();
            if (listed.result < capacity) {
                EXPECT_EQ(list, text) << swaps;
            } else {
                // Whole codes only: the text is the list up to a comma.
                EXPECT_EQ(0u, list.compare(0, text.size(), text)) << swaps;
                if (!text.empty()) {
                    EXPECT_EQ(',', list[text.size()]) << swaps;
                }
            }
            capacity = listed.result + 1;
        }
        EXPECT_EQ(40, swaps) << "the loop ran out of time";
    }
}

} // namespace
