// The facade over an in-memory store: every result code of the capture, the
// ownership of the result list, and the store failures a real catalogue
// cannot easily be made to produce.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/DARU.h"
#include "core/LabelTree.h"
#include "core/TextConv.h"
#include "fixtures/DaruAccess.h"
#include "fixtures/MemoryStore.h"
#include "fixtures/TempDir.h"

namespace {

class FacadeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    daru = CDARU::Instance();
    store = new MemoryStore();
    store->PutLabel(1, u"根", 0);
    store->PutLabel(2, u"收藏频道", 1);
    store->PutLabel(3, u"缺省", 1);
    store->PutLabel(4, u"其他", 1);
    ASSERT_TRUE(CDARUTestAccess::InitWith(daru, store));
  }
  void TearDown() override { delete daru; }

  CLabel* Label(int id) { return daru->GetLabelTree()->FindLabel(id); }
  std::vector<CArticle*>& Listed() { return CDARUTestAccess::Articles(daru); }
  bool IsListed(CArticle* a) { return std::find(Listed().begin(), Listed().end(), a) != Listed().end(); }
  // Releases an article the facade handed over, unless the result list owns it.
  void Release(CArticle* a) {
    if (a && !IsListed(a)) delete a;
  }
  CArticle* Add(CLabel* label, const std::u16string& url, int& result, const std::u16string& type = u"B",
                bool storeUrl = true) {
    return daru->AddArticle(label, url, u"标题", u"关键字", type, result, storeUrl);
  }
  std::u16string Digest(const std::u16string& url) {
    std::string d = CDARUTestAccess::MD5(daru, url);
    return std::u16string(d.begin(), d.end());
  }

  ScopedDataRoot root{"/srv/reader"};
  CDARU* daru = nullptr;
  MemoryStore* store = nullptr;  // owned by the facade
};

}  // namespace

TEST_F(FacadeTest, InitLoadsHierarchyAndTypesOnce) {
  EXPECT_TRUE(store->opened);
  ASSERT_NE(daru->GetLabelTree(), nullptr);
  EXPECT_EQ(daru->GetLabelTree()->GetFavRSSLabel(), Label(2));
  EXPECT_EQ(daru->FindArticlePath(u"A"), u"rss");
  // Already up: a second call changes nothing and keeps the objects callers hold.
  CLabel* head = daru->GetLabelTree()->GetHeadLabel();
  EXPECT_TRUE(daru->Init());
  EXPECT_EQ(daru->GetLabelTree()->GetHeadLabel(), head);
  EXPECT_EQ(CDARUTestAccess::Types(daru).size(), 2u);
}

TEST(FacadeInit, EveryFailingStepFailsInit) {
  for (const char* step : {"InitDB", "QueryLabel", "QueryArticleType"}) {
    CDARU* daru = CDARU::Instance();
    auto* store = new MemoryStore();
    store->Fail(step);
    EXPECT_FALSE(CDARUTestAccess::InitWith(daru, store)) << step;
    EXPECT_EQ(store->GetLastDBError(), FromUtf8(std::string(step) + " failed"));
    delete daru;
  }
}

TEST_F(FacadeTest, DestroyingTheFacadeTakesTheHierarchyWithIt) {
  CLabelTree* first = daru->GetLabelTree();
  delete daru;
  daru = CDARU::Instance();
  auto* fresh = new MemoryStore();
  fresh->PutLabel(10, u"新根", 0);
  ASSERT_TRUE(CDARUTestAccess::InitWith(daru, fresh));
  // A new hierarchy on the new store, not the old singleton.
  EXPECT_EQ(daru->GetLabelTree()->GetHeadLabel()->labelid, 10);
  EXPECT_EQ(CLabelTree::Instance(nullptr), daru->GetLabelTree());
  (void)first;
}

