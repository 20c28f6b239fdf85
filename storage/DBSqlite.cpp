#include "storage/DBSqlite.h"

#include <algorithm>
#include <memory>
#include <new>

#include "base/U16Format.h"
#include "content/PathOps.h"
#include "core/ArticleLocations.h"

namespace {

// Every text value goes into its statement between single quotes, so each
// quote inside it is doubled: a quote then stays a character of the value and
// no value can end its literal early. LIKE wildcards keep their meaning.
std::u16string Q(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    out += c;
    if (c == u'\'') out += u'\'';
  }
  return out;
}

const char16_t* Flag(bool value) { return value ? u"T" : u"F"; }

// Later fragments of a pattern query; the blank keeps a number in front of
// "AND" a token of its own.
const char16_t* Joined(bool first, const char16_t* firstForm, const char16_t* laterForm) {
  return first ? firstForm : laterForm;
}

}  // namespace

CDB* CreateStore(int type) {
  if (type != 1) return nullptr;
  return new (std::nothrow) CDBSqlite();
}

CDBSqlite::CDBSqlite() = default;
CDBSqlite::~CDBSqlite() = default;

bool CDBSqlite::InitDB() {
  return Guarded([&] {
    m_db.Open(GetCatalogueFile());
    SetJournalSync();
    return true;
  });
}

void CDBSqlite::SetJournalSync() {
  // With a write-ahead log a commit need not wait for the disk: a power cut
  // may take the last commits back, but the catalogue stays whole. The
  // rollback journal keeps the engine's full sync, without which it could
  // not promise even that. A file that is no catalogue fails later, at its
  // first statement, as it always did.
  try {
    CSQLiteQuery mode = m_db.Query(u"PRAGMA journal_mode");
    bool wal = !mode.IsEof() && mode.GetString(0, u"") == u"wal";
    mode.Finalize();
    if (wal) m_db.Execute(u"PRAGMA synchronous=NORMAL");
  } catch (const CSQLiteException&) {
  }
}

bool CDBSqlite::AddLabel(CLabel& label) {
  if (label.name.empty()) {
    SetLastDBError(u"未提供一个有效的标签名。");
    return false;
  }
  return Guarded([&] {
    if (m_db.Execute(Fmt(u"INSERT INTO label(name,toplayer)  VALUES('%s',%d)", Q(label.name), label.toplayer)) <= 0)
      return false;
    // The row this connection inserted, whatever another writer added since.
    label.labelid = static_cast<int>(m_db.LastInsertRowId());
    return true;
  });
}

bool CDBSqlite::UpdateLabel(CLabel& label) {
  return Guarded([&] {
    return m_db.Execute(Fmt(u"UPDATE label SET name='%s',toplayer=%d WHERE labelid=%d", Q(label.name), label.toplayer,
                            label.labelid)) > 0;
  });
}

bool CDBSqlite::DeleteLabel(CLabel& label) {
  return Guarded([&] {
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    if (m_db.Execute(Fmt(u"DELETE FROM label WHERE labelid=%d", label.labelid)) <= 0) return false;
    {
      CSQLiteQuery links = m_db.Query(Fmt(u"SELECT * FROM articletolabel WHERE labelid=%d", label.labelid));
      while (!links.IsEof()) {
        int articleid = links.GetInt(1, 0);
        if (m_db.Execute(Fmt(u"UPDATE article SET labels=labels-1 WHERE articleid=%d", articleid)) <= 0) return false;
        links.NextRow();
      }
      links.Finalize();
    }
    m_db.Execute(u"DELETE FROM article WHERE labels<1");
    m_db.Execute(Fmt(u"DELETE FROM articletolabel WHERE labelid=%d", label.labelid));
    transaction.Commit();
    return true;
  });
}

std::u16string CDBSqlite::LabelQueryText(const CLabel& pattern, unsigned mask) {
  if (mask == 0) return u"SELECT * FROM label order by toplayer,labelid";
  std::u16string sql = u"SELECT * FROM label WHERE ";
  bool first = true;
  if (mask & kLabelMaskID) {
    sql += Fmt(u"labelid=%d", pattern.labelid);
    first = false;
  }
  if (mask & kLabelMaskName) {
    sql += Fmt(Joined(first, u"name='%s'", u" AND name='%s'"), Q(pattern.name));
    first = false;
  }
  if (mask & kLabelMaskParent) sql += Fmt(Joined(first, u"toplayer=%d", u" AND toplayer=%d"), pattern.toplayer);
  return sql;
}

bool CDBSqlite::QueryLabel(std::vector<CLabel*>& out, CLabel pattern, unsigned mask) {
  return Guarded([&] {
    CSQLiteQuery rows = m_db.Query(LabelQueryText(pattern, mask));
    while (!rows.IsEof()) {
      auto label = std::make_unique<CLabel>();
      label->labelid = rows.GetInt(0, 0);
      label->name = rows.GetString(1, u"");
      label->toplayer = rows.GetInt(2, 0);
      out.push_back(label.get());
      label.release();
      rows.NextRow();
    }
    rows.Finalize();
    return true;
  });
}

