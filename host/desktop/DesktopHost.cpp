#include "desktop/DesktopHost.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/Files.h"
#include "res/ResourceIds.h"
#include "shared/CommandState.h"
#include "shared/Launch.h"

namespace desktop {

namespace {

// The keys the host gives the windows' commands (OnKey), shown beside them in the menu bar.
struct Shortcut {
  UINT menu, id;
  guint key;
  GdkModifierType mods;
};
constexpr Shortcut kShortcuts[] = {
    {IDR_TREECTRL_MENU, ID_TREECTRL_REFRESH, GDK_KEY_F5, GdkModifierType(0)},
    {IDR_TREECTRL_MENU, ID_TREECTRL_ADD, GDK_KEY_Insert, GdkModifierType(0)},
    {IDR_TREECTRL_MENU, ID_TREECTRL_DELETE, GDK_KEY_Delete, GdkModifierType(0)},
    {IDR_TREECTRL_MENU, ID_TREECTRL_RENAME, GDK_KEY_F2, GdkModifierType(0)},
    {IDR_LISTCTRL_MENU, ID_LIST_DEL, GDK_KEY_Delete, GdkModifierType(0)},
    {IDR_LISTCTRL_MENU, ID_LIST_SEARCH, GDK_KEY_f, GDK_CONTROL_MASK},
};

// Where the windows sit in the frame: apart, so that a screen point tells them apart.
const CPoint kTreeOrigin(0, 0);
const CPoint kListOrigin(4000, 0);

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// A widget's rectangle on the screen, in GTK's pixels.
bool ScreenRect(GtkWidget* w, GdkRectangle& out) {
  if (w == nullptr || !gtk_widget_get_mapped(w)) return false;
  GtkWidget* top = gtk_widget_get_toplevel(w);
  GdkWindow* window = top ? gtk_widget_get_window(top) : nullptr;
  if (window == nullptr) return false;
  int x = 0, y = 0, ox = 0, oy = 0;
  if (!gtk_widget_translate_coordinates(w, top, 0, 0, &x, &y)) return false;
  gdk_window_get_origin(window, &ox, &oy);
  GtkAllocation a;
  gtk_widget_get_allocation(w, &a);
  out = GdkRectangle{ox + x, oy + y, a.width, a.height};
  return true;
}

nlohmann::json RectJson(const GdkRectangle& r) { return {{"x", r.x}, {"y", r.y}, {"w", r.width}, {"h", r.height}}; }

}  // namespace

// ---- Settings ----

std::string SettingsPath() {
  std::filesystem::path base = Env("XDG_CONFIG_HOME");
  if (!base.is_absolute()) {
    if (Env("HOME").empty()) return {};
    base = std::filesystem::path(Env("HOME")) / ".config";
  }
  return (base / "daru" / "desktop.ini").string();
}

DesktopSettings LoadSettings(const std::string& path) {
  DesktopSettings s;
  GKeyFile* file = g_key_file_new();
  if (!path.empty() && g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_NONE, nullptr)) {
    // Out-of-range values (a hand-edited file) fall back to the defaults.
    auto read = [file](const char* key, int& into, int low, int high) {
      GError* error = nullptr;
      const int v = g_key_file_get_integer(file, "window", key, &error);
      if (error == nullptr && v >= low && v <= high) into = v;
      if (error) g_error_free(error);
    };
    read("width", s.width, 320, 16384);
    read("height", s.height, 240, 16384);
    read("tree-width", s.treeWidth, 40, 16000);
    read("list-height", s.listHeight, 40, 16000);
  }
  g_key_file_free(file);
  return s;
}

