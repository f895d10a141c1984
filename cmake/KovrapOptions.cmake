# Every option of the build, in one place. The presets (CMakePresets.json)
# set them per build folder.
option(KOVRAP_WERROR "Treat warnings as errors" OFF)
option(KOVRAP_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(KOVRAP_BUILD_TESTS "Build the tests and run the fuzzers' seed corpora as tests" ON)
option(KOVRAP_FUZZ "Build the fuzzers with libFuzzer (clang only)" OFF)
option(KOVRAP_BUILD_BENCHMARKS "Build the benchmarks (Linux only)" OFF)

if(KOVRAP_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KOVRAP_FUZZ needs clang")
endif()
