// The label picker on a provisioned catalogue: the ticks it starts with, and
// what confirmation leaves in the catalogue, checked with SQL.

#include <filesystem>
#include <string>
#include <vector>

#include "DialogFixture.h"
#include "base/TextConv.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "fixtures/ProvisionedRoot.h"
#include "platform/ImageList.h"
#include "platform/Input.h"
#include "platform/TreeCtrl.h"
#include "storage/DB.h"
#include "ui/dialogs/NewLabelDlg.h"

namespace {

class LabelPickerTest : public DialogTest {
 protected:
  void SetUp() override {
    daru = CDARU::Instance();
    ASSERT_TRUE(daru->Init()) << ToUtf8(daru->GetLastDBError());
    CLabelTree* tree = daru->GetLabelTree();
    head = tree->GetHeadLabel();
    three = tree->FindLabel(3);
    // 1 ( 2  3  甲 ( 乙 )  丙 )
    jia = tree->InsertLabel(head, u"甲");
    yi = tree->InsertLabel(jia, u"乙");
    bing = tree->InsertLabel(head, u"丙");
    ASSERT_TRUE(head && three && jia && yi && bing);

    int result = 0;
    article = daru->AddArticle(three, u"http://example.org/one", u"一篇文章", u"", u"B", result, true);
    ASSERT_EQ(result, 0);
    ASSERT_EQ(daru->AddArticle(article, jia), 0);
    article->labels = 2;  // filing through the facade leaves the count to the caller
    ASSERT_TRUE(daru->UpdateArticle(*article));
    id = std::to_string(article->articleid);
    ASSERT_EQ(LinkLine(), Ids({three, jia}));
    ASSERT_EQ(Count(), Lines({"2"}));
  }
  void TearDown() override {
    delete article;
    delete daru;
  }

  std::vector<std::string> Links() const {
    return root.Rows("SELECT labelid FROM articletolabel WHERE articleid=" + id + " ORDER BY labelid");
  }
  std::vector<std::string> Count() const { return root.Rows("SELECT labels FROM article WHERE articleid=" + id); }
  static std::string Ids(std::initializer_list<const CLabel*> labels) {
    std::string s;
    for (const CLabel* l : labels) s += (s.empty() ? "" : ",") + std::to_string(l->labelid);
    return s;
  }
  // The links as one line, for comparing with Ids.
  std::string LinkLine() const {
    std::string s;
    for (const std::string& l : Links()) s += (s.empty() ? "" : ",") + l;
    return s;
  }
  void RefuseLinksTo(std::initializer_list<const CLabel*> labels) {
    root.Exec("CREATE TRIGGER refuse BEFORE INSERT ON articletolabel WHEN NEW.labelid IN (" + Ids(labels) +
              ") BEGIN SELECT RAISE(ABORT, 'disk full'); END;");
  }

  static HTREEITEM Find(CTreeCtrl& tree, const CLabel* label) {
    std::vector<HTREEITEM> pending{tree.GetRootItem()};
    while (!pending.empty()) {
      HTREEITEM h = pending.back();
      pending.pop_back();
      if (h == nullptr) continue;
      if (reinterpret_cast<const CLabel*>(tree.GetItemData(h)) == label) return h;
      pending.push_back(tree.GetNextSiblingItem(h));
      pending.push_back(tree.GetChildItem(h));
    }
    return nullptr;
  }
  // Ticks or clears a label's box the way a person does: opening the branch
  // if need be and clicking the state icon left of the label.
  static void Tick(CModalSession& d, const CLabel* label, bool on) {
    auto& tree = *static_cast<CTreeCtrl*>(d.GetControl(51016));
    HTREEITEM item = Find(tree, label);
    ASSERT_NE(item, nullptr) << ToUtf8(label->name);
    tree.EnsureVisible(item);
    if ((tree.GetCheck(item) == 1) == on) return;
    CRect r;
    ASSERT_TRUE(tree.GetItemRect(item, &r, TRUE));
    const int icon = tree.GetImageList(TVSIL_NORMAL) ? tree.GetImageList(TVSIL_NORMAL)->GetImageSize().cx : 0;
    InputClick(tree.m_hWnd, CPoint(r.left - icon - 8, r.top + 4));
    ASSERT_EQ(tree.GetCheck(item) == 1, on) << ToUtf8(label->name);
  }

