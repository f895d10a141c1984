// The library operations. Each call is journaled as `Name(args) -> result`,
// and an injected fault replaces its work with the injected result.
#include "compute.h"
#include "engine.h"
#include "fetch.h"
#include "files.h"
#include "periods.h"
#include "state.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace tqvs {

namespace {

bool isDirect(int lib) {
    return lib != TQVS_LIB_LOCAL;
}

// Arguments as the journal shows them.
class Args {
  public:
    Args &num(int v) { return add(std::to_string(v)); }
    Args &str(const char *s) { return add(s == nullptr ? "null" : "\"" + std::string(s) + "\""); }
    // A secret shows only whether it was given.
    Args &masked(const char *s) { return add(s == nullptr ? "null" : "***"); }
    Args &out(const void *p) { return add(p == nullptr ? "null" : "out"); }
    Args &ref(const int *p) { return add(p == nullptr ? "null" : "&" + std::to_string(*p)); }
    Args &advanced(const TQVAdvancedOperation *s) {
        if (s == nullptr)
            return add("null");
        return add("{" + std::to_string(s->operation) + "," + std::to_string(s->first) + "," +
                   std::to_string(s->second) + "," + std::to_string(s->third) + "}");
    }
    const std::string &text() const { return text_; }

  private:
    Args &add(const std::string &item) {
        if (!text_.empty())
            text_ += ", ";
        text_ += item;
        return *this;
    }
    std::string text_;
};

// Whether text is a whole decimal number from low to high, into *value.
bool wholeNumber(const std::string &text, long long low, long long high, long long *value) {
    char *end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || parsed < low || parsed > high)
        return false;
    *value = parsed;
    return true;
}

// One call that a whole process answers differently: the environment
// variable TQVS_ANSWER holds a journal entry, `TQVGetObsNum(202312, 202400,
// 40) -> 5`, and every call that the journal would show as its left side
// answers the int on its right instead of doing its work, as an injection
// does. It is how a test makes the libraries of another process (kovra)
// differ from what Kovrap relies on. Read once, at the first call; a value
// that is not such an entry changes nothing.
struct Answer {
    bool set = false;
    std::string call;
    int result = 0;
};

Answer answerFromEnvironment() {
    Answer answer;
    const char *text = std::getenv("TQVS_ANSWER");
    if (text == nullptr)
        return answer;
    const std::string entry(text);
    const std::string arrow = " -> ";
    const std::size_t at = entry.rfind(arrow);
    if (at == std::string::npos || at == 0)
        return answer;
    long long value = 0;
    if (!wholeNumber(entry.substr(at + arrow.size()), INT_MIN, INT_MAX, &value))
        return answer;
    answer.set = true;
    answer.call = entry.substr(0, at);
    answer.result = static_cast<int>(value);
    return answer;
}

const Answer &answerOfProcess() {
    static const Answer answer = answerFromEnvironment();
    return answer;
}

// One operation that a whole process makes slow: the environment variable
// TQVS_DELAY holds an operation's name and milliseconds, `TQVOpenDatabase
// 1500`, and every call of it waits that long inside the library (the engine
// held) before its work. It is how a test of a host's worker, exit or fork
// finds a call still running, whatever the machine's speed. Read once, at
// the first call; a value that is not such a pair changes nothing.
struct Delay {
    std::string operation;
    long long milliseconds = 0;
};

Delay delayFromEnvironment() {
    Delay delay;
    const char *text = std::getenv("TQVS_DELAY");
    if (text == nullptr)
        return delay;
    const std::string entry(text);
    const std::size_t blank = entry.find(' ');
    if (blank == std::string::npos || blank == 0)
        return delay;
    long long value = 0;
    // At most a minute: a test's bound, never a hang.
    if (!wholeNumber(entry.substr(blank + 1), 1, 60000, &value))
        return delay;
    delay.operation = entry.substr(0, blank);
    delay.milliseconds = value;
    return delay;
}

const Delay &delayOfProcess() {
    static const Delay delay = delayFromEnvironment();
    return delay;
}

