#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>

#include "StorageAccess.h"
#include "base/TextConv.h"
#include "facade/DARU.h"
#include "fixtures/DaruAccess.h"
#include "fixtures/ProvisionedRoot.h"
#include "fixtures/StoreSteps.h"
#include "storage/DB.h"

namespace fs = std::filesystem;

namespace {

class Store : public ::testing::Test, public StoreSteps {
 protected:
  void SetUp() override {
    daru = CDARU::Instance();
    root.LoadArticleTypes(daru);
    store.reset(CreateStore(1));
    ASSERT_TRUE(store->InitDB()) << Error();
  }
  void TearDown() override {
    store.reset();
    delete daru;
  }
  ProvisionedRoot root;
  CDARU* daru = nullptr;
};

}  // namespace

TEST(StoreFactory, OnlyTypeOneGivesAStoreAndFailuresBecomeTheLastError) {
  EXPECT_EQ(CreateStore(0), nullptr);
  EXPECT_EQ(CreateStore(2), nullptr);
  EXPECT_EQ(CreateStore(-1), nullptr);
  std::unique_ptr<CDB> store(CreateStore(1));
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->GetLastDBError(), u"");

  CLabel label;
  label.name = u"x";
  CArticle article;
  std::vector<CArticleType> types;
  EXPECT_FALSE(store->AddLabel(label));
  EXPECT_EQ(store->GetLastDBError(), u"CPPSQLITE_ERROR[1000]: Database not open");
  store = std::unique_ptr<CDB>(CreateStore(1));
  EXPECT_FALSE(store->QueryArticleType(types));
  EXPECT_FALSE(store->DeleteArticle(&article, &label));
  EXPECT_EQ(store->GetLastDBError(), u"CPPSQLITE_ERROR[1000]: Database not open");

  TempDir dir;
  ScopedDataRoot bare(dir.path());
  EXPECT_FALSE(store->InitDB());  // no DARU folder
  EXPECT_EQ(ToUtf8(store->GetLastDBError()).rfind("SQLITE_CANTOPEN[14]: ", 0), 0u);
  // The message names the file it tried, so a person knows where to look.
  EXPECT_NE(ToUtf8(store->GetLastDBError()).find((dir.path() / "DARU" / "darudb").string()), std::string::npos);
  fs::create_directory(dir.path() / "DARU");
  EXPECT_TRUE(store->InitDB());  // an empty catalogue opens, but holds no tables
  std::vector<CLabel*> labels;
  EXPECT_FALSE(store->QueryLabel(labels, CLabel(), 0));
  EXPECT_EQ(store->GetLastDBError(), u"SQLITE_ERROR[1]: no such table: label");
  EXPECT_TRUE(labels.empty());
}

// What every store does is checked on each of them by the contract suite
// (tests/odbc/StoreContractTest.cpp); what follows is the SQLite store's own.

TEST_F(Store, WaitsWhileAnotherConnectionWrites) {
  WriteLock lock(root.catalogue().string());
  ASSERT_TRUE(lock.Held());
  auto start = std::chrono::steady_clock::now();
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    lock.Release();
  });
  CLabel late;
  late.name = u"late";
  EXPECT_TRUE(store->AddLabel(late)) << Error();
  release.join();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_EQ(root.Rows("SELECT name FROM label WHERE labelid=4"), Lines({"late"}));
}

TEST_F(Store, CommandLineClientReadsWhatTheStoreWrote) {
  CLabel label;
  label.name = u"新闻 'quoted'";
  ASSERT_TRUE(store->AddLabel(label));
  Add(u"f", label.labelid, u"标题：测试");
  std::string command = "sqlite3 -batch -readonly '" + root.catalogue().string() +
                        "' \"SELECT l.name, a.title FROM label l JOIN articletolabel t ON t.labelid=l.labelid "
                        "JOIN article a ON a.articleid=t.articleid\" 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buf[256];
  while (size_t n = fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
  EXPECT_EQ(pclose(pipe), 0) << output;
  EXPECT_EQ(output, "新闻 'quoted'|标题：测试\n");
}
