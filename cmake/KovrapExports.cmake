# The export list, src/exports.txt, is the one place that names what
# Kovrap64 exports: one name per line, '#' starts a comment. From it the build
# writes the Linux version script (Kovrap.map), the Windows module-definition
# file (Kovrap64.def) and the names the export-table checks expect; the test
# export_list holds it and the header's KOVRAP_API declarations to each other.

# kovrap_read_exports(<exports.txt> <var>): the names of the list, in order.
function(kovrap_read_exports file var)
  file(STRINGS ${file} lines)
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*" "" line "${line}")
    string(STRIP "${line}" line)
    if(NOT line STREQUAL "")
      list(APPEND names ${line})
    endif()
  endforeach()
  set(${var} ${names} PARENT_SCOPE)
endfunction()

# kovrap_header_exports(<Kovrap.h> <functions var> <data var>): the names the
# header declares with KOVRAP_API, as functions and as variables
# (extern KOVRAP_API ... name;), in the header's order.
function(kovrap_header_exports header functions_var data_var)
  file(READ ${header} text)
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" " " text "${text}")
  string(REGEX REPLACE "//[^\n]*" " " text "${text}")
  # The preprocessor lines define KOVRAP_API itself.
  string(REGEX REPLACE "#[^\n]*" " " text "${text}")
  # A semicolon would split the matches below as a list: each statement ends
  # in a control character instead.
  string(ASCII 1 end)
  string(REPLACE ";" "${end}" text "${text}")
  string(REGEX MATCHALL "KOVRAP_API[^${end}(]*\\(" calls "${text}")
  set(functions "")
  foreach(call IN LISTS calls)
    string(REGEX REPLACE ".*[^A-Za-z0-9_]([A-Za-z_][A-Za-z0-9_]*)[ \t\n]*\\($" "\\1" name "${call}")
    list(APPEND functions ${name})
  endforeach()
  string(REGEX MATCHALL "extern[ \t\n]+KOVRAP_API[^${end}(]*${end}" variables "${text}")
  set(data "")
  foreach(variable IN LISTS variables)
    string(REGEX REPLACE ".*[^A-Za-z0-9_]([A-Za-z_][A-Za-z0-9_]*)[ \t\n]*${end}$" "\\1" name
      "${variable}")
    list(APPEND data ${name})
  endforeach()
  set(${functions_var} ${functions} PARENT_SCOPE)
  set(${data_var} ${data} PARENT_SCOPE)
endfunction()

# kovrap_compare_exports(<names> <Kovrap.h> <problems var>): one line per
# difference between the list and the header's declarations; empty when they
# name the same things.
function(kovrap_compare_exports names header problems_var)
  kovrap_header_exports(${header} functions data)
  set(declared ${functions} ${data})
  set(problems "")
  set(seen "")
  foreach(name IN LISTS names)
    if(name IN_LIST seen)
      string(APPEND problems "the export list names ${name} twice\n")
    endif()
    list(APPEND seen ${name})
    if(NOT name IN_LIST declared)
      string(APPEND problems "the export list names ${name}, which Kovrap.h does not declare\n")
    endif()
  endforeach()
  foreach(name IN LISTS declared)
    if(NOT name IN_LIST names)
      string(APPEND problems "Kovrap.h declares ${name}, which the export list does not name\n")
    endif()
  endforeach()
  set(${problems_var} "${problems}" PARENT_SCOPE)
endfunction()

# kovrap_write_names(<names> <output>): the names, one a line, as the
# export-table checks read them.
function(kovrap_write_names names output)
  list(JOIN names "\n" content)
  file(CONFIGURE OUTPUT ${output} CONTENT "${content}\n" @ONLY)
endfunction()

# kovrap_write_version_script(<names> <output>): exports the names and hides
# everything else, so that no inline or template instantiation of the C++
# runtime leaks out.
function(kovrap_write_version_script names output)
  set(content "/* Written from src/exports.txt by cmake/KovrapExports.cmake. */\n{\n  global:\n")
  foreach(name IN LISTS names)
    string(APPEND content "    ${name};\n")
  endforeach()
  string(APPEND content "  local:\n    *;\n};\n")
  file(CONFIGURE OUTPUT ${output} CONTENT "${content}" @ONLY)
endfunction()

# kovrap_write_def(<names> <Kovrap.h> <dll name> <output .def>): the
# module-definition file of Kovrap64.dll, so that the DLL, the .def and the
# MSVC import library made from it name the same things. A name the header
# declares as a variable is exported as DATA: an MSVC host reaches it through
# __imp_name only.
function(kovrap_write_def names header dll output)
  kovrap_header_exports(${header} functions data)
  set(content "LIBRARY ${dll}\nEXPORTS\n")
  foreach(name IN LISTS names)
    if(name IN_LIST functions)
      string(APPEND content "    ${name}\n")
    elseif(name IN_LIST data)
      string(APPEND content "    ${name} DATA\n")
    else()
      message(FATAL_ERROR "the export list names ${name}, which ${header} does not declare")
    endif()
  endforeach()
  file(CONFIGURE OUTPUT ${output} CONTENT "${content}" @ONLY)
endfunction()
