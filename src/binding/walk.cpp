#include "binding/walk.h"

#include <cstring>
#include <string_view>
#include <unordered_map>

namespace kovrap {

namespace {

// Few databases are found faster by comparing names than by hashing them.
constexpr std::size_t kLinearLookup = 8;

} // namespace

RequestWalk::RequestWalk(const Requests &requests, bool direct)
    : requests_(requests), direct_(direct) {
    const int databaseCount = requests.databaseCount > 0 ? requests.databaseCount : 0;
    const int requestCount = requests.requestCount > 0 ? requests.requestCount : 0;
    groupOf_.assign(static_cast<std::size_t>(databaseCount), -1);

    // One group per distinct database name; a name given twice shares its group.
    std::vector<const char *> names;
    std::unordered_map<std::string_view, int> byName;
    for (int d = 0; d < databaseCount; ++d) {
        const char *name = requests.databases[d];
        int group = -1;
        if (databaseCount <= static_cast<int>(kLinearLookup)) {
            for (std::size_t g = 0; g < names.size(); ++g)
                if (std::strcmp(names[g], name) == 0)
                    group = static_cast<int>(g);
        } else {
            auto found = byName.find(name);
            if (found != byName.end())
                group = found->second;
        }
        if (group < 0) {
            group = static_cast<int>(names.size());
            names.push_back(name);
            if (databaseCount > static_cast<int>(kLinearLookup))
                byName.emplace(name, group);
        }
        groupOf_[static_cast<std::size_t>(d)] = group;
    }
    // Every group has a head, so a database with no requests walks nothing.
    head_.assign(names.size(), -1);
    if (requestCount == 0 || names.empty())
        return;

    std::vector<int> tail(names.size(), -1);
    next_.assign(static_cast<std::size_t>(requestCount), -1);
    for (int k = 0; k < requestCount; ++k) {
        const char *name = requests.dbNames[k];
        int group = -1;
        if (byName.empty()) {
            for (std::size_t g = 0; g < names.size(); ++g)
                if (std::strcmp(names[g], name) == 0) {
                    group = static_cast<int>(g);
                    break;
                }
        } else {
            auto found = byName.find(name);
            if (found != byName.end())
                group = found->second;
        }
        if (group < 0)
            continue;
        const auto g = static_cast<std::size_t>(group);
        if (tail[g] < 0)
            head_[g] = k;
        else
            next_[static_cast<std::size_t>(tail[g])] = k;
        tail[g] = k;
    }
}

void RequestWalk::buildList(int k) {
    list_.clear();
    const int end = chunkEnd(k / kChunk * kChunk, requests_.requestCount);
    for (; k >= 0 && k < end; k = next_[static_cast<std::size_t>(k)])
        list_.append(requests_.codes[k]);
}

} // namespace kovrap
