#pragma once

#include "core/Records.h"

class CTreeCtrl;
struct _TREEITEM;  // a tree item handle (HTREEITEM) of the window layer

// What the hierarchy needs of a tree window to show its labels: the windows
// supply it (ui/tree/) when the library loads, so the hierarchy links without
// them. Until they do, InitLabelTreeCtrl puts nothing into the window.
struct CLabelItemWork {
  // Inserts the label's item last under the parent item (null: at the top);
  // in a label tree window the label of its default id becomes its default.
  // The new item, or null when the window refuses it.
  _TREEITEM* (*insertLabelItem)(CTreeCtrl* tree, CLabel* label, _TREEITEM* parentItem);
  // Expands the item's children.
  void (*expandChildren)(CTreeCtrl* tree, _TREEITEM* item);
};
// Installs the work (the windows do, once, at load time); null uninstalls it.
void InstallLabelItemWork(const CLabelItemWork* work);
