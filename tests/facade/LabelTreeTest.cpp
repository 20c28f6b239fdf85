// The label hierarchy on a real catalogue whose label rows each test chooses.
// Store failures come from the engine, raised by triggers.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/TextConv.h"
#include "facade/LabelTree.h"
#include "fixtures/DaruAccess.h"
#include "fixtures/ProvisionedRoot.h"
#include "storage/DB.h"

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
  void SetUp() override {
    root.Exec("DELETE FROM label;");
    store = CreateStore(1);
    ASSERT_TRUE(store && store->InitDB());
  }
  void TearDown() override {
    delete tree;
    delete store;
  }

  // Rows as "(labelid,'name',toplayer),...".
  void Seed(const std::string& rows) { root.Exec("INSERT INTO label(labelid,name,toplayer) VALUES" + rows + ";"); }
  // Head 1, favourite feeds 2, and 3 with children 5 and 4 stored in that order.
  void SeedCommon() { Seed("(1,'根',0),(2,'收藏',1),(3,'缺省',1),(5,'e',3),(4,'d',3)"); }
  void Load() {
    tree = CLabelTree::Instance(store);
    ASSERT_TRUE(tree->LoadLabelTree());
  }
  // The engine refuses the statement kind (INSERT, UPDATE, DELETE) on labels.
  void Refuse(const std::string& what) {
    root.Exec("CREATE TRIGGER refuse BEFORE " + what + " ON label BEGIN SELECT RAISE(ABORT, 'refused'); END;");
  }
  void Allow() { root.Exec("DROP TRIGGER refuse;"); }
  std::string Stored(int id) {
    return root.Rows("SELECT name,toplayer FROM label WHERE labelid=" + std::to_string(id)).at(0);
  }

  std::string Tree() { return tree->GetHeadLabel() ? Shape(tree->GetHeadLabel()) : "-"; }
  CLabel* L(int id) { return tree->FindLabel(id); }

  ProvisionedRoot root;
  CDB* store = nullptr;
  CLabelTree* tree = nullptr;
};

}  // namespace

TEST_F(LabelTreeTest, InstanceIsOneObjectOnTheFirstStore) {
  SeedCommon();
  CDB* other = CreateStore(1);  // never opened: a load through it would fail
  tree = CLabelTree::Instance(store);
  EXPECT_EQ(CLabelTree::Instance(other), tree);
  ASSERT_TRUE(tree->LoadLabelTree());
  EXPECT_EQ(Tree(), "1(2 3(4 5))");
  delete tree;
  tree = CLabelTree::Instance(other);
  EXPECT_FALSE(tree->LoadLabelTree());  // a new singleton, on the store given now
  delete other;
}

TEST_F(LabelTreeTest, LoadLinksChildrenInIdOrder) {
  SeedCommon();
  Load();
  EXPECT_EQ(Tree(), "1(2 3(4 5))");
  EXPECT_EQ(tree->GetHeadLabel(), L(1));
  EXPECT_EQ(tree->GetFavRSSLabel(), L(2));
  EXPECT_EQ(L(1)->parent, nullptr);
  EXPECT_EQ(CLabelTreeTestAccess::Labels(tree).size(), 5u);
}

// A parent may stand after its children in the rows (ordered by parent id),
// and a large hierarchy links every label under its own parent.
TEST_F(LabelTreeTest, ParentsAreFoundWhereverTheyStand) {
  Seed("(1,'r',0),(9,'g',1),(4,'p',9),(2,'c',4),(3,'d',4)");
  Load();
  EXPECT_EQ(Tree(), "1(9(4(2 3)))");
  // Ids far apart, and below 1, as a hand-edited catalogue may have them.
  root.Exec("DELETE FROM label;");
  Seed("(1,'r',0),(2000000000,'far',1),(-5,'neg',2000000000),(7,'x',-5),(8,'lost',-6)");
  Load();
  EXPECT_EQ(Tree(), "1(2000000000(-5(7)))");
  EXPECT_EQ(L(8)->parent, nullptr);

  root.Exec("DELETE FROM label;");
  std::string rows = "(1,'r',0)";
  for (int id = 2; id <= 3000; ++id)
    rows +=
        ",(" + std::to_string(id) + ",'n'," + std::to_string(id % 7 == 0 ? id / 7 : (id * 7919) % (id - 1) + 1) + ")";
  Seed(rows);
  Load();
  int linked = 0;
  for (CLabel* label : CLabelTreeTestAccess::Labels(tree)) {
    if (label->toplayer == 0) continue;
    ASSERT_NE(label->parent, nullptr) << label->labelid;
    EXPECT_EQ(label->parent->labelid, label->toplayer);
    ++linked;
  }
  EXPECT_EQ(linked, 2999);
}

