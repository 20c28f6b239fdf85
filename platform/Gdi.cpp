#include "platform/Gdi.h"

#include <array>
#include <cstdlib>
#include <memory>
#include <unordered_map>

#include "platform/Resources.h"

IMPLEMENT_DYNAMIC(CGdiObject, CObject)
IMPLEMENT_DYNAMIC(CBitmap, CGdiObject)
IMPLEMENT_DYNAMIC(CFont, CGdiObject)
IMPLEMENT_DYNAMIC(CBrush, CGdiObject)

namespace {

enum class Kind { Bitmap, Font, Brush };

struct Entry {
  Kind kind = Kind::Brush;
  bool stock = false;
  CBitmapPixels bitmap;
  LOGFONT font;
  COLORREF brush = CLR_NONE;
  CGdiObject* owner = nullptr;         // the wrapper holding the handle; not owned
  std::unique_ptr<CGdiObject> shared;  // owned; the non-owning wrapper FromHandle hands out
};

struct Store {
  std::unordered_map<uintptr_t, Entry> objects;
  uintptr_t next = 1;
  int live = 0;
};

// Never destroyed: windows and GDI objects with static lifetime may outlive any other static.
Store& TheStore() {
  static Store* store = new Store;
  return *store;
}

uintptr_t Key(HGDIOBJ h) { return reinterpret_cast<uintptr_t>(h); }

Entry* Find(HGDIOBJ h) {
  if (h == nullptr) return nullptr;
  auto it = TheStore().objects.find(Key(h));
  return it == TheStore().objects.end() ? nullptr : &it->second;
}

HGDIOBJ NewObject(Entry entry) {
  Store& s = TheStore();
  uintptr_t key = (s.next++) << 4;
  if (!entry.stock) ++s.live;
  s.objects.emplace(key, std::move(entry));
  return reinterpret_cast<HGDIOBJ>(key);
}

constexpr std::array<COLORREF, 31> kClassicColours = {
    RGB(212, 208, 200), RGB(58, 110, 165),  RGB(10, 36, 106),   RGB(128, 128, 128), RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(212, 208, 200), RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),       RGB(255, 255, 225),
    RGB(181, 181, 181), RGB(0, 0, 128),     RGB(166, 202, 240), RGB(192, 192, 192), RGB(10, 36, 106),
    RGB(212, 208, 200)};

std::array<COLORREF, 31>& Colours() {
  static std::array<COLORREF, 31> colours = kClassicColours;
  return colours;
}

bool IsWide(char16_t ch) {
  return (ch >= 0x1100 && ch <= 0x115F) || (ch >= 0x2E80 && ch <= 0xA4CF) || (ch >= 0xAC00 && ch <= 0xD7A3) ||
         (ch >= 0xD800 && ch <= 0xDBFF) || (ch >= 0xF900 && ch <= 0xFAFF) || (ch >= 0xFE30 && ch <= 0xFE4F) ||
         (ch >= 0xFF00 && ch <= 0xFF60) || (ch >= 0xFFE0 && ch <= 0xFFE6);
}

template <class T>
T* WrapperFor(HGDIOBJ h, Kind kind) {
  Entry* e = Find(h);
  if (e == nullptr || e->kind != kind) return nullptr;
  if (e->owner != nullptr) return static_cast<T*>(e->owner);
  if (!e->shared) {
    auto w = std::make_unique<T>();
    w->m_hObject = h;
    e->shared = std::move(w);
  }
  return static_cast<T*>(e->shared.get());
}

}  // namespace

COLORREF daru::GetSysColor(int nIndex) {
  if (nIndex < 0 || nIndex >= static_cast<int>(Colours().size())) return 0;
  return Colours()[static_cast<size_t>(nIndex)];
}

namespace {
// The window layer tells its windows about a colour change; drawing knows no windows.
void (*&SysColorListener())() {
  static void (*listener)() = nullptr;
  return listener;
}
}  // namespace

BOOL daru::SetSysColors(int cElements, const int* lpaElements, const COLORREF* lpaRgbValues) {
  for (int i = 0; i < cElements; ++i) {
    int index = lpaElements[i];
    if (index >= 0 && index < static_cast<int>(Colours().size()))
      Colours()[static_cast<size_t>(index)] = lpaRgbValues[i];
  }
  if (SysColorListener()) SysColorListener()();
  return TRUE;
}

void DaruSetSysColorListener(void (*listener)()) { SysColorListener() = listener; }

void ResetSysColors() { Colours() = kClassicColours; }

int DaruFontHeight(const LOGFONT& font) { return font.lfHeight == 0 ? 12 : std::abs(font.lfHeight); }

