#include "storage/SQLiteDB.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <variant>
#include <vector>

#include "base/TextConv.h"

namespace {

// Compiling costs more than running a small INSERT or UPDATE, so every
// statement is compiled once per connection and kept; its values are bound
// again at each run. Bounded: the store has a few dozen templates.
constexpr size_t kCachedStatements = 32;

// The engine's result of the first binding that failed, or SQLITE_OK. A value
// that could not be bound (a copy without memory) would leave its parameter
// NULL, and the statement would quietly do something else. texts receives
// the UTF-8 form of the text values; they must outlive the statement's run
// unless copyTexts.
int Bind(sqlite3_stmt* stmt, const std::vector<CSqlStatement::Value>& values, std::vector<std::string>& texts,
         bool copyTexts) {
  if (sqlite3_bind_parameter_count(stmt) != static_cast<int>(values.size())) return SQLITE_RANGE;
  texts.reserve(values.size());
  for (size_t k = 0; k < values.size(); ++k) {
    const int at = static_cast<int>(k) + 1;
    int rc;
    if (const std::u16string* text = std::get_if<std::u16string>(&values[k])) {
      const std::string& utf8 = texts.emplace_back(ToUtf8(*text));
      rc = sqlite3_bind_text(stmt, at, utf8.data(), static_cast<int>(utf8.size()),
                             copyTexts ? SQLITE_TRANSIENT : SQLITE_STATIC);
    } else {
      rc = sqlite3_bind_int64(stmt, at, std::get<long long>(values[k]));
    }
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

// Nothing but blanks and semicolons after the first statement.
bool OnlyOneStatement(const char* tail) {
  for (; tail != nullptr && *tail != '\0'; ++tail)
    if (!std::isspace(static_cast<unsigned char>(*tail)) && *tail != ';') return false;
  return true;
}

}  // namespace

CSQLiteDB::CSQLiteDB() : m_db(nullptr), m_busyTimeoutMs(kBusyTimeoutMs) {}

CSQLiteDB::~CSQLiteDB() { Close(); }

void CSQLiteDB::Open(const std::u16string& path) {
  Close();
  std::string file = ToUtf8(path);
  // The engine reads the name up to its first NUL and would open another file.
  if (file.find('\0') != std::string::npos) throw CSQLiteException(SQLITE_CANTOPEN, sqlite3_errstr(SQLITE_CANTOPEN));
  sqlite3* db = nullptr;
  // A file its owner may not write is read-only for everyone, root included,
  // who could otherwise write it anyway.
  struct stat st {};
  const bool readOnly = stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
  // One thread uses a connection and its cursors, so the engine's lock around
  // every call (one per field read) buys nothing.
  int rc = sqlite3_open_v2(
      file.c_str(), &db,
      (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    throw CSQLiteException(SQLITE_CANTOPEN, detail.c_str());
  }
  sqlite3_busy_timeout(db, m_busyTimeoutMs);
  m_db = db;
  m_cache = std::make_shared<CStatementCache>();
}

void CSQLiteDB::Close() {
  if (m_db == nullptr) return;
  m_cache.reset();  // finalizes what it keeps; cursors out there finalize their own
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

CStatementCache::~CStatementCache() {
  for (Entry& e : m_entries) sqlite3_finalize(e.stmt);
}

sqlite3_stmt* CStatementCache::Take(const std::string& text) {
  for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
    if (it->text != text) continue;
    sqlite3_stmt* stmt = it->stmt;
    m_entries.erase(it);
    return stmt;
  }
  return nullptr;
}

void CStatementCache::Put(std::string text, sqlite3_stmt* stmt) {
  m_entries.push_front({std::move(text), stmt});
  if (m_entries.size() > kCachedStatements) {
    sqlite3_finalize(m_entries.back().stmt);
    m_entries.pop_back();
  }
}

sqlite3_stmt* CSQLiteDB::CompileCached(const std::string& sql, bool severalAllowed) {
  if (sqlite3_stmt* stmt = m_cache->Take(sql)) return stmt;
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(m_db, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    throw CSQLiteException(rc, sqlite3_errmsg(m_db));
  }
  if (!OnlyOneStatement(tail)) {
    sqlite3_finalize(stmt);
    if (severalAllowed) return nullptr;
    throw CSQLiteException(SQLITE_MISUSE, "a statement template holds one statement");
  }
  // A text without a statement compiles to nothing.
  if (stmt == nullptr) throw CSQLiteException(CSQLiteException::kLayerError, CSQLiteException::kNullMachine);
  return stmt;
}

int CSQLiteDB::Run(sqlite3_stmt* stmt, std::string key, const std::vector<CSqlStatement::Value>& values) {
  // sqlite3_changes keeps the count of the last INSERT, UPDATE or DELETE even
  // when the statement run now changed nothing of the kind.
  const sqlite3_int64 before = sqlite3_total_changes64(m_db);
  std::vector<std::string> texts;
  int rc = Bind(stmt, values, texts, false);
  if (rc == SQLITE_OK) {
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
  }
  std::string detail = rc == SQLITE_DONE    ? std::string()
                       : rc == SQLITE_RANGE ? "wrong number of values"
                                            : sqlite3_errmsg(m_db);
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);  // the bound texts go out of scope
  m_cache->Put(std::move(key), stmt);
  if (rc != SQLITE_DONE) throw CSQLiteException(rc, detail.c_str());
  return sqlite3_total_changes64(m_db) == before ? 0 : sqlite3_changes(m_db);
}

int CSQLiteDB::Execute(const std::u16string& sql) {
  std::string text = ToUtf8(sql);
  CheckDB();
  if (sqlite3_stmt* stmt = CompileCached(text, true)) return Run(stmt, std::move(text), {});
  // Several statements run as one text, uncached.
  sqlite3_int64 before = sqlite3_total_changes64(m_db);
  char* detail = nullptr;
  int rc = sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, &detail);
  if (rc != SQLITE_OK) throw CSQLiteException(rc, detail, true);
  return sqlite3_total_changes64(m_db) == before ? 0 : sqlite3_changes(m_db);
}

int CSQLiteDB::Execute(const CSqlStatement& statement) {
  std::string key = ToUtf8(statement.Template());
  CheckDB();
  sqlite3_stmt* stmt = CompileCached(key, false);
  return Run(stmt, std::move(key), statement.Values());
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

CSQLiteQuery CSQLiteDB::Start(sqlite3_stmt* stmt, std::string key, const std::vector<CSqlStatement::Value>& values) {
  CSQLiteQuery query(stmt, false);
  query.m_home = m_cache;
  query.m_key = std::move(key);
  // A binding that fails returns the statement to the cache with the cursor.
  std::vector<std::string> texts;
  if (int bound = Bind(stmt, values, texts, true); bound != SQLITE_OK)
    throw CSQLiteException(bound, bound == SQLITE_RANGE ? "wrong number of values" : sqlite3_errstr(bound));
  int rc = sqlite3_step(stmt);
  if (rc == SQLITE_DONE)
    query.m_eof = true;
  else if (rc != SQLITE_ROW)
    query.FailStep(rc);
  return query;
}

CSQLiteQuery CSQLiteDB::Query(const std::u16string& sql) {
  std::string text = ToUtf8(sql);
  CheckDB();
  if (sqlite3_stmt* stmt = CompileCached(text, true)) return Start(stmt, std::move(text), {});
  // Only the first of several statements yields the rows, as written.
  sqlite3_stmt* vm = Compile(text.c_str());
  if (vm == nullptr) throw CSQLiteException(CSQLiteException::kLayerError, CSQLiteException::kNullMachine);
  CSQLiteQuery query(vm, false);
  int rc = sqlite3_step(vm);
  if (rc == SQLITE_DONE)
    query.m_eof = true;
  else if (rc != SQLITE_ROW)
    query.FailStep(rc);
  return query;
}

CSQLiteQuery CSQLiteDB::Query(const CSqlStatement& statement) {
  std::string key = ToUtf8(statement.Template());
  CheckDB();
  sqlite3_stmt* stmt = CompileCached(key, false);
  return Start(stmt, std::move(key), statement.Values());
}

std::int64_t CSQLiteDB::LastInsertRowId() {
  CheckDB();
  return sqlite3_last_insert_rowid(m_db);
}

CSQLiteTransaction::CSQLiteTransaction(CSQLiteDB& db, Kind kind) : m_db(db) {
  m_db.Execute(kind == Write ? u"begin immediate transaction;" : u"begin transaction;");
}

CSQLiteTransaction::~CSQLiteTransaction() {
  if (m_committed) return;
  try {
    m_db.Execute(u"rollback transaction");
  } catch (const CSQLiteException&) {
  }
}

void CSQLiteTransaction::Commit() {
  m_db.Execute(u"commit transaction;");
  m_committed = true;
}

CSQLiteQuery::CSQLiteQuery() : m_vm(nullptr), m_eof(true), m_columns(0), m_ownVM(false) {}

CSQLiteQuery::CSQLiteQuery(sqlite3_stmt* vm, bool eof)
    : m_vm(vm), m_eof(eof), m_columns(sqlite3_column_count(vm)), m_ownVM(true) {}

CSQLiteQuery::CSQLiteQuery(CSQLiteQuery&& other) noexcept
    : m_vm(other.m_vm),
      m_home(std::move(other.m_home)),
      m_key(std::move(other.m_key)),
      m_eof(other.m_eof),
      m_columns(other.m_columns),
      m_ownVM(other.m_ownVM) {
  other.m_vm = nullptr;
  other.m_ownVM = false;
  other.m_eof = true;
}

CSQLiteQuery& CSQLiteQuery::operator=(CSQLiteQuery&& other) noexcept {
  if (this == &other) return *this;
  FinalizeQuietly();
  m_vm = other.m_vm;
  m_home = std::move(other.m_home);
  m_key = std::move(other.m_key);
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
  int rc;
  // A cached statement goes back to its connection's cache while that is
  // open; the reset reports what a finalize would.
  if (std::shared_ptr<CStatementCache> home = m_home.lock()) {
    rc = sqlite3_reset(m_vm);
    sqlite3_clear_bindings(m_vm);
    home->Put(std::move(m_key), m_vm);
  } else {
    rc = sqlite3_finalize(m_vm);
  }
  m_home.reset();
  m_key.clear();
  m_vm = nullptr;
  if (rc != SQLITE_OK) throw CSQLiteException(rc, sqlite3_errmsg(db));
}

const char* CSQLiteQuery::GetField(int index) {
  CheckVM();
  // Past the last row there is no field to give either.
  if (index < 0 || index >= m_columns || m_eof)
    throw CSQLiteException(CSQLiteException::kLayerError, CSQLiteException::kBadFieldIndex);
  const unsigned char* text = sqlite3_column_text(m_vm, index);
  if (text != nullptr) return reinterpret_cast<const char*>(text);
  // A field that cannot be converted for want of memory must not read as
  // empty: the caller would take it for the stored value and write it back.
  // The failure is asked for before the type: it leaves the field NULL.
  if (sqlite3_errcode(sqlite3_db_handle(m_vm)) == SQLITE_NOMEM)
    throw CSQLiteException(SQLITE_NOMEM, sqlite3_errstr(SQLITE_NOMEM));
  return sqlite3_column_type(m_vm, index) == SQLITE_NULL ? nullptr : "";
}

std::optional<std::string_view> CSQLiteQuery::GetFieldView(int index) {
  const char* text = GetField(index);
  if (text == nullptr) return std::nullopt;
  return std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(m_vm, index)));
}

const char16_t* CSQLiteQuery::GetFieldW(int index) {
  const char* text = GetField(index);
  if (text == nullptr) return nullptr;
  FromUtf8(std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(m_vm, index))), m_text);
  return m_text.c_str();
}

int CSQLiteQuery::GetInt(int index, int def) {
  long long value = GetInt64(index, def);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

long long CSQLiteQuery::GetInt64(int index, long long def) {
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
  return value;
}

std::u16string CSQLiteQuery::GetString(int index, const std::u16string& def) {
  // Converted in the cursor's buffer, then copied out at its exact size: one
  // allocation per field, and no unused room kept by the row's records.
  const char* text = GetField(index);
  if (text == nullptr) return def;
  FromUtf8(std::string_view(text, static_cast<size_t>(sqlite3_column_bytes(m_vm, index))), m_text);
  return m_text;
}

bool CSQLiteQuery::IsText(int index, std::string_view text) {
  const char* field = GetField(index);
  return field != nullptr && std::string_view(field, static_cast<size_t>(sqlite3_column_bytes(m_vm, index))) == text;
}
