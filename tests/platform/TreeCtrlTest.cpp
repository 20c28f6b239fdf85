#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "PlatformFixture.h"
#include "base/TextConv.h"
#include "platform/Controls.h"
#include "platform/DC.h"
#include "platform/ImageList.h"
#include "platform/Input.h"
#include "platform/TreeCtrl.h"
#include "platform/WindowSnapshot.h"

namespace {

struct Notice {
  UINT code = 0;
  UINT action = 0;
  HTREEITEM oldItem = nullptr;
  HTREEITEM newItem = nullptr;
  LPARAM newData = 0;
  POINT pt{0, 0};
  bool hasText = false;
  std::u16string text;
};

class TreeTest : public PlatformTest {
 protected:
  std::vector<Notice> notices;
  std::vector<std::string> other;  // WM_CONTEXTMENU and the like
  std::function<LRESULT(const NMHDR&)> respond;
  CHostWnd parent{[this](UINT m, WPARAM, LPARAM l) -> LRESULT {
    if (m == WM_CONTEXTMENU) other.push_back("context menu");
    if (m != WM_NOTIFY) return 0;
    const auto* nm = reinterpret_cast<const NMHDR*>(l);
    Notice n;
    n.code = nm->code;
    if (nm->code == TVN_BEGINLABELEDIT || nm->code == TVN_ENDLABELEDIT) {
      const auto* di = reinterpret_cast<const NMTVDISPINFO*>(l);
      n.newItem = di->item.hItem;
      n.hasText = di->item.pszText != nullptr;
      if (n.hasText) n.text = di->item.pszText;
    } else if (nm->code != NM_CLICK && nm->code != NM_RCLICK && nm->code != NM_DBLCLK) {
      const auto* tv = reinterpret_cast<const NMTREEVIEW*>(l);
      n.action = tv->action;
      n.oldItem = tv->itemOld.hItem;
      n.newItem = tv->itemNew.hItem;
      n.newData = tv->itemNew.lParam;
      n.pt = tv->ptDrag;
    }
    notices.push_back(n);
    return respond ? respond(*nm) : 0;
  }};
  CTreeCtrl tree;
  CImageList images;

  explicit TreeTest(DWORD style = TVS_HASBUTTONS | TVS_LINESATROOT | TVS_EDITLABELS | TVS_SHOWSELALWAYS) {
    parent.CreateEx(0, nullptr, u"parent", WS_CHILD | WS_VISIBLE, CRect(10, 10, 400, 400), &frame, 0);
    tree.Create(WS_CHILD | WS_VISIBLE | style, CRect(5, 5, 205, 101), &parent, 51016);  // 200 x 96: six rows
  }

  std::vector<UINT> Codes() const {
    std::vector<UINT> out;
    for (const Notice& n : notices) out.push_back(n.code);
    return out;
  }
  std::string Snapshot() const { return DaruSnapshotWindowUtf8(&tree); }
};

}  // namespace

TEST_F(TreeTest, InsertionPositionsAndRelations) {
  HTREEITEM a = tree.InsertItem(u"A");
  HTREEITEM b = tree.InsertItem(u"B");
  HTREEITEM c = tree.InsertItem(u"C", TVI_ROOT, TVI_FIRST);
  HTREEITEM d = tree.InsertItem(u"D", TVI_ROOT, c);
  HTREEITEM a1 = tree.InsertItem(u"A1", a);
  HTREEITEM a2 = tree.InsertItem(u"A2", a, TVI_LAST);
  HTREEITEM a0 = tree.InsertItem(u"A0", a, TVI_FIRST);
  EXPECT_EQ(tree.GetCount(), 7u);
  // Top level: C D A B.
  EXPECT_EQ(tree.GetRootItem(), c);
  EXPECT_EQ(tree.GetNextSiblingItem(c), d);
  EXPECT_EQ(tree.GetNextSiblingItem(d), a);
  EXPECT_EQ(tree.GetPrevSiblingItem(a), d);
  EXPECT_EQ(tree.GetNextSiblingItem(b), nullptr);
  EXPECT_EQ(tree.GetChildItem(a), a0);
  EXPECT_EQ(tree.GetNextSiblingItem(a0), a1);
  EXPECT_EQ(tree.GetNextSiblingItem(a1), a2);
  EXPECT_EQ(tree.GetParentItem(a1), a);
  EXPECT_EQ(tree.GetParentItem(a), nullptr);
  EXPECT_EQ(tree.GetNextItem(TVI_ROOT, TVGN_CHILD), c);
  EXPECT_TRUE(tree.ItemHasChildren(a));
  EXPECT_FALSE(tree.ItemHasChildren(b));
  // Visible order follows expansion.
  EXPECT_EQ(tree.GetNextVisibleItem(a), b);
  EXPECT_EQ(tree.GetNextVisibleItem(a1), nullptr);  // collapsed away
  tree.Expand(a, TVE_EXPAND);
  EXPECT_EQ(tree.GetNextVisibleItem(a), a0);
  EXPECT_EQ(tree.GetPrevVisibleItem(b), a2);
  EXPECT_EQ(tree.GetLastVisibleItem(), b);
  EXPECT_EQ(tree.GetItemLevel(a2), 1);
}

