#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cstring>
#include <thread>

#include "StoreCatalogue.h"
#include "base/TextConv.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "fixtures/DaruAccess.h"
#include "fixtures/TempDir.h"
#include "provision/OdbcCatalogue.h"
#include "storage/CatalogueStatements.h"
#include "storage/DBAccess.h"
#include "storage/OdbcConnection.h"
#include "storage/OdbcEngine.h"
#include "storage/OdbcError.h"
#include "storage/OdbcPackedRow.h"

class CDBAccessTestAccess {
 public:
  static bool ExecuteSQL(CDBAccess& store, const std::u16string& sql) {
    return store.ExecuteSQL(store.m_engine->Shared().get(), sql);
  }
  static long Shares(const CDBAccess& store) { return store.m_engine->Shared().use_count(); }
};

namespace {

// The parts of a text at the first (parts - 1) separators.
std::vector<std::string> Split(const std::string& text, const std::string& separator, size_t parts) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; lines.size() + 1 < parts && (end = text.find(separator, start)) != std::string::npos;
       start = end + separator.size())
    lines.push_back(text.substr(start, end - start));
  lines.push_back(text.substr(start));
  return lines;
}

// The four parts of a store's COM error message, on one line, checked part by part.
void ExpectComError(const std::u16string& error, const char* code, const char* meaning, const char* source,
                    const char* description) {
  EXPECT_EQ(ToUtf8(error).find('\n'), std::string::npos) << ToUtf8(error);
  std::vector<std::string> lines = Split(ToUtf8(error), "; ", 4);
  ASSERT_EQ(lines.size(), 4u) << ToUtf8(error);
  EXPECT_EQ(lines[0], std::string("Code = ") + code);
  EXPECT_EQ(lines[1], std::string("Code meaning = ") + meaning);
  EXPECT_EQ(lines[2], std::string("Source = ") + source);
  EXPECT_EQ(lines[3].rfind(std::string("Description = ") + description, 0), 0u) << lines[3];
}

class AccessStore : public ::testing::TestWithParam<StoreKind> {
 protected:
  void SetUp() override {
    catalogue = std::make_unique<StoreCatalogue>(GetParam());
    store = std::make_unique<CDBAccess>(FromUtf8(catalogue->Connection()));
    ASSERT_TRUE(store->InitDB()) << ToUtf8(store->GetLastDBError());
  }
  const char* Driver() const { return GetParam() == StoreKind::AccessPostgres ? "psqlodbca.so" : "sqlite3odbc.so"; }

  std::unique_ptr<StoreCatalogue> catalogue;
  std::unique_ptr<CDBAccess> store;
};

}  // namespace

TEST(ComErrorText, MeaningsFollowTheKnownCodesThenTheInterfaceRuleThenUnknown) {
  EXPECT_EQ(ComErrorMeaning(E_FAIL), u"Unspecified error");
  EXPECT_EQ(ComErrorMeaning(E_OUTOFMEMORY), u"Not enough storage is available to complete this operation.");
  EXPECT_EQ(ComErrorMeaning(DB_E_ERRORSINCOMMAND), u"IDispatch error #3092");
  EXPECT_EQ(ComErrorMeaning(DB_E_INTEGRITYVIOLATION), u"IDispatch error #3119");
  EXPECT_EQ(ComErrorMeaning(static_cast<HRESULT>(0x80040201u)), u"IDispatch error #1");
  EXPECT_EQ(ComErrorMeaning(static_cast<HRESULT>(0x80040200u)), u"Unknown error 0x80040200");  // not above 0x0200
  EXPECT_EQ(ComErrorMeaning(static_cast<HRESULT>(0x00040E14u)), u"Unknown error 0x40E14");     // no failure
  EXPECT_EQ(ComErrorMeaning(static_cast<HRESULT>(0x80070002u)), u"Unknown error 0x80070002");
  ExpectComError(ComErrorLine(_com_error(E_POINTER)), "80004003", "Invalid pointer", "", "");
  // The text of the four lines keeps them; a store's message has them on one.
  const _com_error multi(E_FAIL, u"src", u"ERROR: first\nDETAIL: second");
  EXPECT_EQ(
      ComErrorText(multi),
      u"Code = 80004005\nCode meaning = Unspecified error\nSource = src\nDescription = ERROR: first\nDETAIL: second");
  EXPECT_EQ(
      ComErrorLine(multi),
      u"Code = 80004005; Code meaning = Unspecified error; Source = src; Description = ERROR: first DETAIL: second");
}

