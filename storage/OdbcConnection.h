#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/CatalogueEngine.h"
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

// One field of a row being read: the catalogue engines' field, as the
// driver gave it.
using COdbcField = CCatalogueField;
using COdbcFields = CCatalogueFields;

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
  // Runs a statement and hands each row to onRow as it is read, without a
  // copy of its own (the fields view the fetch buffers, so onRow must not
  // run statements on this connection). A field too long for the fetch
  // buffers means reading the rows once more: onRestart comes first, then
  // every row again.
  void ForEachRow(const std::string& sql, const std::vector<COdbcValue>& params,
                  const std::function<void(COdbcFields)>& onRow, const std::function<void()>& onRestart);

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
  // A prepared statement and what its result looks like, learnt once.
  struct CPrepared {
    SQLHSTMT stmt = SQL_NULL_HSTMT;  // owned
    bool described = false;
    std::vector<bool> integer;  // per result column: read as a number
    // Block fetches go into buffers of the statement's own: the driver keeps
    // their addresses from binding to the last fetch, so they live and move
    // only with the statement handle. Kept between runs, as the binding is.
    std::vector<char> blockData;
    std::vector<SQLLEN> blockLengths;
    bool bound = false;
    SQLLEN boundWidth = 0;
    SQLULEN fetched = 0;
  };

  CPrepared& Statement(const std::string& sql);
  void Run(SQLHSTMT stmt, const std::string& sql, const std::vector<COdbcValue>& params);
  void Release(SQLHSTMT stmt);
  void Describe(CPrepared& prepared);
  // Hands over every row; false when a field did not fit, after which the
  // rows must be read again.
  bool ReadInBlocks(CPrepared& prepared, const std::function<void(COdbcFields)>& onRow);
  void UnbindBlocks(CPrepared& prepared);
  void ReadPieces(SQLHSTMT stmt, size_t columns, const std::function<void(COdbcFields)>& onRow);
  [[noreturn]] void Throw(SQLSMALLINT type, SQLHANDLE handle, const char* fallback);
  std::u16string InfoText(SQLUSMALLINT info);
  void SetAutocommit(bool on);

  const COdbcApi* m_api = nullptr;  // borrowed: loaded once per process
  SQLHENV m_env = SQL_NULL_HENV;    // owned
  SQLHDBC m_dbc = SQL_NULL_HDBC;    // owned
  // Statements kept for reuse, with their fetch buffers: a fresh quarter
  // megabyte per query costs more than reading its rows. A map, so that a
  // statement and the fetch count the driver writes stay where they are.
  std::map<std::string, CPrepared> m_prepared;
  std::vector<COdbcField> m_fields;
  Dialect m_dialect = Dialect::Other;
  std::u16string m_driver;
  bool m_inTransaction = false;
};
