// The article property sheet on stored articles, with and without feed data:
// what each page shows, what OK takes over into the article, and that the
// rewrite the properties command makes afterwards keeps the description,
// comment and feed data of pages never shown.

#include <ctime>
#include <string>
#include <vector>

#include "DialogFixture.h"
#include "base/TextConv.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "fixtures/ProvisionedRoot.h"
#include "platform/PropertySheet.h"
#include "ui/dialogs/PropSheet.h"

namespace {

class PropSheetTest : public DialogTest {
 protected:
  void SetUp() override {
    daru = CDARU::Instance();
    ASSERT_TRUE(daru->Init()) << ToUtf8(daru->GetLastDBError());
    three = daru->GetLabelTree()->FindLabel(3);
    ASSERT_NE(three, nullptr);
    Store(u"http://example.org/page", u"B", nullptr);
    CRSSSubItem feed;
    feed.title = u"条目";
    feed.link = u"http://example.org/feed/1";
    feed.pubDate = u"Mon, 07 Dec 2026 08:00:00 GMT";
    feed.channelTitle = u"某频道";
    feed.channelLink = u"http://example.org/feed";
    Store(u"http://example.org/feed/1", u"A", &feed);
    // As the list holds them: read back from the catalogue, nothing of the
    // description file loaded yet.
    ASSERT_EQ(daru->QueryArticle(three, CArticle(), 0), 2);
    for (CArticle* a : daru->GetArticleList()) (a->type == u"A" ? rss : web) = a;
    ASSERT_TRUE(web && rss);
    ASSERT_EQ(web->description, u"");
    // New articles are stored read; this one has been marked unread since.
    web->readflag = false;
    ASSERT_TRUE(daru->UpdateArticle(*web));
  }
  void TearDown() override { delete daru; }

  void Store(const std::u16string& url, const std::u16string& type, CRSSSubItem* feed) {
    int result = 0;
    CArticle* a = daru->AddArticle(three, url, u"原标题", u"原关键字", type, result, true);
    ASSERT_EQ(result, 0);
    a->SetDescription(u"原描述");
    a->SetComment(u"原注释");
    a->SetRSSSubItem(feed);
    ASSERT_TRUE(a->CreateDescriptionFile(type, false));
    a->SetRSSSubItem(nullptr);
    delete a;
  }

  // What the properties command does after OK: load what the article does not
  // hold yet, then rewrite its description file.
  static void Rewrite(CArticle& a) {
    a.LoadDescription();
    a.LoadComment();
    a.LoadRssSubItem();
    ASSERT_TRUE(a.CreateDescriptionFile(a.type, false));
  }
  // The article's description file read afresh.
  static CArticle Reread(const CArticle& a) {
    CArticle fresh;
    fresh.type = a.type;
    fresh.filename = a.filename;
    fresh.LoadDescription();
    fresh.LoadComment();
    fresh.LoadRssSubItem();
    return fresh;
  }

  ProvisionedRoot root;
  CDARU* daru = nullptr;
  CLabel* three = nullptr;
  CArticle* web = nullptr;  // borrowed from the facade's result list
  CArticle* rss = nullptr;  // borrowed from the facade's result list
};

}  // namespace

