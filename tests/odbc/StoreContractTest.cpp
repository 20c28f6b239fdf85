// The catalogue contract, checked on every store: the SQLite store, and the
// ODBC store on the embedded SQLite driver and on a PostgreSQL server.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "StoreCatalogue.h"
#include "base/TextConv.h"
#include "facade/DARU.h"
#include "fixtures/DaruAccess.h"
#include "fixtures/StoreSteps.h"
#include "fixtures/TempDir.h"

namespace fs = std::filesystem;

namespace {

class Contract : public ::testing::TestWithParam<StoreKind>, public StoreSteps {
 protected:
  void SetUp() override {
    catalogue = std::make_unique<StoreCatalogue>(GetParam());
    daru = CDARU::Instance();
    catalogue->root().LoadArticleTypes(daru);
    store = catalogue->NewStore();
    ASSERT_TRUE(store->InitDB()) << Error();
  }
  void TearDown() override {
    store.reset();
    delete daru;
    catalogue.reset();
  }
  std::vector<std::string> Rows(const std::string& sql) { return catalogue->Rows(sql); }
  void Exec(const std::string& sql) { catalogue->Exec(sql); }
  // A failure of the engine, in the store's own words.
  void ExpectEngineError(const std::string& mentions) {
    std::string error = Error();
    if (GetParam() == StoreKind::Sqlite)
      EXPECT_EQ(error.rfind("SQLITE_", 0), 0u) << error;
    else
      EXPECT_EQ(error.rfind("Code = ", 0), 0u) << error;
    EXPECT_NE(error.find(mentions), std::string::npos) << error;
  }

  std::string Id(int id) { return std::to_string(id); }

  std::unique_ptr<StoreCatalogue> catalogue;
  CDARU* daru = nullptr;
};

}  // namespace

TEST_P(Contract, CaptureAndLabelFindOrAddDecideInOneTransaction) {
  ExpectCaptureAndFindOrAdd(
      [&](int id) { return std::stoi(Rows("SELECT count(*) FROM {link} WHERE articleid=" + Id(id))[0]); });
}

TEST_P(Contract, LabelsKeepQuotesAndAnswerEveryMask) {
  CLabel empty;
  EXPECT_FALSE(store->AddLabel(empty));
  EXPECT_EQ(store->GetLastDBError(), u"未提供一个有效的标签名。");
  EXPECT_EQ(Rows("SELECT count(*) FROM {label}"), Lines({"3"}));

  CLabel quoted;
  quoted.name = u"Bob's 'news' x' OR '1'='1";
  quoted.toplayer = 3;
  ASSERT_TRUE(store->AddLabel(quoted)) << Error();
  EXPECT_EQ(quoted.labelid, 4);
  EXPECT_EQ(store->GetLastDBError(), u"未提供一个有效的标签名。");  // success keeps the last error
  CLabel plain;
  plain.name = u"其他";
  ASSERT_TRUE(store->AddLabel(plain));
  EXPECT_EQ(Rows("SELECT * FROM {label} WHERE labelid>3 ORDER BY labelid"),
            Lines({"4|Bob's 'news' x' OR '1'='1|3", "5|其他|1"}));

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
  EXPECT_FALSE(Error().empty());

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
  EXPECT_EQ(Rows("SELECT * FROM {label} WHERE labelid=4"), Lines({"4|it's|1"}));
  quoted.labelid = 99;
  EXPECT_FALSE(store->UpdateLabel(quoted));
}

TEST_P(Contract, ArticlesAreStoredAndLoadedFieldByField) {
  CArticle a;
  a.url = u"http://example.com/?q='a'\\x";
  a.filename = u"f'1";
  a.title = u"It's 标题 \"q\" ?";
  a.key1 = u"k'ey";
  a.type = u"B";
  a.label = 5;
  a.crdate.MakeTime(2005, 2, 7, 9, 5, 0, 0);
  long created = a.crdate.GetTimeLong();
  ASSERT_TRUE(store->AddArticle(a)) << Error();
  EXPECT_EQ(a.articleid, 1);
  EXPECT_EQ(a.labels, 0);  // the record keeps its own values
  EXPECT_EQ(Rows("SELECT * FROM {article}"),
            Lines({("1|f'1|http://example.com/?q='a'\\x|It's 标题 \"q\" ?|k'ey|B|1|5|1|T|F|" + std::to_string(created) +
                    "|0|0")
                       .c_str()}));
  EXPECT_EQ(Rows("SELECT labelid, articleid FROM {link}"), Lines({"5|1"}));

  CArticle pattern;
  pattern.articleid = 1;
  Owned<CArticle> found;
  ASSERT_TRUE(store->QueryArticle(found.v, pattern, 1, false)) << Error();
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
  EXPECT_EQ(b.descfile, FromUtf8((catalogue->root().daru() / "web" / "f'1.xml").string()));

  // Texts far longer than a row buffer come back whole.
  std::u16string longTitle;
  for (int i = 0; i < 700; ++i) longTitle += u"长'";
  CArticle longOne;
  longOne.filename = u"long";
  longOne.title = longTitle;
  longOne.url = u"http://example.com/" + std::u16string(3000, u'x');
  longOne.label = 5;
  ASSERT_TRUE(store->AddArticle(longOne)) << Error();
  CArticle longPattern;
  longPattern.filename = u"long";
  Owned<CArticle> longFound;
  ASSERT_TRUE(store->QueryArticle(longFound.v, longPattern, 4, false)) << Error();
  ASSERT_EQ(longFound.v.size(), 1u);
  EXPECT_EQ(longFound.v[0]->title, longTitle);
  EXPECT_EQ(longFound.v[0]->url, longOne.url);
  CArticle cleanup = *longFound.v[0];
  ASSERT_TRUE(store->DeleteArticle(&cleanup, nullptr)) << Error();

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
  EXPECT_EQ(Rows("SELECT url,filename,title,key1,type,labels,label,version,readflag,impflag,brdate FROM {article}"),
            Lines({("http://example.com/?q='a'\\x|f'1|Ann's|a'b|B|2|5|3|F|T|" + std::to_string(b.brdate.GetTimeLong()))
                       .c_str()}));
  b.articleid = 99;
  EXPECT_FALSE(store->UpdateArticle(b));

  // Any flag text but "F" reads as true; NULL texts read as empty.
  Exec("UPDATE {article} SET readflag='', impflag=NULL, key1=NULL, crdate=NULL");
  Owned<CArticle> byLabel;
  CLabel five = Label(5);
  ASSERT_TRUE(store->QueryArticle(byLabel.v, &five, CArticle(), 0));
  ASSERT_EQ(byLabel.v.size(), 1u);
  EXPECT_TRUE(byLabel.v[0]->readflag);
  EXPECT_TRUE(byLabel.v[0]->impflag);
  EXPECT_EQ(byLabel.v[0]->key1, u"");
  EXPECT_EQ(byLabel.v[0]->crdate.GetFmtString(), u"");
  EXPECT_EQ(byLabel.v[0]->descfile, b.descfile);
  if (GetParam() != StoreKind::AccessPostgres) {
    // SQLite keeps whatever it is given: a count column holding text reads
    // as its leading number.
    Exec("UPDATE {article} SET version='12abc', labels='x'");
    Owned<CArticle> typeless;
    ASSERT_TRUE(store->QueryArticle(typeless.v, &five, CArticle(), 0)) << Error();
    ASSERT_EQ(typeless.v.size(), 1u);
    EXPECT_EQ(typeless.v[0]->version, 12);
    EXPECT_EQ(typeless.v[0]->labels, 0);
  }
  CLabel three = Label(3);
  EXPECT_TRUE(store->QueryArticle(byLabel.v, &three, CArticle(), 0));
  EXPECT_EQ(byLabel.v.size(), 1u);
  EXPECT_FALSE(store->QueryArticle(byLabel.v, nullptr, CArticle(), 0));
}

