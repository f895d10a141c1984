// kovra's code listing and its operands, in process: the buffer that
// c_kovraGetCodes fills is sized from the database file, so that a database
// of any size is listed whole and never past the buffer's end, and a series
// code with a comma is refused on the direct path.
#include "args.h"
#include "failure.h"
#include "session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// A folder of the test's own, removed at the end. CTest runs the tests as
// processes of their own side by side, so the folder is named after the
// test and the process.
class Scratch {
  public:
    Scratch()
        : path_(fs::temp_directory_path() /
                ("kovra_codes_" + std::string(testName()) + "_" + std::to_string(processId()) +
                 "_" + std::to_string(counter()++))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;

    // Writes a database of `count` series with nine-character codes; returns
    // the codes.
    std::vector<std::string> database(const std::string &file, int count) const {
        std::vector<std::string> codes;
        std::ofstream out(path_ / file, std::ios::binary);
        out << "TQVDB 1\ndatabase BIG\n";
        for (int i = 0; i < count; ++i) {
            char code[16];
            std::snprintf(code, sizeof code, "C%08d", i);
            codes.emplace_back(code);
            out << "series " << code << "\nfrequency 10\nrange none\nvalues\nend\n";
        }
        return codes;
    }
    std::string at(const std::string &file) const { return (path_ / file).string(); }

  private:
    static const char *testName() {
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        return info != nullptr ? info->name() : "none";
    }
    static long processId() {
#if defined(_WIN32)
        return static_cast<long>(_getpid());
#else
        return static_cast<long>(getpid());
#endif
    }
    static int &counter() {
        static int n = 0;
        return n;
    }
    fs::path path_;
};

// A session on the library built beside the test.
std::unique_ptr<kovra::Session> openSession() {
    kovra::Options options;
    options.library = KOVRAP_LIBRARY_PATH;
    try {
        return std::make_unique<kovra::Session>(options);
    } catch (const kovra::Failure &f) {
        ADD_FAILURE() << f.message;
        return nullptr;
    }
}

TEST(KovraCodeListBytes, SizedFromTheDatabaseFile) {
    Scratch scratch;
    scratch.database("ECON.tqvdb", 3);
    const std::size_t size = static_cast<std::size_t>(fs::file_size(scratch.at("ECON.tqvdb")));
    const struct {
        const char *name;
        std::string database;
        std::size_t limit;
        std::optional<std::size_t> expected;
    } cases[] = {
        {"path as given", scratch.at("ECON.tqvdb"), 1 << 20, size + 1},
        {"path without the extension", scratch.at("ECON"), 1 << 20, size + 1},
        {"file at the limit", scratch.at("ECON.tqvdb"), size, std::nullopt},
        {"file just below the limit", scratch.at("ECON.tqvdb"), size + 1, size + 1},
        {"no such file", scratch.at("NOSUCH.tqvdb"), 1 << 20, std::nullopt},
        {"a folder", scratch.at(""), 1 << 20, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, kovra::localCodeListBytes(c.database, c.limit)) << c.name;
}

// Nine-character codes take 10 bytes each in the listing: the file's size
// holds them with room to spare, and the whole listing comes back.
TEST(KovraCodeListBytes, TheListingOfALargeDatabaseFitsAndIsWhole) {
    Scratch scratch;
    const std::vector<std::string> codes = scratch.database("BIG.tqvdb", 4000);
    const std::optional<std::size_t> bytes =
        kovra::localCodeListBytes(scratch.at("BIG.tqvdb"), std::size_t{1} << 30);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_GE(*bytes, codes.size() * 10 + 1);

    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    EXPECT_EQ(codes, session->codes(scratch.at("BIG.tqvdb")));
}

TEST(KovraCodeListBytes, ADatabaseThatDoesNotOpenIsReportedAsBefore) {
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    Scratch scratch;
    try {
        session->codes(scratch.at("NOSUCH.tqvdb"));
        ADD_FAILURE() << "no failure";
    } catch (const kovra::Failure &f) {
        EXPECT_EQ(kovra::kExitFailure, f.status);
        // The files the local library looked for are named.
        EXPECT_EQ("cannot open database '" + scratch.at("NOSUCH.tqvdb") + "' (status 10; no file " +
                      scratch.at("NOSUCH.tqvdb") + " or " + scratch.at("NOSUCH.tqvdb.tqvdb") + ")",
                  f.message);
    }
}

// Operands of info and fetch: a code with a comma cannot travel to the
// direct library in its comma-joined code list.
TEST(KovraOperands, ACodeWithACommaIsRefusedOnTheDirectPath) {
    const std::vector<std::string> login = {"--direct", "--user", "u", "--password-file", "p"};
    const struct {
        std::vector<std::string> args;
        bool direct;
        const char *refused; // null: accepted
    } cases[] = {
        {{"info", "ECON:X,Y"}, true, "ECON:X,Y"},
        {{"fetch", "ECON:UKGAS", "ECON:,"}, true, "ECON:,"},
        {{"fetch", "C:\\data,1\\ECON.tqvdb:UKGAS"}, true, nullptr},
        {{"info", "ECON:X,Y"}, false, nullptr},
        {{"codes", "ECON,2"}, true, nullptr}, // a database name, not a code
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = c.args;
        if (c.direct)
            args.insert(args.end(), login.begin(), login.end());
        try {
            const kovra::Options options = kovra::parseArgs(args);
            if (options.command != "codes")
                kovra::parseSeriesRefs(options.operands, options.direct);
            EXPECT_EQ(nullptr, c.refused) << args[1];
        } catch (const kovra::Failure &f) {
            ASSERT_NE(nullptr, c.refused) << f.message;
            EXPECT_EQ(kovra::kExitUsage, f.status);
            EXPECT_EQ("'" + std::string(c.refused) +
                          "' has a comma in its code, which the direct library cannot take",
                      f.message);
        }
    }
}

} // namespace
