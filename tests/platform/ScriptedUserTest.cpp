#include <gtest/gtest.h>

#include "PlatformFixture.h"
#include "base/TextConv.h"
#include "platform/MessageBox.h"

namespace {

class CountingHandler : public IUserInteraction {
 public:
  int calls = 0;
  int MessageBox(const std::u16string&, const std::u16string&, UINT) override {
    ++calls;
    return IDYES;
  }
};

}  // namespace

TEST(UserInteraction, HandlersThatOnlyAnswerMessageBoxesDismissEverythingElse) {
  CountingHandler handler;
  CScopedUserInteraction scope(&handler);
  EXPECT_EQ(AfxMessageBox(u"?", MB_YESNO), IDYES);
  EXPECT_EQ(handler.calls, 1);
  EXPECT_EQ(GetUserInteraction()->TrackPopupMenu(CPopupMenuView()), 0u);
}

TEST(UserInteraction, NobodyThereAnswersWithTheHarmlessButton) {
  CScopedUserInteraction scope(nullptr);
  EXPECT_EQ(AfxMessageBox(u"删除?", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(MessageBox(nullptr, u"x", u"系统提示", MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(AfxMessageBox(u"done"), IDOK);
}

TEST(ScriptedUser, AnswersInOrderAndRecordsWhatItWasShown) {
  CScriptedUser user;
  CScopedUserInteraction scope(&user);
  user.AnswerMessageBox(IDYES, u"删除吗?").AnswerMessageBox(IDOK);
  EXPECT_EQ(MessageBox(nullptr, u"删除吗?", u"系统提示", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(AfxMessageBox(u"完成"), IDOK);
  ASSERT_EQ(user.Events().size(), 2u);
  EXPECT_EQ(user.Events()[0].caption, u"系统提示");
  EXPECT_EQ(user.Events()[0].type, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(user.MessageTexts(), (std::vector<std::u16string>{u"删除吗?", u"完成"}));
  EXPECT_NE(user.Transcript().find("删除吗?"), std::string::npos);
  EXPECT_EQ(user.PendingSteps(), 0u);
}

TEST(ScriptedUser, FailsClearlyWhenTheCodeAsksSomethingUnscripted) {
  CScriptedUser user;
  CScopedUserInteraction scope(&user);
  try {
    AfxMessageBox(u"意外的问题");
    FAIL() << "no error";
  } catch (const CScriptedUserError& e) {
    EXPECT_NE(std::string(e.what()).find("意外的问题"), std::string::npos);
  }
  user.AnswerMessageBox(IDYES);
  EXPECT_THROW(AfxMessageBox(u"只有确定"), CScriptedUserError);  // an OK-only box has no Yes
  user.AnswerMessageBox(IDOK, u"期望的");
  EXPECT_THROW(AfxMessageBox(u"别的"), CScriptedUserError);
  user.PickMenuItem(5);
  try {
    AfxMessageBox(u"抢先");
    FAIL() << "no error";
  } catch (const CScriptedUserError& e) {
    EXPECT_NE(std::string(e.what()).find("pick 5 from a popup menu"), std::string::npos);
  }
  EXPECT_EQ(user.PendingSteps(), 1u);
}
