// c_kovraSeriesInfo with the library call at every position of a normal run
// failing in turn: the status lists and counts, the columns, the common
// range, no write outside the host's arrays and buffers, and the bracket
// closed.
#include "Kovrap.h"
#include "case_names.h"
#include "fault_harness.h"
#include "guarded.h"
#include "periods.h"
#include "tqv_standin.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

using kovrap_faults::Entry;
using kovrap_faults::Failure;
using kovrap_faults::Guarded;
using kovrap_faults::GuardedBuffers;

constexpr int kGuardInt = 0x5A5A5A5A;
constexpr char kGuardChar = '#';
constexpr char kTextBefore = '~';
constexpr int kColumnBefore = -31;
constexpr int kListBefore = -1;
constexpr int kCountBefore = -88;
constexpr int kObservationsBefore = -77;
constexpr int kMonthly = 40;
constexpr int kFromSeries = -1;
const char kGuardText[] = "guard";
char guardBuffer[] = "guard"; // the pattern around the arrays of text pointers

// Every stored series: monthly, January 2000 to December 2004.
constexpr int kFirstPeriod = 200001;
constexpr int kLastPeriod = 200412;
constexpr int kFirstDate = 20000131;
constexpr int kLastDate = 20041231;
// The periods of the range searches' start values, 99999999 and -99999999,
// at the monthly code: what the range gives when no series is usable.
constexpr int kNoStartPeriod = 999999;
constexpr int kNoEndPeriod = -999999;

constexpr int kTextColumns = 8;
constexpr std::size_t kTextWidths[kTextColumns] = {10, 8, 10, 8, 8, 82, 10, 84};
constexpr int kIntColumns = 9;
constexpr int kStatusLists = 7;
constexpr int kNotStored = 1; // the stand-in's status for a series it lacks

struct InfoRequest {
    std::string code;
    std::string database;
    int status = 0; // information status in the normal run; 1: not stored
};

struct InfoCase {
    const char *name;
    bool direct;
    int merge;
    int classifyOnly;
    int computeRange;
    std::vector<InfoRequest> requests;
    std::vector<std::string> databases;
};

int listOf(int status, bool direct) {
    switch (status) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 3:
        return 2;
    case 4:
        return direct ? 3 : 2;
    case 5:
        return 4;
    case 6:
        return 5;
    default:
        return 6;
    }
}

// How often a database name stands in the list: a request enters a list
// once per pass, so each list needs room for that many entries per request.
std::size_t listRoom(const InfoCase &c) {
    std::size_t most = 1;
    for (const std::string &d : c.databases) {
        std::size_t times = 0;
        for (const std::string &e : c.databases)
            times += e == d ? 1 : 0;
        most = std::max(most, times);
    }
    return most * c.requests.size();
}

struct Range {
    int frequency = kMonthly;
    int start = kFromSeries;
    int end = kFromSeries;
    int observations = kObservationsBefore;
    std::vector<int> exclusionCounts = std::vector<int>(3, kCountBefore);
    std::vector<std::vector<int>> exclusions;
    bool operator==(const Range &o) const {
        return frequency == o.frequency && start == o.start && end == o.end &&
               observations == o.observations && exclusionCounts == o.exclusionCounts &&
               exclusions == o.exclusions;
    }
};

struct Outcome {
    std::vector<int> counts;
    std::vector<std::vector<int>> lists;
    std::vector<std::vector<int>> ints;                // [column][request]
    std::vector<std::vector<std::vector<char>>> texts; // [column][request] whole buffer
    Range range;
};

std::ostream &operator<<(std::ostream &os, const Range &r) {
    os << "freq " << r.frequency << " start " << r.start << " end " << r.end << " obs "
       << r.observations << " counts";
    for (int v : r.exclusionCounts)
        os << ' ' << v;
    return os;
}

