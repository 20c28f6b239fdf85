#pragma once

#include <string>
#include <vector>

#include "platform/WinTypes.h"

// What the user has in front of them while a modal dialog or property sheet
// is open: its title, its tabs, its controls by id. Everything the user does
// goes through here, as the messages a person's mouse and keyboard would
// cause: typing replaces an edit's text, a click on a button sends BN_CLICKED
// to the dialog, a click on a tab switches pages (a page may refuse to be
// left). Asking for a control the dialog does not have, typing into a
// read-only or disabled control, or pressing a disabled button throws
// std::logic_error naming the dialog and the control.

class CWnd;
class CDialog;
class CPropertySheet;

class DARU_API CModalSession {
 public:
  // A session on a dialog, or (with sheet) on a property sheet.
  CModalSession(CDialog* dialog, CPropertySheet* sheet);
  CModalSession(const CModalSession&) = delete;
  CModalSession& operator=(const CModalSession&) = delete;

  struct Control {
    UINT id = 0;
    std::u16string kind;  // "edit", "rich edit", "button", "default button", "check box", "radio button",
                          // "group box", "static", "tree view", "list view", or the window class
    std::u16string text;
    int check = 0;  // check boxes and radio buttons
    bool enabled = true;
    bool visible = true;
    bool readOnly = false;
    bool multiLine = false;
  };

  std::u16string Title() const;
  // The template of the dialog, or of the sheet's active page.
  UINT TemplateId() const;
  bool IsSheet() const { return m_sheet != nullptr; }
  std::vector<std::u16string> Tabs() const;
  int ActiveTab() const;
  // Switches to the tab (created the first time); false when the page being left refuses.
  bool SelectTab(int index);
  bool SelectTab(const std::u16string& title);

  // The controls of the dialog (for a sheet: of the active page, then the sheet's buttons).
  std::vector<Control> Controls() const;
  bool HasControl(UINT id) const;
  std::u16string GetText(UINT id) const;
  void SetText(UINT id, const std::u16string& text);
  int GetCheck(UINT id) const;
  // Ticks or clears a check box, or selects a radio button (check 1).
  void SetCheck(UINT id, int check);
  // Presses a button.
  void Click(UINT id);
  void Ok();
  void Cancel();
  // The control window, for controls with more to them (tree views, lists).
  CWnd* GetControl(UINT id) const;

  bool IsOpen() const;
  // The result the dialog ended with; -1 while open.
  int Result() const;
  // How many things the user did so far.
  int Actions() const { return m_actions; }
  // The dialog and its controls as text.
  std::u16string Snapshot() const;

 private:
  CWnd* Find(UINT id) const;
  CWnd* Require(UINT id, const char* what) const;
  CWnd* Window() const;

  CDialog* m_dialog;        // not owned; the dialog being shown, or null for a sheet
  CPropertySheet* m_sheet;  // not owned; the sheet being shown, or null for a dialog
  int m_actions = 0;
};
