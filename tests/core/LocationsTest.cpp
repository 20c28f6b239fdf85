#include <gtest/gtest.h>

#include "base/TextConv.h"
#include "core/ArticleLocations.h"
#include "facade/DARU.h"
#include "fixtures/DaruAccess.h"
#include "fixtures/TempDir.h"
#include "platform/ModuleInfo.h"

namespace {

class Locations : public ::testing::Test {
 protected:
  void SetUp() override { daru = CDARU::Instance(); }
  void TearDown() override { delete daru; }
  CDARU* daru = nullptr;
};

}  // namespace

TEST_F(Locations, InstanceIsOneObjectAndCanBeRebuilt) {
  EXPECT_EQ(CDARU::Instance(), daru);
  delete daru;
  daru = CDARU::Instance();
  ASSERT_NE(daru, nullptr);
  EXPECT_EQ(CDARU::Instance(), daru);
}

TEST_F(Locations, DataRootIsTheModuleFolder) {
  // By default the running test program is the module.
  std::u16string exe = DaruGetModuleFileName();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(GetDataRoot() + exe.substr(exe.rfind(u'/')), exe);

  ScopedDataRoot root("/srv/reader");
  EXPECT_EQ(GetDataRoot(), u"/srv/reader");
  EXPECT_EQ(GetCatalogueFile(), u"/srv/reader/DARU/darudb");
  DaruSetModuleFileName(u"D:\\Reader\\reader.exe");
  EXPECT_EQ(GetDataRoot(), u"D:/Reader");
  DaruSetModuleFileName(u"reader");
  EXPECT_EQ(GetDataRoot(), u"");
  EXPECT_EQ(GetDaruFolder(), u"/DARU");
}

TEST_F(Locations, TypeLookupTakesTheFirstExactMatch) {
  EXPECT_EQ(daru->FindArticlePath(u"B"), u"");  // nothing loaded yet
  auto& types = CDARUTestAccess::Types(daru);
  types.emplace_back(1, u"B", u"web");
  types.emplace_back(2, u"A", u"rss");
  types.emplace_back(3, u"B", u"other");
  EXPECT_EQ(daru->FindArticlePath(u"B"), u"web");
  EXPECT_EQ(daru->FindArticlePath(u"A"), u"rss");
  EXPECT_EQ(daru->FindArticlePath(u"b"), u"");
  EXPECT_EQ(daru->FindArticlePath(u"Z"), u"");
}

TEST_F(Locations, DescriptionAndMediaPaths) {
  ScopedDataRoot root("/srv/reader");
  auto& types = CDARUTestAccess::Types(daru);
  types.emplace_back(1, u"B", u"web");
  types.emplace_back(2, u"A", u"feeds\\rss");
  CArticle a;
  a.type = u"B";
  a.filename = u"0123456789abcdef0123456789abcdef";
  EXPECT_EQ(a.GetDescriptionFilename(), u"/srv/reader/DARU/web/0123456789abcdef0123456789abcdef.xml");
  a.type = u"A";  // a backslash in the type folder is a separator
  EXPECT_EQ(a.GetDescriptionFilename(), u"/srv/reader/DARU/feeds/rss/0123456789abcdef0123456789abcdef.xml");
  a.type = u"Q";  // unknown type: the folder part is empty
  EXPECT_EQ(a.GetDescriptionFilename(), u"/srv/reader/DARU//0123456789abcdef0123456789abcdef.xml");
  EXPECT_EQ(GetArticleFolder(a.filename), u"/srv/reader/DARU/feeds/rss/0123456789abcdef0123456789abcdef");
  EXPECT_EQ(GetMediaCopyPath(u"f"), u"/srv/reader/DARU/feeds/rss/f/mime.zevm");
}

TEST(PathSafety, NamesThatWouldLeaveTheirFolder) {
  EXPECT_TRUE(IsSafeFolderName(u"0123456789abcdef0123456789abcdef"));
  for (std::u16string bad : {std::u16string(), std::u16string(u"."), std::u16string(u".."), std::u16string(u"a/b"),
                             std::u16string(u"a\\b"), std::u16string(u"/etc"), std::u16string(u"a\0b", 3)})
    EXPECT_FALSE(IsSafeFolderName(bad)) << ToUtf8(bad);
  EXPECT_TRUE(IsSafeTypePath(u"web"));
  EXPECT_TRUE(IsSafeTypePath(u"feeds\\rss"));
  EXPECT_TRUE(IsSafeTypePath(u"a..b"));
  for (std::u16string bad : {u"", u"/abs", u"\\abs", u"..", u"web/../..", u"a\\..\\b"})
    EXPECT_FALSE(IsSafeTypePath(bad)) << ToUtf8(bad);
}
