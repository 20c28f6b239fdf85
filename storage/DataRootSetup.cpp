#include "storage/DataRootSetup.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "base/Files.h"
#include "base/TextConv.h"
#include "core/Records.h"
#include "storage/DefaultStylesheet.h"

namespace {

std::filesystem::path DaruFolder(const std::filesystem::path& root) { return root / "DARU"; }
std::filesystem::path CatalogueFile(const std::filesystem::path& root) { return DaruFolder(root) / "darudb"; }

// The catalogue's journal mode, chosen here and nowhere else; the library
// works on either. With the write-ahead log a commit waits for no sync (the
// library runs it with synchronous NORMAL), so a capture costs a tenth of a
// millisecond instead of several syncs; a power cut or system crash may take
// back the last commits, but the catalogue stays whole, and a crash of the
// program loses nothing. Readers and the writer no longer block each other.
// The price: darudb-wal and darudb-shm lie beside the catalogue while it is
// open, and the folder must be on a local disk.
constexpr const char* kJournalMode = "WAL";

constexpr int kBusyTimeoutMs = 60000;

// The column order is the format: the store reads every row by position.
struct TableSetup {
  const char* name;
  const char* create;
  const char* fill;  // rows of a freshly created table; may be null
};

std::string LabelRows() {
  return std::string("INSERT INTO label(labelid,name,toplayer) VALUES(") + std::to_string(kHeadLabelID) + ",'" +
         kHeadLabelName + "',0),(" + std::to_string(kFavRSSLabelID) + ",'" + kFavRSSLabelName + "'," +
         std::to_string(kHeadLabelID) + "),(" + std::to_string(kDefaultLabelID) + ",'" + kDefaultLabelName + "'," +
         std::to_string(kHeadLabelID) + ");";
}

std::string TypeRows() {
  return std::string("INSERT INTO articletype(typeid,type,path) VALUES(1,'B','") + kBrowserTypeFolder + "'),(2,'A','" +
         kFeedTypeFolder + "');";
}

const std::vector<TableSetup>& Tables() {
  static const std::string labels = LabelRows();
  static const std::string types = TypeRows();
  // Ids come from the engine and only grow (AUTOINCREMENT never reuses the id
  // of a deleted row).
  static const std::vector<TableSetup> tables = {
      {"label",
       "CREATE TABLE label(labelid INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, toplayer INTEGER);"
       // Holds every column in the order the hierarchy loads them, so the
       // load reads the index alone instead of seeking each row.
       "CREATE INDEX label_toplayer ON label(toplayer, labelid, name);",
       labels.c_str()},
      {"article",
       "CREATE TABLE article(articleid INTEGER PRIMARY KEY AUTOINCREMENT, filename TEXT, url TEXT, title TEXT,"
       " key1 TEXT, type TEXT, labels INTEGER, label INTEGER, version INTEGER, readflag TEXT, impflag TEXT,"
       " crdate INTEGER, brdate INTEGER, lmdate INTEGER);"
       "CREATE INDEX article_filename ON article(filename);",
       nullptr},
      {"articletolabel",
       "CREATE TABLE articletolabel(labelid INTEGER, articleid INTEGER, UNIQUE(labelid, articleid));"
       "CREATE INDEX articletolabel_article ON articletolabel(articleid, labelid);",
       nullptr},
      {"articletype", "CREATE TABLE articletype(typeid INTEGER PRIMARY KEY AUTOINCREMENT, type TEXT, path TEXT);",
       types.c_str()},
  };
  return tables;
}

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;

struct StmtFinalizer {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

bool Exec(sqlite3* db, const std::string& sql, std::string* error) {
  char* detail = nullptr;
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &detail);
  if (rc == SQLITE_OK) return true;
  std::string text = detail ? detail : sqlite3_errstr(rc);
  sqlite3_free(detail);
  return Fail(error, text + " (" + sql + ")");
}

bool Prepare(sqlite3* db, const char* sql, Stmt& stmt, std::string* error) {
  sqlite3_stmt* raw = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
  stmt.reset(raw);
  return rc == SQLITE_OK || Fail(error, sqlite3_errmsg(db));
}

bool TableExists(sqlite3* db, const char* name, bool& exists, std::string* error) {
  Stmt stmt;
  if (!Prepare(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?1", stmt, error)) return false;
  sqlite3_bind_text(stmt.get(), 1, name, -1, SQLITE_STATIC);
  int rc = sqlite3_step(stmt.get());
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) return Fail(error, sqlite3_errmsg(db));
  exists = rc == SQLITE_ROW;
  return true;
}

// A type folder as the catalogue holds it, when it stays below the DARU
// folder; a '\' counts as a separator, as it does for the library.
bool TypeFolderBelow(std::string folder, std::filesystem::path& out) {
  for (char& c : folder)
    if (c == '\\') c = '/';
  if (folder.empty() || folder.find('\0') != std::string::npos) return false;
  std::filesystem::path p(folder);
  if (p.is_absolute() || p.has_root_path()) return false;
  for (const auto& part : p)
    if (part == "..") return false;
  out = p;
  return true;
}

bool MakeTypeFolder(const std::filesystem::path& daru, const std::string& text, std::string* error) {
  std::filesystem::path folder;
  if (!TypeFolderBelow(text, folder)) return true;
  std::error_code ec;
  std::filesystem::create_directories(daru / folder, ec);
  if (ec) return Fail(error, "cannot create " + (daru / folder).string() + ": " + ec.message());
  return true;
}

bool MakeTypeFolders(sqlite3* db, const std::filesystem::path& daru, std::string* error) {
  Stmt stmt;
  if (!Prepare(db, "SELECT * FROM articletype", stmt, error)) return false;
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(stmt.get(), 2);
    if (text != nullptr && !MakeTypeFolder(daru, reinterpret_cast<const char*>(text), error)) return false;
  }
  return rc == SQLITE_DONE || Fail(error, sqlite3_errmsg(db));
}

// Description files point at ../default.xslt, the DARU folder's stylesheet.
// One that is already there is kept: the user may have made it their own.
bool WriteStylesheet(const std::filesystem::path& daru, std::string* error) {
  std::filesystem::path target = daru / "default.xslt";
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(target, ec))) return true;
  if (!ReplaceFile(target.string(), daru_setup::kDefaultStylesheet))
    return Fail(error, "cannot write " + target.string());
  return true;
}

