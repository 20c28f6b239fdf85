#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "PlatformFixture.h"
#include "platform/DC.h"
#include "platform/HeaderCtrl.h"
#include "platform/ImageList.h"
#include "platform/Input.h"
#include "platform/ListCtrl.h"
#include "platform/WindowSnapshot.h"
#include "platform/XTToolkit.h"

namespace {

struct Notice {
  UINT code = 0;
  int item = -2;
  int subItem = -2;
};

// A list that records its header's notifications and paints rows through DrawItem.
class CRecordingList : public CListCtrl {
 public:
  std::vector<UINT> headerCodes;
  struct Drawn {
    UINT item;
    UINT state;
    CRect rc;
  };
  std::vector<Drawn> drawn;
  std::function<LRESULT(NMLVCUSTOMDRAW&)> customDraw;

  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
    headerCodes.push_back(reinterpret_cast<NMHDR*>(lParam)->code);
    return CListCtrl::OnNotify(wParam, lParam, pResult);
  }
  void DrawItem(LPDRAWITEMSTRUCT dis) override { drawn.push_back({dis->itemID, dis->itemState, CRect(dis->rcItem)}); }

 protected:
  void OnCustomDraw(NMHDR* nm, LRESULT* result) {
    *result = customDraw ? customDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(nm)) : CDRF_DODEFAULT;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRecordingList, CListCtrl)
ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, OnCustomDraw)
END_MESSAGE_MAP()

class ListTest : public PlatformTest {
 protected:
  std::vector<Notice> notices;
  std::vector<std::string> other;
  std::function<LRESULT(const NMHDR&)> respond;
  CHostWnd parent{[this](UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_CONTEXTMENU) other.push_back("context menu");
    if (m == WM_NOTIFY) {
      const auto* nm = reinterpret_cast<const NMHDR*>(l);
      Notice n;
      n.code = nm->code;
      if (nm->code == NM_CLICK || nm->code == NM_RCLICK || nm->code == NM_DBLCLK || nm->code == LVN_ITEMACTIVATE) {
        n.item = reinterpret_cast<const NMITEMACTIVATE*>(l)->iItem;
        n.subItem = reinterpret_cast<const NMITEMACTIVATE*>(l)->iSubItem;
      } else if (nm->code != NM_CUSTOMDRAW) {
        n.item = reinterpret_cast<const NMLISTVIEW*>(l)->iItem;
        n.subItem = reinterpret_cast<const NMLISTVIEW*>(l)->iSubItem;
      }
      if (nm->code != NM_CUSTOMDRAW && nm->code != LVN_ITEMCHANGING && nm->code != LVN_ITEMCHANGED)
        notices.push_back(n);
      if (respond) return respond(*nm);
    }
    return 0;  // reflection and owner drawing follow as usual
  }};
  CRecordingList list;
  CImageList images;

  explicit ListTest(DWORD style = LVS_REPORT | LVS_SHOWSELALWAYS) {
    parent.CreateEx(0, nullptr, u"parent", WS_CHILD | WS_VISIBLE, CRect(0, 0, 800, 400), &frame, 0);
    list.Create(WS_CHILD | WS_VISIBLE | style, CRect(10, 10, 910, 110), &parent, 7);  // 900 x 100
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    images.Create(16, 15, ILC_COLOR24 | ILC_MASK, 6, 6);
    list.SetImageList(&images, LVSIL_SMALL);
    list.InsertColumn(0, u"标题", LVCFMT_LEFT, 380);
    list.InsertColumn(1, u"创建日期", LVCFMT_LEFT, 200);
    list.InsertColumn(2, u"关键字", LVCFMT_LEFT, 300);
  }

  void AddRows(std::initializer_list<const char16_t*> titles) {
    int data = 100;
    for (const char16_t* t : titles) {
      const int row = list.InsertItem(list.GetItemCount(), t, 1);
      list.SetItemText(row, 1, std::u16string(u"date ") + t);
      list.SetItemData(row, static_cast<DWORD_PTR>(data++));
    }
  }
  std::vector<UINT> Codes() const {
    std::vector<UINT> out;
    for (const Notice& n : notices) out.push_back(n.code);
    return out;
  }
  std::vector<int> Selected() const {
    std::vector<int> out;
    for (int i = list.GetNextItem(-1, LVNI_SELECTED); i != -1; i = list.GetNextItem(i, LVNI_SELECTED)) out.push_back(i);
    return out;
  }
};

}  // namespace

