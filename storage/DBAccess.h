#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/DaruApi.h"
#include "storage/CatalogueStore.h"

class COdbcConnection;
class COdbcEngine;
class _com_error;
using COdbcRow = std::vector<std::optional<std::string>>;

// The catalogue store over an ODBC data source: by default the SQLite ODBC
// driver on DARU/Data/zevdata.mdb under the data root, or any data source a
// host names by connection string (a PostgreSQL server for a catalogue that
// several machines share). Its tables are 标签表, 文章表, 文章标签表 and
// 文章类型表. It keeps the same contract as the SQLite store, operation by
// operation; failures of the driver become the last error as a COM error
// text on one line.
// The store factory never creates it; a host constructs it and may hand it to
// CDARU::Init.
class DARU_API CDBAccess : public CCatalogueStore {
 public:
  CDBAccess();  // the embedded default
  explicit CDBAccess(std::u16string connectionString);
  // Copies share the connection.
  CDBAccess(const CDBAccess& other);
  CDBAccess& operator=(const CDBAccess& other);
  ~CDBAccess() override;

  bool InitDB() override;
  bool AddLabel(CLabel& label) override;

  // The connection string of the embedded default under the current data root.
  static std::u16string DefaultConnectionString();

 protected:
  CCatalogueEngine& Engine() override;

 private:
  friend class CDBAccessTestAccess;

  // Runs a statement text as it stands; a failure becomes the last error.
  bool ExecuteSQL(COdbcConnection* connection, const std::u16string& statement);
  // The text of one field of a row; empty for NULL.
  std::u16string GetFieldValue(const COdbcRow& fields, int index);
  // The four-line text of a COM error: code, its meaning, source, description.
  std::u16string GetComError(const _com_error& error);
  // Kept for callers that embed texts themselves; no operation here does.
  std::u16string EscapeQuote(std::u16string text);

  std::u16string m_connectionString;      // empty: the embedded default
  std::unique_ptr<COdbcEngine> m_engine;  // owned; its connection is shared with copies, null until InitDB succeeds
};
