#include "terminal/HtmlText.h"

#include <libxml/HTMLparser.h>
#include <libxml/uri.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "shared/PointerInput.h"
#include "terminal/CellBuffer.h"
#include "terminal/Platform.h"
#include "terminal/TextCells.h"

namespace termui {

namespace {

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

// Nesting deeper than any page needs is read as flat text, not followed down the stack.
constexpr int kMaxDepth = 200;

bool IsSpace(char32_t c) { return c == U' ' || c == U'\t' || c == U'\n' || c == U'\r' || c == U'\f'; }

bool Named(const xmlNode* n, std::initializer_list<const char*> names) {
  const char* name = reinterpret_cast<const char*>(n->name);
  for (const char* candidate : names)
    if (std::strcmp(name, candidate) == 0) return true;
  return false;
}

std::string Attr(const xmlNode* n, const char* name) {
  xmlChar* v = xmlGetProp(n, reinterpret_cast<const xmlChar*>(name));
  std::string s = v ? reinterpret_cast<const char*>(v) : "";
  xmlFree(v);
  return s;
}

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

class Renderer {
 public:
  explicit Renderer(std::string base) : m_base(std::move(base)) {}

  void Walk(const xmlNode* node, int depth) {
    for (const xmlNode* n = node; n != nullptr; n = n->next) {
      if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
        Text(reinterpret_cast<const char*>(n->content));
      } else if (n->type == XML_ELEMENT_NODE) {
        Element(n, depth);
      }
    }
  }

  RenderedHtml Finish() {
    Break();
    while (!m_out.blocks.empty() && IsBlank(m_out.blocks.back())) m_out.blocks.pop_back();
    return std::move(m_out);
  }

 private:
  static bool IsBlank(const TextBlock& b) { return b.text.empty() && !b.rule; }

  void Append(const std::u32string& text, uint16_t style) {
    m_block.text += text;
    m_block.styles.insert(m_block.styles.end(), text.size(), style);
  }

  void Text(const char* utf8) {
    if (utf8 == nullptr) return;
    const std::u32string text = ToCodePoints(FromUtf8(utf8));
    if (m_pre) {
      std::u32string kept;
      for (char32_t c : text)
        if (c != U'\r') kept.push_back(c == U'\t' ? U' ' : c);
      Append(kept, m_style);
      return;
    }
    std::u32string run;
    for (char32_t c : text) {
      if (IsSpace(c)) {
        m_space = true;
        continue;
      }
      if (m_space && (!m_block.text.empty() || !run.empty()) && !EndsWithBreak(run)) run.push_back(U' ');
      m_space = false;
      run.push_back(c);
    }
    if (!run.empty()) Append(run, m_style);
  }

  bool EndsWithBreak(const std::u32string& run) const {
    if (!run.empty()) return run.back() == U'\n';
    return !m_block.text.empty() && m_block.text.back() == U'\n';
  }

  // Ends the block being built; the next text starts a new one.
  void Break() {
    while (!m_block.text.empty() && (m_block.text.back() == U'\n' || m_block.text.back() == U' ')) {
      m_block.text.pop_back();
      m_block.styles.pop_back();
    }
    // A list item's bullet waits for the item's first text, wherever it starts.
    std::u32string bullet;
    int indent = m_indent;
    if (!m_block.text.empty() || m_block.rule) {
      m_out.blocks.push_back(std::move(m_block));
    } else if (!m_block.bullet.empty()) {
      bullet = m_block.bullet;
      indent = m_block.indent;
    }
    m_block = TextBlock{};
    m_block.indent = indent;
    m_block.bullet = bullet;
    m_block.pre = m_pre;
    m_space = false;
  }

  // A blank line between paragraphs, never two, never first, never between a bullet and its text.
  void Gap() {
    Break();
    if (m_block.bullet.empty() && !m_out.blocks.empty() && !IsBlank(m_out.blocks.back())) m_out.blocks.emplace_back();
  }

  std::u16string Resolve(const std::string& href) const {
    const std::string link = Trim(href);
    if (m_base.empty()) return FromUtf8(link);
    xmlChar* built =
        xmlBuildURI(reinterpret_cast<const xmlChar*>(link.c_str()), reinterpret_cast<const xmlChar*>(m_base.c_str()));
    std::string out = built ? reinterpret_cast<const char*>(built) : link;
    xmlFree(built);
    return FromUtf8(out);
  }

  void WithStyle(const xmlNode* n, int depth, uint16_t style) {
    const uint16_t saved = m_style;
    m_style |= style;
    Walk(n->children, depth + 1);
    m_style = saved;
  }

