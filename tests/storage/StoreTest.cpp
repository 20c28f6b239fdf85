#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>

#include "StorageAccess.h"
#include "base/TextConv.h"
#include "facade/DARU.h"
#include "fixtures/DaruAccess.h"
#include "fixtures/ProvisionedRoot.h"
#include "fixtures/StoreSteps.h"
#include "storage/DB.h"

namespace fs = std::filesystem;

namespace {

class Store : public ::testing::Test, public StoreSteps {
 protected:
  void SetUp() override {
    daru = CDARU::Instance();
    root.LoadArticleTypes(daru);
    store.reset(CreateStore(1));
    ASSERT_TRUE(store->InitDB()) << Error();
  }
  void TearDown() override {
    store.reset();
    delete daru;
  }
  ProvisionedRoot root;
  CDARU* daru = nullptr;
};

}  // namespace

TEST(StoreFactory, OnlyTypeOneGivesAStoreAndFailuresBecomeTheLastError) {
  EXPECT_EQ(CreateStore(0), nullptr);
  EXPECT_EQ(CreateStore(2), nullptr);
  EXPECT_EQ(CreateStore(-1), nullptr);
  std::unique_ptr<CDB> store(CreateStore(1));
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->GetLastDBError(), u"");

  CLabel label;
  label.name = u"x";
  CArticle article;
  std::vector<CArticleType> types;
  EXPECT_FALSE(store->AddLabel(label));
  EXPECT_EQ(store->GetLastDBError(), u"CPPSQLITE_ERROR[1000]: Database not open");
  store = std::unique_ptr<CDB>(CreateStore(1));
  EXPECT_FALSE(store->QueryArticleType(types));
  EXPECT_FALSE(store->DeleteArticle(&article, &label));
  EXPECT_EQ(store->GetLastDBError(), u"CPPSQLITE_ERROR[1000]: Database not open");

  TempDir dir;
  ScopedDataRoot bare(dir.path());
  EXPECT_FALSE(store->InitDB());  // no DARU folder
  EXPECT_EQ(ToUtf8(store->GetLastDBError()).rfind("SQLITE_CANTOPEN[14]: ", 0), 0u);
  // The message names the file it tried, so a person knows where to look.
  EXPECT_NE(ToUtf8(store->GetLastDBError()).find((dir.path() / "DARU" / "darudb").string()), std::string::npos);
  fs::create_directory(dir.path() / "DARU");
  EXPECT_TRUE(store->InitDB());  // an empty catalogue opens, but holds no tables
  std::vector<CLabel*> labels;
  EXPECT_FALSE(store->QueryLabel(labels, CLabel(), 0));
  EXPECT_EQ(store->GetLastDBError(), u"SQLITE_ERROR[1]: no such table: label");
  EXPECT_TRUE(labels.empty());
}

TEST_F(Store, LabelsKeepQuotesAndAnswerEveryMask) {
  CLabel empty;
  EXPECT_FALSE(store->AddLabel(empty));
  EXPECT_EQ(store->GetLastDBError(), u"未提供一个有效的标签名。");
  EXPECT_EQ(root.Rows("SELECT count(*) FROM label"), Lines({"3"}));

  CLabel quoted;
  quoted.name = u"Bob's 'news' x' OR '1'='1";
  quoted.toplayer = 3;
  ASSERT_TRUE(store->AddLabel(quoted));
  EXPECT_EQ(quoted.labelid, 4);
  EXPECT_EQ(store->GetLastDBError(), u"未提供一个有效的标签名。");  // success keeps the last error
  CLabel plain;
  plain.name = u"其他";
  ASSERT_TRUE(store->AddLabel(plain));
  EXPECT_EQ(root.Rows("SELECT * FROM label WHERE labelid>3"), Lines({"4|Bob's 'news' x' OR '1'='1|3", "5|其他|1"}));

  auto count = [&](const CLabel& pattern, unsigned mask) {
    Owned<CLabel> out;
    EXPECT_TRUE(store->QueryLabel(out.v, pattern, mask)) << Error();
    for (CLabel* l : out.v) EXPECT_TRUE(l->parent == nullptr && l->firstChild == nullptr && l->nextSibling == nullptr);
    return out.v.size();
  };
  for (unsigned mask : {1u, 2u, 3u, 4u, 5u, 6u, 7u}) EXPECT_EQ(count(quoted, mask), 1u) << mask;
  CLabel other = quoted;
  other.name = u"Bob's";
  EXPECT_EQ(count(other, 2), 0u);
  EXPECT_EQ(count(other, 5), 1u);
  EXPECT_EQ(count(other, 6), 0u);
  Owned<CLabel> none;
  EXPECT_FALSE(store->QueryLabel(none.v, quoted, 8));  // no known bit: the statement is incomplete
  EXPECT_EQ(Error().rfind("SQLITE_ERROR[1]: ", 0), 0u) << Error();

  // Mask 0: every label by parent, then id; earlier contents stay in front.
  Owned<CLabel> all;
  all.v.push_back(new CLabel());
  ASSERT_TRUE(store->QueryLabel(all.v, CLabel(), 0));
  std::vector<int> ids;
  for (CLabel* l : all.v) ids.push_back(l->labelid);
  EXPECT_EQ(ids, (std::vector<int>{0, 1, 2, 3, 5, 4}));
  EXPECT_EQ(all.v[5]->name, quoted.name);
  EXPECT_EQ(all.v[5]->toplayer, 3);

  quoted.name = u"it's";
  quoted.toplayer = 1;
  EXPECT_TRUE(store->UpdateLabel(quoted));
  EXPECT_EQ(root.Rows("SELECT * FROM label WHERE labelid=4"), Lines({"4|it's|1"}));
  quoted.labelid = 99;
  EXPECT_FALSE(store->UpdateLabel(quoted));
}

