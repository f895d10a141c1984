// kovra's code listing and its operands, in process: the buffer that
// c_kovraGetCodes fills is sized from the largest regular file the library
// may open for the name, so that a database of any size is listed whole and
// never past the buffer's end; a name without such a file never reaches the
// library; a direct listing that may be cut says so; a series code with a
// comma is refused on the direct path. Also the log-in's password file, a
// library that is not Kovrap, and periods past the year 9999.
#include "args.h"
#include "failure.h"
#include "kovra_session.h"
#include "session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <process.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
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
    std::vector<std::string> database(const std::string &file, int count,
                                      const char *prefix = "C") const {
        std::vector<std::string> codes;
        std::ofstream out(path_ / file, std::ios::binary);
        out << "TQVDB 1\ndatabase BIG\n";
        for (int i = 0; i < count; ++i) {
            char code[16];
            std::snprintf(code, sizeof code, "%s%08d", prefix, i);
            codes.emplace_back(code);
            out << "series " << code << "\nfrequency 10\nrange none\nvalues\nend\n";
        }
        return codes;
    }
    std::string at(const std::string &file) const { return (path_ / file).string(); }
    void write(const std::string &file, const std::string &text) const {
        std::ofstream(path_ / file, std::ios::binary) << text;
    }

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

std::string failureOf(const std::function<void()> &run) {
    try {
        run();
    } catch (const kovra::Failure &f) {
        return std::to_string(f.status) + ": " + f.message;
    }
    return "no failure";
}

std::string noFileMessage(const std::string &name) {
    return "1: cannot open database '" + name + "': no regular file that can be read at " + name +
           " or " + name + ".tqvdb";
}

