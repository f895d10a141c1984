// The stand-ins' boundaries: the direct library keeps to its data folder,
// a log-in holds for the folder it was checked against, only regular files
// are read, credentials are taken whole, and the journal is kept only when a
// test asks for it, without passwords.
#include "../../standin/engine/dbfile.h"
#include "fifo_guard.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using kovrap_test::journal;
using kovrap_test::StandinTest;

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

void writeFile(const fs::path &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A database file of one annual series with the given code.
std::string databaseWith(const std::string &code) {
    tqvs::Database db;
    db.name = "file";
    tqvs::Series s;
    s.code = code;
    s.frequency = 10;
    s.first = 2001;
    s.last = 2002;
    s.values = {1, 2};
    db.series.push_back(s);
    return tqvs::formatDatabase(db);
}

// The code of the first series of a database the local library opened.
std::string firstCode(const char *database) {
    char record[256] = {};
    if (TQVGetNextVar(database, nullptr, record) != 0)
        return "(none)";
    return std::string(record);
}

// root/data is the data folder; root/outside holds what must stay out of
// reach: a good database and a malformed one.
class FolderTest : public StandinTest {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        const char *old = std::getenv("TQVD_DATA_DIR");
        hadFolder = old != nullptr;
        saved = old == nullptr ? "" : old;
        root = fs::temp_directory_path() /
               ("tqvs_bounds_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        data = root / "data";
        outside = root / "outside";
        fs::create_directories(data);
        fs::create_directories(outside);
        writeFile(data / "INSIDE.tqvdb", databaseWith("IN"));
        writeFile(outside / "SECRET.tqvdb", databaseWith("SECRET"));
        writeFile(outside / "BROKEN.tqvdb", "not a database\n");
        setDataFolder(data.string());
    }
    void TearDown() override {
        setDataFolder(hadFolder ? saved : "");
        std::error_code ignored;
        fs::remove_all(root, ignored);
        StandinTest::TearDown();
    }

    bool hadFolder = false;
    std::string saved;
    fs::path root, data, outside;
};

// Every name that would leave the folder answers as a missing database does,
// so that the answer tells nothing of what exists outside.
TEST_F(FolderTest, DirectNamesThatLeaveTheFolderAnswerAsMissingOnes) {
    tqvs_set_logged_in(1);
    const std::string absolute = (outside / "SECRET").string();
    const std::string names[] = {
        "NOSUCH", // missing: the status all the others must match
        "../outside/SECRET",
        "../outside/BROKEN", // malformed, yet no different from missing
        "..\\outside\\SECRET",
        "../outside/NOSUCH",
        "..",
        "a..b",
        "sub/INSIDE",
        "sub\\INSIDE",
        "C:SECRET",
        "C:\\outside\\SECRET",
        "INSIDE:stream",
        absolute,
        "",
    };
    for (const std::string &name : names) {
        EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVDOpenDatabase(name.c_str())) << name;
        EXPECT_EQ(0, tqvs_open_count(1)) << name;
    }
    // The local library still opens paths.
    EXPECT_EQ(0, TQVOpenDatabase(absolute.c_str()));
    // And the folder's own database opens by name.
    ASSERT_EQ(0, TQVDOpenDatabase("INSIDE"));
    char text[64] = {};
    ASSERT_EQ(0, TQVDGetNames("INSIDE", text));
    EXPECT_STREQ("IN", text);
}

#if !defined(_WIN32)
// The direct library opens a database as an entry of its folder and never
// through a link, wherever the link points: a link can be re-pointed between
// any check and the read.
TEST_F(FolderTest, DirectLinksAreNeverFollowed) {
    fs::create_symlink(outside / "SECRET.tqvdb", data / "LINKOUT.tqvdb");
    fs::create_symlink(outside / "BROKEN.tqvdb", data / "LINKBAD.tqvdb");
    fs::create_symlink("../outside/SECRET.tqvdb", data / "RELOUT.tqvdb");
    fs::create_symlink(data / "INSIDE.tqvdb", data / "ALIAS.tqvdb");
    fs::create_directories(data / "sub");
    writeFile(data / "sub" / "DEEP.tqvdb", databaseWith("DEEP"));
    fs::create_symlink(data / "sub" / "DEEP.tqvdb", data / "DEEP.tqvdb");
    fs::create_directories(data / "DIR.tqvdb");
    tqvs_set_logged_in(1);
    for (const char *name : {"LINKOUT", "LINKBAD", "RELOUT", "ALIAS", "DEEP", "DIR"}) {
        EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVDOpenDatabase(name)) << name;
        EXPECT_EQ(0, tqvs_open_count(1)) << name;
    }
    ASSERT_EQ(0, TQVDOpenDatabase("INSIDE"));
}

