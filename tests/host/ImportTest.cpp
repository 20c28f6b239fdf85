// daru import: feeds of the three formats and bookmark files, from files and
// from a server on 127.0.0.1, with stored, broken and hostile items.

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "HostFixture.h"
#include "LocalHttpServer.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class Import : public DaruRootTest {
 protected:
  fs::path Write(const std::string& name, const std::string& text) {
    fs::path p = files.path() / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  json ImportJson(const std::string& source, std::vector<std::string> more = {}, int status = 0) {
    std::vector<std::string> args{"import", source};
    args.insert(args.end(), more.begin(), more.end());
    return DaruJson(args, status);
  }
  static std::string Rss(const std::string& items, const std::string& title = "Test Channel") {
    return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>" + title +
           "</title><link>https://feed.example/</link>" + items + "</channel></rss>";
  }
  TempDir files;
};

TEST_F(Import, EachFeedFormatFilesItsItemsUnderTheChannel) {
  struct Case {
    const char* file;
    const char* format;
    const char* channel;
    size_t items;
  };
  for (const Case& c :
       {Case{"weekly-podcast.rss", "RSS 2.0", "Weekly Podcast", 3}, Case{"city-news.rdf", "RSS 1.0", "城市新闻", 3},
        Case{"engineering-blog.atom", "Atom 1.0", "工程笔记", 2}}) {
    SCOPED_TRACE(c.file);
    json first = ImportJson((SamplesDir() / c.file).string());
    EXPECT_EQ(first["format"], c.format);
    EXPECT_EQ(first["new"], c.items);
    EXPECT_EQ(first["label"]["name"], c.channel);
    EXPECT_EQ(first["label"]["parent"], 2);  // below the favourite feeds
    for (const json& item : first["items"]) {
      json a = DaruJson({"show", std::to_string(item["id"].get<int>())})["article"];
      EXPECT_EQ(a["type"], "A");
      EXPECT_EQ(a["url"], item["link"]);
      EXPECT_EQ(a["feed"]["channel_title"], c.channel);
      EXPECT_FALSE(a["feed"]["published_text"].get<std::string>().empty());
      EXPECT_TRUE(a["feed"]["published"].is_string()) << a["feed"]["published_text"];  // every sample's date parses
      EXPECT_FALSE(a["description"].get<std::string>().empty());
    }
    // Again: nothing new, nothing doubled.
    json again = ImportJson((SamplesDir() / c.file).string());
    EXPECT_EQ(again["new"], 0);
    EXPECT_EQ(again["already_stored"], c.items);
  }
  EXPECT_EQ(Articles(), 8);
  EXPECT_EQ(Labels(), 6);

  // Relative links resolve against the channel; a permanent guid stands in for a missing link.
  json all = DaruJson({"list"});
  std::set<std::string> links;
  for (const json& a : all["articles"]) links.insert(a["url"]);
  EXPECT_TRUE(links.count("https://podcast.example.net/episodes/11"));
  EXPECT_TRUE(links.count("https://podcast.example.net/episodes/10"));
  EXPECT_TRUE(links.count("https://blog.example.com/posts/cpp20-ranges"));
}

