#include "failing_new.h"

#include <cstdlib>
#include <new>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace {

bool armed = false;
int failAt = 0;
int seen = 0;
std::size_t failedSize = 0;
const void *countedObject = nullptr;
bool reached = false;

void *allocate(std::size_t size, const void *caller) {
    reached = true;
    if (armed && (countedObject == nullptr || kovrap_test::objectBase(caller) == countedObject) &&
        ++seen == failAt) {
        failedSize = size;
        throw std::bad_alloc();
    }
    void *p = std::malloc(size > 0 ? size : 1);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}

} // namespace

namespace kovrap_test {

bool allocationsVisible() {
    // Called through pointers, so that the call is not inlined from this
    // file but enters the functions where a tool would catch it. Each block
    // goes back the same way, to whichever functions gave it.
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
}

const void *objectBase(const void *address) {
#if defined(_WIN32)
    static_cast<void>(address);
    return nullptr;
#else
    Dl_info info{};
    return dladdr(address, &info) != 0 ? info.dli_fbase : nullptr;
#endif
}

void failAllocation(int nth, const void *onlyFrom) {
    countedObject = onlyFrom;
    failAt = nth;
    seen = 0;
    failedSize = 0;
    armed = true;
}

int stopFailing() {
    armed = false;
    return seen;
}

std::size_t failedAllocationSize() {
    return failedSize;
}

} // namespace kovrap_test

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
