#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/CommCtrl.h"
#include "platform/Wnd.h"

class CEdit;
class CImageList;

// The tree-view control.
//
// Fixed geometry (client coordinates): rows are GetItemHeight() pixels high
// (16, or the normal image height plus 1 when that is more), starting at the
// first visible item at y 0. An item at depth d (top-level items have depth 0)
// is indented d * GetIndent() pixels (indent 19), plus one indent more with
// TVS_LINESATROOT. With TVS_HASBUTTONS the indent column just left of that
// holds the expand button of an item with children (not for top-level items
// without TVS_LINESATROOT). Then come the state icon (16 pixels, when there
// is a state image list), the icon (the normal image width, when there is a
// normal image list) and the label: 1 pixel after the icon, as wide as the
// text (bold text for TVIS_BOLD) plus 4. Right of the label lies
// TVHT_ONITEMRIGHT. Every row belongs to its item for hit testing.
//
// Mouse: a left button press on an item's button expands or collapses it, on
// its state icon toggles its check box, on its icon or label arms a drag: a
// move of more than 4 pixels with the button held then sends TVN_BEGINDRAG,
// and releasing the button without one selects the item. Every release that
// started no drag sends NM_CLICK. A double click sends NM_DBLCLK and, unless
// the handler returned non-zero, expands or collapses the item. A right
// click sends NM_RCLICK and, when that returns 0, WM_CONTEXTMENU.
class DARU_API CTreeCtrl : public CWnd {
  DECLARE_DYNAMIC(CTreeCtrl)
 public:
  CTreeCtrl();
  ~CTreeCtrl() override;
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

  // ---- Items ----
  HTREEITEM InsertItem(LPTVINSERTSTRUCT lpInsertStruct);
  HTREEITEM InsertItem(UINT nMask, const std::u16string& text, int nImage, int nSelectedImage, UINT nState,
                       UINT nStateMask, LPARAM lParam, HTREEITEM hParent, HTREEITEM hInsertAfter);
  HTREEITEM InsertItem(const std::u16string& text, HTREEITEM hParent = TVI_ROOT, HTREEITEM hInsertAfter = TVI_LAST);
  HTREEITEM InsertItem(const std::u16string& text, int nImage, int nSelectedImage, HTREEITEM hParent = TVI_ROOT,
                       HTREEITEM hInsertAfter = TVI_LAST);
  // Deletes the item with its subtree (TVN_DELETEITEM for each, children
  // first). When the selection lies in the subtree it moves to the item's next
  // sibling, else its previous sibling, else its parent, with the usual
  // selection notifications.
  BOOL DeleteItem(HTREEITEM hItem);
  BOOL DeleteAllItems();
  UINT GetCount() const;
  bool IsValidItem(HTREEITEM hItem) const;
  // Depth of the item: 0 for top-level items, -1 for an invalid one.
  int GetItemLevel(HTREEITEM hItem) const;

  BOOL GetItem(TVITEM* pItem) const;
  BOOL SetItem(TVITEM* pItem);
  std::u16string GetItemText(HTREEITEM hItem) const;
  BOOL SetItemText(HTREEITEM hItem, const std::u16string& text);
  BOOL GetItemImage(HTREEITEM hItem, int& nImage, int& nSelectedImage) const;
  BOOL SetItemImage(HTREEITEM hItem, int nImage, int nSelectedImage);
  DWORD_PTR GetItemData(HTREEITEM hItem) const;
  BOOL SetItemData(HTREEITEM hItem, DWORD_PTR dwData);
  UINT GetItemState(HTREEITEM hItem, UINT nStateMask) const;
  BOOL SetItemState(HTREEITEM hItem, UINT nState, UINT nStateMask);
  // The check box of the state image: 1 ticked, 0 not, -1 no state image.
  BOOL GetCheck(HTREEITEM hItem) const;
  BOOL SetCheck(HTREEITEM hItem, BOOL fCheck = TRUE);
  BOOL ItemHasChildren(HTREEITEM hItem) const;

