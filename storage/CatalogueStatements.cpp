#include "storage/CatalogueStatements.h"

namespace {

const char16_t* Flag(bool value) { return value ? u"T" : u"F"; }

// A LIKE pattern that finds the text anywhere in the column; % and _ inside
// the text keep their meaning as wildcards.
std::u16string Anywhere(const std::u16string& text) { return u"%" + text + u"%"; }

// Joins the conditions of a pattern query with AND.
class CConditions {
 public:
  explicit CConditions(CSqlStatement& statement) : m_statement(statement) {}
  CSqlStatement& Add(const char16_t* condition) {
    if (!m_first) m_statement.Sql(u" AND ");
    m_first = false;
    return m_statement.Sql(condition);
  }

 private:
  CSqlStatement& m_statement;  // borrowed: the statement being built
  bool m_first = true;
};

}  // namespace

CSqlStatement CCatalogueStatements::InsertLabel(const CLabel& label) {
  return CSqlStatement(u"INSERT INTO label(name,toplayer)  VALUES(?,?)").Text(label.name).Int(label.toplayer);
}

CSqlStatement CCatalogueStatements::UpdateLabel(const CLabel& label) {
  return CSqlStatement(u"UPDATE label SET name=?,toplayer=? WHERE labelid=?")
      .Text(label.name)
      .Int(label.toplayer)
      .Int(label.labelid);
}

CSqlStatement CCatalogueStatements::RenameLabel(const CLabel& label) {
  return CSqlStatement(u"UPDATE label SET name=? WHERE labelid=?").Text(label.name).Int(label.labelid);
}

CSqlStatement CCatalogueStatements::MoveLabel(const CLabel& label) {
  return CSqlStatement(u"UPDATE label SET toplayer=? WHERE labelid=?").Int(label.toplayer).Int(label.labelid);
}

CSqlStatement CCatalogueStatements::ParentOf(int labelid) {
  return CSqlStatement(u"SELECT toplayer FROM label WHERE labelid=?").Int(labelid);
}

CSqlStatement CCatalogueStatements::CountLabels() { return CSqlStatement(u"SELECT COUNT(*) FROM label"); }

CSqlStatement CCatalogueStatements::DeleteLabel(int labelid) {
  return CSqlStatement(u"DELETE FROM label WHERE labelid=?").Int(labelid);
}

CSqlStatement CCatalogueStatements::QueryLabel(const CLabel& pattern, unsigned mask) {
  if (mask == 0) return CSqlStatement(u"SELECT * FROM label order by toplayer,labelid");
  CSqlStatement statement(u"SELECT * FROM label WHERE ");
  CConditions where(statement);
  if (mask & kLabelMaskID) where.Add(u"labelid=?").Int(pattern.labelid);
  if (mask & kLabelMaskName) where.Add(u"name=?").Text(pattern.name);
  if (mask & kLabelMaskParent) where.Add(u"toplayer=?").Int(pattern.toplayer);
  return statement;
}

CSqlStatement CCatalogueStatements::QueryArticleType() { return CSqlStatement(u"SELECT * FROM articletype"); }

CSqlStatement CCatalogueStatements::FindLink(int articleid, int labelid) {
  return CSqlStatement(u"SELECT * FROM articletolabel WHERE articleid=? AND labelid=?").Int(articleid).Int(labelid);
}

CSqlStatement CCatalogueStatements::InsertLink(int articleid, int labelid) {
  return CSqlStatement(u"INSERT INTO articletolabel(articleid,labelid) VALUES(?,?)").Int(articleid).Int(labelid);
}

CSqlStatement CCatalogueStatements::DeleteLink(int articleid, int labelid) {
  return CSqlStatement(u"DELETE FROM articletolabel WHERE articleid=? AND labelid=?").Int(articleid).Int(labelid);
}

CSqlStatement CCatalogueStatements::LinksOfLabel(int labelid) {
  return CSqlStatement(u"SELECT * FROM articletolabel WHERE labelid=?").Int(labelid);
}

CSqlStatement CCatalogueStatements::DeleteLinksOfLabel(int labelid) {
  return CSqlStatement(u"DELETE FROM articletolabel WHERE labelid=?").Int(labelid);
}

