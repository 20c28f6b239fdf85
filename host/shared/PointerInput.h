#pragma once

#include <functional>

#include "shared/HostPlatform.h"

// A person's pointer as the windows get it. Hosts tell which window and
// point an event lands on; this sends the messages a hand on the desktop
// would cause, in the same order: a press to the window under the pointer,
// the moves while a button is held and the release to the window the press
// went to (the platform hands them to the window with the capture), the
// second press of a double click as WM_LBUTTONDBLCLK, the wheel as scroll
// lines.

namespace hostshared {

enum class PointerButton { Left, Right, Middle };

// Where an event lands: a window and a point in its client area.
struct PointerTarget {
  HWND hwnd = nullptr;
  CPoint pt{0, 0};
};

class PointerRouter {
 public:
  // Converts the pointer's position now into a point of the window given,
  // for the moves and releases that belong to an earlier press.
  using PointIn = std::function<CPoint(HWND)>;

  void Press(PointerButton button, const PointerTarget& target, bool doubleClick);
  // A move with a button held reaches the window the press went to; without
  // one, the window under the pointer (which may be none).
  void Move(const PointerTarget& under, const PointIn& pointIn);
  void Release(PointerButton button, const PointIn& pointIn);
  // The window a left press went to and has not been released on yet.
  HWND LeftPressTarget() const { return m_left; }

 private:
  HWND m_left = nullptr;   // the window a left press went to, for its moves and release
  HWND m_right = nullptr;  // the same for the right button
};

// Wheel notches: negative up. Each notch scrolls three lines.
void Wheel(HWND target, int notches);

// The deepest visible child of the window under a point of its client area
// (the list's header, for one), with the point in that child's client area.
PointerTarget ChildAt(HWND window, CPoint pt);

// Tells a second press from a first: the same button within the time and
// distance the person's settings allow.
class DoubleClickDetector {
 public:
  DoubleClickDetector(unsigned timeMs, int distance) : m_time(timeMs), m_distance(distance) {}
  bool Press(PointerButton button, unsigned long long timeMs, int x, int y);

 private:
  unsigned m_time;
  int m_distance;
  bool m_armed = false;
  PointerButton m_button = PointerButton::Left;
  unsigned long long m_lastTime = 0;
  int m_x = 0, m_y = 0;
};

// Whether a link may be handed to the desktop's opener: http, https and ftp
// only. Anything else (file:, javascript:, a program's own schemes) could run
// or read something on this machine when a captured page carries it.
bool SafeToOpen(const std::u16string& url);

}  // namespace hostshared
