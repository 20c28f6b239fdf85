#include "shared/PointerInput.h"

#include <cstdlib>

#include "shared/OpenableLink.h"

namespace hostshared {

void PointerRouter::Press(PointerButton button, const PointerTarget& t, bool doubleClick) {
  // A press on no window still ends what an earlier press of the button held.
  if (button == PointerButton::Left) m_left = nullptr;
  if (button == PointerButton::Right) m_right = nullptr;
  if (t.hwnd == nullptr || !IsWindow(t.hwnd)) return;
  if (button == PointerButton::Left) {
    m_left = t.hwnd;
    if (doubleClick) {
      // The first click already went down and up; the second press is the double click.
      CPoint screen(t.pt);
      ::ClientToScreen(t.hwnd, &screen);
      SetCursorPos(screen.x, screen.y);
      ::SendMessage(t.hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(t.pt.x, t.pt.y));
    } else {
      InputLButtonDown(t.hwnd, t.pt);
    }
  } else if (button == PointerButton::Right) {
    m_right = t.hwnd;
    InputRButtonDown(t.hwnd, t.pt);
  }
}

void PointerRouter::Move(const PointerTarget& under, const PointIn& pointIn) {
  const HWND held = m_left != nullptr ? m_left : m_right;
  if (held != nullptr) {
    if (IsWindow(held)) InputMouseMove(held, pointIn(held));
    return;
  }
  if (under.hwnd != nullptr && IsWindow(under.hwnd)) InputMouseMove(under.hwnd, under.pt);
}

void PointerRouter::Release(PointerButton button, const PointIn& pointIn) {
  HWND& pressed = button == PointerButton::Left ? m_left : m_right;
  const HWND target = pressed;
  pressed = nullptr;
  if (target == nullptr || !IsWindow(target)) return;
  if (button == PointerButton::Left) InputLButtonUp(target, pointIn(target));
  if (button == PointerButton::Right) InputRButtonUp(target, pointIn(target));
}

void Wheel(HWND target, int notches) {
  if (target == nullptr || notches == 0) return;
  const UINT code = notches < 0 ? SB_LINEUP : SB_LINEDOWN;
  for (int i = 0; i < 3 * std::abs(notches) && IsWindow(target); ++i)
    ::SendMessage(target, WM_VSCROLL, MAKEWPARAM(code, 0), 0);
}

PointerTarget ChildAt(HWND window, CPoint pt) {
  PointerTarget t{window, pt};
  CWnd* w = CWnd::FromHandle(window);
  while (w != nullptr) {
    CWnd* inner = nullptr;
    for (CWnd* c : w->GetChildren()) {
      CRect r;
      c->GetWindowRect(&r);
      w->ScreenToClient(&r);
      if (c->IsWindowVisible() && r.PtInRect(t.pt)) {
        inner = c;
        t.pt.Offset(-r.left, -r.top);
        t.hwnd = c->GetSafeHwnd();
        break;
      }
    }
    w = inner;
  }
  return t;
}

bool DoubleClickDetector::Press(PointerButton button, unsigned long long timeMs, int x, int y) {
  const bool twice = m_armed && button == m_button && timeMs - m_lastTime <= m_time &&
                     std::abs(x - m_x) <= m_distance && std::abs(y - m_y) <= m_distance;
  // A third press starts over rather than making a second double click.
  m_armed = !twice;
  m_button = button;
  m_lastTime = timeMs;
  m_x = x;
  m_y = y;
  return twice;
}

bool SafeToOpen(const std::u16string& url) { return IsOpenableLink(ToUtf8(url)); }

}  // namespace hostshared
