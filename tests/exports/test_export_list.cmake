# Holds the export list and the header's KOVRAP_API declarations to each other,
# then spoils a copy of one or the other in each case below and expects the
# comparison to name the fault, so that the check is seen to catch it.
#   cmake -DEXPORTS=src/exports.txt -DHEADER=Kovrap.h
#         -DMODULE=cmake/KovrapExports.cmake -DWORK=dir -P test_export_list.cmake
cmake_minimum_required(VERSION 3.25)
include(${MODULE})

kovrap_read_exports(${EXPORTS} names)
kovrap_compare_exports("${names}" ${HEADER} problems)
if(problems)
  message(FATAL_ERROR "${EXPORTS} and ${HEADER} disagree:\n${problems}")
endif()
kovrap_header_exports(${HEADER} functions data)
list(LENGTH functions function_count)
list(LENGTH data data_count)
# The list must hold the exported variable as well as the functions; a
# reader that found nothing would agree with an empty list.
if(function_count EQUAL 0 OR data_count EQUAL 0)
  message(FATAL_ERROR "${HEADER}: found ${function_count} functions, ${data_count} variables")
endif()

# Each case: what to spoil (list or header)~text to find~replacement~
# expected fragment of the problems, empty for none. "@" stands for a
# semicolon in the texts.
set(cases
  "list~c_kovraGetDate\n~~Kovrap.h declares c_kovraGetDate, which the export list does not name"
  "list~TQVDchunk\n~~Kovrap.h declares TQVDchunk, which the export list does not name"
  "list~isLeapYear\n~isLeapYear\nc_kovraGetNames\n~the export list names c_kovraGetNames, which Kovrap.h does not declare"
  "list~isLeapYear\n~isLeapYear\nisLeapYear\n~the export list names isLeapYear twice"
  "list~c_setAggmode\n~# c_setAggmode\n~Kovrap.h declares c_setAggmode, which the export list does not name"
  "header~KOVRAP_API int isLeapYear(~int isLeapYear(~the export list names isLeapYear, which Kovrap.h does not declare"
  "header~extern KOVRAP_API const int TQVDchunk~extern const int TQVDchunk~the export list names TQVDchunk, which Kovrap.h does not declare"
  "header~KOVRAP_API int c_getAggmode(int direct)~KOVRAP_API int c_getAggmode(int direct)@\nKOVRAP_API int c_getMode(int direct)~Kovrap.h declares c_getMode, which the export list does not name"
  "header~/** Aggregation mode~/* KOVRAP_API int c_oldMode(int direct)@ */\n/** Aggregation mode~"
)

file(READ ${EXPORTS} list_text)
file(READ ${HEADER} header_text)
file(MAKE_DIRECTORY ${WORK})
set(failures "")
set(n 0)
foreach(case IN LISTS cases)
  math(EXPR n "${n} + 1")
  string(REPLACE "~" ";" parts "${case}")
  list(GET parts 0 what)
  list(GET parts 1 find)
  list(GET parts 2 replace)
  list(GET parts 3 expected)
  foreach(var find replace)
    string(REPLACE "@" ";" ${var} "${${var}}")
  endforeach()
  set(list_copy "${list_text}")
  set(header_copy "${header_text}")
  if(what STREQUAL "list")
    string(FIND "${list_copy}" "${find}" at)
    string(REPLACE "${find}" "${replace}" list_copy "${list_copy}")
  else()
    string(FIND "${header_copy}" "${find}" at)
    string(REPLACE "${find}" "${replace}" header_copy "${header_copy}")
  endif()
  if(at EQUAL -1)
    string(APPEND failures "case ${n}: '${find}' is not in the ${what}\n")
    continue()
  endif()
  file(WRITE ${WORK}/exports.txt "${list_copy}")
  file(WRITE ${WORK}/Kovrap.h "${header_copy}")
  kovrap_read_exports(${WORK}/exports.txt spoiled_names)
  kovrap_compare_exports("${spoiled_names}" ${WORK}/Kovrap.h spoiled)
  if(expected STREQUAL "")
    # A declaration inside a comment is no declaration: nothing to report.
    if(NOT spoiled STREQUAL "")
      string(APPEND failures "case ${n}: expected no problem, got:\n${spoiled}")
    endif()
  else()
    string(FIND "${spoiled}" "${expected}" found)
    if(found EQUAL -1)
      string(APPEND failures "case ${n}: expected '${expected}', got:\n${spoiled}\n")
    endif()
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "the export list check misses faults:\n${failures}")
endif()
list(LENGTH names count)
message(STATUS "${count} exports agree with ${HEADER}; ${n} spoiled copies caught")
