#include "platform/TreeCtrl.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "base/U16Format.h"
#include "platform/Controls.h"
#include "platform/DC.h"
#include "platform/Gdi.h"
#include "platform/ImageList.h"
#include "platform/Input.h"
#include "platform/TreeCtrlImpl.h"

// The tree control's state: items, relations, selection and expansion, label
// editing and images.

using namespace treectrl;

IMPLEMENT_DYNAMIC(CTreeCtrl, CWnd)

namespace {

constexpr UINT_PTR kLabelEditId = 1;

uintptr_t g_nextItem = 1;

// The in-place label editor: Enter and focus loss keep the text, Escape cancels.
class CTreeLabelEdit : public CEdit {
 protected:
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
      End(wParam == VK_ESCAPE);  // destroys this object
      return 0;
    }
    if (message == WM_CHAR && (wParam == u'\r' || wParam == 0x1B)) return 0;
    if (message == WM_KILLFOCUS) {
      End(FALSE);
      return 0;
    }
    return CEdit::DefWindowProc(message, wParam, lParam);
  }
  void PostNcDestroy() override { delete this; }

 private:
  void End(BOOL cancel) {
    auto* tree = DYNAMIC_DOWNCAST(CTreeCtrl, GetParent());
    if (tree != nullptr && tree->GetEditControl() == this) tree->EndEditLabelNow(cancel);
  }
};

}  // namespace

CTreeCtrl::CTreeCtrl() : m_impl(std::make_unique<Impl>()) {}

CTreeCtrl::~CTreeCtrl() { DestroyWindow(); }

BOOL CTreeCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  return CWnd::Create(WC_TREEVIEW, u"", dwStyle, rect, pParentWnd, nID);
}

void CTreeCtrl::AdoptStateFrom(CWnd& other) {
  CWnd::AdoptStateFrom(other);
  if (auto* o = dynamic_cast<CTreeCtrl*>(&other)) std::swap(m_impl, o->m_impl);
}

CTreeCtrl::Node* CTreeCtrl::N(HTREEITEM hItem) const {
  if (hItem == nullptr) return nullptr;
  auto it = m_impl->nodes.find(reinterpret_cast<uintptr_t>(hItem));
  return it == m_impl->nodes.end() ? nullptr : it->second.get();
}

bool CTreeCtrl::IsValidItem(HTREEITEM hItem) const { return N(hItem) != nullptr; }

std::vector<CTreeCtrl::Node*> CTreeCtrl::VisibleNodes() const {
  std::vector<Node*> out;
  Walk(&m_impl->root, out);
  return out;
}

void CTreeCtrl::ClampTop() {
  const int total = static_cast<int>(VisibleNodes().size());
  const int page = static_cast<int>(GetVisibleCount());
  m_impl->top = std::clamp(m_impl->top, 0, std::max(0, total - page));
}

// ---- Items ----

HTREEITEM CTreeCtrl::InsertItem(LPTVINSERTSTRUCT is) {
  if (is == nullptr) return nullptr;
  Impl& m = *m_impl;
  Node* parent = (is->hParent == nullptr || is->hParent == TVI_ROOT) ? &m.root : N(is->hParent);
  if (parent == nullptr) return nullptr;
  auto node = std::make_unique<Node>();
  const TVITEM& it = is->item;
  if ((it.mask & TVIF_TEXT) && it.pszText != nullptr) node->text = it.pszText;
  if (it.mask & TVIF_IMAGE) node->image = it.iImage;
  if (it.mask & TVIF_SELECTEDIMAGE) node->selectedImage = it.iSelectedImage;
  if (it.mask & TVIF_STATE) node->state = it.state & it.stateMask & ~(TVIS_SELECTED | TVIS_DROPHILITED);
  if (it.mask & TVIF_PARAM) node->data = it.lParam;
  if (it.mask & TVIF_CHILDREN) node->cChildren = it.cChildren;
  if ((GetStyle() & TVS_CHECKBOXES) && (node->state & TVIS_STATEIMAGEMASK) == 0)
    node->state |= INDEXTOSTATEIMAGEMASK(1);
  node->parent = parent;
  node->key = (g_nextItem++) << 4;
  auto& kids = parent->children;
  size_t pos = kids.size();
  if (is->hInsertAfter == TVI_FIRST) {
    pos = 0;
  } else if (is->hInsertAfter == TVI_SORT) {
    pos = static_cast<size_t>(std::upper_bound(kids.begin(), kids.end(), node->text,
                                               [](const std::u16string& t, const Node* n) { return t < n->text; }) -
                              kids.begin());
  } else if (is->hInsertAfter != TVI_LAST && is->hInsertAfter != nullptr) {
    Node* after = N(is->hInsertAfter);
    auto found = std::find(kids.begin(), kids.end(), after);
    if (found != kids.end()) pos = static_cast<size_t>(found - kids.begin()) + 1;
  }
  Node* raw = node.get();
  kids.insert(kids.begin() + static_cast<std::ptrdiff_t>(pos), raw);
  m.nodes.emplace(raw->key, std::move(node));
  Invalidate();
  return H(raw, raw->key);
}

