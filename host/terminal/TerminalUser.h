#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "terminal/Display.h"
#include "terminal/Platform.h"

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

  // What the host adds to the windows' menus: a shortcut key shown beside a
  // command, items of its own after them (run once the menu has closed), and
  // a look at a chosen command before the window gets it (false keeps it back).
  struct HostItem {
    std::u16string text;
    std::u16string key;
    std::function<void()> run;
  };
  void SetShortcuts(std::function<std::u16string(UINT id)> shortcut) { m_shortcut = std::move(shortcut); }
  void SetHostItems(std::function<std::vector<HostItem>(const CPopupMenuView&)> items) {
    m_hostItems = std::move(items);
  }
  void SetBeforeCommand(std::function<bool(UINT id)> before) { m_beforeCommand = std::move(before); }
  // A host item chosen in the last menu, to run now; empty when none.
  std::function<void()> TakeHostAction() { return std::exchange(m_hostAction, nullptr); }
  // A message box the host shows its own way instead (true: answered OK without a box).
  void SetMessageFilter(std::function<bool(const std::u16string& text)> filter) { m_filter = std::move(filter); }

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
  // The person thought better of leaving (asked about typed text first).
  void CancelQuit() { m_quit = false; }

 private:
  static constexpr UINT kFirstHostItem = 0xFF00;  // ids of the host's own items in a menu

  UINT RunMenu(const std::vector<CMenuItemView>& items, int x, int y);
  std::u16string ShortcutOf(const CMenuItemView& item, const std::u16string& accel) const;

  IDisplay& m_display;
  Painter m_background;
  std::vector<Painter> m_layers;  // open dialogs and menus, innermost last
  PointToCell m_pointToCell;
  std::function<int()> m_idle;
  bool m_quit = false;
  std::function<std::u16string(UINT)> m_shortcut;
  std::function<std::vector<HostItem>(const CPopupMenuView&)> m_hostItems;
  std::function<bool(UINT)> m_beforeCommand;
  std::function<void()> m_hostAction;
  std::function<bool(const std::u16string&)> m_filter;
};

// The text of a menu item as shown: without '&' markers; the accelerator after a tab apart.
void MenuItemTexts(const std::u16string& text, std::u16string& label, std::u16string& accel, char16_t& mnemonic);

}  // namespace termui
