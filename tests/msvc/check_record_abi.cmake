# Holds every record of Kovrap.h to the offsets and sizes of the reference
# pages (which the reference test holds to the compiler that builds Kovrap),
# on each ABI a Windows host may be built for:
#   cmake -DHEADER=Kovrap.h -DDOCS=docs/reference -DWORK=dir
#         -DCOMPILERS="name|command...,..." -P check_record_abi.cmake
# Each compiler only checks the syntax of a file of static assertions, so no
# C library headers and no linker are needed: clang for the MSVC ABI runs
# without Microsoft's headers. A spoiled copy of the assertions must fail on
# each compiler, so that a pass is known to mean something.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../docs/header_records.cmake)

kovrap_header_records(${HEADER} records)
if(NOT records)
  message(FATAL_ERROR "no record found in ${HEADER}")
endif()

# The documented tables: "### `Record`", rows "| offset | `field` | ...",
# and "Size: N bytes".
file(GLOB pages ${DOCS}/*.md)
foreach(page IN LISTS pages)
  file(STRINGS ${page} lines)
  set(record "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^#+ `([A-Za-z_][A-Za-z0-9_]*)`$" AND CMAKE_MATCH_1 IN_LIST records)
      set(record ${CMAKE_MATCH_1})
    elseif(line MATCHES "^#+ ")
      set(record "")
    elseif(record AND line MATCHES "^\\| *([0-9]+) *\\| *`([A-Za-z_][A-Za-z0-9_]*)` *\\|")
      set(offset_${record}_${CMAKE_MATCH_2} ${CMAKE_MATCH_1})
    elseif(record AND line MATCHES "^Size: ([0-9]+) bytes")
      set(size_${record} ${CMAKE_MATCH_1})
    endif()
  endforeach()
endforeach()

set(problems "")
set(asserts "")
set(count 0)
foreach(record IN LISTS records)
  if(NOT DEFINED size_${record})
    string(APPEND problems "${record}: no documented size\n")
    continue()
  endif()
  string(APPEND asserts "_Static_assert(sizeof(${record}) == ${size_${record}}, "
                        "\"size of ${record}\");\n")
  foreach(field IN LISTS records_${record})
    if(NOT DEFINED offset_${record}_${field})
      string(APPEND problems "${record}.${field}: no documented offset\n")
      continue()
    endif()
    string(APPEND asserts
      "_Static_assert(__builtin_offsetof(${record}, ${field}) == ${offset_${record}_${field}}, "
      "\"offset of ${record}.${field}\");\n")
    math(EXPR count "${count} + 1")
  endforeach()
endforeach()
if(problems)
  message(FATAL_ERROR "${HEADER} against ${DOCS}:\n${problems}")
endif()

# Only Kovrap.h is included; the export declarations compile as dllimport.
get_filename_component(include_dir ${HEADER} DIRECTORY)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(prologue "/* Written by check_record_abi.cmake. */\n#include \"Kovrap.h\"\n\n")
file(WRITE ${WORK}/records.c "${prologue}${asserts}")
# The spoiled copy: the last field of the first record one byte off.
list(GET records 0 first)
list(GET records_${first} -1 last)
math(EXPR wrong "${offset_${first}_${last}} + 1")
file(WRITE ${WORK}/spoiled.c "${prologue}_Static_assert(__builtin_offsetof(${first}, ${last}) "
                             "== ${wrong}, \"offset of ${first}.${last}\");\n")

string(REPLACE "," ";" COMPILERS "${COMPILERS}")
foreach(compiler IN LISTS COMPILERS)
  string(REPLACE "|" ";" compiler "${compiler}")
  list(POP_FRONT compiler name)
  set(command ${compiler} -std=c11 -fsyntax-only -I${include_dir})
  execute_process(COMMAND ${command} ${WORK}/records.c RESULT_VARIABLE rc
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(APPEND problems "${name}: the records differ from the documented layout:\n${out}${err}\n")
    continue()
  endif()
  execute_process(COMMAND ${command} ${WORK}/spoiled.c RESULT_VARIABLE rc
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(rc EQUAL 0 OR NOT "${out}${err}" MATCHES "offset of ${first}\\.${last}")
    string(APPEND problems "${name}: a wrong offset of ${first}.${last} was not caught:\n${out}${err}\n")
  endif()
endforeach()
if(problems)
  message(FATAL_ERROR "${problems}")
endif()
list(LENGTH records record_count)
set(names "")
foreach(compiler IN LISTS COMPILERS)
  string(REGEX REPLACE "\\|.*" "" name "${compiler}")
  list(APPEND names ${name})
endforeach()
message(STATUS "${record_count} records, ${count} fields: the same layout on ${names}")