int DaruCharWidth(char16_t ch, const LOGFONT& font) {
  if (ch >= 0xDC00 && ch <= 0xDFFF) return 0;
  int h = DaruFontHeight(font);
  int w = IsWide(ch) ? h : h / 2;
  return w + (font.lfWeight >= FW_SEMIBOLD ? 1 : 0);
}

namespace {

int (*g_textMeasure)(std::u16string_view, const LOGFONT&) = nullptr;

}  // namespace

void DaruSetTextMeasure(int (*measure)(std::u16string_view text, const LOGFONT& font)) { g_textMeasure = measure; }

int DaruTextWidth(std::u16string_view text, const LOGFONT& font) {
  if (g_textMeasure != nullptr) return g_textMeasure(text, font);
  int w = 0;
  for (char16_t ch : text) w += DaruCharWidth(ch, font);
  return w;
}

// ---- CGdiObject ----

CGdiObject::CGdiObject() : m_hObject(nullptr) {}

CGdiObject::~CGdiObject() {
  Entry* e = Find(m_hObject);
  if (e != nullptr && e->owner == this) {
    DeleteObject();
  } else if (e != nullptr && e->shared.get() == this) {
    m_hObject = nullptr;  // a shared wrapper never deletes what it shows
  }
}

BOOL CGdiObject::Attach(HGDIOBJ hObject) {
  Entry* e = Find(hObject);
  if (e == nullptr || m_hObject != nullptr) return FALSE;
  m_hObject = hObject;
  if (e->owner == nullptr && !e->stock) e->owner = this;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ h = m_hObject;
  if (Entry* e = Find(h); e != nullptr && e->owner == this) e->owner = nullptr;
  m_hObject = nullptr;
  return h;
}

BOOL CGdiObject::DeleteObject() {
  HGDIOBJ h = m_hObject;
  Entry* e = Find(h);
  if (e == nullptr) {
    m_hObject = nullptr;
    return FALSE;
  }
  if (e->stock) return FALSE;
  if (e->owner != nullptr && e->owner != this) e->owner->m_hObject = nullptr;
  if (e->shared) e->shared->m_hObject = nullptr;
  m_hObject = nullptr;
  TheStore().objects.erase(Key(h));
  --TheStore().live;
  return TRUE;
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ hObject) {
  Entry* e = Find(hObject);
  if (e == nullptr) return nullptr;
  switch (e->kind) {
    case Kind::Bitmap:
      return WrapperFor<CBitmap>(hObject, Kind::Bitmap);
    case Kind::Font:
      return WrapperFor<CFont>(hObject, Kind::Font);
    case Kind::Brush:
      return WrapperFor<CBrush>(hObject, Kind::Brush);
  }
  return nullptr;
}

// ---- CBitmap ----

CBitmap::CBitmap() = default;
CBitmap::~CBitmap() = default;

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
  const CBitmapPixels* res = AfxFindBitmap(nIDResource);
  if (res == nullptr) return FALSE;
  return CreateFromPixels(res->width, res->height, res->pixels);
}

BOOL CBitmap::LoadMappedBitmap(UINT nIDBitmap, UINT, LPCOLORMAP lpColorMap, int nMapSize) {
  const CBitmapPixels* res = AfxFindBitmap(nIDBitmap);
  if (res == nullptr) return FALSE;
  std::vector<COLORMAP> map;
  if (lpColorMap != nullptr && nMapSize > 0) {
    map.assign(lpColorMap, lpColorMap + nMapSize);
  } else {
    map = {{RGB(0, 0, 0), GetSysColor(COLOR_BTNTEXT)},
           {RGB(128, 128, 128), GetSysColor(COLOR_BTNSHADOW)},
           {RGB(192, 192, 192), GetSysColor(COLOR_BTNFACE)},
           {RGB(255, 255, 255), GetSysColor(COLOR_BTNHIGHLIGHT)}};
  }
  std::vector<COLORREF> pixels = res->pixels;
  for (COLORREF& p : pixels) {
    for (const COLORMAP& m : map) {
      if (p == m.from) {
        p = m.to;
        break;
      }
    }
  }
  return CreateFromPixels(res->width, res->height, pixels);
}

