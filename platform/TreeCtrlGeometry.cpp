#include <algorithm>

#include "platform/DC.h"
#include "platform/Gdi.h"
#include "platform/TreeCtrl.h"
#include "platform/TreeCtrlImpl.h"

// The tree control's geometry: indent, item height, rectangles, hit tests and scrolling.

using namespace treectrl;

// ---- Geometry ----

UINT CTreeCtrl::GetIndent() const { return m_impl->indent; }

void CTreeCtrl::SetIndent(UINT nIndent) {
  m_impl->indent = nIndent;
  Invalidate();
}

short CTreeCtrl::GetItemHeight() const {
  if (m_impl->itemHeight > 0) return m_impl->itemHeight;
  const int imageH = m_impl->normal ? m_impl->normal->GetImageSize().cy + 1 : 0;
  return static_cast<short>(std::max(16, imageH));
}

short CTreeCtrl::SetItemHeight(short cyHeight) {
  short old = GetItemHeight();
  m_impl->itemHeight = cyHeight > 0 ? cyHeight : 0;
  ClampTop();
  Invalidate();
  return old;
}

UINT CTreeCtrl::GetVisibleCount() const {
  CRect client;
  GetClientRect(&client);
  return static_cast<UINT>(std::max(0, client.Height() / GetItemHeight()));
}

int CTreeCtrl::LabelLeft(const Node* node) const {
  int x = Depth(node) * static_cast<int>(m_impl->indent);
  if (GetStyle() & TVS_LINESATROOT) x += static_cast<int>(m_impl->indent);
  if (m_impl->state != nullptr) x += kStateIconWidth;
  if (m_impl->normal != nullptr) x += m_impl->normal->GetImageSize().cx + 1;
  return x;
}

int CTreeCtrl::LabelWidth(const Node* node) const {
  LOGFONT lf;
  GetFont()->GetLogFont(&lf);
  if (node->state & TVIS_BOLD) lf.lfWeight = FW_BOLD;
  return DaruTextWidth(node->text, lf) + 4;
}

BOOL CTreeCtrl::GetItemRect(HTREEITEM hItem, LPRECT lpRect, BOOL bTextOnly) const {
  Node* n = N(hItem);
  if (n == nullptr || lpRect == nullptr) return FALSE;
  const auto vis = VisibleNodes();
  auto self = std::find(vis.begin(), vis.end(), n);
  if (self == vis.end()) return FALSE;
  const int h = GetItemHeight();
  const int y = (static_cast<int>(self - vis.begin()) - m_impl->top) * h;
  CRect client;
  GetClientRect(&client);
  if (bTextOnly) {
    const int left = LabelLeft(n);
    *lpRect = CRect(left, y, left + LabelWidth(n), y + h);
  } else {
    *lpRect = CRect(0, y, client.right, y + h);
  }
  return TRUE;
}

HTREEITEM CTreeCtrl::HitTest(CPoint pt, UINT* pFlags) const {
  TVHITTESTINFO info{};
  info.pt = pt;
  HTREEITEM h = HitTest(&info);
  if (pFlags != nullptr) *pFlags = info.flags;
  return h;
}

HTREEITEM CTreeCtrl::HitTest(TVHITTESTINFO* info) const {
  if (info == nullptr) return nullptr;
  info->flags = 0;
  info->hItem = nullptr;
  CRect client;
  GetClientRect(&client);
  const CPoint pt = info->pt;
  if (pt.x < 0) info->flags |= TVHT_TOLEFT;
  if (pt.x >= client.right) info->flags |= TVHT_TORIGHT;
  if (pt.y < 0) info->flags |= TVHT_ABOVE;
  if (pt.y >= client.bottom) info->flags |= TVHT_BELOW;
  if (info->flags != 0) return nullptr;
  const auto vis = VisibleNodes();
  const int row = m_impl->top + pt.y / GetItemHeight();
  if (row >= static_cast<int>(vis.size())) {
    info->flags = TVHT_NOWHERE;
    return nullptr;
  }
  Node* n = vis[static_cast<size_t>(row)];
  const int indent = static_cast<int>(m_impl->indent);
  const int depth = Depth(n);
  const int x0 = depth * indent + ((GetStyle() & TVS_LINESATROOT) ? indent : 0);
  const int stateW = m_impl->state ? kStateIconWidth : 0;
  const int iconW = m_impl->normal ? m_impl->normal->GetImageSize().cx : 0;
  const int labelLeft = LabelLeft(n);
  if (pt.x < x0) {
    const bool button = (GetStyle() & TVS_HASBUTTONS) && HasKids(n) && (depth > 0 || (GetStyle() & TVS_LINESATROOT)) &&
                        pt.x >= x0 - indent;
    info->flags = button ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
  } else if (pt.x < x0 + stateW) {
    info->flags = TVHT_ONITEMSTATEICON;
  } else if (pt.x < x0 + stateW + iconW) {
    info->flags = TVHT_ONITEMICON;
  } else if (pt.x < labelLeft + LabelWidth(n)) {
    info->flags = TVHT_ONITEMLABEL;
  } else {
    info->flags = TVHT_ONITEMRIGHT;
  }
  info->hItem = H(n, n->key);
  return info->hItem;
}

int CTreeCtrl::GetScrollTop() const { return m_impl->top; }

int CTreeCtrl::GetScrollPos(int nBar) const { return nBar == SB_VERT ? m_impl->top : 0; }
