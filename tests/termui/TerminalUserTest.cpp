#include <gtest/gtest.h>

#include "ScriptedDisplay.h"
#include "terminal/DialogView.h"
#include "terminal/TerminalUser.h"
#include "terminal/TextCells.h"

using namespace termui;

namespace {

CDialogItemTemplate Item(const char16_t* cls, UINT id, DWORD style, const char16_t* text, CRect rect) {
  return CDialogItemTemplate{cls, text, id, style | WS_VISIBLE | WS_CHILD, 0, rect};
}

CDialogTemplate Template(const char16_t* caption, CRect rect, std::vector<CDialogItemTemplate> items) {
  CDialogTemplate t;
  t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION;
  t.rect = rect;
  t.caption = caption;
  t.fontFace = u"MS Shell Dlg";
  t.pointSize = 8;
  t.items = std::move(items);
  return t;
}

// A label dialog: an empty name is refused with a message and the dialog stays open.
class CNameDlg : public CDialog {
 public:
  CNameDlg() : CDialog(61001) {}
  std::u16string name;
  int searchIn = -1;
  int fuzzy = -1;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, 100, name);
    DDX_Radio(pDX, 101, searchIn);
    DDX_Check(pDX, 103, fuzzy);
  }
  BOOL OnInitDialog() override {
    searchIn = 0;
    fuzzy = 0;
    return CDialog::OnInitDialog();
  }
  void OnOK() override {
    UpdateData(TRUE);
    if (name.empty()) {
      AfxMessageBox(u"请输入一个有效的标签名。");
      return;
    }
    CDialog::OnOK();
  }
};

class CPickerDlg : public CDialog {
 public:
  CPickerDlg() : CDialog(61002) {}
  CTreeCtrl tree;
  std::vector<std::u16string> ticked;

 protected:
  void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, 200, tree); }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    HTREEITEM root = tree.InsertItem(u"我的资料库");
    tree.InsertItem(u"科技", root);
    tree.SetCheck(tree.InsertItem(u"新闻", root));
    tree.Expand(root, TVE_EXPAND);
    tree.SelectItem(root);
    return TRUE;
  }
  void OnOK() override {
    for (HTREEITEM h = tree.GetRootItem(); h != nullptr; h = tree.GetNextVisibleItem(h))
      if (tree.GetCheck(h) == 1) ticked.push_back(tree.GetItemText(h));
    CDialog::OnOK();
  }
};

class CTextPage : public CPropertyPage {
 public:
  CTextPage(UINT id, std::u16string* value) : CPropertyPage(id), m_value(value) {}

 protected:
  void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, 300, *m_value); }

 private:
  std::u16string* m_value;
};

class TerminalUserTest : public ::testing::Test {
 protected:
  TerminalUserTest() : user(display), scope(&user) {
    UseUtf8Locale();
    AfxInitRichEdit2();
    AfxInsertResourceModule(&resources, true);
    resources.AddDialog(
        61001,
        Template(u"添加标签...", CRect(0, 0, 200, 90),
                 {Item(u"Static", 0xFFFF, 0, u"标签名(&N):", CRect(7, 9, 50, 17)),
                  Item(u"Edit", 100, WS_TABSTOP | ES_AUTOHSCROLL, u"", CRect(55, 7, 190, 21)),
                  Item(u"Button", 101, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, u"标题", CRect(7, 28, 80, 38)),
                  Item(u"Button", 102, BS_AUTORADIOBUTTON, u"关键字", CRect(90, 28, 160, 38)),
                  Item(u"Button", 103, BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, u"模糊", CRect(7, 45, 80, 55)),
                  Item(u"Button", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, u"确定", CRect(80, 68, 130, 82)),
                  Item(u"Button", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, u"取消", CRect(140, 68, 190, 82))}));
    resources.AddDialog(
        61002, Template(u"选择标签", CRect(0, 0, 160, 120),
                        {Item(u"SysTreeView32", 200, TVS_CHECKBOXES | TVS_HASBUTTONS | TVS_LINESATROOT | WS_TABSTOP,
                              u"", CRect(7, 7, 150, 90)),
                         Item(u"Button", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, u"确定", CRect(40, 100, 90, 114)),
                         Item(u"Button", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, u"取消", CRect(100, 100, 150, 114))}));
    resources.AddDialog(
        61003,
        Template(u"描述", CRect(0, 0, 200, 80),
                 {Item(u"RichEdit20W", 300, ES_MULTILINE | ES_WANTRETURN | WS_TABSTOP, u"", CRect(7, 7, 190, 50)),
                  Item(u"Button", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, u"确定", CRect(140, 60, 190, 74))}));
    resources.AddDialog(
        61004, Template(u"注释", CRect(0, 0, 200, 80), {Item(u"Edit", 300, WS_TABSTOP, u"", CRect(7, 7, 190, 21))}));
  }
  ~TerminalUserTest() override { AfxRemoveResourceModule(&resources); }

