# Builds msvc_host.c for Microsoft's ABI, links it against Kovrap64.lib with
# lld-link and runs it under Wine against the built Kovrap64.dll:
#   cmake -DCLANG=clang -DLLD_LINK=lld-link -DREADOBJ=llvm-readobj -DEMULATOR=wine
#         -DSOURCE=msvc_host.c -DINCLUDE=include -DLIB=Kovrap64.lib
#         -DDLL_DIR=bin -DDATA_DIR=examples -DWORK=dir -P run_msvc_host.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

run("compile for the MSVC ABI" ${CLANG} --target=x86_64-pc-windows-msvc -std=c99 -O2
    -I${INCLUDE} -c ${SOURCE} -o ${WORK}/msvc_host.obj)
run("link with Kovrap64.lib" ${LLD_LINK} /nologo /entry:start /subsystem:console
    /nodefaultlib /out:${WORK}/msvc_host.exe ${WORK}/msvc_host.obj ${LIB})
# It imports from Kovrap64.dll alone, the variable included.
run("reading the imports" ${READOBJ} --coff-imports ${WORK}/msvc_host.exe)
string(REGEX MATCHALL "Name: [^\n]*" dlls "${run_output}")
if(NOT dlls STREQUAL "Name: Kovrap64.dll" OR NOT run_output MATCHES "Symbol: TQVDchunk")
  message(FATAL_ERROR "msvc_host.exe imports:\n${run_output}")
endif()
# Kovrap64.dll and the stand-ins are found through WINEPATH.
execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPATH=${DLL_DIR} ${EMULATOR}
                        ${WORK}/msvc_host.exe
                WORKING_DIRECTORY ${DATA_DIR} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "msvc_host.exe failed with ${rc} (100 + the failed check):\n${out}${err}")
endif()
message(STATUS "a host built for the MSVC ABI links Kovrap64.lib and runs")
