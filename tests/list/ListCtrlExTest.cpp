#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/DC.h"
#include "platform/HeaderCtrl.h"
#include "platform/Input.h"
#include "platform/PlatformFixture.h"
#include "platform/XTToolkit.h"
#include "ui/list/ListCtrlEx.h"

namespace {

constexpr COLORREF kGreyText = RGB(128, 128, 128);
constexpr COLORREF kMagenta = RGB(255, 0, 255);

// A report list of the sortable base as a child of the frame, 20 pixels of
// header and 16-pixel rows.
class ListExTest : public PlatformTest {
 protected:
  void Make(DWORD style, DWORD exStyle = 0, int height = 120) {
    ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | style, CRect(0, 0, 400, height), &frame, 7));
    if (exStyle != 0) list.SetExtendedStyle(exStyle);
    ASSERT_TRUE(images.Create(16, 15, ILC_COLOR24 | ILC_MASK, 6, 6));
    CBitmap strip;
    ASSERT_TRUE(strip.LoadBitmap(54004));
    images.Add(&strip, kMagenta);
    list.SetImageList(&images, LVSIL_SMALL);
    list.InsertColumn(0, u"标题", LVCFMT_LEFT, 120);
    list.InsertColumn(1, u"日期", LVCFMT_LEFT, 100);
    list.InsertColumn(2, u"关键字", LVCFMT_LEFT, 100);
  }
  void AddRows(int n) {
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(list.InsertItem(i, u"r" + std::u16string(1, static_cast<char16_t>(u'0' + i)), 1), i);
      list.SetItemText(i, 1, u"d");
    }
  }
  void Paint() {
    list.Invalidate();
    list.UpdateWindow();
  }
  // Fills of the row's band (between its top and bottom), left to right.
  std::vector<const CDrawOp*> RowFills(int row) const {
    CRect band(0, 20 + 16 * row + 1, 400, 20 + 16 * row + 15);
    auto fills = list.GetDrawing().Within(CDrawOp::Kind::FillRect, band);
    std::erase_if(fills, [&](const CDrawOp* op) { return op->rect.top != 20 + 16 * row; });
    return fills;
  }
  int HeaderImage(int column) { return list.GetHeaderCtrl()->GetItemImage(column); }
  bool HeaderShowsImage(int column) {
    return (list.GetHeaderCtrl()->GetItemFormat(column) & (HDF_IMAGE | HDF_BITMAP_ON_RIGHT)) ==
           (HDF_IMAGE | HDF_BITMAP_ON_RIGHT);
  }
  void ClickHeader(int x) { InputClick(list.GetHeaderCtrl()->m_hWnd, CPoint(x, 10)); }

  CListCtrlEx list;
  CImageList images;
};

}  // namespace

TEST_F(ListExTest, RowsCarryRecordsThroughInsertSortAndDelete) {
  Make(LVS_OWNERDRAWFIXED);
  AddRows(4);
  int articles[4] = {};
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(list.SetItemData(i, reinterpret_cast<DWORD_PTR>(&articles[i])));
  // A new row starts bold, not red, with no article.
  ASSERT_EQ(list.InsertItem(0, u"new", 1), 0);
  EXPECT_TRUE(list.GetItemBold(0));
  EXPECT_FALSE(list.GetItemRed(0));
  EXPECT_EQ(list.GetItemData(0), 0u);
  EXPECT_EQ(list.GetRowRecord(0)->index, 0);
  EXPECT_EQ(list.GetItemData(1), reinterpret_cast<DWORD_PTR>(&articles[0]));
  list.SetItemRed(4, TRUE);

  // Sorting by text moves the records with their rows.
  CXTSortClass(&list, 0).Sort(false, 2);
  EXPECT_EQ(list.GetItemText(0, 0), u"r3");
  EXPECT_EQ(list.GetItemData(0), reinterpret_cast<DWORD_PTR>(&articles[3]));
  EXPECT_TRUE(list.GetItemRed(0));
  EXPECT_EQ(list.GetItemText(4, 0), u"new");
  EXPECT_EQ(list.GetItemData(4), 0u);

  ASSERT_TRUE(list.DeleteItem(1));
  EXPECT_EQ(list.GetItemCount(), 4);
  EXPECT_EQ(list.GetItemData(1), reinterpret_cast<DWORD_PTR>(&articles[1]));
  ASSERT_TRUE(list.DeleteAllItems());
  EXPECT_EQ(list.GetItemCount(), 0);
  // Records are released with their rows; LeakSanitizer checks none stays behind.
}

