// The members of the label hierarchy that fill a tree window. They live with
// the windows so that the hierarchy itself never includes a window header.

#include <utility>
#include <vector>

#include "core/LabelTree.h"
#include "platform/TreeCtrl.h"
#include "ui/tree/DARUTreeCtrl.h"
#include "ui/tree/TreeIds.h"

namespace {

// Inserts the label's item, last under the parent, and makes it the default
// when the window is a label tree whose default id the label has.
HTREEITEM InsertLabelItem(CLabel* label, HTREEITEM parent, CTreeCtrl* tree) {
  HTREEITEM item = tree->InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE, label->name, kLabelImage, kLabelImage,
                                    0, 0, 0, parent, TVI_LAST);
  if (item == nullptr) return nullptr;
  if (auto* labelTree = DYNAMIC_DOWNCAST(CDARUTreeCtrl, tree)) {
    if (static_cast<UINT>(label->labelid) == labelTree->GetDefalutLabelID()) labelTree->SetDefaultLabel(label, item);
  }
  tree->SetItemData(item, reinterpret_cast<DWORD_PTR>(label));
  return item;
}

}  // namespace

void CLabelTree::InitLabelTreeCtrl(CTreeCtrl* pTreeCtrl) {
  if (pTreeCtrl == nullptr || m_pHeadLabel == nullptr) return;
  HTREEITEM root = InsertLabelItem(m_pHeadLabel, TVI_ROOT, pTreeCtrl);
  if (root == nullptr) return;
  InitChildNode(m_pHeadLabel->firstChild, root, pTreeCtrl);
  for (HTREEITEM child = pTreeCtrl->GetChildItem(root); child; child = pTreeCtrl->GetNextSiblingItem(child))
    pTreeCtrl->Expand(child, TVE_EXPAND);
}

void CLabelTree::InitChildNode(CLabel* label, HTREEITEM parentItem, CTreeCtrl* pTreeCtrl) {
  // Depth first with a stack of our own: a hierarchy as deep as a damaged
  // catalogue can make it costs no call stack, and a chain of links that
  // loops ends once every label has had its item.
  std::vector<std::pair<CLabel*, HTREEITEM>> pending{{label, parentItem}};
  size_t budget = m_labels.size() + m_retired.size();
  while (!pending.empty()) {
    CLabel* current = pending.back().first;
    if (current == nullptr) {
      pending.pop_back();
      continue;
    }
    const HTREEITEM parent = pending.back().second;
    pending.back().first = current->nextSibling;
    if (budget-- == 0) return;
    HTREEITEM item = InsertLabelItem(current, parent, pTreeCtrl);
    if (item == nullptr) return;
    if (current->firstChild) pending.emplace_back(current->firstChild, item);
  }
}
