#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "storage/CatalogueEngine.h"
#include "storage/SQLiteDB.h"

// The SQLite access layer as the engine of the catalogue's operations: the
// file DARU/darudb with the tables label, article, articletolabel and
// articletype. Its failures are the layer's CSQLiteException, reported by
// their message.
class CSqliteEngine : public CCatalogueEngine {
 public:
  CSqliteEngine() = default;
  CSqliteEngine(const CSqliteEngine&) = delete;
  CSqliteEngine& operator=(const CSqliteEngine&) = delete;

  CSQLiteDB& Database() { return m_db; }

  const CCatalogueDialect& Dialect() const override;
  std::optional<std::u16string> Attempt(const std::function<void()>& body) override;
  long long Execute(const CSqlStatement& statement) override;
  void Rows(const CSqlStatement& statement, const RowHandler& onRow, const std::function<void()>& onRestart) override;
  std::optional<long long> Insert(const CSqlStatement& statement, const char* keyColumn) override;
  // One writer at a time holds the whole file, whatever the table.
  void Begin(const std::u16string* lockTable) override;
  void Commit() override;
  void Rollback() noexcept override;

 private:
  CSQLiteDB m_db;
  std::vector<CCatalogueField> m_fields;  // the row being handed over
};
