#include "terminal/HostWindows.h"

#include <cstdlib>

#include "terminal/CellBuffer.h"

namespace termui {

namespace {

constexpr UINT kTreeId = 1001;
constexpr UINT kListId = 1002;

}  // namespace

HostWindows::HostWindows() = default;

HostWindows::~HostWindows() { Destroy(); }

namespace {

std::string Reason(CDARU* daru) {
  const std::u16string reason = daru ? daru->GetLastDBError() : u"";
  return reason.empty() ? "the catalogue cannot be opened" : ToUtf8(reason);
}

}  // namespace

bool HostWindows::Create(CHostWnd::Handler frameHandler, CDB* store, std::string* error) {
  m_frame = std::make_unique<CHostWnd>();
  // The host answers the library's messages; everything else gets the frame's
  // own processing (reflection of the children's notifications among it),
  // which the frame gives after the handler: once, or a right click would
  // open its menu twice.
  m_frame->SetHandler([frameHandler](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (frameHandler && message >= WM_USER && message < WM_REFLECT_BASE) return frameHandler(message, wParam, lParam);
    return 0;
  });
  if (!m_frame->CreateHost(u"daru", CRect(0, 0, 2000, 1000))) {
    if (error) *error = "cannot create the host window";
    Destroy();
    return false;
  }
  m_facade = true;
  if (store != nullptr) {
    CDARU* daru = CDARU::Instance();
    if (daru == nullptr || !daru->Init(store)) {
      if (daru == nullptr) delete store;
      if (error) *error = Reason(daru);
      Destroy();
      return false;
    }
  }
  m_tree = std::make_unique<CDARUTreeCtrl>();
  const DWORD treeStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                          TVS_EDITLABELS | TVS_SHOWSELALWAYS;
  if (!m_tree->Create(treeStyle, CRect(0, 0, 200, 400), m_frame.get(), kTreeId)) {
    if (error) *error = "cannot create the label tree";
    Destroy();
    return false;
  }
  // The tree's creation opened the catalogue; asking again only tells whether that worked.
  CDARU* daru = CDARU::Instance();
  if (daru == nullptr || !daru->Init()) {
    if (error) *error = Reason(daru);
    Destroy();
    return false;
  }
  m_list = std::make_unique<CDARUListCtrl>();
  const DWORD listStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDRAWFIXED;
  if (!m_list->Create(listStyle, CRect(1000, 0, 1880, 400), m_frame.get(), kListId)) {
    if (error) *error = "cannot create the article list";
    Destroy();
    return false;
  }
  m_tree->SetListCtrl(m_list.get());
  m_tree->SetMainFrameHwnd(m_frame->GetSafeHwnd());
  m_list->SetTreeCtrl(m_tree.get());
  m_list->SetMsgHwnd(m_frame->GetSafeHwnd());
  return true;
}

void HostWindows::Destroy() {
  if (m_tree && m_tree->GetSafeHwnd()) m_tree->DestroyWindow();
  if (m_list && m_list->GetSafeHwnd()) m_list->DestroyWindow();
  m_tree.reset();
  m_list.reset();
  if (m_frame && m_frame->GetSafeHwnd()) m_frame->DestroyWindow();
  m_frame.reset();
  if (m_facade) {
    m_facade = false;
    delete CDARU::Instance();
  }
}

uint16_t HostWindows::RowStyle(int row) const {
  if (!m_list) return kPlain;
  uint16_t style = kPlain;
  if (m_list->GetItemBold(row)) style |= kBold;
  if (m_list->GetItemRed(row)) style |= kRed;
  return style;
}

int HostWindows::SortArrow(int column) const {
  // The arrow the header shows: column + 1, negative when descending.
  if (!m_list || !m_list->IsSortIndicatorOn()) return 0;
  const int indicator = m_list->GetSortIndicator();
  if (indicator == 0 || std::abs(indicator) - 1 != column) return 0;
  return indicator > 0 ? 1 : -1;
}

}  // namespace termui
