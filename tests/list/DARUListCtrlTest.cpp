#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/TextConv.h"
#include "core/Article.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "fixtures/ProvisionedRoot.h"
#include "platform/HeaderCtrl.h"
#include "platform/Input.h"
#include "platform/PlatformFixture.h"
#include "ui/list/DARUListCtrl.h"

namespace {

constexpr UINT kShowArticle = WM_USER + 501;

// The article list as a host creates it: a report child of the frame,
// connected to the frame as its message window.
class ArticleListTest : public PlatformTest {
 protected:
  ArticleListTest() {
    EXPECT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS,
                            CRect(0, 0, 900, 200), &frame, 1001));
    list.SetMsgHwnd(frame.m_hWnd);
  }

  // Rows as the tree puts them in: each article at the top, then a re-sort.
  void Show(const std::vector<CArticle*>& articles) {
    list.DeleteAllItems();
    for (CArticle* a : articles) {
      list.InsertItem(0, a->title, a->readflag ? 2 : 1);
      list.SetItemText(0, 1, a->crdate.GetFmtString());
      list.SetItemText(0, 2, a->key1);
      list.SetItemData(0, reinterpret_cast<DWORD_PTR>(a));
      if (a->readflag) list.SetItemBold(0, FALSE);
      if (a->impflag) list.SetItemRed(0, TRUE);
    }
    list.ReSort();
  }
  std::vector<std::u16string> Column(int c) {
    std::vector<std::u16string> texts;
    for (int i = 0; i < list.GetItemCount(); ++i) texts.push_back(list.GetItemText(i, c));
    return texts;
  }
  // The column and direction the header's arrow shows, as the indicator value; 0 for none.
  int Arrow() {
    CHeaderCtrl* header = list.GetHeaderCtrl();
    int shown = 0;
    for (int i = 0; i < header->GetItemCount(); ++i) {
      if (!(header->GetItemFormat(i) & HDF_IMAGE)) continue;
      EXPECT_EQ(shown, 0) << "two arrows";
      shown = header->GetItemImage(i) == list.GetUpImage() ? i + 1 : -(i + 1);
    }
    return shown;
  }
  CPoint RowPoint(int row, int x = 100) { return CPoint(x, 20 + 16 * row + 5); }
  std::vector<CHostWnd::Received> ShowMessages() {
    std::vector<CHostWnd::Received> shown;
    for (const auto& m : frame.UserMessages())
      if (m.message == kShowArticle) shown.push_back(m);
    return shown;
  }

  CDARUListCtrl list;
};

CArticle Dated(const char16_t* title, int day) {
  CArticle a;
  a.title = title;
  struct tm t {};
  t.tm_year = 124;
  t.tm_mon = 0;
  t.tm_mday = day;
  t.tm_hour = 8;
  a.crdate = CStdTime(t);
  a.readflag = true;
  return a;
}

}  // namespace

TEST_F(ArticleListTest, CreationGivesThreeColumnsImagesAndTheArrowOfTheSort) {
  CHeaderCtrl* header = list.GetHeaderCtrl();
  ASSERT_NE(header, nullptr);
  ASSERT_EQ(list.GetColumnCount(), 3);
  const std::u16string headings[] = {u"标题", u"创建日期", u"关键字"};
  const int widths[] = {380, 200, 300};
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(header->GetItemText(c), headings[c]);
    EXPECT_EQ(list.GetColumnWidth(c), widths[c]);
    EXPECT_EQ(header->GetItemFormat(c) & HDF_JUSTIFYMASK, HDF_LEFT);
  }
  EXPECT_TRUE(list.GetExtendedStyle() & LVS_EX_FULLROWSELECT);
  CImageList* images = list.GetImageList(LVSIL_SMALL);
  ASSERT_NE(images, nullptr);
  EXPECT_EQ(images->GetImageCount(), 7);
  EXPECT_EQ(images->GetImageSize(), CSize(16, 15));
  EXPECT_EQ(header->GetImageList(), list.GetHeaderImageList());
  EXPECT_EQ(list.GetSortColumn(), 1);
  EXPECT_FALSE(list.IsSortAscending());
  EXPECT_EQ(Arrow(), -2);  // column 1, descending, as the rows are sorted
  EXPECT_EQ(list.GetSearchTag(), 0);
  list.SetSearchTag(true);
  EXPECT_EQ(list.GetSearchTag(), 1);
  EXPECT_STREQ(list.GetRuntimeClass()->m_lpszClassName, "CDARUListCtrl");
}

