// The tree driving the article list: the rows a selection shows, the failed
// query, and the menu commands that act on every row (refresh, remove all,
// mark all read or unread).

#include <algorithm>

#include "ListFixture.h"
#include "platform/HeaderCtrl.h"
#include "platform/Input.h"
#include "platform/MessageBox.h"

namespace {

constexpr UINT kRefresh = 50001;
constexpr UINT kDelall = 50005;
constexpr UINT kRead = 50006;
constexpr UINT kUnread = 50007;

const std::u16string kRemoveQuestion = u"删除所选的文章,将不可恢复,你确定删除吗?";

std::string Date(long t) {
  CStdTime time;
  time.SetTimeLong(t);
  return U8(time.GetFmtString());
}

class TreeCommandTest : public TreeListTest {
 protected:
  // Label 6 "工作" holds 旧 (read), 中 (important), 新; 中 is in 未分类 too.
  void Fill() {
    Label(6, "工作", 1);
    old = Article("旧", {6}, true, false, 1600000000);
    mid = Article("中", {6, 3}, false, true, 1650000000);
    fresh = Article("新", {6}, false, false, 1700000000);
  }
  int old = 0, mid = 0, fresh = 0;
};

}  // namespace

TEST_F(TreeCommandTest, SelectionShowsTheLabelsArticlesSortedByTheListsColumn) {
  Fill();
  OpenBoth();
  list.SetSearchTag(true);
  InputClick(tree.m_hWnd, On(u"工作"));
  // Newest first: the list starts sorted by date, descending.
  EXPECT_EQ(ListRows(), (std::vector<std::string>{"新|" + Date(1700000000) + "|kw-新|1|B-",
                                                  "中|" + Date(1650000000) + "|kw-中|1|BR",
                                                  "旧|" + Date(1600000000) + "|kw-旧|2|--"}));
  EXPECT_EQ(list.GetSearchTag(), 0);
  ExpectRowsOwnedByFacade();

  // After a click on the title header the next selection sorts by title.
  InputClick(list.GetHeaderCtrl()->m_hWnd, CPoint(50, 10));
  ASSERT_EQ(list.GetSortColumn(), 0);
  const bool ascending = list.IsSortAscending();
  InputClick(tree.m_hWnd, On(u"未分类"));
  EXPECT_EQ(ListTitles(), (std::vector<std::string>{"中"}));
  InputClick(tree.m_hWnd, On(u"工作"));
  std::vector<std::string> sorted = ListTitles();
  std::sort(sorted.begin(), sorted.end());
  if (!ascending) std::reverse(sorted.begin(), sorted.end());
  EXPECT_EQ(ListTitles(), sorted);
  EXPECT_TRUE(user.Events().empty());
}

TEST_F(TreeCommandTest, AFailedQueryLeavesNoRowsBehind) {
  Fill();
  OpenBoth();
  Select(u"工作");
  ASSERT_EQ(list.GetItemCount(), 3);
  root.Exec("ALTER TABLE articletolabel RENAME TO gone;");
  user.AnswerMessageBox(IDOK, u"检索文章失败!");
  Select(u"未分类");
  EXPECT_EQ(list.GetItemCount(), 0);
  ExpectScriptDone();
}

TEST_F(TreeCommandTest, RefreshShowsNewArticlesInQueryOrderAndIsOffForSearchResults) {
  Fill();
  OpenBoth();
  Select(u"工作");
  Article("后来", {6}, false, false, 1500000000);
  Command(u"工作", kRefresh);
  // Not re-sorted: the rows stand in the reverse of the query's order.
  std::vector<std::string> expected;
  for (CArticle* a : daru->GetArticleList()) expected.insert(expected.begin(), U8(a->title));
  EXPECT_EQ(ListTitles(), expected);
  EXPECT_NE(std::find(expected.begin(), expected.end(), "后来"), expected.end());
  ExpectRowsOwnedByFacade();

  list.SetSearchTag(true);
  CPopupMenuView menu = MenuAt(On(u"工作"));
  ASSERT_NE(menu.FindById(kRefresh), nullptr);
  EXPECT_FALSE(menu.FindById(kRefresh)->enabled);
  // Reached anyway, it leaves the search results alone.
  list.DeleteItem(0);
  tree.SendMessage(WM_COMMAND, kRefresh, 0);
  EXPECT_EQ(list.GetItemCount(), 3);
  ExpectScriptDone();
}

