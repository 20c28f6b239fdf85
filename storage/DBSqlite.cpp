#include "storage/DBSqlite.h"

#include <algorithm>
#include <memory>
#include <new>
#include <set>
#include <utility>
#include <vector>

#include "base/Files.h"
#include "base/U16Format.h"
#include "content/PathOps.h"
#include "core/ArticleLocations.h"
#include "storage/CatalogueStatements.h"

using Sql = CCatalogueStatements;

namespace {

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

CDB* CreateStore(int type) {
  if (type != 1) return nullptr;
  return new (std::nothrow) CDBSqlite();
}

CDBSqlite::CDBSqlite() = default;
CDBSqlite::~CDBSqlite() = default;

bool CDBSqlite::InitDB() {
  const std::u16string file = GetCatalogueFile();
  if (Guarded([&] {
        m_db.Open(file);
        SetJournalSync();
        return true;
      }))
    return true;
  // Which file it tried is the first thing a person needs to know.
  SetLastDBError(GetLastDBError() + u" (catalogue " + file + u")");
  return false;
}

void CDBSqlite::SetJournalSync() {
  // With a write-ahead log a commit need not wait for the disk: a power cut
  // may take the last commits back, but the catalogue stays whole. The
  // rollback journal keeps the engine's full sync, without which it could
  // not promise even that. A file that is no catalogue fails later, at its
  // first statement, as it always did.
  //
  // The article files follow the same policy: replaced atomically always,
  // synced only where the catalogue's commits are. A description file synced
  // beside a commit that a power cut may still take back buys nothing.
  bool wal = false;
  try {
    CSQLiteQuery mode = m_db.Query(u"PRAGMA journal_mode");
    wal = !mode.IsEof() && mode.GetString(0, u"") == u"wal";
    mode.Finalize();
    if (wal) m_db.Execute(u"PRAGMA synchronous=NORMAL");
  } catch (const CSQLiteException&) {
  }
  SetFileDurability(wal ? FileDurability::Atomic : FileDurability::Synced);
}

bool CDBSqlite::AddLabel(CLabel& label) {
  if (label.name.empty()) {
    SetLastDBError(u"未提供一个有效的标签名。");
    return false;
  }
  return Guarded([&] {
    if (m_db.Execute(Sql::InsertLabel(label)) <= 0) return false;
    // The row this connection inserted, whatever another writer added since.
    label.labelid = static_cast<int>(m_db.LastInsertRowId());
    return true;
  });
}

bool CDBSqlite::UpdateLabel(CLabel& label) {
  return Guarded([&] {
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    if (!ParentIsOutsideBranch(label)) return false;
    if (m_db.Execute(Sql::UpdateLabel(label)) <= 0) return false;
    transaction.Commit();
    return true;
  });
}

bool CDBSqlite::RenameLabel(CLabel& label) {
  return Guarded([&] {
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    if (m_db.Execute(Sql::RenameLabel(label)) <= 0) return false;
    CSQLiteQuery row = m_db.Query(Sql::ParentOf(label.labelid));
    const int toplayer = row.IsEof() ? label.toplayer : row.GetInt(0, 0);
    row.Finalize();
    transaction.Commit();
    label.toplayer = toplayer;
    return true;
  });
}

bool CDBSqlite::MoveLabel(CLabel& label) {
  return Guarded([&] {
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    if (!ParentIsOutsideBranch(label)) return false;
    if (m_db.Execute(Sql::MoveLabel(label)) <= 0) return false;
    CLabel pattern;
    pattern.labelid = label.labelid;
    CSQLiteQuery row = m_db.Query(Sql::QueryLabel(pattern, kLabelMaskID));
    std::u16string name = row.IsEof() ? label.name : row.GetString(1, u"");
    row.Finalize();
    transaction.Commit();
    label.name = std::move(name);
    return true;
  });
}

bool CDBSqlite::ParentIsOutsideBranch(const CLabel& label) {
  // Up the parents the catalogue holds now (another process may have moved a
  // label since ours were loaded); a walk that meets a loop already there
  // ends after as many steps as there are labels.
  CSQLiteQuery total = m_db.Query(Sql::CountLabels());
  long long steps = total.IsEof() ? 0 : total.GetInt(0, 0);
  total.Finalize();
  for (int at = label.toplayer; at != 0 && steps-- >= 0;) {
    if (at == label.labelid) {
      SetLastDBError(Fmt(u"label #%d cannot be moved under itself or a label of its own branch", label.labelid));
      return false;
    }
    CSQLiteQuery up = m_db.Query(Sql::ParentOf(at));
    at = up.IsEof() ? 0 : up.GetInt(0, 0);
    up.Finalize();
  }
  return true;
}

bool CDBSqlite::DeleteLabel(CLabel& label) {
  std::vector<CArticle> gone;
  bool deleted = Guarded([&] {
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    if (m_db.Execute(Sql::DeleteLabel(label.labelid)) <= 0) return false;
    std::set<int> held;
    {
      CSQLiteQuery links = m_db.Query(Sql::LinksOfLabel(label.labelid));
      while (!links.IsEof()) {
        held.insert(links.GetInt(1, 0));
        links.NextRow();
      }
      links.Finalize();
    }
    m_db.Execute(Sql::DeleteLinksOfLabel(label.labelid));
    // An article goes only when no link to it is left, whatever its count
    // says: a count that drifted must not take an article filed elsewhere.
    for (int articleid : held) {
      if (!Recount(articleid)) gone.push_back(TakeUnlinked(articleid));
    }
    transaction.Commit();
    return true;
  });
  if (!deleted) return false;
  // Their files go as they do when the last label is taken off one at a time.
  RemoveFilesOfGone(gone);
  return true;
}

int CDBSqlite::Recount(int articleid) {
  m_db.Execute(Sql::Recount(articleid));
  CSQLiteQuery row = m_db.Query(Sql::CountLinks(articleid));
  int links = row.IsEof() ? 0 : row.GetInt(0, 0);
  row.Finalize();
  return links;
}

CArticle CDBSqlite::TakeUnlinked(int articleid) {
  CArticle article;
  CArticle pattern;
  pattern.articleid = articleid;
  CSQLiteQuery row = m_db.Query(Sql::QueryArticle(pattern, kArticleMaskID, false));
  if (row.IsEof()) return article;  // a link that named no article: nothing more to remove
  article.filename = row.GetString(1, u"");
  article.type = row.GetString(5, u"");
  row.Finalize();
  if (m_db.Execute(Sql::DeleteArticle(articleid)) > 0) article.articleid = articleid;
  return article;
}

void CDBSqlite::RemoveFilesOfGone(const std::vector<CArticle>& gone) {
  // Under the write lock, and only while no row has the folder name again:
  // another process may have stored the same link anew since the rows went,
  // and its files are not ours to remove. Without the lock (the engine
  // failing) they go all the same: the rows are gone for good.
  std::vector<bool> done(gone.size(), false);
  try {
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    for (size_t i = 0; i < gone.size(); ++i) {
      if (gone[i].articleid == 0) continue;
      CSQLiteQuery again = m_db.Query(Sql::ArticlesNamed(gone[i].filename));
      const bool storedAgain = !again.IsEof();
      again.Finalize();
      if (!storedAgain) RemoveArticleFiles(gone[i].type, gone[i].filename);
      done[i] = true;
    }
    transaction.Commit();
  } catch (const CSQLiteException&) {
  }
  for (size_t i = 0; i < gone.size(); ++i)
    if (!done[i] && gone[i].articleid != 0) RemoveArticleFiles(gone[i].type, gone[i].filename);
}

bool CDBSqlite::QueryLabel(std::vector<CLabel*>& out, CLabel pattern, unsigned mask) {
  return Guarded([&] {
    CSQLiteQuery rows = m_db.Query(Sql::QueryLabel(pattern, mask));
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
    CSQLiteQuery rows = m_db.Query(Sql::QueryArticleType());
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
    CSQLiteQuery rows = m_db.Query(Sql::FindLink(link.articleid, link.labelid));
    bool found = !rows.IsEof();
    rows.Finalize();
    return found;
  });
}

bool CDBSqlite::InsertLink(const CLabelToArticle& link) {
  return m_db.Execute(Sql::InsertLink(link.articleid, link.labelid)) > 0;
}

bool CDBSqlite::AddLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] { return InsertLink(link); });
}

