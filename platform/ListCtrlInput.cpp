#include <algorithm>
#include <cstdlib>

#include "platform/DC.h"
#include "platform/ListCtrl.h"
#include "platform/ListCtrlImpl.h"
#include "platform/ScrollPosition.h"

// The list control's built-in processing: one handler per window message.

using namespace listctrl;

struct CListCtrl::Input {
  static LRESULT Create(CListCtrl& l) {
    CRect client;
    l.GetClientRect(&client);
    const DWORD visible = l.GetHeaderHeight() > 0 ? WS_VISIBLE : 0;
    l.m_impl->header->Create(WS_CHILD | visible | HDS_BUTTONS, CRect(0, 0, client.Width(), l.GetHeaderHeight()), &l, 0);
    return 0;
  }

  static LRESULT Size(CListCtrl& l) {
    l.LayoutHeader();
    l.ClampTop();
    return 0;
  }

  static LRESULT EraseBkgnd(CListCtrl& l, WPARAM wParam) {
    if (CDC* dc = CDC::FromHandle(reinterpret_cast<HDC>(wParam))) {
      CRect client;
      l.GetClientRect(&client);
      client.top = l.GetHeaderHeight();
      dc->FillSolidRect(&client, l.m_impl->bk);
    }
    return 1;
  }

  // The header's notifications: a click becomes LVN_COLUMNCLICK, a width change repaints.
  static LRESULT HeaderNotify(CListCtrl& l, LPARAM lParam) {
    auto* nm = reinterpret_cast<NMHDR*>(lParam);
    if (nm == nullptr || nm->hwndFrom != l.m_impl->header->m_hWnd) return 0;
    if (nm->code == HDN_ITEMCLICKW || nm->code == HDN_ITEMCLICKA) {
      auto* hn = reinterpret_cast<NMHEADER*>(lParam);
      NMLISTVIEW lv{};
      lv.iItem = -1;
      lv.iSubItem = hn->iItem;
      l.SendNotify(&lv.hdr, LVN_COLUMNCLICK);
    } else if (nm->code == HDN_ITEMCHANGEDW || nm->code == HDN_ITEMCHANGEDA || nm->code == HDN_ENDTRACKW ||
               nm->code == HDN_ENDTRACKA) {
      l.Invalidate();
    }
    return 0;
  }

