#include "ui/list/ListCtrlEx.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/DC.h"
#include "platform/HeaderCtrl.h"
#include "res/ResourceIds.h"

namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kEvenRow = 0xFFFFFF;
constexpr COLORREF kOddRow = 0xFAFAFA;
constexpr COLORREF kSilver = 0xC0C0C0;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr int kTextBufferStart = 256;

int TextWidth(CDC* pDC, const std::u16string& text) { return pDC->GetTextExtent(text).cx; }

}  // namespace

// ---- Construction ----

CListBase::CListBase(CListCtrl* pListCtrl)
    : m_pListCtrl(pListCtrl), m_keyTag((reinterpret_cast<DWORD_PTR>(this) >> 4) & 0xFFFF) {
  CreateHeaderImages();
}

CListBase::~CListBase() = default;

// The arrows are drawn in the grey-text colour: black in the bitmaps becomes it.
void CListBase::CreateHeaderImages() {
  m_headerImages.DeleteImageList();
  m_upArrow.DeleteObject();
  m_downArrow.DeleteObject();
  m_upImage = m_downImage = -1;
  if (!m_headerImages.Create(9, 5, ILC_COLOR24 | ILC_MASK, 2, 0)) return;
  COLORMAP map{RGB(0, 0, 0), GetSysColor(COLOR_GRAYTEXT)};
  if (m_upArrow.LoadMappedBitmap(IDB_SORT_UP, 0, &map, 1)) m_upImage = m_headerImages.Add(&m_upArrow, kMagenta);
  if (m_downArrow.LoadMappedBitmap(IDB_SORT_DOWN, 0, &map, 1)) m_downImage = m_headerImages.Add(&m_downArrow, kMagenta);
}

// ---- Rows ----

CListRowRecord* CListBase::ValidRecord(DWORD_PTR data) const {
  const size_t slot = static_cast<size_t>(data >> 16);
  if ((data & 0xFFFF) != m_keyTag || slot >= m_slotsUsed || !Slot(slot)) return nullptr;
  return &*Slot(slot);
}

void CListBase::Discard(DWORD_PTR key) {
  if (ValidRecord(key) == nullptr) return;
  const size_t slot = static_cast<size_t>(key >> 16);
  Slot(slot).reset();
  m_freeSlots.push_back(slot);
}

CListRowRecord* CListBase::GetRowRecord(int nItem) const {
  if (nItem < 0 || nItem >= m_pListCtrl->GetItemCount()) return nullptr;
  return ValidRecord(m_pListCtrl->CListCtrl::GetItemData(nItem));
}

int CListBase::InsertItem(int nItem, const std::u16string& text, int nImage) {
  if (nItem < 0 || nItem > m_pListCtrl->GetItemCount()) return -1;
  size_t slot = m_slotsUsed;
  if (!m_freeSlots.empty()) {
    slot = m_freeSlots.back();
    m_freeSlots.pop_back();
  } else {
    if (slot / kChunk == m_recordChunks.size())
      m_recordChunks.push_back(std::make_unique<std::optional<CListRowRecord>[]>(kChunk));
    ++m_slotsUsed;
  }
  Slot(slot).emplace();
  const int index = m_pListCtrl->CListCtrl::InsertItem(LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM, nItem, text, 0, 0, nImage,
                                                       static_cast<LPARAM>(KeyOf(slot)));
  if (index < 0) {
    Discard(KeyOf(slot));
    return -1;
  }
  Slot(slot)->index = index;
  return index;
}

BOOL CListBase::SetItemData(int nItem, DWORD_PTR dwData) {
  CListRowRecord* record = GetRowRecord(nItem);
  if (record == nullptr) return FALSE;
  record->article = reinterpret_cast<CArticle*>(dwData);
  return TRUE;
}

DWORD_PTR CListBase::GetItemData(int nItem) const { return reinterpret_cast<DWORD_PTR>(GetItemArticle(nItem)); }

CArticle* CListBase::GetItemArticle(int nItem) const {
  const CListRowRecord* record = GetRowRecord(nItem);
  return record != nullptr ? record->article : nullptr;
}

void CListBase::SetItemBold(int nItem, BOOL bBold) {
  CListRowRecord* record = GetRowRecord(nItem);
  const int value = bBold ? 1 : 0;
  if (record == nullptr || record->bold == value) return;
  record->bold = value;
  m_pListCtrl->RedrawItems(nItem, nItem);
}

