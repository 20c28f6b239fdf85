#pragma once

#include "daru/Output.h"
#include "daru/Request.h"

// Carries out one parsed request. Throws HostError when the library reports a
// failure and UsageError when the request cannot be carried out as given.
// warnings collects what went wrong without failing the command.
Report RunCommand(const Request& request, std::vector<std::string>& warnings);
