// The grouped walk over databases and requests must give the library exactly
// the calls of the plain walk that tests every request against every
// database: same requests, same order, same code or list argument.
#include "Kovrap.h"
#include "binding/walk.h"
#include "failing_new.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

struct Visit {
    int database;
    int request;
    bool null;             // the argument was a null pointer
    std::string text;      // the argument's text otherwise
    bool unlisted = false; // the code cannot travel in a list: not asked for

    bool operator==(const Visit &o) const {
        return database == o.database && request == o.request && null == o.null && text == o.text &&
               unlisted == o.unlisted;
    }
};

std::ostream &operator<<(std::ostream &out, const Visit &v) {
    return out << "(" << v.database << ", " << v.request << ", "
               << (v.unlisted ? std::string("unlisted")
                   : v.null   ? std::string("null")
                              : "\"" + v.text + "\"")
               << ")";
}

Visit visitOf(int d, int k, const char *argument) {
    if (argument == kovrap::kUnlisted)
        return {d, k, false, std::string(), true};
    return {d, k, argument == nullptr, argument == nullptr ? std::string() : std::string(argument)};
}

struct RequestSet {
    std::string name;
    std::vector<std::string> codes;
    std::vector<std::string> dbNames;
    std::vector<std::string> databases;
};

std::vector<const char *> pointers(const std::vector<std::string> &texts) {
    std::vector<const char *> out;
    for (const std::string &t : texts)
        out.push_back(t.c_str());
    return out;
}

// The plain walk: for every database, every request in index order; on the
// direct path a list is built at each multiple of 1000 and goes with the next
// call only; a code with a comma is in no list and is not asked for.
std::vector<Visit> literalWalk(const RequestSet &set, bool direct) {
    const std::vector<const char *> codes = pointers(set.codes);
    const std::vector<const char *> dbNames = pointers(set.dbNames);
    const int requestCount = static_cast<int>(set.codes.size());
    std::vector<char> buffer(KOVRAP_CODELIST_BYTES, '\0');
    const char *pending = nullptr;
    std::vector<Visit> visits;
    for (std::size_t d = 0; d < set.databases.size(); ++d) {
        const char *database = set.databases[d].c_str();
        for (int k = 0; k < requestCount; ++k) {
            if (direct && k % 1000 == 0) {
                directCodelist(buffer.data(), k, codes.data(), dbNames.data(), database,
                               requestCount);
                pending = buffer.data();
            }
            if (std::strcmp(dbNames[static_cast<std::size_t>(k)], database) != 0)
                continue;
            const char *code = codes[static_cast<std::size_t>(k)];
            if (direct && std::strchr(code, ',') != nullptr) {
                visits.push_back({static_cast<int>(d), k, false, std::string(), true});
                continue;
            }
            visits.push_back(visitOf(static_cast<int>(d), k, direct ? pending : code));
            pending = nullptr;
        }
    }
    return visits;
}

// The walk's visits. With failNth >= 0, the failNth-th allocation of the
// walk's construction fails (0: none fails, only counted); grouped and
// allocations, when given, receive whether the walk still grouped the
// requests and how many allocations its construction made.
std::vector<Visit> groupedWalk(const RequestSet &set, bool direct, int failNth = -1,
                               bool *grouped = nullptr, int *allocations = nullptr) {
    const std::vector<const char *> codes = pointers(set.codes);
    const std::vector<const char *> dbNames = pointers(set.dbNames);
    const std::vector<const char *> databases = pointers(set.databases);
    const kovrap::Requests requests{codes.data(), dbNames.data(), databases.data(),
                                    static_cast<int>(databases.size()),
                                    static_cast<int>(codes.size())};
    if (failNth >= 0)
        kovrap_test::failAllocation(failNth);
    kovrap::RequestWalk walk(requests, direct);
    const int made = failNth >= 0 ? kovrap_test::stopFailing() : 0;
    if (grouped != nullptr)
        *grouped = walk.grouped();
    if (allocations != nullptr)
        *allocations = made;
    std::vector<Visit> visits;
    for (int d = 0; d < requests.databaseCount; ++d) {
        const bool finished = walk.forEach(d, [&](int k, const char *argument) {
            // On the local path the argument is the host's own string.
            if (!direct) {
                EXPECT_EQ(codes[static_cast<std::size_t>(k)], argument);
            }
            visits.push_back(visitOf(d, k, argument));
            return true;
        });
        EXPECT_TRUE(finished);
    }
    return visits;
}

