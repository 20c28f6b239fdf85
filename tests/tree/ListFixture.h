#pragma once

#include <string>
#include <vector>

#include "TreeFixture.h"
#include "ui/list/DARUListCtrl.h"

// The tree with the article list beside it, connected as a host connects them.
class TreeListTest : public TreeTest {
 protected:
  ~TreeListTest() override {
    if (tree.m_hWnd) tree.DestroyWindow();
    if (list.m_hWnd) list.DestroyWindow();
  }

  void OpenBoth(bool connect = true) {
    Open();
    ASSERT_TRUE(
        list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED, CRect(200, 0, 800, 400), &frame, 1002));
    if (!connect) return;
    tree.SetListCtrl(&list);
    list.SetTreeCtrl(&tree);
    list.SetMsgHwnd(frame.m_hWnd);
  }

  // Each row as "title|date|keywords|image|" then B for bold and R for red, or "-".
  std::vector<std::string> ListRows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < list.GetItemCount(); ++i)
      rows.push_back(U8(list.GetItemText(i, 0)) + "|" + U8(list.GetItemText(i, 1)) + "|" + U8(list.GetItemText(i, 2)) +
                     "|" + std::to_string(list.GetItemImage(i)) + "|" + (list.GetItemBold(i) ? "B" : "-") +
                     (list.GetItemRed(i) ? "R" : "-"));
    return rows;
  }
  std::vector<std::string> ListTitles() const {
    std::vector<std::string> titles;
    for (int i = 0; i < list.GetItemCount(); ++i) titles.push_back(U8(list.GetItemText(i, 0)));
    return titles;
  }
  CArticle* RowArticle(int row) const { return reinterpret_cast<CArticle*>(list.GetItemData(row)); }
  // Every row's article is one the facade's result list owns.
  void ExpectRowsOwnedByFacade() const {
    const auto listed = daru->GetArticleList();
    for (int i = 0; i < list.GetItemCount(); ++i)
      EXPECT_NE(std::find(listed.begin(), listed.end(), RowArticle(i)), listed.end()) << "row " << i;
  }
  void Select(const std::u16string& name) { tree.SelectItem(Item(name)); }

  CDARUListCtrl list;
};
