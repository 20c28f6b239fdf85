# Writes a C++ source holding the bytes of every resource script and bitmap
# of res/, so the library carries its resources without reading files at run
# time. Called by the build with RES_DIR and OUTPUT set.

file(GLOB_RECURSE files RELATIVE ${RES_DIR} ${RES_DIR}/*.rc ${RES_DIR}/*.bmp)
list(SORT files)

set(body "// Generated from res/ by EmbedResources.cmake; do not edit.\n#include \"res/LibraryResources.h\"\n\nnamespace {\n")
set(table "")
set(index 0)
foreach(file ${files})
  file(READ ${RES_DIR}/${file} hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  # A trailing zero keeps an empty file's array legal; the size excludes it.
  string(APPEND body "const unsigned char kFile${index}[] = {${bytes}0};\n")
  string(APPEND table "    {\"${file}\", kFile${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "}  // namespace\n\nstd::span<const DaruEmbeddedFile> DaruEmbeddedResourceFiles() {\n")
if(index EQUAL 0)
  string(APPEND body "  return {};\n}\n")
else()
  string(APPEND body "  static const DaruEmbeddedFile files[] = {\n${table}  };\n  return files;\n}\n")
endif()

# Rewrite only on change, so an unchanged res/ does not recompile.
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} previous)
  if(previous STREQUAL body)
    return()
  endif()
endif()
file(WRITE ${OUTPUT} "${body}")
