// The label tree window: creation, the default label, the context menu and
// its enable rules, and the double click the host hears of.

#include "ui/tree/DARUTreeCtrl.h"

#include <vector>

#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "platform/Clock.h"
#include "platform/CmdUI.h"
#include "platform/Input.h"
#include "platform/Menu.h"
#include "platform/XTToolkit.h"
#include "res/ResourceIds.h"

IMPLEMENT_DYNAMIC(CDARUTreeCtrl, CTreeCtrl)

BEGIN_MESSAGE_MAP(CDARUTreeCtrl, CTreeCtrl)
ON_WM_CREATE()
ON_NOTIFY_REFLECT(TVN_SELCHANGED, OnTvnSelchanged)
ON_NOTIFY_REFLECT(NM_RCLICK, OnNMRclick)
ON_UPDATE_COMMAND_UI(ID_TREECTRL_ADD, OnUpdateTreectrlAdd)
ON_COMMAND(ID_TREECTRL_ADD, OnTreectrlAdd)
ON_UPDATE_COMMAND_UI(ID_TREECTRL_DELETE, OnUpdateTreectrlDelete)
ON_COMMAND(ID_TREECTRL_DELETE, OnTreectrlDelete)
ON_UPDATE_COMMAND_UI(ID_TREECTRL_RENAME, OnUpdateTreectrlDelete)
ON_COMMAND(ID_TREECTRL_RENAME, OnTreectrlRename)
ON_NOTIFY_REFLECT(TVN_BEGINLABELEDIT, OnTvnBeginlabeledit)
ON_NOTIFY_REFLECT(TVN_ENDLABELEDIT, OnTvnEndlabeledit)
ON_UPDATE_COMMAND_UI(ID_TREECTRL_DEFAULT, OnUpdateTreectrlDefault)
ON_COMMAND(ID_TREECTRL_DEFAULT, OnTreectrlDefault)
ON_UPDATE_COMMAND_UI(ID_TREECTRL_DELALL, OnUpdateTreectrlAdd)
ON_COMMAND(ID_TREECTRL_DELALL, OnTreectrlDelall)
ON_UPDATE_COMMAND_UI(ID_TREECTRL_READ, OnUpdateTreectrlAdd)
ON_COMMAND(ID_TREECTRL_READ, OnTreectrlRead)
ON_UPDATE_COMMAND_UI(ID_TREECTRL_REFRESH, OnUpdateTreectrlRefresh)
ON_COMMAND(ID_TREECTRL_REFRESH, OnTreectrlRefresh)
ON_UPDATE_COMMAND_UI(ID_TREECTRL_UNREAD, OnUpdateTreectrlAdd)
ON_COMMAND(ID_TREECTRL_UNREAD, OnTreectrlUnread)
ON_NOTIFY_REFLECT(TVN_BEGINDRAG, OnTvnBegindrag)
ON_WM_LBUTTONDBLCLK()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_MOUSEMOVE()
ON_WM_TIMER()
END_MESSAGE_MAP()

CDARUTreeCtrl::CDARUTreeCtrl()
    : m_pDARU(CDARU::Instance()),
      m_pListCtrl(nullptr),
      m_hMainFrame(nullptr),
      m_pDefaultLabel(nullptr),
      m_hDefaultItem(nullptr),
      m_nDefaultLabelID(kDefaultLabelID),
      m_nScrollTicks(0),
      m_nScrollTimer(0),
      m_nHoverTimer(0),
      m_dwLButtonDownTick(0),
      m_bDragging(FALSE),
      m_hDragItem(nullptr),
      m_hDropItem(nullptr) {}

CDARUTreeCtrl::~CDARUTreeCtrl() {
  // A drag cut short by the window's end must not leave the capture and the
  // drag image behind; a window still up would keep our image list borrowed.
  if (m_bDragging) {
    if (m_hWnd != nullptr) {
      EndDrag();
    } else {
      CImageList::EndDrag();
    }
  }
  if (m_hWnd != nullptr) DestroyWindow();
  m_bitmap.DeleteObject();
  m_imageList.DeleteImageList();
}

int CDARUTreeCtrl::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (CTreeCtrl::OnCreate(lpCreateStruct) == -1) return -1;
  if (!m_imageList.Create(16, 15, ILC_COLOR24 | ILC_MASK, 6, 6)) return -1;
  if (m_bitmap.LoadBitmap(IDB_ARTICLE_IMAGES)) m_imageList.Add(&m_bitmap, RGB(255, 0, 255));
  SetImageList(&m_imageList, TVSIL_NORMAL);
  if (m_pDARU != nullptr && m_pDARU->Init() && m_pDARU->GetLabelTree() != nullptr)
    m_pDARU->GetLabelTree()->InitLabelTreeCtrl(this);
  Expand(GetRootItem(), TVE_EXPAND);
  return 0;
}

