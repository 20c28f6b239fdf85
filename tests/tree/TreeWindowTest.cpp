// The label tree on its own: filling from the hierarchy, the default label,
// the context menu's hit and enable rules, renaming in place, deleting,
// setting the default, and the double click the host hears of.

#include <filesystem>

#include "TreeFixture.h"
#include "platform/Controls.h"
#include "platform/ImageList.h"
#include "platform/Input.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"

namespace {

using Kind = CScriptedUser::Event::Kind;

constexpr UINT kRefresh = 50001;
constexpr UINT kAdd = 50002;
constexpr UINT kDelete = 50003;
constexpr UINT kRename = 50004;
constexpr UINT kDelall = 50005;
constexpr UINT kRead = 50006;
constexpr UINT kUnread = 50007;
constexpr UINT kDefault = 53026;
constexpr UINT kLabelNameEdit = 50009;

const std::u16string kDeleteQuestion = u"删除标签将同时删除所有子标签和相关联的文章,并不可恢复,您确定删除吗?";

bool Enabled(const CPopupMenuView& menu, UINT id) {
  const CMenuItemView* item = menu.FindById(id);
  EXPECT_NE(item, nullptr) << id;
  return item && item->enabled;
}

size_t MenusShown(const CScriptedUser& user) {
  size_t n = 0;
  for (const auto& e : user.Events()) n += e.kind == Kind::PopupMenu;
  return n;
}

class TreeWindowTest : public TreeTest {
 protected:
  // 我的资料库 / 收藏的频道, 未分类 (四 (八), 五), 工作 (项目), and a label
  // whose parent does not exist.
  void Shape() {
    Label(5, "五", 3);
    Label(4, "四", 3);
    Label(6, "工作", 1);
    Label(7, "项目", 6);
    Label(8, "八", 4);
    Label(9, "孤儿", 99);
  }
  void Rename(const std::u16string& item, const std::u16string& text, UINT key = VK_RETURN,
              const std::function<void()>& then = {}) {
    Command(item, kRename);
    if (then) then();
    CEdit* edit = tree.GetEditControl();
    ASSERT_NE(edit, nullptr);
    edit->SetWindowText(text);
    InputKey(key);
  }
};

}  // namespace

TEST_F(TreeWindowTest, FillsDepthFirstWithDefaultInBoldAndFirstLevelExpanded) {
  Shape();
  Open();
  EXPECT_EQ(Items(), (std::vector<std::string>{"我的资料库 E", ".收藏的频道", ".未分类 B E", "..四", "...八", "..五",
                                               ".工作 E", "..项目"}));
  EXPECT_EQ(tree.GetDefalutLabelID(), 3u);
  // Every item carries its own label and the label image.
  CLabelTree* labels = daru->GetLabelTree();
  for (int id : {1, 2, 3, 4, 5, 6, 7, 8}) {
    CLabel* label = labels->FindLabel(id);
    ASSERT_NE(label, nullptr);
    HTREEITEM item = Item(label->name);
    EXPECT_EQ(LabelOf(item), label);
    int image = 0, selected = 0;
    tree.GetItemImage(item, image, selected);
    EXPECT_EQ(image, 3);
    EXPECT_EQ(selected, 3);
  }
  EXPECT_EQ(tree.GetImageList(TVSIL_NORMAL)->GetImageCount(), 7);
  EXPECT_TRUE(user.Events().empty());
}

TEST_F(TreeWindowTest, CreationWithoutImageListFailsAndWithoutCatalogueStaysEmpty) {
  int id = 0;
  EXPECT_FALSE(tree.AddArticleFromBrowser(u"http://a", u"a", nullptr, false));  // no window yet
  DaruFailImageListCreate(1);
  EXPECT_FALSE(tree.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 160), &frame, 1001));
  EXPECT_EQ(tree.m_hWnd, nullptr);

  // A catalogue that cannot be read: the window exists, empty, and nobody is told.
  root.Exec("DROP TABLE label;");
  Open();
  ASSERT_NE(tree.m_hWnd, nullptr);
  EXPECT_EQ(tree.GetCount(), 0u);
  EXPECT_TRUE(user.Events().empty());
  // Nothing to file under: the captures refuse instead of crashing.
  EXPECT_FALSE(tree.AddArticleFromBrowser(u"http://a", u"a", nullptr, false));
  EXPECT_FALSE(tree.AddArticleFromRss(CRSSSubItem(), id, nullptr));
}

