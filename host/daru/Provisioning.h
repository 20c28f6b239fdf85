#pragma once

#include <filesystem>

#include "daru/Output.h"
#include "daru/StoreChoice.h"

// Makes the folder a data root the library can work in (idempotent).
Report InitDataRoot(const std::filesystem::path& root, const StoreChoice& store = {});
