#pragma once

// The platform first: GLib defines TRUE and FALSE as macros, which its constants would meet.
// clang-format off
#include "shared/HostPlatform.h"
// clang-format on

#include <gtk/gtk.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "desktop/ControlCanvas.h"
#include "desktop/DesktopUser.h"
#include "desktop/ReadingPane.h"
#include "shared/SubscriptionUpdate.h"
#include "terminal/HostWindows.h"

// daru-desktop's main window: the label tree on the left, the article list on
// the right with the reading pane below it, a menu bar with the windows' own
// commands and a status line. The library's windows run as they do in every
// host; this one shows them with GTK and lets their timers run on GLib's.

namespace desktop {

struct DesktopSettings {
  int width = 1100, height = 720;  // the main window
  int treeWidth = 260;             // the label tree's share of the width
  int listHeight = 320;            // the article list's share of the right side
};

// $XDG_CONFIG_HOME/daru/desktop.ini (or ~/.config/daru/desktop.ini).
std::string SettingsPath();
DesktopSettings LoadSettings(const std::string& path);
bool SaveSettings(const std::string& path, const DesktopSettings& settings);

class DesktopHost {
 public:
  DesktopHost();
  ~DesktopHost();
  DesktopHost(const DesktopHost&) = delete;
  DesktopHost& operator=(const DesktopHost&) = delete;

  // Creates the library's windows (store: as termui::HostWindows::Create takes it) and the main window.
  bool Create(CDB* store, std::string* error);
  // Runs until the person leaves or a signal asks; then destroys the windows and the facade.
  void Run();
  // Asks the program to end (a signal, Ctrl-Q, closing the window).
  void Quit();
  // The program that updates every subscription ('daru ... update --progress
  // --json'); without one, the menu's update command says it is unavailable.
  void SetUpdateCommand(std::vector<std::string> command) { m_updateCommand = std::move(command); }
  // Starts updating the subscriptions in the background; the status line
  // follows it, and the labels are read again when it ends.
  void StartUpdate();

  LRESULT OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The program's state as a JSON text, for tests that drive it from outside.
  std::string StateJson();

 private:
  void BuildWindow();
  GtkWidget* BuildMenuBar();
  GtkWidget* LibraryMenu(const char* title, UINT menuId, CWnd* target);
  bool Command(CWnd* target, UINT id);
  void ContextMenuKey();
  void SyncClock();
  void AfterInput();
  void ScheduleTimer();
  void UpdateStatus();
  void Rename();
  void OpenLink(CArticle* article);
  bool PointToWidget(POINT pt, GtkWidget*& widget, int& x, int& y) const;
  static gboolean OnKey(GtkWidget*, GdkEventKey* e, gpointer self);
  bool FocusInWindows() const;
  static gboolean FollowUpdate(gpointer self);

  ReplayTextMeasure m_measure;  // the windows lay their text out as Pango draws it, while they live
  termui::HostWindows m_windows;
  hostshared::PointerRouter m_router;
  ImageCache m_images;
  DesktopUser m_user;
  std::unique_ptr<CScopedUserInteraction> m_person;  // owned: the user seam while the window is up
  std::unique_ptr<ControlCanvas> m_tree;             // owned
  std::unique_ptr<ControlCanvas> m_list;             // owned
  std::unique_ptr<ReadingPane> m_pane;               // owned
  GtkWidget* m_window = nullptr;                     // owned: the main window
  GtkWidget* m_hpaned = nullptr;                     // borrowed: inside m_window
  GtkWidget* m_vpaned = nullptr;                     // borrowed: inside m_window
  GtkWidget* m_status = nullptr;                     // borrowed: inside m_window
  GtkWidget* m_renamePopover = nullptr;              // borrowed: open while a label is renamed
  GtkWidget* m_renameEntry = nullptr;                // borrowed: inside m_renamePopover
  std::vector<GtkWidget*> m_menus;                   // borrowed: the menu bar's menus
  GMainLoop* m_loop = nullptr;                       // owned while Run runs
  guint m_timer = 0;
  guint m_stateTimer = 0;
  std::string m_statePath;  // where the state report goes, when asked for
  std::string m_stateWritten;
  std::string m_message;  // the last thing the host told the person
  std::string m_settingsPath;
  DesktopSettings m_settings;
  std::chrono::steady_clock::time_point m_clock = std::chrono::steady_clock::now();
  bool m_quit = false;
  hostshared::BackgroundUpdate m_update;
  std::vector<std::string> m_updateCommand;
  guint m_updateTimer = 0;
  bool m_updateEnded = false;  // the update ended and the windows still show the catalogue as it was
};

}  // namespace desktop
