// The desktop host's drawing in-process: the library's real windows on a
// provisioned catalogue paint themselves, and the Cairo replay of what they
// recorded is read back pixel by pixel from an image surface.

#include <gtest/gtest.h>

#include <cstdlib>

#include "desktop/Replay.h"
#include "fixtures/ProvisionedRoot.h"
#include "terminal/HostWindows.h"

// Fontconfig, Pango, Cairo and GLib keep caches for the life of the process
// and never free them; those are theirs. (The program's runs read the same
// list from system-libraries.supp.)
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libpango-1.0.so\nleak:libpangoft2-1.0.so\nleak:libpangocairo-1.0.so\n"
         "leak:libcairo.so\nleak:libglib-2.0.so\nleak:libgobject-2.0.so\nleak:libharfbuzz.so\nleak:libfreetype.so\n";
}

namespace {

struct Pixel {
  int r, g, b;
};

class Surface {
 public:
  Surface(int w, int h, int scale = 1)
      : m_surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w * scale, h * scale)), m_scale(scale) {
    cairo_surface_set_device_scale(m_surface, scale, scale);
    m_cr = cairo_create(m_surface);
    cairo_set_source_rgb(m_cr, 1, 1, 1);
    cairo_paint(m_cr);
  }
  ~Surface() {
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
  }
  cairo_t* cr() { return m_cr; }
  // The pixel at a point in the window's pixels (the middle of it at scale 2).
  Pixel At(int x, int y) {
    cairo_surface_flush(m_surface);
    const int sx = x * m_scale + m_scale / 2, sy = y * m_scale + m_scale / 2;
    const unsigned char* data = cairo_image_surface_get_data(m_surface);
    const auto v = *reinterpret_cast<const uint32_t*>(data + sy * cairo_image_surface_get_stride(m_surface) + sx * 4);
    return Pixel{static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF), static_cast<int>(v & 0xFF)};
  }
  // How many pixels of the rectangle satisfy the test.
  template <typename F>
  int Count(const CRect& r, F test) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += test(At(x, y)) ? 1 : 0;
    return n;
  }

 private:
  cairo_surface_t* m_surface;
  cairo_t* m_cr;
  int m_scale;
};

bool IsRed(Pixel p) { return p.r > 150 && p.g < 110 && p.b < 110; }
bool IsInk(Pixel p) { return p.r < 140 && p.g < 140 && p.b < 140; }
bool Near(Pixel p, COLORREF c) {
  return std::abs(p.r - GetRValue(c)) < 8 && std::abs(p.g - GetGValue(c)) < 8 && std::abs(p.b - GetBValue(c)) < 8;
}

class ReplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(windows.Create(nullptr, nullptr, &error)) << error;
    tree = windows.Tree();
    list = windows.List();
    // Three pages under the default label; the middle one important.
    CLabel* label = CDARU::Instance()->GetLabelTree()->FindLabel(3);
    ASSERT_NE(label, nullptr);
    ASSERT_TRUE(tree->AddArticleFromBrowser(u"https://example.com/1", u"第一篇 plain", label, false));
    ASSERT_TRUE(tree->AddArticleFromBrowser(
        u"https://example.com/2", u"重要的文章 with a title far too long for the narrow column it is shown in", label,
        false));
    ASSERT_TRUE(tree->AddArticleFromBrowser(u"https://example.com/3", u"第三篇 read", label, false));
    root.Exec("UPDATE article SET impflag=1 WHERE url='https://example.com/2'");
    root.Exec("UPDATE article SET readflag=1 WHERE url='https://example.com/3'");
    tree->MoveWindow(0, 0, 240, 300);
    list->MoveWindow(4000, 0, 640, 300);
    Show(3);
  }

  // Selects the label, as a click does, and finds the rows.
  void Show(int labelId) {
    for (HTREEITEM i = tree->GetRootItem(); i != nullptr; i = tree->GetNextItem(i, TVGN_NEXTVISIBLE)) {
      tree->Expand(i, TVE_EXPAND);
      auto* l = reinterpret_cast<CLabel*>(tree->GetItemData(i));
      if (l && l->labelid == labelId) {
        tree->SelectItem(nullptr);
        tree->SelectItem(i);
      }
    }
    important = plain = -1;
    for (int i = 0; i < list->GetItemCount(); ++i) {
      if (list->GetItemRed(i)) important = i;
      if (list->GetItemText(i, 0) == u"第一篇 plain") plain = i;
    }
  }

  CRect RowRect(int row) {
    CRect r;
    list->GetItemRect(row, &r, LVIR_BOUNDS);
    return r;
  }

  ProvisionedRoot root;
  termui::HostWindows windows;
  CDARUTreeCtrl* tree = nullptr;
  CDARUListCtrl* list = nullptr;
  desktop::ImageCache images;
  int important = -1, plain = -1;
};

