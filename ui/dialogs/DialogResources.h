#pragma once

#include <string>

#include "base/DaruApi.h"
// The template ids of the dialogs and property pages (IDD_), as res/dialogs.rc gives them.
#include "res/ResourceIds.h"

class CResourceModule;

// Adds the dialog templates to a module; false with the reason when the
// compiled-in script is not understood.
DARU_API bool DaruAddDialogTemplates(CResourceModule& module, std::string* error);

// Makes sure the library's module holds the templates. Every dialog calls it
// when constructed, so that a program linking the static library, where
// load-time registration may have been left out, still finds them.
DARU_API void DaruEnsureDialogTemplates();
