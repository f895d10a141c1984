// A kovra session on the library built beside the in-process tests.
#ifndef KOVRA_TEST_SESSION_H
#define KOVRA_TEST_SESSION_H

#include "failure.h"
#include "session.h"

#include <gtest/gtest.h>

#include <memory>

inline std::unique_ptr<kovra::Session> openSession() {
    kovra::Options options;
    options.library = KOVRAP_LIBRARY_PATH;
    try {
        return std::make_unique<kovra::Session>(options);
    } catch (const kovra::Failure &f) {
        ADD_FAILURE() << f.message;
        return nullptr;
    }
}

#endif
