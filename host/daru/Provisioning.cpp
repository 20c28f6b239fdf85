#include "daru/Provisioning.h"

#include "daru/LibraryRoot.h"
#include "daru/Request.h"
#include "provision/DataRoot.h"

Report InitDataRoot(const std::filesystem::path& root) {
  const bool existed = IsProvisioned(root);
  std::string error;
  // Safe on a ready root: only what is missing is made, nothing is overwritten.
  if (!provision::ProvisionDataRoot(root, &error)) throw HostError("cannot initialise " + root.string() + ": " + error);
  Report report;
  report.data = {{"root", root.string()},
                 {"created", !existed},
                 {"message", (existed ? "data root " + root.string() + " is ready (it was already initialised)"
                                      : "initialised data root " + root.string())}};
  return report;
}
