# Installs the built project into a fresh prefix, then builds and runs a
# consumer of the installed library twice: found through find_package, and
# compiled by hand with pkg-config's flags. Run by CTest with cmake -P.
#   BUILD_DIR  the project's build folder      SOURCE_DIR  this folder
#   WORK_DIR   a folder of its own, emptied    CXX         the C++ compiler
#   SANITIZE   ON when the library was built with the sanitizers

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# What a packager expects to find.
file(GLOB libdir_candidates LIST_DIRECTORIES true ${prefix}/lib ${prefix}/lib64 ${prefix}/lib/*-linux-gnu)
foreach(dir ${libdir_candidates})
  if(EXISTS ${dir}/pkgconfig/darulib.pc)
    set(libdir ${dir})
  endif()
endforeach()
if(NOT libdir)
  message(FATAL_ERROR "no lib*/pkgconfig/darulib.pc under ${prefix}")
endif()
foreach(file ${libdir}/libdarulib.so ${libdir}/cmake/darulib/darulibConfig.cmake
             ${prefix}/include/darulib/darulib.h ${prefix}/include/darulib/darulib_ui.h
             ${prefix}/include/darulib/facade/DARU.h ${prefix}/bin/daru ${prefix}/share/man/man1/daru.1
             ${prefix}/share/bash-completion/completions/daru ${prefix}/share/zsh/vendor-completions/_daru)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(GLOB sonames ${libdir}/libdarulib.so.[0-9])
if(NOT sonames)
  message(FATAL_ERROR "no libdarulib.so.N under ${libdir}")
endif()
run("the installed daru" ${prefix}/bin/daru --version)

set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=address,undefined -fno-omit-frame-pointer")
endif()

# Through the CMake package.
run("configuring the consumer" ${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/cmake-build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${flags}"
    "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run("building the consumer" ${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run("the consumer (find_package)" ${WORK_DIR}/cmake-build/consumer ${WORK_DIR}/root-cmake)
message(STATUS "find_package: ${last_output}")

# Through pkg-config, by hand.
run("pkg-config" ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${libdir}/pkgconfig pkg-config --cflags --libs darulib)
string(STRIP "${last_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(extra UNIX_COMMAND "${flags}")
run("compiling the consumer (pkg-config)" ${CXX} -std=c++20 ${extra} ${SOURCE_DIR}/consumer/main.cpp ${pc_flags}
    -Wl,-rpath,${libdir} -o ${WORK_DIR}/consumer-pc)
run("the consumer (pkg-config)" ${WORK_DIR}/consumer-pc ${WORK_DIR}/root-pc)
message(STATUS "pkg-config: ${last_output}")
file(REMOVE_RECURSE ${WORK_DIR})