TEST_F(ArticleListTest, HeaderClicksSortAndTheArrowAlwaysShowsTheSort) {
  CArticle b = Dated(u"beta", 2), a = Dated(u"Alpha", 3), c = Dated(u"gamma", 1);
  Show({&b, &a, &c});
  EXPECT_EQ(Column(0), (std::vector<std::u16string>{u"Alpha", u"beta", u"gamma"}));  // newest first
  CHeaderCtrl* header = list.GetHeaderCtrl();
  struct Step {
    int x;
    int arrow;
    std::vector<std::u16string> titles;
  };
  const Step steps[] = {
      {480, 2, {u"gamma", u"beta", u"Alpha"}},   // 创建日期: ascending
      {480, -2, {u"Alpha", u"beta", u"gamma"}},  // again: descending
      {100, 1, {u"Alpha", u"beta", u"gamma"}},   // 标题: ascending, letters without case
      {100, -1, {u"gamma", u"beta", u"Alpha"}},
      {700, 3, {u"gamma", u"beta", u"Alpha"}},  // 关键字: all empty, order kept
  };
  for (const Step& step : steps) {
    InputClick(header->m_hWnd, CPoint(step.x, 10));
    EXPECT_EQ(Arrow(), step.arrow) << step.x;
    EXPECT_EQ(list.GetSortColumn() + 1, std::abs(step.arrow));
    EXPECT_EQ(list.IsSortAscending(), step.arrow > 0);
    EXPECT_EQ(Column(0), step.titles) << step.x;
  }
  // The rows keep their articles; ReSort repeats the current order.
  EXPECT_EQ(list.GetItemArticle(0), &c);
  CArticle d = Dated(u"delta", 4);
  list.InsertItem(0, d.title, 2);
  list.SetItemText(0, 1, d.crdate.GetFmtString());
  InputClick(header->m_hWnd, CPoint(100, 10));  // 标题 ascending
  EXPECT_EQ(Column(0), (std::vector<std::u16string>{u"Alpha", u"beta", u"delta", u"gamma"}));
}

TEST_F(ArticleListTest, DoubleClicksAndDragsDoNothingOfTheirOwn) {
  CArticle a = Dated(u"a", 1);
  Show({&a});
  InputDoubleClick(list.m_hWnd, RowPoint(0));
  EXPECT_EQ(ShowMessages().size(), 2u);  // the two clicks it contains
  InputLButtonDown(list.m_hWnd, RowPoint(0));
  InputMouseMove(list.m_hWnd, RowPoint(0, 140));
  InputLButtonUp(list.m_hWnd, RowPoint(0, 140));
  EXPECT_EQ(ShowMessages().size(), 2u);
}

TEST_F(ArticleListTest, RightClickShowsTheMenuAndMarksTheRow) {
  CArticle a = Dated(u"a", 1), b = Dated(u"b", 2);
  Show({&a, &b});
  user.DismissMenu();
  InputRightClick(list.m_hWnd, RowPoint(1));
  ASSERT_EQ(user.Events().size(), 1u);
  const CPopupMenuView& menu = user.Events()[0].menu;
  // What the user sees, in order; whether an item is enabled is the commands' own business.
  std::string shown = ToUtf8(menu.Describe());
  for (size_t at; (at = shown.find(" (disabled)")) != std::string::npos;) shown.erase(at, 11);
  EXPECT_EQ(shown,
            "标签管理... [53028]\n浏览原始链接 [53009]\n----\n移去标签 [53008]\n----\n标识为已读 [53017]\n"
            "标识为未读 [53018]\n设置重要标记 [53019]\n撤销重要标记 [53020]\n----\n文章搜索... [53016]\n----\n"
            "文章注释... [53010]\n文章属性... [53013]\n");
  EXPECT_EQ(user.Events()[0].menu.flags & TPM_RIGHTBUTTON, static_cast<UINT>(TPM_RIGHTBUTTON));
  EXPECT_EQ(list.GetSelectionMark(), 1);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 1);

  // Below the rows the menu opens all the same.
  user.DismissMenu();
  InputRightClick(list.m_hWnd, CPoint(100, 180));
  EXPECT_EQ(user.Events().size(), 2u);
  ExpectScriptDone();
}

namespace {

// The list with one command handled, to see a chosen command arrive.
class SearchingList : public CDARUListCtrl {
 public:
  int searches = 0;
  void OnListSearch() { ++searches; }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(SearchingList, CDARUListCtrl)
ON_COMMAND(53016, OnListSearch)
END_MESSAGE_MAP()

}  // namespace

TEST_F(ArticleListTest, AChosenMenuCommandReachesTheListsMessageMap) {
  SearchingList searching;
  ASSERT_TRUE(
      searching.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED, CRect(0, 0, 900, 200), &frame, 1002));
  user.PickMenuItem(u"文章搜索...");
  InputRightClick(searching.m_hWnd, CPoint(100, 100));
  EXPECT_EQ(searching.searches, 1);
  ExpectScriptDone();
}

