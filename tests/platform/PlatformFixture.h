#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/Resources.h"
#include "platform/ScriptedUser.h"
#include "platform/TestState.h"
#include "platform/Wnd.h"

// A test with a host frame window for controls to live in, a scripted user
// installed, and a resource module of its own at the front of the chain.
class PlatformTest : public ::testing::Test {
 protected:
  PlatformTest() : m_scope(&user) {
    DaruResetPlatformState();
    frame.CreateHost(u"frame", CRect(100, 50, 900, 650));
    AfxInsertResourceModule(&resources, true);
  }
  ~PlatformTest() override {
    AfxRemoveResourceModule(&resources);
    DaruResetPlatformState();
  }

  // Fails the test when the script still has steps the code never asked for.
  void ExpectScriptDone() { EXPECT_EQ(user.PendingSteps(), 0u) << user.PendingDescription(); }

  CScriptedUser user;
  CHostWnd frame;
  CResourceModule resources{u"test"};

 private:
  CScopedUserInteraction m_scope;
};
