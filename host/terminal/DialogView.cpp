#include "terminal/DialogView.h"

#include <algorithm>
#include <cmath>

#include "shared/DialogDescription.h"
#include "terminal/ControlView.h"
#include "terminal/EditField.h"
#include "terminal/TerminalUser.h"
#include "terminal/TextCells.h"

namespace termui {

namespace {

constexpr double kPixelsPerColumn = 6.0;
constexpr double kPixelsPerLine = 13.0;

bool IsEdit(const std::u16string& kind) { return kind == u"edit" || kind == u"rich edit"; }
bool IsButton(const std::u16string& kind) { return kind == u"button" || kind == u"default button"; }

std::u16string WithoutMnemonic(const std::u16string& text) {
  std::u16string label, accel;
  char16_t mn = 0;
  MenuItemTexts(text, label, accel, mn);
  return label;
}

}  // namespace

DialogView::DialogView(TerminalUser& user, CModalSession& session) : m_user(user), m_session(session) {}

int DialogView::IndexOf(CWnd* wnd) const {
  for (size_t i = 0; i < m_items.size(); ++i)
    if (m_items[i].wnd == wnd) return static_cast<int>(i);
  return -1;
}

DialogView::Item* DialogView::Focused() {
  return (m_focus >= 0 && m_focus < static_cast<int>(m_items.size())) ? &m_items[static_cast<size_t>(m_focus)]
                                                                      : nullptr;
}

void DialogView::Layout(int cols, int rows) {
  m_items.clear();
  m_tabs.clear();
  // The controls as both hosts read them; trees and lists keep their template
  // places although they are resized to the lines they get here.
  const hostshared::DialogDescription d = hostshared::DescribeDialog(m_session, &m_original);
  m_top = d.top;
  m_sheet = d.sheet;
  if (m_top == nullptr) {
    m_box = Rect{std::max(0, cols / 2 - 15), std::max(0, rows / 2 - 2), std::min(cols, 30), std::min(rows, 4)};
    return;
  }

  struct Raw {
    CWnd* wnd;
    std::u16string kind;
    bool focusable;
    int col, colEnd, row, rowEnd;
  };
  std::vector<Raw> raws;
  int maxRow = 1, maxCol = static_cast<int>(std::lround(d.size.Width() / kPixelsPerColumn));
  for (const hostshared::DialogControl& c : d.controls) {
    const CRect& r = c.rect;
    Raw raw{c.wnd, c.kind, c.focusable, 0, 0, 0, 0};
    if (IsEdit(c.kind) && !(c.wnd->GetStyle() & ES_READONLY)) m_initialText.emplace(c.wnd->GetSafeHwnd(), c.wnd->GetWindowText());
    raw.col = static_cast<int>(std::lround(r.left / kPixelsPerColumn));
    raw.colEnd = std::max(raw.col + 2, static_cast<int>(std::lround(r.right / kPixelsPerColumn)));
    raw.row = static_cast<int>(std::lround(r.top / kPixelsPerLine));
    raw.rowEnd = c.tall ? std::max(raw.row + 2, static_cast<int>(std::lround(r.bottom / kPixelsPerLine))) : raw.row + 1;
    maxRow = std::max(maxRow, raw.rowEnd);
    maxCol = std::max(maxCol, raw.colEnd);
    raws.push_back(raw);
  }
  // Rows: drop the empty ones when the screen is short, then squeeze what is left.
  const int chrome = 2 + (m_sheet ? 2 : 0);
  const int available = std::max(3, rows - chrome);
  std::vector<int> rowMap(static_cast<size_t>(maxRow) + 1);
  for (int i = 0; i <= maxRow; ++i) rowMap[static_cast<size_t>(i)] = i;
  if (maxRow > available) {
    std::vector<bool> used(static_cast<size_t>(maxRow) + 1, false);
    for (const Raw& r : raws)
      for (int i = r.row; i < r.rowEnd; ++i) used[static_cast<size_t>(i)] = true;
    int next = 0;
    for (int i = 0; i <= maxRow; ++i) {
      rowMap[static_cast<size_t>(i)] = next;
      if (used[static_cast<size_t>(i)]) ++next;
    }
    if (next > available)
      for (int& m : rowMap) m = m * available / next;
  }
  const int height = std::min(rows, rowMap[static_cast<size_t>(maxRow)] + chrome);
  const int width = std::min(cols, maxCol + 3);
  const double xScale = maxCol + 3 > cols ? static_cast<double>(cols - 3) / maxCol : 1.0;
  m_box = Rect{std::max(0, (cols - width) / 2), std::max(0, (rows - height) / 2), width, height};
  const int originX = m_box.x + 1;
  const int originY = m_box.y + 1 + (m_sheet ? 2 : 0);
  for (const Raw& r : raws) {
    Item item;
    item.wnd = r.wnd;
    item.id = static_cast<UINT>(r.wnd->GetDlgCtrlID());
    item.kind = r.kind;
    const int x0 = static_cast<int>(r.col * xScale), x1 = static_cast<int>(r.colEnd * xScale);
    const int y0 = rowMap[static_cast<size_t>(r.row)];
    int y1 = rowMap[static_cast<size_t>(std::min(r.rowEnd, maxRow))];
    if (y1 <= y0) y1 = y0 + 1;
    item.cells = Rect{originX + x0, originY + y0, std::max(1, x1 - x0), y1 - y0};
    item.focusable = r.focusable;
    m_items.push_back(item);
  }
  if (m_sheet != nullptr) {
    int x = m_box.x + 2;
    for (const std::u16string& title : m_session.Tabs()) {
      const int w = DisplayWidth(title) + 2;
      m_tabs.push_back(Rect{x, m_box.y + 1, w, 1});
      x += w + 1;
    }
  }
}

void DialogView::Paint(CellBuffer& out) {
  m_cursorX = m_cursorY = -1;
  out.Fill(m_box, U' ', kPlain);
  out.Box(m_box, kBold);
  out.Fill(Rect{m_box.x + 1, m_box.y, std::max(0, m_box.w - 2), 1}, U' ', kAccent);
  out.Text(m_box.x + 2, m_box.y, m_session.Title(), kAccent | kBold, m_box.w - 4);
  const auto tabs = m_session.Tabs();
  for (size_t i = 0; i < m_tabs.size() && i < tabs.size(); ++i) {
    const bool active = static_cast<int>(i) == m_session.ActiveTab();
    out.Text(m_tabs[i].x, m_tabs[i].y, U" " + ToCodePoints(tabs[i]) + U" ", active ? (kReverse | kBold) : kUnderline);
  }
  out.SetClip(Rect{m_box.x + 1, m_box.y + 1, std::max(0, m_box.w - 2), std::max(0, m_box.h - 2)});
  // Group boxes first: the controls inside draw over their frames.
  for (const Item& item : m_items) {
    if (item.kind != u"group box") continue;
    out.Box(item.cells, kDim);
    out.Text(item.cells.x + 1, item.cells.y, WithoutMnemonic(item.wnd->GetWindowText()), kPlain, item.cells.w - 2);
  }
  for (size_t i = 0; i < m_items.size(); ++i) {
    Item& item = m_items[i];
    const bool focused = static_cast<int>(i) == m_focus;
    const bool enabled = item.wnd->IsWindowEnabled() != FALSE;
    const uint16_t base = enabled ? kPlain : (kGrey | kDim);
    const Rect& c = item.cells;
    const std::u16string text = item.wnd->GetWindowText();
    if (item.kind == u"group box") continue;
    if (item.kind == u"static") {
      // A one-line text keeps its whole width: a dialog narrowed to the screen must not cut its labels.
      const int room = m_box.x + m_box.w - 1 - c.x;
      const auto lines = WrapLines(ToCodePoints(WithoutMnemonic(text)), c.h > 1 ? c.w : room);
      for (int l = 0; l < static_cast<int>(lines.size()) && l < c.h; ++l)
        out.Text(c.x, c.y + l, lines[static_cast<size_t>(l)], base);
    } else if (item.kind == u"check box" || item.kind == u"radio button") {
      auto* b = DYNAMIC_DOWNCAST(CButton, item.wnd);
      const int check = b ? b->GetCheck() : 0;
      const char* mark = item.kind == u"check box" ? (check == 1   ? "[x] "
                                                      : check == 2 ? "[-] "
                                                                   : "[ ] ")
                                                   : (check == 1 ? "(*) " : "( ) ");
      const int w = out.Text(c.x, c.y, U32(mark) + ToCodePoints(WithoutMnemonic(text)), base, c.w + 4);
      if (focused) out.AddStyle(Rect{c.x, c.y, w, 1}, kReverse);
    } else if (IsButton(item.kind)) {
      const bool def = item.kind == u"default button";
      const std::u32string label = ToCodePoints(WithoutMnemonic(text));
      std::u32string shown = def ? U"[<" + label + U">]" : U"[ " + label + U" ]";
      // A narrow button drops its padding before it runs into its neighbour.
      if (DisplayWidth(shown) > c.w) shown = def ? U"<" + label + U">" : U"[" + label + U"]";
      const int x = c.x + std::max(0, (c.w - DisplayWidth(shown)) / 2);
      const int w = out.Text(x, c.y, shown, base | (def ? kBold : kPlain));
      if (focused) out.AddStyle(Rect{x, c.y, w, 1}, kReverse);
    } else if (IsEdit(item.kind)) {
      auto* edit = DYNAMIC_DOWNCAST(CEdit, item.wnd);
      const bool readOnly = (item.wnd->GetStyle() & ES_READONLY) != 0;
      const uint16_t field = readOnly ? (base | kDim) : (base | kUnderline);
      // Several lines get a frame; one line is an underlined field.
      const bool framed = c.h >= 3 && c.w >= 4;
      if (framed) out.Box(c, focused ? kBold : kDim);
      const Rect inner = framed ? Rect{c.x + 1, c.y + 1, c.w - 2, c.h - 2} : c;
      if (edit != nullptr) DrawEdit(out, inner, *edit, framed ? base : field, focused, &m_cursorX, &m_cursorY);
    } else if (item.kind == u"tree view") {
      auto* tree = DYNAMIC_DOWNCAST(CTreeCtrl, item.wnd);
      if (tree != nullptr) {
        const Rect inner = c.h >= 3 && c.w >= 4 ? Rect{c.x + 1, c.y + 1, c.w - 2, c.h - 2} : c;
        if (c.h >= 3 && c.w >= 4) out.Box(c, focused ? kBold : kDim);
        FitTree(*tree, inner);
        DrawTree(out, inner, *tree, focused);
        out.SetClip(Rect{m_box.x + 1, m_box.y + 1, std::max(0, m_box.w - 2), std::max(0, m_box.h - 2)});
      }
    } else if (item.kind == u"list view") {
      auto* list = DYNAMIC_DOWNCAST(CListCtrl, item.wnd);
      if (list != nullptr) {
        if (c.h >= 3 && c.w >= 4) out.Box(c, focused ? kBold : kDim);
        const Rect inner = c.h >= 3 && c.w >= 4 ? Rect{c.x + 1, c.y + 1, c.w - 2, c.h - 2} : c;
        FitList(*list, inner);
        DrawList(out, inner, *list, focused);
        out.SetClip(Rect{m_box.x + 1, m_box.y + 1, std::max(0, m_box.w - 2), std::max(0, m_box.h - 2)});
      }
    } else {
      out.Text(c.x, c.y, text, base, c.w);
    }
  }
  out.ResetClip();
}

void DialogView::Focus(int index) {
  if (index < 0 || index >= static_cast<int>(m_items.size())) return;
  m_focus = index;
  Item& item = m_items[static_cast<size_t>(index)];
  const HWND hwnd = item.wnd->GetSafeHwnd();
  if (CWnd::GetFocus() != item.wnd) {
    item.wnd->SetFocus();
    if (!IsWindow(hwnd)) return;
  }
  if (hwnd != m_focusHwnd) {
    // A field one arrives at is edited at its end.
    if (auto* edit = DYNAMIC_DOWNCAST(CEdit, item.wnd)) {
      const int end = static_cast<int>(item.wnd->GetWindowText().size());
      edit->SetSel(end, end);
    }
  }
  m_focusHwnd = hwnd;
}

void DialogView::MoveFocus(int step) {
  const int n = static_cast<int>(m_items.size());
  if (n == 0) return;
  for (int k = 1; k <= n; ++k) {
    const int i = ((m_focus < 0 ? (step > 0 ? -1 : 0) : m_focus) + step * k + 2 * n) % n;
    if (m_items[static_cast<size_t>(i)].focusable) {
      Focus(i);
      return;
    }
  }
}

void DialogView::SyncFocus() {
  // The dialog may have moved the focus itself (a validation failure puts it on the control at fault).
  const int platform = IndexOf(CWnd::GetFocus());
  if (platform >= 0 && m_items[static_cast<size_t>(platform)].focusable) {
    Focus(platform);
    return;
  }
  for (size_t i = 0; i < m_items.size(); ++i)
    if (m_items[i].wnd->GetSafeHwnd() == m_focusHwnd && m_items[i].focusable) {
      m_focus = static_cast<int>(i);
      return;
    }
  m_focus = -1;
  MoveFocus(1);
}

void DialogView::PressDefault() {
  for (const Item& item : m_items)
    if (item.kind == u"default button" && item.wnd->IsWindowEnabled()) {
      m_session.Click(item.id);
      return;
    }
  if (m_session.HasControl(IDOK)) {
    CWnd* ok = m_session.GetControl(IDOK);
    if (ok->IsWindowEnabled() && (ok->GetStyle() & WS_VISIBLE)) m_session.Ok();
  }
}

void DialogView::SwitchTab(int step) {
  const int n = static_cast<int>(m_session.Tabs().size());
  if (!m_session.IsSheet() || n == 0) return;
  m_session.SelectTab((m_session.ActiveTab() + step + n) % n);
  m_focus = -1;
  m_focusHwnd = nullptr;
}

void DialogView::Act(Item& item) {
  if (!item.wnd->IsWindowEnabled()) return;
  if (IsButton(item.kind) || item.kind == u"check box" || item.kind == u"radio button") m_session.Click(item.id);
}

void DialogView::HandleEditKey(Item& item, const Event& e) {
  auto* edit = DYNAMIC_DOWNCAST(CEdit, item.wnd);
  if (edit == nullptr || EditKey(*edit, e)) return;
  if (e.key == Key::Up) MoveFocus(-1);
  if (e.key == Key::Down) MoveFocus(1);
}

void DialogView::HandleKey(const Event& e) {
  Item* item = Focused();
  switch (e.key) {
    case Key::Escape:
      m_session.Cancel();
      return;
    case Key::Tab:
      MoveFocus(1);
      return;
    case Key::BackTab:
      MoveFocus(-1);
      return;
    case Key::PageDown:
      SwitchTab(1);
      return;
    case Key::PageUp:
      SwitchTab(-1);
      return;
    case Key::Enter:
      if (item != nullptr && IsButton(item->kind)) {
        Act(*item);
      } else if (item != nullptr && IsEdit(item->kind) && (item->wnd->GetStyle() & ES_MULTILINE) &&
                 (item->wnd->GetStyle() & ES_WANTRETURN)) {
        ::SendMessage(item->wnd->GetSafeHwnd(), WM_CHAR, u'\r', 1);
      } else {
        PressDefault();
      }
      return;
    default:
      break;
  }
  if (item == nullptr) return;
  if (IsEdit(item->kind)) {
    HandleEditKey(*item, e);
    return;
  }
  if (item->kind == u"tree view" || item->kind == u"list view") {
    UINT vk = 0;
    switch (e.key) {
      case Key::Up:
        vk = VK_UP;
        break;
      case Key::Down:
        vk = VK_DOWN;
        break;
      case Key::Left:
        vk = VK_LEFT;
        break;
      case Key::Right:
        vk = VK_RIGHT;
        break;
      case Key::Home:
        vk = VK_HOME;
        break;
      case Key::End:
        vk = VK_END;
        break;
      case Key::Char:
        vk = e.ch == U' ' ? VK_SPACE : 0;
        break;
      default:
        break;
    }
    if (vk != 0) InputKey(vk, item->wnd->GetSafeHwnd());
    return;
  }
  switch (e.key) {
    case Key::Char:
      if (e.ch == U' ') Act(*item);
      return;
    case Key::Up:
    case Key::Left:
    case Key::Down:
    case Key::Right: {
      const int step = (e.key == Key::Up || e.key == Key::Left) ? -1 : 1;
      if (item->kind == u"radio button") {
        // Arrows move within the radio group and select as they go.
        const int n = static_cast<int>(m_items.size());
        for (int i = m_focus + step; i >= 0 && i < n; i += step) {
          Item& other = m_items[static_cast<size_t>(i)];
          const bool groupEdge = step > 0 ? (other.wnd->GetStyle() & WS_GROUP) != 0
                                          : (m_items[static_cast<size_t>(i + 1)].wnd->GetStyle() & WS_GROUP) != 0;
          if (groupEdge) break;
          if (other.kind == u"radio button" && other.focusable) {
            Focus(i);
            Act(other);
            return;
          }
        }
        return;
      }
      MoveFocus(step);
      return;
    }
    default:
      return;
  }
}

void DialogView::HandleMouse(const Event& e) {
  if (e.button == MouseButton::Left && e.action == MouseAction::Press) {
    for (size_t i = 0; i < m_tabs.size(); ++i)
      if (m_tabs[i].Contains(e.x, e.y)) {
        m_session.SelectTab(static_cast<int>(i));
        m_focus = -1;
        m_focusHwnd = nullptr;
        return;
      }
  }
  int hit = -1;
  for (size_t i = 0; i < m_items.size(); ++i) {
    const Item& item = m_items[i];
    if (item.kind == u"group box" || item.kind == u"static") continue;
    const Rect& c = item.cells;
    const int extra = (item.kind == u"check box" || item.kind == u"radio button") ? 4 : 0;
    if (Rect{c.x, c.y, c.w + extra, c.h}.Contains(e.x, e.y)) hit = static_cast<int>(i);
  }
  if (hit < 0) {
    m_pressed = -1;
    return;
  }
  Item& item = m_items[static_cast<size_t>(hit)];
  const bool boxed = item.cells.h >= 3 && item.cells.w >= 4;
  const Rect inner = boxed ? Rect{item.cells.x + 1, item.cells.y + 1, item.cells.w - 2, item.cells.h - 2} : item.cells;
  if (item.kind == u"tree view" || item.kind == u"list view") {
    if (!inner.Contains(e.x, e.y) || e.button != MouseButton::Left) return;
    if (item.focusable) Focus(hit);
    ClickTarget t;
    if (auto* tree = DYNAMIC_DOWNCAST(CTreeCtrl, item.wnd)) t = TreeClick(*tree, inner, e.x, e.y);
    if (auto* list = DYNAMIC_DOWNCAST(CListCtrl, item.wnd)) t = ListClick(*list, inner, e.x, e.y);
    if (t.hwnd == nullptr) return;
    if (e.action == MouseAction::Press) {
      if (e.doubleClick) {
        InputDoubleClick(t.hwnd, t.pt);
      } else {
        InputLButtonDown(t.hwnd, t.pt);
      }
    } else if (e.action == MouseAction::Release && (DaruMouseButtons() & MK_LBUTTON)) {
      InputLButtonUp(t.hwnd, t.pt);
    }
    return;
  }
  if (e.button != MouseButton::Left) return;
  if (e.action == MouseAction::Press) {
    m_pressed = hit;
    if (item.focusable) Focus(hit);
    if (IsEdit(item.kind))
      if (auto* edit = DYNAMIC_DOWNCAST(CEdit, item.wnd)) EditClick(*edit, boxed ? inner : item.cells, e.x, e.y);
  } else if (e.action == MouseAction::Release) {
    if (hit == m_pressed) Act(item);
    m_pressed = -1;
  }
}

void DialogView::Handle(const Event& e) {
  if (e.type == Event::Type::Key) HandleKey(e);
  if (e.type == Event::Type::Mouse) HandleMouse(e);
}

void DialogView::Run() {
  IDisplay& display = m_user.Display();
  m_user.PushLayer([this](CellBuffer& out) { Paint(out); });
  struct Pop {
    TerminalUser& user;
    ~Pop() { user.PopLayer(); }
  } pop{m_user};
  while (m_session.IsOpen()) {
    CellBuffer& out = display.Canvas();
    Layout(out.Cols(), out.Rows());
    SyncFocus();
    m_user.PaintLayers(out);
    display.Present(m_cursorX, m_cursorY);
    const Event e = m_user.NextEvent();
    if (e.type == Event::Type::Quit) {
      if (e.key == Key::CtrlC && !ConfirmQuit()) continue;
      m_session.Cancel();
      return;
    }
    if (e.type == Event::Type::Resize || e.type == Event::Type::None) continue;
    Layout(out.Cols(), out.Rows());
    SyncFocus();
    Handle(e);
  }
}

bool DialogView::HoldsTypedText() const {
  for (const auto& [hwnd, initial] : m_initialText) {
    CWnd* w = CWnd::FromHandle(hwnd);
    if (w != nullptr && IsWindow(hwnd) && w->GetWindowText() != initial) return true;
  }
  return false;
}

bool DialogView::ConfirmQuit() {
  if (!HoldsTypedText()) return true;
  // Asked as any question is; a second Ctrl-C (or a signal) leaves after all.
  m_user.CancelQuit();
  const int answer = m_user.MessageBox(
      FromUtf8(Tr("对话框中有输入的文字，放弃它们并退出吗？", "The dialog holds text you typed. Discard it and quit?")),
      u"daru", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (m_user.QuitRequested()) return true;
  if (answer != IDYES) return false;
  m_user.RequestQuit();
  return true;
}

}  // namespace termui
