// Allocation failures on demand: a test program that links failing_new.cpp
// replaces the global allocation functions, and while a failure is armed the
// nth counted allocation (1-based) throws std::bad_alloc. Either every
// allocation counts, or only those called from one loaded object, such as the
// Kovrap library, found by the address they are called from.
#ifndef KOVRAP_TEST_FAILING_NEW_H
#define KOVRAP_TEST_FAILING_NEW_H

#include <cstddef>

namespace kovrap_test {

// Whether allocations reach the replaced functions: a tool such as valgrind
// puts its own in their place, and then nothing can be failed.
bool allocationsVisible();
// The load address of the object that holds an address; null where it
// cannot be told (Windows, where a DLL allocates through its own runtime
// anyway).
const void *objectBase(const void *address);
// From now on the nth allocation (0: none fails, they are only counted)
// throws; with onlyFrom, only allocations called from the object loaded at
// that address are counted.
void failAllocation(int nth, const void *onlyFrom = nullptr);
// Ends the count; returns the number of counted allocations since
// failAllocation.
int stopFailing();
// The size asked for by the allocation that failed last, 0 if none did.
std::size_t failedAllocationSize();

} // namespace kovrap_test

#endif
