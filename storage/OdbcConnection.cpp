#include "storage/OdbcConnection.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/DriverLocale.h"
#include "base/TextConv.h"

namespace {

bool Ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

SQLCHAR* Text(const std::string& s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.c_str())); }

// A diagnostic on one line, so that a message stays one line of the error text.
std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return text;
}

}  // namespace

COdbcValue::COdbcValue(std::u16string_view v) : m_kind(Kind::Text), m_text(ToUtf8(v)) {}

COdbcConnection::~COdbcConnection() { Close(); }

void COdbcConnection::Close() {
  if (m_api == nullptr) return;
  CDriverLocale locale;
  for (auto& [sql, prepared] : m_prepared) m_api->SQLFreeHandle(SQL_HANDLE_STMT, prepared.stmt);
  m_prepared.clear();
  if (m_dbc != SQL_NULL_HDBC) {
    if (m_inTransaction) m_api->SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_ROLLBACK);
    m_api->SQLDisconnect(m_dbc);
    m_api->SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
    m_dbc = SQL_NULL_HDBC;
  }
  if (m_env != SQL_NULL_HENV) {
    m_api->SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    m_env = SQL_NULL_HENV;
  }
  m_inTransaction = false;
}

void COdbcConnection::Throw(SQLSMALLINT type, SQLHANDLE handle, const char* fallback) {
  std::string state = "HY000";
  std::string message;
  if (m_api != nullptr && handle != nullptr) {
    // The first record says what failed; later ones only add context.
    for (SQLSMALLINT i = 1; i <= 4; ++i) {
      SQLCHAR sqlstate[6] = {0};
      SQLINTEGER native = 0;
      SQLCHAR text[2048] = {0};
      SQLSMALLINT length = 0;
      if (!Ok(m_api->SQLGetDiagRec(type, handle, i, sqlstate, &native, text, sizeof text, &length))) break;
      // Warnings (class 01) may come first; the state is that of the failure.
      std::string current = reinterpret_cast<char*>(sqlstate);
      if (i == 1 || (state.rfind("01", 0) == 0 && current.rfind("01", 0) != 0)) state = current;
      std::string line = OneLine(reinterpret_cast<char*>(text));
      if (line.empty()) continue;
      if (!message.empty()) message += "; ";
      message += line;
    }
  }
  if (message.empty()) message = fallback;
  HRESULT hr = HResultFromDiagnostic(state, message);
  throw COdbcError(hr, m_driver.empty() ? u"unixODBC" : m_driver, FromUtf8("[" + state + "] " + message), state);
}

void COdbcConnection::Open(const std::string& connectionString) {
  Close();
  m_api = OdbcApi();
  if (m_api == nullptr)
    throw COdbcError(E_FAIL, u"unixODBC", u"[IM003] the ODBC driver manager (libodbc.so.2) is not installed", "IM003");
  {
    // The connect's turn ends before a second connect below takes its own.
    CDriverConnectScope connecting;
    CDriverLocale locale;
    m_driver.clear();
    if (!Ok(m_api->SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env))) {
      m_env = SQL_NULL_HENV;
      throw COdbcError(E_OUTOFMEMORY, u"unixODBC", u"[HY001] no environment handle", "HY001");
    }
    m_api->SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!Ok(m_api->SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc))) {
      m_dbc = SQL_NULL_HDBC;
      Throw(SQL_HANDLE_ENV, m_env, "no connection handle");
    }
    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    SQLRETURN rc = m_api->SQLDriverConnect(m_dbc, nullptr, Text(connectionString), SQL_NTS, out, sizeof out, &outLength,
                                           SQL_DRIVER_NOPROMPT);
    if (!Ok(rc)) {
      try {
        Throw(SQL_HANDLE_DBC, m_dbc, "the data source refused the connection");
      } catch (const COdbcError& e) {
        m_api->SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        m_dbc = SQL_NULL_HDBC;
        m_api->SQLFreeHandle(SQL_HANDLE_ENV, m_env);
        m_env = SQL_NULL_HENV;
        // unixODBC reports a driver library it cannot load only as a warning.
        if (ToUtf8(e.Description()).find("Can't open lib") != std::string::npos)
          throw COdbcError(e.Error(), e.Source(), e.Description(), "IM003");
        throw;
      }
    }
    m_driver = InfoText(SQL_DRIVER_NAME);
    std::u16string dbms = InfoText(SQL_DBMS_NAME);
    if (dbms == u"SQLite")
      m_dialect = Dialect::SQLite;
    else if (dbms == u"PostgreSQL")
      m_dialect = Dialect::PostgreSQL;
    else
      m_dialect = Dialect::Other;
  }

  // The PostgreSQL driver by default wraps every statement of a transaction
  // in a savepoint of its own, two more round trips each. The store undoes a
  // failed transaction whole, so the driver need only do the same, unless the
  // connection string chose otherwise.
  std::string lowered = connectionString;
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (m_dialect == Dialect::PostgreSQL && lowered.find("protocol=") == std::string::npos) {
    std::string withProtocol = connectionString;
    if (!withProtocol.empty() && withProtocol.back() != ';') withProtocol += ';';
    Open(withProtocol + "Protocol=7.4-1;");
  }
}