TEST_F(TreeTest, ItemAttributesAndStateBits) {
  HTREEITEM a =
      tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE, u"标签", 3, 3,
                      TVIS_BOLD | INDEXTOOVERLAYMASK(2), TVIS_BOLD | TVIS_OVERLAYMASK, 77, TVI_ROOT, TVI_LAST);
  EXPECT_EQ(tree.GetItemText(a), u"标签");
  EXPECT_EQ(tree.GetItemData(a), 77u);
  int image = 0, selected = 0;
  tree.GetItemImage(a, image, selected);
  EXPECT_EQ(image, 3);
  EXPECT_EQ(selected, 3);
  EXPECT_EQ(tree.GetItemState(a, TVIS_BOLD | TVIS_OVERLAYMASK), TVIS_BOLD | INDEXTOOVERLAYMASK(2));
  tree.SetItemState(a, 0, TVIS_BOLD);
  EXPECT_EQ(tree.GetItemState(a, TVIS_BOLD), 0u);
  EXPECT_EQ(tree.GetItemState(a, TVIS_OVERLAYMASK), INDEXTOOVERLAYMASK(2));
  EXPECT_EQ(tree.GetCheck(a), -1);  // no check box without TVS_CHECKBOXES

  char16_t buffer[3];
  TVITEM item{};
  item.mask = TVIF_TEXT | TVIF_PARAM;
  item.hItem = a;
  item.pszText = buffer;
  item.cchTextMax = 2;
  ASSERT_TRUE(tree.GetItem(&item));
  EXPECT_EQ(std::u16string(buffer), u"标");  // cut to the buffer
  EXPECT_EQ(item.lParam, 77);
  EXPECT_FALSE(tree.SetItemText(reinterpret_cast<HTREEITEM>(static_cast<uintptr_t>(0x12340)), u"x"));
}

TEST_F(TreeTest, SelectionNotifiesOldAndNewAndMayBeRefused) {
  HTREEITEM a = tree.InsertItem(u"A");
  tree.SetItemData(a, 11);
  HTREEITEM b = tree.InsertItem(u"B");
  HTREEITEM b1 = tree.InsertItem(u"B1", b);
  ASSERT_TRUE(tree.SelectItem(a));
  ASSERT_EQ(Codes(), (std::vector<UINT>{TVN_SELCHANGING, TVN_SELCHANGED}));
  EXPECT_EQ(notices[1].oldItem, nullptr);
  EXPECT_EQ(notices[1].newItem, a);
  EXPECT_EQ(notices[1].newData, 11);
  EXPECT_EQ(tree.GetItemState(a, TVIS_SELECTED), TVIS_SELECTED);

  notices.clear();
  respond = [](const NMHDR& nm) -> LRESULT { return nm.code == TVN_SELCHANGING ? 1 : 0; };
  EXPECT_FALSE(tree.SelectItem(b));
  EXPECT_EQ(tree.GetSelectedItem(), a);
  EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_SELCHANGING}));

  respond = nullptr;
  notices.clear();
  ASSERT_TRUE(tree.SelectItem(b1));  // inside a collapsed item: its parent opens
  EXPECT_EQ(tree.GetItemState(b, TVIS_EXPANDED), TVIS_EXPANDED);
  EXPECT_EQ(notices.back().code, TVN_SELCHANGED);
  EXPECT_EQ(notices.back().oldItem, a);
  EXPECT_EQ(notices.back().newItem, b1);
  EXPECT_EQ(tree.GetItemState(a, TVIS_SELECTED), 0u);
  notices.clear();
  EXPECT_TRUE(tree.SelectItem(b1));  // already selected: nothing to say
  EXPECT_TRUE(notices.empty());
}

