#pragma once

// The library's windows and the platform layer they run on, as both hosts see them.
#include "darulib_ui.h"
