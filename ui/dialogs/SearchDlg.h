#pragma once

#include <string>

#include "platform/Dialog.h"

// Asks what to search for: a text, whether to look in titles (0) or keywords
// (1), and whether to match parts of them (fuzzy 1).
class DARU_API CSearchDlg : public CDialog {
  DECLARE_DYNAMIC(CSearchDlg)
 public:
  explicit CSearchDlg(CWnd* pParent = nullptr);
  ~CSearchDlg() override;

  std::u16string keyword;
  int searchIn;
  int fuzzy;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
};
