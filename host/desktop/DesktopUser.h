#pragma once

// The platform first: GLib defines TRUE and FALSE as macros, which its constants would meet.
// clang-format off
#include "shared/HostPlatform.h"
// clang-format on

#include <gtk/gtk.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "desktop/Replay.h"
#include "shared/DialogDescription.h"
#include "shared/PointerInput.h"

// The person at the desktop behind the platform's user seam: popup menus as
// GTK menus where the library opens them, message boxes as GTK message
// dialogs, and the library's dialogs and property sheets as GTK windows built
// from the dialogs' own controls. Everything the person does reaches the
// dialog through its session, as the messages a mouse and keyboard cause.

namespace desktop {

class ControlCanvas;

// What is open in front of the main window, for the host's state report.
struct ModalView {
  std::string kind;  // "menu", "message", "dialog"
  std::string title;
  std::string text;  // a message box's text
  // The widgets a person can click, by what they show (and a dialog control's id).
  struct Part {
    std::string label;
    UINT id = 0;
    GtkWidget* widget = nullptr;  // borrowed
  };
  std::vector<Part> parts;
};

class DesktopUser : public IUserInteraction {
 public:
  // Maps a point in the platform's screen pixels to a widget and a point in it.
  using PointToWidget = std::function<bool(POINT pt, GtkWidget*& widget, int& x, int& y)>;

  DesktopUser(hostshared::PointerRouter& router, ImageCache& images);
  ~DesktopUser() override;

  void SetParent(GtkWindow* parent) { m_parent = parent; }
  void SetPointToWidget(PointToWidget map) { m_pointToWidget = std::move(map); }
  void SetCanvasHooks(std::function<void()> before, std::function<void()> after) {
    m_before = std::move(before);
    m_after = std::move(after);
  }

  int MessageBox(const std::u16string& text, const std::u16string& caption, UINT type) override;
  UINT TrackPopupMenu(const CPopupMenuView& menu) override;
  void OperateDialog(CModalSession& dialog) override;

  // Closes whatever is open as cancelled (the program is asked to end).
  void CancelAll();
  bool QuitRequested() const { return m_quit; }
  const std::vector<ModalView*>& Modals() const { return m_modals; }

 private:
  friend class DialogWindow;
  GtkWindow* m_parent = nullptr;  // borrowed: the main window
  hostshared::PointerRouter& m_router;
  ImageCache& m_images;
  PointToWidget m_pointToWidget;
  std::function<void()> m_before, m_after;
  std::vector<ModalView*> m_modals;  // borrowed from the calls that show them, innermost last
  std::vector<GMainLoop*> m_loops;   // borrowed: the nested loops running now
  std::vector<GtkWidget*> m_open;    // borrowed: message boxes and menus open now
  bool m_quit = false;
};

// Text for a GTK mnemonic label: '&' markers become '_' and literal '_' doubles.
std::string MnemonicLabel(const std::u16string& text);

}  // namespace desktop
