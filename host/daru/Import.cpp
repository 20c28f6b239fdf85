#include "daru/Import.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>

#include "daru/Capture.h"
#include "daru/FeedDate.h"
#include "daru/FeedParser.h"
#include "daru/Fetch.h"
#include "daru/Opml.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr size_t kMaxFeedBytes = 16 * 1024 * 1024;
constexpr size_t kMaxListedWarnings = 20;

struct Source : FeedSource {
  std::string bytes;
};

Source Load(const Request& r) {
  Source src;
  if (IsFetchable(r.source)) {
    FetchLimits limits;
    limits.timeoutSeconds = r.timeout;
    limits.maxBytes = kMaxFeedBytes;
    src.bytes = Fetch(r.source, limits, src.base);
    src.name = src.base;
    return src;
  }
  if (r.source.find("://") != std::string::npos)
    throw UsageError("import: only http:// and https:// addresses can be fetched; give a file as its path");
  std::error_code ec;
  const fs::path path = fs::absolute(r.source, ec).lexically_normal();
  if (ec || !fs::is_regular_file(path, ec)) throw HostError("no feed file " + r.source);
  const auto size = fs::file_size(path, ec);
  if (ec) throw HostError("cannot read " + path.string() + ": " + ec.message());
  if (size > kMaxFeedBytes)
    throw HostError("not a feed: " + path.string() + " is larger than " + std::to_string(kMaxFeedBytes >> 20) + " MiB");
  std::ifstream in(path, std::ios::binary);
  src.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) throw HostError("cannot read " + path.string());
  src.base = path.string();
  src.folder = path.parent_path();
  src.name = path.stem().string();
  return src;
}

// A label path of a bookmark file below the base label; the head label's
// own folder, as export writes it, stands for the head label.
class FolderLabels {
 public:
  FolderLabels(Session& s, CLabel* base, CLabel* loose) : m_s(s), m_base(base), m_loose(loose) {}

  CLabel* For(const std::vector<std::string>& folders) {
    if (folders.empty()) return m_loose;
    auto found = m_cache.find(folders);
    if (found != m_cache.end()) return found->second;
    CLabel* at = m_base;
    size_t first = 0;
    if (at == m_s.Tree()->GetHeadLabel() && FromUtf8(folders[0]) == at->name) first = 1;
    for (size_t i = first; i < folders.size(); ++i) at = ChildNamed(at, FromUtf8(folders[i]));
    return m_cache[folders] = at;
  }

 private:
  CLabel* ChildNamed(CLabel* parent, const std::u16string& name) {
    for (CLabel* c = parent->firstChild; c; c = c->nextSibling)
      if (c->name == name) return c;
    CLabel* made = m_s.Tree()->InsertLabel(parent, name);
    if (!made)
      throw HostError("cannot add the label '" + ToUtf8(name) + "': " + m_s.LastError("the catalogue refused it"));
    return made;
  }

  Session& m_s;
  CLabel* m_base;                                       // borrowed from the hierarchy
  CLabel* m_loose;                                      // borrowed: where bookmarks outside any folder go
  std::map<std::vector<std::string>, CLabel*> m_cache;  // borrowed labels
};

// A local enclosure is a file beside the feed file or below its folder: the
// path it would have there, or empty when it cannot name one.
std::u16string LocalMedia(const FeedSource& src, const std::string& enclosure) {
  if (src.folder.empty() || enclosure.empty() || enclosure.find(':') != std::string::npos) return u"";
  const std::u16string relative = FromUtf8(enclosure);
  if (!IsSafeTypePath(relative) || relative.find_first_of(u"*?") != std::u16string::npos) return u"";
  const std::u16string media = FromUtf8(src.folder.string()) + u"/" + relative;
  return PathExists(media, true) ? media : u"";
}

