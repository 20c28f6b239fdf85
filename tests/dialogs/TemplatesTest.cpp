// The templates as compiled into the library: what the dialogs are built from,
// and a layout a person can read (everything inside, nothing overlapping,
// every caption fitting its control with the platform's text metrics).

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "base/TextConv.h"
#include "platform/CommCtrl.h"
#include "platform/Dialog.h"
#include "platform/Gdi.h"
#include "platform/LibraryModule.h"
#include "platform/PropertySheet.h"
#include "platform/RuntimeClass.h"
#include "platform/WinUser.h"
#include "ui/dialogs/DialogResources.h"

namespace {

struct Expected {
  UINT id;
  const char16_t* className;
  const char16_t* text;
  DWORD styleBits;  // must all be set
};

const CDialogTemplate& Template(UINT id) {
  DaruEnsureDialogTemplates();
  const CDialogTemplate* t = DaruLibraryResources().FindDialog(id);
  if (t == nullptr) throw std::runtime_error("no template " + std::to_string(id));
  return *t;
}

const CDialogItemTemplate* Item(const CDialogTemplate& t, UINT id) {
  for (const CDialogItemTemplate& item : t.items)
    if (item.id == id) return &item;
  return nullptr;
}

std::vector<std::u16string> StaticTexts(const CDialogTemplate& t) {
  std::vector<std::u16string> texts;
  for (const CDialogItemTemplate& item : t.items)
    if (item.id == 0xFFFF && !item.text.empty()) texts.push_back(item.text);
  return texts;
}

void ExpectControls(const CDialogTemplate& t, const std::vector<Expected>& controls) {
  for (const Expected& e : controls) {
    const CDialogItemTemplate* item = Item(t, e.id);
    ASSERT_NE(item, nullptr) << ToUtf8(t.caption) << " lacks " << e.id;
    EXPECT_EQ(item->className, e.className) << e.id;
    EXPECT_EQ(item->text, e.text) << e.id;
    EXPECT_EQ(item->style & e.styleBits, e.styleBits) << e.id;
  }
}

bool IsGroupBox(const CDialogItemTemplate& item) {
  return item.className == u"Button" && (item.style & BS_TYPEMASK) == BS_GROUPBOX;
}

// Everything inside the dialog; controls overlap only a group box around them;
// captions fit with the dialog's font.
void ExpectTidyLayout(const CDialogTemplate& t) {
  const CRect whole(0, 0, t.rect.Width(), t.rect.Height());
  LOGFONT font;
  font.lfHeight = -MulDiv(t.pointSize, 96, 72);
  for (size_t i = 0; i < t.items.size(); ++i) {
    const CDialogItemTemplate& a = t.items[i];
    const std::string name = ToUtf8(t.caption) + " control " + std::to_string(a.id) + " \"" + ToUtf8(a.text) + "\"";
    EXPECT_TRUE(a.rect.left >= whole.left && a.rect.top >= whole.top && a.rect.right <= whole.right &&
                a.rect.bottom <= whole.bottom)
        << name << " lies outside the dialog";
    for (size_t j = i + 1; j < t.items.size(); ++j) {
      const CDialogItemTemplate& b = t.items[j];
      CRect common;
      if (!common.IntersectRect(a.rect, b.rect)) continue;
      const bool nested = (IsGroupBox(a) && common == b.rect) || (IsGroupBox(b) && common == a.rect);
      EXPECT_TRUE(nested) << name << " overlaps control " << b.id << " \"" << ToUtf8(b.text) << "\"";
    }
    const bool captioned = a.className == u"Static" || (a.className == u"Button" && !IsGroupBox(a));
    if (captioned && !a.text.empty()) {
      const int box =
          (a.style & BS_TYPEMASK) == BS_AUTOCHECKBOX || (a.style & BS_TYPEMASK) == BS_AUTORADIOBUTTON ? 16 : 0;
      std::u16string shown;
      for (char16_t c : a.text)
        if (c != u'&') shown += c;
      EXPECT_LE(DaruTextWidth(shown, font) + box, DaruMapDialogRect(a.rect, t.pointSize).Width())
          << name << " does not fit";
    }
  }
}

}  // namespace

TEST(DialogTemplatesTest, TheCompiledScriptReadsCompletely) {
  CResourceModule module(u"check");
  std::string error;
  EXPECT_TRUE(DaruAddDialogTemplates(module, &error)) << error;
  for (UINT id : {IDD_ADDLABEL, IDD_ADDARTICLE, IDD_COMMENT, IDD_SEARCH, IDD_NEWLABEL, IDD_PROP_BASE,
                  IDD_PROP_DESCRIPTION, IDD_PROP_COMMENT, IDD_PROP_RSS})
    EXPECT_NE(module.FindDialog(id), nullptr) << id;
  // The library's module is in the chain, so dialogs find their templates.
  DaruEnsureDialogTemplates();
  EXPECT_EQ(AfxFindDialogTemplate(IDD_NEWLABEL), DaruLibraryResources().FindDialog(IDD_NEWLABEL));
}

