#include "provision/OdbcCatalogue.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <system_error>
#include <vector>

#include "base/DriverLocale.h"
#include "core/Records.h"
#include "provision/DataRoot.h"

namespace provision {

namespace {

enum class Engine { SQLite, PostgreSQL };

struct TableSetup {
  const char* name;
  std::vector<std::string> create;  // the table, its indexes and its fixed rows
};

// Ids come from the engine and only grow. PostgreSQL's counters must be moved
// past the fixed rows, which carry their ids.
std::vector<TableSetup> Tables(Engine engine) {
  const bool pg = engine == Engine::PostgreSQL;
  const std::string key = pg ? " SERIAL PRIMARY KEY" : " INTEGER PRIMARY KEY AUTOINCREMENT";
  const std::string time = pg ? " BIGINT DEFAULT 0" : " INTEGER DEFAULT 0";
  std::vector<TableSetup> tables = {
      {"标签表",
       {"CREATE TABLE 标签表(labelid" + key + ", name TEXT, toplayer INTEGER DEFAULT 1)",
        "CREATE INDEX 标签表_toplayer ON 标签表(toplayer, labelid, name)",
        "INSERT INTO 标签表(labelid,name,toplayer) VALUES(" + std::to_string(kHeadLabelID) + ",'" + kHeadLabelName +
            "',0),(" + std::to_string(kFavRSSLabelID) + ",'" + kFavRSSLabelName + "'," + std::to_string(kHeadLabelID) +
            "),(" + std::to_string(kDefaultLabelID) + ",'" + kDefaultLabelName + "'," + std::to_string(kHeadLabelID) +
            ")"}},
      {"文章表",
       {"CREATE TABLE 文章表(articleid" + key +
            ", filename TEXT, url TEXT, title TEXT, key1 TEXT, type TEXT, labels INTEGER DEFAULT 1,"
            " label INTEGER DEFAULT 0, version INTEGER DEFAULT 1, readflag TEXT DEFAULT 'T', impflag TEXT DEFAULT 'F',"
            " crdate" +
            time + ", brdate" + time + ", lmdate" + time + ")",
        "CREATE INDEX 文章表_filename ON 文章表(filename)"}},
      {"文章标签表",
       {"CREATE TABLE 文章标签表(labelid INTEGER, articleid INTEGER, UNIQUE(labelid, articleid))",
        "CREATE INDEX 文章标签表_article ON 文章标签表(articleid, labelid)"}},
      {"文章类型表",
       {"CREATE TABLE 文章类型表(typeid" + key + ", type TEXT, path TEXT)",
        std::string("INSERT INTO 文章类型表(typeid,type,path) VALUES(1,'B','") + kBrowserTypeFolder + "'),(2,'A','" +
            kFeedTypeFolder + "')"}},
  };
  if (pg) {
    tables[0].create.push_back("SELECT setval(pg_get_serial_sequence('标签表','labelid'), " +
                               std::to_string(kDefaultLabelID) + ")");
    tables[3].create.push_back("SELECT setval(pg_get_serial_sequence('文章类型表','typeid'), 2)");
  }
  return tables;
}

bool Fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

bool Ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

class Connection {
 public:
  ~Connection() {
    if (m_dbc != SQL_NULL_HDBC) {
      SQLDisconnect(m_dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
    }
    if (m_env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, m_env);
  }

  bool Open(const std::string& text, std::string* error) {
    if (!Ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env))) {
      m_env = SQL_NULL_HENV;
      return Fail(error, "the ODBC driver manager gives no environment");
    }
    SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!Ok(SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc))) {
      m_dbc = SQL_NULL_HDBC;
      return Fail(error, "the ODBC driver manager gives no connection");
    }
    SQLRETURN rc;
    {
      CDriverConnectScope connecting;
      rc = SQLDriverConnect(m_dbc, nullptr, Text(text), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    }
    if (!Ok(rc)) {
      std::string reason = Diagnostic(SQL_HANDLE_DBC, m_dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
      m_dbc = SQL_NULL_HDBC;
      return Fail(error, "cannot connect: " + reason);
    }
    m_connected = true;
    return true;
  }

  bool DetectEngine(Engine& engine, std::string* error) {
    SQLCHAR name[128] = {0};
    SQLSMALLINT length = 0;
    if (!Ok(SQLGetInfo(m_dbc, SQL_DBMS_NAME, name, sizeof name, &length))) return Fail(error, "no database name");
    std::string dbms(reinterpret_cast<char*>(name));
    if (dbms == "SQLite")
      engine = Engine::SQLite;
    else if (dbms == "PostgreSQL")
      engine = Engine::PostgreSQL;
    else
      return Fail(error, "catalogues are provisioned on SQLite and PostgreSQL, not on " + dbms);
    return true;
  }

  // Runs a statement; rows it yields are read into rows when given.
  bool Run(const std::string& sql, std::string* error, std::vector<std::string>* firstColumn = nullptr) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &stmt))) return Fail(error, "no statement handle");
    SQLRETURN rc = SQLExecDirect(stmt, Text(sql), SQL_NTS);
    bool ok = Ok(rc) || rc == SQL_NO_DATA;
    std::string reason = ok ? "" : Diagnostic(SQL_HANDLE_STMT, stmt);
    if (ok && firstColumn) {
      char buffer[4096];
      while (Ok(SQLFetch(stmt))) {
        SQLLEN indicator = 0;
        if (Ok(SQLGetData(stmt, 1, SQL_C_CHAR, buffer, sizeof buffer, &indicator)) && indicator != SQL_NULL_DATA)
          firstColumn->emplace_back(buffer);
      }
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok || Fail(error, reason + " (" + sql + ")");
  }

  bool Autocommit(bool on) {
    return Ok(SQLSetConnectAttr(m_dbc, SQL_ATTR_AUTOCOMMIT,
                                reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0));
  }
  bool End(bool commit) { return Ok(SQLEndTran(SQL_HANDLE_DBC, m_dbc, commit ? SQL_COMMIT : SQL_ROLLBACK)); }

 private:
  static SQLCHAR* Text(const std::string& s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.c_str())); }

  std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
    std::string out;
    for (SQLSMALLINT i = 1; i <= 3; ++i) {
      SQLCHAR state[6] = {0};
      SQLINTEGER native = 0;
      SQLCHAR text[1024] = {0};
      SQLSMALLINT length = 0;
      if (!Ok(SQLGetDiagRec(type, handle, i, state, &native, text, sizeof text, &length))) break;
      if (!out.empty()) out += "; ";
      out += "[" + std::string(reinterpret_cast<char*>(state)) + "] " + reinterpret_cast<char*>(text);
    }
    return out.empty() ? "unknown ODBC failure" : out;
  }

  SQLHENV m_env = SQL_NULL_HENV;  // owned
  SQLHDBC m_dbc = SQL_NULL_HDBC;  // owned
  bool m_connected = false;
};

}  // namespace

