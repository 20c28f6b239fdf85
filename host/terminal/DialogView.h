#pragma once

#include <map>
#include <vector>

#include "terminal/CellBuffer.h"
#include "terminal/Display.h"
#include "terminal/Platform.h"

// A modal dialog or property sheet in the terminal: its controls laid out
// from their template rectangles (one line for every 13 pixels down, one
// column for every 6 across, rows without controls dropped when the screen is
// short), drawn from their state, and worked with Tab, arrows, Space, Enter,
// Escape, Page Up/Down for the tabs, and the mouse.

namespace termui {

class TerminalUser;

class DialogView {
 public:
  DialogView(TerminalUser& user, CModalSession& session);
  // Lets the person work the dialog until it closes (or they quit).
  void Run();

  struct Item {
    CWnd* wnd = nullptr;  // borrowed: a control of the dialog or of the sheet's active page
    UINT id = 0;
    std::u16string kind;
    Rect cells;
    bool focusable = false;
  };
  // Lays the dialog out for a screen of that size (exposed for tests).
  void Layout(int cols, int rows);
  void Paint(CellBuffer& out);
  const std::vector<Item>& Items() const { return m_items; }
  const Rect& Box() const { return m_box; }

 private:
  void Handle(const Event& e);
  void HandleKey(const Event& e);
  void HandleMouse(const Event& e);
  void HandleEditKey(Item& item, const Event& e);
  void Focus(int index);
  void MoveFocus(int step);
  void SyncFocus();
  void PressDefault();
  void SwitchTab(int step);
  void Act(Item& item);
  int IndexOf(CWnd* wnd) const;
  Item* Focused();

  TerminalUser& m_user;
  CModalSession& m_session;
  CWnd* m_top = nullptr;              // borrowed: the dialog or sheet window
  CPropertySheet* m_sheet = nullptr;  // borrowed: m_top as a sheet, or null
  std::vector<Item> m_items;
  std::vector<Rect> m_tabs;
  Rect m_box;
  int m_focus = -1;
  HWND m_focusHwnd = nullptr;
  int m_cursorX = -1, m_cursorY = -1;
  int m_pressed = -1;                            // item under a left press
  std::map<HWND, CRect> m_original;              // each control's place in the dialog before we sized it
  std::map<HWND, std::u16string> m_initialText;  // each edit's text when it first showed
  // Whether an edit holds text the person typed (something a quit would lose).
  bool HoldsTypedText() const;
  // Ctrl-C: asks first when typed text would be lost; true when the person leaves.
  bool ConfirmQuit();
};

}  // namespace termui
