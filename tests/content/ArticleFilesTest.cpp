#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ContentFiles.h"
#include "base/TextConv.h"
#include "content/XmlDocument.h"
#include "core/Article.h"
#include "core/ArticleLocations.h"

using namespace contenttest;
namespace fs = std::filesystem;

namespace {

constexpr char16_t kHash[] = u"0123456789abcdef0123456789abcdef";

class ArticleFiles : public ContentRoot {
 protected:
  static CArticle Article(const std::u16string& type) {
    CArticle a;
    a.type = type;
    a.filename = kHash;
    a.title = u"标题 <b>&amp;";
    a.url = u"http://example.com/a?x=1&y=2";
    a.key1 = u"关键字";
    a.SetDescription(u"描述\n第二行");
    a.SetComment(u"评论 \"quoted\"");
    return a;
  }
  static CRSSSubItem* Feed(int attachments) {
    auto* rss = new CRSSSubItem;
    rss->title = u"条目";
    rss->link = u"http://feed.example/item";
    rss->pubDate = u"Mon, 01 Jan 2024 10:00:00 GMT";
    rss->channelTitle = u"频道";
    rss->channelLink = u"http://feed.example/";
    rss->description = u"not written";
    rss->mimeUrl = u"/media/clip.mp3";
    for (int i = 0; i < attachments; ++i) {
      CMimeFile file;
      file.filename = FromUtf8("file" + std::to_string(i) + ".pdf");
      file.description = i == 1 ? u"" : FromUtf8("附件 <" + std::to_string(i) + ">");
      rss->AddMimeFile(file);
    }
    return rss;
  }
  fs::path File(const char* folder) const { return daru() / folder / (ToUtf8(kHash) + ".xml"); }
  // Names of the children of the element at the path of names, in order.
  static std::u16string Children(const fs::path& file, std::initializer_list<const char16_t*> path = {}) {
    CXmlDocument xml;
    EXPECT_TRUE(xml.LoadFile(FromUtf8(file.string())));
    for (const char16_t* name : path) {
      EXPECT_TRUE(xml.FindChild(name));
      xml.StepIn();
    }
    std::u16string names;
    if (path.size() == 0) xml.FindSibling();
    while (xml.FindChild()) names += xml.GetChildName() + u" ";
    return names;
  }
};

}  // namespace

TEST_F(ArticleFiles, FeedArticleRoundTrips) {
  CArticle a = Article(u"A");
  a.SetRSSSubItem(Feed(3));
  ASSERT_TRUE(a.CreateDescriptionFile(GetTypeFolder(u"A"), true));
  ASSERT_TRUE(fs::exists(File("rss")));
  if (HaveXmllint()) {
    EXPECT_TRUE(XmllintAccepts(File("rss")));
  }
  std::string text = ReadBytes(File("rss"));
  EXPECT_NE(text.find("<?xml-stylesheet href=\"../default.xslt\" type=\"text/xsl\""), std::string::npos);
  EXPECT_EQ(Children(File("rss")), u"Title URL FileName Key Description Comment RSS ");
  EXPECT_EQ(Children(File("rss"), {u"RSS"}), u"Title Link PubDate ChannelTitle ChannelLink mime ");
  EXPECT_EQ(Children(File("rss"), {u"RSS", u"mime"}), u"url attachment attachment attachment ");

  CArticle b;
  b.type = u"A";
  b.filename = kHash;
  EXPECT_EQ(b.LoadDescription(), a.GetDescription());
  EXPECT_EQ(b.LoadComment(), a.GetComment());
  ASSERT_TRUE(b.LoadRssSubItem());
  const CRSSSubItem* in = a.GetRSSSubItem();
  const CRSSSubItem* out = b.GetRSSSubItem();
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->title, in->title);
  EXPECT_EQ(out->link, in->link);
  EXPECT_EQ(out->pubDate, in->pubDate);
  EXPECT_EQ(out->channelTitle, in->channelTitle);
  EXPECT_EQ(out->channelLink, in->channelLink);
  EXPECT_EQ(out->mimeUrl, in->mimeUrl);
  EXPECT_EQ(out->description, u"");
  ASSERT_EQ(out->mimeFiles.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(out->mimeFiles[i].filename, in->mimeFiles[i].filename);
    EXPECT_EQ(out->mimeFiles[i].description, in->mimeFiles[i].description);
  }
}

