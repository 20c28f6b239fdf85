#include "daru/Subscriptions.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <iostream>

#include "daru/Capture.h"
#include "daru/FeedParser.h"
#include "daru/FeedUpdate.h"
#include "daru/Import.h"
#include "daru/Request.h"

namespace {

using nlohmann::json;

constexpr size_t kMaxFeedBytes = 16 * 1024 * 1024;

CDB* Store(Session& s) {
  CDB* db = s.Daru()->GetDB();
  if (!db) throw HostError("the catalogue is not open");
  return db;
}

std::vector<CSubscription> AllSubscriptions(Session& s) {
  std::vector<CSubscription> subs;
  if (!Store(s)->QuerySubscriptions(subs))
    throw HostError("cannot read the subscriptions: " + s.LastError("the catalogue refused it"));
  return subs;
}

FetchLimits Limits(long timeoutSeconds) {
  FetchLimits limits;
  limits.timeoutSeconds = timeoutSeconds;
  limits.maxBytes = kMaxFeedBytes;
  return limits;
}

// Texts from feeds and the catalogue must not steer the terminal.
std::string Clean(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return out;
}

long long Now() { return static_cast<long long>(std::time(nullptr)); }

// A subscription by id (12 or #12) or by its address.
const CSubscription& Find(const std::vector<CSubscription>& subs, const std::string& reference) {
  std::string_view digits = reference;
  if (!digits.empty() && digits[0] == '#') digits.remove_prefix(1);
  int id = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  const bool isId = !digits.empty() && ec == std::errc() && end == digits.data() + digits.size();
  for (const CSubscription& sub : subs)
    if ((isId && sub.subscriptionid == id) || ToUtf8(sub.url) == reference) return sub;
  throw HostError("no subscription " + reference + " ('daru feeds' lists them)");
}

std::string When(long long seconds) {
  if (seconds <= 0) return "";
  CStdTime t;
  t.SetTimeLong(static_cast<long>(seconds));
  return ToUtf8(t.GetFmtString());
}

CLabel* LabelOf(Session& s, const CSubscription& sub) {
  return sub.labelid != 0 ? s.Tree()->FindLabel(sub.labelid) : nullptr;
}

json SubscriptionJson(Session& s, const CSubscription& sub) {
  CLabel* label = LabelOf(s, sub);
  return {{"id", sub.subscriptionid},
          {"url", ToUtf8(sub.url)},
          {"title", ToUtf8(sub.title)},
          {"label", label ? LabelJson(label) : json()},
          {"last_update", When(sub.lastFetched)},
          {"last_update_seconds", sub.lastFetched},
          {"last_error", ToUtf8(sub.lastError)}};
}

// Parses and files one fetched feed; the subscription takes what the fetch
// and the filing left. Throws HostError for a document that is no feed or
// an item the catalogue refuses.
void FileFetched(Session& s, const FeedFetch& fetch, CSubscription& sub, CLabel* chosen, FeedUpdateResult& result,
                 std::vector<std::string>& warnings) {
  const ParsedFeed feed = ParseFeed(fetch.body, fetch.finalUrl);
  if (feed.format == "bookmarks") throw HostError("not a feed: it is a bookmark file");
  FeedSource src;
  src.base = fetch.finalUrl;
  src.name = ToUtf8(sub.url);
  src.fetchedAt = Now();
  std::vector<std::string> told;
  const FiledItems filed = FileFeedItems(s, feed, src, chosen, told);
  for (const std::string& w : told) warnings.push_back(ToUtf8(sub.url) + ": " + w);
  result.added = filed.added;
  result.stored = filed.stored;
  result.refused = filed.refused;
  if (filed.label) sub.labelid = filed.label->labelid;
  if (!feed.channelTitle.empty()) sub.title = FromUtf8(feed.channelTitle);
  sub.etag = FromUtf8(fetch.newEtag);
  sub.lastModified = FromUtf8(fetch.newLastModified);
  sub.lastFetched = src.fetchedAt;
  sub.lastError.clear();
}

}  // namespace

