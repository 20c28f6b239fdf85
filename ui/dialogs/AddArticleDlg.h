#pragma once

#include <string>

#include "platform/Dialog.h"

// Collects a new article's link, title, keyword, description and comment.
// The list's add command opens it empty; a browser capture fills link and
// title first.
class DARU_API CAddArticleDlg : public CDialog {
  DECLARE_DYNAMIC(CAddArticleDlg)
 public:
  explicit CAddArticleDlg(CWnd* pParent = nullptr);
  ~CAddArticleDlg() override;

  void SetUrl(std::u16string text) { url = std::move(text); }
  void SetTitle(std::u16string text) { title = std::move(text); }
  std::u16string GetUrl() { return url; }
  std::u16string GetTitle() { return title; }
  std::u16string GetDescription() { return description; }
  std::u16string GetComment() { return comment; }
  std::u16string GetKeyword() { return keyword; }

  std::u16string url;
  std::u16string title;
  std::u16string keyword;
  std::u16string description;
  std::u16string comment;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  // The hidden browse button; it has nothing to browse.
  void OnBnClickedBrowse();

  DECLARE_MESSAGE_MAP()
};
