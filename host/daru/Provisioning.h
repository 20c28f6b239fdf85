#pragma once

#include <filesystem>

#include "daru/Output.h"

// Makes the folder a data root the library can work in (idempotent).
Report InitDataRoot(const std::filesystem::path& root);
