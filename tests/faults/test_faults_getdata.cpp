// c_kovraGetData with the library call at every position of a normal run
// failing in turn: the error, rows and count statuses that each failure
// leaves, no write outside the host's arrays, and the bracket closed.
#include "Kovrap.h"
#include "case_names.h"
#include "fault_harness.h"
#include "guarded.h"
#include "tqv_standin.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace {

using kovrap_faults::Entry;
using kovrap_faults::Failure;
using kovrap_faults::Guarded;

constexpr double kMissing = 1e9;
constexpr double kUntouched = -7.5;
constexpr double kGuardValue = -123456.25;
constexpr int kGuardInt = 0x5A5A5A5A;
constexpr int kStatusBefore = -99;
constexpr int kErrorBefore = 42;
constexpr int kMonthly = 40;
constexpr int kWindowedCount = 1792;
constexpr int kMonthlyMinimum = 36; // periods a monthly windowed count needs

const char kGuardText[] = "guard";

struct DataRequest {
    std::string code;
    std::string database;
    int transformCode = -1;
    int advancedFlag = 0;
    int paramB = 0;
    int paramA = 0;
    int spanEnd = 0;
    int normalStatus = -99; // countStatus after the normal run
};

struct DataCase {
    const char *name;
    bool direct;
    int merge;
    std::vector<DataRequest> requests;
    std::vector<std::string> databases;
    // Base windows of the windowed counts, in the order the call takes them.
    std::vector<std::pair<int, int>> windows;
    int endDate; // the window starts in January 2000, monthly
    int obs;
};

constexpr int kStartDate = 200001;

// Observations of a series from January 2000, by its code (a letter and a
// number): positive and its own, so that a row of the wrong series or a
// skipped transform shows.
std::vector<double> seriesValues(const std::string &code) {
    const int id = (code[0] - 'A') * 10000 + std::atoi(code.c_str() + 1);
    std::vector<double> v;
    for (int i = 0; i < 12; ++i)
        v.push_back((id + 1) * 100.0 + i + 1 + (i % 3) * 7.0);
    return v;
}

// The scratch values the windowed count of request k answers with: the same
// on every pass over its database, so that each pass leaves the same row.
std::vector<double> scriptValues(int k) {
    std::vector<double> v;
    for (int i = 0; i < 64; ++i)
        v.push_back(10000.0 * (k + 1) + i);
    return v;
}

// What each journal position of the normal run belongs to.
enum class Kind {
    Setup,
    Open,
    RetriesOff,
    Fetch,
    Math,
    Advanced,
    WindowSize, // the period count that sizes a windowed count
    WindowCount,
    WindowSegment, // a period count of the alignment
    Restore,
    Close
};

struct Event {
    Kind kind = Kind::Setup;
    int request = -1;
    int ordinal = -1; // windowed counts: which entry of the windows
};

bool windowed(const DataRequest &r) {
    return r.advancedFlag != 0 && r.transformCode == kWindowedCount;
}

// The requests of the windowed counts in the order the call makes them.
std::vector<int> windowedOrder(const DataCase &c) {
    std::vector<int> order;
    for (const std::string &database : c.databases)
        for (std::size_t k = 0; k < c.requests.size(); ++k)
            if (c.requests[k].database == database && windowed(c.requests[k]))
                order.push_back(static_cast<int>(k));
    return order;
}

