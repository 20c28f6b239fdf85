#include "terminal/CursesDisplay.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>

namespace termui {

namespace {

// Mouse: report presses and releases (1000), motion while a button is held
// (1002), in the SGR encoding (1006).
constexpr char kMouseOn[] = "\033[?1000h\033[?1002h\033[?1006h";
constexpr char kMouseOff[] = "\033[?1006l\033[?1002l\033[?1000l";

constexpr int kDoubleClickMs = 400;

std::atomic<bool> g_quit{false};
std::atomic<bool> g_active{false};

enum Pair : short { kPairRed = 1, kPairAccent = 2, kPairGrey = 3, kPairAccentRed = 4 };

void WriteRaw(const char* text, size_t size) {
  // Best effort: a terminal that is gone cannot be restored anyway.
  if (::write(STDOUT_FILENO, text, size) < 0) return;
}

}  // namespace

CursesDisplay::~CursesDisplay() { Stop(); }

bool CursesDisplay::Start(std::string* error) {
  if (m_started) return true;
  if (!::isatty(STDIN_FILENO) || !::isatty(STDOUT_FILENO)) {
    if (error) *error = "daru ui needs a terminal";
    return false;
  }
  // newterm rather than initscr: initscr exits the program when the terminal is unknown.
  SCREEN* screen = newterm(nullptr, stdout, stdin);
  if (screen == nullptr) {
    if (error) *error = "the terminal type is unknown to ncurses (check TERM)";
    return false;
  }
  set_term(screen);
  m_started = true;
  g_active = true;
  raw();  // Ctrl-C arrives as a key, so leaving always takes the orderly way
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  set_escdelay(25);
  curs_set(0);
  m_colour = has_colors();
  if (m_colour) {
    start_color();
    use_default_colors();
    init_pair(kPairRed, COLOR_RED, -1);
    init_pair(kPairAccent, COLOR_BLACK, COLOR_CYAN);
    init_pair(kPairGrey, COLORS >= 16 ? 8 : COLOR_BLUE, -1);
    init_pair(kPairAccentRed, COLOR_RED, COLOR_CYAN);
  }
  ::fflush(stdout);
  WriteRaw(kMouseOn, sizeof kMouseOn - 1);
  ApplySize();
  return true;
}

void CursesDisplay::Stop() {
  if (!m_started) return;
  m_started = false;
  g_active = false;
  WriteRaw(kMouseOff, sizeof kMouseOff - 1);
  curs_set(1);
  endwin();
  ::fflush(stdout);
}

void CursesDisplay::RequestQuit() { g_quit = true; }

void CursesDisplay::EmergencyRestore() {
  if (!g_active.exchange(false)) return;
  WriteRaw(kMouseOff, sizeof kMouseOff - 1);
  endwin();
}

void CursesDisplay::ApplySize() {
  int rows = 0, cols = 0;
  getmaxyx(stdscr, rows, cols);
  if (rows != m_canvas.Rows() || cols != m_canvas.Cols()) m_canvas.Resize(cols, rows);
}

void CursesDisplay::Present(int cursorX, int cursorY) {
  if (!m_started) return;
  for (int y = 0; y < m_canvas.Rows(); ++y) {
    for (int x = 0; x < m_canvas.Cols(); ++x) {
      const Cell& c = m_canvas.At(x, y);
      if (c.ch == 0) continue;
      attr_t attr = A_NORMAL;
      short pair = 0;
      if (c.style & kBold) attr |= A_BOLD;
      if (c.style & kReverse) attr |= A_REVERSE;
      if (c.style & kUnderline) attr |= A_UNDERLINE;
      if (c.style & kDim) attr |= A_DIM;
      if (m_colour) {
        if (c.style & kAccent)
          pair = (c.style & kRed) ? kPairAccentRed : kPairAccent;
        else if (c.style & kRed)
          pair = kPairRed;
        else if (c.style & kGrey)
          pair = kPairGrey;
      } else {
        if (c.style & kAccent) attr |= A_REVERSE;
        if (c.style & kRed) attr |= A_UNDERLINE | A_BOLD;
        if (c.style & kGrey) attr |= A_DIM;
      }
      wchar_t text[2] = {static_cast<wchar_t>(c.ch), 0};
      cchar_t cc;
      setcchar(&cc, text, attr, pair, nullptr);
      mvwadd_wch(stdscr, y, x, &cc);
    }
  }
  if (cursorX >= 0 && cursorY >= 0) {
    wmove(stdscr, cursorY, cursorX);
    curs_set(1);
  } else {
    curs_set(0);
  }
  wnoutrefresh(stdscr);
  doupdate();
}

int CursesDisplay::ReadByte(int timeoutMs) {
  wtimeout(stdscr, timeoutMs);
  wint_t ch = 0;
  const int r = wget_wch(stdscr, &ch);
  if (r == ERR) return -1;
  if (r == KEY_CODE_YES) return -2;  // a function key inside a sequence: not ours
  return static_cast<int>(ch);
}

Event CursesDisplay::ParseMouse() {
  // After "ESC [ <": button ; column ; row, then M (press or motion) or m (release).
  int fields[3] = {0, 0, 0};
  int index = 0;
  int ch = 0;
  while ((ch = ReadByte(50)) >= 0) {
    if (ch >= '0' && ch <= '9') {
      fields[index] = fields[index] * 10 + (ch - '0');
      if (fields[index] > 100000) return Event{};
    } else if (ch == ';' && index < 2) {
      ++index;
    } else {
      break;
    }
  }
  if (ch != 'M' && ch != 'm') return Event{};
  const int b = fields[0];
  Event e;
  e.type = Event::Type::Mouse;
  e.x = fields[1] - 1;
  e.y = fields[2] - 1;
  e.shift = (b & 4) != 0;
  e.alt = (b & 8) != 0;
  e.ctrl = (b & 16) != 0;
  const int button = b & 3;
  if (b & 64) {
    e.action = button == 0 ? MouseAction::WheelUp : MouseAction::WheelDown;
    e.button = MouseButton::None;
    return e;
  }
  e.button = button == 0   ? MouseButton::Left
             : button == 1 ? MouseButton::Middle
             : button == 2 ? MouseButton::Right
                           : MouseButton::None;
  if (ch == 'm') {
    e.action = MouseAction::Release;
  } else if (b & 32) {
    e.action = MouseAction::Drag;
  } else {
    e.action = MouseAction::Press;
    if (e.button == MouseButton::Left) {
      const auto now = std::chrono::steady_clock::now();
      const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastPress).count();
      e.doubleClick = since < kDoubleClickMs && e.x == m_lastPressX && e.y == m_lastPressY;
      // A third press starts over rather than making a second double click.
      m_lastPress = e.doubleClick ? std::chrono::steady_clock::time_point{} : now;
      m_lastPressX = e.x;
      m_lastPressY = e.y;
    }
  }
  return e;
}