TEST_F(TreeTest, DeletingRemovesTheSubtreeAndMovesTheSelection) {
  HTREEITEM a = tree.InsertItem(u"A");
  HTREEITEM a1 = tree.InsertItem(u"A1", a);
  HTREEITEM a11 = tree.InsertItem(u"A11", a1);
  HTREEITEM b = tree.InsertItem(u"B");
  tree.SelectItem(a11);
  notices.clear();
  ASSERT_TRUE(tree.DeleteItem(a));
  ASSERT_EQ(Codes(),
            (std::vector<UINT>{TVN_SELCHANGING, TVN_SELCHANGED, TVN_DELETEITEM, TVN_DELETEITEM, TVN_DELETEITEM}));
  EXPECT_EQ(notices[1].oldItem, a11);
  EXPECT_EQ(notices[1].newItem, b);    // the next sibling of the deleted item
  EXPECT_EQ(notices[2].oldItem, a11);  // deepest first
  EXPECT_EQ(notices[4].oldItem, a);
  EXPECT_EQ(tree.GetCount(), 1u);
  EXPECT_FALSE(tree.IsValidItem(a1));
  EXPECT_EQ(tree.GetItemText(a1), u"");
  EXPECT_FALSE(tree.DeleteItem(a));

  HTREEITEM c = tree.InsertItem(u"C");
  tree.SelectItem(c);
  tree.DeleteItem(c);  // the last one: the selection goes back to its previous sibling
  EXPECT_EQ(tree.GetSelectedItem(), b);
  HTREEITEM b1 = tree.InsertItem(u"B1", b);
  tree.SelectItem(b1);
  tree.DeleteItem(b1);  // an only child: to its parent
  EXPECT_EQ(tree.GetSelectedItem(), b);
  tree.DeleteAllItems();
  EXPECT_EQ(tree.GetCount(), 0u);
  EXPECT_EQ(tree.GetSelectedItem(), nullptr);

  // A handler that deletes a sibling while the items go does no harm.
  HTREEITEM p = tree.InsertItem(u"P");
  HTREEITEM first = tree.InsertItem(u"1", p);
  HTREEITEM second = tree.InsertItem(u"2", p);
  respond = [&](const NMHDR& nm) -> LRESULT {
    if (nm.code == TVN_DELETEITEM && reinterpret_cast<const NMTREEVIEW&>(nm).itemOld.hItem == first)
      tree.DeleteItem(second);
    return 0;
  };
  notices.clear();
  tree.DeleteItem(p);
  EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_DELETEITEM, TVN_DELETEITEM, TVN_DELETEITEM}));
  EXPECT_EQ(tree.GetCount(), 0u);
}

TEST_F(TreeTest, ExpansionNotifiesOnlyTheFirstTimeItIsAskedFor) {
  HTREEITEM a = tree.InsertItem(u"A");
  HTREEITEM leaf = tree.InsertItem(u"leaf");
  HTREEITEM a1 = tree.InsertItem(u"A1", a);
  EXPECT_FALSE(tree.Expand(leaf, TVE_EXPAND));
  EXPECT_TRUE(tree.Expand(a, TVE_EXPAND));
  EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_ITEMEXPANDING, TVN_ITEMEXPANDED}));
  EXPECT_EQ(notices[0].action, TVE_EXPAND);
  notices.clear();
  tree.SelectItem(a1);
  notices.clear();
  tree.Expand(a, TVE_COLLAPSE);  // the selection inside moves up to the collapsed item
  tree.Expand(a, TVE_EXPAND);
  EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_SELCHANGING, TVN_SELCHANGED}));
  EXPECT_EQ(tree.GetSelectedItem(), a);
  notices.clear();
  // A click on the button always notifies; the item can refuse.
  respond = [](const NMHDR& nm) -> LRESULT { return nm.code == TVN_ITEMEXPANDING ? 1 : 0; };
  InputClick(tree.m_hWnd, CPoint(8, 8));
  EXPECT_EQ(tree.GetItemState(a, TVIS_EXPANDED), TVIS_EXPANDED);
  EXPECT_EQ(notices.front().code, TVN_ITEMEXPANDING);
  EXPECT_EQ(notices.front().action, TVE_COLLAPSE);
}