TEST_F(Store, ArticlesAreStoredAndLoadedFieldByField) {
  CArticle a;
  a.url = u"http://example.com/?q='a'";
  a.filename = u"f'1";
  a.title = u"It's 标题";
  a.key1 = u"k'ey";
  a.type = u"B";
  a.label = 5;
  a.crdate.MakeTime(2005, 2, 7, 9, 5, 0, 0);
  a.brdate.MakeTime(2006, 0, 1, 0, 0, 0, 0);
  long created = a.crdate.GetTimeLong();
  ASSERT_TRUE(store->AddArticle(a)) << Error();
  EXPECT_EQ(a.articleid, 1);
  EXPECT_EQ(a.labels, 0);  // the record keeps its own values
  EXPECT_EQ(root.Rows("SELECT * FROM article"),
            Lines({("1|f'1|http://example.com/?q='a'|It's 标题|k'ey|B|1|5|1|T|F|" + std::to_string(created) + "|0|0")
                       .c_str()}));
  EXPECT_EQ(root.Rows("SELECT labelid, articleid FROM articletolabel"), Lines({"5|1"}));

  CArticle pattern;
  pattern.articleid = 1;
  Owned<CArticle> found;
  ASSERT_TRUE(store->QueryArticle(found.v, pattern, 1, false));
  ASSERT_EQ(found.v.size(), 1u);
  CArticle& b = *found.v[0];
  EXPECT_EQ(b.url, a.url);
  EXPECT_EQ(b.filename, a.filename);
  EXPECT_EQ(b.title, a.title);
  EXPECT_EQ(b.key1, a.key1);
  EXPECT_EQ(b.type, u"B");
  EXPECT_EQ(b.labels, 1);
  EXPECT_EQ(b.label, 5);
  EXPECT_EQ(b.version, 1);
  EXPECT_TRUE(b.readflag);
  EXPECT_FALSE(b.impflag);
  EXPECT_EQ(b.crdate.GetFmtString(), u"2005/03/07  9:05:00");
  EXPECT_EQ(b.brdate.GetFmtString(), u"");
  EXPECT_EQ(b.descfile, FromUtf8((root.daru() / "web" / "f'1.xml").string()));

  // Only the changeable fields are written back.
  b.title = u"Ann's";
  b.key1 = u"a'b";
  b.labels = 2;
  b.version = 3;
  b.readflag = false;
  b.impflag = true;
  b.brdate.MakeTime(2006, 0, 1, 0, 0, 0, 0);
  b.url = b.filename = b.type = u"changed";
  b.label = 9;
  ASSERT_TRUE(store->UpdateArticle(b)) << Error();
  EXPECT_EQ(
      root.Rows("SELECT url,filename,title,key1,type,labels,label,version,readflag,impflag,brdate FROM article"),
      Lines(
          {("http://example.com/?q='a'|f'1|Ann's|a'b|B|2|5|3|F|T|" + std::to_string(b.brdate.GetTimeLong())).c_str()}));
  b.articleid = 99;
  EXPECT_FALSE(store->UpdateArticle(b));

  // Any flag text but "F" reads as true; NULL texts read as empty.
  root.Exec("UPDATE article SET readflag='', impflag=NULL, key1=NULL, crdate=NULL");
  Owned<CArticle> byLabel;
  CLabel five = Label(5);
  ASSERT_TRUE(store->QueryArticle(byLabel.v, &five, CArticle(), 0));
  ASSERT_EQ(byLabel.v.size(), 1u);
  EXPECT_TRUE(byLabel.v[0]->readflag);
  EXPECT_TRUE(byLabel.v[0]->impflag);
  EXPECT_EQ(byLabel.v[0]->key1, u"");
  EXPECT_EQ(byLabel.v[0]->crdate.GetFmtString(), u"");
  CLabel three = Label(3);
  EXPECT_TRUE(store->QueryArticle(byLabel.v, &three, CArticle(), 0));
  EXPECT_EQ(byLabel.v.size(), 1u);
  EXPECT_FALSE(store->QueryArticle(byLabel.v, nullptr, CArticle(), 0));
}

