#include <algorithm>

#include "platform/ListCtrl.h"
#include "platform/ListCtrlImpl.h"

// The list control's geometry: row height, item and sub-item rectangles, hit
// tests and scrolling.

using namespace listctrl;

// ---- Geometry ----

int CListCtrl::GetRowHeight() const {
  const Impl& m = *m_impl;
  int h = 16;
  if (m.small) h = std::max(h, static_cast<int>(m.small->GetImageSize().cy) + 1);
  if (m.state) h = std::max(h, static_cast<int>(m.state->GetImageSize().cy) + 1);
  return h;
}

int CListCtrl::GetHeaderHeight() const { return (GetStyle() & LVS_NOCOLUMNHEADER) ? 0 : kHeaderHeight; }

int CListCtrl::StateIconWidth() const {
  return (m_impl->state != nullptr || (m_impl->exStyle & LVS_EX_CHECKBOXES)) ? kStateIcon : 0;
}

int CListCtrl::SmallIconWidth() const { return m_impl->small ? m_impl->small->GetImageSize().cx : 0; }

int CListCtrl::ColumnLeft(int nCol) const {
  CRect r;
  if (!m_impl->header->GetItemRect(nCol, &r)) return 0;
  return r.left - m_impl->scrollX;
}

BOOL CListCtrl::GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const {
  if (lpRect == nullptr || R(nItem) == nullptr) return FALSE;
  const int h = GetRowHeight();
  const int y = GetHeaderHeight() + (nItem - m_impl->top) * h;
  int totalWidth = 0;
  for (int c = 0; c < GetColumnCount(); ++c) totalWidth += GetColumnWidth(c);
  const CRect bounds(-m_impl->scrollX, y, totalWidth - m_impl->scrollX, y + h);
  const int x0 = GetColumnCount() > 0 ? ColumnLeft(0) : -m_impl->scrollX;
  const int w0 = GetColumnCount() > 0 ? GetColumnWidth(0) : 0;
  const int iconLeft = x0 + kMargin + StateIconWidth();
  const int labelLeft = iconLeft + SmallIconWidth();
  const CRect icon(iconLeft, y, labelLeft, y + h);
  const CRect label(labelLeft, y, std::max(labelLeft, x0 + w0), y + h);
  switch (nCode) {
    case LVIR_ICON:
      *lpRect = icon;
      break;
    case LVIR_LABEL:
      *lpRect = label;
      break;
    case LVIR_SELECTBOUNDS:
      *lpRect = (m_impl->exStyle & LVS_EX_FULLROWSELECT) ? bounds : CRect(icon.left, y, label.right, y + h);
      break;
    default:
      *lpRect = bounds;
      break;
  }
  return TRUE;
}

BOOL CListCtrl::GetSubItemRect(int iItem, int iSubItem, int nArea, CRect& ref) const {
  if (R(iItem) == nullptr || iSubItem < 0 || iSubItem >= std::max(1, GetColumnCount())) return FALSE;
  if (iSubItem == 0) return GetItemRect(iItem, &ref, nArea == LVIR_BOUNDS ? LVIR_BOUNDS : static_cast<UINT>(nArea));
  CRect row;
  GetItemRect(iItem, &row, LVIR_BOUNDS);
  const int left = ColumnLeft(iSubItem);
  ref = CRect(left, row.top, nArea == LVIR_ICON ? left : left + GetColumnWidth(iSubItem), row.bottom);
  return TRUE;
}

int CListCtrl::HitTest(CPoint pt, UINT* pFlags) const {
  LVHITTESTINFO info{};
  info.pt = pt;
  const int item = HitTest(&info);
  if (pFlags != nullptr) *pFlags = info.flags;
  return item;
}

