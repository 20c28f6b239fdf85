#pragma once

// The desktop suites' fixture: one Xvfb server for the suite, a data root made
// with daru, daru-desktop started on it, its state report read, and the
// pointer, keys and screenshots through xdotool and ImageMagick.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <thread>

#include "XServer.h"
#include "fixtures/CatalogueFile.h"
#include "fixtures/TempDir.h"
#include "shared/HostPlatform.h"

namespace desktoptest {

namespace fs = std::filesystem;
using nlohmann::json;

inline const std::string kDaru = DARU_PROGRAM;
inline const std::string kDesktop = DARU_DESKTOP_PROGRAM;

// GTK, GLib, fontconfig and WebKit keep caches for the life of the process
// and free them never; those are theirs, not ours.
inline const std::string kLeakSuppressions = std::string(DARU_SOURCE_DIR) + "/tests/desktop/system-libraries.supp";

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

  std::string Sql(const std::string& query) { return CatalogueText(dir.path(), query); }

  void Exec(const std::string& statement) { CatalogueExec(dir.path(), statement); }

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
    // Up once both windows have drawn: the scroll bars take their range from the first frame.
    ASSERT_TRUE(WaitFor([](const json& s) {
      return s.contains("tree") && !s["tree"]["items"].empty() && s["tree"]["frames"].get<int>() > 0 &&
             s["list"]["frames"].get<int>() > 0;
    })) << program->Log();
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

  // Keeps the main window as it looks now in the build folder, for a person to look at.
  void KeepWindowShot(const std::string& name) {
    const json w = State()["window"];
    if (!w.is_object()) return;
    RunTool({"import", "-window", "root", "-crop",
             std::to_string(w["w"].get<int>()) + "x" + std::to_string(w["h"].get<int>()) + "+" +
                 std::to_string(w["x"].get<int>()) + "+" + std::to_string(w["y"].get<int>()),
             "+repage", (fs::path(DARU_BINARY_DIR) / name).string()},
            {{"DISPLAY", server->Display()}});
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

inline bool IsRed(const Screenshot::Pixel& p) { return p.r > 170 && p.g < 90 && p.b < 90; }

}  // namespace desktoptest
