#include "platform/DC.h"

#include <unordered_map>

#include "platform/Wnd.h"

IMPLEMENT_DYNAMIC(CDC, CObject)
IMPLEMENT_DYNAMIC(CPaintDC, CDC)
IMPLEMENT_DYNAMIC(CClientDC, CDC)

// Defined with the windows: starts a paint pass on the window's record.
void DaruBeginPaint(HWND hWnd);

namespace {

struct DCRegistry {
  std::unordered_map<uintptr_t, CDC*> dcs;
  uintptr_t next = 1;
};

DCRegistry& Registry() {
  static DCRegistry* reg = new DCRegistry;
  return *reg;
}

struct Saved {
  HFONT font;
  HBRUSH brush;
  COLORREF text;
  COLORREF bk;
  int mode;
  bool hasClip;
  CRect clip;
};

}  // namespace

struct CDC::State {
  HWND wnd = nullptr;
  CDrawingRecord own;
  HFONT font = nullptr;
  HBRUSH brush = nullptr;
  HBITMAP bitmap = nullptr;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  bool hasClip = false;
  CRect clip;
  std::vector<Saved> saved;
};

std::vector<const CDrawOp*> CDrawingRecord::Texts() const {
  std::vector<const CDrawOp*> out;
  for (const CDrawOp& op : ops)
    if (op.kind == CDrawOp::Kind::Text) out.push_back(&op);
  return out;
}

const CDrawOp* CDrawingRecord::FindText(const std::u16string& text) const {
  for (const CDrawOp& op : ops)
    if (op.kind == CDrawOp::Kind::Text && op.text == text) return &op;
  return nullptr;
}

std::vector<const CDrawOp*> CDrawingRecord::Within(CDrawOp::Kind kind, const RECT& area) const {
  std::vector<const CDrawOp*> out;
  for (const CDrawOp& op : ops) {
    CRect overlap;
    if (op.kind == kind && overlap.IntersectRect(op.rect, area)) out.push_back(&op);
  }
  return out;
}

std::u16string DaruEllipsize(const std::u16string& text, int width, const LOGFONT& font) {
  if (DaruTextWidth(text, font) <= width) return text;
  const int dots = DaruTextWidth(u"...", font);
  for (size_t k = text.size(); k-- > 0;) {
    if (DaruTextWidth(std::u16string_view(text).substr(0, k), font) + dots <= width) return text.substr(0, k) + u"...";
  }
  return u"...";
}

CDC::CDC() : m_hDC(nullptr), m_state(new State) {
  DCRegistry& reg = Registry();
  uintptr_t key = (reg.next++) << 4;
  m_hDC = reinterpret_cast<HDC>(key);
  reg.dcs.emplace(key, this);
  m_state->font = GetStockObject(DEFAULT_GUI_FONT);
  m_state->brush = GetStockObject(WHITE_BRUSH);
}

CDC::~CDC() {
  Registry().dcs.erase(reinterpret_cast<uintptr_t>(m_hDC));
  delete m_state;
}

CDC* CDC::FromHandle(HDC hDC) {
  auto it = Registry().dcs.find(reinterpret_cast<uintptr_t>(hDC));
  return it == Registry().dcs.end() ? nullptr : it->second;
}

BOOL CDC::CreateCompatibleDC(CDC*) {
  m_state->wnd = nullptr;
  m_state->own.Clear();
  return TRUE;
}

BOOL CDC::DeleteDC() {
  m_state->own.Clear();
  return TRUE;
}

void CDC::AttachToWindow(HWND hWnd) { m_state->wnd = hWnd; }

CWnd* CDC::GetWindow() const { return CWnd::FromHandle(m_state->wnd); }

CDrawingRecord& CDC::Record() {
  if (CWnd* w = CWnd::FromHandle(m_state->wnd)) return w->DrawingForDC();
  return m_state->own;
}

CFont* CDC::SelectObject(CFont* pFont) {
  HFONT old = m_state->font;
  if (pFont != nullptr && pFont->m_hObject != nullptr) m_state->font = pFont->m_hObject;
  return CFont::FromHandle(old);
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
  HBRUSH old = m_state->brush;
  if (pBrush != nullptr && pBrush->m_hObject != nullptr) m_state->brush = pBrush->m_hObject;
  return CBrush::FromHandle(old);
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
  HBITMAP old = m_state->bitmap;
  m_state->bitmap = pBitmap ? pBitmap->m_hObject : nullptr;
  return CBitmap::FromHandle(old);
}

CGdiObject* CDC::SelectStockObject(int nIndex) {
  HGDIOBJ h = GetStockObject(nIndex);
  if (DaruGetLogFont(h) != nullptr) return SelectObject(CFont::FromHandle(h));
  return SelectObject(CBrush::FromHandle(h));
}

CFont* CDC::GetCurrentFont() const { return CFont::FromHandle(m_state->font); }
CBrush* CDC::GetCurrentBrush() const { return CBrush::FromHandle(m_state->brush); }