  void Element(const xmlNode* n, int depth) {
    if (depth > kMaxDepth) {
      Walk(n->children, depth);  // flat: no more structure, still the text
      return;
    }
    if (Named(n, {"script", "style", "head", "title", "noscript", "template", "iframe", "object", "embed", "svg",
                  "math", "select", "button", "input", "textarea"}))
      return;
    if (Named(n, {"br"})) {
      Append(U"\n", m_style);
      m_space = false;
      return;
    }
    if (Named(n, {"img"})) {
      const std::string alt = Trim(Attr(n, "alt"));
      if (!alt.empty()) {
        if (m_space && !m_block.text.empty()) Append(U" ", m_style);
        m_space = false;
        Append(U"[" + ToCodePoints(FromUtf8(Tr("图: ", "image: "))) + ToCodePoints(FromUtf8(alt)) + U"]",
               m_style | kDim);
      }
      return;
    }
    if (Named(n, {"hr"})) {
      Break();
      m_block.rule = true;
      Break();
      return;
    }
    if (Named(n, {"b", "strong"})) return WithStyle(n, depth, kBold);
    if (Named(n, {"i", "em", "cite", "u", "ins", "var", "dfn"})) return WithStyle(n, depth, kUnderline);
    if (Named(n, {"a"})) {
      const std::string raw = Trim(Attr(n, "href"));
      const std::u16string href = raw.empty() || raw[0] == '#' ? std::u16string() : Resolve(raw);
      WithStyle(n, depth, hostshared::SafeToOpen(href) ? kUnderline : 0);
      if (hostshared::SafeToOpen(href)) {
        m_out.links.push_back(href);
        Append(U"[" + ToCodePoints(FromUtf8(std::to_string(m_out.links.size()))) + U"]", m_style | kDim);
      }
      return;
    }
    if (Named(n, {"h1", "h2", "h3", "h4", "h5", "h6"})) {
      Gap();
      WithStyle(n, depth, Named(n, {"h1", "h2"}) ? (kBold | kUnderline) : kBold);
      Gap();
      return;
    }
    if (Named(n, {"ul", "ol", "menu", "dir"})) {
      const bool nested = !m_lists.empty();
      if (!nested)
        Gap();
      else
        Break();
      m_lists.push_back(Named(n, {"ol"}) ? 1 : 0);
      m_indent += 2;
      Break();
      Walk(n->children, depth + 1);
      m_indent -= 2;
      m_lists.pop_back();
      if (!nested)
        Gap();
      else
        Break();
      return;
    }
    if (Named(n, {"li"})) {
      Break();
      const int indent = m_indent;
      if (!m_lists.empty() && m_lists.back() > 0) {
        m_block.bullet = ToCodePoints(FromUtf8(std::to_string(m_lists.back()++) + ". "));
      } else {
        m_block.bullet = U"• ";
      }
      m_indent = indent + DisplayWidth(m_block.bullet);
      m_block.indent = indent;
      Walk(n->children, depth + 1);
      m_indent = indent;
      Break();
      return;
    }
    if (Named(n, {"pre", "listing", "xmp", "plaintext"})) {
      Gap();
      const bool saved = m_pre;
      m_pre = true;
      m_block.pre = true;
      Walk(n->children, depth + 1);
      m_pre = saved;
      Gap();
      return;
    }
    if (Named(n, {"blockquote"})) {
      Gap();
      m_indent += 2;
      Break();
      Walk(n->children, depth + 1);
      m_indent -= 2;
      Gap();
      return;
    }
    if (Named(n, {"dd"})) {
      Break();
      m_indent += 2;
      Break();
      Walk(n->children, depth + 1);
      m_indent -= 2;
      Break();
      return;
    }
    if (Named(n, {"dt"})) {
      Break();
      WithStyle(n, depth, kBold);
      Break();
      return;
    }
    if (Named(n, {"td", "th"})) {
      if (!m_block.text.empty()) Append(U"  ", m_style);
      m_space = false;
      WithStyle(n, depth, Named(n, {"th"}) ? kBold : 0);
      return;
    }
    if (Named(n, {"tr", "div", "section", "article", "header", "footer", "main", "aside", "nav", "figure", "figcaption",
                  "address", "form", "fieldset", "details", "summary", "center", "caption", "dl"})) {
      Break();
      Walk(n->children, depth + 1);
      Break();
      return;
    }
    if (Named(n, {"p", "table"})) {
      Gap();
      Walk(n->children, depth + 1);
      Gap();
      return;
    }
    Walk(n->children, depth + 1);
  }

  std::string m_base;
  RenderedHtml m_out;
  TextBlock m_block;
  uint16_t m_style = kPlain;
  bool m_space = false;
  bool m_pre = false;
  int m_indent = 0;
  std::vector<int> m_lists;  // per open list: the next number, or 0 for bullets
};

// Whether the text holds markup: a tag or a character reference.
bool HoldsMarkup(const std::u16string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    const char16_t c = text[i], d = text[i + 1];
    if (c == u'<' && ((d >= u'a' && d <= u'z') || (d >= u'A' && d <= u'Z') || d == u'/' || d == u'!')) return true;
    if (c == u'&' && ((d >= u'a' && d <= u'z') || (d >= u'A' && d <= u'Z') || d == u'#')) return true;
  }
  return false;
}

