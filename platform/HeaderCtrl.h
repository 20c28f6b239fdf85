#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/CommCtrl.h"
#include "platform/Wnd.h"

class CImageList;

// The header control of a report list. Items stand side by side in display
// order from x 0, each as wide as its width. A press and release on one item
// sends HDN_ITEMCLICK (iButton 0) to the parent. Pressing within 3 pixels of
// an item's right edge grabs the divider instead: moves send HDN_TRACK and
// releasing sends HDN_ENDTRACK, then the width changes with
// HDN_ITEMCHANGING / HDN_ITEMCHANGED. A right click sends NM_RCLICK.
class DARU_API CHeaderCtrl : public CWnd {
  DECLARE_DYNAMIC(CHeaderCtrl)
 public:
  CHeaderCtrl();
  ~CHeaderCtrl() override;
  BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

  int GetItemCount() const;
  int InsertItem(int nPos, HDITEM* phdi);
  BOOL DeleteItem(int nPos);
  BOOL GetItem(int nPos, HDITEM* pHeaderItem) const;
  // Sends HDN_ITEMCHANGING (non-zero refuses) and HDN_ITEMCHANGED.
  BOOL SetItem(int nPos, HDITEM* pHeaderItem);
  BOOL GetItemRect(int nIndex, LPRECT lpRect) const;
  // The image list is borrowed; returns the previous one.
  CImageList* SetImageList(CImageList* pImageList);
  CImageList* GetImageList() const;
  BOOL GetOrderArray(int* piArray, int iCount) const;
  BOOL SetOrderArray(int iCount, const int* piArray);
  int OrderToIndex(int nOrder) const;
  int HitTest(LPHDHITTESTINFO pInfo) const;

  std::u16string GetItemText(int nPos) const;
  int GetItemWidth(int nPos) const;
  int GetItemFormat(int nPos) const;
  int GetItemImage(int nPos) const;

  void DescribeContent(std::vector<std::u16string>& lines) const override;

 protected:
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void AdoptStateFrom(CWnd& other) override;

 private:
  struct Impl;
  void Notify(UINT code, int item, int button, HDITEM* pitem);
  void Paint();
  std::unique_ptr<Impl> m_impl;  // owned; the items and the tracking state
};
