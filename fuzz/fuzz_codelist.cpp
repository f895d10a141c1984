// The code lists of the direct library: directCodelist into an exactly
// sized 10000-byte heap buffer, and the walk over databases and requests,
// each against a plain reference written the long way round.
#include "Kovrap.h"
#include "binding/walk.h"
#include "fuzz_check.h"
#include "fuzz_input.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kBufferBytes = KOVRAP_CODELIST_BYTES;
constexpr int kChunk = 1000;

struct Requests {
    std::vector<std::string> codes;
    std::vector<std::string> dbNames;
    std::vector<std::string> databases;
    std::vector<const char *> codePointers;
    std::vector<const char *> dbPointers;
    std::vector<const char *> databasePointers;
};

// The list of one chunk and database as the host's buffer holds it: the
// matching codes in request order, comma-joined, as many whole codes as fit
// with the terminator into the buffer.
std::string referenceList(const Requests &r, int first, const std::string &database) {
    std::string list;
    if (first < 0)
        return list;
    const long long end = std::min<long long>(static_cast<long long>(first) + kChunk,
                                              static_cast<long long>(r.codes.size()));
    bool any = false;
    for (long long k = first; k < end; ++k) {
        const auto i = static_cast<std::size_t>(k);
        // A code with a comma would read as two codes: it is left out.
        if (r.dbNames[i] != database || r.codes[i].find(',') != std::string::npos)
            continue;
        const std::string item = (any ? "," : "") + r.codes[i];
        if (list.size() + item.size() + 1 > kBufferBytes)
            break;
        list += item;
        any = true;
    }
    return list;
}

struct Visit {
    int request;
    bool hasArgument;
    std::string argument;
    bool operator==(const Visit &o) const {
        return request == o.request && hasArgument == o.hasArgument && argument == o.argument;
    }
};

// The walk as first described: every request tested against the database;
// on the direct library a list of the chunk's codes built at every multiple
// of 1000, going with the first call after it, null with the others. A code
// with a comma stays out of the list, and its request is visited with an
// empty code instead of the list.
std::vector<Visit> referenceWalk(const Requests &r, const std::string &database, bool direct) {
    std::vector<Visit> visits;
    std::string pending;
    bool hasPending = false;
    for (std::size_t k = 0; k < r.codes.size(); ++k) {
        if (direct && k % kChunk == 0) {
            pending.clear();
            bool any = false;
            for (std::size_t j = k; j < r.codes.size() && j < k + kChunk; ++j)
                if (r.dbNames[j] == database && r.codes[j].find(',') == std::string::npos) {
                    pending += (any ? "," : "") + r.codes[j];
                    any = true;
                }
            hasPending = true;
        }
        if (r.dbNames[k] != database)
            continue;
        if (!direct) {
            visits.push_back({static_cast<int>(k), true, r.codes[k]});
        } else if (r.codes[k].find(',') != std::string::npos) {
            visits.push_back({static_cast<int>(k), true, ""});
        } else {
            visits.push_back({static_cast<int>(k), hasPending, hasPending ? pending : ""});
            hasPending = false;
        }
    }
    return visits;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    // Up to 2559 requests: chunks of 1000 and their ends are reached.
    const int requestCount = (in.byte() | (in.byte() << 8)) % 2560;
    const int firstChoice = in.int32();
    const std::uint8_t databaseCount = static_cast<std::uint8_t>(in.byte() % 5);
    const bool direct = (in.byte() & 1) != 0;

    // The rest: a pool of codes, then a pool of names, separated by NUL
    // bytes and the two pools by a 0xFF byte. Codes may be of any length.
    std::vector<std::string> codePool;
    std::vector<std::string> namePool;
    while (!in.done()) {
        // Items of up to 40 bytes: long enough that 1000 of them overflow
        // the 10000 bytes, short enough to keep a run fast.
        const std::string item = in.text(0).substr(0, 40);
        const std::size_t cut = item.find('\xff');
        if (cut == std::string::npos) {
            (namePool.empty() && codePool.size() < 64 ? codePool : namePool).push_back(item);
        } else {
            codePool.push_back(item.substr(0, cut));
            namePool.push_back(item.substr(cut + 1));
        }
    }
    if (codePool.empty())
        codePool.push_back("");
    if (namePool.empty())
        namePool.push_back("db");

    Requests r;
    for (int k = 0; k < requestCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        r.codes.push_back(codePool[(i * 7 + i / 3) % codePool.size()]);
        r.dbNames.push_back(namePool[(i + i / codePool.size()) % namePool.size()]);
    }
    for (std::size_t d = 0; d < databaseCount; ++d)
        r.databases.push_back(namePool[(d * 5 + 1) % namePool.size()]);
    for (std::size_t k = 0; k < r.codes.size(); ++k) {
        r.codePointers.push_back(r.codes[k].c_str());
        r.dbPointers.push_back(r.dbNames[k].c_str());
    }
    for (const std::string &d : r.databases)
        r.databasePointers.push_back(d.c_str());

    // directCodelist at the chunk starts, at a start from the input and at
    // one past the end.
    const std::unique_ptr<char[]> buffer(new char[kBufferBytes]);
    std::vector<int> firsts = {0, 1000, 2000, requestCount, firstChoice};
    for (int first : firsts) {
        for (const std::string &database :
             r.databases.empty() ? std::vector<std::string>{namePool[0]} : r.databases) {
            std::memset(buffer.get(), 'x', kBufferBytes);
            directCodelist(buffer.get(), first, r.codePointers.data(), r.dbPointers.data(),
                           database.c_str(), requestCount);
            const std::string expected = referenceList(r, first, database);
            FUZZ_CHECK(std::memcmp(buffer.get(), expected.data(), expected.size()) == 0);
            for (std::size_t i = expected.size(); i < kBufferBytes; ++i)
                FUZZ_CHECK(buffer[i] == '\0');
        }
    }

    kovrap::RequestWalk walk(kovrap::Requests{r.codePointers.data(), r.dbPointers.data(),
                                              r.databasePointers.data(),
                                              static_cast<int>(r.databases.size()), requestCount},
                             direct);
    for (std::size_t d = 0; d < r.databases.size(); ++d) {
        std::vector<Visit> visits;
        walk.forEach(static_cast<int>(d), [&](int k, const char *argument) {
            visits.push_back({k, argument != nullptr, argument != nullptr ? argument : ""});
            return true;
        });
        FUZZ_CHECK(visits == referenceWalk(r, r.databases[d], direct));
    }
    return 0;
}
