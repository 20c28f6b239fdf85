#include "ui/ArticleView.h"

#include <algorithm>

#include "ui/TextCells.h"

namespace termui {

namespace {

std::u16string Time(CStdTime t) {
  if (t.GetTimeLong() == 0) return u"-";
  return t.GetFmtString();
}

}  // namespace

void ArticleView::Add(const char* label, const std::u16string& value) {
  if (value.empty()) return;
  m_lines.push_back(U32(label) + ToCodePoints(value));
}

void ArticleView::Show(CArticle& listed, const CLabel* label) {
  CArticle article(listed);
  m_lines.clear();
  m_top = 0;
  m_lines.push_back(U"\x01" + ToCodePoints(article.title.empty() ? u"(无标题)" : article.title));
  Add("链接: ", article.url);
  Add("创建: ", Time(article.crdate));
  Add("阅读: ", Time(article.brdate));
  std::u16string labels = label ? label->name : u"";
  if (article.labels > 1) labels += u" (共 " + FromUtf8(std::to_string(article.labels)) + u" 个标签)";
  Add("标签: ", labels);
  Add("关键字: ", article.key1);
  std::u16string flags = article.readflag ? u"已读" : u"未读";
  if (article.impflag) flags += u", 重要";
  Add("状态: ", flags);
  const std::u16string description = article.LoadDescription();
  if (!description.empty()) {
    m_lines.push_back(U"");
    m_lines.push_back(U"\x01描述");
    m_lines.push_back(ToCodePoints(description));
  }
  const std::u16string comment = article.LoadComment();
  if (!comment.empty()) {
    m_lines.push_back(U"");
    m_lines.push_back(U"\x01评论");
    m_lines.push_back(ToCodePoints(comment));
  }
  if (article.LoadRssSubItem()) {
    if (CRSSSubItem* feed = article.GetRSSSubItem()) {
      if (!(feed->title.empty() && feed->link.empty() && feed->channelTitle.empty() && feed->pubDate.empty())) {
        m_lines.push_back(U"");
        m_lines.push_back(U"\x01订阅");
        Add("频道: ", feed->channelTitle);
        Add("频道链接: ", feed->channelLink);
        Add("条目: ", feed->title);
        Add("条目链接: ", feed->link);
        Add("发布: ", feed->pubDate);
        Add("媒体: ", feed->mimeUrl);
        if (!feed->description.empty()) m_lines.push_back(ToCodePoints(feed->description));
      }
    }
  }
}

void ArticleView::ShowLink(const std::u16string& title, const std::u16string& link, const std::u16string& note) {
  m_lines.clear();
  m_top = 0;
  m_lines.push_back(U"\x01" + ToCodePoints(title));
  Add("链接: ", link);
  m_lines.push_back(ToCodePoints(note));
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
  out.Text(area.x + 1, area.y, " 文章 ", focused ? kBold : kDim);
  std::vector<std::pair<std::u32string, uint16_t>> wrapped;
  for (const std::u32string& line : m_lines) {
    const bool heading = !line.empty() && line[0] == U'\x01';
    for (const std::u32string& w : WrapLines(heading ? line.substr(1) : line, std::max(4, area.w - 1)))
      wrapped.emplace_back(w, heading ? kBold : kPlain);
  }
  const int rows = area.h - 1;
  m_top = std::min(m_top, std::max(0, static_cast<int>(wrapped.size()) - rows));
  for (int i = 0; i < rows && m_top + i < static_cast<int>(wrapped.size()); ++i) {
    const auto& [text, style] = wrapped[static_cast<size_t>(m_top + i)];
    out.Text(area.x, area.y + 1 + i, text, style);
  }
  out.ResetClip();
}

}  // namespace termui
