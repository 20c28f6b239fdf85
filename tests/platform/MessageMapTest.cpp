#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlatformFixture.h"
#include "platform/CmdUI.h"
#include "platform/CommCtrl.h"
#include "platform/Wnd.h"

namespace {

std::vector<std::string> g_log;

class CBaseWnd : public CWnd {
  DECLARE_DYNCREATE(CBaseWnd)
 public:
  int createResult = 0;

 protected:
  int OnCreate(LPCREATESTRUCT cs) {
    g_log.push_back("base create");
    if (CWnd::OnCreate(cs) == -1) return -1;
    return createResult;
  }
  void OnDestroy() {
    g_log.push_back("base destroy");
    CWnd::OnDestroy();
  }
  void OnBaseCommand() { g_log.push_back("base 100"); }
  void OnShared() { g_log.push_back("base 200"); }
  LRESULT OnUserMessage(WPARAM w, LPARAM l) {
    g_log.push_back("user " + std::to_string(w) + "," + std::to_string(l));
    return 42;
  }
  DECLARE_MESSAGE_MAP()
};

IMPLEMENT_DYNCREATE(CBaseWnd, CWnd)
BEGIN_MESSAGE_MAP(CBaseWnd, CWnd)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_COMMAND(100, OnBaseCommand)
ON_COMMAND(200, OnShared)
ON_MESSAGE(WM_USER + 7, OnUserMessage)
END_MESSAGE_MAP()

class CDerivedWnd : public CBaseWnd {
  DECLARE_DYNCREATE(CDerivedWnd)
 protected:
  void OnFirst() { g_log.push_back("derived first 200"); }
  void OnSecond() { g_log.push_back("derived second 200"); }
  void OnLButtonDown(UINT flags, CPoint pt) {
    g_log.push_back("down " + std::to_string(pt.x) + "," + std::to_string(pt.y) + " flags " + std::to_string(flags));
  }
  DECLARE_MESSAGE_MAP()
};

IMPLEMENT_DYNCREATE(CDerivedWnd, CBaseWnd)
BEGIN_MESSAGE_MAP(CDerivedWnd, CBaseWnd)
ON_COMMAND(200, OnFirst)
ON_COMMAND(200, OnSecond)
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

// A control that handles some of its own notifications; the parent sees the rest.
class CNotifier : public CWnd {
 public:
  BOOL passOn = FALSE;
  void Fire(UINT code) {
    NMHDR nm{};
    SendNotify(&nm, code);
  }

