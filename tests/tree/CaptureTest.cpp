// The two capture entry points in every result branch, checked in the rows,
// the description files and the catalogue. Leaks of articles handed over by
// the facade show up under the sanitizers.

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ListFixture.h"
#include "fixtures/DaruAccess.h"
#include "platform/MessageBox.h"

namespace {

namespace fs = std::filesystem;

constexpr UINT kUrlEdit = 50009;
constexpr UINT kTitleEdit = 50010;
constexpr UINT kDescriptionEdit = 50012;
constexpr UINT kCommentEdit = 50013;
constexpr UINT kKeywordEdit = 50015;

const std::u16string kDuplicateQuestion = u"此文章链接已经存在,是否需要为当前标签中创建一个文章关联吗?";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class CaptureTest : public TreeListTest {
 protected:
  std::string Md5(const std::u16string& text) { return CDARUTestAccess::MD5(daru, text); }
  fs::path Description(const char* folder, const std::u16string& link) {
    return root.daru() / folder / (Md5(link) + ".xml");
  }
  // "labelid" of every link of the article with that link, in order.
  std::vector<std::string> LabelsOf(const std::u16string& link) {
    return Rows(
        "SELECT l.labelid FROM articletolabel l JOIN article a ON a.articleid = l.articleid WHERE a.filename='" +
        Md5(link) + "' ORDER BY l.labelid");
  }
  CRSSSubItem FeedItem(const std::u16string& link, const std::u16string& title = u"条目") {
    CRSSSubItem item;
    item.link = link;
    item.title = title;
    item.description = u"条目描述";
    item.channelTitle = u"某频道";
    item.channelLink = u"http://feed.example.org/";
    item.pubDate = u"Fri, 10 May 2024 18:00:00 +0000";
    return item;
  }
  int Count(const std::string& table) { return std::stoi(Rows("SELECT count(*) FROM " + table)[0]); }
};

}  // namespace

TEST_F(CaptureTest, BrowserPageGoesToTheDefaultLabelAndGetsItsFile) {
  Label(6, "工作", 1);
  OpenBoth();
  Select(u"工作");
  const std::u16string link = u"http://example.org/page";
  EXPECT_TRUE(tree.AddArticleFromBrowser(link, u"页面", nullptr, false));
  EXPECT_EQ(LabelsOf(link), Lines({"3"}));
  EXPECT_EQ(Rows("SELECT url, title, type, label FROM article"), Lines({"http://example.org/page|页面|B|3"}));
  // Not the shown label: no row.
  EXPECT_EQ(list.GetItemCount(), 0);
  const std::string file = ReadFile(Description("web", link));
  EXPECT_NE(file.find("<Title>页面</Title>"), std::string::npos) << file;
  EXPECT_NE(file.find("<URL>http://example.org/page</URL>"), std::string::npos) << file;

  // Into the shown label: a bold unread row at the top, not re-sorted.
  Article("早", {6}, false, false, 100);
  Select(u"未分类");
  Select(u"工作");
  EXPECT_TRUE(tree.AddArticleFromBrowser(u"http://example.org/two", u"第二", LabelOf(Item(u"工作")), false));
  ASSERT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(ListRows()[0].substr(0, ListRows()[0].find('|')), "第二");
  EXPECT_EQ(ListRows()[0].substr(ListRows()[0].size() - 5), "|1|B-");
  ExpectRowsOwnedByFacade();
  EXPECT_TRUE(user.Events().empty());
}

