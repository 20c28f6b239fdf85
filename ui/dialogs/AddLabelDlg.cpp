#include "ui/dialogs/AddLabelDlg.h"

#include "ui/dialogs/DialogResources.h"
#include "ui/dialogs/WindowMessage.h"

IMPLEMENT_DYNAMIC(CAddLabelDlg, CDialog)

CAddLabelDlg::CAddLabelDlg(CWnd* pParent) : CDialog(IDD_ADDLABEL, pParent) { DaruEnsureDialogTemplates(); }

CAddLabelDlg::~CAddLabelDlg() = default;

void CAddLabelDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Text(pDX, 50009, labelName);
}

void CAddLabelDlg::OnOK() {
  if (!UpdateData(TRUE)) return;
  // Taken as typed: a name of blanks is a name.
  if (labelName.empty()) {
    WindowMessage(u"请输入一个有效的标签名。");
    return;
  }
  EndDialog(IDOK);
}
