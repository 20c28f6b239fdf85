#pragma once

#include <algorithm>

#include "platform/WinTypes.h"
#include "platform/WinUser.h"

// The first visible line after a WM_VSCROLL request, before the control
// clamps it to its lines: the tree and the list scroll by lines alike.
inline int ScrolledTop(WPARAM request, int top, int page, int last) {
  page = std::max(1, page);
  switch (LOWORD(request)) {
    case SB_LINEUP:
      return top - 1;
    case SB_LINEDOWN:
      return top + 1;
    case SB_PAGEUP:
      return top - page;
    case SB_PAGEDOWN:
      return top + page;
    case SB_TOP:
      return 0;
    case SB_BOTTOM:
      return last;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      return HIWORD(request);
    default:
      return top;
  }
}
