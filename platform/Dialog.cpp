#include "platform/Dialog.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include "base/TextConv.h"
#include "base/U16Format.h"
#include "platform/Controls.h"
#include "platform/FocusKeeper.h"
#include "platform/Gdi.h"
#include "platform/MessageBox.h"
#include "platform/ModalSession.h"
#include "platform/Resources.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
END_MESSAGE_MAP()

const char* CUserException::what() const noexcept { return "dialog data exchange failed"; }

CRect DaruMapDialogRect(const CRect& du, int pointSize) {
  const int h = MulDiv(pointSize, 96, 72);
  const int baseX = (h + 1) / 2;
  const int baseY = h + 2;
  return CRect(MulDiv(du.left, baseX, 4), MulDiv(du.top, baseY, 8), MulDiv(du.right, baseX, 4),
               MulDiv(du.bottom, baseY, 8));
}

// ---- Data exchange ----

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd), m_idLastControl(0) {}

CWnd* CDataExchange::PrepareCtrl(int nIDC) {
  CWnd* control = m_pDlgWnd ? m_pDlgWnd->GetDlgItem(nIDC) : nullptr;
  if (control == nullptr) {
    const std::u16string title = m_pDlgWnd ? m_pDlgWnd->GetWindowText() : u"";
    throw std::logic_error("dialog \"" + ToUtf8(title) + "\" has no control " + std::to_string(nIDC));
  }
  m_idLastControl = nIDC;
  return control;
}

CWnd* CDataExchange::PrepareEditCtrl(int nIDC) { return PrepareCtrl(nIDC); }

void CDataExchange::Fail() {
  if (m_pDlgWnd != nullptr)
    if (CWnd* control = m_pDlgWnd->GetDlgItem(m_idLastControl)) control->SetFocus();
  throw CUserException();
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::u16string& value) {
  CWnd* control = pDX->PrepareEditCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    value = control->GetWindowText();
  } else {
    control->SetWindowText(value);
  }
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
  CWnd* control = pDX->PrepareEditCtrl(nIDC);
  if (!pDX->m_bSaveAndValidate) {
    control->SetWindowText(Fmt(u"%d", value));
    return;
  }
  const std::string text = ToUtf8(control->GetWindowText());
  const char* begin = text.c_str();
  while (*begin == ' ') ++begin;
  char* end = nullptr;
  const long v = std::strtol(begin, &end, 10);
  while (end != nullptr && *end == ' ') ++end;
  if (*begin == 0 || end == nullptr || *end != 0 || v < INT32_MIN || v > INT32_MAX) {
    AfxMessageBox(u"请输入一个整数。", MB_OK | MB_ICONEXCLAMATION);
    pDX->Fail();
  }
  value = static_cast<int>(v);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
  CWnd* control = pDX->PrepareCtrl(nIDC);
  if (pDX->m_bSaveAndValidate) {
    value = static_cast<int>(control->SendMessage(BM_GETCHECK));
  } else {
    control->SendMessage(BM_SETCHECK, static_cast<WPARAM>(value));
  }
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
  CWnd* first = pDX->PrepareCtrl(nIDC);
  std::vector<CWnd*> siblings = pDX->m_pDlgWnd->GetChildren();
  auto it = std::find(siblings.begin(), siblings.end(), first);
  if (pDX->m_bSaveAndValidate) value = -1;
  int index = 0;
  for (; it != siblings.end(); ++it) {
    if (*it != first && ((*it)->GetStyle() & WS_GROUP)) break;
    auto* button = DYNAMIC_DOWNCAST(CButton, *it);
    if (button == nullptr || !button->IsRadioButton()) continue;
    if (pDX->m_bSaveAndValidate) {
      if (button->GetCheck() == BST_CHECKED) value = index;
    } else {
      button->SetCheck(index == value ? BST_CHECKED : BST_UNCHECKED);
    }
    ++index;
  }
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd != nullptr) return;
  pDX->PrepareCtrl(nIDC);
  if (!rControl.SubclassDlgItem(static_cast<UINT>(nIDC), pDX->m_pDlgWnd))
    throw std::logic_error("control " + std::to_string(nIDC) + " of dialog \"" +
                           ToUtf8(pDX->m_pDlgWnd->GetWindowText()) + "\" is not a " +
                           rControl.GetRuntimeClass()->m_lpszClassName);
}

