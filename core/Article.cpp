#include "core/Article.h"

#include "core/ArticleLocations.h"

CArticle::CArticle() : articleid(0), labels(0), label(0), version(0), readflag(false), impflag(false) {}

CArticle::CArticle(const CArticle& other) = default;

CArticle& CArticle::operator=(const CArticle& other) = default;

CArticle::~CArticle() = default;

std::u16string CArticle::GetDescriptionFilename() { return DescriptionFilePath(type, filename); }
