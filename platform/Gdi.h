#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/RuntimeClass.h"
#include "platform/WinTypes.h"

// GDI objects (bitmaps, fonts, brushes), system colours and the fixed text
// metrics every measurement uses.
//
// Text metrics, fixed so that fitting text can be tested: a font's character
// height h is |lfHeight|, or 12 pixels when lfHeight is 0. A character is h/2
// pixels wide, or h pixels for a wide (East Asian) character; a high surrogate
// counts as one wide character and its low surrogate as nothing. A bold font
// (weight 600 or more) adds one pixel to every character. So with the default
// GUI font "abc" is 18 pixels wide, "标题" 24, "..." 18, and in bold 21, 26, 21.

constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_SEMIBOLD = 600;
constexpr LONG FW_BOLD = 700;

struct LOGFONT {
  LONG lfHeight = 0;
  LONG lfWidth = 0;
  LONG lfEscapement = 0;
  LONG lfOrientation = 0;
  LONG lfWeight = FW_NORMAL;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = 0;
  std::u16string lfFaceName;
};
using LPLOGFONT = LOGFONT*;

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};

struct COLORMAP {
  COLORREF from;
  COLORREF to;
};
using LPCOLORMAP = COLORMAP*;

// System colour indices.
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_HOTLIGHT = 26;

namespace daru {
// The classic Windows scheme: window white, text black, highlight
// RGB(10, 36, 106), button face RGB(212, 208, 200), grey text RGB(128, 128, 128).
DARU_API COLORREF GetSysColor(int nIndex);
// Changes system colours and calls the colour listener, through which the
// window layer sends WM_SYSCOLORCHANGE to every window.
DARU_API BOOL SetSysColors(int cElements, const int* lpaElements, const COLORREF* lpaRgbValues);
}  // namespace daru
using daru::GetSysColor;
using daru::SetSysColors;
DARU_API void DaruSetSysColorListener(void (*listener)());
// Back to the classic scheme, without notifying anyone (for tests).
void ResetSysColors();  // tests only

// Fixed text metrics (see above).
DARU_API int DaruFontHeight(const LOGFONT& font);
DARU_API int DaruCharWidth(char16_t ch, const LOGFONT& font);
DARU_API int DaruTextWidth(std::u16string_view text, const LOGFONT& font);
// A host that draws the windows' text with fonts of its own measures it for
// them too: the windows then size their items (a tree's labels, the "..."
// fitting) by what the host will draw. Null goes back to the fixed metrics.
DARU_API void DaruSetTextMeasure(int (*measure)(std::u16string_view text, const LOGFONT& font));

class DARU_API CGdiObject : public CObject {
  DECLARE_DYNAMIC(CGdiObject)
 public:
  CGdiObject();
  ~CGdiObject() override;  // deletes the GDI object it holds
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  HGDIOBJ m_hObject;  // the GDI object this wrapper owns; null when empty

  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  operator HGDIOBJ() const { return m_hObject; }
  BOOL Attach(HGDIOBJ hObject);
  HGDIOBJ Detach();
  BOOL DeleteObject();
  // The wrapper that owns the handle, or a shared non-owning one; null for an unknown handle.
  static CGdiObject* FromHandle(HGDIOBJ hObject);
};

class DARU_API CBitmap : public CGdiObject {
  DECLARE_DYNAMIC(CBitmap)
 public:
  CBitmap();
  ~CBitmap() override;

  // From the bitmap resources of the resource chain.
  BOOL LoadBitmap(UINT nIDResource);
  // Loads a bitmap resource replacing colours: with no map, black, dark grey,
  // light grey and white become the button text, shadow, face and highlight colours.
  BOOL LoadMappedBitmap(UINT nIDBitmap, UINT nFlags = 0, LPCOLORMAP lpColorMap = nullptr, int nMapSize = 0);
  // A bitmap of the given pixels (row by row from the top).
  BOOL CreateFromPixels(int width, int height, const std::vector<COLORREF>& pixels);
  int GetBitmap(BITMAP* pBitMap) const;
  CSize GetSize() const;
  COLORREF GetPixel(int x, int y) const;
  static CBitmap* FromHandle(HBITMAP hBitmap);
};

class DARU_API CFont : public CGdiObject {
  DECLARE_DYNAMIC(CFont)
 public:
  CFont();
  ~CFont() override;

  BOOL CreateFontIndirect(const LOGFONT* lpLogFont);
  // nPointSize in tenths of a point; at 96 dots per inch.
  BOOL CreatePointFont(int nPointSize, const std::u16string& faceName);
  int GetLogFont(LOGFONT* pLogFont) const;
  static CFont* FromHandle(HFONT hFont);
};

class DARU_API CBrush : public CGdiObject {
  DECLARE_DYNAMIC(CBrush)
 public:
  CBrush();
  explicit CBrush(COLORREF crColor);
  ~CBrush() override;

  BOOL CreateSolidBrush(COLORREF crColor);
  BOOL CreateSysColorBrush(int nIndex);
  COLORREF GetColor() const;
  static CBrush* FromHandle(HBRUSH hBrush);
};

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int SYSTEM_FONT = 13;
constexpr int DEFAULT_GUI_FONT = 17;
namespace daru {
// The stock object; stock objects are never deleted. DEFAULT_GUI_FONT is
// "MS Shell Dlg", lfHeight -12, normal weight.
DARU_API HGDIOBJ GetStockObject(int nIndex);
}  // namespace daru
using daru::GetStockObject;
DARU_API CFont* DaruDefaultGuiFont();

// Pixel data of a bitmap handle, for the image lists; null for an unknown handle.
struct CBitmapPixels {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;  // row by row from the top
};
DARU_API const CBitmapPixels* DaruGetBitmapPixels(HBITMAP hBitmap);
// The font description of a font handle; null for an unknown handle.
DARU_API const LOGFONT* DaruGetLogFont(HFONT hFont);
// The colour of a brush handle; CLR_NONE for the null brush or an unknown handle.
DARU_API COLORREF DaruGetBrushColor(HBRUSH hBrush);
// How many GDI objects exist now (stock objects not counted); tests use it to find leaks.
int DaruGdiObjectCount();  // tests only
