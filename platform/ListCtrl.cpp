#include "platform/ListCtrl.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "base/U16Format.h"
#include "platform/DC.h"
#include "platform/Gdi.h"
#include "platform/HeaderCtrl.h"
#include "platform/ImageList.h"

IMPLEMENT_DYNAMIC(CListCtrl, CWnd)

namespace {

constexpr int kMargin = 2;
constexpr int kStateIcon = 16;
constexpr int kDragDistance = 4;
constexpr int kLineScroll = 8;
constexpr int LVSCW_AUTOSIZE = -1;
constexpr int LVSCW_AUTOSIZE_USEHEADER = -2;

struct Column {
  int fmt = LVCFMT_LEFT;
  int subItem = 0;
};

}  // namespace

struct CListCtrl::Row {
  std::vector<std::u16string> texts;
  int image = 0;
  UINT state = 0;
  LPARAM data = 0;
  int indent = 0;
  int redraws = 0;
};

struct CListCtrl::Impl {
  std::vector<std::unique_ptr<Row>> rows;
  std::vector<Column> columns;          // parallel to the header items
  std::unique_ptr<CHeaderCtrl> header;  // owned; the header child window
  DWORD exStyle = 0;
  COLORREF bk = GetSysColor(COLOR_WINDOW);
  COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
  COLORREF textBk = CLR_DEFAULT;
  CImageList* normal = nullptr;             // borrowed
  CImageList* small = nullptr;              // borrowed
  CImageList* state = nullptr;              // borrowed, or checkImages
  std::unique_ptr<CImageList> checkImages;  // owned; the check boxes of LVS_EX_CHECKBOXES
  int top = 0;
  int scrollX = 0;
  int mark = -1;
  bool leftDown = false;
  bool dragArmed = false;
  int pressItem = -1;
  int pressSub = 0;
  CPoint pressPoint;
};

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
  return m_impl->rows[static_cast<size_t>(nItem)].get();
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
    for (auto& row : m.rows)
      if ((row->state & LVIS_STATEIMAGEMASK) == 0) row->state |= INDEXTOSTATEIMAGEMASK(1);
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
  for (auto& row : m.rows)
    if (static_cast<int>(row->texts.size()) > idx) row->texts.insert(row->texts.begin() + idx, std::u16string());
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
  for (auto& row : m.rows)
    if (static_cast<int>(row->texts.size()) > nCol) row->texts.erase(row->texts.begin() + nCol);
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
  auto row = std::make_unique<Row>();
  row->texts.resize(1);
  if ((p->mask & LVIF_TEXT) && p->pszText != nullptr) row->texts[0] = p->pszText;
  if (p->mask & LVIF_IMAGE) row->image = p->iImage;
  if (p->mask & LVIF_STATE) row->state = p->state & p->stateMask;
  if (p->mask & LVIF_PARAM) row->data = p->lParam;
  if (p->mask & LVIF_INDENT) row->indent = p->iIndent;
  if ((m.exStyle & LVS_EX_CHECKBOXES) && (row->state & LVIS_STATEIMAGEMASK) == 0)
    row->state |= INDEXTOSTATEIMAGEMASK(1);
  m.rows.insert(m.rows.begin() + idx, std::move(row));
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
  m.rows.erase(m.rows.begin() + nItem);
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
        one.lParam = m.rows[static_cast<size_t>(i)]->data;
        SendNotify(&one.hdr, LVN_DELETEITEM);
      }
    }
  }
  m.rows.clear();
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
  if ((p->mask & LVIF_TEXT) && p->pszText != nullptr) {
    if (static_cast<int>(r->texts.size()) <= p->iSubItem) r->texts.resize(static_cast<size_t>(p->iSubItem) + 1);
    r->texts[static_cast<size_t>(p->iSubItem)] = p->pszText;
  }
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
  if (r == nullptr || nSubItem < 0 || nSubItem >= static_cast<int>(r->texts.size())) return std::u16string();
  return r->texts[static_cast<size_t>(nSubItem)];
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
      if (i != nItem && (m.rows[static_cast<size_t>(i)]->state & LVIS_FOCUSED)) ChangeState(i, 0, LVIS_FOCUSED);
  }
  if ((GetStyle() & LVS_SINGLESEL) && (nMask & nState & LVIS_SELECTED) && !(old & LVIS_SELECTED)) {
    for (int i = 0; i < GetItemCount(); ++i)
      if (i != nItem && (m.rows[static_cast<size_t>(i)]->state & LVIS_SELECTED)) ChangeState(i, 0, LVIS_SELECTED);
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
      if ((m_impl->rows[static_cast<size_t>(i)]->state & want) == want) return i;
    return -1;
  }
  for (int i = nItem < 0 ? 0 : nItem + 1; i < count; ++i)
    if ((m_impl->rows[static_cast<size_t>(i)]->state & want) == want) return i;
  return -1;
}