bool CDBSqlite::QueryArticleType(std::vector<CArticleType>& out) {
  return Guarded([&] {
    CSQLiteQuery rows = m_db.Query(u"SELECT * FROM articletype");
    while (!rows.IsEof()) {
      int id = rows.GetInt(0, 0);
      std::u16string code = rows.GetString(1, u"");
      std::u16string folder = rows.GetString(2, u"");
      out.emplace_back(id, std::move(code), std::move(folder));
      rows.NextRow();
    }
    rows.Finalize();
    return true;
  });
}

bool CDBSqlite::QueryLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] {
    CSQLiteQuery rows = m_db.Query(
        Fmt(u"SELECT * FROM articletolabel WHERE articleid=%d AND labelid=%d", link.articleid, link.labelid));
    bool found = !rows.IsEof();
    rows.Finalize();
    return found;
  });
}

bool CDBSqlite::InsertLink(const CLabelToArticle& link) {
  return m_db.Execute(
             Fmt(u"INSERT INTO articletolabel(articleid,labelid) VALUES(%d,%d)", link.articleid, link.labelid)) > 0;
}

bool CDBSqlite::AddLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] { return InsertLink(link); });
}

bool CDBSqlite::DeleteLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] {
    if (link.labelid != 0)
      m_db.Execute(Fmt(u"DELETE FROM articletolabel WHERE articleid=%d AND labelid=%d", link.articleid, link.labelid));
    else
      m_db.Execute(Fmt(u"DELETE FROM articletolabel WHERE articleid=%d", link.articleid));
    return true;
  });
}

bool CDBSqlite::AddArticle(CArticle& article) {
  return Guarded([&] {
    // The row and its first link go in together: a row without a link would
    // be held by no label and never be deleted.
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    // Another process may have stored the same link since the caller looked
    // for it. One link stays one article: the stored one is filed under the
    // label as well, and the record takes its id.
    if (!article.filename.empty()) {
      CSQLiteQuery same =
          m_db.Query(Fmt(u"SELECT articleid FROM article WHERE filename='%s' ORDER BY articleid", Q(article.filename)));
      if (!same.IsEof()) {
        CLabelToArticle link(article.label, same.GetInt(0, 0));
        same.Finalize();
        CSQLiteQuery filed = m_db.Query(
            Fmt(u"SELECT * FROM articletolabel WHERE articleid=%d AND labelid=%d", link.articleid, link.labelid));
        bool already = !filed.IsEof();
        filed.Finalize();
        if (!already && (!InsertLink(link) || m_db.Execute(Fmt(u"UPDATE article SET labels=labels+1 WHERE articleid=%d",
                                                               link.articleid)) <= 0))
          return false;
        transaction.Commit();
        article.articleid = link.articleid;
        return true;
      }
    }
    int count = m_db.Execute(
        Fmt(u"INSERT INTO article( url,filename,title,key1,type,labels,label,version,readflag,impflag, crdate,brdate, "
            u"lmdate ) VALUES('%s','%s','%s','%s','%s',%d, %d, %d,'%s','%s', %d,%d,%d)",
            Q(article.url), Q(article.filename), Q(article.title), Q(article.key1), Q(article.type), 1, article.label,
            1, u"T", u"F", article.crdate.GetTimeLong(), 0, 0));
    if (count <= 0) return false;
    // The row this connection inserted, whatever another writer added since.
    int articleid = static_cast<int>(m_db.LastInsertRowId());
    if (!InsertLink(CLabelToArticle(article.label, articleid))) return false;
    transaction.Commit();
    article.articleid = articleid;
    return true;
  });
}

void CDBSqlite::LoadArticles(CSQLiteQuery& rows, std::vector<CArticle*>& out) {
  while (!rows.IsEof()) {
    auto article = std::make_unique<CArticle>();
    article->articleid = rows.GetInt(0, 0);
    article->filename = rows.GetString(1, u"");
    article->url = rows.GetString(2, u"");
    article->title = rows.GetString(3, u"");
    article->key1 = rows.GetString(4, u"");
    article->type = rows.GetString(5, u"");
    article->labels = rows.GetInt(6, 0);
    article->label = rows.GetInt(7, 0);
    article->version = rows.GetInt(8, 0);
    article->descfile = article->GetDescriptionFilename();
    article->readflag = rows.GetString(9, u"") != u"F";
    article->impflag = rows.GetString(10, u"") != u"F";
    article->crdate.SetTimeLong(rows.GetInt(11, 0));
    article->brdate.SetTimeLong(rows.GetInt(12, 0));
    article->lmdate.SetTimeLong(rows.GetInt(13, 0));
    out.push_back(article.get());
    article.release();
    rows.NextRow();
  }
}

