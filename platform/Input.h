#pragma once

#include <string>

#include "platform/WinTypes.h"

// The pointer and the keyboard. A test or host moves the pointer and presses
// buttons and keys through the Input functions; they deliver the messages a
// person's hand would cause, in the same order: to the window with the mouse
// capture when there is one, else to the window named. Positions are in the
// client coordinates of the window named.

namespace daru {
DARU_API BOOL GetCursorPos(LPPOINT lpPoint);
DARU_API BOOL SetCursorPos(int x, int y);

// Mouse buttons currently held, as MK_ flags.
DARU_API UINT DaruMouseButtons();
// Keyboard modifiers held (MK_SHIFT, MK_CONTROL) for the next mouse messages.
DARU_API void DaruSetModifierKeys(UINT mkFlags);
// Whether a key is down: the high bit set for VK_SHIFT / VK_CONTROL while held.
DARU_API short GetKeyState(int nVirtKey);

DARU_API void InputMouseMove(HWND hWnd, POINT pt);
DARU_API void InputLButtonDown(HWND hWnd, POINT pt);
DARU_API void InputLButtonUp(HWND hWnd, POINT pt);
DARU_API void InputRButtonDown(HWND hWnd, POINT pt);
DARU_API void InputRButtonUp(HWND hWnd, POINT pt);
// Down and up.
DARU_API void InputClick(HWND hWnd, POINT pt);
DARU_API void InputRightClick(HWND hWnd, POINT pt);
// Down, up, double-click, up: what the system sends for a double click.
DARU_API void InputDoubleClick(HWND hWnd, POINT pt);
// Key down and up, sent to the window with the keyboard focus (or hWnd when given).
DARU_API void InputKey(UINT vk, HWND hWnd = nullptr);
}  // namespace daru
using daru::DaruMouseButtons;
using daru::DaruSetModifierKeys;
using daru::GetCursorPos;
using daru::GetKeyState;
using daru::InputClick;
using daru::InputDoubleClick;
using daru::InputKey;
using daru::InputLButtonDown;
using daru::InputLButtonUp;
using daru::InputMouseMove;
using daru::InputRButtonDown;
using daru::InputRButtonUp;
using daru::InputRightClick;
using daru::SetCursorPos;

// Tests only: no button or modifier held and the cursor at 0, 0 again.
void DaruResetInputState();