void Refuse(FiledItems& t, const FeedEntry& e, size_t index, const std::string& why,
            std::vector<std::string>& warnings) {
  ++t.refused;
  t.items.push_back({{"index", index}, {"title", e.title}, {"link", e.link}, {"result", "refused"}, {"reason", why}});
  if (static_cast<size_t>(t.refused) <= kMaxListedWarnings)
    warnings.push_back("item " + std::to_string(index + 1) + (e.title.empty() ? "" : " '" + e.title + "'") +
                       " refused: " + why);
}

// What a new article is stored with. A feed item is new to the reader:
// unread, and dated when the feed says it was published, else at the update,
// a second earlier for each item above it, so that a list in date order
// shows the feed's order. A bookmark gets back what daru's export wrote for
// it; a page is stored read unless the file says otherwise.
void NewArticleState(CCaptureRequest& request, const FeedEntry& e, bool bookmark, long long fetchedAt, size_t index) {
  if (bookmark) {
    request.read = e.read != 0;
    request.important = e.important;
    if (e.added > 0) request.created = e.added;
  } else {
    request.read = false;
    const std::optional<long long> published = ParseFeedDate(e.published);
    request.created = published ? *published : fetchedAt - static_cast<long long>(index);
  }
}

}  // namespace

FiledItems FileFeedItems(Session& s, const ParsedFeed& feed, const FeedSource& src, CLabel* chosen,
                         std::vector<std::string>& warnings) {
  const bool bookmarks = feed.format == "bookmarks";
  std::u16string channel = FromUtf8(!feed.channelTitle.empty()  ? feed.channelTitle
                                    : !feed.channelLink.empty() ? feed.channelLink
                                                                : src.name);
  CLabel* target = chosen;  // a feed's label, made only once an item is stored
  FolderLabels folders(s, chosen ? chosen : s.Tree()->GetHeadLabel(), chosen ? chosen : s.DefaultLabel());
  if (bookmarks)
    for (const std::vector<std::string>& folder : feed.folders) folders.For(folder);

  FiledItems t;
  const long long now = static_cast<long long>(std::time(nullptr));
  for (size_t i = 0; i < feed.entries.size(); ++i) {
    const FeedEntry& e = feed.entries[i];
    if (!e.refused.empty()) {
      Refuse(t, e, i, e.refused, warnings);
      continue;
    }
    CLabel* label = bookmarks ? folders.For(e.folders) : (target ? target : target = ChannelLabel(s, channel));
    // A bookmark comes back as the type daru's export wrote for it (a feed
    // item or a page); anything else in the file is a page.
    const bool feedItem = !bookmarks || e.type == "A";
    CCaptureRequest request;
    request.label = label;
    request.link = FromUtf8(e.link);
    request.title = FromUtf8(e.title);
    request.type = feedItem ? kFeedType : kBrowserType;
    request.description = FromUtf8(e.description);
    NewArticleState(request, e, bookmarks, src.fetchedAt ? src.fetchedAt : now, i);
    CRSSSubItem item;
    std::u16string media;
    if (bookmarks) {
      request.keywords = FromUtf8(e.tags);
      if (!e.comment.empty()) request.comment = FromUtf8(e.comment);
      // A feed item keeps its channel and date through a bookmark file.
      if (feedItem) {
        item.title = request.title;
        item.link = request.link;
        item.pubDate = FromUtf8(e.published);
        item.channelTitle = FromUtf8(e.channelTitle);
        item.channelLink = FromUtf8(e.channelLink);
        // Only an address comes back: a bookmark file names no file to copy.
        if (IsWebLink(e.enclosure)) item.mimeUrl = FromUtf8(e.enclosure);
        request.feedItem = &item;
      }
    } else {
      item.title = request.title;
      item.link = request.link;
      item.description = *request.description;
      item.pubDate = FromUtf8(e.published);
      item.channelTitle = FromUtf8(feed.channelTitle);
      item.channelLink = FromUtf8(feed.channelLink);
      media = LocalMedia(src, e.enclosure);
      if (!media.empty()) {
        // The one check the capture makes too: a refused file is not named in
        // the item's feed data either.
        const MediaCheck check = CheckMediaFile(media, FromUtf8(src.folder.string()));
        if (check != MediaCheck::Accepted) {
          warnings.push_back(MediaWarning(media, check) + " ('" + e.title + "')");
          media.clear();
        }
        item.mimeUrl = media;
      } else if (!e.enclosure.empty()) {
        // A remote enclosure stays an address; only files beside a feed file are copied.
        const std::string remote = IsWebLink(src.base) ? ResolveLink(e.enclosure, src.base) : e.enclosure;
        if (IsWebLink(remote))
          item.mimeUrl = FromUtf8(remote);
        else
          warnings.push_back("the enclosure '" + e.enclosure + "' of '" + e.title +
                             "' is neither a web address nor a file beside the feed; left out");
      }
      request.feedItem = &item;
      request.media = media;
      request.mediaFolder = FromUtf8(src.folder.string());
    }
    CCaptureOutcome outcome = s.Daru()->Capture(request);
    if (!outcome.Succeeded()) {
      // What was stored before it stays stored, and the message says how much.
      throw HostError("cannot store item " + std::to_string(i + 1) + " '" + e.title +
                      "': " + RefusalText(s, outcome, false) + " (item " + std::to_string(i + 1) +
                      " was not saved; the " + std::to_string(t.added) + " new and " + std::to_string(t.stored) +
                      " already stored item(s) before it were)");
    }
    CArticle* article = outcome.Article();
    json row = {
        {"index", i}, {"title", e.title}, {"link", e.link}, {"id", article->articleid}, {"label", LabelJson(label)}};
    if (outcome.restored) {
      ++t.restored;
      row["restored"] = true;
    }
    if (outcome.result != CaptureResult::New) {
      ++t.stored;
      row["result"] = outcome.result == CaptureResult::Filed ? "filed" : "already_filed";
      t.items.push_back(row);
      continue;
    }
    ++t.added;
    row["result"] = "new";
    if (outcome.media == MediaOutcome::Copied) row["media"] = ToUtf8(media);
    t.items.push_back(row);
  }
  t.label = target;
  return t;
}