bool SaveSettings(const std::string& path, const DesktopSettings& s) {
  if (path.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  GKeyFile* file = g_key_file_new();
  g_key_file_set_integer(file, "window", "width", s.width);
  g_key_file_set_integer(file, "window", "height", s.height);
  g_key_file_set_integer(file, "window", "tree-width", s.treeWidth);
  g_key_file_set_integer(file, "window", "list-height", s.listHeight);
  const bool ok = g_key_file_save_to_file(file, path.c_str(), nullptr);
  g_key_file_free(file);
  return ok;
}

// ---- The host ----

DesktopHost::DesktopHost() : m_user(m_router, m_images) {}

DesktopHost::~DesktopHost() {
  if (m_timer) g_source_remove(m_timer);
  if (m_updateTimer) g_source_remove(m_updateTimer);
  if (m_stateTimer) g_source_remove(m_stateTimer);
  m_tree.reset();
  m_list.reset();
  m_pane.reset();
  if (m_window) gtk_widget_destroy(m_window);
  m_person.reset();
  m_windows.Destroy();
}

bool DesktopHost::Create(CDB* store, std::string* error) {
  if (!m_windows.Create([this](UINT m, WPARAM w, LPARAM l) { return OnHostMessage(m, w, l); }, store, error))
    return false;
  m_person = std::make_unique<CScopedUserInteraction>(&m_user);
  m_settingsPath = SettingsPath();
  m_settings = LoadSettings(m_settingsPath);
  BuildWindow();
  m_statePath = Env("DARU_DESKTOP_STATE");
  if (!m_statePath.empty()) {
    m_stateTimer = g_timeout_add(
        100,
        +[](gpointer p) -> gboolean {
          auto* self = static_cast<DesktopHost*>(p);
          const std::string state = self->StateJson();
          // Replaced whole: a reader never sees half of it.
          if (state != self->m_stateWritten && daru::ReplaceFile(self->m_statePath, state))
            self->m_stateWritten = state;
          return G_SOURCE_CONTINUE;
        },
        this);
  }
  return true;
}

void DesktopHost::BuildWindow() {
  m_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(m_window), "daru");
  gtk_window_set_icon_name(GTK_WINDOW(m_window), "daru-desktop");
  gtk_window_set_default_size(GTK_WINDOW(m_window), m_settings.width, m_settings.height);
  g_signal_connect(m_window, "delete-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer p) -> gboolean {
                     static_cast<DesktopHost*>(p)->Quit();
                     return TRUE;
                   }),
                   this);
  g_signal_connect(m_window, "key-press-event", G_CALLBACK(OnKey), this);
  m_user.SetParent(GTK_WINDOW(m_window));
  m_user.SetPointToWidget([this](POINT pt, GtkWidget*& w, int& x, int& y) { return PointToWidget(pt, w, x, y); });
  m_user.SetCanvasHooks([this] { SyncClock(); }, [this] { AfterInput(); });

  const ControlCanvas::Hooks hooks{[this] { SyncClock(); }, [this] { AfterInput(); }};
  m_tree = std::make_unique<ControlCanvas>(*m_windows.Tree(), kTreeOrigin, m_router, m_images, hooks);
  m_list = std::make_unique<ControlCanvas>(*m_windows.List(), kListOrigin, m_router, m_images, hooks);
  m_pane = std::make_unique<ReadingPane>();
  m_pane->onLink = [this](const std::string& url) {
    if (hostshared::SafeToOpen(FromUtf8(url)) && hostshared::LaunchDetached("xdg-open", url)) {
      m_message = "已用浏览器打开链接";
    } else {
      m_message = "这个链接不能打开: " + url;
    }
    UpdateStatus();
  };
  m_pane->ShowMessage("单击文章列表中的文章，在这里阅读。");

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_box_pack_start(GTK_BOX(box), BuildMenuBar(), FALSE, FALSE, 0);
  m_hpaned = gtk_paned_new(GTK_ORIENTATION_HORIZONTAL);
  m_vpaned = gtk_paned_new(GTK_ORIENTATION_VERTICAL);
  auto framed = [](GtkWidget* w) {
    GtkWidget* f = gtk_frame_new(nullptr);
    gtk_frame_set_shadow_type(GTK_FRAME(f), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(f), w);
    return f;
  };
  gtk_paned_pack1(GTK_PANED(m_hpaned), framed(m_tree->Outer()), FALSE, FALSE);
  gtk_paned_pack1(GTK_PANED(m_vpaned), framed(m_list->Outer()), TRUE, FALSE);
  gtk_paned_pack2(GTK_PANED(m_vpaned), framed(m_pane->Widget()), TRUE, FALSE);
  gtk_paned_pack2(GTK_PANED(m_hpaned), m_vpaned, TRUE, FALSE);
  gtk_paned_set_position(GTK_PANED(m_hpaned), m_settings.treeWidth);
  gtk_paned_set_position(GTK_PANED(m_vpaned), m_settings.listHeight);
  gtk_box_pack_start(GTK_BOX(box), m_hpaned, TRUE, TRUE, 0);
  m_status = gtk_label_new("");
  gtk_label_set_xalign(GTK_LABEL(m_status), 0.0f);
  gtk_label_set_ellipsize(GTK_LABEL(m_status), PANGO_ELLIPSIZE_END);
  gtk_widget_set_margin_start(m_status, 6);
  gtk_widget_set_margin_top(m_status, 2);
  gtk_widget_set_margin_bottom(m_status, 2);
  gtk_box_pack_start(GTK_BOX(box), m_status, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(m_window), box);
  UpdateStatus();
}

