// The host files the browser's page or a feed item under a label through the
// tree: the article is stored through the facade, its description file is
// written, and a new article of the shown label gets a row at the top.

#include "core/Article.h"
#include "core/ArticleLocations.h"
#include "core/DARU.h"
#include "core/LabelTree.h"
#include "platform/MessageBox.h"
#include "ui/dialogs/AddArticleDlg.h"
#include "ui/dialogs/WindowMessage.h"
#include "ui/list/DARUListCtrl.h"
#include "ui/tree/DARUTreeCtrl.h"
#include "ui/tree/TreeIds.h"

namespace {

// The folder a feed item's media file must lie in: its information file's.
std::u16string FolderOf(const std::u16string& path) {
  const size_t cut = path.rfind(u'/');
  return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut);
}

}  // namespace

void CDARUTreeCtrl::SyncCurrentLabel() {
  // The facade keeps a new or stored article in its result list exactly when
  // it is filed under its current label: that must be the label the list shows.
  m_pDARU->m_pCurLabel = SelectedLabel();
}

bool CDARUTreeCtrl::HasArticleRow(const CArticle* pArticle) const {
  for (int row = 0; row < m_pListCtrl->GetItemCount(); ++row)
    if (reinterpret_cast<const CArticle*>(m_pListCtrl->GetItemData(row)) == pArticle) return true;
  return false;
}

bool CDARUTreeCtrl::FileStoredArticle(CCaptureRequest request) {
  // Filed without a row: the list shows no article the facade does not
  // list, so the facade must not take it into its result list either.
  m_pDARU->m_pCurLabel = nullptr;
  request.fileStored = true;
  const bool filed = m_pDARU->Capture(request).Succeeded();
  SyncCurrentLabel();
  return filed;
}

bool CDARUTreeCtrl::AddArticleFromBrowser(std::u16string url, std::u16string title, CLabel* pLabel, bool bShowDialog) {
  if (m_hWnd == nullptr || m_pListCtrl == nullptr || m_pDARU == nullptr) return false;
  if (pLabel == nullptr) pLabel = m_pDefaultLabel;
  if (pLabel == nullptr) return false;

  CCaptureRequest request;
  request.label = pLabel;
  request.type = kBrowserType;
  request.link = std::move(url);
  request.title = std::move(title);
  if (bShowDialog) {
    CAddArticleDlg dlg;
    dlg.SetUrl(request.link);
    dlg.SetTitle(request.title);
    if (dlg.DoModal() != IDOK) return false;
    request.link = dlg.GetUrl();
    request.title = dlg.GetTitle();
    request.keywords = dlg.GetKeyword();
    // A stored article keeps its own text where the dialog left one empty.
    if (!dlg.GetDescription().empty()) request.description = dlg.GetDescription();
    if (!dlg.GetComment().empty()) request.comment = dlg.GetComment();
    request.replaceStoredTexts = true;
  }
  // A stored link is filed here only once the user says so.
  request.fileStored = false;

  SyncCurrentLabel();
  CCaptureOutcome outcome = m_pDARU->Capture(request);
  if (!outcome.Succeeded()) {
    WindowMessage(u"添加文章操作失败。");
    return false;
  }
  if (outcome.result == CaptureResult::Stored) {
    if (WindowMessage(u"此文章链接已经存在,是否需要为当前标签中创建一个文章关联吗?", MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
      return true;
    // Only the filing: the description file stays as it is.
    request.description.reset();
    request.comment.reset();
    if (!FileStoredArticle(request)) {
      WindowMessage(u"添加文章关联操作失败。");
      return false;
    }
    return true;
  }
  CArticle* article = outcome.Article();
  if (outcome.Listed() && SelectedLabel() == pLabel && !HasArticleRow(article)) {
    if (outcome.result == CaptureResult::New)
      InsertArticleRow(article, kUnreadImage, true);
    else
      InsertArticleRow(article, article->readflag ? kReadImage : kUnreadImage, !article->readflag);
  }
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
      // One label per channel, also when another process captures from the
      // same channel at the same moment.
      pLabel = labels->FindOrInsertLabel(favourites, item.channelTitle);
      if (pLabel == nullptr) return false;
      nLabelID = pLabel->labelid;
      // The favourite feeds are searched for rather than assumed first under
      // the root: the user may have dragged them elsewhere.
      HTREEITEM parent = FindLabelItem(favourites, GetRootItem());
      if (parent != nullptr && FindLabelItem(pLabel, parent) == nullptr) {
        InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM, pLabel->name, kLabelImage, kLabelImage, 0,
                   0, reinterpret_cast<LPARAM>(pLabel), parent, TVI_LAST);
        Expand(parent, TVE_EXPAND);
      }
    }
  }

  // Without a link the item is known by its information file, and no link is stored.
  CCaptureRequest request;
  request.label = pLabel;
  request.storeLink = !item.link.empty();
  request.link = request.storeLink ? item.link : item.sourceFile;
  request.title = item.title;
  request.type = kFeedType;
  request.description = item.description;
  request.feedItem = &item;
  request.media = item.mimeUrl;
  request.mediaFolder = FolderOf(item.sourceFile);
  request.fileStored = false;

  SyncCurrentLabel();
  CCaptureOutcome outcome = m_pDARU->Capture(request);
  if (!outcome.Succeeded()) {
    WindowMessage(u"添加文章操作失败。");
    return false;
  }
  if (outcome.result == CaptureResult::Stored) {
    // No question for feed items: a stored one is filed here as well.
    if (!FileStoredArticle(request)) {
      WindowMessage(u"添加文章关联操作失败。");
      return false;
    }
    return true;
  }
  if (outcome.result == CaptureResult::New && outcome.Listed() && SelectedLabel() == pLabel)
    InsertArticleRow(outcome.Article(), kReadImage, false);
  return true;
}
