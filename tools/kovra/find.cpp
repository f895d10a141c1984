// find: the series whose code or texts hold every word the user gives, across
// databases, through one listing and one information query per database.
#include "commands.h"

#include "failure.h"
#include "formats.h"
#include "range.h"
#include "rules.h"
#include "session.h"
#include "standin.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace kovra {

namespace {

// Texts 1 to 5 are the ones searched: unit, short name, area, what a period
// holds and the description. Texts 6 and 7 say where the data came from.
constexpr std::size_t kSearchedTexts = 5;

// Letters A to Z match in either case; every other byte as it is, since the
// texts' encoding is the database's.
std::string folded(std::string text) {
    for (char &c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::vector<std::string> wordsOf(const std::vector<std::string> &operands) {
    std::vector<std::string> words;
    for (const std::string &operand : operands) {
        if (shownName(operand) != operand)
            usageError("'" + shownName(operand) + "' holds a control character");
        std::size_t i = 0;
        while ((i = operand.find_first_not_of(' ', i)) != std::string::npos) {
            const std::size_t end = std::min(operand.find(' ', i), operand.size());
            words.push_back(folded(operand.substr(i, end - i)));
            i = end;
        }
    }
    if (words.empty())
        usageError("find takes at least one word");
    return words;
}

// Without --db: the database files of the current folder, by name, as the
// stand-in's local library opens them. Another library keeps its databases
// its own way: they must be named.
std::vector<std::string> databasesHere(const Session &session) {
    if (!session.standin())
        usageError("the database library loaded does not say where its databases are: name them "
                   "with --db");
    const std::vector<std::string> names = standinDatabasesIn(".");
    if (names.empty())
        fail(std::string("no database file (*") + kStandinDatabaseExtension +
             ") in the current folder: name the databases with --db");
    return names;
}

std::string periodCount(const Api &api, const SeriesInfo &info) {
    if (info.attributes[0] == 0)
        return "-";
    const int first = api.ymdToTqvdate(info.firstDate, info.frequency);
    const int last = api.ymdToTqvdate(info.lastDate, info.frequency);
    return std::to_string(api.getObsNum(first, last, info.frequency));
}

struct Match {
    int rank; // 0: a word is in the code; 1: in the texts only
    std::string name;
    SeriesInfo info;
};

} // namespace

Output runFind(const Options &options) {
    const std::vector<std::string> words = wordsOf(options.operands);
    for (const std::string &database : options.databases)
        if (shownName(database) != database)
            usageError("'" + shownName(database) + "' holds a control character");
    if (options.direct && options.databases.empty())
        usageError("the direct library cannot list its databases: name them with --db");
    const Session session(options);
    const Api &api = session.api();
    // One frequency, or the weekly group for weeks of any day.
    int frequency = 0;
    bool anyWeek = false;
    if (options.freq) {
        anyWeek = folded(*options.freq) == "weekly";
        frequency = parseFrequency(api, *options.freq);
        if (frequency == kLowestFrequency)
            usageError("find keeps one frequency, and 'lowest' names none");
    }
    const std::vector<std::string> databases =
        options.databases.empty() ? databasesHere(session) : options.databases;

    std::vector<Match> matches;
    Output output;
    for (const std::string &database : databases) {
        CodeListing listing = session.listing(database);
        // A direct listing stops at the interface's 32 calls for names: the
        // series after them cannot be found, and the user is told so.
        if (listing.mayBeCut)
            output.notes += "kovra: note: the listing of " + database +
                            " may have been cut at the direct library's limit of 32 calls; "
                            "series after them are not searched\n";
        std::vector<SeriesRef> refs;
        for (std::string &code : listing.codes)
            refs.push_back({database, code, database + ":" + code});
        if (refs.empty())
            continue;
        InfoResult info = querySeries(session, refs, nullptr);
        for (std::size_t j = 0; j < refs.size(); ++j) {
            SeriesInfo &s = info.series[j];
            if (s.statusList >= 0)
                continue; // the library gave no information for it
            if (options.freq && !(anyWeek ? isWeekly(s.frequency) : s.frequency == frequency))
                continue;
            const std::string code = folded(refs[j].code);
            std::vector<std::string> texts;
            for (std::size_t t = 0; t < kSearchedTexts; ++t)
                texts.push_back(folded(s.texts[t]));
            bool all = true;
            bool inCode = false;
            for (const std::string &word : words) {
                const bool here = code.find(word) != std::string::npos;
                inCode = inCode || here;
                all = all && (here || std::any_of(texts.begin(), texts.end(),
                                                  [&word](const std::string &text) {
                                                      return text.find(word) != std::string::npos;
                                                  }));
            }
            if (all)
                matches.push_back({inCode ? 0 : 1, refs[j].name, std::move(s)});
        }
    }
    // Code matches first, then by code; the order of the databases breaks ties.
    std::stable_sort(matches.begin(), matches.end(), [](const Match &a, const Match &b) {
        return a.rank != b.rank ? a.rank < b.rank : a.info.code < b.info.code;
    });

    Table table({"name", "code", "frequency", "first", "last", "periods", "text1", "text2", "text3",
                 "text4", "text5"},
                {false, false, false, false, false, true, false, false, false, false, false});
    for (const Match &m : matches) {
        const SeriesInfo &s = m.info;
        const bool empty = s.attributes[0] == 0;
        table.add({m.name, s.code, frequencyName(s.frequency),
                   empty ? "-" : periodLabel(s.firstDate, s.frequency),
                   empty ? "-" : periodLabel(s.lastDate, s.frequency), periodCount(api, s),
                   s.texts[0], s.texts[1], s.texts[2], s.texts[3], s.texts[4]});
    }
    output.out = table.render();
    return output;
}

} // namespace kovra
