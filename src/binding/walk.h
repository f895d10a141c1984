// The walk over databases and requests that the data retrieval and the
// information query share. For each database, in the order named, the
// requests that belong to it are visited in index order, with the argument
// that takes the series code's place in the library call: the code itself on
// the local library; on the direct library the chunk's code list with the
// first call of each chunk of 1000 requests, and null after it.
//
// The requests are grouped by database once per call (one int per request),
// so a walk over many databases costs no requests x databases comparisons,
// while the library sees exactly the calls, lists and order of a plain walk
// that tests every request against every database.
#ifndef KOVRAP_WALK_H
#define KOVRAP_WALK_H

#include "catalogue/codelist.h"

#include <climits>
#include <memory>
#include <vector>

namespace kovrap {

struct Requests {
    const char *const *codes;
    const char *const *dbNames;
    const char *const *databases;
    int databaseCount;
    int requestCount;
};

class RequestWalk {
  public:
    RequestWalk(const Requests &requests, bool direct);

    // Calls visit(k, codeArgument) for every request of databases[d]; stops
    // and returns false as soon as visit returns false.
    template <class Visit> bool forEach(int d, Visit &&visit) {
        const int group = groupOf_[static_cast<std::size_t>(d)];
        if (group < 0)
            return true;
        const int *next = next_.get();
        int k = next[headSlot(group)];
        if (!direct_) {
            for (; k >= 0; k = next[k])
                if (!visit(k, requests_.codes[k]))
                    return false;
            return true;
        }
        // The chunk of the list built last ends before this request index.
        int chunkEnd = 0;
        for (; k >= 0; k = next[k]) {
            const char *list = nullptr;
            if (k >= chunkEnd) {
                const int chunkStart = k - k % kChunk;
                chunkEnd = chunkStart < INT_MAX - kChunk ? chunkStart + kChunk : INT_MAX;
                buildList(k, chunkEnd);
                list = list_.text();
            }
            if (!visit(k, list))
                return false;
        }
        return true;
    }

  private:
    // Where the first request of a group is kept: behind the per-request
    // links, so that linking a request needs no test for an empty group.
    std::size_t headSlot(int group) const {
        return static_cast<std::size_t>(requests_.requestCount) + static_cast<std::size_t>(group);
    }
    // Lists the codes of k's group from k up to chunkEnd.
    void buildList(int k, int chunkEnd);

    Requests requests_;
    bool direct_;
    std::vector<int> groupOf_; // group of each entry of databases, -1 if none
    // next_[k]: the next request of k's group, -1 at the end; then one slot
    // per group with its first request, -1 if none. Entries of requests of
    // no database are never read, and never written: no fill pass.
    std::unique_ptr<int[]> next_;
    CodeList list_;
};

} // namespace kovrap

#endif