// Records live in chunks; a long list crosses their boundaries, reuses the
// slots of deleted rows and keeps each record where it is while its row lives.
TEST_F(ListExTest, RecordsOfALongListStayPutAndFollowTheirRows) {
  Make(LVS_OWNERDRAWFIXED);
  const int n = 2600;
  std::vector<int> articles(n);
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(list.InsertItem(0, u"r", 1), 0);
    ASSERT_TRUE(list.SetItemData(0, reinterpret_cast<DWORD_PTR>(&articles[static_cast<size_t>(i)])));
    list.SetItemRed(0, i % 3 == 0);
  }
  CListRowRecord* last = list.GetRowRecord(0);  // the row of article n - 1
  // Every other row goes; new rows reuse their slots.
  for (int row = n - 1; row > 0; row -= 2) ASSERT_TRUE(list.DeleteItem(row));
  for (int i = 0; i < 500; ++i) {
    const int end = list.GetItemCount();
    ASSERT_EQ(list.InsertItem(end, u"new", 2), end);
  }
  ASSERT_EQ(list.GetItemCount(), n / 2 + 500);
  EXPECT_EQ(list.GetRowRecord(0), last);
  for (int row = 0; row < n / 2; ++row) {
    const int article = n - 1 - 2 * row;  // row 0 holds article n - 1, row 1 article n - 3, ...
    ASSERT_EQ(list.GetItemData(row), reinterpret_cast<DWORD_PTR>(&articles[static_cast<size_t>(article)])) << row;
    ASSERT_EQ(list.GetItemRed(row), article % 3 == 0) << row;
  }
  for (int row = n / 2; row < list.GetItemCount(); ++row) {
    ASSERT_EQ(list.GetItemData(row), 0u) << row;
    ASSERT_TRUE(list.GetItemBold(row)) << row;
  }
  // After a clear, a new row is a fresh record even in a slot used before.
  ASSERT_TRUE(list.DeleteAllItems());
  ASSERT_EQ(list.InsertItem(0, u"again", 1), 0);
  EXPECT_EQ(list.GetItemData(0), 0u);
  EXPECT_FALSE(list.GetItemRed(0));
  EXPECT_EQ(list.GetRowRecord(0)->index, 0);
}

TEST_F(ListExTest, IndicesOutsideTheRowsAndRowsWithoutRecordsAreHarmless) {
  Make(LVS_OWNERDRAWFIXED);
  AddRows(2);
  int article = 0;
  for (int bad : {-1, 2, 100}) {
    EXPECT_FALSE(list.SetItemData(bad, reinterpret_cast<DWORD_PTR>(&article))) << bad;
    EXPECT_EQ(list.GetItemData(bad), 0u) << bad;
    EXPECT_FALSE(list.DeleteItem(bad)) << bad;
    list.SetItemBold(bad, FALSE);
    list.SetItemRed(bad, TRUE);
    EXPECT_FALSE(list.GetItemRed(bad));
  }
  EXPECT_EQ(list.InsertItem(-1, u"x", 1), -1);
  EXPECT_EQ(list.InsertItem(5, u"x", 1), -1);
  EXPECT_EQ(list.GetItemCount(), 2);

  // A row put in through the plain list has no record: no article, no flags,
  // and whatever data it carries is never taken for one.
  list.CListCtrl::InsertItem(LVIF_TEXT | LVIF_PARAM, 2, u"plain", 0, 0, 0, reinterpret_cast<LPARAM>(&article));
  EXPECT_EQ(list.GetItemData(2), 0u);
  EXPECT_FALSE(list.GetItemBold(2));
  EXPECT_FALSE(list.SetItemData(2, 1));
  list.SetItemBold(2, TRUE);
  Paint();  // drawing a row without a record draws it plain
  EXPECT_NE(list.GetDrawing().FindText(u"plain"), nullptr);
  EXPECT_TRUE(list.DeleteItem(2));
  EXPECT_TRUE(list.DeleteAllItems());
}

TEST_F(ListExTest, FlagChangesRedrawOnlyTheirRowAndOnlyWhenTheyChange) {
  Make(LVS_OWNERDRAWFIXED);
  AddRows(3);
  list.ResetRedrawCounts();
  list.SetItemBold(1, TRUE);   // already bold
  list.SetItemRed(1, FALSE);   // already not red
  list.SetItemBold(3, FALSE);  // the row count: no row
  EXPECT_EQ(list.GetItemRedrawCount(1), 0);
  list.SetItemBold(1, FALSE);
  list.SetItemRed(2, TRUE);
  EXPECT_EQ(list.GetItemRedrawCount(0), 0);
  EXPECT_EQ(list.GetItemRedrawCount(1), 1);
  EXPECT_EQ(list.GetItemRedrawCount(2), 1);
}

