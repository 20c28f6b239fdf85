#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlatformFixture.h"
#include "platform/Controls.h"
#include "platform/DC.h"
#include "platform/HeaderCtrl.h"
#include "platform/ImageList.h"
#include "platform/Input.h"
#include "platform/ListCtrl.h"
#include "platform/Menu.h"
#include "platform/TreeCtrl.h"

namespace {

class ControlsTest : public PlatformTest {
 protected:
  std::vector<std::string> log;
  std::function<LRESULT(const NMHDR&)> respond;
  CHostWnd parent{[this](UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_COMMAND) log.push_back("command " + std::to_string(LOWORD(w)) + " code " + std::to_string(HIWORD(w)));
    if (m == WM_CONTEXTMENU) log.push_back("context menu");
    if (m == WM_NOTIFY && respond) return respond(*reinterpret_cast<const NMHDR*>(l));
    return 0;
  }};
  ControlsTest() { parent.CreateEx(0, nullptr, u"p", WS_CHILD | WS_VISIBLE, CRect(0, 0, 500, 500), &frame, 0); }
};

}  // namespace

TEST_F(ControlsTest, ButtonsFollowTheirStyle) {
  CButton autoCheck, manualCheck, push, radio1, radio2, other;
  autoCheck.Create(u"a", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, CRect(0, 0, 50, 10), &parent, 1);
  manualCheck.Create(u"m", WS_CHILD | WS_VISIBLE | BS_CHECKBOX, CRect(0, 10, 50, 20), &parent, 2);
  push.Create(u"p", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, CRect(0, 20, 50, 30), &parent, 3);
  radio1.Create(u"r1", WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, CRect(0, 30, 50, 40), &parent, 4);
  radio2.Create(u"r2", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, CRect(0, 40, 50, 50), &parent, 5);
  other.Create(u"o", WS_CHILD | WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, CRect(0, 50, 50, 60), &parent, 6);
  InputClick(autoCheck.m_hWnd, CPoint(2, 2));
  InputClick(manualCheck.m_hWnd, CPoint(2, 2));
  EXPECT_EQ(autoCheck.GetCheck(), BST_CHECKED);
  EXPECT_EQ(manualCheck.GetCheck(), BST_UNCHECKED);  // the application decides
  InputLButtonDown(push.m_hWnd, CPoint(2, 2));
  InputLButtonUp(push.m_hWnd, CPoint(200, 2));  // released outside: no click
  other.SetCheck(BST_CHECKED);
  radio1.SendMessage(BM_CLICK);
  radio2.SendMessage(BM_CLICK);
  EXPECT_EQ(radio1.GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(radio2.GetCheck(), BST_CHECKED);
  EXPECT_EQ(other.GetCheck(), BST_CHECKED);  // another group
  push.EnableWindow(FALSE);
  push.SendMessage(BM_CLICK);
  EXPECT_EQ(log,
            (std::vector<std::string>{"command 1 code 0", "command 2 code 0", "command 4 code 0", "command 5 code 0"}));
  EXPECT_EQ(parent.IsDlgButtonChecked(5), 1u);
}

TEST_F(ControlsTest, EditsTakeTypingWithinTheirLimits) {
  CEdit single, multi;
  single.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 100, 20), &parent, 1);
  multi.Create(WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN, CRect(0, 30, 100, 90), &parent, 2);
  single.LimitText(4);
  for (char16_t c : std::u16string(u"abcdef\r")) single.SendMessage(WM_CHAR, c);
  EXPECT_EQ(single.GetWindowText(), u"abcd");
  single.SendMessage(WM_CHAR, u'\b');
  EXPECT_EQ(single.GetWindowText(), u"abc");
  single.SetSel(0, 1);
  single.ReplaceSel(u"X");
  EXPECT_EQ(single.GetWindowText(), u"Xbc");
  for (char16_t c : std::u16string(u"a\rb")) multi.SendMessage(WM_CHAR, c);
  EXPECT_EQ(multi.GetWindowText(), u"a\r\nb");
  EXPECT_EQ(multi.GetLineCount(), 2);
  multi.SetReadOnly();
  multi.SendMessage(WM_CHAR, u'c');
  EXPECT_EQ(multi.GetWindowText(), u"a\r\nb");
}

