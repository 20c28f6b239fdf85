#include "storage/SqliteEngine.h"

#include <algorithm>

const CCatalogueDialect& CSqliteEngine::Dialect() const {
  static const CCatalogueDialect dialect{u"label", u"article", u"articletolabel", u"articletype"};
  return dialect;
}

std::optional<std::u16string> CSqliteEngine::Attempt(const std::function<void()>& body) {
  try {
    body();
  } catch (const CSQLiteException& e) {
    return e.MessageW();
  }
  return std::nullopt;
}

long long CSqliteEngine::Execute(const CSqlStatement& statement) { return m_db.Execute(statement); }

void CSqliteEngine::Rows(const CSqlStatement& statement, const RowHandler& onRow, const std::function<void()>&) {
  CSQLiteQuery rows = m_db.Query(statement);
  m_fields.assign(static_cast<size_t>(std::max(rows.NumFields(), 0)), CCatalogueField());
  while (!rows.IsEof()) {
    for (size_t c = 0; c < m_fields.size(); ++c) {
      CCatalogueField& field = m_fields[c];
      // With its length: a text may hold a NUL, and must come back whole.
      const std::optional<std::string_view> text = rows.GetFieldView(static_cast<int>(c));
      if (!text) {
        field = CCatalogueField();
      } else {
        field.kind = CCatalogueField::Kind::Text;
        field.text = *text;
      }
    }
    onRow(m_fields);
    rows.NextRow();
  }
  rows.Finalize();
}

std::optional<long long> CSqliteEngine::Insert(const CSqlStatement& statement, const char*) {
  if (m_db.Execute(statement) <= 0) return std::nullopt;
  // The row this connection inserted, whatever another writer added since.
  return m_db.LastInsertRowId();
}

void CSqliteEngine::Begin(const std::u16string*) { m_db.Execute(u"begin immediate transaction;"); }

void CSqliteEngine::Commit() { m_db.Execute(u"commit transaction;"); }

void CSqliteEngine::Rollback() noexcept {
  try {
    m_db.Execute(u"rollback transaction");
  } catch (...) {
    // Nothing better to report than the failure that led here.
  }
}
