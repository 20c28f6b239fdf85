// The article list's commands on a provisioned catalogue, driven through the
// context menu (or, for the add command, the host's routing) with a scripted
// user; what they leave is read back from the catalogue with SQL, from the
// description files, from the rows and from the host's messages.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/TextConv.h"
#include "core/Article.h"
#include "core/ArticleLocations.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "fixtures/ProvisionedRoot.h"
#include "platform/CmdUI.h"
#include "platform/Input.h"
#include "platform/PlatformFixture.h"
#include "platform/TreeCtrl.h"
#include "ui/list/DARUListCtrl.h"

namespace {

constexpr UINT kShowArticle = WM_USER + 501;
constexpr UINT kAdd = 53007, kRemove = 53008, kBrowse = 53009, kComment = 53010, kProps = 53013, kSearch = 53016,
               kRead = 53017, kUnread = 53018, kImp = 53019, kUnimp = 53020, kManager = 53028;

// Reads the enabled state a command's update handler gives.
class EnableProbe : public CCmdUI {
 public:
  bool enabled = false;
  void Enable(BOOL bOn) override {
    enabled = bOn != FALSE;
    m_bEnableChanged = TRUE;
  }
};

struct Stored {
  std::u16string url{}, title{}, key{}, type = u"B", description{}, comment{};
  bool read = false, important = false;
  CRSSSubItem* feed = nullptr;  // borrowed while stored
};

class ListCommandsTest : public PlatformTest {
 protected:
  void SetUp() override {
    daru = CDARU::Instance();
    ASSERT_TRUE(daru->Init()) << ToUtf8(daru->GetLastDBError());
    CLabelTree* labels = daru->GetLabelTree();
    three = labels->FindLabel(3);
    jia = labels->InsertLabel(labels->GetHeadLabel(), u"甲");
    ASSERT_TRUE(three && jia);
    // A plain tree with the two labels stands for the label tree: the list
    // asks it only whether an item is selected; the label comes from ShowLabel.
    ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 400), &frame, 1000));
    for (CLabel* l : {three, jia})
      items.push_back(tree.InsertItem(TVIF_TEXT | TVIF_PARAM, l->name, 0, 0, 0, 0, reinterpret_cast<LPARAM>(l),
                                      TVI_ROOT, TVI_LAST));
    ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS,
                            CRect(200, 0, 1100, 400), &frame, 1001));
    list.SetMsgHwnd(frame.m_hWnd);
    list.SetTreeCtrl(&tree);
  }
  void TearDown() override {
    list.DeleteAllItems();
    delete daru;
  }

  // Stores an article under the labels with its description file, as a
  // capture leaves it; the facade's result list is not touched.
  int Store(const Stored& s, std::initializer_list<CLabel*> under) {
    int result = 0;
    CArticle* a = daru->AddArticle(*under.begin(), s.url, s.title, s.key, s.type, result, true);
    EXPECT_EQ(result, 0);
    if (a == nullptr) return 0;
    for (auto it = under.begin() + 1; it != under.end(); ++it) EXPECT_EQ(daru->AddArticle(a, *it), 0);
    a->labels = static_cast<int>(under.size());
    a->readflag = s.read;
    a->impflag = s.important;
    // Each a day newer than the one before, all in the past.
    a->crdate.SetTimeLong(1700000000L + 86400L * ++stored);
    EXPECT_TRUE(daru->UpdateArticle(*a));
    a->SetDescription(s.description);
    a->SetComment(s.comment);
    a->SetRSSSubItem(s.feed);
    EXPECT_TRUE(a->CreateDescriptionFile(s.type, false));
    a->SetRSSSubItem(nullptr);
    const int id = a->articleid;
    delete a;
    return id;
  }

  // Selects the label in the tree and shows its articles as the tree does.
  void ShowLabel(CLabel* label) {
    tree.SelectItem(items[label == three ? 0 : 1]);
    ASSERT_TRUE(list.ShowLabelArticles(label, true));
    list.SetSearchTag(false);
  }

  std::vector<std::u16string> Titles() {
    std::vector<std::u16string> t;
    for (int i = 0; i < list.GetItemCount(); ++i) t.push_back(list.GetItemText(i, 0));
    return t;
  }
  int Row(const std::u16string& title) {
    for (int i = 0; i < list.GetItemCount(); ++i)
      if (list.GetItemText(i, 0) == title) return i;
    ADD_FAILURE() << "no row " << ToUtf8(title);
    return -1;
  }
  CArticle* Article(const std::u16string& title) { return list.GetItemArticle(Row(title)); }
  void Select(std::initializer_list<const char16_t*> titles) {
    list.SetItemState(-1, 0, LVIS_SELECTED);
    for (const char16_t* t : titles) list.SetItemState(Row(t), LVIS_SELECTED, LVIS_SELECTED);
  }
  bool Enabled(UINT id) {
    EnableProbe probe;
    probe.m_nID = id;
    probe.DoUpdate(&list, TRUE);
    return probe.enabled;
  }
  // Right-clicks the first selected row (empty space when none) as a person
  // opens the menu; the selection stays as it is.
  void RightClick() {
    const int row = list.GetNextItem(-1, LVNI_SELECTED);
    InputRightClick(list.m_hWnd, row >= 0 ? CPoint(100, 20 + 16 * row + 5) : CPoint(100, 390));
  }
  // The menu as shown for the current selection.
  CPopupMenuView Menu() {
    user.DismissMenu();
    RightClick();
    return user.Events().back().menu;
  }
  // Chooses a menu item (the scripted user refuses a disabled one); for a
  // command that asks something, script the pick and the answers, then RightClick.
  void Choose(UINT id) {
    user.PickMenuItem(id);
    RightClick();
  }
  std::vector<CHostWnd::Received> ShowMessages() {
    std::vector<CHostWnd::Received> shown;
    for (const auto& m : frame.UserMessages())
      if (m.message == kShowArticle) shown.push_back(m);
    return shown;
  }
  std::vector<std::string> Rows(const std::string& sql) { return root.Rows(sql); }
  static std::string File(const CArticle& a) {
    std::ifstream in(ToUtf8(DescriptionFilePath(a.type, a.filename)));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The description file read afresh.
  static CArticle Reread(const CArticle& a) {
    CArticle fresh;
    fresh.type = a.type;
    fresh.filename = a.filename;
    fresh.LoadDescription();
    fresh.LoadComment();
    fresh.LoadRssSubItem();
    return fresh;
  }

  ProvisionedRoot root;
  CDARU* daru = nullptr;
  CLabel* three = nullptr;
  CLabel* jia = nullptr;
  CTreeCtrl tree;
  std::vector<HTREEITEM> items;
  CDARUListCtrl list;
  long stored = 0;
};

