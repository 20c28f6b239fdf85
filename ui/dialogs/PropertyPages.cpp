#include "ui/dialogs/PropertyPages.h"

#include "core/Article.h"
#include "ui/dialogs/DialogResources.h"
#include "ui/dialogs/PropSheet.h"
#include "ui/dialogs/WindowMessage.h"

IMPLEMENT_DYNAMIC(CBasePage, CPropertyPage)
IMPLEMENT_DYNAMIC(CDescriptionPage, CPropertyPage)
IMPLEMENT_DYNAMIC(CCommentPage, CPropertyPage)
IMPLEMENT_DYNAMIC(CRSSPage, CPropertyPage)

namespace {

// The article of the sheet the page stands on; null on any other parent.
CArticle* SheetArticle(CWnd* page) {
  CWnd* parent = page->GetParent();
  CPropSheet* sheet = DYNAMIC_DOWNCAST(CPropSheet, parent);
  return sheet != nullptr ? sheet->GetArticle() : nullptr;
}

}  // namespace

// ---- CBasePage ----

CBasePage::CBasePage() : CPropertyPage(IDD_PROP_BASE), m_read(0), m_important(0) { DaruEnsureDialogTemplates(); }

CBasePage::~CBasePage() = default;

void CBasePage::DoDataExchange(CDataExchange* pDX) {
  CPropertyPage::DoDataExchange(pDX);
  DDX_Text(pDX, 50023, m_url);
  DDX_Text(pDX, 50016, m_title);
  DDX_Text(pDX, 50032, m_keyword);
  DDX_Text(pDX, 50021, m_createTime);
  DDX_Text(pDX, 50026, m_readTime);
  DDX_Check(pDX, 50025, m_read);
  DDX_Check(pDX, 50027, m_important);
}

BOOL CBasePage::OnInitDialog() {
  if (CArticle* article = SheetArticle(this)) {
    m_url = article->url;
    m_title = article->title;
    m_keyword = article->key1;
    m_createTime = article->crdate.GetFmtString();
    m_read = article->readflag ? 1 : 0;
    m_important = article->impflag ? 1 : 0;
    m_readTime = article->readflag ? article->brdate.GetFmtString() : std::u16string();
  }
  return CPropertyPage::OnInitDialog();
}

void CBasePage::OnOK() {
  UpdateData(TRUE);
  CArticle* article = SheetArticle(this);
  if (article == nullptr) return;
  // Only this page's values are refused; the sheet still closes with OK.
  if (m_title.empty()) {
    WindowMessage(u"文章标题不能为空。");
    return;
  }
  article->title = m_title;
  article->key1 = m_keyword;
  const bool read = m_read != 0;
  if (read != article->readflag) {
    article->readflag = read;
    if (read) article->brdate.SetNowTime();
  }
  article->impflag = m_important != 0;
}

// ---- CDescriptionPage ----

CDescriptionPage::CDescriptionPage() : CPropertyPage(IDD_PROP_DESCRIPTION) { DaruEnsureDialogTemplates(); }

CDescriptionPage::~CDescriptionPage() = default;

void CDescriptionPage::DoDataExchange(CDataExchange* pDX) {
  CPropertyPage::DoDataExchange(pDX);
  DDX_Text(pDX, 50028, m_description);
}

BOOL CDescriptionPage::OnInitDialog() {
  if (CArticle* article = SheetArticle(this)) m_description = article->LoadDescription();
  return CPropertyPage::OnInitDialog();
}

void CDescriptionPage::OnOK() {
  UpdateData(TRUE);
  if (CArticle* article = SheetArticle(this)) article->description = m_description;
}

// ---- CCommentPage ----

CCommentPage::CCommentPage() : CPropertyPage(IDD_PROP_COMMENT) { DaruEnsureDialogTemplates(); }

CCommentPage::~CCommentPage() = default;

void CCommentPage::DoDataExchange(CDataExchange* pDX) {
  CPropertyPage::DoDataExchange(pDX);
  DDX_Text(pDX, 50029, m_comment);
}

BOOL CCommentPage::OnInitDialog() {
  if (CArticle* article = SheetArticle(this)) m_comment = article->LoadComment();
  return CPropertyPage::OnInitDialog();
}

void CCommentPage::OnOK() {
  UpdateData(TRUE);
  if (CArticle* article = SheetArticle(this)) article->comment = m_comment;
}

// ---- CRSSPage ----

CRSSPage::CRSSPage() : CPropertyPage(IDD_PROP_RSS) { DaruEnsureDialogTemplates(); }

CRSSPage::~CRSSPage() = default;

BOOL CRSSPage::OnInitDialog() {
  if (CArticle* article = SheetArticle(this)) article->LoadRssSubItem();
  return CPropertyPage::OnInitDialog();
}
