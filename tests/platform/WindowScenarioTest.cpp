#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "PlatformFixture.h"
#include "base/TextConv.h"
#include "platform/Clock.h"
#include "platform/CmdUI.h"
#include "platform/Controls.h"
#include "platform/Gdi.h"
#include "platform/ImageList.h"
#include "platform/Input.h"
#include "platform/Menu.h"
#include "platform/TreeCtrl.h"
#include "platform/WindowSnapshot.h"
#include "platform/XTToolkit.h"

// A small label tree written the way the library's windows are: a message map
// with reflected notifications, a context menu with update handlers, in-place
// renaming, a host message on double click, and a timed drag.

namespace {

constexpr UINT kRename = 2;
constexpr UINT kAdd = 1;

class CMiniTree : public CTreeCtrl {
  DECLARE_DYNAMIC(CMiniTree)

 public:
  HWND host = nullptr;
  std::vector<std::u16string> shown;  // labels selected, in order
  DWORD downTick = 0;
  bool dragging = false;
  int scrollTicks = 0;
  std::unique_ptr<CImageList> dragImage;  // owned while dragging

 protected:
  int OnCreate(LPCREATESTRUCT cs) {
    if (CTreeCtrl::OnCreate(cs) == -1) return -1;
    if (!m_images.Create(16, 15, ILC_COLOR24 | ILC_MASK, 6, 6)) return -1;
    m_bitmap.LoadBitmap(54004);
    m_images.Add(&m_bitmap, RGB(255, 0, 255));
    SetImageList(&m_images, TVSIL_NORMAL);
    HTREEITEM root = InsertItem(u"根", 3, 3);
    SetItemData(root, 1);
    SetItemData(InsertItem(u"收藏", 3, 3, root), 2);
    SetItemData(InsertItem(u"我的", 3, 3, root), 5);
    Expand(root, TVE_EXPAND);
    return 0;
  }
  void OnSelChanged(NMHDR* nm, LRESULT* result) {
    auto* tv = reinterpret_cast<NMTREEVIEW*>(nm);
    if (tv->itemNew.hItem != nullptr) shown.push_back(GetItemText(tv->itemNew.hItem));
    *result = 0;
  }
  void OnRClick(NMHDR*, LRESULT* result) {
    CPoint screen;
    GetCursorPos(&screen);
    CPoint client = screen;
    ScreenToClient(&client);
    UINT flags = 0;
    HTREEITEM hit = HitTest(client, &flags);
    *result = 0;
    if (hit == nullptr) return;
    if (flags & TVHT_ONITEM) Select(hit, TVGN_CARET);
    CMenu menu;
    menu.LoadMenu(500);
    CXTPCommandBars::TrackPopupMenu(menu.GetSubMenu(0), TPM_RIGHTBUTTON, screen.x, screen.y, this);
    menu.DestroyMenu();
  }
  void OnUpdateRename(CCmdUI* ui) {
    HTREEITEM selected = GetSelectedItem();
    ui->Enable(selected != nullptr && GetItemData(selected) >= 4);
  }
  void OnRename() { EditLabel(GetSelectedItem()); }
  void OnAdd() {}
  void OnEndLabelEdit(NMHDR* nm, LRESULT* result) {
    auto* di = reinterpret_cast<NMTVDISPINFO*>(nm);
    *result = 0;
    if (di->item.pszText == nullptr || di->item.pszText[0] == 0) return;
    if (std::u16string(di->item.pszText) == u"坏") {
      AfxMessageBox(u"重命名标签名错误!");
      return;
    }
    *result = 1;
  }
  void OnLButtonDblClk(UINT flags, CPoint pt) {
    if (host != nullptr) ::SendMessage(host, WM_USER + 500, 2, 0);
    CTreeCtrl::OnLButtonDblClk(flags, pt);
  }
  void OnLButtonDown(UINT flags, CPoint pt) {
    downTick = GetTickCount();
    CTreeCtrl::OnLButtonDown(flags, pt);
  }
  void OnBeginDrag(NMHDR* nm, LRESULT* result) {
    *result = 0;
    if (GetTickCount() - downTick < 60) return;
    auto* tv = reinterpret_cast<NMTREEVIEW*>(nm);
    dragImage.reset(CreateDragImage(tv->itemNew.hItem));
    if (!dragImage) return;
    dragging = true;
    dragImage->BeginDrag(0, CPoint(8, 8));
    CPoint pt = tv->ptDrag;
    ClientToScreen(&pt);
    CImageList::DragEnter(this, pt);
    SetCapture();
    SetTimer(2, 40);
  }
  void OnLButtonUp(UINT flags, CPoint pt) {
    if (dragging) {
      dragging = false;
      CImageList::DragLeave(this);
      CImageList::EndDrag();
      ReleaseCapture();
      dragImage.reset();
      KillTimer(2);
    }
    CTreeCtrl::OnLButtonUp(flags, pt);
  }
  void OnTimer(UINT_PTR id) {
    if (id == 2) {
      ++scrollTicks;
      return;
    }
    CTreeCtrl::OnTimer(id);
  }