RequestSet make(const std::string &name, const std::vector<std::string> &dbNames,
                const std::vector<std::string> &databases) {
    RequestSet set{name, {}, dbNames, databases};
    for (std::size_t k = 0; k < dbNames.size(); ++k)
        set.codes.push_back("C" + std::to_string(k));
    return set;
}

RequestSet repeated(const std::string &name, const std::vector<std::string> &pattern, int count,
                    const std::vector<std::string> &databases) {
    std::vector<std::string> dbNames;
    for (int k = 0; k < count; ++k)
        dbNames.push_back(pattern[static_cast<std::size_t>(k) % pattern.size()]);
    return make(name, dbNames, databases);
}

std::string randomName(std::mt19937 &random, int length) {
    std::string name;
    for (int i = 0; i < length; ++i)
        name += static_cast<char>('a' + random() % 3); // short alphabet: near-misses
    return name;
}

std::vector<RequestSet> fixedSets() {
    std::vector<RequestSet> sets;
    sets.push_back(make("one database", {"alpha", "alpha", "alpha"}, {"alpha"}));
    sets.push_back(repeated("two interleaved", {"alpha", "beta"}, 9, {"beta", "alpha"}));
    sets.push_back(
        make("database named twice", {"alpha", "beta", "alpha"}, {"alpha", "beta", "alpha"}));
    sets.push_back(
        make("request of an unnamed database", {"alpha", "gamma", "alpha", "Alpha"}, {"alpha"}));
    sets.push_back(make("database without requests", {"alpha", "alpha"}, {"beta", "alpha"}));
    sets.push_back(repeated("2500 requests of one database", {"alpha"}, 2500, {"alpha"}));
    {
        std::vector<std::string> dbNames(5, "beta");
        dbNames.resize(1200, "alpha");
        sets.push_back(make("chunk 0 starts with another database", dbNames, {"alpha", "beta"}));
    }
    sets.push_back(repeated("chunks without the database", {"alpha"}, 2200, {"alpha"}));
    for (std::size_t k = 0; k < 2000; ++k)
        sets.back().dbNames[k] = "beta";
    sets.push_back(make("no requests", {}, {"alpha", "beta"}));
    sets.push_back(make("no databases", {"alpha", "beta"}, {}));
    sets.push_back(make("no requests and no databases", {}, {}));
    {
        // More than eight databases are looked up by hash.
        std::mt19937 random(7);
        std::vector<std::string> databases;
        for (int d = 0; d < 12; ++d)
            databases.push_back(randomName(random, 3));
        databases.push_back(databases[2]); // named twice
        std::vector<std::string> dbNames;
        for (int k = 0; k < 3100; ++k)
            dbNames.push_back(k % 7 == 0 ? randomName(random, 4) : databases[random() % 13]);
        sets.push_back(make("thirteen databases", dbNames, databases));
    }
    {
        std::vector<std::string> names = {"d0", "d1", "d2", "d3", "d4", "d5", "d6", "d7", "d8"};
        sets.push_back(repeated("nine databases", names, 40, names));
        names.pop_back();
        sets.push_back(repeated("eight databases", names, 40, names));
        // A full name table must still end the lookup of a name it lacks.
        RequestSet stray = repeated("eight databases and a request of none", names, 40, names);
        stray.dbNames[17] = "d8";
        stray.dbNames[0] = "none";
        sets.push_back(stray);
        for (int d = 8; d < 16; ++d)
            names.push_back("d" + std::to_string(d));
        stray = repeated("sixteen databases and a request of none", names, 70, names);
        stray.dbNames[33] = "d16";
        stray.dbNames[69] = "";
        sets.push_back(stray);
    }
    {
        // Names of 4 to 16 characters are known by their first and last
        // word and their length; others by a table of names. Near names on
        // both sides of those lengths, in an order no guess follows: same
        // words but other lengths, a byte changed in the middle or at either
        // end, a prefix, and names of no database among them.
        const std::vector<std::string> databases = {"abc",
                                                    "abcd",
                                                    "abcde",
                                                    "abcdefg",
                                                    "abcdefgh",
                                                    "abcdefghabcdefgh",
                                                    "abcdefghXbcdefgh",
                                                    "abcdefghabcdefghi",
                                                    "abcdefghabcdefghj",
                                                    "Abcdefgh",
                                                    "abcdefgH",
                                                    "db000",
                                                    "db001",
                                                    "db010",
                                                    "db100",
                                                    "1234567890123456"};
        const std::vector<std::string> strays = {"",
                                                 "ab",
                                                 "abcdef",
                                                 "abcdefghi",
                                                 "abcdefgha",
                                                 "db00",
                                                 "db0000",
                                                 "1234567890123457",
                                                 "abcdefghabcdefghabcdefgh"};
        std::mt19937 random(11);
        std::vector<std::string> dbNames;
        for (int k = 0; k < 2600; ++k)
            dbNames.push_back(k % 9 == 4 ? strays[random() % strays.size()]
                                         : databases[random() % databases.size()]);
        // A stretch in a fixed order, so that guesses are made, then fail.
        for (int k = 1000; k < 1400; ++k)
            dbNames[static_cast<std::size_t>(k)] = databases[static_cast<std::size_t>(k) % 5];
        sets.push_back(make("names compared by their words", dbNames, databases));
    }
    {
        // Codes with a comma on either side of a chunk's first request.
        RequestSet set = repeated("codes with a comma", {"alpha", "beta"}, 2100, {"alpha", "beta"});
        for (std::size_t k : {0u, 1u, 2u, 7u, 998u, 1000u, 1001u, 1003u, 2099u})
            set.codes[k] = "X" + std::to_string(k) + ",Y";
        set.codes[4] = ",";
        sets.push_back(set);
    }
    return sets;
}

