// Code lists of the direct library: the comma-joined codes of one chunk of
// requests that belong to one database.
#include "Kovrap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Requests as the host passes them: two parallel arrays of C strings.
struct Requests {
    std::vector<std::string> codes;
    std::vector<std::string> dbNames;

    void add(const std::string &code, const std::string &database) {
        codes.push_back(code);
        dbNames.push_back(database);
    }
    std::vector<const char *> pointers(const std::vector<std::string> &texts) const {
        std::vector<const char *> out;
        for (const std::string &t : texts)
            out.push_back(t.c_str());
        return out;
    }
};

// Runs directCodelist into an exactly-sized heap buffer that starts full of
// garbage, checks that every byte after the text is zero, and returns the text.
std::string listFor(const Requests &requests, int first, const char *database, int requestCount) {
    const std::vector<const char *> codes = requests.pointers(requests.codes);
    const std::vector<const char *> dbNames = requests.pointers(requests.dbNames);
    std::unique_ptr<char[]> buffer(new char[KOVRAP_CODELIST_BYTES]);
    std::memset(buffer.get(), 'x', KOVRAP_CODELIST_BYTES);
    directCodelist(buffer.get(), first, codes.data(), dbNames.data(), database, requestCount);
    const std::size_t length = static_cast<std::size_t>(
        std::find(buffer.get(), buffer.get() + KOVRAP_CODELIST_BYTES, '\0') - buffer.get());
    EXPECT_LT(length, static_cast<std::size_t>(KOVRAP_CODELIST_BYTES)) << "no terminator";
    for (std::size_t i = length; i < KOVRAP_CODELIST_BYTES; ++i)
        if (buffer[i] != '\0') {
            ADD_FAILURE() << "byte " << i << " after the text is not zero";
            break;
        }
    return std::string(buffer.get(), length);
}

std::string joined(const Requests &requests, int from, int to) {
    std::string text;
    for (int k = from; k < to; ++k) {
        if (k > from)
            text += ',';
        text += requests.codes[static_cast<std::size_t>(k)];
    }
    return text;
}

Requests abc() {
    Requests r;
    r.add("A1", "alpha");
    r.add("B2", "beta");
    r.add("C3", "alpha");
    return r;
}