// Labels the normal journal by walking the requests the way the call must:
// database by database, requests in index order.
std::vector<Event> classify(const std::vector<Entry> &journal, const DataCase &c) {
    std::vector<Event> events(journal.size());
    int pass = -1;
    std::vector<int> pending;
    int current = -1;
    int ordinal = 0;
    bool counted = false;
    for (std::size_t i = 0; i < journal.size(); ++i) {
        const std::string &op = journal[i].operation;
        Event &e = events[i];
        if (i + 1 == journal.size()) {
            e.kind = Kind::Close;
        } else if (i + 2 == journal.size()) {
            e.kind = Kind::Restore;
        } else if (op == "OpenDatabase") {
            EXPECT_TRUE(pending.empty()) << "requests of the last database not fetched";
            ++pass;
            pending.clear();
            for (int k = static_cast<int>(c.requests.size()) - 1; k >= 0; --k)
                if (c.requests[static_cast<std::size_t>(k)].database ==
                    c.databases[static_cast<std::size_t>(pass)])
                    pending.push_back(k);
            e.kind = Kind::Open;
            current = -1;
        } else if (pass < 0) {
            e.kind = Kind::Setup;
        } else if (op == "EnableRetries") {
            e.kind = Kind::RetriesOff;
        } else if (op == "GetDataCount") {
            EXPECT_FALSE(pending.empty()) << "a fetch too many: " << journal[i].text;
            if (pending.empty())
                return events;
            current = pending.back();
            pending.pop_back();
            e.kind = Kind::Fetch;
            e.request = current;
            counted = false;
            if (windowed(c.requests[static_cast<std::size_t>(current)]))
                e.ordinal = ordinal++;
        } else if (op == "ApplyMathCount") {
            e.kind = Kind::Math;
        } else if (op == "ApplyAdvancedCount") {
            e.kind = windowed(c.requests[static_cast<std::size_t>(current)]) ? Kind::WindowCount
                                                                             : Kind::Advanced;
            counted = true;
        } else if (op == "GetObsNum") {
            e.kind = counted ? Kind::WindowSegment : Kind::WindowSize;
        } else {
            ADD_FAILURE() << "unexpected call " << journal[i].text;
        }
        // The calls after a fetch transform the fetched request.
        if (e.kind == Kind::Math || e.kind == Kind::Advanced || e.kind == Kind::WindowSize ||
            e.kind == Kind::WindowCount || e.kind == Kind::WindowSegment) {
            e.request = current;
            if (windowed(c.requests[static_cast<std::size_t>(current)]))
                e.ordinal = ordinal - 1;
        }
    }
    EXPECT_TRUE(pending.empty()) << "requests of the last database not fetched";
    EXPECT_EQ(static_cast<int>(c.databases.size()) - 1, pass) << "opens";
    return events;
}

// The windowed count whose library count the failure keeps from running
// (its script must not be queued, or the next count would take it), or -1.
int skippedCount(const Failure &f, const std::vector<Event> &events) {
    if (f.none())
        return -1;
    const Event &e = events[static_cast<std::size_t>(f.position)];
    if (e.kind == Kind::WindowCount || (e.kind == Kind::WindowSize && f.value < kMonthlyMinimum))
        return e.ordinal;
    return -1;
}

struct Outcome {
    std::vector<std::vector<double>> rows;
    std::vector<int> countStatus;
    int error = kErrorBefore;
};

// The outcome that the failure tables give, from the normal run's outcome:
// requests processed before the failure keep their normal rows; a failed
// open, fetch or math count ends the call; a failed advanced count fills
// its row with missing values, records its status and the call goes on.
Outcome expectedOutcome(const DataCase &c, const Failure &f, const std::vector<Event> &events,
                        const Outcome &normal) {
    const std::size_t n = c.requests.size();
    Outcome out;
    out.rows.assign(n, std::vector<double>(static_cast<std::size_t>(c.obs), kUntouched));
    out.countStatus.assign(n, kStatusBefore);
    const auto failed = [&](int k, int status) {
        out.rows[static_cast<std::size_t>(k)].assign(static_cast<std::size_t>(c.obs), kMissing);
        out.countStatus[static_cast<std::size_t>(k)] = status;
    };
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event &e = events[i];
        const bool failing = f.at(static_cast<int>(i));
        if (e.kind == Kind::Fetch && !failing) {
            // The request's normal outcome, unless one of its own calls fails.
            std::size_t last = i + 1;
            while (last < events.size() && events[last].request == e.request &&
                   events[last].kind != Kind::Fetch && events[last].kind != Kind::Open &&
                   events[last].kind != Kind::Restore)
                ++last;
            if (!(f.position > static_cast<int>(i) && f.position < static_cast<int>(last))) {
                const auto k = static_cast<std::size_t>(e.request);
                out.rows[k] = normal.rows[k];
                if (normal.countStatus[k] != kStatusBefore)
                    out.countStatus[k] = normal.countStatus[k];
            }
        }
        if (!failing)
            continue;
        const auto k = static_cast<std::size_t>(e.request);
        switch (e.kind) {
        case Kind::Open:
            out.error = 1;
            return out;
        case Kind::Fetch:
            out.error = f.value;
            return out;
        case Kind::Math: {
            out.error = f.value;
            const std::vector<double> series = seriesValues(c.requests[k].code);
            out.rows[k].assign(series.begin(), series.begin() + c.obs);
            return out;
        }
        case Kind::Advanced:
        case Kind::WindowCount:
            failed(e.request, f.value);
            break;
        case Kind::WindowSize:
            // Too few periods refuses the count; any larger count lets it
            // run, and the library's values align as in the normal run.
            if (f.value < kMonthlyMinimum)
                failed(e.request, 834);
            else
                out.rows[k] = normal.rows[k];
            break;
        case Kind::WindowSegment:
            failed(e.request, 835);
            break;
        default:
            break;
        }
    }
    out.error = normal.error;
    return out;
}