// One thread swaps a database of the folder with a link to a file outside
// it, over and over, while this one opens and lists it: not once may the
// outside file be read. Bounded in rounds and in time.
TEST_F(FolderTest, ALinkSwappedInDuringTheOpenIsNeverFollowed) {
    writeFile(data / "SWAP.tqvdb", databaseWith("IN"));
    fs::create_symlink(outside / "SECRET.tqvdb", data / "link.tmp");
    tqvs_set_journal(0);
    tqvs_set_logged_in(1);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        // The database and the link change places atomically: both names
        // always exist, one of them a link out of the folder.
        const std::string swap = (data / "SWAP.tqvdb").string();
        const std::string spare = (data / "link.tmp").string();
        for (int i = 0; i < 1000000 && !stop.load(); ++i)
            if (::renameat2(AT_FDCWD, swap.c_str(), AT_FDCWD, spare.c_str(), RENAME_EXCHANGE) != 0)
                break;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int opened = 0;
    int outsideRead = 0;
    for (int i = 0; i < 20000 && std::chrono::steady_clock::now() < deadline; ++i) {
        if (TQVDOpenDatabase("SWAP") != 0)
            continue;
        ++opened;
        char text[64] = {};
        if (TQVDGetNames("SWAP", text) == 0 && std::string(text) == "SECRET")
            ++outsideRead;
        TQVDCloseDatabase();
    }
    stop = true;
    swapper.join();
    EXPECT_EQ(0, outsideRead) << "of " << opened << " opens";
}

// A log-in holds for the folder itself: not for what a link to it points to
// later, nor for another folder under the same relative name.
TEST_F(FolderTest, ALogInIsBoundToTheFolderNotItsName) {
    const fs::path other = root / "other";
    fs::create_directories(other);
    writeFile(other / "INSIDE.tqvdb", databaseWith("OTHER"));
    writeFile(data / "credentials", "ann:pa\n");
    writeFile(other / "credentials", "ann:pa\n");
    const fs::path link = root / "current";
    fs::create_directory_symlink(data, link);
    setDataFolder(link.string());
    int status = -1;
    ASSERT_EQ(0, TQVDAuthenticate("ann", "pa", &status, nullptr));
    ASSERT_EQ(0, TQVDOpenDatabase("INSIDE"));
    // The link re-pointed, atomically, at a folder the log-in never saw.
    fs::create_directory_symlink(other, root / "next");
    fs::rename(root / "next", link);
    EXPECT_EQ(0, tqvs_logged_in());
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, TQVDOpenDatabase("INSIDE"));
    char text[64] = {};
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, TQVDGetNames("INSIDE", text));
    EXPECT_STREQ("", text);
    // Pointed back, the folder is the log-in's again.
    fs::create_directory_symlink(data, root / "next");
    fs::rename(root / "next", link);
    ASSERT_EQ(0, TQVDOpenDatabase("INSIDE"));
    ASSERT_EQ(0, TQVDGetNames("INSIDE", text));
    EXPECT_STREQ("IN", text);
}

TEST_F(FolderTest, ADataFolderReachedThroughALinkStillServesItsOwnDatabases) {
    fs::create_directory_symlink(data, root / "datalink");
    setDataFolder((root / "datalink").string());
    tqvs_set_logged_in(1);
    EXPECT_EQ(0, TQVDOpenDatabase("INSIDE"));
    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVDOpenDatabase("../outside/SECRET"));
}