TEST_F(TreeWindowTest, DefaultLabelByIdAcceptsOnlyTheRoot) {
  Open();
  tree.SetDefaultLabel(2u);
  EXPECT_EQ(tree.GetDefalutLabelID(), 3u);
  tree.SetDefaultLabel(1u);
  EXPECT_EQ(tree.GetDefalutLabelID(), 1u);
  EXPECT_TRUE(tree.GetItemState(tree.GetRootItem(), TVIS_BOLD));
}

TEST_F(TreeWindowTest, ContextMenuOpensOnlyOverItemsAndSelectsOnlyOnTheItem) {
  Shape();
  Open();
  const size_t items = Items().size();
  // Below the last row: no menu at all.
  InputRightClick(tree.m_hWnd, CPoint(50, 16 * static_cast<int>(items) + 5));
  EXPECT_EQ(MenusShown(user), 0u);
  EXPECT_EQ(Selected(), "(none)");

  // On the item: it becomes the selection, and the menu is the tree's.
  CPopupMenuView menu = MenuAt(On(u"工作"));
  EXPECT_EQ(Selected(), "工作");
  EXPECT_EQ(U8(menu.Describe()),
            U8(u"刷新文章列表 [50001]\n----\n添加标签 [50002]\n删除标签 [50003]\n重命名 [50004]\n----\n"
               u"移去所有文章 [50005]\n设为缺省标签 [53026]\n----\n标识所有文章为已读 [50006]\n"
               u"标识所有文章为未读 [50007]\n"));

  // Right of another item's text: the menu is for the selection, which stays.
  CRect r;
  tree.GetItemRect(Item(u"项目"), &r, TRUE);
  menu = MenuAt(CPoint(r.right + 10, r.CenterPoint().y));
  EXPECT_EQ(Selected(), "工作");
  EXPECT_TRUE(Enabled(menu, kDelete));
  ExpectScriptDone();
}

TEST_F(TreeWindowTest, EnableRulesFollowTheSelectedLabel) {
  Shape();
  Open();
  // Nothing selected, menu opened beside an item: delete and rename are off,
  // set-as-default is left as the menu has it.
  CRect r;
  tree.GetItemRect(Item(u"四"), &r, TRUE);
  CPopupMenuView menu = MenuAt(CPoint(r.right + 10, r.CenterPoint().y));
  EXPECT_FALSE(Enabled(menu, kDelete));
  EXPECT_FALSE(Enabled(menu, kRename));
  EXPECT_TRUE(Enabled(menu, kDefault));
  for (UINT always : {kAdd, kDelall, kRead, kUnread, kRefresh}) EXPECT_TRUE(Enabled(menu, always)) << always;

  for (const char16_t* fixed : {u"我的资料库", u"收藏的频道", u"未分类"}) {
    menu = MenuAt(On(fixed));
    EXPECT_FALSE(Enabled(menu, kDelete)) << U8(fixed);
    EXPECT_FALSE(Enabled(menu, kRename)) << U8(fixed);
  }
  menu = MenuAt(On(u"四"));
  EXPECT_TRUE(Enabled(menu, kDelete));
  EXPECT_TRUE(Enabled(menu, kRename));
  // The default label cannot be made the default again; any other can.
  EXPECT_TRUE(Enabled(menu, kDefault));
  EXPECT_FALSE(Enabled(MenuAt(On(u"未分类")), kDefault));
  ExpectScriptDone();
}

