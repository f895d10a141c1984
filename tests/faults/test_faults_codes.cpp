// c_kovraGetCodes and c_kovraGetCodesSized with the library call at every
// position of a normal run failing in turn: result, error flag and output as
// the failure table gives them, no write past the output the host sized, and
// the bracket closed.
#include "Kovrap.h"
#include "case_names.h"
#include "fault_harness.h"
#include "guarded.h"
#include "tqv_standin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

using kovrap_faults::Entry;
using kovrap_faults::Failure;
using kovrap_faults::Guarded;

constexpr char kOutputBefore = '~';
constexpr char kGuardChar = '#';
constexpr int kErrorBefore = 0;
constexpr int kGuardInt = 0x5A5A5A5A;
constexpr int kEndOfNames = 1011;

struct CodesCase {
    const char *name;
    bool direct;
    std::vector<std::string> codes; // the database's series, in stored order
    int namesBatch;                 // codes per TQVDGetNames text
};

std::string joined(const std::vector<std::string> &items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i)
        out += (i > 0 ? "," : "") + items[i];
    return out;
}

// The texts of the direct library's calls: the codes in batches.
std::vector<std::string> texts(const CodesCase &c) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < c.codes.size(); i += static_cast<std::size_t>(c.namesBatch)) {
        std::vector<std::string> batch;
        for (std::size_t j = i;
             j < c.codes.size() && j < i + static_cast<std::size_t>(c.namesBatch); ++j)
            batch.push_back(c.codes[j]);
        out.push_back(joined(batch));
    }
    return out;
}

// The room the host provides: every code and its comma plus the NUL on the
// local library; every text plus one byte per call on the direct library.
std::size_t outputRoom(const CodesCase &c) {
    std::size_t room = 0;
    if (!c.direct) {
        for (const std::string &code : c.codes)
            room += code.size() + 1;
        return room + 1;
    }
    const std::vector<std::string> t = texts(c);
    for (const std::string &text : t)
        room += text.size() + 1;
    return room + 1; // the call that answers that there are no more
}

// The output after the items of the first `items` library answers: their
// list, its terminator and the NUL that took back the last comma.
std::vector<char> listOf(const CodesCase &c, const std::vector<std::string> &items) {
    std::vector<char> out(outputRoom(c), kOutputBefore);
    if (items.empty())
        return out;
    const std::string list = joined(items);
    std::copy(list.begin(), list.end(), out.begin());
    out[list.size()] = '\0';
    out[list.size() + 1] = '\0';
    return out;
}

struct Outcome {
    int result = 0;
    int error = kErrorBefore;
    std::vector<char> output;
};

// The failure table of the code listing, position by position of the normal
// journal: setup, open, the listing calls, restore, close.
Outcome expectedOutcome(const CodesCase &c, const Failure &f, const std::vector<Entry> &journal) {
    const std::vector<std::string> items = c.direct ? texts(c) : c.codes;
    Outcome out;
    out.output = listOf(c, items);
    if (f.none())
        return out;
    const Entry &failing = journal[static_cast<std::size_t>(f.position)];
    const int closePosition = static_cast<int>(journal.size()) - 1;
    if (failing.operation == "OpenDatabase") {
        out.error = 1;
        out.result = f.value;
        out.output = listOf(c, {});
    } else if (failing.operation == "GetNextVar" || failing.operation == "GetNames") {
        // Which listing call failed: 0 is the first.
        int call = 0;
        for (int p = 0; p < f.position; ++p)
            call += journal[static_cast<std::size_t>(p)].operation == failing.operation ? 1 : 0;
        const auto before = std::vector<std::string>(items.begin(), items.begin() + call);
        if (c.direct && call == 0) {
            out.error = 1;
            out.output = listOf(c, {});
        } else if (!c.direct || f.value == kEndOfNames) {
            // The walk or the listing ends at the failure.
            if (static_cast<std::size_t>(call) < items.size())
                out.output = listOf(c, before);
        }
        // Any other status of a later direct call is taken back and the
        // listing goes on where it was: the whole list.
    } else if (f.at(closePosition)) {
        out.result = f.value;
    }
    return out;
}

