#include "platform/HeaderCtrl.h"

#include <algorithm>
#include <cstdlib>

#include "base/U16Format.h"
#include "platform/DC.h"
#include "platform/Gdi.h"
#include "platform/ImageList.h"

IMPLEMENT_DYNAMIC(CHeaderCtrl, CWnd)

namespace {

constexpr int kDividerZone = 3;

struct Item {
  std::u16string text;
  int width = 0;
  int fmt = HDF_LEFT | HDF_STRING;
  LPARAM lParam = 0;
  int image = 0;
};

}  // namespace

struct CHeaderCtrl::Impl {
  std::vector<Item> items;
  std::vector<int> order;        // display position -> item index
  CImageList* images = nullptr;  // borrowed
  int pressed = -1;
  int tracking = -1;
  int trackStartX = 0;
  int trackStartWidth = 0;
  int trackWidth = 0;
};

CHeaderCtrl::CHeaderCtrl() : m_impl(std::make_unique<Impl>()) {}
CHeaderCtrl::~CHeaderCtrl() { DestroyWindow(); }

BOOL CHeaderCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  return CWnd::Create(WC_HEADER, u"", dwStyle, rect, pParentWnd, nID);
}

void CHeaderCtrl::AdoptStateFrom(CWnd& other) {
  CWnd::AdoptStateFrom(other);
  if (auto* o = dynamic_cast<CHeaderCtrl*>(&other)) std::swap(m_impl, o->m_impl);
}

int CHeaderCtrl::GetItemCount() const { return static_cast<int>(m_impl->items.size()); }

int CHeaderCtrl::InsertItem(int nPos, HDITEM* phdi) {
  if (phdi == nullptr) return -1;
  Impl& m = *m_impl;
  nPos = std::clamp(nPos, 0, GetItemCount());
  Item item;
  if ((phdi->mask & HDI_TEXT) && phdi->pszText != nullptr) item.text = phdi->pszText;
  if (phdi->mask & HDI_WIDTH) item.width = std::max(0, phdi->cxy);
  if (phdi->mask & HDI_FORMAT) item.fmt = phdi->fmt;
  if (phdi->mask & HDI_LPARAM) item.lParam = phdi->lParam;
  if (phdi->mask & HDI_IMAGE) item.image = phdi->iImage;
  m.items.insert(m.items.begin() + nPos, item);
  for (int& index : m.order)
    if (index >= nPos) ++index;
  int orderPos = (phdi->mask & HDI_ORDER) ? std::clamp(phdi->iOrder, 0, static_cast<int>(m.order.size()))
                                          : static_cast<int>(m.order.size());
  m.order.insert(m.order.begin() + orderPos, nPos);
  Invalidate();
  return nPos;
}

BOOL CHeaderCtrl::DeleteItem(int nPos) {
  Impl& m = *m_impl;
  if (nPos < 0 || nPos >= GetItemCount()) return FALSE;
  m.items.erase(m.items.begin() + nPos);
  m.order.erase(std::remove(m.order.begin(), m.order.end(), nPos), m.order.end());
  for (int& index : m.order)
    if (index > nPos) --index;
  Invalidate();
  return TRUE;
}

BOOL CHeaderCtrl::GetItem(int nPos, HDITEM* p) const {
  if (p == nullptr || nPos < 0 || nPos >= GetItemCount()) return FALSE;
  const Item& item = m_impl->items[static_cast<size_t>(nPos)];
  if (p->mask & HDI_TEXT) {
    if (p->pszText != nullptr && p->cchTextMax > 0) {
      const size_t n = std::min(item.text.size(), static_cast<size_t>(p->cchTextMax - 1));
      std::copy_n(item.text.begin(), n, p->pszText);
      p->pszText[n] = 0;
    }
  }
  if (p->mask & HDI_WIDTH) p->cxy = item.width;
  if (p->mask & HDI_FORMAT) p->fmt = item.fmt;
  if (p->mask & HDI_LPARAM) p->lParam = item.lParam;
  if (p->mask & HDI_IMAGE) p->iImage = item.image;
  if (p->mask & HDI_ORDER) {
    auto it = std::find(m_impl->order.begin(), m_impl->order.end(), nPos);
    p->iOrder = static_cast<int>(it - m_impl->order.begin());
  }
  return TRUE;
}

