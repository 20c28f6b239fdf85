// Moving a library out and back: bookmark files keep what the format can
// carry, OPML keeps every feed with its folder, and the html export links
// enclosures that have no copy to their address.

#include <filesystem>
#include <fstream>

#include "HostFixture.h"
#include "LocalHttpServer.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class RoundTrip : public DaruRootTest {
 protected:
  fs::path Write(const std::string& name, const std::string& text) {
    fs::path p = files.path() / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  // Every article of a root by its link, as show gives it.
  std::map<std::string, json> ByLink(const fs::path& on) {
    std::map<std::string, json> out;
    DaruRun list = RunDaruOn(on, {"list", "--json"});
    const json articles = list.Json()["articles"];
    for (const json& a : articles) {
      DaruRun shown = RunDaruOn(on, {"show", std::to_string(a["id"].get<int>()), "--json"});
      out[a["url"]] = shown.Json()["article"];
    }
    return out;
  }
  // Each subscription's address with the path of its label below the favourite feeds.
  std::map<std::string, std::string> FeedFolders(const fs::path& on) {
    std::map<std::string, json> labels;
    std::function<void(const json&, const std::string&)> walk = [&](const json& node, const std::string& path) {
      labels[std::to_string(node["id"].get<int>())] = path;
      for (const json& c : node["children"])
        walk(c, path.empty() ? c["name"].get<std::string>() : path + "/" + c["name"].get<std::string>());
    };
    json tree = RunDaruOn(on, {"labels", "--json"}).Json()["tree"];
    for (const json& c : tree["children"])
      if (c["id"] == 2) walk(c, "");
    std::map<std::string, std::string> out;
    const json feeds = RunDaruOn(on, {"feeds", "--json"}).Json()["subscriptions"];
    for (const json& f : feeds)
      out[f["url"]] =
          f["label"].is_null() ? "-" : labels[std::to_string(f["label"]["id"].get<int>())].get<std::string>();
    return out;
  }
  TempDir files;
  TempDir fresh;
};

TEST_F(RoundTrip, BookmarksKeepMarksDatesTypesCommentsAndEmptyLabels) {
  ASSERT_EQ(Daru({"label", "add", "技术"}).status, 0);
  ASSERT_EQ(Daru({"label", "add", "空的", "--parent", "技术"}).status, 0);
  json page = DaruJson({"save", "https://page.example/1", "A page", "--label", "技术", "--keywords", "c++ ranges",
                        "--description", "what it says", "--comment", "read twice"});
  const std::string pageId = std::to_string(page["article"]["id"].get<int>());
  ASSERT_EQ(Daru({"mark", pageId, "important"}).status, 0);
  ASSERT_EQ(Daru({"mark", pageId, "unread"}).status, 0);
  const fs::path feed = Write("feed.rss",
                              "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Chan</title>"
                              "<link>https://chan.example/</link><item><title>Item one</title>"
                              "<link>https://chan.example/1</link><pubDate>Tue, 10 Jun 2003 04:00:00 GMT</pubDate>"
                              "<description>about it</description><enclosure "
                              "url=\"https://media.example/one.mp3?x=1&amp;y=2\" type=\"audio/mpeg\"/>"
                              "</item></channel></rss>");
  ASSERT_EQ(Daru({"import", feed.string()}).status, 0);

  DaruRun exported = Daru({"export", "--format", "bookmarks"});
  ASSERT_EQ(exported.status, 0) << exported.err;
  const fs::path file = Write("bookmarks.html", exported.out);
  ASSERT_EQ(RunDaruOn(fresh.path(), {"init"}).status, 0);
  DaruRun imported = RunDaruOn(fresh.path(), {"import", file.string()});
  ASSERT_EQ(imported.status, 0) << imported.err;

  std::map<std::string, json> before = ByLink(root.path()), after = ByLink(fresh.path());
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [link, a] : before) {
    SCOPED_TRACE(link);
    ASSERT_TRUE(after.count(link));
    const json& b = after[link];
    for (const char* field :
         {"title", "keywords", "type", "read", "important", "created_epoch", "description", "comment"})
      EXPECT_EQ(b[field], a[field]) << field;
    EXPECT_EQ(b.value("feed", json()), a.value("feed", json()));
  }
  const json& item = after["https://chan.example/1"];
  EXPECT_EQ(item["type"], "A");
  EXPECT_EQ(item["read"], false);
  EXPECT_EQ(item["created_epoch"], 1055217600);
  EXPECT_EQ(item["feed"]["channel_title"], "Chan");
  EXPECT_EQ(item["feed"]["published"], "2003-06-10T04:00:00+00:00");
  EXPECT_EQ(item["feed"]["published_text"], "Tue, 10 Jun 2003 04:00:00 GMT");
  EXPECT_EQ(item["feed"]["media_source"], "https://media.example/one.mp3?x=1&y=2");
  EXPECT_EQ(after["https://page.example/1"]["important"], true);
  // The empty label came back in its place.
  json tree = RunDaruOn(fresh.path(), {"labels", "--json"}).Json();
  EXPECT_NE(tree.dump().find("空的"), std::string::npos);
  EXPECT_EQ(RunDaruOn(fresh.path(), {"check"}).status, 0);
}

