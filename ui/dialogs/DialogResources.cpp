#include "ui/dialogs/DialogResources.h"

#include "platform/LibraryModule.h"
#include "platform/ResourceScript.h"
#include "res/dialogs_rc.h"

bool DaruAddDialogTemplates(CResourceModule& module, std::string* error) {
  return DaruLoadResourceScript(module, kResourceScript_dialogs, error);
}

void DaruEnsureDialogTemplates() {
  // The script is ours and checked by the tests; a failure leaves whatever
  // templates were read before it, and the dialog concerned fails to open.
  static const bool loaded = DaruAddDialogTemplates(DaruLibraryResources(), nullptr);
  (void)loaded;
}

namespace {

const CResourceRegistration g_dialogTemplates([](CResourceModule&) { DaruEnsureDialogTemplates(); });

}  // namespace