TEST_F(ListExTest, HeaderArrowFollowsClicksAndSurvivesImageListsAndColourChanges) {
  Make(LVS_OWNERDRAWFIXED);
  list.SetSortIndicator(TRUE, 1);
  EXPECT_TRUE(HeaderShowsImage(0));
  EXPECT_EQ(HeaderImage(0), list.GetUpImage());
  EXPECT_FALSE(HeaderShowsImage(1));
  ClickHeader(50);  // column 0 again: down
  EXPECT_EQ(list.GetSortIndicator(), -1);
  EXPECT_EQ(HeaderImage(0), list.GetDownImage());
  ClickHeader(250);  // column 2: up
  EXPECT_EQ(list.GetSortIndicator(), 3);
  EXPECT_FALSE(HeaderShowsImage(0));
  EXPECT_TRUE(HeaderShowsImage(2));
  EXPECT_EQ(HeaderImage(2), list.GetUpImage());

  // The list hands its small images to the header; the base takes the header back.
  CImageList other;
  ASSERT_TRUE(other.Create(16, 15, ILC_COLOR24, 1, 1));
  list.SetImageList(&other, LVSIL_SMALL);
  EXPECT_EQ(list.GetHeaderCtrl()->GetImageList(), list.GetHeaderImageList());

  // The arrows are 9 x 5 triangles in the grey-text colour on transparent magenta.
  CImageList* arrows = list.GetHeaderImageList();
  EXPECT_EQ(arrows->GetImageSize(), CSize(9, 5));
  EXPECT_EQ(arrows->GetImagePixel(list.GetUpImage(), 4, 0), kGreyText);
  EXPECT_EQ(arrows->GetImagePixel(list.GetDownImage(), 4, 4), kGreyText);
  const int index = COLOR_GRAYTEXT;
  const COLORREF blue = RGB(0, 0, 200);
  SetSysColors(1, &index, &blue);
  arrows = list.GetHeaderImageList();
  EXPECT_EQ(arrows->GetImagePixel(list.GetUpImage(), 4, 0), blue);
  EXPECT_EQ(list.GetHeaderCtrl()->GetImageList(), arrows);
  EXPECT_EQ(HeaderImage(2), list.GetUpImage());

  list.SetSortIndicator(FALSE, 3);
  EXPECT_FALSE(HeaderShowsImage(2));
}

TEST_F(ListExTest, FirstColumnKeepsItsAlignmentInTheHeaderOfFullRowLists) {
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 400, 100), &frame, 7));
  list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
  list.InsertColumn(0, u"a", LVCFMT_CENTER, 100);
  EXPECT_EQ(list.GetHeaderCtrl()->GetItemFormat(0) & HDF_JUSTIFYMASK, HDF_CENTER);
  CListCtrlEx plain;
  ASSERT_TRUE(plain.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 400, 100), &frame, 8));
  plain.InsertColumn(0, u"a", LVCFMT_CENTER, 100);
  EXPECT_EQ(plain.GetHeaderCtrl()->GetItemFormat(0) & HDF_JUSTIFYMASK, HDF_LEFT);
}

