// edit, open, export and the safer label removal, and how daru words its
// usage errors, run as a person or a script would.

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "HostFixture.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class ArticleCommands : public DaruRootTest {
 protected:
  int Save(const std::string& url, const std::string& title, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"save", url, title};
    args.insert(args.end(), more.begin(), more.end());
    return DaruJson(args)["article"]["id"];
  }
  json Show(int id) { return DaruJson({"show", std::to_string(id)})["article"]; }
  TempDir files;
};

TEST_F(ArticleCommands, EditChangesTextsAndKeepsCommentAndFeedData) {
  json imported = DaruJson({"import", (SamplesDir() / "weekly-podcast.rss").string()});
  const std::string id = std::to_string(imported["items"][0]["id"].get<int>());
  ASSERT_EQ(Daru({"comment", id, "听过了"}).status, 0);

  json edited = DaruJson({"edit", id, "--title", "第十二期", "--keywords", "播客", "--description", "新的描述"});
  EXPECT_EQ(edited["changed"], json::array({"title", "keywords", "description"}));
  json a = Show(std::stoi(id));
  EXPECT_EQ(a["title"], "第十二期");
  EXPECT_EQ(a["keywords"], "播客");
  EXPECT_EQ(a["description"], "新的描述");
  EXPECT_EQ(a["comment"], "听过了");
  EXPECT_EQ(a["feed"]["channel_title"], "Weekly Podcast");
  EXPECT_TRUE(a["feed"].contains("media_copy"));
  const std::string file = ReadFile(a["description_file"].get<std::string>());
  EXPECT_NE(file.find("第十二期"), std::string::npos);  // the file carries the new title too
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE title='第十二期' AND key1='播客'"), 1);

  EXPECT_EQ(DaruJson({"edit", id, "--title", "第十二期"})["changed"], json::array());
  EXPECT_EQ(Daru({"edit", id}).status, 2);
  EXPECT_EQ(Daru({"edit", id, "--title", ""}).status, 2);
  EXPECT_EQ(Daru({"edit", "999", "--title", "x"}).status, 1);
}

TEST_F(ArticleCommands, SavingAStoredLinkSaysWhatChangedAndWhatWasKept) {
  const int id = Save("https://a.example/s", "原标题", {"--keywords", "k", "--description", "d"});
  json again =
      DaruJson({"save", "https://a.example/s", "新标题", "--keywords", "k2", "--comment", "c", "--label", "2"});
  EXPECT_EQ(again["result"], "filed");
  EXPECT_EQ(again["changed"], json::array({"comment"}));
  EXPECT_EQ(again["ignored"], json::array({"title", "keywords"}));
  EXPECT_EQ(again["article"]["title"], "原标题");
  EXPECT_EQ(again["article"]["comment"], "c");
  EXPECT_NE(again["message"].get<std::string>().find("daru edit " + std::to_string(id)), std::string::npos);
  // Only reporting, --no-link changes nothing at all.
  json reported = DaruJson({"save", "https://a.example/s", "原标题", "--comment", "other", "--no-link"});
  EXPECT_EQ(reported["ignored"], json::array({"comment"}));
  EXPECT_EQ(Show(id)["comment"], "c");
}

TEST_F(ArticleCommands, OpenHandsTheLinkToXdgOpen) {
  const int id = Save("https://a.example/open?x=1&y=2", "to open");
  const int empty =
      DaruJson({"feed", (SamplesDir() / "bulletin-no-link.xml").string(), "--label", "3"})["article"]["id"];
  const int bare = Save("example.org/page", "no scheme");
  const int script = Save("javascript:alert(1)", "not a link");
  const fs::path opened = files.path() / "opened";
  const fs::path opener = files.path() / "xdg-open";
  std::ofstream(opener) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened.string() << "'\n";
  fs::permissions(opener, fs::perms::owner_all);
  const std::map<std::string, std::string> path{{"PATH", files.path().string()}};

  DaruRun run = Daru({"open", std::to_string(id)}, path);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(opened), "https://a.example/open?x=1&y=2");

  fs::remove(opened);
  for (int refused : {empty, bare, script}) {
    DaruRun r = Daru({"open", std::to_string(refused)}, path);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(opened)) << r.err;
  }
  DaruRun none = Daru({"open", std::to_string(id)}, {{"PATH", (files.path() / "nothing").string()}});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("no xdg-open"), std::string::npos) << none.err;
}