TEST_F(ControlsTest, KeyboardMovesTheTreeSelection) {
  CTreeCtrl tree;
  tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_EDITLABELS | TVS_CHECKBOXES, CRect(0, 0, 200, 200), &parent,
              9);
  HTREEITEM a = tree.InsertItem(u"a");
  HTREEITEM a1 = tree.InsertItem(u"a1", a);
  HTREEITEM b = tree.InsertItem(u"b");
  HTREEITEM sorted = tree.InsertItem(u"aa", TVI_ROOT, TVI_SORT);
  EXPECT_EQ(tree.GetNextSiblingItem(a), sorted);  // sorted between "a" and "b"
  tree.SetFocus();
  InputKey(VK_DOWN);
  EXPECT_EQ(tree.GetSelectedItem(), a);
  InputKey(VK_RIGHT);  // expands
  EXPECT_EQ(tree.GetItemState(a, TVIS_EXPANDED), TVIS_EXPANDED);
  InputKey(VK_RIGHT);  // into the first child
  EXPECT_EQ(tree.GetSelectedItem(), a1);
  InputKey(VK_LEFT);  // back to the parent
  EXPECT_EQ(tree.GetSelectedItem(), a);
  InputKey(VK_END);
  EXPECT_EQ(tree.GetSelectedItem(), b);
  InputKey(VK_SPACE);
  EXPECT_EQ(tree.GetCheck(b), 1);
  InputKey(VK_F2);
  ASSERT_NE(tree.GetEditControl(), nullptr);
  InputKey(VK_ESCAPE);
  EXPECT_EQ(tree.GetEditControl(), nullptr);
}

TEST_F(ControlsTest, ListSelectionChangesCanBeRefusedAndSingleSelectionHoldsOne) {
  CListCtrl list;
  list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL, CRect(0, 0, 300, 200), &parent, 8);
  list.InsertColumn(0, u"c", LVCFMT_LEFT, 100);
  for (int i = 0; i < 3; ++i) list.InsertItem(i, u"row");
  list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
  list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(list.GetSelectedCount(), 1u);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 2);
  respond = [](const NMHDR& nm) -> LRESULT { return nm.code == LVN_ITEMCHANGING ? 1 : 0; };
  EXPECT_FALSE(list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED));
  EXPECT_EQ(list.GetItemState(1, LVIS_SELECTED), 0u);
  respond = nullptr;
  list.SetFocus();
  list.SetItemState(2, LVIS_FOCUSED, LVIS_FOCUSED);
  InputKey(VK_UP);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 1);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_FOCUSED), 1);
  EXPECT_EQ(list.GetNextItem(3, LVNI_ALL | LVNI_ABOVE), 2);
}

TEST_F(ControlsTest, ColumnOrderDecidesWhereColumnsStand) {
  CListCtrl list;
  list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 400, 200), &parent, 8);
  list.InsertColumn(0, u"a", LVCFMT_LEFT, 100);
  list.InsertColumn(1, u"b", LVCFMT_LEFT, 50);
  list.InsertColumn(2, u"c", LVCFMT_LEFT, 70);
  list.InsertItem(0, u"x");
  const int order[] = {2, 0, 1};
  ASSERT_TRUE(list.SetColumnOrderArray(3, order));
  const int bad[] = {0, 0, 1};
  EXPECT_FALSE(list.SetColumnOrderArray(3, bad));
  int back[3];
  list.GetColumnOrderArray(back, 3);
  EXPECT_EQ(std::vector<int>(back, back + 3), std::vector<int>(order, order + 3));
  CRect r;
  list.GetSubItemRect(0, 1, LVIR_LABEL, r);
  EXPECT_EQ(r.left, 170);
  list.GetItemRect(0, &r, LVIR_LABEL);
  EXPECT_EQ(r.left, 72);
  // The header may refuse a change.
  CHeaderCtrl* header = list.GetHeaderCtrl();
  struct CRefusing : CListCtrl {
    BOOL OnNotify(WPARAM, LPARAM l, LRESULT* result) override {
      *result = reinterpret_cast<NMHDR*>(l)->code == HDN_ITEMCHANGINGW;
      return TRUE;
    }
  };
  HDITEM item{};
  item.mask = HDI_WIDTH;
  item.cxy = 10;
  ASSERT_TRUE(header->SetItem(0, &item));
  EXPECT_EQ(list.GetColumnWidth(0), 10);
  CRefusing refusing;
  refusing.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 400, 200), &parent, 9);
  refusing.InsertColumn(0, u"a", LVCFMT_LEFT, 100);
  EXPECT_FALSE(refusing.SetColumnWidth(0, 10));
  EXPECT_EQ(refusing.GetColumnWidth(0), 100);
}

