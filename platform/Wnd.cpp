#include "platform/Wnd.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>

#include "platform/Clock.h"
#include "platform/CommCtrl.h"
#include "platform/DC.h"
#include "platform/Gdi.h"
#include "platform/MessageBox.h"

namespace {

struct CurrentMsg {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

struct WindowRegistry {
  std::unordered_map<uintptr_t, CWnd*> windows;
  std::vector<HWND> topLevel;
  uintptr_t next = 1;
  HWND focus = nullptr;
  HWND capture = nullptr;
  HWND locked = nullptr;
};

// Never destroyed, so windows with static lifetime can still unregister at exit.
WindowRegistry& Reg() {
  static WindowRegistry* reg = new WindowRegistry;
  return *reg;
}

uintptr_t Key(HWND h) { return reinterpret_cast<uintptr_t>(h); }

void RemoveHandle(std::vector<HWND>& list, HWND h) { list.erase(std::remove(list.begin(), list.end(), h), list.end()); }

}  // namespace

struct CWnd::State {
  std::u16string className;
  std::u16string text;
  HWND parent = nullptr;
  std::vector<HWND> children;
  UINT id = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  CRect rect;
  HFONT font = nullptr;
  bool updatePending = false;
  bool destroying = false;
  int invalidations = 0;
  int paints = 0;
  CurrentMsg* current = nullptr;  // the message being handled; points into a SendMessage frame
  CDrawingRecord drawing;
};

// Internal access for the free functions of this file.
struct WndAccess {
  static CWnd::State& S(CWnd* w) { return *w->m_state; }
  static void Detach(CWnd* w) { w->m_hWnd = nullptr; }
  static void PostNcDestroy(CWnd* w) { w->PostNcDestroy(); }
};

namespace {

LRESULT Deliver(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* w = CWnd::FromHandle(h);
  if (w == nullptr) return 0;
  CurrentMsg cur{message, wParam, lParam};
  CurrentMsg* saved = WndAccess::S(w).current;
  WndAccess::S(w).current = &cur;
  struct Restore {
    HWND h;
    CWnd* w;
    CurrentMsg* saved;
    ~Restore() {
      // The window may have been destroyed, and its object deleted, meanwhile.
      if (CWnd::FromHandle(h) == w) WndAccess::S(w).current = saved;
    }
  } restore{h, w, saved};
  return w->WindowProc(message, wParam, lParam);
}

void DestroyHandle(HWND h) {
  CWnd* w = CWnd::FromHandle(h);
  if (w == nullptr || WndAccess::S(w).destroying) return;
  WndAccess::S(w).destroying = true;
  WindowRegistry& reg = Reg();
  DaruKillWindowTimers(h);
  if (reg.capture == h) reg.capture = nullptr;
  if (reg.focus == h) reg.focus = nullptr;
  if (reg.locked == h) reg.locked = nullptr;
  Deliver(h, WM_DESTROY, 0, 0);
  if ((w = CWnd::FromHandle(h)) != nullptr) {
    const std::vector<HWND> children = WndAccess::S(w).children;
    for (HWND c : children) DestroyHandle(c);
  }
  Deliver(h, WM_NCDESTROY, 0, 0);
  w = CWnd::FromHandle(h);
  if (w == nullptr) return;
  auto& s = WndAccess::S(w);
  if (CWnd* parent = CWnd::FromHandle(s.parent)) {
    RemoveHandle(WndAccess::S(parent).children, h);
  } else {
    RemoveHandle(reg.topLevel, h);
  }
  reg.windows.erase(Key(h));
  WndAccess::Detach(w);
  s.destroying = false;
  s.children.clear();
  WndAccess::PostNcDestroy(w);  // may delete the object
}

bool IsLockedOrHidden(HWND h) {
  for (CWnd* w = CWnd::FromHandle(h); w != nullptr; w = w->GetParent()) {
    if (w->m_hWnd == Reg().locked) return true;
    if (!(w->GetStyle() & WS_VISIBLE)) return true;
  }
  return false;
}

}  // namespace

void DaruBeginPaint(HWND hWnd) {
  CWnd* w = CWnd::FromHandle(hWnd);
  if (w == nullptr) return;
  auto& s = WndAccess::S(w);
  s.drawing.Clear();
  s.updatePending = false;
  ++s.paints;
}

// ---- Free functions ----

LRESULT daru::SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return Deliver(hWnd, message, wParam, lParam);
}

