// Optional pointer arguments: a pointer that a call does not need for the
// work asked may be null, and the call then does the rest of its work as
// usual. Each case runs an export once with every pointer and once with one
// pointer null, and compares everything the host can observe (the library
// call journal, the result and every host array) but the part behind that
// pointer.
#include "Kovrap.h"
#include "info_host.h"
#include "standin_fixture.h"
#include "tqvlib.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

using kovrap_test::InfoHost;

// What the host sees after a call, part by part.
using Parts = std::map<std::string, std::string>;

std::string joined(const std::vector<int> &values) {
    std::string text;
    for (int v : values)
        text += std::to_string(v) + " ";
    return text;
}

std::string joined(const std::vector<double> &values) {
    std::string text;
    for (double v : values)
        text += std::to_string(v) + " ";
    return text;
}

std::string journalText() {
    std::string text;
    for (const std::string &entry : kovrap_test::journal())
        text += entry + "\n";
    return text;
}

std::vector<const char *> pointers(const std::vector<std::string> &texts) {
    std::vector<const char *> out;
    for (const std::string &t : texts)
        out.push_back(t.c_str());
    return out;
}

struct NullCase {
    std::string name;
    std::function<Parts(bool nulled)> run;
    std::vector<std::string> nulledParts; // written only when the pointer is given
    // Whether the part holds, after a call with the pointer, something other
    // than what the host put there; false only where the two coincide.
    bool partChanges = true;
};

void PrintTo(const NullCase &c, std::ostream *os) {
    *os << c.name;
}

// ---------------------------------------------------------------------------
// c_kovraSeriesInfo

const int kMonthly = 40;
const int kAnnual = 10;

void addSeries(const char *database, const char *code, int frequency, int first, int last,
               int attribute1, int attribute6) {
    tqvs_add_database(database);
    std::vector<double> values;
    const int count = frequency == kAnnual ? last - first + 1 : 12;
    for (int i = 0; i < count; ++i)
        values.push_back(100.0 + i);
    ASSERT_EQ(0, tqvs_add_series(database, code, frequency, first, last, values.data(),
                                 static_cast<int>(values.size())));
    const int attributes[6] = {attribute1, 2, 3, 4, 5, attribute6};
    const char *const texts[7] = {"t1", "t2", "t3", "t4", "t5", "t6", "t7"};
    ASSERT_EQ(0, tqvs_set_attributes(database, code, attributes, texts));
}

// Requests that fill every status list but list 3 (direct status 4 only),
// with the statuses set on stored series.
struct InfoSet {
    std::vector<std::string> codes;
    std::vector<std::string> dbNames;
    std::vector<std::string> databases;
};

InfoSet sortedSet() {
    addSeries("alpha", "OK1", kMonthly, 200001, 200012, 1, 0);
    addSeries("alpha", "OK2", kAnnual, 1990, 1999, 1, 0);
    const std::pair<const char *, int> failing[] = {{"S2", 2}, {"S3", 3}, {"S4", 4},
                                                    {"S5", 5}, {"S6", 6}, {"S7", 7}};
    for (const auto &f : failing) {
        addSeries("alpha", f.first, kMonthly, 200001, 200012, 1, 0);
        EXPECT_EQ(0, tqvs_set_info_status("alpha", f.first, f.second));
    }
    return {{"OK1", "MISSING", "S2", "S3", "S4", "S5", "S6", "S7", "OK2"},
            std::vector<std::string>(9, "alpha"),
            {"alpha"}};
}

// Requests that all succeed, so that the common range runs: an empty series,
// an annual one that the lowest code chooses, and monthly ones above it.
InfoSet rangeSet() {
    addSeries("alpha", "EMPTY", kMonthly, 200001, 200012, 0, 0);
    addSeries("alpha", "YEARS", kAnnual, 1990, 1999, 1, 5);
    addSeries("alpha", "M1", kMonthly, 200001, 200012, 1, 0);
    addSeries("alpha", "M2", kMonthly, 200001, 200012, 1, 9);
    return {{"EMPTY", "YEARS", "M1", "M2"}, std::vector<std::string>(4, "alpha"), {"alpha"}};
}

struct InfoCall {
    bool direct = false;
    bool range = false;        // the range set with the common range asked for
    bool classifyOnly = false; // only sort the requests
    // Nulls one pointer of the host's records, or of the call: the records
    // themselves are passed as what these point to.
    std::function<void(InfoHost &, InfoStatusLists *&, SeriesInfoColumns *&, CommonRange *&,
                       RangeExclusions *&)>
        nullify;
};

