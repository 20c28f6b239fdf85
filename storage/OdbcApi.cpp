#include "storage/OdbcApi.h"

#include <dlfcn.h>

#include <initializer_list>

namespace {

const COdbcApi* Load() {
  // The versioned name is what the runtime package installs; the plain one
  // only comes with the development files.
  void* lib = nullptr;
  for (const char* name : {"libodbc.so.2", "libodbc.so"}) {
    lib = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (lib != nullptr) break;
  }
  if (lib == nullptr) return nullptr;
  static COdbcApi api;
  bool complete = true;
#define DARU_ODBC_LOOKUP(name)                                       \
  api.name = reinterpret_cast<decltype(&::name)>(dlsym(lib, #name)); \
  complete = complete && api.name != nullptr;
  DARU_ODBC_FUNCTIONS(DARU_ODBC_LOOKUP)
#undef DARU_ODBC_LOOKUP
  if (!complete) {
    dlclose(lib);
    return nullptr;
  }
  return &api;
}

}  // namespace

const COdbcApi* OdbcApi() {
  static const COdbcApi* api = Load();
  return api;
}
