# Installs the built project into a fresh prefix, then builds and runs a
# consumer of the installed library twice: found through find_package, and
# compiled by hand with pkg-config's flags. Checks what a consumer and a
# packager rely on besides: the headers under <prefix>/include/darulib/
# only, the C++20 message, the exported symbols, and a build folder that
# installing leaves as it was. Run by CTest with cmake -P.
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
# Installing writes nothing into the build folder but CMake's own list of
# what it installed.
file(GLOB_RECURSE build_before LIST_DIRECTORIES false RELATIVE ${BUILD_DIR} ${BUILD_DIR}/*)
run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
file(GLOB_RECURSE build_after LIST_DIRECTORIES false RELATIVE ${BUILD_DIR} ${BUILD_DIR}/*)
list(REMOVE_ITEM build_after ${build_before} install_manifest.txt)
list(FILTER build_after EXCLUDE REGEX "^tests/install-test/")
if(build_after)
  message(FATAL_ERROR "installing wrote into the build folder: ${build_after}")
endif()

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
             ${prefix}/include/darulib/facade/DARU.h
             ${prefix}/include/darulib.h ${prefix}/include/darulib_ui.h
             ${prefix}/bin/daru ${prefix}/share/man/man1/daru.1.gz
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

# Nothing of the headers' own folders lies at the top of <prefix>/include,
# and no installed header names another in the source tree's spelling, which
# would need <prefix>/include/darulib on the include path.
file(GLOB top LIST_DIRECTORIES true RELATIVE ${prefix}/include ${prefix}/include/*)
list(SORT top)
if(NOT top STREQUAL "darulib;darulib.h;darulib_ui.h")
  message(FATAL_ERROR "<prefix>/include holds more than darulib/ and the two old umbrella headers: ${top}")
endif()
file(GLOB_RECURSE installed_headers ${prefix}/include/darulib/*.h)
foreach(header ${installed_headers})
  file(STRINGS ${header} quoted REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  if(quoted)
    message(FATAL_ERROR "${header} includes in the source tree's spelling: ${quoted}")
  endif()
endforeach()

# The library exports its own names only, each under DARULIB_0: no template
# of the standard library, no helper outside namespace daru under a name
# another library could have.
run("nm" nm -D --defined-only ${libdir}/libdarulib.so)
string(REGEX REPLACE "\n$" "" exported "${last_output}")
string(REPLACE "\n" ";" exported "${exported}")
list(LENGTH exported exported_count)
set(unversioned)
set(mangled)
foreach(line IN LISTS exported)
  string(REGEX REPLACE "^[0-9a-f]* [A-Za-z] " "" symbol "${line}")
  if(symbol STREQUAL "DARULIB_0")  # the version's own definition
    continue()
  elseif(NOT symbol MATCHES "@@?DARULIB_0$")
    list(APPEND unversioned ${symbol})
  endif()
  string(REGEX REPLACE "@.*" "" symbol "${symbol}")
  list(APPEND mangled ${symbol})
endforeach()
if(unversioned)
  message(FATAL_ERROR "exported without the version DARULIB_0: ${unversioned}")
endif()
string(REPLACE ";" "\n" mangled "${mangled}")
file(WRITE ${WORK_DIR}/exported.txt "${mangled}\n")
execute_process(COMMAND c++filt INPUT_FILE ${WORK_DIR}/exported.txt OUTPUT_VARIABLE demangled RESULT_VARIABLE rc)
string(REPLACE "\n" ";" demangled "${demangled}")
set(foreign)
foreach(name IN LISTS demangled)
  # The entity, without its parameters: "void std::deque<...>::_M_erase",
  # "typeinfo for std::bad_variant_access", "CDARU::Init".
  string(REGEX REPLACE "\\(.*" "" entity "${name}")
  if(entity MATCHES "^(typeinfo for |typeinfo name for |vtable for |VTT for |guard variable for |[^ <]+ )?(std|__gnu_cxx)::"
     OR entity MATCHES "^(ToUtf8|FromUtf8|ReplaceFile|PathExists|MessageBox|SendMessage|SetTimer|GetFocus)(\\[|$)")
    list(APPEND foreign "${name}")
  endif()
endforeach()
if(foreign)
  string(REPLACE ";" "\n  " foreign "${foreign}")
  message(FATAL_ERROR "exported names that are not the library's own:\n  ${foreign}")
endif()
message(STATUS "libdarulib.so exports ${exported_count} symbols, all under DARULIB_0")

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
if(pc_flags MATCHES "include/darulib")
  message(FATAL_ERROR "pkg-config puts the headers' own folder on the include path: ${pc_flags}")
endif()
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(extra UNIX_COMMAND "${flags}")
run("compiling the consumer (pkg-config)" ${CXX} -std=c++20 ${extra} ${SOURCE_DIR}/consumer/main.cpp ${pc_flags}
    -Wl,-rpath,${libdir} -o ${WORK_DIR}/consumer-pc)
run("the consumer (pkg-config)" ${WORK_DIR}/consumer-pc ${WORK_DIR}/root-pc)
message(STATUS "pkg-config: ${last_output}")
run("compiling <darulib.h> (pkg-config)" ${CXX} -std=c++20 ${extra} ${SOURCE_DIR}/consumer/OldSpelling.cpp ${pc_flags}
    -Wl,-rpath,${libdir} -o ${WORK_DIR}/old-spelling)
run("the program that includes <darulib.h>" ${WORK_DIR}/old-spelling)

# As C++17: one error, the library's, and none from inside its headers.
execute_process(COMMAND ${CXX} -std=c++17 -fsyntax-only ${SOURCE_DIR}/consumer/Cxx17.cpp ${pc_flags}
  RESULT_VARIABLE rc ERROR_VARIABLE err)
string(REGEX MATCHALL "error:[^\n]*" errors "${err}")
list(LENGTH errors error_count)
if(rc EQUAL 0 OR NOT error_count EQUAL 1 OR NOT err MATCHES "darulib needs C\\+\\+20")
  message(FATAL_ERROR "as C++17, expected the one message that C++20 is needed (${rc}):\n${err}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
