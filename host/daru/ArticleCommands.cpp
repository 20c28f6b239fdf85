#include "daru/ArticleCommands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>

#include "daru/Capture.h"
#include "daru/HtmlView.h"
#include "daru/Request.h"
#include "daru/Session.h"

namespace {

using nlohmann::json;

constexpr const char* kStates[] = {"read", "unread", "important", "unimportant"};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Marks one article; the line people read about it.
std::string MarkOne(Session& s, long long id, const std::string& state, json& rows) {
  CArticle* article = s.FindArticle(id);
  const bool read = state == "read" || state == "unread";
  const bool on = state == "read" || state == "important";
  bool& flag = read ? article->readflag : article->impflag;
  const std::string what = "#" + std::to_string(article->articleid) + " " + Quoted(article->title);
  if (flag == on) {
    rows.push_back(ArticleJson(*article));
    return what + " is " + state + " already";
  }
  flag = on;
  if (read && on) article->brdate.SetNowTime();
  if (!s.Daru()->UpdateArticle(*article))
    throw HostError("cannot mark " + what + ": " + s.LastError("the catalogue refused it"));
  rows.push_back(ArticleJson(*article));
  return "marked " + what + " " + state;
}

Report ArticleList(Session& s, json data) {
  std::vector<CArticle*> list = s.Daru()->GetArticleList();
  std::vector<json> rows;
  for (CArticle* a : list) rows.push_back(ArticleJson(*a));
  // Newest first, as a reader scans them.
  std::stable_sort(rows.begin(), rows.end(), [](const json& a, const json& b) {
    auto ka = std::make_pair(a["created_epoch"].get<long>(), a["id"].get<int>());
    auto kb = std::make_pair(b["created_epoch"].get<long>(), b["id"].get<int>());
    return ka > kb;
  });
  const size_t count = rows.size();
  data["articles"] = std::move(rows);
  return Listing(Report::Kind::Articles, data, count);
}

}  // namespace

ListCommand::ListCommand() : Command("list", "list the articles of a label, or all articles") {}

void ListCommand::Define(CLI::App& cmd) { cmd.add_option("LABEL", m_label, "a label id or name"); }

Report ListCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  json data;
  int found;
  if (m_label.empty()) {
    data["label"] = nullptr;
    found = s.Daru()->QueryArticle(CArticle(), 0, false);
  } else {
    CLabel* label = s.ResolveLabel(m_label);
    data["label"] = LabelJson(label);
    found = s.Daru()->QueryArticle(label, CArticle(), 0);
  }
  if (found < 0) throw HostError("cannot list the articles: " + s.LastError("query failed"));
  return ArticleList(s, data);
}

SearchCommand::SearchCommand() : Command("search", "find articles by title or keywords (% and _ are wildcards)") {}

void SearchCommand::Define(CLI::App& cmd) {
  cmd.add_option("TEXT", m_words, "the text to look for (several words are one text)")->required();
  cmd.add_flag("--keywords", m_keywords, "search the keywords instead of the titles");
  cmd.add_flag("--exact", m_exact, "match the whole title or keywords");
}

void SearchCommand::Check() {
  m_text.clear();
  for (const std::string& word : m_words) m_text += (m_text.empty() ? "" : " ") + word;
  if (m_text.empty()) throw UsageError("give a text to look for");
}

Report SearchCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  CArticle pattern;
  if (m_keywords)
    pattern.key1 = FromUtf8(m_text);
  else
    pattern.title = FromUtf8(m_text);
  int found = s.Daru()->QueryArticle(pattern, m_keywords ? kArticleMaskKeywords : kArticleMaskTitle, !m_exact);
  if (found < 0) throw HostError("cannot search: " + s.LastError("query failed"));
  return ArticleList(s, {{"search", m_text}, {"field", m_keywords ? "keywords" : "title"}, {"exact", m_exact}});
}

ShowCommand::ShowCommand() : Command("show", "show an article with its description, comment and feed data") {}

void ShowCommand::Define(CLI::App& cmd) {
  m_id.Define(cmd);
  cmd.add_flag("--html", m_html, "print the description file rendered as HTML");
}

Report ShowCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  // A copy of our own: finding the article's labels replaces the result list.
  CArticle article(*s.FindArticle(m_id.id));
  if (m_html) {
    return {Report::Kind::Raw,
            {{"id", article.articleid},
             {"text", RenderDescription(article.GetDescriptionFilename(), GetDaruFolder() + u"/default.xslt")}}};
  }
  json a = ArticleJson(article);
  a["description"] = TextJson(article.LoadDescription());
  a["comment"] = TextJson(article.LoadComment());
  if (article.LoadFeedDataToKeep()) {
    json f = FeedJson(*article.GetRSSSubItem());
    if (IsSafeFolderName(article.filename) && PathExists(GetMediaCopyPath(article.filename), true))
      f["media_copy"] = ToUtf8(GetMediaCopyPath(article.filename));
    a["feed"] = f;
  }
  json labels = json::array();
  for (CLabel* label : s.LabelsOf(article.articleid)) labels.push_back(LabelJson(label));
  a["filed_under"] = labels;
  return {Report::Kind::Article, {{"article", a}}};
}

