#pragma once

#include <string>
#include <vector>

#include "storage/DB.h"
#include "storage/SQLiteDB.h"

// The catalogue store over the SQLite file DARU/darudb under the data root.
// Every operation runs the catalogue's statement templates with the record's
// fields bound as values; no exception of the access layer leaves it: its message
// becomes the last error and the operation returns false.
class CDBSqlite : public CDB {
 public:
  CDBSqlite();
  ~CDBSqlite() override;
  CDBSqlite(const CDBSqlite&) = delete;
  CDBSqlite& operator=(const CDBSqlite&) = delete;

  bool InitDB() override;
  bool AddLabel(CLabel& label) override;
  bool UpdateLabel(CLabel& label) override;
  bool DeleteLabel(CLabel& label) override;
  bool QueryLabel(std::vector<CLabel*>& out, CLabel pattern, unsigned mask) override;
  bool QueryArticleType(std::vector<CArticleType>& out) override;
  bool QueryLabelToArticle(CLabelToArticle& link) override;
  bool AddLabelToArticle(CLabelToArticle& link) override;
  bool DeleteLabelToArticle(CLabelToArticle& link) override;
  bool AddArticle(CArticle& article) override;
  bool QueryArticle(std::vector<CArticle*>& out, CLabel* label, CArticle pattern, unsigned mask) override;
  bool QueryArticle(std::vector<CArticle*>& out, CArticle pattern, unsigned mask, bool like) override;
  bool UpdateArticle(CArticle& article) override;
  bool DeleteArticle(CArticle* article, CLabel* label) override;
  bool ReplaceArticleLabels(int articleid, const std::vector<int>& labelids, int& failedLabel) override;
  bool RenameLabel(CLabel& label) override;
  bool MoveLabel(CLabel& label) override;
  int FileArticle(CArticle& article, int labelid) override;

  bool AddSubscription(CSubscription& subscription) override;
  bool UpdateSubscription(const CSubscription& subscription) override;
  bool QuerySubscriptions(std::vector<CSubscription>& out) override;
  bool DeleteSubscription(int subscriptionid) override;

 private:
  friend class CDBSqliteTestAccess;

  // Runs the body of one operation: an engine failure becomes the last error
  // and the result false, so no exception leaves the store.
  template <class Body>
  bool Guarded(Body&& body) {
    try {
      return body();
    } catch (const CSQLiteException& e) {
      SetLastDBError(e.MessageW());
      return false;
    }
  }

  // Commits wait for the disk as the journal mode needs (see the definition).
  void SetJournalSync();
  // Makes the subscription table when the catalogue has none yet.
  void EnsureSubscriptions();
  bool InsertLink(const CLabelToArticle& link);
  void LoadArticles(CSQLiteQuery& query, std::vector<CArticle*>& out);
  // False with the last error set when the label's parent id lies in its own
  // branch, as the catalogue holds it now.
  bool ParentIsOutsideBranch(const CLabel& label);
  // Sets the article's label count to its number of links; that number.
  int Recount(int articleid);
  // Deletes the article row; what its files are found by, with the id set
  // when a row went.
  CArticle TakeUnlinked(int articleid);
  // Removes the files of articles whose rows went (see the definition).
  void RemoveFilesOfGone(const std::vector<CArticle>& gone);

  CSQLiteDB m_db;
  bool m_subscriptionsReady = false;  // the subscription table is known to exist
};
