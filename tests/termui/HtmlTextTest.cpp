#include <gtest/gtest.h>

#include "base/TextConv.h"
#include "shared/PointerInput.h"
#include "terminal/CellBuffer.h"
#include "terminal/HtmlText.h"
#include "terminal/TextCells.h"

using namespace termui;

namespace {

// The rendered text at a width, one string per line, as UTF-8.
std::vector<std::string> Lines(const std::u16string& html, int width, std::vector<std::u16string>* links = nullptr) {
  UseUtf8Locale();  // display widths as the terminal counts them
  RenderedHtml r = RenderHtml(html, u"https://site.example/posts/1");
  std::vector<StyledLine> wrapped;
  for (const TextBlock& b : r.blocks) WrapBlock(b, width, wrapped);
  std::vector<std::string> out;
  for (const StyledLine& l : wrapped) {
    EXPECT_EQ(l.text.size(), l.styles.size());
    EXPECT_LE(DisplayWidth(l.text), width) << ToUtf8(FromCodePoints(l.text));
    out.push_back(ToUtf8(FromCodePoints(l.text)));
  }
  if (links) *links = r.links;
  return out;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

TEST(HtmlText, MarkupBecomesParagraphsListsAndDecodedText) {
  const auto lines = Lines(
      u"<p>Tom &amp; Jerry&nbsp;&lt;3 <b>bold</b></p><ul><li>one</li><li>two <i>it</i></li></ul>"
      u"<ol><li>first</li><li>second</li></ol><script>alert(1)</script><style>p{}</style>"
      u"<p>pic: <img src=x.png alt=\"a cat\"> <img src=y.png></p><pre>  keep   spaces\n  and lines</pre>",
      60);
  const std::string all = Joined(lines);
  EXPECT_NE(all.find("Tom & Jerry\u00a0<3 bold"), std::string::npos) << all;
  EXPECT_NE(all.find("• one"), std::string::npos) << all;
  EXPECT_NE(all.find("• two it"), std::string::npos) << all;
  EXPECT_NE(all.find("1. first"), std::string::npos) << all;
  EXPECT_NE(all.find("2. second"), std::string::npos) << all;
  EXPECT_NE(all.find("a cat]"), std::string::npos) << all;
  EXPECT_NE(all.find("  keep   spaces\n  and lines"), std::string::npos) << all;
  for (const char* gone : {"<p>", "&amp;", "alert", "p{}", "x.png"})
    EXPECT_EQ(all.find(gone), std::string::npos) << gone;
  // Paragraphs apart by one blank line, none at the ends.
  EXPECT_FALSE(lines.front().empty());
  EXPECT_FALSE(lines.back().empty());
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_FALSE(lines[i].empty() && lines[i - 1].empty()) << all;
}

TEST(HtmlText, LinksAreNumberedResolvedAndOnlyWebLinksCount) {
  std::vector<std::u16string> links;
  const std::string all = Joined(
      Lines(u"<a href=\"https://a.example/x\">A</a> <a href=\"/rel?q=1\">B</a> <a href=\"javascript:alert(1)\">C</a> "
            u"<a href=\"file:///etc/passwd\">D</a> <a href=\"FTP://f.example/y\">E</a> <a>F</a> <a href=\"#top\">G</a>",
            80, &links));
  ASSERT_EQ(links.size(), 3u);
  EXPECT_EQ(links[0], u"https://a.example/x");
  EXPECT_EQ(links[1], u"https://site.example/rel?q=1");
  EXPECT_EQ(links[2], u"FTP://f.example/y");
  EXPECT_NE(all.find("A[1] B[2] C D E[3] F G"), std::string::npos) << all;
  EXPECT_TRUE(hostshared::SafeToOpen(u"http://x"));
  EXPECT_FALSE(hostshared::SafeToOpen(u"http://"));
  EXPECT_FALSE(hostshared::SafeToOpen(u"mailto:a@b"));
}

TEST(HtmlText, LinesBreakBetweenWordsAndBetweenWideCharacters) {
  const auto words = Lines(u"<p>alpha beta gamma delta https://example.com/a/long/path epsilon</p>", 16);
  for (const std::string& l : words) {
    EXPECT_TRUE(l.empty() || (l.front() != ' ' && l.back() != ' ')) << "[" << l << "]";
  }
  const std::string all = Joined(words);
  for (const char* w : {"alpha", "beta", "gamma", "delta", "epsilon"}) EXPECT_NE(all.find(w), std::string::npos) << all;
  // A word longer than the line is cut, nothing lost.
  std::string glued;
  for (const std::string& l : words) glued += l;
  EXPECT_NE(glued.find("https://example.com/a/long/path"), std::string::npos) << all;

  // Chinese breaks between characters, by display width; closing punctuation stays on its line.
  const auto cjk = Lines(u"<p>这是一个很长的中文段落，用来检查换行是否按显示宽度进行。</p>", 10);
  for (const std::string& l : cjk) {
    EXPECT_LE(DisplayWidth(ToCodePoints(FromUtf8(l))), 10);
    EXPECT_NE(l.rfind("，", 0), 0u) << l;
    EXPECT_NE(l.rfind("。", 0), 0u) << l;
  }
  EXPECT_GE(cjk.size(), 6u);
}

TEST(HtmlText, PlainTextKeepsItsLinesAndHostileMarkupIsHarmless) {
  EXPECT_EQ(Lines(u"line one\nline two\n\nafter a gap", 40),
            (std::vector<std::string>{"line one", "line two", "", "after a gap"}));
  // References without tags are decoded, the lines kept.
  EXPECT_EQ(Lines(u"A &amp; B\nC", 40), (std::vector<std::string>{"A & B", "C"}));
  // Nesting: text kept as deep as the parser goes, and far deeper is no crash.
  std::u16string deep;
  for (int i = 0; i < 60; ++i) deep += u"<div><b>";
  EXPECT_NE(Joined(Lines(deep + u"deep", 20)).find("deep"), std::string::npos);
  for (int i = 0; i < 5000; ++i) deep += u"<ul><li>";
  Lines(deep + u"deeper", 20);
  EXPECT_NE(Joined(Lines(u"<p>open <b>bold <i>both</p> after", 40)).find("open bold both"), std::string::npos);
  Lines(u"<\xD800 & <<>> &#0; &#xFFFFFF;", 5);
  EXPECT_TRUE(Lines(u"", 10).empty());
}

}  // namespace