Report Import(Session& s, const Request& r, std::vector<std::string>& warnings) {
  const Source src = Load(r);
  if (IsOpml(src.bytes)) return ImportOpml(s, src.bytes, r.label, warnings);
  const ParsedFeed feed = ParseFeed(src.bytes, src.base);
  const bool bookmarks = feed.format == "bookmarks";
  CLabel* chosen = r.label.empty() ? nullptr : s.ResolveLabel(r.label);
  const FiledItems t = FileFeedItems(s, feed, src, chosen, warnings);
  CLabel* target = t.label;

  if (t.refused > static_cast<int>(kMaxListedWarnings))
    warnings.push_back("and " + std::to_string(t.refused - static_cast<int>(kMaxListedWarnings)) +
                       " more item(s) refused (--json lists them all)");

  std::string where = bookmarks ? (chosen ? " below " + Named(chosen) : std::string())
                                : (target ? " into " + Named(target) : std::string());
  std::string what = bookmarks ? "bookmarks" : feed.format + " feed '" + feed.channelTitle + "'";
  std::string text = "imported " + what + where + ": " + std::to_string(t.added) + " new, " + std::to_string(t.stored) +
                     " already stored, " + std::to_string(t.refused) + " refused";
  if (t.restored > 0) text += "; restored the description files of " + std::to_string(t.restored) + " stored item(s)";
  Report report = Message(text, {{"format", feed.format},
                                 {"source", r.source},
                                 {"channel", {{"title", feed.channelTitle}, {"link", feed.channelLink}}},
                                 {"label", target ? LabelJson(target) : json()},
                                 {"new", t.added},
                                 {"already_stored", t.stored},
                                 {"refused", t.refused},
                                 {"restored", t.restored},
                                 {"items", t.items}});
  // Nothing could be taken from a document that had items: that is a failure.
  if (!feed.entries.empty() && t.refused == static_cast<int>(feed.entries.size())) report.status = 1;
  return report;
}
