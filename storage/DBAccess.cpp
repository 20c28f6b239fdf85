#include "storage/DBAccess.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <set>

#include "base/TextConv.h"
#include "base/U16Format.h"
#include "content/PathOps.h"
#include "core/ArticleLocations.h"
#include "storage/AccessStatements.h"
#include "storage/CatalogueStatements.h"
#include "storage/OdbcConnection.h"
#include "storage/OdbcPackedRow.h"

namespace {

constexpr const char16_t* kMissingComponents = u"本机缺少程序运行所需MDAC组件，请安装该组件后再运行。";
constexpr const char16_t* kNotConnected = u"未能正确连接到数据库,请先调用InitDB连接数据库。";
constexpr const char16_t* kNoLabelName = u"未提供一个有效的标签名。";

// The embedded catalogue's password travels with the connection string; the
// driver ignores what it cannot use.
constexpr const char16_t* kDefaultConnection =
    u"Driver=SQLite3;Database=%s/DARU/Data/zevdata.mdb;PWD=2#4!6&;Timeout=60000;";

// The table that a capture holds until it commits, so that two captures of
// one link keep one article.
constexpr const char* kArticleTable = "文章表";
// The table that a change of a label's parent holds until it commits, so
// that two processes moving labels under each other cannot make a loop.
constexpr const char* kLabelTable = "标签表";

// The leading decimal integer of a field, as atoi reads it; 0 for NULL.
int IntField(const COdbcRow& row, size_t index) {
  if (index >= row.size() || !row[index]) return 0;
  return static_cast<int>(std::strtol(row[index]->c_str(), nullptr, 10));
}

// The columns of 文章表, which an article query reads in their order.
constexpr size_t kArticleColumns = 14;

// Builds the articles of one query from their rows (the columns in the
// order of 文章表), each with its description file path.
class CArticleReader {
 public:
  std::unique_ptr<CArticle> Read(COdbcFields row) {
    auto article = std::make_unique<CArticle>();
    article->articleid = Int(row, 0);
    Text(row, 1, article->filename);
    Text(row, 2, article->url);
    Text(row, 3, article->title);
    Text(row, 4, article->key1);
    Text(row, 5, article->type);
    article->labels = Int(row, 6);
    article->label = Int(row, 7);
    article->version = Int(row, 8);
    m_paths.Fill(article->type, article->filename, article->descfile);
    article->readflag = !IsF(row, 9);
    article->impflag = !IsF(row, 10);
    article->crdate.SetTimeLong(Int64(row, 11));
    article->brdate.SetTimeLong(Int64(row, 12));
    article->lmdate.SetTimeLong(Int64(row, 13));
    return article;
  }

 private:
  // The leading decimal integer of a field, as atoi reads it; 0 for NULL.
  static int Int(COdbcFields row, size_t index) { return static_cast<int>(Int64(row, index)); }
  // The same for the time columns, which hold 64-bit values.
  static long long Int64(COdbcFields row, size_t index) { return index < row.size() ? row[index].Int() : 0; }
  static void Text(COdbcFields row, size_t index, std::u16string& out) {
    if (index >= row.size() || row[index].IsNull()) return;
    if (row[index].kind == COdbcField::Kind::Number)
      out = FromUtf8(row[index].Text());
    else
      out = FromUtf8(row[index].text);
  }
  // A flag is set unless its text is "F"; NULL sets it.
  static bool IsF(COdbcFields row, size_t index) {
    return index < row.size() && row[index].kind == COdbcField::Kind::Text && row[index].text == "F";
  }

