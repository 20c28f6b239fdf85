#pragma once

#include <cstdint>

// Counts the fdatasync and fsync calls of this process: the engine's commits
// and the machine's limit are both measured in them. The counting definitions
// stand in for the C library's, for every library of the program.
namespace darubench {

std::uint64_t SyncCalls();

}  // namespace darubench
