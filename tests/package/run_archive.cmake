# Makes the release archive with CPack, unpacks it into an empty folder and
# uses it from there alone: its files are all present, the C example builds
# against it and prints what it should, and kovra reads the sample databases
# through both libraries. Nothing of the build tree is on any search path:
# on Linux the programs find the libraries through their run paths, on
# Windows (under Wine) through PATH, given as WINEPATH, naming the archive's
# bin and standin folders. Run by CTest with cmake -P; the variables come
# from tests/package/CMakeLists.txt.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/unpacked ${WORK_DIR}/example)

function(run what)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DIR" "")
  if(NOT arg_DIR)
    set(arg_DIR ${WORK_DIR})
  endif()
  execute_process(COMMAND ${arg_UNPARSED_ARGUMENTS} WORKING_DIRECTORY ${arg_DIR}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  string(REPLACE "\r" "" out "${out}")
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

set(config_args "")
if(CONFIG)
  set(config_args -C ${CONFIG})
endif()
run("cpack" ${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake ${config_args} -B ${WORK_DIR}/dist)
if(WINDOWS)
  file(GLOB archives ${WORK_DIR}/dist/*.zip)
else()
  file(GLOB archives ${WORK_DIR}/dist/*.tar.gz)
endif()
list(LENGTH archives count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "cpack made ${count} archives: ${archives}")
endif()
run("unpacking" ${CMAKE_COMMAND} -E tar xf ${archives} DIR ${WORK_DIR}/unpacked)
file(GLOB top LIST_DIRECTORIES true ${WORK_DIR}/unpacked/*)
list(LENGTH top count)
if(NOT count EQUAL 1 OR NOT IS_DIRECTORY "${top}")
  message(FATAL_ERROR "the archive does not hold one top folder: ${top}")
endif()
set(root ${top})

# What a user gets.
set(docs share/doc/Kovrap)
set(wanted include/Kovrap.h lib/cmake/Kovrap/KovrapConfig.cmake
    lib/cmake/Kovrap/KovrapConfigVersion.cmake lib/cmake/Kovrap/KovrapTargets.cmake
    lib/cmake/Kovrap/KovrapStandinTargets.cmake lib/pkgconfig/kovrap.pc
    ${docs}/README.md ${docs}/LICENSE ${docs}/docs/kovra.md ${docs}/docs/windows.md
    ${docs}/docs/reference/README.md ${docs}/examples/series.c ${docs}/examples/example.tqvdb
    ${docs}/examples/series.expected)
if(WINDOWS)
  set(data standin/tqvdata)
  list(APPEND wanted bin/Kovrap64.dll lib/Kovrap64.lib lib/Kovrap64.def lib/libKovrap64.dll.a
       bin/kovra.exe bin/tqvconvert.exe
       standin/tqvapi64.dll standin/tqvdapi64.dll standin/tqvstandin.dll)
  set(unwanted bin/tqvapi64.dll bin/tqvdapi64.dll bin/tqvstandin.dll)
else()
  set(data lib/tqvdata)
  list(APPEND wanted lib/libKovrap64.so bin/kovra bin/tqvconvert
       lib/libtqvapi64.so lib/libtqvdapi64.so lib/libtqvstandin.so)
  set(unwanted lib/Kovrap64.lib lib/Kovrap64.def)
endif()
list(APPEND wanted ${data}/ECON.tqvdb ${data}/MARKETS.tqvdb ${data}/credentials
     ${data}/demo.password)
set(problems "")
foreach(file IN LISTS wanted)
  if(NOT EXISTS ${root}/${file})
    string(APPEND problems "missing: ${file}\n")
  endif()
endforeach()
foreach(file IN LISTS unwanted)
  if(EXISTS ${root}/${file})
    string(APPEND problems "not for this platform: ${file}\n")
  endif()
endforeach()
# Nothing shipped names the folders it was built in.
file(GLOB_RECURSE texts ${root}/*.md ${root}/*.cmake ${root}/*.pc ${root}/*.h ${root}/*.def
     ${root}/*.c ${root}/*.py)
foreach(file IN LISTS texts)
  file(READ ${file} text)
  foreach(folder IN ITEMS ${SOURCE_DIR} ${BUILD_DIR})
    string(FIND "${text}" "${folder}" at)
    if(NOT at EQUAL -1)
      string(APPEND problems "${file} names ${folder}\n")
    endif()
  endforeach()
endforeach()
if(NOT WINDOWS AND READELF)
  file(GLOB elves ${root}/bin/* ${root}/lib/*.so)
  foreach(file IN LISTS elves)
    execute_process(COMMAND ${READELF} -d ${file} OUTPUT_VARIABLE dynamic)
    if(dynamic MATCHES "R(UN)?PATH[^\n]*\\[([^]\n]*)\\]")
      set(paths ${CMAKE_MATCH_2})
      string(REPLACE ":" ";" paths "${paths}")
      foreach(path IN LISTS paths)
        if(NOT path MATCHES "^\\$ORIGIN")
          string(APPEND problems "${file} has the run path ${path}\n")
        endif()
      endforeach()
    endif()
  endforeach()
endif()
if(problems)
  message(FATAL_ERROR "${archives}:\n${problems}")
endif()

# The environment of every program: no library or data path of the build.
set(clean_env ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH --unset=TQVD_DATA_DIR
    --unset=WINEPATH PATH=/usr/bin:/bin)
if(WINDOWS)
  set(example_program ${WORK_DIR}/example/series.exe)
  set(kovra ${EMULATOR} bin/kovra.exe)
  set(example_env ${clean_env} "WINEPATH=${root}/bin\;${root}/standin" ${EMULATOR})
  set(kovra_env ${clean_env} WINEPATH=${root}/standin)
  set(example_flags -I${root}/include ${root}/lib/libKovrap64.dll.a)
else()
  set(example_program ${WORK_DIR}/example/series)
  set(kovra bin/kovra)
  set(example_env ${clean_env})
  set(kovra_env ${clean_env})
  set(example_flags -I${root}/include -L${root}/lib -lKovrap64 -Wl,-rpath,${root}/lib)
endif()
if(PKG_CONFIG)
  # The archive's kovrap.pc, as the install section of the README says.
  set(ENV{PKG_CONFIG_PATH} ${root}/lib/pkgconfig)
  run("pkg-config" ${PKG_CONFIG} --cflags --libs kovrap)
  string(STRIP "${run_output}" flags)
  separate_arguments(example_flags UNIX_COMMAND "${flags}")
  if(NOT WINDOWS)
    run("pkg-config" ${PKG_CONFIG} --variable=libdir kovrap)
    string(STRIP "${run_output}" libdir)
    list(APPEND example_flags -Wl,-rpath,${libdir})
  endif()
endif()

# The C example, built from the archive's copy against its header and
# library, run in the archive's examples folder.
run("compile the C example" ${C_COMPILER} -std=c99 ${root}/${docs}/examples/series.c
    ${example_flags} -o ${example_program})
run("the C example" ${example_env} ${example_program} example.tqvdb
    DIR ${root}/${docs}/examples)
file(READ ${root}/${docs}/examples/series.expected expected)
string(REPLACE "\r" "" expected "${expected}")
if(NOT run_output STREQUAL expected)
  message(FATAL_ERROR "the C example printed\n${run_output}\ninstead of\n${expected}")
endif()

# kovra, in the archive's top folder: both libraries, a local database by
# its path and the same database through the direct library's log-in.
run("kovra version" ${kovra_env} ${kovra} version DIR ${root})
if(NOT run_output MATCHES "local library: +tqvapi64 standin" OR
   NOT run_output MATCHES "direct library: +tqvdapi64 standin")
  message(FATAL_ERROR "kovra version printed:\n${run_output}")
endif()
run("kovra codes" ${kovra_env} ${kovra} codes ${data}/MARKETS.tqvdb DIR ${root})
set(local_codes "${run_output}")
run("kovra --direct codes" ${kovra_env} ${kovra} --direct --user demo
    --password-file ${data}/demo.password codes MARKETS DIR ${root})
if(NOT local_codes MATCHES "^DAX\nSMI\n" OR NOT run_output STREQUAL local_codes)
  message(FATAL_ERROR "kovra codes printed\n${local_codes}\nand through the direct library\n${run_output}")
endif()
message(STATUS "${archives}: complete; the C example and kovra run from it")