bool CDBSqlite::DeleteLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] {
    if (link.labelid != 0)
      m_db.Execute(Sql::DeleteLink(link.articleid, link.labelid));
    else
      m_db.Execute(Sql::DeleteLinksOfArticle(link.articleid));
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
      CSQLiteQuery same = m_db.Query(Sql::ArticlesNamed(article.filename));
      if (!same.IsEof()) {
        CLabelToArticle link(article.label, same.GetInt(0, 0));
        same.Finalize();
        CSQLiteQuery filed = m_db.Query(Sql::FindLink(link.articleid, link.labelid));
        bool already = !filed.IsEof();
        filed.Finalize();
        if (!already) {
          if (!InsertLink(link)) return false;
          Recount(link.articleid);
        }
        transaction.Commit();
        article.articleid = link.articleid;
        return true;
      }
    }
    int count = m_db.Execute(Sql::InsertArticle(article));
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
  CDescriptionPaths paths;
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
    paths.Fill(article->type, article->filename, article->descfile);
    article->readflag = !rows.IsText(9, "F");
    article->impflag = !rows.IsText(10, "F");
    article->crdate.SetTimeLong(rows.GetInt64(11, 0));
    article->brdate.SetTimeLong(rows.GetInt64(12, 0));
    article->lmdate.SetTimeLong(rows.GetInt64(13, 0));
    out.push_back(article.get());
    article.release();
    rows.NextRow();
  }
}

