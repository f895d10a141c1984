// kovra check in process, with the stand-ins' control interface beside it:
// what it asks the libraries, that it leaves their aggregation modes as it
// found them, and that every answer it relies on is compared, by making each
// call of a normal run answer differently in turn.
#include "commands.h"
#include "kovra_session.h"
#include "tqv_standin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

kovra::Options checkOptions() {
    kovra::Options options;
    options.command = "check";
    options.library = KOVRAP_LIBRARY_PATH;
    return options;
}

// The modes the libraries hold before each run: neither is the default, so
// that a mode put back to 0 shows.
constexpr int kLocalMode = 3;
constexpr int kDirectMode = 2;

void setModes(const kovra::Api &api) {
    ASSERT_EQ(0, api.setAggmode(0, kLocalMode));
    ASSERT_EQ(0, api.setAggmode(1, kDirectMode));
}

struct Call {
    std::string operation; // TQVGetObsNum, TQVDSetAggregationMode, ...
    std::string text;      // TQVGetObsNum(202312, 202400, 40)
    int result = 0;
};

std::vector<Call> journal() {
    std::vector<Call> calls;
    for (int i = 0; i < tqvs_log_size(); ++i) {
        const std::string entry = tqvs_log_entry(i);
        const std::size_t arrow = entry.rfind(" -> ");
        Call call;
        call.operation = entry.substr(0, entry.find('('));
        call.text = entry.substr(0, arrow);
        call.result = std::stoi(entry.substr(arrow + 4));
        calls.push_back(call);
    }
    return calls;
}

// The counts whose answers are information: how a day inside a week, and a
// weekend day next to no business day, is read.
const char *const kInformation[] = {
    "TQVGetObsNum(20240104, 20240107, 57)", "TQVGetObsNum(20231231, 20240104, 57)",
    "TQVGetObsNum(20240103, 20240105, 55)", "TQVGetObsNum(20231229, 20240103, 55)",
    "TQVGetObsNum(20240107, 20240108, 61)", "TQVGetObsNum(20240105, 20240106, 61)",
};

bool isInformation(const std::string &text) {
    return std::find(std::begin(kInformation), std::end(kInformation), text) !=
           std::end(kInformation);
}

// Without a database named the check reads none and logs in nowhere: it
// asks counts, dates, modes and versions, and the last mode each library is
// given is the one it had.
TEST(KovraCheckAnswers, AsksOnlyAndPutsEachLibrarysModeBack) {
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    setModes(session->api());
    tqvs_set_journal(1);
    const kovra::Output output = kovra::runCheck(checkOptions());
    EXPECT_EQ(0, output.status) << output.out;
    const std::vector<Call> calls = journal();
    tqvs_set_journal(0);

    EXPECT_EQ(kLocalMode, tqvs_aggregation_mode(0));
    EXPECT_EQ(kDirectMode, tqvs_aggregation_mode(1));
    const std::vector<std::string> asked = {"TQVGetObsNum",           "TQVGetDate",
                                            "TQVGetAggregationMode",  "TQVSetAggregationMode",
                                            "TQVDGetAggregationMode", "TQVDSetAggregationMode",
                                            "TQVGetVersion",          "TQVDGetVersion"};
    std::string lastLocalSet, lastDirectSet;
    for (const Call &call : calls) {
        EXPECT_NE(asked.end(), std::find(asked.begin(), asked.end(), call.operation)) << call.text;
        if (call.operation == "TQVSetAggregationMode")
            lastLocalSet = call.text;
        if (call.operation == "TQVDSetAggregationMode")
            lastDirectSet = call.text;
    }
    EXPECT_EQ("TQVSetAggregationMode(3)", lastLocalSet);
    EXPECT_EQ("TQVDSetAggregationMode(2)", lastDirectSet);
    EXPECT_EQ(50, std::count_if(calls.begin(), calls.end(),
                                [](const Call &c) { return c.operation == "TQVGetObsNum"; }));
    EXPECT_EQ(0, tqvs_open_count(0) + tqvs_open_count(1));
}

// Each call of a normal run in turn answers something else: a count or a
// date one more, a mode one more, a set or a version refused. Every one
// fails the check but those of the information, and the modes come back
// unless the library lied about the mode to put back or refused to take it.
TEST(KovraCheckAnswers, EveryAnswerItReliesOnIsCompared) {
    const std::unique_ptr<kovra::Session> session = openSession();
    ASSERT_NE(nullptr, session);
    setModes(session->api());
    tqvs_set_journal(1);
    ASSERT_EQ(0, kovra::runCheck(checkOptions()).status);
    const std::vector<Call> normal = journal();
    ASSERT_FALSE(normal.empty());

    // The calls after which a mode cannot come back: the read of each
    // library's mode just before it is changed (the mode put back), and the
    // set that puts it back.
    std::vector<std::size_t> modeLost;
    for (const char *library : {"TQV", "TQVD"}) {
        const std::string get = std::string(library) + "GetAggregationMode";
        const std::string set = std::string(library) + "SetAggregationMode";
        int gets = 0;
        int sets = 0;
        for (std::size_t p = 0; p < normal.size(); ++p) {
            if (normal[p].operation == get && ++gets == 2)
                modeLost.push_back(p);
            if (normal[p].operation == set && ++sets == 2)
                modeLost.push_back(p);
        }
    }
    ASSERT_EQ(4u, modeLost.size());

    std::size_t informing = 0;
    for (std::size_t p = 0; p < normal.size(); ++p) {
        const Call &call = normal[p];
        int other = call.result + 1;
        if (call.operation.find("SetAggregationMode") != std::string::npos)
            other = TQVS_BAD_OPERATION;
        else if (call.operation.find("GetVersion") != std::string::npos)
            other = 7;
        tqvs_set_journal(0);
        setModes(session->api());
        tqvs_set_journal(1);
        tqvs_fail_at(static_cast<int>(p), other);
        const kovra::Output output = kovra::runCheck(checkOptions());
        const std::vector<Call> run = journal();
        ASSERT_LT(p, run.size());
        ASSERT_EQ(call.text, run[p].text) << "the run asked something else at " << p;
        const bool information = isInformation(call.text);
        informing += information ? 1 : 0;
        EXPECT_EQ(information ? 0 : 1, output.status) << call.text << " answered " << other << "\n"
                                                      << output.out;
        if (std::find(modeLost.begin(), modeLost.end(), p) == modeLost.end()) {
            EXPECT_EQ(kLocalMode, tqvs_aggregation_mode(0)) << call.text;
            EXPECT_EQ(kDirectMode, tqvs_aggregation_mode(1)) << call.text;
        }
    }
    EXPECT_EQ(std::size(kInformation), informing);
    tqvs_set_journal(0);
    session->api().setAggmode(0, 0);
    session->api().setAggmode(1, 0);
}

} // namespace
