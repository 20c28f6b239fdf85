#include "daru/Provisioning.h"

#include "daru/Request.h"

// Temporary until the provisioning code lands with the SQLite store.
Report InitDataRoot(const std::filesystem::path& root) {
  throw HostError("cannot provision " + root.string() + " yet");
}