class InfoHost {
  public:
    explicit InfoHost(const InfoCase &c)
        : c_(c), n_(c.requests.size()), counts_(kStatusLists, kCountBefore, kGuardInt),
          codes_(strings(c, true), kGuardText), dbNames_(strings(c, false), kGuardText),
          databases_(names(c.databases), kGuardText), frequency_(1, kMonthly, kGuardInt),
          start_(1, kFromSeries, kGuardInt), end_(1, kFromSeries, kGuardInt),
          observations_(1, kObservationsBefore, kGuardInt),
          exclusionCounts_(3, kCountBefore, kGuardInt) {
        for (int l = 0; l < kStatusLists; ++l)
            lists_.push_back(std::make_unique<Guarded<int>>(listRoom(c), kListBefore, kGuardInt));
        for (int col = 0; col < kIntColumns; ++col)
            // attribute 1 (column 2) starts at 0: a request left unfilled
            // counts as an empty series in the range.
            ints_.push_back(
                std::make_unique<Guarded<int>>(n_, col == 2 ? 0 : kColumnBefore, kGuardInt));
        for (int t = 0; t < kTextColumns; ++t) {
            buffers_.push_back(
                std::make_unique<GuardedBuffers>(n_, kTextWidths[t], kTextBefore, kGuardChar));
            std::vector<char *> pointers;
            for (std::size_t k = 0; k < n_; ++k)
                pointers.push_back(buffers_.back()->data(k));
            textPointers_.push_back(std::make_unique<Guarded<char *>>(pointers, guardBuffer));
        }
        for (int l = 0; l < 3; ++l)
            exclusions_.push_back(std::make_unique<Guarded<int>>(n_, kListBefore, kGuardInt));
    }

    void call() {
        InfoStatusLists status{c_.classifyOnly,   counts_.data(),    lists_[0]->data(),
                               lists_[1]->data(), lists_[2]->data(), lists_[3]->data(),
                               lists_[4]->data(), lists_[5]->data(), lists_[6]->data()};
        SeriesInfoColumns columns{text(0), ints(0), ints(1), ints(2), ints(3), ints(4),
                                  ints(5), ints(6), ints(7), ints(8), text(1), text(2),
                                  text(3), text(4), text(5), text(6), text(7)};
        CommonRange range{c_.computeRange, frequency_.data(), start_.data(), end_.data(),
                          observations_.data()};
        RangeExclusions exclusions{0, exclusionCounts_.data(), exclusions_[0]->data(),
                                   exclusions_[1]->data(), exclusions_[2]->data()};
        c_kovraSeriesInfo(c_.direct ? 1 : 0, &status, &columns, codes_.data(), dbNames_.data(),
                          databases_.data(), static_cast<int>(c_.databases.size()),
                          static_cast<int>(n_), c_.merge, 0, &range, &exclusions);
    }

    void expectGuardsIntact() {
        EXPECT_TRUE(counts_.intact()) << "statusCounts";
        for (auto &l : lists_)
            EXPECT_TRUE(l->intact()) << "status list";
        for (auto &col : ints_)
            EXPECT_TRUE(col->intact()) << "int column";
        for (auto &col : textPointers_)
            EXPECT_TRUE(col->intact()) << "text column";
        for (auto &col : buffers_)
            EXPECT_TRUE(col->intact()) << "text buffer";
        for (Guarded<const char *> *a : {&codes_, &dbNames_, &databases_})
            EXPECT_TRUE(a->intact()) << "string array";
        for (Guarded<int> *a : {&frequency_, &start_, &end_, &observations_, &exclusionCounts_})
            EXPECT_TRUE(a->intact()) << "range field";
        for (auto &l : exclusions_)
            EXPECT_TRUE(l->intact()) << "exclusion list";
    }

    Outcome outcome() const {
        Outcome o;
        o.counts = counts_.contents();
        for (const auto &l : lists_)
            o.lists.push_back(l->contents());
        for (const auto &col : ints_)
            o.ints.push_back(col->contents());
        for (const auto &col : buffers_) {
            std::vector<std::vector<char>> texts;
            for (std::size_t k = 0; k < n_; ++k)
                texts.push_back(col->contents(k));
            o.texts.push_back(texts);
        }
        o.range.frequency = frequency_[0];
        o.range.start = start_[0];
        o.range.end = end_[0];
        o.range.observations = observations_[0];
        o.range.exclusionCounts = exclusionCounts_.contents();
        for (const auto &l : exclusions_)
            o.range.exclusions.push_back(l->contents());
        return o;
    }