TEST_P(Contract, NewIdsAreThoseOfTheRowsThisStoreInserted) {
  catalogue->AfterInsert(catalogue->Sql("{label}"), "NEW.name<>'other'",
                         catalogue->Sql("INSERT INTO {label}(name,toplayer) VALUES('other',0)"));
  catalogue->AfterInsert(catalogue->Sql("{article}"), "NEW.filename<>'other'",
                         catalogue->Sql("INSERT INTO {article}(filename,labels) VALUES('other',1)"));
  CLabel mine;
  mine.name = u"mine";
  ASSERT_TRUE(store->AddLabel(mine)) << Error();
  EXPECT_EQ(Rows("SELECT name FROM {label} WHERE labelid=" + Id(mine.labelid)), Lines({"mine"}));
  CArticle a = Add(u"mine", 3);
  EXPECT_EQ(Rows("SELECT a.filename FROM {article} a JOIN {link} l ON a.articleid=l.articleid"), Lines({"mine"}));
  EXPECT_EQ(Rows("SELECT filename FROM {article} WHERE articleid=" + Id(a.articleid)), Lines({"mine"}));

  // A link that cannot be written takes its article row back with it.
  catalogue->Refuse(catalogue->Sql("{link}"), "INSERT");
  CArticle b;
  b.filename = u"b";
  b.label = 3;
  EXPECT_FALSE(store->AddArticle(b));
  ExpectEngineError("refused");
  EXPECT_EQ(b.articleid, 0);
  EXPECT_EQ(Rows("SELECT count(*) FROM {article} WHERE filename='b'"), Lines({"0"}));
}

TEST_P(Contract, PatternQueriesMatchTitlesAndKeywords) {
  for (auto title : {u"xxabcxx", u"ABC", u"a_c", u"it's here", u"other", u"back\\slash"}) Add(title, 3, title);
  CArticle p;
  p.title = u"abc";
  EXPECT_EQ(Titles(p, 2, true), Lines({"ABC", "xxabcxx"}));
  EXPECT_TRUE(Titles(p, 2, false).empty());
  p.title = u"b";
  EXPECT_EQ(Titles(p, 2, true), Lines({"ABC", "back\\slash", "xxabcxx"}));
  p.title = u"a_c";  // the wildcard keeps its meaning
  EXPECT_EQ(Titles(p, 2, true), Lines({"ABC", "a_c", "xxabcxx"}));
  EXPECT_EQ(Titles(p, 2, false), Lines({"a_c"}));
  p.title = u"it's";
  EXPECT_EQ(Titles(p, 2, true), Lines({"it's here"}));
  p.title = u"x' OR '1'='1";
  EXPECT_TRUE(Titles(p, 2, true).empty());
  p.title = u"k\\s";  // a backslash is a character like any other
  EXPECT_EQ(Titles(p, 2, true), Lines({"back\\slash"}));

  p.filename = u"ABC";
  EXPECT_EQ(Titles(p, 4, true), Lines({"ABC"}));  // always equality
  p.filename = u"AB";
  EXPECT_TRUE(Titles(p, 4, true).empty());

  Exec("UPDATE {article} SET key1='news, tech' WHERE title='other'");
  p.key1 = u"tech";
  EXPECT_EQ(Titles(p, 8, true), Lines({"other"}));
  EXPECT_TRUE(Titles(p, 8, false).empty());

  p.articleid = 1;  // "xxabcxx"
  p.title = u"abc";
  EXPECT_EQ(Titles(p, 1 | 2, true), Lines({"xxabcxx"}));
  p.articleid = 2;
  EXPECT_TRUE(Titles(p, 1 | 2 | 4, true).empty());
  EXPECT_EQ(Titles(CArticle(), 0, false).size(), 6u);
  Owned<CArticle> none;
  EXPECT_FALSE(store->QueryArticle(none.v, p, 16, true));  // no known bit
}