TEST(ComErrorText, DiagnosticsMapByStateAndForTheSqliteDriverByText) {
  EXPECT_EQ(HResultFromDiagnostic("42601", "syntax error at end of input"), DB_E_ERRORSINCOMMAND);
  EXPECT_EQ(HResultFromDiagnostic("42P01", "relation does not exist"), DB_E_NOTABLE);
  EXPECT_EQ(HResultFromDiagnostic("23505", "duplicate key"), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(HResultFromDiagnostic("HY001", "memory"), E_OUTOFMEMORY);
  EXPECT_EQ(HResultFromDiagnostic("08S01", "connection lost"), E_FAIL);
  EXPECT_EQ(HResultFromDiagnostic("HY000", "near \"x\": syntax error (1)"), DB_E_ERRORSINCOMMAND);
  EXPECT_EQ(HResultFromDiagnostic("HY000", "no such table: x (1)"), DB_E_NOTABLE);
  EXPECT_EQ(HResultFromDiagnostic("HY000", "UNIQUE constraint failed: t.a (19)"), DB_E_INTEGRITYVIOLATION);
  EXPECT_EQ(HResultFromDiagnostic("HY000", "database is locked (5)"), E_FAIL);
}

TEST(AccessStoreStart, MissingComponentsAndMissingConnectionHaveTheirOwnMessages) {
  ProvisionedRoot root;
  // A driver that is not there is named, with the driver manager's own words.
  CDBAccess missingDriver(u"Driver=/nonexistent/libdaru-no-driver.so;Database=x;");
  EXPECT_FALSE(missingDriver.InitDB());
  const std::string missing = ToUtf8(missingDriver.GetLastDBError());
  EXPECT_EQ(missing.rfind("本机缺少ODBC驱动程序“/nonexistent/libdaru-no-driver.so”，请安装该驱动程序后再运行。(", 0),
            0u)
      << missing;
  EXPECT_NE(missing.find("libdaru-no-driver.so' : file not found"), std::string::npos) << missing;
  CDBAccess unregistered(u"DRIVER={NoSuch};Database=x;");
  EXPECT_FALSE(unregistered.InitDB());
  EXPECT_EQ(ToUtf8(unregistered.GetLastDBError()).rfind("本机缺少ODBC驱动程序“NoSuch”", 0), 0u)
      << ToUtf8(unregistered.GetLastDBError());
  EXPECT_EQ(ToUtf8(unregistered.GetLastDBError()).find('\n'), std::string::npos);

  // A string that names no driver is the caller's mistake, not a missing component.
  CDBAccess noDriver(u"Database=x;");
  EXPECT_FALSE(noDriver.InitDB());
  ExpectComError(noDriver.GetLastDBError(), "80004005", "Unspecified error", "unixODBC", "[IM002] ");

  // Before InitDB: the label insert says so, the others fail on a null connection.
  CDBAccess closed;
  CLabel label;
  label.name = u"x";
  EXPECT_FALSE(closed.AddLabel(label));
  EXPECT_EQ(closed.GetLastDBError(), u"未能正确连接到数据库,请先调用InitDB连接数据库。");
  CLabel empty;
  EXPECT_FALSE(closed.AddLabel(empty));  // the connection is checked first
  EXPECT_EQ(closed.GetLastDBError(), u"未能正确连接到数据库,请先调用InitDB连接数据库。");
  std::vector<CArticleType> types;
  EXPECT_FALSE(closed.QueryArticleType(types));
  ExpectComError(closed.GetLastDBError(), "80004003", "Invalid pointer", "", "");
  CArticle article;
  CLabelToArticle link(1, 1);
  EXPECT_FALSE(closed.DeleteArticle(&article, nullptr));
  EXPECT_FALSE(closed.DeleteLabelToArticle(link));
  EXPECT_FALSE(closed.UpdateArticle(article));
  ExpectComError(closed.GetLastDBError(), "80004003", "Invalid pointer", "", "");

  // The embedded default before provisioning: no Data folder, then no tables.
  CDBAccess embedded;
  EXPECT_FALSE(embedded.InitDB());
  ExpectComError(embedded.GetLastDBError(), "80004005", "Unspecified error", "unixODBC", "[HY000] ");
  std::filesystem::create_directory(root.daru() / "Data");
  ASSERT_TRUE(embedded.InitDB()) << ToUtf8(embedded.GetLastDBError());
  EXPECT_FALSE(embedded.QueryArticleType(types));
  ExpectComError(embedded.GetLastDBError(), "80040e37", "IDispatch error #3127", "sqlite3odbc.so",
                 "[HY000] [SQLite]no such table: 文章类型表");

  // A data root whose name would read as further settings is refused.
  TempDir parent;
  const std::filesystem::path odd = parent.path() / "x;Database=elsewhere";
  std::filesystem::create_directories(odd / "DARU" / "Data");
  {
    ScopedDataRoot oddRoot(odd);
    CDBAccess refused;
    EXPECT_FALSE(refused.InitDB());
    ExpectComError(refused.GetLastDBError(), "80070057", "The parameter is incorrect.", "",
                   "the data root holds a character");
    std::string error;
    EXPECT_FALSE(provision::ProvisionOdbcStore(odd, "", &error));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::current_path() / "elsewhere"));
  }
}

