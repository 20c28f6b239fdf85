#include "desktop/DesktopUser.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "desktop/ControlCanvas.h"

namespace desktop {

namespace {

// Dialog pixels of the platform's font to GTK pixels of the desktop's: the
// desktop font is about a third larger than the templates' 8 points.
constexpr double kDialogScale = 1.35;
constexpr int kTabHeight = 30;

int Scale(int v) { return static_cast<int>(v * kDialogScale + 0.5); }

const char* kCompactCss =
    "button, entry, spinbutton { min-height: 0; padding-top: 2px; padding-bottom: 2px; }"
    "checkbutton, radiobutton { min-height: 0; padding: 0; }";

void ApplyCompactStyle(GtkWidget* w) {
  static GtkCssProvider* css = [] {
    GtkCssProvider* p = gtk_css_provider_new();
    gtk_css_provider_load_from_data(p, kCompactCss, -1, nullptr);
    return p;
  }();
  gtk_style_context_add_provider(gtk_widget_get_style_context(w), GTK_STYLE_PROVIDER(css),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

std::string Utf8(const std::u16string& s) { return ToUtf8(s); }

}  // namespace

std::string MnemonicLabel(const std::u16string& text) {
  std::string out;
  const std::string s = ToUtf8(text);
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '_') {
      out += "__";
    } else if (s[i] == '&') {
      if (i + 1 < s.size() && s[i + 1] == '&') {
        out += '&';
        ++i;
      } else {
        out += '_';
      }
    } else {
      out += s[i];
    }
  }
  return out;
}

DesktopUser::DesktopUser(hostshared::PointerRouter& router, ImageCache& images) : m_router(router), m_images(images) {}

DesktopUser::~DesktopUser() = default;

void DesktopUser::CancelAll() {
  m_quit = true;
  for (GtkWidget* w : m_open) {
    if (GTK_IS_DIALOG(w)) gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_DELETE_EVENT);
    if (GTK_IS_MENU(w)) gtk_menu_shell_deactivate(GTK_MENU_SHELL(w));
  }
  for (GMainLoop* loop : m_loops) g_main_loop_quit(loop);
}

// ---- Message boxes ----

int DesktopUser::MessageBox(const std::u16string& text, const std::u16string& caption, UINT type) {
  struct Button {
    const char* label;
    int id;
  };
  std::vector<Button> buttons;
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      buttons = {{"确定", IDOK}, {"取消", IDCANCEL}};
      break;
    case MB_YESNOCANCEL:
      buttons = {{"是(_Y)", IDYES}, {"否(_N)", IDNO}, {"取消", IDCANCEL}};
      break;
    case MB_YESNO:
      buttons = {{"是(_Y)", IDYES}, {"否(_N)", IDNO}};
      break;
    case MB_RETRYCANCEL:
      buttons = {{"重试(_R)", 4}, {"取消", IDCANCEL}};
      break;
    case MB_ABORTRETRYIGNORE:
      buttons = {{"中止(_A)", 3}, {"重试(_R)", 4}, {"忽略(_I)", 5}};
      break;
    default:
      buttons = {{"确定", IDOK}};
      break;
  }
  // Closing the box is the answer that changes nothing.
  int dismissed = buttons.back().id;
  for (const Button& b : buttons)
    if (b.id == IDCANCEL || b.id == IDNO) dismissed = b.id;
  if (m_quit) return dismissed;
  GtkMessageType kind = GTK_MESSAGE_OTHER;
  switch (type & MB_ICONMASK) {
    case MB_ICONQUESTION:
      kind = GTK_MESSAGE_QUESTION;
      break;
    case MB_ICONEXCLAMATION:
      kind = GTK_MESSAGE_WARNING;
      break;
    case MB_ICONHAND:
      kind = GTK_MESSAGE_ERROR;
      break;
    case MB_ICONINFORMATION:
      kind = GTK_MESSAGE_INFO;
      break;
    default:
      break;
  }
  const std::string body = Utf8(text);
  GtkWidget* box =
      gtk_message_dialog_new(m_parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                             kind, GTK_BUTTONS_NONE, "%s", body.c_str());
  gtk_window_set_title(GTK_WINDOW(box), Utf8(caption).c_str());
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER_ON_PARENT);
  ModalView view;
  view.kind = "message";
  view.title = Utf8(caption);
  view.text = body;
  for (const Button& b : buttons) {
    GtkWidget* w = gtk_dialog_add_button(GTK_DIALOG(box), b.label, b.id);
    view.parts.push_back({b.label, static_cast<UINT>(b.id), w});
  }
  const bool secondDefault = (type & MB_DEFBUTTON2) && buttons.size() > 1;
  gtk_dialog_set_default_response(GTK_DIALOG(box), buttons[secondDefault ? 1 : 0].id);
  m_modals.push_back(&view);
  m_open.push_back(box);
  const int response = gtk_dialog_run(GTK_DIALOG(box));
  m_open.erase(std::find(m_open.begin(), m_open.end(), box));
  m_modals.pop_back();
  gtk_widget_destroy(box);
  for (const Button& b : buttons)
    if (b.id == response) return response;
  return dismissed;
}