TEST_F(TreeWindowTest, RenameStoresAcceptedNamesOnly) {
  Shape();
  Open();
  Rename(u"工作", u"工作室");
  EXPECT_EQ(U8(tree.GetItemText(Item(u"工作室"))), "工作室");
  EXPECT_EQ(Rows("SELECT name, toplayer FROM label WHERE labelid=6"), Lines({"工作室|1"}));

  // Empty and cancelled edits keep the name and touch nothing.
  Rename(u"工作室", u"");
  Rename(u"工作室", u"别的", VK_ESCAPE);
  EXPECT_EQ(Rows("SELECT name FROM label WHERE labelid=6"), Lines({"工作室"}));
  EXPECT_EQ(LabelOf(Item(u"工作室"))->name, u"工作室");

  // Refused by the store: the message, and the old name everywhere.
  Refuse("UPDATE", "label");
  Rename(u"工作室", u"坏名字", VK_RETURN, [&] { user.AnswerMessageBox(IDOK, u"重命名标签名错误!"); });
  EXPECT_EQ(Rows("SELECT name FROM label WHERE labelid=6"), Lines({"工作室"}));
  HTREEITEM item = Item(u"工作室");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(LabelOf(item)->name, u"工作室");
  ExpectScriptDone();
}

TEST_F(TreeWindowTest, DeleteAsksThenRemovesTheBranchFromTreeAndCatalogue) {
  Shape();
  const int kept = Article("留下", {6});
  Article("只在八", {8});
  Open();
  Command(u"四", kDelete, [&] { user.AnswerMessageBox(IDNO, kDeleteQuestion); });
  EXPECT_EQ(Rows("SELECT count(*) FROM label WHERE labelid IN (4,8)"), Lines({"2"}));

  Command(u"四", kDelete, [&] { user.AnswerMessageBox(IDYES, kDeleteQuestion); });
  EXPECT_EQ(Items(),
            (std::vector<std::string>{"我的资料库 E", ".收藏的频道", ".未分类 B E", "..五", ".工作 E", "..项目"}));
  EXPECT_EQ(Rows("SELECT count(*) FROM label WHERE labelid IN (4,8)"), Lines({"0"}));
  EXPECT_EQ(Rows("SELECT articleid FROM article ORDER BY articleid"), Lines({std::to_string(kept).c_str()}));
  ExpectScriptDone();
}

TEST_F(TreeWindowTest, RootIsNeverDeletedAndTheDefaultFallsBackToIt) {
  Shape();
  Open();
  // The command reached without the menu changes nothing for the root.
  tree.SelectItem(tree.GetRootItem());
  tree.SendMessage(WM_COMMAND, kDelete, 0);
  EXPECT_EQ(Rows("SELECT count(*) FROM label WHERE labelid=1"), Lines({"1"}));
  EXPECT_TRUE(user.Events().empty());

  // Deleting an ancestor of the default: the root becomes the default, in bold.
  tree.SelectItem(Item(u"八"));
  tree.SendMessage(WM_COMMAND, kDefault, 0);
  ASSERT_EQ(tree.GetDefalutLabelID(), 8u);
  Command(u"四", kDelete, [&] { user.AnswerMessageBox(IDYES, kDeleteQuestion); });
  EXPECT_EQ(tree.GetDefalutLabelID(), 1u);
  EXPECT_EQ(Items(),
            (std::vector<std::string>{"我的资料库 B E", ".收藏的频道", ".未分类 E", "..五", ".工作 E", "..项目"}));
  ExpectScriptDone();
}

TEST_F(TreeWindowTest, DeletionRefusedHalfWayShowsExactlyTheLabelsThatRemain) {
  Shape();
  Open();
  Command(u"八", kDefault);
  // The descendant goes, then the store refuses the label itself.
  Refuse("DELETE", "label", "old.labelid=4");
  Command(u"四", kDelete,
          [&] { user.AnswerMessageBox(IDYES, kDeleteQuestion).AnswerMessageBox(IDOK, u"删除标签操作失败,请你重试!"); });
  EXPECT_EQ(Rows("SELECT labelid FROM label WHERE labelid IN (4,8) ORDER BY labelid"), Lines({"4"}));
  // The default sat on the deleted label: the root took over, and only it is bold.
  EXPECT_EQ(tree.GetDefalutLabelID(), 1u);
  EXPECT_EQ(Items(), (std::vector<std::string>{"我的资料库 B E", ".收藏的频道", ".未分类 E", "..四 E", "..五",
                                               ".工作 E", "..项目"}));
  ExpectScriptDone();
}

