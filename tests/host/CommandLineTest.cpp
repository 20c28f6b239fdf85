// The command line's conventions and what daru prints for scripts and
// terminals, run as a person or a script would.

#include <signal.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "HostFixture.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

class CommandLine : public DaruRootTest {
 protected:
  int Save(const std::string& url, const std::string& title, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"save", url, title};
    args.insert(args.end(), more.begin(), more.end());
    return DaruJson(args)["article"]["id"];
  }
  int AddLabel(const std::string& name, const std::string& parent = "") {
    std::vector<std::string> args{"label", "add", name};
    if (!parent.empty()) args.insert(args.end(), {"--parent", parent});
    return DaruJson(args)["label"]["id"];
  }
  void Sql(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((root.path() / "DARU" / "darudb").c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
  }
  TempDir files;
};

// 2024-05-11T02:00:00+08:00: a date, a time and an offset.
bool IsIso(const json& value) {
  if (!value.is_string()) return false;
  const std::string s = value;
  const std::string shape = "dddd-dd-ddTdd:dd:dd+dd:dd";
  if (s.size() != shape.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (shape[i] == 'd'   ? !std::isdigit(static_cast<unsigned char>(s[i]))
        : shape[i] == '+' ? s[i] != '+' && s[i] != '-'
                          : s[i] != shape[i])
      return false;
  }
  return true;
}

// Nothing a terminal obeys: ESC, CSI and OSC as C0 or as C1 characters.
void ExpectNoEscapes(const std::string& text) {
  EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
  EXPECT_EQ(text.find('\x07'), std::string::npos) << text;
  EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos) << text;
  EXPECT_EQ(text.find("\xc2\x9d"), std::string::npos) << text;
}

TEST_F(CommandLine, GlobalOptionsGoBeforeOrAfterTheCommand) {
  const int id = Save("https://a.example/g", "global");
  const std::string sid = std::to_string(id);
  const std::string r = root.path().string();
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--root", r, "--json", "show", sid},
                                             {"--json", "--root", r, "show", sid},
                                             {"show", sid, "--json", "--root", r},
                                             {"--root", r, "show", "--json", sid},
                                             {"--json", "--store", "sqlite", "--root", r, "show", sid}}) {
    DaruRun run = RunDaru(args);
    ASSERT_EQ(run.status, 0) << testing::PrintToString(args) << run.err;
    EXPECT_EQ(run.Json()["article"]["id"], id) << testing::PrintToString(args);
  }
  EXPECT_EQ(RunDaru({"--json", "--root", r, "label", "add", "g"}).Json()["label"]["name"], "g");
  EXPECT_EQ(RunDaru({"label", "--root", r, "rename", "g", "h", "--json"}).status, 0);

  // Each command's help lists them too.
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"show", "--help"}, {"label", "add", "--help"}, {"export", "--help"}}) {
    DaruRun help = RunDaru(args);
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--root", "--json", "--store"})
      EXPECT_NE(help.out.find(option), std::string::npos) << testing::PrintToString(args) << help.out;
  }
}

TEST_F(CommandLine, UnknownOptionsAndEmptyValuesAreNamed) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"-x"}, {"-x", "labels"}, {"labels", "-x"}, {"show", "1", "-x"}}) {
    DaruRun run = Daru(args);
    EXPECT_EQ(run.status, 2) << testing::PrintToString(args);
    EXPECT_NE(run.err.find("'-x'"), std::string::npos) << run.err;
  }
  DaruRun near = Daru({"list", "--jsno"});
  EXPECT_NE(near.err.find("did you mean '--json'"), std::string::npos) << near.err;

  DaruRun empty = RunDaru({"--root", "", "labels"});
  EXPECT_EQ(empty.status, 2);
  EXPECT_NE(empty.err.find("--root needs a folder"), std::string::npos) << empty.err;
  EXPECT_NE(RunDaru({"labels", "--root="}).err.find("--root needs a folder"), std::string::npos);

  DaruRun show = Daru({"show", ""});
  EXPECT_EQ(show.status, 2);
  EXPECT_NE(show.err.find("ID must be a number"), std::string::npos) << show.err;

  // A page needs a title, as an edit does: nothing is stored without one.
  DaruRun untitled = Daru({"save", "https://a.example/untitled", ""});
  EXPECT_EQ(untitled.status, 2);
  EXPECT_NE(untitled.err.find("title"), std::string::npos) << untitled.err;
  EXPECT_EQ(Daru({"save", "", "no link"}).status, 2);
  EXPECT_EQ(Articles(), 0);
}

