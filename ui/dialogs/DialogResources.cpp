#include "ui/dialogs/DialogResources.h"

#include <string_view>

#include "platform/LibraryModule.h"
#include "platform/ResourceScript.h"
#include "res/LibraryResources.h"

bool DaruAddDialogTemplates(CResourceModule& module, std::string* error) {
  for (const DaruEmbeddedFile& file : DaruEmbeddedResourceFiles()) {
    if (std::string_view(file.path) != "dialogs.rc") continue;
    const std::string_view script(reinterpret_cast<const char*>(file.data), file.size);
    return DaruLoadResourceScript(module, script, error);
  }
  if (error != nullptr) *error = "dialogs.rc is not among the embedded resources";
  return false;
}

void DaruEnsureDialogTemplates() {
  // The library's module reads every script of res/ when it loads; this only
  // covers a program where that registration was left out of the link.
  static const bool loaded = DaruLibraryResources().FindDialog(IDD_ADDLABEL) != nullptr ||
                             DaruAddDialogTemplates(DaruLibraryResources(), nullptr);
  (void)loaded;
}