  ScriptedDisplay display;
  TerminalUser user;
  CResourceModule resources{u"termui-test"};
  CScopedUserInteraction scope;
};

TEST_F(TerminalUserTest, MessageBoxesAnswerWithTheirOwnButtons) {
  display.Then([](const CellBuffer& b) {
    EXPECT_NE(b.Dump().find("(?) 确定要删除标签吗?"), std::string::npos) << b.Dump();
    EXPECT_NE(b.Dump().find("[ 是(Y) ] [ 否(N) ]"), std::string::npos) << b.Dump();
  });
  // Escape means nothing in a Yes/No box; N answers No.
  display.Key(Key::Escape).Type(U"n");
  EXPECT_EQ(AfxMessageBox(u"确定要删除标签吗?", MB_YESNO | MB_ICONQUESTION), IDNO);
  // The second button as the default, chosen with Enter.
  display.Key(Key::Enter);
  EXPECT_EQ(AfxMessageBox(u"再试?", MB_YESNO | MB_DEFBUTTON2), IDNO);
  display.Key(Key::Left).Key(Key::Enter);
  EXPECT_EQ(AfxMessageBox(u"再试?", MB_YESNO | MB_DEFBUTTON2), IDYES);
  // Escape closes an OK box.
  display.Key(Key::Escape);
  EXPECT_EQ(AfxMessageBox(u"检索文章失败!"), IDOK);
  EXPECT_FALSE(display.RanOut());
  // A person who leaves gets the answer that changes nothing, and no more questions.
  EXPECT_EQ(AfxMessageBox(u"确定?", MB_YESNO), IDNO);
  EXPECT_TRUE(user.QuitRequested());
  EXPECT_EQ(AfxMessageBox(u"还有?", MB_OKCANCEL), IDCANCEL);
}

