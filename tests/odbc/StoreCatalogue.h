#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fixtures/ProvisionedRoot.h"
#include "storage/DB.h"

class COdbcConnection;

// The three stores the catalogue contract is checked on.
enum class StoreKind { Sqlite, AccessEmbedded, AccessPostgres };
std::string KindName(StoreKind kind);

// The private test server's ODBC connection string, without a database, from
// DARU_TEST_PG (scripts/test starts the server and sets it). Throws with what
// to do when it is not set.
std::string PostgresServer();

// A database of its own on the test server, dropped when the object goes, so
// that tests running at once never see each other's rows.
class PgDatabase {
 public:
  PgDatabase();
  ~PgDatabase();
  PgDatabase(const PgDatabase&) = delete;
  PgDatabase& operator=(const PgDatabase&) = delete;
  const std::string& Connection() const { return m_connection; }
  // Ends every other session on the database, as a server restart would.
  void DropOtherSessions() const;

 private:
  std::string m_name;
  std::string m_connection;
};

// A provisioned data root with its catalogue in the store of one kind. The
// statements given to Rows and Exec name the tables {label}, {article}, {link}
// and {type}, which become the kind's own table names; they run on a
// connection of their own, so they see only what the store has committed.
class StoreCatalogue {
 public:
  explicit StoreCatalogue(StoreKind kind);
  ~StoreCatalogue();
  StoreCatalogue(const StoreCatalogue&) = delete;
  StoreCatalogue& operator=(const StoreCatalogue&) = delete;

  StoreKind kind() const { return m_kind; }
  const ProvisionedRoot& root() const { return m_root; }
  // The connection string the store of an access kind runs on (UTF-8).
  std::string Connection() const;
  // A new store of the kind, not yet opened.
  std::unique_ptr<CDB> NewStore() const;

  std::vector<std::string> Rows(const std::string& sql);
  void Exec(const std::string& sql);
  // From now on every event ("INSERT" or "DELETE") on the table fails with
  // the engine's message "refused".
  void Refuse(const std::string& table, const std::string& event);
  // After each row inserted into the table where condition holds (a test on
  // NEW), statement runs as well, as if another writer had been quicker.
  void AfterInsert(const std::string& table, const std::string& condition, const std::string& statement);

  // Each statement text with the kind's table names.
  std::string Sql(std::string sql) const;

  // PostgreSQL only: the server ends every session on the catalogue, as a
  // restart would; the next statement of a store fails.
  void EndStoreSessions();

 private:
  COdbcConnection& Inspector();

  StoreKind m_kind;
  ProvisionedRoot m_root;
  std::unique_ptr<PgDatabase> m_pg;              // owned; only for PostgreSQL
  std::unique_ptr<COdbcConnection> m_inspector;  // owned; opened on first use
  int m_triggers = 0;
};

// Spells an expected Rows result.
using ::Lines;
