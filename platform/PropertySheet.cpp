#include "platform/PropertySheet.h"

#include <algorithm>

#include "platform/Controls.h"
#include "platform/FocusKeeper.h"
#include "platform/ModalSession.h"
#include "platform/Resources.h"

IMPLEMENT_DYNAMIC(CPropertyPage, CDialog)
IMPLEMENT_DYNAMIC(CPropertySheet, CWnd)

namespace {

constexpr int kMargin = 7;
constexpr int kTabHeight = 20;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;

class CSheetButton : public CButton {
 protected:
  void PostNcDestroy() override { delete this; }
};

}  // namespace

// ---- CPropertyPage ----

CPropertyPage::CPropertyPage() : CPropertyPage(0, 0) {}

CPropertyPage::CPropertyPage(UINT nIDTemplate, UINT nIDCaption)
    : CDialog(nIDTemplate, nullptr), m_nIDCaption(nIDCaption) {}

CPropertyPage::~CPropertyPage() { DestroyWindow(); }

std::u16string CPropertyPage::GetTitle() const {
  std::u16string title;
  if (m_nIDCaption != 0 && AfxLoadString(m_nIDCaption, title)) return title;
  const CDialogTemplate* t = AfxFindDialogTemplate(m_nIDTemplate);
  return t ? t->caption : std::u16string();
}

void CPropertyPage::SetModified(BOOL bChanged) {
  m_bModified = bChanged != FALSE;
  if (auto* sheet = DYNAMIC_DOWNCAST(CPropertySheet, GetParent()))
    if (CWnd* apply = sheet->GetDlgItem(ID_APPLY_NOW)) apply->EnableWindow(bChanged);
}

BOOL CPropertyPage::OnSetActive() {
  if (m_bFirstSetActive) {
    m_bFirstSetActive = false;
  } else {
    UpdateData(FALSE);
  }
  return TRUE;
}

BOOL CPropertyPage::OnKillActive() { return UpdateData(TRUE); }

BOOL CPropertyPage::OnApply() {
  OnOK();
  return TRUE;
}

void CPropertyPage::OnReset() { OnCancel(); }
void CPropertyPage::OnOK() {}
void CPropertyPage::OnCancel() {}

BOOL CPropertyPage::CreatePage(CPropertySheet* pSheet) {
  const CDialogTemplate* t = AfxFindDialogTemplate(m_nIDTemplate);
  if (t == nullptr) return FALSE;
  m_bFirstSetActive = true;
  m_bModified = false;
  CDialogTemplate page = *t;
  page.rect = CRect(0, 0, t->rect.Width(), t->rect.Height());
  if (!CreateFromTemplate(page, pSheet, true)) return FALSE;
  const CRect r = DaruMapDialogRect(page.rect, t->pointSize);
  MoveWindow(kMargin, kMargin + kTabHeight, r.Width(), r.Height(), FALSE);
  SendMessage(WM_INITDIALOG);
  return m_hWnd != nullptr;
}

// ---- CPropertySheet ----

BEGIN_MESSAGE_MAP(CPropertySheet, CWnd)
ON_COMMAND(IDOK, OnOkButton)
ON_COMMAND(IDCANCEL, OnCancelButton)
ON_COMMAND(ID_APPLY_NOW, OnApplyButton)
END_MESSAGE_MAP()

CPropertySheet::CPropertySheet() : CPropertySheet(std::u16string(), nullptr, 0) {}

CPropertySheet::CPropertySheet(const std::u16string& caption, CWnd* pParentWnd, UINT iSelectPage)
    : m_caption(caption), m_pParentWnd(pParentWnd) {
  m_psh.nStartPage = iSelectPage;
}

CPropertySheet::CPropertySheet(UINT nIDCaption, CWnd* pParentWnd, UINT iSelectPage)
    : CPropertySheet(std::u16string(), pParentWnd, iSelectPage) {
  AfxLoadString(nIDCaption, m_caption);
}

CPropertySheet::~CPropertySheet() { DestroyWindow(); }

void CPropertySheet::AddPage(CPropertyPage* pPage) {
  if (pPage != nullptr && std::find(m_pages.begin(), m_pages.end(), pPage) == m_pages.end()) m_pages.push_back(pPage);
}

void CPropertySheet::RemovePage(int nPage) {
  if (nPage < 0 || nPage >= GetPageCount()) return;
  CPropertyPage* page = m_pages[static_cast<size_t>(nPage)];
  page->DestroyWindow();
  m_pages.erase(m_pages.begin() + nPage);
  if (m_nActive == nPage) {
    m_nActive = -1;
    if (m_hWnd != nullptr && !m_pages.empty()) SetActivePage(std::min(nPage, GetPageCount() - 1));
  } else if (m_nActive > nPage) {
    --m_nActive;
  }
}

int CPropertySheet::GetPageCount() const { return static_cast<int>(m_pages.size()); }

CPropertyPage* CPropertySheet::GetPage(int nPage) const {
  return nPage >= 0 && nPage < GetPageCount() ? m_pages[static_cast<size_t>(nPage)] : nullptr;
}

CPropertyPage* CPropertySheet::GetActivePage() const { return GetPage(m_nActive); }
int CPropertySheet::GetActiveIndex() const { return m_nActive; }

int CPropertySheet::GetPageIndex(CPropertyPage* pPage) const {
  auto it = std::find(m_pages.begin(), m_pages.end(), pPage);
  return it == m_pages.end() ? -1 : static_cast<int>(it - m_pages.begin());
}

BOOL CPropertySheet::SetActivePage(CPropertyPage* pPage) { return SetActivePage(GetPageIndex(pPage)); }