TEST_F(TreeTest, GeometryAndHitTest) {
  ASSERT_TRUE(images.Create(16, 15, ILC_COLOR24 | ILC_MASK, 6, 6));
  tree.SetImageList(&images, TVSIL_NORMAL);
  HTREEITEM a = tree.InsertItem(u"Abc", 3, 3);
  HTREEITEM a1 = tree.InsertItem(u"Abc", 3, 3, a);
  HTREEITEM b = tree.InsertItem(u"Bold", 3, 3);
  tree.SetItemState(b, TVIS_BOLD, TVIS_BOLD);
  tree.Expand(a, TVE_EXPAND);
  EXPECT_EQ(tree.GetItemHeight(), 16);
  EXPECT_EQ(tree.GetVisibleCount(), 6u);
  // Top level: button column 0..18, icon 19..34, label from 36, "Abc" 18 wide plus 4.
  CRect r;
  ASSERT_TRUE(tree.GetItemRect(a, &r, TRUE));
  EXPECT_EQ(r, CRect(36, 0, 58, 16));
  ASSERT_TRUE(tree.GetItemRect(a1, &r, TRUE));
  EXPECT_EQ(r, CRect(55, 16, 77, 32));  // one indent further
  ASSERT_TRUE(tree.GetItemRect(b, &r, TRUE));
  EXPECT_EQ(r.Width(), 4 * 7 + 4);  // bold text is wider
  UINT flags = 0;
  EXPECT_EQ(tree.HitTest(CPoint(5, 8), &flags), a);
  EXPECT_EQ(flags, TVHT_ONITEMBUTTON);
  EXPECT_EQ(tree.HitTest(CPoint(25, 8), &flags), a);
  EXPECT_EQ(flags, TVHT_ONITEMICON);
  EXPECT_EQ(tree.HitTest(CPoint(57, 8), &flags), a);
  EXPECT_EQ(flags, TVHT_ONITEMLABEL);
  EXPECT_EQ(tree.HitTest(CPoint(58, 8), &flags), a);
  EXPECT_EQ(flags, TVHT_ONITEMRIGHT);
  EXPECT_EQ(tree.HitTest(CPoint(5, 40), &flags), b);
  EXPECT_EQ(flags, TVHT_ONITEMINDENT);  // no children, no button
  EXPECT_EQ(tree.HitTest(CPoint(30, 20), &flags), a1);
  EXPECT_EQ(flags, TVHT_ONITEMINDENT);
  EXPECT_EQ(tree.HitTest(CPoint(5, 50), &flags), nullptr);
  EXPECT_EQ(flags, TVHT_NOWHERE);
  EXPECT_EQ(tree.HitTest(CPoint(-1, 200), &flags), nullptr);
  EXPECT_EQ(flags, TVHT_TOLEFT | TVHT_BELOW);
  tree.Expand(a, TVE_COLLAPSE);
  EXPECT_FALSE(tree.GetItemRect(a1, &r, FALSE));
}

TEST_F(TreeTest, ScrollingByLineMovesTheFirstVisibleItem) {
  std::vector<HTREEITEM> items;
  for (int i = 0; i < 10; ++i) items.push_back(tree.InsertItem(u"item"));
  EXPECT_EQ(tree.GetFirstVisibleItem(), items[0]);
  tree.SendMessage(WM_VSCROLL, SB_LINEDOWN);
  EXPECT_EQ(tree.GetFirstVisibleItem(), items[1]);
  EXPECT_EQ(tree.HitTest(CPoint(40, 1)), items[1]);
  for (int i = 0; i < 10; ++i) tree.SendMessage(WM_VSCROLL, SB_LINEDOWN);
  EXPECT_EQ(tree.GetFirstVisibleItem(), items[4]);  // the last page is full
  tree.SendMessage(WM_VSCROLL, SB_LINEUP);
  EXPECT_EQ(tree.GetFirstVisibleItem(), items[3]);
  tree.SendMessage(WM_VSCROLL, SB_TOP);
  tree.EnsureVisible(items[8]);
  EXPECT_EQ(tree.GetFirstVisibleItem(), items[3]);
  CRect r;
  tree.GetItemRect(items[0], &r, FALSE);
  EXPECT_EQ(r.top, -48);
  tree.DeleteItem(items[9]);
  tree.DeleteItem(items[8]);
  EXPECT_EQ(tree.GetFirstVisibleItem(), items[2]);  // scrolled back so the page stays full
}