UINT CListCtrl::GetSelectedCount() const {
  return static_cast<UINT>(std::count_if(m_impl->rows.begin(), m_impl->rows.end(),
                                         [](const auto& r) { return (r->state & LVIS_SELECTED) != 0; }));
}

int CListCtrl::GetSelectionMark() const { return m_impl->mark; }

int CListCtrl::SetSelectionMark(int iIndex) {
  const int old = m_impl->mark;
  m_impl->mark = iIndex;
  return old;
}

BOOL CListCtrl::SortItems(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData) {
  if (pfnCompare == nullptr) return FALSE;
  std::stable_sort(m_impl->rows.begin(), m_impl->rows.end(), [&](const auto& a, const auto& b) {
    return pfnCompare(a->data, b->data, static_cast<LPARAM>(dwData)) < 0;
  });
  Invalidate();
  return TRUE;
}

BOOL CListCtrl::SortItemsEx(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData) {
  if (pfnCompare == nullptr) return FALSE;
  std::vector<int> order(m_impl->rows.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return pfnCompare(a, b, static_cast<LPARAM>(dwData)) < 0; });
  std::vector<std::unique_ptr<Row>> sorted;
  sorted.reserve(order.size());
  for (int i : order) sorted.push_back(std::move(m_impl->rows[static_cast<size_t>(i)]));
  m_impl->rows = std::move(sorted);
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

// ---- Redrawing ----

BOOL CListCtrl::RedrawItems(int nFirst, int nLast) {
  const int first = std::max(0, nFirst);
  const int last = std::min(nLast, GetItemCount() - 1);
  for (int i = first; i <= last; ++i) ++m_impl->rows[static_cast<size_t>(i)]->redraws;
  if (first <= last) Invalidate();
  return TRUE;
}

BOOL CListCtrl::Update(int nItem) {
  Row* r = R(nItem);
  if (r == nullptr) return FALSE;
  ++r->redraws;
  Invalidate();
  return TRUE;
}

int CListCtrl::GetItemRedrawCount(int nItem) const {
  Row* r = R(nItem);
  return r ? r->redraws : 0;
}

void CListCtrl::ResetRedrawCounts() {
  for (auto& r : m_impl->rows) r->redraws = 0;
}

void CListCtrl::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_DRAWITEM) {
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    if (pResult != nullptr) *pResult = TRUE;
    return TRUE;
  }
  return CWnd::OnChildNotify(message, wParam, lParam, pResult);
}

// ---- Default processing ----