Parts runInfo(const InfoCall &call, bool nulled) {
    tqvs_reset();
    tqvs_set_logged_in(1);
    const InfoSet set = call.range ? rangeSet() : sortedSet();
    InfoHost host(static_cast<int>(set.codes.size()));
    host.status.classifyOnly = call.classifyOnly ? 1 : 0;
    if (call.range) {
        host.range.computeRange = 1;
        host.requestedFrequency = 1000;
        host.start = -1;
        host.end = -1;
    }
    InfoStatusLists *status = &host.status;
    SeriesInfoColumns *columns = &host.columns;
    CommonRange *range = &host.range;
    RangeExclusions *exclusions = &host.exclusions;
    if (nulled)
        call.nullify(host, status, columns, range, exclusions);
    const std::vector<const char *> codes = pointers(set.codes);
    const std::vector<const char *> dbNames = pointers(set.dbNames);
    const std::vector<const char *> databases = pointers(set.databases);
    tqvs_clear_log();
    c_kovraSeriesInfo(call.direct ? 1 : 0, status, columns, codes.data(), dbNames.data(),
                      databases.data(), static_cast<int>(databases.size()),
                      static_cast<int>(codes.size()), 0, 0, range, exclusions);

    Parts parts;
    parts["journal"] = journalText();
    parts["counts"] = joined(host.counts);
    for (int n = 0; n < 7; ++n)
        parts["list" + std::to_string(n)] = joined(host.lists[n]);
    const std::pair<const char *, const std::vector<int> *> ints[] = {
        {"firstDate", &host.firstDate},   {"lastDate", &host.lastDate},
        {"attribute1", &host.attribute1}, {"frequency", &host.frequency},
        {"attribute2", &host.attribute2}, {"attribute3", &host.attribute3},
        {"attribute4", &host.attribute4}, {"attribute5", &host.attribute5},
        {"attribute6", &host.attribute6}};
    for (const auto &column : ints)
        parts[column.first] = joined(*column.second);
    const char *const texts[] = {"code",  "text1", "text2", "text3",
                                 "text4", "text5", "text6", "text7"};
    for (int t = 0; t < kovrap_test::kTextColumns; ++t)
        for (std::size_t k = 0; k < set.codes.size(); ++k)
            parts[texts[t]] += host.text(t, static_cast<int>(k)) + "|";
    parts["range"] = joined(std::vector<int>{host.requestedFrequency, host.start, host.end});
    parts["observationCount"] = std::to_string(host.observationCount);
    parts["exclusionCounts"] = joined(host.exclusionCounts);
    for (int n = 0; n < 3; ++n)
        parts["exclusion" + std::to_string(n)] = joined(host.exclusionLists[n]);
    return parts;
}

NullCase infoCase(const std::string &name, const InfoCall &call,
                  const std::vector<std::string> &nulledParts) {
    return {"SeriesInfo, " + name, [call](bool nulled) { return runInfo(call, nulled); },
            nulledParts};
}