TEST(CodeList, ListsTheDatabasesCodesInRequestOrder) {
    const Requests r = abc();
    const struct {
        const char *database;
        int first;
        int requestCount;
        const char *expected;
    } cases[] = {
        {"alpha", 0, 3, "A1,C3"},
        {"beta", 0, 3, "B2"},
        {"gamma", 0, 3, ""},
        {"ALPHA", 0, 3, ""},
        {"alph", 0, 3, ""},
        {"alpha1", 0, 3, ""},
        {"alpha", 1, 3, "C3"},
        {"alpha", 0, 2, "A1"},
        {"alpha", 3, 3, ""},
        {"alpha", 7, 3, ""},
        {"alpha", -1, 3, ""},
        {"alpha", INT_MIN, 3, ""},
        {"alpha", 0, 0, ""},
        {"alpha", 0, -5, ""},
        {"alpha", INT_MAX, 3, ""},
        {"alpha", INT_MAX - 999, 3, ""},
        {"alpha", INT_MAX - 1, 3, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, listFor(r, c.first, c.database, c.requestCount))
            << c.database << " from " << c.first << " of " << c.requestCount;
}

TEST(CodeList, NamesCompareExactly) {
    Requests r;
    r.add("U1", "ALPHA");
    r.add("L1", "alpha");
    r.add("S1", "alpha ");
    EXPECT_EQ("L1", listFor(r, 0, "alpha", 3));
    EXPECT_EQ("U1", listFor(r, 0, "ALPHA", 3));
    EXPECT_EQ("S1", listFor(r, 0, "alpha ", 3));
}

TEST(CodeList, EmptyCodesAreEmptyItems) {
    const struct {
        std::vector<std::string> codes;
        const char *expected;
    } cases[] = {
        {{"", "X"}, ",X"}, {{""}, ""}, {{"X", ""}, "X,"}, {{"", ""}, ","}, {{"A", "", "B"}, "A,,B"},
    };
    for (const auto &c : cases) {
        Requests r;
        for (const std::string &code : c.codes)
            r.add(code, "alpha");
        EXPECT_EQ(c.expected, listFor(r, 0, "alpha", static_cast<int>(c.codes.size())));
    }
}

// A code with a comma would read as two codes in the list, and every later
// code would answer for the request before it: it is left out.
TEST(CodeList, CodesWithACommaAreLeftOut) {
    const struct {
        std::vector<std::string> codes;
        const char *expected;
    } cases[] = {
        {{"X,Y", "Z"}, "Z"},
        {{"A", "X,Y", "Z"}, "A,Z"},
        {{"A", ","}, "A"},
        {{",", "", "B"}, ",B"},
        {{"X,Y"}, ""},
        {{"A", "B,"}, "A"},
        {{",X", "A", "B"}, "A,B"},
    };
    for (const auto &c : cases) {
        Requests r;
        for (const std::string &code : c.codes)
            r.add(code, "alpha");
        EXPECT_EQ(c.expected, listFor(r, 0, "alpha", static_cast<int>(c.codes.size())));
    }
}

TEST(CodeList, ChunkCoversAtMostAThousandRequests) {
    Requests r;
    for (int k = 0; k < 2500; ++k)
        r.add("C" + std::to_string(k), "alpha");
    const struct {
        int first;
        int requestCount;
        int from;
        int to;
    } cases[] = {
        {0, 2500, 0, 1000},       {1000, 2500, 1000, 2000}, {2000, 2500, 2000, 2500},
        {1000, 2000, 1000, 2000}, {500, 2500, 500, 1500},   {1501, 2500, 1501, 2500},
        {1500, 2500, 1500, 2500}, {1499, 2500, 1499, 2499}, {2499, 2500, 2499, 2500},
        {0, 999, 0, 999},         {0, 1000, 0, 1000},       {0, 1001, 0, 1000},
    };
    for (const auto &c : cases)
        EXPECT_EQ(joined(r, c.from, c.to), listFor(r, c.first, "alpha", c.requestCount))
            << "from " << c.first << " of " << c.requestCount;
}

TEST(CodeList, OnlyTheChunksRequestsOfTheDatabase) {
    // Alternate databases: the alpha requests of 1000..1999 are the odd ones.
    Requests r;
    for (int k = 0; k < 2500; ++k)
        r.add("C" + std::to_string(k), k % 2 == 1 ? "alpha" : "beta");
    std::string expected;
    for (int k = 1001; k < 2000; k += 2)
        expected += (expected.empty() ? "" : ",") + r.codes[static_cast<std::size_t>(k)];
    EXPECT_EQ(expected, listFor(r, 1000, "alpha", 2500));
}

// Nine-character codes are the longest that always fit: 1000 of them with
// their commas and the terminator take exactly the 10000 bytes.
TEST(CodeList, ThousandNineCharacterCodesFillTheBufferExactly) {
    Requests r;
    for (int k = 0; k < 1000; ++k) {
        std::string code = std::to_string(100000000 + k); // nine digits
        r.add(code, "alpha");
    }
    const std::string list = listFor(r, 0, "alpha", 1000);
    EXPECT_EQ(static_cast<std::size_t>(KOVRAP_CODELIST_BYTES - 1), list.size());
    EXPECT_EQ(joined(r, 0, 1000), list);
}

// A list that would not fit ends at the last whole code that fits with its
// terminator; nothing is written past the buffer (exactly sized on the heap).
TEST(CodeList, OverlongListStopsAtAWholeCode) {
    const struct {
        const char *name;
        int codeLength;
        int fitting; // codes that fit: each takes its length plus a comma or NUL
    } cases[] = {
        {"twelve characters", 12, 10000 / 13},
        {"ten characters", 10, 10000 / 11},
        {"long codes", 200, 10000 / 201},
    };
    for (const auto &c : cases) {
        Requests r;
        for (int k = 0; k < 1000; ++k) {
            std::string code = std::to_string(k);
            code.insert(0, static_cast<std::size_t>(c.codeLength) - code.size(), 'Z');
            r.add(code, "alpha");
        }
        EXPECT_EQ(joined(r, 0, c.fitting), listFor(r, 0, "alpha", 1000)) << c.name;
    }
}

TEST(CodeList, ASingleCodeTooLongForTheBufferListsNothing) {
    Requests r;
    r.add(std::string(KOVRAP_CODELIST_BYTES, 'Q'), "alpha");
    r.add("B", "alpha");
    EXPECT_EQ("", listFor(r, 0, "alpha", 2));
    Requests fits;
    fits.add(std::string(KOVRAP_CODELIST_BYTES - 1, 'Q'), "alpha");
    EXPECT_EQ(std::string(KOVRAP_CODELIST_BYTES - 1, 'Q'), listFor(fits, 0, "alpha", 1));
}

TEST(CodeList, ChunkSizeIsExportedAsData) {
    const volatile int *chunk = &TQVDchunk;
    EXPECT_EQ(1000, *chunk);
}

} // namespace