TEST(RequestWalk, MatchesThePlainWalkOnFixedSets) {
    for (const RequestSet &set : fixedSets())
        for (bool direct : {false, true})
            EXPECT_EQ(literalWalk(set, direct), groupedWalk(set, direct))
                << set.name << (direct ? " (direct)" : " (local)");
}

// Without memory for the grouping the walk compares every request with the
// database instead: whichever allocation of the grouping fails, the visits
// are those of the plain walk.
TEST(RequestWalk, EveryFailingAllocationOfTheGroupingGivesThePlainWalk) {
    if (!kovrap_test::allocationsVisible())
        GTEST_SKIP() << "allocations do not reach the test's own functions here (valgrind)";
    for (const RequestSet &set : fixedSets())
        for (bool direct : {false, true}) {
            SCOPED_TRACE(set.name + (direct ? " (direct)" : " (local)"));
            const std::vector<Visit> expected = literalWalk(set, direct);
            bool grouped = false;
            int allocations = 0;
            EXPECT_EQ(expected, groupedWalk(set, direct, 0, &grouped, &allocations));
            EXPECT_TRUE(grouped);
            // Only a call without databases groups nothing.
            EXPECT_EQ(set.databases.empty(), allocations == 0);
            for (int nth = 1; nth <= allocations; ++nth) {
                SCOPED_TRACE("allocation " + std::to_string(nth) + " fails");
                EXPECT_EQ(expected, groupedWalk(set, direct, nth, &grouped));
                EXPECT_FALSE(grouped);
            }
        }
}

TEST(RequestWalk, ACodeWithACommaIsNotListedAndTheListGoesWithTheNextRequest) {
    const RequestSet set{
        "comma", {"X,Y", "A", "B,", "C"}, {"alpha", "alpha", "alpha", "alpha"}, {"alpha"}};
    EXPECT_EQ((std::vector<Visit>{{0, 0, false, "", true},
                                  {0, 1, false, "A,C"},
                                  {0, 2, false, "", true},
                                  {0, 3, true, ""}}),
              groupedWalk(set, true));
    // The local library takes one code per call: the code goes as it is.
    EXPECT_EQ(
        (std::vector<Visit>{
            {0, 0, false, "X,Y"}, {0, 1, false, "A"}, {0, 2, false, "B,"}, {0, 3, false, "C"}}),
        groupedWalk(set, false));
}

TEST(RequestWalk, ListsGoWithTheFirstCallOfEachChunk) {
    const RequestSet set = repeated("2500", {"alpha"}, 2500, {"alpha"});
    const std::vector<Visit> visits = groupedWalk(set, true);
    ASSERT_EQ(2500u, visits.size());
    std::vector<int> withList;
    std::vector<std::size_t> listLengths;
    for (const Visit &v : visits)
        if (!v.null) {
            withList.push_back(v.request);
            listLengths.push_back(
                static_cast<std::size_t>(std::count(v.text.begin(), v.text.end(), ',')) + 1);
        }
    EXPECT_THAT(withList, ::testing::ElementsAre(0, 1000, 2000));
    EXPECT_THAT(listLengths, ::testing::ElementsAre(1000u, 1000u, 500u));
    EXPECT_EQ("C2000,C2001", visits[2000].text.substr(0, 11));
}