BOOL CHeaderCtrl::SetItem(int nPos, HDITEM* p) {
  if (p == nullptr || nPos < 0 || nPos >= GetItemCount()) return FALSE;
  const HWND self = m_hWnd;
  if (self != nullptr) {
    NMHEADER nm{};
    nm.iItem = nPos;
    nm.pitem = p;
    if (SendNotify(&nm.hdr, HDN_ITEMCHANGING) != 0) return FALSE;
    if (!IsWindow(self) || nPos >= GetItemCount()) return FALSE;
  }
  Item& item = m_impl->items[static_cast<size_t>(nPos)];
  if ((p->mask & HDI_TEXT) && p->pszText != nullptr) item.text = p->pszText;
  if (p->mask & HDI_WIDTH) item.width = std::max(0, p->cxy);
  if (p->mask & HDI_FORMAT) item.fmt = p->fmt;
  if (p->mask & HDI_LPARAM) item.lParam = p->lParam;
  if (p->mask & HDI_IMAGE) item.image = p->iImage;
  if (p->mask & HDI_ORDER) {
    auto& order = m_impl->order;
    order.erase(std::remove(order.begin(), order.end(), nPos), order.end());
    order.insert(order.begin() + std::clamp(p->iOrder, 0, static_cast<int>(order.size())), nPos);
  }
  Invalidate();
  if (self != nullptr) {
    NMHEADER nm{};
    nm.iItem = nPos;
    nm.pitem = p;
    SendNotify(&nm.hdr, HDN_ITEMCHANGED);
  }
  return TRUE;
}

BOOL CHeaderCtrl::GetItemRect(int nIndex, LPRECT lpRect) const {
  if (lpRect == nullptr || nIndex < 0 || nIndex >= GetItemCount()) return FALSE;
  CRect client;
  GetClientRect(&client);
  int x = 0;
  for (int index : m_impl->order) {
    const int w = m_impl->items[static_cast<size_t>(index)].width;
    if (index == nIndex) {
      *lpRect = CRect(x, 0, x + w, client.Height());
      return TRUE;
    }
    x += w;
  }
  return FALSE;
}

CImageList* CHeaderCtrl::SetImageList(CImageList* pImageList) {
  CImageList* old = m_impl->images;
  m_impl->images = pImageList;
  Invalidate();
  return old;
}

CImageList* CHeaderCtrl::GetImageList() const { return m_impl->images; }

BOOL CHeaderCtrl::GetOrderArray(int* piArray, int iCount) const {
  if (piArray == nullptr || iCount != GetItemCount()) return FALSE;
  std::copy(m_impl->order.begin(), m_impl->order.end(), piArray);
  return TRUE;
}

BOOL CHeaderCtrl::SetOrderArray(int iCount, const int* piArray) {
  if (piArray == nullptr || iCount != GetItemCount()) return FALSE;
  std::vector<int> order(piArray, piArray + iCount);
  std::vector<int> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  for (int i = 0; i < iCount; ++i)
    if (sorted[static_cast<size_t>(i)] != i) return FALSE;
  m_impl->order = order;
  Invalidate();
  return TRUE;
}

int CHeaderCtrl::OrderToIndex(int nOrder) const {
  if (nOrder < 0 || nOrder >= GetItemCount()) return -1;
  return m_impl->order[static_cast<size_t>(nOrder)];
}

int CHeaderCtrl::HitTest(LPHDHITTESTINFO p) const {
  if (p == nullptr) return -1;
  CRect client;
  GetClientRect(&client);
  p->flags = 0;
  p->iItem = -1;
  if (p->pt.y < 0) p->flags |= HHT_ABOVE;
  if (p->pt.y >= client.bottom) p->flags |= HHT_BELOW;
  if (p->pt.x < 0) p->flags |= HHT_TOLEFT;
  if (p->pt.x >= client.right) p->flags |= HHT_TORIGHT;
  if (p->flags != 0) return -1;
  int x = 0;
  for (int index : m_impl->order) {
    const int w = m_impl->items[static_cast<size_t>(index)].width;
    if (std::abs(p->pt.x - (x + w)) <= kDividerZone) {
      p->flags = HHT_ONDIVIDER;
      p->iItem = index;
      return index;
    }
    if (p->pt.x >= x && p->pt.x < x + w) {
      p->flags = HHT_ONHEADER;
      p->iItem = index;
      return index;
    }
    x += w;
  }
  p->flags = HHT_NOWHERE;
  return -1;
}

std::u16string CHeaderCtrl::GetItemText(int nPos) const {
  return nPos >= 0 && nPos < GetItemCount() ? m_impl->items[static_cast<size_t>(nPos)].text : std::u16string();
}
int CHeaderCtrl::GetItemWidth(int nPos) const {
  return nPos >= 0 && nPos < GetItemCount() ? m_impl->items[static_cast<size_t>(nPos)].width : 0;
}
int CHeaderCtrl::GetItemFormat(int nPos) const {
  return nPos >= 0 && nPos < GetItemCount() ? m_impl->items[static_cast<size_t>(nPos)].fmt : 0;
}
int CHeaderCtrl::GetItemImage(int nPos) const {
  return nPos >= 0 && nPos < GetItemCount() ? m_impl->items[static_cast<size_t>(nPos)].image : -1;
}

