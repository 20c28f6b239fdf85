#include "platform/Controls.h"

#include <algorithm>

#include "base/U16Format.h"
#include "platform/CommCtrl.h"
#include "platform/ListCtrl.h"
#include "platform/TreeCtrl.h"

IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CRichEditCtrl, CEdit)

namespace {

bool g_richEdit = false;

bool SameClass(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return true;
}

template <class T>
class CTemplateControl : public T {
 protected:
  void PostNcDestroy() override { delete this; }
};

}  // namespace

// ---- CEdit ----

CEdit::CEdit() = default;
CEdit::~CEdit() { DestroyWindow(); }

BOOL CEdit::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  return CWnd::Create(WC_EDIT, u"", dwStyle, rect, pParentWnd, nID);
}

BOOL CEdit::SetReadOnly(BOOL bReadOnly) {
  ModifyStyle(bReadOnly ? 0 : ES_READONLY, bReadOnly ? ES_READONLY : 0);
  return TRUE;
}

void CEdit::LimitText(int nChars) { m_limit = std::max(0, nChars); }
int CEdit::GetLimitText() const { return m_limit; }

void CEdit::SetSel(int nStartChar, int nEndChar) {
  const int len = GetWindowTextLength();
  if (nStartChar < 0) {
    m_selStart = m_selEnd = len;
    return;
  }
  if (nEndChar < 0) nEndChar = len;
  m_selStart = std::clamp(std::min(nStartChar, nEndChar), 0, len);
  m_selEnd = std::clamp(std::max(nStartChar, nEndChar), 0, len);
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const {
  nStartChar = m_selStart;
  nEndChar = m_selEnd;
}

void CEdit::ReplaceSel(const std::u16string& text) {
  std::u16string t = GetWindowText();
  const size_t a = std::min(static_cast<size_t>(m_selStart), t.size());
  const size_t b = std::min(static_cast<size_t>(m_selEnd), t.size());
  t.replace(a, b - a, text);
  if (m_limit > 0 && t.size() > static_cast<size_t>(m_limit)) t.resize(static_cast<size_t>(m_limit));
  SetWindowText(t);
  m_selStart = m_selEnd = static_cast<int>(std::min(a + text.size(), t.size()));
}

int CEdit::GetLineCount() const {
  const std::u16string t = GetWindowText();
  return 1 + static_cast<int>(std::count(t.begin(), t.end(), u'\n'));
}

void CEdit::DescribeContent(std::vector<std::u16string>& lines) const {
  if (GetStyle() & ES_MULTILINE) {
    std::u16string line;
    for (char16_t ch : GetWindowText()) {
      if (ch == u'\r') continue;
      if (ch == u'\n') {
        lines.push_back(u"| " + line);
        line.clear();
      } else {
        line.push_back(ch);
      }
    }
    lines.push_back(u"| " + line);
  }
}

LRESULT CEdit::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT: {
      LRESULT r = CWnd::DefWindowProc(message, wParam, lParam);
      m_selStart = m_selEnd = 0;
      return r;
    }
    case WM_CHAR: {
      if ((GetStyle() & ES_READONLY) || !IsWindowEnabled()) return 0;
      const char16_t ch = static_cast<char16_t>(wParam);
      if (ch == u'\b') {
        if (m_selStart == m_selEnd && m_selStart > 0) --m_selStart;
        ReplaceSel(u"");
      } else if (ch == u'\r') {
        if ((GetStyle() & ES_MULTILINE) && (GetStyle() & ES_WANTRETURN)) ReplaceSel(u"\r\n");
      } else if (ch >= 0x20) {
        ReplaceSel(std::u16string(1, ch));
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
      SetFocus();
      return 0;
    default:
      return CWnd::DefWindowProc(message, wParam, lParam);
  }
}

// ---- CButton ----

CButton::CButton() = default;
CButton::~CButton() { DestroyWindow(); }

BOOL CButton::Create(const std::u16string& caption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  return CWnd::Create(WC_BUTTON, caption.c_str(), dwStyle, rect, pParentWnd, nID);
}

int CButton::GetCheck() const { return m_check; }

void CButton::SetCheck(int nCheck) {
  if (m_check != nCheck) Invalidate();
  m_check = nCheck;
}

UINT CButton::GetButtonStyle() const { return GetStyle() & BS_TYPEMASK; }

void CButton::SetButtonStyle(UINT nStyle, BOOL) { ModifyStyle(BS_TYPEMASK, nStyle & BS_TYPEMASK); }

bool CButton::IsCheckBox() const {
  const UINT s = GetButtonStyle();
  return s == BS_CHECKBOX || s == BS_AUTOCHECKBOX || s == BS_3STATE || s == BS_AUTO3STATE;
}

bool CButton::IsRadioButton() const {
  const UINT s = GetButtonStyle();
  return s == BS_RADIOBUTTON || s == BS_AUTORADIOBUTTON;
}

bool CButton::IsPushButton() const {
  const UINT s = GetButtonStyle();
  return s == BS_PUSHBUTTON || s == BS_DEFPUSHBUTTON;
}

void CButton::Clicked() {
  if (!IsWindowEnabled()) return;
  const UINT s = GetButtonStyle();
  if (s == BS_AUTOCHECKBOX) {
    SetCheck(m_check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  } else if (s == BS_AUTO3STATE) {
    SetCheck((m_check + 1) % 3);
  } else if (s == BS_AUTORADIOBUTTON) {
    // Clear the other radio buttons of the group: from the last WS_GROUP control
    // at or before this one up to the next WS_GROUP control.
    if (CWnd* parent = GetParent()) {
      std::vector<CWnd*> children = parent->GetChildren();
      auto self = std::find(children.begin(), children.end(), this);
      if (self != children.end()) {
        auto first = self;
        while (first != children.begin() && !((*first)->GetStyle() & WS_GROUP)) --first;
        for (auto it = first; it != children.end(); ++it) {
          if (it != first && ((*it)->GetStyle() & WS_GROUP)) break;
          auto* b = DYNAMIC_DOWNCAST(CButton, *it);
          if (b != nullptr && b != this && b->IsRadioButton()) b->SetCheck(BST_UNCHECKED);
        }
      }
    }
    SetCheck(BST_CHECKED);
  }
  const HWND self = m_hWnd;
  const int id = GetDlgCtrlID();
  if (CWnd* parent = GetParent())
    parent->SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(id), BN_CLICKED), reinterpret_cast<LPARAM>(self));
}

