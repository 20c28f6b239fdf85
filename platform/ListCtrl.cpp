#include "platform/ListCtrl.h"

#include <algorithm>
#include <numeric>

#include "platform/ListCtrlImpl.h"

// The list control's state: styles and colours, columns, rows and images.

using namespace listctrl;

IMPLEMENT_DYNAMIC(CListCtrl, CWnd)

namespace {
constexpr int LVSCW_AUTOSIZE = -1;
constexpr int LVSCW_AUTOSIZE_USEHEADER = -2;
}  // namespace

CListCtrl::CListCtrl() : m_impl(std::make_unique<Impl>()) { m_impl->header = std::make_unique<CHeaderCtrl>(); }

CListCtrl::~CListCtrl() { DestroyWindow(); }

BOOL CListCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  return CWnd::Create(WC_LISTVIEW, u"", dwStyle, rect, pParentWnd, nID);
}

void CListCtrl::AdoptStateFrom(CWnd& other) {
  CWnd::AdoptStateFrom(other);
  if (auto* o = dynamic_cast<CListCtrl*>(&other)) std::swap(m_impl, o->m_impl);
}

CListCtrl::Row* CListCtrl::R(int nItem) const {
  if (nItem < 0 || nItem >= static_cast<int>(m_impl->rows.size())) return nullptr;
  return &m_impl->rows[static_cast<size_t>(nItem)];
}

// ---- Styles and colours ----

DWORD CListCtrl::GetExtendedStyle() const { return m_impl->exStyle; }

DWORD CListCtrl::SetExtendedStyle(DWORD dwNewStyle) {
  Impl& m = *m_impl;
  const DWORD old = m.exStyle;
  m.exStyle = dwNewStyle;
  if ((dwNewStyle & LVS_EX_CHECKBOXES) && !(old & LVS_EX_CHECKBOXES)) {
    m.checkImages = std::make_unique<CImageList>();
    if (m.checkImages->Create(kStateIcon, kStateIcon, ILC_COLOR24 | ILC_MASK, 2, 0)) {
      CBitmap strip;
      strip.CreateFromPixels(
          kStateIcon * 2, kStateIcon,
          std::vector<COLORREF>(static_cast<size_t>(kStateIcon * 2 * kStateIcon), RGB(255, 255, 255)));
      m.checkImages->Add(&strip, CLR_NONE);
    }
    m.state = m.checkImages.get();
    for (size_t i = 0; i < m.rows.size(); ++i)
      if ((m.rows[i].state & LVIS_STATEIMAGEMASK) == 0) m.rows[i].state |= INDEXTOSTATEIMAGEMASK(1);
  } else if (!(dwNewStyle & LVS_EX_CHECKBOXES) && (old & LVS_EX_CHECKBOXES)) {
    if (m.state == m.checkImages.get()) m.state = nullptr;
    m.checkImages.reset();
  }
  ClampTop();
  Invalidate();
  return old;
}

COLORREF CListCtrl::GetBkColor() const { return m_impl->bk; }
BOOL CListCtrl::SetBkColor(COLORREF cr) {
  m_impl->bk = cr;
  Invalidate();
  return TRUE;
}
COLORREF CListCtrl::GetTextColor() const { return m_impl->text; }
BOOL CListCtrl::SetTextColor(COLORREF cr) {
  m_impl->text = cr;
  Invalidate();
  return TRUE;
}
COLORREF CListCtrl::GetTextBkColor() const { return m_impl->textBk; }
BOOL CListCtrl::SetTextBkColor(COLORREF cr) {
  m_impl->textBk = cr;
  Invalidate();
  return TRUE;
}

// ---- Columns ----

CHeaderCtrl* CListCtrl::GetHeaderCtrl() const { return m_impl->header->m_hWnd ? m_impl->header.get() : nullptr; }

int CListCtrl::GetColumnCount() const { return static_cast<int>(m_impl->columns.size()); }