// ---- Labels and items ----

CLabel* CDARUTreeCtrl::LabelOf(HTREEITEM hItem) const {
  return hItem ? reinterpret_cast<CLabel*>(GetItemData(hItem)) : nullptr;
}

CLabel* CDARUTreeCtrl::SelectedLabel() const { return LabelOf(GetSelectedItem()); }

HTREEITEM CDARUTreeCtrl::FindLabelItem(CLabel* pLabel, HTREEITEM hFrom) const {
  // Depth first with a stack of our own, however deep the labels go.
  std::vector<HTREEITEM> pending;
  for (HTREEITEM h = hFrom; h; h = GetNextSiblingItem(h)) pending.push_back(h);
  while (!pending.empty()) {
    HTREEITEM h = pending.back();
    pending.pop_back();
    if (LabelOf(h) == pLabel) return h;
    for (HTREEITEM child = GetChildItem(h); child; child = GetNextSiblingItem(child)) pending.push_back(child);
  }
  return nullptr;
}

// ---- The default label ----

void CDARUTreeCtrl::SetDefaultLabel(CLabel* pLabel, HTREEITEM hItem) {
  if (pLabel == nullptr) return;
  m_pDefaultLabel = pLabel;
  m_hDefaultItem = hItem;
  m_nDefaultLabelID = static_cast<UINT>(pLabel->labelid);
  if (hItem != nullptr) SetItemState(hItem, TVIS_BOLD, TVIS_BOLD);
}

void CDARUTreeCtrl::SetDefaultLabel(UINT nLabelID) {
  if (nLabelID != static_cast<UINT>(kHeadLabelID) || m_hWnd == nullptr) return;
  HTREEITEM root = GetRootItem();
  if (root != nullptr) SetDefaultLabel(LabelOf(root), root);
}

void CDARUTreeCtrl::FallBackToRootDefault() {
  HTREEITEM root = GetRootItem();
  // Only one item is ever bold: the one showing the default.
  if (m_hDefaultItem != nullptr && m_hDefaultItem != root && IsValidItem(m_hDefaultItem))
    SetItemState(m_hDefaultItem, 0, TVIS_BOLD);
  SetDefaultLabel(static_cast<UINT>(kHeadLabelID));
}

// ---- Context menu ----

void CDARUTreeCtrl::OnNMRclick(NMHDR*, LRESULT* pResult) {
  *pResult = 0;
  CPoint screen;
  GetCursorPos(&screen);
  CPoint client = screen;
  ScreenToClient(&client);
  UINT flags = 0;
  HTREEITEM hit = HitTest(client, &flags);
  if (hit == nullptr) return;
  // On the item itself the menu is for that item; beside it, for the selection.
  if (flags & TVHT_ONITEM) Select(hit, TVGN_CARET);
  CMenu menu;
  if (!menu.LoadMenu(IDR_TREECTRL_MENU)) return;
  if (CMenu* popup = menu.GetSubMenu(0))
    CXTPCommandBars::TrackPopupMenu(popup, TPM_RIGHTBUTTON, screen.x, screen.y, this, nullptr, nullptr, nullptr);
  menu.DestroyMenu();
}

void CDARUTreeCtrl::OnUpdateTreectrlAdd(CCmdUI* pCmdUI) { pCmdUI->Enable(TRUE); }

void CDARUTreeCtrl::OnUpdateTreectrlDelete(CCmdUI* pCmdUI) {
  CLabel* label = SelectedLabel();
  pCmdUI->Enable(label != nullptr && label->labelid >= kFirstUserLabelID);
}

void CDARUTreeCtrl::OnUpdateTreectrlDefault(CCmdUI* pCmdUI) {
  CLabel* label = SelectedLabel();
  if (label == nullptr) return;  // the item keeps the state the menu gives it
  pCmdUI->Enable(label != m_pDefaultLabel);
}

void CDARUTreeCtrl::OnUpdateTreectrlRefresh(CCmdUI* pCmdUI) {
  // While the list shows search results a refresh would show a label's rows
  // although removals still act on the whole library.
  pCmdUI->Enable(!ListIsSearch());
}

// ---- Mouse ----

void CDARUTreeCtrl::OnLButtonDblClk(UINT nFlags, CPoint point) {
  if (m_hMainFrame != nullptr) ::SendMessage(m_hMainFrame, WM_DARU_TREE_DBLCLK, 2, 0);
  CTreeCtrl::OnLButtonDblClk(nFlags, point);
}

void CDARUTreeCtrl::OnLButtonDown(UINT nFlags, CPoint point) {
  m_dwLButtonDownTick = GetTickCount();
  CTreeCtrl::OnLButtonDown(nFlags, point);
}
