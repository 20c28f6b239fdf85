#include "terminal/ControlView.h"

#include <algorithm>

#include "terminal/TextCells.h"

namespace termui {

namespace {

// Cells of a tree line before the label: two per level, the expand mark and a space.
int TreeMarkColumn(const CTreeCtrl& tree, HTREEITEM item) {
  int level = tree.GetItemLevel(item);
  if (tree.GetStyle() & TVS_LINESATROOT) ++level;
  return level * 2;
}

bool HasStateIcon(const CTreeCtrl& tree, HTREEITEM item) {
  return ((tree.GetItemState(item, TVIS_STATEIMAGEMASK) & TVIS_STATEIMAGEMASK) >> 12) != 0;
}

int TreeLabelColumn(const CTreeCtrl& tree, HTREEITEM item) {
  return TreeMarkColumn(tree, item) + 2 + (HasStateIcon(tree, item) ? 4 : 0);
}

// The first x in the row whose hit test gives the flag; -1 when there is none.
int FindHitX(const CTreeCtrl& tree, int y, UINT flag, int limit) {
  for (int x = 0; x < limit; x += 1) {
    UINT flags = 0;
    if (tree.HitTest(CPoint(x, y), &flags) != nullptr && (flags & flag)) return x;
  }
  return -1;
}

int RowHeight(const CTreeCtrl& tree) { return std::max<int>(1, tree.GetItemHeight()); }

}  // namespace

void FitTree(CTreeCtrl& tree, const Rect& area, CPoint origin) {
  const int width = std::max(1, area.w) * 8;
  const int height = std::max(1, area.h) * RowHeight(tree);
  CRect now;
  tree.GetWindowRect(&now);
  if (CWnd* parent = tree.GetParent()) parent->ScreenToClient(&now);
  if (now.Width() != width || now.Height() != height || now.left != origin.x || now.top != origin.y)
    tree.MoveWindow(origin.x, origin.y, width, height, FALSE);
}

HTREEITEM TreeItemAtLine(const CTreeCtrl& tree, int line) {
  HTREEITEM item = tree.GetFirstVisibleItem();
  for (int i = 0; item != nullptr && i < line; ++i) item = tree.GetNextVisibleItem(item);
  return item;
}

int TreeLineOf(const CTreeCtrl& tree, HTREEITEM item) {
  CRect r;
  if (item == nullptr || !tree.GetItemRect(item, &r, FALSE)) return -1;
  return r.top >= 0 ? r.top / RowHeight(tree) : -1;
}

void DrawTree(CellBuffer& out, const Rect& area, const CTreeCtrl& tree, bool focused,
              const std::function<std::u32string(HTREEITEM)>& note) {
  out.SetClip(area);
  out.Fill(area, U' ', kPlain);
  const HTREEITEM caret = tree.GetSelectedItem();
  HTREEITEM item = tree.GetFirstVisibleItem();
  for (int line = 0; item != nullptr && line < area.h; ++line, item = tree.GetNextVisibleItem(item)) {
    const int y = area.y + line;
    const UINT state = tree.GetItemState(item, TVIS_EXPANDED | TVIS_BOLD | TVIS_DROPHILITED | TVIS_STATEIMAGEMASK);
    int x = area.x + TreeMarkColumn(tree, item);
    if (tree.ItemHasChildren(item)) out.Text(x, y, (state & TVIS_EXPANDED) ? "-" : "+", kDim);
    x += 2;
    if (HasStateIcon(tree, item)) {
      out.Text(x, y, tree.GetCheck(item) == 1 ? "[x]" : "[ ]");
      x += 4;
    }
    uint16_t style = (state & TVIS_BOLD) ? kBold : kPlain;
    const std::u16string text = tree.GetItemText(item);
    const int w = std::max(1, DisplayWidth(text));
    out.Text(x, y, text, style);
    if (note) out.Text(x + w, y, note(item), kDim);
    if (state & TVIS_DROPHILITED) {
      out.AddStyle(Rect{x, y, w, 1}, kReverse);
    } else if (item == caret) {
      out.AddStyle(Rect{x, y, w, 1}, focused ? kReverse : kUnderline);
    }
  }
  out.ResetClip();
}

int TreeLabelCell(const CTreeCtrl& tree, HTREEITEM item) { return TreeLabelColumn(tree, item); }

CPoint TreeLabelPoint(const CTreeCtrl& tree, HTREEITEM item) {
  CRect r;
  if (item == nullptr || !tree.GetItemRect(item, &r, TRUE)) return CPoint(-1, -1);
  return CPoint(r.left + 2, (r.top + r.bottom) / 2);
}

ClickTarget TreeClick(const CTreeCtrl& tree, const Rect& area, int x, int y) {
  ClickTarget t;
  t.hwnd = tree.GetSafeHwnd();
  const int h = RowHeight(tree);
  const int line = y - area.y;
  const int py = line * h + h / 2;
  HTREEITEM item = TreeItemAtLine(tree, line);
  CRect client;
  tree.GetClientRect(&client);
  if (item == nullptr) {
    t.pt = CPoint(std::min(40, std::max(0, client.Width() - 1)), py);
    return t;
  }
  CRect label;
  tree.GetItemRect(item, &label, TRUE);
  const int col = x - area.x;
  const int mark = TreeMarkColumn(tree, item);
  const int labelCol = TreeLabelColumn(tree, item);
  const int labelCells = std::max(1, DisplayWidth(tree.GetItemText(item)));
  if (col >= labelCol && col < labelCol + labelCells) {
    t.pt = CPoint(label.left + 2, py);
  } else if (col >= labelCol + labelCells) {
    t.pt = CPoint(std::min(label.right + 4, std::max<int>(label.right, client.Width() - 1)), py);
  } else if (HasStateIcon(tree, item) && col >= mark + 2) {
    const int sx = FindHitX(tree, py, TVHT_ONITEMSTATEICON, label.left);
    t.pt = CPoint(sx >= 0 ? sx + 2 : label.left + 2, py);
  } else if (col >= mark && tree.ItemHasChildren(item)) {
    const int bx = FindHitX(tree, py, TVHT_ONITEMBUTTON, label.left);
    t.pt = CPoint(bx >= 0 ? bx + 2 : label.left + 2, py);
  } else {
    // The indent: a click beside the item, as far left as the row goes.
    t.pt = CPoint(0, py);
  }
  return t;
}

// ---- List ----

std::vector<ListColumn> ListColumns(const CListCtrl& list, const Rect& area) {
  std::vector<ListColumn> cols;
  const int n = list.GetColumnCount();
  if (n <= 0) return cols;
  std::vector<int> order(static_cast<size_t>(n));
  if (!list.GetColumnOrderArray(order.data(), n))
    for (int i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
  int total = 0;
  for (int i : order) total += std::max(0, list.GetColumnWidth(i));
  if (total <= 0) total = 1;
  // First the columns' share of the width by their pixel widths.
  std::vector<int> share(static_cast<size_t>(n)), need(static_cast<size_t>(n), 0);
  int px = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    const int w = std::max(0, list.GetColumnWidth(order[k]));
    share[k] = static_cast<int>(static_cast<long long>(px + w) * area.w / total) -
               static_cast<int>(static_cast<long long>(px) * area.w / total);
    px += w;
  }
  // Then what the rows on the page need: a column with room to spare lends it
  // to one whose texts would be cut (a date fits whole beside a long title).
  CHeaderCtrl* header = list.GetHeaderCtrl();
  const int top = list.GetTopIndex();
  const int last = std::min(list.GetItemCount(), top + std::max(0, area.h - 1));
  for (size_t k = 0; k < order.size(); ++k) {
    int widest = header ? DisplayWidth(header->GetItemText(order[k])) + 2 : 0;
    for (int row = top; row < last; ++row)
      widest = std::max(widest, DisplayWidth(list.GetItemText(row, order[k])) + (order[k] == 0 ? 2 : 0));
    need[k] = widest + 1;
  }
  int spare = 0;
  for (size_t k = 0; k < share.size(); ++k)
    if (need[k] < share[k]) {
      spare += share[k] - need[k];
      share[k] = need[k];
    }
  // The smallest shortfall first: a few cells make a date whole, a long title stays cut anyway.
  std::vector<size_t> byShortfall;
  for (size_t k = 0; k < share.size(); ++k)
    if (need[k] > share[k]) byShortfall.push_back(k);
  std::stable_sort(byShortfall.begin(), byShortfall.end(),
                   [&](size_t a, size_t b) { return need[a] - share[a] < need[b] - share[b]; });
  for (size_t k : byShortfall) {
    const int give = std::min(spare, need[k] - share[k]);
    share[k] += give;
    spare -= give;
  }
  share.front() += spare;  // what nobody needs goes to the first column, the titles
  px = 0;
  int x = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    ListColumn c;
    c.index = order[k];
    c.pxLeft = px;
    c.pxWidth = std::max(0, list.GetColumnWidth(order[k]));
    c.cellX = x;
    c.cellW = share[k];
    px += c.pxWidth;
    x += c.cellW;
    cols.push_back(c);
  }
  return cols;
}