void CListBase::SetItemRed(int nItem, BOOL bRed) {
  CListRowRecord* record = GetRowRecord(nItem);
  const int value = bRed ? 1 : 0;
  if (record == nullptr || record->red == value) return;
  record->red = value;
  m_pListCtrl->RedrawItems(nItem, nItem);
}

BOOL CListBase::GetItemBold(int nItem) const {
  const CListRowRecord* record = GetRowRecord(nItem);
  return record != nullptr && record->bold != 0;
}

BOOL CListBase::GetItemRed(int nItem) const {
  const CListRowRecord* record = GetRowRecord(nItem);
  return record != nullptr && record->red != 0;
}

// The record travels with its row, so discarding it never searches.
BOOL CListBase::DeleteItem(int nItem) {
  if (nItem < 0 || nItem >= m_pListCtrl->GetItemCount()) return FALSE;
  const DWORD_PTR key = m_pListCtrl->CListCtrl::GetItemData(nItem);
  // The row goes first: its deletion notice still names a live record.
  if (!m_pListCtrl->CListCtrl::DeleteItem(nItem)) return FALSE;
  Discard(key);
  return TRUE;
}

BOOL CListBase::DeleteAllItems() {
  const BOOL ok = m_pListCtrl->CListCtrl::DeleteAllItems();
  // Every record belongs to a row of this list, and no row is left. The
  // chunks go whole: a record's destruction does nothing, so none is visited.
  m_recordChunks.clear();
  m_slotsUsed = 0;
  m_freeSlots.clear();
  return ok;
}

// ---- Columns, images, sort indicator ----

int CListBase::InsertColumn(int nCol, const std::u16string& columnHeading, int nFormat, int nWidth, int nSubItem) {
  if (nCol == 0) m_firstColumnFormat = nFormat;
  const int index = m_pListCtrl->CListCtrl::InsertColumn(nCol, columnHeading, nFormat, nWidth, nSubItem);
  CHeaderCtrl* header = m_pListCtrl->GetHeaderCtrl();
  // An owner-drawn or full-row list draws column 0 itself, so its header may
  // show the alignment the column was given.
  if (index == 0 && header != nullptr &&
      ((m_pListCtrl->GetStyle() & LVS_OWNERDRAWFIXED) || (m_pListCtrl->GetExtendedStyle() & LVS_EX_FULLROWSELECT))) {
    HDITEM item{};
    item.mask = HDI_FORMAT;
    header->GetItem(0, &item);
    item.fmt = (item.fmt & ~HDF_JUSTIFYMASK) | (nFormat & HDF_JUSTIFYMASK);
    header->SetItem(0, &item);
  }
  // A column inserted after the indicator was set shows the arrow at once.
  if (index >= 0 && m_sortIndicatorOn) RefreshHeader();
  return index;
}

CImageList* CListBase::SetImageList(CImageList* pImageList, int nImageListType) {
  CImageList* previous = m_pListCtrl->CListCtrl::SetImageList(pImageList, nImageListType);
  // Setting the small images hands them to the header too; it keeps the arrows.
  if (nImageListType == LVSIL_SMALL)
    if (CHeaderCtrl* header = m_pListCtrl->GetHeaderCtrl()) header->SetImageList(&m_headerImages);
  return previous;
}

void CListBase::SetSortIndicator(BOOL bOn, int nIndicator) {
  m_sortIndicator = nIndicator;
  m_sortIndicatorOn = bOn != FALSE;
  if (CHeaderCtrl* header = m_pListCtrl->GetHeaderCtrl()) header->SetImageList(&m_headerImages);
  RefreshHeader();
}

void CListBase::SetSortColumnColour(BOOL bOn) {
  const bool on = bOn != FALSE;
  if (on != m_columnColourOn) m_columnColourOn = on;
  if (on) m_columnColour = m_pListCtrl->GetBkColor() & 0xFFFFFF;
}

