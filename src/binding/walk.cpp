#include "binding/walk.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace kovrap {

namespace {

// Few databases are found faster by comparing names than by hashing them.
constexpr std::size_t kLinearLookup = 4;

// FNV-1a over the name's bytes, folded so that the low bits used for the
// table index depend on every byte.
std::uint64_t hashOf(const char *name) noexcept {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != 0; ++p)
        hash = (hash ^ *p) * 1099511628211ull;
    return hash ^ (hash >> 32);
}

// The distinct database names of a call, each a group; a name given twice
// shares its group. Above a few names they are found through an open-address
// table of at least twice as many slots, so a lookup costs one hash of the
// name and, nearly always, one comparison.
class Groups {
  public:
    explicit Groups(int databaseCount) {
        const auto count = static_cast<std::size_t>(databaseCount > 0 ? databaseCount : 0);
        if (count > kLinearLookup) {
            std::size_t slots = 2;
            while (slots < 2 * count)
                slots *= 2;
            slots_.assign(slots, Slot{nullptr, 0, -1});
        }
    }

    int add(const char *name) {
        if (slots_.empty()) {
            const int group = find(name);
            if (group >= 0)
                return group;
            names_.push_back(name);
            return count() - 1;
        }
        const std::uint64_t hash = hashOf(name);
        Slot &slot = slots_[probe(name, hash)];
        if (slot.group < 0) {
            slot = Slot{name, hash, count()};
            names_.push_back(name);
        }
        return slot.group;
    }
    // The group of a name, -1 for a name of no database. Out of line: it is
    // the rare path of the grouping loop, which keeps its values in
    // registers without it.
    [[gnu::noinline]] int find(const char *name) const {
        if (slots_.empty()) {
            for (std::size_t g = 0; g < names_.size(); ++g)
                if (std::strcmp(names_[g], name) == 0)
                    return static_cast<int>(g);
            return -1;
        }
        return slots_[probe(name, hashOf(name))].group;
    }
    const char *name(int group) const { return names_[static_cast<std::size_t>(group)]; }
    int count() const { return static_cast<int>(names_.size()); }

  private:
    struct Slot {
        const char *name;
        std::uint64_t hash;
        int group; // -1: empty
    };

    // The slot that holds the name, or the empty slot where it would go. The
    // table is never more than half full, so an empty slot ends every probe.
    std::size_t probe(const char *name, std::uint64_t hash) const {
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
            const Slot &slot = slots_[i];
            if (slot.group < 0 || (slot.hash == hash && std::strcmp(slot.name, name) == 0))
                return i;
        }
    }

    std::vector<const char *> names_;
    std::vector<Slot> slots_; // empty: few names, compared one by one
};

} // namespace

RequestWalk::RequestWalk(const Requests &requests, bool direct)
    : requests_(requests), direct_(direct) {
    requests_.requestCount = requests.requestCount > 0 ? requests.requestCount : 0;
    requests_.databaseCount = requests.databaseCount > 0 ? requests.databaseCount : 0;
    try {
        group();
    } catch (const std::bad_alloc &) {
        // The grouping only saves comparisons: without it every request is
        // compared with the open database, and the library sees the same calls.
        plain_ = true;
        groupOf_ = std::vector<int>();
        next_.reset();
    }
}

void RequestWalk::group() {
    const Requests &requests = requests_;
    const int databaseCount = requests.databaseCount;
    const int requestCount = requests.requestCount;
    groupOf_.assign(static_cast<std::size_t>(databaseCount), -1);

    Groups groups(databaseCount);
    for (int d = 0; d < databaseCount; ++d)
        groupOf_[static_cast<std::size_t>(d)] = groups.add(requests.databases[d]);
    // Without databases there is nothing to walk.
    const auto groupCount = static_cast<std::size_t>(groups.count());
    if (groupCount == 0)
        return;
    // Every group has a head slot, so a database with no requests walks
    // nothing.
    next_.reset(new int[static_cast<std::size_t>(requestCount) + groupCount]);
    int *next = next_.get();
    for (std::size_t g = 0; g < groupCount; ++g)
        next[headSlot(static_cast<int>(g))] = -1;
    if (requestCount == 0)
        return;

    // Hosts pass requests in a repeating database order: sorted by database,
    // or interleaved in a fixed order. So the database of a request is first
    // guessed as the one that followed the previous request's database last
    // time, which costs one comparison however many databases there are; a
    // wrong guess falls back to the lookup.
    struct Link {
        const char *name;
        Link *successor;  // group that followed this one last time, or null
        std::size_t tail; // last request linked, at first the head slot
    };
    // One per group, and a last one for "before the first request, or after
    // a request of no database".
    std::vector<Link> links(groupCount + 1);
    for (std::size_t g = 0; g < groupCount; ++g)
        links[g] = Link{groups.name(static_cast<int>(g)), nullptr, headSlot(static_cast<int>(g))};
    Link *const noDatabase = &links[groupCount];
    *noDatabase = Link{nullptr, nullptr, 0};

    const char *const *dbNames = requests.dbNames;
    Link *previous = noDatabase;
    for (int k = 0; k < requestCount; ++k) {
        Link *guess = previous->successor;
        if (guess == nullptr || std::strcmp(guess->name, dbNames[k]) != 0) {
            const int group = groups.find(dbNames[k]);
            guess = group < 0 ? nullptr : &links[static_cast<std::size_t>(group)];
            previous->successor = guess;
            if (guess == nullptr) {
                previous = noDatabase;
                continue;
            }
        }
        previous = guess;
        next[guess->tail] = k;
        guess->tail = static_cast<std::size_t>(k);
    }
    for (std::size_t g = 0; g < groupCount; ++g)
        next[links[g].tail] = -1;
}

} // namespace kovrap
