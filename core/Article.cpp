#include "core/Article.h"

#include "core/ArticleLocations.h"
#include "core/ContentFileWork.h"

namespace {

// Constant-initialised, so the content files may install their work from
// any load-time initialiser, whatever the order.
constinit const CContentFileWork* g_contentFileWork = nullptr;

}  // namespace

void InstallContentFileWork(const CContentFileWork* work) { g_contentFileWork = work; }

const CContentFileWork* ContentFileWork() { return g_contentFileWork; }

CArticle::CArticle() : articleid(0), labels(0), label(0), version(0), readflag(false), impflag(false) {}

CArticle::CArticle(const CArticle& other) = default;

CArticle& CArticle::operator=(const CArticle& other) = default;

CArticle::~CArticle() = default;

std::u16string CArticle::GetDescriptionFilename() { return DescriptionFilePath(type, filename); }

bool CArticle::CreateDescriptionFile(std::u16string folderOrType, bool useFolder) {
  if (const CContentFileWork* work = ContentFileWork())
    return work->createDescriptionFile(*this, folderOrType, useFolder);
  return CItemExecute::CreateDescriptionFile(std::move(folderOrType), useFolder);
}

bool CArticle::DescriptionFileIsUnreadable() {
  const CContentFileWork* work = ContentFileWork();
  return work != nullptr && work->descriptionFileIsUnreadable(*this);
}

std::u16string CArticle::LoadDescription() {
  if (const CContentFileWork* work = ContentFileWork()) return work->loadDescription(*this);
  return CItemExecute::LoadDescription();
}

std::u16string CArticle::LoadComment() {
  if (const CContentFileWork* work = ContentFileWork()) return work->loadComment(*this);
  return CItemExecute::LoadComment();
}

bool CArticle::LoadRssSubItem() {
  const CContentFileWork* work = ContentFileWork();
  return work != nullptr && work->loadRssSubItem(*this);
}

bool CArticle::LoadFeedDataToKeep() {
  // A sub-record attached before is the caller's business: left as it is.
  if (CRSSSubItem* attached = GetRSSSubItem()) return attached->HasData();
  LoadRssSubItem();
  CRSSSubItem* feed = GetRSSSubItem();
  if (feed == nullptr) return false;
  if (feed->HasData()) return true;
  SetRSSSubItem(nullptr);  // hands the record back without deleting it
  delete feed;
  return false;
}

void CArticle::CreateMime(std::u16string source) {
  if (const CContentFileWork* work = ContentFileWork()) {
    work->createMime(*this, source);
    return;
  }
  CItemExecute::CreateMime(std::move(source));
}