  CDescriptionPaths m_paths;
};

void Hand(std::vector<std::unique_ptr<CArticle>>& loaded, std::vector<CArticle*>& out) {
  out.reserve(out.size() + loaded.size());
  for (std::unique_ptr<CArticle>& article : loaded) out.push_back(article.release());
  loaded.clear();
}

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

// The catalogue's fields of a row, and nothing of the capture item: a feed
// item lent to the record must stay the lender's.
void TakeRow(CArticle& record, const CArticle& row) {
  record.articleid = row.articleid;
  record.filename = row.filename;
  record.url = row.url;
  record.title = row.title;
  record.key1 = row.key1;
  record.type = row.type;
  record.descfile = row.descfile;
  record.labels = row.labels;
  record.label = row.label;
  record.version = row.version;
  record.crdate = row.crdate;
  record.brdate = row.brdate;
  record.lmdate = row.lmdate;
  record.readflag = row.readflag;
  record.impflag = row.impflag;
}

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

long long CDBAccess::Run(const CSqlStatement& statement) {
  COdbcConnection& db = Connection();
  CAccessStatement access = ForAccess(statement, db.GetDialect());
  return db.Execute(access.sql, access.values);
}

std::vector<COdbcRow> CDBAccess::Rows(const CSqlStatement& statement) {
  COdbcConnection& db = Connection();
  CAccessStatement access = ForAccess(statement, db.GetDialect());
  return db.Query(access.sql, access.values);
}

std::optional<long long> CDBAccess::InsertRow(const CSqlStatement& statement, const char* keyColumn) {
  COdbcConnection& db = Connection();
  CAccessStatement access = ForAccess(statement, db.GetDialect());
  return db.Insert(access.sql, access.values, keyColumn);
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
    // A separator in the data root would end the file name early and let the
    // rest of the folder name be read as further settings.
    if (m_connectionString.empty() && GetDataRoot().find_first_of(u";{}") != std::u16string::npos)
      throw _com_error(E_INVALIDARG, u"",
                       u"the data root holds a character (; { }) that a connection string cannot carry");
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
    // The key of the row this connection inserted, whatever another writer added since.
    std::optional<long long> labelid = InsertRow(CCatalogueStatements::InsertLabel(label), "labelid");
    if (!labelid) return false;
    label.labelid = static_cast<int>(*labelid);
    return true;
  });
}

bool CDBAccess::UpdateLabel(CLabel& label) {
  return Guarded([&] {
    CTransaction transaction(Connection(), kLabelTable);
    if (!ParentIsOutsideBranch(label)) return false;
    if (Run(CCatalogueStatements::UpdateLabel(label)) <= 0) return false;
    transaction.Commit();
    return true;
  });
}

bool CDBAccess::RenameLabel(CLabel& label) {
  return Guarded([&] {
    CTransaction transaction(Connection());
    if (Run(CCatalogueStatements::RenameLabel(label)) <= 0) return false;
    std::vector<COdbcRow> row = Rows(CCatalogueStatements::ParentOf(label.labelid));
    const int toplayer = row.empty() ? label.toplayer : IntField(row[0], 0);
    transaction.Commit();
    label.toplayer = toplayer;
    return true;
  });
}

bool CDBAccess::MoveLabel(CLabel& label) {
  return Guarded([&] {
    CTransaction transaction(Connection(), kLabelTable);
    if (!ParentIsOutsideBranch(label)) return false;
    if (Run(CCatalogueStatements::MoveLabel(label)) <= 0) return false;
    CLabel pattern;
    pattern.labelid = label.labelid;
    std::vector<COdbcRow> row = Rows(CCatalogueStatements::QueryLabel(pattern, kLabelMaskID));
    std::u16string name = row.empty() ? label.name : GetFieldValue(row[0], 1);
    transaction.Commit();
    label.name = std::move(name);
    return true;
  });
}

bool CDBAccess::ParentIsOutsideBranch(const CLabel& label) {
  // Up the parents the catalogue holds now (another process may have moved a
  // label since ours were loaded); a walk that meets a loop already there
  // ends after as many steps as there are labels.
  std::vector<COdbcRow> total = Rows(CCatalogueStatements::CountLabels());
  long long steps = total.empty() ? 0 : IntField(total[0], 0);
  for (int at = label.toplayer; at != 0 && steps-- >= 0;) {
    if (at == label.labelid) {
      SetLastDBError(Fmt(u"label #%d cannot be moved under itself or a label of its own branch", label.labelid));
      return false;
    }
    std::vector<COdbcRow> up = Rows(CCatalogueStatements::ParentOf(at));
    at = up.empty() ? 0 : IntField(up[0], 0);
  }
  return true;
}

