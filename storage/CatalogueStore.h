#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/DaruApi.h"
#include "storage/DB.h"

class CCatalogueEngine;
class CCatalogueStatements;
class CSqlStatement;

// The catalogue's operations, written once over an engine. A store derives
// from it, opens its engine in InitDB and hands it over through Engine(); the
// engine's failures become the last error in the store's own words, and no
// exception leaves an operation.
class DARU_API CCatalogueStore : public CDB {
 public:
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
  int CaptureArticle(CArticle& article, const CNewArticleMarks& marks = CNewArticleMarks()) override;
  int FindOrAddLabel(CLabel& label) override;
  bool AddSubscription(CSubscription& subscription) override;
  bool UpdateSubscription(const CSubscription& subscription) override;
  bool QuerySubscriptions(std::vector<CSubscription>& out) override;
  bool DeleteSubscription(int subscriptionid) override;

 protected:
  CCatalogueStore() = default;
  CCatalogueStore(const CCatalogueStore& other) = default;
  CCatalogueStore& operator=(const CCatalogueStore& other) = default;

  // The store's engine; it throws its own errors when it is not open.
  virtual CCatalogueEngine& Engine() = 0;
  // Runs the body of one operation: a failure of the engine becomes the last
  // error and the result false.
  bool Guarded(const std::function<bool()>& body);

 private:
  // Builds an article query, packed or not (see CCatalogueStatements).
  using ArticleQuery = std::function<CSqlStatement(const CCatalogueStatements& sql, bool packed)>;
  // The rows of an article query as new records with their description file
  // paths, appended to out; none when the query fails.
  void LoadArticles(const ArticleQuery& query, std::vector<CArticle*>& out);
  // The stored row of the article, read whole; false when there is none.
  bool ReadArticle(int articleid, CArticle& row);
  // The first field of the first row as a number; fallback without a row.
  long long FirstInt(const CSqlStatement& statement, long long fallback);
  bool AnyRow(const CSqlStatement& statement);
  bool InsertLink(int articleid, int labelid);
  // Sets the article's label count to its number of links; that number.
  int Recount(int articleid);
  // False with the last error set when the label's parent id lies in its own
  // branch, as the catalogue holds it now.
  bool ParentIsOutsideBranch(const CLabel& label);
  // Stores the article unless its folder name is stored already, in which
  // case that row is filed under the article's label: 0 stored, 1 filed, 2
  // filed already, -1 failed. stored takes the row for 1 and 2.
  int Capture(CArticle& article, CArticle* stored, const CNewArticleMarks& marks);
  // Removes the files of articles whose rows went (see the definition).
  void RemoveFilesOfGone(const std::vector<CArticle>& gone);
  // Makes the subscription table where a catalogue made before it lacks it.
  void EnsureSubscriptions();

  bool m_subscriptionsReady = false;  // the subscription table is known to exist
};