HTREEITEM CTreeCtrl::InsertItem(UINT nMask, const std::u16string& text, int nImage, int nSelectedImage, UINT nState,
                                UINT nStateMask, LPARAM lParam, HTREEITEM hParent, HTREEITEM hInsertAfter) {
  std::u16string buf = text;
  TVINSERTSTRUCT is{};
  is.hParent = hParent;
  is.hInsertAfter = hInsertAfter;
  is.item.mask = nMask;
  is.item.pszText = buf.data();
  is.item.iImage = nImage;
  is.item.iSelectedImage = nSelectedImage;
  is.item.state = nState;
  is.item.stateMask = nStateMask;
  is.item.lParam = lParam;
  return InsertItem(&is);
}

HTREEITEM CTreeCtrl::InsertItem(const std::u16string& text, HTREEITEM hParent, HTREEITEM hInsertAfter) {
  return InsertItem(TVIF_TEXT, text, 0, 0, 0, 0, 0, hParent, hInsertAfter);
}

HTREEITEM CTreeCtrl::InsertItem(const std::u16string& text, int nImage, int nSelectedImage, HTREEITEM hParent,
                                HTREEITEM hInsertAfter) {
  return InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE, text, nImage, nSelectedImage, 0, 0, 0, hParent,
                    hInsertAfter);
}

void CTreeCtrl::DeleteSubtree(Node* node) {
  const HTREEITEM h = H(node, node->key);
  // Handles, not nodes: a handler may delete items while the children go.
  std::vector<HTREEITEM> kids;
  for (Node* c : node->children) kids.push_back(H(c, c->key));
  for (HTREEITEM c : kids)
    if (Node* child = N(c)) DeleteSubtree(child);
  node = N(h);
  if (node == nullptr) return;
  NMTREEVIEW nm{};
  nm.itemOld.mask = TVIF_HANDLE | TVIF_PARAM;
  nm.itemOld.hItem = h;
  nm.itemOld.lParam = node->data;
  SendNotify(&nm.hdr, TVN_DELETEITEM);
  node = N(h);
  if (node == nullptr) return;
  Impl& m = *m_impl;
  if (m.caret == node) m.caret = nullptr;
  if (m.drop == node) m.drop = nullptr;
  if (m.pressed == h) m.pressed = nullptr;
  auto& siblings = node->parent->children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
  m.nodes.erase(node->key);
}

BOOL CTreeCtrl::DeleteItem(HTREEITEM hItem) {
  if (hItem == nullptr || hItem == TVI_ROOT) return DeleteAllItems();
  Impl& m = *m_impl;
  Node* node = N(hItem);
  if (node == nullptr) return FALSE;
  if (m.edit != nullptr && N(m.editItem) != nullptr && Within(N(m.editItem), node)) EndEditLabelNow(TRUE);
  if ((node = N(hItem)) == nullptr) return TRUE;
  if (m.caret != nullptr && Within(m.caret, node)) {
    auto& sibs = node->parent->children;
    auto self = std::find(sibs.begin(), sibs.end(), node);
    Node* next = nullptr;
    if (self + 1 != sibs.end()) {
      next = *(self + 1);
    } else if (self != sibs.begin()) {
      next = *(self - 1);
    } else if (node->parent != &m.root) {
      next = node->parent;
    }
    SelectCaret(next, TVC_UNKNOWN, false);
    if ((node = N(hItem)) == nullptr) return TRUE;
  }
  if (m.drop != nullptr && Within(m.drop, node)) m.drop = nullptr;
  DeleteSubtree(node);
  ClampTop();
  Invalidate();
  return TRUE;
}

