#include "ui/dialogs/PropSheet.h"

IMPLEMENT_DYNAMIC(CPropSheet, CPropertySheet)

CPropSheet::CPropSheet(const std::u16string& caption, CArticle* article, CWnd* pParentWnd, UINT iSelectPage)
    : CPropertySheet(caption, pParentWnd, iSelectPage), m_pArticle(article) {
  m_psh.dwFlags |= PSH_NOAPPLYNOW;
  AddPage(&m_basePage);
  AddPage(&m_descriptionPage);
  AddPage(&m_commentPage);
}

// The pages' windows go before the pages do.
CPropSheet::~CPropSheet() { DestroyWindow(); }