// Three articles under label 3: one read, one unread and important, one read without a link.
class ThreeArticlesTest : public ListCommandsTest {
 protected:
  void SetUp() override {
    ListCommandsTest::SetUp();
    if (HasFatalFailure()) return;
    Store({.url = u"http://a.example/", .title = u"甲文", .key = u"k1", .read = true}, {three});
    Store({.url = u"http://b.example/", .title = u"乙文", .key = u"k2", .important = true}, {three, jia});
    Store({.url = u"http://c.example/", .title = u"丙文", .read = true}, {three});
    root.Exec("UPDATE article SET url='' WHERE title='丙文';");
    ShowLabel(three);
    ASSERT_EQ(list.GetItemCount(), 3);
  }
  std::string Flags(const char* title) {
    return Rows(std::string("SELECT readflag||impflag FROM article WHERE title='") + title + "'")[0];
  }
};

}  // namespace

TEST_F(ThreeArticlesTest, EnableRulesFollowTheSelection) {
  const UINT selectionRule[] = {kRemove, kComment, kProps, kManager};
  const UINT flagRules[] = {kRead, kUnread, kImp, kUnimp};
  // Nothing selected: only search and add.
  Select({});
  for (UINT id : selectionRule) EXPECT_FALSE(Enabled(id)) << id;
  for (UINT id : flagRules) EXPECT_FALSE(Enabled(id)) << id;
  EXPECT_FALSE(Enabled(kBrowse));
  EXPECT_TRUE(Enabled(kSearch));
  EXPECT_TRUE(Enabled(kAdd));
  // One read, unimportant article: only the changes that would do something.
  Select({u"甲文"});
  for (UINT id : selectionRule) EXPECT_TRUE(Enabled(id)) << id;
  EXPECT_FALSE(Enabled(kRead));
  EXPECT_TRUE(Enabled(kUnread));
  EXPECT_TRUE(Enabled(kImp));
  EXPECT_FALSE(Enabled(kUnimp));
  EXPECT_TRUE(Enabled(kBrowse));
  // One unread, important article: the opposite.
  Select({u"乙文"});
  EXPECT_TRUE(Enabled(kRead));
  EXPECT_FALSE(Enabled(kUnread));
  EXPECT_FALSE(Enabled(kImp));
  EXPECT_TRUE(Enabled(kUnimp));
  // An article without a link cannot be opened.
  Select({u"丙文"});
  EXPECT_FALSE(Enabled(kBrowse));
  // Several selected: every flag command, whatever the articles.
  Select({u"甲文", u"丙文"});
  for (UINT id : flagRules) EXPECT_TRUE(Enabled(id)) << id;
  for (UINT id : selectionRule) EXPECT_TRUE(Enabled(id)) << id;
  EXPECT_FALSE(Enabled(kBrowse));  // the first selected decides

  // The menu shows the same states.
  Select({u"甲文"});
  const CPopupMenuView menu = Menu();
  EXPECT_FALSE(menu.FindById(kRead)->enabled);
  EXPECT_TRUE(menu.FindById(kUnread)->enabled);
  EXPECT_TRUE(menu.FindById(kManager)->enabled);
  EXPECT_EQ(menu.FindById(kAdd), nullptr);
  list.SetSearchTag(true);
  EXPECT_FALSE(Enabled(kAdd));
  EXPECT_TRUE(Enabled(kRemove));
}

