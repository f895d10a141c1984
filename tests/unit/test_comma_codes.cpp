// A series code with a comma in it. The direct library takes its codes as one
// comma-joined list, where such a code would read as two and every later
// answer of its chunk would go to the request before it. The request is
// reported as failed, as a series the library does not know, and the other
// requests keep their own answers: the same outcome on both libraries.
#include "Kovrap.h"
#include "case_names.h"
#include "info_host.h"
#include "standin_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;

constexpr int kMonthly = 40;
constexpr int kObs = 3;
constexpr double kUntouched = -7.5;
constexpr int kNotStored = 1; // the stand-in's status for a series it lacks

class CommaCode : public kovrap_test::StandinTest, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        kovrap_test::StandinTest::SetUp();
        tqvs_set_logged_in(1);
        // Each series has values of its own, so a row fetched for the wrong
        // series shows.
        addSeries("alpha", "X", kMonthly, 200001, 200003, {1, 2, 3});
        addSeries("alpha", "Y", kMonthly, 200001, 200003, {4, 5, 6});
        addSeries("alpha", "Z", kMonthly, 200001, 200003, {7, 8, 9});
    }
    int direct() const { return GetParam() ? 1 : 0; }

    struct Data {
        std::vector<double> values;
        int error;
    };
    Data getData(const std::vector<const char *> &codes) {
        const std::vector<const char *> dbNames(codes.size(), "alpha");
        const char *databases[] = {"alpha"};
        Data d{std::vector<double>(codes.size() * kObs, kUntouched), 0};
        int transformCode = 0;
        TransformArrays transforms{&transformCode, nullptr, nullptr, nullptr,
                                   nullptr,        nullptr, nullptr, nullptr};
        c_kovraGetData(direct(), d.values.data(), codes.data(), dbNames.data(), databases, 1,
                       static_cast<int>(codes.size()), 200001, 200003, kMonthly, 0, kObs,
                       &transforms, nullptr, &d.error);
        return d;
    }
};

INSTANTIATE_TEST_SUITE_P(Library, CommaCode, ::testing::Bool(),
                         kovrap_test::libraryParamName<bool>);

TEST_P(CommaCode, DataRetrievalFailsTheRequestAsAnUnknownSeries) {
    // The comma request first: nothing of "Z" may land anywhere.
    const Data first = getData({"X,Y", "Z"});
    EXPECT_EQ(kNotStored, first.error);
    EXPECT_EQ(std::vector<double>(2 * kObs, kUntouched), first.values);

    // The comma request last: the requests before it keep their own values.
    tqvs_clear_log();
    const Data last = getData({"Z", "X", "X,Y"});
    EXPECT_EQ(kNotStored, last.error);
    EXPECT_THAT(last.values, ElementsAre(7, 8, 9, 1, 2, 3, kUntouched, kUntouched, kUntouched));
    // The direct library's list holds no code with a comma.
    if (direct() != 0) {
        EXPECT_THAT(
            kovrap_test::journalOf({"TQVDGetDataCount("}),
            ElementsAre("TQVDGetDataCount(\"alpha\", \"Z,X\", 200001, 200003, 40, out, &3) -> 0",
                        "TQVDGetDataCount(\"alpha\", null, 200001, 200003, 40, out, &3) -> 0"));
    }
}

TEST_P(CommaCode, InformationQuerySortsTheRequestAsAnUnknownSeries) {
    kovrap_test::InfoHost host(4);
    host.query(direct(), {"X,Y", "Z", ",", "Y"}, {"alpha", "alpha", "alpha", "alpha"}, {"alpha"});
    EXPECT_EQ((std::vector<int>{2, 0, 0, 0, 0, 0, 0}), host.counts);
    EXPECT_THAT(host.list(0), ElementsAre(0, 2));
    // Every other request has its own series' information.
    EXPECT_EQ("Z", host.text(kovrap_test::kCode, 1));
    EXPECT_EQ("Y", host.text(kovrap_test::kCode, 3));
    EXPECT_TRUE(host.columnsUntouched(0));
    EXPECT_TRUE(host.columnsUntouched(2));
}

} // namespace
