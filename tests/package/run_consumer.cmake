# Installs the build into WORK_DIR/prefix component by component and builds
# and runs the consumer project against it; then, on Linux, follows the
# install section of README.md to the letter: the default install, kovra, and
# the host built with CMake and with pkg-config. Run by CTest with cmake -P; the variables come from
# tests/package/CMakeLists.txt.
cmake_minimum_required(VERSION 3.25)

set(prefix ${WORK_DIR}/prefix)
set(consumer_build ${WORK_DIR}/consumer)
file(REMOVE_RECURSE ${WORK_DIR})
set(problems "")

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(run_output "${out}${err}" PARENT_SCOPE)
endfunction()

# Files each component lays out, relative to the prefix.
if(WINDOWS)
  set(kovrap_files ${INCLUDEDIR}/Kovrap.h ${BINDIR}/Kovrap64.dll ${LIBDIR}/libKovrap64.dll.a
                   ${LIBDIR}/Kovrap64.lib ${LIBDIR}/Kovrap64.def ${LIBDIR}/pkgconfig/kovrap.pc)
  set(standin_files ${STANDINDIR}/tqvapi64.dll ${STANDINDIR}/tqvdapi64.dll
                    ${STANDINDIR}/tqvstandin.dll ${INCLUDEDIR}/tqv_standin.h)
else()
  set(kovrap_files ${INCLUDEDIR}/Kovrap.h ${LIBDIR}/libKovrap64.so
                   ${LIBDIR}/pkgconfig/kovrap.pc)
  set(standin_files ${LIBDIR}/libtqvapi64.so ${LIBDIR}/libtqvdapi64.so
                    ${LIBDIR}/libtqvstandin.so ${INCLUDEDIR}/tqv_standin.h)
endif()
list(APPEND kovrap_files ${LIBDIR}/cmake/Kovrap/KovrapConfig.cmake
     ${LIBDIR}/cmake/Kovrap/KovrapConfigVersion.cmake ${LIBDIR}/cmake/Kovrap/KovrapTargets.cmake)
list(APPEND standin_files ${LIBDIR}/cmake/Kovrap/KovrapStandinTargets.cmake)

function(expect_files present)
  foreach(file IN LISTS ARGN)
    if(present AND NOT EXISTS ${prefix}/${file})
      string(APPEND problems "not installed: ${file}\n")
    elseif(NOT present AND EXISTS ${prefix}/${file})
      string(APPEND problems "installed by the wrong component: ${file}\n")
    endif()
  endforeach()
  set(problems "${problems}" PARENT_SCOPE)
endfunction()

# A single-configuration build without a build type has no --config to give.
set(config_args "")
if(CONFIG)
  set(config_args --config ${CONFIG})
endif()

# Kovrap alone, as on a machine with the real database libraries: none of the
# stand-ins come with it. Then the stand-ins.
run("install of component kovrap"
    ${CMAKE_COMMAND} --install ${BUILD_DIR} ${config_args} --prefix ${prefix}
    --component kovrap)
expect_files(TRUE ${kovrap_files})
expect_files(FALSE ${standin_files})
run("install of component standin"
    ${CMAKE_COMMAND} --install ${BUILD_DIR} ${config_args} --prefix ${prefix}
    --component standin)
expect_files(TRUE ${kovrap_files} ${standin_files})
if(problems)
  message(FATAL_ERROR "${problems}")
endif()

# The consumer, configured against the prefix only.
set(configure_args -S ${CONSUMER_SOURCE} -B ${consumer_build} -G ${GENERATOR}
    -DCMAKE_BUILD_TYPE=${CONFIG} -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DKOVRAP_VERSION=${VERSION})
if(TOOLCHAIN)
  # A cross toolchain searches packages only below its own root; the prefix
  # is named directly.
  list(APPEND configure_args -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}
       -DKovrap_DIR=${prefix}/${LIBDIR}/cmake/Kovrap)
else()
  list(APPEND configure_args -DCMAKE_C_COMPILER=${C_COMPILER})
endif()
set(sanitizer_flags "")
if(SANITIZE)
  # A program that loads a sanitized library must carry the runtime itself.
  set(sanitizer_flags -fsanitize=address,undefined)
  list(APPEND configure_args "-DCMAKE_C_FLAGS=${sanitizer_flags}"
       "-DCMAKE_EXE_LINKER_FLAGS=${sanitizer_flags}")
endif()
run("configure of the consumer" ${CMAKE_COMMAND} ${configure_args})
string(REPLACE "." "\\." version_pattern "${VERSION}")
if(NOT run_output MATCHES "Kovrap ${version_pattern} from ([^\n]*)")
  message(FATAL_ERROR "the consumer did not report the package:\n${run_output}")
endif()
file(REAL_PATH "${CMAKE_MATCH_1}" found_dir)
file(REAL_PATH "${prefix}/${LIBDIR}/cmake/Kovrap" wanted_dir)
if(NOT found_dir STREQUAL wanted_dir)
  message(FATAL_ERROR "the consumer found Kovrap in ${found_dir}, not in ${wanted_dir}")
