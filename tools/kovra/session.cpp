#include "session.h"

#include "failure.h"
#include "input_file.h"
#include "statuses.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

namespace kovra {

namespace {

constexpr std::size_t kMaxCode = KOVRAP_CODE_WIDTH - 1;

// The first buffer of a listing: the codes of some 6 500 series. A longer
// list is asked for again in a buffer of the size the library gives.
constexpr std::size_t kFirstCodeListBytes = std::size_t{64} << 10;
// What a listing's buffer is filled with: no library text holds it.
constexpr char kUnwritten = '\x01';
// The libraries' "no more names" at the first call: a direct database
// without series.
constexpr int kEndOfNames = 1011;

// Widths of the text columns: code, then texts 1 to 7.
constexpr std::size_t kCodeWidth = KOVRAP_CODE_WIDTH;
constexpr std::size_t kTextWidths[7] = {KOVRAP_TEXT1_WIDTH, KOVRAP_TEXT2_WIDTH, KOVRAP_TEXT3_WIDTH,
                                        KOVRAP_TEXT4_WIDTH, KOVRAP_TEXT5_WIDTH, KOVRAP_TEXT6_WIDTH,
                                        KOVRAP_TEXT7_WIDTH};

// The password is the file's first line. A longer line is no password, and
// a source that never ends (a device) must not be read forever.
constexpr std::size_t kMaxPasswordLine = 4096;

// The last calendar date a period may end on.
constexpr int kLastCalendarDate = 99991231;

std::string readPassword(const std::string &path) {
    // Opened without waiting and read only as a regular file: a folder
    // reads as an empty password on some systems, a pipe would hold kovra.
    kovrap_tools::InputFile file;
    const kovrap_tools::InputProblem problem = file.open(std::filesystem::u8path(path));
    if (problem == kovrap_tools::InputProblem::CannotOpen)
        fail("cannot read the password file " + path);
    if (problem != kovrap_tools::InputProblem::None)
        fail("the password file " + path + " " + kovrap_tools::describe(problem));
    std::istream &in = file.stream();
    std::string line;
    char ch = 0;
    while (in.get(ch) && ch != '\n') {
        if (line.size() == kMaxPasswordLine)
            fail("the first line of the password file " + path + " is longer than " +
                 std::to_string(kMaxPasswordLine) + " bytes");
        line += ch;
    }
    if (in.bad())
        fail("cannot read the password file " + path);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    // The library takes the password as a C string: a NUL would cut it
    // short, and no password holds a control character.
    if (hasControlCharacter(line))
        fail("the first line of the password file " + path +
             " holds a NUL or control character, which no password holds");
    return line;
}

// A text column: one zero-filled buffer per request, one byte wider than the
// field so that a text always ends in a NUL.
struct TextColumn {
    TextColumn(std::size_t rows, std::size_t width)
        : width_(width + 1), bytes_(rows * width_, '\0'), pointers_(rows) {
        for (std::size_t i = 0; i < rows; ++i)
            pointers_[i] = &bytes_[i * width_];
    }
    char **pointers() { return pointers_.data(); }
    std::string text(std::size_t row) const { return std::string(&bytes_[row * width_]); }

