# Fails when a source file of the library includes a header of a layer above
# its own. The layers, from the ground up:
#
#   binding              the database libraries, the bracket, the walk, code lists
#   calendar             frequency codes and dates
#   catalogue, retrieval the exports that read series (side by side)
#
# A file may include headers of its own folder and of the layers below it;
# headers outside these folders (Kovrap.h, the libraries' interface) are
# below all of them.
#
#   cmake -DSOURCE_DIR=<src> -P check_layers.cmake
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is not set")
endif()

get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

set(rank_binding 0)
set(rank_calendar 1)
set(rank_catalogue 2)
set(rank_retrieval 2)
set(layers binding calendar catalogue retrieval)

set(violations "")
set(files_checked 0)
foreach(layer IN LISTS layers)
  file(GLOB files ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
  foreach(file IN LISTS files)
    math(EXPR files_checked "${files_checked} + 1")
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][a-z]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([a-z]+)/.*$" "\\1" target "${line}")
      if(NOT DEFINED rank_${target} OR target STREQUAL layer)
        continue()
      endif()
      if(rank_${target} GREATER_EQUAL rank_${layer})
        file(RELATIVE_PATH shown ${SOURCE_DIR} ${file})
        string(STRIP "${line}" line)
        list(APPEND violations "${shown} (${layer}) includes ${target}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(files_checked EQUAL 0)
  message(FATAL_ERROR "no source files under ${SOURCE_DIR}")
endif()
if(violations)
  list(JOIN violations "\n  " shown)
  message(FATAL_ERROR "includes against the layers:\n  ${shown}")
endif()
message(STATUS "${files_checked} files include only their own layer and those below")
