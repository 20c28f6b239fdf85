#include "terminal/CellBuffer.h"

#include <algorithm>

#include "darulib.h"
#include "terminal/TextCells.h"

namespace termui {

std::u32string U32(const char* utf8) { return ToCodePoints(FromUtf8(utf8)); }
std::string Utf8(const std::u32string& text) { return ToUtf8(FromCodePoints(text)); }

void CellBuffer::Resize(int cols, int rows) {
  m_cols = std::max(0, cols);
  m_rows = std::max(0, rows);
  m_cells.assign(static_cast<size_t>(m_cols * m_rows), Cell{});
  ResetClip();
}

void CellBuffer::Clear(uint16_t style) { std::fill(m_cells.begin(), m_cells.end(), Cell{U' ', style}); }

void CellBuffer::Put(int x, int y, char32_t ch, uint16_t style) {
  if (!m_clip.Contains(x, y) || x < 0 || y < 0 || x >= m_cols || y >= m_rows) return;
  Cell& c = m_cells[static_cast<size_t>(y * m_cols + x)];
  // Overwriting half of a wide character blanks its other half.
  if (c.ch == 0 && x > 0) m_cells[static_cast<size_t>(y * m_cols + x - 1)].ch = U' ';
  if (c.ch != 0 && x + 1 < m_cols && CellWidth(c.ch) == 2 && m_cells[static_cast<size_t>(y * m_cols + x + 1)].ch == 0)
    m_cells[static_cast<size_t>(y * m_cols + x + 1)].ch = U' ';
  c.ch = ch;
  c.style = style;
}

int CellBuffer::Text(int x, int y, const std::u32string& text, uint16_t style, int limit) {
  if (y < m_clip.y || y >= m_clip.y + m_clip.h) return 0;
  const int right = std::min({m_clip.x + m_clip.w, m_cols, limit > (1 << 29) ? (1 << 30) : x + limit});
  int col = x;
  for (char32_t ch : text) {
    if (ch == U'\t' || ch == U'\n' || ch == U'\r') ch = U' ';
    const int w = CellWidth(ch);
    if (w == 0) continue;  // combining marks and controls are not drawn on their own
    if (col + w > right) break;
    if (col >= m_clip.x) {
      Put(col, y, ch, style);
      if (w == 2) Put(col + 1, y, 0, style);
    }
    col += w;
  }
  return col - x;
}

int CellBuffer::Text(int x, int y, const std::u16string& text, uint16_t style, int limit) {
  return Text(x, y, ToCodePoints(text), style, limit);
}

int CellBuffer::Text(int x, int y, const char* utf8, uint16_t style, int limit) {
  return Text(x, y, U32(utf8), style, limit);
}

void CellBuffer::Fill(const Rect& r, char32_t ch, uint16_t style) {
  for (int y = r.y; y < r.y + r.h; ++y)
    for (int x = r.x; x < r.x + r.w; ++x) Put(x, y, ch, style);
}

void CellBuffer::AddStyle(const Rect& r, uint16_t style) {
  for (int y = std::max(r.y, m_clip.y); y < std::min({r.y + r.h, m_rows, m_clip.y + m_clip.h}); ++y)
    for (int x = std::max(r.x, m_clip.x); x < std::min({r.x + r.w, m_cols, m_clip.x + m_clip.w}); ++x)
      m_cells[static_cast<size_t>(y * m_cols + x)].style |= style;
}

void CellBuffer::Box(const Rect& r, uint16_t style) {
  if (r.w < 2 || r.h < 2) return;
  for (int x = r.x + 1; x < r.x + r.w - 1; ++x) {
    Put(x, r.y, U'─', style);
    Put(x, r.y + r.h - 1, U'─', style);
  }
  for (int y = r.y + 1; y < r.y + r.h - 1; ++y) {
    Put(r.x, y, U'│', style);
    Put(r.x + r.w - 1, y, U'│', style);
  }
  Put(r.x, r.y, U'┌', style);
  Put(r.x + r.w - 1, r.y, U'┐', style);
  Put(r.x, r.y + r.h - 1, U'└', style);
  Put(r.x + r.w - 1, r.y + r.h - 1, U'┘', style);
}

std::string CellBuffer::RowText(int y) const {
  std::u32string row;
  for (int x = 0; x < m_cols; ++x) {
    const char32_t ch = At(x, y).ch;
    if (ch != 0) row.push_back(ch);
  }
  return Utf8(row);
}

std::string CellBuffer::Dump() const {
  std::string out;
  for (int y = 0; y < m_rows; ++y) {
    std::string row = RowText(y);
    while (!row.empty() && row.back() == ' ') row.pop_back();
    out += row;
    if (y + 1 < m_rows) out += '\n';
  }
  return out;
}

}  // namespace termui
