#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ModalSession.h"
#include "platform/ScriptedUser.h"
#include "platform/UserInteraction.h"

// A scripted user for the dialogs, installed for the test.
class DialogTest : public ::testing::Test {
 protected:
  DialogTest() : m_scope(&user) {}

  void ExpectScriptDone() { EXPECT_EQ(user.PendingSteps(), 0u) << user.PendingDescription(); }

  // A control as the user sees it; fails the test when the dialog lacks it.
  static CModalSession::Control Seen(const CModalSession& d, unsigned id) {
    for (const CModalSession::Control& c : d.Controls())
      if (c.id == id) return c;
    ADD_FAILURE() << "no control " << id;
    return {};
  }

  CScriptedUser user;

 private:
  CScopedUserInteraction m_scope;
};
