#include "daru/Output.h"

#include <algorithm>
#include <vector>

#include "daru/TerminalText.h"
#include "darulib.h"

namespace {

using nlohmann::json;

int CodePointWidth(char32_t c) {
  if (c == 0 || (c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) || (c >= 0xFE00 && c <= 0xFE0F)) return 0;
  if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
      (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
      (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
      (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD))
    return 2;
  return 1;
}

// Control characters from a catalogue or a feed must not steer the terminal.
std::string Printable(const std::string& s) { return TerminalSafe(s); }

std::string Pad(const std::string& s, size_t width) {
  size_t w = DisplayWidth(s);
  return s + std::string(w < width ? width - w : 0, ' ');
}

std::string Text(const json& j, const char* key) {
  return j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : "";
}

void PrintTable(const std::vector<std::vector<std::string>>& rows, std::ostream& out) {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
  }
  for (const auto& row : rows) {
    std::string line;
    for (size_t c = 0; c < row.size(); ++c) line += c + 1 < row.size() ? Pad(row[c], widths[c]) + "  " : row[c];
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  }
}

std::string State(const json& a) {
  std::string s;
  s += a.value("read", true) ? " " : "*";
  s += a.value("important", false) ? "!" : " ";
  return s;
}

void PrintArticles(const json& data, std::ostream& out) {
  const json& list = data["articles"];
  if (list.empty()) {
    out << "(no articles)\n";
    return;
  }
  std::vector<std::vector<std::string>> rows{{"ID", "", "CREATED", "TITLE", "KEYWORDS"}};
  for (const json& a : list)
    rows.push_back({std::to_string(a.value("id", 0)), State(a), Text(a, "created_text"), Printable(Text(a, "title")),
                    Printable(Text(a, "keywords"))});
  PrintTable(rows, out);
  out << list.size() << (list.size() == 1 ? " article" : " articles") << "  (* unread, ! important)\n";
}

void PrintLabelNode(const json& node, const std::string& prefix, bool last, bool top, std::ostream& out) {
  out << prefix
      << (top    ? ""
          : last ? "└── "
                 : "├── ")
      << Printable(Text(node, "name")) << "  #" << node.value("id", 0) << "  (" << node.value("articles", 0) << ")\n";
  const json& children = node["children"];
  for (size_t i = 0; i < children.size(); ++i) {
    PrintLabelNode(children[i], top ? prefix : prefix + (last ? "    " : "│   "), i + 1 == children.size(), false, out);
  }
}

void PrintLabels(const json& data, std::ostream& out) {
  if (data["tree"].is_null())
    out << "(no head label)\n";
  else
    PrintLabelNode(data["tree"], "", true, true, out);
  if (!data["outside"].empty()) {
    out << "\nOutside the tree (their parent is missing):\n";
    for (const json& node : data["outside"]) PrintLabelNode(node, "  ", true, true, out);
  }
}

void Field(std::vector<std::vector<std::string>>& rows, const std::string& name, const std::string& value) {
  if (!value.empty()) rows.push_back({"  " + name, Printable(value)});
}

void Block(const std::string& title, const std::string& text, std::ostream& out) {
  out << '\n' << title << '\n';
  if (text.empty()) {
    out << "  (none)\n";
    return;
  }
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out << "  " << Printable(text.substr(start, end - start)) << '\n';
    start = end + 1;
  }
}

void PrintArticle(const json& data, std::ostream& out) {
  const json& a = data["article"];
  out << '#' << a.value("id", 0) << "  " << Printable(Text(a, "title")) << '\n';
  std::vector<std::vector<std::string>> rows;
  Field(rows, "link", Text(a, "url"));
  Field(rows, "type", a.contains("type_name") ? Text(a, "type_name") : Text(a, "type"));
  std::string labels;
  for (const json& l : a.value("filed_under", json::array()))
    labels += (labels.empty() ? "" : ", ") + Text(l, "name") + " #" + std::to_string(l.value("id", 0));
  Field(rows, "labels", labels);
  Field(rows, "created", Text(a, "created_text"));
  Field(rows, "read", a.value("read", false) ? "yes " + Text(a, "read_at_text") : "no");
  Field(rows, "important", a.value("important", false) ? "yes" : "no");
  Field(rows, "keywords", Text(a, "keywords"));
  Field(rows, "file", Text(a, "description_file"));
  PrintTable(rows, out);
  if (a.contains("description")) Block("Description", Text(a, "description"), out);
  if (a.contains("comment")) Block("Comment", Text(a, "comment"), out);
  if (a.contains("feed")) {
    const json& f = a["feed"];
    out << "\nFeed item\n";
    std::vector<std::vector<std::string>> feed;
    Field(feed, "title", Text(f, "title"));
    Field(feed, "link", Text(f, "link"));
    Field(feed, "published", Text(f, "published_text"));
    Field(feed, "channel", Text(f, "channel_title"));
    Field(feed, "channel link", Text(f, "channel_link"));
    Field(feed, "media", Text(f, "media_copy"));
    Field(feed, "media source", Text(f, "media_source"));
    PrintTable(feed, out);
  }
}

// One line per finding, then what it comes to.
void PrintFindings(const json& data, std::ostream& out) {
  for (const json& f : data.value("findings", json::array()))
    out << Printable(Text(f, "fault")) << ": " << Printable(Text(f, "text"))
        << (f.value("repaired", false) ? "  [repaired]" : "") << '\n';
  out << Printable(Text(data, "message")) << '\n';
}

}  // namespace

size_t DisplayWidth(const std::string& utf8) {
  size_t width = 0;
  for (size_t i = 0; i < utf8.size();) width += CodePointWidth(NextCodePoint(utf8, i));
  return width;
}

void PrintReport(const Report& report, bool json, std::ostream& out) {
  // A document is in its own format already, JSON or not.
  if (json && report.kind != Report::Kind::Document) {
    // Text from the catalogue may hold lone surrogates, which are not UTF-8: replace, never throw.
    out << report.data.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    return;
  }
  switch (report.kind) {
    case Report::Kind::Message:
      out << Printable(Text(report.data, "message")) << '\n';
      break;
    case Report::Kind::Labels:
      PrintLabels(report.data, out);
      break;
    case Report::Kind::Articles:
      PrintArticles(report.data, out);
      break;
    case Report::Kind::Article:
      PrintArticle(report.data, out);
      break;
    case Report::Kind::Raw:
    case Report::Kind::Document:
      // Raw text and documents are written as they are: they are meant for a file or a browser.
      out << Text(report.data, "text");
      break;
    case Report::Kind::Findings:
      PrintFindings(report.data, out);
      break;
  }
}

Report Listing(Report::Kind kind, nlohmann::json data, size_t count) {
  data["count"] = count;
  return {kind, std::move(data)};
}
