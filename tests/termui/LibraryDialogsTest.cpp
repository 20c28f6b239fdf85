// The library's own dialogs and property sheet as a person sees them in an
// 80 x 24 terminal: every label, field, choice and button on the screen, none
// drawn over another.

#include <gtest/gtest.h>

#include "ScriptedDisplay.h"
#include "terminal/TerminalUser.h"
#include "terminal/TextCells.h"
#include "ui/dialogs/AddArticleDlg.h"
#include "ui/dialogs/AddLabelDlg.h"
#include "ui/dialogs/CommentDlg.h"
#include "ui/dialogs/PropSheet.h"
#include "ui/dialogs/SearchDlg.h"

using namespace termui;

namespace {

class LibraryDialogsTest : public ::testing::Test {
 protected:
  LibraryDialogsTest() : user(display), scope(&user) {
    UseUtf8Locale();
    AfxInitRichEdit2();
  }

  // Shows the dialog, expects the texts on its first screen, then leaves with Escape.
  void ExpectShown(const std::function<INT_PTR()>& run, const std::vector<std::string>& texts) {
    display.Then([&](const CellBuffer& b) {
      const std::string s = b.Dump();
      for (const std::string& t : texts) EXPECT_NE(s.find(t), std::string::npos) << t << " missing from\n" << s;
      // The frame lies wholly on the screen.
      EXPECT_NE(s.find("┌"), std::string::npos) << s;
      EXPECT_NE(s.find("┘"), std::string::npos) << s;
    });
    display.Key(Key::Escape);
    EXPECT_EQ(run(), IDCANCEL);
    EXPECT_FALSE(display.RanOut());
  }

  ScriptedDisplay display{80, 24};
  TerminalUser user;
  CScopedUserInteraction scope;
};

TEST_F(LibraryDialogsTest, InputDialogsShowEveryControl) {
  ExpectShown([] { return CAddLabelDlg().DoModal(); }, {"添加标签...", "标签名:", "[<确定>]", "[ 取消 ]"});
  ExpectShown([] { return CAddArticleDlg().DoModal(); },
              {"新添文章...", "基本属性:", "链接地址:", "文章标题:", "关键字:", "描述:", "注释:", "[<确定>]"});
  ExpectShown([] { return CCommentDlg().DoModal(); }, {"注释...", "标 题:", "注 释:", "<确定(O)>  [ 取消(C) ]"});
  ExpectShown([] { return CSearchDlg().DoModal(); },
              {"搜索资料库...", "你可以通过对文章标题或者关键字进行搜索文章:", "搜索关键字:", "(*) 搜索文章标题",
               "( ) 搜索文章关键字", "使用模糊搜索方式", "[<确定>]"});
}

TEST_F(LibraryDialogsTest, ThePropertySheetShowsItsTabsAndTheBasicsPage) {
  CArticle article;
  article.title = u"一篇文章";
  article.url = u"https://example.com/a";
  article.type = u"B";
  ExpectShown([&] { return CPropSheet(u"文章属性", &article).DoModal(); },
              {"基本信息", "描述文字", "我的注释", "文章链接地址", "https://example.com/a", "文章标题", "一篇文章",
               "关键字", "创建时间:", "已阅读文章", "阅读时间:", "我的重要文章", "[<确定>]", "[ 取消 ]"});
}

}  // namespace
