// The calendar exports for any ints, INT_MIN and INT_MAX included: no
// undefined behaviour (the sanitizers watch), failure values for unknown
// codes, last days of real months, and the way back to the period date.
#include "Kovrap.h"
#include "fuzz_check.h"
#include "fuzz_input.h"

#include <climits>
#include <cstddef>
#include <cstdint>

namespace {

constexpr int kKnownCodes[] = {10, 30, 40, 51, 52, 53, 54, 55, 56, 57, 60, 61};

bool known(int code) {
    for (int k : kKnownCodes)
        if (k == code)
            return true;
    return false;
}

bool dailyForm(int code) {
    return known(code) && code > 40;
}

int monthLength(int month, bool leap) {
    static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap ? 29 : lengths[month - 1];
}

void checkCode(int date, int code) {
    const int ymd = tqvdateToYmd(date, code);
    const int period = ymdToTqvdate(date, code);
    if (!known(code)) {
        FUZZ_CHECK(ymd == 0);
        FUZZ_CHECK(period == -1);
        return;
    }
    if (dailyForm(code)) {
        FUZZ_CHECK(ymd == date);
        FUZZ_CHECK(period == date);
        return;
    }
    // A positive calendar date is the last day of a real month, and it
    // converts back to the period date it came from.
    if (ymd > 0 && date > 0) {
        const int month = ymd % 10000 / 100;
        const int day = ymd % 100;
        FUZZ_CHECK(month >= 1 && month <= 12);
        FUZZ_CHECK(day == monthLength(month, isLeapYear(ymd / 10000) == 1));
        FUZZ_CHECK(ymdToTqvdate(ymd, code) == date);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    const int year = in.int32();
    const int date = in.int32();
    const int rawCode = in.int32();
    const std::uint8_t pick = in.byte();

    const int leap = isLeapYear(year);
    FUZZ_CHECK(leap == 0 || leap == 1);
    for (int y : {year, INT_MIN, INT_MAX, year == INT_MIN ? 0 : -year})
        FUZZ_CHECK(isLeapYear(y) == 0 || isLeapYear(y) == 1);

    const int code = kKnownCodes[pick % (sizeof kKnownCodes / sizeof kKnownCodes[0])];
    for (int d : {date, INT_MIN, INT_MAX, INT_MIN + 1, INT_MAX - 1}) {
        checkCode(d, code);
        checkCode(d, rawCode);
    }
    return 0;
}
