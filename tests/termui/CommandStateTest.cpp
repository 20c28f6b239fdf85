// What the hosts let a person choose: the windows' own update handlers decide,
// as they do for the windows' menus.
#include <gtest/gtest.h>

#include "fixtures/ProvisionedRoot.h"
#include "res/ResourceIds.h"
#include "shared/CommandState.h"
#include "terminal/HostWindows.h"

namespace {

using hostshared::CommandEnabled;
using hostshared::CommandsEnabled;

HTREEITEM FindLabel(CDARUTreeCtrl& tree, int labelId) {
  for (HTREEITEM i = tree.GetRootItem(); i != nullptr; i = tree.GetNextItem(i, TVGN_NEXTVISIBLE)) {
    tree.Expand(i, TVE_EXPAND);
    auto* label = reinterpret_cast<CLabel*>(tree.GetItemData(i));
    if (label != nullptr && label->labelid == labelId) return i;
  }
  return nullptr;
}

TEST(CommandState, TheHostsOfferACommandExactlyWhenTheWindowsMenuWouldEnableIt) {
  ProvisionedRoot root;
  termui::HostWindows windows;
  std::string error;
  ASSERT_TRUE(windows.Create(nullptr, nullptr, &error)) << error;
  CDARUTreeCtrl& tree = *windows.Tree();
  CDARUListCtrl& list = *windows.List();

  // The default label is fixed: it can take labels, not be deleted, renamed
  // or made the default again; answers come in the order asked.
  HTREEITEM fixed = FindLabel(tree, 3);
  ASSERT_NE(fixed, nullptr);
  tree.SelectItem(fixed);
  EXPECT_EQ(CommandsEnabled(&tree, {ID_TREECTRL_DELETE, ID_TREECTRL_ADD, ID_TREECTRL_DEFAULT, ID_TREECTRL_RENAME}),
            (std::vector<bool>{false, true, false, false}));

  // An article's read mark offers the opposite one, and choosing it turns the answer round.
  CLabel* label = reinterpret_cast<CLabel*>(tree.GetItemData(fixed));
  ASSERT_TRUE(tree.AddArticleFromBrowser(u"https://example.com/1", u"一篇", label, false));
  tree.SelectItem(nullptr);
  tree.SelectItem(fixed);
  ASSERT_EQ(list.GetItemCount(), 1);
  EXPECT_EQ(CommandsEnabled(&list, {ID_LISTCTRL_READ, ID_LISTCTRL_UNREAD}), (std::vector<bool>{false, false}))
      << "nothing is selected";
  list.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  const bool read = list.GetItemArticle(0)->readflag;
  const UINT mark = read ? ID_LISTCTRL_UNREAD : ID_LISTCTRL_READ;
  const UINT back = read ? ID_LISTCTRL_READ : ID_LISTCTRL_UNREAD;
  EXPECT_EQ(CommandsEnabled(&list, {mark, back}), (std::vector<bool>{true, false}));
  list.SendMessage(WM_COMMAND, MAKEWPARAM(mark, 0), 0);
  EXPECT_NE(list.GetItemArticle(0)->readflag, read);
  EXPECT_FALSE(CommandEnabled(&list, mark));
  EXPECT_TRUE(CommandEnabled(&list, back));

  // A window that is gone, or none, enables nothing.
  EXPECT_EQ(CommandsEnabled(nullptr, {ID_TREECTRL_ADD, ID_LISTCTRL_READ}), (std::vector<bool>{false, false}));
  CWnd unattached;
  EXPECT_FALSE(CommandEnabled(&unattached, ID_TREECTRL_ADD));
  EXPECT_TRUE(CommandsEnabled(&tree, {}).empty());
}

}  // namespace
