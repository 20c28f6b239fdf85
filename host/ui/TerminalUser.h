#pragma once

#include <functional>
#include <vector>

#include "ui/Display.h"
#include "ui/Platform.h"

// The person behind the platform's user seam: message boxes, popup menus,
// modal dialogs and property sheets shown in the terminal and answered with
// the keyboard and the mouse. What the person does reaches the dialogs as the
// messages their controls would get from a mouse and keyboard.

namespace termui {

class TerminalUser : public IUserInteraction {
 public:
  using Painter = std::function<void(CellBuffer&)>;
  // Converts a point in screen pixels (where a menu opens) to a cell.
  using PointToCell = std::function<void(POINT pt, int& x, int& y)>;

  explicit TerminalUser(IDisplay& display);

  // What lies under the popups: the host's screen, then any open dialogs.
  void SetBackground(Painter painter) { m_background = std::move(painter); }
  void SetPointToCell(PointToCell convert) { m_pointToCell = std::move(convert); }
  // Lets the library's timers run while the person takes their time.
  void SetIdle(std::function<int()> idle) { m_idle = std::move(idle); }

  int MessageBox(const std::u16string& text, const std::u16string& caption, UINT type) override;
  UINT TrackPopupMenu(const CPopupMenuView& menu) override;
  void OperateDialog(CModalSession& dialog) override;

  // The person asked to leave (Ctrl-C, a signal) while something modal was
  // open: it was cancelled, and the host should end.
  bool QuitRequested() const { return m_quit; }

  // Shared with the dialog view.
  void PaintLayers(CellBuffer& out);
  Event NextEvent();
  IDisplay& Display() { return m_display; }
  void PushLayer(Painter painter) { m_layers.push_back(std::move(painter)); }
  void PopLayer() { m_layers.pop_back(); }
  // A dialog, a message box or a menu is open.
  bool Modal() const { return !m_layers.empty(); }
  void RequestQuit() { m_quit = true; }

 private:
  UINT RunMenu(const std::vector<CMenuItemView>& items, int x, int y);

  IDisplay& m_display;
  Painter m_background;
  std::vector<Painter> m_layers;  // open dialogs and menus, innermost last
  PointToCell m_pointToCell;
  std::function<int()> m_idle;
  bool m_quit = false;
};

// The text of a menu item as shown: without '&' markers; the accelerator after a tab apart.
void MenuItemTexts(const std::u16string& text, std::u16string& label, std::u16string& accel, char16_t& mnemonic);

}  // namespace termui
