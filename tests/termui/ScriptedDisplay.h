#pragma once

#include <deque>
#include <functional>
#include <string>

#include "terminal/Display.h"

// A terminal for tests: the person's events come from a script, and every
// picture presented is kept as text. Running out of script ends the run the
// way a person leaving would, and counts as a failure of the test.
class ScriptedDisplay : public termui::IDisplay {
 public:
  explicit ScriptedDisplay(int cols = 80, int rows = 24) : m_canvas(cols, rows) {}

  ScriptedDisplay& Key(termui::Key k) {
    m_events.push_back(termui::Event::OfKey(k));
    return *this;
  }
  ScriptedDisplay& Type(const char32_t* text) {
    for (; *text; ++text) m_events.push_back(termui::Event::OfChar(*text));
    return *this;
  }
  ScriptedDisplay& Click(int x, int y, termui::MouseButton b = termui::MouseButton::Left) {
    m_events.push_back(termui::Event::OfMouse(termui::MouseAction::Press, b, x, y));
    m_events.push_back(termui::Event::OfMouse(termui::MouseAction::Release, b, x, y));
    return *this;
  }
  // Runs the check against the screen when the script reaches this point.
  ScriptedDisplay& Then(std::function<void(const termui::CellBuffer&)> check) {
    m_checks.emplace_back(m_events.size(), std::move(check));
    return *this;
  }

  termui::CellBuffer& Canvas() override { return m_canvas; }
  void Present(int cursorX, int cursorY) override {
    m_screen = m_canvas.Dump();
    m_cursorX = cursorX;
    m_cursorY = cursorY;
    ++m_presents;
  }
  termui::Event Next(int) override {
    while (!m_checks.empty() && m_checks.front().first <= m_taken) {
      m_checks.front().second(m_canvas);
      m_checks.pop_front();
    }
    if (m_events.empty()) {
      m_ranOut = true;
      termui::Event e;
      e.type = termui::Event::Type::Quit;
      return e;
    }
    ++m_taken;
    termui::Event e = m_events.front();
    m_events.pop_front();
    return e;
  }
  bool HasColour() const override { return true; }

  const std::string& Screen() const { return m_screen; }
  bool RanOut() const { return m_ranOut; }
  size_t Pending() const { return m_events.size(); }
  int CursorX() const { return m_cursorX; }
  int CursorY() const { return m_cursorY; }

 private:
  termui::CellBuffer m_canvas;
  std::deque<termui::Event> m_events;
  std::deque<std::pair<size_t, std::function<void(const termui::CellBuffer&)>>> m_checks;
  size_t m_taken = 0;
  std::string m_screen;
  int m_cursorX = -1, m_cursorY = -1;
  int m_presents = 0;
  bool m_ranOut = false;
};