BOOL daru::IsWindow(HWND hWnd) { return CWnd::FromHandle(hWnd) != nullptr; }

BOOL daru::DestroyWindow(HWND hWnd) {
  if (!IsWindow(hWnd)) return FALSE;
  DestroyHandle(hWnd);
  return TRUE;
}

HWND daru::GetParent(HWND hWnd) {
  CWnd* w = CWnd::FromHandle(hWnd);
  return w ? WndAccess::S(w).parent : nullptr;
}

BOOL daru::ClientToScreen(HWND hWnd, LPPOINT lpPoint) {
  CWnd* w = CWnd::FromHandle(hWnd);
  if (w == nullptr || lpPoint == nullptr) return FALSE;
  w->ClientToScreen(lpPoint);
  return TRUE;
}

BOOL daru::ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
  CWnd* w = CWnd::FromHandle(hWnd);
  if (w == nullptr || lpPoint == nullptr) return FALSE;
  w->ScreenToClient(lpPoint);
  return TRUE;
}

BOOL daru::GetClientRect(HWND hWnd, LPRECT lpRect) {
  CWnd* w = CWnd::FromHandle(hWnd);
  if (w == nullptr || lpRect == nullptr) return FALSE;
  w->GetClientRect(lpRect);
  return TRUE;
}

BOOL daru::GetWindowRect(HWND hWnd, LPRECT lpRect) {
  CWnd* w = CWnd::FromHandle(hWnd);
  if (w == nullptr || lpRect == nullptr) return FALSE;
  w->GetWindowRect(lpRect);
  return TRUE;
}

