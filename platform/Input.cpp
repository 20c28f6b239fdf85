#include "platform/Input.h"

#include "platform/Wnd.h"

namespace {

struct InputState {
  POINT cursor{0, 0};
  UINT buttons = 0;
  UINT modifiers = 0;
};

InputState& State() {
  static InputState state;
  return state;
}

// Delivers a mouse message for a point in hWnd's client coordinates, to the
// capture window when there is one.
void Mouse(HWND hWnd, POINT pt, UINT message) {
  CWnd* w = CWnd::FromHandle(hWnd);
  if (w == nullptr) return;
  CPoint screen(pt);
  w->ClientToScreen(&screen);
  State().cursor = screen;
  HWND target = GetCapture() ? GetCapture() : hWnd;
  CWnd* t = CWnd::FromHandle(target);
  if (t == nullptr) return;
  CPoint client(screen);
  t->ScreenToClient(&client);
  const WPARAM keys = State().buttons | State().modifiers;
  SendMessage(target, message, keys, MAKELPARAM(client.x, client.y));
}

}  // namespace

BOOL daru::GetCursorPos(LPPOINT lpPoint) {
  if (lpPoint == nullptr) return FALSE;
  *lpPoint = State().cursor;
  return TRUE;
}

BOOL daru::SetCursorPos(int x, int y) {
  State().cursor = POINT{x, y};
  return TRUE;
}

UINT daru::DaruMouseButtons() { return State().buttons; }

void DaruResetInputState() { State() = InputState(); }
void daru::DaruSetModifierKeys(UINT mkFlags) { State().modifiers = mkFlags & (MK_SHIFT | MK_CONTROL); }

short daru::GetKeyState(int nVirtKey) {
  const UINT m = State().modifiers;
  if ((nVirtKey == static_cast<int>(VK_SHIFT) && (m & MK_SHIFT)) ||
      (nVirtKey == static_cast<int>(VK_CONTROL) && (m & MK_CONTROL)))
    return static_cast<short>(0x8000);
  return 0;
}

void daru::InputMouseMove(HWND hWnd, POINT pt) { Mouse(hWnd, pt, WM_MOUSEMOVE); }

void daru::InputLButtonDown(HWND hWnd, POINT pt) {
  State().buttons |= MK_LBUTTON;
  Mouse(hWnd, pt, WM_LBUTTONDOWN);
}

void daru::InputLButtonUp(HWND hWnd, POINT pt) {
  State().buttons &= ~MK_LBUTTON;
  Mouse(hWnd, pt, WM_LBUTTONUP);
}

void daru::InputRButtonDown(HWND hWnd, POINT pt) {
  State().buttons |= MK_RBUTTON;
  Mouse(hWnd, pt, WM_RBUTTONDOWN);
}

void daru::InputRButtonUp(HWND hWnd, POINT pt) {
  State().buttons &= ~MK_RBUTTON;
  Mouse(hWnd, pt, WM_RBUTTONUP);
}

void daru::InputClick(HWND hWnd, POINT pt) {
  InputLButtonDown(hWnd, pt);
  InputLButtonUp(hWnd, pt);
}

void daru::InputRightClick(HWND hWnd, POINT pt) {
  InputRButtonDown(hWnd, pt);
  InputRButtonUp(hWnd, pt);
}

void daru::InputDoubleClick(HWND hWnd, POINT pt) {
  InputLButtonDown(hWnd, pt);
  InputLButtonUp(hWnd, pt);
  State().buttons |= MK_LBUTTON;
  Mouse(hWnd, pt, WM_LBUTTONDBLCLK);
  InputLButtonUp(hWnd, pt);
}

void daru::InputKey(UINT vk, HWND hWnd) {
  HWND target = hWnd ? hWnd : GetFocus();
  if (target == nullptr) return;
  SendMessage(target, WM_KEYDOWN, vk, 1);
  if (IsWindow(target)) SendMessage(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
}
