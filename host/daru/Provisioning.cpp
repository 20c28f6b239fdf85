#include "daru/Provisioning.h"

#include "daru/LibraryRoot.h"
#include "daru/Request.h"
#include "provision/DataRoot.h"

Report InitDataRoot(const std::filesystem::path& root, const StoreChoice& store) {
  std::string error;
  bool created = false;
  // Safe on a ready root: only what is missing is made, nothing is overwritten.
  if (!store.Provision(root, error, &created)) throw HostError("cannot initialise " + root.string() + ": " + error);
  const bool existed = !created;
  Report report;
  report.data = {{"root", root.string()},
                 {"created", !existed},
                 {"message", (existed ? "data root " + root.string() + " is ready (it was already initialised)"
                                      : "initialised data root " + root.string())}};
  return report;
}
