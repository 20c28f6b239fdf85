#pragma once

#include "platform/WinTypes.h"

class CListCtrl;
class CMenu;
class CWnd;

// The two pieces of the closed UI toolkit the windows use.

// How CXTSortClass compares the cells of the column.
enum XTSortType {
  SORT_INT = 1,       // as whole numbers (leading digits with an optional sign; anything else counts 0)
  SORT_STRING = 2,    // as text: code unit by code unit, ASCII letters without regard to case
  SORT_DATETIME = 3,  // as text (date texts here are fixed-width, year first)
  SORT_DEC = 4,       // as decimal numbers
};

// Orders the rows of a list control by the text of one column. Rows keep
// their item data, states and images; rows that compare equal keep their order.
class DARU_API CXTSortClass {
 public:
  CXTSortClass(CListCtrl* pListCtrl, const int nCol);
  virtual ~CXTSortClass();
  void Sort(bool bAsc, XTSortType eType);
  void Sort(bool bAsc, int eType) { Sort(bAsc, static_cast<XTSortType>(eType)); }

 private:
  CListCtrl* m_pListCtrl;  // not owned
  int m_nCol;
};

class DARU_API CXTPCommandBars {
 public:
  // Shows the popup menu: first the owner's update-UI handlers run for every
  // item (an item without an update handler is enabled exactly when the owner
  // handles its command), then the user chooses, and the chosen command is
  // sent to the owner (pWndOwner, else pWnd) as WM_COMMAND. Returns FALSE
  // when the user dismisses the menu; with TPM_RETURNCMD returns the command
  // instead of sending it.
  static BOOL TrackPopupMenu(CMenu* pMenu, UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT rcExclude = nullptr,
                             CWnd* pWndOwner = nullptr, CXTPCommandBars* pCommandBars = nullptr);
};
