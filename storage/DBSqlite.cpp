#include "storage/DBSqlite.h"

#include <new>

#include "base/Files.h"
#include "core/ArticleLocations.h"
#include "storage/SqliteEngine.h"

CDB* CreateStore(int type) {
  if (type != 1) return nullptr;
  return new (std::nothrow) CDBSqlite();
}

CDBSqlite::CDBSqlite() : m_engine(std::make_unique<CSqliteEngine>()) {}
CDBSqlite::~CDBSqlite() = default;

CCatalogueEngine& CDBSqlite::Engine() { return *m_engine; }

bool CDBSqlite::InitDB() {
  const std::u16string file = GetCatalogueFile();
  if (Guarded([&] {
        m_engine->Database().Open(file);
        SetJournalSync();
        return true;
      }))
    return true;
  // Which file it tried is the first thing a person needs to know.
  SetLastDBError(GetLastDBError() + u" (catalogue " + file + u")");
  return false;
}

void CDBSqlite::SetJournalSync() {
  // With a write-ahead log a commit need not wait for the disk: a power cut
  // may take the last commits back, but the catalogue stays whole. The
  // rollback journal keeps the engine's full sync, without which it could
  // not promise even that. A file that is no catalogue fails later, at its
  // first statement, as it always did.
  //
  // The article files follow the same policy: replaced atomically always,
  // synced only where the catalogue's commits are. A description file synced
  // beside a commit that a power cut may still take back buys nothing.
  CSQLiteDB& db = m_engine->Database();
  bool wal = false;
  try {
    CSQLiteQuery mode = db.Query(u"PRAGMA journal_mode");
    wal = !mode.IsEof() && mode.GetString(0, u"") == u"wal";
    mode.Finalize();
    if (wal) db.Execute(u"PRAGMA synchronous=NORMAL");
  } catch (const CSQLiteException&) {
  }
  SetFileDurability(wal ? FileDurability::Atomic : FileDurability::Synced);
}
