// Dragging labels in the tree with the pointer and the virtual clock: when a
// drag starts, which drops are refused, what an accepted drop does to the
// items and the catalogue, hover-expand, auto-scroll, and the state left
// behind by every drag.

#include "TreeFixture.h"
#include "platform/Clock.h"
#include "platform/ImageList.h"
#include "platform/Input.h"

namespace {

class DragDropTest : public TreeTest {
 protected:
  // 我的资料库 / 收藏的频道, 未分类, 甲 (乙 (丙), 丁), 戊
  void Shape() {
    Label(4, "甲", 1);
    Label(5, "乙", 4);
    Label(6, "丙", 5);
    Label(7, "丁", 4);
    Label(8, "戊", 1);
  }
  // Presses on the item, waits, and moves far enough to start a drag.
  void BeginDrag(const std::u16string& item, DWORD wait = 100) {
    const CPoint p = On(item);
    InputLButtonDown(tree.m_hWnd, p);
    DaruAdvanceClock(wait);
    InputMouseMove(tree.m_hWnd, CPoint(p.x + 6, p.y));
  }
  void MoveTo(CPoint p) { InputMouseMove(tree.m_hWnd, p); }
  void Release(CPoint p) {
    InputMouseMove(tree.m_hWnd, p);
    InputLButtonUp(tree.m_hWnd, p);
  }
  bool Dragging() const { return GetCapture() == tree.m_hWnd && DaruGetDragImageState().dragging; }
  // Nothing of a drag survives it.
  void ExpectDragOver() {
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_FALSE(DaruHasTimer(tree.m_hWnd, 1));
    EXPECT_FALSE(DaruHasTimer(tree.m_hWnd, 2));
    EXPECT_FALSE(DaruGetDragImageState().dragging);
    EXPECT_EQ(tree.GetDropHilightItem(), nullptr);
    EXPECT_EQ(DaruImageListCount(), m_imageLists);
  }
  std::vector<std::string> Parents() const {
    return Rows("SELECT labelid, toplayer FROM label WHERE labelid >= 3 ORDER BY labelid");
  }
  void OpenShaped(bool shaped = true) {
    if (shaped) Shape();
    Open();
    m_imageLists = DaruImageListCount();
  }

  // The items without their expanded marks: refused drops may still expand.
  std::vector<std::string> Structure() const {
    std::vector<std::string> lines = Items();
    for (std::string& line : lines)
      if (line.size() > 2 && line.compare(line.size() - 2, 2, " E") == 0) line.resize(line.size() - 2);
    return lines;
  }

  const std::vector<std::string> kShaped{"我的资料库", ".收藏的频道", ".未分类 B", ".甲",
                                         "..乙",       "...丙",       "..丁",      ".戊"};

 private:
  int m_imageLists = 0;
};

}  // namespace

TEST_F(DragDropTest, DragStartsOnlySixtyMillisecondsAfterThePress) {
  OpenShaped();
  BeginDrag(u"戊", 59);
  EXPECT_FALSE(Dragging());
  EXPECT_FALSE(DaruHasTimer(tree.m_hWnd, 2));
  Release(On(u"甲"));
  EXPECT_EQ(Structure(), kShaped);
  EXPECT_EQ(GetCapture(), nullptr);

  BeginDrag(u"戊", 60);
  EXPECT_TRUE(Dragging());
  EXPECT_TRUE(DaruHasTimer(tree.m_hWnd, 2));
  // The image follows the pointer and the item under it is the drop highlight.
  const CPoint over = On(u"丁");
  MoveTo(over);
  EXPECT_EQ(DaruGetDragImageState().pos.x, over.x);
  EXPECT_EQ(DaruGetDragImageState().pos.y, over.y);
  EXPECT_TRUE(DaruGetDragImageState().visible);
  EXPECT_EQ(tree.GetDropHilightItem(), Item(u"丁"));
  Release(over);
  ExpectDragOver();
}

TEST_F(DragDropTest, RefusedDropsChangeNothing) {
  OpenShaped();
  const auto parents = Parents();
  struct Case {
    const char* what;
    std::u16string from;
    std::u16string to;
    int x;  // 0: the middle of the target's label
  };
  const Case cases[] = {
      {"onto itself", u"甲", u"甲", 0},       {"onto its parent", u"乙", u"甲", 0},
      {"onto a descendant", u"甲", u"丙", 0}, {"the root", u"我的资料库", u"戊", 0},
      {"in the left band", u"丁", u"戊", 19},
  };
  for (const Case& c : cases) {
    BeginDrag(c.from);
    ASSERT_TRUE(Dragging()) << c.what;
    CPoint at = On(c.to);
    if (c.x) at.x = c.x;
    Release(at);
    EXPECT_EQ(Structure(), kShaped) << c.what;
    EXPECT_EQ(Parents(), parents) << c.what;
    ExpectDragOver();
  }
  // A move the catalogue refuses leaves the items as they are too.
  Refuse("UPDATE", "label");
  BeginDrag(u"丁");
  Release(On(u"戊"));
  EXPECT_EQ(Structure(), kShaped);
  EXPECT_EQ(Parents(), parents);
  ExpectDragOver();
}