TEST(KovraCodeListBytes, SizedFromTheLargestFileTheLibraryMayOpen) {
    Scratch scratch;
    scratch.database("ECON.tqvdb", 3);
    const std::size_t size = static_cast<std::size_t>(fs::file_size(scratch.at("ECON.tqvdb")));
    scratch.write("SMALL", "TQVDB 1\n"); // 8 bytes beside
    scratch.database("SMALL.tqvdb", 50); // a larger file
    const std::size_t bigSize = static_cast<std::size_t>(fs::file_size(scratch.at("SMALL.tqvdb")));
    scratch.database("LARGE", 50); // the same larger file, without extension
    scratch.write("LARGE.tqvdb", "TQVDB 1\n");
    fs::create_directories(scratch.at("FOLDER"));
    scratch.database("FOLDER.tqvdb", 3);
    fs::create_directories(scratch.at("ONLYFOLDER"));
    const struct {
        const char *name;
        std::string database;
        std::size_t limit;
        std::optional<std::size_t> expected;
    } cases[] = {
        {"path as given", scratch.at("ECON.tqvdb"), 1 << 20, size + 1},
        {"path without the extension", scratch.at("ECON"), 1 << 20, size + 1},
        {"small file beside a large one", scratch.at("SMALL"), 1 << 20, bigSize + 1},
        {"large file beside a small one", scratch.at("LARGE"), 1 << 20, bigSize + 1},
        {"folder beside a file", scratch.at("FOLDER"), 1 << 20, size + 1},
        {"file at the limit", scratch.at("ECON.tqvdb"), size, std::nullopt},
        {"file just below the limit", scratch.at("ECON.tqvdb"), size + 1, size + 1},
        {"larger file at the limit", scratch.at("SMALL"), bigSize, std::nullopt},
        {"no such file", scratch.at("NOSUCH.tqvdb"), 1 << 20, std::nullopt},
        {"a folder", scratch.at(""), 1 << 20, std::nullopt},
        {"a folder alone", scratch.at("ONLYFOLDER"), 1 << 20, std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, kovra::localCodeListBytes(c.database, c.limit)) << c.name;
}

// Names without a regular file to read are refused before the library is
// called, with one line.
TEST(KovraCodeListBytes, ANameWithoutARegularFileNeverReachesTheLibrary) {
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    Scratch scratch;
    fs::create_directories(scratch.at("ONLYFOLDER"));
    std::vector<std::string> names = {scratch.at("NOSUCH.tqvdb"), scratch.at("ONLYFOLDER")};
#if !defined(_WIN32)
    ASSERT_EQ(0, mkfifo(scratch.at("ONLYPIPE").c_str(), 0600));
    names.push_back(scratch.at("ONLYPIPE"));
    names.push_back("/dev/null");
#endif
    for (const std::string &name : names)
        EXPECT_EQ(noFileMessage(name), failureOf([&] { session->codes(name); })) << name;
}

// A folder or a pipe under the name itself is no file the library reads:
// it lists the file with the extension, which sized the buffer.
TEST(KovraCodeListBytes, WhatIsNoRegularFileIsPassedOverForTheFileBesideIt) {
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    Scratch scratch;
    fs::create_directories(scratch.at("D"));
    const std::vector<std::string> besideFolder = scratch.database("D.tqvdb", 2000);
    EXPECT_EQ(besideFolder, session->codes(scratch.at("D")));
#if !defined(_WIN32)
    ASSERT_EQ(0, mkfifo(scratch.at("X").c_str(), 0600));
    const std::vector<std::string> besidePipe = scratch.database("X.tqvdb", 3);
    EXPECT_EQ(besidePipe, session->codes(scratch.at("X")));
#endif
}

#if !defined(_WIN32)
// The library passes over a file it cannot read for the one with the
// extension, so the buffer must hold that one. Root reads a file of mode
// 000, so as root the listing runs in a child process as the user nobody.
TEST(KovraCodeListBytes, AnUnreadableFileBesideALargeDatabaseIsListedFromTheLargeOne) {
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    Scratch scratch;
    scratch.write("Z", "TQVDB 1\ndatabase Z\n"); // 19 bytes
    fs::permissions(scratch.at("Z"), fs::perms::none);
    const std::vector<std::string> codes = scratch.database("Z.tqvdb", 20000);
    fs::permissions(scratch.at(""), fs::perms::owner_all | fs::perms::group_exec |
                                        fs::perms::group_read | fs::perms::others_exec |
                                        fs::perms::others_read);
    const auto listing = [&] { return session->codes(scratch.at("Z")) == codes; };
    if (geteuid() != 0) {
        EXPECT_TRUE(listing());
        return;
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        // nobody: 65534 on Debian and most others.
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(3);
        if (std::ifstream(scratch.at("Z")).is_open())
            _exit(4); // the file is readable after all: the case is not made
        _exit(listing() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended with wait status " << status;
    if (WEXITSTATUS(status) == 3)
        GTEST_SKIP() << "cannot become the user nobody here";
    EXPECT_EQ(0, WEXITSTATUS(status)) << "1: wrong listing; 4: the file was readable";
}
#endif

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

TEST(KovraCodeListBytes, ADatabaseThatDoesNotOpenIsReportedWithTheLibrarysStatus) {
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    Scratch scratch;
    scratch.write("BROKEN.tqvdb", "not a database\n");
    EXPECT_EQ("1: cannot open database '" + scratch.at("BROKEN.tqvdb") +
                  "' (status 11: the file is malformed; 'tqvconvert check FILE.tqvdb' shows where)",
              failureOf([&] { session->codes(scratch.at("BROKEN.tqvdb")); }));
}

// ---- the direct library ---------------------------------------------------

void setDataFolder(const char *value) {
#if defined(_WIN32)
    _putenv_s("TQVD_DATA_DIR", value == nullptr ? "" : value);
#else
    if (value == nullptr)
        unsetenv("TQVD_DATA_DIR");
    else
        setenv("TQVD_DATA_DIR", value, 1);
#endif
}

// A data folder of the test's own with the user ann, for the time of a test.
class DirectFolder {
  public:
    DirectFolder() {
        const char *old = std::getenv("TQVD_DATA_DIR");
        if (old != nullptr)
            saved_ = old;
        scratch.write("credentials", "ann:open sesame\n");
        scratch.write("ann.password", "open sesame\n");
        setDataFolder(scratch.at("").c_str());
    }
    ~DirectFolder() { setDataFolder(saved_ ? saved_->c_str() : nullptr); }
    DirectFolder(const DirectFolder &) = delete;
    DirectFolder &operator=(const DirectFolder &) = delete;

    kovra::Options options(const std::string &passwordFile = "ann.password") const {
        kovra::Options o;
        o.library = KOVRAP_LIBRARY_PATH;
        o.direct = true;
        o.user = "ann";
        o.passwordFile = scratch.at(passwordFile);
        return o;
    }

    Scratch scratch;

  private:
    std::optional<std::string> saved_;
};

void setVariable(const char *name, const char *value) {
#if defined(_WIN32)
    _putenv_s(name, value == nullptr ? "" : value);
#else
    if (value == nullptr)
        unsetenv(name);
    else
        setenv(name, value, 1);
#endif
}

// The data folder is fixed when kovra starts, from KOVRAP_DATA_DIR before
// TQVD_DATA_DIR, and made absolute: a change of working folder afterwards
// moves neither the log-in nor the databases read.
TEST(KovraDataFolder, IsFixedAbsoluteAtTheStartFromKovrapDataDirFirst) {
    DirectFolder folder;
    const std::vector<std::string> codes = folder.scratch.database("HERE.tqvdb", 3, "H");
    const fs::path data = fs::path(folder.scratch.at("HERE.tqvdb")).parent_path();
    const fs::path parent = data.parent_path();
    const std::string relative = data.filename().string();
    Scratch elsewhere;
    const fs::path before = fs::current_path();
    const struct {
        const char *name;
        const char *ours;   // KOVRAP_DATA_DIR
        const char *theirs; // TQVD_DATA_DIR
    } cases[] = {
        {"relative TQVD_DATA_DIR", nullptr, relative.c_str()},
        {"relative KOVRAP_DATA_DIR first", relative.c_str(), "no-such-folder"},
        {"empty KOVRAP_DATA_DIR", "", relative.c_str()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fs::current_path(parent);
        setVariable("KOVRAP_DATA_DIR", c.ours);
        setVariable("TQVD_DATA_DIR", c.theirs);
        std::string failure;
        std::vector<std::string> listed;
        std::string handed;
        failure = failureOf([&] {
            const kovra::Session session(folder.options());
            const char *now = std::getenv("TQVD_DATA_DIR");
            handed = now == nullptr ? "(unset)" : now;
            fs::current_path(elsewhere.at(""));
            listed = session.listing("HERE").codes;
        });
        fs::current_path(before);
        setVariable("KOVRAP_DATA_DIR", nullptr);
        EXPECT_EQ("no failure", failure);
        EXPECT_EQ(codes, listed);
        EXPECT_TRUE(fs::equivalent(data, handed)) << handed;
        EXPECT_TRUE(fs::path(handed).is_absolute()) << handed;
    }
}

// The export asks the direct library for names at most 32 times; the
// stand-in gives 100 codes a call. When the 32nd call still gave names, the
// library had not said it was done: more may exist.
TEST(KovraDirectListing, SaysWhenItMayHaveBeenCutAtThirtyTwoCalls) {
    DirectFolder folder;
    const struct {
        int series;
        std::size_t listed;
        bool mayBeCut;
    } cases[] = {
        {1, 1, false},      {3100, 3100, false}, // the 32nd call said there were no more
        {3101, 3101, true},                      // whole, but no call said so
        {3200, 3200, true}, {3201, 3200, true},  // cut
    };
    for (const auto &c : cases) {
        const std::string name = "DB" + std::to_string(c.series);
        const std::vector<std::string> codes =
            folder.scratch.database(name + ".tqvdb", c.series, "D");
        const kovra::Session session(folder.options());
        const kovra::CodeListing listing = session.listing(name);
        ASSERT_EQ(c.listed, listing.codes.size()) << c.series;
        EXPECT_TRUE(std::equal(listing.codes.begin(), listing.codes.end(), codes.begin()))
            << c.series;
        EXPECT_EQ(c.mayBeCut, listing.mayBeCut) << c.series;
    }
}

// The library takes the password as a C string: a NUL would log in with
// what stands before it, so neither a NUL nor any control character is
// passed on.
TEST(KovraDirectListing, APasswordOrUserWithAControlCharacterIsRefused) {
    DirectFolder folder;
    folder.scratch.write("zero.password", std::string("open\0sesame\n", 12));
    folder.scratch.write("zero-last.password", std::string("open sesame\0\n", 13));
    folder.scratch.write("tab.password", "open\tsesame\n");
    folder.scratch.write("escape.password", "open sesame\x1b\n");
    for (const char *file :
         {"zero.password", "zero-last.password", "tab.password", "escape.password"}) {
        const kovra::Options options = folder.options(file);
        EXPECT_EQ("1: the first line of the password file " + folder.scratch.at(file) +
                      " holds a NUL or control character, which no password holds",
                  failureOf([&] { kovra::Session session(options); }))
            << file;
    }
    kovra::Options options = folder.options();
    options.user = "ann\x7f";
    EXPECT_EQ("2: the user name holds a control character, which no user name holds",
              failureOf([&] { kovra::Session session(options); }));
    // The same password without the NUL logs in.
    const kovra::Options good = folder.options();
    EXPECT_EQ("no failure", failureOf([&] { kovra::Session session(good); }));
}

// ---- the library -------------------------------------------------------------

TEST(KovraLibrary, ALibraryWithoutKovrapsExportsIsNamed) {
    kovra::Api api;
    std::string error;
    EXPECT_FALSE(kovra::loadApi(OTHER_LIBRARY_PATH, api, error));
    EXPECT_EQ(std::string(OTHER_LIBRARY_PATH) + " is not Kovrap: it does not export isLeapYear",
              error);
}

// ---- periods past the year 9999 ------------------------------------------------

// The week of Friday 9999-12-31 read as weeks ending Monday ends on
// 10000-01-03, a date no host can show or read back.
TEST(KovraWindow, APeriodEndingAfterTheYear9999IsRefused) {
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    Scratch scratch;
    scratch.write("W.tqvdb", "TQVDB 1\ndatabase W\nseries FRI\nfrequency 55\n"
                             "range 99991224 99991231\nattributes 1 0 0 0 0 1\nvalues\n1 2\nend\n");
    const std::vector<kovra::SeriesRef> series =
        kovra::parseSeriesRefs({scratch.at("W.tqvdb") + ":FRI"});
    const struct {
        int frequency;
        const char *failure; // null: the window is used
    } cases[] = {
        {55, nullptr}, // weeks ending Friday: the last ends on 9999-12-31
        {51, "1: the window's last weekly-mon period ends after 9999-12-31, the last date kovra "
             "shows; give an earlier --to"},
        {54, "1: the window's last weekly-thu period ends after 9999-12-31, the last date kovra "
             "shows; give an earlier --to"},
        {10, nullptr},
    };
    for (const auto &c : cases) {
        kovra::RangeRequest request;
        request.frequency = c.frequency;
        const kovra::InfoResult info = kovra::querySeries(*session, series, &request);
        const std::string outcome =
            failureOf([&] { kovra::requireUsableRange(session->api(), series, info, request); });
        EXPECT_EQ(c.failure == nullptr ? "no failure" : c.failure, outcome) << c.frequency;
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
