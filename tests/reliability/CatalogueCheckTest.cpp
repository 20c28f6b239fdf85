#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "Unprivileged.h"
#include "content/XmlDocument.h"
#include "base/TextConv.h"
#include "fixtures/ProvisionedRoot.h"
#include "storage/CatalogueCheck.h"

namespace fs = std::filesystem;

namespace {

using Check = CCatalogueCheck;

std::string Hex(int n) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%032x", n);
  return buf;
}

void Write(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Describe(const Check& check) {
  std::string out;
  for (const auto& f : check.GetFindings())
    out += ToUtf8(Check::FaultName(f.fault)) + (f.repaired ? " (repaired): " : ": ") + ToUtf8(f.text) + "\n";
  return out + ToUtf8(check.GetError());
}

class CatalogueCheck : public ::testing::Test {
 protected:
  fs::path Description(int n, const char* folder = "web") { return root.daru() / folder / (Hex(n) + ".xml"); }

  // An article row n (folder name Hex(n)) of type B with its links and a
  // description file, everything consistent.
  void Article(int n, std::initializer_list<int> labels, bool file = true) {
    root.Exec(
        "INSERT INTO article(articleid,filename,url,title,key1,type,labels,label,version,readflag,impflag,"
        "crdate,brdate,lmdate) VALUES(" +
        std::to_string(n) + ",'" + Hex(n) + "','http://x/" + std::to_string(n) + "','title " + std::to_string(n) +
        "','k','B'," + std::to_string(labels.size()) + "," + std::to_string(labels.size() ? *labels.begin() : 3) +
        ",1,'F','F',0,0,0)");
    for (int l : labels)
      root.Exec("INSERT INTO articletolabel(articleid,labelid) VALUES(" + std::to_string(n) + "," + std::to_string(l) +
                ")");
    if (file) Write(Description(n), "<?xml version=\"1.0\"?><Article><Title>t</Title></Article>");
  }

  Check Run(bool repair) {
    Check check;
    EXPECT_TRUE(check.Run(repair)) << Describe(check);
    return check;
  }

  ProvisionedRoot root;
};

}  // namespace

TEST_F(CatalogueCheck, AFreshOrConsistentCatalogueIsClean) {
  EXPECT_TRUE(Run(false).IsClean());
  root.Exec("INSERT INTO label(labelid,name,toplayer) VALUES(4,'a',3),(5,'b',4)");
  Article(1, {3});
  Article(2, {3, 4, 5});
  Write(root.daru() / "web" / "notes.txt", "not an article");
  Write(root.daru() / "web" / "readme.xml", "<a/>");
  Check check = Run(true);
  EXPECT_TRUE(check.IsClean()) << Describe(check);
  EXPECT_TRUE(fs::exists(root.daru() / "web" / "notes.txt"));
}

TEST_F(CatalogueCheck, CatalogueFaultsAreFoundAndRepairedWithoutLosingAFiling) {
  // A link table without its uniqueness, as an older catalogue may have it.
  root.Exec("DROP TABLE articletolabel; CREATE TABLE articletolabel(labelid INTEGER, articleid INTEGER)");
  root.Exec("INSERT INTO label(labelid,name,toplayer) VALUES(4,'lost',99),(5,'loop a',6),(6,'loop b',5),(7,'c',4)");
  Article(1, {3, 3});  // duplicate link, count 2 matches neither
  Article(2, {3});
  root.Exec("INSERT INTO articletolabel(articleid,labelid) VALUES(2,42), (77,3)");  // missing label, missing article
  root.Exec("UPDATE article SET labels=2 WHERE articleid=2");
  Article(3, {});  // no link at all
  root.Exec("UPDATE article SET label=4, labels=1 WHERE articleid=3");
  Article(4, {3});
  Article(5, {5}, false);
  root.Exec("UPDATE article SET filename='" + Hex(4) + "' WHERE articleid=5");  // same link captured twice

  Check found = Run(false);
  EXPECT_EQ(found.Count(Check::MissingParent), 1u) << Describe(found);
  EXPECT_EQ(found.Count(Check::LabelCycle), 1u);
  EXPECT_EQ(found.Count(Check::DuplicateLink), 1u);
  EXPECT_EQ(found.Count(Check::LinkWithoutArticle), 1u);
  EXPECT_EQ(found.Count(Check::LinkWithoutLabel), 1u);
  EXPECT_EQ(found.Count(Check::UnfiledArticle), 1u);
  EXPECT_EQ(found.Count(Check::DuplicateArticle), 1u);
  // Article 1 counts its duplicate link, article 2 its dangling one, and
  // article 4 holds the label of its duplicate once merged.
  EXPECT_EQ(found.Count(Check::LabelCount), 3u);
  EXPECT_EQ(found.Remaining(), found.GetFindings().size());
  // Looking changed nothing.
  EXPECT_EQ(root.Rows("SELECT COUNT(*) FROM articletolabel"), Lines({"7"}));

  Check repaired = Run(true);
  EXPECT_EQ(repaired.GetFindings().size(), found.GetFindings().size()) << Describe(repaired);
  EXPECT_EQ(repaired.Remaining(), 0u) << Describe(repaired);
  Check after = Run(false);
  EXPECT_TRUE(after.IsClean()) << Describe(after);

  EXPECT_EQ(root.Rows("SELECT labelid,toplayer FROM label WHERE labelid IN (4,5,6) ORDER BY labelid"),
            Lines({"4|1", "5|1", "6|5"}));
  EXPECT_EQ(root.Rows("SELECT articleid,labelid FROM articletolabel ORDER BY 1,2"),
            Lines({"1|3", "2|3", "3|4", "4|3", "4|5"}));
  // The second capture of the link went into the first, with its label.
  EXPECT_EQ(root.Rows("SELECT articleid,labels FROM article ORDER BY 1"), Lines({"1|1", "2|1", "3|1", "4|2"}));
}

