#pragma once

#include <string>

#include "platform/Dialog.h"

// Asks for the name of a new label; the tree's add-label command reads
// labelName after OK.
class DARU_API CAddLabelDlg : public CDialog {
  DECLARE_DYNAMIC(CAddLabelDlg)
 public:
  explicit CAddLabelDlg(CWnd* pParent = nullptr);
  ~CAddLabelDlg() override;

  std::u16string labelName;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
};