 protected:
  void OnClick(NMHDR* nm, LRESULT* result) {
    g_log.push_back("child click from " + std::to_string(nm->idFrom));
    *result = 5;
  }
  BOOL OnDblClk(NMHDR*, LRESULT*) {
    g_log.push_back("child dblclk");
    return passOn;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CNotifier, CWnd)
ON_NOTIFY_REFLECT(NM_CLICK, OnClick)
ON_NOTIFY_REFLECT_EX(NM_DBLCLK, OnDblClk)
END_MESSAGE_MAP()

class CParentWnd : public CWnd {
 protected:
  void OnChildClick(NMHDR*, LRESULT* result) {
    g_log.push_back("parent click");
    *result = 9;
  }
  void OnChildDblClk(NMHDR*, LRESULT* result) {
    g_log.push_back("parent dblclk");
    *result = 7;
  }
  void OnChildRClick(NMHDR* nm, LRESULT*) { g_log.push_back("parent rclick from " + std::to_string(nm->idFrom)); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CParentWnd, CWnd)
ON_NOTIFY(NM_CLICK, 12, OnChildClick)
ON_NOTIFY(NM_DBLCLK, 12, OnChildDblClk)
ON_NOTIFY(NM_RCLICK, 12, OnChildRClick)
END_MESSAGE_MAP()

class MessageMapTest : public PlatformTest {
 protected:
  MessageMapTest() { g_log.clear(); }
};

}  // namespace

TEST_F(MessageMapTest, RuntimeClassesKnowTheirBasesAndCreateByName) {
  EXPECT_STREQ(RUNTIME_CLASS(CDerivedWnd)->m_lpszClassName, "CDerivedWnd");
  EXPECT_EQ(RUNTIME_CLASS(CDerivedWnd)->GetBaseClass(), RUNTIME_CLASS(CBaseWnd));
  EXPECT_TRUE(RUNTIME_CLASS(CDerivedWnd)->IsDerivedFrom(RUNTIME_CLASS(CWnd)));
  EXPECT_FALSE(RUNTIME_CLASS(CBaseWnd)->IsDerivedFrom(RUNTIME_CLASS(CDerivedWnd)));

  std::unique_ptr<CObject> made(CRuntimeClass::CreateObject("CDerivedWnd"));
  ASSERT_NE(made, nullptr);
  EXPECT_TRUE(made->IsKindOf(RUNTIME_CLASS(CBaseWnd)));
  EXPECT_EQ(made->GetRuntimeClass(), RUNTIME_CLASS(CDerivedWnd));
  EXPECT_EQ(CRuntimeClass::CreateObject("CNoSuchClass"), nullptr);
  // Known but not creatable.
  EXPECT_NE(CRuntimeClass::FromName("CCmdTarget"), nullptr);
  EXPECT_EQ(CRuntimeClass::CreateObject("CCmdTarget"), nullptr);
}

TEST_F(MessageMapTest, FirstMatchingEntryWinsAndBasesHandleTheRest) {
  CDerivedWnd w;
  ASSERT_TRUE(w.Create(nullptr, u"w", WS_VISIBLE, CRect(0, 0, 50, 50), &frame, 1));
  g_log.clear();
  w.SendMessage(WM_COMMAND, 200);
  w.SendMessage(WM_COMMAND, 100);
  EXPECT_EQ(w.SendMessage(WM_USER + 7, 3, 4), 42);
  w.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 6));
  EXPECT_EQ(g_log, (std::vector<std::string>{"derived first 200", "base 100", "user 3,4", "down 5,6 flags 1"}));
  // The derived table's entries come first, in table order.
  const AFX_MSGMAP_ENTRY* e = w.GetMessageMap()->lpEntries;
  EXPECT_EQ(e[0].nID, 200u);
  EXPECT_EQ(e[2].nMessage, static_cast<UINT>(WM_LBUTTONDOWN));
  EXPECT_EQ(w.FindMessageEntry(WM_COMMAND, CN_COMMAND, 100), &CBaseWnd::GetThisMessageMap()->lpEntries[2]);
  EXPECT_EQ(w.FindMessageEntry(WM_COMMAND, CN_COMMAND, 300), nullptr);
}

TEST_F(MessageMapTest, CreationCanFailAndDestructionReachesEveryWindow) {
  CBaseWnd failing;
  failing.createResult = -1;
  EXPECT_FALSE(failing.Create(nullptr, u"x", WS_VISIBLE, CRect(0, 0, 10, 10), &frame, 2));
  EXPECT_EQ(failing.m_hWnd, nullptr);
  EXPECT_TRUE(frame.GetChildren().empty());
  EXPECT_EQ(g_log, (std::vector<std::string>{"base create", "base destroy"}));

  g_log.clear();
  auto parent = std::make_unique<CBaseWnd>();
  ASSERT_TRUE(parent->Create(nullptr, u"p", WS_VISIBLE, CRect(0, 0, 10, 10), &frame, 3));
  CBaseWnd child;
  ASSERT_TRUE(child.Create(nullptr, u"c", WS_VISIBLE, CRect(0, 0, 5, 5), parent.get(), 4));
  HWND childHandle = child.m_hWnd;
  EXPECT_EQ(parent->GetDlgItem(4), &child);
  parent->DestroyWindow();
  EXPECT_EQ(g_log, (std::vector<std::string>{"base create", "base create", "base destroy", "base destroy"}));
  EXPECT_FALSE(IsWindow(childHandle));
  EXPECT_EQ(child.m_hWnd, nullptr);
  EXPECT_EQ(SendMessage(childHandle, WM_USER + 7, 1, 1), 0);
}

