// Moving a label with its branch by dragging its item onto the new parent,
// with the item under the pointer expanded after a rest and the tree
// scrolled near its top and bottom edges.

#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "platform/Clock.h"
#include "platform/Input.h"
#include "ui/tree/DARUTreeCtrl.h"

namespace {

constexpr UINT_PTR kHoverTimerID = 1;
constexpr UINT kHoverDelay = 800;
constexpr UINT_PTR kScrollTimerID = 2;
constexpr UINT kScrollPeriod = 40;
// A press followed this quickly by a drag is a slip of the hand, not a drag.
constexpr DWORD kMinDragDelay = 60;
constexpr int kHotSpot = 8;
// A pointer this close to the left edge has no drop target.
constexpr int kLeftDeadBand = 20;
constexpr int kScrollBand = 10;

// Ticks between two scrolled lines: 6 just inside the band, one fewer for
// every 20 pixels further out, down to every tick.
UINT ScrollRate(int distance) {
  int rate = 6 - distance / 20;
  return static_cast<UINT>(rate < 1 ? 1 : rate);
}

}  // namespace

void CDARUTreeCtrl::OnTvnBegindrag(NMHDR* pNMHDR, LRESULT* pResult) {
  *pResult = 0;
  if (GetTickCount() - m_dwLButtonDownTick < kMinDragDelay) return;
  if (m_bDragging) return;
  auto* info = reinterpret_cast<NMTREEVIEW*>(pNMHDR);
  m_hDragItem = info->itemNew.hItem;
  m_hDropItem = nullptr;
  m_pDragImage.reset(CreateDragImage(m_hDragItem));
  if (!m_pDragImage) return;
  m_bDragging = TRUE;
  m_pDragImage->BeginDrag(0, CPoint(kHotSpot, kHotSpot));
  // Drag image positions are relative to the window the image is shown over,
  // as every later DragMove gives them, so the image starts under the pointer.
  CImageList::DragEnter(this, info->ptDrag);
  SetCapture();
  m_nScrollTimer = SetTimer(kScrollTimerID, kScrollPeriod);
}

void CDARUTreeCtrl::OnMouseMove(UINT nFlags, CPoint point) {
  if (m_nHoverTimer != 0) KillTimer(m_nHoverTimer);
  m_nHoverTimer = SetTimer(kHoverTimerID, kHoverDelay);
  m_ptLast = point;
  if (m_bDragging) {
    CImageList::DragMove(point);
    CImageList::DragShowNolock(FALSE);
    if (HTREEITEM hit = HitTest(point)) {
      SelectDropTarget(hit);
      m_hDropItem = hit;
    }
    CImageList::DragShowNolock(TRUE);
    CRect client;
    GetClientRect(&client);
    if (point.x < client.left + kLeftDeadBand) m_hDropItem = nullptr;
  }
  CTreeCtrl::OnMouseMove(nFlags, point);
}

void CDARUTreeCtrl::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent == kHoverTimerID) {
    KillTimer(kHoverTimerID);
    m_nHoverTimer = 0;
    HTREEITEM hit = HitTest(m_ptLast);
    if (hit != nullptr && m_bDragging) {
      Select(hit, TVGN_CARET);
      Expand(hit, TVE_EXPAND);
    }
    return;
  }
  if (nIDEvent == kScrollTimerID) {
    AutoScroll();
    return;
  }
  CTreeCtrl::OnTimer(nIDEvent);
}

