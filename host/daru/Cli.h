#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "daru/Command.h"

// Parses the command line against the command table: fills the global
// options and the chosen command's own options, and sets chosen. Returns an
// exit status when the run ends here: 0 after help or the version was shown,
// 2 after a usage error was reported on stderr. Returns nothing when the
// chosen command should be carried out.
std::optional<int> ParseCommandLine(int argc, char** argv, const std::vector<std::unique_ptr<Command>>& commands,
                                    GlobalOptions& global, Command*& chosen);