void CListBase::RefreshHeader() {
  CHeaderCtrl* header = m_pListCtrl->GetHeaderCtrl();
  if (header == nullptr) return;
  for (int i = 0; i < header->GetItemCount(); ++i) {
    HDITEM item{};
    item.mask = HDI_FORMAT;
    header->GetItem(i, &item);
    const int alignment = item.fmt & HDF_JUSTIFYMASK;
    if (m_sortIndicatorOn && (m_sortIndicator == i + 1 || m_sortIndicator == -(i + 1))) {
      item.mask |= HDI_IMAGE;
      item.fmt = alignment | HDF_STRING | HDF_IMAGE | HDF_BITMAP_ON_RIGHT;
      item.iImage = m_sortIndicator > 0 ? m_upImage : m_downImage;
    } else {
      item.fmt = alignment | HDF_STRING;
    }
    header->SetItem(i, &item);
  }
}

// ---- Text ----

std::u16string CListBase::FitText(CDC* pDC, const std::u16string& text, int width) {
  if (text.empty() || TextWidth(pDC, text) <= width) return text;
  const std::u16string dots = u"...";
  const int dotsWidth = TextWidth(pDC, dots);
  // The longest prefix that fits; prefix widths only grow, so a binary search finds it.
  size_t lo = 1, hi = text.size() - 1, best = 0;
  while (lo <= hi) {
    const size_t k = lo + (hi - lo) / 2;
    if (TextWidth(pDC, text.substr(0, k)) + dotsWidth <= width) {
      best = k;
      lo = k + 1;
    } else {
      hi = k - 1;
    }
  }
  if (best > 0) return text.substr(0, best) + dots;
  const std::u16string first = text.substr(0, 1);
  for (int d = 2; d >= 1; --d) {
    const std::u16string some(static_cast<size_t>(d), u'.');
    if (TextWidth(pDC, some) + TextWidth(pDC, first) <= width) return first + some;
  }
  return first;
}

std::u16string CListBase::FetchItemText(int nItem, int nSubItem) const {
  std::vector<char16_t> buffer(kTextBufferStart);
  for (;;) {
    const int size = static_cast<int>(buffer.size());
    const int copied = m_pListCtrl->GetItemText(nItem, nSubItem, buffer.data(), size);
    if (copied < size - 3) return std::u16string(buffer.data(), static_cast<size_t>(copied));
    buffer.resize(buffer.size() * 2);
  }
}

// ---- Drawing ----

void CListBase::DrawSmallIcon(CDC* pDC, LVITEM* pItem, LPRECT pRect) {
  CImageList* images = m_pListCtrl->GetImageList(LVSIL_SMALL);
  if (images == nullptr || pItem->iImage <= 0) return;
  const CSize size = images->GetImageSize();
  CRect clip(pRect->left, pRect->top, std::min(pRect->right, pRect->left + static_cast<int>(size.cx)),
             std::min(pRect->bottom, pRect->top + static_cast<int>(size.cy)));
  const bool selected = (pItem->state & LVIS_SELECTED) != 0 && ::GetFocus() == m_pListCtrl->m_hWnd;
  const int saved = pDC->SaveDC();
  pDC->IntersectClipRect(&clip);
  images->Draw(pDC, pItem->iImage, CPoint(pRect->left, pRect->top), selected ? ILD_SELECTED : ILD_NORMAL);
  pDC->RestoreDC(saved);
}

void CListBase::DrawStateIcon(CDC* pDC, LVITEM* pItem, LPRECT pRect) {
  CImageList* images = m_pListCtrl->GetImageList(LVSIL_STATE);
  const int index = static_cast<int>((pItem->state & LVIS_STATEIMAGEMASK) >> 12);
  if (images == nullptr || index == 0) return;
  const CSize size = images->GetImageSize();
  CRect clip(pRect->left, pRect->top, std::min(pRect->right, pRect->left + static_cast<int>(size.cx)),
             std::min(pRect->bottom, pRect->top + static_cast<int>(size.cy)));
  const bool selected = (pItem->state & LVIS_SELECTED) != 0 && ::GetFocus() == m_pListCtrl->m_hWnd;
  const int saved = pDC->SaveDC();
  pDC->IntersectClipRect(&clip);
  images->Draw(pDC, index - 1, CPoint(pRect->left, pRect->top), selected ? ILD_SELECTED : ILD_NORMAL);
  pDC->RestoreDC(saved);
}