TEST_F(ThreeArticlesTest, FlagCommandsStoreOnlyTheArticlesThatChange) {
  root.Exec(
      "CREATE TABLE updates(title TEXT);"
      "CREATE TRIGGER log AFTER UPDATE ON article BEGIN INSERT INTO updates VALUES(NEW.title); END;");
  Select({u"甲文", u"乙文"});
  ASSERT_TRUE(list.GetItemBold(Row(u"乙文")));
  Choose(kRead);
  EXPECT_EQ(Rows("SELECT title FROM updates"), Lines({"乙文"}));
  EXPECT_EQ(Flags("乙文"), "TT");
  EXPECT_EQ(Rows("SELECT brdate > 0 FROM article WHERE title='乙文'"), Lines({"1"}));
  EXPECT_FALSE(list.GetItemBold(Row(u"乙文")));
  EXPECT_EQ(list.GetItemImage(Row(u"乙文")), 2);

  root.Exec("DELETE FROM updates;");
  const std::string readTime = Rows("SELECT brdate FROM article WHERE title='甲文'")[0];
  Choose(kUnread);
  EXPECT_EQ(Rows("SELECT title FROM updates ORDER BY title"), Lines({"乙文", "甲文"}));
  EXPECT_EQ(Flags("甲文"), "FF");
  EXPECT_EQ(Rows("SELECT brdate FROM article WHERE title='甲文'")[0], readTime);  // the read time stays
  for (const char16_t* t : {u"甲文", u"乙文"}) {
    EXPECT_TRUE(list.GetItemBold(Row(t)));
    EXPECT_EQ(list.GetItemImage(Row(t)), 1);
  }

  root.Exec("DELETE FROM updates;");
  Choose(kImp);
  EXPECT_EQ(Rows("SELECT title FROM updates"), Lines({"甲文"}));
  EXPECT_TRUE(list.GetItemRed(Row(u"甲文")));
  Choose(kUnimp);
  EXPECT_EQ(Flags("甲文"), "FF");
  EXPECT_EQ(Flags("乙文"), "FF");
  EXPECT_FALSE(list.GetItemRed(Row(u"甲文")));
  EXPECT_FALSE(list.GetItemRed(Row(u"乙文")));
  EXPECT_FALSE(list.GetItemRed(Row(u"丙文")));  // not selected
  ExpectScriptDone();
}

TEST_F(ThreeArticlesTest, AFailedFlagUpdateLeavesTheRow) {
  root.Exec("CREATE TRIGGER frozen BEFORE UPDATE ON article BEGIN SELECT RAISE(ABORT, 'frozen'); END;");
  Select({u"甲文"});
  Choose(kImp);
  EXPECT_FALSE(list.GetItemRed(Row(u"甲文")));
  EXPECT_TRUE(Article(u"甲文")->impflag);  // the object keeps the change
  Select({u"乙文"});
  Choose(kRead);
  EXPECT_TRUE(list.GetItemBold(Row(u"乙文")));
  EXPECT_EQ(list.GetItemImage(Row(u"乙文")), 1);
  EXPECT_EQ(Flags("乙文"), "FT");
  EXPECT_TRUE(user.MessageTexts().empty());
}