bool CDBAccess::DeleteLabel(CLabel& label) {
  std::vector<CArticle> gone;
  const bool deleted = Guarded([&] {
    COdbcConnection& db = Connection();
    CTransaction transaction(db);
    if (Run(CCatalogueStatements::DeleteLabel(label.labelid)) <= 0) return false;
    std::set<int> held;
    for (const COdbcRow& link : Rows(CCatalogueStatements::LinksOfLabel(label.labelid))) held.insert(IntField(link, 1));
    Run(CCatalogueStatements::DeleteLinksOfLabel(label.labelid));
    // An article goes only when no link to it is left, whatever its count
    // says: a count that drifted must not take an article filed elsewhere.
    for (int articleid : held) {
      if (Recount(articleid) != 0) continue;
      CArticle pattern;
      pattern.articleid = articleid;
      std::vector<COdbcRow> row = Rows(CCatalogueStatements::QueryArticle(pattern, kArticleMaskID, false));
      if (row.empty()) continue;  // a link that named no article
      CArticle article;
      article.articleid = articleid;
      article.filename = GetFieldValue(row[0], 1);
      article.type = GetFieldValue(row[0], 5);
      if (Run(CCatalogueStatements::DeleteArticle(articleid)) > 0) gone.push_back(std::move(article));
    }
    transaction.Commit();
    return true;
  });
  if (!deleted) return false;
  // Their files go as they do when the last label is taken off one at a time.
  for (const CArticle& article : gone) RemoveArticleFiles(article.type, article.filename);
  return true;
}

int CDBAccess::Recount(int articleid) {
  Run(CCatalogueStatements::Recount(articleid));
  std::vector<COdbcRow> row = Rows(CCatalogueStatements::CountLinks(articleid));
  return row.empty() ? 0 : IntField(row[0], 0);
}

bool CDBAccess::QueryLabel(std::vector<CLabel*>& out, CLabel pattern, unsigned mask) {
  return Guarded([&] {
    for (const COdbcRow& row : Rows(CCatalogueStatements::QueryLabel(pattern, mask))) {
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
    for (const COdbcRow& row : Rows(CCatalogueStatements::QueryArticleType()))
      out.emplace_back(IntField(row, 0), GetFieldValue(row, 1), GetFieldValue(row, 2));
    return true;
  });
}

bool CDBAccess::QueryLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] { return !Rows(CCatalogueStatements::FindLink(link.articleid, link.labelid)).empty(); });
}

bool CDBAccess::InsertLink(const CLabelToArticle& link) {
  return Run(CCatalogueStatements::InsertLink(link.articleid, link.labelid)) > 0;
}

bool CDBAccess::AddLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] { return InsertLink(link); });
}

bool CDBAccess::DeleteLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] {
    if (link.labelid != 0)
      Run(CCatalogueStatements::DeleteLink(link.articleid, link.labelid));
    else
      Run(CCatalogueStatements::DeleteLinksOfArticle(link.articleid));
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
      std::vector<COdbcRow> same = Rows(CCatalogueStatements::ArticlesNamed(article.filename));
      if (!same.empty()) {
        CLabelToArticle link(article.label, IntField(same[0], 0));
        bool already = !Rows(CCatalogueStatements::FindLink(link.articleid, link.labelid)).empty();
        if (!already) {
          if (!InsertLink(link)) return false;
          Recount(link.articleid);
        }
        transaction.Commit();
        article.articleid = link.articleid;
        return true;
      }
    }
    std::optional<long long> inserted = InsertRow(CCatalogueStatements::InsertArticle(article), "articleid");
    if (!inserted) return false;
    int articleid = static_cast<int>(*inserted);
    if (!InsertLink(CLabelToArticle(article.label, articleid))) return false;
    transaction.Commit();
    article.articleid = articleid;
    return true;
  });
}

