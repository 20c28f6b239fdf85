#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlatformFixture.h"
#include "platform/Controls.h"
#include "platform/PropertySheet.h"

namespace {

std::vector<std::string> g_log;

CDialogTemplate Page(const char16_t* caption, std::vector<CDialogItemTemplate> items) {
  CDialogTemplate t;
  t.style = WS_CHILD | WS_CAPTION;
  t.rect = CRect(0, 0, 309, 253);
  t.caption = caption;
  t.fontFace = u"宋体";
  t.pointSize = 9;
  t.items = std::move(items);
  return t;
}

struct Model {
  std::u16string title = u"旧标题";
  int read = 0;
  std::u16string description = u"旧描述";
  int number = 3;
};

class CSheet;

class CBase : public CPropertyPage {
 public:
  CBase() : CPropertyPage(55001) {}
  std::u16string title;
  int read = 0;

 protected:
  Model& M();
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, 50016, title);
    DDX_Check(pDX, 50025, read);
  }
  BOOL OnInitDialog() override {
    g_log.push_back("base init");
    title = M().title;
    read = M().read;
    return CPropertyPage::OnInitDialog();
  }
  void OnOK() override {
    g_log.push_back("base ok");
    UpdateData(TRUE);
    if (title.empty()) {
      AfxMessageBox(u"文章标题不能为空。");
      return;
    }
    M().title = title;
    M().read = read;
  }
  void OnCancel() override { g_log.push_back("base cancel"); }
};

class CDescription : public CPropertyPage {
 public:
  CDescription() : CPropertyPage(55002) {}
  std::u16string text;
  int number = 0;

 protected:
  Model& M();
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, 50028, text);
    DDX_Text(pDX, 50030, number);
  }
  BOOL OnInitDialog() override {
    g_log.push_back("description init");
    text = M().description;
    number = M().number;
    return CPropertyPage::OnInitDialog();
  }
  void OnOK() override {
    g_log.push_back("description ok");
    M().description = text;
    M().number = number;
  }
};

class CComment : public CPropertyPage {
 public:
  CComment() : CPropertyPage(55003) {}

 protected:
  BOOL OnInitDialog() override {
    g_log.push_back("comment init");
    return CPropertyPage::OnInitDialog();
  }
  void OnOK() override { g_log.push_back("comment ok"); }
};

class CSheet : public CPropertySheet {
 public:
  CSheet(Model* model, bool noApply) : CPropertySheet(u"文章属性..."), model(model) {
    if (noApply) m_psh.dwFlags |= PSH_NOAPPLYNOW;
    AddPage(&base);
    AddPage(&description);
    AddPage(&comment);
  }
  Model* model;  // not owned
  CBase base;
  CDescription description;
  CComment comment;
};

Model& CBase::M() { return *static_cast<CSheet*>(GetParent())->model; }
Model& CDescription::M() { return *static_cast<CSheet*>(GetParent())->model; }

class SheetTest : public PlatformTest {
 protected:
  SheetTest() {
    g_log.clear();
    AfxInitRichEdit2();
    resources.AddDialog(
        55001,
        Page(u"基本信息", {{u"Edit", u"", 50016, WS_VISIBLE, 0, CRect(7, 7, 200, 21)},
                           {u"Button", u"已阅读文章", 50025, WS_VISIBLE | BS_AUTOCHECKBOX, 0, CRect(7, 30, 200, 40)}}));
    resources.AddDialog(
        55002, Page(u"描述文字", {{u"RichEdit20A", u"", 50028, WS_VISIBLE | ES_MULTILINE, 0, CRect(7, 7, 300, 200)},
                                  {u"Edit", u"", 50030, WS_VISIBLE, 0, CRect(7, 210, 50, 220)}}));
    resources.AddDialog(
        55003, Page(u"我的注释", {{u"RichEdit20A", u"", 50029, WS_VISIBLE | ES_MULTILINE, 0, CRect(7, 7, 300, 200)}}));
  }
  Model model;
};

}  // namespace

TEST_F(SheetTest, PagesAreCreatedWhenFirstShownAndOnlyThoseTakePartInOk) {
  CSheet sheet(&model, true);
  user.Dialog(u"文章属性...", [&](CModalSession& s) {
    EXPECT_TRUE(s.IsSheet());
    EXPECT_EQ(s.Tabs(), (std::vector<std::u16string>{u"基本信息", u"描述文字", u"我的注释"}));
    EXPECT_EQ(s.ActiveTab(), 0);
    EXPECT_EQ(s.TemplateId(), 55001u);
    EXPECT_FALSE(s.HasControl(ID_APPLY_NOW));
    EXPECT_EQ(s.GetText(50016), u"旧标题");
    EXPECT_FALSE(sheet.IsPageCreated(1));
    s.SetCheck(50025, BST_CHECKED);
    s.Ok();
  });
  ASSERT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(g_log, (std::vector<std::string>{"base init", "base ok"}));
  EXPECT_EQ(model.read, 1);
  EXPECT_EQ(model.description, u"旧描述");
  EXPECT_EQ(sheet.m_hWnd, nullptr);
  EXPECT_EQ(sheet.base.m_hWnd, nullptr);
  ExpectScriptDone();
}

TEST_F(SheetTest, EveryCreatedPageAppliesInPageOrder) {
  CSheet sheet(&model, false);
  user.Dialog([](CModalSession& s) {
    ASSERT_TRUE(s.HasControl(ID_APPLY_NOW));
    EXPECT_FALSE(s.Controls().back().enabled);  // Apply waits for a change
    ASSERT_TRUE(s.SelectTab(u"描述文字"));
    EXPECT_EQ(s.GetText(50028), u"旧描述");
    s.SetText(50028, u"新描述");
    ASSERT_TRUE(s.SelectTab(0));
    s.SetText(50016, u"");  // the message does not keep the sheet open
    s.Ok();
  });
  user.AnswerMessageBox(IDOK, u"文章标题不能为空。");
  ASSERT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(g_log, (std::vector<std::string>{"base init", "description init", "base ok", "description ok"}));
  EXPECT_EQ(model.title, u"旧标题");
  EXPECT_EQ(model.description, u"新描述");
  ExpectScriptDone();
}

TEST_F(SheetTest, APageCanRefuseToBeLeftAndCancelResetsTheCreatedPages) {
  CSheet sheet(&model, true);
  user.Dialog([](CModalSession& s) {
    s.SelectTab(1);
    s.SetText(50030, u"not a number");
    EXPECT_FALSE(s.SelectTab(2));
    EXPECT_EQ(s.ActiveTab(), 1);
    s.Ok();  // the active page refuses again: still open
  });
  user.AnswerMessageBox(IDOK, u"请输入一个整数。").AnswerMessageBox(IDOK, u"请输入一个整数。");
  user.Dialog([](CModalSession& s) {
    EXPECT_TRUE(s.IsOpen());
    s.Cancel();
  });
  ASSERT_EQ(sheet.DoModal(), IDCANCEL);
  EXPECT_EQ(g_log, (std::vector<std::string>{"base init", "description init", "base cancel"}));
  EXPECT_EQ(model.number, 3);
  ExpectScriptDone();
}