TEST_F(Import, EnclosuresBesideTheFeedAreCopiedOthersKeptAsLinks) {
  json imported = ImportJson((SamplesDir() / "weekly-podcast.rss").string());
  std::map<std::string, json> byLink;
  for (const json& item : imported["items"])
    byLink[item["link"]] = DaruJson({"show", std::to_string(item["id"].get<int>())})["article"];
  const json& local = byLink["https://podcast.example.net/episodes/12"];
  ASSERT_TRUE(local["feed"].contains("media_copy"));
  EXPECT_EQ(ReadFile(local["feed"]["media_copy"].get<std::string>()), ReadFile(SamplesDir() / "weekly-podcast-12.wav"));
  const json& remote = byLink["https://podcast.example.net/episodes/11"];
  EXPECT_EQ(remote["feed"]["media_source"], "https://podcast.example.net/audio/episode-11.mp3");
  EXPECT_FALSE(remote["feed"].contains("media_copy"));

  // An enclosure that points out of the feed's folder is not copied.
  fs::create_directories(files.path() / "feeds");
  Write("secret.txt", "not for the library");
  const fs::path feed = Write("feeds/escape.rss", Rss("<item><title>t</title><link>https://x.example/1</link>"
                                                      "<enclosure url=\"../secret.txt\"/></item>"));
  DaruRun run = Daru({"import", feed.string(), "--json"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("left out"), std::string::npos) << run.err;
  const int id = run.Json()["items"][0]["id"];
  EXPECT_FALSE(DaruJson({"show", std::to_string(id)})["article"]["feed"].contains("media_copy"));
}

TEST_F(Import, BrokenItemsAreRefusedAndTheRestStored) {
  std::string items;
  for (int i = 0; i < 1000; ++i) {
    const std::string n = std::to_string(i);
    if (i % 10 == 3)
      items += "<item><title>no link " + n + "</title></item>";
    else if (i % 10 == 7)
      items += "<item><link>https://x.example/untitled/" + n + "</link><title>  </title></item>";
    else if (i == 500)
      items += "<item><title>script</title><link>javascript:alert(1)</link></item>";
    else
      items += "<item><title>item " + n + "</title><link>https://x.example/" + n + "</link></item>";
  }
  json result = ImportJson(Write("big.rss", Rss(items)).string());
  EXPECT_EQ(result["refused"], 201);
  EXPECT_EQ(result["new"], 799);
  EXPECT_EQ(Articles(), 799);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE title='' OR url=''"), 0);
  std::set<std::string> reasons;
  for (const json& item : result["items"])
    if (item["result"] == "refused") reasons.insert(item["reason"].get<std::string>().substr(0, 12));
  EXPECT_EQ(reasons, (std::set<std::string>{"it has no ti", "it has no li", "its link 'ja"}));

  // A feed whose items are all refused stores nothing, makes no label and fails.
  const long long labels = Labels();
  DaruRun none = Daru({"import", Write("none.rss", Rss("<item><title>x</title></item>", "Empty")).string()});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("no link"), std::string::npos);
  EXPECT_EQ(Labels(), labels);
}

TEST_F(Import, DocumentsThatAreNoFeedSayWhatTheyAre) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"<!DOCTYPE html><html><head><title>x</title></head><body><p>hi</body></html>", "HTML page"},
      {"<?xml version=\"1.0\"?><xsl:stylesheet version=\"1.0\" "
       "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"/>",
       "XSLT stylesheet"},
      {"   \n", "empty"},
      {"<rss><channel><title>x</title><item>", "not well-formed"},
      // OPML is read as subscriptions; one without a body holds none.
      {"<?xml version=\"1.0\"?><opml version=\"2.0\"/>", "not an OPML file: it has no body"},
      // An external entity is neither fetched nor expanded.
      {"<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>"
       "<rss><channel><title>&e;</title><item><title>a&e;</title></item></channel></rss>",
       "no link"},
  };
  const long long labels = Labels();
  for (const auto& [text, what] : cases) {
    DaruRun run = Daru({"import", Write("doc.xml", text).string()});
    EXPECT_EQ(run.status, 1) << text;
    EXPECT_NE(run.err.find(what), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("root:"), std::string::npos);
  }
  EXPECT_EQ(Articles(), 0);
  EXPECT_EQ(Labels(), labels);
  EXPECT_EQ(Daru({"import", (files.path() / "missing.rss").string()}).status, 1);
  EXPECT_EQ(Daru({"import", "file:///etc/passwd"}).status, 2);
  EXPECT_EQ(Daru({"import", "ftp://feed.example/x.rss"}).status, 2);
}

