#include <gtest/gtest.h>

#include <memory>

#include "core/Article.h"
#include "core/CaptureItems.h"

TEST(CaptureItems, Defaults) {
  CItemExecute item;
  EXPECT_TRUE(item.GetUrl().empty());
  EXPECT_TRUE(item.versions.empty());
  EXPECT_EQ(item.GetRSSSubItem(), nullptr);
  EXPECT_EQ(item.GetVersionSubItem(1), nullptr);
  CVersionSubItem v;
  EXPECT_EQ(v.number, 1);
  EXPECT_EQ(v.name, u"none");
  EXPECT_TRUE(v.text.empty());
}

TEST(CaptureItems, PlainItemFileOperationsDoNothing) {
  CItemExecute item;
  item.SetDescription(u"d");
  item.SetComment(u"c");
  item.SetUrl(u"http://x");
  EXPECT_EQ(item.LoadDescription(), u"");
  EXPECT_EQ(item.LoadComment(), u"");
  EXPECT_FALSE(item.CreateDescriptionFile(u"/tmp", true));
  EXPECT_EQ(item.GetDescription(), u"d");
  EXPECT_EQ(item.GetComment(), u"c");
  EXPECT_EQ(item.GetUrl(), u"http://x");
}

TEST(CaptureItems, CopiesShareSubItemsAndReleaseThemOnce) {
  auto* rss = new CRSSSubItem;
  rss->title = u"t";
  auto original = std::make_unique<CArticle>();
  original->SetRSSSubItem(rss);
  EXPECT_EQ(original->LoadRSS(), rss);

  CArticle copy(*original);
  CArticle assigned;
  assigned = *original;
  EXPECT_EQ(copy.GetRSSSubItem(), rss);
  EXPECT_EQ(assigned.GetRSSSubItem(), rss);
  original.reset();  // the sub-item lives on in the copies
  EXPECT_EQ(copy.GetRSSSubItem()->title, u"t");
  // ASan reports a double free or a leak if ownership is wrong.
}

TEST(CaptureItems, LentSubItemIsNotDeletedWhenTakenBack) {
  CRSSSubItem lent;
  lent.link = u"http://feed/item";
  {
    CArticle article;
    article.SetRSSSubItem(&lent);
    EXPECT_EQ(article.GetRSSSubItem(), &lent);
    article.SetRSSSubItem(nullptr);
  }
  EXPECT_EQ(lent.link, u"http://feed/item");
}

TEST(CaptureItems, RssCopiesAreIndependent) {
  CRSSSubItem a;
  CMimeFile m;
  m.filename = u"one";
  a.AddMimeFile(m);
  CRSSSubItem b = a;
  b.mimeFiles[0].filename = u"two";
  b.AddMimeFile(m);
  EXPECT_EQ(a.mimeFiles.size(), 1u);
  EXPECT_EQ(a.mimeFiles[0].filename, u"one");
}

TEST(CaptureItems, VersionWalkStaysInsideTheItem) {
  CItemExecute item;
  item.versions.resize(2);
  item.versions[1].number = 2;
  EXPECT_EQ(item.GetVersionSubItem(0), nullptr);  // no walk started yet
  CVersionSubItem* first = item.GetVersionSubItem(1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->number, 1);
  CVersionSubItem* second = item.GetVersionSubItem(0);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->number, 2);
  EXPECT_EQ(item.GetVersionSubItem(0), nullptr);
  EXPECT_EQ(item.GetVersionSubItem(0), nullptr);  // still at the end

  CItemExecute other;
  other.versions.resize(1);
  item.GetVersionSubItem(1);
  EXPECT_EQ(other.GetVersionSubItem(0), nullptr);  // the walk belongs to item
  {
    CItemExecute gone;
    gone.versions.resize(1);
    gone.GetVersionSubItem(1);
  }
  EXPECT_EQ(item.GetVersionSubItem(0), nullptr);
}