GtkWidget* DesktopHost::LibraryMenu(const char* title, UINT menuId, CWnd* target) {
  GtkWidget* top = gtk_menu_item_new_with_mnemonic(title);
  GtkWidget* menu = gtk_menu_new();
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), menu);
  m_menus.push_back(menu);
  const CMenuTemplate* t = AfxFindMenu(menuId);
  if (t == nullptr || t->items.empty()) return top;
  for (const CMenuTemplateItem& item : t->items.front().items) {
    GtkWidget* w = nullptr;
    if (item.flags & MF_SEPARATOR) {
      w = gtk_separator_menu_item_new();
    } else {
      w = gtk_menu_item_new_with_mnemonic(MnemonicLabel(item.text).c_str());
      for (const Shortcut& k : kShortcuts)
        if (k.menu == menuId && k.id == item.id)
          gtk_accel_label_set_accel(GTK_ACCEL_LABEL(gtk_bin_get_child(GTK_BIN(w))), k.key, k.mods);
      g_object_set_data(G_OBJECT(w), "daru-id", GUINT_TO_POINTER(item.id));
      g_object_set_data(G_OBJECT(w), "daru-target", target);
      g_signal_connect(w, "activate", G_CALLBACK(+[](GtkMenuItem* mi, gpointer p) {
                         auto* self = static_cast<DesktopHost*>(p);
                         auto* t = static_cast<CWnd*>(g_object_get_data(G_OBJECT(mi), "daru-target"));
                         const UINT id = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(mi), "daru-id"));
                         self->SyncClock();
                         self->Command(t, id);
                         self->AfterInput();
                       }),
                       this);
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), w);
  }
  // The windows' update handlers decide, each time the menu opens, what can be chosen.
  g_object_set_data(G_OBJECT(menu), "daru-target", target);
  g_signal_connect(menu, "show", G_CALLBACK(+[](GtkWidget* m, gpointer) {
                     auto* t = static_cast<CWnd*>(g_object_get_data(G_OBJECT(m), "daru-target"));
                     if (t == nullptr || !IsWindow(t->GetSafeHwnd())) return;
                     GList* children = gtk_container_get_children(GTK_CONTAINER(m));
                     std::vector<GtkWidget*> items;
                     std::vector<UINT> ids;
                     for (GList* c = children; c; c = c->next) {
                       const UINT id = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(c->data), "daru-id"));
                       if (id == 0) continue;
                       items.push_back(GTK_WIDGET(c->data));
                       ids.push_back(id);
                     }
                     const std::vector<bool> enabled = hostshared::CommandsEnabled(t, ids);
                     for (size_t i = 0; i < items.size(); ++i) gtk_widget_set_sensitive(items[i], enabled[i]);
                     g_list_free(children);
                   }),
                   nullptr);
  return top;
}

GtkWidget* DesktopHost::BuildMenuBar() {
  GtkWidget* bar = gtk_menu_bar_new();
  GtkAccelGroup* accel = gtk_accel_group_new();
  gtk_window_add_accel_group(GTK_WINDOW(m_window), accel);
  GtkWidget* file = gtk_menu_item_new_with_mnemonic("文件(_F)");
  GtkWidget* fileMenu = gtk_menu_new();
  gtk_menu_item_set_submenu(GTK_MENU_ITEM(file), fileMenu);
  m_menus.push_back(fileMenu);
  GtkWidget* quit = gtk_menu_item_new_with_mnemonic("退出(_Q)");
  gtk_widget_add_accelerator(quit, "activate", accel, GDK_KEY_q, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
  g_signal_connect(quit, "activate",
                   G_CALLBACK(+[](GtkMenuItem*, gpointer p) { static_cast<DesktopHost*>(p)->Quit(); }), this);
  GtkWidget* update = gtk_menu_item_new_with_mnemonic("更新所有订阅(_U)");
  gtk_widget_add_accelerator(update, "activate", accel, GDK_KEY_r, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE);
  gtk_accel_label_set_accel(GTK_ACCEL_LABEL(gtk_bin_get_child(GTK_BIN(update))), GDK_KEY_r, GDK_CONTROL_MASK);
  g_signal_connect(update, "activate",
                   G_CALLBACK(+[](GtkMenuItem*, gpointer p) { static_cast<DesktopHost*>(p)->StartUpdate(); }), this);
  gtk_menu_shell_append(GTK_MENU_SHELL(fileMenu), update);
  gtk_menu_shell_append(GTK_MENU_SHELL(fileMenu), gtk_separator_menu_item_new());
  gtk_menu_shell_append(GTK_MENU_SHELL(fileMenu), quit);
  gtk_menu_shell_append(GTK_MENU_SHELL(bar), file);
  gtk_menu_shell_append(GTK_MENU_SHELL(bar), LibraryMenu("标签(_L)", IDR_TREECTRL_MENU, m_windows.Tree()));
  gtk_menu_shell_append(GTK_MENU_SHELL(bar), LibraryMenu("文章(_A)", IDR_LISTCTRL_MENU, m_windows.List()));
  g_object_unref(accel);
  return bar;
}

bool DesktopHost::Command(CWnd* target, UINT id) {
  if (target == nullptr || !IsWindow(target->GetSafeHwnd())) return false;
  if (!hostshared::CommandEnabled(target, id)) {
    m_message = "此命令现在不可用";
    return false;
  }
  m_message.clear();
  target->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0);
  return true;
}