TEST_F(ReplayTest, TheListShowsImportantRowsRedItsIconsAndTheSelection) {
  ASSERT_EQ(list->GetItemCount(), 3);
  ASSERT_GE(important, 0);
  ASSERT_GE(plain, 0);
  list->SetItemState(plain, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  list->SetFocus();
  list->Invalidate();
  Surface s(640, 300);
  EXPECT_TRUE(desktop::PaintAndReplay(s.cr(), *list, images));
  // The important row's title is red; the plain row's text has no red at all.
  CRect title;
  list->GetItemRect(important, &title, LVIR_LABEL);
  EXPECT_GT(s.Count(title, IsRed), 10);
  CRect plainRow = RowRect(plain);
  EXPECT_EQ(s.Count(plainRow, IsRed), 0);
  // The selected row lies on the selection colour, where the list filled it.
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  int filled = 0;
  for (const CDrawOp& op : list->GetDrawing().ops) {
    if (op.kind != CDrawOp::Kind::FillRect || op.color != highlight) continue;
    CRect inner = op.rect;
    inner.DeflateRect(1, 1);
    filled += s.Count(inner, [&](Pixel p) { return Near(p, highlight); });
    EXPECT_TRUE(CRect().IntersectRect(op.rect, plainRow)) << "the selection colour lies on the selected row only";
  }
  EXPECT_GT(filled, 50);
  // The row's icon is the image strip's picture, pixel for pixel where it is opaque.
  int images = 0;
  for (const CDrawOp& op : list->GetDrawing().ops) {
    if (op.kind != CDrawOp::Kind::Image || op.image < 0 || (op.format & ILD_SELECTED)) continue;
    CImageList* strip = CImageList::FromHandle(op.imageList);
    ASSERT_NE(strip, nullptr);
    const CSize size = strip->GetImageSize();
    for (int y = 0; y < size.cy; ++y)
      for (int x = 0; x < size.cx; ++x) {
        const COLORREF c = strip->GetImagePixel(op.image, x, y);
        if (c == CLR_NONE) continue;
        EXPECT_TRUE(Near(s.At(op.origin.x + x, op.origin.y + y), c)) << x << "," << y;
        ++images;
      }
  }
  EXPECT_GT(images, 20);
}

TEST_F(ReplayTest, ATitleWiderThanItsColumnStaysInsideItInEveryScale) {
  ASSERT_GE(important, 0);
  CHeaderCtrl* header = list->GetHeaderCtrl();
  ASSERT_NE(header, nullptr);
  HDITEM item{};
  item.mask = HDI_WIDTH;
  item.cxy = 160;
  header->SetItem(0, &item);
  list->Invalidate();
  CRect title;
  list->GetItemRect(important, &title, LVIR_LABEL);
  for (int scale : {1, 2}) {
    Surface s(640, 300, scale);
    desktop::PaintAndReplay(s.cr(), *list, images);
    // The next column's text on that row (the date, red as well) starts past the edge.
    int next = 640;
    for (const CDrawOp* op : list->GetDrawing().Texts())
      if (op->origin.y >= title.top && op->origin.y < title.bottom && op->origin.x >= 160)
        next = std::min<int>(next, op->origin.x);
    ASSERT_GT(next, 161) << "no gap between the columns' texts";
    // Text up to the column's edge, and no ink past it before the next column's text.
    EXPECT_GT(s.Count(CRect(title.left, title.top, 160, title.bottom), IsRed), 10) << scale;
    EXPECT_EQ(s.Count(CRect(160, title.top, next, title.bottom), IsRed), 0) << scale;
    // The header shows its column titles.
    EXPECT_GT(s.Count(CRect(0, 0, 160, list->GetHeaderHeight()), IsInk), 10) << scale;
    list->Invalidate();
  }
}

TEST_F(ReplayTest, TheTreeShowsItsButtonsTheDropHighlightAndTheDragImage) {
  Surface s(240, 300);
  tree->Invalidate();
  desktop::PaintAndReplay(s.cr(), *tree, images);
  desktop::DrawTreeLines(s.cr(), *tree);
  // The head label has children: its expand button is drawn left of its icon.
  HTREEITEM head = tree->GetRootItem();
  ASSERT_TRUE(tree->ItemHasChildren(head));
  CRect r;
  tree->GetItemRect(head, &r, FALSE);
  const int indent = static_cast<int>(tree->GetIndent());
  const int cx = indent / 2, cy = r.top + r.Height() / 2;
  EXPECT_GT(s.Count(CRect(cx - 5, cy - 5, cx + 6, cy + 6), IsInk), 8);
  // A drop target lies on the selection colour.
  HTREEITEM target = tree->GetChildItem(head);
  ASSERT_NE(target, nullptr);
  tree->SelectDropTarget(target);
  Surface drop(240, 300);
  desktop::PaintAndReplay(drop.cr(), *tree, images);
  CRect label;
  tree->GetItemRect(target, &label, TRUE);
  label.DeflateRect(1, 1);
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  EXPECT_GT(drop.Count(label, [&](Pixel p) { return Near(p, highlight); }), label.Width() * label.Height() / 3);
  tree->SelectDropTarget(nullptr);
  // A drag image locked on the tree is drawn at its position, less its hot spot.
  CImageList* strip = tree->GetImageList(TVSIL_NORMAL);
  ASSERT_NE(strip, nullptr);
  ASSERT_TRUE(strip->BeginDrag(2, CPoint(0, 0)));
  CImageList::DragEnter(tree, CPoint(100, 200));
  Surface dragged(240, 300);
  desktop::DrawDragImage(dragged.cr(), tree->GetSafeHwnd(), images);
  CImageList::DragLeave(tree);
  CImageList::EndDrag();
  EXPECT_GT(dragged.Count(CRect(100, 200, 116, 215), [](Pixel p) { return p.r < 250 || p.g < 250 || p.b < 250; }), 20);
  EXPECT_EQ(dragged.Count(CRect(0, 0, 100, 200), [](Pixel p) { return p.r < 250 || p.g < 250 || p.b < 250; }), 0);
}

// The frame reflects each notification to its control once: one right click, one menu.
// Measured by the replay's fonts, a label's box holds its text as drawn: a
// selected label's white text never runs past its highlight.
TEST_F(ReplayTest, ALabelsBoxHoldsItsTextAsTheReplayDrawsIt) {
  desktop::ReplayTextMeasure measure;
  tree->MoveWindow(0, 0, 480, 300);
  HTREEITEM item = tree->GetChildItem(tree->GetRootItem());
  ASSERT_NE(item, nullptr);
  for (const std::u16string text : {u"Channel Kappa", u"WWW mmm Wide Latin 科技 mixed", u"iiii llll"}) {
    tree->SetItemText(item, text.c_str());
    CRect box;
    ASSERT_TRUE(tree->GetItemRect(item, &box, TRUE));
    Surface s(480, 300);
    tree->Invalidate();
    desktop::PaintAndReplay(s.cr(), *tree, images);
    int rightmost = -1;
    for (int y = box.top; y < box.bottom; ++y)
      for (int x = box.left; x < 480; ++x)
        if (IsInk(s.At(x, y))) rightmost = std::max(rightmost, x);
    EXPECT_LT(rightmost, box.right) << ToUtf8(text);
    EXPECT_GT(rightmost, box.right - 12) << ToUtf8(text) << ": the box is no wider than its text needs";
  }
}

TEST_F(ReplayTest, ARightClickOnALabelOpensItsMenuOnce) {
  struct Counting : IUserInteraction {
    int menus = 0;
    int MessageBox(const std::u16string&, const std::u16string&, UINT) override { return IDOK; }
    UINT TrackPopupMenu(const CPopupMenuView&) override {
      ++menus;
      return 0;
    }
  } user;
  CScopedUserInteraction scope(&user);
  HTREEITEM item = tree->GetSelectedItem();
  ASSERT_NE(item, nullptr);
  CRect r;
  ASSERT_TRUE(tree->GetItemRect(item, &r, TRUE));
  InputRightClick(tree->GetSafeHwnd(), CPoint(r.left + 2, r.CenterPoint().y));
  EXPECT_EQ(user.menus, 1);
}

// The label picker's tree: a check box in each item's state icon place, ticked where checked.
TEST_F(ReplayTest, ATreeWithCheckBoxesShowsThemTickedWhereChecked) {
  CTreeCtrl picker;
  ASSERT_TRUE(picker.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_CHECKBOXES,
                            CRect(0, 0, 200, 100), &windows.Frame(), 77));
  HTREEITEM clear = picker.InsertItem(u"科技");
  HTREEITEM ticked = picker.InsertItem(u"新闻");
  picker.SetCheck(ticked, TRUE);
  Surface s(200, 100);
  desktop::PaintAndReplay(s.cr(), picker, images);
  desktop::DrawTreeLines(s.cr(), picker);
  auto inside = [&](HTREEITEM item) {
    CRect r;
    picker.GetItemRect(item, &r, FALSE);
    const int x = static_cast<int>(picker.GetIndent()) + 4;  // the state icon right of the line column
    return s.Count(CRect(x, r.top + 4, x + 8, r.bottom - 4), IsInk);
  };
  EXPECT_EQ(inside(clear), 0);
  EXPECT_GT(inside(ticked), 5);
  // Its frame is drawn for both.
  CRect r;
  picker.GetItemRect(clear, &r, FALSE);
  const int x = static_cast<int>(picker.GetIndent()) + 2;
  EXPECT_GT(s.Count(CRect(x, r.top, x + 2, r.bottom), [](Pixel p) { return p.r < 200; }), 5);
  picker.DestroyWindow();
}

}  // namespace
