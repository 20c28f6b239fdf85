#include "ui/dialogs/AddArticleDlg.h"

#include "ui/dialogs/DialogResources.h"
#include "ui/dialogs/WindowMessage.h"

IMPLEMENT_DYNAMIC(CAddArticleDlg, CDialog)

BEGIN_MESSAGE_MAP(CAddArticleDlg, CDialog)
ON_BN_CLICKED(50011, OnBnClickedBrowse)
END_MESSAGE_MAP()

CAddArticleDlg::CAddArticleDlg(CWnd* pParent) : CDialog(IDD_ADDARTICLE, pParent) { DaruEnsureDialogTemplates(); }

CAddArticleDlg::~CAddArticleDlg() = default;

void CAddArticleDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Text(pDX, 50009, url);
  DDX_Text(pDX, 50010, title);
  DDX_Text(pDX, 50015, keyword);
  DDX_Text(pDX, 50012, description);
  DDX_Text(pDX, 50013, comment);
}

void CAddArticleDlg::OnOK() {
  if (!UpdateData(TRUE)) return;
  if (url.empty() || title.empty()) {
    WindowMessage(u"链接地址和文章标题不可为空。");
    return;
  }
  EndDialog(IDOK);
}

void CAddArticleDlg::OnBnClickedBrowse() {}
