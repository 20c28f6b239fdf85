// daru subscribe, feeds, update and unsubscribe against feeds served on
// 127.0.0.1: validators and 304, failing, slow, redirected and gzipped feeds.

#include <chrono>

#include "HostFixture.h"
#include "LocalHttpServer.h"

using nlohmann::json;

namespace {

std::string Item(const std::string& title, const std::string& link, const std::string& date = "") {
  return "<item><title>" + title + "</title><link>" + link + "</link>" +
         (date.empty() ? "" : "<pubDate>" + date + "</pubDate>") + "</item>";
}

std::string Rss(const std::string& title, const std::string& items) {
  return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + title +
         "</title><link>https://site.example/</link>" + items + "</channel></rss>";
}

class Subscriptions : public DaruRootTest {
 protected:
  LocalHttpServer::Response Feed(const std::string& body, const std::string& etag = "",
                                 const std::string& lastModified = "") {
    LocalHttpServer::Response r;
    r.body = body;
    r.etag = etag;
    r.lastModified = lastModified;
    return r;
  }
  json Row(long long articleid) { return DaruJson({"show", std::to_string(articleid)})["article"]; }
  LocalHttpServer server;
};

TEST_F(Subscriptions, SubscribeFilesItemsUnreadAndDatedByTheFeed) {
  server.Serve("/news.rss",
               Feed(Rss("Daily News", Item("Newest", "https://site.example/3", "Wed, 03 Jan 2024 10:00:00 +0100") +
                                          Item("Undated", "https://site.example/2") +
                                          Item("Oldest", "https://site.example/1", "2024-01-01T09:00:00Z")),
                    "\"v1\""));
  json sub = DaruJson({"subscribe", server.Url("/news.rss")})["subscription"];
  EXPECT_EQ(sub["new"], 3);
  EXPECT_EQ(sub["label"]["name"], "Daily News");
  EXPECT_EQ(sub["label"]["parent"], 2);
  EXPECT_EQ(sub["title"], "Daily News");

  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE readflag='F' AND type='A'"), 3);
  EXPECT_EQ(Scalar("SELECT crdate FROM article WHERE url='https://site.example/3'"), 1704272400);
  EXPECT_EQ(Scalar("SELECT crdate FROM article WHERE url='https://site.example/1'"), 1704099600);
  // Without a date the item is dated at the update, so it stands above the older ones.
  const long long now =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  EXPECT_NEAR(static_cast<double>(Scalar("SELECT crdate FROM article WHERE url='https://site.example/2'")),
              static_cast<double>(now), 120.0);
  // The feed data keeps the date as the feed wrote it.
  json shown = Row(Scalar("SELECT articleid FROM article WHERE url='https://site.example/3'"));
  EXPECT_EQ(shown["read"], false);

  json feeds = DaruJson({"feeds"})["subscriptions"];
  ASSERT_EQ(feeds.size(), 1u);
  EXPECT_EQ(feeds[0]["url"], server.Url("/news.rss"));
  EXPECT_EQ(feeds[0]["items"], 3);
  EXPECT_EQ(feeds[0]["unread"], 3);
  EXPECT_EQ(feeds[0]["last_error"], "");
  EXPECT_NE(feeds[0]["last_update"], "");

  // A second subscription to the address is refused, and nothing is fetched for it.
  const int hits = server.Hits("/news.rss");
  DaruRun again = Daru({"subscribe", server.Url("/news.rss")});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("already subscribed"), std::string::npos) << again.err;
  EXPECT_EQ(server.Hits("/news.rss"), hits);
}

