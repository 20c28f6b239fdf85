// Every message box the windows can show, walked in their sources: each one
// goes through the windows' one message call with the caption "系统提示", a
// question with Yes and No and the question icon, anything else with OK only.
// The tree and list suites show the boxes themselves in their scenarios.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/ScriptedUser.h"
#include "ui/dialogs/WindowMessage.h"

namespace fs = std::filesystem;

namespace {

std::string Source(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A question asks: its text ends in a question mark.
bool IsQuestion(const std::string& text) {
  return text.ends_with("?") || text.ends_with("？") || text.ends_with("吗") || text.ends_with("吗?");
}

}  // namespace

TEST(WindowMessages, EveryBoxOfTheWindowsHasTheCaptionAndItsButtons) {
  const fs::path ui = fs::path(DARU_SOURCE_DIR) / "ui";
  ASSERT_TRUE(fs::is_directory(ui)) << ui;
  int walked = 0, questions = 0;
  std::string asked;
  for (const auto& entry : fs::recursive_directory_iterator(ui)) {
    if (entry.path().extension() != ".cpp") continue;
    const std::string text = Source(entry.path());
    EXPECT_EQ(text.find("MessageBox("), std::string::npos)
        << entry.path() << " shows a box without the windows' caption";
    const std::string call = "WindowMessage(";
    for (size_t at = text.find(call); at != std::string::npos; at = text.find(call, at + 1)) {
      // The text's first literal, and the rest of the statement.
      size_t open = text.find("u\"", at);
      const size_t close = open == std::string::npos ? open : text.find('"', open + 2);
      const size_t end = text.find(';', at);
      ASSERT_TRUE(open != std::string::npos && close != std::string::npos && end != std::string::npos && close < end)
          << entry.path() << " at " << at;
      ++walked;
      const std::string message = text.substr(open + 2, close - open - 2);
      const std::string rest = text.substr(close + 1, end - close - 1);
      const std::string where = entry.path().filename().string() + ": " + message;
      if (IsQuestion(message)) {
        ++questions;
        asked += where + "\n";
        EXPECT_NE(rest.find("MB_YESNO | MB_ICONQUESTION"), std::string::npos) << where;
      } else {
        EXPECT_EQ(rest.find("MB_"), std::string::npos) << where << " is no question but has buttons " << rest;
      }
    }
  }
  // Every message box the windows have, questions and the rest.
  EXPECT_GE(walked, 20);
  EXPECT_EQ(questions, 5) << asked;

  // And the call shows them with the caption.
  CScriptedUser user;
  CScopedUserInteraction scope(&user);
  user.AnswerMessageBox(IDYES).AnswerMessageBox(IDOK);
  EXPECT_EQ(WindowMessage(u"问?", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(WindowMessage(u"错误"), IDOK);
  ASSERT_EQ(user.Events().size(), 2u);
  EXPECT_EQ(user.Events()[0].caption, u"系统提示");
  EXPECT_EQ(user.Events()[0].type, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(user.Events()[1].caption, u"系统提示");
  EXPECT_EQ(user.Events()[1].type, MB_OK);
}
