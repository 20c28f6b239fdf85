#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An off-screen picture of the terminal: a grid of cells, each a code point
// with its style. Everything the host shows is drawn here first and then
// handed to the terminal in one piece, so drawing code never talks to the
// terminal and tests and benchmarks can read what would be shown.

namespace termui {

enum Style : uint16_t {
  kPlain = 0,
  kBold = 1 << 0,
  kReverse = 1 << 1,
  kUnderline = 1 << 2,
  kDim = 1 << 3,
  kRed = 1 << 4,     // important rows, warnings
  kAccent = 1 << 5,  // title bars, header, status line
  kGrey = 1 << 6,    // disabled items
};

struct Cell {
  char32_t ch = U' ';  // 0: the right half of the wide character to its left
  uint16_t style = kPlain;
  bool operator==(const Cell&) const = default;
};

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool Contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

class CellBuffer {
 public:
  CellBuffer(int cols = 0, int rows = 0) { Resize(cols, rows); }

  void Resize(int cols, int rows);
  int Cols() const { return m_cols; }
  int Rows() const { return m_rows; }
  void Clear(uint16_t style = kPlain);

  const Cell& At(int x, int y) const { return m_cells[static_cast<size_t>(y * m_cols + x)]; }

  // Writes text from (x, y), clipped to the clip rectangle (the whole buffer
  // when none is set) and to limit columns; returns the columns written. A
  // wide character that would be cut by the edge is left out.
  int Text(int x, int y, const std::u32string& text, uint16_t style = kPlain, int limit = 1 << 30);
  int Text(int x, int y, const std::u16string& text, uint16_t style = kPlain, int limit = 1 << 30);
  int Text(int x, int y, const char* utf8, uint16_t style = kPlain, int limit = 1 << 30);
  void Fill(const Rect& r, char32_t ch, uint16_t style);
  // Adds style bits to the cells of the rectangle (a selection bar).
  void AddStyle(const Rect& r, uint16_t style);
  void Box(const Rect& r, uint16_t style = kPlain);

  void SetClip(const Rect& r) { m_clip = r; }
  void ResetClip() { m_clip = Rect{0, 0, m_cols, m_rows}; }

  // One row as text (wide characters once, trailing blanks kept), UTF-8.
  std::string RowText(int y) const;
  // Every row, joined by newlines, trailing blanks removed per row.
  std::string Dump() const;

 private:
  void Put(int x, int y, char32_t ch, uint16_t style);

  int m_cols = 0, m_rows = 0;
  std::vector<Cell> m_cells;
  Rect m_clip;
};

std::u32string U32(const char* utf8);
std::string Utf8(const std::u32string& text);

}  // namespace termui