BOOL CTreeCtrl::DeleteAllItems() {
  Impl& m = *m_impl;
  if (m.edit != nullptr) EndEditLabelNow(TRUE);
  m.caret = nullptr;
  m.drop = nullptr;
  m.pressed = nullptr;
  std::vector<HTREEITEM> kids;
  for (Node* c : m.root.children) kids.push_back(H(c, c->key));
  for (HTREEITEM c : kids)
    if (Node* child = N(c)) DeleteSubtree(child);
  m.top = 0;
  Invalidate();
  return TRUE;
}

UINT CTreeCtrl::GetCount() const { return static_cast<UINT>(m_impl->nodes.size()); }

int CTreeCtrl::GetItemLevel(HTREEITEM hItem) const {
  Node* n = N(hItem);
  return n ? Depth(n) : -1;
}

void CTreeCtrl::FillItem(Node* node, TVITEM& item) const {
  item.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
  if (node == nullptr) return;
  item.hItem = H(node, node->key);
  item.state = node->state;
  item.stateMask = 0xFFFF;
  item.lParam = node->data;
  item.iImage = node->image;
  item.iSelectedImage = node->selectedImage;
  item.cChildren = HasKids(node) ? 1 : 0;
}

BOOL CTreeCtrl::GetItem(TVITEM* pItem) const {
  if (pItem == nullptr) return FALSE;
  Node* n = N(pItem->hItem);
  if (n == nullptr) return FALSE;
  if (pItem->mask & TVIF_TEXT) {
    if (pItem->pszText != nullptr && pItem->cchTextMax > 0) {
      const size_t count = std::min(n->text.size(), static_cast<size_t>(pItem->cchTextMax - 1));
      std::copy_n(n->text.begin(), count, pItem->pszText);
      pItem->pszText[count] = 0;
    }
  }
  if (pItem->mask & TVIF_IMAGE) pItem->iImage = n->image;
  if (pItem->mask & TVIF_SELECTEDIMAGE) pItem->iSelectedImage = n->selectedImage;
  if (pItem->mask & TVIF_STATE) pItem->state = n->state & pItem->stateMask;
  if (pItem->mask & TVIF_PARAM) pItem->lParam = n->data;
  if (pItem->mask & TVIF_CHILDREN) pItem->cChildren = HasKids(n) ? 1 : 0;
  return TRUE;
}

BOOL CTreeCtrl::SetItem(TVITEM* pItem) {
  if (pItem == nullptr) return FALSE;
  Node* n = N(pItem->hItem);
  if (n == nullptr) return FALSE;
  if ((pItem->mask & TVIF_TEXT) && pItem->pszText != nullptr) n->text = pItem->pszText;
  if (pItem->mask & TVIF_IMAGE) n->image = pItem->iImage;
  if (pItem->mask & TVIF_SELECTEDIMAGE) n->selectedImage = pItem->iSelectedImage;
  if (pItem->mask & TVIF_STATE) SetItemState(pItem->hItem, pItem->state, pItem->stateMask);
  if (pItem->mask & TVIF_PARAM) n->data = pItem->lParam;
  if (pItem->mask & TVIF_CHILDREN) n->cChildren = pItem->cChildren;
  Invalidate();
  return TRUE;
}

std::u16string CTreeCtrl::GetItemText(HTREEITEM hItem) const {
  Node* n = N(hItem);
  return n ? n->text : std::u16string();
}

BOOL CTreeCtrl::SetItemText(HTREEITEM hItem, const std::u16string& text) {
  Node* n = N(hItem);
  if (n == nullptr) return FALSE;
  n->text = text;
  Invalidate();
  return TRUE;
}

BOOL CTreeCtrl::GetItemImage(HTREEITEM hItem, int& nImage, int& nSelectedImage) const {
  Node* n = N(hItem);
  if (n == nullptr) return FALSE;
  nImage = n->image;
  nSelectedImage = n->selectedImage;
  return TRUE;
}

BOOL CTreeCtrl::SetItemImage(HTREEITEM hItem, int nImage, int nSelectedImage) {
  Node* n = N(hItem);
  if (n == nullptr) return FALSE;
  n->image = nImage;
  n->selectedImage = nSelectedImage;
  Invalidate();
  return TRUE;
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM hItem) const {
  Node* n = N(hItem);
  return n ? static_cast<DWORD_PTR>(n->data) : 0;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM hItem, DWORD_PTR dwData) {
  Node* n = N(hItem);
  if (n == nullptr) return FALSE;
  n->data = static_cast<LPARAM>(dwData);
  return TRUE;
}

