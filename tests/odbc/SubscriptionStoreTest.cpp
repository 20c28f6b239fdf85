// The subscription table on every store: the SQLite store, and the ODBC
// store on the embedded SQLite driver and on a PostgreSQL server.

#include <gtest/gtest.h>

#include "StoreCatalogue.h"
#include "base/TextConv.h"
#include "facade/DARU.h"

namespace {

class Subscriptions : public ::testing::TestWithParam<StoreKind> {
 protected:
  void SetUp() override {
    catalogue = std::make_unique<StoreCatalogue>(GetParam());
    store = catalogue->NewStore();
    ASSERT_TRUE(store->InitDB()) << Error();
  }
  std::string Error() { return ToUtf8(store->GetLastDBError()); }
  // The table of the kind, which the catalogue's fixture does not name.
  std::string Table() const { return GetParam() == StoreKind::Sqlite ? "subscription" : "订阅表"; }

  std::unique_ptr<StoreCatalogue> catalogue;
  std::unique_ptr<CDB> store;
};

TEST_P(Subscriptions, KeptFieldByFieldOneRowPerAddress) {
  std::vector<CSubscription> none;
  ASSERT_TRUE(store->QuerySubscriptions(none)) << Error();  // made on first use
  EXPECT_TRUE(none.empty());

  CSubscription a;
  a.url = u"https://a.example/feed?x=1&y='2'";
  a.title = u"Ä 'quoted' 频道";
  a.labelid = 3;
  a.etag = u"W/\"abc\"";
  a.lastModified = u"Mon, 01 Jan 2024 00:00:00 GMT";
  a.lastFetched = 4102444800LL;  // beyond 32 bits
  a.lastError = u"line\nbreak";
  ASSERT_TRUE(store->AddSubscription(a)) << Error();
  EXPECT_GT(a.subscriptionid, 0);
  CSubscription b;
  b.url = u"https://b.example/";
  ASSERT_TRUE(store->AddSubscription(b)) << Error();
  EXPECT_GT(b.subscriptionid, a.subscriptionid);

  CSubscription twice;
  twice.url = a.url;
  EXPECT_FALSE(store->AddSubscription(twice));
  EXPECT_EQ(store->GetLastDBError(), u"已经订阅了这个地址。");
  CSubscription empty;
  EXPECT_FALSE(store->AddSubscription(empty));

  std::vector<CSubscription> read;
  ASSERT_TRUE(store->QuerySubscriptions(read)) << Error();
  ASSERT_EQ(read.size(), 2u);
  const CSubscription& r = read[0];
  EXPECT_EQ(r.subscriptionid, a.subscriptionid);
  EXPECT_EQ(r.url, a.url);
  EXPECT_EQ(r.title, a.title);
  EXPECT_EQ(r.labelid, 3);
  EXPECT_EQ(r.etag, a.etag);
  EXPECT_EQ(r.lastModified, a.lastModified);
  EXPECT_EQ(r.lastFetched, a.lastFetched);
  EXPECT_EQ(r.lastError, a.lastError);
  EXPECT_EQ(read[1].url, b.url);
  EXPECT_EQ(read[1].lastFetched, 0);

  // Another connection sees the rows and is refused the same address.
  auto other = catalogue->NewStore();
  ASSERT_TRUE(other->InitDB());
  EXPECT_FALSE(other->AddSubscription(twice));
  EXPECT_EQ(catalogue->Rows("SELECT count(*) FROM " + Table()), Lines({"2"}));
}

TEST_P(Subscriptions, UpdatedAndDeletedByIdAndTheFourTablesStayAsTheyAre) {
  const std::vector<std::string> before = catalogue->Rows("SELECT * FROM {label} ORDER BY labelid");
  CSubscription s;
  s.url = u"https://u.example/";
  ASSERT_TRUE(store->AddSubscription(s)) << Error();
  s.labelid = 2;
  s.title = u"Channel";
  s.etag = u"\"2\"";
  s.lastError.clear();
  s.lastFetched = 1700000000;
  ASSERT_TRUE(store->UpdateSubscription(s)) << Error();
  std::vector<CSubscription> read;
  ASSERT_TRUE(store->QuerySubscriptions(read));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].labelid, 2);
  EXPECT_EQ(read[0].title, u"Channel");
  EXPECT_EQ(read[0].etag, u"\"2\"");
  EXPECT_EQ(read[0].lastFetched, 1700000000);

  CSubscription missing = s;
  missing.subscriptionid = s.subscriptionid + 100;
  EXPECT_FALSE(store->UpdateSubscription(missing));
  EXPECT_FALSE(store->DeleteSubscription(missing.subscriptionid));
  EXPECT_TRUE(store->DeleteSubscription(s.subscriptionid)) << Error();
  read.clear();
  ASSERT_TRUE(store->QuerySubscriptions(read));
  EXPECT_TRUE(read.empty());
  EXPECT_EQ(catalogue->Rows("SELECT * FROM {label} ORDER BY labelid"), before);
}

TEST_P(Subscriptions, AStoreNotOpenRefusesWithItsReason) {
  auto closed = catalogue->NewStore();
  std::vector<CSubscription> out;
  EXPECT_FALSE(closed->QuerySubscriptions(out));
  EXPECT_FALSE(closed->GetLastDBError().empty());
}

INSTANTIATE_TEST_SUITE_P(Stores, Subscriptions,
                         ::testing::Values(StoreKind::Sqlite, StoreKind::AccessEmbedded, StoreKind::AccessPostgres),
                         [](const ::testing::TestParamInfo<StoreKind>& info) { return KindName(info.param); });

TEST(SubscriptionDefaults, AStoreWithoutTheTableRefuses) {
  struct Bare : CDB {
    bool InitDB() override { return true; }
    bool AddLabel(CLabel&) override { return false; }
    bool UpdateLabel(CLabel&) override { return false; }
    bool DeleteLabel(CLabel&) override { return false; }
    bool QueryLabel(std::vector<CLabel*>&, CLabel, unsigned) override { return false; }
    bool QueryArticleType(std::vector<CArticleType>&) override { return false; }
    bool QueryLabelToArticle(CLabelToArticle&) override { return false; }
    bool AddLabelToArticle(CLabelToArticle&) override { return false; }
    bool DeleteLabelToArticle(CLabelToArticle&) override { return false; }
    bool AddArticle(CArticle&) override { return false; }
    bool QueryArticle(std::vector<CArticle*>&, CLabel*, CArticle, unsigned) override { return false; }
    bool QueryArticle(std::vector<CArticle*>&, CArticle, unsigned, bool) override { return false; }
    bool UpdateArticle(CArticle&) override { return false; }
    bool DeleteArticle(CArticle*, CLabel*) override { return false; }
  } bare;
  CSubscription s;
  s.url = u"https://x.example/";
  std::vector<CSubscription> out;
  EXPECT_FALSE(bare.AddSubscription(s));
  EXPECT_FALSE(bare.QuerySubscriptions(out));
  EXPECT_FALSE(bare.UpdateSubscription(s));
  EXPECT_FALSE(bare.DeleteSubscription(1));
  EXPECT_EQ(bare.GetLastDBError(), u"此存储不保存订阅。");
}

}  // namespace
