#pragma once

#include "terminal/CellBuffer.h"

// The terminal as the host sees it: a picture to draw and present, and the
// person's keys and mouse as events. The ncurses terminal is one; tests use
// a scripted one that records what was presented.

namespace termui {

enum class Key {
  None,
  Char,  // a printable character, in Event::ch
  Enter,
  Escape,
  Tab,
  BackTab,
  Backspace,
  Delete,
  Insert,
  Up,
  Down,
  Left,
  Right,
  Home,
  End,
  PageUp,
  PageDown,
  F1,
  F2,
  F5,
  F9,
  F10,
  Menu,  // the context-menu key, or Shift+F10
  CtrlC,
  CtrlL,
};

enum class MouseAction { Press, Release, Drag, WheelUp, WheelDown };
enum class MouseButton { Left, Middle, Right, None };

struct Event {
  enum class Type { None, Key, Mouse, Resize, Quit };
  Type type = Type::None;
  Key key = Key::None;
  char32_t ch = 0;
  MouseAction action = MouseAction::Press;
  MouseButton button = MouseButton::None;
  int x = 0, y = 0;  // cell, 0-based
  bool shift = false, ctrl = false, alt = false;
  bool doubleClick = false;  // a press that completes a double click

  static Event OfKey(Key k) {
    Event e;
    e.type = Type::Key;
    e.key = k;
    return e;
  }
  static Event OfChar(char32_t c) {
    Event e;
    e.type = Type::Key;
    e.key = Key::Char;
    e.ch = c;
    return e;
  }
  static Event OfMouse(MouseAction a, MouseButton b, int x, int y) {
    Event e;
    e.type = Type::Mouse;
    e.action = a;
    e.button = b;
    e.x = x;
    e.y = y;
    return e;
  }
};

class IDisplay {
 public:
  virtual ~IDisplay() = default;
  // The picture being drawn, sized to the terminal.
  virtual CellBuffer& Canvas() = 0;
  // Shows the picture; the cursor goes to (x, y) when visible.
  virtual void Present(int cursorX = -1, int cursorY = -1) = 0;
  // The next event, waiting at most timeoutMs (-1: without limit); a None
  // event when the time ran out.
  virtual Event Next(int timeoutMs) = 0;
  // Whether the terminal shows colours (else styles become bold, underline and reverse).
  virtual bool HasColour() const = 0;
};

}  // namespace termui