UINT CTreeCtrl::GetItemState(HTREEITEM hItem, UINT nStateMask) const {
  Node* n = N(hItem);
  return n ? (n->state & nStateMask) : 0;
}

BOOL CTreeCtrl::SetItemState(HTREEITEM hItem, UINT nState, UINT nStateMask) {
  Node* n = N(hItem);
  if (n == nullptr) return FALSE;
  n->state = (n->state & ~nStateMask) | (nState & nStateMask);
  ClampTop();
  Invalidate();
  return TRUE;
}

BOOL CTreeCtrl::GetCheck(HTREEITEM hItem) const {
  return static_cast<BOOL>(GetItemState(hItem, TVIS_STATEIMAGEMASK) >> 12) - 1;
}

BOOL CTreeCtrl::SetCheck(HTREEITEM hItem, BOOL fCheck) {
  return SetItemState(hItem, INDEXTOSTATEIMAGEMASK(fCheck ? 2 : 1), TVIS_STATEIMAGEMASK);
}

BOOL CTreeCtrl::ItemHasChildren(HTREEITEM hItem) const {
  Node* n = N(hItem);
  return n && HasKids(n) ? TRUE : FALSE;
}

// ---- Relations ----

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM hItem, UINT nCode) const {
  const Impl& m = *m_impl;
  auto handle = [](const Node* n) { return n ? H(n, n->key) : nullptr; };
  switch (nCode) {
    case TVGN_ROOT:
      return m.root.children.empty() ? nullptr : handle(m.root.children.front());
    case TVGN_CARET:
      return handle(m.caret);
    case TVGN_DROPHILITE:
      return handle(m.drop);
    case TVGN_FIRSTVISIBLE: {
      const auto vis = VisibleNodes();
      return m.top < static_cast<int>(vis.size()) ? handle(vis[static_cast<size_t>(m.top)]) : nullptr;
    }
    case TVGN_LASTVISIBLE: {
      const auto vis = VisibleNodes();
      return vis.empty() ? nullptr : handle(vis.back());
    }
    default:
      break;
  }
  if (hItem == TVI_ROOT && nCode == TVGN_CHILD) return GetNextItem(nullptr, TVGN_ROOT);
  Node* n = N(hItem);
  if (n == nullptr) return nullptr;
  switch (nCode) {
    case TVGN_NEXT:
    case TVGN_PREVIOUS: {
      const auto& sibs = n->parent->children;
      auto self = std::find(sibs.begin(), sibs.end(), n);
      if (nCode == TVGN_NEXT) return self + 1 != sibs.end() ? handle(*(self + 1)) : nullptr;
      return self != sibs.begin() ? handle(*(self - 1)) : nullptr;
    }
    case TVGN_PARENT:
      return n->parent == &m.root ? nullptr : handle(n->parent);
    case TVGN_CHILD:
      return n->children.empty() ? nullptr : handle(n->children.front());
    case TVGN_NEXTVISIBLE:
    case TVGN_PREVIOUSVISIBLE: {
      const auto vis = VisibleNodes();
      auto self = std::find(vis.begin(), vis.end(), n);
      if (self == vis.end()) return nullptr;
      if (nCode == TVGN_NEXTVISIBLE) return self + 1 != vis.end() ? handle(*(self + 1)) : nullptr;
      return self != vis.begin() ? handle(*(self - 1)) : nullptr;
    }
    default:
      return nullptr;
  }
}

// ---- Selection and expansion ----

BOOL CTreeCtrl::Select(HTREEITEM hItem, UINT nCode) {
  Impl& m = *m_impl;
  Node* n = N(hItem);
  if (hItem != nullptr && n == nullptr) return FALSE;
  switch (nCode) {
    case TVGN_CARET:
      return SelectCaret(n, TVC_UNKNOWN, true);
    case TVGN_DROPHILITE:
      if (m.drop != nullptr) m.drop->state &= ~TVIS_DROPHILITED;
      m.drop = n;
      if (n != nullptr) n->state |= TVIS_DROPHILITED;
      Invalidate();
      return TRUE;
    case TVGN_FIRSTVISIBLE: {
      if (n == nullptr) return FALSE;
      const auto vis = VisibleNodes();
      auto self = std::find(vis.begin(), vis.end(), n);
      if (self == vis.end()) return FALSE;
      m.top = static_cast<int>(self - vis.begin());
      ClampTop();
      Invalidate();
      return TRUE;
    }
    default:
      return FALSE;
  }
}

