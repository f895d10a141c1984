// kovra's part of the host rules, in process: how an operand splits into a
// database and a code, what is refused before the library is called, and the
// aggregation mode put back after a fetch whether it failed or not. The rules
// as the user meets them are in the shared table tests/hosts/cases.tsv.
#include "aggregation.h"
#include "args.h"
#include "failure.h"
#include "kovra_session.h"
#include "rules.h"
#include "session.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

TEST(KovraNames, SplitAtTheFirstColonAfterADrive) {
    const struct {
        std::string operand;
        const char *database;
        const char *code;
    } cases[] = {
        {"ECON:UKGAS", "ECON", "UKGAS"},
        {"ODD:A:B", "ODD", "A:B"},
        {"ODD:A:", "ODD", "A:"},
        {"C:\\data\\ECON.tqvdb:UKGAS", "C:\\data\\ECON.tqvdb", "UKGAS"},
        {"z:/data/ODD:A:B", "z:/data/ODD", "A:B"},
        {"/data/ECON.tqvdb:UKGAS", "/data/ECON.tqvdb", "UKGAS"},
        // A letter and a colon without a slash is a database of one letter.
        {"C:UKGAS", "C", "UKGAS"},
        {"ECON:ABCDEFGHI", "ECON", "ABCDEFGHI"},
        {"ECON:A,B", "ECON", "A,B"}, // the local library takes any code
    };
    for (const auto &c : cases) {
        const std::vector<kovra::SeriesRef> refs = kovra::parseSeriesRefs({c.operand});
        ASSERT_EQ(1u, refs.size());
        EXPECT_EQ(c.database, refs[0].database) << c.operand;
        EXPECT_EQ(c.code, refs[0].code) << c.operand;
        EXPECT_EQ(c.operand, refs[0].name);
    }
}

TEST(KovraNames, RefusedWithTheNameAsWritten) {
    using namespace std::string_literals;
    const struct {
        std::string operand;
        bool direct;
        std::string message;
    } cases[] = {
        {"ECON", false, "'ECON' is not DATABASE:CODE"},
        {"ECON:", false, "'ECON:' is not DATABASE:CODE"},
        {":UKGAS", false, "':UKGAS' is not DATABASE:CODE"},
        {"C:\\data\\ECON.tqvdb", false, "'C:\\data\\ECON.tqvdb' is not DATABASE:CODE"},
        {"ECON:ABCDEFGHIJ", false, "'ECON:ABCDEFGHIJ' has a code longer than 9 bytes"},
        {"ECON:A\x01"
         "B",
         false, "'ECON:A\\x01B' holds a control character"},
        {"ECON:A\tB", false, "'ECON:A\\x09B' holds a control character"},
        {"EC\x7FON:UKGAS", false, "'EC\\x7FON:UKGAS' holds a control character"},
        // A NUL would end the code early at the library: JNJ read for JNJ\0UKGAS.
        {"ECON:JNJ\0UKGAS"s, false, "'ECON:JNJ\\x00UKGAS' holds a control character"},
        {"EC\0ON:UKGAS"s, false, "'EC\\x00ON:UKGAS' holds a control character"},
        {"ECON:A,B", true,
         "'ECON:A,B' has a comma in its code, which the direct library cannot take"},
    };
    for (const auto &c : cases) {
        try {
            kovra::parseSeriesRefs({"ECON:UKGAS", c.operand}, c.direct);
            ADD_FAILURE() << c.message << ": accepted";
        } catch (const kovra::Failure &f) {
            EXPECT_EQ(kovra::kExitUsage, f.status);
            EXPECT_EQ(c.message, f.message);
        }
    }
}

TEST(KovraAggregation, ModesByName) {
    EXPECT_EQ(0, kovra::parseAggregation("mean"));
    EXPECT_EQ(1, kovra::parseAggregation("sum"));
    EXPECT_EQ(2, kovra::parseAggregation("first"));
    EXPECT_EQ(3, kovra::parseAggregation("last"));
    // Only ASCII letters fold: a dotless capital I is no i.
    for (const char *bad : {"median", "1", "", " sum", "F\xC4\xB0RST"}) {
        try {
            kovra::parseAggregation(bad);
            ADD_FAILURE() << bad << ": accepted";
        } catch (const kovra::Failure &f) {
            EXPECT_EQ(kovra::kExitUsage, f.status);
            EXPECT_EQ("unknown aggregation '" + std::string(bad) +
                          "' (use mean, sum, first or last)",
                      f.message);
        }
    }
}

