// The facade on a real catalogue, provisioned as the host does it: every
// result code of the capture, the ownership of the result list, MD5. Store
// failures are raised by the engine through triggers and renamed tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "base/TextConv.h"
#include "content/PathOps.h"
#include "core/ArticleLocations.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "fixtures/DaruAccess.h"
#include "fixtures/ProvisionedRoot.h"
#include "provision/DataRoot.h"
#include "storage/DB.h"

namespace {

class FacadeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    daru = CDARU::Instance();
    ASSERT_TRUE(daru->Init()) << ToUtf8(daru->GetLastDBError());
    tree = daru->GetLabelTree();
    three = tree->FindLabel(3);
    other = tree->InsertLabel(tree->GetHeadLabel(), u"其他");
    ASSERT_TRUE(three && other);
  }
  void TearDown() override { delete daru; }

  CArticle* Add(CLabel* label, const std::u16string& url, int request, int& result, bool storeUrl = true) {
    result = request;
    return daru->AddArticle(label, url, u"标题", u"关键字", u"B", result, storeUrl);
  }
  bool Listed(CArticle* a) {
    auto list = daru->GetArticleList();
    return std::find(list.begin(), list.end(), a) != list.end();
  }
  // Releases an article the facade handed over, unless the result list owns it.
  void Release(CArticle* a) {
    if (a && !Listed(a)) delete a;
  }
  std::string Md5(const std::u16string& text) { return CDARUTestAccess::MD5(daru, text); }
  std::vector<std::string> Rows(const std::string& sql) { return root.Rows(sql); }
  void Refuse(const std::string& when, const std::string& table) {
    root.Exec("CREATE TRIGGER refuse BEFORE " + when + " ON " + table + " BEGIN SELECT RAISE(ABORT, 'full'); END;");
  }
  void Allow() { root.Exec("DROP TRIGGER refuse;"); }

  ProvisionedRoot root;
  CDARU* daru = nullptr;
  CLabelTree* tree = nullptr;
  CLabel* three = nullptr;
  CLabel* other = nullptr;
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

TEST_F(FacadeTest, InitLoadsHierarchyAndTypesOnce) {
  EXPECT_EQ(Shape(tree->GetHeadLabel()), "1(2 3 4)");
  EXPECT_EQ(tree->GetFavRSSLabel()->labelid, 2);
  EXPECT_EQ(daru->FindArticlePath(u"B"), u"web");
  EXPECT_EQ(daru->FindArticlePath(u"A"), u"rss");
  // Already up: a second call changes nothing and keeps the objects callers hold.
  EXPECT_TRUE(daru->Init());
  EXPECT_EQ(daru->GetLabelTree()->FindLabel(3), three);
  EXPECT_EQ(CDARUTestAccess::Types(daru).size(), 2u);
}

