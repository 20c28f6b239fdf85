#pragma once

#include <string>
#include <vector>

#include "platform/Gdi.h"
#include "platform/WinTypes.h"

// Device contexts that record what is drawn instead of drawing it. A DC on a
// window writes into that window's drawing record; a paint pass (CPaintDC)
// starts the record afresh. Hosts and tests read the record.

class CWnd;

// DrawText formats.
constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_EXPANDTABS = 0x0040;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;
constexpr UINT DT_END_ELLIPSIS = 0x8000;

// ExtTextOut options.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

// Clip results.
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;

struct TEXTMETRIC {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
};

// One recorded drawing operation.
struct DARU_API CDrawOp {
  enum class Kind { FillRect, Text, FocusRect, Image };
  Kind kind = Kind::FillRect;
  CRect rect;  // filled area, text box (the formatting rectangle, or the text's extent for TextOut), focus rectangle,
               // image area
  CPoint origin;         // top-left corner of the drawn text or image
  std::u16string text;   // the text as drawn, after any ellipsis
  COLORREF color = 0;    // fill colour or text colour
  COLORREF bkColor = 0;  // text background colour (used when bkMode is OPAQUE)
  int bkMode = OPAQUE;
  LOGFONT font;          // the font the text was drawn with
  UINT format = 0;       // DT_ format of DrawText, ETO_ options of ExtTextOut, ILD_ style of an image
  bool clipped = false;  // whether clip applies
  CRect clip;            // the text or image is cut to this rectangle
  HIMAGELIST imageList = nullptr;
  int image = -1;
};

struct DARU_API CDrawingRecord {
  std::vector<CDrawOp> ops;
  void Clear() { ops.clear(); }
  // The text operations, in drawing order.
  std::vector<const CDrawOp*> Texts() const;
  // The first text operation drawing exactly that text, or null.
  const CDrawOp* FindText(const std::u16string& text) const;
  // The operations of a kind that intersect the rectangle.
  std::vector<const CDrawOp*> Within(CDrawOp::Kind kind, const RECT& area) const;
};

class DARU_API CDC : public CObject {
  DECLARE_DYNAMIC(CDC)
 public:
  CDC();
  ~CDC() override;
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  HDC m_hDC;  // registered while the DC exists

  static CDC* FromHandle(HDC hDC);
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }

  // A memory DC with a record of its own.
  BOOL CreateCompatibleDC(CDC* pDC);
  BOOL DeleteDC();
  // The window this DC draws on; null for a memory DC.
  CWnd* GetWindow() const;
  CDrawingRecord& Record();

  CFont* SelectObject(CFont* pFont);
  CBrush* SelectObject(CBrush* pBrush);
  CBitmap* SelectObject(CBitmap* pBitmap);
  CGdiObject* SelectStockObject(int nIndex);
  CFont* GetCurrentFont() const;
  CBrush* GetCurrentBrush() const;
  LOGFONT CurrentLogFont() const;

  COLORREF SetTextColor(COLORREF crColor);
  COLORREF GetTextColor() const;
  COLORREF SetBkColor(COLORREF crColor);
  COLORREF GetBkColor() const;
  int SetBkMode(int nBkMode);
  int GetBkMode() const;

  void FillSolidRect(LPCRECT lpRect, COLORREF clr);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
  BOOL FillRect(LPCRECT lpRect, CBrush* pBrush);
  void DrawFocusRect(LPCRECT lpRect);
  // Draws or (DT_CALCRECT) measures text; returns the height of the text.
  int DrawText(const std::u16string& text, LPRECT lpRect, UINT nFormat);
  BOOL TextOut(int x, int y, const std::u16string& text);
  BOOL ExtTextOut(int x, int y, UINT nOptions, LPCRECT lpRect, const std::u16string& text);
  CSize GetTextExtent(const std::u16string& text) const;
  BOOL GetTextMetrics(TEXTMETRIC* lpMetrics) const;
  // Records an image of an image list (CImageList::Draw comes here).
  void RecordImage(HIMAGELIST hImageList, int nImage, POINT pt, SIZE size, UINT nStyle);

  int IntersectClipRect(LPCRECT lpRect);
  int IntersectClipRect(int x1, int y1, int x2, int y2);
  int SelectClipRgn(std::nullptr_t);  // removes the clip
  int GetClipBox(LPRECT lpRect) const;
  int SaveDC();
  BOOL RestoreDC(int nSavedDC);

 protected:
  // Attaches the DC to a window's record.
  void AttachToWindow(HWND hWnd);

 private:
  struct State;
  State* m_state;  // owned
};

// The DC of a paint pass: sends WM_ERASEBKGND, starts the window's record afresh
// and validates the window when it goes.
class DARU_API CPaintDC : public CDC {
  DECLARE_DYNAMIC(CPaintDC)
 public:
  explicit CPaintDC(CWnd* pWnd);
  ~CPaintDC() override;
  HWND m_hWnd;
};

// A DC for drawing on a window outside a paint pass; adds to its record.
class DARU_API CClientDC : public CDC {
  DECLARE_DYNAMIC(CClientDC)
 public:
  explicit CClientDC(CWnd* pWnd);
  ~CClientDC() override;
  HWND m_hWnd;
};

// Fits text into a width the way DT_END_ELLIPSIS does: unchanged when it fits,
// else its longest prefix followed by "..." that fits, else "..." alone.
DARU_API std::u16string DaruEllipsize(const std::u16string& text, int width, const LOGFONT& font);
