#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/DaruApi.h"
#include "core/Article.h"
#include "core/Records.h"
#include "facade/ArticleCapture.h"

class CLabelTree;
class CDB;

// The single entry point to the article library. It owns the store, the label
// hierarchy, the article types and the result list of the last query.
class DARU_API CDARU {
 public:
  static CDARU* Instance();
  virtual ~CDARU();

  CDARU(const CDARU&) = delete;
  CDARU& operator=(const CDARU&) = delete;

  // Opens the catalogue under the data root and loads the labels and article
  // types. Once it has succeeded, later calls return true and change nothing.
  bool Init();
  // The same on a store the host made (for instance a CDBAccess), not yet
  // opened. The facade owns the store from this call on, whatever the result;
  // a facade that is ready already destroys it and changes nothing.
  bool Init(CDB* store);

  CLabelTree* GetLabelTree() { return m_pLabelTree; }
  // The store, for the windows that work on it directly (the label picker);
  // borrowed, null before Init.
  CDB* GetDB() { return m_pDB; }
  // Why the last failed operation failed, as the store put it; empty when
  // there is no store or it gave no reason.
  std::u16string GetLastDBError();
  // The result list of the last query; the articles stay owned by the facade.
  std::vector<CArticle*> GetArticleList() { return m_articles; }

  // The capture: files the link under the label, as a new article or as the
  // stored one. result is a request on the way in (above 0: file a stored
  // article under the label too) and on the way out one of
  //   -3 the duplicate query or the insert failed (null)
  //   -1 unknown type (null), or filing the stored article failed
  //    0 new article       1 listed already, or filed now
  //    2 stored, nothing changed    3 already filed under the label
  // An article returned that is not in the result list belongs to the caller.
  CArticle* AddArticle(CLabel* label, std::u16string url, std::u16string title, std::u16string keywords,
                       std::u16string type, int& result, bool storeUrl);
  // The capture every way in uses: stores the link as a new article or files
  // the stored one under the label, writes its description file, copies its
  // media file, and undoes what it did when a step fails. Captures of one
  // library run one at a time, across processes too, so the one that finds
  // the link stored reads the other's description file whole.
  CCaptureOutcome Capture(const CCaptureRequest& request);
  // Files an article under a further label: 1 already filed, 0 filed now, -1 failed.
  int AddArticle(CArticle* article, CLabel* label);
  // A capture without type or result: does nothing and returns null.
  CArticle* AddArticle(CLabel* label, std::u16string url, std::u16string title, std::u16string keywords);

  bool UpdateArticle(CArticle& article);
  // With a label, removes that one filing; without, the whole article. A listed
  // article is destroyed on success, so the caller must drop its pointer.
  bool DeleteArticle(CArticle* article, CLabel* label);

  // Replace the result list; the number of articles found, or -1.
  int QueryArticle(CArticle pattern, unsigned mask, bool like);
  int QueryArticle(CLabel* label, CArticle pattern, unsigned mask);

  // The folder of an article type below the DARU folder; empty when unknown.
  // Read from the locations' type table, which the facade fills.
  std::u16string FindArticlePath(std::u16string type);

  CLabel* m_pCurLabel;  // borrowed: the label whose articles the result list holds

 protected:
  CDARU();

 private:
  friend class CDARUTestAccess;

  // 32 lower-case hex digits of the MD5 digest of the text's UTF-8 form; empty
  // when no digest can be had.
  std::string MD5(const std::u16string& text);
  bool LoadArticleType();
  void ReleaseModel();
  CArticle* FindListed(const std::u16string& filename);
  // The steps of Capture (facade/ArticleCapture.cpp).
  void CaptureNew(const CCaptureRequest& request, CArticle& article, CCaptureOutcome& out);
  enum class StoredLink { FiledNow, AlreadyFiled, NotFiled };
  void CaptureStored(const CCaptureRequest& request, CArticle& article, StoredLink how, CCaptureOutcome& out);
  void CopyMedia(const CCaptureRequest& request, CArticle& article, CCaptureOutcome& out);
  bool UndoFiling(CArticle& article, CLabel* label);
  void HandOver(CLabel* label, std::unique_ptr<CArticle> article, CCaptureOutcome& out);

  CLabelTree* m_pLabelTree;           // owned
  std::vector<CArticle*> m_articles;  // owned, every element
  CDB* m_pDB;                         // owned
  bool m_bReady;                      // Init has succeeded

  static CDARU* _instance;
};
