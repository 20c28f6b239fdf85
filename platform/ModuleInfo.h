#pragma once

#include <string>

#include "base/DaruApi.h"

// The module file behind the current instance. By default that is the running
// executable; a host that keeps its data elsewhere names another module file,
// whose folder then becomes the library's data root.

// Names the module file; an empty name goes back to the running executable.
DARU_API void DaruSetModuleFileName(const std::u16string& path);

// The module file name, with '/' separators; empty when it cannot be read.
DARU_API std::u16string DaruGetModuleFileName();