BOOL CTreeCtrl::SelectCaret(Node* node, UINT action, bool mayRefuse) {
  Impl& m = *m_impl;
  if (node == m.caret) return TRUE;
  const HTREEITEM newH = node ? H(node, node->key) : nullptr;
  const HTREEITEM oldH = m.caret ? H(m.caret, m.caret->key) : nullptr;
  NMTREEVIEW nm{};
  nm.action = action;
  FillItem(m.caret, nm.itemOld);
  FillItem(node, nm.itemNew);
  if (SendNotify(&nm.hdr, TVN_SELCHANGING) != 0 && mayRefuse) return FALSE;
  node = N(newH);
  if (newH != nullptr && node == nullptr) return FALSE;
  if (m.caret != nullptr) m.caret->state &= ~TVIS_SELECTED;
  m.caret = node;
  if (node != nullptr) {
    node->state |= TVIS_SELECTED;
    EnsureVisible(newH);
  }
  Invalidate();
  NMTREEVIEW changed{};
  changed.action = action;
  FillItem(N(oldH), changed.itemOld);
  changed.itemOld.hItem = oldH;
  FillItem(N(newH), changed.itemNew);
  SendNotify(&changed.hdr, TVN_SELCHANGED);
  return TRUE;
}

BOOL CTreeCtrl::ExpandNode(Node* node, UINT code, bool notify, UINT) {
  Impl& m = *m_impl;
  const HTREEITEM h = H(node, node->key);
  const bool expanded = (node->state & TVIS_EXPANDED) != 0;
  const UINT op = code & 0x3;
  const bool want = op == TVE_EXPAND ? true : op == TVE_COLLAPSE ? false : !expanded;
  if (op == 0) return FALSE;
  if (want && !HasKids(node)) return FALSE;
  if (want == expanded) return TRUE;
  if (notify) {
    NMTREEVIEW nm{};
    nm.action = want ? TVE_EXPAND : TVE_COLLAPSE;
    FillItem(node, nm.itemNew);
    if (SendNotify(&nm.hdr, TVN_ITEMEXPANDING) != 0) return FALSE;
    if ((node = N(h)) == nullptr) return FALSE;
  }
  if (want) {
    node->state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
  } else {
    node->state &= ~TVIS_EXPANDED;
    if (m.caret != nullptr && m.caret != node && Within(m.caret, node)) SelectCaret(node, TVC_UNKNOWN, false);
  }
  ClampTop();
  Invalidate();
  if (notify && (node = N(h)) != nullptr) {
    NMTREEVIEW nm{};
    nm.action = want ? TVE_EXPAND : TVE_COLLAPSE;
    FillItem(node, nm.itemNew);
    SendNotify(&nm.hdr, TVN_ITEMEXPANDED);
  }
  return TRUE;
}

BOOL CTreeCtrl::Expand(HTREEITEM hItem, UINT nCode) {
  Node* n = N(hItem);
  if (n == nullptr) return FALSE;
  const UINT op = nCode & 0x3;
  const bool expanding = op == TVE_EXPAND || (op == TVE_TOGGLE && !(n->state & TVIS_EXPANDED));
  return ExpandNode(n, nCode, expanding && !(n->state & TVIS_EXPANDEDONCE), nCode);
}

BOOL CTreeCtrl::EnsureVisible(HTREEITEM hItem) {
  Node* n = N(hItem);
  if (n == nullptr) return FALSE;
  std::vector<HTREEITEM> ancestors;
  for (Node* p = n->parent; p != nullptr && p != &m_impl->root; p = p->parent) ancestors.push_back(H(p, p->key));
  for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it)
    if (!(GetItemState(*it, TVIS_EXPANDED))) Expand(*it, TVE_EXPAND);
  if ((n = N(hItem)) == nullptr) return FALSE;
  const auto vis = VisibleNodes();
  auto self = std::find(vis.begin(), vis.end(), n);
  if (self == vis.end()) return FALSE;
  const int index = static_cast<int>(self - vis.begin());
  const int page = std::max(1, static_cast<int>(GetVisibleCount()));
  if (index < m_impl->top) {
    m_impl->top = index;
  } else if (index >= m_impl->top + page) {
    m_impl->top = index - page + 1;
  }
  ClampTop();
  Invalidate();
  return TRUE;
}