TEST_P(AccessStore, EngineFailuresBecomeComErrorTexts) {
  EXPECT_FALSE(CDBAccessTestAccess::ExecuteSQL(*store, u"SELEC * FROM 标签表"));
  ExpectComError(store->GetLastDBError(), "80040e14", "IDispatch error #3092", Driver(),
                 GetParam() == StoreKind::AccessPostgres ? "[42601] " : "[HY000] ");
  EXPECT_TRUE(CDBAccessTestAccess::ExecuteSQL(*store, u"UPDATE 标签表 SET name='x' WHERE labelid=99"));

  CLabelToArticle link(3, 1);
  ASSERT_TRUE(store->AddLabelToArticle(link));
  EXPECT_FALSE(store->AddLabelToArticle(link));
  ExpectComError(store->GetLastDBError(), "80040e2f", "IDispatch error #3119", Driver(),
                 GetParam() == StoreKind::AccessPostgres ? "[23505] " : "[HY000] ");

  catalogue->Exec("DROP TABLE {label}");
  std::vector<CLabel*> labels;
  EXPECT_FALSE(store->QueryLabel(labels, CLabel(), 0));
  EXPECT_TRUE(labels.empty());
  ExpectComError(store->GetLastDBError(), "80040e37", "IDispatch error #3127", Driver(),
                 GetParam() == StoreKind::AccessPostgres ? "[42P01] " : "[HY000] [SQLite]no such table: 标签表");
  EXPECT_NE(ToUtf8(store->GetLastDBError()).find("标签表"), std::string::npos);
}

TEST_P(AccessStore, CopiesShareTheConnectionAndOutliveTheOriginal) {
  auto copy = std::make_unique<CDBAccess>(*store);
  EXPECT_EQ(CDBAccessTestAccess::Shares(*copy), 2);
  CDBAccess assigned;
  assigned = *copy;
  EXPECT_EQ(CDBAccessTestAccess::Shares(*copy), 3);
  store.reset();
  CLabel label;
  label.name = u"共享";
  ASSERT_TRUE(copy->AddLabel(label)) << ToUtf8(copy->GetLastDBError());
  copy.reset();
  std::vector<CLabel*> found;
  CLabel pattern;
  pattern.name = u"共享";
  ASSERT_TRUE(assigned.QueryLabel(found, pattern, 2));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]->labelid, label.labelid);
  delete found[0];
}

