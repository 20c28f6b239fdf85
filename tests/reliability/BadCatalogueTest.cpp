// Catalogue files that are not what the store expects: every operation fails
// with the engine's message or works, and nothing crashes or creates a
// catalogue where there was none.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "StoreOperations.h"
#include "Unprivileged.h"
#include "base/TextConv.h"
#include "facade/DARU.h"
#include "fixtures/FaultInjection.h"
#include "fixtures/ProvisionedRoot.h"
#include "storage/CatalogueCheck.h"
#include "storage/DB.h"
#include "storage/SQLiteDB.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

class BadCatalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    daru = CDARU::Instance();
    root.LoadArticleTypes(daru);
    SeedCatalogue(root);
    good = ReadAll(root.catalogue());
  }
  void TearDown() override { delete daru; }

  // Runs every operation on a fresh store over the current file. Returns how
  // many failed; each failure must carry the message that the engine gave.
  int RunAll(const std::string& what, const char* expected = nullptr) {
    int failed = 0;
    for (const StoreOp& op : Operations()) {
      std::unique_ptr<CDB> store(CreateStore(1));
      // InitDB opens lazily: what it lets through, the next statement reports.
      bool intact = true;
      bool ok = op.opensItself ? op.run(*store, intact) : store->InitDB() && op.run(*store, intact);
      if (ok) continue;
      ++failed;
      std::string error = ToUtf8(store->GetLastDBError());
      if (op.mayFailSilently && error.empty()) continue;
      EXPECT_NE(error, "") << what << ": " << op.name << " failed without a message";
      if (expected) {
        EXPECT_NE(error.find(expected), std::string::npos) << what << ": " << op.name << ": " << error;
      }
    }
    // The check never crashes on it either, and says what it found.
    CCatalogueCheck check;
    if (!check.Run(false)) {
      EXPECT_NE(ToUtf8(check.GetError()), "") << what;
    }
    return failed;
  }

  ProvisionedRoot root;
  CDARU* daru = nullptr;
  std::string good;
};

}  // namespace

TEST_F(BadCatalogue, AMissingDaruFolderOrCatalogueIsNeverCreated) {
  fs::remove(root.catalogue());
  std::unique_ptr<CDB> store(CreateStore(1));
  // A missing file inside an existing folder becomes an empty catalogue,
  // whose first statement then names the missing table.
  ASSERT_TRUE(store->InitDB());
  std::vector<CArticleType> types;
  EXPECT_FALSE(store->QueryArticleType(types));
  EXPECT_EQ(ToUtf8(store->GetLastDBError()), "SQLITE_ERROR[1]: no such table: articletype");
  store.reset();

  fs::remove_all(root.daru());
  store.reset(CreateStore(1));
  EXPECT_FALSE(store->InitDB());
  EXPECT_EQ(ToUtf8(store->GetLastDBError()).rfind("SQLITE_CANTOPEN[14]: ", 0), 0u) << ToUtf8(store->GetLastDBError());
  EXPECT_FALSE(store->QueryArticleType(types));
  EXPECT_EQ(ToUtf8(store->GetLastDBError()), "CPPSQLITE_ERROR[1000]: Database not open");
  EXPECT_FALSE(fs::exists(root.daru()));
}

TEST_F(BadCatalogue, AFolderInPlaceOfTheCatalogueCannotBeOpened) {
  fs::remove(root.catalogue());
  fs::create_directory(root.catalogue());
  std::unique_ptr<CDB> store(CreateStore(1));
  EXPECT_FALSE(store->InitDB());
  EXPECT_EQ(ToUtf8(store->GetLastDBError()).rfind("SQLITE_CANTOPEN[14]: ", 0), 0u);
}