TEST_F(ListExTest, RowsAlternateColoursWithBoldRedTextAndIcons) {
  Make(LVS_OWNERDRAWFIXED);
  AddRows(6);
  list.SetItem(3, 0, LVIF_IMAGE, u"", 0, 0, 0, 0);  // image 0: no icon
  list.SetItemBold(2, FALSE);
  list.SetItemRed(4, TRUE);
  Paint();
  for (int row = 0; row < 6; ++row) {
    const auto fills = RowFills(row);
    ASSERT_FALSE(fills.empty()) << row;
    for (const CDrawOp* fill : fills) EXPECT_EQ(fill->color, row % 2 == 0 ? 0xFFFFFFu : 0xFAFAFAu) << row;
  }
  const CDrawOp* bold = list.GetDrawing().FindText(u"r0");
  const CDrawOp* plain = list.GetDrawing().FindText(u"r2");
  const CDrawOp* red = list.GetDrawing().FindText(u"r4");
  ASSERT_TRUE(bold && plain && red);
  EXPECT_EQ(bold->font.lfWeight, FW_BOLD);
  EXPECT_EQ(plain->font.lfWeight, FW_NORMAL);
  EXPECT_EQ(bold->color, GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(red->color, RGB(255, 0, 0));
  // Icons: image 1 in column 0 of every row but the one with image 0.
  const auto icons = list.GetDrawing().Within(CDrawOp::Kind::Image, CRect(0, 20, 400, 120));
  EXPECT_EQ(icons.size(), 5u);
  for (const CDrawOp* icon : icons) {
    EXPECT_EQ(icon->image, 1);
    EXPECT_EQ(icon->origin.x, 2);
    EXPECT_NE(icon->origin.y, 20 + 16 * 3);
  }
}

TEST_F(ListExTest, TextTooWideIsCutWithDots) {
  Make(LVS_OWNERDRAWFIXED);
  list.SetColumnWidth(1, 60);  // text area 48 pixels: 8 characters of 6
  list.InsertItem(0, u"x", 1);
  list.SetItemBold(0, FALSE);
  list.SetItemText(0, 1, u"abcdefghijkl");
  list.SetItemText(0, 2, u"fits");
  list.InsertItem(1, u"y", 1);
  list.SetItemText(1, 1, u"abcdefgh");  // bold: 7 pixels a character, 56 > 48
  Paint();
  EXPECT_NE(list.GetDrawing().FindText(u"abcde..."), nullptr);
  EXPECT_NE(list.GetDrawing().FindText(u"fits"), nullptr);
  EXPECT_NE(list.GetDrawing().FindText(u"abc..."), nullptr);

  // Too narrow for a character and three dots: the first character with two, one or no dots.
  list.SetItemText(1, 1, u"");
  for (const auto& [width, expected] :
       {std::pair{12 + 20, u"a.."}, std::pair{12 + 14, u"a."}, std::pair{12 + 8, u"a"}}) {
    list.SetColumnWidth(1, width);
    Paint();
    EXPECT_NE(list.GetDrawing().FindText(expected), nullptr) << width;
  }
}

TEST_F(ListExTest, SelectionLooksFollowTheFocus) {
  for (const bool showAlways : {true, false}) {
    SCOPED_TRACE(showAlways);
    CListCtrlEx& l = list;
    Make(LVS_OWNERDRAWFIXED | (showAlways ? LVS_SHOWSELALWAYS : 0), LVS_EX_FULLROWSELECT);
    AddRows(3);
    InputClick(l.m_hWnd, CPoint(200, 20 + 16 + 5));  // selects row 1 and focuses the list
    ASSERT_EQ(l.GetNextItem(-1, LVNI_SELECTED), 1);
    Paint();
    auto fills = RowFills(1);
    EXPECT_TRUE(std::any_of(fills.begin(), fills.end(),
                            [](const CDrawOp* f) { return f->color == GetSysColor(COLOR_HIGHLIGHT); }));
    EXPECT_EQ(l.GetDrawing().FindText(u"r1")->color, GetSysColor(COLOR_HIGHLIGHTTEXT));
    EXPECT_FALSE(l.GetDrawing().Within(CDrawOp::Kind::FocusRect, CRect(0, 37, 400, 52)).empty());

    frame.SetFocus();  // the list loses the focus: its selected row loses the focus state
    EXPECT_EQ(l.GetItemState(1, LVIS_FOCUSED), 0u);
    Paint();
    fills = RowFills(1);
    const COLORREF expected = showAlways ? GetSysColor(COLOR_BTNFACE) : 0xFAFAFA;
    EXPECT_TRUE(std::any_of(fills.begin(), fills.end(), [&](const CDrawOp* f) { return f->color == expected; }));
    EXPECT_FALSE(std::any_of(fills.begin(), fills.end(),
                             [](const CDrawOp* f) { return f->color == GetSysColor(COLOR_HIGHLIGHT); }));
    EXPECT_EQ(l.GetDrawing().FindText(u"r1")->color, GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_TRUE(l.GetDrawing().Within(CDrawOp::Kind::FocusRect, CRect(0, 20, 400, 120)).empty());

    l.SetFocus();
    EXPECT_EQ(l.GetItemState(1, LVIS_FOCUSED), static_cast<UINT>(LVIS_FOCUSED));
    l.DestroyWindow();
    images.DeleteImageList();
  }
}

TEST_F(ListExTest, WithoutFullRowOnlyTheTitleIsHighlighted) {
  Make(LVS_OWNERDRAWFIXED);
  AddRows(2);
  InputClick(list.m_hWnd, CPoint(30, 20 + 5));
  Paint();
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  auto fills = RowFills(0);
  std::erase_if(fills, [&](const CDrawOp* f) { return f->color != highlight; });
  ASSERT_EQ(fills.size(), 1u);
  // Label from x 18; "r0" in bold is 14 pixels, plus 8.
  EXPECT_EQ(fills[0]->rect, CRect(18, 20, 18 + 14 + 8, 36));
  EXPECT_EQ(list.GetDrawing().FindText(u"d")->color, GetSysColor(COLOR_WINDOWTEXT));
}

TEST_F(ListExTest, CheckBoxesOfOwnerDrawnListsToggleOnTheirStateIcon) {
  Make(LVS_OWNERDRAWFIXED, LVS_EX_CHECKBOXES);
  AddRows(2);
  InputClick(list.m_hWnd, CPoint(4, 20 + 16 + 5));  // the state icon of row 1
  EXPECT_EQ(list.GetCheck(1), TRUE);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), -1);  // not passed on: no selection
  InputClick(list.m_hWnd, CPoint(60, 20 + 16 + 5));    // its text selects it
  EXPECT_EQ(list.GetCheck(1), TRUE);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 1);
}