void DesktopHost::ContextMenuKey() {
  CDARUTreeCtrl* tree = m_windows.Tree();
  CDARUListCtrl* list = m_windows.List();
  if (CWnd::GetFocus() == list && list != nullptr) {
    const int row = list->GetNextItem(-1, LVNI_FOCUSED);
    if (row < 0) return;
    list->EnsureVisible(row, FALSE);
    CRect r;
    if (!list->GetItemRect(row, &r, LVIR_LABEL)) return;
    InputRightClick(list->GetSafeHwnd(), CPoint(r.left + 4, (r.top + r.bottom) / 2));
  } else if (tree != nullptr) {
    HTREEITEM sel = tree->GetSelectedItem();
    if (sel == nullptr) return;
    tree->EnsureVisible(sel);
    CRect r;
    if (tree->GetItemRect(sel, &r, TRUE))
      InputRightClick(tree->GetSafeHwnd(), CPoint(r.left + 2, (r.top + r.bottom) / 2));
  }
}

gboolean DesktopHost::OnKey(GtkWidget*, GdkEventKey* e, gpointer p) {
  auto* self = static_cast<DesktopHost*>(p);
  if (self->m_renamePopover != nullptr) return FALSE;
  CDARUTreeCtrl* tree = self->m_windows.Tree();
  CDARUListCtrl* list = self->m_windows.List();
  if (tree == nullptr || list == nullptr) return FALSE;
  // Keys that act on the label or article with the focus belong to the pane while it has the keyboard.
  if (!self->FocusInWindows()) {
    const bool global = e->keyval == GDK_KEY_F5 || (e->keyval == GDK_KEY_f && (e->state & GDK_CONTROL_MASK));
    if (!global) return FALSE;
  }
  const bool inList = CWnd::GetFocus() == list;
  const bool ctrl = (e->state & GDK_CONTROL_MASK) != 0;
  UINT command = 0;
  CWnd* target = inList ? static_cast<CWnd*>(list) : tree;
  switch (e->keyval) {
    case GDK_KEY_F5:
      command = ID_TREECTRL_REFRESH, target = tree;
      break;
    case GDK_KEY_F2:
      if (!inList) command = ID_TREECTRL_RENAME;
      break;
    case GDK_KEY_Insert:
      if (!inList) command = ID_TREECTRL_ADD;
      break;
    case GDK_KEY_Delete:
    case GDK_KEY_KP_Delete:
      command = inList ? ID_LIST_DEL : ID_TREECTRL_DELETE;
      break;
    case GDK_KEY_f:
      if (ctrl) command = ID_LIST_SEARCH, target = list;
      break;
    case GDK_KEY_Menu:
      self->SyncClock();
      self->ContextMenuKey();
      self->AfterInput();
      return TRUE;
    case GDK_KEY_F10:
      if (e->state & GDK_SHIFT_MASK) {
        self->SyncClock();
        self->ContextMenuKey();
        self->AfterInput();
        return TRUE;
      }
      break;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      if (inList) {
        // Opening a row is what a click on it does.
        const int row = list->GetNextItem(-1, LVNI_FOCUSED);
        CRect r;
        if (row >= 0 && list->GetItemRect(row, &r, LVIR_LABEL)) {
          self->SyncClock();
          InputClick(list->GetSafeHwnd(), CPoint(r.left + 4, (r.top + r.bottom) / 2));
          self->AfterInput();
          return TRUE;
        }
      }
      break;
    default:
      break;
  }
  if (command == 0) return FALSE;
  self->SyncClock();
  self->Command(target, command);
  self->AfterInput();
  return TRUE;
}

