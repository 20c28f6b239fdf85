// daru-desktop end to end: the program on an Xvfb server of the suite's own,
// on a data root made with daru, worked with the pointer and keys through
// xdotool, and checked in the catalogue, in the state the program reports
// (where its windows stand) and in screenshots where a look matters.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "XServer.h"
#include "fixtures/TempDir.h"
#include "shared/HostPlatform.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const std::string kDaru = DARU_PROGRAM;
const std::string kDesktop = DARU_DESKTOP_PROGRAM;

// GTK, GLib, fontconfig and WebKit keep caches for the life of the process
// and free them never; those are theirs, not ours.
const std::string kLeakSuppressions = std::string(DARU_SOURCE_DIR) + "/tests/desktop/system-libraries.supp";

class DesktopEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server = new XServer;
    std::string error;
    if (!server->Start(1280, 900, &error)) {
      delete server;
      server = nullptr;
      startError = error;
    }
  }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(server, nullptr) << startError;
    ASSERT_TRUE(OnPath("xdotool")) << "xdotool is needed (scripts/deps.sh installs it)";
    ASSERT_TRUE(OnPath("import")) << "ImageMagick's import is needed (scripts/deps.sh installs imagemagick)";
    ASSERT_EQ(Daru({"init"}), 0);
  }

  void TearDown() override {
    if (program && program->Running()) {
      program->Signal(SIGTERM);
      program->Wait(std::chrono::seconds(20));
    }
  }

  int Daru(std::vector<std::string> args) {
    args.insert(args.begin(), {kDaru, "--root", dir.path().string()});
    return RunTool(args, {{"LANG", "C.UTF-8"}});
  }

  std::string Sql(const std::string& query) {
    sqlite3* db = nullptr;
    std::string value;
    if (sqlite3_open_v2((dir.path() / "DARU" / "darudb").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, query.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW &&
          sqlite3_column_text(st, 0) != nullptr)
        value = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return value;
  }

  void Exec(const std::string& statement) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir.path() / "DARU" / "darudb").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }

  // Labels 科技 and 新闻 under the head label; under 科技 three articles, the
  // second important and the third read.
  void MakeLibrary() {
    ASSERT_EQ(Daru({"label", "add", "科技"}), 0);
    ASSERT_EQ(Daru({"label", "add", "新闻"}), 0);
    ASSERT_EQ(Daru({"save", "https://example.com/one", "第一篇 Desktop", "--label", "科技", "--keywords", "gtk",
                    "--description", "第一篇的描述：桌面上的文章"}),
              0);
    ASSERT_EQ(Daru({"save", "https://example.com/two", "重要的第二篇", "--label", "科技", "--description", "重要"}), 0);
    ASSERT_EQ(Daru({"save", "https://example.com/three", "Third article", "--label", "科技"}), 0);
    Exec("UPDATE article SET impflag=1 WHERE url='https://example.com/two'");
    // daru files what it saves as read; the first two are new to the reader.
    Exec("UPDATE article SET readflag='F' WHERE url<>'https://example.com/three'");
  }

  void Start(std::map<std::string, std::string> extra = {}) {
    std::map<std::string, std::string> env{
        {"DISPLAY", server->Display()},
        {"DARU_DESKTOP_STATE", (dir.path() / "state.json").string()},
        {"XDG_CONFIG_HOME", (dir.path() / "config").string()},
        {"LANG", "C.UTF-8"},
        {"NO_AT_BRIDGE", "1"},
        {"GTK_A11Y", "none"},
        {"WEBKIT_DISABLE_COMPOSITING_MODE", "1"},
        {"LSAN_OPTIONS", "suppressions=" + kLeakSuppressions + ":print_suppressions=0"},
    };
    for (auto& [k, v] : extra) env[k] = v;
    program = std::make_unique<Process>(std::vector<std::string>{kDesktop, "--root", dir.path().string()}, env,
                                        dir.path() / "desktop.log");
    ASSERT_TRUE(WaitFor([](const json& s) { return s.contains("tree") && !s["tree"]["items"].empty(); }))
        << program->Log();
  }

  json State() {
    std::ifstream in(dir.path() / "state.json");
    json s = json::parse(in, nullptr, false);
    return s.is_discarded() ? json::object() : s;
  }

  bool WaitFor(const std::function<bool(const json&)>& test,
               std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
      const json s = State();
      if (!s.empty() && test(s)) return true;
      if (!program->Running()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  static json TreeItem(const json& s, const std::string& text) {
    for (const json& i : s["tree"]["items"])
      if (i["text"] == text) return i;
    return json();
  }

  static json ModalPart(const json& s, const std::string& kind, const std::string& label, UINT id = 0) {
    if (s["modals"].empty() || s["modals"].back()["kind"] != kind) return json();
    for (const json& p : s["modals"].back()["parts"])
      if ((label.empty() || p["label"] == label) && (id == 0 || p["id"] == id) && p.contains("rect")) return p;
    return json();
  }

  int Xdo(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunTool(argv, {{"DISPLAY", server->Display()}});
  }

  // Clicks the middle of a rectangle of the state report (a little in from the left for rows and labels).
  void ClickOn(const json& r, int button = 1, int dx = -1) {
    ASSERT_TRUE(r.is_object() && r.contains("x")) << r.dump();
    const int x = r["x"].get<int>() + (dx >= 0 ? dx : r["w"].get<int>() / 2);
    const int y = r["y"].get<int>() + r["h"].get<int>() / 2;
    ASSERT_EQ(Xdo({"mousemove", "--sync", std::to_string(x), std::to_string(y)}), 0);
    ASSERT_EQ(Xdo({"click", std::to_string(button)}), 0);
  }

  Screenshot Shot() {
    const fs::path ppm = dir.path() / "shot.ppm";
    EXPECT_EQ(RunTool({"import", "-window", "root", "-depth", "8", ppm.string()}, {{"DISPLAY", server->Display()}}), 0);
    Screenshot shot;
    EXPECT_TRUE(shot.Load(ppm));
    return shot;
  }

  // How many pixels in the rectangle satisfy the test.
  template <typename F>
  static int Count(const Screenshot& shot, const json& r, F test) {
    int n = 0;
    for (int y = r["y"].get<int>(); y < r["y"].get<int>() + r["h"].get<int>(); ++y)
      for (int x = r["x"].get<int>(); x < r["x"].get<int>() + r["w"].get<int>(); ++x) n += test(shot.At(x, y)) ? 1 : 0;
    return n;
  }

  // Ends the program with Ctrl-Q and expects a clean exit.
  void Quit() {
    ASSERT_EQ(Xdo({"key", "ctrl+q"}), 0);
    const int status = program->Wait(std::chrono::seconds(30));
    EXPECT_EQ(status, 0) << program->Log();
    EXPECT_EQ(program->Log().find("LeakSanitizer"), std::string::npos) << program->Log();
  }

  static inline XServer* server = nullptr;
  static inline std::string startError;
  TempDir dir;
  std::unique_ptr<Process> program;
};

bool IsRed(const Screenshot::Pixel& p) { return p.r > 170 && p.g < 90 && p.b < 90; }

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
