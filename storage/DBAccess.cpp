#include "storage/DBAccess.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

#include "base/TextConv.h"
#include "base/U16Format.h"
#include "content/PathOps.h"
#include "core/ArticleLocations.h"
#include "storage/OdbcConnection.h"

namespace {

constexpr const char16_t* kMissingComponents = u"本机缺少程序运行所需MDAC组件，请安装该组件后再运行。";
constexpr const char16_t* kNotConnected = u"未能正确连接到数据库,请先调用InitDB连接数据库。";
constexpr const char16_t* kNoLabelName = u"未提供一个有效的标签名。";

// The embedded catalogue's password travels with the connection string; the
// driver ignores what it cannot use.
constexpr const char16_t* kDefaultConnection =
    u"Driver=SQLite3;Database=%s/DARU/Data/zevdata.mdb;PWD=2#4!6&;Timeout=60000;";

// Every value is a bound parameter; the texts below never carry one.
constexpr const char* kInsertLabel = "INSERT INTO 标签表(name,toplayer)  VALUES(?,?)";
constexpr const char* kUpdateLabel = "UPDATE 标签表 SET name=?,toplayer=? WHERE labelid=?";
constexpr const char* kDeleteLabel = "DELETE FROM 标签表 WHERE labelid=?";
constexpr const char* kLinksOfLabel = "SELECT * FROM 文章标签表 WHERE labelid=?";
constexpr const char* kCountDown = "UPDATE 文章表 SET labels=labels-1 WHERE articleid=?";
constexpr const char* kCountUp = "UPDATE 文章表 SET labels=labels+1 WHERE articleid=?";
constexpr const char* kDeleteUnheld = "DELETE FROM 文章表 WHERE labels<1";
constexpr const char* kDeleteLabelLinks = "DELETE FROM 文章标签表 WHERE labelid=?";
constexpr const char* kAllLabels = "SELECT * FROM 标签表 order by toplayer,labelid";
constexpr const char* kArticleTypes = "SELECT * FROM 文章类型表";
constexpr const char* kFindLink = "SELECT * FROM 文章标签表 WHERE articleid=? AND labelid=?";
constexpr const char* kInsertLink = "INSERT INTO 文章标签表(articleid,labelid) VALUES(?,?)";
constexpr const char* kDeleteLink = "DELETE FROM 文章标签表 WHERE articleid=? AND labelid=?";
constexpr const char* kDeleteLinks = "DELETE FROM 文章标签表 WHERE articleid=?";
constexpr const char* kSameFile = "SELECT articleid FROM 文章表 WHERE filename=? ORDER BY articleid";
constexpr const char* kInsertArticle =
    "INSERT INTO 文章表( url,filename,title,key1,type,labels,label,version,readflag,impflag, crdate,brdate, lmdate ) "
    "VALUES(?,?,?,?,?,?, ?, ?,?,?, ?,?,?)";
constexpr const char* kArticlesOfLabel =
    "SELECT 文章表.* FROM 文章表,文章标签表 WHERE 文章表.articleid=文章标签表.articleid AND 文章标签表.labelid=?";
constexpr const char* kUpdateArticle =
    "UPDATE 文章表 SET title=?,key1=?,labels=?,version=?,readflag=?,impflag=?, crdate=?, brdate=?, lmdate=? WHERE "
    "articleid=?";
constexpr const char* kDeleteArticle = "DELETE FROM 文章表 WHERE articleid=?";
constexpr const char* kDeleteIfUnheld = "DELETE FROM 文章表 WHERE articleid=? AND labels<1";
constexpr const char* kSetLabelCount = "UPDATE 文章表 SET labels=? WHERE articleid=?";
constexpr const char* kArticleTable = "文章表";

const char* Flag(bool value) { return value ? "T" : "F"; }

// The leading decimal integer of a field, as atoi reads it; 0 for NULL.
int IntField(const COdbcRow& row, size_t index) {
  if (index >= row.size() || !row[index]) return 0;
  return static_cast<int>(std::strtol(row[index]->c_str(), nullptr, 10));
}

// A substring pattern: the value between percent signs, whose own wildcards
// keep their meaning. PostgreSQL compares case-blind only with ILIKE, and
// would take a backslash in the value as an escape.
std::string LikeCondition(COdbcConnection::Dialect dialect, const char* column) {
  if (dialect == COdbcConnection::Dialect::PostgreSQL) return std::string(column) + " ILIKE ? ESCAPE ''";
  return std::string(column) + " LIKE ?";
}

std::string LikeValue(const std::u16string& text) { return "%" + ToUtf8(text) + "%"; }

// Rolls back unless committed, so a failure inside leaves the catalogue as
// it was.
class CTransaction {
 public:
  CTransaction(COdbcConnection& connection, const char* lockTable = nullptr) : m_connection(connection) {
    m_connection.Begin(lockTable);
  }
  ~CTransaction() {
    if (!m_committed) m_connection.Rollback();
  }
  CTransaction(const CTransaction&) = delete;
  CTransaction& operator=(const CTransaction&) = delete;
  void Commit() {
    m_connection.Commit();
    m_committed = true;
  }

