#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlatformFixture.h"
#include "platform/Clock.h"

namespace {

class TimerTest : public PlatformTest {
 protected:
  // Records "id@tick" for each WM_TIMER; the handler may act on it.
  std::vector<std::string> fired;
  std::function<void(UINT_PTR)> onTimer;
  CHostWnd timed{[this](UINT m, WPARAM w, LPARAM) -> LRESULT {
    if (m == WM_TIMER) {
      fired.push_back(std::to_string(w) + "@" + std::to_string(GetTickCount() - start));
      if (onTimer) onTimer(w);
    }
    return 0;
  }};
  DWORD start = GetTickCount();

  TimerTest() { timed.CreateEx(0, nullptr, u"t", WS_CHILD, CRect(0, 0, 1, 1), &frame, 1); }
};

}  // namespace

TEST_F(TimerTest, TimersFireInTimeOrderAsTheClockAdvances) {
  EXPECT_EQ(timed.SetTimer(2, 40), 2u);
  EXPECT_EQ(timed.SetTimer(1, 100), 1u);
  DaruAdvanceClock(30);
  EXPECT_TRUE(fired.empty());
  DaruAdvanceClock(100);  // to 130
  EXPECT_EQ(fired, (std::vector<std::string>{"2@40", "2@80", "1@100", "2@120"}));
  EXPECT_EQ(GetTickCount() - start, 130u);
  EXPECT_EQ(DaruNextTimerDue(), 30);  // timer 2 at 160
}

TEST_F(TimerTest, HandlersMayKillAndRestartTimers) {
  timed.SetTimer(1, 800);
  timed.SetTimer(2, 40);
  onTimer = [&](UINT_PTR id) {
    if (id == 1) timed.KillTimer(1);  // the hover timer stops itself
    if (id == 2 && fired.size() == 3) timed.SetTimer(1, 800);
  };
  DaruAdvanceClock(1000);
  // Timer 1 restarted at 120 by the third tick of timer 2, so it fires at 920, not 800.
  EXPECT_EQ(std::count(fired.begin(), fired.end(), "1@920"), 1);
  EXPECT_EQ(std::count(fired.begin(), fired.end(), "1@800"), 0);
  EXPECT_FALSE(DaruHasTimer(timed.m_hWnd, 1));
  EXPECT_EQ(std::count_if(fired.begin(), fired.end(), [](const std::string& s) { return s.rfind("2@", 0) == 0; }), 25);
}

TEST_F(TimerTest, ResettingATimerRestartsItsPeriodAndDestructionKillsIt) {
  timed.SetTimer(1, 100);
  DaruAdvanceClock(90);
  timed.SetTimer(1, 100);  // restarted at 90
  DaruAdvanceClock(60);
  EXPECT_TRUE(fired.empty());
  DaruAdvanceClock(40);
  EXPECT_EQ(fired, (std::vector<std::string>{"1@190"}));
  EXPECT_FALSE(timed.KillTimer(5));
  HWND h = timed.m_hWnd;
  timed.DestroyWindow();
  EXPECT_FALSE(DaruHasTimer(h, 1));
  EXPECT_EQ(SetTimer(h, 3, 10), 0u);
  DaruAdvanceClock(500);
  EXPECT_EQ(fired.size(), 1u);
}

TEST_F(TimerTest, TickDifferencesSurviveWrapAround) {
  DaruSetTickCount(0xFFFFFFF0u);
  const DWORD before = GetTickCount();
  timed.SetTimer(1, 50);
  DaruAdvanceClock(60);
  EXPECT_EQ(static_cast<DWORD>(GetTickCount() - before), 60u);
  EXPECT_LT(GetTickCount(), before);  // wrapped
  EXPECT_EQ(fired.size(), 1u);
}