TEST_F(LabelTreeTest, LabelsWithoutAKnownParentStayOutsideTheTree) {
  Seed("(1,'根',0),(3,'a',1),(7,'lost',99),(8,'self',8),(9,'under self',8)");
  Load();
  EXPECT_EQ(Tree(), "1(3)");
  EXPECT_EQ(tree->GetFavRSSLabel(), nullptr);  // no label 2 in this catalogue
  ASSERT_NE(L(7), nullptr);
  EXPECT_EQ(L(7)->parent, nullptr);
  // A row naming itself as parent is not linked to itself; its children still hang under it.
  EXPECT_EQ(L(8)->parent, nullptr);
  EXPECT_EQ(Shape(L(8)), "8(9)");
}

TEST_F(LabelTreeTest, FailedLoadKeepsTheHierarchyAndReloadKeepsOldLabelsAlive) {
  SeedCommon();
  Load();
  CLabel* before = L(4);
  root.Exec("ALTER TABLE label RENAME TO moved;");
  EXPECT_FALSE(tree->LoadLabelTree());
  EXPECT_EQ(Tree(), "1(2 3(4 5))");
  EXPECT_EQ(L(4), before);

  root.Exec("ALTER TABLE moved RENAME TO label;");
  Seed("(6,'f',2)");
  ASSERT_TRUE(tree->LoadLabelTree());
  EXPECT_EQ(Tree(), "1(2(6) 3(4 5))");
  EXPECT_NE(L(4), before);
  EXPECT_EQ(before->name, u"d");  // a borrower's pointer still reads (ASan would catch a release)
}

TEST_F(LabelTreeTest, InsertLabelAppendsTheStoredLabel) {
  SeedCommon();
  Load();
  EXPECT_EQ(tree->InsertLabel(L(3), u""), nullptr);
  EXPECT_EQ(store->GetLastDBError(), u"未提供一个有效的标签名。");
  EXPECT_EQ(tree->InsertLabel(nullptr, u"x"), nullptr);
  EXPECT_EQ(CLabelTreeTestAccess::Labels(tree).size(), 5u);

  CLabel* added = tree->InsertLabel(L(3), u"新标签");
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->labelid, 6);
  EXPECT_EQ(Tree(), "1(2 3(4 5 6))");
  EXPECT_EQ(Stored(6), "新标签|3");

  Refuse("INSERT");
  EXPECT_EQ(tree->InsertLabel(L(2), u"y"), nullptr);
  EXPECT_EQ(Tree(), "1(2 3(4 5 6))");
}

TEST_F(LabelTreeTest, UpdateLabelRenamesAndReparents) {
  SeedCommon();
  Seed("(6,'f',3)");
  Load();
  ASSERT_TRUE(tree->UpdateLabel(L(4), u"改名", 3));
  EXPECT_EQ(Stored(4), "改名|3");
  EXPECT_EQ(Tree(), "1(2 3(4 5 6))");
  // The first child leaves and its following sibling takes its place; then a middle one.
  ASSERT_TRUE(tree->UpdateLabel(L(4), u"改名", 2));
  EXPECT_EQ(Tree(), "1(2(4) 3(5 6))");
  EXPECT_EQ(Stored(4), "改名|2");
  ASSERT_TRUE(tree->UpdateLabel(L(5), u"e", 2));
  EXPECT_EQ(Tree(), "1(2(4 5) 3(6))");
}

