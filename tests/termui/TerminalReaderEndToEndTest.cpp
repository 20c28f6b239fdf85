// daru ui as a reader, end to end: what a person types is kept, refusals are
// explained, articles read as text, and the keys and help a newcomer needs.
// Each case types as a person does and reads the screen and the catalogue.

#include <sstream>
#include <thread>

#include "TerminalHostFixture.h"

namespace {

class TerminalReader : public TerminalHostEndToEnd {
 protected:
  // Waits until the text is gone from the screen.
  static bool WaitGone(TmuxSession& tmux, const std::string& text, std::string* screen = nullptr) {
    return tmux.WaitFor([&](const std::string& s) { return s.find(text) == std::string::npos; }, screen);
  }
  std::string IdOf(const std::string& title) {
    return Sql("SELECT articleid FROM article WHERE title='" + title + "'");
  }
  // daru check's verdict: status 0 when catalogue and files agree.
  int Check(std::string* out = nullptr) { return Daru({"check"}, out); }
  // Opens 科技 and puts the focus on its first row (the newest, 第三篇 中文).
  void OpenTech(TmuxSession& tmux) {
    ClickOn(tmux, "科技");
    ASSERT_TRUE(tmux.WaitForText("Beta 文章"));
    tmux.Keys({"Tab", "Down"});
  }
};

TEST_F(TerminalReader, AContextMenuOpensOnceAndItsChoiceRunsOnce) {
  MakeLibrary();
  auto tmux = Start();
  OpenTech(*tmux);
  std::string screen;
  // Opened (read), then the menu: Down three times passes the disabled 标识为已读 to 标识为未读.
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitForText("第三篇的描述", &screen)) << screen;
  tmux->Keys({"F9"});
  ASSERT_TRUE(tmux->WaitForText("标识为未读", &screen)) << screen;
  tmux->Keys({"Down", "Down", "Down", "Enter"});
  ASSERT_TRUE(tmux->WaitFor(
      [&](const std::string&) { return Sql("SELECT readflag FROM article WHERE title='第三篇 中文'") == "F"; }));
  EXPECT_TRUE(WaitGone(*tmux, "标识为未读", &screen)) << screen;
  // The next Enter is the list's again: it opens the row, no label picker.
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitFor(
      [&](const std::string&) { return Sql("SELECT readflag FROM article WHERE title='第三篇 中文'") == "T"; }));
  EXPECT_EQ(tmux->Screen().find("[ ] 新闻"), std::string::npos) << tmux->Screen();
  // Shift-F10 in the tree, Esc: the menu goes and stays gone.
  tmux->Keys({"BTab", "S-F10"});
  ASSERT_TRUE(tmux->WaitForText("刷新文章列表", &screen)) << screen;
  tmux->Keys({"Escape"});
  EXPECT_TRUE(WaitGone(*tmux, "刷新文章列表", &screen)) << screen;
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalReader, CharactersBeyondTheFirstPlaneAreStoredAsTyped) {
  MakeLibrary();
  auto tmux = Start();
  ClickOn(*tmux, "科技");
  std::string screen;
  tmux->Keys({"a"});
  ASSERT_TRUE(tmux->WaitForText("添加标签...", &screen)) << screen;
  // Backspace takes the whole emoji back, not half of it.
  tmux->Text("阅读清单 📚🎉");
  tmux->Keys({"BSpace", "Enter"});
  EXPECT_TRUE(tmux->WaitFor([&](const std::string&) {
    return Sql("SELECT count(*) FROM label WHERE name='阅读清单 📚'") == "1";
  })) << Sql("SELECT name FROM label ORDER BY labelid DESC");
  std::string labels;
  Daru({"labels"}, &labels);
  EXPECT_NE(labels.find("阅读清单 📚"), std::string::npos) << labels;
  EXPECT_EQ(labels.find("\xEF\xBF\xBD"), std::string::npos) << labels;  // no U+FFFD
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalReader, AddingAnArticleWithoutALabelSaysSoBeforeTheDialog) {
  MakeLibrary();
  auto tmux = Start();
  std::string screen;
  ASSERT_TRUE(tmux->WaitForText("Tab 切换", &screen)) << screen;
  tmux->Keys({"Tab", "n"});
  ASSERT_TRUE(tmux->WaitForText("请先在标签树中选择一个标签", &screen)) << screen;
  EXPECT_EQ(screen.find("添加文章"), std::string::npos) << screen;
  // The message goes with the next key.
  tmux->Keys({"Down"});
  EXPECT_TRUE(WaitGone(*tmux, "请先在标签树中选择一个标签", &screen)) << screen;
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalReader, RemovingFromSearchResultsAndCommentingOnRemovedArticlesLeaveNoOrphans) {
  MakeLibrary();
  auto tmux = Start();
  std::string screen;
  ASSERT_TRUE(tmux->WaitForText("Tab 切换", &screen)) << screen;
  // Search from /: no box to dismiss, the count in the title line.
  tmux->Keys({"/"});
  ASSERT_TRUE(tmux->WaitForText("搜索资料库...", &screen)) << screen;
  tmux->Text("第三篇");
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitForText("共找到相关文章主题[1]篇", &screen)) << screen;
  EXPECT_NE(screen.find("搜索结果"), std::string::npos) << screen;
  tmux->Keys({"Tab", "Home", "DC"});
  ASSERT_TRUE(tmux->WaitForText("删除所选的文章", &screen)) << screen;
  tmux->Keys({"y"});
  ASSERT_TRUE(tmux->WaitFor([&](const std::string&) { return IdOf("第三篇 中文").empty(); }));
  std::string report;
  EXPECT_EQ(Check(&report), 0) << report;

  // Commenting on an article removed elsewhere: refused before the dialog, and
  // when removed while the dialog is open, the comment is not kept.
  ClickOn(*tmux, "科技");
  ASSERT_TRUE(tmux->WaitForText("Beta 文章", &screen)) << screen;
  tmux->Keys({"Tab", "Home"});
  ASSERT_EQ(Daru({"rm", IdOf("Alpha 文章")}), 0);
  tmux->Keys({"c"});
  ASSERT_TRUE(tmux->WaitForText("已在别处被删除", &screen)) << screen;
  EXPECT_EQ(screen.find("注释..."), std::string::npos) << screen;
  tmux->Keys({"Down", "c"});
  ASSERT_TRUE(tmux->WaitForText("注释...", &screen)) << screen;
  ASSERT_EQ(Daru({"rm", IdOf("Beta 文章")}), 0);
  tmux->Text("迟到的注释");
  tmux->Keys({"Tab", "Enter"});
  ASSERT_TRUE(tmux->WaitForText("注释没有保存", &screen)) << screen;
  EXPECT_EQ(Check(&report), 0) << report;
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalReader, AfterACommentDownGoesToTheNextRow) {
  MakeLibrary();
  auto tmux = Start();
  OpenTech(*tmux);
  std::string screen;
  tmux->Keys({"Enter", "c"});
  ASSERT_TRUE(tmux->WaitForText("注释...", &screen)) << screen;
  tmux->Text("好文");
  tmux->Keys({"Tab", "Enter"});
  ASSERT_TRUE(WaitGone(*tmux, "注释...", &screen)) << screen;
  // Down from the first row is the second (Alpha); Enter opens it.
  tmux->Keys({"Down", "Enter"});
  EXPECT_TRUE(tmux->WaitFor([&](const std::string&) {
    return Sql("SELECT readflag FROM article WHERE title='Alpha 文章'") == "T";
  })) << tmux->Screen();
  EXPECT_EQ(Sql("SELECT readflag FROM article WHERE title='Beta 文章'"), "F");
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalReader, TheScreenFollowsTheCatalogue) {
  MakeLibrary();
  // Filed under 新闻 as well: saving a stored link under another label files it there.
  ASSERT_EQ(Daru({"save", "https://example.com/third", "第三篇 中文", "--label", "新闻"}), 0);
  ASSERT_EQ(Sql("SELECT labels FROM article WHERE title='第三篇 中文'"), "2");
  auto tmux = Start();
  OpenTech(*tmux);
  std::string screen;
  // The labels line names every label of the article.
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitForText("第三篇的描述", &screen)) << screen;
  EXPECT_NE(screen.find("科技, 新闻"), std::string::npos) << screen;
  // Another label: the article of the previous one is closed.
  ClickOn(*tmux, "新闻");
  EXPECT_TRUE(WaitGone(*tmux, "第三篇的描述", &screen)) << screen;
  // A refresh leaves the rows in the catalogue's order: no arrow; a header click sorts and shows its direction.
  ClickOn(*tmux, "科技");
  ASSERT_TRUE(tmux->WaitForText("Beta 文章", &screen)) << screen;
  EXPECT_NE(screen.find("创建日期 v"), std::string::npos) << screen;
  tmux->Keys({"F5"});
  ASSERT_TRUE(WaitGone(*tmux, "创建日期 v", &screen)) << screen;
  ClickOn(*tmux, "标题");
  ASSERT_TRUE(tmux->WaitForText("标题 ^", &screen)) << screen;
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // a second click, not a double click
  ClickOn(*tmux, "标题");
  ASSERT_TRUE(tmux->WaitForText("标题 v", &screen)) << screen;
  // An article added with n is stored read and shown read (not bold).
  tmux->Keys({"Tab", "n"});
  ASSERT_TRUE(tmux->WaitForText("新添文章...", &screen)) << screen;
  tmux->Text("https://example.com/new");
  tmux->Keys({"Tab"});
  tmux->Text("Gamma");
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitForText("Gamma", &screen)) << screen;
  EXPECT_EQ(Sql("SELECT readflag FROM article WHERE title='Gamma'"), "T");
  const std::string styled = tmux->Screen(true);
  const size_t at = styled.find("Gamma");
  const size_t lineStart = styled.rfind("│", at);  // the list's part of the line (the tree's default label is bold)
  EXPECT_EQ(styled.substr(lineStart, at - lineStart).find("\033[1m"), std::string::npos)
      << styled.substr(lineStart, at - lineStart + 5);
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalReader, RefusalsAreExplained) {
  MakeLibrary();
  ASSERT_EQ(Daru({"label", "add", "前端", "--parent", "科技"}), 0);
  ASSERT_EQ(Daru({"label", "add", "子", "--parent", "新闻"}), 0);
  auto tmux = Start();
  std::string screen;
  // m onto its own child.
  ClickOn(*tmux, "科技");
  ASSERT_TRUE(tmux->WaitForText("前端", &screen)) << screen;
  tmux->Keys({"m", "Down", "Enter"});
  ASSERT_TRUE(tmux->WaitForText("不能移到它自己或它的子标签下", &screen)) << screen;
  EXPECT_EQ(Sql("SELECT toplayer FROM label WHERE name='科技'"), "1");
  // r on a label whose articles are all in its sub-labels.
  ClickOn(*tmux, "新闻");
  tmux->Keys({"r"});
  ASSERT_TRUE(tmux->WaitForText("这个标签本身没有文章", &screen)) << screen;
  // u on an article removed elsewhere.
  OpenTech(*tmux);
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitForText("第三篇的描述", &screen)) << screen;
  ASSERT_EQ(Daru({"rm", IdOf("第三篇 中文")}), 0);
  tmux->Keys({"u"});
  ASSERT_TRUE(tmux->WaitForText("已在别处被删除，无法标记", &screen)) << screen;
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalReader, CtrlCInADialogWithTypedTextAsksFirst) {
  MakeLibrary();
  auto tmux = Start();
  OpenTech(*tmux);
  std::string screen;
  tmux->Keys({"c"});
  ASSERT_TRUE(tmux->WaitForText("注释...", &screen)) << screen;
  tmux->Text("不要丢");
  tmux->Keys({"C-c"});
  ASSERT_TRUE(tmux->WaitForText("放弃它们并退出吗", &screen)) << screen;
  tmux->Keys({"n"});
  ASSERT_TRUE(WaitGone(*tmux, "放弃它们并退出吗", &screen)) << screen;
  EXPECT_NE(screen.find("不要丢"), std::string::npos) << screen;
  tmux->Keys({"Tab", "Enter"});
  ASSERT_TRUE(WaitGone(*tmux, "注释...", &screen)) << screen;
  std::string shown;
  Daru({"show", IdOf("第三篇 中文")}, &shown);
  EXPECT_NE(shown.find("不要丢"), std::string::npos) << shown;
  // An empty dialog is left at once.
  tmux->Keys({"c"});
  ASSERT_TRUE(tmux->WaitForText("注释...", &screen)) << screen;
  tmux->Keys({"C-c"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalReader, ADescriptionReadsAsTextWithNumberedLinks) {
  MakeLibrary();
  const std::string html =
      "<p>Tom &amp; Jerry went to <a href=\"https://example.com/story\">the story page</a> and "
      "<b>stayed</b> for a remarkably long afternoon without interruption whatsoever.</p>"
      "<ul><li>第一点</li><li>second point</li></ul><p><img src=\"a.png\" alt=\"a cat\"> "
      "<a href=\"javascript:alert(1)\">not a link</a></p>";
  ASSERT_EQ(Daru({"save", "https://example.com/html", "HTML 文章", "--label", "科技", "--description", html}), 0);
  TempDir bin;
  const fs::path opened = bin.path() / "opened";
  {
    std::ofstream script(bin.path() / "xdg-open");
    script << "#!/bin/sh\necho \"$1\" > '" << opened.string() << "'\n";
  }
  fs::permissions(bin.path() / "xdg-open", fs::perms::owner_all);
  auto tmux = Start(80, 24, {{"PATH", bin.path().string() + ":" + std::getenv("PATH")}});
  ClickOn(*tmux, "科技");
  std::string screen;
  ClickOn(*tmux, "HTML 文章");
  ASSERT_TRUE(tmux->WaitForText("Tom & Jerry", &screen)) << screen;
  for (const char* shown : {"the story page[1]", "• 第一点", "• second point"})
    EXPECT_NE(screen.find(shown), std::string::npos) << shown << "\n" << screen;
  for (const char* gone : {"<p>", "&amp;", "<b>", "javascript"})
    EXPECT_EQ(screen.find(gone), std::string::npos) << gone;
  // Every word whole on its line: wrapped between words.
  for (const char* word : {"remarkably", "afternoon", "interruption", "whatsoever."})
    EXPECT_NE(screen.find(word), std::string::npos) << word << "\n" << screen;
  // z gives the article the whole right side: the link list shows under the text; 1 opens the first link.
  tmux->Keys({"Tab", "z"});
  ASSERT_TRUE(tmux->WaitForText("[1] https://example.com/story", &screen)) << screen;
  EXPECT_EQ(screen.find("Beta 文章"), std::string::npos) << screen;
  for (const char* shown : {"[图: a cat]", "not a link"}) EXPECT_NE(screen.find(shown), std::string::npos) << shown;
  tmux->Keys({"1"});
  ASSERT_TRUE(tmux->WaitFor([&](const std::string&) { return fs::exists(opened) && fs::file_size(opened) > 0; }));
  std::ifstream in(opened);
  std::string link;
  std::getline(in, link);
  EXPECT_EQ(link, "https://example.com/story");
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalReader, HelpShortcutsCountsAndReadingKeys) {
  MakeLibrary();
  auto tmux = Start();
  std::string screen;
  // The tree counts unread and total; a collapsed label its branch.
  ASSERT_TRUE(tmux->WaitForText("科技 3/3", &screen)) << screen;
  EXPECT_NE(screen.find("我的资料库"), std::string::npos) << screen;
  OpenTech(*tmux);
  // The help of the pane, with the menu's commands and their keys.
  tmux->Keys({"?"});
  ASSERT_TRUE(tmux->WaitForText("帮助：文章列表", &screen)) << screen;
  EXPECT_NE(screen.find("下一篇未读文章"), std::string::npos) << screen;
  tmux->Keys({"End"});  // the menu's commands below the keys
  ASSERT_TRUE(tmux->WaitForText("菜单命令", &screen)) << screen;
  EXPECT_NE(screen.find("标识为已读"), std::string::npos) << screen;
  tmux->Keys({"Escape"});
  ASSERT_TRUE(WaitGone(*tmux, "帮助：文章列表", &screen)) << screen;
  // The menu shows each command's key, and the host's own commands.
  tmux->Keys({"F9"});
  ASSERT_TRUE(tmux->WaitForText("标识为已读", &screen)) << screen;
  const auto [mx, my] = tmux->Find("标识为已读");
  std::string line = screen.substr(0);
  {
    std::istringstream rows(screen);
    for (int i = 0; i <= my; ++i) std::getline(rows, line);
  }
  EXPECT_NE(line.find(" r "), std::string::npos) << line;
  EXPECT_NE(screen.find("添加文章..."), std::string::npos) << screen;
  tmux->Keys({"Escape"});
  ASSERT_TRUE(WaitGone(*tmux, "标识为已读", &screen)) << screen;
  // j moves down; N opens the next unread (Beta, after Alpha), then the count follows.
  tmux->Keys({"j", "Enter"});
  ASSERT_TRUE(tmux->WaitFor(
      [&](const std::string&) { return Sql("SELECT readflag FROM article WHERE title='Alpha 文章'") == "T"; }));
  tmux->Keys({"N"});
  ASSERT_TRUE(tmux->WaitFor(
      [&](const std::string&) { return Sql("SELECT readflag FROM article WHERE title='Beta 文章'") == "T"; }));
  ASSERT_TRUE(tmux->WaitForText("科技 1/3", &screen)) << screen;
  // s sorts by the keyboard: from date descending on to keywords up, keywords down, title up.
  tmux->Keys({"Escape", "s"});
  ASSERT_TRUE(tmux->WaitForText("关键字 ^", &screen)) << screen;
  tmux->Keys({"s"});
  ASSERT_TRUE(tmux->WaitForText("关键字 v", &screen)) << screen;
  tmux->Keys({"s"});
  ASSERT_TRUE(tmux->WaitFor(
      [&](const std::string&) {
        auto l = LinesOf(*tmux, {"Alpha 文章", "Beta 文章", "第三篇 中文"});
        return l[0] >= 0 && l[0] < l[1] && l[1] < l[2] && tmux->Screen().find("标题 ^") != std::string::npos;
      },
      &screen))
      << screen;
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalReader, SearchResultsGiveWayToTheLabelChosenAgainAndTheHostSpeaksTheLocale) {
  MakeLibrary();
  auto tmux = Start(80, 24, {{"LANG", "C.UTF-8"}});
  std::string screen;
  ASSERT_TRUE(tmux->WaitForText("? help", &screen)) << screen;
  ClickOn(*tmux, "科技");
  ASSERT_TRUE(tmux->WaitForText("3 articles", &screen)) << screen;
  tmux->Keys({"/"});
  ASSERT_TRUE(tmux->WaitForText("搜索资料库...", &screen)) << screen;  // the library's dialog keeps its texts
  tmux->Text("Alpha");
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitForText("共找到相关文章主题[1]篇", &screen)) << screen;
  EXPECT_NE(screen.find("search results"), std::string::npos) << screen;
  // Enter on the label it was on brings its articles back.
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitForText("科技 │ 3 articles", &screen)) << screen;
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

}  // namespace