std::vector<NullCase> infoCases() {
    std::vector<NullCase> cases;
    const auto sorted = [](auto nullify) {
        InfoCall call;
        call.nullify = nullify;
        return call;
    };
    const auto ranged = [](auto nullify) {
        InfoCall call;
        call.range = true;
        call.nullify = nullify;
        return call;
    };
    cases.push_back(
        infoCase("no status record",
                 sorted([](InfoHost &, InfoStatusLists *&s, SeriesInfoColumns *&, CommonRange *&,
                           RangeExclusions *&) { s = nullptr; }),
                 {"counts", "list0", "list1", "list2", "list3", "list4", "list5", "list6"}));
    cases.push_back(
        infoCase("no status counts",
                 sorted([](InfoHost &h, InfoStatusLists *&, SeriesInfoColumns *&, CommonRange *&,
                           RangeExclusions *&) { h.status.statusCounts = nullptr; }),
                 {"counts"}));
    for (int n = 0; n < 7; ++n) {
        InfoCall call = sorted([n](InfoHost &h, InfoStatusLists *&, SeriesInfoColumns *&,
                                   CommonRange *&, RangeExclusions *&) {
            int **lists[7] = {&h.status.statusList0, &h.status.statusList1, &h.status.statusList2,
                              &h.status.statusList3, &h.status.statusList4, &h.status.statusList5,
                              &h.status.statusList6};
            *lists[n] = nullptr;
        });
        // Only the direct library has a list of its own for status 4.
        call.direct = n == 3;
        cases.push_back(
            infoCase("no status list " + std::to_string(n), call, {"list" + std::to_string(n)}));
    }
    {
        InfoCall call = sorted([](InfoHost &, InfoStatusLists *&, SeriesInfoColumns *&c,
                                  CommonRange *&, RangeExclusions *&) { c = nullptr; });
        call.classifyOnly = true;
        cases.push_back(infoCase("no columns record when only sorting", call, {}));
    }
    cases.push_back(infoCase("no columns record",
                             sorted([](InfoHost &, InfoStatusLists *&, SeriesInfoColumns *&c,
                                       CommonRange *&, RangeExclusions *&) { c = nullptr; }),
                             {"code", "firstDate", "lastDate", "attribute1", "frequency",
                              "attribute2", "attribute3", "attribute4", "attribute5", "attribute6",
                              "text1", "text2", "text3", "text4", "text5", "text6", "text7"}));
    cases.push_back(
        infoCase("no code column",
                 sorted([](InfoHost &h, InfoStatusLists *&, SeriesInfoColumns *&, CommonRange *&,
                           RangeExclusions *&) { h.columns.code = nullptr; }),
                 {"code"}));
    cases.push_back(
        infoCase("no attribute 3 column",
                 sorted([](InfoHost &h, InfoStatusLists *&, SeriesInfoColumns *&, CommonRange *&,
                           RangeExclusions *&) { h.columns.attribute3 = nullptr; }),
                 {"attribute3"}));
    cases.push_back(
        infoCase("no text 5 column",
                 sorted([](InfoHost &h, InfoStatusLists *&, SeriesInfoColumns *&, CommonRange *&,
                           RangeExclusions *&) { h.columns.text5 = nullptr; }),
                 {"text5"}));
    // No range is asked for in the sorted set: neither record is read.
    cases.push_back(infoCase("no range records when no range is asked for",
                             sorted([](InfoHost &, InfoStatusLists *&, SeriesInfoColumns *&,
                                       CommonRange *&r, RangeExclusions *&e) {
                                 r = nullptr;
                                 e = nullptr;
                             }),
                             {}));
    cases.push_back(infoCase("no exclusions record",
                             ranged([](InfoHost &, InfoStatusLists *&, SeriesInfoColumns *&,
                                       CommonRange *&, RangeExclusions *&e) { e = nullptr; }),
                             {"exclusionCounts", "exclusion0", "exclusion1", "exclusion2"}));
    cases.push_back(
        infoCase("no exclusion counts",
                 ranged([](InfoHost &h, InfoStatusLists *&, SeriesInfoColumns *&, CommonRange *&,
                           RangeExclusions *&) { h.exclusions.exclusionCounts = nullptr; }),
                 {"exclusionCounts"}));
    cases.push_back(
        infoCase("no empty list",
                 ranged([](InfoHost &h, InfoStatusLists *&, SeriesInfoColumns *&, CommonRange *&,
                           RangeExclusions *&) { h.exclusions.emptyList = nullptr; }),
                 {"exclusion0"}));
    cases.push_back(
        infoCase("no higher-frequency list",
                 ranged([](InfoHost &h, InfoStatusLists *&, SeriesInfoColumns *&, CommonRange *&,
                           RangeExclusions *&) { h.exclusions.higherFrequencyList = nullptr; }),
                 {"exclusion1"}));
    cases.push_back(
        infoCase("no observation count",
                 ranged([](InfoHost &h, InfoStatusLists *&, SeriesInfoColumns *&, CommonRange *&,
                           RangeExclusions *&) { h.range.observationCount = nullptr; }),
                 {"observationCount"}));
    cases.push_back(
        infoCase("no status record with the range",
                 ranged([](InfoHost &, InfoStatusLists *&s, SeriesInfoColumns *&, CommonRange *&,
                           RangeExclusions *&) { s = nullptr; }),
                 {"counts", "list0", "list1", "list2", "list3", "list4", "list5", "list6"}));
    return cases;
}

// ---------------------------------------------------------------------------
// c_kovraGetData

constexpr double kUntouchedValue = -7.5;
constexpr int kObs = 4;