TEST_F(MessageMapTest, NotificationsAreReflectedToTheSenderFirst) {
  CParentWnd parent;
  ASSERT_TRUE(parent.Create(nullptr, u"p", WS_VISIBLE, CRect(0, 0, 100, 100), &frame, 10));
  CNotifier child;
  ASSERT_TRUE(child.Create(nullptr, u"c", WS_VISIBLE, CRect(0, 0, 10, 10), &parent, 12));
  g_log.clear();

  NMHDR nm{};
  EXPECT_EQ(child.SendNotify(&nm, NM_CLICK), 5);  // the child's own handler answered
  EXPECT_EQ(nm.hwndFrom, child.m_hWnd);
  child.Fire(NM_DBLCLK);  // _EX handler declines: the parent sees it too
  child.passOn = TRUE;
  child.Fire(NM_DBLCLK);  // accepted: the parent does not
  child.Fire(NM_RCLICK);  // no reflected handler
  EXPECT_EQ(g_log, (std::vector<std::string>{"child click from 12", "child dblclk", "parent dblclk", "child dblclk",
                                             "parent rclick from 12"}));

  // A control without a parent still hears its own notifications.
  CNotifier orphan;
  ASSERT_TRUE(orphan.CreateEx(0, nullptr, u"o", WS_VISIBLE, CRect(0, 0, 5, 5), nullptr, 77));
  g_log.clear();
  orphan.Fire(NM_CLICK);
  EXPECT_EQ(g_log, (std::vector<std::string>{"child click from 77"}));
}

TEST_F(MessageMapTest, HostWindowsHearTheLibrarysMessages) {
  std::vector<std::pair<WPARAM, LPARAM>> seen;
  CHostWnd host([&](UINT msg, WPARAM w, LPARAM l) -> LRESULT {
    if (msg == WM_USER + 501) seen.emplace_back(w, l);
    return 0;
  });
  ASSERT_TRUE(host.CreateHost(u"host", CRect(0, 0, 10, 10)));
  SendMessage(host.m_hWnd, WM_USER + 501, 1, 1234);
  SendMessage(host.m_hWnd, WM_USER + 500, 2, 0);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (std::pair<WPARAM, LPARAM>{1, 1234}));
  ASSERT_EQ(host.UserMessages().size(), 2u);
  EXPECT_EQ(host.UserMessages()[1].message, static_cast<UINT>(WM_USER + 500));
}

TEST_F(MessageMapTest, FocusCaptureAndCoordinates) {
  std::vector<std::string> log;
  CHostWnd a([&](UINT m, WPARAM, LPARAM) -> LRESULT {
    if (m == WM_SETFOCUS) log.push_back("a set");
    if (m == WM_KILLFOCUS) log.push_back("a kill");
    if (m == WM_CAPTURECHANGED) log.push_back("a lost capture");
    return 0;
  });
  CHostWnd b([&](UINT m, WPARAM, LPARAM) -> LRESULT {
    if (m == WM_SETFOCUS) log.push_back("b set");
    return 0;
  });
  ASSERT_TRUE(a.CreateEx(0, nullptr, u"a", WS_VISIBLE | WS_CHILD, CRect(10, 20, 60, 70), &frame, 1));
  ASSERT_TRUE(b.CreateEx(0, nullptr, u"b", WS_VISIBLE | WS_CHILD, CRect(0, 0, 5, 5), &a, 2));
  a.SetFocus();
  b.SetFocus();
  EXPECT_EQ(CWnd::GetFocus(), &b);
  a.SetCapture();
  b.SetCapture();
  EXPECT_EQ(CWnd::GetCapture(), &b);
  EXPECT_EQ(log, (std::vector<std::string>{"a set", "a kill", "b set", "a lost capture"}));

  CPoint p(1, 2);
  b.ClientToScreen(&p);
  EXPECT_EQ(p, CPoint(111, 72));  // frame at (100,50), a at (10,20) inside it
  b.ScreenToClient(&p);
  EXPECT_EQ(p, CPoint(1, 2));
  a.DestroyWindow();
  EXPECT_EQ(CWnd::GetFocus(), nullptr);
  EXPECT_EQ(CWnd::GetCapture(), nullptr);
}