TEST_F(Store, NewIdsAreThoseOfTheRowsThisStoreInserted) {
  // Another writer's rows, inserted in the same moment, carry higher ids.
  root.Exec(
      "CREATE TRIGGER other_label AFTER INSERT ON label WHEN NEW.name<>'other' BEGIN "
      "INSERT INTO label(name,toplayer) VALUES('other',0); END;"
      "CREATE TRIGGER other_article AFTER INSERT ON article WHEN NEW.filename<>'other' BEGIN "
      "INSERT INTO article(filename,labels) VALUES('other',1); END;");
  CLabel mine;
  mine.name = u"mine";
  ASSERT_TRUE(store->AddLabel(mine));
  EXPECT_EQ(root.Rows("SELECT name FROM label WHERE labelid=" + std::to_string(mine.labelid)), Lines({"mine"}));
  CArticle a = Add(u"mine", 3);
  EXPECT_EQ(root.Rows("SELECT a.filename FROM article a JOIN articletolabel l ON a.articleid=l.articleid"),
            Lines({"mine"}));
  EXPECT_EQ(root.Rows("SELECT filename FROM article WHERE articleid=" + std::to_string(a.articleid)), Lines({"mine"}));

  // A link that cannot be written takes its article row back with it.
  root.Exec("CREATE TRIGGER refuse BEFORE INSERT ON articletolabel BEGIN SELECT RAISE(ABORT,'refused'); END;");
  CArticle b;
  b.filename = u"b";
  b.label = 3;
  EXPECT_FALSE(store->AddArticle(b));
  EXPECT_EQ(Error(), "SQLITE_CONSTRAINT[19]: refused");
  EXPECT_EQ(b.articleid, 0);
  EXPECT_EQ(root.Rows("SELECT count(*) FROM article WHERE filename='b'"), Lines({"0"}));
}

TEST_F(Store, PatternQueriesMatchTitlesAndKeywords) {
  for (auto title : {u"xxabcxx", u"ABC", u"a_c", u"it's here", u"other"}) Add(title, 3, title);
  CArticle p;
  p.title = u"abc";
  EXPECT_EQ(Titles(p, 2, true), Lines({"ABC", "xxabcxx"}));
  EXPECT_TRUE(Titles(p, 2, false).empty());
  p.title = u"b";
  EXPECT_EQ(Titles(p, 2, true), Lines({"ABC", "xxabcxx"}));
  p.title = u"a_c";  // the wildcard keeps its meaning
  EXPECT_EQ(Titles(p, 2, true), Lines({"ABC", "a_c", "xxabcxx"}));
  EXPECT_EQ(Titles(p, 2, false), Lines({"a_c"}));
  p.title = u"it's";
  EXPECT_EQ(Titles(p, 2, true), Lines({"it's here"}));
  p.title = u"x' OR '1'='1";
  EXPECT_TRUE(Titles(p, 2, true).empty());

  p.filename = u"ABC";
  EXPECT_EQ(Titles(p, 4, true), Lines({"ABC"}));  // always equality
  p.filename = u"AB";
  EXPECT_TRUE(Titles(p, 4, true).empty());

  root.Exec("UPDATE article SET key1='news, tech' WHERE title='other'");
  p.key1 = u"tech";
  EXPECT_EQ(Titles(p, 8, true), Lines({"other"}));
  EXPECT_TRUE(Titles(p, 8, false).empty());

  p.articleid = 1;  // "xxabcxx"
  p.title = u"abc";
  EXPECT_EQ(Titles(p, 1 | 2, true), Lines({"xxabcxx"}));
  p.articleid = 2;
  EXPECT_TRUE(Titles(p, 1 | 2 | 4, true).empty());
  EXPECT_EQ(Titles(CArticle(), 0, false).size(), 5u);
}

