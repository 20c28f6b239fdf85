#include <gtest/gtest.h>

#include <string>

#include "PlatformFixture.h"
#include "platform/Dialog.h"
#include "platform/Menu.h"
#include "platform/ResourceScript.h"

namespace {

const char* kScript = R"RC(
// Test resources
#define IDR_TREECTRL   50000
#define IDC_LABELNAME  50009  // the name field
#pragma code_page(65001)
LANGUAGE 4, 2

IDR_TREECTRL MENU
BEGIN
    POPUP "TreeCtrl"
    BEGIN
        MENUITEM "刷新文章列表",                50001
        MENUITEM SEPARATOR
        MENUITEM "添加标签",                    50002, GRAYED
    END
END

50008 DIALOGEX 0, 0, 244, 82
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "添加标签..."
FONT 8, "MS Shell Dlg", 400, 0, 0x1
BEGIN
    LTEXT           "标签名:",IDC_STATIC,7,9,40,8
    EDITTEXT        IDC_LABELNAME,50,7,180,14,ES_AUTOHSCROLL
    PUSHBUTTON      "浏览(&B)...",50011,7,30,50,14,NOT WS_VISIBLE
    CONTROL         "",51016,"SysTreeView32",TVS_HASBUTTONS | TVS_CHECKBOXES | WS_BORDER,7,40,100,30
    DEFPUSHBUTTON   "确定",IDOK,68,61,50,14
    PUSHBUTTON      "取消",IDCANCEL,126,61,50,14
END

54000 BITMAP "res/up.bmp"

STRINGTABLE
BEGIN
    50001 "He said ""hi""\tthere"
END
)RC";

std::vector<uint8_t> TinyBmp() {
  // 1 x 1, 24 bits, one blue pixel.
  std::vector<uint8_t> f(58, 0);
  f[0] = 'B';
  f[1] = 'M';
  f[2] = 58;
  f[10] = 54;
  f[14] = 40;
  f[18] = 1;
  f[22] = 1;
  f[26] = 1;
  f[28] = 24;
  f[54] = 255;
  return f;
}

class ResourceScriptTest : public PlatformTest {};

}  // namespace

TEST_F(ResourceScriptTest, ScriptsDescribeMenusDialogsBitmapsAndStrings) {
  std::string error;
  std::vector<std::string> asked;
  ASSERT_TRUE(DaruLoadResourceScript(resources, kScript, &error,
                                     [&](const std::string& file, std::vector<uint8_t>& bytes) {
                                       asked.push_back(file);
                                       bytes = TinyBmp();
                                       return true;
                                     }))
      << error;
  EXPECT_EQ(asked, (std::vector<std::string>{"res/up.bmp"}));

  CMenu menu;
  ASSERT_TRUE(menu.LoadMenu(50000));
  CMenu* popup = menu.GetSubMenu(0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(menu.GetMenuString(0, MF_BYPOSITION), u"TreeCtrl");
  EXPECT_EQ(popup->GetMenuItemCount(), 3);
  EXPECT_EQ(popup->GetMenuItemID(1), 0u);
  EXPECT_EQ(popup->GetMenuState(50002, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);

  const CDialogTemplate* t = AfxFindDialogTemplate(50008);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->caption, u"添加标签...");
  EXPECT_EQ(t->fontFace, u"MS Shell Dlg");
  EXPECT_EQ(t->rect, CRect(0, 0, 244, 82));
  ASSERT_EQ(t->items.size(), 6u);
  EXPECT_EQ(t->items[0].id, 0xFFFFu);
  EXPECT_EQ(t->items[1].id, 50009u);
  EXPECT_EQ(t->items[1].style & ES_AUTOHSCROLL, ES_AUTOHSCROLL);
  EXPECT_EQ(t->items[1].style & WS_TABSTOP, WS_TABSTOP);  // the default stays
  EXPECT_EQ(t->items[2].style & WS_VISIBLE, 0u);          // NOT takes it away
  EXPECT_EQ(t->items[3].className, u"SysTreeView32");
  EXPECT_EQ(t->items[4].style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(t->items[5].rect, CRect(126, 61, 176, 75));

  std::u16string text;
  ASSERT_TRUE(AfxLoadString(50001, text));
  EXPECT_EQ(text, u"He said \"hi\"\tthere");
  ASSERT_NE(AfxFindBitmap(54000), nullptr);
  EXPECT_EQ(AfxFindBitmap(54000)->pixels[0], RGB(0, 0, 255));

  // The template runs as a dialog.
  CDialog dlg(50008);
  user.Dialog([](CModalSession& d) {
    EXPECT_FALSE(d.Controls()[2].visible);
    d.SetText(50009, u"名字");
    d.Ok();
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(ResourceScriptTest, ErrorsNameTheLine) {
  std::string error;
  EXPECT_FALSE(DaruLoadResourceScript(resources, "1 MENU\nBEGIN\n  MENUITEM \"a\", NO_SUCH_ID\nEND\n", &error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  EXPECT_NE(error.find("NO_SUCH_ID"), std::string::npos) << error;
  EXPECT_FALSE(DaruLoadResourceScript(resources, "2 BITMAP \"missing.bmp\"", &error));
  EXPECT_NE(error.find("missing.bmp"), std::string::npos) << error;
  EXPECT_FALSE(DaruLoadResourceScript(resources, "3 DIALOG 0, 0, 10\nBEGIN END", &error));
  EXPECT_FALSE(DaruLoadResourceScript(resources, "STRINGTABLE BEGIN 4 \"open", &error));
  EXPECT_NE(error.find("unterminated"), std::string::npos) << error;
}