TEST_P(Contract, LinksLeaveTheLabelCountAlone) {
  CArticle a = Add(u"a", 3, u"t", u"a'type");
  EXPECT_EQ(Rows("SELECT type FROM {article}"), Lines({"a'type"}));
  CLabelToArticle link(4, a.articleid);
  EXPECT_FALSE(store->QueryLabelToArticle(link));
  EXPECT_TRUE(store->AddLabelToArticle(link));
  EXPECT_TRUE(store->QueryLabelToArticle(link));
  EXPECT_FALSE(store->AddLabelToArticle(link));  // one link per label and article
  EXPECT_FALSE(Error().empty());
  EXPECT_EQ(Rows("SELECT labels FROM {article}"), Lines({"1"}));

  CLabelToArticle one(3, a.articleid);
  EXPECT_TRUE(store->DeleteLabelToArticle(one));
  EXPECT_EQ(Rows("SELECT labelid FROM {link}"), Lines({"4"}));
  CLabelToArticle all(0, a.articleid);
  EXPECT_TRUE(store->DeleteLabelToArticle(all));
  EXPECT_TRUE(store->DeleteLabelToArticle(all));  // nothing left: still true
  EXPECT_EQ(Rows("SELECT count(*) FROM {link}"), Lines({"0"}));
  EXPECT_EQ(Rows("SELECT labels FROM {article}"), Lines({"1"}));
}

TEST_P(Contract, DeleteLabelTakesOnlyArticlesLeftWithoutLinks) {
  Exec("INSERT INTO {label}(labelid,name,toplayer) VALUES(4,'four',3),(5,'five',3),(6,'child',4)");
  CArticle kept = Add(u"kept", 4);
  File(kept, 5);
  CArticle only = Add(u"only", 4);
  CArticle stray = Add(u"stray", 5);
  // A count that drifted below the links must not take an article still filed.
  Exec("UPDATE {article} SET labels=0 WHERE filename='stray'");
  Touch(catalogue->root().daru() / "web" / "only.xml");
  Touch(catalogue->root().daru() / "web" / "kept.xml");

  CLabel four = Label(4);
  ASSERT_TRUE(store->DeleteLabel(four)) << Error();
  EXPECT_EQ(Rows("SELECT labelid, toplayer FROM {label} WHERE labelid>3 ORDER BY labelid"), Lines({"5|3", "6|4"}));
  // Only the articles of the deleted label are looked at: the stray one keeps its row.
  EXPECT_EQ(Rows("SELECT filename, labels FROM {article} ORDER BY filename"), Lines({"kept|1", "stray|0"}));
  EXPECT_EQ(Rows("SELECT labelid, articleid FROM {link} ORDER BY articleid"),
            Lines({("5|" + Id(kept.articleid)).c_str(), ("5|" + Id(stray.articleid)).c_str()}));
  // The article that went takes its files with it, as with its last label taken off.
  EXPECT_FALSE(fs::exists(catalogue->root().daru() / "web" / "only.xml"));
  EXPECT_TRUE(fs::exists(catalogue->root().daru() / "web" / "kept.xml"));

  CLabel missing = Label(99);
  EXPECT_FALSE(store->DeleteLabel(missing));
  CLabel late;
  late.name = u"after the failure";  // no transaction was left open
  EXPECT_TRUE(store->AddLabel(late)) << Error();
  EXPECT_EQ(Rows("SELECT count(*) FROM {label} WHERE name='after the failure'"), Lines({"1"}));

  // A link whose article row is gone does not stop a deletion.
  Exec("INSERT INTO {label}(labelid,name,toplayer) VALUES(17,'seventeen',3)");
  Add(u"lost", 17);
  Exec("DELETE FROM {article} WHERE filename='lost'");
  CLabel seventeen = Label(17);
  ASSERT_TRUE(store->DeleteLabel(seventeen)) << Error();
  EXPECT_EQ(Rows("SELECT count(*) FROM {link} WHERE labelid=17"), Lines({"0"}));

  // An article row that cannot go undoes the whole deletion.
  catalogue->Refuse(catalogue->Sql("{article}"), "DELETE");
  CLabel five = Label(5);
  EXPECT_FALSE(store->DeleteLabel(five));
  ExpectEngineError("refused");
  EXPECT_EQ(Rows("SELECT count(*) FROM {label} WHERE labelid=5"), Lines({"1"}));
  EXPECT_EQ(Rows("SELECT filename, labels FROM {article} ORDER BY filename"), Lines({"kept|1", "stray|0"}));
  EXPECT_EQ(Rows("SELECT count(*) FROM {link}"), Lines({"2"}));
}