  private:
    std::size_t width_;
    std::vector<char> bytes_;
    std::vector<char *> pointers_;
};

std::vector<const char *> pointersOf(const std::vector<std::string> &texts) {
    std::vector<const char *> pointers;
    pointers.reserve(texts.size());
    for (const std::string &t : texts)
        pointers.push_back(t.c_str());
    return pointers;
}

// A weekday named for the weeks: they end on that day. The common range
// reads 57 as the weekly group and takes its day from the first series, and
// at another weekday sets weekly series apart as finer or coarser; so the
// weekly series of other days are set aside here (their weeks cannot be
// remade on another day), and the window is counted again, as the library
// counts it, at the day named and over the series that remain.
void keepToWeekday(const Api &api, const RangeRequest &range, std::vector<SeriesInfo> &series,
                   int &chosen, int &start, int &end, int &count) {
    const int day = range.frequency;
    chosen = day;
    int first = range.start;
    int last = range.end;
    bool any = false;
    int earliest = 99999999;
    int latest = -99999999;
    for (SeriesInfo &info : series) {
        if (info.role == RangeRole::Empty)
            continue;
        if (isWeekly(info.frequency) && info.frequency != day)
            info.role = RangeRole::OtherWeekday;
        if (info.role != RangeRole::Used)
            continue;
        any = true;
        earliest = std::min(earliest, info.firstDate);
        latest = std::max(latest, info.lastDate);
    }
    if (!any)
        return;
    if (first == -1)
        first = earliest;
    if (last == -1)
        last = latest;
    start = api.ymdToTqvdate(first, day);
    end = api.ymdToTqvdate(last, day);
    count = api.getObsNum(start, end, day);
}

} // namespace

std::string settleDataFolder() {
    const char *ours = std::getenv("KOVRAP_DATA_DIR");
    const char *theirs = std::getenv("TQVD_DATA_DIR");
    const bool fromOurs = ours != nullptr && *ours != '\0';
    const char *given = fromOurs ? ours : theirs;
    if (given == nullptr || *given == '\0')
        return std::string();
    std::error_code ec;
    const std::filesystem::path absolute =
        std::filesystem::absolute(std::filesystem::u8path(given), ec);
    if (ec)
        fail(std::string("cannot make the data folder ") + given + " absolute: " + ec.message() +
             (fromOurs ? " (KOVRAP_DATA_DIR)" : " (TQVD_DATA_DIR)"));
    const std::string folder = absolute.lexically_normal().u8string();
#if defined(_WIN32)
    const bool set = _putenv_s("TQVD_DATA_DIR", folder.c_str()) == 0;
#else
    const bool set = setenv("TQVD_DATA_DIR", folder.c_str(), 1) == 0;
#endif
    if (!set)
        fail("cannot hand the data folder " + folder + " to the libraries");
    return folder;
}

Session::Session(const Options &options) : direct_(options.direct) {
    settleDataFolder();
    std::string error;
    if (!loadApi(options.library, api_, error))
        fail(error);
    if (!direct_ || !options.user)
        return;
    if (hasControlCharacter(*options.user))
        usageError("the user name holds a control character, which no user name holds");
    const std::string password = readPassword(*options.passwordFile);
    const char *service = options.service ? options.service->c_str() : "";
    int status = 0;
    const int result = api_.authenticate(options.user->c_str(), password.c_str(), &status, service);
    if (result != 0)
        fail("log-in to the direct library failed for user '" + *options.user + "' (status " +
             std::to_string(result) + ")");
    loggedIn_ = true;
}

int listCodes(const SizedListing &call, bool direct, const std::string &database,
              CodeListing &listing, std::size_t firstBytes) {
    std::size_t bytes = std::max<std::size_t>(firstBytes, 2);
    for (int tries = 0; tries < kListingTries; ++tries) {
        std::vector<char> buffer(bytes, kUnwritten);
        const int needed = call(buffer.data(), static_cast<int>(buffer.size()));
        if (needed < 0)
            return needed;
        const auto length = static_cast<std::size_t>(needed);
        // A direct list needs a byte beyond its NUL to tell whether it was
        // cut at 32 calls.
        if (length >= buffer.size() || (direct && length + 1 == buffer.size())) {
            // Room for the list, its NUL and the mark behind it; the list
            // may have grown since, and is asked for again.
            bytes = std::min<std::size_t>(length + 2, INT_MAX);
            continue;
        }
        listing = CodeListing();
        // A listing that the library ended leaves a second NUL behind the
        // list when there is room for it; a direct listing stopped at its
        // 32nd call leaves the byte as it was.
        listing.mayBeCut = direct && buffer[length + 1] != '\0';
        std::string code;
        for (std::size_t i = 0; i < length; ++i) {
            if (buffer[i] == ',') {
                if (!code.empty())
                    listing.codes.push_back(code);
                code.clear();
            } else {
                code += buffer[i];
            }
        }
        if (!code.empty())
            listing.codes.push_back(code);
        return 0;
    }
    fail("the code list of database '" + shownName(database) +
         "' grew every time it was asked for (" + std::to_string(kListingTries) +
         " times); is the database being rewritten?");
}

bool Session::standin() const {
    if (standin_ < 0) {
        int interfaceVersion = 0;
        char local[32] = {};
        char direct[32] = {};
        api_.version(&interfaceVersion, local, direct);
        local[sizeof local - 1] = '\0';
        direct[sizeof direct - 1] = '\0';
        standin_ = isStandinVersion(direct_ ? direct : local, direct_) ? 1 : 0;
    }
    return standin_ == 1;
}

std::string Session::openFailure(const std::string &database, int status) const {
    const std::string message = "cannot open database '" + database + "': ";
    if (loggedOut())
        return message + "log in first, with --user and --password-file (status " +
               std::to_string(status) + ")";
    const std::string phrase = statusPhrase(status, standin());
    const OpenProblem problem = openProblem(status, standin());
    if (problem == OpenProblem::NotADatabase)
        return message + phrase + "; 'tqvconvert check FILE.tqvdb' shows where";
    if (direct_ || problem != OpenProblem::NoSuchDatabase)
        return message + phrase;
    // Name the files the local library looked for, as the user named them.
    return message + "no regular file that can be read at " + database + " or " + database +
           ".tqvdb";
}

CodeListing Session::listing(const std::string &database) const {
    CodeListing listing;
    const int result = listCodes(
        [&](char *buffer, int capacity) {
            return api_.getCodesSized(direct(), database.c_str(), buffer, capacity);
        },
        direct_, database, listing, kFirstCodeListBytes);
    if (result >= 0)
        return listing;
    // A direct database without series: the library's first answer is that
    // there are no more names.
    if (direct_ && result == -kEndOfNames)
        return CodeListing();
    switch (-result) {
    case KOVRAP_STATUS_NO_MEMORY:
        fail("not enough memory to list database '" + shownName(database) + "'");
    case KOVRAP_STATUS_NAMES_OVERRUN:
        fail("the direct library wrote a text of names longer than " +
             std::to_string(KOVRAP_NAMES_TEXT_BYTES) + " bytes for database '" +
             shownName(database) + "'");
    case KOVRAP_STATUS_LIST_TOO_LONG:
        fail("the code list of database '" + shownName(database) +
             "' is longer than the listing can return");
    default:
        break;
    }
    const int status = result == INT_MIN ? result : -result;
    fail(openFailure(database, status));
}

std::vector<std::string> Session::codes(const std::string &database) const {
    return listing(database).codes;
}

void Session::checkDatabases(const std::vector<std::string> &databases) const {
    for (const std::string &database : databases)
        codes(database);
}

std::string statusListText(int list, bool direct) {
    switch (list) {
    case 0:
        return "not found";
    case 1:
        return "status 2";
    case 2:
        return direct ? "status 3" : "status 3 or 4";
    case 3:
        return "status 4";
    case 4:
        return "status 5";
    case 5:
        return "status 6";
    default:
        return "other status";
    }
}

InfoResult querySeries(const Session &session, const std::vector<SeriesRef> &series,
                       const RangeRequest *range) {
    const std::size_t n = series.size();
    std::vector<std::string> codeTexts, dbTexts;
    for (const SeriesRef &s : series) {
        codeTexts.push_back(s.code);
        dbTexts.push_back(s.database);
    }
    const std::vector<std::string> databases = databasesOf(series);
    const auto codes = pointersOf(codeTexts);
    const auto dbNames = pointersOf(dbTexts);
    const auto databaseNames = pointersOf(databases);

    std::array<int, 7> statusCounts{};
    std::array<std::vector<int>, 7> statusLists;
    for (auto &list : statusLists)
        list.assign(n, -1);
    InfoStatusLists status{};
    status.classifyOnly = 0;
    status.statusCounts = statusCounts.data();
    int **lists[7] = {&status.statusList0, &status.statusList1, &status.statusList2,
                      &status.statusList3, &status.statusList4, &status.statusList5,
                      &status.statusList6};
    for (std::size_t k = 0; k < 7; ++k)
        *lists[k] = statusLists[k].data();

    TextColumn codeColumn(n, kCodeWidth);
    std::vector<TextColumn> textColumns;
    for (std::size_t width : kTextWidths)
        textColumns.emplace_back(n, width);
    std::vector<int> firstDate(n), lastDate(n), frequency(n);
    std::array<std::vector<int>, 6> attributes;
    for (auto &a : attributes)
        a.assign(n, 0);
    SeriesInfoColumns columns{};
    columns.code = codeColumn.pointers();
    columns.firstDate = firstDate.data();
    columns.lastDate = lastDate.data();
    columns.attribute1 = attributes[0].data();
    columns.frequency = frequency.data();
    columns.attribute2 = attributes[1].data();
    columns.attribute3 = attributes[2].data();
    columns.attribute4 = attributes[3].data();
    columns.attribute5 = attributes[4].data();
    columns.attribute6 = attributes[5].data();
    char ***texts[7] = {&columns.text1, &columns.text2, &columns.text3, &columns.text4,
                        &columns.text5, &columns.text6, &columns.text7};
    for (std::size_t t = 0; t < 7; ++t)
        *texts[t] = textColumns[t].pointers();

    int chosenFrequency = range ? range->frequency : 0;
    int start = range ? range->start : -1;
    int end = range ? range->end : -1;
    int count = 0;
    CommonRange common{};
    common.computeRange = range ? 1 : 0;
    common.frequency = &chosenFrequency;
    common.start = &start;
    common.end = &end;
    common.observationCount = &count;
    std::array<int, 3> exclusionCounts{};
    std::array<std::vector<int>, 3> exclusionLists;
    for (auto &list : exclusionLists)
        list.assign(n, -1);
    RangeExclusions exclusions{};
    exclusions.exclusionCounts = exclusionCounts.data();
    exclusions.emptyList = exclusionLists[0].data();
    exclusions.higherFrequencyList = exclusionLists[1].data();
    exclusions.lowerFrequencyList = exclusionLists[2].data();

    session.api().seriesInfo(session.direct(), &status, &columns, codes.data(), dbNames.data(),
                             databaseNames.data(), static_cast<int>(databases.size()),
                             static_cast<int>(n), 0, 0, &common, &exclusions);

    InfoResult result;
    result.series.resize(n);
    // Only request indices within the request list are taken from the lists.
    const auto entries = [n](const std::vector<int> &list, int listCount) {
        std::vector<std::size_t> indices;
        const int bounded = std::min(std::max(listCount, 0), static_cast<int>(n));
        for (int i = 0; i < bounded; ++i)
            if (list[static_cast<std::size_t>(i)] >= 0 &&
                static_cast<std::size_t>(list[static_cast<std::size_t>(i)]) < n)
                indices.push_back(static_cast<std::size_t>(list[static_cast<std::size_t>(i)]));
        return indices;
    };
    bool otherStatus = false;
    for (std::size_t k = 0; k < 7; ++k)
        for (std::size_t j : entries(statusLists[k], statusCounts[k])) {
            result.series[j].statusList = static_cast<int>(k);
            otherStatus = otherStatus || k > 0;
        }

    std::vector<std::string> unknown;
    for (std::size_t j = 0; j < n; ++j)
        if (result.series[j].statusList == 0)
            unknown.push_back(series[j].name);
    if (!unknown.empty())
        fail("unknown series " + unknown.front() +
             (unknown.size() > 1 ? " (and " + std::to_string(unknown.size() - 1) + " more)" : ""));

    for (std::size_t j = 0; j < n; ++j) {
        SeriesInfo &info = result.series[j];
        if (info.statusList >= 0)
            continue;
        info.code = codeColumn.text(j);
        info.firstDate = firstDate[j];
        info.lastDate = lastDate[j];
        info.frequency = frequency[j];
        for (std::size_t a = 0; a < 6; ++a)
            info.attributes[a] = attributes[a][j];
        for (std::size_t t = 0; t < 7; ++t)
            info.texts[t] = textColumns[t].text(j);
    }

    if (range == nullptr)
        return result;
    if (otherStatus) {
        for (std::size_t j = 0; j < n; ++j)
            if (result.series[j].statusList > 0)
                fail("no common range: " + series[j].name + " answered " +
                     statusListText(result.series[j].statusList, session.direct() != 0));
    }
    const RangeRole roles[3] = {RangeRole::Empty, RangeRole::Finer, RangeRole::Coarser};
    for (std::size_t k = 0; k < 3; ++k)
        for (std::size_t j : entries(exclusionLists[k], exclusionCounts[k]))
            result.series[j].role = roles[k];
    if (range->weeklyDay)
        keepToWeekday(session.api(), *range, result.series, chosenFrequency, start, end, count);
    for (const SeriesInfo &info : result.series)
        result.used += info.role == RangeRole::Used ? 1 : 0;
    result.ranged = true;
    result.frequency = chosenFrequency;
    result.start = start;
    result.end = end;
    result.count = count;
    // The weekly group's day comes from the first series that takes part:
    // say which, when the group was asked for or the order of several
    // series decided it, so that a reordering that changes it is seen.
    const bool group = (range->frequency == kLowestFrequency && result.used > 1) ||
                       (range->frequency == kWeeklyGroup && !range->weeklyDay);
    if (group && isWeekly(chosenFrequency))
        for (std::size_t j = 0; j < n; ++j)
            if (result.series[j].role == RangeRole::Used) {
                result.groupDay = "the weekly group took weeks ending " +
                                  weekdayOf(chosenFrequency) + " from " + series[j].name;
                break;
            }
    return result;
}

RangeRequest rangeRequest(const Api &api, const Options &options) {
    RangeRequest request;
    if (options.freq) {
        request.frequency = parseFrequency(api, *options.freq);
        request.weeklyDay = isWeekly(request.frequency) && namesWeekday(*options.freq);
    }
    if (options.from) {
        request.start = parseDate(api, *options.from).first;
        request.startText = *options.from;
    }
    if (options.to) {
        request.end = parseDate(api, *options.to).last;
        request.endText = *options.to;
    }
    return request;
}

std::string setAsideReason(const SeriesRef &series, const SeriesInfo &info, int frequency) {
    switch (info.role) {
    case RangeRole::Empty:
        return series.name + " has no observations";
    case RangeRole::Finer:
        return series.name + " is " + frequencyName(info.frequency) + ", finer than " +
               frequencyName(frequency) + " and not to be aggregated";
    case RangeRole::Coarser:
        return series.name + " is " + frequencyName(info.frequency) + ", coarser than " +
               frequencyName(frequency);
    case RangeRole::OtherWeekday:
        return series.name + " holds " + weekdayOf(info.frequency) + " weeks; weeks ending " +
               weekdayOf(frequency) + " cannot be made from them";
    case RangeRole::Used:
        break;
    }
    return series.name + " takes part";
}

void requireUsableRange(const Api &api, const std::vector<SeriesRef> &series,
                        const InfoResult &info, const RangeRequest &request) {
    if (info.used == 0) {
        std::string reasons;
        for (std::size_t j = 0; j < series.size(); ++j)
            reasons +=
                (j > 0 ? "; " : "") + setAsideReason(series[j], info.series[j], info.frequency);
        fail("no series left for a common range: " + reasons);
    }
    // The ends as the user wrote them; an end the series chose as its period.
    const auto end = [&](const std::string &given, int date) {
        return given.empty() ? periodLabel(api.tqvdateToYmd(date, info.frequency), info.frequency)
                             : given;
    };
    // Both ends given and in the wrong order: refused even where they fall
    // in one period, which the library would show.
    const bool reversed = request.start != -1 && request.end != -1 && request.start > request.end;
    if (info.count <= 0 || reversed)
        usageError("no " + frequencyName(info.frequency) + " period from " +
                   end(request.startText, info.start) + " to " + end(request.endText, info.end) +
                   (reversed ? ": the start is after the end" : ""));
    // A week can end in the year 10000 (the week of 9999-12-31 read at
    // another weekday): no date of that year can be shown or read back.
    const int last =
        api.tqvdateToYmd(api.getDate(info.start, info.count, info.frequency), info.frequency);
    if (last <= 0 || last > kLastCalendarDate)
        fail("the window's last " + frequencyName(info.frequency) +
             " period ends after 9999-12-31, the last date kovra shows; give an earlier --to");
}

std::string rangeLine(const Api &api, const InfoResult &info) {
    const int f = info.frequency;
    // The first and the last period of the window as the library steps
    // through it: a weekly window from a Monday starts at that week's end.
    const int first = info.count > 0 ? api.getDate(info.start, 1, f) : info.start;
    const int last = info.count > 0 ? api.getDate(info.start, info.count, f) : info.end;
    return frequencyName(f) + ", " + periodLabel(api.tqvdateToYmd(first, f), f) + " to " +
           periodLabel(api.tqvdateToYmd(last, f), f) + ", " + std::to_string(info.count) +
           (info.count == 1 ? " observation" : " observations") +
           (info.groupDay.empty() ? "" : "; " + info.groupDay);
}

} // namespace kovra