bool CDBSqlite::QueryArticle(std::vector<CArticle*>& out, CLabel* label, CArticle pattern, unsigned mask) {
  if (label == nullptr) return false;
  return Guarded([&] {
    CSQLiteQuery rows = m_db.Query(
        Fmt(u"SELECT article.* FROM article,articletolabel WHERE article.articleid=articletolabel.articleid AND "
            u"articletolabel.labelid=%d",
            label->labelid));
    LoadArticles(rows, out);
    rows.Finalize();
    return true;
  });
}

std::u16string CDBSqlite::ArticleQueryText(const CArticle& pattern, unsigned mask, bool like) {
  if (mask == 0) return u"SELECT * FROM article";
  std::u16string sql = u"SELECT * FROM article WHERE ";
  bool first = true;
  if (mask & kArticleMaskID) {
    sql += Fmt(u"articleid=%d", pattern.articleid);
    first = false;
  }
  if (mask & kArticleMaskTitle) {
    if (like)
      sql += Fmt(Joined(first, u"title LIKE '%%%s%%'", u" AND title LIKE '%%%s%%'"), Q(pattern.title));
    else
      sql += Fmt(Joined(first, u"title='%s'", u" AND title='%s'"), Q(pattern.title));
    first = false;
  }
  if (mask & kArticleMaskFilename) {
    sql += Fmt(Joined(first, u"filename='%s'", u" AND filename='%s'"), Q(pattern.filename));
    first = false;
  }
  if (mask & kArticleMaskKeywords) {
    if (like)
      sql += Fmt(Joined(first, u"key1 LIKE '%%%s%%'", u" AND key1 LIKE '%%%s%%'"), Q(pattern.key1));
    else
      sql += Fmt(Joined(first, u"key1='%s'", u" AND key1='%s'"), Q(pattern.key1));
  }
  return sql;
}

bool CDBSqlite::QueryArticle(std::vector<CArticle*>& out, CArticle pattern, unsigned mask, bool like) {
  return Guarded([&] {
    CSQLiteQuery rows = m_db.Query(ArticleQueryText(pattern, mask, like));
    LoadArticles(rows, out);
    rows.Finalize();
    return true;
  });
}

bool CDBSqlite::UpdateArticle(CArticle& article) {
  return Guarded([&] {
    return m_db.Execute(Fmt(u"UPDATE article SET title='%s',key1='%s',labels=%d,version=%d,readflag='%s',impflag='%s', "
                            u"crdate=%d, brdate=%d, lmdate=%d WHERE articleid=%d",
                            Q(article.title), Q(article.key1), article.labels, article.version, Flag(article.readflag),
                            Flag(article.impflag), article.crdate.GetTimeLong(), article.brdate.GetTimeLong(),
                            article.lmdate.GetTimeLong(), article.articleid)) > 0;
  });
}

bool CDBSqlite::DeleteArticle(CArticle* article, CLabel* label) {
  if (article == nullptr) return false;
  return Guarded([&] {
    bool lastLabelGone = false;
    {
      CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
      if (label == nullptr) {
        if (m_db.Execute(Fmt(u"DELETE FROM articletolabel WHERE articleid=%d", article->articleid)) <= 0) return false;
        if (m_db.Execute(Fmt(u"DELETE FROM article WHERE articleid=%d", article->articleid)) <= 0) return false;
      } else {
        if (m_db.Execute(Fmt(u"DELETE FROM articletolabel WHERE articleid=%d AND labelid=%d", article->articleid,
                             label->labelid)) <= 0)
          return false;
        if (m_db.Execute(Fmt(u"UPDATE article SET labels=labels-1 WHERE articleid=%d", article->articleid)) <= 0)
          return false;
        lastLabelGone =
            m_db.Execute(Fmt(u"DELETE FROM article WHERE articleid=%d AND labels<1", article->articleid)) > 0;
      }
      transaction.Commit();
    }
    // Files go only once the row is gone for good, and only for the article
    // that lost its last label; without a label they stay on disk.
    if (lastLabelGone) RemoveArticleFiles(article->type, article->filename);
    return true;
  });
}

bool CDBSqlite::ReplaceArticleLabels(int articleid, const std::vector<int>& labelids, int& failedLabel) {
  failedLabel = 0;
  return Guarded([&] {
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    m_db.Execute(Fmt(u"DELETE FROM articletolabel WHERE articleid=%d", articleid));
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
    const int changed = written.empty() ? m_db.Execute(Fmt(u"DELETE FROM article WHERE articleid=%d", articleid))
                                        : m_db.Execute(Fmt(u"UPDATE article SET labels=%d WHERE articleid=%d",
                                                           static_cast<int>(written.size()), articleid));
    if (changed <= 0) {
      // No such article: links to it must not stay behind.
      SetLastDBError(u"文章不存在。");
      return false;
    }
    transaction.Commit();
    return true;
  });
}
