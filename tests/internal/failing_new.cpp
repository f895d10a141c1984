#include "failing_new.h"

#include <cstdlib>
#include <new>

namespace {

bool armed = false;
int failAt = 0;
int seen = 0;

void *allocate(std::size_t size) {
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
