#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An article's description as terminal text: its HTML read with libxml2's
// HTML parser (forgiving, no network) and turned into paragraphs, list items,
// headings and preformatted blocks with bold and underlined runs, images as
// their alt text and links numbered, then wrapped at word boundaries by
// display width. A description without markup keeps its lines.

namespace termui {

struct TextBlock {
  std::u32string text;           // '\n' inside is a forced line break
  std::vector<uint16_t> styles;  // one per code point of text
  int indent = 0;                // columns before every line
  std::u32string bullet;         // put before the first line, in the indent's place
  bool pre = false;              // spaces kept; broken only where a line is too long
  bool rule = false;             // a horizontal line across the width
};

struct StyledLine {
  std::u32string text;
  std::vector<uint16_t> styles;
};

struct RenderedHtml {
  std::vector<TextBlock> blocks;      // empty blocks are blank lines
  std::vector<std::u16string> links;  // the numbered links: [1] is links[0]
};

// base is the address relative links resolve against (may be empty). Only
// http, https and ftp links are numbered; others show as their text.
RenderedHtml RenderHtml(const std::u16string& html, const std::u16string& base);

// The block's lines for a width in columns (at least 1).
void WrapBlock(const TextBlock& block, int width, std::vector<StyledLine>& out);

}  // namespace termui