int CListCtrl::InsertColumn(int nCol, const LVCOLUMN* p) {
  Impl& m = *m_impl;
  if (p == nullptr || m.header->m_hWnd == nullptr) return -1;
  const int idx = std::clamp(nCol, 0, GetColumnCount());
  Column col;
  col.fmt = (p->mask & LVCF_FMT) ? p->fmt : LVCFMT_LEFT;
  if (idx == 0) col.fmt &= ~LVCFMT_JUSTIFYMASK;  // the first column is always left-aligned
  col.subItem = (p->mask & LVCF_SUBITEM) ? p->iSubItem : idx;
  std::u16string text = ((p->mask & LVCF_TEXT) && p->pszText) ? p->pszText : u"";
  HDITEM hd{};
  hd.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
  hd.pszText = text.data();
  hd.cxy = (p->mask & LVCF_WIDTH) ? p->cx : 0;
  hd.fmt = HDF_STRING | (col.fmt & LVCFMT_JUSTIFYMASK);
  if (p->mask & LVCF_IMAGE) {
    hd.mask |= HDI_IMAGE;
    hd.iImage = p->iImage;
    hd.fmt |= HDF_IMAGE;
  }
  if (p->mask & LVCF_ORDER) {
    hd.mask |= HDI_ORDER;
    hd.iOrder = p->iOrder;
  }
  if (m.header->InsertItem(idx, &hd) < 0) return -1;
  m.columns.insert(m.columns.begin() + idx, col);
  m.rows.InsertSubItem(idx);
  Invalidate();
  return idx;
}

int CListCtrl::InsertColumn(int nCol, const std::u16string& columnHeading, int nFormat, int nWidth, int nSubItem) {
  std::u16string text = columnHeading;
  LVCOLUMN col{};
  col.mask = LVCF_TEXT | LVCF_FMT;
  col.pszText = text.data();
  col.fmt = nFormat;
  if (nWidth != -1) {
    col.mask |= LVCF_WIDTH;
    col.cx = nWidth;
  }
  if (nSubItem != -1) {
    col.mask |= LVCF_SUBITEM;
    col.iSubItem = nSubItem;
  }
  return InsertColumn(nCol, &col);
}

BOOL CListCtrl::DeleteColumn(int nCol) {
  Impl& m = *m_impl;
  if (nCol < 0 || nCol >= GetColumnCount()) return FALSE;
  m.header->DeleteItem(nCol);
  m.columns.erase(m.columns.begin() + nCol);
  m.rows.EraseSubItem(nCol);
  Invalidate();
  return TRUE;
}

BOOL CListCtrl::GetColumn(int nCol, LVCOLUMN* p) const {
  const Impl& m = *m_impl;
  if (p == nullptr || nCol < 0 || nCol >= GetColumnCount()) return FALSE;
  if (p->mask & LVCF_FMT) p->fmt = m.columns[static_cast<size_t>(nCol)].fmt;
  if (p->mask & LVCF_WIDTH) p->cx = m.header->GetItemWidth(nCol);
  if (p->mask & LVCF_SUBITEM) p->iSubItem = m.columns[static_cast<size_t>(nCol)].subItem;
  if (p->mask & LVCF_IMAGE) p->iImage = m.header->GetItemImage(nCol);
  if (p->mask & LVCF_TEXT && p->pszText != nullptr && p->cchTextMax > 0) {
    const std::u16string t = m.header->GetItemText(nCol);
    const size_t n = std::min(t.size(), static_cast<size_t>(p->cchTextMax - 1));
    std::copy_n(t.begin(), n, p->pszText);
    p->pszText[n] = 0;
  }
  if (p->mask & LVCF_ORDER) {
    HDITEM hd{};
    hd.mask = HDI_ORDER;
    m.header->GetItem(nCol, &hd);
    p->iOrder = hd.iOrder;
  }
  return TRUE;
}

