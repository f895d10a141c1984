// The engine's state and the control interface that tests drive it with.
#include "files.h"
#include "state.h"
#include "tqv_standin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tqvs {

const OpenDatabase *LibraryState::findOpen(const char *name) const {
    if (name == nullptr)
        return nullptr;
    for (const OpenDatabase &o : open)
        if (o.name == name)
            return &o;
    return nullptr;
}

void Engine::resetState() {
    journal.clear();
    position = 0;
    injections.clear();
    failures.clear();
    scripts.clear();
    store.clear();
    for (LibraryState &l : libraries)
        l = LibraryState();
    libraries[0].version = "tqvapi64 standin 1";
    libraries[1].version = "tqvdapi64 standin 1";
    logIn(false);
    hasCredentials = false;
    user.clear();
    password.clear();
    namesBatch = 100;
    weeklyEnd = weeklyEndAtStart;
}

void Engine::logIn(bool on) {
    loggedIn = on;
    loginFolder = on ? dataDirectory() : std::string();
    loginFolderId = on ? folderIdentity(loginFolder) : FolderId();
}

bool Engine::loggedInHere() const {
    // The folder is read again on every call: in another folder the log-in
    // does not hold.
    // Checked by name and by identity: a link re-pointed, or a relative
    // folder read from another working folder, is another folder.
    if (!loggedIn)
        return false;
    const std::string folder = dataDirectory();
    return loginFolder == folder && loginFolderId == folderIdentity(folder);
}

bool Engine::loggedInByName() const {
    return loggedIn && loginFolder == dataDirectory();
}

std::shared_ptr<Database> Engine::findStored(const char *name) const {
    if (name == nullptr)
        return nullptr;
    for (const std::shared_ptr<Database> &d : store)
        if (d->name == name)
            return d;
    return nullptr;
}

Series *Engine::findStoredSeries(const char *database, const char *code, int &status) {
    const std::shared_ptr<Database> d = findStored(database);
    if (!d) {
        status = TQVS_NO_SUCH_DATABASE;
        return nullptr;
    }
    Series *s = code == nullptr ? nullptr : d->find(code);
    status = s == nullptr ? TQVS_NOT_FOUND : TQVS_OK;
    return s;
}

int weeklyEndFromEnvironment() {
    const char *reading = std::getenv("TQVS_WEEKLY_END");
    if (reading == nullptr || *reading == '\0' || std::strcmp(reading, "holding") == 0)
        return TQVS_WEEK_HOLDING;
    if (std::strcmp(reading, "ended") == 0)
        return TQVS_WEEK_ENDED;
    // A misspelt reading must not pass for the one asked for unnoticed.
    std::fprintf(stderr,
                 "tqvstandin: TQVS_WEEKLY_END=%s is neither holding nor ended; "
                 "weekly ends read as holding\n",
                 reading);
    return TQVS_WEEK_HOLDING;
}

Engine &engine() {
    static Engine instance;
    return instance;
}

LibraryState &library(int lib) {
    return engine().libraries[lib == 0 ? 0 : 1];
}

} // namespace tqvs

using tqvs::engine;
using tqvs::Engine;

namespace {

std::string text(const char *s) {
    return s == nullptr ? std::string() : std::string(s);
}

} // namespace

extern "C" {

void tqvs_reset(void) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.resetState();
}

void tqvs_clear_log(void) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.journal.clear();
    e.position = 0;
}

void tqvs_set_journal(int on) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.journalOn = on != 0;
    e.journal.clear();
    e.position = 0;
}

int tqvs_log_size(void) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    return static_cast<int>(e.journal.size());
}

const char *tqvs_log_entry(int i) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (i < 0 || static_cast<std::size_t>(i) >= e.journal.size())
        return nullptr;
    return e.journal[static_cast<std::size_t>(i)].text.c_str();
}

int tqvs_log_count(const char *operation) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (operation == nullptr)
        return 0;
    return static_cast<int>(
        std::count_if(e.journal.begin(), e.journal.end(),
                      [&](const tqvs::JournalEntry &j) { return j.operation == operation; }));
}

void tqvs_inject(const char *operation, int nth, int result) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (operation == nullptr || nth < 0)
        return;
    tqvs::Injection injection;
    injection.operation = operation;
    injection.nth = nth;
    injection.result = result;
    e.injections.push_back(injection);
}

