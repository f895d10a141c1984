// The one engine behind both stand-in libraries: the series store, each
// library's state, the call journal, fault injection and value scripts.
// Everything is process-wide and guarded by one mutex.
#ifndef TQVS_STATE_H
#define TQVS_STATE_H

#include "files.h"
#include "store.h"
#include "tqv_standin.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tqvs {

struct OpenDatabase {
    std::string name; // as the caller named it
    std::shared_ptr<Database> database;
};

struct LibraryState {
    int merge = 0;
    int retries = 0;
    int ansi = 0;
    int aggregation = 0;
    std::vector<OpenDatabase> open;
    std::shared_ptr<Database> current; // last database opened successfully
    // TQVGetNextVar walks this database; the caller carries the position as
    // the code it got last. walkAt remembers where that code stands, so a
    // step costs the same at the millionth series as at the first.
    std::string walkDatabase;
    bool walking = false;
    std::size_t walkAt = 0;
    const Database *walkFrom = nullptr; // database walkAt belongs to
    // Direct chunk protocol: codes still to be answered, in list order.
    std::deque<std::string> codes;
    // TQVDGetNames listing in progress.
    std::shared_ptr<Database> listing;
    std::size_t listed = 0;
    // The series the last successful GetDataCount read: the seasonal
    // adjustment reads its own window from it.
    std::shared_ptr<Database> fetchedFrom;
    std::string fetchedCode;
    std::string version;

    const OpenDatabase *findOpen(const char *name) const;
};

struct Injection {
    std::string operation;
    int nth = 0;
    int result = 0;
    int seen = 0; // calls of the operation since the injection was set
};

struct JournalEntry {
    std::string operation;
    std::string text;
};

/** The weekly reading named by the environment variable TQVS_WEEKLY_END:
 *  "ended" is TQVS_WEEK_ENDED; unset, empty or "holding" TQVS_WEEK_HOLDING;
 *  any other text TQVS_WEEK_HOLDING with a line on stderr. */
int weeklyEndFromEnvironment();

struct Engine {
    std::mutex mutex;
    // The journal is kept only when a test turns it on; the positions that
    // tqvs_fail_at names are counted either way.
    bool journalOn = false;
    int position = 0; // calls since the last reset, clear or switch
    std::deque<JournalEntry> journal;
    std::vector<Injection> injections;
    std::vector<std::pair<int, int>> failures; // journal position, result
    std::map<std::string, std::deque<std::vector<double>>> scripts;
    std::vector<std::shared_ptr<Database>> store;
    LibraryState libraries[2];
    // A log-in holds for the data folder it was checked against.
    bool loggedIn = false;
    std::string loginFolder;
    FolderId loginFolderId; // the folder itself, as it was at the log-in
    bool hasCredentials = false;
    std::string user;
    std::string password;
    int namesBatch = 100;
    // How a weekly count reads a day inside a week as an end: the reading
    // TQVS_WEEKLY_END named when the engine was created, and the one in force.
    const int weeklyEndAtStart = weeklyEndFromEnvironment();
    int weeklyEnd = weeklyEndAtStart;

    Engine() { resetState(); }
    void resetState();
    void logIn(bool on);
    bool loggedInHere() const;
    // The same by the folder's name alone, for the calls that read a
    // database already opened: its data came through a folder handle whose
    // identity the open checked. Opening the folder again for every request
    // would cost a system call each (an expensive one on Windows).
    bool loggedInByName() const;
    std::shared_ptr<Database> findStored(const char *name) const;
    Series *findStoredSeries(const char *database, const char *code, int &status);
};

/** The engine. Callers hold engine().mutex. */
Engine &engine();

/** State of one library; any nonzero id is the direct library. */
LibraryState &library(int lib);

constexpr std::size_t kMaxVersion = 19;

} // namespace tqvs

#endif
