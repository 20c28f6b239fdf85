#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "ContentFiles.h"
#include "base/TextConv.h"
#include "core/CaptureItems.h"

using namespace contenttest;
namespace fs = std::filesystem;

namespace {

const std::u16string kData = FromUtf8(DARU_TEST_DATA_DIR "/rssinfo/");

// A record whose every field shows whether the reader touched it.
CRSSSubItem Filled() {
  CRSSSubItem item;
  item.link = u"old link";
  item.title = u"old title";
  item.description = u"old description";
  item.pubDate = u"old date";
  item.channelLink = u"old channel link";
  item.channelTitle = u"old channel";
  item.mimeUrl = u"old media";
  item.AddMimeFile(CMimeFile());
  return item;
}

// Every field but sourceFile, in one text.
std::string Fields(const CRSSSubItem& i) {
  return ToUtf8(i.link + u"|" + i.title + u"|" + i.description + u"|" + i.pubDate + u"|" + i.channelLink + u"|" +
                i.channelTitle + u"|" + i.mimeUrl) +
         "|" + std::to_string(i.mimeFiles.size());
}

class RssInfoFile : public ::testing::Test {
 protected:
  std::u16string Write(const std::string& name, const std::string& bytes) {
    WriteBytes(tmp.path() / name, bytes);
    return FromUtf8((tmp.path() / name).string());
  }
  TempDir tmp;
  RecordingUser user;
};

}  // namespace

TEST_F(RssInfoFile, ReadsEveryField) {
  CRSSSubItem item = Filled();
  ASSERT_TRUE(item.LoadRSSInfo(kData + u"item.xml"));
  EXPECT_EQ(item.sourceFile, kData + u"item.xml");
  EXPECT_EQ(item.title, u"今日新闻 & more");
  EXPECT_EQ(item.pubDate, u"Tue, 02 Jan 2024 08:30:00 +0800");
  EXPECT_EQ(item.description, u"<p>摘要</p>");
  EXPECT_EQ(item.link, u"http://news.example.cn/2024/01/02/item.html");
  EXPECT_EQ(item.mimeUrl, kData + u"clip.mp3");
  EXPECT_EQ(item.channelTitle, u"old channel");  // not part of the file
  EXPECT_EQ(item.mimeFiles.size(), 1u);

  CRSSSubItem gbk;
  ASSERT_TRUE(gbk.LoadRSSInfo(kData + u"gbk.xml"));
  EXPECT_EQ(gbk.title, u"中文标题");
  EXPECT_EQ(gbk.link, u"http://gb.example/");
}

TEST_F(RssInfoFile, MissingOrMisplacedElements) {
  CRSSSubItem item = Filled();
  ASSERT_TRUE(item.LoadRSSInfo(kData + u"reordered.xml"));
  // The title is looked for first and found; the link, standing before it, is missed.
  EXPECT_EQ(item.title, u"late title");
  EXPECT_EQ(item.pubDate, u"late date");
  EXPECT_EQ(item.link, u"");
  EXPECT_EQ(item.mimeUrl, kData + u"clip.mp3");

  item = Filled();
  ASSERT_TRUE(item.LoadRSSInfo(kData + u"nolink.xml"));
  EXPECT_EQ(item.title, u"only a title");
  EXPECT_EQ(item.link, u"");              // a missing link is cleared
  EXPECT_EQ(item.mimeUrl, u"old media");  // the media file is not there

  item = Filled();
  ASSERT_TRUE(item.LoadRSSInfo(kData + u"nonews.xml"));
  EXPECT_EQ(Fields(item), Fields(Filled()));
}

TEST_F(RssInfoFile, MediaMustLieBesideTheFile) {
  for (const char16_t* name : {u"outside.xml", u"wildcard.xml"}) {
    CRSSSubItem item = Filled();
    ASSERT_TRUE(item.LoadRSSInfo(kData + name));
    EXPECT_EQ(item.mimeUrl, u"old media") << ToUtf8(name);
  }
  // A bare file name: the media file is looked for in the current folder.
  fs::path cwd = fs::current_path();
  fs::current_path(tmp.path());
  Write("bare.xml", "<r><newstitle><link/><mime><url>m.bin</url></mime></newstitle></r>");
  Write("m.bin", "x");
  CRSSSubItem item = Filled();
  EXPECT_TRUE(item.LoadRSSInfo(u"bare.xml"));
  fs::current_path(cwd);
  EXPECT_EQ(item.mimeUrl, u"m.bin");
}