TEST_P(Contract, DeleteArticleRemovesFilesWithItsLastLabel) {
  const std::u16string name = u"0123456789abcdef0123456789abcdef";
  CArticle a = Add(name, 3, u"t", u"A");
  File(a, 4);
  fs::path rss = catalogue->root().daru() / "rss";
  Touch(rss / (ToUtf8(name) + ".xml"));
  Touch(rss / ToUtf8(name) / "mime.zevm");
  Touch(rss / "neighbour.xml");

  CLabel three = Label(3), four = Label(4);
  EXPECT_FALSE(store->DeleteArticle(nullptr, &four));
  ASSERT_TRUE(store->DeleteArticle(&a, &four)) << Error();
  EXPECT_EQ(Rows("SELECT labels FROM {article}"), Lines({"1"}));
  EXPECT_EQ(Rows("SELECT labelid FROM {link}"), Lines({"3"}));
  EXPECT_TRUE(fs::exists(rss / (ToUtf8(name) + ".xml")));
  EXPECT_FALSE(store->DeleteArticle(&a, &four));  // that link is gone
  EXPECT_EQ(Rows("SELECT labels FROM {article}"), Lines({"1"}));

  ASSERT_TRUE(store->DeleteArticle(&a, &three)) << Error();
  EXPECT_EQ(Rows("SELECT count(*) FROM {article}"), Lines({"0"}));
  EXPECT_FALSE(fs::exists(rss / (ToUtf8(name) + ".xml")));
  EXPECT_FALSE(fs::exists(rss / ToUtf8(name)));
  EXPECT_TRUE(fs::exists(rss / "neighbour.xml"));

  // A page's media copy lies under the feed type's folder; it goes with the page.
  const std::u16string page = u"fedcba9876543210fedcba9876543210";
  CArticle p = Add(page, 3);
  Touch(catalogue->root().daru() / "web" / (ToUtf8(page) + ".xml"));
  Touch(rss / ToUtf8(page) / "mime.zevm");
  ASSERT_TRUE(store->DeleteArticle(&p, &three)) << Error();
  EXPECT_FALSE(fs::exists(catalogue->root().daru() / "web" / (ToUtf8(page) + ".xml")));
  EXPECT_FALSE(fs::exists(rss / ToUtf8(page)));

  CArticle b = Add(u"b", 3);
  File(b, 4);
  Touch(catalogue->root().daru() / "web" / "b.xml");
  ASSERT_TRUE(store->DeleteArticle(&b, nullptr)) << Error();
  EXPECT_EQ(Rows("SELECT count(*) FROM {article}"), Lines({"0"}));
  EXPECT_EQ(Rows("SELECT count(*) FROM {link}"), Lines({"0"}));
  EXPECT_TRUE(fs::exists(catalogue->root().daru() / "web" / "b.xml"));
  EXPECT_FALSE(store->DeleteArticle(&b, nullptr));

  // A step that fails undoes the earlier ones.
  CArticle c = Add(u"c", 3);
  Touch(catalogue->root().daru() / "web" / "c.xml");
  catalogue->Refuse(catalogue->Sql("{article}"), "DELETE");
  EXPECT_FALSE(store->DeleteArticle(&c, &three));
  ExpectEngineError("refused");
  EXPECT_EQ(Rows("SELECT labels FROM {article}"), Lines({"1"}));
  EXPECT_EQ(Rows("SELECT labelid FROM {link}"), Lines({"3"}));
  EXPECT_TRUE(fs::exists(catalogue->root().daru() / "web" / "c.xml"));
}

TEST_P(Contract, DeleteArticleTouchesNothingOutsideItsTypeFolder) {
  CDARUTestAccess::Types(daru).emplace_back(3, u"X", u"..");
  const fs::path root = catalogue->root().path();
  Touch(root / "outside.xml");
  Touch(root / "outside" / "keep");
  CLabel three = Label(3);
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"../../outside", u"B"}, {u"outside", u"X"}, {u"web", u"Z"}};
  for (auto [file, type] : cases) {
    CArticle a = Add(file, 3, u"t", type);
    EXPECT_TRUE(store->DeleteArticle(&a, &three)) << Error();
  }
  EXPECT_EQ(Rows("SELECT count(*) FROM {article}"), Lines({"0"}));
  EXPECT_TRUE(fs::exists(root / "outside.xml"));
  EXPECT_TRUE(fs::exists(root / "outside" / "keep"));
  EXPECT_TRUE(fs::is_directory(catalogue->root().daru() / "web"));
}

TEST_P(Contract, ArticleTypesAndACaptureOfAStoredLinkKeepOneRow) {
  std::vector<CArticleType> types{CArticleType(9, u"kept", u"in front")};
  ASSERT_TRUE(store->QueryArticleType(types)) << Error();
  ASSERT_EQ(types.size(), 3u);
  EXPECT_EQ(types[1].typeid_, 1);
  EXPECT_EQ(types[1].type, u"B");
  EXPECT_EQ(types[1].path, u"web");
  EXPECT_EQ(types[2].type, u"A");

  // Another connection stored the link first: this capture files that row.
  CArticle first = Add(u"same", 3);
  auto other = catalogue->NewStore();
  ASSERT_TRUE(other->InitDB());
  CArticle second;
  second.filename = u"same";
  second.label = 2;
  ASSERT_TRUE(other->AddArticle(second)) << ToUtf8(other->GetLastDBError());
  EXPECT_EQ(second.articleid, first.articleid);
  ASSERT_TRUE(other->AddArticle(second));  // filed there already: nothing changes
  EXPECT_EQ(Rows("SELECT articleid, labels FROM {article}"), Lines({(Id(first.articleid) + "|2").c_str()}));
  EXPECT_EQ(Rows("SELECT labelid FROM {link} ORDER BY labelid"), Lines({"2", "3"}));
}

TEST_P(Contract, TwoConnectionsCapturingTheSameLinksKeepOneArticlePerLink) {
  constexpr int kLinks = 20;
  auto capture = [&](int label, std::string* failure) {
    auto own = catalogue->NewStore();
    if (!own->InitDB()) {
      *failure = ToUtf8(own->GetLastDBError());
      return;
    }
    for (int i = 0; i < kLinks; ++i) {
      CArticle a;
      a.filename = u"link" + FromUtf8(std::to_string(i));
      a.label = label;
      if (!own->AddArticle(a)) {
        *failure = ToUtf8(own->GetLastDBError());
        return;
      }
    }
  };
  std::string failure1, failure2;
  std::thread one(capture, 2, &failure1);
  std::thread two(capture, 3, &failure2);
  one.join();
  two.join();
  EXPECT_EQ(failure1, "");
  EXPECT_EQ(failure2, "");
  EXPECT_EQ(Rows("SELECT count(*), count(DISTINCT filename), min(labels), max(labels) FROM {article}"),
            Lines({"20|20|2|2"}));
  EXPECT_EQ(Rows("SELECT count(*) FROM {link}"), Lines({"40"}));
}

