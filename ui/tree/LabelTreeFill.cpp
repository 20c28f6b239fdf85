// The window side of filling a tree from the label hierarchy: how a label
// becomes an item. The hierarchy walks its labels and asks for each item
// through CLabelItemWork, so it never includes a window header.

#include "facade/LabelItemWork.h"
#include "facade/LabelTree.h"
#include "platform/TreeCtrl.h"
#include "res/ResourceIds.h"
#include "ui/tree/DARUTreeCtrl.h"

namespace {

// Inserts the label's item, last under the parent, and makes it the default
// when the window is a label tree whose default id the label has.
HTREEITEM InsertLabelItem(CTreeCtrl* tree, CLabel* label, HTREEITEM parent) {
  HTREEITEM item = tree->InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE, label->name, IMAGE_LABEL, IMAGE_LABEL,
                                    0, 0, 0, parent != nullptr ? parent : TVI_ROOT, TVI_LAST);
  if (item == nullptr) return nullptr;
  if (auto* labelTree = DYNAMIC_DOWNCAST(CDARUTreeCtrl, tree)) {
    if (static_cast<UINT>(label->labelid) == labelTree->GetDefalutLabelID()) labelTree->SetDefaultLabel(label, item);
  }
  tree->SetItemData(item, reinterpret_cast<DWORD_PTR>(label));
  return item;
}

void ExpandChildren(CTreeCtrl* tree, HTREEITEM item) {
  for (HTREEITEM child = tree->GetChildItem(item); child; child = tree->GetNextSiblingItem(child))
    tree->Expand(child, TVE_EXPAND);
}

const CLabelItemWork kLabelItemWork{InsertLabelItem, ExpandChildren};

// The hierarchy fills tree windows from the moment the library is loaded.
const bool g_installed = (InstallLabelItemWork(&kLabelItemWork), true);

}  // namespace

// Programs that link the static archive name this symbol to the linker, so
// the installation above is linked in although nothing calls into this file.
extern "C" const int daru_label_item_work_anchor = 0;
