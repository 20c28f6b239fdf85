// The facade and the label hierarchy on a real catalogue, provisioned as the
// host does it. Store failures are made with triggers, so they come from the
// engine as they would in use.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "content/PathOps.h"
#include "core/ArticleLocations.h"
#include "core/DARU.h"
#include "core/LabelTree.h"
#include "core/TextConv.h"
#include "fixtures/DaruAccess.h"
#include "fixtures/ProvisionedRoot.h"
#include "provision/DataRoot.h"

namespace {

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    daru = CDARU::Instance();
    ASSERT_TRUE(daru->Init()) << ToUtf8(daru->GetLastDBError());
    tree = daru->GetLabelTree();
  }
  void TearDown() override { delete daru; }

  CArticle* Add(CLabel* label, const std::u16string& url, int request, int& result, const std::u16string& type = u"B") {
    result = request;
    return daru->AddArticle(label, url, u"标题", u"", type, result, true);
  }
  bool Listed(CArticle* a) {
    auto list = daru->GetArticleList();
    return std::find(list.begin(), list.end(), a) != list.end();
  }
  void Release(CArticle* a) {
    if (a && !Listed(a)) delete a;
  }
  std::vector<std::string> Rows(const std::string& sql) { return root.Rows(sql); }

  ProvisionedRoot root;
  CDARU* daru = nullptr;
  CLabelTree* tree = nullptr;
};

std::string Shape(const CLabel* label) {
  std::string s = std::to_string(label->labelid);
  if (!label->firstChild) return s;
  s += "(";
  for (const CLabel* c = label->firstChild; c; c = c->nextSibling) {
    if (c != label->firstChild) s += " ";
    s += Shape(c);
  }
  return s + ")";
}

}  // namespace

TEST_F(Catalogue, InitLoadsTheProvisionedHierarchyAndTypes) {
  EXPECT_EQ(Shape(tree->GetHeadLabel()), "1(2 3)");
  EXPECT_EQ(tree->GetFavRSSLabel()->labelid, 2);
  EXPECT_EQ(daru->FindArticlePath(u"B"), u"web");
  EXPECT_EQ(daru->FindArticlePath(u"A"), u"rss");
}

TEST(CatalogueInit, FailsWithoutACatalogueAndMayBeRetried) {
  TempDir dir;
  ScopedDataRoot scoped(dir.path());
  CDARU* daru = CDARU::Instance();
  EXPECT_FALSE(daru->Init());
  EXPECT_FALSE(daru->GetLastDBError().empty());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "DARU"));  // nothing made behind the host's back
  ASSERT_TRUE(provision::ProvisionDataRoot(dir.path()));
  ASSERT_TRUE(daru->Init());
  EXPECT_EQ(daru->GetLabelTree()->GetHeadLabel()->labelid, 1);
  delete daru;
}

TEST_F(Catalogue, HierarchyEditsPersistAcrossFacades) {
  CLabel* a = tree->InsertLabel(tree->FindLabel(3), u"甲");
  CLabel* b = tree->InsertLabel(a, u"乙");
  CLabel* c = tree->InsertLabel(tree->GetHeadLabel(), u"丙");
  ASSERT_TRUE(a && b && c);
  ASSERT_TRUE(tree->MoveLabel(a, c));
  EXPECT_FALSE(tree->MoveLabel(c, b));  // would hang the branch under itself
  ASSERT_TRUE(tree->UpdateLabel(b, u"乙二", static_cast<unsigned>(b->toplayer)));
  CLabel* d = tree->InsertLabel(c, u"丁");
  ASSERT_TRUE(tree->DeleteLabel(d));
  const std::string shape = Shape(tree->GetHeadLabel());
  const int renamed = b->labelid;

  delete daru;
  daru = CDARU::Instance();
  ASSERT_TRUE(daru->Init());
  tree = daru->GetLabelTree();
  EXPECT_EQ(Shape(tree->GetHeadLabel()), shape);
  ASSERT_NE(tree->FindLabel(renamed), nullptr);
  EXPECT_EQ(tree->FindLabel(renamed)->name, u"乙二");
}