BOOL CListCtrl::SetColumn(int nCol, const LVCOLUMN* p) {
  Impl& m = *m_impl;
  if (p == nullptr || nCol < 0 || nCol >= GetColumnCount()) return FALSE;
  HDITEM hd{};
  std::u16string text;
  if (p->mask & LVCF_FMT) {
    int fmt = p->fmt;
    if (nCol == 0) fmt &= ~LVCFMT_JUSTIFYMASK;
    m.columns[static_cast<size_t>(nCol)].fmt = fmt;
    hd.mask |= HDI_FORMAT;
    hd.fmt = (m.header->GetItemFormat(nCol) & ~HDF_JUSTIFYMASK) | (fmt & LVCFMT_JUSTIFYMASK);
  }
  if (p->mask & LVCF_WIDTH) {
    hd.mask |= HDI_WIDTH;
    hd.cxy = p->cx;
  }
  if ((p->mask & LVCF_TEXT) && p->pszText) {
    text = p->pszText;
    hd.mask |= HDI_TEXT;
    hd.pszText = text.data();
  }
  if (p->mask & LVCF_IMAGE) {
    hd.mask |= HDI_IMAGE;
    hd.iImage = p->iImage;
  }
  if (p->mask & LVCF_SUBITEM) m.columns[static_cast<size_t>(nCol)].subItem = p->iSubItem;
  if (hd.mask != 0) m.header->SetItem(nCol, &hd);
  Invalidate();
  return TRUE;
}

int CListCtrl::GetColumnWidth(int nCol) const { return m_impl->header->GetItemWidth(nCol); }

BOOL CListCtrl::SetColumnWidth(int nCol, int cx) {
  if (nCol < 0 || nCol >= GetColumnCount()) return FALSE;
  if (cx == LVSCW_AUTOSIZE || cx == LVSCW_AUTOSIZE_USEHEADER) {
    LOGFONT lf;
    GetFont()->GetLogFont(&lf);
    int widest = 0;
    for (int i = 0; i < GetItemCount(); ++i) widest = std::max(widest, DaruTextWidth(GetItemText(i, nCol), lf));
    if (cx == LVSCW_AUTOSIZE_USEHEADER) widest = std::max(widest, DaruTextWidth(m_impl->header->GetItemText(nCol), lf));
    cx = widest + 12 + (nCol == 0 ? StateIconWidth() + SmallIconWidth() : 0);
  }
  HDITEM hd{};
  hd.mask = HDI_WIDTH;
  hd.cxy = cx;
  return m_impl->header->SetItem(nCol, &hd);
}

BOOL CListCtrl::GetColumnOrderArray(int* piArray, int iCount) const {
  return m_impl->header->GetOrderArray(piArray, iCount);
}

BOOL CListCtrl::SetColumnOrderArray(int iCount, const int* piArray) {
  BOOL ok = m_impl->header->SetOrderArray(iCount, piArray);
  Invalidate();
  return ok;
}

// ---- Rows ----

int CListCtrl::GetItemCount() const { return static_cast<int>(m_impl->rows.size()); }

int CListCtrl::InsertItem(const LVITEM* p) {
  Impl& m = *m_impl;
  if (p == nullptr || p->iSubItem != 0) return -1;
  const int idx = std::clamp(p->iItem, 0, GetItemCount());
  Row row;
  if (p->mask & LVIF_IMAGE) row.image = p->iImage;
  if (p->mask & LVIF_STATE) row.state = p->state & p->stateMask;
  if (p->mask & LVIF_PARAM) row.data = p->lParam;
  if (p->mask & LVIF_INDENT) row.indent = p->iIndent;
  if ((m.exStyle & LVS_EX_CHECKBOXES) && (row.state & LVIS_STATEIMAGEMASK) == 0) row.state |= INDEXTOSTATEIMAGEMASK(1);
  m.rows.Insert(static_cast<size_t>(idx), row);
  if ((p->mask & LVIF_TEXT) && p->pszText != nullptr) m.rows.SetText(*R(idx), 0, p->pszText);
  if (m.mark >= idx) ++m.mark;
  Invalidate();
  if (m_hWnd != nullptr) {
    NMLISTVIEW nm{};
    nm.iItem = idx;
    SendNotify(&nm.hdr, LVN_INSERTITEM);
  }
  return idx;
}