void CListCtrl::SelectOnly(int nItem) {
  for (int i = 0; i < GetItemCount(); ++i)
    if (i != nItem && GetItemState(i, LVIS_SELECTED)) ChangeState(i, 0, LVIS_SELECTED);
  if (R(nItem) != nullptr) {
    ChangeState(nItem, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_impl->mark = nItem;
  }
}

LRESULT CListCtrl::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  Impl& m = *m_impl;
  const HWND self = m_hWnd;
  switch (message) {
    case WM_CREATE: {
      CRect client;
      GetClientRect(&client);
      const DWORD visible = GetHeaderHeight() > 0 ? WS_VISIBLE : 0;
      m.header->Create(WS_CHILD | visible | HDS_BUTTONS, CRect(0, 0, client.Width(), GetHeaderHeight()), this, 0);
      return 0;
    }
    case WM_SIZE:
      LayoutHeader();
      ClampTop();
      return 0;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND: {
      if (CDC* dc = CDC::FromHandle(reinterpret_cast<HDC>(wParam))) {
        CRect client;
        GetClientRect(&client);
        client.top = GetHeaderHeight();
        dc->FillSolidRect(&client, m.bk);
      }
      return 1;
    }
    case WM_NOTIFY: {
      auto* nm = reinterpret_cast<NMHDR*>(lParam);
      if (nm == nullptr || nm->hwndFrom != m.header->m_hWnd) return 0;
      if (nm->code == HDN_ITEMCLICKW || nm->code == HDN_ITEMCLICKA) {
        auto* hn = reinterpret_cast<NMHEADER*>(lParam);
        NMLISTVIEW lv{};
        lv.iItem = -1;
        lv.iSubItem = hn->iItem;
        SendNotify(&lv.hdr, LVN_COLUMNCLICK);
      } else if (nm->code == HDN_ITEMCHANGEDW || nm->code == HDN_ITEMCHANGEDA || nm->code == HDN_ENDTRACKW ||
                 nm->code == HDN_ENDTRACKA) {
        Invalidate();
      }
      return 0;
    }
    case WM_LBUTTONDOWN: {
      SetFocus();
      if (!IsWindow(self)) return 0;
      LVHITTESTINFO hit{};
      hit.pt = CPoint(lParam);
      SubItemHitTest(&hit);
      m.leftDown = true;
      m.pressItem = hit.iItem;
      m.pressSub = hit.iSubItem;
      m.pressPoint = CPoint(lParam);
      m.dragArmed = hit.iItem >= 0;
      if (hit.iItem >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) && (m.exStyle & LVS_EX_CHECKBOXES)) {
        SetCheck(hit.iItem, GetCheck(hit.iItem) == 1 ? FALSE : TRUE);
        m.dragArmed = false;
        return 0;
      }
      if (hit.iItem >= 0) {
        if (wParam & MK_CONTROL) {
          ChangeState(hit.iItem, GetItemState(hit.iItem, LVIS_SELECTED) ? LVIS_FOCUSED : LVIS_SELECTED | LVIS_FOCUSED,
                      LVIS_SELECTED | LVIS_FOCUSED);
          m.mark = hit.iItem;
        } else if ((wParam & MK_SHIFT) && m.mark >= 0) {
          const int lo = std::min(m.mark, hit.iItem), hi = std::max(m.mark, hit.iItem);
          for (int i = 0; i < GetItemCount(); ++i)
            ChangeState(i, (i >= lo && i <= hi) ? LVIS_SELECTED : 0, LVIS_SELECTED);
          ChangeState(hit.iItem, LVIS_FOCUSED, LVIS_FOCUSED);
        } else {
          SelectOnly(hit.iItem);
        }
      } else if (!(wParam & MK_CONTROL)) {
        SetItemState(-1, 0, LVIS_SELECTED);
      }
      return 0;
    }
    case WM_MOUSEMOVE: {
      const CPoint pt(lParam);
      if (m.leftDown && m.dragArmed && (wParam & MK_LBUTTON) &&
          (std::abs(pt.x - m.pressPoint.x) > kDragDistance || std::abs(pt.y - m.pressPoint.y) > kDragDistance)) {
        m.dragArmed = false;
        m.leftDown = false;
        NMLISTVIEW nm{};
        nm.iItem = m.pressItem;
        nm.iSubItem = m.pressSub;
        nm.ptAction = m.pressPoint;
        SendNotify(&nm.hdr, LVN_BEGINDRAG);
      }
      return 0;
    }
    case WM_LBUTTONUP: {
      if (!m.leftDown) return 0;
      m.leftDown = false;
      m.dragArmed = false;
      NMITEMACTIVATE nm{};
      nm.iItem = m.pressItem;
      nm.iSubItem = m.pressSub;
      nm.ptAction = CPoint(lParam);
      nm.uKeyFlags = ((wParam & MK_CONTROL) ? LVKF_CONTROL : 0) | ((wParam & MK_SHIFT) ? LVKF_SHIFT : 0);
      SendNotify(&nm.hdr, NM_CLICK);
      return 0;
    }
    case WM_LBUTTONDBLCLK: {
      LVHITTESTINFO hit{};
      hit.pt = CPoint(lParam);
      SubItemHitTest(&hit);
      m.leftDown = true;
      m.dragArmed = false;
      m.pressItem = hit.iItem;
      m.pressSub = hit.iSubItem;
      NMITEMACTIVATE nm{};
      nm.iItem = hit.iItem;
      nm.iSubItem = hit.iSubItem;
      nm.ptAction = hit.pt;
      SendNotify(&nm.hdr, NM_DBLCLK);
      if (hit.iItem >= 0 && IsWindow(self)) {
        NMITEMACTIVATE act = nm;
        SendNotify(&act.hdr, LVN_ITEMACTIVATE);
      }
      return 0;
    }
    case WM_RBUTTONDOWN: {
      SetFocus();
      if (!IsWindow(self)) return 0;
      const int item = HitTest(CPoint(lParam));
      if (item >= 0 && !GetItemState(item, LVIS_SELECTED)) {
        SelectOnly(item);
      } else if (item < 0) {
        SetItemState(-1, 0, LVIS_SELECTED);
      }
      return 0;
    }
    case WM_RBUTTONUP: {
      LVHITTESTINFO hit{};
      hit.pt = CPoint(lParam);
      SubItemHitTest(&hit);
      NMITEMACTIVATE nm{};
      nm.iItem = hit.iItem;
      nm.iSubItem = hit.iSubItem;
      nm.ptAction = hit.pt;
      if (SendNotify(&nm.hdr, NM_RCLICK) == 0 && IsWindow(self)) {
        CPoint screen(lParam);
        ClientToScreen(&screen);
        SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(self), MAKELPARAM(screen.x, screen.y));
      }
      return 0;
    }
    case WM_KEYDOWN: {
      const int focus = GetNextItem(-1, LVNI_FOCUSED);
      int target = -1;
      if (wParam == VK_DOWN) target = std::min(GetItemCount() - 1, focus + 1);
      if (wParam == VK_UP) target = focus <= 0 ? 0 : focus - 1;
      if (wParam == VK_HOME) target = 0;
      if (wParam == VK_END) target = GetItemCount() - 1;
      if (target >= 0 && target < GetItemCount()) {
        SelectOnly(target);
        EnsureVisible(target, FALSE);
      }
      if (wParam == VK_SPACE && focus >= 0 && (m.exStyle & LVS_EX_CHECKBOXES))
        SetCheck(focus, GetCheck(focus) == 1 ? FALSE : TRUE);
      return 0;
    }
    case WM_VSCROLL: {
      const int page = std::max(1, GetCountPerPage());
      switch (LOWORD(wParam)) {
        case SB_LINEUP:
          --m.top;
          break;
        case SB_LINEDOWN:
          ++m.top;
          break;
        case SB_PAGEUP:
          m.top -= page;
          break;
        case SB_PAGEDOWN:
          m.top += page;
          break;
        case SB_TOP:
          m.top = 0;
          break;
        case SB_BOTTOM:
          m.top = GetItemCount();
          break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
          m.top = HIWORD(wParam);
          break;
        default:
          break;
      }
      ClampTop();
      Invalidate();
      return 0;
    }
    case WM_HSCROLL: {
      CRect client;
      GetClientRect(&client);
      int dx = 0;
      switch (LOWORD(wParam)) {
        case SB_LINELEFT:
          dx = -kLineScroll;
          break;
        case SB_LINERIGHT:
          dx = kLineScroll;
          break;
        case SB_PAGELEFT:
          dx = -client.Width();
          break;
        case SB_PAGERIGHT:
          dx = client.Width();
          break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
          dx = HIWORD(wParam) - m.scrollX;
          break;
        default:
          break;
      }
      Scroll(CSize(dx, 0));
      return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      return 0;
    case LVM_SETSELECTIONMARK:
      return SetSelectionMark(static_cast<int>(lParam));
    case LVM_GETSELECTIONMARK:
      return GetSelectionMark();
    default:
      return CWnd::DefWindowProc(message, wParam, lParam);
  }
}

