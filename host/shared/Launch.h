#pragma once

#include <string>

namespace hostshared {

// Starts program with one argument, detached from us (and from a terminal),
// its output going nowhere; true when it could be started. The hosts hand
// links to the desktop's opener this way.
bool LaunchDetached(const char* program, const std::string& argument);

// Where program lies on the PATH (the usual folders when there is none), or
// empty when no folder on it holds it as an executable.
std::string FindOnPath(const std::string& program);

}  // namespace hostshared
