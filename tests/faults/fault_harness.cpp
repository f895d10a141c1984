#include "fault_harness.h"

#include "tqvlib.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>

namespace kovrap_faults {

namespace {

struct Tally {
    std::string name;
    int positions;
    int runs;
};

std::vector<Tally> &tallies() {
    static std::vector<Tally> all;
    return all;
}

// Prints the total once every scenario has run.
class TallyPrinter : public ::testing::Environment {
  public:
    void TearDown() override {
        int positions = 0;
        int runs = 0;
        for (const Tally &t : tallies()) {
            positions += t.positions;
            runs += t.runs;
        }
        std::cout << "[faults] total: " << tallies().size() << " scenarios, " << positions
                  << " positions, " << runs << " failing runs" << std::endl;
    }
};

const ::testing::Environment *const kTallyPrinter =
    ::testing::AddGlobalTestEnvironment(new TallyPrinter);

constexpr int kStrideFrom = 100;
constexpr int kBracketCalls = 8;

int strideFromEnvironment() {
    const char *text = std::getenv("KOVRAP_FAULT_STRIDE");
    const int stride = text != nullptr ? std::atoi(text) : 1;
    return stride > 1 ? stride : 1;
}

std::string describe(const Failure &f) {
    if (f.none())
        return "normal run";
    return "position " + std::to_string(f.position) + ": " + (f.direct ? "TQVD" : "TQV") +
           f.operation + " answers " + std::to_string(f.value);
}

} // namespace

std::vector<Entry> readJournal() {
    std::vector<Entry> entries;
    for (int i = 0; i < tqvs_log_size(); ++i) {
        Entry e;
        e.text = tqvs_log_entry(i);
        const std::size_t open = e.text.find('(');
        const std::size_t arrow = e.text.rfind(" -> ");
        std::string name = e.text.substr(0, open);
        e.direct = name.compare(0, 4, "TQVD") == 0;
        e.operation = name.substr(e.direct ? 4 : 3);
        e.result = std::atoi(e.text.c_str() + arrow + 4);
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<int> failureValues(const std::string &operation, int position) {
    const auto cycle = [position](std::initializer_list<int> values) {
        const auto *chosen = values.begin() + static_cast<std::size_t>(position) % values.size();
        return std::vector<int>{*chosen};
    };
    if (operation == "GetObsNum")
        return {-5, kHugeCount};
    if (operation == "GetInfo")
        return cycle({1, 2, 3, 4, 5, 6, 7, -1});
    if (operation == "GetNames")
        return {7, 1011};
    if (operation == "GetNextVar")
        return {2};
    if (operation == "OpenDatabase")
        return cycle({10, -4});
    if (operation == "GetDataCount")
        return cycle({23, -2});
    if (operation == "ApplyMathCount")
        return cycle({30, -6});
    if (operation == "ApplyAdvancedCount")
        return cycle({31, -7});
    if (operation == "GetMergeData")
        return {9};
    return {7};
}

void recordScenario(const std::string &name, int positions, int runs) {
    tallies().push_back(Tally{name, positions, runs});
    std::cout << "[faults] " << name << ": " << positions << " positions, " << runs
              << " failing runs" << std::endl;
}

void expectBracketClosed(const std::vector<Entry> &journal, bool direct, const Failure &failure,
                         int setting) {
    ASSERT_FALSE(journal.empty());
    int closes = 0;
    int otherCloses = 0;
    int saves = 0;
    int saved = 0;
    for (const Entry &e : journal) {
        if (e.operation == "CloseDatabase")
            ++(e.direct == direct ? closes : otherCloses);
        if (e.operation == "GetMergeData" && e.direct == direct) {
            ++saves;
            saved = e.result;
        }
    }
    EXPECT_EQ(1, closes) << "closes of the call's library";
    EXPECT_EQ(0, otherCloses) << "closes of the other library";
    EXPECT_EQ(1, saves);
    const Entry &last = journal.back();
    EXPECT_TRUE(last.operation == "CloseDatabase" && last.direct == direct)
        << "last call: " << last.text;
    ASSERT_GE(journal.size(), 2u);
    const Entry &restore = journal[journal.size() - 2];
    const std::string prefix = direct ? "TQVD" : "TQV";
    EXPECT_EQ(prefix + "SetMergeData(" + std::to_string(saved) + ")",
              restore.text.substr(0, restore.text.find(" -> ")));

    const int restorePosition = static_cast<int>(journal.size()) - 2;
    const int closePosition = static_cast<int>(journal.size()) - 1;
    // A restore that the library refused leaves the call's own setting.
    EXPECT_EQ(failure.at(restorePosition) ? setting : saved, tqvs_merge_setting(direct ? 1 : 0));
    // A close that the library refused closed nothing; any other run leaves
    // nothing open on either library.
    if (!failure.at(closePosition)) {
        EXPECT_EQ(0, tqvs_open_count(direct ? 1 : 0));
    }
    EXPECT_EQ(0, tqvs_open_count(direct ? 0 : 1));
}

int runEveryFailure(const Scenario &scenario) {
    const auto prepare = [&](const Failure &f, const std::vector<Entry> &normal) {
        tqvs_reset();
        tqvs_set_journal(1);
        tqvs_set_logged_in(1);
        TQVSetMergeData(kSavedMerge);
        TQVDSetMergeData(kSavedMerge);
        scenario.setUp(f, normal);
        tqvs_clear_log();
        if (!f.none())
            tqvs_fail_at(f.position, f.value);
    };

    const Failure normalRun;
    prepare(normalRun, {});
    {
        SCOPED_TRACE(scenario.name + ", " + describe(normalRun));
        scenario.run(normalRun, {});
    }
    const std::vector<Entry> normal = readJournal();
    {
        SCOPED_TRACE(scenario.name + ", " + describe(normalRun));
        expectBracketClosed(normal, scenario.direct, normalRun, scenario.setting);
    }
    if (::testing::Test::HasFailure())
        return 0;

    // Under Valgrind a run of the long scenarios costs too much to try every
    // position: KOVRAP_FAULT_STRIDE=n tries every n-th position of a journal
    // longer than kStrideFrom, and always the bracket's calls at both ends.
    const int size = static_cast<int>(normal.size());
    const int stride = size > kStrideFrom ? strideFromEnvironment() : 1;
    int tried = 0;
    int runs = 0;
    for (int p = 0; p < size; ++p) {
        if (p % stride != 0 && p >= kBracketCalls && p < size - kBracketCalls)
            continue;
        ++tried;
        for (int value : failureValues(normal[static_cast<std::size_t>(p)].operation, p)) {
            Failure f;
            f.position = p;
            f.operation = normal[static_cast<std::size_t>(p)].operation;
            f.direct = normal[static_cast<std::size_t>(p)].direct;
            f.value = value;
            prepare(f, normal);
            SCOPED_TRACE(scenario.name + ", " + describe(f));
            scenario.run(f, normal);
            const std::vector<Entry> journal = readJournal();
            if (journal.size() > static_cast<std::size_t>(p)) {
                const Entry &failed = journal[static_cast<std::size_t>(p)];
                EXPECT_TRUE(failed.operation == f.operation && failed.direct == f.direct &&
                            failed.result == value)
                    << "the failure did not land on its call: " << failed.text;
            } else {
                ADD_FAILURE() << "the call stopped before the failing position";
            }
            expectBracketClosed(journal, scenario.direct, f, scenario.setting);
            ++runs;
            // One fault tends to show at many positions: stop at the first.
            if (::testing::Test::HasFailure()) {
                recordScenario(scenario.name, tried, runs);
                return runs;
            }
        }
    }
    recordScenario(scenario.name +
                       (stride > 1 ? " (every " + std::to_string(stride) + "th position)" : ""),
                   tried, runs);
    tqvs_reset();
    return runs;
}

} // namespace kovrap_faults
