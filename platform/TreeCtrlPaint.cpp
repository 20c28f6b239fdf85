#include <algorithm>

#include "base/U16Format.h"
#include "platform/DC.h"
#include "platform/Gdi.h"
#include "platform/TreeCtrl.h"
#include "platform/TreeCtrlImpl.h"

// The tree control's painting and its snapshot description.

using namespace treectrl;

void CTreeCtrl::Paint() {
  Impl& m = *m_impl;
  CPaintDC dc(this);
  LOGFONT lf;
  GetFont()->GetLogFont(&lf);
  LOGFONT boldLf = lf;
  boldLf.lfWeight = FW_BOLD;
  CFont bold;
  bold.CreateFontIndirect(&boldLf);
  CFont* normalFont = GetFont();
  const bool focused = ::GetFocus() == m_hWnd;
  const auto vis = VisibleNodes();
  const int h = GetItemHeight();
  CRect client;
  GetClientRect(&client);
  const int rows = (client.Height() + h - 1) / h;
  dc.SetBkMode(TRANSPARENT);
  for (int i = m.top; i < static_cast<int>(vis.size()) && i < m.top + rows; ++i) {
    Node* n = vis[static_cast<size_t>(i)];
    const int y = (i - m.top) * h;
    int x = Depth(n) * static_cast<int>(m.indent) + ((GetStyle() & TVS_LINESATROOT) ? static_cast<int>(m.indent) : 0);
    if (m.state != nullptr) {
      const int stateImage = static_cast<int>((n->state & TVIS_STATEIMAGEMASK) >> 12);
      if (stateImage > 0) m.state->Draw(&dc, stateImage, CPoint(x, y), ILD_NORMAL);
      x += kStateIconWidth;
    }
    const bool selected = n == m.caret;
    if (m.normal != nullptr) {
      m.normal->Draw(&dc, selected ? n->selectedImage : n->image, CPoint(x, y), ILD_TRANSPARENT);
    }
    CRect label(LabelLeft(n), y, LabelLeft(n) + LabelWidth(n), y + h);
    COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
    if (n == m.drop || (selected && focused)) {
      dc.FillSolidRect(&label, GetSysColor(COLOR_HIGHLIGHT));
      text = GetSysColor(COLOR_HIGHLIGHTTEXT);
    } else if (selected && (GetStyle() & TVS_SHOWSELALWAYS)) {
      dc.FillSolidRect(&label, GetSysColor(COLOR_BTNFACE));
    }
    dc.SetTextColor(text);
    dc.SelectObject((n->state & TVIS_BOLD) ? &bold : normalFont);
    CRect textRect = label;
    textRect.left += 2;
    dc.DrawText(n->text, &textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (selected && focused) dc.DrawFocusRect(&label);
  }
  dc.SelectObject(normalFont);
}

void CTreeCtrl::DescribeContent(std::vector<std::u16string>& lines) const {
  const Impl& m = *m_impl;
  const auto vis = VisibleNodes();
  lines.push_back(Fmt(u"(%u items, %u shown, first shown %d)", GetCount(), static_cast<unsigned>(vis.size()), m.top));
  for (const Node* n : vis) {
    std::u16string line(static_cast<size_t>(Depth(n)) * 2, u' ');
    line += HasKids(n) ? ((n->state & TVIS_EXPANDED) ? u"[-] " : u"[+] ") : u"    ";
    line += n->text;
    std::u16string flags;
    auto add = [&flags](const std::u16string& f) { flags += (flags.empty() ? u"" : u", ") + f; };
    if (n == m.caret) add(u"selected");
    if (n->state & TVIS_DROPHILITED) add(u"drop target");
    if (n->state & TVIS_BOLD) add(u"bold");
    const UINT stateImage = (n->state & TVIS_STATEIMAGEMASK) >> 12;
    if (stateImage == 1) add(u"unchecked");
    if (stateImage == 2) add(u"checked");
    if (stateImage > 2) add(Fmt(u"state image %u", stateImage));
    if (n->state & TVIS_OVERLAYMASK) add(Fmt(u"overlay %u", (n->state & TVIS_OVERLAYMASK) >> 8));
    add(Fmt(u"image %d/%d", n->image, n->selectedImage));
    if (n->data != 0) add(Fmt(u"data %lx", static_cast<unsigned long>(n->data)));
    if (H(n, n->key) == GetEditItem()) add(u"editing");
    lines.push_back(line + u"  {" + flags + u"}");
  }
}