TEST_P(AccessStore, TheProcessLocaleStaysAsTheHostSetIt) {
  const std::string before = setlocale(LC_ALL, nullptr);
  CDBAccess again(FromUtf8(catalogue->Connection()));
  ASSERT_TRUE(again.InitDB());
  CLabel label;
  label.name = u"标签 ü";
  ASSERT_TRUE(again.AddLabel(label));
  EXPECT_EQ(setlocale(LC_ALL, nullptr), before);
  EXPECT_EQ(catalogue->Rows("SELECT name FROM {label} WHERE labelid=" + std::to_string(label.labelid)),
            Lines({"标签 ü"}));
}

TEST_P(AccessStore, EachRowAskedForAsOneTextSplitsIntoItsColumns) {
  // The engine's own text of a row must give back what the row read field
  // by field gives: every quoting and escaping rule the engine applies.
  CArticle a;
  a.filename = u"odd \"one\"";
  a.title = u"say \"hi\", (or) 'not' \\ back\\slash\t\n\x01\x1f 标题 😀";
  a.url = u"http://example.com/a,b(c)";
  a.key1 = u"";
  a.type = u"B";
  a.label = 3;
  a.crdate.SetTimeLong(5000000000LL);
  ASSERT_TRUE(store->AddArticle(a)) << ToUtf8(store->GetLastDBError());
  catalogue->Exec("UPDATE {article} SET key1=NULL WHERE articleid=" + std::to_string(a.articleid));

  COdbcConnection db;
  db.Open(catalogue->Connection());
  const std::string plain = "SELECT * FROM 文章表 WHERE filename=?";
  const std::vector<COdbcValue> values{COdbcValue(a.filename)};
  std::vector<COdbcRow> expected = db.Query(plain, values);
  ASSERT_EQ(expected.size(), 1u);
  CArticle pattern;
  pattern.filename = a.filename;
  const CSqlStatement packed = CCatalogueStatements(COdbcEngine::DialectOf(db.GetDialect()))
                                   .QueryArticle(pattern, kArticleMaskFilename, false, true);
  std::vector<COdbcRow> text = db.Query(OdbcText(packed), OdbcValues(packed));
  ASSERT_EQ(text.size(), 1u);
  ASSERT_EQ(text[0].size(), 1u);
  ASSERT_TRUE(text[0][0]);

  std::vector<COdbcField> fields;
  std::string decoded;
  ASSERT_TRUE(GetParam() == StoreKind::AccessPostgres ? SplitRecordRow(*text[0][0], fields, decoded)
                                                      : SplitJsonRow(*text[0][0], fields, decoded))
      << *text[0][0];
  ASSERT_EQ(fields.size(), expected[0].size()) << *text[0][0];
  for (size_t c = 0; c < fields.size(); ++c) {
    EXPECT_EQ(fields[c].IsNull(), !expected[0][c]) << c;
    if (expected[0][c]) {
      EXPECT_EQ(fields[c].Text(), *expected[0][c]) << c;
    }
  }
  EXPECT_TRUE(fields[4].IsNull());
}

INSTANTIATE_TEST_SUITE_P(Sources, AccessStore, ::testing::Values(StoreKind::AccessEmbedded, StoreKind::AccessPostgres),
                         [](const ::testing::TestParamInfo<StoreKind>& info) { return KindName(info.param); });