TEST_F(Subscriptions, UpdateSendsValidatorsAndFilesOnlyNewItems) {
  server.Serve("/etag.rss", Feed(Rss("E", Item("e1", "https://e.example/1")), "\"e-1\""));
  server.Serve("/date.rss", Feed(Rss("D", Item("d1", "https://d.example/1")), "", "Mon, 01 Jan 2024 00:00:00 GMT"));
  server.Serve("/plain.rss", Feed(Rss("P", Item("p1", "https://p.example/1"))));
  for (const char* path : {"/etag.rss", "/date.rss", "/plain.rss"})
    ASSERT_EQ(Daru({"subscribe", server.Url(path)}).status, 0);

  json first = DaruJson({"update"});
  EXPECT_EQ(first["failed"], 0);
  EXPECT_EQ(first["not_modified"], 2);
  EXPECT_EQ(first["new"], 0);
  EXPECT_NE(server.LastRequest("/etag.rss").find("If-None-Match: \"e-1\""), std::string::npos);
  EXPECT_NE(server.LastRequest("/date.rss").find("If-Modified-Since: Mon, 01 Jan 2024 00:00:00 GMT"),
            std::string::npos);
  EXPECT_EQ(server.NotModified("/etag.rss"), 1);
  EXPECT_EQ(server.NotModified("/date.rss"), 1);

  // The feed changes: its new validator and its new item are taken, the old item is not doubled.
  server.Serve("/etag.rss",
               Feed(Rss("E", Item("e2", "https://e.example/2") + Item("e1", "https://e.example/1")), "\"e-2\""));
  json second = DaruJson({"update"});
  EXPECT_EQ(second["new"], 1);
  for (const json& f : second["feeds"])
    if (f["url"] == server.Url("/etag.rss")) {
      EXPECT_EQ(f["result"], "updated");
      EXPECT_EQ(f["new"], 1);
      EXPECT_EQ(f["already_stored"], 1);
    }
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE url LIKE 'https://e.example/%'"), 2);
  DaruJson({"update", "1"});
  EXPECT_EQ(server.NotModified("/etag.rss"), 2);
}

TEST_F(Subscriptions, FailingFeedsAreReportedAndTheOthersStillUpdate) {
  server.Serve("/good.rss", Feed(Rss("Good", Item("g1", "https://g.example/1"))));
  server.Serve("/flaky.rss", Feed(Rss("Flaky", Item("f1", "https://f.example/1"))));
  server.Serve("/slow.rss", Feed(Rss("Slow", Item("s1", "https://s.example/1"))));
  server.Serve("/zipped.rss", Feed(Rss("Zipped", Item("z1", "https://z.example/1"))));
  for (const char* path : {"/good.rss", "/flaky.rss", "/slow.rss", "/zipped.rss"})
    ASSERT_EQ(Daru({"subscribe", server.Url(path)}).status, 0);

  server.Serve("/good.rss", Feed(Rss("Good", Item("g2", "https://g.example/2") + Item("g1", "https://g.example/1"))));
  server.Serve("/flaky.rss", {500, "broken", "", 0, true});
  LocalHttpServer::Response slow = Feed(Rss("Slow", Item("s2", "https://s.example/2")));
  slow.delayMs = 4000;
  server.Serve("/slow.rss", slow);
  LocalHttpServer::Response zipped = Feed(Rss("Zipped", Item("z2", "https://z.example/2")));
  zipped.gzip = true;
  server.Serve("/zipped.rss", zipped);

  DaruRun run = Daru({"update", "--timeout", "1", "--json"});
  EXPECT_EQ(run.status, 1) << run.err;
  json report = run.Json();
  EXPECT_EQ(report["failed"], 2);
  std::map<std::string, json> by;
  for (const json& f : report["feeds"]) by[f["title"]] = f;
  EXPECT_EQ(by["Good"]["result"], "updated");
  EXPECT_EQ(by["Good"]["new"], 1);
  EXPECT_EQ(by["Zipped"]["new"], 1);
  EXPECT_EQ(by["Flaky"]["result"], "failed");
  EXPECT_NE(by["Flaky"]["reason"].get<std::string>().find("500"), std::string::npos);
  EXPECT_EQ(by["Slow"]["result"], "failed");
  EXPECT_NE(by["Slow"]["reason"].get<std::string>().find("1 seconds"), std::string::npos);

  // The failure is kept with the subscription and cleared by the next good fetch.
  json feeds = DaruJson({"feeds"})["subscriptions"];
  for (const json& f : feeds)
    if (f["title"] == "Flaky") {
      EXPECT_NE(f["last_error"].get<std::string>().find("500"), std::string::npos);
    }
  server.Serve("/flaky.rss", Feed(Rss("Flaky", Item("f1", "https://f.example/1"))));
  EXPECT_EQ(DaruJson({"update", server.Url("/flaky.rss")})["failed"], 0);
  const json after = DaruJson({"feeds"})["subscriptions"];
  for (const json& f : after)
    if (f["title"] == "Flaky") {
      EXPECT_EQ(f["last_error"], "");
    }

  // A piped run prints no progress line.
  EXPECT_EQ(run.err.find('\r'), std::string::npos);
}

