#include "StoreCatalogue.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "base/TextConv.h"
#include "provision/OdbcCatalogue.h"
#include "storage/DBAccess.h"
#include "storage/OdbcConnection.h"

namespace {

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

void OpenOrThrow(COdbcConnection& db, const std::string& connection) {
  try {
    db.Open(connection);
  } catch (const _com_error& e) {
    throw std::runtime_error("cannot connect to " + connection + ": " + ToUtf8(e.Description()));
  }
}

}  // namespace

std::string KindName(StoreKind kind) {
  switch (kind) {
    case StoreKind::Sqlite:
      return "Sqlite";
    case StoreKind::AccessEmbedded:
      return "AccessEmbedded";
    case StoreKind::AccessPostgres:
      return "AccessPostgres";
  }
  return "?";
}

std::string PostgresServer() {
  const char* server = std::getenv("DARU_TEST_PG");
  if (server != nullptr && *server != '\0') return server;
  // The server that CTest started for the build tree.
  std::string connection;
  std::getline(std::ifstream(std::string(DARU_PG_TEST_DIR) + "/connection"), connection);
  if (connection.empty())
    throw std::runtime_error(
        "DARU_TEST_PG is not set: the PostgreSQL tests need the private test server. Run them through ctest or "
        "scripts/test, or start it with `export DARU_TEST_PG=$(scripts/pg-test-server start build/pg)`");
  return connection;
}

PgDatabase::PgDatabase() {
  static std::atomic<int> counter{0};
  m_name = "daru_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
  const std::string server = PostgresServer();
  COdbcConnection admin;
  OpenOrThrow(admin, server + "Database=postgres;");
  try {
    admin.Execute("DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)");
    admin.Execute("CREATE DATABASE " + m_name + " ENCODING 'UTF8' TEMPLATE template0");
  } catch (const _com_error& e) {
    throw std::runtime_error("cannot create the test database: " + ToUtf8(e.Description()));
  }
  m_connection = server + "Database=" + m_name + ";";
}

PgDatabase::~PgDatabase() {
  try {
    COdbcConnection admin;
    admin.Open(PostgresServer() + "Database=postgres;");
    admin.Execute("DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)");
  } catch (const std::exception&) {
  }
}

void PgDatabase::DropOtherSessions() const {
  COdbcConnection admin;
  OpenOrThrow(admin, PostgresServer() + "Database=postgres;");
  admin.Query("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname=? AND pid<>pg_backend_pid()",
              {m_name});
}

StoreCatalogue::StoreCatalogue(StoreKind kind) : m_kind(kind) {
  std::string error;
  if (kind == StoreKind::AccessEmbedded && !provision::ProvisionOdbcStore(m_root.path(), "", &error))
    throw std::runtime_error("provisioning the embedded catalogue failed: " + error);
  if (kind == StoreKind::AccessPostgres) {
    m_pg = std::make_unique<PgDatabase>();
    if (!provision::ProvisionOdbcStore(m_root.path(), m_pg->Connection(), &error))
      throw std::runtime_error("provisioning the PostgreSQL catalogue failed: " + error);
  }
}

StoreCatalogue::~StoreCatalogue() { m_inspector.reset(); }

std::string StoreCatalogue::Connection() const {
  switch (m_kind) {
    case StoreKind::Sqlite:
      return "Driver=SQLite3;Database=" + m_root.catalogue().string() + ";Timeout=60000;";
    case StoreKind::AccessEmbedded:
      return provision::EmbeddedOdbcConnection(m_root.path());
    case StoreKind::AccessPostgres:
      return m_pg->Connection();
  }
  return {};
}

std::unique_ptr<CDB> StoreCatalogue::NewStore() const {
  switch (m_kind) {
    case StoreKind::Sqlite:
      return std::unique_ptr<CDB>(CreateStore(1));
    case StoreKind::AccessEmbedded:
      return std::make_unique<CDBAccess>();
    case StoreKind::AccessPostgres:
      return std::make_unique<CDBAccess>(FromUtf8(m_pg->Connection()));
  }
  return nullptr;
}

std::string StoreCatalogue::Sql(std::string sql) const {
  const bool access = m_kind != StoreKind::Sqlite;
  sql = Replace(sql, "{label}", access ? "标签表" : "label");
  sql = Replace(sql, "{article}", access ? "文章表" : "article");
  sql = Replace(sql, "{link}", access ? "文章标签表" : "articletolabel");
  sql = Replace(sql, "{type}", access ? "文章类型表" : "articletype");
  return sql;
}

COdbcConnection& StoreCatalogue::Inspector() {
  if (!m_inspector) {
    m_inspector = std::make_unique<COdbcConnection>();
    OpenOrThrow(*m_inspector, Connection());
  }
  return *m_inspector;
}

std::vector<std::string> StoreCatalogue::Rows(const std::string& sql) {
  std::vector<std::string> lines;
  try {
    for (const COdbcRow& row : Inspector().Query(Sql(sql))) {
      std::string line;
      for (size_t i = 0; i < row.size(); ++i) {
        if (i > 0) line += '|';
        line += row[i] ? *row[i] : "NULL";
      }
      lines.push_back(line);
    }
  } catch (const _com_error& e) {
    throw std::runtime_error(ToUtf8(e.Description()) + ": " + sql);
  }
  return lines;
}

void StoreCatalogue::Exec(const std::string& sql) {
  try {
    Inspector().Execute(Sql(sql));
  } catch (const _com_error& e) {
    throw std::runtime_error(ToUtf8(e.Description()) + ": " + sql);
  }
}

void StoreCatalogue::Refuse(const std::string& table, const std::string& event) {
  const std::string name = "refuse" + std::to_string(++m_triggers);
  if (m_kind == StoreKind::AccessPostgres) {
    Exec("CREATE FUNCTION " + name + "() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RAISE EXCEPTION 'refused'; END$$");
    Exec("CREATE TRIGGER " + name + " BEFORE " + event + " ON " + table + " FOR EACH ROW EXECUTE FUNCTION " + name +
         "()");
  } else {
    Exec("CREATE TRIGGER " + name + " BEFORE " + event + " ON " + table + " BEGIN SELECT RAISE(ABORT,'refused'); END");
  }
}

void StoreCatalogue::AfterInsert(const std::string& table, const std::string& condition, const std::string& statement) {
  const std::string name = "after" + std::to_string(++m_triggers);
  if (m_kind == StoreKind::AccessPostgres) {
    Exec("CREATE FUNCTION " + name + "() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN IF " + condition + " THEN " +
         statement + "; END IF; RETURN NULL; END$$");
    Exec("CREATE TRIGGER " + name + " AFTER INSERT ON " + table + " FOR EACH ROW EXECUTE FUNCTION " + name + "()");
  } else {
    Exec("CREATE TRIGGER " + name + " AFTER INSERT ON " + table + " WHEN " + condition + " BEGIN " + statement +
         "; END");
  }
}

void StoreCatalogue::EndStoreSessions() {
  m_inspector.reset();
  if (m_pg) m_pg->DropOtherSessions();
}
