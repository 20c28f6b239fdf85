// The tree drives the article list: the selected label's articles fill it,
// and the menu's list commands act on every row it shows.

#include <algorithm>
#include <vector>

#include "core/Article.h"
#include "facade/DARU.h"
#include "platform/MessageBox.h"
#include "ui/list/DARUListCtrl.h"
#include "ui/tree/DARUTreeCtrl.h"
#include "ui/tree/TreeIds.h"

namespace {

CArticle* ArticleOfRow(CDARUListCtrl* list, int row) { return reinterpret_cast<CArticle*>(list->GetItemData(row)); }

void SetRowImage(CDARUListCtrl* list, int row, int image) {
  list->SetItem(row, 0, LVIF_IMAGE, std::u16string(), image, 0, 0, 0);
}

}  // namespace

bool CDARUTreeCtrl::ListIsSearch() const { return m_pListCtrl != nullptr && m_pListCtrl->GetSearchTag() != 0; }

bool CDARUTreeCtrl::IsListedByFacade(const CArticle* pArticle) const {
  if (pArticle == nullptr || m_pDARU == nullptr) return false;
  const std::vector<CArticle*> listed = m_pDARU->GetArticleList();
  return std::find(listed.begin(), listed.end(), pArticle) != listed.end();
}

void CDARUTreeCtrl::ReleaseUnlisted(CArticle* pArticle) const {
  if (pArticle != nullptr && !IsListedByFacade(pArticle)) delete pArticle;
}

void CDARUTreeCtrl::InsertArticleRow(CArticle* pArticle, int nImage, bool bBold) {
  const int row = m_pListCtrl->InsertItem(0, pArticle->title, nImage);
  if (row < 0) return;
  m_pListCtrl->SetItemText(row, 1, pArticle->crdate.GetFmtString());
  m_pListCtrl->SetItemText(row, 2, pArticle->key1);
  m_pListCtrl->SetItemData(row, reinterpret_cast<DWORD_PTR>(pArticle));
  // New rows start bold.
  if (!bBold) m_pListCtrl->SetItemBold(row, FALSE);
  if (pArticle->impflag) m_pListCtrl->SetItemRed(row, TRUE);
}

bool CDARUTreeCtrl::FillArticleList(CLabel* pLabel, bool bReSort) {
  if (m_pDARU == nullptr || m_pDARU->QueryArticle(pLabel, CArticle(), 0) < 0) {
    // The facade has released the articles the rows point to: the rows go
    // before anything can draw them.
    m_pListCtrl->DeleteAllItems();
    AfxMessageBox(u"检索文章失败!");
    return false;
  }
  m_pListCtrl->LockWindowUpdate();
  m_pListCtrl->DeleteAllItems();
  for (CArticle* article : m_pDARU->GetArticleList())
    InsertArticleRow(article, article->readflag ? kReadImage : kUnreadImage, !article->readflag);
  if (bReSort) m_pListCtrl->ReSort();
  m_pListCtrl->UnlockWindowUpdate();
  return true;
}

void CDARUTreeCtrl::OnTvnSelchanged(NMHDR* pNMHDR, LRESULT* pResult) {
  *pResult = 0;
  auto* info = reinterpret_cast<NMTREEVIEW*>(pNMHDR);
  CLabel* label = LabelOf(info->itemNew.hItem);
  if (label == nullptr || m_pListCtrl == nullptr) return;
  if (FillArticleList(label, true)) m_pListCtrl->SetSearchTag(false);
}

void CDARUTreeCtrl::OnTreectrlRefresh() {
  CLabel* label = SelectedLabel();
  if (label == nullptr || m_pListCtrl == nullptr || ListIsSearch()) return;
  FillArticleList(label, false);
}

void CDARUTreeCtrl::OnTreectrlDelall() {
  if (m_pListCtrl == nullptr || m_pDARU == nullptr) return;
  // Search results are removed from the whole library, a label's rows from the label.
  CLabel* label = nullptr;
  if (!ListIsSearch()) {
    label = SelectedLabel();
    if (label == nullptr) return;
  }
  if (AfxMessageBox(u"删除所选的文章,将不可恢复,你确定删除吗?", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  m_pListCtrl->LockWindowUpdate();
  const int count = m_pListCtrl->GetItemCount();
  int row = 0;
  for (int i = 0; i < count; ++i) {
    CArticle* article = ArticleOfRow(m_pListCtrl, row);
    if (article != nullptr && m_pDARU->DeleteArticle(article, label)) {
      m_pListCtrl->DeleteItem(row);
      continue;
    }
    AfxMessageBox(u"删除文章[" + (article ? article->title : std::u16string()) + u"]失败！");
    ++row;
  }
  m_pListCtrl->UnlockWindowUpdate();
}

void CDARUTreeCtrl::OnTreectrlRead() {
  if (m_pListCtrl == nullptr || m_pDARU == nullptr) return;
  m_pListCtrl->LockWindowUpdate();
  for (int row = 0; row < m_pListCtrl->GetItemCount(); ++row) {
    CArticle* article = ArticleOfRow(m_pListCtrl, row);
    if (article == nullptr || article->readflag) continue;
    article->readflag = true;
    article->brdate.SetNowTime();
    if (!m_pDARU->UpdateArticle(*article)) continue;
    m_pListCtrl->SetItemBold(row, FALSE);
    SetRowImage(m_pListCtrl, row, kReadImage);
  }
  m_pListCtrl->UnlockWindowUpdate();
}

void CDARUTreeCtrl::OnTreectrlUnread() {
  if (m_pListCtrl == nullptr || m_pDARU == nullptr) return;
  m_pListCtrl->LockWindowUpdate();
  for (int row = 0; row < m_pListCtrl->GetItemCount(); ++row) {
    CArticle* article = ArticleOfRow(m_pListCtrl, row);
    if (article == nullptr || !article->readflag) continue;
    article->readflag = false;
    if (!m_pDARU->UpdateArticle(*article)) continue;
    m_pListCtrl->SetItemBold(row, TRUE);
    SetRowImage(m_pListCtrl, row, kUnreadImage);
  }
  m_pListCtrl->UnlockWindowUpdate();
}