HWND daru::SetFocus(HWND hWnd) {
  WindowRegistry& reg = Reg();
  HWND old = reg.focus;
  if (hWnd == old) return old;
  if (hWnd != nullptr && !IsWindow(hWnd)) return nullptr;
  reg.focus = hWnd;
  if (old != nullptr && IsWindow(old)) Deliver(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
  if (hWnd != nullptr && reg.focus == hWnd) Deliver(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND daru::GetFocus() { return Reg().focus; }

HWND daru::SetCapture(HWND hWnd) {
  WindowRegistry& reg = Reg();
  HWND old = reg.capture;
  reg.capture = IsWindow(hWnd) ? hWnd : nullptr;
  if (old != nullptr && old != hWnd && IsWindow(old))
    Deliver(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hWnd));
  return old;
}

HWND daru::GetCapture() { return Reg().capture; }

BOOL daru::ReleaseCapture() {
  HWND old = Reg().capture;
  Reg().capture = nullptr;
  if (old != nullptr && IsWindow(old)) Deliver(old, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

BOOL daru::LockWindowUpdate(HWND hWndLock) {
  WindowRegistry& reg = Reg();
  if (hWndLock == nullptr) {
    HWND was = reg.locked;
    reg.locked = nullptr;
    if (CWnd* w = CWnd::FromHandle(was)) w->Invalidate();
    return TRUE;
  }
  if (!IsWindow(hWndLock)) return FALSE;
  if (reg.locked != nullptr && reg.locked != hWndLock) return FALSE;
  reg.locked = hWndLock;
  return TRUE;
}

std::vector<HWND> daru::GetTopLevelWindows() { return Reg().topLevel; }

// ---- CWnd ----

IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::CWnd() : m_hWnd(nullptr), m_state(std::make_unique<State>()) {}

CWnd::~CWnd() {
  if (m_hWnd != nullptr) DestroyHandle(m_hWnd);
}

CWnd* CWnd::FromHandle(HWND hWnd) {
  if (hWnd == nullptr) return nullptr;
  auto it = Reg().windows.find(Key(hWnd));
  return it == Reg().windows.end() ? nullptr : it->second;
}

std::u16string CWnd::GetClassName() const { return m_state->className; }

BOOL CWnd::Create(const char16_t* lpszClassName, const char16_t* lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID) {
  return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, const char16_t* lpszClassName, const char16_t* lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, void* lpParam) {
  if (m_hWnd != nullptr) return FALSE;
  if (pParentWnd != nullptr && pParentWnd->m_hWnd == nullptr) return FALSE;
  WindowRegistry& reg = Reg();
  const uintptr_t key = (reg.next++) << 4;
  HWND h = reinterpret_cast<HWND>(key);
  *m_state = State();
  m_state->className = lpszClassName ? lpszClassName : u"";
  m_state->text = lpszWindowName ? lpszWindowName : u"";
  m_state->style = dwStyle;
  m_state->exStyle = dwExStyle;
  m_state->rect = rect;
  m_state->rect.NormalizeRect();
  m_state->id = nID;
  m_state->parent = pParentWnd ? pParentWnd->m_hWnd : nullptr;
  m_state->updatePending = true;
  reg.windows.emplace(key, this);
  if (pParentWnd != nullptr) {
    pParentWnd->m_state->children.push_back(h);
  } else {
    reg.topLevel.push_back(h);
  }
  m_hWnd = h;
  PreSubclassWindow();
  CREATESTRUCT cs{lpParam,
                  m_state->parent,
                  nID,
                  m_state->rect.Height(),
                  m_state->rect.Width(),
                  m_state->rect.top,
                  m_state->rect.left,
                  static_cast<LONG>(dwStyle),
                  lpszWindowName,
                  lpszClassName,
                  dwExStyle};
  LRESULT r = Deliver(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs));
  if (r == -1) {
    DestroyHandle(h);
    return FALSE;
  }
  return IsWindow(h);
}

BOOL CWnd::DestroyWindow() {
  if (m_hWnd == nullptr) return FALSE;
  DestroyHandle(m_hWnd);
  return TRUE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return Deliver(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_COMMAND) {
    if (OnCommand(wParam, lParam)) {
      *pResult = 1;
      return TRUE;
    }
    return FALSE;
  }
  if (message == WM_NOTIFY) {
    if (lParam != 0 && OnNotify(wParam, lParam, pResult)) return TRUE;
    return FALSE;
  }
  if (message == WM_DRAWITEM && lParam != 0) {
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
    CWnd* child = FromHandle(dis->hwndItem);
    if (child != nullptr && child != this && child->OnChildNotify(message, wParam, lParam, pResult)) return TRUE;
  }
  AFX_MSGCALL call{message, wParam, lParam, 0, nullptr};
  if (DispatchToMap(message, 0, 0, call)) {
    *pResult = call.result;
    return TRUE;
  }
  return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      CPaintDC dc(this);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_SETTEXT:
      m_state->text = lParam ? reinterpret_cast<const char16_t*>(lParam) : u"";
      Invalidate();
      return TRUE;
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) return 0;
      auto* buf = reinterpret_cast<char16_t*>(lParam);
      const size_t n = std::min<size_t>(wParam - 1, m_state->text.size());
      std::copy_n(m_state->text.begin(), n, buf);
      buf[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(m_state->text.size());
    case WM_SETFONT:
      m_state->font = reinterpret_cast<HFONT>(wParam);
      if (lParam) Invalidate();
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(m_state->font);
    case WM_RBUTTONUP: {
      CPoint pt(lParam);
      ClientToScreen(&pt);
      SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_hWnd), MAKELPARAM(pt.x, pt.y));
      return 0;
    }
    case WM_CONTEXTMENU:
      // A child passes an unhandled context-menu request up to its parent.
      if (m_state->parent != nullptr) return ::SendMessage(m_state->parent, message, wParam, lParam);
      return 0;
    case WM_CLOSE:
      DestroyWindow();
      return 0;
    default:
      return 0;
  }
}

