#include "terminal/TerminalUser.h"

#include <algorithm>
#include <optional>

#include "terminal/DialogView.h"
#include "terminal/TextCells.h"

namespace termui {

namespace {

constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;

struct BoxButton {
  int id;
  const char* text;
  char32_t key;
};

std::vector<BoxButton> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {{IDOK, "确定", U'o'}, {IDCANCEL, "取消", U'c'}};
    case MB_ABORTRETRYIGNORE:
      return {{kIdAbort, "中止(A)", U'a'}, {kIdRetry, "重试(R)", U'r'}, {kIdIgnore, "忽略(I)", U'i'}};
    case MB_YESNOCANCEL:
      return {{IDYES, "是(Y)", U'y'}, {IDNO, "否(N)", U'n'}, {IDCANCEL, "取消", U'c'}};
    case MB_YESNO:
      return {{IDYES, "是(Y)", U'y'}, {IDNO, "否(N)", U'n'}};
    case MB_RETRYCANCEL:
      return {{kIdRetry, "重试(R)", U'r'}, {IDCANCEL, "取消", U'c'}};
    default:
      return {{IDOK, "确定", U'o'}};
  }
}

const char* IconOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
      return "(x) ";
    case MB_ICONQUESTION:
      return "(?) ";
    case MB_ICONEXCLAMATION:
      return "(!) ";
    case MB_ICONINFORMATION:
      return "(i) ";
    default:
      return "";
  }
}

// The answer that changes nothing, for a box the person leaves without choosing.
int NeutralAnswer(const std::vector<BoxButton>& buttons) {
  for (const BoxButton& b : buttons)
    if (b.id == IDCANCEL) return IDCANCEL;
  for (const BoxButton& b : buttons)
    if (b.id == IDNO) return IDNO;
  return buttons.front().id;
}

bool Selectable(const CMenuItemView& item) { return !item.separator && item.enabled; }

}  // namespace

void MenuItemTexts(const std::u16string& text, std::u16string& label, std::u16string& accel, char16_t& mnemonic) {
  label.clear();
  accel.clear();
  mnemonic = 0;
  const size_t tab = text.find(u'\t');
  const std::u16string main = text.substr(0, tab);
  if (tab != std::u16string::npos) accel = text.substr(tab + 1);
  for (size_t i = 0; i < main.size(); ++i) {
    if (main[i] == u'&' && i + 1 < main.size()) {
      ++i;
      if (main[i] != u'&' && mnemonic == 0) mnemonic = main[i];
    }
    label.push_back(main[i]);
  }
}

TerminalUser::TerminalUser(IDisplay& display) : m_display(display) {}

void TerminalUser::PaintLayers(CellBuffer& out) {
  if (m_background) {
    m_background(out);
  } else {
    out.Clear();
  }
  for (const Painter& p : m_layers) p(out);
}

Event TerminalUser::NextEvent() {
  for (;;) {
    const int timeout = m_idle ? m_idle() : -1;
    Event e = m_display.Next(timeout);
    if (e.type == Event::Type::None) continue;  // timers ran in m_idle; nothing for us
    if (e.type == Event::Type::Key && e.key == Key::CtrlC) {
      e.type = Event::Type::Quit;
    }
    if (e.type == Event::Type::Quit) m_quit = true;
    return e;
  }
}

