#include <gtest/gtest.h>

#include <fstream>

#include "fixtures/ProvisionedRoot.h"
#include "provision/DataRoot.h"

namespace fs = std::filesystem;

TEST(Provision, FreshRootHasTheCatalogueTheStoreReadsByPosition) {
  ProvisionedRoot root;
  EXPECT_EQ(root.Rows("SELECT group_concat(name) FROM pragma_table_info('label')"), Lines({"labelid,name,toplayer"}));
  EXPECT_EQ(
      root.Rows("SELECT group_concat(name) FROM pragma_table_info('article')"),
      Lines({"articleid,filename,url,title,key1,type,labels,label,version,readflag,impflag,crdate,brdate,lmdate"}));
  EXPECT_EQ(root.Rows("SELECT name FROM pragma_table_info('articletolabel') WHERE cid=1"), Lines({"articleid"}));
  EXPECT_EQ(root.Rows("SELECT * FROM label ORDER BY labelid"),
            Lines({"1|我的资料库|0", "2|收藏的频道|1", "3|未分类|1"}));
  EXPECT_EQ(root.Rows("SELECT * FROM articletype"), Lines({"1|B|web", "2|A|rss"}));
  EXPECT_TRUE(fs::is_directory(root.daru() / "web"));
  EXPECT_TRUE(fs::is_directory(root.daru() / "rss"));
  // Links are looked up from both sides.
  EXPECT_EQ(root.Rows("SELECT count(*) FROM pragma_index_list('articletolabel')"), Lines({"2"}));
  EXPECT_EQ(root.Rows("SELECT count(*) FROM pragma_index_list('article')"), Lines({"1"}));
  // New rows take ids above the fixed ones, and deleted ids are not reused.
  root.Exec(
      "INSERT INTO label(name,toplayer) VALUES('a',1); DELETE FROM label WHERE name='a';"
      "INSERT INTO label(name,toplayer) VALUES('b',1);");
  EXPECT_EQ(root.Rows("SELECT labelid FROM label WHERE name='b'"), Lines({"5"}));
}

TEST(Provision, AnExistingRootKeepsItsData) {
  ProvisionedRoot root;
  root.Exec(
      "UPDATE label SET name='renamed' WHERE labelid=1; DELETE FROM label WHERE labelid=3;"
      "INSERT INTO articletype VALUES(3,'C','feeds\\cache'); DROP TABLE article;");
  fs::remove(root.daru() / "web");
  std::string error;
  ASSERT_TRUE(provision::ProvisionDataRoot(root.path(), &error)) << error;
  EXPECT_EQ(root.Rows("SELECT labelid, name FROM label ORDER BY labelid"), Lines({"1|renamed", "2|收藏的频道"}));
  EXPECT_EQ(root.Rows("SELECT count(*) FROM article"), Lines({"0"}));  // only the missing table is made
  EXPECT_TRUE(fs::is_directory(root.daru() / "web"));
  EXPECT_TRUE(fs::is_directory(root.daru() / "feeds" / "cache"));

  // Folders that would leave the DARU folder are not made.
  root.Exec("INSERT INTO articletype VALUES(4,'D','../escaped'), (5,'E','/tmp/escaped-daru-test');");
  ASSERT_TRUE(provision::ProvisionDataRoot(root.path(), &error)) << error;
  EXPECT_FALSE(fs::exists(root.path() / "escaped"));
  EXPECT_FALSE(fs::exists("/tmp/escaped-daru-test"));

  TempDir dir;
  std::ofstream(dir.path() / "file") << "x";
  EXPECT_FALSE(provision::ProvisionDataRoot(dir.path() / "file", &error));
  EXPECT_FALSE(error.empty());
}

TEST(Provision, StylesheetIsWrittenOnceAndKept) {
  ProvisionedRoot root;
  fs::path sheet = root.daru() / "default.xslt";
  ASSERT_TRUE(fs::is_regular_file(sheet));
  std::ifstream in(sheet);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("xsl:stylesheet"), std::string::npos);
  std::ifstream source(std::string(DARU_TEST_DATA_DIR) + "/../../res/default.xslt");
  std::string expected((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, expected);

  std::ofstream(sheet, std::ios::trunc) << "<!-- mine -->";
  std::string error;
  ASSERT_TRUE(provision::ProvisionDataRoot(root.path(), &error)) << error;
  std::ifstream again(sheet);
  std::string kept((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
  EXPECT_EQ(kept, "<!-- mine -->");
}