int CListCtrl::HitTest(LVHITTESTINFO* p) const {
  if (p == nullptr) return -1;
  p->flags = 0;
  p->iItem = -1;
  p->iSubItem = 0;
  CRect client;
  GetClientRect(&client);
  const CPoint pt = p->pt;
  if (pt.y < 0) p->flags |= LVHT_ABOVE;
  if (pt.y >= client.bottom) p->flags |= LVHT_BELOW;
  if (pt.x < 0) p->flags |= LVHT_TOLEFT;
  if (pt.x >= client.right) p->flags |= LVHT_TORIGHT;
  if (p->flags != 0) return -1;
  const int headerH = GetHeaderHeight();
  const int row = pt.y < headerH ? -1 : m_impl->top + (pt.y - headerH) / GetRowHeight();
  if (row < 0 || row >= GetItemCount()) {
    p->flags = LVHT_NOWHERE;
    return -1;
  }
  CRect bounds, icon, label;
  GetItemRect(row, &bounds, LVIR_BOUNDS);
  GetItemRect(row, &icon, LVIR_ICON);
  GetItemRect(row, &label, LVIR_LABEL);
  const int stateLeft = icon.left - StateIconWidth();
  if (StateIconWidth() > 0 && pt.x >= stateLeft && pt.x < icon.left) {
    p->flags = LVHT_ONITEMSTATEICON;
  } else if (icon.PtInRect(pt)) {
    p->flags = LVHT_ONITEMICON;
  } else if (label.PtInRect(pt)) {
    p->flags = LVHT_ONITEMLABEL;
  } else if ((m_impl->exStyle & LVS_EX_FULLROWSELECT) && bounds.PtInRect(pt)) {
    p->flags = LVHT_ONITEMLABEL;
  } else {
    p->flags = LVHT_NOWHERE;
    return -1;
  }
  p->iItem = row;
  return row;
}

int CListCtrl::SubItemHitTest(LPLVHITTESTINFO p) const {
  if (p == nullptr) return -1;
  const CPoint pt = p->pt;
  HitTest(p);
  const int headerH = GetHeaderHeight();
  const int row = pt.y < headerH ? -1 : m_impl->top + (pt.y - headerH) / GetRowHeight();
  if (row < 0 || row >= GetItemCount() || (p->flags & (LVHT_ABOVE | LVHT_BELOW | LVHT_TOLEFT | LVHT_TORIGHT)))
    return p->iItem;
  for (int c = 0; c < GetColumnCount(); ++c) {
    const int left = ColumnLeft(c);
    if (pt.x >= left && pt.x < left + GetColumnWidth(c)) {
      p->iSubItem = c;
      if (c > 0) {
        p->iItem = row;
        p->flags = LVHT_ONITEMLABEL;
      }
      return p->iItem;
    }
  }
  return p->iItem;
}

int CListCtrl::GetTopIndex() const { return m_impl->top; }

int CListCtrl::GetCountPerPage() const {
  CRect client;
  GetClientRect(&client);
  return std::max(0, (client.Height() - GetHeaderHeight()) / GetRowHeight());
}

void CListCtrl::ClampTop() {
  m_impl->top = std::clamp(m_impl->top, 0, std::max(0, GetItemCount() - GetCountPerPage()));
}

BOOL CListCtrl::EnsureVisible(int nItem, BOOL bPartialOK) {
  if (R(nItem) == nullptr) return FALSE;
  const int page = std::max(1, GetCountPerPage());
  if (nItem < m_impl->top) {
    m_impl->top = nItem;
  } else if (nItem >= m_impl->top + page) {
    if (!(bPartialOK && nItem == m_impl->top + page)) m_impl->top = nItem - page + 1;
  }
  ClampTop();
  Invalidate();
  return TRUE;
}

BOOL CListCtrl::Scroll(CSize size) {
  m_impl->top += size.cy / GetRowHeight();
  ClampTop();
  int total = 0;
  for (int c = 0; c < GetColumnCount(); ++c) total += GetColumnWidth(c);
  CRect client;
  GetClientRect(&client);
  m_impl->scrollX = std::clamp(m_impl->scrollX + size.cx, 0, std::max(0, total - client.Width()));
  LayoutHeader();
  Invalidate();
  return TRUE;
}

int CListCtrl::GetScrollX() const { return m_impl->scrollX; }

int CListCtrl::GetScrollPos(int nBar) const { return nBar == SB_HORZ ? m_impl->scrollX : m_impl->top; }

void CListCtrl::LayoutHeader() {
  CHeaderCtrl* header = m_impl->header.get();
  if (header->m_hWnd == nullptr) return;
  CRect client;
  GetClientRect(&client);
  header->MoveWindow(-m_impl->scrollX, 0, client.Width() + m_impl->scrollX, GetHeaderHeight(), TRUE);
  header->ShowWindow(GetHeaderHeight() > 0 ? SW_SHOW : SW_HIDE);
}