int CListCtrl::InsertItem(int nItem, const std::u16string& text) {
  return InsertItem(LVIF_TEXT, nItem, text, 0, 0, 0, 0);
}

int CListCtrl::InsertItem(int nItem, const std::u16string& text, int nImage) {
  return InsertItem(LVIF_TEXT | LVIF_IMAGE, nItem, text, 0, 0, nImage, 0);
}

int CListCtrl::InsertItem(UINT nMask, int nItem, const std::u16string& text, UINT nState, UINT nStateMask, int nImage,
                          LPARAM lParam) {
  std::u16string buf = text;
  LVITEM item{};
  item.mask = nMask;
  item.iItem = nItem;
  item.pszText = buf.data();
  item.state = nState;
  item.stateMask = nStateMask;
  item.iImage = nImage;
  item.lParam = lParam;
  return InsertItem(&item);
}

BOOL CListCtrl::DeleteItem(int nItem) {
  Impl& m = *m_impl;
  Row* r = R(nItem);
  if (r == nullptr) return FALSE;
  if (m_hWnd != nullptr) {
    NMLISTVIEW nm{};
    nm.iItem = nItem;
    nm.lParam = r->data;
    SendNotify(&nm.hdr, LVN_DELETEITEM);
    if (R(nItem) == nullptr) return FALSE;
  }
  m.rows.Erase(static_cast<size_t>(nItem));
  if (m.mark == nItem) {
    m.mark = -1;
  } else if (m.mark > nItem) {
    --m.mark;
  }
  if (m.pressItem == nItem) m.pressItem = -1;
  ClampTop();
  Invalidate();
  return TRUE;
}

BOOL CListCtrl::DeleteAllItems() {
  Impl& m = *m_impl;
  if (m_hWnd != nullptr && !m.rows.empty()) {
    NMLISTVIEW nm{};
    nm.iItem = -1;
    if (SendNotify(&nm.hdr, LVN_DELETEALLITEMS) == 0) {
      for (int i = 0; i < GetItemCount(); ++i) {
        NMLISTVIEW one{};
        one.iItem = i;
        one.lParam = m.rows[static_cast<size_t>(i)].data;
        SendNotify(&one.hdr, LVN_DELETEITEM);
      }
    }
  }
  m.rows.Clear();
  m.mark = -1;
  m.top = 0;
  m.pressItem = -1;
  Invalidate();
  return TRUE;
}

BOOL CListCtrl::GetItem(LVITEM* p) const {
  if (p == nullptr) return FALSE;
  Row* r = R(p->iItem);
  if (r == nullptr || p->iSubItem < 0) return FALSE;
  if ((p->mask & LVIF_TEXT) && p->pszText != nullptr && p->cchTextMax > 0) {
    const std::u16string t = GetItemText(p->iItem, p->iSubItem);
    const size_t n = std::min(t.size(), static_cast<size_t>(p->cchTextMax - 1));
    std::copy_n(t.begin(), n, p->pszText);
    p->pszText[n] = 0;
  }
  if (p->mask & LVIF_IMAGE) p->iImage = r->image;
  if (p->mask & LVIF_STATE) p->state = r->state & p->stateMask;
  if (p->mask & LVIF_PARAM) p->lParam = r->data;
  if (p->mask & LVIF_INDENT) p->iIndent = r->indent;
  return TRUE;
}

