#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlatformFixture.h"
#include "platform/Controls.h"
#include "platform/Dialog.h"
#include "platform/Input.h"
#include "platform/TreeCtrl.h"

namespace {

CDialogItemTemplate Item(const char16_t* cls, UINT id, DWORD style, const char16_t* text = u"",
                         CRect rect = CRect(7, 7, 100, 21)) {
  return CDialogItemTemplate{cls, text, id, style | WS_VISIBLE | WS_CHILD, 0, rect};
}

CDialogTemplate Template(const char16_t* caption, std::vector<CDialogItemTemplate> items) {
  CDialogTemplate t;
  t.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION;
  t.rect = CRect(0, 0, 244, 82);
  t.caption = caption;
  t.fontFace = u"MS Shell Dlg";
  t.pointSize = 8;
  t.items = std::move(items);
  t.items.push_back(Item(u"Button", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, u"确定"));
  t.items.push_back(Item(u"Button", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, u"取消"));
  return t;
}

// Asks for a name; an empty one is refused with a message and the dialog stays open.
class CNameDlg : public CDialog {
 public:
  CNameDlg() : CDialog(50008) {}
  std::u16string name;
  int initCount = 0;

 protected:
  void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, 50009, name); }
  BOOL OnInitDialog() override {
    ++initCount;
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

class CSearchLikeDlg : public CDialog {
 public:
  CSearchLikeDlg() : CDialog(55005) {}
  std::u16string keyword;
  int searchIn = -1;
  int fuzzy = -1;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, 50009, keyword);
    DDX_Radio(pDX, 51013, searchIn);
    DDX_Check(pDX, 51015, fuzzy);
  }
  BOOL OnInitDialog() override {
    searchIn = 0;
    fuzzy = 1;
    return CDialog::OnInitDialog();
  }
};

class CPickerDlg : public CDialog {
 public:
  CPickerDlg() : CDialog(55006) {}
  CTreeCtrl tree;
  std::vector<std::u16string> ticked;

 protected:
  void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, 51016, tree); }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    HTREEITEM root = tree.InsertItem(u"根");
    tree.InsertItem(u"甲", root);
    tree.SetCheck(tree.InsertItem(u"乙", root));
    tree.Expand(root, TVE_EXPAND);
    return TRUE;
  }
  void OnOK() override {
    for (HTREEITEM h = tree.GetRootItem(); h != nullptr; h = tree.GetNextVisibleItem(h))
      if (tree.GetCheck(h) == 1) ticked.push_back(tree.GetItemText(h));
    CDialog::OnOK();
  }
};

class DialogTest : public PlatformTest {
 protected:
  DialogTest() {
    resources.AddDialog(50008, Template(u"添加标签...", {Item(u"Edit", 50009, ES_AUTOHSCROLL | WS_TABSTOP)}));
    resources.AddDialog(
        55005, Template(u"搜索资料库...", {Item(u"Edit", 50009, WS_TABSTOP),
                                           Item(u"Button", 51013, BS_AUTORADIOBUTTON | WS_GROUP, u"搜索文章标题"),
                                           Item(u"Button", 51014, BS_AUTORADIOBUTTON, u"搜索文章关键字"),
                                           Item(u"Button", 51015, BS_AUTOCHECKBOX | WS_GROUP, u"使用模糊搜索方式")}));
    resources.AddDialog(55006, Template(u"添加标签...", {Item(u"SysTreeView32", 51016,
                                                              TVS_CHECKBOXES | TVS_HASBUTTONS | TVS_LINESATROOT, u"",
                                                              CRect(7, 7, 200, 190))}));
    resources.AddDialog(50018, Template(u"注释...", {Item(u"Edit", 50016, ES_READONLY),
                                                     Item(u"RichEdit20A", 50031, ES_MULTILINE | ES_WANTRETURN)}));
  }
};

}  // namespace

TEST_F(DialogTest, ValidationKeepsTheDialogOpenUntilTheUserGetsItRight) {
  CNameDlg dlg;
  user.Dialog(u"添加标签...", CScriptedUser::Press(IDOK))
      .AnswerMessageBox(IDOK, u"请输入一个有效的标签名。")
      .Dialog(CScriptedUser::Fill({{50009, u"新标签"}}));
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.name, u"新标签");
  EXPECT_EQ(dlg.initCount, 1);
  EXPECT_EQ(dlg.m_hWnd, nullptr);  // gone again
  ASSERT_EQ(user.Events().size(), 3u);
  EXPECT_EQ(user.Events()[0].templateId, 50008u);
  EXPECT_EQ(user.Events()[2].kind, CScriptedUser::Event::Kind::Dialog);
  ExpectScriptDone();

  // Cancel leaves the member as the dialog started.
  CNameDlg again;
  again.name = u"原来";
  user.Dialog([](CModalSession& d) {
    EXPECT_EQ(d.GetText(50009), u"原来");
    d.SetText(50009, u"改了");
    d.Cancel();
  });
  EXPECT_EQ(again.DoModal(), IDCANCEL);
  EXPECT_EQ(again.name, u"原来");
}

