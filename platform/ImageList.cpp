#include "platform/ImageList.h"

#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/DC.h"
#include "platform/Gdi.h"
#include "platform/Wnd.h"

IMPLEMENT_DYNAMIC(CImageList, CObject)

namespace {

struct Image {
  std::vector<COLORREF> pixels;  // CLR_NONE where transparent
};

struct ListData {
  int cx = 0;
  int cy = 0;
  UINT flags = 0;
  std::vector<Image> images;
  CImageList* owner = nullptr;         // not owned; the object holding the handle
  std::unique_ptr<CImageList> shared;  // owned; the non-owning wrapper FromHandle hands out
};

struct Lists {
  std::unordered_map<uintptr_t, ListData> lists;
  uintptr_t next = 1;
  int failCreates = 0;
  CDragImageState drag;
};

Lists& TheLists() {
  static Lists* lists = new Lists;
  return *lists;
}

ListData* Find(HIMAGELIST h) {
  if (h == nullptr) return nullptr;
  auto it = TheLists().lists.find(reinterpret_cast<uintptr_t>(h));
  return it == TheLists().lists.end() ? nullptr : &it->second;
}

int AddPixels(ListData& list, const CBitmapPixels& bmp, COLORREF mask, const CBitmapPixels* maskBmp) {
  const int count = bmp.width / list.cx;
  if (count <= 0) return -1;
  const int first = static_cast<int>(list.images.size());
  const bool masked = (list.flags & ILC_MASK) != 0;
  for (int i = 0; i < count; ++i) {
    Image img;
    img.pixels.resize(static_cast<size_t>(list.cx) * static_cast<size_t>(list.cy), CLR_NONE);
    for (int y = 0; y < list.cy && y < bmp.height; ++y) {
      for (int x = 0; x < list.cx; ++x) {
        const size_t src =
            static_cast<size_t>(y) * static_cast<size_t>(bmp.width) + static_cast<size_t>(i * list.cx + x);
        COLORREF c = bmp.pixels[src];
        bool transparent = false;
        if (masked && maskBmp != nullptr) {
          transparent = src < maskBmp->pixels.size() && maskBmp->pixels[src] != RGB(0, 0, 0);
        } else if (masked) {
          transparent = (c & 0xFFFFFF) == (mask & 0xFFFFFF);
        }
        img.pixels[static_cast<size_t>(y) * static_cast<size_t>(list.cx) + static_cast<size_t>(x)] =
            transparent ? CLR_NONE : c;
      }
    }
    list.images.push_back(std::move(img));
  }
  return first;
}

}  // namespace

HIMAGELIST daru::ImageList_Create(int cx, int cy, UINT flags, int, int) {
  Lists& l = TheLists();
  if (l.failCreates > 0) {
    --l.failCreates;
    return nullptr;
  }
  if (cx <= 0 || cy <= 0) return nullptr;
  const uintptr_t key = (l.next++) << 4;
  ListData data;
  data.cx = cx;
  data.cy = cy;
  data.flags = flags;
  l.lists.emplace(key, std::move(data));
  return reinterpret_cast<HIMAGELIST>(key);
}

BOOL daru::ImageList_Destroy(HIMAGELIST himl) {
  ListData* d = Find(himl);
  if (d == nullptr) return FALSE;
  if (d->owner != nullptr) d->owner->m_hImageList = nullptr;
  if (d->shared) d->shared->m_hImageList = nullptr;
  if (TheLists().drag.imageList == himl) TheLists().drag = CDragImageState();
  TheLists().lists.erase(reinterpret_cast<uintptr_t>(himl));
  return TRUE;
}

int daru::ImageList_GetImageCount(HIMAGELIST himl) {
  ListData* d = Find(himl);
  return d ? static_cast<int>(d->images.size()) : 0;
}

