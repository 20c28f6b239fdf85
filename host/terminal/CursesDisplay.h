#pragma once

#include <chrono>
#include <string>

#include "terminal/Display.h"

// The terminal through ncurses. Mouse reports are asked for and read in the
// SGR form (press, release and motion with a button held, any size of
// terminal) and parsed here, so they do not depend on the terminal
// description knowing them.

namespace termui {

class CursesDisplay : public IDisplay {
 public:
  CursesDisplay() = default;
  ~CursesDisplay() override;
  CursesDisplay(const CursesDisplay&) = delete;
  CursesDisplay& operator=(const CursesDisplay&) = delete;

  // Takes over the terminal; false (with the terminal untouched) when there is none.
  bool Start(std::string* error);
  // Gives the terminal back as it was; safe to call more than once.
  void Stop();
  bool Started() const { return m_started; }

  CellBuffer& Canvas() override { return m_canvas; }
  void Present(int cursorX, int cursorY) override;
  Event Next(int timeoutMs) override;
  bool HasColour() const override { return m_colour; }

  // Called from a signal handler: the next Next returns a Quit event.
  static void RequestQuit();
  // Restores the terminal from a fatal-signal handler (best effort).
  static void EmergencyRestore();

 private:
  Event ReadEscape();
  int ReadByte(int timeoutMs);
  Event ParseMouse();
  void ApplySize();

  CellBuffer m_canvas;
  bool m_started = false;
  bool m_colour = false;
  std::chrono::steady_clock::time_point m_lastPress{};
  int m_lastPressX = -1, m_lastPressY = -1;
};

}  // namespace termui