TEST_F(BadCatalogue, FilesThatAreNoCatalogueFailEveryOperation) {
  WriteAll(root.catalogue(), "<html>this is not a catalogue</html>\n" + std::string(5000, 'x'));
  EXPECT_EQ(RunAll("text file", "file is not a database"), static_cast<int>(Operations().size()) - 1);

  WriteAll(root.catalogue(), "");
  EXPECT_EQ(RunAll("empty file", "no such table"), static_cast<int>(Operations().size()) - 1);

  // Another program's SQLite file: the tables are there, with other columns.
  fs::remove(root.catalogue());
  {
    CSQLiteDB db;
    db.Open(FromUtf8(root.catalogue().string()));
    db.Execute(
        u"CREATE TABLE label(labelid INTEGER PRIMARY KEY, name TEXT);"
        u"CREATE TABLE article(articleid INTEGER PRIMARY KEY, filename TEXT);"
        u"CREATE TABLE articletolabel(articleid INTEGER, labelid INTEGER);"
        u"CREATE TABLE articletype(typeid INTEGER);"
        u"INSERT INTO label VALUES(3,'x');INSERT INTO article VALUES(1,'f');INSERT INTO article VALUES(2,'g');"
        u"INSERT INTO articletype VALUES(1);INSERT INTO articletolabel VALUES(1,3);");
  }
  EXPECT_GT(RunAll("foreign tables"), 0);
}

TEST_F(BadCatalogue, TruncatedAndCorruptedFilesNeverCrash) {
  // Cut at every page boundary and in the middle of pages.
  for (size_t cut : {size_t{0}, size_t{100}, size_t{4096}, good.size() / 2, good.size() - 4096, good.size() - 1}) {
    WriteAll(root.catalogue(), good.substr(0, cut));
    RunAll("cut at " + std::to_string(cut));
  }
  // Bytes overwritten at random places, the header included.
  std::mt19937 rng(7);
  for (int round = 0; round < 24; ++round) {
    std::string bytes = good;
    int hits = 1 + static_cast<int>(rng() % 16);
    for (int i = 0; i < hits; ++i) bytes[rng() % bytes.size()] = static_cast<char>(rng());
    WriteAll(root.catalogue(), bytes);
    RunAll("corruption round " + std::to_string(round));
  }
  // A damaged page that the engine notices is reported as damage.
  std::string bytes = good;
  for (size_t i = 4096; i < 8192 && i < bytes.size(); ++i) bytes[i] = '\xA5';
  WriteAll(root.catalogue(), bytes);
  EXPECT_GT(RunAll("one page overwritten", "malformed"), 0);
}

// The facade's start-up on the same files: it fails with the engine's reason,
// and a later start on a good file works.
TEST_F(BadCatalogue, InitFailsOnABadCatalogueWithTheEnginesMessage) {
  delete daru;
  daru = nullptr;
  auto init = [](std::string& error) {
    std::unique_ptr<CDARU> facade(CDARU::Instance());
    bool ok = facade->Init();
    error = ToUtf8(facade->GetLastDBError());
    return ok;
  };
  std::string error;
  WriteAll(root.catalogue(), "not a catalogue at all, but long enough to be read as one" + std::string(2000, '.'));
  EXPECT_FALSE(init(error));
  EXPECT_NE(error.find("file is not a database"), std::string::npos) << error;
  WriteAll(root.catalogue(), good.substr(0, good.size() / 3));
  EXPECT_FALSE(init(error));
  EXPECT_NE(error, "");
  fs::remove_all(root.daru());
  EXPECT_FALSE(init(error));
  EXPECT_EQ(error.rfind("SQLITE_CANTOPEN[14]: ", 0), 0u) << error;
  EXPECT_FALSE(fs::exists(root.daru()));

  ProvisionedRoot fresh;
  EXPECT_TRUE(init(error)) << error;
}