TEST_F(ListTest, ColumnsLiveInTheHeader) {
  CHeaderCtrl* header = list.GetHeaderCtrl();
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->GetItemCount(), 3);
  EXPECT_EQ(header->GetItemText(1), u"创建日期");
  EXPECT_EQ(list.GetColumnWidth(2), 300);
  CRect r;
  header->GetItemRect(2, &r);
  EXPECT_EQ(r, CRect(580, 0, 880, 20));
  // The first column stays left-aligned, as in the real control.
  list.InsertColumn(0, u"右", LVCFMT_RIGHT, 50);
  EXPECT_EQ(header->GetItemFormat(0) & HDF_JUSTIFYMASK, HDF_LEFT);
  list.InsertColumn(4, u"右", LVCFMT_RIGHT, 50);
  EXPECT_EQ(header->GetItemFormat(4) & HDF_JUSTIFYMASK, HDF_RIGHT);
  LVCOLUMN col{};
  col.mask = LVCF_FMT | LVCF_WIDTH;
  ASSERT_TRUE(list.GetColumn(4, &col));
  EXPECT_EQ(col.fmt, LVCFMT_RIGHT);
  EXPECT_EQ(col.cx, 50);
  // Setting the small images hands them to the header too.
  EXPECT_EQ(header->GetImageList(), &images);
}

TEST_F(ListTest, RowsHoldTextsImagesStatesAndData) {
  list.InsertItem(0, u"b", 2);
  list.InsertItem(0, u"a", 1);  // rows inserted at 0 push the others down
  list.SetItemText(1, 2, u"关键");
  EXPECT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(list.GetItemText(0, 0), u"a");
  EXPECT_EQ(list.GetItemText(1, 2), u"关键");
  EXPECT_EQ(list.GetItemText(1, 1), u"");
  EXPECT_EQ(list.GetItemImage(1), 2);
  char16_t small[2];
  EXPECT_EQ(list.GetItemText(1, 2, small, 2), 1);  // cut to the buffer, null-terminated
  EXPECT_EQ(std::u16string(small), u"关");
  EXPECT_FALSE(list.SetItemText(5, 0, u"x"));
  EXPECT_EQ(list.GetItemText(5, 0), u"");

  list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(Selected(), (std::vector<int>{1}));
  list.SetItemState(-1, LVIS_SELECTED, LVIS_SELECTED);
  EXPECT_EQ(Selected(), (std::vector<int>{0, 1}));
  EXPECT_EQ(list.GetSelectedCount(), 2u);
  list.SetSelectionMark(1);
  EXPECT_EQ(list.SendMessage(LVM_SETSELECTIONMARK, 0, 0), 1);
  EXPECT_EQ(list.GetSelectionMark(), 0);

  notices.clear();
  list.DeleteItem(0);
  EXPECT_EQ(Codes(), (std::vector<UINT>{LVN_DELETEITEM}));
  EXPECT_EQ(list.GetItemText(0, 0), u"b");
  EXPECT_EQ(list.GetSelectionMark(), -1);  // its row went
  list.DeleteAllItems();
  EXPECT_EQ(list.GetItemCount(), 0);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), -1);
}