TEST_F(PropSheetTest, ShowsThreeTabsWithoutApplyAndTheBasicsFirst) {
  CPropSheet sheet(u"文章属性...", web);
  user.Dialog(u"文章属性...", [&](CModalSession& d) {
    EXPECT_EQ(d.Tabs(), (std::vector<std::u16string>{u"基本信息", u"描述文字", u"我的注释"}));
    EXPECT_EQ(d.ActiveTab(), 0);
    EXPECT_FALSE(d.HasControl(ID_APPLY_NOW));
    EXPECT_EQ(d.GetText(50023), u"http://example.org/page");
    EXPECT_TRUE(Seen(d, 50023).readOnly);
    EXPECT_EQ(d.GetText(50016), u"原标题");
    EXPECT_FALSE(Seen(d, 50016).readOnly);
    EXPECT_EQ(d.GetText(50032), u"原关键字");
    EXPECT_EQ(d.GetText(50021), web->crdate.GetFmtString());
    EXPECT_TRUE(Seen(d, 50021).readOnly);
    EXPECT_EQ(d.GetCheck(50025), BST_UNCHECKED);
    EXPECT_EQ(d.GetText(50026), u"");  // not read: no read time
    EXPECT_EQ(d.GetCheck(50027), BST_UNCHECKED);
    EXPECT_FALSE(sheet.IsPageCreated(1));
    EXPECT_TRUE(d.SelectTab(u"描述文字"));
    EXPECT_EQ(d.GetText(50028), u"原描述");
    EXPECT_EQ(Seen(d, 50028).kind, u"rich edit");
    EXPECT_TRUE(d.SelectTab(u"我的注释"));
    EXPECT_EQ(d.GetText(50029), u"原注释");
    d.SetText(50029, u"不要了");
    d.SelectTab(0);
    d.SetText(50016, u"不要了");
    d.Cancel();
  });
  ASSERT_EQ(sheet.DoModal(), IDCANCEL);
  EXPECT_EQ(web->title, u"原标题");
  EXPECT_EQ(web->comment, u"原注释");  // loaded for showing, not changed
  ExpectScriptDone();
}

TEST_F(PropSheetTest, OkWithoutChangesOnlyLoadsWhatWasShown) {
  const CArticle before = *rss;
  CPropSheet sheet(u"文章属性...", rss);
  user.Dialog([](CModalSession& d) { d.Ok(); });
  ASSERT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(rss->title, before.title);
  EXPECT_EQ(rss->key1, before.key1);
  EXPECT_EQ(rss->readflag, before.readflag);
  EXPECT_EQ(rss->impflag, before.impflag);
  EXPECT_EQ(rss->brdate.GetFmtString(), before.brdate.GetFmtString());
  EXPECT_EQ(rss->description, u"");
  EXPECT_EQ(rss->comment, u"");
  EXPECT_EQ(rss->GetRSSSubItem(), nullptr);  // the feed page is never shown

  CPropSheet again(u"文章属性...", rss);
  user.Dialog([](CModalSession& d) {
    d.SelectTab(1);
    d.Ok();
  });
  ASSERT_EQ(again.DoModal(), IDOK);
  EXPECT_EQ(rss->description, u"原描述");
  EXPECT_EQ(rss->comment, u"");
  ExpectScriptDone();
}

TEST_F(PropSheetTest, ReadAndImportantMarks) {
  const long before = static_cast<long>(std::time(nullptr));
  CPropSheet sheet(u"文章属性...", web);
  user.Dialog([](CModalSession& d) {
    d.SetCheck(50025, BST_CHECKED);
    d.SetCheck(50027, BST_CHECKED);
    d.Ok();
  });
  ASSERT_EQ(sheet.DoModal(), IDOK);
  EXPECT_TRUE(web->readflag);
  EXPECT_TRUE(web->impflag);
  EXPECT_GE(web->brdate.GetTimeLong(), before);
  EXPECT_LE(web->brdate.GetTimeLong(), static_cast<long>(std::time(nullptr)));

  // A read article shows when it was read; unticking keeps that time.
  web->brdate.SetTimeLong(1000000000);
  const std::u16string readAt = web->brdate.GetFmtString();
  CPropSheet again(u"文章属性...", web);
  user.Dialog([&](CModalSession& d) {
    EXPECT_EQ(d.GetCheck(50025), BST_CHECKED);
    EXPECT_EQ(d.GetText(50026), readAt);
    EXPECT_EQ(d.GetCheck(50027), BST_CHECKED);
    d.SetCheck(50025, BST_UNCHECKED);
    d.SetCheck(50027, BST_UNCHECKED);
    d.Ok();
  });
  ASSERT_EQ(again.DoModal(), IDOK);
  EXPECT_FALSE(web->readflag);
  EXPECT_FALSE(web->impflag);
  EXPECT_EQ(web->brdate.GetTimeLong(), 1000000000);

  // Staying read keeps the read time too.
  web->readflag = true;
  CPropSheet third(u"文章属性...", web);
  user.Dialog(CScriptedUser::Fill({{50032, u"新关键字"}}));
  ASSERT_EQ(third.DoModal(), IDOK);
  EXPECT_EQ(web->brdate.GetTimeLong(), 1000000000);
  EXPECT_EQ(web->key1, u"新关键字");
  ExpectScriptDone();
}