LRESULT CButton::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case BM_GETCHECK:
      return m_check;
    case BM_SETCHECK:
      SetCheck(static_cast<int>(wParam));
      return 0;
    case BM_CLICK:
      Clicked();
      return 0;
    case WM_LBUTTONDOWN:
      if (IsWindowEnabled()) {
        m_pressed = true;
        SetFocus();
      }
      return 0;
    case WM_LBUTTONUP: {
      const bool wasPressed = m_pressed;
      m_pressed = false;
      CRect client;
      GetClientRect(&client);
      if (wasPressed && client.PtInRect(CPoint(lParam))) Clicked();
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) Clicked();
      return 0;
    default:
      return CWnd::DefWindowProc(message, wParam, lParam);
  }
}

// ---- CStatic ----

CStatic::CStatic() = default;
CStatic::~CStatic() { DestroyWindow(); }

BOOL CStatic::Create(const std::u16string& text, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  return CWnd::Create(WC_STATIC, text.c_str(), dwStyle, rect, pParentWnd, nID);
}

// ---- CRichEditCtrl ----

CRichEditCtrl::CRichEditCtrl() = default;
CRichEditCtrl::~CRichEditCtrl() { DestroyWindow(); }

BOOL CRichEditCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  if (!g_richEdit) return FALSE;
  return CWnd::Create(u"RichEdit20W", u"", dwStyle, rect, pParentWnd, nID);
}

long CRichEditCtrl::GetTextLength() const { return GetWindowTextLength(); }

BOOL AfxInitRichEdit2() {
  g_richEdit = true;
  return TRUE;
}

bool DaruRichEditAvailable() { return g_richEdit; }
void DaruResetRichEdit() { g_richEdit = false; }

CWnd* DaruNewControlForClass(const std::u16string& className) {
  if (SameClass(className, WC_EDIT)) return new CTemplateControl<CEdit>;
  if (SameClass(className, WC_BUTTON)) return new CTemplateControl<CButton>;
  if (SameClass(className, WC_STATIC)) return new CTemplateControl<CStatic>;
  if (SameClass(className, WC_TREEVIEW)) return new CTemplateControl<CTreeCtrl>;
  if (SameClass(className, WC_LISTVIEW)) return new CTemplateControl<CListCtrl>;
  if (SameClass(className, u"RichEdit20A") || SameClass(className, u"RichEdit20W")) {
    if (!g_richEdit) return nullptr;
    return new CTemplateControl<CRichEditCtrl>;
  }
  return nullptr;
}

std::u16string DaruControlKind(const CWnd* control) {
  if (control == nullptr) return u"";
  if (control->IsKindOf(RUNTIME_CLASS(CRichEditCtrl))) return u"rich edit";
  if (control->IsKindOf(RUNTIME_CLASS(CEdit))) return u"edit";
  if (const auto* b = dynamic_cast<const CButton*>(control)) {
    if (b->IsCheckBox()) return u"check box";
    if (b->IsRadioButton()) return u"radio button";
    if (b->GetButtonStyle() == BS_GROUPBOX) return u"group box";
    if (b->GetButtonStyle() == BS_DEFPUSHBUTTON) return u"default button";
    return u"button";
  }
  if (control->IsKindOf(RUNTIME_CLASS(CStatic))) return u"static";
  if (control->IsKindOf(RUNTIME_CLASS(CTreeCtrl))) return u"tree view";
  if (control->IsKindOf(RUNTIME_CLASS(CListCtrl))) return u"list view";
  return control->GetClassName();
}