LRESULT CWnd::Default() {
  if (m_state->current == nullptr) return 0;
  const CurrentMsg cur = *m_state->current;
  return DefWindowProc(cur.message, cur.wParam, cur.lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT nID = LOWORD(wParam);
  UINT nCode = HIWORD(wParam);
  HWND hCtl = reinterpret_cast<HWND>(lParam);
  if (hCtl != nullptr) {
    CWnd* child = FromHandle(hCtl);
    LRESULT r = 0;
    if (child != nullptr && child != this && child->OnChildNotify(WM_COMMAND, wParam, lParam, &r)) return TRUE;
  } else {
    nCode = CN_COMMAND;  // menus and accelerators
  }
  return OnCmdMsg(nID, nCode, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  auto* nm = reinterpret_cast<NMHDR*>(lParam);
  const UINT code = nm->code;
  const UINT id = static_cast<UINT>(nm->idFrom);
  CWnd* child = FromHandle(nm->hwndFrom);
  if (child != nullptr && child != this && child->OnChildNotify(WM_NOTIFY, wParam, lParam, pResult)) return TRUE;
  AFX_MSGCALL call{WM_NOTIFY, wParam, lParam, 0, nullptr};
  if (DispatchToMap(WM_NOTIFY, code, id, call)) {
    *pResult = call.result;
    return TRUE;
  }
  return FALSE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  UINT code = 0;
  if (message == WM_NOTIFY) {
    code = reinterpret_cast<NMHDR*>(lParam)->code;
  } else if (message == WM_COMMAND) {
    code = HIWORD(wParam);
  }
  AFX_MSGCALL call{WM_REFLECT_BASE + message, wParam, lParam, 0, nullptr};
  if (!DispatchToMap(WM_REFLECT_BASE + message, code, 0, call)) return FALSE;
  if (pResult != nullptr) *pResult = call.result;
  return TRUE;
}

LRESULT CWnd::SendNotify(NMHDR* pNMHDR, UINT code) {
  pNMHDR->hwndFrom = m_hWnd;
  pNMHDR->idFrom = static_cast<UINT_PTR>(m_state->id);
  pNMHDR->code = code;
  if (m_state->parent != nullptr)
    return ::SendMessage(m_state->parent, WM_NOTIFY, pNMHDR->idFrom, reinterpret_cast<LPARAM>(pNMHDR));
  LRESULT r = 0;
  OnChildNotify(WM_NOTIFY, pNMHDR->idFrom, reinterpret_cast<LPARAM>(pNMHDR), &r);
  return r;
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep) {
  const std::vector<HWND> children = m_state->children;
  for (HWND c : children) {
    ::SendMessage(c, message, wParam, lParam);
    if (bDeep)
      if (CWnd* w = FromHandle(c)) w->SendMessageToDescendants(message, wParam, lParam, TRUE);
  }
}

CWnd* CWnd::GetParent() const { return FromHandle(m_state->parent); }

CWnd* CWnd::GetTopLevelParent() const {
  const CWnd* w = this;
  while (CWnd* p = w->GetParent()) w = p;
  return const_cast<CWnd*>(w);
}

std::vector<CWnd*> CWnd::GetChildren() const {
  std::vector<CWnd*> out;
  for (HWND c : m_state->children)
    if (CWnd* w = FromHandle(c)) out.push_back(w);
  return out;
}

CWnd* CWnd::GetDlgItem(int nID) const {
  for (HWND c : m_state->children) {
    CWnd* w = FromHandle(c);
    if (w != nullptr && static_cast<int>(w->m_state->id) == nID) return w;
  }
  return nullptr;
}

int CWnd::GetDlgCtrlID() const { return static_cast<int>(m_state->id); }

int CWnd::SetDlgCtrlID(int nID) {
  int old = static_cast<int>(m_state->id);
  m_state->id = static_cast<UINT>(nID);
  return old;
}

BOOL CWnd::IsChild(const CWnd* pWnd) const {
  for (const CWnd* w = pWnd ? pWnd->GetParent() : nullptr; w != nullptr; w = w->GetParent())
    if (w == this) return TRUE;
  return FALSE;
}

DWORD CWnd::GetStyle() const { return m_state->style; }
DWORD CWnd::GetExStyle() const { return m_state->exStyle; }

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT) {
  DWORD old = m_state->style;
  m_state->style = (old & ~dwRemove) | dwAdd;
  if (old != m_state->style) Invalidate();
  return old != m_state->style;
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT) {
  DWORD old = m_state->exStyle;
  m_state->exStyle = (old & ~dwRemove) | dwAdd;
  return old != m_state->exStyle;
}

void CWnd::SetWindowText(const std::u16string& text) {
  if (m_hWnd == nullptr) {
    m_state->text = text;
    return;
  }
  SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  // Texts with embedded nulls survive the message only in part; keep them whole.
  if (m_hWnd != nullptr) m_state->text = text;
}

std::u16string CWnd::GetWindowText() const { return m_state->text; }
int CWnd::GetWindowTextLength() const { return static_cast<int>(m_state->text.size()); }

void CWnd::SetDlgItemText(int nID, const std::u16string& text) {
  if (CWnd* w = GetDlgItem(nID)) w->SetWindowText(text);
}

std::u16string CWnd::GetDlgItemText(int nID) const {
  CWnd* w = GetDlgItem(nID);
  return w ? w->GetWindowText() : std::u16string();
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck) {
  if (CWnd* w = GetDlgItem(nIDButton)) w->SendMessage(BM_SETCHECK, nCheck, 0);
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
  CWnd* w = GetDlgItem(nIDButton);
  return w ? static_cast<UINT>(w->SendMessage(BM_GETCHECK, 0, 0)) : 0;
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
  if (m_hWnd == nullptr) {
    m_state->font = pFont ? pFont->m_hObject : nullptr;
    return;
  }
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(pFont ? pFont->m_hObject : nullptr), bRedraw);
}

