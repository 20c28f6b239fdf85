#pragma once

#include <filesystem>
#include <string>

class CDB;

// Which store the catalogue lives in: --store, else $DARU_STORE, else the
// SQLite catalogue DARU/darudb.
//   sqlite              DARU/darudb (the default)
//   access              the embedded ODBC catalogue DARU/Data/zevdata.mdb
//   odbc:CONNECTION     any ODBC data source, e.g. a PostgreSQL server
struct StoreChoice {
  enum class Kind { Sqlite, Access, Odbc };
  Kind kind = Kind::Sqlite;
  std::string connection;  // Odbc only

  // Throws UsageError for anything else.
  static StoreChoice Parse(const std::string& option);
  std::string Describe() const;
  // A new store, not yet opened, for CDARU::Init; null for the SQLite
  // catalogue, which the facade makes itself.
  CDB* NewStore() const;
  // True when the data root holds this store's catalogue (for a data source
  // elsewhere: when the data root has its DARU folder).
  bool IsProvisioned(const std::filesystem::path& root) const;
  // Makes the catalogue and the data root's folders; false with the reason.
  // created tells whether the catalogue was made now rather than found ready.
  bool Provision(const std::filesystem::path& root, std::string& error, bool* created = nullptr) const;
};