TEST_F(CommandLine, MarkTakesSeveralIdsAndWordsInAnyCase) {
  const int a = Save("https://a.example/1", "one");
  const int b = Save("https://a.example/2", "two");
  json marked = DaruJson({"mark", std::to_string(a), std::to_string(b), "UNREAD"});
  EXPECT_EQ(marked["articles"].size(), 2u);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE readflag='F'"), 2);
  EXPECT_EQ(Daru({"mark", "Important", std::to_string(a)}).status, 0);
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE impflag='T'"), 1);

  // One missing id spoils none of the others, and the run says so.
  DaruRun partly = Daru({"mark", std::to_string(a), "999", std::to_string(b), "read"});
  EXPECT_EQ(partly.status, 1);
  EXPECT_NE(partly.err.find("no article #999"), std::string::npos) << partly.err;
  EXPECT_EQ(Scalar("SELECT count(*) FROM article WHERE readflag='T'"), 2);

  EXPECT_EQ(Daru({"mark", std::to_string(a)}).status, 2);
  EXPECT_EQ(Daru({"mark", "read"}).status, 2);
  EXPECT_EQ(Daru({"mark", std::to_string(a), "read", "unread"}).status, 2);
}

TEST_F(CommandLine, SearchTakesItsWordsAsOneText) {
  Save("https://a.example/1", "a b c");
  Save("https://a.example/2", "b a");
  json found = DaruJson({"search", "a", "b"});
  EXPECT_EQ(found["search"], "a b");
  EXPECT_EQ(found["count"], 1);
  EXPECT_EQ(found["articles"][0]["title"], "a b c");
}

