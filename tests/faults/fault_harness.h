// Runs an export once normally, then once for every position of the normal
// run's journal with the library call at that position failing, and checks
// after each run what every bracketed call must leave behind: exactly one
// close, as the last call and after every open, nothing left open, and the
// merge-data setting back at the value the library gave when it was saved.
#ifndef KOVRAP_FAULTS_HARNESS_H
#define KOVRAP_FAULTS_HARNESS_H

#include "tqv_standin.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace kovrap_faults {

// Merge-data setting of both libraries before every call: neither 0, 1 nor
// 3, so that a restore to anything else shows.
constexpr int kSavedMerge = 5;

// A count the library should never give: far more periods than any window
// of the tests holds, yet small enough to allocate.
constexpr int kHugeCount = 1 << 20;

struct Entry {
    std::string text;
    std::string operation; // without the TQV or TQVD prefix, e.g. "GetInfo"
    bool direct = false;   // a call of the direct library
    int result = 0;
};

// The journal since the last clear, parsed.
std::vector<Entry> readJournal();

// One failure: the call at journal position `position` answers `value`.
struct Failure {
    int position = -1; // -1: the normal run
    std::string operation;
    bool direct = false;
    int value = 0;

    bool none() const { return position < 0; }
    bool at(int p) const { return position == p; }
};

// The failures tried at one position: a nonzero status for an operation
// that answers one (the information statuses in turn, so that every list
// gets its share of positions), a negative and a huge period count for the
// count of periods, and a value other than the setting for the merge-data
// query.
std::vector<int> failureValues(const std::string &operation, int position);

// Counts the positions and runs of every scenario and prints them, so that
// the number of failures tried can be quoted.
void recordScenario(const std::string &name, int positions, int runs);

// The checks every bracketed call must pass, whatever failed. `setting` is
// the last merge-data setting the call makes at its start.
void expectBracketClosed(const std::vector<Entry> &journal, bool direct, const Failure &failure,
                         int setting);

// Drives one scenario. `setUp` prepares the stand-ins for one run (store,
// scripts, settings) and may look at the failure about to be injected and
// the normal run's journal (empty for the normal run itself); `run` makes
// the call and checks its outcome against the failure. Neither may call a
// library operation outside the export under test: the journal is the
// call's own.
struct Scenario {
    std::string name;
    bool direct = false;
    int setting = 1; // the merge-data setting the call leaves during its work
    std::function<void(const Failure &, const std::vector<Entry> &normal)> setUp;
    std::function<void(const Failure &, const std::vector<Entry> &normal)> run;
};

// Runs the normal call, then every position of its journal with each of its
// failure values. Returns the number of failing runs made.
int runEveryFailure(const Scenario &scenario);

} // namespace kovrap_faults

#endif