// A bookmark file nested past any real one is refused with a reason, not
// imported in part or dropped without a word.
TEST_F(Import, BookmarkFilesNestedTooDeepAreRefusedWhole) {
  std::string open, close;
  for (int i = 0; i < 300; ++i) {
    open += "<DT><H3>f" + std::to_string(i) + "</H3>\n<DL><p>\n";
    close += "</DL><p>\n";
  }
  const std::string text = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<DL><p>\n"
                           "<DT><A HREF=\"https://top.example/\">top</A>\n" +
                           open + "<DT><A HREF=\"https://deep.example/\">deep</A>\n" + close + "</DL><p>\n";
  const long long labels = Labels();
  DaruRun run = Daru({"import", Write("deep.html", text).string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("deeper than 200 levels"), std::string::npos) << run.err;
  EXPECT_EQ(Articles(), 0);
  EXPECT_EQ(Labels(), labels);
}

TEST_F(Import, AtomEntriesKeepTheirFullContentAndFallBackToTheSummary) {
  const std::string atom =
      "<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Atom</title>"
      "<entry><title>html</title><link href=\"https://a.example/1\"/><summary>short one</summary>"
      "<content type=\"html\">&lt;p&gt;the whole &lt;b&gt;text&lt;/b&gt;&lt;/p&gt;</content></entry>"
      "<entry><title>xhtml</title><link href=\"https://a.example/2\"/><summary>short two</summary>"
      "<content type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\"><p>first &amp; <em>second</em></p>"
      "</div></content></entry>"
      "<entry><title>elsewhere</title><link href=\"https://a.example/3\"/><summary>short three</summary>"
      "<content src=\"https://a.example/3.html\" type=\"text/html\"/></entry>"
      "<entry><title>empty</title><link href=\"https://a.example/4\"/><summary>short four</summary>"
      "<content type=\"text\">  </content></entry></feed>";
  json result = ImportJson(Write("content.atom", atom).string());
  ASSERT_EQ(result["new"], 4);
  std::map<std::string, std::string> byTitle;
  for (const json& item : result["items"]) {
    json a = DaruJson({"show", std::to_string(item["id"].get<int>())})["article"];
    byTitle[a["title"]] = a["description"];
  }
  EXPECT_EQ(byTitle["html"], "<p>the whole <b>text</b></p>");
  // The markup inside the xhtml div, not its text alone.
  EXPECT_NE(byTitle["xhtml"].find("<p>first &amp; <em>second</em></p>"), std::string::npos) << byTitle["xhtml"];
  EXPECT_EQ(byTitle["xhtml"].find("<div"), std::string::npos) << byTitle["xhtml"];
  EXPECT_EQ(byTitle["elsewhere"], "short three");
  EXPECT_EQ(byTitle["empty"], "short four");
}

TEST_F(Import, LabelOptionAndItemsStoredElsewhere) {
  Daru({"save", "https://blog.example.com/sqlite-tips", "stored before", "--label", "3"});
  ASSERT_EQ(Daru({"label", "add", "读"}).status, 0);
  json result = ImportJson((SamplesDir() / "engineering-blog.atom").string(), {"--label", "读"});
  EXPECT_EQ(result["label"]["name"], "读");
  EXPECT_EQ(result["new"], 1);
  EXPECT_EQ(result["already_stored"], 1);
  // The stored page is now also under the label, and keeps its own title.
  EXPECT_EQ(DaruJson({"list", "读"})["articles"].size(), 2u);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE title='stored before'"), 1);
  EXPECT_EQ(Scalar("SELECT count(*) FROM label WHERE toplayer=2"), 0);  // no channel label made
}

TEST_F(Import, FetchesFromAServer) {
  LocalHttpServer server;
  server.Serve("/feed.rss", {200, Rss("<item><title>fetched</title><link>/posts/1</link></item>"), "", 0, true});
  server.Serve("/moved", {301, "", "/feed.rss", 0, true});
  server.Serve("/missing", {404, "gone", "", 0, true});
  server.Serve("/slow", {200, Rss(""), "", 3000, true});
  server.Serve("/huge", {200, std::string(17 << 20, ' '), "", 0, true});
  server.Serve("/huge-unannounced", {200, std::string(17 << 20, ' '), "", 0, false});
  server.Serve("/loop", {302, "", "/loop", 0, true});
  server.Serve("/to-file", {302, "", "file:///etc/passwd", 0, true});

  json result = ImportJson(server.Url("/moved"));
  EXPECT_EQ(result["new"], 1);
  // A relative link hangs off the address the feed came from, after redirects.
  EXPECT_EQ(result["items"][0]["link"], server.Url("/posts/1"));

  const std::vector<std::pair<std::string, std::string>> failures{
      {"/missing", "status 404"},         {"/slow", "within 1 seconds"},
      {"/huge", "larger than 16 MiB"},    {"/huge-unannounced", "larger than 16 MiB"},
      {"/loop", "more than 5 redirects"}, {"/to-file", "not http or https"},
  };
  for (const auto& [path, message] : failures) {
    DaruRun run = Daru({"import", server.Url(path), "--timeout", "1"});
    EXPECT_EQ(run.status, 1) << path;
    EXPECT_NE(run.err.find(message), std::string::npos) << path << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  EXPECT_EQ(server.Hits("/loop"), 6);
  EXPECT_EQ(Articles(), 1);
}

}  // namespace