void FitList(CListCtrl& list, const Rect& area, CPoint origin) {
  int total = 0;
  for (int i = 0; i < list.GetColumnCount(); ++i) total += std::max(0, list.GetColumnWidth(i));
  const int width = std::max(total, 8);
  const int height = list.GetHeaderHeight() + std::max(0, area.h - 1) * std::max(1, list.GetRowHeight());
  CRect now;
  list.GetWindowRect(&now);
  if (CWnd* parent = list.GetParent()) parent->ScreenToClient(&now);
  if (now.Width() != width || now.Height() != height || now.left != origin.x || now.top != origin.y)
    list.MoveWindow(origin.x, origin.y, width, height, FALSE);
}

void DrawList(CellBuffer& out, const Rect& area, const CListCtrl& list, bool focused, const ListStyleHooks& hooks) {
  out.SetClip(area);
  out.Fill(area, U' ', kPlain);
  const auto cols = ListColumns(list, area);
  CHeaderCtrl* header = list.GetHeaderCtrl();
  out.Fill(Rect{area.x, area.y, area.w, 1}, U' ', kAccent);
  for (const ListColumn& c : cols) {
    if (c.cellW <= 0) continue;
    std::u16string title = header ? header->GetItemText(c.index) : u"";
    int arrow = 0;
    if (hooks.sortArrow) {
      arrow = hooks.sortArrow(c.index);
    } else if (header != nullptr) {
      const int fmt = header->GetItemFormat(c.index);
      arrow = (fmt & HDF_SORTUP) ? 1 : (fmt & HDF_SORTDOWN) ? -1 : 0;
    }
    // A narrow column shortens its title, never its sort arrow.
    const std::u32string mark = arrow > 0 ? U" ^" : arrow < 0 ? U" v" : U"";
    const std::u32string text = FitWidth(ToCodePoints(title), c.cellW - 1 - DisplayWidth(mark), true) + mark;
    out.Text(area.x + c.cellX, area.y, text, kAccent | kBold, c.cellW - 1);
    if (c.cellX > 0) out.Text(area.x + c.cellX - 1, area.y, "│", kAccent);
  }
  const int top = list.GetTopIndex();
  const int count = list.GetItemCount();
  for (int line = 1; line < area.h; ++line) {
    const int row = top + line - 1;
    if (row >= count) break;
    const int y = area.y + line;
    const uint16_t style = hooks.rowStyle ? hooks.rowStyle(row) : static_cast<uint16_t>(kPlain);
    for (const ListColumn& c : cols) {
      if (c.cellW <= 0) continue;
      std::u32string text;
      if (c.index == 0) {
        const int image = list.GetItemImage(row);
        text = image == 1 ? U"* " : U"  ";
      }
      text += ToCodePoints(list.GetItemText(row, c.index));
      out.Text(area.x + c.cellX, y, FitWidth(text, c.cellW - 1, true), style);
    }
    if (list.GetItemState(row, LVIS_SELECTED)) {
      out.AddStyle(Rect{area.x, y, area.w, 1}, focused ? kReverse : kUnderline);
    }
  }
  out.ResetClip();
}