CFont* CWnd::GetFont() const {
  if (CFont* f = CFont::FromHandle(m_state->font)) return f;
  return DaruDefaultGuiFont();
}

BOOL CWnd::ShowWindow(int nCmdShow) {
  const BOOL wasVisible = (m_state->style & WS_VISIBLE) ? TRUE : FALSE;
  if (nCmdShow == SW_HIDE) {
    m_state->style &= ~WS_VISIBLE;
  } else {
    m_state->style |= WS_VISIBLE;
    Invalidate();
  }
  return wasVisible;
}

BOOL CWnd::IsWindowVisible() const {
  for (const CWnd* w = this; w != nullptr; w = w->GetParent())
    if (!(w->m_state->style & WS_VISIBLE)) return FALSE;
  return m_hWnd != nullptr;
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
  const BOOL wasDisabled = (m_state->style & WS_DISABLED) ? TRUE : FALSE;
  if (bEnable) {
    m_state->style &= ~WS_DISABLED;
  } else {
    m_state->style |= WS_DISABLED;
  }
  if (wasDisabled != !bEnable) {
    SendMessage(WM_ENABLE, bEnable ? TRUE : FALSE, 0);
    Invalidate();
  }
  return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const { return (m_state->style & WS_DISABLED) ? FALSE : TRUE; }

void CWnd::GetClientRect(LPRECT lpRect) const {
  if (lpRect != nullptr) *lpRect = CRect(0, 0, m_state->rect.Width(), m_state->rect.Height());
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
  if (lpRect == nullptr) return;
  CRect r = m_state->rect;
  if (CWnd* p = GetParent()) p->ClientToScreen(&r);
  *lpRect = r;
}

void CWnd::MoveWindow(const RECT& rect, BOOL bRepaint) {
  CRect old = m_state->rect;
  m_state->rect = rect;
  m_state->rect.NormalizeRect();
  if (old.Width() != m_state->rect.Width() || old.Height() != m_state->rect.Height())
    SendMessage(WM_SIZE, 0, MAKELPARAM(m_state->rect.Width(), m_state->rect.Height()));
  if (bRepaint) Invalidate();
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
  MoveWindow(CRect(x, y, x + nWidth, y + nHeight), bRepaint);
}

void CWnd::ClientToScreen(LPPOINT lpPoint) const {
  if (lpPoint == nullptr) return;
  for (const CWnd* w = this; w != nullptr; w = w->GetParent()) {
    lpPoint->x += w->m_state->rect.left;
    lpPoint->y += w->m_state->rect.top;
  }
}

void CWnd::ClientToScreen(LPRECT lpRect) const {
  if (lpRect == nullptr) return;
  CPoint a(lpRect->left, lpRect->top), b(lpRect->right, lpRect->bottom);
  ClientToScreen(&a);
  ClientToScreen(&b);
  *lpRect = CRect(a.x, a.y, b.x, b.y);
}

void CWnd::ScreenToClient(LPPOINT lpPoint) const {
  if (lpPoint == nullptr) return;
  for (const CWnd* w = this; w != nullptr; w = w->GetParent()) {
    lpPoint->x -= w->m_state->rect.left;
    lpPoint->y -= w->m_state->rect.top;
  }
}

void CWnd::ScreenToClient(LPRECT lpRect) const {
  if (lpRect == nullptr) return;
  CPoint a(lpRect->left, lpRect->top), b(lpRect->right, lpRect->bottom);
  ScreenToClient(&a);
  ScreenToClient(&b);
  *lpRect = CRect(a.x, a.y, b.x, b.y);
}

int CWnd::GetScrollPos(int) const { return 0; }

void CWnd::Invalidate(BOOL) {
  ++m_state->invalidations;
  m_state->updatePending = true;
}

void CWnd::InvalidateRect(LPCRECT, BOOL bErase) { Invalidate(bErase); }

void CWnd::ValidateRect(LPCRECT) { m_state->updatePending = false; }

void CWnd::UpdateWindow() {
  if (m_hWnd == nullptr || !m_state->updatePending || IsLockedOrHidden(m_hWnd)) return;
  SendMessage(WM_PAINT);
  if (m_hWnd != nullptr) m_state->updatePending = false;
}

BOOL CWnd::RedrawWindow(LPCRECT lpRectUpdate, UINT) {
  InvalidateRect(lpRectUpdate);
  UpdateWindow();
  return TRUE;
}

BOOL CWnd::LockWindowUpdate() { return ::LockWindowUpdate(m_hWnd); }

void CWnd::UnlockWindowUpdate() {
  if (Reg().locked == m_hWnd) ::LockWindowUpdate(nullptr);
}

HWND CWnd::GetLockedWindow() { return Reg().locked; }
BOOL CWnd::IsUpdatePending() const { return m_state->updatePending ? TRUE : FALSE; }
int CWnd::GetInvalidateCount() const { return m_state->invalidations; }
int CWnd::GetPaintCount() const { return m_state->paints; }
const CDrawingRecord& CWnd::GetDrawing() const { return m_state->drawing; }
CDrawingRecord& CWnd::DrawingForDC() { return m_state->drawing; }

CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }
CWnd* CWnd::SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
CWnd* CWnd::GetCapture() { return FromHandle(::GetCapture()); }

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, void*) { return ::SetTimer(m_hWnd, nIDEvent, nElapse); }
BOOL CWnd::KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }

