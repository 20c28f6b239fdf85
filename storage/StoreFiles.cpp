#include "storage/StoreFiles.h"

#include "content/PathOps.h"
#include "core/ArticleLocations.h"
#include "core/DARU.h"

void RemoveArticleFiles(const CArticle& article) {
  CDARU* daru = CDARU::Instance();
  if (daru == nullptr) return;
  if (!IsSafeTypePath(daru->FindArticlePath(article.type)) || !IsSafeFolderName(article.filename)) return;
  std::u16string folder = GetTypeFolder(article.type) + u"/" + article.filename;
  std::u16string descfile = folder + u".xml";
  if (PathExists(descfile, true)) DeletePath(descfile, true);
  if (FolderExists(folder)) DeletePath(folder, false);
}