void CListBase::DrawSubItemText(CDC* pDC, LVITEM* pItem, LVCOLUMN* pColumn, LPRECT pRect) {
  if (pItem->pszText == nullptr || pItem->pszText[0] == 0 || pRect->right - pRect->left <= 0) return;
  const std::u16string text = FitText(pDC, pItem->pszText, pRect->right - pRect->left);
  UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP;
  const int alignment = pColumn->fmt & LVCFMT_JUSTIFYMASK;
  if (alignment == LVCFMT_CENTER) {
    format |= DT_CENTER;
  } else if (alignment == LVCFMT_RIGHT) {
    format |= DT_RIGHT;
  } else {
    format |= DT_LEFT;
  }
  pDC->DrawText(text, pRect, format);
}

void CListBase::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
  CListCtrl& list = *m_pListCtrl;
  CDC* pDC = CDC::FromHandle(lpDrawItemStruct->hDC);
  const int item = static_cast<int>(lpDrawItemStruct->itemID);
  if (pDC == nullptr || item < 0 || item >= list.GetItemCount()) return;
  const CListRowRecord* record = GetRowRecord(item);

  LVITEM row{};
  row.mask = LVIF_IMAGE | LVIF_STATE;
  row.iItem = item;
  row.stateMask = 0xFFFF;
  list.GetItem(&row);

  const bool selected = (row.state & LVIS_SELECTED) != 0;
  const bool listFocused = ::GetFocus() == list.m_hWnd;
  const bool selectedActive = selected && listFocused;
  const bool selectedInactive = selected && !selectedActive && (list.GetStyle() & LVS_SHOWSELALWAYS);
  const bool focusRow = (row.state & LVIS_FOCUSED) && listFocused;
  const bool fullRow = (list.GetExtendedStyle() & LVS_EX_FULLROWSELECT) != 0;
  const bool highlighted = selectedActive || selectedInactive;
  const COLORREF selection = selectedActive ? GetSysColor(COLOR_HIGHLIGHT) : GetSysColor(COLOR_BTNFACE);
  const COLORREF windowText = GetSysColor(COLOR_WINDOWTEXT);
  const COLORREF rowColour = item % 2 == 0 ? kEvenRow : kOddRow;
  const COLORREF background = list.GetBkColor();

  CRect bounds(lpDrawItemStruct->rcItem), label, icon;
  list.GetItemRect(item, &label, LVIR_LABEL);
  list.GetItemRect(item, &icon, LVIR_ICON);

  const int saved = pDC->SaveDC();
  CFont bold;
  if (record != nullptr && record->bold) {
    LOGFONT font = pDC->CurrentLogFont();
    font.lfWeight = FW_BOLD;
    bold.CreateFontIndirect(&font);
    pDC->SelectObject(&bold);
  }

  const int columns = std::max(1, list.GetColumnCount());
  std::vector<int> order(static_cast<size_t>(columns));
  for (int i = 0; i < columns; ++i) order[static_cast<size_t>(i)] = i;
  if (list.GetColumnCount() > 0) list.GetColumnOrderArray(order.data(), columns);

  CRect highlightRect = label;
  int x = bounds.left;
  for (int c : order) {
    const int width = list.GetColumnWidth(c);
    const CRect cell(x, bounds.top, x + width, bounds.bottom);
    x += width;
    const COLORREF columnColour = (m_columnColourOn && c == SortedColumn()) ? m_columnColour : background;
    CRect textArea = cell;
    if (c == 0) {
      textArea = label;
      textArea.DeflateRect(2, 0);
    } else {
      textArea.DeflateRect(6, 0);
    }
    std::u16string text = FetchItemText(item, c);
    COLORREF textColour = windowText;
    COLORREF textBackground = columnColour;

    if (!highlighted || (!fullRow && c != 0)) {
      pDC->FillSolidRect(&cell, rowColour);
    } else if (fullRow) {
      if (c == 0) {
        pDC->FillSolidRect(cell.left, cell.top, std::max(0, static_cast<int>(label.left - cell.left)), cell.Height(),
                           columnColour);
        pDC->FillSolidRect(label.right, cell.top, std::max(0, static_cast<int>(cell.right - label.right)),
                           cell.Height(), columnColour);
        pDC->FillSolidRect(&label, selection);
      } else {
        pDC->FillSolidRect(&cell, selection);
      }
      textBackground = selection;
      if (selectedActive) textColour = GetSysColor(COLOR_HIGHLIGHTTEXT);
    } else {
      // Only the text of column 0 is highlighted, placed as the column is aligned.
      pDC->FillSolidRect(&cell, columnColour);
      const std::u16string fitted = FitText(pDC, text, textArea.Width());
      const int textWidth = pDC->GetTextExtent(fitted).cx;
      const int alignment = m_firstColumnFormat & LVCFMT_JUSTIFYMASK;
      CRect mark = label;
      if (alignment == LVCFMT_RIGHT) {
        mark.left = label.right - (textWidth + 8);
      } else if (alignment == LVCFMT_CENTER) {
        const int w = textWidth + 12;
        mark.left = label.left + (label.Width() - w) / 2;
        mark.right = mark.left + w;
      } else {
        mark.right = label.left + textWidth + 8;
      }
      mark.IntersectRect(mark, label);
      pDC->FillSolidRect(&mark, selection);
      highlightRect = mark;
      textBackground = selection;
      if (selectedActive) textColour = GetSysColor(COLOR_HIGHLIGHTTEXT);
    }

    if (c == 0) {
      CRect stateRect(icon.left - (list.GetImageList(LVSIL_STATE) ? 16 : 0), icon.top, icon.left, icon.bottom);
      DrawStateIcon(pDC, &row, &stateRect);
      DrawSmallIcon(pDC, &row, &icon);
    }
    if (record != nullptr && record->red) textColour = kRed;
    pDC->SetTextColor(textColour);
    pDC->SetBkColor(textBackground);

    LVITEM cellItem = row;
    cellItem.iSubItem = c;
    cellItem.pszText = text.data();
    LVCOLUMN column{};
    column.mask = LVCF_FMT;
    list.GetColumn(c, &column);
    if (c == 0) column.fmt = m_firstColumnFormat;
    DrawSubItemText(pDC, &cellItem, &column, &textArea);
  }

  if (focusRow) {
    CRect focus = highlightRect;
    if (fullRow) {
      const int column0Right = bounds.left + list.GetColumnWidth(0);
      focus = CRect(std::min(static_cast<int>(label.left), column0Right), bounds.top, bounds.right, bounds.bottom);
    }
    pDC->DrawFocusRect(&focus);
  }
  pDC->RestoreDC(saved);
}

