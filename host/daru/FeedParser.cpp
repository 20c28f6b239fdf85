#include "daru/FeedParser.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/uri.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <new>

#include "daru/Request.h"

namespace {

constexpr const char* kAtomNs = "http://www.w3.org/2005/Atom";
constexpr const char* kRdfNs = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr const char* kDcNs = "http://purl.org/dc/elements/1.1/";
constexpr const char* kContentNs = "http://purl.org/rss/1.0/modules/content/";
constexpr const char* kXsltNs = "http://www.w3.org/1999/XSL/Transform";

void Quiet(void*, const char*, ...) {}

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;
struct CtxtFree {
  void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};
struct HtmlCtxtFree {
  void operator()(htmlParserCtxt* c) const { htmlFreeParserCtxt(c); }
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// Runs of blanks, line breaks included, as one space: titles are single lines.
std::string OneLine(const std::string& s) {
  std::string out;
  bool blank = false;
  for (char c : Trim(s)) {
    bool isBlank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (isBlank && blank) continue;
    out.push_back(isBlank ? ' ' : c);
    blank = isBlank;
  }
  return out;
}

const char* Name(const xmlNode* n) { return reinterpret_cast<const char*>(n->name); }
const char* Ns(const xmlNode* n) { return n->ns && n->ns->href ? reinterpret_cast<const char*>(n->ns->href) : ""; }

bool Is(const xmlNode* n, const char* local, const char* ns) {
  return n && n->type == XML_ELEMENT_NODE && std::strcmp(Name(n), local) == 0 && std::strcmp(Ns(n), ns) == 0;
}

std::string Content(const xmlNode* n) {
  if (!n) return "";
  xmlChar* text = xmlNodeGetContent(n);
  std::string s = text ? reinterpret_cast<const char*>(text) : "";
  xmlFree(text);
  return s;
}

std::string Attr(const xmlNode* n, const char* name) {
  xmlChar* v = xmlGetProp(n, reinterpret_cast<const xmlChar*>(name));
  std::string s = v ? reinterpret_cast<const char*>(v) : "";
  xmlFree(v);
  return s;
}

// The first child element with the local name in one of the namespaces ("" is none).
const xmlNode* Child(const xmlNode* parent, const char* local, std::initializer_list<const char*> ns) {
  for (const xmlNode* c = parent ? parent->children : nullptr; c; c = c->next)
    for (const char* n : ns)
      if (Is(c, local, n)) return c;
  return nullptr;
}

}  // namespace

std::string ResolveLink(const std::string& link, const std::string& base) {
  if (link.empty() || base.empty()) return link;
  xmlChar* built =
      xmlBuildURI(reinterpret_cast<const xmlChar*>(link.c_str()), reinterpret_cast<const xmlChar*>(base.c_str()));
  std::string s = built ? reinterpret_cast<const char*>(built) : link;
  xmlFree(built);
  return s;
}

namespace {

// Which address relative links hang off: the document's when it came from
// the web, else the channel's.
std::string LinkBase(const std::string& base, const std::string& channelLink) {
  return IsWebLink(base) ? base : IsWebLink(channelLink) ? channelLink : std::string();
}

void Check(FeedEntry& e) {
  e.title = OneLine(e.title);
  e.link = Trim(e.link);
  e.description = Trim(e.description);
  e.published = OneLine(e.published);
  if (e.title.empty())
    e.refused = "it has no title";
  else if (e.link.empty())
    e.refused = "it has no link";
  else if (!IsWebLink(e.link))
    e.refused = "its link '" + e.link + "' is not a web address";
}

void ReadRss2(const xmlNode* root, const std::string& base, ParsedFeed& feed) {
  feed.format = "RSS 2.0";
  const xmlNode* channel = Child(root, "channel", {""});
  if (!channel) throw HostError("not a feed: the rss element holds no channel");
  feed.channelTitle = OneLine(Content(Child(channel, "title", {""})));
  feed.channelLink = Trim(Content(Child(channel, "link", {""})));
  const std::string linkBase = LinkBase(base, feed.channelLink);
  for (const xmlNode* item = channel->children; item; item = item->next) {
    if (!Is(item, "item", "")) continue;
    FeedEntry e;
    e.title = Content(Child(item, "title", {""}));
    e.link = Content(Child(item, "link", {""}));
    if (Trim(e.link).empty()) {
      // A permanent guid is the item's address when it has no link.
      const xmlNode* guid = Child(item, "guid", {""});
      if (guid && Lower(Attr(guid, "isPermaLink")) != "false") e.link = Content(guid);
    }
    e.link = ResolveLink(Trim(e.link), linkBase);
    const xmlNode* description = Child(item, "description", {""});
    e.description = Content(description ? description : Child(item, "encoded", {kContentNs}));
    const xmlNode* date = Child(item, "pubDate", {""});
    e.published = Content(date ? date : Child(item, "date", {kDcNs}));
    if (const xmlNode* enclosure = Child(item, "enclosure", {""})) e.enclosure = Trim(Attr(enclosure, "url"));
    Check(e);
    feed.entries.push_back(std::move(e));
  }
}

void ReadRss1(const xmlNode* root, const std::string& base, ParsedFeed& feed) {
  feed.format = "RSS 1.0";
  const xmlNode* channel = nullptr;
  for (const xmlNode* c = root->children; c && !channel; c = c->next)
    if (c->type == XML_ELEMENT_NODE && std::strcmp(Name(c), "channel") == 0) channel = c;
  if (!channel) throw HostError("not a feed: the RDF document holds no channel");
  const char* ns = Ns(channel);
  feed.channelTitle = OneLine(Content(Child(channel, "title", {ns})));
  feed.channelLink = Trim(Content(Child(channel, "link", {ns})));
  const std::string linkBase = LinkBase(base, feed.channelLink);
  for (const xmlNode* item = root->children; item; item = item->next) {
    if (!Is(item, "item", ns)) continue;
    FeedEntry e;
    e.title = Content(Child(item, "title", {ns}));
    e.link = ResolveLink(Trim(Content(Child(item, "link", {ns}))), linkBase);
    e.description = Content(Child(item, "description", {ns}));
    e.published = Content(Child(item, "date", {kDcNs}));
    Check(e);
    feed.entries.push_back(std::move(e));
  }
}

// The href of the first link with the relation; "alternate" also matches a link without one.
std::string AtomLink(const xmlNode* parent, const std::string& rel) {
  for (const xmlNode* c = parent->children; c; c = c->next) {
    if (!Is(c, "link", kAtomNs)) continue;
    std::string r = Trim(Attr(c, "rel"));
    if (r == rel || (r.empty() && rel == "alternate")) return Trim(Attr(c, "href"));
  }
  return "";
}

// An Atom text construct as markup or text: xhtml content is its inner markup
// serialised (its text alone would lose the paragraphs), html and text are the
// element's text. Content kept elsewhere (src) gives nothing.
std::string AtomContent(const xmlNode* n) {
  if (!n || !Attr(n, "src").empty()) return "";
  if (Lower(Trim(Attr(n, "type"))) != "xhtml") return Content(n);
  const xmlNode* div = nullptr;
  for (const xmlNode* c = n->children; c && !div; c = c->next)
    if (c->type == XML_ELEMENT_NODE) div = c;
  std::unique_ptr<xmlBuffer, decltype(&xmlBufferFree)> buffer(xmlBufferCreate(), &xmlBufferFree);
  if (!buffer) throw std::bad_alloc();
  for (const xmlNode* c = div ? div->children : n->children; c; c = c->next)
    xmlNodeDump(buffer.get(), n->doc, const_cast<xmlNode*>(c), 0, 0);
  return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                     static_cast<size_t>(xmlBufferLength(buffer.get())));
}

void ReadAtom(const xmlNode* root, const std::string& base, ParsedFeed& feed) {
  feed.format = "Atom 1.0";
  feed.channelTitle = OneLine(Content(Child(root, "title", {kAtomNs})));
  feed.channelLink = ResolveLink(AtomLink(root, "alternate"), IsWebLink(base) ? base : "");
  const std::string linkBase = LinkBase(base, feed.channelLink);
  for (const xmlNode* entry = root->children; entry; entry = entry->next) {
    if (!Is(entry, "entry", kAtomNs)) continue;
    FeedEntry e;
    e.title = Content(Child(entry, "title", {kAtomNs}));
    e.link = ResolveLink(AtomLink(entry, "alternate"), linkBase);
    // The full text is the description; the summary stands in when there is none.
    e.description = AtomContent(Child(entry, "content", {kAtomNs}));
    if (Trim(e.description).empty()) e.description = AtomContent(Child(entry, "summary", {kAtomNs}));
    const xmlNode* date = Child(entry, "published", {kAtomNs});
    e.published = Content(date ? date : Child(entry, "updated", {kAtomNs}));
    e.enclosure = AtomLink(entry, "enclosure");
    Check(e);
    feed.entries.push_back(std::move(e));
  }
}

// What daru's export writes beside the link, and the tags browsers write.
void ReadDaruAttributes(const xmlNode* a, FeedEntry& e) {
  e.tags = OneLine(Attr(a, "tags"));
  e.comment = Trim(Attr(a, "daru_comment"));
  const std::string type = Trim(Attr(a, "daru_type"));
  // Only the two types every catalogue has; anything else is a page.
  e.type = type == "A" ? "A" : "B";
  const std::string read = Trim(Attr(a, "daru_read"));
  e.read = read == "1" ? 1 : read == "0" ? 0 : -1;
  e.important = Trim(Attr(a, "daru_important")) == "1";
  e.channelTitle = OneLine(Attr(a, "daru_channel"));
  e.channelLink = Trim(Attr(a, "daru_channel_link"));
  e.published = OneLine(Attr(a, "daru_published"));
  e.enclosure = Trim(Attr(a, "daru_enclosure"));
}

constexpr int kMaxBookmarkDepth = 200;

// Netscape bookmark files are HTML of a loose kind: a DL per folder, its
// name in the H3 before it, and whether a DL sits inside the DT or after it
// varies between writers. Walking the nodes in document order with a folder
// stack reads both.
void WalkBookmarks(const xmlNode* node, std::vector<std::string>& folders, std::string& pendingFolder, ParsedFeed& feed,
                   int depth) {
  for (const xmlNode* n = node; n; n = n->next) {
    if (n->type != XML_ELEMENT_NODE) continue;
    const std::string name = Lower(Name(n));
    if (name == "h3") {
      pendingFolder = OneLine(Content(n));
      continue;
    }
    if (name == "a") {
      FeedEntry e;
      e.title = Content(n);
      e.link = Trim(Attr(n, "href"));
      e.folders = folders;
      std::string added = Attr(n, "add_date");
      if (!added.empty() && added.size() < 12 && std::all_of(added.begin(), added.end(), ::isdigit))
        e.added = std::stoll(added);
      ReadDaruAttributes(n, e);
      Check(e);
      feed.entries.push_back(std::move(e));
      continue;
    }
    if (name == "dd" && !feed.entries.empty() && feed.entries.back().description.empty()) {
      // The text of the DD itself; the DL that may follow inside it is walked below.
      std::string text;
      for (const xmlNode* c = n->children; c; c = c->next)
        if (c->type == XML_TEXT_NODE) text += reinterpret_cast<const char*>(c->content);
      feed.entries.back().description = Trim(text);
    }
    // Deeper than any bookmark file nests: refused whole, rather than read in
    // part or walked until the stack is gone.
    if (depth > kMaxBookmarkDepth)
      throw HostError("the bookmark file nests deeper than " + std::to_string(kMaxBookmarkDepth) +
                      " levels; nothing was imported");
    if (name == "dl") {
      const bool named = !pendingFolder.empty();
      if (named) {
        folders.push_back(pendingFolder);
        feed.folders.push_back(folders);
      }
      pendingFolder.clear();
      WalkBookmarks(n->children, folders, pendingFolder, feed, depth + 1);
      if (named) folders.pop_back();
    } else {
      WalkBookmarks(n->children, folders, pendingFolder, feed, depth + 1);
    }
  }
}

ParsedFeed ReadBookmarks(const std::string& bytes) {
  std::unique_ptr<htmlParserCtxt, HtmlCtxtFree> ctxt(htmlNewParserCtxt());
  if (!ctxt) throw std::bad_alloc();
  Doc doc(htmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, "UTF-8",
                             HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING));
  if (!doc) throw HostError("not a feed: the bookmark file cannot be read");
  ParsedFeed feed;
  feed.format = "bookmarks";
  std::vector<std::string> folders;
  std::string pending;
  // Only a DL after an H3 is a folder; the file's outer list is none.
  WalkBookmarks(xmlDocGetRootElement(doc.get()), folders, pending, feed, 0);
  return feed;
}

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return text.size() >= at + n && Lower(text.substr(at, n)) == Lower(prefix);
}

}  // namespace