 private:
  CImageList m_images;
  CBitmap m_bitmap;
  DECLARE_MESSAGE_MAP()
};

IMPLEMENT_DYNAMIC(CMiniTree, CTreeCtrl)
BEGIN_MESSAGE_MAP(CMiniTree, CTreeCtrl)
ON_WM_CREATE()
ON_NOTIFY_REFLECT(TVN_SELCHANGED, OnSelChanged)
ON_NOTIFY_REFLECT(NM_RCLICK, OnRClick)
ON_UPDATE_COMMAND_UI(kRename, OnUpdateRename)
ON_COMMAND(kRename, OnRename)
ON_COMMAND(kAdd, OnAdd)
ON_NOTIFY_REFLECT(TVN_ENDLABELEDIT, OnEndLabelEdit)
ON_NOTIFY_REFLECT(TVN_BEGINDRAG, OnBeginDrag)
ON_WM_LBUTTONDBLCLK()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_TIMER()
END_MESSAGE_MAP()

class WindowScenarioTest : public PlatformTest {
 protected:
  WindowScenarioTest() {
    CMenuTemplate menu;
    menu.items.push_back({u"TreeCtrl", 0, MF_POPUP, {{u"添加标签", kAdd, 0, {}}, {u"重命名", kRename, 0, {}}}});
    resources.AddMenu(500, menu);
    resources.AddBitmap(54004, CBitmapPixels{16 * 7, 15, std::vector<COLORREF>(16 * 7 * 15, RGB(255, 0, 255))});
    tree.host = frame.m_hWnd;
    tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_EDITLABELS, CRect(0, 0, 200, 160),
                &frame, 1001);
  }
  // The point in the middle of an item's label.
  CPoint On(const std::u16string& text) {
    for (HTREEITEM h = tree.GetRootItem(); h != nullptr; h = tree.GetNextVisibleItem(h)) {
      if (tree.GetItemText(h) != text) continue;
      CRect r;
      tree.GetItemRect(h, &r, TRUE);
      return r.CenterPoint();
    }
    ADD_FAILURE() << "no item " << ToUtf8(text) << "\n" << DaruSnapshotWindowUtf8(&tree);
    return CPoint();
  }
  CMiniTree tree;
};

}  // namespace

