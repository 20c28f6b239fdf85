#include "ui/dialogs/CommentDlg.h"

#include "ui/dialogs/DialogResources.h"

IMPLEMENT_DYNAMIC(CCommentDlg, CDialog)

CCommentDlg::CCommentDlg(CWnd* pParent) : CDialog(IDD_COMMENT, pParent) { DaruEnsureDialogTemplates(); }

CCommentDlg::~CCommentDlg() = default;

void CCommentDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Text(pDX, 50016, title);
  DDX_Text(pDX, 50031, comment);
}