LOGFONT CDC::CurrentLogFont() const {
  const LOGFONT* lf = DaruGetLogFont(m_state->font);
  if (lf == nullptr) lf = DaruGetLogFont(GetStockObject(DEFAULT_GUI_FONT));
  return *lf;
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
  COLORREF old = m_state->textColor;
  m_state->textColor = crColor;
  return old;
}
COLORREF CDC::GetTextColor() const { return m_state->textColor; }
COLORREF CDC::SetBkColor(COLORREF crColor) {
  COLORREF old = m_state->bkColor;
  m_state->bkColor = crColor;
  return old;
}
COLORREF CDC::GetBkColor() const { return m_state->bkColor; }
int CDC::SetBkMode(int nBkMode) {
  int old = m_state->bkMode;
  m_state->bkMode = nBkMode;
  return old;
}
int CDC::GetBkMode() const { return m_state->bkMode; }

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) {
  if (lpRect == nullptr) return;
  CRect r(*lpRect);
  if (m_state->hasClip && !r.IntersectRect(r, m_state->clip)) return;
  if (r.IsRectEmpty()) return;
  CDrawOp op;
  op.kind = CDrawOp::Kind::FillRect;
  op.rect = r;
  op.origin = r.TopLeft();
  op.color = clr & 0xFFFFFF;
  Record().ops.push_back(std::move(op));
  // As with the real call, the background colour is left at the fill colour.
  m_state->bkColor = clr;
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
  CRect r(x, y, x + cx, y + cy);
  FillSolidRect(&r, clr);
}

BOOL CDC::FillRect(LPCRECT lpRect, CBrush* pBrush) {
  if (lpRect == nullptr || pBrush == nullptr) return FALSE;
  COLORREF c = DaruGetBrushColor(pBrush->m_hObject);
  if (c == CLR_NONE) return TRUE;
  COLORREF keep = m_state->bkColor;
  FillSolidRect(lpRect, c);
  m_state->bkColor = keep;
  return TRUE;
}

void CDC::DrawFocusRect(LPCRECT lpRect) {
  if (lpRect == nullptr) return;
  CDrawOp op;
  op.kind = CDrawOp::Kind::FocusRect;
  op.rect = *lpRect;
  op.origin = op.rect.TopLeft();
  op.clipped = m_state->hasClip;
  op.clip = m_state->clip;
  Record().ops.push_back(std::move(op));
}

namespace {

std::vector<std::u16string> SplitLines(const std::u16string& text) {
  std::vector<std::u16string> lines(1);
  for (char16_t ch : text) {
    if (ch == u'\r') continue;
    if (ch == u'\n') {
      lines.emplace_back();
    } else {
      lines.back().push_back(ch);
    }
  }
  return lines;
}

}  // namespace

int CDC::DrawText(const std::u16string& text, LPRECT lpRect, UINT nFormat) {
  if (lpRect == nullptr) return 0;
  const LOGFONT lf = CurrentLogFont();
  const int h = DaruFontHeight(lf);
  CRect r(*lpRect);
  std::vector<std::u16string> lines = (nFormat & DT_SINGLELINE) ? std::vector<std::u16string>{text} : SplitLines(text);
  if (nFormat & DT_END_ELLIPSIS)
    for (auto& line : lines) line = DaruEllipsize(line, r.Width(), lf);
  const int total = h * static_cast<int>(lines.size());
  if (nFormat & DT_CALCRECT) {
    int widest = 0;
    for (const auto& line : lines) widest = std::max(widest, DaruTextWidth(line, lf));
    lpRect->right = lpRect->left + widest;
    lpRect->bottom = lpRect->top + total;
    return total;
  }
  int y = r.top;
  if (nFormat & DT_SINGLELINE) {
    if (nFormat & DT_VCENTER) {
      y = r.top + (r.Height() - h) / 2;
    } else if (nFormat & DT_BOTTOM) {
      y = r.bottom - h;
    }
  }
  CRect clip = r;
  bool clipped = !(nFormat & DT_NOCLIP);
  if (m_state->hasClip) {
    if (clipped) {
      clip.IntersectRect(clip, m_state->clip);
    } else {
      clip = m_state->clip;
      clipped = true;
    }
  }
  for (const auto& line : lines) {
    const int w = DaruTextWidth(line, lf);
    int x = r.left;
    if (nFormat & DT_CENTER) {
      x = r.left + (r.Width() - w) / 2;
    } else if (nFormat & DT_RIGHT) {
      x = r.right - w;
    }
    CDrawOp op;
    op.kind = CDrawOp::Kind::Text;
    op.rect = r;
    op.origin = CPoint(x, y);
    op.text = line;
    op.color = m_state->textColor;
    op.bkColor = m_state->bkColor;
    op.bkMode = m_state->bkMode;
    op.font = lf;
    op.format = nFormat;
    op.clipped = clipped;
    op.clip = clip;
    Record().ops.push_back(std::move(op));
    y += h;
  }
  return total;
}

BOOL CDC::TextOut(int x, int y, const std::u16string& text) { return ExtTextOut(x, y, 0, nullptr, text); }

