#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

// The files of res/ as the build embedded them: every resource script (*.rc)
// and the bitmaps they name, by their path below res/.
struct DaruEmbeddedFile {
  const char* path;
  const unsigned char* data;
  std::size_t size;
};

std::span<const DaruEmbeddedFile> DaruEmbeddedResourceFiles();

// What went wrong while the library's resource scripts were read at load
// time; empty when every script was understood.
const std::vector<std::string>& DaruLibraryResourceErrors();
