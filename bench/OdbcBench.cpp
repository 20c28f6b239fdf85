// The ODBC store against what it stands beside: on the SQLite ODBC driver
// against the SQLite store, on PostgreSQL against libpq running the same
// statements directly. Both sides of a comparison run in alternation,
// operation by operation, each on a catalogue of its own; a figure is the
// median of its operations.
//
//   odbc_bench SERVER   SERVER: the ODBC connection string of a PostgreSQL
//                       server without a database (bench/run-odbc starts one)

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/TextConv.h"
#include "core/ArticleLocations.h"
#include "platform/ModuleInfo.h"
#include "provision/DataRoot.h"
#include "provision/OdbcCatalogue.h"
#include "storage/DBAccess.h"
#include "storage/DBSqlite.h"
#include "storage/OdbcConnection.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCaptures = 400;
constexpr int kFiled = 200;  // articles under the queried label
constexpr int kQueries = 200;
constexpr int kQueriedLabel = 2;

using Clock = std::chrono::steady_clock;

double Micros(const std::function<void()>& op) {
  auto start = Clock::now();
  op();
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void Check(bool ok, CDB& store, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + ": " + ToUtf8(store.GetLastDBError()));
}

// A capture as the facade does it: the duplicate query by folder name, then
// the insert with its first link.
void Capture(CDB& store, const std::u16string& folder, int label) {
  CArticle pattern;
  pattern.filename = folder;
  std::vector<CArticle*> found;
  Check(store.QueryArticle(found, pattern, 4, true), store, "duplicate query");
  for (CArticle* a : found) delete a;
  CArticle article;
  article.filename = folder;
  article.url = u"http://example.com/" + folder;
  article.title = u"标题 " + folder;
  article.type = u"B";
  article.label = label;
  article.crdate.SetNowTime();
  Check(store.AddArticle(article), store, "capture");
}

size_t QueryLabel(CDB& store) {
  CLabel label;
  label.labelid = kQueriedLabel;
  std::vector<CArticle*> out;
  Check(store.QueryArticle(out, &label, CArticle(), 0), store, "label query");
  size_t n = out.size();
  for (CArticle* a : out) delete a;
  return n;
}

std::u16string Folder(const char* side, int i) { return FromUtf8(std::string(side) + std::to_string(i)); }

// libpq with the ODBC store's statements, prepared once, values bound. Its
// label query builds the articles as the two stores do (UTF-16 text, the
// description file path, the times), so that both sides do what a store on
// them must do and the ratio is that of the two ways to the server.
class LibpqSide {
 public:
  explicit LibpqSide(const std::string& conninfo) : m_conn(PQconnectdb(conninfo.c_str())) {
    if (PQstatus(m_conn) != CONNECTION_OK) throw std::runtime_error(PQerrorMessage(m_conn));
    Prepare("same", "SELECT * FROM 文章表 WHERE filename=$1");
    Prepare("first", "SELECT articleid FROM 文章表 WHERE filename=$1 ORDER BY articleid");
    Prepare("insert",
            "INSERT INTO 文章表( url,filename,title,key1,type,labels,label,version,readflag,impflag, crdate,brdate, "
            "lmdate ) VALUES($1,$2,$3,$4,$5,$6, $7, $8,$9,$10, $11,$12,$13) RETURNING articleid");
    Prepare("link", "INSERT INTO 文章标签表(articleid,labelid) VALUES($1,$2)");
    Prepare("bylabel",
            "SELECT 文章表.* FROM 文章表,文章标签表 WHERE 文章表.articleid=文章标签表.articleid AND "
            "文章标签表.labelid=$1");
  }
  ~LibpqSide() { PQfinish(m_conn); }

