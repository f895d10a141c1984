# Writes the module-definition file of Kovrap64.dll from the list of exports
# that the export-table check holds the DLL to, so that the DLL, the .def and
# the MSVC import library made from it name the same things:
#   kovrap_write_def(<exports.txt> <Kovrap.h> <dll name> <output .def>)
# A name declared in the header as a variable (extern KOVRAP_API ... name;) is
# exported as DATA: an MSVC host reaches it through __imp_name only.
function(kovrap_write_def exports header dll output)
  file(STRINGS ${exports} names)
  file(READ ${header} text)
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" " " text "${text}")
  string(REGEX REPLACE "//[^\n]*" " " text "${text}")
  set(content "LIBRARY ${dll}\nEXPORTS\n")
  foreach(name IN LISTS names)
    string(STRIP "${name}" name)
    if(name STREQUAL "")
      continue()
    endif()
    if(text MATCHES "KOVRAP_API[^;(]*[^A-Za-z0-9_]${name}[ \t\n]*\\(")
      string(APPEND content "    ${name}\n")
    elseif(text MATCHES "extern[ \t\n]+KOVRAP_API[^;(]*[^A-Za-z0-9_]${name}[ \t\n]*;")
      string(APPEND content "    ${name} DATA\n")
    else()
      message(FATAL_ERROR "${exports} names ${name}, which ${header} does not declare")
    endif()
  endforeach()
  file(CONFIGURE OUTPUT ${output} CONTENT "${content}" @ONLY)
endfunction()
