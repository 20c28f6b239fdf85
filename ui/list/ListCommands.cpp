// The article list's commands: its context menu and the add command the host
// routes to it. Each acts on the selected rows, calls the facade or a dialog,
// and updates the rows it changed in place.

#include "base/U16Format.h"
#include "core/Article.h"
#include "core/Records.h"
#include "facade/DARU.h"
#include "platform/CmdUI.h"
#include "platform/MessageBox.h"
#include "platform/TreeCtrl.h"
#include "ui/dialogs/AddArticleDlg.h"
#include "ui/dialogs/CommentDlg.h"
#include "ui/dialogs/NewLabelDlg.h"
#include "ui/dialogs/PropSheet.h"
#include "ui/dialogs/SearchDlg.h"
#include "ui/dialogs/WindowMessage.h"
#include "ui/list/DARUListCtrl.h"

namespace {

constexpr const char16_t* kPageType = u"B";

// Loads from the description file what a rewrite must keep and the article
// does not hold yet: the texts asked for, and the feed data.
void LoadForRewrite(CArticle& article, bool description, bool comment) {
  if (description) article.LoadDescription();
  if (comment) article.LoadComment();
  if (article.GetRSSSubItem() == nullptr) article.LoadFeedDataToKeep();  // a page must stay a page
}

// The description file of a stored article could not be written again.
void TellRewriteFailed() { WindowMessage(u"保存文章描述文件出错！"); }

bool WouldMarkRead(const CArticle& a) { return !a.readflag; }
bool WouldMarkUnread(const CArticle& a) { return a.readflag; }
bool WouldMarkImportant(const CArticle& a) { return !a.impflag; }
bool WouldMarkUnimportant(const CArticle& a) { return a.impflag; }

void MarkImportant(CArticle& a) { a.impflag = true; }
void MarkUnimportant(CArticle& a) { a.impflag = false; }

void ShowImportance(CDARUListCtrl& list, int row, const CArticle& a) { list.SetItemRed(row, a.impflag ? TRUE : FALSE); }

}  // namespace

// ---- Selection ----

CArticle* CDARUListCtrl::FirstSelectedArticle(int* pRow) const {
  const int row = GetNextItem(-1, LVNI_SELECTED);
  if (pRow != nullptr) *pRow = row;
  return row >= 0 ? GetItemArticle(row) : nullptr;
}

void CDARUListCtrl::ShowMessage(WPARAM wParam, CArticle* pArticle) {
  if (m_hMsgWnd != nullptr) ::SendMessage(m_hMsgWnd, WM_DARU_SHOWARTICLE, wParam, reinterpret_cast<LPARAM>(pArticle));
}

// ---- Update rules ----

void CDARUListCtrl::OnUpdateListAdd(CCmdUI* pCmdUI) { pCmdUI->Enable(!m_bSearchTag); }

void CDARUListCtrl::OnUpdateListComment(CCmdUI* pCmdUI) { pCmdUI->Enable(GetSelectedCount() > 0); }

void CDARUListCtrl::OnUpdateListBrowser(CCmdUI* pCmdUI) {
  const CArticle* article = FirstSelectedArticle();
  pCmdUI->Enable(article != nullptr && !article->url.empty());
}

void CDARUListCtrl::OnUpdateListSearch(CCmdUI* pCmdUI) { pCmdUI->Enable(TRUE); }

void CDARUListCtrl::UpdateFlagCommand(CCmdUI* pCmdUI, bool (*wouldChange)(const CArticle&)) {
  const UINT selected = GetSelectedCount();
  if (selected == 1) {
    const CArticle* article = FirstSelectedArticle();
    pCmdUI->Enable(article != nullptr && wouldChange(*article));
  } else {
    pCmdUI->Enable(selected > 1);
  }
}

void CDARUListCtrl::OnUpdateListctrlRead(CCmdUI* pCmdUI) { UpdateFlagCommand(pCmdUI, WouldMarkRead); }
void CDARUListCtrl::OnUpdateListctrlUnread(CCmdUI* pCmdUI) { UpdateFlagCommand(pCmdUI, WouldMarkUnread); }
void CDARUListCtrl::OnUpdateListctrlImp(CCmdUI* pCmdUI) { UpdateFlagCommand(pCmdUI, WouldMarkImportant); }
void CDARUListCtrl::OnUpdateListctrlUnimp(CCmdUI* pCmdUI) { UpdateFlagCommand(pCmdUI, WouldMarkUnimportant); }

