#pragma once

#include "core/Article.h"
#include "core/Records.h"
#include "storage/SqlStatement.h"

// Every statement the stores run on the catalogue, as templates with their
// values. The statements are the catalogue's format: the columns are read by
// position, and a store over any engine runs these same statements.
class CCatalogueStatements {
 public:
  static CSqlStatement InsertLabel(const CLabel& label);
  static CSqlStatement UpdateLabel(const CLabel& label);
  // One field of the label, the other left as it is.
  static CSqlStatement RenameLabel(const CLabel& label);
  static CSqlStatement MoveLabel(const CLabel& label);
  static CSqlStatement ParentOf(int labelid);
  static CSqlStatement CountLabels();
  static CSqlStatement DeleteLabel(int labelid);
  // Bits of kLabelMask* combined with AND; 0 gives every label, parents first.
  static CSqlStatement QueryLabel(const CLabel& pattern, unsigned mask);

  static CSqlStatement QueryArticleType();

  static CSqlStatement FindLink(int articleid, int labelid);
  static CSqlStatement InsertLink(int articleid, int labelid);
  static CSqlStatement DeleteLink(int articleid, int labelid);
  static CSqlStatement LinksOfLabel(int labelid);
  static CSqlStatement DeleteLinksOfLabel(int labelid);
  static CSqlStatement DeleteLinksOfArticle(int articleid);

  // Take the record as it is: its times are normalised on the way, as they are written.
  static CSqlStatement InsertArticle(CArticle& article);
  static CSqlStatement UpdateArticle(CArticle& article);
  // The ids of the articles with the folder name, oldest first.
  static CSqlStatement ArticlesNamed(const std::u16string& filename);
  static CSqlStatement ArticlesOfLabel(int labelid);
  // Bits of kArticleMask* combined with AND; like makes title and keywords
  // match anywhere in the column. 0 gives every article.
  static CSqlStatement QueryArticle(const CArticle& pattern, unsigned mask, bool like);
  static CSqlStatement SetLabelCount(int articleid, int labels);
  // Sets the label count to the number of links, and reads that number.
  static CSqlStatement Recount(int articleid);
  static CSqlStatement CountLinks(int articleid);
  static CSqlStatement DeleteArticle(int articleid);
};