bool CDBSqlite::QueryArticle(std::vector<CArticle*>& out, CLabel* label, CArticle pattern, unsigned mask) {
  if (label == nullptr) return false;
  return Guarded([&] {
    CSQLiteQuery rows = m_db.Query(Sql::ArticlesOfLabel(label->labelid));
    LoadArticles(rows, out);
    rows.Finalize();
    return true;
  });
}

bool CDBSqlite::QueryArticle(std::vector<CArticle*>& out, CArticle pattern, unsigned mask, bool like) {
  return Guarded([&] {
    CSQLiteQuery rows = m_db.Query(Sql::QueryArticle(pattern, mask, like));
    LoadArticles(rows, out);
    rows.Finalize();
    return true;
  });
}

bool CDBSqlite::UpdateArticle(CArticle& article) {
  return Guarded([&] { return m_db.Execute(Sql::UpdateArticle(article)) > 0; });
}

bool CDBSqlite::DeleteArticle(CArticle* article, CLabel* label) {
  if (article == nullptr) return false;
  return Guarded([&] {
    bool lastLabelGone = false;
    {
      CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
      if (label == nullptr) {
        if (m_db.Execute(Sql::DeleteLinksOfArticle(article->articleid)) <= 0) return false;
        if (m_db.Execute(Sql::DeleteArticle(article->articleid)) <= 0) return false;
      } else {
        if (m_db.Execute(Sql::DeleteLink(article->articleid, label->labelid)) <= 0) return false;
        // By the links left, not by the count: the row goes with its last link.
        if (Recount(article->articleid) == 0) {
          if (m_db.Execute(Sql::DeleteArticle(article->articleid)) <= 0) return false;
          lastLabelGone = true;
        }
      }
      transaction.Commit();
    }
    // Files go only once the row is gone for good, and only for the article
    // that lost its last label; without a label they stay on disk.
    if (lastLabelGone) {
      CArticle gone;
      gone.articleid = article->articleid;
      gone.type = article->type;
      gone.filename = article->filename;
      RemoveFilesOfGone({gone});
    }
    return true;
  });
}