 private:
  COdbcConnection& m_connection;  // borrowed: the store's connection
  bool m_committed = false;
};

}  // namespace

CDBAccess::CDBAccess() = default;
CDBAccess::CDBAccess(std::u16string connectionString) : m_connectionString(std::move(connectionString)) {}
CDBAccess::CDBAccess(const CDBAccess& other) = default;
CDBAccess& CDBAccess::operator=(const CDBAccess& other) = default;
CDBAccess::~CDBAccess() = default;

std::u16string CDBAccess::DefaultConnectionString() { return Fmt(kDefaultConnection, GetDataRoot()); }

std::u16string CDBAccess::GetComError(const _com_error& error) { return ComErrorText(error); }

std::u16string CDBAccess::EscapeQuote(std::u16string text) { return text; }

std::u16string CDBAccess::GetFieldValue(const COdbcRow& fields, int index) {
  if (index < 0 || static_cast<size_t>(index) >= fields.size() || !fields[index]) return {};
  return FromUtf8(*fields[index]);
}

bool CDBAccess::ExecuteSQL(COdbcConnection* connection, const std::u16string& statement) {
  try {
    if (connection == nullptr || !connection->IsOpen()) throw _com_error(E_POINTER);
    connection->Execute(ToUtf8(statement));
    return true;
  } catch (const _com_error& e) {
    SetLastDBError(GetComError(e));
    return false;
  }
}

COdbcConnection& CDBAccess::Connection() {
  if (!m_connection || !m_connection->IsOpen()) throw _com_error(E_POINTER);
  return *m_connection;
}

template <class Body>
bool CDBAccess::Guarded(Body&& body) {
  try {
    return body();
  } catch (const _com_error& e) {
    SetLastDBError(GetComError(e));
  } catch (const std::bad_alloc&) {
    SetLastDBError(GetComError(_com_error(E_OUTOFMEMORY)));
  }
  return false;
}

bool CDBAccess::InitDB() {
  const std::u16string text = m_connectionString.empty() ? DefaultConnectionString() : m_connectionString;
  auto connection = std::make_shared<COdbcConnection>();
  try {
    connection->Open(ToUtf8(text));
    if (connection->GetDialect() == COdbcConnection::Dialect::SQLite) {
      // As the SQLite store does: with a write-ahead log a commit need not
      // wait for the disk, and the catalogue stays whole after a power cut.
      std::vector<COdbcRow> mode = connection->Query("PRAGMA journal_mode");
      if (!mode.empty() && !mode[0].empty() && mode[0][0] == "wal") connection->Execute("PRAGMA synchronous=NORMAL");
    }
  } catch (const COdbcError& e) {
    // No driver manager, or no driver where the string names one (IM003), or
    // the embedded default's driver is not registered (IM002).
    if (e.SqlState() == "IM003" || (m_connectionString.empty() && e.SqlState() == "IM002"))
      SetLastDBError(kMissingComponents);
    else
      SetLastDBError(GetComError(e));
    return false;
  } catch (const _com_error& e) {
    SetLastDBError(GetComError(e));
    return false;
  }
  m_connection = std::move(connection);
  return true;
}

bool CDBAccess::AddLabel(CLabel& label) {
  if (!m_connection || !m_connection->IsOpen()) {
    SetLastDBError(kNotConnected);
    return false;
  }
  if (label.name.empty()) {
    SetLastDBError(kNoLabelName);
    return false;
  }
  return Guarded([&] {
    COdbcConnection& db = Connection();
    // The key of the row this connection inserted, whatever another writer added since.
    std::optional<long long> labelid = db.Insert(kInsertLabel, {label.name, label.toplayer}, "labelid");
    if (!labelid) return false;
    label.labelid = static_cast<int>(*labelid);
    return true;
  });
}

bool CDBAccess::UpdateLabel(CLabel& label) {
  return Guarded([&] { return Connection().Execute(kUpdateLabel, {label.name, label.toplayer, label.labelid}) > 0; });
}

