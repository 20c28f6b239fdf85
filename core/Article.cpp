#include "core/Article.h"

#include "core/ArticleLocations.h"

CArticle::CArticle() : articleid(0), labels(0), label(0), version(0), readflag(false), impflag(false) {}

CArticle::CArticle(const CArticle& other) = default;

CArticle& CArticle::operator=(const CArticle& other) {
  if (this == &other) return *this;
  CItemExecute::operator=(other);
  articleid = other.articleid;
  filename = other.filename;
  url = other.url;
  title = other.title;
  key1 = other.key1;
  type = other.type;
  descfile = other.descfile;
  mimefile = other.mimefile;
  labels = other.labels;
  label = other.label;
  version = other.version;
  crdate = other.crdate;
  brdate = other.brdate;
  lmdate = other.lmdate;
  readflag = other.readflag;
  impflag = other.impflag;
  return *this;
}

CArticle::~CArticle() = default;

std::u16string CArticle::GetDescriptionFilename() { return DescriptionFilePath(type, filename); }