// One operation call: holds the engine for its whole duration, decides on
// entry whether a fault is injected, and journals the final result.
class Call {
  public:
    Call(int lib, const char *operation, const Args &args)
        : lock_(engine().mutex), lib_(lib),
          name_(std::string(isDirect(lib) ? "TQVD" : "TQV") + operation),
          text_(engine().journalOn ? name_ + "(" + args.text() + ")" : std::string()) {
        Engine &e = engine();
        const int position = e.position;
        for (auto it = e.failures.begin(); it != e.failures.end(); ++it) {
            if (it->first == position) {
                injected_ = true;
                result_ = it->second;
                e.failures.erase(it);
                break;
            }
        }
        // Every injection of this operation counts the call, fired or not.
        for (Injection &injection : e.injections) {
            if (injection.operation != name_)
                continue;
            ++injection.seen;
            if (!injected_ && (injection.nth == 0 || injection.seen == injection.nth)) {
                injected_ = true;
                result_ = injection.result;
            }
        }
        const Answer &answer = answerOfProcess();
        if (!injected_ && answer.set && answer.call == name_ + "(" + args.text() + ")") {
            injected_ = true;
            result_ = answer.result;
        }
        const Delay &delay = delayOfProcess();
        if (delay.milliseconds > 0 && delay.operation == name_)
            std::this_thread::sleep_for(std::chrono::milliseconds(delay.milliseconds));
    }

    template <class Work> int run(Work work) {
        return run(work, [] {});
    }

    // onInjected keeps protocol position (the direct code queue) in step
    // when the work itself is skipped.
    template <class Work, class Skip> int run(Work work, Skip onInjected) {
        int result = 0;
        if (injected_) {
            onInjected();
            result = result_;
        } else {
            try {
                result = work();
            } catch (...) {
                result = -1; // out of memory: nothing sensible was done
            }
        }
        Engine &e = engine();
        ++e.position;
        if (e.journalOn)
            e.journal.push_back(JournalEntry{name_, text_ + " -> " + std::to_string(result)});
        return result;
    }

    LibraryState &state() const { return library(lib_); }
    const std::string &name() const { return name_; }

  private:
    std::lock_guard<std::mutex> lock_;
    int lib_;
    std::string name_;
    std::string text_;
    bool injected_ = false;
    int result_ = 0;
};

// Direct chunk protocol: a list replaces the queue (split at every comma,
// so "" is one empty code); every call answers for the next queued code.
bool takeCode(LibraryState &state, const char *list, std::string &code) {
    if (list != nullptr) {
        state.codes.clear();
        const std::string text(list);
        std::size_t begin = 0;
        for (;;) {
            const std::size_t comma = text.find(',', begin);
            if (comma == std::string::npos) {
                state.codes.push_back(text.substr(begin));
                break;
            }
            state.codes.push_back(text.substr(begin, comma - begin));
            begin = comma + 1;
        }
    }
    if (state.codes.empty())
        return false;
    code = state.codes.front();
    state.codes.pop_front();
    return true;
}

// A queued value script of a double-writing operation answers in its place:
// min(n, *count) values are written, *count is left as it was.
bool runScript(const std::string &operation, double *values, const int *count) {
    Engine &e = engine();
    const auto found = e.scripts.find(operation);
    if (found == e.scripts.end() || found->second.empty())
        return false;
    const std::vector<double> script = std::move(found->second.front());
    found->second.pop_front();
    if (values != nullptr && count != nullptr && *count > 0) {
        const std::size_t n = std::min(script.size(), static_cast<std::size_t>(*count));
        std::copy(script.begin(), script.begin() + static_cast<std::ptrdiff_t>(n), values);
    }
    return true;
}

