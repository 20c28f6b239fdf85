#include "platform/XTToolkit.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "base/TextConv.h"
#include "platform/CmdUI.h"
#include "platform/ListCtrl.h"
#include "platform/Menu.h"
#include "platform/Wnd.h"

namespace {

struct SortContext {
  std::vector<std::u16string> texts;  // the column's text of each row, by its position before the sort
  XTSortType type;
  bool ascending;
};

char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

int CompareText(const std::u16string& a, const std::u16string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const char16_t x = Fold(a[i]), y = Fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

long long ToInt(const std::u16string& s) {
  const std::string t = ToUtf8(s);
  return std::strtoll(t.c_str(), nullptr, 10);
}

double ToDecimal(const std::u16string& s) {
  const std::string t = ToUtf8(s);
  return std::strtod(t.c_str(), nullptr);
}

int Compare(LPARAM a, LPARAM b, LPARAM context) {
  const auto* ctx = reinterpret_cast<const SortContext*>(context);
  const std::u16string& x = ctx->texts[static_cast<size_t>(a)];
  const std::u16string& y = ctx->texts[static_cast<size_t>(b)];
  int r = 0;
  switch (ctx->type) {
    case SORT_INT: {
      const long long p = ToInt(x), q = ToInt(y);
      r = p < q ? -1 : (p > q ? 1 : 0);
      break;
    }
    case SORT_DEC: {
      const double p = ToDecimal(x), q = ToDecimal(y);
      r = p < q ? -1 : (p > q ? 1 : 0);
      break;
    }
    default:
      r = CompareText(x, y);
      break;
  }
  return ctx->ascending ? r : -r;
}

}  // namespace

CXTSortClass::CXTSortClass(CListCtrl* pListCtrl, const int nCol) : m_pListCtrl(pListCtrl), m_nCol(nCol) {}

CXTSortClass::~CXTSortClass() = default;

void CXTSortClass::Sort(bool bAsc, XTSortType eType) {
  if (m_pListCtrl == nullptr || m_nCol < 0) return;
  SortContext ctx{{}, eType, bAsc};
  for (int i = 0; i < m_pListCtrl->GetItemCount(); ++i) ctx.texts.push_back(m_pListCtrl->GetItemText(i, m_nCol));
  m_pListCtrl->SortItemsEx(&Compare, reinterpret_cast<DWORD_PTR>(&ctx));
}

BOOL CXTPCommandBars::TrackPopupMenu(CMenu* pMenu, UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT, CWnd* pWndOwner,
                                     CXTPCommandBars*) {
  if (pMenu == nullptr || pMenu->m_hMenu == nullptr) return FALSE;
  CWnd* owner = pWndOwner ? pWndOwner : pWnd;
  const HWND ownerWnd = owner ? owner->m_hWnd : nullptr;
  if (owner != nullptr) DaruUpdateMenuUI(pMenu, owner, TRUE);
  CPopupMenuView view = pMenu->View();
  view.pt = POINT{x, y};
  view.owner = ownerWnd;
  view.flags = nFlags;
  const UINT id = GetUserInteraction()->TrackPopupMenu(view);
  const CMenuItemView* chosen = id ? view.FindById(id) : nullptr;
  if (chosen == nullptr || !chosen->enabled) return FALSE;
  if (nFlags & TPM_RETURNCMD) return static_cast<BOOL>(id);
  if (IsWindow(ownerWnd)) ::SendMessage(ownerWnd, WM_COMMAND, MAKEWPARAM(id, 0), 0);
  return TRUE;
}
