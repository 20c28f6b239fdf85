#include "platform/ModalSession.h"

#include <stdexcept>

#include "base/TextConv.h"
#include "platform/Controls.h"
#include "platform/Dialog.h"
#include "platform/PropertySheet.h"
#include "platform/WindowSnapshot.h"

CModalSession::CModalSession(CDialog* dialog, CPropertySheet* sheet) : m_dialog(dialog), m_sheet(sheet) {}

CWnd* CModalSession::Window() const {
  if (m_sheet != nullptr) return m_sheet;
  return m_dialog;
}

std::u16string CModalSession::Title() const {
  CWnd* w = Window();
  return w ? w->GetWindowText() : std::u16string();
}

UINT CModalSession::TemplateId() const {
  if (m_dialog != nullptr) return m_dialog->GetTemplateId();
  CPropertyPage* page = m_sheet ? m_sheet->GetActivePage() : nullptr;
  return page ? page->GetTemplateId() : 0;
}

std::vector<std::u16string> CModalSession::Tabs() const {
  std::vector<std::u16string> tabs;
  if (m_sheet != nullptr)
    for (int i = 0; i < m_sheet->GetPageCount(); ++i) tabs.push_back(m_sheet->GetPage(i)->GetTitle());
  return tabs;
}

int CModalSession::ActiveTab() const { return m_sheet ? m_sheet->GetActiveIndex() : -1; }

bool CModalSession::SelectTab(int index) {
  if (m_sheet == nullptr) throw std::logic_error("dialog \"" + ToUtf8(Title()) + "\" has no tabs");
  if (index < 0 || index >= m_sheet->GetPageCount())
    throw std::logic_error("sheet \"" + ToUtf8(Title()) + "\" has no tab " + std::to_string(index));
  ++m_actions;
  return m_sheet->SetActivePage(index) != FALSE;
}

bool CModalSession::SelectTab(const std::u16string& title) {
  const auto tabs = Tabs();
  for (size_t i = 0; i < tabs.size(); ++i)
    if (tabs[i] == title) return SelectTab(static_cast<int>(i));
  throw std::logic_error("sheet \"" + ToUtf8(Title()) + "\" has no tab \"" + ToUtf8(title) + "\"");
}

CWnd* CModalSession::Find(UINT id) const {
  if (m_sheet != nullptr) {
    if (CPropertyPage* page = m_sheet->GetActivePage())
      if (CWnd* c = page->GetDlgItem(static_cast<int>(id))) return c;
    return m_sheet->GetDlgItem(static_cast<int>(id));
  }
  return m_dialog ? m_dialog->GetDlgItem(static_cast<int>(id)) : nullptr;
}

CWnd* CModalSession::Require(UINT id, const char* what) const {
  CWnd* c = Find(id);
  if (c == nullptr)
    throw std::logic_error(std::string("cannot ") + what + ": dialog \"" + ToUtf8(Title()) + "\" shows no control " +
                           std::to_string(id));
  return c;
}

std::vector<CModalSession::Control> CModalSession::Controls() const {
  std::vector<Control> out;
  std::vector<CWnd*> windows;
  if (m_sheet != nullptr) {
    if (CPropertyPage* page = m_sheet->GetActivePage()) windows = page->GetChildren();
    for (CWnd* c : m_sheet->GetChildren())
      if (!c->IsKindOf(RUNTIME_CLASS(CPropertyPage))) windows.push_back(c);
  } else if (m_dialog != nullptr) {
    windows = m_dialog->GetChildren();
  }
  for (CWnd* w : windows) {
    Control c;
    c.id = static_cast<UINT>(w->GetDlgCtrlID());
    c.kind = DaruControlKind(w);
    c.text = w->GetWindowText();
    if (auto* b = DYNAMIC_DOWNCAST(CButton, w)) c.check = b->GetCheck();
    c.enabled = w->IsWindowEnabled() != FALSE;
    c.visible = (w->GetStyle() & WS_VISIBLE) != 0;
    c.readOnly = w->IsKindOf(RUNTIME_CLASS(CEdit)) && (w->GetStyle() & ES_READONLY);
    c.multiLine = w->IsKindOf(RUNTIME_CLASS(CEdit)) && (w->GetStyle() & ES_MULTILINE);
    out.push_back(std::move(c));
  }
  return out;
}

