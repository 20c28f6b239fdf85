#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "PlatformFixture.h"
#include "platform/DC.h"
#include "platform/Gdi.h"
#include "platform/ImageList.h"
#include "platform/LibraryModule.h"
#include "platform/Resources.h"

namespace {

// A .bmp file image: 24 bits, bottom-up rows padded to four bytes.
std::vector<uint8_t> Bmp24(int width, int height, const std::vector<COLORREF>& topDownPixels) {
  const int stride = ((width * 24 + 31) / 32) * 4;
  std::vector<uint8_t> file(54 + static_cast<size_t>(stride * height), 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  file[26] = 1;
  file[28] = 24;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &file[54 + static_cast<size_t>(stride * (height - 1 - y))];
    for (int x = 0; x < width; ++x) {
      const COLORREF c = topDownPixels[static_cast<size_t>(y * width + x)];
      row[x * 3] = GetBValue(c);
      row[x * 3 + 1] = GetGValue(c);
      row[x * 3 + 2] = GetRValue(c);
    }
  }
  return file;
}

class DrawingTest : public PlatformTest {};

}  // namespace

TEST_F(DrawingTest, TextMetricsAreFixed) {
  LOGFONT normal;
  normal.lfHeight = -12;
  LOGFONT bold = normal;
  bold.lfWeight = FW_BOLD;
  EXPECT_EQ(DaruTextWidth(u"abc", normal), 18);
  EXPECT_EQ(DaruTextWidth(u"标题", normal), 24);
  EXPECT_EQ(DaruTextWidth(u"abc", bold), 21);
  EXPECT_EQ(DaruTextWidth(u"\U0001F600", normal), 12);  // one wide character for the pair
  LOGFONT nine;
  nine.lfHeight = -16;
  EXPECT_EQ(DaruTextWidth(u"ab", nine), 16);
  EXPECT_EQ(DaruEllipsize(u"abcdefgh", 48, normal), u"abcdefgh");
  EXPECT_EQ(DaruEllipsize(u"abcdefgh", 47, normal), u"abcd...");  // "abcde..." would need 48
  EXPECT_EQ(DaruEllipsize(u"abcdefgh", 10, normal), u"...");
}

TEST_F(DrawingTest, DrawTextPlacesClipsAndFits) {
  CDC dc;
  dc.CreateCompatibleDC(nullptr);
  dc.SetTextColor(RGB(255, 0, 0));
  CRect cell(10, 0, 110, 20);
  dc.DrawText(u"abc", &cell, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
  dc.DrawText(u"a long text that does not fit", &cell, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CENTER);
  dc.IntersectClipRect(0, 0, 50, 50);
  dc.TextOut(40, 5, u"xyz");
  CRect calc(0, 0, 0, 0);
  EXPECT_EQ(dc.DrawText(u"ab\r\nlonger", &calc, DT_CALCRECT), 24);
  EXPECT_EQ(calc, CRect(0, 0, 36, 24));
  const auto texts = dc.Record().Texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0]->origin, CPoint(110 - 18, 4));
  EXPECT_EQ(texts[0]->color, RGB(255, 0, 0));
  EXPECT_TRUE(texts[0]->clipped);
  EXPECT_EQ(texts[0]->clip, cell);
  EXPECT_EQ(texts[1]->text, u"a long text t...");  // 13 characters and the dots: 96 of 100 pixels
  EXPECT_EQ(texts[1]->origin.x, 10 + (100 - 96) / 2);
  EXPECT_TRUE(texts[2]->clipped);
  EXPECT_EQ(texts[2]->clip, CRect(0, 0, 50, 50));
}

TEST_F(DrawingTest, FontsBrushesAndSavedStates) {
  CDC dc;
  CFont bold;
  LOGFONT lf;
  DaruDefaultGuiFont()->GetLogFont(&lf);
  lf.lfWeight = FW_BOLD;
  const int objects = DaruGdiObjectCount();
  ASSERT_TRUE(bold.CreateFontIndirect(&lf));
  const int saved = dc.SaveDC();
  CFont* old = dc.SelectObject(&bold);
  EXPECT_EQ(old, DaruDefaultGuiFont());
  dc.SetBkColor(RGB(1, 1, 1));
  dc.TextOut(0, 0, u"粗");
  dc.RestoreDC(saved);
  dc.TextOut(0, 0, u"细");
  CBrush brush(RGB(250, 250, 250));
  CRect r(0, 0, 10, 10);
  dc.FillRect(&r, &brush);
  dc.FillSolidRect(2, 2, 3, 3, GetSysColor(COLOR_HIGHLIGHT));
  const auto& ops = dc.Record().ops;
  ASSERT_EQ(ops.size(), 4u);
  EXPECT_EQ(ops[0].font.lfWeight, FW_BOLD);
  EXPECT_EQ(ops[0].bkColor, RGB(1, 1, 1));
  EXPECT_EQ(ops[1].font.lfWeight, FW_NORMAL);
  EXPECT_EQ(ops[2].color, RGB(250, 250, 250));
  EXPECT_EQ(ops[3].color, RGB(10, 36, 106));
  EXPECT_EQ(dc.GetBkColor(), RGB(10, 36, 106));  // a solid fill leaves its colour as background
  EXPECT_EQ(DaruGdiObjectCount(), objects + 2);
  bold.DeleteObject();
  EXPECT_EQ(DaruGdiObjectCount(), objects + 1);
}

