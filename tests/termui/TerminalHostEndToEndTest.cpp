// daru ui end to end: the program in a tmux session of a fixed size on a data
// root made with daru itself, worked with keys and the mouse, checked on the
// screen, in the catalogue and in the terminal it leaves behind.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "TmuxSession.h"
#include "fixtures/TempDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kDaru = DARU_PROGRAM;

class TerminalHostEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RunProgram({"tmux", "-V"}) != 0) FAIL() << "tmux is needed (scripts/deps.sh installs it)";
    ASSERT_EQ(Daru({"init"}), 0);
  }

  int Daru(std::vector<std::string> args, std::string* out = nullptr) {
    args.insert(args.begin(), {kDaru, "--root", root.path().string()});
    return RunProgram(args, out);
  }

  std::unique_ptr<TmuxSession> Start(int cols = 80, int rows = 24, std::map<std::string, std::string> env = {}) {
    env.emplace("LANG", "C.UTF-8");
    env.emplace("LC_ALL", "C.UTF-8");
    env.emplace("ASAN_OPTIONS", "detect_leaks=1");
    return std::make_unique<TmuxSession>(std::vector<std::string>{kDaru, "--root", root.path().string(), "ui"}, cols,
                                         rows, env);
  }

  // One value from the catalogue, read past the program.
  std::string Sql(const std::string& query) {
    sqlite3* db = nullptr;
    std::string value;
    if (sqlite3_open_v2((root.path() / "DARU" / "darudb").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, query.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW &&
          sqlite3_column_text(st, 0) != nullptr)
        value = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return value;
  }

  // The program ended with the status and left the terminal as it found it.
  void ExpectCleanExit(TmuxSession& tmux, int status) {
    std::string screen;
    EXPECT_TRUE(tmux.WaitFor(
        [](const std::string& s) {
          const size_t exit = s.find("[exit ");
          return exit != std::string::npos && s.find("icanon", exit) != std::string::npos;
        },
        &screen))
        << screen;
    EXPECT_NE(screen.find("[exit " + std::to_string(status) + "]"), std::string::npos) << screen;
    // Cooked mode with echo, as the shell had it.
    EXPECT_NE(screen.find("icanon echo"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("-icanon"), std::string::npos) << screen;
    EXPECT_EQ(tmux.Format("#{mouse_any_flag}#{alternate_on}#{cursor_flag}"), "001");
  }

  TempDir root;
};

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
  const std::string pid = tmux->Format("#{pane_pid}");
  std::string children;
  RunProgram({"pgrep", "-P", pid, "-f", "daru"}, &children);
  ASSERT_FALSE(children.empty());
  ::kill(std::stoi(children), SIGTERM);
  ExpectCleanExit(*tmux, 0);
}

}  // namespace
