#include "res/LibraryResources.h"

#include <string_view>

#include "platform/LibraryModule.h"
#include "platform/ResourceScript.h"

namespace {

std::vector<std::string>& Errors() {
  static std::vector<std::string> errors;
  return errors;
}

bool ReadEmbedded(const std::string& path, std::vector<uint8_t>& bytes) {
  for (const DaruEmbeddedFile& file : DaruEmbeddedResourceFiles()) {
    if (path == file.path) {
      bytes.assign(file.data, file.data + file.size);
      return true;
    }
  }
  return false;
}

// Every script in res/ is read, so a new resource file needs no code.
void AddLibraryResources(CResourceModule& module) {
  for (const DaruEmbeddedFile& file : DaruEmbeddedResourceFiles()) {
    const std::string_view path(file.path);
    if (!path.ends_with(".rc")) continue;
    std::string error;
    const std::string_view script(reinterpret_cast<const char*>(file.data), file.size);
    if (!DaruLoadResourceScript(module, script, &error, ReadEmbedded))
      Errors().push_back(std::string(path) + ": " + error);
  }
}

const CResourceRegistration g_registration(AddLibraryResources);

}  // namespace

const std::vector<std::string>& DaruLibraryResourceErrors() { return Errors(); }

// Programs that link the static archive name this symbol to the linker, so the
// registration above is linked in although nothing calls into this file.
extern "C" const int daru_library_resources_anchor = 0;