TEST_F(FacadeTest, Md5FollowsRfc1321) {
  const std::pair<std::u16string, const char*> suite[] = {
      {u"", "d41d8cd98f00b204e9800998ecf8427e"},
      {u"a", "0cc175b9c0f1b6a831c399e269772661"},
      {u"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {u"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {u"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {u"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [text, digest] : suite) EXPECT_EQ(CDARUTestAccess::MD5(daru, text), digest);
}

TEST_F(FacadeTest, Md5HashesUtf8UnitByUnit) {
  EXPECT_EQ(CDARUTestAccess::MD5(daru, u"http://例子.cn/文章"), "178b214555ca802513a6e6dbbcd05c25");
  // A pair gives the four-byte form; lone halves their three-byte forms.
  EXPECT_EQ(CDARUTestAccess::MD5(daru, u"\U0001F600"), "2a02eac39d716a70ecf37579185927b6");
  EXPECT_EQ(CDARUTestAccess::MD5(daru, std::u16string{0xD83D, u'a'}), "06fb044354f3d1cbec95be0617b0ea14");
  EXPECT_EQ(CDARUTestAccess::MD5(daru, std::u16string{0xD83D}), "e8ba4e95226250ecd3817eab591e4ced");
  EXPECT_EQ(CDARUTestAccess::MD5(daru, std::u16string{u'a', 0xDC00, u'b'}), "c823213a36c9dff11ae0a8e90a6ce38c");
}

TEST_F(FacadeTest, Md5OfLongLinksKeepsThemApart) {
  EXPECT_EQ(CDARUTestAccess::MD5(daru, std::u16string(519, u'x')), "55c7d4105efc30adbb04b9c136212145");
  EXPECT_EQ(CDARUTestAccess::MD5(daru, std::u16string(600, u'x')), "2bfac1bb871236a26c9bbc8389d00b83");
  EXPECT_EQ(CDARUTestAccess::MD5(daru, std::u16string(599, u'x') + u"y"), "84d6f70e8d88362cae4258f3855f5550");
}

TEST_F(FacadeTest, NewArticleIsStoredAndListedUnderTheCurrentLabel) {
  daru->m_pCurLabel = Label(3);
  int result = 0;
  CArticle* a = daru->AddArticle(Label(3), u"http://a.cn/1", u"标题", u"关键字", u"B", result, true);
  ASSERT_EQ(result, 0);
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(IsListed(a));
  EXPECT_EQ(a->filename, Digest(u"http://a.cn/1"));
  EXPECT_EQ(a->url, u"http://a.cn/1");
  EXPECT_EQ(a->label, 3);
  EXPECT_EQ(a->key1, u"关键字");
  EXPECT_EQ(a->type, u"B");
  EXPECT_FALSE(a->crdate.GetFmtString().empty());
  EXPECT_EQ(a->descfile, u"/srv/reader/DARU/web/" + a->filename + u".xml");
  // The record agrees with its row, so a later update keeps the label count.
  EXPECT_EQ(a->labels, 1);
  EXPECT_EQ(a->version, 1);
  ASSERT_TRUE(daru->UpdateArticle(*a));
  EXPECT_EQ(store->articles.at(a->articleid).article.labels, 1);

  // The same link again is the listed article, whatever the request.
  result = 1;
  EXPECT_EQ(Add(Label(3), u"http://a.cn/1", result), a);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Listed().size(), 1u);
  EXPECT_EQ(store->articles.size(), 1u);
  EXPECT_EQ(store->articles.begin()->second.labels.size(), 1u);
}

TEST_F(FacadeTest, StoredLinkUnderAnotherLabel) {
  int result = 0;
  Release(Add(Label(3), u"http://a.cn/1", result));
  ASSERT_EQ(result, 0);
  EXPECT_TRUE(Listed().empty());  // no current label: the caller owned it

  // Request 0: reported, nothing changes.
  result = 0;
  CArticle* e = Add(Label(4), u"http://a.cn/1", result);
  EXPECT_EQ(result, 2);
  ASSERT_NE(e, nullptr);
  EXPECT_FALSE(IsListed(e));
  Release(e);
  EXPECT_EQ(store->articles.begin()->second.labels.size(), 1u);

  // Request 1: filed now, one more label in memory and in the store.
  result = 1;
  e = Add(Label(4), u"http://a.cn/1", result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(e->labels, 2);
  EXPECT_EQ(store->articles.begin()->second.article.labels, 2);
  EXPECT_EQ(store->articles.begin()->second.labels, (std::set<int>{3, 4}));
  Release(e);

  // Request 1 under a label it is filed under already.
  result = 1;
  e = Add(Label(3), u"http://a.cn/1", result);
  EXPECT_EQ(result, 3);
  EXPECT_EQ(store->articles.begin()->second.article.labels, 2);
  Release(e);
}

TEST_F(FacadeTest, StoredLinkUnderTheCurrentLabelJoinsTheList) {
  int result = 0;
  Release(Add(Label(3), u"http://a.cn/1", result));
  daru->m_pCurLabel = Label(4);
  result = 0;
  CArticle* e = Add(Label(4), u"http://a.cn/1", result);
  EXPECT_EQ(result, 2);
  EXPECT_TRUE(IsListed(e));
  result = 0;
  EXPECT_EQ(Add(Label(4), u"http://a.cn/1", result), e);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Listed().size(), 1u);
}

TEST_F(FacadeTest, IdentityIsTheDigestOfTheGivenLink) {
  int result = 0;
  CArticle* a = Add(Label(3), u"/feeds/item.xml", result, u"A", false);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(a->url, u"");
  EXPECT_EQ(a->filename, Digest(u"/feeds/item.xml"));
  Release(a);
  result = 0;
  Release(Add(Label(4), u"/feeds/item.xml", result, u"A", false));
  EXPECT_EQ(result, 2);
  // Letter case makes another link.
  result = 0;
  Release(Add(Label(3), u"/Feeds/item.xml", result, u"A", false));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(store->articles.size(), 2u);
}

TEST_F(FacadeTest, CaptureFailures) {
  int result = 1;
  EXPECT_EQ(Add(Label(3), u"http://a.cn/1", result, u"Z"), nullptr);
  EXPECT_EQ(result, -1);
  result = 0;
  EXPECT_EQ(Add(nullptr, u"http://a.cn/1", result), nullptr);
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(store->articles.empty());
  EXPECT_EQ(daru->AddArticle(Label(3), u"http://a.cn/1", u"t", u"k"), nullptr);
  EXPECT_TRUE(store->articles.empty());

  store->Fail("AddArticle");
  result = 0;
  EXPECT_EQ(Add(Label(3), u"http://a.cn/1", result), nullptr);
  EXPECT_EQ(result, -3);
  store->Heal();

  Release(Add(Label(3), u"http://a.cn/1", result));
  // A duplicate query that fails half way leaves nothing behind (ASan counts).
  store->appendBeforeFailing = true;
  store->Fail("QueryArticle");
  result = 1;
  EXPECT_EQ(Add(Label(4), u"http://a.cn/1", result), nullptr);
  EXPECT_EQ(result, -3);
  store->Heal();
  store->appendBeforeFailing = false;

  store->Fail("AddLabelToArticle");
  result = 1;
  CArticle* e = Add(Label(4), u"http://a.cn/1", result);
  EXPECT_EQ(result, -1);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->labels, 1);
  Release(e);
  store->Heal();

  store->Fail("UpdateArticle");
  result = 1;
  e = Add(Label(4), u"http://a.cn/1", result);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(store->articles.begin()->second.labels.size(), 2u);  // the link stays
  Release(e);
}

