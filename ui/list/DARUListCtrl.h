#pragma once

#include <vector>

#include "platform/Gdi.h"
#include "platform/ImageList.h"
#include "ui/list/ListCtrlEx.h"

class CArticle;
class CCmdUI;
class CLabel;
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

  // ---- Rows (ListRows.cpp): the list alone decides how a row looks ----
  // Inserts a row for the article at the index, as the rows of a label are
  // shown: title with the read or unread image, creation date, keywords, bold
  // while unread, red when important. Returns the row's index, or -1.
  int InsertArticleRow(int nItem, CArticle* pArticle);
  // The same, but looking read (image 2, not bold) or unread whatever the
  // article's read flag says: a new feed item arrives looking read.
  int InsertArticleRow(int nItem, CArticle* pArticle, bool bLookRead);
  // Replaces the rows with one per article, each inserted at the top, so the
  // last article comes first; the rows are not sorted.
  void ShowArticles(const std::vector<CArticle*>& articles);
  // The row showing the article, or -1.
  int FindArticleRow(const CArticle* pArticle) const;

  // The label the tree shows; the tree tells the list whenever its selection
  // changes. Adding and removing articles act on it.
  void SetLabel(CLabel* pLabel) { m_pLabel = pLabel; }
  // Queries the label's articles and rebuilds the rows from them, the last
  // article of the result first, re-sorted when asked; the label becomes the
  // list's. False, with the rows cleared and the message shown, when the
  // query fails.
  bool ShowLabelArticles(CLabel* pLabel, bool bReSort);

  // Marks the row's article read (the read time becomes now) or unread and
  // stores it; the row looks read or unread once the store has taken it, and
  // otherwise stays as it was while the article keeps the change. False when
  // the article was in that state already or the store refused it.
  bool MarkArticleRead(int nItem, bool bRead);
  // The same for every row.
  void MarkAllArticlesRead(bool bRead);

 protected:
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

  int OnCreate(LPCREATESTRUCT lpCreateStruct);
  void OnNMRclick(NMHDR* pNMHDR, LRESULT* pResult);
  void OnNMClick(NMHDR* pNMHDR, LRESULT* pResult);
  void OnLvnBegindrag(NMHDR* pNMHDR, LRESULT* pResult);
  void OnLButtonDown(UINT nFlags, CPoint point);

  // The commands of the context menu and the add command (ListCommands.cpp).
  void OnListAdd();
  void OnUpdateListAdd(CCmdUI* pCmdUI);
  void OnListComment();
  // One rule for comment, remove, properties and the label manager: a row is selected.
  void OnUpdateListComment(CCmdUI* pCmdUI);
  void OnListDel();
  void OnListctrlRead();
  void OnUpdateListctrlRead(CCmdUI* pCmdUI);
  void OnListctrlUnread();
  void OnUpdateListctrlUnread(CCmdUI* pCmdUI);
  void OnListctrlImp();
  void OnUpdateListctrlImp(CCmdUI* pCmdUI);
  void OnListctrlUnimp();
  void OnUpdateListctrlUnimp(CCmdUI* pCmdUI);
  void OnListProp();
  void OnListBrowser();
  void OnUpdateListBrowser(CCmdUI* pCmdUI);
  void OnListSearch();
  void OnUpdateListSearch(CCmdUI* pCmdUI);
  void OnListctrlManager();

 private:
  void Sort(int nColumn, bool bAscending);
  // The label the tree shows; null without a tree window or a selected item.
  CLabel* SelectedLabel() const;
  // The row's image and bold flag for a read or an unread article.
  void ShowReadLook(int nItem, bool bRead);
  // The first selected row's article, with its row; null when no row is selected.
  CArticle* FirstSelectedArticle(int* pRow = nullptr) const;
  // Enables a flag command: never with no row selected, always with several,
  // and with one only when the change would do something.
  void UpdateFlagCommand(CCmdUI* pCmdUI, bool (*wouldChange)(const CArticle&));
  // Applies a flag change to every selected article that needs it; a row
  // changes only when the store took the article.
  void ChangeSelectedFlags(bool (*wouldChange)(const CArticle&), void (*change)(CArticle&),
                           void (*showRow)(CDARUListCtrl&, int, const CArticle&));
  void ShowMessage(WPARAM wParam, CArticle* pArticle);

  bool m_bSearchTag;       // the rows are search results, not the selected label's articles
  CTreeCtrl* m_pTreeCtrl;  // not owned; the label tree
  CLabel* m_pLabel;        // borrowed from the hierarchy: the label the tree shows; null for none
  HWND m_hMsgWnd;          // the host window that receives message 1525
  CImageList m_imageList;  // the row images
  CBitmap m_bitmap;        // bitmap 54004, loaded into m_imageList
  int m_nSortColumn;       // the column the rows are sorted by
  int m_bSortAscending;    // non-zero: ascending

  DECLARE_MESSAGE_MAP()
};