TEST_F(TreeTest, InPlaceEditingEndsWithTextOrCancel) {
  HTREEITEM a = tree.InsertItem(u"旧名");
  CEdit* edit = tree.EditLabel(a);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->GetWindowText(), u"旧名");
  EXPECT_EQ(CWnd::GetFocus(), edit);
  EXPECT_EQ(tree.GetEditItem(), a);
  edit->SetWindowText(u"新名");
  respond = [](const NMHDR& nm) -> LRESULT { return nm.code == TVN_ENDLABELEDIT ? 1 : 0; };
  InputKey(VK_RETURN);
  ASSERT_EQ(Codes(), (std::vector<UINT>{TVN_BEGINLABELEDIT, TVN_ENDLABELEDIT}));
  EXPECT_EQ(notices[0].text, u"旧名");
  EXPECT_EQ(notices[1].text, u"新名");
  EXPECT_EQ(tree.GetItemText(a), u"新名");
  EXPECT_EQ(tree.GetEditControl(), nullptr);
  EXPECT_EQ(CWnd::GetFocus(), &tree);

  // Rejected by the handler (result 0): the old text stays.
  notices.clear();
  respond = nullptr;
  tree.EditLabel(a)->SetWindowText(u"被拒");
  tree.SetFocus();  // focus leaving the edit ends it with the text
  EXPECT_EQ(notices.back().code, TVN_ENDLABELEDIT);
  EXPECT_TRUE(notices.back().hasText);
  EXPECT_EQ(tree.GetItemText(a), u"新名");

  // Escape cancels: no text, whatever the handler answers.
  notices.clear();
  respond = [](const NMHDR&) -> LRESULT { return 1; };
  HWND editWnd = reinterpret_cast<HWND>(tree.SendMessage(TVM_EDITLABEL, 0, reinterpret_cast<LPARAM>(a)));
  EXPECT_EQ(editWnd, nullptr);  // the begin notification refused
  respond = [](const NMHDR& nm) -> LRESULT { return nm.code == TVN_ENDLABELEDIT ? 1 : 0; };
  tree.EditLabel(a)->SetWindowText(u"取消");
  InputKey(VK_ESCAPE);
  EXPECT_FALSE(notices.back().hasText);
  EXPECT_EQ(tree.GetItemText(a), u"新名");
}

TEST_F(TreeTest, MouseSelectsDragsAndReportsClicks) {
  HTREEITEM a = tree.InsertItem(u"Abc");
  HTREEITEM b = tree.InsertItem(u"Bcd");
  HTREEITEM b1 = tree.InsertItem(u"B1", b);
  InputClick(tree.m_hWnd, CPoint(22, 20));  // on b's label
  EXPECT_EQ(tree.GetSelectedItem(), b);
  EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_SELCHANGING, TVN_SELCHANGED, NM_CLICK}));
  EXPECT_EQ(notices[1].action, TVC_BYMOUSE);

  notices.clear();
  InputLButtonDown(tree.m_hWnd, CPoint(22, 4));  // on a
  InputMouseMove(tree.m_hWnd, CPoint(24, 6));    // within the drag distance
  EXPECT_TRUE(notices.empty());
  InputMouseMove(tree.m_hWnd, CPoint(22, 30));
  InputLButtonUp(tree.m_hWnd, CPoint(22, 30));
  ASSERT_EQ(Codes(), (std::vector<UINT>{TVN_BEGINDRAG}));
  EXPECT_EQ(notices[0].newItem, a);
  EXPECT_EQ(notices[0].pt.y, 4);
  EXPECT_EQ(tree.GetSelectedItem(), b);  // dragging selects nothing

  notices.clear();
  InputRightClick(tree.m_hWnd, CPoint(22, 4));
  EXPECT_EQ(Codes(), (std::vector<UINT>{NM_RCLICK}));
  EXPECT_EQ(other, (std::vector<std::string>{"context menu"}));
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, 100 + 10 + 5 + 22);  // screen: frame, parent, tree, point
  respond = [](const NMHDR&) -> LRESULT { return 1; };
  InputRightClick(tree.m_hWnd, CPoint(22, 4));
  EXPECT_EQ(other.size(), 1u);  // handled: no context menu

  // A double click on b's label toggles it unless the handler says it handled it.
  respond = nullptr;
  InputDoubleClick(tree.m_hWnd, CPoint(22, 20));
  EXPECT_EQ(tree.GetItemState(b, TVIS_EXPANDED), TVIS_EXPANDED);
  EXPECT_EQ(tree.GetNextVisibleItem(b), b1);
  respond = [](const NMHDR& nm) -> LRESULT { return nm.code == NM_DBLCLK ? 1 : 0; };
  InputDoubleClick(tree.m_hWnd, CPoint(22, 20));
  EXPECT_EQ(tree.GetItemState(b, TVIS_EXPANDED), TVIS_EXPANDED);
}

