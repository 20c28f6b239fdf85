// The daru program on one catalogue: its check command, and two of it
// capturing at the same time.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/TextConv.h"
#include "fixtures/DaruLauncher.h"
#include "fixtures/ProvisionedRoot.h"
#include "storage/CatalogueCheck.h"

#ifdef DARU_HOST_BUILT
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

using Ran = DaruRun;

Ran Daru(const fs::path& root, const std::vector<std::string>& args) { return RunDaruOn(root, args); }

class DaruProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(HaveDaru()) << "the daru program is not built: build the daru target before these tests";
  }
  ProvisionedRoot root;
};

}  // namespace

TEST_F(DaruProgram, CheckExitsWithOneUntilRepairedAndSaysWhatItFound) {
  ASSERT_EQ(Daru(root.path(), {"save", "http://a.example/", "A"}).status, 0);
  Ran clean = Daru(root.path(), {"check"});
  EXPECT_EQ(clean.status, 0) << clean.out << clean.err;
  EXPECT_NE(clean.out.find("is consistent"), std::string::npos) << clean.out;

  root.Exec("UPDATE article SET labels=3");
  std::ofstream(root.daru() / "web" / "0123456789abcdef0123456789abcdef.xml") << "<Article/>";
  Ran found = Daru(root.path(), {"check"});
  EXPECT_EQ(found.status, 1);
  EXPECT_NE(found.out.find("label-count: article #1 has the label count 3 but 1 link(s)"), std::string::npos)
      << found.out;
  EXPECT_NE(found.out.find("orphan-description: "), std::string::npos) << found.out;
  EXPECT_NE(found.out.find("2 problem(s) found"), std::string::npos) << found.out;
  EXPECT_EQ(root.Rows("SELECT labels FROM article"), Lines({"3"}));

  Ran repaired = Daru(root.path(), {"check", "--repair", "--json"});
  EXPECT_EQ(repaired.status, 1);
  json j = repaired.Json();
  ASSERT_TRUE(j.is_object()) << repaired.out;
  EXPECT_EQ(j["found"], 2);
  EXPECT_EQ(j["repaired"], 2);
  EXPECT_EQ(j["clean"], false);
  EXPECT_EQ(j["findings"][0]["fault"], "label-count");
  EXPECT_EQ(j["findings"][0]["repaired"], true);
  EXPECT_EQ(Daru(root.path(), {"check"}).status, 0);
  EXPECT_FALSE(fs::exists(root.daru() / "web" / "0123456789abcdef0123456789abcdef.xml"));

  Ran missing = Daru(root.path() / "nowhere", {"check"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("does not exist"), std::string::npos) << missing.err;
  EXPECT_FALSE(fs::exists(root.path() / "nowhere"));
}

// Two processes file the same links and links of their own at the same time:
// every capture they reported is there, under the label it named, as the one
// article of its link, and nothing is filed under another process's article.
TEST_F(DaruProgram, TwoProcessesCapturingAtOnceLoseNothingAndMixNothingUp) {
  constexpr int kEach = 20;
  root.Exec("INSERT INTO label(labelid,name,toplayer) VALUES(4,'first',3),(5,'second',3)");
  struct Capture {
    std::string link, title, label;
    int status = -1;
    json reply;
    std::string err;
  };
  std::vector<Capture> runs[2];
  for (int w = 0; w < 2; ++w) {
    std::string label = w == 0 ? "4" : "5";
    for (int i = 0; i < kEach; ++i) {
      // Alternately a link both capture and a link of this process alone.
      bool shared = i % 2 == 0;
      std::string link = shared ? "http://shared.example/" + std::to_string(i)
                                : "http://own.example/" + std::to_string(w) + "/" + std::to_string(i);
      Capture c;
      c.link = link;
      c.title = "title " + std::to_string(w) + "-" + std::to_string(i);
      c.label = label;
      runs[w].push_back(c);
    }
  }
  auto worker = [&](int w) {
    for (Capture& c : runs[w]) {
      Ran r = Daru(root.path(),
                   {"save", c.link, c.title, "--label", c.label, "--description", "about " + c.link, "--json"});
      c.status = r.status;
      c.reply = r.Json();
      c.err = r.err;
    }
  };
  std::thread a(worker, 0), b(worker, 1);
  a.join();
  b.join();

  std::map<std::string, std::set<std::string>> labelsOf;  // link -> labels it was reported filed under
  for (const auto& list : runs)
    for (const Capture& c : list) {
      ASSERT_EQ(c.status, 0) << c.link << ": " << c.err;
      ASSERT_TRUE(c.reply.is_object());
      // The article reported is the one of this link.
      std::string id = std::to_string(c.reply["article"]["id"].get<int>());
      EXPECT_EQ(root.Rows("SELECT url FROM article WHERE articleid=" + id), std::vector<std::string>{c.link})
          << "reported article #" << id << " for " << c.link;
      labelsOf[c.link].insert(c.label);
    }
  for (const auto& [link, labels] : labelsOf) {
    std::vector<std::string> ids = root.Rows("SELECT articleid FROM article WHERE url='" + link + "'");
    ASSERT_EQ(ids.size(), 1u) << link << " is stored " << ids.size() << " times";
    std::vector<std::string> filed = root.Rows("SELECT labelid FROM articletolabel WHERE articleid=" + ids[0]);
    EXPECT_EQ(std::set<std::string>(filed.begin(), filed.end()), labels) << link;
  }
  CCatalogueCheck check;
  ASSERT_TRUE(check.Run(false)) << ToUtf8(check.GetError());
  for (const auto& f : check.GetFindings()) ADD_FAILURE() << ToUtf8(f.text);
}

#endif  // DARU_HOST_BUILT

#ifdef DARU_HOST_BUILT
namespace {

// Runs two daru commands at the same moment.
std::pair<Ran, Ran> AtOnce(const fs::path& root, std::vector<std::string> a, std::vector<std::string> b) {
  a.insert(a.begin(), {"--root", root.string()});
  b.insert(b.begin(), {"--root", root.string()});
  DaruProcess first(a);
  DaruProcess second(b);
  Ran ra = first.Wait();
  Ran rb = second.Wait();
  return {ra, rb};
}

void ExpectConsistent(const std::string& round) {
  CCatalogueCheck check;
  ASSERT_TRUE(check.Run(false)) << ToUtf8(check.GetError());
  for (const auto& f : check.GetFindings()) ADD_FAILURE() << round << ": " << ToUtf8(f.text);
}

// Rounds of each race; scripts/reliability runs more (DARU_RACE_ROUNDS).
int Rounds() {
  const char* rounds = std::getenv("DARU_RACE_ROUNDS");
  return rounds && std::atoi(rounds) > 0 ? std::atoi(rounds) : 6;
}

}  // namespace

// Two writers of one description file: each writes a copy of its own, and the
// last complete one wins; the file is always one whole document.
TEST_F(DaruProgram, TwoProcessesCommentingOneArticleLeaveOneWholeFile) {
  ASSERT_EQ(Daru(root.path(), {"save", "http://one.example/", "one", "--description", "the description"}).status, 0);
  for (int i = 0, rounds = Rounds(); i < rounds; ++i) {
    const std::string a = "comment a" + std::to_string(i), b = "comment b" + std::to_string(i);
    auto [ra, rb] = AtOnce(root.path(), {"comment", "1", a}, {"comment", "1", b});
    EXPECT_EQ(ra.status, 0) << ra.err;
    EXPECT_EQ(rb.status, 0) << rb.err;
    Ran shown = Daru(root.path(), {"show", "1", "--json"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    json article = shown.Json()["article"];
    EXPECT_EQ(article["description"], "the description");
    EXPECT_TRUE(article["comment"] == a || article["comment"] == b) << article["comment"];
    ExpectConsistent("round " + std::to_string(i));
  }
}

// Two processes moving two labels under each other at once: at most one move
// holds, and the parents never loop.
TEST_F(DaruProgram, TwoProcessesMovingTwoLabelsUnderEachOtherNeverMakeALoop) {
  root.Exec("INSERT INTO label(labelid,name,toplayer) VALUES(4,'a',3),(5,'b',3)");
  for (int i = 0, rounds = Rounds(); i < rounds; ++i) {
    root.Exec("UPDATE label SET toplayer=3 WHERE labelid IN (4,5)");
    auto [ra, rb] = AtOnce(root.path(), {"label", "move", "#4", "#5"}, {"label", "move", "#5", "#4"});
    EXPECT_LE(ra.status, 1) << ra.err;
    EXPECT_LE(rb.status, 1) << rb.err;
    EXPECT_FALSE(ra.status == 0 && rb.status == 0) << "both moves reported done";
    ExpectConsistent("round " + std::to_string(i));
  }
}

// A rename and a move of one label at once: both hold.
TEST_F(DaruProgram, TwoProcessesRenamingAndMovingOneLabelBothHold) {
  root.Exec("INSERT INTO label(labelid,name,toplayer) VALUES(4,'a',3),(5,'b',3)");
  for (int i = 0, rounds = Rounds(); i < rounds; ++i) {
    const std::string name = "a" + std::to_string(i);
    const std::string parent = i % 2 == 0 ? "5" : "3";
    auto [ra, rb] = AtOnce(root.path(), {"label", "rename", "#4", name}, {"label", "move", "#4", "#" + parent});
    EXPECT_EQ(ra.status, 0) << ra.err;
    EXPECT_EQ(rb.status, 0) << rb.err;
    EXPECT_EQ(root.Rows("SELECT name, toplayer FROM label WHERE labelid=4"),
              std::vector<std::string>{name + "|" + parent});
  }
}

// A label removed while another process files one of its articles under a
// further label: the article stays when the filing held, goes with its files
// when it did not, and the counts agree with the links.
TEST_F(DaruProgram, TwoProcessesRemovingALabelAndFilingItsArticle) {
  for (int i = 0, rounds = Rounds(); i < rounds; ++i) {
    const std::string x = "x" + std::to_string(i), y = "y" + std::to_string(i);
    ASSERT_EQ(Daru(root.path(), {"label", "add", x}).status, 0);
    ASSERT_EQ(Daru(root.path(), {"label", "add", y}).status, 0);
    const std::string link = "http://filed.example/" + std::to_string(i);
    ASSERT_EQ(Daru(root.path(), {"save", link, "t", "--label", x, "--description", "d"}).status, 0);
    auto [rm, save] = AtOnce(root.path(), {"label", "rm", x, "--yes"}, {"save", link, "t", "--label", y, "--json"});
    EXPECT_EQ(rm.status, 0) << rm.err;
    EXPECT_LE(save.status, 1) << save.err;
    std::vector<std::string> ids = root.Rows("SELECT articleid FROM article WHERE url='" + link + "'");
    if (save.status == 0) {
      ASSERT_EQ(ids.size(), 1u) << "round " << i << ": a filing reported done went missing";
      EXPECT_EQ(root.Rows("SELECT count(*) FROM articletolabel WHERE articleid=" + ids[0]), Lines({"1"}));
    }
    ExpectConsistent("round " + std::to_string(i));
  }
}
#endif  // DARU_HOST_BUILT
