#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/CommCtrl.h"
#include "platform/MessageMap.h"
#include "platform/WinUser.h"

// Windows without a display. A window is a CWnd object with a handle (HWND),
// a parent, children, an id, styles, a text and a rectangle. Messages are
// delivered synchronously: SendMessage calls the window's WindowProc, which
// routes through the message map and falls back to DefWindowProc, where the
// controls keep their built-in behaviour.
//
// Geometry: a window has no frame, so its client area is its whole rectangle.
// A child's rectangle is in its parent's client coordinates, a top-level
// window's in screen coordinates.

class CDC;
class CFont;
class CScrollBar;
struct CDrawingRecord;

class DARU_API CWnd : public CCmdTarget {
  DECLARE_DYNCREATE(CWnd)
 public:
  CWnd();
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd;  // null until created and after destruction

  // ---- Creation and destruction ----
  // Makes the window and sends WM_CREATE; a handler that returns -1 makes the
  // creation fail (the window is destroyed again and FALSE returned).
  virtual BOOL Create(const char16_t* lpszClassName, const char16_t* lpszWindowName, DWORD dwStyle, const RECT& rect,
                      CWnd* pParentWnd, UINT nID);
  BOOL CreateEx(DWORD dwExStyle, const char16_t* lpszClassName, const char16_t* lpszWindowName, DWORD dwStyle,
                const RECT& rect, CWnd* pParentWnd, UINT nID, void* lpParam = nullptr);
  // Sends WM_DESTROY, destroys the children, sends WM_NCDESTROY, then detaches
  // the handle and calls PostNcDestroy.
  virtual BOOL DestroyWindow();
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }
  static CWnd* FromHandle(HWND hWnd);
  static CWnd* FromHandlePermanent(HWND hWnd) { return FromHandle(hWnd); }
  std::u16string GetClassName() const;

  // ---- Messages ----
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The built-in processing of the message being handled now.
  LRESULT Default();
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // A notification or owner-draw request of this control, reflected by its parent.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  // Sends WM_NOTIFY with this window as sender to the parent, which reflects it
  // back here first. A window without a parent gets it reflected directly.
  LRESULT SendNotify(NMHDR* pNMHDR, UINT code);
  void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, BOOL bDeep = TRUE);

  // ---- Family ----
  CWnd* GetParent() const;
  CWnd* GetOwner() const { return GetParent(); }
  CWnd* GetTopLevelParent() const;
  std::vector<CWnd*> GetChildren() const;
  CWnd* GetDlgItem(int nID) const;
  int GetDlgCtrlID() const;
  int SetDlgCtrlID(int nID);
  BOOL IsChild(const CWnd* pWnd) const;

  // ---- Attributes ----
  DWORD GetStyle() const;
  DWORD GetExStyle() const;
  BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
  BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
  void SetWindowText(const std::u16string& text);
  std::u16string GetWindowText() const;
  int GetWindowTextLength() const;
  void SetDlgItemText(int nID, const std::u16string& text);
  std::u16string GetDlgItemText(int nID) const;
  void CheckDlgButton(int nIDButton, UINT nCheck);
  UINT IsDlgButtonChecked(int nIDButton) const;
  void SetFont(CFont* pFont, BOOL bRedraw = TRUE);  // pFont is borrowed
  CFont* GetFont() const;                           // the default GUI font when none was set
  BOOL ShowWindow(int nCmdShow);
  BOOL IsWindowVisible() const;
  BOOL EnableWindow(BOOL bEnable = TRUE);
  BOOL IsWindowEnabled() const;

  // ---- Geometry ----
  void GetClientRect(LPRECT lpRect) const;
  void GetWindowRect(LPRECT lpRect) const;  // screen coordinates
  void MoveWindow(const RECT& rect, BOOL bRepaint = TRUE);
  void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
  void ClientToScreen(LPPOINT lpPoint) const;
  void ClientToScreen(LPRECT lpRect) const;
  void ScreenToClient(LPPOINT lpPoint) const;
  void ScreenToClient(LPRECT lpRect) const;
  // The scroll position of a bar (SB_HORZ, SB_VERT): pixels for a list's horizontal
  // bar, rows for the vertical bars; 0 for a window that does not scroll.
  virtual int GetScrollPos(int nBar) const;

  // ---- Painting ----
  void Invalidate(BOOL bErase = TRUE);
  void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
  void ValidateRect(LPCRECT lpRect);
  // Paints now (WM_PAINT) when the window needs it and is neither hidden nor locked.
  void UpdateWindow();
  BOOL RedrawWindow(LPCRECT lpRectUpdate = nullptr, UINT flags = 0);
  // Only one window at a time can be locked; it and its children are not painted until unlocked.
  BOOL LockWindowUpdate();
  void UnlockWindowUpdate();
  static HWND GetLockedWindow();
  BOOL IsUpdatePending() const;
  // Counters a test reads to tell whether something was redrawn.
  int GetInvalidateCount() const;
  int GetPaintCount() const;
  // What the last paint pass (and any drawing since) recorded.
  const CDrawingRecord& GetDrawing() const;
  CDrawingRecord& DrawingForDC();  // the record a DC on this window writes to

  // ---- Input ----
  CWnd* SetFocus();
  static CWnd* GetFocus();
  CWnd* SetCapture();
  static CWnd* GetCapture();
  UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, void* lpfnTimer = nullptr);
  BOOL KillTimer(UINT_PTR nIDEvent);

  int MessageBox(const std::u16string& text, const std::u16string& caption = u"", UINT nType = 0);

  // ---- Subclassing ----
  // Makes this object the window behind the dialog item nID of pParent, which
  // was created from a template; the item's object is retired. This object's
  // class must be the item's class or derive from it.
  BOOL SubclassDlgItem(UINT nID, CWnd* pParent);

  // ---- Snapshot ----
  // Lines describing the window's own content (items, rows, ...) below its
  // header line in a snapshot; the children are listed by the snapshot itself.
  virtual void DescribeContent(std::vector<std::u16string>& lines) const;
  // Children the snapshot lists under this window.
  virtual bool SnapshotChildren() const { return true; }

 protected:
  // Takes over the control state of a template-created object of the same kind.
  virtual void AdoptStateFrom(CWnd& other);
  virtual void PreSubclassWindow() {}
  // Called once the handle is gone; objects that delete themselves do it here.
  virtual void PostNcDestroy() {}

  // Handlers with built-in processing; derived classes hide them and call them back.
  int OnCreate(LPCREATESTRUCT lpCreateStruct);
  void OnDestroy();
  void OnNcDestroy();
  void OnPaint();
  BOOL OnEraseBkgnd(CDC* pDC);
  void OnSize(UINT nType, int cx, int cy);
  void OnSetFocus(CWnd* pOldWnd);
  void OnKillFocus(CWnd* pNewWnd);
  void OnLButtonDown(UINT nFlags, CPoint point);
  void OnLButtonUp(UINT nFlags, CPoint point);
  void OnLButtonDblClk(UINT nFlags, CPoint point);
  void OnRButtonDown(UINT nFlags, CPoint point);
  void OnRButtonUp(UINT nFlags, CPoint point);
  void OnMouseMove(UINT nFlags, CPoint point);
  void OnTimer(UINT_PTR nIDEvent);
  void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
  void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
  void OnSysColorChange();
  void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
  void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
  void OnContextMenu(CWnd* pWnd, CPoint pos);
  void OnCaptureChanged(CWnd* pWnd);

 private:
  struct State;
  std::unique_ptr<State> m_state;  // owned; the window's attributes while it has a handle
  friend struct WndAccess;

  DECLARE_MESSAGE_MAP()
};

