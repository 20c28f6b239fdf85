#pragma once

// The library's windows and the platform layer they are built on: the
// terminal host operates the controls, menus, dialogs and property sheets a
// person works through the user seam.
#include "darulib_ui.h"
