// daru-desktop worked the way a person works it, beyond the first steps: a
// drag that rests over a label or nears the tree's edges, a label renamed in
// place, links in the reading pane, and the keys the menu bar shows.

#include <cstdlib>

#include "DesktopFixture.h"

using namespace desktoptest;

namespace {

class DesktopInteraction : public DesktopEndToEnd {
 protected:
  void MoveTo(int x, int y) { ASSERT_EQ(Xdo({"mousemove", "--sync", std::to_string(x), std::to_string(y)}), 0); }

  // Presses on the label, holds longer than a slip of the hand and pulls the pointer to (x, y) in steps.
  void DragLabel(const std::string& label, int x1, int y1) {
    const json from = TreeItem(State(), label);
    ASSERT_FALSE(from.is_null()) << State().dump();
    const int x0 = from["x"].get<int>() + 8, y0 = from["y"].get<int>() + from["h"].get<int>() / 2;
    MoveTo(x0, y0);
    ASSERT_EQ(Xdo({"mousedown", "1"}), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    for (int i = 1; i <= 6; ++i) {
      Xdo({"mousemove", std::to_string(x0 + (x1 - x0) * i / 6), std::to_string(y0 + (y1 - y0) * i / 6)});
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
  }

  static json Center(const json& r) {
    return {{"x", r["x"].get<int>() + r["w"].get<int>() / 2}, {"y", r["y"].get<int>() + r["h"].get<int>() / 2}};
  }

  std::string LabelId(const std::string& name) { return Sql("SELECT labelid FROM label WHERE name='" + name + "'"); }
  std::string ParentOf(const std::string& name) { return Sql("SELECT toplayer FROM label WHERE name='" + name + "'"); }

  // The menu bar's open menu item with this label, or null.
  static json MenuBarItem(const json& s, const std::string& label) {
    if (!s.contains("menubar")) return json();
    for (const json& i : s["menubar"])
      if (i["label"] == label) return i;
    return json();
  }

  void Key(const std::string& key) { ASSERT_EQ(Xdo({"key", key}), 0); }
};

TEST_F(DesktopInteraction, ALabelRestedOnDuringADragOpensAfterTheDelayAndTakesTheDrop) {
  // 子 is a label with a label of its own; below the head label's children, branches start closed.
  ASSERT_EQ(Daru({"label", "add", "读书"}), 0);
  ASSERT_EQ(Daru({"label", "add", "父"}), 0);
  ASSERT_EQ(Daru({"label", "add", "子", "--parent", "父"}), 0);
  ASSERT_EQ(Daru({"label", "add", "孙", "--parent", "子"}), 0);
  Start();
  ASSERT_FALSE(TreeItem(State(), "子").is_null()) << State().dump();
  EXPECT_FALSE(TreeItem(State(), "子")["expanded"].get<bool>());
  EXPECT_TRUE(TreeItem(State(), "孙").is_null());

  const json over = TreeItem(State(), "子");
  DragLabel("读书", over["x"].get<int>() + 8, over["y"].get<int>() + over["h"].get<int>() / 2);
  const auto rested = std::chrono::steady_clock::now();
  ASSERT_TRUE(WaitFor([](const json& s) { return TreeItem(s, "子")["drop"] == true; })) << State().dump();
  // Not at once: a pointer passing over a label leaves it closed (looked at well before
  // the delay; a machine too busy to look in time skips the look).
  std::this_thread::sleep_for(std::chrono::milliseconds(400) - (std::chrono::steady_clock::now() - rested));
  const bool openEarly = TreeItem(State(), "子")["expanded"].get<bool>();
  if (std::chrono::steady_clock::now() - rested < std::chrono::milliseconds(650)) {
    EXPECT_FALSE(openEarly) << "opened before the pointer rested 800 ms";
  }
  ASSERT_TRUE(WaitFor([](const json& s) { return !TreeItem(s, "孙").is_null(); }, std::chrono::seconds(10)))
      << State().dump();
  const auto opened = std::chrono::steady_clock::now() - rested;
  EXPECT_GE(opened, std::chrono::milliseconds(700));
  EXPECT_TRUE(TreeItem(State(), "子")["expanded"].get<bool>());

  // The label that opened shows its own label, which takes the drop.
  const json grandchild = TreeItem(State(), "孙");
  for (int i = 0; i < 3; ++i) {
    MoveTo(grandchild["x"].get<int>() + 8 + i, grandchild["y"].get<int>() + grandchild["h"].get<int>() / 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  }
  ASSERT_TRUE(WaitFor([](const json& s) { return TreeItem(s, "孙")["drop"] == true; })) << State().dump();
  ASSERT_EQ(Xdo({"mouseup", "1"}), 0);
  ASSERT_TRUE(WaitFor([&](const json&) { return ParentOf("读书") == LabelId("孙"); })) << State().dump();
  // Nothing of the drag stays behind: no highlight, and the rest timer does not open labels later.
  ASSERT_TRUE(WaitFor([](const json& s) {
    for (const json& i : s["tree"]["items"])
      if (i["drop"] == true) return false;
    return true;
  }));
  Quit();
}

TEST_F(DesktopInteraction, ADragNearTheTreesEdgesScrollsItBothWays) {
  // More labels than the tree shows in a small window.
  for (int i = 1; i <= 40; ++i) {
    char name[8];
    std::snprintf(name, sizeof name, "L%02d", i);
    Exec(std::string("INSERT INTO label(name, toplayer) VALUES('") + name + "', 1)");
  }
  fs::create_directories(dir.path() / "config" / "daru");
  std::ofstream(dir.path() / "config" / "daru" / "desktop.ini")
      << "[window]\nwidth=700\nheight=380\ntree-width=220\nlist-height=160\n";
  Start();
  json s = State();
  const json area = s["tree"]["area"];
  ASSERT_EQ(s["tree"]["items"][0]["text"], "我的资料库") << s.dump();
  ASSERT_TRUE(TreeItem(s, "L40").is_null()) << "the window is small enough to need scrolling";
  // A scroll bar beside the tree says so; the list, empty, has none.
  EXPECT_TRUE(s["tree"]["scrollbar"]["shown"].get<bool>()) << s.dump();
  EXPECT_EQ(s["tree"]["scrollbar"]["value"], 0);
  EXPECT_EQ(s["tree"]["scrollbar"]["upper"], 43) << "the head label, two of the catalogue and 40";
  EXPECT_FALSE(s["list"]["scrollbar"]["shown"].get<bool>());
  const int x = area["x"].get<int>() + 60;
  const int bottom = area["y"].get<int>() + area["h"].get<int>();

  // Held below the bottom edge: lines scroll in until the last label shows; the drop target follows.
  DragLabel("L02", x, bottom + 100);
  ASSERT_TRUE(WaitFor([](const json& s) { return !TreeItem(s, "L40").is_null(); }, std::chrono::seconds(20)))
      << State().dump();
  s = State();
  EXPECT_NE(s["tree"]["items"][0]["text"], "我的资料库");
  bool dropShown = false;
  for (const json& i : s["tree"]["items"]) dropShown = dropShown || i["drop"] == true;
  EXPECT_TRUE(dropShown) << s.dump();
  KeepWindowShot("desktop-drag-scrolled.png");

  EXPECT_GT(s["tree"]["scrollbar"]["value"].get<double>(), 0) << "the scroll bar follows the tree";
  // Back in the middle the tree holds still.
  MoveTo(x, area["y"].get<int>() + area["h"].get<int>() / 2);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const json still = State()["tree"]["items"][0];
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_EQ(State()["tree"]["items"][0]["text"], still["text"]);

  // Just inside the top edge it scrolls back up, line by line, to the head label.
  MoveTo(x, area["y"].get<int>() + 3);
  ASSERT_TRUE(
      WaitFor([](const json& s) { return s["tree"]["items"][0]["text"] == "我的资料库"; }, std::chrono::seconds(30)))
      << State().dump();

  // Dropped on a label that scrolling brought back, the dragged label moves under it.
  const json target = TreeItem(State(), "L05");
  ASSERT_FALSE(target.is_null());
  for (int i = 0; i < 3; ++i) {
    MoveTo(target["x"].get<int>() + 8 + i, target["y"].get<int>() + target["h"].get<int>() / 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  }
  ASSERT_TRUE(WaitFor([](const json& s) { return TreeItem(s, "L05")["drop"] == true; })) << State().dump();
  ASSERT_EQ(Xdo({"mouseup", "1"}), 0);
  ASSERT_TRUE(WaitFor([&](const json&) { return ParentOf("L02") == LabelId("L05"); })) << State().dump();

  // A click on the scroll bar below its thumb scrolls the tree a page down.
  const json bar = State()["tree"]["scrollbar"]["rect"];
  ASSERT_TRUE(bar.is_object()) << State().dump();
  MoveTo(bar["x"].get<int>() + bar["w"].get<int>() / 2, bar["y"].get<int>() + bar["h"].get<int>() - 20);
  ASSERT_EQ(Xdo({"click", "1"}), 0);
  ASSERT_TRUE(WaitFor([](const json& s) { return s["tree"]["items"][0]["text"] != "我的资料库"; })) << State().dump();
  EXPECT_GT(State()["tree"]["scrollbar"]["value"].get<double>(), 0);
  Quit();
}

// The rename edit is up, laid out and holding the keyboard: what is typed now goes into it.
bool RenameEditReady(const json& s) {
  return s["renaming"] == true && s.contains("rename") && s["rename"]["w"].get<int>() > 1 &&
         s["rename"]["focused"] == true;
}

TEST_F(DesktopInteraction, ALabelRenamedInPlaceCommitsWithEnterAndCancelsWithEscape) {
  ASSERT_EQ(Daru({"label", "add", "科技"}), 0);
  ASSERT_EQ(Daru({"label", "add", "News"}), 0);
  Start();
  const std::string id = LabelId("科技");
  ClickOn(TreeItem(State(), "科技"), 1, 6);
  ASSERT_TRUE(WaitFor([](const json& s) { return TreeItem(s, "科技")["selected"] == true; }));

  // F2 opens the edit over the label, holding its name.
  Key("F2");
  ASSERT_TRUE(WaitFor(RenameEditReady)) << State().dump();
  json s = State();
  EXPECT_TRUE(s["tree"]["editing"].get<bool>());
  EXPECT_EQ(s["rename"]["text"], "科技");
  KeepWindowShot("desktop-rename.png");
  const json item = TreeItem(s, "科技");
  EXPECT_LT(std::abs(s["rename"]["y"].get<int>() - (item["y"].get<int>() + item["h"].get<int>())), 40)
      << "the edit opens at the label: " << s.dump();
  EXPECT_LT(std::abs(Center(s["rename"])["x"].get<int>() - Center(item)["x"].get<int>()), 200) << s.dump();
  // The name is selected: typing replaces it.
  ASSERT_EQ(Xdo({"type", "--delay", "40", "Science"}), 0);
  Key("Return");
  ASSERT_TRUE(WaitFor([](const json& s) { return s["renaming"] == false && !TreeItem(s, "Science").is_null(); }))
      << State().dump();
  EXPECT_EQ(Sql("SELECT name FROM label WHERE labelid=" + id), "Science");
  EXPECT_FALSE(State()["tree"]["editing"].get<bool>());

  // Escape leaves the name as it was, in the tree and in the catalogue.
  Key("F2");
  ASSERT_TRUE(WaitFor(RenameEditReady));
  ASSERT_EQ(Xdo({"type", "--delay", "40", "Nope"}), 0);
  ASSERT_TRUE(WaitFor([](const json& s) { return s["rename"]["text"] == "Nope"; })) << State().dump();
  Key("Escape");
  ASSERT_TRUE(WaitFor([](const json& s) { return s["renaming"] == false && !s["tree"]["editing"].get<bool>(); }))
      << State().dump();
  EXPECT_FALSE(TreeItem(State(), "Science").is_null());
  EXPECT_TRUE(TreeItem(State(), "Nope").is_null());
  EXPECT_EQ(Sql("SELECT name FROM label WHERE labelid=" + id), "Science");

  // A click elsewhere cancels too; the name of a label beside it is refused and changes nothing.
  Key("F2");
  ASSERT_TRUE(WaitFor(RenameEditReady));
  ClickOn(State()["list"]["area"]);
  ASSERT_TRUE(WaitFor([](const json& s) { return s["renaming"] == false && !s["tree"]["editing"].get<bool>(); }))
      << State().dump();
  EXPECT_EQ(Sql("SELECT name FROM label WHERE labelid=" + id), "Science");
  ClickOn(TreeItem(State(), "Science"), 1, 6);
  Key("F2");
  ASSERT_TRUE(WaitFor(RenameEditReady));
  ASSERT_EQ(Xdo({"type", "--delay", "40", "News"}), 0);
  Key("Return");
  ASSERT_TRUE(WaitFor([](const json& s) { return s["renaming"] == false; })) << State().dump();
  // Whatever the library says about it, answered with the first button.
  if (WaitFor([](const json& s) { return !s["modals"].empty(); }, std::chrono::seconds(2))) {
    ClickOn(State()["modals"].back()["parts"][0]["rect"]);
    ASSERT_TRUE(WaitFor([](const json& s) { return s["modals"].empty(); }));
  }
  EXPECT_EQ(Sql("SELECT count(*) FROM label WHERE name='News'"), "1");
  EXPECT_EQ(Sql("SELECT name FROM label WHERE labelid=" + id), "Science");
  EXPECT_FALSE(TreeItem(State(), "Science").is_null()) << State().dump();
  Quit();
}

TEST_F(DesktopInteraction, LinksInThePaneGoToTheBrowserOnlyWhenTheyAreWebLinks) {
  // A fake xdg-open that writes down what it is asked to open.
  const fs::path bin = dir.path() / "bin";
  fs::create_directories(bin);
  const fs::path opened = dir.path() / "opened.txt";
  {
    std::ofstream script(bin / "xdg-open");
    script << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << opened.string() << "'\n";
  }
  fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  ASSERT_EQ(Daru({"label", "add", "科技"}), 0);
  ASSERT_EQ(Daru({"save", "https://example.com/one", "Links", "--label", "科技", "--description", "text"}), 0);
  // A stylesheet of the library's folder may make any link (it is the person's file to edit);
  // this one makes a web, an FTP, a file and a script link, each a band the test can click.
  std::ofstream(dir.path() / "DARU" / "default.xslt") << R"(<?xml version="1.0" encoding="UTF-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8"/>
  <xsl:template match="/">
    <html><head><style>body { margin: 0 } a { display: block; height: 40px; margin: 0 0 10px }</style></head>
    <body>
      <a href="https://example.com/web">web link</a>
      <a href="ftp://example.com/file.txt">ftp link</a>
      <a href="file:///etc/passwd">file link</a>
      <a href="javascript:document.body.innerHTML='navigated'">script link</a>
      <a href="https://example.com/new-window" target="_blank">window link</a>
      <p>LINKS-PAGE</p>
    </body></html>
  </xsl:template>
</xsl:stylesheet>
)";
  Start({{"PATH", bin.string() + ":" + std::getenv("PATH")}});
  ASSERT_TRUE(State()["webview"].get<bool>())
      << "daru-desktop was built without WebKitGTK (libwebkit2gtk-4.1-dev, installed by scripts/deps.sh): the pane "
         "shows text and has no links to follow";
  ClickOn(TreeItem(State(), "科技"), 1, 6);
  ASSERT_TRUE(WaitFor([](const json& s) { return s["list"]["count"] == 1; }));
  ClickOn(State()["list"]["rows"][0], 1, 30);
  ASSERT_TRUE(WaitFor([](const json& s) {
    return s["pane"].get<std::string>().find("LINKS-PAGE") != std::string::npos;
  })) << State().dump();
  const json pane = State()["paneArea"];
  ASSERT_TRUE(pane.is_object()) << State().dump();
  auto clickBand = [&](int band) {
    MoveTo(pane["x"].get<int>() + 30, pane["y"].get<int>() + band * 50 + 20);
    ASSERT_EQ(Xdo({"click", "1"}), 0);
  };
  auto openedLines = [&] {
    std::ifstream in(opened);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  };
  clickBand(0);
  ASSERT_TRUE(WaitFor([&](const json&) { return openedLines().size() == 1; })) << State().dump();
  EXPECT_EQ(openedLines()[0], "https://example.com/web");
  clickBand(1);
  ASSERT_TRUE(WaitFor([&](const json&) { return openedLines().size() == 2; })) << State().dump();
  EXPECT_EQ(openedLines()[1], "ftp://example.com/file.txt");

  // The file and the script link open nothing (WebKit refuses a file link from this page before
  // asking; were it asked, the host's rule refuses it).
  clickBand(2);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  clickBand(3);
  // A link meant for a new window goes to the browser like any other web link.
  clickBand(4);
  ASSERT_TRUE(WaitFor([&](const json&) { return openedLines().size() >= 3; })) << State().dump();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const std::vector<std::string> lines = openedLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2], "https://example.com/new-window");
  // The pane never went anywhere: the same page, at the address it was loaded under.
  const json s = State();
  EXPECT_NE(s["pane"].get<std::string>().find("LINKS-PAGE"), std::string::npos) << s.dump();
  EXPECT_EQ(s["pane"].get<std::string>().find("navigated"), std::string::npos) << s.dump();
  EXPECT_EQ(s["paneAddress"], "about:blank");
  Quit();
}

TEST_F(DesktopInteraction, TheMenuBarsKeysDoWhatItsItemsDo) {
  MakeLibrary();
  Start();
  // The menu bar opens from the keyboard and shows the keys beside its items.
  Key("alt+l");
  ASSERT_TRUE(WaitFor([](const json& s) { return !MenuBarItem(s, "重命名").is_null(); })) << State().dump();
  json s = State();
  EXPECT_EQ(MenuBarItem(s, "刷新文章列表")["accel"], "F5");
  EXPECT_EQ(MenuBarItem(s, "添加标签")["accel"], "Insert");
  EXPECT_EQ(MenuBarItem(s, "删除标签")["accel"], "Delete");
  EXPECT_EQ(MenuBarItem(s, "重命名")["accel"], "F2");
  KeepWindowShot("desktop-label-menu.png");
  Key("Escape");
  ASSERT_TRUE(WaitFor([](const json& s) { return !s.contains("menubar"); })) << State().dump();
  Key("alt+a");
  ASSERT_TRUE(WaitFor([](const json& s) { return !MenuBarItem(s, "文章搜索...").is_null(); })) << State().dump();
  EXPECT_EQ(MenuBarItem(State(), "文章搜索...")["accel"], "<Primary>f");
  Key("Escape");
  ASSERT_TRUE(WaitFor([](const json& s) { return !s.contains("menubar"); }));

  // Insert: the add-label dialog; Escape closes it with nothing added.
  ClickOn(TreeItem(State(), "科技"), 1, 6);
  Key("Insert");
  ASSERT_TRUE(WaitFor([](const json& s) { return !s["modals"].empty() && s["modals"].back()["kind"] == "dialog"; }))
      << State().dump();
  EXPECT_EQ(State()["modals"].back()["title"], "添加标签...");
  Key("Escape");
  ASSERT_TRUE(WaitFor([](const json& s) { return s["modals"].empty(); })) << State().dump();

  // Delete on a label asks first; No keeps it.
  ClickOn(TreeItem(State(), "新闻"), 1, 6);
  Key("Delete");
  ASSERT_TRUE(WaitFor([](const json& s) { return !ModalPart(s, "message", "否(_N)").is_null(); })) << State().dump();
  ClickOn(ModalPart(State(), "message", "否(_N)")["rect"]);
  ASSERT_TRUE(WaitFor([](const json& s) { return s["modals"].empty(); }));
  EXPECT_EQ(Sql("SELECT count(*) FROM label WHERE name='新闻'"), "1");

  // The menu key opens the context menu of the label with the keyboard's focus.
  Key("Menu");
  ASSERT_TRUE(WaitFor([](const json& s) { return !ModalPart(s, "menu", "删除标签").is_null(); })) << State().dump();
  Key("Escape");
  ASSERT_TRUE(WaitFor([](const json& s) { return s["modals"].empty(); }));

  // F5 reads the label's articles again: one saved behind the program's back shows.
  ClickOn(TreeItem(State(), "科技"), 1, 6);
  ASSERT_TRUE(WaitFor([](const json& s) { return s["list"]["count"] == 3; }));
  ASSERT_EQ(Daru({"save", "https://example.com/later", "Later", "--label", "科技"}), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(State()["list"]["count"], 3);
  Key("F5");
  ASSERT_TRUE(WaitFor([](const json& s) { return s["list"]["count"] == 4; })) << State().dump();

  // In the list: Return opens the focused row, Ctrl+F the search dialog.
  ClickOn(TreeItem(State(), "科技"), 1, 6);
  ASSERT_TRUE(WaitFor([](const json& s) { return s["list"]["count"] == 4; }));
  json first;
  const json rows = State()["list"]["rows"];
  for (const json& row : rows)
    if (row["texts"][0] == "第一篇 Desktop") first = row;
  ASSERT_FALSE(first.is_null()) << State().dump();
  ClickOn(first, 3, 30);
  ASSERT_TRUE(WaitFor([](const json& s) { return !s["modals"].empty(); })) << State().dump();
  Key("Escape");
  ASSERT_TRUE(WaitFor([](const json& s) { return s["modals"].empty(); }));
  Key("Return");
  ASSERT_TRUE(WaitFor([](const json& s) {
    return s["pane"].get<std::string>().find("第一篇的描述：桌面上的文章") != std::string::npos;
  })) << State().dump();
  Key("ctrl+f");
  ASSERT_TRUE(WaitFor([](const json& s) { return !s["modals"].empty() && s["modals"].back()["kind"] == "dialog"; }))
      << State().dump();
  EXPECT_EQ(State()["modals"].back()["title"], "搜索资料库...");
  Key("Escape");
  ASSERT_TRUE(WaitFor([](const json& s) { return s["modals"].empty(); }));

  // Keys typed into the reading pane stay there: Delete in the pane removes no label or article.
  s = State();
  ClickOn(s["paneArea"]);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Key("Delete");
  Key("Insert");
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_TRUE(State()["modals"].empty()) << State().dump();
  EXPECT_EQ(Sql("SELECT count(*) FROM label WHERE name='科技'"), "1");
  Quit();
}

}  // namespace
