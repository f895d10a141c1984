// Allocation failures on demand for the internal tests: the program's global
// allocation functions are replaced, and while a failure is armed the nth
// allocation (1-based) throws std::bad_alloc. Pieces of the library are
// linked into the test program, so every allocation they make is counted.
#ifndef KOVRAP_INTERNAL_FAILING_NEW_H
#define KOVRAP_INTERNAL_FAILING_NEW_H

namespace kovrap_internal {

// From now on the nth allocation fails; 0 counts without failing.
void failAllocation(int nth);
// Ends the count; returns the number of allocations made since failAllocation.
int stopFailing();
// Whether allocations reach the replaced functions: a tool such as valgrind
// puts its own in their place, and then nothing can be failed.
bool allocationsVisible();

} // namespace kovrap_internal

#endif
