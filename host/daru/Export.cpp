#include "daru/Export.h"

#include <CLI/CLI.hpp>
#include <ctime>
#include <map>
#include <set>

#include "daru/Capture.h"
#include "daru/FeedParser.h"
#include "daru/HtmlView.h"
#include "daru/Markup.h"
#include "daru/Opml.h"
#include "daru/Request.h"
#include "daru/Session.h"

namespace {

using nlohmann::json;

struct Exported {
  CArticle article;
  std::vector<CLabel*> labels;  // borrowed from the hierarchy, in label order
  std::string description;
  std::string comment;
};

// The label and every label below it, each once, without recursion: a branch may be deep.
std::vector<CLabel*> Branch(CLabel* top) {
  std::vector<CLabel*> out;
  std::set<CLabel*> seen{top};
  std::vector<CLabel*> pending{top};
  while (!pending.empty()) {
    CLabel* label = pending.back();
    pending.pop_back();
    out.push_back(label);
    for (CLabel* c = label->firstChild; c; c = c->nextSibling)
      if (seen.insert(c).second) pending.push_back(c);
  }
  return out;
}

// The names from the head label down to the label.
std::vector<std::string> LabelNames(const CLabel* label) {
  std::vector<std::string> names;
  std::set<const CLabel*> seen;  // parents that loop must not loop here
  for (; label && seen.insert(label).second; label = label->parent) names.push_back(ToUtf8(label->name));
  return {names.rbegin(), names.rend()};
}

// The path people read: names joined by '/'.
std::string LabelPath(const CLabel* label) {
  std::string path;
  for (const std::string& name : LabelNames(label)) path += (path.empty() ? "" : "/") + name;
  return path;
}

// The path scripts split: a '/' or '\\' inside a name is escaped with '\\',
// so that each unescaped '/' separates two names.
std::string EscapedLabelPath(const CLabel* label) {
  std::string path;
  for (const std::string& name : LabelNames(label)) {
    if (!path.empty()) path += '/';
    for (char c : name) {
      if (c == '/' || c == '\\') path += '\\';
      path += c;
    }
  }
  return path;
}

// Every article in scope once, by id, with the labels in scope it is filed under.
std::map<int, Exported> Collect(Session& s, const std::vector<CLabel*>& scope, bool everything) {
  std::map<int, Exported> articles;
  for (CLabel* label : scope) {
    if (s.Daru()->QueryArticle(label, CArticle(), 0) < 0)
      throw HostError("cannot read the articles of " + Named(label) + ": " + s.LastError("query failed"));
    for (CArticle* a : s.Daru()->GetArticleList()) {
      auto [at, added] = articles.try_emplace(a->articleid, Exported{*a, {}, "", ""});
      at->second.labels.push_back(label);
    }
  }
  if (everything) {
    // Articles that lost every label are still the user's.
    if (s.Daru()->QueryArticle(CArticle(), 0, false) < 0)
      throw HostError("cannot read the articles: " + s.LastError("query failed"));
    for (CArticle* a : s.Daru()->GetArticleList()) articles.try_emplace(a->articleid, Exported{*a, {}, "", ""});
  }
  for (auto& [id, e] : articles) {
    e.description = ToUtf8(e.article.LoadDescription());
    e.comment = ToUtf8(e.article.LoadComment());
  }
  return articles;
}

json ArticleExport(Exported& e) {
  json a = ArticleJson(e.article);
  a["type_name"] = TypeName(e.article.type);
  a["description"] = TextJson(FromUtf8(e.description));
  a["comment"] = TextJson(FromUtf8(e.comment));
  json labels = json::array();
  for (CLabel* l : e.labels) {
    json j = LabelJson(l);
    j["path"] = EscapedLabelPath(l);
    j["path_names"] = LabelNames(l);
    labels.push_back(j);
  }
  a["filed_under"] = labels;
  if (e.article.LoadFeedDataToKeep()) a["feed"] = FeedJson(*e.article.GetRSSSubItem());
  return a;
}

// Style sheet text is raw in HTML: it only must not close its element.
std::string StyleText(const std::string& css) {
  std::string lower = css;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("</") == std::string::npos ? css : std::string();
}

std::string Now() {
  std::time_t t = std::time(nullptr);
  char text[32] = "";
  std::tm tm{};
  gmtime_r(&t, &tm);
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

std::string JsonDocument(std::map<int, Exported>& articles, const CLabel* scope) {
  json rows = json::array();
  for (auto& [id, e] : articles) rows.push_back(ArticleExport(e));
  const size_t count = rows.size();
  Report listing =
      Listing(Report::Kind::Articles, {{"exported", Now()}, {"label", scope ? LabelJson(scope) : json()}}, count);
  listing.data["articles"] = std::move(rows);
  return listing.data.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

// The stylesheet links a feed item's media to the copy in its folder; an
// enclosure kept as its address has no copy, so the page links the address.
std::string LinkRemoteEnclosure(CArticle& a, std::string body) {
  if (!a.LoadRssSubItem() || !a.GetRSSSubItem()) return body;
  const std::string remote = ToUtf8(a.GetRSSSubItem()->mimeUrl);
  if (!IsWebLink(remote) || PathExists(GetMediaCopyPath(a.filename), true)) return body;
  const std::string local = "href=\"./" + ToUtf8(a.filename) + "/mime.zevm\"";
  for (size_t at = body.find(local); at != std::string::npos; at = body.find(local, at + 1))
    body.replace(at, local.size(), "href=\"" + EscapeMarkup(remote) + "\"");
  return body;
}

std::string HtmlDocument(std::map<int, Exported>& articles, const CLabel* scope, std::vector<std::string>& warnings) {
  const std::u16string sheet = GetDaruFolder() + u"/default.xslt";
  std::string style, sections;
  for (auto& [id, e] : articles) {
    CArticle& a = e.article;
    std::string labels;
    for (CLabel* l : e.labels) labels += (labels.empty() ? "" : ", ") + LabelPath(l);
    sections += "<div class=\"article\" id=\"article-" + std::to_string(id) + "\">\n";
    sections += "<p class=\"meta\"><span class=\"label\">#" + std::to_string(id) + "</span>" +
                EscapeMarkup(TypeName(a.type)) + " · " + EscapeMarkup(ToUtf8(a.crdate.GetFmtString())) + " · " +
                (a.readflag ? "read" : "unread") + (a.impflag ? " · important" : "") +
                (labels.empty() ? "" : " · " + EscapeMarkup(labels)) + "</p>\n";
    try {
      RenderedParts parts = RenderDescriptionParts(a.GetDescriptionFilename(), sheet);
      if (style.empty()) style = parts.style;
      sections += LinkRemoteEnclosure(a, parts.body);
    } catch (const HostError& err) {
      warnings.push_back("#" + std::to_string(id) + ": " + err.what());
      sections +=
          "<h1>" + EscapeMarkup(ToUtf8(a.title)) + "</h1>\n<p class=\"meta\">" + EscapeMarkup(ToUtf8(a.url)) + "</p>\n";
    }
    sections += "</div>\n<hr>\n";
  }
  const std::string title = "daru: " + (scope ? ToUtf8(scope->name) : std::string("all articles"));
  return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + EscapeMarkup(title) +
         "</title>\n<style>\n" + StyleText(style) +
         "\ndiv.article { margin-bottom: 2em; }\n</style>\n</head>\n<body>\n" + "<p class=\"meta\">" +
         std::to_string(articles.size()) + " article(s), exported " + Now() + "</p>\n" + sections +
         "</body>\n</html>\n";
}

// What a bookmark file has no attribute for, in attributes of daru's own,
// which browsers keep or drop and daru import reads back.
std::string DaruAttributes(Exported& e) {
  CArticle& a = e.article;
  std::string out = std::string(" DARU_READ=\"") + (a.readflag ? "1" : "0") + "\"";
  if (a.impflag) out += " DARU_IMPORTANT=\"1\"";
  if (a.type != u"B") out += " DARU_TYPE=\"" + EscapeMarkup(ToUtf8(a.type)) + "\"";
  if (!e.comment.empty()) out += " DARU_COMMENT=\"" + EscapeMarkup(e.comment) + "\"";
  if (a.type == u"A" && a.LoadFeedDataToKeep()) {
    const CRSSSubItem* f = a.GetRSSSubItem();
    if (!f->channelTitle.empty()) out += " DARU_CHANNEL=\"" + EscapeMarkup(ToUtf8(f->channelTitle)) + "\"";
    if (!f->channelLink.empty()) out += " DARU_CHANNEL_LINK=\"" + EscapeMarkup(ToUtf8(f->channelLink)) + "\"";
    if (!f->pubDate.empty()) out += " DARU_PUBLISHED=\"" + EscapeMarkup(ToUtf8(f->pubDate)) + "\"";
    // Only an address: a file the item was captured with means nothing in another library.
    if (IsWebLink(ToUtf8(f->mimeUrl))) out += " DARU_ENCLOSURE=\"" + EscapeMarkup(ToUtf8(f->mimeUrl)) + "\"";
  }
  return out;
}

// How far folders are indented: deeper ones stand at this depth, so that the
// file grows with the number of labels and bookmarks, not with their depth.
constexpr size_t kMaxIndentDepth = 16;

std::string Indent(size_t depth) { return std::string(4 * std::min(depth, kMaxIndentDepth), ' '); }

void BookmarkLinks(const std::vector<Exported*>& filed, const std::string& indent, std::string& out, int& skipped) {
  for (Exported* e : filed) {
    CArticle& a = e->article;
    if (a.url.empty()) {
      ++skipped;
      continue;
    }
    out += indent + "<DT><A HREF=\"" + EscapeMarkup(ToUtf8(a.url)) + "\" ADD_DATE=\"" +
           std::to_string(a.crdate.GetTimeLong()) + "\"";
    if (!a.key1.empty()) out += " TAGS=\"" + EscapeMarkup(ToUtf8(a.key1)) + "\"";
    out += DaruAttributes(*e);
    out += ">" + EscapeMarkup(ToUtf8(a.title)) + "</A>\n";
    if (!e->description.empty()) out += indent + "<DD>" + EscapeMarkup(e->description) + "\n";
  }
}

// Folders follow the label tree; each article stands in every folder it is
// filed under. Walked with a stack of its own: a label tree may be far deeper
// than the program's stack.
void BookmarkFolders(CLabel* top, const std::map<CLabel*, std::vector<Exported*>>& byLabel,
                     const std::set<CLabel*>& needed, std::string& out, int& skipped) {
  struct Open {
    CLabel* label;
    CLabel* next;  // the next child to visit
  };
  std::set<CLabel*> visited;
  std::vector<Open> stack;
  auto enter = [&](CLabel* label) {
    const std::string indent = Indent(stack.size() + 1);
    out += indent + "<DT><H3>" + EscapeMarkup(ToUtf8(label->name)) + "</H3>\n" + indent + "<DL><p>\n";
    visited.insert(label);
    stack.push_back({label, label->firstChild});
  };
  enter(top);
  while (!stack.empty()) {
    Open& at = stack.back();
    CLabel* child = at.next;
    while (child && (!needed.count(child) || visited.count(child))) child = child->nextSibling;
    if (child) {
      at.next = child->nextSibling;
      enter(child);
      continue;
    }
    const std::string indent = Indent(stack.size());
    auto found = byLabel.find(at.label);
    if (found != byLabel.end()) BookmarkLinks(found->second, Indent(stack.size() + 1), out, skipped);
    out += indent + "</DL><p>\n";
    stack.pop_back();
  }
}

std::string BookmarkDocument(std::map<int, Exported>& articles, const std::vector<CLabel*>& scope, Session& s,
                             std::vector<std::string>& warnings) {
  std::map<CLabel*, std::vector<Exported*>> byLabel;
  std::set<CLabel*> needed;
  // A label and the labels above it; a label already needed has its own
  // above it needed too, so each walk stops there (and on a loop of parents).
  auto need = [&needed](CLabel* l) {
    for (CLabel* at = l; at && needed.insert(at).second; at = at->parent) {
    }
  };
  // Labels without articles are folders too, so an empty label comes back.
  for (CLabel* l : scope) need(l);
  for (auto& [id, e] : articles)
    for (CLabel* l : e.labels) {
      byLabel[l].push_back(&e);
      need(l);
    }
  std::string out =
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
      "<!-- Written by daru export; browsers and daru import read it. -->\n"
      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
      "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";
  int skipped = 0;
  if (CLabel* head = s.Tree()->GetHeadLabel(); head && needed.count(head))
    BookmarkFolders(head, byLabel, needed, out, skipped);
  out += "</DL><p>\n";
  if (skipped > 0) warnings.push_back(std::to_string(skipped) + " filing(s) of articles without a link left out");
  return out;
}

}  // namespace

ExportCommand::ExportCommand() : Command("export", "write the articles of a label's branch, or all, to stdout") {}

void ExportCommand::Define(CLI::App& cmd) {
  cmd.add_option("LABEL", m_label, "a label id or name");
  cmd.add_option("--format", m_format, "json, html, bookmarks or opml (the subscriptions)")->required();
}

void ExportCommand::Check() {
  if (m_format != "json" && m_format != "html" && m_format != "bookmarks" && m_format != "opml")
    throw UsageError("--format must be json, html, bookmarks or opml, not '" + m_format + "'");
}

Report ExportCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  std::vector<std::string>& warnings = c.warnings;
  if (m_format == "opml") return {Report::Kind::Document, {{"text", OpmlDocument(s)}}};
  CLabel* scope = m_label.empty() ? nullptr : s.ResolveLabel(m_label);
  std::vector<CLabel*> labels = scope ? Branch(scope) : s.Tree()->GetAllLabels();
  std::map<int, Exported> articles = Collect(s, labels, scope == nullptr);
  std::string text;
  if (m_format == "json")
    text = JsonDocument(articles, scope);
  else if (m_format == "html")
    text = HtmlDocument(articles, scope, warnings);
  else
    text = BookmarkDocument(articles, labels, s, warnings);
  return {Report::Kind::Document, {{"text", text}}};
}
