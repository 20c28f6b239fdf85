#pragma once

#include <string>

#include "base/DaruApi.h"

class CResourceModule;

// Template ids of the library's dialogs and property pages (res/dialogs.rc).
constexpr unsigned IDD_ADDLABEL = 50008;
constexpr unsigned IDD_ADDARTICLE = 50014;
constexpr unsigned IDD_COMMENT = 50018;
constexpr unsigned IDD_SEARCH = 55005;
constexpr unsigned IDD_NEWLABEL = 55006;
constexpr unsigned IDD_PROP_BASE = 55001;
constexpr unsigned IDD_PROP_DESCRIPTION = 55002;
constexpr unsigned IDD_PROP_COMMENT = 55003;
constexpr unsigned IDD_PROP_RSS = 55004;

// The label-picker's image strip (seven 16 x 15 images on magenta).
constexpr unsigned IDB_LABELIMAGES = 54004;

// Adds the dialog templates to a module; false with the reason when the
// compiled-in script is not understood.
DARU_API bool DaruAddDialogTemplates(CResourceModule& module, std::string* error);

// Makes sure the library's module holds the templates. Every dialog calls it
// when constructed, so that a program linking the static library, where
// load-time registration may have been left out, still finds them.
DARU_API void DaruEnsureDialogTemplates();
