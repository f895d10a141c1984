# Reads the records (typedef struct NAME { ... } NAME;) of a C header:
#   kovrap_header_records(<header> <out-var>)
# sets <out-var> to the record names and <out-var>_<NAME> to each record's
# field names, in order. Comments are dropped first; each field is the last
# identifier of its declaration.
function(kovrap_header_records header out)
  file(READ ${header} text)
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" " " text "${text}")
  string(REGEX REPLACE "//[^\n]*" " " text "${text}")
  # Semicolons would split CMake lists: each ends a field as "@" instead.
  string(REPLACE ";" "@" text "${text}")
  string(REGEX MATCHALL "typedef[ \t\n]+struct[ \t\n]+[A-Za-z_][A-Za-z0-9_]*[ \t\n]*{[^}]*}"
         blocks "${text}")
  set(records "")
  foreach(block IN LISTS blocks)
    string(REGEX MATCH "struct[ \t\n]+([A-Za-z_][A-Za-z0-9_]*)" _ "${block}")
    set(name ${CMAKE_MATCH_1})
    string(REGEX REPLACE "^[^{]*{" "" body "${block}")
    string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*[ \t\n]*@" declarations "${body}")
    set(fields "")
    foreach(declaration IN LISTS declarations)
      string(REGEX MATCH "[A-Za-z_][A-Za-z0-9_]*" field "${declaration}")
      list(APPEND fields ${field})
    endforeach()
    list(APPEND records ${name})
    set(${out}_${name} ${fields} PARENT_SCOPE)
  endforeach()
  set(${out} ${records} PARENT_SCOPE)
endfunction()