TEST(AccessStorePostgres, TheUnicodeDriverKeepsTextWholeAndLeavesTheLocaleAlone) {
  StoreCatalogue catalogue(StoreKind::AccessPostgres);
  std::string connection = catalogue.Connection();
  connection.replace(connection.find("PostgreSQL ANSI"), std::strlen("PostgreSQL ANSI"), "PostgreSQL Unicode");
  const std::string before = setlocale(LC_ALL, nullptr);
  CDBAccess store(FromUtf8(connection));
  ASSERT_TRUE(store.InitDB()) << ToUtf8(store.GetLastDBError());
  EXPECT_EQ(setlocale(LC_ALL, nullptr), before);
  CLabel label;
  label.name = u"新闻 'ü'";
  ASSERT_TRUE(store.AddLabel(label)) << ToUtf8(store.GetLastDBError());
  std::vector<CLabel*> found;
  ASSERT_TRUE(store.QueryLabel(found, label, 2)) << ToUtf8(store.GetLastDBError());
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]->name, label.name);
  delete found[0];
  EXPECT_FALSE(store.DeleteLabel(label = CLabel()));
  EXPECT_EQ(setlocale(LC_ALL, nullptr), before);
}

TEST(AccessStorePostgres, ALostConnectionFailsTheOperationAndWritesNothingHalf) {
  StoreCatalogue catalogue(StoreKind::AccessPostgres);
  CDBAccess store(FromUtf8(catalogue.Connection()));
  ASSERT_TRUE(store.InitDB());
  catalogue.Exec("INSERT INTO {label}(labelid,name,toplayer) VALUES(4,'four',3)");
  CArticle a;
  a.filename = u"a";
  a.label = 4;
  ASSERT_TRUE(store.AddArticle(a));

  // The server ends the session, as a restart or a network cut would.
  catalogue.EndStoreSessions();
  CLabel four;
  four.labelid = 4;
  EXPECT_FALSE(store.DeleteLabel(four));
  ExpectComError(store.GetLastDBError(), "80004005", "Unspecified error", "psqlodbca.so", "[");
  EXPECT_NE(ToUtf8(store.GetLastDBError()).find("connection"), std::string::npos);
  EXPECT_EQ(catalogue.Rows("SELECT count(*) FROM {label} WHERE labelid=4"), Lines({"1"}));
  EXPECT_EQ(catalogue.Rows("SELECT labels FROM {article}"), Lines({"1"}));
  EXPECT_EQ(catalogue.Rows("SELECT count(*) FROM {link}"), Lines({"1"}));

  // The server goes away in the middle of a label removal.
  catalogue.Exec(
      "CREATE FUNCTION die() RETURNS trigger LANGUAGE plpgsql AS "
      "$$BEGIN PERFORM pg_terminate_backend(pg_backend_pid()); RETURN OLD; END$$");
  catalogue.Exec("CREATE TRIGGER die BEFORE DELETE ON {article} FOR EACH ROW EXECUTE FUNCTION die()");
  catalogue.Exec("UPDATE {article} SET labels=1");
  ASSERT_TRUE(store.InitDB()) << ToUtf8(store.GetLastDBError());
  EXPECT_FALSE(store.DeleteLabel(four));
  EXPECT_NE(ToUtf8(store.GetLastDBError()).find("Code = "), std::string::npos);
  EXPECT_EQ(catalogue.Rows("SELECT count(*) FROM {label} WHERE labelid=4"), Lines({"1"}));
  EXPECT_EQ(catalogue.Rows("SELECT labels FROM {article}"), Lines({"1"}));
  EXPECT_EQ(catalogue.Rows("SELECT count(*) FROM {link}"), Lines({"1"}));
  catalogue.Exec("DROP TRIGGER die ON {article}");

  // Opening again brings the store back.
  ASSERT_TRUE(store.InitDB()) << ToUtf8(store.GetLastDBError());
  ASSERT_TRUE(store.DeleteLabel(four)) << ToUtf8(store.GetLastDBError());
  EXPECT_EQ(catalogue.Rows("SELECT count(*) FROM {article}"), Lines({"0"}));
}