TEST_F(LabelTreeTest, UpdateLabelFailuresAndBranchCuts) {
  SeedCommon();
  Load();
  // Under its own child, or the head under anything: refused before anything is written.
  EXPECT_FALSE(tree->UpdateLabel(L(3), u"x", 4));
  EXPECT_FALSE(tree->UpdateLabel(L(1), u"x", 3));
  EXPECT_EQ(L(3)->name, u"缺省");
  EXPECT_EQ(Stored(3), "缺省|1");
  EXPECT_EQ(Tree(), "1(2 3(4 5))");

  Refuse("UPDATE");
  EXPECT_FALSE(tree->UpdateLabel(L(4), u"new", 2));
  EXPECT_EQ(L(4)->name, u"d");  // memory stays as the catalogue has it
  EXPECT_EQ(Tree(), "1(2 3(4 5))");
  Allow();

  // To an id no label has: written, then out of the tree.
  EXPECT_FALSE(tree->UpdateLabel(L(5), u"e", 42));
  EXPECT_EQ(Tree(), "1(2 3(4))");
  EXPECT_EQ(L(5)->parent, nullptr);
}

TEST_F(LabelTreeTest, MoveLabelCarriesTheBranch) {
  SeedCommon();
  Seed("(6,'f',3),(7,'g',4),(8,'lost',99)");
  Load();
  ASSERT_EQ(Tree(), "1(2 3(4(7) 5 6))");
  ASSERT_TRUE(tree->MoveLabel(L(4), L(2)));
  EXPECT_EQ(Tree(), "1(2(4(7)) 3(5 6))");
  EXPECT_EQ(Stored(4), "d|2");
  EXPECT_EQ(L(4)->nextSibling, nullptr);
  ASSERT_TRUE(tree->MoveLabel(L(5), L(1)));
  EXPECT_EQ(Tree(), "1(2(4(7)) 3(6) 5)");
  // A stray label is brought into the tree.
  ASSERT_TRUE(tree->MoveLabel(L(8), L(6)));
  EXPECT_EQ(Tree(), "1(2(4(7)) 3(6(8)) 5)");
}

TEST_F(LabelTreeTest, MoveLabelRefusesWhatWouldBreakTheTree) {
  SeedCommon();
  Seed("(7,'g',4)");
  Load();
  const std::string shape = Tree();
  EXPECT_FALSE(tree->MoveLabel(L(3), L(3)));
  EXPECT_FALSE(tree->MoveLabel(L(3), L(7)));  // a grandchild
  EXPECT_FALSE(tree->MoveLabel(L(1), L(2)));  // the head
  EXPECT_FALSE(tree->MoveLabel(nullptr, L(2)));
  EXPECT_FALSE(tree->MoveLabel(L(4), nullptr));
  EXPECT_EQ(Tree(), shape);
  EXPECT_EQ(Stored(3), "缺省|1");

  Refuse("UPDATE");
  EXPECT_FALSE(tree->MoveLabel(L(4), L(2)));
  EXPECT_EQ(L(4)->toplayer, 3);
  EXPECT_EQ(Tree(), shape);
}

TEST_F(LabelTreeTest, DeleteLabelTakesOneLabelOutAndKeepsItAlive) {
  SeedCommon();
  Seed("(7,'g',4)");
  Load();
  CLabel* four = L(4);
  ASSERT_TRUE(tree->DeleteLabel(four));
  EXPECT_EQ(Tree(), "1(2 3(5))");
  EXPECT_EQ(L(4), nullptr);
  EXPECT_TRUE(root.Rows("SELECT * FROM label WHERE labelid=4").empty());
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
  Refuse("DELETE");
  EXPECT_FALSE(tree->DeleteLabel(L(5)));
  EXPECT_EQ(Tree(), "1(2 3(4 5))");
  Allow();
  // The head has no parent: the store row goes, memory stays.
  EXPECT_FALSE(tree->DeleteLabel(L(1)));
  EXPECT_TRUE(root.Rows("SELECT * FROM label WHERE labelid=1").empty());
  EXPECT_EQ(Tree(), "1(2 3(4 5))");
  EXPECT_FALSE(tree->DeleteLabel(nullptr));
}

