/* Counting replacements of malloc and its kin; the C library's own entry
 * points do the allocating. Sizes are taken with malloc_usable_size, the same
 * on allocation and release, so the count returns to its start when every
 * block is released. */
#include "alloc_counter.h"

#include <errno.h>
#include <malloc.h>
#include <stddef.h>
#include <unistd.h>

#define BENCH_EXPORT __attribute__((visibility("default")))

extern void *__libc_malloc(size_t size);
extern void *__libc_calloc(size_t count, size_t size);
extern void *__libc_realloc(void *block, size_t size);
extern void *__libc_memalign(size_t alignment, size_t size);
extern void __libc_free(void *block);

static size_t held;
static size_t peak;

static void add(size_t n) {
    size_t now = __atomic_add_fetch(&held, n, __ATOMIC_RELAXED);
    size_t seen = __atomic_load_n(&peak, __ATOMIC_RELAXED);
    while (now > seen &&
           !__atomic_compare_exchange_n(&peak, &seen, now, 1, __ATOMIC_RELAXED, __ATOMIC_RELAXED)) {
    }
}

static void subtract(size_t n) {
    __atomic_sub_fetch(&held, n, __ATOMIC_RELAXED);
}

static void *counted(void *block) {
    if (block != NULL)
        add(malloc_usable_size(block));
    return block;
}

size_t bench_held_bytes(void) {
    return __atomic_load_n(&held, __ATOMIC_RELAXED);
}

void bench_reset_peak(void) {
    __atomic_store_n(&peak, __atomic_load_n(&held, __ATOMIC_RELAXED), __ATOMIC_RELAXED);
}

size_t bench_peak_bytes(void) {
    return __atomic_load_n(&peak, __ATOMIC_RELAXED);
}

BENCH_EXPORT void *malloc(size_t size) {
    return counted(__libc_malloc(size));
}

BENCH_EXPORT void *calloc(size_t count, size_t size) {
    return counted(__libc_calloc(count, size));
}

BENCH_EXPORT void free(void *block) {
    if (block != NULL)
        subtract(malloc_usable_size(block));
    __libc_free(block);
}

BENCH_EXPORT void *realloc(void *block, size_t size) {
    const size_t before = block != NULL ? malloc_usable_size(block) : 0;
    void *moved = __libc_realloc(block, size);
    if (moved != NULL) {
        subtract(before);
        add(malloc_usable_size(moved));
    } else if (size == 0) {
        subtract(before); /* released */
    }
    return moved;
}

BENCH_EXPORT void *memalign(size_t alignment, size_t size) {
    return counted(__libc_memalign(alignment, size));
}

BENCH_EXPORT void *aligned_alloc(size_t alignment, size_t size) {
    return counted(__libc_memalign(alignment, size));
}

BENCH_EXPORT int posix_memalign(void **out, size_t alignment, size_t size) {
    void *block;
    if (alignment < sizeof(void *) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    block = counted(__libc_memalign(alignment, size));
    if (block == NULL)
        return ENOMEM;
    *out = block;
    return 0;
}

BENCH_EXPORT void *valloc(size_t size) {
    return counted(__libc_memalign((size_t)sysconf(_SC_PAGESIZE), size));
}

BENCH_EXPORT void *pvalloc(size_t size) {
    const size_t page = (size_t)sysconf(_SC_PAGESIZE);
    return counted(__libc_memalign(page, (size + page - 1) / page * page));
}