// ---- Read, unread, important, unimportant ----

void CDARUListCtrl::ChangeSelectedFlags(bool (*wouldChange)(const CArticle&), void (*change)(CArticle&),
                                        void (*showRow)(CDARUListCtrl&, int, const CArticle&)) {
  CDARU* daru = CDARU::Instance();
  for (int row = GetNextItem(-1, LVNI_SELECTED); row >= 0; row = GetNextItem(row, LVNI_SELECTED)) {
    CArticle* article = GetItemArticle(row);
    if (article == nullptr || !wouldChange(*article)) continue;
    // A failed update leaves the row as it was; the article keeps the change.
    change(*article);
    if (daru->UpdateArticle(*article)) showRow(*this, row, *article);
  }
}

void CDARUListCtrl::OnListctrlRead() {
  for (int row = GetNextItem(-1, LVNI_SELECTED); row >= 0; row = GetNextItem(row, LVNI_SELECTED))
    MarkArticleRead(row, true);
}
void CDARUListCtrl::OnListctrlUnread() {
  for (int row = GetNextItem(-1, LVNI_SELECTED); row >= 0; row = GetNextItem(row, LVNI_SELECTED))
    MarkArticleRead(row, false);
}
void CDARUListCtrl::OnListctrlImp() { ChangeSelectedFlags(WouldMarkImportant, MarkImportant, ShowImportance); }
void CDARUListCtrl::OnListctrlUnimp() { ChangeSelectedFlags(WouldMarkUnimportant, MarkUnimportant, ShowImportance); }

// ---- Add ----

void CDARUListCtrl::OnListAdd() {
  // Disabled while search results are shown: the facade's result list is not
  // the label's then, and a link found among the results would be filed nowhere.
  if (m_bSearchTag) return;
  CAddArticleDlg dlg;
  if (dlg.DoModal() != IDOK) return;
  CLabel* label = SelectedLabel();
  if (label == nullptr) return;

  CDARU* daru = CDARU::Instance();
  // The rows show this label's articles, so the facade's result list is
  // theirs: an article added under it joins that list and is owned there,
  // and a link already listed is found there.
  daru->m_pCurLabel = label;
  CCaptureRequest request;
  request.label = label;
  request.link = dlg.GetUrl();
  request.title = dlg.GetTitle();
  request.keywords = dlg.GetKeyword();
  request.type = kPageType;
  // A stored article keeps what it had where the dialog left a text empty.
  if (!dlg.GetDescription().empty()) request.description = dlg.GetDescription();
  if (!dlg.GetComment().empty()) request.comment = dlg.GetComment();
  request.replaceStoredTexts = true;
  request.fileStored = false;  // a stored link is filed here only once the user says so
  CCaptureOutcome outcome = daru->Capture(request);
  if (!outcome.Succeeded()) {
    WindowMessage(u"添加文章操作失败。");
    return;
  }
  if (outcome.result == CaptureResult::Stored) {
    if (WindowMessage(u"此文章链接已经存在,是否需要为当前标签中创建一个文章关联吗?", MB_YESNO | MB_ICONQUESTION) !=
        IDYES)
      return;
    // Only the filing, in the store's one transaction; the file stays as it is.
    request.description.reset();
    request.comment.reset();
    request.fileStored = true;
    outcome = daru->Capture(request);
    if (!outcome.Succeeded()) {
      WindowMessage(u"添加文章关联操作失败。");
      return;
    }
  }
  CArticle* article = outcome.Article();
  // A new row is stored read (the person just typed it in); its record and row say the same.
  if (outcome.result == CaptureResult::New) article->readflag = true;
  // Rows carry articles of the facade's result list only.
  if (outcome.Listed() && FindArticleRow(article) < 0 && InsertArticleRow(0, article) >= 0) ReSort();
}

// ---- Remove ----

