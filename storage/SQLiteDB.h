#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/SQLiteException.h"
#include "storage/SqlStatement.h"

struct sqlite3;
struct sqlite3_stmt;

// A thin object layer over the SQLite 3 C interface. Every failure is thrown
// as CSQLiteException; nothing is reported through return values. Text crosses
// to the engine as UTF-8, through the library's one converter.

class CSQLiteQuery;

// Compiled statements of one connection kept for reuse, under the template (or
// whole statement text) they were compiled from. A statement in use by a
// cursor is out of the cache until the cursor is done with it.
class CStatementCache {
 public:
  CStatementCache() = default;
  ~CStatementCache();
  CStatementCache(const CStatementCache&) = delete;
  CStatementCache& operator=(const CStatementCache&) = delete;

  // The statement compiled from the text, taken out of the cache; null when
  // there is none.
  sqlite3_stmt* Take(const std::string& text);
  // Keeps a reset statement; the least recently used one goes when full.
  void Put(std::string text, sqlite3_stmt* stmt);
  size_t size() const { return m_entries.size(); }

 private:
  struct Entry {
    std::string text;
    sqlite3_stmt* stmt;  // owned: finalized on eviction and with the cache
  };
  std::list<Entry> m_entries;  // most recently used first
};

// One connection to a database file.
class CSQLiteDB {
 public:
  // Every open waits this long for a file that another connection has locked.
  static constexpr int kBusyTimeoutMs = 60000;

  CSQLiteDB();
  CSQLiteDB(const CSQLiteDB&) = delete;
  CSQLiteDB& operator=(const CSQLiteDB&) = delete;
  virtual ~CSQLiteDB();

  // Opens (creating when missing) the file; its folder must exist. Any failure
  // throws SQLITE_CANTOPEN with the engine's text. An open connection is
  // closed first.
  void Open(const std::u16string& path);
  void Close();
  bool IsOpen() const { return m_db != nullptr; }

  // Runs statements that return no rows; the result is the number of rows the
  // last of them inserted, changed or deleted (0 when none of them was such a
  // statement).
  int Execute(const std::u16string& sql);
  // Runs one statement template with its values bound; compiled once per
  // template and connection.
  int Execute(const CSqlStatement& statement);
  // Compiles one statement; the caller finalizes it.
  sqlite3_stmt* Compile(const char* sql);
  // Compiles the statement and steps to its first row; the cursor owns it.
  CSQLiteQuery Query(const std::u16string& sql);
  CSQLiteQuery Query(const CSqlStatement& statement);
  // The row id of the row that this connection inserted last.
  std::int64_t LastInsertRowId();

 private:
  friend class CSQLiteDBTestAccess;
  void CheckDB() const;
  void SetBusyTimeout(int ms);
  // The compiled statement of one statement text, from the cache or compiled
  // now; null (and nothing compiled) when the text holds several statements
  // and several are allowed. Throws what the engine says of the text.
  sqlite3_stmt* CompileCached(const std::string& sql, bool severalAllowed);
  // Steps a row-less statement to its end and hands it back to the cache.
  int Run(sqlite3_stmt* stmt, std::string key, const std::vector<CSqlStatement::Value>& values);
  // Binds the values, steps to the first row and hands the statement to a cursor.
  CSQLiteQuery Start(sqlite3_stmt* stmt, std::string key, const std::vector<CSqlStatement::Value>& values);

  sqlite3* m_db;  // owned: closed by Close and the destructor
  int m_busyTimeoutMs;
  // Owned with the connection; cursors hold it weakly, so a statement comes
  // back only to the connection that compiled it, while it is open.
  std::shared_ptr<CStatementCache> m_cache;
};

// One transaction on a connection; rolled back unless committed, so that any
// failure inside leaves the catalogue as it was. A failing rollback is
// swallowed: there is nothing better to report than the failure that caused it.
//
// A writing transaction takes the write lock at the start: one that reads
// before it writes then waits for another process's writer (the busy timeout)
// instead of failing at once, and what it read stays true until it commits.
class CSQLiteTransaction {
 public:
  enum Kind { Read, Write };
  CSQLiteTransaction(CSQLiteDB& db, Kind kind);
  ~CSQLiteTransaction();
  CSQLiteTransaction(const CSQLiteTransaction&) = delete;
  CSQLiteTransaction& operator=(const CSQLiteTransaction&) = delete;

  void Commit();

 private:
  CSQLiteDB& m_db;  // borrowed: the connection the transaction runs on
  bool m_committed = false;
};

// A forward-only cursor over the rows of one statement. Moving a cursor hands
// its statement over, so only one cursor ever finalizes it.
class CSQLiteQuery {
 public:
  CSQLiteQuery();
  CSQLiteQuery(CSQLiteQuery&& other) noexcept;
  CSQLiteQuery& operator=(CSQLiteQuery&& other) noexcept;
  CSQLiteQuery(const CSQLiteQuery&) = delete;
  CSQLiteQuery& operator=(const CSQLiteQuery&) = delete;
  virtual ~CSQLiteQuery();

  bool IsEof() const;
  void NextRow();
  // Releases the statement; throws when the engine reports an error for it.
  void Finalize();
  int NumFields() const { return m_columns; }

  // The field text of the current row, null for SQL NULL. Valid until the
  // cursor moves. Past the last row no index is valid.
  const char* GetField(int index);
  // The same with its length, which counts a NUL inside the text; nullopt for SQL NULL.
  std::optional<std::string_view> GetFieldView(int index);
  // The same, converted; null for SQL NULL. Valid until the next conversion on
  // this cursor, so a caller copies it before asking for another field.
  const char16_t* GetFieldW(int index);
  // The leading decimal integer of the text (atoi rules, clamped to int); def
  // for SQL NULL.
  int GetInt(int index, int def);
  // The same, unclamped: times are 64-bit.
  long long GetInt64(int index, long long def);
  std::u16string GetString(int index, const std::u16string& def);
  // Whether the field holds exactly this text (false for SQL NULL); reads it
  // without converting it.
  bool IsText(int index, std::string_view text);

 private:
  friend class CSQLiteDB;
  CSQLiteQuery(sqlite3_stmt* vm, bool eof);
  void CheckVM() const;
  void FinalizeQuietly() noexcept;
  // Finalizes after a failed step and throws what the engine reports.
  [[noreturn]] void FailStep(int stepResult);

  sqlite3_stmt* m_vm;  // owned when m_ownVM: finalized (or handed back to m_home) by Finalize and the destructor
  std::weak_ptr<CStatementCache> m_home;  // where a cached statement goes back to
  std::string m_key;                      // its text in that cache
  bool m_eof;
  int m_columns;
  bool m_ownVM;
  std::u16string m_text;  // the last converted field text
};