int TerminalUser::MessageBox(const std::u16string& text, const std::u16string& caption, UINT type) {
  const std::vector<BoxButton> buttons = ButtonsOf(type);
  if ((type & MB_TYPEMASK) == MB_OK && m_filter && m_filter(text)) return IDOK;
  int current = ((type & MB_DEFBUTTON2) && buttons.size() > 1) ? 1 : 0;
  if (m_quit) return NeutralAnswer(buttons);
  std::vector<Rect> buttonRects(buttons.size());
  for (;;) {
    CellBuffer& out = m_display.Canvas();
    PaintLayers(out);
    const int maxW = std::max(10, std::min(60, out.Cols() - 4));
    std::u32string body = U32(IconOf(type)) + ToCodePoints(text);
    std::vector<std::u32string> lines = WrapLines(body, maxW);
    int width = DisplayWidth(ToCodePoints(caption)) + 2;
    for (const auto& l : lines) width = std::max(width, DisplayWidth(l));
    int buttonsWidth = 0;
    for (const BoxButton& b : buttons) buttonsWidth += DisplayWidth(U32(b.text)) + 5;
    width = std::min(out.Cols() - 2, std::max(width, buttonsWidth) + 4);
    const int height = std::min(out.Rows(), static_cast<int>(lines.size()) + 5);
    const Rect box{(out.Cols() - width) / 2, std::max(0, (out.Rows() - height) / 2), width, height};
    out.Fill(box, U' ', kPlain);
    out.Box(box, kBold);
    out.Fill(Rect{box.x + 1, box.y, box.w - 2, 1}, U' ', kAccent);
    out.Text(box.x + 2, box.y, caption.empty() ? U32("daru") : ToCodePoints(caption), kAccent | kBold, box.w - 4);
    for (size_t i = 0; i < lines.size() && static_cast<int>(i) + 2 < box.h - 2; ++i)
      out.Text(box.x + 2, box.y + 2 + static_cast<int>(i), lines[i], kPlain, box.w - 4);
    int bx = box.x + (box.w - buttonsWidth) / 2;
    const int by = box.y + box.h - 2;
    for (size_t i = 0; i < buttons.size(); ++i) {
      const std::u32string label = U"[ " + U32(buttons[i].text) + U" ]";
      const int w = out.Text(bx, by, label, static_cast<int>(i) == current ? (kReverse | kBold) : kPlain);
      buttonRects[i] = Rect{bx, by, w, 1};
      bx += w + 1;
    }
    m_display.Present();
    const Event e = NextEvent();
    if (e.type == Event::Type::Quit) return NeutralAnswer(buttons);
    if (e.type == Event::Type::Mouse) {
      if (e.action == MouseAction::Release && e.button == MouseButton::Left) {
        for (size_t i = 0; i < buttons.size(); ++i)
          if (buttonRects[i].Contains(e.x, e.y)) return buttons[i].id;
      }
      continue;
    }
    if (e.type != Event::Type::Key) continue;
    const int n = static_cast<int>(buttons.size());
    switch (e.key) {
      case Key::Left:
      case Key::BackTab:
        current = (current + n - 1) % n;
        break;
      case Key::Right:
      case Key::Tab:
        current = (current + 1) % n;
        break;
      case Key::Enter:
        return buttons[static_cast<size_t>(current)].id;
      case Key::Char:
        if (e.ch == U' ') return buttons[static_cast<size_t>(current)].id;
        for (const BoxButton& b : buttons)
          if (e.ch == b.key || e.ch == b.key - 32) return b.id;
        break;
      case Key::Escape:
        // As on the desktop: Escape answers Cancel, or closes a box that has only OK.
        for (const BoxButton& b : buttons)
          if (b.id == IDCANCEL) return IDCANCEL;
        if (n == 1) return buttons.front().id;
        break;
      default:
        break;
    }
  }
}

UINT TerminalUser::TrackPopupMenu(const CPopupMenuView& menu) {
  if (m_quit || menu.items.empty()) return 0;
  int x = 0, y = 0;
  if (m_pointToCell) m_pointToCell(menu.pt, x, y);
  std::vector<CMenuItemView> items = menu.items;
  std::vector<HostItem> extra;
  if (m_hostItems) extra = m_hostItems(menu);
  if (!extra.empty()) {
    CMenuItemView separator;
    separator.separator = true;
    items.push_back(separator);
    for (size_t i = 0; i < extra.size(); ++i) {
      CMenuItemView item;
      item.id = kFirstHostItem + static_cast<UINT>(i);
      item.text = extra[i].key.empty() ? extra[i].text : extra[i].text + u"\t" + extra[i].key;
      items.push_back(item);
    }
  }
  const UINT id = RunMenu(items, x, y);
  if (id >= kFirstHostItem && id - kFirstHostItem < extra.size()) {
    m_hostAction = extra[id - kFirstHostItem].run;
    return 0;
  }
  if (id != 0 && m_beforeCommand && !m_beforeCommand(id)) return 0;
  return id;
}

std::u16string TerminalUser::ShortcutOf(const CMenuItemView& item, const std::u16string& accel) const {
  if (!accel.empty() || item.separator || item.popup) return accel;
  return m_shortcut ? m_shortcut(item.id) : accel;
}