void tqvs_fail_at(int position, int result) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (position >= 0)
        e.failures.emplace_back(position, result);
}

void tqvs_script_values(const char *operation, const double *values, int n) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (operation == nullptr)
        return;
    std::vector<double> script;
    if (values != nullptr && n > 0)
        script.assign(values, values + n);
    e.scripts[operation].push_back(std::move(script));
}

int tqvs_add_database(const char *name) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    // Registering a name again keeps the database, so that tests can add its
    // series one at a time.
    const std::string key = text(name);
    for (const auto &d : e.store)
        if (d->name == key)
            return TQVS_OK;
    auto database = std::make_shared<tqvs::Database>();
    database->name = key;
    e.store.push_back(std::move(database));
    return TQVS_OK;
}

int tqvs_add_series(const char *database, const char *code, int frequency, int first, int last,
                    const double *values, int n) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    const std::shared_ptr<tqvs::Database> d = e.findStored(database);
    if (!d)
        return TQVS_NO_SUCH_DATABASE;
    tqvs::Series series;
    series.code = text(code);
    series.frequency = frequency;
    series.first = first;
    series.last = last;
    if (n > 0) {
        if (values != nullptr)
            series.values.assign(values, values + n);
        else
            series.values.assign(static_cast<std::size_t>(n), tqvs::kMissing);
    }
    // The same code again replaces the series in its place.
    if (tqvs::Series *old = d->find(series.code))
        *old = std::move(series);
    else
        d->series.push_back(std::move(series));
    return TQVS_OK;
}

int tqvs_set_attributes(const char *database, const char *code, const int attributes[6],
                        const char *const texts[7]) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    int status = TQVS_OK;
    tqvs::Series *s = e.findStoredSeries(database, code, status);
    if (s == nullptr)
        return status;
    for (int i = 0; i < 6; ++i)
        s->attributes[i] = attributes == nullptr ? 0 : attributes[i];
    for (int i = 0; i < 7; ++i)
        s->texts[i] = texts == nullptr ? std::string() : text(texts[i]);
    return TQVS_OK;
}

int tqvs_set_info_status(const char *database, const char *code, int status) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    int found = TQVS_OK;
    tqvs::Series *s = e.findStoredSeries(database, code, found);
    if (s == nullptr)
        return found;
    s->infoStatus = status;
    return TQVS_OK;
}

int tqvs_set_record(const char *database, const char *code, const unsigned char *record) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    int found = TQVS_OK;
    tqvs::Series *s = e.findStoredSeries(database, code, found);
    if (s == nullptr)
        return found;
    // A null record goes back to the record built from the series.
    s->hasRawRecord = record != nullptr;
    if (record != nullptr)
        s->rawRecord.assign(record, record + tqvs::kRecordBytes);
    else
        s->rawRecord.clear();
    return TQVS_OK;
}

void tqvs_set_names_batch(int codesPerCall) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.namesBatch = std::max(1, codesPerCall);
}

void tqvs_set_credentials(const char *user, const char *password) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.hasCredentials = user != nullptr && password != nullptr;
    e.user = text(user);
    e.password = text(password);
}

void tqvs_set_logged_in(int on) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    e.logIn(on != 0);
}

void tqvs_set_version(int direct, const char *version) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    tqvs::library(direct).version = text(version).substr(0, tqvs::kMaxVersion);
}

int tqvs_merge_setting(int direct) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    return tqvs::library(direct).merge;
}

int tqvs_retries(int direct) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    return tqvs::library(direct).retries;
}

int tqvs_ansi(int direct) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    return tqvs::library(direct).ansi;
}

int tqvs_aggregation_mode(int direct) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    return tqvs::library(direct).aggregation;
}

int tqvs_open_count(int direct) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    return static_cast<int>(tqvs::library(direct).open.size());
}

void tqvs_set_weekly_end(int reading) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    if (reading == TQVS_WEEK_HOLDING || reading == TQVS_WEEK_ENDED)
        e.weeklyEnd = reading;
}

int tqvs_weekly_end(void) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    return e.weeklyEnd;
}

int tqvs_logged_in(void) {
    Engine &e = engine();
    std::lock_guard<std::mutex> lock(e.mutex);
    return e.loggedInHere() ? 1 : 0;
}

} // extern "C"