TEST_F(DragDropTest, DropMovesTheWholeBranchInOrder) {
  OpenShaped();
  CLabelTree* labels = daru->GetLabelTree();
  BeginDrag(u"甲");
  Release(On(u"戊"));
  ExpectDragOver();
  EXPECT_EQ(Items(), (std::vector<std::string>{"我的资料库 E", ".收藏的频道", ".未分类 B", ".戊 E", "..甲", "...乙",
                                               "....丙", "...丁"}));
  EXPECT_EQ(Parents(), Lines({"3|1", "4|8", "5|4", "6|5", "7|4", "8|1"}));
  EXPECT_EQ(Selected(), "甲");
  // The copies carry the same labels, and the hierarchy agrees.
  for (int id : {4, 5, 6, 7}) EXPECT_EQ(LabelOf(Item(labels->FindLabel(id)->name)), labels->FindLabel(id));
  EXPECT_EQ(labels->FindLabel(8)->firstChild, labels->FindLabel(4));
}

TEST_F(DragDropTest, TheDefaultLabelFollowsItsItem) {
  OpenShaped();
  BeginDrag(u"未分类");
  Release(On(u"丙"));
  EXPECT_EQ(Items(), (std::vector<std::string>{"我的资料库 E", ".收藏的频道", ".甲 E", "..乙 E", "...丙 E",
                                               "....未分类 B", "..丁", ".戊"}));
  EXPECT_EQ(tree.GetDefalutLabelID(), 3u);
  // The moved item is the one that loses its bold when the default moves on.
  user.PickMenuItem(53026);
  InputRightClick(tree.m_hWnd, On(u"戊"));
  EXPECT_EQ(Items(), (std::vector<std::string>{"我的资料库 E", ".收藏的频道", ".甲 E", "..乙 E", "...丙 E",
                                               "....未分类", "..丁", ".戊 B"}));
  ExpectScriptDone();
}

TEST_F(DragDropTest, RestingOnAnItemExpandsIt) {
  OpenShaped();
  // Without a drag the rest timer only stops itself.
  MoveTo(On(u"乙"));
  DaruAdvanceClock(800);
  EXPECT_EQ(Selected(), "(none)");
  EXPECT_FALSE(DaruHasTimer(tree.m_hWnd, 1));

  BeginDrag(u"戊");
  MoveTo(On(u"乙"));
  DaruAdvanceClock(799);
  EXPECT_FALSE(tree.GetItemState(Item(u"乙"), TVIS_EXPANDED));
  DaruAdvanceClock(1);
  EXPECT_TRUE(tree.GetItemState(Item(u"乙"), TVIS_EXPANDED));
  EXPECT_EQ(Selected(), "乙");
  Release(On(u"丙"));
  ExpectDragOver();
  EXPECT_EQ(Parents(), Lines({"3|1", "4|1", "5|4", "6|5", "7|4", "8|6"}));
}

TEST_F(DragDropTest, AutoScrollFasterFurtherBeyondTheEdges) {
  for (int i = 0; i < 20; ++i) Label(10 + i, "L" + std::to_string(10 + i), 1);
  OpenShaped(false);
  // Rows: the root, 收藏的频道, 未分类, L10 ... L29; ten fit.
  tree.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 8), 0);
  ASSERT_EQ(tree.GetScrollPos(SB_VERT), 8);
  BeginDrag(u"L20");
  ASSERT_TRUE(Dragging());
  const int top = tree.GetScrollPos(SB_VERT);

  // 5 pixels into the top band: a line every 6 ticks of 40 ms.
  MoveTo(CPoint(60, 5));
  DaruAdvanceClock(200);
  EXPECT_EQ(tree.GetScrollPos(SB_VERT), top);
  DaruAdvanceClock(40);
  EXPECT_EQ(tree.GetScrollPos(SB_VERT), top - 1);
  DaruAdvanceClock(480);
  EXPECT_EQ(tree.GetScrollPos(SB_VERT), top - 3);
  // The drop target is the row that was first before the last line came in.
  ASSERT_EQ(top, 8);
  EXPECT_EQ(U8(tree.GetItemText(tree.GetDropHilightItem())), "L13");
  const int afterSlow = tree.GetScrollPos(SB_VERT);

  // 100 pixels beyond the band edge: a line every tick.
  MoveTo(CPoint(60, 10 - 100));
  DaruAdvanceClock(120);
  EXPECT_EQ(tree.GetScrollPos(SB_VERT), afterSlow - 3);
  EXPECT_EQ(U8(tree.GetItemText(tree.GetDropHilightItem())), "L10");

  // The bottom band: 5 pixels in, a line every 6 ticks, and the drop target
  // is the last row that was visible before the line scrolled in.
  MoveTo(CPoint(60, 160 - 10 + 5));
  const int beforeDown = tree.GetScrollPos(SB_VERT);
  DaruAdvanceClock(480);
  EXPECT_EQ(tree.GetScrollPos(SB_VERT), beforeDown + 2);
  EXPECT_EQ(U8(tree.GetItemText(tree.GetDropHilightItem())), "L19");
  Release(CPoint(5, 150));  // in the left band: no drop
  ExpectDragOver();
}

TEST_F(DragDropTest, ATreeGoneDuringADragLeavesNoCaptureOrDragImage) {
  OpenShaped();
  const CPoint from = On(u"戊");
  {
    CDARUTreeCtrl other;
    ASSERT_TRUE(other.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT,
                             CRect(0, 0, 200, 160), &frame, 1009));
    InputLButtonDown(other.m_hWnd, from);
    DaruAdvanceClock(100);
    InputMouseMove(other.m_hWnd, CPoint(from.x + 6, from.y));
    ASSERT_EQ(GetCapture(), other.m_hWnd);
  }
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(DaruGetDragImageState().dragging);
  InputLButtonUp(tree.m_hWnd, from);
}