void CListCtrl::Paint() {
  CPaintDC dc(this);
  dc.SelectObject(GetFont());
  CRect client;
  GetClientRect(&client);
  const int h = GetRowHeight();
  const int first = m_impl->top;
  const int rows = (client.Height() - GetHeaderHeight() + h - 1) / h;
  const int last = std::min(GetItemCount(), first + std::max(0, rows)) - 1;
  if (!(GetStyle() & LVS_OWNERDRAWFIXED)) {
    PaintCustom(dc, first, last);
    return;
  }
  const HWND self = m_hWnd;
  const bool focused = ::GetFocus() == self;
  for (int i = first; i <= last; ++i) {
    Row* r = R(i);
    if (r == nullptr) break;
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_LISTVIEW;
    dis.CtlID = static_cast<UINT>(GetDlgCtrlID());
    dis.itemID = static_cast<UINT>(i);
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState =
        ((r->state & LVIS_SELECTED) ? ODS_SELECTED : 0) | ((r->state & LVIS_FOCUSED) && focused ? ODS_FOCUS : 0);
    dis.hwndItem = self;
    dis.hDC = dc.m_hDC;
    CRect bounds;
    GetItemRect(i, &bounds, LVIR_BOUNDS);
    dis.rcItem = bounds;
    dis.itemData = static_cast<ULONG_PTR>(r->data);
    const int saved = dc.SaveDC();
    if (CWnd* parent = GetParent()) {
      parent->SendMessage(WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
    } else {
      LRESULT result = 0;
      OnChildNotify(WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis), &result);
    }
    if (!IsWindow(self)) return;
    dc.RestoreDC(saved);
  }
}