CSqlStatement CCatalogueStatements::DeleteLinksOfArticle(int articleid) {
  return CSqlStatement(u"DELETE FROM articletolabel WHERE articleid=?").Int(articleid);
}

CSqlStatement CCatalogueStatements::InsertArticle(CArticle& article) {
  // A new article is held by one label, at version 1, with the read flag "T"
  // and the important flag "F", never read or modified.
  return CSqlStatement(
             u"INSERT INTO article( url,filename,title,key1,type,labels,label,version,readflag,impflag, crdate,brdate, "
             u"lmdate ) VALUES(?,?,?,?,?,?, ?, ?,?,?, ?,?,?)")
      .Text(article.url)
      .Text(article.filename)
      .Text(article.title)
      .Text(article.key1)
      .Text(article.type)
      .Int(1)
      .Int(article.label)
      .Int(1)
      .Text(u"T")
      .Text(u"F")
      .Int(article.crdate.GetTimeLong())
      .Int(0)
      .Int(0);
}

CSqlStatement CCatalogueStatements::UpdateArticle(CArticle& article) {
  return CSqlStatement(
             u"UPDATE article SET title=?,key1=?,labels=?,version=?,readflag=?,impflag=?, crdate=?, brdate=?, lmdate=? "
             u"WHERE articleid=?")
      .Text(article.title)
      .Text(article.key1)
      .Int(article.labels)
      .Int(article.version)
      .Text(Flag(article.readflag))
      .Text(Flag(article.impflag))
      .Int(article.crdate.GetTimeLong())
      .Int(article.brdate.GetTimeLong())
      .Int(article.lmdate.GetTimeLong())
      .Int(article.articleid);
}

CSqlStatement CCatalogueStatements::ArticlesNamed(const std::u16string& filename) {
  return CSqlStatement(u"SELECT articleid FROM article WHERE filename=? ORDER BY articleid").Text(filename);
}

CSqlStatement CCatalogueStatements::ArticlesOfLabel(int labelid) {
  return CSqlStatement(
             u"SELECT article.* FROM article,articletolabel WHERE article.articleid=articletolabel.articleid AND "
             u"articletolabel.labelid=?")
      .Int(labelid);
}

CSqlStatement CCatalogueStatements::QueryArticle(const CArticle& pattern, unsigned mask, bool like) {
  if (mask == 0) return CSqlStatement(u"SELECT * FROM article");
  CSqlStatement statement(u"SELECT * FROM article WHERE ");
  CConditions where(statement);
  if (mask & kArticleMaskID) where.Add(u"articleid=?").Int(pattern.articleid);
  if (mask & kArticleMaskTitle) {
    if (like)
      where.Add(u"title LIKE ?").Text(Anywhere(pattern.title));
    else
      where.Add(u"title=?").Text(pattern.title);
  }
  if (mask & kArticleMaskFilename) where.Add(u"filename=?").Text(pattern.filename);
  if (mask & kArticleMaskKeywords) {
    if (like)
      where.Add(u"key1 LIKE ?").Text(Anywhere(pattern.key1));
    else
      where.Add(u"key1=?").Text(pattern.key1);
  }
  return statement;
}

CSqlStatement CCatalogueStatements::Recount(int articleid) {
  return CSqlStatement(u"UPDATE article SET labels=(SELECT COUNT(*) FROM articletolabel WHERE articleid=?) "
                       u"WHERE articleid=?")
      .Int(articleid)
      .Int(articleid);
}

CSqlStatement CCatalogueStatements::CountLinks(int articleid) {
  return CSqlStatement(u"SELECT COUNT(*) FROM articletolabel WHERE articleid=?").Int(articleid);
}

CSqlStatement CCatalogueStatements::SetLabelCount(int articleid, int labels) {
  return CSqlStatement(u"UPDATE article SET labels=? WHERE articleid=?").Int(labels).Int(articleid);
}

CSqlStatement CCatalogueStatements::DeleteArticle(int articleid) {
  return CSqlStatement(u"DELETE FROM article WHERE articleid=?").Int(articleid);
}

