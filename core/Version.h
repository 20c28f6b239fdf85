#pragma once

#include "core/DaruApi.h"

// The library's version, "major.minor.patch".
DARU_API const char* DaruVersion();