TEST_F(ThreeArticlesTest, RemovingFromALabelKeepsArticlesFiledElsewhereAndReportsEachFailure) {
  const std::string b = Rows("SELECT articleid FROM article WHERE title='乙文'")[0];
  const CArticle a = *Article(u"甲文");
  // The middle one cannot lose its label.
  root.Exec("CREATE TRIGGER keep BEFORE DELETE ON articletolabel WHEN OLD.articleid=" + b +
            " BEGIN SELECT RAISE(ABORT, 'kept'); END;");
  Select({u"甲文", u"乙文", u"丙文"});
  user.PickMenuItem(kRemove).AnswerMessageBox(IDNO, u"删除所选的文章,将不可恢复,你确定删除吗?");
  RightClick();
  EXPECT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM article"), Lines({"3"}));

  user.PickMenuItem(kRemove).AnswerMessageBox(IDYES).AnswerMessageBox(IDOK, u"删除文章[乙文]失败！");
  RightClick();
  EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"乙文"}));
  EXPECT_EQ(user.Events()[user.Events().size() - 2].caption, u"系统提示");
  EXPECT_EQ(user.MessageTexts().size(), 3u);  // the two questions and one failure
  // Articles held by no other label leave the catalogue with their files.
  EXPECT_EQ(Rows("SELECT title FROM article"), Lines({"乙文"}));
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM articletolabel WHERE articleid=" + b), Lines({"2"}));
  EXPECT_FALSE(std::filesystem::exists(ToUtf8(DescriptionFilePath(a.type, a.filename))));
  ExpectScriptDone();
}

TEST_F(ThreeArticlesTest, SearchesReplaceTheRowsAndRemovalThenLeavesTheLibrary) {
  // Keywords, exact: one article; the rows are the results, unsorted.
  user.PickMenuItem(kSearch)
      .Dialog(u"搜索资料库...",
              [](CModalSession& d) {
                EXPECT_EQ(d.GetCheck(51013), 1);
                EXPECT_EQ(d.GetCheck(51015), 1);
                d.SetText(50009, u"k2");
                d.SetCheck(51014, 1);
                d.SetCheck(51015, 0);
                d.Ok();
              })
      .AnswerMessageBox(IDOK, u"共找到相关文章主题[1]篇");
  RightClick();
  EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"乙文"}));
  EXPECT_EQ(list.GetSearchTag(), 1);
  EXPECT_FALSE(Enabled(kAdd));

  // Titles, fuzzy: every article whose title holds the text, each put at the
  // top, so the last found comes first.
  user.PickMenuItem(kSearch)
      .Dialog(CScriptedUser::Fill({{50009, u"文"}}))
      .AnswerMessageBox(IDOK, u"共找到相关文章主题[3]篇");
  RightClick();
  std::vector<std::u16string> expected;
  for (CArticle* a : daru->GetArticleList()) expected.insert(expected.begin(), a->title);
  EXPECT_EQ(Titles(), expected);

  // While results are shown, removal takes the article out of every label.
  Select({u"乙文"});
  user.PickMenuItem(kRemove).AnswerMessageBox(IDYES);
  RightClick();
  EXPECT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM article WHERE title='乙文'"), Lines({"0"}));
  EXPECT_EQ(Rows("SELECT labelid FROM articletolabel ORDER BY labelid"), Lines({"3", "3"}));
  ExpectScriptDone();
}

TEST_F(ThreeArticlesTest, ASearchThatFindsNothingOrFailsLeavesNoRows) {
  user.PickMenuItem(kSearch)
      .Dialog(CScriptedUser::Fill({{50009, u"没有的词"}}))
      .AnswerMessageBox(IDOK, u"共找到相关文章主题[0]篇");
  RightClick();
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(list.GetSearchTag(), 1);

  // A failed query: the rows would point to released articles, so they go;
  // the search tag stays as it was.
  ShowLabel(three);
  root.Exec("ALTER TABLE article RENAME TO gone;");
  user.PickMenuItem(kSearch).Dialog(CScriptedUser::Fill({{50009, u"文"}})).AnswerMessageBox(IDOK, u"检索文章失败!");
  RightClick();
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(list.GetSearchTag(), 0);
  // A cancelled search changes nothing.
  root.Exec("ALTER TABLE gone RENAME TO article;");
  ShowLabel(three);
  user.PickMenuItem(kSearch).Dialog(CScriptedUser::Press(IDCANCEL));
  RightClick();
  EXPECT_EQ(list.GetItemCount(), 3);
  ExpectScriptDone();
}