TEST_F(ControlsTest, HeaderShowsImagesOnTheRightOfItsText) {
  CListCtrl list;
  list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 400, 200), &parent, 8);
  list.InsertColumn(0, u"标题", LVCFMT_LEFT, 100);
  CImageList arrows;
  arrows.Create(9, 5, ILC_COLOR24 | ILC_MASK, 2, 0);
  CBitmap strip;
  strip.CreateFromPixels(18, 5, std::vector<COLORREF>(18 * 5, RGB(0, 0, 0)));
  arrows.Add(&strip, RGB(255, 0, 255));
  CHeaderCtrl* header = list.GetHeaderCtrl();
  header->SetImageList(&arrows);
  HDITEM item{};
  item.mask = HDI_FORMAT | HDI_IMAGE;
  item.fmt = HDF_LEFT | HDF_STRING | HDF_IMAGE | HDF_BITMAP_ON_RIGHT;
  item.iImage = 1;
  header->SetItem(0, &item);
  header->UpdateWindow();
  const CDrawingRecord& drawing = header->GetDrawing();
  const CDrawOp* text = drawing.FindText(u"标题");
  ASSERT_NE(text, nullptr);
  const auto images = drawing.Within(CDrawOp::Kind::Image, CRect(0, 0, 100, 20));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0]->image, 1);
  EXPECT_EQ(images[0]->origin.x, text->origin.x + 24 + 4);  // right after the text
  std::vector<std::u16string> lines;
  header->DescribeContent(lines);
  EXPECT_EQ(lines[0], u"column 0 \"标题\" width 100 left image 1 right");
}

TEST_F(ControlsTest, MenusCanBeBuiltAndChangedInCode) {
  CMenu bar, popup;
  ASSERT_TRUE(bar.CreateMenu());
  ASSERT_TRUE(popup.CreatePopupMenu());
  popup.AppendMenu(MF_STRING, 10, u"十");
  popup.InsertMenu(0, MF_BYPOSITION | MF_STRING, 9, u"九");
  popup.AppendMenu(MF_SEPARATOR);
  popup.AppendMenu(MF_STRING, 11, u"十一");
  bar.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(popup.Detach()), u"数");
  CMenu* sub = bar.GetSubMenu(0);
  ASSERT_NE(sub, nullptr);
  EXPECT_EQ(sub->GetMenuItemID(0), 9u);
  sub->ModifyMenu(10, MF_BYCOMMAND | MF_STRING | MF_CHECKED, 12, u"十二");
  EXPECT_EQ(sub->GetMenuState(12, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
  EXPECT_TRUE(sub->DeleteMenu(2, MF_BYPOSITION));
  EXPECT_EQ(sub->GetMenuItemCount(), 3);
  const CPopupMenuView view = bar.View();
  EXPECT_EQ(view.Describe(), u"数\n  九 [9]\n  十二 [12] (checked)\n  十一 [11]\n");
  const int menus = DaruMenuCount();
  bar.DestroyMenu();
  EXPECT_EQ(DaruMenuCount(), menus - 2);  // the popup went with the bar
}

TEST_F(ControlsTest, UnhandledContextMenusTravelUpToTheParent) {
  CHostWnd child;
  child.CreateEx(0, nullptr, u"c", WS_CHILD | WS_VISIBLE, CRect(10, 10, 50, 50), &parent, 3);
  InputRightClick(child.m_hWnd, CPoint(5, 5));
  EXPECT_EQ(log, (std::vector<std::string>{"context menu"}));
}
