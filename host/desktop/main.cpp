// daru-desktop: the library's windows on the Linux desktop.

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "daru/LibraryRoot.h"
#include "daru/Request.h"
#include "daru/StoreChoice.h"
#include "desktop/DesktopHost.h"

namespace {

const char* kUsage =
    "usage: daru-desktop [--root FOLDER] [--store sqlite|access|odbc:CONNECTION]\n"
    "  --root   the data root (default: $DARU_HOME, else $XDG_DATA_HOME/daru)\n"
    "  --store  where the catalogue lives (default: $DARU_STORE, else sqlite)\n";

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "daru-desktop: %s\n", message.c_str());
  return status;
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
      if (missing) return Fail(std::string(argv[i]) + " needs a value\n" + kUsage, 2);
      continue;
    }
    return Fail(std::string("unknown argument: ") + argv[i] + "\n" + kUsage, 2);
  }
  try {
    // The same data root and store rules as daru.
    const std::filesystem::path root = ResolveDataRoot(rootOption);
    const StoreChoice store = StoreChoice::Parse(storeOption);
    UseDataRoot(root);
    if (!store.IsProvisioned(root)) return Fail("no catalogue in " + root.string() + " (run 'daru init' first)", 1);
    if (!gtk_init_check(&argc, &argv)) return Fail("cannot open the display (is DISPLAY set?)", 1);
    desktop::DesktopHost host;
    std::string error;
    if (!host.Create(store.NewStore(), &error))
      return Fail("cannot open the catalogue in " + root.string() + ": " + error, 1);
    host.Run();
  } catch (const UsageError& e) {
    return Fail(e.what(), 2);
  } catch (const HostError& e) {
    return Fail(e.what(), 1);
  } catch (const _com_error& e) {
    return Fail("the XML engine failed: " + ToUtf8(e.ErrorMessage()), 1);
  } catch (const std::bad_alloc&) {
    return Fail("out of memory", 1);
  } catch (const std::exception& e) {
    return Fail(e.what(), 1);
  }
  return 0;
}
