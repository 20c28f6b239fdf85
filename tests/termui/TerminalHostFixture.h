#pragma once

// The fixture of the daru ui end-to-end suites: the program in a tmux session
// of a fixed size on a data root made with daru itself, worked with keys and
// the mouse, checked on the screen, in the catalogue and in the terminal it
// leaves behind.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TmuxSession.h"
#include "fixtures/CatalogueFile.h"
#include "fixtures/TempDir.h"
#include "terminal/TextCells.h"

namespace fs = std::filesystem;

// The daru under test; DARU_UI_TEST_PROGRAM runs the suite against another build of it.
const std::string kDaru = std::getenv("DARU_UI_TEST_PROGRAM") ? std::getenv("DARU_UI_TEST_PROGRAM") : DARU_PROGRAM;

class TerminalHostEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RunProgram({"tmux", "-V"}) != 0) FAIL() << "tmux is needed (scripts/deps.sh installs it)";
    // Screen columns are counted as the terminal counts them.
    ASSERT_TRUE(termui::UseUtf8Locale());
    ASSERT_EQ(Daru({"init"}), 0);
  }

  int Daru(std::vector<std::string> args, std::string* out = nullptr) {
    args.insert(args.begin(), {kDaru, "--root", root.path().string()});
    return RunProgram(args, out);
  }

  std::unique_ptr<TmuxSession> Start(int cols = 80, int rows = 24, std::map<std::string, std::string> env = {}) {
    // The host's own texts in Chinese, as the suite reads them; characters in UTF-8
    // whether or not a zh locale is installed.
    env.emplace("LANG", "zh_CN.UTF-8");
    env.emplace("LC_ALL", "");
    env.emplace("LC_CTYPE", "C.UTF-8");
    env.emplace("ASAN_OPTIONS", "detect_leaks=1");
    return std::make_unique<TmuxSession>(std::vector<std::string>{kDaru, "--root", root.path().string(), "ui"}, cols,
                                         rows, env);
  }

  // One value from the catalogue, read past the program.
  std::string Sql(const std::string& query) { return CatalogueText(root.path(), query); }

  void Exec(const std::string& statement) { CatalogueExec(root.path(), statement); }

  // A library to work in: labels 科技 (#4) and 新闻 (#5) under the head label, and under
  // 科技 three unread articles created a day apart: 第三篇 中文 newest, then Alpha, then Beta.
  void MakeLibrary() {
    ASSERT_EQ(Daru({"label", "add", "科技"}), 0);
    ASSERT_EQ(Daru({"label", "add", "新闻"}), 0);
    ASSERT_EQ(Daru({"save", "https://example.com/beta", "Beta 文章", "--label", "科技", "--keywords", "kb"}), 0);
    ASSERT_EQ(Daru({"save", "https://example.com/alpha", "Alpha 文章", "--label", "科技", "--keywords", "ka"}), 0);
    ASSERT_EQ(
        Daru({"save", "https://example.com/third", "第三篇 中文", "--label", "科技", "--description", "第三篇的描述"}),
        0);
    Exec(
        "UPDATE article SET readflag='F', impflag='F';"
        "UPDATE article SET crdate=1796600000 WHERE title='Beta 文章';"
        "UPDATE article SET crdate=1796686400 WHERE title='Alpha 文章';"
        "UPDATE article SET crdate=1796772800 WHERE title='第三篇 中文';");
  }

  // Clicks the text where the screen shows it; fails the test when it is not there.
  void ClickOn(TmuxSession& tmux, const std::string& text, int button = 0) {
    std::string screen;
    ASSERT_TRUE(tmux.WaitForText(text, &screen)) << text << " not on\n" << screen;
    const auto [x, y] = tmux.Find(text);
    tmux.Click(x + 1, y, button);
  }

  // The rows of the screen on which the texts show, in screen order.
  static std::vector<int> LinesOf(TmuxSession& tmux, const std::vector<std::string>& texts) {
    std::vector<int> lines;
    for (const std::string& t : texts) lines.push_back(tmux.Find(t).second);
    return lines;
  }

  // The program's process: the child of the pane's shell.
  static pid_t ProgramPid(TmuxSession& tmux) {
    const std::string shell = tmux.Format("#{pane_pid}");
    std::ifstream children("/proc/" + shell + "/task/" + shell + "/children");
    pid_t pid = -1;
    children >> pid;
    return pid;
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
