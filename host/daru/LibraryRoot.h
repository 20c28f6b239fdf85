#pragma once

#include <filesystem>
#include <string>

// The folder the host keeps its library in: --root, else $DARU_HOME, else
// $XDG_DATA_HOME/daru, else ~/.local/share/daru. Always absolute.
std::filesystem::path ResolveDataRoot(const std::string& option);

// Points the library at the data root by naming a module file inside it.
void UseDataRoot(const std::filesystem::path& root);

// True when the root holds a catalogue the library can open.
bool IsProvisioned(const std::filesystem::path& root);
