#pragma once

#include <filesystem>
#include <string>
#include <vector>

class CDB;

// daru ui: the library full-screen in the terminal, on a data root the
// library has been pointed at, with the store given (owned from here on; null
// for the SQLite catalogue the facade opens itself). Returns the exit status:
// 1, with the reason on stderr and the terminal untouched, when the catalogue
// cannot be opened.
// updateCommand runs 'daru update' on the same root and store for the R key
// (the program first); empty leaves the key without effect.
int RunTerminalUi(const std::filesystem::path& root, CDB* store = nullptr, std::vector<std::string> updateCommand = {});