TEST_F(CatalogueCheck, AnArticleWhoseLabelsAreAllGoneGoesToTheDefaultLabel) {
  Article(1, {});
  root.Exec("UPDATE article SET label=50 WHERE articleid=1");
  Check check = Run(true);
  EXPECT_EQ(check.Count(Check::UnfiledArticle), 1u);
  EXPECT_EQ(check.Remaining(), 0u) << Describe(check);
  EXPECT_EQ(root.Rows("SELECT articleid,labelid FROM articletolabel"), Lines({"1|3"}));

  // Nothing to file under: reported, not repaired.
  root.Exec("DELETE FROM articletolabel; DELETE FROM label; UPDATE article SET labels=0");
  Check none = Run(true);
  EXPECT_EQ(none.Count(Check::HeadLabel), 1u);
  EXPECT_EQ(none.Count(Check::UnfiledArticle), 1u);
  EXPECT_EQ(none.Remaining(), 2u) << Describe(none);
  EXPECT_EQ(root.Rows("SELECT COUNT(*) FROM article"), Lines({"1"}));
}

TEST_F(CatalogueCheck, FilesAreReportedAndOnlyRepairedWhenAsked) {
  Article(1, {3}, false);  // missing description file
  Article(2, {3});
  Write(Description(2), "<?xml version=\"1.0\"?><Article><Title>cut sh");  // a write that never finished
  Write(Description(3), "<Article/>");                                     // no row
  fs::create_directories(root.daru() / "rss" / Hex(4));                    // media folder, no row
  Write(root.daru() / "rss" / Hex(4) / "mime.zevm", "media");
  fs::create_directories(root.daru() / "rss" / Hex(1));  // media folder of article 1: kept
  Write(Description(1).string() + ".part", "<Arti");     // writes that never finished
  Write(root.daru() / "rss" / Hex(1) / "mime.zevm.part", "med");
  Write(root.daru() / "rss" / Hex(1) / "mime.zevm.0a1b2c3d.part", "med");  // each write has its own copy
  Write(Description(1).string() + ".ffffffff.part", "<Arti");
  Write(root.daru() / "rss" / Hex(1) / "notes.part", "kept: not ours");

  Check found = Run(false);
  EXPECT_EQ(found.Count(Check::MissingDescription), 1u) << Describe(found);
  EXPECT_EQ(found.Count(Check::BadDescription), 1u);
  EXPECT_EQ(found.Count(Check::OrphanDescription), 1u);
  EXPECT_EQ(found.Count(Check::OrphanFolder), 1u);
  EXPECT_EQ(found.Count(Check::LeftoverFile), 4u);
  EXPECT_EQ(found.GetFindings().size(), 8u) << Describe(found);
  EXPECT_TRUE(fs::exists(Description(3)));
  EXPECT_TRUE(fs::exists(root.daru() / "rss" / Hex(4) / "mime.zevm"));

  Check repaired = Run(true);
  EXPECT_EQ(repaired.Remaining(), 0u) << Describe(repaired);
  EXPECT_FALSE(fs::exists(Description(3)));
  EXPECT_FALSE(fs::exists(root.daru() / "rss" / Hex(4)));
  EXPECT_TRUE(fs::exists(root.daru() / "rss" / Hex(1)));
  EXPECT_FALSE(fs::exists(Description(1).string() + ".part"));
  EXPECT_FALSE(fs::exists(root.daru() / "rss" / Hex(1) / "mime.zevm.part"));
  EXPECT_FALSE(fs::exists(root.daru() / "rss" / Hex(1) / "mime.zevm.0a1b2c3d.part"));
  EXPECT_FALSE(fs::exists(Description(1).string() + ".ffffffff.part"));
  EXPECT_TRUE(fs::exists(root.daru() / "rss" / Hex(1) / "notes.part"));
  // The damaged file is kept aside, and both files are readable anew from the row.
  EXPECT_EQ(Read(Description(2).string() + ".damaged"), "<?xml version=\"1.0\"?><Article><Title>cut sh");
  for (int n : {1, 2}) {
    CXmlDocument xml;
    ASSERT_TRUE(xml.LoadFile(FromUtf8(Description(n).string())));
    ASSERT_TRUE(xml.FindChild(u"Title"));
    EXPECT_EQ(xml.GetChildText(), FromUtf8("title " + std::to_string(n)));
  }
  EXPECT_TRUE(Run(false).IsClean());
}

