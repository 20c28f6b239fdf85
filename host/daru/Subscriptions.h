#pragma once

#include <functional>
#include <string>
#include <vector>

#include "daru/Output.h"
#include "daru/Session.h"

// daru subscribe, feeds, unsubscribe and update: feeds kept in the
// catalogue, fetched again on request, their new items filed the way import
// files them.

// Fetches the feed once, files its items and keeps the subscription; label
// empty: the channel's label below the favourite feeds.
Report Subscribe(Session& s, const std::string& url, const std::string& label, long timeoutSeconds,
                 std::vector<std::string>& warnings);

// Every subscription with its label, its items, the unread ones among them,
// its last update and its last error.
Report Feeds(Session& s);

// Forgets a subscription (FEED: its id, #id or its address). Unless
// keepArticles, its label goes with its articles when the label is the
// subscription's own (no other subscription files there, no label below it,
// not one of the fixed labels); otherwise the articles stay, with a warning.
Report Unsubscribe(Session& s, const std::string& feed, bool keepArticles, std::vector<std::string>& warnings);

// What one update did to one subscription.
struct FeedUpdateResult {
  CSubscription subscription;  // as it is kept after the update
  std::string label;           // the label's name; empty when none yet
  int added = 0, stored = 0, refused = 0;
  bool notModified = false;
  std::string error;  // empty unless it failed
};

struct UpdateProgress {
  size_t fetched = 0;  // transfers ended
  size_t filed = 0;    // feeds whose items are filed
  size_t total = 0;
};

// Updates the subscriptions named (all when feeds is empty): every feed is
// fetched at once, at most jobs transfers at a time, with the validators of
// its last fetch; the new items of each are filed through import's filing.
// One feed's failure is kept in its result and its row; the others go on.
// progress, when given, hears after each transfer and each filing.
std::vector<FeedUpdateResult> UpdateSubscriptions(Session& s, const std::vector<std::string>& feeds, int jobs,
                                                  long timeoutSeconds, std::vector<std::string>& warnings,
                                                  const std::function<void(const UpdateProgress&)>& progress = {});

// daru update: the above, with a progress line on a terminal; status 1 when any feed failed.
Report Update(Session& s, const std::vector<std::string>& feeds, int jobs, long timeoutSeconds, bool showProgress,
              std::vector<std::string>& warnings);
