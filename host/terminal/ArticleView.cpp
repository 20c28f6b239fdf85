#include "terminal/ArticleView.h"

#include <algorithm>

#include "terminal/TextCells.h"

namespace termui {

namespace {

std::u16string Time(CStdTime t) {
  if (t.GetTimeLong() == 0) return u"-";
  return t.GetFmtString();
}

TextBlock Plain(const std::u32string& text, uint16_t style = kPlain) {
  TextBlock b;
  b.text = text;
  b.styles.assign(text.size(), style);
  return b;
}

}  // namespace

void ArticleView::Field(const char* zh, const char* en, const std::u16string& value) {
  if (value.empty()) return;
  const std::u32string label = U32(Tr(zh, en));
  TextBlock b = Plain(label + ToCodePoints(value));
  std::fill(b.styles.begin(), b.styles.begin() + static_cast<long>(label.size()), kDim);
  m_blocks.push_back(std::move(b));
}

void ArticleView::Heading(const std::u32string& text) {
  m_blocks.emplace_back();
  m_blocks.push_back(Plain(text, kBold));
}

void ArticleView::Show(CArticle& listed, const std::vector<const CLabel*>& labels) {
  CArticle article(listed);
  Clear();
  m_blocks.push_back(
      Plain(ToCodePoints(article.title.empty() ? FromUtf8(Tr("(无标题)", "(untitled)")) : article.title), kBold));
  Field("链接: ", "Link: ", article.url);
  Field("创建: ", "Created: ", Time(article.crdate));
  Field("阅读: ", "Read: ", Time(article.brdate));
  std::u16string names;
  for (const CLabel* label : labels) names += (names.empty() ? u"" : u", ") + label->name;
  Field("标签: ", "Labels: ", names);
  Field("关键字: ", "Keywords: ", article.key1);
  std::u16string flags = FromUtf8(article.readflag ? Tr("已读", "read") : Tr("未读", "unread"));
  if (article.impflag) flags += FromUtf8(Tr(", 重要", ", important"));
  Field("状态: ", "State: ", flags);
  const std::u16string description = article.LoadDescription();
  if (!description.empty()) {
    Heading(U32(Tr("描述", "Description")));
    RenderedHtml html = RenderHtml(description, article.url);
    for (TextBlock& b : html.blocks) m_blocks.push_back(std::move(b));
    m_links = std::move(html.links);
  }
  const std::u16string comment = article.LoadComment();
  if (!comment.empty()) {
    Heading(U32(Tr("评论", "Comment")));
    for (TextBlock& b : RenderHtml(comment, u"").blocks) m_blocks.push_back(std::move(b));
  }
  if (article.LoadRssSubItem()) {
    if (CRSSSubItem* feed = article.GetRSSSubItem()) {
      if (!(feed->title.empty() && feed->link.empty() && feed->channelTitle.empty() && feed->pubDate.empty())) {
        Heading(U32(Tr("订阅", "Feed")));
        Field("频道: ", "Channel: ", feed->channelTitle);
        Field("频道链接: ", "Channel link: ", feed->channelLink);
        Field("条目: ", "Item: ", feed->title);
        Field("条目链接: ", "Item link: ", feed->link);
        Field("发布: ", "Published: ", feed->pubDate);
        Field("媒体: ", "Media: ", feed->mimeUrl);
        // The feed's own text, when it is not the description shown above.
        if (!feed->description.empty() && feed->description != description) {
          RenderedHtml html = RenderHtml(feed->description, feed->link);
          const size_t offset = m_links.size();
          for (TextBlock& b : html.blocks) {
            // Its link numbers continue after the description's.
            if (offset > 0) {
              for (size_t i = 0; i + 2 < b.text.size(); ++i) {
                if (b.text[i] != U'[' || !(b.styles[i] & kDim)) continue;
                size_t j = i + 1;
                int n = 0;
                while (j < b.text.size() && b.text[j] >= U'0' && b.text[j] <= U'9') n = n * 10 + (b.text[j++] - U'0');
                if (j == i + 1 || j >= b.text.size() || b.text[j] != U']') continue;
                const std::u32string renumbered = U32(std::to_string(n + static_cast<int>(offset)).c_str());
                b.text.replace(i + 1, j - i - 1, renumbered);
                b.styles.erase(b.styles.begin() + static_cast<long>(i + 1), b.styles.begin() + static_cast<long>(j));
                b.styles.insert(b.styles.begin() + static_cast<long>(i + 1), renumbered.size(), b.styles[i]);
              }
            }
            m_blocks.push_back(std::move(b));
          }
          for (std::u16string& l : html.links) m_links.push_back(std::move(l));
        }
      }
    }
  }
  if (!m_links.empty()) {
    Heading(U32(Tr("链接列表（按编号打开）", "Links (open by number)")));
    for (size_t i = 0; i < m_links.size(); ++i) {
      TextBlock b = Plain(U32(("[" + std::to_string(i + 1) + "] ").c_str()) + ToCodePoints(m_links[i]));
      b.indent = 0;
      m_blocks.push_back(std::move(b));
    }
  }
}

void ArticleView::Wrap(int width) {
  if (width == m_wrappedWidth) return;
  m_wrapped.clear();
  for (const TextBlock& b : m_blocks) WrapBlock(b, width, m_wrapped);
  m_wrappedWidth = width;
}

std::vector<std::u32string> ArticleView::TextAt(int width) {
  Wrap(width);
  std::vector<std::u32string> lines;
  for (const StyledLine& l : m_wrapped) lines.push_back(l.text);
  return lines;
}

void ArticleView::Scroll(int lines, int pageHeight) {
  m_top = std::max(0, m_top + lines);
  (void)pageHeight;
}

void ArticleView::Draw(CellBuffer& out, const Rect& area, bool focused) {
  out.SetClip(area);
  out.Fill(area, U' ', kPlain);
  if (area.h <= 0) return;
  out.Fill(Rect{area.x, area.y, area.w, 1}, U'─', focused ? kBold : kDim);
  out.Text(area.x + 1, area.y, U32(Tr(" 文章 ", " Article ")), focused ? kBold : kDim);
  Wrap(std::max(4, area.w - 1));
  const int rows = area.h - 1;
  m_top = std::min(m_top, std::max(0, static_cast<int>(m_wrapped.size()) - rows));
  if (static_cast<int>(m_wrapped.size()) > rows) {
    // Where the view is: the line numbers shown, of how many.
    const std::string where = " " + std::to_string(m_top + 1) + "-" +
                              std::to_string(std::min<int>(m_top + rows, static_cast<int>(m_wrapped.size()))) + "/" +
                              std::to_string(m_wrapped.size()) + " ";
    out.Text(area.x + area.w - static_cast<int>(where.size()) - 1, area.y, where.c_str(), focused ? kBold : kDim);
  }
  for (int i = 0; i < rows && m_top + i < static_cast<int>(m_wrapped.size()); ++i) {
    const StyledLine& line = m_wrapped[static_cast<size_t>(m_top + i)];
    int x = area.x;
    // Runs of one style at a time.
    size_t from = 0;
    while (from < line.text.size()) {
      size_t to = from + 1;
      while (to < line.text.size() && line.styles[to] == line.styles[from]) ++to;
      x += out.Text(x, area.y + 1 + i, line.text.substr(from, to - from), line.styles[from]);
      from = to;
    }
  }
  out.ResetClip();
}

}  // namespace termui