TEST_F(CatalogueCheck, RowsThatLeadOutsideTheDaruFolderAreNeverFollowed) {
  Write(root.path() / "outside" / (Hex(9) + ".xml"), "<Article/>");
  root.Exec("INSERT INTO articletype(typeid,type,path) VALUES(3,'X','../outside'),(4,'M','missing')");
  Article(1, {3});
  root.Exec("UPDATE article SET filename='../../outside' WHERE articleid=1");
  Article(2, {3});
  root.Exec("UPDATE article SET type='X' WHERE articleid=2");
  Article(3, {3});
  root.Exec("UPDATE article SET type='Q' WHERE articleid=3");

  Check check = Run(true);
  EXPECT_EQ(check.Count(Check::UnsafeRow), 2u) << Describe(check);
  EXPECT_EQ(check.Count(Check::UnknownType), 1u);
  EXPECT_EQ(check.Count(Check::MissingTypeFolder), 1u);
  EXPECT_TRUE(fs::is_directory(root.daru() / "missing"));
  EXPECT_TRUE(fs::exists(root.path() / "outside" / (Hex(9) + ".xml")));
  EXPECT_EQ(check.Remaining(), 3u);
}

TEST_F(CatalogueCheck, ADamagedFileIsReportedAndLeftAlone) {
  Article(1, {3});
  Article(2, {3});
  // An index that no longer matches its table, as a torn write would leave it.
  root.Exec(
      "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql='CREATE INDEX article_filename ON article(url)' "
      "WHERE name='article_filename'");
  root.Exec("UPDATE article SET labels=5 WHERE articleid=1");
  Check check = Run(true);
  EXPECT_GE(check.Count(Check::Integrity), 1u) << Describe(check);
  EXPECT_EQ(check.Count(Check::LabelCount), 1u);
  EXPECT_EQ(check.Remaining(), check.GetFindings().size());
  EXPECT_EQ(root.Rows("SELECT labels FROM article WHERE articleid=1"), Lines({"5"}));
}

TEST_F(CatalogueCheck, ACheckThatCannotRunSaysWhyAndCreatesNothing) {
  fs::path db = root.catalogue();
  {
    Check check;
    fs::remove(db);
    EXPECT_FALSE(check.Run(false));
    EXPECT_NE(ToUtf8(check.GetError()).find("does not exist"), std::string::npos);
    EXPECT_FALSE(fs::exists(db));
  }
  {
    Write(db, std::string(5000, 'x'));
    Check check;
    EXPECT_FALSE(check.Run(true));
    EXPECT_NE(ToUtf8(check.GetError()).find("not a database"), std::string::npos) << ToUtf8(check.GetError());
    EXPECT_FALSE(check.IsClean());
  }
  {
    fs::remove_all(root.daru());
    Check check;
    EXPECT_FALSE(check.Run(false));
    EXPECT_NE(ToUtf8(check.GetError()).find("DARU"), std::string::npos);
    EXPECT_FALSE(fs::exists(root.daru()));
  }
}

TEST_F(CatalogueCheck, AReadOnlyCatalogueIsCheckedButNotRepaired) {
  Article(1, {3});
  root.Exec("UPDATE article SET labels=4");
  chmod(root.catalogue().c_str(), 0444);
  bool held = RunUnprivileged(root.catalogue(), [] {
    Check look;
    Check repair;
    // A write-ahead-log catalogue cannot be read without writing beside it; the
    // engine refuses, and the check says so.
    bool looked = look.Run(false) ? look.Count(Check::LabelCount) == 1 : !look.GetError().empty();
    bool refused = !repair.Run(true) && !repair.GetError().empty();
    if (!looked || !refused) std::fprintf(stderr, "%s\n%s\n", Describe(look).c_str(), Describe(repair).c_str());
    return looked && refused;
  });
  chmod(root.catalogue().c_str(), 0644);
  EXPECT_TRUE(held);
  EXPECT_EQ(root.Rows("SELECT labels FROM article"), Lines({"4"}));
}