void CDARUTreeCtrl::AutoScroll() {
  ++m_nScrollTicks;
  CPoint cursor;
  GetCursorPos(&cursor);
  CRect client;
  GetClientRect(&client);
  ClientToScreen(&client);
  HTREEITEM first = GetFirstVisibleItem();
  if (cursor.y < client.top + kScrollBand) {
    if (m_nScrollTicks % ScrollRate(client.top + kScrollBand - cursor.y) != 0) return;
    CImageList::DragShowNolock(FALSE);
    SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), 0);
    SelectDropTarget(first);
    m_hDropItem = first;
    CImageList::DragShowNolock(TRUE);
  } else if (cursor.y > client.bottom - kScrollBand) {
    if (m_nScrollTicks % ScrollRate(cursor.y - client.bottom + kScrollBand) != 0) return;
    CImageList::DragShowNolock(FALSE);
    SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    // The last row that was visible before the line scrolled in.
    HTREEITEM last = first;
    const UINT visible = GetVisibleCount();
    for (UINT i = 1; last != nullptr && i < visible; ++i) last = GetNextVisibleItem(last);
    if (last != nullptr) SelectDropTarget(last);
    m_hDropItem = last;
    CImageList::DragShowNolock(TRUE);
  }
}

void CDARUTreeCtrl::EndDrag() {
  m_bDragging = FALSE;
  CImageList::DragLeave(this);
  CImageList::EndDrag();
  ReleaseCapture();
  m_pDragImage.reset();
  SelectDropTarget(nullptr);
  // Nothing of the drag may outlive it: the rest timer only ever stops itself
  // once the button is up, so it goes now.
  KillTimer(m_nScrollTimer);
  m_nScrollTimer = 0;
  if (m_nHoverTimer != 0) KillTimer(m_nHoverTimer);
  m_nHoverTimer = 0;
}

void CDARUTreeCtrl::OnLButtonUp(UINT nFlags, CPoint point) {
  if (!m_bDragging) {
    CTreeCtrl::OnLButtonUp(nFlags, point);
    return;
  }
  EndDrag();
  if (m_hDropItem == m_hDragItem) return;
  if (m_hDropItem == nullptr) return;
  Expand(m_hDropItem, TVE_EXPAND);
  HTREEITEM dragParent = GetParentItem(m_hDragItem);
  if (dragParent == nullptr || dragParent == m_hDropItem) return;
  for (HTREEITEM up = GetParentItem(m_hDropItem); up != nullptr; up = GetParentItem(up))
    if (up == m_hDragItem) return;
  MoveLabel(m_hDragItem, m_hDropItem);
  CTreeCtrl::OnLButtonUp(nFlags, point);
}

void CDARUTreeCtrl::MoveLabel(HTREEITEM hDragItem, HTREEITEM hDropItem) {
  if (hDragItem == nullptr || hDropItem == nullptr) return;
  CLabelTree* labels = m_pDARU ? m_pDARU->GetLabelTree() : nullptr;
  if (labels == nullptr || !labels->MoveLabel(LabelOf(hDragItem), LabelOf(hDropItem))) return;
  HTREEITEM moved = CopyBranch(hDragItem, hDropItem, TVI_LAST);
  DeleteItem(hDragItem);
  Select(moved, TVGN_CARET);
}

HTREEITEM CDARUTreeCtrl::CopyBranch(HTREEITEM hBranch, HTREEITEM hNewParent, HTREEITEM hAfter) {
  HTREEITEM copy = CopyItem(hBranch, hNewParent, hAfter);
  if (copy == nullptr) return nullptr;
  for (HTREEITEM child = GetChildItem(hBranch); child != nullptr; child = GetNextSiblingItem(child))
    CopyBranch(child, copy, hAfter);
  return copy;
}

HTREEITEM CDARUTreeCtrl::CopyItem(HTREEITEM hItem, HTREEITEM hNewParent, HTREEITEM hAfter) {
  int image = 0;
  int selectedImage = 0;
  GetItemImage(hItem, image, selectedImage);
  HTREEITEM copy = InsertItem(GetItemText(hItem), image, selectedImage, hNewParent, hAfter);
  if (copy == nullptr) return nullptr;
  CLabel* label = LabelOf(hItem);
  SetItemData(copy, reinterpret_cast<DWORD_PTR>(label));
  SetItemState(copy, GetItemState(hItem, TVIS_OVERLAYMASK), TVIS_OVERLAYMASK);
  if (label != nullptr && label == m_pDefaultLabel) {
    m_hDefaultItem = copy;
    SetItemState(copy, TVIS_BOLD, TVIS_BOLD);
  }
  return copy;
}
