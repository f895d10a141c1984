// Where kovra writes a chart: a new file beside the target, renamed over it
// only when whole; never through a link, into a pipe, a device or a folder.
#include "kovra_cli.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

using namespace kovra_cli;

// No run may wait for ever (a pipe opened for writing would).
constexpr int kTimeLimit = 60;

const std::vector<std::string> kFetch = {"fetch", "ECON.tqvdb:UKGAS"};

// A folder of the test's own beside the other scratch files.
fs::path outputFolder(const std::string &name) {
    const fs::path dir = scratchDir() / ("outputs-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Nothing named like a temporary file stays beside the target.
std::vector<std::string> leftovers(const fs::path &dir) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().find(".tmp") != std::string::npos)
            names.push_back(entry.path().filename().string());
    return names;
}

TEST(KovraChartOutput, ReplacesARegularFileWhole) {
    const fs::path dir = outputFolder("replace");
    const fs::path chart = dir / "chart.svg";
    std::ofstream(chart, std::ios::binary) << "an old chart that is much longer than nothing";
    const Result run = kovra(concat(kFetch, {"--plot", chart.string()}), kTimeLimit);
    ASSERT_EQ(0, run.status) << run.err;
    const std::string svg = readText(chart);
    EXPECT_NE(std::string::npos, svg.find("<svg"));
    EXPECT_EQ(std::string::npos, svg.find("an old chart"));
    EXPECT_NE(std::string::npos, svg.find("</svg>"));
    EXPECT_TRUE(leftovers(dir).empty());
    fs::remove_all(dir);
}

// When the new file cannot be made, the chart that was there stays.
TEST(KovraChartOutput, AFailedWriteLeavesTheOldChart) {
    const fs::path dir = outputFolder("failed");
    const fs::path chart = dir / "chart.svg";
    const std::string old = "<svg>the good chart</svg>";
    std::ofstream(chart, std::ios::binary) << old;
    // Every name the new file could take is taken.
    fs::create_directories(dir / "chart.svg.tmp");
    for (int i = 1; i < 100; ++i)
        fs::create_directories(dir / ("chart.svg.tmp" + std::to_string(i)));
    const Result run = kovra(concat(kFetch, {"--plot", chart.string()}), kTimeLimit);
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_EQ("kovra: cannot write the chart " + fs::path(chart).u8string() +
                  ": no free name for a temporary file beside it\n",
              run.err);
    EXPECT_EQ(old, readText(chart));
    fs::remove_all(dir);
}

TEST(KovraChartOutput, AFolderIsRefused) {
    const fs::path dir = outputFolder("folder");
    const fs::path chart = dir / "chart.svg";
    fs::create_directories(chart);
    const Result run = kovra(concat(kFetch, {"--plot", chart.string()}), kTimeLimit);
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_EQ("kovra: cannot write the chart " + chart.u8string() +
                  ": the output is a folder; give a file name\n",
              run.err);
    EXPECT_TRUE(fs::is_directory(chart));
    fs::remove_all(dir);
}

#if !defined(_WIN32)
// A link is refused, and what it points to is left as it was.
TEST(KovraChartOutput, ALinkIsRefusedAndItsTargetKept) {
    const fs::path dir = outputFolder("link");
    const fs::path victim = dir / "victim.txt";
    std::ofstream(victim, std::ios::binary) << "precious";
    const fs::path chart = dir / "chart.svg";
    fs::create_symlink(victim, chart);
    const Result run = kovra(concat(kFetch, {"--plot", chart.string()}), kTimeLimit);
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("", run.out);
    EXPECT_EQ("kovra: cannot write the chart " + chart.string() +
                  ": the output is a symbolic link; give a regular file\n",
              run.err);
    EXPECT_EQ("precious", readText(victim));
    EXPECT_TRUE(fs::is_symlink(chart));
    EXPECT_TRUE(leftovers(dir).empty());
    fs::remove_all(dir);
}

// A chart written over a file keeps that file's permission bits; being a
// new file, it no longer shares the old one's hard links.
TEST(KovraChartOutput, AReplacedChartKeepsItsModeAndLeavesItsHardLinks) {
    const fs::path dir = outputFolder("mode");
    const fs::path chart = dir / "chart.svg";
    const fs::path other = dir / "other-name.svg";
    std::ofstream(chart, std::ios::binary) << "<svg>old</svg>";
    fs::create_hard_link(chart, other);
    for (const unsigned mode : {0600u, 0640u, 0604u}) {
        ASSERT_EQ(0, ::chmod(chart.c_str(), mode));
        const Result run = kovra(concat(kFetch, {"--plot", chart.string()}), kTimeLimit);
        ASSERT_EQ(0, run.status) << run.err;
        struct stat st {};
        ASSERT_EQ(0, ::stat(chart.c_str(), &st));
        EXPECT_EQ(mode, st.st_mode & 07777u) << std::oct << mode;
    }
    EXPECT_EQ("<svg>old</svg>", readText(other));
    EXPECT_TRUE(leftovers(dir).empty());
    fs::remove_all(dir);
}

// A password file that is a pipe or a device is refused at once, without
// waiting for a writer or reading a source that never ends.
TEST(KovraPasswordFile, APipeOrADeviceIsRefusedWithoutWaiting) {
    const fs::path dir = outputFolder("password");
    const fs::path pipe = dir / "password";
    ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
    for (const std::string &path : {pipe.string(), std::string("/dev/null")}) {
        const Result run = kovra(
            {"--direct", "--user", "demo", "--password-file", path, "codes", "ECON"}, kTimeLimit);
        EXPECT_EQ(1, run.status) << path;
        EXPECT_EQ("kovra: the password file " + path +
                      " is not a regular file (a pipe, a device or a socket)\n",
                  run.err);
    }
    const fs::path longLine = dir / "long";
    std::ofstream(longLine, std::ios::binary) << std::string(5000, 'x') << "\n";
    const Result run =
        kovra({"--direct", "--user", "demo", "--password-file", longLine.string(), "codes", "ECON"},
              kTimeLimit);
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("kovra: the first line of the password file " + longLine.string() +
                  " is longer than 4096 bytes\n",
              run.err);
    fs::remove_all(dir);
}

// A pipe is refused at once: nothing waits for a reader.
TEST(KovraChartOutput, APipeIsRefused) {
    const fs::path dir = outputFolder("pipe");
    const fs::path pipe = dir / "chart.svg";
    ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
    const Result run = kovra(concat(kFetch, {"--plot", pipe.string()}), kTimeLimit);
    EXPECT_EQ(1, run.status);
    EXPECT_EQ("kovra: cannot write the chart " + pipe.string() +
                  ": the output is not a regular file; give a regular file\n",
              run.err);
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_TRUE(leftovers(dir).empty());
    fs::remove_all(dir);
}
#endif

} // namespace