TEST_P(Contract, ReplacingAnArticlesLabelsIsAllOrNothing) {
  CArticle a = Add(u"a", 3);
  int failed = -1;
  ASSERT_TRUE(store->ReplaceArticleLabels(a.articleid, {4, 2, 4}, failed)) << Error();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(Rows("SELECT labelid FROM {link} ORDER BY labelid"), Lines({"2", "4"}));
  EXPECT_EQ(Rows("SELECT labels FROM {article}"), Lines({"2"}));

  EXPECT_FALSE(store->ReplaceArticleLabels(99, {3}, failed));
  EXPECT_EQ(store->GetLastDBError(), u"文章不存在。");
  EXPECT_EQ(Rows("SELECT count(*) FROM {link} WHERE articleid=99"), Lines({"0"}));

  Exec("CREATE UNIQUE INDEX one_label_five ON {link}(labelid) WHERE labelid=5");
  Exec("INSERT INTO {link}(labelid, articleid) VALUES(5, 77)");
  EXPECT_FALSE(store->ReplaceArticleLabels(a.articleid, {3, 5}, failed));
  EXPECT_EQ(failed, 5);
  EXPECT_EQ(Rows("SELECT labelid FROM {link} WHERE articleid=" + Id(a.articleid) + " ORDER BY labelid"),
            Lines({"2", "4"}));
  EXPECT_EQ(Rows("SELECT labels FROM {article}"), Lines({"2"}));

  ASSERT_TRUE(store->ReplaceArticleLabels(a.articleid, {}, failed)) << Error();
  EXPECT_EQ(Rows("SELECT count(*) FROM {article}"), Lines({"0"}));
  EXPECT_EQ(Rows("SELECT count(*) FROM {link} WHERE articleid=" + Id(a.articleid)), Lines({"0"}));
}

// The records below are copies loaded before another process changed the
// label or the article: what the catalogue holds now is what counts.
TEST_P(Contract, RenameAndMoveEachWriteOnlyTheirOwnField) {
  Exec("INSERT INTO {label}(labelid,name,toplayer) VALUES(4,'four',3),(5,'five',3)");
  CLabel renamed = Label(4);
  renamed.name = u"it's four";
  renamed.toplayer = 1;  // stale: moved under 5 meanwhile
  Exec("UPDATE {label} SET toplayer=5 WHERE labelid=4");
  ASSERT_TRUE(store->RenameLabel(renamed)) << Error();
  EXPECT_EQ(renamed.toplayer, 5);

  CLabel moved = Label(5);
  moved.name = u"stale";
  moved.toplayer = 2;
  Exec("UPDATE {label} SET name='five again' WHERE labelid=5");
  ASSERT_TRUE(store->MoveLabel(moved)) << Error();
  EXPECT_EQ(moved.name, u"five again");
  EXPECT_EQ(Rows("SELECT * FROM {label} WHERE labelid>3 ORDER BY labelid"), Lines({"4|it's four|5", "5|five again|2"}));

  CLabel missing = Label(99);
  missing.name = u"x";
  EXPECT_FALSE(store->RenameLabel(missing));
  EXPECT_FALSE(store->MoveLabel(missing));
}

TEST_P(Contract, NoLabelGoesIntoItsOwnBranchAsTheCatalogueHoldsIt) {
  Exec("INSERT INTO {label}(labelid,name,toplayer) VALUES(4,'four',3),(5,'five',3),(6,'six',4)");
  // Loaded with 4 under 3; another process has since put 4 under 5, so 6
  // now lies in 5's branch.
  Exec("UPDATE {label} SET toplayer=5 WHERE labelid=4");
  const std::vector<std::string> before = Rows("SELECT * FROM {label} ORDER BY labelid");
  CLabel five = Label(5);
  five.name = u"five";
  for (int parent : {6, 4, 5}) {
    five.toplayer = parent;
    EXPECT_FALSE(store->MoveLabel(five)) << parent;
    EXPECT_NE(Error().find("own branch"), std::string::npos) << Error();
    five.name = u"renamed on the way";
    EXPECT_FALSE(store->UpdateLabel(five)) << parent;
    five.name = u"five";
  }
  EXPECT_EQ(Rows("SELECT * FROM {label} ORDER BY labelid"), before);
  // No transaction was left open: a later write is seen by another connection.
  CLabel late = Label(6);
  late.name = u"late";
  ASSERT_TRUE(store->RenameLabel(late)) << Error();
  EXPECT_EQ(Rows("SELECT count(*) FROM {label} WHERE name='late'"), Lines({"1"}));

  // A loop already in a damaged catalogue ends the walk instead of running
  // round it for ever; a label outside the loop may still go under it.
  Exec("UPDATE {label} SET toplayer=6 WHERE labelid=4");
  CLabel two = Label(2);
  two.name = u"two";
  two.toplayer = 4;
  EXPECT_TRUE(store->MoveLabel(two)) << Error();
  two.toplayer = 6;
  EXPECT_TRUE(store->UpdateLabel(two)) << Error();
  EXPECT_EQ(Rows("SELECT toplayer FROM {label} WHERE labelid=2"), Lines({"6"}));
  CLabel four = Label(4);
  four.toplayer = 2;  // 2 now lies under the loop through 4
  EXPECT_FALSE(store->MoveLabel(four));
}

TEST_P(Contract, FilingCountsTheLinksWhateverTheCountSaid) {
  CArticle a = Add(u"a", 3);
  a.labels = 5;  // a stale record
  Exec("UPDATE {article} SET labels=9");
  EXPECT_EQ(store->FileArticle(a, 4), 0) << Error();
  EXPECT_EQ(a.labels, 2);
  EXPECT_EQ(Rows("SELECT labels FROM {article}"), Lines({"2"}));
  Exec("UPDATE {article} SET labels=0");
  EXPECT_EQ(store->FileArticle(a, 4), 1);
  EXPECT_EQ(Rows("SELECT labelid FROM {link} ORDER BY labelid"), Lines({"3", "4"}));
  EXPECT_EQ(store->FileArticle(a, 5), 0) << Error();
  EXPECT_EQ(Rows("SELECT labels FROM {article}"), Lines({"3"}));

  CArticle gone;
  gone.articleid = 99;
  EXPECT_EQ(store->FileArticle(gone, 4), -1);  // no such article: its link goes again
  EXPECT_EQ(Rows("SELECT count(*) FROM {link} WHERE articleid=99"), Lines({"0"}));
  EXPECT_EQ(store->FileArticle(a, 2), 0) << Error();  // nothing was left open
  EXPECT_EQ(Rows("SELECT labels FROM {article}"), Lines({"4"}));

  // Taking it off one label goes by the links too: a count of 0 does not take
  // an article that is still filed.
  Exec("UPDATE {article} SET labels=0");
  CLabel four = Label(4);
  ASSERT_TRUE(store->DeleteArticle(&a, &four)) << Error();
  EXPECT_EQ(Rows("SELECT labels FROM {article}"), Lines({"3"}));
}

