// The pieces both hosts share (the dialogs as described to them, the pointer
// as the windows get it, the rule for opening links) and the desktop host's
// small helpers: the reading pane's page, labels, its remembered settings.

#include <gtest/gtest.h>

#include <fstream>

#include "desktop/DesktopHost.h"
#include "desktop/DesktopUser.h"
#include "desktop/ReadingPane.h"
#include "fixtures/TempDir.h"
#include "shared/DialogDescription.h"
#include "shared/PointerInput.h"
#include "ui/dialogs/CommentDlg.h"
#include "ui/dialogs/SearchDlg.h"

using namespace hostshared;

namespace {

// Describes the dialog it is shown, then does what the test asks.
class DescribingUser : public IUserInteraction {
 public:
  std::function<void(CModalSession&, const DialogDescription&)> then;
  int messages = 0;
  void OperateDialog(CModalSession& s) override {
    const DialogDescription d = DescribeDialog(s);
    if (then) then(s, d);
    if (s.IsOpen()) s.Cancel();
  }
  int MessageBox(const std::u16string&, const std::u16string&, UINT) override {
    ++messages;
    return IDOK;
  }
};

const DialogControl* Find(const DialogDescription& d, UINT id) {
  for (const DialogControl& c : d.controls)
    if (c.id == id) return &c;
  return nullptr;
}

TEST(DialogDescriptionTest, TheSearchDialogAsBothHostsBuildIt) {
  AfxInitRichEdit2();
  DescribingUser user;
  CScopedUserInteraction scope(&user);
  bool seen = false;
  user.then = [&](CModalSession&, const DialogDescription& d) {
    seen = true;
    EXPECT_EQ(d.title, u"搜索资料库...");
    EXPECT_EQ(d.sheet, nullptr);
    EXPECT_GT(d.size.Width(), 300);
    const DialogControl* edit = Find(d, 50009);
    const DialogControl* title = Find(d, 51013);
    const DialogControl* keys = Find(d, 51014);
    const DialogControl* fuzzy = Find(d, 51015);
    const DialogControl* ok = Find(d, IDOK);
    ASSERT_TRUE(edit && title && keys && fuzzy && ok);
    EXPECT_EQ(edit->kind, u"edit");
    EXPECT_TRUE(edit->focusable);
    EXPECT_FALSE(edit->tall);
    // The radio group starts at the first button; the check box starts a group of its own.
    EXPECT_EQ(title->kind, u"radio button");
    EXPECT_TRUE(title->style & WS_GROUP);
    EXPECT_FALSE(keys->style & WS_GROUP);
    EXPECT_TRUE(fuzzy->style & WS_GROUP);
    EXPECT_TRUE(ok->isDefault);
    // Places follow the template: the edit right of its label, the buttons below everything.
    EXPECT_LT(title->rect.top, keys->rect.top);
    EXPECT_LT(keys->rect.bottom, ok->rect.top);
    // Labels and frames cannot take the focus; text without its mnemonics.
    for (const DialogControl& c : d.controls) {
      if (c.kind == u"static") {
        EXPECT_FALSE(c.focusable);
      }
    }
  };
  CSearchDlg dlg;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(seen);
}

TEST(DialogDescriptionTest, AResizedControlKeepsItsTemplatePlaceAndTheCommentEditIsTall) {
  AfxInitRichEdit2();
  DescribingUser user;
  CScopedUserInteraction scope(&user);
  user.then = [&](CModalSession& s, const DialogDescription& first) {
    const DialogControl* comment = Find(first, 50031);
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->kind, u"rich edit");
    EXPECT_TRUE(comment->tall);
    EXPECT_TRUE(comment->style & ES_MULTILINE);
    const DialogControl* title = Find(first, 50016);
    ASSERT_NE(title, nullptr);
    EXPECT_FALSE(title->focusable) << "a read-only line is only read";
    // A host sizes the control to its widget; the description remembers the template's place.
    std::map<HWND, CRect> original;
    DescribeDialog(s, &original);
    s.GetControl(50031)->MoveWindow(0, 0, 900, 900);
    const DialogDescription again = DescribeDialog(s, &original);
    EXPECT_EQ(Find(again, 50031)->rect, comment->rect);
    EXPECT_NE(DescribeDialog(s).controls.size(), 0u);
  };
  CCommentDlg dlg;
  dlg.DoModal();
}

TEST(PointerInputTest, PressesMovesAndReleasesReachTheWindowsAsAHandMakesThem) {
  CHostWnd frame;
  std::vector<std::pair<HWND, UINT>> got;
  frame.CreateHost(u"frame", CRect(0, 0, 1000, 600));
  CListCtrl list;
  list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(100, 0, 500, 300), &frame, 2);
  list.InsertColumn(0, u"标题", LVCFMT_LEFT, 200);
  for (int i = 0; i < 40; ++i) list.InsertItem(i, u"row");
  // The header is the child under the list's top strip; rows lie below it.
  const PointerTarget onHeader = ChildAt(list.GetSafeHwnd(), CPoint(30, 2));
  EXPECT_EQ(onHeader.hwnd, list.GetHeaderCtrl()->GetSafeHwnd());
  EXPECT_EQ(onHeader.pt, CPoint(30, 2));
  const int rowY = list.GetHeaderHeight() + list.GetRowHeight() * 2 + 2;
  const PointerTarget onRow = ChildAt(list.GetSafeHwnd(), CPoint(30, rowY));
  EXPECT_EQ(onRow.hwnd, list.GetSafeHwnd());

  PointerRouter router;
  router.Press(PointerButton::Left, onRow, false);
  EXPECT_EQ(router.LeftPressTarget(), list.GetSafeHwnd());
  EXPECT_TRUE(DaruMouseButtons() & MK_LBUTTON);
  router.Release(PointerButton::Left, [&](HWND) { return onRow.pt; });
  EXPECT_FALSE(DaruMouseButtons() & MK_LBUTTON);
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 2);
  // A release with nothing pressed sends nothing, and a second release is harmless.
  router.Release(PointerButton::Left, [&](HWND) { return CPoint(0, 0); });
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 2);
  // The wheel scrolls three rows a notch, both ways, never past the top.
  Wheel(list.GetSafeHwnd(), 2);
  EXPECT_EQ(list.GetTopIndex(), 6);
  Wheel(list.GetSafeHwnd(), -5);
  EXPECT_EQ(list.GetTopIndex(), 0);
  DaruResetInputState();
}

