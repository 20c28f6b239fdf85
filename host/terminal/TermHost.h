#pragma once

#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "shared/PointerInput.h"
#include "shared/SubscriptionUpdate.h"
#include "terminal/ArticleView.h"
#include "terminal/ControlView.h"
#include "terminal/Display.h"
#include "terminal/HostWindows.h"
#include "terminal/TerminalUser.h"
#include "terminal/TextCells.h"

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

  // The keys of a pane as the help screen lists them: key, what it does.
  static std::vector<std::pair<std::string, std::string>> KeysOf(Pane pane);

 private:
  // A command on its way to a window, and what the host checks once it ran.
  struct ArticleSnap {
    CArticle* article;  // borrowed from the facade's result list; compared, never followed after the command
    int articleid;
    std::u16string type, filename;
  };
  struct Pending {
    UINT id = 0;
    bool searchTag = false;
    std::vector<ArticleSnap> rows;  // the rows the command works on
  };
  // False when the host keeps the command back (and says why).
  bool BeforeCommand(UINT id);
  void AfterCommand();
  bool ArticleStored(int articleid);
  void AfterEvent();
  void ShowHelp();
  void ShowLabelAgain();
  void NextUnread();
  void CycleSort();
  void OpenNumberedLink(int number);
  void Say(const char* zh, const char* en) { m_status = Tr(zh, en); }
  std::u16string ShortcutOf(UINT id) const;
  std::vector<TerminalUser::HostItem> HostItemsOf(const CPopupMenuView& menu);

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
  void OpenAddress(const std::u16string& url);
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
  hostshared::PointerRouter m_router;   // where the presses went, for their drags and releases
  bool m_keyboardMove = false;          // a label is being moved with the keyboard
  bool m_listAfterDoubleClick = false;  // the tree was double-clicked: the list gets the focus next
  HTREEITEM m_moveOver = nullptr;       // where the keyboard move points now
  std::chrono::steady_clock::time_point m_clock = std::chrono::steady_clock::now();
  Pending m_pending;
  bool m_zoom = false;                 // the article takes the whole right side
  bool m_rowsSorted = true;            // the rows stand in the order the header's arrow says
  HTREEITEM m_articleLabel = nullptr;  // the label whose list the shown article came from
  bool m_articleFromSearch = false;    // or the search results it came from
  int m_articleId = 0;                 // the shown article
  HTREEITEM m_lastLabel = nullptr;     // the tree's selection after the last event
  bool m_lastSearch = false;           // the list's search tag after the last event
  int m_lastSortIndicator = 0;         // the header's sort indicator after the last event
  // The tree's counts: each label's articles (id, unread), read from the catalogue when stale.
  std::map<int, std::vector<std::pair<int, bool>>> m_counts;
  bool m_countsStale = true;
  void CountArticles();
  std::u32string CountNote(HTREEITEM item);
  bool m_choosingLink = false;  // digits name a link of the article
  int m_linkNumber = 0;         // the digits typed so far
  std::vector<std::string> m_updateCommand;
  hostshared::BackgroundUpdate m_update;
  bool m_updateEnded = false;  // the update ended and the windows still show the catalogue as it was
};

}  // namespace termui