struct DataCall {
    std::vector<std::string> codes;
    int transformSwitch = 0; // transformCode[0]
    int advancedCode = 0;    // advanced count of request 1, when the switch is on
    std::vector<std::string> databases = {"alpha"};
    // 0 error cell, 1 transforms record, 2 countStatus array, 3 windows record
    int nulled = 0;
};

Parts runData(const DataCall &call, bool nulled) {
    tqvs_reset();
    addSeries("alpha", "A1", kMonthly, 200001, 200012, 1, 0);
    addSeries("alpha", "A2", kMonthly, 200001, 200012, 1, 0);
    const int n = static_cast<int>(call.codes.size());
    const std::vector<std::string> dbNames(call.codes.size(), "alpha");
    std::vector<double> values(static_cast<std::size_t>(n * kObs), kUntouchedValue);
    std::vector<int> transformCode(call.codes.size(), -1);
    std::vector<int> zeros(call.codes.size(), 0);
    std::vector<int> advancedFlag(call.codes.size(), 0);
    std::vector<int> countStatus(call.codes.size(), -99);
    transformCode[0] = call.transformSwitch;
    if (call.advancedCode != 0) {
        transformCode[1] = call.advancedCode;
        advancedFlag[1] = 1;
    }
    TransformArrays transforms{
        transformCode.data(), zeros.data(),        zeros.data(), zeros.data(),
        zeros.data(),         advancedFlag.data(), nullptr,      countStatus.data()};
    AdvancedWindows windows{zeros.data(), zeros.data()};
    int error = 0;
    TransformArrays *t = &transforms;
    AdvancedWindows *w = &windows;
    int *e = &error;
    if (nulled) {
        if (call.nulled == 0)
            e = nullptr;
        else if (call.nulled == 1)
            t = nullptr;
        else if (call.nulled == 2)
            transforms.countStatus = nullptr;
        else
            w = nullptr;
    }
    const std::vector<const char *> codes = pointers(call.codes);
    const std::vector<const char *> names = pointers(dbNames);
    const std::vector<const char *> databases = pointers(call.databases);
    tqvs_clear_log();
    c_kovraGetData(0, values.data(), codes.data(), names.data(), databases.data(),
                   static_cast<int>(databases.size()), n, 200001, 200004, kMonthly, 0, kObs, t, w,
                   e);
    return {{"journal", journalText()},
            {"values", joined(values)},
            {"countStatus", joined(countStatus)},
            {"error", std::to_string(error)}};
}

std::vector<NullCase> dataCases() {
    const auto dataCase = [](const std::string &name, const DataCall &call,
                             const std::vector<std::string> &nulledParts) {
        return NullCase{"GetData, " + name, [call](bool nulled) { return runData(call, nulled); },
                        nulledParts};
    };
    std::vector<NullCase> cases;
    DataCall call;
    call.codes = {"A1", "NOPE", "A2"};
    call.nulled = 0;
    cases.push_back(dataCase("no error cell, a fetch fails", call, {"error"}));
    call.codes = {"A1", "A2"};
    call.databases = {"alpha", "missing"};
    cases.push_back(dataCase("no error cell, an open fails", call, {"error"}));
    call.databases = {"alpha"};
    call.nulled = 1;
    cases.push_back(dataCase("no transform arrays when transformations are off", call, {}));
    call.transformSwitch = -1;
    call.advancedCode = 99999; // an operation code the library refuses
    call.nulled = 2;
    cases.push_back(dataCase("no countStatus, an advanced count fails", call, {"countStatus"}));
    call.nulled = 3;
    cases.push_back(dataCase("no windows when no request has the windowed count", call, {}));
    return cases;
}

// ---------------------------------------------------------------------------
// c_kovraGetCodes and the pass-throughs

