// Sets (or, with a null value, removes) one environment variable of the test
// process, which the programs it starts and the stand-ins it loads read.
#ifndef KOVRAP_TEST_ENVIRONMENT_H
#define KOVRAP_TEST_ENVIRONMENT_H

#include <cstdlib>

namespace kovrap_test {

inline void setVariable(const char *name, const char *value) {
#if defined(_WIN32)
    _putenv_s(name, value == nullptr ? "" : value);
#else
    if (value == nullptr)
        unsetenv(name);
    else
        setenv(name, value, 1);
#endif
}

} // namespace kovrap_test

#endif
