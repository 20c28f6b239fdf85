#include "desktop/ControlCanvas.h"

#include <algorithm>

namespace desktop {

namespace {

unsigned DoubleClickTime() {
  gint ms = 400;
  g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &ms, nullptr);
  return static_cast<unsigned>(ms);
}

int DoubleClickDistance() {
  gint px = 5;
  g_object_get(gtk_settings_get_default(), "gtk-double-click-distance", &px, nullptr);
  return px;
}

UINT Modifiers(guint state) {
  UINT mk = 0;
  if (state & GDK_SHIFT_MASK) mk |= MK_SHIFT;
  if (state & GDK_CONTROL_MASK) mk |= MK_CONTROL;
  return mk;
}

}  // namespace

UINT VirtualKeyOf(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
      return VK_UP;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
      return VK_DOWN;
    case GDK_KEY_Left:
    case GDK_KEY_KP_Left:
      return VK_LEFT;
    case GDK_KEY_Right:
    case GDK_KEY_KP_Right:
      return VK_RIGHT;
    case GDK_KEY_Home:
      return VK_HOME;
    case GDK_KEY_End:
      return VK_END;
    case GDK_KEY_Page_Up:
      return VK_PRIOR;
    case GDK_KEY_Page_Down:
      return VK_NEXT;
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete:
      return VK_DELETE;
    case GDK_KEY_F2:
      return VK_F2;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      return VK_RETURN;
    case GDK_KEY_Escape:
      return VK_ESCAPE;
    case GDK_KEY_space:
      return VK_SPACE;
    case GDK_KEY_BackSpace:
      return VK_BACK;
    default:
      return 0;
  }
}

ControlCanvas::ControlCanvas(CWnd& window, CPoint origin, hostshared::PointerRouter& router, ImageCache& images,
                             Hooks hooks)
    : m_window(window),
      m_origin(origin),
      m_router(router),
      m_images(images),
      m_hooks(std::move(hooks)),
      m_area(gtk_drawing_area_new()),
      m_clicks(DoubleClickTime(), DoubleClickDistance()) {
  g_object_ref_sink(m_area);
  m_scroll = gtk_adjustment_new(0, 0, 1, 1, 1, 1);
  m_bar = gtk_scrollbar_new(GTK_ORIENTATION_VERTICAL, m_scroll);
  gtk_widget_set_no_show_all(m_bar, TRUE);
  m_outer = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  g_object_ref_sink(m_outer);
  gtk_box_pack_start(GTK_BOX(m_outer), m_area, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(m_outer), m_bar, FALSE, FALSE, 0);
  g_signal_connect(m_scroll, "value-changed", G_CALLBACK(OnScrollBar), this);
  gtk_widget_set_can_focus(m_area, TRUE);
  gtk_widget_add_events(m_area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                    GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK | GDK_KEY_PRESS_MASK);
  g_signal_connect(m_area, "draw", G_CALLBACK(OnDraw), this);
  g_signal_connect(m_area, "size-allocate", G_CALLBACK(OnSize), this);
  g_signal_connect(m_area, "button-press-event", G_CALLBACK(OnButton), this);
  g_signal_connect(m_area, "button-release-event", G_CALLBACK(OnButton), this);
  g_signal_connect(m_area, "motion-notify-event", G_CALLBACK(OnMotion), this);
  g_signal_connect(m_area, "scroll-event", G_CALLBACK(OnScroll), this);
  g_signal_connect(m_area, "key-press-event", G_CALLBACK(OnKey), this);
}

ControlCanvas::~ControlCanvas() {
  g_signal_handlers_disconnect_by_data(m_area, this);
  g_signal_handlers_disconnect_by_data(m_scroll, this);
  g_object_unref(m_area);
  g_object_unref(m_outer);
}