// One call of the host, with every array exactly sized between guards.
class DataHost {
  public:
    explicit DataHost(const DataCase &c)
        : c_(c), n_(c.requests.size()),
          values_(n_ * static_cast<std::size_t>(c.obs), kUntouched, kGuardValue),
          codes_(pointers(c, [](const DataRequest &r) { return r.code.c_str(); }), kGuardText),
          dbNames_(pointers(c, [](const DataRequest &r) { return r.database.c_str(); }),
                   kGuardText),
          databases_(names(c.databases), kGuardText),
          transformCode_(ints(c, &DataRequest::transformCode), kGuardInt),
          paramB_(ints(c, &DataRequest::paramB), kGuardInt),
          paramA_(ints(c, &DataRequest::paramA), kGuardInt),
          spanEnd_(ints(c, &DataRequest::spanEnd), kGuardInt),
          paramC_(std::vector<int>(n_, 0), kGuardInt),
          advancedFlag_(ints(c, &DataRequest::advancedFlag), kGuardInt),
          countStatus_(n_, kStatusBefore, kGuardInt), windowStart_(firsts(c.windows), kGuardInt),
          windowEnd_(seconds(c.windows), kGuardInt), error_(1, kErrorBefore, kGuardInt) {}

    void call() {
        TransformArrays transforms{
            transformCode_.data(), paramB_.data(),       paramA_.data(), spanEnd_.data(),
            paramC_.data(),        advancedFlag_.data(), nullptr,        countStatus_.data()};
        AdvancedWindows windows{windowStart_.data(), windowEnd_.data()};
        c_kovraGetData(c_.direct ? 1 : 0, values_.data(), codes_.data(), dbNames_.data(),
                       databases_.data(), static_cast<int>(c_.databases.size()),
                       static_cast<int>(n_), kStartDate, c_.endDate, kMonthly, c_.merge, c_.obs,
                       &transforms, &windows, error_.data());
    }

    // Guards intact and the arrays the call only reads unchanged.
    void expectOnlyOutputsWritten() {
        EXPECT_TRUE(values_.intact()) << "values";
        EXPECT_TRUE(countStatus_.intact()) << "countStatus";
        EXPECT_TRUE(error_.intact()) << "error";
        for (Guarded<const char *> *a : {&codes_, &dbNames_, &databases_})
            EXPECT_TRUE(a->intact()) << "string array";
        for (Guarded<int> *a : {&transformCode_, &paramB_, &paramA_, &spanEnd_, &paramC_,
                                &advancedFlag_, &windowStart_, &windowEnd_})
            EXPECT_TRUE(a->intact()) << "input array";
        EXPECT_EQ(ints(c_, &DataRequest::transformCode), transformCode_.contents());
        EXPECT_EQ(ints(c_, &DataRequest::paramA), paramA_.contents());
        EXPECT_EQ(ints(c_, &DataRequest::advancedFlag), advancedFlag_.contents());
        EXPECT_EQ(firsts(c_.windows), windowStart_.contents());
    }

