// The series information query, c_kovraSeriesInfo, with the common range
// when one is asked for.
#ifndef KOVRA_INFORMATION_H
#define KOVRA_INFORMATION_H

#include "rules.h"
#include "session.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace kovra {

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

// "status 2" and so on for a status list other than 0.
std::string statusListText(int list, bool direct);

} // namespace kovra

#endif
