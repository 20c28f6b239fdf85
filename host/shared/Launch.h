#pragma once

#include <string>

namespace hostshared {

// Starts program with one argument, detached from us (and from a terminal),
// its output going nowhere; true when it could be started. The hosts hand
// links to the desktop's opener this way.
bool LaunchDetached(const char* program, const std::string& argument);

}  // namespace hostshared
