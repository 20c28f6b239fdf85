#include "terminal/TermHost.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>

#include "res/ResourceIds.h"
#include "shared/CommandState.h"
#include "shared/Launch.h"
#include "shared/PointerInput.h"
#include "terminal/EditField.h"
#include "terminal/HtmlText.h"
#include "terminal/TextCells.h"

namespace termui {

namespace {

// Where the windows sit in the frame's pixels: apart, so that a screen point tells them apart.
const CPoint kTreeOrigin(0, 0);
const CPoint kListOrigin(4000, 0);

constexpr int kTreeCellWidth = 8;  // pixels of the tree per column (FitTree)

}  // namespace

namespace {

// j/k and g/G move as the arrows and Home/End do, as in other terminal tools.
Event ViKey(const Event& e) {
  if (e.type != Event::Type::Key || e.key != Key::Char || e.alt) return e;
  switch (e.ch) {
    case U'j':
      return Event::OfKey(Key::Down);
    case U'k':
      return Event::OfKey(Key::Up);
    case U'g':
      return Event::OfKey(Key::Home);
    case U'G':
      return Event::OfKey(Key::End);
    default:
      return e;
  }
}

}  // namespace

TermHost::TermHost(IDisplay& display, TerminalUser& user, HostWindows& windows)
    : m_display(display), m_user(user), m_windows(windows) {}

void TermHost::Attach() {
  m_user.SetBackground([this](CellBuffer& out) { Draw(out); });
  m_user.SetPointToCell([this](POINT pt, int& x, int& y) { PointToCell(pt, x, y); });
  m_user.SetIdle([this] { return Idle(); });
  m_user.SetShortcuts([this](UINT id) { return ShortcutOf(id); });
  m_user.SetHostItems([this](const CPopupMenuView& menu) { return HostItemsOf(menu); });
  m_user.SetBeforeCommand([this](UINT id) { return BeforeCommand(id); });
  SetFocus(Pane::Tree);
  if (CDARUListCtrl* list = m_windows.List()) m_lastSortIndicator = list->GetSortIndicator();
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
    m_status = m_update.StatusText();
    m_updateEnded = !m_update.Running();
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

void TermHost::ReloadLabels(bool expandFeeds) {
  CDARUTreeCtrl* tree = m_windows.Tree();
  CLabelTree* labels = CDARU::Instance()->GetLabelTree();
  if (tree == nullptr || labels == nullptr || tree->GetEditControl() != nullptr) return;
  const HTREEITEM selected = tree->GetSelectedItem();
  HTREEITEM again = nullptr;
  if (!hostshared::ReloadLabelTree(*tree, *labels, expandFeeds, &again)) {
    m_status = "不能重新读取标签";
    return;
  }
  if (again != nullptr) {
    // The same label under a new item: no change of label for the list's order or the open article.
    if (m_lastLabel == selected) m_lastLabel = again;
    if (m_articleLabel == selected) m_articleLabel = again;
  }
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
  } else if (m_zoom) {
    // The article has the whole right side; the list keeps its header line, to show where it went.
    l.list = Rect{listX, 1, listW, 1};
    l.article = Rect{listX, 2, listW, body - 1};
  } else {
    // The list keeps a few rows around the open one; the article gets the rest.
    const int listH = std::clamp(body / 3, 4, 12);
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
    std::string line = Tr("终端太小，请放大到至少 ", "The terminal is too small; make it at least ") +
                       std::to_string(kMinCols) + "x" + std::to_string(kMinRows);
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
    title += u" │ " + FromUtf8(Tr("搜索结果", "search results"));
  } else if (tree != nullptr) {
    if (HTREEITEM sel = tree->GetSelectedItem()) title += u" │ " + tree->GetItemText(sel);
  }
  if (list != nullptr) {
    const int count = list->GetItemCount();
    title += u" │ " + FromUtf8(std::to_string(count) + Tr(" 篇文章", count == 1 ? " article" : " articles"));
  }
  const int used = out.Text(0, 0, title, kAccent | kBold);
  if (!m_status.empty()) {
    const std::u32string status = FitWidth(U32(m_status.c_str()), std::max(0, out.Cols() - used - 3), true);
    out.Text(out.Cols() - DisplayWidth(status) - 1, 0, status, kAccent);
  }
  if (tree != nullptr) {
    if (m_countsStale) CountArticles();
    DrawTree(out, m_layout.tree, *tree, m_focus == Pane::Tree, [this](HTREEITEM item) { return CountNote(item); });
  }
  for (int y = m_layout.tree.y; y < m_layout.tree.y + m_layout.tree.h; ++y)
    out.Text(m_layout.tree.x + m_layout.tree.w, y, "│", kDim);
  if (list != nullptr) {
    ListStyleHooks hooks;
    hooks.rowStyle = [this](int row) { return m_windows.RowStyle(row); };
    // Rows refilled without sorting (a refresh, search results) show no arrow.
    hooks.sortArrow = [this](int column) { return m_rowsSorted ? m_windows.SortArrow(column) : 0; };
    DrawList(out, m_layout.list, *list, m_focus == Pane::List, hooks);
  }
  if (!m_article.Empty()) m_article.Draw(out, m_layout.article, m_focus == Pane::Article);
  const char* help = "";
  if (m_keyboardMove) {
    help = Tr(" 移动标签: ↑↓ 选目标  Enter 放下  Esc 取消", " Move label: ↑↓ target  Enter drop  Esc cancel");
  } else if (m_focus == Pane::Tree) {
    help =
        Tr(" ? 帮助  Tab 切换  Enter 文章  F9 菜单  a 添加  F2 重命名  Del 删除  m 移动  F5 刷新  R 更新订阅  / 搜索  "
           "q 退出",
           " ? help  Tab switch  Enter articles  F9 menu  a add  F2 rename  Del delete  m move  F5 refresh  R update "
           "feeds  / search  q quit");
  } else if (m_focus == Pane::List) {
    help =
        Tr(" ? 帮助  Tab 切换  Enter 打开  N 下一未读  F9 菜单  r/u 已读/未读  c 注释  n 添加  s 排序  / 搜索  q 退出",
           " ? help  Tab switch  Enter open  N next unread  F9 menu  r/u read/unread  c comment  n add  s sort  / "
           "search  q quit");
  } else {
    help = Tr(" ? 帮助  ↑↓ 空格 滚动  1-9 打开链接  z 放大  N 下一未读  Esc 关闭  q 退出",
              " ? help  ↑↓ Space scroll  1-9 open link  z zoom  N next unread  Esc close  q quit");
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
  // A message answers the key before; the next key starts afresh.
  if (e.type == Event::Type::Key || (e.type == Event::Type::Mouse && e.action == MouseAction::Press)) m_status.clear();
  // Anything but moving about may change what the labels hold: count again before the next draw.
  const Event moved = ViKey(e);
  const bool moving =
      (e.type == Event::Type::Key &&
       (moved.key == Key::Up || moved.key == Key::Down || moved.key == Key::Left || moved.key == Key::Right ||
        moved.key == Key::PageUp || moved.key == Key::PageDown || moved.key == Key::Home || moved.key == Key::End ||
        moved.key == Key::Tab || moved.key == Key::BackTab)) ||
      (e.type == Event::Type::Mouse &&
       (e.action == MouseAction::WheelUp || e.action == MouseAction::WheelDown || e.action == MouseAction::Drag)) ||
      e.type == Event::Type::Resize || e.type == Event::Type::None;
  if (!moving && !m_keyboardMove) m_countsStale = true;
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
  AfterEvent();
  return !m_quit && !m_user.QuitRequested();
}

void TermHost::CountArticles() {
  m_countsStale = false;
  m_counts.clear();
  CDARU* daru = CDARU::Instance();
  CLabelTree* labels = daru ? daru->GetLabelTree() : nullptr;
  CDB* db = daru ? daru->GetDB() : nullptr;
  if (labels == nullptr || db == nullptr) return;
  // Read past the facade: its result list holds the list's rows.
  for (CLabel* label : labels->GetAllLabels()) {
    std::vector<CArticle*> found;
    if (db->QueryArticle(found, label, CArticle(), 0)) {
      auto& ids = m_counts[label->labelid];
      for (const CArticle* a : found) ids.emplace_back(a->articleid, !a->readflag);
    }
    for (CArticle* a : found) delete a;
  }
}

std::u32string TermHost::CountNote(HTREEITEM item) {
  CTreeCtrl* tree = m_windows.Tree();
  if (tree == nullptr || item == nullptr) return U"";
  auto idOf = [tree](HTREEITEM h) {
    const auto* label = reinterpret_cast<const CLabel*>(tree->GetItemData(h));
    return label ? label->labelid : 0;
  };
  // Unread and total; a collapsed label counts its whole branch, each article once.
  std::map<int, bool> articles;
  auto add = [&](HTREEITEM h) {
    auto it = m_counts.find(idOf(h));
    if (it != m_counts.end())
      for (const auto& [id, unread] : it->second) articles[id] = unread;
  };
  add(item);
  const bool collapsed = tree->ItemHasChildren(item) && !(tree->GetItemState(item, TVIS_EXPANDED) & TVIS_EXPANDED);
  if (collapsed) {
    std::vector<HTREEITEM> stack{tree->GetChildItem(item)};
    while (!stack.empty()) {
      HTREEITEM h = stack.back();
      stack.pop_back();
      if (h == nullptr) continue;
      add(h);
      stack.push_back(tree->GetNextSiblingItem(h));
      stack.push_back(tree->GetChildItem(h));
    }
  }
  if (articles.empty()) return U"";
  int unread = 0;
  for (const auto& [id, u] : articles) unread += u ? 1 : 0;
  const std::string note = " " + std::to_string(unread) + "/" + std::to_string(articles.size());
  return U32(note.c_str());
}

void TermHost::AfterEvent() {
  if (auto action = m_user.TakeHostAction()) action();
  if (m_pending.id != 0) AfterCommand();
  CTreeCtrl* tree = m_windows.Tree();
  CDARUListCtrl* list = m_windows.List();
  if (tree == nullptr || list == nullptr) return;
  const HTREEITEM label = tree->GetSelectedItem();
  const bool search = list->GetSearchTag();
  const int indicator = list->GetSortIndicator();
  // The tree sorts a label's rows when it shows them; search results and a refresh stand unsorted.
  if (label != m_lastLabel || search != m_lastSearch) m_rowsSorted = !search;
  if (indicator != m_lastSortIndicator) m_rowsSorted = true;
  // The article pane shows an article of the rows the list shows, or nothing.
  if (!m_article.Empty() && m_articleId != 0 && (label != m_articleLabel || search != m_articleFromSearch)) {
    m_article.Clear();
    m_zoom = false;
    if (m_focus == Pane::Article) SetFocus(Pane::List);
  }
  m_lastLabel = label;
  m_lastSearch = search;
  m_lastSortIndicator = indicator;
}

namespace {

// The catalogue's answer about one article, read past the facade so that the
// list's rows (the facade's result list) stay as they are. A query that fails
// says nothing: the article counts as stored.
bool StoredBy(CArticle pattern, unsigned mask) {
  CDARU* daru = CDARU::Instance();
  CDB* db = daru ? daru->GetDB() : nullptr;
  if (db == nullptr) return true;
  std::vector<CArticle*> found;
  const bool ok = db->QueryArticle(found, std::move(pattern), mask, false);
  const bool any = !found.empty();
  for (CArticle* a : found) delete a;
  return !ok || any;
}

}  // namespace

bool TermHost::ArticleStored(int articleid) {
  CArticle pattern;
  pattern.articleid = articleid;
  return StoredBy(pattern, kArticleMaskID);
}

bool TermHost::BeforeCommand(UINT id) {
  m_pending = Pending{};
  CTreeCtrl* tree = m_windows.Tree();
  CDARUListCtrl* list = m_windows.List();
  if (tree == nullptr || list == nullptr) return true;
  if (id == ID_LIST_ADD && tree->GetSelectedItem() == nullptr) {
    // The list files a new article under the selected label, and drops the dialog's texts without one.
    Say("请先在标签树中选择一个标签，新文章将存入该标签",
        "Select a label in the tree first: the new article is filed there");
    return false;
  }
  const bool allRows = id == ID_TREECTRL_DELALL || id == ID_TREECTRL_READ || id == ID_TREECTRL_UNREAD;
  const bool selectedRows = id == ID_LIST_DEL || id == ID_LISTCTRL_READ || id == ID_LISTCTRL_UNREAD ||
                            id == ID_LISTCTRL_IMP || id == ID_LISTCTRL_UNIMP || id == ID_LIST_COMMENT;
  if (!allRows && !selectedRows && id != ID_TREECTRL_REFRESH && id != ID_LIST_SEARCH) return true;
  m_pending.id = id;
  m_pending.searchTag = list->GetSearchTag();
  if (allRows || selectedRows) {
    for (int row = allRows ? 0 : list->GetNextItem(-1, LVNI_SELECTED); row >= 0 && row < list->GetItemCount();
         row = allRows ? row + 1 : list->GetNextItem(row, LVNI_SELECTED)) {
      auto* a = reinterpret_cast<CArticle*>(list->GetItemData(row));
      if (a != nullptr) m_pending.rows.push_back(ArticleSnap{a, a->articleid, a->type, a->filename});
      if (id == ID_LIST_COMMENT) break;  // the comment is for the first selected row
    }
  }
  if (id == ID_LIST_COMMENT && !m_pending.rows.empty() && !ArticleStored(m_pending.rows.front().articleid)) {
    Say("这篇文章已在别处被删除，不能再注释", "This article was removed elsewhere; it cannot take a comment");
    m_pending = Pending{};
    return false;
  }
  return true;
}

void TermHost::AfterCommand() {
  const Pending p = std::exchange(m_pending, Pending{});
  CTreeCtrl* tree = m_windows.Tree();
  CDARUListCtrl* list = m_windows.List();
  if (tree == nullptr || list == nullptr || !IsWindow(list->GetSafeHwnd())) return;
  switch (p.id) {
    case ID_TREECTRL_REFRESH:
      if (!p.searchTag) m_rowsSorted = false;  // refilled in the catalogue's order
      return;
    case ID_LIST_SEARCH:
      if (list->GetSearchTag()) m_rowsSorted = false;
      return;
    default:
      break;
  }
  // Rows the command left in place, by the article they show.
  std::map<const CArticle*, int> left;
  for (int row = 0; row < list->GetItemCount(); ++row)
    left.emplace(reinterpret_cast<const CArticle*>(list->GetItemData(row)), row);
  if (p.id == ID_LIST_DEL || p.id == ID_TREECTRL_DELALL) {
    for (const ArticleSnap& a : p.rows) {
      if (left.count(a.article) != 0) continue;
      if (a.articleid == m_articleId) {
        m_article.Clear();
        m_zoom = false;
      }
      // Removed from the whole library (search results): the catalogue leaves its files behind.
      if (!p.searchTag) continue;
      CArticle sameLink;
      sameLink.filename = a.filename;
      if (!StoredBy(sameLink, kArticleMaskFilename)) RemoveArticleFiles(a.type, a.filename);
    }
    return;
  }
  if (p.id == ID_LIST_COMMENT) {
    if (p.rows.empty()) return;
    const ArticleSnap& a = p.rows.front();
    if (ArticleStored(a.articleid)) return;
    // Removed by someone else while the dialog was open: the file written for it is an orphan.
    CArticle sameLink;
    sameLink.filename = a.filename;
    if (!StoredBy(sameLink, kArticleMaskFilename)) RemoveArticleFiles(a.type, a.filename);
    if (a.articleid == m_articleId) m_article.Clear();
    Say("这篇文章已在别处被删除，注释没有保存", "This article was removed elsewhere; the comment was not kept");
    return;
  }
  // Marking: a row whose look does not follow its article's flag was not updated.
  if ((p.id == ID_TREECTRL_READ || p.id == ID_TREECTRL_UNREAD) && p.rows.empty()) {
    if (HTREEITEM sel = tree->GetSelectedItem(); sel != nullptr && tree->ItemHasChildren(sel))
      Say("这个标签本身没有文章；子标签中的文章请在子标签中标记",
          "This label holds no articles itself; mark its sub-labels' articles there");
    else
      Say("这个标签中没有文章", "This label holds no articles");
    return;
  }
  for (const ArticleSnap& a : p.rows) {
    auto it = left.find(a.article);
    if (it == left.end()) continue;
    const bool readOk = (list->GetItemBold(it->second) != FALSE) == !a.article->readflag;
    const bool impOk = (list->GetItemRed(it->second) != FALSE) == a.article->impflag;
    if (readOk && impOk) continue;
    if (!ArticleStored(a.articleid))
      Say("这篇文章已在别处被删除，无法标记", "This article was removed elsewhere; it cannot be marked");
    else
      m_status = Tr("标记没有保存：", "The mark was not stored: ") + ToUtf8(CDARU::Instance()->GetLastDBError());
    return;
  }
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
  if (!hostshared::CommandEnabled(target, id)) {
    Say("此命令现在不可用", "This command is not available now");
    return false;
  }
  m_status.clear();
  if (!BeforeCommand(id)) return false;
  target->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0);
  if (m_pending.id != 0) AfterCommand();
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

void TermHost::HandleKey(const Event& raw) {
  if (m_layout.tooSmall) {
    if (raw.key == Key::F10 || (raw.key == Key::Char && raw.ch == U'q')) m_quit = true;
    return;
  }
  if (HandleRenameKey(raw)) return;
  const Event e = ViKey(raw);
  if (m_keyboardMove) {
    KeyboardMoveKey(e);
    return;
  }
  switch (e.key) {
    case Key::F10:
      m_quit = true;
      return;
    case Key::F1:
      ShowHelp();
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
      Command(m_windows.Tree(), ID_TREECTRL_REFRESH);
      return;
    case Key::CtrlL:
      return;  // the next draw repaints everything
    case Key::Char:
      if (e.ch == U'q') {
        m_quit = true;
        return;
      }
      if (e.ch == U'?') {
        ShowHelp();
        return;
      }
      if (e.ch == U'/') {
        // The count goes to the status line here; the list's own command keeps the library's box.
        std::string found;
        m_user.SetMessageFilter([&found](const std::u16string& text) {
          static const std::u16string prefix = u"共找到相关文章主题[";
          if (text.rfind(prefix, 0) != 0) return false;
          found = ToUtf8(text);
          return true;
        });
        Command(m_windows.List(), ID_LIST_SEARCH);
        m_user.SetMessageFilter(nullptr);
        if (!found.empty()) m_status = found;
        return;
      }
      if (e.ch == U'N' && m_focus != Pane::Tree) {
        NextUnread();
        return;
      }
      if (e.ch == U'z' && !m_article.Empty()) {
        m_zoom = !m_zoom;
        if (m_zoom) SetFocus(Pane::Article);
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
        m_article.Scroll(page, page);
        break;
      case Key::Char:
        if (e.ch == U' ') {
          m_article.Scroll(page, page);
        } else if (e.ch == U'b') {
          m_article.Scroll(-page, page);
        } else if (e.ch >= U'0' && e.ch <= U'9') {
          OpenNumberedLink(static_cast<int>(e.ch - U'0'));
        } else if (e.ch == U'o') {
          if (m_article.Links().empty()) {
            Command(m_windows.List(), ID_LIST_BROWSER);
          } else {
            m_linkNumber = 0;
            m_choosingLink = true;
            Say("输入链接编号，Enter 打开", "Type the link's number, Enter opens it");
          }
        } else {
          HandleListKey(e);  // the list's commands act on the article shown, its focused row
        }
        break;
      case Key::Enter:
        if (m_choosingLink) OpenNumberedLink(-1);
        break;
      case Key::Delete:
      case Key::Insert:
        HandleListKey(e);
        break;
      case Key::Home:
        m_article.Scroll(-1000000, page);
        break;
      case Key::End:
        m_article.Scroll(1000000, page);
        break;
      case Key::Escape:
        if (m_choosingLink) {
          m_choosingLink = false;
          break;
        }
        m_article.Clear();
        m_zoom = false;
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
    {Key::F2, 0, ID_TREECTRL_RENAME},    {Key::Insert, 0, ID_TREECTRL_ADD},      {Key::Delete, 0, ID_TREECTRL_DELETE},
    {Key::Char, U'a', ID_TREECTRL_ADD},  {Key::Char, U'd', ID_TREECTRL_DEFAULT}, {Key::Char, U'x', ID_TREECTRL_DELALL},
    {Key::Char, U'r', ID_TREECTRL_READ}, {Key::Char, U'u', ID_TREECTRL_UNREAD},
};

constexpr KeyCommand kGlobalKeys[] = {
    {Key::F5, 0, ID_TREECTRL_REFRESH},
    {Key::Char, U'/', ID_LIST_SEARCH},
};

constexpr KeyCommand kListKeys[] = {
    {Key::Delete, 0, ID_LIST_DEL},          {Key::Insert, 0, ID_LIST_ADD},      {Key::Char, U'r', ID_LISTCTRL_READ},
    {Key::Char, U'u', ID_LISTCTRL_UNREAD},  {Key::Char, U'i', ID_LISTCTRL_IMP}, {Key::Char, U'I', ID_LISTCTRL_UNIMP},
    {Key::Char, U'c', ID_LIST_COMMENT},     {Key::Char, U'p', ID_LIST_PROP},    {Key::Char, U'o', ID_LIST_BROWSER},
    {Key::Char, U'l', ID_LISTCTRL_MANAGER}, {Key::Char, U'n', ID_LIST_ADD},
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
    ShowLabelAgain();
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
  } else if (e.key == Key::Char && e.ch == U's') {
    CycleSort();
  } else if (const UINT command = CommandOfKey(kListKeys, e)) {
    Command(list, command);
  }
}

void TermHost::ShowLabelAgain() {
  // Choosing the label again after a search brings its articles back: the tree
  // refills the list on a change of selection only, so the selection goes and comes back.
  CTreeCtrl* tree = m_windows.Tree();
  CDARUListCtrl* list = m_windows.List();
  if (tree == nullptr || list == nullptr || !list->GetSearchTag()) return;
  const HTREEITEM sel = tree->GetSelectedItem();
  if (sel == nullptr) return;
  tree->SelectItem(nullptr);
  tree->SelectItem(sel);
}

void TermHost::NextUnread() {
  CDARUListCtrl* list = m_windows.List();
  if (list == nullptr) return;
  const int count = list->GetItemCount();
  const int from = list->GetNextItem(-1, LVNI_FOCUSED);
  for (int k = 1; k <= count && count > 0; ++k) {
    const int row = (std::max(from, -1) + k + count) % count;
    if (row == from) break;
    if (!list->GetItemBold(row)) continue;
    // Opening it is what Enter on it does: a click on the row.
    list->SetItemState(-1, 0, LVIS_SELECTED);
    list->SetItemState(row, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    list->EnsureVisible(row, FALSE);
    const CPoint pt = ListRowPoint(*list, row);
    if (pt.x >= 0) InputClick(list->GetSafeHwnd(), pt);
    return;
  }
  Say("这里没有未读的文章了", "No unread articles here");
}

void TermHost::CycleSort() {
  // Title up, title down, date up, date down, keywords up, keywords down: a
  // click on the header, as the mouse sorts (same column flips, another starts ascending).
  CDARUListCtrl* list = m_windows.List();
  if (list == nullptr || m_layout.tooSmall) return;
  const int columns = list->GetHeaderCtrl() ? list->GetHeaderCtrl()->GetItemCount() : 0;
  if (columns <= 0) return;
  int column = list->GetSortColumn();
  if (m_rowsSorted && !list->IsSortAscending()) column = (column + 1) % columns;
  const ClickTarget t = ListHeaderClick(*list, m_layout.list, column);
  if (t.hwnd == nullptr) return;
  InputClick(t.hwnd, t.pt);
}

void TermHost::OpenNumberedLink(int digit) {
  const auto& links = m_article.Links();
  if (links.empty()) return;
  const int count = static_cast<int>(links.size());
  if (digit >= 0) {
    m_linkNumber = m_choosingLink ? m_linkNumber * 10 + digit : digit;
    m_choosingLink = true;
    if (m_linkNumber * 10 <= count) {
      m_status = Tr("链接 ", "Link ") + std::to_string(m_linkNumber) + "…";
      return;  // more digits may follow
    }
  }
  m_choosingLink = false;
  const int n = m_linkNumber;
  m_linkNumber = 0;
  if (n < 1 || n > count) {
    m_status = Tr("没有这个链接：", "No such link: ") + std::to_string(n);
    return;
  }
  OpenAddress(links[static_cast<size_t>(n - 1)]);
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
      if (e.key == Key::Enter) {
        // The tree refuses a drop on the label itself or inside its own branch without a word.
        bool inside = false;
        for (HTREEITEM h = at; h != nullptr && !inside; h = tree->GetParentItem(h)) inside = h == dragged;
        if (inside) Say("标签不能移到它自己或它的子标签下", "A label cannot move under itself or its own sub-labels");
      }
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
  if (article->url.empty()) {
    Say("这篇文章没有链接", "This article has no link");
    return;
  }
  OpenAddress(article->url);
}

void TermHost::OpenAddress(const std::u16string& url) {
  if (hostshared::SafeToOpen(url) && !hostshared::FindOnPath("xdg-open").empty() &&
      hostshared::LaunchDetached("xdg-open", ToUtf8(url))) {
    m_status = Tr("已用 xdg-open 打开链接：", "Opened with xdg-open: ") + ToUtf8(url);
    return;
  }
  if (!hostshared::SafeToOpen(url)) {
    m_status = Tr("只打开 http、https 和 ftp 链接：", "Only http, https and ftp links are opened: ") + ToUtf8(url);
    return;
  }
  m_status = Tr("请在浏览器中打开：", "Open it in a browser: ") + ToUtf8(url);
}

std::u16string TermHost::ShortcutOf(UINT id) const {
  auto name = [](const KeyCommand& k) -> std::u16string {
    switch (k.key) {
      case Key::F2:
        return u"F2";
      case Key::F5:
        return u"F5";
      case Key::Insert:
        return u"Ins";
      case Key::Delete:
        return u"Del";
      case Key::Char:
        return FromCodePoints(std::u32string(1, k.ch));
      default:
        return u"";
    }
  };
  // A letter when the command has one, else its first key.
  std::u16string best;
  auto consider = [&](const KeyCommand& k) {
    if (k.command != id) return;
    if (best.empty() || (k.key == Key::Char && best.size() > 1)) best = name(k);
  };
  for (const KeyCommand& k : kGlobalKeys) consider(k);
  for (const KeyCommand& k : kTreeKeys) consider(k);
  for (const KeyCommand& k : kListKeys) consider(k);
  return best;
}

std::vector<TerminalUser::HostItem> TermHost::HostItemsOf(const CPopupMenuView& menu) {
  std::vector<TerminalUser::HostItem> items;
  CTreeCtrl* tree = m_windows.Tree();
  CDARUListCtrl* list = m_windows.List();
  if (tree != nullptr && menu.owner == tree->GetSafeHwnd()) {
    items.push_back({FromUtf8(Tr("移动标签", "Move label")), u"m", [this] { StartKeyboardMove(); }});
  } else if (list != nullptr && menu.owner == list->GetSafeHwnd()) {
    items.push_back(
        {FromUtf8(Tr("添加文章...", "Add article...")), u"n", [this] { Command(m_windows.List(), ID_LIST_ADD); }});
    items.push_back({FromUtf8(Tr("下一篇未读", "Next unread")), u"N", [this] { NextUnread(); }});
    items.push_back({FromUtf8(Tr("换一种排序", "Next sort order")), u"s", [this] { CycleSort(); }});
  }
  // The host's own command in every pane's menu: the same start as R.
  items.push_back({FromUtf8(Tr("更新所有订阅", "Update all subscriptions")), u"R", [this] { StartUpdate(); }});
  items.push_back({FromUtf8(Tr("帮助", "Help")), u"?", [this] { ShowHelp(); }});
  return items;
}

LRESULT TermHost::OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == CDARUListCtrl::WM_DARU_SHOWARTICLE) {
    auto* article = reinterpret_cast<CArticle*>(lParam);
    if (article == nullptr) return 0;
    if (wParam == 1) {
      OpenLink(article);
    } else {
      // Every label the article is filed under, as the catalogue has it now.
      std::vector<const CLabel*> filed;
      CDARU* daru = CDARU::Instance();
      CLabelTree* labels = daru ? daru->GetLabelTree() : nullptr;
      if (labels != nullptr && daru->GetDB() != nullptr) {
        for (CLabel* label : labels->GetAllLabels()) {
          CLabelToArticle link(label->labelid, article->articleid);
          if (daru->GetDB()->QueryLabelToArticle(link)) filed.push_back(label);
        }
      }
      m_article.Show(*article, filed);
      m_articleId = article->articleid;
      m_articleLabel = m_windows.Tree() ? m_windows.Tree()->GetSelectedItem() : nullptr;
      m_articleFromSearch = m_windows.List() && m_windows.List()->GetSearchTag();
    }
  } else if (message == CDARUTreeCtrl::WM_DARU_TREE_DBLCLK) {
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
    if (inArticle) m_article.Scroll(e.action == MouseAction::WheelUp ? -3 : 3, m_layout.article.h);
    CWnd* w = inTree ? static_cast<CWnd*>(tree) : inList ? static_cast<CWnd*>(list) : nullptr;
    if (w != nullptr) hostshared::Wheel(w->GetSafeHwnd(), e.action == MouseAction::WheelUp ? -1 : 1);
    return;
  }
  const auto pointIn = [&](HWND hwnd) { return toWindow(hwnd, e.x, e.y); };
  if (e.button == MouseButton::Left) {
    if (e.action == MouseAction::Press) {
      if (inArticle) {
        SetFocus(Pane::Article);
        return;
      }
      const ClickTarget t = targetAt(e.x, e.y);
      if (t.hwnd == nullptr) return;
      if (tree && t.hwnd == tree->GetSafeHwnd()) {
        UINT flags = 0;
        if (tree->HitTest(t.pt, &flags) == tree->GetSelectedItem() && (flags & TVHT_ONITEM)) ShowLabelAgain();
      }
      m_router.Press(hostshared::PointerButton::Left, hostshared::PointerTarget{t.hwnd, t.pt}, e.doubleClick);
    } else if (e.action == MouseAction::Drag) {
      m_router.Move(hostshared::PointerTarget{}, pointIn);
    } else if (e.action == MouseAction::Release) {
      m_router.Release(hostshared::PointerButton::Left, pointIn);
    }
  } else if (e.button == MouseButton::Right) {
    if (e.action == MouseAction::Press) {
      const ClickTarget t = targetAt(e.x, e.y);
      m_router.Press(hostshared::PointerButton::Right, hostshared::PointerTarget{t.hwnd, t.pt}, false);
    } else if (e.action == MouseAction::Release) {
      m_router.Release(hostshared::PointerButton::Right, pointIn);
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

namespace termui {

std::vector<std::pair<std::string, std::string>> TermHost::KeysOf(Pane pane) {
  std::vector<std::pair<std::string, std::string>> keys = {
      {"? F1", Tr("这个帮助", "this help")},
      {"Tab Shift-Tab", Tr("切换窗格", "next / previous pane")},
      {"F9 Shift-F10", Tr("当前窗格的菜单", "the pane's menu")},
      {"/", Tr("搜索文章（结果数显示在标题行）", "search articles (the count shows in the title line)")},
      {"F5", Tr("刷新文章列表", "refresh the article list")},
      {"R", Tr("更新所有订阅（进度在状态行）", "update all subscriptions (progress in the status line)")},
      {"q F10", Tr("退出", "quit")},
  };
  auto add = [&keys](const char* key, const char* zh, const char* en) { keys.emplace_back(key, Tr(zh, en)); };
  if (pane == Pane::Tree) {
    add("↑↓ j k", "上下移动", "move up and down");
    add("← →", "收起 / 展开", "collapse / expand");
    add("Home End g G", "第一个 / 最后一个", "first / last");
    add("Enter", "到文章列表（搜索后：回到该标签的文章）", "go to the articles (after a search: the label's again)");
    add("a Ins", "添加子标签", "add a sub-label");
    add("F2", "重命名", "rename");
    add("Del", "删除标签", "delete the label");
    add("d", "设为缺省标签", "make it the default label");
    add("m", "移动标签（↑↓ 选目标，Enter 放下）", "move the label (↑↓ target, Enter drop)");
    add("x", "移去所有文章", "remove all its articles");
    add("r u", "全部标为已读 / 未读", "mark all read / unread");
  } else if (pane == Pane::List) {
    add("↑↓ j k", "上下移动", "move up and down");
    add("PgUp PgDn", "翻页", "page up / down");
    add("Home End g G", "第一篇 / 最后一篇", "first / last");
    add("Enter", "打开文章（标为已读）", "open the article (marks it read)");
    add("N", "下一篇未读文章", "next unread article");
    add("s", "换一种排序（标题、日期、关键字，升降）", "next sort order (title, date, keywords; up, down)");
    add("r u", "标为已读 / 未读", "mark read / unread");
    add("i I", "设置 / 撤销重要标记", "mark / unmark important");
    add("c", "注释", "comment");
    add("p", "属性", "properties");
    add("l", "标签管理", "labels of the article");
    add("o", "浏览原始链接", "open the article's link");
    add("n Ins", "添加文章", "add an article");
    add("Del", "移去文章", "remove the article");
    add("z", "文章占满右侧 / 还原", "article fills the right side / back");
    add("Esc", "关闭文章", "close the article");
  } else {
    add("↑↓ j k", "滚动一行", "scroll a line");
    add("Space b PgUp PgDn", "翻页", "page down / up");
    add("Home End g G", "开头 / 结尾", "top / end");
    add("1-9", "打开编号的链接", "open the numbered link");
    add("o", "按编号打开链接（无链接时打开原始链接）", "open a link by its number (the article's own without links)");
    add("z", "文章占满右侧 / 还原", "article fills the right side / back");
    add("N", "下一篇未读文章", "next unread article");
    add("Esc", "关闭文章", "close the article");
  }
  return keys;
}

void TermHost::ShowHelp() {
  // The pane's keys, then its menu's commands with their keys.
  std::vector<std::pair<std::u32string, std::u32string>> lines;
  for (const auto& [key, what] : KeysOf(m_focus)) lines.emplace_back(U32(key.c_str()), U32(what.c_str()));
  const UINT menuId = m_focus == Pane::Tree ? IDR_TREECTRL_MENU : IDR_LISTCTRL_MENU;
  CMenu menu;
  if (menu.LoadMenu(menuId)) {
    if (CMenu* popup = menu.GetSubMenu(0)) {
      lines.emplace_back(U"", U"");
      lines.emplace_back(U"", U32(Tr("菜单命令（F9）：", "Menu commands (F9):")));
      for (const CMenuItemView& item : popup->View().items) {
        if (item.separator) continue;
        std::u16string label, accel;
        char16_t mn = 0;
        MenuItemTexts(item.text, label, accel, mn);
        const std::u16string key = ShortcutOf(item.id);
        lines.emplace_back(ToCodePoints(key.empty() ? u"-" : key), ToCodePoints(label));
      }
    }
    menu.DestroyMenu();
  }
  int top = 0;
  Rect box;
  m_user.PushLayer([&](CellBuffer& out) {
    box.w = std::min(out.Cols(), 76);
    box.h = std::min(out.Rows(), static_cast<int>(lines.size()) + 3);
    box.x = (out.Cols() - box.w) / 2;
    box.y = (out.Rows() - box.h) / 2;
    out.Fill(box, U' ', kPlain);
    out.Box(box, kBold);
    out.Fill(Rect{box.x + 1, box.y, box.w - 2, 1}, U' ', kAccent);
    const char* title = m_focus == Pane::Tree   ? Tr("帮助：标签树", "Help: label tree")
                        : m_focus == Pane::List ? Tr("帮助：文章列表", "Help: article list")
                                                : Tr("帮助：文章", "Help: article");
    out.Text(box.x + 2, box.y, U32(title), kAccent | kBold, box.w - 4);
    const int rows = box.h - 3;
    top = std::clamp(top, 0, std::max(0, static_cast<int>(lines.size()) - rows));
    int keyW = 0;
    for (const auto& [key, what] : lines) keyW = std::max(keyW, DisplayWidth(key));
    keyW = std::min(keyW, 18);
    for (int i = 0; i < rows && top + i < static_cast<int>(lines.size()); ++i) {
      const auto& [key, what] = lines[static_cast<size_t>(top + i)];
      out.Text(box.x + 2, box.y + 1 + i, key, kBold, keyW);
      out.Text(box.x + 4 + keyW, box.y + 1 + i, what, kPlain, box.w - keyW - 6);
    }
    out.Text(box.x + 2, box.y + box.h - 2, U32(Tr("Esc 关闭  ↑↓ 滚动", "Esc close  ↑↓ scroll")), kDim, box.w - 4);
  });
  struct Pop {
    TerminalUser& user;
    ~Pop() { user.PopLayer(); }
  } pop{m_user};
  for (;;) {
    CellBuffer& out = m_display.Canvas();
    m_user.PaintLayers(out);
    m_display.Present();
    const Event e = m_user.NextEvent();
    if (e.type == Event::Type::Quit) return;
    if (e.type != Event::Type::Key) continue;
    const Event k = ViKey(e);
    if (k.key == Key::Up)
      --top;
    else if (k.key == Key::Down)
      ++top;
    else if (k.key == Key::PageUp)
      top -= std::max(1, box.h - 4);
    else if (k.key == Key::PageDown || (k.key == Key::Char && k.ch == U' '))
      top += std::max(1, box.h - 4);
    else if (k.key == Key::Home)
      top = 0;
    else if (k.key == Key::End)
      top = 1000000;
    else
      return;  // Esc, ?, q or any other key closes it
  }
}

}  // namespace termui
