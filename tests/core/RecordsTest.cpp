#include <gtest/gtest.h>

#include "core/Article.h"
#include "core/Records.h"

TEST(Records, Defaults) {
  CLabel label;
  EXPECT_EQ(label.labelid, 0);
  EXPECT_EQ(label.toplayer, 1);
  EXPECT_EQ(label.parent, nullptr);
  EXPECT_EQ(label.nextSibling, nullptr);
  EXPECT_EQ(label.firstChild, nullptr);

  CArticle a;
  EXPECT_EQ(a.articleid, 0);
  EXPECT_TRUE(a.filename.empty());
  EXPECT_FALSE(a.readflag);
  EXPECT_FALSE(a.impflag);
  EXPECT_EQ(a.labels, 0);
  EXPECT_EQ(a.version, 0);
  EXPECT_EQ(a.crdate.GetFmtString(), u"");
  EXPECT_EQ(a.brdate.GetTimeLong(), 0);
  EXPECT_EQ(a.lmdate.GetTimeLong(), 0);
  EXPECT_EQ(a.GetRSSSubItem(), nullptr);
  EXPECT_EQ(a.GetPubSubItem(), nullptr);
}

TEST(Records, ArticleCopiesAreDeep) {
  CArticle a;
  a.title = u"原标题";
  a.filename = u"f";
  a.labels = 2;
  a.readflag = true;
  a.crdate.MakeTime(2005, 2, 7, 9, 5, 0, 0);
  a.SetDescription(u"desc");
  a.versions.emplace_back();

  CArticle b(a);
  b.title = u"changed";
  b.crdate.MakeTime(0, 0, 1, 0, 0, 0, 0);
  b.versions.clear();
  EXPECT_EQ(a.title, u"原标题");
  EXPECT_EQ(a.crdate.GetDay(), 7);
  EXPECT_EQ(b.crdate.GetDay(), 8);
  EXPECT_EQ(a.versions.size(), 1u);
  EXPECT_EQ(b.GetDescription(), u"desc");
  EXPECT_TRUE(b.readflag);
  EXPECT_EQ(b.labels, 2);

  CArticle c;
  c = a;
  EXPECT_EQ(c.title, u"原标题");
  EXPECT_EQ(c.crdate.GetFmtString(), a.crdate.GetFmtString());
}

TEST(Records, LabelCopyKeepsTheLinks) {
  CLabel parent;
  CLabel a;
  a.labelid = 7;
  a.name = u"新闻";
  a.toplayer = 3;
  a.parent = &parent;
  CLabel b = a;
  EXPECT_EQ(b.parent, &parent);
  EXPECT_EQ(b.name, u"新闻");
  EXPECT_EQ(b.toplayer, 3);
  // Destroying through the base pointer runs the right destructor.
  CLabel* heap = new CLabel(a);
  delete heap;
}

TEST(Records, TypesAndAttachmentsCopyEveryField) {
  CArticleType t(4, u"B", u"web");
  CArticleType u = t;
  EXPECT_EQ(u.typeid_, 4);
  EXPECT_EQ(u.path, u"web");

  CMimeFile m;
  m.reservedText1 = u"r1";
  m.filename = u"a.mp3";
  m.reservedText2 = u"r2";
  m.description = u"声音";
  CRSSSubItem rss;
  rss.AddMimeFile(m);
  m.filename = u"changed";
  ASSERT_EQ(rss.mimeFiles.size(), 1u);
  EXPECT_EQ(rss.mimeFiles[0].reservedText1, u"r1");
  EXPECT_EQ(rss.mimeFiles[0].filename, u"a.mp3");
  EXPECT_EQ(rss.mimeFiles[0].reservedText2, u"r2");
  EXPECT_EQ(rss.mimeFiles[0].description, u"声音");
}
