#include <gtest/gtest.h>

#include "PlatformFixture.h"
#include "platform/ImageList.h"
#include "platform/Input.h"
#include "platform/ListCtrl.h"
#include "platform/TestState.h"

namespace {

class ClickCountingList : public CListCtrl {
 public:
  int clicks = 0;
  void OnClick(NMHDR*, LRESULT* pResult) {
    ++clicks;
    *pResult = 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ClickCountingList, CListCtrl)
ON_NOTIFY_REFLECT(NM_CLICK, OnClick)
END_MESSAGE_MAP()

class PlatformStateTest : public PlatformTest {};

}  // namespace

TEST_F(PlatformStateTest, ResetForgetsHeldButtonsDragImageAndInjectedFailures) {
  CListCtrl list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 200, 100), &frame, 1));
  InputLButtonDown(list.m_hWnd, CPoint(5, 40));
  DaruSetModifierKeys(MK_SHIFT);
  EXPECT_EQ(DaruMouseButtons(), static_cast<UINT>(MK_LBUTTON));
  CImageList images;
  ASSERT_TRUE(images.Create(16, 15, ILC_COLOR24 | ILC_MASK, 1, 1));
  CBitmap strip;
  strip.CreateFromPixels(16, 15, std::vector<COLORREF>(16 * 15, RGB(1, 2, 3)));
  images.Add(&strip, CLR_NONE);
  ASSERT_TRUE(images.BeginDrag(0, CPoint(0, 0)));
  DaruFailImageListCreate(3);

  DaruResetPlatformState();
  EXPECT_EQ(DaruMouseButtons(), 0u);
  EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8000, 0);
  EXPECT_FALSE(DaruGetDragImageState().dragging);
  CImageList fresh;
  EXPECT_TRUE(fresh.Create(16, 15, ILC_COLOR24 | ILC_MASK, 1, 1));
}

TEST_F(PlatformStateTest, HostHandlerDoesNotStopNotificationsReachingTheControls) {
  std::vector<UINT> hostMessages;
  CHostWnd host([&](UINT message, WPARAM, LPARAM) -> LRESULT {
    if (message >= WM_USER) hostMessages.push_back(message);
    return 0;  // a handler that only cares about its own messages
  });
  ASSERT_TRUE(host.CreateHost(u"host", CRect(0, 0, 300, 200)));
  ClickCountingList list;
  ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 200, 100), &host, 1));
  list.InsertColumn(0, u"a", LVCFMT_LEFT, 100);
  list.InsertItem(0, u"row");
  InputClick(list.m_hWnd, CPoint(30, 25));
  EXPECT_EQ(list.clicks, 1);
  EXPECT_EQ(list.GetItemState(0, LVIS_SELECTED), static_cast<UINT>(LVIS_SELECTED));
  EXPECT_EQ(SendMessage(host.m_hWnd, WM_USER + 501, 0, 0), 0);
  EXPECT_EQ(hostMessages, std::vector<UINT>{WM_USER + 501});
}