TEST_P(Contract, TwoConnectionsFilingTheSameArticlesKeepTheirCounts) {
  constexpr int kArticles = 15;
  std::vector<CArticle> articles;
  for (int i = 0; i < kArticles; ++i) articles.push_back(Add(u"a" + FromUtf8(std::to_string(i)), 3));
  auto file = [&](int label, std::string* failure) {
    auto own = catalogue->NewStore();
    if (!own->InitDB()) {
      *failure = ToUtf8(own->GetLastDBError());
      return;
    }
    for (CArticle a : articles) {
      if (own->FileArticle(a, label) != 0) {
        *failure = ToUtf8(own->GetLastDBError());
        return;
      }
    }
  };
  std::string failure1, failure2;
  std::thread one(file, 4, &failure1);
  std::thread two(file, 5, &failure2);
  one.join();
  two.join();
  EXPECT_EQ(failure1, "");
  EXPECT_EQ(failure2, "");
  EXPECT_EQ(Rows("SELECT count(*), min(labels), max(labels) FROM {article}"),
            Lines({(std::to_string(kArticles) + "|3|3").c_str()}));
  EXPECT_EQ(Rows("SELECT count(*) FROM {link}"), Lines({std::to_string(3 * kArticles).c_str()}));
}

INSTANTIATE_TEST_SUITE_P(Stores, Contract,
                         ::testing::Values(StoreKind::Sqlite, StoreKind::AccessEmbedded, StoreKind::AccessPostgres),
                         [](const ::testing::TestParamInfo<StoreKind>& info) { return KindName(info.param); });

TEST_P(Contract, TimesBeyondThirtyTwoBitsRoundTrip) {
  ScopedTimeZone tz("UTC0");
  for (int year : {2040, 1960}) {
    Exec("DELETE FROM {link}");
    Exec("DELETE FROM {article}");
    CArticle a;
    a.filename = u"t";
    a.type = u"B";
    a.label = 3;
    ASSERT_TRUE(a.crdate.MakeTime(year, 0, 2, 3, 4, 5, 0));
    const long long written = a.crdate.GetTimeLong();
    ASSERT_TRUE(store->AddArticle(a)) << Error();
    Owned<CArticle> out;
    ASSERT_TRUE(store->QueryArticle(out.v, CArticle(), 0, false)) << Error();
    ASSERT_EQ(out.v.size(), 1u);
    EXPECT_EQ(ToUtf8(out.v[0]->crdate.GetFmtString()), std::to_string(year) + "/01/02  3:04:05");
    // Written back unchanged, not clamped to what 32 bits hold.
    ASSERT_TRUE(store->UpdateArticle(*out.v[0])) << Error();
    EXPECT_EQ(Rows("SELECT crdate FROM {article}"), Lines({std::to_string(written).c_str()}));
  }
}

TEST_P(Contract, ArticleTextsComeBackWholeWhateverTheyHold) {
  // What a row's text form must quote or escape: quotes, backslashes,
  // commas, parentheses, spaces, control characters, text outside the BMP.
  const std::u16string title = u"say \"hi\", (or) 'not' \\ back\\slash\t\n\x01 标题 😀";
  CArticle a;
  a.filename = u"odd";
  a.title = title;
  a.url = u"http://example.com/a,b(c)\"d\"";
  a.type = u"B";
  a.label = 5;
  ASSERT_TRUE(store->AddArticle(a)) << Error();
  CArticle plain = Add(u"plain", 5, u"plain");

  auto byLabel = [&] {
    Owned<CArticle> out;
    CLabel label = Label(5);
    EXPECT_TRUE(store->QueryArticle(out.v, &label, CArticle(), 0)) << Error();
    std::vector<std::u16string> seen;
    for (CArticle* x : out.v) seen.push_back(x->title + u"|" + x->url + u"|" + x->key1 + u"|" + x->descfile);
    std::sort(seen.begin(), seen.end());
    return seen;
  };
  const std::u16string web = FromUtf8((catalogue->root().daru() / "web").string()) + u"/";
  EXPECT_EQ(byLabel(), (std::vector<std::u16string>{plain.title + u"||" + u"|" + web + u"plain.xml",
                                                    title + u"|" + a.url + u"||" + web + u"odd.xml"}));
  CArticle pattern;
  pattern.title = title;
  EXPECT_EQ(Titles(pattern, 2, false), std::vector<std::string>{ToUtf8(title)});

  // NULLs another program left read as empty texts and zeros.
  Exec("UPDATE {article} SET title=NULL, url=NULL, labels=NULL, readflag=NULL WHERE filename='plain'");
  Owned<CArticle> out;
  CArticle byName;
  byName.filename = u"plain";
  ASSERT_TRUE(store->QueryArticle(out.v, byName, 4, false)) << Error();
  ASSERT_EQ(out.v.size(), 1u);
  EXPECT_EQ(out.v[0]->title, u"");
  EXPECT_EQ(out.v[0]->url, u"");
  EXPECT_EQ(out.v[0]->labels, 0);
  EXPECT_TRUE(out.v[0]->readflag);
  EXPECT_EQ(out.v[0]->filename, u"plain");

  // SQLite keeps whatever a column is given; a row holding a blob is still
  // read (the SQLite store gives its bytes, the ODBC driver a hex literal).
  if (GetParam() != StoreKind::AccessPostgres) {
    Exec("UPDATE {article} SET title=X'414243' WHERE filename='plain'");
    if (GetParam() == StoreKind::Sqlite) {
      EXPECT_EQ(Titles(byName, 4, false), std::vector<std::string>{"ABC"});
    }
    Owned<CArticle> all;
    CLabel label = Label(5);
    ASSERT_TRUE(store->QueryArticle(all.v, &label, CArticle(), 0)) << Error();
    ASSERT_EQ(all.v.size(), 2u);
    std::vector<std::u16string> names{all.v[0]->filename, all.v[1]->filename};
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"odd", u"plain"}));
    for (CArticle* x : all.v) {
      if (x->filename == u"odd") {
        EXPECT_EQ(x->title, title);
      }
    }
  }
}