BOOL CDC::ExtTextOut(int x, int y, UINT nOptions, LPCRECT lpRect, const std::u16string& text) {
  const LOGFONT lf = CurrentLogFont();
  if ((nOptions & ETO_OPAQUE) && lpRect != nullptr) {
    COLORREF keep = m_state->bkColor;
    FillSolidRect(lpRect, keep);
  }
  CDrawOp op;
  op.kind = CDrawOp::Kind::Text;
  op.origin = CPoint(x, y);
  op.rect = CRect(x, y, x + DaruTextWidth(text, lf), y + DaruFontHeight(lf));
  op.text = text;
  op.color = m_state->textColor;
  op.bkColor = m_state->bkColor;
  op.bkMode = m_state->bkMode;
  op.font = lf;
  op.format = nOptions;
  if ((nOptions & ETO_CLIPPED) && lpRect != nullptr) {
    op.clipped = true;
    op.clip = *lpRect;
    if (m_state->hasClip) op.clip.IntersectRect(op.clip, m_state->clip);
  } else if (m_state->hasClip) {
    op.clipped = true;
    op.clip = m_state->clip;
  }
  Record().ops.push_back(std::move(op));
  return TRUE;
}

CSize CDC::GetTextExtent(const std::u16string& text) const {
  const LOGFONT lf = CurrentLogFont();
  return CSize(DaruTextWidth(text, lf), DaruFontHeight(lf));
}

BOOL CDC::GetTextMetrics(TEXTMETRIC* lpMetrics) const {
  if (lpMetrics == nullptr) return FALSE;
  const LOGFONT lf = CurrentLogFont();
  const int h = DaruFontHeight(lf);
  const LONG bold = lf.lfWeight >= FW_SEMIBOLD ? 1 : 0;
  *lpMetrics = TEXTMETRIC{h, h - h / 4, h / 4, 0, 0, h / 2 + bold, h + bold, lf.lfWeight};
  return TRUE;
}

void CDC::RecordImage(HIMAGELIST hImageList, int nImage, POINT pt, SIZE size, UINT nStyle) {
  CDrawOp op;
  op.kind = CDrawOp::Kind::Image;
  op.origin = pt;
  op.rect = CRect(pt, size);
  op.imageList = hImageList;
  op.image = nImage;
  op.format = nStyle;
  op.clipped = m_state->hasClip;
  op.clip = m_state->clip;
  Record().ops.push_back(std::move(op));
}

int CDC::IntersectClipRect(LPCRECT lpRect) {
  if (lpRect == nullptr) return SIMPLEREGION;
  CRect r(*lpRect);
  if (m_state->hasClip) r.IntersectRect(r, m_state->clip);
  m_state->hasClip = true;
  m_state->clip = r;
  return r.IsRectEmpty() ? NULLREGION : SIMPLEREGION;
}

int CDC::IntersectClipRect(int x1, int y1, int x2, int y2) {
  CRect r(x1, y1, x2, y2);
  return IntersectClipRect(&r);
}

int CDC::SelectClipRgn(std::nullptr_t) {
  m_state->hasClip = false;
  m_state->clip = CRect();
  return SIMPLEREGION;
}

int CDC::GetClipBox(LPRECT lpRect) const {
  if (lpRect == nullptr) return 0;
  if (m_state->hasClip) {
    *lpRect = m_state->clip;
  } else if (CWnd* w = CWnd::FromHandle(m_state->wnd)) {
    w->GetClientRect(lpRect);
  } else {
    *lpRect = CRect();
  }
  return SIMPLEREGION;
}

int CDC::SaveDC() {
  m_state->saved.push_back(Saved{m_state->font, m_state->brush, m_state->textColor, m_state->bkColor, m_state->bkMode,
                                 m_state->hasClip, m_state->clip});
  return static_cast<int>(m_state->saved.size());
}

BOOL CDC::RestoreDC(int nSavedDC) {
  const int count = static_cast<int>(m_state->saved.size());
  int index = nSavedDC < 0 ? count + nSavedDC : nSavedDC - 1;
  if (index < 0 || index >= count) return FALSE;
  const Saved s = m_state->saved[static_cast<size_t>(index)];
  m_state->saved.resize(static_cast<size_t>(index));
  m_state->font = s.font;
  m_state->brush = s.brush;
  m_state->textColor = s.text;
  m_state->bkColor = s.bk;
  m_state->bkMode = s.mode;
  m_state->hasClip = s.hasClip;
  m_state->clip = s.clip;
  return TRUE;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
  AttachToWindow(m_hWnd);
  if (pWnd != nullptr) SelectObject(pWnd->GetFont());
  DaruBeginPaint(m_hWnd);
  if (m_hWnd != nullptr) ::SendMessage(m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(m_hDC), 0);
}

CPaintDC::~CPaintDC() = default;

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd ? pWnd->m_hWnd : nullptr) {
  AttachToWindow(m_hWnd);
  if (pWnd != nullptr) SelectObject(pWnd->GetFont());
}

CClientDC::~CClientDC() = default;
