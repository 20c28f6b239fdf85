// daru: the library's host for people who live in a shell.

#include <cstdio>
#include <iostream>
#include <new>

#include "daru/Cli.h"
#include "daru/Commands.h"
#include "daru/LibraryRoot.h"
#include "daru/StoreChoice.h"
#include "darulib.h"
#include "ui/TerminalUi.h"

namespace {

int Fail(const std::string& message, int status) {
  std::cerr << "daru: " << message << '\n';
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Request request;
  if (std::optional<int> status = ParseCommandLine(argc, argv, request)) return *status;
  std::vector<std::string> warnings;
  int status = 0;
  try {
    if (request.command == "ui") {
      // The same data root and store rules as every other command.
      const std::filesystem::path root = ResolveDataRoot(request.root);
      const StoreChoice store = StoreChoice::Parse(request.store);
      UseDataRoot(root);
      if (!store.IsProvisioned(root)) throw HostError("no catalogue in " + root.string() + " (run 'daru init' first)");
      // R updates the subscriptions with a daru of its own on the same catalogue.
      std::vector<std::string> update{"/proc/self/exe", "--root", root.string()};
      if (!request.store.empty()) update.insert(update.end(), {"--store", request.store});
      update.insert(update.end(), {"update", "--progress", "--json"});
      return RunTerminalUi(root, store.NewStore(), update);
    }
    Report report = RunCommand(request, warnings);
    PrintReport(report, request.json, std::cout);
    status = report.status;
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
  for (const std::string& warning : warnings) std::cerr << "daru: warning: " << warning << '\n';
  std::cout.flush();
  return std::cout.good() ? status : Fail("cannot write the output", 1);
}