BOOL CListCtrl::SetItem(const LVITEM* p) {
  if (p == nullptr) return FALSE;
  Row* r = R(p->iItem);
  if (r == nullptr || p->iSubItem < 0) return FALSE;
  if (p->iSubItem > 0 && (p->mask & ~LVIF_TEXT) != 0) return FALSE;
  if ((p->mask & LVIF_TEXT) && p->pszText != nullptr && !m_impl->rows.SetText(*r, p->iSubItem, p->pszText))
    return FALSE;
  if (p->mask & LVIF_IMAGE) r->image = p->iImage;
  if (p->mask & LVIF_PARAM) r->data = p->lParam;
  if (p->mask & LVIF_INDENT) r->indent = p->iIndent;
  Invalidate();
  if (p->mask & LVIF_STATE) return ChangeState(p->iItem, p->state, p->stateMask);
  return TRUE;
}

BOOL CListCtrl::SetItem(int nItem, int nSubItem, UINT nMask, const std::u16string& text, int nImage, UINT nState,
                        UINT nStateMask, LPARAM lParam) {
  std::u16string buf = text;
  LVITEM item{};
  item.mask = nMask;
  item.iItem = nItem;
  item.iSubItem = nSubItem;
  item.pszText = buf.data();
  item.iImage = nImage;
  item.state = nState;
  item.stateMask = nStateMask;
  item.lParam = lParam;
  return SetItem(&item);
}

std::u16string CListCtrl::GetItemText(int nItem, int nSubItem) const {
  Row* r = R(nItem);
  if (r == nullptr) return std::u16string();
  return std::u16string(m_impl->rows.Text(*r, nSubItem));
}

int CListCtrl::GetItemText(int nItem, int nSubItem, char16_t* lpszText, int nLen) const {
  if (lpszText == nullptr || nLen <= 0) return 0;
  const std::u16string t = GetItemText(nItem, nSubItem);
  const size_t n = std::min(t.size(), static_cast<size_t>(nLen - 1));
  std::copy_n(t.begin(), n, lpszText);
  lpszText[n] = 0;
  return static_cast<int>(n);
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, const std::u16string& text) {
  return SetItem(nItem, nSubItem, LVIF_TEXT, text, 0, 0, 0, 0);
}