void CDARUListCtrl::OnListDel() {
  if (WindowMessage(u"删除所选的文章,将不可恢复,你确定删除吗?", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  // Search results come from the whole library, and leave it.
  CLabel* label = nullptr;
  if (!m_bSearchTag) {
    label = SelectedLabel();
    if (label == nullptr) return;
  }

  CDARU* daru = CDARU::Instance();
  LockWindowUpdate();
  for (int row = 0; row < GetItemCount();) {
    if (!(GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED)) {
      ++row;
      continue;
    }
    CArticle* article = GetItemArticle(row);
    const std::u16string title = article != nullptr ? article->title : std::u16string();
    if (article != nullptr && daru->DeleteArticle(article, label)) {
      DeleteItem(row);  // the next row moves up into this index
    } else {
      WindowMessage(u"删除文章[" + title + u"]失败！");
      ++row;
    }
  }
  UnlockWindowUpdate();
  UpdateWindow();
}

// ---- Comment ----

void CDARUListCtrl::OnListComment() {
  CArticle* article = FirstSelectedArticle();
  if (article == nullptr) return;
  CCommentDlg dlg;
  dlg.SetTitle(article->title);
  dlg.SetComment(article->LoadComment());
  if (dlg.DoModal() != IDOK) return;
  // The comment lives in the description file only: when the file cannot be
  // written the comment is not kept, and the person is told so.
  const std::u16string before = article->comment;
  article->SetComment(dlg.GetComment());
  LoadForRewrite(*article, true, false);
  if (!article->RewriteDescriptionFile()) {
    article->SetComment(before);
    TellRewriteFailed();
    return;
  }
  ShowMessage(0, article);
}

// ---- Properties ----

void CDARUListCtrl::OnListProp() {
  int row = -1;
  CArticle* article = FirstSelectedArticle(&row);
  if (article == nullptr) return;
  const bool wasRead = article->readflag;
  const bool wasImportant = article->impflag;
  // Loaded before the sheet opens: a page that is shown then edits the text
  // the file holds, and one emptied on purpose is not read back afterwards.
  LoadForRewrite(*article, true, true);

  CPropSheet sheet(u"文章属性...", article, nullptr, 0);
  if (sheet.DoModal() != IDOK) return;
  if (!CDARU::Instance()->UpdateArticle(*article)) {
    WindowMessage(u"修改文章属性出错！");
    return;
  }
  // The catalogue has the sheet's fields; description and comment live in the file only.
  const bool written = article->RewriteDescriptionFile();
  SetItemText(row, 0, article->title);
  SetItemText(row, 2, article->key1);
  if (article->readflag != wasRead) ShowReadLook(row, article->readflag);
  if (article->impflag != wasImportant) SetItemRed(row, article->impflag ? TRUE : FALSE);
  Update(row);
  if (!written) TellRewriteFailed();
  ShowMessage(0, article);
}

// ---- Open the link ----

void CDARUListCtrl::OnListBrowser() {
  if (CArticle* article = FirstSelectedArticle()) ShowMessage(1, article);
}

// ---- Label manager ----

void CDARUListCtrl::OnListctrlManager() {
  int row = -1;
  CArticle* article = FirstSelectedArticle(&row);
  if (article == nullptr) return;
  CNewLabelDlg dlg(article, SelectedLabel());
  if (dlg.DoModal() != IDOK) return;
  // Search results are not one label's articles: a row goes only when its
  // article has left the library.
  const bool gone = m_bSearchTag ? dlg.linkCount == 0 : dlg.leftShownLabel == 1;
  if (!gone) return;
  DeleteItem(row);
  UpdateWindow();
}

// ---- Search ----

void CDARUListCtrl::OnListSearch() {
  CSearchDlg dlg;
  if (dlg.DoModal() != IDOK) return;
  CArticle filter;
  unsigned mask = kArticleMaskTitle;
  if (dlg.searchIn == 0) {
    filter.title = dlg.keyword;
  } else {
    filter.key1 = dlg.keyword;
    mask = kArticleMaskKeywords;
  }

  CDARU* daru = CDARU::Instance();
  const int found = daru->QueryArticle(filter, mask, dlg.fuzzy != 0);
  if (found < 0) {
    // The facade has released the articles the rows pointed to.
    DeleteAllItems();
    WindowMessage(u"检索文章失败!");
    return;
  }
  LockWindowUpdate();
  ShowArticles(daru->GetArticleList());
  UnlockWindowUpdate();
  m_bSearchTag = true;
  WindowMessage(Fmt(u"共找到相关文章主题[%d]篇", found));
}
