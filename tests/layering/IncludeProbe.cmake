# Compiles a one-line source that includes HEADER with the include folders a
# layer compiles with (INCLUDES, separated by '|'), and checks the outcome:
# EXPECT=found must compile, EXPECT=missing must fail because the compiler
# cannot find the header. Run by CTest with cmake -P.
#   CXX  the C++ compiler     WORK_DIR  a folder of its own

string(REPLACE "|" ";" folders "${INCLUDES}")
set(flags -std=c++20 -fsyntax-only)
foreach(folder ${folders})
  list(APPEND flags -I${folder})
endforeach()
string(MAKE_C_IDENTIFIER "${HEADER}" name)
file(MAKE_DIRECTORY ${WORK_DIR})
set(probe ${WORK_DIR}/${name}.cpp)
file(WRITE ${probe} "#include \"${HEADER}\"\n")
execute_process(COMMAND ${CXX} ${flags} ${probe} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(EXPECT STREQUAL "found")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${HEADER} should compile with ${INCLUDES}:\n${err}")
  endif()
elseif(EXPECT STREQUAL "missing")
  if(rc EQUAL 0)
    message(FATAL_ERROR "${HEADER} is reachable from ${INCLUDES}; it lies in a layer above")
  endif()
  if(NOT err MATCHES "${HEADER}: No such file or directory")
    message(FATAL_ERROR "${HEADER} failed for another reason than being out of reach:\n${err}")
  endif()
else()
  message(FATAL_ERROR "EXPECT must be found or missing")
endif()
