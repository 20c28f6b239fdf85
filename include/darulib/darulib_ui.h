#pragma once

// The windows of darulib: the label tree and the article list with their
// dialogs, on the platform layer they are built on (windows and messages,
// controls, drawing, menus, resources, the virtual clock, input and the user
// seam). Includes the catalogue, darulib.h, as well.

// The headers are C++20: a program built as C++17 stops here, with this one
// message, rather than at an error deep inside them.
#if !defined(__cplusplus) || __cplusplus < 202002L
#error "darulib needs C++20: compile with -std=c++20 (or later)"
#else

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
#include "ui/dialogs/AddArticleDlg.h"
#include "ui/dialogs/AddLabelDlg.h"
#include "ui/dialogs/CommentDlg.h"
#include "ui/dialogs/NewLabelDlg.h"
#include "ui/dialogs/PropSheet.h"
#include "ui/dialogs/PropertyPages.h"
#include "ui/dialogs/SearchDlg.h"
#include "ui/list/DARUListCtrl.h"
#include "ui/list/ListCtrlEx.h"
#include "ui/tree/DARUTreeCtrl.h"

#endif