Report Subscribe(Session& s, const std::string& url, const std::string& label, long timeoutSeconds,
                 std::vector<std::string>& warnings) {
  if (!IsFetchable(url)) throw UsageError("subscribe: give an http:// or https:// address");
  CLabel* chosen = label.empty() ? nullptr : s.ResolveLabel(label);
  for (const CSubscription& sub : AllSubscriptions(s))
    if (ToUtf8(sub.url) == url)
      throw HostError("already subscribed to " + url + " as #" + std::to_string(sub.subscriptionid));

  std::vector<FeedFetch> fetches(1);
  fetches[0].url = url;
  FetchFeeds(fetches, 1, Limits(timeoutSeconds));
  const FeedFetch& fetch = fetches[0];
  if (fetch.outcome != FeedFetch::Outcome::Fetched) throw HostError("cannot fetch " + url + ": " + fetch.error);
  // A document that is no feed is refused before anything is kept.
  const ParsedFeed probe = ParseFeed(fetch.body, fetch.finalUrl);
  if (probe.format == "bookmarks") throw HostError("not a feed: " + url + " is a bookmark file");

  CSubscription sub;
  sub.url = FromUtf8(url);
  sub.labelid = chosen ? chosen->labelid : 0;
  if (!Store(s)->AddSubscription(sub))
    throw HostError("cannot keep the subscription: " + s.LastError("the catalogue refused it"));
  FeedUpdateResult result;
  try {
    FileFetched(s, fetch, sub, chosen, result, warnings);
  } catch (const HostError& e) {
    sub.lastFetched = Now();
    sub.lastError = FromUtf8(e.what());
    Store(s)->UpdateSubscription(sub);
    throw HostError(std::string(e.what()) + " (the subscription #" + std::to_string(sub.subscriptionid) +
                    " is kept; 'daru update' tries again)");
  }
  if (!Store(s)->UpdateSubscription(sub))
    warnings.push_back("the items are filed, but the subscription's state could not be kept: " +
                       s.LastError("the catalogue refused it"));
  CLabel* into = LabelOf(s, sub);
  std::string text = "subscribed to " + url + " as #" + std::to_string(sub.subscriptionid) +
                     (into ? " into " + Named(into) : std::string()) + ": " + std::to_string(result.added) + " new, " +
                     std::to_string(result.stored) + " already stored, " + std::to_string(result.refused) + " refused";
  json data = SubscriptionJson(s, sub);
  data["new"] = result.added;
  data["already_stored"] = result.stored;
  data["refused"] = result.refused;
  return Message(text, {{"subscription", data}});
}

Report Feeds(Session& s) {
  json rows = json::array();
  std::string text;
  const std::vector<CSubscription> subs = AllSubscriptions(s);
  for (const CSubscription& sub : subs) {
    json row = SubscriptionJson(s, sub);
    int items = 0, unread = 0;
    if (CLabel* label = LabelOf(s, sub)) {
      const int found = s.Daru()->QueryArticle(label, CArticle(), 0);
      if (found < 0)
        throw HostError("cannot read the articles of " + Named(label) + ": " + s.LastError("query failed"));
      for (CArticle* a : s.Daru()->GetArticleList()) {
        ++items;
        unread += a->readflag ? 0 : 1;
      }
    }
    row["items"] = items;
    row["unread"] = unread;
    rows.push_back(row);
    text +=
        "#" + std::to_string(sub.subscriptionid) + "  " + Clean(ToUtf8(sub.title.empty() ? sub.url : sub.title)) + "\n";
    text += "    " + Clean(ToUtf8(sub.url)) + "\n";
    text += "    label: " +
            (row["label"].is_null() ? std::string("(none yet)") : Clean(row["label"]["name"].get<std::string>())) +
            "  items: " + std::to_string(items) + "  unread: " + std::to_string(unread) +
            "  updated: " + (sub.lastFetched ? When(sub.lastFetched) : std::string("never")) + "\n";
    if (!sub.lastError.empty()) text += "    last error: " + Clean(ToUtf8(sub.lastError)) + "\n";
  }
  text += subs.empty() ? "(no subscriptions; 'daru subscribe URL' adds one)\n"
                       : std::to_string(subs.size()) + " subscription(s)\n";
  return {Report::Kind::Raw, {{"text", text}, {"subscriptions", rows}}};
}

Report Unsubscribe(Session& s, const std::string& feed, bool keepArticles, std::vector<std::string>& warnings) {
  const std::vector<CSubscription> subs = AllSubscriptions(s);
  const CSubscription sub = Find(subs, feed);
  CLabel* label = LabelOf(s, sub);
  if (!Store(s)->DeleteSubscription(sub.subscriptionid))
    throw HostError("cannot remove the subscription: " + s.LastError("the catalogue refused it"));
  std::string text = "unsubscribed from " + ToUtf8(sub.url);
  json data = {{"removed", sub.subscriptionid}, {"label_removed", json()}, {"articles_removed", 0}};
  if (!keepArticles && label) {
    const bool shared = std::any_of(subs.begin(), subs.end(), [&](const CSubscription& other) {
      return other.subscriptionid != sub.subscriptionid && other.labelid == sub.labelid;
    });
    if (shared || label->labelid < kFirstUserLabelID || label->firstChild) {
      warnings.push_back("the articles under " + Named(label) +
                         " stay: the label is not the feed's own (it is shared, fixed or has labels below it)");
    } else {
      const int count = s.CountArticles(label);
      const std::string name = Named(label);
      if (!s.Tree()->DeleteLabel(label))
        throw HostError("unsubscribed, but cannot remove the label " + name + ": " +
                        s.LastError("the catalogue refused it"));
      text += "; removed its label " + name + " with " + std::to_string(std::max(0, count)) + " article(s)";
      data["label_removed"] = sub.labelid;
      data["articles_removed"] = std::max(0, count);
    }
  }
  return Message(text, data);
}

