#pragma once

#include <memory>
#include <string>

#include "base/DaruApi.h"
#include "core/CaptureItems.h"
#include "facade/ArticleCapture.h"
#include "platform/Gdi.h"
#include "platform/ImageList.h"
#include "platform/TreeCtrl.h"

class CArticle;
class CCmdUI;
class CDARU;
class CDARUListCtrl;
class CLabel;

// The label tree: one item per label of the hierarchy, the label as the
// item's data. Selecting a label shows its articles in the article list; the
// context menu holds the label commands; labels are moved by dragging them;
// the host files captured pages and feed items through it.
class DARU_API CDARUTreeCtrl : public CTreeCtrl {
  DECLARE_DYNAMIC(CDARUTreeCtrl)
 public:
  // Sent to the main frame when the user double-clicks in the tree: wParam 2, lParam 0.
  static constexpr UINT WM_DARU_TREE_DBLCLK = WM_USER + 500;

  CDARUTreeCtrl();
  ~CDARUTreeCtrl() override;

  // The article list this tree fills; needed before the user selects labels.
  void SetListCtrl(CDARUListCtrl* pListCtrl) { m_pListCtrl = pListCtrl; }
  // The window that hears of double clicks.
  void SetMainFrameHwnd(HWND hWnd) { m_hMainFrame = hWnd; }
  HWND GetMainFrameHwnd() const { return m_hMainFrame; }
  UINT GetDefalutLabelID() const { return m_nDefaultLabelID; }

  // Makes the label of the item the default and shows the item in bold.
  void SetDefaultLabel(CLabel* pLabel, HTREEITEM hItem);
  // Only 1 does anything: the root item's label becomes the default.
  void SetDefaultLabel(UINT nLabelID);

  // Deletes the labels of the item, of its descendants and of its later
  // siblings with theirs, deepest first; the items stay. Returns 1.
  int DeleteChildLabel(HTREEITEM hItem);

  // Files a page from the browser under the label (null: the default label),
  // through the add-article dialog when asked. False when nothing was filed.
  bool AddArticleFromBrowser(std::u16string url, std::u16string title, CLabel* pLabel, bool bShowDialog);
  // Files a feed item under the label; without one, under the label of id
  // nLabelID or under a new label named after the channel in the favourite
  // feeds, whose id then goes back through nLabelID. True when the item is
  // stored, now or before.
  bool AddArticleFromRss(CRSSSubItem item, int& nLabelID, CLabel* pLabel);

 protected:
  int OnCreate(LPCREATESTRUCT lpCreateStruct);
  void OnTvnSelchanged(NMHDR* pNMHDR, LRESULT* pResult);
  void OnNMRclick(NMHDR* pNMHDR, LRESULT* pResult);
  // Enables the item: the commands that are always available share it.
  void OnUpdateTreectrlAdd(CCmdUI* pCmdUI);
  void OnTreectrlAdd();
  // Delete and rename share one rule.
  void OnUpdateTreectrlDelete(CCmdUI* pCmdUI);
  void OnTreectrlDelete();
  void OnTreectrlRename();
  void OnTvnBeginlabeledit(NMHDR* pNMHDR, LRESULT* pResult);
  void OnTvnEndlabeledit(NMHDR* pNMHDR, LRESULT* pResult);
  void OnUpdateTreectrlDefault(CCmdUI* pCmdUI);
  void OnTreectrlDefault();
  void OnTreectrlDelall();
  void OnTreectrlRead();
  void OnUpdateTreectrlRefresh(CCmdUI* pCmdUI);
  void OnTreectrlRefresh();
  void OnTreectrlUnread();
  void OnTvnBegindrag(NMHDR* pNMHDR, LRESULT* pResult);
  void OnLButtonDblClk(UINT nFlags, CPoint point);
  void OnLButtonDown(UINT nFlags, CPoint point);
  void OnLButtonUp(UINT nFlags, CPoint point);
  void OnMouseMove(UINT nFlags, CPoint point);
  void OnTimer(UINT_PTR nIDEvent);

 private:
  // The label an item shows; null for no item.
  CLabel* LabelOf(HTREEITEM hItem) const;
  CLabel* SelectedLabel() const;
  // The item showing the label, searched depth first; null when none does.
  HTREEITEM FindLabelItem(CLabel* pLabel, HTREEITEM hFrom) const;
  bool ListIsSearch() const;

  // Whether the facade's result list owns the article.
  bool IsListedByFacade(const CArticle* pArticle) const;
  // Releases an article the facade handed over, unless its result list owns it.
  void ReleaseUnlisted(CArticle* pArticle) const;
  // Points the facade's current label at the label the list shows.
  void SyncCurrentLabel();
  // Whether a row of the list shows the article.
  bool HasArticleRow(const CArticle* pArticle) const;
  // Captures the request's stored link once more, filing it under its label;
  // false when that fails.
  bool FileStoredArticle(CCaptureRequest request);
  // The root label becomes the default; a previous default item loses its bold.
  void FallBackToRootDefault();
  // After a label deletion that stopped half way: drops the items under the
  // item whose labels are gone from the hierarchy.
  void RemoveDeletedItems(HTREEITEM hItem);

  void EndDrag();
  void MoveLabel(HTREEITEM hDragItem, HTREEITEM hDropItem);
  HTREEITEM CopyBranch(HTREEITEM hBranch, HTREEITEM hNewParent, HTREEITEM hAfter);
  HTREEITEM CopyItem(HTREEITEM hItem, HTREEITEM hNewParent, HTREEITEM hAfter);
  void AutoScroll();

  CDARU* m_pDARU;                            // borrowed: the facade singleton
  CDARUListCtrl* m_pListCtrl;                // borrowed: the host owns the list
  HWND m_hMainFrame;                         // the host window told of double clicks
  CLabel* m_pDefaultLabel;                   // borrowed from the hierarchy; null until set
  HTREEITEM m_hDefaultItem;                  // the item showing the default label
  UINT m_nDefaultLabelID;                    // starts at 3
  CImageList m_imageList;                    // the items' images
  CBitmap m_bitmap;                          // the image strip behind m_imageList
  UINT m_nScrollTicks;                       // auto-scroll ticks; only its value modulo the rate matters
  UINT_PTR m_nScrollTimer;                   // auto-scroll timer while dragging
  CPoint m_ptLast;                           // last pointer position (client coordinates)
  UINT_PTR m_nHoverTimer;                    // hover-expand timer; 0 when none runs
  DWORD m_dwLButtonDownTick;                 // tick count of the last left-button press
  BOOL m_bDragging;                          // a label drag runs
  std::unique_ptr<CImageList> m_pDragImage;  // owned while a drag runs
  HTREEITEM m_hDragItem;                     // the item being dragged
  HTREEITEM m_hDropItem;                     // the current drop target; null for none

  DECLARE_MESSAGE_MAP()
};