bool DesktopHost::FocusInWindows() const {
  GtkWidget* focus = m_window ? gtk_window_get_focus(GTK_WINDOW(m_window)) : nullptr;
  return focus != nullptr && ((m_tree && focus == m_tree->Widget()) || (m_list && focus == m_list->Widget()));
}

void DesktopHost::SyncClock() {
  const auto now = std::chrono::steady_clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_clock).count();
  if (ms <= 0) return;
  m_clock += std::chrono::milliseconds(ms);
  DaruAdvanceClock(static_cast<DWORD>(std::min<long long>(ms, 60000)));
}

void DesktopHost::ScheduleTimer() {
  if (m_timer) {
    g_source_remove(m_timer);
    m_timer = 0;
  }
  const long long due = DaruNextTimerDue();
  if (due < 0 || m_quit) return;
  m_timer = g_timeout_add(
      static_cast<guint>(std::clamp<long long>(due, 1, 1000)),
      +[](gpointer p) -> gboolean {
        auto* self = static_cast<DesktopHost*>(p);
        self->m_timer = 0;
        self->SyncClock();
        self->AfterInput();
        return G_SOURCE_REMOVE;
      },
      this);
}

void DesktopHost::AfterInput() {
  if (m_quit || m_windows.Tree() == nullptr) return;
  if (m_tree) m_tree->RefreshIfPending();
  if (m_list) m_list->RefreshIfPending();
  Rename();
  UpdateStatus();
  ScheduleTimer();
}

void DesktopHost::StartUpdate() {
  std::string error;
  if (m_updateCommand.empty()) {
    m_message = "此命令现在不可用";
  } else if (m_update.Running()) {
    m_message = "订阅正在更新";
  } else if (!m_update.Start(m_updateCommand, error)) {
    m_message = "不能更新订阅: " + error;
  } else {
    m_message = "正在更新订阅";
    m_updateEnded = false;
    if (m_updateTimer == 0) m_updateTimer = g_timeout_add(100, FollowUpdate, this);
  }
  UpdateStatus();
}

gboolean DesktopHost::FollowUpdate(gpointer p) {
  auto* self = static_cast<DesktopHost*>(p);
  if (self->m_quit) return G_SOURCE_CONTINUE;
  if (self->m_update.Running() && self->m_update.Poll()) {
    self->m_message = self->m_update.StatusText();
    self->m_updateEnded = !self->m_update.Running();
    self->UpdateStatus();
  }
  if (!self->m_updateEnded) return G_SOURCE_CONTINUE;
  // The windows are refilled only outside menus, dialogs, an in-place rename and a drag.
  CDARUTreeCtrl* tree = self->m_windows.Tree();
  CLabelTree* labels = CDARU::Instance()->GetLabelTree();
  if (tree == nullptr || labels == nullptr || !self->m_user.Modals().empty() || self->m_renamePopover != nullptr ||
      tree->GetEditControl() != nullptr || DaruGetDragImageState().dragging)
    return G_SOURCE_CONTINUE;
  self->m_updateEnded = false;
  self->m_updateTimer = 0;
  self->SyncClock();
  // New channels appear under the favourite feeds, opened; the shown label's list is filled again.
  if (!hostshared::ReloadLabelTree(*tree, *labels, true, nullptr)) self->m_message = "不能重新读取标签";
  self->AfterInput();
  return G_SOURCE_REMOVE;
}

void DesktopHost::UpdateStatus() {
  if (m_status == nullptr) return;
  CDARUTreeCtrl* tree = m_windows.Tree();
  CDARUListCtrl* list = m_windows.List();
  std::u16string text;
  if (list != nullptr && list->GetSearchTag()) {
    text = u"搜索结果";
  } else if (tree != nullptr) {
    if (HTREEITEM sel = tree->GetSelectedItem()) text = tree->GetItemText(sel);
  }
  if (list != nullptr)
    text += (text.empty() ? u"" : u" │ ") + FromUtf8(std::to_string(list->GetItemCount())) + u" 篇文章";
  std::string line = ToUtf8(text);
  if (!m_message.empty()) line += "   " + m_message;
  if (line != gtk_label_get_text(GTK_LABEL(m_status))) gtk_label_set_text(GTK_LABEL(m_status), line.c_str());
}

