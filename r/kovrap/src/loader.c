/*
 * Loading the Kovrap library at run time, by path, the way a statistics
 * environment loads it, and resolving its exports once per connection.
 */
#include <stdlib.h>
#include <string.h>

#include "kovrap.h"
#include "worker.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

static SEXP api_tag(void) {
    return Rf_install("kovrap_api");
}

static void *open_library(const char *path, char *message, size_t size) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path);
    if (module == NULL)
        snprintf(message, size, "cannot load %s (error %lu)", path, (unsigned long)GetLastError());
    return (void *)module;
#else
    void *handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == NULL) {
        const char *reason = dlerror();
        snprintf(message, size, "%s", reason != NULL ? reason : "cannot load the library");
    }
    return handle;
#endif
}

static void *find_symbol(void *library, const char *name) {
#if defined(_WIN32)
    return (void *)GetProcAddress((HMODULE)library, name);
#else
    return dlsym(library, name);
#endif
}

static void close_library(void *library) {
#if defined(_WIN32)
    FreeLibrary((HMODULE)library);
#else
    dlclose(library);
#endif
}

/* The library stays loaded when a connection ends: its database libraries
 * keep the log-in and their settings process-wide, and another connection
 * may use them. Only the table of exports goes. */
static void forget_api(SEXP ptr) {
    KovrapApi *api = (KovrapApi *)R_ExternalPtrAddr(ptr);
    if (api != NULL) {
        free(api);
        R_ClearExternalPtr(ptr);
    }
}

/* Loads the library and resolves every export once. Returns an external
 * pointer, or a character string that says why it could not. */
SEXP kv_c_load(SEXP path) {
    if (!Rf_isString(path) || XLENGTH(path) != 1 || STRING_ELT(path, 0) == NA_STRING)
        Rf_error("the library path must be one string");
    char message[1024] = "";
    void *library = open_library(Rf_translateChar(STRING_ELT(path, 0)), message, sizeof message);
    if (library == NULL)
        return Rf_mkString(message);

    struct {
        const char *name;
        void **slot;
    } exports[12];
    KovrapApi api;
    memset(&api, 0, sizeof api);
    int n = 0;
#define KV_EXPORT(field, symbolName)                                                               \
    exports[n].name = symbolName;                                                                  \
    exports[n].slot = (void **)&api.field;                                                         \
    ++n
    KV_EXPORT(tqvdateToYmd, "tqvdateToYmd");
    KV_EXPORT(ymdToTqvdate, "ymdToTqvdate");
    KV_EXPORT(dateSeq, "c_kovraDateSeq");
    KV_EXPORT(getObsNum, "c_kovraGetObsNum");
    KV_EXPORT(getDate, "c_kovraGetDate");
    KV_EXPORT(getCodesSized, "c_kovraGetCodesSized");
    KV_EXPORT(seriesInfo, "c_kovraSeriesInfo");
    KV_EXPORT(getData, "c_kovraGetData");
    KV_EXPORT(version, "c_kovraCVersion");
    KV_EXPORT(authenticate, "c_kovraAuthenticate");
    KV_EXPORT(getAggmode, "c_getAggmode");
    KV_EXPORT(setAggmode, "c_setAggmode");
#undef KV_EXPORT
    for (int i = 0; i < n; ++i) {
        void *symbol = find_symbol(library, exports[i].name);
        if (symbol == NULL) {
            snprintf(message, sizeof message, "the library does not export %s", exports[i].name);
            close_library(library);
            return Rf_mkString(message);
        }
        /* Object and function pointers share one representation on every
         * platform that loads libraries this way. */
        memcpy(exports[i].slot, &symbol, sizeof symbol);
    }

    kv_worker_after_load(library);
    KovrapApi *owned = (KovrapApi *)malloc(sizeof *owned);
    if (owned == NULL)
        Rf_error("out of memory");
    *owned = api;
    /* Freed by kv_c_close, which the R side registers as the pointer's
     * finalizer: an R finalizer can see that the package's code was
     * unloaded, where a C one would call into code that is gone. */
    return R_MakeExternalPtr(owned, api_tag(), R_NilValue);
}

/* Ends a connection: its table of exports goes, and every later use finds
 * it closed. */
SEXP kv_c_close(SEXP ptr) {
    if (TYPEOF(ptr) == EXTPTRSXP && R_ExternalPtrTag(ptr) == api_tag())
        forget_api(ptr);
    return R_NilValue;
}

/* TRUE while the pointer holds a table of exports: FALSE once closed, and
 * after a saved session is restored (external pointers come back empty). */
SEXP kv_c_valid(SEXP ptr) {
    return Rf_ScalarLogical(TYPEOF(ptr) == EXTPTRSXP && R_ExternalPtrTag(ptr) == api_tag() &&
                            R_ExternalPtrAddr(ptr) != NULL);
}

const KovrapApi *api_of(SEXP ptr) {
    if (TYPEOF(ptr) != EXTPTRSXP || R_ExternalPtrTag(ptr) != api_tag())
        Rf_error("not a Kovrap connection");
    const KovrapApi *api = (const KovrapApi *)R_ExternalPtrAddr(ptr);
    if (api == NULL)
        Rf_error("the Kovrap connection is closed");
    return api;
}