TEST_F(ThreeArticlesTest, OpenLinkAsksTheHost) {
  Select({u"甲文"});
  Choose(kBrowse);
  auto shown = ShowMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].wParam, 1u);
  EXPECT_EQ(shown[0].lParam, reinterpret_cast<LPARAM>(Article(u"甲文")));
}

namespace {

// A page and a feed item with description, comment and feed data in their
// files, read back from the catalogue without any of them loaded.
class RewriteTest : public ListCommandsTest {
 protected:
  void SetUp() override {
    ListCommandsTest::SetUp();
    if (HasFatalFailure()) return;
    feed.title = u"条目";
    feed.link = u"http://feed.example/1";
    feed.pubDate = u"Mon, 07 Dec 2026 08:00:00 GMT";
    feed.channelTitle = u"某频道";
    feed.channelLink = u"http://feed.example/";
    feed.mimeUrl = u"/media/clip.mp3";
    Store({.url = u"http://page.example/",
           .title = u"网页",
           .key = u"旧",
           .description = u"页描述",
           .comment = u"页注释"},
          {three});
    Store({.url = u"http://feed.example/1",
           .title = u"订阅",
           .type = u"A",
           .description = u"项描述",
           .comment = u"项注释",
           .feed = &feed},
          {three});
    ShowLabel(three);
    ASSERT_EQ(list.GetItemCount(), 2);
    for (CArticle* a : daru->GetArticleList()) ASSERT_TRUE(a->description.empty() && !a->GetRSSSubItem());
  }
  CRSSSubItem feed;
};

}  // namespace

TEST_F(RewriteTest, CommentRewriteKeepsDescriptionAndFeedData) {
  for (const char16_t* title : {u"订阅", u"网页"}) {
    Select({title});
    user.PickMenuItem(kComment).Dialog(u"注释...", [&](CModalSession& d) {
      EXPECT_EQ(d.GetText(50016), title);
      EXPECT_EQ(d.GetText(50031), title == std::u16string(u"订阅") ? u"项注释" : u"页注释");
      d.SetText(50031, u"新注释\n第二行");
      d.Ok();
    });
    RightClick();
    const CArticle& a = *Article(title);
    const CArticle back = Reread(a);
    EXPECT_EQ(back.comment, u"新注释\n第二行");
    EXPECT_EQ(back.description, title == std::u16string(u"订阅") ? u"项描述" : u"页描述");
    auto shown = ShowMessages();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().wParam, 0u);
    EXPECT_EQ(shown.back().lParam, reinterpret_cast<LPARAM>(&a));
  }
  // The feed item keeps its feed data; the page gains none.
  const CArticle item = Reread(*Article(u"订阅"));
  ASSERT_NE(item.rssSubItem.get(), nullptr);
  EXPECT_EQ(item.rssSubItem.get()->link, feed.link);
  EXPECT_EQ(item.rssSubItem.get()->channelTitle, feed.channelTitle);
  EXPECT_EQ(item.rssSubItem.get()->mimeUrl, feed.mimeUrl);
  EXPECT_EQ(File(*Article(u"网页")).find("<RSS"), std::string::npos);
  EXPECT_EQ(ShowMessages().size(), 2u);

  // Cancel leaves the file alone and tells the host nothing.
  const std::string before = File(*Article(u"网页"));
  user.PickMenuItem(kComment).Dialog(CScriptedUser::Press(IDCANCEL));
  RightClick();
  EXPECT_EQ(File(*Article(u"网页")), before);
  EXPECT_EQ(ShowMessages().size(), 2u);
  ExpectScriptDone();
}

