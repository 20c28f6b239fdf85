#include "terminal/EditField.h"

#include <algorithm>

#include "terminal/TextCells.h"

namespace termui {

namespace {

// Lines of an edit's text ("\r\n", "\n" or "\r" breaks) and the offset where each starts.
struct EditLines {
  std::vector<std::u16string> lines;
  std::vector<int> starts;
  size_t LineOf(int pos) const {
    size_t line = 0;
    for (size_t l = 0; l < starts.size(); ++l)
      if (starts[l] <= pos) line = l;
    return line;
  }
};

EditLines SplitEdit(const std::u16string& text) {
  EditLines out;
  out.starts.push_back(0);
  out.lines.emplace_back();
  const int n = static_cast<int>(text.size());
  for (int i = 0; i < n; ++i) {
    const char16_t c = text[static_cast<size_t>(i)];
    if (c == u'\r' && i + 1 < n && text[static_cast<size_t>(i) + 1] == u'\n') continue;
    if (c == u'\n' || c == u'\r') {
      out.starts.push_back(i + 1);
      out.lines.emplace_back();
      continue;
    }
    out.lines.back().push_back(c);
  }
  return out;
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// One character left or right, over a whole surrogate pair or "\r\n".
int StepLeft(const std::u16string& t, int pos) {
  if (pos <= 0) return 0;
  --pos;
  if (pos > 0 && ((IsLow(t[static_cast<size_t>(pos)]) && IsHigh(t[static_cast<size_t>(pos) - 1])) ||
                  (t[static_cast<size_t>(pos)] == u'\n' && t[static_cast<size_t>(pos) - 1] == u'\r')))
    --pos;
  return pos;
}

int StepRight(const std::u16string& t, int pos) {
  const int n = static_cast<int>(t.size());
  if (pos >= n) return n;
  const char16_t c = t[static_cast<size_t>(pos)];
  if (pos + 1 < n && ((IsHigh(c) && IsLow(t[static_cast<size_t>(pos) + 1])) ||
                      (c == u'\r' && t[static_cast<size_t>(pos) + 1] == u'\n')))
    return pos + 2;
  return pos + 1;
}

int Width(const std::u16string& line, int from, int to) {
  return DisplayWidth(line.substr(static_cast<size_t>(from), static_cast<size_t>(std::max(0, to - from))));
}

// The offset in the line at a display column counted from an offset.
int OffsetAtColumn(const std::u16string& line, int from, int column) {
  int used = 0;
  int i = from;
  while (i < static_cast<int>(line.size())) {
    const int next = StepRight(line, i);
    const int w = Width(line, i, next);
    if (used + w > column) break;
    used += w;
    i = next;
  }
  return i;
}

// Where a line shown in width columns starts so that the offset stays in view.
int ScrollFrom(const std::u16string& line, int offset, int width) {
  int from = 0;
  while (from < offset && Width(line, from, offset) > width - 1) from = StepRight(line, from);
  return from;
}

}  // namespace

void DrawEdit(CellBuffer& out, const Rect& r, const CEdit& edit, uint16_t style, bool focused, int* cursorX,
              int* cursorY) {
  out.Fill(r, U' ', style);
  const std::u16string text = edit.GetWindowText();
  int a = 0, b = 0;
  edit.GetSel(a, b);
  b = std::clamp(b, 0, static_cast<int>(text.size()));
  const EditLines el = SplitEdit(text);
  const size_t cur = el.LineOf(b);
  const int first = std::max(0, static_cast<int>(cur) - r.h + 1);
  for (int l = 0; l < r.h && first + l < static_cast<int>(el.lines.size()); ++l) {
    const size_t index = static_cast<size_t>(first + l);
    const std::u16string& line = el.lines[index];
    int from = 0;
    if (index == cur) {
      const int offset = std::min(static_cast<int>(line.size()), b - el.starts[cur]);
      from = ScrollFrom(line, offset, r.w);
      if (focused && cursorX && cursorY) {
        *cursorX = r.x + Width(line, from, offset);
        *cursorY = r.y + l;
      }
    }
    out.Text(r.x, r.y + l, line.substr(static_cast<size_t>(from)), style, r.w);
  }
}

bool EditKey(CEdit& edit, const Event& e) {
  const HWND hwnd = edit.GetSafeHwnd();
  const std::u16string text = edit.GetWindowText();
  int a = 0, b = 0;
  edit.GetSel(a, b);
  const bool multi = (edit.GetStyle() & ES_MULTILINE) != 0;
  const EditLines el = SplitEdit(text);
  const size_t line = el.LineOf(b);
  switch (e.key) {
    case Key::Char:
      if (e.alt) return false;
      if (e.ch > 0x10FFFF || (e.ch >= 0xD800 && e.ch <= 0xDFFF)) return true;
      if (e.ch > 0xFFFF) {
        // A character beyond the first plane arrives as its two UTF-16 halves, as from a keyboard.
        const char32_t v = e.ch - 0x10000;
        ::SendMessage(hwnd, WM_CHAR, static_cast<WPARAM>(0xD800 + (v >> 10)), 1);
        ::SendMessage(hwnd, WM_CHAR, static_cast<WPARAM>(0xDC00 + (v & 0x3FF)), 1);
      } else {
        ::SendMessage(hwnd, WM_CHAR, static_cast<WPARAM>(e.ch), 1);
      }
      return true;
    case Key::Backspace:
      // One character back, both halves of a pair: a lone half would be stored broken.
      if (a == b && b > 0) edit.SetSel(StepLeft(text, b), b);
      ::SendMessage(hwnd, WM_CHAR, u'\b', 1);
      return true;
    case Key::Delete:
      if (a == b) edit.SetSel(b, StepRight(text, b));
      edit.ReplaceSel(u"");
      return true;
    case Key::Left: {
      const int to = a != b ? std::min(a, b) : StepLeft(text, b);
      edit.SetSel(to, to);
      return true;
    }
    case Key::Right: {
      const int to = a != b ? std::max(a, b) : StepRight(text, b);
      edit.SetSel(to, to);
      return true;
    }
    case Key::Home: {
      const int to = multi ? el.starts[line] : 0;
      edit.SetSel(to, to);
      return true;
    }
    case Key::End: {
      const int to = multi ? el.starts[line] + static_cast<int>(el.lines[line].size()) : static_cast<int>(text.size());
      edit.SetSel(to, to);
      return true;
    }
    case Key::Up:
    case Key::Down: {
      const bool up = e.key == Key::Up;
      if (!multi || (up && line == 0) || (!up && line + 1 >= el.lines.size())) return false;
      const int column = Width(el.lines[line], 0, b - el.starts[line]);
      const size_t to = up ? line - 1 : line + 1;
      const int pos = el.starts[to] + OffsetAtColumn(el.lines[to], 0, column);
      edit.SetSel(pos, pos);
      return true;
    }
    default:
      return false;
  }
}

void EditClick(CEdit& edit, const Rect& r, int x, int y) {
  const std::u16string text = edit.GetWindowText();
  int a = 0, b = 0;
  edit.GetSel(a, b);
  const EditLines el = SplitEdit(text);
  const size_t cur = el.LineOf(b);
  const int first = std::max(0, static_cast<int>(cur) - r.h + 1);
  const size_t line = std::min(el.lines.size() - 1, static_cast<size_t>(first + std::max(0, y - r.y)));
  int from = 0;
  if (line == cur)
    from = ScrollFrom(el.lines[line], std::min<int>(static_cast<int>(el.lines[line].size()), b - el.starts[cur]), r.w);
  const int pos = el.starts[line] + OffsetAtColumn(el.lines[line], from, std::max(0, x - r.x));
  edit.SetSel(pos, pos);
}

}  // namespace termui
