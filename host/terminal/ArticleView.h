#pragma once

#include <string>
#include <vector>

#include "terminal/CellBuffer.h"
#include "terminal/HtmlText.h"
#include "terminal/Platform.h"

// The article the list asked the host to show: its fields and the texts of
// its description file (description rendered from its HTML, comment, feed
// data), read from a copy so that the list's article is left as it was.

namespace termui {

class ArticleView {
 public:
  // Reads the article; labels are all the labels it is filed under.
  void Show(CArticle& article, const std::vector<const CLabel*>& labels);
  void Clear() {
    m_blocks.clear();
    m_links.clear();
    m_wrapped.clear();
    m_wrappedWidth = -1;
    m_top = 0;
  }
  bool Empty() const { return m_blocks.empty(); }

  void Draw(CellBuffer& out, const Rect& area, bool focused);
  void Scroll(int lines, int pageHeight);
  // The numbered links of the description: [1] is the first.
  const std::vector<std::u16string>& Links() const { return m_links; }
  // The text as shown at a width, one string per line.
  std::vector<std::u32string> TextAt(int width);

 private:
  void Field(const char* zh, const char* en, const std::u16string& value);
  void Heading(const std::u32string& text);
  void Wrap(int width);

  std::vector<TextBlock> m_blocks;
  std::vector<std::u16string> m_links;
  std::vector<StyledLine> m_wrapped;  // m_blocks at m_wrappedWidth
  int m_wrappedWidth = -1;
  int m_top = 0;
};

}  // namespace termui