std::u16string COdbcConnection::InfoText(SQLUSMALLINT info) {
  SQLCHAR buffer[256] = {0};
  SQLSMALLINT length = 0;
  if (!Ok(m_api->SQLGetInfo(m_dbc, info, buffer, sizeof buffer, &length))) return {};
  return FromUtf8(reinterpret_cast<char*>(buffer));
}

COdbcConnection::CPrepared& COdbcConnection::Statement(const std::string& sql) {
  auto it = m_prepared.find(sql);
  if (it != m_prepared.end()) return it->second;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (!Ok(m_api->SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt))) Throw(SQL_HANDLE_DBC, m_dbc, "no statement handle");
  if (!Ok(m_api->SQLPrepare(stmt, Text(sql), SQL_NTS))) {
    try {
      Throw(SQL_HANDLE_STMT, stmt, "the statement cannot be prepared");
    } catch (...) {
      m_api->SQLFreeHandle(SQL_HANDLE_STMT, stmt);
      throw;
    }
  }
  CPrepared& prepared = m_prepared[sql];
  prepared.stmt = stmt;
  return prepared;
}

void COdbcConnection::Release(SQLHSTMT stmt) {
  m_api->SQLFreeStmt(stmt, SQL_CLOSE);
  m_api->SQLFreeStmt(stmt, SQL_RESET_PARAMS);
}

void COdbcConnection::Run(SQLHSTMT stmt, const std::string& sql, const std::vector<COdbcValue>& params) {
  // The indicators must stay where they are until the statement has run.
  std::vector<SQLLEN> lengths(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    const COdbcValue& v = params[i];
    auto number = static_cast<SQLUSMALLINT>(i + 1);
    SQLRETURN rc;
    void* value = const_cast<long long*>(&v.m_int);
    switch (v.m_kind) {
      case COdbcValue::Kind::Int:
      case COdbcValue::Kind::Int64:
        // Ids and counts are 32-bit columns; times may not be.
        if (v.m_kind == COdbcValue::Kind::Int) {
          rc = m_api->SQLBindParameter(stmt, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_INTEGER, 0, 0, value, 0,
                                       nullptr);
        } else {
          rc = m_api->SQLBindParameter(stmt, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, value, 0,
                                       nullptr);
        }
        break;
      case COdbcValue::Kind::Text:
      default:
        lengths[i] = static_cast<SQLLEN>(v.m_text.size());
        rc = m_api->SQLBindParameter(stmt, number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                     std::max<SQLULEN>(v.m_text.size(), 1), 0, const_cast<char*>(v.m_text.data()),
                                     lengths[i], &lengths[i]);
        break;
    }
    if (!Ok(rc)) {
      Release(stmt);
      Throw(SQL_HANDLE_STMT, stmt, "a value cannot be bound");
    }
  }
  SQLRETURN rc = m_api->SQLExecute(stmt);
  if (!Ok(rc) && rc != SQL_NO_DATA) {
    try {
      Throw(SQL_HANDLE_STMT, stmt, "the statement failed");
    } catch (...) {
      Release(stmt);
      // A statement that failed may have lost its server-side plan with the
      // connection; the next run prepares it afresh.
      m_api->SQLFreeHandle(SQL_HANDLE_STMT, stmt);
      m_prepared.erase(sql);
      throw;
    }
  }
}