TEST_F(RewriteTest, PropertiesAfterTheFirstPageStoreRewriteAndRefreshTheRow) {
  Select({u"订阅"});
  CArticle* a = Article(u"订阅");
  ASSERT_TRUE(list.GetItemBold(Row(u"订阅")));
  user.PickMenuItem(kProps).Dialog(u"文章属性...", [](CModalSession& d) {
    d.SetText(50016, u"新标题");
    d.SetText(50032, u"新关键字");
    d.SetCheck(50025, 1);
    d.SetCheck(50027, 1);
    d.Ok();
  });
  RightClick();
  EXPECT_EQ(Rows("SELECT title, key1, readflag, impflag, brdate > 0 FROM article WHERE articleid=" +
                 std::to_string(a->articleid)),
            Lines({"新标题|新关键字|T|T|1"}));
  const int row = Row(u"新标题");
  EXPECT_EQ(list.GetItemText(row, 2), u"新关键字");
  EXPECT_FALSE(list.GetItemBold(row));
  EXPECT_EQ(list.GetItemImage(row), 2);
  EXPECT_TRUE(list.GetItemRed(row));
  const CArticle back = Reread(*a);
  EXPECT_NE(File(*a).find("新标题"), std::string::npos);
  EXPECT_EQ(back.description, u"项描述");
  EXPECT_EQ(back.comment, u"项注释");
  ASSERT_NE(back.rssSubItem.get(), nullptr);
  EXPECT_EQ(back.rssSubItem.get()->title, feed.title);
  auto shown = ShowMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].lParam, reinterpret_cast<LPARAM>(a));
  ExpectScriptDone();
}

TEST_F(RewriteTest, PropertiesKeepATextEmptiedOnItsPage) {
  Select({u"网页"});
  user.PickMenuItem(kProps).Dialog([](CModalSession& d) {
    d.SelectTab(u"我的注释");
    d.SetText(50029, u"");
    d.Ok();
  });
  RightClick();
  const CArticle back = Reread(*Article(u"网页"));
  EXPECT_EQ(back.comment, u"");
  EXPECT_EQ(back.description, u"页描述");
  EXPECT_EQ(File(*Article(u"网页")).find("<RSS"), std::string::npos);
  ExpectScriptDone();
}

TEST_F(RewriteTest, AFailedPropertyUpdateChangesNeitherRowNorFile) {
  root.Exec("CREATE TRIGGER frozen BEFORE UPDATE ON article BEGIN SELECT RAISE(ABORT, 'frozen'); END;");
  Select({u"网页"});
  const std::string before = File(*Article(u"网页"));
  user.PickMenuItem(kProps)
      .Dialog(CScriptedUser::Fill({{50016, u"改不了"}}))
      .AnswerMessageBox(IDOK, u"修改文章属性出错！");
  RightClick();
  EXPECT_EQ(Row(u"网页") >= 0, true);
  EXPECT_EQ(list.GetItemArticle(Row(u"网页"))->title, u"改不了");  // the object keeps the edit
  EXPECT_EQ(File(*list.GetItemArticle(Row(u"网页"))), before);
  EXPECT_TRUE(ShowMessages().empty());
  // Cancel: nothing stored, nothing said.
  user.PickMenuItem(kProps).Dialog(CScriptedUser::Press(IDCANCEL));
  RightClick();
  ExpectScriptDone();
}

// A description file that cannot be read is never replaced, so a comment or
// a sheet's texts cannot be written into it: the person is told, not left
// believing the edit was kept.
TEST_F(RewriteTest, AnEditTheDescriptionFileCannotTakeIsReportedNotLost) {
  CArticle* page = Article(u"网页");
  const std::string damaged = "<?xml version=\"1.0\"?><DARU><Title>网页</Title><Comm";
  std::ofstream(ToUtf8(DescriptionFilePath(page->type, page->filename)), std::ios::trunc) << damaged;

  Select({u"网页"});
  user.PickMenuItem(kComment)
      .Dialog(CScriptedUser::Fill({{50031, u"写不进去的注释"}}))
      .AnswerMessageBox(IDOK, u"保存文章描述文件出错！");
  RightClick();
  EXPECT_EQ(File(*page), damaged);
  EXPECT_NE(page->comment, u"写不进去的注释") << "the article shows a comment that was not kept";
  EXPECT_TRUE(ShowMessages().empty());

  // The sheet's fields reach the catalogue and the row; the file stays, and the person hears why.
  user.PickMenuItem(kProps)
      .Dialog(CScriptedUser::Fill({{50016, u"新网页"}}))
      .AnswerMessageBox(IDOK, u"保存文章描述文件出错！");
  RightClick();
  EXPECT_EQ(Rows("SELECT title FROM article WHERE articleid=" + std::to_string(page->articleid)), Lines({"新网页"}));
  EXPECT_GE(Row(u"新网页"), 0);
  EXPECT_EQ(File(*page), damaged);
  EXPECT_EQ(ShowMessages().size(), 1u);
  ExpectScriptDone();
}

