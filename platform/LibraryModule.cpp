#include "platform/LibraryModule.h"

#include "platform/Controls.h"

CResourceModule& DaruLibraryResources() {
  static CResourceModule* module = new CResourceModule(u"darulib");
  return *module;
}

CResourceRegistration::CResourceRegistration(void (*add)(CResourceModule& module)) {
  if (add != nullptr) add(DaruLibraryResources());
}

namespace {

struct ExtensionModule {
  ExtensionModule() {
    AfxInitRichEdit2();
    AfxInsertResourceModule(&DaruLibraryResources());
  }
  ~ExtensionModule() { AfxRemoveResourceModule(&DaruLibraryResources()); }
};

const ExtensionModule g_extensionModule;

}  // namespace
