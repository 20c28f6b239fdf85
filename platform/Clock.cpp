#include "platform/Clock.h"

#include <algorithm>
#include <vector>

#include "platform/Wnd.h"

namespace {

struct Timer {
  HWND wnd;
  UINT_PTR id;
  UINT period;
  unsigned long long due;  // on the 64-bit clock, so tick-count wrap-around does not disturb the order
  unsigned long long seq;  // order of setting, for timers due at the same moment
};

struct ClockState {
  unsigned long long now = 0;
  DWORD tickBase = 0;  // GetTickCount() == tickBase + now (mod 2^32)
  unsigned long long seq = 0;
  std::vector<Timer> timers;
};

ClockState& State() {
  static ClockState* state = new ClockState;
  return *state;
}

}  // namespace

DWORD daru::GetTickCount() { return static_cast<DWORD>(State().tickBase + State().now); }

void DaruSetTickCount(DWORD ticks) { State().tickBase = static_cast<DWORD>(ticks - static_cast<DWORD>(State().now)); }

void DaruAdvanceClock(DWORD milliseconds) {
  ClockState& s = State();
  const unsigned long long target = s.now + milliseconds;
  for (;;) {
    auto next = std::min_element(s.timers.begin(), s.timers.end(), [](const Timer& a, const Timer& b) {
      return a.due != b.due ? a.due < b.due : a.seq < b.seq;
    });
    if (next == s.timers.end() || next->due > target) break;
    s.now = next->due;
    const HWND wnd = next->wnd;
    const UINT_PTR id = next->id;
    next->due += next->period;
    next->seq = ++s.seq;
    SendMessage(wnd, WM_TIMER, id, 0);
  }
  s.now = target;
}

UINT_PTR daru::SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse) {
  if (!IsWindow(hWnd)) return 0;
  ClockState& s = State();
  const UINT period = std::max<UINT>(uElapse, 10);
  const UINT_PTR id = nIDEvent == 0 ? 1 : nIDEvent;
  for (Timer& t : s.timers) {
    if (t.wnd == hWnd && t.id == id) {
      t.period = period;
      t.due = s.now + period;
      t.seq = ++s.seq;
      return id;
    }
  }
  s.timers.push_back(Timer{hWnd, id, period, s.now + period, ++s.seq});
  return id;
}

BOOL daru::KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  auto& timers = State().timers;
  auto it =
      std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.wnd == hWnd && t.id == uIDEvent; });
  if (it == timers.end()) return FALSE;
  timers.erase(it);
  return TRUE;
}

void DaruKillWindowTimers(HWND hWnd) {
  auto& timers = State().timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.wnd == hWnd; }),
               timers.end());
}

BOOL DaruHasTimer(HWND hWnd, UINT_PTR nIDEvent, UINT* pElapse) {
  for (const Timer& t : State().timers) {
    if (t.wnd == hWnd && t.id == nIDEvent) {
      if (pElapse != nullptr) *pElapse = t.period;
      return TRUE;
    }
  }
  return FALSE;
}

long long DaruNextTimerDue() {
  const ClockState& s = State();
  if (s.timers.empty()) return -1;
  unsigned long long due = s.timers.front().due;
  for (const Timer& t : s.timers) due = std::min(due, t.due);
  return static_cast<long long>(due - s.now);
}