namespace {

class LabelManagerTest : public ListCommandsTest {
 protected:
  void SetUp() override {
    ListCommandsTest::SetUp();
    if (HasFatalFailure()) return;
    id = std::to_string(Store({.url = u"http://m.example/", .title = u"多标签"}, {three, jia}));
    Store({.url = u"http://n.example/", .title = u"单标签"}, {three});
    ShowLabel(three);
  }
  // Ticks the labels in the picker and confirms.
  void Pick(const char16_t* title, std::vector<CLabel*> ticked, UINT press = IDOK) {
    Select({title});
    user.PickMenuItem(kManager).Dialog(u"添加标签...", [=](CModalSession& d) {
      auto& picker = *static_cast<CTreeCtrl*>(d.GetControl(51016));
      std::vector<HTREEITEM> pending{picker.GetRootItem()};
      while (!pending.empty()) {
        HTREEITEM h = pending.back();
        pending.pop_back();
        if (h == nullptr) continue;
        auto* label = reinterpret_cast<CLabel*>(picker.GetItemData(h));
        picker.SetCheck(h, std::find(ticked.begin(), ticked.end(), label) != ticked.end());
        pending.push_back(picker.GetNextSiblingItem(h));
        pending.push_back(picker.GetChildItem(h));
      }
      d.Click(press);
    });
    RightClick();
  }
  std::vector<std::string> Links() {
    return Rows("SELECT labelid FROM articletolabel WHERE articleid=" + id + " ORDER BY labelid");
  }
  std::string id;
};

}  // namespace

TEST_F(LabelManagerTest, TheRowGoesOnlyWhenTheArticleLeavesTheShownLabel) {
  const std::string j = std::to_string(jia->labelid);
  Pick(u"多标签", {three}, IDCANCEL);
  EXPECT_EQ(Links(), Lines({"3", j.c_str()}));
  EXPECT_EQ(list.GetItemCount(), 2);

  Pick(u"多标签", {three});  // still under the shown label
  EXPECT_EQ(Links(), Lines({"3"}));
  EXPECT_EQ(Rows("SELECT labels FROM article WHERE articleid=" + id), Lines({"1"}));
  EXPECT_EQ(list.GetItemCount(), 2);

  Pick(u"多标签", {jia});  // moved away from it
  EXPECT_EQ(Links(), Lines({j.c_str()}));
  EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"单标签"}));

  Pick(u"单标签", {});  // no label at all: out of the catalogue
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM article WHERE title='单标签'"), Lines({"0"}));
  ExpectScriptDone();
}

TEST_F(LabelManagerTest, SearchResultsLoseARowOnlyWhenItsArticleLeavesTheLibrary) {
  user.PickMenuItem(kSearch).Dialog(CScriptedUser::Fill({{50009, u"标签"}})).AnswerMessageBox(IDOK);
  RightClick();
  ASSERT_EQ(list.GetItemCount(), 2);
  Pick(u"多标签", {jia});  // no longer under the tree's label, still a result
  EXPECT_EQ(list.GetItemCount(), 2);
  Pick(u"多标签", {});
  EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"单标签"}));
  ExpectScriptDone();
}

namespace {

class AddTest : public ListCommandsTest {
 protected:
  void SetUp() override {
    ListCommandsTest::SetUp();
    if (HasFatalFailure()) return;
    Store({.url = u"http://old.example/", .title = u"旧文", .description = u"旧描述"}, {three});
    Store({.url = u"http://other.example/", .title = u"别处", .read = true}, {jia});
    ShowLabel(three);
  }
  // Scripts the add dialog; the test scripts what follows it, then routes the command.
  CScriptedUser& Fill(const std::u16string& url, const std::u16string& title) {
    return user.Dialog(
        u"新添文章...",
        CScriptedUser::Fill(
            {{50009, url}, {50010, title}, {50015, u"关键"}, {50012, u"描述文字"}, {50013, u"注释文字"}}));
  }
  void Route() { list.SendMessage(WM_COMMAND, kAdd, 0); }
};

}  // namespace

