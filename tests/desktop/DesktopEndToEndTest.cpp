// daru-desktop end to end: the program on an Xvfb server of the suite's own,
// on a data root made with daru, worked with the pointer and keys through
// xdotool, and checked in the catalogue, in the state the program reports
// (where its windows stand) and in screenshots where a look matters.

#include "DesktopFixture.h"

using namespace desktoptest;

namespace {

TEST_F(DesktopEndToEnd, ALabelsRowsShowAndAnArticleOpensInThePane) {
  MakeLibrary();
  Start();
  json s = State();
  ASSERT_FALSE(TreeItem(s, "科技").is_null()) << s.dump();
  ClickOn(TreeItem(s, "科技"), 1, 6);
  ASSERT_TRUE(WaitFor([](const json& s) { return s["list"]["count"] == 3; })) << State().dump();
  ASSERT_TRUE(WaitFor([](const json& s) { return s["status"].get<std::string>().find("科技 │ 3 篇文章") == 0; }));
  s = State();
  EXPECT_TRUE(TreeItem(s, "科技")["selected"].get<bool>());
  // The important row is drawn red, the others are not.
  json important, first;
  for (const json& row : s["list"]["rows"]) {
    if (row["red"].get<bool>()) important = row;
    if (row["texts"][0] == "第一篇 Desktop") first = row;
  }
  ASSERT_FALSE(important.is_null());
  ASSERT_FALSE(first.is_null());
  EXPECT_TRUE(first["bold"].get<bool>()) << "unread";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Screenshot shot = Shot();
  EXPECT_GT(Count(shot, important, IsRed), 15);
  EXPECT_EQ(Count(shot, first, IsRed), 0);

  // A click on a row marks it read and shows its description in the pane.
  ClickOn(first, 1, 30);
  ASSERT_TRUE(WaitFor([](const json& s) {
    return s["pane"].get<std::string>().find("第一篇的描述：桌面上的文章") != std::string::npos;
  })) << State().dump();
  EXPECT_EQ(Sql("SELECT readflag FROM article WHERE url='https://example.com/one'"), "T");
  s = State();
  for (const json& row : s["list"]["rows"])
    if (row["texts"][0] == "第一篇 Desktop") first = row;
  EXPECT_TRUE(first["selected"].get<bool>());
  EXPECT_FALSE(first["bold"].get<bool>()) << "read now";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  shot = Shot();
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  EXPECT_GT(Count(shot, first,
                  [&](const Screenshot::Pixel& p) {
                    return std::abs(p.r - GetRValue(highlight)) < 10 && std::abs(p.g - GetGValue(highlight)) < 10 &&
                           std::abs(p.b - GetBValue(highlight)) < 10;
                  }),
            50);
  // The main window as the README shows it.
  const json w = s["window"];
  RunTool({"import", "-window", "root", "-crop",
           std::to_string(w["w"].get<int>()) + "x" + std::to_string(w["h"].get<int>()) + "+" +
               std::to_string(w["x"].get<int>()) + "+" + std::to_string(w["y"].get<int>()),
           "+repage", (fs::path(DARU_BINARY_DIR) / "desktop-main-window.png").string()},
          {{"DISPLAY", server->Display()}});
  Quit();
  // The window's layout is remembered for the next start.
  EXPECT_TRUE(fs::exists(dir.path() / "config" / "daru" / "desktop.ini"));
}

TEST_F(DesktopEndToEnd, MenusMessageBoxesAndDialogsAnswerTheLibrary) {
  MakeLibrary();
  Start();
  // Delete 新闻 from its context menu, confirming in the message box.
  ClickOn(TreeItem(State(), "新闻"), 3, 6);
  ASSERT_TRUE(WaitFor([&](const json& s) { return !ModalPart(s, "menu", "删除标签").is_null(); })) << State().dump();
  json s = State();
  EXPECT_FALSE(ModalPart(s, "menu", "刷新文章列表").is_null());
  ClickOn(ModalPart(s, "menu", "删除标签")["rect"]);
  ASSERT_TRUE(WaitFor([&](const json& s) { return !ModalPart(s, "message", "是(_Y)").is_null(); })) << State().dump();
  s = State();
  EXPECT_NE(s["modals"].back()["text"].get<std::string>().find("删除标签将同时删除所有子标签"), std::string::npos);
  ClickOn(ModalPart(s, "message", "是(_Y)")["rect"]);
  ASSERT_TRUE(WaitFor([&](const json& s) { return TreeItem(s, "新闻").is_null() && s["modals"].empty(); }));
  EXPECT_EQ(Sql("SELECT count(*) FROM label WHERE name='新闻'"), "0");

  // Add a label under 科技 through the dialog; an empty name keeps the dialog open.
  ClickOn(TreeItem(State(), "科技"), 3, 6);
  ASSERT_TRUE(WaitFor([&](const json& s) { return !ModalPart(s, "menu", "添加标签").is_null(); }));
  ClickOn(ModalPart(State(), "menu", "添加标签")["rect"]);
  ASSERT_TRUE(WaitFor([&](const json& s) { return !ModalPart(s, "dialog", "", IDOK).is_null(); })) << State().dump();
  EXPECT_EQ(State()["modals"].back()["title"], "添加标签...");
  ClickOn(ModalPart(State(), "dialog", "", IDOK)["rect"]);
  ASSERT_TRUE(WaitFor([&](const json& s) { return !ModalPart(s, "message", "确定").is_null(); })) << State().dump();
  EXPECT_EQ(State()["modals"].back()["text"], "请输入一个有效的标签名。");
  ClickOn(ModalPart(State(), "message", "确定")["rect"]);
  ASSERT_TRUE(WaitFor([&](const json& s) { return !ModalPart(s, "dialog", "", 50009).is_null(); }));
  ClickOn(ModalPart(State(), "dialog", "", 50009)["rect"]);
  ASSERT_EQ(Xdo({"type", "--delay", "40", "Books"}), 0);
  ClickOn(ModalPart(State(), "dialog", "", IDOK)["rect"]);
  ASSERT_TRUE(WaitFor([&](const json& s) { return s["modals"].empty() && !TreeItem(s, "Books").is_null(); }))
      << State().dump();
  EXPECT_EQ(Sql("SELECT toplayer FROM label WHERE name='Books'"), Sql("SELECT labelid FROM label WHERE name='科技'"));
  Quit();
}

TEST_F(DesktopEndToEnd, ALabelDraggedOntoAnotherMovesUnderIt) {
  ASSERT_EQ(Daru({"label", "add", "科技"}), 0);
  ASSERT_EQ(Daru({"label", "add", "新闻"}), 0);
  ASSERT_EQ(Daru({"label", "add", "读书"}), 0);
  Start();
  const json from = TreeItem(State(), "读书");
  const json to = TreeItem(State(), "科技");
  ASSERT_FALSE(from.is_null());
  ASSERT_FALSE(to.is_null());
  const int x0 = from["x"].get<int>() + 8, y0 = from["y"].get<int>() + from["h"].get<int>() / 2;
  const int x1 = to["x"].get<int>() + 8, y1 = to["y"].get<int>() + to["h"].get<int>() / 2;
  ASSERT_EQ(Xdo({"mousemove", "--sync", std::to_string(x0), std::to_string(y0), "mousedown", "1"}), 0);
  // Held longer than a slip of the hand, then pulled over the other label.
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  for (int i = 1; i <= 8; ++i) {
    Xdo({"mousemove", std::to_string(x0 + (x1 - x0) * i / 8 + 2), std::to_string(y0 + (y1 - y0) * i / 8)});
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  }
  ASSERT_TRUE(WaitFor([&](const json& s) { return TreeItem(s, "科技")["drop"] == true; })) << State().dump();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Screenshot shot = Shot();
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  EXPECT_GT(Count(shot, TreeItem(State(), "科技"),
                  [&](const Screenshot::Pixel& p) {
                    return std::abs(p.r - GetRValue(highlight)) < 10 && std::abs(p.g - GetGValue(highlight)) < 10 &&
                           std::abs(p.b - GetBValue(highlight)) < 10;
                  }),
            40)
      << "the drop target is highlighted";
  ASSERT_EQ(Xdo({"mouseup", "1"}), 0);
  ASSERT_TRUE(WaitFor([&](const json&) {
    return Sql("SELECT toplayer FROM label WHERE name='读书'") == Sql("SELECT labelid FROM label WHERE name='科技'");
  })) << State().dump();
  Quit();
}

TEST_F(DesktopEndToEnd, SignalsEndTheProgramCleanlyAndTheLayoutIsRemembered) {
  fs::create_directories(dir.path() / "config" / "daru");
  std::ofstream(dir.path() / "config" / "daru" / "desktop.ini")
      << "[window]\nwidth=900\nheight=640\ntree-width=300\nlist-height=200\n";
  Start();
  const json w = State()["window"];
  EXPECT_EQ(w["w"], 900);
  EXPECT_EQ(w["h"], 640);
  program->Signal(SIGTERM);
  EXPECT_EQ(program->Wait(std::chrono::seconds(30)), 0) << program->Log();
  EXPECT_EQ(program->Log().find("LeakSanitizer"), std::string::npos) << program->Log();
  EXPECT_EQ(State()["closed"], true);
  // A folder without a catalogue is no library: the program says so and ends.
  std::string out;
  EXPECT_EQ(RunTool({kDesktop, "--root", (dir.path() / "nowhere").string()}, {{"DISPLAY", server->Display()}}, &out),
            1);
}

}  // namespace