  private:
    int *ints(int col) { return ints_[static_cast<std::size_t>(col)]->data(); }
    char **text(int col) { return textPointers_[static_cast<std::size_t>(col)]->data(); }
    static std::vector<const char *> strings(const InfoCase &c, bool code) {
        std::vector<const char *> out;
        for (const InfoRequest &r : c.requests)
            out.push_back(code ? r.code.c_str() : r.database.c_str());
        return out;
    }
    static std::vector<const char *> names(const std::vector<std::string> &s) {
        std::vector<const char *> out;
        for (const std::string &name : s)
            out.push_back(name.c_str());
        return out;
    }

    const InfoCase &c_;
    std::size_t n_;
    Guarded<int> counts_;
    std::vector<std::unique_ptr<Guarded<int>>> lists_;
    std::vector<std::unique_ptr<Guarded<int>>> ints_;
    std::vector<std::unique_ptr<GuardedBuffers>> buffers_;
    std::vector<std::unique_ptr<Guarded<char *>>> textPointers_;
    Guarded<const char *> codes_, dbNames_, databases_;
    Guarded<int> frequency_, start_, end_, observations_, exclusionCounts_;
    std::vector<std::unique_ptr<Guarded<int>>> exclusions_;
};

// The outcome the failure tables give. The requests are walked database by
// database in index order: a failed open sends its requests to list 0, a
// failed information call sends its request to the list of the status the
// library gave; a request with status 0 is filled as in the normal run. The
// common range runs when lists 1 to 6 stay empty; every stored series has
// the same code and dates, so the range is that of any filled request, with
// the unfilled ones (attribute 1 still 0) in the empty list.
Outcome expectedOutcome(const InfoCase &c, const Failure &f,
                        const std::vector<Entry> &normalJournal, const Outcome &normal) {
    const std::size_t n = c.requests.size();
    Outcome out;
    out.counts.assign(kStatusLists, 0);
    std::vector<std::vector<int>> entries(kStatusLists);
    std::set<int> filled;
    // Positions of the opens and information calls of the normal run.
    std::size_t position = 0;
    const auto next = [&](const char *operation) {
        while (position < normalJournal.size() && normalJournal[position].operation != operation)
            ++position;
        return static_cast<int>(position++);
    };
    for (const std::string &database : c.databases) {
        const bool opened = !f.at(next("OpenDatabase"));
        for (std::size_t k = 0; k < n; ++k) {
            const InfoRequest &r = c.requests[k];
            if (r.database != database)
                continue;
            int status = 0;
            if (!opened) {
                status = kNotStored; // list 0, like status 1
            } else {
                const int at = next("GetInfo");
                status = f.at(at) ? f.value : r.status;
            }
            if (status == 0) {
                if (c.classifyOnly == 0)
                    filled.insert(static_cast<int>(k));
            } else {
                entries[static_cast<std::size_t>(listOf(status, c.direct))].push_back(
                    static_cast<int>(k));
            }
        }
    }
    const std::size_t room = listRoom(c);
    for (int l = 0; l < kStatusLists; ++l) {
        std::vector<int> list = entries[static_cast<std::size_t>(l)];
        out.counts[static_cast<std::size_t>(l)] = static_cast<int>(list.size());
        list.resize(room, kListBefore);
        out.lists.push_back(list);
    }
    out.ints = normal.ints;
    out.texts = normal.texts;
    for (std::size_t k = 0; k < n; ++k) {
        if (filled.count(static_cast<int>(k)) != 0)
            continue;
        for (int col = 0; col < kIntColumns; ++col)
            out.ints[static_cast<std::size_t>(col)][k] = col == 2 ? 0 : kColumnBefore;
        for (int t = 0; t < kTextColumns; ++t)
            out.texts[static_cast<std::size_t>(t)][k].assign(kTextWidths[t], kTextBefore);
    }

    bool beyondFirst = false;
    for (int l = 1; l < kStatusLists; ++l)
        beyondFirst = beyondFirst || out.counts[static_cast<std::size_t>(l)] != 0;
    out.range.exclusions.assign(3, std::vector<int>(n, kListBefore));
    if (c.classifyOnly != 0 || c.computeRange == 0 || beyondFirst)
        return out;
    std::vector<int> empty;
    for (std::size_t k = 0; k < n; ++k)
        if (filled.count(static_cast<int>(k)) == 0)
            empty.push_back(static_cast<int>(k));
    out.range.exclusionCounts = {static_cast<int>(empty.size()), 0, 0};
    empty.resize(n, kListBefore);
    out.range.exclusions[0] = empty;
    out.range.start = filled.empty() ? kNoStartPeriod : kFirstPeriod;
    out.range.end = filled.empty() ? kNoEndPeriod : kLastPeriod;
    // The range's period count is the last call before the bracket's end.
    const int countPosition = static_cast<int>(normalJournal.size()) - 3;
    out.range.observations =
        f.at(countPosition) &&
                normalJournal[static_cast<std::size_t>(countPosition)].operation == "GetObsNum"
            ? f.value
            : tqvs::obsNum(out.range.start, out.range.end, kMonthly);
    return out;
}