// ---- Label editing ----

CEdit* CTreeCtrl::EditLabel(HTREEITEM hItem) {
  Impl& m = *m_impl;
  if (N(hItem) == nullptr) return nullptr;
  if (m.edit != nullptr) EndEditLabelNow(FALSE);
  Node* n = N(hItem);
  if (n == nullptr) return nullptr;
  EnsureVisible(hItem);
  std::u16string buf = n->text;
  NMTVDISPINFO di{};
  FillItem(n, di.item);
  di.item.mask |= TVIF_TEXT;
  di.item.pszText = buf.data();
  di.item.cchTextMax = static_cast<int>(buf.size()) + 1;
  if (SendNotify(&di.hdr, TVN_BEGINLABELEDIT) != 0) return nullptr;
  if ((n = N(hItem)) == nullptr || m_hWnd == nullptr) return nullptr;
  CRect r;
  GetItemRect(hItem, &r, TRUE);
  auto* edit = new CTreeLabelEdit;
  if (!edit->CreateEx(0, WC_EDIT, n->text.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, r, this,
                      kLabelEditId)) {
    delete edit;
    return nullptr;
  }
  m.edit = edit->m_hWnd;
  m.editItem = hItem;
  edit->SetSel(0, -1);
  edit->SetFocus();
  return edit;
}

CEdit* CTreeCtrl::GetEditControl() const { return DYNAMIC_DOWNCAST(CEdit, CWnd::FromHandle(m_impl->edit)); }

HTREEITEM CTreeCtrl::GetEditItem() const { return m_impl->edit ? m_impl->editItem : nullptr; }

BOOL CTreeCtrl::EndEditLabelNow(BOOL fCancel) {
  Impl& m = *m_impl;
  if (m.edit == nullptr) return FALSE;
  const HWND editWnd = m.edit;
  const HTREEITEM h = m.editItem;
  m.edit = nullptr;
  m.editItem = nullptr;
  CWnd* edit = CWnd::FromHandle(editWnd);
  std::u16string text = edit ? edit->GetWindowText() : std::u16string();
  const HWND self = m_hWnd;
  if (Node* n = N(h)) {
    NMTVDISPINFO di{};
    FillItem(n, di.item);
    di.item.mask |= TVIF_TEXT;
    di.item.pszText = fCancel ? nullptr : text.data();
    di.item.cchTextMax = static_cast<int>(text.size()) + 1;
    const LRESULT keep = SendNotify(&di.hdr, TVN_ENDLABELEDIT);
    if (!IsWindow(self)) return TRUE;
    if (!fCancel && keep != 0 && (n = N(h)) != nullptr) {
      n->text = text;
      Invalidate();
    }
  }
  const bool hadFocus = ::GetFocus() == editWnd;
  ::DestroyWindow(editWnd);
  if (hadFocus && IsWindow(self)) SetFocus();
  return TRUE;
}

// ---- Images ----

CImageList* CTreeCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
  Impl& m = *m_impl;
  CImageList** slot = nImageListType == TVSIL_STATE ? &m.state : &m.normal;
  CImageList* old = *slot;
  *slot = pImageList;
  ClampTop();
  Invalidate();
  return old;
}

CImageList* CTreeCtrl::GetImageList(int nImageListType) const {
  return nImageListType == TVSIL_STATE ? m_impl->state : m_impl->normal;
}

CImageList* CTreeCtrl::CreateDragImage(HTREEITEM hItem) {
  Node* n = N(hItem);
  if (n == nullptr) return nullptr;
  const int iconW = m_impl->normal ? m_impl->normal->GetImageSize().cx : 0;
  const int w = iconW + LabelWidth(n);
  const int h = GetItemHeight();
  auto list = std::make_unique<CImageList>();
  if (!list->Create(w, h, ILC_COLOR24 | ILC_MASK, 1, 1)) return nullptr;
  CBitmap bmp;
  bmp.CreateFromPixels(
      w, h, std::vector<COLORREF>(static_cast<size_t>(w) * static_cast<size_t>(h), GetSysColor(COLOR_WINDOW)));
  list->Add(&bmp, CLR_NONE);
  return list.release();
}