// Every row's texts share one buffer; rewriting, column changes, deletions
// and a clear must leave each row with exactly its own texts.
TEST_F(ListTest, TextsStayWithTheirRowsThroughRewritesColumnChangesAndClears) {
  auto text = [](int row, int sub, int round) {
    return std::u16string(static_cast<size_t>(50 + row % 7), static_cast<char16_t>(u'a' + (row + sub + round) % 26)) +
           u"标" + std::u16string(1, static_cast<char16_t>(u'0' + row % 10));
  };
  const int n = 400;
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(list.InsertItem(0, text(n - 1 - i, 0, 0)), 0);
    list.SetItemData(0, static_cast<DWORD_PTR>(n - 1 - i));
  }
  // Rounds of rewrites, row by row from the top and the bottom, leave far more
  // abandoned text than live text behind, which the buffer sheds on the way.
  for (int round = 1; round <= 6; ++round)
    for (int i = 0; i < n; ++i) {
      const int row = round % 2 ? i : n - 1 - i;
      ASSERT_TRUE(list.SetItemText(row, 1 + round % 2, text(row, 1 + round % 2, round)));
    }
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(list.GetItemText(i, 0), text(i, 0, 0)) << i;
    ASSERT_EQ(list.GetItemText(i, 1), text(i, 1, 6)) << i;
    ASSERT_EQ(list.GetItemText(i, 2), text(i, 2, 5)) << i;
    ASSERT_EQ(list.GetItemText(i, 3), u"") << i;
  }

  // A column put in shifts the texts right of it; taking it out shifts them back.
  list.InsertColumn(1, u"新", LVCFMT_LEFT, 40);
  EXPECT_EQ(list.GetItemText(7, 0), text(7, 0, 0));
  EXPECT_EQ(list.GetItemText(7, 1), u"");
  EXPECT_EQ(list.GetItemText(7, 2), text(7, 1, 6));
  list.SetItemText(7, 1, u"x");
  list.DeleteColumn(0);
  EXPECT_EQ(list.GetItemText(7, 0), u"x");
  EXPECT_EQ(list.GetItemText(7, 2), text(7, 2, 5));

  // Deleted rows take their texts; rows put in later in their place start empty.
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(list.DeleteItem(150));
  ASSERT_EQ(list.InsertItem(150, u"new"), 150);
  EXPECT_EQ(list.GetItemText(150, 1), u"");
  EXPECT_EQ(list.GetItemData(151), 250u);
  EXPECT_EQ(list.GetItemText(151, 1), text(250, 1, 6));

  // A subitem no column could ever show is refused and changes nothing.
  EXPECT_FALSE(list.SetItemText(3, 5000, u"far"));
  EXPECT_FALSE(list.SetItemText(3, -1, u"neg"));
  EXPECT_EQ(list.GetItemText(3, 5000), u"");
  EXPECT_EQ(list.GetItemText(3, 1), text(3, 1, 6));

  ASSERT_TRUE(list.DeleteAllItems());
  ASSERT_EQ(list.InsertItem(0, u"one"), 0);
  EXPECT_EQ(list.GetItemText(0, 0), u"one");
  EXPECT_EQ(list.GetItemText(0, 1), u"");
  EXPECT_EQ(list.GetItemData(0), 0u);
  // The last row deleted one by one leaves the list as a clear does.
  ASSERT_TRUE(list.DeleteItem(0));
  ASSERT_EQ(list.InsertItem(0, u"two"), 0);
  EXPECT_EQ(list.GetItemText(0, 0), u"two");
}

TEST_F(ListTest, SortingKeepsEachRowsDataAndState) {
  AddRows({u"b", u"C", u"a", u"b"});
  list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
  list.SortItems([](LPARAM a, LPARAM b, LPARAM) { return static_cast<int>(b - a); }, 0);
  EXPECT_EQ(list.GetItemData(0), 103u);
  EXPECT_EQ(list.GetItemText(0, 0), u"b");
  EXPECT_EQ(Selected(), (std::vector<int>{2}));  // "C" (data 101) moved with its selection

  CXTSortClass ascending(&list, 0);
  ascending.Sort(true, SORT_STRING);
  std::vector<std::u16string> titles;
  std::vector<DWORD_PTR> data;
  for (int i = 0; i < list.GetItemCount(); ++i) {
    titles.push_back(list.GetItemText(i, 0));
    data.push_back(list.GetItemData(i));
  }
  EXPECT_EQ(titles, (std::vector<std::u16string>{u"a", u"b", u"b", u"C"}));  // letters without regard to case
  EXPECT_EQ(data, (std::vector<DWORD_PTR>{102, 103, 100, 101}));             // equal rows keep their order
  CXTSortClass(&list, 1).Sort(false, 2);
  EXPECT_EQ(list.GetItemText(0, 0), u"C");
  EXPECT_EQ(list.GetItemText(3, 0), u"a");

  list.SetItemText(0, 2, u"10");
  list.SetItemText(1, 2, u"9");
  list.SetItemText(2, 2, u"-1");
  list.SetItemText(3, 2, u"x");
  CXTSortClass(&list, 2).Sort(true, SORT_INT);
  EXPECT_EQ(list.GetItemText(0, 2), u"-1");
  EXPECT_EQ(list.GetItemText(1, 2), u"x");  // no number counts 0
  EXPECT_EQ(list.GetItemText(3, 2), u"10");
}