// A signal to end is an end with the status shells expect for it.
TEST_F(CommandLine, SigtermEndsWith143) {
  AddLabel("held");
  Save("https://a.example/held", "held", {"--label", "held"});
  Terminal terminal;
  DaruProcess asking({"--root", root.path().string(), "label", "rm", "held"}, {}, terminal.Path());
  for (int i = 0; i < 100 && asking.ErrSoFar().find("[y/N]") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_NE(asking.ErrSoFar().find("[y/N]"), std::string::npos);
  asking.Signal(SIGTERM);
  EXPECT_EQ(asking.Wait().status, 143);
  EXPECT_EQ(Labels(), 4);  // nothing was removed
}

TEST_F(CommandLine, ErrorsAndQuestionsCarryNoTerminalEscapes) {
  const std::string osc52 = "\x1b]52;c;ZWNobyBodW50ZXIy\x07";
  const std::string title = "\x1b]0;owned\x07title";
  const std::string c1 =
      "c1\xc2\x9b"
      "31m\xc2\x9d"
      "0;x\xc2\x9c";
  const int id = Save("https://a.example/e", title);
  AddLabel(osc52);
  AddLabel(c1);

  DaruRun rm = Daru({"rm", std::to_string(id), "--label", osc52});
  EXPECT_EQ(rm.status, 1);
  ExpectNoEscapes(rm.err);
  DaruRun move = Daru({"label", "move", osc52, osc52});
  EXPECT_EQ(move.status, 1);
  ExpectNoEscapes(move.err);

  Save("https://a.example/held", "held", {"--label", c1});
  DaruRun question = RunDaruOnTerminal({"--root", root.path().string(), "label", "rm", c1}, "n\n");
  EXPECT_NE(question.err.find("[y/N]"), std::string::npos) << question.err;
  ExpectNoEscapes(question.err);

  // Standard output filters the C1 range too; JSON keeps the text as stored.
  ExpectNoEscapes(Daru({"labels"}).out);
  ExpectNoEscapes(Daru({"list"}).out);
  EXPECT_EQ(DaruJson({"show", std::to_string(id)})["article"]["title"], title);

  const int link = Save("https://a.example/\x1b]0;x\x07", "link");
  DaruRun open = Daru({"open", std::to_string(link)}, {{"PATH", files.path().string()}});
  EXPECT_EQ(open.status, 1);
  ExpectNoEscapes(open.err);
}

TEST_F(CommandLine, OpenTakesWebAndFtpLinksOnly) {
  const fs::path opened = files.path() / "opened";
  const fs::path opener = files.path() / "xdg-open";
  std::ofstream(opener) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << opened.string() << "'\n";
  fs::permissions(opener, fs::perms::owner_all);
  const std::map<std::string, std::string> path{{"PATH", files.path().string()}};

  for (const std::string link : {"HTTPS://a.example/upper", "ftp://files.example/a.txt"}) {
    DaruRun run = Daru({"open", std::to_string(Save(link, "ok"))}, path);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(opened), link);
    fs::remove(opened);
  }
  for (const std::string link : {"file:///usr/share/applications/evil.desktop", "vbscript:msgbox(1)",
                                 "x-scheme-handler:whatever", "data:text/html,<script>", "http:/one-slash"}) {
    DaruRun run = Daru({"open", std::to_string(Save(link, "refused"))}, path);
    EXPECT_EQ(run.status, 1) << link;
    EXPECT_NE(run.err.find("not opened"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(opened)) << link;
  }
}

TEST_F(CommandLine, ListingsCountAndTimesAreIso) {
  const int id = Save("https://a.example/t", "t");
  Save("https://a.example/u", "u");
  EXPECT_EQ(DaruJson({"list"})["count"], 2);
  EXPECT_EQ(DaruJson({"search", "t"})["count"], 1);
  EXPECT_EQ(DaruJson({"labels"})["count"], 3);
  EXPECT_EQ(DaruJson({"export", "--format", "json"})["count"], 2);

  ASSERT_EQ(Daru({"mark", std::to_string(id), "unread"}).status, 0);
  json unread = DaruJson({"show", std::to_string(id)})["article"];
  EXPECT_TRUE(IsIso(unread["created"])) << unread["created"];
  EXPECT_FALSE(unread["created_text"].get<std::string>().empty());
  ASSERT_EQ(Daru({"mark", std::to_string(id), "read"}).status, 0);
  json read = DaruJson({"show", std::to_string(id)})["article"];
  EXPECT_TRUE(IsIso(read["read_at"])) << read["read_at"];

  // The same moment in both forms: a fixed time zone makes the offset known.
  Sql("UPDATE article SET crdate=1715364000 WHERE articleid=" + std::to_string(id));
  DaruRun shanghai = RunDaru({"--root", root.path().string(), "show", std::to_string(id), "--json"}, {{"TZ", "CST-8"}});
  json a = shanghai.Json()["article"];
  EXPECT_EQ(a["created"], "2024-05-11T02:00:00+08:00");
  EXPECT_EQ(a["created_text"].get<std::string>().substr(0, 10), "2024/05/11");

  json feed = DaruJson({"feed", (SamplesDir() / "weekly-podcast-12.xml").string(), "--channel", "Pod"});
  json f = DaruJson({"show", std::to_string(feed["article"]["id"].get<int>())})["article"]["feed"];
  EXPECT_EQ(f["published"], "2024-05-10T18:00:00+00:00");
  EXPECT_EQ(f["published_text"], "Fri, 10 May 2024 18:00:00 +0000");
}

TEST_F(CommandLine, CommentsAndLabelPathsAreUnambiguousInJson) {
  const int id = Save("https://a.example/c", "c", {"--comment", "one\r\ntwo\rthree"});
  EXPECT_EQ(DaruJson({"show", std::to_string(id)})["article"]["comment"], "one\ntwo\nthree");

  const int slash = AddLabel("a/b");
  AddLabel("c", std::to_string(slash));
  Save("https://a.example/c", "c", {"--label", "c"});
  json doc = DaruJson({"export", "c", "--format", "json"});
  ASSERT_EQ(doc["count"], 1);
  EXPECT_EQ(doc["articles"][0]["comment"], "one\ntwo\nthree");
  const json& label = doc["articles"][0]["filed_under"][0];
  EXPECT_EQ(label["path"].get<std::string>().substr(label["path"].get<std::string>().find('/') + 1), "a\\/b/c");
  EXPECT_EQ(label["path_names"].size(), 3u);
  EXPECT_EQ(label["path_names"][1], "a/b");
}

TEST_F(CommandLine, SiblingLabelsHaveDistinctNames) {
  const int x = AddLabel("x");
  const int y = AddLabel("y");
  DaruRun again = Daru({"label", "add", "x"});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("has a label named 'x' already"), std::string::npos) << again.err;
  DaruRun rename = Daru({"label", "rename", "y", "x"});
  EXPECT_EQ(rename.status, 1);
  EXPECT_NE(rename.err.find("already"), std::string::npos) << rename.err;
  EXPECT_EQ(Daru({"label", "rename", "y", "y"}).status, 0);  // its own name is no clash

  // Under another parent the name is free, but it cannot move back beside its namesake.
  const int inner = AddLabel("x", std::to_string(y));
  DaruRun move = Daru({"label", "move", "#" + std::to_string(inner), "#1"});
  EXPECT_EQ(move.status, 1);
  EXPECT_NE(move.err.find("already"), std::string::npos) << move.err;
  EXPECT_EQ(Scalar("SELECT toplayer FROM label WHERE labelid=" + std::to_string(inner)), y);
  EXPECT_EQ(Scalar("SELECT count(*) FROM label WHERE name='x'"), 2);
  EXPECT_EQ(DaruJson({"list", "#" + std::to_string(x)})["count"], 0);
}

