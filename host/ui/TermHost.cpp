#include "ui/TermHost.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ui/EditField.h"
#include "ui/TextCells.h"

namespace termui {

namespace {

constexpr UINT kMsgTreeDoubleClick = WM_USER + 500;  // 1524
constexpr UINT kMsgShowArticle = WM_USER + 501;      // 1525

// Tree commands (menu 50000).
constexpr UINT kTreeRefresh = 50001;
constexpr UINT kTreeAdd = 50002;
constexpr UINT kTreeDelete = 50003;
constexpr UINT kTreeRename = 50004;
constexpr UINT kTreeRemoveAll = 50005;
constexpr UINT kTreeReadAll = 50006;
constexpr UINT kTreeUnreadAll = 50007;
constexpr UINT kTreeDefault = 53026;
// List commands (menu 53014, and 53007 through the host's routing).
constexpr UINT kListAdd = 53007;
constexpr UINT kListDelete = 53008;
constexpr UINT kListBrowse = 53009;
constexpr UINT kListComment = 53010;
constexpr UINT kListProperties = 53013;
constexpr UINT kListSearch = 53016;
constexpr UINT kListRead = 53017;
constexpr UINT kListUnread = 53018;
constexpr UINT kListImportant = 53019;
constexpr UINT kListUnimportant = 53020;
constexpr UINT kListLabels = 53028;

// Where the windows sit in the frame's pixels: apart, so that a screen point tells them apart.
const CPoint kTreeOrigin(0, 0);
const CPoint kListOrigin(4000, 0);

constexpr int kTreeCellWidth = 8;  // pixels of the tree per column (FitTree)

bool SafeToOpen(const std::u16string& url) {
  const std::string u = ToUtf8(url);
  for (const char* scheme : {"http://", "https://", "ftp://"})
    if (u.rfind(scheme, 0) == 0 && u.size() > std::string(scheme).size()) return true;
  return false;
}

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string dirs(path);
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string dir = dirs.substr(start, end - start);
    if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Starts the opener detached from us and from the terminal, and does not wait for it.
bool Launch(const char* program, const std::string& argument) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    char* argv[] = {const_cast<char*>(program), const_cast<char*>(argument.c_str()), nullptr};
    ::execvp(program, argv);
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TermHost::TermHost(IDisplay& display, TerminalUser& user, HostWindows& windows)
    : m_display(display), m_user(user), m_windows(windows) {}

void TermHost::Attach() {
  m_user.SetBackground([this](CellBuffer& out) { Draw(out); });
  m_user.SetPointToCell([this](POINT pt, int& x, int& y) { PointToCell(pt, x, y); });
  m_user.SetIdle([this] { return Idle(); });
  SetFocus(Pane::Tree);
}

int TermHost::Idle() {
  const auto now = std::chrono::steady_clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_clock).count();
  if (ms > 0) {
    m_clock += std::chrono::milliseconds(ms);
    DaruAdvanceClock(static_cast<DWORD>(std::min<long long>(ms, 60000)));
  }
  FollowUpdate();
  const long long due = DaruNextTimerDue();
  // While an update runs, its progress is looked at ten times a second.
  if (m_update.Running() || m_updateEnded) return due < 0 ? 100 : static_cast<int>(std::clamp<long long>(due, 1, 100));
  return due < 0 ? -1 : static_cast<int>(std::clamp<long long>(due, 1, 1000));
}

void TermHost::StartUpdate() {
  if (m_updateCommand.empty()) {
    m_status = "此命令现在不可用";
    return;
  }
  if (m_update.Running()) {
    m_status = "订阅正在更新";
    return;
  }
  std::string error;
  if (!m_update.Start(m_updateCommand, error)) {
    m_status = "不能更新订阅: " + error;
    return;
  }
  m_status = "正在更新订阅";
}

void TermHost::FollowUpdate() {
  bool changed = false;
  if (m_update.Running() && m_update.Poll()) {
    changed = true;
    if (m_update.Running()) {
      // "updating: 3/10 fetched, 1/10 filed" as the status.
      const std::string& p = m_update.Progress();
      const size_t at = p.find(": ");
      m_status = "正在更新订阅 " + (at == std::string::npos ? p : p.substr(at + 2));
    } else {
      m_updateEnded = true;
      const std::string& out = m_update.Output();
      auto number = [&out](const char* key) {
        // A key of the report itself, not of one feed's row: indented once.
        const std::string pattern = std::string("\n  \"") + key + "\": ";
        const size_t at = out.find(pattern);
        return at == std::string::npos ? std::string("?")
                                       : std::to_string(std::atol(out.c_str() + at + pattern.size()));
      };
      m_status = m_update.Status() > 1 || out.empty()
                     ? "订阅更新失败"
                     : "订阅已更新: " + number("new") + " 篇新文章, " + number("failed") + " 个失败";
    }
  }
  // The windows are refilled only outside dialogs, menus and an in-place rename.
  if (m_updateEnded && !m_user.Modal() && !m_keyboardMove && m_windows.Tree() != nullptr &&
      m_windows.Tree()->GetEditControl() == nullptr) {
    m_updateEnded = false;
    ReloadLabels(true);
    changed = true;
  }
  if (changed) {
    m_user.PaintLayers(m_display.Canvas());
    m_display.Present(-1, -1);
  }
}

namespace {

// The labels whose items are expanded, by id.
std::vector<int> ExpandedLabels(CTreeCtrl& tree) {
  std::vector<int> ids;
  std::vector<HTREEITEM> pending{tree.GetRootItem()};
  while (!pending.empty()) {
    HTREEITEM at = pending.back();
    pending.pop_back();
    for (; at != nullptr; at = tree.GetNextSiblingItem(at)) {
      const CLabel* label = reinterpret_cast<const CLabel*>(tree.GetItemData(at));
      if (label != nullptr && (tree.GetItemState(at, TVIS_EXPANDED) & TVIS_EXPANDED)) ids.push_back(label->labelid);
      if (HTREEITEM child = tree.GetChildItem(at)) pending.push_back(child);
    }
  }
  return ids;
}

HTREEITEM ItemOfLabel(CTreeCtrl& tree, HTREEITEM from, int labelid) {
  std::vector<HTREEITEM> pending{from};
  while (!pending.empty()) {
    HTREEITEM at = pending.back();
    pending.pop_back();
    for (; at != nullptr; at = tree.GetNextSiblingItem(at)) {
      const CLabel* label = reinterpret_cast<const CLabel*>(tree.GetItemData(at));
      if (label != nullptr && label->labelid == labelid) return at;
      if (HTREEITEM child = tree.GetChildItem(at)) pending.push_back(child);
    }
  }
  return nullptr;
}

}  // namespace

void TermHost::ReloadLabels(bool expandFeeds) {
  CDARUTreeCtrl* tree = m_windows.Tree();
  CLabelTree* labels = CDARU::Instance()->GetLabelTree();
  if (tree == nullptr || labels == nullptr || tree->GetEditControl() != nullptr) return;
  const HTREEITEM selected = tree->GetSelectedItem();
  const CLabel* shown = selected ? reinterpret_cast<const CLabel*>(tree->GetItemData(selected)) : nullptr;
  const int shownId = shown != nullptr ? shown->labelid : 0;
  std::vector<int> expanded = ExpandedLabels(*tree);
  // The favourite feeds open, where an update's new channels appear.
  if (expandFeeds) expanded.push_back(kFavRSSLabelID);
  // The old labels stay alive after a reload, so the items pointing to them are safe until refilled.
  if (!labels->LoadLabelTree()) {
    m_status = "不能重新读取标签";
    return;
  }
  tree->DeleteAllItems();
  labels->InitLabelTreeCtrl(tree);
  tree->Expand(tree->GetRootItem(), TVE_EXPAND);
  for (int id : expanded)
    if (HTREEITEM item = ItemOfLabel(*tree, tree->GetRootItem(), id)) tree->Expand(item, TVE_EXPAND);
  HTREEITEM again = shownId != 0 ? ItemOfLabel(*tree, tree->GetRootItem(), shownId) : nullptr;
  tree->SelectItem(again != nullptr ? again : tree->GetRootItem());
  if (again != nullptr) tree->EnsureVisible(again);
}

TermHost::Layout TermHost::ComputeLayout(int cols, int rows) const {
  Layout l;
  if (cols < kMinCols || rows < kMinRows) {
    l.tooSmall = true;
    return l;
  }
  l.title = Rect{0, 0, cols, 1};
  l.status = Rect{0, rows - 1, cols, 1};
  const int body = rows - 2;
  const int treeW = std::clamp(cols * 3 / 10, 14, 40);
  l.tree = Rect{0, 1, treeW, body};
  const int listX = treeW + 1;
  const int listW = cols - listX;
  if (m_article.Empty()) {
    l.list = Rect{listX, 1, listW, body};
  } else {
    const int listH = std::max(4, body / 2);
    l.list = Rect{listX, 1, listW, listH};
    l.article = Rect{listX, 1 + listH, listW, body - listH};
  }
  return l;
}

void TermHost::Fit(const Layout& l) {
  if (l.tooSmall) return;
  if (CTreeCtrl* tree = m_windows.Tree()) FitTree(*tree, l.tree, kTreeOrigin);
  if (CListCtrl* list = m_windows.List()) FitList(*list, l.list, kListOrigin);
}

void TermHost::Draw(CellBuffer& out) {
  out.ResetClip();
  out.Clear();
  m_layout = ComputeLayout(out.Cols(), out.Rows());
  if (m_layout.tooSmall) {
    std::string line = "终端太小，请放大到至少 " + std::to_string(kMinCols) + "x" + std::to_string(kMinRows);
    out.Text(0, 0, line.c_str(), kBold, out.Cols());
    return;
  }
  Fit(m_layout);
  CTreeCtrl* tree = m_windows.Tree();
  CDARUListCtrl* list = m_windows.List();
  // Title: the label shown and how many articles it has, then the last host message.
  out.Fill(m_layout.title, U' ', kAccent);
  std::u16string title = u" daru";
  if (list != nullptr && list->GetSearchTag()) {
    title += u" │ 搜索结果";
  } else if (tree != nullptr) {
    if (HTREEITEM sel = tree->GetSelectedItem()) title += u" │ " + tree->GetItemText(sel);
  }
  if (list != nullptr) title += u" │ " + FromUtf8(std::to_string(list->GetItemCount())) + u" 篇文章";
  const int used = out.Text(0, 0, title, kAccent | kBold);
  if (!m_status.empty()) {
    const std::u32string status = FitWidth(U32(m_status.c_str()), std::max(0, out.Cols() - used - 3), true);
    out.Text(out.Cols() - DisplayWidth(status) - 1, 0, status, kAccent);
  }
  if (tree != nullptr) DrawTree(out, m_layout.tree, *tree, m_focus == Pane::Tree);
  for (int y = m_layout.tree.y; y < m_layout.tree.y + m_layout.tree.h; ++y)
    out.Text(m_layout.tree.x + m_layout.tree.w, y, "│", kDim);
  if (list != nullptr) {
    ListStyleHooks hooks;
    hooks.rowStyle = [this](int row) { return m_windows.RowStyle(row); };
    hooks.sortArrow = [this](int column) { return m_windows.SortArrow(column); };
    DrawList(out, m_layout.list, *list, m_focus == Pane::List, hooks);
  }
  if (!m_article.Empty()) m_article.Draw(out, m_layout.article, m_focus == Pane::Article);
  const char* help = "";
  if (m_keyboardMove) {
    help = " 移动标签: ↑↓ 选目标  Enter 放下  Esc 取消";
  } else if (m_focus == Pane::Tree) {
    help =
        " Tab 切换  Enter 文章  F9 菜单  Ins 添加  Del 删除  F2 重命名  d 缺省  m 移动  F5 刷新  R 更新订阅  / 搜索  q "
        "退出";
  } else if (m_focus == Pane::List) {
    help =
        " Tab 切换  Enter 打开  F9 菜单  r/u 已读/未读  i/I 重要  c 评论  p 属性  o 链接  Del 删除  l 标签  / 搜索  q "
        "退出";
  } else {
    help = " Tab 切换  ↑↓ PgUp/PgDn 滚动  Esc 关闭  q 退出";
  }
  out.Fill(m_layout.status, U' ', kAccent);
  out.Text(0, m_layout.status.y, FitWidth(U32(help), out.Cols(), true), kAccent);
}

void TermHost::Run() {
  while (!m_quit && !m_user.QuitRequested()) {
    CellBuffer& out = m_display.Canvas();
    Draw(out);
    int cx = -1, cy = -1;
    // An in-place rename: its edit lies over the label being renamed.
    if (CTreeCtrl* tree = m_windows.Tree(); tree != nullptr && !m_layout.tooSmall) {
      if (CEdit* edit = tree->GetEditControl()) {
        const int line = TreeLineOf(*tree, tree->GetEditItem());
        if (line >= 0 && line < m_layout.tree.h) {
          const int x = m_layout.tree.x + TreeLabelCell(*tree, tree->GetEditItem());
          const Rect r{x, m_layout.tree.y + line, std::max(4, m_layout.tree.x + m_layout.tree.w - x), 1};
          DrawEdit(out, r, *edit, kReverse, true, &cx, &cy);
        }
      }
    }
    m_display.Present(cx, cy);
    const Event e = m_user.NextEvent();
    if (!Handle(e)) break;
  }
}

bool TermHost::Handle(const Event& e) {
  switch (e.type) {
    case Event::Type::Quit:
      m_quit = true;
      break;
    case Event::Type::Key:
      HandleKey(e);
      break;
    case Event::Type::Mouse:
      HandleMouse(e);
      break;
    default:
      break;
  }
  return !m_quit && !m_user.QuitRequested();
}

void TermHost::SetFocus(Pane pane) {
  if (pane == Pane::Article && m_article.Empty()) pane = Pane::Tree;
  m_focus = pane;
  if (pane == Pane::Tree && m_windows.Tree()) m_windows.Tree()->SetFocus();
  if (pane == Pane::List && m_windows.List()) m_windows.List()->SetFocus();
}

void TermHost::KeyToWindow(UINT vk, int times) {
  CWnd* target = m_focus == Pane::Tree ? static_cast<CWnd*>(m_windows.Tree()) : m_windows.List();
  if (target == nullptr) return;
  for (int i = 0; i < times && IsWindow(target->GetSafeHwnd()); ++i) InputKey(vk, target->GetSafeHwnd());
}

bool TermHost::Command(CWnd* target, UINT id) {
  if (target == nullptr || !IsWindow(target->GetSafeHwnd())) return false;
  // The same update pass a menu gets: an item the handlers leave disabled cannot be chosen.
  CMenu popup;
  popup.CreatePopupMenu();
  popup.AppendMenu(MF_STRING, id, u"");
  DaruUpdateMenuUI(&popup, target, TRUE);
  if (popup.GetMenuState(id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) {
    m_status = "此命令现在不可用";
    return false;
  }
  m_status.clear();
  target->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0);
  return true;
}

void TermHost::ContextMenu() {
  if (m_focus == Pane::Tree) {
    CTreeCtrl* tree = m_windows.Tree();
    if (tree == nullptr) return;
    HTREEITEM sel = tree->GetSelectedItem();
    if (sel == nullptr) return;  // a right click on no item shows no menu
    tree->EnsureVisible(sel);
    InputRightClick(tree->GetSafeHwnd(), TreeLabelPoint(*tree, sel));
  } else if (m_focus == Pane::List) {
    CListCtrl* list = m_windows.List();
    if (list == nullptr) return;
    const int row = list->GetNextItem(-1, LVNI_FOCUSED);
    if (row >= 0) list->EnsureVisible(row, FALSE);
    CPoint pt = row >= 0 ? ListRowPoint(*list, row) : CPoint(-1, -1);
    if (pt.x < 0) {
      // No row to open it on: the empty space below the rows, or the top row.
      const int shown = std::min(list->GetItemCount() - list->GetTopIndex(), list->GetCountPerPage());
      CRect client;
      list->GetClientRect(&client);
      const int y = list->GetHeaderHeight() + shown * list->GetRowHeight() + list->GetRowHeight() / 2;
      pt = y < client.bottom ? CPoint(10, y) : ListRowPoint(*list, list->GetTopIndex());
    }
    InputRightClick(list->GetSafeHwnd(), pt);
  }
}

void TermHost::HandleKey(const Event& e) {
  if (m_layout.tooSmall) {
    if (e.key == Key::F10 || (e.key == Key::Char && e.ch == U'q')) m_quit = true;
    return;
  }
  if (HandleRenameKey(e)) return;
  if (m_keyboardMove) {
    KeyboardMoveKey(e);
    return;
  }
  switch (e.key) {
    case Key::F10:
      m_quit = true;
      return;
    case Key::Tab:
    case Key::BackTab: {
      static const Pane order[] = {Pane::Tree, Pane::List, Pane::Article};
      const int n = m_article.Empty() ? 2 : 3;
      int i = static_cast<int>(m_focus);
      i = (i + (e.key == Key::Tab ? 1 : n - 1)) % n;
      SetFocus(order[i]);
      return;
    }
    case Key::F9:
    case Key::Menu:
      ContextMenu();
      return;
    case Key::F5:
      // Labels another process made (an update, a second daru) appear too.
      ReloadLabels();
      Command(m_windows.Tree(), kTreeRefresh);
      return;
    case Key::CtrlL:
      return;  // the next draw repaints everything
    case Key::Char:
      if (e.ch == U'q') {
        m_quit = true;
        return;
      }
      if (e.ch == U'/') {
        Command(m_windows.List(), kListSearch);
        return;
      }
      if (e.ch == U'R') {
        StartUpdate();
        return;
      }
      break;
    default:
      break;
  }
  if (m_focus == Pane::Tree)
    HandleTreeKey(e);
  else if (m_focus == Pane::List)
    HandleListKey(e);
  else {
    const int page = std::max(1, m_layout.article.h - 2);
    switch (e.key) {
      case Key::Up:
        m_article.Scroll(-1, page);
        break;
      case Key::Down:
        m_article.Scroll(1, page);
        break;
      case Key::PageUp:
        m_article.Scroll(-page, page);
        break;
      case Key::PageDown:
      case Key::Char:
        if (e.key == Key::PageDown || e.ch == U' ') m_article.Scroll(page, page);
        break;
      case Key::Home:
        m_article.Scroll(-1000000, page);
        break;
      case Key::Escape:
        m_article.Clear();
        SetFocus(Pane::List);
        break;
      default:
        break;
    }
  }
}

namespace {

// A key of a pane that stands for a command of the pane's window.
struct KeyCommand {
  Key key;
  char32_t ch;  // for Key::Char
  UINT command;
};

constexpr KeyCommand kTreeKeys[] = {
    {Key::F2, 0, kTreeRename},       {Key::Insert, 0, kTreeAdd},        {Key::Delete, 0, kTreeDelete},
    {Key::Char, U'a', kTreeAdd},     {Key::Char, U'd', kTreeDefault},   {Key::Char, U'x', kTreeRemoveAll},
    {Key::Char, U'r', kTreeReadAll}, {Key::Char, U'u', kTreeUnreadAll},
};

constexpr KeyCommand kListKeys[] = {
    {Key::Delete, 0, kListDelete},   {Key::Insert, 0, kListAdd},         {Key::Char, U'r', kListRead},
    {Key::Char, U'u', kListUnread},  {Key::Char, U'i', kListImportant},  {Key::Char, U'I', kListUnimportant},
    {Key::Char, U'c', kListComment}, {Key::Char, U'p', kListProperties}, {Key::Char, U'o', kListBrowse},
    {Key::Char, U'l', kListLabels},  {Key::Char, U'n', kListAdd},
};

template <size_t N>
UINT CommandOfKey(const KeyCommand (&keys)[N], const Event& e) {
  for (const KeyCommand& k : keys)
    if (k.key == e.key && (k.key != Key::Char || k.ch == e.ch)) return k.command;
  return 0;
}

}  // namespace

// The moving keys of the tree and the list go to the window as its own keys;
// a page is the window's visible rows but one.
bool TermHost::NavigationKey(const Event& e, int page, bool sideways) {
  switch (e.key) {
    case Key::Up:
      KeyToWindow(VK_UP);
      return true;
    case Key::Down:
      KeyToWindow(VK_DOWN);
      return true;
    case Key::Left:
    case Key::Right:
      if (!sideways) return false;
      KeyToWindow(e.key == Key::Left ? VK_LEFT : VK_RIGHT);
      return true;
    case Key::Home:
      KeyToWindow(VK_HOME);
      return true;
    case Key::End:
      KeyToWindow(VK_END);
      return true;
    case Key::PageUp:
      KeyToWindow(VK_UP, page);
      return true;
    case Key::PageDown:
      KeyToWindow(VK_DOWN, page);
      return true;
    default:
      return false;
  }
}

void TermHost::HandleTreeKey(const Event& e) {
  CTreeCtrl* tree = m_windows.Tree();
  if (tree == nullptr) return;
  if (NavigationKey(e, std::max(1, static_cast<int>(tree->GetVisibleCount()) - 1), true)) return;
  if (e.key == Key::Enter) {
    SetFocus(Pane::List);
  } else if (e.key == Key::Char && e.ch == U'm') {
    StartKeyboardMove();
  } else if (const UINT command = CommandOfKey(kTreeKeys, e)) {
    Command(tree, command);
  }
}

void TermHost::HandleListKey(const Event& e) {
  CListCtrl* list = m_windows.List();
  if (list == nullptr) return;
  if (NavigationKey(e, std::max(1, list->GetCountPerPage() - 1), false)) return;
  if (e.key == Key::Escape) {
    m_article.Clear();
  } else if (e.key == Key::Enter) {
    // Opening a row is what a click on it does: the list marks it read and asks us to show it.
    const int row = list->GetNextItem(-1, LVNI_FOCUSED);
    if (row < 0) return;
    list->EnsureVisible(row, FALSE);
    const CPoint pt = ListRowPoint(*list, row);
    if (pt.x >= 0) InputClick(list->GetSafeHwnd(), pt);
  } else if (const UINT command = CommandOfKey(kListKeys, e)) {
    Command(list, command);
  }
}

bool TermHost::HandleRenameKey(const Event& e) {
  CTreeCtrl* tree = m_windows.Tree();
  CEdit* edit = tree ? tree->GetEditControl() : nullptr;
  if (edit == nullptr || e.type != Event::Type::Key) return false;
  const HWND hwnd = edit->GetSafeHwnd();
  if (e.key == Key::Enter || e.key == Key::Escape) {
    InputKey(e.key == Key::Enter ? VK_RETURN : VK_ESCAPE, hwnd);
  } else if (e.key == Key::Tab || e.key == Key::BackTab) {
    SetFocus(e.key == Key::Tab ? Pane::List : Pane::Tree);  // the edit loses the focus and keeps its text
  } else {
    EditKey(*edit, e);
  }
  return true;
}

void TermHost::StartKeyboardMove() {
  CTreeCtrl* tree = m_windows.Tree();
  if (tree == nullptr) return;
  HTREEITEM sel = tree->GetSelectedItem();
  if (sel == nullptr) return;
  tree->EnsureVisible(sel);
  const CPoint pt = TreeLabelPoint(*tree, sel);
  if (pt.x < 0) return;
  const HWND hwnd = tree->GetSafeHwnd();
  // Press, hold a moment as a hand does, and pull: the tree's own drag begins.
  InputLButtonDown(hwnd, pt);
  DaruAdvanceClock(100);
  InputMouseMove(hwnd, CPoint(pt.x + 8, pt.y));
  if (GetCapture() != hwnd) {
    if (DaruMouseButtons() & MK_LBUTTON) InputLButtonUp(hwnd, pt);
    m_status = "这个标签不能移动";
    return;
  }
  m_keyboardMove = true;
  m_moveOver = sel;
  InputMouseMove(hwnd, pt);
}

void TermHost::KeyboardMoveKey(const Event& e) {
  CTreeCtrl* tree = m_windows.Tree();
  if (tree == nullptr) return;
  const HWND hwnd = tree->GetSafeHwnd();
  HTREEITEM dragged = tree->GetSelectedItem();
  switch (e.key) {
    case Key::Up:
    case Key::Down: {
      HTREEITEM next = e.key == Key::Up ? tree->GetPrevVisibleItem(m_moveOver) : tree->GetNextVisibleItem(m_moveOver);
      if (next == nullptr) return;
      m_moveOver = next;
      tree->EnsureVisible(next);
      InputMouseMove(hwnd, TreeLabelPoint(*tree, next));
      return;
    }
    case Key::Right:
      // Resting on a label opens it, as the pointer does after a while.
      tree->Expand(m_moveOver, TVE_EXPAND);
      return;
    case Key::Enter:
    case Key::Escape: {
      m_keyboardMove = false;
      const HTREEITEM at = e.key == Key::Enter ? m_moveOver : dragged;
      CPoint pt = TreeLabelPoint(*tree, at);
      if (e.key == Key::Escape) InputMouseMove(hwnd, pt);
      InputLButtonUp(hwnd, pt);
      return;
    }
    default:
      return;
  }
}

void TermHost::OpenLink(CArticle* article) {
  if (article == nullptr) return;
  const std::u16string url = article->url;
  if (url.empty()) {
    m_status = "这篇文章没有链接";
    return;
  }
  if (SafeToOpen(url) && OnPath("xdg-open") && Launch("xdg-open", ToUtf8(url))) {
    m_status = "已用 xdg-open 打开链接";
    return;
  }
  m_article.ShowLink(article->title, url, u"请在浏览器中打开这个链接。");
  m_status = "链接见文章窗格";
}

LRESULT TermHost::OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgShowArticle) {
    auto* article = reinterpret_cast<CArticle*>(lParam);
    if (article == nullptr) return 0;
    if (wParam == 1) {
      OpenLink(article);
    } else {
      CLabelTree* labels = CDARU::Instance() ? CDARU::Instance()->GetLabelTree() : nullptr;
      m_article.Show(*article, labels ? labels->FindLabel(article->label) : nullptr);
    }
  } else if (message == kMsgTreeDoubleClick) {
    // A double click on a label: go to its articles, once the tree has done with the click.
    m_listAfterDoubleClick = true;
  }
  return 0;
}

