#include <gtest/gtest.h>

#include <chrono>
#include <climits>

#include "StorageAccess.h"
#include "base/TextConv.h"
#include "fixtures/ProvisionedRoot.h"
#include "storage/SQLiteDB.h"

namespace {

// The message of what the call throws, or "no exception".
template <class F>
std::string Thrown(F&& call) {
  try {
    call();
  } catch (const CSQLiteException& e) {
    return e.Message();
  }
  return "no exception";
}

class SQLiteLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    db.Open(FromUtf8(root.catalogue().string()));
    db.Execute(u"CREATE TABLE t(a INTEGER, b TEXT); INSERT INTO t VALUES(1,'one'),(2,NULL),(3,'12abc');");
  }
  ProvisionedRoot root;
  CSQLiteDB db;
};

}  // namespace

TEST(SQLiteException, MessagesNameTheirCode) {
  EXPECT_STREQ(CSQLiteException(42, nullptr).Message(), "UNKNOWN_ERROR[42]: ");
  EXPECT_STREQ(CSQLiteException(1000, "Database not open").Message(), "CPPSQLITE_ERROR[1000]: Database not open");
  EXPECT_STREQ(CSQLiteException(101, "x").Message(), "SQLITE_DONE[101]: x");
  // Every primary code of the engine has its name; a file that is no database says so.
  EXPECT_STREQ(CSQLiteException(26, "x").Message(), "SQLITE_NOTADB[26]: x");
  EXPECT_STREQ(CSQLiteException(SQLITE_WARNING, "x").Message(), "SQLITE_WARNING[28]: x");
  EXPECT_STREQ(CSQLiteException(29, "x").Message(), "UNKNOWN_ERROR[29]: x");
  // An extended code is named after its primary code and keeps its value.
  EXPECT_STREQ(CSQLiteException(SQLITE_IOERR_READ, "x").Message(), "SQLITE_IOERR[266]: x");
  // An engine-allocated detail is taken over and released (the leak checker watches).
  CSQLiteException owned(SQLITE_ERROR, sqlite3_mprintf("near \"%s\": syntax error", "标签"), true);
  CSQLiteException copy(owned);
  copy = CSQLiteException(5, "locked");
  copy = owned;
  EXPECT_EQ(copy.Code(), 1);
  EXPECT_EQ(copy.MessageW(), u"SQLITE_ERROR[1]: near \"标签\": syntax error");
  EXPECT_EQ(std::string(owned.Message()), copy.Message());
}

TEST(SQLiteDB, EverythingFailsBeforeOpenAndOnAMissingFolder) {
  CSQLiteDB db;
  const std::string notOpen = "CPPSQLITE_ERROR[1000]: Database not open";
  EXPECT_EQ(Thrown([&] { db.Execute(u"SELECT 1"); }), notOpen);
  EXPECT_EQ(Thrown([&] { db.Query(u"SELECT 1"); }), notOpen);
  EXPECT_EQ(Thrown([&] { db.Compile("SELECT 1"); }), notOpen);
  EXPECT_EQ(CSQLiteDBTestAccess::BusyTimeout(db), 60000);

  CSQLiteQuery none;
  const std::string noMachine = "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer";
  EXPECT_EQ(Thrown([&] { none.IsEof(); }), noMachine);
  EXPECT_EQ(Thrown([&] { none.NextRow(); }), noMachine);
  EXPECT_EQ(Thrown([&] { none.GetField(0); }), noMachine);
  EXPECT_EQ(Thrown([&] { none.Finalize(); }), "no exception");

  TempDir dir;
  std::string cantOpen = Thrown([&] { db.Open(FromUtf8((dir.path() / "missing" / "darudb").string())); });
  EXPECT_EQ(cantOpen.rfind("SQLITE_CANTOPEN[14]: ", 0), 0u) << cantOpen;
  EXPECT_FALSE(db.IsOpen());
}

TEST_F(SQLiteLayer, ExecuteCountsOnlyRowsItsOwnStatementsChanged) {
  EXPECT_EQ(db.Execute(u"INSERT INTO t VALUES(4,'four'),(5,'five')"), 2);
  EXPECT_EQ(db.Execute(u"UPDATE t SET b='x' WHERE a>100"), 0);
  EXPECT_EQ(db.Execute(u"UPDATE t SET b='x' WHERE a>3"), 2);
  EXPECT_EQ(db.Execute(u"CREATE TABLE u(x)"), 0);  // not the previous UPDATE's 2
  EXPECT_EQ(Thrown([&] { db.Execute(u"DELETE FROM missing"); }), "SQLITE_ERROR[1]: no such table: missing");
  EXPECT_EQ(Thrown([&] { db.Query(u"SELECT * FROM missing"); }), "SQLITE_ERROR[1]: no such table: missing");
  EXPECT_EQ(Thrown([&] { db.Query(u"  "); }), "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer");
  EXPECT_EQ(CSQLiteDBTestAccess::OpenStatements(db), 0);
}

