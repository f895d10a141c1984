#include "failing_new.h"

#include "Kovrap.h"

#include <cstdlib>
#include <cstring>
#include <new>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace {

bool armed = false;
int failAt = 0;
int seen = 0;
std::size_t failedSize = 0;
const void *libraryBase = nullptr;
bool reached = false;

// The load address of the object that holds an address, null if none.
const void *baseOf(const void *address) {
#if defined(_WIN32)
    static_cast<void>(address);
    return nullptr;
#else
    Dl_info info{};
    return dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
#endif
}

void *allocate(std::size_t size, const void *caller) {
    reached = true;
    if (armed && libraryBase != nullptr && baseOf(caller) == libraryBase && ++seen == failAt) {
        failedSize = size;
        throw std::bad_alloc();
    }
    void *p = std::malloc(size > 0 ? size : 1);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}

} // namespace

namespace kovrap_faults {

bool libraryAllocationsVisible() {
#if defined(_WIN32)
    // A DLL allocates through its own runtime.
    return false;
#else
    // A tool such as valgrind puts its own allocation functions in place of
    // the test's: a call of each form shows whether ours are reached.
    // Called through pointers, so that the call is not inlined from this
    // file but enters the functions where a tool would catch it.
    // Each block goes back the same way, to whichever functions gave it.
    void *(*volatile single)(std::size_t) = ::operator new;
    void *(*volatile array)(std::size_t) = ::operator new[];
    void (*volatile releaseSingle)(void *) noexcept = ::operator delete;
    void (*volatile releaseArray)(void *) noexcept = ::operator delete[];
    reached = false;
    releaseSingle(single(1));
    const bool singleReached = reached;
    reached = false;
    releaseArray(array(1));
    return singleReached && reached;
#endif
}

void failLibraryAllocation(int nth) {
    // An exported function locates the library.
    void (*const exported)(int, double *, const char *const *, const char *const *,
                           const char *const *, int, int, int, int, int, int, int,
                           TransformArrays *, AdvancedWindows *, int *) = c_kovraGetData;
    const void *address = nullptr;
    std::memcpy(&address, &exported, sizeof address);
    libraryBase = baseOf(address);
    failAt = nth;
    seen = 0;
    failedSize = 0;
    armed = true;
}

int stopFailingAllocations() {
    armed = false;
    return seen;
}

std::size_t failedAllocationSize() {
    return failedSize;
}

} // namespace kovrap_faults

void *operator new(std::size_t size) {
    return allocate(size, __builtin_return_address(0));
}
void *operator new[](std::size_t size) {
    return allocate(size, __builtin_return_address(0));
}
void operator delete(void *p) noexcept {
    std::free(p);
}
void operator delete[](void *p) noexcept {
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void *p, std::size_t) noexcept {
    std::free(p);
}