void CListBase::OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult) {
  auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(pNMHDR);
  CListCtrl& list = *m_pListCtrl;
  *pResult = CDRF_DODEFAULT;
  const DWORD stage = draw->nmcd.dwDrawStage;
  if (stage == CDDS_PREPAINT) {
    *pResult = CDRF_NOTIFYITEMDRAW;
  } else if (stage == CDDS_ITEMPREPAINT) {
    *pResult = CDRF_NOTIFYSUBITEMDRAW;
  } else if (stage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
    if (m_columnColourOn) {
      draw->clrTextBk = draw->iSubItem == SortedColumn() ? m_columnColour : list.GetBkColor();
      *pResult = CDRF_NEWFONT;
    }
    if (draw->iSubItem == 0) *pResult |= CDRF_NOTIFYPOSTPAINT;
  } else if (stage == (CDDS_ITEMPOSTPAINT | CDDS_SUBITEM) && draw->iSubItem == 0) {
    // The strip of column 0 left of its label, which the list leaves unpainted.
    const int item = static_cast<int>(draw->nmcd.dwItemSpec);
    CDC* pDC = CDC::FromHandle(draw->nmcd.hdc);
    if (pDC == nullptr) return;
    CRect label, icon, header0;
    list.GetItemRect(item, &label, LVIR_LABEL);
    list.GetItemRect(item, &icon, LVIR_ICON);
    const CRect cell(draw->nmcd.rc);
    const bool selected = list.GetItemState(item, LVIS_SELECTED) != 0;
    const bool focused = ::GetFocus() == list.m_hWnd;
    const bool showAlways = (list.GetStyle() & LVS_SHOWSELALWAYS) != 0;
    CHeaderCtrl* header = list.GetHeaderCtrl();
    const bool atHeaderLeft = header == nullptr || (header->GetItemRect(0, &header0) && header0.left == 0);
    COLORREF colour;
    if (!atHeaderLeft && (list.GetExtendedStyle() & LVS_EX_FULLROWSELECT) && selected && (focused || showAlways)) {
      colour = focused ? GetSysColor(COLOR_HIGHLIGHT) : GetSysColor(COLOR_BTNFACE);
    } else if (m_columnColourOn && SortedColumn() == 0) {
      colour = m_columnColour;
    } else {
      colour = item % 2 == 0 ? kSilver : list.GetBkColor();
    }
    pDC->FillSolidRect(cell.left, cell.top, std::max(0, static_cast<int>(label.left - cell.left)), cell.Height(),
                       colour);
    if (list.GetColumnWidth(0) > 4) {
      LVITEM row{};
      row.mask = LVIF_IMAGE | LVIF_STATE;
      row.iItem = item;
      row.stateMask = 0xFFFF;
      list.GetItem(&row);
      CRect stateRect(icon.left - (list.GetImageList(LVSIL_STATE) ? 16 : 0), icon.top, icon.left, icon.bottom);
      DrawStateIcon(pDC, &row, &stateRect);
      DrawSmallIcon(pDC, &row, &icon);
    }
  }
}

