#include "ui/list/DARUListCtrl.h"

#include "core/Article.h"
#include "facade/DARU.h"
#include "platform/HeaderCtrl.h"
#include "platform/Input.h"
#include "platform/Menu.h"
#include "platform/XTToolkit.h"
#include "res/ResourceIds.h"

namespace {

constexpr int kTextSort = 2;  // the toolkit's text comparison

}  // namespace

IMPLEMENT_DYNAMIC(CDARUListCtrl, CListCtrlEx)

BEGIN_MESSAGE_MAP(CDARUListCtrl, CListCtrlEx)
ON_WM_CREATE()
ON_NOTIFY_REFLECT(NM_RCLICK, OnNMRclick)
ON_COMMAND(ID_LIST_ADD, OnListAdd)
ON_UPDATE_COMMAND_UI(ID_LIST_ADD, OnUpdateListAdd)
ON_UPDATE_COMMAND_UI(ID_LIST_COMMENT, OnUpdateListComment)
ON_COMMAND(ID_LIST_COMMENT, OnListComment)
ON_UPDATE_COMMAND_UI(ID_LIST_DEL, OnUpdateListComment)
ON_COMMAND(ID_LIST_DEL, OnListDel)
ON_UPDATE_COMMAND_UI(ID_LISTCTRL_READ, OnUpdateListctrlRead)
ON_COMMAND(ID_LISTCTRL_READ, OnListctrlRead)
ON_UPDATE_COMMAND_UI(ID_LISTCTRL_UNREAD, OnUpdateListctrlUnread)
ON_COMMAND(ID_LISTCTRL_UNREAD, OnListctrlUnread)
ON_UPDATE_COMMAND_UI(ID_LISTCTRL_IMP, OnUpdateListctrlImp)
ON_COMMAND(ID_LISTCTRL_IMP, OnListctrlImp)
ON_UPDATE_COMMAND_UI(ID_LISTCTRL_UNIMP, OnUpdateListctrlUnimp)
ON_COMMAND(ID_LISTCTRL_UNIMP, OnListctrlUnimp)
ON_UPDATE_COMMAND_UI(ID_LIST_PROP, OnUpdateListComment)
ON_COMMAND(ID_LIST_PROP, OnListProp)
ON_NOTIFY_REFLECT(LVN_BEGINDRAG, OnLvnBegindrag)
ON_WM_LBUTTONDOWN()
ON_NOTIFY_REFLECT(NM_CLICK, OnNMClick)
ON_UPDATE_COMMAND_UI(ID_LIST_BROWSER, OnUpdateListBrowser)
ON_COMMAND(ID_LIST_BROWSER, OnListBrowser)
ON_COMMAND(ID_LIST_SEARCH, OnListSearch)
ON_UPDATE_COMMAND_UI(ID_LIST_SEARCH, OnUpdateListSearch)
ON_NOTIFY_REFLECT(NM_DBLCLK, OnLvnBegindrag)
ON_COMMAND(ID_LISTCTRL_MANAGER, OnListctrlManager)
ON_UPDATE_COMMAND_UI(ID_LISTCTRL_MANAGER, OnUpdateListComment)
END_MESSAGE_MAP()

CDARUListCtrl::CDARUListCtrl()
    : m_bSearchTag(false),
      m_pTreeCtrl(nullptr),
      m_pLabel(nullptr),
      m_hMsgWnd(nullptr),
      m_nSortColumn(1),
      m_bSortAscending(0) {}

CDARUListCtrl::~CDARUListCtrl() { DestroyWindow(); }

int CDARUListCtrl::OnCreate(LPCREATESTRUCT lpCreateStruct) {
  if (CListCtrlEx::OnCreate(lpCreateStruct) == -1) return -1;
  SetExtendedStyle(GetExtendedStyle() | LVS_EX_FULLROWSELECT);
  if (!m_imageList.Create(16, 15, ILC_COLOR24 | ILC_MASK, 6, 6)) return -1;
  m_bitmap.LoadBitmap(IDB_ARTICLE_IMAGES);
  m_imageList.Add(&m_bitmap, RGB(255, 0, 255));
  SetImageList(&m_imageList, LVSIL_SMALL);
  // The rows start sorted by the creation date, newest first, and the arrow says so.
  SetSortIndicator(TRUE, -(m_nSortColumn + 1));
  SetSortColumnColour(TRUE);
  InsertColumn(0, u"标题", LVCFMT_LEFT, 380);
  InsertColumn(1, u"创建日期", LVCFMT_LEFT, 200);
  InsertColumn(2, u"关键字", LVCFMT_LEFT, 300);
  return 0;
}

void CDARUListCtrl::Sort(int nColumn, bool bAscending) {
  CXTSortClass sorter(this, nColumn);
  sorter.Sort(bAscending, kTextSort);
}

void CDARUListCtrl::ReSort() { Sort(m_nSortColumn, m_bSortAscending != 0); }

// A left click on a header item: the same column flips direction, another starts ascending.
BOOL CDARUListCtrl::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  const auto* nm = reinterpret_cast<const NMHDR*>(lParam);
  CHeaderCtrl* header = GetHeaderCtrl();
  if (nm != nullptr && header != nullptr && nm->hwndFrom == header->m_hWnd &&
      (nm->code == HDN_ITEMCLICKW || nm->code == HDN_ITEMCLICKA)) {
    const auto* click = reinterpret_cast<const NMHEADER*>(lParam);
    if (click->iButton == 0) {
      m_bSortAscending = click->iItem == m_nSortColumn ? !m_bSortAscending : 1;
      m_nSortColumn = click->iItem;
      Sort(m_nSortColumn, m_bSortAscending != 0);
    }
  }
  return CListCtrlEx::OnNotify(wParam, lParam, pResult);
}

// A click on a row marks its article read and asks the host to show it.
void CDARUListCtrl::OnNMClick(NMHDR*, LRESULT* pResult) {
  *pResult = 0;
  const int row = GetNextItem(-1, LVNI_SELECTED);
  if (row < 0) return;
  CArticle* article = GetItemArticle(row);
  if (article == nullptr) return;
  MarkArticleRead(row, true);
  if (m_hMsgWnd != nullptr) ::SendMessage(m_hMsgWnd, WM_DARU_SHOWARTICLE, 0, reinterpret_cast<LPARAM>(article));
}

void CDARUListCtrl::OnNMRclick(NMHDR*, LRESULT* pResult) {
  CPoint screen;
  GetCursorPos(&screen);
  CPoint client = screen;
  ScreenToClient(&client);
  UINT flags = 0;
  const int row = HitTest(client, &flags);
  if (row >= 0 && (flags & (LVHT_ONITEMICON | LVHT_ONITEMLABEL)))
    SendMessage(LVM_SETSELECTIONMARK, 0, static_cast<LPARAM>(row));
  CMenu menu;
  if (menu.LoadMenu(IDR_LISTCTRL_MENU)) {
    CXTPCommandBars::TrackPopupMenu(menu.GetSubMenu(0), TPM_RIGHTBUTTON, screen.x, screen.y, this, nullptr, nullptr,
                                    nullptr);
    menu.DestroyMenu();
  }
  *pResult = 0;
}

// Articles are not dragged, and a double click does no more than its two clicks.
void CDARUListCtrl::OnLvnBegindrag(NMHDR*, LRESULT* pResult) { *pResult = 0; }

void CDARUListCtrl::OnLButtonDown(UINT nFlags, CPoint point) { CListCtrlEx::OnLButtonDown(nFlags, point); }
