// The library as kovra uses it: loaded by name, logged in to the direct
// library when asked, databases checked before they are read, and the series
// information query with its common range.
#ifndef KOVRA_SESSION_H
#define KOVRA_SESSION_H

#include "api.h"
#include "args.h"
#include "formats.h"
#include "rules.h"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kovra {

// The codes of one database, and whether a direct listing stopped at the
// interface's 32 calls of the library, so that more codes may exist.
struct CodeListing {
    std::vector<std::string> codes;
    bool mayBeCut = false;
};

// One call of c_kovraGetCodesSized for a database: (buffer, capacity) to
// its result.
using SizedListing = std::function<int(char *buffer, int capacity)>;

// How often a listing is asked for before a list that grows every time is
// given up.
constexpr int kListingTries = 4;

// Lists through `call`: asks again with a buffer of the size the library
// said when the list did not fit, up to kListingTries times. Returns the
// library's result when it is a failure (negative), else 0 with the codes
// in `listing`; throws a Failure when the list kept growing.
int listCodes(const SizedListing &call, bool direct, const std::string &database,
              CodeListing &listing, std::size_t firstBytes);

// The data folder, fixed when kovra starts: KOVRAP_DATA_DIR when it is set
// and not empty, else TQVD_DATA_DIR, made absolute against the working
// folder of that moment and handed to the libraries as TQVD_DATA_DIR, so
// that a later change of working folder cannot move it. Returns the folder,
// empty when neither is set (the libraries' own default then holds).
std::string settleDataFolder();

class Session {
  public:
    // Loads the library and, with --direct, logs in. Throws a Failure.
    explicit Session(const Options &options);

    const Api &api() const { return api_; }
    int direct() const { return direct_ ? 1 : 0; }
    // The direct library without --user: the library answers every read
    // with its not-logged-in status, which kovra reports as such.
    bool loggedOut() const { return direct_ && !loggedIn_; }
    // Whether the selected database library is the stand-in, by its version
    // text: only then are its statuses said in words (statuses.h).
    bool standin() const;

    // The codes of a database, in the library's order. Throws a Failure
    // when the database does not open or the listing fails.
    CodeListing listing(const std::string &database) const;
    std::vector<std::string> codes(const std::string &database) const;

    // Opens each database once, so that a database that does not open is
    // named as such rather than as a list of unknown series.
    void checkDatabases(const std::vector<std::string> &databases) const;

  private:
    // Why a database does not open, in the user's terms.
    std::string openFailure(const std::string &database, int status) const;

    Api api_;
    bool direct_ = false;
    bool loggedIn_ = false;
    mutable int standin_ = -1; // asked once, when a status is first said
};

// Where the common range put a series. OtherWeekday: a weekly series of
// another weekday than the one named, whose weeks cannot be remade.
enum class RangeRole { Used, Empty, Finer, Coarser, OtherWeekday };

struct SeriesInfo {
    int statusList = -1; // -1: information status 0; else the status list it entered
    std::string code;
    int firstDate = 0; // calendar dates
    int lastDate = 0;
    int frequency = 0;
    std::array<int, 6> attributes{};
    std::array<std::string, 7> texts;
    RangeRole role = RangeRole::Used;
};

// A common range request: a frequency code (or 1000, or 57) and calendar
// dates, -1 to let the series decide.
struct RangeRequest {
    int frequency = kLowestFrequency;
    int start = -1;
    int end = -1;
    std::string startText; // --from and --to as written, for messages
    std::string endText;
    // A weekday was named (weekly-sun, 57, ...), not the weekly group: the
    // weeks end on that day, whatever the series' order.
    bool weeklyDay = false;
};

struct InfoResult {
    std::vector<SeriesInfo> series; // one per request, in request order
    bool ranged = false;            // the common range below was computed
    int frequency = 0;
    int start = 0; // period dates
    int end = 0;
    int count = 0;
    std::size_t used = 0; // series that take part in the range
    // The weekly group's day and the series it was taken from, when the
    // group (or the lowest frequency) settled on a week.
    std::string groupDay;
};

// c_kovraSeriesInfo over the series, with the common range when `range` is
// given. A series that the library does not know fails the command; a series
// answered with another nonzero status is kept with its status list.
InfoResult querySeries(const Session &session, const std::vector<SeriesRef> &series,
                       const RangeRequest *range);

// The common range that --freq, --from and --to ask for: calendar dates of
// the first day of --from and the last day of --to. Throws a usage Failure.
RangeRequest rangeRequest(const Api &api, const Options &options);

// Why the common range set a series aside: "ECON:GDP has no observations".
std::string setAsideReason(const SeriesRef &series, const SeriesInfo &info, int frequency);

// Fails when no series takes part in the common range, or (a usage Failure)
// when its window holds no period or starts after it ends, naming the ends
// as the user wrote them.
void requireUsableRange(const Api &api, const std::vector<SeriesRef> &series,
                        const InfoResult &info, const RangeRequest &request);

// "quarterly, 1960Q1 to 1986Q4, 108 observations"; for the weekly group
// with "; the weekly group took weeks ending Friday from MARKETS:DAXW" after it.
std::string rangeLine(const Api &api, const InfoResult &info);

// "status 2" and so on for a status list other than 0.
std::string statusListText(int list, bool direct);

} // namespace kovra

#endif
