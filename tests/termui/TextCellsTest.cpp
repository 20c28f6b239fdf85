#include <gtest/gtest.h>

#include "terminal/CellBuffer.h"
#include "terminal/TextCells.h"

using namespace termui;

namespace {

class TextCellsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(UseUtf8Locale()); }
};

TEST_F(TextCellsTest, ChineseTakesTwoColumnsAndFittingNeverSplitsACharacter) {
  EXPECT_EQ(DisplayWidth(u"标题 abc"), 8);
  EXPECT_EQ(DisplayWidth(u"e\u0301"), 1);     // a combining accent adds nothing
  EXPECT_EQ(DisplayWidth(u"\U0001F600"), 2);  // a surrogate pair is one character
  // Five columns hold two Chinese characters and no half of a third.
  EXPECT_EQ(FitWidth(U"资料库文章", 5), U"资料");
  EXPECT_EQ(FitWidth(U"资料库文章", 6, true), U"资料…");
  EXPECT_EQ(FitWidth(U"short", 10, true), U"short");
  EXPECT_EQ(FitWidth(U"abc", 0, true), U"");
  // A lone surrogate from a damaged catalogue row is shown, not dropped or read past.
  EXPECT_EQ(ToCodePoints(std::u16string(1, char16_t(0xD800)) + u"a"), (std::u32string{0xFFFD, U'a'}));
}

TEST_F(TextCellsTest, WrappingBreaksAtLineEndsAndBeforeTheCharacterThatDoesNotFit) {
  EXPECT_EQ(WrapLines(U"ab\r\ncd", 10), (std::vector<std::u32string>{U"ab", U"cd"}));
  EXPECT_EQ(WrapLines(U"一二三四五", 5), (std::vector<std::u32string>{U"一二", U"三四", U"五"}));
}

TEST_F(TextCellsTest, TheBufferKeepsWideCharactersWhole) {
  CellBuffer b(6, 2);
  EXPECT_EQ(b.Text(0, 0, U"中文字"), 6);
  EXPECT_EQ(b.RowText(0), "中文字");
  // Writing over the right half of a wide character blanks its left half.
  b.Text(1, 0, U"x");
  EXPECT_EQ(b.RowText(0), " x文字");
  // A wide character that would stick out past the edge or the clip is left out.
  EXPECT_EQ(b.Text(5, 1, U"中"), 0);
  b.SetClip(Rect{0, 1, 3, 1});
  EXPECT_EQ(b.Text(0, 1, U"中文"), 2);
  EXPECT_EQ(b.Dump(), " x文字\n中");
}

}  // namespace