void CDBAccess::LoadArticles(const CSqlStatement& statement, std::vector<CArticle*>& out) {
  COdbcConnection& db = Connection();
  const CAccessStatement access = ForAccess(statement, db.GetDialect());
  CArticleReader reader;
  std::vector<std::unique_ptr<CArticle>> loaded;
  auto restart = [&] { loaded.clear(); };
  // Both drivers copy every field they hand over into an allocation of its
  // own and convert it once more on the fetch: for the fourteen columns of
  // an article that costs more than the query does in the SQLite store or
  // over libpq. Asked for as one text, a row is one field, split here.
  if (std::optional<std::string> packed = PackedArticleQuery(access.sql, db.GetDialect())) {
    const bool json = db.GetDialect() == COdbcConnection::Dialect::SQLite;
    bool split = true;
    std::vector<COdbcField> fields;
    std::string decoded;
    try {
      db.ForEachRow(
          *packed, access.values,
          [&](COdbcFields row) {
            if (!split) return;
            split =
                row.size() == 1 && !row[0].IsNull() &&
                (json ? SplitJsonRow(row[0].text, fields, decoded) : SplitRecordRow(row[0].text, fields, decoded)) &&
                fields.size() == kArticleColumns;
            if (split) loaded.push_back(reader.Read(fields));
          },
          restart);
    } catch (const COdbcError&) {
      // On SQLite an engine without JSON functions, or a value JSON cannot
      // hold (a blob): the rows are read field by field. A PostgreSQL
      // transaction that failed is over, and so is its reading.
      if (db.InTransaction() && db.GetDialect() == COdbcConnection::Dialect::PostgreSQL) throw;
      split = false;
    }
    if (split) {
      Hand(loaded, out);
      return;
    }
    loaded.clear();
  }
  db.ForEachRow(
      access.sql, access.values, [&](COdbcFields row) { loaded.push_back(reader.Read(row)); }, restart);
  Hand(loaded, out);
}

bool CDBAccess::QueryArticle(std::vector<CArticle*>& out, CLabel* label, CArticle pattern, unsigned mask) {
  if (label == nullptr) return false;
  return Guarded([&] {
    LoadArticles(CCatalogueStatements::ArticlesOfLabel(label->labelid), out);
    return true;
  });
}

bool CDBAccess::QueryArticle(std::vector<CArticle*>& out, CArticle pattern, unsigned mask, bool like) {
  return Guarded([&] {
    // Without a known bit the statement stays incomplete and fails, as the
    // SQLite store's does.
    LoadArticles(CCatalogueStatements::QueryArticle(pattern, mask, like), out);
    return true;
  });
}

bool CDBAccess::UpdateArticle(CArticle& article) {
  return Guarded([&] { return Run(CCatalogueStatements::UpdateArticle(article)) > 0; });
}

