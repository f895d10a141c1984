// The exports that hand one library operation to the host: aggregation mode,
// period arithmetic, versions and the log-in.
#include "Kovrap.h"
#include "standin_fixture.h"
#include "tqvlib.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

using kovrap_test::journal;
using ::testing::ElementsAre;

class PassThroughTest : public kovrap_test::StandinTest {};

// ------------------------------------------------------------ aggregation

struct FlagCase {
    int direct;
    bool selectsDirect;
};

// Failures describe the case rather than dump its bytes.
void PrintTo(const FlagCase &c, std::ostream *os) {
    *os << "direct flag " << c.direct
        << (c.selectsDirect ? ", the direct library" : ", the local library");
}

const FlagCase kFlagCases[] = {{0, false}, {1, true}, {2, true}, {-1, true}, {INT_MIN, true}};

class AggregationFlagTest : public PassThroughTest,
                            public ::testing::WithParamInterface<FlagCase> {};

TEST_P(AggregationFlagTest, ActsOnTheLibraryTheFlagSelects) {
    const FlagCase &c = GetParam();
    const std::string prefix = c.selectsDirect ? "TQVD" : "TQV";
    const int chosen = c.selectsDirect ? 1 : 0;

    EXPECT_EQ(0, c_setAggmode(c.direct, 2));
    EXPECT_EQ(2, tqvs_aggregation_mode(chosen));
    EXPECT_EQ(0, tqvs_aggregation_mode(1 - chosen));

    EXPECT_EQ(2, c_getAggmode(c.direct));

    // Only the mode reaches the library, and nothing of a bracket runs.
    EXPECT_THAT(journal(), ElementsAre(prefix + "SetAggregationMode(2) -> 0",
                                       prefix + "GetAggregationMode() -> 2"));
}

INSTANTIATE_TEST_SUITE_P(Flags, AggregationFlagTest, ::testing::ValuesIn(kFlagCases));

TEST_F(PassThroughTest, AggregationResultsComeBackUnchanged) {
    // The stand-in refuses an unknown mode; the refusal is the host's result.
    EXPECT_EQ(TQVS_BAD_OPERATION, c_setAggmode(0, 99));
    EXPECT_EQ(0, tqvs_aggregation_mode(0));

    tqvs_inject("TQVDGetAggregationMode", 1, -4);
    EXPECT_EQ(-4, c_getAggmode(1));
    tqvs_inject("TQVDSetAggregationMode", 1, 123);
    EXPECT_EQ(123, c_setAggmode(1, 1));

    EXPECT_THAT(journal(),
                ElementsAre("TQVSetAggregationMode(99) -> 30", "TQVDGetAggregationMode() -> -4",
                            "TQVDSetAggregationMode(1) -> 123"));
}

// ------------------------------------------------------- period arithmetic

struct PeriodCase {
    int start;
    int second; // end date for the count, observation number for the date
    int frequency;
};

// Failures describe the case rather than dump its bytes.
void PrintTo(const PeriodCase &c, std::ostream *os) {
    *os << "(" << c.start << ", " << c.second << ", " << c.frequency << ")";
}

const PeriodCase kPeriodCases[] = {
    {200001, 200012, 40}, {20201, 20214, 30}, {1990, 1999, 10}, {20240101, 20240131, 60},
    {200012, 200013, 40}, {200001, -5, 40},   {0, 0, 0},        {INT_MAX, INT_MIN, 40},
    {20240105, 7, 61},    {20240107, 3, 57},
};

class PeriodArithmeticTest : public PassThroughTest,
                             public ::testing::WithParamInterface<PeriodCase> {};

TEST_P(PeriodArithmeticTest, ObsNumIsTheLocalLibrarysWhateverTheArguments) {
    const PeriodCase &c = GetParam();
    tqvs_set_logged_in(1); // a host working with the direct library
    const int expected = TQVGetObsNum(c.start, c.second, c.frequency);
    tqvs_clear_log();

    EXPECT_EQ(expected, c_kovraGetObsNum(c.start, c.second, c.frequency));
    EXPECT_THAT(journal(),
                ElementsAre("TQVGetObsNum(" + std::to_string(c.start) + ", " +
                            std::to_string(c.second) + ", " + std::to_string(c.frequency) +
                            ") -> " + std::to_string(expected)));
}

TEST_P(PeriodArithmeticTest, GetDateIsTheLocalLibrarysWhateverTheArguments) {
    const PeriodCase &c = GetParam();
    tqvs_set_logged_in(1);
    const int expected = TQVGetDate(c.start, c.second, c.frequency);
    tqvs_clear_log();

    EXPECT_EQ(expected, c_kovraGetDate(c.start, c.second, c.frequency));
    EXPECT_THAT(journal(),
                ElementsAre("TQVGetDate(" + std::to_string(c.start) + ", " +
                            std::to_string(c.second) + ", " + std::to_string(c.frequency) +
                            ") -> " + std::to_string(expected)));
}

INSTANTIATE_TEST_SUITE_P(Arguments, PeriodArithmeticTest, ::testing::ValuesIn(kPeriodCases));

TEST_F(PassThroughTest, PeriodArithmeticCountsPeriods) {
    EXPECT_EQ(12, c_kovraGetObsNum(200001, 200012, 40));
    EXPECT_EQ(4, c_kovraGetObsNum(20201, 20204, 30));
    EXPECT_EQ(200003, c_kovraGetDate(200001, 3, 40));
    EXPECT_EQ(20211, c_kovraGetDate(20204, 2, 30));
    EXPECT_EQ(0, tqvs_log_count("TQVDGetObsNum"));
}

