#include "daru/Opml.h"

#include <libxml/parser.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <set>

#include "daru/Capture.h"
#include "daru/FeedParser.h"
#include "daru/Fetch.h"
#include "daru/Markup.h"
#include "daru/Request.h"

namespace {

using nlohmann::json;

void Quiet(void*, const char*, ...) {}

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

// Outlines nest no deeper than this; deeper ones are read as if flat.
constexpr int kMaxDepth = 64;

Doc Read(const std::string& bytes) {
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return nullptr;
  xmlSetGenericErrorFunc(nullptr, Quiet);
  // Documents come from anywhere: no network, no DTD, no entities from outside.
  return Doc(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

bool IsElement(const xmlNode* n, const char* name) {
  return n && n->type == XML_ELEMENT_NODE && xmlStrcasecmp(n->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

// Attribute names differ in case between writers (xmlUrl, xmlurl).
std::string Attr(const xmlNode* n, const char* name) {
  for (const xmlAttr* a = n->properties; a; a = a->next) {
    if (xmlStrcasecmp(a->name, reinterpret_cast<const xmlChar*>(name)) != 0) continue;
    xmlChar* v = xmlNodeListGetString(n->doc, a->children, 1);
    std::string s = v ? reinterpret_cast<const char*>(v) : "";
    xmlFree(v);
    size_t b = s.find_first_not_of(" \t\r\n");
    return b == std::string::npos ? "" : s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
  }
  return "";
}

struct Outline {
  std::string url, title;
  std::vector<std::string> folders;
};

void Walk(const xmlNode* node, std::vector<std::string>& folders, std::vector<Outline>& out, int depth) {
  for (const xmlNode* n = node; n; n = n->next) {
    if (!IsElement(n, "outline")) continue;
    const std::string url = Attr(n, "xmlUrl");
    std::string title = Attr(n, "text");
    if (title.empty()) title = Attr(n, "title");
    if (!url.empty()) {
      out.push_back({url, title, folders});
      continue;
    }
    const bool folder = !title.empty() && depth < kMaxDepth;
    if (folder) folders.push_back(title);
    Walk(n->children, folders, out, depth + 1);
    if (folder) folders.pop_back();
  }
}

CLabel* ChildNamed(Session& s, CLabel* parent, const std::u16string& name) {
  for (CLabel* c = parent->firstChild; c; c = c->nextSibling)
    if (c->name == name) return c;
  CLabel* made = s.Tree()->InsertLabel(parent, name);
  if (!made) throw HostError("cannot add the label '" + ToUtf8(name) + "': " + s.LastError("the catalogue refused it"));
  return made;
}

std::string Rfc822Now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[64] = "";
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return text;
}

// The folders a subscription stands in: its label's path below the favourite
// feeds (or the head label), none for the feed's own channel label.
std::vector<std::string> FoldersOf(Session& s, const CSubscription& sub) {
  CLabel* label = sub.labelid ? s.Tree()->FindLabel(sub.labelid) : nullptr;
  CLabel* fav = s.Tree()->GetFavRSSLabel();
  CLabel* head = s.Tree()->GetHeadLabel();
  if (!label || label == fav || label == head) return {};
  if (label->parent == fav && !sub.title.empty() && label->name == sub.title) return {};
  std::vector<std::string> path;
  std::set<CLabel*> seen;
  for (CLabel* at = label; at && at != fav && at != head && seen.insert(at).second; at = at->parent)
    path.insert(path.begin(), ToUtf8(at->name));
  return path;
}

}  // namespace

bool IsOpml(const std::string& bytes) {
  // The root element's name, past the declaration, comments and a doctype.
  size_t at = 0;
  for (int steps = 0; steps < 32; ++steps) {
    at = bytes.find('<', at);
    if (at == std::string::npos || at + 1 >= bytes.size()) return false;
    const char next = bytes[at + 1];
    if (next == '?' || next == '!') {
      at = bytes.find('>', at);
      if (at == std::string::npos) return false;
      continue;
    }
    std::string name;
    for (size_t i = at + 1; i < bytes.size() && name.size() < 8 && std::isalnum(static_cast<unsigned char>(bytes[i]));
         ++i)
      name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(bytes[i]))));
    return name == "opml";
  }
  return false;
}

