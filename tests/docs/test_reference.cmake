# Runs check_reference.cmake on the reference pages, then on spoiled copies of
# them: each case below spoils one copy and expects the check to fail naming
# the fault, so the check is seen to catch what it is there for.
#   cmake -DHEADER=Kovrap.h -DDOCS=docs/reference -DLAYOUT=record_layout
#         [-DEMULATOR=wine] -DWORK=dir -P test_reference.cmake
cmake_minimum_required(VERSION 3.25)

# Each case: page~text to find~replacement~expected fragment of the message.
# "@" stands for a semicolon in the texts.
set(cases
  "info.md~| 40 | `statusList3`~| 44 | `statusList3`~`InfoStatusLists.statusList3` is at offset 40, documented 44"
  "data.md~| 56 | `countStatus` |~| 56 | `countStatusX` |~`TransformArrays` lacks the field `countStatus`"
  "info.md~Size: 136 bytes.~Size: 128 bytes.~`SeriesInfoColumns` is 136 bytes, documented '128'"
  "data.md~int obsPerSeries, TransformArrays~int obsPerSeries, AdvancedWindows~no ```c block declares `c_kovraGetData`"
  "calendar.md~## `isLeapYear`~## isLeapYear~`isLeapYear` has no heading"
  "passthrough.md~## `c_getAggmode`~## `c_getAggMode`~heading `c_getAggMode` names no export or record"
  "README.md~`ZOZurevAdvancedCount`~ZOZurevAdvancedCount~README.md does not name `ZOZurevAdvancedCount`"
  "codelists.md~extern const int TQVDchunk@~extern int TQVDchunk@~no ```c block declares `TQVDchunk`"
  "advanced.md~## What happens~## `CommonRange`~`CommonRange` is also described in"
  "README.md~(codelists.md)~(code-lists.md)~the link to code-lists.md leads nowhere"
  "README.md~(passthrough.md)~(passthrough.md#c_getaggmode)~README.md does not link passthrough.md"
)

function(check docs result_var output_var)
  set(command ${CMAKE_COMMAND} -DHEADER=${HEADER} -DDOCS=${docs}
      -DLAYOUT_OUTPUT=${WORK}/layout.txt)
  execute_process(COMMAND ${command} -P ${CMAKE_CURRENT_LIST_DIR}/check_reference.cmake
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result_var} ${rc} PARENT_SCOPE)
  set(${output_var} "${out}${err}" PARENT_SCOPE)
endfunction()

set(problems "")
file(REMOVE_RECURSE ${WORK})
# The layout program runs once (a process start is slow under an emulator).
execute_process(COMMAND ${EMULATOR} ${LAYOUT} RESULT_VARIABLE rc OUTPUT_VARIABLE layout)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${LAYOUT} failed: ${rc}")
endif()
file(WRITE ${WORK}/layout.txt "${layout}")
check(${DOCS} rc out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${out}")
endif()
string(REGEX REPLACE "^-- " "" out "${out}")
string(STRIP "${out}" out)
message(STATUS "${out}")

set(n 0)
foreach(case IN LISTS cases)
  math(EXPR n "${n} + 1")
  string(REPLACE "~" ";" parts "${case}")
  list(GET parts 0 page)
  list(GET parts 1 find)
  list(GET parts 2 replace)
  list(GET parts 3 expected)
  foreach(var find replace expected)
    string(REPLACE "@" ";" ${var} "${${var}}")
  endforeach()

  # The whole docs folder, so that links out of the pages still lead somewhere.
  get_filename_component(docs_parent ${DOCS} DIRECTORY)
  get_filename_component(docs_name ${DOCS} NAME)
  file(COPY ${docs_parent}/ DESTINATION ${WORK}/case${n})
  set(docs ${WORK}/case${n}/${docs_name})
  file(READ ${docs}/${page} text)
  string(FIND "${text}" "${find}" at)
  if(at EQUAL -1)
    string(APPEND problems "case ${n}: '${find}' is not in ${page}\n")
    continue()
  endif()
  string(REPLACE "${find}" "${replace}" text "${text}")
  file(WRITE ${docs}/${page} "${text}")
  check(${docs} rc out)
  string(FIND "${out}" "${expected}" found)
  if(rc EQUAL 0 OR found EQUAL -1)
    string(APPEND problems "case ${n} (${page}): expected a failure with '${expected}', got:\n${out}\n")
  endif()
endforeach()

if(problems)
  message(FATAL_ERROR "${problems}")
endif()
message(STATUS "${n} spoiled copies of the pages caught")
