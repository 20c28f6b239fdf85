#pragma once

#include <exception>
#include <memory>
#include <string>

#include "platform/MessageBox.h"
#include "platform/Wnd.h"

class CFont;
struct CDialogTemplate;

// Modal dialogs built from the dialog templates of the resource chain. The
// template's size is in dialog units of its font: with the fixed text metrics
// a font of p points is h = p * 96 / 72 pixels high, a horizontal unit is
// (h + 1) / 2 / 4 pixels and a vertical unit (h + 2) / 8 pixels.
//
// DoModal creates the dialog and its controls, sends WM_INITDIALOG (which runs
// OnInitDialog, by default filling the controls through DoDataExchange), then
// lets the user operate it (IUserInteraction::OperateDialog) until it ends,
// destroys it and returns the result of EndDialog: IDOK or IDCANCEL usually,
// -1 when it could not be created.

// Thrown by CDataExchange::Fail when a value does not validate; UpdateData catches it.
class DARU_API CUserException : public std::exception {
 public:
  const char* what() const noexcept override;
};

class DARU_API CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);
  BOOL m_bSaveAndValidate;  // TRUE: controls to members; FALSE: members to controls
  CWnd* m_pDlgWnd;          // not owned
  int m_idLastControl;

  // The control; throws std::logic_error naming the dialog when it has no control nIDC.
  CWnd* PrepareCtrl(int nIDC);
  CWnd* PrepareEditCtrl(int nIDC);
  // Gives the last control the focus and abandons the exchange (CUserException).
  [[noreturn]] void Fail();
};

DARU_API void DDX_Text(CDataExchange* pDX, int nIDC, std::u16string& value);
// A whole number; a text that is not one shows "请输入一个整数。" and fails.
DARU_API void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
DARU_API void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// nIDC is the first radio button of its group (the group ends before the next
// control with WS_GROUP); value is the index of the checked one, -1 for none.
DARU_API void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
// Makes rControl the dialog's control nIDC; throws std::logic_error when it cannot be.
DARU_API void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class DARU_API CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)
 public:
  CDialog();
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  virtual INT_PTR DoModal();
  // Creates the dialog without running it (a modeless dialog); FALSE when the
  // template or one of its control classes is missing.
  BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  void EndDialog(int nResult);
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  UINT GetTemplateId() const { return m_nIDTemplate; }
  bool IsModalDone() const { return m_bModalDone; }
  int GetModalResult() const { return m_nModalResult; }
  CWnd* GetOwnerWindow() const { return m_pParentWnd; }

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);
  LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
  // Makes the window and its controls from the template, as a child of
  // pParent when child is set (property pages) and top-level otherwise.
  BOOL CreateFromTemplate(const CDialogTemplate& t, CWnd* pParent, bool child);
  // Lets the user work the dialog until it ends.
  void RunModalLoop();

  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;  // not owned; the owner window, or null
  int m_nModalResult;
  bool m_bModalDone;
  std::unique_ptr<CFont> m_font;  // owned; the template's font

  DECLARE_MESSAGE_MAP()
  friend class CModalSession;
};

// The pixel rectangle of a rectangle in dialog units of a font of that size.
DARU_API CRect DaruMapDialogRect(const CRect& dialogUnits, int pointSize);
