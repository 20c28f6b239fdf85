// The daru program on one catalogue: its check command, and two of it
// capturing at the same time.

#include <gtest/gtest.h>

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
    if (!HaveDaru()) GTEST_SKIP() << "the daru program is not built";
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