TEST_F(Store, LinksLeaveTheLabelCountAlone) {
  CArticle a = Add(u"a", 3, u"t", u"a'type");
  EXPECT_EQ(root.Rows("SELECT type FROM article"), Lines({"a'type"}));
  CLabelToArticle link(4, a.articleid);
  EXPECT_FALSE(store->QueryLabelToArticle(link));
  EXPECT_TRUE(store->AddLabelToArticle(link));
  EXPECT_TRUE(store->QueryLabelToArticle(link));
  EXPECT_FALSE(store->AddLabelToArticle(link));  // one link per label and article
  EXPECT_EQ(Error().rfind("SQLITE_CONSTRAINT[19]: ", 0), 0u) << Error();
  EXPECT_EQ(root.Rows("SELECT labels FROM article"), Lines({"1"}));

  CLabelToArticle one(3, a.articleid);
  EXPECT_TRUE(store->DeleteLabelToArticle(one));
  EXPECT_EQ(root.Rows("SELECT labelid FROM articletolabel"), Lines({"4"}));
  CLabelToArticle all(0, a.articleid);
  EXPECT_TRUE(store->DeleteLabelToArticle(all));
  EXPECT_TRUE(store->DeleteLabelToArticle(all));  // nothing left: still true
  EXPECT_EQ(root.Rows("SELECT count(*) FROM articletolabel"), Lines({"0"}));
  EXPECT_EQ(root.Rows("SELECT labels FROM article"), Lines({"1"}));
}

// A label deletion takes an article only when no link to it is left, whatever
// its count says, and then its files go too.
TEST_F(Store, DeleteLabelTakesOnlyArticlesNoLinkHoldsWithTheirFiles) {
  root.Exec("INSERT INTO label(labelid,name,toplayer) VALUES(4,'four',3),(5,'five',3),(6,'child',4)");
  CArticle kept = Add(u"kept", 4);
  File(kept, 5);
  CArticle only = Add(u"only", 4);
  CArticle stray = Add(u"stray", 5);
  // Counts that drifted below the links (a kill between link and count).
  root.Exec("UPDATE article SET labels=0 WHERE filename IN ('kept','stray')");
  Touch(root.daru() / "web" / "only.xml");
  Touch(root.daru() / "web" / "kept.xml");

  CLabel four = Label(4);
  ASSERT_TRUE(store->DeleteLabel(four)) << Error();
  EXPECT_EQ(root.Rows("SELECT labelid, toplayer FROM label WHERE labelid>3"), Lines({"5|3", "6|4"}));
  EXPECT_EQ(root.Rows("SELECT filename, labels FROM article ORDER BY filename"), Lines({"kept|1", "stray|0"}));
  EXPECT_EQ(root.Rows("SELECT labelid, articleid FROM articletolabel ORDER BY articleid"),
            Lines({("5|" + std::to_string(kept.articleid)).c_str(), ("5|" + std::to_string(stray.articleid)).c_str()}));
  EXPECT_FALSE(fs::exists(root.daru() / "web" / "only.xml"));
  EXPECT_TRUE(fs::exists(root.daru() / "web" / "kept.xml"));

  CLabel missing = Label(99);
  EXPECT_FALSE(store->DeleteLabel(missing));
  WriteLock lock(root.catalogue().string());  // no transaction was left open
  EXPECT_TRUE(lock.Held());
  lock.Release();

  // A step that fails undoes all of them, files included.
  CLabel five = Label(5);
  root.Exec("CREATE TRIGGER keep BEFORE DELETE ON article BEGIN SELECT RAISE(ABORT,'kept'); END;");
  EXPECT_FALSE(store->DeleteLabel(five));
  EXPECT_EQ(Error(), "SQLITE_CONSTRAINT[19]: kept");
  EXPECT_EQ(root.Rows("SELECT count(*) FROM label WHERE labelid=5"), Lines({"1"}));
  EXPECT_EQ(root.Rows("SELECT count(*) FROM articletolabel"), Lines({"2"}));
  EXPECT_TRUE(fs::exists(root.daru() / "web" / "kept.xml"));
  root.Exec("DROP TRIGGER keep");
  // A link whose article row is gone does not stop the deletion.
  root.Exec("DELETE FROM article WHERE filename='stray'");
  ASSERT_TRUE(store->DeleteLabel(five)) << Error();
  EXPECT_EQ(root.Rows("SELECT count(*) FROM article"), Lines({"0"}));
  EXPECT_EQ(root.Rows("SELECT count(*) FROM articletolabel"), Lines({"0"}));
  EXPECT_FALSE(fs::exists(root.daru() / "web" / "kept.xml"));
}

