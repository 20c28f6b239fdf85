#include "facade/DARU.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <memory>
#include <new>

#include "base/TextConv.h"
#include "core/ArticleLocations.h"
#include "facade/LabelTree.h"
#include "storage/DB.h"

CDARU* CDARU::_instance = nullptr;

namespace {

constexpr int kSQLiteStore = 1;

}  // namespace

CDARU::CDARU() : m_pCurLabel(nullptr), m_pLabelTree(nullptr), m_pDB(nullptr), m_bReady(false) {}

CDARU* CDARU::Instance() {
  if (_instance == nullptr) _instance = new (std::nothrow) CDARU();
  return _instance;
}

CDARU::~CDARU() {
  // The hierarchy goes first: it borrows the store.
  delete m_pLabelTree;  // clears the hierarchy's singleton pointer too
  m_pLabelTree = nullptr;
  delete m_pDB;
  m_pDB = nullptr;
  for (CArticle* article : m_articles) delete article;
  m_articles.clear();
  ArticleTypeTable().clear();
  // A host (or a test) may build a fresh facade once this one is gone.
  if (_instance == this) _instance = nullptr;
}

void CDARU::ReleaseModel() {
  delete m_pLabelTree;
  m_pLabelTree = nullptr;
  delete m_pDB;
  m_pDB = nullptr;
  ArticleTypeTable().clear();
  m_bReady = false;
}

bool CDARU::Init() {
  if (m_bReady) return true;
  return Init(CreateStore(kSQLiteStore));
}

bool CDARU::Init(CDB* store) {
  if (m_bReady) {
    delete store;
    return true;
  }
  // A retry after a failure starts over on a fresh store.
  ReleaseModel();
  m_pDB = store;
  if (m_pDB == nullptr || !m_pDB->InitDB()) return false;
  m_pLabelTree = CLabelTree::Instance(m_pDB);
  if (m_pLabelTree == nullptr) return false;
  m_pLabelTree->SetDB(m_pDB);
  if (!m_pLabelTree->LoadLabelTree() || !LoadArticleType()) return false;
  m_bReady = true;
  return true;
}

std::u16string CDARU::GetLastDBError() { return m_pDB ? m_pDB->GetLastDBError() : std::u16string(); }

bool CDARU::LoadArticleType() { return m_pDB != nullptr && m_pDB->QueryArticleType(ArticleTypeTable()); }

namespace {

// The digest is fetched from its provider once: the legacy accessor leaves
// the search for an implementation to every digest computed with it.
const EVP_MD* Md5Digest() {
  static const std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> fetched(EVP_MD_fetch(nullptr, "MD5", nullptr),
                                                                       &EVP_MD_free);
  return fetched ? fetched.get() : EVP_md5();
}

}  // namespace

std::string CDARU::MD5(const std::u16string& text) {
  // The whole link is hashed, however long, so every link keeps a folder of its own.
  const std::string bytes = ToUtf8(text);
  const EVP_MD* md = Md5Digest();
  if (md == nullptr) return {};
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, md, nullptr) != 1 || size != 16) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(2 * size);
  for (unsigned int i = 0; i < size; ++i) {
    out.push_back(kHex[digest[i] >> 4]);
    out.push_back(kHex[digest[i] & 0x0F]);
  }
  return out;
}

CArticle* CDARU::FindListed(const std::u16string& filename) {
  for (CArticle* article : m_articles)
    if (article->filename == filename) return article;
  return nullptr;
}

CArticle* CDARU::AddArticle(CLabel* label, std::u16string url, std::u16string title, std::u16string keywords,
                            std::u16string type, int& result, bool storeUrl) {
  const int request = result;
  if (label == nullptr || FindArticlePath(type).empty()) {
    result = -1;
    return nullptr;
  }
  const std::string digest = MD5(url);
  if (digest.empty() || m_pDB == nullptr) {
    result = -3;
    return nullptr;
  }
  const std::u16string folder(digest.begin(), digest.end());  // ASCII digits widen unit by unit

  CArticle pattern;
  pattern.filename = folder;
  std::vector<CArticle*> found;
  const bool queried = m_pDB->QueryArticle(found, pattern, kArticleMaskFilename, true);
  CArticle* existing = nullptr;
  for (CArticle* article : found) {
    if (queried && existing == nullptr && article->filename == folder)
      existing = article;
    else
      delete article;
  }
  if (!queried) {
    result = -3;
    return nullptr;
  }

  if (existing) {
    if (label == m_pCurLabel) {
      if (CArticle* listed = FindListed(folder)) {
        delete existing;
        result = 1;
        return listed;
      }
      m_articles.push_back(existing);
    }
    if (request <= 0) {
      result = 2;
      return existing;
    }
    // The link and the count in one step: a kill or another process in
    // between would leave the count off.
    switch (m_pDB->FileArticle(*existing, label->labelid)) {
      case 1:
        result = 3;
        break;
      case 0:
        result = 1;
        break;
      default:
        result = -1;
        break;
    }
    return existing;
  }

  CArticle* article = new CArticle();
  article->filename = folder;
  article->url = storeUrl ? std::move(url) : std::u16string();
  article->title = std::move(title);
  article->type = std::move(type);
  article->label = label->labelid;
  article->key1 = std::move(keywords);
  article->crdate.SetNowTime();
  article->descfile = article->GetDescriptionFilename();
  if (!m_pDB->AddArticle(*article)) {
    delete article;
    result = -3;
    return nullptr;
  }
  // The row holds one label and version 1; the record must say the same, or
  // its first update would write a label count of 0 and let the article be
  // swept away with an unrelated label.
  article->labels = 1;
  article->version = 1;
  if (label == m_pCurLabel) m_articles.push_back(article);
  result = 0;
  return article;
}

int CDARU::AddArticle(CArticle* article, CLabel* label) {
  if (article == nullptr || label == nullptr || m_pDB == nullptr) return -1;
  CLabelToArticle link(label->labelid, article->articleid);
  if (m_pDB->QueryLabelToArticle(link)) return 1;
  return m_pDB->AddLabelToArticle(link) ? 0 : -1;
}

CArticle* CDARU::AddArticle(CLabel*, std::u16string, std::u16string, std::u16string) { return nullptr; }

bool CDARU::UpdateArticle(CArticle& article) { return m_pDB != nullptr && m_pDB->UpdateArticle(article); }

bool CDARU::DeleteArticle(CArticle* article, CLabel* label) {
  if (m_pDB == nullptr || !m_pDB->DeleteArticle(article, label)) return false;
  auto it = std::find(m_articles.begin(), m_articles.end(), article);
  if (it != m_articles.end()) {
    m_articles.erase(it);
    delete article;
  }
  return true;
}

int CDARU::QueryArticle(CArticle pattern, unsigned mask, bool like) {
  for (CArticle* article : m_articles) delete article;
  m_articles.clear();
  if (m_pDB == nullptr || !m_pDB->QueryArticle(m_articles, std::move(pattern), mask, like)) return -1;
  return static_cast<int>(m_articles.size());
}

int CDARU::QueryArticle(CLabel* label, CArticle pattern, unsigned mask) {
  for (CArticle* article : m_articles) delete article;
  m_articles.clear();
  if (label == nullptr || m_pDB == nullptr) return -1;
  if (!m_pDB->QueryArticle(m_articles, label, std::move(pattern), mask)) return -1;
  return static_cast<int>(m_articles.size());
}

std::u16string CDARU::FindArticlePath(std::u16string type) { return FindTypePath(type); }