TEST(DialogTemplatesTest, DialogsHaveTheirSizesFontsTitlesAndControls) {
  struct Dialog {
    UINT id;
    int cx, cy;
    const char16_t* caption;
  };
  for (const Dialog& d :
       {Dialog{IDD_ADDLABEL, 244, 82, u"添加标签..."}, Dialog{IDD_ADDARTICLE, 370, 322, u"新添文章..."},
        Dialog{IDD_COMMENT, 366, 210, u"注释..."}, Dialog{IDD_SEARCH, 262, 132, u"搜索资料库..."},
        Dialog{IDD_NEWLABEL, 214, 231, u"添加标签..."}}) {
    const CDialogTemplate& t = Template(d.id);
    EXPECT_EQ(t.rect, CRect(0, 0, d.cx, d.cy)) << d.id;
    EXPECT_EQ(t.caption, d.caption);
    EXPECT_EQ(t.fontFace, u"MS Shell Dlg");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.style & (WS_POPUP | WS_CAPTION | DS_MODALFRAME), WS_POPUP | WS_CAPTION | DS_MODALFRAME);
    ExpectTidyLayout(t);
  }

  const DWORD single = ES_AUTOHSCROLL;
  ExpectControls(Template(IDD_ADDLABEL), {{50009, u"Edit", u"", single},
                                          {IDOK, u"Button", u"确定", BS_DEFPUSHBUTTON},
                                          {IDCANCEL, u"Button", u"取消", BS_PUSHBUTTON}});
  EXPECT_EQ(StaticTexts(Template(IDD_ADDLABEL)), (std::vector<std::u16string>{u"标签名:"}));

  const CDialogTemplate& article = Template(IDD_ADDARTICLE);
  ExpectControls(article, {{50009, u"Edit", u"", single},
                           {50011, u"Button", u"浏览(&B)...", 0},
                           {50010, u"Edit", u"", single},
                           {50015, u"Edit", u"", single},
                           {50012, u"Edit", u"", single},
                           {50013, u"Edit", u"", single},
                           {IDOK, u"Button", u"确定", BS_DEFPUSHBUTTON},
                           {IDCANCEL, u"Button", u"取消", 0}});
  EXPECT_EQ(Item(article, 50011)->style & WS_VISIBLE, 0u);
  for (UINT tall : {50012u, 50013u}) {
    EXPECT_EQ(Item(article, tall)->style & ES_MULTILINE, 0u);  // single-line edits in tall boxes
    EXPECT_GT(Item(article, tall)->rect.Height(), 50);
  }
  EXPECT_EQ(StaticTexts(article),
            (std::vector<std::u16string>{u"基本属性:", u"链接地址:", u"文章标题:", u"关键字:", u"描述:", u"注释:"}));

  const CDialogTemplate& comment = Template(IDD_COMMENT);
  ExpectControls(comment, {{50016, u"Edit", u"", ES_READONLY},
                           {50031, u"RichEdit20A", u"", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN},
                           {IDOK, u"Button", u"确定(&O)", BS_DEFPUSHBUTTON},
                           {IDCANCEL, u"Button", u"取消(&C)", 0}});
  EXPECT_EQ(Item(comment, 50016)->style & ES_MULTILINE, 0u);
  EXPECT_EQ(StaticTexts(comment), (std::vector<std::u16string>{u"标 题:", u"注 释:"}));

  const CDialogTemplate& search = Template(IDD_SEARCH);
  ExpectControls(search, {{50009, u"Edit", u"", single},
                          {51013, u"Button", u"搜索文章标题", BS_AUTORADIOBUTTON | WS_GROUP},
                          {51014, u"Button", u"搜索文章关键字", BS_AUTORADIOBUTTON},
                          {51015, u"Button", u"使用模糊搜索方式", BS_AUTOCHECKBOX},
                          {IDOK, u"Button", u"确定", BS_DEFPUSHBUTTON},
                          {IDCANCEL, u"Button", u"取消", 0}});
  EXPECT_EQ(Item(search, 51014)->style & WS_GROUP, 0u);  // one group with the first
  EXPECT_EQ(StaticTexts(search),
            (std::vector<std::u16string>{u"你可以通过对文章标题或者关键字进行搜索文章:", u"搜索关键字:"}));

  ExpectControls(Template(IDD_NEWLABEL),
                 {{51016, u"SysTreeView32", u"", TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_CHECKBOXES},
                  {IDOK, u"Button", u"添加", BS_DEFPUSHBUTTON},
                  {IDCANCEL, u"Button", u"取消", 0}});
}