// Every list of names is read in any case, ASCII letters folded; what is
// shown is the name as kovra spells it, what failures name is the text as
// written.
TEST(KovraNames, EveryListOfNamesInAnyCase) {
    const kovra::Api none; // names are read without the library
    const struct {
        const char *written;
        int frequency;
    } frequencies[] = {{"ANNUAL", KOVRAP_FREQ_ANNUAL},
                       {"Weekly-FRI", KOVRAP_FREQ_WEEKLY_FRI},
                       {"wEEKLY", KOVRAP_FREQ_WEEKLY_GROUP},
                       {"Lowest", KOVRAP_FREQ_LOWEST},
                       {"BUSINESS", KOVRAP_FREQ_BUSINESS}};
    for (const auto &f : frequencies)
        EXPECT_EQ(f.frequency, kovra::parseFrequency(none, f.written)) << f.written;
    EXPECT_FALSE(kovra::namesWeekday("WEEKLY"));
    EXPECT_TRUE(kovra::namesWeekday("Weekly-Sun"));

    const struct {
        const char *written;
        int code;
        const char *label;
    } math[] = {{"PCT", 2, "pct"}, {"Level", 0, "level"}, {"lOg", 5, "log"}, {"YoY", 4, "yoy"}};
    for (const auto &m : math) {
        const kovra::Operation op = kovra::parseMath(m.written);
        EXPECT_EQ(m.code, op.code) << m.written;
        EXPECT_EQ(m.label, op.label) << m.written;
        EXPECT_EQ(std::string("math ") + m.written, op.written);
    }

    const struct {
        const char *written;
        int code;
        int second;
        const char *label;
    } advanced[] = {{"SEASONAL", KOVRAP_ADVANCED_WINDOWED, 0, "seasonal"},
                    {"MA:2", 1, 2, "ma:2"},
                    {"Ma:10", 1, 10, "ma:10"},
                    {"Rebase:1960Q2", 2, 0, "rebase:1960Q2"}};
    for (const auto &a : advanced) {
        const kovra::Operation op = kovra::parseAdvanced(a.written);
        EXPECT_EQ(a.code, op.code) << a.written;
        EXPECT_EQ(a.second, op.second) << a.written;
        EXPECT_EQ(a.label, op.label) << a.written;
        EXPECT_EQ(a.written, op.written);
    }
    EXPECT_EQ("1960Q2", kovra::parseAdvanced("REBASE:1960Q2").rebaseDate);

    const struct {
        const char *written;
        int mode;
    } modes[] = {{"MEAN", 0}, {"Sum", 1}, {"fIRST", 2}, {"LAST", 3}};
    for (const auto &m : modes)
        EXPECT_EQ(m.mode, kovra::parseAggregation(m.written)) << m.written;

    // Folding is for ASCII letters only, and a name keeps its form.
    for (const char *bad : {"P\xC3\x87T", "pct ", "percent"})
        EXPECT_THROW(kovra::parseMath(bad), kovra::Failure) << bad;
    for (const char *bad : {"SEASONAL:1", "MA", "Rebase", "seasonaI"})
        EXPECT_THROW(kovra::parseAdvanced(bad), kovra::Failure) << bad;
}

// The mode is the library's, process-wide: a fetch that sets it puts the
// previous one back, when it ends well and when it throws.
TEST(KovraAggregation, ThePreviousModeComesBackFailedOrNot) {
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    const kovra::Api &api = session->api();
    for (const int direct : {0, 1}) {
        ASSERT_EQ(0, api.setAggmode(direct, 3));
        {
            const kovra::AggregationMode mode(api, direct, 1);
            EXPECT_EQ(1, api.getAggmode(direct));
        }
        EXPECT_EQ(3, api.getAggmode(direct)) << "after a fetch, direct " << direct;
        try {
            const kovra::AggregationMode mode(api, direct, 2);
            EXPECT_EQ(2, api.getAggmode(direct));
            kovra::fail("the fetch failed");
        } catch (const kovra::Failure &f) {
            EXPECT_EQ("the fetch failed", f.message);
        }
        EXPECT_EQ(3, api.getAggmode(direct)) << "after a failed fetch, direct " << direct;
        // A mode the library refuses fails at once and changes nothing.
        try {
            const kovra::AggregationMode mode(api, direct, 7);
            ADD_FAILURE() << "mode 7 accepted";
        } catch (const kovra::Failure &f) {
            EXPECT_EQ(kovra::kExitFailure, f.status);
            EXPECT_EQ(0u, f.message.rfind("the library refused aggregation mode 7", 0))
                << f.message;
        }
        EXPECT_EQ(3, api.getAggmode(direct));
        api.setAggmode(direct, 0);
    }
}

} // namespace