TEST_F(DialogTest, TheFocusGoesBackWhereItWasWhenTheDialogCloses) {
  // The owner's control keeps its place as the focused one, as the desktop gives it back.
  ASSERT_TRUE(frame.GetSafeHwnd() != nullptr || frame.CreateHost(u"frame", CRect(0, 0, 400, 300)));
  CEdit field;
  ASSERT_TRUE(field.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP, CRect(0, 0, 100, 20), &frame, 7));
  field.SetFocus();
  CNameDlg dlg;
  user.Dialog([&field](CModalSession& d) {
    EXPECT_NE(::GetFocus(), field.GetSafeHwnd());  // the dialog's control has it meanwhile
    d.SetText(50009, u"名字");
    d.Ok();
  });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(::GetFocus(), field.GetSafeHwnd());
}

TEST_F(DialogTest, RadioGroupsAndCheckBoxesExchangeIndices) {
  CSearchLikeDlg dlg;
  user.Dialog([](CModalSession& d) {
    EXPECT_EQ(d.GetCheck(51013), BST_CHECKED);
    EXPECT_EQ(d.GetCheck(51014), BST_UNCHECKED);
    EXPECT_EQ(d.GetCheck(51015), BST_CHECKED);
    d.SetCheck(51014, BST_CHECKED);
    d.SetCheck(51015, BST_UNCHECKED);
    EXPECT_EQ(d.GetCheck(51013), BST_UNCHECKED);  // the group has one choice
    EXPECT_THROW(d.SetCheck(51014, BST_UNCHECKED), std::logic_error);
    d.SetText(50009, u"关键");
    d.Ok();
  });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.keyword, u"关键");
  EXPECT_EQ(dlg.searchIn, 1);
  EXPECT_EQ(dlg.fuzzy, 0);
  EXPECT_NE(user.Transcript().find("CButton #51015 (check box) \"使用模糊搜索方式\""), std::string::npos)
      << user.Transcript();
}

TEST_F(DialogTest, ControlsCanBeTakenOverByMembers) {
  CPickerDlg dlg;
  user.Dialog([&](CModalSession& d) {
    EXPECT_EQ(d.GetControl(51016), &dlg.tree);
    HTREEITEM root = dlg.tree.GetRootItem();
    CRect r;
    dlg.tree.GetItemRect(dlg.tree.GetChildItem(root), &r, TRUE);
    InputClick(dlg.tree.m_hWnd, CPoint(r.left - 8, r.top + 4));  // the state icon before the label
    d.Ok();
  });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.ticked, (std::vector<std::u16string>{u"甲", u"乙"}));
  EXPECT_EQ(dlg.tree.m_hWnd, nullptr);
}

TEST_F(DialogTest, RichEditsNeedTheirLibraryAndKeepLineBreaks) {
  struct CCommentDlg : CDialog {
    CCommentDlg() : CDialog(50018) {}
    std::u16string title = u"标题", comment;
    void DoDataExchange(CDataExchange* pDX) override {
      DDX_Text(pDX, 50016, title);
      DDX_Text(pDX, 50031, comment);
    }
  } dlg;
  DaruResetRichEdit();
  EXPECT_EQ(dlg.DoModal(), -1);
  AfxInitRichEdit2();
  user.Dialog([](CModalSession& d) {
    EXPECT_THROW(d.SetText(50016, u"改"), std::logic_error);  // read-only
    EXPECT_THROW(d.Click(50031), std::logic_error);           // not a button
    EXPECT_THROW(d.GetText(4242), std::logic_error);
    d.SetText(50031, u"第一行\r\n第二行");
    d.Ok();
  });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.comment, u"第一行\r\n第二行");
  EXPECT_EQ(dlg.title, u"标题");
}

TEST_F(DialogTest, DialogsEndCancelledWhenNobodyOrNothingAnswers) {
  CNameDlg missing;
  static_cast<CDialog&>(missing).Create(1, nullptr);  // no such template
  EXPECT_EQ(missing.m_hWnd, nullptr);
  CDialog noTemplate(4711);
  EXPECT_EQ(noTemplate.DoModal(), -1);

  {
    CScopedUserInteraction nobody(nullptr);
    CNameDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  }
  CNameDlg idle;
  user.Dialog([](CModalSession&) {});  // looks and does nothing
  EXPECT_EQ(idle.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, AScriptErrorInsideADialogLeavesNoWindowBehind) {
  const size_t windows = GetTopLevelWindows().size();
  CNameDlg dlg;
  user.Dialog(CScriptedUser::Press(IDOK));  // the validation message is not in the script
  EXPECT_THROW(dlg.DoModal(), CScriptedUserError);
  EXPECT_EQ(dlg.m_hWnd, nullptr);
  EXPECT_EQ(GetTopLevelWindows().size(), windows);
  user.Dialog(CScriptedUser::Fill({{50009, u"再来"}}));
  EXPECT_EQ(dlg.DoModal(), IDOK);  // the object can be shown again
}
