#pragma once

#include <string>
#include <vector>

// One item of a feed or one bookmark, as the document gives it (UTF-8).
struct FeedEntry {
  std::string title;
  std::string link;  // absolute, resolved against the document's address
  std::string description;
  std::string published;             // the date text as the feed has it
  std::string enclosure;             // a media address as given (relative or absolute); empty when none
  std::vector<std::string> folders;  // bookmarks only: the folder path, outermost first
  long long added = 0;               // bookmarks only: ADD_DATE in seconds, 0 when absent
  std::string refused;               // why the entry cannot be stored; empty when it can
};

struct ParsedFeed {
  std::string format;  // "RSS 2.0", "RSS 1.0", "Atom 1.0" or "bookmarks"
  std::string channelTitle;
  std::string channelLink;
  std::vector<FeedEntry> entries;
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
