#include "desktop/Replay.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace desktop {

namespace {

void SetColour(cairo_t* cr, COLORREF c, double alpha = 1.0) {
  cairo_set_source_rgba(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0, alpha);
}

void Rectangle(cairo_t* cr, const CRect& r) { cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height()); }

PangoFontDescription* FontOf(const LOGFONT& lf) {
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, TextFontFamily());
  // lfHeight is the character height in pixels (negative) or the cell height (positive).
  const int px = lf.lfHeight < 0 ? -lf.lfHeight : std::max<LONG>(1, lf.lfHeight * 3 / 4);
  pango_font_description_set_absolute_size(font, std::max(1, px) * PANGO_SCALE);
  pango_font_description_set_weight(font, lf.lfWeight >= FW_BOLD ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  if (lf.lfItalic) pango_font_description_set_style(font, PANGO_STYLE_ITALIC);
  return font;
}

// layout: the record's one layout, set up afresh for each text (a layout and
// its Pango context made per text cost more than the text's own shaping).
void DrawTextOp(cairo_t* cr, PangoLayout* layout, const CDrawOp& op) {
  if (op.text.empty()) return;
  cairo_save(cr);
  // A text the platform clipped to its box without cutting it short (a tree
  // label) keeps its whole width in our wider font; only its height is kept.
  const bool cutShort = op.text.size() >= 3 && op.text.compare(op.text.size() - 3, 3, u"...") == 0;
  const bool wholeWidth = op.clipped && !cutShort && !(op.format & DT_END_ELLIPSIS) && op.clip.right >= op.rect.right;
  if (op.clipped) {
    CRect clip = op.clip;
    if (wholeWidth) clip.right = clip.left + (1 << 20);
    Rectangle(cr, clip);
    cairo_clip(cr);
  }
  pango_layout_set_width(layout, -1);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
  pango_layout_set_attributes(layout, nullptr);
  PangoFontDescription* font = FontOf(op.font);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  std::string text = ToUtf8(op.text);
  pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
  if (op.font.lfUnderline) {
    PangoAttrList* attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
  }
  int w = 0, h = 0;
  pango_layout_get_pixel_size(layout, &w, &h);
  // The platform placed the text with its own metrics; keep its alignment
  // in the box and its vertical centre.
  const int fixedW = DaruTextWidth(op.text, op.font);
  const int fixedH = DaruFontHeight(op.font);
  const CRect box = op.rect;
  int x = op.origin.x;
  const bool left = op.origin.x <= box.left;
  const bool right = !left && op.origin.x + fixedW >= box.right;
  if (right) {
    x = box.right - w;
  } else if (!left) {
    x = op.origin.x + (fixedW - w) / 2;
  }
  const int y = op.origin.y + fixedH / 2 - h / 2;
  // A TextOut's box is only its own extent: it has no room to keep to.
  const bool ownExtent = !op.clipped && box.left == op.origin.x && box.Width() == fixedW;
  const int room = ownExtent || wholeWidth ? w : (op.clipped ? std::min<int>(op.clip.right, box.right) : box.right) - x;
  if (w > room && room > 0) {
    // Our font is wider than the platform's measure: fit it again.
    if (text.size() > 3 && text.compare(text.size() - 3, 3, "...") == 0) {
      text.resize(text.size() - 3);
      pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    }
    pango_layout_set_width(layout, room * PANGO_SCALE);
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    pango_layout_get_pixel_size(layout, &w, &h);
    if (right) x = box.right - w;
  }
  if (op.bkMode == OPAQUE) {
    // The background covers the line the platform measured, not our taller one,
    // so that it never spills onto the rows above and below.
    SetColour(cr, op.bkColor);
    cairo_rectangle(cr, x, op.origin.y, w, fixedH);
    cairo_fill(cr);
  }
  SetColour(cr, op.color);
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
}

void DrawFocusRect(cairo_t* cr, const CRect& r) {
  cairo_save(cr);
  const double dash[] = {1.0, 1.0};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_set_line_width(cr, 1.0);
  // A focus rectangle inverts what lies under it, so it shows on any colour.
  cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_rectangle(cr, r.left + 0.5, r.top + 0.5, r.Width() - 1, r.Height() - 1);
  cairo_stroke(cr);
  cairo_restore(cr);
}

void DrawImage(cairo_t* cr, const CDrawOp& op, ImageCache& images) {
  cairo_surface_t* s = images.Get(op.imageList, op.image);
  if (s == nullptr) return;
  cairo_save(cr);
  if (op.clipped) {
    Rectangle(cr, op.clip);
    cairo_clip(cr);
  }
  cairo_set_source_surface(cr, s, op.origin.x, op.origin.y);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  if (op.format & ILD_SELECTED) {
    // A selected image is blended with the selection colour.
    SetColour(cr, GetSysColor(COLOR_HIGHLIGHT), 0.5);
    cairo_mask_surface(cr, s, op.origin.x, op.origin.y);
  }
  cairo_restore(cr);
}

}  // namespace

const char* TextFontFamily() { return "Noto Sans CJK SC, Noto Sans, sans-serif"; }

