#pragma once

// The platform first: GLib defines TRUE and FALSE as macros, which its constants would meet.
// clang-format off
#include "shared/HostPlatform.h"
// clang-format on

#include <gtk/gtk.h>

#include <functional>

#include "desktop/Replay.h"
#include "shared/PointerInput.h"

// One of the library's windows on the desktop: a GTK drawing area as large as
// the window, which the window is sized to, which shows what the window
// draws, and whose pointer and key events reach the window as the messages
// they stand for.

namespace desktop {

class ControlCanvas {
 public:
  struct Hooks {
    std::function<void()> before;  // runs before an event reaches the window (the clock catches up)
    std::function<void()> after;   // runs after it (repaints, status, timers)
  };

  // origin: where the window sits in its parent's client area.
  ControlCanvas(CWnd& window, CPoint origin, hostshared::PointerRouter& router, ImageCache& images, Hooks hooks);
  ~ControlCanvas();
  ControlCanvas(const ControlCanvas&) = delete;
  ControlCanvas& operator=(const ControlCanvas&) = delete;

  GtkWidget* Widget() const { return m_area; }
  // What the host packs: the drawing area with its scroll bar.
  GtkWidget* Outer() const { return m_outer; }
  GtkWidget* ScrollBar() const { return m_bar; }
  CWnd& Window() const { return m_window; }
  // Queues a repaint when the window (or a child) asked for one.
  void RefreshIfPending();
  int Frames() const { return m_frames; }

 private:
  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer self);
  static void OnSize(GtkWidget*, GdkRectangle* a, gpointer self);
  static gboolean OnButton(GtkWidget*, GdkEventButton* e, gpointer self);
  static gboolean OnMotion(GtkWidget*, GdkEventMotion* e, gpointer self);
  static gboolean OnScroll(GtkWidget*, GdkEventScroll* e, gpointer self);
  static gboolean OnKey(GtkWidget*, GdkEventKey* e, gpointer self);
  CPoint PointIn(HWND hwnd, double x, double y) const;
  // The scroll bar shows where the window stands; moving it scrolls the window.
  void SyncScrollBar();
  static void OnScrollBar(GtkAdjustment* adjustment, gpointer self);
  bool Pending(CWnd& w) const;

  CWnd& m_window;  // borrowed: the library's window shown here
  CPoint m_origin;
  hostshared::PointerRouter& m_router;  // borrowed: one for the whole host, as there is one mouse
  ImageCache& m_images;                 // borrowed
  Hooks m_hooks;
  GtkWidget* m_area;        // owned by its GTK parent once packed; a reference is held until destruction
  GtkWidget* m_outer;       // the same, holding m_area and the scroll bar
  GtkWidget* m_bar;         // borrowed: inside m_outer
  GtkAdjustment* m_scroll;  // borrowed: the scroll bar's
  bool m_syncing = false;   // the scroll bar is being set from the window
  hostshared::DoubleClickDetector m_clicks;
  double m_lastX = 0, m_lastY = 0;
  int m_frames = 0;
  bool m_dragShown = false;  // the last frame showed a drag image
};

// The virtual key a GDK key stands for; 0 when the windows know none.
UINT VirtualKeyOf(guint keyval);

}  // namespace desktop
