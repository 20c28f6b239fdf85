#include <algorithm>

#include "base/U16Format.h"
#include "platform/DC.h"
#include "platform/ListCtrl.h"
#include "platform/ListCtrlImpl.h"

// The list control's painting: redraw requests, owner drawing through
// WM_DRAWITEM, the custom-draw notifications around its own drawing, and the
// snapshot description.

using namespace listctrl;

// ---- Redrawing ----

BOOL CListCtrl::RedrawItems(int nFirst, int nLast) {
  const int first = std::max(0, nFirst);
  const int last = std::min(nLast, GetItemCount() - 1);
  for (int i = first; i <= last; ++i) ++m_impl->rows[static_cast<size_t>(i)].redraws;
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
  for (size_t i = 0; i < m_impl->rows.size(); ++i) m_impl->rows[i].redraws = 0;
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

// Custom drawing: the parent hears of every stage it asks for and may change
// the colours of a row or a cell, skip its default drawing or draw after it.
struct CListCtrl::Painter {
  CListCtrl& l;
  CDC& dc;
  HWND self;
  bool focused;
  bool fullRow;
  bool showAlways;
  COLORREF defaultBk;

  Painter(CListCtrl& list, CDC& context)
      : l(list),
        dc(context),
        self(list.m_hWnd),
        focused(::GetFocus() == list.m_hWnd),
        fullRow((list.m_impl->exStyle & LVS_EX_FULLROWSELECT) != 0),
        showAlways((list.GetStyle() & LVS_SHOWSELALWAYS) != 0),
        defaultBk(list.m_impl->textBk == CLR_DEFAULT ? list.m_impl->bk : list.m_impl->textBk) {}

  // Sends one custom-draw notification; false when the list is gone afterwards.
  bool Notify(NMLVCUSTOMDRAW& cd, DWORD stage, const RECT& rc, LRESULT* result) {
    cd.nmcd.dwDrawStage = stage;
    cd.nmcd.hdc = dc.m_hDC;
    cd.nmcd.rc = rc;
    const LRESULT r = l.SendNotify(&cd.nmcd.hdr, NM_CUSTOMDRAW);
    if (result != nullptr) *result = r;
    return IsWindow(self) != FALSE;
  }

  NMLVCUSTOMDRAW ForRow(int i, const Row& r, UINT itemState) const {
    NMLVCUSTOMDRAW cd{};
    cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(i);
    cd.nmcd.uItemState = itemState;
    cd.nmcd.lItemlParam = r.data;
    return cd;
  }

  // The default drawing of one cell: background, icons in column 0, text.
  void DrawCell(int i, const Row& r, int c, const CRect& cell, COLORREF text, COLORREF bk) {
    Impl& m = *l.m_impl;
    if (bk != CLR_NONE && bk != CLR_DEFAULT) dc.FillSolidRect(&cell, bk);
    CRect textRect = cell;
    textRect.DeflateRect(6, 0);
    if (c == 0) {
      const bool selected = (r.state & LVIS_SELECTED) != 0;
      const int stateImage = static_cast<int>((r.state & LVIS_STATEIMAGEMASK) >> 12);
      CRect icon, label;
      l.GetItemRect(i, &icon, LVIR_ICON);
      l.GetItemRect(i, &label, LVIR_LABEL);
      if (m.state != nullptr && stateImage > 0)
        m.state->Draw(&dc, stateImage - 1, CPoint(icon.left - l.StateIconWidth(), icon.top), ILD_NORMAL);
      if (m.small != nullptr && r.image >= 0)
        m.small->Draw(&dc, r.image, CPoint(icon.left, icon.top), selected && focused ? ILD_SELECTED : ILD_NORMAL);
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
    dc.DrawText(l.GetItemText(i, c), &textRect, format);
  }

  // One cell with its sub-item notifications; false when the list is gone.
  bool PaintCell(int i, int c, const CRect& bounds, COLORREF itemText, COLORREF itemBk, LRESULT itemResult) {
    Row* r = l.R(i);
    const bool selected = (r->state & LVIS_SELECTED) != 0;
    const CRect cell(l.ColumnLeft(c), bounds.top, l.ColumnLeft(c) + l.GetColumnWidth(c), bounds.bottom);
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
      NMLVCUSTOMDRAW cd = ForRow(i, *r, selected ? CDIS_SELECTED : 0);
      cd.clrText = text;
      cd.clrTextBk = bk;
      cd.iSubItem = c;
      if (!Notify(cd, CDDS_ITEMPREPAINT | CDDS_SUBITEM, cell, &subResult) || (r = l.R(i)) == nullptr) return false;
      text = cd.clrText;
      bk = cd.clrTextBk;
    }
    if (!(subResult & CDRF_SKIPDEFAULT)) DrawCell(i, *r, c, cell, text, bk);
    if (subResult & CDRF_NOTIFYPOSTPAINT) {
      NMLVCUSTOMDRAW cd = ForRow(i, *r, selected ? CDIS_SELECTED : 0);
      cd.iSubItem = c;
      if (!Notify(cd, CDDS_ITEMPOSTPAINT | CDDS_SUBITEM, cell, nullptr) || l.R(i) == nullptr) return false;
    }
    return true;
  }

  // One row with its item notifications; false when the list is gone.
  bool PaintRow(int i, LRESULT preResult) {
    Row* r = l.R(i);
    if (r == nullptr) return false;
    const bool selected = (r->state & LVIS_SELECTED) != 0;
    CRect bounds, label;
    l.GetItemRect(i, &bounds, LVIR_BOUNDS);
    l.GetItemRect(i, &label, LVIR_LABEL);
    COLORREF itemText = l.m_impl->text, itemBk = defaultBk;
    LRESULT itemResult = 0;
    const int saved = dc.SaveDC();
    if (preResult & CDRF_NOTIFYITEMDRAW) {
      const UINT itemState = (selected ? CDIS_SELECTED : 0) | ((r->state & LVIS_FOCUSED) && focused ? CDIS_FOCUS : 0);
      NMLVCUSTOMDRAW cd = ForRow(i, *r, itemState);
      cd.clrText = itemText;
      cd.clrTextBk = itemBk;
      if (!Notify(cd, CDDS_ITEMPREPAINT, bounds, &itemResult) || (r = l.R(i)) == nullptr) return false;
      itemText = cd.clrText;
      itemBk = cd.clrTextBk;
    }
    if (!(itemResult & CDRF_SKIPDEFAULT)) {
      for (int order = 0; order < l.GetColumnCount(); ++order) {
        const int c = l.m_impl->header->OrderToIndex(order);
        if (!PaintCell(i, c, bounds, itemText, itemBk, itemResult)) return false;
      }
      r = l.R(i);
      if ((r->state & LVIS_FOCUSED) && focused) dc.DrawFocusRect(fullRow ? &bounds : &label);
    }
    if (itemResult & CDRF_NOTIFYPOSTPAINT) {
      NMLVCUSTOMDRAW cd = ForRow(i, *r, 0);
      if (!Notify(cd, CDDS_ITEMPOSTPAINT, bounds, nullptr)) return false;
    }
    dc.RestoreDC(saved);
    return true;
  }

  void Paint(int first, int last) {
    CRect client;
    l.GetClientRect(&client);
    NMLVCUSTOMDRAW pre{};
    LRESULT preResult = 0;
    if (!Notify(pre, CDDS_PREPAINT, client, &preResult) || (preResult & CDRF_SKIPDEFAULT)) return;
    for (int i = first; i <= last; ++i)
      if (!PaintRow(i, preResult)) return;
    if (preResult & CDRF_NOTIFYPOSTPAINT) {
      NMLVCUSTOMDRAW post{};
      Notify(post, CDDS_POSTPAINT, client, nullptr);
    }
  }
};

void CListCtrl::PaintCustom(CDC& dc, int first, int last) { Painter(*this, dc).Paint(first, last); }

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
    const Row& r = m.rows[static_cast<size_t>(i)];
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