TEST(FacadeInit, FailsWithoutACatalogueAndMayBeRetried) {
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

TEST(FacadeInit, AnUnreadableTableFailsInit) {
  for (const char* table : {"label", "articletype"}) {
    ProvisionedRoot root;
    root.Exec(std::string("ALTER TABLE ") + table + " RENAME TO moved;");
    CDARU* daru = CDARU::Instance();
    EXPECT_FALSE(daru->Init()) << table;
    EXPECT_NE(ToUtf8(daru->GetLastDBError()).find("no such table"), std::string::npos);
    delete daru;
  }
}

TEST_F(FacadeTest, HierarchyEditsPersistAcrossFacades) {
  CLabel* a = tree->InsertLabel(three, u"甲");
  CLabel* b = tree->InsertLabel(a, u"乙");
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(tree->MoveLabel(a, other));
  ASSERT_TRUE(tree->UpdateLabel(b, u"乙二", static_cast<unsigned>(b->toplayer)));
  ASSERT_TRUE(tree->DeleteLabel(tree->InsertLabel(other, u"丁")));
  const std::string shape = Shape(tree->GetHeadLabel());
  const int renamed = b->labelid;

  // The hierarchy goes with the facade; a new one reads the catalogue afresh.
  delete daru;
  daru = CDARU::Instance();
  ASSERT_TRUE(daru->Init());
  tree = daru->GetLabelTree();
  EXPECT_EQ(CLabelTree::Instance(nullptr), tree);
  EXPECT_EQ(Shape(tree->GetHeadLabel()), shape);
  ASSERT_NE(tree->FindLabel(renamed), nullptr);
  EXPECT_EQ(tree->FindLabel(renamed)->name, u"乙二");
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
  for (const auto& [text, digest] : suite) EXPECT_EQ(Md5(text), digest);
}

TEST_F(FacadeTest, Md5HashesUtf8UnitByUnit) {
  EXPECT_EQ(Md5(u"http://例子.cn/文章"), "178b214555ca802513a6e6dbbcd05c25");
  // A pair gives the four-byte form; lone halves their three-byte forms.
  EXPECT_EQ(Md5(u"\U0001F600"), "2a02eac39d716a70ecf37579185927b6");
  EXPECT_EQ(Md5(std::u16string{0xD83D, u'a'}), "06fb044354f3d1cbec95be0617b0ea14");
  EXPECT_EQ(Md5(std::u16string{0xD83D}), "e8ba4e95226250ecd3817eab591e4ced");
  EXPECT_EQ(Md5(std::u16string{u'a', 0xDC00, u'b'}), "c823213a36c9dff11ae0a8e90a6ce38c");
  // Long links are hashed whole, so they keep folders of their own.
  EXPECT_EQ(Md5(std::u16string(519, u'x')), "55c7d4105efc30adbb04b9c136212145");
  EXPECT_EQ(Md5(std::u16string(600, u'x')), "2bfac1bb871236a26c9bbc8389d00b83");
  EXPECT_EQ(Md5(std::u16string(599, u'x') + u"y"), "84d6f70e8d88362cae4258f3855f5550");
}

TEST_F(FacadeTest, NewArticleIsStoredAndListedUnderTheCurrentLabel) {
  daru->m_pCurLabel = three;
  int result = 0;
  CArticle* a = Add(three, u"http://a.cn/1", 0, result);
  ASSERT_EQ(result, 0);
  EXPECT_TRUE(Listed(a));
  EXPECT_EQ(ToUtf8(a->filename), Md5(u"http://a.cn/1"));
  EXPECT_EQ(a->url, u"http://a.cn/1");
  EXPECT_EQ(a->label, 3);
  EXPECT_EQ(a->key1, u"关键字");
  EXPECT_FALSE(a->crdate.GetFmtString().empty());
  EXPECT_EQ(a->descfile, FromUtf8(root.path().string()) + u"/DARU/web/" + a->filename + u".xml");
  const std::string id = std::to_string(a->articleid);
  EXPECT_EQ(Rows("SELECT filename,url,title,label,labels FROM article WHERE articleid=" + id),
            Lines({(Md5(u"http://a.cn/1") + "|http://a.cn/1|标题|3|1").c_str()}));

  // The record agrees with its row, so its first update keeps the label count
  // and an unrelated label's removal does not sweep it away.
  EXPECT_EQ(a->labels, 1);
  a->readflag = false;
  ASSERT_TRUE(daru->UpdateArticle(*a));
  ASSERT_TRUE(tree->DeleteLabel(other));
  EXPECT_EQ(Rows("SELECT labels,readflag FROM article WHERE articleid=" + id), Lines({"1|F"}));

  // The same link again is the listed article, whatever the request.
  EXPECT_EQ(Add(three, u"http://a.cn/1", 1, result), a);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(daru->GetArticleList().size(), 1u);
  EXPECT_EQ(Rows("SELECT count(*) FROM articletolabel"), Lines({"1"}));
}

TEST_F(FacadeTest, StoredLinkUnderAnotherLabel) {
  int result = 0;
  CArticle* a = Add(three, u"http://a.cn/1", 0, result);
  EXPECT_FALSE(Listed(a));  // no current label: the caller owns it
  const std::string id = std::to_string(a->articleid);
  Release(a);

  CArticle* e = Add(other, u"http://a.cn/1", 0, result);
  EXPECT_EQ(result, 2);
  EXPECT_FALSE(Listed(e));
  Release(e);
  EXPECT_EQ(Rows("SELECT count(*) FROM articletolabel WHERE articleid=" + id), Lines({"1"}));

  e = Add(other, u"http://a.cn/1", 1, result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(e->labels, 2);
  Release(e);
  EXPECT_EQ(Rows("SELECT labels FROM article WHERE articleid=" + id), Lines({"2"}));
  EXPECT_EQ(Rows("SELECT labelid FROM articletolabel WHERE articleid=" + id + " ORDER BY labelid"), Lines({"3", "4"}));

  e = Add(three, u"http://a.cn/1", 1, result);
  EXPECT_EQ(result, 3);
  Release(e);
  EXPECT_EQ(Rows("SELECT labels FROM article WHERE articleid=" + id), Lines({"2"}));

  // Under the current label, a stored article joins the list and is then the listed one.
  daru->m_pCurLabel = other;
  e = Add(other, u"http://a.cn/1", 0, result);
  EXPECT_EQ(result, 2);
  EXPECT_TRUE(Listed(e));
  EXPECT_EQ(Add(other, u"http://a.cn/1", 0, result), e);
  EXPECT_EQ(result, 1);
}

TEST_F(FacadeTest, IdentityIsTheDigestOfTheGivenLink) {
  int result = 0;
  CArticle* a = Add(three, u"/feeds/item.xml", 0, result, false);
  ASSERT_EQ(result, 0);
  EXPECT_EQ(a->url, u"");
  EXPECT_EQ(ToUtf8(a->filename), Md5(u"/feeds/item.xml"));
  Release(a);
  Release(Add(other, u"/feeds/item.xml", 0, result, false));
  EXPECT_EQ(result, 2);
  Release(Add(three, u"/Feeds/item.xml", 0, result, false));
  EXPECT_EQ(result, 0);  // letter case makes another link
  EXPECT_EQ(Rows("SELECT count(*) FROM article"), Lines({"2"}));
}

TEST_F(FacadeTest, CaptureFailures) {
  int result = 1;
  EXPECT_EQ(daru->AddArticle(three, u"http://a.cn/1", u"t", u"", u"Z", result, true), nullptr);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(Add(nullptr, u"http://a.cn/1", 0, result), nullptr);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(daru->AddArticle(three, u"http://a.cn/1", u"t", u"k"), nullptr);
  EXPECT_EQ(Rows("SELECT count(*) FROM article"), Lines({"0"}));

  Refuse("INSERT", "article");
  EXPECT_EQ(Add(three, u"http://a.cn/1", 0, result), nullptr);
  EXPECT_EQ(result, -3);
  EXPECT_NE(ToUtf8(daru->GetLastDBError()).find("full"), std::string::npos);
  Allow();

  Release(Add(three, u"http://a.cn/1", 0, result));
  Refuse("INSERT", "articletolabel");
  CArticle* e = Add(other, u"http://a.cn/1", 1, result);
  EXPECT_EQ(result, -1);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->labels, 1);
  Release(e);
  Allow();

  Refuse("UPDATE", "article");
  e = Add(other, u"http://a.cn/1", 1, result);
  EXPECT_EQ(result, -1);
  Release(e);
  EXPECT_EQ(Rows("SELECT count(*) FROM articletolabel"), Lines({"1"}));  // link and count go in together, or neither
  Allow();

  root.Exec("ALTER TABLE article RENAME TO moved;");
  EXPECT_EQ(Add(three, u"http://a.cn/1", 1, result), nullptr);
  EXPECT_EQ(result, -3);
}

TEST_F(FacadeTest, FilingAnArticleUnderALabel) {
  int result = 0;
  CArticle* a = Add(three, u"http://a.cn/1", 0, result);
  EXPECT_EQ(daru->AddArticle(a, three), 1);
  EXPECT_EQ(daru->AddArticle(a, other), 0);
  EXPECT_EQ(a->labels, 1);  // the count is the capture's business
  EXPECT_EQ(Rows("SELECT labels FROM article"), Lines({"1"}));
  EXPECT_EQ(daru->AddArticle(a, nullptr), -1);
  Refuse("INSERT", "articletolabel");
  EXPECT_EQ(daru->AddArticle(a, tree->FindLabel(2)), -1);
  Release(a);
}

TEST_F(FacadeTest, QueriesReplaceTheResultList) {
  int result = 0;
  for (auto url : {u"http://a.cn/abc", u"http://a.cn/xyz", u"http://b.cn/abc"})
    Release(daru->AddArticle(three, url, url, u"", u"B", result, true));
  CArticle pattern;
  pattern.title = u"abc";
  EXPECT_EQ(daru->QueryArticle(pattern, 2, true), 2);
  EXPECT_EQ(daru->GetArticleList().size(), 2u);
  EXPECT_EQ(daru->QueryArticle(pattern, 2, false), 0);
  EXPECT_TRUE(daru->GetArticleList().empty());
  EXPECT_EQ(daru->QueryArticle(three, CArticle(), 0), 3);
  EXPECT_EQ(daru->QueryArticle(other, CArticle(), 0), 0);
  EXPECT_EQ(daru->QueryArticle(nullptr, CArticle(), 0), -1);

  // A failed query still drops the previous list (ASan would see a leak or a double release).
  EXPECT_EQ(daru->QueryArticle(three, CArticle(), 0), 3);
  root.Exec("ALTER TABLE article RENAME TO moved;");
  EXPECT_EQ(daru->QueryArticle(three, CArticle(), 0), -1);
  EXPECT_TRUE(daru->GetArticleList().empty());
}

TEST_F(FacadeTest, DeletingListedArticlesKeepsTheOrderOfTheRest) {
  int result = 0;
  for (auto url : {u"http://a.cn/1", u"http://a.cn/2", u"http://a.cn/3"}) {
    CArticle* a = Add(three, url, 0, result);
    ASSERT_TRUE(a->CreateDescriptionFile(GetTypeFolder(u"B"), true));
    Release(a);
  }
  ASSERT_EQ(daru->QueryArticle(three, CArticle(), 0), 3);
  std::vector<CArticle*> list = daru->GetArticleList();

  Refuse("DELETE", "articletolabel");
  EXPECT_FALSE(daru->DeleteArticle(list[1], three));
  EXPECT_EQ(daru->GetArticleList(), list);
  Allow();

  const std::u16string file = list[1]->GetDescriptionFilename();
  ASSERT_TRUE(daru->DeleteArticle(list[1], three));
  EXPECT_EQ(daru->GetArticleList(), (std::vector<CArticle*>{list[0], list[2]}));
  EXPECT_FALSE(PathExists(file, true));  // its last label went, and its files with it
  EXPECT_EQ(Rows("SELECT count(*) FROM article"), Lines({"2"}));

  // An article of the caller's own: deleted in the store, the list untouched.
  CArticle own(*list[0]);
  EXPECT_TRUE(daru->DeleteArticle(&own, nullptr));
  EXPECT_EQ(daru->GetArticleList().size(), 2u);
  EXPECT_FALSE(daru->DeleteArticle(list[0], nullptr));  // its row is gone already
  EXPECT_FALSE(daru->DeleteArticle(nullptr, nullptr));
}

// The one capture: its outcomes, who owns the article, and the rule for the
// texts of a stored link.
TEST_F(FacadeTest, CaptureOutcomesOwnershipAndTheStoredTextsRule) {
  CCaptureRequest request;
  request.label = three;
  request.link = u"http://c.example/1";
  request.title = u"第一";
  request.type = u"B";
  request.description = u"d1";
  request.comment = u"c1";
  CCaptureOutcome first = daru->Capture(request);
  ASSERT_EQ(first.result, CaptureResult::New) << ToUtf8(first.reason);
  EXPECT_FALSE(first.Listed());
  const std::u16string file = first.Article()->GetDescriptionFilename();
  ASSERT_TRUE(PathExists(file, true));

  // Another label, asked only to report: nothing changes.
  CCaptureRequest report = request;
  report.label = other;
  report.fileStored = false;
  report.comment = u"c2";
  CCaptureOutcome reported = daru->Capture(report);
  EXPECT_EQ(reported.result, CaptureResult::Stored);
  EXPECT_EQ(reported.kept, std::vector<std::u16string>{u"comment"});
  EXPECT_EQ(Rows("SELECT count(*) FROM articletolabel"), Lines({"1"}));

  // Filed under it, keeping the stored texts; a person's texts replace them.
  CCaptureRequest keep = report;
  keep.fileStored = true;
  keep.title = u"别的标题";
  CCaptureOutcome filed = daru->Capture(keep);
  EXPECT_EQ(filed.result, CaptureResult::Filed);
  EXPECT_EQ(filed.Article()->title, u"第一");
  EXPECT_EQ(filed.Article()->labels, 2);
  EXPECT_EQ(filed.Article()->GetComment(), u"c1");
  CCaptureRequest replace = keep;
  replace.replaceStoredTexts = true;
  daru->m_pCurLabel = other;
  CCaptureOutcome replaced = daru->Capture(replace);
  EXPECT_EQ(replaced.result, CaptureResult::AlreadyFiled);
  EXPECT_EQ(replaced.changed, std::vector<std::u16string>{u"comment"});
  EXPECT_TRUE(replaced.Listed());  // under the current label the result list owns it
  EXPECT_TRUE(Listed(replaced.Article()));
  EXPECT_EQ(replaced.Release(), nullptr);
  CArticle reread;
  reread.filename = replaced.Article()->filename;
  reread.type = u"B";
  EXPECT_EQ(reread.LoadComment(), u"c2");
  EXPECT_EQ(reread.LoadDescription(), u"d1");
  daru->m_pCurLabel = nullptr;

  // Refusals change nothing.
  CCaptureRequest unknown = request;
  unknown.link = u"http://c.example/2";
  unknown.type = u"Z";
  EXPECT_EQ(daru->Capture(unknown).refusal, CaptureRefusal::UnknownType);
  CCaptureRequest nowhere = request;
  nowhere.label = nullptr;
  EXPECT_EQ(daru->Capture(nowhere).refusal, CaptureRefusal::NoLabel);
  Refuse("INSERT", "article");
  CCaptureRequest failing = request;
  failing.link = u"http://c.example/3";
  CCaptureOutcome refused = daru->Capture(failing);
  EXPECT_EQ(refused.refusal, CaptureRefusal::Catalogue);
  EXPECT_EQ(refused.Article(), nullptr);
  Allow();
  EXPECT_EQ(Rows("SELECT count(*) FROM article"), Lines({"1"}));
}

// A feed item arrives unread and dated by its feed: the row is inserted with
// them, so no later write can fail and leave it read and dated now.
TEST_F(FacadeTest, ANewArticleTakesTheGivenMarksAndDateWithItsRowAndAStoredOneKeepsItsOwn) {
  CCaptureRequest request;
  request.label = three;
  request.link = u"http://m.example/1";
  request.title = u"条目";
  request.type = u"A";
  request.read = false;
  request.important = true;
  request.created = 1055217600;
  // The capture writes the row once: a store refusing every update of an article still takes it.
  Refuse("UPDATE", "article");
  CCaptureOutcome made = daru->Capture(request);
  ASSERT_EQ(made.result, CaptureResult::New) << ToUtf8(made.reason);
  Allow();
  EXPECT_FALSE(made.Article()->readflag);
  EXPECT_TRUE(made.Article()->impflag);
  EXPECT_EQ(made.Article()->crdate.GetTimeLong(), 1055217600);
  const std::string id = std::to_string(made.Article()->articleid);
  EXPECT_EQ(Rows("SELECT readflag,impflag FROM article WHERE articleid=" + id), Lines({"F|T"}));
  CArticle reread;
  reread.filename = made.Article()->filename;
  std::vector<CArticle*> found;
  ASSERT_TRUE(daru->GetDB()->QueryArticle(found, reread, kArticleMaskFilename, false));
  std::vector<std::unique_ptr<CArticle>> owned(found.begin(), found.end());
  ASSERT_EQ(owned.size(), 1u);
  EXPECT_EQ(owned[0]->crdate.GetTimeLong(), 1055217600);

  // Captured again under another label with other marks: the stored article's stay.
  CCaptureRequest again = request;
  again.label = other;
  again.read = true;
  again.important = false;
  again.created = 1600000000;
  CCaptureOutcome filed = daru->Capture(again);
  ASSERT_EQ(filed.result, CaptureResult::Filed) << ToUtf8(filed.reason);
  EXPECT_FALSE(filed.Article()->readflag);
  EXPECT_TRUE(filed.Article()->impflag);
  EXPECT_EQ(filed.Article()->crdate.GetTimeLong(), 1055217600);
  EXPECT_EQ(Rows("SELECT readflag,impflag,labels FROM article WHERE articleid=" + id), Lines({"F|T|2"}));

  // Refused at its description file (a folder stands where it goes): no row at all.
  CCaptureRequest blocked = request;
  blocked.link = u"http://m.example/2";
  CArticle probe;
  probe.filename = FromUtf8(Md5(blocked.link));
  probe.type = u"A";
  const std::filesystem::path in = ToUtf8(probe.GetDescriptionFilename());
  std::filesystem::create_directories(in / "occupied");
  CCaptureOutcome refused = daru->Capture(blocked);
  EXPECT_EQ(refused.result, CaptureResult::Refused);
  EXPECT_TRUE(refused.undone) << ToUtf8(refused.undoFailure);
  EXPECT_EQ(Rows("SELECT count(*) FROM article WHERE filename='" + Md5(blocked.link) + "'"), Lines({"0"}));

  // Without marks a capture stores a read page dated now, as before.
  CCaptureRequest page = request;
  page.link = u"http://m.example/3";
  page.type = u"B";
  page.read.reset();
  page.important.reset();
  page.created.reset();
  CCaptureOutcome plain = daru->Capture(page);
  ASSERT_EQ(plain.result, CaptureResult::New) << ToUtf8(plain.reason);
  EXPECT_EQ(Rows("SELECT readflag,impflag FROM article WHERE articleid=" + std::to_string(plain.Article()->articleid)),
            Lines({"T|F"}));
  EXPECT_GT(plain.Article()->crdate.GetTimeLong(), 1600000000);
}
