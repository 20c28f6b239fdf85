// daru ui end to end: the program in a tmux session of a fixed size on a data
// root made with daru itself, worked with keys and the mouse, checked on the
// screen, in the catalogue and in the terminal it leaves behind.

#include <csignal>
#include <thread>

#include "TerminalHostFixture.h"

namespace {

TEST_F(TerminalHostEndToEnd, ADataRootThatCannotBeOpenedIsReportedWithoutTouchingTheTerminal) {
  // No catalogue at all: daru's own rule.
  TempDir empty;
  auto tmux =
      std::make_unique<TmuxSession>(std::vector<std::string>{kDaru, "--root", (empty.path() / "none").string(), "ui"},
                                    80, 24, std::map<std::string, std::string>{{"LANG", "C.UTF-8"}});
  std::string screen;
  EXPECT_TRUE(tmux->WaitForText("[exit 1]", &screen)) << screen;
  EXPECT_NE(screen.find("run 'daru init' first"), std::string::npos) << screen;
  ExpectCleanExit(*tmux, 1);

  // A catalogue file the engine cannot read: the library's reason.
  {
    std::ofstream damaged(root.path() / "DARU" / "darudb", std::ios::trunc);
    damaged << "this is not a database, just text that is long enough to be looked at by the engine\n";
  }
  tmux = Start();
  EXPECT_TRUE(tmux->WaitForText("[exit 1]", &screen)) << screen;
  EXPECT_NE(screen.find("cannot open the catalogue in " + root.path().string() + ": "), std::string::npos) << screen;
  ExpectCleanExit(*tmux, 1);
}

TEST_F(TerminalHostEndToEnd, ATooSmallTerminalAsksToBeEnlargedAndResizingRedraws) {
  auto tmux = Start(30, 8);
  std::string screen;
  EXPECT_TRUE(tmux->WaitForText("终端太小", &screen)) << screen;
  EXPECT_EQ(screen.find("daru"), std::string::npos) << screen;
  tmux->Keys({"Down", "Enter", "x"});  // nothing happens in a screen that shows nothing
  tmux->Resize(80, 24);
  EXPECT_TRUE(tmux->WaitForText("Tab 切换", &screen)) << screen;
  EXPECT_EQ(screen.find("终端太小"), std::string::npos) << screen;
  tmux->Resize(100, 30);
  EXPECT_TRUE(tmux->WaitFor(
      [](const std::string& s) {
        // The status line moved to the new last row.
        const size_t last = s.rfind("Tab 切换");
        return last != std::string::npos && std::count(s.begin(), s.begin() + static_cast<long>(last), '\n') == 29;
      },
      &screen))
      << screen;
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalHostEndToEnd, LeavingByKeyOrSignalRestoresTheTerminal) {
  auto tmux = Start();
  std::string screen;
  ASSERT_TRUE(tmux->WaitForText("Tab 切换", &screen)) << screen;
  EXPECT_EQ(tmux->Format("#{mouse_any_flag}"), "1");  // the program listens to the mouse
  tmux->Keys({"C-c"});
  ExpectCleanExit(*tmux, 0);

  tmux = Start();
  ASSERT_TRUE(tmux->WaitForText("Tab 切换", &screen)) << screen;
  pid_t daru = ProgramPid(*tmux);
  ASSERT_GT(daru, 0);
  ::kill(daru, SIGTERM);
  ExpectCleanExit(*tmux, 128 + SIGTERM);

  // A fatal signal still gives the terminal back before the program dies of it.
  tmux = Start();
  ASSERT_TRUE(tmux->WaitForText("Tab 切换", &screen)) << screen;
  daru = ProgramPid(*tmux);
  ASSERT_GT(daru, 0);
  ::kill(daru, SIGABRT);
  ExpectCleanExit(*tmux, 128 + SIGABRT);
}

TEST_F(TerminalHostEndToEnd, ALabelShowsItsArticlesSortedAndAHeaderClickSortsAgain) {
  MakeLibrary();
  auto tmux = Start();
  ClickOn(*tmux, "科技");
  std::string screen;
  ASSERT_TRUE(tmux->WaitForText("Beta 文章", &screen)) << screen;
  // Newest first: the list starts sorted by creation date, descending.
  auto lines = LinesOf(*tmux, {"第三篇 中文", "Alpha 文章", "Beta 文章"});
  EXPECT_TRUE(lines[0] < lines[1] && lines[1] < lines[2]) << tmux->Screen();
  EXPECT_NE(screen.find("3 篇文章"), std::string::npos) << screen;
  // Unread rows are bold (SGR 1) in the list.
  EXPECT_NE(tmux->Screen(true).find("\033[1m"), std::string::npos);
  ClickOn(*tmux, "标题");
  ASSERT_TRUE(tmux->WaitFor(
      [&](const std::string&) {
        auto l = LinesOf(*tmux, {"Alpha 文章", "Beta 文章", "第三篇 中文"});
        return l[0] < l[1] && l[1] < l[2];
      },
      &screen))
      << screen;
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalHostEndToEnd, ArticlesAreMarkedImportantAndReadAndShownAndTheirLinksOpened) {
  MakeLibrary();
  // A stand-in for the desktop's opener that notes what it was asked to open.
  TempDir bin;
  const fs::path opened = bin.path() / "opened";
  {
    std::ofstream script(bin.path() / "xdg-open");
    script << "#!/bin/sh\necho \"$1\" > '" << opened.string() << "'\n";
  }
  fs::permissions(bin.path() / "xdg-open", fs::perms::owner_all);
  auto tmux = Start(80, 24, {{"PATH", bin.path().string() + ":" + std::getenv("PATH")}});
  ClickOn(*tmux, "科技");
  ASSERT_TRUE(tmux->WaitForText("Beta 文章"));
  tmux->Keys({"Tab", "Down", "i"});  // the first row, newest: 第三篇 中文
  std::string screen;
  EXPECT_TRUE(tmux->WaitFor(
      [&](const std::string&) { return Sql("SELECT impflag FROM article WHERE title='第三篇 中文'") == "T"; }));
  EXPECT_NE(tmux->Screen(true).find("\033[31m"), std::string::npos);  // the important row is red
  EXPECT_EQ(Sql("SELECT readflag FROM article WHERE title='第三篇 中文'"), "F");
  // Enter opens the row: read, and shown below the list with its description.
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitForText("第三篇的描述", &screen)) << screen;
  EXPECT_NE(screen.find("链接: https://example.com/third"), std::string::npos) << screen;
  EXPECT_EQ(Sql("SELECT readflag FROM article WHERE title='第三篇 中文'"), "T");
  // u marks it unread again; o opens its link.
  tmux->Keys({"u"});
  EXPECT_TRUE(tmux->WaitFor(
      [&](const std::string&) { return Sql("SELECT readflag FROM article WHERE title='第三篇 中文'") == "F"; }));
  tmux->Keys({"o"});
  EXPECT_TRUE(tmux->WaitFor([&](const std::string&) { return fs::exists(opened); }));
  std::ifstream in(opened);
  std::string link;
  std::getline(in, link);
  EXPECT_EQ(link, "https://example.com/third");
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalHostEndToEnd, LabelsAreAddedThroughTheDialogRenamedInPlaceAndDeletedAfterTheQuestion) {
  MakeLibrary();
  auto tmux = Start();
  ClickOn(*tmux, "科技");
  std::string screen;
  // Add: an empty name first, which the dialog refuses with its message and stays open.
  tmux->Keys({"IC"});
  ASSERT_TRUE(tmux->WaitForText("添加标签...", &screen)) << screen;
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitForText("请输入一个有效的标签名。", &screen)) << screen;
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitFor(
      [](const std::string& s) { return s.find("请输入一个有效的标签名。") == std::string::npos; }, &screen))
      << screen;
  EXPECT_NE(screen.find("添加标签..."), std::string::npos) << screen;
  tmux->Text("深度");
  tmux->Keys({"Enter"});
  ASSERT_TRUE(
      tmux->WaitFor([&](const std::string&) { return Sql("SELECT toplayer FROM label WHERE name='深度'") == "4"; }));
  ASSERT_TRUE(tmux->WaitForText("深度", &screen)) << screen;
  // Rename in place: F2 on the new label, the editing keys, Enter.
  ClickOn(*tmux, "深度");
  tmux->Keys({"F2", "End", "BSpace", "BSpace"});
  tmux->Text("学习");
  tmux->Keys({"Enter"});
  ASSERT_TRUE(
      tmux->WaitFor([&](const std::string&) { return Sql("SELECT count(*) FROM label WHERE name='学习'") == "1"; }));
  ASSERT_TRUE(tmux->WaitForText("学习", &screen)) << screen;
  // Delete: the question first; No keeps it, Yes removes it.
  tmux->Keys({"DC"});
  ASSERT_TRUE(tmux->WaitForText("删除标签将同时删除", &screen)) << screen;
  tmux->Keys({"n"});
  tmux->Keys({"DC"});
  ASSERT_TRUE(tmux->WaitForText("删除标签将同时删除", &screen)) << screen;
  EXPECT_EQ(Sql("SELECT count(*) FROM label WHERE name='学习'"), "1");
  tmux->Keys({"y"});
  ASSERT_TRUE(
      tmux->WaitFor([&](const std::string&) { return Sql("SELECT count(*) FROM label WHERE name='学习'") == "0"; }));
  ASSERT_TRUE(tmux->WaitFor([](const std::string& s) { return s.find("学习") == std::string::npos; }, &screen))
      << screen;
  // Labels 1 to 3 cannot be deleted: the key does nothing for the default label.
  ClickOn(*tmux, "未分类");
  tmux->Keys({"DC"});
  ASSERT_TRUE(tmux->WaitForText("不可用", &screen)) << screen;
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalHostEndToEnd, ALabelIsMovedByDraggingItWithTheMouse) {
  MakeLibrary();
  auto tmux = Start();
  std::string screen;
  ASSERT_TRUE(tmux->WaitForText("新闻", &screen)) << screen;
  const auto [nx, ny] = tmux->Find("新闻");
  const auto [tx, ty] = tmux->Find("科技");
  // Press, hold as a hand does, pull onto 科技, let go.
  tmux->Press(nx + 1, ny);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  tmux->Drag(nx + 2, ny);
  tmux->Drag(nx + 2, (ny + ty) / 2);
  tmux->Drag(tx + 1, ty);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  tmux->Release(tx + 1, ty);
  ASSERT_TRUE(tmux->WaitFor([&](const std::string&) {
    return Sql("SELECT toplayer FROM label WHERE name='新闻'") == "4";
  })) << tmux->Screen();
  // The tree shows it under 科技, one level deeper.
  ASSERT_TRUE(
      tmux->WaitFor([&](const std::string&) { return tmux->Find("新闻").first > tmux->Find("科技").first; }, &screen))
      << screen;
  // And with the keyboard: m, Up to the head label, Enter puts it back.
  tmux->Keys({"m", "Up", "Up", "Up", "Up", "Enter"});
  EXPECT_TRUE(tmux->WaitFor([&](const std::string&) {
    return Sql("SELECT toplayer FROM label WHERE name='新闻'") == "1";
  })) << tmux->Screen();
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalHostEndToEnd, SearchPropertiesCommentAndLabelsWorkThroughTheirDialogs) {
  MakeLibrary();
  auto tmux = Start();
  std::string screen;
  ClickOn(*tmux, "科技");
  ASSERT_TRUE(tmux->WaitForText("Beta 文章", &screen)) << screen;
  // The list menu's search: the dialog, the library's count message, the results in the list.
  tmux->Keys({"Tab", "F9"});
  ClickOn(*tmux, "文章搜索...");
  ASSERT_TRUE(tmux->WaitForText("搜索资料库...", &screen)) << screen;
  tmux->Text("文章");
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitForText("共找到相关文章主题[2]篇", &screen)) << screen;
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitForText("搜索结果", &screen)) << screen;
  EXPECT_EQ(screen.find("第三篇 中文"), std::string::npos) << screen;
  // Back to the label (the selection must change for the tree to refill the list);
  // properties of the newest article: its title edited in the sheet.
  ClickOn(*tmux, "未分类");
  ASSERT_TRUE(tmux->WaitForText("未分类 │ 0 篇文章", &screen)) << screen;
  ClickOn(*tmux, "科技");
  ASSERT_TRUE(tmux->WaitForText("第三篇 中文", &screen)) << screen;
  tmux->Keys({"Tab", "Down", "p"});
  ASSERT_TRUE(tmux->WaitForText("文章属性...", &screen)) << screen;
  EXPECT_NE(screen.find("基本信息"), std::string::npos) << screen;
  tmux->Keys({"End"});
  tmux->Text("改");
  tmux->Keys({"Enter"});
  ASSERT_TRUE(tmux->WaitFor([&](const std::string&) {
    return Sql("SELECT count(*) FROM article WHERE title='第三篇 中文改'") == "1";
  })) << tmux->Screen();
  ASSERT_TRUE(tmux->WaitForText("第三篇 中文改", &screen)) << screen;
  // The comment dialog: typed into its rich edit, OK by Tab and Enter.
  tmux->Keys({"c"});
  ASSERT_TRUE(tmux->WaitForText("注释...", &screen)) << screen;
  tmux->Text("值得一读");
  tmux->Keys({"Tab", "Enter"});
  ASSERT_TRUE(tmux->WaitFor([](const std::string& s) { return s.find("注 释:") == std::string::npos; }, &screen))
      << screen;
  std::string shown;
  Daru({"show", Sql("SELECT articleid FROM article WHERE title='第三篇 中文改'")}, &shown);
  EXPECT_NE(shown.find("值得一读"), std::string::npos) << shown;
  // The label picker: tick 新闻 with the mouse, confirm with Enter.
  tmux->Keys({"l"});
  ASSERT_TRUE(tmux->WaitForText("[ ] 新闻", &screen)) << screen;
  const auto [bx, by] = tmux->Find("[ ] 新闻");
  tmux->Click(bx + 1, by);
  ASSERT_TRUE(tmux->WaitForText("[x] 新闻", &screen)) << screen;
  tmux->Keys({"Enter"});
  EXPECT_TRUE(tmux->WaitFor([&](const std::string&) {
    return Sql("SELECT count(*) FROM articletolabel JOIN label USING(labelid) WHERE name='新闻'") == "1";
  })) << tmux->Screen();
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

TEST_F(TerminalHostEndToEnd, AMonochromeTerminalGetsTheSameScreen) {
  MakeLibrary();
  auto tmux = Start(80, 24, {{"TERM", "vt100"}});
  ClickOn(*tmux, "科技");
  std::string screen;
  ASSERT_TRUE(tmux->WaitForText("Beta 文章", &screen)) << screen;
  // No colours at all; the title and status bars are reversed instead.
  const std::string styled = tmux->Screen(true);
  for (const char* colour : {"\033[31m", "\033[46m", "\033[36m", ";31m", ";46m"})
    EXPECT_EQ(styled.find(colour), std::string::npos) << colour;
  EXPECT_NE(styled.find("\033[7m"), std::string::npos);
  tmux->Keys({"q"});
  ExpectCleanExit(*tmux, 0);
}

}  // namespace
