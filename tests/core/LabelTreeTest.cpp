#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/LabelTree.h"
#include "fixtures/DaruAccess.h"
#include "fixtures/MemoryStore.h"

namespace {

// "1(2 3(4 5))": ids in chain order; a "!" marks a child whose parent link is wrong.
std::string Shape(const CLabel* label) {
  std::string s = std::to_string(label->labelid);
  if (!label->firstChild) return s;
  s += "(";
  for (const CLabel* c = label->firstChild; c; c = c->nextSibling) {
    if (c != label->firstChild) s += " ";
    s += Shape(c);
    if (c->parent != label) s += "!";
  }
  return s + ")";
}

class LabelTreeTest : public ::testing::Test {
 protected:
  void TearDown() override { delete tree; }

  // Seeds the canonical catalogue shape: head 1, favourite feeds 2, 3 with children 4 and 5.
  void SeedCommon() {
    store.PutLabel(1, u"根", 0);
    store.PutLabel(2, u"收藏频道", 1);
    store.PutLabel(3, u"缺省", 1);
    store.PutLabel(5, u"e", 3);
    store.PutLabel(4, u"d", 3);
  }

  CLabelTree* Load() {
    tree = CLabelTree::Instance(&store);
    EXPECT_TRUE(tree->LoadLabelTree());
    return tree;
  }

  std::string Tree() { return tree->GetHeadLabel() ? Shape(tree->GetHeadLabel()) : "-"; }
  CLabel* L(int id) { return tree->FindLabel(id); }

  MemoryStore store;
  CLabelTree* tree = nullptr;
};

}  // namespace

TEST_F(LabelTreeTest, InstanceIsOneObjectOnTheFirstStore) {
  MemoryStore other;
  CLabelTree* first = CLabelTree::Instance(&store);
  tree = first;
  EXPECT_EQ(CLabelTree::Instance(&other), first);
  // The second store was ignored: the load reads the first one.
  store.PutLabel(1, u"根", 0);
  ASSERT_TRUE(first->LoadLabelTree());
  EXPECT_EQ(Tree(), "1");
  delete tree;
  tree = CLabelTree::Instance(&other);
  EXPECT_NE(tree, nullptr);
  ASSERT_TRUE(tree->LoadLabelTree());
  EXPECT_EQ(tree->GetHeadLabel(), nullptr);
}

TEST_F(LabelTreeTest, LoadLinksChildrenInIdOrder) {
  SeedCommon();
  Load();
  EXPECT_EQ(Tree(), "1(2 3(4 5))");
  EXPECT_EQ(tree->GetHeadLabel(), L(1));
  EXPECT_EQ(tree->GetFavRSSLabel(), L(2));
  EXPECT_EQ(L(1)->parent, nullptr);
  EXPECT_EQ(L(5)->nextSibling, nullptr);
  EXPECT_EQ(CLabelTreeTestAccess::Labels(tree).size(), 5u);
}

TEST_F(LabelTreeTest, LabelsWithoutAKnownParentStayOutsideTheTree) {
  store.PutLabel(1, u"根", 0);
  store.PutLabel(3, u"a", 1);
  store.PutLabel(7, u"lost", 99);
  store.PutLabel(8, u"self", 8);
  store.PutLabel(9, u"under self", 8);
  Load();
  EXPECT_EQ(Tree(), "1(3)");
  EXPECT_EQ(tree->GetFavRSSLabel(), nullptr);  // no label 2 in this catalogue
  ASSERT_NE(L(7), nullptr);
  EXPECT_EQ(L(7)->parent, nullptr);
  // A row that names itself as parent is not linked to itself; its children still hang under it.
  EXPECT_EQ(L(8)->parent, nullptr);
  EXPECT_EQ(Shape(L(8)), "8(9)");
}

TEST_F(LabelTreeTest, FailedLoadKeepsTheHierarchyAndReloadKeepsOldLabelsAlive) {
  SeedCommon();
  Load();
  CLabel* before = L(4);
  store.Fail("QueryLabel");
  EXPECT_FALSE(tree->LoadLabelTree());
  EXPECT_EQ(Tree(), "1(2 3(4 5))");
  EXPECT_EQ(L(4), before);

  store.Heal();
  store.PutLabel(6, u"f", 2);
  ASSERT_TRUE(tree->LoadLabelTree());
  EXPECT_EQ(Tree(), "1(2(6) 3(4 5))");
  EXPECT_NE(L(4), before);
  EXPECT_EQ(before->name, u"d");  // a borrower's pointer still reads (ASan would catch a release)
}

TEST_F(LabelTreeTest, InsertLabelAppendsTheStoredLabel) {
  SeedCommon();
  Load();
  EXPECT_EQ(tree->InsertLabel(L(3), u""), nullptr);
  EXPECT_EQ(store.GetLastDBError(), u"未提供一个有效的标签名。");
  EXPECT_EQ(CLabelTreeTestAccess::Labels(tree).size(), 5u);
  EXPECT_EQ(tree->InsertLabel(nullptr, u"x"), nullptr);

  CLabel* added = tree->InsertLabel(L(3), u"新标签");
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->labelid, 6);
  EXPECT_EQ(added->toplayer, 3);
  EXPECT_EQ(Tree(), "1(2 3(4 5 6))");
  EXPECT_EQ(store.labels.at(6).name, u"新标签");

  store.Fail("AddLabel");
  EXPECT_EQ(tree->InsertLabel(L(2), u"y"), nullptr);
  EXPECT_EQ(Tree(), "1(2 3(4 5 6))");
}

