#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "daru/FeedParser.h"
#include "daru/Output.h"
#include "daru/Request.h"
#include "daru/Session.h"

// daru import: the items of an RSS 2.0, RSS 1.0 or Atom 1.0 feed, the
// bookmarks of a bookmark file, or the subscriptions of an OPML file, from a
// file or an http(s) address.
Report Import(Session& s, const Request& r, std::vector<std::string>& warnings);

// Where a parsed feed came from.
struct FeedSource {
  std::string base;              // the address relative links resolve against
  std::filesystem::path folder;  // a feed file's folder, where its local enclosures lie; empty for a fetched feed
  std::string name;              // a name for the channel when the feed gives none
  long long fetchedAt = 0;       // seconds since the epoch the feed was read; 0: now
};

// What filing a feed's items did.
struct FiledItems {
  int added = 0, stored = 0, refused = 0, restored = 0;
  nlohmann::json items = nlohmann::json::array();
  CLabel* label = nullptr;  // borrowed: the feed's label (null for bookmarks, or when nothing was stored)
};

// Files every item of a parsed feed the way import does: under chosen, else
// a label named after the channel below the favourite feeds, made once an
// item is stored (bookmarks: their folders below chosen or the head label).
// import, subscribe and update all file their items through this. Throws
// HostError when the catalogue refuses an item; what was stored before stays.
FiledItems FileFeedItems(Session& s, const ParsedFeed& feed, const FeedSource& src, CLabel* chosen,
                         std::vector<std::string>& warnings);
