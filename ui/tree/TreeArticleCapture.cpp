// The host files the browser's page or a feed item under a label through the
// tree: the article is stored through the facade, its description file is
// written, and a new article of the shown label gets a row at the top.

#include "core/Article.h"
#include "core/ArticleLocations.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "platform/MessageBox.h"
#include "res/ResourceIds.h"
#include "ui/dialogs/AddArticleDlg.h"
#include "ui/list/DARUListCtrl.h"
#include "ui/tree/DARUTreeCtrl.h"

namespace {

// Lends the feed item to the article while its description file is written:
// the article must not keep a pointer to the caller's item.
class CLentFeedItem {
 public:
  CLentFeedItem(CArticle& article, CRSSSubItem& item) : m_article(article) { m_article.SetRSSSubItem(&item); }
  ~CLentFeedItem() { m_article.SetRSSSubItem(nullptr); }
  CLentFeedItem(const CLentFeedItem&) = delete;
  CLentFeedItem& operator=(const CLentFeedItem&) = delete;

 private:
  CArticle& m_article;
};

}  // namespace

void CDARUTreeCtrl::SyncCurrentLabel() {
  // The facade keeps a new or stored article in its result list exactly when
  // it is filed under its current label: that must be the label the list shows.
  m_pDARU->m_pCurLabel = SelectedLabel();
}

bool CDARUTreeCtrl::HasArticleRow(const CArticle* pArticle) const { return m_pListCtrl->FindArticleRow(pArticle) >= 0; }

int CDARUTreeCtrl::FileStoredArticle(CLabel* pLabel, const std::u16string& url, const std::u16string& title,
                                     const std::u16string& keywords, const char16_t* type, bool bStoreUrl) {
  // The link must reach the store even when the target is the shown label:
  // with the current label set, the facade would answer "listed" for the
  // article the first call put in its result list, and link nothing.
  m_pDARU->m_pCurLabel = nullptr;
  int result = 1;
  CArticle* article = m_pDARU->AddArticle(pLabel, url, title, keywords, type, result, bStoreUrl);
  SyncCurrentLabel();
  ReleaseUnlisted(article);
  return result;
}

bool CDARUTreeCtrl::AddArticleFromBrowser(std::u16string url, std::u16string title, CLabel* pLabel, bool bShowDialog) {
  if (m_hWnd == nullptr || m_pListCtrl == nullptr || m_pDARU == nullptr) return false;
  if (pLabel == nullptr) pLabel = m_pDefaultLabel;
  if (pLabel == nullptr) return false;

  std::u16string description;
  std::u16string comment;
  std::u16string keywords;
  if (bShowDialog) {
    CAddArticleDlg dlg;
    dlg.SetUrl(url);
    dlg.SetTitle(title);
    if (dlg.DoModal() != IDOK) return false;
    url = dlg.GetUrl();
    title = dlg.GetTitle();
    description = dlg.GetDescription();
    comment = dlg.GetComment();
    keywords = dlg.GetKeyword();
  }

  SyncCurrentLabel();
  int result = 0;
  CArticle* article = m_pDARU->AddArticle(pLabel, url, title, keywords, kBrowserType, result, true);
  if (result < 0) {
    AfxMessageBox(u"添加文章操作失败。");
    return false;
  }
  // "Listed" without a row: an earlier capture put the stored article into
  // the facade's list without filing it (No to the question, or a link that
  // could not be written). It is still only stored.
  if (result == 1 && !HasArticleRow(article)) result = 2;
  if (result == 2) {
    ReleaseUnlisted(article);
    if (AfxMessageBox(u"此文章链接已经存在,是否需要为当前标签中创建一个文章关联吗?", MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
      return true;
    if (FileStoredArticle(pLabel, url, title, keywords, kBrowserType, true) < 0) {
      AfxMessageBox(u"添加文章关联操作失败。");
      return false;
    }
    return true;
  }
  if (article == nullptr) return false;

  const bool isNew = result == 0;
  if (isNew || bShowDialog) {
    // A stored article rewritten from the dialog keeps the feed data of its file.
    if (!isNew) article->LoadRssSubItem();
    article->SetDescription(description);
    article->SetComment(comment);
    article->CreateDescriptionFile(GetTypeFolder(kBrowserType), true);
  }
  if (isNew && IsListedByFacade(article) && SelectedLabel() == pLabel) {
    m_pListCtrl->InsertArticleRow(0, article);
    return true;
  }
  ReleaseUnlisted(article);
  return true;
}

bool CDARUTreeCtrl::AddArticleFromRss(CRSSSubItem item, int& nLabelID, CLabel* pLabel) {
  if (m_hWnd == nullptr || m_pListCtrl == nullptr || m_pDARU == nullptr) return false;
  CLabelTree* labels = m_pDARU->GetLabelTree();
  if (labels == nullptr) return false;

  if (pLabel == nullptr) {
    if (m_pDefaultLabel == nullptr) return false;
    if (nLabelID > 0) pLabel = labels->FindLabel(nLabelID);
    if (pLabel == nullptr) {
      CLabel* favourites = labels->GetFavRSSLabel();
      if (favourites == nullptr) return false;
      pLabel = labels->InsertLabel(favourites, item.channelTitle);
      if (pLabel == nullptr) return false;
      nLabelID = pLabel->labelid;
      // The favourite feeds are searched for rather than assumed first under
      // the root: the user may have dragged them elsewhere.
      if (HTREEITEM parent = FindLabelItem(favourites, GetRootItem())) {
        InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM, pLabel->name, IMAGE_LABEL, IMAGE_LABEL, 0,
                   0, reinterpret_cast<LPARAM>(pLabel), parent, TVI_LAST);
        Expand(parent, TVE_EXPAND);
      }
    }
  }

  // Without a link the item is known by its information file, and no link is stored.
  const bool storeUrl = !item.link.empty();
  const std::u16string link = storeUrl ? item.link : item.sourceFile;

  SyncCurrentLabel();
  int result = 0;
  CArticle* article = m_pDARU->AddArticle(pLabel, link, item.title, std::u16string(), kFeedType, result, storeUrl);
  if (result < 0) {
    AfxMessageBox(u"添加文章操作失败。");
    return false;
  }
  if (result == 1 && !HasArticleRow(article)) result = 2;  // as for the browser
  if (result == 2) {
    ReleaseUnlisted(article);
    if (FileStoredArticle(pLabel, link, item.title, std::u16string(), kFeedType, storeUrl) < 0) {
      AfxMessageBox(u"添加文章关联操作失败。");
      return false;
    }
    return true;
  }
  if (article == nullptr) return false;
  if (result != 0) {
    ReleaseUnlisted(article);
    return true;
  }

  {
    CLentFeedItem lent(*article, item);
    article->SetDescription(item.description);
    article->CreateDescriptionFile(GetTypeFolder(kFeedType), true);
    if (!item.mimeUrl.empty()) article->CreateMime(item.mimeUrl);
  }
  if (!IsListedByFacade(article) || SelectedLabel() != pLabel) {
    ReleaseUnlisted(article);
    return true;
  }
  // A new feed item arrives looking read.
  m_pListCtrl->InsertArticleRow(0, article, true);
  return true;
}