class Export : public ArticleCommands {
 protected:
  void SetUp() override {
    ArticleCommands::SetUp();
    ASSERT_EQ(Daru({"label", "add", "技术"}).status, 0);
    ASSERT_EQ(Daru({"label", "add", "数据库", "--parent", "技术"}).status, 0);
    first =
        Save("https://a.example/1", "<script>alert('x')</script> & more",
             {"--label", "数据库", "--keywords", "sql", "--description", "描述 <b>不是标记</b>", "--comment", "注释"});
    Save("https://a.example/1", "same", {"--label", "3"});
    Save("https://a.example/2", "第二篇", {"--label", "技术"});
    ASSERT_EQ(Daru({"mark", std::to_string(first), "important"}).status, 0);
    DaruJson({"import", (SamplesDir() / "city-news.rdf").string()});
  }
  int first = 0;
};

TEST_F(Export, JsonHoldsLabelsTimesMarksAndTexts) {
  DaruRun run = Daru({"export", "--format", "json"});
  ASSERT_EQ(run.status, 0) << run.err;
  json doc = run.Json();
  EXPECT_EQ(doc["count"], 5);
  json a;
  for (const json& row : doc["articles"])
    if (row["id"] == first) a = row;
  ASSERT_FALSE(a.is_null());
  EXPECT_EQ(a["description"], "描述 <b>不是标记</b>");
  EXPECT_EQ(a["comment"], "注释");
  EXPECT_EQ(a["important"], true);
  EXPECT_GT(a["created_epoch"].get<long>(), 0);
  std::set<std::string> paths;
  for (const json& l : a["filed_under"]) paths.insert(l["path"]);
  EXPECT_EQ(paths, (std::set<std::string>{"我的资料库/技术/数据库", "我的资料库/未分类"}));

  // A label exports its branch only; --json changes nothing about a document.
  json branch = DaruJson({"export", "技术", "--format", "json"});
  EXPECT_EQ(branch["count"], 2);
}

TEST_F(Export, HtmlIsOneValidEscapedPage) {
  DaruRun run = Daru({"export", "--format", "html"});
  ASSERT_EQ(run.status, 0) << run.err;
  const fs::path page = files.path() / "page.html";
  std::ofstream(page) << run.out;
  const std::string check = "xmllint --html --noout '" + page.string() + "' 2>'" + page.string() + ".err'";
  EXPECT_EQ(std::system(check.c_str()), 0) << ReadFile(page.string() + ".err");
  EXPECT_EQ(run.out.find("<script>"), std::string::npos);
  EXPECT_EQ(run.out.find("<b>不是标记"), std::string::npos);
  EXPECT_NE(run.out.find("&lt;script&gt;"), std::string::npos);
  EXPECT_NE(run.out.find("东区周日上午停水"), std::string::npos);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n') > 10, true);
  EXPECT_EQ(run.out.find("<html", 10), run.out.find("<html"));  // one page, not one per article
}

TEST_F(Export, BookmarksImportBackWithLinksTitlesAndLabels) {
  DaruRun run = Daru({"export", "--format", "bookmarks"});
  ASSERT_EQ(run.status, 0) << run.err;
  const fs::path file = files.path() / "bookmarks.html";
  std::ofstream(file) << run.out;

  auto filings = [](const fs::path& at) {
    std::set<std::tuple<std::string, std::string, std::string>> out;
    json doc = json::parse(RunDaru({"--root", at.string(), "export", "--format", "json"}).out);
    for (const json& a : doc["articles"])
      for (const json& l : a["filed_under"])
        out.insert({a["url"].get<std::string>(), a["title"].get<std::string>(), l["path"].get<std::string>()});
    return out;
  };
  TempDir other;
  ASSERT_EQ(RunDaru({"--root", other.path().string(), "init"}).status, 0);
  DaruRun imported = RunDaru({"--root", other.path().string(), "import", file.string(), "--json"});
  ASSERT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(imported.Json()["new"], 5);
  EXPECT_EQ(filings(other.path()), filings(root.path()));
}

