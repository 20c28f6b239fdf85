#pragma once

#include <string>
#include <vector>

#include "core/Article.h"
#include "core/DaruApi.h"
#include "core/Records.h"

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

  // The folder of an article type below the DARU folder; empty when unknown.
  std::u16string FindArticlePath(std::u16string type);

  CLabel* m_pCurLabel;  // borrowed: the label whose articles the result list holds

 protected:
  CDARU();

 private:
  friend class CDARUTestAccess;

  CLabelTree* m_pLabelTree;                 // owned
  std::vector<CArticleType> m_articleTypes;
  std::vector<CArticle*> m_articles;        // owned, every element
  CDB* m_pDB;                               // owned

  static CDARU* _instance;
};