std::vector<FeedUpdateResult> UpdateSubscriptions(Session& s, const std::vector<std::string>& feeds, int jobs,
                                                  long timeoutSeconds, std::vector<std::string>& warnings,
                                                  const std::function<void(const UpdateProgress&)>& progress) {
  const std::vector<CSubscription> all = AllSubscriptions(s);
  std::vector<CSubscription> chosen;
  if (feeds.empty()) {
    chosen = all;
  } else {
    for (const std::string& f : feeds) {
      const CSubscription& sub = Find(all, f);
      if (std::none_of(chosen.begin(), chosen.end(),
                       [&](const CSubscription& c) { return c.subscriptionid == sub.subscriptionid; }))
        chosen.push_back(sub);
    }
  }
  std::vector<FeedFetch> fetches(chosen.size());
  for (size_t i = 0; i < chosen.size(); ++i) {
    fetches[i].url = ToUtf8(chosen[i].url);
    fetches[i].etag = ToUtf8(chosen[i].etag);
    fetches[i].lastModified = ToUtf8(chosen[i].lastModified);
  }
  UpdateProgress state;
  state.total = chosen.size();
  FetchFeeds(fetches, jobs, Limits(timeoutSeconds), [&](size_t done, size_t) {
    state.fetched = done;
    if (progress) progress(state);
  });

  std::vector<FeedUpdateResult> results(chosen.size());
  for (size_t i = 0; i < chosen.size(); ++i) {
    FeedUpdateResult& r = results[i];
    CSubscription sub = chosen[i];
    const FeedFetch& fetch = fetches[i];
    bool write = true;
    if (fetch.outcome == FeedFetch::Outcome::NotModified) {
      r.notModified = true;
      // Nothing changed: no write, unless an earlier failure must be cleared.
      write = !sub.lastError.empty();
      sub.lastError.clear();
      if (write) sub.lastFetched = Now();
    } else if (fetch.outcome == FeedFetch::Outcome::Fetched) {
      try {
        FileFetched(s, fetch, sub, LabelOf(s, sub), r, warnings);
      } catch (const HostError& e) {
        r.error = e.what();
      }
    } else {
      r.error = fetch.error;
    }
    if (!r.error.empty()) {
      sub.lastFetched = Now();
      sub.lastError = FromUtf8(r.error);
    }
    if (write && !Store(s)->UpdateSubscription(sub))
      warnings.push_back(ToUtf8(sub.url) + ": its state could not be kept: " + s.LastError("the catalogue refused it"));
    r.subscription = sub;
    if (CLabel* label = LabelOf(s, sub)) r.label = ToUtf8(label->name);
    state.filed = i + 1;
    if (progress) progress(state);
  }
  return results;
}

Report Update(Session& s, const std::vector<std::string>& feeds, int jobs, long timeoutSeconds, bool showProgress,
              std::vector<std::string>& warnings) {
  std::function<void(const UpdateProgress&)> line;
  if (showProgress)
    line = [](const UpdateProgress& p) {
      std::cerr << "\rupdating: " << p.fetched << "/" << p.total << " fetched, " << p.filed << "/" << p.total
                << " filed " << std::flush;
    };
  std::vector<FeedUpdateResult> results = UpdateSubscriptions(s, feeds, jobs, timeoutSeconds, warnings, line);
  if (showProgress && !results.empty()) std::cerr << "\r\033[K" << std::flush;

  json rows = json::array();
  std::string text;
  int added = 0, failed = 0, unchanged = 0;
  for (const FeedUpdateResult& r : results) {
    const std::string name = Clean(ToUtf8(r.subscription.title.empty() ? r.subscription.url : r.subscription.title));
    json row = {{"id", r.subscription.subscriptionid},
                {"url", ToUtf8(r.subscription.url)},
                {"title", ToUtf8(r.subscription.title)},
                {"label", r.label}};
    std::string line = "#" + std::to_string(r.subscription.subscriptionid) + " " + name + ": ";
    if (!r.error.empty()) {
      ++failed;
      row["result"] = "failed";
      row["reason"] = r.error;
      line += "failed: " + Clean(r.error);
    } else if (r.notModified) {
      ++unchanged;
      row["result"] = "not_modified";
      line += "not modified";
    } else {
      added += r.added;
      row["result"] = "updated";
      line += std::to_string(r.added) + " new, " + std::to_string(r.stored) + " already stored, " +
              std::to_string(r.refused) + " refused";
    }
    row["new"] = r.added;
    row["already_stored"] = r.stored;
    row["refused"] = r.refused;
    rows.push_back(row);
    text += line + "\n";
  }
  text += results.empty()
              ? "no subscriptions to update ('daru subscribe URL' adds one)\n"
              : "updated " + std::to_string(results.size()) + " feed(s): " + std::to_string(added) + " new item(s), " +
                    std::to_string(unchanged) + " not modified, " + std::to_string(failed) + " failed\n";
  Report report{Report::Kind::Raw,
                {{"text", text}, {"feeds", rows}, {"new", added}, {"not_modified", unchanged}, {"failed", failed}}};
  report.status = failed > 0 ? 1 : 0;
  return report;
}