endif()
run("build of the consumer" ${CMAKE_COMMAND} --build ${consumer_build})

# The package refuses a later minor version than its own.
string(REGEX MATCH "^([0-9]+)\\.([0-9]+)" _ "${VERSION}")
math(EXPR next_minor "${CMAKE_MATCH_2} + 1")
set(too_new ${CMAKE_MATCH_1}.${next_minor})
list(TRANSFORM configure_args REPLACE "^-DKOVRAP_VERSION=.*" "-DKOVRAP_VERSION=${too_new}")
list(TRANSFORM configure_args REPLACE "^${consumer_build}$" "${WORK_DIR}/consumer-too-new")
execute_process(COMMAND ${CMAKE_COMMAND} ${configure_args} RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc EQUAL 0 OR NOT "${out}${err}" MATCHES "version: ${version_pattern}")
  message(FATAL_ERROR "find_package(Kovrap ${too_new}) was not refused:\n${out}${err}")
endif()

# Run with no library path: the program finds Kovrap64 by its own run path
# (beside it on Windows), and Kovrap64 finds the database libraries beside
# itself.
if(WINDOWS)
  set(program ${EMULATOR} ${consumer_build}/consumer.exe)
else()
  set(program ${consumer_build}/consumer)
endif()
run("the consumer" ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ${program})
if(NOT run_output MATCHES "consumer: ok")
  message(FATAL_ERROR "the consumer's checks failed:\n${run_output}")
endif()
message(STATUS "find_package(Kovrap): ${run_output}")