BOOL CPropertySheet::SetActivePage(int nPage) {
  CPropertyPage* next = GetPage(nPage);
  if (next == nullptr) return FALSE;
  if (nPage == m_nActive) return TRUE;
  if (m_hWnd == nullptr) {
    m_psh.nStartPage = static_cast<UINT>(nPage);
    return TRUE;
  }
  if (CPropertyPage* current = GetActivePage()) {
    if (current->m_hWnd != nullptr && !current->OnKillActive()) return FALSE;
    if (current->m_hWnd != nullptr) current->ShowWindow(SW_HIDE);
  }
  if (next->m_hWnd == nullptr && !next->CreatePage(this)) return FALSE;
  m_nActive = nPage;
  next->ShowWindow(SW_SHOW);
  next->OnSetActive();
  Invalidate();
  return TRUE;
}

void CPropertySheet::SetTitle(const std::u16string& title) {
  m_caption = title;
  if (m_hWnd != nullptr) SetWindowText(title);
}

void CPropertySheet::EndDialog(int nEndID) {
  m_nModalResult = nEndID;
  m_bModalDone = true;
}

INT_PTR CPropertySheet::DoModal() {
  if (m_hWnd != nullptr || m_pages.empty()) return -1;
  m_nModalResult = -1;
  m_bModalDone = false;
  m_nActive = -1;
  const CFocusKeeper keeper;  // the focus goes back where it was when the sheet closes
  CRect pageRect;
  for (CPropertyPage* page : m_pages) {
    if (const CDialogTemplate* t = AfxFindDialogTemplate(page->GetTemplateId())) {
      const CRect r = DaruMapDialogRect(CRect(0, 0, t->rect.Width(), t->rect.Height()), t->pointSize);
      pageRect.right = std::max(pageRect.right, r.right);
      pageRect.bottom = std::max(pageRect.bottom, r.bottom);
    }
  }
  const int width = pageRect.Width() + 2 * kMargin;
  const int height = pageRect.Height() + kTabHeight + 3 * kMargin + kButtonHeight;
  if (!CreateEx(0, u"#32770", m_caption.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                CRect(0, 0, width, height), nullptr, 0))
    return -1;
  const HWND self = m_hWnd;
  struct Button {
    UINT id;
    const char16_t* text;
    DWORD style;
  };
  std::vector<Button> buttons = {{IDOK, u"确定", BS_DEFPUSHBUTTON}, {IDCANCEL, u"取消", BS_PUSHBUTTON}};
  if (!(m_psh.dwFlags & PSH_NOAPPLYNOW)) buttons.push_back({ID_APPLY_NOW, u"应用(&A)", BS_PUSHBUTTON | WS_DISABLED});
  int x = width - kMargin - static_cast<int>(buttons.size()) * (kButtonWidth + kMargin) + kMargin;
  for (const Button& b : buttons) {
    auto* button = new CSheetButton;
    button->Create(b.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | b.style,
                   CRect(x, height - kMargin - kButtonHeight, x + kButtonWidth, height - kMargin), this, b.id);
    x += kButtonWidth + kMargin;
  }
  try {
    const int start = m_psh.nStartPage < m_pages.size() ? static_cast<int>(m_psh.nStartPage) : 0;
    if (!SetActivePage(start)) {
      ::DestroyWindow(self);
      return -1;
    }
    CModalSession session(nullptr, this);
    while (!m_bModalDone && IsWindow(self)) {
      const int before = session.Actions();
      GetUserInteraction()->OperateDialog(session);
      if (m_bModalDone || !IsWindow(self)) break;
      if (session.Actions() == before) OnCancelButton();
    }
  } catch (...) {
    if (IsWindow(self)) ::DestroyWindow(self);
    m_nActive = -1;
    throw;
  }
  if (IsWindow(self)) ::DestroyWindow(self);
  m_nActive = -1;
  return m_nModalResult;
}

bool CPropertySheet::ApplyPages() {
  for (size_t i = 0; i < m_pages.size(); ++i) {
    CPropertyPage* page = m_pages[i];
    if (page->m_hWnd == nullptr) continue;
    if (!page->OnApply()) {
      SetActivePage(static_cast<int>(i));
      return false;
    }
    page->m_bModified = false;
  }
  return true;
}

void CPropertySheet::OnOkButton() {
  CPropertyPage* active = GetActivePage();
  if (active != nullptr && active->m_hWnd != nullptr && !active->OnKillActive()) return;
  if (!ApplyPages()) return;
  EndDialog(IDOK);
}

void CPropertySheet::OnCancelButton() {
  for (CPropertyPage* page : m_pages)
    if (page->m_hWnd != nullptr) page->OnReset();
  EndDialog(IDCANCEL);
}

void CPropertySheet::OnApplyButton() {
  CPropertyPage* active = GetActivePage();
  if (active != nullptr && active->m_hWnd != nullptr && !active->OnKillActive()) return;
  if (ApplyPages())
    if (CWnd* apply = GetDlgItem(ID_APPLY_NOW)) apply->EnableWindow(FALSE);
}

bool CPropertySheet::IsPageCreated(int nPage) const {
  CPropertyPage* page = GetPage(nPage);
  return page != nullptr && page->m_hWnd != nullptr;
}

void CPropertySheet::DescribeContent(std::vector<std::u16string>& lines) const {
  std::u16string tabs = u"tabs:";
  for (int i = 0; i < GetPageCount(); ++i) {
    const std::u16string title = GetPage(i)->GetTitle();
    tabs += i == m_nActive ? u" [" + title + u"]" : u" " + title;
    if (!IsPageCreated(i)) tabs += u"(not created)";
  }
  lines.push_back(tabs);
}
