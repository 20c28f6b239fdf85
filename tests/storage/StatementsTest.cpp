#include <gtest/gtest.h>

#include "core/Article.h"
#include "storage/CatalogueStatements.h"
#include "storage/SqlStatement.h"

using Sql = CCatalogueStatements;

TEST(SqlStatement, RendersValuesAsLiteralsWithQuotesDoubled) {
  CSqlStatement s(u"UPDATE t SET a=?, b=? WHERE c='?' AND d=?");
  s.Text(u"it's").Int(-7).Text(u"");
  EXPECT_EQ(s.Render(), u"UPDATE t SET a='it''s', b=-7 WHERE c='?' AND d=''");
  EXPECT_EQ(s.Template(), u"UPDATE t SET a=?, b=? WHERE c='?' AND d=?");
  ASSERT_EQ(s.Values().size(), 3u);
}

TEST(CatalogueStatements, PatternQueriesJoinTheirConditionsInMaskOrder) {
  CLabel label;
  label.labelid = 9;
  label.name = u"O'Brien";
  label.toplayer = 3;
  EXPECT_EQ(Sql::QueryLabel(label, 0).Render(), u"SELECT * FROM label order by toplayer,labelid");
  EXPECT_EQ(Sql::QueryLabel(label, kLabelMaskName | kLabelMaskParent).Render(),
            u"SELECT * FROM label WHERE name='O''Brien' AND toplayer=3");
  EXPECT_EQ(Sql::QueryLabel(label, kLabelMaskID).Render(), u"SELECT * FROM label WHERE labelid=9");
  // Bits the query does not know leave no condition: the statement is refused by the engine.
  EXPECT_EQ(Sql::QueryLabel(label, 8).Render(), u"SELECT * FROM label WHERE ");

  CArticle a;
  a.articleid = 4;
  a.title = u"50%";
  a.filename = u"f";
  a.key1 = u"k";
  EXPECT_EQ(Sql::QueryArticle(a, kArticleMaskTitle | kArticleMaskKeywords, true).Render(),
            u"SELECT * FROM article WHERE title LIKE '%50%%' AND key1 LIKE '%k%'");
  EXPECT_EQ(Sql::QueryArticle(a, kArticleMaskID | kArticleMaskTitle | kArticleMaskFilename, false).Render(),
            u"SELECT * FROM article WHERE articleid=4 AND title='50%' AND filename='f'");
  // The folder name always compares for equality.
  EXPECT_EQ(Sql::QueryArticle(a, kArticleMaskFilename, true).Render(), u"SELECT * FROM article WHERE filename='f'");
}

TEST(CatalogueStatements, NewArticlesStartWithOneLabelAtVersionOne) {
  CArticle a;
  a.url = u"u";
  a.filename = u"f";
  a.title = u"t";
  a.type = u"B";
  a.label = 5;
  EXPECT_EQ(Sql::InsertArticle(a).Render(),
            u"INSERT INTO article( url,filename,title,key1,type,labels,label,version,readflag,impflag, crdate,brdate, "
            u"lmdate ) VALUES('u','f','t','','B',1, 5, 1,'T','F', 0,0,0)");
}