void DesktopHost::Rename() {
  CDARUTreeCtrl* tree = m_windows.Tree();
  CEdit* edit = tree ? tree->GetEditControl() : nullptr;
  if (edit == nullptr || m_renamePopover != nullptr) return;
  // The tree's in-place edit, as an entry over the label being renamed.
  CRect r;
  if (!tree->GetItemRect(tree->GetEditItem(), &r, TRUE)) return;
  GtkWidget* pop = gtk_popover_new(m_tree->Widget());
  GdkRectangle at{r.left, r.top, std::max(1, static_cast<int>(r.Width())), std::max(1, static_cast<int>(r.Height()))};
  gtk_popover_set_pointing_to(GTK_POPOVER(pop), &at);
  gtk_popover_set_position(GTK_POPOVER(pop), GTK_POS_BOTTOM);
  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_text(GTK_ENTRY(entry), ToUtf8(edit->GetWindowText()).c_str());
  gtk_container_add(GTK_CONTAINER(pop), entry);
  m_renamePopover = pop;
  m_renameEntry = entry;
  struct Done {
    DesktopHost* host;
    HWND edit;
    bool answered = false;
  };
  auto* done = new Done{this, edit->GetSafeHwnd()};
  g_signal_connect(entry, "activate", G_CALLBACK(+[](GtkEntry* e, gpointer p) {
                     auto* d = static_cast<Done*>(p);
                     if (d->answered) return;
                     d->answered = true;
                     const std::u16string text = FromUtf8(gtk_entry_get_text(e));
                     GtkWidget* pop = d->host->m_renamePopover;
                     d->host->m_renamePopover = nullptr;
                     d->host->m_renameEntry = nullptr;
                     d->host->SyncClock();
                     if (IsWindow(d->edit)) {
                       CWnd::FromHandle(d->edit)->SetWindowText(text);
                       InputKey(VK_RETURN, d->edit);
                     }
                     gtk_widget_destroy(pop);
                     d->host->AfterInput();
                   }),
                   done);
  g_signal_connect(pop, "closed", G_CALLBACK(+[](GtkPopover* pop, gpointer p) {
                     auto* d = static_cast<Done*>(p);
                     if (d->answered) return;
                     d->answered = true;
                     d->host->m_renamePopover = nullptr;
                     d->host->m_renameEntry = nullptr;
                     d->host->SyncClock();
                     if (IsWindow(d->edit)) InputKey(VK_ESCAPE, d->edit);
                     gtk_widget_destroy(GTK_WIDGET(pop));
                     d->host->AfterInput();
                   }),
                   done);
  g_object_set_data_full(
      G_OBJECT(pop), "daru-rename", done, +[](gpointer p) { delete static_cast<Done*>(p); });
  gtk_widget_show_all(pop);
  gtk_popover_popup(GTK_POPOVER(pop));
  gtk_widget_grab_focus(entry);
}

void DesktopHost::OpenLink(CArticle* article) {
  if (article == nullptr) return;
  const std::u16string url = article->url;
  if (url.empty()) {
    m_message = "这篇文章没有链接";
  } else if (hostshared::SafeToOpen(url) && hostshared::LaunchDetached("xdg-open", ToUtf8(url))) {
    m_message = "已用浏览器打开链接";
  } else {
    m_message = "这个链接不能打开: " + ToUtf8(url);
  }
  UpdateStatus();
}

LRESULT DesktopHost::OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == CDARUListCtrl::WM_DARU_SHOWARTICLE) {
    auto* article = reinterpret_cast<CArticle*>(lParam);
    if (article == nullptr) return 0;
    if (wParam == 1) {
      OpenLink(article);
    } else if (m_pane) {
      m_pane->ShowArticle(*article);
    }
  } else if (message == CDARUTreeCtrl::WM_DARU_TREE_DBLCLK) {
    // A double click on a label: its articles get the keyboard next.
    if (m_list)
      g_idle_add(
          +[](gpointer p) -> gboolean {
            auto* self = static_cast<DesktopHost*>(p);
            if (self->m_list && !self->m_quit) gtk_widget_grab_focus(self->m_list->Widget());
            if (self->m_windows.List()) self->m_windows.List()->SetFocus();
            return G_SOURCE_REMOVE;
          },
          this);
  }
  return 0;
}

