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
        int chunk = -1;
        for (int k = head_[static_cast<std::size_t>(group)]; k >= 0;
             k = next_[static_cast<std::size_t>(k)]) {
            const char *code = requests_.codes[k];
            if (direct_) {
                if (k / kChunk != chunk) {
                    chunk = k / kChunk;
                    buildList(k);
                    code = list_.text();
                } else {
                    code = nullptr;
                }
            }
            if (!visit(k, code))
                return false;
        }
        return true;
    }

  private:
    // Lists the codes of k's group from k to the end of k's chunk.
    void buildList(int k);

    Requests requests_;
    bool direct_;
    std::vector<int> groupOf_; // group of each entry of databases, -1 if none
    std::vector<int> head_;    // first request of each group, -1 if none
    std::vector<int> next_;    // next request of the same group, -1 at the end
    CodeList list_;
};

} // namespace kovrap

#endif
