#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/ModalSession.h"
#include "platform/Resources.h"
#include "platform/ScriptedUser.h"
#include "platform/UserInteraction.h"

// A scripted user for the dialogs, and the label picker's image strip: the
// library's own when it has one, else a stand-in of the same shape (seven
// 16 x 15 images on magenta) behind it in the chain.
class DialogTest : public ::testing::Test {
 protected:
  DialogTest() : m_scope(&user) {
    if (AfxFindBitmap(54004) == nullptr) {
      CBitmapPixels strip;
      strip.width = 7 * 16;
      strip.height = 15;
      strip.pixels.assign(static_cast<size_t>(strip.width * strip.height), RGB(255, 0, 255));
      for (int image = 0; image < 7; ++image)
        for (int y = 3; y < 12; ++y)
          for (int x = 3; x < 13; ++x)
            strip.pixels[static_cast<size_t>(y * strip.width + image * 16 + x)] = RGB(0, 0, 40 * image);
      standIns.AddBitmap(54004, strip);
      AfxInsertResourceModule(&standIns);
      m_inserted = true;
    }
  }
  ~DialogTest() override {
    if (m_inserted) AfxRemoveResourceModule(&standIns);
  }

  void ExpectScriptDone() { EXPECT_EQ(user.PendingSteps(), 0u) << user.PendingDescription(); }

  // A control as the user sees it; fails the test when the dialog lacks it.
  static CModalSession::Control Seen(const CModalSession& d, unsigned id) {
    for (const CModalSession::Control& c : d.Controls())
      if (c.id == id) return c;
    ADD_FAILURE() << "no control " << id;
    return {};
  }

  CScriptedUser user;
  CResourceModule standIns{u"dialog test stand-ins"};

 private:
  CScopedUserInteraction m_scope;
  bool m_inserted = false;
};
