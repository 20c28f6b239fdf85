#pragma once

#include <string>
#include <vector>

#include "platform/WinTypes.h"

// The user. Everything a person would answer or do arrives through one
// replaceable handler: message boxes, the choice from a popup menu, and the
// operation of a modal dialog or property sheet. Tests script it (see
// ScriptedUser.h); an interactive host puts a person behind it.

class CModalSession;

// A popup-menu item as the user sees it, after the update-UI pass.
struct DARU_API CMenuItemView {
  UINT id = 0;
  std::u16string text;
  bool separator = false;
  bool popup = false;
  bool enabled = true;
  bool checked = false;
  std::vector<CMenuItemView> items;  // of a popup
};

struct DARU_API CPopupMenuView {
  std::vector<CMenuItemView> items;
  POINT pt{0, 0};  // where the menu opens, in screen coordinates
  HWND owner = nullptr;
  UINT flags = 0;

  // The command item with that id or that text (ignoring the '&' markers), searching popups too; null when absent.
  const CMenuItemView* FindById(UINT id) const;
  const CMenuItemView* FindByText(const std::u16string& text) const;
  // One line per item: text, id, and "disabled"/"checked" marks; separators as "----".
  std::u16string Describe() const;
};

class DARU_API IUserInteraction {
 public:
  virtual ~IUserInteraction();
  // Shows a modal message box and returns the button chosen (IDOK, IDYES, ...).
  virtual int MessageBox(const std::u16string& text, const std::u16string& caption, UINT type) = 0;
  // The user picks an enabled command of the menu and gets its id, or
  // dismisses the menu and gets 0. By default the menu is dismissed.
  virtual UINT TrackPopupMenu(const CPopupMenuView& menu);
  // Called while a modal dialog or sheet is open: the user reads and sets its
  // controls, switches tabs and presses buttons. The dialog's loop calls again
  // while the dialog stays open; a call that does nothing at all closes it as
  // cancelled. By default the dialog is cancelled.
  virtual void OperateDialog(CModalSession& dialog);
};

namespace daru {
// Installs the handler (borrowed; null restores the default) and returns the
// one it replaces. Without a handler nobody can answer: message boxes go to
// stderr and get the answer that changes nothing (OK, No or Cancel), menus
// are dismissed and dialogs cancelled.
DARU_API IUserInteraction* SetUserInteraction(IUserInteraction* handler);
DARU_API IUserInteraction* GetUserInteraction();
}  // namespace daru
using daru::GetUserInteraction;
using daru::SetUserInteraction;

// Installs a handler for the lifetime of the object.
class DARU_API CScopedUserInteraction {
 public:
  explicit CScopedUserInteraction(IUserInteraction* handler) : m_old(SetUserInteraction(handler)) {}
  ~CScopedUserInteraction() { SetUserInteraction(m_old); }
  CScopedUserInteraction(const CScopedUserInteraction&) = delete;
  CScopedUserInteraction& operator=(const CScopedUserInteraction&) = delete;

 private:
  IUserInteraction* m_old;  // borrowed; restored on destruction
};
