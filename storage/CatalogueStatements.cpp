#include "storage/CatalogueStatements.h"

#include <initializer_list>

namespace {

const char16_t* Flag(bool value) { return value ? u"T" : u"F"; }

// A LIKE pattern that finds the text anywhere in the column; % and _ inside
// the text keep their meaning as wildcards.
std::u16string Anywhere(const std::u16string& text) { return u"%" + text + u"%"; }

// A template from its pieces: fixed text and the dialect's names.
CSqlStatement Template(std::initializer_list<std::u16string_view> pieces) {
  std::u16string text;
  for (std::u16string_view piece : pieces) text += piece;
  return CSqlStatement(text);
}

// Joins the conditions of a pattern query with AND.
class CConditions {
 public:
  explicit CConditions(CSqlStatement& statement) : m_statement(statement) {}
  CSqlStatement& Add(std::u16string_view condition, std::u16string_view operand = {}) {
    if (!m_first) m_statement.Sql(u" AND ");
    m_first = false;
    m_statement.Sql(condition);
    return m_statement.Sql(operand);
  }

 private:
  CSqlStatement& m_statement;  // borrowed: the statement being built
  bool m_first = true;
};

// The article table's columns in their order.
constexpr std::u16string_view kArticleColumnNames[] = {u"articleid", u"filename", u"url",    u"title",   u"key1",
                                                       u"type",      u"labels",   u"label",  u"version", u"readflag",
                                                       u"impflag",   u"crdate",   u"brdate", u"lmdate"};

}  // namespace

CSqlStatement CCatalogueStatements::InsertLabel(const CLabel& label) const {
  return Template({u"INSERT INTO ", m_d.label, u"(name,toplayer)  VALUES(?,?)"}).Text(label.name).Int(label.toplayer);
}

CSqlStatement CCatalogueStatements::UpdateLabel(const CLabel& label) const {
  return Template({u"UPDATE ", m_d.label, u" SET name=?,toplayer=? WHERE labelid=?"})
      .Text(label.name)
      .Int(label.toplayer)
      .Int(label.labelid);
}

CSqlStatement CCatalogueStatements::RenameLabel(const CLabel& label) const {
  return Template({u"UPDATE ", m_d.label, u" SET name=? WHERE labelid=?"}).Text(label.name).Int(label.labelid);
}

CSqlStatement CCatalogueStatements::MoveLabel(const CLabel& label) const {
  return Template({u"UPDATE ", m_d.label, u" SET toplayer=? WHERE labelid=?"}).Int(label.toplayer).Int(label.labelid);
}

CSqlStatement CCatalogueStatements::ParentOf(int labelid) const {
  return Template({u"SELECT toplayer FROM ", m_d.label, u" WHERE labelid=?"}).Int(labelid);
}

CSqlStatement CCatalogueStatements::CountLabels() const { return Template({u"SELECT COUNT(*) FROM ", m_d.label}); }

CSqlStatement CCatalogueStatements::DeleteLabel(int labelid) const {
  return Template({u"DELETE FROM ", m_d.label, u" WHERE labelid=?"}).Int(labelid);
}

CSqlStatement CCatalogueStatements::QueryLabel(const CLabel& pattern, unsigned mask) const {
  if (mask == 0) return Template({u"SELECT * FROM ", m_d.label, u" order by toplayer,labelid"});
  CSqlStatement statement = Template({u"SELECT * FROM ", m_d.label, u" WHERE "});
  CConditions where(statement);
  if (mask & kLabelMaskID) where.Add(u"labelid=?").Int(pattern.labelid);
  if (mask & kLabelMaskName) where.Add(u"name=?").Text(pattern.name);
  if (mask & kLabelMaskParent) where.Add(u"toplayer=?").Int(pattern.toplayer);
  return statement;
}

CSqlStatement CCatalogueStatements::QueryArticleType() const { return Template({u"SELECT * FROM ", m_d.type}); }

CSqlStatement CCatalogueStatements::FindLink(int articleid, int labelid) const {
  return Template({u"SELECT * FROM ", m_d.link, u" WHERE articleid=? AND labelid=?"}).Int(articleid).Int(labelid);
}

CSqlStatement CCatalogueStatements::InsertLink(int articleid, int labelid) const {
  return Template({u"INSERT INTO ", m_d.link, u"(articleid,labelid) VALUES(?,?)"}).Int(articleid).Int(labelid);
}

CSqlStatement CCatalogueStatements::DeleteLink(int articleid, int labelid) const {
  return Template({u"DELETE FROM ", m_d.link, u" WHERE articleid=? AND labelid=?"}).Int(articleid).Int(labelid);
}

CSqlStatement CCatalogueStatements::LinksOfLabel(int labelid) const {
  return Template({u"SELECT * FROM ", m_d.link, u" WHERE labelid=?"}).Int(labelid);
}

