#pragma once

// The windows of darulib: the label tree and the article list with their
// dialogs, on the platform layer they are built on (windows and messages,
// controls, drawing, menus, resources, the virtual clock, input and the user
// seam). Includes the catalogue, darulib.h, as well.

#include "darulib.h"
#include "platform/Clock.h"
#include "platform/CmdUI.h"
#include "platform/CommCtrl.h"
#include "platform/Controls.h"
#include "platform/DC.h"
#include "platform/Dialog.h"
#include "platform/Gdi.h"
#include "platform/HeaderCtrl.h"
#include "platform/ImageList.h"
#include "platform/Input.h"
#include "platform/LibraryModule.h"
#include "platform/ListCtrl.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "platform/MessageMap.h"
#include "platform/ModalSession.h"
#include "platform/PropertySheet.h"
#include "platform/Resources.h"
#include "platform/RuntimeClass.h"
#include "platform/TreeCtrl.h"
#include "platform/UserInteraction.h"
#include "platform/WinTypes.h"
#include "platform/WinUser.h"
#include "platform/WindowSnapshot.h"
#include "platform/Wnd.h"
#include "platform/XTToolkit.h"
#include "ui/list/DARUListCtrl.h"
#include "ui/list/ListCtrlEx.h"
