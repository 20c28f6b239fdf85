#pragma once

#include <map>
#include <string>
#include <vector>

#include "shared/HostPlatform.h"

// A modal dialog or property sheet as a host shows it, read from the dialog
// the platform made from its template: the title, the tabs of a sheet, and
// each visible control with its kind, styles and place. Both hosts build
// their controls from this one reading.

namespace hostshared {

struct DialogControl {
  CWnd* wnd = nullptr;  // borrowed: a control of the dialog, of the sheet's active page, or of the sheet
  UINT id = 0;
  std::u16string kind;  // as DaruControlKind names it: "edit", "button", "check box", "tree view", ...
  std::u16string text;
  CRect rect;  // in the dialog's pixels, from its top-left corner, as the template placed it
  DWORD style = 0;
  bool enabled = true;
  bool onPage = false;     // belongs to the sheet's active page rather than to the sheet
  bool tall = false;       // spans several lines: trees, lists, group boxes, multi-line edits
  bool focusable = false;  // a person can work it: not a label, frame, disabled or read-only line
  bool isDefault = false;  // the button Enter presses
};

struct DialogDescription {
  CWnd* top = nullptr;              // borrowed: the dialog or sheet window; null when it has no controls
  CPropertySheet* sheet = nullptr;  // borrowed: top as a sheet, or null
  std::u16string title;
  CRect size;                        // the dialog's own rectangle, from 0, 0
  std::vector<std::u16string> tabs;  // a sheet's pages
  int activeTab = -1;
  std::vector<DialogControl> controls;  // in tab order
};

// Reads the session's dialog. A tree or list a host has resized keeps the
// place its template gave it when `original` remembers the controls seen
// before (keyed by window).
DialogDescription DescribeDialog(const CModalSession& session, std::map<HWND, CRect>* original = nullptr);

// A control's text without its '&' mnemonic markers ("&&" stays one '&').
std::u16string WithoutMnemonic(const std::u16string& text);

}  // namespace hostshared
