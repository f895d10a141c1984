// Allocation failures on demand: the test program replaces the global
// allocation functions, and counts, and fails on request, only the
// allocations that the Kovrap library itself makes (found by the address
// they are called from). The library's own allocations can only be seen
// where the program's allocation functions replace the library's, which is
// the case on Linux and not for a Windows DLL.
#ifndef KOVRAP_FAULTS_FAILING_NEW_H
#define KOVRAP_FAULTS_FAILING_NEW_H

#include <cstddef>

namespace kovrap_faults {

// Whether the test sees the library's allocations: not on Windows, nor
// under a tool such as valgrind that replaces the allocation functions.
bool libraryAllocationsVisible();
// From now on the nth allocation of the library (1-based) throws
// std::bad_alloc; 0 only counts.
void failLibraryAllocation(int nth);
// Ends the count; returns the number of the library's allocations since
// failLibraryAllocation.
int stopFailingAllocations();
// The size asked for by the allocation that failed last, 0 if none did.
std::size_t failedAllocationSize();

} // namespace kovrap_faults

#endif