// A window owned by a host. The handler sees every message first and its
// result answers the host messages (WM_USER and above). Everything else then
// goes on to the window's own processing whatever the handler did: a child's
// notification or command is reflected to the child, whose answer wins when
// it handles it (otherwise the handler's answer stands), and other messages
// get their default processing. Hosts create one to receive the library's
// messages.
class DARU_API CHostWnd : public CWnd {
  DECLARE_DYNAMIC(CHostWnd)
 public:
  using Handler = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;
  explicit CHostWnd(Handler handler = nullptr);
  ~CHostWnd() override;

  // A top-level window at rect (screen coordinates).
  BOOL CreateHost(const std::u16string& title, const RECT& rect);
  void SetHandler(Handler handler) { m_handler = std::move(handler); }

  struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  // Messages at or above WM_USER this window received, in order.
  const std::vector<Received>& UserMessages() const { return m_received; }
  void ClearUserMessages() { m_received.clear(); }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  Handler m_handler;
  std::vector<Received> m_received;
};

namespace daru {
DARU_API LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
DARU_API BOOL IsWindow(HWND hWnd);
DARU_API BOOL DestroyWindow(HWND hWnd);
DARU_API HWND GetParent(HWND hWnd);
DARU_API BOOL ClientToScreen(HWND hWnd, LPPOINT lpPoint);
DARU_API BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint);
DARU_API BOOL GetClientRect(HWND hWnd, LPRECT lpRect);
DARU_API BOOL GetWindowRect(HWND hWnd, LPRECT lpRect);
DARU_API HWND SetFocus(HWND hWnd);
DARU_API HWND GetFocus();
DARU_API HWND SetCapture(HWND hWnd);
DARU_API HWND GetCapture();
DARU_API BOOL ReleaseCapture();
DARU_API BOOL LockWindowUpdate(HWND hWndLock);
// Every top-level window (no parent), in creation order.
DARU_API std::vector<HWND> GetTopLevelWindows();
}  // namespace daru
using daru::ClientToScreen;
using daru::DestroyWindow;
using daru::GetCapture;
using daru::GetClientRect;
using daru::GetFocus;
using daru::GetParent;
using daru::GetTopLevelWindows;
using daru::GetWindowRect;
using daru::IsWindow;
using daru::LockWindowUpdate;
using daru::ReleaseCapture;
using daru::ScreenToClient;
using daru::SendMessage;
using daru::SetCapture;
using daru::SetFocus;