// The seasonal adjustment runs over a window of its own, which the row it is
// given need not hold (Kovrap passes a zero-filled scratch row for it), so it
// reads that window from the series the library fetched last, at the
// library's aggregation mode. Without such a series it adjusts the values it
// is given. On any failure the row is left as it was.
int seasonalCount(const LibraryState &state, const TQVAdvancedOperation &advanced, int start,
                  int end, int frequency, double *values, int count) {
    const Series *series = state.fetchedFrom ? state.fetchedFrom->find(state.fetchedCode) : nullptr;
    if (series == nullptr || values == nullptr || count <= 0)
        return applyAdvanced(advanced, start, end, frequency, values, count);
    std::vector<double> row(values, values + count);
    int filled = count;
    const int fetched = fetchWindow(*series, start, end, frequency, state.aggregation,
                                    engine().weeklyEnd, row.data(), &filled);
    if (fetched != TQVS_OK)
        return fetched;
    const int status = applyAdvanced(advanced, start, end, frequency, row.data(), count);
    if (status == TQVS_OK)
        std::copy(row.begin(), row.end(), values);
    return status;
}

int infoFor(const LibraryState &state, const char *code, char *record) {
    if (!state.current)
        return TQVS_NOT_OPEN;
    const Series *s = code == nullptr ? nullptr : state.current->find(code);
    if (s == nullptr)
        return TQVS_NOT_FOUND;
    if (s->infoStatus != 0)
        return s->infoStatus;
    if (record != nullptr)
        fillRecord(*s, record);
    return TQVS_OK;
}

int openDatabase(LibraryState &state, int lib, const char *name) {
    std::shared_ptr<Database> database = engine().findStored(name);
    if (!database) {
        if (name == nullptr || *name == '\0')
            return TQVS_NO_SUCH_DATABASE;
        int status = TQVS_NO_SUCH_DATABASE;
        if (isDirect(lib)) {
            status = loadDirectDatabase(dataDirectory(), engine().loginFolderId, name, database);
        } else {
            status = loadDatabaseFile(name, database);
            if (status == TQVS_NO_SUCH_DATABASE)
                status = loadDatabaseFile(std::string(name) + ".tqvdb", database);
        }
        if (status != TQVS_OK)
            return status;
        database->name = name;
    }
    auto same = std::find_if(state.open.begin(), state.open.end(),
                             [&](const OpenDatabase &o) { return o.name == name; });
    if (same != state.open.end())
        same->database = database;
    else
        state.open.push_back(OpenDatabase{name, database});
    state.current = database;
    return TQVS_OK;
}

} // namespace

} // namespace tqvs

using namespace tqvs;