// ---- Popup menus ----

namespace {

struct MenuRun {
  UINT chosen = 0;
  GMainLoop* loop = nullptr;
};

void FillMenu(GtkWidget* menu, const std::vector<CMenuItemView>& items, MenuRun& run, ModalView& view) {
  for (const CMenuItemView& item : items) {
    GtkWidget* w = nullptr;
    if (item.separator) {
      w = gtk_separator_menu_item_new();
    } else if (item.popup) {
      w = gtk_menu_item_new_with_mnemonic(MnemonicLabel(item.text).c_str());
      GtkWidget* sub = gtk_menu_new();
      FillMenu(sub, item.items, run, view);
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(w), sub);
    } else {
      if (item.checked) {
        w = gtk_check_menu_item_new_with_mnemonic(MnemonicLabel(item.text).c_str());
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(w), TRUE);
      } else {
        w = gtk_menu_item_new_with_mnemonic(MnemonicLabel(item.text).c_str());
      }
      g_object_set_data(G_OBJECT(w), "daru-id", GUINT_TO_POINTER(item.id));
      g_signal_connect(w, "activate", G_CALLBACK(+[](GtkMenuItem* mi, gpointer p) {
                         static_cast<MenuRun*>(p)->chosen =
                             GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(mi), "daru-id"));
                       }),
                       &run);
      view.parts.push_back({ToUtf8(hostshared::WithoutMnemonic(item.text)), item.id, w});
    }
    gtk_widget_set_sensitive(w, item.enabled || item.separator || item.popup);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), w);
  }
}

}  // namespace

UINT DesktopUser::TrackPopupMenu(const CPopupMenuView& view) {
  if (m_quit || view.items.empty()) return 0;
  MenuRun run;
  ModalView modal;
  modal.kind = "menu";
  GtkWidget* menu = gtk_menu_new();
  g_object_ref_sink(menu);
  FillMenu(menu, view.items, run, modal);
  gtk_widget_show_all(menu);
  run.loop = g_main_loop_new(nullptr, FALSE);
  // The chosen item's "activate" comes after the menu's "deactivate": end the loop once both are done.
  g_signal_connect(menu, "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer p) {
                     g_idle_add(
                         +[](gpointer loop) -> gboolean {
                           g_main_loop_quit(static_cast<GMainLoop*>(loop));
                           return G_SOURCE_REMOVE;
                         },
                         static_cast<MenuRun*>(p)->loop);
                   }),
                   &run);
  GtkWidget* anchor = nullptr;
  int x = 0, y = 0;
  if (m_pointToWidget && m_pointToWidget(view.pt, anchor, x, y) && anchor != nullptr &&
      gtk_widget_get_window(anchor) != nullptr) {
    GdkRectangle r{x, y, 1, 1};
    gtk_menu_popup_at_rect(GTK_MENU(menu), gtk_widget_get_window(anchor), &r, GDK_GRAVITY_NORTH_WEST,
                           GDK_GRAVITY_NORTH_WEST, nullptr);
  } else {
    gtk_menu_popup_at_pointer(GTK_MENU(menu), nullptr);
  }
  m_modals.push_back(&modal);
  m_open.push_back(menu);
  m_loops.push_back(run.loop);
  if (gtk_widget_get_visible(menu)) g_main_loop_run(run.loop);
  m_loops.pop_back();
  m_open.pop_back();
  m_modals.pop_back();
  gtk_widget_destroy(menu);
  g_object_unref(menu);
  g_main_loop_unref(run.loop);
  return m_quit ? 0 : run.chosen;
}

// ---- Dialogs ----

// One dialog or property sheet on the screen, for as long as it is open.
class DialogWindow {
 public:
  DialogWindow(DesktopUser& user, CModalSession& session) : m_user(user), m_session(session) {}
  ~DialogWindow() {
    m_canvases.clear();
    if (m_window != nullptr) gtk_widget_destroy(m_window);
  }

