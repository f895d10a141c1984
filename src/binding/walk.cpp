#include "binding/walk.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace kovrap {

namespace {

// Few databases are found faster by comparing names than by hashing them.
constexpr std::size_t kLinearLookup = 4;

// A database name of 4 to 16 characters, as names mostly are, is known by
// its length and its first and last word: between them the two words hold
// every byte, so two such names are equal exactly when these are. Comparing
// and hashing them takes a few instructions, once the name is measured.
struct Words {
    std::uint64_t head;
    std::uint64_t tail;
    std::size_t length; // 0 for a name of another length

    bool operator==(const Words &o) const noexcept {
        return head == o.head && tail == o.tail && length == o.length;
    }
};

bool hasWords(std::size_t length) noexcept {
    return length - 4 <= 12;
}

template <class Word> std::uint64_t load(const char *p) noexcept {
    Word w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

Words wordsOf(const char *name, std::size_t length) noexcept {
    if (length >= 8)
        return Words{load<std::uint64_t>(name), load<std::uint64_t>(name + length - 8), length};
    return Words{load<std::uint32_t>(name), load<std::uint32_t>(name + length - 4), length};
}

// The slot of a name's words in a table of 2^bits slots: the top bits of a
// multiplicative hash of both words, one of them turned so that names whose
// two words are the same do not cancel. The length is left to the comparison.
std::size_t slotOf(const Words &w, unsigned bits) noexcept {
    const std::uint64_t tail = w.tail << 29 | w.tail >> 35;
    const std::uint64_t hash = (w.head ^ tail) * 0x9e3779b97f4a7c15ull;
    return static_cast<std::size_t>(hash >> (64 - bits));
}

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
    // wrong guess falls back to the lookup. A guess is made only once the
    // same database has followed twice in a row: requests in random order go
    // straight to the lookup instead of paying for a comparison that fails.
    struct Link {
        const char *name;
        Words words; // length 0: a name without words
        // The group that followed this one last time (null: none yet), with
        // kUntried set while it is not to be guessed.
        std::uintptr_t successor;
        std::size_t tail; // last request linked, at first the head slot
    };
    constexpr std::uintptr_t kUntried = 1;
    // One per group, and a last one for "before the first request, or after
    // a request of no database".
    std::vector<Link> links(groupCount + 1);
    // The groups whose names have words, by their words: open addressing in
    // at least twice as many slots as groups, null for an empty slot.
    std::size_t slots = 2;
    unsigned bits = 1;
    for (; slots < 2 * groupCount; ++bits)
        slots *= 2;
    std::vector<Link *> byWords(slots, nullptr);
    const std::size_t mask = slots - 1;
    for (std::size_t g = 0; g < groupCount; ++g) {
        const char *name = groups.name(static_cast<int>(g));
        const std::size_t length = std::strlen(name);
        Link &link = links[g];
        link = Link{name, Words{0, 0, 0}, kUntried, headSlot(static_cast<int>(g))};
        if (!hasWords(length))
            continue;
        link.words = wordsOf(name, length);
        std::size_t i = slotOf(link.words, bits);
        while (byWords[i] != nullptr)
            i = (i + 1) & mask;
        byWords[i] = &link;
    }
    Link *const noDatabase = &links[groupCount];
    *noDatabase = Link{nullptr, Words{0, 0, 0}, kUntried, 0};

    // A name is looked up by its words when it has them, else through the
    // table of names (out of line: it is rare).
    struct Lookup {
        const Groups &groups;
        Link *links;
        Link *const *byWords;
        std::size_t mask;
        unsigned bits;

        Link *operator()(const char *name) const {
            const std::size_t length = std::strlen(name);
            if (!hasWords(length))
                return byName(name);
            const Words words = wordsOf(name, length);
            Link *found;
            for (std::size_t i = slotOf(words, bits);
                 (found = byWords[i]) != nullptr && !(found->words == words); i = (i + 1) & mask) {
            }
            return found;
        }
        [[gnu::noinline]] Link *byName(const char *name) const {
            const int group = groups.find(name);
            return group < 0 ? nullptr : &links[group];
        }
    };
    const Lookup lookUp{groups, links.data(), byWords.data(), mask, bits};

    const char *const *dbNames = requests.dbNames;
    Link *previous = noDatabase;
    const auto count = static_cast<std::size_t>(requestCount);
    for (std::size_t k = 0; k < count; ++k) {
        const std::uintptr_t successor = previous->successor;
        Link *guess = reinterpret_cast<Link *>(successor);
        if ((successor & kUntried) != 0 || std::strcmp(guess->name, dbNames[k]) != 0) {
            Link *found = lookUp(dbNames[k]);
            if (found == nullptr) {
                previous->successor = kUntried;
                previous = noDatabase;
                continue;
            }
            // Guessed from the next time on when the same group followed
            // again, else kept untried.
            const std::uintptr_t seen = reinterpret_cast<std::uintptr_t>(found);
            previous->successor =
                seen | static_cast<std::uintptr_t>(seen != (successor & ~kUntried));
            guess = found;
        }
        previous = guess;
        next[guess->tail] = static_cast<int>(k);
        guess->tail = k;
    }
    for (std::size_t g = 0; g < groupCount; ++g)
        next[links[g].tail] = -1;
}

} // namespace kovrap