// A pipe is never waited for and a device never read: only regular files
// are databases, and the local library goes on to the name with .tqvdb.
TEST_F(FolderTest, OnlyRegularFilesAreRead) {
    const fs::path pipe = root / "X";
    ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
    writeFile(root / "X.tqvdb", databaseWith("FROMFILE"));
    ASSERT_EQ(0, mkfifo((data / "PIPE.tqvdb").c_str(), 0600));
    fs::create_directories(root / "D");
    writeFile(root / "D.tqvdb", databaseWith("BESIDE"));

    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVOpenDatabase((root / "X.tqvdb.none").c_str()));
    for (const char *device : {"/dev/null", "/dev/zero"})
        EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVOpenDatabase(device)) << device;
    // Bounded: an open that waited on the pipe would fail the test, not hang it.
    int status = -1;
    ASSERT_TRUE(kovrap_test::finishesWithoutWaiting([&] { status = TQVOpenDatabase(pipe.c_str()); },
                                                    pipe.string()));
    ASSERT_EQ(0, status);
    EXPECT_EQ("FROMFILE", firstCode(pipe.c_str()));
    const std::string folder = (root / "D").string();
    ASSERT_EQ(0, TQVOpenDatabase(folder.c_str()));
    EXPECT_EQ("BESIDE", firstCode(folder.c_str()));
    tqvs_set_logged_in(1);
    ASSERT_TRUE(kovrap_test::finishesWithoutWaiting([&] { status = TQVDOpenDatabase("PIPE"); },
                                                    (data / "PIPE.tqvdb").string()));
    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, status);
}
#else
TEST_F(FolderTest, OnlyRegularFilesAreRead) {
    // NUL is the null device in every folder.
    EXPECT_EQ(TQVS_NO_SUCH_DATABASE, TQVOpenDatabase("NUL"));
    fs::create_directories(root / "D");
    writeFile(root / "D.tqvdb", databaseWith("BESIDE"));
    const std::string folder = (root / "D").string();
    ASSERT_EQ(0, TQVOpenDatabase(folder.c_str()));
    EXPECT_EQ("BESIDE", firstCode(folder.c_str()));
}
#endif

// ---- log-ins -------------------------------------------------------------

TEST_F(FolderTest, ALogInHoldsOnlyForTheFolderItWasCheckedAgainst) {
    const fs::path other = root / "other";
    fs::create_directories(other);
    writeFile(data / "credentials", "ann:pa\n");
    writeFile(other / "credentials", "bob:pb\n");
    writeFile(other / "PRIVATE.tqvdb", databaseWith("PRIV"));

    int status = -1;
    ASSERT_EQ(0, TQVDAuthenticate("ann", "pa", &status, nullptr));
    ASSERT_EQ(0, TQVDOpenDatabase("INSIDE"));
    EXPECT_EQ(1, tqvs_logged_in());

    // Another folder: ann's log-in is none there, and her credentials are
    // not the other folder's.
    setDataFolder(other.string());
    EXPECT_EQ(0, tqvs_logged_in());
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, TQVDOpenDatabase("PRIVATE"));
    char text[64] = {};
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, TQVDGetNames("INSIDE", text));
    char record[256] = {};
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, TQVDGetInfo(0, "IN", record));
    double row[2] = {-3, -3};
    int count = 2;
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, TQVDGetDataCount("INSIDE", "IN", 2001, 2002, 10, row, &count));
    EXPECT_EQ(-3, row[0]);
    EXPECT_EQ(TQVS_BAD_LOGIN, TQVDAuthenticate("ann", "pa", &status, nullptr));

    // Back in the first folder the log-in was ended by the failed one;
    // bob's holds in his folder only.
    ASSERT_EQ(0, TQVDAuthenticate("bob", "pb", &status, nullptr));
    EXPECT_EQ(0, TQVDOpenDatabase("PRIVATE"));
    setDataFolder(data.string());
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, TQVDOpenDatabase("INSIDE"));
}

TEST_F(FolderTest, ALogInOfTheControlInterfaceIsBoundTheSameWay) {
    tqvs_set_credentials("ann", "pa");
    int status = -1;
    ASSERT_EQ(0, TQVDAuthenticate("ann", "pa", &status, nullptr));
    EXPECT_EQ(0, TQVDOpenDatabase("INSIDE"));
    setDataFolder(outside.string());
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, TQVDOpenDatabase("SECRET"));
    setDataFolder(data.string());
    EXPECT_EQ(0, TQVDOpenDatabase("INSIDE"));
}

