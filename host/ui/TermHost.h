#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "ui/ArticleView.h"
#include "ui/BackgroundUpdate.h"
#include "ui/ControlView.h"
#include "ui/Display.h"
#include "ui/HostWindows.h"
#include "ui/TerminalUser.h"

// The terminal host: the label tree on the left, the article list on the
// right with the article below it once one is shown, a title line and a
// status line. Keys and the mouse reach the windows as the messages they
// would cause on the desktop; shortcut keys send the menus' commands when
// the commands' update handlers enable them.

namespace termui {

class TermHost {
 public:
  static constexpr int kMinCols = 40;
  static constexpr int kMinRows = 10;

  TermHost(IDisplay& display, TerminalUser& user, HostWindows& windows);

  // Called once the windows exist: connects the user seam and the frame.
  void Attach();
  // Runs until the person leaves.
  void Run();
  // One event: false when it ends the program.
  bool Handle(const Event& e);
  void Draw(CellBuffer& out);
  // Advances the library's clock to real time; the wait until its next timer.
  int Idle();

  // The command that updates the subscriptions (R): the daru program with
  // the run's root and store; empty leaves R without effect.
  void SetUpdateCommand(std::vector<std::string> command) { m_updateCommand = std::move(command); }
  // Starts the update in the background; its progress shows in the status.
  void StartUpdate();
  // Reads the labels from the catalogue again and refills the tree, keeping
  // the label shown and the expanded ones when they are still there;
  // expandFeeds also opens the favourite feeds.
  void ReloadLabels(bool expandFeeds = false);

  // The frame's handler for the library's messages.
  LRESULT OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam);

  enum class Pane { Tree, List, Article };
  Pane Focus() const { return m_focus; }
  const std::string& Status() const { return m_status; }

 private:
  struct Layout {
    bool tooSmall = false;
    Rect title, tree, list, article, status;
  };
  Layout ComputeLayout(int cols, int rows) const;
  void Fit(const Layout& l);
  void SetFocus(Pane pane);
  void HandleKey(const Event& e);
  void HandleTreeKey(const Event& e);
  void HandleListKey(const Event& e);
  bool NavigationKey(const Event& e, int page, bool sideways);
  void HandleMouse(const Event& e);
  bool HandleRenameKey(const Event& e);
  void KeyToWindow(UINT vk, int times = 1);
  // Sends the command to the window when its update handler leaves it enabled.
  bool Command(CWnd* target, UINT id);
  void ContextMenu();
  void StartKeyboardMove();
  void KeyboardMoveKey(const Event& e);
  void OpenLink(CArticle* article);
  ClickTarget TreeTarget(int x, int y) const;
  void PointToCell(POINT pt, int& x, int& y) const;
  // Follows the background update; at its end refills the windows when nothing modal is open.
  void FollowUpdate();

  IDisplay& m_display;
  TerminalUser& m_user;
  HostWindows& m_windows;
  ArticleView m_article;
  Layout m_layout;
  Pane m_focus = Pane::Tree;
  std::string m_status;
  bool m_quit = false;
  HWND m_pressTarget = nullptr;         // the window a left press went to, for its release and drags
  HWND m_rightTarget = nullptr;         // the same for the right button
  bool m_keyboardMove = false;          // a label is being moved with the keyboard
  bool m_listAfterDoubleClick = false;  // the tree was double-clicked: the list gets the focus next
  HTREEITEM m_moveOver = nullptr;       // where the keyboard move points now
  std::chrono::steady_clock::time_point m_clock = std::chrono::steady_clock::now();
  std::vector<std::string> m_updateCommand;
  BackgroundUpdate m_update;
  bool m_updateEnded = false;  // the update ended and the windows still show the catalogue as it was
};

}  // namespace termui