BOOL daru::ImageList_GetIconSize(HIMAGELIST himl, int* cx, int* cy) {
  ListData* d = Find(himl);
  if (d == nullptr) return FALSE;
  if (cx) *cx = d->cx;
  if (cy) *cy = d->cy;
  return TRUE;
}

int daru::ImageList_AddMasked(HIMAGELIST himl, HBITMAP hbmImage, COLORREF crMask) {
  ListData* d = Find(himl);
  const CBitmapPixels* px = DaruGetBitmapPixels(hbmImage);
  if (d == nullptr || px == nullptr) return -1;
  return AddPixels(*d, *px, crMask, nullptr);
}

BOOL daru::ImageList_Draw(HIMAGELIST himl, int i, HDC hdcDst, int x, int y, UINT fStyle) {
  ListData* d = Find(himl);
  CDC* dc = CDC::FromHandle(hdcDst);
  if (d == nullptr || dc == nullptr || i < 0 || i >= static_cast<int>(d->images.size())) return FALSE;
  dc->RecordImage(himl, i, POINT{x, y}, SIZE{d->cx, d->cy}, fStyle);
  return TRUE;
}

BOOL daru::ImageList_BeginDrag(HIMAGELIST himlTrack, int iTrack, int dxHotspot, int dyHotspot) {
  ListData* d = Find(himlTrack);
  if (d == nullptr || iTrack < 0 || iTrack >= static_cast<int>(d->images.size())) return FALSE;
  CDragImageState& s = TheLists().drag;
  s = CDragImageState();
  s.dragging = true;
  s.imageList = himlTrack;
  s.image = iTrack;
  s.hotSpot = POINT{dxHotspot, dyHotspot};
  return TRUE;
}

BOOL daru::ImageList_DragEnter(HWND hwndLock, int x, int y) {
  CDragImageState& s = TheLists().drag;
  if (!s.dragging) return FALSE;
  s.lockWnd = hwndLock;
  s.visible = true;
  s.pos = POINT{x, y};
  return TRUE;
}

BOOL daru::ImageList_DragMove(int x, int y) {
  CDragImageState& s = TheLists().drag;
  if (!s.dragging) return FALSE;
  s.pos = POINT{x, y};
  ++s.moves;
  return TRUE;
}

BOOL daru::ImageList_DragShowNolock(BOOL fShow) {
  CDragImageState& s = TheLists().drag;
  if (!s.dragging) return FALSE;
  s.visible = fShow != FALSE;
  return TRUE;
}

BOOL daru::ImageList_DragLeave(HWND hwndLock) {
  CDragImageState& s = TheLists().drag;
  if (s.lockWnd != hwndLock && hwndLock != nullptr) return FALSE;
  s.lockWnd = nullptr;
  s.visible = false;
  return TRUE;
}

void daru::ImageList_EndDrag() { TheLists().drag = CDragImageState(); }

CDragImageState DaruGetDragImageState() { return TheLists().drag; }

void DaruFailImageListCreate(int count) { TheLists().failCreates = count; }

void DaruResetImageListState() {
  TheLists().drag = CDragImageState();
  TheLists().failCreates = 0;
}

int DaruImageListCount() { return static_cast<int>(TheLists().lists.size()); }

// ---- CImageList ----

CImageList::CImageList() : m_hImageList(nullptr) {}

CImageList::~CImageList() {
  ListData* d = Find(m_hImageList);
  if (d != nullptr && d->shared.get() == this) {
    m_hImageList = nullptr;  // a shared wrapper never destroys what it shows
    return;
  }
  DeleteImageList();
}

BOOL CImageList::Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow) {
  if (m_hImageList != nullptr) return FALSE;
  HIMAGELIST h = ImageList_Create(cx, cy, nFlags, nInitial, nGrow);
  if (h == nullptr) return FALSE;
  return Attach(h);
}

BOOL CImageList::DeleteImageList() {
  if (m_hImageList == nullptr) return FALSE;
  return ImageList_Destroy(m_hImageList);
}

