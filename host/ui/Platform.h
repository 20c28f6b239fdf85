#pragma once

// The library's umbrella header and the platform pieces the terminal host
// operates directly: the dialog controls, menus and property sheets a person
// works through the user seam.
#include "darulib.h"
#include "platform/CmdUI.h"
#include "platform/CommCtrl.h"
#include "platform/Controls.h"
#include "platform/Dialog.h"
#include "platform/Menu.h"
#include "platform/PropertySheet.h"
