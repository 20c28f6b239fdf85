#pragma once

// Kept for one release, for programs that include <darulib.h>.
// New code includes <darulib/darulib.h>.
#include "darulib/darulib.h"