void CListCtrl::PaintCustom(CDC& dc, int first, int last) {
  Impl& m = *m_impl;
  const HWND self = m_hWnd;
  CRect client;
  GetClientRect(&client);
  NMLVCUSTOMDRAW pre{};
  pre.nmcd.dwDrawStage = CDDS_PREPAINT;
  pre.nmcd.hdc = dc.m_hDC;
  pre.nmcd.rc = client;
  const LRESULT preResult = SendNotify(&pre.nmcd.hdr, NM_CUSTOMDRAW);
  if ((preResult & CDRF_SKIPDEFAULT) || !IsWindow(self)) return;
  const bool focused = ::GetFocus() == self;
  const bool fullRow = (m.exStyle & LVS_EX_FULLROWSELECT) != 0;
  const bool showAlways = (GetStyle() & LVS_SHOWSELALWAYS) != 0;
  const COLORREF defaultBk = m.textBk == CLR_DEFAULT ? m.bk : m.textBk;
  for (int i = first; i <= last; ++i) {
    Row* r = R(i);
    if (r == nullptr) break;
    const bool selected = (r->state & LVIS_SELECTED) != 0;
    CRect bounds, label;
    GetItemRect(i, &bounds, LVIR_BOUNDS);
    GetItemRect(i, &label, LVIR_LABEL);
    COLORREF itemText = m.text, itemBk = defaultBk;
    LRESULT itemResult = 0;
    const int saved = dc.SaveDC();
    if (preResult & CDRF_NOTIFYITEMDRAW) {
      NMLVCUSTOMDRAW cd{};
      cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
      cd.nmcd.hdc = dc.m_hDC;
      cd.nmcd.rc = bounds;
      cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(i);
      cd.nmcd.uItemState = (selected ? CDIS_SELECTED : 0) | ((r->state & LVIS_FOCUSED) && focused ? CDIS_FOCUS : 0);
      cd.nmcd.lItemlParam = r->data;
      cd.clrText = itemText;
      cd.clrTextBk = itemBk;
      itemResult = SendNotify(&cd.nmcd.hdr, NM_CUSTOMDRAW);
      if (!IsWindow(self) || (r = R(i)) == nullptr) return;
      itemText = cd.clrText;
      itemBk = cd.clrTextBk;
    }
    if (!(itemResult & CDRF_SKIPDEFAULT)) {
      for (int order = 0; order < GetColumnCount(); ++order) {
        const int c = m.header->OrderToIndex(order);
        CRect cell(ColumnLeft(c), bounds.top, ColumnLeft(c) + GetColumnWidth(c), bounds.bottom);
        COLORREF text = itemText, bk = itemBk;
        if (selected && (c == 0 || fullRow)) {
          if (focused) {
            bk = GetSysColor(COLOR_HIGHLIGHT);
            text = GetSysColor(COLOR_HIGHLIGHTTEXT);
          } else if (showAlways) {
            bk = GetSysColor(COLOR_BTNFACE);
          }
        }
        LRESULT subResult = 0;
        if (itemResult & CDRF_NOTIFYSUBITEMDRAW) {
          NMLVCUSTOMDRAW cd{};
          cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
          cd.nmcd.hdc = dc.m_hDC;
          cd.nmcd.rc = cell;
          cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(i);
          cd.nmcd.uItemState = selected ? CDIS_SELECTED : 0;
          cd.nmcd.lItemlParam = r->data;
          cd.clrText = text;
          cd.clrTextBk = bk;
          cd.iSubItem = c;
          subResult = SendNotify(&cd.nmcd.hdr, NM_CUSTOMDRAW);
          if (!IsWindow(self) || (r = R(i)) == nullptr) return;
          text = cd.clrText;
          bk = cd.clrTextBk;
        }
        if (!(subResult & CDRF_SKIPDEFAULT)) {
          if (bk != CLR_NONE && bk != CLR_DEFAULT) dc.FillSolidRect(&cell, bk);
          CRect textRect = cell;
          textRect.DeflateRect(6, 0);
          if (c == 0) {
            const int stateImage = static_cast<int>((r->state & LVIS_STATEIMAGEMASK) >> 12);
            CRect icon;
            GetItemRect(i, &icon, LVIR_ICON);
            if (m.state != nullptr && stateImage > 0)
              m.state->Draw(&dc, stateImage - 1, CPoint(icon.left - StateIconWidth(), icon.top), ILD_NORMAL);
            if (m.small != nullptr && r->image >= 0)
              m.small->Draw(&dc, r->image, CPoint(icon.left, icon.top),
                            selected && focused ? ILD_SELECTED : ILD_NORMAL);
            textRect = label;
            textRect.DeflateRect(kMargin, 0);
          }
          UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
          const int align = m.columns[static_cast<size_t>(c)].fmt & LVCFMT_JUSTIFYMASK;
          if (c != 0 && align == LVCFMT_RIGHT) format |= DT_RIGHT;
          if (c != 0 && align == LVCFMT_CENTER) format |= DT_CENTER;
          dc.SetTextColor(text);
          dc.SetBkColor(bk);
          dc.SetBkMode(TRANSPARENT);
          dc.DrawText(GetItemText(i, c), &textRect, format);
        }
        if (subResult & CDRF_NOTIFYPOSTPAINT) {
          NMLVCUSTOMDRAW cd{};
          cd.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT | CDDS_SUBITEM;
          cd.nmcd.hdc = dc.m_hDC;
          cd.nmcd.rc = cell;
          cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(i);
          cd.nmcd.uItemState = selected ? CDIS_SELECTED : 0;
          cd.nmcd.lItemlParam = r->data;
          cd.iSubItem = c;
          SendNotify(&cd.nmcd.hdr, NM_CUSTOMDRAW);
          if (!IsWindow(self) || (r = R(i)) == nullptr) return;
        }
      }
      if ((r->state & LVIS_FOCUSED) && focused) dc.DrawFocusRect(fullRow ? &bounds : &label);
    }
    if (itemResult & CDRF_NOTIFYPOSTPAINT) {
      NMLVCUSTOMDRAW cd{};
      cd.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT;
      cd.nmcd.hdc = dc.m_hDC;
      cd.nmcd.rc = bounds;
      cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(i);
      cd.nmcd.lItemlParam = r->data;
      SendNotify(&cd.nmcd.hdr, NM_CUSTOMDRAW);
      if (!IsWindow(self)) return;
    }
    dc.RestoreDC(saved);
  }
  if (preResult & CDRF_NOTIFYPOSTPAINT) {
    NMLVCUSTOMDRAW post{};
    post.nmcd.dwDrawStage = CDDS_POSTPAINT;
    post.nmcd.hdc = dc.m_hDC;
    post.nmcd.rc = client;
    SendNotify(&post.nmcd.hdr, NM_CUSTOMDRAW);
  }
}