TEST_F(PassThroughTest, PeriodArithmeticResultsComeBackUnchanged) {
    tqvs_inject("TQVGetObsNum", 1, -77);
    tqvs_inject("TQVGetDate", 1, 31);
    EXPECT_EQ(-77, c_kovraGetObsNum(200001, 200012, 40));
    EXPECT_EQ(31, c_kovraGetDate(200001, 3, 40));
}

// ----------------------------------------------------------------- versions

class VersionTest : public PassThroughTest {
  protected:
    void SetUp() override {
        PassThroughTest::SetUp();
        std::memset(local, '#', sizeof local);
        std::memset(direct, '#', sizeof direct);
    }
    char local[32];
    char direct[32];
    int interfaceVersion = -3;
};

TEST_F(VersionTest, WritesInterfaceVersionAndBothTexts) {
    tqvs_set_version(0, "local 1.2");
    tqvs_set_version(1, "direct 3.4");

    EXPECT_EQ(0, c_kovraCVersion(&interfaceVersion, local, direct));

    EXPECT_EQ(1, interfaceVersion);
    EXPECT_STREQ("local 1.2", local);
    EXPECT_STREQ("direct 3.4", direct);
    EXPECT_THAT(journal(),
                ElementsAre("TQVGetVersion(out, 20) -> 0", "TQVDGetVersion(out, 20) -> 0"));
}

TEST_F(VersionTest, BuffersGetTwentyBytesAtMost) {
    const char *longest = "0123456789abcdefghi"; // 19 characters, the most 20 bytes hold
    tqvs_set_version(0, longest);
    tqvs_set_version(1, longest);

    EXPECT_EQ(0, c_kovraCVersion(&interfaceVersion, local, direct));

    EXPECT_STREQ(longest, local);
    EXPECT_STREQ(longest, direct);
    for (std::size_t i = 20; i < sizeof local; ++i) {
        EXPECT_EQ('#', local[i]) << i;
        EXPECT_EQ('#', direct[i]) << i;
    }
}

TEST_F(VersionTest, ReportsTheDirectResultAndInterfaceVersionWhenBothFail) {
    tqvs_inject("TQVGetVersion", 1, 5);
    tqvs_inject("TQVDGetVersion", 1, 6);

    EXPECT_EQ(6, c_kovraCVersion(&interfaceVersion, local, direct));

    EXPECT_EQ(1, interfaceVersion);
    EXPECT_EQ('#', local[0]);
    EXPECT_EQ('#', direct[0]);
    EXPECT_THAT(journal(),
                ElementsAre("TQVGetVersion(out, 20) -> 5", "TQVDGetVersion(out, 20) -> 6"));
}

TEST_F(VersionTest, OnlyTheDirectResultCounts) {
    tqvs_inject("TQVGetVersion", 1, 5);
    EXPECT_EQ(0, c_kovraCVersion(&interfaceVersion, local, direct));
    EXPECT_EQ(1, interfaceVersion);
}

TEST_F(VersionTest, InterfaceVersionIsWrittenBeforeEitherLibraryIsCalled) {
    // The host's int shares its bytes with the local version buffer: the
    // library's text survives only if the 1 went in before the library call.
    tqvs_set_version(0, "L9");
    int shared[8];
    std::memset(shared, '#', sizeof shared);

    EXPECT_EQ(0, c_kovraCVersion(&shared[0], reinterpret_cast<char *>(shared), direct));

    EXPECT_STREQ("L9", reinterpret_cast<const char *>(shared));
}

// ------------------------------------------------------------------ log-in

struct LoginCase {
    const char *user;
    const char *password;
    int expected;
};

// Failures describe the case rather than dump its bytes.
void PrintTo(const LoginCase &c, std::ostream *os) {
    *os << "user " << c.user << ", password " << c.password;
}

const LoginCase kLoginCases[] = {
    {"ana", "secret", TQVS_OK},
    {"ana", "wrong", TQVS_BAD_LOGIN},
    {"bob", "secret", TQVS_BAD_LOGIN},
};

class LoginTest : public PassThroughTest, public ::testing::WithParamInterface<LoginCase> {};

TEST_P(LoginTest, PassesArgumentsUnchangedAndWritesTheStatus) {
    const LoginCase &c = GetParam();
    tqvs_set_credentials("ana", "secret");
    int status = -5;

    EXPECT_EQ(c.expected, c_kovraAuthenticate(c.user, c.password, &status, "svc"));

    EXPECT_EQ(c.expected, status);
    EXPECT_EQ(c.expected == TQVS_OK ? 1 : 0, tqvs_logged_in());
    EXPECT_THAT(journal(), ElementsAre(std::string("TQVDAuthenticate(\"") + c.user +
                                       "\", ***, &-5, \"svc\") -> " + std::to_string(c.expected)));
}

INSTANTIATE_TEST_SUITE_P(Credentials, LoginTest, ::testing::ValuesIn(kLoginCases));

TEST_F(PassThroughTest, LoginStatusIsWrittenAfterTheCall) {
    // The injected answer writes nothing through the pointer: only the
    // export's own write after the call puts it there.
    tqvs_inject("TQVDAuthenticate", 1, 77);
    int status = -5;

    EXPECT_EQ(77, c_kovraAuthenticate("ana", "secret", &status, "svc"));

    EXPECT_EQ(77, status);
    EXPECT_THAT(journal(), ElementsAre("TQVDAuthenticate(\"ana\", ***, &-5, \"svc\") -> 77"));
}

} // namespace
