#pragma once

#include <functional>
#include <vector>

#include "terminal/CellBuffer.h"
#include "terminal/Platform.h"

// Tree and list controls shown in terminal cells, drawn from the controls'
// own state, and the way back: which point of a control's client area (in
// its pixels) a person's click on a cell means, so that the click reaches
// the control as the mouse message it would get on the desktop.
//
// A control is sized so that one of its rows is one terminal line: the
// control scrolls itself, and the lines shown are its rows from its own top.

namespace termui {

// Where a click goes: the window and a point in its client area.
struct ClickTarget {
  HWND hwnd = nullptr;
  CPoint pt{0, 0};
};

// ---- Tree ----

// Gives the tree the pixel size of the area: its rows are the area's lines.
void FitTree(CTreeCtrl& tree, const Rect& area, CPoint origin = CPoint(0, 0));
// note: text drawn dim after an item's label (the host's counts); null for none.
void DrawTree(CellBuffer& out, const Rect& area, const CTreeCtrl& tree, bool focused,
              const std::function<std::u32string(HTREEITEM)>& note = {});
// The item shown on a line of the area, or null.
HTREEITEM TreeItemAtLine(const CTreeCtrl& tree, int line);
// The line of the area an item is shown on; -1 when it is scrolled or collapsed away.
int TreeLineOf(const CTreeCtrl& tree, HTREEITEM item);
// The point a click on the cell means: the item's expand mark, check box or
// label as drawn, the space right of the label, or below the last item.
ClickTarget TreeClick(const CTreeCtrl& tree, const Rect& area, int x, int y);
// The column of the area where the item's label text starts.
int TreeLabelCell(const CTreeCtrl& tree, HTREEITEM item);
// A point on the item's label (for keyboard-made mouse actions).
CPoint TreeLabelPoint(const CTreeCtrl& tree, HTREEITEM item);

// ---- List ----

struct ListStyleHooks {
  // Extra styles of a row (bold unread, red important); null: none.
  std::function<uint16_t(int row)> rowStyle;
  // Sort arrow of a column: 1 up, -1 down, 0 none; null: the header's own format flags.
  std::function<int(int column)> sortArrow;
};

struct ListColumn {
  int index = 0;             // the column (sub-item)
  int cellX = 0, cellW = 0;  // within the area
  int pxLeft = 0, pxWidth = 0;
};

// Columns in display order, scaled to the area's width.
std::vector<ListColumn> ListColumns(const CListCtrl& list, const Rect& area);
void FitList(CListCtrl& list, const Rect& area, CPoint origin = CPoint(0, 0));
void DrawList(CellBuffer& out, const Rect& area, const CListCtrl& list, bool focused, const ListStyleHooks& hooks = {});
// The click on the cell: the header (the header control's client point) or a row.
ClickTarget ListClick(const CListCtrl& list, const Rect& area, int x, int y);
// The click on a column's header item (by column index); no window when it is not shown.
ClickTarget ListHeaderClick(const CListCtrl& list, const Rect& area, int column);
// A point inside a row's label, or (-1, -1) when the row is not on the page.
CPoint ListRowPoint(const CListCtrl& list, int row);

}  // namespace termui