TEST_F(CaptureTest, BrowserDuplicateAsksAndYesOnlyAddsTheLink) {
  Label(6, "工作", 1);
  Label(7, "别处", 1);
  OpenBoth();
  const std::u16string link = u"http://example.org/dup";
  ASSERT_TRUE(tree.AddArticleFromBrowser(link, u"一次", nullptr, false));
  const std::string before = ReadFile(Description("web", link));

  Select(u"工作");
  CLabel* work = LabelOf(Item(u"工作"));
  user.AnswerMessageBox(IDNO, kDuplicateQuestion);
  EXPECT_TRUE(tree.AddArticleFromBrowser(link, u"两次", work, false));
  EXPECT_EQ(LabelsOf(link), Lines({"3"}));

  // Into the shown label, so the link must reach the store all the same.
  user.AnswerMessageBox(IDYES, kDuplicateQuestion);
  EXPECT_TRUE(tree.AddArticleFromBrowser(link, u"两次", work, false));
  EXPECT_EQ(LabelsOf(link), Lines({"3", "6"}));
  EXPECT_EQ(Rows("SELECT title, labels FROM article"), Lines({"一次|2"}));
  EXPECT_EQ(ReadFile(Description("web", link)), before);
  EXPECT_EQ(list.GetItemCount(), 0);

  // The link cannot be written: the second message, and false.
  Refuse("INSERT", "articletolabel");
  user.AnswerMessageBox(IDYES, kDuplicateQuestion).AnswerMessageBox(IDOK, u"添加文章关联操作失败。");
  EXPECT_FALSE(tree.AddArticleFromBrowser(link, u"三次", LabelOf(Item(u"别处")), false));
  EXPECT_EQ(LabelsOf(link), Lines({"3", "6"}));
  ExpectScriptDone();
}

TEST_F(CaptureTest, BrowserPageAlreadyListedIsLeftAlone) {
  Label(6, "工作", 1);
  OpenBoth();
  Select(u"工作");
  CLabel* work = LabelOf(Item(u"工作"));
  const std::u16string link = u"http://example.org/listed";
  ASSERT_TRUE(tree.AddArticleFromBrowser(link, u"列出", work, false));
  ASSERT_EQ(list.GetItemCount(), 1);
  // The file is ours to mark; a second capture must not rewrite it.
  { std::ofstream(Description("web", link), std::ios::app) << "<!-- marked -->"; }
  const std::string marked = ReadFile(Description("web", link));
  EXPECT_TRUE(tree.AddArticleFromBrowser(link, u"列出", work, false));
  EXPECT_EQ(list.GetItemCount(), 1);
  EXPECT_EQ(ReadFile(Description("web", link)), marked);
  // A page listed after a fresh selection is recognised too.
  Select(u"未分类");
  Select(u"工作");
  EXPECT_TRUE(tree.AddArticleFromBrowser(link, u"列出", work, false));
  EXPECT_EQ(list.GetItemCount(), 1);
  EXPECT_EQ(Count("article"), 1);
  EXPECT_TRUE(user.Events().empty());
}

TEST_F(CaptureTest, BrowserDialogTextsAreStoredAndCancelStoresNothing) {
  OpenBoth();
  Select(u"未分类");
  user.Dialog(CScriptedUser::Press(IDCANCEL));
  EXPECT_FALSE(tree.AddArticleFromBrowser(u"http://example.org/d", u"对话", nullptr, true));
  EXPECT_EQ(Count("article"), 0);

  user.Dialog([](CModalSession& dlg) {
    EXPECT_EQ(dlg.GetText(kUrlEdit), u"http://example.org/d");
    EXPECT_EQ(dlg.GetText(kTitleEdit), u"对话");
    dlg.SetText(kTitleEdit, u"改过的标题");
    dlg.SetText(kKeywordEdit, u"关键");
    dlg.SetText(kDescriptionEdit, u"一段描述");
    dlg.SetText(kCommentEdit, u"一条注释");
    dlg.Click(IDOK);
  });
  EXPECT_TRUE(tree.AddArticleFromBrowser(u"http://example.org/d", u"对话", nullptr, true));
  EXPECT_EQ(Rows("SELECT title, key1 FROM article"), Lines({"改过的标题|关键"}));
  const std::string file = ReadFile(Description("web", u"http://example.org/d"));
  EXPECT_NE(file.find("<Description>一段描述</Description>"), std::string::npos) << file;
  EXPECT_NE(file.find("<Comment>一条注释</Comment>"), std::string::npos) << file;
  EXPECT_EQ(ListTitles(), (std::vector<std::string>{"改过的标题"}));
  ExpectScriptDone();
}