TEST_F(ListTest, ClicksSelectRowsAndNotify) {
  AddRows({u"r0", u"r1", u"r2", u"r3"});
  notices.clear();
  const int rowY = 20 + 16 + 8;  // row 1: the header is 20 high, rows 16
  InputClick(list.m_hWnd, CPoint(100, rowY));
  EXPECT_EQ(Selected(), (std::vector<int>{1}));
  EXPECT_EQ(list.GetNextItem(-1, LVNI_FOCUSED), 1);
  ASSERT_EQ(Codes(), (std::vector<UINT>{NM_CLICK}));
  EXPECT_EQ(notices[0].item, 1);

  DaruSetModifierKeys(MK_CONTROL);
  InputClick(list.m_hWnd, CPoint(600, rowY + 32));  // row 3, column 2 (full-row select)
  DaruSetModifierKeys(MK_SHIFT);
  InputClick(list.m_hWnd, CPoint(100, 20 + 8));  // range from the mark (row 3) to row 0
  DaruSetModifierKeys(0);
  EXPECT_EQ(Selected(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(notices[1].subItem, 2);

  notices.clear();
  InputRightClick(list.m_hWnd, CPoint(100, rowY));  // a selected row keeps the selection
  EXPECT_EQ(Selected().size(), 4u);
  EXPECT_EQ(Codes(), (std::vector<UINT>{NM_RCLICK}));
  EXPECT_EQ(other, (std::vector<std::string>{"context menu"}));
  InputClick(list.m_hWnd, CPoint(100, 95));  // empty space below the rows
  EXPECT_TRUE(Selected().empty());
  EXPECT_EQ(notices.back().item, -1);
  InputRightClick(list.m_hWnd, CPoint(100, rowY));
  EXPECT_EQ(Selected(), (std::vector<int>{1}));

  notices.clear();
  InputDoubleClick(list.m_hWnd, CPoint(100, rowY));
  EXPECT_EQ(Codes(), (std::vector<UINT>{NM_CLICK, NM_DBLCLK, LVN_ITEMACTIVATE, NM_CLICK}));

  notices.clear();
  InputLButtonDown(list.m_hWnd, CPoint(100, rowY));
  InputMouseMove(list.m_hWnd, CPoint(100, rowY + 10));
  InputLButtonUp(list.m_hWnd, CPoint(100, rowY + 10));
  EXPECT_EQ(Codes(), (std::vector<UINT>{LVN_BEGINDRAG}));
}

TEST_F(ListTest, GeometryAndHitTest) {
  AddRows({u"r0", u"r1"});
  EXPECT_EQ(list.GetRowHeight(), 16);
  EXPECT_EQ(list.GetCountPerPage(), 5);  // (100 - 20) / 16
  CRect r;
  list.GetItemRect(1, &r, LVIR_BOUNDS);
  EXPECT_EQ(r, CRect(0, 36, 880, 52));
  list.GetItemRect(1, &r, LVIR_ICON);
  EXPECT_EQ(r, CRect(2, 36, 18, 52));
  list.GetItemRect(1, &r, LVIR_LABEL);
  EXPECT_EQ(r, CRect(18, 36, 380, 52));
  list.GetSubItemRect(1, 2, LVIR_LABEL, r);
  EXPECT_EQ(r, CRect(580, 36, 880, 52));
  list.GetSubItemRect(1, 0, LVIR_BOUNDS, r);
  EXPECT_EQ(r, CRect(0, 36, 880, 52));

  UINT flags = 0;
  EXPECT_EQ(list.HitTest(CPoint(5, 40), &flags), 1);
  EXPECT_EQ(flags, LVHT_ONITEMICON);
  EXPECT_EQ(list.HitTest(CPoint(100, 40), &flags), 1);
  EXPECT_EQ(flags, LVHT_ONITEMLABEL);
  EXPECT_EQ(list.HitTest(CPoint(600, 40), &flags), 1);
  EXPECT_EQ(flags, LVHT_ONITEMLABEL);  // full-row select
  EXPECT_EQ(list.HitTest(CPoint(890, 40), &flags), -1);
  EXPECT_EQ(flags, LVHT_NOWHERE);  // right of the last column
  EXPECT_EQ(list.HitTest(CPoint(100, 10), &flags), -1);
  EXPECT_EQ(flags, LVHT_NOWHERE);  // on the header
  EXPECT_EQ(list.HitTest(CPoint(100, 60), &flags), -1);
  EXPECT_EQ(flags, LVHT_NOWHERE);  // below the rows
  LVHITTESTINFO sub{};
  sub.pt = CPoint(600, 40);
  EXPECT_EQ(list.SubItemHitTest(&sub), 1);
  EXPECT_EQ(sub.iSubItem, 2);

  list.SendMessage(WM_HSCROLL, SB_LINERIGHT);  // the columns fit: nothing to scroll
  EXPECT_EQ(list.GetScrollPos(SB_HORZ), 0);
  list.SetColumnWidth(2, 400);
  list.SendMessage(WM_HSCROLL, SB_LINERIGHT);  // everything moves left, the header too
  EXPECT_EQ(list.GetScrollPos(SB_HORZ), 8);
  list.GetItemRect(1, &r, LVIR_ICON);
  EXPECT_EQ(r.left, -6);
  CRect headerRect;
  list.GetHeaderCtrl()->GetWindowRect(&headerRect);
  list.ScreenToClient(&headerRect);
  EXPECT_EQ(headerRect.left, -8);
  list.SendMessage(WM_HSCROLL, SB_LINELEFT);

  list.SetExtendedStyle(0);
  EXPECT_EQ(list.HitTest(CPoint(600, 40), &flags), -1);
  EXPECT_EQ(flags, LVHT_NOWHERE);  // other columns do not count without full-row select
  list.SetExtendedStyle(LVS_EX_CHECKBOXES);
  list.GetItemRect(0, &r, LVIR_ICON);
  EXPECT_EQ(r.left, 18);  // the check box comes first
  EXPECT_EQ(list.HitTest(CPoint(5, 25), &flags), 0);
  EXPECT_EQ(flags, LVHT_ONITEMSTATEICON);
  EXPECT_EQ(list.GetCheck(0), 0);
  InputClick(list.m_hWnd, CPoint(5, 25));
  EXPECT_EQ(list.GetCheck(0), 1);
  EXPECT_TRUE(Selected().empty());  // ticking selects nothing
}

TEST_F(ListTest, RedrawRequestsAreCountedPerRow) {
  AddRows({u"r0", u"r1", u"r2"});
  list.RedrawItems(1, 2);
  list.Update(2);
  list.RedrawItems(5, 9);  // beyond the rows: nothing
  EXPECT_EQ(list.GetItemRedrawCount(0), 0);
  EXPECT_EQ(list.GetItemRedrawCount(1), 1);
  EXPECT_EQ(list.GetItemRedrawCount(2), 2);
  CXTSortClass(&list, 0).Sort(false, SORT_STRING);
  EXPECT_EQ(list.GetItemRedrawCount(0), 2);  // the count stays with its row
  list.ResetRedrawCounts();
  EXPECT_EQ(list.GetItemRedrawCount(0), 0);

  const int paints = list.GetPaintCount();
  ASSERT_TRUE(list.LockWindowUpdate());
  EXPECT_EQ(CWnd::GetLockedWindow(), list.m_hWnd);
  EXPECT_FALSE(parent.LockWindowUpdate());  // one locked window at a time
  list.Invalidate();
  list.UpdateWindow();
  EXPECT_EQ(list.GetPaintCount(), paints);
  list.UnlockWindowUpdate();
  list.UpdateWindow();
  EXPECT_EQ(list.GetPaintCount(), paints + 1);
}

TEST_F(ListTest, HeaderClicksBecomeColumnClicksAndDividersResize) {
  CHeaderCtrl* header = list.GetHeaderCtrl();
  InputClick(header->m_hWnd, CPoint(450, 10));
  ASSERT_EQ(Codes(), (std::vector<UINT>{LVN_COLUMNCLICK}));
  EXPECT_EQ(notices[0].subItem, 1);
  EXPECT_EQ(list.headerCodes, (std::vector<UINT>{HDN_ITEMCLICKW}));

  list.headerCodes.clear();
  InputLButtonDown(header->m_hWnd, CPoint(381, 10));  // on the divider after column 0
  InputMouseMove(header->m_hWnd, CPoint(351, 10));
  InputLButtonUp(header->m_hWnd, CPoint(351, 10));
  EXPECT_EQ(list.GetColumnWidth(0), 350);
  EXPECT_EQ(list.headerCodes,
            (std::vector<UINT>{HDN_BEGINTRACKW, HDN_TRACKW, HDN_ENDTRACKW, HDN_ITEMCHANGINGW, HDN_ITEMCHANGEDW}));
  CRect r;
  list.GetSubItemRect(0, 1, LVIR_LABEL, r);  // columns after it moved left
  EXPECT_EQ(r.left, 0);                      // no rows: nothing to measure
  list.InsertItem(0, u"x");
  list.GetSubItemRect(0, 1, LVIR_LABEL, r);
  EXPECT_EQ(r.left, 350);
}

class OwnerDrawListTest : public ListTest {
 protected:
  OwnerDrawListTest() : ListTest(LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS) {}
};

TEST_F(OwnerDrawListTest, PaintingAsksTheListToDrawEachVisibleRow) {
  for (int i = 0; i < 8; ++i) list.InsertItem(i, u"row");
  list.SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  list.SetFocus();
  list.UpdateWindow();
  ASSERT_EQ(list.drawn.size(), 5u);  // 80 pixels of rows, 16 each
  EXPECT_EQ(list.drawn[0].state, 0u);
  EXPECT_EQ(list.drawn[1].state, ODS_SELECTED | ODS_FOCUS);
  EXPECT_EQ(list.drawn[1].rc, CRect(0, 36, 880, 52));
  list.drawn.clear();
  list.SendMessage(WM_VSCROLL, SB_LINEDOWN);
  list.UpdateWindow();
  ASSERT_FALSE(list.drawn.empty());
  EXPECT_EQ(list.drawn[0].item, 1u);
  EXPECT_EQ(list.drawn[0].rc.top, 20);
}

TEST_F(ListTest, CustomDrawColoursCellsAndTextIsFittedWithEllipsis) {
  CBitmap strip;
  strip.CreateFromPixels(16 * 7, 15, std::vector<COLORREF>(16 * 7 * 15, RGB(255, 0, 255)));
  ASSERT_EQ(images.Add(&strip, RGB(255, 0, 255)), 0);
  AddRows({u"a very long title that cannot fit"});
  list.SetColumnWidth(0, 100);
  std::vector<DWORD> stages;
  list.customDraw = [&](NMLVCUSTOMDRAW& cd) -> LRESULT {
    stages.push_back(cd.nmcd.dwDrawStage);
    if (cd.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (cd.nmcd.dwDrawStage == CDDS_ITEMPREPAINT) return CDRF_NOTIFYSUBITEMDRAW;
    if (cd.iSubItem == 1) cd.clrTextBk = RGB(1, 2, 3);
    return CDRF_NEWFONT;
  };
  list.UpdateWindow();
  EXPECT_EQ(stages, (std::vector<DWORD>{CDDS_PREPAINT, CDDS_ITEMPREPAINT, CDDS_ITEMPREPAINT | CDDS_SUBITEM,
                                        CDDS_ITEMPREPAINT | CDDS_SUBITEM, CDDS_ITEMPREPAINT | CDDS_SUBITEM}));
  const CDrawingRecord& drawing = list.GetDrawing();
  auto fills = drawing.Within(CDrawOp::Kind::FillRect, CRect(100, 20, 300, 36));
  ASSERT_FALSE(fills.empty());
  EXPECT_EQ(fills.back()->color, RGB(1, 2, 3));
  // Column 0's label is 100 - 18 wide, less 2 on each side: 78 pixels hold "a very lon" and "...".
  const auto texts = drawing.Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0]->text, u"a very lon...");
  EXPECT_LE(DaruTextWidth(texts[0]->text, texts[0]->font), 78);
  ASSERT_EQ(drawing.Within(CDrawOp::Kind::Image, CRect(0, 20, 18, 36)).size(), 1u);
  EXPECT_EQ(drawing.Within(CDrawOp::Kind::Image, CRect(0, 20, 18, 36))[0]->image, 1);
}

TEST_F(ListTest, SnapshotListsRowsWithTheirFlags) {
  AddRows({u"first", u"second"});
  list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
  const std::string text = DaruSnapshotWindowUtf8(&list);
  EXPECT_NE(text.find("row 1: second | date second |   {selected, image 1, data 65}"), std::string::npos) << text;
  EXPECT_NE(text.find("column 1 \"创建日期\" width 200 left"), std::string::npos) << text;
  EXPECT_NE(text.find("full-row select"), std::string::npos) << text;
}