  // ---- Relations ----
  HTREEITEM GetNextItem(HTREEITEM hItem, UINT nCode) const;
  HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
  HTREEITEM GetChildItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_CHILD); }
  HTREEITEM GetNextSiblingItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_NEXT); }
  HTREEITEM GetPrevSiblingItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_PREVIOUS); }
  HTREEITEM GetParentItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_PARENT); }
  HTREEITEM GetFirstVisibleItem() const { return GetNextItem(nullptr, TVGN_FIRSTVISIBLE); }
  HTREEITEM GetNextVisibleItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_NEXTVISIBLE); }
  HTREEITEM GetPrevVisibleItem(HTREEITEM hItem) const { return GetNextItem(hItem, TVGN_PREVIOUSVISIBLE); }
  HTREEITEM GetLastVisibleItem() const { return GetNextItem(nullptr, TVGN_LASTVISIBLE); }
  HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
  HTREEITEM GetDropHilightItem() const { return GetNextItem(nullptr, TVGN_DROPHILITE); }

  // ---- Selection and expansion ----
  // TVGN_CARET selects (TVN_SELCHANGING, which may refuse, then
  // TVN_SELCHANGED), expanding the item's ancestors and scrolling it into
  // view; TVGN_DROPHILITE moves the drop highlight; TVGN_FIRSTVISIBLE scrolls.
  BOOL Select(HTREEITEM hItem, UINT nCode);
  BOOL SelectItem(HTREEITEM hItem) { return Select(hItem, TVGN_CARET); }
  BOOL SelectDropTarget(HTREEITEM hItem) { return Select(hItem, TVGN_DROPHILITE); }
  BOOL SelectSetFirstVisible(HTREEITEM hItem) { return Select(hItem, TVGN_FIRSTVISIBLE); }
  // TVE_EXPAND, TVE_COLLAPSE or TVE_TOGGLE. An item without children cannot
  // be expanded. The expansion notifications come only the first time an item
  // is expanded this way (TVIS_EXPANDEDONCE), as for the real message.
  BOOL Expand(HTREEITEM hItem, UINT nCode);
  BOOL EnsureVisible(HTREEITEM hItem);

  // ---- In-place label editing ----
  // Sends TVN_BEGINLABELEDIT; unless that returns non-zero, opens an edit
  // over the label holding its text and gives it the focus. The user ends it
  // with Enter or by moving the focus away (keeping the text) or with Escape
  // (cancelling); TVN_ENDLABELEDIT then carries the text (null when
  // cancelled), and a non-zero result makes it the item's new text.
  CEdit* EditLabel(HTREEITEM hItem);
  CEdit* GetEditControl() const;
  HTREEITEM GetEditItem() const;
  BOOL EndEditLabelNow(BOOL fCancel);

  // ---- Images ----
  // The image lists are borrowed; returns the previous one.
  CImageList* SetImageList(CImageList* pImageList, int nImageListType);
  CImageList* GetImageList(int nImageListType) const;
  // A new image list (owned by the caller) holding one image of the item's
  // icon and label; null for an invalid item.
  CImageList* CreateDragImage(HTREEITEM hItem);

  // ---- Geometry ----
  UINT GetIndent() const;
  void SetIndent(UINT nIndent);
  short GetItemHeight() const;
  short SetItemHeight(short cyHeight);
  // Rows that fit completely in the client area.
  UINT GetVisibleCount() const;
  // The item's row, or only its label; FALSE when the item is not visible (collapsed away).
  BOOL GetItemRect(HTREEITEM hItem, LPRECT lpRect, BOOL bTextOnly) const;
  HTREEITEM HitTest(CPoint pt, UINT* pFlags = nullptr) const;
  HTREEITEM HitTest(TVHITTESTINFO* pHitTestInfo) const;
  // Index of the first visible row among the expanded items.
  int GetScrollTop() const;
  int GetScrollPos(int nBar) const override;

  void DescribeContent(std::vector<std::u16string>& lines) const override;

 protected:
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void AdoptStateFrom(CWnd& other) override;

 private:
  struct Impl;
  struct Node;
  struct Input;  // the built-in message handlers (TreeCtrlInput.cpp)
  Node* N(HTREEITEM hItem) const;
  std::vector<Node*> VisibleNodes() const;
  void ClampTop();
  BOOL SelectCaret(Node* node, UINT action, bool mayRefuse);
  BOOL ExpandNode(Node* node, UINT code, bool notify, UINT action);
  void FillItem(Node* node, TVITEM& item) const;
  void DeleteSubtree(Node* node);
  int LabelLeft(const Node* node) const;
  int LabelWidth(const Node* node) const;
  void Paint();

  std::unique_ptr<Impl> m_impl;  // owned; the items and the control's state
};
