#pragma once

#include <sqlite3.h>

#include "storage/DBSqlite.h"
#include "storage/SQLiteDB.h"
#include "storage/SqliteEngine.h"

// Reaches the connection's timeout and statements, which no caller of the
// store can see.
class CSQLiteDBTestAccess {
 public:
  static void SetBusyTimeout(CSQLiteDB& db, int ms) { db.SetBusyTimeout(ms); }
  static int BusyTimeout(const CSQLiteDB& db) { return db.m_busyTimeoutMs; }
  // Statements alive besides those the connection keeps compiled for reuse.
  static int OpenStatements(const CSQLiteDB& db) {
    int n = 0;
    for (sqlite3_stmt* s = sqlite3_next_stmt(db.m_db, nullptr); s != nullptr; s = sqlite3_next_stmt(db.m_db, s)) ++n;
    return n - CachedStatements(db);
  }
  static int CachedStatements(const CSQLiteDB& db) { return db.m_cache ? static_cast<int>(db.m_cache->size()) : 0; }
};

class CDBSqliteTestAccess {
 public:
  static CSQLiteDB& Connection(CDBSqlite& store) { return store.m_engine->Database(); }
};

// A second connection to the catalogue that holds the write lock while it
// lives, as another process would.
class WriteLock {
 public:
  explicit WriteLock(const std::string& file) {
    sqlite3_open_v2(file.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
    m_ok = sqlite3_exec(m_db, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~WriteLock() {
    Release();
    sqlite3_close_v2(m_db);
  }
  WriteLock(const WriteLock&) = delete;
  WriteLock& operator=(const WriteLock&) = delete;
  bool Held() const { return m_ok; }
  void Release() {
    if (m_ok) sqlite3_exec(m_db, "ROLLBACK;", nullptr, nullptr, nullptr);
    m_ok = false;
  }

 private:
  sqlite3* m_db = nullptr;  // owned
  bool m_ok = false;
};
