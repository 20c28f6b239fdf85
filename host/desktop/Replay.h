#pragma once

#include <cairo.h>

#include <map>
#include <utility>

#include "platform/Gdi.h"
#include "shared/HostPlatform.h"

// What the windows drew, drawn again with Cairo and Pango: the operations a
// window's device context recorded during its last paint pass, replayed in
// the window's own pixels onto whatever surface the host gives (a GTK drawing
// area, or an image surface in tests). Text gets a font that covers Chinese;
// the platform measured it with fixed metrics, so a text that comes out wider
// than its box is fitted with "..." again by Pango.

namespace desktop {

// The images of the image lists, made into Cairo surfaces once each.
class ImageCache {
 public:
  ImageCache() = default;
  ~ImageCache();
  ImageCache(const ImageCache&) = delete;
  ImageCache& operator=(const ImageCache&) = delete;
  // The image's surface (owned by the cache), or null for an unknown image.
  cairo_surface_t* Get(HIMAGELIST list, int image);
  void Clear();

 private:
  std::map<std::pair<HIMAGELIST, int>, cairo_surface_t*> m_surfaces;  // owned
};

// The font family the host draws every text with.
const char* TextFontFamily();

// How wide the replay draws text in the font, in pixels, never less than
// Pango lays it out: the windows measure with it (DaruSetTextMeasure) while
// the desktop host shows them. Each character's width is measured once.
int MeasureText(std::u16string_view text, const LOGFONT& font);

// While one lives, the windows measure their text with MeasureText.
class ReplayTextMeasure {
 public:
  ReplayTextMeasure() { DaruSetTextMeasure(MeasureText); }
  ~ReplayTextMeasure() { DaruSetTextMeasure(nullptr); }
  ReplayTextMeasure(const ReplayTextMeasure&) = delete;
  ReplayTextMeasure& operator=(const ReplayTextMeasure&) = delete;
};

// Replays one record.
void ReplayRecord(cairo_t* cr, const CDrawingRecord& record, ImageCache& images);

// Paints a window that asked to be painted (a paint pass records its
// drawing afresh), then replays its record and its visible children's, each
// at its place in the window. Returns whether a paint pass ran.
bool PaintAndReplay(cairo_t* cr, CWnd& window, ImageCache& images);

// What a tree control shows beside its items and does not record: the dotted
// lines joining the items, the expand buttons and the check boxes.
void DrawTreeLines(cairo_t* cr, const CTreeCtrl& tree);

// The item shown after this one, from its own links: the tree's own next
// visible item walks every shown item from the top each time, so a page of
// rows would cost the whole tree once per row.
HTREEITEM NextShown(const CTreeCtrl& tree, HTREEITEM item);

// The drag image a drag has locked onto this window, drawn at its place.
void DrawDragImage(cairo_t* cr, HWND window, ImageCache& images);

}  // namespace desktop
