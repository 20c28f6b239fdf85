#pragma once

#include "core/Article.h"

// Removes the description file and the folder of an article whose row is
// gone with its last label. Catalogue rows are not trusted: nothing outside
// the article's type folder is touched.
void RemoveArticleFiles(const CArticle& article);
