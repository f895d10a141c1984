# Warnings, sanitizers and the static Windows runtime, applied through one
# interface target that every target of the project links.
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