void CHeaderCtrl::Notify(UINT code, int item, int button, HDITEM* pitem) {
  NMHEADER nm{};
  nm.iItem = item;
  nm.iButton = button;
  nm.pitem = pitem;
  SendNotify(&nm.hdr, code);
}

LRESULT CHeaderCtrl::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  Impl& m = *m_impl;
  switch (message) {
    case WM_LBUTTONDOWN: {
      HDHITTESTINFO hit{};
      hit.pt = CPoint(lParam);
      HitTest(&hit);
      m.pressed = -1;
      m.tracking = -1;
      if (hit.flags & HHT_ONDIVIDER) {
        m.tracking = hit.iItem;
        m.trackStartX = hit.pt.x;
        m.trackStartWidth = m.trackWidth = GetItemWidth(hit.iItem);
        HDITEM item{};
        item.mask = HDI_WIDTH;
        item.cxy = m.trackWidth;
        Notify(HDN_BEGINTRACK, hit.iItem, 0, &item);
        SetCapture();
      } else if (hit.flags & HHT_ONHEADER) {
        m.pressed = hit.iItem;
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (m.tracking >= 0) {
        m.trackWidth = std::max(0, m.trackStartWidth + CPoint(lParam).x - m.trackStartX);
        HDITEM item{};
        item.mask = HDI_WIDTH;
        item.cxy = m.trackWidth;
        Notify(HDN_TRACK, m.tracking, 0, &item);
      }
      return 0;
    case WM_LBUTTONUP: {
      if (m.tracking >= 0) {
        const int index = m.tracking;
        m.tracking = -1;
        ReleaseCapture();
        HDITEM item{};
        item.mask = HDI_WIDTH;
        item.cxy = m.trackWidth;
        Notify(HDN_ENDTRACK, index, 0, &item);
        if (index < GetItemCount()) SetItem(index, &item);
        return 0;
      }
      const int pressed = m.pressed;
      m.pressed = -1;
      HDHITTESTINFO hit{};
      hit.pt = CPoint(lParam);
      HitTest(&hit);
      if (pressed >= 0 && hit.iItem == pressed && (hit.flags & HHT_ONHEADER))
        Notify(HDN_ITEMCLICK, pressed, 0, nullptr);
      return 0;
    }
    case WM_RBUTTONUP: {
      NMHDR nm{};
      SendNotify(&nm, NM_RCLICK);
      return 0;
    }
    case WM_PAINT:
      Paint();
      return 0;
    default:
      return CWnd::DefWindowProc(message, wParam, lParam);
  }
}

void CHeaderCtrl::Paint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
  for (int index : m_impl->order) {
    const Item& item = m_impl->items[static_cast<size_t>(index)];
    CRect r;
    GetItemRect(index, &r);
    CRect text = r;
    text.DeflateRect(6, 0);
    const bool image = (item.fmt & HDF_IMAGE) && m_impl->images != nullptr;
    const int imageW = image ? m_impl->images->GetImageSize().cx : 0;
    if (image) {
      const int imageY = r.top + (r.Height() - m_impl->images->GetImageSize().cy) / 2;
      if (item.fmt & HDF_BITMAP_ON_RIGHT) {
        const int textW = std::min(text.Width() - imageW - 4, DaruTextWidth(item.text, dc.CurrentLogFont()));
        m_impl->images->Draw(&dc, item.image, CPoint(text.left + std::max(0, textW) + 4, imageY), ILD_NORMAL);
        text.right -= imageW + 4;
      } else {
        m_impl->images->Draw(&dc, item.image, CPoint(text.left, imageY), ILD_NORMAL);
        text.left += imageW + 4;
      }
    }
    if (item.fmt & HDF_STRING || !(item.fmt & (HDF_IMAGE | HDF_BITMAP))) {
      UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
      if ((item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT) format |= DT_RIGHT;
      if ((item.fmt & HDF_JUSTIFYMASK) == HDF_CENTER) format |= DT_CENTER;
      dc.DrawText(item.text, &text, format);
    }
  }
}

void CHeaderCtrl::DescribeContent(std::vector<std::u16string>& lines) const {
  for (int index : m_impl->order) {
    const Item& item = m_impl->items[static_cast<size_t>(index)];
    std::u16string align = (item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT    ? u"right"
                           : (item.fmt & HDF_JUSTIFYMASK) == HDF_CENTER ? u"center"
                                                                        : u"left";
    std::u16string line = Fmt(u"column %d \"%s\" width %d %s", index, item.text, item.width, align);
    if (item.fmt & HDF_IMAGE)
      line += Fmt(u" image %d%s", item.image, (item.fmt & HDF_BITMAP_ON_RIGHT) ? u" right" : u"");
    if (item.fmt & HDF_SORTUP) line += u" sort-up";
    if (item.fmt & HDF_SORTDOWN) line += u" sort-down";
    lines.push_back(line);
  }
}
