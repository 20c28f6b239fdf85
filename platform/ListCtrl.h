#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/CommCtrl.h"
#include "platform/Wnd.h"

class CHeaderCtrl;
class CImageList;
namespace listctrl {
struct Row;
}

// The list-view control in report view, with its header control.
//
// Fixed geometry (client coordinates): the header occupies the top 20 pixels
// (none with LVS_NOCOLUMNHEADER); rows follow, GetRowHeight() pixels each (16,
// or the small or state image height plus 1 when that is more), from the top
// row GetTopIndex(). Columns stand in the header's display order, shifted left
// by the horizontal scroll position. In column 0 come, after a 2-pixel margin,
// the state icon (16 pixels, with check boxes or a state image list), the
// small icon (the small image width, with a small image list) and the label,
// which fills the rest of the column. Hit tests tell these apart; elsewhere in
// a row they report LVHT_ONITEMLABEL with full-row select and LVHT_NOWHERE
// without. As in the real control, column 0 is always left-aligned, and
// setting the small image list gives the header that image list as well.
//
// Mouse: a left press selects the row under the pointer alone (with MK_CONTROL
// it toggles it, with MK_SHIFT it selects the range from the selection mark)
// or clears the selection on empty space; on a check box it toggles the check
// instead. Its release sends NM_CLICK; a move of more than 4 pixels with the
// button held sends LVN_BEGINDRAG instead. A double click sends NM_DBLCLK and
// its release NM_CLICK again. A right press selects an unselected row alone
// (or clears the selection on empty space); its release sends NM_RCLICK and,
// when that returns 0, WM_CONTEXTMENU. Header clicks become LVN_COLUMNCLICK.
//
// Painting: an owner-drawn list (LVS_OWNERDRAWFIXED) sends WM_DRAWITEM for
// each visible row, which comes back to DrawItem; any other list runs the
// custom-draw notifications (NM_CUSTOMDRAW) around its own drawing.
class DARU_API CListCtrl : public CWnd {
  DECLARE_DYNAMIC(CListCtrl)
 public:
  static constexpr int kHeaderHeight = 20;

  CListCtrl();
  ~CListCtrl() override;
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

  // ---- Styles and colours ----
  DWORD GetExtendedStyle() const;
  DWORD SetExtendedStyle(DWORD dwNewStyle);
  COLORREF GetBkColor() const;
  BOOL SetBkColor(COLORREF cr);
  COLORREF GetTextColor() const;
  BOOL SetTextColor(COLORREF cr);
  COLORREF GetTextBkColor() const;
  BOOL SetTextBkColor(COLORREF cr);

  // ---- Columns ----
  int InsertColumn(int nCol, const LVCOLUMN* pColumn);
  int InsertColumn(int nCol, const std::u16string& columnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                   int nSubItem = -1);
  BOOL DeleteColumn(int nCol);
  BOOL GetColumn(int nCol, LVCOLUMN* pColumn) const;
  BOOL SetColumn(int nCol, const LVCOLUMN* pColumn);
  int GetColumnWidth(int nCol) const;
  BOOL SetColumnWidth(int nCol, int cx);
  int GetColumnCount() const;
  BOOL GetColumnOrderArray(int* piArray, int iCount) const;
  BOOL SetColumnOrderArray(int iCount, const int* piArray);
  CHeaderCtrl* GetHeaderCtrl() const;

