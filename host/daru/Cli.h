#pragma once

#include <optional>

#include "daru/Request.h"

// Parses the command line into the request. Returns an exit status when the
// run ends here: 0 after help was shown, 2 after a usage error was reported
// on stderr. Returns nothing when the request should be carried out.
std::optional<int> ParseCommandLine(int argc, char** argv, Request& request);
