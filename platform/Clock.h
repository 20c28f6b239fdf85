#pragma once

#include "platform/WinTypes.h"

// A virtual clock behind GetTickCount and the window timers. Time moves only
// when a test or host advances it; the timers due on the way fire in time
// order (ties in the order they were set), each delivered as WM_TIMER to its
// window at the moment it is due.

namespace daru {
DARU_API DWORD GetTickCount();
}  // namespace daru
using daru::GetTickCount;
// Moves the clock forward, firing every timer that falls due on the way.
DARU_API void DaruAdvanceClock(DWORD milliseconds);
// Sets the tick count (for tests of wrap-around); pending timers keep their remaining time.
void DaruSetTickCount(DWORD ticks);  // tests only

namespace daru {
// Window timers. A period below 10 ms counts as 10 ms. Setting a timer that
// already runs for the window and id restarts it. Returns the id (never 0)
// on success, 0 for an invalid window.
DARU_API UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse);
DARU_API BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);
}  // namespace daru
using daru::KillTimer;
using daru::SetTimer;
// Kills every timer of the window (its destruction does this).
DARU_API void DaruKillWindowTimers(HWND hWnd);
// Whether the window has that timer running, and its period.
DARU_API BOOL DaruHasTimer(HWND hWnd, UINT_PTR nIDEvent, UINT* pElapse = nullptr);
// Milliseconds until the next timer is due; -1 when none runs.
DARU_API long long DaruNextTimerDue();
