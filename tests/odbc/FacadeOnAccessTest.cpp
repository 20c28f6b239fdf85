#include <gtest/gtest.h>

#include "StoreCatalogue.h"
#include "base/TextConv.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "storage/DBAccess.h"

namespace {

class FacadeOnAccess : public ::testing::TestWithParam<StoreKind> {
 protected:
  void SetUp() override { catalogue = std::make_unique<StoreCatalogue>(GetParam()); }
  void TearDown() override { delete CDARU::Instance(); }
  std::unique_ptr<StoreCatalogue> catalogue;
};

}  // namespace

TEST_P(FacadeOnAccess, RunsTheLibraryOnTheHostsStore) {
  CDARU* daru = CDARU::Instance();
  ASSERT_TRUE(daru->Init(new CDBAccess(FromUtf8(catalogue->Connection())))) << ToUtf8(daru->GetLastDBError());
  EXPECT_EQ(daru->FindArticlePath(u"B"), u"web");
  CLabelTree* tree = daru->GetLabelTree();
  ASSERT_NE(tree, nullptr);
  CLabel* unfiled = tree->FindLabel(3);
  ASSERT_NE(unfiled, nullptr);
  EXPECT_EQ(unfiled->name, u"未分类");

  int result = 0;
  CArticle* article =
      daru->AddArticle(unfiled, u"http://example.com/新闻?id='1'", u"标题 'one'", u"k", u"B", result, true);
  ASSERT_NE(article, nullptr);
  EXPECT_EQ(result, 0);
  delete article;
  result = 0;
  article = daru->AddArticle(unfiled, u"http://example.com/新闻?id='1'", u"again", u"", u"B", result, true);
  ASSERT_NE(article, nullptr);
  EXPECT_EQ(result, 2);  // stored already
  delete article;
  EXPECT_EQ(daru->QueryArticle(unfiled, CArticle(), 0), 1);
  CArticle* listed = daru->GetArticleList().at(0);
  EXPECT_EQ(listed->title, u"标题 'one'");
  EXPECT_EQ(listed->descfile,
            FromUtf8((catalogue->root().daru() / "web").string()) + u"/" + listed->filename + u".xml");
  EXPECT_TRUE(daru->DeleteArticle(listed, unfiled));
  EXPECT_EQ(catalogue->Rows("SELECT count(*) FROM {article}"), Lines({"0"}));

  // Ready already: the store handed over is released and nothing changes.
  EXPECT_TRUE(daru->Init(new CDBAccess(u"Database=never-opened;")));
  EXPECT_EQ(daru->GetLabelTree(), tree);
}

TEST_P(FacadeOnAccess, AStoreThatCannotOpenFailsInitWithItsReason) {
  CDARU* daru = CDARU::Instance();
  EXPECT_FALSE(daru->Init(new CDBAccess(u"Database=x;")));
  EXPECT_EQ(ToUtf8(daru->GetLastDBError()).rfind("Code = ", 0), 0u);
  EXPECT_FALSE(daru->Init(nullptr));
  ASSERT_TRUE(daru->Init(new CDBAccess(FromUtf8(catalogue->Connection()))));  // a retry starts afresh
  EXPECT_NE(daru->GetLabelTree()->FindLabel(1), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Sources, FacadeOnAccess,
                         ::testing::Values(StoreKind::AccessEmbedded, StoreKind::AccessPostgres),
                         [](const ::testing::TestParamInfo<StoreKind>& info) { return KindName(info.param); });
