#include "binding/bracket.h"
#include "binding/library.h"
#include "binding/record.h"
#include "tqvlib.h"

#include "Kovrap.h"

#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

namespace {

// The direct library answers in batches: the listing asks at most this often.
constexpr int kNameCalls = 32;

// Both exports run one walk over the libraries; only where its codes and
// texts go differs. A sink takes, on the local library, each code (code())
// and the walk's end (endCodes()); on the direct library, the memory each
// TQVDGetNames call writes into (firstText(), nextText()) and each call's
// answer (answered(), false to stop the listing).

// Walks the open database series by series.
template <class Sink> void walkLocal(const char *database, Sink &sink) {
    kovrap::InfoRecord record;
    // Also the point the library continues from, so it holds exactly what
    // was written for the last series.
    char code[kovrap::InfoRecord::kCode.width] = {};
    int status = TQVGetNextVar(database, nullptr, record.data());
    while (status == 0) {
        // A code field without its terminator yields its first 9 characters
        // rather than a read past the field.
        record.copyText(kovrap::InfoRecord::kCode, code);
        sink.code(code, std::strlen(code));
        status = TQVGetNextVar(nullptr, code, record.data());
    }
    // The walk's last status only says that no series follows.
    sink.endCodes();
}

// Asks TQVDGetNames for texts, at most kNameCalls times. Returns the first
// call's status: nonzero, and nothing was listed.
template <class Sink> int walkDirect(const char *database, Sink &sink) {
    const int first = TQVDGetNames(database, sink.firstText());
    if (first != 0)
        return first;
    if (!sink.answered(first))
        return 0;
    for (int remaining = kNameCalls - 1; remaining > 0; --remaining) {
        const int status = TQVDGetNames(nullptr, sink.nextText());
        if (!sink.answered(status) || status == TQVD_END_OF_NAMES)
            break;
    }
    return 0;
}

// c_kovraGetCodes: the host's buffer, whose size Kovrap is never told. The
// write position is carried forward, so the local listing never measures
// the output again: a large database costs one pass over its codes.
class UnsizedOutput {
  public:
    explicit UnsizedOutput(char *output) noexcept : output_(output) {}

    void code(const char *code, std::size_t length) noexcept {
        std::memcpy(output_ + position_, code, length);
        output_[position_ + length] = ',';
        output_[position_ + length + 1] = '\0';
        position_ += length + 1;
    }
    // Every code written was followed by a comma, so the last one goes, even
    // when the last code was empty: the list never ends in a comma.
    void endCodes() noexcept {
        if (position_ > 0)
            output_[position_ - 1] = '\0';
    }

    // The library writes its texts straight into the host's buffer, each
    // behind a comma appended to the text so far.
    char *firstText() noexcept { return output_; }
    char *nextText() noexcept {
        comma_ = std::strlen(output_);
        output_[comma_] = ',';
        output_[comma_ + 1] = '\0';
        return output_ + comma_ + 1;
    }
    // A failed call gives back its comma; the next call writes at the same
    // place, so a passing failure leaves no gap in the list.
    bool answered(int status) noexcept {
        if (status != 0 && comma_ != kNone)
            output_[comma_] = '\0';
        return true;
    }

  private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    char *output_;
    std::size_t position_ = 0;
    std::size_t comma_ = kNone;
};

// c_kovraGetCodesSized: counts the whole list and writes into the host's
// buffer only the whole codes that fit before its terminator. The direct
// library's texts land in Kovrap's own scratch first, never in host memory.
class SizedOutput {
  public:
    // buffer may be null only with capacity 0.
    SizedOutput(char *buffer, std::size_t capacity, char *scratch) noexcept
        : buffer_(buffer), capacity_(capacity), scratch_(scratch) {}

    void code(const char *code, std::size_t length) noexcept { item(code, length); }
    void endCodes() noexcept { ended_ = true; }

    char *firstText() noexcept { return scratch_; }
    char *nextText() noexcept { return scratch_; }
    bool answered(int status) noexcept {
        if (status != 0) {
            ended_ = true;
            return true;
        }
        // A text that does not end inside the scratch ran past it: nothing
        // the library writes after that can be trusted.
        const void *end = std::memchr(scratch_, '\0', KOVRAP_NAMES_TEXT_BYTES);
        if (end == nullptr) {
            overrun_ = true;
            return false;
        }
        item(scratch_, static_cast<std::size_t>(static_cast<const char *>(end) - scratch_));
        ended_ = false;
        return true;
    }

    bool overrun() const noexcept { return overrun_; }
    std::size_t needed() const noexcept { return needed_; }