long long COdbcConnection::Execute(const std::string& sql, const std::vector<COdbcValue>& params) {
  if (!IsOpen()) throw COdbcError(E_POINTER, u"", u"", "08003");
  CDriverLocale locale;
  SQLHSTMT stmt = Statement(sql).stmt;
  Run(stmt, sql, params);
  SQLLEN count = 0;
  if (!Ok(m_api->SQLRowCount(stmt, &count))) count = 0;
  Release(stmt);
  return count;
}

std::vector<COdbcRow> COdbcConnection::Query(const std::string& sql, const std::vector<COdbcValue>& params) {
  std::vector<COdbcRow> rows;
  ForEachRow(
      sql, params,
      [&](COdbcFields fields) {
        COdbcRow& row = rows.emplace_back(fields.size());
        for (size_t c = 0; c < fields.size(); ++c)
          if (!fields[c].IsNull()) row[c] = fields[c].Text();
      },
      [&] { rows.clear(); });
  return rows;
}

void COdbcConnection::ForEachRow(const std::string& sql, const std::vector<COdbcValue>& params,
                                 const std::function<void(COdbcFields)>& onRow,
                                 const std::function<void()>& onRestart) {
  if (!IsOpen()) throw COdbcError(E_POINTER, u"", u"", "08003");
  CDriverLocale locale;
  CPrepared& prepared = Statement(sql);
  SQLHSTMT stmt = prepared.stmt;
  Run(stmt, sql, params);
  try {
    Describe(prepared);
    if (!prepared.integer.empty() && !ReadInBlocks(prepared, onRow)) {
      // A field longer than the block buffers: the statement runs once more
      // and its fields are read piece by piece.
      onRestart();
      Release(stmt);
      Run(stmt, sql, params);
      ReadPieces(stmt, prepared.integer.size(), onRow);
    }
  } catch (...) {
    // A second run that failed has already given its handle up.
    auto kept = m_prepared.find(sql);
    if (kept != m_prepared.end() && kept->second.stmt == stmt) Release(stmt);
    throw;
  }
  Release(stmt);
}

void COdbcConnection::Describe(CPrepared& prepared) {
  SQLSMALLINT columns = 0;
  if (!Ok(m_api->SQLNumResultCols(prepared.stmt, &columns))) Throw(SQL_HANDLE_STMT, prepared.stmt, "no result columns");
  // The column types are asked once; only a change of the table (another
  // program adding a column) changes them between runs.
  if (prepared.described && prepared.integer.size() == static_cast<size_t>(std::max<SQLSMALLINT>(columns, 0))) return;
  // Integer columns come as numbers: the driver need not print them.
  std::vector<bool> integer(static_cast<size_t>(std::max<SQLSMALLINT>(columns, 0)), false);
  for (SQLSMALLINT c = 0; c < columns; ++c) {
    SQLSMALLINT type = 0, digits = 0, nullable = 0, nameLength = 0;
    SQLULEN size = 0;
    SQLCHAR name[128];
    if (Ok(m_api->SQLDescribeCol(prepared.stmt, static_cast<SQLUSMALLINT>(c + 1), name, sizeof name, &nameLength, &type,
                                 &size, &digits, &nullable)))
      integer[c] = type == SQL_INTEGER || type == SQL_SMALLINT || type == SQL_TINYINT || type == SQL_BIGINT;
  }
  if (prepared.bound) UnbindBlocks(prepared);
  prepared.integer = std::move(integer);
  prepared.described = true;
}

