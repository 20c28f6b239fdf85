#pragma once

#include "platform/Gdi.h"
#include "platform/ImageList.h"
#include "ui/list/ListCtrlEx.h"

class CArticle;
class CTreeCtrl;

// The article list: one row per article of the selected label (or of a
// search) with its title, creation date and keywords. A click marks the
// article read and asks the host to show it (message 1525).
class DARU_API CDARUListCtrl : public CListCtrlEx {
  DECLARE_DYNAMIC(CDARUListCtrl)
 public:
  // Sent to the message window: wParam 0 shows the article (lParam), 1 opens its link.
  static constexpr UINT WM_DARU_SHOWARTICLE = WM_USER + 501;

  CDARUListCtrl();
  ~CDARUListCtrl() override;

  void SetTreeCtrl(CTreeCtrl* pTreeCtrl) { m_pTreeCtrl = pTreeCtrl; }
  CTreeCtrl* GetTreeCtrl() const { return m_pTreeCtrl; }
  void SetMsgHwnd(HWND hWnd) { m_hMsgWnd = hWnd; }
  HWND GetMsgHwnd() const { return m_hMsgWnd; }
  void SetSearchTag(bool bTag) { m_bSearchTag = bTag; }
  int GetSearchTag() const { return m_bSearchTag ? 1 : 0; }
  // Sorts the rows again by the current sort column and direction.
  void ReSort();
  int GetSortColumn() const { return m_nSortColumn; }
  BOOL IsSortAscending() const { return m_bSortAscending != 0; }

 protected:
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

  int OnCreate(LPCREATESTRUCT lpCreateStruct);
  void OnNMRclick(NMHDR* pNMHDR, LRESULT* pResult);
  void OnNMClick(NMHDR* pNMHDR, LRESULT* pResult);
  void OnLvnBegindrag(NMHDR* pNMHDR, LRESULT* pResult);
  void OnLButtonDown(UINT nFlags, CPoint point);

 private:
  void Sort(int nColumn, bool bAscending);

  bool m_bSearchTag;       // the rows are search results, not the selected label's articles
  CTreeCtrl* m_pTreeCtrl;  // not owned; the label tree
  HWND m_hMsgWnd;          // the host window that receives message 1525
  CImageList m_imageList;  // the row images
  CBitmap m_bitmap;        // bitmap 54004, loaded into m_imageList
  int m_nSortColumn;       // the column the rows are sorted by
  int m_bSortAscending;    // non-zero: ascending

  DECLARE_MESSAGE_MAP()
};