  void Run() {
    Build();
    m_loop = g_main_loop_new(nullptr, FALSE);
    m_user.m_modals.push_back(&m_view);
    m_user.m_loops.push_back(m_loop);
    if (m_session.IsOpen() && !m_user.m_quit) g_main_loop_run(m_loop);
    m_user.m_loops.pop_back();
    m_user.m_modals.pop_back();
    g_main_loop_unref(m_loop);
    if (m_session.IsOpen()) m_session.Cancel();
  }

 private:
  struct Widget {
    hostshared::DialogControl control;
    GtkWidget* widget = nullptr;  // borrowed: lives in the dialog's window
    GtkWidget* input = nullptr;   // the entry, text view or toggle inside it
  };

  void Build() {
    m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_modal(GTK_WINDOW(m_window), TRUE);
    if (m_user.m_parent) gtk_window_set_transient_for(GTK_WINDOW(m_window), m_user.m_parent);
    gtk_window_set_position(GTK_WINDOW(m_window), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_resizable(GTK_WINDOW(m_window), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(m_window), GDK_WINDOW_TYPE_HINT_DIALOG);
    g_signal_connect(m_window, "delete-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer p) -> gboolean {
                       auto* self = static_cast<DialogWindow*>(p);
                       self->Act([self] { self->m_session.Cancel(); });
                       return TRUE;
                     }),
                     this);
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(+[](GtkWidget*, GdkEventKey* e, gpointer p) -> gboolean {
                       auto* self = static_cast<DialogWindow*>(p);
                       if (e->keyval != GDK_KEY_Escape) return FALSE;
                       self->Act([self] { self->m_session.Cancel(); });
                       return TRUE;
                     }),
                     this);
    m_fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(m_window), m_fixed);
    m_view.kind = "dialog";
    Populate();
    gtk_widget_show_all(m_window);
    Sync();
  }

  // Makes the widgets of what the dialog shows now (a sheet: of its active page).
  void Populate() {
    for (Widget& w : m_widgets)
      if (w.widget) gtk_widget_destroy(w.widget);
    m_widgets.clear();
    m_canvases.clear();
    if (m_notebook) {
      gtk_widget_destroy(m_notebook);
      m_notebook = nullptr;
    }
    m_view.parts.clear();
    const hostshared::DialogDescription d = hostshared::DescribeDialog(m_session, &m_original);
    m_described = d;
    m_view.title = ToUtf8(d.title);
    gtk_window_set_title(GTK_WINDOW(m_window), m_view.title.c_str());
    CRect page(0, 0, 0, 0);
    int shift = 0;  // room for the tabs above a sheet's page
    if (d.sheet != nullptr) {
      if (CPropertyPage* active = d.sheet->GetActivePage()) {
        CRect pr, sr;
        active->GetWindowRect(&pr);
        d.sheet->GetWindowRect(&sr);
        page = CRect(pr.left - sr.left, pr.top - sr.top, pr.right - sr.left, pr.bottom - sr.top);
      }
      m_notebook = gtk_notebook_new();
      for (size_t i = 0; i < d.tabs.size(); ++i) {
        GtkWidget* filler = gtk_fixed_new();
        gtk_notebook_append_page(GTK_NOTEBOOK(m_notebook), filler, gtk_label_new(ToUtf8(d.tabs[i]).c_str()));
        m_view.parts.push_back({ToUtf8(d.tabs[i]), 0, gtk_notebook_get_tab_label(GTK_NOTEBOOK(m_notebook), filler)});
      }
      gtk_widget_set_size_request(m_notebook, Scale(page.Width()) + 8, Scale(page.Height()) + kTabHeight + 8);
      gtk_fixed_put(GTK_FIXED(m_fixed), m_notebook, Scale(page.left), Scale(page.top));
      gtk_widget_show_all(m_notebook);
      gtk_notebook_set_current_page(GTK_NOTEBOOK(m_notebook), d.activeTab);
      g_signal_connect(m_notebook, "switch-page", G_CALLBACK(OnSwitchPage), this);
      shift = kTabHeight;
    }
    // Frames first, so that the controls inside lie above them.
    std::vector<const hostshared::DialogControl*> order;
    for (const auto& c : d.controls)
      if (c.kind == u"group box") order.push_back(&c);
    for (const auto& c : d.controls)
      if (c.kind != u"group box") order.push_back(&c);
    GtkWidget* firstRadioGroup = nullptr;
    for (const hostshared::DialogControl* c : order) {
      Widget w;
      w.control = *c;
      const int dy = (c->onPage || (d.sheet && c->rect.top >= page.top)) ? shift : 0;
      const int pad = c->onPage ? 4 : 0;
      // Places are in the sheet's pixels already, page controls included.
      const int x = Scale(c->rect.left) + pad;
      const int y = Scale(c->rect.top) + dy + pad;
      const int width = std::max(8, Scale(c->rect.Width()));
      const int height = std::max(8, Scale(c->rect.Height()));
      const std::string text = ToUtf8(hostshared::WithoutMnemonic(c->text));
      if (c->kind == u"static") {
        w.widget = gtk_label_new(text.c_str());
        gtk_label_set_xalign(GTK_LABEL(w.widget), (c->style & SS_RIGHT) ? 1.0f : (c->style & SS_CENTER) ? 0.5f : 0.0f);
        gtk_label_set_yalign(GTK_LABEL(w.widget), 0.5f);
        gtk_label_set_line_wrap(GTK_LABEL(w.widget), height > Scale(12));
        gtk_widget_set_size_request(w.widget, width, height);
      } else if (c->kind == u"group box") {
        w.widget = gtk_frame_new(text.c_str());
        gtk_widget_set_size_request(w.widget, width, height);
      } else if (c->kind == u"edit" || c->kind == u"rich edit") {
        if (c->style & ES_MULTILINE) {
          GtkWidget* scroll = gtk_scrolled_window_new(nullptr, nullptr);
          gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroll), GTK_SHADOW_IN);
          w.input = gtk_text_view_new();
          gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(w.input), GTK_WRAP_WORD_CHAR);
          gtk_text_view_set_editable(GTK_TEXT_VIEW(w.input), !(c->style & ES_READONLY));
          gtk_container_add(GTK_CONTAINER(scroll), w.input);
          w.widget = scroll;
          g_signal_connect(gtk_text_view_get_buffer(GTK_TEXT_VIEW(w.input)), "changed", G_CALLBACK(OnBufferChanged),
                           this);
        } else {
          w.input = w.widget = gtk_entry_new();
          gtk_entry_set_activates_default(GTK_ENTRY(w.input), TRUE);
          gtk_editable_set_editable(GTK_EDITABLE(w.input), !(c->style & ES_READONLY));
          g_signal_connect(w.input, "changed", G_CALLBACK(OnEntryChanged), this);
        }
        g_object_set_data(G_OBJECT(w.input), "daru-id", GUINT_TO_POINTER(c->id));
        gtk_widget_set_size_request(w.widget, width, height);
      } else if (c->kind == u"check box" || c->kind == u"radio button") {
        if (c->kind == u"check box") {
          w.widget = gtk_check_button_new_with_mnemonic(MnemonicLabel(c->text).c_str());
        } else {
          // A radio group starts at a button with WS_GROUP.
          if (c->style & WS_GROUP) firstRadioGroup = nullptr;
          w.widget = firstRadioGroup ? gtk_radio_button_new_with_mnemonic_from_widget(GTK_RADIO_BUTTON(firstRadioGroup),
                                                                                      MnemonicLabel(c->text).c_str())
                                     : gtk_radio_button_new_with_mnemonic(nullptr, MnemonicLabel(c->text).c_str());
          if (firstRadioGroup == nullptr) firstRadioGroup = w.widget;
        }
        w.input = w.widget;
        g_object_set_data(G_OBJECT(w.input), "daru-id", GUINT_TO_POINTER(c->id));
        g_signal_connect(w.input, "toggled", G_CALLBACK(OnToggled), this);
        gtk_widget_set_size_request(w.widget, width, height);
      } else if (c->kind == u"button" || c->kind == u"default button") {
        w.input = w.widget = gtk_button_new_with_mnemonic(MnemonicLabel(c->text).c_str());
        g_object_set_data(G_OBJECT(w.input), "daru-id", GUINT_TO_POINTER(c->id));
        g_signal_connect(w.input, "clicked", G_CALLBACK(OnClicked), this);
        gtk_widget_set_size_request(w.widget, width, height);
        if (c->isDefault) {
          gtk_widget_set_can_default(w.widget, TRUE);
          gtk_window_set_default(GTK_WINDOW(m_window), w.widget);
        }
      } else if (c->kind == u"tree view" || c->kind == u"list view") {
        // The control draws itself; the canvas shows it and passes the pointer on.
        CWnd* parent = c->wnd->GetParent();
        CRect r;
        c->wnd->GetWindowRect(&r);
        if (parent) parent->ScreenToClient(&r);
        auto canvas = std::make_unique<ControlCanvas>(*c->wnd, r.TopLeft(), m_user.m_router, m_user.m_images,
                                                      ControlCanvas::Hooks{[this] { Before(); }, [this] { After(); }});
        w.widget = gtk_frame_new(nullptr);
        gtk_frame_set_shadow_type(GTK_FRAME(w.widget), GTK_SHADOW_IN);
        gtk_container_add(GTK_CONTAINER(w.widget), canvas->Widget());
        gtk_widget_set_size_request(w.widget, width, height);
        m_canvases.push_back(std::move(canvas));
      } else {
        w.widget = gtk_label_new(text.c_str());
        gtk_widget_set_size_request(w.widget, width, height);
      }
      ApplyCompactStyle(w.widget);
      if (w.input && w.input != w.widget) ApplyCompactStyle(w.input);
      gtk_fixed_put(GTK_FIXED(m_fixed), w.widget, x, y);
      gtk_widget_show_all(w.widget);
      m_view.parts.push_back({text, c->id, w.widget});
      m_widgets.push_back(w);
    }
    const int width = Scale(d.size.Width());
    const int height = Scale(d.size.Height()) + shift;
    gtk_widget_set_size_request(m_fixed, width, height);
  }

  // Shows the controls' state: texts, checks, enabled, the focus the dialog chose.
  void Sync() {
    m_syncing = true;
    CWnd* focus = CWnd::GetFocus();
    for (Widget& w : m_widgets) {
      CWnd* c = w.control.wnd;
      if (c == nullptr || c->GetSafeHwnd() == nullptr) continue;
      gtk_widget_set_sensitive(w.widget, c->IsWindowEnabled());
      gtk_widget_set_visible(w.widget, (c->GetStyle() & WS_VISIBLE) != 0);
      const std::string text = ToUtf8(c->GetWindowText());
      if (w.input && GTK_IS_ENTRY(w.input)) {
        if (text != gtk_entry_get_text(GTK_ENTRY(w.input))) gtk_entry_set_text(GTK_ENTRY(w.input), text.c_str());
      } else if (w.input && GTK_IS_TEXT_VIEW(w.input)) {
        GtkTextBuffer* b = gtk_text_view_get_buffer(GTK_TEXT_VIEW(w.input));
        GtkTextIter s, e;
        gtk_text_buffer_get_bounds(b, &s, &e);
        gchar* now = gtk_text_buffer_get_text(b, &s, &e, FALSE);
        std::string shown = text;
        shown.erase(std::remove(shown.begin(), shown.end(), '\r'), shown.end());
        if (shown != now) gtk_text_buffer_set_text(b, shown.c_str(), -1);
        g_free(now);
      } else if (w.input && GTK_IS_TOGGLE_BUTTON(w.input)) {
        auto* b = DYNAMIC_DOWNCAST(CButton, c);
        if (b) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w.input), b->GetCheck() == 1);
      } else if (GTK_IS_LABEL(w.widget)) {
        gtk_label_set_text(GTK_LABEL(w.widget), ToUtf8(hostshared::WithoutMnemonic(c->GetWindowText())).c_str());
      }
      if (c == focus && !m_focusShown.count(c->GetSafeHwnd())) {
        gtk_widget_grab_focus(w.input ? w.input : w.widget);
        m_focusShown.clear();
        m_focusShown.insert(c->GetSafeHwnd());
      }
    }
    for (auto& canvas : m_canvases) canvas->RefreshIfPending();
    m_syncing = false;
  }

  // Something the person did: the dialog hears it, then the widgets show the outcome.
  template <typename F>
  void Act(F action) {
    if (m_acting) return;
    m_acting = true;
    Before();
    try {
      action();
    } catch (const std::logic_error&) {
      // A control the dialog took away meanwhile: nothing to do.
    }
    m_acting = false;
    After();
  }

  void Before() {
    if (m_user.m_before) m_user.m_before();
  }

  void After() {
    if (m_user.m_after) m_user.m_after();
    if (!m_session.IsOpen() || m_user.m_quit) {
      if (m_loop) g_main_loop_quit(m_loop);
      return;
    }
    // A sheet that changed page, or a dialog whose controls changed, is shown afresh.
    const hostshared::DialogDescription d = hostshared::DescribeDialog(m_session, &m_original);
    bool same = d.controls.size() == m_described.controls.size() && d.activeTab == m_described.activeTab;
    for (size_t i = 0; same && i < d.controls.size(); ++i) same = d.controls[i].wnd == m_described.controls[i].wnd;
    if (!same) {
      Populate();
    }
    Sync();
  }

  Widget* Find(GtkWidget* input) {
    for (Widget& w : m_widgets)
      if (w.input == input) return &w;
    return nullptr;
  }

  static void OnEntryChanged(GtkEditable* e, gpointer p) {
    auto* self = static_cast<DialogWindow*>(p);
    if (self->m_syncing || !gtk_editable_get_editable(e)) return;
    const UINT id = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(e), "daru-id"));
    const std::u16string text = FromUtf8(gtk_entry_get_text(GTK_ENTRY(e)));
    self->Act([self, id, text] { self->m_session.SetText(id, text); });
  }

  static void OnBufferChanged(GtkTextBuffer* b, gpointer p) {
    auto* self = static_cast<DialogWindow*>(p);
    if (self->m_syncing) return;
    for (Widget& w : self->m_widgets) {
      if (w.input == nullptr || !GTK_IS_TEXT_VIEW(w.input) || gtk_text_view_get_buffer(GTK_TEXT_VIEW(w.input)) != b)
        continue;
      if (!gtk_text_view_get_editable(GTK_TEXT_VIEW(w.input))) return;
      GtkTextIter s, e;
      gtk_text_buffer_get_bounds(b, &s, &e);
      gchar* now = gtk_text_buffer_get_text(b, &s, &e, FALSE);
      // The windows keep line breaks as CR LF.
      std::u16string text;
      for (char16_t ch : FromUtf8(now)) {
        if (ch == u'\n') text += u'\r';
        text += ch;
      }
      g_free(now);
      const UINT id = w.control.id;
      self->Act([self, id, text] { self->m_session.SetText(id, text); });
      return;
    }
  }

  static void OnToggled(GtkToggleButton* b, gpointer p) {
    auto* self = static_cast<DialogWindow*>(p);
    if (self->m_syncing) return;
    const UINT id = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(b), "daru-id"));
    const bool active = gtk_toggle_button_get_active(b);
    // A radio button that lost its mark hears nothing: its neighbour's selection does it.
    if (GTK_IS_RADIO_BUTTON(b) && !active) return;
    self->Act([self, id, active] { self->m_session.SetCheck(id, active ? 1 : 0); });
  }

  static void OnClicked(GtkButton* b, gpointer p) {
    auto* self = static_cast<DialogWindow*>(p);
    if (self->m_syncing) return;
    const UINT id = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(b), "daru-id"));
    self->Act([self, id] { self->m_session.Click(id); });
  }

  static void OnSwitchPage(GtkNotebook* nb, GtkWidget*, guint index, gpointer p) {
    auto* self = static_cast<DialogWindow*>(p);
    if (self->m_syncing || static_cast<int>(index) == self->m_session.ActiveTab()) return;
    // Switch after GTK has finished with the signal: the notebook is rebuilt on the way.
    self->m_pendingTab = static_cast<int>(index);
    g_signal_stop_emission_by_name(nb, "switch-page");
    g_idle_add(
        +[](gpointer q) -> gboolean {
          auto* me = static_cast<DialogWindow*>(q);
          const int tab = me->m_pendingTab;
          me->Act([me, tab] { me->m_session.SelectTab(tab); });
          return G_SOURCE_REMOVE;
        },
        self);
  }

  DesktopUser& m_user;
  CModalSession& m_session;
  GtkWidget* m_window = nullptr;    // owned: destroyed with this
  GtkWidget* m_fixed = nullptr;     // borrowed: inside m_window
  GtkWidget* m_notebook = nullptr;  // borrowed: inside m_fixed, a sheet's tabs
  GMainLoop* m_loop = nullptr;      // owned while Run runs
  std::vector<Widget> m_widgets;
  std::vector<std::unique_ptr<ControlCanvas>> m_canvases;  // owned: trees and lists of the dialog
  std::map<HWND, CRect> m_original;
  std::set<HWND> m_focusShown;
  hostshared::DialogDescription m_described;
  ModalView m_view;
  bool m_syncing = false;
  bool m_acting = false;
  int m_pendingTab = -1;
};

void DesktopUser::OperateDialog(CModalSession& dialog) {
  if (m_quit) {
    dialog.Cancel();
    return;
  }
  DialogWindow window(*this, dialog);
  window.Run();
}

}  // namespace desktop
