#pragma once

#include <cstdint>
#include <string>

#include "storage/SQLiteException.h"

struct sqlite3;
struct sqlite3_stmt;

// A thin object layer over the SQLite 3 C interface. Every failure is thrown
// as CSQLiteException; nothing is reported through return values. Text crosses
// to the engine as UTF-8, through the library's one converter.

class CSQLiteQuery;

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
  // Compiles one statement; the caller finalizes it.
  sqlite3_stmt* Compile(const char* sql);
  // Compiles the statement and steps to its first row; the cursor owns it.
  CSQLiteQuery Query(const std::u16string& sql);
  // The row id of the row that this connection inserted last.
  std::int64_t LastInsertRowId();

 private:
  friend class CSQLiteDBTestAccess;
  void CheckDB() const;
  void SetBusyTimeout(int ms);

  sqlite3* m_db;  // owned: closed by Close and the destructor
  int m_busyTimeoutMs;
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
  // The same, converted; null for SQL NULL. Valid until the next conversion on
  // this cursor, so a caller copies it before asking for another field.
  const char16_t* GetFieldW(int index);
  // The leading decimal integer of the text (atoi rules, clamped to int); def
  // for SQL NULL.
  int GetInt(int index, int def);
  std::u16string GetString(int index, const std::u16string& def);

 private:
  friend class CSQLiteDB;
  CSQLiteQuery(sqlite3_stmt* vm, bool eof);
  void CheckVM() const;
  void FinalizeQuietly() noexcept;
  // Finalizes after a failed step and throws what the engine reports.
  [[noreturn]] void FailStep(int stepResult);

  sqlite3_stmt* m_vm;  // owned when m_ownVM: finalized by Finalize and the destructor
  bool m_eof;
  int m_columns;
  bool m_ownVM;
  std::u16string m_text;  // the last converted field text
};