bool IsWebLink(const std::string& link) {
  const std::string l = Lower(link.substr(0, 8));
  size_t hostAt = l.rfind("https://", 0) == 0 ? 8 : l.rfind("http://", 0) == 0 ? 7 : l.rfind("ftp://", 0) == 0 ? 6 : 0;
  if (hostAt == 0 || link.size() <= hostAt || link[hostAt] == '/') return false;
  return std::none_of(link.begin(), link.end(), [](char c) { return static_cast<unsigned char>(c) <= 0x20; });
}

ParsedFeed ParseFeed(const std::string& bytes, const std::string& base) {
  size_t start = bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  start = bytes.find_first_not_of(" \t\r\n", start);
  if (start == std::string::npos) throw HostError("not a feed: the document is empty");
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) throw HostError("not a feed: the document is too large");
  if (StartsWithNoCase(bytes, start, "<!DOCTYPE NETSCAPE-Bookmark-file-1")) return ReadBookmarks(bytes);

  xmlSetGenericErrorFunc(nullptr, Quiet);
  std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
  if (!ctxt) throw std::bad_alloc();
  // No network and no DTD loading; entities are never substituted from outside.
  Doc doc(xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                            XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA));
  if (!doc) {
    const std::string head = Lower(bytes.substr(start, 512));
    if (head.rfind("<!doctype html", 0) == 0 || head.find("<html") != std::string::npos)
      throw HostError("not a feed: it is an HTML page");
    std::string why = "not well-formed XML";
    if (const xmlError* e = xmlCtxtGetLastError(ctxt.get()); e && e->message)
      why += " (line " + std::to_string(e->line) + ": " + Trim(e->message) + ")";
    throw HostError("not a feed: " + why);
  }
  const xmlNode* root = xmlDocGetRootElement(doc.get());
  if (!root) throw HostError("not a feed: the document is empty");
  ParsedFeed feed;
  if (Is(root, "rss", ""))
    ReadRss2(root, base, feed);
  else if (Is(root, "RDF", kRdfNs))
    ReadRss1(root, base, feed);
  else if (Is(root, "feed", kAtomNs))
    ReadAtom(root, base, feed);
  else if (std::strcmp(Ns(root), kXsltNs) == 0)
    throw HostError("not a feed: it is an XSLT stylesheet");
  else if (Lower(Name(root)) == "html")
    throw HostError("not a feed: it is an HTML page");
  else
    throw HostError(std::string("not a feed: its root element is <") + Name(root) +
                    ">, not an RSS 2.0, RSS 1.0 or Atom 1.0 feed");
  return feed;
}