TEST_F(Catalogue, EveryCaptureResult) {
  CLabel* three = tree->FindLabel(3);
  CLabel* two = tree->FindLabel(2);
  int result = 0;
  EXPECT_EQ(Add(three, u"http://a.cn/1", 0, result, u"Z"), nullptr);
  EXPECT_EQ(result, -1);

  daru->m_pCurLabel = three;
  CArticle* a = Add(three, u"http://a.cn/1", 0, result);
  ASSERT_EQ(result, 0);
  EXPECT_TRUE(Listed(a));
  EXPECT_EQ(Add(three, u"http://a.cn/1", 1, result), a);
  EXPECT_EQ(result, 1);
  const std::string id = std::to_string(a->articleid);

  daru->m_pCurLabel = nullptr;
  CArticle* e = Add(two, u"http://a.cn/1", 0, result);
  EXPECT_EQ(result, 2);
  EXPECT_FALSE(Listed(e));
  Release(e);
  EXPECT_EQ(Rows("SELECT count(*) FROM articletolabel WHERE articleid=" + id), Lines({"1"}));

  e = Add(two, u"http://a.cn/1", 1, result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(e->labels, 2);
  Release(e);
  EXPECT_EQ(Rows("SELECT labels FROM article WHERE articleid=" + id), Lines({"2"}));
  EXPECT_EQ(Rows("SELECT labelid FROM articletolabel WHERE articleid=" + id + " ORDER BY labelid"), Lines({"2", "3"}));

  e = Add(two, u"http://a.cn/1", 1, result);
  EXPECT_EQ(result, 3);
  Release(e);
}

TEST_F(Catalogue, CaptureFailuresFromTheEngine) {
  CLabel* three = tree->FindLabel(3);
  CLabel* two = tree->FindLabel(2);
  int result = 0;
  Release(Add(three, u"http://a.cn/1", 0, result));

  root.Exec("CREATE TRIGGER no_link BEFORE INSERT ON articletolabel BEGIN SELECT RAISE(ABORT, 'no link'); END;");
  CArticle* e = Add(two, u"http://a.cn/1", 1, result);
  EXPECT_EQ(result, -1);
  ASSERT_NE(e, nullptr);
  Release(e);
  root.Exec("DROP TRIGGER no_link;");

  root.Exec("CREATE TRIGGER no_update BEFORE UPDATE ON article BEGIN SELECT RAISE(ABORT, 'no update'); END;");
  e = Add(two, u"http://a.cn/1", 1, result);
  EXPECT_EQ(result, -1);
  Release(e);
  root.Exec("DROP TRIGGER no_update;");

  root.Exec("CREATE TRIGGER no_insert BEFORE INSERT ON article BEGIN SELECT RAISE(ABORT, 'full'); END;");
  EXPECT_EQ(Add(three, u"http://a.cn/2", 0, result), nullptr);
  EXPECT_EQ(result, -3);
  EXPECT_NE(ToUtf8(daru->GetLastDBError()).find("full"), std::string::npos);
  root.Exec("DROP TRIGGER no_insert;");

  root.Exec("ALTER TABLE article RENAME TO gone;");
  EXPECT_EQ(Add(three, u"http://a.cn/1", 1, result), nullptr);
  EXPECT_EQ(result, -3);
}

TEST_F(Catalogue, ANewArticleSurvivesItsFirstUpdate) {
  CLabel* three = tree->FindLabel(3);
  CLabel* other = tree->InsertLabel(tree->GetHeadLabel(), u"其他");
  int result = 0;
  daru->m_pCurLabel = three;
  CArticle* a = Add(three, u"http://a.cn/keep", 0, result);
  ASSERT_EQ(result, 0);
  a->readflag = false;
  ASSERT_TRUE(daru->UpdateArticle(*a));
  // Removing an unrelated label sweeps articles without labels; this one has its label.
  ASSERT_TRUE(tree->DeleteLabel(other));
  EXPECT_EQ(daru->QueryArticle(three, CArticle(), 0), 1);
}

TEST_F(Catalogue, DeletingListedArticlesAndTheirFiles) {
  CLabel* three = tree->FindLabel(3);
  int result = 0;
  for (auto url : {u"http://a.cn/1", u"http://a.cn/2", u"http://a.cn/3"}) {
    CArticle* a = Add(three, url, 0, result);
    ASSERT_TRUE(a->CreateDescriptionFile(GetTypeFolder(u"B"), true));
    Release(a);
  }
  ASSERT_EQ(daru->QueryArticle(three, CArticle(), 0), 3);
  std::vector<CArticle*> list = daru->GetArticleList();
  const std::u16string file = list[1]->GetDescriptionFilename();
  ASSERT_TRUE(PathExists(file, true));
  ASSERT_TRUE(daru->DeleteArticle(list[1], three));
  EXPECT_EQ(daru->GetArticleList(), (std::vector<CArticle*>{list[0], list[2]}));
  EXPECT_FALSE(PathExists(file, true));  // its last label went, and its files with it
  EXPECT_EQ(Rows("SELECT count(*) FROM article"), Lines({"2"}));

  // A second deletion of the same row fails and leaves the list alone.
  CArticle stale(*list[0]);
  ASSERT_TRUE(daru->DeleteArticle(list[0], nullptr));
  EXPECT_FALSE(daru->DeleteArticle(&stale, nullptr));
  EXPECT_EQ(daru->GetArticleList().size(), 1u);

  CArticle pattern;
  pattern.title = u"标题";
  pattern.title.pop_back();  // "标"; a literal of one unit trips a false -Wrestrict in g++ 12
  EXPECT_EQ(daru->QueryArticle(pattern, 2, true), 1);
  EXPECT_EQ(daru->QueryArticle(pattern, 2, false), 0);
}