bool COdbcConnection::ReadInBlocks(CPrepared& prepared, const std::function<void(COdbcFields)>& onRow) {
  // Fetching many rows per call, into buffers bound once, saves a call per
  // field through the driver manager and the driver. A row of few columns
  // gets wider fields (one text per row stays whole more often); the driver
  // fills each field's buffer up, so they are no wider than that.
  SQLHSTMT stmt = prepared.stmt;
  const size_t columns = prepared.integer.size();
  constexpr SQLULEN kRows = 32;
  const SQLLEN width = std::clamp<SQLLEN>(4096 / static_cast<SQLLEN>(columns), 512, 4096);
  m_fields.assign(columns, COdbcField());
  bool whole = true;
  try {
    // The statement keeps its block setup between runs; only a change of its
    // columns (Describe unbinds then) sizes and binds the buffers anew.
    if (!prepared.bound || prepared.boundWidth != width) {
      if (prepared.bound) UnbindBlocks(prepared);
      prepared.blockData.assign(kRows * width * columns, 0);
      prepared.blockLengths.assign(kRows * columns, 0);
      if (!Ok(m_api->SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN),
                                    0)) ||
          !Ok(m_api->SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRows), 0)) ||
          !Ok(m_api->SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &prepared.fetched, 0)))
        Throw(SQL_HANDLE_STMT, stmt, "rows cannot be fetched in blocks");
      char* data = prepared.blockData.data();
      SQLLEN* lengths = prepared.blockLengths.data();
      for (size_t c = 0; c < columns; ++c) {
        char* column = data + c * kRows * width;
        SQLRETURN rc = prepared.integer[c] ? m_api->SQLBindCol(stmt, static_cast<SQLUSMALLINT>(c + 1), SQL_C_SBIGINT,
                                                               column, sizeof(long long), &lengths[c * kRows])
                                           : m_api->SQLBindCol(stmt, static_cast<SQLUSMALLINT>(c + 1), SQL_C_CHAR,
                                                               column, width, &lengths[c * kRows]);
        if (!Ok(rc)) Throw(SQL_HANDLE_STMT, stmt, "a field cannot be bound");
      }
      prepared.bound = true;
      prepared.boundWidth = width;
    }
    const char* data = prepared.blockData.data();
    const SQLLEN* lengths = prepared.blockLengths.data();
    while (whole) {
      SQLRETURN rc = m_api->SQLFetch(stmt);
      if (rc == SQL_NO_DATA) break;
      // A value the driver cannot give as bound (an integer column holding
      // text, say) is read again as text.
      if (!Ok(rc)) {
        whole = false;
        break;
      }
      for (SQLULEN r = 0; r < prepared.fetched && whole; ++r) {
        for (size_t c = 0; c < columns; ++c) {
          COdbcField& field = m_fields[c];
          const SQLLEN length = lengths[c * kRows + r];
          const char* column = data + c * kRows * width;
          if (length == SQL_NULL_DATA) {
            field = COdbcField();
          } else if (prepared.integer[c]) {
            field.kind = COdbcField::Kind::Number;
            std::memcpy(&field.number, column + r * sizeof(long long), sizeof field.number);
          } else if (length == SQL_NO_TOTAL || length < 0 || length >= width) {
            whole = false;
            break;
          } else {
            field.kind = COdbcField::Kind::Text;
            field.text = std::string_view(column + r * width, static_cast<size_t>(length));
          }
        }
        if (whole) onRow(m_fields);
      }
    }
  } catch (...) {
    UnbindBlocks(prepared);
    throw;
  }
  // Reading piece by piece needs the statement without its blocks.
  if (!whole) UnbindBlocks(prepared);
  return whole;
}