namespace {

// The list over a provisioned catalogue, filled from label 3 as the tree fills it.
class CatalogueListTest : public ArticleListTest {
 protected:
  void SetUp() override {
    daru = CDARU::Instance();
    ASSERT_TRUE(daru->Init()) << ToUtf8(daru->GetLastDBError());
    label = daru->GetLabelTree()->FindLabel(3);
    ASSERT_NE(label, nullptr);
    for (const char16_t* url : {u"http://example.org/1", u"http://example.org/2"}) {
      int result = 0;
      CArticle* added = daru->AddArticle(label, url, u"标题", u"关键字", u"B", result, true);
      ASSERT_EQ(result, 0);
      if (added != nullptr) delete added;
    }
    root.Exec("UPDATE article SET readflag='F', brdate=0;");  // both unread
    ASSERT_EQ(daru->QueryArticle(label, CArticle(), 0), 2);
    Show(daru->GetArticleList());
  }
  void TearDown() override {
    list.DeleteAllItems();
    delete daru;
  }
  std::vector<std::string> Rows(const std::string& sql) { return root.Rows(sql); }

  ProvisionedRoot root;
  CDARU* daru = nullptr;
  CLabel* label = nullptr;
};

}  // namespace

TEST_F(CatalogueListTest, ClickingAnUnreadArticleMarksItReadAndShowsIt) {
  CArticle* article = list.GetItemArticle(0);
  ASSERT_NE(article, nullptr);
  EXPECT_TRUE(list.GetItemBold(0));
  EXPECT_EQ(list.GetItemImage(0), 1);
  list.ResetRedrawCounts();
  InputClick(list.m_hWnd, RowPoint(0));
  EXPECT_FALSE(list.GetItemBold(0));
  EXPECT_EQ(list.GetItemImage(0), 2);
  EXPECT_GT(list.GetItemRedrawCount(0), 0);
  EXPECT_TRUE(article->readflag);
  EXPECT_EQ(Rows("SELECT readflag, brdate > 0 FROM article WHERE articleid=" + std::to_string(article->articleid)),
            Lines({"T|1"}));
  auto shown = ShowMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].wParam, 0u);
  EXPECT_EQ(shown[0].lParam, reinterpret_cast<LPARAM>(article));
  // The other row stays unread.
  EXPECT_TRUE(list.GetItemBold(1));
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM article WHERE readflag='T'"), Lines({"1"}));
}

TEST_F(CatalogueListTest, ClickingAReadArticleShowsItWithoutStoringAgain) {
  InputClick(list.m_hWnd, RowPoint(0));
  CArticle* article = list.GetItemArticle(0);
  // Any further write to the article would now fail the statement.
  root.Exec("CREATE TRIGGER frozen BEFORE UPDATE ON article BEGIN SELECT RAISE(ABORT, 'frozen'); END;");
  const std::string brdate =
      Rows("SELECT brdate FROM article WHERE articleid=" + std::to_string(article->articleid))[0];
  InputClick(list.m_hWnd, RowPoint(1, 300));
  InputClick(list.m_hWnd, RowPoint(0, 600));
  auto shown = ShowMessages();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[2].lParam, reinterpret_cast<LPARAM>(article));
  EXPECT_EQ(Rows("SELECT brdate FROM article WHERE articleid=" + std::to_string(article->articleid))[0], brdate);
  // The unread one could not be stored: it stays bold with image 1, yet is shown and read in memory.
  EXPECT_TRUE(list.GetItemBold(1));
  EXPECT_EQ(list.GetItemImage(1), 1);
  EXPECT_TRUE(list.GetItemArticle(1)->readflag);
  EXPECT_EQ(shown[1].lParam, reinterpret_cast<LPARAM>(list.GetItemArticle(1)));
}

TEST_F(CatalogueListTest, ClickingEmptySpaceSendsNothing) {
  InputClick(list.m_hWnd, CPoint(100, 150));
  EXPECT_TRUE(ShowMessages().empty());
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM article WHERE readflag='T'"), Lines({"0"}));
  // Without a message window the article is still marked read.
  list.SetMsgHwnd(nullptr);
  InputClick(list.m_hWnd, RowPoint(1));
  EXPECT_TRUE(ShowMessages().empty());
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM article WHERE readflag='T'"), Lines({"1"}));
}