CPoint ListRowPoint(const CListCtrl& list, int row) {
  const int top = list.GetTopIndex();
  if (row < top || row >= list.GetItemCount() || row >= top + std::max(1, list.GetCountPerPage()))
    return CPoint(-1, -1);
  CRect r;
  if (!list.GetItemRect(row, &r, LVIR_LABEL)) return CPoint(-1, -1);
  return CPoint(r.left + 4, (r.top + r.bottom) / 2);
}

ClickTarget ListHeaderClick(const CListCtrl& list, const Rect& area, int column) {
  for (const ListColumn& c : ListColumns(list, area))
    if (c.index == column && c.cellW > 0) return ListClick(list, area, area.x + c.cellX, area.y);
  return ClickTarget{};
}

ClickTarget ListClick(const CListCtrl& list, const Rect& area, int x, int y) {
  ClickTarget t;
  const auto cols = ListColumns(list, area);
  const int col = x - area.x;
  const ListColumn* hit = nullptr;
  for (const ListColumn& c : cols)
    if (col >= c.cellX && col < c.cellX + c.cellW) hit = &c;
  if (y == area.y) {
    // The header: the middle of the column, well away from its dividers.
    CHeaderCtrl* header = list.GetHeaderCtrl();
    t.hwnd = header ? header->GetSafeHwnd() : nullptr;
    t.pt = CPoint(hit ? hit->pxLeft + hit->pxWidth / 2 : 0, list.GetHeaderHeight() / 2);
    return t;
  }
  t.hwnd = list.GetSafeHwnd();
  const int h = std::max(1, list.GetRowHeight());
  const int py = list.GetHeaderHeight() + (y - area.y - 1) * h + h / 2;
  int px = 0;
  if (hit != nullptr && hit->cellW > 0) {
    px = hit->pxLeft + (col - hit->cellX) * hit->pxWidth / hit->cellW;
    px = std::clamp(px, hit->pxLeft + 1, std::max(hit->pxLeft + 1, hit->pxLeft + hit->pxWidth - 2));
    if (hit->index == 0) {
      // Column 0: the envelope mark is the row's icon, the text its label.
      const int row = list.GetTopIndex() + (y - area.y - 1);
      CRect icon, label;
      if (row < list.GetItemCount() && list.GetItemRect(row, &icon, LVIR_ICON) &&
          list.GetItemRect(row, &label, LVIR_LABEL)) {
        px = (col - hit->cellX) < 2 ? (icon.left + icon.right) / 2 : std::max(px, static_cast<int>(label.left) + 2);
      }
    }
  }
  t.pt = CPoint(px, py);
  return t;
}

}  // namespace termui