CSqlStatement CCatalogueStatements::DeleteLinksOfLabel(int labelid) const {
  return Template({u"DELETE FROM ", m_d.link, u" WHERE labelid=?"}).Int(labelid);
}

CSqlStatement CCatalogueStatements::DeleteLinksOfArticle(int articleid) const {
  return Template({u"DELETE FROM ", m_d.link, u" WHERE articleid=?"}).Int(articleid);
}

CSqlStatement CCatalogueStatements::InsertArticle(CArticle& article, bool read, bool important) const {
  // A new article is held by one label, at version 1, with the marks given
  // (a saved page: read, not important), never read or modified.
  return Template({u"INSERT INTO ", m_d.article,
                   u"( url,filename,title,key1,type,labels,label,version,readflag,impflag, crdate,brdate, "
                   u"lmdate ) VALUES(?,?,?,?,?,?, ?, ?,?,?, ?,?,?)"})
      .Text(article.url)
      .Text(article.filename)
      .Text(article.title)
      .Text(article.key1)
      .Text(article.type)
      .Int(1)
      .Int(article.label)
      .Int(1)
      .Text(Flag(read))
      .Text(Flag(important))
      .Int(article.crdate.GetTimeLong())
      .Int(0)
      .Int(0);
}

CSqlStatement CCatalogueStatements::UpdateArticle(CArticle& article) const {
  return Template({u"UPDATE ", m_d.article,
                   u" SET title=?,key1=?,labels=?,version=?,readflag=?,impflag=?, crdate=?, brdate=?, lmdate=? "
                   u"WHERE articleid=?"})
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

CSqlStatement CCatalogueStatements::ArticlesNamed(const std::u16string& filename) const {
  return Template({u"SELECT articleid FROM ", m_d.article, u" WHERE filename=? ORDER BY articleid"}).Text(filename);
}

std::u16string CCatalogueStatements::ArticleColumns(bool packed, bool qualified) const {
  if (!packed || m_d.packing == CCatalogueDialect::RowPacking::None)
    return qualified ? m_d.article + u".*" : std::u16string(u"*");
  // Named one by one: PostgreSQL forms a row of named columns faster than
  // it copies the table's whole row.
  std::u16string columns = m_d.packing == CCatalogueDialect::RowPacking::JsonArray ? u"json_array(" : u"ROW(";
  for (std::u16string_view name : kArticleColumnNames) {
    if (columns.back() != u'(') columns += u',';
    columns += m_d.article;
    columns += u'.';
    columns += name;
  }
  return columns + u")";
}

CSqlStatement CCatalogueStatements::ArticlesOfLabel(int labelid, bool packed) const {
  const std::u16string& a = m_d.article;
  const std::u16string& l = m_d.link;
  return Template({u"SELECT ", ArticleColumns(packed, true), u" FROM ", a, u",", l, u" WHERE ", a, u".articleid=", l,
                   u".articleid AND ", l, u".labelid=?"})
      .Int(labelid);
}

CSqlStatement CCatalogueStatements::QueryArticle(const CArticle& pattern, unsigned mask, bool like, bool packed) const {
  CSqlStatement statement = Template({u"SELECT ", ArticleColumns(packed, false), u" FROM ", m_d.article});
  if (mask == 0) return statement;
  statement.Sql(u" WHERE ");
  CConditions where(statement);
  if (mask & kArticleMaskID) where.Add(u"articleid=?").Int(pattern.articleid);
  if (mask & kArticleMaskTitle) {
    if (like)
      where.Add(u"title ", m_d.like).Text(Anywhere(pattern.title));
    else
      where.Add(u"title=?").Text(pattern.title);
  }
  if (mask & kArticleMaskFilename) where.Add(u"filename=?").Text(pattern.filename);
  if (mask & kArticleMaskKeywords) {
    if (like)
      where.Add(u"key1 ", m_d.like).Text(Anywhere(pattern.key1));
    else
      where.Add(u"key1=?").Text(pattern.key1);
  }
  return statement;
}

CSqlStatement CCatalogueStatements::Recount(int articleid) const {
  return Template({u"UPDATE ", m_d.article, u" SET labels=(SELECT COUNT(*) FROM ", m_d.link,
                   u" WHERE articleid=?) WHERE articleid=?"})
      .Int(articleid)
      .Int(articleid);
}

CSqlStatement CCatalogueStatements::CountLinks(int articleid) const {
  return Template({u"SELECT COUNT(*) FROM ", m_d.link, u" WHERE articleid=?"}).Int(articleid);
}

CSqlStatement CCatalogueStatements::SetLabelCount(int articleid, int labels) const {
  return Template({u"UPDATE ", m_d.article, u" SET labels=? WHERE articleid=?"}).Int(labels).Int(articleid);
}

CSqlStatement CCatalogueStatements::DeleteArticle(int articleid) const {
  return Template({u"DELETE FROM ", m_d.article, u" WHERE articleid=?"}).Int(articleid);
}