    Outcome outcome() const {
        Outcome o;
        const std::vector<double> all = values_.contents();
        for (std::size_t k = 0; k < n_; ++k) {
            const auto first = all.begin() + static_cast<std::ptrdiff_t>(k) * c_.obs;
            o.rows.emplace_back(first, first + c_.obs);
        }
        o.countStatus = countStatus_.contents();
        o.error = error_[0];
        return o;
    }

  private:
    template <class F> static std::vector<const char *> pointers(const DataCase &c, F f) {
        std::vector<const char *> out;
        for (const DataRequest &r : c.requests)
            out.push_back(f(r));
        return out;
    }
    static std::vector<const char *> names(const std::vector<std::string> &s) {
        std::vector<const char *> out;
        for (const std::string &name : s)
            out.push_back(name.c_str());
        return out;
    }
    static std::vector<int> ints(const DataCase &c, int DataRequest::*field) {
        std::vector<int> out;
        for (const DataRequest &r : c.requests)
            out.push_back(r.*field);
        return out;
    }
    static std::vector<int> firsts(const std::vector<std::pair<int, int>> &w) {
        std::vector<int> out;
        for (const auto &p : w)
            out.push_back(p.first);
        return out;
    }
    static std::vector<int> seconds(const std::vector<std::pair<int, int>> &w) {
        std::vector<int> out;
        for (const auto &p : w)
            out.push_back(p.second);
        return out;
    }

    const DataCase &c_;
    std::size_t n_;
    Guarded<double> values_;
    Guarded<const char *> codes_, dbNames_, databases_;
    Guarded<int> transformCode_, paramB_, paramA_, spanEnd_, paramC_, advancedFlag_;
    Guarded<int> countStatus_;
    Guarded<int> windowStart_, windowEnd_;
    Guarded<int> error_;
};

void storeSeries(const DataCase &c) {
    for (std::size_t k = 0; k < c.requests.size(); ++k) {
        const DataRequest &r = c.requests[k];
        tqvs_add_database(r.database.c_str());
        const std::vector<double> v = seriesValues(r.code);
        ASSERT_EQ(0, tqvs_add_series(r.database.c_str(), r.code.c_str(), kMonthly, 200001, 200012,
                                     v.data(), static_cast<int>(v.size())));
    }
}

void runCase(const DataCase &c) {
    std::vector<Event> events;
    Outcome normal;
    kovrap_faults::Scenario s;
    s.name = std::string("GetData/") + c.name + (c.direct ? "/Direct" : "/Local");
    s.direct = c.direct;
    s.setting = c.merge != 0 ? 3 : 1;
    s.setUp = [&](const Failure &f, const std::vector<Entry> &normalJournal) {
        if (!normalJournal.empty() && events.empty())
            events = classify(normalJournal, c);
        storeSeries(c);
        // Every windowed count answers from a script; the scripts queue, so
        // a count that the failure keeps from running must not leave its
        // script to the next one.
        const int skipped = skippedCount(f, events);
        const std::string script = std::string(c.direct ? "TQVD" : "TQV") + "ApplyAdvancedCount";
        const std::vector<int> order = windowedOrder(c);
        for (int m = 0; m < static_cast<int>(order.size()); ++m) {
            if (m == skipped)
                continue;
            const std::vector<double> v = scriptValues(order[static_cast<std::size_t>(m)]);
            tqvs_script_values(script.c_str(), v.data(), static_cast<int>(v.size()));
        }
    };
    s.run = [&](const Failure &f, const std::vector<Entry> &) {
        DataHost host(c);
        host.call();
        host.expectOnlyOutputsWritten();
        if (f.none()) {
            normal = host.outcome();
            EXPECT_EQ(kErrorBefore, normal.error);
            for (std::size_t k = 0; k < c.requests.size(); ++k)
                EXPECT_EQ(c.requests[k].normalStatus, normal.countStatus[k]) << "request " << k;
            return;
        }
        const Outcome expected = expectedOutcome(c, f, events, normal);
        const Outcome actual = host.outcome();
        EXPECT_EQ(expected.error, actual.error);
        EXPECT_EQ(expected.countStatus, actual.countStatus);
        for (std::size_t k = 0; k < expected.rows.size(); ++k)
            EXPECT_EQ(expected.rows[k], actual.rows[k]) << "row " << k;
    };
    kovrap_faults::runEveryFailure(s);
}