TEST_F(RssInfoFile, UnreadableFilesChangeOnlyTheSource) {
  std::u16string files[] = {
      kData + u"missing.xml",
      kData + u"truncated.xml",
      kData,  // a folder
      Write("empty.xml", ""),
      Write("garbage.xml", std::string("\x00\xff\xfe<r>\x01", 7)),
      Write("two-roots.xml", "<r/><r/>"),
  };
  for (const std::u16string& file : files) {
    CRSSSubItem item = Filled();
    EXPECT_FALSE(item.LoadRSSInfo(file)) << ToUtf8(file);
    EXPECT_EQ(item.sourceFile, file);
    EXPECT_EQ(Fields(item), Fields(Filled()));
  }
  EXPECT_TRUE(user.texts.empty());
}

TEST_F(RssInfoFile, HostileFilesReadNothingOutside) {
  Write("secret.txt", "SECRET");
  Write("secret.dtd", "<!ENTITY s \"SECRET\">");
  std::string secret = (tmp.path() / "secret.txt").string();
  std::string dtd = (tmp.path() / "secret.dtd").string();
  std::string files[] = {
      "<!DOCTYPE r [<!ENTITY s SYSTEM \"file://" + secret + "\">]><r><newstitle><title>[&s;]</title></newstitle></r>",
      "<!DOCTYPE r [<!ENTITY s SYSTEM \"" + secret + "\">]><r><newstitle><title>[&s;]</title></newstitle></r>",
      "<!DOCTYPE r SYSTEM \"" + dtd + "\"><r><newstitle><title>[&s;]</title></newstitle></r>",
      "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + dtd + "\"> %p;]><r><newstitle><title>[&s;]</title></newstitle></r>",
      "<?xml-stylesheet href=\"" + secret +
          "\"?><r xmlns:xi=\"http://www.w3.org/2001/XInclude\"><newstitle>"
          "<title>[<xi:include href=\"" +
          secret + "\" parse=\"text\"/>]</title></newstitle></r>",
  };
  int loaded = 0;
  for (const std::string& text : files) {
    CRSSSubItem item;
    if (item.LoadRSSInfo(Write("hostile.xml", text))) {
      ++loaded;
      EXPECT_EQ(item.title, u"[]") << text;  // the reference stays empty
    }
  }
  EXPECT_GE(loaded, 3);  // most of them are well-formed and read
}

TEST_F(RssInfoFile, EntityBombAndHugeFilesStayBounded) {
  std::string bomb = "<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">";
  std::string prev = "a";
  for (int i = 0; i < 12; ++i) {
    std::string name = "e" + std::to_string(i);
    bomb += "<!ENTITY " + name + " \"";
    for (int j = 0; j < 10; ++j) bomb += "&" + prev + ";";
    bomb += "\">";
    prev = name;
  }
  bomb += "]><r><newstitle><title>&" + prev + ";</title></newstitle></r>";
  auto start = std::chrono::steady_clock::now();
  CRSSSubItem item;
  if (item.LoadRSSInfo(Write("bomb.xml", bomb))) {
    EXPECT_LE(item.title.size(), 64u * 1024 * 1024);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

  // A large but honest title is read whole.
  std::string big(3 * 1024 * 1024, 'x');
  CRSSSubItem large;
  ASSERT_TRUE(large.LoadRSSInfo(Write("big.xml", "<r><newstitle><title>" + big + "</title></newstitle></r>")));
  EXPECT_EQ(large.title.size(), big.size());

  // Far larger than any information file: refused before it is read.
  std::u16string sparse = Write("sparse.xml", "<r>");
  ASSERT_EQ(truncate((tmp.path() / "sparse.xml").c_str(), 1LL << 30), 0);
  CRSSSubItem huge = Filled();
  EXPECT_FALSE(huge.LoadRSSInfo(sparse));
  EXPECT_EQ(Fields(huge), Fields(Filled()));
}
