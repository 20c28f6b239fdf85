#pragma once

#include <string>

#include "platform/PropertySheet.h"
#include "ui/dialogs/PropertyPages.h"

class CArticle;

// One article's properties on tabbed pages, without an Apply button. The
// sheet and its pages change only the article in memory; the calling command
// saves it after OK.
class DARU_API CPropSheet : public CPropertySheet {
  DECLARE_DYNAMIC(CPropSheet)
 public:
  CPropSheet(const std::u16string& caption, CArticle* article, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);
  ~CPropSheet() override;

  CArticle* GetArticle() const { return m_pArticle; }

  CArticle* m_pArticle;  // borrowed from the calling command
  CBasePage m_basePage;
  // Made and destroyed with the sheet but never added, so never shown.
  CRSSPage m_rssPage;
  CCommentPage m_commentPage;
  CDescriptionPage m_descriptionPage;
};
