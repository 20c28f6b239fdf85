#pragma once

#include <string>
#include <vector>

#include "ui/CellBuffer.h"
#include "ui/Platform.h"

// The article the list asked the host to show: its fields and the texts of
// its description file (description, comment, feed data), read from a copy
// so that the list's article is left as it was.

namespace termui {

class ArticleView {
 public:
  // Reads the article; label is the label it is shown under (may be null).
  void Show(CArticle& article, const CLabel* label);
  void ShowLink(const std::u16string& title, const std::u16string& link, const std::u16string& note);
  void Clear() {
    m_lines.clear();
    m_top = 0;
  }
  bool Empty() const { return m_lines.empty(); }

  void Draw(CellBuffer& out, const Rect& area, bool focused);
  void Scroll(int lines, int pageHeight);
  const std::vector<std::u32string>& Lines() const { return m_lines; }

 private:
  void Add(const char* label, const std::u16string& value);
  std::vector<std::u32string> m_lines;  // unwrapped; "\x01" marks a heading
  int m_top = 0;
  int m_width = 0;
};

}  // namespace termui