TEST_F(SQLiteLayer, CursorReadsRowsAndConvertsFields) {
  CSQLiteQuery empty = db.Query(u"SELECT * FROM t WHERE a>100");
  EXPECT_TRUE(empty.IsEof());
  EXPECT_NO_THROW(empty.Finalize());

  CSQLiteQuery q = db.Query(u"SELECT a, b FROM t ORDER BY a");
  ASSERT_FALSE(q.IsEof());
  EXPECT_EQ(q.GetInt(0, -1), 1);
  EXPECT_EQ(q.GetString(1, u"?"), u"one");
  const std::string badIndex = "CPPSQLITE_ERROR[1000]: Invalid field index requested";
  EXPECT_EQ(Thrown([&] { q.GetField(-1); }), badIndex);
  EXPECT_EQ(Thrown([&] { q.GetField(q.NumFields()); }), badIndex);
  q.NextRow();
  EXPECT_EQ(q.GetField(1), nullptr);
  EXPECT_EQ(q.GetFieldW(1), nullptr);
  EXPECT_EQ(q.GetInt(1, 77), 77);
  EXPECT_EQ(q.GetString(1, u"none"), u"none");
  q.NextRow();
  EXPECT_EQ(q.GetInt(1, 0), 12);  // atoi rules on "12abc"
  q.NextRow();
  EXPECT_TRUE(q.IsEof());
  q.NextRow();  // a finished cursor stays finished instead of starting over
  EXPECT_TRUE(q.IsEof());
  EXPECT_EQ(Thrown([&] { q.GetField(0); }), badIndex);

  // Integers the atoi way, clamped instead of overflowing; texts of any length and plane.
  const char16_t lone[] = {u'x', 0xD800, u'y'};
  std::u16string longText(20000, u'长');
  db.Execute(u"DELETE FROM t; INSERT INTO t VALUES(1,'  -7x'),(2,'abc'),(3,'99999999999'),(4,'" +
             std::u16string(lone, 3) + u"'),(5,'" + longText + u"')");
  CSQLiteQuery r = db.Query(u"SELECT b FROM t ORDER BY a");
  EXPECT_EQ(r.GetInt(0, 1), -7);
  r.NextRow();
  EXPECT_EQ(r.GetInt(0, 1), 0);
  r.NextRow();
  EXPECT_EQ(r.GetInt(0, 1), INT_MAX);
  r.NextRow();
  EXPECT_EQ(r.GetString(0, u""), std::u16string(lone, 3));
  r.NextRow();
  EXPECT_EQ(r.GetString(0, u""), longText);
}

// Integer cells are read without their text; the result must be what atoi
// of that text gives, clamped, for every storage class a cell can have.
TEST_F(SQLiteLayer, IntegerCellsReadAsTheirTextWould) {
  db.Execute(
      u"CREATE TABLE n(k INTEGER, v); INSERT INTO n VALUES(1, 99999999999),(2, -99999999999),(3, -42),(4, 3.9),"
      u"(5, -0.5),(6, x'3132'),(7, 2147483647),(8, NULL)");
  CSQLiteQuery q = db.Query(u"SELECT v, typeof(v) FROM n ORDER BY k");
  const int expected[] = {INT_MAX, INT_MIN, -42, 3, 0, 12, INT_MAX, 5};
  for (int want : expected) {
    ASSERT_FALSE(q.IsEof());
    EXPECT_EQ(q.GetInt(0, 5), want) << ToUtf8(q.GetString(1, u""));
    q.NextRow();
  }
  EXPECT_TRUE(q.IsEof());
  EXPECT_EQ(Thrown([&] { q.GetInt(0, 0); }), "CPPSQLITE_ERROR[1000]: Invalid field index requested");
}

