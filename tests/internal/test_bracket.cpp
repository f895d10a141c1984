// The library bracket: retries and ANSI on, the merge-data setting saved and
// replaced, and on every way out the setting restored and one close.
#include "binding/bracket.h"
#include "binding/library.h"
#include "case_names.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using kovrap_test::journal;

constexpr int kSaved = 7; // the setting the library holds before the bracket

class BracketTest : public kovrap_test::StandinTest, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        StandinTest::SetUp();
        library().setMergeData(kSaved);
        tqvs_clear_log();
    }
    bool direct() const { return GetParam(); }
    const kovrap::Library &library() const { return kovrap::selectLibrary(direct() ? 1 : 0); }
    std::string call(const std::string &operation, const std::string &rest) const {
        return (direct() ? "TQVD" : "TQV") + operation + rest;
    }
    std::vector<std::string> opening(std::initializer_list<int> settings) const {
        std::vector<std::string> calls = {call("EnableRetries", "(1) -> 0"),
                                          call("EnableAnsi", "(1) -> 0"),
                                          call("GetMergeData", "() -> 7")};
        for (int setting : settings)
            calls.push_back(call("SetMergeData", "(" + std::to_string(setting) + ") -> 0"));
        return calls;
    }
    std::vector<std::string> closing(int closeStatus = 0) const {
        return {call("SetMergeData", "(7) -> 0"),
                call("CloseDatabase", "() -> " + std::to_string(closeStatus))};
    }
};

TEST_P(BracketTest, OpensAndClosesInOrder) {
    // Each list lives for the whole check, as the bracket's argument does.
    const auto check = [this](std::initializer_list<int> settings) {
        SCOPED_TRACE(::testing::PrintToString(std::vector<int>(settings)));
        tqvs_clear_log();
        std::vector<std::string> expected = opening(settings);
        {
            kovrap::Bracket bracket(library(), settings);
            EXPECT_EQ(expected, journal());
            EXPECT_EQ(*(settings.end() - 1), tqvs_merge_setting(direct()));
            EXPECT_EQ(1, tqvs_retries(direct()));
            EXPECT_EQ(1, tqvs_ansi(direct()));
            EXPECT_EQ(0, bracket.close());
        }
        for (const std::string &c : closing())
            expected.push_back(c);
        EXPECT_EQ(expected, journal());
        EXPECT_EQ(kSaved, tqvs_merge_setting(direct()));
    };
    check({1});
    check({3});
    check({0});
    check({1, 3});
}

TEST_P(BracketTest, CloseReturnsTheCloseStatusOnce) {
    tqvs_inject(call("CloseDatabase", "").c_str(), 1, 9);
    {
        kovrap::Bracket bracket(library(), {1, 3});
        EXPECT_EQ(9, bracket.close());
        EXPECT_EQ(9, bracket.close()); // later calls repeat the status, call nothing
    }
    std::vector<std::string> expected = opening({1, 3});
    for (const std::string &c : closing(9))
        expected.push_back(c);
    EXPECT_EQ(expected, journal());
}

TEST_P(BracketTest, DestructorClosesWhenCloseWasNotCalled) {
    { kovrap::Bracket bracket(library(), {3}); }
    std::vector<std::string> expected = opening({3});
    for (const std::string &c : closing())
        expected.push_back(c);
    EXPECT_EQ(expected, journal());
}

TEST_P(BracketTest, ExceptionInsideStillRestoresAndClosesOnce) {
    EXPECT_THROW(
        {
            kovrap::Bracket bracket(library(), {1, 3});
            library().openDatabase("nowhere");
            throw std::runtime_error("out of memory");
        },
        std::runtime_error);
    std::vector<std::string> expected = opening({1, 3});
    expected.push_back(
        call("OpenDatabase", direct() ? "(\"nowhere\") -> 3" : "(\"nowhere\") -> 10"));
    for (const std::string &c : closing())
        expected.push_back(c);
    EXPECT_EQ(expected, journal());
    EXPECT_EQ(kSaved, tqvs_merge_setting(direct()));
}

INSTANTIATE_TEST_SUITE_P(Libraries, BracketTest, ::testing::Bool(),
                         kovrap_test::libraryParamName<bool>);

} // namespace
