#include "platform/XTToolkit.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "base/TextConv.h"
#include "platform/CmdUI.h"
#include "platform/ListCtrl.h"
#include "platform/Menu.h"
#include "platform/Wnd.h"

namespace {

char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

long long ToInt(const std::u16string& s) {
  const std::string t = ToUtf8(s);
  return std::strtoll(t.c_str(), nullptr, 10);
}

double ToDecimal(const std::u16string& s) {
  const std::string t = ToUtf8(s);
  return std::strtod(t.c_str(), nullptr);
}

// The sort keys of a column, worked out once per row rather than once per
// comparison: numbers for the numeric types, otherwise the folded texts side
// by side in one buffer, so comparing them stays within the caches.
struct SortKeys {
  std::vector<long long> ints;
  std::vector<double> decimals;
  std::u16string text;                             // every row's folded text, one after another
  std::vector<std::pair<size_t, size_t>> extents;  // offset and length of each row's text

  int Compare(size_t a, size_t b, XTSortType type) const {
    if (type == SORT_INT) return ints[a] < ints[b] ? -1 : (ints[a] > ints[b] ? 1 : 0);
    if (type == SORT_DEC) return decimals[a] < decimals[b] ? -1 : (decimals[a] > decimals[b] ? 1 : 0);
    const std::u16string_view x(text.data() + extents[a].first, extents[a].second);
    const std::u16string_view y(text.data() + extents[b].first, extents[b].second);
    const int r = x.compare(y);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
  }
};

// The rows' positions after the sort, by their positions before it.
int CompareRank(LPARAM a, LPARAM b, LPARAM ranks) {
  const auto& rank = *reinterpret_cast<const std::vector<int>*>(ranks);
  return rank[static_cast<size_t>(a)] - rank[static_cast<size_t>(b)];
}

}  // namespace

CXTSortClass::CXTSortClass(CListCtrl* pListCtrl, const int nCol) : m_pListCtrl(pListCtrl), m_nCol(nCol) {}

CXTSortClass::~CXTSortClass() = default;

void CXTSortClass::Sort(bool bAsc, XTSortType eType) {
  if (m_pListCtrl == nullptr || m_nCol < 0) return;
  const size_t count = static_cast<size_t>(m_pListCtrl->GetItemCount());
  SortKeys keys;
  for (size_t i = 0; i < count; ++i) {
    const std::u16string cell = m_pListCtrl->GetItemText(static_cast<int>(i), m_nCol);
    if (eType == SORT_INT) {
      keys.ints.push_back(ToInt(cell));
    } else if (eType == SORT_DEC) {
      keys.decimals.push_back(ToDecimal(cell));
    } else {
      keys.extents.emplace_back(keys.text.size(), cell.size());
      for (char16_t c : cell) keys.text.push_back(Fold(c));
    }
  }
  std::vector<size_t> order(count);
  std::iota(order.begin(), order.end(), size_t{0});
  // Stable either way: rows that compare equal keep their order.
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const int r = keys.Compare(a, b, eType);
    return bAsc ? r < 0 : r > 0;
  });
  std::vector<int> rank(count);
  for (size_t position = 0; position < count; ++position) rank[order[position]] = static_cast<int>(position);
  m_pListCtrl->SortItemsEx(&CompareRank, reinterpret_cast<DWORD_PTR>(&rank));
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
