// daru-desktop: the library's windows on the Linux desktop.

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "daru/ExitStatus.h"
#include "daru/LibraryRoot.h"
#include "daru/StoreChoice.h"
#include "desktop/DesktopHost.h"
#include "shared/Launch.h"

namespace {

const char* kUsage =
    "usage: daru-desktop [--root FOLDER] [--store sqlite|access|odbc:CONNECTION]\n"
    "  --root   the data root (default: $DARU_HOME, else $XDG_DATA_HOME/daru)\n"
    "  --store  where the catalogue lives (default: $DARU_STORE, else sqlite)\n";

constexpr const char* kProgram = "daru-desktop";

// daru, which updates the subscriptions: installed beside this program, else on the PATH.
std::string DaruProgram() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path beside = self.parent_path() / "daru";
    if (::access(beside.c_str(), X_OK) == 0) return beside.string();
  }
  return hostshared::FindOnPath("daru");
}

int UsageFailure(const std::string& message) {
  FailWith(kProgram, message, 2);
  std::fputs(kUsage, stderr);
  return 2;
}

// --name VALUE or --name=VALUE; false when argv[i] is not that option.
bool Option(int argc, char** argv, int& i, const char* name, std::string& value, bool& missing) {
  const size_t n = std::strlen(name);
  if (std::strncmp(argv[i], name, n) != 0) return false;
  if (argv[i][n] == '=') {
    value = argv[i] + n + 1;
    missing = value.empty();
    return true;
  }
  if (argv[i][n] != '\0') return false;
  missing = i + 1 >= argc || argv[i + 1][0] == '\0';
  if (!missing) value = argv[++i];
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string rootOption, storeOption;
  for (int i = 1; i < argc; ++i) {
    bool missing = false;
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (Option(argc, argv, i, "--root", rootOption, missing) ||
        Option(argc, argv, i, "--store", storeOption, missing)) {
      if (missing) return UsageFailure(std::string(argv[i]) + " needs a value");
      continue;
    }
    return UsageFailure(std::string("unknown argument: ") + argv[i]);
  }
  return RunReportingFailures(kProgram, [&] {
    // The same data root and store rules as daru.
    const std::filesystem::path root = ResolveDataRoot(rootOption);
    const StoreChoice store = StoreChoice::Parse(storeOption);
    UseDataRoot(root);
    if (!store.IsProvisioned(root))
      return FailWith(kProgram, "no catalogue in " + root.string() + " (run 'daru init' first)", 1);
    if (!gtk_init_check(&argc, &argv)) return FailWith(kProgram, "cannot open the display (is DISPLAY set?)", 1);
    desktop::DesktopHost host;
    if (const std::string daru = DaruProgram(); !daru.empty()) {
      std::vector<std::string> update{daru, "--root", root.string()};
      if (!storeOption.empty()) update.insert(update.end(), {"--store", storeOption});
      update.insert(update.end(), {"update", "--progress", "--json"});
      host.SetUpdateCommand(std::move(update));
    }
    std::string error;
    if (!host.Create(store.NewStore(), &error))
      return FailWith(kProgram, "cannot open the catalogue in " + root.string() + ": " + error, 1);
    host.Run();
    return 0;
  });
}