TEST_P(Contract, CaptureStoresALinkOnceAndFilesItElsewhereAfterwards) {
  CArticle first;
  first.filename = u"digest";
  first.url = u"http://example.com/a";
  first.title = u"first title";
  first.type = u"B";
  first.label = 3;
  first.labels = 7;  // the caller's counts do not matter
  first.version = 9;
  first.crdate.MakeTime(2006, 3, 4, 5, 6, 7, 0);
  ASSERT_EQ(store->CaptureArticle(first), 0) << Error();
  EXPECT_GT(first.articleid, 0);
  EXPECT_EQ(first.labels, 1);
  EXPECT_EQ(first.version, 1);
  EXPECT_EQ(Rows("SELECT articleid, title, labels, version FROM {article}"),
            Lines({(Id(first.articleid) + "|first title|1|1").c_str()}));
  Exec("UPDATE {article} SET readflag='F', impflag='T', key1='kept'");

  // The same link again under another label: the stored row is filed there
  // and the record becomes that row; the caller's texts stay out of it.
  CArticle again;
  again.filename = u"digest";
  again.title = u"a newer title";
  again.url = u"http://example.com/other";
  again.type = u"B";
  again.label = 4;
  EXPECT_EQ(store->CaptureArticle(again), 1) << Error();
  EXPECT_EQ(again.articleid, first.articleid);
  EXPECT_EQ(again.title, u"first title");
  EXPECT_EQ(again.url, u"http://example.com/a");
  EXPECT_EQ(again.key1, u"kept");
  EXPECT_EQ(again.labels, 2);
  EXPECT_FALSE(again.readflag);
  EXPECT_TRUE(again.impflag);
  EXPECT_EQ(again.crdate.GetTimeLong(), first.crdate.GetTimeLong());
  EXPECT_EQ(again.label, 4);
  EXPECT_EQ(again.descfile, FromUtf8((catalogue->root().daru() / "web" / "digest.xml").string()));
  EXPECT_EQ(Rows("SELECT title, labels FROM {article}"), Lines({"first title|2"}));

  // Once more under the same label: nothing changes.
  CArticle third = again;
  third.title = u"ignored";
  EXPECT_EQ(store->CaptureArticle(third), 2) << Error();
  EXPECT_EQ(third.labels, 2);
  EXPECT_EQ(Rows("SELECT labelid FROM {link} ORDER BY labelid"), Lines({"3", "4"}));

  // A link that cannot be written leaves nothing behind: no row, no link.
  catalogue->Refuse(catalogue->Sql("{link}"), "INSERT");
  CArticle refused;
  refused.filename = u"other digest";
  refused.label = 3;
  EXPECT_EQ(store->CaptureArticle(refused), -1);
  ExpectEngineError("refused");
  CArticle filed = first;
  filed.label = 5;
  EXPECT_EQ(store->CaptureArticle(filed), -1);
  EXPECT_EQ(Rows("SELECT count(*) FROM {article}"), Lines({"1"}));
  EXPECT_EQ(Rows("SELECT labels FROM {article}"), Lines({"2"}));
}

// A feed item's marks and date go in with its row; capturing a stored link
// again changes neither.
TEST_P(Contract, CaptureStoresANewRowWithTheMarksGivenAndAStoredOneKeepsItsOwn) {
  CArticle item;
  item.filename = u"feed item";
  item.type = u"A";
  item.label = 3;
  item.crdate.MakeTime(2003, 6, 10, 4, 0, 0, 0);
  CNewArticleMarks unread;
  unread.read = false;
  unread.important = true;
  ASSERT_EQ(store->CaptureArticle(item, unread), 0) << Error();
  EXPECT_EQ(Rows("SELECT readflag, impflag FROM {article}"), Lines({"F|T"}));

  CArticle again;
  again.filename = item.filename;
  again.type = u"A";
  again.label = 4;
  again.crdate.MakeTime(2020, 1, 2, 3, 4, 5, 0);
  EXPECT_EQ(store->CaptureArticle(again), 1) << Error();
  EXPECT_FALSE(again.readflag);
  EXPECT_TRUE(again.impflag);
  EXPECT_EQ(again.crdate.GetTimeLong(), item.crdate.GetTimeLong());
  EXPECT_EQ(Rows("SELECT readflag, impflag FROM {article}"), Lines({"F|T"}));
  // Without marks a new row is a read page, as a saved one always was.
  CArticle page;
  page.filename = u"page";
  page.type = u"B";
  page.label = 3;
  ASSERT_EQ(store->CaptureArticle(page), 0) << Error();
  EXPECT_EQ(Rows("SELECT readflag, impflag FROM {article} WHERE articleid=" + Id(page.articleid)), Lines({"T|F"}));
}