// Filing under a further label links and counts in one step, and the count
// is the number of links, however far it had drifted.
TEST_F(Store, FilingLinksAndCountsInOneStep) {
  root.Exec("INSERT INTO label(labelid,name,toplayer) VALUES(4,'four',3)");
  CArticle a = Add(u"a", 3);
  root.Exec("UPDATE article SET labels=7");
  EXPECT_EQ(store->FileArticle(a, 4), 0) << Error();
  EXPECT_EQ(a.labels, 2);
  EXPECT_EQ(root.Rows("SELECT labels FROM article"), Lines({"2"}));
  EXPECT_EQ(store->FileArticle(a, 4), 1);
  EXPECT_EQ(root.Rows("SELECT count(*) FROM articletolabel"), Lines({"2"}));

  CArticle gone;
  gone.articleid = 99;
  EXPECT_EQ(store->FileArticle(gone, 4), -1);  // no such article: no link is left behind
  EXPECT_EQ(root.Rows("SELECT count(*) FROM articletolabel WHERE articleid=99"), Lines({"0"}));

  // Taking it off one label goes by the links too: a count of 0 does not take
  // an article that is still filed.
  root.Exec("UPDATE article SET labels=0");
  CLabel four = Label(4);
  ASSERT_TRUE(store->DeleteArticle(&a, &four)) << Error();
  EXPECT_EQ(root.Rows("SELECT labels FROM article"), Lines({"1"}));
}

// Times after 2038 and before 1970 are read back as they were written, and an
// update writes back the same value.
TEST_F(Store, TimesBeyondThirtyTwoBitsRoundTrip) {
  ScopedTimeZone tz("UTC0");
  for (int year : {2040, 1960, 2200}) {
    root.Exec("DELETE FROM article; DELETE FROM articletolabel;");
    CArticle a;
    a.filename = u"t";
    a.type = u"B";
    a.label = 3;
    ASSERT_TRUE(a.crdate.MakeTime(year, 0, 2, 3, 4, 5, 0));
    const long written = a.crdate.GetTimeLong();
    ASSERT_TRUE(store->AddArticle(a)) << Error();
    Owned<CArticle> out;
    ASSERT_TRUE(store->QueryArticle(out.v, CArticle(), 0, false)) << Error();
    ASSERT_EQ(out.v.size(), 1u);
    EXPECT_EQ(ToUtf8(out.v[0]->crdate.GetFmtString()), std::to_string(year) + "/01/02  3:04:05");
    ASSERT_TRUE(store->UpdateArticle(*out.v[0])) << Error();
    EXPECT_EQ(root.Rows("SELECT crdate FROM article"), std::vector<std::string>{std::to_string(written)});
  }
}

