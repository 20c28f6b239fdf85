// The daru program end to end: run as a process against a fresh data root,
// checked through its output, the catalogue it leaves and the files it writes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "HostFixture.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class DaruHost : public DaruRoot {
 protected:
  void Init() { ASSERT_EQ(Daru({"init"}).status, 0); }

  std::string Text(const std::string& sql) {
    sqlite3* db = nullptr;
    std::string value;
    sqlite3_open_v2((root.path() / "DARU" / "darudb").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      value = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return value;
  }
  long long Links(int article) {
    return Scalar("SELECT count(*) FROM articletolabel WHERE articleid=" + std::to_string(article));
  }

  int AddLabel(const std::string& name, const std::string& parent = "") {
    std::vector<std::string> args{"label", "add", name};
    if (!parent.empty()) args.insert(args.end(), {"--parent", parent});
    return DaruJson(args)["label"]["id"].get<int>();
  }
  json Save(const std::string& url, const std::string& title, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"save", url, title};
    args.insert(args.end(), more.begin(), more.end());
    return DaruJson(args);
  }
  json Show(int id) { return DaruJson({"show", std::to_string(id)})["article"]; }
};

json FindNode(const json& node, const std::string& name) {
  if (node.value("name", "") == name) return node;
  for (const json& child : node["children"]) {
    json found = FindNode(child, name);
    if (!found.is_null()) return found;
  }
  return json();
}

}  // namespace

TEST_F(DaruHost, UsageErrorsExitWithTwo) {
  for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                {"frobnicate"},
                                                                {"label"},
                                                                {"show", "abc"},
                                                                {"show", "0"},
                                                                {"show", "99999999999999"},
                                                                {"mark", "1", "bogus"},
                                                                {"save", "http://a.example/"},
                                                                {"list", "--nope"}}) {
    DaruRun run = Daru(args);
    EXPECT_EQ(run.status, 2) << testing::PrintToString(args) << run.out << run.err;
    EXPECT_FALSE(run.err.empty());
  }
  DaruRun help = Daru({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("save"), std::string::npos);
}