TEST_F(PropSheetTest, AnEmptyTitleKeepsTheBasicsButNotTheOtherPages) {
  CPropSheet sheet(u"文章属性...", web);
  user.Dialog([](CModalSession& d) {
        d.SelectTab(u"描述文字");
        d.SetText(50028, u"新描述\r\n第二行");
        d.SelectTab(u"基本信息");
        d.SetText(50016, u"");
        d.SetText(50032, u"新关键字");
        d.SetCheck(50027, BST_CHECKED);
        d.Ok();
      })
      .AnswerMessageBox(IDOK, u"文章标题不能为空。");
  ASSERT_EQ(sheet.DoModal(), IDOK);  // the message does not keep the sheet open
  EXPECT_EQ(web->title, u"原标题");
  EXPECT_EQ(web->key1, u"原关键字");
  EXPECT_FALSE(web->impflag);
  EXPECT_EQ(web->description, u"新描述\r\n第二行");
  ExpectScriptDone();
}

TEST_F(PropSheetTest, EditingOnlyTheCommentChangesOnlyTheComment) {
  const CArticle before = *web;
  CPropSheet sheet(u"文章属性...", web);
  user.Dialog([](CModalSession& d) {
    d.SelectTab(u"我的注释");
    d.SetText(50029, u"新注释");
    d.Ok();
  });
  ASSERT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(web->comment, u"新注释");
  EXPECT_EQ(web->title, before.title);
  EXPECT_EQ(web->key1, before.key1);
  EXPECT_EQ(web->readflag, before.readflag);
  EXPECT_EQ(web->impflag, before.impflag);
  EXPECT_EQ(web->description, u"");
  ExpectScriptDone();
}

TEST_F(PropSheetTest, TheRewriteAfterOkKeepsWhatNoPageShowed) {
  for (CArticle* a : {web, rss}) {
    CPropSheet sheet(u"文章属性...", a);
    user.Dialog(CScriptedUser::Fill({{50016, u"新标题"}}));
    ASSERT_EQ(sheet.DoModal(), IDOK);
    Rewrite(*a);
    CArticle fresh = Reread(*a);
    EXPECT_EQ(fresh.description, u"原描述");
    EXPECT_EQ(fresh.comment, u"原注释");
    if (a == rss) {
      ASSERT_NE(fresh.GetRSSSubItem(), nullptr);
      EXPECT_EQ(fresh.GetRSSSubItem()->channelTitle, u"某频道");
      EXPECT_EQ(fresh.GetRSSSubItem()->link, u"http://example.org/feed/1");
    }
  }
  // Edits on the pages shown go into the file.
  CPropSheet sheet(u"文章属性...", rss);
  user.Dialog([](CModalSession& d) {
    d.SelectTab(2);
    d.SetText(50029, u"改过的注释");
    d.Ok();
  });
  ASSERT_EQ(sheet.DoModal(), IDOK);
  Rewrite(*rss);
  CArticle fresh = Reread(*rss);
  EXPECT_EQ(fresh.comment, u"改过的注释");
  EXPECT_EQ(fresh.description, u"原描述");
  ASSERT_NE(fresh.GetRSSSubItem(), nullptr);
  EXPECT_EQ(fresh.GetRSSSubItem()->channelTitle, u"某频道");
  ExpectScriptDone();
}
