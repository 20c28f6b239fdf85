#include "daru/LibraryRoot.h"

#include <cstdlib>

#include "daru/Request.h"
#include "darulib.h"

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::filesystem::path ResolveDataRoot(const std::string& option) {
  std::filesystem::path root;
  if (!option.empty()) {
    root = option;
  } else if (!Env("DARU_HOME").empty()) {
    root = Env("DARU_HOME");
  } else if (std::filesystem::path xdg = Env("XDG_DATA_HOME"); xdg.is_absolute()) {
    // A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    root = xdg / "daru";
  } else if (!Env("HOME").empty()) {
    root = std::filesystem::path(Env("HOME")) / ".local" / "share" / "daru";
  } else {
    throw UsageError("no data root: give --root or set DARU_HOME or HOME");
  }
  // The library reads a backslash as a separator, so such a folder could not be reached.
  if (root.string().find('\\') != std::string::npos) throw UsageError("the data root must not contain a backslash");
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(root, ec);
  if (ec) throw HostError("cannot resolve the data root " + root.string() + ": " + ec.message());
  return absolute.lexically_normal();
}

void UseDataRoot(const std::filesystem::path& root) {
  std::string dir = root.string();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  DaruSetModuleFileName(FromUtf8(dir + "/daru"));
}

bool IsProvisioned(const std::filesystem::path& root) {
  std::error_code ec;
  return std::filesystem::is_regular_file(root / "DARU" / "darudb", ec);
}