// A number of the series' own, from its code (a letter and a number).
int tagOf(const std::string &code) {
    return (code[0] - 'A') * 10000 + std::atoi(code.c_str() + 1);
}

void storeSeries(const InfoCase &c) {
    for (std::size_t k = 0; k < c.requests.size(); ++k) {
        const InfoRequest &r = c.requests[k];
        tqvs_add_database(r.database.c_str());
        if (r.status == kNotStored)
            continue;
        ASSERT_EQ(0, tqvs_add_series(r.database.c_str(), r.code.c_str(), kMonthly, kFirstPeriod,
                                     kLastPeriod, nullptr, 0));
        const int attributes[6] = {1, tagOf(r.code), 13, 14, 15, 6};
        const std::string tag = r.code;
        const std::string texts[7] = {"a" + tag,
                                      "b" + tag,
                                      "c" + tag,
                                      "d" + tag,
                                      "text five of " + tag,
                                      "f" + tag,
                                      "text seven of " + tag};
        const char *textArgs[7];
        for (int t = 0; t < 7; ++t)
            textArgs[t] = texts[t].c_str();
        ASSERT_EQ(0, tqvs_set_attributes(r.database.c_str(), r.code.c_str(), attributes, textArgs));
        if (r.status != 0) {
            ASSERT_EQ(0, tqvs_set_info_status(r.database.c_str(), r.code.c_str(), r.status));
        }
    }
}

// What the normal run must show of a filled request: its own code, dates
// and attributes.
void expectFilledFromItsRecord(const Outcome &o, const InfoCase &c) {
    for (std::size_t k = 0; k < c.requests.size(); ++k) {
        if (c.requests[k].status != 0 || c.classifyOnly != 0)
            continue;
        const std::vector<char> &code = o.texts[0][k];
        EXPECT_EQ(c.requests[k].code, std::string(code.data())) << "request " << k;
        EXPECT_EQ(kFirstDate, o.ints[0][k]);
        EXPECT_EQ(kLastDate, o.ints[1][k]);
        EXPECT_EQ(1, o.ints[2][k]);
        EXPECT_EQ(kMonthly, o.ints[3][k]);
        EXPECT_EQ(tagOf(c.requests[k].code), o.ints[4][k]);
    }
}