BOOL CBitmap::CreateFromPixels(int width, int height, const std::vector<COLORREF>& pixels) {
  if (m_hObject != nullptr || width <= 0 || height <= 0) return FALSE;
  if (pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) return FALSE;
  Entry e;
  e.kind = Kind::Bitmap;
  e.bitmap = CBitmapPixels{width, height, pixels};
  e.owner = this;
  m_hObject = NewObject(std::move(e));
  return TRUE;
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const {
  const CBitmapPixels* px = DaruGetBitmapPixels(m_hObject);
  if (px == nullptr || pBitMap == nullptr) return 0;
  *pBitMap = BITMAP{0, px->width, px->height, px->width * 4, 1, 32, nullptr};
  return static_cast<int>(sizeof(BITMAP));
}

CSize CBitmap::GetSize() const {
  const CBitmapPixels* px = DaruGetBitmapPixels(m_hObject);
  return px ? CSize(px->width, px->height) : CSize();
}

COLORREF CBitmap::GetPixel(int x, int y) const {
  const CBitmapPixels* px = DaruGetBitmapPixels(m_hObject);
  if (px == nullptr || x < 0 || y < 0 || x >= px->width || y >= px->height) return CLR_NONE;
  return px->pixels[static_cast<size_t>(y) * static_cast<size_t>(px->width) + static_cast<size_t>(x)];
}

CBitmap* CBitmap::FromHandle(HBITMAP hBitmap) { return WrapperFor<CBitmap>(hBitmap, Kind::Bitmap); }

// ---- CFont ----

CFont::CFont() = default;
CFont::~CFont() = default;

BOOL CFont::CreateFontIndirect(const LOGFONT* lpLogFont) {
  if (m_hObject != nullptr || lpLogFont == nullptr) return FALSE;
  Entry e;
  e.kind = Kind::Font;
  e.font = *lpLogFont;
  e.owner = this;
  m_hObject = NewObject(std::move(e));
  return TRUE;
}

BOOL CFont::CreatePointFont(int nPointSize, const std::u16string& faceName) {
  LOGFONT lf;
  lf.lfHeight = -MulDiv(nPointSize, 96, 720);
  lf.lfFaceName = faceName;
  return CreateFontIndirect(&lf);
}

int CFont::GetLogFont(LOGFONT* pLogFont) const {
  const LOGFONT* lf = DaruGetLogFont(m_hObject);
  if (lf == nullptr || pLogFont == nullptr) return 0;
  *pLogFont = *lf;
  return static_cast<int>(sizeof(LOGFONT));
}

CFont* CFont::FromHandle(HFONT hFont) { return WrapperFor<CFont>(hFont, Kind::Font); }

// ---- CBrush ----

CBrush::CBrush() = default;
CBrush::CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }
CBrush::~CBrush() = default;

BOOL CBrush::CreateSolidBrush(COLORREF crColor) {
  if (m_hObject != nullptr) return FALSE;
  Entry e;
  e.kind = Kind::Brush;
  e.brush = crColor & 0xFFFFFF;
  e.owner = this;
  m_hObject = NewObject(std::move(e));
  return TRUE;
}

BOOL CBrush::CreateSysColorBrush(int nIndex) { return CreateSolidBrush(GetSysColor(nIndex)); }

COLORREF CBrush::GetColor() const { return DaruGetBrushColor(m_hObject); }

CBrush* CBrush::FromHandle(HBRUSH hBrush) { return WrapperFor<CBrush>(hBrush, Kind::Brush); }

// ---- Stock objects and accessors ----

HGDIOBJ daru::GetStockObject(int nIndex) {
  static std::unordered_map<int, HGDIOBJ> stock;
  auto it = stock.find(nIndex);
  if (it != stock.end()) return it->second;
  Entry e;
  e.stock = true;
  switch (nIndex) {
    case WHITE_BRUSH:
      e.kind = Kind::Brush;
      e.brush = RGB(255, 255, 255);
      break;
    case BLACK_BRUSH:
      e.kind = Kind::Brush;
      e.brush = RGB(0, 0, 0);
      break;
    case NULL_BRUSH:
      e.kind = Kind::Brush;
      e.brush = CLR_NONE;
      break;
    case SYSTEM_FONT:
      e.kind = Kind::Font;
      e.font.lfHeight = -16;
      e.font.lfWeight = FW_BOLD;
      e.font.lfFaceName = u"System";
      break;
    case DEFAULT_GUI_FONT:
      e.kind = Kind::Font;
      e.font.lfHeight = -12;
      e.font.lfFaceName = u"MS Shell Dlg";
      break;
    default:
      return nullptr;
  }
  HGDIOBJ h = NewObject(std::move(e));
  stock.emplace(nIndex, h);
  return h;
}

CFont* DaruDefaultGuiFont() { return CFont::FromHandle(GetStockObject(DEFAULT_GUI_FONT)); }

const CBitmapPixels* DaruGetBitmapPixels(HBITMAP hBitmap) {
  Entry* e = Find(hBitmap);
  return e && e->kind == Kind::Bitmap ? &e->bitmap : nullptr;
}

const LOGFONT* DaruGetLogFont(HFONT hFont) {
  Entry* e = Find(hFont);
  return e && e->kind == Kind::Font ? &e->font : nullptr;
}

COLORREF DaruGetBrushColor(HBRUSH hBrush) {
  Entry* e = Find(hBrush);
  return e && e->kind == Kind::Brush ? e->brush : CLR_NONE;
}

int DaruGdiObjectCount() { return TheStore().live; }
