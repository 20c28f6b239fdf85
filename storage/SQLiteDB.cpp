#include "storage/SQLiteDB.h"

#include <sqlite3.h>

#include <climits>
#include <cstdlib>
#include <string_view>

#include "core/TextConv.h"

CSQLiteDB::CSQLiteDB() : m_db(nullptr), m_busyTimeoutMs(kBusyTimeoutMs) {}

CSQLiteDB::~CSQLiteDB() { Close(); }

void CSQLiteDB::Open(const std::u16string& path) {
  Close();
  std::string file = ToUtf8(path);
  // The engine reads the name up to its first NUL and would open another file.
  if (file.find('\0') != std::string::npos) throw CSQLiteException(SQLITE_CANTOPEN, sqlite3_errstr(SQLITE_CANTOPEN));
  sqlite3* db = nullptr;
  // One thread uses a connection and its cursors, so the engine's lock around
  // every call (one per field read) buys nothing.
  int rc =
      sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    throw CSQLiteException(SQLITE_CANTOPEN, detail.c_str());
  }
  sqlite3_busy_timeout(db, m_busyTimeoutMs);
  m_db = db;
}

void CSQLiteDB::Close() {
  if (m_db == nullptr) return;
  // A cursor that outlives the connection still finalizes safely: the engine
  // keeps the connection until its last statement is gone.
  sqlite3_close_v2(m_db);
  m_db = nullptr;
}

void CSQLiteDB::CheckDB() const {
  if (m_db == nullptr) throw CSQLiteException(CSQLiteException::kLayerError, CSQLiteException::kNotOpen);
}

void CSQLiteDB::SetBusyTimeout(int ms) {
  m_busyTimeoutMs = ms;
  if (m_db != nullptr) sqlite3_busy_timeout(m_db, ms);
}

int CSQLiteDB::Execute(const std::u16string& sql) {
  std::string text = ToUtf8(sql);
  CheckDB();
  // sqlite3_changes keeps the count of the last INSERT, UPDATE or DELETE even
  // when the statements run now changed nothing of the kind.
  sqlite3_int64 before = sqlite3_total_changes64(m_db);
  char* detail = nullptr;
  int rc = sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, &detail);
  if (rc != SQLITE_OK) throw CSQLiteException(rc, detail, true);
  return sqlite3_total_changes64(m_db) == before ? 0 : sqlite3_changes(m_db);
}

sqlite3_stmt* CSQLiteDB::Compile(const char* sql) {
  CheckDB();
  sqlite3_stmt* vm = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(m_db, sql, -1, &vm, &tail);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(vm);
    throw CSQLiteException(rc, sqlite3_errmsg(m_db));
  }
  return vm;
}

CSQLiteQuery CSQLiteDB::Query(const std::u16string& sql) {
  std::string text = ToUtf8(sql);
  CheckDB();
  sqlite3_stmt* vm = Compile(text.c_str());
  // A text without a statement compiles to nothing.
  if (vm == nullptr) throw CSQLiteException(CSQLiteException::kLayerError, CSQLiteException::kNullMachine);
  CSQLiteQuery query(vm, false);
  int rc = sqlite3_step(vm);
  if (rc == SQLITE_DONE)
    query.m_eof = true;
  else if (rc != SQLITE_ROW)
    query.FailStep(rc);
  return query;
}

std::int64_t CSQLiteDB::LastInsertRowId() {
  CheckDB();
  return sqlite3_last_insert_rowid(m_db);
}

CSQLiteQuery::CSQLiteQuery() : m_vm(nullptr), m_eof(true), m_columns(0), m_ownVM(false) {}

CSQLiteQuery::CSQLiteQuery(sqlite3_stmt* vm, bool eof)
    : m_vm(vm), m_eof(eof), m_columns(sqlite3_column_count(vm)), m_ownVM(true) {}