    // Terminates what was written. When the whole list fitted, the commas
    // held back are written too, and, with a byte to spare, a second NUL
    // marks a listing that the library ended (the mark c_kovraGetCodes
    // leaves behind a list that ended).
    void finish() noexcept {
        if (capacity_ == 0)
            return;
        if (needed_ < capacity_) {
            std::memset(buffer_ + written_, ',', pending_);
            written_ += pending_;
            pending_ = 0;
            if (ended_ && written_ + 1 < capacity_)
                buffer_[written_ + 1] = '\0';
        }
        buffer_[written_] = '\0';
    }
    // After a failure the host finds the empty text.
    void clear() noexcept {
        if (capacity_ > 0)
            buffer_[0] = '\0';
    }

  private:
    // One code, or one text of the direct library: items are joined with a
    // comma, and the cut may fall at any comma of the list.
    void item(const char *text, std::size_t length) noexcept {
        if (items_++ > 0)
            comma();
        const char *const end = text + length;
        for (;;) {
            const void *found = std::memchr(text, ',', static_cast<std::size_t>(end - text));
            const char *const stop = found != nullptr ? static_cast<const char *>(found) : end;
            part(text, static_cast<std::size_t>(stop - text));
            if (stop == end)
                return;
            comma();
            text = stop + 1;
        }
    }
    void comma() noexcept {
        ++needed_;
        if (open_)
            ++pending_;
    }
    // The text between two commas: written with the commas before it while
    // it fits before the terminator. An empty one only adds its comma, so
    // that what is written never ends in a comma unless the whole list does.
    void part(const char *text, std::size_t length) noexcept {
        needed_ += length;
        if (!open_ || length == 0)
            return;
        if (capacity_ == 0 || pending_ + length > capacity_ - 1 - written_) {
            open_ = false;
            return;
        }
        std::memset(buffer_ + written_, ',', pending_);
        std::memcpy(buffer_ + written_ + pending_, text, length);
        written_ += pending_ + length;
        pending_ = 0;
    }

    char *buffer_;
    std::size_t capacity_;
    char *scratch_;
    std::size_t written_ = 0; // bytes of whole codes written
    std::size_t pending_ = 0; // commas counted but not yet written
    std::size_t needed_ = 0;  // the whole list's length
    std::size_t items_ = 0;
    bool open_ = true; // nothing has failed to fit yet
    bool ended_ = false;
    bool overrun_ = false;
};

// A library status as a failed result: always negative.
int failed(int status) noexcept {
    return status > 0 ? -status : status;
}

} // namespace

extern "C" KOVRAP_API int c_kovraGetCodes(int direct, char *output, const char *database,
                                          int *error) {
    const kovrap::Library &library = kovrap::selectLibrary(direct);
    kovrap::Bracket bracket(library, {0});
    const int opened = library.openDatabase(database);
    if (opened != 0) {
        // Even a failed open leaves the library as it found it: setting
        // restored, closed once.
        if (error != nullptr)
            *error = 1;
        bracket.close();
        return opened;
    }
    UnsizedOutput sink(output);
    if (library.direct) {
        if (walkDirect(database, sink) != 0 && error != nullptr)
            *error = 1;
    } else {
        walkLocal(database, sink);
    }
    return bracket.close();
}

extern "C" KOVRAP_API int c_kovraGetCodesSized(int direct, const char *database, char *buffer,
                                               int capacity) {
    if (capacity < 0 || (buffer == nullptr && capacity > 0))
        return -KOVRAP_STATUS_BAD_CAPACITY;
    const auto room = static_cast<std::size_t>(capacity);
    if (room > 0)
        buffer[0] = '\0';
    const kovrap::Library &library = kovrap::selectLibrary(direct);
    // The direct library is given no size for its texts: each lands in a
    // scratch of the size documented as enough for one, taken before the
    // library is touched.
    std::unique_ptr<char[]> scratch;
    if (library.direct) {
        try {
            scratch.reset(new char[KOVRAP_NAMES_TEXT_BYTES]);
        } catch (const std::bad_alloc &) {
            return -KOVRAP_STATUS_NO_MEMORY;
        }
    }
    SizedOutput sink(buffer, room, scratch.get());
    kovrap::Bracket bracket(library, {0});
    const int opened = library.openDatabase(database);
    if (opened != 0) {
        bracket.close();
        return failed(opened);
    }
    int first = 0; // the direct library's first answer
    if (library.direct)
        first = walkDirect(database, sink);
    else
        walkLocal(database, sink);
    const int closed = bracket.close();
    int result = 0;
    if (first != 0)
        result = failed(first);
    else if (sink.overrun())
        result = -KOVRAP_STATUS_NAMES_OVERRUN;
    else if (closed != 0)
        result = failed(closed);
    else if (sink.needed() > static_cast<std::size_t>(INT_MAX - 1))
        result = -KOVRAP_STATUS_LIST_TOO_LONG;
    if (result < 0) {
        sink.clear();
        return result;
    }
    sink.finish();
    return static_cast<int>(sink.needed());
}