bool DesktopHost::PointToWidget(POINT pt, GtkWidget*& widget, int& x, int& y) const {
  for (ControlCanvas* canvas : {m_tree.get(), m_list.get()}) {
    if (canvas == nullptr) continue;
    CRect r;
    canvas->Window().GetWindowRect(&r);
    if (r.PtInRect(pt)) {
      widget = canvas->Widget();
      x = pt.x - r.left;
      y = pt.y - r.top;
      return true;
    }
  }
  return false;
}

void DesktopHost::Quit() {
  m_quit = true;
  m_user.CancelAll();
  if (m_loop) g_main_loop_quit(m_loop);
}

void DesktopHost::Run() {
  gtk_widget_show_all(m_window);
  gtk_widget_grab_focus(m_tree->Widget());
  m_windows.Tree()->SetFocus();
  auto onSignal = +[](gpointer p) -> gboolean {
    static_cast<DesktopHost*>(p)->Quit();
    return G_SOURCE_CONTINUE;
  };
  const guint sigterm = g_unix_signal_add(SIGTERM, onSignal, this);
  const guint sigint = g_unix_signal_add(SIGINT, onSignal, this);
  const guint sighup = g_unix_signal_add(SIGHUP, onSignal, this);
  m_loop = g_main_loop_new(nullptr, FALSE);
  if (!m_quit) g_main_loop_run(m_loop);
  g_main_loop_unref(m_loop);
  m_loop = nullptr;
  g_source_remove(sigterm);
  g_source_remove(sigint);
  g_source_remove(sighup);
  // Remember how the window was laid out.
  if (!gtk_window_is_maximized(GTK_WINDOW(m_window)))
    gtk_window_get_size(GTK_WINDOW(m_window), &m_settings.width, &m_settings.height);
  m_settings.treeWidth = gtk_paned_get_position(GTK_PANED(m_hpaned));
  m_settings.listHeight = gtk_paned_get_position(GTK_PANED(m_vpaned));
  SaveSettings(m_settingsPath, m_settings);
  // Leaving: the GTK side lets go of the windows, the windows go, then the facade.
  if (m_timer) g_source_remove(m_timer);
  m_timer = 0;
  if (m_stateTimer) g_source_remove(m_stateTimer);
  m_stateTimer = 0;
  if (m_updateTimer) g_source_remove(m_updateTimer);
  m_updateTimer = 0;
  gtk_widget_hide(m_window);
  m_tree.reset();
  m_list.reset();
  m_person.reset();
  m_windows.Destroy();
  if (!m_statePath.empty()) daru::ReplaceFile(m_statePath, nlohmann::json{{"closed", true}}.dump());
}

