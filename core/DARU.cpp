#include "core/DARU.h"

#include <new>

CDARU* CDARU::_instance = nullptr;

CDARU::CDARU() : m_pCurLabel(nullptr), m_pLabelTree(nullptr), m_pDB(nullptr) {}

CDARU* CDARU::Instance() {
  if (_instance == nullptr) _instance = new (std::nothrow) CDARU();
  return _instance;
}

CDARU::~CDARU() {
  for (CArticle* article : m_articles) delete article;
  m_articles.clear();
  // A host (or a test) may build a fresh facade once this one is gone.
  if (_instance == this) _instance = nullptr;
}

std::u16string CDARU::FindArticlePath(std::u16string type) {
  for (const CArticleType& t : m_articleTypes)
    if (t.type == type) return t.path;
  return {};
}
