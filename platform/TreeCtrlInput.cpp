#include <algorithm>
#include <cstdlib>

#include "platform/Controls.h"
#include "platform/DC.h"
#include "platform/Gdi.h"
#include "platform/ScrollPosition.h"
#include "platform/TreeCtrl.h"
#include "platform/TreeCtrlImpl.h"

// The tree control's built-in processing: one handler per window message.

using namespace treectrl;

struct CTreeCtrl::Input {
  // A tree with check boxes makes their images when it is created.
  static LRESULT Create(CTreeCtrl& t) {
    Impl& m = *t.m_impl;
    if (!(t.GetStyle() & TVS_CHECKBOXES)) return 0;
    m.checkImages = std::make_unique<CImageList>();
    if (m.checkImages->Create(kStateIconWidth, kStateIconWidth, ILC_COLOR24 | ILC_MASK, 3, 0)) {
      CBitmap strip;
      std::vector<COLORREF> px(static_cast<size_t>(kStateIconWidth * 3 * kStateIconWidth), RGB(255, 255, 255));
      strip.CreateFromPixels(kStateIconWidth * 3, kStateIconWidth, px);
      m.checkImages->Add(&strip, CLR_NONE);
      m.state = m.checkImages.get();
    }
    return 0;
  }

  static LRESULT Destroy(CTreeCtrl& t, WPARAM wParam, LPARAM lParam) {
    t.m_impl->edit = nullptr;
    t.m_impl->editItem = nullptr;
    return t.CWnd::DefWindowProc(WM_DESTROY, wParam, lParam);
  }

  static LRESULT EraseBkgnd(CTreeCtrl& t, WPARAM wParam) {
    if (CDC* dc = CDC::FromHandle(reinterpret_cast<HDC>(wParam))) {
      CRect client;
      t.GetClientRect(&client);
      dc->FillSolidRect(&client, GetSysColor(COLOR_WINDOW));
    }
    return 1;
  }