int MeasureText(std::u16string_view text, const LOGFONT& font) {
  // One layout on a context of its own, for the main thread that lays the windows out.
  static PangoContext* context = pango_font_map_create_context(pango_cairo_font_map_get_default());
  static PangoLayout* layout = pango_layout_new(context);
  static std::unordered_map<std::uint64_t, int> widths;  // Pango units, by font and character
  const int px = font.lfHeight < 0 ? -font.lfHeight : std::max<LONG>(1, font.lfHeight * 3 / 4);
  const std::uint64_t fontKey = (static_cast<std::uint64_t>(std::min(px, 0xFFFF)) << 40) |
                                (static_cast<std::uint64_t>(font.lfWeight >= FW_BOLD) << 39) |
                                (static_cast<std::uint64_t>(font.lfItalic != 0) << 38);
  long long units = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // A surrogate pair is one character.
    const bool pair = i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 &&
                      text[i + 1] <= 0xDFFF;
    const char32_t ch = pair ? 0x10000 + ((text[i] - 0xD800) << 10) + (text[i + 1] - 0xDC00) : text[i];
    const std::uint64_t key = fontKey | ch;
    auto found = widths.find(key);
    if (found == widths.end()) {
      PangoFontDescription* description = FontOf(font);
      pango_layout_set_font_description(layout, description);
      pango_font_description_free(description);
      const std::string utf8 = ToUtf8(std::u16string(text.substr(i, pair ? 2 : 1)));
      pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
      int w = 0, h = 0;
      pango_layout_get_size(layout, &w, &h);
      found = widths.emplace(key, w).first;
    }
    units += found->second;
    if (pair) ++i;
  }
  return static_cast<int>((units + PANGO_SCALE - 1) / PANGO_SCALE);
}

ImageCache::~ImageCache() { Clear(); }

void ImageCache::Clear() {
  for (auto& [key, surface] : m_surfaces) cairo_surface_destroy(surface);
  m_surfaces.clear();
}

cairo_surface_t* ImageCache::Get(HIMAGELIST list, int image) {
  if (list == nullptr || image < 0) return nullptr;
  const auto key = std::make_pair(list, image);
  if (auto it = m_surfaces.find(key); it != m_surfaces.end()) return it->second;
  CImageList* images = CImageList::FromHandle(list);
  if (images == nullptr || image >= images->GetImageCount()) return nullptr;
  const CSize size = images->GetImageSize();
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.cx, size.cy);
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < size.cy; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * static_cast<size_t>(stride));
    for (int x = 0; x < size.cx; ++x) {
      const COLORREF c = images->GetImagePixel(image, x, y);
      row[x] = c == CLR_NONE ? 0u
                             : 0xFF000000u | (static_cast<uint32_t>(GetRValue(c)) << 16) |
                                   (static_cast<uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
    }
  }
  cairo_surface_mark_dirty(s);
  m_surfaces.emplace(key, s);
  return s;
}

void ReplayRecord(cairo_t* cr, const CDrawingRecord& record, ImageCache& images) {
  PangoLayout* layout = nullptr;  // owned: made for the first text
  for (const CDrawOp& op : record.ops) {
    switch (op.kind) {
      case CDrawOp::Kind::FillRect:
        cairo_save(cr);
        if (op.clipped) {
          Rectangle(cr, op.clip);
          cairo_clip(cr);
        }
        SetColour(cr, op.color);
        Rectangle(cr, op.rect);
        cairo_fill(cr);
        cairo_restore(cr);
        break;
      case CDrawOp::Kind::Text:
        if (layout == nullptr) layout = pango_cairo_create_layout(cr);
        DrawTextOp(cr, layout, op);
        break;
      case CDrawOp::Kind::FocusRect:
        DrawFocusRect(cr, op.rect);
        break;
      case CDrawOp::Kind::Image:
        DrawImage(cr, op, images);
        break;
    }
  }
  if (layout != nullptr) g_object_unref(layout);
}

bool PaintAndReplay(cairo_t* cr, CWnd& window, ImageCache& images) {
  bool painted = false;
  if (window.IsUpdatePending()) {
    const int before = window.GetPaintCount();
    window.UpdateWindow();
    painted = window.GetPaintCount() != before;
  }
  ReplayRecord(cr, window.GetDrawing(), images);
  for (CWnd* child : window.GetChildren()) {
    if (!child->IsWindowVisible()) continue;
    CRect r;
    child->GetWindowRect(&r);
    window.ScreenToClient(&r);
    cairo_save(cr);
    cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
    cairo_clip(cr);
    cairo_translate(cr, r.left, r.top);
    painted = PaintAndReplay(cr, *child, images) || painted;
    cairo_restore(cr);
  }
  return painted;
}

HTREEITEM NextShown(const CTreeCtrl& tree, HTREEITEM item) {
  if (tree.GetItemState(item, TVIS_EXPANDED) & TVIS_EXPANDED)
    if (HTREEITEM child = tree.GetChildItem(item)) return child;
  for (HTREEITEM up = item; up != nullptr; up = tree.GetParentItem(up))
    if (HTREEITEM next = tree.GetNextSiblingItem(up)) return next;
  return nullptr;
}