void COdbcConnection::UnbindBlocks(CPrepared& prepared) {
  m_api->SQLFreeStmt(prepared.stmt, SQL_UNBIND);
  m_api->SQLSetStmtAttr(prepared.stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
  m_api->SQLSetStmtAttr(prepared.stmt, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
  prepared.bound = false;
}

void COdbcConnection::ReadPieces(SQLHSTMT stmt, size_t columns, const std::function<void(COdbcFields)>& onRow) {
  char buffer[1024];
  std::vector<std::string> texts(columns);
  std::vector<COdbcField> fields(columns);
  for (;;) {
    SQLRETURN rc = m_api->SQLFetch(stmt);
    if (rc == SQL_NO_DATA) break;
    if (!Ok(rc)) Throw(SQL_HANDLE_STMT, stmt, "a row cannot be read");
    for (size_t c = 0; c < columns; ++c) {
      std::string& field = texts[c];
      field.clear();
      bool null = false;
      // Long texts come in pieces, each but the last filling the buffer.
      for (;;) {
        SQLLEN indicator = 0;
        rc = m_api->SQLGetData(stmt, static_cast<SQLUSMALLINT>(c + 1), SQL_C_CHAR, buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA) break;
        if (!Ok(rc)) Throw(SQL_HANDLE_STMT, stmt, "a field cannot be read");
        if (indicator == SQL_NULL_DATA) {
          null = true;
          break;
        }
        size_t piece = (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer))
                           ? sizeof buffer - 1
                           : static_cast<size_t>(indicator);
        field.append(buffer, piece);
        if (rc == SQL_SUCCESS) break;
      }
      fields[c] = COdbcField();
      if (!null) {
        fields[c].kind = COdbcField::Kind::Text;
        fields[c].text = field;
      }
    }
    onRow(fields);
  }
}

void COdbcConnection::SetAutocommit(bool on) {
  SQLRETURN rc = m_api->SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT,
                                          reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0);
  if (!Ok(rc)) Throw(SQL_HANDLE_DBC, m_dbc, "the transaction mode cannot be set");
}

void COdbcConnection::Begin(const char* lockTable) {
  if (!IsOpen()) throw COdbcError(E_POINTER, u"", u"", "08003");
  if (m_dialect == Dialect::SQLite) {
    // The write lock first: a transaction that reads before it writes then
    // waits for another writer instead of failing, and what it read holds.
    Execute("BEGIN IMMEDIATE");
    m_inTransaction = true;
    return;
  }
  {
    CDriverLocale locale;
    SetAutocommit(false);
  }
  m_inTransaction = true;
  if (lockTable != nullptr && m_dialect == Dialect::PostgreSQL) {
    try {
      Execute(std::string("LOCK TABLE ") + lockTable + " IN SHARE ROW EXCLUSIVE MODE");
    } catch (...) {
      Rollback();
      throw;
    }
  }
}

void COdbcConnection::Commit() {
  if (!m_inTransaction) return;
  if (m_dialect == Dialect::SQLite) {
    Execute("COMMIT");
    m_inTransaction = false;
    return;
  }
  CDriverLocale locale;
  if (!Ok(m_api->SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_COMMIT))) Throw(SQL_HANDLE_DBC, m_dbc, "the commit failed");
  m_inTransaction = false;
  SetAutocommit(true);
}

void COdbcConnection::Rollback() {
  if (!m_inTransaction || !IsOpen()) return;
  m_inTransaction = false;
  try {
    if (m_dialect == Dialect::SQLite) {
      Execute("ROLLBACK");
      return;
    }
    CDriverLocale locale;
    m_api->SQLEndTran(SQL_HANDLE_DBC, m_dbc, SQL_ROLLBACK);
    SetAutocommit(true);
  } catch (const _com_error&) {
    // Nothing better to report than the failure that led here.
  }
}

std::optional<long long> COdbcConnection::Insert(const std::string& sql, const std::vector<COdbcValue>& params,
                                                 const char* keyColumn) {
  std::vector<COdbcRow> rows;
  if (m_dialect == Dialect::PostgreSQL) {
    // The session's last sequence value could be a trigger's; the row's own
    // key comes back with it.
    rows = Query(sql + " RETURNING " + keyColumn, params);
    if (rows.empty()) return std::nullopt;
  } else {
    if (Execute(sql, params) <= 0) return std::nullopt;
    rows = Query(m_dialect == Dialect::SQLite ? "SELECT last_insert_rowid()" : "SELECT @@IDENTITY");
  }
  if (rows.empty() || rows[0].empty() || !rows[0][0])
    throw COdbcError(E_FAIL, m_driver, u"[HY000] the engine gave the new row no key", "HY000");
  return std::strtoll(rows[0][0]->c_str(), nullptr, 10);
}