  void Capture(const std::string& folder, int label) {
    Rows("same", {folder});
    Command("BEGIN");
    Command("LOCK TABLE 文章表 IN SHARE ROW EXCLUSIVE MODE");
    if (Rows("first", {folder}).empty()) {
      std::string crdate = std::to_string(std::time(nullptr));
      auto id = Rows("insert", {"http://example.com/" + folder, folder, "标题 " + folder, "", "B", "1",
                                std::to_string(label), "1", "T", "F", crdate, "0", "0"});
      Rows("link", {id.at(0).at(0), std::to_string(label)});
    }
    Command("COMMIT");
  }
  // The articles of the label as a store on libpq would hand them over:
  // built as the ODBC store and the SQLite store build theirs, text in
  // UTF-16, each with its description file path.
  size_t QueryLabel() {
    const std::string label = std::to_string(kQueriedLabel);
    const char* value = label.c_str();
    PGresult* r = PQexecPrepared(m_conn, "bylabel", 1, &value, nullptr, nullptr, 0);
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
      PQclear(r);
      throw std::runtime_error(PQerrorMessage(m_conn));
    }
    CDescriptionPaths paths;
    std::vector<std::unique_ptr<CArticle>> articles;
    auto text = [&](int row, int column, std::u16string& out) {
      if (!PQgetisnull(r, row, column))
        out = FromUtf8(std::string_view(PQgetvalue(r, row, column), PQgetlength(r, row, column)));
    };
    auto number = [&](int row, int column) { return std::strtoll(PQgetvalue(r, row, column), nullptr, 10); };
    auto isF = [&](int row, int column) {
      return !PQgetisnull(r, row, column) && std::string_view(PQgetvalue(r, row, column)) == "F";
    };
    for (int i = 0; i < PQntuples(r); ++i) {
      auto article = std::make_unique<CArticle>();
      article->articleid = static_cast<int>(number(i, 0));
      text(i, 1, article->filename);
      text(i, 2, article->url);
      text(i, 3, article->title);
      text(i, 4, article->key1);
      text(i, 5, article->type);
      article->labels = static_cast<int>(number(i, 6));
      article->label = static_cast<int>(number(i, 7));
      article->version = static_cast<int>(number(i, 8));
      paths.Fill(article->type, article->filename, article->descfile);
      article->readflag = !isF(i, 9);
      article->impflag = !isF(i, 10);
      article->crdate.SetTimeLong(number(i, 11));
      article->brdate.SetTimeLong(number(i, 12));
      article->lmdate.SetTimeLong(number(i, 13));
      articles.push_back(std::move(article));
    }
    PQclear(r);
    return articles.size();
  }

 private:
  void Prepare(const char* name, const char* sql) {
    PGresult* r = PQprepare(m_conn, name, sql, 0, nullptr);
    bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    if (!ok) throw std::runtime_error(PQerrorMessage(m_conn));
  }
  void Command(const char* sql) {
    PGresult* r = PQexec(m_conn, sql);
    bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    if (!ok) throw std::runtime_error(PQerrorMessage(m_conn));
  }
  // Every row, each field kept as text, as a caller keeps it.
  std::vector<std::vector<std::string>> Rows(const char* name, const std::vector<std::string>& values) {
    std::vector<const char*> params;
    for (const std::string& v : values) params.push_back(v.c_str());
    PGresult* r = PQexecPrepared(m_conn, name, static_cast<int>(params.size()), params.data(), nullptr, nullptr, 0);
    ExecStatusType status = PQresultStatus(r);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
      PQclear(r);
      throw std::runtime_error(PQerrorMessage(m_conn));
    }
    std::vector<std::vector<std::string>> rows(PQntuples(r));
    for (int i = 0; i < PQntuples(r); ++i)
      for (int c = 0; c < PQnfields(r); ++c) rows[i].emplace_back(PQgetvalue(r, i, c), PQgetlength(r, i, c));
    PQclear(r);
    return rows;
  }

  PGconn* m_conn;  // owned
};