int CListCtrl::GetItemImage(int nItem) const {
  Row* r = R(nItem);
  return r ? r->image : -1;
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const {
  Row* r = R(nItem);
  return r ? static_cast<DWORD_PTR>(r->data) : 0;
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData) {
  Row* r = R(nItem);
  if (r == nullptr) return FALSE;
  r->data = static_cast<LPARAM>(dwData);
  return TRUE;
}

UINT CListCtrl::GetItemState(int nItem, UINT nMask) const {
  Row* r = R(nItem);
  return r ? (r->state & nMask) : 0;
}

BOOL CListCtrl::ChangeState(int nItem, UINT nState, UINT nMask) {
  Impl& m = *m_impl;
  Row* r = R(nItem);
  if (r == nullptr) return FALSE;
  const UINT old = r->state;
  const UINT wanted = (old & ~nMask) | (nState & nMask);
  if (wanted == old) return TRUE;
  const HWND self = m_hWnd;
  NMLISTVIEW nm{};
  nm.iItem = nItem;
  nm.uNewState = wanted;
  nm.uOldState = old;
  nm.uChanged = LVIF_STATE;
  nm.lParam = r->data;
  if (self != nullptr && SendNotify(&nm.hdr, LVN_ITEMCHANGING) != 0) return FALSE;
  // Only one row has the focus; a single-selection list has one selected row.
  if ((nMask & nState & LVIS_FOCUSED) && !(old & LVIS_FOCUSED)) {
    for (int i = 0; i < GetItemCount(); ++i)
      if (i != nItem && (m.rows[static_cast<size_t>(i)].state & LVIS_FOCUSED)) ChangeState(i, 0, LVIS_FOCUSED);
  }
  if ((GetStyle() & LVS_SINGLESEL) && (nMask & nState & LVIS_SELECTED) && !(old & LVIS_SELECTED)) {
    for (int i = 0; i < GetItemCount(); ++i)
      if (i != nItem && (m.rows[static_cast<size_t>(i)].state & LVIS_SELECTED)) ChangeState(i, 0, LVIS_SELECTED);
  }
  if ((r = R(nItem)) == nullptr) return FALSE;
  r->state = (r->state & ~nMask) | (nState & nMask);
  Invalidate();
  if (self != nullptr && IsWindow(self)) {
    nm.uNewState = r->state;
    SendNotify(&nm.hdr, LVN_ITEMCHANGED);
  }
  return TRUE;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
  if (nItem == -1) {
    BOOL ok = TRUE;
    for (int i = 0; i < GetItemCount(); ++i) ok = ChangeState(i, nState, nMask) && ok;
    return ok;
  }
  return ChangeState(nItem, nState, nMask);
}

BOOL CListCtrl::GetCheck(int nItem) const {
  return static_cast<BOOL>(GetItemState(nItem, LVIS_STATEIMAGEMASK) >> 12) - 1;
}

BOOL CListCtrl::SetCheck(int nItem, BOOL fCheck) {
  return SetItemState(nItem, INDEXTOSTATEIMAGEMASK(fCheck ? 2 : 1), LVIS_STATEIMAGEMASK);
}

int CListCtrl::GetNextItem(int nItem, int nFlags) const {
  const UINT flags = static_cast<UINT>(nFlags);
  const UINT want = flags & (LVNI_SELECTED | LVNI_FOCUSED);
  const int count = GetItemCount();
  if (flags & LVNI_ABOVE) {
    for (int i = (nItem < 0 ? count : nItem) - 1; i >= 0; --i)
      if ((m_impl->rows[static_cast<size_t>(i)].state & want) == want) return i;
    return -1;
  }
  for (int i = nItem < 0 ? 0 : nItem + 1; i < count; ++i)
    if ((m_impl->rows[static_cast<size_t>(i)].state & want) == want) return i;
  return -1;
}

UINT CListCtrl::GetSelectedCount() const {
  UINT n = 0;
  for (size_t i = 0; i < m_impl->rows.size(); ++i) n += (m_impl->rows[i].state & LVIS_SELECTED) != 0 ? 1 : 0;
  return n;
}

int CListCtrl::GetSelectionMark() const { return m_impl->mark; }

int CListCtrl::SetSelectionMark(int iIndex) {
  const int old = m_impl->mark;
  m_impl->mark = iIndex;
  return old;
}

BOOL CListCtrl::SortItems(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData) {
  if (pfnCompare == nullptr) return FALSE;
  m_impl->rows.StableSort(
      [&](const Row& a, const Row& b) { return pfnCompare(a.data, b.data, static_cast<LPARAM>(dwData)) < 0; });
  Invalidate();
  return TRUE;
}

BOOL CListCtrl::SortItemsEx(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData) {
  if (pfnCompare == nullptr) return FALSE;
  std::vector<int> order(m_impl->rows.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return pfnCompare(a, b, static_cast<LPARAM>(dwData)) < 0; });
  m_impl->rows.Permute(order);
  Invalidate();
  return TRUE;
}

// ---- Images ----

CImageList* CListCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
  Impl& m = *m_impl;
  CImageList** slot = nImageListType == LVSIL_SMALL ? &m.small : nImageListType == LVSIL_STATE ? &m.state : &m.normal;
  CImageList* old = *slot;
  *slot = pImageList;
  // The real control hands the small images to its header as well.
  if (nImageListType == LVSIL_SMALL && m.header->m_hWnd != nullptr) m.header->SetImageList(pImageList);
  ClampTop();
  Invalidate();
  return old;
}

CImageList* CListCtrl::GetImageList(int nImageListType) const {
  const Impl& m = *m_impl;
  return nImageListType == LVSIL_SMALL ? m.small : nImageListType == LVSIL_STATE ? m.state : m.normal;
}