// ---- Messages ----

BOOL CListBase::OnNotify(WPARAM, LPARAM lParam, LRESULT*) {
  const auto* nm = reinterpret_cast<const NMHDR*>(lParam);
  if (nm == nullptr || !m_columnColourOn) return FALSE;
  if (nm->code == HDN_ITEMCHANGEDW || nm->code == HDN_ITEMCHANGEDA || nm->code == HDN_ENDTRACKW ||
      nm->code == HDN_ENDTRACKA)
    InvalidateNonItemArea();
  return FALSE;
}

void CListBase::OnColumnClick(NMHDR* pNMHDR, LRESULT* pResult) {
  const int column = reinterpret_cast<NMLISTVIEW*>(pNMHDR)->iSubItem;
  if (column + 1 == std::abs(m_sortIndicator)) {
    m_sortIndicator = -m_sortIndicator;
  } else {
    m_sortIndicator = column + 1;
  }
  RefreshHeader();
  *pResult = 0;
}

void CListBase::OnSysColorChange() {
  CreateHeaderImages();
  if (CHeaderCtrl* header = m_pListCtrl->GetHeaderCtrl()) header->SetImageList(&m_headerImages);
  RefreshHeader();
  if (m_columnColourOn) m_columnColour = m_pListCtrl->GetBkColor() & 0xFFFFFF;
}

BOOL CListBase::OnEraseBkgnd(CDC* pDC) {
  CHeaderCtrl* header = m_pListCtrl->GetHeaderCtrl();
  CRect band;
  if (!m_columnColourOn || pDC == nullptr || header == nullptr || !header->GetItemRect(SortedColumn(), &band))
    return FALSE;
  band.OffsetRect(-m_pListCtrl->GetScrollX(), 0);
  CRect area;
  m_pListCtrl->GetClientRect(&area);
  area.top = m_pListCtrl->GetHeaderHeight();
  if (band.right <= area.left || band.left >= area.right || area.IsRectEmpty()) return FALSE;
  const COLORREF background = m_pListCtrl->GetBkColor();
  const int left = std::max(area.left, band.left);
  const int right = std::min(area.right, band.right);
  if (left > area.left) pDC->FillSolidRect(area.left, area.top, left - area.left, area.Height(), background);
  pDC->FillSolidRect(left, area.top, right - left, area.Height(), m_columnColour);
  if (right < area.right) pDC->FillSolidRect(right, area.top, area.right - right, area.Height(), background);
  return TRUE;
}

// Above the first row and below the last the column band is part of the background.
void CListBase::InvalidateNonItemArea() {
  CListCtrl& list = *m_pListCtrl;
  CRect client;
  list.GetClientRect(&client);
  const int headerBottom = list.GetHeaderHeight();
  const int count = list.GetItemCount();
  CRect first;
  if (count > 0 && list.GetItemRect(list.GetTopIndex(), &first, LVIR_BOUNDS) && first.top > headerBottom) {
    CRect strip(client.left, headerBottom, client.right, first.top);
    list.InvalidateRect(&strip, TRUE);
  }
  CRect last;
  const int lastTop =
      count > 0 && list.GetItemRect(count - 1, &last, LVIR_BOUNDS) ? static_cast<int>(last.bottom) : headerBottom;
  if (lastTop < client.bottom) {
    CRect strip(client.left, std::max(lastTop, headerBottom), client.right, client.bottom);
    list.InvalidateRect(&strip, TRUE);
  }
}