UINT TerminalUser::RunMenu(const std::vector<CMenuItemView>& items, int x, int y) {
  int current = -1;
  for (size_t i = 0; i < items.size(); ++i)
    if (Selectable(items[i])) {
      current = static_cast<int>(i);
      break;
    }
  Rect box;
  auto layout = [&](const CellBuffer& out) {
    int labelW = 4, accelW = 0;
    for (const CMenuItemView& item : items) {
      std::u16string label, accel;
      char16_t mn = 0;
      MenuItemTexts(item.text, label, accel, mn);
      accel = ShortcutOf(item, accel);
      labelW = std::max(labelW, DisplayWidth(label) + (item.popup ? 2 : 0));
      accelW = std::max(accelW, DisplayWidth(accel));
    }
    box.w = std::min(out.Cols(), labelW + (accelW ? accelW + 2 : 0) + 4 + 2);
    box.h = std::min(out.Rows(), static_cast<int>(items.size()) + 2);
    box.x = std::clamp(x, 0, std::max(0, out.Cols() - box.w));
    box.y = std::clamp(y, 0, std::max(0, out.Rows() - box.h));
  };
  auto paint = [&](CellBuffer& out) {
    layout(out);
    out.Fill(box, U' ', kPlain);
    out.Box(box);
    for (size_t i = 0; i < items.size() && static_cast<int>(i) < box.h - 2; ++i) {
      const CMenuItemView& item = items[i];
      const int ly = box.y + 1 + static_cast<int>(i);
      if (item.separator) {
        out.Fill(Rect{box.x + 1, ly, box.w - 2, 1}, U'─', kPlain);
        continue;
      }
      std::u16string label, accel;
      char16_t mn = 0;
      MenuItemTexts(item.text, label, accel, mn);
      accel = ShortcutOf(item, accel);
      const uint16_t style = item.enabled ? kPlain : (kGrey | kDim);
      out.Text(box.x + 1, ly, item.checked ? "*" : " ", style);
      out.Text(box.x + 3, ly, label + (item.popup ? u" >" : u""), style, box.w - 4);
      if (!accel.empty()) out.Text(box.x + box.w - 2 - DisplayWidth(accel), ly, accel, style);
      if (static_cast<int>(i) == current) out.AddStyle(Rect{box.x + 1, ly, box.w - 2, 1}, kReverse);
    }
  };
  m_layers.push_back(paint);
  struct Pop {
    std::vector<Painter>& layers;
    ~Pop() { layers.pop_back(); }
  } pop{m_layers};
  auto move = [&](int step) {
    const int n = static_cast<int>(items.size());
    for (int k = 1; k <= n; ++k) {
      const int i = ((current < 0 ? (step > 0 ? -1 : 0) : current) + step * k + n * 2) % n;
      if (Selectable(items[static_cast<size_t>(i)])) {
        current = i;
        return;
      }
    }
  };
  auto choose = [&](int i) -> std::optional<UINT> {
    if (i < 0 || i >= static_cast<int>(items.size()) || !Selectable(items[static_cast<size_t>(i)])) return std::nullopt;
    const CMenuItemView& item = items[static_cast<size_t>(i)];
    if (item.popup) {
      const UINT id = RunMenu(item.items, box.x + box.w - 1, box.y + 1 + i);
      if (id == 0) return std::nullopt;
      return id;
    }
    return item.id;
  };
  for (;;) {
    CellBuffer& out = m_display.Canvas();
    PaintLayers(out);
    m_display.Present();
    const Event e = NextEvent();
    if (e.type == Event::Type::Quit) return 0;
    if (e.type == Event::Type::Mouse) {
      const bool inside = box.Contains(e.x, e.y);
      const int i = e.y - box.y - 1;
      if (!inside) {
        if (e.action == MouseAction::Press) return 0;
        continue;
      }
      if (i >= 0 && i < static_cast<int>(items.size())) {
        if (Selectable(items[static_cast<size_t>(i)])) current = i;
        if (e.action == MouseAction::Release && (e.button == MouseButton::Left || e.button == MouseButton::Right)) {
          if (auto id = choose(i)) return *id;
        }
      }
      continue;
    }
    if (e.type != Event::Type::Key) continue;
    switch (e.key) {
      case Key::Up:
        move(-1);
        break;
      case Key::Down:
        move(1);
        break;
      case Key::Home:
        current = -1;
        move(1);
        break;
      case Key::End:
        current = -1;
        move(-1);
        break;
      case Key::Right:
        if (current >= 0 && items[static_cast<size_t>(current)].popup)
          if (auto id = choose(current)) return *id;
        break;
      case Key::Enter:
        if (auto id = choose(current)) return *id;
        break;
      case Key::Escape:
      case Key::Left:
      case Key::F9:
      case Key::Menu:
        return 0;
      case Key::Char: {
        if (e.ch == U' ') {
          if (auto id = choose(current)) return *id;
          break;
        }
        for (size_t i = 0; i < items.size(); ++i) {
          std::u16string label, accel;
          char16_t mn = 0;
          MenuItemTexts(items[i].text, label, accel, mn);
          const char32_t lower = (mn >= u'A' && mn <= u'Z') ? mn + 32 : mn;
          if (mn != 0 && (e.ch == mn || e.ch == lower)) {
            if (auto id = choose(static_cast<int>(i))) return *id;
          }
        }
        break;
      }
      default:
        break;
    }
  }
}

void TerminalUser::OperateDialog(CModalSession& dialog) {
  if (m_quit) return;  // doing nothing closes it as cancelled
  DialogView view(*this, dialog);
  view.Run();
}

}  // namespace termui