TEST_F(DaruHost, CommandsNeedAnInitialisedRoot) {
  DaruRun run = Daru({"labels"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("daru: no catalogue in ", 0), 0u) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
  EXPECT_FALSE(fs::exists(root.path() / "DARU" / "darudb"));  // nothing was created behind the user's back
}

TEST_F(DaruHost, InitMakesAWorkingRootAndMayBeRepeated) {
  Init();
  Init();
  json labels = DaruJson({"labels"});
  EXPECT_EQ(labels["tree"]["parent"], 0);
  EXPECT_FALSE(FindNode(labels["tree"], labels["tree"]["name"]).is_null());
  DaruRun human = Daru({"labels"});
  EXPECT_NE(human.out.find("#" + std::to_string(labels["tree"]["id"].get<int>())), std::string::npos);
}

TEST_F(DaruHost, SaveKeepsOneArticlePerLink) {
  Init();
  json first = Save("https://news.example.org/a", "第一篇",
                    {"--keywords", "图书馆", "--description", "一段描述", "--comment", "我的注释"});
  EXPECT_EQ(first["result"], "new");
  const int id = first["article"]["id"];
  EXPECT_EQ(first["article"]["type"], "B");
  const std::string file = first["article"]["description_file"];
  std::string xml = ReadFile(file);
  EXPECT_NE(xml.find("一段描述"), std::string::npos);
  EXPECT_NE(xml.find("我的注释"), std::string::npos);
  EXPECT_NE(xml.find("https://news.example.org/a"), std::string::npos);

  const int tech = AddLabel("技术");
  json second = Save("https://news.example.org/a", "another title", {"--label", "技术"});
  EXPECT_EQ(second["result"], "filed");
  EXPECT_EQ(second["article"]["id"], id);
  EXPECT_EQ(second["article"]["labels"], 2);
  EXPECT_EQ(Scalar("SELECT labels FROM article WHERE articleid=" + std::to_string(id)), 2);
  EXPECT_EQ(Links(id), 2);
  EXPECT_EQ(ReadFile(file), xml);  // a stored page saved again keeps its file

  EXPECT_EQ(Save("https://news.example.org/a", "t", {"--label", std::to_string(tech)})["result"], "already_filed");
  AddLabel("其他");
  EXPECT_EQ(Save("https://news.example.org/a", "t", {"--label", "其他", "--no-link"})["result"], "exists");
  EXPECT_EQ(Links(id), 2);
  // Letter case makes another link, so another article.
  EXPECT_EQ(Save("https://news.example.org/A", "upper")["result"], "new");
  EXPECT_EQ(Scalar("SELECT count(*) FROM article"), 2);

  EXPECT_EQ(DaruJson({"list", "技术"})["articles"].size(), 1u);
  EXPECT_EQ(DaruJson({"list"})["articles"].size(), 2u);
  DaruRun human = Daru({"list", "技术"});
  EXPECT_EQ(human.status, 0);
  EXPECT_EQ(human.out.rfind("ID", 0), 0u) << human.out;
  EXPECT_NE(human.out.find("第一篇"), std::string::npos);
}

TEST_F(DaruHost, SavingANewTextIntoAStoredPageKeepsTheRest) {
  Init();
  const int id = Save("https://a.example/p", "p", {"--description", "原来的描述", "--comment", "旧"})["article"]["id"];
  Save("https://a.example/p", "p", {"--comment", "新注释"});
  json a = Show(id);
  EXPECT_EQ(a["description"], "原来的描述");
  EXPECT_EQ(a["comment"], "新注释");
  EXPECT_FALSE(a.contains("feed"));
}

TEST_F(DaruHost, FeedCaptureFilesUnderTheChannelAndCopiesTheMedia) {
  Init();
  const std::string item = (SamplesDir() / "weekly-podcast-12.xml").string();
  json first =
      DaruJson({"feed", item, "--channel", "Weekly Podcast", "--channel-link", "https://podcast.example.net/"});
  EXPECT_EQ(first["result"], "new");
  EXPECT_EQ(first["article"]["type"], "A");
  EXPECT_EQ(first["article"]["url"], "https://podcast.example.net/episodes/12");
  const int id = first["article"]["id"];
  const int channel = first["label"]["id"];

  json labels = DaruJson({"labels"});
  json node = FindNode(labels["tree"], "Weekly Podcast");
  ASSERT_FALSE(node.is_null());
  EXPECT_EQ(node["id"], channel);
  EXPECT_EQ(node["parent"], 2);  // under the favourite feeds
  EXPECT_EQ(node["articles"], 1);

  json a = Show(id);
  EXPECT_EQ(a["description"], "Why saved articles need labels, and how we file a feed item with its audio.");
  ASSERT_TRUE(a.contains("feed"));
  EXPECT_EQ(a["feed"]["title"], "Weekly Podcast 12: Keeping a reading list");
  EXPECT_EQ(a["feed"]["published_text"], "Fri, 10 May 2024 18:00:00 +0000");
  EXPECT_EQ(a["feed"]["published"], "2024-05-10T18:00:00+00:00");
  EXPECT_EQ(a["feed"]["channel_title"], "Weekly Podcast");
  ASSERT_TRUE(a["feed"].contains("media_copy"));
  const fs::path copy = a["feed"]["media_copy"].get<std::string>();
  EXPECT_EQ(copy.filename(), "mime.zevm");
  EXPECT_EQ(ReadFile(copy), ReadFile(SamplesDir() / "weekly-podcast-12.wav"));

  // The same item again: the same label, no second article.
  json again = DaruJson({"feed", item, "--channel", "Weekly Podcast"});
  EXPECT_EQ(again["result"], "already_filed");
  EXPECT_EQ(again["label"]["id"], channel);
  EXPECT_EQ(Scalar("SELECT count(*) FROM label WHERE toplayer=2"), 1);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article"), 1);
}

TEST_F(DaruHost, FeedItemWithoutLinkIsKnownByItsFile) {
  Init();
  const std::string item = (SamplesDir() / "bulletin-no-link.xml").string();
  json first = DaruJson({"feed", item, "--label", "3"});
  EXPECT_EQ(first["result"], "new");
  EXPECT_EQ(first["article"]["url"], "");
  EXPECT_EQ(DaruJson({"feed", item, "--label", "3"})["result"], "already_filed");
  EXPECT_EQ(Show(first["article"]["id"])["description"], "五月十二日上午八点至十二点，东区停水检修。");

  EXPECT_EQ(Daru({"feed", item}).status, 2);  // neither label nor channel
  EXPECT_EQ(Daru({"feed", (root.path() / "missing.xml").string(), "--label", "3"}).status, 1);
  fs::path junk = root.path() / "junk.xml";
  std::ofstream(junk) << "this is <not xml";
  DaruRun bad = Daru({"feed", junk.string(), "--label", "3"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err.rfind("daru: ", 0), 0u);
}

TEST_F(DaruHost, SearchFindsTitlesAndKeywords) {
  Init();
  Save("https://a.example/1", "Rust in production", {"--keywords", "systems"});
  Save("https://a.example/2", "Gardening notes", {"--keywords", "rust fungus"});
  Save("https://a.example/3", "市图书馆", {"--keywords", "城市"});
  EXPECT_EQ(DaruJson({"search", "rust"})["articles"].size(), 1u);
  EXPECT_EQ(DaruJson({"search", "rust", "--keywords"})["articles"].size(), 1u);
  EXPECT_EQ(DaruJson({"search", "图书"})["articles"].size(), 1u);
  EXPECT_EQ(DaruJson({"search", "图书", "--exact"})["articles"].size(), 0u);
  EXPECT_EQ(DaruJson({"search", "市图书馆", "--exact"})["articles"].size(), 1u);
  DaruRun none = Daru({"search", "nothing-like-this"});
  EXPECT_EQ(none.status, 0);
  EXPECT_NE(none.out.find("(no articles)"), std::string::npos);
}

TEST_F(DaruHost, ShowMarkAndComment) {
  Init();
  const int id = Save("https://a.example/m", "标记测试", {"--description", "描述"})["article"]["id"];
  const std::string sid = std::to_string(id);
  const std::string where = " FROM article WHERE articleid=" + sid;

  DaruRun human = Daru({"show", sid});
  EXPECT_EQ(human.status, 0);
  EXPECT_EQ(human.out.rfind("#" + sid + "  标记测试", 0), 0u) << human.out;
  EXPECT_NE(human.out.find("Description\n  描述"), std::string::npos);

  EXPECT_EQ(Daru({"mark", sid, "unread"}).status, 0);
  EXPECT_EQ(Text("SELECT readflag" + where), "F");
  EXPECT_FALSE(Show(id)["read"]);
  EXPECT_EQ(Daru({"mark", sid, "read"}).status, 0);
  EXPECT_EQ(Text("SELECT readflag" + where), "T");
  EXPECT_GT(Scalar("SELECT brdate" + where), 0);
  EXPECT_EQ(Daru({"mark", sid, "important"}).status, 0);
  EXPECT_EQ(Text("SELECT impflag" + where), "T");
  EXPECT_EQ(Daru({"mark", sid, "unimportant"}).status, 0);
  EXPECT_EQ(Text("SELECT impflag" + where), "F");
  EXPECT_EQ(Scalar("SELECT labels" + where), 1);  // marking never touched the label count

  EXPECT_EQ(Daru({"comment", sid, "后来加的注释"}).status, 0);
  json a = Show(id);
  EXPECT_EQ(a["comment"], "后来加的注释");
  EXPECT_EQ(a["description"], "描述");
  EXPECT_EQ(Daru({"mark", "4242", "read"}).status, 1);
}

TEST_F(DaruHost, CommentOnAFeedItemKeepsItsFeedData) {
  Init();
  json f = DaruJson({"feed", (SamplesDir() / "city-library.xml").string(), "--channel", "城市新闻"});
  const int id = f["article"]["id"];
  ASSERT_EQ(Daru({"comment", std::to_string(id), "周末去看看"}).status, 0);
  json a = Show(id);
  EXPECT_EQ(a["comment"], "周末去看看");
  EXPECT_EQ(a["feed"]["link"], "https://news.example.org/city/2024/05/library-hours");
  EXPECT_EQ(a["feed"]["channel_title"], "城市新闻");
}

TEST_F(DaruHost, RemovingArticles) {
  Init();
  AddLabel("甲");
  json saved = Save("https://a.example/r", "两个标签");
  const int id = saved["article"]["id"];
  Save("https://a.example/r", "两个标签", {"--label", "甲"});
  const fs::path file = saved["article"]["description_file"].get<std::string>();
  ASSERT_TRUE(fs::exists(file));

  json off = DaruJson({"rm", std::to_string(id), "--label", "甲"});
  EXPECT_FALSE(off["gone"]);
  EXPECT_EQ(Links(id), 1);
  EXPECT_EQ(Scalar("SELECT labels FROM article WHERE articleid=" + std::to_string(id)), 1);
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(Daru({"rm", std::to_string(id), "--label", "甲"}).status, 1);  // not filed there any more

  json last = DaruJson({"rm", std::to_string(id), "--label", "3"});
  EXPECT_TRUE(last["gone"]);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article"), 0);
  EXPECT_FALSE(fs::exists(file));

  // Removing a feed item as a whole takes its description file and media folder too.
  json f = DaruJson({"feed", (SamplesDir() / "weekly-podcast-12.xml").string(), "--label", "3"});
  const int fid = f["article"]["id"];
  const fs::path media = Show(fid)["feed"]["media_copy"].get<std::string>();
  ASSERT_TRUE(fs::exists(media));
  EXPECT_EQ(Daru({"rm", std::to_string(fid)}).status, 0);
  EXPECT_FALSE(fs::exists(f["article"]["description_file"].get<std::string>()));
  EXPECT_FALSE(fs::exists(media.parent_path()));
  EXPECT_EQ(Links(fid), 0);
  DaruRun gone = Daru({"show", std::to_string(fid)});
  EXPECT_EQ(gone.status, 1);
  EXPECT_EQ(gone.err, "daru: no article #" + std::to_string(fid) + "\n");
}

TEST_F(DaruHost, LabelCommands) {
  Init();
  const int a = AddLabel("a");
  const int b = AddLabel("b", "a");
  const int c = AddLabel("c", std::to_string(b));
  EXPECT_EQ(Scalar("SELECT toplayer FROM label WHERE labelid=" + std::to_string(c)), b);

  EXPECT_EQ(Daru({"label", "move", "b", "3"}).status, 0);
  EXPECT_EQ(Scalar("SELECT toplayer FROM label WHERE labelid=" + std::to_string(b)), 3);
  EXPECT_EQ(Daru({"label", "move", "b", "c"}).status, 1);  // under its own child
  EXPECT_EQ(Scalar("SELECT toplayer FROM label WHERE labelid=" + std::to_string(b)), 3);

  EXPECT_EQ(Daru({"label", "rename", "a", "甲"}).status, 0);
  EXPECT_EQ(Text("SELECT name FROM label WHERE labelid=" + std::to_string(a)), "甲");
  EXPECT_EQ(Daru({"label", "rename", "3", "x"}).status, 1);  // the catalogue's own labels stay
  EXPECT_EQ(Daru({"label", "rm", "2"}).status, 1);
  EXPECT_EQ(Daru({"label", "rm", "nope"}).status, 1);

  // Removing a label takes its branch, and articles held only there.
  const int id = Save("https://a.example/only-c", "只在c", {"--label", "c"})["article"]["id"];
  json removed = DaruJson({"label", "rm", "b", "--yes"});
  EXPECT_EQ(removed["removed"], json::array({c, b}));
  EXPECT_EQ(Scalar("SELECT count(*) FROM label WHERE labelid IN (" + std::to_string(b) + "," + std::to_string(c) + ")"),
            0);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE articleid=" + std::to_string(id)), 0);
  EXPECT_TRUE(FindNode(DaruJson({"labels"})["tree"], "b").is_null());

  // Two labels of one name need the id.
  AddLabel("同名");
  AddLabel("同名", "甲");
  DaruRun twice = Daru({"list", "同名"});
  EXPECT_EQ(twice.status, 1);
  EXPECT_NE(twice.err.find("give the id"), std::string::npos);
}

TEST_F(DaruHost, DataRootComesFromTheEnvironment) {
  TempDir home;
  DaruRun run = RunDaru({"init"}, {{"DARU_HOME", home.path().string()}});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(home.path() / "DARU" / "darudb"));

  TempDir xdg;
  EXPECT_EQ(RunDaru({"init"}, {{"XDG_DATA_HOME", xdg.path().string()}}).status, 0);
  EXPECT_TRUE(fs::exists(xdg.path() / "daru" / "DARU" / "darudb"));

  TempDir other;
  EXPECT_EQ(RunDaru({"--root", other.path().string(), "init"}, {{"DARU_HOME", home.path().string()}}).status, 0);
  EXPECT_TRUE(fs::exists(other.path() / "DARU" / "darudb"));
  // The option may also follow the command.
  EXPECT_EQ(RunDaru({"labels", "--root", other.path().string(), "--json"}).status, 0);
}

TEST_F(DaruHost, HtmlViewOfAnArticle) {
  Init();
  const int id = Save("https://a.example/h", "A <b>bold</b> title", {"--description", "x & y"})["article"]["id"];
  DaruRun run = Daru({"show", std::to_string(id), "--html"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("A &lt;b&gt;bold&lt;/b&gt; title"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("<b>bold</b>"), std::string::npos);
}

TEST_F(DaruHost, HostileInputIsRefusedOrKeptNeverRunsAway) {
  Init();
  const std::vector<std::vector<std::string>> inputs{
      {"save", "https://a.example/q'uote", "it's a title", "--keywords", "o'k"},
      {"label", "add", "it's"},
      {"save", "https://a.example/ctl", std::string("bell\a and\x1b[31m escape")},
      {"save", "https://a.example/bad", std::string("\xff\xfe broken utf-8")},
      {"save", "https://a.example/" + std::string(10000, 'x'), "long link"},
      {"search", "%"},
      {"search", "'"},
      {"list", "99999999999999999999"},
      {"comment", "1", ""},
  };
  for (const auto& args : inputs) {
    DaruRun run = Daru(args);
    EXPECT_LE(run.status, 1) << testing::PrintToString(args) << run.err;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
  }
  // Whatever was stored can be listed and shown.
  json all = DaruJson({"list"});
  for (const json& a : all["articles"]) EXPECT_EQ(Daru({"show", std::to_string(a["id"].get<int>())}).status, 0);
  EXPECT_EQ(Daru({"labels"}).status, 0);
}

// A bare number that names one label and is the id of another is not guessed
// at; "#N" is always the id.
TEST_F(DaruHost, ALabelNamedLikeAnIdIsNeverTakenForAnother) {
  Init();
  const int named = AddLabel("5");  // gets id 4
  const int five = AddLabel("five");
  ASSERT_EQ(five, 5);
  const int id = Save("https://a.example/under-5", "t", {"--label", "#5"})["article"]["id"];
  DaruRun guess = Daru({"label", "rm", "5"});
  EXPECT_EQ(guess.status, 1);
  EXPECT_NE(guess.err.find("'#5'"), std::string::npos) << guess.err;
  EXPECT_EQ(Scalar("SELECT count(*) FROM label WHERE labelid IN (4,5)"), 2);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE articleid=" + std::to_string(id)), 1);
  EXPECT_EQ(DaruJson({"list", "#" + std::to_string(named)})["label"]["name"], "5");
  EXPECT_EQ(DaruJson({"list", "five"})["articles"].size(), 1u);
  EXPECT_EQ(Daru({"label", "rm", "#5", "--yes"}).status, 0);
  EXPECT_EQ(Scalar("SELECT count(*) FROM label WHERE labelid=4"), 1);
  EXPECT_EQ(Daru({"list", "#99"}).status, 1);
}

// Deleting a label takes only the articles filed under no other label, with
// their files, and says which; labels whose parents loop neither crash nor
// hang the program.
TEST_F(DaruHost, RemovingALabelTakesOnlyArticlesHeldNowhereElse) {
  Init();
  const int a = AddLabel("a");
  const int b = AddLabel("b");
  const int only = Save("https://a.example/only", "only", {"--label", "a"})["article"]["id"];
  const int both = Save("https://a.example/both", "both", {"--label", "a"})["article"]["id"];
  Save("https://a.example/both", "both", {"--label", "b"});
  const std::string onlyFile = Show(only)["description_file"];
  // A count that drifted below the links must not matter.
  Daru({"check"});
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((root.path() / "DARU" / "darudb").c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "UPDATE article SET labels=1", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  json removed = DaruJson({"label", "rm", std::to_string(a), "--yes"});
  EXPECT_EQ(removed["articles_removed"], json::array({only}));
  EXPECT_NE(removed["message"].get<std::string>().find("1 article(s)"), std::string::npos);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE articleid=" + std::to_string(both)), 1);
  EXPECT_FALSE(fs::exists(onlyFile));
  EXPECT_EQ(Daru({"check"}).status, 0);

  // Two labels whose parents loop, as two processes could once leave them.
  const int c = AddLabel("c", std::to_string(b));
  ASSERT_EQ(sqlite3_open((root.path() / "DARU" / "darudb").c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, ("UPDATE label SET toplayer=" + std::to_string(c) + " WHERE labelid=" + std::to_string(b)).c_str(),
               nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(Daru({"labels"}).status, 0);
  EXPECT_EQ(Daru({"label", "move", std::to_string(c), std::to_string(b)}).status, 1);
  DaruRun rm = Daru({"label", "rm", std::to_string(b), "--yes"});
  EXPECT_EQ(rm.status, 0) << rm.err;
}

// A capture whose description file cannot be written is undone, and says so.
TEST_F(DaruHost, ACaptureWithoutItsDescriptionFileIsUndone) {
  Init();
  fs::remove_all(root.path() / "DARU" / "web");
  std::ofstream(root.path() / "DARU" / "web") << "not a folder";
  DaruRun run = Daru({"save", "https://a.example/x", "x", "--description", "kept?"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("nothing was saved"), std::string::npos) << run.err;
  EXPECT_EQ(Scalar("SELECT count(*) FROM article"), 0);
  EXPECT_EQ(Scalar("SELECT count(*) FROM articletolabel"), 0);

  // A type folder the catalogue names outside the data root is refused too.
  fs::remove(root.path() / "DARU" / "web");
  fs::create_directory(root.path() / "DARU" / "web");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((root.path() / "DARU" / "darudb").c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "UPDATE articletype SET path='../elsewhere' WHERE type='B'", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  fs::create_directories(root.path() / "elsewhere");
  EXPECT_EQ(Daru({"save", "https://a.example/y", "y"}).status, 1);
  EXPECT_TRUE(fs::is_empty(root.path() / "elsewhere"));
  EXPECT_EQ(Scalar("SELECT count(*) FROM article"), 0);
}

// A description file that cannot be read is not replaced by a comment that
// would lose its description and feed data.
TEST_F(DaruHost, ACommentKeepsAnUnreadableDescriptionFile) {
  Init();
  json f = DaruJson({"feed", (SamplesDir() / "weekly-podcast-12.xml").string(), "--channel", "Pod"});
  const int id = f["article"]["id"];
  const fs::path file = Show(id)["description_file"].get<std::string>();
  fs::resize_file(file, fs::file_size(file) - 12);
  const std::string damaged = ReadFile(file);
  DaruRun run = Daru({"comment", std::to_string(id), "my note"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot be read"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(file), damaged);
  EXPECT_EQ(Daru({"check"}).status, 1);  // and the check still sees it
}

// A feed item file must hold an item; a media file it names that is refused
// is reported.
TEST_F(DaruHost, FeedRefusesFilesWithoutAnItemAndReportsRefusedMedia) {
  Init();
  TempDir dir;
  std::ofstream(dir.path() / "fonts.xml") << "<?xml version=\"1.0\"?><fontconfig><dir>/usr</dir></fontconfig>";
  DaruRun none = Daru({"feed", (dir.path() / "fonts.xml").string(), "--channel", "c"});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("no feed item"), std::string::npos) << none.err;
  EXPECT_EQ(Scalar("SELECT count(*) FROM article"), 0);

  TempDir outside;
  std::ofstream(outside.path() / "secret") << "secret";
  fs::create_symlink(outside.path() / "secret", dir.path() / "shadowlink");
  std::ofstream(dir.path() / "item.xml") << "<r><newstitle><title>t</title><link>http://l.example/</"
                                            "link><mime><url>shadowlink</url></mime></newstitle></r>";
  DaruRun linked = Daru({"feed", (dir.path() / "item.xml").string(), "--channel", "c"});
  EXPECT_EQ(linked.status, 0) << linked.err;
  EXPECT_NE(linked.err.find("warning: the media file 'shadowlink'"), std::string::npos) << linked.err;
  EXPECT_EQ(Scalar("SELECT count(*) FROM article"), 1);
  EXPECT_EQ(fs::exists(root.path() / "DARU" / "rss"), true);
  for (const auto& entry : fs::recursive_directory_iterator(root.path() / "DARU" / "rss"))
    EXPECT_NE(entry.path().filename(), "mime.zevm");
}

// Times after 2038 list as they are and survive an update.
TEST_F(DaruHost, TimesAfter2038SurviveAnUpdate) {
  Init();
  const int id = Save("https://a.example/t", "t")["article"]["id"];
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((root.path() / "DARU" / "darudb").c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "UPDATE article SET crdate=2240000000", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(Daru({"mark", std::to_string(id), "important"}).status, 0);
  EXPECT_EQ(Scalar("SELECT crdate FROM article"), 2240000000LL);
  EXPECT_EQ(Show(id)["created"].get<std::string>().substr(0, 4), "2040");
}

// A catalogue without write permission is not written by root either; the
// smaller faults of the command line.
TEST_F(DaruHost, ReadOnlyCatalogueAndTheSmallerFaults) {
  DaruRun empty = RunDaru({"--root", "", "labels"}, {{"DARU_HOME", root.path().string()}});
  EXPECT_EQ(empty.status, 2);
  EXPECT_NE(empty.err.find("--root"), std::string::npos) << empty.err;

  fs::create_directories(root.path() / "DARU" / "darudb");
  DaruRun folder = Daru({"labels"});
  EXPECT_EQ(folder.status, 1);
  EXPECT_NE(folder.err.find("is not a file"), std::string::npos) << folder.err;
  fs::remove(root.path() / "DARU" / "darudb");

  std::ofstream(root.path() / "DARU" / "darudb").close();  // an empty file is a new catalogue
  json init = DaruJson({"init"});
  EXPECT_EQ(init["created"], true);
  EXPECT_EQ(init["message"].get<std::string>().find("already"), std::string::npos) << init["message"];

  fs::permissions(root.path() / "DARU" / "darudb",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string before = ReadFile(root.path() / "DARU" / "darudb");
  DaruRun add = Daru({"label", "add", "x"});
  EXPECT_EQ(add.status, 1);
  EXPECT_NE(add.err.find("readonly"), std::string::npos) << add.err;
  EXPECT_EQ(Daru({"labels"}).status, 0);
  EXPECT_EQ(Daru({"init"}).status, 0);  // nothing is missing, so nothing is written
  EXPECT_EQ(ReadFile(root.path() / "DARU" / "darudb"), before);
}

// The HTML view reads the description file through the library's guarded
// reader: a FIFO in its place is refused at once instead of blocking (here a
// writer comes along later, so an unguarded read would render what it sends).
TEST_F(DaruHost, HtmlViewRefusesWhatIsNoRegularFile) {
  Init();
  const int id = Save("https://a.example/fifo", "fifo")["article"]["id"];
  const fs::path file = Show(id)["description_file"].get<std::string>();
  fs::remove(file);
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    int fd = open(file.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd < 0) return;  // nobody is reading: the view did not wait
    const std::string doc = "<Article><Title>from the pipe</Title></Article>";
    if (write(fd, doc.data(), doc.size()) < 0) ADD_FAILURE() << "write to the pipe";
    close(fd);
  });
  DaruRun run = Daru({"show", std::to_string(id), "--html"});
  writer.join();
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_NE(run.err.find("cannot read the description file"), std::string::npos) << run.err;
}