bool PrepareDataFolders(const std::filesystem::path& root, const std::vector<std::string>& typeFolders,
                        std::string* error) {
  for (const std::string& folder : typeFolders)
    if (!MakeTypeFolder(DaruFolder(root), folder, error)) return false;
  return WriteStylesheet(DaruFolder(root), error);
}

bool ProvisionDataRoot(const std::filesystem::path& root, std::string* error, bool* created) {
  std::error_code ec;
  std::filesystem::create_directories(DaruFolder(root), ec);
  if (ec) return Fail(error, "cannot create " + DaruFolder(root).string() + ": " + ec.message());

  // A catalogue its owner may not write is not written, whoever runs this:
  // it is ready only when it has every table already.
  struct stat st {};
  const bool readOnly = stat(CatalogueFile(root).c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(CatalogueFile(root).c_str(), &raw,
                           readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  Db db(raw);
  if (rc != SQLITE_OK) return Fail(error, raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
  sqlite3_busy_timeout(db.get(), kBusyTimeoutMs);

  // The journal mode cannot change inside a transaction; set it while the
  // catalogue is still empty, so an existing one keeps what it has.
  bool anyTable = false;
  for (const TableSetup& t : Tables()) {
    bool exists = false;
    if (!TableExists(db.get(), t.name, exists, error)) return false;
    anyTable = anyTable || exists;
  }
  if (readOnly) {
    for (const TableSetup& t : Tables()) {
      bool exists = false;
      if (!TableExists(db.get(), t.name, exists, error)) return false;
      if (!exists) return Fail(error, CatalogueFile(root).string() + " is read-only and has no table " + t.name);
    }
    if (created) *created = false;
    return MakeTypeFolders(db.get(), DaruFolder(root), error) && WriteStylesheet(DaruFolder(root), error);
  }
  if (!anyTable && !Exec(db.get(), std::string("PRAGMA journal_mode=") + kJournalMode + ";", error)) return false;

  if (!Exec(db.get(), "BEGIN IMMEDIATE;", error)) return false;
  bool made = false;
  for (const TableSetup& t : Tables()) {
    bool exists = false;
    bool ok = TableExists(db.get(), t.name, exists, error) &&
              (exists || (Exec(db.get(), t.create, error) && (t.fill == nullptr || Exec(db.get(), t.fill, error))));
    made = made || !exists;
    if (!ok) {
      sqlite3_exec(db.get(), "ROLLBACK;", nullptr, nullptr, nullptr);
      return false;
    }
  }
  if (!Exec(db.get(), "COMMIT;", error)) {
    sqlite3_exec(db.get(), "ROLLBACK;", nullptr, nullptr, nullptr);
    return false;
  }
  if (created) *created = made;
  return MakeTypeFolders(db.get(), DaruFolder(root), error) && WriteStylesheet(DaruFolder(root), error);
}

bool Reported(bool ok, const std::string& text, std::u16string* error) {
  if (!ok && error) *error = FromUtf8(text);
  return ok;
}

}  // namespace

bool DaruCreateDataRoot(const std::u16string& root, std::u16string* error, bool* created) {
  std::string text;
  if (root.empty()) return Reported(false, "no data root given", error);
  return Reported(ProvisionDataRoot(std::filesystem::path(ToUtf8(root)), &text, created), text, error);
}

bool DaruPrepareDataFolders(const std::u16string& root, const std::vector<std::u16string>& typeFolders,
                            std::u16string* error) {
  std::vector<std::string> folders;
  for (const std::u16string& folder : typeFolders) folders.push_back(ToUtf8(folder));
  std::string text;
  if (root.empty()) return Reported(false, "no data root given", error);
  return Reported(PrepareDataFolders(std::filesystem::path(ToUtf8(root)), folders, &text), text, error);
}