// Window-message entries of the message map. Each calls the handler of the
// class being mapped by name, so a class hides the CWnd handler with its own.
#define ON_WM_CREATE()                                                                                               \
  {                                                                                                                  \
    WM_CREATE, 0, 0, 0,                                                                                              \
        DARU_THUNK(call_.result = DARU_THIS->OnCreate(reinterpret_cast<LPCREATESTRUCT>(call_.lParam)); return true;) \
  }                                                                                                                  \
  ,
#define ON_WM_DESTROY()                                                                  \
  { WM_DESTROY, 0, 0, 0, DARU_THUNK((void)call_; DARU_THIS->OnDestroy(); return true;) } \
  ,
#define ON_WM_PAINT()                                                                \
  { WM_PAINT, 0, 0, 0, DARU_THUNK((void)call_; DARU_THIS->OnPaint(); return true;) } \
  ,
#define ON_WM_ERASEBKGND()                                                                                       \
  {                                                                                                              \
    WM_ERASEBKGND, 0, 0, 0,                                                                                      \
        DARU_THUNK(call_.result = DARU_THIS->OnEraseBkgnd(CDC::FromHandle(reinterpret_cast<HDC>(call_.wParam))); \
                   return true;)                                                                                 \
  }                                                                                                              \
  ,
#define ON_WM_SIZE()                                                                              \
  {                                                                                               \
    WM_SIZE, 0, 0, 0,                                                                             \
        DARU_THUNK(DARU_THIS->OnSize(static_cast<UINT>(call_.wParam), GET_X_LPARAM(call_.lParam), \
                                     GET_Y_LPARAM(call_.lParam));                                 \
                   return true;)                                                                  \
  }                                                                                               \
  ,
