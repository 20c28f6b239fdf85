#pragma once

#include <vector>

#include "shared/HostPlatform.h"

// Which commands a window lets a person choose now. The hosts ask the
// window's update handlers through the same pass a menu of the window gets,
// so a command is offered exactly when the window's own menu would enable it.

namespace hostshared {

// One answer per id, in the order given; a window that is gone enables nothing.
std::vector<bool> CommandsEnabled(CWnd* target, const std::vector<UINT>& ids);

bool CommandEnabled(CWnd* target, UINT id);

}  // namespace hostshared
