#include <gtest/gtest.h>

#include "terminal/ControlView.h"
#include "terminal/TextCells.h"

using namespace termui;

namespace {

class ControlViewTest : public ::testing::Test {
 protected:
  ControlViewTest() {
    UseUtf8Locale();
    frame.SetHandler([this](UINT m, WPARAM w, LPARAM l) -> LRESULT {
      if (m == WM_NOTIFY) notified.push_back(reinterpret_cast<NMHDR*>(l)->code);
      if (m == WM_NOTIFY && reinterpret_cast<NMHDR*>(l)->code == LVN_COLUMNCLICK)
        clickedColumn = reinterpret_cast<NMLISTVIEW*>(l)->iSubItem;
      return frame.CWnd::WindowProc(m, w, l);
    });
    frame.CreateHost(u"frame", CRect(0, 0, 3000, 1000));
  }

  // 我的资料库 > 科技 (bold), 新闻 > 国内 (collapsed), 收藏
  void MakeTree() {
    tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_EDITLABELS, CRect(0, 0, 100, 100),
                &frame, 1);
    root = tree.InsertItem(u"我的资料库");
    tech = tree.InsertItem(u"科技", root);
    news = tree.InsertItem(u"新闻", root);
    home = tree.InsertItem(u"国内", news);
    fav = tree.InsertItem(u"收藏", root);
    tree.SetItemState(tech, TVIS_BOLD, TVIS_BOLD);
    tree.Expand(root, TVE_EXPAND);
  }

  CHostWnd frame;
  CTreeCtrl tree;
  CListCtrl list;
  HTREEITEM root{}, tech{}, news{}, home{}, fav{};
  std::vector<UINT> notified;
  int clickedColumn = -1;
};

TEST_F(ControlViewTest, TreeLinesShowIndentationMarksBoldAndTheSelection) {
  MakeTree();
  tree.SelectItem(news);
  tree.SetFocus();
  const Rect area{1, 1, 20, 3};
  CellBuffer out(30, 6);
  FitTree(tree, area);
  DrawTree(out, area, tree, true);
  EXPECT_EQ(out.Dump(), "\n   - 我的资料库\n       科技\n     + 新闻\n\n");
  // Bold default label, reversed selection on the label only.
  EXPECT_TRUE(out.At(7, 2).style & kBold);
  EXPECT_TRUE(out.At(7, 3).style & kReverse);
  EXPECT_FALSE(out.At(5, 3).style & kReverse);
  EXPECT_FALSE(out.At(7, 1).style & (kBold | kReverse));
  // Unfocused, the selection is still visible but not reversed.
  DrawTree(out, area, tree, false);
  EXPECT_TRUE(out.At(7, 3).style & kUnderline);
  EXPECT_FALSE(out.At(7, 3).style & kReverse);
  // The pane shows the control's own scroll position: one line down, the root is gone.
  tree.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
  DrawTree(out, area, tree, true);
  EXPECT_EQ(out.RowText(1), "       科技                   ");
  EXPECT_EQ(TreeItemAtLine(tree, 0), tech);
  EXPECT_EQ(TreeLineOf(tree, fav), 2);
  EXPECT_EQ(TreeLineOf(tree, root), -1);
}

TEST_F(ControlViewTest, ClicksOnTreeCellsReachTheItemPartsTheyShow) {
  MakeTree();
  const Rect area{0, 1, 24, 6};
  FitTree(tree, area);
  auto click = [&](int x, int y) {
    ClickTarget t = TreeClick(tree, area, x, y);
    ASSERT_EQ(t.hwnd, tree.GetSafeHwnd());
    InputClick(t.hwnd, t.pt);
  };
  // The label of 收藏 (line 4, text from column 6) selects it.
  click(7, 4);
  EXPECT_EQ(tree.GetSelectedItem(), fav);
  // The "+" of 新闻 expands it, without selecting it.
  click(4, 3);
  EXPECT_TRUE(tree.GetItemState(news, TVIS_EXPANDED) & TVIS_EXPANDED);
  EXPECT_EQ(tree.GetSelectedItem(), fav);
  // Right of a label is beside the item: no selection change, but the tree knows the row.
  ClickTarget beside = TreeClick(tree, area, 20, 2);
  UINT flags = 0;
  EXPECT_EQ(tree.HitTest(beside.pt, &flags), tech);
  EXPECT_TRUE(flags & TVHT_ONITEMRIGHT);
  // Below the last item there is nothing.
  ClickTarget below = TreeClick(tree, area, 5, 6);
  EXPECT_EQ(tree.HitTest(below.pt, &flags), nullptr);
  // The label point of an item hits its label.
  EXPECT_EQ(tree.HitTest(TreeLabelPoint(tree, home), &flags), home);
  EXPECT_TRUE(flags & TVHT_ONITEMLABEL);
}

TEST_F(ControlViewTest, ListRowsKeepTheirColumnsWhateverTheScript) {
  list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 880, 200), &frame, 2);
  list.InsertColumn(0, u"标题", LVCFMT_LEFT, 380);
  list.InsertColumn(1, u"创建日期", LVCFMT_LEFT, 200);
  list.InsertColumn(2, u"关键字", LVCFMT_LEFT, 300);
  for (int i = 0; i < 30; ++i) {
    list.InsertItem(i, i % 2 ? u"中文标题很长很长很长很长很长很长" : u"English title");
    list.SetItemText(i, 1, u"2026-12-07 10:00:00");
    list.SetItemText(i, 2, i % 2 ? u"关键" : u"key");
  }
  const Rect area{0, 0, 44, 6};
  FitList(list, area);
  EXPECT_EQ(list.GetCountPerPage(), 5);
  const auto cols = ListColumns(list, area);
  ASSERT_EQ(cols.size(), 3u);
  // The title keeps its share (380 of 880 pixels); the keywords need less than theirs
  // and lend the rest to the date, which would be cut.
  EXPECT_EQ(cols[1].cellX, 19);
  EXPECT_EQ(cols[2].cellX, 35);
  list.SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  CellBuffer out(44, 6);
  ListStyleHooks hooks;
  hooks.rowStyle = [](int row) -> uint16_t { return row == 1 ? kRed | kBold : kPlain; };
  hooks.sortArrow = [](int col) { return col == 1 ? -1 : 0; };
  DrawList(out, area, list, true, hooks);
  EXPECT_EQ(out.RowText(0), "标题              │创建日期 v     │关键字   ");
  // Column 1 starts at the same cell on every row, Chinese or not.
  for (int y = 1; y < 6; ++y) EXPECT_EQ(out.At(19, y).ch, U'2') << out.Dump();
  EXPECT_EQ(out.RowText(2), "  中文标题很长很…  2026-12-07 10:… 关键     ");
  EXPECT_TRUE(out.At(3, 2).style & kRed);
  EXPECT_TRUE(out.At(0, 3).style & kReverse);
  // A click on a row selects that row; on the header it reaches the column.
  list.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
  ClickTarget row = ListClick(list, area, 5, 3);
  InputClick(row.hwnd, row.pt);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 3);  // line 3 with the top row 1
  ClickTarget header = ListClick(list, area, 35, 0);
  EXPECT_EQ(header.hwnd, list.GetHeaderCtrl()->GetSafeHwnd());
  InputClick(header.hwnd, header.pt);
  EXPECT_EQ(clickedColumn, 2);
  // The keyboard's way into a row: its label point.
  EXPECT_EQ(list.HitTest(ListRowPoint(list, 4)), 4);
  EXPECT_EQ(ListRowPoint(list, 0).x, -1);  // scrolled away
}

}  // namespace