TEST(AccessStorePostgres, AWrongPasswordIsRefusedWithTheServersReason) {
  StoreCatalogue catalogue(StoreKind::AccessPostgres);
  catalogue.Exec(
      "DO $$BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname='daru_password') THEN "
      "CREATE ROLE daru_password LOGIN PASSWORD 'right'; END IF; END$$");
  std::string connection = catalogue.Connection();
  connection.replace(connection.find("Username=daru;"), std::strlen("Username=daru;"), "Username=daru_password;");
  CDBAccess wrong(FromUtf8(connection + "Password=wrong;"));
  EXPECT_FALSE(wrong.InitDB());
  ExpectComError(wrong.GetLastDBError(), "80040e4d", "IDispatch error #3149", "unixODBC", "[08001] ");
  EXPECT_NE(ToUtf8(wrong.GetLastDBError()).find("password authentication failed"), std::string::npos);
  CDBAccess right(FromUtf8(connection + "Password=right;"));
  EXPECT_TRUE(right.InitDB()) << ToUtf8(right.GetLastDBError());
}

// The PostgreSQL driver sets the locale of the whole process while it
// connects. Connections opened from several threads at once, by the store
// and by provisioning, must not read the locale another connect has just
// freed (valgrind and AddressSanitizer see it as a use after free).
TEST(AccessStorePostgres, ConnectionsOpenedFromManyThreadsAtOnceAllConnect) {
  constexpr int kRounds = 12;
  constexpr int kThreads = 6;
  PgDatabase database;
  std::string error;
  TempDir first;
  ASSERT_TRUE(provision::ProvisionOdbcStore(first.path(), database.Connection(), &error)) << error;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<TempDir> roots(kThreads);
    std::vector<std::string> errors(kThreads);
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
      threads.emplace_back([&, i] {
        --waiting;
        while (waiting.load() > 0) std::this_thread::yield();
        try {
          if (i % 2 == 0) {
            COdbcConnection db;
            db.Open(database.Connection());
            if (db.Query("SELECT 1")[0][0].value_or("") != "1") errors[i] = "no answer";
          } else if (!provision::ProvisionOdbcStore(roots[i].path(), database.Connection(), &errors[i])) {
            errors[i] += " (provisioning)";
          }
        } catch (const COdbcError& e) {
          errors[i] = ToUtf8(e.Description());
        }
      });
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < kThreads; ++i) EXPECT_EQ(errors[i], "") << "round " << round << ", thread " << i;
  }
}

// Two people running init on the same shared catalogue at once: both end with
// a ready catalogue, whichever made the tables, and the fixed rows are there
// once.
TEST(AccessStorePostgres, InitsRacingOnOneCatalogueAllEndReady) {
  constexpr int kRounds = 6;
  constexpr int kRacers = 4;
  for (int round = 0; round < kRounds; ++round) {
    PgDatabase database;
    std::vector<TempDir> roots(kRacers);
    std::vector<std::string> errors(kRacers);
    std::vector<char> ready(kRacers, 0);
    std::atomic<int> waiting{kRacers};
    std::vector<std::thread> racers;
    for (int i = 0; i < kRacers; ++i)
      racers.emplace_back([&, i] {
        --waiting;
        while (waiting.load() > 0) std::this_thread::yield();
        ready[i] = provision::ProvisionOdbcStore(roots[i].path(), database.Connection(), &errors[i]);
      });
    for (std::thread& racer : racers) racer.join();
    for (int i = 0; i < kRacers; ++i) EXPECT_TRUE(ready[i]) << "round " << round << ": " << errors[i];

    CDBAccess store(FromUtf8(database.Connection()));
    ASSERT_TRUE(store.InitDB()) << ToUtf8(store.GetLastDBError());
    COdbcConnection inspector;
    inspector.Open(database.Connection());
    EXPECT_EQ(inspector.Query("SELECT count(*) FROM 标签表")[0][0].value_or("NULL"), "3");
    EXPECT_EQ(inspector.Query("SELECT count(*) FROM 文章类型表")[0][0].value_or("NULL"), "2");
  }
}
