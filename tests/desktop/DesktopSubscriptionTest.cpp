// daru-desktop updating the subscriptions from its menu bar while the window
// goes on, with feeds served on 127.0.0.1.

#include <cstdlib>

#include "DesktopFixture.h"
#include "LocalHttpServer.h"
#include "ServedFeeds.h"

using namespace desktoptest;

namespace {

class DesktopSubscriptions : public DesktopEndToEnd {
 protected:
  // daru, which the window starts for the update, found on the PATH as an installed one would be beside it.
  void StartWithDaru() {
    const std::string path = fs::path(kDaru).parent_path().string() + ":" + std::getenv("PATH");
    Start({{"PATH", path}});
  }

  static json MenuBarItem(const json& s, const std::string& label) {
    if (!s.contains("menubar")) return json();
    for (const json& i : s["menubar"])
      if (i["label"] == label) return i;
    return json();
  }

  static bool StatusHas(const json& s, const std::string& text) {
    return s["status"].get<std::string>().find(text) != std::string::npos;
  }

  TempDir files;
  LocalHttpServer server;
};

TEST_F(DesktopSubscriptions, TheUpdateRunsBehindTheWindowAndItsChannelsShowWhenItEnds) {
  const fs::path opml = ServeKappaLambdaAndAGoneFeed(server, files.path());
  ASSERT_EQ(Daru({"import", opml.string()}), 0);
  ASSERT_EQ(Daru({"label", "add", "科技"}), 0);

  StartWithDaru();
  EXPECT_TRUE(TreeItem(State(), "Channel Kappa").is_null());
  // The file menu offers it, with its key.
  ASSERT_EQ(Xdo({"key", "alt+f"}), 0);
  ASSERT_TRUE(WaitFor([](const json& s) { return !MenuBarItem(s, "更新所有订阅(_U)").is_null(); })) << State().dump();
  EXPECT_EQ(MenuBarItem(State(), "更新所有订阅(_U)")["accel"], "<Primary>r");
  ClickOn(MenuBarItem(State(), "更新所有订阅(_U)")["rect"]);
  ASSERT_TRUE(WaitFor([](const json& s) { return s["updating"] == true && StatusHas(s, "正在更新订阅"); }))
      << State().dump();

  // The window answers while a feed is on its way; a second start is refused.
  ClickOn(TreeItem(State(), "科技"), 1, 6);
  ASSERT_TRUE(WaitFor([](const json& s) { return TreeItem(s, "科技")["selected"] == true; })) << State().dump();
  EXPECT_TRUE(State()["updating"].get<bool>()) << "the feed is still on its way";
  ASSERT_EQ(Xdo({"key", "ctrl+r"}), 0);
  ASSERT_TRUE(WaitFor([](const json& s) { return StatusHas(s, "订阅正在更新"); })) << State().dump();

  // The totals of the whole update, the feed that is gone among them; the channels show without a restart.
  ASSERT_TRUE(WaitFor([](const json& s) { return StatusHas(s, "订阅已更新: 3 篇新文章, 1 个失败"); }))
      << State().dump();
  ASSERT_TRUE(WaitFor([](const json& s) {
    return s["updating"] == false && !TreeItem(s, "Channel Kappa").is_null() &&
           !TreeItem(s, "Channel Lambda").is_null();
  })) << State().dump();
  EXPECT_EQ(server.Hits("/kappa.rss"), 1);
  // The label shown before stays shown, and a channel's articles list.
  EXPECT_TRUE(TreeItem(State(), "科技")["selected"].get<bool>()) << State().dump();
  ClickOn(TreeItem(State(), "Channel Kappa"), 1, 6);
  ASSERT_TRUE(WaitFor([](const json& s) { return s["list"]["count"] == 2; })) << State().dump();
  KeepWindowShot("desktop-updated.png");
  Quit();
}

}  // namespace