TEST_F(CaptureTest, CaptureFailuresAreReportedAndStoreNothing) {
  OpenBoth();
  Refuse("INSERT", "article");
  user.AnswerMessageBox(IDOK, u"添加文章操作失败。");
  EXPECT_FALSE(tree.AddArticleFromBrowser(u"http://example.org/f", u"失败", nullptr, false));
  user.AnswerMessageBox(IDOK, u"添加文章操作失败。");
  int id = 3;
  EXPECT_FALSE(tree.AddArticleFromRss(FeedItem(u"http://example.org/g"), id, nullptr));
  EXPECT_EQ(Count("article"), 0);
  ExpectScriptDone();
}

TEST_F(CaptureTest, WithoutLabelOrDefaultNothingIsStored) {
  root.Exec("DELETE FROM label WHERE labelid=3;");
  OpenBoth();
  int id = 0;
  EXPECT_FALSE(tree.AddArticleFromBrowser(u"http://example.org/n", u"无处", nullptr, false));
  EXPECT_FALSE(tree.AddArticleFromRss(FeedItem(u"http://example.org/n"), id, nullptr));
  EXPECT_EQ(Count("article"), 0);
  EXPECT_EQ(Count("label"), 2);
  EXPECT_TRUE(user.Events().empty());
}

TEST_F(CaptureTest, FeedItemWithoutLabelMakesAChannelLabelOnce) {
  OpenBoth();
  int id = 0;
  EXPECT_TRUE(tree.AddArticleFromRss(FeedItem(u"http://feed.example.org/1", u"第一条"), id, nullptr));
  ASSERT_GT(id, 3);
  EXPECT_EQ(Rows("SELECT name, toplayer FROM label WHERE labelid=" + std::to_string(id)), Lines({"某频道|2"}));
  HTREEITEM channel = Item(u"某频道");
  EXPECT_EQ(tree.GetParentItem(channel), Item(u"收藏的频道"));
  EXPECT_TRUE(tree.GetItemState(Item(u"收藏的频道"), TVIS_EXPANDED));
  EXPECT_EQ(LabelOf(channel)->labelid, id);

  const int first = id;
  EXPECT_TRUE(tree.AddArticleFromRss(FeedItem(u"http://feed.example.org/2", u"第二条"), id, nullptr));
  EXPECT_EQ(id, first);
  EXPECT_EQ(Count("label"), 4);
  EXPECT_EQ(LabelsOf(u"http://feed.example.org/2"), Lines({std::to_string(first).c_str()}));

  // A stored link is filed under a further label without a question.
  EXPECT_TRUE(tree.AddArticleFromRss(FeedItem(u"http://feed.example.org/2"), id, LabelOf(Item(u"未分类"))));
  EXPECT_EQ(LabelsOf(u"http://feed.example.org/2"), Lines({"3", std::to_string(first).c_str()}));
  EXPECT_TRUE(user.Events().empty());
}

