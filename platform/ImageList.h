#pragma once

#include "platform/CommCtrl.h"
#include "platform/RuntimeClass.h"
#include "platform/WinTypes.h"

// Image lists: same-sized images cut from bitmaps, with a transparent mask
// colour, drawn into the recording DC. The drag-image functions keep their
// state (which image, hot spot, lock window, position, shown or hidden) where
// a test can read it.

class CBitmap;
class CDC;
class CWnd;

class DARU_API CImageList : public CObject {
  DECLARE_DYNAMIC(CImageList)
 public:
  CImageList();
  ~CImageList() override;  // destroys the image list it holds
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;

  HIMAGELIST m_hImageList;  // owned; null when empty

  BOOL Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow);
  BOOL DeleteImageList();
  HIMAGELIST GetSafeHandle() const { return m_hImageList; }
  operator HIMAGELIST() const { return m_hImageList; }
  BOOL Attach(HIMAGELIST hImageList);
  HIMAGELIST Detach();
  // The object owning the handle, or a shared non-owning one; null for an unknown handle.
  static CImageList* FromHandle(HIMAGELIST hImageList);

  // Cuts the bitmap into images of the list's width; pixels of crMask become
  // transparent when the list has a mask. Returns the index of the first new image, -1 on failure.
  int Add(CBitmap* pbmImage, COLORREF crMask);
  int Add(CBitmap* pbmImage, CBitmap* pbmMask);
  int GetImageCount() const;
  CSize GetImageSize() const;
  UINT GetFlags() const;
  BOOL Remove(int nImage);
  BOOL Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle);
  // The pixel of an image, or CLR_NONE where it is transparent.
  COLORREF GetImagePixel(int nImage, int x, int y) const;

  BOOL BeginDrag(int nImage, CPoint ptHotSpot);
  static BOOL DragEnter(CWnd* pWndLock, CPoint point);
  static BOOL DragMove(CPoint pt);
  static BOOL DragLeave(CWnd* pWndLock);
  static void EndDrag();
  static BOOL DragShowNolock(BOOL bShow);
};

namespace daru {
DARU_API HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int cInitial, int cGrow);
DARU_API BOOL ImageList_Destroy(HIMAGELIST himl);
DARU_API int ImageList_GetImageCount(HIMAGELIST himl);
DARU_API BOOL ImageList_GetIconSize(HIMAGELIST himl, int* cx, int* cy);
DARU_API int ImageList_AddMasked(HIMAGELIST himl, HBITMAP hbmImage, COLORREF crMask);
DARU_API BOOL ImageList_Draw(HIMAGELIST himl, int i, HDC hdcDst, int x, int y, UINT fStyle);

// Drag images. Positions of DragEnter and DragMove are relative to the lock
// window's upper-left corner.
DARU_API BOOL ImageList_BeginDrag(HIMAGELIST himlTrack, int iTrack, int dxHotspot, int dyHotspot);
DARU_API BOOL ImageList_DragEnter(HWND hwndLock, int x, int y);
DARU_API BOOL ImageList_DragMove(int x, int y);
DARU_API BOOL ImageList_DragShowNolock(BOOL fShow);
DARU_API BOOL ImageList_DragLeave(HWND hwndLock);
DARU_API void ImageList_EndDrag();
}  // namespace daru
using daru::ImageList_AddMasked;
using daru::ImageList_BeginDrag;
using daru::ImageList_Create;
using daru::ImageList_Destroy;
using daru::ImageList_DragEnter;
using daru::ImageList_DragLeave;
using daru::ImageList_DragMove;
using daru::ImageList_DragShowNolock;
using daru::ImageList_Draw;
using daru::ImageList_EndDrag;
using daru::ImageList_GetIconSize;
using daru::ImageList_GetImageCount;

struct DARU_API CDragImageState {
  bool dragging = false;  // between BeginDrag and EndDrag
  HIMAGELIST imageList = nullptr;
  int image = -1;
  POINT hotSpot{0, 0};
  HWND lockWnd = nullptr;  // set by DragEnter, cleared by DragLeave
  bool visible = false;    // shown (DragEnter, DragShowNolock(TRUE)) or hidden
  POINT pos{0, 0};         // last position given to DragEnter or DragMove
  int moves = 0;           // DragMove calls since BeginDrag
};
DARU_API CDragImageState DaruGetDragImageState();

// Tests only: makes the next count image-list creations fail.
void DaruFailImageListCreate(int count);
// Tests only: no drag image and no pending failure.
void DaruResetImageListState();
// How many image lists exist now; tests use it to find leaks.
int DaruImageListCount();  // tests only