MarkCommand::MarkCommand() : Command("mark", "mark articles read, unread, important or unimportant") {}

void MarkCommand::Define(CLI::App& cmd) {
  cmd.add_option("ID... STATE", m_words, "one or more article ids and read, unread, important or unimportant")
      ->required();
}

void MarkCommand::Check() {
  m_ids.clear();
  m_state.clear();
  for (const std::string& word : m_words) {
    const std::string lower = Lower(word);
    if (std::find(std::begin(kStates), std::end(kStates), lower) != std::end(kStates)) {
      if (!m_state.empty() && m_state != lower)
        throw UsageError("give one state, not both '" + m_state + "' and '" + lower + "'");
      m_state = lower;
    } else if (m_state.empty() && &word == &m_words.back() && !std::isdigit(static_cast<unsigned char>(word[0]))) {
      throw UsageError("STATE must be read, unread, important or unimportant, not '" + word + "'");
    } else {
      m_ids.push_back(ParseArticleId(word));
    }
  }
  if (m_state.empty()) throw UsageError("give the state: read, unread, important or unimportant");
  if (m_ids.empty()) throw UsageError("give the id of an article to mark");
}

Report MarkCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  json rows = json::array();
  std::string text;
  if (m_ids.size() == 1) {
    text = MarkOne(s, m_ids.front(), m_state, rows);
    return Message(text, {{"article", rows.front()}, {"articles", rows}});
  }
  // Each article on its own: one that is missing stops none of the others.
  json failed = json::array();
  for (long long id : m_ids) {
    try {
      text += (text.empty() ? "" : "\n") + MarkOne(s, id, m_state, rows);
    } catch (const HostError& e) {
      c.warnings.push_back(e.what());
      failed.push_back(id);
    }
  }
  if (text.empty()) text = "nothing was marked";
  Report report = Message(text, {{"articles", rows}, {"failed", failed}});
  if (!failed.empty()) report.status = 1;
  return report;
}

CommentCommand::CommentCommand() : Command("comment", "set an article's comment") {}

void CommentCommand::Define(CLI::App& cmd) {
  m_id.Define(cmd);
  cmd.add_option("TEXT", m_text, "the comment")->required();
}

Report CommentCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  CArticle* article = s.FindArticle(m_id.id);
  LoadForRewrite(article);
  article->SetComment(FromUtf8(m_text));
  std::string why;
  if (!WriteDescription(article, why)) throw HostError(why);
  return Message("commented #" + std::to_string(article->articleid) + " " + Quoted(article->title),
                 {{"article", ArticleJson(*article)}});
}

RemoveCommand::RemoveCommand() : Command("rm", "remove an article, or take it off one label") {}

void RemoveCommand::Define(CLI::App& cmd) {
  m_id.Define(cmd);
  cmd.add_option("--label", m_label, "remove it from this label only");
}

Report RemoveCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  CArticle* article = s.FindArticle(m_id.id);
  const int id = article->articleid;
  const std::string what = "#" + std::to_string(id) + " " + Quoted(article->title);
  const std::u16string filename = article->filename;
  const std::u16string type = article->type;
  CLabel* label = m_label.empty() ? nullptr : s.ResolveLabel(m_label);
  // On success the facade destroys the listed article: only the copies above remain.
  if (!s.Daru()->DeleteArticle(article, label)) {
    throw HostError("cannot remove " + what + (label ? " from " + Named(label) : std::string()) + ": " +
                    s.LastError(label ? "it is not filed under that label" : "the catalogue refused it"));
  }
  bool gone = label == nullptr;
  if (label) {
    CArticle pattern;
    pattern.articleid = id;
    gone = s.Daru()->QueryArticle(pattern, kArticleMaskID, false) == 0;
  } else {
    // The catalogue keeps the files of an article removed as a whole; the host does not want them.
    RemoveArticleFiles(type, filename);
  }
  std::string text = label ? "removed " + what + " from " + Named(label) : "removed " + what;
  if (label && gone) text += "; it was under no other label and is gone";
  return Message(text, {{"removed", id}, {"label", label ? LabelJson(label) : json()}, {"gone", gone}});
}