// A catalogue its user may not write: nothing is written, every refusal says
// why, and reading works where the engine can read it (a write-ahead-log
// catalogue in a read-only folder it cannot, and says so).
TEST_F(BadCatalogue, AReadOnlyCatalogueIsNeverWritten) {
  chmod(root.catalogue().c_str(), 0444);
  for (bool folderToo : {false, true}) {
    chmod(root.daru().c_str(), folderToo ? 0555 : 0755);
    bool held = RunUnprivileged(root.catalogue(), [] {
      std::unique_ptr<CDB> store(CreateStore(1));
      std::vector<CArticleType> types;
      CLabel label;
      label.name = u"new";
      bool opened = store->InitDB();
      bool read = opened && store->QueryArticleType(types) && types.size() == 2;
      std::string readError = ToUtf8(store->GetLastDBError());
      bool refused = !store->AddLabel(label);
      std::string error = ToUtf8(store->GetLastDBError());
      if ((!read && readError.empty()) || !refused || error.empty()) {
        std::fprintf(stderr, "read %d (%s), refused %d: %s\n", read, readError.c_str(), refused, error.c_str());
        return false;
      }
      return true;
    });
    EXPECT_TRUE(held) << (folderToo ? "in a read-only folder" : "in a writable folder");
  }
  chmod(root.daru().c_str(), 0755);
  chmod(root.catalogue().c_str(), 0644);
  EXPECT_EQ(root.Rows("SELECT COUNT(*) FROM label"), Lines({"6"}));
}

// What the sweeps found in the access layer, pinned down on its own.
TEST(EngineOutOfMemory, AnExceptionStillSaysWhatFailedWhenTheEngineHasNoMemoryForIt) {
  FaultAlloc alloc;
  alloc.FailAt(1, true);
  CSQLiteException e(SQLITE_IOERR, "disk I/O error");
  CSQLiteException copy(e);
  alloc.Disarm();
  EXPECT_STREQ(e.Message(), "SQLITE_IOERR[10]: disk I/O error");
  EXPECT_EQ(ToUtf8(copy.MessageW()), "SQLITE_IOERR[10]: disk I/O error");
}

TEST(EngineOutOfMemory, AFieldThatCannotBeConvertedIsAnErrorNotAnEmptyValue) {
  TempDir dir;
  FaultAlloc alloc;
  CSQLiteDB db;
  db.Open(FromUtf8((dir.path() / "db").string()));
  // A number read as text must be converted, which takes memory.
  CSQLiteQuery row = db.Query(u"SELECT 1234567, 'text'");
  alloc.FailAt(1, true);
  bool threw = false;
  std::u16string value;
  try {
    value = row.GetString(0, u"default");
  } catch (const CSQLiteException& e) {
    threw = true;
    EXPECT_EQ(e.Code(), SQLITE_NOMEM);
  }
  long injected = alloc.Injected();
  alloc.Disarm();
  ASSERT_GT(injected, 0) << "the conversion needed no memory, so this proves nothing";
  EXPECT_TRUE(threw) << "read " << ToUtf8(value);
}

// A value that cannot be bound for want of memory would leave its parameter
// NULL: the query then finds nothing and reports success.
TEST(EngineOutOfMemory, AQueryWhoseValueCannotBeBoundFailsInsteadOfFindingNothing) {
  TempDir dir;
  FaultAlloc alloc;
  CSQLiteDB db;
  db.Open(FromUtf8((dir.path() / "db").string()));
  db.Execute(u"CREATE TABLE t(x TEXT); INSERT INTO t VALUES('needle');");
  auto find = [&db] {
    CSQLiteQuery q = db.Query(CSqlStatement(u"SELECT * FROM t WHERE x=?").Text(u"needle"));
    int rows = 0;
    for (; !q.IsEof(); q.NextRow()) rows += q.GetString(0, u"") == u"needle" ? 1 : 100;
    return rows;
  };
  ASSERT_EQ(find(), 1);  // compiled once, then taken from the connection's cache
  alloc.Disarm();
  ASSERT_EQ(find(), 1);
  const long count = alloc.Count();
  ASSERT_GT(count, 0);
  for (long n = 1; n <= count; ++n) {
    alloc.FailAt(n);
    try {
      EXPECT_EQ(find(), 1) << "allocation " << n << " failed and the query answered anyway";
    } catch (const CSQLiteException& e) {
      EXPECT_EQ(e.Code() & 0xff, SQLITE_NOMEM) << "allocation " << n << ": " << e.Message();
    }
    alloc.Disarm();
  }
}