bool CDBAccess::DeleteLabel(CLabel& label) {
  return Guarded([&] {
    COdbcConnection& db = Connection();
    CTransaction transaction(db);
    if (db.Execute(kDeleteLabel, {label.labelid}) <= 0) return false;
    for (const COdbcRow& link : db.Query(kLinksOfLabel, {label.labelid}))
      if (db.Execute(kCountDown, {IntField(link, 1)}) <= 0) return false;
    db.Execute(kDeleteUnheld);
    db.Execute(kDeleteLabelLinks, {label.labelid});
    transaction.Commit();
    return true;
  });
}

bool CDBAccess::QueryLabel(std::vector<CLabel*>& out, CLabel pattern, unsigned mask) {
  return Guarded([&] {
    COdbcConnection& db = Connection();
    std::string sql = kAllLabels;
    std::vector<COdbcValue> values;
    if (mask != 0) {
      sql = "SELECT * FROM 标签表 WHERE ";
      bool first = true;
      if (mask & 1) {
        sql += "labelid=?";
        values.emplace_back(pattern.labelid);
        first = false;
      }
      if (mask & 2) {
        sql += first ? "name=?" : " AND name=?";
        values.emplace_back(pattern.name);
        first = false;
      }
      if (mask & 4) {
        sql += first ? "toplayer=?" : " AND toplayer=?";
        values.emplace_back(pattern.toplayer);
      }
    }
    for (const COdbcRow& row : db.Query(sql, values)) {
      auto label = std::make_unique<CLabel>();
      label->labelid = IntField(row, 0);
      label->name = GetFieldValue(row, 1);
      label->toplayer = IntField(row, 2);
      out.push_back(label.get());
      label.release();
    }
    return true;
  });
}

bool CDBAccess::QueryArticleType(std::vector<CArticleType>& out) {
  return Guarded([&] {
    for (const COdbcRow& row : Connection().Query(kArticleTypes))
      out.emplace_back(IntField(row, 0), GetFieldValue(row, 1), GetFieldValue(row, 2));
    return true;
  });
}

bool CDBAccess::QueryLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] { return !Connection().Query(kFindLink, {link.articleid, link.labelid}).empty(); });
}

bool CDBAccess::InsertLink(const CLabelToArticle& link) {
  return Connection().Execute(kInsertLink, {link.articleid, link.labelid}) > 0;
}

bool CDBAccess::AddLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] { return InsertLink(link); });
}

bool CDBAccess::DeleteLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] {
    if (link.labelid != 0)
      Connection().Execute(kDeleteLink, {link.articleid, link.labelid});
    else
      Connection().Execute(kDeleteLinks, {link.articleid});
    return true;
  });
}

bool CDBAccess::AddArticle(CArticle& article) {
  return Guarded([&] {
    COdbcConnection& db = Connection();
    // The row and its first link go in together, and other writers wait, so
    // that two captures of one link keep one article.
    CTransaction transaction(db, kArticleTable);
    if (!article.filename.empty()) {
      std::vector<COdbcRow> same = db.Query(kSameFile, {article.filename});
      if (!same.empty()) {
        CLabelToArticle link(article.label, IntField(same[0], 0));
        bool already = !db.Query(kFindLink, {link.articleid, link.labelid}).empty();
        if (!already && (!InsertLink(link) || db.Execute(kCountUp, {link.articleid}) <= 0)) return false;
        transaction.Commit();
        article.articleid = link.articleid;
        return true;
      }
    }
    std::optional<long long> inserted =
        db.Insert(kInsertArticle,
                  {article.url, article.filename, article.title, article.key1, article.type, 1, article.label, 1, "T",
                   "F", article.crdate.GetTimeLong(), 0L, 0L},
                  "articleid");
    if (!inserted) return false;
    int articleid = static_cast<int>(*inserted);
    if (!InsertLink(CLabelToArticle(article.label, articleid))) return false;
    transaction.Commit();
    article.articleid = articleid;
    return true;
  });
}

void CDBAccess::LoadArticles(const std::vector<COdbcRow>& rows, std::vector<CArticle*>& out) {
  for (const COdbcRow& row : rows) {
    auto article = std::make_unique<CArticle>();
    article->articleid = IntField(row, 0);
    article->filename = GetFieldValue(row, 1);
    article->url = GetFieldValue(row, 2);
    article->title = GetFieldValue(row, 3);
    article->key1 = GetFieldValue(row, 4);
    article->type = GetFieldValue(row, 5);
    article->labels = IntField(row, 6);
    article->label = IntField(row, 7);
    article->version = IntField(row, 8);
    article->descfile = article->GetDescriptionFilename();
    article->readflag = GetFieldValue(row, 9) != u"F";
    article->impflag = GetFieldValue(row, 10) != u"F";
    article->crdate.SetTimeLong(IntField(row, 11));
    article->brdate.SetTimeLong(IntField(row, 12));
    article->lmdate.SetTimeLong(IntField(row, 13));
    out.push_back(article.get());
    article.release();
  }
}

