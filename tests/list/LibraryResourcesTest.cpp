#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "facade/DARU.h"
#include "platform/Gdi.h"
#include "platform/LibraryModule.h"
#include "platform/MessageMap.h"
#include "platform/Resources.h"
#include "platform/WinUser.h"
#include "res/LibraryResources.h"
#include "res/ResourceIds.h"
#include "ui/list/DARUListCtrl.h"
#include "ui/tree/DARUTreeCtrl.h"

namespace {

// A popup's items as "id text", with "-" for a separator.
std::vector<std::string> Describe(const CMenuTemplateItem& popup) {
  std::vector<std::string> out;
  for (const CMenuTemplateItem& item : popup.items) {
    if (item.flags & MF_SEPARATOR) {
      out.push_back("-");
      continue;
    }
    std::string text;
    for (char16_t c : item.text) {
      // UTF-8 of the BMP characters the menus use.
      if (c < 0x80) {
        text += static_cast<char>(c);
      } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | (c >> 6));
        text += static_cast<char>(0x80 | (c & 0x3F));
      } else {
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    out.push_back(std::to_string(item.id) + " " + text);
  }
  return out;
}

const CMenuTemplateItem& OnlyPopup(UINT id) {
  const CMenuTemplate* menu = AfxFindMenu(id);
  EXPECT_NE(menu, nullptr) << id;
  static const CMenuTemplateItem empty;
  if (menu == nullptr || menu->items.empty()) return empty;
  EXPECT_EQ(menu->items.size(), 1u);
  EXPECT_TRUE(menu->items[0].flags & MF_POPUP);
  return menu->items[0];
}

}  // namespace

TEST(LibraryResources, EveryScriptIsUnderstoodAtLoad) {
  EXPECT_TRUE(DaruLibraryResourceErrors().empty()) << DaruLibraryResourceErrors().front();
  EXPECT_NE(DaruLibraryResources().FindMenu(50000), nullptr);
}

TEST(LibraryResources, TreeMenuItemsInOrder) {
  const CMenuTemplateItem& popup = OnlyPopup(50000);
  EXPECT_EQ(popup.text, u"TreeCtrl");
  const std::vector<std::string> expected = {"50001 刷新文章列表",
                                             "-",
                                             "50002 添加标签",
                                             "50003 删除标签",
                                             "50004 重命名",
                                             "-",
                                             "50005 移去所有文章",
                                             "53026 设为缺省标签",
                                             "-",
                                             "50006 标识所有文章为已读",
                                             "50007 标识所有文章为未读"};
  EXPECT_EQ(Describe(popup), expected);
}

TEST(LibraryResources, ListMenuItemsInOrder) {
  const CMenuTemplateItem& popup = OnlyPopup(53014);
  EXPECT_EQ(popup.text, u"ListCtrl");
  const std::vector<std::string> expected = {"53028 标签管理...",
                                             "53009 浏览原始链接",
                                             "-",
                                             "53008 移去标签",
                                             "-",
                                             "53017 标识为已读",
                                             "53018 标识为未读",
                                             "53019 设置重要标记",
                                             "53020 撤销重要标记",
                                             "-",
                                             "53016 文章搜索...",
                                             "-",
                                             "53010 文章注释...",
                                             "53013 文章属性..."};
  EXPECT_EQ(Describe(popup), expected);
}

TEST(LibraryResources, ArticleImageStrip) {
  CBitmap strip;
  ASSERT_TRUE(strip.LoadBitmap(54004));
  EXPECT_EQ(strip.GetSize(), CSize(7 * 16, 15));
  const COLORREF magenta = RGB(255, 0, 255);
  // Every image keeps a transparent corner and draws something.
  for (int image = 0; image < 7; ++image) {
    int drawn = 0;
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 16; ++x) drawn += strip.GetPixel(image * 16 + x, y) != magenta;
    EXPECT_EQ(strip.GetPixel(image * 16, 14), magenta) << image;
    EXPECT_GT(drawn, 20) << image;
  }
}

TEST(LibraryResources, SortArrowsPointUpAndDown) {
  for (const auto& [id, apexRow] : {std::pair{54000u, 0}, std::pair{54003u, 4}}) {
    CBitmap arrow;
    ASSERT_TRUE(arrow.LoadBitmap(id));
    EXPECT_EQ(arrow.GetSize(), CSize(9, 5));
    const COLORREF magenta = RGB(255, 0, 255);
    const int baseRow = 4 - apexRow;
    EXPECT_NE(arrow.GetPixel(4, apexRow), magenta) << id;
    EXPECT_EQ(arrow.GetPixel(3, apexRow), magenta) << id;
    EXPECT_NE(arrow.GetPixel(0, baseRow), magenta) << id;
    EXPECT_NE(arrow.GetPixel(8, baseRow), magenta) << id;
  }
}

// The windows take their ids from the header the scripts generate: every
// command of a context menu reaches a handler and an update rule of the
// window that shows the menu, and the header names what the scripts hold.
TEST(LibraryResources, EveryMenuCommandHasItsWindowsHandlers) {
  CDARUTreeCtrl tree;
  CDARUListCtrl list;
  const auto handled = [](const CCmdTarget& window, UINT id) {
    return window.FindMessageEntry(WM_COMMAND, CN_COMMAND, id) != nullptr &&
           window.FindMessageEntry(WM_COMMAND, CN_UPDATE_COMMAND_UI, id) != nullptr;
  };
  for (const auto& [menu, window] : {std::pair<UINT, const CCmdTarget*>{IDR_TREECTRL_MENU, &tree},
                                     std::pair<UINT, const CCmdTarget*>{IDR_LISTCTRL_MENU, &list}}) {
    int commands = 0;
    for (const CMenuTemplateItem& item : OnlyPopup(menu).items) {
      if (item.flags & MF_SEPARATOR) continue;
      ++commands;
      EXPECT_TRUE(handled(*window, item.id)) << menu << ": " << item.id;
    }
    EXPECT_GT(commands, 5) << menu;
  }
  // The add command is not in the menu: the host routes it to the list.
  EXPECT_TRUE(handled(list, ID_LIST_ADD));
  EXPECT_FALSE(handled(list, ID_TREECTRL_ADD));
  EXPECT_EQ(OnlyPopup(IDR_LISTCTRL_MENU).items[0].id, ID_LISTCTRL_MANAGER);
  CBitmap strip;
  EXPECT_TRUE(strip.LoadBitmap(IDB_ARTICLE_IMAGES));
  EXPECT_LT(IMAGE_LABEL, strip.GetSize().cx / 16);
  delete CDARU::Instance();
}