void DrawTreeLines(cairo_t* cr, const CTreeCtrl& tree) {
  const DWORD style = tree.GetStyle();
  if (!(style & (TVS_HASLINES | TVS_HASBUTTONS))) return;
  const int indent = static_cast<int>(tree.GetIndent());
  const int h = std::max<int>(1, tree.GetItemHeight());
  const int root = (style & TVS_LINESATROOT) ? 1 : 0;
  CRect client;
  tree.GetClientRect(&client);
  cairo_save(cr);
  cairo_set_line_width(cr, 1.0);
  const double dots[] = {1.0, 1.0};
  int line = 0;
  for (HTREEITEM item = tree.GetFirstVisibleItem(); item != nullptr && line * h < client.Height();
       item = NextShown(tree, item), ++line) {
    const int level = tree.GetItemLevel(item);
    const int y = line * h + h / 2;
    if ((style & TVS_HASLINES) && (level > 0 || root)) {
      cairo_set_dash(cr, dots, 2, 0);
      cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
      const double cx = (level + root - 1) * indent + indent / 2 + 0.5;
      // To the item, and down past it while more siblings follow.
      cairo_move_to(cr, cx, y + 0.5);
      cairo_line_to(cr, cx + indent / 2, y + 0.5);
      const bool first = level == 0 && tree.GetNextItem(item, TVGN_PREVIOUS) == nullptr;
      cairo_move_to(cr, cx, first ? y : line * h);
      cairo_line_to(cr, cx, tree.GetNextSiblingItem(item) != nullptr ? (line + 1) * h : y);
      // The lines of the ancestors that have siblings below.
      HTREEITEM up = tree.GetParentItem(item);
      for (int l = level - 1; up != nullptr && l + root - 1 >= 0; --l, up = tree.GetParentItem(up)) {
        if (tree.GetNextSiblingItem(up) == nullptr) continue;
        const double ax = (l + root - 1) * indent + indent / 2 + 0.5;
        cairo_move_to(cr, ax, line * h);
        cairo_line_to(cr, ax, (line + 1) * h);
      }
      cairo_stroke(cr);
    }
    // A check box (state image 1 clear, 2 ticked) in the state icon's place.
    const UINT stateImage = (tree.GetItemState(item, TVIS_STATEIMAGEMASK) & TVIS_STATEIMAGEMASK) >> 12;
    if ((stateImage == 1 || stateImage == 2) && tree.GetImageList(TVSIL_STATE) != nullptr) {
      cairo_set_dash(cr, nullptr, 0, 0);
      const double bx = (level + root) * indent + 2.5, by = line * h + (h - 12) / 2 + 0.5;
      cairo_rectangle(cr, bx, by, 11, 11);
      cairo_set_source_rgb(cr, 1, 1, 1);
      cairo_fill_preserve(cr);
      cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
      cairo_stroke(cr);
      if (stateImage == 2) {
        cairo_set_line_width(cr, 2.0);
        cairo_move_to(cr, bx + 2, by + 5.5);
        cairo_line_to(cr, bx + 4.5, by + 8);
        cairo_line_to(cr, bx + 9, by + 2.5);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_stroke(cr);
        cairo_set_line_width(cr, 1.0);
      }
    }
    if ((style & TVS_HASBUTTONS) && tree.ItemHasChildren(item) && (level > 0 || root)) {
      cairo_set_dash(cr, nullptr, 0, 0);
      const double cx = (level + root - 1) * indent + indent / 2 + 0.5;
      const double s = 4;
      cairo_rectangle(cr, cx - s, y + 0.5 - s, 2 * s, 2 * s);
      cairo_set_source_rgb(cr, 1, 1, 1);
      cairo_fill_preserve(cr);
      cairo_set_source_rgb(cr, 0.45, 0.45, 0.45);
      cairo_stroke(cr);
      cairo_set_source_rgb(cr, 0, 0, 0);
      cairo_move_to(cr, cx - 2, y + 0.5);
      cairo_line_to(cr, cx + 2, y + 0.5);
      if (!(tree.GetItemState(item, TVIS_EXPANDED) & TVIS_EXPANDED)) {
        cairo_move_to(cr, cx, y + 0.5 - 2);
        cairo_line_to(cr, cx, y + 0.5 + 2);
      }
      cairo_stroke(cr);
    }
  }
  cairo_restore(cr);
}

void DrawDragImage(cairo_t* cr, HWND window, ImageCache& images) {
  const CDragImageState drag = DaruGetDragImageState();
  if (!drag.dragging || !drag.visible || drag.lockWnd != window) return;
  cairo_surface_t* s = images.Get(drag.imageList, drag.image);
  if (s == nullptr) return;
  cairo_save(cr);
  cairo_set_source_surface(cr, s, drag.pos.x - drag.hotSpot.x, drag.pos.y - drag.hotSpot.y);
  cairo_paint_with_alpha(cr, 0.7);
  cairo_restore(cr);
}

}  // namespace desktop