std::string EmbeddedOdbcConnection(const std::filesystem::path& root) {
  return "Driver=SQLite3;Database=" + (DaruFolder(root) / "Data" / "zevdata.mdb").string() +
         ";PWD=2#4!6&;Timeout=60000;";
}

bool ProvisionOdbcStore(const std::filesystem::path& root, const std::string& connection, std::string* error) {
  std::error_code ec;
  const bool embedded = connection.empty();
  std::filesystem::create_directories(DaruFolder(root) / (embedded ? "Data" : ""), ec);
  if (ec) return Fail(error, "cannot create " + DaruFolder(root).string() + ": " + ec.message());

  if (embedded && DaruFolder(root).string().find_first_of(";{}") != std::string::npos)
    return Fail(error, "the data root holds a character (; { }) that an ODBC connection string cannot carry");
  CDriverLocale utf8;
  Connection db;
  Engine engine = Engine::SQLite;
  if (!db.Open(embedded ? EmbeddedOdbcConnection(root) : connection, error) || !db.DetectEngine(engine, error))
    return false;

  // Which tables exist is asked outside the transaction: on PostgreSQL a
  // failed statement would end it.
  const std::vector<TableSetup> tables = Tables(engine);
  auto missingTables = [&] {
    std::vector<bool> missing;
    for (const TableSetup& t : tables)
      missing.push_back(!db.Run(std::string("SELECT count(*) FROM ") + t.name + " WHERE 1=0", nullptr));
    return missing;
  };
  const std::vector<bool> missing = missingTables();
  const bool none = std::all_of(missing.begin(), missing.end(), [](bool m) { return m; });
  if (engine == Engine::SQLite && none && !db.Run("PRAGMA journal_mode=WAL", error))  // as the SQLite catalogue is made
    return false;

  if (!db.Autocommit(false)) return Fail(error, "no transaction");
  bool ok = true;
  for (size_t i = 0; ok && i < tables.size(); ++i)
    for (const std::string& sql : tables[i].create)
      if (missing[i] && ok) ok = db.Run(sql, error);
  if (!ok || !db.End(true)) {
    db.End(false);
    db.Autocommit(true);
    // Another init on the same shared catalogue may have made the tables
    // between our look and our transaction; its catalogue is as good as ours.
    const std::vector<bool> now = missingTables();
    if (std::any_of(now.begin(), now.end(), [](bool m) { return m; }))
      return ok ? Fail(error, "the commit failed") : false;
    if (error) error->clear();
  } else {
    db.Autocommit(true);
  }

  std::vector<std::string> folders;
  if (!db.Run("SELECT path FROM 文章类型表", error, &folders)) return false;
  return PrepareDataFolders(root, folders, error);
}

}  // namespace provision