bool CModalSession::HasControl(UINT id) const { return Find(id) != nullptr; }

std::u16string CModalSession::GetText(UINT id) const { return Require(id, "read text")->GetWindowText(); }

void CModalSession::SetText(UINT id, const std::u16string& text) {
  CWnd* c = Require(id, "type text");
  const std::string name = "control " + std::to_string(id) + " of dialog \"" + ToUtf8(Title()) + "\"";
  if (!c->IsKindOf(RUNTIME_CLASS(CEdit))) throw std::logic_error("cannot type into " + name + ": it is not an edit");
  if (c->GetStyle() & ES_READONLY) throw std::logic_error("cannot type into " + name + ": it is read-only");
  if (!c->IsWindowEnabled() || !(c->GetStyle() & WS_VISIBLE))
    throw std::logic_error("cannot type into " + name + ": it is disabled or hidden");
  ++m_actions;
  c->SetFocus();
  c->SetWindowText(text);
}

int CModalSession::GetCheck(UINT id) const {
  auto* b = DYNAMIC_DOWNCAST(CButton, Require(id, "read a check"));
  if (b == nullptr) throw std::logic_error("control " + std::to_string(id) + " is not a button");
  return b->GetCheck();
}

void CModalSession::SetCheck(UINT id, int check) {
  CWnd* w = Require(id, "tick");
  auto* b = DYNAMIC_DOWNCAST(CButton, w);
  const std::string name = "control " + std::to_string(id) + " of dialog \"" + ToUtf8(Title()) + "\"";
  if (b == nullptr || !(b->IsCheckBox() || b->IsRadioButton()))
    throw std::logic_error("cannot tick " + name + ": it is not a check box or radio button");
  if (b->IsRadioButton() && check != BST_CHECKED)
    throw std::logic_error("cannot clear radio button " + name + ": select another one of its group");
  for (int i = 0; i < 3 && b->GetCheck() != check; ++i) Click(id);
}

void CModalSession::Click(UINT id) {
  CWnd* w = Require(id, "click");
  const std::string name = "control " + std::to_string(id) + " of dialog \"" + ToUtf8(Title()) + "\"";
  if (DYNAMIC_DOWNCAST(CButton, w) == nullptr) throw std::logic_error("cannot click " + name + ": it is not a button");
  if (!w->IsWindowEnabled() || !(w->GetStyle() & WS_VISIBLE))
    throw std::logic_error("cannot click " + name + ": it is disabled or hidden");
  ++m_actions;
  w->SendMessage(BM_CLICK);
}

void CModalSession::Ok() { Click(IDOK); }

void CModalSession::Cancel() {
  CWnd* button = Find(IDCANCEL);
  if (button != nullptr && button->IsWindowEnabled() && (button->GetStyle() & WS_VISIBLE)) {
    Click(IDCANCEL);
    return;
  }
  ++m_actions;
  if (CWnd* w = Window()) w->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
}

CWnd* CModalSession::GetControl(UINT id) const { return Require(id, "use"); }

bool CModalSession::IsOpen() const {
  if (m_sheet != nullptr) return !m_sheet->m_bModalDone && m_sheet->m_hWnd != nullptr;
  return m_dialog != nullptr && !m_dialog->m_bModalDone && m_dialog->m_hWnd != nullptr;
}

int CModalSession::Result() const {
  if (IsOpen()) return -1;
  if (m_sheet != nullptr) return m_sheet->m_nModalResult;
  return m_dialog ? m_dialog->m_nModalResult : -1;
}

std::u16string CModalSession::Snapshot() const { return DaruSnapshotWindow(Window()); }
