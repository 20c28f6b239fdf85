#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/Article.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "fixtures/ProvisionedRoot.h"
#include "platform/ScriptedUser.h"
#include "platform/Wnd.h"
#include "ui/tree/DARUTreeCtrl.h"

// The label tree as a host creates it, on a freshly provisioned catalogue
// (labels 1 "我的资料库", 2 "收藏的频道", 3 "未分类"), with a scripted user.
// Shape the catalogue with SQL first, then Open().
class TreeTest : public ::testing::Test {
 protected:
  TreeTest();
  ~TreeTest() override;

  // Creates the tree, which initialises the facade; the frame hears of double clicks unless told otherwise.
  void Open(bool withFrame = true);

  // ---- Catalogue ----
  void Label(int id, const std::string& name, int parent);
  // An article filed under the labels; returns its id.
  int Article(const std::string& title, const std::vector<int>& labels, bool read = false, bool important = false,
              long crdate = 1700000000, const std::string& type = "B");
  std::vector<std::string> Rows(const std::string& sql) const { return root.Rows(sql); }
  void Refuse(const std::string& when, const std::string& table, const std::string& condition = "1");
  void Allow() { root.Exec("DROP TRIGGER refuse;"); }

  // ---- What the user sees ----
  // One line per item in display order: depth dots, name, then " B" for bold
  // and " E" for expanded.
  std::vector<std::string> Items() const;
  HTREEITEM Item(const std::u16string& name) const;
  CLabel* LabelOf(HTREEITEM item) const { return reinterpret_cast<CLabel*>(tree.GetItemData(item)); }
  std::string Selected() const;
  // The middle of the item's label, scrolled into view.
  CPoint On(HTREEITEM item);
  CPoint On(const std::u16string& name) { return On(Item(name)); }
  // Opens the context menu on the item and picks the command (0: dismiss);
  // then() scripts what the command will ask.
  void Command(const std::u16string& onItem, UINT command, const std::function<void()>& then = {});
  // The menu as shown by a right click on the point, dismissed.
  CPopupMenuView MenuAt(CPoint point);
  void ExpectScriptDone() { EXPECT_EQ(user.PendingSteps(), 0u) << user.PendingDescription(); }

  ProvisionedRoot root;
  CScriptedUser user;
  CHostWnd frame;
  CDARUTreeCtrl tree;
  CDARU* daru = nullptr;

 private:
  CScopedUserInteraction m_scope;
};

std::string U8(const std::u16string& text);