void runCase(const InfoCase &c) {
    Outcome normal;
    kovrap_faults::Scenario s;
    s.name = std::string("SeriesInfo/") + c.name + (c.direct ? "/Direct" : "/Local");
    s.direct = c.direct;
    s.setting = c.merge != 0 ? 3 : 1;
    s.setUp = [&](const Failure &, const std::vector<Entry> &) { storeSeries(c); };
    s.run = [&](const Failure &f, const std::vector<Entry> &normalJournal) {
        InfoHost host(c);
        host.call();
        host.expectGuardsIntact();
        const Outcome actual = host.outcome();
        if (f.none()) {
            normal = actual;
            expectFilledFromItsRecord(normal, c);
            const Outcome expected = expectedOutcome(c, f, kovrap_faults::readJournal(), normal);
            EXPECT_EQ(expected.counts, normal.counts);
            EXPECT_EQ(expected.lists, normal.lists);
            EXPECT_EQ(expected.range, normal.range);
            return;
        }
        const Outcome expected = expectedOutcome(c, f, normalJournal, normal);
        EXPECT_EQ(expected.counts, actual.counts);
        EXPECT_EQ(expected.lists, actual.lists);
        EXPECT_EQ(expected.ints, actual.ints);
        EXPECT_EQ(expected.texts, actual.texts);
        EXPECT_EQ(expected.range, actual.range);
    };
    kovrap_faults::runEveryFailure(s);
}

std::vector<InfoCase> infoCases() {
    std::vector<InfoCase> cases;
    for (bool direct : {false, true}) {
        // Every status list in the normal run; the range is asked for but
        // cannot run.
        cases.push_back({"OneDatabase",
                         direct,
                         0,
                         0,
                         1,
                         {{"A0", "alpha", 0},
                          {"A1", "alpha", kNotStored},
                          {"A2", "alpha", 2},
                          {"A3", "alpha", 4},
                          {"A4", "alpha", 0},
                          {"A5", "alpha", 6},
                          {"A6", "alpha", 9}},
                         {"alpha"}});
        cases.push_back({"TwoInterleaved",
                         direct,
                         1,
                         0,
                         1,
                         {{"A0", "alpha", 0},
                          {"B1", "beta", 0},
                          {"A2", "alpha", kNotStored},
                          {"B3", "beta", 0},
                          {"A4", "alpha", 0},
                          {"B5", "beta", 0}},
                         {"beta", "alpha"}});
        cases.push_back({"DatabaseNamedTwice",
                         direct,
                         0,
                         0,
                         1,
                         {{"A0", "alpha", 0},
                          {"B1", "beta", 0},
                          {"A2", "alpha", 0},
                          {"A3", "alpha", kNotStored}},
                         {"alpha", "beta", "alpha"}});
        cases.push_back({"ClassifyOnly",
                         direct,
                         0,
                         1,
                         1,
                         {{"A0", "alpha", 0}, {"B1", "beta", 0}, {"A2", "alpha", 0}},
                         {"alpha", "beta"}});
    }
    // The direct path across a chunk boundary: 1005 requests, every seventh
    // of beta, two of series the store lacks. Neighbouring requests ask for
    // different series, so columns paired with the wrong code of a list
    // show; the series repeat, so the store stays small.
    InfoCase chunk{"ChunkBoundary", true, 0, 0, 1, {}, {"alpha", "beta"}};
    for (int k = 0; k < 1005; ++k) {
        const bool missing = k == 998 || k == 1002;
        char code[16];
        std::snprintf(code, sizeof code, "%c%d",
                      missing      ? 'X'
                      : k % 7 == 3 ? 'B'
                                   : 'A',
                      missing ? k : k % 13);
        chunk.requests.push_back({code, k % 7 == 3 ? "beta" : "alpha", missing ? kNotStored : 0});
    }
    cases.push_back(chunk);
    return cases;
}

// Names the scenario in test output, instead of its bytes.
void PrintTo(const InfoCase &c, std::ostream *os) {
    *os << c.name << (c.direct ? " on the direct library" : " on the local library");
}

class SeriesInfoFaultTest : public ::testing::TestWithParam<InfoCase> {};

TEST_P(SeriesInfoFaultTest, EveryFailingCallLeavesTheOutcomeOfItsTable) {
    runCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, SeriesInfoFaultTest, ::testing::ValuesIn(infoCases()),
                         kovrap_test::caseLibraryName<InfoCase>);

} // namespace
