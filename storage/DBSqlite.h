#pragma once

#include <memory>

#include "storage/CatalogueStore.h"

class CSqliteEngine;

// The catalogue store over the SQLite file DARU/darudb under the data root.
// Every operation runs the catalogue's statement templates with the record's
// fields bound as values; no exception of the access layer leaves it: its message
// becomes the last error and the operation returns false.
class CDBSqlite : public CCatalogueStore {
 public:
  CDBSqlite();
  ~CDBSqlite() override;
  CDBSqlite(const CDBSqlite&) = delete;
  CDBSqlite& operator=(const CDBSqlite&) = delete;

  bool InitDB() override;

 protected:
  CCatalogueEngine& Engine() override;

 private:
  friend class CDBSqliteTestAccess;

  // Commits wait for the disk as the journal mode needs (see the definition).
  void SetJournalSync();

  std::unique_ptr<CSqliteEngine> m_engine;  // owned: the connection to the file, open after InitDB
};
