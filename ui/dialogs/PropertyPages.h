#pragma once

#include <string>

#include "platform/PropertySheet.h"

class CArticle;

// The pages of the article property sheet. Each finds the article through its
// parent, the sheet; each fills itself when first shown and, when the sheet
// closes with OK, takes its values over into the article (a page never shown
// changes nothing).

// Link, title, keyword, creation and read times, read and important marks.
class DARU_API CBasePage : public CPropertyPage {
  DECLARE_DYNAMIC(CBasePage)
 public:
  CBasePage();
  ~CBasePage() override;

  std::u16string m_url;
  std::u16string m_title;
  std::u16string m_keyword;
  std::u16string m_createTime;
  std::u16string m_readTime;
  int m_read;
  int m_important;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
};

// The description, in a rich edit.
class DARU_API CDescriptionPage : public CPropertyPage {
  DECLARE_DYNAMIC(CDescriptionPage)
 public:
  CDescriptionPage();
  ~CDescriptionPage() override;

  std::u16string m_description;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
};

// The comment, in a rich edit.
class DARU_API CCommentPage : public CPropertyPage {
  DECLARE_DYNAMIC(CCommentPage)
 public:
  CCommentPage();
  ~CCommentPage() override;

  std::u16string m_comment;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
};

// The feed data. Its fields are bound to nothing, so they stay empty; the
// page only has the article load its feed data when shown.
class DARU_API CRSSPage : public CPropertyPage {
  DECLARE_DYNAMIC(CRSSPage)
 public:
  CRSSPage();
  ~CRSSPage() override;

 protected:
  BOOL OnInitDialog() override;
};
