// kovra's code listing and its operands, in process: the listing goes
// through c_kovraGetCodesSized, asks again in a buffer of the size the
// library gives when the list did not fit, and gives up on a list that
// grows every time; a database of any size is listed whole, a file that
// reports size 0 or is swapped between listings never runs past the buffer;
// a name without a database file is refused with one line; a direct listing
// that may be cut says so; a series code with a comma is refused on the
// direct path. Also the log-in's password file, a library that is not
// Kovrap, and periods past the year 9999.
#include "args.h"
#include "commands.h"
#include "environment.h"
#include "failure.h"
#include "kovra_session.h"
#include "pseudo_file.h"
#include "range.h"
#include "session.h"
#include "standin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <process.h>
#else
#include <dlfcn.h>
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

// The listing asks again with the size the library said, and gives up on a
// list that grows every time it is asked for. The calls here stand in for
// the export: each answers with the list it is given for that try.
TEST(KovraListCodes, AsksAgainInTheSizeGivenAndGivesUpOnAListThatKeepsGrowing) {
    const struct {
        const char *name;
        bool direct;
        std::vector<std::string> answers; // the whole list at each try
        std::size_t firstBytes;
        std::vector<std::string> codes; // expected; empty with a failure
        int tries;                      // calls made
        bool grewAway;
    } cases[] = {
        {"fits at once", false, {"A,BB"}, 5, {"A", "BB"}, 1, false},
        {"one byte short", false, {"A,BB", "A,BB"}, 4, {"A", "BB"}, 2, false},
        {"direct needs the byte behind the NUL", true, {"A,BB", "A,BB"}, 5, {"A", "BB"}, 2, false},
        {"grew once", false, {"A,BB", "A,BB,CCC", "A,BB,CCC"}, 2, {"A", "BB", "CCC"}, 3, false},
        {"grows every time",
         false,
         {"AA", "AA,B", "AA,B,C", "AA,B,C,D", "AA,B,C,D,E"},
         2,
         {},
         4,
         true},
    };
    for (const auto &c : cases) {
        int tries = 0;
        // Writes the whole codes that fit, as the export does, and a second
        // NUL: the listing ended.
        const kovra::SizedListing call = [&](char *buffer, int capacity) {
            const std::string list = c.answers[std::min<std::size_t>(
                static_cast<std::size_t>(tries++), c.answers.size() - 1)];
            std::string fits = list;
            while (fits.size() + 1 > static_cast<std::size_t>(capacity))
                fits = fits.substr(0, fits.rfind(',') == std::string::npos ? 0 : fits.rfind(','));
            std::memcpy(buffer, fits.c_str(), fits.size() + 1);
            if (fits == list && fits.size() + 2 <= static_cast<std::size_t>(capacity))
                buffer[fits.size() + 1] = '\0';
            return static_cast<int>(list.size());
        };
        kovra::CodeListing listing;
        const std::string outcome = failureOf([&] {
            EXPECT_EQ(0, kovra::listCodes(call, c.direct, "DB", listing, c.firstBytes)) << c.name;
        });
        EXPECT_EQ(c.tries, tries) << c.name;
        if (c.grewAway) {
            EXPECT_EQ("1: the code list of database 'DB' grew every time it was asked for (4 "
                      "times); is the database being rewritten?",
                      outcome)
                << c.name;
            continue;
        }
        EXPECT_EQ("no failure", outcome) << c.name;
        EXPECT_EQ(c.codes, listing.codes) << c.name;
        EXPECT_FALSE(listing.mayBeCut) << c.name;
    }
    // A failure of the library is handed back as it is, after one call.
    int calls = 0;
    kovra::CodeListing listing;
    EXPECT_EQ(-10, kovra::listCodes(
                       [&](char *, int) {
                           ++calls;
                           return -10;
                       },
                       false, "DB", listing, 16));
    EXPECT_EQ(1, calls);
}