TEST_F(ArticleCommands, LabelRemovalAsksWhenArticlesWouldGo) {
  ASSERT_EQ(Daru({"label", "add", "a"}).status, 0);
  ASSERT_EQ(Daru({"label", "add", "b", "--parent", "a"}).status, 0);
  const int only = Save("https://a.example/only-b", "只在b", {"--label", "b"});
  Save("https://a.example/also-3", "也在3", {"--label", "b"});
  Save("https://a.example/also-3", "也在3", {"--label", "3"});

  // No terminal, no --yes: a usage error, and nothing goes.
  DaruRun refused = Daru({"label", "rm", "a"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("--yes"), std::string::npos);
  EXPECT_EQ(Labels(), 5);

  const std::vector<std::string> rm{"--root", root.path().string(), "label", "rm", "a", "--json"};
  DaruRun declined = RunDaruOnTerminal(rm, "n\n");
  EXPECT_EQ(declined.status, 1) << declined.err;
  EXPECT_NE(declined.err.find("2 article(s)"), std::string::npos) << declined.err;
  EXPECT_EQ(Labels(), 5);

  DaruRun accepted = RunDaruOnTerminal(rm, "y\n");
  ASSERT_EQ(accepted.status, 0) << accepted.err;
  json report = accepted.Json();
  EXPECT_EQ(report["removed"].size(), 2u);
  EXPECT_EQ(report["articles_removed"], json::array({only}));
  EXPECT_EQ(report["articles_kept"], 1);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE articleid=" + std::to_string(only)), 0);
  EXPECT_EQ(Labels(), 3);

  // An empty branch needs no question; --yes skips it for one that is not.
  ASSERT_EQ(Daru({"label", "add", "empty"}).status, 0);
  EXPECT_EQ(Daru({"label", "rm", "empty"}).status, 0);
  ASSERT_EQ(Daru({"label", "add", "c"}).status, 0);
  Save("https://a.example/c", "c", {"--label", "c"});
  EXPECT_EQ(Daru({"label", "rm", "c", "--yes"}).status, 0);
}

TEST_F(ArticleCommands, UsageErrorsAreWordedAndConsistent) {
  DaruRun typo = Daru({"lables"});
  EXPECT_EQ(typo.status, 2);
  EXPECT_NE(typo.err.find("did you mean 'labels'"), std::string::npos) << typo.err;
  DaruRun nested = Daru({"label", "remove", "x"});
  EXPECT_EQ(nested.status, 2);
  EXPECT_NE(nested.err.find("no command 'remove'"), std::string::npos) << nested.err;
  DaruRun far = Daru({"xyzzyplugh"});
  EXPECT_EQ(far.status, 2);
  EXPECT_EQ(far.err.find("did you mean"), std::string::npos);

  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"rm", "abc"}, {"show", "12x"}, {"edit", "-3"}, {"open", "0"}, {"comment", "abc", "text"}}) {
    DaruRun run = Daru(args);
    const std::string& cmd = args[0];
    EXPECT_EQ(run.status, 2) << cmd;
    EXPECT_NE(run.err.find("ID must be a number such as 12"), std::string::npos) << run.err;
  }
  // The same mistake, the same status, whichever command makes it.
  ASSERT_EQ(Daru({"label", "add", "x"}).status, 0);
  EXPECT_EQ(Daru({"label", "add", ""}).status, 2);
  EXPECT_EQ(Daru({"label", "rename", "x", ""}).status, 2);
  EXPECT_EQ(Daru({"label", "rename", "nope", ""}).status, 2);
  EXPECT_EQ(Daru({"export", "--format", "pdf"}).status, 2);
  EXPECT_EQ(Daru({"import", "x.rss", "--timeout", "soon"}).status, 2);

  DaruRun version = Daru({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("daru ", 0), 0u) << version.out;

  const int id = Save("https://a.example/t", "t");
  DaruRun show = Daru({"show", std::to_string(id)});
  EXPECT_NE(show.out.find("page"), std::string::npos);
}

}  // namespace
