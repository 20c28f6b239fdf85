#include <gtest/gtest.h>

#include <memory>

#include "StorageAccess.h"
#include "base/Files.h"
#include "base/TextConv.h"
#include "facade/DARU.h"
#include "fixtures/ProvisionedRoot.h"
#include "storage/DB.h"

namespace {

// A catalogue in the given journal mode and the store opened on it.
class JournalMode : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    root.Exec(std::string("PRAGMA journal_mode=") + GetParam());
    daru = CDARU::Instance();
    root.LoadArticleTypes(daru);
    store.reset(CreateStore(1));
    ASSERT_TRUE(store->InitDB()) << ToUtf8(store->GetLastDBError());
  }
  void TearDown() override {
    store.reset();
    delete daru;
  }
  bool Wal() const { return std::string(GetParam()) == "WAL"; }
  int Synchronous() {
    CSQLiteDB& db = CDBSqliteTestAccess::Connection(*static_cast<CDBSqlite*>(store.get()));
    return db.Query(u"PRAGMA synchronous").GetInt(0, -1);
  }

  ProvisionedRoot root;
  CDARU* daru = nullptr;
  std::unique_ptr<CDB> store;
};

}  // namespace

TEST(JournalModeDefault, ProvisioningMakesWriteAheadLogCatalogues) {
  ProvisionedRoot root;
  EXPECT_EQ(root.Rows("PRAGMA journal_mode"), Lines({"wal"}));
}

// The write-ahead log commits without waiting for the disk; the rollback
// journal keeps the full sync it needs to stay whole.
TEST_P(JournalMode, SyncFollowsTheMode) {
  EXPECT_EQ(Synchronous(), Wal() ? 1 : 2);
  // The article files are synced exactly where the catalogue's commits are.
  EXPECT_EQ(GetFileDurability(), Wal() ? FileDurability::Atomic : FileDurability::Synced);
}

TEST_P(JournalMode, EveryKindOfWriteReachesOtherConnections) {
  CLabel label;
  label.name = u"日志";
  label.toplayer = 1;
  ASSERT_TRUE(store->AddLabel(label));
  CArticle a;
  a.filename = u"0123456789abcdef0123456789abcdef";
  a.title = u"It's here";
  a.type = u"B";
  a.label = label.labelid;
  ASSERT_TRUE(store->AddArticle(a));
  a.labels = 1;  // the add leaves the record's count alone
  a.readflag = false;
  ASSERT_TRUE(store->UpdateArticle(a));
  EXPECT_EQ(root.Rows("SELECT title, readflag, labels FROM article"), Lines({"It's here|F|1"}));

  std::vector<CArticle*> listed;
  ASSERT_TRUE(store->QueryArticle(listed, &label, CArticle(), 0));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0]->title, u"It's here");
  for (CArticle* p : listed) delete p;

  ASSERT_TRUE(store->DeleteLabel(label));
  EXPECT_EQ(root.Rows("SELECT count(*) FROM article"), Lines({"0"}));
  EXPECT_EQ(root.Rows("SELECT count(*) FROM articletolabel"), Lines({"0"}));

  // Once the store is gone the catalogue is one file again.
  store.reset();
  EXPECT_FALSE(std::filesystem::exists(root.catalogue().string() + "-wal"));
  EXPECT_EQ(root.Rows("PRAGMA journal_mode"), Lines({Wal() ? "wal" : "delete"}));
}

// With the log, a reader in the middle of its reads does not hold up a
// capture; with the rollback journal it does, until the busy timeout.
TEST_P(JournalMode, AnOpenReaderAndTheWriter) {
  CSQLiteDB& db = CDBSqliteTestAccess::Connection(*static_cast<CDBSqlite*>(store.get()));
  CSQLiteDBTestAccess::SetBusyTimeout(db, 50);
  CSQLiteDB reader;
  reader.Open(FromUtf8(root.catalogue().string()));
  reader.Execute(u"BEGIN");
  CSQLiteQuery rows = reader.Query(u"SELECT * FROM label");
  ASSERT_FALSE(rows.IsEof());

  CArticle a;
  a.filename = u"fedcba9876543210fedcba9876543210";
  a.type = u"B";
  a.label = 3;
  EXPECT_EQ(store->AddArticle(a), Wal());
  rows.Finalize();
  reader.Execute(u"COMMIT");
  if (!Wal()) {
    EXPECT_NE(ToUtf8(store->GetLastDBError()).find("SQLITE_BUSY"), std::string::npos);
  }
  EXPECT_EQ(root.Rows("SELECT count(*) FROM article"), Lines({Wal() ? "1" : "0"}));
}

INSTANTIATE_TEST_SUITE_P(Modes, JournalMode, ::testing::Values("WAL", "DELETE"));
