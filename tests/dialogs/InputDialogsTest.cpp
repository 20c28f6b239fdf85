// The four dialogs that only collect text: what the user sees when they
// open, what they refuse, and what the calling command reads after OK.

#include <string>

#include "DialogFixture.h"
// As a host reaches them: through the windows' umbrella header.
#include "darulib_ui.h"

using Kind = CModalSession::Control;

TEST_F(DialogTest, AddLabelRefusesAnEmptyNameAndTakesBlanksAsTyped) {
  CAddLabelDlg dlg;
  user.Dialog(u"添加标签...",
              [](CModalSession& d) {
                EXPECT_EQ(d.TemplateId(), 50008u);
                EXPECT_EQ(Seen(d, 50009).kind, u"edit");
                EXPECT_EQ(d.GetText(50009), u"");
                EXPECT_EQ(Seen(d, IDOK).kind, u"default button");
                EXPECT_EQ(Seen(d, IDOK).text, u"确定");
                EXPECT_EQ(Seen(d, IDCANCEL).text, u"取消");
                d.Ok();
              })
      .AnswerMessageBox(IDOK, u"请输入一个有效的标签名。")
      .Dialog([](CModalSession& d) {
        EXPECT_TRUE(d.IsOpen());
        d.SetText(50009, u"  ");
        d.Ok();
      });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.labelName, u"  ");
  ExpectScriptDone();

  CAddLabelDlg cancelled;
  user.Dialog(CScriptedUser::Fill({{50009, u"不要"}}, IDCANCEL));
  EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
  EXPECT_EQ(cancelled.labelName, u"");
}

TEST_F(DialogTest, AddArticleNeedsLinkAndTitleAndHandsBackAllFiveTexts) {
  CAddArticleDlg dlg;
  user.Dialog(u"新添文章...",
              [](CModalSession& d) {
                for (UINT id : {50009u, 50010u, 50015u, 50012u, 50013u}) {
                  EXPECT_EQ(d.GetText(id), u"") << id;
                  EXPECT_FALSE(Seen(d, id).multiLine) << id;
                }
                EXPECT_FALSE(Seen(d, 50011).visible);
                EXPECT_EQ(Seen(d, 50011).text, u"浏览(&B)...");
                EXPECT_THROW(d.Click(50011), std::logic_error);  // nobody can press a hidden button
                d.SetText(50009, u"http://example.org/a");
                d.Ok();
              })
      .AnswerMessageBox(IDOK, u"链接地址和文章标题不可为空。")
      .Dialog([](CModalSession& d) {
        d.SetText(50009, u"");
        d.SetText(50010, u"只有标题");
        d.Ok();
      })
      .AnswerMessageBox(IDOK, u"链接地址和文章标题不可为空。")
      .Dialog(CScriptedUser::Fill({{50009, u"http://example.org/a"}, {50015, u"关键"}}));
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.GetUrl(), u"http://example.org/a");
  EXPECT_EQ(dlg.GetTitle(), u"只有标题");
  EXPECT_EQ(dlg.GetKeyword(), u"关键");
  EXPECT_EQ(dlg.GetDescription(), u"");  // description and comment may stay empty
  EXPECT_EQ(dlg.GetComment(), u"");
  ExpectScriptDone();
}

TEST_F(DialogTest, AddArticleShowsTheCapturedPageAndTakesTheEdits) {
  CAddArticleDlg dlg;
  dlg.SetUrl(u"http://example.org/page");
  dlg.SetTitle(u"页面标题");
  user.Dialog([](CModalSession& d) {
    EXPECT_EQ(d.GetText(50009), u"http://example.org/page");
    EXPECT_EQ(d.GetText(50010), u"页面标题");
    d.SetText(50010, u"改过的标题");
    d.SetText(50012, u"描述");
    d.SetText(50013, u"注释");
    d.Ok();
  });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.GetUrl(), u"http://example.org/page");
  EXPECT_EQ(dlg.GetTitle(), u"改过的标题");
  EXPECT_EQ(dlg.GetDescription(), u"描述");
  EXPECT_EQ(dlg.GetComment(), u"注释");

  CAddArticleDlg cancelled;
  cancelled.SetTitle(u"原题");
  user.Dialog(CScriptedUser::Fill({{50010, u"新题"}}, IDCANCEL));
  EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
  EXPECT_EQ(cancelled.GetTitle(), u"原题");
}

TEST_F(DialogTest, CommentShowsTheTitleReadOnlyAndKeepsLineBreaks) {
  CCommentDlg dlg;
  dlg.SetTitle(u"文章标题");
  dlg.SetComment(u"旧注释");
  user.Dialog(u"注释...", [](CModalSession& d) {
    EXPECT_EQ(d.GetText(50016), u"文章标题");
    EXPECT_TRUE(Seen(d, 50016).readOnly);
    EXPECT_THROW(d.SetText(50016, u"改"), std::logic_error);
    EXPECT_EQ(Seen(d, 50031).kind, u"rich edit");
    EXPECT_TRUE(Seen(d, 50031).multiLine);
    EXPECT_EQ(d.GetText(50031), u"旧注释");
    EXPECT_EQ(Seen(d, IDOK).text, u"确定(&O)");
    EXPECT_EQ(Seen(d, IDCANCEL).text, u"取消(&C)");
    d.SetText(50031, u"第一行\r\n第二行");
    d.Ok();
  });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.GetComment(), u"第一行\r\n第二行");

  // No check: an emptied comment closes the dialog too.
  CCommentDlg emptied;
  emptied.SetComment(u"有内容");
  user.Dialog(CScriptedUser::Fill({{50031, u""}}));
  ASSERT_EQ(emptied.DoModal(), IDOK);
  EXPECT_EQ(emptied.GetComment(), u"");
  ExpectScriptDone();
}

TEST_F(DialogTest, SearchStartsOnFuzzyTitlesAndNeedsAKeyword) {
  CSearchDlg dlg;
  dlg.searchIn = 1;  // whatever a caller left there
  dlg.fuzzy = 0;
  user.Dialog(u"搜索资料库...",
              [](CModalSession& d) {
                EXPECT_EQ(d.GetCheck(51013), BST_CHECKED);
                EXPECT_EQ(d.GetCheck(51014), BST_UNCHECKED);
                EXPECT_EQ(d.GetCheck(51015), BST_CHECKED);
                EXPECT_EQ(Seen(d, 51013).kind, u"radio button");
                EXPECT_EQ(Seen(d, 51015).kind, u"check box");
                d.Ok();
              })
      .AnswerMessageBox(IDOK, u"请输入搜索关键字")
      .Dialog([](CModalSession& d) {
        d.SetText(50009, u"新闻");
        d.SetCheck(51014, BST_CHECKED);
        d.SetCheck(51015, BST_UNCHECKED);
        d.Ok();
      });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.keyword, u"新闻");
  EXPECT_EQ(dlg.searchIn, 1);
  EXPECT_EQ(dlg.fuzzy, 0);

  // Shown again, it starts over on titles with fuzzy matching.
  user.Dialog([](CModalSession& d) {
    EXPECT_EQ(d.GetCheck(51013), BST_CHECKED);
    EXPECT_EQ(d.GetCheck(51015), BST_CHECKED);
    EXPECT_EQ(d.GetText(50009), u"新闻");
    d.Ok();
  });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.searchIn, 0);
  EXPECT_EQ(dlg.fuzzy, 1);
  ExpectScriptDone();
}