TEST_F(CaptureTest, FeedItemInTheShownLabelIsListedReadWithItsFiles) {
  OpenBoth();
  Select(u"未分类");
  CRSSSubItem item = FeedItem(u"http://feed.example.org/m", u"有声");
  const fs::path media = root.path() / "clip.wav";
  { std::ofstream(media) << "RIFF-audio"; }
  item.mimeUrl = media.u16string();
  int id = 0;
  EXPECT_TRUE(tree.AddArticleFromRss(item, id, LabelOf(Item(u"未分类"))));
  ASSERT_EQ(list.GetItemCount(), 1);
  EXPECT_EQ(ListRows()[0].substr(ListRows()[0].size() - 5), "|2|--");
  ExpectRowsOwnedByFacade();
  // The article keeps no pointer to the caller's item.
  EXPECT_EQ(RowArticle(0)->GetRSSSubItem(), nullptr);
  const std::string file = ReadFile(Description("rss", u"http://feed.example.org/m"));
  EXPECT_NE(file.find("<Description>条目描述</Description>"), std::string::npos) << file;
  EXPECT_NE(file.find("<ChannelTitle>某频道</ChannelTitle>"), std::string::npos) << file;
  EXPECT_EQ(ReadFile(root.daru() / "rss" / Md5(u"http://feed.example.org/m") / "mime.zevm"), "RIFF-audio");
  // The same item again: already listed, nothing changes.
  EXPECT_TRUE(tree.AddArticleFromRss(item, id, LabelOf(Item(u"未分类"))));
  EXPECT_EQ(list.GetItemCount(), 1);
  EXPECT_EQ(Count("articletolabel"), 1);

  // A media file that cannot be read: the article is stored without a copy.
  CRSSSubItem silent = FeedItem(u"http://feed.example.org/s", u"无声");
  silent.mimeUrl = (root.path() / "missing.wav").u16string();
  EXPECT_TRUE(tree.AddArticleFromRss(silent, id, LabelOf(Item(u"未分类"))));
  EXPECT_EQ(Count("article"), 2);
  EXPECT_FALSE(fs::exists(root.daru() / "rss" / Md5(u"http://feed.example.org/s")));
  EXPECT_EQ(list.GetItemCount(), 2);
}

TEST_F(CaptureTest, FeedItemWithoutLinkIsKnownByItsInformationFile) {
  OpenBoth();
  CRSSSubItem item = FeedItem(u"", u"无链接");
  item.sourceFile = (root.path() / "bulletin.xml").u16string();
  int id = 0;
  EXPECT_TRUE(tree.AddArticleFromRss(item, id, LabelOf(Item(u"未分类"))));
  EXPECT_EQ(Rows("SELECT url, filename FROM article"), Lines({("|" + Md5(item.sourceFile)).c_str()}));
  // Not the shown label (nothing is selected): stored, no row.
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_TRUE(fs::exists(Description("rss", item.sourceFile)));
}

// A capture whose description file cannot be written is undone: no row, no
// catalogue row, and the failure is shown, for a page and for a feed item.
TEST_F(CaptureTest, ACaptureWithoutItsDescriptionFileLeavesNothingAndSaysSo) {
  OpenBoth();
  Select(u"未分类");
  CLabel* shown = LabelOf(Item(u"未分类"));
  const std::u16string link = u"http://example.org/blocked";
  fs::create_directories(Description("web", link) / "in-the-way");
  user.AnswerMessageBox(IDOK, u"添加文章操作失败。");
  EXPECT_FALSE(tree.AddArticleFromBrowser(link, u"挡住", shown, false));
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(Count("article"), 0);
  EXPECT_EQ(Count("articletolabel"), 0);

  CRSSSubItem item = FeedItem(u"http://feed.example.org/blocked");
  fs::create_directories(Description("rss", item.link) / "in-the-way");
  user.AnswerMessageBox(IDOK, u"添加文章操作失败。");
  int id = 0;
  EXPECT_FALSE(tree.AddArticleFromRss(item, id, shown));
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(Count("article"), 0);
  ExpectScriptDone();
  ExpectRowsOwnedByFacade();
}

// A feed item's media file behind a link, or outside its information file's
// folder, is not copied; the item is stored all the same.
TEST_F(CaptureTest, FeedMediaBehindALinkStaysOutOfTheLibrary) {
  OpenBoth();
  const fs::path feeds = root.path() / "feeds";
  fs::create_directories(feeds);
  { std::ofstream(root.path() / "secret.wav") << "secret"; }
  fs::create_directory_symlink("..", feeds / "up");
  CRSSSubItem item = FeedItem(u"http://feed.example.org/linked");
  item.sourceFile = (feeds / "item.xml").u16string();
  item.mimeUrl = (feeds / "up" / "secret.wav").u16string();
  int id = 0;
  EXPECT_TRUE(tree.AddArticleFromRss(item, id, LabelOf(Item(u"未分类"))));
  EXPECT_EQ(Count("article"), 1);
  EXPECT_FALSE(fs::exists(root.daru() / "rss" / Md5(item.link) / "mime.zevm"));
}