bool CDBAccess::QueryArticle(std::vector<CArticle*>& out, CLabel* label, CArticle pattern, unsigned mask) {
  if (label == nullptr) return false;
  return Guarded([&] {
    LoadArticles(Connection().Query(kArticlesOfLabel, {label->labelid}), out);
    return true;
  });
}

bool CDBAccess::QueryArticle(std::vector<CArticle*>& out, CArticle pattern, unsigned mask, bool like) {
  return Guarded([&] {
    COdbcConnection& db = Connection();
    std::string sql = "SELECT * FROM 文章表";
    std::vector<COdbcValue> values;
    if (mask != 0) {
      sql += " WHERE ";
      bool first = true;
      auto condition = [&](const std::string& text) {
        if (!first) sql += " AND ";
        sql += text;
        first = false;
      };
      if (mask & 1) {
        condition("articleid=?");
        values.emplace_back(pattern.articleid);
      }
      if (mask & 2) {
        condition(like ? LikeCondition(db.GetDialect(), "title") : "title=?");
        values.emplace_back(like ? LikeValue(pattern.title) : ToUtf8(pattern.title));
      }
      if (mask & 4) {
        condition("filename=?");
        values.emplace_back(pattern.filename);
      }
      if (mask & 8) {
        condition(like ? LikeCondition(db.GetDialect(), "key1") : "key1=?");
        values.emplace_back(like ? LikeValue(pattern.key1) : ToUtf8(pattern.key1));
      }
      // Without a known bit the statement stays incomplete and fails, as the
      // SQLite store's does.
    }
    LoadArticles(db.Query(sql, values), out);
    return true;
  });
}

bool CDBAccess::UpdateArticle(CArticle& article) {
  return Guarded([&] {
    return Connection().Execute(kUpdateArticle,
                                {article.title, article.key1, article.labels, article.version, Flag(article.readflag),
                                 Flag(article.impflag), article.crdate.GetTimeLong(), article.brdate.GetTimeLong(),
                                 article.lmdate.GetTimeLong(), article.articleid}) > 0;
  });
}

bool CDBAccess::DeleteArticle(CArticle* article, CLabel* label) {
  if (article == nullptr) return false;
  return Guarded([&] {
    COdbcConnection& db = Connection();
    bool lastLabelGone = false;
    {
      CTransaction transaction(db);
      if (label == nullptr) {
        if (db.Execute(kDeleteLinks, {article->articleid}) <= 0) return false;
        if (db.Execute(kDeleteArticle, {article->articleid}) <= 0) return false;
      } else {
        if (db.Execute(kDeleteLink, {article->articleid, label->labelid}) <= 0) return false;
        if (db.Execute(kCountDown, {article->articleid}) <= 0) return false;
        lastLabelGone = db.Execute(kDeleteIfUnheld, {article->articleid}) > 0;
      }
      transaction.Commit();
    }
    if (lastLabelGone) RemoveArticleFiles(article->type, article->filename);
    return true;
  });
}

bool CDBAccess::ReplaceArticleLabels(int articleid, const std::vector<int>& labelids, int& failedLabel) {
  failedLabel = 0;
  return Guarded([&] {
    COdbcConnection& db = Connection();
    CTransaction transaction(db);
    db.Execute(kDeleteLinks, {articleid});
    std::vector<int> written;
    for (int labelid : labelids) {
      if (std::find(written.begin(), written.end(), labelid) != written.end()) continue;
      // Stays set if the insert throws, so the caller can name the label.
      failedLabel = labelid;
      if (!InsertLink(CLabelToArticle(labelid, articleid))) {
        SetLastDBError(u"文章的标签链接未能写入。");
        return false;
      }
      written.push_back(labelid);
    }
    failedLabel = 0;
    const long long changed = written.empty()
                                  ? db.Execute(kDeleteArticle, {articleid})
                                  : db.Execute(kSetLabelCount, {static_cast<int>(written.size()), articleid});
    if (changed <= 0) {
      // No such article: links to it must not stay behind.
      SetLastDBError(u"文章不存在。");
      return false;
    }
    transaction.Commit();
    return true;
  });
}
