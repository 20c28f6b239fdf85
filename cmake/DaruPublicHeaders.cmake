# The public headers: the umbrella headers of include/ and whatever they bring
# in, followed through every quoted #include that names a file of the source
# tree. Installed, they keep their folders under <includedir>/darulib/ (the
# files of include/ keep theirs under <includedir>/), and each include among
# them names its header as <darulib/...>, so that consumers need nothing on
# their include path but <prefix>/include.

# The file of the source tree that `#include "name"` in header means, or "".
function(daru_resolve_include out source_dir header name)
  get_filename_component(beside ${header} DIRECTORY)
  # In the order the compiler looks: beside the header, then the include path.
  foreach(candidate ${beside}/${name} ${source_dir}/${name} ${source_dir}/include/${name})
    if(EXISTS ${candidate} AND NOT IS_DIRECTORY ${candidate})
      get_filename_component(candidate ${candidate} ABSOLUTE)
      set(${out} ${candidate} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

function(daru_public_headers out source_dir)
  set(pending ${ARGN})
  set(found)
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST found)
      continue()
    endif()
    list(APPEND found ${header})
    file(STRINGS ${header} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" name "${line}")
      daru_resolve_include(resolved ${source_dir} ${header} ${name})
      if(resolved)
        list(APPEND pending ${resolved})
      endif()
    endforeach()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Where a header goes, relative to <includedir>.
function(daru_installed_header out source_dir header)
  file(RELATIVE_PATH relative ${source_dir} ${header})
  if(relative MATCHES "^include/")
    string(REGEX REPLACE "^include/" "" relative ${relative})
  else()
    set(relative darulib/${relative})
  endif()
  set(${out} ${relative} PARENT_SCOPE)
endfunction()

# Writes header to output with its includes of the source tree spelt as they
# are installed.
function(daru_write_installed_header source_dir header output)
  file(READ ${header} text)
  string(REGEX MATCHALL "#[ \t]*include[ \t]*\"[^\"]+\"" includes "${text}")
  list(REMOVE_DUPLICATES includes)
  foreach(directive IN LISTS includes)
    string(REGEX REPLACE ".*\"([^\"]+)\"" "\\1" name "${directive}")
    daru_resolve_include(resolved ${source_dir} ${header} ${name})
    if(resolved)
      daru_installed_header(installed ${source_dir} ${resolved})
      string(REPLACE "${directive}" "#include <${installed}>" text "${text}")
    endif()
  endforeach()
  file(WRITE ${output} "${text}")
endfunction()

# Run as a script (cmake -P) at build time: writes every header of the list
# file HEADERS into OUTPUT_DIR as installed.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  file(STRINGS ${HEADERS} headers)
  foreach(header IN LISTS headers)
    daru_installed_header(installed ${SOURCE_DIR} ${header})
    daru_write_installed_header(${SOURCE_DIR} ${header} ${OUTPUT_DIR}/${installed})
  endforeach()
endif()
