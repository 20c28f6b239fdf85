#pragma once

#include "platform/Resources.h"

// The library's own resources. When the library is loaded its module joins
// the end of the resource chain (after whatever a host inserted first) and the
// rich edit classes its dialogs use are initialised; when it is unloaded the
// module leaves the chain. Nothing else happens at load time.

DARU_API CResourceModule& DaruLibraryResources();

// A static object of this kind adds resources to the library's module while
// the library loads, so each resource file registers itself.
class DARU_API CResourceRegistration {
 public:
  explicit CResourceRegistration(void (*add)(CResourceModule& module));
};