TEST_F(RoundTrip, BrowserBookmarksGiveTheirTagsAndDates) {
  const fs::path file =
      Write("firefox.html",
            "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n"
            "<DT><H3 ADD_DATE=\"1\">Reading</H3>\n<DL><p>\n"
            "<DT><A HREF=\"https://b.example/x\" ADD_DATE=\"1600000000\" LAST_MODIFIED=\"1600000001\" "
            "TAGS=\"rust,async io\">Tagged</A>\n"
            "</DL><p>\n</DL><p>\n");
  json report = DaruJson({"import", file.string()});
  EXPECT_EQ(report["new"], 1);
  json a = DaruJson({"show", std::to_string(report["items"][0]["id"].get<int>())})["article"];
  EXPECT_EQ(a["keywords"], "rust,async io");
  EXPECT_EQ(a["created_epoch"], 1600000000);
  EXPECT_EQ(a["type"], "B");
  EXPECT_EQ(a["read"], true);  // a browser's bookmark is a page the person has seen
}

TEST_F(RoundTrip, OpmlOfAnotherReaderKeepsEveryFeedInItsFolder) {
  LocalHttpServer server;
  auto rss = [](const std::string& channel, const std::string& link) {
    return LocalHttpServer::Response{200,
                                     "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + channel +
                                         "</title><item><title>one</title><link>" + link +
                                         "</link></item></channel></rss>",
                                     "",
                                     0,
                                     true,
                                     "",
                                     "",
                                     false};
  };
  server.Serve("/a", rss("Feed A", "https://a.example/1"));
  server.Serve("/b", rss("Feed B", "https://b.example/1"));
  server.Serve("/c", rss("Feed C", "https://c.example/1"));
  const fs::path opml = Write(
      "reader.opml",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"1.0\"><head><title>mine</title></head>"
      "<body><outline text=\"Tech &amp; Co\" title=\"Tech &amp; Co\"><outline type=\"rss\" text=\"A\" xmlUrl=\"" +
          server.Url("/a") + "\"/><outline text=\"Deep\"><outline type=\"rss\" text=\"B\" xmlurl=\"" +
          server.Url("/b") + "\"/></outline></outline><outline type=\"rss\" text=\"C\" xmlUrl=\"" + server.Url("/c") +
          "\" htmlUrl=\"https://c.example/\"/><outline type=\"rss\" text=\"local\" "
          "xmlUrl=\"file:///etc/passwd\"/></body></opml>");
  DaruRun run = Daru({"import", opml.string(), "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.Json()["subscribed"], 3);
  EXPECT_EQ(run.Json()["refused"], 1);
  EXPECT_NE(run.err.find("file:///etc/passwd"), std::string::npos);
  EXPECT_EQ(DaruJson({"import", opml.string()})["already_subscribed"], 3);

  const std::map<std::string, std::string> expected = {
      {server.Url("/a"), "Tech & Co"}, {server.Url("/b"), "Tech & Co/Deep"}, {server.Url("/c"), "-"}};
  EXPECT_EQ(FeedFolders(root.path()), expected);
  // The first update files the items: in the folders, and under its channel for the feed outside any.
  EXPECT_EQ(DaruJson({"update"})["new"], 3);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article a JOIN articletolabel l ON a.articleid=l.articleid JOIN label b "
                   "ON b.labelid=l.labelid WHERE b.name='Deep' AND a.url='https://b.example/1'"),
            1);
  std::map<std::string, std::string> updated = expected;
  updated[server.Url("/c")] = "Feed C";
  EXPECT_EQ(FeedFolders(root.path()), updated);

  // Out as OPML and into a fresh library: the same feeds in the same folders.
  DaruRun out = Daru({"export", "--format", "opml"});
  ASSERT_EQ(out.status, 0) << out.err;
  EXPECT_NE(out.out.find("<opml version=\"2.0\">"), std::string::npos);
  EXPECT_NE(out.out.find("text=\"Tech &amp; Co\""), std::string::npos);
  const fs::path back = Write("back.opml", out.out);
  ASSERT_EQ(RunDaruOn(fresh.path(), {"init"}).status, 0);
  ASSERT_EQ(RunDaruOn(fresh.path(), {"import", back.string()}).status, 0);
  EXPECT_EQ(FeedFolders(fresh.path()), expected);
}

TEST_F(RoundTrip, HtmlExportLinksARemoteEnclosureToItsAddress) {
  const fs::path feed =
      Write("cast.rss",
            "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Cast</title><item><title>Ep</title>"
            "<link>https://cast.example/1</link><enclosure url=\"https://media.example/ep1.mp3?a=1&amp;b=2\" "
            "type=\"audio/mpeg\"/></item></channel></rss>");
  ASSERT_EQ(Daru({"import", feed.string()}).status, 0);
  DaruRun html = Daru({"export", "--format", "html"});
  ASSERT_EQ(html.status, 0) << html.err;
  EXPECT_NE(html.out.find("href=\"https://media.example/ep1.mp3?a=1&amp;b=2\""), std::string::npos) << html.out;
  EXPECT_EQ(html.out.find("mime.zevm"), std::string::npos);
}

}  // namespace
