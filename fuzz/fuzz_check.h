// A failed property stops the fuzzer with a message: libFuzzer keeps the
// input as a crash, the corpus driver fails its test.
#ifndef KOVRAP_FUZZ_CHECK_H
#define KOVRAP_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

#endif
