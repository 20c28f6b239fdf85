#pragma once

#include <string>

#include "platform/Wnd.h"

// The simple controls of the dialogs: edits, buttons (push, check, radio,
// group box), static texts and rich edits.

class DARU_API CEdit : public CWnd {
  DECLARE_DYNAMIC(CEdit)
 public:
  CEdit();
  ~CEdit() override;
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

  BOOL SetReadOnly(BOOL bReadOnly = TRUE);
  void LimitText(int nChars = 0);
  int GetLimitText() const;
  void SetSel(int nStartChar, int nEndChar);
  void GetSel(int& nStartChar, int& nEndChar) const;
  // Replaces the selection with the text, as typing does.
  void ReplaceSel(const std::u16string& text);
  int GetLineCount() const;

  void DescribeContent(std::vector<std::u16string>& lines) const override;

 protected:
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int m_selStart = 0;
  int m_selEnd = 0;
  int m_limit = 0;
};

class DARU_API CButton : public CWnd {
  DECLARE_DYNAMIC(CButton)
 public:
  CButton();
  ~CButton() override;
  BOOL Create(const std::u16string& caption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

  int GetCheck() const;
  void SetCheck(int nCheck);
  UINT GetButtonStyle() const;
  void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE);
  bool IsCheckBox() const;
  bool IsRadioButton() const;
  bool IsPushButton() const;

 protected:
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // A click: the automatic styles change their check, then the parent hears BN_CLICKED.
  void Clicked();
  int m_check = BST_UNCHECKED;
  bool m_pressed = false;
};

class DARU_API CStatic : public CWnd {
  DECLARE_DYNAMIC(CStatic)
 public:
  CStatic();
  ~CStatic() override;
  BOOL Create(const std::u16string& text, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID = 0xFFFF);
};

// A rich edit holds plain multi-line text here; line breaks are kept as given.
class DARU_API CRichEditCtrl : public CEdit {
  DECLARE_DYNAMIC(CRichEditCtrl)
 public:
  CRichEditCtrl();
  ~CRichEditCtrl() override;
  // Fails unless the rich edit library was initialised (AfxInitRichEdit2).
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  long GetTextLength() const;
};

// Makes the rich edit window classes ("RichEdit20A", "RichEdit20W") available;
// dialogs whose templates hold a rich edit cannot be created before.
DARU_API BOOL AfxInitRichEdit2();
DARU_API bool DaruRichEditAvailable();
// Forgets the initialisation again (for tests of the failure path).
void DaruResetRichEdit();  // tests only

// Creates a control of a window class for a dialog template: an object of the
// matching control class that deletes itself when its window is destroyed.
// Null for a class this layer does not know, or a rich edit before AfxInitRichEdit2.
DARU_API CWnd* DaruNewControlForClass(const std::u16string& className);
// The kind of a control as the user would name it ("edit", "check box", ...).
DARU_API std::u16string DaruControlKind(const CWnd* control);
