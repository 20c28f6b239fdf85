#pragma once

#include <functional>
#include <string>

// How daru's programs end when something fails: the message on standard
// error behind the program's name, made safe for a terminal, and the status
// the shell sees.

// Says message and returns status.
int FailWith(const char* program, const std::string& message, int status);

// Runs body and returns its status; what it throws ends the program with
// status 2 for a usage error and 1 for anything else, said in words.
int RunReportingFailures(const char* program, const std::function<int()>& body);