Event CursesDisplay::ReadEscape() {
  const int next = ReadByte(30);
  if (next < 0) return Event::OfKey(Key::Escape);
  if (next == '[') {
    const int third = ReadByte(30);
    if (third == '<') return ParseMouse();
    // Shift-Tab on terminals whose description does not name it.
    if (third == 'Z') return Event::OfKey(Key::BackTab);
    // Some other sequence the terminal description did not name: skip it.
    for (int ch = third; ch >= 0 && !(ch >= 0x40 && ch <= 0x7E); ch = ReadByte(30)) {
    }
    return Event{};
  }
  Event e = Event::OfChar(static_cast<char32_t>(next));
  e.alt = true;
  return e;
}

Event CursesDisplay::Next(int timeoutMs) {
  if (g_quit) {
    Event e;
    e.type = Event::Type::Quit;
    return e;
  }
  wtimeout(stdscr, timeoutMs);
  wint_t ch = 0;
  const int r = wget_wch(stdscr, &ch);
  if (r == ERR) {
    Event e;
    if (g_quit) e.type = Event::Type::Quit;
    return e;
  }
  if (r == KEY_CODE_YES) {
    switch (ch) {
      case KEY_RESIZE: {
        ApplySize();
        Event e;
        e.type = Event::Type::Resize;
        return e;
      }
      case KEY_UP:
        return Event::OfKey(Key::Up);
      case KEY_DOWN:
        return Event::OfKey(Key::Down);
      case KEY_LEFT:
        return Event::OfKey(Key::Left);
      case KEY_RIGHT:
        return Event::OfKey(Key::Right);
      case KEY_HOME:
        return Event::OfKey(Key::Home);
      case KEY_END:
        return Event::OfKey(Key::End);
      case KEY_PPAGE:
        return Event::OfKey(Key::PageUp);
      case KEY_NPAGE:
        return Event::OfKey(Key::PageDown);
      case KEY_BTAB:
        return Event::OfKey(Key::BackTab);
      case KEY_ENTER:
        return Event::OfKey(Key::Enter);
      case KEY_BACKSPACE:
        return Event::OfKey(Key::Backspace);
      case KEY_DC:
        return Event::OfKey(Key::Delete);
      case KEY_IC:
        return Event::OfKey(Key::Insert);
      case KEY_F(1):
        return Event::OfKey(Key::F1);
      case KEY_F(2):
        return Event::OfKey(Key::F2);
      case KEY_F(5):
        return Event::OfKey(Key::F5);
      case KEY_F(9):
        return Event::OfKey(Key::F9);
      case KEY_F(10):
        return Event::OfKey(Key::F10);
      case KEY_F(16):  // the Menu key of xterm-like terminals
      case KEY_F(22):  // Shift+F10
        return Event::OfKey(Key::Menu);
      default:
        return Event{};
    }
  }
  switch (ch) {
    case 27:
      return ReadEscape();
    case '\r':
    case '\n':
      return Event::OfKey(Key::Enter);
    case '\t':
      return Event::OfKey(Key::Tab);
    case 127:
    case 8:
      return Event::OfKey(Key::Backspace);
    case 3:
      return Event::OfKey(Key::CtrlC);
    case 12:
      return Event::OfKey(Key::CtrlL);
    default:
      break;
  }
  if (ch < 0x20) return Event{};
  return Event::OfChar(static_cast<char32_t>(ch));
}

}  // namespace termui