Report ImportOpml(Session& s, const std::string& bytes, const std::string& label, std::vector<std::string>& warnings) {
  Doc doc = Read(bytes);
  const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (!root || !IsElement(root, "opml")) throw HostError("not an OPML file: it is not well-formed XML");
  const xmlNode* body = nullptr;
  for (const xmlNode* c = root->children; c && !body; c = c->next)
    if (IsElement(c, "body")) body = c;
  if (!body) throw HostError("not an OPML file: it has no body");
  std::vector<Outline> outlines;
  std::vector<std::string> folders;
  Walk(body->children, folders, outlines, 0);

  CLabel* base = label.empty() ? s.Tree()->GetFavRSSLabel() : s.ResolveLabel(label);
  if (!base) throw HostError("the catalogue has no favourite-feeds label (#2)");
  CDB* db = s.Daru()->GetDB();
  std::vector<CSubscription> kept;
  if (!db || !db->QuerySubscriptions(kept))
    throw HostError("cannot read the subscriptions: " + s.LastError("the catalogue refused it"));
  std::set<std::string> known;
  for (const CSubscription& k : kept) known.insert(ToUtf8(k.url));

  int added = 0, already = 0, refused = 0;
  json rows = json::array();
  for (const Outline& o : outlines) {
    json row = {{"url", o.url}, {"title", o.title}, {"folders", o.folders}};
    if (!IsFetchable(o.url) || !IsWebLink(o.url)) {
      ++refused;
      row["result"] = "refused";
      warnings.push_back("the outline '" + o.title + "' refused: its address '" + o.url + "' is not http or https");
      rows.push_back(row);
      continue;
    }
    if (!known.insert(o.url).second) {
      ++already;
      row["result"] = "already_subscribed";
      rows.push_back(row);
      continue;
    }
    CLabel* at = base;
    for (const std::string& f : o.folders) at = ChildNamed(s, at, FromUtf8(f));
    CSubscription sub;
    sub.url = FromUtf8(o.url);
    sub.title = FromUtf8(o.title);
    // Outside any folder and without --label: the channel's label, made at the first update.
    sub.labelid = o.folders.empty() && label.empty() ? 0 : at->labelid;
    if (!db->AddSubscription(sub))
      throw HostError("cannot keep the subscription to " + o.url + ": " + s.LastError("the catalogue refused it") +
                      " (" + std::to_string(added) + " kept before it)");
    ++added;
    row["result"] = "subscribed";
    row["id"] = sub.subscriptionid;
    rows.push_back(row);
  }
  std::string text = "imported OPML: " + std::to_string(added) + " subscribed, " + std::to_string(already) +
                     " already subscribed, " + std::to_string(refused) + " refused" +
                     (added > 0 ? "; 'daru update' fetches them" : "");
  Report report = Message(text, {{"format", "OPML"},
                                 {"subscribed", added},
                                 {"already_subscribed", already},
                                 {"refused", refused},
                                 {"outlines", rows}});
  if (!outlines.empty() && refused == static_cast<int>(outlines.size())) report.status = 1;
  return report;
}

std::string OpmlDocument(Session& s) {
  std::vector<CSubscription> subs;
  CDB* db = s.Daru()->GetDB();
  if (!db || !db->QuerySubscriptions(subs))
    throw HostError("cannot read the subscriptions: " + s.LastError("the catalogue refused it"));
  // A tree of folders, written in the order the subscriptions were added.
  struct Folder {
    std::string name;
    std::vector<Folder> folders;
    std::vector<const CSubscription*> feeds;
    Folder& Child(const std::string& n) {
      for (Folder& f : folders)
        if (f.name == n) return f;
      folders.push_back({n, {}, {}});
      return folders.back();
    }
  };
  Folder top;
  for (const CSubscription& sub : subs) {
    Folder* at = &top;
    for (const std::string& f : FoldersOf(s, sub)) at = &at->Child(f);
    at->feeds.push_back(&sub);
  }
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\">\n<head>\n"
      "<title>daru subscriptions</title>\n<dateCreated>" +
      Rfc822Now() + "</dateCreated>\n</head>\n<body>\n";
  std::function<void(const Folder&, const std::string&)> write = [&](const Folder& f, const std::string& indent) {
    for (const Folder& child : f.folders) {
      out +=
          indent + "<outline text=\"" + EscapeMarkup(child.name) + "\" title=\"" + EscapeMarkup(child.name) + "\">\n";
      write(child, indent + "  ");
      out += indent + "</outline>\n";
    }
    for (const CSubscription* sub : f.feeds) {
      const std::string title = EscapeMarkup(ToUtf8(sub->title.empty() ? sub->url : sub->title));
      out += indent + "<outline type=\"rss\" text=\"" + title + "\" title=\"" + title + "\" xmlUrl=\"" +
             EscapeMarkup(ToUtf8(sub->url)) + "\"/>\n";
    }
  };
  write(top, "  ");
  out += "</body>\n</opml>\n";
  return out;
}