std::string DesktopHost::StateJson() {
  nlohmann::json s;
  CDARUTreeCtrl* tree = m_windows.Tree();
  CDARUListCtrl* list = m_windows.List();
  if (tree == nullptr || list == nullptr || m_tree == nullptr) return "{}";
  s["scale"] = gtk_widget_get_scale_factor(m_window);
  s["status"] = m_status ? gtk_label_get_text(GTK_LABEL(m_status)) : "";
  s["pane"] = m_pane ? m_pane->ShownText() : "";
  s["webview"] = ReadingPane::HasWebView();
  s["frames"] = m_tree->Frames() + m_list->Frames();
  GdkRectangle area{};
  if (ScreenRect(m_window, area)) s["window"] = RectJson(area);
  nlohmann::json items = nlohmann::json::array();
  if (ScreenRect(m_tree->Widget(), area)) {
    s["tree"]["area"] = RectJson(area);
    for (HTREEITEM item = tree->GetFirstVisibleItem(); item != nullptr; item = tree->GetNextVisibleItem(item)) {
      CRect r;
      if (!tree->GetItemRect(item, &r, TRUE) || r.top >= area.height) break;
      const UINT state = tree->GetItemState(item, TVIS_BOLD | TVIS_DROPHILITED | TVIS_EXPANDED);
      items.push_back({{"text", ToUtf8(tree->GetItemText(item))},
                       {"x", area.x + r.left},
                       {"y", area.y + r.top},
                       {"w", r.Width()},
                       {"h", r.Height()},
                       {"selected", item == tree->GetSelectedItem()},
                       {"bold", (state & TVIS_BOLD) != 0},
                       {"drop", (state & TVIS_DROPHILITED) != 0},
                       {"expanded", (state & TVIS_EXPANDED) != 0}});
    }
  }
  s["tree"]["items"] = items;
  for (auto [name, canvas] : {std::pair{"tree", m_tree.get()}, std::pair{"list", m_list.get()}}) {
    GtkWidget* bar = canvas->ScrollBar();
    GtkAdjustment* a = gtk_range_get_adjustment(GTK_RANGE(bar));
    nlohmann::json j{{"shown", gtk_widget_get_visible(bar) != FALSE},
                     {"value", gtk_adjustment_get_value(a)},
                     {"page", gtk_adjustment_get_page_size(a)},
                     {"upper", gtk_adjustment_get_upper(a)}};
    if (ScreenRect(bar, area)) j["rect"] = RectJson(area);
    s[name]["scrollbar"] = j;
    s[name]["frames"] = canvas->Frames();
  }
  s["tree"]["focused"] = CWnd::GetFocus() == tree;
  s["tree"]["editing"] = tree->GetEditControl() != nullptr;
  nlohmann::json rows = nlohmann::json::array();
  if (ScreenRect(m_list->Widget(), area)) {
    s["list"]["area"] = RectJson(area);
    s["list"]["header"] = list->GetHeaderHeight();
    const int columns = list->GetHeaderCtrl() ? list->GetHeaderCtrl()->GetItemCount() : 1;
    for (int i = list->GetTopIndex(); i < list->GetItemCount(); ++i) {
      CRect r;
      if (!list->GetItemRect(i, &r, LVIR_BOUNDS) || r.top >= area.height) break;
      nlohmann::json texts = nlohmann::json::array();
      for (int c = 0; c < columns; ++c) texts.push_back(ToUtf8(list->GetItemText(i, c)));
      CRect label;
      list->GetItemRect(i, &label, LVIR_LABEL);
      rows.push_back({{"texts", texts},
                      {"x", area.x + label.left},
                      {"y", area.y + r.top},
                      {"w", label.Width()},
                      {"h", r.Height()},
                      {"bold", list->GetItemBold(i) != FALSE},
                      {"red", list->GetItemRed(i) != FALSE},
                      {"selected", (list->GetItemState(i, LVIS_SELECTED) & LVIS_SELECTED) != 0}});
    }
  }
  s["list"]["rows"] = rows;
  s["list"]["count"] = list->GetItemCount();
  nlohmann::json modals = nlohmann::json::array();
  for (const ModalView* m : m_user.Modals()) {
    nlohmann::json parts = nlohmann::json::array();
    for (const ModalView::Part& part : m->parts) {
      nlohmann::json j{{"label", part.label}, {"id", part.id}};
      if (ScreenRect(part.widget, area)) j["rect"] = RectJson(area);
      j["sensitive"] = part.widget && gtk_widget_is_sensitive(part.widget);
      parts.push_back(j);
    }
    modals.push_back({{"kind", m->kind}, {"title", m->title}, {"text", m->text}, {"parts", parts}});
  }
  s["modals"] = modals;
  s["renaming"] = m_renamePopover != nullptr;
  s["updating"] = m_update.Running() || m_updateEnded;
  if (m_renameEntry != nullptr && ScreenRect(m_renameEntry, area)) {
    s["rename"] = RectJson(area);
    s["rename"]["text"] = gtk_entry_get_text(GTK_ENTRY(m_renameEntry));
    s["rename"]["focused"] = gtk_widget_has_focus(m_renameEntry) != FALSE;
  }
  if (m_pane) {
    if (ScreenRect(m_pane->Widget(), area)) s["paneArea"] = RectJson(area);
    s["paneAddress"] = m_pane->Address();
  }
  // The menu bar's menu that is open, with its items as the person sees them.
  for (GtkWidget* menu : m_menus) {
    if (!gtk_widget_get_mapped(menu)) continue;
    nlohmann::json items = nlohmann::json::array();
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* c = children; c; c = c->next) {
      GtkWidget* item = GTK_WIDGET(c->data);
      if (GTK_IS_SEPARATOR_MENU_ITEM(item)) continue;
      nlohmann::json j{{"label", gtk_menu_item_get_label(GTK_MENU_ITEM(item))},
                       {"sensitive", gtk_widget_is_sensitive(item) != FALSE}};
      GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
      if (GTK_IS_ACCEL_LABEL(label)) {
        guint key = 0;
        GdkModifierType mods{};
        gtk_accel_label_get_accel(GTK_ACCEL_LABEL(label), &key, &mods);
        if (key != 0) {
          gchar* name = gtk_accelerator_name(key, mods);
          j["accel"] = name;
          g_free(name);
        }
      }
      if (ScreenRect(item, area)) j["rect"] = RectJson(area);
      items.push_back(j);
    }
    g_list_free(children);
    s["menubar"] = items;
  }
  return s.dump();
}

}  // namespace desktop