  // ---- Rows ----
  int InsertItem(const LVITEM* pItem);
  int InsertItem(int nItem, const std::u16string& text);
  int InsertItem(int nItem, const std::u16string& text, int nImage);
  int InsertItem(UINT nMask, int nItem, const std::u16string& text, UINT nState, UINT nStateMask, int nImage,
                 LPARAM lParam);
  BOOL DeleteItem(int nItem);
  BOOL DeleteAllItems();
  int GetItemCount() const;
  BOOL GetItem(LVITEM* pItem) const;
  BOOL SetItem(const LVITEM* pItem);
  BOOL SetItem(int nItem, int nSubItem, UINT nMask, const std::u16string& text, int nImage, UINT nState,
               UINT nStateMask, LPARAM lParam);
  std::u16string GetItemText(int nItem, int nSubItem) const;
  // Copies at most nLen - 1 characters and a terminating null; returns the characters copied.
  int GetItemText(int nItem, int nSubItem, char16_t* lpszText, int nLen) const;
  BOOL SetItemText(int nItem, int nSubItem, const std::u16string& text);
  int GetItemImage(int nItem) const;
  DWORD_PTR GetItemData(int nItem) const;
  BOOL SetItemData(int nItem, DWORD_PTR dwData);
  UINT GetItemState(int nItem, UINT nMask) const;
  // nItem -1 changes every row. Sends LVN_ITEMCHANGING (non-zero refuses) and LVN_ITEMCHANGED.
  BOOL SetItemState(int nItem, UINT nState, UINT nMask);
  BOOL GetCheck(int nItem) const;
  BOOL SetCheck(int nItem, BOOL fCheck = TRUE);
  // The next row after nItem (-1: from the start) with the flags (LVNI_SELECTED, LVNI_FOCUSED); -1 when none.
  int GetNextItem(int nItem, int nFlags) const;
  UINT GetSelectedCount() const;
  int GetSelectionMark() const;
  int SetSelectionMark(int iIndex);
  // Orders the rows by a comparison of their item data; rows keep their data and states.
  BOOL SortItems(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData);
  // The same with the rows' indices (positions before the sort) instead of their data.
  BOOL SortItemsEx(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData);

  // ---- Images ----
  // The image lists are borrowed; returns the previous one.
  CImageList* SetImageList(CImageList* pImageList, int nImageListType);
  CImageList* GetImageList(int nImageListType) const;

  // ---- Geometry ----
  int GetRowHeight() const;
  int GetHeaderHeight() const;
  BOOL GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const;
  // For sub-item 0, LVIR_BOUNDS gives the whole row, as the real control does.
  BOOL GetSubItemRect(int iItem, int iSubItem, int nArea, CRect& ref) const;
  int HitTest(CPoint pt, UINT* pFlags = nullptr) const;
  int HitTest(LVHITTESTINFO* pHitTestInfo) const;
  int SubItemHitTest(LPLVHITTESTINFO pInfo) const;
  int GetTopIndex() const;
  int GetCountPerPage() const;
  BOOL EnsureVisible(int nItem, BOOL bPartialOK);
  BOOL Scroll(CSize size);
  int GetScrollX() const;
  int GetScrollPos(int nBar) const override;

  // ---- Redrawing ----
  // Each asks for rows to be redrawn; the count per row tells a test which rows were.
  BOOL RedrawItems(int nFirst, int nLast);
  BOOL Update(int nItem);
  int GetItemRedrawCount(int nItem) const;
  void ResetRedrawCounts();

  void DescribeContent(std::vector<std::u16string>& lines) const override;

  // Owner drawing of one row; the default draws nothing.
  virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

 protected:
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
  void AdoptStateFrom(CWnd& other) override;

 private:
  struct Impl;
  using Row = listctrl::Row;
  struct Input;    // the built-in message handlers (ListCtrlInput.cpp)
  struct Painter;  // the custom-draw painting (ListCtrlPaint.cpp)
  Row* R(int nItem) const;
  int ColumnLeft(int nCol) const;
  int StateIconWidth() const;
  int SmallIconWidth() const;
  void SelectOnly(int nItem);
  BOOL ChangeState(int nItem, UINT nState, UINT nMask);
  void LayoutHeader();
  void ClampTop();
  void Paint();
  void PaintCustom(CDC& dc, int first, int last);

  std::unique_ptr<Impl> m_impl;  // owned; the rows, columns and state of the control
};