TEST_F(AddTest, ANewLinkGetsARowAndItsDescriptionFile) {
  Fill(u"http://new.example/", u"新文");
  Route();
  ASSERT_EQ(list.GetItemCount(), 2);
  // Sorted by creation date, newest first.
  EXPECT_EQ(list.GetItemText(0, 0), u"新文");
  EXPECT_EQ(list.GetItemText(0, 2), u"关键");
  // Shown as the catalogue stores it: read.
  EXPECT_EQ(list.GetItemImage(0), 2);
  EXPECT_FALSE(list.GetItemBold(0));
  EXPECT_EQ(Rows("SELECT readflag FROM article WHERE url='http://new.example/'"), Lines({"T"}));
  CArticle* added = list.GetItemArticle(0);
  const std::vector<CArticle*> listed = daru->GetArticleList();
  EXPECT_NE(std::find(listed.begin(), listed.end(), added), listed.end());  // owned by the facade
  EXPECT_EQ(Rows("SELECT a.title, a.type, a.labels, l.labelid FROM article a JOIN articletolabel l USING(articleid) "
                 "WHERE a.url='http://new.example/'"),
            Lines({"新文|B|1|3"}));
  const CArticle back = Reread(*added);
  EXPECT_EQ(back.description, u"描述文字");
  EXPECT_EQ(back.comment, u"注释文字");
  EXPECT_EQ(File(*added).find("<RSS"), std::string::npos);

  // A link already listed: no second row, nothing stored, the texts kept
  // where the dialog left them empty.
  user.Dialog(CScriptedUser::Fill({{50009, u"http://old.example/"}, {50010, u"又一次"}, {50013, u"后来的注释"}}));
  list.SendMessage(WM_COMMAND, kAdd, 0);
  EXPECT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM article"), Lines({"3"}));
  const CArticle old = Reread(*Article(u"旧文"));
  EXPECT_EQ(old.description, u"旧描述");
  EXPECT_EQ(old.comment, u"后来的注释");
  EXPECT_TRUE(user.MessageTexts().empty());
  ExpectScriptDone();
}

TEST_F(AddTest, AStoredLinkIsFiledHereOnlyWhenTheUserSaysSo) {
  const char* question = "此文章链接已经存在,是否需要为当前标签中创建一个文章关联吗?";
  Fill(u"http://other.example/", u"别处").AnswerMessageBox(IDNO, FromUtf8(question));
  Route();
  EXPECT_EQ(list.GetItemCount(), 1);
  EXPECT_EQ(Rows("SELECT labelid FROM articletolabel JOIN article USING(articleid) WHERE title='别处'"),
            Lines({std::to_string(jia->labelid).c_str()}));

  // The association fails: one message, the list unchanged.
  root.Exec("CREATE TRIGGER refuse BEFORE INSERT ON articletolabel BEGIN SELECT RAISE(ABORT, 'full'); END;");
  Fill(u"http://other.example/", u"别处")
      .AnswerMessageBox(IDYES, FromUtf8(question))
      .AnswerMessageBox(IDOK, u"添加文章关联操作失败。");
  Route();
  EXPECT_EQ(list.GetItemCount(), 1);
  root.Exec("DROP TRIGGER refuse;");

  Fill(u"http://other.example/", u"别处").AnswerMessageBox(IDYES, FromUtf8(question));
  Route();
  EXPECT_EQ(Titles(), (std::vector<std::u16string>{u"别处", u"旧文"}));
  EXPECT_FALSE(list.GetItemBold(Row(u"别处")));  // read before
  EXPECT_EQ(list.GetItemImage(Row(u"别处")), 2);
  EXPECT_EQ(Rows("SELECT labels FROM article WHERE title='别处'"), Lines({"2"}));
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM articletolabel JOIN article USING(articleid) WHERE title='别处' AND labelid=3"),
            Lines({"1"}));
  ExpectScriptDone();
}

TEST_F(AddTest, NothingIsAddedOnCancelWithoutALabelOrWhenTheStoreRefuses) {
  user.Dialog(CScriptedUser::Press(IDCANCEL));
  list.SendMessage(WM_COMMAND, kAdd, 0);
  root.Exec("CREATE TRIGGER refuse BEFORE INSERT ON article BEGIN SELECT RAISE(ABORT, 'full'); END;");
  Fill(u"http://new.example/", u"新文").AnswerMessageBox(IDOK, u"添加文章操作失败。");
  Route();
  root.Exec("DROP TRIGGER refuse;");
  tree.SelectItem(nullptr);
  Fill(u"http://new.example/", u"新文");
  Route();
  EXPECT_EQ(list.GetItemCount(), 1);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM article"), Lines({"2"}));
  ExpectScriptDone();
}
