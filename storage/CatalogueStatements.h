#pragma once

#include <string>
#include <string_view>

#include "core/Article.h"
#include "core/Records.h"
#include "storage/CatalogueEngine.h"
#include "storage/SqlStatement.h"

// Every statement the stores run on the catalogue, as templates with their
// values, spelt in one engine's dialect (its table names, its pattern
// match). The statements are the catalogue's format: the columns are read by
// position, and a store over any engine runs these same statements.
class CCatalogueStatements {
 public:
  explicit CCatalogueStatements(const CCatalogueDialect& dialect) : m_d(dialect) {}

  CSqlStatement InsertLabel(const CLabel& label) const;
  CSqlStatement UpdateLabel(const CLabel& label) const;
  // One field of the label, the other left as it is.
  CSqlStatement RenameLabel(const CLabel& label) const;
  CSqlStatement MoveLabel(const CLabel& label) const;
  CSqlStatement ParentOf(int labelid) const;
  CSqlStatement CountLabels() const;
  CSqlStatement DeleteLabel(int labelid) const;
  // Bits of kLabelMask* combined with AND; 0 gives every label, parents first.
  CSqlStatement QueryLabel(const CLabel& pattern, unsigned mask) const;

  CSqlStatement QueryArticleType() const;

  CSqlStatement FindLink(int articleid, int labelid) const;
  CSqlStatement InsertLink(int articleid, int labelid) const;
  CSqlStatement DeleteLink(int articleid, int labelid) const;
  CSqlStatement LinksOfLabel(int labelid) const;
  CSqlStatement DeleteLinksOfLabel(int labelid) const;
  CSqlStatement DeleteLinksOfArticle(int articleid) const;

  // Take the record as it is: its times are normalised on the way, as they are written.
  CSqlStatement InsertArticle(CArticle& article, bool read = true, bool important = false) const;
  CSqlStatement UpdateArticle(CArticle& article) const;
  // The ids of the articles with the folder name, oldest first.
  CSqlStatement ArticlesNamed(const std::u16string& filename) const;
  // Article queries give the fourteen columns of the article table in their
  // order; packed asks for each row as one text in the dialect's packing.
  CSqlStatement ArticlesOfLabel(int labelid, bool packed = false) const;
  // Bits of kArticleMask* combined with AND; like makes title and keywords
  // match anywhere in the column. 0 gives every article.
  CSqlStatement QueryArticle(const CArticle& pattern, unsigned mask, bool like, bool packed = false) const;
  CSqlStatement SetLabelCount(int articleid, int labels) const;
  // Sets the label count to the number of links.
  CSqlStatement Recount(int articleid) const;
  CSqlStatement CountLinks(int articleid) const;
  CSqlStatement DeleteArticle(int articleid) const;

 private:
  // The select list of an article query.
  std::u16string ArticleColumns(bool packed, bool qualified) const;

  const CCatalogueDialect& m_d;  // borrowed: the engine's, which outlives the statements built
};
