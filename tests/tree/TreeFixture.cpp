#include "TreeFixture.h"

#include "base/TextConv.h"
#include "platform/Input.h"
#include "platform/WindowSnapshot.h"

std::string U8(const std::u16string& text) { return ToUtf8(text); }

TreeTest::TreeTest() : m_scope(&user) { frame.CreateHost(u"frame", CRect(100, 50, 900, 650)); }

TreeTest::~TreeTest() {
  if (tree.m_hWnd) tree.DestroyWindow();
  delete CDARU::Instance();
}

void TreeTest::Open(bool withFrame) {
  ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_EDITLABELS,
                          CRect(0, 0, 200, 160), &frame, 1001));
  daru = CDARU::Instance();
  if (withFrame) tree.SetMainFrameHwnd(frame.m_hWnd);
}

void TreeTest::Label(int id, const std::string& name, int parent) {
  root.Exec("INSERT INTO label(labelid,name,toplayer) VALUES(" + std::to_string(id) + ",'" + name + "'," +
            std::to_string(parent) + ");");
}

int TreeTest::Article(const std::string& title, const std::vector<int>& labels, bool read, bool important, long crdate,
                      const std::string& type) {
  static int serial = 0;
  const std::string name = "f" + std::to_string(++serial);
  root.Exec(
      "INSERT INTO article(filename,url,title,key1,type,labels,label,version,readflag,impflag,crdate,brdate,"
      "lmdate) VALUES('" +
      name + "','http://example.org/" + name + "','" + title + "','kw-" + title + "','" + type + "'," +
      std::to_string(labels.size()) + "," + std::to_string(labels.empty() ? 0 : labels[0]) + ",1,'" +
      (read ? "T" : "F") + "','" + (important ? "T" : "F") + "'," + std::to_string(crdate) + ",0,0);");
  const int id = std::stoi(Rows("SELECT max(articleid) FROM article")[0]);
  for (int label : labels)
    root.Exec("INSERT INTO articletolabel(labelid,articleid) VALUES(" + std::to_string(label) + "," +
              std::to_string(id) + ");");
  return id;
}

void TreeTest::Refuse(const std::string& when, const std::string& table, const std::string& condition) {
  root.Exec("CREATE TRIGGER refuse BEFORE " + when + " ON " + table + " WHEN " + condition +
            " BEGIN SELECT RAISE(ABORT, 'refused'); END;");
}

std::vector<std::string> TreeTest::Items() const {
  std::vector<std::string> lines;
  std::vector<std::pair<HTREEITEM, int>> pending;
  for (HTREEITEM h = tree.GetRootItem(); h; h = tree.GetNextSiblingItem(h)) pending.insert(pending.begin(), {h, 0});
  while (!pending.empty()) {
    auto [h, depth] = pending.back();
    pending.pop_back();
    std::string line(static_cast<size_t>(depth), '.');
    line += U8(tree.GetItemText(h));
    if (tree.GetItemState(h, TVIS_BOLD) & TVIS_BOLD) line += " B";
    if (tree.GetItemState(h, TVIS_EXPANDED) & TVIS_EXPANDED) line += " E";
    lines.push_back(line);
    std::vector<HTREEITEM> children;
    for (HTREEITEM c = tree.GetChildItem(h); c; c = tree.GetNextSiblingItem(c)) children.push_back(c);
    for (auto it = children.rbegin(); it != children.rend(); ++it) pending.emplace_back(*it, depth + 1);
  }
  return lines;
}

HTREEITEM TreeTest::Item(const std::u16string& name) const {
  std::vector<HTREEITEM> pending;
  if (HTREEITEM r = tree.GetRootItem()) pending.push_back(r);
  while (!pending.empty()) {
    HTREEITEM h = pending.back();
    pending.pop_back();
    if (tree.GetItemText(h) == name) return h;
    for (HTREEITEM c = tree.GetChildItem(h); c; c = tree.GetNextSiblingItem(c)) pending.push_back(c);
  }
  ADD_FAILURE() << "no item " << U8(name) << "\n" << DaruSnapshotWindowUtf8(&tree);
  return nullptr;
}

std::string TreeTest::Selected() const {
  HTREEITEM h = tree.GetSelectedItem();
  return h ? U8(tree.GetItemText(h)) : std::string("(none)");
}

CPoint TreeTest::On(HTREEITEM item) {
  tree.EnsureVisible(item);
  CRect r;
  EXPECT_TRUE(tree.GetItemRect(item, &r, TRUE));
  return r.CenterPoint();
}

void TreeTest::Command(const std::u16string& onItem, UINT command, const std::function<void()>& then) {
  if (command == 0) {
    user.DismissMenu();
  } else {
    user.PickMenuItem(command);
  }
  if (then) then();
  InputRightClick(tree.m_hWnd, On(onItem));
}

CPopupMenuView TreeTest::MenuAt(CPoint point) {
  const size_t before = user.Events().size();
  user.DismissMenu();
  InputRightClick(tree.m_hWnd, point);
  for (size_t i = before; i < user.Events().size(); ++i)
    if (user.Events()[i].kind == CScriptedUser::Event::Kind::PopupMenu) return user.Events()[i].menu;
  return {};
}
