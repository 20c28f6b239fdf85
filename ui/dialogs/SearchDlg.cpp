#include "ui/dialogs/SearchDlg.h"

#include "ui/dialogs/DialogResources.h"
#include "ui/dialogs/WindowMessage.h"

IMPLEMENT_DYNAMIC(CSearchDlg, CDialog)

CSearchDlg::CSearchDlg(CWnd* pParent) : CDialog(IDD_SEARCH, pParent), searchIn(0), fuzzy(1) {
  DaruEnsureDialogTemplates();
}

CSearchDlg::~CSearchDlg() = default;

void CSearchDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Text(pDX, 50009, keyword);
  DDX_Radio(pDX, 51013, searchIn);
  DDX_Check(pDX, 51015, fuzzy);
}

BOOL CSearchDlg::OnInitDialog() {
  // Every search starts on titles with fuzzy matching, whatever was chosen before.
  searchIn = 0;
  fuzzy = 1;
  return CDialog::OnInitDialog();
}

void CSearchDlg::OnOK() {
  if (!UpdateData(TRUE)) return;
  if (keyword.empty()) {
    WindowMessage(u"请输入搜索关键字");
    return;
  }
  EndDialog(IDOK);
}
