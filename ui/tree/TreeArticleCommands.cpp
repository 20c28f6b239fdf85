// The tree drives the article list: the selected label's articles fill it,
// and the menu's list commands act on every row it shows.

#include <algorithm>
#include <vector>

#include "core/Article.h"
#include "facade/DARU.h"
#include "platform/MessageBox.h"
#include "ui/dialogs/WindowMessage.h"
#include "ui/list/DARUListCtrl.h"
#include "ui/tree/DARUTreeCtrl.h"

bool CDARUTreeCtrl::ListIsSearch() const { return m_pListCtrl != nullptr && m_pListCtrl->GetSearchTag() != 0; }

bool CDARUTreeCtrl::IsListedByFacade(const CArticle* pArticle) const {
  if (pArticle == nullptr || m_pDARU == nullptr) return false;
  const std::vector<CArticle*> listed = m_pDARU->GetArticleList();
  return std::find(listed.begin(), listed.end(), pArticle) != listed.end();
}

void CDARUTreeCtrl::ReleaseUnlisted(CArticle* pArticle) const {
  if (pArticle != nullptr && !IsListedByFacade(pArticle)) delete pArticle;
}

void CDARUTreeCtrl::OnTvnSelchanged(NMHDR* pNMHDR, LRESULT* pResult) {
  *pResult = 0;
  auto* info = reinterpret_cast<NMTREEVIEW*>(pNMHDR);
  CLabel* label = LabelOf(info->itemNew.hItem);
  if (m_pListCtrl == nullptr) return;
  // The list's commands act on the label the tree shows, or on none.
  m_pListCtrl->SetLabel(label);
  if (label == nullptr) return;
  if (m_pListCtrl->ShowLabelArticles(label, true)) m_pListCtrl->SetSearchTag(false);
}

void CDARUTreeCtrl::OnTreectrlRefresh() {
  CLabel* label = SelectedLabel();
  if (label == nullptr || m_pListCtrl == nullptr || ListIsSearch()) return;
  m_pListCtrl->ShowLabelArticles(label, false);
}

void CDARUTreeCtrl::OnTreectrlDelall() {
  if (m_pListCtrl == nullptr || m_pDARU == nullptr) return;
  // Search results are removed from the whole library, a label's rows from the label.
  CLabel* label = nullptr;
  if (!ListIsSearch()) {
    label = SelectedLabel();
    if (label == nullptr) return;
  }
  if (WindowMessage(u"删除所选的文章,将不可恢复,你确定删除吗?", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  m_pListCtrl->LockWindowUpdate();
  const int count = m_pListCtrl->GetItemCount();
  int row = 0;
  for (int i = 0; i < count; ++i) {
    CArticle* article = m_pListCtrl->GetItemArticle(row);
    if (article != nullptr && m_pDARU->DeleteArticle(article, label)) {
      m_pListCtrl->DeleteItem(row);
      continue;
    }
    WindowMessage(u"删除文章[" + (article ? article->title : std::u16string()) + u"]失败！");
    ++row;
  }
  m_pListCtrl->UnlockWindowUpdate();
}

void CDARUTreeCtrl::OnTreectrlRead() {
  if (m_pListCtrl != nullptr && m_pDARU != nullptr) m_pListCtrl->MarkAllArticlesRead(true);
}

void CDARUTreeCtrl::OnTreectrlUnread() {
  if (m_pListCtrl != nullptr && m_pDARU != nullptr) m_pListCtrl->MarkAllArticlesRead(false);
}