TEST_F(Subscriptions, ARedirectedFeedIsFollowedAndFiledUnderTheChosenLabel) {
  server.Serve("/old", {301, "", "/new.rss", 0, true});
  server.Serve("/new.rss", Feed(Rss("Moved", "<item><title>rel</title><link>/a</link></item>")));
  ASSERT_EQ(Daru({"label", "add", "读物"}).status, 0);
  json sub = DaruJson({"subscribe", server.Url("/old"), "--label", "读物"})["subscription"];
  EXPECT_EQ(sub["label"]["name"], "读物");
  EXPECT_EQ(sub["url"], server.Url("/old"));  // the address as subscribed stays
  // Relative links resolve against where the feed was found.
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE url='" + server.Url("/a") + "'"), 1);
  EXPECT_EQ(Scalar("SELECT count(*) FROM label WHERE name='Moved'"), 0);

  // Not a feed, not http: refused, and nothing kept.
  server.Serve("/page", {200, "<html><body>hi</body></html>", "", 0, true});
  EXPECT_EQ(Daru({"subscribe", server.Url("/page")}).status, 1);
  EXPECT_EQ(Daru({"subscribe", "file:///etc/passwd"}).status, 2);
  EXPECT_EQ(DaruJson({"feeds"})["subscriptions"].size(), 1u);
  EXPECT_EQ(Daru({"update", "--jobs", "0"}).status, 2);
  EXPECT_EQ(Daru({"update", "#9"}).status, 1);
}

TEST_F(Subscriptions, UnsubscribeTakesTheFeedsOwnLabelUnlessKept) {
  server.Serve("/a.rss", Feed(Rss("Alpha", Item("a1", "https://a.example/1") + Item("a2", "https://a.example/2"))));
  server.Serve("/b.rss", Feed(Rss("Beta", Item("b1", "https://b.example/1"))));
  ASSERT_EQ(Daru({"subscribe", server.Url("/a.rss")}).status, 0);
  ASSERT_EQ(Daru({"subscribe", server.Url("/b.rss")}).status, 0);

  json kept = DaruJson({"unsubscribe", server.Url("/b.rss"), "--keep-articles"});
  EXPECT_TRUE(kept["label_removed"].is_null());
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE url='https://b.example/1'"), 1);

  json gone = DaruJson({"unsubscribe", "#1"});
  EXPECT_EQ(gone["articles_removed"], 2);
  EXPECT_EQ(Scalar("SELECT count(*) FROM label WHERE name='Alpha'"), 0);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE url LIKE 'https://a.example/%'"), 0);
  EXPECT_EQ(DaruJson({"feeds"})["subscriptions"].size(), 0u);
  EXPECT_EQ(Daru({"unsubscribe", "1"}).status, 1);
  // The catalogue is consistent after all of it.
  EXPECT_EQ(Daru({"check"}).status, 0);
}

TEST_F(Subscriptions, CheckFindsASubscriptionWhoseLabelIsGoneAndUpdateMakesItAgain) {
  server.Serve("/c.rss", Feed(Rss("Gamma", Item("c1", "https://c.example/1"))));
  ASSERT_EQ(Daru({"subscribe", server.Url("/c.rss")}).status, 0);
  const long long label = Scalar("SELECT labelid FROM subscription");
  ASSERT_EQ(Daru({"label", "rm", "#" + std::to_string(label), "--yes"}).status, 0);

  DaruRun check = Daru({"check", "--json"});
  EXPECT_EQ(check.status, 1);
  EXPECT_NE(check.out.find("subscription-label"), std::string::npos) << check.out;
  EXPECT_EQ(Daru({"check", "--repair"}).status, 1);
  EXPECT_EQ(Scalar("SELECT labelid FROM subscription"), 0);
  EXPECT_EQ(Daru({"check"}).status, 0);

  // The next update files the items under the channel's label again.
  server.Serve("/c.rss", Feed(Rss("Gamma", Item("c1", "https://c.example/1"))));
  EXPECT_EQ(DaruJson({"update"})["new"], 1);
  EXPECT_EQ(Scalar("SELECT count(*) FROM label WHERE name='Gamma' AND toplayer=2"), 1);
}

TEST_F(Subscriptions, AnOlderCatalogueGainsTheTableWhenFirstUsed) {
  EXPECT_EQ(Scalar("SELECT count(*) FROM sqlite_master WHERE name='subscription'"), 0);
  EXPECT_EQ(Daru({"check"}).status, 0);
  EXPECT_EQ(DaruJson({"feeds"})["subscriptions"].size(), 0u);
  EXPECT_EQ(Scalar("SELECT count(*) FROM sqlite_master WHERE name='subscription'"), 1);
}

}  // namespace