TEST_F(TreeWindowTest, SetDefaultMovesTheBoldItem) {
  Shape();
  Open();
  Command(u"项目", kDefault);
  EXPECT_EQ(tree.GetDefalutLabelID(), 7u);
  EXPECT_EQ(Items(), (std::vector<std::string>{"我的资料库 E", ".收藏的频道", ".未分类 E", "..四", "...八", "..五",
                                               ".工作 E", "..项目 B"}));
  // The default is kept in memory only.
  EXPECT_EQ(Rows("SELECT count(*) FROM label WHERE labelid=7 AND toplayer=6"), Lines({"1"}));
  ExpectScriptDone();
}

TEST_F(TreeWindowTest, AddLabelThroughItsDialog) {
  Shape();
  Open();
  ASSERT_FALSE(tree.GetItemState(Item(u"五"), TVIS_EXPANDED));
  Command(u"五", kAdd, [&] { user.Dialog(u"添加标签...", CScriptedUser::Fill({{kLabelNameEdit, u"新标签"}})); });
  EXPECT_EQ(Rows("SELECT name, toplayer FROM label WHERE name='新标签'"), Lines({"新标签|5"}));
  EXPECT_EQ(Selected(), "新标签");
  EXPECT_TRUE(tree.GetItemState(Item(u"五"), TVIS_EXPANDED));
  EXPECT_EQ(tree.GetParentItem(Item(u"新标签")), Item(u"五"));

  // Cancelled, or refused by the catalogue: nothing, and no message.
  Command(u"五", kAdd, [&] { user.Dialog(CScriptedUser::Press(IDCANCEL)); });
  Refuse("INSERT", "label");
  Command(u"五", kAdd, [&] { user.Dialog(CScriptedUser::Fill({{kLabelNameEdit, u"不行"}})); });
  EXPECT_EQ(Rows("SELECT count(*) FROM label"), Lines({"10"}));
  EXPECT_EQ(tree.GetCount(), 9u);
  ExpectScriptDone();
}

// A name a sibling has already is refused where it is made, with the
// library's messages for a name it cannot take.
TEST_F(TreeWindowTest, SiblingNamesStayDistinct) {
  Shape();
  Open();
  Command(u"未分类", kAdd, [&] {
    user.Dialog(CScriptedUser::Fill({{kLabelNameEdit, u"四"}}));
    user.AnswerMessageBox(IDOK, u"请输入一个有效的标签名。");
  });
  Rename(u"五", u"四", VK_RETURN, [&] { user.AnswerMessageBox(IDOK, u"重命名标签名错误!"); });
  EXPECT_EQ(Rows("SELECT count(*) FROM label WHERE name='四'"), Lines({"1"}));
  EXPECT_EQ(Rows("SELECT name FROM label WHERE labelid=5"), Lines({"五"}));
  EXPECT_NE(Item(u"五"), nullptr);
  ExpectScriptDone();
}

TEST_F(TreeWindowTest, DoubleClickTellsTheFrameOnlyWhenOneIsSet) {
  Shape();
  Open(false);
  InputDoubleClick(tree.m_hWnd, On(u"工作"));
  EXPECT_TRUE(frame.UserMessages().empty());
  // The control's own double click still toggles the item.
  EXPECT_FALSE(tree.GetItemState(Item(u"工作"), TVIS_EXPANDED));

  tree.SetMainFrameHwnd(frame.m_hWnd);
  EXPECT_EQ(tree.GetMainFrameHwnd(), frame.m_hWnd);
  InputDoubleClick(tree.m_hWnd, CPoint(150, 150));  // empty space counts too
  ASSERT_EQ(frame.UserMessages().size(), 1u);
  EXPECT_EQ(frame.UserMessages()[0].message, 1524u);
  EXPECT_EQ(frame.UserMessages()[0].wParam, 2u);
  EXPECT_EQ(frame.UserMessages()[0].lParam, 0);
}