// Statements are compiled once per template with their values bound at each
// run; every run must still do exactly what its values say.
TEST_F(SQLiteLayer, RepeatedStatementsRunWithTheirOwnValues) {
  for (int i = 10; i < 15; ++i)
    EXPECT_EQ(
        db.Execute(CSqlStatement(u"INSERT INTO t VALUES(?,?)").Int(i).Text(u"it's " + FromUtf8(std::to_string(i)))), 1);
  EXPECT_EQ(CSQLiteDBTestAccess::CachedStatements(db), 1);
  EXPECT_EQ(db.Execute(CSqlStatement(u"UPDATE t SET b=? WHERE a>=?").Text(u"x").Int(12)), 3);
  EXPECT_EQ(db.Execute(CSqlStatement(u"UPDATE t SET b=? WHERE a>=?").Text(u"y").Int(14)), 1);
  EXPECT_EQ(CSQLiteDBTestAccess::CachedStatements(db), 2);
  // Whole statement texts run as written.
  EXPECT_EQ(db.Execute(u"DELETE FROM t WHERE a IN (SELECT a FROM t ORDER BY 1 DESC LIMIT 1)"), 1);
  EXPECT_EQ(db.Execute(u"UPDATE t SET a=a+0.5 WHERE a=-1 OR a=13"), 1);
  CSQLiteQuery q = db.Query(CSqlStatement(u"SELECT a, b FROM t WHERE a>=? ORDER BY a").Int(10));
  std::u16string rows;
  for (; !q.IsEof(); q.NextRow()) rows += q.GetString(0, u"") + u":" + q.GetString(1, u"") + u" ";
  EXPECT_EQ(rows, u"10:it's 10 11:it's 11 12:x 13.5:x ");
  q.Finalize();
  // A value is never statement text, whatever it holds.
  const std::u16string hostile = u"x'); DROP TABLE t; --";
  EXPECT_EQ(db.Execute(CSqlStatement(u"INSERT INTO t VALUES(?,?)").Int(40).Text(hostile)), 1);
  EXPECT_EQ(db.Query(CSqlStatement(u"SELECT b FROM t WHERE b=?").Text(hostile)).GetString(0, u""), hostile);
  EXPECT_EQ(db.Execute(CSqlStatement(u"DELETE FROM t WHERE a=?").Int(40)), 1);
  // The values must fill the placeholders exactly.
  EXPECT_EQ(Thrown([&] { db.Execute(CSqlStatement(u"DELETE FROM t WHERE a=?")); }),
            "SQLITE_RANGE[25]: wrong number of values");
  EXPECT_EQ(Thrown([&] { db.Query(CSqlStatement(u"SELECT * FROM t WHERE a=?").Int(1).Int(2)); }),
            "SQLITE_RANGE[25]: wrong number of values");
  EXPECT_EQ(Thrown([&] { db.Execute(CSqlStatement(u"DELETE FROM t; DELETE FROM t")); }),
            "SQLITE_MISUSE[21]: a statement template holds one statement");

  // Texts of other forms run as written: comments, blobs, several statements.
  EXPECT_EQ(db.Execute(u"INSERT INTO 't' VALUES(20, x'41') -- a comment"), 1);
  EXPECT_EQ(db.Query(u"SELECT typeof(b) FROM t WHERE a=20").GetString(0, u""), u"blob");
  EXPECT_EQ(db.Execute(u"INSERT INTO t VALUES(21,'a'); INSERT INTO t VALUES(22,'b')"), 1);
  EXPECT_EQ(db.Query(u"SELECT count(*) FROM t WHERE a IN (21,22)").GetInt(0, 0), 2);

  // A failing run reports what the engine says, and the next run works.
  db.Execute(u"CREATE UNIQUE INDEX t_a ON t(a)");
  const std::string unique = "SQLITE_CONSTRAINT[19]: UNIQUE constraint failed: t.a";
  EXPECT_EQ(Thrown([&] { db.Execute(u"INSERT INTO t VALUES(10,'again')"); }), unique);
  EXPECT_EQ(Thrown([&] { db.Execute(u"INSERT INTO t VALUES(11,'again')"); }), unique);
  EXPECT_EQ(db.Execute(u"INSERT INTO t VALUES(30,'new')"), 1);
  EXPECT_EQ(db.Execute(u"begin transaction;"), 0);
  EXPECT_EQ(Thrown([&] { db.Execute(u"begin transaction;"); }),
            "SQLITE_ERROR[1]: cannot start a transaction within a transaction");
  EXPECT_EQ(db.Execute(u"rollback transaction"), 0);
  EXPECT_EQ(CSQLiteDBTestAccess::OpenStatements(db), 0);

  // The cache is bounded, and a reopened connection starts without it.
  for (int i = 0; i < 40; ++i)
    db.Execute(CSqlStatement(u"UPDATE t SET b='z' WHERE a=? OR b IS NULL " +
                             std::u16string(static_cast<size_t>(i), u' ') + u"AND 1")
                   .Int(100 + i));
  EXPECT_LE(CSQLiteDBTestAccess::CachedStatements(db), 32);
  db.Open(FromUtf8(root.catalogue().string()));
  EXPECT_EQ(CSQLiteDBTestAccess::CachedStatements(db), 0);
  EXPECT_EQ(db.Query(u"SELECT b FROM t WHERE a=30").GetString(0, u""), u"new");
}