TEST_F(LabelTreeTest, UpdateLabelRenamesAndReparents) {
  SeedCommon();
  store.PutLabel(6, u"f", 3);
  Load();
  ASSERT_TRUE(tree->UpdateLabel(L(4), u"改名", 3));
  EXPECT_EQ(store.labels.at(4).name, u"改名");
  EXPECT_EQ(Tree(), "1(2 3(4 5 6))");

  // The first child leaves; its following sibling takes its place.
  ASSERT_TRUE(tree->UpdateLabel(L(4), u"改名", 2));
  EXPECT_EQ(Tree(), "1(2(4) 3(5 6))");
  EXPECT_EQ(store.labels.at(4).toplayer, 2);
  // A middle child leaves.
  ASSERT_TRUE(tree->UpdateLabel(L(5), u"e", 2));
  EXPECT_EQ(Tree(), "1(2(4 5) 3(6))");
}

TEST_F(LabelTreeTest, UpdateLabelFailuresAndBranchCuts) {
  SeedCommon();
  Load();
  // Under its own child: refused before anything is written.
  EXPECT_FALSE(tree->UpdateLabel(L(3), u"x", 4));
  EXPECT_EQ(L(3)->name, u"缺省");
  EXPECT_EQ(store.labels.at(3).toplayer, 1);
  EXPECT_FALSE(tree->UpdateLabel(L(1), u"x", 3));
  EXPECT_EQ(Tree(), "1(2 3(4 5))");

  store.Fail("UpdateLabel");
  EXPECT_FALSE(tree->UpdateLabel(L(4), u"new", 2));
  EXPECT_EQ(L(4)->name, u"new");  // memory took the new values; the place is unchanged
  EXPECT_EQ(Tree(), "1(2 3(4 5))");
  store.Heal();

  // To an id no label has: written, then out of the tree.
  EXPECT_FALSE(tree->UpdateLabel(L(5), u"e", 42));
  EXPECT_EQ(Tree(), "1(2 3(4))");
  EXPECT_EQ(L(5)->parent, nullptr);
}

TEST_F(LabelTreeTest, MoveLabelCarriesTheBranch) {
  SeedCommon();
  store.PutLabel(6, u"f", 3);
  store.PutLabel(7, u"g", 4);
  Load();
  ASSERT_EQ(Tree(), "1(2 3(4(7) 5 6))");
  ASSERT_TRUE(tree->MoveLabel(L(4), L(2)));
  EXPECT_EQ(Tree(), "1(2(4(7)) 3(5 6))");
  EXPECT_EQ(store.labels.at(4).toplayer, 2);
  EXPECT_EQ(L(4)->nextSibling, nullptr);
  ASSERT_TRUE(tree->MoveLabel(L(5), L(1)));
  EXPECT_EQ(Tree(), "1(2(4(7)) 3(6) 5)");
}

TEST_F(LabelTreeTest, MoveLabelRefusesWhatWouldBreakTheTree) {
  SeedCommon();
  store.PutLabel(7, u"g", 4);
  Load();
  const std::string shape = Tree();
  EXPECT_FALSE(tree->MoveLabel(L(3), L(3)));
  EXPECT_FALSE(tree->MoveLabel(L(3), L(7)));  // a grandchild
  EXPECT_FALSE(tree->MoveLabel(L(1), L(2)));  // the head
  EXPECT_FALSE(tree->MoveLabel(nullptr, L(2)));
  EXPECT_FALSE(tree->MoveLabel(L(4), nullptr));
  EXPECT_EQ(Tree(), shape);
  EXPECT_EQ(store.labels.at(3).toplayer, 1);

  store.Fail("UpdateLabel");
  EXPECT_FALSE(tree->MoveLabel(L(4), L(2)));
  EXPECT_EQ(L(4)->toplayer, 3);
  EXPECT_EQ(Tree(), shape);
}

TEST_F(LabelTreeTest, MoveLabelTakesAStrayLabelIntoTheTree) {
  store.PutLabel(1, u"根", 0);
  store.PutLabel(7, u"lost", 99);
  Load();
  ASSERT_TRUE(tree->MoveLabel(L(7), L(1)));
  EXPECT_EQ(Tree(), "1(7)");
}

TEST_F(LabelTreeTest, DeleteLabelTakesOneLabelOutAndKeepsItAlive) {
  SeedCommon();
  store.PutLabel(7, u"g", 4);
  Load();
  CLabel* four = L(4);
  ASSERT_TRUE(tree->DeleteLabel(four));
  EXPECT_EQ(Tree(), "1(2 3(5))");
  EXPECT_EQ(L(4), nullptr);
  EXPECT_FALSE(store.labels.count(4));
  // The child stays in the list, still linked under the deleted label, which stays readable.
  ASSERT_NE(L(7), nullptr);
  EXPECT_EQ(L(7)->parent, four);
  EXPECT_EQ(four->name, u"d");
  auto& retired = CLabelTreeTestAccess::Retired(tree);
  EXPECT_NE(std::find(retired.begin(), retired.end(), four), retired.end());
  EXPECT_FALSE(tree->DeleteLabel(four));  // gone from the store already

  ASSERT_TRUE(tree->DeleteLabel(L(2)));
  EXPECT_EQ(tree->GetFavRSSLabel(), nullptr);
}

TEST_F(LabelTreeTest, DeleteLabelFailures) {
  SeedCommon();
  Load();
  store.Fail("DeleteLabel");
  EXPECT_FALSE(tree->DeleteLabel(L(5)));
  EXPECT_EQ(Tree(), "1(2 3(4 5))");
  store.Heal();
  // The head has no parent: the store row goes, memory stays.
  EXPECT_FALSE(tree->DeleteLabel(L(1)));
  EXPECT_FALSE(store.labels.count(1));
  EXPECT_EQ(Tree(), "1(2 3(4 5))");
  EXPECT_FALSE(tree->DeleteLabel(nullptr));
}
