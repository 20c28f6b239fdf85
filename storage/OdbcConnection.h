#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "storage/OdbcApi.h"
#include "storage/OdbcError.h"

// A value bound to a statement's "?" parameter. Texts travel as UTF-8 bytes
// and never become part of the statement text.
class COdbcValue {
 public:
  COdbcValue(int v) : m_kind(Kind::Int), m_int(v) {}
  COdbcValue(long v) : m_kind(Kind::Int64), m_int(v) {}
  COdbcValue(long long v) : m_kind(Kind::Int64), m_int(v) {}
  COdbcValue(std::string v) : m_kind(Kind::Text), m_text(std::move(v)) {}
  COdbcValue(const char* v) : m_kind(Kind::Text), m_text(v) {}
  COdbcValue(std::u16string_view v);
  COdbcValue(const std::u16string& v) : COdbcValue(std::u16string_view(v)) {}

  enum class Kind { Int, Int64, Text };
  Kind kind() const { return m_kind; }

 private:
  friend class COdbcConnection;
  Kind m_kind;
  long long m_int = 0;
  std::string m_text;
};

// One result row: each field's text (UTF-8), nullopt for NULL.
using COdbcRow = std::vector<std::optional<std::string>>;

// One connection to an ODBC data source, through the narrow interface with
// UTF-8 text. Every failure throws COdbcError.
//
// Drivers convert text by the process locale, and one of them even sets the
// locale of the whole process while it loads. So every driver call runs with
// a UTF-8 locale confined to the calling thread, and the process locale is
// put back after connecting: text arrives whole whatever locale the host has
// chosen, and the host's choice stays as it was.
class COdbcConnection {
 public:
  enum class Dialect { SQLite, PostgreSQL, Other };

  COdbcConnection() = default;
  ~COdbcConnection();
  COdbcConnection(const COdbcConnection&) = delete;
  COdbcConnection& operator=(const COdbcConnection&) = delete;

  // Connects without prompting. Throws when the driver manager is missing
  // (SQLSTATE "IM003") or the data source refuses.
  void Open(const std::string& connectionString);
  bool IsOpen() const { return m_dbc != SQL_NULL_HDBC; }
  void Close();

  Dialect GetDialect() const { return m_dialect; }
  const std::u16string& DriverName() const { return m_driver; }

  // Runs a statement; the number of rows it inserted, changed or deleted.
  long long Execute(const std::string& sql, const std::vector<COdbcValue>& params = {});
  // Runs a statement and reads every row it yields.
  std::vector<COdbcRow> Query(const std::string& sql, const std::vector<COdbcValue>& params = {});

  // A transaction; on SQLite it takes the write lock at once, and lockTable
  // names a table other writers must wait for until the end where the engine
  // locks by table.
  void Begin(const char* lockTable = nullptr);
  void Commit();
  void Rollback();  // never throws
  bool InTransaction() const { return m_inTransaction; }

  // Runs an insert of one row and returns the key the engine gave that row,
  // not another writer's; nullopt when no row went in.
  std::optional<long long> Insert(const std::string& sql, const std::vector<COdbcValue>& params, const char* keyColumn);

 private:
  SQLHSTMT Statement(const std::string& sql);
  void Run(SQLHSTMT stmt, const std::string& sql, const std::vector<COdbcValue>& params);
  void Release(SQLHSTMT stmt);
  // Reads every row; false when a field did not fit and nothing is complete.
  bool ReadInBlocks(SQLHSTMT stmt, SQLSMALLINT columns, std::vector<COdbcRow>& rows);
  void ReadPieces(SQLHSTMT stmt, SQLSMALLINT columns, std::vector<COdbcRow>& rows);
  [[noreturn]] void Throw(SQLSMALLINT type, SQLHANDLE handle, const char* fallback);
  std::u16string InfoText(SQLUSMALLINT info);
  void SetAutocommit(bool on);

  const COdbcApi* m_api = nullptr;             // borrowed: loaded once per process
  SQLHENV m_env = SQL_NULL_HENV;               // owned
  SQLHDBC m_dbc = SQL_NULL_HDBC;               // owned
  std::map<std::string, SQLHSTMT> m_prepared;  // owned, every handle: statements kept for reuse
  Dialect m_dialect = Dialect::Other;
  std::u16string m_driver;
  bool m_inTransaction = false;
};