void CListBase::OnHScroll() { InvalidateNonItemArea(); }

void CListBase::OnFocusChange(bool gained) {
  const int selected = m_pListCtrl->GetNextItem(-1, LVNI_SELECTED);
  if (selected >= 0) m_pListCtrl->SetItemState(selected, gained ? LVIS_FOCUSED : 0, LVIS_FOCUSED);
}

BOOL CListBase::OnLButton(CPoint point) {
  CListCtrl& list = *m_pListCtrl;
  if (!(list.GetStyle() & LVS_OWNERDRAWFIXED) || !(list.GetExtendedStyle() & LVS_EX_CHECKBOXES)) return FALSE;
  UINT flags = 0;
  const int item = list.HitTest(point, &flags);
  if (item < 0 || !(flags & LVHT_ONITEMSTATEICON)) return FALSE;
  list.SetCheck(item, list.GetCheck(item) == 1 ? FALSE : TRUE);
  return TRUE;
}

// ---- CListCtrlEx ----

IMPLEMENT_DYNCREATE(CListCtrlEx, CListCtrl)

BEGIN_MESSAGE_MAP(CListCtrlEx, CListCtrl)
ON_WM_SYSCOLORCHANGE()
ON_WM_ERASEBKGND()
ON_WM_HSCROLL()
ON_WM_KILLFOCUS()
ON_WM_SETFOCUS()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONDBLCLK()
ON_WM_KEYDOWN()
ON_WM_KEYUP()
ON_NOTIFY_REFLECT(LVN_COLUMNCLICK, OnColumnclick)
ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, OnCustomDraw)
ON_NOTIFY_REFLECT(LVN_DELETEALLITEMS, OnDeleteAllItems)
END_MESSAGE_MAP()

CListCtrlEx::CListCtrlEx() : CListBase(this) {}

// The window goes while the row records still exist.
CListCtrlEx::~CListCtrlEx() { DestroyWindow(); }

void CListCtrlEx::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) { CListBase::DrawItem(lpDrawItemStruct); }

BOOL CListCtrlEx::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  const BOOL handled = CListCtrl::OnNotify(wParam, lParam, pResult);
  CListBase::OnNotify(wParam, lParam, pResult);
  return handled;
}

void CListCtrlEx::OnSysColorChange() {
  CListCtrl::OnSysColorChange();
  CListBase::OnSysColorChange();
}

BOOL CListCtrlEx::OnEraseBkgnd(CDC* pDC) {
  if (CListBase::OnEraseBkgnd(pDC)) return TRUE;
  return CListCtrl::OnEraseBkgnd(pDC);
}

void CListCtrlEx::OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar) {
  CListCtrl::OnHScroll(nSBCode, nPos, pScrollBar);
  CListBase::OnHScroll();
}

void CListCtrlEx::OnKillFocus(CWnd* pNewWnd) {
  CListCtrl::OnKillFocus(pNewWnd);
  CListBase::OnFocusChange(false);
}

void CListCtrlEx::OnSetFocus(CWnd* pOldWnd) {
  CListCtrl::OnSetFocus(pOldWnd);
  CListBase::OnFocusChange(true);
}

void CListCtrlEx::OnLButtonDown(UINT nFlags, CPoint point) {
  if (!CListBase::OnLButton(point)) CListCtrl::OnLButtonDown(nFlags, point);
}

void CListCtrlEx::OnLButtonDblClk(UINT nFlags, CPoint point) {
  if (!CListBase::OnLButton(point)) CListCtrl::OnLButtonDblClk(nFlags, point);
}

void CListCtrlEx::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) { CListCtrl::OnKeyDown(nChar, nRepCnt, nFlags); }

void CListCtrlEx::OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) { CListCtrl::OnKeyUp(nChar, nRepCnt, nFlags); }

void CListCtrlEx::OnColumnclick(NMHDR* pNMHDR, LRESULT* pResult) { CListBase::OnColumnClick(pNMHDR, pResult); }

void CListCtrlEx::OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult) { CListBase::OnCustomDraw(pNMHDR, pResult); }

// The base releases every row record at once, so clearing the list needs no
// notice per row (a long list would otherwise be walked once more for them).
void CListCtrlEx::OnDeleteAllItems(NMHDR*, LRESULT* pResult) { *pResult = TRUE; }