// Names without a regular file to read are refused by the library, which
// kovra says with one line.
TEST(KovraCodeListing, ANameWithoutARegularFileIsRefusedWithOneLine) {
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
// it lists the file with the extension.
TEST(KovraCodeListing, WhatIsNoRegularFileIsPassedOverForTheFileBesideIt) {
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
// extension, and the listing grows to hold it. Root reads a file of mode
// 000, so as root the listing runs in a child process as the user nobody.
TEST(KovraCodeListing, AnUnreadableFileBesideALargeDatabaseIsListedFromTheLargeOne) {
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

// Nine-character codes take 10 bytes each in the listing: 40 000 of them
// outgrow the first buffer, and the whole listing comes back.
TEST(KovraCodeListing, TheListingOfALargeDatabaseIsWhole) {
    Scratch scratch;
    const std::vector<std::string> codes = scratch.database("BIG.tqvdb", 40000);
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    EXPECT_EQ(codes, session->codes(scratch.at("BIG.tqvdb")));
}

#if defined(__linux__)
// /proc/PID/cmdline of a process that wrote a database over its arguments:
// it reports size 0 and reads as a database of four series.
TEST(KovraCodeListing, AFileThatReportsSizeZeroIsListedWhole) {
    std::string text = "TQVDB 1\ndatabase P\n";
    const std::vector<std::string> codes = {"ABCDEFGHI", "B2", "C33", "LONGCODE9"};
    for (const std::string &code : codes)
        text += "series " + code + "\nfrequency 10\nrange none\nvalues\nend\n";
    if (kovrap_test::PseudoFile::underValgrind())
        GTEST_SKIP() << "under valgrind the test program cannot start itself again";
    kovrap_test::PseudoFile pseudo(text);
    ASSERT_TRUE(pseudo.ready());
    std::error_code error;
    ASSERT_EQ(0u, fs::file_size(pseudo.path(), error)) << error.message();
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    EXPECT_EQ(codes, session->codes(pseudo.path()));
}
#else
TEST(KovraCodeListing, AFileThatReportsSizeZeroIsListedWhole) {
    GTEST_SKIP() << "no /proc/PID/cmdline on Windows: no file reports size 0 and reads longer";
}
#endif

// A small and a large database renamed in turn over one name while listings
// run: every listing is one of the two, whole. The swapping stops after a
// bounded count or time, and the listings with it.
TEST(KovraCodeListing, ADatabaseSwappedDuringListingsIsListedWhole) {
    Scratch scratch;
    const std::vector<std::vector<std::string>> databases = {
        scratch.database("source0", 1, "S"), scratch.database("source1", 3000, "L")};
    scratch.database("SWAP.tqvdb", 1, "S");
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    std::atomic<bool> stop(false);
    std::atomic<int> swaps(0);
    std::thread swapper([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (int i = 0; i < 400 && !stop && std::chrono::steady_clock::now() < deadline; ++i) {
            std::error_code ignored;
            const fs::path next = scratch.at("next");
            fs::copy_file(scratch.at("source" + std::to_string(i % 2)), next,
                          fs::copy_options::overwrite_existing, ignored);
            // Under Windows a rename onto a file being read may be refused
            // (that swap is skipped), and an older runtime's rename replaces
            // no file: the target goes first.
            fs::rename(next, scratch.at("SWAP.tqvdb"), ignored);
            if (ignored) {
                fs::remove(scratch.at("SWAP.tqvdb"), ignored);
                fs::rename(next, scratch.at("SWAP.tqvdb"), ignored);
            }
            if (!ignored)
                ++swaps;
        }
        stop = true;
    });
    int listings = 0;
    int large = 0;
    while (!stop && listings < 400) {
        std::vector<std::string> listed;
        try {
            listed = session->codes(scratch.at("SWAP.tqvdb"));
        } catch (const kovra::Failure &f) {
#if defined(_WIN32)
            static_cast<void>(f);
            continue; // between the removal and the rename of the fallback
#else
            ADD_FAILURE() << f.message;
            break;
#endif
        }
        ++listings;
        large += listed == databases[1] ? 1 : 0;
        if (listed != databases[0] && listed != databases[1]) {
            ADD_FAILURE() << "listing " << listings << " holds " << listed.size() << " codes";
            break;
        }
    }
    stop = true;
    swapper.join();
    EXPECT_GT(swaps.load(), 0);
    EXPECT_GT(listings, 0);
    std::printf("swap loop: %d swaps, %d listings, %d of the large database\n", swaps.load(),
                listings, large);
}

TEST(KovraCodeListing, ADatabaseThatDoesNotOpenIsReportedWithTheLibrarysStatus) {
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    Scratch scratch;
    scratch.write("BROKEN.tqvdb", "not a database\n");
    scratch.write("EMPTY.tqvdb", "");
    for (const char *name : {"BROKEN.tqvdb", "EMPTY.tqvdb"})
        EXPECT_EQ("1: cannot open database '" + scratch.at(name) +
                      "': not a database (status 11 from the database library); 'tqvconvert "
                      "check FILE.tqvdb' shows where",
                  failureOf([&] { session->codes(scratch.at(name)); }))
            << name;
}

// ---- statuses in words ------------------------------------------------------

TEST(KovraStatuses, KovrapsOwnAlwaysAndTheStandinsOnlyWhenItIsLoaded) {
    struct Case {
        int status;
        bool standin;
        const char *phrase;
    };
    const Case cases[] = {
        {834, false, "too few periods in the window (status 834)"},
        {835, true, "the window does not fill the row (status 835)"},
        {836, false, "out of memory (status 836)"},
        {11, true, "not a database (status 11 from the database library)"},
        {11, false, "status 11 from the database library"},
        {31, true, "too few observations for the operation (status 31 from the database library)"},
        {31, false, "status 31 from the database library"},
        {30, true,
         "an operation code the library does not know (status 30 from the database library)"},
        // A status the stand-in does not document has no words.
        {12, true, "status 12 from the database library"},
        {-7, true, "status -7 from the database library"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.phrase, kovra::statusPhrase(c.status, c.standin)) << c.status;
    // In the fetch's error cell 1 is also Kovrap's own: a database that did not open.
    EXPECT_EQ("a database did not open or a series was not found (status 1)",
              kovra::fetchStatusPhrase(1, false));

    EXPECT_TRUE(kovra::isStandinVersion("tqvapi64 standin 1", false));
    EXPECT_TRUE(kovra::isStandinVersion("tqvdapi64 standin 1", true));
    EXPECT_FALSE(kovra::isStandinVersion("tqvapi64 standin 1", true));
    EXPECT_FALSE(kovra::isStandinVersion("tqvapi64 7.2", false));
    EXPECT_FALSE(kovra::isStandinVersion("", false));
}

#if !defined(_WIN32)
// Another library version: the status keeps its number and loses the
// stand-in's words, since a real library's 11 may mean anything.
TEST(KovraStatuses, AnotherLibraryVersionIsSaidByNumberOnly) {
    void *standin = dlopen(OTHER_LIBRARY_PATH, RTLD_NOW);
    ASSERT_NE(nullptr, standin) << dlerror();
    using SetVersion = void (*)(int, const char *);
    const auto setVersion = reinterpret_cast<SetVersion>(dlsym(standin, "tqvs_set_version"));
    ASSERT_NE(nullptr, setVersion);
    Scratch scratch;
    scratch.write("BROKEN.tqvdb", "not a database\n");
    // The stand-in's particulars, each with the stand-in and without it: its
    // words and hints, its data folder variable, its folder layout.
    const char *oldFolder = std::getenv("TQVD_DATA_DIR");
    const std::optional<std::string> savedFolder =
        oldFolder != nullptr ? std::optional<std::string>(oldFolder) : std::nullopt;
    struct Said {
        std::string broken, missing, handed, found;
    };
    const auto ask = [&](const char *version) {
        setVersion(0, version);
        Said said;
        kovrap_test::setVariable("TQVD_DATA_DIR", nullptr);
        kovrap_test::setVariable("KOVRAP_DATA_DIR", scratch.at("").c_str());
        const std::unique_ptr<kovra::Session> session = openSession();
        const char *handed = std::getenv("TQVD_DATA_DIR");
        said.handed = handed != nullptr ? handed : "(unset)";
        kovrap_test::setVariable("KOVRAP_DATA_DIR", nullptr);
        if (session) {
            said.broken = failureOf([&] { session->codes(scratch.at("BROKEN.tqvdb")); });
            said.missing = failureOf([&] { session->codes(scratch.at("NONE")); });
        }
        const fs::path before = fs::current_path();
        fs::current_path(scratch.at(""));
        kovra::Options options;
        options.library = KOVRAP_LIBRARY_PATH;
        options.command = "find";
        options.operands = {"anything"};
        said.found = failureOf([&] { kovra::runFind(options); });
        fs::current_path(before);
        return said;
    };
    const Said other = ask("tqvapi64 7.2");
    const Said ours = ask("tqvapi64 standin 1");
    kovrap_test::setVariable("TQVD_DATA_DIR", savedFolder ? savedFolder->c_str() : nullptr);
    dlclose(standin);

    const std::string broken = "1: cannot open database '" + scratch.at("BROKEN.tqvdb") + "': ";
    const std::string missing = "1: cannot open database '" + scratch.at("NONE") + "': ";
    EXPECT_EQ(broken + "status 11 from the database library", other.broken);
    EXPECT_EQ(broken + "not a database (status 11 from the database library); 'tqvconvert check "
                       "FILE.tqvdb' shows where",
              ours.broken);
    EXPECT_EQ(missing + "status 10 from the database library", other.missing);
    EXPECT_EQ(missing + "no regular file that can be read at " + scratch.at("NONE") + " or " +
                  scratch.at("NONE") + ".tqvdb",
              ours.missing);
    EXPECT_EQ("(unset)", other.handed);
    EXPECT_TRUE(fs::equivalent(scratch.at(""), ours.handed)) << ours.handed;
    EXPECT_EQ("2: the database library loaded does not say where its databases are: name them "
              "with --db",
              other.found);
    // With the stand-in, find takes the folder's database files: BROKEN.
    EXPECT_EQ(0u, ours.found.rfind("1: cannot open database 'BROKEN': not a database", 0))
        << ours.found;
}
#endif

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
        kovrap_test::setVariable("KOVRAP_DATA_DIR", c.ours);
        kovrap_test::setVariable("TQVD_DATA_DIR", c.theirs);
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
        kovrap_test::setVariable("KOVRAP_DATA_DIR", nullptr);
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

// find searches what the listing gives: a direct listing that may have been
// cut is said beside the table, since the series after it are not searched.
TEST(KovraDirectListing, FindSaysWhenTheListingMayHaveBeenCut) {
    DirectFolder folder;
    for (const int series : {3100, 3200}) {
        const std::string name = "DB" + std::to_string(series);
        folder.scratch.database(name + ".tqvdb", series, "D");
        kovra::Options options = folder.options();
        options.command = "find";
        options.operands = {"d"};
        options.databases = {name};
        const kovra::Output found = kovra::runFind(options);
        EXPECT_EQ(static_cast<std::size_t>(series) + 1,
                  static_cast<std::size_t>(std::count(found.out.begin(), found.out.end(), '\n')))
            << series;
        EXPECT_EQ(series == 3200 ? "kovra: note: the listing of " + name +
                                       " may have been cut at the direct library's limit of 32 "
                                       "calls; series after them are not searched\n"
                                 : std::string(),
                  found.notes);
    }
}

// codes says the same beside the list, in the host rules' words, and only
// when the listing's mark says so: 3100 codes end in the 32nd call.
TEST(KovraDirectListing, CodesSaysWhenTheListingMayHaveBeenCut) {
    DirectFolder folder;
    for (const int series : {3100, 3200}) {
        const std::string name = "DB" + std::to_string(series);
        folder.scratch.database(name + ".tqvdb", series, "D");
        kovra::Options options = folder.options();
        options.command = "codes";
        options.operands = {name};
        const kovra::Output listed = kovra::runCodes(options);
        EXPECT_EQ(static_cast<std::size_t>(series),
                  static_cast<std::size_t>(std::count(listed.out.begin(), listed.out.end(), '\n')))
            << series;
        EXPECT_EQ(series == 3200 ? std::string("note: the listing may have been cut at the direct "
                                               "library's limit of 32 calls: its last call still "
                                               "gave names\n")
                                 : std::string(),
                  listed.notes);
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