void ControlCanvas::SyncScrollBar() {
  int top = 0, page = 1, total = 0;
  if (auto* list = DYNAMIC_DOWNCAST(CListCtrl, &m_window)) {
    top = list->GetTopIndex();
    page = std::max(1, list->GetCountPerPage());
    total = list->GetItemCount();
  } else if (auto* tree = DYNAMIC_DOWNCAST(CTreeCtrl, &m_window)) {
    top = tree->GetScrollPos(SB_VERT);
    page = std::max<int>(1, static_cast<int>(tree->GetVisibleCount()));
    for (HTREEITEM item = tree->GetRootItem(); item != nullptr; item = NextShown(*tree, item)) ++total;
  } else {
    return;
  }
  m_syncing = true;
  gtk_adjustment_configure(m_scroll, top, 0, std::max(total, page), 1, page, page);
  m_syncing = false;
  // Shown only when there is more than a page, as a desktop list does.
  if (gtk_widget_get_visible(m_bar) != (total > page)) gtk_widget_set_visible(m_bar, total > page);
}

void ControlCanvas::OnScrollBar(GtkAdjustment* adjustment, gpointer p) {
  auto* self = static_cast<ControlCanvas*>(p);
  if (self->m_syncing || self->m_window.GetSafeHwnd() == nullptr) return;
  const int to = static_cast<int>(gtk_adjustment_get_value(adjustment) + 0.5);
  if (self->m_hooks.before) self->m_hooks.before();
  if (auto* list = DYNAMIC_DOWNCAST(CListCtrl, &self->m_window)) {
    const int top = list->GetTopIndex();
    CRect row;
    if (to != top && list->GetItemRect(top, &row, LVIR_BOUNDS)) list->Scroll(CSize(0, (to - top) * row.Height()));
  } else if (auto* tree = DYNAMIC_DOWNCAST(CTreeCtrl, &self->m_window)) {
    HTREEITEM item = tree->GetRootItem();
    for (int i = 0; i < to && item != nullptr; ++i) item = NextShown(*tree, item);
    if (item != nullptr) tree->SelectSetFirstVisible(item);
  }
  if (self->m_hooks.after) self->m_hooks.after();
}

bool ControlCanvas::Pending(CWnd& w) const {
  if (w.IsUpdatePending()) return true;
  for (CWnd* c : w.GetChildren())
    if (c->IsWindowVisible() && Pending(*c)) return true;
  return false;
}

void ControlCanvas::RefreshIfPending() {
  if (m_window.GetSafeHwnd() == nullptr) return;
  // A drag image moves without the window repainting: redraw while one is over us.
  const CDragImageState drag = DaruGetDragImageState();
  const bool dragOver = drag.dragging && drag.visible && drag.lockWnd == m_window.GetSafeHwnd();
  if (Pending(m_window) || dragOver || m_dragShown) gtk_widget_queue_draw(m_area);
}

gboolean ControlCanvas::OnDraw(GtkWidget*, cairo_t* cr, gpointer p) {
  auto* self = static_cast<ControlCanvas*>(p);
  if (self->m_window.GetSafeHwnd() == nullptr) return TRUE;
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  PaintAndReplay(cr, self->m_window, self->m_images);
  if (auto* tree = DYNAMIC_DOWNCAST(CTreeCtrl, &self->m_window)) DrawTreeLines(cr, *tree);
  DrawDragImage(cr, self->m_window.GetSafeHwnd(), self->m_images);
  self->SyncScrollBar();
  const CDragImageState drag = DaruGetDragImageState();
  // Drawn now: the next frame after the drag must take it away again.
  self->m_dragShown = drag.dragging && drag.visible && drag.lockWnd == self->m_window.GetSafeHwnd();
  ++self->m_frames;
  return TRUE;
}

void ControlCanvas::OnSize(GtkWidget*, GdkRectangle* a, gpointer p) {
  auto* self = static_cast<ControlCanvas*>(p);
  if (self->m_window.GetSafeHwnd() == nullptr) return;
  CRect now;
  self->m_window.GetClientRect(&now);
  if (now.Width() != a->width || now.Height() != a->height)
    self->m_window.MoveWindow(self->m_origin.x, self->m_origin.y, a->width, a->height, TRUE);
}

CPoint ControlCanvas::PointIn(HWND hwnd, double x, double y) const {
  CPoint pt(static_cast<int>(x), static_cast<int>(y));
  if (hwnd == m_window.GetSafeHwnd()) return pt;
  ::ClientToScreen(m_window.GetSafeHwnd(), &pt);
  ::ScreenToClient(hwnd, &pt);
  return pt;
}