TEST(RequestWalk, ListOfAChunkThatStartsWithAnotherDatabase) {
    std::vector<std::string> dbNames(5, "beta");
    dbNames.resize(8, "alpha");
    const RequestSet set = make("chunk", dbNames, {"alpha"});
    EXPECT_EQ((std::vector<Visit>{{0, 5, false, "C5,C6,C7"}, {0, 6, true, ""}, {0, 7, true, ""}}),
              groupedWalk(set, true));
}

TEST(RequestWalk, MatchesThePlainWalkOnRandomSets) {
    std::mt19937 random(20240229);
    for (int round = 0; round < 300; ++round) {
        const int databaseCount = static_cast<int>(random() % 14);
        const int requestCount =
            round % 10 == 0 ? static_cast<int>(random() % 3500) : static_cast<int>(random() % 60);
        std::vector<std::string> pool;
        for (int i = 0; i < 16; ++i)
            pool.push_back(randomName(random, 1 + static_cast<int>(random() % 2)));
        RequestSet set;
        set.name = "round " + std::to_string(round);
        for (int d = 0; d < databaseCount; ++d)
            set.databases.push_back(pool[random() % pool.size()]);
        for (int k = 0; k < requestCount; ++k) {
            set.dbNames.push_back(pool[random() % pool.size()]);
            // Codes up to nine characters, some empty: every chunk's list fits.
            set.codes.push_back(randomName(random, static_cast<int>(random() % 10)));
        }
        for (bool direct : {false, true})
            ASSERT_EQ(literalWalk(set, direct), groupedWalk(set, direct))
                << set.name << (direct ? " (direct)" : " (local)");
    }
}

TEST(RequestWalk, StopsWhenTheVisitSaysSo) {
    const RequestSet set = repeated("stop", {"alpha", "beta"}, 3000, {"alpha", "beta"});
    const std::vector<const char *> codes = pointers(set.codes);
    const std::vector<const char *> dbNames = pointers(set.dbNames);
    const std::vector<const char *> databases = pointers(set.databases);
    for (bool direct : {false, true}) {
        kovrap::RequestWalk walk({codes.data(), dbNames.data(), databases.data(), 2, 3000}, direct);
        std::vector<int> seen;
        EXPECT_FALSE(walk.forEach(1, [&](int k, const char *) {
            seen.push_back(k);
            return seen.size() < 3;
        }));
        EXPECT_THAT(seen, ::testing::ElementsAre(1, 3, 5));
        // A walk stopped early leaves the next one complete.
        std::vector<int> all;
        EXPECT_TRUE(walk.forEach(0, [&](int k, const char *) {
            all.push_back(k);
            return true;
        }));
        EXPECT_EQ(1500u, all.size());
    }
}

} // namespace

// Codes longer than a series code make a chunk's list outgrow the 10000 bytes
// that directCodelist fills; the walk's own list grows instead of stopping, so
// the library still gets one code per call it will answer.
TEST(RequestWalk, ListLongerThanTheHostBufferIsNotCut) {
    RequestSet set;
    set.name = "long codes";
    set.databases = {"alpha", "beta"};
    std::string expected;
    for (int k = 0; k < 1200; ++k) {
        std::string code = "SERIES-WITH-A-LONG-CODE-" + std::to_string(k);
        set.codes.push_back(code);
        set.dbNames.push_back(k % 3 == 1 ? "beta" : "alpha");
        if (k < 1000 && k % 3 != 1)
            expected += (expected.empty() ? "" : ",") + code;
    }
    const std::vector<Visit> visits = groupedWalk(set, true);
    ASSERT_FALSE(visits.empty());
    EXPECT_EQ(0, visits[0].request);
    EXPECT_GT(expected.size(), std::size_t{KOVRAP_CODELIST_BYTES});
    EXPECT_EQ(expected, visits[0].text);
    // The next chunk starts a list of its own, with its first alpha request.
    const auto next = std::find_if(visits.begin(), visits.end(),
                                   [](const Visit &v) { return v.request >= 1000; });
    ASSERT_NE(visits.end(), next);
    EXPECT_FALSE(next->null);
    EXPECT_EQ(1001, next->request);
    EXPECT_EQ("SERIES-WITH-A-LONG-CODE-1001,", next->text.substr(0, 29));
}