bool HoldsTags(const std::u16string& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    const char16_t d = text[i + 1];
    if (text[i] == u'<' && ((d >= u'a' && d <= u'z') || (d >= u'A' && d <= u'Z') || d == u'/' || d == u'!'))
      return true;
  }
  return false;
}

// Where a line may break: after a space, and before or after a wide (CJK) character.
bool BreakBefore(const std::u32string& t, size_t i) {
  if (i == 0) return false;
  const char32_t prev = t[i - 1], c = t[i];
  if (IsSpace(prev)) return true;
  if (CellWidth(c) == 2 || CellWidth(prev) == 2) {
    // Closing punctuation stays with what it closes.
    static const std::u32string closing = U"，。、；：？！）》」』】,.;:?!)";
    return closing.find(c) == std::u32string::npos;
  }
  return false;
}

}  // namespace

RenderedHtml RenderHtml(const std::u16string& source, const std::u16string& base) {
  if (!HoldsMarkup(source)) {
    // Plain text: its own lines and spaces.
    RenderedHtml out;
    std::u32string text = ToCodePoints(source);
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find(U'\n', start);
      if (end == std::u32string::npos) end = text.size();
      TextBlock b;
      b.text = text.substr(start, end - start);
      if (!b.text.empty() && b.text.back() == U'\r') b.text.pop_back();
      b.styles.assign(b.text.size(), kPlain);
      out.blocks.push_back(std::move(b));
      start = end + 1;
    }
    while (!out.blocks.empty() && out.blocks.back().text.empty()) out.blocks.pop_back();
    return out;
  }
  std::u16string html = source;
  if (!HoldsTags(source)) {
    // Text with character references only: its line breaks stay.
    std::u16string withBreaks;
    for (char16_t c : source) {
      if (c == u'\n') withBreaks += u"<br>";
      withBreaks.push_back(c);
    }
    html = withBreaks;
  }
  const std::string bytes = ToUtf8(html);
  Doc doc(htmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, "UTF-8",
                         HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET));
  Renderer r(ToUtf8(base));
  if (doc) r.Walk(xmlDocGetRootElement(doc.get()), 0);
  return r.Finish();
}

void WrapBlock(const TextBlock& block, int width, std::vector<StyledLine>& out) {
  width = std::max(1, width);
  if (block.rule) {
    out.push_back(StyledLine{std::u32string(static_cast<size_t>(width), U'─'),
                             std::vector<uint16_t>(static_cast<size_t>(width), kDim)});
    return;
  }
  if (block.text.empty()) {
    out.emplace_back();
    return;
  }
  const int indent = std::min(block.indent, width / 2);
  const int bulletW = DisplayWidth(block.bullet);
  const int textIndent = indent + bulletW;
  const int room = std::max(1, width - textIndent);
  const std::u32string& t = block.text;
  bool first = true;
  auto emit = [&](size_t from, size_t to) {
    StyledLine line;
    const std::u32string lead = first && !block.bullet.empty()
                                    ? std::u32string(static_cast<size_t>(indent), U' ') + block.bullet
                                    : std::u32string(static_cast<size_t>(textIndent), U' ');
    line.text = lead;
    line.styles.assign(lead.size(), kPlain);
    // Spaces at the end of a wrapped line are not shown.
    size_t end = to;
    if (!block.pre)
      while (end > from && IsSpace(t[end - 1])) --end;
    line.text.append(t, from, end - from);
    line.styles.insert(line.styles.end(), block.styles.begin() + static_cast<long>(from),
                       block.styles.begin() + static_cast<long>(end));
    out.push_back(std::move(line));
    first = false;
  };
  size_t lineStart = 0;
  while (lineStart <= t.size()) {
    // One source line (up to a forced break), wrapped.
    size_t lineEnd = t.find(U'\n', lineStart);
    if (lineEnd == std::u32string::npos) lineEnd = t.size();
    size_t from = lineStart;
    if (from == lineEnd) emit(from, from);
    while (from < lineEnd) {
      if (!block.pre && from > lineStart)
        while (from < lineEnd && IsSpace(t[from])) ++from;  // a wrapped line starts with its word
      if (from >= lineEnd) break;
      int used = 0;
      size_t i = from, lastBreak = std::u32string::npos;
      while (i < lineEnd) {
        const int w = CellWidth(t[i]);
        if (used + w > room) break;
        used += w;
        ++i;
        if (i < lineEnd && BreakBefore(t, i)) lastBreak = i;
      }
      if (i >= lineEnd) {
        emit(from, lineEnd);
        from = lineEnd;
      } else {
        const size_t cut = (lastBreak != std::u32string::npos && lastBreak > from && !block.pre) ? lastBreak
                           : i > from                                                            ? i
                                                                                                 : i + 1;
        emit(from, cut);
        from = cut;
      }
    }
    lineStart = lineEnd + 1;
  }
}

}  // namespace termui