BOOL CImageList::Attach(HIMAGELIST hImageList) {
  ListData* d = Find(hImageList);
  if (d == nullptr || m_hImageList != nullptr) return FALSE;
  m_hImageList = hImageList;
  if (d->owner == nullptr) d->owner = this;
  return TRUE;
}

HIMAGELIST CImageList::Detach() {
  HIMAGELIST h = m_hImageList;
  if (ListData* d = Find(h); d != nullptr && d->owner == this) d->owner = nullptr;
  m_hImageList = nullptr;
  return h;
}

CImageList* CImageList::FromHandle(HIMAGELIST hImageList) {
  ListData* d = Find(hImageList);
  if (d == nullptr) return nullptr;
  if (d->owner != nullptr) return d->owner;
  if (!d->shared) {
    d->shared = std::make_unique<CImageList>();
    d->shared->m_hImageList = hImageList;
  }
  return d->shared.get();
}

int CImageList::Add(CBitmap* pbmImage, COLORREF crMask) {
  if (pbmImage == nullptr) return -1;
  return ImageList_AddMasked(m_hImageList, pbmImage->m_hObject, crMask);
}

int CImageList::Add(CBitmap* pbmImage, CBitmap* pbmMask) {
  ListData* d = Find(m_hImageList);
  const CBitmapPixels* px = pbmImage ? DaruGetBitmapPixels(pbmImage->m_hObject) : nullptr;
  if (d == nullptr || px == nullptr) return -1;
  const CBitmapPixels* mask = pbmMask ? DaruGetBitmapPixels(pbmMask->m_hObject) : nullptr;
  return AddPixels(*d, *px, CLR_NONE, mask);
}

int CImageList::GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }

CSize CImageList::GetImageSize() const {
  ListData* d = Find(m_hImageList);
  return d ? CSize(d->cx, d->cy) : CSize();
}

UINT CImageList::GetFlags() const {
  ListData* d = Find(m_hImageList);
  return d ? d->flags : 0;
}

BOOL CImageList::Remove(int nImage) {
  ListData* d = Find(m_hImageList);
  if (d == nullptr) return FALSE;
  if (nImage == -1) {
    d->images.clear();
    return TRUE;
  }
  if (nImage < 0 || nImage >= static_cast<int>(d->images.size())) return FALSE;
  d->images.erase(d->images.begin() + nImage);
  return TRUE;
}

BOOL CImageList::Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle) {
  if (pDC == nullptr) return FALSE;
  return ImageList_Draw(m_hImageList, nImage, pDC->m_hDC, pt.x, pt.y, nStyle);
}

COLORREF CImageList::GetImagePixel(int nImage, int x, int y) const {
  ListData* d = Find(m_hImageList);
  if (d == nullptr || nImage < 0 || nImage >= static_cast<int>(d->images.size()) || x < 0 || y < 0 || x >= d->cx ||
      y >= d->cy)
    return CLR_NONE;
  return d->images[static_cast<size_t>(nImage)]
      .pixels[static_cast<size_t>(y) * static_cast<size_t>(d->cx) + static_cast<size_t>(x)];
}

BOOL CImageList::BeginDrag(int nImage, CPoint ptHotSpot) {
  return ImageList_BeginDrag(m_hImageList, nImage, ptHotSpot.x, ptHotSpot.y);
}

BOOL CImageList::DragEnter(CWnd* pWndLock, CPoint point) {
  return ImageList_DragEnter(pWndLock ? pWndLock->m_hWnd : nullptr, point.x, point.y);
}

BOOL CImageList::DragMove(CPoint pt) { return ImageList_DragMove(pt.x, pt.y); }

BOOL CImageList::DragLeave(CWnd* pWndLock) { return ImageList_DragLeave(pWndLock ? pWndLock->m_hWnd : nullptr); }

void CImageList::EndDrag() { ImageList_EndDrag(); }

BOOL CImageList::DragShowNolock(BOOL bShow) { return ImageList_DragShowNolock(bShow); }
