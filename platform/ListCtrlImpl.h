#pragma once

// The list control's own data, shared by its source files (state, geometry,
// input, painting). Not part of the platform's interface.

#include <memory>
#include <string>
#include <vector>

#include "platform/Gdi.h"
#include "platform/HeaderCtrl.h"
#include "platform/ImageList.h"
#include "platform/ListCtrl.h"
#include "platform/ListRowStore.h"

namespace listctrl {

constexpr int kMargin = 2;
constexpr int kStateIcon = 16;
constexpr int kDragDistance = 4;
constexpr int kLineScroll = 8;

struct Column {
  int fmt = LVCFMT_LEFT;
  int subItem = 0;
};

}  // namespace listctrl

struct CListCtrl::Impl {
  // Rows are put in and taken out at the front as cheaply as at the end,
  // which is where a list of newest-first articles grows.
  listctrl::RowStore rows;
  std::vector<listctrl::Column> columns;  // parallel to the header items
  std::unique_ptr<CHeaderCtrl> header;    // owned; the header child window
  DWORD exStyle = 0;
  COLORREF bk = GetSysColor(COLOR_WINDOW);
  COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
  COLORREF textBk = CLR_DEFAULT;
  CImageList* normal = nullptr;             // borrowed
  CImageList* small = nullptr;              // borrowed
  CImageList* state = nullptr;              // borrowed, or checkImages
  std::unique_ptr<CImageList> checkImages;  // owned; the check boxes of LVS_EX_CHECKBOXES
  int top = 0;
  int scrollX = 0;
  int mark = -1;
  bool leftDown = false;
  bool dragArmed = false;
  int pressItem = -1;
  int pressSub = 0;
  CPoint pressPoint;
};