  // A press on a button toggles, on a check box checks, on an item arms a click or a drag.
  static LRESULT LButtonDown(CTreeCtrl& t, LPARAM lParam) {
    Impl& m = *t.m_impl;
    const HWND self = t.m_hWnd;
    t.SetFocus();
    if (!IsWindow(self)) return 0;
    UINT flags = 0;
    HTREEITEM h = t.HitTest(CPoint(lParam), &flags);
    m.leftDown = true;
    m.pressed = nullptr;
    if (h == nullptr) return 0;
    if (flags & TVHT_ONITEMBUTTON) {
      t.ExpandNode(t.N(h), TVE_TOGGLE, true, TVE_TOGGLE);
    } else if ((flags & TVHT_ONITEMSTATEICON) && (t.GetStyle() & TVS_CHECKBOXES)) {
      t.SetCheck(h, t.GetCheck(h) == 1 ? FALSE : TRUE);
    } else if ((flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL)) || (t.GetStyle() & TVS_FULLROWSELECT)) {
      m.pressed = h;
      m.pressPoint = CPoint(lParam);
    }
    return 0;
  }

  static LRESULT MouseMove(CTreeCtrl& t, WPARAM wParam, LPARAM lParam) {
    Impl& m = *t.m_impl;
    const CPoint pt(lParam);
    if (m.pressed == nullptr || !(wParam & MK_LBUTTON) ||
        (std::abs(pt.x - m.pressPoint.x) <= kDragDistance && std::abs(pt.y - m.pressPoint.y) <= kDragDistance))
      return 0;
    Node* n = t.N(m.pressed);
    m.pressed = nullptr;
    m.leftDown = false;
    if (n != nullptr && !(t.GetStyle() & TVS_DISABLEDRAGDROP)) {
      NMTREEVIEW nm{};
      nm.action = TVC_BYMOUSE;
      t.FillItem(n, nm.itemNew);
      nm.ptDrag = m.pressPoint;
      t.SendNotify(&nm.hdr, TVN_BEGINDRAG);
    }
    return 0;
  }

  static LRESULT LButtonUp(CTreeCtrl& t) {
    Impl& m = *t.m_impl;
    if (!m.leftDown) return 0;
    m.leftDown = false;
    const HWND self = t.m_hWnd;
    if (m.pressed != nullptr) {
      Node* n = t.N(m.pressed);
      m.pressed = nullptr;
      if (n != nullptr) t.SelectCaret(n, TVC_BYMOUSE, true);
    }
    if (!IsWindow(self)) return 0;
    NMHDR nm{};
    t.SendNotify(&nm, NM_CLICK);
    return 0;
  }

  // NM_DBLCLK; unless it was answered, a double click on an item expands or collapses it.
  static LRESULT LButtonDblClk(CTreeCtrl& t, LPARAM lParam) {
    Impl& m = *t.m_impl;
    m.leftDown = false;
    m.pressed = nullptr;
    const HWND self = t.m_hWnd;
    NMHDR nm{};
    const LRESULT handled = t.SendNotify(&nm, NM_DBLCLK);
    if (handled != 0 || !IsWindow(self)) return 0;
    UINT flags = 0;
    HTREEITEM h = t.HitTest(CPoint(lParam), &flags);
    if (h != nullptr && (flags & (TVHT_ONITEMICON | TVHT_ONITEMLABEL)))
      t.ExpandNode(t.N(h), TVE_TOGGLE, true, TVE_TOGGLE);
    return 0;
  }

  // NM_RCLICK, then WM_CONTEXTMENU unless the notification was answered.
  static LRESULT RButtonUp(CTreeCtrl& t, LPARAM lParam) {
    const HWND self = t.m_hWnd;
    NMHDR nm{};
    if (t.SendNotify(&nm, NM_RCLICK) == 0 && IsWindow(self)) {
      CPoint screen(lParam);
      t.ClientToScreen(&screen);
      t.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(t.m_hWnd), MAKELPARAM(screen.x, screen.y));
    }
    return 0;
  }

  static LRESULT VScroll(CTreeCtrl& t, WPARAM wParam) {
    t.m_impl->top = ScrolledTop(wParam, t.m_impl->top, static_cast<int>(t.GetVisibleCount()),
                                static_cast<int>(t.VisibleNodes().size()));
    t.ClampTop();
    t.Invalidate();
    return 0;
  }

  // Left collapses or goes to the parent; right expands or goes to the first child.
  static void KeyLeft(CTreeCtrl& t, Node* caret) {
    if (caret == nullptr) return;
    if (caret->state & TVIS_EXPANDED) {
      t.ExpandNode(caret, TVE_COLLAPSE, true, TVE_COLLAPSE);
    } else if (caret->parent != &t.m_impl->root) {
      t.SelectCaret(caret->parent, TVC_BYKEYBOARD, true);
    }
  }

  static void KeyRight(CTreeCtrl& t, Node* caret) {
    if (caret == nullptr || !HasKids(caret)) return;
    if (!(caret->state & TVIS_EXPANDED)) {
      t.ExpandNode(caret, TVE_EXPAND, true, TVE_EXPAND);
    } else if (!caret->children.empty()) {
      t.SelectCaret(caret->children.front(), TVC_BYKEYBOARD, true);
    }
  }

  static LRESULT KeyDown(CTreeCtrl& t, WPARAM wParam) {
    Node* caret = t.m_impl->caret;
    const auto vis = t.VisibleNodes();
    auto self = caret ? std::find(vis.begin(), vis.end(), caret) : vis.end();
    switch (wParam) {
      case VK_UP:
        if (self != vis.end() && self != vis.begin()) t.SelectCaret(*(self - 1), TVC_BYKEYBOARD, true);
        break;
      case VK_DOWN:
        if (self == vis.end() && !vis.empty()) {
          t.SelectCaret(vis.front(), TVC_BYKEYBOARD, true);
        } else if (self != vis.end() && self + 1 != vis.end()) {
          t.SelectCaret(*(self + 1), TVC_BYKEYBOARD, true);
        }
        break;
      case VK_HOME:
        if (!vis.empty()) t.SelectCaret(vis.front(), TVC_BYKEYBOARD, true);
        break;
      case VK_END:
        if (!vis.empty()) t.SelectCaret(vis.back(), TVC_BYKEYBOARD, true);
        break;
      case VK_LEFT:
        KeyLeft(t, caret);
        break;
      case VK_RIGHT:
        KeyRight(t, caret);
        break;
      case VK_F2:
        if (caret != nullptr && (t.GetStyle() & TVS_EDITLABELS)) t.EditLabel(H(caret, caret->key));
        break;
      case VK_SPACE:
        if (caret != nullptr && (t.GetStyle() & TVS_CHECKBOXES)) {
          HTREEITEM h = H(caret, caret->key);
          t.SetCheck(h, t.GetCheck(h) == 1 ? FALSE : TRUE);
        }
        break;
      default:
        break;
    }
    return 0;
  }

  static LRESULT EditLabel(CTreeCtrl& t, LPARAM lParam) {
    CEdit* e = t.EditLabel(reinterpret_cast<HTREEITEM>(lParam));
    return e ? reinterpret_cast<LRESULT>(e->m_hWnd) : 0;
  }
};

LRESULT CTreeCtrl::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return Input::Create(*this);
    case WM_DESTROY:
      return Input::Destroy(*this, wParam, lParam);
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return Input::EraseBkgnd(*this, wParam);
    case WM_LBUTTONDOWN:
      return Input::LButtonDown(*this, lParam);
    case WM_MOUSEMOVE:
      return Input::MouseMove(*this, wParam, lParam);
    case WM_LBUTTONUP:
      return Input::LButtonUp(*this);
    case WM_LBUTTONDBLCLK:
      return Input::LButtonDblClk(*this, lParam);
    case WM_RBUTTONDOWN:
      return 0;
    case WM_RBUTTONUP:
      return Input::RButtonUp(*this, lParam);
    case WM_VSCROLL:
      return Input::VScroll(*this, wParam);
    case WM_KEYDOWN:
      return Input::KeyDown(*this, wParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      return 0;
    case TVM_EDITLABEL:
      return Input::EditLabel(*this, lParam);
    case TVM_SELECTITEM:
      return Select(reinterpret_cast<HTREEITEM>(lParam), static_cast<UINT>(wParam));
    case TVM_EXPAND:
      return Expand(reinterpret_cast<HTREEITEM>(lParam), static_cast<UINT>(wParam));
    case TVM_ENDEDITLABELNOW:
      return EndEditLabelNow(wParam != 0);
    default:
      return CWnd::DefWindowProc(message, wParam, lParam);
  }
}
