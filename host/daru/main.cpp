// daru: the library's host for people who live in a shell.

#include <iostream>

#include "daru/Cli.h"
#include "daru/Command.h"
#include "daru/ExitStatus.h"
#include "daru/Request.h"
#include "daru/TerminalText.h"

int main(int argc, char** argv) {
  GlobalOptions global;
  Command* chosen = nullptr;
  const std::vector<std::unique_ptr<Command>> commands = CommandTable();
  if (std::optional<int> status = ParseCommandLine(argc, argv, commands, global, chosen)) return *status;
  return RunReportingFailures("daru", [&] {
    std::vector<std::string> warnings;
    const Report report = RunCommand(*chosen, global, warnings);
    PrintReport(report, global.json, std::cout);
    for (const std::string& warning : warnings) std::cerr << "daru: warning: " << TerminalSafe(warning) << '\n';
    std::cout.flush();
    return std::cout.good() ? report.status : FailWith("daru", "cannot write the output", 1);
  });
}
