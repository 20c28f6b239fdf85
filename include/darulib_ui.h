#pragma once

// Kept for one release, for programs that include <darulib_ui.h>.
// New code includes <darulib/darulib_ui.h>.
#include "darulib/darulib_ui.h"
