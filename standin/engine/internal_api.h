// TQVS_INTERNAL_API marks the engine's C++ helpers that tests and tools call:
// exported from tqvstandin, or plain where a tool compiles the engine sources
// into itself and defines TQVS_STATIC.
#ifndef TQVS_INTERNAL_API_H
#define TQVS_INTERNAL_API_H

#include "tqv_standin.h"

#if defined(TQVS_STATIC)
#define TQVS_INTERNAL_API
#else
#define TQVS_INTERNAL_API TQVS_API
#endif

#endif
