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
// that tests every request against every database. When the grouping cannot
// be allocated the walk is that plain walk: it needs no memory of its own,
// so the local path never fails for want of memory.
//
// On the direct path a code that holds a comma cannot travel in a
// comma-joined list: the library would read it as two codes and answer every
// later request of the chunk for the code before it. Such a code is left out
// of the list and its request is visited with kUnlisted in place of the code
// argument; the list goes with the next request that is asked for.
#ifndef KOVRAP_WALK_H
#define KOVRAP_WALK_H

#include "binding/codelist.h"

#include <cstring>
#include <memory>
#include <vector>

namespace kovrap {

// The code argument of a request whose code cannot travel in a code list.
// Compared by address only.
inline constexpr char kUnlisted[] = "";

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

    // Calls visit(k, codeArgument) for every request of databases[d], and
    // unlisted(k) instead for a request whose code cannot travel in the
    // direct path's list; stops and returns false as soon as either returns
    // false.
    template <class Visit, class Unlisted> bool forEach(int d, Visit &&visit, Unlisted &&unlisted) {
        if (plain_)
            return plainForEach(d, visit, unlisted);
        const int group = groupOf_[static_cast<std::size_t>(d)];
        if (group < 0)
            return true;
        const int *links = next_.get();
        return walk(
            links[headSlot(group)], [links](int k) { return links[k]; }, visit, unlisted);
    }
    // The same, with visit(k, kUnlisted) for such a request.
    template <class Visit> bool forEach(int d, Visit &&visit) {
        return forEach(d, visit, [&visit](int k) { return visit(k, kUnlisted); });
    }

    // Calls visit(k) for every request of databases[d] in index order, with
    // no code list and no memory of its own: for the requests that a walk
    // broken off for want of memory could not ask.
    template <class Visit> void forEachRequest(int d, Visit &&visit) const {
        if (plain_) {
            const PlainNext next = plainNext(d);
            for (int k = next(-1); k >= 0; k = next(k))
                visit(k);
            return;
        }
        const int group = groupOf_[static_cast<std::size_t>(d)];
        if (group < 0)
            return;
        const int *links = next_.get();
        for (int k = links[headSlot(group)]; k >= 0; k = links[k])
            visit(k);
    }

    // Whether the requests were grouped; false when the walk is the plain one.
    bool grouped() const noexcept { return !plain_; }

  private:
    // The walk without the grouping: out of line, so that the grouped walk,
    // the one that runs, stays as small as it was.
    template <class Visit, class Unlisted>
    [[gnu::noinline]] bool plainForEach(int d, Visit &visit, Unlisted &unlisted) {
        const PlainNext next = plainNext(d);
        return walk(next(-1), next, visit, unlisted);
    }

    // Without the grouping, the next request of a database after k, -1 after
    // the last: each request's database compared with it.
    struct PlainNext {
        const char *database;
        const char *const *dbNames;
        int count;
        int operator()(int k) const {
            for (++k; k < count; ++k)
                if (std::strcmp(dbNames[k], database) == 0)
                    return k;
            return -1;
        }
    };
    PlainNext plainNext(int d) const {
        return {requests_.databases[d], requests_.dbNames, requests_.requestCount};
    }

    template <class Next, class Visit, class Unlisted>
    bool walk(int k, Next next, Visit &visit, Unlisted &unlisted) {
        if (!direct_) {
            for (; k >= 0; k = next(k))
                if (!visit(k, requests_.codes[k]))
                    return false;
            return true;
        }
        while (k >= 0) {
            // Every request visited lies below the request count, so the
            // chunk's end bounds both the list and the visits.
            const int end = chunkEnd(k - k % kChunk, requests_.requestCount);
            buildList(k, end, next);
            const char *list = list_.text();
            if (!unlistedInChunk_) {
                // The list goes with the first request of the chunk, null
                // with every later one.
                for (; k >= 0 && k < end; k = next(k)) {
                    if (!visit(k, list))
                        return false;
                    list = nullptr;
                }
                continue;
            }
            // A chunk whose list left a code out: the list goes with the
            // first request that is asked for.
            for (; k >= 0 && k < end; k = next(k)) {
                if (!listable(requests_.codes[k])) {
                    if (!unlisted(k))
                        return false;
                    continue;
                }
                if (!visit(k, list))
                    return false;
                list = nullptr;
            }
        }
        return true;
    }

    // Where the first request of a group is kept: behind the per-request
    // links, so that linking a request needs no test for an empty group.
    std::size_t headSlot(int group) const {
        return static_cast<std::size_t>(requests_.requestCount) + static_cast<std::size_t>(group);
    }
    // Lists the codes that can travel in a list of k's group, from k up to
    // end. Out of line: its loop keeps its values in registers only in a
    // function of its own.
    template <class Next> [[gnu::noinline]] void buildList(int k, int end, Next next) {
        const char *const *codes = requests_.codes;
        unlistedInChunk_ = list_.assign([&]() -> const char * {
            // -1, the end of the group, compares above every index.
            if (static_cast<unsigned>(k) >= static_cast<unsigned>(end))
                return nullptr;
            const char *code = codes[k];
            k = next(k);
            return code;
        });
    }
    // Groups the requests by database; throws std::bad_alloc when the
    // grouping cannot be allocated.
    void group();

    Requests requests_;
    bool direct_;
    bool plain_ = false;           // no grouping: every request is compared with the database
    bool unlistedInChunk_ = false; // the list built last left a code out
    std::vector<int> groupOf_;     // group of each entry of databases, -1 if none
    // next_[k]: the next request of k's group, -1 at the end; then one slot
    // per group with its first request, -1 if none. Entries of requests of
    // no database are never read, and never written: no fill pass.
    std::unique_ptr<int[]> next_;
    CodeList list_;
};

} // namespace kovrap

#endif