// A relative data folder names another folder after a change of working
// folder; the log-in does not follow it there.
TEST_F(FolderTest, ARelativeDataFolderLogInDoesNotFollowAChangeOfWorkingFolder) {
    const fs::path second = root / "second";
    fs::create_directories(second / "data");
    writeFile(second / "data" / "INSIDE.tqvdb", databaseWith("OTHER"));
    const fs::path before = fs::current_path();
    fs::current_path(root);
    setDataFolder("data");
    tqvs_set_credentials("ann", "pa");
    int status = -1;
    ASSERT_EQ(0, TQVDAuthenticate("ann", "pa", &status, nullptr));
    const int inFirst = TQVDOpenDatabase("INSIDE");
    fs::current_path(second);
    const int inSecond = TQVDOpenDatabase("INSIDE");
    const int loggedInSecond = tqvs_logged_in();
    fs::current_path(root);
    const int back = TQVDOpenDatabase("INSIDE");
    fs::current_path(before);
    EXPECT_EQ(0, inFirst);
    EXPECT_EQ(TQVS_NOT_LOGGED_IN, inSecond);
    EXPECT_EQ(0, loggedInSecond);
    EXPECT_EQ(0, back);
}

// ---- credentials ---------------------------------------------------------

TEST_F(FolderTest, CredentialsAreTakenWholeAndWithoutControlCharacters) {
    writeFile(data / "credentials", "ann:pw one\r\na:b:c\ntab:x\ty\nnocolon\n:empty\n");
    tqvs_set_credentials("eve", "a\x01"
                                "b");
    const struct {
        const char *user;
        const char *password;
        int expected;
    } attempts[] = {
        {"ann", "pw one", 0},
        {"a", "b:c", 0},                 // the password is all after the first colon
        {"a:b", "c", TQVS_BAD_LOGIN},    // a colon cannot move into the user name
        {"tab", "x\ty", TQVS_BAD_LOGIN}, // the line says so, but a tab is a control character
        {"ann\n", "pw one", TQVS_BAD_LOGIN},
        {"ann", "pw one\r", TQVS_BAD_LOGIN},
        {"eve",
         "a\x01"
         "b",
         TQVS_BAD_LOGIN},
        {"nocolon", "", TQVS_BAD_LOGIN},
        {"", "empty", TQVS_BAD_LOGIN},
        {"ann", nullptr, TQVS_BAD_LOGIN},
    };
    for (const auto &a : attempts) {
        int status = -1;
        EXPECT_EQ(a.expected, TQVDAuthenticate(a.user, a.password, &status, nullptr)) << a.user;
        EXPECT_EQ(a.expected, status) << a.user;
        EXPECT_EQ(a.expected == 0 ? 1 : 0, tqvs_logged_in()) << a.user;
    }
}

// ---- the journal -----------------------------------------------------------

TEST_F(StandinTest, WithTheJournalOffNothingIsKeptButPositionsStillCount) {
    tqvs_set_journal(0);
    for (int i = 0; i < 1000; ++i)
        TQVGetObsNum(200001, 200012, 40);
    EXPECT_EQ(0, tqvs_log_size());
    EXPECT_EQ(nullptr, tqvs_log_entry(0));
    EXPECT_EQ(0, tqvs_log_count("TQVGetObsNum"));

    // Position 2 is the third call since the journal was switched.
    tqvs_set_journal(0);
    tqvs_fail_at(2, 77);
    EXPECT_EQ(12, TQVGetObsNum(200001, 200012, 40));
    EXPECT_EQ(12, TQVGetObsNum(200001, 200012, 40));
    EXPECT_EQ(77, TQVGetObsNum(200001, 200012, 40));
    EXPECT_EQ(12, TQVGetObsNum(200001, 200012, 40));

    // Switched on, it starts empty and counts from 0 again.
    tqvs_set_journal(1);
    tqvs_fail_at(1, 78);
    EXPECT_EQ(12, TQVGetObsNum(200001, 200012, 40));
    EXPECT_EQ(78, TQVGetObsNum(200001, 200012, 40));
    EXPECT_THAT(journal(), ::testing::ElementsAre("TQVGetObsNum(200001, 200012, 40) -> 12",
                                                  "TQVGetObsNum(200001, 200012, 40) -> 78"));
}

TEST_F(StandinTest, TheJournalNeverHoldsAPassword) {
    tqvs_set_credentials("ann", "kovra-demo");
    int status = -1;
    TQVDAuthenticate("ann", "kovra-demo", &status, "svc");
    TQVDAuthenticate("ann", nullptr, &status, nullptr);
    EXPECT_THAT(journal(),
                ::testing::ElementsAre("TQVDAuthenticate(\"ann\", ***, &-1, \"svc\") -> 0",
                                       "TQVDAuthenticate(\"ann\", null, &0, null) -> 40"));
}

} // namespace