# A host for Microsoft's ABI through the same package: clang for the MSVC
# target and lld-link, without any C runtime (the host is the one of the
# msvc_host test), must be given Kovrap64.lib, and runs against the prefix
# with its bin and standin folders on WINEPATH.
if(WINDOWS AND CLANG AND LLD_LINK AND MSVC_HOST)
  set(msvc_source ${WORK_DIR}/msvc-consumer)
  set(msvc_build ${WORK_DIR}/msvc-consumer/build)
  file(MAKE_DIRECTORY ${msvc_source})
  file(WRITE ${msvc_source}/CMakeLists.txt "cmake_minimum_required(VERSION 3.25)
project(host C)
find_package(Kovrap ${VERSION} REQUIRED)
add_executable(host host.c)
target_link_libraries(host PRIVATE Kovrap::Kovrap64)
")
  file(COPY_FILE ${MSVC_HOST} ${msvc_source}/host.c)
  run("configure of the MSVC consumer" ${CMAKE_COMMAND} -S ${msvc_source} -B ${msvc_build}
      -G ${GENERATOR} -DCMAKE_BUILD_TYPE=${CONFIG} -DCMAKE_SYSTEM_NAME=Windows
      -DCMAKE_C_COMPILER=${CLANG} -DCMAKE_C_COMPILER_TARGET=x86_64-pc-windows-msvc
      -DCMAKE_C_COMPILER_WORKS=ON -DCMAKE_C_STANDARD_LIBRARIES=
      "-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -nostdlib -Wl,/entry:start -Wl,/subsystem:console -Wl,/nodefaultlib"
      -DKovrap_DIR=${prefix}/${LIBDIR}/cmake/Kovrap -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
  run("build of the MSVC consumer" ${CMAKE_COMMAND} --build ${msvc_build} --verbose)
  if(NOT run_output MATCHES "Kovrap64\\.lib" OR run_output MATCHES "libKovrap64\\.dll\\.a")
    message(FATAL_ERROR "the MSVC consumer was not linked with Kovrap64.lib:\n${run_output}")
  endif()
  # It reads the example database by a relative path.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env
                          "WINEPATH=${prefix}/${BINDIR}\;${prefix}/${STANDINDIR}"
                          ${EMULATOR} ${msvc_build}/host.exe
                  WORKING_DIRECTORY ${EXAMPLES} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the MSVC consumer failed with ${rc} (100 + the failed check)")
  endif()
  message(STATUS "find_package(Kovrap) for the MSVC ABI: linked with Kovrap64.lib, ran")
endif()

# kovrap.pc: compile and link the same program with its flags alone.
if(NOT WINDOWS AND PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
  run("pkg-config" ${PKG_CONFIG} --cflags --libs kovrap)
  string(STRIP "${run_output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  run("pkg-config --modversion" ${PKG_CONFIG} --modversion kovrap)
  if(NOT run_output MATCHES "^${version_pattern}")
    message(FATAL_ERROR "kovrap.pc gives version ${run_output}")
  endif()
  set(pc_program ${WORK_DIR}/consumer-pc)
  run("compile with kovrap.pc" ${C_COMPILER} -std=c99 ${sanitizer_flags}
      ${CONSUMER_SOURCE}/consumer.c ${flags} -o ${pc_program})
  # No run path from pkg-config: the library folder is named at run time.
  run("the consumer built with kovrap.pc"
      ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/${LIBDIR} ${pc_program})
  if(NOT run_output MATCHES "consumer: ok")
    message(FATAL_ERROR "the consumer built with kovrap.pc failed:\n${run_output}")
  endif()
  message(STATUS "kovrap.pc: ${run_output}")
elseif(NOT WINDOWS)
  message(STATUS "no pkg-config: kovrap.pc was installed but not tried")
endif()

# ------------------------------------------------ the README's install steps
if(WINDOWS OR NOT README)
  return()
endif()
find_program(SHELL_PROGRAM sh REQUIRED)
set(docs_dir ${WORK_DIR}/readme)
set(docs_prefix ${docs_dir}/prefix)
file(MAKE_DIRECTORY ${docs_dir}/host)

# The fenced blocks of "### Linux" under "## Install": the shell blocks make
# one script, the CMake block is host/CMakeLists.txt.
file(STRINGS ${README} lines)
set(section "")
set(block "")
set(script "")
set(cmake_lists "")
foreach(line IN LISTS lines)
  if(block)
    if(line MATCHES "^```")
      set(block "")
    elseif(block STREQUAL "cmake")
      string(APPEND cmake_lists "${line}\n")
    elseif(line MATCHES "^cmake -S \\. " OR line STREQUAL "cmake --build build")
      # Building the library: this test runs on that build, made already.
    elseif(line MATCHES "^prefix=")
      string(APPEND script "prefix='${docs_prefix}'\n")
    else()
      string(APPEND script "${line}\n")
    endif()
  elseif(line MATCHES "^## ")
    set(section "${line}")
  elseif(line MATCHES "^### ")
    set(section "${section}/${line}")
  elseif(section STREQUAL "## Install/### Linux" AND line MATCHES "^```([a-z]+)$")
    set(block ${CMAKE_MATCH_1})
  endif()
endforeach()
foreach(wanted "cmake --install build" "pkg-config --cflags --libs kovrap" "prefix='")
  string(FIND "${script}" "${wanted}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the README's Linux install steps lack '${wanted}':\n${script}")
  endif()
endforeach()
if(NOT cmake_lists MATCHES "find_package\\(Kovrap")
  message(FATAL_ERROR "the README's host CMakeLists.txt does not find Kovrap:\n${cmake_lists}")
endif()
file(WRITE ${docs_dir}/host/CMakeLists.txt "${cmake_lists}")
file(COPY_FILE ${CONSUMER_SOURCE}/consumer.c ${docs_dir}/host/host.c)
# "build" in the steps is this build; the shell stops at the first failure.
file(CREATE_LINK ${BUILD_DIR} ${docs_dir}/build SYMBOLIC)
set(preamble "set -e\n")
set(environment --unset=LD_LIBRARY_PATH --unset=PKG_CONFIG_PATH --unset=CMAKE_PREFIX_PATH)
if(GENERATOR)
  list(APPEND environment "CMAKE_GENERATOR=${GENERATOR}")
endif()
if(SANITIZE)
  # Programs that load the sanitized library carry the sanitizer themselves.
  string(APPEND preamble "cc() { command cc ${sanitizer_flags} \"$@\"; }\n")
  list(APPEND environment "CFLAGS=${sanitizer_flags}" "LDFLAGS=${sanitizer_flags}")
  # kovra's dlopen goes through the sanitizer's, which hides kovra's run
  # path: the loader is told the library folder instead. The run paths are
  # held to account by the same steps in the plain build.
  list(APPEND environment "LD_LIBRARY_PATH=${docs_prefix}/${LIBDIR}")
  list(REMOVE_ITEM environment --unset=LD_LIBRARY_PATH)
endif()
file(WRITE ${docs_dir}/steps.sh "${preamble}${script}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${environment} ${SHELL_PROGRAM} steps.sh
                WORKING_DIRECTORY ${docs_dir} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the README's Linux install steps failed (${rc}):\n${out}\n${err}")
endif()
# The default install holds every component.
set(prefix ${docs_prefix})
set(problems "")
expect_files(TRUE ${kovrap_files} ${standin_files} ${BINDIR}/kovra ${BINDIR}/tqvconvert
             ${LIBDIR}/tqvdata/ECON.tqvdb)
if(problems)
  message(FATAL_ERROR "the default install:\n${problems}")
endif()
# kovra's codes, then the host twice: with CMake, then with pkg-config.
string(REGEX MATCHALL "consumer: ok" oks "${out}")
list(LENGTH oks ok_count)
if(NOT out MATCHES "(^|\n)UKGAS\n" OR NOT ok_count EQUAL 2)
  message(FATAL_ERROR "the README's Linux install steps printed:\n${out}\n${err}")
endif()
message(STATUS "the README's Linux install steps: kovra and both hosts ran")
