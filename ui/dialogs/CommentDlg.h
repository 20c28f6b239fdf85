#pragma once

#include <string>

#include "platform/Dialog.h"

// Shows an article's title and lets the user edit its comment, several lines
// long, in a rich edit.
class DARU_API CCommentDlg : public CDialog {
  DECLARE_DYNAMIC(CCommentDlg)
 public:
  explicit CCommentDlg(CWnd* pParent = nullptr);
  ~CCommentDlg() override;

  void SetTitle(std::u16string text) { title = std::move(text); }
  void SetComment(std::u16string text) { comment = std::move(text); }
  std::u16string GetComment() { return comment; }

  std::u16string title;
  std::u16string comment;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
};