extern "C" {

int tqvs_op_enable_retries(int lib, int on) {
    Call call(lib, "EnableRetries", Args().num(on));
    return call.run([&] {
        call.state().retries = on;
        return TQVS_OK;
    });
}

int tqvs_op_enable_ansi(int lib, int on) {
    Call call(lib, "EnableAnsi", Args().num(on));
    return call.run([&] {
        call.state().ansi = on;
        return TQVS_OK;
    });
}

int tqvs_op_get_merge_data(int lib) {
    Call call(lib, "GetMergeData", Args());
    return call.run([&] { return call.state().merge; });
}

int tqvs_op_set_merge_data(int lib, int setting) {
    Call call(lib, "SetMergeData", Args().num(setting));
    return call.run([&] {
        call.state().merge = setting;
        return TQVS_OK;
    });
}

int tqvs_op_open_database(int lib, const char *name) {
    Call call(lib, "OpenDatabase", Args().str(name));
    return call.run([&] {
        if (isDirect(lib) && !engine().loggedInHere())
            return TQVS_NOT_LOGGED_IN;
        LibraryState &state = call.state();
        const int status = openDatabase(state, lib, name);
        if (status != TQVS_OK)
            state.current.reset();
        return status;
    });
}

int tqvs_op_close_database(int lib) {
    Call call(lib, "CloseDatabase", Args());
    return call.run([&] {
        LibraryState &state = call.state();
        state.open.clear();
        state.current.reset();
        state.walking = false;
        state.walkDatabase.clear();
        state.walkFrom = nullptr;
        state.walkAt = 0;
        state.codes.clear();
        state.listing.reset();
        state.listed = 0;
        state.fetchedFrom.reset();
        return TQVS_OK;
    });
}

int tqvs_op_get_next_var(int lib, const char *database, const char *previous, char *record) {
    Call call(lib, "GetNextVar", Args().str(database).str(previous).out(record));
    return call.run([&] {
        LibraryState &state = call.state();
        if (database != nullptr) {
            if (state.findOpen(database) == nullptr)
                return TQVS_NOT_OPEN;
            state.walkDatabase = database;
            state.walking = true;
        }
        const OpenDatabase *open =
            state.walking ? state.findOpen(state.walkDatabase.c_str()) : nullptr;
        if (open == nullptr)
            return TQVS_NOT_OPEN;
        const Database &walked = *open->database;
        const std::vector<Series> &series = walked.series;
        std::size_t next = 0;
        if (previous != nullptr) {
            // The step from the series returned last needs no lookup; any
            // other code is found through the code index, as before by its
            // first occurrence.
            std::size_t at = Database::npos;
            if (state.walkFrom == &walked && state.walkAt < series.size() &&
                series[state.walkAt].code == previous)
                at = state.walkAt;
            else
                at = walked.position(previous);
            if (at == Database::npos)
                return TQVS_NOT_FOUND;
            next = at + 1;
        }
        if (next >= series.size())
            return TQVS_NOT_FOUND;
        if (record != nullptr)
            fillRecord(series[next], record);
        state.walkFrom = &walked;
        state.walkAt = next;
        return TQVS_OK;
    });
}

int tqvs_op_get_names(int lib, const char *database, char *output) {
    Call call(lib, "GetNames", Args().str(database).out(output));
    return call.run([&] {
        if (isDirect(lib) && !engine().loggedInHere())
            return TQVS_NOT_LOGGED_IN;
        LibraryState &state = call.state();
        if (database != nullptr) {
            const OpenDatabase *open = state.findOpen(database);
            if (open == nullptr)
                return TQVS_NOT_OPEN;
            state.listing = open->database;
            state.listed = 0;
        }
        if (!state.listing)
            return TQVS_NOT_OPEN;
        const std::vector<Series> &series = state.listing->series;
        if (state.listed >= series.size())
            return TQVS_END_OF_NAMES;
        const std::size_t batch = static_cast<std::size_t>(engine().namesBatch);
        const std::size_t end = std::min(series.size(), state.listed + batch);
        std::string names;
        for (std::size_t i = state.listed; i < end; ++i) {
            if (i > state.listed)
                names += ',';
            names += series[i].code;
        }
        state.listed = end;
        if (output != nullptr)
            std::memcpy(output, names.c_str(), names.size() + 1);
        return TQVS_OK;
    });
}

int tqvs_op_get_info(int lib, int zero, const char *code, char *record) {
    Call call(lib, "GetInfo", Args().num(zero).str(code).out(record));
    if (!isDirect(lib))
        return call.run([&] { return infoFor(call.state(), code, record); });
    std::string pending;
    return call.run(
        [&] {
            if (!engine().loggedInByName())
                return TQVS_NOT_LOGGED_IN;
            if (!takeCode(call.state(), code, pending))
                return TQVS_NO_CODE_PENDING;
            return infoFor(call.state(), pending.c_str(), record);
        },
        [&] { takeCode(call.state(), code, pending); });
}

int tqvs_op_get_data_count(int lib, const char *database, const char *code, int start, int end,
                           int frequency, double *output, int *count) {
    Call call(
        lib, "GetDataCount",
        Args().str(database).str(code).num(start).num(end).num(frequency).out(output).ref(count));
    std::string pending;
    return call.run(
        [&] {
            LibraryState &state = call.state();
            if (runScript(call.name(), output, count)) {
                if (isDirect(lib))
                    takeCode(state, code, pending);
                state.fetchedFrom.reset(); // scripted values come from no series
                return TQVS_OK;
            }
            const char *wanted = code;
            if (isDirect(lib)) {
                if (!engine().loggedInByName())
                    return TQVS_NOT_LOGGED_IN;
                if (!takeCode(state, code, pending))
                    return TQVS_NO_CODE_PENDING;
                wanted = pending.c_str();
            }
            state.fetchedFrom.reset();
            const OpenDatabase *open = state.findOpen(database);
            if (open == nullptr)
                return TQVS_NOT_OPEN;
            const Series *series = wanted == nullptr ? nullptr : open->database->find(wanted);
            if (series == nullptr)
                return TQVS_NOT_FOUND;
            const int status = fetchWindow(*series, start, end, frequency, state.aggregation,
                                           engine().weeklyEnd, output, count);
            if (status == TQVS_OK) {
                state.fetchedFrom = open->database;
                state.fetchedCode = series->code;
            }
            return status;
        },
        [&] {
            if (isDirect(lib))
                takeCode(call.state(), code, pending);
        });
}

int tqvs_op_apply_math_count(int lib, int operation, int start, int end, int frequency,
                             double *values, int *count) {
    Call call(lib, "ApplyMathCount",
              Args().num(operation).num(start).num(end).num(frequency).out(values).ref(count));
    return call.run([&] {
        if (runScript(call.name(), values, count))
            return TQVS_OK;
        if (count == nullptr || (values == nullptr && *count > 0))
            return TQVS_SHORT_BUFFER;
        return applyMath(operation, start, end, frequency, values, *count);
    });
}

int tqvs_op_apply_advanced_count(int lib, const TQVAdvancedOperation *advanced, int start, int end,
                                 int frequency, double *values, int *count) {
    Call call(lib, "ApplyAdvancedCount",
              Args().advanced(advanced).num(start).num(end).num(frequency).out(values).ref(count));
    return call.run([&] {
        if (runScript(call.name(), values, count))
            return TQVS_OK;
        if (advanced == nullptr)
            return TQVS_BAD_OPERATION;
        if (count == nullptr || (values == nullptr && *count > 0))
            return TQVS_SHORT_BUFFER;
        if (advanced->operation == kAdvancedSeasonal)
            return seasonalCount(call.state(), *advanced, start, end, frequency, values, *count);
        return applyAdvanced(*advanced, start, end, frequency, values, *count);
    });
}

int tqvs_op_get_obs_num(int lib, int start, int end, int frequency) {
    Call call(lib, "GetObsNum", Args().num(start).num(end).num(frequency));
    return call.run([&] { return obsNum(start, end, frequency, engine().weeklyEnd); });
}

int tqvs_op_get_date(int lib, int start, int observation, int frequency) {
    Call call(lib, "GetDate", Args().num(start).num(observation).num(frequency));
    return call.run([&] { return dateAt(start, observation, frequency); });
}

int tqvs_op_get_aggregation_mode(int lib) {
    Call call(lib, "GetAggregationMode", Args());
    return call.run([&] { return call.state().aggregation; });
}

int tqvs_op_set_aggregation_mode(int lib, int mode) {
    Call call(lib, "SetAggregationMode", Args().num(mode));
    return call.run([&] {
        if (mode < 0 || mode >= kAggregationModes)
            return TQVS_BAD_OPERATION;
        call.state().aggregation = mode;
        return TQVS_OK;
    });
}

int tqvs_op_get_version(int lib, char *text, int size) {
    Call call(lib, "GetVersion", Args().out(text).num(size));
    return call.run([&] {
        if (text != nullptr && size > 0) {
            const std::string &version = call.state().version;
            const std::size_t n = std::min(version.size(), static_cast<std::size_t>(size - 1));
            std::memcpy(text, version.data(), n);
            text[n] = '\0';
        }
        return TQVS_OK;
    });
}

int tqvs_op_authenticate(int lib, const char *user, const char *password, int *status,
                         const char *service) {
    Call call(lib, "Authenticate", Args().str(user).masked(password).ref(status).str(service));
    return call.run([&] {
        // The service name selects nothing: the data folder of the moment
        // is the service, and the log-in holds for that folder only.
        Engine &e = engine();
        bool accepted = false;
        if (credentialAllowed(user) && credentialAllowed(password)) {
            accepted = (e.hasCredentials && e.user == user && e.password == password) ||
                       credentialsFileAccepts(dataDirectory(), user, password);
        }
        e.logIn(accepted);
        const int result = accepted ? TQVS_OK : TQVS_BAD_LOGIN;
        if (status != nullptr)
            *status = result;
        return result;
    });
}

} // extern "C"
