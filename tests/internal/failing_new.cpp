#include "failing_new.h"

#include <cstdlib>
#include <new>

namespace {

bool armed = false;
int failAt = 0;
int seen = 0;
bool reached = false;

void *allocate(std::size_t size) {
    reached = true;
    if (armed && ++seen == failAt)
        throw std::bad_alloc();
    void *p = std::malloc(size > 0 ? size : 1);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}

} // namespace

namespace kovrap_internal {

void failAllocation(int nth) {
    armed = true;
    failAt = nth;
    seen = 0;
}

int stopFailing() {
    armed = false;
    return seen;
}

bool allocationsVisible() {
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
}

} // namespace kovrap_internal

void *operator new(std::size_t size) {
    return allocate(size);
}
void *operator new[](std::size_t size) {
    return allocate(size);
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
