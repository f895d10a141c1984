// Kovrap's exports, looked up by name in the library loaded at run time.
#ifndef KOVRA_API_H
#define KOVRA_API_H

#include "Kovrap.h"

#include <string>

namespace kovra {

struct Api {
    decltype(&::isLeapYear) isLeapYear = nullptr;
    decltype(&::tqvdateToYmd) tqvdateToYmd = nullptr;
    decltype(&::ymdToTqvdate) ymdToTqvdate = nullptr;
    decltype(&::c_kovraDateSeq) dateSeq = nullptr;
    decltype(&::c_kovraGetObsNum) getObsNum = nullptr;
    decltype(&::c_kovraGetDate) getDate = nullptr;
    decltype(&::c_kovraGetCodesSized) getCodesSized = nullptr;
    decltype(&::c_kovraSeriesInfo) seriesInfo = nullptr;
    decltype(&::c_kovraGetData) getData = nullptr;
    decltype(&::c_kovraCVersion) version = nullptr;
    decltype(&::c_kovraAuthenticate) authenticate = nullptr;
    decltype(&::c_getAggmode) getAggmode = nullptr;
    decltype(&::c_setAggmode) setAggmode = nullptr;
    const int *chunk = nullptr;
};

// Loads the library (path, or Kovrap64.dll / libKovrap64.so beside the
// program) and every export the program uses. On failure returns false with
// a one-line reason.
bool loadApi(const std::string &path, Api &api, std::string &error);

} // namespace kovra

#endif