TEST_P(Contract, TwoConnectionsCapturingTheSameLinksKeepOneRowEach) {
  constexpr int kLinks = 15;
  auto capture = [&](int label, std::vector<int>* results, std::string* failure) {
    auto own = catalogue->NewStore();
    if (!own->InitDB()) {
      *failure = ToUtf8(own->GetLastDBError());
      return;
    }
    for (int i = 0; i < kLinks; ++i) {
      CArticle a;
      a.filename = u"link" + FromUtf8(std::to_string(i));
      a.label = label;
      const int result = own->CaptureArticle(a);
      if (result < 0) {
        *failure = ToUtf8(own->GetLastDBError());
        return;
      }
      results->push_back(result);
    }
  };
  std::vector<int> results1, results2;
  std::string failure1, failure2;
  std::thread one(capture, 2, &results1, &failure1);
  std::thread two(capture, 3, &results2, &failure2);
  one.join();
  two.join();
  EXPECT_EQ(failure1, "");
  EXPECT_EQ(failure2, "");
  // Each link was stored by one of them and filed by the other.
  ASSERT_EQ(results1.size() + results2.size(), 2u * kLinks);
  for (int i = 0; i < kLinks; ++i) EXPECT_EQ(results1[i] + results2[i], 1) << i;
  EXPECT_EQ(Rows("SELECT count(*), count(DISTINCT filename), min(labels), max(labels) FROM {article}"),
            Lines({(std::to_string(kLinks) + "|" + std::to_string(kLinks) + "|2|2").c_str()}));
  EXPECT_EQ(Rows("SELECT count(*) FROM {link}"), Lines({std::to_string(2 * kLinks).c_str()}));
}

TEST_P(Contract, FindOrAddLabelMakesEachNameOnceUnderItsParent) {
  CLabel news;
  news.name = u"News";
  news.toplayer = 3;
  ASSERT_EQ(store->FindOrAddLabel(news), 0) << Error();
  EXPECT_GT(news.labelid, 3);
  CLabel same;
  same.name = u"News";
  same.toplayer = 3;
  EXPECT_EQ(store->FindOrAddLabel(same), 1) << Error();
  EXPECT_EQ(same.labelid, news.labelid);
  // The name compares exactly, and only directly below the parent.
  for (auto [name, parent] : {std::pair{u"news", 3}, std::pair{u"News ", 3}, std::pair{u"News", 1}}) {
    CLabel other;
    other.name = name;
    other.toplayer = parent;
    EXPECT_EQ(store->FindOrAddLabel(other), 0) << Error();
    EXPECT_NE(other.labelid, news.labelid);
  }
  EXPECT_EQ(Rows("SELECT count(*) FROM {label} WHERE name='News' AND toplayer=3"), Lines({"1"}));
  CLabel quoted;
  quoted.name = u"x' OR '1'='1";
  quoted.toplayer = 3;
  EXPECT_EQ(store->FindOrAddLabel(quoted), 0) << Error();
  EXPECT_EQ(store->FindOrAddLabel(quoted), 1) << Error();

  CLabel empty;
  EXPECT_EQ(store->FindOrAddLabel(empty), -1);
  EXPECT_EQ(store->GetLastDBError(), u"未提供一个有效的标签名。");
  catalogue->Refuse(catalogue->Sql("{label}"), "INSERT");
  CLabel refused;
  refused.name = u"refused";
  EXPECT_EQ(store->FindOrAddLabel(refused), -1);
  ExpectEngineError("refused");
  EXPECT_EQ(store->FindOrAddLabel(same), 1) << Error();  // nothing was left open
}

TEST_P(Contract, TwoConnectionsAskingForTheSameLabelsMakeEachOnce) {
  constexpr int kNames = 15;
  auto ask = [&](std::vector<int>* ids, std::string* failure) {
    auto own = catalogue->NewStore();
    if (!own->InitDB()) {
      *failure = ToUtf8(own->GetLastDBError());
      return;
    }
    for (int i = 0; i < kNames; ++i) {
      CLabel label;
      label.name = u"name" + FromUtf8(std::to_string(i));
      label.toplayer = 3;
      if (own->FindOrAddLabel(label) < 0) {
        *failure = ToUtf8(own->GetLastDBError());
        return;
      }
      ids->push_back(label.labelid);
    }
  };
  std::vector<int> ids1, ids2;
  std::string failure1, failure2;
  std::thread one(ask, &ids1, &failure1);
  std::thread two(ask, &ids2, &failure2);
  one.join();
  two.join();
  EXPECT_EQ(failure1, "");
  EXPECT_EQ(failure2, "");
  EXPECT_EQ(ids1, ids2);
  EXPECT_EQ(Rows("SELECT count(*), count(DISTINCT name) FROM {label} WHERE toplayer=3"),
            Lines({(std::to_string(kNames) + "|" + std::to_string(kNames)).c_str()}));
}

// Root may write any file; the stores take a catalogue file that its owner
// may not write as read-only all the same.
// The stores whose catalogue is a file of the data root's (a server's
// catalogue is none of ours).
class FileStoreContract : public Contract {};
INSTANTIATE_TEST_SUITE_P(Stores, FileStoreContract, ::testing::Values(StoreKind::Sqlite, StoreKind::AccessEmbedded),
                         [](const ::testing::TestParamInfo<StoreKind>& info) { return KindName(info.param); });

TEST_P(FileStoreContract, ACatalogueFileItsOwnerMayNotWriteIsNeverWritten) {
  Add(u"before", 3);
  const fs::path file = GetParam() == StoreKind::Sqlite ? catalogue->root().catalogue()
                                                        : catalogue->root().daru() / "Data" / "zevdata.mdb";
  store.reset();
  auto bytes = [&] {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  const std::string before = bytes();
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  store = catalogue->NewStore();
  ASSERT_TRUE(store->InitDB()) << Error();
  EXPECT_EQ(Titles(CArticle(), 0, false), Lines({"t"}));  // reading works
  CLabel label;
  label.name = u"new";
  EXPECT_FALSE(store->AddLabel(label));
  EXPECT_NE(Error().find("readonly"), std::string::npos) << Error();
  CArticle a;
  a.filename = u"after";
  a.label = 3;
  EXPECT_FALSE(store->AddArticle(a));
  EXPECT_EQ(store->CaptureArticle(a), -1);
  store.reset();
  EXPECT_EQ(bytes(), before);
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
}
