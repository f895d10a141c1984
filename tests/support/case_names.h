// Names of parameterised tests: a case table's own `name`, and the library
// a case runs on, so that a failing case reads as "DirectEmptyList" and not
// as a parameter index.
#ifndef KOVRAP_TEST_CASE_NAMES_H
#define KOVRAP_TEST_CASE_NAMES_H

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace kovrap_test {

inline std::string libraryName(int direct) {
    return direct != 0 ? "Direct" : "Local";
}

// Suites whose only parameter is the direct flag (int or bool).
template <class Flag> std::string libraryParamName(const ::testing::TestParamInfo<Flag> &p) {
    return libraryName(p.param);
}

// A case table's own names.
template <class Case> std::string caseName(const ::testing::TestParamInfo<Case> &p) {
    return p.param.name;
}

// A case table run on both libraries, as (direct flag, case) pairs.
template <class Case>
std::string libraryCaseName(const ::testing::TestParamInfo<std::tuple<int, Case>> &p) {
    return libraryName(std::get<0>(p.param)) + std::get<1>(p.param).name;
}

// Cases that name their library in a `direct` field.
template <class Case> std::string caseLibraryName(const ::testing::TestParamInfo<Case> &p) {
    return std::string(p.param.name) + libraryName(p.param.direct);
}

} // namespace kovrap_test

#endif