// Queries of one shape share a compiled statement only one at a time: two
// open cursors of the same shape each read their own values.
TEST_F(SQLiteLayer, CursorsOfOneShapeReadTheirOwnRows) {
  CSQLiteQuery one = db.Query(u"SELECT b FROM t WHERE a=1");
  CSQLiteQuery three = db.Query(u"SELECT b FROM t WHERE a=3");
  EXPECT_EQ(one.GetString(0, u""), u"one");
  EXPECT_EQ(three.GetString(0, u""), u"12abc");
  one.Finalize();
  EXPECT_EQ(CSQLiteDBTestAccess::CachedStatements(db), 1);
  CSQLiteQuery again = db.Query(u"SELECT b FROM t WHERE a=2 OR b='one' ORDER BY a");
  EXPECT_EQ(again.GetString(0, u""), u"one");
  again.NextRow();
  EXPECT_EQ(again.GetString(0, u"null"), u"null");
  EXPECT_EQ(db.Query(u"SELECT b FROM t WHERE a=3").GetString(0, u""), u"12abc");
  EXPECT_EQ(db.Query(u"SELECT b FROM t WHERE a=1").GetString(0, u""), u"one");

  // A cursor that outlives its connection still lets go of its statement.
  db.Close();
  EXPECT_NO_THROW(three.Finalize());
  EXPECT_NO_THROW(again.Finalize());
}

TEST_F(SQLiteLayer, OneCursorOwnsEachStatement) {
  CSQLiteQuery a = db.Query(u"SELECT a FROM t ORDER BY a");
  CSQLiteQuery b = db.Query(u"SELECT a FROM t ORDER BY a DESC");
  EXPECT_EQ(CSQLiteDBTestAccess::OpenStatements(db), 2);
  b = std::move(a);  // b's own statement is finalized first
  EXPECT_EQ(CSQLiteDBTestAccess::OpenStatements(db), 1);
  EXPECT_EQ(Thrown([&] { a.IsEof(); }), "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer");
  EXPECT_EQ(b.GetInt(0, 0), 1);
  {
    CSQLiteQuery c(std::move(b));
    c.NextRow();
    EXPECT_EQ(c.GetInt(0, 0), 2);
  }
  EXPECT_EQ(CSQLiteDBTestAccess::OpenStatements(db), 0);

  // A row that fails to compute ends the cursor and leaves no statement behind.
  CSQLiteQuery failing = db.Query(u"SELECT CASE WHEN a=2 THEN abs(-9223372036854775807-1) ELSE a END FROM t");
  EXPECT_EQ(Thrown([&] { failing.NextRow(); }), "SQLITE_ERROR[1]: integer overflow");
  EXPECT_EQ(Thrown([&] { failing.IsEof(); }), "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer");
  EXPECT_EQ(Thrown([&] { db.Query(u"SELECT abs(-9223372036854775807-1)"); }), "SQLITE_ERROR[1]: integer overflow");
  EXPECT_EQ(CSQLiteDBTestAccess::OpenStatements(db), 0);

  // Reopening closes the old connection; closing twice is harmless.
  db.Open(FromUtf8(root.catalogue().string()));
  EXPECT_EQ(db.Query(u"SELECT count(*) FROM t").GetInt(0, 0), 3);
  db.Close();
  db.Close();
  EXPECT_EQ(Thrown([&] { db.Execute(u"SELECT 1"); }), "CPPSQLITE_ERROR[1000]: Database not open");
}

TEST_F(SQLiteLayer, WaitsForALockedFileThenReportsBusy) {
  WriteLock lock(root.catalogue().string());
  ASSERT_TRUE(lock.Held());
  CSQLiteDBTestAccess::SetBusyTimeout(db, 150);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Thrown([&] { db.Execute(u"INSERT INTO t VALUES(9,'nine')"); }), "SQLITE_BUSY[5]: database is locked");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
  lock.Release();
  EXPECT_EQ(db.Execute(u"INSERT INTO t VALUES(9,'nine')"), 1);
}
