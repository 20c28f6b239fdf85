// daru: the library's host for people who live in a shell.

#include <iostream>
#include <new>

#include "daru/Cli.h"
#include "daru/Command.h"
#include "daru/Request.h"
#include "daru/TerminalText.h"
#include "darulib.h"

namespace {

int Fail(const std::string& message, int status) {
  std::cerr << "daru: " << TerminalSafe(message) << '\n';
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  GlobalOptions global;
  Command* chosen = nullptr;
  const std::vector<std::unique_ptr<Command>> commands = CommandTable();
  if (std::optional<int> status = ParseCommandLine(argc, argv, commands, global, chosen)) return *status;
  std::vector<std::string> warnings;
  int status = 0;
  try {
    Report report = RunCommand(*chosen, global, warnings);
    PrintReport(report, global.json, std::cout);
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
  for (const std::string& warning : warnings) std::cerr << "daru: warning: " << TerminalSafe(warning) << '\n';
  std::cout.flush();
  return std::cout.good() ? status : Fail("cannot write the output", 1);
}
