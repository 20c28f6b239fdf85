// Every message box the windows can show, walked in their sources: each one
// goes through the windows' one message call with the caption "系统提示", a
// question with Yes and No and the question icon, anything else with OK only.
// The tree and list suites show the boxes themselves in their scenarios.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
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
  // A call, its text's first literal, and the rest of the statement.
  const std::regex call(R"re(WindowMessage\(\s*(?:Fmt\()?u"([^"]*)"([^;]*);)re");
  const std::regex other(R"re(\b(?:Afx)?MessageBox\()re");
  int walked = 0, questions = 0;
  for (const auto& entry : fs::recursive_directory_iterator(ui)) {
    if (entry.path().extension() != ".cpp") continue;
    const std::string text = Source(entry.path());
    EXPECT_FALSE(std::regex_search(text, other)) << entry.path() << " shows a box without the windows' caption";
    for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it) {
      ++walked;
      const std::string message = (*it)[1];
      const std::string rest = (*it)[2];
      const std::string where = entry.path().filename().string() + ": " + message;
      if (IsQuestion(message)) {
        ++questions;
        EXPECT_NE(rest.find("MB_YESNO | MB_ICONQUESTION"), std::string::npos) << where;
      } else {
        EXPECT_EQ(rest.find("MB_"), std::string::npos) << where << " is no question but has buttons " << rest;
      }
    }
  }
  // Every message box the windows have, questions and the rest.
  EXPECT_GE(walked, 20);
  EXPECT_EQ(questions, 5);

  // And the call shows them with the caption.
  CScriptedUser user;
  user.AnswerMessageBox(IDYES).AnswerMessageBox(IDOK);
  EXPECT_EQ(WindowMessage(u"问?", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(WindowMessage(u"错误"), IDOK);
  ASSERT_EQ(user.Events().size(), 2u);
  EXPECT_EQ(user.Events()[0].caption, u"系统提示");
  EXPECT_EQ(user.Events()[0].type, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(user.Events()[1].caption, u"系统提示");
  EXPECT_EQ(user.Events()[1].type, MB_OK);
}
