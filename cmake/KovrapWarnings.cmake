# The compile and link flags every target of the project takes, through the
# interface target kovrap_options that each one links: the warnings (errors
# with KOVRAP_WERROR), the sanitizers (KOVRAP_SANITIZE) and, on MinGW, the
# static runtime. The options themselves are in KovrapOptions.cmake.
add_library(kovrap_options INTERFACE)

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(kovrap_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wformat=2 -Wcast-qual
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Wold-style-cast>)
  if(KOVRAP_WERROR)
    target_compile_options(kovrap_options INTERFACE -Werror)
  endif()
endif()

if(KOVRAP_SANITIZE)
  target_compile_options(kovrap_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(kovrap_options INTERFACE -fsanitize=address,undefined)
endif()

if(MINGW)
  # The DLLs and programs carry their C and C++ runtimes, so that they need
  # nothing but each other and system DLLs.
  target_link_options(kovrap_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