  static LRESULT LButtonDown(CListCtrl& l, WPARAM wParam, LPARAM lParam) {
    Impl& m = *l.m_impl;
    const HWND self = l.m_hWnd;
    l.SetFocus();
    if (!IsWindow(self)) return 0;
    LVHITTESTINFO hit{};
    hit.pt = CPoint(lParam);
    l.SubItemHitTest(&hit);
    m.leftDown = true;
    m.pressItem = hit.iItem;
    m.pressSub = hit.iSubItem;
    m.pressPoint = CPoint(lParam);
    m.dragArmed = hit.iItem >= 0;
    if (hit.iItem >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) && (m.exStyle & LVS_EX_CHECKBOXES)) {
      l.SetCheck(hit.iItem, l.GetCheck(hit.iItem) == 1 ? FALSE : TRUE);
      m.dragArmed = false;
      return 0;
    }
    if (hit.iItem < 0) {
      if (!(wParam & MK_CONTROL)) l.SetItemState(-1, 0, LVIS_SELECTED);
      return 0;
    }
    if (wParam & MK_CONTROL) {
      l.ChangeState(hit.iItem, l.GetItemState(hit.iItem, LVIS_SELECTED) ? LVIS_FOCUSED : LVIS_SELECTED | LVIS_FOCUSED,
                    LVIS_SELECTED | LVIS_FOCUSED);
      m.mark = hit.iItem;
    } else if ((wParam & MK_SHIFT) && m.mark >= 0) {
      const int lo = std::min(m.mark, hit.iItem), hi = std::max(m.mark, hit.iItem);
      for (int i = 0; i < l.GetItemCount(); ++i)
        l.ChangeState(i, (i >= lo && i <= hi) ? LVIS_SELECTED : 0, LVIS_SELECTED);
      l.ChangeState(hit.iItem, LVIS_FOCUSED, LVIS_FOCUSED);
    } else {
      l.SelectOnly(hit.iItem);
    }
    return 0;
  }

  // A move far enough with the button held starts a drag instead of a click.
  static LRESULT MouseMove(CListCtrl& l, WPARAM wParam, LPARAM lParam) {
    Impl& m = *l.m_impl;
    const CPoint pt(lParam);
    if (m.leftDown && m.dragArmed && (wParam & MK_LBUTTON) &&
        (std::abs(pt.x - m.pressPoint.x) > kDragDistance || std::abs(pt.y - m.pressPoint.y) > kDragDistance)) {
      m.dragArmed = false;
      m.leftDown = false;
      NMLISTVIEW nm{};
      nm.iItem = m.pressItem;
      nm.iSubItem = m.pressSub;
      nm.ptAction = m.pressPoint;
      l.SendNotify(&nm.hdr, LVN_BEGINDRAG);
    }
    return 0;
  }

  static LRESULT LButtonUp(CListCtrl& l, WPARAM wParam, LPARAM lParam) {
    Impl& m = *l.m_impl;
    if (!m.leftDown) return 0;
    m.leftDown = false;
    m.dragArmed = false;
    NMITEMACTIVATE nm{};
    nm.iItem = m.pressItem;
    nm.iSubItem = m.pressSub;
    nm.ptAction = CPoint(lParam);
    nm.uKeyFlags = ((wParam & MK_CONTROL) ? LVKF_CONTROL : 0) | ((wParam & MK_SHIFT) ? LVKF_SHIFT : 0);
    l.SendNotify(&nm.hdr, NM_CLICK);
    return 0;
  }

  static LRESULT LButtonDblClk(CListCtrl& l, LPARAM lParam) {
    Impl& m = *l.m_impl;
    const HWND self = l.m_hWnd;
    LVHITTESTINFO hit{};
    hit.pt = CPoint(lParam);
    l.SubItemHitTest(&hit);
    m.leftDown = true;
    m.dragArmed = false;
    m.pressItem = hit.iItem;
    m.pressSub = hit.iSubItem;
    NMITEMACTIVATE nm{};
    nm.iItem = hit.iItem;
    nm.iSubItem = hit.iSubItem;
    nm.ptAction = hit.pt;
    l.SendNotify(&nm.hdr, NM_DBLCLK);
    if (hit.iItem >= 0 && IsWindow(self)) {
      NMITEMACTIVATE act = nm;
      l.SendNotify(&act.hdr, LVN_ITEMACTIVATE);
    }
    return 0;
  }

  static LRESULT RButtonDown(CListCtrl& l, LPARAM lParam) {
    const HWND self = l.m_hWnd;
    l.SetFocus();
    if (!IsWindow(self)) return 0;
    const int item = l.HitTest(CPoint(lParam));
    if (item >= 0 && !l.GetItemState(item, LVIS_SELECTED)) {
      l.SelectOnly(item);
    } else if (item < 0) {
      l.SetItemState(-1, 0, LVIS_SELECTED);
    }
    return 0;
  }

  // NM_RCLICK, then WM_CONTEXTMENU unless the notification was answered.
  static LRESULT RButtonUp(CListCtrl& l, LPARAM lParam) {
    const HWND self = l.m_hWnd;
    LVHITTESTINFO hit{};
    hit.pt = CPoint(lParam);
    l.SubItemHitTest(&hit);
    NMITEMACTIVATE nm{};
    nm.iItem = hit.iItem;
    nm.iSubItem = hit.iSubItem;
    nm.ptAction = hit.pt;
    if (l.SendNotify(&nm.hdr, NM_RCLICK) == 0 && IsWindow(self)) {
      CPoint screen(lParam);
      l.ClientToScreen(&screen);
      l.SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(self), MAKELPARAM(screen.x, screen.y));
    }
    return 0;
  }

  static LRESULT KeyDown(CListCtrl& l, WPARAM wParam) {
    const int focus = l.GetNextItem(-1, LVNI_FOCUSED);
    const int count = l.GetItemCount();
    int target = -1;
    if (wParam == VK_DOWN) target = std::min(count - 1, focus + 1);
    if (wParam == VK_UP) target = focus <= 0 ? 0 : focus - 1;
    if (wParam == VK_HOME) target = 0;
    if (wParam == VK_END) target = count - 1;
    if (target >= 0 && target < count) {
      l.SelectOnly(target);
      l.EnsureVisible(target, FALSE);
    }
    if (wParam == VK_SPACE && focus >= 0 && (l.m_impl->exStyle & LVS_EX_CHECKBOXES))
      l.SetCheck(focus, l.GetCheck(focus) == 1 ? FALSE : TRUE);
    return 0;
  }

  static LRESULT VScroll(CListCtrl& l, WPARAM wParam) {
    l.m_impl->top = ScrolledTop(wParam, l.m_impl->top, l.GetCountPerPage(), l.GetItemCount());
    l.ClampTop();
    l.Invalidate();
    return 0;
  }

  static LRESULT HScroll(CListCtrl& l, WPARAM wParam) {
    CRect client;
    l.GetClientRect(&client);
    int dx = 0;
    switch (LOWORD(wParam)) {
      case SB_LINELEFT:
        dx = -kLineScroll;
        break;
      case SB_LINERIGHT:
        dx = kLineScroll;
        break;
      case SB_PAGELEFT:
        dx = -client.Width();
        break;
      case SB_PAGERIGHT:
        dx = client.Width();
        break;
      case SB_THUMBPOSITION:
      case SB_THUMBTRACK:
        dx = HIWORD(wParam) - l.m_impl->scrollX;
        break;
      default:
        break;
    }
    l.Scroll(CSize(dx, 0));
    return 0;
  }

  // Gaining or losing the focus changes how the selection looks.
  static LRESULT FocusChange(CListCtrl& l) {
    l.Invalidate();
    return 0;
  }
};

