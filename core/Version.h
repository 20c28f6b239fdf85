#pragma once

#include "base/DaruApi.h"

// The library's version, "major.minor.patch".
DARU_API const char* DaruVersion();