TEST_F(ListExTest, ColumnBandIsKeptOnEraseAndRepaintedAfterScrolling) {
  Make(LVS_OWNERDRAWFIXED, 0, 120);
  list.SetBkColor(RGB(240, 240, 255));
  list.SetSortIndicator(TRUE, 2);
  list.SetSortColumnColour(TRUE);
  EXPECT_EQ(list.GetSortColumnColour(), RGB(240, 240, 255));
  AddRows(2);
  CClientDC dc(&list);
  dc.Record().Clear();
  EXPECT_EQ(list.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0), 1);
  const auto fills = dc.Record().Within(CDrawOp::Kind::FillRect, CRect(0, 20, 400, 120));
  ASSERT_EQ(fills.size(), 3u);
  EXPECT_EQ(fills[1]->rect.left, 120);
  EXPECT_EQ(fills[1]->rect.right, 220);
  EXPECT_EQ(fills[1]->color, list.GetSortColumnColour());

  const int before = list.GetInvalidateCount();
  list.SendMessage(WM_HSCROLL, SB_LINERIGHT, 0);
  EXPECT_GT(list.GetInvalidateCount(), before);
}

TEST_F(ListExTest, CustomDrawnListsKeepTheColumnBandAndPaintBesideTheTitle) {
  Make(0);  // not owner-drawn: the list draws itself and asks the base around each cell
  list.SetSortIndicator(TRUE, 2);
  list.SetSortColumnColour(TRUE);  // the band keeps the background of this moment
  const COLORREF band = list.GetSortColumnColour();
  list.SetBkColor(RGB(230, 240, 250));
  AddRows(2);
  Paint();
  // Column 1 (x 120 to 220) has the band's colour, column 2 the list's new background.
  const auto sorted = list.GetDrawing().Within(CDrawOp::Kind::FillRect, CRect(150, 21, 151, 35));
  const auto other = list.GetDrawing().Within(CDrawOp::Kind::FillRect, CRect(250, 21, 251, 35));
  ASSERT_FALSE(sorted.empty());
  ASSERT_FALSE(other.empty());
  EXPECT_EQ(sorted.back()->color, band);
  EXPECT_EQ(other.back()->color, RGB(230, 240, 250));
  // Left of the title's label: silver on even rows, the background on odd ones, then the icon.
  const auto strip0 = RowFills(0);
  const auto strip1 = RowFills(1);
  auto leftStrip = [](const std::vector<const CDrawOp*>& fills) -> const CDrawOp* {
    for (const CDrawOp* f : fills)
      if (f->rect.left == 0 && f->rect.right == 18) return f;
    return nullptr;
  };
  ASSERT_NE(leftStrip(strip0), nullptr);
  ASSERT_NE(leftStrip(strip1), nullptr);
  EXPECT_EQ(leftStrip(strip0)->color, 0xC0C0C0u);
  EXPECT_EQ(leftStrip(strip1)->color, RGB(230, 240, 250));
  EXPECT_FALSE(list.GetDrawing().Within(CDrawOp::Kind::Image, CRect(2, 21, 18, 35)).empty());
}
