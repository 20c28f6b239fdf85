#include "shared/DialogDescription.h"

namespace hostshared {

namespace {

bool IsTall(const std::u16string& kind, DWORD style) {
  if (kind == u"tree view" || kind == u"list view" || kind == u"group box") return true;
  if (kind == u"edit" || kind == u"rich edit") return (style & ES_MULTILINE) != 0;
  return false;
}

bool IsEdit(const std::u16string& kind) { return kind == u"edit" || kind == u"rich edit"; }

}  // namespace

std::u16string WithoutMnemonic(const std::u16string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;  // "&x" shows x, "&&" shows one '&'
    if (text[i] != u'&' || (i > 0 && text[i - 1] == u'&')) out += text[i];
  }
  return out;
}

DialogDescription DescribeDialog(const CModalSession& session, std::map<HWND, CRect>* original) {
  DialogDescription d;
  d.title = session.Title();
  d.tabs = session.Tabs();
  d.activeTab = session.ActiveTab();
  const auto controls = session.Controls();
  if (controls.empty()) return d;
  CWnd* any = session.GetControl(controls.front().id);
  d.top = any ? any->GetTopLevelParent() : nullptr;
  if (d.top == nullptr) return d;
  d.sheet = DYNAMIC_DOWNCAST(CPropertySheet, d.top);
  std::vector<std::pair<CWnd*, bool>> windows;
  if (d.sheet != nullptr) {
    if (CPropertyPage* page = d.sheet->GetActivePage())
      for (CWnd* c : page->GetChildren()) windows.emplace_back(c, true);
    for (CWnd* c : d.sheet->GetChildren())
      if (!c->IsKindOf(RUNTIME_CLASS(CPropertyPage))) windows.emplace_back(c, false);
  } else {
    for (CWnd* c : d.top->GetChildren()) windows.emplace_back(c, false);
  }
  CRect topRect;
  d.top->GetWindowRect(&topRect);
  d.size = CRect(0, 0, topRect.Width(), topRect.Height());
  for (const auto& [w, onPage] : windows) {
    if (!(w->GetStyle() & WS_VISIBLE)) continue;
    CRect r;
    auto known = original ? original->find(w->GetSafeHwnd()) : std::map<HWND, CRect>::iterator{};
    if (original != nullptr && known != original->end()) {
      r = known->second;
    } else {
      w->GetWindowRect(&r);
      r.OffsetRect(-topRect.left, -topRect.top);
      if (original != nullptr) original->emplace(w->GetSafeHwnd(), r);
    }
    DialogControl c;
    c.wnd = w;
    c.id = static_cast<UINT>(w->GetDlgCtrlID());
    c.kind = DaruControlKind(w);
    c.text = w->GetWindowText();
    c.rect = r;
    c.style = w->GetStyle();
    c.enabled = w->IsWindowEnabled() != FALSE;
    c.onPage = onPage;
    c.tall = IsTall(c.kind, c.style);
    c.isDefault = c.kind == u"default button";
    c.focusable = c.enabled && c.kind != u"static" && c.kind != u"group box" &&
                  !(IsEdit(c.kind) && (c.style & ES_READONLY) && !(c.style & ES_MULTILINE));
    d.controls.push_back(std::move(c));
  }
  return d;
}

}  // namespace hostshared