ClickTarget TermHost::TreeTarget(int x, int y) const {
  CTreeCtrl* tree = m_windows.Tree();
  const Rect& a = m_layout.tree;
  if (a.Contains(x, y)) return TreeClick(*tree, a, x, y);
  // Outside the pane (during a drag): where the pointer would be, in the tree's pixels.
  const int h = std::max<int>(1, tree->GetItemHeight());
  ClickTarget t;
  t.hwnd = tree->GetSafeHwnd();
  t.pt = CPoint((x - a.x) * kTreeCellWidth, (y - a.y) * h + h / 2);
  return t;
}

void TermHost::HandleMouse(const Event& e) {
  if (m_layout.tooSmall) return;
  CTreeCtrl* tree = m_windows.Tree();
  CListCtrl* list = m_windows.List();
  const bool inTree = m_layout.tree.Contains(e.x, e.y);
  const bool inList = m_layout.list.Contains(e.x, e.y);
  const bool inArticle = !m_article.Empty() && m_layout.article.Contains(e.x, e.y);
  auto targetAt = [&](int x, int y) -> ClickTarget {
    if (tree && m_layout.tree.Contains(x, y)) return TreeTarget(x, y);
    if (list && m_layout.list.Contains(x, y)) return ListClick(*list, m_layout.list, x, y);
    return ClickTarget{};
  };
  auto toWindow = [&](HWND hwnd, int x, int y) -> CPoint {
    // A point for a window the press went to, wherever the pointer is now.
    if (tree && hwnd == tree->GetSafeHwnd()) return TreeTarget(x, y).pt;
    if (list && hwnd == list->GetSafeHwnd()) return ListClick(*list, m_layout.list, x, y).pt;
    return ListClick(*list, m_layout.list, x, m_layout.list.y).pt;
  };
  if (e.action == MouseAction::WheelUp || e.action == MouseAction::WheelDown) {
    const UINT code = e.action == MouseAction::WheelUp ? SB_LINEUP : SB_LINEDOWN;
    if (inArticle) m_article.Scroll(e.action == MouseAction::WheelUp ? -3 : 3, m_layout.article.h);
    CWnd* w = inTree ? static_cast<CWnd*>(tree) : inList ? static_cast<CWnd*>(list) : nullptr;
    for (int i = 0; w != nullptr && i < 3; ++i) w->SendMessage(WM_VSCROLL, MAKEWPARAM(code, 0), 0);
    return;
  }
  if (e.button == MouseButton::Left) {
    if (e.action == MouseAction::Press) {
      if (inArticle) {
        SetFocus(Pane::Article);
        return;
      }
      const ClickTarget t = targetAt(e.x, e.y);
      if (t.hwnd == nullptr) return;
      m_pressTarget = t.hwnd;
      if (e.doubleClick) {
        // The second press of a double click arrives as WM_LBUTTONDBLCLK.
        CPoint screen(t.pt);
        ::ClientToScreen(t.hwnd, &screen);
        SetCursorPos(screen.x, screen.y);
        ::SendMessage(t.hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(t.pt.x, t.pt.y));
      } else {
        InputLButtonDown(t.hwnd, t.pt);
      }
    } else if (e.action == MouseAction::Drag && m_pressTarget != nullptr && IsWindow(m_pressTarget)) {
      InputMouseMove(m_pressTarget, toWindow(m_pressTarget, e.x, e.y));
    } else if (e.action == MouseAction::Release && m_pressTarget != nullptr) {
      const HWND target = m_pressTarget;
      m_pressTarget = nullptr;
      if (IsWindow(target)) InputLButtonUp(target, toWindow(target, e.x, e.y));
    }
  } else if (e.button == MouseButton::Right) {
    if (e.action == MouseAction::Press) {
      const ClickTarget t = targetAt(e.x, e.y);
      m_rightTarget = t.hwnd;
      if (t.hwnd) InputRButtonDown(t.hwnd, t.pt);
    } else if (e.action == MouseAction::Release && m_rightTarget != nullptr) {
      const HWND target = m_rightTarget;
      m_rightTarget = nullptr;
      if (IsWindow(target)) InputRButtonUp(target, toWindow(target, e.x, e.y));
    }
  }
  // The windows move the focus themselves on a press.
  const HWND focus = ::GetFocus();
  if (tree && focus == tree->GetSafeHwnd()) m_focus = Pane::Tree;
  if (list && focus == list->GetSafeHwnd()) m_focus = Pane::List;
}

void TermHost::PointToCell(POINT pt, int& x, int& y) const {
  x = m_layout.list.x;
  y = m_layout.list.y;
  CTreeCtrl* tree = m_windows.Tree();
  CListCtrl* list = m_windows.List();
  CRect r;
  if (tree != nullptr) {
    tree->GetWindowRect(&r);
    if (r.PtInRect(pt)) {
      const int h = std::max<int>(1, tree->GetItemHeight());
      x = m_layout.tree.x + (pt.x - r.left) / kTreeCellWidth;
      y = m_layout.tree.y + (pt.y - r.top) / h;
      return;
    }
  }
  if (list != nullptr) {
    list->GetWindowRect(&r);
    if (r.PtInRect(pt)) {
      const int h = std::max(1, list->GetRowHeight());
      const int local = pt.y - r.top;
      x = m_layout.list.x + (pt.x - r.left) * m_layout.list.w / std::max(1, r.Width());
      y = m_layout.list.y + (local < list->GetHeaderHeight() ? 0 : 1 + (local - list->GetHeaderHeight()) / h);
    }
  }
}

}  // namespace termui
