#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "fixtures/FaultInjection.h"
#include "fixtures/TempDir.h"

namespace {

struct Db {
  explicit Db(const std::string& path) { EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK); }
  ~Db() { sqlite3_close(db); }
  int Exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
  sqlite3* db = nullptr;
};

}  // namespace

// The fault injectors are themselves test code that other tests trust, so
// check that they fail exactly what they are told to and nothing else.
TEST(FaultInjection, VfsFailsTheChosenWriteAndRecovers) {
  TempDir dir;
  std::string path = (dir.path() / "db").string();
  FaultVfs faults;
  Db db(path);
  ASSERT_EQ(db.Exec("CREATE TABLE t(x); INSERT INTO t VALUES(1);"), SQLITE_OK);
  EXPECT_GT(faults.Count(FaultVfs::Write), 0);

  faults.FailAt(FaultVfs::Write, 1, SQLITE_FULL);
  EXPECT_EQ(db.Exec("INSERT INTO t VALUES(2);"), SQLITE_FULL);
  EXPECT_EQ(faults.Injected(), 1);
  faults.Disarm();
  ASSERT_EQ(db.Exec("INSERT INTO t VALUES(3);"), SQLITE_OK);

  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db.db, "SELECT group_concat(x) FROM t", -1, &st, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "1,3");
  sqlite3_finalize(st);
}

TEST(FaultInjection, StickySyncFailureKeepsFailing) {
  TempDir dir;
  FaultVfs faults;
  Db db((dir.path() / "db").string());
  ASSERT_EQ(db.Exec("CREATE TABLE t(x);"), SQLITE_OK);
  faults.FailAt(FaultVfs::Sync, 1, SQLITE_IOERR, true);
  EXPECT_NE(db.Exec("INSERT INTO t VALUES(1);"), SQLITE_OK);
  EXPECT_NE(db.Exec("INSERT INTO t VALUES(2);"), SQLITE_OK);
  EXPECT_GE(faults.Injected(), 2);
}

TEST(FaultInjection, AllocatorFailsTheNthAllocation) {
  TempDir dir;
  FaultAlloc alloc;
  {
    Db db((dir.path() / "db").string());
    ASSERT_EQ(db.Exec("CREATE TABLE t(x);"), SQLITE_OK);
    alloc.FailAt(1, true);
    EXPECT_EQ(db.Exec("INSERT INTO t VALUES(randomblob(100000));"), SQLITE_NOMEM);
    EXPECT_GE(alloc.Injected(), 1);
    alloc.Disarm();
    EXPECT_EQ(db.Exec("INSERT INTO t VALUES(1);"), SQLITE_OK);
  }
}