void CListCtrl::SelectOnly(int nItem) {
  for (int i = 0; i < GetItemCount(); ++i)
    if (i != nItem && GetItemState(i, LVIS_SELECTED)) ChangeState(i, 0, LVIS_SELECTED);
  if (R(nItem) != nullptr) {
    ChangeState(nItem, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_impl->mark = nItem;
  }
}

LRESULT CListCtrl::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return Input::Create(*this);
    case WM_SIZE:
      return Input::Size(*this);
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return Input::EraseBkgnd(*this, wParam);
    case WM_NOTIFY:
      return Input::HeaderNotify(*this, lParam);
    case WM_LBUTTONDOWN:
      return Input::LButtonDown(*this, wParam, lParam);
    case WM_MOUSEMOVE:
      return Input::MouseMove(*this, wParam, lParam);
    case WM_LBUTTONUP:
      return Input::LButtonUp(*this, wParam, lParam);
    case WM_LBUTTONDBLCLK:
      return Input::LButtonDblClk(*this, lParam);
    case WM_RBUTTONDOWN:
      return Input::RButtonDown(*this, lParam);
    case WM_RBUTTONUP:
      return Input::RButtonUp(*this, lParam);
    case WM_KEYDOWN:
      return Input::KeyDown(*this, wParam);
    case WM_VSCROLL:
      return Input::VScroll(*this, wParam);
    case WM_HSCROLL:
      return Input::HScroll(*this, wParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return Input::FocusChange(*this);
    case LVM_SETSELECTIONMARK:
      return SetSelectionMark(static_cast<int>(lParam));
    case LVM_GETSELECTIONMARK:
      return GetSelectionMark();
    default:
      return CWnd::DefWindowProc(message, wParam, lParam);
  }
}