bool CDBAccess::DeleteArticle(CArticle* article, CLabel* label) {
  if (article == nullptr) return false;
  return Guarded([&] {
    COdbcConnection& db = Connection();
    bool lastLabelGone = false;
    {
      CTransaction transaction(db);
      if (label == nullptr) {
        if (Run(CCatalogueStatements::DeleteLinksOfArticle(article->articleid)) <= 0) return false;
        if (Run(CCatalogueStatements::DeleteArticle(article->articleid)) <= 0) return false;
      } else {
        if (Run(CCatalogueStatements::DeleteLink(article->articleid, label->labelid)) <= 0) return false;
        // By the links left, not by the count: the row goes with its last link.
        if (Recount(article->articleid) == 0) {
          if (Run(CCatalogueStatements::DeleteArticle(article->articleid)) <= 0) return false;
          lastLabelGone = true;
        }
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
    Run(CCatalogueStatements::DeleteLinksOfArticle(articleid));
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
    const long long changed =
        written.empty() ? Run(CCatalogueStatements::DeleteArticle(articleid))
                        : Run(CCatalogueStatements::SetLabelCount(articleid, static_cast<int>(written.size())));
    if (changed <= 0) {
      // No such article: links to it must not stay behind.
      SetLastDBError(u"文章不存在。");
      return false;
    }
    transaction.Commit();
    return true;
  });
}

int CDBAccess::FileArticle(CArticle& article, int labelid) {
  int result = -1;
  Guarded([&] {
    // Other writers wait, as for a capture: two processes filing one article
    // at once must neither link it twice nor count past each other's link.
    CTransaction transaction(Connection(), kArticleTable);
    if (!Rows(CCatalogueStatements::FindLink(article.articleid, labelid)).empty()) {
      result = 1;
      return true;
    }
    if (!InsertLink(CLabelToArticle(labelid, article.articleid))) return false;
    const int links = Recount(article.articleid);
    CArticle pattern;
    pattern.articleid = article.articleid;
    if (Rows(CCatalogueStatements::QueryArticle(pattern, kArticleMaskID, false)).empty())
      return false;  // no such article: the link goes again
    transaction.Commit();
    article.labels = links;
    result = 0;
    return true;
  });
  return result;
}

int CDBAccess::CaptureArticle(CArticle& article) {
  int result = -1;
  Guarded([&] {
    // Other writers wait, and the look for the link and the write share the
    // transaction: of two processes capturing one link, the second finds the
    // first one's row.
    CTransaction transaction(Connection(), kArticleTable);
    int stored = 0;
    if (!article.filename.empty()) {
      std::vector<COdbcRow> same = Rows(CCatalogueStatements::ArticlesNamed(article.filename));
      if (!same.empty()) stored = IntField(same[0], 0);
    }
    if (stored == 0) {
      std::optional<long long> inserted = InsertRow(CCatalogueStatements::InsertArticle(article), "articleid");
      if (!inserted) return false;
      const int articleid = static_cast<int>(*inserted);
      if (!InsertLink(CLabelToArticle(article.label, articleid))) return false;
      transaction.Commit();
      article.articleid = articleid;
      article.labels = 1;
      article.version = 1;
      result = 0;
      return true;
    }
    const bool already = !Rows(CCatalogueStatements::FindLink(stored, article.label)).empty();
    if (!already) {
      if (!InsertLink(CLabelToArticle(article.label, stored))) {
        SetLastDBError(u"文章的标签链接未能写入。");
        return false;
      }
      Recount(stored);
    }
    CArticle pattern;
    pattern.articleid = stored;
    std::vector<CArticle*> rows;
    LoadArticles(CCatalogueStatements::QueryArticle(pattern, kArticleMaskID, false), rows);
    std::vector<std::unique_ptr<CArticle>> owned(rows.begin(), rows.end());
    if (owned.empty()) return false;
    transaction.Commit();
    TakeRow(article, *owned.front());
    result = already ? 2 : 1;
    return true;
  });
  return result;
}

int CDBAccess::FindOrAddLabel(CLabel& label) {
  if (!m_connection || !m_connection->IsOpen()) {
    SetLastDBError(kNotConnected);
    return -1;
  }
  if (label.name.empty()) {
    SetLastDBError(kNoLabelName);
    return -1;
  }
  int result = -1;
  Guarded([&] {
    // The label table held until the commit: a second process looking for
    // the same name waits and then finds this one's row.
    CTransaction transaction(Connection(), kLabelTable);
    CLabel pattern;
    pattern.name = label.name;
    pattern.toplayer = label.toplayer;
    int found = 0;
    for (const COdbcRow& row : Rows(CCatalogueStatements::QueryLabel(pattern, kLabelMaskName | kLabelMaskParent))) {
      const int id = IntField(row, 0);
      if (found == 0 || id < found) found = id;
    }
    const bool added = found == 0;
    if (added) {
      std::optional<long long> labelid = InsertRow(CCatalogueStatements::InsertLabel(label), "labelid");
      if (!labelid) return false;
      found = static_cast<int>(*labelid);
    }
    transaction.Commit();
    label.labelid = found;
    result = added ? 0 : 1;
    return true;
  });
  return result;
}
