// The article list beside the label tree, connected as a host connects them:
// the add command files under the tree's selected label, and search results
// change what the tree's commands do.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "facade/DARU.h"
#include "fixtures/ProvisionedRoot.h"
#include "platform/CmdUI.h"
#include "platform/Input.h"
#include "platform/PlatformFixture.h"
#include "ui/list/DARUListCtrl.h"
#include "ui/tree/DARUTreeCtrl.h"

namespace {

constexpr UINT kAdd = 53007, kSearch = 53016, kTreeRefresh = 50001, kTreeRemoveAll = 50005;

class ListAndTreeTest : public PlatformTest {
 protected:
  void SetUp() override {
    // Two articles under 未分类 (3), the first also under 我的资料库 (1).
    Stored("一号", {3, 1});
    Stored("二号", {3});
    ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT,
                            CRect(0, 0, 200, 300), &frame, 1000));
    ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS,
                            CRect(200, 0, 1100, 300), &frame, 1001));
    tree.SetListCtrl(&list);
    list.SetTreeCtrl(&tree);
    list.SetMsgHwnd(frame.m_hWnd);
    InputClick(tree.m_hWnd, On(u"未分类"));
    ASSERT_EQ(list.GetItemCount(), 2);
  }
  void TearDown() override {
    list.DeleteAllItems();
    tree.DestroyWindow();
    delete CDARU::Instance();
  }

  void Stored(const std::string& title, const std::vector<int>& labels) {
    static int serial = 0;
    const std::string name = "f" + std::to_string(++serial);
    root.Exec(
        "INSERT INTO article(filename,url,title,key1,type,labels,label,version,readflag,impflag,crdate,brdate,lmdate)"
        " VALUES('" +
        name + "','http://example.org/" + name + "','" + title + "','','B'," + std::to_string(labels.size()) + "," +
        std::to_string(labels[0]) + ",1,'F','F',1700000000,0,0);");
    for (int label : labels)
      root.Exec("INSERT INTO articletolabel(labelid,articleid) SELECT " + std::to_string(label) +
                ", max(articleid) FROM article;");
  }
  HTREEITEM Item(const std::u16string& name) {
    std::vector<HTREEITEM> pending{tree.GetRootItem()};
    while (!pending.empty()) {
      HTREEITEM h = pending.back();
      pending.pop_back();
      if (h == nullptr) continue;
      if (tree.GetItemText(h) == name) return h;
      pending.push_back(tree.GetNextSiblingItem(h));
      pending.push_back(tree.GetChildItem(h));
    }
    ADD_FAILURE() << "no tree item";
    return nullptr;
  }
  CPoint On(const std::u16string& name) {
    HTREEITEM item = Item(name);
    tree.EnsureVisible(item);
    CRect r;
    EXPECT_TRUE(tree.GetItemRect(item, &r, TRUE));
    return r.CenterPoint();
  }
  void AddLink(const std::u16string& url) {
    user.Dialog(CScriptedUser::Fill({{50009, url}, {50010, u"新加"}}));
    list.SendMessage(WM_COMMAND, kAdd, 0);
  }
  bool ListEnables(UINT id) {
    struct Probe : CCmdUI {
      bool on = false;
      void Enable(BOOL b) override {
        on = b != FALSE;
        m_bEnableChanged = TRUE;
      }
    } probe;
    probe.m_nID = id;
    probe.DoUpdate(&list, TRUE);
    return probe.on;
  }
  std::vector<std::string> Rows(const std::string& sql) { return root.Rows(sql); }

  ProvisionedRoot root;
  CDARUTreeCtrl tree;
  CDARUListCtrl list;
};

}  // namespace

TEST_F(ListAndTreeTest, AddFilesUnderTheTreesSelectedLabel) {
  AddLink(u"http://example.org/new");
  EXPECT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(Rows("SELECT labelid FROM articletolabel JOIN article USING(articleid) WHERE title='新加'"), Lines({"3"}));
  AddLink(u"http://example.org/new");  // already listed: no second row
  EXPECT_EQ(list.GetItemCount(), 3);

  InputClick(tree.m_hWnd, On(u"我的资料库"));
  ASSERT_EQ(list.GetItemCount(), 1);
  // Stored, not under this label: filed here too when the user says so.
  user.Dialog(CScriptedUser::Fill({{50009, u"http://example.org/new"}, {50010, u"新加"}})).AnswerMessageBox(IDYES);
  list.SendMessage(WM_COMMAND, kAdd, 0);
  EXPECT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(Rows("SELECT labelid FROM articletolabel JOIN article USING(articleid) WHERE title='新加' ORDER BY 1"),
            Lines({"1", "3"}));
  ExpectScriptDone();
}

// The list files under the label the tree last told it of, and under none
// once the tree has no selected item, however the selection went.
TEST_F(ListAndTreeTest, AddFollowsTheTreesSelectionAndStopsWithoutOne) {
  HTREEITEM mine = Item(u"我的资料库");
  tree.Select(mine, TVGN_CARET);  // by the program, not a click
  ASSERT_EQ(list.GetItemCount(), 1);
  AddLink(u"http://example.org/by-program");
  EXPECT_EQ(Rows("SELECT labelid FROM articletolabel JOIN article USING(articleid) WHERE url LIKE '%by-program'"),
            Lines({"1"}));

  tree.DeleteAllItems();  // no selection, and no notification of it
  ASSERT_EQ(tree.GetSelectedItem(), nullptr);
  AddLink(u"http://example.org/nowhere");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM article WHERE url LIKE '%nowhere'"), Lines({"0"}));
  ExpectScriptDone();
}

TEST_F(ListAndTreeTest, SearchResultsTurnTheTreesCommandsToTheWholeLibrary) {
  user.PickMenuItem(kSearch).Dialog(CScriptedUser::Fill({{50009, u"一号"}})).AnswerMessageBox(IDOK);
  InputRightClick(list.m_hWnd, CPoint(100, 290));
  ASSERT_EQ(list.GetSearchTag(), 1);
  EXPECT_FALSE(ListEnables(kAdd));

  // The tree's menu on its selected label: no refresh while results are shown.
  user.DismissMenu();
  InputRightClick(tree.m_hWnd, On(u"未分类"));
  ASSERT_EQ(list.GetSearchTag(), 1);  // the selection did not change
  EXPECT_FALSE(user.Events().back().menu.FindById(kTreeRefresh)->enabled);

  // Removing every listed article takes the result out of every label.
  user.PickMenuItem(kTreeRemoveAll).AnswerMessageBox(IDYES);
  InputRightClick(tree.m_hWnd, On(u"未分类"));
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(Rows("SELECT title FROM article"), Lines({"二号"}));
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM articletolabel WHERE labelid=1"), Lines({"0"}));

  // Choosing a label shows its articles again and ends the search.
  InputClick(tree.m_hWnd, On(u"我的资料库"));
  EXPECT_EQ(list.GetSearchTag(), 0);
  EXPECT_TRUE(ListEnables(kAdd));
  ExpectScriptDone();
}
