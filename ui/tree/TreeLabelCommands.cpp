// The label commands of the tree's context menu: add, delete, rename in
// place, and make a label the default.

#include <vector>

#include "core/DARU.h"
#include "core/LabelTree.h"
#include "platform/MessageBox.h"
#include "ui/dialogs/AddLabelDlg.h"
#include "ui/dialogs/WindowMessage.h"
#include "ui/tree/DARUTreeCtrl.h"
#include "ui/tree/TreeIds.h"

void CDARUTreeCtrl::OnTreectrlAdd() {
  HTREEITEM parentItem = GetSelectedItem();
  CLabel* parent = LabelOf(parentItem);
  if (parent == nullptr || m_pDARU == nullptr || m_pDARU->GetLabelTree() == nullptr) return;
  CAddLabelDlg dlg(this);
  if (dlg.DoModal() != IDOK) return;
  CLabel* label = m_pDARU->GetLabelTree()->InsertLabel(parent, dlg.labelName);
  if (label == nullptr) return;
  HTREEITEM item = InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM, dlg.labelName, kLabelImage,
                              kLabelImage, 0, 0, reinterpret_cast<LPARAM>(label), parentItem, TVI_LAST);
  Expand(parentItem, TVE_EXPAND);
  Select(item, TVGN_CARET);
}

void CDARUTreeCtrl::OnTreectrlDelete() {
  HTREEITEM item = GetSelectedItem();
  if (item == nullptr || GetParentItem(item) == nullptr) return;
  CLabelTree* labels = m_pDARU ? m_pDARU->GetLabelTree() : nullptr;
  CLabel* label = LabelOf(item);
  if (labels == nullptr || label == nullptr) return;
  if (WindowMessage(u"删除标签将同时删除所有子标签和相关联的文章,并不可恢复,您确定删除吗?",
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  if (HTREEITEM child = GetChildItem(item)) DeleteChildLabel(child);
  if (label == m_pDefaultLabel) FallBackToRootDefault();
  if (!labels->DeleteLabel(label)) {
    // Descendants deleted before the refusal stay deleted; the tree must not
    // keep offering them.
    RemoveDeletedItems(item);
    WindowMessage(u"删除标签操作失败,请你重试!");
    return;
  }
  DeleteItem(item);
}

int CDARUTreeCtrl::DeleteChildLabel(HTREEITEM hItem) {
  CLabelTree* labels = m_pDARU ? m_pDARU->GetLabelTree() : nullptr;
  if (hItem == nullptr || labels == nullptr) return 1;
  // The item, its descendants and its later siblings with theirs, in
  // preorder; deleting them in reverse order deletes every label after all
  // of its descendants.
  std::vector<HTREEITEM> order;
  std::vector<HTREEITEM> pending;
  std::vector<HTREEITEM> level;
  for (HTREEITEM h = hItem; h; h = GetNextSiblingItem(h)) level.push_back(h);
  pending.assign(level.rbegin(), level.rend());
  while (!pending.empty()) {
    HTREEITEM h = pending.back();
    pending.pop_back();
    order.push_back(h);
    level.clear();
    for (HTREEITEM child = GetChildItem(h); child; child = GetNextSiblingItem(child)) level.push_back(child);
    pending.insert(pending.end(), level.rbegin(), level.rend());
  }
  for (HTREEITEM h : order)
    if (LabelOf(h) == m_pDefaultLabel && m_pDefaultLabel != nullptr) FallBackToRootDefault();
  for (auto it = order.rbegin(); it != order.rend(); ++it)
    if (CLabel* label = LabelOf(*it)) labels->DeleteLabel(label);
  return 1;
}

void CDARUTreeCtrl::RemoveDeletedItems(HTREEITEM hItem) {
  CLabelTree* labels = m_pDARU->GetLabelTree();
  auto gone = [labels](CLabel* label) { return label != nullptr && labels->FindLabel(label->labelid) != label; };
  std::vector<HTREEITEM> pending{hItem};
  while (!pending.empty()) {
    HTREEITEM parent = pending.back();
    pending.pop_back();
    HTREEITEM child = GetChildItem(parent);
    while (child != nullptr) {
      HTREEITEM next = GetNextSiblingItem(child);
      if (gone(LabelOf(child))) {
        DeleteItem(child);
      } else {
        pending.push_back(child);
      }
      child = next;
    }
  }
}

void CDARUTreeCtrl::OnTreectrlRename() {
  if (HTREEITEM item = GetSelectedItem()) SendMessage(TVM_EDITLABEL, 0, reinterpret_cast<LPARAM>(item));
}

void CDARUTreeCtrl::OnTvnBeginlabeledit(NMHDR*, LRESULT* pResult) { *pResult = 0; }

void CDARUTreeCtrl::OnTvnEndlabeledit(NMHDR* pNMHDR, LRESULT* pResult) {
  auto* info = reinterpret_cast<NMTVDISPINFO*>(pNMHDR);
  *pResult = 0;
  CLabel* label = LabelOf(info->item.hItem);
  if (info->item.pszText == nullptr || info->item.pszText[0] == 0) return;
  CLabelTree* labels = m_pDARU ? m_pDARU->GetLabelTree() : nullptr;
  if (label == nullptr || labels == nullptr) return;
  const std::u16string oldName = label->name;
  if (labels->UpdateLabel(label, info->item.pszText, static_cast<unsigned>(label->toplayer))) {
    *pResult = 1;
    return;
  }
  // The hierarchy keeps a refused name in memory; the label must go on
  // saying what the catalogue and the item say.
  label->name = oldName;
  WindowMessage(u"重命名标签名错误!");
}

void CDARUTreeCtrl::OnTreectrlDefault() {
  HTREEITEM item = GetSelectedItem();
  if (item == nullptr) return;
  if (m_pDefaultLabel != nullptr && m_hDefaultItem != nullptr && IsValidItem(m_hDefaultItem))
    SetItemState(m_hDefaultItem, 0, TVIS_BOLD);
  SetDefaultLabel(LabelOf(item), item);
}
