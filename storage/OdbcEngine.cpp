#include "storage/OdbcEngine.h"

#include <new>
#include <vector>

#include "base/TextConv.h"
#include "storage/OdbcError.h"
#include "storage/OdbcPackedRow.h"

namespace {

// The columns of 文章表, which an article query reads in their order.
constexpr size_t kArticleColumns = 14;

}  // namespace

std::string OdbcText(const CSqlStatement& statement) { return ToUtf8(statement.Template()); }

std::vector<COdbcValue> OdbcValues(const CSqlStatement& statement) {
  std::vector<COdbcValue> values;
  values.reserve(statement.Values().size());
  for (const CSqlStatement::Value& value : statement.Values()) {
    if (const long long* number = std::get_if<long long>(&value))
      values.emplace_back(*number);
    else
      values.emplace_back(std::get<std::u16string>(value));
  }
  return values;
}

CCatalogueDialect COdbcEngine::DialectOf(COdbcConnection::Dialect engine) {
  CCatalogueDialect dialect{u"标签表", u"文章表", u"文章标签表", u"文章类型表"};
  dialect.subscription = u"订阅表";
  if (engine == COdbcConnection::Dialect::PostgreSQL) {
    dialect.autoKey = u"SERIAL PRIMARY KEY";
    dialect.bigInt = u"BIGINT";
    // PostgreSQL's LIKE heeds case and takes a backslash as an escape.
    dialect.like = u"ILIKE ? ESCAPE ''";
    dialect.packing = CCatalogueDialect::RowPacking::Record;
  } else if (engine == COdbcConnection::Dialect::SQLite) {
    dialect.packing = CCatalogueDialect::RowPacking::JsonArray;
  }
  return dialect;
}

void COdbcEngine::Attach(std::shared_ptr<COdbcConnection> connection) {
  m_connection = std::move(connection);
  m_dialect = DialectOf(m_connection ? m_connection->GetDialect() : COdbcConnection::Dialect::Other);
}

COdbcConnection& COdbcEngine::Connection() {
  if (!m_connection || !m_connection->IsOpen()) throw _com_error(E_POINTER);
  return *m_connection;
}

std::optional<std::u16string> COdbcEngine::Attempt(const std::function<void()>& body) {
  try {
    body();
  } catch (const _com_error& e) {
    return ComErrorLine(e);
  } catch (const std::bad_alloc&) {
    return ComErrorLine(_com_error(E_OUTOFMEMORY));
  }
  return std::nullopt;
}

long long COdbcEngine::Execute(const CSqlStatement& statement) {
  return Connection().Execute(OdbcText(statement), OdbcValues(statement));
}

void COdbcEngine::Rows(const CSqlStatement& statement, const RowHandler& onRow,
                       const std::function<void()>& onRestart) {
  Connection().ForEachRow(OdbcText(statement), OdbcValues(statement), onRow, onRestart);
}

void COdbcEngine::ArticleRows(const CSqlStatement& plain, const CSqlStatement* packed, const RowHandler& onRow,
                              const std::function<void()>& onRestart) {
  COdbcConnection& db = Connection();
  // Both drivers copy every field they hand over into an allocation of its
  // own and convert it once more on the fetch: for the fourteen columns of
  // an article that costs more than the query does in the SQLite store or
  // over libpq. Asked for as one text, a row is one field, split here.
  if (packed != nullptr && m_dialect.packing != CCatalogueDialect::RowPacking::None) {
    const bool json = m_dialect.packing == CCatalogueDialect::RowPacking::JsonArray;
    bool split = true;
    std::vector<COdbcField> fields;
    std::string decoded;
    try {
      db.ForEachRow(
          OdbcText(*packed), OdbcValues(*packed),
          [&](COdbcFields row) {
            if (!split) return;
            split =
                row.size() == 1 && !row[0].IsNull() &&
                (json ? SplitJsonRow(row[0].text, fields, decoded) : SplitRecordRow(row[0].text, fields, decoded)) &&
                fields.size() == kArticleColumns;
            if (split) onRow(fields);
          },
          onRestart);
    } catch (const COdbcError&) {
      // On SQLite an engine without JSON functions, or a value JSON cannot
      // hold (a blob): the rows are read field by field. A PostgreSQL
      // transaction that failed is over, and so is its reading.
      if (db.InTransaction() && db.GetDialect() == COdbcConnection::Dialect::PostgreSQL) throw;
      split = false;
    }
    if (split) return;
    onRestart();
  }
  db.ForEachRow(OdbcText(plain), OdbcValues(plain), onRow, onRestart);
}

std::optional<long long> COdbcEngine::Insert(const CSqlStatement& statement, const char* keyColumn) {
  return Connection().Insert(OdbcText(statement), OdbcValues(statement), keyColumn);
}

void COdbcEngine::Begin(const std::u16string* lockTable) {
  if (lockTable == nullptr) {
    Connection().Begin();
    return;
  }
  const std::string table = ToUtf8(*lockTable);
  Connection().Begin(table.c_str());
}

void COdbcEngine::Commit() { Connection().Commit(); }

void COdbcEngine::Rollback() noexcept {
  if (m_connection) m_connection->Rollback();
}