// Two processes once moved two labels under each other: the parents loop.
// The load cuts each loop, so every walk up or down the tree ends.
TEST_F(LabelTreeTest, ParentLoopsInTheCatalogueAreCutAtLoad) {
  Seed("(1,'r',0),(3,'d',1),(4,'a',5),(5,'b',4),(6,'c',4),(7,'x',8),(8,'y',9),(9,'z',7)");
  Load();
  EXPECT_EQ(Tree(), "1(3)");
  const size_t count = CLabelTreeTestAccess::Labels(tree).size();
  for (CLabel* label : CLabelTreeTestAccess::Labels(tree)) {
    size_t steps = 0;
    for (CLabel* at = label; at; at = at->parent) ASSERT_LE(++steps, count) << "loop above " << label->labelid;
  }
  EXPECT_EQ((L(4)->parent == nullptr) + (L(5)->parent == nullptr), 1);
  EXPECT_EQ((L(7)->parent == nullptr) + (L(8)->parent == nullptr) + (L(9)->parent == nullptr), 1);
  // A label in a cut loop can be moved back into the tree.
  CLabel* top = L(4)->parent == nullptr ? L(4) : L(5);
  ASSERT_TRUE(tree->MoveLabel(top, L(3)));
  EXPECT_EQ(Tree(), top == L(4) ? "1(3(4(5 6)))" : "1(3(5(4(6))))");
}

// Another process moved label 5 under 4 after this one loaded: moving 4 under
// 5 now would make a loop, whatever the loaded tree says.
TEST_F(LabelTreeTest, AMoveIsCheckedAgainstTheCatalogueAsItIsNow) {
  SeedCommon();
  Load();
  root.Exec("UPDATE label SET toplayer=4 WHERE labelid=5");
  EXPECT_FALSE(tree->MoveLabel(L(4), L(5)));
  EXPECT_EQ(Stored(4), "d|3");
  EXPECT_NE(ToUtf8(store->GetLastDBError()).find("own branch"), std::string::npos) << ToUtf8(store->GetLastDBError());
  EXPECT_FALSE(tree->UpdateLabel(L(4), u"d2", 5));
  EXPECT_EQ(Stored(4), "d|3");
  EXPECT_EQ(Tree(), "1(2 3(4 5))");  // memory unchanged too
}

// A rename and a move of one label by two processes: each writes only its own
// field, so both hold.
TEST_F(LabelTreeTest, ARenameAndAMoveOfOneLabelBothHold) {
  SeedCommon();
  Load();
  root.Exec("UPDATE label SET name='renamed elsewhere' WHERE labelid=4");
  ASSERT_TRUE(tree->MoveLabel(L(4), L(2)));
  EXPECT_EQ(Stored(4), "renamed elsewhere|2");
  EXPECT_EQ(ToUtf8(L(4)->name), "renamed elsewhere");

  root.Exec("UPDATE label SET toplayer=2 WHERE labelid=5");
  ASSERT_TRUE(tree->UpdateLabel(L(5), u"new", static_cast<unsigned>(L(5)->toplayer)));
  EXPECT_EQ(Stored(5), "new|2");
  EXPECT_EQ(Tree(), "1(2(4 5) 3)");  // the stored parent, not the loaded one
}

// People tell labels apart by name: no two children of one label share one,
// however the name would come about. Names under other parents are free.
TEST_F(LabelTreeTest, SiblingNamesStayDistinct) {
  SeedCommon();
  Seed("(6,'d',2)");
  Load();
  EXPECT_EQ(tree->InsertLabel(L(3), u"d"), nullptr);
  EXPECT_EQ(tree->FindChildLabel(L(3), u"d"), L(4));
  EXPECT_FALSE(tree->UpdateLabel(L(5), u"d", 3));  // a rename onto a sibling's name
  EXPECT_FALSE(tree->UpdateLabel(L(6), u"d", 3));  // a re-parent beside a namesake
  EXPECT_FALSE(tree->MoveLabel(L(6), L(3)));
  EXPECT_EQ(Tree(), "1(2(6) 3(4 5))");
  EXPECT_EQ(Stored(5), "e|3");
  EXPECT_EQ(Stored(6), "d|2");
  EXPECT_EQ(L(5)->name, u"e");
  EXPECT_EQ(root.Rows("SELECT count(*) FROM label").at(0), "6");

  EXPECT_TRUE(tree->UpdateLabel(L(4), u"d", 3));      // its own name
  EXPECT_NE(tree->InsertLabel(L(3), u"D"), nullptr);  // another name, if only by case
  EXPECT_TRUE(tree->UpdateLabel(L(6), u"d2", 2));
  EXPECT_TRUE(tree->MoveLabel(L(6), L(3)));
}