TEST(DialogTemplatesTest, PropertyPagesHaveTheirTabsAndControls) {
  struct Page {
    UINT id;
    const char16_t* caption;
  };
  for (const Page& p : {Page{IDD_PROP_BASE, u"基本信息"}, Page{IDD_PROP_DESCRIPTION, u"描述文字"},
                        Page{IDD_PROP_COMMENT, u"我的注释"}, Page{IDD_PROP_RSS, u"RSS/ATOM"}}) {
    const CDialogTemplate& t = Template(p.id);
    EXPECT_EQ(t.rect, CRect(0, 0, 309, 253)) << p.id;
    EXPECT_EQ(t.caption, p.caption);
    EXPECT_EQ(t.fontFace, u"宋体");
    EXPECT_EQ(t.pointSize, 9);
    EXPECT_EQ(t.style & WS_CHILD, WS_CHILD);
    ExpectTidyLayout(t);
  }
  const CDialogTemplate& base = Template(IDD_PROP_BASE);
  ExpectControls(base, {{50023, u"Edit", u"", ES_READONLY},
                        {50016, u"Edit", u"", 0},
                        {50032, u"Edit", u"", 0},
                        {50021, u"Edit", u"", ES_READONLY},
                        {50025, u"Button", u"已阅读文章", BS_AUTOCHECKBOX},
                        {50026, u"Edit", u"", ES_READONLY},
                        {50027, u"Button", u"我的重要文章", BS_AUTOCHECKBOX}});
  EXPECT_EQ(Item(base, 50016)->style & ES_READONLY, 0u);
  EXPECT_EQ(Item(base, 50032)->style & ES_READONLY, 0u);
  EXPECT_EQ(StaticTexts(base),
            (std::vector<std::u16string>{u"文章链接地址", u"文章标题", u"关键字", u"创建时间:", u"阅读时间:"}));
  ExpectControls(Template(IDD_PROP_DESCRIPTION),
                 {{50028, u"RichEdit20A", u"", ES_MULTILINE | WS_VSCROLL | ES_WANTRETURN}});
  ExpectControls(Template(IDD_PROP_COMMENT), {{50029, u"RichEdit20A", u"", ES_MULTILINE | ES_WANTRETURN}});
  const CDialogTemplate& rss = Template(IDD_PROP_RSS);
  ExpectControls(rss, {{50030, u"Edit", u"", 0},
                       {50035, u"Edit", u"", 0},
                       {50033, u"Edit", u"", 0},
                       {50019, u"Edit", u"", ES_MULTILINE},
                       {50020, u"Edit", u"", 0},
                       {50021, u"Edit", u"", 0},
                       {50022, u"Edit", u"", 0}});
  EXPECT_EQ(StaticTexts(rss),
            (std::vector<std::u16string>{u"频道信息:", u"频道名称:", u"频道链接:", u"频道版权者:", u"频道描述:",
                                         u"项信息:", u"作  者:", u"创建时间:", u"取回时间:"}));
}

TEST(DialogTemplatesTest, ClassesAreKnownByTheirNames) {
  struct Known {
    const char* name;
    CRuntimeClass* base;
  };
  for (const Known& k :
       {Known{"CAddLabelDlg", RUNTIME_CLASS(CDialog)}, Known{"CAddArticleDlg", RUNTIME_CLASS(CDialog)},
        Known{"CCommentDlg", RUNTIME_CLASS(CDialog)}, Known{"CSearchDlg", RUNTIME_CLASS(CDialog)},
        Known{"CNewLabelDlg", RUNTIME_CLASS(CDialog)}, Known{"CPropSheet", RUNTIME_CLASS(CPropertySheet)},
        Known{"CBasePage", RUNTIME_CLASS(CPropertyPage)}, Known{"CDescriptionPage", RUNTIME_CLASS(CPropertyPage)},
        Known{"CCommentPage", RUNTIME_CLASS(CPropertyPage)}, Known{"CRSSPage", RUNTIME_CLASS(CPropertyPage)}}) {
    CRuntimeClass* rc = CRuntimeClass::FromName(k.name);
    ASSERT_NE(rc, nullptr) << k.name;
    EXPECT_EQ(rc->GetBaseClass(), k.base) << k.name;
  }
}
