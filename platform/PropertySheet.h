#pragma once

#include <string>
#include <vector>

#include "platform/Dialog.h"

// Property sheets: tabbed pages, each a dialog template, under the sheet's
// OK, Cancel and (unless PSH_NOAPPLYNOW) Apply buttons. A page is created the
// first time its tab is shown (OnInitDialog fills it); leaving a tab asks the
// page (OnKillActive, by default UpdateData(TRUE)), which may refuse. OK asks
// the active page the same, then gives every page that was created its
// OnApply (by default OnOK) in page order and closes the sheet with IDOK; a
// page whose OnApply returns FALSE becomes active and the sheet stays open.
// Cancel gives the created pages OnReset (by default OnCancel) and closes
// with IDCANCEL. The sheet's buttons are "确定", "取消" and "应用(&A)".

constexpr DWORD PSH_DEFAULT = 0x0000;
constexpr DWORD PSH_PROPTITLE = 0x0001;
constexpr DWORD PSH_NOAPPLYNOW = 0x0080;
constexpr DWORD PSH_HASHELP = 0x0200;
constexpr UINT ID_APPLY_NOW = 0x3021;

struct PROPSHEETHEADER {
  DWORD dwSize = sizeof(PROPSHEETHEADER);
  DWORD dwFlags = PSH_DEFAULT;
  HWND hwndParent = nullptr;
  UINT nStartPage = 0;
};

class CPropertySheet;

class DARU_API CPropertyPage : public CDialog {
  DECLARE_DYNAMIC(CPropertyPage)
 public:
  CPropertyPage();
  explicit CPropertyPage(UINT nIDTemplate, UINT nIDCaption = 0);
  ~CPropertyPage() override;

  // The tab title: the string nIDCaption when given, else the template's caption.
  std::u16string GetTitle() const;
  void SetModified(BOOL bChanged = TRUE);
  bool IsModified() const { return m_bModified; }

  virtual BOOL OnSetActive();
  virtual BOOL OnKillActive();
  virtual BOOL OnApply();
  virtual void OnReset();
  void OnOK() override;
  void OnCancel() override;

 private:
  friend class CPropertySheet;
  BOOL CreatePage(CPropertySheet* pSheet);
  UINT m_nIDCaption;
  bool m_bFirstSetActive = true;
  bool m_bModified = false;
};

class DARU_API CPropertySheet : public CWnd {
  DECLARE_DYNAMIC(CPropertySheet)
 public:
  CPropertySheet();
  explicit CPropertySheet(const std::u16string& caption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);
  explicit CPropertySheet(UINT nIDCaption, CWnd* pParentWnd = nullptr, UINT iSelectPage = 0);
  ~CPropertySheet() override;

  PROPSHEETHEADER m_psh;

  // The pages are borrowed; they must outlive the sheet's window.
  void AddPage(CPropertyPage* pPage);
  void RemovePage(int nPage);
  int GetPageCount() const;
  CPropertyPage* GetPage(int nPage) const;
  CPropertyPage* GetActivePage() const;
  int GetActiveIndex() const;
  int GetPageIndex(CPropertyPage* pPage) const;
  // Switches tabs; FALSE when the page being left refuses or the new page cannot be created.
  BOOL SetActivePage(int nPage);
  BOOL SetActivePage(CPropertyPage* pPage);
  void SetTitle(const std::u16string& title);
  std::u16string GetCaption() const { return m_caption; }

  virtual INT_PTR DoModal();
  void EndDialog(int nEndID);
  bool IsModalDone() const { return m_bModalDone; }
  // Pages created so far (their windows exist).
  bool IsPageCreated(int nPage) const;
  void DescribeContent(std::vector<std::u16string>& lines) const override;
  int GetModalResult() const { return m_nModalResult; }

 protected:
  void OnOkButton();
  void OnCancelButton();
  void OnApplyButton();
  // Applies every created page; false (with that page made active) when one refuses.
  bool ApplyPages();

 private:
  std::u16string m_caption;
  CWnd* m_pParentWnd;                   // not owned; the owner window, or null
  std::vector<CPropertyPage*> m_pages;  // not owned
  int m_nActive = -1;
  int m_nModalResult = -1;
  bool m_bModalDone = false;

  DECLARE_MESSAGE_MAP()
  friend class CModalSession;
};