// A chain of labels far deeper than the stack is exported without recursion,
// and its file does not grow with the square of the depth.
TEST_F(CommandLine, BookmarksOfADeepLabelChain) {
  constexpr int kDepth = 20000;
  Sql("WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(99 + kDepth) +
      ") INSERT INTO label (labelid, name, toplayer) SELECT i, 'L' || i, CASE i WHEN 100 THEN 1 ELSE i - 1 END FROM n");
  const int id = Save("https://a.example/deep", "deep", {"--label", "#" + std::to_string(99 + kDepth)});
  ASSERT_GT(id, 0);
  DaruRun run = Daru({"export", "--format", "bookmarks"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("https://a.example/deep"), std::string::npos);
  // Three lines a folder (the head label's included, and the two fixed labels
  // below it, which export as empty folders), the link, and the file's frame.
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3 * (kDepth + 3) + 8);
  EXPECT_LT(run.out.size(), 8u << 20);
}

// The stylesheet on a shared data root reads nothing beyond the documents
// daru gives it.
TEST_F(CommandLine, TheStylesheetReadsNoOtherFiles) {
  const fs::path secret = files.path() / "secret.xml";
  std::ofstream(secret) << "<secret>the other user's secret</secret>";
  const fs::path sheet = root.path() / "DARU" / "default.xslt";
  std::ofstream(sheet) << "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                          "<xsl:output method=\"html\"/><xsl:template match=\"/\"><html><body>"
                          "<p><xsl:value-of select=\"document('"
                       << secret.string() << "')\"/></p></body></html></xsl:template></xsl:stylesheet>";
  const int id = Save("https://a.example/x", "x");
  DaruRun show = Daru({"show", std::to_string(id), "--html"});
  EXPECT_EQ(show.out.find("secret"), std::string::npos) << show.out;
  DaruRun page = Daru({"export", "--format", "html"});
  EXPECT_EQ(page.out.find("the other user"), std::string::npos) << page.out;

  // Nor through an include while it is read.
  const fs::path included = files.path() / "included.xsl";
  std::ofstream(included) << "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                             "<xsl:template match=\"/\">included</xsl:template></xsl:stylesheet>";
  std::ofstream(sheet) << "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                          "<xsl:include href=\""
                       << included.string() << "\"/></xsl:stylesheet>";
  DaruRun include = Daru({"show", std::to_string(id), "--html"});
  EXPECT_EQ(include.status, 1);
  EXPECT_EQ(include.out.find("included"), std::string::npos) << include.out;
}

}  // namespace
