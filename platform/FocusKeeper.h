#pragma once

#include "platform/Wnd.h"

// Gives the focus back, on leaving the scope, to the window that had it on
// entering (when it still exists): a closed modal dialog or property sheet
// returns it to its owner's control, as on the desktop.
class CFocusKeeper {
 public:
  CFocusKeeper() : m_before(::GetFocus()) {}
  ~CFocusKeeper() {
    if (m_before != nullptr && IsWindow(m_before) && ::GetFocus() != m_before) ::SetFocus(m_before);
  }
  CFocusKeeper(const CFocusKeeper&) = delete;
  CFocusKeeper& operator=(const CFocusKeeper&) = delete;

 private:
  HWND m_before;
};