#define ON_WM_SETFOCUS()                                                                                        \
  {                                                                                                             \
    WM_SETFOCUS, 0, 0, 0,                                                                                       \
        DARU_THUNK(DARU_THIS->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(call_.wParam))); return true;) \
  }                                                                                                             \
  ,
#define ON_WM_KILLFOCUS()                                                                                        \
  {                                                                                                              \
    WM_KILLFOCUS, 0, 0, 0,                                                                                       \
        DARU_THUNK(DARU_THIS->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(call_.wParam))); return true;) \
  }                                                                                                              \
  ,
#define DARU_ON_MOUSE(msg, fn)                                                                                     \
  { msg, 0, 0, 0, DARU_THUNK(DARU_THIS->fn(static_cast<UINT>(call_.wParam), CPoint(call_.lParam)); return true;) } \
  ,
#define ON_WM_LBUTTONDOWN() DARU_ON_MOUSE(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() DARU_ON_MOUSE(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() DARU_ON_MOUSE(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() DARU_ON_MOUSE(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() DARU_ON_MOUSE(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_MOUSEMOVE() DARU_ON_MOUSE(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_TIMER()                                                                                      \
  { WM_TIMER, 0, 0, 0, DARU_THUNK(DARU_THIS->OnTimer(static_cast<UINT_PTR>(call_.wParam)); return true;) } \
  ,
#define DARU_ON_SCROLL(msg, fn)                                                                                  \
  {                                                                                                              \
    msg, 0, 0, 0,                                                                                                \
        DARU_THUNK(DARU_THIS->fn(LOWORD(call_.wParam), HIWORD(call_.wParam), static_cast<CScrollBar*>(nullptr)); \
                   return true;)                                                                                 \
  }                                                                                                              \
  ,
#define ON_WM_HSCROLL() DARU_ON_SCROLL(WM_HSCROLL, OnHScroll)
#define ON_WM_VSCROLL() DARU_ON_SCROLL(WM_VSCROLL, OnVScroll)
#define ON_WM_SYSCOLORCHANGE()                                                                         \
  { WM_SYSCOLORCHANGE, 0, 0, 0, DARU_THUNK((void)call_; DARU_THIS->OnSysColorChange(); return true;) } \
  ,
#define DARU_ON_KEY(msg, fn)                                                                                \
  {                                                                                                         \
    msg, 0, 0, 0,                                                                                           \
        DARU_THUNK(DARU_THIS->fn(static_cast<UINT>(call_.wParam), static_cast<UINT>(call_.lParam & 0xFFFF), \
                                 static_cast<UINT>((call_.lParam >> 16) & 0xFFFF));                         \
                   return true;)                                                                            \
  }                                                                                                         \
  ,
#define ON_WM_KEYDOWN() DARU_ON_KEY(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() DARU_ON_KEY(WM_KEYUP, OnKeyUp)
#define ON_WM_CONTEXTMENU()                                                                                         \
  {                                                                                                                 \
    WM_CONTEXTMENU, 0, 0, 0,                                                                                        \
        DARU_THUNK(                                                                                                 \
            DARU_THIS->OnContextMenu(CWnd::FromHandle(reinterpret_cast<HWND>(call_.wParam)), CPoint(call_.lParam)); \
            return true;)                                                                                           \
  }                                                                                                                 \
  ,
#define ON_WM_CAPTURECHANGED()                                                                                        \
  {                                                                                                                   \
    WM_CAPTURECHANGED, 0, 0, 0,                                                                                       \
        DARU_THUNK(DARU_THIS->OnCaptureChanged(CWnd::FromHandle(reinterpret_cast<HWND>(call_.lParam))); return true;) \
  }                                                                                                                   \
  ,
