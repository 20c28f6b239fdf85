#include <gtest/gtest.h>

#include <stdexcept>

#include "base/TextConv.h"
#include "base/U16Format.h"

TEST(TextConv, EncodesEveryPlaneAndRoundTrips) {
  std::u16string text = u"abc 中文 é \U0001F600 end";
  std::string utf8 = ToUtf8(text);
  EXPECT_EQ(utf8, "abc \xE4\xB8\xAD\xE6\x96\x87 \xC3\xA9 \xF0\x9F\x98\x80 end");
  EXPECT_EQ(FromUtf8(utf8), text);
}

TEST(TextConv, LoneSurrogatesKeepTheirUnits) {
  const char16_t units[] = {u'a', 0xD800, u'b', 0xDC01, 0xDBFF};
  std::u16string text(units, 5);
  std::string utf8 = ToUtf8(text);
  EXPECT_EQ(utf8,
            "a\xED\xA0\x80"
            "b\xED\xB0\x81\xED\xAF\xBF");
  EXPECT_EQ(FromUtf8(utf8), text);
  // A low surrogate before a high one is not a pair.
  const char16_t reversed[] = {0xDC00, 0xD800};
  EXPECT_EQ(FromUtf8(ToUtf8(std::u16string(reversed, 2))), std::u16string(reversed, 2));
}

TEST(TextConv, MalformedBytesBecomeReplacementCharacters) {
  EXPECT_EQ(FromUtf8("a\xFF"
                     "b"),
            u"a\uFFFD"
            u"b");
  EXPECT_EQ(FromUtf8("\xE4\xB8"), u"\uFFFD\uFFFD");                      // truncated sequence
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");                      // overlong form
  EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // beyond U+10FFFF
  EXPECT_EQ(FromUtf8(std::string("x\0y", 3)), std::u16string(u"x\0y", 3));
}

// The decoder writes into a buffer sized by the byte count; every extreme of
// units per byte must fit it and come out whole.
TEST(TextConv, LongTextsOfEveryWidthDecodeWhole) {
  std::u16string wide;
  for (int i = 0; i < 1000; ++i) wide += u"\U0001F600";
  EXPECT_EQ(FromUtf8(ToUtf8(wide)), wide);
  EXPECT_EQ(FromUtf8(std::string(1000, '\xFF')), std::u16string(1000, u'\uFFFD'));
  std::u16string mixed = std::u16string(300, u'a') + std::u16string(300, u'中') + u"\U0001F600" + u"z";
  EXPECT_EQ(FromUtf8(ToUtf8(mixed)), mixed);
  EXPECT_EQ(FromUtf8(""), u"");
}

// The host's column widths decode code point by code point; they must read
// exactly what the converter reads, malformed bytes and ASCII runs included.
TEST(TextConv, CodePointsAgreeWithTheConverter) {
  const std::string samples[] = {
      "plain ascii longer than eight bytes", "中文标题 with ASCII runs 1234567890", "\xF0\x9F\x98\x80 emoji",
      "bad \xC0\xAF overlong", "cut \xE4\xB8", "\xED\xA0\x80 lone surrogate", "\xFF\xFE", "abcdefg\x80hijklmnop"};
  for (const std::string& text : samples) {
    std::u16string expected = FromUtf8(text);
    std::u16string decoded;
    for (size_t i = 0; i < text.size();) {
      char32_t cp = NextCodePoint(text, i);
      if (cp >= 0x10000) {
        decoded += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        decoded += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        decoded += static_cast<char16_t>(cp);
      }
    }
    EXPECT_EQ(decoded, expected) << text;
    std::u16string reused = u"left over from before, longer than the text";
    FromUtf8(text, reused);
    EXPECT_EQ(reused, expected) << text;
  }
  EXPECT_TRUE(AsciiCaseEqual(u"FileName", u"filename"));
  EXPECT_FALSE(AsciiCaseEqual(u"filenam", u"filename"));
  EXPECT_TRUE(AsciiCaseEqual(std::string_view("RSS"), std::string_view("rss")));
  EXPECT_FALSE(AsciiCaseEqual(u"Ä", u"ä"));  // only ASCII letters fold
}

TEST(Format, IntegersAsTheTemplatesUseThem) {
  EXPECT_EQ(Fmt(u"%d/%.2d/%.2d %2d:%.2d:%.2d", 2005, 3, 7, 9, 5, 0), u"2005/03/07  9:05:00");
  EXPECT_EQ(Fmt(u"%ld", 1234567890123L), u"1234567890123");
  EXPECT_EQ(Fmt(u"%d", -42), u"-42");
  EXPECT_EQ(Fmt(u"%02x%02x", 0x0a, 0xff), u"0aff");
  EXPECT_EQ(Fmt(u"%08lx", 0x80004003UL), u"80004003");
  EXPECT_EQ(Fmt(u"%x", -1), u"ffffffff");
  EXPECT_EQ(Fmt(u"%u", 7u), u"7");
  EXPECT_EQ(Fmt(u"[%-4d|%4d|%04d]", 7, 7, -7), u"[7   |   7|-007]");
}

TEST(Format, TextsAndPercentSigns) {
  EXPECT_EQ(Fmt(u"title LIKE '%%%s%%'", u"中"), u"title LIKE '%中%'");
  EXPECT_EQ(Fmt(u"%s[%d]: %s", "SQLITE_ERROR", 1, std::u16string(u"no such table")), u"SQLITE_ERROR[1]: no such table");
  EXPECT_EQ(Fmt(u"%.3s|%5s", u"abcdef", u"ab"), u"abc|   ab");
  std::u16string big(20000, u'x');
  EXPECT_EQ(Fmt(u"<%s>", big).size(), 20002u);
  EXPECT_EQ(Fmt(u"no arguments"), u"no arguments");
}

TEST(Format, MismatchedTemplatesThrow) {
  EXPECT_THROW(Fmt(u"%d"), std::logic_error);
  EXPECT_THROW(Fmt(u"%d", u"text"), std::logic_error);
  EXPECT_THROW(Fmt(u"%s", 5), std::logic_error);
  EXPECT_THROW(Fmt(u"%d", 1, 2), std::logic_error);
  EXPECT_THROW(Fmt(u"50%"), std::logic_error);
}