void CListCtrl::DescribeContent(std::vector<std::u16string>& lines) const {
  const Impl& m = *m_impl;
  std::u16string style = u"report";
  if (GetStyle() & LVS_OWNERDRAWFIXED) style += u", owner-drawn";
  if (GetStyle() & LVS_SHOWSELALWAYS) style += u", show selection always";
  if (GetStyle() & LVS_SINGLESEL) style += u", single selection";
  if (m.exStyle & LVS_EX_FULLROWSELECT) style += u", full-row select";
  if (m.exStyle & LVS_EX_CHECKBOXES) style += u", check boxes";
  lines.push_back(Fmt(u"(%s; %d rows, top row %d, selection mark %d)", style, GetItemCount(), m.top, m.mark));
  for (int i = 0; i < GetItemCount(); ++i) {
    const Row& r = *m.rows[static_cast<size_t>(i)];
    std::u16string line = Fmt(u"row %d:", i);
    for (int c = 0; c < std::max(1, GetColumnCount()); ++c) line += (c ? u" | " : u" ") + GetItemText(i, c);
    std::u16string flags;
    auto add = [&flags](const std::u16string& f) { flags += (flags.empty() ? u"" : u", ") + f; };
    if (r.state & LVIS_SELECTED) add(u"selected");
    if (r.state & LVIS_FOCUSED) add(u"focused");
    const UINT stateImage = (r.state & LVIS_STATEIMAGEMASK) >> 12;
    if ((m.exStyle & LVS_EX_CHECKBOXES) && stateImage == 2) add(u"checked");
    add(Fmt(u"image %d", r.image));
    if (r.data != 0) add(Fmt(u"data %lx", static_cast<unsigned long>(r.data)));
    lines.push_back(line + u"  {" + flags + u"}");
  }
}