// ---- CDialog ----

CDialog::CDialog() : CDialog(0, nullptr) {}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd), m_nModalResult(-1), m_bModalDone(false) {}

CDialog::~CDialog() { DestroyWindow(); }

BOOL CDialog::CreateFromTemplate(const CDialogTemplate& t, CWnd* pParent, bool child) {
  if (m_hWnd != nullptr) return FALSE;
  if (!m_font) {
    m_font = std::make_unique<CFont>();
    LOGFONT lf;
    lf.lfHeight = -MulDiv(t.pointSize, 96, 72);
    lf.lfFaceName = t.fontFace;
    m_font->CreateFontIndirect(&lf);
  }
  const CRect rect = DaruMapDialogRect(t.rect, t.pointSize);
  DWORD style = t.style | WS_VISIBLE;
  style = child ? ((style & ~WS_POPUP) | WS_CHILD) : (style & ~WS_CHILD);
  if (!CreateEx(t.exStyle, u"#32770", t.caption.c_str(), style, rect, child ? pParent : nullptr,
                child ? m_nIDTemplate : 0))
    return FALSE;
  SetFont(m_font.get(), FALSE);
  for (const CDialogItemTemplate& item : t.items) {
    CWnd* control = DaruNewControlForClass(item.className);
    if (control == nullptr) {
      DestroyWindow();
      return FALSE;
    }
    const CRect r = DaruMapDialogRect(item.rect, t.pointSize);
    if (!control->CreateEx(item.exStyle, item.className.c_str(), item.text.c_str(), item.style | WS_CHILD, r, this,
                           item.id)) {
      DestroyWindow();  // a control whose creation failed has deleted itself
      return FALSE;
    }
    control->SetFont(m_font.get(), FALSE);
  }
  return TRUE;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
  m_nIDTemplate = nIDTemplate;
  m_pParentWnd = pParentWnd;
  const CDialogTemplate* t = AfxFindDialogTemplate(nIDTemplate);
  if (t == nullptr || !CreateFromTemplate(*t, pParentWnd, false)) return FALSE;
  SendMessage(WM_INITDIALOG);
  return m_hWnd != nullptr;
}

INT_PTR CDialog::DoModal() {
  if (m_hWnd != nullptr) return -1;
  m_nModalResult = -1;
  m_bModalDone = false;
  const CDialogTemplate* t = AfxFindDialogTemplate(m_nIDTemplate);
  // The window that had the focus gets it back when the dialog closes, as on the desktop.
  const CFocusKeeper keeper;
  if (t == nullptr || !CreateFromTemplate(*t, m_pParentWnd, false)) return -1;
  const HWND self = m_hWnd;
  try {
    SendMessage(WM_INITDIALOG);
    RunModalLoop();
  } catch (...) {
    if (IsWindow(self)) ::DestroyWindow(self);
    throw;
  }
  if (IsWindow(self)) ::DestroyWindow(self);
  return m_nModalResult;
}

void CDialog::RunModalLoop() {
  const HWND self = m_hWnd;
  CModalSession session(this, nullptr);
  while (!m_bModalDone && IsWindow(self)) {
    const int before = session.Actions();
    GetUserInteraction()->OperateDialog(session);
    if (m_bModalDone || !IsWindow(self)) break;
    if (session.Actions() == before) {
      // The user did nothing: the dialog closes as if Escape was pressed.
      SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
      if (!m_bModalDone) EndDialog(IDCANCEL);
    }
  }
}

void CDialog::EndDialog(int nResult) {
  m_nModalResult = nResult;
  m_bModalDone = true;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  try {
    DoDataExchange(&dx);
  } catch (const CUserException&) {
    return FALSE;
  }
  return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
  const HWND self = m_hWnd;
  const BOOL setFocus = OnInitDialog();
  if (setFocus && IsWindow(self)) {
    for (CWnd* child : GetChildren()) {
      if ((child->GetStyle() & WS_TABSTOP) && child->IsWindowEnabled() && (child->GetStyle() & WS_VISIBLE)) {
        child->SetFocus();
        break;
      }
    }
  }
  return setFocus;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }
