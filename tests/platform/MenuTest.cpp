#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlatformFixture.h"
#include "platform/CmdUI.h"
#include "platform/Menu.h"
#include "platform/XTToolkit.h"

namespace {

// A window with a context menu: update handlers decide what is enabled.
class CMenuOwner : public CWnd {
 public:
  bool allowDelete = false;
  bool touchRename = false;
  std::vector<UINT> commands;

 protected:
  void OnAdd() { commands.push_back(1); }
  void OnDelete() { commands.push_back(2); }
  void OnRename() { commands.push_back(3); }
  void OnUpdateDelete(CCmdUI* ui) { ui->Enable(allowDelete); }
  void OnUpdateRename(CCmdUI* ui) {
    if (touchRename) ui->Enable(FALSE);
  }
  void OnUpdateChecked(CCmdUI* ui) { ui->SetCheck(1); }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CMenuOwner, CWnd)
ON_COMMAND(1, OnAdd)
ON_UPDATE_COMMAND_UI(2, OnUpdateDelete)
ON_COMMAND(2, OnDelete)
ON_UPDATE_COMMAND_UI(3, OnUpdateRename)
ON_COMMAND(3, OnRename)
ON_UPDATE_COMMAND_UI(1, OnUpdateChecked)
END_MESSAGE_MAP()

class MenuTest : public PlatformTest {
 protected:
  MenuTest() {
    CMenuTemplate menu;
    CMenuTemplateItem popup{u"Context", 0, MF_POPUP, {}};
    popup.items = {{u"添加", 1, 0, {}},
                   {u"", 0, MF_SEPARATOR, {}},
                   {u"删除", 2, 0, {}},
                   {u"重命名", 3, 0, {}},
                   {u"没有处理", 4, 0, {}}};
    menu.items.push_back(popup);
    resources.AddMenu(500, menu);
    owner.Create(nullptr, u"owner", WS_VISIBLE, CRect(0, 0, 100, 100), &frame, 9);
  }
  CMenuOwner owner;
};

}  // namespace

TEST_F(MenuTest, MenusLoadFromTheResourceChain) {
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenu(500));
  EXPECT_FALSE(CMenu().LoadMenu(501));
  ASSERT_EQ(menu.GetMenuItemCount(), 1);
  CMenu* popup = menu.GetSubMenu(0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(menu.GetMenuItemID(0), 0xFFFFFFFFu);
  EXPECT_EQ(popup->GetMenuItemCount(), 5);
  EXPECT_EQ(popup->GetMenuItemID(1), 0u);
  EXPECT_EQ(popup->GetMenuItemID(2), 2u);
  EXPECT_EQ(popup->GetMenuString(3, MF_BYCOMMAND), u"重命名");
  EXPECT_EQ(menu.EnableMenuItem(2, MF_BYCOMMAND | MF_GRAYED), MF_ENABLED);  // found inside the popup
  EXPECT_EQ(popup->GetMenuState(2, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
  const int before = DaruMenuCount();
  menu.DestroyMenu();
  EXPECT_EQ(DaruMenuCount(), before - 2);
}

TEST_F(MenuTest, ToolkitMenuRunsUpdateHandlersThenDeliversTheChoice) {
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenu(500));
  user.PickMenuItem(u"添加");
  EXPECT_TRUE(CXTPCommandBars::TrackPopupMenu(menu.GetSubMenu(0), TPM_RIGHTBUTTON, 30, 40, &owner));
  EXPECT_EQ(owner.commands, (std::vector<UINT>{1}));
  const CPopupMenuView& shown = user.Events().back().menu;
  EXPECT_EQ(shown.pt.x, 30);
  EXPECT_TRUE(shown.FindById(1)->enabled);
  EXPECT_TRUE(shown.FindById(1)->checked);
  EXPECT_FALSE(shown.FindById(2)->enabled);  // its handler said no
  EXPECT_TRUE(shown.FindById(3)->enabled);   // handler left it alone; a command handler exists
  EXPECT_FALSE(shown.FindById(4)->enabled);  // nobody handles it
  EXPECT_TRUE(shown.items[1].separator);

  owner.allowDelete = true;
  owner.touchRename = true;
  user.PickMenuItem(2);
  EXPECT_TRUE(CXTPCommandBars::TrackPopupMenu(menu.GetSubMenu(0), TPM_RIGHTBUTTON, 0, 0, &owner));
  EXPECT_FALSE(user.Events().back().menu.FindById(3)->enabled);
  EXPECT_EQ(owner.commands, (std::vector<UINT>{1, 2}));

  user.DismissMenu();
  EXPECT_FALSE(CXTPCommandBars::TrackPopupMenu(menu.GetSubMenu(0), TPM_RIGHTBUTTON, 0, 0, &owner));
  EXPECT_EQ(owner.commands.size(), 2u);
  ExpectScriptDone();
}

TEST_F(MenuTest, PickingADisabledItemFailsTheScript) {
  CMenu menu;
  ASSERT_TRUE(menu.LoadMenu(500));
  user.PickMenuItem(2);
  EXPECT_THROW(CXTPCommandBars::TrackPopupMenu(menu.GetSubMenu(0), 0, 0, 0, &owner), CScriptedUserError);
  EXPECT_TRUE(owner.commands.empty());
}

TEST_F(MenuTest, PlainPopupMenusSkipUpdateUiAndCanReturnTheCommand) {
  CMenu popup;
  ASSERT_TRUE(popup.CreatePopupMenu());
  popup.AppendMenu(MF_STRING, 3, u"重命名");
  popup.AppendMenu(MF_STRING | MF_GRAYED, 2, u"删除");
  user.PickMenuItem(3);
  EXPECT_EQ(popup.TrackPopupMenu(TPM_RETURNCMD, 0, 0, &owner), 3);
  EXPECT_TRUE(owner.commands.empty());
  user.PickMenuItem(3);
  EXPECT_TRUE(popup.TrackPopupMenu(0, 0, 0, &owner));
  EXPECT_EQ(owner.commands, (std::vector<UINT>{3}));
}
