#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "storage/CatalogueEngine.h"
#include "storage/OdbcConnection.h"

// An ODBC connection as the engine of the catalogue's operations, on the
// tables 标签表, 文章表, 文章标签表 and 文章类型表. Its failures are COM errors
// (COdbcError for those of the driver), reported as one line of their text.
// Copies share the connection.
class COdbcEngine : public CCatalogueEngine {
 public:
  COdbcEngine() = default;

  // Takes the open connection; its dialect follows the engine behind it.
  void Attach(std::shared_ptr<COdbcConnection> connection);
  // Null until a connection is attached.
  const std::shared_ptr<COdbcConnection>& Shared() const { return m_connection; }
  // The open connection; throws the COM error of an invalid pointer without one.
  COdbcConnection& Connection();

  const CCatalogueDialect& Dialect() const override { return m_dialect; }
  std::optional<std::u16string> Attempt(const std::function<void()>& body) override;
  long long Execute(const CSqlStatement& statement) override;
  void Rows(const CSqlStatement& statement, const RowHandler& onRow, const std::function<void()>& onRestart) override;
  void ArticleRows(const CSqlStatement& plain, const CSqlStatement* packed, const RowHandler& onRow,
                   const std::function<void()>& onRestart) override;
  std::optional<long long> Insert(const CSqlStatement& statement, const char* keyColumn) override;
  void Begin(const std::u16string* lockTable) override;
  void Commit() override;
  void Rollback() noexcept override;

  // The dialect of an engine behind an ODBC connection.
  static CCatalogueDialect DialectOf(COdbcConnection::Dialect engine);

 private:
  std::shared_ptr<COdbcConnection> m_connection;  // shared with copies; null until attached
  CCatalogueDialect m_dialect = DialectOf(COdbcConnection::Dialect::Other);
};

// A statement's template as UTF-8 text and its values as the connection binds them.
std::string OdbcText(const CSqlStatement& statement);
std::vector<COdbcValue> OdbcValues(const CSqlStatement& statement);