TEST_F(TerminalUserTest, PopupMenusSkipDisabledItemsAndDismissWithEscape) {
  CPopupMenuView menu;
  auto add = [&](UINT id, const char16_t* text, bool enabled) {
    CMenuItemView item;
    item.id = id;
    item.text = text;
    item.enabled = enabled;
    menu.items.push_back(item);
  };
  add(50001, u"刷新文章列表", true);
  CMenuItemView sep;
  sep.separator = true;
  menu.items.push_back(sep);
  add(50002, u"添加标签(&A)", true);
  add(50003, u"删除标签", false);
  add(50004, u"重命名", true);
  menu.pt = POINT{0, 0};
  user.SetPointToCell([](POINT, int& x, int& y) {
    x = 70;  // near the right edge: the menu moves in to fit
    y = 3;
  });
  // Down from the first item passes the separator; down again skips the disabled item.
  display.Then([](const CellBuffer& b) {
    const std::string screen = b.Dump();
    EXPECT_NE(screen.find("删除标签"), std::string::npos) << screen;
    EXPECT_EQ(b.RowText(4).find("┌"), std::string::npos);
  });
  display.Key(Key::Down).Key(Key::Down).Key(Key::Enter);
  EXPECT_EQ(user.TrackPopupMenu(menu), 50004u);
  // A click on the disabled item chooses nothing; the mnemonic chooses its item.
  int disabledY = -1;
  display.Then([&](const CellBuffer& b) {
    for (int y = 0; y < b.Rows(); ++y)
      if (b.RowText(y).find("删除标签") != std::string::npos) disabledY = y;
    ASSERT_GE(disabledY, 0);
    int x = 0;
    while (b.At(x, disabledY).ch != U'删') ++x;
    EXPECT_TRUE(b.At(x, disabledY).style & kGrey);
  });
  display.Click(70, 7).Type(U"a");
  EXPECT_EQ(user.TrackPopupMenu(menu), 50002u);
  EXPECT_EQ(disabledY, 7);
  display.Key(Key::Escape);
  EXPECT_EQ(user.TrackPopupMenu(menu), 0u);
  // A click outside dismisses.
  display.Click(1, 1);
  EXPECT_EQ(user.TrackPopupMenu(menu), 0u);
  EXPECT_FALSE(display.RanOut());
}

TEST_F(TerminalUserTest, ADialogIsWorkedWithKeysAndAValidationMessageKeepsItOpen) {
  CNameDlg dlg;
  display.Then([](const CellBuffer& b) {
    const std::string s = b.Dump();
    EXPECT_NE(s.find("添加标签..."), std::string::npos) << s;
    EXPECT_NE(s.find("标签名(N):"), std::string::npos) << s;
    EXPECT_NE(s.find("(*) 标题"), std::string::npos) << s;
    EXPECT_NE(s.find("[ ] 模糊"), std::string::npos) << s;
    EXPECT_NE(s.find("[<确定>]"), std::string::npos) << s;
  });
  // Enter with an empty name: the dialog's own check speaks and the dialog stays.
  display.Key(Key::Enter);
  display.Then([](const CellBuffer& b) { EXPECT_NE(b.Dump().find("请输入一个有效的标签名。"), std::string::npos); });
  display.Key(Key::Enter);
  // Type, correct a typo with the editing keys, pick the second radio and tick the box.
  display.Type(U"新标签x").Key(Key::Backspace).Key(Key::Home).Type(U"我的").Key(Key::End);
  display.Key(Key::Tab).Key(Key::Right).Key(Key::Tab).Type(U" ");
  display.Then([](const CellBuffer& b) {
    const std::string s = b.Dump();
    EXPECT_NE(s.find("我的新标签"), std::string::npos) << s;
    EXPECT_NE(s.find("(*) 关键字"), std::string::npos) << s;
    EXPECT_NE(s.find("[x] 模糊"), std::string::npos) << s;
  });
  display.Key(Key::Enter);
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.name, u"我的新标签");
  EXPECT_EQ(dlg.searchIn, 1);
  EXPECT_EQ(dlg.fuzzy, 1);
  EXPECT_FALSE(display.RanOut());

  // Escape cancels and leaves the dialog's values alone.
  CNameDlg again;
  display.Type(U"abc").Key(Key::Escape);
  EXPECT_EQ(again.DoModal(), IDCANCEL);
  EXPECT_EQ(again.name, u"");
  EXPECT_FALSE(display.RanOut());

  // A person who leaves (Ctrl-C) in the middle of a dialog cancels it, and no
  // further dialog holds the program up.
  CNameDlg left;
  display.Type(U"半").Key(Key::CtrlC);
  EXPECT_EQ(left.DoModal(), IDCANCEL);
  EXPECT_TRUE(user.QuitRequested());
  CNameDlg next;
  EXPECT_EQ(next.DoModal(), IDCANCEL);
  EXPECT_EQ(next.name, u"");
}