TEST(PointerInputTest, ASecondPressIsADoubleClickOnlyInTimeAndPlace) {
  DoubleClickDetector clicks(400, 4);
  EXPECT_FALSE(clicks.Press(PointerButton::Left, 1000, 10, 10));
  EXPECT_TRUE(clicks.Press(PointerButton::Left, 1300, 12, 9));
  // A third press starts over.
  EXPECT_FALSE(clicks.Press(PointerButton::Left, 1400, 12, 9));
  EXPECT_FALSE(clicks.Press(PointerButton::Left, 1900, 12, 9)) << "too late";
  EXPECT_FALSE(clicks.Press(PointerButton::Left, 2000, 30, 9)) << "too far";
  EXPECT_FALSE(clicks.Press(PointerButton::Right, 2100, 30, 9)) << "another button";
}

TEST(PointerInputTest, OnlyWebAndFtpLinksGoToTheOpener) {
  EXPECT_TRUE(SafeToOpen(u"http://example.com/"));
  EXPECT_TRUE(SafeToOpen(u"https://例子.cn/文章"));
  EXPECT_TRUE(SafeToOpen(u"ftp://ftp.example.com/a"));
  for (const char16_t* bad : {u"file:///etc/passwd", u"javascript:alert(1)", u"http://", u"", u"  https://x",
                              u"mailto:a@b", u"-https://x", u"smb://host/share"})
    EXPECT_FALSE(SafeToOpen(bad)) << ToUtf8(bad);
}

TEST(HostTextTest, MnemonicsAndLabels) {
  EXPECT_EQ(WithoutMnemonic(u"确定(&O)"), u"确定(O)");
  EXPECT_EQ(WithoutMnemonic(u"A && B"), u"A & B");
  EXPECT_EQ(WithoutMnemonic(u"trailing&"), u"trailing");
  EXPECT_EQ(desktop::MnemonicLabel(u"浏览(&B)..."), "浏览(_B)...");
  EXPECT_EQ(desktop::MnemonicLabel(u"a_b && c"), "a__b & c");
}

TEST(ReadingPaneTest, ThePageAllowsNothingFromOutsideAndItsTextReads) {
  const std::string page =
      "<html><HEAD><title>T</title><script>evil()</script></HEAD><body><h1>标题</h1><p>第一段  文字</p>"
      "<p>second <b>para</b></p><img src=\"http://tracker.example/x.png\"></body></html>";
  const std::string locked = desktop::LockDownHtml(page);
  const size_t policy = locked.find("Content-Security-Policy");
  ASSERT_NE(policy, std::string::npos);
  EXPECT_LT(policy, locked.find("<title>")) << "the policy must come before anything that loads";
  EXPECT_NE(locked.find("default-src 'none'"), std::string::npos);
  EXPECT_EQ(desktop::LockDownHtml("<p>x</p>").find("<meta"), 0u) << "a page without a head gets it first";
  EXPECT_EQ(desktop::HtmlText(page), "T\n标题\n第一段 文字\nsecond para");
  EXPECT_EQ(desktop::HtmlText(""), "");
}

TEST(DesktopSettingsTest, SizesAreRememberedAndNonsenseIsIgnored) {
  TempDir dir;
  const std::string path = (dir.path() / "daru" / "desktop.ini").string();
  EXPECT_EQ(desktop::LoadSettings(path).width, desktop::DesktopSettings().width) << "no file: the defaults";
  desktop::DesktopSettings s;
  s.width = 900;
  s.height = 600;
  s.treeWidth = 333;
  s.listHeight = 222;
  ASSERT_TRUE(desktop::SaveSettings(path, s));
  const desktop::DesktopSettings back = desktop::LoadSettings(path);
  EXPECT_EQ(back.width, 900);
  EXPECT_EQ(back.height, 600);
  EXPECT_EQ(back.treeWidth, 333);
  EXPECT_EQ(back.listHeight, 222);
  std::ofstream(path) << "[window]\nwidth=-5\nheight=abc\ntree-width=99999999\nlist-height=300\n";
  const desktop::DesktopSettings odd = desktop::LoadSettings(path);
  EXPECT_EQ(odd.width, desktop::DesktopSettings().width);
  EXPECT_EQ(odd.height, desktop::DesktopSettings().height);
  EXPECT_EQ(odd.treeWidth, desktop::DesktopSettings().treeWidth);
  EXPECT_EQ(odd.listHeight, 300);
}

}  // namespace