std::vector<NullCase> otherCases() {
    std::vector<NullCase> cases;
    for (int direct : {0, 1})
        cases.push_back({std::string("GetCodes, no error cell, the ") +
                             (direct != 0 ? "direct listing" : "open") + " fails",
                         [direct](bool nulled) {
                             tqvs_reset();
                             addSeries("alpha", "A1", kMonthly, 200001, 200012, 1, 0);
                             // Logged out, the direct library refuses the listing.
                             std::vector<char> output(64, 'x');
                             int error = 0;
                             tqvs_clear_log();
                             const int result = c_kovraGetCodes(direct, output.data(),
                                                                direct != 0 ? "alpha" : "missing",
                                                                nulled ? nullptr : &error);
                             return Parts{{"journal", journalText()},
                                          {"result", std::to_string(result)},
                                          {"output", std::string(output.data(), output.size())},
                                          {"error", std::to_string(error)}};
                         },
                         {"error"}});
    for (int which = 0; which < 3; ++which)
        cases.push_back({"CVersion, no " + std::string(which == 0   ? "interface version"
                                                       : which == 1 ? "local version"
                                                                    : "direct version"),
                         [which](bool nulled) {
                             tqvs_reset();
                             tqvs_set_version(0, "local 1.2");
                             tqvs_set_version(1, "direct 3.4");
                             int version = -1;
                             char local[20] = "?";
                             char direct[20] = "?";
                             tqvs_clear_log();
                             const int result =
                                 c_kovraCVersion(nulled && which == 0 ? nullptr : &version,
                                                 nulled && which == 1 ? nullptr : local,
                                                 nulled && which == 2 ? nullptr : direct);
                             return Parts{{"journal", journalText()},
                                          {"result", std::to_string(result)},
                                          {"interface", std::to_string(version)},
                                          {"local", local},
                                          {"direct", direct}};
                         },
                         {which == 0   ? "interface"
                          : which == 1 ? "local"
                                       : "direct"}});
    for (const char *password : {"secret", "wrong"})
        cases.push_back({std::string("Authenticate, no status cell, password ") + password,
                         [password](bool nulled) {
                             tqvs_reset();
                             tqvs_set_credentials("user", "secret");
                             int status = 0; // what the library's own cell holds on entry too
                             tqvs_clear_log();
                             const int result = c_kovraAuthenticate(
                                 "user", password, nulled ? nullptr : &status, "service");
                             return Parts{{"journal", journalText()},
                                          {"result", std::to_string(result)},
                                          {"loggedIn", std::to_string(tqvs_logged_in())},
                                          {"status", std::to_string(status)}};
                         },
                         {"status"},
                         // A successful log-in writes 0, what the cell held.
                         std::string(password) != "secret"});
    cases.push_back({"directCodelist, no request arrays and no database for an empty chunk",
                     [](bool nulled) {
                         const std::vector<const char *> codes = {"A1"};
                         std::vector<char> buffer(KOVRAP_CODELIST_BYTES, 'x');
                         directCodelist(buffer.data(), 1, nulled ? nullptr : codes.data(),
                                        nulled ? nullptr : codes.data(), nulled ? nullptr : "alpha",
                                        1);
                         return Parts{{"buffer", std::string(buffer.data(), buffer.size())}};
                     },
                     {}});
    return cases;
}

std::vector<NullCase> allCases() {
    std::vector<NullCase> cases = infoCases();
    for (std::vector<NullCase> more : {dataCases(), otherCases()})
        cases.insert(cases.end(), more.begin(), more.end());
    return cases;
}

class NullPointer : public kovrap_test::StandinTest,
                    public ::testing::WithParamInterface<NullCase> {};

TEST_P(NullPointer, TheRestOfTheWorkIsDoneAsUsual) {
    const NullCase &c = GetParam();
    Parts given = c.run(false);
    Parts nulled = c.run(true);
    for (const std::string &part : c.nulledParts) {
        ASSERT_EQ(1u, given.count(part)) << part;
        given.erase(part);
        nulled.erase(part);
    }
    EXPECT_EQ(given, nulled);
}

std::string caseName(const ::testing::TestParamInfo<NullCase> &info) {
    std::string name;
    bool upper = true;
    for (char ch : info.param.name) {
        const bool alnum =
            (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
        if (!alnum) {
            upper = true;
            continue;
        }
        name += upper && ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
        upper = false;
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Exports, NullPointer, ::testing::ValuesIn(allCases()), caseName);

// The cases above compare against a run with every pointer; these show that
// the part behind a given pointer is really written, so that a null one
// saves the host something.
class NullPointerParts : public kovrap_test::StandinTest {};

TEST_F(NullPointerParts, EveryCaseWritesWhatItNulls) {
    for (const NullCase &c : allCases()) {
        if (c.nulledParts.empty() || !c.partChanges)
            continue;
        const Parts given = c.run(false);
        const Parts nulled = c.run(true);
        bool differs = false;
        for (const std::string &part : c.nulledParts)
            differs = differs || given.at(part) != nulled.at(part);
        EXPECT_TRUE(differs) << c.name;
    }
}

} // namespace