TEST_F(TreeCommandTest, RemoveAllGoesOnPastARowThatCannotBeRemoved) {
  Fill();
  OpenBoth();
  Select(u"工作");
  // Rows: 新, 中, 旧; the middle one's link cannot be removed.
  Refuse("DELETE", "articletolabel", "old.articleid=" + std::to_string(mid));
  Command(u"工作", kDelall,
          [&] { user.AnswerMessageBox(IDYES, kRemoveQuestion).AnswerMessageBox(IDOK, u"删除文章[中]失败！"); });
  EXPECT_EQ(ListTitles(), (std::vector<std::string>{"中"}));
  EXPECT_EQ(Rows("SELECT articleid FROM articletolabel WHERE labelid=6"), Lines({std::to_string(mid).c_str()}));
  // Articles left without a label are gone from the catalogue.
  EXPECT_EQ(Rows("SELECT count(*) FROM article"), Lines({"1"}));
  ExpectRowsOwnedByFacade();

  // No keeps everything.
  Command(u"工作", kDelall, [&] { user.AnswerMessageBox(IDNO, kRemoveQuestion); });
  EXPECT_EQ(list.GetItemCount(), 1);
  ExpectScriptDone();
}

TEST_F(TreeCommandTest, RemoveAllOfSearchResultsRemovesFromTheWholeLibrary) {
  Fill();
  OpenBoth();
  Select(u"工作");
  list.SetSearchTag(true);
  Command(u"工作", kDelall, [&] { user.AnswerMessageBox(IDYES, kRemoveQuestion); });
  EXPECT_EQ(list.GetItemCount(), 0);
  // 中 was also filed under 未分类: removed from the library, that link goes too.
  EXPECT_EQ(Rows("SELECT count(*) FROM article"), Lines({"0"}));
  EXPECT_EQ(Rows("SELECT count(*) FROM articletolabel"), Lines({"0"}));
  ExpectScriptDone();
}

TEST_F(TreeCommandTest, MarkAllReadAndUnread) {
  Fill();
  OpenBoth();
  Select(u"工作");
  // One article cannot be stored: its row keeps its looks.
  Refuse("UPDATE", "article", "new.articleid=" + std::to_string(fresh));
  Command(u"工作", kRead);
  EXPECT_EQ(ListRows(), (std::vector<std::string>{"新|" + Date(1700000000) + "|kw-新|1|B-",
                                                  "中|" + Date(1650000000) + "|kw-中|2|-R",
                                                  "旧|" + Date(1600000000) + "|kw-旧|2|--"}));
  EXPECT_EQ(Rows("SELECT articleid, readflag, brdate > 0 FROM article ORDER BY articleid"),
            Lines({(std::to_string(old) + "|T|0").c_str(), (std::to_string(mid) + "|T|1").c_str(),
                   (std::to_string(fresh) + "|F|0").c_str()}));
  Allow();

  Command(u"工作", kUnread);
  for (const std::string& row : ListRows()) EXPECT_NE(row.find("|1|B"), std::string::npos) << row;
  // Unread keeps the time it was read.
  EXPECT_EQ(Rows("SELECT articleid, readflag, brdate > 0 FROM article ORDER BY articleid"),
            Lines({(std::to_string(old) + "|F|0").c_str(), (std::to_string(mid) + "|F|1").c_str(),
                   (std::to_string(fresh) + "|F|1").c_str()}));
  ExpectScriptDone();
}

TEST_F(TreeCommandTest, WithoutTheListSelectionAndCommandsDoNothing) {
  Fill();
  OpenBoth(false);
  Select(u"工作");
  tree.SendMessage(WM_COMMAND, kRefresh, 0);
  tree.SendMessage(WM_COMMAND, kRead, 0);
  tree.SendMessage(WM_COMMAND, kDelall, 0);
  EXPECT_EQ(list.GetItemCount(), 0);
  int id = 0;
  EXPECT_FALSE(tree.AddArticleFromBrowser(u"http://example.org/x", u"x", nullptr, false));
  EXPECT_FALSE(tree.AddArticleFromRss(CRSSSubItem(), id, nullptr));
  EXPECT_EQ(Rows("SELECT count(*) FROM article"), Lines({"3"}));
  EXPECT_TRUE(user.Events().empty());
}