TEST_F(Store, DeleteArticleRemovesFilesWithItsLastLabel) {
  const std::u16string name = u"0123456789abcdef0123456789abcdef";
  CArticle a = Add(name, 3, u"t", u"A");
  File(a, 4);
  fs::path rss = root.daru() / "rss";
  Touch(rss / (ToUtf8(name) + ".xml"));
  Touch(rss / ToUtf8(name) / "mime.zevm");
  Touch(rss / "neighbour.xml");

  CLabel three = Label(3), four = Label(4);
  EXPECT_FALSE(store->DeleteArticle(nullptr, &four));
  ASSERT_TRUE(store->DeleteArticle(&a, &four)) << Error();
  EXPECT_EQ(root.Rows("SELECT labels FROM article"), Lines({"1"}));
  EXPECT_EQ(root.Rows("SELECT labelid FROM articletolabel"), Lines({"3"}));
  EXPECT_TRUE(fs::exists(rss / (ToUtf8(name) + ".xml")));
  EXPECT_FALSE(store->DeleteArticle(&a, &four));  // that link is gone
  EXPECT_EQ(root.Rows("SELECT labels FROM article"), Lines({"1"}));

  ASSERT_TRUE(store->DeleteArticle(&a, &three)) << Error();
  EXPECT_EQ(root.Rows("SELECT count(*) FROM article"), Lines({"0"}));
  EXPECT_FALSE(fs::exists(rss / (ToUtf8(name) + ".xml")));
  EXPECT_FALSE(fs::exists(rss / ToUtf8(name)));
  EXPECT_TRUE(fs::exists(rss / "neighbour.xml"));

  // A page's media copy lies under the feed type's folder; it goes with the page.
  const std::u16string page = u"fedcba9876543210fedcba9876543210";
  CArticle p = Add(page, 3);
  Touch(root.daru() / "web" / (ToUtf8(page) + ".xml"));
  Touch(rss / ToUtf8(page) / "mime.zevm");
  ASSERT_TRUE(store->DeleteArticle(&p, &three)) << Error();
  EXPECT_FALSE(fs::exists(root.daru() / "web" / (ToUtf8(page) + ".xml")));
  EXPECT_FALSE(fs::exists(rss / ToUtf8(page)));

  // Without a label: row and every link go, the files stay.
  CArticle b = Add(u"b", 3);
  File(b, 4);
  Touch(root.daru() / "web" / "b.xml");
  ASSERT_TRUE(store->DeleteArticle(&b, nullptr)) << Error();
  EXPECT_EQ(root.Rows("SELECT count(*) FROM article"), Lines({"0"}));
  EXPECT_EQ(root.Rows("SELECT count(*) FROM articletolabel"), Lines({"0"}));
  EXPECT_TRUE(fs::exists(root.daru() / "web" / "b.xml"));
  EXPECT_FALSE(store->DeleteArticle(&b, nullptr));

  // A step that fails undoes the earlier ones.
  CArticle c = Add(u"c", 3);
  Touch(root.daru() / "web" / "c.xml");
  root.Exec("CREATE TRIGGER keep BEFORE DELETE ON article BEGIN SELECT RAISE(ABORT,'kept'); END;");
  EXPECT_FALSE(store->DeleteArticle(&c, &three));
  EXPECT_EQ(Error(), "SQLITE_CONSTRAINT[19]: kept");
  EXPECT_EQ(root.Rows("SELECT labels FROM article"), Lines({"1"}));
  EXPECT_EQ(root.Rows("SELECT labelid FROM articletolabel"), Lines({"3"}));
  EXPECT_TRUE(fs::exists(root.daru() / "web" / "c.xml"));
}

TEST_F(Store, DeleteArticleTouchesNothingOutsideItsTypeFolder) {
  CDARUTestAccess::Types(daru).emplace_back(3, u"X", u"..");
  Touch(root.path() / "outside.xml");
  Touch(root.path() / "outside" / "keep");
  CLabel three = Label(3);
  // A file name that climbs out, a type folder that does, and an unknown type
  // whose "folder" would be the DARU folder itself.
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"../../outside", u"B"}, {u"outside", u"X"}, {u"web", u"Z"}};
  for (auto [file, type] : cases) {
    CArticle a = Add(file, 3, u"t", type);
    EXPECT_TRUE(store->DeleteArticle(&a, &three)) << Error();
  }
  EXPECT_EQ(root.Rows("SELECT count(*) FROM article"), Lines({"0"}));
  EXPECT_TRUE(fs::exists(root.path() / "outside.xml"));
  EXPECT_TRUE(fs::exists(root.path() / "outside" / "keep"));
  EXPECT_TRUE(fs::is_directory(root.daru() / "web"));
}

TEST_F(Store, WaitsWhileAnotherConnectionWrites) {
  WriteLock lock(root.catalogue().string());
  ASSERT_TRUE(lock.Held());
  auto start = std::chrono::steady_clock::now();
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    lock.Release();
  });
  CLabel late;
  late.name = u"late";
  EXPECT_TRUE(store->AddLabel(late)) << Error();
  release.join();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_EQ(root.Rows("SELECT name FROM label WHERE labelid=4"), Lines({"late"}));
}

TEST_F(Store, CommandLineClientReadsWhatTheStoreWrote) {
  CLabel label;
  label.name = u"新闻 'quoted'";
  ASSERT_TRUE(store->AddLabel(label));
  Add(u"f", label.labelid, u"标题：测试");
  std::string command = "sqlite3 -batch -readonly '" + root.catalogue().string() +
                        "' \"SELECT l.name, a.title FROM label l JOIN articletolabel t ON t.labelid=l.labelid "
                        "JOIN article a ON a.articleid=t.articleid\" 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buf[256];
  while (size_t n = fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
  EXPECT_EQ(pclose(pipe), 0) << output;
  EXPECT_EQ(output, "新闻 'quoted'|标题：测试\n");
}