class CheckTreeTest : public TreeTest {
 protected:
  CheckTreeTest() : TreeTest(TVS_HASBUTTONS | TVS_LINESATROOT | TVS_CHECKBOXES) {}
};

TEST_F(CheckTreeTest, CheckBoxesStartClearAndToggleOnTheStateIcon) {
  HTREEITEM a = tree.InsertItem(u"A");
  HTREEITEM b = tree.InsertItem(u"B");
  ASSERT_NE(tree.GetImageList(TVSIL_STATE), nullptr);
  EXPECT_EQ(tree.GetCheck(a), 0);
  tree.SetCheck(b);
  EXPECT_EQ(tree.GetCheck(b), 1);
  InputClick(tree.m_hWnd, CPoint(20, 4));  // state icon: indent 19, then 16 pixels
  EXPECT_EQ(tree.GetCheck(a), 1);
  EXPECT_EQ(tree.GetSelectedItem(), nullptr);
  EXPECT_NE(Snapshot().find("A  {checked"), std::string::npos) << Snapshot();
}

TEST_F(TreeTest, DragImagesAndDropHighlight) {
  HTREEITEM a = tree.InsertItem(u"Abc");
  HTREEITEM b = tree.InsertItem(u"Bcd");
  std::unique_ptr<CImageList> drag(tree.CreateDragImage(a));
  ASSERT_NE(drag, nullptr);
  EXPECT_EQ(drag->GetImageCount(), 1);
  ASSERT_TRUE(drag->BeginDrag(0, CPoint(8, 8)));
  ASSERT_TRUE(CImageList::DragEnter(&tree, CPoint(30, 40)));
  CImageList::DragMove(CPoint(31, 50));
  CImageList::DragShowNolock(FALSE);
  CDragImageState s = DaruGetDragImageState();
  EXPECT_TRUE(s.dragging);
  EXPECT_EQ(s.lockWnd, tree.m_hWnd);
  EXPECT_FALSE(s.visible);
  EXPECT_EQ(s.pos.y, 50);
  EXPECT_EQ(s.hotSpot.x, 8);
  CImageList::DragLeave(&tree);
  CImageList::EndDrag();
  EXPECT_FALSE(DaruGetDragImageState().dragging);

  tree.SelectDropTarget(b);
  EXPECT_EQ(tree.GetDropHilightItem(), b);
  EXPECT_EQ(tree.GetItemState(b, TVIS_DROPHILITED), TVIS_DROPHILITED);
  tree.SelectDropTarget(a);
  EXPECT_EQ(tree.GetItemState(b, TVIS_DROPHILITED), 0u);
  tree.SelectDropTarget(nullptr);
  EXPECT_EQ(tree.GetDropHilightItem(), nullptr);

  DaruFailImageListCreate(1);
  EXPECT_EQ(tree.CreateDragImage(a), nullptr);
}

TEST_F(TreeTest, PaintingDrawsTheVisibleItems) {
  HTREEITEM a = tree.InsertItem(u"默认");
  tree.InsertItem(u"其他");
  tree.SetItemState(a, TVIS_BOLD, TVIS_BOLD);
  tree.SelectItem(a);
  tree.SetFocus();
  tree.UpdateWindow();
  EXPECT_EQ(tree.GetPaintCount(), 1);
  const CDrawOp* bold = tree.GetDrawing().FindText(u"默认");
  ASSERT_NE(bold, nullptr);
  EXPECT_EQ(bold->font.lfWeight, FW_BOLD);
  EXPECT_EQ(bold->color, GetSysColor(COLOR_HIGHLIGHTTEXT));
  const CDrawOp* plain = tree.GetDrawing().FindText(u"其他");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->font.lfWeight, FW_NORMAL);
  EXPECT_EQ(plain->origin.y, 18);  // second row, text 12 high centred in 16
  tree.UpdateWindow();
  EXPECT_EQ(tree.GetPaintCount(), 1);  // nothing changed since
}
