// The article list's rows: how a row shows its article, how a label's
// articles fill the list, and the one rule for marking an article read.

#include "core/Article.h"
#include "facade/DARU.h"
#include "platform/MessageBox.h"
#include "platform/TreeCtrl.h"
#include "res/ResourceIds.h"
#include "ui/dialogs/WindowMessage.h"
#include "ui/list/DARUListCtrl.h"

int CDARUListCtrl::InsertArticleRow(int nItem, CArticle* pArticle) {
  return pArticle != nullptr ? InsertArticleRow(nItem, pArticle, pArticle->readflag) : -1;
}

int CDARUListCtrl::InsertArticleRow(int nItem, CArticle* pArticle, bool bLookRead) {
  if (pArticle == nullptr) return -1;
  const int row = InsertItem(nItem, pArticle->title, bLookRead ? IMAGE_READ_ARTICLE : IMAGE_UNREAD_ARTICLE);
  if (row < 0) return -1;
  SetItemText(row, 1, pArticle->crdate.GetFmtString());
  SetItemText(row, 2, pArticle->key1);
  SetItemData(row, reinterpret_cast<DWORD_PTR>(pArticle));
  if (bLookRead) SetItemBold(row, FALSE);  // new rows start bold
  if (pArticle->impflag) SetItemRed(row, TRUE);
  return row;
}

void CDARUListCtrl::ShowArticles(const std::vector<CArticle*>& articles) {
  DeleteAllItems();
  for (CArticle* article : articles) InsertArticleRow(0, article);
}

int CDARUListCtrl::FindArticleRow(const CArticle* pArticle) const {
  for (int row = 0; row < GetItemCount(); ++row)
    if (GetItemArticle(row) == pArticle) return row;
  return -1;
}

bool CDARUListCtrl::ShowLabelArticles(CLabel* pLabel, bool bReSort) {
  m_pLabel = pLabel;
  CDARU* daru = CDARU::Instance();
  if (daru == nullptr || daru->QueryArticle(pLabel, CArticle(), 0) < 0) {
    // The facade has released the articles the rows point to: the rows go
    // before anything can draw them.
    DeleteAllItems();
    WindowMessage(u"检索文章失败!");
    return false;
  }
  LockWindowUpdate();
  ShowArticles(daru->GetArticleList());
  if (bReSort) ReSort();
  UnlockWindowUpdate();
  return true;
}

CLabel* CDARUListCtrl::SelectedLabel() const {
  // The tree told the list its label; without a selected item there is none.
  if (m_pTreeCtrl == nullptr || m_pTreeCtrl->m_hWnd == nullptr || m_pTreeCtrl->GetSelectedItem() == nullptr)
    return nullptr;
  return m_pLabel;
}

void CDARUListCtrl::ShowReadLook(int nItem, bool bRead) {
  SetItemBold(nItem, bRead ? FALSE : TRUE);
  SetItem(nItem, 0, LVIF_IMAGE, u"", bRead ? IMAGE_READ_ARTICLE : IMAGE_UNREAD_ARTICLE, 0, 0, 0);
}

bool CDARUListCtrl::MarkArticleRead(int nItem, bool bRead) {
  CArticle* article = GetItemArticle(nItem);
  if (article == nullptr || article->readflag == bRead) return false;
  article->readflag = bRead;
  // The read time stays when the article goes back to unread: it tells when
  // the article was last read.
  if (bRead) article->brdate.SetNowTime();
  if (!CDARU::Instance()->UpdateArticle(*article)) return false;
  ShowReadLook(nItem, bRead);
  Update(nItem);
  return true;
}

void CDARUListCtrl::MarkAllArticlesRead(bool bRead) {
  LockWindowUpdate();
  for (int row = 0; row < GetItemCount(); ++row) MarkArticleRead(row, bRead);
  UnlockWindowUpdate();
}