DataRequest math(const std::string &code, const std::string &db, int transformCode) {
    return DataRequest{code, db, transformCode, 0, 0, 0, 0, kStatusBefore};
}
DataRequest advanced(const std::string &code, const std::string &db, int operation, int paramB,
                     int normalStatus = kStatusBefore) {
    return DataRequest{code, db, operation, 1, paramB, 0, 0, normalStatus};
}
DataRequest windowedCount(const std::string &code, const std::string &db, int lower = 0,
                          int upper = 0) {
    return DataRequest{code, db, kWindowedCount, 1, 4, lower, upper, kStatusBefore};
}

std::vector<DataCase> dataCases() {
    std::vector<DataCase> cases;
    for (bool direct : {false, true}) {
        cases.push_back({"OneDatabase",
                         direct,
                         0,
                         {math("A0", "alpha", 1), math("A1", "alpha", -1), math("A2", "alpha", 0)},
                         {"alpha"},
                         {},
                         200004,
                         4});
        // Even requests alpha, odd beta, beta opened first.
        cases.push_back(
            {"TwoInterleaved",
             direct,
             1,
             {math("A0", "alpha", 2), math("B1", "beta", -1), advanced("A2", "alpha", 2, 1),
              math("B3", "beta", 1), math("A4", "alpha", -1), advanced("B5", "beta", 1, 2)},
             {"beta", "alpha"},
             {},
             200004,
             4});
        // alpha twice: its windowed count runs on both passes, over the
        // same base window each time.
        cases.push_back(
            {"DatabaseNamedTwice",
             direct,
             0,
             {math("A0", "alpha", 1), math("B1", "beta", -1), windowedCount("A2", "alpha")},
             {"alpha", "beta", "alpha"},
             {{199801, 200106}, {199801, 200106}},
             200004,
             4});
        // Every kind of transformation; the advanced count of code 99 fails
        // in the normal run already. The windowed counts come first: they
        // answer from scripts, which any advanced count would take.
        cases.push_back(
            {"Transformations",
             direct,
             0,
             {math("A0", "alpha", 1), windowedCount("A1", "alpha"), windowedCount("A2", "alpha"),
              windowedCount("A3", "alpha", 199801, 200106), advanced("A4", "alpha", 2, 0),
              advanced("A5", "alpha", 1, 3), advanced("A6", "alpha", 99, 0, TQVS_BAD_OPERATION),
              math("A7", "alpha", -1), math("A8", "alpha", 0), math("A9", "alpha", 5)},
             {"alpha"},
             {{199801, 200106}, {200007, 200312}, {199701, 200312}},
             200012,
             12});
    }
    // The direct path across a chunk boundary: 1005 requests, every seventh
    // of beta. Neighbouring requests ask for different series, so a row
    // paired with the wrong code of a list shows; the series repeat, so the
    // store stays small.
    DataCase chunk{"ChunkBoundary", true, 0, {}, {"alpha", "beta"}, {}, 200004, 4};
    for (int k = 0; k < 1005; ++k) {
        char code[16];
        std::snprintf(code, sizeof code, "%c%d", k % 7 == 3 ? 'B' : 'A', k % 13);
        const int transform = (k == 999 || k == 1000 || k == 1003) ? 1 : -1;
        chunk.requests.push_back(math(code, k % 7 == 3 ? "beta" : "alpha", transform));
    }
    chunk.requests[1004] = advanced("A4", "alpha", 2, 0);
    cases.push_back(chunk);
    return cases;
}

// Names the scenario in test output, instead of its bytes.
void PrintTo(const DataCase &c, std::ostream *os) {
    *os << c.name << (c.direct ? " on the direct library" : " on the local library");
}

class GetDataFaultTest : public ::testing::TestWithParam<DataCase> {};

TEST_P(GetDataFaultTest, EveryFailingCallLeavesTheOutcomeOfItsTable) {
    runCase(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, GetDataFaultTest, ::testing::ValuesIn(dataCases()),
                         kovrap_test::caseLibraryName<DataCase>);

} // namespace
