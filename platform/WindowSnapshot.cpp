#include "platform/WindowSnapshot.h"

#include "base/TextConv.h"
#include "base/U16Format.h"
#include "platform/Controls.h"
#include "platform/Wnd.h"

namespace {

void Snapshot(const CWnd* w, int depth, std::u16string& out) {
  const std::u16string pad(static_cast<size_t>(depth) * 2, u' ');
  CRect r;
  w->GetWindowRect(&r);
  std::u16string line = pad + FromUtf8(w->GetRuntimeClass()->m_lpszClassName);
  if (w->GetDlgCtrlID() != 0) line += Fmt(u" #%d", w->GetDlgCtrlID());
  const std::u16string kind = DaruControlKind(w);
  if (w->GetParent() != nullptr && !kind.empty() && kind != w->GetClassName()) line += u" (" + kind + u")";
  std::u16string text = w->GetWindowText();
  if (const auto* edit = dynamic_cast<const CEdit*>(w); edit != nullptr && (w->GetStyle() & ES_MULTILINE)) text.clear();
  if (!text.empty()) line += u" \"" + text + u"\"";
  line += Fmt(u" at %d,%d size %dx%d", r.left, r.top, r.Width(), r.Height());
  std::u16string marks;
  auto add = [&marks](const std::u16string& m) { marks += (marks.empty() ? u"" : u", ") + m; };
  if (!(w->GetStyle() & WS_VISIBLE)) add(u"hidden");
  if (!w->IsWindowEnabled()) add(u"disabled");
  if (CWnd::GetFocus() == w) add(u"focused");
  if (CWnd::GetLockedWindow() == w->m_hWnd && w->m_hWnd != nullptr) add(u"locked");
  if (const auto* button = dynamic_cast<const CButton*>(w)) {
    if (button->IsCheckBox() || button->IsRadioButton())
      add(button->GetCheck() == BST_CHECKED ? u"checked" : u"unchecked");
  }
  if (dynamic_cast<const CEdit*>(w) != nullptr && (w->GetStyle() & ES_READONLY)) add(u"read-only");
  if (!marks.empty()) line += u" [" + marks + u"]";
  out += line + u"\n";
  std::vector<std::u16string> content;
  w->DescribeContent(content);
  for (const auto& c : content) out += pad + u"  " + c + u"\n";
  if (w->SnapshotChildren())
    for (const CWnd* child : w->GetChildren()) Snapshot(child, depth + 1, out);
}

}  // namespace

std::u16string DaruSnapshotWindow(const CWnd* pWnd) {
  if (pWnd == nullptr) return u"(no window)\n";
  if (pWnd->m_hWnd == nullptr) return FromUtf8(pWnd->GetRuntimeClass()->m_lpszClassName) + u" (no window)\n";
  std::u16string out;
  Snapshot(pWnd, 0, out);
  return out;
}

std::u16string DaruSnapshotWindow(HWND hWnd) { return DaruSnapshotWindow(CWnd::FromHandle(hWnd)); }

std::string DaruSnapshotWindowUtf8(const CWnd* pWnd) { return ToUtf8(DaruSnapshotWindow(pWnd)); }