  ProvisionedRoot root;
  CDARU* daru = nullptr;
  CLabel* head = nullptr;
  CLabel* three = nullptr;
  CLabel* jia = nullptr;
  CLabel* yi = nullptr;
  CLabel* bing = nullptr;
  CArticle* article = nullptr;  // owned: the facade did not list it
  std::string id;
};

}  // namespace

TEST_F(LabelPickerTest, OpensOnTheWholeHierarchyWithTheArticlesLabelsTicked) {
  CNewLabelDlg dlg(article, three);
  user.Dialog(u"添加标签...", [&](CModalSession& d) {
    EXPECT_EQ(d.TemplateId(), 55006u);
    EXPECT_EQ(Seen(d, IDOK).text, u"添加");
    EXPECT_EQ(Seen(d, IDOK).kind, u"default button");
    EXPECT_EQ(Seen(d, IDCANCEL).text, u"取消");
    auto& tree = *static_cast<CTreeCtrl*>(d.GetControl(51016));
    EXPECT_EQ(&tree, &dlg.m_tree);
    HTREEITEM rootItem = tree.GetRootItem();
    ASSERT_NE(rootItem, nullptr);
    EXPECT_EQ(tree.GetNextSiblingItem(rootItem), nullptr);
    EXPECT_EQ(tree.GetItemText(rootItem), head->name);
    EXPECT_TRUE(tree.GetItemState(rootItem, TVIS_EXPANDED) & TVIS_EXPANDED);
    // Every label once, in sibling order, with the label image; only the root is open.
    std::vector<std::u16string> visible;
    for (HTREEITEM h = rootItem; h != nullptr; h = tree.GetNextVisibleItem(h)) visible.push_back(tree.GetItemText(h));
    EXPECT_EQ(visible, (std::vector<std::u16string>{head->name, daru->GetLabelTree()->FindLabel(2)->name, three->name,
                                                    u"甲", u"丙"}));
    EXPECT_EQ(tree.GetCount(), 6u);
    for (const CLabel* label : {head, three, jia, yi, bing}) {
      HTREEITEM item = Find(tree, label);
      int image = -1, selected = -1;
      tree.GetItemImage(item, image, selected);
      EXPECT_EQ(image, 3);
      EXPECT_EQ(selected, 3);
      EXPECT_EQ(tree.GetCheck(item), label == three || label == jia ? 1 : 0) << ToUtf8(label->name);
    }
    EXPECT_EQ(tree.GetImageList(TVSIL_NORMAL)->GetImageCount(), 7);
    EXPECT_EQ(tree.GetImageList(TVSIL_NORMAL)->GetImageSize(), CSize(16, 15));
    EXPECT_EQ(tree.GetImageList(TVSIL_NORMAL)->GetImagePixel(3, 0, 0), CLR_NONE);  // magenta is transparent
    d.Cancel();
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.leftShownLabel, 1);
  EXPECT_EQ(LinkLine(), Ids({three, jia}));
  ExpectScriptDone();
}

TEST_F(LabelPickerTest, ConfirmingWritesExactlyTheTickedLabels) {
  {  // the same ticks: the same links, and the shown label is kept
    CNewLabelDlg dlg(article, three);
    user.Dialog(CScriptedUser::Press(IDOK));
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(LinkLine(), Ids({three, jia}));
    EXPECT_EQ(Count(), Lines({"2"}));
    EXPECT_EQ(dlg.linkCount, 2);
    EXPECT_EQ(dlg.leftShownLabel, 0);
    EXPECT_EQ(article->labels, 2);
  }
  {  // one more, inside a closed branch
    CNewLabelDlg dlg(article, jia);
    user.Dialog([&](CModalSession& d) {
      Tick(d, yi, true);
      d.Ok();
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(LinkLine(), Ids({three, jia, yi}));
    EXPECT_EQ(Count(), Lines({"3"}));
    EXPECT_EQ(article->labels, 3);
    EXPECT_EQ(dlg.leftShownLabel, 0);
  }
  {  // the shown label unticked: the row leaves the list, the article stays under the others
    CNewLabelDlg dlg(article, three);
    user.Dialog([&](CModalSession& d) {
      Tick(d, three, false);
      d.Ok();
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(LinkLine(), Ids({jia, yi}));
    EXPECT_EQ(Count(), Lines({"2"}));
    EXPECT_EQ(dlg.leftShownLabel, 1);
    EXPECT_EQ(dlg.linkCount, 2);
  }
  {  // no label shown (search results): nothing to leave
    CNewLabelDlg dlg(article, nullptr);
    user.Dialog(CScriptedUser::Press(IDOK));
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.leftShownLabel, 1);
    EXPECT_EQ(LinkLine(), Ids({jia, yi}));
  }
  ExpectScriptDone();
}

TEST_F(LabelPickerTest, UntickingEveryLabelRemovesTheArticleButNotItsFiles) {
  ASSERT_TRUE(article->CreateDescriptionFile(u"B", false));
  const std::filesystem::path file = ToUtf8(article->GetDescriptionFilename());
  ASSERT_TRUE(std::filesystem::exists(file));

  CNewLabelDlg dlg(article, three);
  user.Dialog([&](CModalSession& d) {
    Tick(d, three, false);
    Tick(d, jia, false);
    d.Ok();
  });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.leftShownLabel, 1);
  EXPECT_EQ(dlg.linkCount, 0);
  EXPECT_TRUE(Links().empty());
  EXPECT_TRUE(Count().empty());
  EXPECT_TRUE(std::filesystem::exists(file));
  ExpectScriptDone();
}

TEST_F(LabelPickerTest, ALinkThatCannotBeWrittenChangesNothing) {
  RefuseLinksTo({yi});
  CNewLabelDlg dlg(article, three);
  user.Dialog([&](CModalSession& d) {
        Tick(d, three, false);
        Tick(d, yi, true);
        d.Ok();
      })
      .AnswerMessageBox(IDOK, u"给文章加上标签:乙 时出现了错误!");
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(LinkLine(), Ids({three, jia}));  // nothing was unticked behind the user's back
  EXPECT_EQ(Count(), Lines({"2"}));
  EXPECT_EQ(article->labels, 2);
  EXPECT_EQ(dlg.leftShownLabel, 1);
  EXPECT_EQ(user.MessageTexts().size(), 1u);
  ExpectScriptDone();
}

TEST_F(LabelPickerTest, TheFirstFailingLabelIsNamedSiblingsBeforeChildren) {
  // 丙 follows 甲 as a sibling, 乙 is 甲's child: the siblings come first.
  RefuseLinksTo({yi, bing});
  CNewLabelDlg dlg(article, three);
  user.Dialog([&](CModalSession& d) {
        Tick(d, yi, true);
        Tick(d, bing, true);
        d.Ok();
      })
      .AnswerMessageBox(IDOK, u"给文章加上标签:丙 时出现了错误!");
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(LinkLine(), Ids({three, jia}));
  ExpectScriptDone();
}

TEST_F(LabelPickerTest, OldLinksThatCannotBeRemovedEndTheDialogCancelled) {
  root.Exec("CREATE TRIGGER keep BEFORE DELETE ON articletolabel BEGIN SELECT RAISE(ABORT, 'locked'); END;");
  CNewLabelDlg dlg(article, three);
  user.Dialog([&](CModalSession& d) {
        Tick(d, three, false);
        d.Ok();
      })
      .AnswerMessageBox(IDOK, u"执行操作出现了错误!");
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.leftShownLabel, 1);
  EXPECT_EQ(LinkLine(), Ids({three, jia}));
  EXPECT_EQ(Count(), Lines({"2"}));
  ExpectScriptDone();
}

TEST_F(LabelPickerTest, AnArticleGoneFromTheCatalogueGetsNoLinks) {
  // Another window removed it meanwhile: links to a missing row must not appear.
  root.Exec("DELETE FROM articletolabel WHERE articleid=" + id + "; DELETE FROM article WHERE articleid=" + id + ";");
  CNewLabelDlg dlg(article, three);
  user.Dialog([&](CModalSession& d) {
        auto& tree = *static_cast<CTreeCtrl*>(d.GetControl(51016));
        EXPECT_EQ(tree.GetCheck(Find(tree, three)), 0);
        Tick(d, three, true);
        d.Ok();
      })
      .AnswerMessageBox(IDOK, u"执行操作出现了错误!");
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(Links().empty());
  ExpectScriptDone();
}

TEST_F(LabelPickerTest, TheStoreCountsALabelGivenTwiceOnce) {
  int failed = -1;
  ASSERT_TRUE(daru->GetDB()->ReplaceArticleLabels(article->articleid, {yi->labelid, 3, yi->labelid}, failed))
      << ToUtf8(daru->GetLastDBError());
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(LinkLine(), Ids({three, yi}));
  EXPECT_EQ(Count(), Lines({"2"}));
}