bool CDBSqlite::ReplaceArticleLabels(int articleid, const std::vector<int>& labelids, int& failedLabel) {
  failedLabel = 0;
  return Guarded([&] {
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    m_db.Execute(Sql::DeleteLinksOfArticle(articleid));
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
    const int changed = written.empty() ? m_db.Execute(Sql::DeleteArticle(articleid))
                                        : m_db.Execute(Sql::SetLabelCount(articleid, static_cast<int>(written.size())));
    if (changed <= 0) {
      // No such article: links to it must not stay behind.
      SetLastDBError(u"文章不存在。");
      return false;
    }
    transaction.Commit();
    return true;
  });
}

int CDBSqlite::FileArticle(CArticle& article, int labelid) {
  int result = -1;
  Guarded([&] {
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    CSQLiteQuery filed = m_db.Query(Sql::FindLink(article.articleid, labelid));
    const bool already = !filed.IsEof();
    filed.Finalize();
    if (already) {
      result = 1;
      return true;
    }
    if (!InsertLink(CLabelToArticle(labelid, article.articleid))) return false;
    const int links = Recount(article.articleid);
    CArticle pattern;
    pattern.articleid = article.articleid;
    CSQLiteQuery row = m_db.Query(Sql::QueryArticle(pattern, kArticleMaskID, false));
    const bool stored = !row.IsEof();
    row.Finalize();
    if (!stored) return false;  // no such article: the link goes again
    transaction.Commit();
    article.labels = links;
    result = 0;
    return true;
  });
  return result;
}

int CDBSqlite::CaptureArticle(CArticle& article) {
  int result = -1;
  Guarded([&] {
    // The look for the link and the write in one transaction: of two
    // processes capturing one link, the second finds the first one's row.
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    int stored = 0;
    if (!article.filename.empty()) {
      CSQLiteQuery same = m_db.Query(Sql::ArticlesNamed(article.filename));
      if (!same.IsEof()) stored = same.GetInt(0, 0);
      same.Finalize();
    }
    if (stored == 0) {
      if (m_db.Execute(Sql::InsertArticle(article)) <= 0) return false;
      const int articleid = static_cast<int>(m_db.LastInsertRowId());
      if (!InsertLink(CLabelToArticle(article.label, articleid))) return false;
      transaction.Commit();
      article.articleid = articleid;
      article.labels = 1;
      article.version = 1;
      result = 0;
      return true;
    }
    CSQLiteQuery filed = m_db.Query(Sql::FindLink(stored, article.label));
    const bool already = !filed.IsEof();
    filed.Finalize();
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
    std::vector<std::unique_ptr<CArticle>> owned;
    {
      CSQLiteQuery row = m_db.Query(Sql::QueryArticle(pattern, kArticleMaskID, false));
      LoadArticles(row, rows);
      row.Finalize();
    }
    for (CArticle* a : rows) owned.emplace_back(a);
    if (owned.empty()) return false;
    transaction.Commit();
    TakeRow(article, *owned.front());
    result = already ? 2 : 1;
    return true;
  });
  return result;
}

int CDBSqlite::FindOrAddLabel(CLabel& label) {
  if (label.name.empty()) {
    SetLastDBError(u"未提供一个有效的标签名。");
    return -1;
  }
  int result = -1;
  Guarded([&] {
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    CLabel pattern;
    pattern.name = label.name;
    pattern.toplayer = label.toplayer;
    int found = 0;
    CSQLiteQuery rows = m_db.Query(Sql::QueryLabel(pattern, kLabelMaskName | kLabelMaskParent));
    for (; !rows.IsEof(); rows.NextRow()) {
      const int id = rows.GetInt(0, 0);
      if (found == 0 || id < found) found = id;
    }
    rows.Finalize();
    const bool added = found == 0;
    if (added) {
      if (m_db.Execute(Sql::InsertLabel(label)) <= 0) return false;
      found = static_cast<int>(m_db.LastInsertRowId());
    }
    transaction.Commit();
    label.labelid = found;
    result = added ? 0 : 1;
    return true;
  });
  return result;
}