TEST_F(DrawingTest, SystemColoursAreClassicAndChangesReachEveryWindow) {
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(212, 208, 200));
  EXPECT_EQ(GetSysColor(COLOR_GRAYTEXT), RGB(128, 128, 128));
  int heard = 0;
  CHostWnd child([&](UINT m, WPARAM, LPARAM) -> LRESULT {
    if (m == WM_SYSCOLORCHANGE) ++heard;
    return 0;
  });
  child.CreateEx(0, nullptr, u"c", WS_CHILD, CRect(0, 0, 1, 1), &frame, 1);
  const int index = COLOR_GRAYTEXT;
  const COLORREF value = RGB(1, 2, 3);
  SetSysColors(1, &index, &value);
  EXPECT_EQ(GetSysColor(COLOR_GRAYTEXT), value);
  EXPECT_EQ(heard, 1);
  ResetSysColors();
  EXPECT_EQ(GetSysColor(COLOR_GRAYTEXT), RGB(128, 128, 128));
}

TEST_F(DrawingTest, BitmapsComeFromTheChainAndImageListsCutThem) {
  // A strip of two 2x2 images: the first red with a magenta corner, the second black.
  const COLORREF m = RGB(255, 0, 255), red = RGB(255, 0, 0), black = RGB(0, 0, 0);
  ASSERT_TRUE(resources.AddBitmapFromBmp(54004, Bmp24(4, 2, {m, red, black, black, red, red, black, black})));
  EXPECT_FALSE(resources.AddBitmapFromBmp(1, {'B', 'M', 0, 0}));
  CBitmap bitmap;
  ASSERT_TRUE(bitmap.LoadBitmap(54004));
  EXPECT_EQ(bitmap.GetSize(), CSize(4, 2));
  EXPECT_EQ(bitmap.GetPixel(0, 0), m);
  EXPECT_EQ(bitmap.GetPixel(1, 1), red);
  CImageList list;
  ASSERT_TRUE(list.Create(2, 2, ILC_COLOR24 | ILC_MASK, 6, 6));
  EXPECT_EQ(list.Add(&bitmap, m), 0);
  EXPECT_EQ(list.GetImageCount(), 2);
  EXPECT_EQ(list.GetImagePixel(0, 0, 0), CLR_NONE);  // the mask colour is transparent
  EXPECT_EQ(list.GetImagePixel(0, 1, 0), red);
  EXPECT_EQ(list.GetImagePixel(1, 0, 1), black);
  CDC dc;
  EXPECT_TRUE(list.Draw(&dc, 1, CPoint(5, 6), ILD_SELECTED));
  EXPECT_FALSE(list.Draw(&dc, 2, CPoint(5, 6), ILD_NORMAL));
  ASSERT_EQ(dc.Record().ops.size(), 1u);
  EXPECT_EQ(dc.Record().ops[0].rect, CRect(5, 6, 7, 8));
  EXPECT_EQ(dc.Record().ops[0].format, ILD_SELECTED);

  // Black becomes the grey-text colour when asked for.
  COLORMAP map{RGB(0, 0, 0), GetSysColor(COLOR_GRAYTEXT)};
  CBitmap mapped;
  ASSERT_TRUE(mapped.LoadMappedBitmap(54004, 0, &map, 1));
  EXPECT_EQ(mapped.GetPixel(2, 0), RGB(128, 128, 128));
  EXPECT_EQ(mapped.GetPixel(1, 0), red);
  EXPECT_FALSE(CBitmap().LoadBitmap(54005));

  DaruFailImageListCreate(1);
  CImageList failing;
  EXPECT_FALSE(failing.Create(16, 15, ILC_COLOR24 | ILC_MASK, 6, 6));
  EXPECT_TRUE(failing.Create(16, 15, ILC_COLOR24 | ILC_MASK, 6, 6));
}

TEST_F(DrawingTest, TheChainSearchesModulesInOrder) {
  CResourceModule host(u"host");
  host.AddString(7, u"host");
  resources.AddString(7, u"test");
  resources.AddString(8, u"only test");
  AfxInsertResourceModule(&host, true);
  std::u16string text;
  EXPECT_TRUE(AfxLoadString(7, text));
  EXPECT_EQ(text, u"host");
  EXPECT_TRUE(AfxLoadString(8, text));
  EXPECT_EQ(text, u"only test");
  AfxRemoveResourceModule(&host);
  EXPECT_TRUE(AfxLoadString(7, text));
  EXPECT_EQ(text, u"test");
  EXPECT_FALSE(AfxLoadString(9, text));
  // The library's module joined the chain when the library loaded.
  const auto chain = AfxGetResourceChain();
  EXPECT_NE(std::find(chain.begin(), chain.end(), &DaruLibraryResources()), chain.end());
}
