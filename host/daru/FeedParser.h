#pragma once

#include <string>
#include <vector>

// One item of a feed or one bookmark, as the document gives it (UTF-8).
struct FeedEntry {
  std::string title;
  std::string link;  // absolute, resolved against the document's address
  std::string description;
  std::string published;             // the date text as the feed has it
  std::string enclosure;             // a media address as given (relative or absolute; DARU_ENCLOSURE); empty when none
  std::vector<std::string> folders;  // bookmarks only: the folder path, outermost first
  long long added = 0;               // bookmarks only: ADD_DATE in seconds, 0 when absent
  // Bookmarks only: what a bookmark file carries besides the link. daru's own
  // attributes come back from its export; TAGS is what browsers write too.
  std::string tags;          // TAGS, as written
  std::string comment;       // DARU_COMMENT
  std::string type;          // DARU_TYPE: "A" for a feed item, "B" or empty for a page
  int read = -1;             // DARU_READ: 1 read, 0 unread, -1 not said
  bool important = false;    // DARU_IMPORTANT
  std::string channelTitle;  // DARU_CHANNEL, DARU_CHANNEL_LINK: a feed item's channel
  std::string channelLink;
  std::string refused;  // why the entry cannot be stored; empty when it can
};

struct ParsedFeed {
  std::string format;  // "RSS 2.0", "RSS 1.0", "Atom 1.0" or "bookmarks"
  std::string channelTitle;
  std::string channelLink;
  std::vector<FeedEntry> entries;
  std::vector<std::vector<std::string>> folders;  // bookmarks only: every folder path, empty ones too
};

// Reads a feed document. base is the address (URL or absolute path) the
// document came from; relative links resolve against it. Documents come from
// anywhere: no network, no external entities, no DTD loading, and the
// engine's limits on entity expansion stay on. Throws HostError saying what
// the document is when it is not a feed.
ParsedFeed ParseFeed(const std::string& bytes, const std::string& base);

// True for a link a reader may open: http, https or ftp with a host.
bool IsWebLink(const std::string& link);

// A link relative to base made absolute; the link itself when it is absolute or cannot be resolved.
std::string ResolveLink(const std::string& link, const std::string& base);
