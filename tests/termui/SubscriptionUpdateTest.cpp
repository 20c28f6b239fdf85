// daru ui updating the subscriptions in the background (R), and F5 reading
// the labels again, with feeds served on 127.0.0.1.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "LocalHttpServer.h"
#include "ServedFeeds.h"
#include "TerminalHostFixture.h"

namespace {

// The end-to-end fixture with a feed server, the host's texts in English.
class SubscriptionUpdate : public TerminalHostEndToEnd {
 protected:
  std::unique_ptr<TmuxSession> Start() {
    return TerminalHostEndToEnd::Start(100, 30, {{"LANG", "C.UTF-8"}, {"LC_ALL", "C.UTF-8"}});
  }
  TempDir files;
  LocalHttpServer server;
};

TEST_F(SubscriptionUpdate, RUpdatesInTheBackgroundAndTheNewChannelLabelAppears) {
  const fs::path opml = ServeKappaLambdaAndAGoneFeed(server, files.path());
  ASSERT_EQ(Daru({"import", opml.string()}), 0);

  auto tmux = Start();
  std::string screen;
  ASSERT_TRUE(tmux->WaitForText("收藏的频道", &screen)) << screen;
  EXPECT_EQ(screen.find("Channel Kappa"), std::string::npos);
  tmux->Text("R");
  ASSERT_TRUE(tmux->WaitForText("正在更新订阅", &screen)) << screen;
  // The screen answers while the feed is on its way.
  tmux->Keys({"Down"});
  // The totals of the whole update, a feed that is gone among them.
  ASSERT_TRUE(tmux->WaitForText("订阅已更新: 3 篇新文章, 1 个失败", &screen)) << screen;
  // The channels' labels show without a restart.
  ASSERT_TRUE(tmux->WaitForText("Channel Kappa", &screen)) << screen;
  EXPECT_NE(screen.find("Channel Lambda"), std::string::npos) << screen;
  EXPECT_EQ(server.Hits("/kappa.rss"), 1);

  // A label another process adds shows after F5.
  ASSERT_EQ(Daru({"label", "add", "Omega 标签"}), 0);
  tmux->Keys({"F5"});
  ASSERT_TRUE(tmux->WaitForText("Omega 标签", &screen)) << screen;
  tmux->Text("q");
}

TEST_F(SubscriptionUpdate, TheMenusOfBothPanesStartTheSameUpdate) {
  LocalHttpServer::Response feed;
  feed.body =
      "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Channel Mu</title>"
      "<item><title>Mu one</title><link>https://mu.example/1</link></item></channel></rss>";
  feed.delayMs = 1000;  // still running when the second menu asks
  server.Serve("/mu.rss", feed);
  const fs::path opml = files.path() / "subs.opml";
  std::ofstream(opml) << "<opml version=\"2.0\"><body><outline type=\"rss\" text=\"M\" xmlUrl=\""
                      << server.Url("/mu.rss") << "\"/></body></opml>";
  ASSERT_EQ(Daru({"import", opml.string()}), 0);

  auto tmux = Start();
  std::string screen;
  ASSERT_TRUE(tmux->WaitForText("收藏的频道", &screen)) << screen;
  // The tree's menu (on a label): the host's item with R, above the help at the end.
  tmux->Keys({"Down", "F9"});
  ASSERT_TRUE(tmux->WaitForText("Update all subscriptions", &screen)) << screen;
  tmux->Keys({"End", "Up", "Enter"});
  ASSERT_TRUE(tmux->WaitForText("正在更新订阅", &screen)) << screen;
  // The list's menu has it too; while one runs, a second is not started.
  tmux->Keys({"Tab", "F9"});
  ASSERT_TRUE(tmux->WaitForText("Update all subscriptions", &screen)) << screen;
  tmux->Keys({"End", "Up", "Enter"});
  ASSERT_TRUE(tmux->WaitForText("订阅正在更新", &screen)) << screen;
  ASSERT_TRUE(tmux->WaitForText("订阅已更新: 1 篇新文章, 0 个失败", &screen)) << screen;
  ASSERT_TRUE(tmux->WaitForText("Channel Mu", &screen)) << screen;
  EXPECT_EQ(server.Hits("/mu.rss"), 1);
  tmux->Text("q");
}

}  // namespace