TEST_F(FacadeTest, FilingAnArticleUnderALabel) {
  int result = 0;
  CArticle* a = Add(Label(3), u"http://a.cn/1", result);
  EXPECT_EQ(daru->AddArticle(a, Label(3)), 1);
  EXPECT_EQ(daru->AddArticle(a, Label(4)), 0);
  EXPECT_EQ(a->labels, 1);  // the count is the capture's business
  EXPECT_EQ(daru->AddArticle(a, nullptr), -1);
  store->Fail("AddLabelToArticle");
  EXPECT_EQ(daru->AddArticle(a, Label(2)), -1);
  Release(a);
}

TEST_F(FacadeTest, QueriesReplaceTheResultList) {
  int result = 0;
  for (auto url : {u"http://a.cn/abc", u"http://a.cn/xyz", u"http://b.cn/abc"}) {
    Release(daru->AddArticle(Label(3), url, url, u"", u"B", result, true));
  }
  CArticle pattern;
  pattern.title = u"abc";
  EXPECT_EQ(daru->QueryArticle(pattern, 2, true), 2);
  EXPECT_EQ(daru->GetArticleList().size(), 2u);
  EXPECT_EQ(daru->QueryArticle(pattern, 2, false), 0);
  EXPECT_TRUE(daru->GetArticleList().empty());
  EXPECT_EQ(daru->QueryArticle(Label(3), CArticle(), 0), 3);
  EXPECT_EQ(daru->QueryArticle(Label(4), CArticle(), 0), 0);
  EXPECT_EQ(daru->QueryArticle(nullptr, CArticle(), 0), -1);

  // A failed query still drops the previous list; rows read before the failure stay owned.
  EXPECT_EQ(daru->QueryArticle(Label(3), CArticle(), 0), 3);
  store->appendBeforeFailing = true;
  store->Fail("QueryArticleOfLabel");
  EXPECT_EQ(daru->QueryArticle(Label(3), CArticle(), 0), -1);
  EXPECT_EQ(daru->GetArticleList().size(), 1u);
}

TEST_F(FacadeTest, DeleteKeepsTheListInOrder) {
  int result = 0;
  for (auto url : {u"http://a.cn/1", u"http://a.cn/2", u"http://a.cn/3"})
    Release(daru->AddArticle(Label(3), url, url, u"", u"B", result, true));
  ASSERT_EQ(daru->QueryArticle(Label(3), CArticle(), 0), 3);
  std::vector<CArticle*> list = daru->GetArticleList();
  const int middle = list[1]->articleid;

  store->Fail("DeleteArticle");
  EXPECT_FALSE(daru->DeleteArticle(list[1], Label(3)));
  EXPECT_EQ(daru->GetArticleList(), list);
  store->Heal();

  ASSERT_TRUE(daru->DeleteArticle(list[1], Label(3)));
  EXPECT_EQ(daru->GetArticleList(), (std::vector<CArticle*>{list[0], list[2]}));
  EXPECT_FALSE(store->articles.count(middle));

  // An article of the caller's own: deleted in the store, the list untouched.
  CArticle own(*list[0]);
  EXPECT_TRUE(daru->DeleteArticle(&own, nullptr));
  EXPECT_EQ(daru->GetArticleList().size(), 2u);
  EXPECT_FALSE(daru->DeleteArticle(nullptr, nullptr));
}