int CWnd::MessageBox(const std::u16string& text, const std::u16string& caption, UINT nType) {
  return GetUserInteraction()->MessageBox(text, caption, nType);
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
  if (pParent == nullptr || m_hWnd != nullptr) return FALSE;
  CWnd* old = pParent->GetDlgItem(static_cast<int>(nID));
  if (old == nullptr) return FALSE;
  if (!GetRuntimeClass()->IsDerivedFrom(old->GetRuntimeClass())) return FALSE;
  HWND h = old->m_hWnd;
  AdoptStateFrom(*old);
  m_hWnd = h;
  old->m_hWnd = nullptr;
  Reg().windows[Key(h)] = this;
  PreSubclassWindow();
  old->PostNcDestroy();  // a template-created object deletes itself
  return TRUE;
}

void CWnd::AdoptStateFrom(CWnd& other) { std::swap(m_state, other.m_state); }

void CWnd::DescribeContent(std::vector<std::u16string>&) const {}

// The built-in processing of each handler is the window's DefWindowProc.
int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnNcDestroy() { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnSysColorChange() { Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }

// ---- CHostWnd ----

IMPLEMENT_DYNAMIC(CHostWnd, CWnd)

CHostWnd::CHostWnd(Handler handler) : m_handler(std::move(handler)) {}

CHostWnd::~CHostWnd() { DestroyWindow(); }

BOOL CHostWnd::CreateHost(const std::u16string& title, const RECT& rect) {
  return CreateEx(0, u"DaruHostWindow", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, rect, nullptr, 0);
}

LRESULT CHostWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const bool hostMessage = message >= WM_USER && message < WM_REFLECT_BASE;
  if (hostMessage) m_received.push_back(Received{message, wParam, lParam});
  if (!m_handler) return CWnd::WindowProc(message, wParam, lParam);
  const HWND self = m_hWnd;
  const LRESULT answer = m_handler(message, wParam, lParam);
  if (hostMessage || self == nullptr || !IsWindow(self)) return answer;
  // The window's own processing always follows, so a host that listens for a
  // few messages cannot cut its child controls off by forgetting to pass the
  // rest on: a notification goes back to the control that sent it when the
  // control handles it itself (its answer wins), else the handler's answer
  // stands; every other message gets its default processing.
  if (message == WM_NOTIFY || message == WM_COMMAND || message == WM_DRAWITEM) {
    LRESULT reflected = 0;
    return OnWndMsg(message, wParam, lParam, &reflected) ? reflected : answer;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

namespace {

// Every window hears of a change of the system colours: the top-level windows
// first, then each one's descendants.
void BroadcastSysColorChange() {
  for (HWND top : GetTopLevelWindows()) {
    if (CWnd* w = CWnd::FromHandle(top)) {
      w->SendMessage(WM_SYSCOLORCHANGE);
      if (CWnd* again = CWnd::FromHandle(top)) again->SendMessageToDescendants(WM_SYSCOLORCHANGE);
    }
  }
}

struct SysColorListenerInstaller {
  SysColorListenerInstaller() { DaruSetSysColorListener(&BroadcastSysColorChange); }
};
const SysColorListenerInstaller g_sysColorListener;

}  // namespace