TEST_F(WindowScenarioTest, ContextMenuRenamesThroughInPlaceEditing) {
  ASSERT_NE(tree.m_hWnd, nullptr);
  user.PickMenuItem(u"重命名");
  InputRightClick(tree.m_hWnd, On(u"我的"));
  EXPECT_EQ(tree.shown, (std::vector<std::u16string>{u"我的"}));
  CEdit* edit = tree.GetEditControl();
  ASSERT_NE(edit, nullptr) << DaruSnapshotWindowUtf8(&tree);
  edit->SetWindowText(u"工作");
  InputKey(VK_RETURN);
  EXPECT_EQ(tree.GetItemText(tree.GetSelectedItem()), u"工作");

  // A rejected name comes back with a message and the old text stays.
  user.PickMenuItem(kRename).AnswerMessageBox(IDOK, u"重命名标签名错误!");
  InputRightClick(tree.m_hWnd, On(u"工作"));
  tree.GetEditControl()->SetWindowText(u"坏");
  InputKey(VK_RETURN);
  EXPECT_EQ(tree.GetItemText(tree.GetSelectedItem()), u"工作");

  // Labels below 4 cannot be renamed; the menu shows it disabled.
  user.DismissMenu();
  InputRightClick(tree.m_hWnd, On(u"收藏"));
  const CPopupMenuView& menu = user.Events().back().menu;
  EXPECT_FALSE(menu.FindById(kRename)->enabled);
  EXPECT_TRUE(menu.FindById(kAdd)->enabled);
  // Empty space below the items: no menu at all.
  InputRightClick(tree.m_hWnd, CPoint(50, 150));
  ExpectScriptDone();
}

TEST_F(WindowScenarioTest, DoubleClickTellsTheHostBeforeTheDefaultProcessing) {
  HTREEITEM root = tree.GetRootItem();
  InputDoubleClick(tree.m_hWnd, On(u"根"));
  ASSERT_EQ(frame.UserMessages().size(), 1u);
  EXPECT_EQ(frame.UserMessages()[0].message, static_cast<UINT>(WM_USER + 500));
  EXPECT_EQ(frame.UserMessages()[0].wParam, 2u);
  EXPECT_EQ(tree.GetItemState(root, TVIS_EXPANDED), 0u);  // the default processing collapsed it
}

TEST_F(WindowScenarioTest, DragsStartOnlyAfterTheButtonWasHeldLongEnough) {
  InputLButtonDown(tree.m_hWnd, On(u"我的"));
  InputMouseMove(tree.m_hWnd, On(u"我的") + CPoint(0, 10));
  EXPECT_FALSE(tree.dragging);  // within 60 ms of the press
  InputLButtonUp(tree.m_hWnd, On(u"收藏"));

  InputLButtonDown(tree.m_hWnd, On(u"我的"));
  DaruAdvanceClock(100);
  InputMouseMove(tree.m_hWnd, On(u"我的") + CPoint(0, 10));
  ASSERT_TRUE(tree.dragging);
  EXPECT_EQ(CWnd::GetCapture(), &tree);
  EXPECT_TRUE(DaruGetDragImageState().visible);
  DaruAdvanceClock(200);
  EXPECT_EQ(tree.scrollTicks, 5);
  InputLButtonUp(tree.m_hWnd, On(u"根"));
  EXPECT_FALSE(tree.dragging);
  EXPECT_EQ(CWnd::GetCapture(), nullptr);
  EXPECT_FALSE(DaruGetDragImageState().dragging);
  DaruAdvanceClock(200);
  EXPECT_EQ(tree.scrollTicks, 5);
}

TEST_F(WindowScenarioTest, SnapshotShowsTheTreeWithItsState) {
  tree.SelectItem(tree.GetChildItem(tree.GetRootItem()));
  tree.SetItemState(tree.GetRootItem(), TVIS_BOLD, TVIS_BOLD);
  const std::string text = DaruSnapshotWindowUtf8(&frame);
  EXPECT_NE(text.find("CHostWnd \"frame\""), std::string::npos) << text;
  EXPECT_NE(text.find("  CMiniTree #1001"), std::string::npos) << text;
  EXPECT_NE(text.find("[-] 根  {bold, image 3/3, data 1}"), std::string::npos) << text;
  EXPECT_NE(text.find("      收藏  {selected, image 3/3, data 2}"), std::string::npos) << text;
}
