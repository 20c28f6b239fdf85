#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Gdi.h"
#include "platform/ImageList.h"
#include "platform/ListCtrl.h"

class CArticle;
class CDC;

// What a row of the sortable list carries besides its texts: the article it
// shows and how its text is drawn. Attached to its row as the row's item data,
// so it travels with the row through sorting and deletion. The item data is a
// key to the record, so that a row whose data is anything else is never
// taken for one.
class DARU_API CListRowRecord {
 public:
  virtual ~CListRowRecord() = default;

  int bold = 1;                 // draw the row's text in bold
  int red = 0;                  // draw the row's text in red
  CArticle* article = nullptr;  // the row's article; not owned
  int index = -1;               // the index the row was inserted at
};

// The state and drawing of an owner-drawn, sortable report list: row records,
// the header's sort arrow, the sorted column's colour band, text fitting and
// the selection and focus looks. It does not sort; the derived control does.
class DARU_API CListBase {
 public:
  explicit CListBase(CListCtrl* pListCtrl);
  virtual ~CListBase();
  CListBase(const CListBase&) = delete;
  CListBase& operator=(const CListBase&) = delete;

  // ---- Rows (an index outside the rows does nothing and fails) ----
  int InsertItem(int nItem, const std::u16string& text, int nImage);
  BOOL SetItemData(int nItem, DWORD_PTR dwData);  // the row's CArticle*
  DWORD_PTR GetItemData(int nItem) const;         // 0 for a row without a record
  CArticle* GetItemArticle(int nItem) const;
  void SetItemBold(int nItem, BOOL bBold);
  void SetItemRed(int nItem, BOOL bRed);
  BOOL GetItemBold(int nItem) const;
  BOOL GetItemRed(int nItem) const;
  BOOL DeleteItem(int nItem);
  BOOL DeleteAllItems();
  // The row's record; null when the row was not inserted through this base.
  CListRowRecord* GetRowRecord(int nItem) const;

  // ---- Columns, images, sort indicator ----
  int InsertColumn(int nCol, const std::u16string& columnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                   int nSubItem = -1);
  CImageList* SetImageList(CImageList* pImageList, int nImageListType);
  void SetSortIndicator(BOOL bOn, int nIndicator);
  int GetSortIndicator() const { return m_sortIndicator; }
  BOOL IsSortIndicatorOn() const { return m_sortIndicatorOn; }
  void SetSortColumnColour(BOOL bOn);
  COLORREF GetSortColumnColour() const { return m_columnColour; }
  // The header's arrow images (9 x 5): the up arrow and the down arrow.
  CImageList* GetHeaderImageList() { return &m_headerImages; }
  int GetUpImage() const { return m_upImage; }
  int GetDownImage() const { return m_downImage; }

  // Fits a text into a width with the font selected in the device context:
  // the longest prefix that fits followed by "...", or the first character
  // with as many dots (two, one, none) as fit.
  static std::u16string FitText(CDC* pDC, const std::u16string& text, int width);

 protected:
  // Drawing steps an owner-drawn list may replace.
  virtual void DrawSmallIcon(CDC* pDC, LVITEM* pItem, LPRECT pRect);
  virtual void DrawStateIcon(CDC* pDC, LVITEM* pItem, LPRECT pRect);
  virtual void DrawSubItemText(CDC* pDC, LVITEM* pItem, LVCOLUMN* pColumn, LPRECT pRect);

  // Handlers the list control forwards its messages to.
  void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  void OnSysColorChange();
  BOOL OnEraseBkgnd(CDC* pDC);  // TRUE when the erase was done here
  void OnHScroll();
  void OnFocusChange(bool gained);
  // TRUE when the click toggled a check box and must not reach the default handling.
  BOOL OnLButton(CPoint point);
  void OnColumnClick(NMHDR* pNMHDR, LRESULT* pResult);
  void OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);

  std::u16string FetchItemText(int nItem, int nSubItem) const;
  void RefreshHeader();
  void InvalidateNonItemArea();
  void CreateHeaderImages();

 private:
  int SortedColumn() const { return std::abs(m_sortIndicator) - 1; }
  CListRowRecord* ValidRecord(DWORD_PTR data) const;
  DWORD_PTR KeyOf(size_t slot) const { return (static_cast<DWORD_PTR>(slot) << 16) | m_keyTag; }
  void Discard(DWORD_PTR key);

  CListCtrl* m_pListCtrl;  // not owned; the list control this base is part of
  bool m_sortIndicatorOn = false;
  bool m_columnColourOn = false;
  CImageList m_headerImages;
  CBitmap m_upArrow;
  CBitmap m_downArrow;
  int m_upImage = -1;
  int m_downImage = -1;
  COLORREF m_columnColour = 0;
  int m_sortIndicator = 1;
  int m_firstColumnFormat = LVCFMT_LEFT;
  std::optional<CListRowRecord>& Slot(size_t slot) const { return m_recordChunks[slot / kChunk][slot % kChunk]; }

  // Every record not yet discarded, by slot; a discarded record's slot is
  // empty until a new row reuses it. Creating and discarding cost O(1). The
  // chunks never move, so a record stays where it is while its row lives.
  static constexpr size_t kChunk = 1024;
  std::vector<std::unique_ptr<std::optional<CListRowRecord>[]>> m_recordChunks;
  size_t m_slotsUsed = 0;  // slots handed out since the list was last cleared
  std::vector<size_t> m_freeSlots;
  DWORD_PTR m_keyTag;  // low bits of every key, so keys of another list do not match
};

// The list control with the sortable list base: its window messages go to the
// base. Created as a report list, owner-drawn (LVS_OWNERDRAWFIXED) for bold
// and red rows, otherwise drawn through the custom-draw notifications.
class DARU_API CListCtrlEx : public CListCtrl, public CListBase {
  DECLARE_DYNCREATE(CListCtrlEx)
 public:
  CListCtrlEx();
  ~CListCtrlEx() override;

  int InsertItem(int nItem, const std::u16string& text, int nImage) {
    return CListBase::InsertItem(nItem, text, nImage);
  }
  BOOL SetItemData(int nItem, DWORD_PTR dwData) { return CListBase::SetItemData(nItem, dwData); }
  DWORD_PTR GetItemData(int nItem) const { return CListBase::GetItemData(nItem); }
  BOOL DeleteItem(int nItem) { return CListBase::DeleteItem(nItem); }
  BOOL DeleteAllItems() { return CListBase::DeleteAllItems(); }
  int InsertColumn(int nCol, const std::u16string& columnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                   int nSubItem = -1) {
    return CListBase::InsertColumn(nCol, columnHeading, nFormat, nWidth, nSubItem);
  }
  CImageList* SetImageList(CImageList* pImageList, int nImageListType) {
    return CListBase::SetImageList(pImageList, nImageListType);
  }

  void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

 protected:
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

  void OnSysColorChange();
  BOOL OnEraseBkgnd(CDC* pDC);
  void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
  void OnKillFocus(CWnd* pNewWnd);
  void OnSetFocus(CWnd* pOldWnd);
  void OnLButtonDown(UINT nFlags, CPoint point);
  void OnLButtonDblClk(UINT nFlags, CPoint point);
  void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
  void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
  void OnColumnclick(NMHDR* pNMHDR, LRESULT* pResult);
  void OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);
  void OnDeleteAllItems(NMHDR* pNMHDR, LRESULT* pResult);

  DECLARE_MESSAGE_MAP()
};