CSQLiteQuery::CSQLiteQuery(CSQLiteQuery&& other) noexcept
    : m_vm(other.m_vm), m_eof(other.m_eof), m_columns(other.m_columns), m_ownVM(other.m_ownVM) {
  other.m_vm = nullptr;
  other.m_ownVM = false;
  other.m_eof = true;
}

CSQLiteQuery& CSQLiteQuery::operator=(CSQLiteQuery&& other) noexcept {
  if (this == &other) return *this;
  FinalizeQuietly();
  m_vm = other.m_vm;
  m_eof = other.m_eof;
  m_columns = other.m_columns;
  m_ownVM = other.m_ownVM;
  other.m_vm = nullptr;
  other.m_ownVM = false;
  other.m_eof = true;
  return *this;
}

CSQLiteQuery::~CSQLiteQuery() { FinalizeQuietly(); }

void CSQLiteQuery::FinalizeQuietly() noexcept {
  try {
    Finalize();
  } catch (const CSQLiteException&) {
  }
}

void CSQLiteQuery::CheckVM() const {
  if (m_vm == nullptr) throw CSQLiteException(CSQLiteException::kLayerError, CSQLiteException::kNullMachine);
}

bool CSQLiteQuery::IsEof() const {
  CheckVM();
  return m_eof;
}

void CSQLiteQuery::NextRow() {
  CheckVM();
  // Stepping a finished statement would start it again from the first row.
  if (m_eof) return;
  int rc = sqlite3_step(m_vm);
  if (rc == SQLITE_DONE)
    m_eof = true;
  else if (rc != SQLITE_ROW)
    FailStep(rc);
}

void CSQLiteQuery::FailStep(int stepResult) {
  std::string detail = sqlite3_errmsg(sqlite3_db_handle(m_vm));
  int rc = sqlite3_finalize(m_vm);
  m_vm = nullptr;
  m_eof = true;
  throw CSQLiteException(rc != SQLITE_OK ? rc : stepResult, detail.c_str());
}

void CSQLiteQuery::Finalize() {
  if (m_vm == nullptr || !m_ownVM) return;
  sqlite3* db = sqlite3_db_handle(m_vm);
  int rc = sqlite3_finalize(m_vm);
  m_vm = nullptr;
  if (rc != SQLITE_OK) throw CSQLiteException(rc, sqlite3_errmsg(db));
}

const char* CSQLiteQuery::GetField(int index) {
  CheckVM();
  // Past the last row there is no field to give either.
  if (index < 0 || index >= m_columns || m_eof)
    throw CSQLiteException(CSQLiteException::kLayerError, CSQLiteException::kBadFieldIndex);
  if (sqlite3_column_type(m_vm, index) == SQLITE_NULL) return nullptr;
  const unsigned char* text = sqlite3_column_text(m_vm, index);
  return text ? reinterpret_cast<const char*>(text) : "";
}

const char16_t* CSQLiteQuery::GetFieldW(int index) {
  const char* text = GetField(index);
  if (text == nullptr) return nullptr;
  m_text = FromUtf8(std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(m_vm, index))));
  return m_text.c_str();
}

int CSQLiteQuery::GetInt(int index, int def) {
  long long value = 0;
  // An integer column is read as the number its text spells, without making
  // the text: the row loaders read several of these per row.
  if (index >= 0 && index < m_columns && m_vm != nullptr && !m_eof &&
      sqlite3_column_type(m_vm, index) == SQLITE_INTEGER) {
    value = sqlite3_column_int64(m_vm, index);
  } else {
    const char* text = GetField(index);
    if (text == nullptr) return def;
    value = std::strtoll(text, nullptr, 10);
  }
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::u16string CSQLiteQuery::GetString(int index, const std::u16string& def) {
  // Converted straight into the result: a copy through the cursor's buffer
  // costs a second allocation per field.
  const char* text = GetField(index);
  if (text == nullptr) return def;
  return FromUtf8(std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(m_vm, index))));
}
