// The daru program on the ODBC store, run as a person or a script would.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "StoreCatalogue.h"
#include "fixtures/CaptureRace.h"
#include "fixtures/DaruLauncher.h"

namespace {

class DaruOnAccess : public ::testing::TestWithParam<StoreKind> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(HaveDaru()) << "the daru program is not built";
    catalogue = std::make_unique<StoreCatalogue>(GetParam());
    store = GetParam() == StoreKind::AccessEmbedded ? "access" : "odbc:" + catalogue->Connection();
  }
  // Runs daru with the store option; the output, after checking the status.
  std::string Daru(std::vector<std::string> args, int status = 0) {
    args.insert(args.begin(), {"--store", store});
    const DaruRun run = RunDaruOn(catalogue->root().path(), args);
    EXPECT_EQ(run.status, status) << run.err;
    return run.out;
  }

  std::unique_ptr<StoreCatalogue> catalogue;
  std::string store;
};

}  // namespace

TEST_P(DaruOnAccess, EveryCommandWorksOnTheChosenStore) {
  EXPECT_NE(Daru({"init"}).find("already initialised"), std::string::npos);
  EXPECT_NE(Daru({"label", "add", "新闻 'a'"}).find("#4"), std::string::npos);
  Daru({"save", "http://example.com/'1'", "It's 标题", "--label", "新闻 'a'", "--keywords", "k"});
  Daru({"save", "http://example.com/2", "second"});
  EXPECT_EQ(catalogue->Rows("SELECT title, key1, labels FROM {article} ORDER BY articleid"),
            Lines({"It's 标题|k|1", "second||1"}));
  EXPECT_EQ(catalogue->root().Rows("SELECT count(*) FROM article"), Lines({"0"}));  // not the SQLite catalogue

  EXPECT_NE(Daru({"search", "标题"}).find("It's 标题"), std::string::npos);
  Daru({"mark", "1", "important"});
  EXPECT_EQ(catalogue->Rows("SELECT impflag FROM {article} WHERE articleid=1"), Lines({"T"}));
  EXPECT_NE(Daru({"labels"}).find("新闻 'a'  #4  (1)"), std::string::npos);
  Daru({"label", "rm", "4", "--yes"});
  EXPECT_EQ(catalogue->Rows("SELECT count(*) FROM {article}"), Lines({"1"}));
  Daru({"rm", "2"});
  EXPECT_EQ(Daru({"list"}).find("second"), std::string::npos);
  Daru({"check"}, 2);  // the check reads the SQLite catalogue only

  // The same choice through the environment.
  const DaruRun fromEnvironment = RunDaru(
      {"--root", catalogue->root().path().string(), "label", "add", "from the environment"}, {{"DARU_STORE", store}});
  EXPECT_EQ(fromEnvironment.status, 0) << fromEnvironment.err;
  EXPECT_EQ(catalogue->Rows("SELECT count(*) FROM {label} WHERE name='from the environment'"), Lines({"1"}));
}

TEST_P(DaruOnAccess, TwoProcessesSavingTheSameLinksKeepOneArticlePerLink) {
  constexpr int kLinks = 8;
  for (int i = 0; i < kLinks; ++i) {
    const std::string url = "http://example.com/same/" + std::to_string(i);
    const std::string root = catalogue->root().path().string();
    DaruProcess one({"--root", root, "--store", store, "save", url, "t", "--label", "2"});
    DaruProcess two({"--root", root, "--store", store, "save", url, "t", "--label", "3"});
    EXPECT_EQ(one.Wait().status, 0) << one.Wait().err;
    EXPECT_EQ(two.Wait().status, 0) << two.Wait().err;
  }
  EXPECT_EQ(catalogue->Rows("SELECT count(*), count(DISTINCT filename), min(labels), max(labels) FROM {article}"),
            Lines({"8|8|2|2"}));
  EXPECT_EQ(catalogue->Rows("SELECT count(*) FROM {link}"), Lines({"16"}));
}

// Two saves of one link at once: one "new", and neither loses the other's
// text. The shared server gets the full run; the embedded file a shorter one.
TEST_P(DaruOnAccess, TwoProcessesSavingOneLinkKeepEveryText) {
  const int rounds = GetParam() == StoreKind::AccessPostgres ? 200 : 40;
  const std::filesystem::path root = catalogue->root().path();
  RunCaptureRace({"--root", root.string(), "--store", store}, root, rounds, [&] {
    std::vector<CaptureRaceRow> rows;
    for (const std::string& line : catalogue->Rows("SELECT filename, url, title FROM {article}")) {
      const size_t a = line.find('|'), b = line.find('|', a + 1);
      rows.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
    }
    return rows;
  });
}

TEST(DaruStoreOption, AnUnknownStoreIsAUsageError) {
  TempDir root;
  const DaruRun run = RunDaruOn(root.path(), {"--store", "jet", "init"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("unknown store 'jet'"), std::string::npos) << run.err;
}

TEST(DaruStoreOption, WithoutTheEmbeddedDriverTheMissingComponentIsNamed) {
  StoreCatalogue catalogue(StoreKind::AccessEmbedded);
  TempDir noDrivers;  // a driver manager that knows no drivers
  const DaruRun run = RunDaru({"--root", catalogue.root().path().string(), "--store", "access", "labels"},
                              {{"ODBCSYSINI", noDrivers.path().string()}});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("本机缺少程序运行所需MDAC组件，请安装该组件后再运行。"), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Sources, DaruOnAccess, ::testing::Values(StoreKind::AccessEmbedded, StoreKind::AccessPostgres),
                         [](const ::testing::TestParamInfo<StoreKind>& info) { return KindName(info.param); });
