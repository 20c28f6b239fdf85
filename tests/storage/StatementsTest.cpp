#include <gtest/gtest.h>

#include "core/Article.h"
#include "storage/CatalogueStatements.h"
#include "storage/OdbcEngine.h"
#include "storage/SqlStatement.h"
#include "storage/SqliteEngine.h"

namespace {

const CCatalogueDialect& SqliteStore() {
  static CSqliteEngine engine;
  return engine.Dialect();
}
const CCatalogueDialect kOdbcSqlite = COdbcEngine::DialectOf(COdbcConnection::Dialect::SQLite);
const CCatalogueDialect kPostgres = COdbcEngine::DialectOf(COdbcConnection::Dialect::PostgreSQL);

}  // namespace

TEST(SqlStatement, RendersValuesAsLiteralsWithQuotesDoubled) {
  CSqlStatement s(u"UPDATE t SET a=?, b=? WHERE c='?' AND d=?");
  s.Text(u"it's").Int(-7).Text(u"");
  EXPECT_EQ(s.Render(), u"UPDATE t SET a='it''s', b=-7 WHERE c='?' AND d=''");
  EXPECT_EQ(s.Template(), u"UPDATE t SET a=?, b=? WHERE c='?' AND d=?");
  ASSERT_EQ(s.Values().size(), 3u);
}

TEST(CatalogueStatements, PatternQueriesJoinTheirConditionsInMaskOrder) {
  const CCatalogueStatements sql(SqliteStore());
  CLabel label;
  label.labelid = 9;
  label.name = u"O'Brien";
  label.toplayer = 3;
  EXPECT_EQ(sql.QueryLabel(label, 0).Render(), u"SELECT * FROM label order by toplayer,labelid");
  EXPECT_EQ(sql.QueryLabel(label, kLabelMaskName | kLabelMaskParent).Render(),
            u"SELECT * FROM label WHERE name='O''Brien' AND toplayer=3");
  EXPECT_EQ(sql.QueryLabel(label, kLabelMaskID).Render(), u"SELECT * FROM label WHERE labelid=9");
  // Bits the query does not know leave no condition: the statement is refused by the engine.
  EXPECT_EQ(sql.QueryLabel(label, 8).Render(), u"SELECT * FROM label WHERE ");

  CArticle a;
  a.articleid = 4;
  a.title = u"50%";
  a.filename = u"f";
  a.key1 = u"k";
  EXPECT_EQ(sql.QueryArticle(a, kArticleMaskTitle | kArticleMaskKeywords, true).Render(),
            u"SELECT * FROM article WHERE title LIKE '%50%%' AND key1 LIKE '%k%'");
  EXPECT_EQ(sql.QueryArticle(a, kArticleMaskID | kArticleMaskTitle | kArticleMaskFilename, false).Render(),
            u"SELECT * FROM article WHERE articleid=4 AND title='50%' AND filename='f'");
  // The folder name always compares for equality.
  EXPECT_EQ(sql.QueryArticle(a, kArticleMaskFilename, true).Render(), u"SELECT * FROM article WHERE filename='f'");
  EXPECT_EQ(sql.QueryArticle(a, 0, true).Render(), u"SELECT * FROM article");
}

TEST(CatalogueStatements, NewArticlesStartWithOneLabelAtVersionOne) {
  CArticle a;
  a.url = u"u";
  a.filename = u"f";
  a.title = u"t";
  a.type = u"B";
  a.label = 5;
  EXPECT_EQ(CCatalogueStatements(SqliteStore()).InsertArticle(a).Render(),
            u"INSERT INTO article( url,filename,title,key1,type,labels,label,version,readflag,impflag, crdate,brdate, "
            u"lmdate ) VALUES('u','f','t','','B',1, 5, 1,'T','F', 0,0,0)");
}

TEST(CatalogueStatements, EachDialectSpellsTheSameStatementsOnItsOwnTables) {
  const CCatalogueStatements odbc(kOdbcSqlite);
  EXPECT_EQ(
      odbc.ArticlesOfLabel(3).Template(),
      u"SELECT 文章表.* FROM 文章表,文章标签表 WHERE 文章表.articleid=文章标签表.articleid AND 文章标签表.labelid=?");
  CArticle article;
  // The column "label" keeps its name; only the table is another.
  EXPECT_EQ(odbc.InsertArticle(article).Template(),
            u"INSERT INTO 文章表( url,filename,title,key1,type,labels,label,version,readflag,impflag, crdate,brdate, "
            u"lmdate ) VALUES(?,?,?,?,?,?, ?, ?,?,?, ?,?,?)");
  EXPECT_EQ(odbc.Recount(1).Template(),
            u"UPDATE 文章表 SET labels=(SELECT COUNT(*) FROM 文章标签表 WHERE articleid=?) WHERE articleid=?");
  EXPECT_EQ(odbc.QueryArticleType().Template(), u"SELECT * FROM 文章类型表");
  EXPECT_EQ(CCatalogueStatements(kPostgres).QueryLabel(CLabel(), 0).Template(),
            u"SELECT * FROM 标签表 order by toplayer,labelid");

  // PostgreSQL matches case-blind with a backslash as a character, as SQLite's LIKE does.
  CArticle pattern;
  pattern.title = u"a\\b";
  CSqlStatement like = CCatalogueStatements(kPostgres).QueryArticle(pattern, 2 | 8, true);
  EXPECT_EQ(like.Template(), u"SELECT * FROM 文章表 WHERE title ILIKE ? ESCAPE '' AND key1 ILIKE ? ESCAPE ''");
  EXPECT_EQ(like.Values().size(), 2u);
  EXPECT_EQ(odbc.QueryArticle(pattern, 2, true).Template(), u"SELECT * FROM 文章表 WHERE title LIKE ?");
}

TEST(CatalogueStatements, PackedArticleQueriesAskForTheFourteenColumnsAsOneText) {
  const std::u16string columns =
      u"(文章表.articleid,文章表.filename,文章表.url,文章表.title,文章表.key1,文章表.type,文章表.labels,文章表.label,"
      u"文章表.version,文章表.readflag,文章表.impflag,文章表.crdate,文章表.brdate,文章表.lmdate)";
  CArticle pattern;
  pattern.filename = u"f";
  EXPECT_EQ(CCatalogueStatements(kPostgres).QueryArticle(pattern, 4, false, true).Template(),
            u"SELECT ROW" + columns + u" FROM 文章表 WHERE filename=?");
  EXPECT_EQ(CCatalogueStatements(kPostgres).QueryArticle(pattern, 0, false, true).Template(),
            u"SELECT ROW" + columns + u" FROM 文章表");
  const CSqlStatement byLabel = CCatalogueStatements(kOdbcSqlite).ArticlesOfLabel(7, true);
  EXPECT_EQ(byLabel.Template(), u"SELECT json_array" + columns +
                                    u" FROM 文章表,文章标签表 WHERE 文章表.articleid=文章标签表.articleid AND "
                                    u"文章标签表.labelid=?");
  EXPECT_EQ(byLabel.Values().size(), 1u);
  // An engine that reads rows field by field fast is asked for them as they are.
  EXPECT_EQ(CCatalogueStatements(SqliteStore()).QueryArticle(pattern, 4, false, true).Template(),
            u"SELECT * FROM article WHERE filename=?");
  EXPECT_EQ(
      CCatalogueStatements(COdbcEngine::DialectOf(COdbcConnection::Dialect::Other)).ArticlesOfLabel(1, true).Template(),
      u"SELECT 文章表.* FROM 文章表,文章标签表 WHERE 文章表.articleid=文章标签表.articleid AND 文章标签表.labelid=?");
}