TEST_F(ArticleFiles, ElementsPresentOnlyWhenDue) {
  CArticle a = Article(u"B");
  a.url.clear();
  a.SetDescription(u"");
  a.SetComment(u"");
  ASSERT_TRUE(a.CreateDescriptionFile(u"B", false));  // a type code names its folder
  EXPECT_EQ(Children(File("web")), u"Title FileName Key Description Comment ");
  CArticle b = Article(u"B");
  EXPECT_EQ(b.LoadDescription(), b.GetDescription());  // memory first
  b.SetDescription(u"");
  b.SetComment(u"");
  EXPECT_EQ(b.LoadDescription(), u"");  // empty in the file too
  EXPECT_EQ(b.LoadComment(), u"");

  CArticle feed = Article(u"A");
  feed.SetRSSSubItem(Feed(2));
  feed.GetRSSSubItem()->mimeUrl.clear();  // attachments alone give no mime element
  ASSERT_TRUE(feed.CreateDescriptionFile(GetTypeFolder(u"A"), true));
  EXPECT_EQ(Children(File("rss"), {u"RSS"}), u"Title Link PubDate ChannelTitle ChannelLink ");
  feed.GetRSSSubItem()->mimeUrl = u"/m";
  feed.GetRSSSubItem()->mimeFiles.clear();
  ASSERT_TRUE(feed.CreateDescriptionFile(GetTypeFolder(u"A"), true));
  EXPECT_EQ(Children(File("rss"), {u"RSS", u"mime"}), u"url ");

  EXPECT_FALSE(a.CreateDescriptionFile(FromUtf8((daru() / "none").string()), true));
}

TEST_F(ArticleFiles, LoadsLazilyAndAgainWhileEmpty) {
  CArticle a = Article(u"B");
  a.SetDescription(u"");
  EXPECT_EQ(a.LoadDescription(), u"");  // no file yet
  CArticle writer = Article(u"B");
  ASSERT_TRUE(writer.CreateDescriptionFile(GetTypeFolder(u"B"), true));
  EXPECT_EQ(a.LoadDescription(), writer.GetDescription());  // looked up again
  fs::remove(File("web"));
  EXPECT_EQ(a.LoadDescription(), writer.GetDescription());  // kept in memory
  CArticle unnamed;
  unnamed.type = u"B";
  EXPECT_EQ(unnamed.LoadComment(), u"");
  EXPECT_FALSE(unnamed.LoadRssSubItem());
}

TEST_F(ArticleFiles, FeedSubRecordFromFile) {
  CArticle a = Article(u"B");
  EXPECT_FALSE(a.LoadRssSubItem());  // no file: no sub-record left behind
  EXPECT_EQ(a.GetRSSSubItem(), nullptr);
  ASSERT_TRUE(a.CreateDescriptionFile(GetTypeFolder(u"B"), true));
  ASSERT_TRUE(a.LoadRssSubItem());  // no RSS element: an empty sub-record
  CRSSSubItem* rss = a.GetRSSSubItem();
  ASSERT_NE(rss, nullptr);
  EXPECT_EQ(rss->title, u"");
  fs::remove(File("web"));
  EXPECT_TRUE(a.LoadRssSubItem());  // already there: the file is not read
  EXPECT_EQ(a.GetRSSSubItem(), rss);
}

// What a rewrite keeps of a file's feed data: a page's file gives no
// sub-record (a rewrite would add an empty feed element), a feed item's does.
TEST_F(ArticleFiles, FeedDataToKeepLeavesAPageAPage) {
  CArticle page = Article(u"B");
  EXPECT_FALSE(page.LoadFeedDataToKeep());  // no file
  ASSERT_TRUE(page.CreateDescriptionFile(GetTypeFolder(u"B"), true));
  EXPECT_FALSE(page.LoadFeedDataToKeep());
  EXPECT_EQ(page.GetRSSSubItem(), nullptr);

  CArticle item = Article(u"A");
  CRSSSubItem feed;
  feed.channelTitle = u"频道";
  item.SetRSSSubItem(&feed);
  ASSERT_TRUE(item.CreateDescriptionFile(GetTypeFolder(u"A"), true));
  item.SetRSSSubItem(nullptr);
  CArticle again = Article(u"A");
  ASSERT_TRUE(again.LoadFeedDataToKeep());
  EXPECT_EQ(again.GetRSSSubItem()->channelTitle, u"频道");

  // One attached by the caller is not replaced or dropped, empty or not.
  CRSSSubItem* empty = new CRSSSubItem();
  page.SetRSSSubItem(empty);
  EXPECT_FALSE(page.LoadFeedDataToKeep());
  EXPECT_EQ(page.GetRSSSubItem(), empty);
}