gboolean ControlCanvas::OnButton(GtkWidget* w, GdkEventButton* e, gpointer p) {
  auto* self = static_cast<ControlCanvas*>(p);
  // GTK adds its own double-click events after the second press; the presses tell us enough.
  if (e->type != GDK_BUTTON_PRESS && e->type != GDK_BUTTON_RELEASE) return TRUE;
  if (e->button != 1 && e->button != 3) return FALSE;
  if (self->m_window.GetSafeHwnd() == nullptr) return TRUE;
  if (e->type == GDK_BUTTON_PRESS) gtk_widget_grab_focus(w);
  if (self->m_hooks.before) self->m_hooks.before();
  DaruSetModifierKeys(Modifiers(e->state));
  const auto button = e->button == 1 ? hostshared::PointerButton::Left : hostshared::PointerButton::Right;
  self->m_lastX = e->x;
  self->m_lastY = e->y;
  const double x = e->x, y = e->y;
  if (e->type == GDK_BUTTON_PRESS) {
    const bool twice = self->m_clicks.Press(button, e->time, static_cast<int>(x), static_cast<int>(y));
    const hostshared::PointerTarget t = hostshared::ChildAt(self->m_window.GetSafeHwnd(), CPoint(int(x), int(y)));
    self->m_router.Press(button, t, twice && button == hostshared::PointerButton::Left);
  } else {
    self->m_router.Release(button, [self, x, y](HWND h) { return self->PointIn(h, x, y); });
  }
  if (self->m_hooks.after) self->m_hooks.after();
  return TRUE;
}

gboolean ControlCanvas::OnMotion(GtkWidget*, GdkEventMotion* e, gpointer p) {
  auto* self = static_cast<ControlCanvas*>(p);
  if (self->m_window.GetSafeHwnd() == nullptr) return TRUE;
  // Hover alone means nothing to these windows; only moves with a button held are sent.
  if (!(e->state & (GDK_BUTTON1_MASK | GDK_BUTTON3_MASK))) return TRUE;
  if (self->m_hooks.before) self->m_hooks.before();
  DaruSetModifierKeys(Modifiers(e->state));
  const double x = e->x, y = e->y;
  self->m_lastX = x;
  self->m_lastY = y;
  self->m_router.Move(hostshared::PointerTarget{}, [self, x, y](HWND h) { return self->PointIn(h, x, y); });
  if (self->m_hooks.after) self->m_hooks.after();
  return TRUE;
}

gboolean ControlCanvas::OnScroll(GtkWidget*, GdkEventScroll* e, gpointer p) {
  auto* self = static_cast<ControlCanvas*>(p);
  if (self->m_window.GetSafeHwnd() == nullptr) return TRUE;
  int notches = 0;
  if (e->direction == GDK_SCROLL_UP) notches = -1;
  if (e->direction == GDK_SCROLL_DOWN) notches = 1;
  if (e->direction == GDK_SCROLL_SMOOTH) notches = e->delta_y < 0 ? -1 : e->delta_y > 0 ? 1 : 0;
  if (notches == 0) return TRUE;
  if (self->m_hooks.before) self->m_hooks.before();
  hostshared::Wheel(self->m_window.GetSafeHwnd(), notches);
  if (self->m_hooks.after) self->m_hooks.after();
  return TRUE;
}

gboolean ControlCanvas::OnKey(GtkWidget*, GdkEventKey* e, gpointer p) {
  auto* self = static_cast<ControlCanvas*>(p);
  if (self->m_window.GetSafeHwnd() == nullptr) return FALSE;
  if (e->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) return FALSE;  // shortcuts belong to the menus
  const UINT vk = VirtualKeyOf(e->keyval);
  if (vk == 0) return FALSE;
  if (self->m_hooks.before) self->m_hooks.before();
  if (CWnd::GetFocus() != &self->m_window) self->m_window.SetFocus();
  InputKey(vk, self->m_window.GetSafeHwnd());
  if (self->m_hooks.after) self->m_hooks.after();
  return TRUE;
}

}  // namespace desktop