// A fresh database on the server, provisioned as daru init does it.
std::string FreshDatabase(const std::string& server, const std::string& name, const fs::path& root) {
  COdbcConnection admin;
  admin.Open(server + "Database=postgres;");
  admin.Execute("DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
  admin.Execute("CREATE DATABASE " + name + " ENCODING 'UTF8' TEMPLATE template0");
  std::string connection = server + "Database=" + name + ";";
  std::string error;
  if (!provision::ProvisionOdbcStore(root, connection, &error)) throw std::runtime_error(error);
  return connection;
}

// "Servername=/dir;Port=5432;Username=u;" -> "host=/dir port=5432 user=u dbname=name"
std::string Conninfo(const std::string& server, const std::string& name) {
  auto field = [&](const std::string& key) {
    size_t at = server.find(key + "=");
    if (at == std::string::npos) return std::string();
    at += key.size() + 1;
    return server.substr(at, server.find(';', at) - at);
  };
  return "host=" + field("Servername") + " port=" + field("Port") + " user=" + field("Username") + " dbname=" + name;
}

void Row(const char* what, const char* side, double mine, const char* baseline, double theirs, double target) {
  double ratio = mine / theirs;
  std::printf("%-26s %-22s %9.1f us   %-16s %9.1f us   %5.2fx  (target %.1fx) %s\n", what, side, mine, baseline, theirs,
              ratio, target, ratio <= target ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: odbc_bench SERVER (an ODBC connection string without a database)\n");
    return 2;
  }
  const std::string server = argv[1];
  try {
    const fs::path root = fs::path(DARU_BENCH_DIR) / "odbc-bench";
    fs::remove_all(root);
    fs::create_directories(root);
    DaruSetModuleFileName(FromUtf8((root / "daru").string()));
    std::string error;
    if (!provision::ProvisionDataRoot(root, &error) || !provision::ProvisionOdbcStore(root, "", &error))
      throw std::runtime_error(error);
    const std::string pgOdbc = FreshDatabase(server, "daru_bench_odbc", root);
    FreshDatabase(server, "daru_bench_libpq", root);

    CDBSqlite sqlite;
    CDBAccess embedded;
    CDBAccess postgres(FromUtf8(pgOdbc));
    for (CDB* store : std::initializer_list<CDB*>{&sqlite, &embedded, &postgres})
      Check(store->InitDB(), *store, "open");
    LibpqSide libpq(Conninfo(server, "daru_bench_libpq"));

    std::vector<double> tSqlite, tEmbedded, tPostgres, tLibpq;
    for (int i = 0; i < kCaptures; ++i) {
      const int label = i < kFiled ? kQueriedLabel : 3;
      tSqlite.push_back(Micros([&] { Capture(sqlite, Folder("s", i), label); }));
      tEmbedded.push_back(Micros([&] { Capture(embedded, Folder("e", i), label); }));
      tPostgres.push_back(Micros([&] { Capture(postgres, Folder("p", i), label); }));
      tLibpq.push_back(Micros([&] { libpq.Capture("l" + std::to_string(i), label); }));
    }
    const double captureSqlite = Median(tSqlite), captureEmbedded = Median(tEmbedded);
    const double capturePostgres = Median(tPostgres), captureLibpq = Median(tLibpq);

    // Both databases plan the join from statistics of the same rows.
    for (const char* name : {"daru_bench_odbc", "daru_bench_libpq"}) {
      COdbcConnection db;
      db.Open(server + "Database=" + name + ";");
      db.Execute("ANALYZE");
    }
    tSqlite.clear(), tEmbedded.clear(), tPostgres.clear(), tLibpq.clear();
    size_t rows[4] = {0, 0, 0, 0};
    for (int i = 0; i < kQueries; ++i) {
      tSqlite.push_back(Micros([&] { rows[0] = QueryLabel(sqlite); }));
      tEmbedded.push_back(Micros([&] { rows[1] = QueryLabel(embedded); }));
      tPostgres.push_back(Micros([&] { rows[2] = QueryLabel(postgres); }));
      tLibpq.push_back(Micros([&] { rows[3] = libpq.QueryLabel(); }));
    }
    for (size_t n : rows)
      if (n != static_cast<size_t>(kFiled)) throw std::runtime_error("a label query found the wrong number of rows");

    std::printf("%d captures and %d label queries of %d articles per side, medians\n", kCaptures, kQueries, kFiled);
    Row("capture", "ODBC, SQLite driver", captureEmbedded, "CDBSqlite", captureSqlite, 2.0);
    Row("label query", "ODBC, SQLite driver", Median(tEmbedded), "CDBSqlite", Median(tSqlite), 2.0);
    Row("capture", "ODBC, PostgreSQL", capturePostgres, "libpq", captureLibpq, 1.5);
    Row("label query", "ODBC, PostgreSQL", Median(tPostgres), "libpq", Median(tLibpq), 1.5);
  } catch (const _com_error& e) {
    std::fprintf(stderr, "odbc_bench: %s\n", ToUtf8(e.Description()).c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "odbc_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