TEST_F(ArticleFiles, ReadsHandWrittenFeedData) {
  // Link before Title is missed (searches go forward); several pairs in one
  // attachment element are all read, and a filename without description too.
  WriteBytes(File("rss"),
             "<Article><rss><LINK>l</LINK><title>t</title><pubdate>p</pubdate><MIME><URL>u</URL>"
             "<attachment><filename>a</filename><description>da</description>"
             "<filename>b</filename><filename>c</filename><description>dc</description></attachment>"
             "<attachment><description>orphan</description></attachment>"
             "<attachment><filename>d</filename><description>dd</description></attachment>"
             "</MIME></rss></Article>");
  CArticle a;
  a.type = u"A";
  a.filename = kHash;
  ASSERT_TRUE(a.LoadRssSubItem());
  const CRSSSubItem* rss = a.GetRSSSubItem();
  EXPECT_EQ(rss->title, u"t");
  EXPECT_EQ(rss->link, u"");
  EXPECT_EQ(rss->pubDate, u"p");
  EXPECT_EQ(rss->mimeUrl, u"u");
  ASSERT_EQ(rss->mimeFiles.size(), 4u);
  const char16_t* expected[][2] = {{u"a", u"da"}, {u"b", u""}, {u"c", u"dc"}, {u"d", u"dd"}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(rss->mimeFiles[i].filename, expected[i][0]);
    EXPECT_EQ(rss->mimeFiles[i].description, expected[i][1]);
  }
}

TEST_F(ArticleFiles, HostileDescriptionFile) {
  WriteBytes(tmp.path() / "secret.txt", "SECRET");
  WriteBytes(File("web"), "<!DOCTYPE a [<!ENTITY x SYSTEM \"file://" + (tmp.path() / "secret.txt").string() +
                              "\">]><Article><Description>[&x;]</Description></Article>");
  CArticle a;
  a.type = u"B";
  a.filename = kHash;
  EXPECT_EQ(a.LoadDescription(), u"[]");
  WriteBytes(File("web"), "<Article><Comment>cut");
  EXPECT_EQ(a.LoadComment(), u"");
  EXPECT_TRUE(user.texts.empty());
}

TEST_F(ArticleFiles, CatalogueNamesStayInsideTheirFolders) {
  CArticle a = Article(u"B");
  a.filename = u"../../escaped";
  EXPECT_FALSE(a.CreateDescriptionFile(GetTypeFolder(u"B"), true));
  EXPECT_FALSE(fs::exists(tmp.path() / "escaped.xml"));
  WriteBytes(tmp.path() / "escaped.xml", "<Article><Description>outside</Description></Article>");
  a.SetDescription(u"");
  EXPECT_EQ(a.LoadDescription(), u"");
  EXPECT_FALSE(a.LoadRssSubItem());

  CDARUTestAccess::Types(CDARU::Instance())
      .emplace(CDARUTestAccess::Types(CDARU::Instance()).begin(), 9, u"X", u"../..");
  CArticle b = Article(u"X");
  EXPECT_FALSE(b.CreateDescriptionFile(u"X", false));
  b.filename = u"escaped";
  b.SetDescription(u"");
  EXPECT_EQ(b.LoadDescription(), u"");
}

TEST_F(ArticleFiles, MediaCopyGoesUnderTheFeedFolder) {
  CArticle a = Article(u"B");  // even a page's media goes under type "A"
  fs::path folder = daru() / "rss" / ToUtf8(kHash);
  a.CreateMime(FromUtf8((tmp.path() / "missing.mp3").string()));
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_EQ(a.mimefile, u"");

  WriteBytes(tmp.path() / "clip.mp3", "first");
  std::u16string source = FromUtf8((tmp.path() / "clip.mp3").string());
  a.CreateMime(source);
  EXPECT_EQ(ReadBytes(folder / "mime.zevm"), "first");
  EXPECT_EQ(a.mimefile, source);

  WriteBytes(tmp.path() / "other.mp3", "second, longer");
  a.CreateMime(FromUtf8((tmp.path() / "other.mp3").string()));
  EXPECT_EQ(ReadBytes(folder / "mime.zevm"), "second, longer");
  a.CreateMime(FromUtf8((folder / "mime.zevm").string()));  // onto itself: nothing lost
  EXPECT_EQ(ReadBytes(folder / "mime.zevm"), "second, longer");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

  CArticle bad = Article(u"A");
  bad.filename = u"..";
  bad.CreateMime(source);
  EXPECT_FALSE(fs::exists(daru() / "mime.zevm"));
  EXPECT_EQ(bad.mimefile, u"");
}
