#pragma once

#include <string>
#include <vector>

#include "base/DaruApi.h"
#include "core/Article.h"
#include "core/Records.h"
#include "core/Subscription.h"

// The marks a capture stores a new article with.
struct CNewArticleMarks {
  bool read = true;  // a page the person saved has been seen
  bool important = false;
};

// The catalogue store: every read and write of labels, articles, their links
// and the article types. A failed operation returns false and leaves its
// reason in the last error, which success never clears.
class DARU_API CDB {
 public:
  CDB();
  CDB(const CDB& other);
  CDB& operator=(const CDB& other);

  // The fourteen operations, in slot order.
  virtual bool InitDB() = 0;
  virtual bool AddLabel(CLabel& label) = 0;
  virtual bool UpdateLabel(CLabel& label) = 0;
  virtual bool DeleteLabel(CLabel& label) = 0;
  virtual bool QueryLabel(std::vector<CLabel*>& out, CLabel pattern, unsigned mask) = 0;
  virtual bool QueryArticleType(std::vector<CArticleType>& out) = 0;
  virtual bool QueryLabelToArticle(CLabelToArticle& link) = 0;
  virtual bool AddLabelToArticle(CLabelToArticle& link) = 0;
  virtual bool DeleteLabelToArticle(CLabelToArticle& link) = 0;
  virtual bool AddArticle(CArticle& article) = 0;
  virtual bool QueryArticle(std::vector<CArticle*>& out, CLabel* label, CArticle pattern, unsigned mask) = 0;
  virtual bool QueryArticle(std::vector<CArticle*>& out, CArticle pattern, unsigned mask, bool like) = 0;
  virtual bool UpdateArticle(CArticle& article) = 0;
  virtual bool DeleteArticle(CArticle* article, CLabel* label) = 0;

  // Beyond the fourteen: files the article under exactly these labels, in one
  // transaction. Its old links go, one link per label is written and its label
  // count becomes their number; with no labels its row goes as well (its files
  // stay). On failure nothing has changed, and failedLabel is the label whose
  // link could not be written, or 0 when the failure lay elsewhere. A store
  // without transactions keeps this default, which refuses.
  virtual bool ReplaceArticleLabels(int articleid, const std::vector<int>& labelids, int& failedLabel);
  // Changes read and written in one transaction against the catalogue as it
  // is, not as the caller last read it, so two processes changing one label
  // or filing one article lose nothing. The defaults fall back on the
  // operations above, without a transaction, for a store that has nothing better.
  //
  // Writes only the label's name; the record's parent id becomes the stored one.
  virtual bool RenameLabel(CLabel& label);
  // Writes only the label's parent id, refused when the new parent lies in
  // the label's own branch; the record's name becomes the stored one.
  virtual bool MoveLabel(CLabel& label);
  // Files the article under the label and sets its label count to its number
  // of links: 0 filed now, 1 filed already, -1 failed. The record's count
  // becomes the stored one.
  virtual int FileArticle(CArticle& article, int labelid);
  // Stores the article with its first link (article.label) unless a row with the same
  // filename (the link's digest) is stored already, all in one write transaction. Returns
  //   0 stored new: article.articleid is the new row's id, labels 1, version 1
  //   1 the stored article is now filed under article.label as well
  //   2 the stored article was filed under article.label already
  //  -1 failed: nothing changed, the reason in the last error
  // For 1 and 2 the record becomes the stored row as read inside the transaction (id,
  // texts, times, marks, label count); the caller's texts are not written to the row.
  // A new row is dated with article.crdate and takes the marks given; a stored one
  // keeps its own.
  virtual int CaptureArticle(CArticle& article, const CNewArticleMarks& marks = CNewArticleMarks());
  // Finds the label named label.name (exact compare) directly below label.parentid, or adds
  // it, in one write transaction, so two processes make it once. Returns 1 found, 0 added,
  // -1 failed; the record takes the stored row's fields (labelid, counts).
  virtual int FindOrAddLabel(CLabel& label);

  // The subscriptions, in a table of their own beside the four, made when
  // first needed so that an older catalogue gains it. One row per address.
  // A store without the table keeps these defaults, which refuse.
  //
  // Inserts the subscription and sets its id; refused for an address kept already.
  virtual bool AddSubscription(CSubscription& subscription);
  // Writes every field of the subscription with its id; false when there is none.
  virtual bool UpdateSubscription(const CSubscription& subscription);
  // Appends every subscription in the order they were added.
  virtual bool QuerySubscriptions(std::vector<CSubscription>& out);
  virtual bool DeleteSubscription(int subscriptionid);

  virtual ~CDB();

  std::u16string GetLastDBError();

 protected:
  void SetLastDBError(std::u16string text);
  // The record of a capture that found its link stored takes the stored row.
  static void TakeStoredRow(CArticle& article, const CArticle& row);

 private:
  std::u16string m_lastError;
};

// The store factory, defined beside the SQLite store. Type 1 gives a new, not yet opened SQLite store, owned by the
// caller; any other type gives null.
DARU_API CDB* CreateStore(int type);
