#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <filesystem>
#include <string>

#include "ContentFiles.h"
#include "core/Article.h"
#include "core/ArticleLocations.h"
#include "base/TextConv.h"

using namespace contenttest;
namespace fs = std::filesystem;

namespace {

const fs::path kStylesheet = fs::path(DARU_TEST_DATA_DIR) / ".." / ".." / "res" / "default.xslt";

class Stylesheet : public ContentRoot {
 protected:
  void SetUp() override {
    ContentRoot::SetUp();
    fs::copy_file(kStylesheet, daru() / "default.xslt");  // where provisioning puts it
  }

  // Renders the file through the stylesheet its own instruction names.
  static std::string Render(const fs::path& file) {
    xmlDoc* doc = xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET);
    EXPECT_NE(doc, nullptr);
    if (doc == nullptr) return {};
    xsltStylesheet* style = xsltLoadStylesheetPI(doc);
    EXPECT_NE(style, nullptr) << "the instruction does not lead to the stylesheet";
    std::string html;
    if (style) {
      xmlDoc* result = xsltApplyStylesheet(style, doc, nullptr);
      EXPECT_NE(result, nullptr);
      xmlChar* out = nullptr;
      int size = 0;
      if (result && xsltSaveResultToString(&out, &size, result, style) == 0 && out) {
        html.assign(reinterpret_cast<const char*>(out), static_cast<size_t>(size));
        xmlFree(out);
      }
      xmlFreeDoc(result);
      xsltFreeStylesheet(style);
    }
    xmlFreeDoc(doc);
    return html;
  }
  static bool Has(const std::string& html, const std::string& part) { return html.find(part) != std::string::npos; }
};

}  // namespace

TEST_F(Stylesheet, ShowsAFeedArticle) {
  CArticle a;
  a.type = u"A";
  a.filename = u"0123456789abcdef0123456789abcdef";
  a.title = u"标题 <b>";
  a.url = u"http://example.com/a?x=1";
  a.key1 = u"关键字一 二";
  a.SetDescription(u"<p>正文</p>");
  a.SetComment(u"我的评论");
  auto* rss = new CRSSSubItem;
  rss->title = u"条目";
  rss->link = u"javascript:alert(1)";
  rss->pubDate = u"Tue, 02 Jan 2024";
  rss->channelTitle = u"新闻频道";
  rss->channelLink = u"https://feed.example/";
  rss->mimeUrl = u"/media/clip.mp3";
  for (const char16_t* name : {u"a.pdf", u"b.pdf"}) {
    CMimeFile file;
    file.filename = name;
    file.description = std::u16string(u"说明 ") + name;
    rss->AddMimeFile(file);
  }
  a.SetRSSSubItem(rss);
  ASSERT_TRUE(a.CreateDescriptionFile(GetTypeFolder(u"A"), true));

  std::string html = Render(ToUtf8(DescriptionFilePath(u"A", a.filename)));
  EXPECT_TRUE(Has(html, "<h1>标题 &lt;b&gt;</h1>")) << html;
  EXPECT_TRUE(Has(html, "<a href=\"http://example.com/a?x=1\">"));
  EXPECT_TRUE(Has(html, "关键字一 二"));
  EXPECT_TRUE(Has(html, "&lt;p&gt;正文&lt;/p&gt;"));  // text, never markup
  EXPECT_TRUE(Has(html, "我的评论"));
  EXPECT_TRUE(Has(html, "<a href=\"https://feed.example/\">新闻频道</a>"));
  EXPECT_TRUE(Has(html, "Tue, 02 Jan 2024"));
  EXPECT_FALSE(Has(html, "href=\"javascript"));
  EXPECT_TRUE(Has(html, "条目"));
  EXPECT_TRUE(Has(html, "href=\"./0123456789abcdef0123456789abcdef/mime.zevm\">/media/clip.mp3</a>"));
  EXPECT_TRUE(Has(html, "a.pdf"));
  EXPECT_TRUE(Has(html, "说明 a.pdf"));
  EXPECT_TRUE(Has(html, "说明 b.pdf"));
}

TEST_F(Stylesheet, ShowsAPageAndAllPairsOfOneAttachment) {
  CArticle page;
  page.type = u"B";
  page.filename = u"ffffffffffffffffffffffffffffffff";
  page.title = u"Page";
  ASSERT_TRUE(page.CreateDescriptionFile(GetTypeFolder(u"B"), true));
  std::string html = Render(daru() / "web" / "ffffffffffffffffffffffffffffffff.xml");
  EXPECT_TRUE(Has(html, "<h1>Page</h1>")) << html;
  EXPECT_FALSE(Has(html, "频道"));
  EXPECT_FALSE(Has(html, "媒体文件"));

  WriteBytes(daru() / "web" / "old.xml",
             "<?xml-stylesheet href=\"../default.xslt\" type=\"text/xsl\"?><Article><Title>t</Title>"
             "<FileName>javascript:x</FileName><RSS><mime><url>u</url><attachment>"
             "<filename>one</filename><description>d1</description><filename>two</filename>"
             "<filename>three</filename><description>d3</description></attachment></mime></RSS></Article>");
  html = Render(daru() / "web" / "old.xml");
  EXPECT_TRUE(Has(html, "one</span> – <span class=\"description\">d1</span>")) << html;
  EXPECT_TRUE(Has(html, "two</span></li>")) << html;  // no description of its own
  EXPECT_TRUE(Has(html, "three</span> – <span class=\"description\">d3</span>"));
  EXPECT_FALSE(Has(html, "href=\"./javascript"));
}