TEST_F(TerminalUserTest, MouseWorksTheButtonsAndTheCheckBoxTreeOfAPicker) {
  CPickerDlg dlg;
  // Space ticks the selected item in the tree; Down moves; a click on the check box of 科技 ticks it too.
  int techY = -1, techX = -1, okX = -1, okY = -1;
  display.Then([&](const CellBuffer& b) {
    for (int y = 0; y < b.Rows(); ++y) {
      const std::string row = b.RowText(y);
      if (row.find("科技") != std::string::npos) techY = y;
      if (row.find("[<确定>]") != std::string::npos) okY = y;
    }
    ASSERT_GE(techY, 0) << b.Dump();
    ASSERT_GE(okY, 0) << b.Dump();
    for (int x = 0; x < b.Cols(); ++x) {
      if (b.At(x, techY).ch == U'[' && techX < 0) techX = x + 1;
      if (b.At(x, okY).ch == U'<' && okX < 0) okX = x + 1;
    }
    EXPECT_NE(b.Dump().find("[x] 新闻"), std::string::npos) << b.Dump();
  });
  display.Key(Key::Down).Key(Key::Down).Type(U" ");  // 新闻 unticked
  std::vector<std::u16string> result;
  // Run in two rounds: first the keyboard, then the mouse on what the screen showed.
  user.SetIdle([&]() -> int {
    if (display.Pending() == 0 && techY >= 0 && okY >= 0 && result.empty()) {
      result.push_back(u"clicked");
      display.Click(techX, techY).Click(okX, okY);
    }
    return -1;
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.ticked, (std::vector<std::u16string>{u"科技"}));
  EXPECT_FALSE(display.RanOut());
}

TEST_F(TerminalUserTest, MultiLineEditsTakeEnterAndMoveBetweenLines) {
  struct CCommentDlg : CDialog {
    CCommentDlg() : CDialog(61003) {}
    std::u16string text = u"第一行\r\n第二行更长";
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, 300, text); }
  } dlg;
  // The cursor starts at the end; Up keeps the column as far as the shorter line goes,
  // Enter breaks the line there; then Tab to OK.
  display.Key(Key::Up).Type(U"。").Key(Key::Enter).Type(U"新").Key(Key::Down).Key(Key::Home).Key(Key::Delete);
  display.Then([&](const CellBuffer& b) {
    EXPECT_NE(b.Dump().find("第一行。"), std::string::npos) << b.Dump();
    EXPECT_EQ(display.CursorY() >= 0, true);
  });
  display.Key(Key::Tab).Key(Key::Enter);
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.text, u"第一行。\r\n新\r\n二行更长");
  // Without an OK button, Enter in a single-line edit presses nothing; Escape still leaves.
  struct CPlainDlg : CDialog {
    CPlainDlg() : CDialog(61004) {}
  } plain;
  display.Type(U"x").Key(Key::Enter).Key(Key::Escape);
  EXPECT_EQ(plain.DoModal(), IDCANCEL);
  EXPECT_FALSE(display.RanOut());
}

TEST_F(TerminalUserTest, PropertySheetTabsSwitchWithPageKeysAndOkTakesEveryPage) {
  std::u16string first = u"一", second = u"二";
  CTextPage page1(61004, &first), page2(61004, &second);
  CPropertySheet sheet(u"属性");
  sheet.AddPage(&page1);
  sheet.AddPage(&page2);
  display.Then([](const CellBuffer& b) {
    EXPECT_NE(b.Dump().find(" 注释   注释 "), std::string::npos) << b.Dump();
    EXPECT_NE(b.Dump().find("[<确定>]      [ 取消 ]"), std::string::npos) << b.Dump();
  });
  display.Type(U"1").Key(Key::PageDown).Type(U"2");
  display.Then([](const CellBuffer& b) { EXPECT_NE(b.Dump().find("二2"), std::string::npos) << b.Dump(); });
  display.Key(Key::Enter);
  EXPECT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(first, u"一1");
  EXPECT_EQ(second, u"二2");
  EXPECT_FALSE(display.RanOut());
}

}  // namespace
