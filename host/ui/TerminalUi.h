#pragma once

#include <filesystem>

// daru ui: the library full-screen in the terminal, on a data root the
// library has been pointed at. Returns the exit status: 1, with the reason on
// stderr and the terminal untouched, when the catalogue cannot be opened.
int RunTerminalUi(const std::filesystem::path& root);