void runCase(const CodesCase &c) {
    kovrap_faults::Scenario s;
    s.name = std::string("GetCodes/") + c.name + (c.direct ? "/Direct" : "/Local");
    s.direct = c.direct;
    s.setting = 0;
    s.setUp = [&](const Failure &, const std::vector<Entry> &) {
        tqvs_add_database("alpha");
        for (const std::string &code : c.codes)
            ASSERT_EQ(0, tqvs_add_series("alpha", code.c_str(), 10, 2000, 2001, nullptr, 0));
        tqvs_set_names_batch(c.namesBatch);
    };
    s.run = [&](const Failure &f, const std::vector<Entry> &normal) {
        Guarded<char> output(outputRoom(c), kOutputBefore, kGuardChar);
        Guarded<int> error(1, kErrorBefore, kGuardInt);
        const int result = c_kovraGetCodes(c.direct ? 1 : 0, output.data(), "alpha", error.data());
        EXPECT_TRUE(output.intact()) << "output";
        EXPECT_TRUE(error.intact()) << "error";
        const Outcome expected = expectedOutcome(c, f, normal);
        EXPECT_EQ(expected.result, result);
        EXPECT_EQ(expected.error, error[0]);
        const std::vector<char> written = output.contents();
        EXPECT_EQ(std::string(expected.output.begin(), expected.output.end()),
                  std::string(written.begin(), written.end()));
    };
    kovrap_faults::runEveryFailure(s);
}

// A library status as c_kovraGetCodesSized returns it.
int failed(int status) {
    return status > 0 ? -status : status;
}

// c_kovraGetCodesSized into a buffer of exactly the whole list and its NUL:
// its result and text by the same table, a failure read as a negated status
// and the empty text, and never a byte past the capacity.
void runSizedCase(const CodesCase &c) {
    kovrap_faults::Scenario s;
    s.name = std::string("GetCodesSized/") + c.name + (c.direct ? "/Direct" : "/Local");
    s.direct = c.direct;
    s.setting = 0;
    s.setUp = [&](const Failure &, const std::vector<Entry> &) {
        tqvs_add_database("alpha");
        for (const std::string &code : c.codes)
            ASSERT_EQ(0, tqvs_add_series("alpha", code.c_str(), 10, 2000, 2001, nullptr, 0));
        tqvs_set_names_batch(c.namesBatch);
    };
    s.run = [&](const Failure &f, const std::vector<Entry> &normal) {
        const std::string whole = joined(c.codes);
        const int capacity = static_cast<int>(whole.size()) + 1;
        Guarded<char> output(static_cast<std::size_t>(capacity), kOutputBefore, kGuardChar);
        const int result = c_kovraGetCodesSized(c.direct ? 1 : 0, "alpha", output.data(), capacity);
        EXPECT_TRUE(output.intact()) << "output";
        const std::vector<char> written = output.contents();
        const auto nul = std::find(written.begin(), written.end(), '\0');
        ASSERT_NE(written.end(), nul) << "no NUL inside the capacity";
        const std::string text(written.begin(), nul);

        // The unsized listing's outcome, as its table gives it, turned into
        // the sized one's.
        const Outcome unsized = expectedOutcome(c, f, normal);
        // An output the unsized listing left untouched holds no list.
        const auto end = std::find(unsized.output.begin(), unsized.output.end(), '\0');
        const std::string list =
            end == unsized.output.end() ? std::string() : std::string(unsized.output.begin(), end);
        const bool failedOpen =
            unsized.error == 1 && unsized.result != 0 && !f.none() &&
            normal[static_cast<std::size_t>(f.position)].operation == "OpenDatabase";
        int expected = static_cast<int>(list.size());
        if (failedOpen || (c.direct && unsized.error == 1))
            expected = failed(f.value);
        else if (unsized.result != 0)
            expected = failed(unsized.result);
        EXPECT_EQ(expected, result);
        EXPECT_EQ(expected < 0 ? std::string() : list, text);
    };
    kovrap_faults::runEveryFailure(s);
}

const CodesCase kCodesCases[] = {
    {"FiveSeries", false, {"A0", "LONGCODE9", "B", "C12", "D"}, 100},
    {"NoSeries", false, {}, 100},
    {"FiveSeries", true, {"A0", "LONGCODE9", "B", "C12", "D"}, 2},
    {"OneText", true, {"A0", "B1"}, 100},
};

// Names the scenario in test output, instead of its bytes.
void PrintTo(const CodesCase &c, std::ostream *os) {
    *os << c.name << (c.direct ? " on the direct library" : " on the local library");
}

class GetCodesFaultTest : public ::testing::TestWithParam<CodesCase> {};

TEST_P(GetCodesFaultTest, EveryFailingCallLeavesTheOutcomeOfItsTable) {
    runCase(GetParam());
}

TEST_P(GetCodesFaultTest, EveryFailingCallLeavesTheSizedListingsOutcome) {
    runSizedCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, GetCodesFaultTest, ::testing::ValuesIn(kCodesCases),
                         kovrap_test::caseLibraryName<CodesCase>);

} // namespace
