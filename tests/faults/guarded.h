// Host arrays sized exactly as the contract says, each between two guard
// zones that hold a known pattern. After a call the zones must still hold it:
// a write past either end of an array shows even in a build without
// sanitizers. Under AddressSanitizer or Valgrind the zones are also made
// inaccessible, so that a read of them is reported where it happens.
#ifndef KOVRAP_FAULTS_GUARDED_H
#define KOVRAP_FAULTS_GUARDED_H

#include <cstddef>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KOVRAP_FAULTS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KOVRAP_FAULTS_ASAN 1
#endif
#endif

#if defined(KOVRAP_FAULTS_ASAN)
#include <sanitizer/asan_interface.h>
#elif defined(__has_include)
#if __has_include(<valgrind/memcheck.h>) && !defined(_WIN32)
#include <valgrind/memcheck.h>
#define KOVRAP_FAULTS_VALGRIND 1
#endif
#endif

namespace kovrap_faults {

// Guard zones of 32 bytes: whole shadow granules before the array.
constexpr std::size_t kGuardBytes = 32;

inline void forbid(const void *p, std::size_t bytes) {
#if defined(KOVRAP_FAULTS_ASAN)
    ASAN_POISON_MEMORY_REGION(p, bytes);
#elif defined(KOVRAP_FAULTS_VALGRIND)
    VALGRIND_MAKE_MEM_NOACCESS(p, bytes);
#else
    static_cast<void>(p);
    static_cast<void>(bytes);
#endif
}

inline void allow(const void *p, std::size_t bytes) {
#if defined(KOVRAP_FAULTS_ASAN)
    ASAN_UNPOISON_MEMORY_REGION(p, bytes);
#elif defined(KOVRAP_FAULTS_VALGRIND)
    VALGRIND_MAKE_MEM_DEFINED(p, bytes);
#else
    static_cast<void>(p);
    static_cast<void>(bytes);
#endif
}

template <class T> class Guarded {
  public:
    static constexpr std::size_t kGuard = (kGuardBytes + sizeof(T) - 1) / sizeof(T);

    Guarded(std::size_t n, T fill, T guard) : Guarded(std::vector<T>(n, fill), guard) {}
    Guarded(const std::vector<T> &contents, T guard)
        : n_(contents.size()), guard_(guard), storage_(withGuards(contents, guard)) {
        lock();
    }
    ~Guarded() { unlock(); }
    Guarded(const Guarded &) = delete;
    Guarded &operator=(const Guarded &) = delete;

    T *data() { return storage_.data() + kGuard; }
    const T *data() const { return storage_.data() + kGuard; }
    std::size_t size() const { return n_; }
    T &operator[](std::size_t i) { return storage_[kGuard + i]; }
    const T &operator[](std::size_t i) const { return storage_[kGuard + i]; }
    std::vector<T> contents() const {
        return std::vector<T>(storage_.begin() + static_cast<std::ptrdiff_t>(kGuard),
                              storage_.begin() + static_cast<std::ptrdiff_t>(kGuard + n_));
    }

    // True when both zones still hold the pattern.
    bool intact() {
        unlock();
        bool same = true;
        for (std::size_t i = 0; i < kGuard; ++i)
            same = same && storage_[i] == guard_ && storage_[kGuard + n_ + i] == guard_;
        lock();
        return same;
    }

  private:
    static std::vector<T> withGuards(const std::vector<T> &contents, T guard) {
        std::vector<T> storage;
        storage.reserve(contents.size() + 2 * kGuard);
        storage.insert(storage.end(), kGuard, guard);
        storage.insert(storage.end(), contents.begin(), contents.end());
        storage.insert(storage.end(), kGuard, guard);
        return storage;
    }
    void lock() {
        forbid(storage_.data(), kGuard * sizeof(T));
        forbid(storage_.data() + kGuard + n_, kGuard * sizeof(T));
    }
    void unlock() {
        allow(storage_.data(), kGuard * sizeof(T));
        allow(storage_.data() + kGuard + n_, kGuard * sizeof(T));
    }

    std::size_t n_;
    T guard_;
    std::vector<T> storage_;
};

// Many text buffers of one width, each between guard zones as above, in one
// allocation: a host with thousands of text buffers costs one allocation
// per column instead of one per buffer. Every buffer starts on an 8-byte
// boundary, so that the zone before it is wholly inaccessible.
class GuardedBuffers {
  public:
    GuardedBuffers(std::size_t count, std::size_t width, char fill, char guard)
        : count_(count), width_(width), stride_((width + 7) / 8 * 8 + kGuardBytes), guard_(guard),
          storage_(kGuardBytes + count * stride_, guard) {
        for (std::size_t i = 0; i < count_; ++i)
            for (std::size_t j = 0; j < width_; ++j)
                storage_[offset(i) + j] = fill;
        lock();
    }
    ~GuardedBuffers() { allow(storage_.data(), storage_.size()); }
    GuardedBuffers(const GuardedBuffers &) = delete;
    GuardedBuffers &operator=(const GuardedBuffers &) = delete;

    char *data(std::size_t i) { return storage_.data() + offset(i); }
    std::vector<char> contents(std::size_t i) const {
        const auto first = storage_.begin() + static_cast<std::ptrdiff_t>(offset(i));
        return std::vector<char>(first, first + static_cast<std::ptrdiff_t>(width_));
    }

    // True when every zone still holds the pattern.
    bool intact() {
        allow(storage_.data(), storage_.size());
        bool same = true;
        for (std::size_t b = 0; b < storage_.size() && same; ++b)
            same = inBuffer(b) || storage_[b] == guard_;
        lock();
        return same;
    }

  private:
    std::size_t offset(std::size_t i) const { return kGuardBytes + i * stride_; }
    bool inBuffer(std::size_t b) const {
        return b >= kGuardBytes && (b - kGuardBytes) % stride_ < width_;
    }
    void lock() {
        forbid(storage_.data(), kGuardBytes);
        for (std::size_t i = 0; i < count_; ++i)
            forbid(storage_.data() + offset(i) + width_, stride_ - width_);
    }

    std::size_t count_;
    std::size_t width_;
    std::size_t stride_;
    char guard_;
    std::vector<char> storage_;
};

} // namespace kovrap_faults

#endif
